#include "link/NmeaServer.h"

#include "link/NetSource.h"
#include "platform/ErrorText.h"
#include "platform/UiText.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <malloc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A client that caught up keeps this much of its queue's memory; more goes.
constexpr std::size_t kKeptQueueCapacity = 64u << 10;
// Memory let go that is handed back to the system at once: the allocator
// would keep it for the next client otherwise, and a burst of slow clients
// would leave the program large for good.
constexpr std::size_t kTrimBytes = 1u << 20;
constexpr int kClientSendBuffer = 256 << 10;

// The system hands out the lowest free number, so every number below fd is
// taken: a descriptor this high leaves fewer than reserve free.
bool LeavesTooFew(int fd, int reserve) {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
        return false;
    return static_cast<rlim_t>(fd) + static_cast<rlim_t>(std::max(reserve, 0)) >= files.rlim_cur;
}

bool IsLoopback(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        return ntohl(in.sin_addr.s_addr) >> 24 == 127;
    }
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    return IN6_IS_ADDR_LOOPBACK(&in6.sin6_addr) ||
           (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr) && in6.sin6_addr.s6_addr[12] == 127);
}

std::string AddressText(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = "";
    unsigned port = 0;
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, host, sizeof host);
        port = ntohs(in.sin_port);
        return std::string(host) + ":" + std::to_string(port);
    }
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
    return "[" + std::string(host) + "]:" + std::to_string(ntohs(in6.sin6_port));
}

// The first address of host:port that a socket of type can be made for and
// `use` accepts; the socket, or -1 with *error.
template <typename Use>
int OpenSocket(const std::string& host, unsigned port, int type, Use use, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        if (error)
            *error = FillIn(UiText("NetSource", "无法解析主机名 %1：%2"), {host, gai_strerror(rc)});
        return -1;
    }
    int fd = -1, failure = 0;
    for (addrinfo* ai = found; ai && fd < 0; ai = ai->ai_next) {
        fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd >= 0 && !use(fd, ai)) {
            failure = errno;
            close(fd);
            fd = -1;
        } else if (fd < 0) {
            failure = errno;
        }
    }
    freeaddrinfo(found);
    if (fd < 0 && error)
        *error = SystemErrorText(failure);
    return fd;
}
} // namespace

bool CNmeaServer::ParseAddress(std::string_view text, std::string* host, unsigned* port,
                               std::string* error) {
    std::string_view portText = text;
    std::string hostText = "127.0.0.1";
    if (text.starts_with('[')) {
        const std::size_t close = text.find("]:");
        if (close != std::string_view::npos) {
            hostText = text.substr(1, close - 1);
            portText = text.substr(close + 2);
        }
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        hostText = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    unsigned value = 0;
    const auto [end, ec] =
        std::from_chars(portText.data(), portText.data() + portText.size(), value);
    if (hostText.empty() || ec != std::errc() || end != portText.data() + portText.size() ||
        value > 65535 || portText.empty()) {
        if (error)
            *error = FillIn(UiText("NmeaServer", "无法识别的服务地址 \"%1\"：应为 [主机:]端口"),
                            {std::string(text)});
        return false;
    }
    *host = hostText;
    *port = value;
    return true;
}

bool CNmeaServer::Listen(const std::string& host, unsigned port, std::string* error) {
    const int fd = OpenSocket(
        host, port, SOCK_STREAM,
        [](int socket, const addrinfo* ai) {
            const int one = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            // As long a queue as the system allows: clients that come all at
            // once are each taken, served or refused, never left waiting
            // unseen in a full queue.
            return bind(socket, ai->ai_addr, ai->ai_addrlen) == 0 && listen(socket, SOMAXCONN) == 0;
        },
        error);
    if (fd < 0)
        return false;
    StopListening();
    m_fdListen = fd;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(m_fdListen, reinterpret_cast<sockaddr*>(&bound), &length);
    m_nPort = bound.ss_family == AF_INET
                  ? ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port)
                  : ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
    m_bOpenToNetwork = !IsLoopback(bound);
    return true;
}

