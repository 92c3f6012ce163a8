// The session's part in sharing what it receives (CNmeaServer): starting,
// moving and stopping the server on the session's thread, and the event log's
// account of its clients.
#include "link/InstrumentSession.h"

#include <cstring>

namespace {
std::string AddressText(const std::string& host, unsigned port) {
    const std::string text = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return text + ":" + std::to_string(port);
}
} // namespace

bool CInstrumentSession::Serve(const std::string& host, unsigned port, std::string* error) {
    return ListenAt(host, port, error);
}

bool CInstrumentSession::ServeUdp(const std::string& host, unsigned port, std::string* error) {
    return SendAt(host, port, error);
}

std::future<std::string> CInstrumentSession::ServeAt(const ServeTarget& target) {
    auto done = std::make_shared<std::promise<std::string>>();
    std::future<std::string> result = done->get_future();
    RunOnThread([this, target, done] {
        const ServeTarget was = m_serving;
        std::string error;
        // The datagrams first: where they went can always be taken up again,
        // should the server's port be in use.
        const bool udpMoves = target.strUdpHost != was.strUdpHost ||
                              target.nUdpPort != was.nUdpPort || target.strUdpHost.empty();
        bool ok = true;
        if (udpMoves && !target.strUdpHost.empty())
            ok = SendAt(target.strUdpHost, target.nUdpPort, &error);
        else if (udpMoves)
            StopSending();
        const bool tcpMoves = target.strHost != was.strHost || target.nPort != was.nPort ||
                              target.nPort == 0 || !m_server.IsListening();
        if (ok && tcpMoves && !target.strHost.empty()) {
            ok = ListenAt(target.strHost, target.nPort, &error);
            if (!ok && udpMoves) { // back to where the datagrams went
                if (was.strUdpHost.empty() || !SendAt(was.strUdpHost, was.nUdpPort, nullptr))
                    StopSending();
            }
        } else if (ok && target.strHost.empty()) {
            StopListening();
        }
        SetServeError(ok ? std::string() : error);
        done->set_value(ok ? std::string() : error);
    });
    return result;
}

ServeState CInstrumentSession::Serving() const {
    std::lock_guard<std::mutex> guard(m_serveLock);
    return m_serveState;
}

bool CInstrumentSession::ListenAt(const std::string& host, unsigned port, std::string* error) {
    const bool was = m_server.IsListening();
    const std::string wasAddress = Serving().strAddress;
    bool ok = m_server.Listen(host, port, error);
    if (!ok && was && port != 0 && port == m_server.Port()) {
        // Another host on the port in use: our own listener holds the port,
        // so it goes first, and comes back should the new one fail.
        const std::string oldHost = m_serving.strHost;
        m_server.StopListening();
        ok = m_server.Listen(host, port, error);
        if (!ok && !m_server.Listen(oldHost, port, nullptr))
            StopListening(); // the port went to another program meanwhile
    }
    if (!ok) {
        SetServeError(error ? *error : std::string());
        return false;
    }
    if (was)
        Log("serve", "stop", wasAddress);
    m_serving.strHost = host;
    m_serving.nPort = port;
    const std::string address = AddressText(host, m_server.Port());
    Log("serve", "start", address);
    // Anyone who can reach this host may read the instrument's stream.
    if (m_server.OpenToNetwork())
        Log("serve", "open-to-network", address);
    {
        std::lock_guard<std::mutex> guard(m_serveLock);
        m_serveState.bListening = true;
        m_serveState.strAddress = address;
        m_serveState.nPort = m_server.Port();
        m_serveState.bOpenToNetwork = m_server.OpenToNetwork();
        m_serveState.strError.clear();
    }
    UpdateServeState();
    Notify();
    return true;
}

bool CInstrumentSession::SendAt(const std::string& host, unsigned port, std::string* error) {
    if (!m_server.SendTo(host, port, error)) {
        SetServeError(error ? *error : std::string());
        return false;
    }
    const std::string address = AddressText(host, port);
    if (!m_serving.strUdpHost.empty())
        Log("serve", "udp-stop", AddressText(m_serving.strUdpHost, m_serving.nUdpPort));
    m_serving.strUdpHost = host;
    m_serving.nUdpPort = port;
    Log("serve", "udp-start", address);
    std::lock_guard<std::mutex> guard(m_serveLock);
    m_serveState.strUdpAddress = address;
    m_serveState.strError.clear();
    return true;
}

