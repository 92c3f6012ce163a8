#include "platform/ErrorText.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString WriteR35(const QTemporaryDir& dir, int lines) {
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += QString("$C%1,%2\r\n")
                     .arg(180 + 150 * std::sin(i / 900.0), 0, 'f', 1)
                     .arg(6 * std::sin(i / 70.0), 0, 'f', 2)
                     .toLatin1();
    return Write(dir, "r35.txt", bytes);
}

// A load runs on a thread of its own: the event loop turns until it ended.
bool LoadEnded(const CQuillmarView& view) {
    return WaitUntil([&] { return !view.Analysis().IsLoading(); }, 60000);
}

// 打开分析文件: a cancelled dialog leaves the view and what it showed as
// they were; a record of this program is known by what it holds, whatever its
// name, and loaded as 调入记录文件 does; a complete load resets the view;
// what cannot be loaded is said.
TEST(AnalysisView, OpenAnalysisFileLoadsThroughTheDialogAndACancelChangesNothing) {
    CViewUnderTest t;
    CQuillmarView& view = t.view;
    const QString record = QUILLMAR_TEST_DATA "/mixed-stream.record";
    ASSERT_TRUE(t.Load(record, AnalysisSource::Record));
    const std::vector<AnalysisSample> expected = view.Analysis().Records();
    ASSERT_FALSE(expected.empty());
    const QString renamed = t.dir.filePath("SESSION.DAT");
    ASSERT_TRUE(QFile::copy(record, renamed));

    t.Run(ID_VIEW_REALTIME2);
    t.Run(ID_STRETCH_X);
    t.Run(ID_LOAD_ANALYSIS_FILE); // cancelled
    EXPECT_EQ(view.Mode(), ViewMode::RealTime2);
    ASSERT_EQ(t.prompter.m_fileDialogs.size(), 1u);
    EXPECT_EQ(t.prompter.m_fileDialogs[0].title, "打开R35格式文件进行分析");
    EXPECT_FALSE(t.prompter.m_fileDialogs[0].save);
    EXPECT_EQ(view.Navigation().m_dZoomX, 1.5);
    EXPECT_EQ(view.Analysis().Path(), record);

    t.prompter.m_files.push_back(renamed);
    t.Run(ID_LOAD_ANALYSIS_FILE);
    ASSERT_TRUE(LoadEnded(view));
    EXPECT_EQ(view.Mode(), ViewMode::Analysis);
    const std::vector<AnalysisSample>& loaded = view.Analysis().Records();
    ASSERT_EQ(loaded.size(), expected.size());
    EXPECT_EQ(std::memcmp(loaded.data(), expected.data(), loaded.size() * sizeof loaded[0]), 0);

    t.Run(ID_STRETCH_X);
    const QString file = WriteR35(t.dir, 9000);
    t.prompter.m_files.push_back(file);
    t.Run(ID_LOAD_ANALYSIS_FILE);
    ASSERT_TRUE(LoadEnded(view));
    EXPECT_EQ(view.Analysis().Records().size(), 9000u);
    EXPECT_EQ(view.Analysis().Path(), file);
    EXPECT_EQ(view.Navigation().m_dZoomX, 1.0); // reset after a complete load
    EXPECT_TRUE(t.prompter.m_boxes.empty());
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
    EXPECT_TRUE(image.save(TestOutputDir() + "/analysis-view.png"));

    const QString missing = t.dir.filePath("missing.txt");
    const std::vector<std::pair<QString, QString>> refused = {
        // file, what the box says
        {missing,
         "无法打开文件：" + missing + "\n" + QString::fromStdString(SystemErrorText(ENOENT))},
        {Write(t.dir, "empty.txt", ""), "所选的文件为空！"},
        {Write(t.dir, "text.txt", "heading 12\r\npitch 1\r\n"), "请检查文件格式"},
    };
    for (const auto& [path, said] : refused) {
        t.prompter.m_files.push_back(path);
        t.Run(ID_LOAD_ANALYSIS_FILE);
        ASSERT_TRUE(LoadEnded(view));
        EXPECT_EQ(t.prompter.m_boxes.back().text, said);
    }
    EXPECT_EQ(t.prompter.m_boxes.size(), refused.size());
}

