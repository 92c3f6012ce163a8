// The session's network source and the server sharing what it receives: both
// are non-blocking sockets polled by the session's thread beside its eventfd,
// so that their bytes take the same way as the port's (framer, interpretation,
// record, timing file, event log, counters).
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
    {
        std::lock_guard<std::mutex> guard(m_serveLock);
        m_serveState.bListening = true;
        m_serveState.strAddress = address;
        m_serveState.nPort = m_server.Port();
        m_serveState.nClients = m_nServeClients = 0;
        m_serveState.strError.clear();
    }
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
    std::lock_guard<std::mutex> guard(m_serveLock);
    m_serveState.bListening = false;
    m_serveState.strAddress.clear();
    m_serveState.nPort = 0;
    m_serveState.nClients = m_nServeClients = 0;
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

void CInstrumentSession::UpdateServeClients() {
    // After every read: a look, and a lock only when a client came or went.
    const std::size_t clients = m_server.Clients();
    if (clients == m_nServeClients)
        return;
    m_nServeClients = clients;
    std::lock_guard<std::mutex> guard(m_serveLock);
    m_serveState.nClients = clients;
}

bool CInstrumentSession::NetAnswers() const {
    return m_pNet && m_pNet->IsConnected() && m_address.TwoWay();
}

void CInstrumentSession::PollSources(int timeoutMs) {
    m_pollFds.clear();
    m_pollFds.push_back({m_fdWake, POLLIN, 0});
    const bool net = m_pNet && m_pNet->IsOpen();
    if (net)
        m_pollFds.push_back({m_pNet->Fd(), m_pNet->PollEvents(), 0});
    const std::size_t serverAt = m_pollFds.size();
    m_server.AddPollFds(m_pollFds);
    if (poll(m_pollFds.data(), m_pollFds.size(), timeoutMs) <= 0)
        return;
    // Clients first: one that connected before the data gets all of it.
    if (m_pollFds.size() > serverAt) {
        m_server.OnReady(m_pollFds.data() + serverAt, m_pollFds.size() - serverAt, m_dropped);
        ServeBatch(); // logs the clients dropped
    }
    if (net && m_pollFds[1].revents)
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
    state.kind = m_pNet->IsConnected() ? LinkState::Kind::Connected : LinkState::Kind::Connecting;
    SetLink(state);
}

void CInstrumentSession::OnNetReady(short revents) {
    const bool wasConnected = m_pNet->IsConnected();
    std::string error;
    m_netBuffer.clear();
    const bool ok = m_pNet->OnReady(revents, m_netBuffer, &error);
    if (!m_netBuffer.empty())
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

void CInstrumentSession::ServeBatch() {
    if (!m_serveBatch.empty()) {
        m_server.Send(m_serveBatch, m_dropped);
        m_serveBatch.clear();
    }
    for (const std::string& client : m_dropped)
        Log("serve", "client-dropped", client);
    m_dropped.clear();
    UpdateServeClients();
}
