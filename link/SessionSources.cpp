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
        UsePort(m_inputs.front()->nPort, address.strDevice);
        return;
    }
    RunOnThread([this, address] {
        UseInput(*m_inputs.front(), std::make_unique<CNetworkSource>(address));
    });
}

void CInstrumentSession::PollSources(int timeoutMs) {
    if (m_pSharing)
        m_pSharing->BeforePoll(SteadyMs());
    m_pollFds.clear();
    m_pollFds.push_back({m_fdWake, POLLIN, 0});
    // The inputs' descriptors follow the eventfd, in the inputs' order.
    m_polledInputs.clear();
    for (auto& in : m_inputs) {
        const int fd = in->pInput ? in->pInput->PollFd() : -1;
        if (fd < 0)
            continue;
        m_pollFds.push_back({fd, in->pInput->PollEvents(), 0});
        m_polledInputs.push_back(in.get());
    }
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
    if (ready <= 0)
        return;
    for (std::size_t i = 0; i < m_polledInputs.size(); ++i) {
        if (const short revents = m_pollFds[1 + i].revents)
            OnInputReady(*m_polledInputs[i], revents);
    }
}

void CInstrumentSession::TickSources(std::int64_t nowMs) {
    if (m_pSharing)
        m_pSharing->CountSkippedLines(nowMs);
    for (auto& in : m_inputs)
        LogDatagramsLost(*in, nowMs);
}

void CInstrumentSession::LogDatagramsLost(Input& in, std::int64_t nowMs) {
    // A burst loses many at a time: a line a second at most, with how many.
    // (Written on this thread only: read here without the lock.)
    const std::uint64_t lost = in.counts.nDatagramsLost;
    if (lost == in.nLostLogged || (in.nLostLoggedAtMs >= 0 && nowMs - in.nLostLoggedAtMs < 1000))
        return;
    Log(&in == m_inputs.front().get() ? std::string("input") : in.strLabel + "/input",
        "datagrams-lost", std::to_string(lost - in.nLostLogged));
    in.nLostLogged = lost;
    in.nLostLoggedAtMs = nowMs;
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
