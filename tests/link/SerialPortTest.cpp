#include "link/SerialPort.h"
#include "support/OpenDescriptors.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Collects the notifications the watch thread posts.
class RecordingOwner : public IPortOwner {
public:
    void PostPortEvent(PortEvent event, unsigned, std::size_t bytes) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_events.push_back({event, bytes});
        m_changed.notify_all();
    }
    void PostPortError(const std::string& text) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_errors.push_back(text);
    }
    int Count(PortEvent event) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return CountLocked(event);
    }
    bool WaitFor(PortEvent event, int count, std::chrono::milliseconds timeout = 3000ms) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return CountLocked(event) >= count; });
    }
    std::vector<std::size_t> ReadSizes() {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::vector<std::size_t> sizes;
        for (const auto& e : m_events) {
            if (e.event == PortEvent::Received)
                sizes.push_back(e.bytes);
        }
        return sizes;
    }
    std::vector<std::string> Errors() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_errors;
    }

private:
    struct Posted {
        PortEvent event;
        std::size_t bytes;
    };
    int CountLocked(PortEvent event) const {
        int n = 0;
        for (const auto& e : m_events)
            n += e.event == event;
        return n;
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Posted> m_events;
    std::vector<std::string> m_errors;
};

std::string Pattern(std::size_t n, std::size_t offset = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i + offset) * 7 % 251);
    return s;
}

// Takes from the port until `expected` bytes have come or the time is up.
std::string Drain(CSerialPort& port, std::size_t expected,
                  std::chrono::milliseconds timeout = 5000ms) {
    std::string got;
    std::uint8_t buffer[CReceiveRing::kSize + 1];
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (got.size() < expected && std::chrono::steady_clock::now() < until) {
        const unsigned n = port.TakeReceived(buffer);
        got.append(reinterpret_cast<char*>(buffer), n);
        if (n == 0)
            std::this_thread::sleep_for(1ms);
    }
    return got;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_sim.Open(&error)) << error;
    }
    bool OpenPort(CSerialPort& port, unsigned number = 3, std::string device = {}) {
        return port.Open(&m_owner, number, device.empty() ? m_sim.SlavePath() : device, 9600, 'N',
                         8, 1, {PortEvent::Received, PortEvent::Cts}, 512);
    }

    CInstrumentSimulator m_sim;
    RecordingOwner m_owner;
};

TEST_F(SerialPortTest, BytesWrittenAtTheInstrumentArriveInOrder) {
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port));
    ASSERT_TRUE(port.StartWatching());
    const std::string sent = Pattern(50000);
    std::thread writer([&] {
        for (std::size_t at = 0; at < sent.size(); at += 997)
            m_sim.Write(sent.substr(at, 997));
    });
    const std::string got = Drain(port, sent.size());
    writer.join();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
    EXPECT_GT(m_owner.Count(PortEvent::Cts), 0);  // asked for
    EXPECT_EQ(m_owner.Count(PortEvent::Ring), 0); // not asked for
}

TEST_F(SerialPortTest, AReadStopsAtTheRingsEndAndTheNextContinuesAtItsStart) {
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port));
    ASSERT_TRUE(port.StartWatching());
    ASSERT_TRUE(m_sim.Write(Pattern(8150)));
    ASSERT_EQ(Drain(port, 8150), Pattern(8150));
    const std::string tail = Pattern(100, 8150);
    ASSERT_TRUE(m_sim.Write(tail));
    EXPECT_EQ(Drain(port, 100), tail);
    // No read crosses the end: the running total of the reads lands on 8192.
    std::size_t total = 0;
    bool landed = false;
    for (std::size_t size : m_owner.ReadSizes()) {
        total += size;
        landed = landed || total == CReceiveRing::kSize;
    }
    EXPECT_EQ(total, 8250u);
    EXPECT_TRUE(landed);
}

TEST_F(SerialPortTest, TakeReceivedOnAnEmptyRingGivesNothing) {
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port));
    std::uint8_t buffer[CReceiveRing::kSize + 1];
    buffer[0] = 'x';
    EXPECT_EQ(port.TakeReceived(buffer), 0u);
    EXPECT_EQ(buffer[0], 0);
}

