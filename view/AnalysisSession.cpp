#include "view/AnalysisSession.h"

#include "link/NumberText.h"
#include "link/RecordTimes.h"
#include "platform/Canvas.h"
#include "platform/ErrorText.h"
#include "platform/RegularFile.h"
#include "plots/RecordLoader.h"
#include "shell/CommandIds.h"

#include <QCoreApplication>
#include <QDataStream>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const CPen kFramePen{1, QColor(0, 0, 0)};
const CPen kProgressPen{1, QColor(255, 0, 0)};
static_assert(ID_TOGGLE_PITCH == ID_TOGGLE_HEADING + 1 && ID_TOGGLE_ERROR == ID_TOGGLE_HEADING + 4,
              "the toggles are numbered in a row");
// The progress trace counts R35 lines of about 15 bytes (1500 lines / L is
// the percentage); a record file's progress is its bytes read, put in the
// same terms.
constexpr std::uint64_t kTraceBytesPerLine = 15;

QString CannotOpen(const QString& path, const QString& reason) {
    return QCoreApplication::translate("AnalysisSession", "无法打开文件：%1\n%2").arg(path, reason);
}

QString R35Refusal(const QString& path, const LoadResult& result) {
    switch (result.status) {
    case LoadResult::Status::Complete:
    case LoadResult::Status::Cancelled:
        return {};
    case LoadResult::Status::CannotOpen:
        return CannotOpen(path, QString::fromStdString(SystemErrorText(result.nError)));
    case LoadResult::Status::NotRegularFile:
        return CannotOpen(path, QCoreApplication::translate("AnalysisSession", "不是普通文件"));
    case LoadResult::Status::Empty:
        return QCoreApplication::translate("AnalysisSession", "所选的文件为空！");
    case LoadResult::Status::GgaRecording:
        return QCoreApplication::translate("AnalysisSession",
                                           "所读文件有GPGGA格式,请打开R35格式的文件");
    case LoadResult::Status::NotR35:
        return QCoreApplication::translate("AnalysisSession", "请检查文件格式");
    }
    return {};
}

QString RecordRefusal(const QString& path, const RecordLoadResult& result) {
    using Status = RecordLoadResult::Status;
    switch (result.status) {
    case Status::Complete:
    case Status::Cancelled:
        return {};
    case Status::CannotOpen:
        return CannotOpen(path, result.strError.empty()
                                    ? QString::fromStdString(SystemErrorText(result.nError))
                                    : QString::fromStdString(result.strError));
    case Status::NotRegularFile:
        return CannotOpen(path, QCoreApplication::translate("AnalysisSession", "不是普通文件"));
    case Status::Empty:
        return QCoreApplication::translate("AnalysisSession", "所选的文件为空！");
    case Status::NoAttitude:
        return QCoreApplication::translate("AnalysisSession",
                                           "所选的记录文件中没有方位角、俯仰角或横滚角");
    }
    return {};
}

// "09:05:03.125" of a UTC time in milliseconds.
QString ClockText(std::int64_t utcMs) {
    const std::int64_t ms = ((utcMs % 86400000) + 86400000) % 86400000;
    return QString("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QChar('0'))
        .arg(ms / 60000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

// How much of a file is looked at to tell a record from an R35 file.
constexpr std::size_t kSniffBytes = 64 * 1024;

// Whether a file chosen as the instrument's own attitude file is a record of
// this program: its timing file is beside it, or its first lines hold what an
// R35 file has not (a packet, a sentence other than $C, HDA and ROT).
bool LooksLikeRecord(const std::string& path) {
    struct stat times {};
    if (stat(CRecordTimesWriter::PathFor(path).c_str(), &times) == 0 && S_ISREG(times.st_mode))
        return true;
    const RegularFile file = OpenRegularFile(path);
    if (file.fd < 0)
        return false; // the load says why
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(file.size, kSniffBytes)),
                     '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = read(file.fd, head.data() + got, head.size() - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(file.fd);
    std::string_view text(head.data(), got);
    const bool whole = got == file.size;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos && !whole)
            break; // a line cut off by the end of what was read
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.find('\x02') != std::string_view::npos)
            return true; // a packet
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.starts_with("$C"))
            continue;
        const std::string_view first = ExtractFieldOf(line, 1);
        if (first == "HDA" || first == "ROT")
            continue;
        // A talker's sentence or a tag block is a record's. Other lines may be
        // a record's too (a line cut short when the port opened): look on.
        if (line.front() == '$' || line.front() == '!' || line.front() == '\\')
            return true;
    }
    return false; // the R35 load says what it makes of it
}

