#include "support/TestSupport.h"

#include "shell/MainFrame.h"
#include "shell/QuillmarDoc.h"
#include "shell/SettingsKey.h"
#include "view/QuillmarView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

QMessageBox::StandardButton CScriptedPrompter::MessageBox(QWidget*, const QString& text,
                                                          const QString& caption,
                                                          QMessageBox::StandardButtons buttons,
                                                          Icon) {
    m_boxes.push_back({text, caption});
    if (!m_answers.empty()) {
        const auto answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    for (int bit = 1; bit; bit <<= 1) {
        if (buttons & bit)
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::Ok;
}

void CScriptedPrompter::Notify(QWidget*, const QString& text, const QString& caption, Icon) {
    m_notes.push_back({text, caption});
}

QString CScriptedPrompter::FileDialog(QWidget*, const FileDialogRequest& request) {
    m_fileDialogs.push_back(request);
    if (m_files.empty())
        return {};
    const QString file = m_files.front();
    m_files.pop_front();
    return file;
}

QSize CScriptedPrompter::PictureSize(QWidget*, const QString&, QSize proposed) {
    m_proposedSizes.push_back(proposed);
    if (m_sizes.empty())
        return proposed;
    const QSize size = m_sizes.front();
    m_sizes.pop_front();
    return size;
}

CScopedSettings::CScopedSettings() {
    SetSettingsFolder(m_dir.path());
}

void CScopedSettings::Set(const QString& key, const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmar Solution", "Quillmar");
    settings.setValue(key, value);
}

CQuillmarView* CreateFrame(CMainFrame& frame, CQuillmarDoc& doc) {
    auto* view = new CQuillmarView(&frame);
    doc.AddView(view);
    view->SetDocument(&doc);
    return frame.OnCreate(view) ? view : nullptr;
}

CFrameUnderTest::CFrameUnderTest()
    : doc(std::make_unique<CQuillmarDoc>()),
      frame(std::make_unique<CMainFrame>(doc.get(), "/nonexistent/tty", dir.filePath("records"))) {
    view = CreateFrame(*frame, *doc);
    EXPECT_TRUE(view);
}

CFrameUnderTest::~CFrameUnderTest() {
    frame.reset();
}

CLiveFrame::CLiveFrame() : doc(std::make_unique<CQuillmarDoc>()) {
    std::string error;
    EXPECT_TRUE(sim.Open(&error, Link().toStdString())) << error;
}

CLiveFrame::~CLiveFrame() {
    frame.reset();
}

void CLiveFrame::Start(const QString& device, const QString& recordFolder) {
    frame = std::make_unique<CMainFrame>(doc.get(), device.isEmpty() ? Link() : device,
                                         recordFolder.isEmpty() ? dir.filePath("records")
                                                                : recordFolder);
    view = CreateFrame(*frame, *doc);
    EXPECT_TRUE(view);
    doc->AddView(&recorder); // messages reach it through the event loop, after this
}

bool CLiveFrame::Send(const std::string& bytes, std::size_t messages) {
    if (!WaitUntil([&] { return frame->Session().IsConnected(); }) || !sim.Write(bytes))
        return false;
    return WaitUntil([&] { return recorder.m_messages.size() >= messages; });
}

std::string CLiveFrame::RecordPath() const {
    return frame->Session().RecordPath();
}

CViewUnderTest::CViewUnderTest() {
    view.RegisterCommands(commands);
    view.resize(1023, 670);
}

bool CViewUnderTest::Load(const QString& path, AnalysisSource source) {
    view.StartLoad(path, source);
    return WaitUntil([&] { return !view.Analysis().IsLoading(); }, 60000);
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(WriteFile(dir.filePath(name).toStdString(), bytes.toStdString()));
    return dir.filePath(name);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void ClickButton(QWidget* parent, const QString& text) {
    for (auto* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == text)
            button->click();
    }
}

void Click(QWidget* widget, QPoint at) {
    SendMouse(widget, QEvent::MouseButtonPress, at);
    SendMouse(widget, QEvent::MouseButtonRelease, at);
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    // An event loop that sleeps between looks, so waiting costs no CPU
    // (the soak measures the program's own use while it waits).
    if (pred())
        return true;
    QEventLoop loop;
    QTimer tick;
    QDeadlineTimer deadline(timeoutMs);
    bool met = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        met = pred();
        if (met || deadline.hasExpired())
            loop.quit();
    });
    tick.start(5);
    loop.exec();
    return met || pred();
}

void Idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString TestOutputDir() {
    // Beside the test programs in the build tree, wherever they are run from.
    const QString dir = QCoreApplication::applicationDirPath() + "/test-output";
    QDir().mkpath(dir);
    return dir;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Quillmar Solution");
    QApplication::setApplicationName("Quillmar");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
