// The view's display and navigation commands, mouse tools, cursor, context
// menu, running-time report, painting and printing.
#include "platform/Canvas.h"
#include "platform/CommandIds.h"
#include "platform/Prompter.h"
#include "platform/TickCount.h"
#include "plots/AnalysisCurves.h"
#include "view/Drawing.h"
#include "view/QuillmarView.h"

#include <QContextMenuEvent>
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

void CQuillmarView::Refuse(const QString& message) {
    if (!message.isEmpty())
        CPrompter::Instance().MessageBox(this, message, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Information);
}

void CQuillmarView::OnNavigationCommand(int id) {
    QString message;
    switch (id) {
    case ID_VIEW_REALTIME1:
    case ID_VIEW_REALTIME2:
        m_nToolMode = kNoTool;
        m_nViewMode = id == ID_VIEW_REALTIME1 ? 7 : 8;
        break;
    case ID_STRETCH_X:
        Refuse(StretchX());
        break;
    case ID_STRETCH_Y:
        Refuse(StretchY());
        break;
    case ID_SHRINK_X:
        Refuse(ShrinkX());
        break;
    case ID_SHRINK_Y:
        Refuse(ShrinkY());
        break;
    case ID_ZOOM_CENTRE_IN:
    case ID_ZOOM_CENTRE_OUT: {
        const bool acted = id == ID_ZOOM_CENTRE_IN ? ZoomCentreIn(m_nViewMode, &message)
                                                   : ZoomCentreOut(m_nViewMode, &message);
        if (!acted)
            return; // only the analysis view zooms about points: nothing at all
        UpdateCursor();
        Refuse(message);
        break;
    }
    case ID_MOVE:
        m_nToolMode = kMoveTool;
        break;
    case ID_AREA_ZOOM:
        m_nToolMode = kAreaTool;
        UpdateCursor();
        return; // no repaint
    case ID_REFRESH:
    case ID_INITIAL_VIEW:
        ResetView();
        break;
    default:
        return;
    }
    UpdateCursor();
    update();
}

