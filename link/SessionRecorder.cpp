#include "link/SessionRecorder.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool SameRecord(const RecordState& a, const RecordState& b) {
    return a.kind == b.kind && a.strPath == b.strPath && a.strOldPath == b.strOldPath &&
           a.strError == b.strError && a.nError == b.nError;
}
} // namespace

CSessionRecorder::CSessionRecorder(std::function<void()> changed, IEventSink* events,
                                   std::string label)
    : m_changed(std::move(changed)), m_pForward(events), m_strLabel(std::move(label)) {}

bool CSessionRecorder::CreateRecordAt(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_bKeepsLog = true;
    if (!m_record.CreateAt(path, error)) {
        RecordState state;
        state.kind = RecordState::Kind::CreateFailed;
        state.strPath = path;
        state.strError = error ? *error : std::string();
        SetState(state);
        return false;
    }
    OpenedLocked();
    return true;
}

bool CSessionRecorder::CreateRecord(const std::string& folder, const std::tm& when,
                                    std::string* error) {
    std::lock_guard<std::mutex> guard(m_lock);
    RecordState state;
    m_bKeepsLog = true;
    if (m_record.CreateNew(folder, when, error)) {
        OpenedLocked();
        return true;
    }
    state.kind = RecordState::Kind::CreateFailed;
    state.strPath = folder + "/" + CRecordFile::FileName(when);
    state.strError = error ? *error : std::string();
    SetState(state);
    // Tried again by Check; the log keeps its lines meanwhile and writes
    // them, with the gap, once the record is made.
    m_strRetryFolder = folder;
    m_nRetryFromUtcMs = CEventLog::NowUtcMs();
    m_nRetryAtUtcMs = m_nRetryFromUtcMs + m_nRetryMs;
    Log("record", "create-failed", state.strError);
    return false;
}

void CSessionRecorder::RetryLocked() {
    const std::int64_t now = CEventLog::NowUtcMs();
    if (m_strRetryFolder.empty() || now < m_nRetryAtUtcMs)
        return;
    m_nRetryAtUtcMs = now + m_nRetryMs;
    const auto seconds = static_cast<std::time_t>(now / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    std::string error;
    if (!m_record.CreateNew(m_strRetryFolder, local, &error))
        return;
    m_strRetryFolder.clear();
    RecordState state;
    state.kind = RecordState::Kind::StartedLate;
    state.strPath = m_record.Path();
    state.nGapMs = now - m_nRetryFromUtcMs;
    SetState(state);
    OpenBesideLocked();
    Log("record", "started-late", CEventLog::Number(static_cast<double>(state.nGapMs) / 1000.0),
        m_record.Path());
}

bool CSessionRecorder::ReplaceRecord(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_record.Replace(path, error))
        return false;
    m_bKeepsLog = true;
    m_bWriteFailing = false;
    m_strRetryFolder.clear();
    OpenedLocked();
    return true;
}

void CSessionRecorder::OpenedLocked() {
    RecordState state;
    state.kind = RecordState::Kind::Open;
    state.strPath = m_record.Path();
    SetState(state);
    OpenBesideLocked();
}

void CSessionRecorder::SetBacklogLimit(std::size_t bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.SetBacklogLimit(bytes);
    m_raw.SetBacklogLimit(bytes);
}

void CSessionRecorder::OpenBesideLocked() {
    if (!m_pForward) {
        const std::string path = CEventLog::PathFor(m_record.Path());
        std::lock_guard<std::mutex> guard(m_eventLock);
        if (m_events.Path() != path || !m_events.IsOpen())
            m_events.Open(path, nullptr);
    }
    // The record starts afresh here, so do its times. Without a timing file
    // the record is still whole; its reader then takes times from the
    // sentences.
    std::string error;
    if (m_bRawCapture && !m_raw.Open(m_record.Path(), CEventLog::NowUtcMs(), &error)) {
        m_raw.Close();
        Log("raw", "create-failed", error);
    }
    if (!m_times.Open(m_record.Path(), CEventLog::NowUtcMs(), &error)) {
        m_times.Close();
        Log("times", "create-failed", error);
    }
}

void CSessionRecorder::EchoTo(int fd) {
    struct stat info {};
    m_bEchoSocket = fd >= 0 && fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
    m_nEchoFd = fd;
}

