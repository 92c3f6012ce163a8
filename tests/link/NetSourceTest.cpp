#include "link/NetSessionFixture.h"
#include "link/ReplaySource.h"
#include "tools/Simulator.h"

#include <cmath>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/wait.h>

namespace {

using namespace net_test;
using namespace std::chrono_literals;
using namespace std::string_literals;

TEST(SourceAddressTest, ParsesEachFormAndNamesTheBadOnes) {
    const std::string kForms = "应为 serial:/dev/ttyUSB0、tcp://主机:端口、udp://:端口 或 "
                               "gpsd://主机[:端口]";
    const std::string kNoSender = "不是 IP 地址或网段（如 127.0.0.1 或 10.1.0.0/16）";
    struct Row {
        std::string url, canonical; // canonical empty: refused
        std::string reason = {};    // after the URL; the forms when empty
    };
    std::vector<Row> table = {
        {"serial:/dev/ttyUSB0", "serial:/dev/ttyUSB0"},
        {"tcp://192.168.1.20:10110", "tcp://192.168.1.20:10110"},
        {"tcp://[::1]:10110/", "tcp://[::1]:10110"},
        {"udp://:60001", "udp://:60001"},
        {"udp://239.192.0.1:60001", "udp://239.192.0.1:60001"},
        {"gpsd://", "gpsd://localhost:2947"},
        {"gpsd://boat:3000", "gpsd://boat:3000"},
        // The senders a UDP source takes: addresses and networks, written plain.
        {"udp://:60001?from=127.0.0.1,10.1.2.3/16", "udp://:60001?from=127.0.0.1,10.1.0.0/16"},
        {"udp://239.192.0.1:60001?from=[::1],fd00::1/8,0.0.0.0/0",
         "udp://239.192.0.1:60001?from=::1,fd00::/8,0.0.0.0/0"},
        // Bad senders, each named.
        {"udp://:60001?from=", "", "\"\" " + kNoSender},
        {"udp://:60001?from=127.0.0.1,", "", "\"\" " + kNoSender},
        {"udp://:60001?from=10.1.0.0/33", "", "\"10.1.0.0/33\" " + kNoSender},
        {"udp://:60001?from=::1/129", "", "\"::1/129\" " + kNoSender},
        {"udp://:60001?from=boat.local", "", "\"boat.local\" " + kNoSender},
        {"udp://:60001?from=10.1.0.0/1x", "", "\"10.1.0.0/1x\" " + kNoSender},
        {"udp://:60001?to=127.0.0.1", "", "UDP 数据源之后只能是 ?from=地址或网段[,…]"},
    };
    // Bad: no port where there is no default, no host, a path, junk.
    for (const char* url : {"tcp://host", "tcp://:10110", "tcp://host:0", "tcp://host:65536",
                            "udp://", "tcp://host:1/x", "serial:", "http://host:80", "/dev/ttyUSB0",
                            "tcp://host:12ab", "tcp://host:1?from=127.0.0.1"})
        table.push_back({url, ""});
    for (const Row& row : table) {
        SourceAddress address;
        std::string error;
        EXPECT_EQ(SourceAddress::Parse(row.url, &address, &error), !row.canonical.empty())
            << row.url;
        if (row.canonical.empty())
            EXPECT_EQ(error, "无法识别的数据源 \"" + row.url + "\"：" +
                                 (row.reason.empty() ? kForms : row.reason));
        else
            EXPECT_EQ(address.Url(), row.canonical);
    }
}

// A socket that sends from the loopback address given.
int SenderFrom(const char* address) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, address, &from.sin_addr);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from), 0) << address;
    return fd;
}

