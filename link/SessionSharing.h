// The session's sharing of what it receives (CNmeaServer): the TCP server and
// the datagrams started, moved and stopped on the session's thread without a
// byte of reception lost, every read's text lines handed on, and the event
// log's account of the clients. Its state is there for the window to read
// from any thread; everything else is the session thread's.
#pragma once

#include "link/NmeaServer.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <string_view>
#include <vector>

class IEventSink;

// Where the received text lines are shared: a TCP server and datagrams.
struct ServeTarget {
    std::string strHost;    // the server's; empty: no server
    unsigned nPort = 0;     // 0: one the system picks
    std::string strUdpHost; // where the datagrams go; empty: none
    unsigned nUdpPort = 0;
    UdpOutput udp; // and in what form
};

// The sharing as it stands, for the window.
struct ServeState {
    bool bListening = false;
    std::string strAddress; // "host:port" listened on
    unsigned nPort = 0;
    bool bOpenToNetwork = false; // other hosts can connect (not a loopback address)
    std::string strUdpAddress;   // "host:port" the datagrams go to; empty: none
    bool bUdp450 = false;        // in the form of 61162-450 bridge networks
    std::size_t nClients = 0;
    std::uint64_t nRefused = 0; // clients turned away: too many, or descriptors running out
    std::uint64_t nDropped = 0; // clients let go for falling behind
    int nAcceptError = 0;       // while no client can be taken: the system's reason (EMFILE…)
    std::string strError;       // why the last start or change could not be made
};

class CSessionSharing {
public:
    // changed: the state the window shows moved (must only queue a notice).
    CSessionSharing(IEventSink& log, std::function<void()> changed)
        : m_log(log), m_changed(std::move(changed)) {}

    // The server on host:port, the datagrams to host:port; false with *error
    // leaves the sharing as it was. Each start and stop is logged.
    bool Listen(const std::string& host, unsigned port, std::string* error);
    bool SendTo(const std::string& host, unsigned port, const UdpOutput& output,
                std::string* error);
    // The sharing from now on; the reason it could not be, or an empty text.
    std::string Change(const ServeTarget& target);
    void SetLimits(const ServeLimits& limits) { m_server.SetLimits(limits); }
    // Any thread.
    ServeState State() const;

    // The text lines of one read, then Flush after it.
    bool Wanted() const { return m_server.IsOpen(); }
    void Add(std::string_view lines) { m_batch.append(lines); }
    // Sends what was added and logs what became of the clients.
    void Flush();

    // In the session's poll, beside its other descriptors.
    std::int64_t WakeAtMs() const { return m_server.WakeAtMs(); }
    void BeforePoll(std::int64_t nowMs) { m_server.Tick(nowMs, m_events); }
    void AddPollFds(std::vector<pollfd>& fds) const { m_server.AddPollFds(fds); }
    void OnReady(const pollfd* fds, std::size_t count, std::int64_t nowMs) {
        m_server.OnReady(fds, count, nowMs, m_events);
    }
    // A line about a client that came, within so many a minute: a client
    // that connects again and again must not fill the disk. The lines left
    // out are counted in one line when the minute is over (or the session ends).
    void CountSkippedLines(std::int64_t nowMs);
    void LogSkippedLines();

private:
    void StopListening();
    void StopSending();
    void SetError(const std::string& error);
    void UpdateState();
    void LogEvents();
    void LogClient(std::string_view event, const std::string& address, std::size_t limit);

    IEventSink& m_log;
    std::function<void()> m_changed;
    CNmeaServer m_server;
    std::string m_batch; // the text lines of one read
    std::vector<ServeEvent> m_events;
    ServeTarget m_serving;     // in effect
    ServeState m_counts;       // the counts as m_state has them
    mutable std::mutex m_lock; // m_state
    ServeState m_state;
    std::int64_t m_nClientLinesUntilMs = 0;
    int m_nClientLines = 0;
    std::uint64_t m_nClientLinesSkipped = 0;
};