namespace {
bool IsGroup(const addrinfo* ai) {
    if (ai->ai_family == AF_INET)
        return IN_MULTICAST(
            ntohl(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr));
    return ai->ai_family == AF_INET6 &&
           IN6_IS_ADDR_MULTICAST(&reinterpret_cast<const sockaddr_in6*>(ai->ai_addr)->sin6_addr);
}

// The hops of a datagram to a group, and the interface it leaves by (0: the default's).
void SetMulticast(int socket, const addrinfo* ai, int ttl, unsigned index) {
    if (ai->ai_family == AF_INET) {
        setsockopt(socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        ip_mreqn by{};
        by.imr_ifindex = static_cast<int>(index);
        setsockopt(socket, IPPROTO_IP, IP_MULTICAST_IF, &by, sizeof by);
    } else {
        setsockopt(socket, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &ttl, sizeof ttl);
        setsockopt(socket, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index);
    }
}
} // namespace

bool CNmeaServer::SendTo(const std::string& host, unsigned port, const UdpOutput& output,
                         std::string* error) {
    const int ttl = std::clamp(output.nTtl, 0, 255);
    const int fd = OpenSocket(
        host, port, SOCK_DGRAM,
        [ttl](int socket, const addrinfo* ai) {
            const int one = 1;
            setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
            if (!IsGroup(ai))
                return connect(socket, ai->ai_addr, ai->ai_addrlen) == 0;
            SetMulticast(socket, ai, ttl, 0);
            if (connect(socket, ai->ai_addr, ai->ai_addrlen) == 0)
                return true;
            const int failure = errno;
            for (const unsigned index : MulticastFallbackInterfaces()) {
                SetMulticast(socket, ai, ttl, index);
                if (connect(socket, ai->ai_addr, ai->ai_addrlen) == 0)
                    return true;
            }
            errno = failure; // the default interface's reason
            return false;
        },
        error);
    if (fd < 0)
        return false;
    StopSending();
    m_fdUdp = fd;
    m_bUdp450 = output.format == UdpOutput::Format::Iec450;
    m_udp450 = CUdp450Writer(output.strSource);
    return true;
}

void CNmeaServer::StopListening() {
    std::size_t released = 0;
    for (Client& client : m_clients) {
        close(client.fd);
        released += client.queue.capacity();
    }
    m_clients.clear();
    Released(released);
    if (m_fdListen >= 0)
        close(m_fdListen);
    m_fdListen = -1;
    m_nPort = 0;
    m_bOpenToNetwork = false;
    m_nAcceptError = 0;
}

void CNmeaServer::StopSending() {
    if (m_fdUdp >= 0)
        close(m_fdUdp);
    m_fdUdp = -1;
}

void CNmeaServer::Close() {
    StopListening();
    StopSending();
}

std::size_t CNmeaServer::QueuedBytes() const {
    std::size_t total = 0;
    for (const Client& client : m_clients)
        total += client.queue.size() - client.nSent;
    return total;
}

void CNmeaServer::Tick(std::int64_t nowMs, std::vector<ServeEvent>& events) {
    if (m_nAcceptError == 0 || nowMs < m_nResumeAtMs)
        return;
    // A descriptor of our own says whether the system has one to give again,
    // without taking a client only to close it.
    const int probe = eventfd(0, EFD_CLOEXEC);
    if (probe < 0) {
        m_nResumeAtMs = nowMs + kAcceptPauseMs;
        return;
    }
    close(probe);
    m_nAcceptError = 0;
    events.push_back({ServeEvent::Kind::AcceptResumed, {}, 0, 0});
}

void CNmeaServer::AddPollFds(std::vector<pollfd>& fds) const {
    if (m_fdListen >= 0 && m_nAcceptError == 0)
        fds.push_back({m_fdListen, POLLIN, 0});
    for (const Client& client : m_clients) {
        const bool waiting = client.queue.size() > client.nSent;
        fds.push_back({client.fd, static_cast<short>(POLLIN | (waiting ? POLLOUT : 0)), 0});
    }
}

void CNmeaServer::OnReady(const pollfd* fds, std::size_t count, std::int64_t nowMs,
                          std::vector<ServeEvent>& events) {
    bool accept = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (fds[i].revents == 0)
            continue;
        if (fds[i].fd == m_fdListen) {
            accept = true;
            continue;
        }
        const auto found = std::find_if(m_clients.begin(), m_clients.end(),
                                        [&](const Client& c) { return c.fd == fds[i].fd; });
        if (found == m_clients.end())
            continue;
        bool keep = !(fds[i].revents & (POLLERR | POLLNVAL));
        if (keep && (fds[i].revents & (POLLIN | POLLHUP))) {
            // Clients have nothing to say: what they send is read and let go;
            // the end of their stream is their leaving.
            char discard[4096];
            const ssize_t got = recv(found->fd, discard, sizeof discard, MSG_DONTWAIT);
            keep = got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR));
        }
        if (keep && (fds[i].revents & POLLOUT))
            keep = Flush(*found);
        if (!keep) {
            const bool full = found->queue.size() - found->nSent > kClientQueueBytes;
            Drop(static_cast<std::size_t>(found - m_clients.begin()), full ? kClientQueueBytes : 0,
                 events);
        }
    }
    if (accept)
        Accept(nowMs, events);
}