// The golden stream in datagrams of whole messages, a few hundred bytes each
// as NMEA goes over UDP, is recorded byte for byte. A datagram is a whole:
// one without a line feed is recorded as it came and the sentence of the
// next is read. A source with a list of senders records only theirs; the
// others are counted, never recorded. Each sender is named in the event log
// as it is first heard.
TEST(NetSessionUdpTest, FramesEachDatagramAloneAndTakesOnlyItsSenders) {
    struct Datagram {
        const char* from;
        std::string bytes;
    };
    struct Case {
        std::string query;
        std::vector<Datagram> sent;
        std::string record;
        double heading;         // NaN: the golden stream's, whatever it is
        std::uint64_t messages; // framed
        std::uint64_t refused;
        std::vector<std::string> logged;
    };
    // The golden stream cut where the framer has nothing half-done, at most
    // 300 bytes apart.
    std::vector<Datagram> golden;
    CReceiverMessage framer;
    for (std::size_t at = 0, start = 0, cut = 0; at < kStream.size(); ++at) {
        framer.FeedByte(static_cast<std::uint8_t>(kStream[at]), [](const FramedMessage&) {});
        if (CReceiverMessage copy = framer; !copy.Reset())
            cut = at + 1;
        if (cut > start && (at + 1 - start >= 300 || at + 1 == kStream.size())) {
            golden.push_back({"127.0.0.1", kStream.substr(start, cut - start)});
            start = cut;
        }
    }
    const std::vector<Case> table = {
        {"",
         golden,
         kRecord,
         NAN,
         FrameOffline(kStream).size(),
         0,
         {",input,new-sender,127.0.0.1,"}},
        {"",
         {{"127.0.0.1", "$GPHDT,99.0,T"}, {"127.0.0.1", "$GPHDT,12.5,T\r\n"}},
         "$GPHDT,99.0,T$GPHDT,12.5,T\r\n",
         12.5,
         2,
         0,
         {",input,new-sender,127.0.0.1,"}},
        {"?from=10.1.0.0/16,127.0.0.1",
         {{"127.0.0.2", "$GPHDT,1.0,T\r\n"}, {"127.0.0.1", "$GPHDT,2.0,T\r\n"}},
         "$GPHDT,2.0,T\r\n",
         2.0,
         1,
         1,
         {",input,sender-refused,127.0.0.2,", ",input,new-sender,127.0.0.1,"}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.query + " " + std::to_string(c.sent.size()) + " datagrams");
        CTempFolder folder;
        CInstrumentSession session;
        const unsigned port = StartUdpSession(session, folder.path, c.query);
        EXPECT_EQ(session.Link().strSource, "udp://:" + std::to_string(port) + c.query);
        for (const Datagram& datagram : c.sent) {
            const int sender = SenderFrom(datagram.from);
            SendDatagram(sender, port, datagram.bytes);
            close(sender);
        }
        ASSERT_TRUE(WaitFor([&] {
            return DatagramsHeard(session.Health().senders) == c.sent.size() &&
                   ReadFile(session.RecordPath()).size() >= c.record.size();
        }));
        EXPECT_EQ(ReadFile(session.RecordPath()), c.record);
        EXPECT_EQ(session.MessagesFramed(), c.messages);
        double heading = 0, replayed = 0;
        EXPECT_TRUE(session.Monitor().LastAngle(Quantity::Heading, &heading));
        if (!std::isnan(c.heading))
            EXPECT_EQ(heading, c.heading);
        EXPECT_EQ(session.Health().senders.RefusedDatagrams(), c.refused);
        const std::string log = ReadFile(session.EventLogPath());
        for (const std::string& line : c.logged)
            EXPECT_NE(log.find(line + "\n"), std::string::npos) << line << "\n" << log;
        // Played back, the raw capture frames each datagram alone, as it came.
        CInstrumentSession replay(nullptr, CInstrumentSession::Role::Replay);
        CReplaySource& source = replay.UseSource(std::make_unique<CReplaySource>());
        std::string error;
        ASSERT_TRUE(source.Open(session.RawCapturePath(), &error)) << error;
        source.SetSpeed(CReplaySource::kFastest);
        while (source.Pump(replay, 0) >= 0)
            replay.TakeMessages();
        EXPECT_EQ(replay.MessagesFramed(), session.MessagesFramed());
        EXPECT_TRUE(replay.Monitor().LastAngle(Quantity::Heading, &replayed));
        EXPECT_EQ(replayed, heading);
    }
}

