// The main window: menu, toolbar, status bar, the instrument's serial port and
// the receive handler that frames the byte stream into messages for the views.
#pragma once

#include "link/PortEvent.h"
#include "link/PortSlots.h"
#include "link/ReceiverMessage.h"
#include "link/SerialPort.h"
#include "shell/OwnerDrawMenu.h"

#include <QMainWindow>
#include <QMap>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class CQuillmarDoc;
class CQuillmarView;
class QAction;
class QMenu;
class QLabel;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // portDevice: when set, the configured slot uses this device for this run.
    explicit CMainFrame(CQuillmarDoc* document, const QString& portDevice = QString());
    ~CMainFrame() override;

    // Builds menu, toolbar and status bar and opens the port. The view
    // becomes the central widget.
    bool OnCreate(CQuillmarView* view);
    bool OpenSerialPort();
    void FindFreePorts();
    void OnPortReceived();
    void OnSelectPort();
    void OnAlarmLimits();

    // The document's file commands, as the framework gives them.
    void OnFileNew();
    void OnFileOpen();
    bool OpenDocumentFile(const QString& path);
    bool DoSave(const QString& path); // empty: ask where (save as)
    // Asks whether to save a modified document; false when the operator cancels.
    bool SaveModified();
    const QStringList& RecentFiles() const { return m_recentFiles; }
    void UpdateTitle();

    // Command routing: the view first, then the frame, then the application.
    bool OnCommand(int id);
    bool HasHandler(int id) const;
    void UpdateCommandUI();
    // The first action of a command (the toolbar's); Actions gives them all,
    // one per menu entry.
    QAction* Action(int id) const {
        const auto actions = m_actions.value(id);
        return actions.isEmpty() ? nullptr : actions.constFirst();
    }
    QList<QAction*> Actions(int id) const { return m_actions.value(id); }
    QToolBar* ToolBar() const { return m_pToolBar; }
    const COwnerDrawMenu& MenuStyle() const { return m_menuStyle; }
    // The application's own commands (the version box), routed last.
    void SetApplicationCommands(std::function<bool(int, bool)> handler) {
        m_appCommands = std::move(handler);
    }

    CQuillmarDoc* Document() const { return m_pDocument; }
    CQuillmarView* View() const { return m_pView; }
    QString LinkStatus() const;
    const CPortSlots& Slots() const { return m_slots; }

    int m_nPort = 1;
    QStringList m_arrFreePorts;
    std::unique_ptr<CSerialPort> m_pSerialPort;
    CReceiverMessage m_message;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void AddRecentFile(const QString& path);
    void SaveRecentFiles();
    void RefreshRecentFiles();
    void CreateToolBar();
    void CreateStatusBar();
    void AnswerNPacket();
    void OnPortVanished();
    void TryReconnect();
    void ShowLinkState(const QString& text);
    QString PortLabel() const;
    QString OpenFailureText(int error) const;

    CQuillmarDoc* m_pDocument;
    COwnerDrawMenu m_menuStyle;
    CQuillmarView* m_pView = nullptr;
    CPortSlots m_slots;
    CQtPortOwner m_portOwner;
    QMap<int, QList<QAction*>> m_actions;
    QAction* NewCommandAction(int id, const QString& text);
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pLinkPane = nullptr;
    QLabel* m_pRecordPane = nullptr;
    QLabel* m_pAlarmPane = nullptr;
    QTimer m_reconnectTimer;
    std::function<bool(int, bool)> m_appCommands;
    bool m_bInReceive = false;
    bool m_bReceivePending = false;
    std::uint64_t m_nDroppedBytes = 0; // of ports already closed
    QString m_strLinkState;
    QStringList m_recentFiles;
    QMenu* m_pFileMenu = nullptr;
    QList<QAction*> m_recentActions;
};
