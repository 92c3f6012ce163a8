#include "link/RecordTimes.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <climits>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const auto Nmea = &CInstrumentSimulator::WithNmeaChecksum;

struct Written {
    std::string bytes;
    bool packet;
    std::int64_t utcMs;
    std::uint8_t type = 0;
};

class RecordTimesTest : public ::testing::Test {
protected:
    // Writes messages as the session does: the record, then the times of the same read.
    void Record(const std::vector<Written>& messages, std::int64_t baseUtcMs) {
        CRecordFile record;
        CRecordTimesWriter times;
        ASSERT_TRUE(record.Replace(m_strRecord, nullptr));
        ASSERT_TRUE(times.Open(m_strRecord, baseUtcMs, nullptr));
        for (const Written& m : messages) {
            record.Write(m.bytes);
            times.Add(m.bytes, m.packet, m.utcMs, m.type);
            times.WriteBatch();
        }
    }

    CTempFolder m_dir;
    const std::string m_strRecord = m_dir.path + "/2026-12-7-9-5-3.txt";
};

const std::int64_t kBase = 1796634303125; // 2026-12-07T09:05:03.125Z

// Lines, packets glued to lines (data without a line end), a long line, a
// gap, and the clock stepping back.
const std::vector<Written> kMessages = {
    {"$C12.5,1.0\r\n", false, kBase},
    {"AB", true, kBase + 3, 'n'},
    {"$GPHDT,13.0,T*0C\r\n", false, kBase + 3},
    {std::string("\x02\n$\x00", 4), true, kBase + 100, 0xFE},
    {"$GPROT," + std::string(280, '1') + "\r\n", false, kBase + 100},
    {"$GPROT," + std::string(292, '2'), false, kBase + 100}, // a piece of a longer line
    {"2\r\n", false, kBase + 100},
    {"$C1,2\r\n", false, kBase + 86400000},
    {"$C3,4\r\n", false, kBase + 86400000 - 800},
};

// Each message comes back cut where it was received, with its time. A crash
// between the record's write and the times': a torn last entry, or none,
// leaves the record's tail readable at the last time known.
TEST_F(RecordTimesTest, MessagesComeBackCutWhereReceivedWithTheirTimes) {
    Record(kMessages, kBase);
    const std::string timesPath = CRecordTimesWriter::PathFor(m_strRecord);
    EXPECT_EQ(timesPath, m_dir.path + "/2026-12-7-9-5-3-times.bin");
    const std::string whole = ReadFile(timesPath);
    // A byte for a line soon after the one before.
    EXPECT_EQ(whole.size(), kTimesHeaderSize + 1 + 3 + 1 + 4 + 1 + 3 + 1 + 5 + 2);
    for (const std::size_t cut : {0u, 1u, 2u}) { // whole, the last entry torn, gone
        SCOPED_TRACE(cut);
        WriteFile(timesPath, whole.substr(0, whole.size() - cut));
        const auto [source, texts, read, timed, note] = ReadRecord(m_strRecord);
        EXPECT_EQ(source, RecordTimeSource::TimingFile);
        EXPECT_EQ(note, "");
        ASSERT_EQ(read.size(), kMessages.size());
        std::uint64_t offset = 0;
        for (std::size_t i = 0; i < read.size(); ++i) {
            const std::size_t timeOf = cut && i + 1 == read.size() ? i - 1 : i;
            EXPECT_EQ(texts[i], kMessages[i].bytes) << i;
            EXPECT_EQ(read[i].bPacket, kMessages[i].packet) << i;
            EXPECT_EQ(read[i].nType, kMessages[i].type) << i;
            EXPECT_EQ(read[i].nUtcMs, kMessages[timeOf].utcMs) << i;
            EXPECT_EQ(read[i].nOffset, offset);
            EXPECT_EQ(read[i].nIndex, i);
            offset += kMessages[i].bytes.size();
        }
    }
}

