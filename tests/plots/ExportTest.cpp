#include "link/EventLog.h"
#include "link/MessageCounts.h"
#include "link/RecordFile.h"
#include "platform/ErrorText.h"
#include "platform/UiText.h"
#include "plots/CsvExport.h"
#include "plots/SessionReport.h"
#include "plots/SessionSummary.h"

#include "support/LinkSupport.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The loaded recording and its own files, whatever the spelling or link that
// names them, the files the running session writes, and whatever is not a
// regular file (also behind a symbolic link) are never replaced: refused
// with the reason, the target as it was and no temporary left behind.
TEST(CsvExport, RefusesTheRecordingItsFilesTheSessionsAndWhatIsNotARegularFile) {
    CTempFolder dir;
    const std::string d = dir.path, loaded = d + "/r.txt";
    ASSERT_TRUE(WriteFile(loaded, "$C1,2\r\n") && WriteFile(d + "/r-times.bin", "QMTIMES1") &&
                WriteFile(d + "/other.csv", "older"));
    ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((d + "/folder").c_str(), 0700), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/socket", d.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(symlink("fifo", (d + "/to-fifo").c_str()), 0);
    ASSERT_EQ(symlink(loaded.c_str(), (d + "/to-loaded.csv").c_str()), 0);
    ASSERT_EQ(link(loaded.c_str(), (d + "/same-inode.csv").c_str()), 0);
    CRecordFile record; // the session's, being written
    CEventLog events;
    ASSERT_TRUE(record.Replace(d + "/live.txt", nullptr) &&
                events.Open(d + "/live-events.csv", nullptr));

    const std::string notRegular = "它不是普通文件（而是设备、管道、套接字或文件夹），不能被替换";
    const std::string writing = "本程序正在写入这个文件，不能覆盖它";
    std::vector<std::pair<std::string, std::string>> table = {
        {loaded, "这是载入的文件，不能覆盖它"},
        {d + "/folder/../r.txt", "这是载入的文件，不能覆盖它"},
        {d + "//r.txt", "这是载入的文件，不能覆盖它"},
        {d + "/to-loaded.csv", "这是载入的文件，不能覆盖它"},
        {d + "/same-inode.csv", "这是载入的文件，不能覆盖它"},
        {d + "/r-times.bin", "这是载入文件的计时文件，不能覆盖它"},
        {d + "/r-raw.bin", "这是载入文件的原始数据文件，不能覆盖它"}, // not there yet
        {d + "/r-events.csv", "这是载入文件的事件日志，不能覆盖它"},
        {d + "/live.txt", writing},
        {d + "/live-events.csv", writing},
        {d + "/fifo", notRegular},
        {d + "/to-fifo", notRegular},
        {d + "/folder", notRegular},
        {d + "/socket", notRegular},
    };
    // A device node of our own (/dev/null's numbers), where the system lets us make one.
    if (mknod((d + "/device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        table.push_back({d + "/device", notRegular});
    const std::vector<std::string> before = FolderNames(d);
    const std::vector<AnalysisSample> records = {Record(1, 2, kNaN)};
    for (const auto& [target, reason] : table) {
        SCOPED_TRACE(target);
        const std::string error = ExportAnalysisCsv(target, records, {}, RecordingFiles(loaded));
        EXPECT_NE(error, "");
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    EXPECT_EQ(FolderNames(d), before);
    EXPECT_EQ(ReadFile(loaded), "$C1,2\r\n");
    EXPECT_EQ(ReadFile(d + "/r-times.bin"), "QMTIMES1");
    struct stat info {};
    EXPECT_TRUE(stat((d + "/fifo").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_TRUE(stat((d + "/socket").c_str(), &info) == 0 && S_ISSOCK(info.st_mode));
    close(sock);

    // Once the session lets go of its record, it is a file like another.
    record.Close();
    EXPECT_EQ(ExportAnalysisCsv(d + "/live.txt", records, {}, RecordingFiles(loaded)), "");
    EXPECT_EQ(ExportAnalysisCsv(d + "/other.csv", records, {}, RecordingFiles(loaded)), "");
    EXPECT_EQ(ReadFile(d + "/other.csv"), AnalysisCsv(records, {}));
}

// Temporaries of a replacement whose process was killed are removed by the
// next one in that folder: only names of exactly that form, of a process that
// is gone, and only files.
TEST(CsvExport, TemporariesLeftByAProcessThatIsGoneAreRemoved) {
    CTempFolder dir;
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string gone = std::to_string(child), alive = std::to_string(getppid());
    struct Case {
        std::string name;
        bool removed;
    };
    const std::vector<Case> table = {
        {".out.csv." + gone + "-0.tmp", true},
        {".other.v1.png." + gone + "-17.tmp", true},
        {".out.csv." + alive + "-0.tmp", false},    // its process still runs
        {".out.csv." + gone + "-x.tmp", false},     // not our form
        {".out.csv." + gone + ".tmp", false},       // no serial number
        {"out.csv." + gone + "-0.tmp", false},      // not hidden
        {"." + gone + "-0.tmp", false},             // no name
        {".out.csv." + gone + "-0.tmp.bak", false}, // more after it
        {".folder." + gone + "-0.tmp", false},      // a folder
    };
    for (const Case& c : table) {
        if (c.name.starts_with(".folder"))
            ASSERT_EQ(mkdir((dir.path + "/" + c.name).c_str(), 0700), 0);
        else
            ASSERT_TRUE(WriteFile(dir.path + "/" + c.name, "left"));
    }
    ASSERT_EQ(ReplaceFile(dir.path + "/out.csv", "new"), "");
    for (const Case& c : table)
        EXPECT_EQ(std::filesystem::exists(dir.path + "/" + c.name), !c.removed) << c.name;
    EXPECT_EQ(ReadFile(dir.path + "/out.csv"), "new");
}

// Every figure of the summary is in its CSV: extremes with their record and
// time, time beyond the limits, gaps, the logged alarm lines.
TEST(SessionSummary, ExtremesTimeBeyondLimitsAndGaps) {
    // Pitch crosses 30 for three records; a 5 s pause follows the third.
    const std::vector<AnalysisSample> records = {Record(0, 1, kNaN), Record(0, 31, kNaN),
                                                 Record(0, 32, 10),  Record(0, -40, -35),
                                                 Record(0, 5, kNaN), Record(0, 2, 1)};
    SessionSummary timed =
        SummariseSession(records, Timed({0, 100, 200, 300, 5300, 5400}), nullptr, {30, 30, 3});
    timed.arrEvents = {{"2026-12-07T09:05:03.425Z", "pitch", "active", "40", "30"}};
    EXPECT_EQ(SessionSummaryCsv(timed), "kind,subject,event,value,limit,time,record\n"
                                        "records,,,6,,,\n"
                                        "duration,,,5.400,,2026-12-07T09:05:03.125Z,\n"
                                        "max,pitch,,-40,30,2026-12-07T09:05:03.425Z,3\n"
                                        "beyond-records,pitch,,3,30,,\n"
                                        // a gap counts StaleSeconds at most
                                        "beyond-seconds,pitch,,3.200,30,,\n"
                                        "max,roll,,-35,30,2026-12-07T09:05:03.425Z,3\n"
                                        "beyond-records,roll,,1,30,,\n"
                                        "beyond-seconds,roll,,3.000,30,,\n"
                                        "gap,,,5.000,3,2026-12-07T09:05:03.425Z,3\n"
                                        "event,pitch,active,40,30,2026-12-07T09:05:03.425Z,\n");
    // An instrument file: no times, and the zeros in roll's slot are no roll.
    EXPECT_EQ(SessionSummaryCsv(SummariseSession(records, {}, nullptr, {30, 30, 3})),
              "kind,subject,event,value,limit,time,record\n"
              "records,,,6,,,\n"
              "max,pitch,,-40,30,,3\n"
              "beyond-records,pitch,,3,30,,\n");
}

// Each record is held against the limit in force when it came: the latest
// logged alarm line's limit, today's before the first. The CSV is data: the
// same whatever language the window's texts are given in.
TEST(SessionSummary, TimeBeyondTheLimitsInForceAsTheEventLogGivesThem) {
    // Pitch 5 for four records 100 ms apart, then 40; today's limit is 30.
    const std::vector<AnalysisSample> records = {Record(0, 5, kNaN), Record(0, 5, kNaN),
                                                 Record(0, 5, kNaN), Record(0, 5, kNaN),
                                                 Record(0, 40, kNaN)};
    const AnalysisTimes times = Timed({0, 100, 200, 300, 400});
    const auto logged = [](const char* time, const char* subject, const char* limit) {
        return LoggedEvent{time, subject, "active", "5", limit};
    };
    struct Case {
        const char* name;
        std::vector<LoggedEvent> events;
        std::string beyond; // the CSV's beyond rows
        const char* said;   // in the text
    };
    const std::vector<Case> table = {
        {"none logged",
         {},
         "beyond-records,pitch,,1,30,,\nbeyond-seconds,pitch,,0.000,30,,\n",
         "俯仰角达到或超过 30°：0.000 秒，1 条记录"},
        {"limit 2 from the third record",
         {logged("2026-12-07T09:05:03.325Z", "pitch", "2"),
          logged("2026-12-07T09:05:03.325Z", "roll", "9")},
         "beyond-records,pitch,,0,30,,\nbeyond-seconds,pitch,,0.000,30,,\n"
         "beyond-records,pitch,,3,2,,\nbeyond-seconds,pitch,,0.200,2,,\n",
         "俯仰角达到或超过当时的限值（30°、2°）：0.200 秒，3 条记录\n"
         "  限值 30° 时：0.000 秒，0 条记录\n  限值 2° 时：0.200 秒，3 条记录"},
        {"limit 2 logged before the start, 45 at the last",
         {logged("2026-12-07T09:05:00.000Z", "pitch", "2"),
          logged("2026-12-07T09:05:03.525Z", "pitch", "45"), logged("broken", "pitch", "1")},
         "beyond-records,pitch,,4,2,,\nbeyond-seconds,pitch,,0.400,2,,\n"
         "beyond-records,pitch,,0,45,,\nbeyond-seconds,pitch,,0.000,45,,\n",
         "俯仰角达到或超过当时的限值（2°、45°）：0.400 秒，4 条记录"},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        const SessionSummary summary =
            SummariseSession(records, times, nullptr, {30, 30, 3}, c.events);
        const std::string csv = SessionSummaryCsv(summary);
        EXPECT_NE(csv.find("\nmax,pitch,,40,"), std::string::npos);
        EXPECT_NE(csv.find(c.beyond), std::string::npos) << csv;
        const std::string text = SessionSummaryText(summary, "r.txt");
        EXPECT_NE(text.find(c.said), std::string::npos) << text;
    }

    CMessageCounts counts;
    counts.CountText("$GPHDT,1,T*00", false, 0);
    counts.CountPacket('n', 0);
    const SessionSummary summary =
        SummariseSession(records, times, &counts, {30, 30, 3}, table[1].events);
    const std::string chinese = SessionSummaryCsv(summary);
    EXPECT_NE(chinese.find("\nmessages,packet 0x6E,,1,,,\n"), std::string::npos) << chinese;
    SetUiTextTranslator([](const char*, const char* text) { return "EN " + std::string(text); });
    const SessionSummary translated =
        SummariseSession(records, times, &counts, {30, 30, 3}, table[1].events);
    EXPECT_EQ(SessionSummaryCsv(translated), chinese);
    EXPECT_NE(SessionSummaryText(translated, "r.txt"), SessionSummaryText(summary, "r.txt"));
    SetUiTextTranslator(nullptr);
}

TEST(SessionSummary, TheEventLogGivesItsAlarmLines) {
    const std::string log = "time,subject,event,value,limit\r\n"
                            "2026-12-07T09:05:03.125Z,program,start,,\n"
                            "2026-12-07T09:07:41.310Z,pitch,active,31.2,30\r\n"
                            "2026-12-07T09:07:44.020Z,pitch,stale,3.012,\n"
                            "2026-12-07T09:07:50.700Z,roll,normal,29.4,30\n"
                            "2026-12-07T09:08:01.000Z,heading-difference,active,-6,3\n"
                            "2026-12-07T09:08:02.000Z,heading,source-switch,a,b\n"
                            "broken,pitch,active\n"
                            "2026-12-07T09:12:02.004Z,data,active,3.5,";
    EXPECT_EQ(AlarmEvents(log),
              (std::vector<LoggedEvent>{
                  {"2026-12-07T09:07:41.310Z", "pitch", "active", "31.2", "30"},
                  {"2026-12-07T09:07:50.700Z", "roll", "normal", "29.4", "30"},
                  {"2026-12-07T09:08:01.000Z", "heading-difference", "active", "-6", "3"},
                  {"2026-12-07T09:12:02.004Z", "data", "active", "3.5", ""}}));
}

} // namespace
