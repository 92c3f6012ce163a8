#include "link/ReceiverMessage.h"
#include "link/SerialMonitorDlg.h"
#include "platform/AlarmTone.h"
#include "platform/CommandIds.h"
#include "shell/AlarmLimitsDlg.h"
#include "shell/MainFrame.h"
#include "shell/QuillmarDoc.h"
#include "shell/SettingsKey.h"
#include "support/TestSupport.h"
#include "tools/Simulator.h"
#include "view/QuillmarView.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaDevices>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ReadAll(const std::string& path) {
    return ReadAll(QString::fromStdString(path));
}

QByteArray TestData(const char* name) {
    return ReadAll(QString(QUILLMAR_TEST_DATA) + "/" + name);
}

// Feeds text through a framer into the view, as the frame hands messages on.
void Feed(CQuillmarView& view, const QByteArray& bytes) {
    CReceiverMessage framer;
    for (char c : bytes) {
        if (framer.FeedByte(static_cast<std::uint8_t>(c)))
            view.OnUpdate(nullptr, HINT_NEW_MESSAGE, &framer);
    }
}

TEST(Recording, AMixedStreamOverTheLineIsRecordedByteForByte) {
    CLiveFrame live;
    live.Start();
    const QByteArray stream = TestData("mixed-stream.bin");
    const QByteArray expected = TestData("mixed-stream.record");
    ASSERT_FALSE(stream.isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return live.frame->Session().IsConnected(); }));
    for (qsizetype at = 0; at < stream.size(); at += 97)
        ASSERT_TRUE(live.sim.Write(stream.mid(at, 97).toStdString()));
    const std::string path = live.RecordPath();
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(path).size() >= expected.size(); }));
    EXPECT_TRUE(ReadAll(path) == expected);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path))
                    .fileName()
                    .contains(QRegularExpression(
                        "^\\d{4}-\\d{1,2}-\\d{1,2}-\\d{1,2}-\\d{1,2}-\\d{1,2}(-\\d+)?\\.txt$")));
}

