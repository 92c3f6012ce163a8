// The main frame's part in 数据回放: starting and ending a replay, and which
// session the displays show meanwhile. The live session goes on receiving and
// recording throughout; only what the window shows changes.
#include "platform/Prompter.h"
#include "shell/CommandIds.h"
#include "shell/DataHealthDlg.h"
#include "shell/MainFrame.h"
#include "shell/ReplayDlg.h"
#include "shell/SettingsKey.h"
#include "view/QuillmarView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>

void CMainFrame::RegisterReplayCommands() {
    m_commands.Register(ID_REPLAY, [this] { OnReplay(); }); // "数据回放…"
    m_commands.Register(ID_REPLAY_END,                      // "结束回放"
                        {[this] { EndReplay(); }, [this] { return m_pReplay != nullptr; }, {}});
}

CInstrumentSession& CMainFrame::Shown() const {
    return m_pReplay ? m_pReplay->Session() : *m_pSession;
}

void CMainFrame::OnReplay() {
    CPrompter::FileDialogRequest request;
    request.title = QCoreApplication::translate("MainFrame", "数据回放");
    request.filter = CPrompter::RecordFilter();
    request.kind = CPrompter::FileKind::Record;
    const QString path = CPrompter::Instance().ChooseFile(this, request);
    if (!path.isEmpty())
        StartReplay(path, 1);
}

bool CMainFrame::StartReplay(const QString& path, double speed) {
    auto* replay = new CReplayDlg(this, this);
    QString error;
    if (!replay->Open(path, &error)) {
        delete replay;
        CPrompter::Instance().MessageBox(this, error, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Warning);
        return false;
    }
    EndReplay(); // one replay at a time
    ApplyAlarmSettings(replay->Session(), m_alarmSettings);
    // A record of several sources: chosen and compared as the live ones are.
    const SourceSettings sources = ReadSourceSettings();
    replay->Session().SetSourceChoiceSettings(sources.choice);
    replay->Session().SetHeadingCompareSettings(sources.compare);
    replay->Session().Monitor().SetSentenceOptions(m_sentenceOptions);
    m_pReplay = replay;
    connect(replay, &CReplayDlg::Ended, this, &CMainFrame::EndReplay);
    ShowSession(replay->Session());
    replay->Start(speed);
    PlaceReplayWindow(*replay);
    replay->show();
    UpdateCommandUI();
    return true;
}

void CMainFrame::PlaceReplayWindow(QWidget& window) {
    window.adjustSize();
    const QScreen* shown = screen();
    if (!shown || !m_pView)
        return;
    // Its title bar and frame, taken to be the main window's.
    const QSize decorations = frameGeometry().size() - geometry().size();
    const QRect dials =
        AttitudeDialsRect(m_pView->size()).translated(m_pView->mapToGlobal(QPoint(0, 0)));
    window.move(ReplayWindowPlace(shown->availableGeometry(), frameGeometry(), dials,
                                  window.size() + decorations));
}

void CMainFrame::EndReplay() {
    if (!m_pReplay)
        return;
    CReplayDlg* replay = m_pReplay;
    m_pReplay = nullptr;
    ShowSession(*m_pSession);
    replay->disconnect(this);
    replay->hide();
    // Not from inside its own signal: the window goes once the event is done.
    replay->deleteLater();
    UpdateCommandUI();
}

void CMainFrame::ShowSession(CInstrumentSession& session) {
    m_relay.Forget();
    if (m_pView)
        m_pView->AttachMonitor(&session.Monitor());
    if (m_pHealthDlg)
        m_pHealthDlg->SetSession(session, m_pReplay != nullptr);
    OnSessionChanged();
}

void CMainFrame::RefreshReplayPane() {
    if (!m_pReplayPane && m_pReplay) {
        m_pReplayPane = NewYieldingPane(Qt::ElideRight, statusBar());
        m_pReplayPane->setObjectName("replayPane");
        m_pReplayPane->setStyleSheet("color: #0050a0; font-weight: bold");
        statusBar()->insertPermanentWidget(0, m_pReplayPane);
    }
    if (!m_pReplayPane)
        return;
    m_pReplayPane->setVisible(m_pReplay != nullptr);
    const QString text = m_pReplay ? m_pReplay->StatusText() : QString();
    if (m_pReplayPane->text() != text)
        m_pReplayPane->setText(text);
}
