#include "link/InstrumentSession.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
constexpr PortEvents kPortEvents{PortEvent::Received, PortEvent::Cts};
constexpr unsigned kWriteBufferSize = 512;
constexpr std::uint8_t kAnswerCommand = 0x06;

bool SameLink(const LinkState& a, const LinkState& b) {
    return a.kind == b.kind && a.nPort == b.nPort && a.strDevice == b.strDevice &&
           a.nError == b.nError;
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
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        m_record.Flush();
        m_record.Close();
    }
    if (m_fdWake >= 0)
        close(m_fdWake);
}

bool CInstrumentSession::CreateRecord(const std::string& folder, const std::tm& when,
                                      std::string* error) {
    std::lock_guard<std::mutex> guard(m_recordLock);
    RecordState state;
    if (m_record.CreateNew(folder, when, error)) {
        state.kind = RecordState::Kind::Open;
        state.strPath = m_record.Path();
        SetRecord(state);
        return true;
    }
    state.kind = RecordState::Kind::CreateFailed;
    state.strPath = folder + "/" + CRecordFile::FileName(when);
    state.strError = error ? *error : std::string();
    SetRecord(state);
    return false;
}

bool CInstrumentSession::ReplaceRecord(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> guard(m_recordLock);
    if (!m_record.Replace(path, error))
        return false;
    m_bWriteFailing = false;
    RecordState state;
    state.kind = RecordState::Kind::Open;
    state.strPath = path;
    SetRecord(state);
    return true;
}

void CInstrumentSession::Start() {
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Run(); });
}

void CInstrumentSession::UsePort(unsigned port, const std::string& device) {
    if (!m_thread.joinable()) {
        m_nPort = port;
        m_strDevice = device;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        m_commands.push_back([this, port, device] {
            DrainPort();
            ClosePort();
            m_nPort = port;
            m_strDevice = device;
            TryOpen(SteadyMs());
        });
    }
    Wake();
}