QString AngleText(float value) {
    return std::isnan(value) ? QString("--") : QString::number(value, 'f', 2);
}
} // namespace

// One load: the loading thread fills data and says when it has ended.
struct CAnalysisSession::Job {
    QString path;
    AnalysisSource source = AnalysisSource::R35;
    SentenceOptions options;
    HeadingCompareSettings compare;
    std::atomic<bool> cancel{false};
    std::atomic<bool> ended{false};
    std::atomic<std::uint64_t> lines{0}, length{0}; // in the progress trace's terms
    std::unique_ptr<CAnalysisRecords> data = std::make_unique<CAnalysisRecords>();
    Finished finished;
    std::function<void()> onEnded;
    std::thread thread;

    void Run() {
        if (source == AnalysisSource::R35 && LooksLikeRecord(path.toStdString()))
            source = AnalysisSource::Record;
        auto progress = [this](std::uint64_t done, std::uint64_t total) {
            lines.store(source == AnalysisSource::R35 ? done : done / kTraceBytesPerLine,
                        std::memory_order_relaxed);
            length.store(total, std::memory_order_relaxed);
        };
        bool cancelled = false;
        if (source == AnalysisSource::R35) {
            const LoadResult result =
                LoadAnalysisFile(path.toStdString(), data->records, progress, 1u << 20, &cancel);
            cancelled = result.status == LoadResult::Status::Cancelled;
            finished.complete = result.status == LoadResult::Status::Complete;
            finished.refusal = R35Refusal(path, result);
            data->nMessages = result.nLines;
        } else {
            RecordLoadOutput out;
            const RecordLoadResult result =
                LoadRecordFile(path.toStdString(), out, progress, &cancel, options);
            cancelled = result.status == RecordLoadResult::Status::Cancelled;
            finished.complete = result.status == RecordLoadResult::Status::Complete;
            finished.refusal = RecordRefusal(path, result);
            data->records = std::move(out.records);
            data->times = std::move(out.times);
            data->counts = out.counts;
            data->nMessages = result.nMessages;
            data->nPositions = result.nPositions;
            if (!cancelled && result.status == RecordLoadResult::Status::Complete)
                data->arrHeadings =
                    CompareRecordedHeadings(path.toStdString(), compare, options, &cancel);
            cancelled = cancel.load();
        }
        finished.taken = !cancelled;
        if (!cancelled)
            data->Summarise(source == AnalysisSource::Record);
        ended.store(true, std::memory_order_release);
        if (onEnded)
            onEnded();
    }
};

void CAnalysisRecords::Summarise(bool withRoll) {
    float AnalysisSample::*const fields[3] = {&AnalysisSample::fHeading, &AnalysisSample::fPitch,
                                              &AnalysisSample::fSpare1};
    CCurveSummary* const summaries[3] = {&heading, &pitch, &roll};
    for (int k = 0; k < 3; ++k) {
        summaries[k]->Clear();
        nFirst[k] = records.size();
        if (k == 2 && !withRoll)
            break;
        const auto it = std::find_if(records.begin(), records.end(), [&](const AnalysisSample& r) {
            return !std::isnan(r.*fields[k]);
        });
        nFirst[k] = static_cast<std::size_t>(it - records.begin());
    }
    // The heading's summary, the largest, is built on the other core meanwhile.
    std::exception_ptr failed;
    std::thread beside;
    if (nFirst[0] < records.size()) {
        beside = std::thread([&] {
            try {
                heading.Build(records, fields[0], true);
            } catch (...) {
                failed = std::current_exception();
            }
        });
    }
    try {
        for (int k = 1; k < 3; ++k) {
            if (nFirst[k] < records.size())
                summaries[k]->Build(records, fields[k]);
        }
    } catch (...) {
        if (beside.joinable())
            beside.join();
        throw;
    }
    if (beside.joinable())
        beside.join();
    if (failed)
        std::rethrow_exception(failed);
}

