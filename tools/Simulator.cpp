#include "tools/Simulator.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

CInstrumentSimulator::~CInstrumentSimulator() {
    Close();
}

bool CInstrumentSimulator::Open(std::string* error, const std::string& linkPath) {
    char name[256] = {};
    if (openpty(&m_fdMaster, &m_fdSlave, name, nullptr, nullptr) != 0) {
        if (error)
            *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    termios tio{};
    tcgetattr(m_fdSlave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_fdSlave, TCSANOW, &tio);
    fcntl(m_fdMaster, F_SETFL, fcntl(m_fdMaster, F_GETFL) | O_NONBLOCK);
    fcntl(m_fdMaster, F_SETFD, FD_CLOEXEC);
    fcntl(m_fdSlave, F_SETFD, FD_CLOEXEC);
    m_strSlave = name;
    if (!linkPath.empty()) {
        unlink(linkPath.c_str());
        if (symlink(name, linkPath.c_str()) != 0) {
            if (error)
                *error = "cannot create " + linkPath + ": " + std::strerror(errno);
            Close();
            return false;
        }
        m_strLink = linkPath;
    }
    return true;
}

void CInstrumentSimulator::Close() {
    if (!m_strLink.empty()) {
        unlink(m_strLink.c_str());
        m_strLink.clear();
    }
    if (m_fdSlave >= 0)
        close(m_fdSlave);
    if (m_fdMaster >= 0)
        close(m_fdMaster);
    m_fdSlave = m_fdMaster = -1;
}

std::string CInstrumentSimulator::WithNmeaChecksum(const std::string& body) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i)
        sum ^= static_cast<unsigned char>(body[i]);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return body + tail;
}

std::string CInstrumentSimulator::NPacket() {
    return std::string("\x02\x00\x6E\x01\x41\xB0\x03", 7);
}

std::string CInstrumentSimulator::Traffic(std::uint64_t tick, double rateHz,
                                          double nPacketEverySeconds) {
    const double t = static_cast<double>(tick) / rateHz;
    constexpr double pi = 3.14159265358979323846;
    // A slow turn through all headings, a swell of 8 s and a little noise.
    double heading = std::fmod(120.0 + 3.0 * t + 15.0 * std::sin(2 * pi * t / 90.0), 360.0);
    if (heading < 0)
        heading += 360.0;
    const double pitch = 4.0 * std::sin(2 * pi * t / 8.0) + 0.6 * std::sin(2 * pi * t / 1.7);
    char line[128];
    std::string out;
    std::snprintf(line, sizeof line, "$C%.1f,%.2f\r\n", heading, pitch);
    out += line;
    std::snprintf(line, sizeof line, "$GPHDT,%.2f,T", heading);
    out += WithNmeaChecksum(line);
    std::snprintf(line, sizeof line, "$GPROT,%.2f,A", pitch);
    out += WithNmeaChecksum(line);
    const auto perSecond = static_cast<std::uint64_t>(rateHz < 1 ? 1 : rateHz);
    if (tick % perSecond == 0) {
        const double drift = t / 3600.0;
        const int seconds = static_cast<int>(t);
        std::snprintf(line, sizeof line,
                      "$GPGGA,%02d%02d%02d.00,3110.%04d,N,12129.%04d,E,4,14,0.8,12.3,M,8.1,M,,",
                      (seconds / 3600) % 24, (seconds / 60) % 60, seconds % 60,
                      4567 + static_cast<int>(drift * 60) % 5000,
                      8765 + static_cast<int>(drift * 90) % 1000);
        out += WithNmeaChecksum(line);
    }
    if (nPacketEverySeconds > 0) {
        const auto every = static_cast<std::uint64_t>(nPacketEverySeconds * rateHz);
        if (every > 0 && tick % every == every - 1)
            out += NPacket();
    }
    return out;
}

bool CInstrumentSimulator::Write(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(m_fdMaster, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd out{m_fdMaster, POLLOUT, 0};
            poll(&out, 1, 100);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<std::string> CInstrumentSimulator::ReadCommands() {
    std::vector<std::string> commands;
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = read(m_fdMaster, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            if (m_framer.FeedByte(buffer[i]) && !m_framer.m_bTextLine)
                commands.emplace_back(m_framer.Bytes());
        }
    }
    return commands;
}