// Holds the session's thread in its notice to the window until let go, as a
// thread held up by the disk or the machine would be held.
class CHoldingListener : public ISessionListener {
public:
    void Hold() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bHold = true;
    }
    bool Holding() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_bHolding;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bHold = false;
        m_changed.notify_all();
    }
    void SessionChanged() override {
        std::unique_lock<std::mutex> guard(m_lock);
        m_bHolding = m_bHold;
        m_changed.wait(guard, [&] { return !m_bHold; });
        m_bHolding = false;
    }
    void SessionError(const std::string&) override {}

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bHold = false, m_bHolding = false;
};

// While the session's thread is held, a burst of large datagrams overflows
// the socket's buffer. Every datagram sent is then either heard or counted
// as dropped by the system, in 数据状态 and in the event log.
TEST(NetSessionUdpTest, DatagramsTheSystemDroppedAreCounted) {
    CHoldingListener listener;
    CTempFolder folder;
    CInstrumentSession session(&listener);
    const unsigned port = StartUdpSession(session, folder.path);
    const int sender = SenderFrom("127.0.0.1");
    const sockaddr_in to = Loopback(port);
    std::uint64_t sent = 0;
    const auto send = [&](const std::string& bytes) {
        sent += sendto(sender, bytes.data(), bytes.size(), MSG_DONTWAIT,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to) > 0;
    };
    listener.Hold();
    const std::string line = "$GPHDT,1.0,T\r\n";
    send(line);
    ASSERT_TRUE(WaitFor([&] { return listener.Holding(); }));
    std::string large;
    while (large.size() + line.size() < 60000)
        large += line;
    for (int i = 0; i < 400; ++i) // 24 MB: more than the 8 MiB the buffer may have
        send(large);
    listener.Release();
    // A drop is told with the next datagram the socket takes.
    EXPECT_TRUE(WaitFor([&] {
        send(line);
        const SessionHealth health = session.Health();
        return DatagramsHeard(health.senders) + health.nDatagramsLost == sent;
    }));
    const std::uint64_t lost = session.Health().nDatagramsLost;
    EXPECT_GT(lost, 0u);
    // The log counts them too, a line a second at most.
    std::uint64_t logged = 0;
    EXPECT_TRUE(WaitFor([&] {
        logged = 0;
        const std::string log = ReadFile(session.EventLogPath());
        const std::string event = ",input,datagrams-lost,";
        for (std::size_t at = log.find(event); at != std::string::npos; at = log.find(event, at))
            logged += std::stoull(log.substr(at += event.size()));
        return logged == lost;
    })) << logged
        << " of " << lost;
    close(sender);
}

