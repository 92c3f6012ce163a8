#include "platform/AlarmTone.h"
#include "shell/AlarmLimitsDlg.h"
#include "shell/AppIcon.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/SettingsKey.h"
#include "shell/VersionInfoDlg.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"
#include "view/SerialMonitorDlg.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaDevices>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    return QByteArray::fromStdString(ReadFile(path.toStdString()));
}

// Feeds text through a framer into the view, as the frame hands messages on.
void Feed(CQuillmarView& view, const QByteArray& bytes) {
    CReceiverMessage framer;
    for (char c : bytes) {
        framer.FeedByte(static_cast<std::uint8_t>(c), [&](const FramedMessage& message) {
            view.OnUpdate(nullptr, HINT_NEW_MESSAGE, &message);
        });
    }
}

TEST(Recording, AnUncreatableFolderIsReportedOnceAndMonitoringGoesOn) {
    CLiveFrame live;
    ASSERT_TRUE(WriteFile(live.dir.filePath("not-a-folder").toStdString(), ""));
    live.Start(QString(), live.dir.filePath("not-a-folder/records"));
    ASSERT_EQ(live.prompter.m_notes.size(), 1u);
    EXPECT_TRUE(live.prompter.m_notes[0].text.contains(live.dir.filePath("not-a-folder")));
    EXPECT_TRUE(live.frame->RecordStatus().contains("无法建立记录文件"));
    ASSERT_TRUE(live.Send("$C12.5,1.0\r\n$GPHDT,13.0,T\r\n", 2));
    EXPECT_EQ(live.frame->Session().Monitor().Samples().Size(), 2u);
    EXPECT_EQ(live.frame->Session().Monitor().Values().m_strHeading, "13.0");
    EXPECT_EQ(live.prompter.m_notes.size(), 1u);
}

TEST(Recording, SaveDataPathMovesRecordingAndCancelChangesNothing) {
    CLiveFrame live;
    live.Start();
    const QString first = QString::fromStdString(live.RecordPath());
    ASSERT_TRUE(live.Send("$C1,2\r\n", 1));
    live.frame->OnCommand(ID_SAVE_DATA_PATH); // cancelled
    ASSERT_EQ(live.prompter.m_fileDialogs.size(), 1u);
    const auto& request = live.prompter.m_fileDialogs[0];
    EXPECT_TRUE(request.save && request.confirmOverwrite);
    EXPECT_EQ(
        QStringList({request.title, request.filter, request.defaultSuffix, request.proposedName}),
        QStringList({"保存", "Data Files (*.dat);;All File (*.*)", "DAT", "TimeFileName"}));
    EXPECT_EQ(QString::fromStdString(live.RecordPath()), first);
    EXPECT_TRUE(live.frame->m_strRecordPath.isEmpty());

    const QString chosen = live.dir.filePath("chosen.DAT");
    ASSERT_TRUE(WriteFile(chosen.toStdString(), "replaced after the question\n"));
    live.prompter.m_files.push_back(chosen);
    live.frame->OnCommand(ID_SAVE_DATA_PATH);
    EXPECT_EQ(live.frame->m_strRecordPath, chosen);
    ASSERT_TRUE(live.Send("$C3,4\r\n", 2));
    EXPECT_EQ(ReadAll(chosen), "$C3,4\r\n");
    EXPECT_EQ(ReadAll(first), "$C1,2\r\n");
    // The times go with the record.
    for (const QString& path : {first, chosen}) {
        const RecordReadBack back = ReadRecord(path.toStdString());
        ASSERT_EQ(back.messages.size(), 1u);
        EXPECT_EQ(back.source, RecordTimeSource::TimingFile);
    }
    EXPECT_TRUE(live.frame->RecordStatus().contains("chosen.DAT"));
}

