#include "link/InstrumentSession.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
constexpr PortEvents kPortEvents{PortEvent::Received, PortEvent::Cts};
constexpr unsigned kWriteBufferSize = 512;
constexpr std::uint8_t kAnswerCommand = 0x06;

bool SameLink(const LinkState& a, const LinkState& b) {
    return a.kind == b.kind && a.nPort == b.nPort && a.strDevice == b.strDevice &&
           a.nError == b.nError && a.strSource == b.strSource && a.strError == b.strError;
}

bool SameRecord(const RecordState& a, const RecordState& b) {
    return a.kind == b.kind && a.strPath == b.strPath && a.strOldPath == b.strOldPath &&
           a.strError == b.strError && a.nError == b.nError;
}
} // namespace

CInstrumentSession::CInstrumentSession(ISessionListener* listener)
    : m_pListener(listener), m_readBuffer(CReceiveRing::kSize + 1) {
    m_fdWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CInstrumentSession::~CInstrumentSession() {
    if (m_thread.joinable()) {
        m_bStop = true;
        Wake();
        m_thread.join();
    }
    // The port's watch thread may still wake us: it ends with the port.
    m_pPort.reset();
    m_pSource.reset(); // nothing reads from it now
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        m_record.Flush();
        m_record.Close();
        m_times.Close();
        m_raw.Close();
    }
    LogSkippedClientLines();
    Log("program", "end");
    if (m_fdWake >= 0)
        close(m_fdWake);
}

bool CInstrumentSession::CreateRecord(const std::string& folder, const std::tm& when,
                                      std::string* error) {
    std::lock_guard<std::mutex> guard(m_recordLock);
    RecordState state;
    if (m_record.CreateNew(folder, when, error)) {
        m_bKeepsLog = true;
        state.kind = RecordState::Kind::Open;
        state.strPath = m_record.Path();
        SetRecord(state);
        OpenEventLogLocked();
        OpenTimesLocked();
        return true;
    }
    state.kind = RecordState::Kind::CreateFailed;
    state.strPath = folder + "/" + CRecordFile::FileName(when);
    state.strError = error ? *error : std::string();
    SetRecord(state);
    // Tried again on the session's thread; the log keeps its lines meanwhile
    // and writes them, with the gap, once the record is made.
    m_bKeepsLog = true;
    m_strRetryFolder = folder;
    m_nRetryFromUtcMs = CEventLog::NowUtcMs();
    m_nRetryAtUtcMs = m_nRetryFromUtcMs + m_nRecordRetryMs;
    Log("record", "create-failed", state.strError);
    return false;
}

void CInstrumentSession::RetryRecordLocked() {
    const std::int64_t now = CEventLog::NowUtcMs();
    if (m_strRetryFolder.empty() || now < m_nRetryAtUtcMs)
        return;
    m_nRetryAtUtcMs = now + m_nRecordRetryMs;
    const std::time_t seconds = static_cast<std::time_t>(now / 1000);
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
    SetRecord(state);
    OpenEventLogLocked();
    OpenTimesLocked();
    Log("record", "started-late", CEventLog::Number(static_cast<double>(state.nGapMs) / 1000.0),
        m_record.Path());
}

bool CInstrumentSession::ReplaceRecord(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> guard(m_recordLock);
    if (!m_record.Replace(path, error))
        return false;
    m_bKeepsLog = true;
    m_bWriteFailing = false;
    RecordState state;
    state.kind = RecordState::Kind::Open;
    state.strPath = path;
    SetRecord(state);
    OpenEventLogLocked();
    OpenTimesLocked();
    return true;
}