LinkState CInstrumentSession::Link() const {
    std::lock_guard<std::mutex> guard(m_linkLock);
    return m_linkState;
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
    std::int64_t now = SteadyMs();
    TryOpen(now);
    m_nRecordCheckAtMs = now + kRecordCheckMs;
    while (!m_bStop) {
        std::int64_t due = m_nRecordCheckAtMs;
        if (m_nReconnectAtMs >= 0 && m_nReconnectAtMs < due)
            due = m_nReconnectAtMs;
        if (!m_answersAtMs.empty() && m_answersAtMs.front() < due)
            due = m_answersAtMs.front();
        pollfd wake{m_fdWake, POLLIN, 0};
        poll(&wake, 1, static_cast<int>(std::max<std::int64_t>(0, due - SteadyMs())));
        std::uint64_t count;
        while (read(m_fdWake, &count, sizeof count) > 0) {
        }
        if (m_bStop)
            break;
        RunCommands();
        DrainPort();
        now = SteadyMs();
        if (m_pPort && m_bVanished && !m_pPort->IsWatching()) {
            // The adapter went away: what it sent before is in the ring.
            DrainPort();
            ClosePort();
            SetLink({LinkState::Kind::Vanished, m_nPort, m_strDevice, 0, 0});
            m_nReconnectAtMs = now + kReconnectMs;
        }
        if (m_nReconnectAtMs >= 0 && now >= m_nReconnectAtMs)
            TryOpen(now);
        AnswerDue(now);
        if (now >= m_nRecordCheckAtMs) {
            CheckRecord();
            m_nRecordCheckAtMs = now + kRecordCheckMs;
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
    m_bVanished = false;
    m_answersAtMs.clear(); // asked for on a connection that is gone
    if (m_framer.Reset())
        m_nPartialMessages.fetch_add(1);
}

void CInstrumentSession::TryOpen(std::int64_t nowMs) {
    m_nReconnectAtMs = -1;
    if (m_strDevice.empty()) {
        SetLink({LinkState::Kind::NoDevice, m_nPort, m_strDevice, 0, 0});
        return;
    }
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(this, m_nPort, m_strDevice, kBaud, 'N', 8, 1, kPortEvents, kWriteBufferSize)) {
        SetLink({LinkState::Kind::OpenFailed, m_nPort, m_strDevice, port->OpenError(), 0});
        // Keep trying: the adapter may be plugged in, or let go by another program.
        m_nReconnectAtMs = nowMs + kReconnectMs;
        return;
    }
    m_bVanished = false;
    port->StartWatching();
    m_pPort = std::move(port);
    SetLink({LinkState::Kind::Connected, m_nPort, m_strDevice, 0, 0});
}

void CInstrumentSession::SetLink(const LinkState& state) {
    {
        std::lock_guard<std::mutex> guard(m_linkLock);
        if (SameLink(m_linkState, state))
            return;
        m_linkState = state;
        m_linkState.nSinceMs = SteadyMs();
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
    Notify();
}

void CInstrumentSession::Process(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs) {
    if (count == 0)
        return;
    m_nLastByteMs.store(nowMs, std::memory_order_relaxed);
    std::uint64_t messages = 0;
    m_framer.Feed(bytes, count, [&](const CReceiverMessage& message) {
        m_recordBatch.append(CMonitorState::MessageText(message));
        m_monitor.Interpret(message, nowMs);
        m_monitor.TestAlarm();
        CMessageQueue::Encode(m_queueBatch, message);
        ++messages;
        if (message.m_nType == 'n' && m_pPort) {
            m_pPort->SetBaudRate(kBaud);
            // The instrument wants a pause before the answer.
            m_answersAtMs.push_back(nowMs + kAnswerDelayMs);
        }
    });
    if (messages == 0)
        return;
    // The messages of one read reach the system in one write, before the next
    // read is taken.
    WriteRecord();
    m_recordBatch.clear();
    m_queue.Add(m_queueBatch);
    m_queueBatch.clear();
    m_nMessages.fetch_add(messages, std::memory_order_relaxed);
    Notify();
}

void CInstrumentSession::WriteRecord() {
    std::lock_guard<std::mutex> guard(m_recordLock);
    if (!m_record.IsOpen())
        return;
    // A file deleted under us is made again before anything goes into it.
    if (m_record.IsRemoved())
        RecreateRecordLocked();
    const bool ok = m_record.Write(m_recordBatch);
    if (ok == !m_bWriteFailing)
        return;
    m_bWriteFailing = !ok;
    RecordState state;
    state.kind = ok ? RecordState::Kind::Resumed : RecordState::Kind::WriteFailing;
    state.strPath = m_record.Path();
    state.nError = ok ? 0 : m_record.LastError();
    SetRecord(state);
}

void CInstrumentSession::RecreateRecordLocked() {
    RecordState state;
    state.strOldPath = m_record.Path();
    std::string error;
    if (m_record.Recreate(&error)) {
        state.kind = RecordState::Kind::Recreated;
        state.strPath = m_record.Path();
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
        return;
    if (m_record.IsRemoved())
        RecreateRecordLocked();
    // Space may have come back: what failed writes left goes out now.
    if (m_bWriteFailing && m_record.Flush()) {
        m_bWriteFailing = false;
        RecordState state;
        state.kind = RecordState::Kind::Resumed;
        state.strPath = m_record.Path();
        SetRecord(state);
    }
}

void CInstrumentSession::AnswerDue(std::int64_t nowMs) {
    while (!m_answersAtMs.empty() && m_answersAtMs.front() <= nowMs) {
        m_answersAtMs.pop_front();
        if (!m_pPort)
            continue;
        std::uint8_t packet[32];
        const int length = m_commandBuilder.Build(kAnswerCommand, packet);
        m_pPort->SendBytes(packet, static_cast<unsigned>(length));
    }
}
