#include "shell/CommandIds.h"
#include "shell/LockLights.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/OwnerDrawMenu.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyleOptionMenuItem>
#include <QTest>
#include <QToolBar>
#include <cstdlib>
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
    std::vector<CRecordingCanvas> drawn(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        style.DrawItem(drawn[i], table[i].item);
        EXPECT_EQ(Kinds(drawn[i]), table[i].kinds) << table[i].name;
    }

    const CRecordingCanvas& selected = drawn[1];
    EXPECT_EQ(selected.m_items[1].points, (std::vector<QPoint>{{0, 40}, {21, 61}})); // raised box
    EXPECT_EQ(selected.m_items[1].colour, QColor(Qt::white));
    EXPECT_EQ(selected.m_items[2].points[0], QPoint(2, 42));  // the image
    EXPECT_EQ(selected.m_items[3].points[0], QPoint(24, 40)); // sunken, around the text
    EXPECT_EQ(selected.m_items[3].colour, QColor(127, 127, 127));
    EXPECT_EQ(selected.m_items[4].points[0], QPoint(26, 42)); // text box
    EXPECT_EQ(selected.m_items[4].colour, style.m_selectedText);
    // Readable on the menu's background, whatever the highlight colours.
    EXPECT_GE(std::abs(style.m_selectedText.lightness() - style.m_background.lightness()), 96);

    const CRecordingCanvas& noImage = drawn[4];
    EXPECT_EQ(noImage.m_items[1].points[0], QPoint(0, 40));  // the sunken frame spans the item
    EXPECT_EQ(noImage.m_items[2].points[0], QPoint(26, 42)); // text at the same left edge

    const CRecordingCanvas& checked = drawn[2];
    EXPECT_EQ(checked.m_items[1].text, "√");
    EXPECT_EQ(checked.m_items[1].points, (std::vector<QPoint>{{2, 42}, {19, 59}}));

    const CRecordingCanvas& greyed = drawn[3];
    EXPECT_TRUE(greyed.m_items[1].flag); // blended image
    EXPECT_EQ(greyed.m_items[2].colour, QColor(Qt::white));
    EXPECT_EQ(greyed.m_items[3].colour, QColor(127, 127, 127));

    const CRecordingCanvas& separator = drawn[5];
    EXPECT_EQ(separator.m_items[1].points, (std::vector<QPoint>{{2, 44}, {147, 45}}));
    EXPECT_EQ(separator.m_items[1].colour, QColor(64, 0, 128));
}