void CInstrumentSession::OpenTimesLocked() {
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

void CInstrumentSession::OpenEventLogLocked() {
    const std::string path = CEventLog::PathFor(m_record.Path());
    std::lock_guard<std::mutex> guard(m_eventLock);
    if (m_events.Path() != path || !m_events.IsOpen())
        m_events.Open(path, nullptr);
}

std::string CInstrumentSession::EventLogPath() const {
    std::lock_guard<std::mutex> guard(m_eventLock);
    return m_events.Path();
}

void CInstrumentSession::Log(std::string_view subject, std::string_view event,
                             std::string_view value, std::string_view limit) {
    std::lock_guard<std::mutex> guard(m_eventLock);
    if (m_bKeepsLog) // a session without a record (a replay) has no log
        m_events.Write(subject, event, value, limit);
}

AlarmStates CInstrumentSession::Alarms() const {
    AlarmStates states;
    for (int i = 0; i < kAlarmSubjects; ++i)
        states.state[i] = static_cast<AlertState>(m_nAlarmStates[i].load());
    return states;
}

void CInstrumentSession::RunOnThread(std::function<void()> command) {
    if (!m_thread.joinable()) {
        command();
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        m_commands.push_back(std::move(command));
    }
    Wake();
}

void CInstrumentSession::AcknowledgeAlarms() {
    RunOnThread([this] {
        for (CAlert& alert : m_alerts)
            alert.Acknowledge(SteadyMs());
        LogAlarmChanges();
    });
}

void CInstrumentSession::SilenceAlarms() {
    RunOnThread([this] {
        for (CAlert& alert : m_alerts)
            alert.Silence(SteadyMs());
        LogAlarmChanges();
    });
}

void CInstrumentSession::SetAlertSettings(const AlertSettings& settings) {
    RunOnThread([this, settings] {
        for (CAlert& alert : m_alerts)
            alert.SetSettings(settings);
    });
}

namespace {
const char* const kAlarmSubjectNames[kAlarmSubjects] = {"pitch", "roll", "data"};
const char* const kQuantityNames[kQuantities] = {"heading", "pitch", "roll", "position"};
} // namespace

void CInstrumentSession::MeasureAlarms(std::int64_t nowMs) {
    m_nMeasuredMs = nowMs;
    // The comparison after every message, with the last angles received.
    static constexpr Quantity kAngles[] = {Quantity::Pitch, Quantity::Roll};
    const int limits[] = {m_monitor.PitchLimit(), m_monitor.RollLimit()};
    for (int i = 0; i < 2; ++i) {
        double angle = 0;
        if (m_monitor.LastAngle(kAngles[i], &angle))
            m_alerts[i].MeasureAngle(angle, limits[i], nowMs);
        else
            m_alerts[i].Clear(nowMs); // never received: nothing to compare
    }
    // The data alarm moves only as time passes (TickAlarms).
    if (AlarmMoved(0) || AlarmMoved(1))
        LogAlarmChanges();
}

bool CInstrumentSession::AlarmMoved(int i) const {
    return m_alerts[i].HasChanges() || m_nAlarmStates[i].load(std::memory_order_relaxed) !=
                                           static_cast<int>(m_alerts[i].State());
}

void CInstrumentSession::TickAlarms(std::int64_t nowMs) {
    const std::int64_t staleMs = m_monitor.StaleMs();
    // Values that stop (and start again) coming.
    const CLiveValues values = m_monitor.Values();
    for (int q = 0; q < kQuantities; ++q) {
        const auto quantity = static_cast<Quantity>(q);
        const bool stale = values.IsStale(quantity, nowMs, staleMs);
        if (stale != m_bStale[q]) {
            m_bStale[q] = stale;
            Log(kQuantityNames[q], stale ? "stale" : "fresh",
                CEventLog::Number(static_cast<double>(values.AgeMs(quantity, nowMs)) / 1000));
        }
    }
    // Data lost: no attitude for the stale time, once some has come.
    const std::int64_t last = m_monitor.LastAttitudeMs();
    const double ageSeconds = last >= 0 ? static_cast<double>(nowMs - last) / 1000 : 0;
    m_alerts[static_cast<int>(AlarmSubject::Data)].Measure(
        last >= 0 && nowMs - last > staleMs, ageSeconds, static_cast<double>(staleMs) / 1000,
        nowMs);
    for (CAlert& alert : m_alerts)
        alert.Tick(nowMs);
    LogAlarmChanges();
}

void CInstrumentSession::LogAlarmChanges() {
    bool changed = false;
    for (int i = 0; i < kAlarmSubjects; ++i) {
        if (!AlarmMoved(i))
            continue;
        for (const CAlert::Change& change : m_alerts[i].TakeChanges()) {
            Log(kAlarmSubjectNames[i], AlertEventName(change.to), CEventLog::Number(change.value),
                CEventLog::Number(change.limit));
            // An alarm that starts is marked on the curves at its sample.
            const bool starts = change.to == AlertState::ActiveUnacknowledged &&
                                change.from != AlertState::ActiveSilenced;
            if (starts && i != static_cast<int>(AlarmSubject::Data))
                m_monitor.MarkAlarm();
        }
        const int state = static_cast<int>(m_alerts[i].State());
        if (m_nAlarmStates[i].exchange(state) != state)
            changed = true;
    }
    if (changed)
        Notify();
}

void CInstrumentSession::AdoptSource(std::unique_ptr<ISessionSource> source) {
    assert(!m_thread.joinable());
    m_pSource = std::move(source);
    if (m_pSource)
        m_pSource->AttachedTo(*this);
}

void CInstrumentSession::Start() {
    if (m_thread.joinable())
        return;
    Log("program", "start");
    m_thread = std::thread([this] { Run(); });
}

void CInstrumentSession::UsePort(unsigned port, const std::string& device) {
    if (!m_thread.joinable()) {
        m_nPort = port;
        m_strDevice = device;
        m_bUseNet = false;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        m_commands.push_back([this, port, device] {
            DrainPort();
            ClosePort();
            m_nPort = port;
            m_strDevice = device;
            m_bUseNet = false;
            TryOpen(SteadyMs());
        });
    }
    Wake();
}

LinkState CInstrumentSession::Link() const {
    std::lock_guard<std::mutex> guard(m_linkLock);
    return m_linkState;
}

SessionHealth CInstrumentSession::Health() const {
    SessionHealth health;
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        health.types = m_counts;
        health.nBadPackets = m_framer.BadPackets();
        health.nDatagramsLost = m_nDatagramsLost;
        health.senders = m_senders;
        health.nOverlongLines = m_framer.OverlongLines();
    }
    {
        std::lock_guard<std::mutex> guard(m_linkLock);
        health.link = m_linkState;
        health.nReconnects = m_nConnections > 1 ? m_nConnections - 1 : 0;
    }
    health.nDroppedBytes = m_queue.DroppedBytes();
    health.strRecordPath = RecordPath();
    return health;
}

