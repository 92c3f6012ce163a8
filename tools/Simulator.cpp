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

namespace {
constexpr double pi = 3.14159265358979323846;

double Wrapped(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
}

// splitmix64: a well-mixed 64-bit value from any other, so the noise of a
// tick depends on the seed and the tick alone.
std::uint64_t Mixed(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A standard normal draw for (seed, tick), by Box and Muller.
double Gaussian(std::uint64_t seed, std::uint64_t tick) {
    const std::uint64_t a = Mixed(seed * 0x100000001B3ULL ^ Mixed(tick));
    const std::uint64_t b = Mixed(a);
    const double u1 = (static_cast<double>(a >> 11) + 1.0) / 9007199254740993.0; // (0, 1]
    const double u2 = static_cast<double>(b >> 11) / 9007199254740992.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * pi * u2);
}

// The tick from which a source's heading stays put, or none.
bool StuckTick(double rateHz, const HeadingFaults& faults, std::uint64_t* tick) {
    if (faults.stuckAfterS < 0)
        return false;
    *tick = static_cast<std::uint64_t>(std::ceil(faults.stuckAfterS * rateHz - 1e-9));
    return true;
}
} // namespace

// A slow turn through all headings, swinging 15 degrees either side every 90 s.
double CInstrumentSimulator::VesselHeading(double t) {
    return Wrapped(120.0 + 3.0 * t + 15.0 * std::sin(2 * pi * t / 90.0));
}

double CInstrumentSimulator::VesselRateOfTurn(double t) {
    return 60.0 * (3.0 + 15.0 * (2 * pi / 90.0) * std::cos(2 * pi * t / 90.0));
}

double CInstrumentSimulator::SourceHeading(std::uint64_t tick, double rateHz,
                                           const HeadingFaults& faults) {
    std::uint64_t stuck = 0;
    if (StuckTick(rateHz, faults, &stuck) && tick > stuck)
        tick = stuck;
    const double t = static_cast<double>(tick) / rateHz;
    double heading = VesselHeading(t) + faults.offsetDeg + faults.driftDegPerMin * t / 60.0;
    if (faults.noiseDeg > 0)
        heading += faults.noiseDeg * Gaussian(faults.seed, tick);
    return Wrapped(heading);
}

double CInstrumentSimulator::SourceRateOfTurn(std::uint64_t tick, double rateHz,
                                              const HeadingFaults& faults) {
    std::uint64_t stuck = 0;
    if (StuckTick(rateHz, faults, &stuck) && tick >= stuck)
        return 0;
    return VesselRateOfTurn(static_cast<double>(tick) / rateHz) + faults.driftDegPerMin;
}

std::string CInstrumentSimulator::Traffic(std::uint64_t tick, double rateHz,
                                          const TrafficOptions& options) {
    const double t = static_cast<double>(tick) / rateHz;
    const HeadingFaults& faults = options.faults;
    if (faults.dropAfterS >= 0 && t >= faults.dropAfterS && t < faults.dropAfterS + faults.dropForS)
        return {};
    const double heading = SourceHeading(tick, rateHz, faults);
    // A swell of 8 s from ahead and one of 11 s from the side, and a little
    // noise.
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
            // source's heading's own; the instrument's pitch still comes as
            // $GPROT.
            const double rate = SourceRateOfTurn(tick, rateHz, faults);
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
