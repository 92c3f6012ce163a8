// The view's commands (registered in the command table by the part that owns
// them), the mouse tools, the cursor, the context menu, the running-time
// report and printing.
#include "platform/Canvas.h"
#include "platform/CommandTable.h"
#include "platform/Prompter.h"
#include "platform/TickCount.h"
#include "shell/CommandIds.h"
#include "view/Drawing.h"
#include "view/QuillmarView.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>

namespace {
constexpr int kOutlineMs = 100;

QCursor ToolCursor(const char* file, int hotX, int hotY) {
    return QCursor(QPixmap(QString(":/cursors/") + file), hotX, hotY);
}
} // namespace

void CQuillmarView::RegisterCommands(CCommandTable& table) {
    m_pCommands = &table;
    // The live displays and the serial monitor.
    table.Register(ID_VIEW_REALTIME1,
                   [this] { OnNavigationCommand(ID_VIEW_REALTIME1); }); // "实时数据视图1"
    table.Register(ID_VIEW_REALTIME2,
                   [this] { OnNavigationCommand(ID_VIEW_REALTIME2); });    // "实时数据视图2"
    table.Register(ID_SERIAL_MONITOR, [this] { m_dlgMonitor.DoModal(); }); // "串口监视"
    // The navigation of the curve displays.
    for (int id : {ID_STRETCH_X, // "横向放大"
                   ID_STRETCH_Y, // "纵向放大"
                   ID_SHRINK_X,  // "横向收缩"
                   ID_SHRINK_Y,  // "纵向收缩"
                   ID_MOVE,      // "移动"
                   ID_REFRESH,   // "刷新"
                   ID_AREA_ZOOM, ID_INITIAL_VIEW})
        table.Register(id, [this, id] { OnNavigationCommand(id); });
    // The centre zooms work on the curve displays only.
    for (int id : {ID_ZOOM_CENTRE_IN, ID_ZOOM_CENTRE_OUT}) {
        table.Register(
            id, {[this, id] { OnNavigationCommand(id); },
                 [this] { return m_mode == ViewMode::Analysis || m_mode == ViewMode::RealTime2; },
                 {}});
        table.SetUnavailableNote(id, [] {
            return QCoreApplication::translate("QuillmarView", "放大和缩小只用于曲线视图")
                .toStdString();
        });
    }
    table.Register(ID_FOLLOW_LIVE, // "跟随最新"
                   {[this] {
                        m_navigation.m_bFollowLive = !m_navigation.m_bFollowLive;
                        update();
                    },
                    {},
                    [this] { return m_navigation.m_bFollowLive ? 1 : 0; }});
    table.Register(ID_EXIT_TOOL, [this] { OnExitTool(); }); // context menu "退出"
    // The analysis of a loaded file.
    table.Register(ID_LOAD_ANALYSIS_FILE,
                   [this] { OnLoadAnalysisFile(AnalysisSource::R35); }); // "调入文件"
    table.Register(ID_LOAD_RECORD_FILE,
                   [this] { OnLoadAnalysisFile(AnalysisSource::Record); }); // "调入记录文件"
    table.Register(ID_CANCEL_LOAD,                                          // "取消调入", Esc
                   {[this] { CancelLoad(); }, [this] { return m_analysis.IsLoading(); }, {}});
    table.Register(ID_TIME_AXIS, // "时间轴"
                   {[this] {
                        m_analysis.ToggleTimeAxis();
                        update();
                    },
                    [this] { return m_analysis.Times().Known(); },
                    [this] { return m_analysis.TimeAxisOn() ? 1 : 0; }});
    for (int id : {ID_TOGGLE_HEADING,   // "方位角(绿色线)"
                   ID_TOGGLE_PITCH,     // "俯仰角(褐色线)"
                   ID_TOGGLE_ROLL,      // "横滚角(红色线)"
                   ID_TOGGLE_SATELLITE, // "卫星数(蓝色线)"
                   ID_TOGGLE_ERROR}) {  // "误差值(黄色线)"
        table.Register(id, {[this, id] { OnToggle(id); }, [this, id] { return ToggleApplies(id); },
                            [this, id] { return ToggleCheck(id); }});
        table.SetUnavailableNote(id, [this, id] { return ToggleUnavailableNote(id); });
    }
    table.Register(ID_ANALYSIS_EXPORT, // "导出…"
                   {[this] { OnExport(); }, [this] { return HasRecords(); }, {}});
    table.Register(ID_SESSION_SUMMARY, // "会话摘要"
                   {[this] { OnSessionSummary(); }, [this] { return HasRecords(); }, {}});
    // Help and printing.
    table.Register(ID_RUNNING_TIME, [this] { OnRunTime(); }); // "系统运行时间"
    table.Register(ID_FILE_PRINT, [this] { OnFilePrint(false); });
    table.Register(ID_FILE_PRINT_DIRECT, [this] { OnFilePrint(true); });
    table.Register(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
    // The drawing tools and survey commands.
    m_tools.RegisterCommands(table);
}

void CQuillmarView::Changed() {
    UpdateCursor();
    update();
}

void CQuillmarView::OnNavigationCommand(int id) {
    QString message;
    const double zoomX = m_navigation.m_dZoomX, zoomY = m_navigation.m_dZoomY;
    switch (id) {
    case ID_VIEW_REALTIME1:
    case ID_VIEW_REALTIME2:
        m_navigation.m_nToolMode = ToolMode::None;
        m_mode = id == ID_VIEW_REALTIME1 ? ViewMode::RealTime1 : ViewMode::RealTime2;
        break;
    case ID_STRETCH_X:
        message = m_navigation.StretchX();
        break;
    case ID_STRETCH_Y:
        message = m_navigation.StretchY();
        break;
    case ID_SHRINK_X:
        message = m_navigation.ShrinkX();
        break;
    case ID_SHRINK_Y:
        message = m_navigation.ShrinkY();
        break;
    case ID_ZOOM_CENTRE_IN:
    case ID_ZOOM_CENTRE_OUT:
        if (m_mode == ViewMode::RealTime2) {
            // The live curves have no picked centres: both axes at once,
            // refused only when neither can go further.
            const bool in = id == ID_ZOOM_CENTRE_IN;
            const QString x = in ? m_navigation.StretchX() : m_navigation.ShrinkX();
            const QString y = in ? m_navigation.StretchY() : m_navigation.ShrinkY();
            if (!x.isEmpty() && !y.isEmpty())
                message = y;
            break;
        }
        {
            const bool analysis = m_mode == ViewMode::Analysis;
            const bool acted = id == ID_ZOOM_CENTRE_IN
                                   ? m_navigation.ZoomCentreIn(analysis, &message)
                                   : m_navigation.ZoomCentreOut(analysis, &message);
            if (!acted)
                return; // only the analysis view zooms about points: nothing at all
            UpdateCursor();
            Refuse(message);
            return;
        }
    case ID_MOVE:
        m_navigation.m_nToolMode = ToolMode::Move;
        break;
    case ID_AREA_ZOOM:
        m_navigation.m_nToolMode = ToolMode::Area;
        UpdateCursor();
        return; // no repaint
    case ID_REFRESH:
    case ID_INITIAL_VIEW:
        m_navigation.ResetView();
        break;
    default:
        return;
    }
    // Stretched or shrunk, the live curves keep what was looked at in view.
    if (m_mode == ViewMode::RealTime2 && id != ID_REFRESH && id != ID_INITIAL_VIEW)
        KeepLiveCentre(CScale{m_dScaleX, m_dScaleY}, size(), m_navigation, zoomX, zoomY);
    Changed();
    Refuse(message);
}

void CQuillmarView::OnExitTool() {
    m_navigation.ExitTool();
    UpdateCursor();
}

void CQuillmarView::OnLoadAnalysisFile(AnalysisSource source) {
    CPrompter::FileDialogRequest request;
    if (source == AnalysisSource::R35) {
        request.title = QCoreApplication::translate("QuillmarView", "打开R35格式文件进行分析");
        request.filter = "Txt Files(*.txt) (*.txt);;Dat Files (*.dat)";
        request.kind = CPrompter::FileKind::Analysis;
    } else {
        request.title = QCoreApplication::translate("QuillmarView", "调入记录文件进行分析");
        request.filter = CPrompter::RecordFilter();
        request.kind = CPrompter::FileKind::Record;
    }
    // A cancel leaves the view as it was.
    const QString path = CPrompter::Instance().ChooseFile(this, request);
    if (path.isEmpty())
        return;
    m_navigation.m_nToolMode = ToolMode::None;
    UpdateCursor();
    // A record file of this program chosen here is read as one (AnalysisSession).
    StartLoad(path, source);
}

namespace {
// The live curves' own toggle of a curve toggle; none for satellites and error.
bool LiveCurveChoice::*LiveToggle(int id) {
    switch (id) {
    case ID_TOGGLE_HEADING:
        return &LiveCurveChoice::heading;
    case ID_TOGGLE_PITCH:
        return &LiveCurveChoice::pitch;
    case ID_TOGGLE_ROLL:
        return &LiveCurveChoice::roll;
    default:
        return nullptr;
    }
}
} // namespace

bool CQuillmarView::ToggleApplies(int id) const {
    return m_mode == ViewMode::Analysis || (m_mode == ViewMode::RealTime2 && LiveToggle(id));
}

std::string CQuillmarView::ToggleUnavailableNote(int) const {
    return (m_mode == ViewMode::RealTime2
                ? QCoreApplication::translate("QuillmarView", "实时曲线没有卫星数和误差值")
                : QCoreApplication::translate("QuillmarView", "曲线开关只用于曲线视图"))
        .toStdString();
}

int CQuillmarView::ToggleCheck(int id) const {
    if (m_mode != ViewMode::RealTime2)
        return m_analysis.CheckState(id);
    const auto on = LiveToggle(id);
    return on && m_liveCurves.*on ? 1 : 0;
}

void CQuillmarView::OnToggle(int id) {
    if (m_mode == ViewMode::RealTime2) {
        if (const auto on = LiveToggle(id))
            m_liveCurves.*on = !(m_liveCurves.*on);
    } else if (m_mode == ViewMode::Analysis) {
        m_analysis.Toggle(id);
    }
    update();
}

void CQuillmarView::UpdateCursor() {
    switch (m_navigation.m_nToolMode) {
    case ToolMode::Line:
        setCursor(Qt::CrossCursor);
        break;
    case ToolMode::Note:
        setCursor(ToolCursor("145-text.xpm", 17, 5));
        break;
    case ToolMode::Move:
        setCursor(ToolCursor("151-hand.xpm", 16, 17));
        break;
    case ToolMode::ZoomInPick:
        setCursor(ToolCursor("169-zoomin.xpm", 12, 11));
        break;
    case ToolMode::ZoomOutPick:
        setCursor(ToolCursor("170-zoomout.xpm", 12, 11));
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void CQuillmarView::Press(QPoint p) {
    switch (m_navigation.m_nToolMode) {
    case ToolMode::Line:
        m_tools.LinePress(p);
        break;
    case ToolMode::Note:
        m_tools.NotePress(p);
        break;
    case ToolMode::Move:
        if (m_mode == ViewMode::RealTime2 && m_navigation.m_bFollowLive) {
            // The drag starts from the picture as it is shown: the following's
            // pan becomes the navigation's own.
            const CScale scale{m_dScaleX, m_dScaleY};
            m_navigation.m_nPanX = static_cast<int>(std::lround(
                LivePanX(scale, size(), Monitor().Samples().Size(), m_navigation) * m_dScaleX));
            m_navigation.m_bFollowLive = false;
            emit CommandStateChanged(); // the "跟随最新" toggle shows it
        }
        m_navigation.MovePress(p);
        break;
    case ToolMode::Area:
        Refuse(m_navigation.AreaPress(p));
        break;
    case ToolMode::ZoomInPick:
        Refuse(m_navigation.ClickZoomIn(p));
        update();
        break;
    case ToolMode::ZoomOutPick:
        Refuse(m_navigation.ClickZoomOut(p));
        update();
        break;
    default:
        break;
    }
}

void CQuillmarView::Release(QPoint q) {
    const bool following = m_navigation.m_bFollowLive;
    if (m_navigation.m_nToolMode == ToolMode::Move) {
        m_navigation.MoveRelease(q);
        m_ptDragShift = QPoint();
        update();
    } else if (m_navigation.m_nToolMode == ToolMode::Area && m_navigation.AreaRelease(q)) {
        // The framed outline shows at once; the enlarged picture follows.
        m_rcOutline = m_navigation.m_rcZoomArea;
        update();
        QTimer::singleShot(kOutlineMs, this, [this] {
            m_rcOutline = QRect();
            update();
        });
    }
    if (following != m_navigation.m_bFollowLive)
        emit CommandStateChanged(); // the "跟随最新" toggle shows it
}

void CQuillmarView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Press(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void CQuillmarView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Release(event->position().toPoint());
    QWidget::mouseReleaseEvent(event);
}

void CQuillmarView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const QPoint p = event->position().toPoint();
    if (m_tools.MouseMove(p))
        update();
    if (m_navigation.m_nToolMode == ToolMode::Move && m_navigation.Dragging()) {
        // The picture follows the mouse: the live curves are drawn again at
        // the new pan, the analysis picture is moved as it is.
        if (m_mode == ViewMode::Analysis)
            m_ptDragShift = p - m_navigation.m_ptDragStart;
        else
            m_navigation.MoveBy(p);
        update();
    }
    ShowSampleAt(p.x());
}

void CQuillmarView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    ShowSampleAt(-1);
}

void CQuillmarView::ShowSampleAt(int x) {
    QString text;
    if (x >= 0 && m_mode == ViewMode::RealTime2) {
        const CScale scale{m_dScaleX, m_dScaleY};
        const long i = LiveSampleAt(scale, size(), Monitor(), m_navigation, x);
        if (i >= 0)
            text = LiveSampleText(Monitor(), static_cast<std::size_t>(i));
    } else if (x >= 0 && m_mode == ViewMode::Analysis && !m_analysis.IsLoading()) {
        text = m_analysis.RecordTextAt(PlotFrame(), x);
    }
    if (text != m_strHover) {
        m_strHover = text;
        emit HoverNote(text);
    }
}

QPoint CQuillmarView::ContextMenuPosition(QPoint requested, QPoint clientTopLeftOnScreen) {
    if (requested == QPoint(-1, -1))
        return clientTopLeftOnScreen + QPoint(5, 5);
    return requested;
}

void CQuillmarView::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint requested =
        event->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : event->globalPos();
    QMenu menu(this);
    for (const auto& [text, id] : {std::pair{QT_TRANSLATE_NOOP("QuillmarView", "刷新"), ID_REFRESH},
                                   {QT_TRANSLATE_NOOP("QuillmarView", "放大"), ID_ZOOM_CENTRE_IN},
                                   {QT_TRANSLATE_NOOP("QuillmarView", "缩小"), ID_ZOOM_CENTRE_OUT},
                                   {QT_TRANSLATE_NOOP("QuillmarView", "平移"), ID_MOVE},
                                   {QT_TRANSLATE_NOOP("QuillmarView", "退出"), ID_EXIT_TOOL}}) {
        QAction* action = menu.addAction(QCoreApplication::translate("QuillmarView", text));
        action->setData(static_cast<int>(id));
        action->setEnabled(!m_pCommands || m_pCommands->IsEnabled(id));
    }
    if (m_mode == ViewMode::Analysis) {
        menu.addSeparator();
        QAction* action = menu.addAction(QCoreApplication::translate("QuillmarView", "导出…"));
        action->setData(static_cast<int>(ID_ANALYSIS_EXPORT));
        action->setEnabled(HasRecords());
    }
    const QAction* chosen = menu.exec(ContextMenuPosition(requested, mapToGlobal(QPoint(0, 0))));
    if (chosen && m_pCommands)
        m_pCommands->Run(chosen->data().toInt());
}

