// Sharing what is received: a TCP server that hands every received text line,
// byte for byte, to each connected client (a chart plotter, another logger),
// and optionally the same lines as UDP datagrams to a host, a broadcast or a
// multicast address.
//
// It lives on the session's thread and its poll loop, with non-blocking
// sockets only: a line goes into each client's queue and out as far as the
// client's socket takes it. A client whose queue passes kClientQueueBytes (it
// stopped reading, or reads slower than the instrument sends) is dropped, so
// that no client can hold up reception or the record.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct pollfd;

class CNmeaServer {
public:
    static constexpr std::size_t kClientQueueBytes = 1u << 20;

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
    // Sends the lines also as datagrams to host:port, in place of where they
    // went; on failure they go on going there.
    bool SendTo(const std::string& host, unsigned port, std::string* error);
    void StopListening(); // and the clients go
    void StopSending();
    void Close();
    bool IsListening() const { return m_fdListen >= 0; }
    bool IsOpen() const { return m_fdListen >= 0 || m_fdUdp >= 0; }
    unsigned Port() const { return m_nPort; }
    std::size_t Clients() const { return m_clients.size(); }

    // The descriptors to poll, appended to fds.
    void AddPollFds(std::vector<pollfd>& fds) const;
    // After poll, with the entries AddPollFds appended (in the same order):
    // takes new clients, sends what waits, forgets those gone. The addresses
    // of clients dropped for a full queue go to dropped.
    void OnReady(const pollfd* fds, std::size_t count, std::vector<std::string>& dropped);
    // Hands text lines (one or more, each as received) to every client.
    void Send(std::string_view lines, std::vector<std::string>& dropped);

private:
    struct Client {
        int fd = -1;
        std::string strAddress;
        std::string queue;     // bytes not yet taken by the socket
        std::size_t nSent = 0; // of queue's front
    };
    void Accept();
    // false when the client is to go: it closed, failed, or its queue is full.
    bool Flush(Client& client);
    void Drop(std::size_t index);

    int m_fdListen = -1;
    unsigned m_nPort = 0;
    int m_fdUdp = -1;
    std::vector<Client> m_clients;
};
