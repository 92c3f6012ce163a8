// The session's network source and the server sharing what it receives: both
// are non-blocking sockets polled by the session's thread beside its eventfd,
// so that their bytes take the same way as the port's (framer, interpretation,
// record, timing file, event log, counters). The server's part is in
// SessionServe.cpp.
#include "link/InstrumentSession.h"

#include <algorithm>
#include <cerrno>

void CInstrumentSession::UseSourceAddress(const SourceAddress& address) {
    if (address.kind == SourceAddress::Kind::Serial) {
        UsePort(m_nPort, address.strDevice);
        return;
    }
    RunOnThread([this, address] {
        DrainPort();
        ClosePort();
        m_address = address;
        m_bUseNet = true;
        m_nBackoffMs = kReconnectMs;
        if (m_thread.joinable())
            TryOpen(SteadyMs());
    });
}

bool CInstrumentSession::NetAnswers() const {
    return m_pNet && m_pNet->IsConnected() && m_address.TwoWay();
}

void CInstrumentSession::PollSources(int timeoutMs) {
    m_sharing.BeforePoll(SteadyMs());
    m_pollFds.clear();
    m_pollFds.push_back({m_fdWake, POLLIN, 0});
    const bool net = m_pNet && m_pNet->IsOpen();
    if (net)
        m_pollFds.push_back({m_pNet->Fd(), m_pNet->PollEvents(), 0});
    const std::size_t serverAt = m_pollFds.size();
    m_sharing.AddPollFds(m_pollFds);
    const int ready = poll(m_pollFds.data(), m_pollFds.size(), timeoutMs);
    m_nWakeups.fetch_add(1, std::memory_order_relaxed);
    // Clients first: one that connected before the data gets all of it.
    if (ready > 0 && m_pollFds.size() > serverAt)
        m_sharing.OnReady(m_pollFds.data() + serverAt, m_pollFds.size() - serverAt, SteadyMs());
    m_sharing.Flush(); // logs what became of the clients
    if (ready > 0 && net && m_pollFds[1].revents)
        OnNetReady(m_pollFds[1].revents);
}

void CInstrumentSession::OpenNet(std::int64_t nowMs) {
    LinkState state;
    state.strSource = m_address.Url();
    auto net = std::make_unique<CNetSource>();
    if (!net->Open(m_address, &state.strError)) {
        // An unknown host or a port in use may come right: try again later.
        state.kind = LinkState::Kind::OpenFailed;
        SetLink(state);
        m_nReconnectAtMs = nowMs + m_nBackoffMs;
        m_nBackoffMs = std::min(m_nBackoffMs * 2, kReconnectMaxMs);
        return;
    }
    m_pNet = std::move(net);
    m_nNetLostSeen = 0;
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        m_senders = CUdpSenders(); // this source's, from now on
    }
    state.kind = m_pNet->IsConnected() ? LinkState::Kind::Connected : LinkState::Kind::Connecting;
    SetLink(state);
}

void CInstrumentSession::OnNetReady(short revents) {
    const bool wasConnected = m_pNet->IsConnected();
    std::string error;
    m_netBuffer.clear();
    const bool ok = m_pNet->OnReady(revents, m_netBuffer, &error);
    if (m_address.kind == SourceAddress::Kind::Udp)
        TakeDatagrams(SteadyMs());
    else if (!m_netBuffer.empty())
        Process(m_netBuffer.data(), m_netBuffer.size(), SteadyMs());
    if (!ok) {
        LoseNet(wasConnected ? LinkState::Kind::Vanished : LinkState::Kind::OpenFailed, error);
    } else if (!wasConnected && m_pNet->IsConnected()) {
        m_nBackoffMs = kReconnectMs;
        LinkState state;
        state.kind = LinkState::Kind::Connected;
        state.strSource = m_address.Url();
        SetLink(state);
    }
}

void CInstrumentSession::LoseNet(LinkState::Kind kind, const std::string& error) {
    ClosePort(); // a line cut short is dropped, not glued to the next connection's
    LinkState state;
    state.kind = kind;
    state.strSource = m_address.Url();
    state.strError = error;
    SetLink(state);
    // 1 s, 2 s, 4 s, then every 5 s: a server that is down is not hammered.
    m_nReconnectAtMs = SteadyMs() + m_nBackoffMs;
    m_nBackoffMs = std::min(m_nBackoffMs * 2, kReconnectMaxMs);
}

void CInstrumentSession::TakeDatagrams(std::int64_t nowMs) {
    for (const CNetSource::NewSender& sender : m_pNet->NewSenders()) {
        if (sender.heard == CUdpSenders::Heard::FirstUnlisted)
            Log("input", "too-many-senders", sender.strAddress,
                std::to_string(CUdpSenders::kMaxSenders));
        else
            Log("input", sender.accepted ? "new-sender" : "sender-refused", sender.strAddress);
    }
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        m_senders = m_pNet->Senders();
        m_nDatagramsLost += m_pNet->DatagramsLost() - m_nNetLostSeen;
        m_nNetLostSeen = m_pNet->DatagramsLost();
    }
    const std::vector<std::size_t>& ends = m_pNet->DatagramEnds();
    ProcessParts(m_netBuffer.data(), ends.data(), ends.size(), true, nowMs);
    LogDatagramsLost(nowMs);
}

void CInstrumentSession::TickSources(std::int64_t nowMs) {
    m_sharing.CountSkippedLines(nowMs);
    LogDatagramsLost(nowMs);
}

void CInstrumentSession::LogDatagramsLost(std::int64_t nowMs) {
    // A burst loses many at a time: a line a second at most, with how many.
    // (Written on this thread only: read here without the lock.)
    const std::uint64_t lost = m_nDatagramsLost;
    if (lost == m_nLostLogged || (m_nLostLoggedAtMs >= 0 && nowMs - m_nLostLoggedAtMs < 1000))
        return;
    Log("input", "datagrams-lost", std::to_string(lost - m_nLostLogged));
    m_nLostLogged = lost;
    m_nLostLoggedAtMs = nowMs;
}

std::future<std::string> CInstrumentSession::ServeAt(const ServeTarget& target) {
    auto done = std::make_shared<std::promise<std::string>>();
    std::future<std::string> result = done->get_future();
    RunOnThread([this, target, done] { done->set_value(m_sharing.Change(target)); });
    return result;
}

void CInstrumentSession::SetServeLimits(const ServeLimits& limits) {
    RunOnThread([this, limits] { m_sharing.SetLimits(limits); });
}
