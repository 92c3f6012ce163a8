#include "tools/SimSource.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {
bool Number(const std::string& text, double* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

bool Port(const std::string& text, std::uint16_t* port) {
    double value = 0;
    if (!Number(text, &value) || value < 1 || value > 65535 || value != std::floor(value))
        return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

// "udp:HOST:PORT" (an IPv6 host in brackets) or "pty" or "pty:LINK".
bool ParseOutput(const std::string& text, SimSourceSettings* settings) {
    if (text == "pty")
        return true;
    if (text.starts_with("pty:")) {
        settings->linkPath = text.substr(4);
        return !settings->linkPath.empty();
    }
    if (!text.starts_with("udp:"))
        return false;
    settings->output = SimSourceSettings::Output::Udp;
    const std::string rest = text.substr(4);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0 || !Port(rest.substr(colon + 1), &settings->port))
        return false;
    settings->host = rest.substr(0, colon);
    if (settings->host.front() == '[' && settings->host.back() == ']')
        settings->host = settings->host.substr(1, settings->host.size() - 2);
    return !settings->host.empty();
}

bool Setting(const std::string& key, const std::string& value, SimSourceSettings* settings) {
    TrafficOptions& traffic = settings->traffic;
    HeadingFaults& faults = traffic.faults;
    if (key == "sentences")
        return traffic.ParseSentences(value);
    if (key == "format" && (value == "nmea" || value == "iec450")) {
        settings->format =
            value == "nmea" ? SimSourceSettings::Format::Nmea : SimSourceSettings::Format::Iec450;
        return true;
    }
    if (key == "id") {
        settings->id = value;
        return IsUdp450Source(value);
    }
    if (key == "talker") {
        traffic.talker = value;
        return value.size() == 2;
    }
    double number = 0;
    if (!Number(value, &number))
        return false;
    if (key == "offset")
        faults.offsetDeg = number;
    else if (key == "drift")
        faults.driftDegPerMin = number;
    else if (key == "noise" && number >= 0)
        faults.noiseDeg = number;
    else if (key == "seed" && number >= 0)
        faults.seed = static_cast<std::uint64_t>(number);
    else if (key == "stuck-after" && number >= 0)
        faults.stuckAfterS = number;
    else if (key == "drop-after" && number >= 0)
        faults.dropAfterS = number;
    else if (key == "drop-for" && number >= 0)
        faults.dropForS = number;
    else if (key == "n-every" && number >= 0)
        traffic.nPacketEverySeconds = number;
    else
        return false;
    return true;
}
} // namespace

std::optional<SimSourceSettings> SimSourceSettings::Parse(const std::string& text,
                                                          std::string* error) {
    const auto fail = [&](const std::string& why) -> std::optional<SimSourceSettings> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // Pieces between commas; one without '=' belongs to the value before it
    // (the sentence list "sentences=hdt,rot").
    std::vector<std::pair<std::string, std::string>> pieces;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        const std::string piece = text.substr(at, comma - at);
        const std::size_t equals = piece.find('=');
        if (equals != std::string::npos)
            pieces.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
        else if (!pieces.empty() && pieces.back().first == "sentences")
            pieces.back().second += "," + piece;
        else
            return fail("'" + piece + "' is no KEY=VALUE");
        at = comma + 1;
    }
    SimSourceSettings settings;
    settings.name = pieces.front().first;
    if (settings.name.empty())
        return fail("a source needs a name");
    if (!ParseOutput(pieces.front().second, &settings))
        return fail("'" + pieces.front().second + "' is neither pty[:LINK] nor udp:HOST:PORT");
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (!Setting(pieces[i].first, pieces[i].second, &settings))
            return fail("'" + pieces[i].first + "=" + pieces[i].second + "' is not understood");
    }
    if (settings.format == Format::Iec450 && settings.output != Output::Udp)
        return fail("format=iec450 is for UDP");
    return settings;
}

CUdpSender::~CUdpSender() {
    if (m_fd >= 0)
        close(m_fd);
}

bool CUdpSender::Open(const std::string& host, std::uint16_t port, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        if (error)
            *error = "cannot resolve " + host + ": " + gai_strerror(status);
        return false;
    }
    m_fd = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd >= 0) {
        std::memcpy(&m_to, found->ai_addr, found->ai_addrlen);
        m_toLength = found->ai_addrlen;
        const int one = 1;
        if (found->ai_family == AF_INET) {
            const unsigned char loop = 1, hops = 1;
            setsockopt(m_fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
            setsockopt(m_fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);
            setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        } else {
            setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &one, sizeof one);
            setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &one, sizeof one);
        }
    }
    freeaddrinfo(found);
    if (m_fd < 0 && error)
        *error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return m_fd >= 0;
}

bool CUdpSender::Send(const std::string& datagram) {
    for (;;) {
        if (sendto(m_fd, datagram.data(), datagram.size(), 0,
                   reinterpret_cast<const sockaddr*>(&m_to), m_toLength) >= 0)
            return true;
        if (errno == EINTR)
            continue;
        // Nobody listening yet (an ICMP answer to the datagram before) or a
        // full buffer: that datagram is lost, the next may arrive.
        return errno == EAGAIN || errno == ECONNREFUSED || errno == ENOBUFS;
    }
}

bool CSimSource::Open(std::string* error) {
    if (m_settings.output == SimSourceSettings::Output::Udp)
        return m_udp.Open(m_settings.host, m_settings.port, error);
    return m_pty.Open(error, m_settings.linkPath);
}

std::string CSimSource::Where() const {
    if (m_settings.output == SimSourceSettings::Output::Udp)
        return "udp:" + m_settings.host + ":" + std::to_string(m_settings.port);
    return m_settings.linkPath.empty() ? m_pty.SlavePath() : m_settings.linkPath;
}

bool CSimSource::Tick(std::uint64_t tick, double rateHz) {
    const std::string traffic = CInstrumentSimulator::Traffic(tick, rateHz, m_settings.traffic);
    if (traffic.empty())
        return true;
    if (m_settings.output == SimSourceSettings::Output::Udp &&
        m_settings.format == SimSourceSettings::Format::Nmea)
        return m_udp.Send(traffic);
    if (m_settings.output == SimSourceSettings::Output::Udp) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const std::int64_t unixMs = now.tv_sec * std::int64_t{1000} + now.tv_nsec / 1000000;
        std::string datagram;
        for (std::size_t at = 0; at < traffic.size();) {
            std::size_t end = traffic.find('\n', at);
            end = end == std::string::npos ? traffic.size() : end + 1;
            // An 'n' packet is no sentence: it has no datagram.
            if (m_450.Datagram(std::string_view(traffic).substr(at, end - at), unixMs, datagram) &&
                !m_udp.Send(datagram))
                return false;
            at = end;
        }
        return true;
    }
    // A real instrument does not wait for its reader: what finds the line
    // full is lost.
    pollfd room{m_pty.MasterFd(), POLLOUT, 0};
    if (poll(&room, 1, 0) != 1 || (room.revents & POLLOUT) == 0)
        return true;
    return write(m_pty.MasterFd(), traffic.data(), traffic.size()) >= 0 || errno == EAGAIN;
}

std::vector<std::string> CSimSource::ReadCommands() {
    if (m_settings.output == SimSourceSettings::Output::Udp)
        return {};
    return m_pty.ReadCommands();
}
