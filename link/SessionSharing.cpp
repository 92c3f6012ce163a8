#include "link/SessionSharing.h"

#include "link/MonitorState.h"
#include "link/SessionRecorder.h"

#include <cstring>

namespace {
std::string AddressText(const std::string& host, unsigned port) {
    const std::string text = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return text + ":" + std::to_string(port);
}
} // namespace

std::string CSessionSharing::Change(const ServeTarget& target) {
    const ServeTarget was = m_serving;
    std::string error;
    // The datagrams first: where they went can always be taken up again,
    // should the server's port be in use.
    const bool udpMoves = target.strUdpHost != was.strUdpHost || target.nUdpPort != was.nUdpPort ||
                          !(target.udp == was.udp) || target.strUdpHost.empty();
    bool ok = true;
    if (udpMoves && !target.strUdpHost.empty())
        ok = SendTo(target.strUdpHost, target.nUdpPort, target.udp, &error);
    else if (udpMoves)
        StopSending();
    const bool tcpMoves = target.strHost != was.strHost || target.nPort != was.nPort ||
                          target.nPort == 0 || !m_server.IsListening();
    if (ok && tcpMoves && !target.strHost.empty()) {
        ok = Listen(target.strHost, target.nPort, &error);
        if (!ok && udpMoves) { // back to where the datagrams went
            if (was.strUdpHost.empty() || !SendTo(was.strUdpHost, was.nUdpPort, was.udp, nullptr))
                StopSending();
        }
    } else if (ok && target.strHost.empty()) {
        StopListening();
    }
    SetError(ok ? std::string() : error);
    return ok ? std::string() : error;
}

ServeState CSessionSharing::State() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state;
}

bool CSessionSharing::Listen(const std::string& host, unsigned port, std::string* error) {
    const bool was = m_server.IsListening();
    const std::string wasAddress = State().strAddress;
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
        SetError(error ? *error : std::string());
        return false;
    }
    if (was)
        m_log.Log("serve", "stop", wasAddress);
    m_serving.strHost = host;
    m_serving.nPort = port;
    const std::string address = AddressText(host, m_server.Port());
    m_log.Log("serve", "start", address);
    // Anyone who can reach this host may read the instrument's stream.
    if (m_server.OpenToNetwork())
        m_log.Log("serve", "open-to-network", address);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_state.bListening = true;
        m_state.strAddress = address;
        m_state.nPort = m_server.Port();
        m_state.bOpenToNetwork = m_server.OpenToNetwork();
        m_state.strError.clear();
    }
    UpdateState();
    if (m_changed)
        m_changed();
    return true;
}

bool CSessionSharing::SendTo(const std::string& host, unsigned port, const UdpOutput& output,
                             std::string* error) {
    if (!m_server.SendTo(host, port, output, error)) {
        SetError(error ? *error : std::string());
        return false;
    }
    const std::string address = AddressText(host, port);
    if (!m_serving.strUdpHost.empty())
        m_log.Log("serve", "udp-stop", AddressText(m_serving.strUdpHost, m_serving.nUdpPort));
    m_serving.strUdpHost = host;
    m_serving.nUdpPort = port;
    m_serving.udp = output;
    const bool iec450 = output.format == UdpOutput::Format::Iec450;
    m_log.Log("serve", "udp-start", address);
    std::lock_guard<std::mutex> guard(m_lock);
    m_state.strUdpAddress = address;
    m_state.bUdp450 = iec450;
    m_state.strError.clear();
    return true;
}

void CSessionSharing::StopListening() {
    const ServeState state = State();
    if (!state.bListening)
        return;
    m_server.StopListening();
    m_serving.strHost.clear();
    m_serving.nPort = 0;
    m_log.Log("serve", "stop", state.strAddress);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_state.bListening = false;
        m_state.strAddress.clear();
        m_state.nPort = 0;
        m_state.bOpenToNetwork = false;
    }
    UpdateState();
}

void CSessionSharing::StopSending() {
    if (m_serving.strUdpHost.empty())
        return;
    m_server.StopSending();
    m_log.Log("serve", "udp-stop", AddressText(m_serving.strUdpHost, m_serving.nUdpPort));
    m_serving.strUdpHost.clear();
    m_serving.nUdpPort = 0;
    m_serving.udp = {};
    std::lock_guard<std::mutex> guard(m_lock);
    m_state.strUdpAddress.clear();
    m_state.bUdp450 = false;
}

void CSessionSharing::SetError(const std::string& error) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_state.strError = error;
}

void CSessionSharing::UpdateState() {
    // After every wake: a look, and a lock only when something changed.
    ServeState& counts = m_counts;
    if (m_server.Clients() == counts.nClients && m_server.Refused() == counts.nRefused &&
        m_server.Dropped() == counts.nDropped && m_server.AcceptError() == counts.nAcceptError)
        return;
    counts.nClients = m_server.Clients();
    counts.nRefused = m_server.Refused();
    counts.nDropped = m_server.Dropped();
    counts.nAcceptError = m_server.AcceptError();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_state.nClients = counts.nClients;
        m_state.nRefused = counts.nRefused;
        m_state.nDropped = counts.nDropped;
        m_state.nAcceptError = counts.nAcceptError;
    }
    if (m_changed)
        m_changed();
}

void CSessionSharing::Flush() {
    if (!m_batch.empty()) {
        m_server.Send(m_batch, m_events);
        m_batch.clear();
    }
    if (!m_events.empty())
        LogEvents();
    UpdateState();
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

void CSessionSharing::LogEvents() {
    for (const ServeEvent& event : m_events) {
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
            m_log.Log("serve", "client-dropped", event.strAddress, std::to_string(event.nLimit));
            break;
        case ServeEvent::Kind::AcceptPaused:
            m_log.Log("serve", "accept-paused", ErrorName(event.nError));
            break;
        case ServeEvent::Kind::AcceptResumed:
            m_log.Log("serve", "accept-resumed");
            break;
        }
    }
    m_events.clear();
}

void CSessionSharing::LogClient(std::string_view event, const std::string& address,
                                std::size_t limit) {
    CountSkippedLines(SteadyMs());
    if (m_nClientLines < kClientLinesPerWindow) {
        ++m_nClientLines;
        m_log.Log("serve", event, address, limit ? std::to_string(limit) : std::string());
    } else {
        ++m_nClientLinesSkipped;
    }
}

void CSessionSharing::CountSkippedLines(std::int64_t nowMs) {
    if (nowMs < m_nClientLinesUntilMs)
        return;
    LogSkippedLines();
    m_nClientLines = 0;
    m_nClientLinesUntilMs = nowMs + kClientLineWindowMs;
}

void CSessionSharing::LogSkippedLines() {
    if (m_nClientLinesSkipped != 0)
        m_log.Log("serve", "client-lines-skipped", std::to_string(m_nClientLinesSkipped));
    m_nClientLinesSkipped = 0;
}
