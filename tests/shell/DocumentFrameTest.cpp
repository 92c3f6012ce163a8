#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"
#include "survey/TextNoteDlg.h"
#include "view/QuillmarView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class DocumentFrame : public ::testing::Test {
protected:
    // A polyline of `presses` presses with the line tool.
    void Draw(int presses, int x0 = 10) {
        for (int i = 0; i < presses; ++i) {
            const QPoint p(x0 + 10 * i, 20 + i);
            SendMouse(m_view, QEvent::MouseMove, p);
            Click(m_view, p);
        }
    }
    QString Path(const char* name) { return m_t.dir.filePath(name); }

    CFrameUnderTest m_t;
    CScriptedPrompter& m_prompter = m_t.prompter;
    CQuillmarDoc& m_doc = *m_t.doc;
    std::unique_ptr<CMainFrame>& m_frame = m_t.frame;
    CQuillmarView*& m_view = m_t.view;
};

// The line tool adds one segment a press after the first, and a new polyline
// once it was left; the drawing is saved, opened and replaced by a new one,
// and the recent files follow.
TEST_F(DocumentFrame, TheLineToolSaveOpenNewTheRecentFilesAndAFailedSave) {
    m_frame->OnCommand(ID_LINE_TOOL);
    EXPECT_EQ(m_doc.LineFlag(), 1);
    EXPECT_EQ(m_view->cursor().shape(), Qt::CrossCursor);
    Draw(4);
    ASSERT_EQ(m_doc.Lines().size(), 3u);
    EXPECT_EQ(m_doc.Lines()[0], CLine(10, 20, 20, 21));
    EXPECT_EQ(m_doc.Lines()[2], CLine(30, 22, 40, 23));
    EXPECT_TRUE(m_doc.IsModified());
    m_frame->OnCommand(ID_EXIT_TOOL);
    m_frame->OnCommand(ID_LINE_TOOL);
    Draw(1, 500); // a new polyline: its first press adds nothing
    EXPECT_EQ(m_doc.Lines().size(), 3u);
    Draw(1, 600);
    EXPECT_EQ(m_doc.Lines().back(), CLine(500, 20, 600, 20));

    m_prompter.m_files.push_back(Path("first.txt"));
    m_frame->OnCommand(ID_FILE_SAVE); // untitled: asks where
    ASSERT_EQ(m_prompter.m_fileDialogs.size(), 1u);
    EXPECT_EQ(m_prompter.m_fileDialogs[0].proposedName, "Quillm.txt");
    EXPECT_EQ(m_frame->windowTitle(), "first.txt - Quillmar");
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(QFileInfo(Path("first.txt")).size(), 4 + 4 * 24);

    m_frame->OnCommand(ID_FILE_NEW); // not modified: no question
    EXPECT_TRUE(m_doc.Lines().empty());
    EXPECT_EQ(m_doc.LineFlag(), 1); // kept by a new document
    EXPECT_TRUE(m_prompter.m_boxes.empty());

    for (const char* name : {"b.txt", "c.txt", "d.txt", "e.txt"}) {
        m_prompter.m_files.push_back(Path(name));
        m_frame->OnCommand(ID_FILE_SAVE_AS);
    }
    EXPECT_EQ(m_frame->Documents().RecentFiles(),
              (QStringList{Path("e.txt"), Path("d.txt"), Path("c.txt"), Path("b.txt")}));
    m_prompter.m_files.push_back(Path("first.txt"));
    m_frame->OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(m_doc.Lines().size(), 4u);
    EXPECT_EQ(m_frame->Documents().RecentFiles().first(), Path("first.txt"));

    QFile::remove(Path("c.txt"));
    m_frame->OnCommand(ID_FILE_MRU_FILE1 + 3); // c.txt, gone
    EXPECT_TRUE(m_prompter.m_boxes.back().text.contains(Path("c.txt")));
    EXPECT_FALSE(m_frame->Documents().RecentFiles().contains(Path("c.txt")));
    EXPECT_EQ(m_doc.Lines().size(), 4u); // the document stays as it was

    // A save that fails names the file and keeps the document's own; leaving
    // a modified document asks first, and saves it on yes.
    m_prompter.m_files = {Path("no/such/folder/x.txt")};
    m_frame->OnCommand(ID_FILE_SAVE_AS);
    EXPECT_TRUE(m_prompter.m_boxes.back().text.contains(Path("no/such/folder/x.txt")));
    EXPECT_EQ(m_doc.PathName(), Path("first.txt"));
    m_frame->OnCommand(ID_EXIT_TOOL);
    m_frame->OnCommand(ID_LINE_TOOL);
    Draw(2, 300); // a new polyline: one segment
    m_prompter.m_answers = {QMessageBox::Cancel, QMessageBox::Yes};
    EXPECT_FALSE(m_frame->close());
    EXPECT_EQ(m_prompter.m_boxes.back().text, "是否保存对 first.txt 的更改？");
    EXPECT_TRUE(m_frame->close());
    EXPECT_EQ(QFileInfo(Path("first.txt")).size(), 4 + 5 * 24);
}

