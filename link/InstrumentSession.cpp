#include "link/InstrumentSession.h"

#include "link/Udp450.h"

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
constexpr std::uint8_t kAnswerCommand = 0x06;

bool SameLink(const LinkState& a, const LinkState& b) {
    return a.kind == b.kind && a.nPort == b.nPort && a.strDevice == b.strDevice &&
           a.nError == b.nError && a.strSource == b.strSource && a.strError == b.strError;
}
} // namespace

CInstrumentSession::CInstrumentSession(ISessionListener* listener, Role role)
    : m_pListener(listener),
      m_pRecorder(role == Role::Live ? std::make_unique<CSessionRecorder>([this] { Notify(); })
                                     : nullptr),
      m_alarms(m_monitor, m_pRecorder ? static_cast<IEventSink&>(*m_pRecorder) : NoEvents()) {
    if (role == Role::Live)
        m_pSharing = std::make_unique<CSessionSharing>(*m_pRecorder, [this] { Notify(); });
    m_fdWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

IEventSink& CInstrumentSession::NoEvents() {
    class CNoEvents final : public IEventSink {
        void Log(std::string_view, std::string_view, std::string_view, std::string_view) override {}
    };
    static CNoEvents none;
    return none;
}

bool CInstrumentSession::CreateRecord(const std::string& folder, const std::tm& when,
                                      std::string* error) {
    if (!m_pRecorder) {
        *error = "a replay records nothing";
        return false;
    }
    return m_pRecorder->CreateRecord(folder, when, error);
}

bool CInstrumentSession::ReplaceRecord(const std::string& path, std::string* error) {
    if (!m_pRecorder) {
        *error = "a replay records nothing";
        return false;
    }
    return m_pRecorder->ReplaceRecord(path, error);
}

CInstrumentSession::~CInstrumentSession() {
    if (m_thread.joinable()) {
        m_bStop = true;
        Wake();
        m_thread.join();
    }
    // The port's watch thread may still wake us: it ends with the port.
    m_pInput.reset();
    if (m_pRecorder)
        m_pRecorder->CloseRecord();
    if (m_pSharing)
        m_pSharing->LogSkippedLines();
    Log("program", "end");
    if (m_fdWake >= 0)
        close(m_fdWake);
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
        if (m_alarms.Acknowledge(SteadyMs()))
            Notify();
    });
}

void CInstrumentSession::SilenceAlarms() {
    RunOnThread([this] {
        if (m_alarms.Silence(SteadyMs()))
            Notify();
    });
}

void CInstrumentSession::SetAlertSettings(const AlertSettings& settings) {
    RunOnThread([this, settings] { m_alarms.SetSettings(settings); });
}

void CInstrumentSession::AdoptInput(std::unique_ptr<IByteSource> input) {
    assert(!m_thread.joinable());
    m_pInput = std::move(input);
    if (m_pInput)
        m_pInput->AttachedTo([this] { Wake(); });
}

void CInstrumentSession::Start() {
    if (m_thread.joinable())
        return;
    Log("program", "start");
    m_thread = std::thread([this] { Run(); });
}

void CInstrumentSession::UsePort(unsigned port, const std::string& device) {
    RunOnThread([this, port, device] {
        m_nPort = port;
        UseInput(SerialInput(port, device));
    });
}

std::unique_ptr<IByteSource> CInstrumentSession::SerialInput(unsigned port,
                                                             const std::string& device) {
    if (device.empty())
        return nullptr;
    return std::make_unique<CSerialSource>(
        port, device, [this] { Wake(); }, [this](const std::string& text) { ReportError(text); });
}