TEST(Recording, KillingTheProgramLeavesWholeMessagesOnly) {
    CProgramOnTheSimulator p;
    ASSERT_TRUE(p.Start());
    std::string sent;
    for (std::uint64_t tick = 0; QFileInfo(p.Record()).size() < 20000 && tick < 5000; ++tick) {
        const std::string traffic = CInstrumentSimulator::Traffic(tick, 10, 2);
        ASSERT_TRUE(p.sim.Write(traffic));
        sent += traffic;
        Idle(1);
    }
    p.program.kill(); // mid-stream
    ASSERT_TRUE(p.program.waitForFinished());
    const QByteArray record = ReadAll(p.Record());
    ASSERT_GT(record.size(), 0);
    std::vector<std::tuple<std::string, bool, std::uint8_t>> framed;
    std::string whole; // what the record of everything sent holds
    CReceiverMessage framer;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(sent.data()), sent.size(),
                [&](const FramedMessage& m) {
                    framed.emplace_back(m.Text(), !m.bTextLine, m.bTextLine ? 0 : m.nType);
                    whole += std::get<0>(framed.back());
                });
    // A prefix of it that ends at a message's end.
    EXPECT_TRUE(std::string_view(whole).starts_with(record.toStdString()));
    EXPECT_TRUE(record.endsWith("\r\n"));
    // The timing file cuts the record where the framer did, packets told
    // from lines, at most the last read's messages without times of their own.
    const auto [source, texts, messages, timed, note] = ReadRecord(p.Record().toStdString());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        ASSERT_LT(i, framed.size());
        if (timed[i]) {
            EXPECT_EQ(texts[i], std::get<0>(framed[i])) << i;
            EXPECT_EQ(messages[i].nType, std::get<2>(framed[i])) << i;
        }
        EXPECT_EQ(messages[i].bPacket, std::get<1>(framed[i])) << i;
        EXPECT_GE(messages[i].nUtcMs, i ? messages[i - 1].nUtcMs : p.startUtcMs);
    }
    EXPECT_GE(std::count(timed.begin(), timed.end(), true) + 10, std::ssize(messages));
}

// The real program ended from outside (a logout's SIGTERM, Ctrl+C, the
// terminal closing, Ctrl+\\) ends as quitting does: status 0 and
// "program,end" last in the event log it keeps beside its record. The log
// tells in order a pitch over its limit and back, roll over its limit and
// back, the adapter pulled out and put back. The raw capture beside the
// record holds the bytes sent, a line cut short by the end too, unless
// switched off.
TEST(Recording, EverySignalThatEndsTheProgramEndsTheLogThatTellsWhatHappened) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signal));
        CProgramOnTheSimulator p;
        const bool raw = signal != SIGQUIT, story = signal == SIGTERM;
        if (!raw)
            p.settings.Set("RawCapture", "false");
        p.settings.Set("PitchLimit", "5");
        p.settings.Set("RollLimit", "10");
        p.settings.Set("StaleSeconds", "60");
        ASSERT_TRUE(p.Start());
        const QString record = p.Record();
        const QString capture = QString(record).replace(".txt", "-raw.bin");
        const QString events = QString(record).replace(".txt", "-events.csv");
        std::string sent = "\x01\xffnoise\r\n$C1,2\r\n$C3";
        if (story) {
            sent.clear();
            // Roll from an instrument that sends it: heading, T, roll, pitch.
            for (const std::string& line :
                 {std::string("$C1,2\r\n"), std::string("$C1,7.5\r\n"), std::string("$C1,2\r\n"),
                  CInstrumentSimulator::WithNmeaChecksum("$PASHR,130711.000,1.0,T,-12.5,2.0,0.01"),
                  CInstrumentSimulator::WithNmeaChecksum(
                      "$PASHR,130711.100,1.0,T,-1.0,2.0,0.01")}) {
                ASSERT_TRUE(p.sim.Write(line));
                sent += line;
                ASSERT_TRUE(
                    WaitUntil([&] { return ReadAll(record).size() == qsizetype(sent.size()); }));
            }
            const std::string gone = p.sim.SlavePath();
            p.sim.Close();
            ASSERT_TRUE(WaitUntil([&] { return !p.Holds(gone); })) << "the line that went is held";
            std::string error;
            ASSERT_TRUE(p.sim.Open(&error, p.link.toStdString())) << error;
            ASSERT_TRUE(WaitUntil([&] { return p.HoldsLine(); }));
        } else {
            ASSERT_TRUE(p.sim.Write(sent));
        }
        if (raw)
            ASSERT_TRUE(
                WaitUntil([&] { return ReadAll(capture).size() == qsizetype(sent.size()); }));
        else
            ASSERT_TRUE(WaitUntil([&] { return ReadAll(record).size() > 0; }));
        ASSERT_EQ(kill(static_cast<pid_t>(p.program.processId()), signal), 0);
        ASSERT_TRUE(p.program.waitForFinished(30000));
        EXPECT_EQ(p.program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.program.exitCode(), 0);
        EXPECT_TRUE(ReadAll(events).endsWith(",program,end,,\n")) << ReadAll(events).toStdString();
        EXPECT_EQ(QFileInfo::exists(capture), raw);
        if (raw)
            EXPECT_EQ(ReadAll(capture).toStdString(), sent);
        if (!story)
            continue;
        const QStringList lines =
            QString::fromUtf8(ReadAll(events)).split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines[0], "time,subject,event,value,limit");
        QStringList said;
        QString previous;
        const QRegularExpression time("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$");
        for (const QString& line : lines.mid(1)) {
            const QString stamp = line.section(',', 0, 0);
            EXPECT_TRUE(time.match(stamp).hasMatch()) << line.toStdString();
            EXPECT_GE(stamp, previous) << line.toStdString();
            previous = stamp;
            said << line.section(',', 1);
        }
        EXPECT_EQ(said, (QStringList{"program,start,,", "pitch,active,7.5,5", "pitch,rectified,2,5",
                                     "roll,active,-12.5,10", "roll,rectified,-1,10", "link,lost,,",
                                     "link,restored,,", "program,end,,"}));
    }
}

