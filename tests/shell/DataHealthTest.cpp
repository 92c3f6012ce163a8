#include "platform/CommandIds.h"
#include "shell/DataHealthDlg.h"
#include "shell/MainFrame.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

// "数据状态" opened by its command on a live link shows a row for each type
// that came and the link's up-time, a disk short of space in red; choosing it
// again brings the same window forward.
TEST(DataHealth, TheWindowShowsWhatCameOnTheLink) {
    CLiveFrame live;
    live.Start();
    const std::string hdt = CInstrumentSimulator::WithNmeaChecksum("$GPHDT,12.5,T");
    ASSERT_TRUE(live.Send(hdt + "$GPHDT,1.0,T*00\r\n" + CInstrumentSimulator::NPacket(), 3));
    ASSERT_TRUE(live.frame->OnCommand(ID_DATA_HEALTH));
    auto* dialog = live.frame->findChild<CDataHealthDlg*>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QStringList rows; // type, count, checksum failures
    for (int row = 0; row < dialog->Table()->rowCount(); ++row)
        for (int column : {0, 1, 4})
            rows << dialog->Table()->item(row, column)->text();
    EXPECT_EQ(rows, (QStringList{"GPHDT", "2", "1", "数据包 0x6E ('n')", "1", "0"}));
    EXPECT_NE(dialog->findChild<QLabel*>("upTime")->text(), "未连接");

    auto* space = dialog->findChild<QLabel*>("freeSpace");
    dialog->SetLowSpaceBytes(UINT64_MAX);
    dialog->Refresh();
    EXPECT_TRUE(space->text().contains("不足 1 GB") && space->styleSheet().contains("#c00000"));
    dialog->grab().save(TestOutputDir() + "/data-health.png");
    ASSERT_TRUE(live.frame->OnCommand(ID_DATA_HEALTH));
    EXPECT_EQ(live.frame->findChildren<CDataHealthDlg*>().size(), 1);
}

} // namespace
