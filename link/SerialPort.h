// Serial port driver: one open port, one watch thread, one receive ring.
//
// The watch thread waits on three things at once: the port, a shutdown signal
// and a write signal. It reads every received byte into the ring and tells the
// owner with a posted notification; the owner drains the ring on its own thread
// with TakeReceived. Writes are handed to the watch thread through a buffer and
// the write signal. Nothing here touches the user interface: errors are
// composed into text and handed to the owner, which shows them on its thread.
#pragma once

#include "link/ReceiveRing.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the watch thread tells the owner of.
enum class PortEvent {
    Received, // bytes were stored in the ring (the count comes with it)
    Cts,
    Break,
    Error,
    Ring,
    Flag,
    // The device went away (adapter unplugged, line hung up). The watch thread
    // has ended and the descriptor is closed; bytes already in the ring are
    // still there.
    Vanished,
};

// The events an owner asks for when it opens a port. Received and Vanished
// are always reported; the others only when asked for, each time the port
// has something to read.
class PortEvents {
public:
    constexpr PortEvents() = default;
    constexpr PortEvents(std::initializer_list<PortEvent> events) {
        for (PortEvent e : events)
            m_bits |= Bit(e);
    }
    constexpr bool Has(PortEvent e) const { return (m_bits & Bit(e)) != 0; }

private:
    static constexpr unsigned Bit(PortEvent e) { return 1u << static_cast<unsigned>(e); }
    unsigned m_bits = 0;
};

class IPortOwner {
public:
    virtual ~IPortOwner() = default;
    // Called on the watch thread: must only queue the notice. bytes: for
    // Received, how many that read stored; otherwise 0.
    virtual void PostPortEvent(PortEvent event, unsigned port, std::size_t bytes) = 0;
    // A driver failure, fully composed, for a box captioned "Application Error".
    // Called on whichever thread failed: must only queue the report.
    virtual void PostPortError(const std::string& text) = 0;
};

class CSerialPort {
public:
    CSerialPort() = default;
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens `device` for port number `port` with exclusive access (TIOCEXCL and
    // flock) and configures it. False, silently, when the device cannot be
    // opened at all (OpenError() tells why); configuration failures are
    // reported and the port stays open.
    bool Open(IPortOwner* owner, unsigned port, const std::string& device, unsigned baud,
              char parity, int dataBits, int stopBits, PortEvents events, unsigned writeBufferSize);
    bool StartWatching();

    // Queues up to the write buffer's size for sending by the watch thread.
    void SendBytes(const std::uint8_t* bytes, unsigned count);
    void SetBaudRate(unsigned baud);
    // Moves every unread byte to dest (which holds kSize + 1 bytes), appends a
    // zero byte and returns the count.
    unsigned TakeReceived(std::uint8_t* dest) { return m_ring.Take(dest); }
    void ReportError(const char* call) { ReportError(call, errno); }
    void ReportError(const char* call, int error);

    unsigned PortNumber() const { return m_nPort; }
    const std::string& Device() const { return m_strDevice; }
    int OpenError() const { return m_nOpenError; }
    bool IsWatching() const { return m_bThreadRunning.load(); }

    // True when `device` could be opened for exclusive use at this moment.
    static bool CanOpenExclusive(const std::string& device, int* error = nullptr);
    static std::string ComposeError(const char* call, int error, unsigned port);

private:
    // How often a full ring is looked at again; meanwhile the kernel holds
    // what arrives.
    static constexpr int kFullRingPollMs = 2;

    void StopWatching();
    void WatchLoop();
    bool ReceiveRoutine(); // false when the device vanished
    void WriteRoutine();
    void CloseDevice();
    void Post(PortEvent event, std::size_t bytes = 0);

    std::thread m_thread;
    std::mutex m_lock;      // guards the descriptor during open, reads and writes
    std::mutex m_writeLock; // guards the write buffer
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bThreadRunning{false};
    int m_fdShutdown = -1; // eventfd
    int m_fdPort = -1;
    int m_fdWrite = -1; // eventfd
    IPortOwner* m_pOwner = nullptr;
    unsigned m_nPort = 0;
    std::string m_strDevice;
    std::vector<std::uint8_t> m_writeBuffer;
    unsigned m_nWriteLength = 0;
    PortEvents m_events;
    int m_nOpenError = 0;
    CReceiveRing m_ring;
};