// The running list shows fifteen lines at most (the sixteenth empties it),
// without their line ends. "暂停" freezes the view on the lines received so
// far, to be scrolled back through; what arrives meanwhile is kept; "继续"
// shows the running list as it would be now. "清空接收区" empties it; closed,
// the monitor echoes nothing and opens empty again.
TEST(SerialMonitor, ShowsFifteenLinesPausesToReadBackClearsAndStartsEmpty) {
    CViewUnderTest t;
    CSerialMonitorDlg& monitor = t.view.MonitorDialog();
    enum Click { None, Pause, Clear };
    struct Step {
        int feed;    // lines received before the click
        Click click; // on "暂停" / "继续", or "清空接收区"
        int count;   // lines shown then
        int last;    // the number of the last line shown
        const char* button;
    };
    const std::vector<Step> table = {
        {15, None, 15, 15, "暂停"},
        {1, None, 0, 0, "暂停"},
        {1184, Pause, 1200, 1200, "继续"},   // the scroll-back
        {30, None, 1200, 1200, "继续"},      // frozen while paused
        {0, Pause, 1230 % 16, 1230, "暂停"}, // the running list again
        {0, Pause, 1230, 1230, "继续"},      // nothing received was lost
        {2000, None, 1230, 1230, "继续"},
        {0, Pause, 3230 % 16, 3230, "暂停"},
        {0, Pause, CSerialMonitorDlg::kHistory, 3230, "继续"}, // the last lines kept
        {0, Pause, 3230 % 16, 3230, "暂停"},
        {0, Clear, 0, 0, "暂停"},
        {1, None, 1, 3231, "暂停"},
    };
    int received = 0;
    QTimer::singleShot(0, [&] {
        for (const Step& step : table) {
            SCOPED_TRACE(received);
            for (int i = 0; i < step.feed; ++i)
                Feed(t.view, QString("$C%1,0\r\n").arg(++received).toLatin1());
            if (step.click == Pause)
                QTest::mouseClick(monitor.PauseButton(), Qt::LeftButton);
            if (step.click == Clear)
                ClickButton(&monitor, "清空接收区");
            QListWidget* list = monitor.List();
            EXPECT_EQ(list->count(), step.count);
            if (step.count)
                EXPECT_EQ(list->item(list->count() - 1)->text(), QString("$C%1,0").arg(step.last));
            EXPECT_EQ(monitor.PauseButton()->text(), step.button);
            if (received == 15)
                monitor.grab().save(TestOutputDir() + "/serial-monitor.png");
        }
        monitor.accept();
    });
    t.Run(ID_SERIAL_MONITOR);
    EXPECT_FALSE(monitor.IsShown());
    Feed(t.view, "$C101,0\r\n"); // closed: not echoed
    int reopened = -1;
    QTimer::singleShot(0, [&] {
        reopened = monitor.List()->count();
        monitor.reject();
    });
    t.Run(ID_SERIAL_MONITOR);
    EXPECT_EQ(reopened, 0);
}

