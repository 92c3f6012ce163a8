// The drawing document's file commands: 新建, 打开, 保存, 另存为 and the recent
// files (kept in the settings, shown in the file menu), the question before a
// modified document is left, and the window's title.
#pragma once

#include <QList>
#include <QStringList>

class CCommandTable;
class CQuillmarDoc;
class CQuillmarView;
class QAction;
class QMainWindow;
class QMenu;

// The file dialogs open in the folder last used for their kind of file (kept
// in the settings, "Folders/…"), else in startFolder (the record folder).
void KeepFileFolders(const QString& startFolder);

class CDocumentCommands {
public:
    // window: asks and is titled; the recent files are read from the settings.
    CDocumentCommands(CQuillmarDoc* document, QMainWindow* window);

    void SetView(CQuillmarView* view) { m_pView = view; }
    void RegisterCommands(CCommandTable& table);
    // The recent files stand in menu in place of placeholder (the greyed
    // "最近文件") while there are any.
    void SetMenu(QMenu* menu, QAction* placeholder);

    void OnFileNew();
    void OnFileOpen();
    bool OpenDocumentFile(const QString& path);
    bool DoSave(const QString& path); // empty: ask where (save as)
    // Asks whether to save a modified document; false when the operator cancels.
    bool SaveModified();
    const QStringList& RecentFiles() const { return m_recentFiles; }
    // Puts a document opened elsewhere (the command line) at the top of the
    // recent files.
    void AddRecentFile(const QString& path);
    void UpdateTitle();

private:
    void SaveRecentFiles();
    void RefreshRecentFiles();

    CQuillmarDoc* m_pDocument;
    QMainWindow* m_pWindow;
    CQuillmarView* m_pView = nullptr;
    CCommandTable* m_pCommands = nullptr;
    QStringList m_recentFiles;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
};
