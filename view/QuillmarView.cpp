// The view's widget side: its parts, the messages it echoes, painting, and the
// analysis load with its progress trace.
#include "view/QuillmarView.h"

#include "link/FramedMessage.h"
#include "platform/Canvas.h"
#include "platform/Prompter.h"
#include "view/Drawing.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QPainter>
#include <QResizeEvent>

CQuillmarView::CQuillmarView(QWidget* parent)
    : QWidget(parent), m_pOwnMonitor(std::make_unique<CMonitorState>()),
      m_pMonitor(m_pOwnMonitor.get()),
      m_tools({this, &m_navigation, [this](ViewMode mode) { SetMode(mode); }, [this] { Changed(); },
               [this](const QString& text) { emit StatusNote(text); }}) {
    setMouseTracking(true); // the line tool's rubber band follows the mouse
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    // The progress trace is repainted, and the ended load taken, at 20 Hz.
    m_loadTimer.setInterval(50);
    connect(&m_loadTimer, &QTimer::timeout, this, &CQuillmarView::PollLoad);
}

CQuillmarView::~CQuillmarView() = default;

void CQuillmarView::AttachMonitor(CMonitorState* monitor) {
    m_pMonitor = monitor ? monitor : m_pOwnMonitor.get();
    update();
}

void CQuillmarView::SetDisplayMarks(const DisplayMarks& marks) {
    const bool changed = marks.pitch != m_marks.pitch || marks.roll != m_marks.roll ||
                         marks.strReplay != m_marks.strReplay;
    m_marks = marks;
    if (changed && (m_mode == ViewMode::RealTime1 || m_mode == ViewMode::RealTime2))
        update();
}

DisplayMarks CQuillmarView::Marks() const {
    DisplayMarks marks = m_marks;
    marks.nPitchLimit = Monitor().PitchLimit();
    marks.nRollLimit = Monitor().RollLimit();
    return marks;
}

void CQuillmarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_dScaleX = event->size().width() * kPerReferenceX;
    m_dScaleY = event->size().height() * kPerReferenceY;
    update();
}