void CSessionRecorder::Log(std::string_view subject, std::string_view event, std::string_view value,
                           std::string_view limit) {
    if (m_pForward) {
        m_pForward->Log(m_strLabel + "/" + std::string(subject), event, value, limit);
        return;
    }
    const std::int64_t utcMs = CEventLog::NowUtcMs();
    const std::string line = CEventLog::Line(subject, event, value, limit, utcMs);
    std::lock_guard<std::mutex> guard(m_eventLock);
    if (m_bKeepsLog)
        m_events.Write(subject, event, value, limit, utcMs);
    if (m_recent.size() == kRecentEvents)
        m_recent.pop_front();
    m_recent.push_back(line.substr(0, line.size() - 1));
    if (const int fd = m_nEchoFd.load(); fd >= 0) {
        // One write a line, so lines of other writers never cut into it. A
        // journal that does not take it at once (its socket full) loses the
        // echo, never the log, and never holds up the session.
        const auto written = [&] {
            return m_bEchoSocket ? ::send(fd, line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
                                 : ::write(fd, line.data(), line.size());
        };
        while (written() < 0 && errno == EINTR) {
        }
    }
}

void CSessionRecorder::SetState(const RecordState& state) {
    // Called with m_lock held; the window reads the state under a lock of
    // its own, never waiting for a write to the disk.
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_strPath = m_record.Path();
        if (SameRecord(m_state, state))
            return;
        m_state = state;
    }
    if (state.kind == RecordState::Kind::WriteFailing)
        Log("record", "write-failed");
    else if (state.kind == RecordState::Kind::Resumed)
        Log("record", "resumed");
    if (m_changed)
        m_changed();
}

void CSessionRecorder::Write(const std::uint8_t* bytes, const std::size_t* ends, std::size_t parts,
                             bool wholes, std::string_view texts,
                             const std::vector<std::size_t>& lengths, std::int64_t utcMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_record.IsOpen())
        return;
    // A file deleted under us is made again before anything goes into it.
    if (m_record.IsRemoved())
        RecreateLocked();
    // Each datagram is a read of its own in the raw capture.
    for (std::size_t i = 0, at = 0; i < parts; at = ends[i++])
        m_raw.Add({reinterpret_cast<const char*>(bytes) + at, ends[i] - at}, utcMs, wholes);
    if (texts.empty())
        return;
    const std::size_t droppedBefore = m_record.DroppedBytes();
    const bool ok = m_record.Write(texts);
    // After the record's write: a crash between the two leaves the record
    // ahead, never the times. Messages the record had to drop (a full disk
    // past the backlog's limit) get no times either: every later time stays
    // with its message.
    const bool dropped = m_record.DroppedBytes() != droppedBefore;
    if (dropped)
        m_nDropped.store(m_record.DroppedBytes(), std::memory_order_relaxed);
    std::size_t at = 0;
    if (!dropped) {
        for (const std::size_t lengthAndKind : lengths) {
            const std::size_t length = lengthAndKind >> 9;
            m_times.Add(texts.substr(at, length), lengthAndKind & 1, utcMs,
                        static_cast<std::uint8_t>(lengthAndKind >> 1));
            at += length;
        }
    }
    m_times.WriteBatch();
    if (ok == !m_bWriteFailing)
        return;
    m_bWriteFailing = !ok;
    RecordState state;
    state.kind = ok ? RecordState::Kind::Resumed : RecordState::Kind::WriteFailing;
    state.strPath = m_record.Path();
    state.nError = ok ? 0 : m_record.LastError();
    SetState(state);
    if (ok)
        LogDropsLocked();
}

void CSessionRecorder::LogDropsLocked() {
    const std::size_t dropped = m_record.DroppedBytes();
    if (dropped == m_nDroppedLogged)
        return;
    Log("record", "dropped", std::to_string(dropped - m_nDroppedLogged));
    m_nDroppedLogged = dropped;
}

void CSessionRecorder::RecreateLocked() {
    RecordState state;
    state.strOldPath = m_record.Path();
    std::string error;
    if (m_record.Recreate(&error)) {
        state.kind = RecordState::Kind::Recreated;
        state.strPath = m_record.Path();
        OpenBesideLocked(); // the log goes with the record, under its new name if it has one
    } else {
        state.kind = RecordState::Kind::RecreateFailed;
        state.strPath = state.strOldPath;
        state.strError = error;
    }
    SetState(state);
}

void CSessionRecorder::Check() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_record.IsOpen())
        RetryLocked();
    if (!m_record.IsOpen())
        return;
    if (m_record.IsRemoved())
        RecreateLocked();
    // Space may have come back: what failed writes left goes out now.
    m_times.Flush();
    m_raw.Check(CEventLog::NowUtcMs());
    {
        std::lock_guard<std::mutex> events(m_eventLock);
        m_events.Flush();
    }
    if (m_bWriteFailing && m_record.Flush()) {
        m_bWriteFailing = false;
        RecordState state;
        state.kind = RecordState::Kind::Resumed;
        state.strPath = m_record.Path();
        SetState(state);
        LogDropsLocked();
    }
}

void CSessionRecorder::CloseRecord() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.Flush();
    m_record.Close();
    m_times.Close();
    m_raw.Close();
}

RecordState CSessionRecorder::State() const {
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_state;
}

std::string CSessionRecorder::Path() const {
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_strPath;
}

std::vector<std::string> CSessionRecorder::RecentEvents() const {
    std::lock_guard<std::mutex> guard(m_eventLock);
    return {m_recent.begin(), m_recent.end()};
}

std::string CSessionRecorder::EventLogPath() const {
    std::lock_guard<std::mutex> guard(m_eventLock);
    return m_events.Path();
}

std::string CSessionRecorder::RawCapturePath() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_raw.Path();
}
