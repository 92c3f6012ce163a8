// Unplug/replug soak: the adapter behind a by-id link vanishes and comes back,
// again and again, while the main frame keeps the line. Every cycle must
// reconnect within 2.5 s, the frame must stay nearly idle while the device is
// away, descriptors must not leak, and every line sent while connected must
// arrive exactly once, in order. SOAK_CYCLES sets the number of cycles (200).
#include "shell/MainFrame.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

TEST(ReplugSoak, EveryCycleReconnectsPromptlyAndLosesNothing) {
    const int cycles = qEnvironmentVariableIsSet("SOAK_CYCLES")
                           ? qEnvironmentVariableIntValue("SOAK_CYCLES")
                           : 200;
    constexpr int kLinesPerCycle = 5;
    constexpr int kUnpluggedMs = 600;

    CLiveFrame live;
    live.Start();
    CInstrumentSimulator& sim = live.sim;
    auto connected = [&] { return live.frame->Session().IsConnected(); };
    ASSERT_TRUE(WaitUntil(connected));
    const int descriptorsConnected = OpenDescriptors();

    std::vector<std::string> sent;
    double worstReconnect = 0, totalReconnect = 0, unpluggedCpu = 0, unpluggedWall = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (int i = 0; i < kLinesPerCycle; ++i) {
            sent.push_back("$C" + std::to_string(cycle) + "." + std::to_string(i) + ",0\r\n");
            ASSERT_TRUE(sim.Write(sent.back()));
        }
        ASSERT_TRUE(WaitUntil([&] { return live.recorder.m_messages.size() >= sent.size(); }))
            << "cycle " << cycle;

        sim.Close(); // unplugged
        ASSERT_TRUE(WaitUntil([&] { return !connected(); })) << "cycle " << cycle;
        const double cpuBefore = CpuSeconds();
        QElapsedTimer away;
        away.start();
        Idle(kUnpluggedMs);
        unpluggedCpu += CpuSeconds() - cpuBefore;
        unpluggedWall += static_cast<double>(away.elapsed()) / 1000.0;

        std::string error;
        ASSERT_TRUE(sim.Open(&error, live.Link().toStdString())) << error; // plugged in again
        QElapsedTimer back;
        back.start();
        ASSERT_TRUE(WaitUntil(connected, 5000)) << "cycle " << cycle;
        const double seconds = static_cast<double>(back.elapsed()) / 1000.0;
        worstReconnect = std::max(worstReconnect, seconds);
        totalReconnect += seconds;
        EXPECT_LE(seconds, 2.5) << "cycle " << cycle;
    }
    const int descriptorsAfter = OpenDescriptors();

    std::vector<std::string> received;
    for (const auto& m : live.recorder.m_messages)
        received.push_back(m.bytes);
    EXPECT_EQ(received, sent);
    EXPECT_EQ(descriptorsAfter, descriptorsConnected);
    const double cpuShare = unpluggedWall > 0 ? unpluggedCpu / unpluggedWall : 0;
    EXPECT_LT(cpuShare, 0.05);
    EXPECT_TRUE(live.prompter.m_boxes.empty());
    EXPECT_TRUE(live.prompter.m_notes.empty());

    const QString report =
        QString("soak: %1 cycles, reconnect worst %2 s mean %3 s, CPU while unplugged %4 %, "
                "descriptors %5 -> %6, %7 lines received of %8\n")
            .arg(cycles)
            .arg(worstReconnect, 0, 'f', 3)
            .arg(totalReconnect / std::max(cycles, 1), 0, 'f', 3)
            .arg(cpuShare * 100, 0, 'f', 2)
            .arg(descriptorsConnected)
            .arg(descriptorsAfter)
            .arg(received.size())
            .arg(sent.size());
    std::fputs(qPrintable(report), stdout);
    QFile out(TestOutputDir() + "/soak-report.txt");
    if (out.open(QIODevice::WriteOnly))
        out.write(report.toUtf8());
}

} // namespace
