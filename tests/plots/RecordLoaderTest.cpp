#include "plots/RecordLoader.h"
#include "link/MonitorState.h"
#include "link/RecordTimes.h"
#include "shell/CommandIds.h"
#include "support/TestSupport.h"

#include <QFile>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace {

// What the live path makes of a stream: its samples, when the message of each
// came, and the counts of each type (a packet's type comes from the timing file).
struct LiveReading {
    std::vector<LiveSample> samples;
    std::vector<std::int64_t> sampleMs;
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> counts; // count, failures
    std::string record; // as the session writes it
};

std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> Counted(const CMessageCounts& c) {
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> out;
    for (int i = 0; i < c.Types(); ++i) {
        const CMessageCounts::Row& row = c.Type(i);
        auto& [count, failures] = out[std::string(row.Name())];
        count += row.count;
        failures += row.checksumFailures;
    }
    return out;
}

// Frames the stream as the session does; message k arrives at baseMs + 100 k.
// With recordPath, writes its timing file as the session would. An empty
// packet leaves nothing in the record: it is left out.
LiveReading ReadLive(const std::string& stream, std::int64_t baseMs,
                     const std::string& recordPath = {}) {
    CMonitorState monitor;
    CMessageCounts counts;
    CRecordTimesWriter times;
    std::string error;
    if (!recordPath.empty())
        EXPECT_TRUE(times.Open(recordPath, baseMs, &error)) << error;
    LiveReading live;
    std::int64_t ms = baseMs;
    CReceiverMessage framer;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                [&](const FramedMessage& m) {
                    if (m.Text().empty())
                        return;
                    live.record += m.Text();
                    const auto kind = monitor.Interpret(m, ms);
                    counts.Count(m, kind == CMonitorState::Kind::BadChecksum, ms);
                    if (monitor.Samples().Size() > live.samples.size()) {
                        live.samples.push_back(monitor.Samples()[live.samples.size()]);
                        live.sampleMs.push_back(ms);
                    }
                    if (times.IsOpen())
                        times.Add(m.Text(), !m.bTextLine, ms, m.nType);
                    ms += 100;
                });
    if (times.IsOpen()) {
        EXPECT_TRUE(times.WriteBatch());
        times.Close();
    }
    live.counts = Counted(counts);
    return live;
}

// A record's angle against the live sample's, which keeps hundredths of a
// degree: within half a hundredth (and a float's step at 360).
bool Same(float record, double live) {
    return (std::isnan(record) && std::isnan(live)) || std::abs(record - live) <= 0.005 + 1e-4;
}

// The records of a loaded recording against the live samples of its stream:
// one per sample, every angle the same to the hundredth (NaN where not yet
// received), and with a timing file the time of each.
void ExpectRecordsOfLive(const RecordLoadOutput& out, const LiveReading& live, bool timed) {
    ASSERT_EQ(out.records.size(), live.samples.size());
    for (std::size_t i = 0; i < live.samples.size(); ++i) {
        const AnalysisSample& r = out.records[i];
        const LiveSample& s = live.samples[i];
        EXPECT_TRUE(Same(r.fHeading, s.Heading()) && Same(r.fPitch, s.Pitch()) &&
                    Same(r.fSpare1, s.Roll()))
            << "record " << i << ": " << r.fHeading << " " << r.fPitch << " " << r.fSpare1
            << " against " << s.Heading() << " " << s.Pitch() << " " << s.Roll();
        if (timed)
            EXPECT_EQ(out.times.UtcMs(i), live.sampleMs[i]) << i;
    }
}

// A stream's record and the timing file of its messages, the first at
// 2026-12-07 09:05:03 UTC; by default the golden transcript (sentences of many
// talkers, packets, garbage, a checksum that fails, a line longer than the
// framer's buffer) and its record as kept beside it.
struct CTimedRecording {
    explicit CTimedRecording(const std::string& stream = {}) {
        live = ReadLive(stream.empty() ? ReadFile(QUILLMAR_TEST_DATA "/mixed-stream.bin") : stream,
                        1796634303000, record);
        EXPECT_TRUE(WriteFile(record, stream.empty()
                                          ? ReadFile(QUILLMAR_TEST_DATA "/mixed-stream.record")
                                          : live.record));
    }
    QTemporaryDir dir;
    const std::string record = dir.filePath("2026-12-7-9-5-3.txt").toStdString();
    LiveReading live;
};

