// What the session reads from: one interface for every source of bytes — a
// serial port, a TCP or UDP socket, gpsd — so the session's loop is the same
// for all of them: open, poll, take what came, answer a packet where the
// source can, reopen after a loss. A record played back (link/ReplaySource.h)
// is one more source, with a clock of its own instead of a descriptor.
//
// Sources run on the session's thread; a serial port's watch thread and a
// replay's controls only wake it.
#pragma once

#include "link/NetSource.h"
#include "link/SerialPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IEventSink;

// The link as the window shows it.
struct LinkState {
    enum class Kind { NoDevice, Connected, OpenFailed, Vanished, Connecting };
    Kind kind = Kind::NoDevice;
    unsigned nPort = 0;
    std::string strDevice;
    int nError = 0;            // OpenFailed: errno of the open
    std::int64_t nSinceMs = 0; // when the link came to this state (SteadyMs)
    std::string strSource;     // a network source's URL; empty for the serial port
    std::string strError;      // a network source's OpenFailed, Vanished: the reason
};

// What one take brought: the bytes as read and, for a source of datagrams,
// where each datagram ends (each is a whole: its end ends its last message).
struct SourceRead {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> ends;
    bool bDatagrams = false;
    bool bAfterJump = false; // a replay's first read after a seek
    void Clear() {
        bytes.clear();
        ends.clear();
        bAfterJump = false;
    }
};

// What a source counts beside its bytes, for 数据状态.
struct SourceCounts {
    CUdpSenders senders;              // UDP: who sent, and who was refused
    std::uint64_t nDatagramsLost = 0; // UDP: dropped by the system, its receive buffer full
};

class IByteSource {
public:
    static constexpr std::int64_t kRetryMs = 1000;

    virtual ~IByteSource() = default;
    // A state of this source (its port and device, or its URL, filled in).
    virtual LinkState State(LinkState::Kind kind) const = 0;
    // Starts it: true with Connected or Connecting (a connection on its way)
    // in *state; false with NoDevice, or OpenFailed and the reason.
    virtual bool Open(LinkState* state) = 0;
    virtual void Close() = 0;
    // What the session polls for it; -1 for a source that wakes the session
    // itself.
    virtual int PollFd() const { return -1; }
    virtual short PollEvents() const { return 0; }
    // Appends what has come (after poll gave revents; 0 when woken) to read.
    // False when the source is lost, *lost saying how (what came before the
    // loss is in read all the same).
    virtual bool Take(short revents, SourceRead& read, LinkState* lost) = 0;
    virtual bool IsConnected() const = 0;
    // How long to wait before the next Open after a failure or a loss, and
    // the end of waiting longer each time once connected.
    virtual std::int64_t NextRetryMs() { return kRetryMs; }
    virtual void ResetRetry() {}
    // Whether a packet can be answered on it now; an answer is coming (the
    // port goes back to the instrument's speed), and the answer itself.
    virtual bool CanAnswer() const = 0;
    virtual void AnswerComing() {}
    virtual void Answer(const std::uint8_t* bytes, std::size_t count) = 0;
    // After a take: what the event log should say of it, and the counts.
    virtual void Account(IEventSink&, SourceCounts&) {}
    // A source with a clock of its own (a replay): when it has something due
    // without being polled or woken (SteadyMs), -1 for not before a wake; and
    // whether its clock stands still, so that nothing goes stale meanwhile.
    virtual std::int64_t TakeAtMs() const { return -1; }
    virtual bool Paused() const { return false; }
    // The session that owns the source: wake tells it, from any thread, that
    // the source has something new to do.
    virtual void AttachedTo(std::function<void()> /*wake*/) {}
};

// A serial port (link/SerialPort.h) at the instrument's 9600 baud 8N1. Its
// watch thread calls wake after every read and when the device goes away;
// driver failures go to report, composed.
class CSerialSource final : public IByteSource, private IPortOwner {
public:
    static constexpr unsigned kBaud = 9600;

    CSerialSource(unsigned port, std::string device, std::function<void()> wake,
                  std::function<void(const std::string&)> report);
    ~CSerialSource() override;

    LinkState State(LinkState::Kind kind) const override;
    bool Open(LinkState* state) override;
    void Close() override;
    bool Take(short revents, SourceRead& read, LinkState* lost) override;
    bool IsConnected() const override { return m_pPort != nullptr; }
    bool CanAnswer() const override { return m_pPort != nullptr; }
    void AnswerComing() override;
    void Answer(const std::uint8_t* bytes, std::size_t count) override;

private:
    void PostPortEvent(PortEvent event, unsigned port, std::size_t bytes) override;
    void PostPortError(const std::string& text) override;

    unsigned m_nPort;
    std::string m_strDevice;
    std::function<void()> m_wake;
    std::function<void(const std::string&)> m_report;
    std::unique_ptr<CSerialPort> m_pPort;
    std::atomic<bool> m_bVanished{false};
    std::vector<std::uint8_t> m_ring; // what one take moves out of the port's ring
};

// A network source (link/NetSource.h): TCP and gpsd connect, UDP binds; a
// lost one is tried again after 1 s, 2 s, 4 s, then every 5 s.
class CNetworkSource final : public IByteSource {
public:
    static constexpr std::int64_t kRetryMaxMs = 5000;

    explicit CNetworkSource(SourceAddress address) : m_address(std::move(address)) {}

    LinkState State(LinkState::Kind kind) const override;
    bool Open(LinkState* state) override;
    void Close() override { m_pNet.reset(); }
    int PollFd() const override { return m_pNet && m_pNet->IsOpen() ? m_pNet->Fd() : -1; }
    short PollEvents() const override { return m_pNet ? m_pNet->PollEvents() : 0; }
    bool Take(short revents, SourceRead& read, LinkState* lost) override;
    bool IsConnected() const override { return m_pNet && m_pNet->IsConnected(); }
    std::int64_t NextRetryMs() override;
    void ResetRetry() override { m_nRetryMs = kRetryMs; }
    bool CanAnswer() const override { return IsConnected() && m_address.TwoWay(); }
    void Answer(const std::uint8_t* bytes, std::size_t count) override;
    void Account(IEventSink& log, SourceCounts& counts) override;

private:
    SourceAddress m_address;
    std::unique_ptr<CNetSource> m_pNet;
    std::int64_t m_nRetryMs = kRetryMs;
    std::uint64_t m_nLostSeen = 0; // m_pNet->DatagramsLost() as last counted
};
