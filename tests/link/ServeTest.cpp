// The sharing server's bounds, over real loopback sockets: how many clients,
// how much queued for them, and what happens when descriptors run out.
#include "link/NetSessionFixture.h"
#include "tools/Simulator.h"

#include <atomic>
#include <cerrno>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace net_test;
using namespace std::chrono_literals;

// This process's descriptor limit lowered for a test, and put back after it.
struct CDescriptorLimit {
    rlimit saved{};
    explicit CDescriptorLimit(rlim_t soft) {
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit lower = saved;
        lower.rlim_cur = soft;
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &lower), 0);
    }
    ~CDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved); }
};

std::string ClientName(int fd) {
    return "127.0.0.1:" + std::to_string(LocalPort(fd));
}

// With room for two clients, a third is taken and closed at once, counted and
// named in the event log; once a client leaves, the next one is served.
// Clients that connect again and again, or all at once, write 60 lines a
// minute at most; the rest are counted in one line, written at the latest as
// the session ends.
TEST(NetSessionServeTest, ServerTakesNoMoreClientsThanItsCapAndLogsSixtyAMinute) {
    CTempFolder folder;
    std::string path, refused;
    {
        CInstrumentSession session;
        std::string error;
        ASSERT_TRUE(session.CreateRecord(folder.path, std::tm{}, &error)) << error;
        session.SetServeLimits({2, 16u << 20, 16});
        ASSERT_TRUE(session.Serve("127.0.0.1", 0, &error)) << error;
        const int listening = Bound(SOCK_STREAM, 0);
        session.UseSourceAddress(
            Address("tcp://127.0.0.1:" + std::to_string(LocalPort(listening))));
        session.Start();
        const int peer = AcceptWithin(listening);
        ASSERT_GE(peer, 0);
        const unsigned port = session.ServePort();
        int clients[] = {Connected(port), Connected(port), -1, -1};
        ASSERT_TRUE(WaitFor([&] { return session.Serving().nClients == 2; }));
        clients[2] = Connected(port);
        EXPECT_EQ(ReceiveAll(clients[2], 1), ""); // closed without a byte
        ASSERT_TRUE(WaitFor([&] { return session.Serving().nRefused == 1; }));
        EXPECT_EQ(session.Serving().nClients, 2u);
        refused = ClientName(clients[2]);
        close(clients[0]);
        ASSERT_TRUE(WaitFor([&] { return session.Serving().nClients == 1; }));
        clients[3] = Connected(port);
        ASSERT_TRUE(WaitFor([&] { return session.Serving().nClients == 2; }));
        const std::string line = "$GPHDT,12.5,T\r\n";
        ASSERT_TRUE(SendAll(peer, line));
        for (int i : {1, 3})
            EXPECT_EQ(ReceiveAll(clients[i], line.size()), line) << i;
        // Seventy more all at once: none is left unseen in the listener's queue.
        std::vector<int> flood;
        const sockaddr_in address = Loopback(port);
        while (flood.size() < 70) {
            flood.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            connect(flood.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
        ASSERT_TRUE(WaitFor([&] { return session.Serving().nRefused == 71; }))
            << session.Serving().nRefused;
        path = session.EventLogPath();
        EXPECT_EQ(ReadFile(path).find("client-lines-skipped"), std::string::npos);
        for (int fd : flood)
            close(fd);
        for (int fd : {peer, listening, clients[1], clients[2], clients[3]})
            close(fd);
    }
    const std::string log = ReadFile(path);
    EXPECT_NE(log.find(",serve,client-refused," + refused + ",2\n"), std::string::npos) << log;
    EXPECT_EQ(Occurrences(log, ",serve,client-connected,127.0.0.1:"), 3u) << log;
    EXPECT_EQ(Occurrences(log, ",serve,client-connected,") +
                  Occurrences(log, ",serve,client-refused,"),
              60u);
    EXPECT_NE(log.find(",serve,client-lines-skipped,14,\n"), std::string::npos) << log;
}

// With every descriptor taken the listener rests instead of waking the thread
// for a client it cannot take, says so once, and takes the client when
// descriptors come back. Clients then take what is left but the session's
// reserve: its source, lost, connects again.
TEST_F(NetSessionTest, ServerNeverStarvesTheSessionOfDescriptors) {
    m_session.SetServeLimits({1000, 16u << 20, 16});
    std::string error;
    ASSERT_TRUE(m_session.Serve("127.0.0.1", 0, &error)) << error;
    int peer = StartOnOwnServer();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(WaitFor([&] { return m_session.IsConnected(); }));
    const unsigned port = m_session.ServePort();
    const CDescriptorLimit limit(static_cast<rlim_t>(OpenDescriptors() + 48));

    const int waiting = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::vector<int> taken;
    for (int fd; taken.size() < 100 && (fd = dup(waiting)) >= 0;)
        taken.push_back(fd);
    ASSERT_EQ(errno, EMFILE);
    const sockaddr_in to = Loopback(port);
    ASSERT_EQ(connect(waiting, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
    ASSERT_TRUE(WaitFor([&] { return m_session.Serving().nAcceptError == EMFILE; }));
    // Over a rest and a half the thread wakes about as often as its 100 ms
    // ticks, where a listener polled again and again wakes it thousands of times.
    const auto since = std::chrono::steady_clock::now();
    const std::uint64_t wakeups = m_session.Wakeups();
    std::this_thread::sleep_for(1500ms);
    const auto ticks = (std::chrono::steady_clock::now() - since) / 100ms;
    EXPECT_LT(m_session.Wakeups() - wakeups, static_cast<std::uint64_t>(3 * ticks + 10));
    for (int fd : taken)
        close(fd);
    ASSERT_TRUE(WaitFor([&] { return m_session.Serving().nClients == 1; }));
    EXPECT_EQ(m_session.Serving().nAcceptError, 0);
    std::string log = ReadFile(m_session.EventLogPath());
    EXPECT_EQ(Occurrences(log, ",serve,accept-paused,EMFILE,\n"), 1u) << log;
    EXPECT_EQ(Occurrences(log, ",serve,accept-resumed,,\n"), 1u) << log;

    std::vector<int> clients = {waiting};
    while (clients.size() < 48 && m_session.Serving().nRefused == 0) {
        clients.push_back(Connected(port));
        ASSERT_TRUE(WaitFor([&] {
            const ServeState state = m_session.Serving();
            return state.nClients + state.nRefused == clients.size();
        }));
    }
    ASSERT_EQ(m_session.Serving().nRefused, 1u);
    log = ReadFile(m_session.EventLogPath());
    EXPECT_NE(log.find(",serve,client-refused-descriptors," + ClientName(clients.back()) + ",16\n"),
              std::string::npos)
        << log;
    close(peer);
    peer = AcceptWithin(m_listening);
    ASSERT_GE(peer, 0);
    const std::string line = "$GPHDT,270.0,T\r\n";
    ASSERT_TRUE(SendAll(peer, line));
    EXPECT_TRUE(WaitFor([&] { return ReadFile(m_session.RecordPath()).ends_with(line); }));
    for (int fd : clients)
        close(fd);
    close(peer);
}

// A client that stops reading goes once its own queue passes 1 MiB, or
// once all queues together pass their bound (the log names the bound it
// passed): it, not the first or the last to connect, and the clients that
// read get every line. The stream comes in pieces the readers keep up with,
// so only the stuck client falls behind; the record stays whole.
class StuckClientTest : public NetSessionTest {
protected:
    void DropsOnlyTheStuckClient(const ServeLimits& limits, std::size_t bound) {
        m_session.SetServeLimits(limits);
        std::string error;
        ASSERT_TRUE(m_session.Serve("127.0.0.1", 0, &error)) << error;
        const unsigned port = m_session.ServePort();
        const int clients[] = {Connected(port), Connected(port, 4096), Connected(port)};
        const int peer = StartOnOwnServer();
        ASSERT_GE(peer, 0);
        ASSERT_TRUE(WaitFor([&] { return m_session.Serving().nClients == 3; }));
        // Two readers, each keeping what came and how much (ended however the test ends).
        struct Reader {
            std::string received;
            std::atomic<std::size_t> got{0};
            std::atomic<bool> stop{false};
            std::thread thread;
            void Run(int fd) {
                char buffer[65536];
                pollfd ready{fd, POLLIN, 0};
                while (!stop && poll(&ready, 1, 100) >= 0) {
                    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n == 0)
                        return;
                    if (n > 0) {
                        received.append(buffer, static_cast<std::size_t>(n));
                        got = received.size();
                    }
                }
            }
            ~Reader() {
                stop = true;
                if (thread.joinable())
                    thread.join();
            }
        } readers[2];
        for (int i = 0; i < 2; ++i)
            readers[i].thread = std::thread([&, i] { readers[i].Run(clients[2 * i]); });
        std::string sent = kStream, lines = Recorded(kStream, true);
        ASSERT_TRUE(SendAll(peer, kStream)); // binary and noise too
        // Until the stuck client has gone, and a piece more.
        for (std::uint64_t tick = 0, after = 0; after < 2 && lines.size() < (16u << 20);) {
            ASSERT_TRUE(WaitFor(
                [&] { return readers[0].got == lines.size() && readers[1].got == lines.size(); }));
            after += m_session.Serving().nDropped > 0;
            std::string piece;
            while (piece.size() < (64u << 10))
                piece += CInstrumentSimulator::Traffic(tick++, 10.0, 1);
            ASSERT_TRUE(SendAll(peer, piece));
            sent += piece;
            lines += Recorded(piece, true);
        }
        ASSERT_TRUE(WaitFor(
            [&] { return readers[0].got == lines.size() && readers[1].got == lines.size(); }));
        for (Reader& reader : readers) {
            reader.stop = true;
            reader.thread.join();
            EXPECT_TRUE(reader.received == lines);
        }
        EXPECT_EQ(m_session.Serving().nDropped, 1u);
        EXPECT_EQ(m_session.Serving().nClients, 2u);
        const std::string log = ReadFile(m_session.EventLogPath());
        EXPECT_NE(log.find(",serve,client-dropped," + ClientName(clients[1]) + "," +
                           std::to_string(bound) + "\n"),
                  std::string::npos)
            << log;
        EXPECT_TRUE(RecordIs(Recorded(sent, false)));
        for (int fd : {peer, clients[0], clients[1], clients[2]})
            close(fd);
    }
};

TEST_F(StuckClientTest, ItsOwnQueuePastAMebibyte) {
    DropsOnlyTheStuckClient({}, CNmeaServer::kClientQueueBytes);
}

TEST_F(StuckClientTest, AllQueuesTogetherPastTheirBound) {
    DropsOnlyTheStuckClient({32, 256u << 10, 16}, 256u << 10);
}

} // namespace
