#include "shell/MainFrame.h"

#include "link/NetSource.h"
#include "link/PortName.h"
#include "platform/AlarmTone.h"
#include "platform/Prompter.h"
#include "shell/AlarmLimitsDlg.h"
#include "shell/DataHealthDlg.h"
#include "shell/LockLights.h"
#include "shell/MainMenu.h"
#include "shell/PortSelectDlg.h"
#include "shell/QuillmarDoc.h"
#include "shell/ReplayDlg.h"
#include "shell/SettingsKey.h"
#include "view/Drawing.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <algorithm>

namespace {
constexpr int kStatusIntervalMs = 1000;
constexpr int kPortScanMs = 1000;
constexpr QSize kWindowSize(1035, 747);

// A status-bar pane that gives way when the window is narrow: its text is cut
// with "…" (in the middle for a path) down to a few characters. The alarm
// pane is a plain label and so the last to give way.
class CYieldingPane : public QLabel {
public:
    CYieldingPane(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), m_mode(mode) {}
    QSize minimumSizeHint() const override {
        const QSize hint = QLabel::minimumSizeHint();
        return {std::min(hint.width(), fontMetrics().horizontalAdvance("……") + 2 * frameWidth()),
                hint.height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect box = contentsRect();
        style()->drawItemText(
            &painter, box, QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
            isEnabled(), fontMetrics().elidedText(text(), m_mode, box.width()), foregroundRole());
    }

private:
    Qt::TextElideMode m_mode;
};

QIcon ToolbarIcon(int id) {
    const QDir dir(":/toolbar");
    const QStringList match = dir.entryList({QString::number(id) + "-*"});
    return match.isEmpty() ? QIcon() : QIcon(dir.filePath(match.constFirst()));
}
} // namespace

QLabel* CMainFrame::NewYieldingPane(Qt::TextElideMode mode, QWidget* parent) {
    return new CYieldingPane(mode, parent);
}

static void InitResources() {
    Q_INIT_RESOURCE(quillmar);
}

CMainFrame::CMainFrame(CQuillmarDoc* document, const QString& portDevice,
                       const QString& recordFolder)
    : m_pDocument(document), m_sessionListener(this),
      m_pSession(std::make_unique<CInstrumentSession>(&m_sessionListener)),
      m_annunciator([this] { return Shown().Alarms(); }), m_relay(document, this),
      m_documents(document, this) {
    InitResources(); // the images live in a static library
    m_nPort = ReadConfiguredPort();
    CSettingsKey key;
    key.Create();
    m_slots.Assign(key.NamedPortDevices(), CPortSlots::PresentDevices());
    if (!portDevice.isEmpty())
        m_slots.SetDevice(m_nPort, portDevice);
    else // the network source chosen last time, unless a device is named for this run
        m_strSource = key.ReadString("Source");
    FindFreePorts();
    // Settings that could not be used are named, never passed over in silence.
    m_alarmSettings = ReadAlarmSettings(&m_badSettings);
    m_sentenceOptions = ReadSentenceOptions(&m_badSettings);
    m_udpOutput = ReadUdpOutput(&m_badSettings);
    m_pSession->Monitor().SetSentenceOptions(m_sentenceOptions);
    ApplyAlarms();
    // Every byte read is kept beside the record unless the setting says otherwise.
    const QString raw = key.ReadString("RawCapture").trimmed().toLower();
    m_pSession->SetRawCapture(!(raw == "0" || raw == "false" || raw == "off" || raw == "no"));
    if (!recordFolder.isEmpty()) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::string error;
        if (!m_pSession->CreateRecord(recordFolder.toStdString(), local, &error)) {
            // Once, and without holding up the start or the reception.
            CPrompter::Instance().Notify(nullptr, RecordText(m_pSession->Record()), QString(),
                                         CPrompter::Icon::Warning);
        }
    }
    KeepFileFolders(recordFolder); // the file dialogs start there
    SourceAddress address;
    std::string reason;
    if (!m_strSource.isEmpty() &&
        !SourceAddress::Parse(m_strSource.toStdString(), &address, &reason)) {
        // Not replaced by a default: the link pane says nothing was opened.
        m_strBadSource = QString::fromStdString(reason);
        m_pSession->LogEvent("program", "bad-setting", "Source");
    }
    for (const QString& name : m_badSettings)
        m_pSession->LogEvent("program", "bad-setting", name.toStdString());

