// The session's polled input and the server sharing what it receives: both
// are non-blocking sockets polled by the session's thread beside its eventfd,
// so that their bytes take the same way as the port's (framer, interpretation,
// record, timing file, event log, counters). The server's part is in
// SessionSharing.cpp, the sources' in ByteSource.cpp.
#include "link/InstrumentSession.h"

#include <algorithm>
#include <cerrno>

void CInstrumentSession::UseSourceAddress(const SourceAddress& address) {
    if (address.kind == SourceAddress::Kind::Serial) {
        UsePort(m_nPort, address.strDevice);
        return;
    }
    RunOnThread([this, address] { UseInput(std::make_unique<CNetworkSource>(address)); });
}

void CInstrumentSession::PollSources(int timeoutMs) {
    if (m_pSharing)
        m_pSharing->BeforePoll(SteadyMs());
    m_pollFds.clear();
    m_pollFds.push_back({m_fdWake, POLLIN, 0});
    const int fd = m_pInput ? m_pInput->PollFd() : -1;
    if (fd >= 0)
        m_pollFds.push_back({fd, m_pInput->PollEvents(), 0});
    const std::size_t serverAt = m_pollFds.size();
    if (m_pSharing)
        m_pSharing->AddPollFds(m_pollFds);
    const int ready = poll(m_pollFds.data(), m_pollFds.size(), timeoutMs);
    m_nWakeups.fetch_add(1, std::memory_order_relaxed);
    // Clients first: one that connected before the data gets all of it.
    if (ready > 0 && m_pollFds.size() > serverAt)
        m_pSharing->OnReady(m_pollFds.data() + serverAt, m_pollFds.size() - serverAt, SteadyMs());
    if (m_pSharing)
        m_pSharing->Flush(); // logs what became of the clients
    if (ready > 0 && fd >= 0 && m_pollFds[1].revents)
        OnInputReady(m_pollFds[1].revents);
}

void CInstrumentSession::TickSources(std::int64_t nowMs) {
    if (m_pSharing)
        m_pSharing->CountSkippedLines(nowMs);
    LogDatagramsLost(nowMs);
}

void CInstrumentSession::LogDatagramsLost(std::int64_t nowMs) {
    // A burst loses many at a time: a line a second at most, with how many.
    // (Written on this thread only: read here without the lock.)
    const std::uint64_t lost = m_sourceCounts.nDatagramsLost;
    if (lost == m_nLostLogged || (m_nLostLoggedAtMs >= 0 && nowMs - m_nLostLoggedAtMs < 1000))
        return;
    Log("input", "datagrams-lost", std::to_string(lost - m_nLostLogged));
    m_nLostLogged = lost;
    m_nLostLoggedAtMs = nowMs;
}

std::future<std::string> CInstrumentSession::ServeAt(const ServeTarget& target) {
    auto done = std::make_shared<std::promise<std::string>>();
    std::future<std::string> result = done->get_future();
    if (!m_pSharing) {
        done->set_value("a replay shares nothing");
        return result;
    }
    RunOnThread([this, target, done] { done->set_value(m_pSharing->Change(target)); });
    return result;
}

void CInstrumentSession::SetServeLimits(const ServeLimits& limits) {
    if (m_pSharing)
        RunOnThread([this, limits] { m_pSharing->SetLimits(limits); });
}

bool CInstrumentSession::Serve(const std::string& host, unsigned port, std::string* error) {
    if (!m_pSharing) {
        *error = "a replay shares nothing";
        return false;
    }
    return m_pSharing->Listen(host, port, error);
}

bool CInstrumentSession::ServeUdp(const std::string& host, unsigned port, std::string* error,
                                  const UdpOutput& output) {
    if (!m_pSharing) {
        *error = "a replay shares nothing";
        return false;
    }
    return m_pSharing->SendTo(host, port, output, error);
}
