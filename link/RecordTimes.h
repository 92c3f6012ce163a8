// The timing file beside a record file: when each recorded message arrived.
//
// "2026-12-7-9-5-3.txt" has its times in "2026-12-7-9-5-3-times.bin". The
// record stays byte for byte what was received; this file says where each
// message of it begins and ends and when it came:
//
//   header   8 bytes "QMTIMES1", then the base time: UTC milliseconds since
//            1970 as a little-endian signed 64-bit number
//   entries  one a message, in the record's order: an unsigned LEB128 varint
//            (zigzag(d) << 2 | kind), d the milliseconds since the message
//            before (the first: since the base time); then, for kinds 1 and
//            2 only, the message's length in the record as a varint, and for
//            kind 1 the packet's type byte
//
// kind 0 is a text line that ends at the first line feed from where it
// begins (what nearly every message is: its length is left to the reader);
// 1 a packet's data bytes; 2 a text line that does not end there (a piece of
// an over-long line, or a line cut short); 3, in a raw capture's times only,
// a datagram read whole (its length follows as for kind 2): its end ended
// whatever message it left unfinished. At the instrument's pace and up to
// a hundred messages a second an entry is one byte, two for a message that
// comes 32 ms or more after the one before.
// The entries of one
// read are written with one write(2) right after the record's write of the
// same messages, so a crash leaves the timing file behind the record by at
// most that read; a reader ignores an entry cut short and reads the record's
// remaining bytes without times of their own. Writes that fail are kept and
// written later in order, as the record's are.
#pragma once

#include "link/RecordFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr char kTimesMagic[8] = {'Q', 'M', 'T', 'I', 'M', 'E', 'S', '1'};
inline constexpr std::size_t kTimesHeaderSize = 16;

class CRecordTimesWriter {
public:
    // "X.txt" -> "X-times.bin" (as the event log's "X-events.csv").
    static std::string PathFor(const std::string& recordPath);

    // Creates (or empties) the timing file of recordPath and writes its
    // header with baseUtcMs. The file in use is closed only once the new one
    // is open.
    bool Open(const std::string& recordPath, std::int64_t baseUtcMs, std::string* error);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_file.Path(); }

    // One message of the current read, in order, as recorded.
    // packetType: a packet's type byte (the record keeps only its data).
    void Add(std::string_view text, bool packet, std::int64_t utcMs, std::uint8_t packetType = 0);
    // A datagram, read whole (a raw capture's read of a datagram source).
    void AddWhole(std::string_view bytes, std::int64_t utcMs);
    // Writes the entries added since the last call (one write), after what
    // failed writes left; false when not everything reached the system.
    bool WriteBatch();
    bool Flush() { return m_file.Flush(); }

private:
    void Put(unsigned kind, std::size_t length, std::int64_t utcMs, std::uint8_t packetType);

    CRecordFile m_file;
    std::string m_batch;
    std::int64_t m_nLastUtcMs = 0;
};

// Reads the entries of a timing file held in memory (or a block of it).
class CTimesDecoder {
public:
    struct Entry {
        std::uint64_t nLength; // 0: up to and including the first line feed
        bool bPacket;
        bool bWhole;        // a datagram read whole
        std::uint8_t nType; // a packet's type byte
        std::int64_t nUtcMs;
        std::int64_t nDeltaMs; // since the entry before (the first: since the base time)
    };
    // False unless bytes begin with the header; sets the base time.
    bool ReadHeader(std::string_view bytes);
    std::int64_t BaseUtcMs() const { return m_nBaseUtcMs; }
    // Decodes the entry at bytes[*at]; false, leaving *at alone, when the
    // bytes end inside it (a torn entry, or one that continues in the next
    // block). Times are summed modulo 2^64, so a file of nonsense gives
    // nonsense times, never an overflow: the reader judges them.
    bool Next(std::string_view bytes, std::size_t* at, Entry* entry);
    // The time of the entry last decoded (to go on from after a seek).
    std::int64_t LastUtcMs() const { return m_nLastUtcMs; }
    void SetLastUtcMs(std::int64_t utcMs) { m_nLastUtcMs = utcMs; }

private:
    std::int64_t m_nBaseUtcMs = 0;
    std::int64_t m_nLastUtcMs = 0;
};