    // The initial rectangle of the main window (its outer size: see showEvent).
    move(-5, -5);
    resize(kWindowSize);
    // "确认报警" and "静音" can be chosen while there is something to do.
    connect(&m_annunciator, &CAnnunciator::AlarmsChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&m_annunciator, &CAnnunciator::Flashed, this, &CMainFrame::RefreshDisplayMarks);
    m_portScan.setInterval(kPortScanMs);
    connect(&m_portScan, &QTimer::timeout, this, &CMainFrame::ScanPorts);
    m_statusTimer.setInterval(kStatusIntervalMs);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] {
        RefreshStatus();
        RefreshLockPanes();
        // The displays show how old a value is.
        if (m_pView && m_pView->Mode() == ViewMode::RealTime1)
            m_pView->update();
    });
}

CMainFrame::~CMainFrame() {
    // Stop the session's thread before anything it posts to goes away.
    if (m_pView)
        m_pView->AttachMonitor(nullptr);
    delete m_pHealthDlg; // it reads the session
    delete m_pReplay;
    m_pSession.reset();
    // The menus use the menu style, a member: they go first.
    delete menuBar();
}

void CMainFrame::FindFreePorts() {
    m_arrFreePorts.clear();
    // The port this window reads is held by it, and free for it to choose.
    const LinkState link = m_pSession->Link();
    const bool held = link.strSource.empty() && link.kind == LinkState::Kind::Connected;
    for (int port = 1; port <= kPortSlots; ++port) {
        const QString device = m_slots.Device(port);
        if (device.isEmpty())
            continue;
        if ((held && link.strDevice == device.toStdString()) ||
            CSerialPort::CanOpenExclusive(device.toStdString()))
            m_arrFreePorts << QString::fromStdString(PortName(port));
    }
}

bool CMainFrame::OnCreate(CQuillmarView* view) {
    m_pView = view;
    m_relay.SetView(view);
    m_documents.SetView(view);
    setCentralWidget(view);
    view->AttachMonitor(&m_pSession->Monitor());
    view->Analysis().SetSentenceOptions(m_sentenceOptions);
    view->Analysis().SetHeadingCompareSettings(ReadSourceSettings().compare);
    RegisterCommands();
    view->RegisterCommands(m_commands);
    m_commands.SetAfterRun([this](int) { UpdateCommandUI(); });
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    m_menuStyle.Convert(menuBar(), m_pToolBar);
    m_documents.SetMenu(m_pFileMenu, Action(ID_FILE_MRU_FILE1));
    UpdateCommandUI();
    connect(Alarm(), &CAlarmTone::Unavailable, this,
            [this](const QString& reason) { statusBar()->showMessage(reason, 10000); });
    RestoreWindowSettings();
    OpenSerialPort();
    m_pSession->Start();
    m_statusTimer.start();
    RefreshStatus();
    return true;
}

QAction* CMainFrame::NewCommandAction(int id, const QString& text) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(PromptFor(id).statusPrompt);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id].append(action);
    return action;
}

