// How many messages of each type the instrument sent, for the data-health
// window: per type (a sentence's address such as "GPHDT", "$C" for the
// instrument's own "$C<heading>,<pitch>", "PSAT,HPR" for a proprietary one
// with its sub-type, a packet by its type byte) the count, the checksum
// failures, when the last one came and how many came in each of the last
// seconds.
//
// For a sentence also: per quantity it gave, how many were valid, set aside
// by its status, or not plausible; how many were longer than NMEA 0183
// allows; its last status (THS mode E, PSAT,HPR's G, ...) and the device its
// tag block names (s:).
//
// The session's thread counts every message; the window copies the table.
// Memory is fixed, whatever the line sends: at most kMaxTypes types, found
// through a small open-addressed index. Further types, and text that is no
// sentence (garbage, the later pieces of an over-long line), are counted in
// one "other" row.
#pragma once

#include "link/RateWindow.h"
#include "link/Sentences.h"

#include <array>
#include <cstdint>
#include <string_view>

struct FramedMessage;

class CMessageCounts {
public:
    static constexpr int kMaxTypes = 64;
    static constexpr int kNameSize = 16;
    static constexpr int kRateSeconds = CRateWindow::kSeconds;

    struct Row {
        enum class Kind : std::uint8_t { Sentence, Packet, Other };
        Kind kind = Kind::Other;
        std::uint8_t packetType = 0;
        std::uint8_t nameLength = 0;
        char name[kNameSize] = {}; // sentences only
        std::uint64_t count = 0;
        std::uint64_t checksumFailures = 0;
        std::int64_t lastMs = -1; // when the last one came; -1: none yet
        CRateWindow rate;
        // Sentences: observations by quantity and validity.
        std::uint32_t observed[kQuantities][kValidities] = {};
        std::uint64_t overlong = 0;
        std::uint8_t statusLength = 0, sourceLength = 0;
        char status[kNameSize] = {}; // the last one's own status, as sent (cut to fit)
        char source[kNameSize] = {}; // the last tag block's s: (cut to fit)

        std::string_view Status() const { return {status, statusLength}; }
        std::string_view Source() const { return {source, sourceLength}; }

        std::string_view Name() const { return {name, nameLength}; }
        // Messages a second over the whole seconds before nowMs's, the last
        // kRateSeconds of them or as many as have passed since the first
        // message's; -1 before one whole second has passed.
        double Rate(std::int64_t nowMs) const { return rate.Rate(nowMs); }
        void Add(std::int64_t nowMs, bool checksumFailed);
    };

    CMessageCounts();

    // Counts one message that arrived at nowMs (milliseconds, not negative);
    // checksumFailed: a sentence whose "*hh" did not match.
    void Count(const FramedMessage& message, bool checksumFailed, std::int64_t nowMs);
    Row& CountText(std::string_view text, bool checksumFailed, std::int64_t nowMs);
    // A message and what ReadSentence read of it (nothing for a packet).
    void Count(const FramedMessage& message, const SentenceReading& reading, std::int64_t nowMs);
    void CountReading(std::string_view text, const SentenceReading& reading, std::int64_t nowMs);
    void CountPacket(std::uint8_t type, std::int64_t nowMs);

    // The types in the order they first came.
    int Types() const { return m_nTypes; }
    const Row& Type(int i) const { return m_rows[i]; }
    const Row& Other() const { return m_rows[kMaxTypes]; }

private:
    Row& Find(Row::Kind kind, std::uint8_t packetType, std::string_view name, std::uint32_t hash);

    Row& FindSentence(std::string_view text);
    int Index(const Row& row) const { return static_cast<int>(&row - m_rows.data()); }

    static constexpr int kIndexSize = 2 * kMaxTypes; // a power of two
    static constexpr std::uint8_t kEmpty = 0xFF;
    std::array<Row, kMaxTypes + 1> m_rows; // the last is "other"
    std::array<std::uint8_t, kIndexSize> m_index;
    int m_nTypes = 0;
    // Most lines are found without their address being read: the instrument's
    // own sentence by its "$C", plain sentences met before by their first
    // bytes ("$GPHDT" and its length) in a small cache.
    int m_nInstrumentRow = -1;
    struct Known {
        std::uint64_t key = 0;
        int row = 0;
    };
    std::array<Known, 64> m_known{};
};
