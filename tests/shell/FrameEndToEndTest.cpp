#include "shell/CommandIds.h"
#include "shell/LockLights.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/PortSelectDlg.h"
#include "shell/QuillmarApp.h"
#include "shell/QuillmarDoc.h"
#include "shell/SessionEvents.h"
#include "support/TestSupport.h"
#include "tools/Simulator.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string kNBad("\x02\x00\x6E\x01\x41\xB1\x03", 7);
const std::string kCommand6("\x02\x00\x06\x00\x06\x03", 6);

// A main window on the simulated instrument, connected unless another device is given.
struct FrameTest : public ::testing::Test {
    void Start(const QString& device = QString()) {
        live.Start(device);
        frame = live.frame.get();
        if (device.isEmpty())
            EXPECT_TRUE(WaitUntil([&] { return frame->Session().IsConnected(); }));
    }
    CLiveFrame live;
    CMainFrame* frame = nullptr;
};

// Every message reaches the views in stream order, also when the window's
// thread stops for a while (a long paint, a stuck dialog) as the instrument
// goes on, and after a driver failure was shown: afterwards the views are
// handed every message. Beyond the queue's cap the window says how many
// messages it could not show, and the notice stays until the operator clicks
// it away.
TEST_F(FrameTest, EveryMessageReachesTheViewsInOrderAndThoseBeyondTheCapAreSaid) {
    Start();
    QCoreApplication::postEvent(frame, new CPortErrorEvent("WARNING:  ReadFile() ..."));
    std::string stream = "garbage before the first line\r\n";
    for (std::uint64_t tick = 0; tick < 60; ++tick)
        stream += CInstrumentSimulator::Traffic(tick, 10.0, 0);
    stream += kNBad + "$C10.0P3.0\n" + std::string(650, 'z') + "\r\n" + "$C1,2\r\n";
    const auto expected = FrameOffline(stream);
    ASSERT_GT(expected.size(), 180u);
    std::thread instrument([&] { // uneven pieces, as a real line delivers them
        for (std::size_t at = 0; at < stream.size(); at += 333) {
            live.sim.Write(stream.substr(at, 333));
            std::this_thread::sleep_for(50ms);
        }
    });
    // The window does nothing at all until the session has framed the whole stream.
    instrument.join();
    ASSERT_TRUE(WaitFor([&] { return frame->Session().MessagesFramed() >= expected.size(); }));
    EXPECT_TRUE(WaitUntil([&] { return live.recorder.m_messages.size() >= expected.size(); }));
    EXPECT_EQ(live.recorder.m_messages, expected);
    EXPECT_TRUE(frame->NoticeStatus().isEmpty());
    ASSERT_EQ(live.prompter.m_notes.size(), 1u);
    EXPECT_EQ(live.prompter.m_notes[0].caption, "Application Error");

    frame->Session().Queue().SetCap(64);
    stream.clear();
    for (std::uint64_t tick = 0; tick < 40; ++tick)
        stream += CInstrumentSimulator::Traffic(tick, 10.0, 0);
    ASSERT_TRUE(live.sim.Write(stream));
    // Everything arrives while the window is away.
    const std::size_t framed = expected.size() + FrameOffline(stream).size();
    ASSERT_TRUE(WaitFor([&] { return frame->Session().MessagesFramed() >= framed; }));
    auto* notice = frame->statusBar()->findChild<QLabel*>("noticePane");
    ASSERT_TRUE(notice);
    ASSERT_TRUE(WaitUntil([&] { return !notice->text().isEmpty(); }));
    EXPECT_TRUE(notice->text().contains("未能及时显示")) << notice->text().toStdString();
    frame->Session().Queue().SetCap(CMessageQueue::kDefaultCap);
    ASSERT_TRUE(live.Send("$C1,2\r\n", live.recorder.m_messages.size() + 1));
    EXPECT_FALSE(notice->text().isEmpty()); // still there after the next message
    QTest::mouseClick(notice, Qt::LeftButton);
    EXPECT_TRUE(notice->text().isEmpty());
}

