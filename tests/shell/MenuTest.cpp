#include "platform/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/OwnerDrawMenu.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

using Kind = CRecordingCanvas::Kind;

std::vector<Kind> Kinds(const CRecordingCanvas& canvas) {
    std::vector<Kind> kinds;
    for (const auto& item : canvas.m_items)
        kinds.push_back(item.kind);
    return kinds;
}

TEST(OwnerDrawMenu, EachKindOfItemDrawsItsParts) {
    COwnerDrawMenu style;
    style.m_nImageWidth = style.m_nImageHeight = 18;
    QPixmap image(18, 18);
    image.fill(Qt::red);
    const QRect rect(0, 40, 150, 22);
    struct Case {
        const char* name;
        CMenuItemPaint item;
        std::vector<Kind> kinds;
    };
    const std::vector<Case> table = {
        {"plain_with_image",
         {rect, "打开", image, false, false, false, false},
         {Kind::Fill, Kind::Image, Kind::TextBox}},
        {"selected_with_image",
         {rect, "打开", image, false, true, false, false},
         {Kind::Fill, Kind::Frame, Kind::Image, Kind::Frame, Kind::TextBox}},
        {"checked",
         {rect, "工具栏(&T)", QPixmap(), false, false, true, false},
         {Kind::Fill, Kind::TextBox, Kind::TextBox}},
        {"greyed_with_image",
         {rect, "打开", image, false, false, false, true},
         {Kind::Fill, Kind::Image, Kind::TextBox, Kind::TextBox}},
        {"no_image",
         {rect, "退出(&X)", QPixmap(), false, true, false, false},
         {Kind::Fill, Kind::Frame, Kind::TextBox}},
        {"separator",
         {QRect(0, 40, 150, 10), "", QPixmap(), true, false, false, false},
         {Kind::Fill, Kind::Frame}},
    };
    for (const Case& c : table) {
        CRecordingCanvas canvas;
        style.DrawItem(canvas, c.item);
        EXPECT_EQ(Kinds(canvas), c.kinds) << c.name;
    }

    CRecordingCanvas selected;
    style.DrawItem(selected, table[1].item);
    EXPECT_EQ(selected.m_items[1].points, (std::vector<QPoint>{{0, 40}, {21, 61}})); // raised box
    EXPECT_EQ(selected.m_items[1].colour, QColor(Qt::white));
    EXPECT_EQ(selected.m_items[2].points[0], QPoint(2, 42));  // the image
    EXPECT_EQ(selected.m_items[3].points[0], QPoint(24, 40)); // sunken, around the text
    EXPECT_EQ(selected.m_items[3].colour, QColor(127, 127, 127));
    EXPECT_EQ(selected.m_items[4].points[0], QPoint(26, 42)); // text box
    EXPECT_EQ(selected.m_items[4].colour, style.m_selectedText);

    CRecordingCanvas noImage;
    style.DrawItem(noImage, table[4].item);
    EXPECT_EQ(noImage.m_items[1].points[0], QPoint(0, 40));  // the sunken frame spans the item
    EXPECT_EQ(noImage.m_items[2].points[0], QPoint(26, 42)); // text at the same left edge

    CRecordingCanvas checked;
    style.DrawItem(checked, table[2].item);
    EXPECT_EQ(checked.m_items[1].text, "√");
    EXPECT_EQ(checked.m_items[1].points, (std::vector<QPoint>{{2, 42}, {19, 59}}));

    CRecordingCanvas greyed;
    style.DrawItem(greyed, table[3].item);
    EXPECT_TRUE(greyed.m_items[1].flag); // blended image
    EXPECT_EQ(greyed.m_items[2].colour, QColor(Qt::white));
    EXPECT_EQ(greyed.m_items[3].colour, QColor(127, 127, 127));

    CRecordingCanvas separator;
    style.DrawItem(separator, table[5].item);
    EXPECT_EQ(separator.m_items[1].points, (std::vector<QPoint>{{2, 44}, {147, 45}}));
    EXPECT_EQ(separator.m_items[1].colour, QColor(64, 0, 128));

    const QFontMetrics metrics(QApplication::font());
    EXPECT_EQ(style.MeasureItem("", true, metrics).height(), 10);
    EXPECT_EQ(style.MeasureItem("打开", false, metrics),
              QSize(18 + metrics.horizontalAdvance("打开") + 4, 22));
}

TEST(OwnerDrawMenu, TheMainMenusTakeTheToolbarImages) {
    CFrameUnderTest t;
    CMainFrame& frame = *t.frame;
    EXPECT_TRUE(frame.MenuStyle().m_bConverted);
    EXPECT_EQ(frame.MenuStyle().m_nImageHeight, 18);
    for (QAction* action : frame.Actions(ID_LOAD_ANALYSIS_FILE))
        EXPECT_FALSE(action->icon().isNull()); // both entries of 32869
    EXPECT_TRUE(frame.Action(ID_APP_EXIT)->icon().isNull());
    EXPECT_TRUE(frame.Action(ID_VIEW_TOOLBAR)->isChecked());

    QMenu* file = frame.menuBar()->actions().at(0)->menu();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->style(), &frame.MenuStyle());
    file->grab().save(TestOutputDir() + "/menu-file.png");
    frame.menuBar()->actions().at(4)->menu()->grab().save(TestOutputDir() + "/menu-view.png");
}

} // namespace
