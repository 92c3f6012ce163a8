#include "link/InstrumentSession.h"
#include "link/ReplaySource.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

// What a stream frames into, and the record it must leave.
struct Expected {
    std::vector<std::string> messages; // as CMessageQueue encodes them, one each
    std::string record;
};

// A message as the window's queue encodes it.
std::string Encoded(const FramedMessage& message) {
    std::string encoded;
    CMessageQueue::Encode(encoded, message);
    return encoded;
}

Expected Expect(const std::string& stream) {
    Expected expected;
    CReceiverMessage framer;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                [&](const FramedMessage& message) {
                    expected.messages.push_back(Encoded(message));
                    expected.record += message.Text();
                });
    return expected;
}

std::vector<std::string> Split(const std::string& batch) {
    std::vector<std::string> messages;
    CMessageQueue::CReader reader(batch);
    for (FramedMessage message; reader.Next(message);)
        messages.push_back(Encoded(message));
    return messages;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_sim.Open(&error, m_folder.path + "/by-id-gnss")) << error;
    }
    void Start() {
        std::string error;
        ASSERT_TRUE(m_session.CreateRecord(m_folder.path + "/records", std::tm{}, &error)) << error;
        m_session.UsePort(1, m_folder.path + "/by-id-gnss");
        m_session.Start();
        ASSERT_TRUE(WaitFor([&] { return m_session.IsConnected(); }));
    }

    CTempFolder m_folder;
    CInstrumentSimulator m_sim;
    CInstrumentSession m_session;
};

// The window takes nothing for seconds while the line runs, flat out or at
// the instrument's own 960 bytes a second: the record is the stream, and
// afterwards the window gets every message in order. Beyond the queue's cap
// messages are left out of the window's share and counted, and the record is
// still whole.
TEST_F(SessionTest, AWindowThatStopsTakingLosesNothingBelowTheCap) {
    struct Case {
        const char* name;
        std::size_t bytes;  // of the simulator's traffic
        int bytesPerSecond; // 0: as fast as the line takes it
        std::size_t cap;    // of the window's queue
        bool dropsExpected;
    };
    const std::vector<Case> table = {
        {"full rate", 4u << 20, 0, CMessageQueue::kDefaultCap, false},
        {"line rate", 2900, 960, CMessageQueue::kDefaultCap, false},
        {"cap forced low", 256u << 10, 0, 8192, true},
    };
    std::uint64_t framedBefore = 0;
    std::string recordBefore;
    Start();
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        m_session.Queue().SetCap(c.cap);
        const std::uint64_t droppedBefore = m_session.Queue().DroppedMessages();
        std::string stream;
        for (std::uint64_t tick = 0; stream.size() < c.bytes; ++tick)
            stream += CInstrumentSimulator::Traffic(tick, 10.0, 0);
        const Expected expected = Expect(stream);
        const auto begun = std::chrono::steady_clock::now();
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t piece = c.bytesPerSecond ? 96 : 65536;
            ASSERT_TRUE(m_sim.Write(stream.substr(at, piece)));
            at += piece;
            if (c.bytesPerSecond)
                std::this_thread::sleep_until(begun + at * 1s / c.bytesPerSecond);
        }
        ASSERT_TRUE(WaitFor(
            [&] { return m_session.MessagesFramed() == framedBefore + expected.messages.size(); }));
        framedBefore += expected.messages.size();
        recordBefore += expected.record;
        // The window still away: the record is written all the same.
        const std::string record = m_session.RecordPath();
        EXPECT_TRUE(WaitFor([&] { return ReadFile(record).size() >= recordBefore.size(); }));
        EXPECT_TRUE(ReadFile(record) == recordBefore);
        const std::vector<std::string> taken = Split(m_session.TakeMessages());
        const std::uint64_t dropped = m_session.Queue().DroppedMessages() - droppedBefore;
        if (c.dropsExpected) {
            EXPECT_GT(dropped, 0u);
            EXPECT_EQ(taken.size() + dropped, expected.messages.size());
            ASSERT_FALSE(taken.empty());
            EXPECT_EQ(taken.front(), expected.messages.front());
        } else {
            EXPECT_EQ(dropped, 0u);
            EXPECT_TRUE(taken == expected.messages);
        }
    }
}

