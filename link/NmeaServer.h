// Sharing what is received: a TCP server that hands every received text line,
// byte for byte, to each connected client (a chart plotter, another logger),
// and optionally the same lines as UDP datagrams to a host, a broadcast or a
// multicast address: as they came, a datagram a line, or in the form of
// IEC 61162-450 bridge networks (link/Udp450.h), a sentence a datagram behind
// the "UdPbC" header and a tag block of ours.
//
// It lives on the session's thread and its poll loop, with non-blocking
// sockets only: a line goes into each client's queue and out as far as the
// client's socket takes it. A client whose queue passes kClientQueueBytes (it
// stopped reading, or reads slower than the instrument sends) is dropped, so
// that no client can hold up reception or the record.
//
// Nothing a client does may cost the session more than a bounded share of the
// machine: there are at most ServeLimits::nMaxClients clients (the next one is
// taken and closed at once), all queues together hold at most nMaxQueuedBytes
// (past that the client furthest behind goes first), a client is refused
// while fewer than nReserveDescriptors descriptors remain for the session's
// own sources and files, and when the system has no descriptor to give
// (EMFILE, ENFILE) the listener rests for kAcceptPauseMs rather than waking
// the thread again and again for a connection it cannot take.
#pragma once

#include "link/Udp450.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct pollfd;

struct ServeLimits {
    std::size_t nMaxClients = 32;
    std::size_t nMaxQueuedBytes = 16u << 20; // all clients' queues together
    int nReserveDescriptors = 16;            // kept for the session's sources and files
};

// How the lines go out as datagrams.
struct UdpOutput {
    enum class Format { Nmea, Iec450 };
    Format format = Format::Nmea;
    std::string strSource = CUdp450Writer::kDefaultSource; // Iec450: the tag blocks' s:
    int nTtl = 1; // the hops a datagram to a multicast group may take
    bool operator==(const UdpOutput&) const = default;
};

// What became of the clients, for the event log and the counts.
struct ServeEvent {
    enum class Kind {
        Connected,
        Refused,            // the client cap: nLimit clients
        RefusedDescriptors, // fewer than nLimit descriptors would remain
        Dropped,            // its queue, or all queues together, passed nLimit bytes
        AcceptPaused,       // accept failed for nError: the listener rests
        AcceptResumed,
    };
    Kind kind = Kind::Connected;
    std::string strAddress; // the client's
    std::size_t nLimit = 0;
    int nError = 0;
};

class CNmeaServer {
public:
    static constexpr std::size_t kClientQueueBytes = 1u << 20;
    static constexpr std::int64_t kAcceptPauseMs = 1000;
    // At most this many clients are taken at one wake: reception goes on
    // between, whatever the rate of connections.
    static constexpr int kAcceptsPerWake = 64;

    CNmeaServer() = default;
    ~CNmeaServer() { Close(); }
    CNmeaServer(const CNmeaServer&) = delete;
    CNmeaServer& operator=(const CNmeaServer&) = delete;

    // "[host:]port" (host 127.0.0.1 when left out; "[v6]:port" for IPv6).
    // false and *error (in the user's language) when text is not such an address.
    static bool ParseAddress(std::string_view text, std::string* host, unsigned* port,
                             std::string* error);

    // Listens on host:port (port 0: one the system picks, see Port()), in
    // place of the listener in use, whose clients go. On failure all is as it was.
    bool Listen(const std::string& host, unsigned port, std::string* error);
    // Sends the lines also as datagrams to host:port in the form output
    // says, in place of where they went; on failure they go on going there.
    // A multicast group the default interface has no route to is sent to on
    // the loopback (or another interface that allows multicast).
    bool SendTo(const std::string& host, unsigned port, const UdpOutput& output,
                std::string* error);
    void StopListening(); // and the clients go
    void StopSending();
    void Close();
    void SetLimits(const ServeLimits& limits) { m_limits = limits; }
    const ServeLimits& Limits() const { return m_limits; }
    bool IsListening() const { return m_fdListen >= 0; }
    bool IsOpen() const { return m_fdListen >= 0 || m_fdUdp >= 0; }
    unsigned Port() const { return m_nPort; }
    // Listening on an address other hosts can reach (not 127.0.0.0/8 or ::1).
    bool OpenToNetwork() const { return m_bOpenToNetwork; }
    std::size_t Clients() const { return m_clients.size(); }
    // Since the server was made.
    std::uint64_t Refused() const { return m_nRefused; }
    std::uint64_t Dropped() const { return m_nDropped; }
    // The reason accept failed (EMFILE, …) while the listener rests; 0 when it listens.
    int AcceptError() const { return m_nAcceptError; }
    // What the queues of all clients hold.
    std::size_t QueuedBytes() const;

    // When the listener's rest ends (SteadyMs); -1 while it is not resting.
    std::int64_t WakeAtMs() const { return m_nAcceptError ? m_nResumeAtMs : -1; }
    // Before each poll: ends the listener's rest once it is over and a
    // descriptor can be had again.
    void Tick(std::int64_t nowMs, std::vector<ServeEvent>& events);
    // The descriptors to poll, appended to fds (the listener not while it rests).
    void AddPollFds(std::vector<pollfd>& fds) const;
    // After poll, with the entries AddPollFds appended (in the same order):
    // takes new clients, sends what waits, forgets those gone.
    void OnReady(const pollfd* fds, std::size_t count, std::int64_t nowMs,
                 std::vector<ServeEvent>& events);
    // Hands text lines (one or more, each as received) to every client.
    void Send(std::string_view lines, std::vector<ServeEvent>& events);

private:
    struct Client {
        int fd = -1;
        std::string strAddress;
        std::string queue;     // bytes not yet taken by the socket
        std::size_t nSent = 0; // of queue's front
    };
    void Accept(std::int64_t nowMs, std::vector<ServeEvent>& events);
    // A client just accepted as fd: kept, or closed with the reason.
    void Admit(int fd, std::string address, std::vector<ServeEvent>& events);
    // false when the client is to go: it closed, failed, or its queue is full.
    bool Flush(Client& client);
    // Lets client index go; logged as dropped when limit is not 0.
    void Drop(std::size_t index, std::size_t limit, std::vector<ServeEvent>& events);
    // While all queues together hold too much, the client furthest behind goes.
    void BoundQueues(std::vector<ServeEvent>& events);
    // Memory of queues let go goes back to the system once it adds up.
    void Released(std::size_t bytes);

    ServeLimits m_limits;
    int m_fdListen = -1;
    unsigned m_nPort = 0;
    bool m_bOpenToNetwork = false;
    int m_fdUdp = -1;
    bool m_bUdp450 = false;
    CUdp450Writer m_udp450;
    std::string m_datagram; // one 450 datagram
    std::vector<Client> m_clients;
    std::uint64_t m_nRefused = 0;
    std::uint64_t m_nDropped = 0;
    int m_nAcceptError = 0;
    std::int64_t m_nResumeAtMs = 0;
    std::size_t m_nReleasedBytes = 0; // not yet given back to the system
};