TEST(Recording, AnUncreatableFolderIsReportedOnceAndMonitoringGoesOn) {
    CLiveFrame live;
    QFile blocker(live.dir.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
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
    const std::string first = live.RecordPath();
    ASSERT_TRUE(live.Send("$C1,2\r\n", 1));
    live.frame->OnCommand(ID_SAVE_DATA_PATH); // cancelled
    ASSERT_EQ(live.prompter.m_fileDialogs.size(), 1u);
    const auto& request = live.prompter.m_fileDialogs[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.title, "保存");
    EXPECT_EQ(request.filter, "Data Files (*.dat);;All File (*.*)");
    EXPECT_EQ(request.defaultSuffix, "DAT");
    EXPECT_EQ(request.proposedName, "TimeFileName");
    EXPECT_TRUE(request.confirmOverwrite);
    EXPECT_EQ(live.RecordPath(), first);
    EXPECT_TRUE(live.frame->m_strRecordPath.isEmpty());

    const QString chosen = live.dir.filePath("chosen.DAT");
    QFile old(chosen);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("replaced after the question\n");
    old.close();
    live.prompter.m_files.push_back(chosen);
    live.frame->OnCommand(ID_SAVE_DATA_PATH);
    EXPECT_EQ(live.frame->m_strRecordPath, chosen);
    ASSERT_TRUE(live.Send("$C3,4\r\n", 2));
    EXPECT_EQ(ReadAll(chosen), "$C3,4\r\n");
    EXPECT_EQ(ReadAll(first), "$C1,2\r\n");
    EXPECT_TRUE(live.frame->RecordStatus().contains("chosen.DAT"));
}

TEST(Recording, KillingTheProgramLeavesWholeMessagesOnly) {
    CScopedSettings settings;
    QTemporaryDir dir;
    CInstrumentSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(&error)) << error;
    QProcess program;
    program.start(QUILLMAR_BINARY,
                  {"-platform", "offscreen", "--port", QString::fromStdString(sim.SlavePath()),
                   "--record-folder", dir.filePath("records")});
    ASSERT_TRUE(program.waitForStarted());
    std::string sent;
    auto recordSize = [&] {
        const QStringList files = QDir(dir.filePath("records")).entryList({"*.txt"}, QDir::Files);
        return files.isEmpty() ? -1 : QFileInfo(dir.filePath("records/" + files[0])).size();
    };
    ASSERT_TRUE(WaitUntil([&] { return recordSize() >= 0; }, 20000));
    for (std::uint64_t tick = 0; recordSize() < 20000 && tick < 5000; ++tick) {
        const std::string traffic = CInstrumentSimulator::Traffic(tick, 10, 0);
        ASSERT_TRUE(sim.Write(traffic));
        sent += traffic;
        Idle(1);
    }
    program.kill(); // mid-stream
    ASSERT_TRUE(program.waitForFinished());
    const QStringList files = QDir(dir.filePath("records")).entryList({"*.txt"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QByteArray record = ReadAll(dir.filePath("records/" + files[0]));
    ASSERT_GT(record.size(), 0);
    // A prefix of what was sent that ends at a message's end.
    EXPECT_TRUE(sent.compare(0, static_cast<std::size_t>(record.size()), record.toStdString()) ==
                0);
    EXPECT_TRUE(record.endsWith("\r\n"));
}

// The event log the real program keeps beside its record, for a pitch over
// its limit and back, the adapter pulled out and put back, and the program
// ended by SIGTERM as a logout ends it.
TEST(Recording, TheEventLogTellsWhatHappenedInOrder) {
    CScopedSettings settings;
    settings.Set("PitchLimit", "5");
    settings.Set("RollLimit", "10");
    settings.Set("StaleSeconds", "60");
    QTemporaryDir dir;
    const std::string link = dir.filePath("gnss").toStdString();
    CInstrumentSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(&error, link)) << error;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", settings.Folder());
    program.setProcessEnvironment(environment);
    program.start(QUILLMAR_BINARY,
                  {"-platform", "offscreen", "--port", QString::fromStdString(link),
                   "--record-folder", dir.filePath("records")});
    ASSERT_TRUE(program.waitForStarted());
    auto record = [&] {
        const QStringList files = QDir(dir.filePath("records")).entryList({"*.txt"}, QDir::Files);
        return files.isEmpty() ? QString() : dir.filePath("records/" + files[0]);
    };
    std::size_t sent = 0;
    auto send = [&](const std::string& line) {
        ASSERT_TRUE(sim.Write(line));
        sent += line.size();
        ASSERT_TRUE(WaitUntil([&] { return ReadAll(record()).size() == qsizetype(sent); }));
    };
    ASSERT_TRUE(WaitUntil([&] { return !record().isEmpty(); }, 20000));
    Idle(500); // the port opened
    send("$C1,2\r\n");
    send("$C1,7.5\r\n");
    send("$C1,2\r\n");
    // Roll from an instrument that sends it: heading, T, roll, pitch.
    send(CInstrumentSimulator::WithNmeaChecksum("$PASHR,130711.000,1.0,T,-12.5,2.0,0.01"));
    send(CInstrumentSimulator::WithNmeaChecksum("$PASHR,130711.100,1.0,T,-1.0,2.0,0.01"));
    sim.Close();
    Idle(1500);
    ASSERT_TRUE(sim.Open(&error, link)) << error;
    Idle(2000);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);

    QString events = record();
    events.replace(".txt", "-events.csv");
    const QStringList lines = QString::fromUtf8(ReadAll(events)).split('\n', Qt::SkipEmptyParts);
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
                                 "roll,active,-12.5,10", "roll,rectified,-1,10", "link,lost,,", "link,restored,,", "program,end,,"}));
}

