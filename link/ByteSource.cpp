#include "link/ByteSource.h"

#include "link/ReceiveRing.h"
#include "link/SessionRecorder.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr PortEvents kPortEvents{PortEvent::Received, PortEvent::Cts};
constexpr unsigned kWriteBufferSize = 512;
} // namespace

CSerialSource::CSerialSource(unsigned port, std::string device, std::function<void()> wake,
                             std::function<void(const std::string&)> report)
    : m_nPort(port), m_strDevice(std::move(device)), m_wake(std::move(wake)),
      m_report(std::move(report)), m_ring(CReceiveRing::kSize + 1) {}

CSerialSource::~CSerialSource() {
    Close(); // the watch thread ends with the port, before what it calls goes
}

LinkState CSerialSource::State(LinkState::Kind kind) const {
    LinkState state;
    state.kind = kind;
    state.nPort = m_nPort;
    state.strDevice = m_strDevice;
    return state;
}

bool CSerialSource::Open(LinkState* state) {
    if (m_strDevice.empty()) {
        *state = State(LinkState::Kind::NoDevice);
        return false;
    }
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(this, m_nPort, m_strDevice, kBaud, 'N', 8, 1, kPortEvents, kWriteBufferSize)) {
        // Kept trying: the adapter may be plugged in, or let go by another program.
        *state = State(LinkState::Kind::OpenFailed);
        state->nError = port->OpenError();
        return false;
    }
    m_bVanished = false;
    port->StartWatching();
    m_pPort = std::move(port);
    *state = State(LinkState::Kind::Connected);
    return true;
}

void CSerialSource::Close() {
    m_pPort.reset();
    m_bVanished = false;
}

bool CSerialSource::Take(short, SourceRead& read, LinkState* lost) {
    if (!m_pPort)
        return true;
    const unsigned count = m_pPort->TakeReceived(m_ring.data());
    read.bytes.insert(read.bytes.end(), m_ring.data(), m_ring.data() + count);
    // The adapter went away: what it sent before is taken first.
    if (count == 0 && m_bVanished && !m_pPort->IsWatching()) {
        *lost = State(LinkState::Kind::Vanished);
        return false;
    }
    return true;
}

void CSerialSource::AnswerComing() {
    if (m_pPort)
        m_pPort->SetBaudRate(kBaud);
}

void CSerialSource::Answer(const std::uint8_t* bytes, std::size_t count) {
    if (m_pPort)
        m_pPort->SendBytes(bytes, static_cast<unsigned>(count));
}

void CSerialSource::PostPortEvent(PortEvent event, unsigned, std::size_t) {
    if (event == PortEvent::Vanished)
        m_bVanished = true;
    if ((event == PortEvent::Received || event == PortEvent::Vanished) && m_wake)
        m_wake();
}

void CSerialSource::PostPortError(const std::string& text) {
    if (m_report)
        m_report(text);
    else
        std::fputs(text.c_str(), stderr);
}

LinkState CNetworkSource::State(LinkState::Kind kind) const {
    LinkState state;
    state.kind = kind;
    state.strSource = m_address.Url();
    return state;
}

bool CNetworkSource::Open(LinkState* state) {
    *state = State(LinkState::Kind::OpenFailed);
    auto net = std::make_unique<CNetSource>();
    // An unknown host or a port in use may come right: tried again later.
    if (!net->Open(m_address, &state->strError))
        return false;
    m_pNet = std::move(net);
    m_nLostSeen = 0;
    state->kind = m_pNet->IsConnected() ? LinkState::Kind::Connected : LinkState::Kind::Connecting;
    return true;
}

bool CNetworkSource::Take(short revents, SourceRead& read, LinkState* lost) {
    if (!m_pNet)
        return true;
    const bool wasConnected = m_pNet->IsConnected();
    const std::size_t before = read.bytes.size();
    std::string error;
    const bool ok = m_pNet->OnReady(revents, read.bytes, &error);
    read.bDatagrams = m_address.kind == SourceAddress::Kind::Udp;
    if (read.bDatagrams) {
        for (const std::size_t end : m_pNet->DatagramEnds())
            read.ends.push_back(before + end);
    }
    if (ok)
        return true;
    *lost = State(wasConnected ? LinkState::Kind::Vanished : LinkState::Kind::OpenFailed);
    lost->strError = error;
    return false;
}

std::int64_t CNetworkSource::NextRetryMs() {
    // 1 s, 2 s, 4 s, then every 5 s: a server that is down is not hammered.
    const std::int64_t wait = m_nRetryMs;
    m_nRetryMs = std::min(m_nRetryMs * 2, kRetryMaxMs);
    return wait;
}

void CNetworkSource::Answer(const std::uint8_t* bytes, std::size_t count) {
    if (m_pNet)
        m_pNet->Send(bytes, count);
}

void CNetworkSource::Account(IEventSink& log, SourceCounts& counts) {
    if (!m_pNet || m_address.kind != SourceAddress::Kind::Udp)
        return;
    for (const CNetSource::NewSender& sender : m_pNet->NewSenders()) {
        if (sender.heard == CUdpSenders::Heard::FirstUnlisted)
            log.Log("input", "too-many-senders", sender.strAddress,
                    std::to_string(CUdpSenders::kMaxSenders));
        else
            log.Log("input", sender.accepted ? "new-sender" : "sender-refused", sender.strAddress);
    }
    counts.senders = m_pNet->Senders();
    counts.nDatagramsLost += m_pNet->DatagramsLost() - m_nLostSeen;
    m_nLostSeen = m_pNet->DatagramsLost();
}
