#include "link/InstrumentSession.h"
#include "shell/AlarmLimitsDlg.h"
#include "shell/PortSelectDlg.h"
#include "shell/ServeDlg.h"
#include "shell/StatusTexts.h"
#include "shell/VersionInfoDlg.h"
#include "support/TestSupport.h"
#include "survey/CoordLibraryDlg.h"
#include "survey/FileChoiceDlg.h"
#include "survey/ShipShapeDlg.h"
#include "survey/TextNoteDlg.h"
#include "view/SerialMonitorDlg.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
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
// before it shows, and the port stays. The ports are asked for as the dialog
// opens, not when it was made. Typed sources are taken as the others are: a
// serial device a slot stands for chooses that slot, any other is added to
// the list and can be chosen; what cannot be read is refused with the reason.
TEST(PortSelect, SetStoresTheChosenPortOrSourceAndCancelKeepsIt) {
    const QList<CPortSelectDlg::Entry> two = {{"COM1", "/dev/ttyUSB0"}, {"COM3", "/dev/ttyUSB1"}};
    const int yes = QDialog::Accepted, no = QDialog::Rejected;
    struct Case {
        QList<CPortSelectDlg::Entry> free;
        int port;
        QString button;
        int choose;
        int result, portAfter;
        QList<CPortSelectDlg::Entry> plugged = {}; // listed as the dialog opens
        QString typed = {}, shown = {};            // added before the button; the entry then chosen
        QStringList sources = {};
    };
    const std::vector<Case> table = {
        {two, 1, "取消", 1, no, 1},
        {two, 1, "设置", 1, yes, 3},
        {two, 3, "设置", -1, yes, 3},
        {two, 3, "设置", 0, yes, 1},
        {{}, 4, "设置", -1, yes, 4},
        {{}, 2, "取消", -1, no, 2, {{"COM2", "/dev/ttyACM0"}}},
        {two,
         1,
         "设置",
         -1,
         yes,
         1,
         {},
         "serial:/dev/ttyUSB7",
         "serial:/dev/ttyUSB7",
         {"serial:/dev/ttyUSB7"}},
        {two, 1, "设置", -1, yes, 3, {}, "serial:/dev/ttyUSB1", "COM3  /dev/ttyUSB1"},
        {two, 1, "设置", -1, yes, 1, {}, "udp://:60001", "udp://:60001", {"udp://:60001"}},
        {two, 1, "设置", -1, yes, 1, {}, "tcp://nowhere"}, // refused: nothing chosen
        {two, 1, "设置", -1, yes, 1, {}, "serial:"},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.button.toStdString() + " " + std::to_string(c.choose) + " " +
                     c.typed.toStdString());
        CScriptedPrompter prompter;
        int port = c.port;
        QStringList sources;
        QString chosen, shown;
        CPortSelectDlg dialog(c.free, &port);
        dialog.SetNetSources(&sources, &chosen);
        if (!c.plugged.isEmpty())
            dialog.SetPortLister([&] { return c.plugged; });
        QStringList listed, expected;
        QTimer::singleShot(0, &dialog, [&] {
            for (int i = 0; i < dialog.ComboBox()->count(); ++i)
                listed << dialog.ComboBox()->itemText(i);
            if (c.choose >= 0)
                dialog.ComboBox()->setCurrentIndex(c.choose);
            if (c.choose < 0 && !c.free.isEmpty())
                dialog.grab().save(TestOutputDir() + "/port-select.png");
            if (!c.typed.isEmpty()) {
                QTest::keyClicks(dialog.UrlEdit(), c.typed);
                ClickButton(&dialog, "添加");
                shown = prompter.m_boxes.empty() ? dialog.ComboBox()->currentText() : QString();
            }
            ClickButton(&dialog, c.button);
        });
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(port, c.portAfter);
        for (const auto& entry : c.plugged.isEmpty() ? c.free : c.plugged)
            expected << entry.name + "  " + entry.device;
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(sources, c.sources);
        EXPECT_EQ(chosen, c.sources.value(0)); // a port chosen: no source
        const bool refused = !c.typed.isEmpty() && c.shown.isEmpty();
        EXPECT_EQ(prompter.m_boxes.size(), expected.isEmpty() || refused ? 1u : 0u);
        if (expected.isEmpty())
            EXPECT_EQ(prompter.m_boxes[0].text, "     没有空闲串口可用!\n串口被占用或没有连接好");
    }
}