void CQuillmarView::OnUpdate(IDocumentView*, long hint, const FramedMessage* message) {
    if (hint != HINT_NEW_MESSAGE || !message || !m_dlgMonitor.IsShown())
        return;
    // The session has interpreted and recorded the message already; the frame
    // repaints the displays once a burst has been handed over.
    const std::string_view text = message->Text();
    m_dlgMonitor.AppendMessage(
        QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
}

void CQuillmarView::SetMode(ViewMode mode) {
    m_mode = mode;
    update();
}

void CQuillmarView::StartLoad(const QString& path, AnalysisSource source) {
    SetMode(ViewMode::Analysis);
    // The end of the load is told at once, not at the next look.
    m_analysis.StartLoad(path, source, [this] {
        QMetaObject::invokeMethod(this, &CQuillmarView::PollLoad, Qt::QueuedConnection);
    });
    m_loadTimer.start();
    ShowSampleAt(-1);
    emit CommandStateChanged(); // "取消调入" can be chosen
}

void CQuillmarView::CancelLoad() {
    if (!m_analysis.IsLoading())
        return;
    m_analysis.CancelLoad();
    m_loadTimer.stop();
    update();
    emit CommandStateChanged();
    emit StatusNote(QCoreApplication::translate("QuillmarView", "已取消调入"));
    emit LoadFinished(false);
}

void CQuillmarView::PollLoad() {
    if (!m_analysis.LoadEnded()) {
        update(); // the progress trace
        return;
    }
    m_loadTimer.stop();
    const CAnalysisSession::Finished finished = m_analysis.FinishLoad();
    if (finished.complete)
        m_navigation.ResetView();
    Changed();
    emit CommandStateChanged(); // "取消调入" and "时间轴"
    if (finished.taken) {
        QString note = QCoreApplication::translate("QuillmarView", "已调入 %1 条记录")
                           .arg(m_analysis.Records().size());
        if (!m_analysis.TimeSourceText().isEmpty())
            note += QCoreApplication::translate("QuillmarView", "，%1")
                        .arg(m_analysis.TimeSourceText());
        // A record of several sources: the others' too.
        if (const QString further = m_analysis.FurtherSourcesText(); !further.isEmpty())
            note += QCoreApplication::translate("QuillmarView", "；%1").arg(further);
        emit StatusNote(note);
    }
    Refuse(finished.refusal);
    emit LoadFinished(finished.complete);
}

void CQuillmarView::ShowRecords(std::vector<AnalysisSample> records, AnalysisTimes times) {
    m_analysis.SetRecords(std::move(records), std::move(times));
    m_navigation.ResetView();
    SetMode(ViewMode::Analysis);
    UpdateCursor();
}

QByteArray CQuillmarView::AnalysisPictureKey() const {
    const CNavigation& n = m_navigation;
    QByteArray key;
    QDataStream out(&key, QIODevice::WriteOnly);
    out << size() << m_dScaleX << m_dScaleY << n.m_dZoomX << n.m_dZoomY << n.m_dZoomStep
        << n.m_nPanX << n.m_nPanY << n.m_rcZoomArea << n.m_nZoomInCount << n.m_nZoomOutCount
        << font().key();
    m_analysis.AppendKey(out);
    for (int k = 0; k < CNavigation::kPhases; ++k)
        out << n.m_nZoomInPhaseEnd[k] << n.m_nZoomOutPhaseEnd[k];
    for (int i = 0; i < std::max(n.m_nZoomInCount, 1); ++i)
        out << n.m_ptZoomIn[i];
    for (int j = 0; j < n.m_nZoomOutCount; ++j)
        out << n.m_ptZoomOut[j];
    return key;
}

CPlotFrame CQuillmarView::PlotFrame() const {
    return MakePlotFrame(m_dScaleX, m_dScaleY, m_navigation, m_analysis.Records().size());
}

CPlotFrame CQuillmarView::MakePlotFrame(double sx, double sy, const CNavigation& n,
                                        std::uint64_t records) {
    CPlotFrame f;
    f.sx = sx;
    f.sy = sy;
    f.hz = n.m_dZoomX;
    f.vz = n.m_dZoomY;
    f.s = n.m_dZoomStep;
    f.c0 = n.m_ptZoomIn[0];
    f.panX = n.m_nPanX;
    f.panY = n.m_nPanY;
    f.area = n.HasAreaZoom();
    f.L = n.m_rcZoomArea.left();
    f.T = n.m_rcZoomArea.top();
    f.W = n.m_rcZoomArea.right() - n.m_rcZoomArea.left();
    f.H = n.m_rcZoomArea.bottom() - n.m_rcZoomArea.top();
    f.d = n.ZoomDepth();
    f.N = records;
    f.chain = &n;
    return f;
}

void CQuillmarView::OnDraw(CCanvas& canvas) {
    const CScale scale{m_dScaleX, m_dScaleY};
    switch (m_mode) {
    case ViewMode::RealTime1:
        DrawAttitudeDisplay(canvas, CScale::Uniform(canvas.Size()), Monitor().Values(), SteadyMs(),
                            Monitor().StaleMs(), Marks());
        break;
    case ViewMode::RealTime2:
        DrawLiveCurves(canvas, scale, Monitor(), m_navigation, m_liveCurves);
        DrawReplayMark(canvas, m_marks.strReplay);
        break;
    case ViewMode::Analysis:
        if (m_analysis.IsLoading())
            m_analysis.DrawProgress(canvas);
        else
            m_analysis.DrawCurves(canvas, PlotFrame());
        break;
    default:
        break; // modes no display draws: the background shows
    }
}

void CQuillmarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CPainterCanvas canvas(painter, size());
    if (m_mode == ViewMode::Analysis && !m_analysis.IsLoading()) {
        painter.drawImage(m_ptDragShift,
                          m_analysis.Picture(AnalysisPictureKey(), size(), [&](QImage& image) {
                              QPainter picture(&image);
                              picture.setFont(font());
                              CPainterCanvas pictureCanvas(picture, image);
                              m_analysis.DrawCurves(pictureCanvas, PlotFrame());
                          }));
    } else if (m_mode == ViewMode::RealTime1) {
        // The dials are drawn once for the window's size; only the pointers
        // and values are drawn for each message.
        const CScale scale = CScale::Uniform(size());
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
        DrawAttitudeForeground(canvas, scale, Monitor().Values(), SteadyMs(), Monitor().StaleMs(),
                               Marks());
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
    if (m_tools.BandShown()) {
        // Drawn inverting what is under it, as a rubber band is.
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(m_tools.BandStart(), m_tools.LastMove());
    }
}

void CQuillmarView::Refuse(const QString& message) {
    if (!message.isEmpty())
        CPrompter::Instance().MessageBox(this, message, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Information);
}
