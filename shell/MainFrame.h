// The main window: menu, toolbar and status bar, and the instrument session
// (port, framer, record, on its own thread) whose messages it hands to the
// views (CMessageRelay) and whose state it shows (the panes' texts in
// shell/StatusTexts.h, the tone and the flashing in CAnnunciator). The
// document's file commands are CDocumentCommands'.
#pragma once

#include "link/AlarmSettings.h"
#include "link/InstrumentSession.h"
#include "platform/CommandTable.h"
#include "shell/Annunciator.h"
#include "shell/DocumentCommands.h"
#include "shell/MessageRelay.h"
#include "shell/OwnerDrawMenu.h"
#include "shell/PortSlots.h"
#include "shell/SessionEvents.h"
#include "shell/StatusTexts.h"

#include <QMainWindow>
#include <QMap>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class CAlarmTone;
class CDataHealthDlg;
class CReplayDlg;
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
    // recordFolder: where the record file is created (none when empty).
    explicit CMainFrame(CQuillmarDoc* document, const QString& portDevice = QString(),
                        const QString& recordFolder = QString());
    ~CMainFrame() override;

    // Builds menu, toolbar and status bar and starts the instrument session
    // on the configured port. The view becomes the central widget.
    bool OnCreate(CQuillmarView* view);
    // Points the session at the configured slot's device; while that slot has
    // none, the serial devices are looked for again every second.
    void OpenSerialPort();
    void FindFreePorts();
    // A network source (tcp://, udp://, gpsd:// URL) in place of the port from
    // now on; empty: the port again.
    void SetSource(const QString& url);
    // Further sources ("label=url") read beside the first from the start,
    // the settings' MoreSources when none is given; firstLabel names the
    // first. Before the view is made.
    void AddSources(const QString& firstLabel, const QStringList& more);
    const QString& Source() const { return m_strSource; }
    // Shares the received text lines: a TCP server on "[host:]port" and, when
    // udpAddress is set, datagrams to "host:port" in the form given (the 450
    // form with the source and TTL of the settings). Before OnCreate.
    bool Serve(const QString& address, const QString& udpAddress, UdpOutput::Format format,
               QString* error);
    // The datagrams' form as the settings have it (ServeUdpFormat).
    UdpOutput::Format UdpFormat() const { return m_udpOutput.format; }
    // "数据转发…": switches and moves the sharing while the session runs; the
    // choice is kept in the settings (ServeAddress, ServeUdpAddress,
    // ServeUdpFormat).
    void OnServe();
    // Lists the serial devices present (tests give a list of their own).
    void SetDeviceLister(std::function<QStringList()> lister) {
        m_fnListDevices = std::move(lister);
    }
    // Hands the messages that wait to the views and shows the session's state.
    void OnSessionChanged();
    void OnSelectPort();
    void OnAlarmLimits();
    void OnSaveDataPath();
    void OnDataHealth();
    // "数据回放…": asks for a record file and plays it into the displays.
    void OnReplay();
    // Plays path back at speed (CReplayDlg::Speeds()) in place of the live
    // data; false after saying why when it cannot be read.
    bool StartReplay(const QString& path, double speed);
    // Back to the live data ("结束回放", or the replay window closed).
    void EndReplay();
    CReplayDlg* Replay() const { return m_pReplay; }
    // The session the displays, the alarm pane and 数据状态 show: the replay's
    // while one runs, else the live one.
    CInstrumentSession& Shown() const;

    // The document's file commands and recent files.
    CDocumentCommands& Documents() { return m_documents; }

    // Every command, by id: registered by the part that owns it (the frame's
    // own, the view's parts, the application's).
    CCommandTable& Commands() { return m_commands; }
    bool OnCommand(int id) { return m_commands.Run(id); }
    bool HasHandler(int id) const { return m_commands.Has(id); }
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

    CQuillmarDoc* Document() const { return m_pDocument; }
    CQuillmarView* View() const { return m_pView; }
    QString LinkStatus() const;
    const CPortSlots& Slots() const { return m_slots; }
    CInstrumentSession& Session() const { return *m_pSession; }
    CAlarmTone* Alarm() const { return m_annunciator.Tone(); }
    // The panes' texts as they stand (shell/StatusTexts.h).
    QString AlarmStatus() const { return AlarmPaneText(Facts()); }
    QString RecordStatus() const { return RecordPaneText(Facts()); }
    QString StaleStatus() const { return StalePaneText(Facts()); }
    QString NoticeStatus() const { return NoticePaneText(Facts()); }
    QString ServeStatus() const { return ServePaneText(m_pSession->Serving()); }

    // Whether closing the window asks first: while messages are being
    // recorded or a live alarm is active. Runs nobody watches (a screenshot
    // run, a quit by a signal) set it off and close without a word.
    void SetAskBeforeQuit(bool ask) { m_bAskBeforeQuit = ask; }
    bool QuitNeedsConfirmation() const;

    int m_nPort = 1;
    QStringList m_arrFreePorts;
    QString m_strRecordPath; // the file last chosen with "保存数据路径"

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void RegisterCommands();
    void RegisterReplayCommands();
    void ShowSession(CInstrumentSession& session);
    void RefreshReplayPane();
    // The replay window beside the dials, not over them.
    void PlaceReplayWindow(QWidget& window);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    // A pane that gives way before the alarm pane when the window is narrow:
    // its text cut with "…" at the end or, for a path, in the middle.
    static QLabel* NewYieldingPane(Qt::TextElideMode mode, QWidget* parent);
    // What the panes are worked out from, at this moment.
    StatusFacts Facts() const;
    void RefreshStatus();
    void RefreshLockPanes();
    // The alarm settings, to the live session and to a replay's.
    void ApplyAlarms();
    void ScanPorts();
    // The size, place and live display of the last run, where kept.
    void RestoreWindowSettings();
    // The view's marks of the alarms and the replay, as they now stand.
    void RefreshDisplayMarks();
    bool UseNetSource(); // false when the port is the source

    CQuillmarDoc* m_pDocument;
    COwnerDrawMenu m_menuStyle;
    CQuillmarView* m_pView = nullptr;
    CPortSlots m_slots;
    QString m_strSource;          // a network source's URL, or empty for the port
    QString m_strServeAddress;    // the sharing in effect: "[host:]port", empty when off
    QString m_strServeUdpAddress; // "host:port", empty for none
    UdpOutput m_udpOutput;        // the datagrams' form, source and TTL
    CCommandTable m_commands;
    CQtSessionListener m_sessionListener;
    std::unique_ptr<CInstrumentSession> m_pSession;
    AlarmSettings m_alarmSettings;     // as read at the start, limits as set since
    SentenceOptions m_sentenceOptions; // as read at the start, for live, replay and analysis
    CAnnunciator m_annunciator;
    CMessageRelay m_relay;
    CDocumentCommands m_documents;
    QMap<int, QList<QAction*>> m_actions;
    QAction* NewCommandAction(int id, const QString& text);
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pLinkPane = nullptr;
    QLabel* m_pRecordPane = nullptr;
    QLabel* m_pAlarmPane = nullptr;
    QLabel* m_pStalePane = nullptr;
    QLabel* m_pSourcePane = nullptr; // several sources: which one is shown
    QLabel* m_pNoticePane = nullptr;
    QLabel* m_pServePane = nullptr;
    QList<QLabel*> m_lockPanes;
    QTimer m_statusTimer; // ages of values and of the link's silence
    QTimer m_portScan;    // looks for adapters while the slot in use has none
    std::function<QStringList()> m_fnListDevices = &CPortSlots::PresentDevices;
    bool m_bShownOnce = false;
    bool m_bGeometryRestored = false; // the size and place of the last run
    bool m_bAskBeforeQuit = true;
    std::uint64_t m_nDropsSeen = 0;      // messages left out that the operator has seen counted
    std::uint64_t m_nRecordLossSeen = 0; // bytes the record lost that the operator has seen
    QStringList m_badSettings;           // named in the notice until clicked, and in the event log
    bool m_bBadSettingsSeen = false;
    QString m_strBadSource; // why the Source setting cannot be used; nothing is opened then
    QMenu* m_pFileMenu = nullptr;
    CDataHealthDlg* m_pHealthDlg = nullptr; // made when first asked for, kept
    CReplayDlg* m_pReplay = nullptr;        // while a record is played back
    QLabel* m_pReplayPane = nullptr;
};