void CInstrumentSession::StopListening() {
    const ServeState state = Serving();
    if (!state.bListening)
        return;
    m_server.StopListening();
    m_serving.strHost.clear();
    m_serving.nPort = 0;
    Log("serve", "stop", state.strAddress);
    {
        std::lock_guard<std::mutex> guard(m_serveLock);
        m_serveState.bListening = false;
        m_serveState.strAddress.clear();
        m_serveState.nPort = 0;
        m_serveState.bOpenToNetwork = false;
    }
    UpdateServeState();
}

void CInstrumentSession::StopSending() {
    if (m_serving.strUdpHost.empty())
        return;
    m_server.StopSending();
    Log("serve", "udp-stop", AddressText(m_serving.strUdpHost, m_serving.nUdpPort));
    m_serving.strUdpHost.clear();
    m_serving.nUdpPort = 0;
    std::lock_guard<std::mutex> guard(m_serveLock);
    m_serveState.strUdpAddress.clear();
}

void CInstrumentSession::SetServeError(const std::string& error) {
    std::lock_guard<std::mutex> guard(m_serveLock);
    m_serveState.strError = error;
}

void CInstrumentSession::SetServeLimits(const ServeLimits& limits) {
    RunOnThread([this, limits] { m_server.SetLimits(limits); });
}

void CInstrumentSession::UpdateServeState() {
    // After every wake: a look, and a lock only when something changed.
    ServeState& counts = m_serveCounts;
    if (m_server.Clients() == counts.nClients && m_server.Refused() == counts.nRefused &&
        m_server.Dropped() == counts.nDropped && m_server.AcceptError() == counts.nAcceptError)
        return;
    counts.nClients = m_server.Clients();
    counts.nRefused = m_server.Refused();
    counts.nDropped = m_server.Dropped();
    counts.nAcceptError = m_server.AcceptError();
    {
        std::lock_guard<std::mutex> guard(m_serveLock);
        m_serveState.nClients = counts.nClients;
        m_serveState.nRefused = counts.nRefused;
        m_serveState.nDropped = counts.nDropped;
        m_serveState.nAcceptError = counts.nAcceptError;
    }
    Notify();
}

void CInstrumentSession::ServeBatch() {
    if (!m_serveBatch.empty()) {
        m_server.Send(m_serveBatch, m_serveEvents);
        m_serveBatch.clear();
    }
    if (!m_serveEvents.empty())
        LogServeEvents();
    UpdateServeState();
}

namespace {
constexpr int kClientLinesPerWindow = 60;
constexpr std::int64_t kClientLineWindowMs = 60000;

// "EMFILE": the log is data, read the same in any language.
std::string ErrorName(int error) {
    const char* name = strerrorname_np(error);
    return name ? name : std::to_string(error);
}
} // namespace

void CInstrumentSession::LogServeEvents() {
    for (const ServeEvent& event : m_serveEvents) {
        switch (event.kind) {
        case ServeEvent::Kind::Connected:
            LogClient("client-connected", event.strAddress, 0);
            break;
        case ServeEvent::Kind::Refused:
            LogClient("client-refused", event.strAddress, event.nLimit);
            break;
        case ServeEvent::Kind::RefusedDescriptors:
            LogClient("client-refused-descriptors", event.strAddress, event.nLimit);
            break;
        case ServeEvent::Kind::Dropped:
            // Each takes a queue's worth of the stream: never many.
            Log("serve", "client-dropped", event.strAddress, std::to_string(event.nLimit));
            break;
        case ServeEvent::Kind::AcceptPaused:
            Log("serve", "accept-paused", ErrorName(event.nError));
            break;
        case ServeEvent::Kind::AcceptResumed:
            Log("serve", "accept-resumed");
            break;
        }
    }
    m_serveEvents.clear();
}

void CInstrumentSession::LogClient(std::string_view event, const std::string& address,
                                   std::size_t limit) {
    CountSkippedClientLines(SteadyMs());
    if (m_nClientLines < kClientLinesPerWindow) {
        ++m_nClientLines;
        Log("serve", event, address, limit ? std::to_string(limit) : std::string());
    } else {
        ++m_nClientLinesSkipped;
    }
}

void CInstrumentSession::CountSkippedClientLines(std::int64_t nowMs) {
    if (nowMs < m_nClientLinesUntilMs)
        return;
    LogSkippedClientLines();
    m_nClientLines = 0;
    m_nClientLinesUntilMs = nowMs + kClientLineWindowMs;
}

void CInstrumentSession::LogSkippedClientLines() {
    if (m_nClientLinesSkipped != 0)
        Log("serve", "client-lines-skipped", std::to_string(m_nClientLinesSkipped));
    m_nClientLinesSkipped = 0;
}