// The main window's menus, toolbar and status bar: only what has a handler
// can be chosen, every toolbar button has its image and tip and the menus take
// the same images (items added later too), a lock pane is there only where a
// keyboard light says the lock's state, and the window's outer size is the one
// asked for. The texts themselves: Language.EveryWindowSpeaksTheChosenLanguage.
TEST(OwnerDrawMenu, TheMainWindowsMenusToolbarAndStatusBar) {
    CFrameUnderTest t;
    CMainFrame& frame = *t.frame;
    for (const MenuEntry& entry : MainMenu()) {
        if (entry.id == 0)
            continue;
        const auto actions = frame.Actions(entry.id);
        const auto found = std::find_if(actions.begin(), actions.end(),
                                        [&](QAction* a) { return a->text() == entry.text; });
        ASSERT_NE(found, actions.end()) << entry.id;
        EXPECT_EQ((*found)->isEnabled(),
                  entry.id != ID_FILE_MRU_FILE1 && frame.Commands().IsEnabled(entry.id))
            << entry.id;
    }
    EXPECT_TRUE(frame.Action(ID_SELECT_PORT)->isEnabled());
    int buttons = 0;
    for (QAction* action : frame.ToolBar()->actions()) {
        if (action->isSeparator())
            continue;
        ++buttons;
        EXPECT_FALSE(action->icon().isNull() || action->toolTip().isEmpty())
            << action->text().toStdString();
    }
    EXPECT_EQ(buttons, 24);

    for (QAction* action : frame.Actions(ID_LOAD_ANALYSIS_FILE))
        EXPECT_FALSE(action->icon().isNull()); // both entries of 32869
    EXPECT_TRUE(frame.Action(ID_APP_EXIT)->icon().isNull());
    QMenu* monitor = frame.menuBar()->actions().at(2)->menu(); // "串口监视(&D)", a drop-down
    ASSERT_TRUE(monitor && monitor->actions().size() == 2);
    EXPECT_EQ(monitor->style(), &frame.MenuStyle());
    EXPECT_FALSE(frame.Action(ID_DATA_HEALTH)->icon().isNull());
    EXPECT_TRUE(frame.Action(ID_VIEW_TOOLBAR)->isChecked());
    QMenu* file = frame.menuBar()->actions().at(0)->menu();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->style(), &frame.MenuStyle());
    file->grab().save(TestOutputDir() + "/menu-file.png");
    frame.menuBar()->actions().at(4)->menu()->grab().save(TestOutputDir() + "/menu-view.png");
    QAction later("later");
    later.setData(ID_SELECT_PORT);
    file->addAction(&later);
    EXPECT_FALSE(later.icon().isNull());
    EXPECT_EQ(file->addMenu("submenu")->style(), &frame.MenuStyle());

    const QMap<QString, bool> lights = ReadLockLights();
    for (const char* lock : {"capslock", "numlock", "scrolllock"}) {
        auto* pane = frame.statusBar()->findChild<QLabel*>(lock);
        EXPECT_EQ(pane != nullptr, lights.contains(lock)) << lock;
        if (pane)
            EXPECT_EQ(pane->isEnabled(), lights.value(lock)) << lock;
    }
    frame.show();
    EXPECT_TRUE(WaitUntil([&] { return frame.frameGeometry().size() == QSize(1035, 747); }))
        << frame.frameGeometry().width() << "x" << frame.frameGeometry().height();
    frame.OnCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame.ToolBar()->isVisible());

    // The usual keys, on the commands' menu entries; 打印… in 文件 too.
    const std::vector<std::pair<const char*, int>> keys = {
        {"Ctrl+Q", ID_APP_EXIT},
        {"F1", ID_APP_ABOUT},
        {"F5", ID_REFRESH},
        {"Ctrl++", ID_ZOOM_CENTRE_IN},
        {"Ctrl+=", ID_ZOOM_CENTRE_IN},
        {"Ctrl+-", ID_ZOOM_CENTRE_OUT},
        {"Ctrl+P", ID_FILE_PRINT},
    };
    for (const auto& [key, id] : keys)
        EXPECT_TRUE(frame.Action(id)->shortcuts().contains(QKeySequence(key))) << key;
    EXPECT_TRUE(file->actions().contains(frame.Action(ID_FILE_PRINT)));
    bool about = false; // the application's, which this frame has not
    frame.Commands().Register(ID_APP_ABOUT, [&] { about = true; });
    frame.UpdateCommandUI();
    QApplication::setActiveWindow(&frame);
    QTest::keyClick(&frame, Qt::Key_F1);
    EXPECT_TRUE(about);

    // Nothing recorded yet: closed without a word; the size and the live
    // display are those of the next start.
    frame.resize(900, 600);
    frame.OnCommand(ID_VIEW_REALTIME2);
    const QSize size = frame.size();
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(t.prompter.m_boxes.empty());
    CQuillmarDoc document;
    CMainFrame next(&document, "/nonexistent/tty");
    ASSERT_TRUE(CreateFrame(next, document));
    next.show();
    EXPECT_EQ(next.View()->Mode(), ViewMode::RealTime2);
    EXPECT_TRUE(WaitUntil([&] { return next.size() == size; }))
        << next.width() << "x" << next.height();
}

// A menu holding another menu's items, to ask for the style option each item
// is drawn with.
class CItemOptions : public QMenu {
public:
    explicit CItemOptions(QMenu* menu) {
        setStyle(menu->style());
        addActions(menu->actions());
    }
    QStyleOptionMenuItem Of(QAction* action) {
        QStyleOptionMenuItem option;
        initStyleOption(&option, action);
        return option;
    }
};

// Every item of the main menus, a recent file's included, is as wide as its
// text: drawn at the width the menu gives it, it is the same item drawn with
// room to spare, cut to that width.
TEST(OwnerDrawMenu, EveryItemHoldsItsText) {
    CFrameUnderTest t;
    ASSERT_TRUE(t.frame->Documents().DoSave(t.dir.filePath("最近保存的文档.txt")));
    bool recentFileChecked = false;
    for (QAction* position : t.frame->menuBar()->actions()) {
        QMenu* menu = position->menu();
        if (!menu)
            continue;
        menu->grab(); // lays the items out
        CItemOptions options(menu);
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            const QRect item = menu->actionGeometry(action);
            auto draw = [&](int width) {
                QStyleOptionMenuItem option = options.Of(action);
                option.rect = QRect(0, 0, width, item.height());
                QImage image(option.rect.size(), QImage::Format_RGB32);
                image.fill(Qt::black);
                QPainter painter(&image);
                menu->style()->drawControl(QStyle::CE_MenuItem, &option, &painter, menu);
                return image;
            };
            const QImage roomy = draw(item.width() + 100);
            EXPECT_TRUE(draw(item.width()) == roomy.copy(0, 0, item.width(), item.height()))
                << action->text().toStdString();
            // Drawn here, not by the base style: the item's background is the menu's.
            EXPECT_EQ(roomy.pixel(item.width() + 50, item.height() / 2),
                      t.frame->MenuStyle().m_background.rgb())
                << action->text().toStdString();
            recentFileChecked |= action->text().endsWith("最近保存的文档.txt");
        }
    }
    EXPECT_TRUE(recentFileChecked);
}

} // namespace
