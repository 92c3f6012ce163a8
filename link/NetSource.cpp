#include "link/NetSource.h"

#include "platform/ErrorText.h"
#include "platform/UiText.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
bool ParsePort(std::string_view text, unsigned* port) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return false;
    *port = value;
    return true;
}

// "host:port", "[v6]:port", ":port"; the port may be left out where there is a default.
bool SplitHostPort(std::string_view rest, unsigned fallback, std::string* host, unsigned* port) {
    while (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    if (rest.find('/') != std::string_view::npos)
        return false; // a path means nothing to any source
    std::string_view portText;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return false;
        *host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        if (!rest.empty() && rest[0] != ':')
            return false;
        portText = rest.empty() ? std::string_view() : rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        *host = rest.substr(0, colon);
        portText = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    if (portText.empty()) {
        *port = fallback;
        return fallback != 0;
    }
    return ParsePort(portText, port);
}

} // namespace

std::vector<unsigned> MulticastFallbackInterfaces() {
    std::vector<unsigned> loopback, others;
    ifaddrs* found = nullptr;
    if (getifaddrs(&found) != 0)
        return {};
    for (const ifaddrs* i = found; i; i = i->ifa_next) {
        const unsigned index = if_nametoindex(i->ifa_name);
        if (index == 0 || !(i->ifa_flags & IFF_UP) ||
            !(i->ifa_flags & (IFF_LOOPBACK | IFF_MULTICAST)))
            continue;
        std::vector<unsigned>& list = (i->ifa_flags & IFF_LOOPBACK) ? loopback : others;
        if (std::find(list.begin(), list.end(), index) == list.end())
            list.push_back(index); // an interface is listed once for each of its addresses
    }
    freeifaddrs(found);
    loopback.insert(loopback.end(), others.begin(), others.end());
    return loopback;
}

namespace {

bool JoinOn(int fd, const addrinfo* ai, unsigned index) {
    if (ai->ai_family == AF_INET) {
        ip_mreqn request{};
        request.imr_multiaddr = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
        request.imr_ifindex = static_cast<int>(index);
        return setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0;
    }
    ipv6_mreq request{};
    request.ipv6mr_multiaddr = reinterpret_cast<const sockaddr_in6*>(ai->ai_addr)->sin6_addr;
    request.ipv6mr_interface = index;
    return setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &request, sizeof request) == 0;
}

// A group address is joined on the default interface, else on a fallback
// one; a unicast one was only bound.
bool JoinGroup(int fd, const addrinfo* ai) {
    if (ai->ai_family == AF_INET) {
        const in_addr group = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
        if (!IN_MULTICAST(ntohl(group.s_addr)))
            return true;
    } else if (ai->ai_family == AF_INET6) {
        if (!IN6_IS_ADDR_MULTICAST(&reinterpret_cast<const sockaddr_in6*>(ai->ai_addr)->sin6_addr))
            return true;
    } else {
        return true;
    }
    if (JoinOn(fd, ai, 0))
        return true;
    const int failure = errno;
    for (const unsigned index : MulticastFallbackInterfaces()) {
        if (JoinOn(fd, ai, index))
            return true;
    }
    errno = failure; // the default interface's reason
    return false;
}

// A server that vanishes without a word (a cable pulled, a machine off) is
// noticed within about half a minute rather than never.
void KeepAlive(int fd) {
    const int one = 1, idle = 10, interval = 5, count = 3;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

int SocketError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    return error;
}
} // namespace

namespace {
// "?from=127.0.0.1,10.1.0.0/16" of a UDP source's URL into its senders; false
// with *error.
bool ParseQuery(std::string_view url, std::string_view query, SourceAddress* address,
                std::string* error) {
    std::string bad;
    if (!query.starts_with("from=")) {
        if (error)
            *error = FillIn(UiText("NetSource", "无法识别的数据源 \"%1\"：UDP 数据源之后只能是 "
                                                "?from=地址或网段[,…]"),
                            {std::string(url)});
        return false;
    }
    if (!ParseSenderList(query.substr(5), &address->senders, &bad)) {
        if (error)
            *error = FillIn(UiText("NetSource", "无法识别的数据源 \"%1\"：\"%2\" 不是 IP "
                                                "地址或网段（如 127.0.0.1 或 10.1.0.0/16）"),
                            {std::string(url), bad});
        return false;
    }
    return true;
}
} // namespace

