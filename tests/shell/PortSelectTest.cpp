#include "shell/PortSelectDlg.h"
#include "shell/StatusTexts.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QTimer>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(PortSelect, PreselectsTheCurrentPortOrTheEntryAtItsNumber) {
    struct Case {
        QStringList names;
        int port;
        int index;
    };
    const std::vector<Case> table = {
        {{"COM1", "COM3"}, 3, 1},         // by name
        {{"COM1", "COM3", "COM4"}, 2, 2}, // COM2 not free: position 2, COM4
        {{"COM1", "COM3"}, 5, -1},        // nothing at that position
        {{"COM2"}, 2, 0},
        {{"COM1", "COM2"}, 0, 0},
    };
    for (const Case& c : table)
        EXPECT_EQ(CPortSelectDlg::PreselectIndex(c.names, c.port), c.index)
            << c.names.join(",").toStdString() << " port " << c.port;
}

// The dialog run and answered with `button` ("设置" or "取消") after choosing
// list entry `choose` (-1: the one preselected); without free ports it warns
// before it shows, and the port stays.
TEST(PortSelect, SetStoresTheChosenPortsNumberAndCancelKeepsIt) {
    const QList<CPortSelectDlg::Entry> two = {{"COM1", "/dev/ttyUSB0"}, {"COM3", "/dev/ttyUSB1"}};
    struct Case {
        QList<CPortSelectDlg::Entry> free;
        int port;
        QString button;
        int choose;
        int result, portAfter;
    };
    const std::vector<Case> table = {
        {two, 1, "取消", 1, QDialog::Rejected, 1},  {two, 1, "设置", 1, QDialog::Accepted, 3},
        {two, 3, "设置", -1, QDialog::Accepted, 3}, {two, 3, "设置", 0, QDialog::Accepted, 1},
        {{}, 4, "设置", -1, QDialog::Accepted, 4},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.button.toStdString() + " " + std::to_string(c.choose));
        CScriptedPrompter prompter;
        int port = c.port;
        CPortSelectDlg dialog(c.free, &port);
        QTimer::singleShot(0, &dialog, [&] {
            if (c.choose >= 0)
                dialog.ComboBox()->setCurrentIndex(c.choose);
            if (c.choose < 0 && !c.free.isEmpty())
                dialog.grab().save(TestOutputDir() + "/port-select.png");
            ClickButton(&dialog, c.button);
        });
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(port, c.portAfter);
        EXPECT_EQ(prompter.m_boxes.size(), c.free.isEmpty() ? 1u : 0u);
        if (c.free.isEmpty())
            EXPECT_EQ(prompter.m_boxes[0].text, "     没有空闲串口可用!\n串口被占用或没有连接好");
        else
            EXPECT_EQ(dialog.ComboBox()->itemText(1), "COM3  /dev/ttyUSB1");
    }
}

// Refused a port: join the device's group, unless only root may use it (as on
// a system without a rule for the adapter): then a udev rule comes first.
TEST(PortSelect, NoPermissionSaysWhichGroupToJoinAndNeverRoot) {
    if (getuid() != 0)
        GTEST_SKIP() << "giving the device file a group needs root";
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyUSB0");
    QFile(device).open(QIODevice::WriteOnly);
    const struct group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    const struct {
        gid_t group;
        mode_t mode;
        bool joinGroup;
    } table[] = {{dialout->gr_gid, 0660, true}, {dialout->gr_gid, 0600, false}, {0, 0660, false}};
    for (const auto& row : table) {
        ASSERT_EQ(chown(qPrintable(device), 0, row.group), 0);
        ASSERT_EQ(chmod(qPrintable(device), row.mode), 0);
        const QString text = NoPermissionText("COM1", device);
        EXPECT_EQ(text.contains("请把当前用户加入用户组 dialout"), row.joinGroup)
            << text.toStdString();
        EXPECT_EQ(text.contains("udev"), !row.joinGroup) << text.toStdString();
        EXPECT_FALSE(text.contains("-aG root")) << text.toStdString();
    }
}

} // namespace