// A timing file of kind-0 entries (text lines) with the steps given, and
// whatever bytes follow.
std::string TimesFile(std::int64_t base, const std::vector<std::int64_t>& steps,
                      const std::string& tail = {}) {
    std::string bytes(kTimesMagic, sizeof kTimesMagic);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<char>(static_cast<std::uint64_t>(base) >> (8 * i)));
    for (const std::int64_t step : steps) {
        std::uint64_t v =
            ((static_cast<std::uint64_t>(step) << 1) ^ static_cast<std::uint64_t>(step >> 63)) << 2;
        for (; v >= 0x80; v >>= 7)
            bytes.push_back(static_cast<char>((v & 0x7F) | 0x80));
        bytes.push_back(static_cast<char>(v));
    }
    return bytes + tail;
}

// Times a timing file gives that cannot be believed (back by more than a
// second, on by more than a day a message, outside 2000 to 2100, none whole)
// or a timing file that cannot be read at once are left aside for the clock
// sentences, and the reader says why; nothing overflows on the way.
TEST_F(RecordTimesTest, TimesThatCannotBeBelievedAreLeftAsideWithTheReason) {
    constexpr std::int64_t zda = 1796634303000; // 2026-12-07T09:05:03Z, the record's own clock
    const std::string timesPath = CRecordTimesWriter::PathFor(m_strRecord);
    struct Case {
        const char* name;
        std::string times; // "fifo": a FIFO in its place
        std::string note;  // why it was left aside; empty: believed
        std::int64_t first = zda, second = zda + 100;
    };
    const std::string tooFar = "计时文件的时间在两条消息之间跳过一天以上，未采用";
    const std::string notThisCentury = "计时文件的时间不在 2000–2100 年间，未采用";
    const std::vector<Case> table = {
        {"believed", TimesFile(kBase, {0, 1000}), "", kBase, kBase + 1000},
        {"back_by_a_second", TimesFile(kBase, {5, -1000}), "", kBase + 5, kBase - 995},
        {"a_day_a_message", TimesFile(kBase, {86400000, 86400000}), "", kBase + 86400000,
         kBase + 2 * 86400000},
        {"torn_first_entry", TimesFile(kBase, {}, ""), "计时文件没有一条完整的时间，未采用"},
        {"back_by_more_than_a_second", TimesFile(kBase, {0, -1001}),
         "计时文件的时间倒退超过 1 秒，未采用"},
        {"more_than_a_day_a_message", TimesFile(kBase, {0, 86400001}), tooFar},
        {"steps_of_2^60_ms", TimesFile(kBase, {std::int64_t{1} << 60, std::int64_t{1} << 60}),
         tooFar},
        {"base_int64_max", TimesFile(INT64_MAX, {INT64_MAX / 4, INT64_MAX / 4}), notThisCentury},
        {"last_millisecond_of_1999", TimesFile(946684799999, {0, 0}), notThisCentury},
        {"not_ours", "QMTIMES0" + TimesFile(kBase, {0, 0}).substr(8),
         "计时文件不是本程序的计时文件，未采用"},
        {"fifo", "fifo", "计时文件不是普通文件，未采用"},
    };
    const std::string record = Nmea("$GPZDA,090503.00,07,12,2026,00,00") + "$C1,2\r\n";
    ASSERT_TRUE(WriteFile(m_strRecord, record));
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        unlink(timesPath.c_str());
        int held = -1;
        if (c.times == "fifo") {
            ASSERT_EQ(mkfifo(timesPath.c_str(), 0600), 0);
            // Both ends held: were the FIFO opened after all, it would fail, not hang.
            held = open(timesPath.c_str(), O_RDWR | O_NONBLOCK);
        } else {
            ASSERT_TRUE(WriteFile(timesPath, c.times));
        }
        const auto [source, texts, read, timed, note] = ReadRecord(m_strRecord);
        if (held >= 0)
            close(held);
        EXPECT_EQ(source,
                  c.note.empty() ? RecordTimeSource::TimingFile : RecordTimeSource::SentenceClock);
        EXPECT_EQ(note, c.note);
        ASSERT_EQ(read.size(), 2u);
        EXPECT_EQ(texts[0] + texts[1], record);
        EXPECT_EQ(read[0].nUtcMs, c.first);
        EXPECT_EQ(read[1].nUtcMs, c.second);
    }

    // The record itself a FIFO: refused at once.
    unlink(timesPath.c_str());
    unlink(m_strRecord.c_str());
    ASSERT_EQ(mkfifo(m_strRecord.c_str(), 0600), 0);
    const int held = open(m_strRecord.c_str(), O_RDWR | O_NONBLOCK);
    CRecordReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(m_strRecord, &error));
    EXPECT_EQ(error, "不是普通文件");
    close(held);
}

