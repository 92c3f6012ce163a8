#include "platform/ErrorText.h"
#include "plots/CsvExport.h"
#include "plots/SessionReport.h"
#include "plots/SessionSummary.h"

#include "support/LinkSupport.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr float kNaN = NAN;
constexpr std::int64_t kStart = 1796634303125; // 2026-12-07T09:05:03.125Z

AnalysisTimes Timed(std::vector<std::uint32_t> offsets) {
    return {RecordTimeSource::TimingFile, kStart, std::move(offsets), {}};
}

AnalysisSample Record(float heading, float pitch, float roll) {
    return {heading, roll, pitch, 0, 0};
}

TEST(CsvExport, RowsSayWhatWasReceivedAndWhen) {
    struct Case {
        const char* name;
        std::vector<AnalysisSample> records;
        AnalysisTimes times;
        std::string csv;
    };
    const std::vector<Case> table = {
        {"instrument_file_has_no_times_and_no_roll",
         {Record(180.5f, -3.25f, 0), Record(0.1f, -0.05f, 0), Record(0, -0.0f, 0),
          Record(1e8f, 123456.79f, 0)},
         {},
         "index,time,heading,pitch,roll\n0,,180.5,-3.25,\n1,,0.1,-0.05,\n2,,0,-0,\n"
         "3,,1e+08,123456.79,\n"},
        {"timed_record_file",
         {Record(359.9f, 12, kNaN), Record(10, -0.5f, -7.02f), Record(kNaN, -30.25f, 0)},
         Timed({0, 999, 1875}),
         "index,time,heading,pitch,roll\n"
         "0,2026-12-07T09:05:03.125Z,359.9,12,\n"
         "1,2026-12-07T09:05:04.124Z,10,-0.5,-7.02\n"
         "2,2026-12-07T09:05:05.000Z,,-30.25,0\n"},
        {"nothing_loaded", {}, {}, "index,time,heading,pitch,roll\n"},
    };
    for (const Case& c : table)
        EXPECT_EQ(AnalysisCsv(c.records, c.times), c.csv) << c.name;
}

// Many blocks' worth: the file holds every row whole, each value in the
// shortest form that reads back as the very float recorded (std::to_chars's),
// and an older file of that name is replaced.
TEST(CsvExport, TheFileReadsBackExactlyAndReplacesTheOldOne) {
    CTempFolder dir;
    const std::string path = dir.path + "/out.csv";
    ASSERT_TRUE(WriteFile(path, "an older file"));
    std::vector<AnalysisSample> records;
    std::vector<std::uint32_t> offsets;
    for (int i = 0; i < 300000; ++i) {
        // Headings and rolls with a few decimals, as instruments give them; any pitch.
        records.push_back(Record(std::round(std::fmod(i * 0.37f, 360.0f) * 100) / 100,
                                 std::sin(i * 1e-3f) * 45,
                                 i % 7 ? std::round(std::cos(i * 1e-3f) * -20000) / 1000 : kNaN));
        offsets.push_back(static_cast<std::uint32_t>(i * 100 + i % 3));
    }
    const AnalysisTimes times = Timed(offsets);
    ASSERT_EQ(ExportAnalysisCsv(path, records, times), "");
    const std::string written = ReadFile(path);
    ASSERT_EQ(written, AnalysisCsv(records, times));
    const auto files = std::filesystem::directory_iterator(dir.path);
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);

    const std::vector<std::string> lines = SplitFields(written, '\n');
    ASSERT_EQ(lines.size(), records.size() + 2); // header, last '\n'
    auto same = [](const std::string& text, float value) {
        char shortest[32] = {};
        std::to_chars(shortest, shortest + sizeof shortest, value);
        return std::isnan(value) ? text.empty()
                                 : text == shortest && std::strtof(text.c_str(), nullptr) == value;
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::vector<std::string> f = SplitFields(lines[i + 1], ',');
        ASSERT_TRUE(same(f[2], records[i].fHeading) && same(f[3], records[i].fPitch) &&
                    same(f[4], records[i].fSpare1))
            << lines[i + 1];
    }
    EXPECT_EQ(ExportAnalysisCsv(dir.path + "/none/out.csv", records, times),
              "无法写入文件：" + dir.path + "/none/out.csv\n" + SystemErrorText(ENOENT));
}