TEST(AlarmLimits, AcceptsWholeDegreesFrom0To90AndKeepsTheDialogOpenOtherwise) {
    CScriptedPrompter prompter;
    struct Case {
        const char *pitch, *roll;
        const char* message; // null: accepted
        bool rollAtFault = false;
    };
    const std::vector<Case> table = {
        {"0", "90", nullptr},
        {"91", "30", "请输入一个介于 0 和 90 之间的整数。"},
        {"-1", "30", "请输入一个介于 0 和 90 之间的整数。"},
        {"12.5", "30", "请输入一个整数。"},
        {"30", "", "请输入一个整数。", true},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(std::string(c.pitch) + "/" + c.roll);
        prompter.m_boxes.clear();
        CAlarmLimitsDlg dialog;
        dialog.OnInitDialog(30, 30);
        dialog.show();
        EXPECT_EQ(dialog.PitchEdit()->text(), "30");
        dialog.grab().save(TestOutputDir() + "/alarm-limits.png");
        dialog.PitchEdit()->setText(c.pitch);
        dialog.RollEdit()->setText(c.roll);
        dialog.OnOK();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, !c.message);
        EXPECT_EQ(dialog.isVisible(), c.message != nullptr);
        if (c.message) {
            ASSERT_EQ(prompter.m_boxes.size(), 1u);
            EXPECT_EQ(prompter.m_boxes[0].text, c.message);
            EXPECT_EQ(dialog.focusWidget(), c.rollAtFault ? dialog.RollEdit() : dialog.PitchEdit());
        } else {
            EXPECT_EQ(QPoint(dialog.m_nPitch, dialog.m_nRoll), QPoint(0, 90));
        }
    }
}