// A line cut by the unplug is dropped (and counted), not glued to the first
// line of the next connection; the adapter is reopened by itself.
TEST_F(SessionTest, AnUnplugDropsTheCutLineAndTheAdapterIsReopened) {
    Start();
    ASSERT_TRUE(m_sim.Write("$C1,2\r\n$C3,"));
    ASSERT_TRUE(WaitFor([&] { return m_session.MessagesFramed() == 1; }));
    m_sim.Close();
    ASSERT_TRUE(WaitFor([&] { return m_session.Link().kind == LinkState::Kind::Vanished; }));
    std::string error;
    ASSERT_TRUE(m_sim.Open(&error, m_folder.path + "/by-id-gnss")) << error;
    ASSERT_TRUE(WaitFor([&] { return m_session.IsConnected(); }, 3s));
    ASSERT_TRUE(m_sim.Write("4\r\n$C5,6\r\n"));
    ASSERT_TRUE(WaitFor([&] { return m_session.MessagesFramed() == 3; }));
    EXPECT_EQ(ReadFile(m_session.RecordPath()), "$C1,2\r\n4\r\n$C5,6\r\n");
    EXPECT_EQ(m_session.PartialMessages(), 1u);
    EXPECT_EQ(m_session.Health().nReconnects, 1u);
    const CLiveValues values = m_session.Monitor().Values();
    EXPECT_EQ(values.m_strHeading, "5");
    EXPECT_EQ(m_session.Monitor().Samples().Size(), 2u);
}

