// The further sources of a simulated ship: a gyro or a second compass beside
// the instrument on the first pseudo-terminal, each with its own output (a
// pty of its own or UDP datagrams to a host and port, unicast or multicast)
// and its own traffic over the same vessel.
#pragma once

#include "link/Udp450.h"
#include "tools/Simulator.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>

struct SimSourceSettings {
    enum class Output { Pty, Udp };
    // Over UDP: the tick's traffic as one datagram, or each sentence in a
    // datagram of IEC 61162-450 ("UdPbC\0", a tag block naming `id`, the
    // sentence).
    enum class Format { Nmea, Iec450 };

    std::string name;
    Output output = Output::Pty;
    std::string linkPath; // pty: a symlink to its device, when given
    std::string host;     // udp
    std::uint16_t port = 0;
    Format format = Format::Nmea;
    std::string id = CUdp450Writer::kDefaultSource;
    // A gyro's by default: $HEHDT and $HEROT at the tick rate, no 'n' packets.
    TrafficOptions traffic = [] {
        TrafficOptions t;
        t.sentences = {"hdt", "rot"};
        t.talker = "HE";
        t.nPacketEverySeconds = 0;
        return t;
    }();

    // "NAME=pty[:LINK]" or "NAME=udp:HOST:PORT", then ",KEY=VALUE" settings:
    // sentences (its list goes on over commas), talker, offset, drift, noise,
    // seed, stuck-after, drop-after, drop-for, n-every, format (nmea or
    // iec450; UDP only), id (the 450 tag blocks' source). nullopt, and why in *error, for anything
    // else.
    static std::optional<SimSourceSettings> Parse(const std::string& text, std::string* error);
};

// Datagrams to a host and port; a multicast group gets them with one hop and
// looped back to this machine as well.
class CUdpSender {
public:
    CUdpSender() = default;
    ~CUdpSender();
    CUdpSender(const CUdpSender&) = delete;
    CUdpSender& operator=(const CUdpSender&) = delete;

    bool Open(const std::string& host, std::uint16_t port, std::string* error);
    // False only when the datagram could not be sent for good (not for a
    // full buffer: the datagram is then lost, as on a real network).
    bool Send(const std::string& datagram);

private:
    int m_fd = -1;
    sockaddr_storage m_to{};
    socklen_t m_toLength = 0;
};

// One further source's output: its traffic of a tick written to its pty or
// sent as one datagram.
class CSimSource {
public:
    explicit CSimSource(SimSourceSettings settings)
        : m_settings(std::move(settings)), m_450(m_settings.id) {}
    bool Open(std::string* error);
    // "/dev/pts/7", the link path, or "udp:HOST:PORT".
    std::string Where() const;
    const SimSourceSettings& Settings() const { return m_settings; }
    // Sends the traffic of `tick`; a pty nobody reads loses what does not fit.
    bool Tick(std::uint64_t tick, double rateHz);
    // The command packets the program wrote to the pty.
    std::vector<std::string> ReadCommands();

private:
    SimSourceSettings m_settings;
    CInstrumentSimulator m_pty;
    CUdpSender m_udp;
    CUdp450Writer m_450;
};
