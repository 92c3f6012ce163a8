#include "link/RecordReader.h"
#include "platform/UiText.h"

#include "link/NumberText.h"
#include "link/RecordTimes.h"
#include "platform/ErrorText.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr std::size_t kBlock = 1u << 20;
constexpr std::size_t kMaxPiece = 299;   // the framer hands longer lines out in pieces
constexpr std::int64_t kAssumedMs = 100; // 10 messages a second
constexpr std::int64_t kDayMs = 86400000;

// A file read in blocks at explicit offsets, so that a seek is only a number.
class CBlockFile {
public:
    ~CBlockFile() { Close(); }
    void Attach(int fd) {
        Close();
        m_fd = fd;
        m_buffer.resize(kBlock);
        SeekTo(0);
    }
    void Close() {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    bool IsOpen() const { return m_fd >= 0; }
    int Error() const { return m_nError; }
    void SeekTo(std::uint64_t offset) {
        m_nBufferOffset = offset;
        m_nBegin = m_nEnd = 0;
        m_bEnd = false;
    }
    std::uint64_t Offset() const { return m_nBufferOffset + m_nBegin; }
    // The bytes from the cursor on, at least `need` of them unless the file
    // ends first.
    std::string_view Window(std::size_t need) {
        if (m_nEnd - m_nBegin < need && !m_bEnd)
            Fill();
        return {m_buffer.data() + m_nBegin, m_nEnd - m_nBegin};
    }
    void Advance(std::size_t count) { m_nBegin += count; }

private:
    void Fill() {
        std::copy(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_nBegin),
                  m_buffer.begin() + static_cast<std::ptrdiff_t>(m_nEnd), m_buffer.begin());
        m_nBufferOffset += m_nBegin;
        m_nEnd -= m_nBegin;
        m_nBegin = 0;
        while (m_nEnd < m_buffer.size()) {
            const ssize_t got = pread(m_fd, m_buffer.data() + m_nEnd, m_buffer.size() - m_nEnd,
                                      static_cast<off_t>(m_nBufferOffset + m_nEnd));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got < 0)
                    m_nError = errno;
                m_bEnd = true;
                return;
            }
            m_nEnd += static_cast<std::size_t>(got);
        }
    }

    int m_fd = -1;
    int m_nError = 0;
    std::vector<char> m_buffer;
    std::uint64_t m_nBufferOffset = 0;
    std::size_t m_nBegin = 0, m_nEnd = 0;
    bool m_bEnd = false;
};

