#include "link/SerialPort.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>

namespace {

using namespace std::chrono_literals;

// Keeps the notifications the watch thread posts.
class RecordingOwner : public IPortOwner {
public:
    void PostPortEvent(PortEvent event, unsigned, std::size_t bytes) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_events.push_back({event, bytes});
    }
    void PostPortError(const std::string&) override { ++m_nErrors; }
    std::vector<std::pair<PortEvent, std::size_t>> Events() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_events;
    }
    int Count(PortEvent event) {
        const auto events = Events();
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [&](const auto& e) { return e.first == event; }));
    }
    std::size_t ReceivedBytes() {
        std::size_t n = 0;
        for (const auto& [event, bytes] : Events())
            n += event == PortEvent::Received ? bytes : 0;
        return n;
    }
    std::atomic<int> m_nErrors{0};

private:
    std::mutex m_mutex;
    std::vector<std::pair<PortEvent, std::size_t>> m_events;
};

std::string Pattern(std::size_t n, std::size_t offset = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i + offset) * 7 % 251);
    return s;
}

// Takes from the port until `expected` bytes have come or five seconds pass.
std::string Drain(CSerialPort& port, std::size_t expected) {
    std::string got;
    std::uint8_t buffer[CReceiveRing::kSize + 1];
    WaitFor(
        [&] {
            got.append(reinterpret_cast<char*>(buffer), port.TakeReceived(buffer));
            return got.size() >= expected;
        },
        5s);
    return got;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_sim.Open(&error)) << error;
    }
    bool OpenPort(CSerialPort& port, std::string device = {}, bool watch = false) {
        return port.Open(&m_owner, 3, device.empty() ? m_sim.SlavePath() : device, 9600, 'N', 8, 1,
                         {PortEvent::Received, PortEvent::Cts}, 512) &&
               (!watch || port.StartWatching());
    }

    CInstrumentSimulator m_sim;
    RecordingOwner m_owner;
};

// Nobody drains a ring the watch thread has filled: the kernel holds the rest
// of three ringfuls written unevenly, and a command sent meanwhile purges none
// of it. No read crosses the ring's end: after 8150 bytes one lands there.
TEST_F(SerialPortTest, AFullRingLosesNothingAndNoReadCrossesItsEnd) {
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port));
    std::uint8_t buffer[CReceiveRing::kSize + 1];
    buffer[0] = 'x';
    EXPECT_EQ(port.TakeReceived(buffer), 0u); // an empty ring gives nothing
    EXPECT_EQ(buffer[0], 0);
    ASSERT_TRUE(port.StartWatching());
    ASSERT_TRUE(m_sim.Write(Pattern(8150)));
    ASSERT_EQ(Drain(port, 8150), Pattern(8150));
    const std::string sent = Pattern(3 * CReceiveRing::kSize, 8150);
    std::thread writer([&] {
        for (std::size_t at = 0; at < sent.size(); at += 997)
            m_sim.Write(sent.substr(at, 997));
    });
    EXPECT_TRUE(WaitFor([&] { return m_owner.ReceivedBytes() == 8150 + CReceiveRing::kSize - 1; }));
    // A command sent now reaches the instrument and purges nothing.
    const std::string command = Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x03});
    port.SendBytes(reinterpret_cast<const std::uint8_t*>(command.data()), command.size());
    std::vector<std::string> commands;
    WaitFor([&] {
        pollfd in{m_sim.MasterFd(), POLLIN, 0};
        poll(&in, 1, 50);
        return !(commands = m_sim.ReadCommands()).empty();
    });
    EXPECT_EQ(commands, std::vector<std::string>{command});
    const std::string got = Drain(port, sent.size());
    writer.join();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
    std::size_t total = 0;
    bool landed = false;
    for (const auto& [event, size] : m_owner.Events()) {
        total += event == PortEvent::Received ? size : 0;
        landed = landed || total == CReceiveRing::kSize;
    }
    EXPECT_TRUE(landed);
    EXPECT_GT(m_owner.Count(PortEvent::Cts), 0);  // asked for
    EXPECT_EQ(m_owner.Count(PortEvent::Ring), 0); // not asked for
}

// A held device is refused silently with EBUSY until it is let go; devices
// that are missing or are no serial port are refused with their reason.
TEST_F(SerialPortTest, OpensOnlyAFreeSerialPort) {
    auto first = std::make_unique<CSerialPort>();
    ASSERT_TRUE(OpenPort(*first));
    CSerialPort second;
    EXPECT_FALSE(OpenPort(second));
    EXPECT_EQ(second.OpenError(), EBUSY);
    EXPECT_FALSE(CSerialPort::CanOpenExclusive(m_sim.SlavePath()));
    EXPECT_EQ(m_owner.m_nErrors, 0);
    first.reset();
    EXPECT_TRUE(CSerialPort::CanOpenExclusive(m_sim.SlavePath()));
    EXPECT_TRUE(OpenPort(second));
    for (auto [device, error] :
         {std::pair{"/nonexistent/ttyUSB9", ENOENT}, {"/dev/null", ENOTTY}}) {
        CSerialPort port;
        EXPECT_FALSE(OpenPort(port, device));
        EXPECT_EQ(port.OpenError(), error) << device;
    }
}

TEST_F(SerialPortTest, UnplugIsReportedOnceAndTheDeviceIsReleased) {
    const int descriptorsBefore = OpenDescriptors();
    {
        CSerialPort port;
        ASSERT_TRUE(OpenPort(port, {}, true));
        ASSERT_TRUE(m_sim.Write("$C1,2\r\n"));
        ASSERT_EQ(Drain(port, 7), "$C1,2\r\n");
        m_sim.Close(); // the adapter is pulled out
        ASSERT_TRUE(WaitFor(
            [&] { return m_owner.Count(PortEvent::Vanished) > 0 && !port.IsWatching(); }, 3s));
        EXPECT_EQ(m_owner.Count(PortEvent::Vanished), 1);
        EXPECT_EQ(m_owner.m_nErrors, 0);
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore - 2); // the pty pair is gone too
}

} // namespace
