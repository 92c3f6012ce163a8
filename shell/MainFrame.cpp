#include "shell/MainFrame.h"

#include "link/PortName.h"
#include "link/PortSelectDlg.h"
#include "platform/CommandIds.h"
#include "platform/Prompter.h"
#include "shell/AlarmLimitsDlg.h"
#include "shell/QuillmarDoc.h"
#include "shell/SettingsKey.h"
#include "view/Alarm.h"
#include "view/QuillmarView.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <grp.h>
#include <sys/stat.h>

namespace {
constexpr unsigned kBaud = 9600;
constexpr unsigned kEventMask = EV_RXCHAR | EV_CTS;
constexpr unsigned kWriteBufferSize = 512;
constexpr int kReconnectIntervalMs = 1000;
constexpr int kCommandDelayAfterN = 300;
constexpr int kRecentFiles = 4;
const char* const kDocumentFilter = "(*.txt) (*.txt);;所有文件 (*.*)";

QIcon ToolbarIcon(int id) {
    const QDir dir(":/toolbar");
    const QStringList match = dir.entryList({QString::number(id) + "-*"});
    return match.isEmpty() ? QIcon() : QIcon(dir.filePath(match.constFirst()));
}
} // namespace

static void InitResources() {
    Q_INIT_RESOURCE(quillmar);
}

CMainFrame::CMainFrame(CQuillmarDoc* document, const QString& portDevice)
    : m_pDocument(document), m_portOwner(this) {
    InitResources(); // the images live in a static library
    m_nPort = ReadConfiguredPort();
    CSettingsKey key;
    key.Create();
    m_slots.Assign(key.NamedPortDevices(), CPortSlots::PresentDevices());
    if (!portDevice.isEmpty())
        m_slots.SetDevice(m_nPort, portDevice);
    FindFreePorts();

    // The initial rectangle of the main window.
    move(-5, -5);
    resize(1035, 747);
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmar Solution", "Quillmar");
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString path = settings.value(QString("Recent File List/File%1").arg(i)).toString();
        if (!path.isEmpty())
            m_recentFiles << path;
    }
    m_reconnectTimer.setInterval(kReconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CMainFrame::TryReconnect);
}

CMainFrame::~CMainFrame() {
    // Stop the watch thread before anything it posts to goes away.
    m_pSerialPort.reset();
    // The menus use the menu style, a member: they go first.
    delete menuBar();
}

void CMainFrame::FindFreePorts() {
    m_arrFreePorts.clear();
    for (int port = 1; port <= kPortSlots; ++port) {
        const QString device = m_slots.Device(port);
        if (!device.isEmpty() && CSerialPort::CanOpenExclusive(device.toStdString()))
            m_arrFreePorts << QString::fromStdString(PortName(port));
    }
}

bool CMainFrame::OnCreate(CQuillmarView* view) {
    m_pView = view;
    setCentralWidget(view);
    // The context menu's commands go through the main window, like the menu's.
    view->m_fnRouteCommand = [this](int id) { OnCommand(id); };
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    m_menuStyle.Convert(menuBar(), m_pToolBar);
    RefreshRecentFiles();
    UpdateCommandUI();
    OpenSerialPort();
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
        QAction* action = entry.id != 0 ? NewCommandAction(entry.id, entry.text) : nullptr;
        if (entry.popup.isEmpty()) {
            menuBar()->addAction(action);
            continue;
        }
        QMenu*& popup = popups[entry.popup];
        if (!popup) {
            popup = menuBar()->addMenu(entry.popup);
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
    m_pToolBar->setObjectName("AFX_IDW_TOOLBAR");
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
            bar->showMessage("就绪");
    });
    bar->showMessage("就绪");
    m_pAlarmPane = new QLabel(bar);
    m_pAlarmPane->setObjectName("alarmPane");
    m_pAlarmPane->setStyleSheet("color: #c00000; font-weight: bold");
    bar->addPermanentWidget(m_pAlarmPane);
    m_pRecordPane = new QLabel(bar);
    m_pRecordPane->setObjectName("recordPane");
    bar->addPermanentWidget(m_pRecordPane);
    m_pLinkPane = new QLabel(bar);
    m_pLinkPane->setObjectName("linkPane");
    bar->addPermanentWidget(m_pLinkPane);
    if (m_pView) {
        m_pRecordPane->setText(m_pView->RecordStatus());
        connect(m_pView, &CQuillmarView::RecordStatusChanged, m_pRecordPane, &QLabel::setText);
        connect(m_pView, &CQuillmarView::AlarmStatusChanged, m_pAlarmPane, &QLabel::setText);
        connect(m_pView, &CQuillmarView::StatusNote, bar,
                [bar](const QString& text) { bar->showMessage(text, 5000); });
    }
    for (const char* indicator : {"大写", "数字", "滚动"}) {
        auto* pane = new QLabel(QString::fromUtf8(indicator), bar);
        pane->setEnabled(false);
        pane->setFrameShape(QFrame::StyledPanel);
        bar->addPermanentWidget(pane);
    }
}