// An owner that does not take for a long while loses nothing: the watch
// thread stops reading and the kernel holds the rest of the stream.
TEST_F(SerialPortTest, AFullRingWaitsForTheOwnerAndLosesNothing) {
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port));
    ASSERT_TRUE(port.StartWatching());
    const std::string sent = Pattern(3 * CReceiveRing::kSize);
    std::thread writer([&] { m_sim.Write(sent); });
    std::this_thread::sleep_for(600ms); // far longer than the ring takes to fill
    const std::string got = Drain(port, sent.size());
    writer.join();
    EXPECT_TRUE(got == sent);
}

TEST_F(SerialPortTest, SecondOpenOfAHeldDeviceFails) {
    auto first = std::make_unique<CSerialPort>();
    ASSERT_TRUE(OpenPort(*first));
    CSerialPort second;
    EXPECT_FALSE(OpenPort(second));
    EXPECT_EQ(second.OpenError(), EBUSY);
    EXPECT_FALSE(CSerialPort::CanOpenExclusive(m_sim.SlavePath()));
    EXPECT_TRUE(m_owner.Errors().empty()); // silently
    first.reset();
    EXPECT_TRUE(CSerialPort::CanOpenExclusive(m_sim.SlavePath()));
    EXPECT_TRUE(OpenPort(second));
}

TEST_F(SerialPortTest, DevicesThatAreNotSerialPortsAreRefused) {
    CSerialPort port;
    EXPECT_FALSE(OpenPort(port, 1, "/nonexistent/ttyUSB9"));
    EXPECT_EQ(port.OpenError(), ENOENT);
    char path[] = "/tmp/quillmar-notatty-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_FALSE(OpenPort(port, 1, path));
    EXPECT_EQ(port.OpenError(), ENOTTY);
    unlink(path);
}

TEST_F(SerialPortTest, SentBytesArriveAtTheInstrumentAndLeaveInputAlone) {
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port));
    ASSERT_TRUE(port.StartWatching());
    ASSERT_TRUE(m_sim.Write("$C1,2\r\n"));
    const std::uint8_t command[] = {0x02, 0x00, 0x06, 0x00, 0x06, 0x03};
    port.SendBytes(command, sizeof command);
    std::vector<std::string> commands;
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (commands.empty() && std::chrono::steady_clock::now() < until) {
        pollfd in{m_sim.MasterFd(), POLLIN, 0};
        poll(&in, 1, 50);
        commands = m_sim.ReadCommands();
    }
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], std::string(reinterpret_cast<const char*>(command), sizeof command));
    // The write did not purge what had been received.
    EXPECT_EQ(Drain(port, 7), "$C1,2\r\n");
}

TEST_F(SerialPortTest, UnplugIsReportedOnceAndTheDeviceIsReleased) {
    const int descriptorsBefore = OpenDescriptors();
    {
        CSerialPort port;
        ASSERT_TRUE(OpenPort(port, 5));
        ASSERT_TRUE(port.StartWatching());
        ASSERT_TRUE(m_sim.Write("$C1,2\r\n"));
        ASSERT_EQ(Drain(port, 7), "$C1,2\r\n");
        m_sim.Close(); // the adapter is pulled out
        ASSERT_TRUE(m_owner.WaitFor(PortEvent::Vanished, 1));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(m_owner.Count(PortEvent::Vanished), 1);
        EXPECT_FALSE(port.IsWatching());
        EXPECT_TRUE(m_owner.Errors().empty());
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore - 2); // the pty pair is gone too

    // A new device under the port: opening it works as before.
    std::string error;
    ASSERT_TRUE(m_sim.Open(&error)) << error;
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port, 5));
    ASSERT_TRUE(port.StartWatching());
    ASSERT_TRUE(m_sim.Write("$C3,4\r\n"));
    EXPECT_EQ(Drain(port, 7), "$C3,4\r\n");
}

TEST(SerialPortError, TextNamesTheCallTheReasonAndThePort) {
    EXPECT_EQ(CSerialPort::ComposeError("SetCommMask()", EIO, 3),
              "WARNING:  SetCommMask() Failed with the following error: \n输入/输出错误\n"
              "Port: 3\n");
}

} // namespace