TEST_F(DocumentFrame, TextNotesTakeTheirTextAndCancelDisarms) {
    m_frame->OnCommand(ID_TEXT_NOTE_TOOL);
    auto answer = [](bool ok, const QString& text) {
        AnswerWhenShown<CTextNoteDlg>([=](CTextNoteDlg& dialog) {
            EXPECT_EQ(dialog.Edit()->text(), "1号点");
            dialog.Edit()->setText(text);
            if (ok)
                dialog.OnOK();
            else
                dialog.reject();
        });
    };
    answer(true, "锚地");
    Click(m_view, {40, 50});
    CDrawingTools& tools = m_view->Tools();
    EXPECT_EQ(tools.NoteTexts(), std::vector<QString>{"锚地"});
    answer(false, "");
    Click(m_view, {60, 70});
    EXPECT_EQ(m_view->Navigation().m_nToolMode, ToolMode::None);
    ASSERT_EQ(tools.NoteCount(), 2);
    EXPECT_EQ(tools.NotePoint(1), QPoint(60, 70));
    EXPECT_EQ(tools.NoteTexts().size(), 1u);

    tools.SetNoteLimit(2); // full
    m_frame->OnCommand(ID_TEXT_NOTE_TOOL);
    Click(m_view, {1, 1});
    EXPECT_TRUE(m_frame->statusBar()->currentMessage().contains("已满"));
}

TEST_F(DocumentFrame, LeftoverModesAndTheYawWindow) {
    m_frame->OnCommand(ID_PLAYBACK);
    EXPECT_EQ(m_view->Mode(), ViewMode::Playback);
    m_frame->OnCommand(ID_MEASURE_MODE);
    EXPECT_EQ(m_view->Mode(), ViewMode::Measure);
    m_frame->OnCommand(ID_YAW_WINDOW);
    QWidget* first = m_view->Tools().YawWindow();
    ASSERT_TRUE(first);
    m_frame->OnCommand(ID_YAW_WINDOW);
    EXPECT_EQ(m_view->Tools().YawWindow(), first); // made once
    EXPECT_EQ(first->pos(), QPoint(5, 600));
    EXPECT_TRUE(m_frame->HasHandler(ID_FONT_SETTINGS));
}

