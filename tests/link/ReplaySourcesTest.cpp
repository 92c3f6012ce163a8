// A session recorded from several sources, replayed: the further sources'
// records found beside the first's and played in step with it by their
// receive times, through the same choice and heading comparison.
#include "link/InstrumentSession.h"
#include "link/RecordTimes.h"
#include "link/ReplaySource.h"
#include "plots/SessionReport.h"
#include "plots/SourceHeadings.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace {

constexpr std::int64_t kBaseUtcMs = 1796634303100; // 2026-12-07 09:05:03.1
const std::string kStem = "/2026-12-7-9-5-3";

// A heading sentence with one decimal.
std::string Sentence(const char* talker, double heading) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", heading);
    return CInstrumentSimulator::WithNmeaChecksum("$" + std::string(talker) + "HDT," + text + ",T");
}

// Heading sentences, each received at kBaseUtcMs + its time (with a timing
// file when timed); each one's time into timeOf when given.
void WriteHeadings(const std::string& path, const char* talker,
                   const std::vector<std::pair<std::int64_t, double>>& headings, bool timed = true,
                   std::map<std::string, std::int64_t>* timeOf = nullptr) {
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (const auto& [atMs, heading] : headings) {
        lines.emplace_back(atMs, Sentence(talker, heading));
        if (timeOf)
            (*timeOf)[lines.back().second] = atMs;
    }
    WriteTimedRecord(path, kBaseUtcMs, lines, timed);
}

// Heading first + i for message i, received at atMs[i].
void WriteRecord(const std::string& path, const char* talker, std::size_t first,
                 const std::vector<std::int64_t>& atMs, bool timed,
                 std::map<std::string, std::int64_t>& timeOf) {
    std::vector<std::pair<std::int64_t, double>> headings;
    for (std::size_t i = 0; i < atMs.size(); ++i)
        headings.emplace_back(atMs[i], static_cast<double>(first + i));
    WriteHeadings(path, talker, headings, timed, &timeOf);
}