// The curve toggles need the analysis view and show as check marks. A load
// runs beside the event loop: the command returns at once and the window goes
// on while the file loads. A cancelled load ("取消调入" or Esc) leaves the
// records and the picture shown before.
TEST(AnalysisView, TogglesAndALoadBesideTheWindowThatACancelLeavesAsItWas) {
    CFrameUnderTest t;
    CMainFrame& frame = *t.frame;
    auto checked = [&](int id) {
        for (QAction* action : frame.Actions(id))
            EXPECT_EQ(action->isChecked(), frame.Action(id)->isChecked());
        return frame.Action(id)->isChecked();
    };
    EXPECT_TRUE(checked(ID_TOGGLE_HEADING) && checked(ID_TOGGLE_PITCH));
    EXPECT_FALSE(checked(ID_TOGGLE_ROLL) || checked(ID_TOGGLE_SATELLITE) ||
                 checked(ID_TOGGLE_ERROR));
    // Where a command does not apply it is greyed, its status tip saying why.
    struct Case {
        int display, command;
        QString note; // empty: enabled, with its usual prompt
    };
    const Case cases[] = {
        {ID_VIEW_REALTIME1, ID_TOGGLE_HEADING, "曲线开关只用于曲线视图"},
        {ID_VIEW_REALTIME1, ID_ZOOM_CENTRE_IN, "放大和缩小只用于曲线视图"},
        {ID_VIEW_REALTIME2, ID_TOGGLE_ROLL, ""},
        {ID_VIEW_REALTIME2, ID_TOGGLE_ERROR, "实时曲线没有卫星数和误差值"},
        {ID_VIEW_REALTIME2, ID_ZOOM_CENTRE_OUT, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        frame.Action(c.display)->trigger();
        EXPECT_EQ(frame.Action(c.command)->isEnabled(), c.note.isEmpty());
        EXPECT_EQ(frame.Action(c.command)->statusTip(),
                  c.note.isEmpty() ? PromptFor(c.command).statusPrompt : c.note);
    }
    EXPECT_TRUE(checked(ID_TOGGLE_ROLL)); // the live curves' own, on
    frame.Action(ID_TOGGLE_ROLL)->trigger();
    EXPECT_FALSE(checked(ID_TOGGLE_ROLL));
    EXPECT_TRUE(t.prompter.m_boxes.empty());

    frame.show();
    QApplication::setActiveWindow(&frame);
    const QString shown = WriteR35(t.dir, 500);
    t.view->StartLoad(shown);
    ASSERT_TRUE(LoadEnded(*t.view));
    EXPECT_FALSE(frame.Action(ID_CANCEL_LOAD)->isEnabled());
    QCoreApplication::processEvents(); // the frame lays the view out
    const QImage before = t.view->grab().toImage();
    frame.Action(ID_TOGGLE_ROLL)->trigger();
    EXPECT_TRUE(checked(ID_TOGGLE_ROLL));
    EXPECT_EQ(t.view->grab().toImage(), before); // no roll curve to draw
    frame.Action(ID_TOGGLE_ROLL)->trigger();
    EXPECT_FALSE(checked(ID_TOGGLE_ROLL));

    QByteArray lines;
    for (int i = 0; i < 3000000; ++i)
        lines += "$C123.4,-2.50\r\n";
    const QString big = Write(t.dir, "big.txt", lines);
    for (bool byKey : {false, true}) {
        t.view->StartLoad(big);
        EXPECT_TRUE(t.view->Analysis().IsLoading());
        EXPECT_TRUE(frame.Action(ID_CANCEL_LOAD)->isEnabled());
        bool turned = false;
        QTimer::singleShot(0, [&] { turned = t.view->Analysis().IsLoading(); });
        ASSERT_TRUE(WaitUntil([&] { return turned; }));
        if (byKey)
            QTest::keyClick(&frame, Qt::Key_Escape);
        else
            frame.OnCommand(ID_CANCEL_LOAD);
        EXPECT_FALSE(t.view->Analysis().IsLoading()) << byKey;
        EXPECT_EQ(t.view->Analysis().Records().size(), 500u);
        EXPECT_EQ(t.view->Analysis().Path(), shown);
        EXPECT_EQ(t.view->grab().toImage(), before);
    }
    t.view->StartLoad(big); // and one left to end
    ASSERT_TRUE(LoadEnded(*t.view));
    EXPECT_EQ(t.view->Analysis().Records().size(), 3000000u);

    frame.Action(ID_TOGGLE_HEADING)->trigger();
    frame.Action(ID_TOGGLE_PITCH)->trigger();
    EXPECT_FALSE(checked(ID_TOGGLE_HEADING) || checked(ID_TOGGLE_PITCH));
    CRecordingCanvas canvas;
    t.view->OnDraw(canvas);
    EXPECT_TRUE(canvas.m_items.empty()); // not even the time frame
}

TEST(AnalysisView, TheProgressTraceIsThatOfEveryLine) {
    for (auto [lines, length] : {std::pair<std::uint64_t, std::uint64_t>{3, 15000},
                                 {2, 1500},
                                 {5000, 15 * 5000},
                                 {123, 1000000},
                                 {700, 7000}}) {
        std::vector<QPoint> naive{{10, 630}};
        for (std::uint64_t k = 1; k <= lines; ++k) {
            const int x = static_cast<int>(10 + 15000 * k / length);
            if (naive.size() >= 3 && naive.back().x() == x)
                continue; // the same two strokes again
            naive.emplace_back(x, 630);
            naive.emplace_back(x, 650);
        }
        while (naive.size() > 1 && naive.back().x() > 1024)
            naive.pop_back();
        EXPECT_EQ(CAnalysisSession::ProgressTrace(lines, length, 1023), naive)
            << lines << "/" << length;
    }
}

// The program without a display, as over a plain terminal or in a script:
// help and version need no window system; a screenshot run draws offscreen
// by itself, the batch plot of a recording too; a CSV export writes its file
// (or says why not); a file that does not load (a FIFO nobody writes to, as a
// recording or as the document) ends the run at once, failed, with the
// reason on the error stream, in the window's language; another run says why
// it cannot start. An export never takes the place of the recording or its
// files (every reason: CsvExport's tests; here, that the command line names
// them). A FIFO read anywhere (a timing file, a replayed record, the settings
// file) is refused at once, never waited on.
TEST(Application, RunsWithoutADisplayWhereItNeedsNone) {
    CScopedSettings settings;
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString notRegular = "无法打开文件：" + fifo + " 不是普通文件";
    const QString recording = Write(dir, "r3.txt", "$C180.5,-3.25\r\n$GPROT,1\r\n$C1,0.1\r\n");
    const QString csv = dir.filePath("r3.csv"), notTaken = dir.filePath("not-taken.png");
    // A record with its timing file, and one whose timing file is a FIFO.
    const QByteArray record = "$GPZDA,090503.00,07,12,2026,00,00*6B\r\n$C1,2\r\n";
    const QString timed = Write(dir, "rec.txt", record), untimed = Write(dir, "piped.txt", record);
    const QByteArray times("QMTIMES1\x95\xda\xbf\x4f\xa2\x01\x00\x00\x00\xa0\x06", 19);
    Write(dir, "rec-times.bin", times);
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("piped-times.bin")).constData(), 0600), 0);
    QTemporaryDir pipedSettings; // its settings file a FIFO
    ASSERT_TRUE(QDir(pipedSettings.path()).mkpath("Quillmar Solution"));
    const QString settingsFile = pipedSettings.filePath("Quillmar Solution/Quillmar.ini");
    ASSERT_EQ(mkfifo(QFile::encodeName(settingsFile).constData(), 0600), 0);
    const QString timesFifo = "计时文件不是普通文件，未采用";
    struct Case {
        QStringList arguments;
        int exitCode;
        QString said;            // on the error stream, or on either when it succeeds
        QString shot = {};       // with a screenshot taken there
        QString configHome = {}; // the settings' folder, when not the usual one
    };
    const QString shots = TestOutputDir(), missing = dir.filePath("missing.txt");
    const std::vector<Case> table = {
        {{"--help"}, 0, "--record-folder <DIR>"},
        {{"-h"}, 0, "--version"},
        {{"--version"}, 0, "Quillmar 1.0"},
        {{}, 0, "screenshot saved", shots + "/no-display.png"},
        {{"--port", "/nonexistent/tty"}, 1, "no display"},
        {{"--analyse", recording, "--export-csv", csv}, 0, ""},
        {{"--analyse", missing, "--export-csv", dir.filePath("m.csv")}, 1, "无法打开文件"},
        {{"--analyse", recording, "--export-csv", dir.filePath("no/r3.csv")}, 1, "无法写入文件"},
        {{"--analyse", WriteR35(dir, 20000)}, 0, "", shots + "/analyse-option.png"},
        {{"--analyse", fifo}, 1, notRegular, notTaken},
        {{"--analyse-record", QUILLMAR_TEST_DATA "/mixed-stream.record"},
         0,
         "",
         shots + "/analyse-record-option.png"},
        {{"--analyse-record", fifo}, 1, notRegular, notTaken},
        {{fifo}, 1, notRegular, notTaken},
        {{"--lang", "en", "--analyse-record", timed, "--export-csv", timed},
         1,
         "It is the loaded file and must not be overwritten."},
        {{"--lang", "en", "--analyse", recording, "--export-csv", fifo},
         1,
         "It is not a regular file"},
        {{"--lang", "en", "--export-csv", csv}, 2, "--export-csv needs the recording"},
        {{"--analyse-record", timed, "--export-csv", dir.filePath("rec-times.bin")},
         1,
         "这是载入文件的计时文件，不能覆盖它"},
        {{"--analyse-record", untimed, "--export-csv", dir.filePath("piped.csv")}, 0, timesFifo},
        {{"--replay", fifo}, 1, "不是普通文件", notTaken},
        {{"--replay", untimed}, 0, "", shots + "/replay-times-fifo.png"},
        {{},
         0,
         "设置文件不是普通文件：" + settingsFile,
         dir.filePath("settings-fifo.png"),
         pipedSettings.path()},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    environment.insert("XDG_CONFIG_HOME", settings.Folder());
    for (const Case& c : table) {
        SCOPED_TRACE(c.arguments.join(" ").toStdString());
        QStringList arguments = c.arguments;
        if (!c.shot.isEmpty()) {
            QFile::remove(c.shot);
            arguments = QStringList{"--port",          "/nonexistent/tty",
                                    "--record-folder", dir.filePath("records"),
                                    "--screenshot",    c.shot} +
                        arguments;
        }
        QProcess program;
        QProcessEnvironment own = environment;
        if (!c.configHome.isEmpty())
            own.insert("XDG_CONFIG_HOME", c.configHome);
        program.setProcessEnvironment(own);
        program.start(QUILLMAR_BINARY, arguments);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.exitCode);
        const QByteArray errors = program.readAllStandardError();
        EXPECT_TRUE(
            QString::fromUtf8(c.exitCode ? errors : program.readAllStandardOutput() + errors)
                .contains(c.said));
        if (c.shot.isEmpty())
            continue;
        const QImage image(c.shot); // the window inside its frame
        EXPECT_EQ(image.isNull(), c.exitCode != 0);
        if (!image.isNull())
            EXPECT_TRUE(image.width() <= 1035 && image.width() > 1000 && image.height() <= 747 &&
                        image.height() > 700)
                << image.width() << "x" << image.height();
    }
    EXPECT_EQ(ReadFile(csv.toStdString()),
              "index,time,heading,pitch,roll\n0,,180.5,-3.25,\n1,,1,0.1,\n");
    // Refused exports left every file as it was.
    EXPECT_EQ(ReadFile(timed.toStdString()), record.toStdString());
    EXPECT_EQ(ReadFile(dir.filePath("rec-times.bin").toStdString()), times.toStdString());
    EXPECT_EQ(ReadFile(recording.toStdString()), "$C180.5,-3.25\r\n$GPROT,1\r\n$C1,0.1\r\n");
    EXPECT_TRUE(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));
    // The timing file left aside, the times came from the record's clock.
    EXPECT_TRUE(QByteArray::fromStdString(ReadFile(dir.filePath("piped.csv").toStdString()))
                    .contains("\n0,2026-12-07T09:05:03.100Z,1,2,\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath("m.csv")));
}

} // namespace