// Each kind of file dialog opens in the folder its kind of file was last
// chosen in, kept in the settings for the next run; before, in the record
// folder. The dialogs that choose a record list .txt and .dat names.
TEST(FileFolders, EachKindOfDialogOpensWhereItsKindWasLastChosen) {
    CFrameUnderTest t;
    const QString records = t.dir.filePath("records"), a = t.dir.filePath("a"),
                  b = t.dir.filePath("b");
    ASSERT_TRUE(QDir().mkpath(a) && QDir().mkpath(b));
    const QString record = a + "/x.DAT", attitude = b + "/y.txt";
    ASSERT_TRUE(WriteFile(record.toStdString(), "$GPHDT,12.5,T\r\n") &&
                WriteFile(attitude.toStdString(), "$C1,2\r\n"));
    auto& dialogs = t.prompter.m_fileDialogs;
    // The analysis file through its toolbar button, clicked.
    QToolButton* open = nullptr;
    for (auto* button : t.frame->findChildren<QToolButton*>())
        if (button->defaultAction() == t.frame->Action(ID_LOAD_ANALYSIS_FILE))
            open = button;
    ASSERT_NE(open, nullptr);
    struct Step {
        std::function<void()> run;
        QString chosen; // empty: cancelled
        QString opensIn;
    };
    const auto command = [&](int id) { return [&t, id] { t.frame->OnCommand(id); }; };
    const std::vector<Step> steps = {
        {command(ID_LOAD_RECORD_FILE), "", records},
        {command(ID_LOAD_RECORD_FILE), record, records},
        {command(ID_REPLAY), "", a},
        {command(ID_SAVE_DATA_PATH), "", a},
        {[&] { QTest::mouseClick(open, Qt::LeftButton); }, attitude, records},
        {command(ID_LOAD_ANALYSIS_FILE), "", b},
        {command(ID_FILE_OPEN), "", records},
        {command(ID_ANALYSIS_EXPORT), "", records},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        if (!steps[i].chosen.isEmpty())
            t.prompter.m_files.push_back(steps[i].chosen);
        const std::size_t before = dialogs.size();
        steps[i].run();
        ASSERT_EQ(dialogs.size(), before + 1);
        EXPECT_EQ(dialogs.back().folder, steps[i].opensIn);
        ASSERT_TRUE(WaitUntil([&] { return !t.view->Analysis().IsLoading(); }));
    }
    for (std::size_t i : {0, 1, 2})
        EXPECT_TRUE(dialogs[i].filter.startsWith("记录文件 (*.txt *.dat);;")) << i;
    EXPECT_EQ(t.view->Analysis().Path(), attitude);

    // The next run starts where this one left off; a folder since removed is
    // passed over.
    EXPECT_EQ(
        QSettings(t.settings.Folder() + "/Quillmar Solution/Quillmar.ini", QSettings::IniFormat)
            .value("Folders/Records")
            .toString(),
        a);
    t.frame.reset();
    ASSERT_TRUE(QDir(b).removeRecursively());
    CMainFrame next(t.doc.get(), "/nonexistent/tty", records);
    ASSERT_TRUE(CreateFrame(next, *t.doc));
    next.OnCommand(ID_LOAD_RECORD_FILE);
    next.OnCommand(ID_LOAD_ANALYSIS_FILE);
    ASSERT_GE(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[dialogs.size() - 2].folder, a);
    EXPECT_EQ(dialogs.back().folder, records);
}

// The real file dialog lists record files by the record filter, .DAT as .dat.
TEST(FileFolders, TheRecordFilterListsTxtAndDatWhateverTheirCase) {
    QTemporaryDir dir;
    for (const char* name : {"x.DAT", "y.txt", "z.dat", "w.csv"})
        ASSERT_TRUE(WriteFile(dir.filePath(name).toStdString(), "$C1,2\r\n"));
    CPrompter::FileDialogRequest request;
    request.filter = CPrompter::RecordFilter();
    request.folder = dir.path();
    QStringList listed;
    AnswerWhenShown<QFileDialog>([&](QFileDialog& dialog) {
        auto* list = dialog.findChild<QListView*>("listView");
        const auto names = [&] {
            QStringList shown;
            for (int row = 0; list && row < list->model()->rowCount(list->rootIndex()); ++row) {
                const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
                if (list->model()->flags(index) & Qt::ItemIsEnabled)
                    shown << index.data().toString();
            }
            shown.sort();
            return shown;
        };
        WaitUntil([&] { return names().size() >= 3; });
        listed = names();
        dialog.reject();
    });
    EXPECT_TRUE(CPrompter::Instance().FileDialog(nullptr, request).isEmpty());
    EXPECT_EQ(listed, (QStringList{"x.DAT", "y.txt", "z.dat"}));
}

} // namespace
