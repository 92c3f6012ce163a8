// The raw capture beside a record file: every byte read from the source,
// exactly as read and in order, binary and noise included.
//
// "2026-12-7-9-5-3.txt" has its raw capture in "2026-12-7-9-5-3-raw.bin" and
// the time of each read in "2026-12-7-9-5-3-raw-times.bin": a timing file
// (link/RecordTimes.h) whose entries are the reads, so the record reader (and
// with it the replay) reads a raw capture read by read, with their times, as
// it reads a record message by message. The record holds what the framer made
// of the stream; the raw capture holds the stream.
//
// Each read goes to the system with one write(2) as the record's messages do;
// a full disk keeps the bytes in memory up to the record's limit, past it a
// read is left out whole (and its time with it); a capture deleted while open
// is made again, from the next read on.
#pragma once

#include "link/RecordFile.h"
#include "link/RecordTimes.h"

#include <cstdint>
#include <string>
#include <string_view>

class CRawCapture {
public:
    // "X.txt" -> "X-raw.bin".
    static std::string PathFor(const std::string& recordPath);

    // Creates (or empties) the capture of recordPath and its times.
    bool Open(const std::string& recordPath, std::int64_t baseUtcMs, std::string* error);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_file.Path(); }

    // One read, as read; whole: a datagram, whose end ends any message it
    // left unfinished (the replay frames it so).
    void Add(std::string_view bytes, std::int64_t utcMs, bool whole = false);
    // Writes what failed writes left, and makes the capture again if it was
    // deleted; true when nothing is left.
    bool Check(std::int64_t utcMs);
    std::size_t DroppedBytes() const { return m_file.DroppedBytes(); }
    void SetBacklogLimit(std::size_t bytes) { m_file.SetBacklogLimit(bytes); }

private:
    CRecordFile m_file;
    CRecordTimesWriter m_times;
};