// The next message of a record without times: a line up to its line feed
// (or a piece of kMaxPiece bytes); bytes before a '$' that does not begin
// the line are a packet's data glued to it.
std::size_t CutUntimed(std::string_view window, bool* packet) {
    const std::string_view head = window.substr(0, kMaxPiece);
    const std::size_t feed = head.find('\n');
    const std::size_t length = feed == std::string_view::npos ? head.size() : feed + 1;
    *packet = false;
    if (length > 0 && head[0] != '$') {
        const std::size_t dollar = head.substr(0, length).find('$');
        if (dollar != std::string_view::npos) {
            *packet = true;
            return dollar;
        }
    }
    return length;
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Milliseconds into the day of an NMEA "hhmmss.sss" field; -1 when it is none.
std::int64_t TimeOfDayMs(std::string_view field) {
    const int h = Digits(field, 0, 2), m = Digits(field, 2, 2), s = Digits(field, 4, 2);
    if (h < 0 || m < 0 || s < 0 || h > 23 || m > 59 || s > 60)
        return -1;
    std::int64_t ms = ((h * 60 + m) * 60 + s) * 1000;
    // Tenths, hundredths and thousandths; further digits are below our resolution.
    for (std::size_t i = 7, scale = 100; field.size() > 6 && field[6] == '.' && i < field.size() &&
                                         i < 10 && field[i] >= '0' && field[i] <= '9';
         ++i, scale /= 10)
        ms += (field[i] - '0') * static_cast<std::int64_t>(scale);
    return ms;
}

// Days since 1970 of a civil date (proleptic Gregorian).
constexpr std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

// The times a recording may believe: within the years 2000 to 2100, never
// back by more than a second, never on by more than a day a message. Any
// two such times differ by little enough that nothing computed from them
// overflows.
constexpr std::int64_t kEarliestMs = DaysFromCivil(2000, 1, 1) * kDayMs;
constexpr std::int64_t kLatestMs = DaysFromCivil(2101, 1, 1) * kDayMs; // the first not believed
constexpr std::int64_t kBackwardsMs = 1000;

enum class TimeFault { None, Backwards, Jump, OutOfYears, NoEntries };

class CTimeCheck {
public:
    // The next time of a run, `messages` after the one before.
    TimeFault Add(std::int64_t utcMs, std::uint64_t messages = 1) {
        if (utcMs < kEarliestMs || utcMs >= kLatestMs)
            return TimeFault::OutOfYears;
        if (m_bAny) {
            const std::int64_t step = utcMs - m_nLastMs;
            if (step < -kBackwardsMs)
                return TimeFault::Backwards;
            // A hundred years hold fewer than 2^16 days.
            if (step >
                kDayMs * static_cast<std::int64_t>(std::min<std::uint64_t>(messages, 1u << 16)))
                return TimeFault::Jump;
        }
        m_bAny = true;
        m_nLastMs = utcMs;
        return TimeFault::None;
    }

private:
    bool m_bAny = false;
    std::int64_t m_nLastMs = 0;
};

std::string TimingFileNote(TimeFault fault) {
    switch (fault) {
    case TimeFault::Backwards:
        return UiText("RecordReader", "计时文件的时间倒退超过 1 秒，未采用");
    case TimeFault::Jump:
        return UiText("RecordReader", "计时文件的时间在两条消息之间跳过一天以上，未采用");
    case TimeFault::OutOfYears:
        return UiText("RecordReader", "计时文件的时间不在 2000–2100 年间，未采用");
    case TimeFault::NoEntries:
        return UiText("RecordReader", "计时文件没有一条完整的时间，未采用");
    case TimeFault::None:
        break;
    }
    return {};
}

std::string SentenceClockNote(TimeFault fault) {
    switch (fault) {
    case TimeFault::Backwards:
        return UiText("RecordReader", "GGA/RMC/ZDA 的时间倒退超过 1 秒，未采用");
    case TimeFault::Jump:
        return UiText("RecordReader", "GGA/RMC/ZDA 的时间在两条消息之间跳过一天以上，未采用");
    case TimeFault::OutOfYears:
        return UiText("RecordReader", "GGA/RMC/ZDA 的时间不在 2000–2100 年间，未采用");
    case TimeFault::NoEntries:
    case TimeFault::None:
        break;
    }
    return {};
}

// The UTC the record's own name gives ("2026-12-7-9-5-3.txt", local time,
// a year from 2000 to 2100); else its modification time.
std::int64_t NamedStartMs(const std::string& path, std::int64_t modifiedMs) {
    const std::size_t slash = path.rfind('/');
    std::tm when{};
    if (std::sscanf(path.c_str() + (slash == std::string::npos ? 0 : slash + 1),
                    "%d-%d-%d-%d-%d-%d", &when.tm_year, &when.tm_mon, &when.tm_mday, &when.tm_hour,
                    &when.tm_min, &when.tm_sec) == 6 &&
        when.tm_year >= 2000 && when.tm_year <= 2100) {
        when.tm_year -= 1900;
        when.tm_mon -= 1;
        when.tm_isdst = -1;
        const std::time_t t = std::mktime(&when);
        if (t != static_cast<std::time_t>(-1))
            return static_cast<std::int64_t>(t) * 1000;
    }
    return modifiedMs;
}

struct ClockMark {
    std::uint64_t nIndex;
    std::int64_t nUtcMs;
};
} // namespace

struct CRecordReader::Impl {
    CBlockFile record, times;
    CTimesDecoder decoder;
    bool bTimed = false;    // entries remain in the timing file
    bool bHasTimes = false; // the record has a timing file
    RecordTimeSource source = RecordTimeSource::None;
    std::uint64_t nLength = 0;
    std::uint64_t nIndex = 0;
    std::int64_t nLastUtcMs = 0;
    std::int64_t nStartMs = 0;       // Assumed: the first message's time
    std::vector<ClockMark> arrMarks; // SentenceClock
    std::string strNote;             // why a better source of times was not used