bool CMainFrame::HasHandler(int id) const {
    switch (id) {
    case ID_SELECT_PORT:
    case ID_ALARM_LIMITS:
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_APP_EXIT:
    case ID_VIEW_TOOLBAR:
        return true;
    default:
        break;
    }
    if (m_pView && m_pView->HasCommand(id))
        return true;
    return m_appCommands && m_appCommands(id, false);
}

bool CMainFrame::OnCommand(int id) {
    bool handled = true;
    if (m_pView && m_pView->HasCommand(id)) {
        m_pView->OnCommand(id);
    } else if (id == ID_SELECT_PORT) {
        OnSelectPort();
    } else if (id == ID_ALARM_LIMITS) {
        OnAlarmLimits();
    } else if (id == ID_FILE_NEW) {
        OnFileNew();
    } else if (id == ID_FILE_OPEN) {
        OnFileOpen();
    } else if (id == ID_FILE_SAVE || id == ID_FILE_SAVE_AS) {
        DoSave(id == ID_FILE_SAVE ? m_pDocument->PathName() : QString());
    } else if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + 4) {
        const int index = id - ID_FILE_MRU_FILE1;
        if (index < m_recentFiles.size())
            OpenDocumentFile(m_recentFiles[index]);
    } else if (id == ID_APP_EXIT) {
        close();
    } else if (id == ID_VIEW_TOOLBAR) {
        m_pToolBar->setVisible(!m_pToolBar->isVisible());
    } else {
        handled = m_appCommands && m_appCommands(id, true);
    }
    UpdateCommandUI();
    return handled;
}

void CMainFrame::RefreshRecentFiles() {
    // The recent files stand in place of the greyed "最近文件" while there are any.
    QAction* placeholder = Action(ID_FILE_MRU_FILE1);
    if (!placeholder || !m_pFileMenu)
        return;
    for (QAction* action : m_recentActions)
        m_pFileMenu->removeAction(action);
    qDeleteAll(m_recentActions);
    m_recentActions.clear();
    placeholder->setVisible(m_recentFiles.isEmpty());
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        auto* action = new QAction(QString("&%1 %2").arg(i + 1).arg(m_recentFiles[i]), this);
        action->setStatusTip(PromptFor(ID_FILE_MRU_FILE1).statusPrompt);
        const int id = ID_FILE_MRU_FILE1 + i;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_pFileMenu->insertAction(placeholder, action);
        m_recentActions << action;
    }
}

void CMainFrame::AddRecentFile(const QString& path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kRecentFiles)
        m_recentFiles.removeLast();
    SaveRecentFiles();
}

void CMainFrame::SaveRecentFiles() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmar Solution", "Quillmar");
    for (int i = 0; i < kRecentFiles; ++i)
        settings.setValue(QString("Recent File List/File%1").arg(i + 1), m_recentFiles.value(i));
    RefreshRecentFiles();
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(m_pDocument->Title() + " - Quillmar");
}

bool CMainFrame::SaveModified() {
    if (!m_pDocument || !m_pDocument->IsModified())
        return true;
    const auto answer = CPrompter::Instance().MessageBox(
        this, QString("是否保存对 %1 的更改？").arg(m_pDocument->Title()), QString(),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, CPrompter::Icon::Question);
    if (answer == QMessageBox::Cancel)
        return false;
    return answer == QMessageBox::No || DoSave(m_pDocument->PathName());
}