void CInstrumentSession::UseInput(std::unique_ptr<IByteSource> input) {
    DrainInput();
    CloseInput();
    m_pInput = std::move(input);
    if (m_thread.joinable())
        TryOpen(SteadyMs());
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
        health.nDatagramsLost = m_sourceCounts.nDatagramsLost;
        health.nOtherDatagrams = m_nOtherDatagrams;
        health.senders = m_sourceCounts.senders;
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

void CInstrumentSession::ReportError(const std::string& text) {
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
        if (const std::int64_t at = m_pSharing ? m_pSharing->WakeAtMs() : -1; at >= 0 && at < due)
            due = at;
        if (const std::int64_t at = m_pInput ? m_pInput->TakeAtMs() : -1; at >= 0 && at < due)
            due = at;
        PollSources(static_cast<int>(std::max<std::int64_t>(0, due - SteadyMs())));
        std::uint64_t count;
        while (read(m_fdWake, &count, sizeof count) > 0) {
        }
        if (m_bStop)
            break;
        RunCommands();
        DrainInput();
        now = SteadyMs();
        if (m_nReconnectAtMs >= 0 && now >= m_nReconnectAtMs)
            TryOpen(now);
        AnswerDue(now);
        if (now >= m_nRecordCheckAtMs) {
            if (m_pRecorder)
                m_pRecorder->Check();
            m_nRecordCheckAtMs = now + kRecordCheckMs;
        }
        if (now >= m_nAlarmTickAtMs) {
            if ((!m_pInput || !m_pInput->Paused()) && m_alarms.Tick(now))
                Notify();
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

void CInstrumentSession::DrainInput() {
    // A source that wakes us (a serial port): everything its thread took; one
    // with a clock (a replay): what is due, a block a turn of the loop.
    while (m_pInput && m_pInput->PollFd() < 0) {
        m_read.Clear();
        LinkState lost;
        const bool ok = m_pInput->Take(0, m_read, &lost);
        ProcessRead(m_read, SteadyMs());
        if (!ok)
            LoseInput(lost);
        else if (!m_read.bytes.empty() && m_pInput->TakeAtMs() < 0)
            continue;
        break;
    }
}

void CInstrumentSession::OnInputReady(short revents) {
    const bool wasConnected = m_pInput->IsConnected();
    m_read.Clear();
    LinkState lost;
    const bool ok = m_pInput->Take(revents, m_read, &lost);
    // Its senders noted, its datagrams framed one by one, the system's drops counted.
    SourceCounts counts = m_sourceCounts; // written on this thread only
    m_pInput->Account(m_pRecorder ? static_cast<IEventSink&>(*m_pRecorder) : NoEvents(), counts);
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        m_sourceCounts = counts;
    }
    ProcessRead(m_read, SteadyMs());
    LogDatagramsLost(SteadyMs());
    if (!ok) {
        LoseInput(lost);
    } else if (!wasConnected && m_pInput->IsConnected()) {
        m_pInput->ResetRetry();
        SetLink(m_pInput->State(LinkState::Kind::Connected));
    }
}

void CInstrumentSession::ProcessRead(const SourceRead& read, std::int64_t nowMs) {
    if (read.bDatagrams)
        ProcessParts(read.bytes.data(), read.ends.data(), read.ends.size(), true, nowMs);
    else if (!read.bytes.empty())
        Process(read.bytes.data(), read.bytes.size(), nowMs);
}

void CInstrumentSession::LoseInput(const LinkState& lost) {
    CloseInput(); // a line cut short is dropped, not glued to the next connection's
    SetLink(lost);
    m_nReconnectAtMs = SteadyMs() + m_pInput->NextRetryMs();
}

void CInstrumentSession::CloseInput() {
    if (m_pInput)
        m_pInput->Close();
    m_answersAtMs.clear(); // asked for on a connection that is gone
    if (m_framer.Reset())
        m_nPartialMessages.fetch_add(1);
}

void CInstrumentSession::TryOpen(std::int64_t nowMs) {
    m_nReconnectAtMs = -1;
    if (!m_pInput) {
        SetLink({LinkState::Kind::NoDevice, m_nPort, {}, 0, 0, {}, {}});
        return;
    }
    LinkState state;
    const bool opened = m_pInput->Open(&state);
    if (opened) {
        if (state.kind == LinkState::Kind::Connected)
            m_pInput->ResetRetry();
        std::lock_guard<std::mutex> guard(m_healthLock);
        m_sourceCounts.senders = CUdpSenders(); // this source's, from now on
    }
    SetLink(state);
    // Kept trying: the adapter may be plugged in, the server come up.
    if (!opened && state.kind != LinkState::Kind::NoDevice)
        m_nReconnectAtMs = nowMs + m_pInput->NextRetryMs();
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
    const auto onMessage = [&](const FramedMessage& message) {
        const std::string_view text = message.Text();
        m_recordBatch.append(text);
        if (message.bTextLine && m_pSharing && m_pSharing->Wanted())
            m_pSharing->Add(text);
        if (!text.empty()) // an empty packet leaves nothing in the record
            m_timesBatch.push_back(message.bTextLine ? text.size() << 9
                                                     : text.size() << 9 | message.nType << 1 | 1);
        const CMonitorState::Kind kind = m_monitor.Interpret(message, nowMs, &m_reading);
        m_counts.Count(message, m_reading, nowMs);
        // The comparison is the same for the same angles at the same time:
        // a heading, a position or a packet within one read changes nothing.
        if ((nowMs != m_alarms.MeasuredMs() || kind == CMonitorState::Kind::Pitch ||
             kind == CMonitorState::Kind::Roll || kind == CMonitorState::Kind::Attitude) &&
            m_alarms.Measure(nowMs))
            Notify();
        CMessageQueue::Encode(m_queueBatch, message);
        ++messages;
        if (message.nType == 'n' && m_pInput && m_pInput->CanAnswer()) {
            m_pInput->AnswerComing();
            // The instrument wants a pause before the answer.
            m_answersAtMs.push_back(nowMs + kAnswerDelayMs);
        }
    };
    for (std::size_t i = 0, at = 0; i < parts; at = ends[i++]) {
        if (!wholes) {
            m_framer.Feed(bytes + at, ends[i] - at, onMessage);
            continue;
        }
        // A bridge network's datagram: its sentences follow the header; one
        // with another header holds no text (recorded, never framed).
        const Udp450Header header = ReadUdp450Header(bytes + at, ends[i] - at);
        if (header.kind == Udp450Header::Kind::Other) {
            ++m_nOtherDatagrams;
            continue;
        }
        m_framer.Feed(bytes + at + header.nLength, ends[i] - at - header.nLength, onMessage);
        m_framer.EndMessage(onMessage); // a datagram's end ends its last message, whole or not
    }
    values.reset();
    health.unlock();
    // The read as read, then the messages of it in one write, before the next
    // read is taken.
    if (m_pRecorder)
        m_pRecorder->Write(bytes, ends, parts, wholes, m_recordBatch, m_timesBatch, utcMs);
    if (messages == 0)
        return;
    m_recordBatch.clear();
    m_timesBatch.clear();
    if (m_pSharing)
        m_pSharing->Flush();
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

void CInstrumentSession::AnswerDue(std::int64_t nowMs) {
    while (!m_answersAtMs.empty() && m_answersAtMs.front() <= nowMs) {
        m_answersAtMs.pop_front();
        if (!m_pInput || !m_pInput->CanAnswer())
            continue;
        std::uint8_t packet[32];
        const int length = m_commandBuilder.Build(kAnswerCommand, packet);
        m_pInput->Answer(packet, static_cast<std::size_t>(length));
    }
}
