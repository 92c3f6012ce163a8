// A simulated attitude instrument on a pseudo-terminal.
//
// It owns the master side of a pty whose slave is the "serial port" the
// program opens. It produces the traffic of a vessel turning, pitching and
// rolling: by default the instrument's own "$C<heading>,<pitch>" sentences,
// $GPHDT and $GPROT at the tick rate, $GPGGA once a second, and now and then
// an 'n' packet, which the program must answer with command packet 6; on
// request the attitude sentences of other instruments ($--THS, $--HPR,
// $PSAT,HPR, $PASHR), another talker and wrong checksums. Command packets
// written by the program are framed and kept.
#pragma once

#include "link/ReceiverMessage.h"

#include <cstdint>
#include <string>
#include <vector>

// How one source's heading departs from the vessel's. Every source of a run
// follows the one simulated vessel, so sources differ only by these.
struct HeadingFaults {
    double offsetDeg = 0;
    double driftDegPerMin = 0; // an offset growing from the start
    double noiseDeg = 0;       // standard deviation of a draw per tick
    std::uint64_t seed = 1;    // the same seed, the same noise at the same tick
    double stuckAfterS = -1;   // from then on the heading stops changing; < 0: never
    double dropAfterS = -1;    // nothing at all sent for dropForS from then; < 0: never
    double dropForS = 0;
};

// What the simulated instrument sends.
struct TrafficOptions {
    double nPacketEverySeconds = 30; // 0: never
    // Sentences at the tick rate, in this order: "c" (the instrument's own),
    // "hdt", "rot" (with talker GP the instrument's pitch; with any other the
    // heading's rate of turn, beside the pitch as $GPROT), "ths", "hpr"
    // ($--HPR), "psat" ($PSAT,HPR), "pashr"; "gga" once a second.
    std::vector<std::string> sentences = {"c", "hdt", "rot", "gga"};
    std::string talker = "GP";
    // Every this many ticks the first checksummed sentence carries a wrong
    // checksum; 0: never.
    std::uint64_t badChecksumEvery = 0;
    HeadingFaults faults;

    // "c,hdt,pashr" into sentences; false for a name not known.
    bool ParseSentences(const std::string& list);
};

class CInstrumentSimulator {
public:
    CInstrumentSimulator() = default;
    ~CInstrumentSimulator();
    CInstrumentSimulator(const CInstrumentSimulator&) = delete;
    CInstrumentSimulator& operator=(const CInstrumentSimulator&) = delete;

    // Creates the pty (raw, no echo). linkPath, when given, becomes a symlink
    // to the slave, as /dev/serial/by-id names a USB adapter.
    bool Open(std::string* error, const std::string& linkPath = {});
    void Close();
    const std::string& SlavePath() const { return m_strSlave; }
    int MasterFd() const { return m_fdMaster; }

    // The vessel's true heading at t seconds, and its rate of turn (degrees a
    // minute).
    static double VesselHeading(double t);
    static double VesselRateOfTurn(double t);
    // The heading a source with `faults` reports at tick number `tick`, and
    // its rate of turn (the vessel's plus the drift; none once stuck).
    static double SourceHeading(std::uint64_t tick, double rateHz, const HeadingFaults& faults);
    static double SourceRateOfTurn(std::uint64_t tick, double rateHz, const HeadingFaults& faults);

    // The traffic of tick number `tick` at `rateHz` ticks a second; empty
    // while the source drops out.
    static std::string Traffic(std::uint64_t tick, double rateHz, const TrafficOptions& options);
    static std::string Traffic(std::uint64_t tick, double rateHz, double nPacketEverySeconds) {
        TrafficOptions options;
        options.nPacketEverySeconds = nPacketEverySeconds;
        return Traffic(tick, rateHz, options);
    }
    static std::string NPacket();
    static std::string WithNmeaChecksum(const std::string& body); // "$GPHDT,1.0,T" -> "...*hh\r\n"

    // Writes all of bytes to the master; false when the pty is gone.
    bool Write(const std::string& bytes);
    // Reads what the program sent and returns the command packets completed.
    std::vector<std::string> ReadCommands();

private:
    int m_fdMaster = -1;
    int m_fdSlave = -1; // kept open so the line stays up while the program reopens it
    std::string m_strSlave;
    std::string m_strLink;
    CReceiverMessage m_framer;
};