    void Note(const std::string& note);
    bool OpenTimes(const std::string& path);
    TimeFault CheckTimes();
    void ScanClock(const std::string& path, std::int64_t modifiedMs);
    std::int64_t UntimedMs(std::uint64_t index) const;
};

CRecordReader::CRecordReader() : m_p(std::make_unique<Impl>()) {}
CRecordReader::~CRecordReader() = default;

bool CRecordReader::Open(const std::string& recordPath, std::string* error) {
    m_p = std::make_unique<Impl>();
    // A FIFO would wait for a writer, a device never end: only a regular file.
    const RegularFile file = OpenRegularFile(recordPath);
    struct stat info {};
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        const int failure = file.fd < 0 ? file.error : errno;
        if (file.fd >= 0)
            close(file.fd);
        if (error)
            *error =
                file.notRegular ? UiText("RecordReader", "不是普通文件") : SystemErrorText(failure);
        return false;
    }
    m_p->nLength = file.size;
    m_p->record.Attach(file.fd);
    // Bounded, so that an absurd date (touch -d) cannot overflow what is
    // counted from it.
    constexpr std::int64_t kSecondsBound = std::int64_t{1} << 40;
    const std::int64_t modifiedMs =
        std::clamp<std::int64_t>(info.st_mtim.tv_sec, -kSecondsBound, kSecondsBound) * 1000 +
        info.st_mtim.tv_nsec / 1000000;

    if (m_p->OpenTimes(CRecordTimesWriter::PathFor(recordPath)))
        return true;
    m_p->ScanClock(recordPath, modifiedMs);
    return true;
}

RecordTimeSource CRecordReader::TimeSource() const {
    return m_p->source;
}

const std::string& CRecordReader::TimeSourceNote() const {
    return m_p->strNote;
}

void CRecordReader::Impl::Note(const std::string& note) {
    if (!strNote.empty())
        strNote += UiText("RecordReader", "；");
    strNote += note;
}

// Takes the timing file at path when it is there, is one of ours and its
// times can be believed; else says why it was left aside.
bool CRecordReader::Impl::OpenTimes(const std::string& path) {
    const RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        if (file.notRegular)
            Note(UiText("RecordReader", "计时文件不是普通文件，未采用"));
        else if (file.error != ENOENT)
            Note(FillIn(UiText("RecordReader", "计时文件无法读取（%1），未采用"),
                        {SystemErrorText(file.error)}));
        return false;
    }
    times.Attach(file.fd);
    if (!decoder.ReadHeader(times.Window(kTimesHeaderSize))) {
        times.Close();
        Note(UiText("RecordReader", "计时文件不是本程序的计时文件，未采用"));
        return false;
    }
    times.Advance(kTimesHeaderSize);
    if (const TimeFault fault = CheckTimes(); fault != TimeFault::None) {
        times.Close();
        Note(TimingFileNote(fault));
        return false;
    }
    times.SeekTo(kTimesHeaderSize);
    bTimed = bHasTimes = true;
    source = RecordTimeSource::TimingFile;
    nLastUtcMs = decoder.BaseUtcMs();
    return true;
}

// Runs through the timing file's entries once: each time must be one to
// believe, and at least one whole entry there for a record that is not empty
// (a torn first entry would stamp every message with the base time).
TimeFault CRecordReader::Impl::CheckTimes() {
    CTimesDecoder reading = decoder;
    CTimeCheck check;
    if (const TimeFault fault = check.Add(reading.BaseUtcMs()); fault != TimeFault::None)
        return fault;
    std::uint64_t entries = 0;
    for (;;) {
        const std::string_view bytes = times.Window(32);
        std::size_t at = 0;
        CTimesDecoder::Entry entry{};
        if (!reading.Next(bytes, &at, &entry))
            break;
        times.Advance(at);
        // Judged on the step itself: the sum of a wild one means nothing.
        if (entry.nDeltaMs < -kBackwardsMs)
            return TimeFault::Backwards;
        if (entry.nDeltaMs > kDayMs)
            return TimeFault::Jump;
        if (const TimeFault fault = check.Add(entry.nUtcMs); fault != TimeFault::None)
            return fault;
        ++entries;
    }
    return entries == 0 && nLength > 0 ? TimeFault::NoEntries : TimeFault::None;
}

