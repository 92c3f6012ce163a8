#include "link/RecordTimes.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>

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
    {"$C3,4\r\n", false, kBase + 86400000 - 2500},
};

TEST_F(RecordTimesTest, MessagesComeBackCutWhereReceivedWithTheirTimes) {
    Record(kMessages, kBase);
    EXPECT_EQ(CRecordTimesWriter::PathFor(m_strRecord), m_dir.path + "/2026-12-7-9-5-3-times.bin");
    // A byte for a line soon after the one before.
    EXPECT_EQ(ReadFile(CRecordTimesWriter::PathFor(m_strRecord)).size(),
              kTimesHeaderSize + 1 + 3 + 1 + 4 + 1 + 3 + 1 + 5 + 3);
    const auto [source, texts, read, timed] = ReadRecord(m_strRecord);
    EXPECT_EQ(source, RecordTimeSource::TimingFile);
    ASSERT_EQ(read.size(), kMessages.size());
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(texts[i], kMessages[i].bytes) << i;
        EXPECT_EQ(read[i].bPacket, kMessages[i].packet) << i;
        EXPECT_EQ(read[i].nType, kMessages[i].type) << i;
        EXPECT_EQ(read[i].nUtcMs, kMessages[i].utcMs) << i;
        EXPECT_EQ(read[i].nOffset, offset);
        EXPECT_EQ(read[i].nIndex, i);
        offset += kMessages[i].bytes.size();
    }
}

// A crash between the record's write and the times': a torn last entry, or
// none, leaves the record's tail readable at the last time known; a timing
// file that is not ours is no timing file.
TEST_F(RecordTimesTest, ATornOrMissingTailIsReadWithoutTimesOfItsOwn) {
    Record(kMessages, kBase);
    const std::string timesPath = CRecordTimesWriter::PathFor(m_strRecord);
    const std::string whole = ReadFile(timesPath);
    for (std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
        WriteFile(timesPath, whole.substr(0, whole.size() - cut));
        const auto [source, texts, read, timed] = ReadRecord(m_strRecord);
        ASSERT_EQ(read.size(), kMessages.size()) << cut;
        EXPECT_EQ(texts.back(), kMessages.back().bytes);
        EXPECT_EQ(read.back().nUtcMs, kMessages[kMessages.size() - 2].utcMs) << cut;
        EXPECT_EQ(read[5].nUtcMs, kMessages[5].utcMs);
    }
    WriteFile(timesPath, "QMTIMES0" + whole.substr(8));
    EXPECT_NE(ReadRecord(m_strRecord).source, RecordTimeSource::TimingFile);
}

// Without a timing file: times from the sentences' clocks (the date from RMC
// or ZDA, else the record's name), evenly between them; else 10 a second
// from the record's name (local time).
TEST_F(RecordTimesTest, WithoutTimingFileTimesComeFromTheSentences) {
    const std::int64_t dec7 = 1796601600000; // 2026-12-07T00:00:00Z
    struct Case {
        const char* name;
        std::string record;
        RecordTimeSource source;
        std::vector<std::int64_t> times;
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(m_strRecord, c.record);
        const auto [source, texts, read, timed] = ReadRecord(m_strRecord);
        EXPECT_EQ(source, c.source);
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
