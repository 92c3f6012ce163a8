#include "link/NmeaServer.h"

#include "platform/ErrorText.h"
#include "platform/UiText.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
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
            return bind(socket, ai->ai_addr, ai->ai_addrlen) == 0 && listen(socket, 16) == 0;
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
    return true;
}

bool CNmeaServer::SendTo(const std::string& host, unsigned port, std::string* error) {
    const int fd = OpenSocket(
        host, port, SOCK_DGRAM,
        [](int socket, const addrinfo* ai) {
            const int one = 1;
            setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
            return connect(socket, ai->ai_addr, ai->ai_addrlen) == 0;
        },
        error);
    if (fd < 0)
        return false;
    StopSending();
    m_fdUdp = fd;
    return true;
}

void CNmeaServer::StopListening() {
    for (Client& client : m_clients)
        close(client.fd);
    m_clients.clear();
    if (m_fdListen >= 0)
        close(m_fdListen);
    m_fdListen = -1;
    m_nPort = 0;
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

void CNmeaServer::AddPollFds(std::vector<pollfd>& fds) const {
    if (m_fdListen >= 0)
        fds.push_back({m_fdListen, POLLIN, 0});
    for (const Client& client : m_clients) {
        const bool waiting = client.queue.size() > client.nSent;
        fds.push_back({client.fd, static_cast<short>(POLLIN | (waiting ? POLLOUT : 0)), 0});
    }
}

void CNmeaServer::OnReady(const pollfd* fds, std::size_t count, std::vector<std::string>& dropped) {
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
            if (found->queue.size() - found->nSent > kClientQueueBytes)
                dropped.push_back(found->strAddress);
            Drop(static_cast<std::size_t>(found - m_clients.begin()));
        }
    }
    if (accept)
        Accept();
}

void CNmeaServer::Accept() {
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = accept4(m_fdListen, reinterpret_cast<sockaddr*>(&address), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        m_clients.push_back({fd, AddressText(address), {}, 0});
    }
}

void CNmeaServer::Send(std::string_view lines, std::vector<std::string>& dropped) {
    if (lines.empty())
        return;
    if (m_fdUdp >= 0) {
        // A datagram a line, as NMEA over UDP is read.
        for (std::size_t at = 0; at < lines.size();) {
            std::size_t end = lines.find('\n', at);
            end = end == std::string_view::npos ? lines.size() : end + 1;
            send(m_fdUdp, lines.data() + at, end - at, MSG_DONTWAIT | MSG_NOSIGNAL);
            at = end;
        }
    }
    for (std::size_t i = m_clients.size(); i-- > 0;) {
        Client& client = m_clients[i];
        client.queue.append(lines);
        if (!Flush(client)) {
            if (client.queue.size() - client.nSent > kClientQueueBytes)
                dropped.push_back(client.strAddress);
            Drop(i);
        }
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
        client.queue.clear();
        client.nSent = 0;
    } else if (client.nSent > client.queue.size() / 2) {
        client.queue.erase(0, client.nSent);
        client.nSent = 0;
    }
    return client.queue.size() - client.nSent <= kClientQueueBytes;
}

void CNmeaServer::Drop(std::size_t index) {
    close(m_clients[index].fd);
    m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(index));
}