void CRecordReader::Impl::ScanClock(const std::string& path, std::int64_t modifiedMs) {
    std::int64_t dayMs = -1; // midnight of the date last read from RMC or ZDA
    std::int64_t lastTimeOfDay = -1;
    std::uint64_t index = 0;
    CTimeCheck check;
    const std::int64_t named = NamedStartMs(path, modifiedMs);
    for (;;) {
        const std::string_view window = record.Window(kMaxPiece + 1);
        if (window.empty())
            break;
        bool packet = false;
        const std::size_t length = CutUntimed(window, &packet);
        const std::string_view line = window.substr(0, length);
        record.Advance(length);
        const std::string_view address = packet ? std::string_view() : CommaField(line, 0);
        const std::string_view sentence = address.size() == 6 ? address.substr(3) : "";
        std::int64_t timeOfDay = -1;
        if (sentence == "GGA" || sentence == "RMC" || sentence == "ZDA") {
            timeOfDay = TimeOfDayMs(CommaField(line, 1));
            int d = -1, m = -1, y = -1;
            if (sentence == "RMC") {
                const std::string_view date = CommaField(line, 9);
                d = Digits(date, 0, 2), m = Digits(date, 2, 2), y = Digits(date, 4, 2);
                y = y < 0 ? -1 : y + (y < 80 ? 2000 : 1900);
            } else if (sentence == "ZDA") {
                d = Digits(CommaField(line, 2), 0, 2);
                m = Digits(CommaField(line, 3), 0, 2);
                y = Digits(CommaField(line, 4), 0, 4);
            }
            if (timeOfDay >= 0 && d >= 1 && d <= 31 && m >= 1 && m <= 12 && y > 0)
                dayMs = DaysFromCivil(y, m, d) * kDayMs;
        }
        if (timeOfDay >= 0 && ChecksumHolds(line)) {
            if (dayMs < 0) // no date yet: the day the record was started
                dayMs = named - ((named % kDayMs) + kDayMs) % kDayMs;
            else if (lastTimeOfDay >= 0 && timeOfDay + kDayMs / 2 < lastTimeOfDay)
                dayMs += kDayMs; // past midnight without a dated sentence
            lastTimeOfDay = timeOfDay;
            const std::int64_t utc = dayMs + timeOfDay;
            if (arrMarks.empty() || arrMarks.back().nUtcMs != utc) {
                const TimeFault fault =
                    check.Add(utc, arrMarks.empty() ? 1 : index - arrMarks.back().nIndex);
                if (fault != TimeFault::None) {
                    // Clocks that cannot be believed: the messages are counted instead.
                    Note(SentenceClockNote(fault));
                    arrMarks.clear();
                    break;
                }
                arrMarks.push_back({index, utc});
            }
        }
        ++index;
    }
    record.SeekTo(0);
    source = arrMarks.empty() ? RecordTimeSource::Assumed : RecordTimeSource::SentenceClock;
    nStartMs = named;
}

