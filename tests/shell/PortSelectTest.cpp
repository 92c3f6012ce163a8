#include "link/PortSelectDlg.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

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

// Runs the dialog and presses `button` ("设置" or "取消") once it is up,
// after choosing list entry `choose` (-1: leave it).
int RunDialog(CPortSelectDlg& dialog, const QString& button, int choose = -1) {
    QTimer::singleShot(0, &dialog, [&] {
        if (choose >= 0)
            dialog.ComboBox()->setCurrentIndex(choose);
        for (auto* push : dialog.findChildren<QPushButton*>()) {
            if (push->text() == button)
                push->click();
        }
    });
    return dialog.DoModal();
}

TEST(PortSelect, SetStoresTheChosenNumberAndCancelKeepsIt) {
    CScriptedPrompter prompter;
    const QList<CPortSelectDlg::Entry> free = {{"COM1", "/dev/ttyUSB0"}, {"COM3", "/dev/ttyUSB1"}};
    int port = 3;
    {
        CPortSelectDlg dialog(free, &port);
        EXPECT_EQ(RunDialog(dialog, "取消", 0), QDialog::Rejected);
        EXPECT_EQ(port, 3);
        EXPECT_EQ(dialog.windowTitle(), "串口选择");
        EXPECT_EQ(dialog.ComboBox()->itemText(1), "COM3  /dev/ttyUSB1");
        dialog.grab().save(TestOutputDir() + "/port-select.png");
    }
    {
        CPortSelectDlg dialog(free, &port);
        EXPECT_EQ(RunDialog(dialog, "设置", 0), QDialog::Accepted);
        EXPECT_EQ(port, 1);
    }
    EXPECT_TRUE(prompter.m_boxes.empty());
}

TEST(PortSelect, NoFreePortWarnsAndSetKeepsTheNumber) {
    CScriptedPrompter prompter;
    int port = 4;
    CPortSelectDlg dialog({}, &port);
    EXPECT_EQ(RunDialog(dialog, "设置"), QDialog::Accepted);
    ASSERT_EQ(prompter.m_boxes.size(), 1u);
    EXPECT_EQ(prompter.m_boxes[0].text, "     没有空闲串口可用!\n串口被占用或没有连接好");
    EXPECT_EQ(port, 4);
}

} // namespace
