#include "shell/DocumentCommands.h"

#include "platform/CommandTable.h"
#include "platform/Prompter.h"
#include "shell/CommandIds.h"
#include "shell/MainMenu.h"
#include "shell/QuillmarDoc.h"
#include "shell/SettingsKey.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>

namespace {
constexpr int kRecentFiles = 4;
const char* const kDocumentFilter =
    QT_TRANSLATE_NOOP("MainFrame", "(*.txt) (*.txt);;所有文件 (*.*)");
} // namespace

void KeepFileFolders(const QString& startFolder) {
    CPrompter::FolderStore store;
    store.start = startFolder;
    store.read = [](CPrompter::FileKind kind) {
        CSettingsKey key;
        key.Create();
        return key.ReadString("Folders/" + CPrompter::FolderKey(kind));
    };
    store.write = [](CPrompter::FileKind kind, const QString& folder) {
        CSettingsKey key;
        if (key.Create() == 0)
            key.Write("Folders/" + CPrompter::FolderKey(kind), folder);
    };
    CPrompter::SetFolderStore(std::move(store));
}

CDocumentCommands::CDocumentCommands(CQuillmarDoc* document, QMainWindow* window)
    : m_pDocument(document), m_pWindow(window) {
    CSettingsKey key;
    key.Create();
    m_recentFiles = key.RecentFiles(kRecentFiles);
}

void CDocumentCommands::RegisterCommands(CCommandTable& table) {
    m_pCommands = &table;
    table.Register(ID_FILE_NEW, [this] { OnFileNew(); });
    table.Register(ID_FILE_OPEN, [this] { OnFileOpen(); });
    table.Register(ID_FILE_SAVE, [this] { DoSave(m_pDocument->PathName()); });
    table.Register(ID_FILE_SAVE_AS, [this] { DoSave(QString()); });
    for (int i = 0; i < kRecentFiles; ++i) {
        table.Register(ID_FILE_MRU_FILE1 + i, [this, i] {
            if (i < m_recentFiles.size())
                OpenDocumentFile(m_recentFiles[i]);
        });
    }
}

void CDocumentCommands::SetMenu(QMenu* menu, QAction* placeholder) {
    m_pFileMenu = menu;
    m_pPlaceholder = placeholder;
    RefreshRecentFiles();
}

void CDocumentCommands::RefreshRecentFiles() {
    if (!m_pPlaceholder || !m_pFileMenu)
        return;
    for (QAction* action : m_recentActions)
        m_pFileMenu->removeAction(action);
    qDeleteAll(m_recentActions);
    m_recentActions.clear();
    m_pPlaceholder->setVisible(m_recentFiles.isEmpty());
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        auto* action = new QAction(QString("&%1 %2").arg(i + 1).arg(m_recentFiles[i]), m_pWindow);
        action->setStatusTip(PromptFor(ID_FILE_MRU_FILE1).statusPrompt);
        const int id = ID_FILE_MRU_FILE1 + i;
        QObject::connect(action, &QAction::triggered, m_pWindow, [this, id] {
            if (m_pCommands)
                m_pCommands->Run(id);
        });
        m_pFileMenu->insertAction(m_pPlaceholder, action);
        m_recentActions << action;
    }
}

void CDocumentCommands::AddRecentFile(const QString& path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kRecentFiles)
        m_recentFiles.removeLast();
    SaveRecentFiles();
}

void CDocumentCommands::SaveRecentFiles() {
    CSettingsKey key;
    if (key.Create() == 0)
        key.WriteRecentFiles(m_recentFiles, kRecentFiles);
    RefreshRecentFiles();
}

void CDocumentCommands::UpdateTitle() {
    m_pWindow->setWindowTitle(m_pDocument->Title() + " - Quillmar");
}

bool CDocumentCommands::SaveModified() {
    if (!m_pDocument || !m_pDocument->IsModified())
        return true;
    const auto answer = CPrompter::Instance().MessageBox(
        m_pWindow,
        QCoreApplication::translate("MainFrame", "是否保存对 %1 的更改？")
            .arg(m_pDocument->Title()),
        QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
        CPrompter::Icon::Question);
    if (answer == QMessageBox::Cancel)
        return false;
    return answer == QMessageBox::No || DoSave(m_pDocument->PathName());
}

bool CDocumentCommands::DoSave(const QString& path) {
    QString target = path;
    if (target.isEmpty()) {
        CPrompter::FileDialogRequest request;
        request.save = true;
        request.title = QCoreApplication::translate("MainFrame", "另存为");
        request.filter = QCoreApplication::translate("MainFrame", kDocumentFilter);
        request.defaultSuffix = "txt";
        request.kind = CPrompter::FileKind::Drawing;
        request.proposedName = m_pDocument->Title().endsWith(".txt")
                                   ? m_pDocument->Title()
                                   : m_pDocument->Title() + ".txt";
        target = CPrompter::Instance().ChooseFile(m_pWindow, request);
        if (target.isEmpty())
            return false;
    }
    QString error;
    if (!m_pDocument->OnSaveDocument(target, &error)) {
        CPrompter::Instance().MessageBox(m_pWindow, error, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Warning);
        return false;
    }
    AddRecentFile(target);
    UpdateTitle();
    return true;
}

void CDocumentCommands::OnFileNew() {
    if (!SaveModified())
        return;
    m_pDocument->OnNewDocument();
    UpdateTitle();
    if (m_pView)
        m_pView->update();
}

void CDocumentCommands::OnFileOpen() {
    CPrompter::FileDialogRequest request;
    request.title = QCoreApplication::translate("MainFrame", "打开");
    request.filter = QCoreApplication::translate("MainFrame", kDocumentFilter);
    request.kind = CPrompter::FileKind::Drawing;
    const QString path = CPrompter::Instance().ChooseFile(m_pWindow, request);
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CDocumentCommands::OpenDocumentFile(const QString& path) {
    if (!SaveModified())
        return false;
    QString error;
    if (!m_pDocument->OnOpenDocument(path, &error)) {
        CPrompter::Instance().MessageBox(m_pWindow, error, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Warning);
        if (m_recentFiles.removeAll(path) > 0) // a recent file that is gone leaves the list
            SaveRecentFiles();
        return false;
    }
    AddRecentFile(path);
    UpdateTitle();
    if (m_pView)
        m_pView->update();
    return true;
}