CAnalysisSession::CAnalysisSession() : m_pData(std::make_unique<CAnalysisRecords>()) {}

CAnalysisSession::~CAnalysisSession() {
    CancelLoad();
    Reap(true);
}

void CAnalysisSession::StartLoad(const QString& path, AnalysisSource source,
                                 std::function<void()> onEnded) {
    CancelLoad();
    Reap(false);
    m_pJob = std::make_unique<Job>();
    m_pJob->path = path;
    m_pJob->source = source;
    m_pJob->options = m_sentenceOptions;
    m_pJob->compare = m_headingCompare;
    m_pJob->onEnded = std::move(onEnded);
    m_pJob->thread = std::thread([job = m_pJob.get()] { job->Run(); });
}

bool CAnalysisSession::LoadEnded() const {
    return m_pJob && m_pJob->ended.load(std::memory_order_acquire);
}

CAnalysisSession::Finished CAnalysisSession::FinishLoad() {
    if (!m_pJob)
        return {};
    std::unique_ptr<Job> job = std::move(m_pJob);
    job->thread.join();
    if (job->finished.taken)
        Take(std::move(job->data), job->path);
    Reap(false);
    return job->finished;
}

void CAnalysisSession::CancelLoad() {
    if (!m_pJob)
        return;
    // Not waited for: a record file's clock is read before its messages, and
    // that cannot stop half-way. The thread is joined once it has ended.
    m_pJob->cancel.store(true, std::memory_order_relaxed);
    m_cancelled.push_back(std::move(m_pJob));
}

void CAnalysisSession::Reap(bool wait) {
    std::erase_if(m_cancelled, [wait](const std::unique_ptr<Job>& job) {
        if (!wait && !job->ended.load(std::memory_order_acquire))
            return false;
        job->thread.join();
        return true;
    });
}

QString CAnalysisSession::Load(const QString& path, AnalysisSource source) {
    StartLoad(path, source);
    return FinishLoad().refusal;
}

void CAnalysisSession::Take(std::unique_ptr<CAnalysisRecords> data, const QString& path) {
    m_pData = std::move(data);
    m_strPath = path;
    ++m_nGeneration;
}

QString CAnalysisSession::Refusal(const LoadResult& result, const QString& path) {
    return R35Refusal(path, result);
}

QString CAnalysisSession::Refusal(const RecordLoadResult& result, const QString& path) {
    return RecordRefusal(path, result);
}

void CAnalysisSession::SetRecords(std::vector<AnalysisSample> records, AnalysisTimes times,
                                  bool withRoll) {
    auto data = std::make_unique<CAnalysisRecords>();
    data->records = std::move(records);
    data->times = std::move(times);
    data->Summarise(withRoll);
    Take(std::move(data), QString());
}

CAnalysisData CAnalysisSession::Data() const {
    const CAnalysisRecords& d = *m_pData;
    const bool roll = d.nFirst[2] < d.records.size();
    return {&d.records,  &d.heading,  &d.pitch,   roll ? &d.roll : nullptr,
            d.nFirst[0], d.nFirst[1], d.nFirst[2]};
}