// Without a timing file: times from the sentences' clocks (the date from RMC
// or ZDA, else the record's name), evenly between them; else 10 a second
// from the record's name (local time), also when the clocks cannot be
// believed (and the reader says why).
TEST_F(RecordTimesTest, WithoutTimingFileTimesComeFromTheSentences) {
    const std::int64_t dec7 = 1796601600000; // 2026-12-07T00:00:00Z
    struct Case {
        const char* name;
        std::string record;
        RecordTimeSource source;
        std::vector<std::int64_t> times;
        std::string note = {};
    } cases[] = {
        {"GgaDatedByZda",
         Nmea("$GPZDA,090503.00,07,12,2026,00,00") + "$C1,2\r\n$C1,2\r\n" +
             Nmea("$GPGGA,090504.00,,,,,0,,,,,,,,") + "$C1,2\r\n",
         RecordTimeSource::SentenceClock,
         {dec7 + 32703000, dec7 + 32703333, dec7 + 32703666, dec7 + 32704000, dec7 + 32704333}},
        {"RmcDateAndMidnight",
         Nmea("$GPRMC,235959.50,A,,,,,,,061226,,") + "AB" + Nmea("$GNGGA,000000.25,,,,,0,,,,,,,,"),
         RecordTimeSource::SentenceClock,
         {dec7 - 500, dec7 - 125, dec7 + 250}},
        {"NoClockAtAll", "$C1,2\r\n$C1,2\r\n", RecordTimeSource::Assumed, {-1, 99}},
        {"ClockOf1999",
         Nmea("$GPZDA,090503.00,07,12,1999,00,00") + "$C1,2\r\n",
         RecordTimeSource::Assumed,
         {-1, 99},
         "GGA/RMC/ZDA 的时间不在 2000–2100 年间，未采用"},
        {"ClockBackByTwoSeconds",
         Nmea("$GPZDA,090503.00,07,12,2026,00,00") + Nmea("$GPGGA,090501.00,,,,,0,,,,,,,,"),
         RecordTimeSource::Assumed,
         {-1, 99},
         "GGA/RMC/ZDA 的时间倒退超过 1 秒，未采用"},
        {"ClockTwoDaysOnInOneMessage",
         Nmea("$GPZDA,090503.00,07,12,2026,00,00") + Nmea("$GPZDA,090503.00,09,12,2026,00,00"),
         RecordTimeSource::Assumed,
         {-1, 99},
         "GGA/RMC/ZDA 的时间在两条消息之间跳过一天以上，未采用"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(m_strRecord, c.record);
        const auto [source, texts, read, timed, note] = ReadRecord(m_strRecord);
        EXPECT_EQ(source, c.source);
        EXPECT_EQ(note, c.note);
        ASSERT_EQ(read.size(), c.times.size());
        std::string joined;
        for (const std::string& t : texts)
            joined += t;
        EXPECT_EQ(joined, c.record);
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (c.source == RecordTimeSource::Assumed) // 100 ms apart from the named start
                EXPECT_EQ(read[i].nUtcMs - read[0].nUtcMs, i * 100);
            else
                EXPECT_EQ(read[i].nUtcMs, c.times[i]) << i;
        }
    }
}

} // namespace