TEST(RecordLoader, TheGoldenRecordLoadsIntoTheLiveSamplesOfItsStream) {
    const CTimedRecording golden;
    const std::string& record = golden.record;
    const LiveReading& live = golden.live;
    ASSERT_GT(live.samples.size(), 5u);
    RecordLoadOutput out;
    const RecordLoadResult result = LoadRecordFile(record, out);
    EXPECT_EQ(result.status, RecordLoadResult::Status::Complete);
    EXPECT_EQ(out.times.source, RecordTimeSource::TimingFile);
    ExpectRecordsOfLive(out, live, true);
    EXPECT_EQ(Counted(out.counts), live.counts);
    EXPECT_EQ(result.nPositions, 2u);
}

// In the view: the time axis can be chosen once the records have times; it
// labels the grid with the clock, and the status bar's text of a record has
// its time.
TEST(RecordLoader, TheTimeAxisLabelsTheGridWithTheClock) {
    std::string stream;
    for (int i = 0; i < 3000; ++i)
        stream += "$GPHDT," + std::to_string(i % 360) + ",T\r\n";
    const CTimedRecording recording(stream);
    CViewUnderTest t;
    t.view.show(); // laid out at its size
    EXPECT_FALSE(t.commands.IsEnabled(ID_TIME_AXIS));
    ASSERT_TRUE(t.Load(QString::fromStdString(recording.record), AnalysisSource::Record));
    EXPECT_EQ(t.view.Analysis().TimeSourceText(), "时间来自计时文件");
    ASSERT_TRUE(t.commands.IsEnabled(ID_TIME_AXIS));
    CRecordingCanvas numbers, clock;
    t.view.OnDraw(numbers);
    EXPECT_TRUE(t.Run(ID_TIME_AXIS));
    EXPECT_EQ(t.commands.CheckState(ID_TIME_AXIS), 1);
    t.view.OnDraw(clock);
    // Records 1000 and 2000 came 100 and 200 seconds after the first.
    EXPECT_TRUE(numbers.FindText("1000") && numbers.FindText("2000"));
    EXPECT_FALSE(clock.FindText("1000") || clock.FindText("2000"));
    EXPECT_TRUE(clock.FindText("09:06:43") && clock.FindText("09:08:23"));
    const CPlotFrame frame = t.view.PlotFrame();
    EXPECT_EQ(t.view.Analysis().RecordTextAt(frame, Pixel(frame.MapX(frame.TimeX(0)))),
              "第 0 条记录，UTC 09:05:03.000，方位角 0.00，俯仰角 --");
}

// The real program recording the simulated instrument over a pseudo-terminal
// (every attitude sentence it knows, roll among them): the record it wrote
// loads into what the live path made of the stream sent, with its timing file
// and without it (then the angles alone).
TEST(RecordLoader, ARecordingOfTheProgramLoadsIntoTheLiveSamples) {
    CProgramOnTheSimulator p;
    ASSERT_TRUE(p.Start());
    TrafficOptions options;
    ASSERT_TRUE(options.ParseSentences("c,hdt,rot,gga,ths,hpr,psat,pashr"));
    std::string sent;
    for (std::uint64_t tick = 0; tick < 60; ++tick)
        sent += CInstrumentSimulator::Traffic(tick, 10, options);
    sent += CInstrumentSimulator::NPacket();
    ASSERT_TRUE(p.sim.Write(sent));
    const std::string record = p.Record().toStdString();
    const LiveReading live = ReadLive(sent, 0);
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(record) == live.record; }));
    p.program.terminate();
    ASSERT_TRUE(p.program.waitForFinished(10000));

    RecordLoadOutput out;
    EXPECT_EQ(LoadRecordFile(record, out).status, RecordLoadResult::Status::Complete);
    EXPECT_EQ(out.times.source, RecordTimeSource::TimingFile);
    ExpectRecordsOfLive(out, live, false);
    EXPECT_TRUE(std::is_sorted(out.times.arrOffsetMs.begin(), out.times.arrOffsetMs.end()));
    EXPECT_EQ(Counted(out.counts), live.counts);

    ASSERT_TRUE(QFile::remove(QString::fromStdString(CRecordTimesWriter::PathFor(record))));
    EXPECT_EQ(LoadRecordFile(record, out).status, RecordLoadResult::Status::Complete);
    EXPECT_EQ(out.times.source, RecordTimeSource::SentenceClock);
    ExpectRecordsOfLive(out, live, false);
}

} // namespace