TEST(SessionSummary, ExtremesTimeBeyondLimitsAndGaps) {
    // Pitch crosses 30 for three records; a 5 s pause follows the third.
    const std::vector<AnalysisSample> records = {Record(0, 1, kNaN), Record(0, 31, kNaN),
                                                 Record(0, 32, 10),  Record(0, -40, -35),
                                                 Record(0, 5, kNaN), Record(0, 2, 1)};
    const std::vector<std::uint32_t> offsets = {0, 100, 200, 300, 5300, 5400};
    struct Case {
        const char* name;
        AnalysisTimes times;
        SessionSummary::Extreme pitch, roll;
        std::size_t pitchBeyond, rollBeyond;
        std::int64_t pitchBeyondMs, rollBeyondMs;
        std::vector<SessionSummary::Gap> gaps;
    };
    const std::vector<Case> table = {
        {"timed",
         Timed(offsets),
         {true, -40, 3, kStart + 300},
         {true, -35, 3, kStart + 300},
         3,
         1,
         100 + 100 + 3000, // a gap counts StaleSeconds at most
         3000,
         {{3, kStart + 300, 5000}}},
        {"instrument_file",
         {},
         {true, -40, 3, 0},
         {false, 0, 0, 0}, // zeros in roll's slot are no roll
         3,
         0,
         0,
         0,
         {}},
    };
    for (const Case& c : table) {
        const SessionSummary s = SummariseSession(records, c.times, nullptr, {30, 30, 3});
        SCOPED_TRACE(c.name);
        for (const auto& [got, want] : {std::pair{s.pitch, c.pitch}, {s.roll, c.roll}}) {
            EXPECT_EQ(got.bReceived, want.bReceived);
            EXPECT_EQ(got.fValue, want.fValue);
            EXPECT_EQ(got.nIndex, want.nIndex);
            EXPECT_EQ(got.nUtcMs, want.nUtcMs);
        }
        EXPECT_EQ(s.pitchBeyond.nRecords, c.pitchBeyond);
        EXPECT_EQ(s.rollBeyond.nRecords, c.rollBeyond);
        EXPECT_EQ(s.pitchBeyond.nMs, c.pitchBeyondMs);
        EXPECT_EQ(s.rollBeyond.nMs, c.rollBeyondMs);
        EXPECT_EQ(s.arrGaps, c.gaps);
    }
    SessionSummary timed = SummariseSession(records, Timed(offsets), nullptr, {30, 30, 3});
    timed.arrEvents = {{"2026-12-07T09:05:03.425Z", "pitch", "active", "40", "30"}};
    EXPECT_EQ(SessionSummaryCsv(timed), "kind,subject,event,value,limit,time,record\n"
                                        "records,,,6,,,\n"
                                        "duration,,,5.400,,2026-12-07T09:05:03.125Z,\n"
                                        "max,pitch,,-40,30,2026-12-07T09:05:03.425Z,3\n"
                                        "beyond-records,pitch,,3,30,,\n"
                                        "beyond-seconds,pitch,,3.200,30,,\n"
                                        "max,roll,,-35,30,2026-12-07T09:05:03.425Z,3\n"
                                        "beyond-records,roll,,1,30,,\n"
                                        "beyond-seconds,roll,,3.000,30,,\n"
                                        "gap,,,5.000,3,2026-12-07T09:05:03.425Z,3\n"
                                        "event,pitch,active,40,30,2026-12-07T09:05:03.425Z,\n");
}

TEST(SessionSummary, TheEventLogGivesItsAlarmLines) {
    const std::string log = "time,subject,event,value,limit\r\n"
                            "2026-12-07T09:05:03.125Z,program,start,,\n"
                            "2026-12-07T09:07:41.310Z,pitch,active,31.2,30\r\n"
                            "2026-12-07T09:07:44.020Z,pitch,stale,3.012,\n"
                            "2026-12-07T09:07:50.700Z,roll,normal,29.4,30\n"
                            "broken,pitch,active\n"
                            "2026-12-07T09:12:02.004Z,data,active,3.5,";
    EXPECT_EQ(AlarmEvents(log), (std::vector<LoggedEvent>{
                                    {"2026-12-07T09:07:41.310Z", "pitch", "active", "31.2", "30"},
                                    {"2026-12-07T09:07:50.700Z", "roll", "normal", "29.4", "30"},
                                    {"2026-12-07T09:12:02.004Z", "data", "active", "3.5", ""}}));
}

} // namespace