void CNmeaServer::Accept(std::int64_t nowMs, std::vector<ServeEvent>& events) {
    for (int taken = 0; taken < kAcceptsPerWake; ++taken) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = accept4(m_fdListen, reinterpret_cast<sockaddr*>(&address), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Admit(fd, AddressText(address), events);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        // No descriptor (EMFILE, ENFILE), no memory, or worse: the connection
        // stays queued and the listener would wake the thread again at once.
        // It rests instead, and says why once.
        m_nAcceptError = errno;
        m_nResumeAtMs = nowMs + kAcceptPauseMs;
        events.push_back({ServeEvent::Kind::AcceptPaused, {}, 0, m_nAcceptError});
        return;
    }
}

void CNmeaServer::Admit(int fd, std::string address, std::vector<ServeEvent>& events) {
    ServeEvent event{ServeEvent::Kind::Connected, std::move(address), 0, 0};
    if (m_clients.size() >= m_limits.nMaxClients) {
        event.kind = ServeEvent::Kind::Refused;
        event.nLimit = m_limits.nMaxClients;
    } else if (LeavesTooFew(fd, m_limits.nReserveDescriptors)) {
        event.kind = ServeEvent::Kind::RefusedDescriptors;
        event.nLimit = static_cast<std::size_t>(m_limits.nReserveDescriptors);
    }
    if (event.kind == ServeEvent::Kind::Connected) {
        // The system's own buffer for a client would grow to megabytes for
        // one that stops reading; a fixed one keeps the kernel's share
        // bounded too, and is ample for a stream of sentences.
        const int sendBuffer = kClientSendBuffer;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        m_clients.push_back({fd, event.strAddress, {}, 0});
    } else {
        close(fd);
        ++m_nRefused;
    }
    events.push_back(std::move(event));
}

void CNmeaServer::Send(std::string_view lines, std::vector<ServeEvent>& events) {
    if (lines.empty())
        return;
    if (m_fdUdp >= 0) {
        // A datagram a line, as NMEA over UDP is read; in the 450 form a
        // datagram a sentence, what is no sentence left out.
        const std::int64_t unixMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count();
        for (std::size_t at = 0; at < lines.size();) {
            std::size_t end = lines.find('\n', at);
            end = end == std::string_view::npos ? lines.size() : end + 1;
            const std::string_view line = lines.substr(at, end - at);
            if (!m_bUdp450)
                send(m_fdUdp, line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            else if (m_udp450.Datagram(line, unixMs, m_datagram))
                send(m_fdUdp, m_datagram.data(), m_datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            at = end;
        }
    }
    for (std::size_t i = m_clients.size(); i-- > 0;) {
        Client& client = m_clients[i];
        client.queue.append(lines);
        if (!Flush(client)) {
            const bool full = client.queue.size() - client.nSent > kClientQueueBytes;
            Drop(i, full ? kClientQueueBytes : 0, events);
        }
    }
    BoundQueues(events);
}

void CNmeaServer::BoundQueues(std::vector<ServeEvent>& events) {
    std::size_t total = QueuedBytes();
    while (total > m_limits.nMaxQueuedBytes && !m_clients.empty()) {
        const auto behind = [](const Client& c) { return c.queue.size() - c.nSent; };
        const auto slowest = std::max_element(
            m_clients.begin(), m_clients.end(),
            [&](const Client& a, const Client& b) { return behind(a) < behind(b); });
        total -= behind(*slowest);
        Drop(static_cast<std::size_t>(slowest - m_clients.begin()), m_limits.nMaxQueuedBytes,
             events);
    }
}

bool CNmeaServer::Flush(Client& client) {
    while (client.nSent < client.queue.size()) {
        const ssize_t sent = send(client.fd, client.queue.data() + client.nSent,
                                  client.queue.size() - client.nSent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            client.nSent += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        client.nSent = client.queue.size(); // a failed client: not a full queue
        return false;
    }
    if (client.nSent == client.queue.size()) {
        if (client.queue.capacity() > kKeptQueueCapacity) {
            const std::size_t capacity = client.queue.capacity();
            std::string().swap(client.queue);
            Released(capacity);
        } else {
            client.queue.clear();
        }
        client.nSent = 0;
    } else if (client.nSent > client.queue.size() / 2) {
        client.queue.erase(0, client.nSent);
        client.nSent = 0;
    }
    return client.queue.size() - client.nSent <= kClientQueueBytes;
}

void CNmeaServer::Drop(std::size_t index, std::size_t limit, std::vector<ServeEvent>& events) {
    Client& client = m_clients[index];
    close(client.fd);
    if (limit != 0) {
        ++m_nDropped;
        events.push_back({ServeEvent::Kind::Dropped, client.strAddress, limit, 0});
    }
    const std::size_t capacity = client.queue.capacity();
    m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(index));
    Released(capacity);
}

void CNmeaServer::Released(std::size_t bytes) {
    m_nReleasedBytes += bytes;
    if (m_nReleasedBytes < kTrimBytes)
        return;
    m_nReleasedBytes = 0;
    malloc_trim(0);
}
