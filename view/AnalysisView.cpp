// The analysis view: loading a recorded attitude file with its progress trace,
// the curve toggles, and the frame the curves are drawn on.
#include "platform/Canvas.h"
#include "platform/CommandIds.h"
#include "platform/Prompter.h"
#include "plots/AnalysisCurves.h"
#include "plots/AnalysisLoader.h"
#include "view/QuillmarView.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <cstring>

namespace {
const CPen kFramePen{1, QColor(0, 0, 0)};
const CPen kProgressPen{1, QColor(255, 0, 0)};
} // namespace

QByteArray CQuillmarView::AnalysisPictureKey() const {
    QByteArray key;
    QDataStream out(&key, QIODevice::WriteOnly);
    out << size() << m_dScaleX << m_dScaleY << m_dZoomX << m_dZoomY << m_dZoomStep << m_nPanX
        << m_nPanY << m_rcZoomArea << m_nZoomInCount << m_nZoomOutCount
        << static_cast<quint64>(m_arrAnalysis.size()) << static_cast<quint64>(m_nLoadGeneration)
        << (m_nHeadingToggle % 2) << (m_nPitchToggle % 2) << font().key();
    for (int k = 0; k < kPhases; ++k)
        out << m_nZoomInPhaseEnd[k] << m_nZoomOutPhaseEnd[k];
    for (int i = 0; i < std::max(m_nZoomInCount, 1); ++i)
        out << m_ptZoomIn[i];
    for (int j = 0; j < m_nZoomOutCount; ++j)
        out << m_ptZoomOut[j];
    return key;
}

CPlotFrame CQuillmarView::PlotFrame() const {
    CPlotFrame f;
    f.sx = m_dScaleX;
    f.sy = m_dScaleY;
    f.hz = m_dZoomX;
    f.vz = m_dZoomY;
    f.s = m_dZoomStep;
    f.c0 = m_ptZoomIn[0];
    f.panX = m_nPanX;
    f.panY = m_nPanY;
    f.area = HasAreaZoom();
    f.L = m_rcZoomArea.left();
    f.T = m_rcZoomArea.top();
    f.W = m_rcZoomArea.right() - m_rcZoomArea.left();
    f.H = m_rcZoomArea.bottom() - m_rcZoomArea.top();
    f.d = ZoomDepth();
    f.N = m_arrAnalysis.size();
    f.chain = this;
    return f;
}

void CQuillmarView::OnLoadAnalysisFile() {
    m_nViewMode = 10; // before the dialog: a cancel still shows the analysis view
    m_nToolMode = kNoTool;
    UpdateCursor();
    update();
    CPrompter::FileDialogRequest request;
    request.title = "打开R35格式文件进行分析";
    request.filter = "Txt Files(*.txt) (*.txt);;Dat Files (*.dat)";
    const QString path = CPrompter::Instance().FileDialog(this, request);
    if (!path.isEmpty())
        LoadAnalysisFileAt(path);
}

bool CQuillmarView::LoadAnalysisFileAt(const QString& path) {
    m_nViewMode = 10;
    m_strAnalysisPath = path;
    m_headingSummary.Clear();
    m_pitchSummary.Clear();
    m_bLoading = true;
    m_nLoadLines = 0;
    m_nLoadLength = 0;
    // The trace is painted about every 50 ms, and the event loop turns then,
    // so the window repaints and received messages are recorded meanwhile.
    const LoadResult result = LoadAnalysisFile(
        path.toStdString(), m_arrAnalysis, [this](std::uint64_t lines, std::uint64_t length) {
            m_nLoadLines = lines;
            m_nLoadLength = length;
            repaint();
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    m_bLoading = false;
    ++m_nLoadGeneration;
    m_headingSummary.Build(m_arrAnalysis, &AnalysisSample::fHeading);
    m_pitchSummary.Build(m_arrAnalysis, &AnalysisSample::fPitch);
    QString message;
    switch (result.status) {
    case LoadResult::Status::Complete:
        ResetView();
        UpdateCursor();
        update();
        return true;
    case LoadResult::Status::CannotOpen:
        message = QString("无法打开文件：%1\n%2")
                      .arg(path, QString::fromLocal8Bit(std::strerror(result.nError)));
        break;
    case LoadResult::Status::NotRegularFile:
        message = QString("无法打开文件：%1\n不是普通文件").arg(path);
        break;
    case LoadResult::Status::Empty:
        message = "所选的文件为空！";
        break;
    case LoadResult::Status::GgaRecording:
        message = "所读文件有GPGGA格式,请打开R35格式的文件";
        break;
    case LoadResult::Status::NotR35:
        message = "请检查文件格式";
        break;
    }
    update();
    Refuse(message);
    return false;
}

void CQuillmarView::DrawLoadProgress(CCanvas& canvas) const {
    // In unscaled reference pixels: the bar's frame, the texts, the trace.
    canvas.SelectPen(kFramePen);
    canvas.MoveTo(10, 630);
    canvas.LineTo(1010, 630);
    canvas.LineTo(1010, 650);
    canvas.LineTo(10, 650);
    canvas.SelectPen(kProgressPen);
    canvas.TextOut(10, 610, "正在读取文件...");
    canvas.TextOut(140, 610, "%");
    if (m_nLoadLength == 0 || m_nLoadLines == 0)
        return;
    canvas.TextOut(120, 610, QString::number(1500 * m_nLoadLines / m_nLoadLength));
    const auto trace = ProgressTrace(m_nLoadLines, m_nLoadLength, canvas.Size().width());
    canvas.Polyline(trace.data(), static_cast<int>(trace.size()));
}

std::vector<QPoint> CQuillmarView::ProgressTrace(std::uint64_t lines, std::uint64_t length,
                                                 int width) {
    // Line k goes to x = 10 + 15000 k / L at 630 and down to 650. Drawing each
    // x the lines reached once gives the same strokes as drawing every line.
    std::vector<QPoint> trace{{10, 630}};
    if (length == 0)
        return trace;
    const std::uint64_t lastX = 15000 * lines / length;
    const auto right = static_cast<std::uint64_t>(std::max(width, 0)) + 1;
    for (std::uint64_t x = 15000 / length; x <= lastX && x + 10 <= right; ++x) {
        // The first line at or past x, and whether it lands on x itself.
        const std::uint64_t line = std::max<std::uint64_t>(1, (x * length + 14999) / 15000);
        if (line > lines || 15000 * line / length != x)
            continue;
        trace.emplace_back(static_cast<int>(x + 10), 630);
        trace.emplace_back(static_cast<int>(x + 10), 650);
    }
    return trace;
}

const int* CQuillmarView::ToggleCounter(int id) const {
    switch (id) {
    case ID_TOGGLE_HEADING:
        return &m_nHeadingToggle;
    case ID_TOGGLE_PITCH:
        return &m_nPitchToggle;
    case ID_TOGGLE_ROLL:
        return &m_nRollToggle;
    case ID_TOGGLE_SATELLITE:
        return &m_nSatelliteToggle;
    case ID_TOGGLE_ERROR:
        return &m_nErrorToggle;
    default:
        return nullptr;
    }
}

void CQuillmarView::OnAnalysisToggle(int id) {
    int* counter = const_cast<int*>(ToggleCounter(id)); // one of this view's own counters
    if (!counter)
        return;
    if (m_nViewMode != 10) {
        Refuse("请先调入文件");
        return;
    }
    ++*counter;
    update();
}

int CQuillmarView::CheckState(int id) const {
    const int* counter = ToggleCounter(id);
    return counter ? (*counter % 2 == 0 ? 1 : 0) : -1;
}