void CQuillmarView::UpdateCursor() {
    switch (m_nToolMode) {
    case kLineTool:
        setCursor(Qt::CrossCursor);
        break;
    case kNoteTool:
        setCursor(ToolCursor("145-text.xpm", 17, 5));
        break;
    case kMoveTool:
        setCursor(ToolCursor("151-hand.xpm", 16, 17));
        break;
    case kZoomInPick:
        setCursor(ToolCursor("169-zoomin.xpm", 12, 11));
        break;
    case kZoomOutPick:
        setCursor(ToolCursor("170-zoomout.xpm", 12, 11));
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void CQuillmarView::OnLButtonDown(QPoint p) {
    switch (m_nToolMode) {
    case kLineTool:
        LinePress(p);
        break;
    case kNoteTool:
        NotePress(p);
        break;
    case kMoveTool:
        MovePress(p);
        break;
    case kAreaTool:
        Refuse(AreaPress(p));
        break;
    case kZoomInPick:
        Refuse(ClickZoomIn(p));
        update();
        break;
    case kZoomOutPick:
        Refuse(ClickZoomOut(p));
        update();
        break;
    default:
        break;
    }
}

void CQuillmarView::OnLButtonUp(QPoint q) {
    if (m_nToolMode == kMoveTool) {
        MoveRelease(q);
        update();
    } else if (m_nToolMode == kAreaTool && AreaRelease(q)) {
        // The framed outline shows at once; the enlarged picture follows.
        m_rcOutline = m_rcZoomArea;
        update();
        QTimer::singleShot(kOutlineMs, this, [this] {
            m_rcOutline = QRect();
            update();
        });
    }
}

void CQuillmarView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void CQuillmarView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonUp(event->position().toPoint());
    QWidget::mouseReleaseEvent(event);
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
    for (const auto& [text, id] : {std::pair{"刷新", ID_REFRESH},
                                   {"放大", ID_ZOOM_CENTRE_IN},
                                   {"缩小", ID_ZOOM_CENTRE_OUT},
                                   {"平移", ID_MOVE},
                                   {"退出", ID_EXIT_TOOL}}) {
        QAction* action = menu.addAction(QString::fromUtf8(text));
        action->setData(static_cast<int>(id));
    }
    const QAction* chosen = menu.exec(ContextMenuPosition(requested, mapToGlobal(QPoint(0, 0))));
    if (chosen && m_fnRouteCommand)
        m_fnRouteCommand(chosen->data().toInt());
}

QString CQuillmarView::RunningTimeText(std::uint32_t minuteTicks, std::uint32_t hourTicks) {
    const std::uint32_t minutes = minuteTicks / 60000 % 60;
    const std::uint32_t hours = hourTicks / 3600000;
    return QString("系统已连续运行了%1小时%2分钟").arg(hours).arg(minutes);
}

void CQuillmarView::OnRunTime() {
    const std::uint32_t forMinutes = TickCount();
    const std::uint32_t forHours = TickCount();
    CPrompter::Instance().MessageBox(this, RunningTimeText(forMinutes, forHours), QString(),
                                     QMessageBox::Ok, CPrompter::Icon::Information);
}

void CQuillmarView::OnDraw(CCanvas& canvas) {
    const CScale scale{m_dScaleX, m_dScaleY};
    switch (m_nViewMode) {
    case 7:
        DrawAttitudeDisplay(canvas, scale, Monitor().Values(), SteadyMs(), Monitor().StaleMs());
        break;
    case 8:
        DrawLiveCurves(canvas, scale, Monitor(), *this);
        break;
    case 10: {
        if (m_bLoading) {
            DrawLoadProgress(canvas);
            break;
        }
        const CPlotFrame frame = PlotFrame();
        const CAnalysisData data{&m_arrAnalysis, &m_headingSummary, &m_pitchSummary};
        const bool pitch = m_nPitchToggle % 2 == 0;
        if (m_nHeadingToggle % 2 == 0)
            DrawHeadingCurve(canvas, frame, data, pitch);
        if (pitch)
            DrawPitchCurve(canvas, frame, data);
        // Roll, satellites and error have toggles but no data to draw.
        break;
    }
    default:
        break;
    }
}

void CQuillmarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CPainterCanvas canvas(painter, size());
    if (m_nViewMode == 10 && !m_bLoading) {
        const QByteArray key = AnalysisPictureKey();
        if (key != m_analysisKey || m_analysisPicture.size() != size()) {
            m_analysisPicture = QImage(size(), QImage::Format_RGB32);
            m_analysisPicture.fill(Qt::white);
            QPainter picture(&m_analysisPicture);
            picture.setFont(font());
            CPainterCanvas pictureCanvas(picture, m_analysisPicture);
            OnDraw(pictureCanvas);
            m_analysisKey = key;
        }
        painter.drawImage(0, 0, m_analysisPicture);
    } else if (m_nViewMode == 7) {
        // The dials are drawn once for the window's size; only the pointers
        // and values are drawn for each message.
        const CScale scale{m_dScaleX, m_dScaleY};
        const qreal ratio = devicePixelRatioF();
        if (m_attitudeBackground.deviceIndependentSize() != QSizeF(size()) ||
            m_attitudeBackground.devicePixelRatio() != ratio) {
            m_attitudeBackground = QImage(size() * ratio, QImage::Format_RGB32);
            m_attitudeBackground.setDevicePixelRatio(ratio);
            m_attitudeBackground.fill(Qt::white);
            QPainter picture(&m_attitudeBackground);
            picture.setFont(font());
            CPainterCanvas pictureCanvas(picture, size());
            DrawAttitudeBackground(pictureCanvas, scale);
        }
        painter.drawImage(0, 0, m_attitudeBackground);
        DrawAttitudeForeground(canvas, scale, Monitor().Values(), SteadyMs(), Monitor().StaleMs());
    } else {
        OnDraw(canvas);
    }
    if (!m_rcOutline.isNull()) {
        canvas.SelectPen(CPen{1, Qt::black});
        const QRect& r = m_rcOutline;
        const QPoint corners[5] = {{r.left(), r.top()},
                                   {r.left(), r.bottom()},
                                   {r.right(), r.bottom()},
                                   {r.right(), r.top()},
                                   {r.left(), r.top()}};
        canvas.Polyline(corners, 5);
    }
    if (m_bBandShown && m_nToolMode == kLineTool && m_nClickState == 1) {
        // Drawn inverting what is under it, as a rubber band is.
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(m_ptLineStart, m_ptLastMove);
    }
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
    OnDraw(canvas);
}

namespace {
// Where there is no printer the picture goes to a PDF file of the operator's choice.
bool ChoosePdf(QWidget* parent, QPrinter& printer) {
    CPrompter::FileDialogRequest request;
    request.save = true;
    request.title = "打印到 PDF 文件（没有可用的打印机）";
    request.filter = "PDF (*.pdf)";
    request.defaultSuffix = "pdf";
    request.proposedName = "Quillmar.pdf";
    const QString path = CPrompter::Instance().FileDialog(parent, request);
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
}

void CQuillmarView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PrintTo(*target); });
    preview.exec();
}
