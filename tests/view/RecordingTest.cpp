#include "link/ReceiverMessage.h"
#include "link/SerialMonitorDlg.h"
#include "platform/AlarmTone.h"
#include "platform/CommandIds.h"
#include "shell/AlarmLimitsDlg.h"
#include "shell/MainFrame.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"
#include "tools/Simulator.h"
#include "view/Alarm.h"
#include "view/QuillmarView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray TestData(const char* name) {
    return ReadAll(QString(QUILLMAR_TEST_DATA) + "/" + name);
}

// Feeds text through a framer into the view, as the frame does.
void Feed(CQuillmarView& view, const QByteArray& bytes, long hint = HINT_NEW_MESSAGE) {
    static CReceiverMessage framer;
    for (char c : bytes) {
        if (framer.FeedByte(static_cast<std::uint8_t>(c)))
            view.OnUpdate(nullptr, hint, &framer);
    }
}

std::string RecordPath(const CQuillmarView& view) {
    return view.m_fileRecord.Path();
}

TEST(Recording, AMixedStreamOverTheLineIsRecordedByteForByte) {
    CScopedSettings settings;
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    CInstrumentSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(&error)) << error;
    CQuillmarDoc doc;
    CMainFrame frame(&doc, QString::fromStdString(sim.SlavePath()));
    auto* view = new CQuillmarView(dir.filePath("records"), &frame);
    doc.AddView(view);
    ASSERT_TRUE(frame.OnCreate(view));
    const QByteArray stream = TestData("mixed-stream.bin");
    const QByteArray expected = TestData("mixed-stream.record");
    ASSERT_FALSE(stream.isEmpty());
    for (qsizetype at = 0; at < stream.size(); at += 97)
        ASSERT_TRUE(sim.Write(stream.mid(at, 97).toStdString()));
    const QString path = QString::fromStdString(RecordPath(*view));
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(path).size() >= expected.size(); }));
    EXPECT_TRUE(ReadAll(path) == expected);
    EXPECT_TRUE(QFileInfo(path).fileName().contains(
        QRegularExpression("^\\d{4}-\\d{1,2}-\\d{1,2}-\\d{1,2}-\\d{1,2}-\\d{1,2}(-\\d+)?\\.txt$")));
}

TEST(Recording, StartsInTheSameSecondKeepEveryFile) {
    QTemporaryDir dir;
    std::tm when{};
    when.tm_year = 2005 - 1900, when.tm_mon = 11, when.tm_mday = 7;
    when.tm_hour = 9, when.tm_min = 5, when.tm_sec = 3;
    CRecordFile first, second, third;
    std::string error;
    ASSERT_TRUE(first.CreateNew(dir.path().toStdString(), when, &error)) << error;
    ASSERT_TRUE(first.Write("first\n"));
    ASSERT_TRUE(second.CreateNew(dir.path().toStdString(), when, &error)) << error;
    ASSERT_TRUE(third.CreateNew(dir.path().toStdString(), when, &error)) << error;
    EXPECT_EQ(QFileInfo(QString::fromStdString(first.Path())).fileName(), "2005-12-7-9-5-3.txt");
    EXPECT_EQ(QFileInfo(QString::fromStdString(second.Path())).fileName(), "2005-12-7-9-5-3-2.txt");
    EXPECT_EQ(QFileInfo(QString::fromStdString(third.Path())).fileName(), "2005-12-7-9-5-3-3.txt");
    EXPECT_EQ(ReadAll(QString::fromStdString(first.Path())), "first\n");
}

