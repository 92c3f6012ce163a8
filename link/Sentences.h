// The reading of the sentences the program understands: what one text line
// says, as typed observations, without changing anything. The one reading of
// the live link (CMonitorState) and of recordings loaded for analysis, so the
// two cannot drift apart.
//
// A sentence is known by its name, the part of its address after the talker
// ("HDT" of "$GPHDT"); a proprietary one by its whole address, with its
// sub-type after a comma where it has one ("PSAT,HPR"); the instrument's own
// "$C<heading>,<pitch>" by "C". Sentences.cpp holds a table from name to
// reader: today the instrument's "$C", HDT, THS, ROT (the instrument's pitch),
// HPR and GGA from any talker, $PSAT,HPR and $PASHR. Every other line, and a
// sentence whose "*hh" checksum does not match, says nothing.
#pragma once

#include <cstdint>
#include <string_view>

// What a sentence tells of.
enum class Quantity { Heading, Pitch, Roll, Position };
constexpr int kQuantities = 4;

// Whether a field the sentence carries holds a value: empty, not a number or
// beyond float's range (a reading of 1e39 would be an infinity on the curves),
// or set aside by the sentence's own status, it is not present.
enum class Validity : std::uint8_t { NotPresent, Valid };

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
};

// What one line says. The texts are views into the line.
struct SentenceReading {
    static constexpr int kMaxObservations = 3;
    // A sentence without "*hh" holds, as does a line that is no sentence.
    enum class Checksum : std::uint8_t { Holds, Fails };
    Checksum checksum = Checksum::Holds;
    std::uint8_t nObservations = 0;
    Observation arrObservations[kMaxObservations];

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

// Reads one line (a sentence with its line end, or any other text) as the
// header of this file says.
SentenceReading ReadSentence(std::string_view text);