// How a person names a widget it reaches with Tab.
QString Name(QWidget* w) {
    if (qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
        w = w->parentWidget();
    if (!w->objectName().isEmpty())
        return w->objectName();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->placeholderText();
    return w->metaObject()->className();
}

// Each dialog opens with the focus in its first field; Tab goes through the
// fields in reading order, then the buttons, and back to the first field.
TEST(DialogKeys, TabGoesFromTheFirstFieldInReadingOrderToTheButtons) {
    CScriptedPrompter prompter;
    CInstrumentSession session(nullptr);
    QStringList sources = {"udp://:60001"}, more;
    QString chosen;
    int port = 1;
    struct Case {
        std::function<QDialog*()> open;
        QStringList chain;
    };
    const std::vector<Case> table = {
        {[] { return new CAlarmLimitsDlg; }, {"pitchLimit", "rollLimit", "确定", "取消"}},
        {[&] {
             auto* dialog = new CPortSelectDlg({{"COM1", "/dev/ttyUSB0"}}, &port);
             dialog->SetNetSources(&sources, &chosen);
             dialog->SetMoreSources(&more);
             dialog->OnInitDialog();
             return dialog;
         },
         {"portChoice", "sourceUrl", "添加", "删除", "moreSources", "设置", "取消"}},
        {[] { return new CSerialMonitorDlg; },
         {"receivedMessages", "清空接收区", "pause", "确定", "取消"}},
        {[&] { return new CServeDlg(session, true, "10110", "", UdpOutput{}); },
         {"向网络客户端转发收到的语句", "[主机:]端口，如 10110 或 0.0.0.0:10110",
          "主机:端口（可选，可为广播或组播地址）",
          "按 IEC 61162-450 格式发送（UdPbC 报头，标签块，设备标识 QM0001）", "确定", "取消"}},
        {[] { return new CTextNoteDlg; }, {"noteText", "确定", "取消"}},
        {[] { return new CChannelLayoutDlg; }, {"chooseFile", "确定", "取消"}},
        {[] { return new CShipShapeDlg; }, {"shapeList", "确定", "取消"}},
        {[] { return new CCoordLibraryDlg; },
         {"pointTable", "planeCoords", "添加行(&A)", "插入行(&I)", "删除行(&D)"}},
        {[] { return new CVersionInfoDlg; }, {"确定"}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.chain.join(" ").toStdString());
        std::unique_ptr<QDialog> dialog(c.open());
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() != nullptr; }));
        QWidget* first = QApplication::focusWidget();
        // The chain as the focus widgets link it (of a group of radio
        // buttons, Tab reaches the one checked), then as Tab goes.
        const auto reached = [](QWidget* w) {
            auto* radio = qobject_cast<QRadioButton*>(w);
            return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
                   !w->focusProxy() && !(radio && radio->autoExclusive() && !radio->isChecked());
        };
        QStringList linked, pressed;
        for (QWidget* w = first; linked.size() <= c.chain.size();) {
            linked << Name(w);
            do
                w = w->nextInFocusChain();
            while (w != first && !reached(w));
            if (w == first)
                break;
        }
        for (QWidget* w = first; pressed.size() <= c.chain.size();) {
            pressed << Name(w);
            QTest::keyClick(w, Qt::Key_Tab);
            w = QApplication::focusWidget();
            if (w == first)
                break;
        }
        EXPECT_EQ(pressed, c.chain);
        EXPECT_EQ(linked, c.chain);
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