bool CMainFrame::DoSave(const QString& path) {
    QString target = path;
    if (target.isEmpty()) {
        CPrompter::FileDialogRequest request;
        request.save = true;
        request.title = "另存为";
        request.filter = kDocumentFilter;
        request.defaultSuffix = "txt";
        request.proposedName = m_pDocument->Title().endsWith(".txt")
                                   ? m_pDocument->Title()
                                   : m_pDocument->Title() + ".txt";
        target = CPrompter::Instance().FileDialog(this, request);
        if (target.isEmpty())
            return false;
    }
    QString error;
    if (!m_pDocument->OnSaveDocument(target, &error)) {
        CPrompter::Instance().MessageBox(this, error, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Warning);
        return false;
    }
    AddRecentFile(target);
    UpdateTitle();
    return true;
}

void CMainFrame::OnFileNew() {
    if (!SaveModified())
        return;
    m_pDocument->OnNewDocument();
    UpdateTitle();
    if (m_pView)
        m_pView->update();
}

void CMainFrame::OnFileOpen() {
    CPrompter::FileDialogRequest request;
    request.title = "打开";
    request.filter = kDocumentFilter;
    const QString path = CPrompter::Instance().FileDialog(this, request);
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CMainFrame::OpenDocumentFile(const QString& path) {
    if (!SaveModified())
        return false;
    QString error;
    if (!m_pDocument->OnOpenDocument(path, &error)) {
        CPrompter::Instance().MessageBox(this, error, QString(), QMessageBox::Ok,
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

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::UpdateCommandUI() {
    // Commands nobody handles are greyed, as the framework does.
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        const bool enabled = it.key() != ID_FILE_MRU_FILE1 && HasHandler(it.key());
        // (The recent files' own entries are made by RefreshRecentFiles.)
        // The curve toggles show their curve's state as a check mark.
        const int check = m_pView ? m_pView->CheckState(it.key()) : -1;
        for (QAction* action : it.value()) {
            action->setEnabled(enabled);
            if (check >= 0) {
                action->setCheckable(true);
                action->setChecked(check == 1);
            }
        }
    }
}

QString CMainFrame::PortLabel() const {
    return QStringLiteral("COM%1 (%2)").arg(m_nPort).arg(m_slots.Device(m_nPort));
}

QString CMainFrame::OpenFailureText(int error) const {
    const QString device = m_slots.Device(m_nPort);
    switch (error) {
    case EACCES:
    case EPERM: {
        QString groupName = "dialout";
        struct stat info {};
        if (stat(device.toLocal8Bit().constData(), &info) == 0) {
            if (const struct group* entry = getgrgid(info.st_gid))
                groupName = QString::fromLocal8Bit(entry->gr_name);
        }
        return QStringLiteral("无权打开串口 %1。请把当前用户加入用户组 %2"
                              "（sudo usermod -aG %2 $USER），重新登录后再试")
            .arg(PortLabel(), groupName);
    }
    case EBUSY:
        return QStringLiteral("串口 %1 正被其他程序占用").arg(PortLabel());
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("串口 %1 未连接，等待设备接入…").arg(PortLabel());
    default:
        return QStringLiteral("无法打开串口 %1：%2")
            .arg(PortLabel(), QString::fromLocal8Bit(strerror(error)));
    }
}

void CMainFrame::ShowLinkState(const QString& text) {
    m_strLinkState = text;
    const std::uint64_t dropped =
        m_nDroppedBytes + (m_pSerialPort ? m_pSerialPort->DroppedBytes() : 0);
    QString shown = text;
    if (dropped)
        shown += QStringLiteral("  （接收缓冲区满，已丢弃 %1 字节）").arg(dropped);
    if (m_pLinkPane)
        m_pLinkPane->setText(shown);
}

QString CMainFrame::LinkStatus() const {
    return m_pLinkPane ? m_pLinkPane->text() : QString();
}

bool CMainFrame::OpenSerialPort() {
    if (m_pSerialPort) {
        m_nDroppedBytes += m_pSerialPort->DroppedBytes();
        m_pSerialPort.reset();
    }
    const QString device = m_slots.Device(m_nPort);
    if (device.isEmpty()) {
        m_reconnectTimer.stop();
        ShowLinkState(
            QStringLiteral("COM%1 没有对应的串口设备，请用“选择串口”选择其他串口").arg(m_nPort));
        return false;
    }
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(&m_portOwner, static_cast<unsigned>(m_nPort), device.toStdString(), kBaud, 'N',
                    8, 1, kEventMask, kWriteBufferSize)) {
        ShowLinkState(OpenFailureText(port->OpenError()));
        // Keep trying: the adapter may be plugged in, or let go by another program.
        m_reconnectTimer.start();
        return false;
    }
    port->StartWatching();
    m_pSerialPort = std::move(port);
    m_reconnectTimer.stop();
    ShowLinkState(QStringLiteral("已连接 %1").arg(PortLabel()));
    return true;
}

void CMainFrame::TryReconnect() {
    if (m_pSerialPort) {
        m_reconnectTimer.stop();
        return;
    }
    OpenSerialPort();
}

void CMainFrame::OnPortVanished() {
    OnPortReceived(); // what arrived before the device went away is still in the ring
    m_nDroppedBytes += m_pSerialPort->DroppedBytes();
    m_pSerialPort.reset();
    ShowLinkState(QStringLiteral("串口 %1 已断开，等待重新连接…").arg(PortLabel()));
    m_reconnectTimer.start();
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == CPortEvent::TypeOf(WM_PORT_RXCHAR)) {
        OnPortReceived();
        return true;
    }
    if (e->type() == CPortEvent::TypeOf(WM_PORT_VANISHED)) {
        // A report from a port object already replaced means nothing now.
        if (m_pSerialPort && !m_pSerialPort->IsWatching())
            OnPortVanished();
        return true;
    }
    if (e->type() == CPortErrorEvent::Type()) {
        CPrompter::Instance().Notify(nullptr, static_cast<CPortErrorEvent*>(e)->m_strText,
                                     "Application Error", CPrompter::Icon::Error);
        return true;
    }
    if (e->type() > QEvent::User && e->type() <= CPortEvent::TypeOf(WM_PORT_RXFLAG))
        return true; // the other port notifications have no effect
    return QMainWindow::event(e);
}

void CMainFrame::OnPortReceived() {
    if (!m_pSerialPort)
        return;
    // A view that runs an event loop while being told (a modal box) must not
    // have the framer fed under its feet; the outer call picks the bytes up.
    if (m_bInReceive) {
        m_bReceivePending = true;
        return;
    }
    m_bInReceive = true;
    const std::uint64_t droppedBefore = m_pSerialPort->DroppedBytes();
    static std::uint8_t buffer[16384];
    unsigned count = 0;
    do {
        m_bReceivePending = false;
        count = m_pSerialPort ? m_pSerialPort->TakeReceived(buffer) : 0;
        m_message.Feed(buffer, count, [this](const CReceiverMessage& message) {
            if (!m_pDocument)
                return;
            m_pDocument->UpdateAllViews(nullptr, HINT_NEW_MESSAGE, &message);
            if (message.m_nType == 'n')
                AnswerNPacket();
        });
    } while (count > 0 || m_bReceivePending);
    m_bInReceive = false;
    if (m_pSerialPort && m_pSerialPort->DroppedBytes() != droppedBefore)
        ShowLinkState(m_strLinkState);
}

void CMainFrame::AnswerNPacket() {
    if (!m_pSerialPort)
        return;
    m_pSerialPort->SetBaudRate(kBaud);
    // The instrument wants a pause before the answer; a timer keeps the
    // window and the reception running meanwhile.
    QTimer::singleShot(kCommandDelayAfterN, this, [this] {
        if (!m_pSerialPort)
            return;
        std::uint8_t packet[100];
        const int length = CReceiverMessage::BuildCommand(0x06, packet);
        m_pSerialPort->SendBytes(packet, static_cast<unsigned>(length));
    });
}

void CMainFrame::OnAlarmLimits() {
    CAlarmLimitsDlg dialog(this);
    dialog.OnInitDialog(g_nPitchLimit, g_nRollLimit);
    if (dialog.exec() != QDialog::Accepted)
        return;
    g_nPitchLimit = dialog.m_nPitch;
    g_nRollLimit = dialog.m_nRoll;
    update();
    if (m_pView)
        m_pView->update();
}

void CMainFrame::OnSelectPort() {
    QList<CPortSelectDlg::Entry> entries;
    for (const QString& name : m_arrFreePorts) {
        int number = 0;
        ScanNumberAfterCom(name.toStdString(), &number);
        entries.append({name, m_slots.Device(number)});
    }
    CPortSelectDlg dialog(entries, &m_nPort, this);
    if (dialog.DoModal() == QDialog::Accepted)
        OpenSerialPort();
}