// A server feeding the stream in small pieces goes away and comes back on the
// same port: the session connects again by itself, the record is the golden
// one byte for byte, and the event log says so.
TEST_F(NetSessionTest, TcpSourceReconnectsAndTheRecordGoesOn) {
    int listening = Bound(SOCK_STREAM, 0);
    const unsigned port = LocalPort(listening);
    const std::string url = "tcp://127.0.0.1:" + std::to_string(port);
    Start(url);
    const std::size_t half = kStream.find("\n$GPROT") + 1; // a line's end
    std::size_t framed = 0;
    for (const std::string_view part :
         {std::string_view(kStream).substr(0, half), std::string_view(kStream).substr(half)}) {
        const int peer = AcceptWithin(listening);
        ASSERT_GE(peer, 0);
        for (std::size_t at = 0; at < part.size(); at += 7)
            ASSERT_TRUE(SendAll(peer, part.substr(at, 7)));
        // The whole part is taken before the server goes.
        framed += FrameOffline(std::string(part)).size();
        ASSERT_TRUE(WaitFor([&] { return m_session.MessagesFramed() == framed; }));
        EXPECT_EQ(m_session.Link().strSource, url);
        close(peer);
        close(listening);
        ASSERT_TRUE(WaitFor([&] { return !m_session.IsConnected(); }));
        listening = Bound(SOCK_STREAM, port);
        ASSERT_GE(listening, 0);
    }
    close(listening);
    EXPECT_TRUE(ReadFile(m_session.RecordPath()) == kRecord);
    EXPECT_TRUE(ReadFile(m_session.RawCapturePath()) == kStream); // binary and noise too
    const std::string events = ReadFile(m_session.EventLogPath());
    for (const char* event : {",link,lost,", ",link,restored,"})
        EXPECT_NE(events.find(event + url), std::string::npos) << event << "\n" << events;
}