// A disk that fills up: a small tmpfs where the machine lets us mount one,
// else the file-size limit, which fails writes the same way.
class FullDisk {
public:
    explicit FullDisk(const std::string& folder) : m_folder(folder) {
        mkdir(folder.c_str(), 0777);
        m_bMounted = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=256k") == 0;
        std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FullDisk() {
        if (m_bMounted)
            umount2(m_folder.c_str(), MNT_DETACH);
        Free();
    }
    void Fill(const std::string& file) {
        struct stat info {};
        stat(file.c_str(), &info);
        if (!m_bMounted)
            return Limit(static_cast<rlim_t>(info.st_size));
        std::ofstream filler(m_folder + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            filler.flush();
    }
    void Free() {
        unlink((m_folder + "/filler").c_str());
        Limit(RLIM_INFINITY);
    }

private:
    static void Limit(rlim_t bytes) {
        rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::string m_folder;
    bool m_bMounted = false;
};

// A receiver that mixes binary frames (full of 0x02 and 0x03) and noise with
// its sentences, over the line: the raw capture is the stream byte for byte,
// every sentence that begins a line and holds no stray start byte is in the
// record (a false packet start gives back what it swallowed), and replaying
// the raw capture frames and counts exactly what the live session did.
TEST_F(SessionTest, BinaryMixedStreamsAreCapturedWholeAndReplayTheSame) {
    std::mt19937 random(7);
    auto byte = [&] { return static_cast<char>(random() % 4 ? random() % 256 : 2 + random() % 2); };
    std::string stream;
    std::vector<std::string> whole; // sentences the record must hold
    for (int i = 0; i < 3000; ++i) {
        std::string sentence =
            CInstrumentSimulator::WithNmeaChecksum("$GPHDT," + std::to_string(i % 360) + ".5,T");
        if (i % 7 == 3) // a stray start byte inside: this one is lost
            sentence.insert(9, 1, '\x02');
        else
            whole.push_back(sentence);
        stream += sentence;
        if (i % 5 == 0) { // a binary frame or noise between sentences, ended as a line
            for (int n = static_cast<int>(random() % 40); n > 0; --n)
                stream += byte();
            stream += "\r\n";
        }
    }
    Start();
    for (std::size_t at = 0; at < stream.size(); at += 4096)
        ASSERT_TRUE(m_sim.Write(stream.substr(at, 4096)));
    const std::string raw = m_session.RawCapturePath();
    ASSERT_TRUE(WaitFor([&] { return ReadFile(raw).size() >= stream.size(); }));
    EXPECT_TRUE(ReadFile(raw) == stream);
    const std::string record = ReadFile(m_session.RecordPath());
    std::size_t missing = 0;
    for (const std::string& sentence : whole)
        missing += record.find("\n" + sentence) == std::string::npos;
    EXPECT_EQ(missing, 0u) << "of " << whole.size() << " sentences";

    CInstrumentSession replay(nullptr, CInstrumentSession::Role::Replay);
    CReplaySource& source = replay.UseSource(std::make_unique<CReplaySource>());
    std::string error;
    ASSERT_TRUE(source.Open(raw, &error)) << error;
    EXPECT_EQ(source.TimeSource(), RecordTimeSource::TimingFile);
    source.SetSpeed(CReplaySource::kFastest);
    while (source.Pump(replay, 0) >= 0)
        replay.TakeMessages();
    EXPECT_EQ(replay.MessagesFramed(), m_session.MessagesFramed());
    const SessionHealth live = m_session.Health(), played = replay.Health();
    EXPECT_GT(live.nBadPackets, 0u);
    EXPECT_EQ(played.nBadPackets, live.nBadPackets);
    EXPECT_EQ(played.types.Other().count, live.types.Other().count);
}

// The record file's troubles, driven read by read without a port. A disk
// that fills up costs nothing below the backlog's limit and whole reads past
// it; a file deleted under the program is made again before the next read's
// messages are written, not a second later.
TEST(SessionRecord, AFullDiskAndADeletedFileLoseNoMoreThanWholeReadsPastTheBacklog) {
    CTempFolder folder;
    FullDisk disk(folder.path + "/disk");
    CInstrumentSession session;
    std::string error;
    ASSERT_TRUE(session.CreateRecord(folder.path + "/disk", std::tm{}, &error)) << error;
    const std::string path = session.RecordPath();
    std::vector<std::string> kept; // the messages the record must hold, as cut
    std::int64_t now = 0;
    // Reads of a line each, and with packets a packet whose data is the line's number.
    auto send = [&](int from, int to, bool packets) {
        for (int i = from; i < to; ++i) {
            const std::string data = std::to_string(i), line = "$C" + data + ".0,1.0\r\n";
            std::string packet;
            if (packets) {
                packet = Bytes({0x02, 0x00, 'A', static_cast<int>(data.size())}) + data;
                std::uint8_t sum = 0;
                for (std::size_t k = 1; k < packet.size(); ++k)
                    sum += static_cast<std::uint8_t>(packet[k]);
                packet += Bytes({sum, 0x03});
            }
            const std::string read = line + packet;
            const std::uint64_t lost = session.RecordDroppedBytes();
            session.Process(reinterpret_cast<const std::uint8_t*>(read.data()), read.size(), ++now);
            if (session.RecordDroppedBytes() != lost)
                continue;
            kept.push_back(line);
            if (packets)
                kept.push_back(data);
        }
    };
    // Below the limit the messages wait in memory and are written, in order,
    // once space returns.
    send(0, 10, false);
    disk.Fill(path);
    send(10, 3000, false); // well past the last free page
    EXPECT_EQ(session.Record().kind, RecordState::Kind::WriteFailing);
    disk.Free();
    send(3000, 3010, false);
    EXPECT_EQ(session.Record().kind, RecordState::Kind::Resumed);
    EXPECT_EQ(session.RecordDroppedBytes(), 0u);
    EXPECT_EQ(session.Monitor().Samples().Size(), 3010u);
    // Past it the record leaves whole reads out and the timing file their
    // times, so the reader still cuts every later message where it was received.
    session.SetRecordBacklogLimit(4096);
    disk.Fill(path);
    send(3010, 5000, true);
    ASSERT_GT(session.RecordDroppedBytes(), 0u);
    disk.Free();
    send(5000, 5010, true);
    EXPECT_EQ(session.Record().kind, RecordState::Kind::Resumed);
    const RecordReadBack back = ReadRecord(path);
    EXPECT_EQ(back.source, RecordTimeSource::TimingFile);
    EXPECT_TRUE(back.texts == kept)
        << back.texts.size() << " messages read, " << kept.size() << " kept";
    // The event log, on the same full disk, kept its lines until it could
    // write them, header first.
    const std::string events = ReadFile(session.EventLogPath());
    EXPECT_TRUE(events.starts_with("time,subject,event,value,limit\n")) << events;
    EXPECT_EQ(Occurrences(events, ",record,write-failed,,"), 2u) << events;
    EXPECT_EQ(Occurrences(events, ",record,resumed,,"), 2u) << events;
    EXPECT_EQ(Occurrences(events,
                          ",record,dropped," + std::to_string(session.RecordDroppedBytes()) + ","),
              1u)
        << events;

    ASSERT_EQ(unlink(path.c_str()), 0);
    send(5010, 5011, false);
    EXPECT_EQ(session.Record().kind, RecordState::Kind::Recreated);
    EXPECT_EQ(session.RecordPath(), path);
    EXPECT_EQ(ReadFile(path), "$C5010.0,1.0\r\n");
}

// A record folder that cannot be used at start-up (a USB disk or a share that
// comes late) is tried again: once it can be made the record starts there,
// and the event log has every line since the start, header first, with the
// gap it left.
TEST(SessionRecord, AFolderThatComesLateIsRecordedIntoOnceItCan) {
    CTempFolder folder;
    const std::string blocker = folder.path + "/usb";
    WriteFile(blocker, "not a folder yet");
    CInstrumentSession session;
    session.SetRecordRetryMs(20);
    std::string error;
    ASSERT_FALSE(session.CreateRecord(blocker + "/records", std::tm{}, &error));
    EXPECT_EQ(session.Record().kind, RecordState::Kind::CreateFailed);
    session.Start();
    session.LogEvent("program", "bad-setting", "PitchLimit");
    ASSERT_EQ(unlink(blocker.c_str()), 0);
    ASSERT_TRUE(WaitFor([&] { return session.Record().kind == RecordState::Kind::StartedLate; }));
    const std::string path = session.RecordPath();
    EXPECT_TRUE(path.starts_with(blocker + "/records/")) << path;
    ASSERT_TRUE(WaitFor([&] {
        return ReadFile(session.EventLogPath()).find("started-late") != std::string::npos;
    }));
    const std::string events = ReadFile(session.EventLogPath());
    std::size_t at = 0;
    for (const char* line :
         {"time,subject,event,value,limit\n", ",record,create-failed,", ",program,start,,\n",
          ",program,bad-setting,PitchLimit,\n", ",record,started-late,"}) {
        at = events.find(line, at);
        EXPECT_NE(at, std::string::npos) << line << "\n" << events;
    }
}

TEST(SessionRecord, StartsInTheSameSecondKeepEveryFile) {
    CTempFolder folder;
    std::tm when{};
    when.tm_year = 2005 - 1900, when.tm_mon = 11, when.tm_mday = 7;
    when.tm_hour = 9, when.tm_min = 5, when.tm_sec = 3;
    for (const std::string suffix : {"", "-2", "-3"}) {
        CRecordFile file;
        std::string error;
        ASSERT_TRUE(file.CreateNew(folder.path, when, &error)) << error;
        EXPECT_EQ(file.Path(), folder.path + "/2005-12-7-9-5-3" + suffix + ".txt");
        ASSERT_TRUE(file.Write("file" + suffix + "\n"));
    }
    EXPECT_EQ(ReadFile(folder.path + "/2005-12-7-9-5-3.txt"), "file\n");
}

} // namespace