TEST(AlarmLimits, TheFrameAppliesOKAndIgnoresCancel) {
    CLiveFrame live;
    live.Start();
    CMainFrame& frame = *live.frame;
    const CMonitorState& monitor = frame.Session().Monitor();
    auto answer = [](const char* pitch, bool ok) {
        AnswerWhenShown<CAlarmLimitsDlg>([=](CAlarmLimitsDlg& dialog) {
            dialog.PitchEdit()->setText(pitch);
            if (ok)
                dialog.OnOK();
            else
                dialog.reject();
        });
    };
    answer("5", false);
    frame.OnCommand(ID_ALARM_LIMITS);
    EXPECT_EQ(monitor.PitchLimit(), 30);
    answer("5", true);
    frame.OnCommand(ID_ALARM_LIMITS);
    EXPECT_EQ(monitor.PitchLimit(), 5);
    EXPECT_EQ(monitor.RollLimit(), 30);
    EXPECT_EQ(ReadAlarmSettings().pitchLimit, 5); // kept for the next start

    // Beyond the limit: the alarm sounds, and reception goes on meanwhile.
    ASSERT_TRUE(live.Send("$GPROT,-7.5,A\r\n", 1));
    ASSERT_TRUE(WaitUntil([&] { return frame.Alarm()->IsSounding(); }));
    if (QMediaDevices::defaultAudioOutput().isNull()) // said, as it cannot be heard
        EXPECT_TRUE(frame.statusBar()->currentMessage().contains("报警声音无法播放"));
    auto* pane = frame.statusBar()->findChild<QLabel*>("alarmPane");
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->text(), "俯仰角超出报警范围 ±5°");

    // The dials: the value in the alarm colour (white on it in the flashing's
    // other phase), the limits marked where the pointer would stand at ±5°.
    CRecordingCanvas canvas(QSize(1023, 670));
    live.view->OnDraw(canvas);
    const auto value = std::find_if(canvas.m_items.begin(), canvas.m_items.end(),
                                    [](const auto& item) { return item.text == "-7.5"; });
    ASSERT_NE(value, canvas.m_items.end());
    const bool dark = value->kind == CRecordingCanvas::Kind::TextBox;
    EXPECT_EQ(value->colour, dark ? QColor(Qt::white) : kAlarmText);
    EXPECT_EQ(canvas.Count(CRecordingCanvas::Kind::Fill), dark ? 1 : 0);
    const auto ticks = canvas.Lines(Pens::kLimitMark);
    ASSERT_EQ(ticks.size(), 8u); // both ends of ±limit, pitch and roll
    const QPointF tick = ticks[0]->points[1] - QPoint(625, 175);
    EXPECT_NEAR(std::atan2(tick.y(), tick.x()) * 180 / M_PI, -175, 1); // +5°: the front end up

    // A narrow window gives up the record's path (cut in the middle, whole in
    // its tip) and the other panes before the alarm pane.
    frame.show();
    frame.resize(420, 500);
    auto* record = frame.statusBar()->findChild<QLabel*>("recordPane");
    EXPECT_TRUE(WaitUntil([&] { return record->width() < record->sizeHint().width(); }))
        << frame.width() << " " << frame.statusBar()->width() << " " << record->width();
    EXPECT_GE(pane->width(), pane->sizeHint().width());
    EXPECT_TRUE(record->toolTip().contains(QString::fromStdString(live.RecordPath())));

    // Ctrl+Q while recording with an alarm: asked first; "否" keeps the window.
    QApplication::setActiveWindow(&frame);
    live.prompter.m_answers.push_back(QMessageBox::No);
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(live.prompter.m_boxes.size(), 1u);
    EXPECT_EQ(live.prompter.m_boxes.back().text, "正在记录数据，确定退出吗？");
    EXPECT_TRUE(frame.isVisible());
    // Each step's text: StatusTexts.
    auto pitch = [&] { return frame.Shown().Alarms().Of(AlarmSubject::Pitch); };
    EXPECT_TRUE(frame.OnCommand(ID_ALARM_SILENCE));
    ASSERT_TRUE(WaitUntil([&] { return !frame.Alarm()->IsSounding(); }));
    EXPECT_EQ(pitch(), AlertState::ActiveSilenced);
    ASSERT_TRUE(live.Send("$C1,2\r\n", 2));
    ASSERT_TRUE(WaitUntil([&] { return pitch() == AlertState::RectifiedUnacknowledged; }));
    EXPECT_FALSE(frame.OnCommand(ID_ALARM_SILENCE)); // nothing left to silence
    EXPECT_TRUE(frame.OnCommand(ID_ALARM_ACKNOWLEDGE));
    ASSERT_TRUE(WaitUntil([&] { return pane->text().isEmpty(); }));
    EXPECT_FALSE(frame.Alarm()->IsSounding());
    EXPECT_EQ(monitor.Samples().Size(), 2u);
    // Still recording: asked again; "是" closes.
    live.prompter.m_answers.push_back(QMessageBox::Yes);
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(live.prompter.m_boxes.size(), 2u);
    EXPECT_FALSE(frame.isVisible());
}

TEST(VersionInfo, NamesTheProgram) {
    CVersionInfoDlg dialog;
    QStringList texts;
    for (auto* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Velquor 1.0"));
    const auto labels = dialog.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return !label->pixmap().isNull();
    })) << "the program's icon is missing";
    EXPECT_EQ(QuillmarIcon().availableSizes().size(), 6); // 16 … 256 pixels, all in the resources
    dialog.show();
    dialog.grab().save(TestOutputDir() + "/version-info.png");
}

} // namespace