void CMainFrame::CreateMenus() {
    QMap<QString, QMenu*> popups;
    for (const MenuEntry& entry : MainMenu()) {
        QAction* action =
            entry.id != 0 ? NewCommandAction(entry.id, MenuText(entry.text)) : nullptr;
        if (entry.popup.isEmpty()) {
            menuBar()->addAction(action);
            continue;
        }
        QMenu*& popup = popups[entry.popup];
        if (!popup) {
            popup = menuBar()->addMenu(MenuText(entry.popup));
            connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
            if (!m_pFileMenu)
                m_pFileMenu = popup;
        }
        if (action)
            popup->addAction(action);
        else
            popup->addSeparator();
    }
    QAction* toolbarToggle = Action(ID_VIEW_TOOLBAR);
    toolbarToggle->setCheckable(true);
    toolbarToggle->setChecked(true);

    // Accelerators: window shortcuts on the command's first action, or on an
    // action of their own for commands no menu offers.
    for (const Accelerator& accelerator : MainAccelerators()) {
        QAction* action = Action(accelerator.id);
        if (!action) {
            action = NewCommandAction(accelerator.id, QString());
            addAction(action);
        }
        QList<QKeySequence> keys = action->shortcuts();
        keys << QKeySequence(accelerator.keys);
        action->setShortcuts(keys);
    }
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(this);
    m_pToolBar->setObjectName("toolBar");
    m_pToolBar->setIconSize(QSize(18, 18));
    for (int id : MainToolbar()) {
        if (id == 0) {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        action->setIcon(ToolbarIcon(id));
        action->setToolTip(PromptFor(id).toolTip);
        m_pToolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    connect(m_pToolBar, &QToolBar::visibilityChanged, Action(ID_VIEW_TOOLBAR),
            &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& text) {
        if (text.isEmpty())
            bar->showMessage(QCoreApplication::translate("MainFrame", "就绪"));
    });
    bar->showMessage(QCoreApplication::translate("MainFrame", "就绪"));
    // A notice that stays until the operator clicks it away.
    m_pNoticePane = NewYieldingPane(Qt::ElideRight, bar);
    m_pNoticePane->setObjectName("noticePane");
    m_pNoticePane->setStyleSheet("color: #c00000");
    m_pNoticePane->setToolTip(QCoreApplication::translate("MainFrame", "点击表示已看到"));
    m_pNoticePane->installEventFilter(this);
    bar->addPermanentWidget(m_pNoticePane);
    m_pServePane = NewYieldingPane(Qt::ElideRight, bar);
    m_pServePane->setObjectName("servePane");
    m_pServePane->setStyleSheet("color: #b05000");
    bar->addPermanentWidget(m_pServePane);
    m_pSourcePane = NewYieldingPane(Qt::ElideRight, bar);
    m_pSourcePane->setObjectName("sourcePane");
    bar->addPermanentWidget(m_pSourcePane);
    m_pStalePane = NewYieldingPane(Qt::ElideRight, bar);
    m_pStalePane->setObjectName("stalePane");
    m_pStalePane->setStyleSheet("color: #606060");
    bar->addPermanentWidget(m_pStalePane);
    m_pAlarmPane = new QLabel(bar);
    m_pAlarmPane->setObjectName("alarmPane");
    m_pAlarmPane->setStyleSheet("color: #c00000; font-weight: bold");
    bar->addPermanentWidget(m_pAlarmPane);
    m_annunciator.SetPane(m_pAlarmPane);
    m_pRecordPane = NewYieldingPane(Qt::ElideMiddle, bar); // the path, whole in its tip
    m_pRecordPane->setObjectName("recordPane");
    bar->addPermanentWidget(m_pRecordPane);
    m_pLinkPane = NewYieldingPane(Qt::ElideRight, bar);
    m_pLinkPane->setObjectName("linkPane");
    bar->addPermanentWidget(m_pLinkPane);
    if (m_pView) {
        connect(m_pView, &CQuillmarView::StatusNote, bar,
                [bar](const QString& text) { bar->showMessage(text, 5000); });
        connect(m_pView, &CQuillmarView::HoverNote, bar, [bar](const QString& text) {
            if (text.isEmpty())
                bar->clearMessage();
            else
                bar->showMessage(text);
        });
        connect(m_pView, &CQuillmarView::CommandStateChanged, this, &CMainFrame::UpdateCommandUI);
    }
    // The lock keys, where a keyboard light tells their state.
    const QMap<QString, bool> lights = ReadLockLights();
    for (const auto& [lock, text] : {std::pair{"capslock", QT_TRANSLATE_NOOP("MainFrame", "大写")},
                                     {"numlock", QT_TRANSLATE_NOOP("MainFrame", "数字")},
                                     {"scrolllock", QT_TRANSLATE_NOOP("MainFrame", "滚动")}}) {
        if (!lights.contains(lock))
            continue;
        auto* pane = new QLabel(QCoreApplication::translate("MainFrame", text), bar);
        pane->setObjectName(lock);
        pane->setFrameShape(QFrame::StyledPanel);
        m_lockPanes << pane;
        bar->addPermanentWidget(pane);
    }
}

void CMainFrame::RegisterCommands() {
    CCommandTable& table = m_commands;
    table.Register(ID_SELECT_PORT, [this] { OnSelectPort(); });   // "选择串口"
    table.Register(ID_NET_SERVE, [this] { OnServe(); });          // "数据转发…"
    table.Register(ID_ALARM_LIMITS, [this] { OnAlarmLimits(); }); // "报警角度设定"
    auto any = [this](std::initializer_list<AlertState> states) {
        const AlarmStates alarms = Shown().Alarms();
        for (AlertState s : alarms.state)
            for (AlertState wanted : states)
                if (s == wanted)
                    return true;
        return false;
    };
    table.Register(ID_ALARM_ACKNOWLEDGE, // "确认报警"
                   {[this] { Shown().AcknowledgeAlarms(); },
                    [any] {
                        return any({AlertState::ActiveUnacknowledged, AlertState::ActiveSilenced,
                                    AlertState::RectifiedUnacknowledged});
                    },
                    {}});
    table.Register(ID_ALARM_SILENCE, // "静音"
                   {[this] { Shown().SilenceAlarms(); },
                    [any] { return any({AlertState::ActiveUnacknowledged}); },
                    {}});
    table.Register(ID_SAVE_DATA_PATH, [this] { OnSaveDataPath(); }); // "保存数据路径"
    table.Register(ID_DATA_HEALTH, [this] { OnDataHealth(); });      // "数据状态"
    m_documents.RegisterCommands(table);
    RegisterReplayCommands();
    table.Register(ID_APP_EXIT, [this] { close(); }); // "退出(&X)"
    table.Register(ID_VIEW_TOOLBAR,                   // "工具栏(&T)"
                   {[this] { m_pToolBar->setHidden(!m_pToolBar->isHidden()); },
                    {},
                    [this] { return m_pToolBar && !m_pToolBar->isHidden() ? 1 : 0; }});
}

bool CMainFrame::QuitNeedsConfirmation() const {
    if (!m_bAskBeforeQuit)
        return false;
    // A record file open with messages in it, or a live alarm not yet over.
    using Kind = RecordState::Kind;
    const Kind record = m_pSession->Record().kind;
    const bool recording = record != Kind::None && record != Kind::CreateFailed &&
                           record != Kind::RecreateFailed && m_pSession->MessagesFramed() > 0;
    const AlarmStates alarms = m_pSession->Alarms();
    const bool alarm =
        std::any_of(std::begin(alarms.state), std::end(alarms.state), [](AlertState s) {
            return s == AlertState::ActiveUnacknowledged || s == AlertState::ActiveSilenced ||
                   s == AlertState::ActiveAcknowledged;
        });
    return recording || alarm;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // 退出, Ctrl+Q, Alt+F4 and the title bar's close button all come here.
    if (QuitNeedsConfirmation() &&
        CPrompter::Instance().MessageBox(
            this, QCoreApplication::translate("MainFrame", "正在记录数据，确定退出吗？"), QString(),
            QMessageBox::Yes | QMessageBox::No, CPrompter::Icon::Question) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (!m_documents.SaveModified()) {
        event->ignore();
        return;
    }
    WindowSettings window;
    window.geometry = saveGeometry();
    if (m_pView)
        window.view = m_pView->Mode() == ViewMode::RealTime2 ? "curves" : "dials";
    WriteWindowSettings(window);
    QMainWindow::closeEvent(event);
}

void CMainFrame::RestoreWindowSettings() {
    const WindowSettings window = ReadWindowSettings();
    if (!window.geometry.isEmpty())
        m_bGeometryRestored = restoreGeometry(window.geometry);
    if (window.view == "curves")
        OnCommand(ID_VIEW_REALTIME2);
}

void CMainFrame::UpdateCommandUI() {
    // Commands nobody handles are greyed; the placeholder "最近文件" too (the
    // recent files' own entries are made by CDocumentCommands).
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        const bool enabled = it.key() != ID_FILE_MRU_FILE1 && m_commands.IsEnabled(it.key());
        const int check = m_commands.CheckState(it.key());
        const std::string note = m_commands.UnavailableNote(it.key());
        const QString tip =
            note.empty() ? PromptFor(it.key()).statusPrompt : QString::fromStdString(note);
        for (QAction* action : it.value()) {
            action->setEnabled(enabled);
            action->setStatusTip(tip);
            if (check >= 0) {
                action->setCheckable(true);
                action->setChecked(check == 1);
            }
        }
    }
}

namespace {
void SetPane(QLabel* pane, const QString& text) {
    if (pane && pane->text() != text)
        pane->setText(text);
}
} // namespace

void CMainFrame::RefreshLockPanes() {
    if (m_lockPanes.isEmpty())
        return;
    const QMap<QString, bool> lights = ReadLockLights();
    for (QLabel* pane : m_lockPanes)
        pane->setEnabled(lights.value(pane->objectName()));
}

StatusFacts CMainFrame::Facts() const {
    StatusFacts facts;
    facts.nNowMs = SteadyMs();
    facts.link = m_pSession->Link();
    facts.nLastByteMs = m_pSession->LastByteMs();
    facts.strSource = m_strSource;
    facts.strBadSource = m_strBadSource;
    facts.record = m_pSession->Record();
    facts.serve = m_pSession->Serving();
    facts.nMessages = m_pSession->MessagesFramed();
    facts.nChecksumFailures = m_pSession->Monitor().ChecksumFailures();
    facts.nPartialMessages = m_pSession->PartialMessages();
    const CMonitorState& shown = Shown().Monitor();
    facts.alarms = Shown().Alarms();
    facts.nPitchLimit = shown.PitchLimit();
    facts.nRollLimit = shown.RollLimit();
    facts.nStaleMs = shown.StaleMs();
    facts.values = shown.Values();
    if (!m_bBadSettingsSeen)
        facts.badSettings = m_badSettings;
    const std::uint64_t lost = m_pSession->RecordDroppedBytes();
    facts.nRecordLostBytes = lost > m_nRecordLossSeen ? lost - m_nRecordLossSeen : 0;
    const std::uint64_t dropped = m_pSession->Queue().DroppedMessages();
    facts.nUnshownMessages = dropped > m_nDropsSeen ? dropped - m_nDropsSeen : 0;
    facts.lastSwitch = m_pSession->LastSwitch();
    facts.strHeadingSource = QString::fromStdString(m_pSession->ChosenSource(Quantity::Heading));
    return facts;
}

void CMainFrame::RefreshStatus() {
    const StatusFacts facts = Facts();
    SetPane(m_pLinkPane, LinkPaneText(facts));
    SetPane(m_pRecordPane, RecordPaneText(facts));
    if (m_pRecordPane && m_pRecordPane->toolTip() != m_pRecordPane->text())
        m_pRecordPane->setToolTip(m_pRecordPane->text());
    SetPane(m_pAlarmPane, AlarmPaneText(facts));
    SetPane(m_pStalePane, StalePaneText(facts));
    SetPane(m_pSourcePane, SourcePaneText(facts));
    SetPane(m_pNoticePane, NoticePaneText(facts));
    SetPane(m_pServePane, ServePaneText(facts.serve));
    RefreshReplayPane();
    if (m_pLinkPane)
        m_pLinkPane->setToolTip(LinkPaneToolTip(facts));
}

QString CMainFrame::LinkStatus() const {
    return m_pLinkPane ? m_pLinkPane->text() : QString();
}

void CMainFrame::OpenSerialPort() {
    if (UseNetSource() || !m_strBadSource.isEmpty()) {
        // An invalid source in the settings: nothing is opened in its place.
        m_portScan.stop();
        return;
    }
    const QString device = m_slots.Device(m_nPort);
    m_pSession->UsePort(static_cast<unsigned>(m_nPort), device.toStdString());
    if (device.isEmpty())
        m_portScan.start();
    else
        m_portScan.stop();
}

void CMainFrame::ScanPorts() {
    // An adapter plugged in since takes a free slot, the one in use first.
    if (m_slots.Refresh(m_fnListDevices(), m_nPort)) {
        FindFreePorts();
        if (!m_slots.Device(m_nPort).isEmpty())
            OpenSerialPort();
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_bShownOnce)
        return;
    m_bShownOnce = true;
    if (m_bGeometryRestored)
        return; // the outer size of the last run, as it was saved
    // The window's outer size, frame and title bar included, is the one
    // asked for: the title bar's and frame's size is known once it shows.
    QTimer::singleShot(0, this, [this] {
        const QSize decorations = frameGeometry().size() - geometry().size();
        if (!decorations.isEmpty())
            resize(kWindowSize - decorations);
    });
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == CSessionEvent::Type()) {
        OnSessionChanged();
        return true;
    }
    if (e->type() == CPortErrorEvent::Type()) {
        CPrompter::Instance().Notify(nullptr, static_cast<CPortErrorEvent*>(e)->m_strText,
                                     "Application Error", CPrompter::Icon::Error);
        return true;
    }
    return QMainWindow::event(e);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_pNoticePane && e->type() == QEvent::MouseButtonPress) {
        m_nDropsSeen = m_pSession->Queue().DroppedMessages();
        m_nRecordLossSeen = m_pSession->RecordDroppedBytes();
        m_bBadSettingsSeen = true;
        RefreshStatus();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

void CMainFrame::OnSessionChanged() {
    m_sessionListener.Taken(); // a change from now on posts a new event
    if (m_pReplay)
        m_pReplay->Listener().Taken();
    // While a record is replayed, the window shows the replay's messages.
    m_relay.Relay(Shown(), m_pReplay ? m_pSession.get() : nullptr);
    m_annunciator.Refresh();
    RefreshDisplayMarks();
    RefreshStatus();
    m_relay.Repaint();
}

void CMainFrame::RefreshDisplayMarks() {
    if (!m_pView)
        return;
    const AlarmStates alarms = Shown().Alarms();
    const auto look = [&](AlarmSubject subject) {
        switch (alarms.Of(subject)) {
        case AlertState::ActiveUnacknowledged:
        case AlertState::ActiveSilenced: // flashing with the alarm pane
            return m_annunciator.FlashDark() ? ValueAlarm::Dark : ValueAlarm::Steady;
        case AlertState::ActiveAcknowledged:
            return ValueAlarm::Steady;
        default:
            return ValueAlarm::None;
        }
    };
    DisplayMarks marks;
    marks.pitch = look(AlarmSubject::Pitch);
    marks.roll = look(AlarmSubject::Roll);
    if (m_pReplay)
        marks.strReplay = m_pReplay->StatusText();
    m_pView->SetDisplayMarks(marks);
}

void CMainFrame::ApplyAlarms() {
    ApplyAlarmSettings(*m_pSession, m_alarmSettings);
    if (m_pReplay)
        ApplyAlarmSettings(m_pReplay->Session(), m_alarmSettings);
}

void CMainFrame::OnAlarmLimits() {
    CAlarmLimitsDlg dialog(this);
    dialog.OnInitDialog(m_alarmSettings.pitchLimit, m_alarmSettings.rollLimit);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_alarmSettings.pitchLimit = dialog.m_nPitch;
    m_alarmSettings.rollLimit = dialog.m_nRoll;
    ApplyAlarms();
    WriteAlarmLimits(dialog.m_nPitch, dialog.m_nRoll); // kept for the next start
    update();
    if (m_pView)
        m_pView->update();
}

void CMainFrame::OnSaveDataPath() {
    CPrompter::FileDialogRequest request;
    request.save = true;
    request.title = QCoreApplication::translate("MainFrame", "保存");
    request.filter = "Data Files (*.dat);;All File (*.*)";
    request.defaultSuffix = "DAT";
    request.proposedName = "TimeFileName";
    request.confirmOverwrite = true;
    request.kind = CPrompter::FileKind::Record;
    const QString path = CPrompter::Instance().ChooseFile(this, request);
    if (path.isEmpty())
        return;
    std::string error;
    // The dialog has asked before an existing file is replaced. Bytes a
    // failed write left over go into the new file first.
    if (!m_pSession->ReplaceRecord(path.toStdString(), &error)) {
        CPrompter::Instance().MessageBox(
            this,
            QCoreApplication::translate("MainFrame", "无法建立记录文件：%1\n%2\n记录仍写入原文件。")
                .arg(path, QString::fromStdString(error)),
            QString(), QMessageBox::Ok, CPrompter::Icon::Warning);
        return;
    }
    m_strRecordPath = path;
    RefreshStatus();
}

void CMainFrame::OnDataHealth() {
    // One window, shown beside the displays for as long as the operator likes.
    if (!m_pHealthDlg)
        m_pHealthDlg = new CDataHealthDlg(Shown(), this);
    m_pHealthDlg->show();
    m_pHealthDlg->raise();
    m_pHealthDlg->activateWindow();
}
