#include "link/InstrumentSession.h"
#include "link/RecordTimes.h"
#include "link/ReplaySource.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kBaseUtcMs = 1796634303100; // 2026-12-07 09:05:03.1

// A record of "$C<i>,0.0" sentences (heading i) and its timing file; message
// i arrived at kBaseUtcMs + atMs(i).
std::string WriteRecord(const std::string& folder, int count,
                        const std::function<std::int64_t(int)>& atMs) {
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (int i = 0; i < count; ++i)
        lines.emplace_back(atMs(i), "$C" + std::to_string(i) + ",0.0\r\n");
    const std::string path = folder + "/2026-12-7-9-5-3.txt";
    WriteTimedRecord(path, kBaseUtcMs, lines);
    return path;
}

double Heading(const CInstrumentSession& session) {
    return session.Monitor().Values().m_dHeading;
}

// The replay's clock is the test's: each Pump is called at the time the one
// before asked for, and a millisecond earlier first. Every message must come
// at its recorded time divided by the speed, never early, within 1 ms.
TEST(ReplayTest, MessagesComeAtTheirRecordedTimesScaledBySpeed) {
    CTempFolder folder;
    // 10 a second with jitter, a pause of 2.5 s, 3 s of recording in all.
    auto atMs = [](int i) -> std::int64_t { return i * 100 + (i % 3) * 7 + (i >= 20 ? 2500 : 0); };
    const std::string path = WriteRecord(folder.path, 30, atMs);
    for (double speed : {1.0, 10.0, 0.25}) {
        SCOPED_TRACE(speed);
        CInstrumentSession session;
        CReplaySource& source = session.UseSource(std::make_unique<CReplaySource>());
        std::string error;
        ASSERT_TRUE(source.Open(path, &error)) << error;
        EXPECT_EQ(source.TimeSource(), RecordTimeSource::TimingFile);
        source.SetSpeed(speed);
        const std::int64_t startMs = 5000000;
        std::int64_t due = source.Pump(session, startMs);
        for (int i = 1; i < 30; ++i) {
            const std::int64_t expected =
                startMs + static_cast<std::int64_t>(std::ceil((atMs(i) - atMs(0)) / speed));
            ASSERT_NEAR(due, expected, 1) << "message " << i;
            source.Pump(session, due - 1);
            ASSERT_EQ(session.MessagesFramed(), static_cast<std::uint64_t>(i)) << "early";
            due = source.Pump(session, due);
            ASSERT_EQ(session.MessagesFramed(), static_cast<std::uint64_t>(i + 1));
            EXPECT_EQ(Heading(session), i);
        }
        EXPECT_EQ(due, -1);
        EXPECT_TRUE(source.CurrentStatus().bFinished);
        EXPECT_EQ(source.CurrentStatus().nUtcMs, kBaseUtcMs + atMs(29));
    }
}

// Paused, single steps hand over one message each; a seek lands on the first
// message that begins at or after the offset, forward into what was never
// read and back through the checkpoints; resuming plays on from there.
TEST(ReplayTest, PauseStepAndSeek) {
    CTempFolder folder;
    const std::string path = WriteRecord(folder.path, 40, [](int i) { return i * 100; });
    const std::string record = ReadFile(path);
    auto offsetOf = [&](int i) { return record.find("$C" + std::to_string(i) + ","); };
    CInstrumentSession session;
    // A checkpoint every 4 messages.
    CReplaySource& source = session.UseSource(std::make_unique<CReplaySource>(4));
    std::string error;
    ASSERT_TRUE(source.Open(path, &error)) << error;
    source.SetPaused(true);
    EXPECT_EQ(source.Pump(session, 0), -1);
    EXPECT_EQ(session.MessagesFramed(), 0u);
    source.Step();
    source.Step();
    source.Pump(session, 0);
    EXPECT_EQ(session.MessagesFramed(), 2u);
    EXPECT_EQ(Heading(session), 1);

    struct Case {
        std::uint64_t offset;
        int next; // the heading of the message the step then hands over
    };
    const Case table[] = {
        {offsetOf(25), 25},     // forward, beyond anything read
        {offsetOf(6), 6},       // back, from the checkpoint at 4
        {offsetOf(10) + 2, 11}, // inside a message: the next one
        {0, 0},
        {offsetOf(39), 39},
    };
    // The curves break at every seek (at the sample it landed on), and only there.
    const CSampleGaps& breaks = session.Monitor().Gaps();
    std::size_t seeks = 0;
    for (const Case& c : table) {
        SCOPED_TRACE(c.offset);
        source.SeekTo(c.offset);
        source.Step();
        source.Pump(session, 0);
        EXPECT_EQ(Heading(session), c.next);
        EXPECT_EQ(source.CurrentStatus().nIndex, static_cast<std::uint64_t>(c.next + 1));
        ASSERT_EQ(breaks.Size(), ++seeks);
        EXPECT_EQ(breaks[seeks - 1], session.Monitor().Samples().Size() - 1);
    }
    source.SeekTo(offsetOf(30));
    source.SetPaused(false);
    EXPECT_EQ(source.Pump(session, 1000), 1100); // message 30 now, 31 a tenth later
    EXPECT_EQ(Heading(session), 30);
    source.SetSpeed(CReplaySource::kFastest);
    EXPECT_EQ(source.Pump(session, 1000), -1);
    EXPECT_EQ(Heading(session), 39);
    EXPECT_EQ(breaks.Size(), seeks + 1);
    EXPECT_TRUE(source.CurrentStatus().bFinished);
}