QString CQuillmarView::RunningTimeText(std::uint32_t minuteTicks, std::uint32_t hourTicks) {
    const std::uint32_t minutes = minuteTicks / 60000 % 60;
    const std::uint32_t hours = hourTicks / 3600000;
    return QCoreApplication::translate("QuillmarView", "系统已连续运行了%1小时%2分钟")
        .arg(hours)
        .arg(minutes);
}

void CQuillmarView::OnRunTime() {
    const std::uint32_t forMinutes = TickCount();
    const std::uint32_t forHours = TickCount();
    CPrompter::Instance().MessageBox(this, RunningTimeText(forMinutes, forHours), QString(),
                                     QMessageBox::Ok, CPrompter::Icon::Information);
}

void CQuillmarView::PrintTo(QPrinter& printer) {
    QPainter painter(&printer);
    if (!painter.isActive())
        return;
    // The window's picture, fitted to the page: drawn in printer pixels as
    // they come it would be a few centimetres wide.
    const QSize picture = size();
    const QRect page = painter.viewport();
    QSize fitted = picture.scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), fitted.width(), fitted.height());
    painter.setWindow(0, 0, picture.width(), picture.height());
    QFont small = font();
    small.setPixelSize(QFontMetrics(font()).height() * 3 / 4);
    painter.setFont(small);
    CPainterCanvas canvas(painter, picture);
    if (m_mode == ViewMode::Analysis && HasRecords())
        DrawAnalysisPicture(canvas); // with its title, legend and axes' names, as exported
    else
        OnDraw(canvas);
}

namespace {
// Where there is no printer the picture goes to a PDF file of the operator's choice.
bool ChoosePdf(QWidget* parent, QPrinter& printer) {
    CPrompter::FileDialogRequest request;
    request.save = true;
    request.title =
        QCoreApplication::translate("QuillmarView", "打印到 PDF 文件（没有可用的打印机）");
    request.filter = "PDF (*.pdf)";
    request.defaultSuffix = "pdf";
    request.proposedName = "Quillmar.pdf";
    request.kind = CPrompter::FileKind::Export;
    const QString path = CPrompter::Instance().ChooseFile(parent, request);
    if (path.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
}
} // namespace

void CQuillmarView::OnFilePrint(bool direct) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        if (!ChoosePdf(this, printer))
            return;
    } else if (!direct && !CPrompter::Instance().PrintDialog(this, &printer)) {
        return;
    }
    PrintTo(printer);
    emit StatusNote(printer.outputFileName().isEmpty()
                        ? QCoreApplication::translate("QuillmarView", "已送往打印机 %1")
                              .arg(printer.printerName())
                        : ExportedText(printer.outputFileName()));
}

void CQuillmarView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PrintTo(*target); });
    preview.exec();
}