TEST(ReplaySourcesTest, FurtherRecordsAreTheLabelledOnesWithTimingFiles) {
    struct Case {
        std::string suffix;
        bool timed;
        const char* label; // found as; none: not a further source
    };
    const Case table[] = {
        {"-gyro.txt", true, "gyro"},    {"-compass_2.txt", true, "compass_2"},
        {"-mag.txt", false, nullptr}, // no timing file: not a record of ours
        {"-2.txt", true, nullptr},    // the first record's next file of that second
        {"-2-gyro.txt", true, nullptr}, {"x-gyro.txt", true, nullptr},
        {"-gyro.bin", true, nullptr},
    };
    CTempFolder folder;
    WriteHeadings(folder.path + kStem + ".txt", "GP", {{0, 0}});
    std::map<std::string, std::string> expected, found; // label -> path
    for (const Case& c : table) {
        WriteHeadings(folder.path + kStem + c.suffix, "HE", {{0, 0}}, c.timed);
        if (c.label)
            expected[c.label] = folder.path + kStem + c.suffix;
    }
    std::string order;
    for (const FurtherRecord& record : FurtherRecords(folder.path + kStem + ".txt")) {
        found[record.strLabel] = record.strPath;
        order += record.strLabel + " ";
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(order, "compass_2 gyro ");
}

// The first source's record (headings 10, 11, ...) and the gyro's beside it
// (100, 101, ...), received at the times given, in a replay session.
struct CTwoRecordReplay {
    CTempFolder folder;
    const std::string path = folder.path + kStem + ".txt";
    std::map<std::string, std::int64_t> timeOf; // of each sentence
    CInstrumentSession session{nullptr, CInstrumentSession::Role::Replay};
    CReplaySource* first = &session.UseSource(std::make_unique<CReplaySource>());
    CReplaySource* gyro = nullptr;

    CTwoRecordReplay(const std::vector<std::int64_t>& firstAt,
                     const std::vector<std::int64_t>& gyroAt, double speed) {
        WriteRecord(path, "GP", 10, firstAt, true, timeOf);
        WriteRecord(folder.path + kStem + "-gyro.txt", "HE", 100, gyroAt, true, timeOf);
        std::string error;
        EXPECT_TRUE(first->Open(path, &error)) << error;
        session.SetFirstSourceLabel("compass");
        for (const FurtherRecord& record : FurtherRecords(path)) {
            auto source = std::make_unique<CReplaySource>();
            EXPECT_TRUE(source->Open(record.strPath, &error)) << error;
            source->PlayInStepWith(*first);
            gyro = source.get();
            session.AddSource(record.strLabel, std::move(source));
        }
        // Steered by the first's controls alone.
        first->SetPaused(true);
        first->SetSpeed(speed);
        session.Start();
    }
};

TEST(ReplaySourcesTest, SourcesPlayInStepByTheirTimes) {
    struct Case {
        std::vector<std::int64_t> first, gyro;
        // The heading shown: the first source valid keeps it until the one
        // preferred has been valid for the failback time.
        const char* chosen;
    };
    const Case table[] = {
        {{0, 100, 200, 300, 400, 500}, {50, 150, 250, 350, 450, 550}, "compass"},
        {{1000, 1100, 1200, 1300}, {0, 600, 1150, 1800}, "gyro"}, // the gyro's earlier, later
        {{0, 1, 2, 3, 4, 5, 300, 301}, {2, 3, 150, 151, 152, 302}, "compass"}, // bursts
        {{0, 100, 200}, {0, 100, 200}, "compass"},
        // Hours apart: as fast as possible only (the gyro at its own pace
        // would never end within the wait).
        {{0, 100, 7200000}, {50, 3600000, 7200100}, "compass"},
    };
    for (const double speed : {CReplaySource::kFastest, 20.0}) {
        for (const Case& c : table) {
            if (speed > CReplaySource::kFastest && c.first.back() > 60000)
                continue;
            SCOPED_TRACE(::testing::PrintToString(c.gyro) + " at " + std::to_string(speed));
            CTwoRecordReplay replay(c.first, c.gyro, speed);
            ASSERT_NE(replay.gyro, nullptr);
            const std::int64_t startMs = SteadyMs();
            replay.first->SetPaused(false);
            ASSERT_TRUE(WaitFor([&] { return replay.first->CurrentStatus().bFinished; }));
            // Timed: from the earliest message of either to the latest, never
            // sooner than the recording took, divided by the speed.
            const std::int64_t span =
                std::max(c.first.back(), c.gyro.back()) - std::min(c.first.front(), c.gyro.front());
            if (speed > CReplaySource::kFastest)
                EXPECT_GE(SteadyMs() - startMs, static_cast<std::int64_t>(span / speed));
            // Finished once both are taken in, in the order they were received.
            EXPECT_EQ(replay.session.MessagesFramed(), c.first.size() + c.gyro.size());
            std::vector<std::int64_t> order;
            const std::string batch = replay.session.TakeMessages();
            CMessageQueue::CReader reader(batch);
            for (FramedMessage message; reader.Next(message);)
                order.push_back(replay.timeOf.at(std::string(message.bytes)));
            EXPECT_EQ(order.size(), c.first.size() + c.gyro.size());
            EXPECT_TRUE(std::is_sorted(order.begin(), order.end()))
                << ::testing::PrintToString(order);
            EXPECT_EQ(replay.first->CurrentStatus().nUtcMs, kBaseUtcMs + c.first.back());

            const std::vector<SourceStatus> sources = replay.session.Sources();
            ASSERT_EQ(sources.size(), 2u);
            EXPECT_EQ(sources[0].strLabel + " " + sources[1].strLabel, "compass gyro");
            const std::vector<HeadingPairStatus> pairs = replay.session.HeadingPairs();
            ASSERT_EQ(pairs.size(), 1u);
            EXPECT_EQ(std::min(pairs[0].strA, pairs[0].strB) + " " +
                          std::max(pairs[0].strA, pairs[0].strB),
                      "compass gyro");
            EXPECT_EQ(replay.session.ChosenSource(Quantity::Heading), c.chosen);
        }
    }
}

// A seek of the first record takes the gyro's to the time reached: what the
// gyro received before it is not played, what it received from then on is.
// Single steps of the first bring along what the gyro received up to them.
TEST(ReplaySourcesTest, SeekAndStepTakeTheOtherSourcesAlong) {
    const std::vector<std::int64_t> firstAt = {0, 100, 200, 300, 400, 500};
    const std::vector<std::int64_t> gyroAt = {50, 150, 200, 250, 350, 450, 600};
    // The first's message sought, the messages framed after two steps, the
    // gyro's played in all.
    const std::size_t table[][3] = {{0, 3, 7}, {1, 4, 6}, {2, 4, 5}, {3, 3, 3}, {5, 1, 1}};
    for (const auto& c : table) {
        SCOPED_TRACE(c[0]);
        CTwoRecordReplay replay(firstAt, gyroAt, CReplaySource::kFastest);
        ASSERT_NE(replay.gyro, nullptr);
        replay.first->SeekTo(
            ReadFile(replay.path).find(Sentence("GP", static_cast<double>(10 + c[0]))));
        replay.first->Step();
        replay.first->Step();
        // The gyro's catch-up is one take: all of it or none.
        ASSERT_TRUE(WaitFor([&] { return replay.session.MessagesFramed() >= c[1]; }));
        EXPECT_EQ(replay.session.MessagesFramed(), c[1]);
        replay.first->SetPaused(false);
        ASSERT_TRUE(WaitFor([&] { return replay.first->CurrentStatus().bFinished; }));
        EXPECT_EQ(replay.session.MessagesFramed(), firstAt.size() - c[0] + c[2]);
        EXPECT_EQ(
            replay.session.Sources().at(1).readings[static_cast<int>(Quantity::Heading)].value,
            static_cast<double>(100 + gyroAt.size() - 1));
    }
}

// Looked back on: the gyro's recorded heading against the first source's,
// through the live comparison (limit 3°, 5 s to start, 5 s to clear).
TEST(ReplaySourcesTest, RecordedHeadingsCompareAsTheLiveMonitorDid) {
    struct Case {
        const char* what;
        double first;                           // the first source's heading, at 10 Hz for 30 s
        double gyro;                            // the gyro's, 50 ms later each time
        double offFrom, offTo, off;             // seconds in which the gyro is off by off more
        std::int64_t gyroShiftMs;               // all of the gyro's later by this
        std::uint64_t minCompared, maxCompared; // each compares at the other's time
        double largest, beyondS;                // beyondS within 0.3 s
        int alarms;
    };
    const Case table[] = {
        {"agree", 100, 100.5, 0, 0, 0, 0, 550, 600, 0.5, 0, 0},
        {"off for 10 s", 100, 100, 10, 20, 6, 0, 550, 600, 6, 10, 1},
        {"off too briefly to alarm", 100, 100, 10, 13, 6, 0, 550, 600, 6, 3, 0},
        {"across north", 359.5, 0.5, 0, 0, 0, 0, 550, 600, 1, 0, 0},
        // Never at a time both were fresh: nothing compared, nothing claimed.
        {"the gyro's after the first had gone", 100, 150, 0, 0, 0, 40000, 0, 0, 0, 0, 0},
    };
    constexpr int kMessages = 300;
    for (const Case& c : table) {
        SCOPED_TRACE(c.what);
        CTempFolder folder;
        std::vector<std::pair<std::int64_t, double>> first, gyro;
        for (int i = 0; i < kMessages; ++i) {
            const std::int64_t atMs = i * 100;
            first.emplace_back(atMs, c.first);
            const bool off = atMs >= c.offFrom * 1000 && atMs < c.offTo * 1000;
            gyro.emplace_back(atMs + 50 + c.gyroShiftMs, c.gyro + (off ? c.off : 0));
        }
        WriteHeadings(folder.path + kStem + ".txt", "GP", first);
        WriteHeadings(folder.path + kStem + "-gyro.txt", "HE", gyro);
        HeadingCompareSettings settings;
        const std::vector<HeadingAgreement> found =
            CompareRecordedHeadings(folder.path + kStem + ".txt", settings);
        ASSERT_EQ(found.size(), 1u);
        const HeadingAgreement& gyroAgreement = found[0];
        EXPECT_EQ(gyroAgreement.strLabel, "gyro");
        EXPECT_EQ(gyroAgreement.strError, "");
        EXPECT_EQ(gyroAgreement.nHeadings, static_cast<std::uint64_t>(kMessages));
        EXPECT_GE(gyroAgreement.nCompared, c.minCompared);
        EXPECT_LE(gyroAgreement.nCompared, c.maxCompared);
        EXPECT_NEAR(gyroAgreement.dLargest, c.largest, 1e-3);
        EXPECT_NEAR(static_cast<double>(gyroAgreement.nBeyondMs) / 1000, c.beyondS, 0.3);
        EXPECT_EQ(gyroAgreement.nAlarms, c.alarms);
        // The session summary's rows of it, the same in any language.
        SessionSummary summary;
        summary.arrHeadings = found;
        const std::string csv = SessionSummaryCsv(summary);
        EXPECT_NE(csv.find(c.minCompared ? "heading-difference,gyro,alarms," +
                                               std::to_string(c.alarms) + ",3,,\n"
                                         : std::string("heading-difference,gyro,compared,0,,,\n")),
                  std::string::npos)
            << csv;
        // Alone, a record has nothing to compare.
        std::filesystem::remove(folder.path + kStem + "-gyro.txt");
        EXPECT_TRUE(CompareRecordedHeadings(folder.path + kStem + ".txt", settings).empty());
    }
}

} // namespace
