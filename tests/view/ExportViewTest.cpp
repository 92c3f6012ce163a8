#include "platform/ErrorText.h"
#include "plots/CsvExport.h"
#include "shell/CommandIds.h"
#include "support/TestSupport.h"
#include "view/PictureExport.h"
#include "view/QuillmarView.h"
#include "view/SessionSummaryDlg.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::vector<AnalysisSample> Curves(int count) {
    std::vector<AnalysisSample> records(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        records[static_cast<std::size_t>(i)].fHeading =
            static_cast<float>(180 + 150 * std::sin(i / 300.0));
        records[static_cast<std::size_t>(i)].fPitch = static_cast<float>(6 * std::sin(i / 70.0));
    }
    return records;
}

// Pixels of the heading curve's green, drawn plainly or smoothed.
int GreenPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.green() > 200 && c.red() < 120 && c.blue() < 120;
        }
    }
    return count;
}

// "导出…" run through the command table as the menu runs it, the file dialog
// answered: each format by its extension, pictures at the size chosen.
TEST(AnalysisExport, EachFormatIsWrittenAtTheChosenSize) {
    CViewUnderTest t;
    EXPECT_FALSE(t.commands.IsEnabled(ID_ANALYSIS_EXPORT)); // nothing loaded yet
    const std::vector<AnalysisSample> records = Curves(5000);
    t.view.ShowRecords(records);
    ASSERT_TRUE(t.commands.IsEnabled(ID_ANALYSIS_EXPORT));
    QSignalSpy notes(&t.view, &CQuillmarView::StatusNote);

    struct Case {
        QString name;
        QSize size;
    };
    const std::vector<Case> table = {{"plot.png", {800, 500}},
                                     {"plot.pdf", {640, 400}},
                                     {"plot.svg", {900, 300}},
                                     {"r.csv", {}}};
    for (const Case& c : table) {
        SCOPED_TRACE(c.name.toStdString());
        t.prompter.m_files.push_back(t.dir.filePath(c.name));
        t.prompter.m_sizes.push_back(c.size);
        ASSERT_TRUE(t.Run(ID_ANALYSIS_EXPORT));
        ASSERT_FALSE(notes.isEmpty());
        EXPECT_EQ(notes.takeLast().at(0).toString(), "已导出 " + t.dir.filePath(c.name));
        const QByteArray bytes =
            QByteArray::fromStdString(ReadFile(t.dir.filePath(c.name).toStdString()));
        if (c.name.endsWith(".png")) {
            const QImage image = QImage::fromData(bytes, "PNG");
            EXPECT_EQ(image.size(), c.size);
            EXPECT_GT(GreenPixels(image), c.size.width()); // the heading curve, all across
            // Margins: only the texts above the curves hold the legend's green.
            const QRect plot = PicturePlotArea(c.size, QFontMetrics(t.view.font()).height());
            EXPECT_GT(GreenPixels(image.copy(0, 0, c.size.width(), plot.top())), 10);
            for (const QRect& margin :
                 {QRect(0, plot.top(), plot.left() - 1, plot.height()),
                  QRect(plot.right() + 2, plot.top(), c.size.width(), plot.height()),
                  QRect(0, plot.bottom() + 2, c.size.width(), c.size.height())})
                EXPECT_EQ(GreenPixels(image.copy(margin)), 0);
            image.save(TestOutputDir() + "/export.png");
        } else if (c.name.endsWith(".pdf")) {
            EXPECT_TRUE(bytes.startsWith("%PDF"));
            EXPECT_TRUE(bytes.contains("/MediaBox [0 0 640.000000 400.000000]"));
            EXPECT_GT(bytes.size(), 5000);
        } else if (c.name.endsWith(".svg")) {
            QSvgRenderer svg(bytes);
            ASSERT_TRUE(svg.isValid());
            EXPECT_EQ(svg.defaultSize(), c.size);
            QImage image(c.size, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            svg.render(&painter);
            EXPECT_GT(GreenPixels(image), c.size.width());
        } else {
            EXPECT_EQ(bytes.toStdString(), AnalysisCsv(records, {}));
        }
    }
    EXPECT_EQ(t.prompter.m_fileDialogs.back().proposedName, "Quillmar.csv");
    EXPECT_EQ(t.prompter.m_proposedSizes.front(), QSize(1023, 670)); // the window's
    EXPECT_TRUE(t.prompter.m_boxes.empty());

    const std::vector<std::pair<QString, QString>> refused = {
        {t.dir.filePath("plot.bmp"), "不能导出为这种文件：" + t.dir.filePath("plot.bmp")},
        {t.dir.filePath("no/r.csv"), QString::fromStdString(SystemErrorText(ENOENT))},
        {t.dir.filePath("no/p.png"), QString::fromStdString(SystemErrorText(ENOENT))},
    };
    for (const auto& [path, said] : refused) {
        t.prompter.m_files.push_back(path);
        t.Run(ID_ANALYSIS_EXPORT);
        ASSERT_FALSE(t.prompter.m_boxes.empty());
        EXPECT_TRUE(t.prompter.m_boxes.back().text.contains(said)) << path.toStdString();
    }
}

// An exported picture says what it shows around the curves: the file and
// the span shown, a legend of the curves drawn in their colours, the axes'
// names and units.
TEST(AnalysisExport, ThePictureHasItsTitleLegendAndAxesNames) {
    CViewUnderTest t;
    std::vector<AnalysisSample> records = Curves(1000);
    for (AnalysisSample& record : records)
        record.fSpare1 = 2; // roll
    std::vector<std::uint32_t> offsets(1000);
    for (std::uint32_t i = 0; i < offsets.size(); ++i)
        offsets[i] = 100 * i;
    t.view.ShowRecords(records); // the analysis view, then the records with roll and times
    t.view.Analysis().SetRecords(records,
                                 {RecordTimeSource::TimingFile, 1796634303125, offsets, {}}, true);
    struct Case {
        int toggle; // switched before the picture; 0: none
        QStringList said, unsaid;
    };
    const std::vector<Case> table = {
        {0,
         {"Quillmar    UTC 2026-12-07 09:05:03 至 2026-12-07 09:06:43", "方位角", "俯仰角",
          "方位角（°）", "俯仰角（°）", "记录序号"},
         {"横滚角"}},
        {ID_TOGGLE_ROLL, {"横滚角", "俯仰角、横滚角（°）"}, {}},
        {ID_TOGGLE_HEADING, {"俯仰角", "横滚角"}, {"方位角"}},
    };
    CRecordingCanvas canvas(QSize(800, 500));
    for (const Case& c : table) {
        SCOPED_TRACE(c.toggle);
        if (c.toggle != 0)
            t.Run(c.toggle);
        canvas = CRecordingCanvas(QSize(800, 500));
        t.view.DrawAnalysisPicture(canvas);
        for (const QString& text : c.said)
            EXPECT_NE(canvas.FindText(text), nullptr) << text.toStdString();
        for (const QString& text : c.unsaid)
            EXPECT_EQ(canvas.FindText(text), nullptr) << text.toStdString();
    }
    // Each legend entry's stroke in its curve's colour (the last picture's).
    for (const QColor& colour : {QColor(128, 0, 128), QColor(255, 0, 0)})
        EXPECT_EQ(canvas.Lines({2, colour}).size(), 1u) << colour.name().toStdString();
    EXPECT_GT(canvas.Count(CRecordingCanvas::Kind::Polyline), 0);
}

// "导出…" of a loaded file: its own files and what is not a regular file are
// refused at once with the reason, nothing asked; an existing file is
// replaced only when the operator says yes.
TEST(AnalysisExport, RefusesTheRecordingAndAsksBeforeReplacingAFile) {
    CViewUnderTest t;
    const std::string recording = "$C10,1\r\n$C11,-3\r\n";
    // A recording under a name an export could take, and its event log.
    const QString loaded = t.dir.filePath("r.csv"), old = t.dir.filePath("old.csv");
    const QString events = t.dir.filePath("r-events.csv");
    ASSERT_TRUE(WriteFile(loaded.toStdString(), recording) &&
                WriteFile(events.toStdString(), "time,subject,event,value,limit\n"));
    ASSERT_EQ(mkfifo(QFile::encodeName(t.dir.filePath("fifo.csv")).constData(), 0600), 0);
    ASSERT_TRUE(t.Load(loaded));
    ASSERT_EQ(t.view.Analysis().Records().size(), 2u);

    struct Case {
        QString target;
        std::deque<QMessageBox::StandardButton> answers;
        QString said;    // in the last box
        std::string old; // what old.csv then holds
    };
    const QString exists = old + " 已存在。\n要替换它吗？";
    const std::string csv = AnalysisCsv(t.view.Analysis().Records(), t.view.Analysis().Times());
    const std::vector<Case> table = {
        {loaded, {}, "这是载入的文件，不能覆盖它", "older"},
        {events, {}, "这是载入文件的事件日志，不能覆盖它", "older"},
        {t.dir.filePath("fifo.csv"), {}, "它不是普通文件", "older"},
        {old, {QMessageBox::No}, exists, "older"},
        {old, {QMessageBox::Yes}, exists, csv},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.target.toStdString());
        ASSERT_TRUE(WriteFile(old.toStdString(), "older"));
        t.prompter.m_boxes.clear();
        t.prompter.m_answers = c.answers;
        t.prompter.m_files.push_back(c.target);
        ASSERT_TRUE(t.Run(ID_ANALYSIS_EXPORT));
        ASSERT_EQ(t.prompter.m_boxes.size(), 1u); // the refusal, or the question alone
        EXPECT_TRUE(t.prompter.m_boxes.back().text.contains(c.said))
            << t.prompter.m_boxes.back().text.toStdString();
        EXPECT_EQ(ReadFile(old.toStdString()), c.old);
    }
    EXPECT_FALSE(t.prompter.m_fileDialogs.back().confirmOverwrite); // asked here, not twice
    EXPECT_EQ(ReadFile(loaded.toStdString()), recording);
    EXPECT_EQ(ReadFile(events.toStdString()), "time,subject,event,value,limit\n");
    struct stat info {};
    EXPECT_TRUE(stat(QFile::encodeName(t.dir.filePath("fifo.csv")).constData(), &info) == 0 &&
                S_ISFIFO(info.st_mode));
}