TEST(Recording, AnUncreatableFolderIsReportedOnceAndMonitoringGoesOn) {
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    QFile blocker(dir.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CQuillmarView view(dir.filePath("not-a-folder/records"));
    EXPECT_FALSE(view.m_fileRecord.IsOpen());
    ASSERT_EQ(prompter.m_notes.size(), 1u);
    EXPECT_TRUE(prompter.m_notes[0].text.contains(dir.filePath("not-a-folder")));
    EXPECT_TRUE(view.RecordStatus().contains("无法建立记录文件"));
    Feed(view, "$C12.5,1.0\r\n$GPHDT,13.0,T\r\n");
    EXPECT_EQ(view.m_arrSamples.size(), 2u);
    EXPECT_EQ(view.m_strHeading, "13.0");
    EXPECT_EQ(prompter.m_notes.size(), 1u);
}

TEST(Recording, OnlyHint1000IsActedOn) {
    QTemporaryDir dir;
    CQuillmarView view(dir.path());
    Feed(view, "$C1,2\r\n", 0);
    Feed(view, "$C1,2\r\n", 999);
    EXPECT_TRUE(view.m_arrSamples.empty());
    EXPECT_TRUE(view.m_strHeading.empty());
    EXPECT_TRUE(ReadAll(QString::fromStdString(RecordPath(view))).isEmpty());
}

// A disk that fills up: a small tmpfs where the machine lets us mount one,
// else the file-size limit, which fails writes the same way.
class FullDisk {
public:
    explicit FullDisk(const QString& folder) : m_folder(folder) {
        QDir().mkpath(folder);
        m_mounted = mount("tmpfs", folder.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") == 0;
        std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FullDisk() {
        if (m_mounted)
            umount2(m_folder.toLocal8Bit().constData(), MNT_DETACH);
        Limit(RLIM_INFINITY);
    }
    // Limits file sizes when there is no tmpfs; bytes is the room left.
    void Fill(const QString& file, std::size_t room) {
        if (m_mounted) {
            QFile filler(m_folder + "/filler");
            filler.open(QIODevice::WriteOnly);
            while (filler.write(QByteArray(4096, 'x')) > 0) {
            }
            filler.close();
            m_filler = filler.fileName();
        } else {
            Limit(QFileInfo(file).size() + static_cast<qint64>(room));
        }
    }
    void Free() {
        if (m_mounted)
            QFile::remove(m_filler);
        else
            Limit(RLIM_INFINITY);
    }

private:
    static void Limit(rlim_t bytes) {
        rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    QString m_folder;
    QString m_filler;
    bool m_mounted = false;
};

TEST(Recording, AFullDiskIsReportedOnceAndNothingIsLostWhenItFrees) {
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    FullDisk disk(dir.filePath("disk"));
    CQuillmarView view(dir.filePath("disk"));
    ASSERT_TRUE(view.m_fileRecord.IsOpen());
    QStringList statuses;
    QObject::connect(&view, &CQuillmarView::RecordStatusChanged,
                     [&](const QString& text) { statuses << text; });
    QByteArray all;
    auto send = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const QByteArray line = QString("$C%1.0,1.0\r\n").arg(i).toLatin1();
            all += line;
            Feed(view, line);
        }
    };
    send(0, 10);
    disk.Fill(QString::fromStdString(RecordPath(view)), 0);
    send(10, 3000); // well past the last free page
    EXPECT_EQ(statuses.size(), 1) << statuses.join("|").toStdString();
    EXPECT_TRUE(statuses.value(0).contains("写入失败"));
    EXPECT_GT(view.m_fileRecord.Backlog(), 0u);
    disk.Free();
    view.CheckRecording(); // what the once-a-second check does
    send(3000, 3010);
    EXPECT_TRUE(statuses.last().contains("恢复"));
    EXPECT_TRUE(ReadAll(QString::fromStdString(RecordPath(view))) == all);
    EXPECT_EQ(view.m_arrSamples.size(), 3010u);
    EXPECT_TRUE(prompter.m_boxes.empty());
}

TEST(Recording, ADeletedRecordFileIsRecreated) {
    QTemporaryDir dir;
    CQuillmarView view(dir.path());
    Feed(view, "$C1,2\r\n");
    const QString path = QString::fromStdString(RecordPath(view));
    ASSERT_TRUE(QFile::remove(path));
    view.CheckRecording();
    Feed(view, "$C3,4\r\n");
    EXPECT_EQ(ReadAll(path), "$C3,4\r\n");
    EXPECT_TRUE(view.RecordStatus().contains("重新建立"));
}

TEST(Recording, SaveDataPathMovesRecordingAndCancelChangesNothing) {
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    CQuillmarView view(dir.path());
    const QString first = QString::fromStdString(RecordPath(view));
    Feed(view, "$C1,2\r\n");
    view.OnCommand(ID_SAVE_DATA_PATH); // cancelled
    ASSERT_EQ(prompter.m_fileDialogs.size(), 1u);
    const auto& request = prompter.m_fileDialogs[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.title, "保存");
    EXPECT_EQ(request.filter, "Data Files (*.dat);;All File (*.*)");
    EXPECT_EQ(request.defaultSuffix, "DAT");
    EXPECT_EQ(request.proposedName, "TimeFileName");
    EXPECT_TRUE(request.confirmOverwrite);
    EXPECT_EQ(RecordPath(view), first.toStdString());
    EXPECT_TRUE(view.m_strRecordPath.isEmpty());

    const QString chosen = dir.filePath("chosen.DAT");
    QFile old(chosen);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("replaced after the question\n");
    old.close();
    prompter.m_files.push_back(chosen);
    view.OnCommand(ID_SAVE_DATA_PATH);
    EXPECT_EQ(view.m_strRecordPath, chosen);
    Feed(view, "$C3,4\r\n");
    EXPECT_EQ(ReadAll(chosen), "$C3,4\r\n");
    EXPECT_EQ(ReadAll(first), "$C1,2\r\n");
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
        const QStringList files = QDir(dir.filePath("records")).entryList(QDir::Files);
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
    const QStringList files = QDir(dir.filePath("records")).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QByteArray record = ReadAll(dir.filePath("records/" + files[0]));
    ASSERT_GT(record.size(), 0);
    // A prefix of what was sent that ends at a message's end.
    EXPECT_TRUE(sent.compare(0, static_cast<std::size_t>(record.size()), record.toStdString()) ==
                0);
    EXPECT_TRUE(record.endsWith("\r\n"));
}

TEST(SerialMonitor, ShowsFifteenLinesClearsAndStartsEmpty) {
    QTemporaryDir dir;
    CQuillmarView view(dir.path());
    std::vector<int> counts;
    QTimer::singleShot(0, [&] {
        QListWidget* list = view.m_dlgMonitor.List();
        for (int i = 1; i <= 16; ++i) {
            Feed(view, QString("$C%1,0\r\n").arg(i).toLatin1());
            counts.push_back(list->count());
            if (i == 15)
                view.m_dlgMonitor.grab().save(TestOutputDir() + "/serial-monitor.png");
        }
        Feed(view, "$C99,0\r\n");
        EXPECT_EQ(list->item(0)->text(), "$C99,0"); // without its line end
        for (auto* button : view.m_dlgMonitor.findChildren<QPushButton*>()) {
            if (button->text() == "清空接收区")
                button->click();
        }
        counts.push_back(list->count());
        Feed(view, "$C100,0\r\n");
        counts.push_back(list->count());
        view.m_dlgMonitor.accept();
    });
    view.OnCommand(ID_SERIAL_MONITOR);
    EXPECT_EQ(counts,
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 0, 1}));
    EXPECT_FALSE(view.m_dlgMonitor.IsShown());
    Feed(view, "$C101,0\r\n"); // closed: not echoed
    int reopened = -1;
    QTimer::singleShot(0, [&] {
        reopened = view.m_dlgMonitor.List()->count();
        view.m_dlgMonitor.reject();
    });
    view.OnCommand(ID_SERIAL_MONITOR);
    EXPECT_EQ(reopened, 0);
    EXPECT_EQ(view.m_arrSamples.size(), 19u);
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
    CFrameUnderTest t;
    CMainFrame& frame = *t.frame;
    CQuillmarView* view = t.view;
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
    EXPECT_EQ(g_nPitchLimit, 30);
    answer("5", true);
    frame.OnCommand(ID_ALARM_LIMITS);
    EXPECT_EQ(g_nPitchLimit, 5);
    EXPECT_EQ(g_nRollLimit, 30);

    // Beyond the limit: the alarm sounds, and reception goes on meanwhile.
    Feed(*view, "$GPROT,-7.5,A\r\n");
    EXPECT_TRUE(view->Alarm()->IsSounding());
    EXPECT_TRUE(view->AlarmStatus().contains("俯仰角")) << view->AlarmStatus().toStdString();
    Feed(*view, "$C1,2\r\n$C1,-6\r\n");
    EXPECT_EQ(view->m_arrSamples.size(), 3u);
    EXPECT_FALSE(view->Alarm()->Play()); // not restarted while it sounds
    Feed(*view, "$C1,2\r\n");
    EXPECT_TRUE(view->AlarmStatus().isEmpty());
    EXPECT_TRUE(WaitUntil([&] { return !view->Alarm()->IsSounding(); }, 3000));
    g_nPitchLimit = 30;
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
