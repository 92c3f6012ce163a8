// Reading a record file written by this program back, message by message,
// with the time each arrived.
//
// With a timing file (link/RecordTimes.h) the messages are cut exactly where
// they were received, packets' data bytes told from text lines, and each
// carries its receive time. Bytes beyond the last whole entry (a crash between
// the record's write and the timing file's) are read as without one, at the
// last time known.
//
// Without a timing file (older recordings, or one copied alone) the record is
// cut where the framer ends text lines (after a line feed, or in pieces of 299
// bytes); text before a '$' that does not begin its line is a packet's data bytes
// glued to the line. Times then come from the UTC fields of GGA, RMC and ZDA
// sentences (the date from RMC or ZDA, else from the record file's name
// "Y-M-D-h-m-s.txt", else from its modification time), interpolated by
// message between them; a record without any is taken as 10 messages a
// second from the file's name (or modification time).
//
// Times are believed only within the years 2000 to 2100, going back by at
// most a second and on by at most a day a message: a timing file whose times
// do not hold to that (or that is not a regular file, not ours, or has no
// whole entry) is left aside for the clock sentences, and clock sentences
// that do not for the count of 10 a second. TimeSourceNote() says why.
//
// Nothing is allocated per message: the reader reads blocks and hands out
// views into them, valid until the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum class RecordTimeSource {
    None,          // no times (the instrument's own R35 files)
    TimingFile,    // the timing file beside the record
    SentenceClock, // UTC fields of GGA, RMC, ZDA
    Assumed,       // 10 messages a second
};

struct RecordMessage {
    std::string_view bytes; // as recorded: a whole text line with its end, or a packet's data
    bool bPacket = false;
    bool bWhole = false;       // a raw capture's datagram, read whole
    std::uint8_t nType = 0;    // a packet's type byte, where the timing file gives it
    std::int64_t nUtcMs = 0;   // receive time, UTC milliseconds since 1970
    std::uint64_t nOffset = 0; // where it begins in the record
    std::uint64_t nIndex = 0;  // its number, from 0
};

class CRecordReader {
public:
    CRecordReader();
    ~CRecordReader();
    CRecordReader(const CRecordReader&) = delete;
    CRecordReader& operator=(const CRecordReader&) = delete;

    // Opens the record (a regular file only) and its timing file if there is
    // one. Without one, first runs through the record for its clock sentences
    // (about as fast as reading it). false and *error (the system's reason, in
    // the user's language) when the record cannot be read.
    bool Open(const std::string& recordPath, std::string* error);
    RecordTimeSource TimeSource() const;
    // Why a better source of times was left aside, in the user's language
    // ("计时文件的时间倒退超过 1 秒，未采用"); empty when none was.
    const std::string& TimeSourceNote() const;
    std::uint64_t Length() const; // the record's length in bytes

    // The next message; false at the end of the record (or on a read error:
    // Error() is then non-zero).
    bool Next(RecordMessage* message);
    int Error() const;

    // Where the reader stands, to come back to it later (a replay's seek).
    struct Position {
        std::uint64_t nRecordOffset = 0;
        std::uint64_t nTimesOffset = 0;
        std::uint64_t nIndex = 0;
        std::int64_t nLastUtcMs = 0;
    };
    Position Tell() const;
    // To a position Tell gave (or Position{}: the start).
    void Seek(const Position& position);

private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};
