#include "platform/Canvas.h"
#include "support/TestSupport.h"
#include "survey/CoordLibraryDlg.h"
#include "survey/FileChoiceDlg.h"
#include "survey/ShapePreview.h"
#include "survey/ShipShapeDlg.h"
#include "survey/YawWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>
#include <utility>

namespace {

using Kind = CRecordingCanvas::Kind;
const CPen kRed{1, Qt::red};
const CPen kBlack{1, Qt::black};
using SegmentList = std::vector<std::pair<QPoint, QPoint>>;

SegmentList Segments(const CRecordingCanvas& canvas, const CPen& pen) {
    SegmentList segments;
    for (const auto* line : canvas.Lines(pen))
        segments.push_back({line->points[0], line->points[1]});
    return segments;
}

TEST(SurveyCoordLibrary, TableAndMenuAreTheLibrarys) {
    CScriptedPrompter prompter;
    CCoordLibraryDlg dialog;
    QTableWidget* table = dialog.Table();
    QStringList columns, cells, entries;
    for (int c = 0; c < table->columnCount(); ++c)
        columns << table->horizontalHeaderItem(c)->text() + QString::number(table->columnWidth(c));
    EXPECT_EQ(columns.join(" "), "点号50 X100 Y100 H100 说明150");
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            cells << table->item(r, c)->text();
            EXPECT_EQ(table->item(r, c)->textAlignment(), int(Qt::AlignCenter));
        }
    }
    EXPECT_EQ(cells.join(" "), "1 32300.766 32363.832 69.931 基点 "
                               "2 30098.798 365578.832 71.931 测量点");
    EXPECT_TRUE(dialog.PlaneRadio()->isChecked());
    dialog.GeographicRadio()->click();
    EXPECT_EQ(dialog.m_nCoordMode, 1);
    dialog.PlaneRadio()->click();
    EXPECT_EQ(dialog.m_nCoordMode, 0);

    for (int id = 32814; id <= 32826; ++id)
        entries << (dialog.Action(id) ? dialog.Action(id)->text() : "-");
    EXPECT_EQ(entries.join(" "), "- 新建 打开 存储 另存 删除 打印 退出 复制 推算 生成 录入 -");
    prompter.m_files = {"/survey/points.txt"};
    dialog.Action(CCoordLibraryDlg::ID_LIB_OPEN)->trigger();
    EXPECT_EQ(dialog.m_strFile, "/survey/points.txt");
    dialog.Action(CCoordLibraryDlg::ID_LIB_SAVE_AS)->trigger(); // cancelled
    EXPECT_EQ(dialog.m_strFile, "");
    ASSERT_EQ(prompter.m_fileDialogs.size(), 2u);
    EXPECT_TRUE(!prompter.m_fileDialogs[0].save && prompter.m_fileDialogs[1].save);
    const auto& request = prompter.m_fileDialogs[1];
    EXPECT_EQ(request.filter + "|" + request.defaultSuffix + "|" + request.proposedName,
              "Data Files (*.txt)|DAT|Untitled");
    EXPECT_TRUE(request.confirmOverwrite);
    dialog.show();
    dialog.Action(CCoordLibraryDlg::ID_LIB_EXIT)->trigger();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(SurveyOutline, DrawsTheAnnouncedPointsRelativeToTheAntenna) {
    const QString line99 = "7 8" + QString(96, ' ');
    const std::vector<std::pair<QString, std::vector<QPoint>>> table = {
        // contents, the ends of the red lines in order
        {"2\n0 0\n10 20\n", {{65, 180}, {75, 200}}},
        {"2\n-1.9 2.9\n3.99 -0.5\n", {{64, 182}, {68, 180}}}, // truncated toward zero
        {"1\n5 5\n6 6\n", {{70, 185}}},
        {"3\n1 1\nx y\n2 2\n", {{66, 181}, {67, 182}}},
        {"5\n1 1\n", {{66, 181}}},
        {"-3\n1 1\n", {}},
        {"abc\n1 1\n", {}},
        {"2\r\n1 2\r\n3 4\r\n", {{66, 182}, {68, 184}}},
        {"3\n" + line99 + "9 9\n1 1\n", {{72, 188}, {74, 189}, {66, 181}}}, // a long line in pieces
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("outline.shp");
    for (const auto& [contents, points] : table) {
        ASSERT_TRUE(WriteFile(path.toStdString(), contents.toStdString()));
        CRecordingCanvas canvas;
        CShapePreview::Draw(canvas, path);
        SegmentList expected;
        QPoint from(65, 180);
        for (const QPoint& to : points)
            expected.push_back({std::exchange(from, to), to});
        EXPECT_EQ(Segments(canvas, kRed), expected) << contents.toStdString();
        EXPECT_EQ(canvas.Count(Kind::Line), int(expected.size())) << contents.toStdString();
    }
    for (const QString& missing : {QString(), dir.filePath("missing.shp")}) { // the frame only
        CRecordingCanvas canvas;
        CShapePreview::Draw(canvas, missing);
        ASSERT_EQ(canvas.m_items.size(), 1u) << missing.toStdString();
        EXPECT_EQ(canvas.m_items[0].pen, kBlack);
        EXPECT_EQ(canvas.m_items[0].points,
                  (std::vector<QPoint>{{0, 0}, {135, 0}, {135, 288}, {0, 288}, {0, 0}}));
    }
}

// Beside the program in a build tree, under share/ once installed; beside wins when both are there.
TEST(SurveyOutline, FolderIsBesideTheProgramOrInstalledUnderShare) {
    struct Case {
        QStringList folders; // made under a fresh prefix
        QString expected;    // relative to the prefix
    };
    for (const Case& c : std::vector<Case>{
             {{"bin/Boat"}, "bin/Boat"},
             {{"share/quillmar/Boat"}, "share/quillmar/Boat"},
             {{"bin/Boat", "share/quillmar/Boat"}, "bin/Boat"},
             {{"share/quillmar"}, "bin/Boat"},
             {{}, "bin/Boat"},
         }) {
        QTemporaryDir prefix;
        ASSERT_TRUE(QDir(prefix.path()).mkpath("bin"));
        for (const QString& folder : c.folders)
            ASSERT_TRUE(QDir(prefix.path()).mkpath(folder));
        EXPECT_EQ(CShipShapeDlg::ShapeFolderBeside(prefix.filePath("bin")),
                  prefix.filePath(c.expected))
            << c.folders.join(' ').toStdString();
    }
}

// The outlines the build puts beside the program (and beside the tests): the
// dialog lists them sorted and previews the one selected; each is closed,
// inside the preview, and capped at 256 points.
TEST(SurveyShipShape, ListsTheShippedOutlinesSortedAndPreviewsTheSelection) {
    CShipShapeDlg dialog;
    QListWidget* list = dialog.List();
    ASSERT_EQ(list->count(), 29);
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(names, sorted);
    list->setCurrentItem(list->findItems("BOAT.shp", Qt::MatchExactly).value(0));
    EXPECT_EQ(dialog.ShapePath(), QCoreApplication::applicationDirPath() + "/Boat/BOAT.shp");
    EXPECT_EQ(dialog.Preview()->Path(), dialog.ShapePath());
    EXPECT_EQ(dialog.Preview()->grab().toImage().pixelColor(65, 30), QColor(Qt::red)); // the bow
    dialog.grab().save(TestOutputDir() + "/ship-shape.png");

    const QString folder = CShipShapeDlg::DefaultShapeFolder();
    for (const QString& name : QDir(folder).entryList({"*.shp"}, QDir::Files)) {
        CRecordingCanvas canvas;
        CShapePreview::Draw(canvas, folder + "/" + name);
        const auto segments = Segments(canvas, kRed);
        const std::string what = name.toStdString();
        if (name == "300.shp") { // announces and holds 300 points
            EXPECT_EQ(segments.size(), 256u);
            continue;
        }
        ASSERT_GE(segments.size(), 4u) << what;
        EXPECT_EQ(segments.front().second, segments.back().second) << what << " is not closed";
        for (const auto& [from, to] : segments)
            EXPECT_TRUE(QRect(0, 0, 136, 289).contains(to)) << what << " leaves the preview";
    }
}

TEST(SurveyYaw, GaugeScalesToTheWindowWidth) {
    struct Case {
        int width, redStart, centre, greenEnd;
    };
    for (const Case& c : std::vector<Case>{
             {1005, 1, 500, 1000}, {2010, 2, 1000, 2000}, {500, 0, 248, 497}, {300, 0, 149, 298}}) {
        CRecordingCanvas canvas;
        CYawWindow::Draw(canvas, c.width);
        EXPECT_EQ(Segments(canvas, CPen{6, Qt::red}),
                  (SegmentList{{{c.redStart, 55}, {c.centre, 55}}}));
        EXPECT_EQ(Segments(canvas, CPen{6, Qt::green}),
                  (SegmentList{{{c.centre, 55}, {c.greenEnd, 55}}}));
        int minor = 0, major = 0, centreMark = 0, markerRows = 0;
        for (const auto& [from, to] : Segments(canvas, kBlack)) {
            if (from.x() == to.x()) {
                minor += from.y() == 50 && to.y() == 55;
                major += from.y() == 45 && to.y() == 55;
                centreMark += from == QPoint(c.centre, 40) && to == QPoint(c.centre, 60);
            } else {
                markerRows += from.y() == to.y() && from.x() + to.x() == 2 * c.centre;
            }
        }
        EXPECT_EQ(std::vector<int>({minor, major, centreMark, markerRows}),
                  std::vector<int>({101, 101, 1, 39}))
            << c.width;
        ASSERT_TRUE(canvas.FindText("0"));
        EXPECT_EQ(canvas.FindText("0")->points[0], QPoint(c.width * 496 / 1005, 60));
    }
    CYawWindow window;
    EXPECT_FALSE(window.isModal());
    window.resize(1005, 90);
    window.show();
    EXPECT_EQ(window.m_nWidth, 1005);
    window.grab().save(TestOutputDir() + "/yaw-window.png");
}

TEST(SurveyFileChoice, TheButtonStoresTheChosenPathAndCancelKeepsIt) {
    CChannelLayoutDlg channel;
    CPlannedLineDlg planned;
    CCoordPlotDlg plot;
    const std::tuple<CFileChoiceDlg*, QString, QString> table[] = {
        {&channel, "航道布线参数", "调入库文件"},
        {&planned, "计划测线调入", "选择调入文件"},
        {&plot, "坐标作图", "选择库文件"}};
    for (const auto& [dialog, caption, text] : table) {
        CScriptedPrompter prompter;
        EXPECT_EQ(dialog->windowTitle(), caption);
        auto* button = dialog->findChild<QPushButton*>("chooseFile");
        ASSERT_TRUE(button && button->text() == text) << caption.toStdString();
        prompter.m_files = {"", "/survey/channel.txt", ""}; // cancel, choose, cancel
        for (const char* expected : {"", "/survey/channel.txt", "/survey/channel.txt"}) {
            button->click();
            EXPECT_EQ(dialog->Path(), expected) << caption.toStdString();
        }
        ASSERT_EQ(prompter.m_fileDialogs.size(), 3u);
        EXPECT_EQ(prompter.m_fileDialogs[0].filter, "Data Files (*.txt)");
    }
}

} // namespace