// gpsd on a pseudo-terminal passes the receiver's sentences on in its raw
// mode; its own JSON lines are left out.
TEST_F(NetSessionTest, GpsdSourceRecordsTheReceiversSentences) {
    if (access("/usr/sbin/gpsd", X_OK) != 0)
        GTEST_SKIP() << "gpsd is not installed";
    CInstrumentSimulator pty;
    std::string error;
    ASSERT_TRUE(pty.Open(&error)) << error;
    const int probe = Bound(SOCK_STREAM, 0);
    const std::string port = std::to_string(LocalPort(probe));
    close(probe);
    const std::string socketPath = m_folder.path + "/gpsd.sock";
    const pid_t gpsd = fork();
    if (gpsd == 0) {
        execl("/usr/sbin/gpsd", "gpsd", "-N", "-n", "-b", "-S", port.c_str(), "-F",
              socketPath.c_str(), pty.SlavePath().c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Start("gpsd://127.0.0.1:" + port);
    ASSERT_TRUE(WaitFor([&] { return m_session.IsConnected(); }));
    // gpsd relays once it has the watch: a probe line until something comes.
    const std::string probeLine = CInstrumentSimulator::WithNmeaChecksum("$GPHDT,1.0,T");
    EXPECT_TRUE(WaitFor([&] {
        pty.Write(probeLine);
        std::this_thread::sleep_for(50ms);
        return m_session.MessagesFramed() > 0;
    }));
    std::string expected;
    for (std::size_t at = 0; at < kRecord.size();) {
        const std::size_t end = kRecord.find('\n', at) + 1;
        const std::string line = kRecord.substr(at, end - at);
        if (line.starts_with("$GP") && line.find('*') != std::string::npos)
            expected += line;
        at = end == 0 ? kRecord.size() : end;
    }
    ASSERT_FALSE(expected.empty());
    ASSERT_TRUE(pty.Write(expected));
    WaitFor([&] { return ReadFile(m_session.RecordPath()).ends_with(expected); });
    std::string record = ReadFile(m_session.RecordPath());
    while (record.starts_with(probeLine))
        record.erase(0, probeLine.size());
    EXPECT_EQ(record, expected);
    kill(gpsd, SIGTERM);
    waitpid(gpsd, nullptr, 0);
}

// Datagrams, one a line, to a socket bound on the loopback: together they are
// the record's text lines, byte for byte.
TEST_F(NetSessionTest, ServerSendsTheTextLinesAsDatagrams) {
    const int receiver = Bound(SOCK_DGRAM, 0);
    std::string error;
    ASSERT_TRUE(m_session.ServeUdp("127.0.0.1", LocalPort(receiver), &error)) << error;
    const int peer = StartOnOwnServer();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(SendAll(peer, kStream));
    const std::string lines = Recorded(kStream, true);
    std::string received;
    char datagram[65536];
    pollfd ready{receiver, POLLIN, 0};
    while (received.size() < lines.size() && poll(&ready, 1, 10000) == 1) {
        const ssize_t n = recv(receiver, datagram, sizeof datagram, 0);
        ASSERT_GT(n, 0);
        // Never two lines in one datagram (a long line's pieces may come apart).
        EXPECT_EQ(std::string_view(datagram, n - 1).find('\n'), std::string_view::npos);
        received.append(datagram, static_cast<std::size_t>(n));
    }
    EXPECT_TRUE(received == lines) << received;
    EXPECT_TRUE(RecordIs(kRecord));
    for (int fd : {peer, receiver})
        close(fd);
}

// While the source streams, the server is switched on, to another host on its
// port, off (its client let go, its port free) and on at another port; a port
// in use changes nothing. The record misses nothing and the event log notes
// each start and stop, the client and the server open to the network.
TEST_F(NetSessionTest, ServerIsSwitchedAndMovedWhileTheSourceStreams) {
    const int peer = StartOnOwnServer();
    ASSERT_GE(peer, 0);
    const std::size_t half = kStream.find("\n$GPROT") + 1; // a line's end
    const std::string parts[] = {kStream.substr(0, half), kStream.substr(half), kStream};
    std::string sent, events;
    const int probe = Bound(SOCK_STREAM, 0); // keeps the second port from the first server
    unsigned ports[2] = {0, LocalPort(probe)};
    for (int round = 0; round < 2; ++round) {
        if (round == 1)
            close(probe);
        ASSERT_EQ(m_session.ServeAt({"127.0.0.1", ports[round], {}, 0, {}}).get(), "");
        ports[round] = m_session.ServePort();
        const int client = Connected(ports[round]);
        ASSERT_TRUE(WaitFor([&] { return m_session.Serving().nClients == 1; }));
        ASSERT_TRUE(SendAll(peer, parts[round]));
        sent += parts[round];
        const std::string lines = Recorded(parts[round], true);
        EXPECT_TRUE(ReceiveAll(client, lines.size()) == lines);
        // A port in use: the server stays where it is, with its client.
        EXPECT_NE(m_session.ServeAt({"127.0.0.1", LocalPort(m_listening), {}, 0, {}}).get(), "");
        EXPECT_EQ(m_session.Serving().nPort, ports[round]);
        // Another host on the same port: our own listener makes way.
        ASSERT_EQ(m_session.ServeAt({"0.0.0.0", ports[round], {}, 0, {}}).get(), "");
        EXPECT_EQ(m_session.Serving().nPort, ports[round]);
        ASSERT_EQ(m_session.ServeAt({}).get(), "");
        EXPECT_EQ(ReceiveAll(client, 1), ""); // let go
        const int again = Bound(SOCK_STREAM, ports[round]);
        EXPECT_GE(again, 0);
        const std::string port = std::to_string(ports[round]);
        // The client is named as it connects; the server open to every host says so.
        for (const std::string& event :
             {"start,127.0.0.1:" + port,
              "client-connected,127.0.0.1:" + std::to_string(LocalPort(client)),
              "stop,127.0.0.1:" + port, "start,0.0.0.0:" + port, "open-to-network,0.0.0.0:" + port,
              "stop,0.0.0.0:" + port})
            events += ",serve," + event + ",\n";
        for (int fd : {client, again})
            close(fd);
        ASSERT_TRUE(SendAll(peer, parts[2])); // served to none
        sent += parts[2];
    }
    EXPECT_NE(ports[0], ports[1]);
    EXPECT_TRUE(RecordIs(Recorded(sent, false)));
    const std::string log = ReadFile(m_session.EventLogPath());
    std::string logged;
    for (std::size_t at = 0; (at = log.find(",serve,", at)) != std::string::npos; ++at)
        logged += log.substr(at, log.find('\n', at) + 1 - at);
    EXPECT_EQ(logged, events);
    close(peer);
}

} // namespace