// A live session on a real pseudo-terminal goes on recording what the line
// sends, byte for byte, while a long record is replayed flat out beside it;
// nothing of the replay reaches its record, and nothing goes back to the
// instrument for the replayed 'n' packets.
TEST(ReplayTest, LiveReceptionIsRecordedWhileAReplayRuns) {
    CTempFolder folder;
    // The record to replay: the golden transcript many times over, with its times.
    const std::string stream = ReadFile(QUILLMAR_TEST_DATA "/mixed-stream.bin");
    std::string replayPath;
    {
        CInstrumentSession recorder;
        std::string error;
        ASSERT_TRUE(recorder.CreateRecord(folder.path, std::tm{}, &error)) << error;
        for (int i = 0; i < 2000; ++i)
            recorder.Process(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                             i);
        replayPath = recorder.RecordPath();
    }
    int master = -1, slave = -1;
    char name[64] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    CInstrumentSession live;
    std::string error;
    ASSERT_TRUE(live.CreateRecord(folder.path + "/live", std::tm{}, &error)) << error;
    live.UsePort(1, name);
    live.Start();
    ASSERT_TRUE(WaitFor([&] { return live.IsConnected(); }));

    CInstrumentSession replay(nullptr, CInstrumentSession::Role::Replay);
    CReplaySource& source = replay.UseSource(std::make_unique<CReplaySource>());
    ASSERT_TRUE(source.Open(replayPath, &error)) << error;
    source.SetSpeed(CReplaySource::kFastest);
    replay.Start();
    std::string sent;
    for (int i = 0; i < 200; ++i) {
        const std::string line = "$GPHDT," + std::to_string(i) + ".5,T\r\n";
        ASSERT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        sent += line;
    }
    ASSERT_TRUE(WaitFor([&] { return live.MessagesFramed() == 200; }));
    ASSERT_TRUE(WaitFor([&] { return source.CurrentStatus().bFinished; }));
    EXPECT_GT(replay.MessagesFramed(), 2000u * 10);
    EXPECT_EQ(ReadFile(live.RecordPath()), sent);
    // The replay done, one 'n' of the live line's own: its answer is the only
    // thing the instrument may get back. An answer to a replayed 'n' would be
    // due before it, so it would be read first; and what is read sooner than
    // the answer's delay after the 'n' went out cannot be its answer.
    const std::string n = CInstrumentSimulator::NPacket();
    const std::int64_t nSentMs = SteadyMs();
    ASSERT_EQ(write(master, n.data(), n.size()), static_cast<ssize_t>(n.size()));
    const std::string answer = Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x03});
    fcntl(master, F_SETFL, O_NONBLOCK);
    std::string answers;
    std::int64_t lastReadMs = 0;
    EXPECT_TRUE(WaitFor([&] {
        char bytes[256];
        for (ssize_t got; (got = read(master, bytes, sizeof bytes)) > 0; lastReadMs = SteadyMs())
            answers.append(bytes, static_cast<std::size_t>(got));
        return answers.size() >= answer.size() &&
               lastReadMs >= nSentMs + CInstrumentSession::kAnswerDelayMs;
    }));
    EXPECT_EQ(answers, answer);
    EXPECT_EQ(ReadFile(live.RecordPath()), sent + "A"); // the packet's data byte
    close(master);
    close(slave);
}

} // namespace