bool SourceAddress::Parse(std::string_view url, SourceAddress* address, std::string* error) {
    SourceAddress a;
    bool ok = false;
    if (url.starts_with("serial:")) {
        a.kind = Kind::Serial;
        a.strDevice = url.substr(7);
        ok = !a.strDevice.empty();
    } else if (url.starts_with("tcp://")) {
        a.kind = Kind::Tcp;
        ok = SplitHostPort(url.substr(6), 0, &a.strHost, &a.nPort) && !a.strHost.empty();
    } else if (url.starts_with("gpsd://")) {
        a.kind = Kind::Gpsd;
        ok = SplitHostPort(url.substr(7), CNetSource::kDefaultGpsdPort, &a.strHost, &a.nPort);
        if (ok && a.strHost.empty())
            a.strHost = "localhost";
    } else if (url.starts_with("udp://")) {
        a.kind = Kind::Udp;
        std::string_view rest = url.substr(6);
        if (const std::size_t query = rest.find('?'); query != std::string_view::npos) {
            if (!ParseQuery(url, rest.substr(query + 1), &a, error))
                return false;
            rest = rest.substr(0, query);
        }
        ok = SplitHostPort(rest, 0, &a.strHost, &a.nPort);
    }
    if (!ok) {
        if (error)
            *error =
                FillIn(UiText("NetSource", "无法识别的数据源 \"%1\"：应为 serial:/dev/ttyUSB0、"
                                           "tcp://主机:端口、udp://:端口 或 gpsd://主机[:端口]"),
                       {std::string(url)});
        return false;
    }
    *address = a;
    return true;
}

std::string SourceAddress::Url() const {
    const std::string port = std::to_string(nPort);
    const std::string host = strHost.find(':') != std::string::npos ? "[" + strHost + "]" : strHost;
    switch (kind) {
    case Kind::Serial:
        return "serial:" + strDevice;
    case Kind::Tcp:
        return "tcp://" + host + ":" + port;
    case Kind::Udp:
        return "udp://" + host + ":" + port +
               (senders.empty() ? std::string() : "?from=" + SenderListText(senders));
    case Kind::Gpsd:
        return "gpsd://" + host + ":" + port;
    }
    return {};
}

bool CNetSource::Open(const SourceAddress& address, std::string* error) {
    Close();
    m_address = address;
    m_bLineStart = true;
    m_bSkipping = false;
    m_nDropCount = 0;
    m_nDatagramsLost = 0;
    m_senders = CUdpSenders();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    const bool udp = address.kind == SourceAddress::Kind::Udp;
    hints.ai_socktype = udp ? SOCK_DGRAM : SOCK_STREAM;
    if (udp)
        hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.nPort);
    const bool group = udp && !address.strHost.empty();
    const int rc = getaddrinfo(udp && !group ? nullptr : address.strHost.c_str(), service.c_str(),
                               &hints, &found);
    if (rc != 0) {
        if (error)
            *error = FillIn(UiText("NetSource", "无法解析主机名 %1：%2"),
                            {address.strHost, gai_strerror(rc)});
        return false;
    }
    int failure = 0;
    for (addrinfo* ai = found; ai && m_fd < 0; ai = ai->ai_next) {
        const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            failure = errno;
            continue;
        }
        bool ok;
        if (udp) {
            const int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
            // Room for a burst while the thread records; past the system's
            // ceiling only as root. What it still drops is counted.
            const int room = kReceiveBufferBytes;
            if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
                setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
            setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &one, sizeof one);
            ok = bind(fd, ai->ai_addr, ai->ai_addrlen) == 0;
            if (ok && group)
                ok = JoinGroup(fd, ai);
        } else {
            ok = connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 || errno == EINPROGRESS;
        }
        if (ok) {
            m_fd = fd;
        } else {
            failure = errno;
            close(fd);
        }
    }
    freeaddrinfo(found);
    if (m_fd < 0) {
        if (error)
            *error = SystemErrorText(failure);
        return false;
    }
    m_bConnected = udp;
    return true;
}

void CNetSource::Close() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_bConnected = false;
}

short CNetSource::PollEvents() const {
    return m_bConnected ? POLLIN : POLLOUT;
}

bool CNetSource::Connected(std::string* error) {
    const int failure = SocketError(m_fd);
    if (failure != 0) {
        if (error)
            *error = SystemErrorText(failure);
        return false;
    }
    m_bConnected = true;
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    KeepAlive(m_fd);
    if (m_address.kind == SourceAddress::Kind::Gpsd) {
        static constexpr char kWatch[] = "?WATCH={\"enable\":true,\"raw\":1}\n";
        if (!Send(reinterpret_cast<const std::uint8_t*>(kWatch), sizeof kWatch - 1)) {
            if (error)
                *error = SystemErrorText(errno);
            return false;
        }
    }
    return true;
}

bool CNetSource::OnReady(short revents, std::vector<std::uint8_t>& received, std::string* error) {
    if (m_fd < 0)
        return false;
    if (!m_bConnected) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP)))
            return true;
        return Connected(error);
    }
    if (m_address.kind == SourceAddress::Kind::Udp)
        return ReadDatagrams(received, error);
    // One read of a stream: what came is framed and recorded before more is
    // taken, and a fast sender cannot keep us here.
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            AppendFiltered(buffer, static_cast<std::size_t>(got), received);
            return true;
        }
        if (got == 0)
            return false; // the server closed the connection
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return true;
        if (error)
            *error = SystemErrorText(errno);
        return false;
    }
}

