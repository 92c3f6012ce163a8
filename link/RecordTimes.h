// The timing file beside a record file: when each recorded message arrived.
//
// "2026-12-7-9-5-3.txt" has its times in "2026-12-7-9-5-3-times.bin". The
// record stays byte for byte what was received; this file says where each
// message of it begins and ends and when it came:
//
//   header   8 bytes "QMTIMES1", then the base time: UTC milliseconds since
//            1970 as a little-endian signed 64-bit number
//   entries  one a message, in the record's order: two unsigned LEB128
//            varints, (length << 1 | packet) and the zigzag-coded difference
//            in milliseconds from the time of the message before (the first:
//            from the base time)
//
// length is the message's byte count in the record; packet is 1 for a
// packet's data bytes, 0 for a text line. At the instrument's pace an entry is
// two bytes (about 6 % of a record of 35-byte sentences). The entries of one
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

    // One message of the current read, in order.
    void Add(std::size_t length, bool packet, std::int64_t utcMs);
    // Writes the entries added since the last call (one write), after what
    // failed writes left; false when not everything reached the system.
    bool WriteBatch();
    bool Flush() { return m_file.Flush(); }

private:
    CRecordFile m_file;
    std::string m_batch;
    std::int64_t m_nLastUtcMs = 0;
};

// Reads the entries of a timing file held in memory (or a block of it).
class CTimesDecoder {
public:
    struct Entry {
        std::uint64_t nLength;
        bool bPacket;
        std::int64_t nUtcMs;
    };
    // False unless bytes begin with the header; sets the base time.
    bool ReadHeader(std::string_view bytes);
    std::int64_t BaseUtcMs() const { return m_nBaseUtcMs; }
    // Decodes the entry at bytes[*at]; false, leaving *at alone, when the
    // bytes end inside it (a torn entry, or one that continues in the next
    // block).
    bool Next(std::string_view bytes, std::size_t* at, Entry* entry);
    // The time of the entry last decoded (to go on from after a seek).
    std::int64_t LastUtcMs() const { return m_nLastUtcMs; }
    void SetLastUtcMs(std::int64_t utcMs) { m_nLastUtcMs = utcMs; }

private:
    std::int64_t m_nBaseUtcMs = 0;
    std::int64_t m_nLastUtcMs = 0;
};