QString CAnalysisSession::FurtherSourcesText() const {
    QStringList labels;
    for (const HeadingAgreement& agreement : m_pData->arrHeadings)
        labels << QString::fromStdString(agreement.strLabel);
    if (labels.isEmpty())
        return {};
    return QCoreApplication::translate("AnalysisSession", "另有来源 %1 的记录，航向比较见会话摘要")
        .arg(labels.join(QCoreApplication::translate("AnalysisSession", "、")));
}

QString CAnalysisSession::TimeSourceText() const {
    return TimeSourceText(Times());
}

QString CAnalysisSession::TimeSourceText(const AnalysisTimes& times) {
    if (!times.Known())
        return {};
    QString text;
    switch (times.source) {
    case RecordTimeSource::TimingFile:
        text = QCoreApplication::translate("AnalysisSession", "时间来自计时文件");
        break;
    case RecordTimeSource::SentenceClock:
        text = QCoreApplication::translate("AnalysisSession", "时间来自 GGA/RMC/ZDA");
        break;
    case RecordTimeSource::Assumed:
        text = QCoreApplication::translate("AnalysisSession", "时间按每秒 10 条推算");
        break;
    case RecordTimeSource::None:
        return {};
    }
    // Why the better source beside the record was left aside.
    if (!times.strSourceNote.empty())
        text = QCoreApplication::translate("AnalysisSession", "%1（%2）")
                   .arg(text, QString::fromStdString(times.strSourceNote));
    return text;
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
    CPlotFrame f = frame;
    if (TimeAxisOn())
        f.times = &Times();
    DrawAnalysisCurves(canvas, f, Data(), HeadingOn(), PitchOn(), RollOn());
    // Satellites and error have toggles but no data to draw.
}

void CAnalysisSession::DrawProgress(CCanvas& canvas) const {
    // In unscaled reference pixels: the bar's frame, the texts, the trace.
    canvas.SelectPen(kFramePen);
    canvas.MoveTo(10, 630);
    canvas.LineTo(1010, 630);
    canvas.LineTo(1010, 650);
    canvas.LineTo(10, 650);
    canvas.SelectPen(kProgressPen);
    canvas.TextOut(10, 610, QCoreApplication::translate("AnalysisSession", "正在读取文件..."));
    canvas.TextOut(140, 610, "%");
    const std::uint64_t lines = m_pJob ? m_pJob->lines.load(std::memory_order_relaxed) : 0;
    const std::uint64_t length = m_pJob ? m_pJob->length.load(std::memory_order_relaxed) : 0;
    if (length == 0 || lines == 0)
        return;
    canvas.TextOut(120, 610, QString::number(1500 * lines / length));
    const auto trace = ProgressTrace(lines, length, canvas.Size().width());
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
    out << static_cast<quint64>(Records().size()) << static_cast<quint64>(m_nGeneration)
        << HeadingOn() << PitchOn() << RollOn() << TimeAxisOn();
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
    const std::size_t count = Records().size();
    if (count == 0)
        return {};
    // Record to column is one rising straight line: two points give it.
    const double x0 = frame.MapX(frame.TimeX(0));
    const double perRecord = frame.MapX(frame.TimeX(1)) - x0;
    if (!(perRecord > 0))
        return {};
    const double at = std::round((x - x0) / perRecord);
    if (!(at >= 0 && at < static_cast<double>(count)))
        return {};
    const auto i = static_cast<std::size_t>(at);
    const AnalysisSample& record = Records()[i];
    QString text = QCoreApplication::translate("AnalysisSession", "第 %1 条记录").arg(i);
    if (Times().Known())
        text += QCoreApplication::translate("AnalysisSession", "，UTC %1")
                    .arg(ClockText(Times().UtcMs(i)));
    text += QCoreApplication::translate("AnalysisSession", "，方位角 %1，俯仰角 %2")
                .arg(AngleText(record.fHeading), AngleText(record.fPitch));
    if (m_pData->nFirst[2] <= i)
        text += QCoreApplication::translate("AnalysisSession", "，横滚角 %1")
                    .arg(AngleText(record.fSpare1));
    return text;
}