// "会话摘要" of a loaded file with its event log beside it, and both saves.
// The summary holds each record against the limit the event log shows in
// force at the time, and says which limits those were.
TEST(AnalysisExport, TheSummaryShowsTheRecordingAgainstTheLimitsOfItsTimeAndSavesBothForms) {
    std::string timed; // a record a second from 09:05:00, pitch 5 then 40
    for (int s = 0; s < 10; ++s) {
        char time[16];
        std::snprintf(time, sizeof time, "0905%02d.00", s);
        timed += CInstrumentSimulator::WithNmeaChecksum(
            std::string("$GPGGA,") + time + ",3110.4567,N,12129.8765,E,1,08,1.0,10.0,M,0.0,M,,");
        timed += CInstrumentSimulator::WithNmeaChecksum(s < 5 ? "$GPROT,5.0,A" : "$GPROT,40.0,A");
    }
    const std::string header = "time,subject,event,value,limit\n";
    struct Case {
        QString name;
        std::string record, events;
        AnalysisSource source;
        std::vector<const char*> said;
        const char* csv; // in the CSV saved
    };
    const std::vector<Case> table = {
        {"r",
         "$C10,1\r\n$C11,-31.5\r\n$C12,2\r\n",
         header + "2026-12-07T09:07:41.310Z,pitch,active,31.5,30\n",
         AnalysisSource::R35,
         {"记录：3 条", "最大俯仰角：-31.5°（第 1 条记录）", "俯仰角达到或超过 30°：1 条记录",
          "最大横滚角：未收到", "2026-12-07T09:07:41.310Z  俯仰角 报警 31.5（限值 30）"},
         "\nmax,pitch,,-31.5,30,,1\nbeyond-records,pitch,,1,30,,\n"
         "event,pitch,active,31.5,30,2026-12-07T09:07:41.310Z,\n"},
        // Each record's time is half-way to the next GGA: 00.5 and 01.5 are held
        // against today's 30, 02.5 to 05.5 against 2 (4 s), 06.5 on against 45.
        {"2026-12-7-9-5-0",
         timed,
         header + "2026-12-07T09:05:02.000Z,pitch,active,5,2\n"
                  "2026-12-07T09:05:06.500Z,pitch,normal,40,45\n",
         AnalysisSource::Record,
         {"俯仰角达到或超过当时的限值（30°、2°、45°）：4.000 秒，4 条记录"},
         "beyond-records,pitch,,0,30,,\nbeyond-seconds,pitch,,0.000,30,,\n"
         "beyond-records,pitch,,4,2,,\nbeyond-seconds,pitch,,4.000,2,,\n"
         "beyond-records,pitch,,0,45,,\n"},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name.toStdString());
        CViewUnderTest t;
        const QString path = t.dir.filePath(c.name + ".txt");
        ASSERT_TRUE(WriteFile(path.toStdString(), c.record) &&
                    WriteFile(t.dir.filePath(c.name + "-events.csv").toStdString(), c.events));
        ASSERT_TRUE(t.Load(path, c.source));
        QSignalSpy notes(&t.view, &CQuillmarView::StatusNote);
        ASSERT_TRUE(t.Run(ID_SESSION_SUMMARY));
        auto* dialog = t.view.findChild<CSessionSummaryDlg*>();
        ASSERT_NE(dialog, nullptr);
        for (const char* line : c.said)
            EXPECT_TRUE(dialog->Text().contains(QString::fromUtf8(line)))
                << line << "\n"
                << dialog->Text().toStdString();
        t.prompter.m_files = {t.dir.filePath("s.csv"), t.dir.filePath("s.txt")};
        QTest::mouseClick(dialog->findChild<QPushButton*>("saveCsv"), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton*>("saveText"), Qt::LeftButton);
        EXPECT_EQ(t.prompter.m_fileDialogs.front().proposedName, c.name + "-摘要.csv");
        EXPECT_TRUE(QByteArray::fromStdString(ReadFile(t.dir.filePath("s.csv").toStdString()))
                        .contains(c.csv));
        EXPECT_EQ(QString::fromStdString(ReadFile(t.dir.filePath("s.txt").toStdString())),
                  dialog->Text());
        ASSERT_EQ(notes.size(), 2);
        EXPECT_EQ(notes.at(1).at(0).toString(), "已导出 " + t.dir.filePath("s.txt"));
    }
}

} // namespace
