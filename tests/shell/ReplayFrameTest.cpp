#include "shell/CommandIds.h"
#include "shell/DataHealthDlg.h"
#include "shell/MainFrame.h"
#include "shell/ReplayDlg.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// "数据状态" opened by its command on a live link shows a row for each type
// that came and the link's up-time, a disk short of space in red; choosing it
// again brings the same window forward. "数据回放…" then plays a record into
// the displays and 数据状态 while the live line goes on being recorded; the
// speed is chosen with the keyboard in the replay window, and "结束回放"
// brings the live data back.
TEST(ReplayFrame, DataHealthThenAReplayTakesTheDisplaysAndGivesThemBack) {
    CLiveFrame live;
    live.Start();
    const std::string hdt = CInstrumentSimulator::WithNmeaChecksum("$GPHDT,12.5,T");
    ASSERT_TRUE(live.Send(hdt + "$GPHDT,1.0,T*00\r\n" + CInstrumentSimulator::NPacket(), 3));
    CInstrumentSession& session = live.frame->Session();
    ASSERT_TRUE(live.frame->OnCommand(ID_DATA_HEALTH));
    auto* health = live.frame->findChild<CDataHealthDlg*>();
    ASSERT_TRUE(health && health->isVisible());
    QStringList rows; // type, count, checksum failures
    for (int row = 0; row < health->Table()->rowCount(); ++row)
        for (int column : {0, 1, 4})
            rows << health->Table()->item(row, column)->text();
    EXPECT_EQ(rows, (QStringList{"GPHDT", "2", "1", "数据包 0x6E ('n')", "1", "0"}));
    EXPECT_NE(health->findChild<QLabel*>("upTime")->text(), "未连接");
    auto* space = health->findChild<QLabel*>("freeSpace");
    health->SetLowSpaceBytes(UINT64_MAX);
    health->Refresh();
    EXPECT_TRUE(space->text().contains("不足 1 GB") && space->styleSheet().contains("#c00000"));
    health->grab().save(TestOutputDir() + "/data-health.png");
    ASSERT_TRUE(live.frame->OnCommand(ID_DATA_HEALTH));
    EXPECT_EQ(live.frame->findChildren<CDataHealthDlg*>().size(), 1);

    live.prompter.m_files.push_back(QUILLMAR_TEST_DATA "/mixed-stream.record");
    ASSERT_TRUE(live.frame->OnCommand(ID_REPLAY));
    CReplayDlg* replay = live.frame->Replay();
    ASSERT_TRUE(replay && replay->isVisible());
    EXPECT_EQ(&live.view->Monitor(), &replay->Session().Monitor());
    EXPECT_EQ(health->windowTitle(), "数据状态（回放）");

    QTest::keyClick(replay->SpeedBox(), Qt::Key_End); // "最快"
    ASSERT_TRUE(WaitUntil([&] { return replay->Source().CurrentStatus().bFinished; }));
    ASSERT_TRUE(WaitUntil([&] { return live.view->Monitor().Values().m_dHeading == 359.9; }));
    auto* pane = live.frame->findChild<QLabel*>("replayPane");
    // The date is the file's (the record's name carries none), the time its sentences'.
    const QRegularExpression expected(R"(^回放 \d{4}-\d\d-\d\d 01:23:4\d\.\d \(最快，已结束\)$)");
    ASSERT_TRUE(WaitUntil([&] { return expected.match(pane->text()).hasMatch(); }))
        << pane->text().toStdString();
    replay->grab().save(TestOutputDir() + "/replay.png");

    // The live line meanwhile: recorded and interpreted, not shown.
    const std::string line = CInstrumentSimulator::WithNmeaChecksum("$GPHDT,45.0,T");
    ASSERT_TRUE(live.sim.Write(line));
    ASSERT_TRUE(WaitUntil([&] { return session.Monitor().Values().m_dHeading == 45.0; }));
    EXPECT_EQ(live.view->Monitor().Values().m_dHeading, 359.9);

    ASSERT_TRUE(live.frame->OnCommand(ID_REPLAY_END));
    EXPECT_EQ(live.frame->Replay(), nullptr);
    EXPECT_EQ(&live.view->Monitor(), &session.Monitor());
    EXPECT_EQ(health->windowTitle(), "数据状态");
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(live.frame->OnCommand(ID_REPLAY_END)); // nothing to end
    EXPECT_TRUE(ReadFile(live.RecordPath()).ends_with(line));
}

} // namespace