RecordState CInstrumentSession::Record() const {
    std::lock_guard<std::mutex> guard(m_recordStateLock);
    return m_recordState;
}

std::string CInstrumentSession::RecordPath() const {
    std::lock_guard<std::mutex> guard(m_recordStateLock);
    return m_strRecordPath;
}

void CInstrumentSession::PostPortEvent(PortEvent event, unsigned, std::size_t) {
    if (event == PortEvent::Vanished)
        m_bVanished = true;
    if (event == PortEvent::Received || event == PortEvent::Vanished)
        Wake();
}

void CInstrumentSession::PostPortError(const std::string& text) {
    if (m_pListener)
        m_pListener->SessionError(text);
    else
        std::fputs(text.c_str(), stderr);
}

void CInstrumentSession::Wake() {
    const std::uint64_t one = 1;
    while (write(m_fdWake, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CInstrumentSession::Notify() {
    if (m_pListener)
        m_pListener->SessionChanged();
}

void CInstrumentSession::Run() {
    // Named for top -H and a profiler: the thread that receives and records.
    pthread_setname_np(pthread_self(), "quillmar-link");
    std::int64_t now = SteadyMs();
    TryOpen(now);
    m_nRecordCheckAtMs = now + kRecordCheckMs;
    m_nAlarmTickAtMs = now + kAlarmTickMs;
    while (!m_bStop) {
        std::int64_t due = std::min(m_nRecordCheckAtMs, m_nAlarmTickAtMs);
        if (m_nReconnectAtMs >= 0 && m_nReconnectAtMs < due)
            due = m_nReconnectAtMs;
        if (!m_answersAtMs.empty() && m_answersAtMs.front() < due)
            due = m_answersAtMs.front();
        if (m_nSourceAtMs >= 0 && m_nSourceAtMs < due)
            due = m_nSourceAtMs;
        if (const std::int64_t at = m_server.WakeAtMs(); at >= 0 && at < due)
            due = at;
        PollSources(static_cast<int>(std::max<std::int64_t>(0, due - SteadyMs())));
        std::uint64_t count;
        while (read(m_fdWake, &count, sizeof count) > 0) {
        }
        if (m_bStop)
            break;
        RunCommands();
        DrainPort();
        if (m_pSource)
            m_nSourceAtMs = m_pSource->Pump(*this, SteadyMs());
        now = SteadyMs();
        if (m_pPort && m_bVanished && !m_pPort->IsWatching()) {
            // The adapter went away: what it sent before is in the ring.
            DrainPort();
            ClosePort();
            SetLink({LinkState::Kind::Vanished, m_nPort, m_strDevice, 0, 0, {}, {}});
            m_nReconnectAtMs = now + kReconnectMs;
        }
        if (m_nReconnectAtMs >= 0 && now >= m_nReconnectAtMs)
            TryOpen(now);
        AnswerDue(now);
        if (now >= m_nRecordCheckAtMs) {
            CheckRecord();
            m_nRecordCheckAtMs = now + kRecordCheckMs;
        }
        if (now >= m_nAlarmTickAtMs) {
            if (!m_pSource || !m_pSource->Paused())
                TickAlarms(now);
            TickSources(now);
            m_nAlarmTickAtMs = now + kAlarmTickMs;
        }
    }
}

void CInstrumentSession::RunCommands() {
    std::vector<std::function<void()>> commands;
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        commands.swap(m_commands);
    }
    for (auto& command : commands)
        command();
}

void CInstrumentSession::DrainPort() {
    while (m_pPort) {
        const unsigned count = m_pPort->TakeReceived(m_readBuffer.data());
        if (count == 0)
            break;
        Process(m_readBuffer.data(), count, SteadyMs());
    }
}

void CInstrumentSession::ClosePort() {
    m_pPort.reset();
    m_pNet.reset();
    m_bVanished = false;
    m_answersAtMs.clear(); // asked for on a connection that is gone
    if (m_framer.Reset())
        m_nPartialMessages.fetch_add(1);
}

void CInstrumentSession::TryOpen(std::int64_t nowMs) {
    m_nReconnectAtMs = -1;
    if (m_bUseNet) {
        OpenNet(nowMs);
        return;
    }
    if (m_strDevice.empty()) {
        SetLink({LinkState::Kind::NoDevice, m_nPort, m_strDevice, 0, 0, {}, {}});
        return;
    }
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(this, m_nPort, m_strDevice, kBaud, 'N', 8, 1, kPortEvents, kWriteBufferSize)) {
        SetLink({LinkState::Kind::OpenFailed, m_nPort, m_strDevice, port->OpenError(), 0, {}, {}});
        // Keep trying: the adapter may be plugged in, or let go by another program.
        m_nReconnectAtMs = nowMs + kReconnectMs;
        return;
    }
    m_bVanished = false;
    port->StartWatching();
    m_pPort = std::move(port);
    SetLink({LinkState::Kind::Connected, m_nPort, m_strDevice, 0, 0, {}, {}});
}

void CInstrumentSession::SetLink(const LinkState& state) {
    bool wasConnected = false;
    {
        std::lock_guard<std::mutex> guard(m_linkLock);
        if (SameLink(m_linkState, state))
            return;
        wasConnected = m_linkState.kind == LinkState::Kind::Connected;
        m_linkState = state;
        m_linkState.nSinceMs = SteadyMs();
        if (state.kind == LinkState::Kind::Connected)
            ++m_nConnections;
    }
    const bool connected = state.kind == LinkState::Kind::Connected;
    if (wasConnected && !connected) {
        m_bLinkLost = true;
        Log("link", "lost", state.strSource);
    } else if (connected && m_bLinkLost) {
        m_bLinkLost = false;
        Log("link", "restored", state.strSource);
    }
    Notify();
}

void CInstrumentSession::SetRecord(const RecordState& state) {
    // Called with m_recordLock held; the window reads the state under a lock
    // of its own, never waiting for a write to the disk.
    {
        std::lock_guard<std::mutex> guard(m_recordStateLock);
        m_strRecordPath = m_record.Path();
        if (SameRecord(m_recordState, state))
            return;
        m_recordState = state;
    }
    if (state.kind == RecordState::Kind::WriteFailing)
        Log("record", "write-failed");
    else if (state.kind == RecordState::Kind::Resumed)
        Log("record", "resumed");
    Notify();
}

void CInstrumentSession::Process(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs) {
    ProcessParts(bytes, &count, 1, false, nowMs);
}

void CInstrumentSession::ProcessParts(const std::uint8_t* bytes, const std::size_t* ends,
                                      std::size_t parts, bool wholes, std::int64_t nowMs) {
    if (parts == 0)
        return;
    m_nLastByteMs.store(nowMs, std::memory_order_relaxed);
    std::uint64_t messages = 0;
    // One lock a read, not a message: the window's copy waits at most for the
    // framing of one read.
    std::unique_lock<std::mutex> health(m_healthLock);
    std::optional<CMonitorState::CHeldValues> values(std::in_place, m_monitor);
    const std::int64_t utcMs = CEventLog::NowUtcMs();
    const auto onMessage = [&](const CReceiverMessage& message) {
        const std::string_view text = CMonitorState::MessageText(message);
        m_recordBatch.append(text);
        if (message.m_bTextLine && m_server.IsOpen())
            m_serveBatch.append(text);
        if (!text.empty()) // an empty packet leaves nothing in the record
            m_timesBatch.push_back(message.m_bTextLine
                                       ? text.size() << 9
                                       : text.size() << 9 | message.m_nType << 1 | 1);
        const CMonitorState::Kind kind = m_monitor.Interpret(message, nowMs);
        m_counts.Count(message, kind == CMonitorState::Kind::BadChecksum, nowMs);
        // The comparison is the same for the same angles at the same time:
        // a heading, a position or a packet within one read changes nothing.
        if (nowMs != m_nMeasuredMs || kind == CMonitorState::Kind::Pitch ||
            kind == CMonitorState::Kind::Roll || kind == CMonitorState::Kind::Attitude)
            MeasureAlarms(nowMs);
        CMessageQueue::Encode(m_queueBatch, message);
        ++messages;
        if (message.m_nType == 'n' && (m_pPort || NetAnswers())) {
            if (m_pPort)
                m_pPort->SetBaudRate(kBaud);
            // The instrument wants a pause before the answer.
            m_answersAtMs.push_back(nowMs + kAnswerDelayMs);
        }
    };
    for (std::size_t i = 0, at = 0; i < parts; at = ends[i++]) {
        m_framer.Feed(bytes + at, ends[i] - at, onMessage);
        if (wholes) // a datagram's end ends its last message, whole or not
            m_framer.EndMessage(onMessage);
    }
    values.reset();
    health.unlock();
    // The read as read, then the messages of it in one write, before the next
    // read is taken.
    WriteRecord(bytes, ends, parts, wholes, utcMs);
    if (messages == 0)
        return;
    m_recordBatch.clear();
    m_timesBatch.clear();
    ServeBatch();
    m_queue.Add(m_queueBatch);
    m_queueBatch.clear();
    const std::uint64_t dropped = m_queue.DroppedBytes();
    if (dropped != m_nDroppedLogged) {
        Log("input", "dropped", std::to_string(dropped - m_nDroppedLogged));
        m_nDroppedLogged = dropped;
    }
    m_nMessages.fetch_add(messages, std::memory_order_relaxed);
    Notify();
}

void CInstrumentSession::WriteRecord(const std::uint8_t* bytes, const std::size_t* ends,
                                     std::size_t parts, bool wholes, std::int64_t utcMs) {
    std::lock_guard<std::mutex> guard(m_recordLock);
    if (!m_record.IsOpen())
        return;
    // A file deleted under us is made again before anything goes into it.
    if (m_record.IsRemoved())
        RecreateRecordLocked();
    // Each datagram is a read of its own in the raw capture.
    for (std::size_t i = 0, at = 0; i < parts; at = ends[i++])
        m_raw.Add({reinterpret_cast<const char*>(bytes) + at, ends[i] - at}, utcMs, wholes);
    if (m_recordBatch.empty())
        return;
    const std::size_t droppedBefore = m_record.DroppedBytes();
    const bool ok = m_record.Write(m_recordBatch);
    // After the record's write: a crash between the two leaves the record
    // ahead, never the times. Messages the record had to drop (a full disk
    // past the backlog's limit) get no times either: every later time stays
    // with its message.
    const bool dropped = m_record.DroppedBytes() != droppedBefore;
    if (dropped)
        m_nRecordDropped.store(m_record.DroppedBytes(), std::memory_order_relaxed);
    std::size_t at = 0;
    if (!dropped) {
        for (const std::size_t lengthAndKind : m_timesBatch) {
            const std::size_t length = lengthAndKind >> 9;
            m_times.Add(std::string_view(m_recordBatch).substr(at, length), lengthAndKind & 1,
                        utcMs, static_cast<std::uint8_t>(lengthAndKind >> 1));
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
    SetRecord(state);
    if (ok)
        LogRecordDropsLocked();
}

void CInstrumentSession::LogRecordDropsLocked() {
    const std::size_t dropped = m_record.DroppedBytes();
    if (dropped == m_nRecordDroppedLogged)
        return;
    Log("record", "dropped", std::to_string(dropped - m_nRecordDroppedLogged));
    m_nRecordDroppedLogged = dropped;
}

void CInstrumentSession::RecreateRecordLocked() {
    RecordState state;
    state.strOldPath = m_record.Path();
    std::string error;
    if (m_record.Recreate(&error)) {
        state.kind = RecordState::Kind::Recreated;
        state.strPath = m_record.Path();
        OpenEventLogLocked(); // the log goes with the record, under its new name if it has one
        OpenTimesLocked();
    } else {
        state.kind = RecordState::Kind::RecreateFailed;
        state.strPath = state.strOldPath;
        state.strError = error;
    }
    SetRecord(state);
}

void CInstrumentSession::CheckRecord() {
    std::lock_guard<std::mutex> guard(m_recordLock);
    if (!m_record.IsOpen())
        RetryRecordLocked();
    if (!m_record.IsOpen())
        return;
    if (m_record.IsRemoved())
        RecreateRecordLocked();
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
        SetRecord(state);
        LogRecordDropsLocked();
    }
}

void CInstrumentSession::AnswerDue(std::int64_t nowMs) {
    while (!m_answersAtMs.empty() && m_answersAtMs.front() <= nowMs) {
        m_answersAtMs.pop_front();
        if (!m_pPort && !NetAnswers())
            continue;
        std::uint8_t packet[32];
        const int length = m_commandBuilder.Build(kAnswerCommand, packet);
        if (m_pPort)
            m_pPort->SendBytes(packet, static_cast<unsigned>(length));
        else
            m_pNet->Send(packet, static_cast<std::size_t>(length));
    }
}