std::int64_t CRecordReader::Impl::UntimedMs(std::uint64_t index) const {
    if (arrMarks.empty()) // no overflow before 10^16 messages
        return nStartMs + static_cast<std::int64_t>(index) * kAssumedMs;
    // Between two marks, the messages came at an even pace; outside them, at
    // the pace of the nearest interval (10 a second with a single mark).
    auto after = std::upper_bound(arrMarks.begin(), arrMarks.end(), index,
                                  [](std::uint64_t i, const ClockMark& m) { return i < m.nIndex; });
    if (after == arrMarks.begin())
        ++after;
    if (after == arrMarks.end())
        --after;
    const ClockMark& b = after == arrMarks.begin() ? *after : *(after - 1);
    const ClockMark& a = *after;
    // Wide: a century between marks times millions of messages is beyond 64 bits.
    __extension__ using Wide = __int128;
    const Wide di = static_cast<Wide>(index) - static_cast<Wide>(b.nIndex);
    const Wide utc = a.nIndex == b.nIndex ? b.nUtcMs + di * kAssumedMs
                                          : b.nUtcMs + (a.nUtcMs - b.nUtcMs) * di /
                                                           static_cast<Wide>(a.nIndex - b.nIndex);
    return static_cast<std::int64_t>(std::clamp<Wide>(utc, std::numeric_limits<std::int64_t>::min(),
                                                      std::numeric_limits<std::int64_t>::max()));
}

std::uint64_t CRecordReader::Length() const {
    return m_p->nLength;
}

int CRecordReader::Error() const {
    return m_p->record.Error();
}

bool CRecordReader::Next(RecordMessage* message) {
    Impl& p = *m_p;
    if (!p.record.IsOpen())
        return false;
    message->nOffset = p.record.Offset();
    message->nIndex = p.nIndex;
    if (p.bTimed) {
        const std::string_view entryBytes = p.times.Window(32);
        std::size_t at = 0;
        CTimesDecoder::Entry entry{};
        const std::int64_t before = p.decoder.LastUtcMs();
        if (p.decoder.Next(entryBytes, &at, &entry) && entry.nLength <= kBlock) {
            std::string_view window =
                p.record.Window(entry.nLength ? entry.nLength : kMaxPiece + 1);
            std::size_t length = entry.nLength;
            if (length == 0) { // a text line: to its line feed
                const std::size_t feed = window.substr(0, kMaxPiece + 1).find('\n');
                length = feed == std::string_view::npos ? window.size() + 1 : feed + 1;
            }
            if (window.size() >= length) {
                p.times.Advance(at);
                p.record.Advance(length);
                message->bytes = window.substr(0, length);
                message->bPacket = entry.bPacket;
                message->bWhole = entry.bWhole;
                message->nType = entry.nType;
                message->nUtcMs = p.nLastUtcMs = entry.nUtcMs;
                ++p.nIndex;
                return true;
            }
        }
        // A torn entry, or entries beyond the record: the rest has no times.
        p.decoder.SetLastUtcMs(before);
        p.bTimed = false;
    }
    const std::string_view window = p.record.Window(kMaxPiece + 1);
    if (window.empty())
        return false;
    bool packet = false;
    const std::size_t length = CutUntimed(window, &packet);
    p.record.Advance(length);
    message->bytes = window.substr(0, length);
    message->bPacket = packet;
    message->bWhole = false;
    message->nType = 0;
    message->nUtcMs = p.bHasTimes ? p.nLastUtcMs : p.UntimedMs(p.nIndex);
    ++p.nIndex;
    return true;
}

CRecordReader::Position CRecordReader::Tell() const {
    const Impl& p = *m_p;
    Position position;
    position.nRecordOffset = p.record.Offset();
    position.nTimesOffset = p.bTimed ? p.times.Offset() : 0;
    position.nIndex = p.nIndex;
    position.nLastUtcMs = p.nLastUtcMs;
    return position;
}

void CRecordReader::Seek(const Position& position) {
    Impl& p = *m_p;
    p.record.SeekTo(position.nRecordOffset);
    p.nIndex = position.nIndex;
    p.nLastUtcMs = position.nLastUtcMs;
    p.bTimed = p.bHasTimes && position.nTimesOffset >= kTimesHeaderSize;
    if (p.bHasTimes && position.nRecordOffset == 0) { // the start, also from a Position{}
        p.bTimed = true;
        p.times.SeekTo(kTimesHeaderSize);
        p.nLastUtcMs = p.decoder.BaseUtcMs();
        p.decoder.SetLastUtcMs(p.nLastUtcMs);
    } else if (p.bTimed) {
        p.times.SeekTo(position.nTimesOffset);
        p.decoder.SetLastUtcMs(position.nLastUtcMs);
    }
}