// An instrument that falls silent does not look live: the status bar names
// the values no longer refreshed and the port says how long it has been quiet.
// An unplugged adapter is said to be so, and reopened when it comes back.
TEST_F(FrameTest, ASilentInstrumentAndAnUnpluggedAdapterAreShownAsSuch) {
    live.settings.Set("StaleSeconds", "1");
    Start();
    ASSERT_TRUE(live.Send(
        "$C1,2\r\n" + CInstrumentSimulator::WithNmeaChecksum("$GPGGA,1,3110.4567,N,12129.8765,E,1"),
        2));
    EXPECT_TRUE(frame->StaleStatus().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return frame->LinkStatus().contains("数据中断"); }))
        << frame->LinkStatus().toStdString();
    auto* stale = frame->statusBar()->findChild<QLabel*>("stalePane");
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->text(), "数据中断：航向、俯仰、位置");
    ASSERT_TRUE(live.Send("$C1,3\r\n", 3));
    EXPECT_EQ(stale->text(), "数据中断：位置");
    EXPECT_FALSE(frame->LinkStatus().contains("数据中断"));

    live.sim.Close();
    ASSERT_TRUE(WaitUntil([&] { return frame->LinkStatus().contains("已断开"); }))
        << frame->LinkStatus().toStdString();
    std::string error;
    ASSERT_TRUE(live.sim.Open(&error, live.Link().toStdString())) << error;
    ASSERT_TRUE(WaitUntil([&] { return frame->LinkStatus().contains("已连接"); }));
    ASSERT_TRUE(live.sim.Write("$C3,4\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return live.recorder.m_messages.size() == 4; }));
    EXPECT_EQ(live.recorder.m_messages[3].bytes, "$C3,4\r\n");
    EXPECT_TRUE(live.prompter.m_boxes.empty());
    EXPECT_TRUE(live.prompter.m_notes.empty());
}

// Only a valid 'n' packet is answered, with command 6, after the views saw it.
// A second valid packet, sent once the first is answered, is the sentinel: an
// answer to a bad packet would have come before the sentinel's.
TEST_F(FrameTest, AnNPacketIsAnsweredWithCommandSixAndOnlyAValidOne) {
    Start();
    const std::string wrongLength("\x02\x00\x6E\x02\x41\xB0\x03", 7);
    std::vector<std::string> commands; // those the instrument receives
    auto answered = [&](std::size_t n) {
        return WaitUntil([&] {
            std::ranges::copy(live.sim.ReadCommands(), std::back_inserter(commands));
            return commands.size() >= n;
        });
    };
    ASSERT_TRUE(live.Send(
        kNBad + wrongLength + "$C1,2\r\n" + "n\r\n" + CInstrumentSimulator::NPacket(), 3));
    EXPECT_EQ(live.recorder.m_messages.back().type, 0x6E);
    ASSERT_TRUE(answered(1));
    ASSERT_TRUE(live.Send(CInstrumentSimulator::NPacket(), 4));
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(commands, (std::vector<std::string>{kCommand6, kCommand6}));
}

// No adapter at the start: the slot in use has no device. One plugged in
// later is found and opened within two seconds, and the port dialog lists it.
TEST_F(FrameTest, AnAdapterPluggedInAfterTheStartIsOpened) {
    live.settings.Set("PortOfMonitor", "COM8"); // a slot no device of this machine takes
    live.frame =
        std::make_unique<CMainFrame>(live.doc.get(), QString(), live.dir.filePath("records"));
    frame = live.frame.get();
    QStringList present;
    frame->SetDeviceLister([&] { return present; });
    live.view = CreateFrame(*frame, *live.doc);
    ASSERT_TRUE(live.view);
    live.doc->AddView(&live.recorder);
    ASSERT_TRUE(WaitUntil([&] { return frame->LinkStatus().contains("没有对应的串口设备"); }))
        << frame->LinkStatus().toStdString();
    present << live.Link(); // plugged in
    ASSERT_TRUE(WaitUntil([&] { return frame->Session().IsConnected(); }));
    EXPECT_EQ(frame->Slots().Device(8), live.Link());
    EXPECT_TRUE(live.Send("$C1,2\r\n", 1));
    // The port dialog lists it: held by this window, it is the window's to choose.
    QStringList listed;
    AnswerWhenShown<CPortSelectDlg>([&](CPortSelectDlg& dialog) {
        for (int i = 0; i < dialog.ComboBox()->count(); ++i)
            listed << dialog.ComboBox()->itemText(i);
        dialog.reject();
    });
    frame->OnCommand(ID_SELECT_PORT);
    EXPECT_TRUE(listed.contains("COM8  " + live.Link())) << listed.join(", ").toStdString();
}

TEST_F(FrameTest, APortHeldByAnotherProgramIsTakenOnceItIsLetGo) {
    auto holder = std::make_unique<CSerialPort>();
    ASSERT_TRUE(holder->Open(nullptr, 1, live.sim.SlavePath(), 9600, 'N', 8, 1, {}, 512));
    Start(QString::fromStdString(live.sim.SlavePath()));
    EXPECT_TRUE(WaitUntil([&] { return frame->LinkStatus().contains("占用"); }))
        << frame->LinkStatus().toStdString();
    EXPECT_FALSE(frame->m_arrFreePorts.contains("COM1"));
    holder.reset();
    ASSERT_TRUE(WaitUntil([&] { return frame->Session().IsConnected(); }));
}

TEST(Application, StartsOnThePortGivenWithItsDocumentOrEndsWithAReason) {
    CScopedSettings settings;
    CScriptedPrompter prompter;
    CInstrumentSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(&error)) << error;
    const QString drawing = settings.Folder() + "/drawing.txt";
    ASSERT_TRUE(WriteFile(drawing.toStdString(), std::string(4, '\0'))); // an empty drawing
    for (const QString& document : {QString(), drawing, QString("/nonexistent/drawing.txt")}) {
        SCOPED_TRACE(document.toStdString());
        const bool opens = !document.startsWith("/nonexistent");
        QStringList arguments = {"quillmar", "--port", QString::fromStdString(sim.SlavePath()),
                                 "--record-folder", settings.Folder() + "/records"};
        if (!document.isEmpty())
            arguments << document;
        const CCommandLineInfo info = CQuillmarApp::ParseCommandLine(arguments);
        ASSERT_TRUE(info.error.isEmpty()) << info.error.toStdString();
        CQuillmarApp app;
        ASSERT_EQ(app.InitInstance(info), opens);
        if (!opens) {
            ASSERT_EQ(prompter.m_boxes.size(), 1u);
            EXPECT_TRUE(prompter.m_boxes[0].text.contains(document));
            continue;
        }
        EXPECT_EQ(app.Frame()->Documents().RecentFiles().value(0), document);
        EXPECT_EQ(app.Frame()->windowTitle(), "Velquor 1.0");
        ASSERT_TRUE(WaitUntil([&] { return app.Frame()->Session().IsConnected(); }));
        EXPECT_EQ(app.Frame()->Session().Link().strDevice, sim.SlavePath());
    }
}

} // namespace
