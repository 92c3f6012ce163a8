#include "view/AnalysisSession.h"

#include "platform/Canvas.h"
#include "platform/CommandIds.h"
#include "platform/ErrorText.h"

#include <QDataStream>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
const CPen kFramePen{1, QColor(0, 0, 0)};
const CPen kProgressPen{1, QColor(255, 0, 0)};
static_assert(ID_TOGGLE_PITCH == ID_TOGGLE_HEADING + 1 && ID_TOGGLE_ERROR == ID_TOGGLE_HEADING + 4,
              "the toggles are numbered in a row");
} // namespace

QString CAnalysisSession::Load(const QString& path, const LoadProgress& progress) {
    m_strPath = path;
    m_headingSummary.Clear();
    m_pitchSummary.Clear();
    m_bLoading = true;
    m_nLoadLines = 0;
    m_nLoadLength = 0;
    const LoadResult result = LoadAnalysisFile(path.toStdString(), m_arrAnalysis,
                                               [&](std::uint64_t lines, std::uint64_t length) {
                                                   m_nLoadLines = lines;
                                                   m_nLoadLength = length;
                                                   if (progress)
                                                       progress(lines, length);
                                               });
    m_bLoading = false;
    m_times = {};
    ++m_nGeneration;
    m_headingSummary.Build(m_arrAnalysis, &AnalysisSample::fHeading);
    m_pitchSummary.Build(m_arrAnalysis, &AnalysisSample::fPitch);
    return Refusal(result, path);
}

QString CAnalysisSession::Refusal(const LoadResult& result, const QString& path) {
    switch (result.status) {
    case LoadResult::Status::Complete:
        return {};
    case LoadResult::Status::CannotOpen:
        return QString("无法打开文件：%1\n%2")
            .arg(path, QString::fromStdString(SystemErrorText(result.nError)));
    case LoadResult::Status::NotRegularFile:
        return QString("无法打开文件：%1\n不是普通文件").arg(path);
    case LoadResult::Status::Empty:
        return "所选的文件为空！";
    case LoadResult::Status::GgaRecording:
        return "所读文件有GPGGA格式,请打开R35格式的文件";
    case LoadResult::Status::NotR35:
        return "请检查文件格式";
    }
    return {};
}

void CAnalysisSession::SetRecords(std::vector<AnalysisSample> records, AnalysisTimes times) {
    m_arrAnalysis = std::move(records);
    m_times = std::move(times);
    ++m_nGeneration;
    m_headingSummary.Build(m_arrAnalysis, &AnalysisSample::fHeading);
    m_pitchSummary.Build(m_arrAnalysis, &AnalysisSample::fPitch);
}

bool CAnalysisSession::IsToggle(int id) {
    return id >= kFirstToggle && id < kFirstToggle + kToggles;
}

void CAnalysisSession::Toggle(int id) {
    if (IsToggle(id))
        ++m_nToggles[id - kFirstToggle];
}

int CAnalysisSession::CheckState(int id) const {
    return IsToggle(id) && m_nToggles[id - kFirstToggle] % 2 == 0 ? 1 : 0;
}

void CAnalysisSession::DrawCurves(CCanvas& canvas, const CPlotFrame& frame) const {
    DrawAnalysisCurves(canvas, frame, Data(), HeadingOn(), PitchOn());
    // Roll, satellites and error have toggles but no data to draw.
}

void CAnalysisSession::DrawProgress(CCanvas& canvas) const {
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

std::vector<QPoint> CAnalysisSession::ProgressTrace(std::uint64_t lines, std::uint64_t length,
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

void CAnalysisSession::AppendKey(QDataStream& out) const {
    out << static_cast<quint64>(m_arrAnalysis.size()) << static_cast<quint64>(m_nGeneration)
        << HeadingOn() << PitchOn();
}

const QImage& CAnalysisSession::Picture(const QByteArray& key, QSize size,
                                        const std::function<void(QImage&)>& draw) {
    if (key != m_pictureKey || m_picture.size() != size) {
        m_picture = QImage(size, QImage::Format_RGB32);
        m_picture.fill(Qt::white);
        draw(m_picture);
        m_pictureKey = key;
    }
    return m_picture;
}

QString CAnalysisSession::RecordTextAt(const CPlotFrame& frame, int x) const {
    const std::size_t count = m_arrAnalysis.size();
    if (count == 0)
        return {};
    // Record to column is one rising straight line: two points give it.
    const double x0 = frame.MapX(frame.TimeX(0));
    const double perRecord = frame.MapX(frame.TimeX(1)) - x0;
    if (!(perRecord > 0))
        return {};
    const double i = std::round((x - x0) / perRecord);
    if (!(i >= 0 && i < static_cast<double>(count)))
        return {};
    const AnalysisSample& record = m_arrAnalysis[static_cast<std::size_t>(i)];
    return QString("第 %1 条记录，方位角 %2，俯仰角 %3")
        .arg(static_cast<std::size_t>(i))
        .arg(record.fHeading, 0, 'f', 2)
        .arg(record.fPitch, 0, 'f', 2);
}