bool CNetSource::ReadDatagrams(std::vector<std::uint8_t>& received, std::string* error) {
    m_datagramEnds.clear();
    m_newSenders.clear();
    std::uint8_t buffer[65536]; // the largest datagram
    for (int datagrams = 0; datagrams < kDatagramsPerRead;) {
        sockaddr_storage from{};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
        iovec part{buffer, sizeof buffer};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(m_fd, &message, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (got < 0) {
            if (error)
                *error = SystemErrorText(errno);
            return false;
        }
        ++datagrams;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                std::uint32_t dropped = 0;
                std::memcpy(&dropped, CMSG_DATA(c), sizeof dropped);
                NoteDropCount(dropped);
            }
        }
        const SenderAddress sender = SenderAddress::From(from);
        bool accepted = m_address.senders.empty();
        for (const AddressPrefix& prefix : m_address.senders)
            accepted = accepted || prefix.Contains(sender);
        const CUdpSenders::Heard heard = m_senders.Count(sender, accepted);
        if (heard == CUdpSenders::Heard::First || heard == CUdpSenders::Heard::FirstUnlisted)
            m_newSenders.push_back({sender.Text(), heard, accepted});
        if (!accepted)
            continue; // never framed, never recorded
        received.insert(received.end(), buffer, buffer + got);
        m_datagramEnds.push_back(received.size());
    }
    return true;
}

void CNetSource::NoteDropCount(std::uint32_t dropped) {
    // The socket's count since it was made, 32 bits wide: the difference
    // survives its wrapping.
    m_nDatagramsLost += static_cast<std::uint32_t>(dropped - m_nDropCount);
    m_nDropCount = dropped;
}

void CNetSource::AppendFiltered(const std::uint8_t* bytes, std::size_t count,
                                std::vector<std::uint8_t>& received) {
    if (m_address.kind != SourceAddress::Kind::Gpsd) {
        received.insert(received.end(), bytes, bytes + count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t c = bytes[i];
        if (m_bLineStart)
            m_bSkipping = c == '{';
        if (!m_bSkipping)
            received.push_back(c);
        m_bLineStart = c == '\n';
    }
}

bool CNetSource::Send(const std::uint8_t* bytes, std::size_t count) {
    if (m_fd < 0 || !m_bConnected || m_address.kind == SourceAddress::Kind::Udp)
        return false;
    while (count > 0) {
        const ssize_t sent = send(m_fd, bytes, count, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool IsSourceLabel(std::string_view label) {
    if (label.empty() || label.size() > 32 || !std::isalpha(static_cast<unsigned char>(label[0])))
        return false;
    return std::all_of(label.begin(), label.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
}

std::string SourceAddress::DefaultLabel() const {
    std::string from;
    switch (kind) {
    case Kind::Serial:
        from = strDevice.substr(strDevice.find_last_of('/') + 1);
        break;
    case Kind::Tcp:
        from = "tcp-" + strHost + "-" + std::to_string(nPort);
        break;
    case Kind::Udp:
        from = "udp-" + (strHost.empty() ? std::string() : strHost + "-") + std::to_string(nPort);
        break;
    case Kind::Gpsd:
        from = "gpsd-" + strHost;
        break;
    }
    std::string label;
    for (char c : from) {
        const bool kept = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
        if (label.size() < 32 && (kept || (!label.empty() && label.back() != '-')))
            label += kept ? c : '-';
    }
    if (label.empty() || !std::isalpha(static_cast<unsigned char>(label[0])))
        label.insert(0, "s");
    return label.substr(0, 32);
}

bool SourceAddress::ParseLabelled(std::string_view text, std::string* label, SourceAddress* address,
                                  std::string* error) {
    const std::size_t equals = text.find('=');
    const std::size_t scheme = text.find(':');
    // "udp://...?from=a" has its '=' after the scheme: no label.
    std::string_view url = text;
    std::string named;
    if (equals != std::string_view::npos && (scheme == std::string_view::npos || equals < scheme)) {
        named = std::string(text.substr(0, equals));
        url = text.substr(equals + 1);
        if (!IsSourceLabel(named)) {
            if (error)
                *error = FillIn(UiText("NetSource",
                                       "\"%1\" 不能作为数据源名称：只能用字母、数字、\"-\" 和 "
                                       "\"_\"，以字母开头，至多 32 个字符"),
                                {named});
            return false;
        }
    }
    if (!Parse(url, address, error))
        return false;
    *label = named.empty() ? address->DefaultLabel() : named;
    return true;
}
