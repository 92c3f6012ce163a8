#include "tools/Simulator.h"

#include <algorithm>
#include <cctype>
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

bool TrafficOptions::ParseSentences(const std::string& list) {
    static const char* const kKnown[] = {"c", "hdt", "rot", "gga", "ths", "hpr", "psat", "pashr"};
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string name = list.substr(start, comma - start);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown))
            return false;
        names.push_back(name);
        start = comma + 1;
    }
    sentences = names;
    return true;
}

std::string CInstrumentSimulator::Traffic(std::uint64_t tick, double rateHz,
                                          const TrafficOptions& options) {
    const double t = static_cast<double>(tick) / rateHz;
    constexpr double pi = 3.14159265358979323846;
    // A slow turn through all headings, a swell of 8 s from ahead and one of
    // 11 s from the side, and a little noise.
    double heading = std::fmod(120.0 + 3.0 * t + 15.0 * std::sin(2 * pi * t / 90.0), 360.0);
    if (heading < 0)
        heading += 360.0;
    const double pitch = 4.0 * std::sin(2 * pi * t / 8.0) + 0.6 * std::sin(2 * pi * t / 1.7);
    const double roll = 7.0 * std::sin(2 * pi * t / 11.0) + 0.8 * std::sin(2 * pi * t / 2.3);
    const int seconds = static_cast<int>(t);
    char utc[16];
    std::snprintf(utc, sizeof utc, "%02d%02d%02d.%02d", (seconds / 3600) % 24, (seconds / 60) % 60,
                  seconds % 60, static_cast<int>((t - seconds) * 100) % 100);
    const char* talker = options.talker.c_str();
    bool spoil = options.badChecksumEvery > 0 &&
                 tick % options.badChecksumEvery == options.badChecksumEvery - 1;
    std::string out;
    const auto nmea = [&](const char* body) {
        std::string sentence = WithNmeaChecksum(body);
        if (spoil) { // the last hex digit off by one
            char& digit = sentence[sentence.size() - 3];
            digit = digit == '0' ? '1' : '0';
            spoil = false;
        }
        out += sentence;
    };
    const auto perSecond = static_cast<std::uint64_t>(rateHz < 1 ? 1 : rateHz);
    char line[160];
    for (const std::string& name : options.sentences) {
        if (name == "c") {
            std::snprintf(line, sizeof line, "$C%.1f,%.2f\r\n", heading, pitch);
            out += line;
            continue;
        }
        if (name == "hdt")
            std::snprintf(line, sizeof line, "$%sHDT,%.2f,T", talker, heading);
        else if (name == "rot" && options.talker == "GP")
            std::snprintf(line, sizeof line, "$GPROT,%.2f,A", pitch); // the instrument's pitch
        else if (name == "rot") {
            // Any other talker's ROT is a rate of turn, degrees a minute: the
            // simulated heading's own; the instrument's pitch still comes as
            // $GPROT.
            const double rate = 60.0 * (3.0 + 15.0 * (2 * pi / 90.0) * std::cos(2 * pi * t / 90.0));
            std::snprintf(line, sizeof line, "$GPROT,%.2f,A", pitch);
            nmea(line);
            std::snprintf(line, sizeof line, "$%sROT,%.2f,A", talker, rate);
        } else if (name == "ths")
            std::snprintf(line, sizeof line, "$%sTHS,%.2f,A", talker, heading);
        else if (name == "hpr")
            std::snprintf(line, sizeof line, "$%sHPR,%s,%.2f,%.2f,%.2f,4,18,1.0,0000", talker, utc,
                          heading, pitch, roll);
        else if (name == "psat")
            std::snprintf(line, sizeof line, "$PSAT,HPR,%s,%.2f,%.2f,%.2f,N", utc, heading, pitch,
                          roll);
        else if (name == "pashr")
            std::snprintf(line, sizeof line,
                          "$PASHR,%s0,%.2f,T,%.2f,%.2f,0.00,0.050,0.050,0.100,2,1", utc, heading,
                          roll, pitch);
        else if (name == "gga" && tick % perSecond == 0) {
            const double drift = t / 3600.0;
            std::snprintf(line, sizeof line,
                          "$%sGGA,%02d%02d%02d.00,3110.%04d,N,12129.%04d,E,4,14,0.8,12.3,M,8.1,M,,",
                          talker, (seconds / 3600) % 24, (seconds / 60) % 60, seconds % 60,
                          4567 + static_cast<int>(drift * 60) % 5000,
                          8765 + static_cast<int>(drift * 90) % 1000);
        } else
            continue;
        nmea(line);
    }
    if (options.nPacketEverySeconds > 0) {
        const auto every = static_cast<std::uint64_t>(options.nPacketEverySeconds * rateHz);
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
        m_framer.Feed(buffer, static_cast<std::size_t>(n), [&](const FramedMessage& message) {
            if (!message.bTextLine)
                commands.emplace_back(message.bytes);
        });
    }
    return commands;
}
