// Shared pieces of the widget tests: an answering prompter, private settings,
// a view that records what the document hands it, and event-loop waiting.
#pragma once

#include "link/EventLog.h"
#include "link/ReceiverMessage.h"
#include "platform/CommandTable.h"
#include "platform/Prompter.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"
#include "view/QuillmarView.h"
#include "view/ViewUpdate.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CScriptedPrompter : public CPrompter {
public:
    CScriptedPrompter() { Install(this); }
    ~CScriptedPrompter() override { Install(nullptr); }

    struct Shown {
        QString text;
        QString caption;
    };
    QMessageBox::StandardButton MessageBox(QWidget*, const QString& text, const QString& caption,
                                           QMessageBox::StandardButtons buttons, Icon) override;
    void Notify(QWidget*, const QString& text, const QString& caption, Icon) override;
    QString FileDialog(QWidget*, const FileDialogRequest& request) override;
    QSize PictureSize(QWidget*, const QString&, QSize proposed) override;

    std::vector<Shown> m_boxes;
    std::vector<Shown> m_notes;
    std::vector<FileDialogRequest> m_fileDialogs;
    std::deque<QMessageBox::StandardButton> m_answers; // default: the first button offered
    std::deque<QString> m_files;                       // default: cancel
    std::vector<QSize> m_proposedSizes;
    std::deque<QSize> m_sizes; // default: the size proposed
};

// Points QSettings at a fresh folder for the test's lifetime.
class CScopedSettings {
public:
    CScopedSettings();
    void Set(const QString& key, const QString& value);
    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

class CRecordingView : public IDocumentView {
public:
    void OnUpdate(IDocumentView*, long hint, const FramedMessage* message) override {
        if (hint == HINT_NEW_MESSAGE && message)
            m_messages.push_back({message->bTextLine, message->nType, std::string(message->bytes)});
    }
    std::vector<ReceivedMessage> m_messages;
};

class CMainFrame;
class CQuillmarDoc;
class QWidget;

// A view alone, its commands in a table of its own as the frame's would be,
// at the reference size, with an answering prompter and a folder of its own.
struct CViewUnderTest {
    CViewUnderTest();
    bool Run(int id) { return commands.Run(id); }
    // Starts loading path beside the event loop; true once the load has ended.
    bool Load(const QString& path, AnalysisSource source = AnalysisSource::R35);
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    CCommandTable commands;
    CQuillmarView view;
};

// Writes bytes to dir/name; returns the file's path.
QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// Gives frame its view of doc and creates the window; the view, or null when
// the window could not be created.
CQuillmarView* CreateFrame(CMainFrame& frame, CQuillmarDoc& doc);

// A real mouse event on a widget, as the window system delivers it.
void SendMouse(QWidget* widget, QEvent::Type type, QPoint at);
void Click(QWidget* widget, QPoint at); // press and release

// A main window on a device that is not there, with its document and view,
// private settings and an answering prompter: the widget tests' usual set.
struct CFrameUnderTest {
    CFrameUnderTest();
    ~CFrameUnderTest();
    CScopedSettings settings;
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    std::unique_ptr<CQuillmarDoc> doc;
    std::unique_ptr<CMainFrame> frame;
    CQuillmarView* view = nullptr;
};

// A main window on the simulated instrument, reached through a by-id style
// link, with its document, view and a view that records what it is handed.
struct CLiveFrame {
    CLiveFrame();
    ~CLiveFrame();
    // device: the simulator's link unless given; records go to dir/records
    // unless another folder is given.
    void Start(const QString& device = QString(), const QString& recordFolder = QString());
    QString Link() const { return dir.filePath("by-id-gnss"); }
    // Writes bytes at the instrument and waits until the views have been handed
    // `messages` in all.
    bool Send(const std::string& bytes, std::size_t messages);
    std::string RecordPath() const;

    CScopedSettings settings;
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    CInstrumentSimulator sim;
    std::unique_ptr<CQuillmarDoc> doc;
    CRecordingView recorder;
    std::unique_ptr<CMainFrame> frame;
    CQuillmarView* view = nullptr;
};

// Once the event loop turns, after delayMs, hands each visible top-level
// window of type Dialog to answer: the reply to a modal dialog about to run.
template <class Dialog> void AnswerWhenShown(std::function<void(Dialog&)> answer, int delayMs = 0) {
    QTimer::singleShot(delayMs, [answer = std::move(answer)] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<Dialog*>(w); dialog && dialog->isVisible())
                answer(*dialog);
        }
    });
}

// Clicks each push button of parent that reads text.
void ClickButton(QWidget* parent, const QString& text);

// Runs the event loop until pred() holds or timeoutMs passes; returns pred().
// The ceiling is generous: a loaded machine may be many times slower than an idle one.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 30000);
// Runs the event loop for ms milliseconds.
void Idle(int ms);

// Where tests leave screenshots and other files for a person to look at.
QString TestOutputDir();

#ifdef QUILLMAR_BINARY // the programs that start the real program
// The real program on the simulated instrument, with settings of its own,
// started once its record file exists.
struct CProgramOnTheSimulator {
    bool Start() {
        std::string error;
        if (!sim.Open(&error, link.toStdString()))
            return false;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", settings.Folder());
        program.setProcessEnvironment(environment);
        startUtcMs = CEventLog::NowUtcMs();
        program.start(QUILLMAR_BINARY, {"-platform", "offscreen", "--port", link, "--record-folder",
                                        dir.filePath("records")});
        return program.waitForStarted() && WaitUntil([&] { return !Record().isEmpty(); }) &&
               WaitUntil([&] { return HoldsLine(); });
    }
    // Whether the program has the device (the simulator's line) open now (its
    // descriptors as /proc shows them).
    bool Holds(const std::string& device) const {
        // A pseudo-terminal whose other side has gone reads as "… (deleted)".
        std::error_code error;
        const std::string path = std::filesystem::weakly_canonical(device, error).string();
        const std::string fds = "/proc/" + std::to_string(program.processId()) + "/fd";
        for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
            const std::string held = std::filesystem::read_symlink(fd.path(), error).string();
            if (held == path || held == path + " (deleted)")
                return true;
        }
        return false;
    }
    bool HoldsLine() const { return Holds(sim.SlavePath()); }
    QString Record() const {
        const QStringList files = QDir(dir.filePath("records")).entryList({"*.txt"}, QDir::Files);
        return files.isEmpty() ? QString() : dir.filePath("records/" + files[0]);
    }

    CScopedSettings settings;
    QTemporaryDir dir;
    QString link = dir.filePath("gnss");
    CInstrumentSimulator sim;
    QProcess program;
    std::int64_t startUtcMs = 0;
};
#endif