TEST(SerialMonitor, ShowsFifteenLinesClearsAndStartsEmpty) {
    CViewUnderTest t;
    CQuillmarView& view = t.view;
    CSerialMonitorDlg& monitor = view.MonitorDialog();
    std::vector<int> counts;
    QTimer::singleShot(0, [&] {
        QListWidget* list = monitor.List();
        for (int i = 1; i <= 16; ++i) {
            Feed(view, QString("$C%1,0\r\n").arg(i).toLatin1());
            counts.push_back(list->count());
            if (i == 15)
                monitor.grab().save(TestOutputDir() + "/serial-monitor.png");
        }
        Feed(view, "$C99,0\r\n");
        EXPECT_EQ(list->item(0)->text(), "$C99,0"); // without its line end
        for (auto* button : monitor.findChildren<QPushButton*>()) {
            if (button->text() == "清空接收区")
                button->click();
        }
        counts.push_back(list->count());
        Feed(view, "$C100,0\r\n");
        counts.push_back(list->count());
        monitor.accept();
    });
    t.Run(ID_SERIAL_MONITOR);
    EXPECT_EQ(counts,
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 0, 1}));
    EXPECT_FALSE(monitor.IsShown());
    Feed(view, "$C101,0\r\n"); // closed: not echoed
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
        const char* pitch;
        const char* roll;
        bool accepted;
        const char* message;
    };
    const std::vector<Case> table = {
        {"0", "90", true, ""},
        {"91", "30", false, "请输入一个介于 0 和 90 之间的整数。"},
        {"-1", "30", false, "请输入一个介于 0 和 90 之间的整数。"},
        {"12.5", "30", false, "请输入一个整数。"},
        {"30", "", false, "请输入一个整数。"},
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
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(dialog.isVisible(), !c.accepted);
        if (!c.accepted) {
            ASSERT_EQ(prompter.m_boxes.size(), 1u);
            EXPECT_EQ(prompter.m_boxes[0].text, c.message);
            QLineEdit* faulty = std::string(c.message).empty() ? nullptr
                                : QString(c.pitch) == "30"     ? dialog.RollEdit()
                                                               : dialog.PitchEdit();
            EXPECT_TRUE(faulty && dialog.focusWidget() == faulty);
        } else {
            EXPECT_EQ(dialog.m_nPitch, 0);
            EXPECT_EQ(dialog.m_nRoll, 90);
        }
    }
}

TEST(AlarmLimits, TheFrameAppliesOKAndIgnoresCancel) {
    CLiveFrame live;
    live.Start();
    CMainFrame& frame = *live.frame;
    const CMonitorState& monitor = frame.Session().Monitor();
    auto answer = [](const char* pitch, bool ok) {
        QTimer::singleShot(0, [=] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<CAlarmLimitsDlg*>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                dialog->PitchEdit()->setText(pitch);
                if (ok)
                    dialog->OnOK();
                else
                    dialog->reject();
            }
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
    if (QMediaDevices::defaultAudioOutput().isNull()) // said, since it cannot be heard
        EXPECT_TRUE(frame.statusBar()->currentMessage().contains("报警声音无法播放"));
    EXPECT_EQ(frame.AlarmStatus(), "俯仰角超出报警范围 ±5°");
    // Silenced: quiet; under the limit before acknowledgement: rectified,
    // waiting for it; acknowledged: over.
    EXPECT_TRUE(frame.OnCommand(ID_ALARM_SILENCE));
    ASSERT_TRUE(WaitUntil([&] { return !frame.Alarm()->IsSounding(); }));
    EXPECT_EQ(frame.AlarmStatus(), "俯仰角超出报警范围 ±5°（已静音）");
    ASSERT_TRUE(live.Send("$C1,2\r\n", 2));
    ASSERT_TRUE(WaitUntil([&] { return frame.AlarmStatus().contains("已恢复"); }));
    EXPECT_FALSE(frame.OnCommand(ID_ALARM_SILENCE)); // nothing left to silence
    EXPECT_TRUE(frame.OnCommand(ID_ALARM_ACKNOWLEDGE));
    ASSERT_TRUE(WaitUntil([&] { return frame.AlarmStatus().isEmpty(); }));
    EXPECT_FALSE(frame.Alarm()->IsSounding());
    EXPECT_EQ(monitor.Samples().Size(), 2u);
}

TEST(VersionInfo, NamesTheProgram) {
    CVersionInfoDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "版本信息");
    QStringList texts;
    for (auto* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Velquor 1.0"));
    dialog.show();
    dialog.grab().save(TestOutputDir() + "/version-info.png");
}

} // namespace
