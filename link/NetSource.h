// Sources of the instrument's stream besides the serial port: an NMEA server
// over TCP (a multiplexer, another program's output), NMEA datagrams over UDP
// (unicast, broadcast or a multicast group), and gpsd's raw NMEA stream.
//
// A source is a non-blocking socket the session's thread polls beside its
// wake-up descriptor; no thread of its own. gpsd speaks JSON besides the
// sentences it passes on: its own lines (those beginning '{') are left out,
// so that what reaches the framer is what the receiver sent.
//
// A datagram is a whole: the session ends any message it left unfinished
// before the next is framed (DatagramEnds). The UDP socket asks for a large
// receive buffer, and the datagrams the system still had to drop for want of
// room are counted (SO_RXQ_OVFL), as are the senders (CUdpSenders). A
// bridge network's datagram (IEC 61162-450) comes as it is: the session
// leaves its header out of the framing (link/Udp450.h). A multicast group is
// joined on the default interface, else on MulticastFallbackInterfaces().
#pragma once

#include "link/UdpSenders.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SourceAddress {
    enum class Kind { Serial, Tcp, Udp, Gpsd };
    Kind kind = Kind::Serial;
    std::string strDevice; // Serial: the device
    std::string strHost;   // Tcp, Gpsd: the server; Udp: a multicast group, or empty
    unsigned nPort = 0;
    std::vector<AddressPrefix> senders; // Udp: the only senders taken; empty: any

    // "serial:/dev/ttyUSB0", "tcp://host:port", "udp://:port",
    // "udp://239.192.0.1:60001", "gpsd://host[:port]" (2947 by default); a
    // UDP one may end in "?from=127.0.0.1,10.1.0.0/16".
    // false and *error (in the user's language) when url is none of these.
    static bool Parse(std::string_view url, SourceAddress* address, std::string* error);
    std::string Url() const;
    // "gyro=udp://:60002" or a bare URL; *label is the text before '=' (an
    // IsSourceLabel), else a name made from the URL ("udp-60002", "ttyUSB1").
    static bool ParseLabelled(std::string_view text, std::string* label, SourceAddress* address,
                              std::string* error);
    std::string DefaultLabel() const;
    // Sources that take the answer to an 'n' packet.
    bool TwoWay() const { return kind == Kind::Serial || kind == Kind::Tcp; }
};

// A source's name: letters, digits, '-' and '_', a letter first, at most 32
// (it becomes part of its record's file name).
bool IsSourceLabel(std::string_view label);

// The interfaces a multicast group is joined on, or sent to by, when the
// default one cannot (no route to the group: a machine with the loopback
// alone, a bridge network's own card without a default route): the loopback
// first, then those up that allow multicast; by index.
std::vector<unsigned> MulticastFallbackInterfaces();

class CNetSource {
public:
    static constexpr unsigned kDefaultGpsdPort = 2947;
    static constexpr int kReceiveBufferBytes = 4 << 20; // UDP, as far as the system allows
    static constexpr int kDatagramsPerRead = 64;

    CNetSource() = default;
    ~CNetSource() { Close(); }
    CNetSource(const CNetSource&) = delete;
    CNetSource& operator=(const CNetSource&) = delete;

    // Starts connecting (TCP, gpsd) or binds (UDP). false and *error with the
    // system's reason when it cannot even start (an unknown host, a port in use).
    bool Open(const SourceAddress& address, std::string* error);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool IsConnected() const { return m_bConnected; }

    // What to poll for: readable, and writable while a connection is made.
    int Fd() const { return m_fd; }
    short PollEvents() const;
    // After poll said revents: completes a connection, or appends what came
    // to received. false when the source is lost (*error says why; the peer
    // closing is no error text).
    bool OnReady(short revents, std::vector<std::uint8_t>& received, std::string* error);
    // Sends bytes to a two-way source; false when they could not all go.
    bool Send(const std::uint8_t* bytes, std::size_t count);

    // UDP: where each datagram the last OnReady took ends in what it appended.
    const std::vector<std::size_t>& DatagramEnds() const { return m_datagramEnds; }
    // UDP: datagrams the system dropped, its receive buffer full, since Open.
    std::uint64_t DatagramsLost() const { return m_nDatagramsLost; }
    const CUdpSenders& Senders() const { return m_senders; }
    // UDP: the senders the last OnReady heard from first, with what became of
    // them; kept until the next OnReady.
    struct NewSender {
        std::string strAddress;
        CUdpSenders::Heard heard;
        bool accepted;
    };
    const std::vector<NewSender>& NewSenders() const { return m_newSenders; }
    // The number SO_RXQ_OVFL gave with a datagram: all the socket dropped so far.
    void NoteDropCount(std::uint32_t dropped);

private:
    bool Connected(std::string* error);
    bool ReadDatagrams(std::vector<std::uint8_t>& received, std::string* error);
    void AppendFiltered(const std::uint8_t* bytes, std::size_t count,
                        std::vector<std::uint8_t>& received);

    SourceAddress m_address;
    int m_fd = -1;
    bool m_bConnected = false;
    bool m_bLineStart = true; // gpsd: where its own lines are told from the receiver's
    bool m_bSkipping = false;
    std::vector<std::size_t> m_datagramEnds;
    std::uint32_t m_nDropCount = 0; // as SO_RXQ_OVFL last gave it
    std::uint64_t m_nDatagramsLost = 0;
    CUdpSenders m_senders;
    std::vector<NewSender> m_newSenders;
};
