// The reading of the sentences the program understands: what one text line
// says, as typed observations, without changing anything. The one reading of
// the live link (CMonitorState) and of recordings loaded for analysis, so the
// two cannot drift apart.
//
// A sentence is known by its name, the part of its address after the talker
// ("HDT" of "$GPHDT"); a proprietary one by its whole address, with its
// sub-type after a comma where it has one ("PSAT,HPR"); the instrument's own
// "$C<heading>,<pitch>" by "C". Sentences.cpp holds a table from name to
// reader; adding a sentence is one entry and one function. Every other line,
// and a sentence whose "*hh" checksum does not match, says nothing. A tag
// block before the sentence (link/TagBlock.h) is read with it; one whose
// checksum fails leaves the sentence unread.
//
// Each observation says whether to believe it: a value the sentence's own
// status sets aside is Invalid, one out of range for its quantity (a heading
// of 400 or -5, a pitch beyond +-90, a field that is no number) is
// NotPlausible, an empty field NotPresent. Only Valid values are shown,
// alarmed and sampled; the others are counted.
//
// ROT is the rate of turn in degrees a minute, negative to port, from every
// talker but GP: the instrument sends its pitch as $GPROT (unless the options
// say the GP talker is a receiver's real rate of turn).
#pragma once

#include "link/TagBlock.h"

#include <cstdint>
#include <string_view>

// What a sentence tells of. Heading is the true heading; MagneticHeading is
// never drawn as one. TrueFromMagnetic: the true heading a magnetic heading
// implies with the variation the sentence gives. Course and speed over
// ground in degrees and knots; rate of turn in degrees a minute.
enum class Quantity {
    Heading,
    Pitch,
    Roll,
    Position,
    MagneticHeading,
    TrueFromMagnetic,
    RateOfTurn,
    Course,
    Speed
};
constexpr int kQuantities = 9;
// Its name in the event log: "heading", "rate-of-turn", ...
const char* QuantityName(Quantity q);

// Whether to believe a field the sentence carries: empty is NotPresent; set
// aside by the sentence's own status (THS mode V, ROT status V, GGA without a
// fix) Invalid; out of its quantity's range, no number or beyond float's
// range (1e39 would be an infinity on the curves) NotPlausible.
enum class Validity : std::uint8_t { NotPresent, Valid, Invalid, NotPlausible };
constexpr int kValidities = 4;

// A field as sent, and its number.
struct SentenceValue {
    std::string_view text;
    double dNumber = 0;
};

struct Observation {
    Quantity quantity = Quantity::Heading;
    Validity validity = Validity::NotPresent;
    // An angle in degrees; a position's latitude, ddmm.mmmm.
    SentenceValue value;
    // A position's longitude, dddmm.mmmm; nothing else uses it.
    SentenceValue second;
    // A position's hemispheres: south of the equator, west of Greenwich.
    bool bSouth = false, bWest = false;
};

// What one line says. The texts are views into the line.
struct SentenceReading {
    static constexpr int kMaxObservations = 4;
    // Longer than NMEA 0183's 82 characters (with its line end): still read, but counted.
    static constexpr std::size_t kMaxSentence = 82;
    // A sentence without "*hh" holds, as does a line that is no sentence.
    // One behind a tag block whose checksum fails is not read: Fails too.
    enum class Checksum : std::uint8_t { Holds, Fails };
    Checksum checksum = Checksum::Holds;
    bool bOverlong = false;
    std::uint8_t nObservations = 0;
    Observation arrObservations[kMaxObservations];
    // What the sentence says of itself, shown in 数据状态: THS's mode E or S,
    // PSAT,HPR's N (GNSS) or G (gyro), PASHR's aiding and IMU status.
    std::string_view status;
    TagBlock tag;

    const Observation* begin() const { return arrObservations; }
    const Observation* end() const { return arrObservations + nObservations; }
    // The valid observation of q, or nullptr.
    const Observation* Valid(Quantity q) const {
        for (const Observation& o : *this) {
            if (o.quantity == q && o.validity == Validity::Valid)
                return &o;
        }
        return nullptr;
    }
};

struct SentenceOptions {
    // $GPROT is the instrument's pitch; off: a receiver's rate of turn.
    bool bGpRotIsPitch = true;
};

// Reads one line (a sentence with its line end, or any other text) as the
// header of this file says.
SentenceReading ReadSentence(std::string_view text, const SentenceOptions& options = {});
