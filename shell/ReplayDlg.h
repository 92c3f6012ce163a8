// "数据回放": the small window that plays a record file back and steers it
// (speed, pause, single step, position). It owns the replay's own session
// (monitor state, alarms, counts, queue; no record, event log or port) and the
// source that feeds it on the session's thread; the main frame points the
// displays, the alarm pane and 数据状态 at that session while the window is
// open, and back at the live one when it closes.
#pragma once

#include "link/ReplaySource.h"
#include "shell/SessionEvents.h"

#include <QDialog>
#include <QTimer>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

// Where a window of the size given goes (its outer top-left) so that it lies
// on the screen beside the dials, not over them: right of the main window,
// else left of it, else inside it right of the dials, else below or above
// them; where none of these is clear, the one that covers the least of them.
QPoint ReplayWindowPlace(const QRect& screen, const QRect& frame, const QRect& dials, QSize window);

class CReplayDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSliderSteps = 1000;
    static constexpr int kRefreshMs = 200;
    // The speed choices, in the order of the list; kFastest last.
    static const std::vector<double>& Speeds();
    static QString SpeedText(double speed); // "1×", "0.25×", "最快"

    // eventTarget receives the session's notices (the main frame).
    CReplayDlg(QObject* eventTarget, QWidget* parent);
    ~CReplayDlg() override;

    // Opens the record; false and *error (in Chinese) when it cannot be read.
    // The records of the session's further sources beside it
    // (FurtherRecords) are played in step with it as sources of their own;
    // one that cannot be read is left out.
    bool Open(const QString& path, QString* error);
    // Starts playing at speed (one of Speeds()).
    void Start(double speed);

    CInstrumentSession& Session() { return *m_pSession; }
    CReplaySource& Source() { return *m_pSource; }
    // The further sources' replays, in the session's order after the first;
    // they follow the first's speed, pause, steps and seeks.
    const std::vector<CReplaySource*>& FurtherSources() const { return m_further; }
    CQtSessionListener& Listener() { return m_listener; }
    // For the status bar: "回放 2026-12-07 09:05:03.1 (1×)".
    QString StatusText() const;
    void Refresh();

    QComboBox* SpeedBox() const { return m_pSpeed; }
    QSlider* Slider() const { return m_pSlider; }
    QPushButton* PauseButton() const { return m_pPause; }
    QPushButton* StepButton() const { return m_pStep; }

signals:
    // The operator closed the window or chose "结束回放".
    void Ended();

public slots:
    void reject() override;

private:
    void OnSpeedChosen(int index);
    void OnPauseClicked();
    void OnSliderMoved();

    CQtSessionListener m_listener;
    std::unique_ptr<CInstrumentSession> m_pSession;
    CReplaySource* m_pSource;              // the session's
    std::vector<CReplaySource*> m_further; // the session's
    QLabel* m_pFile;
    QLabel* m_pTimes;
    QLabel* m_pPosition;
    QSlider* m_pSlider;
    QComboBox* m_pSpeed;
    QPushButton* m_pPause;
    QPushButton* m_pStep;
    QPushButton* m_pEnd;
    QTimer m_timer;
    bool m_bEnded = false;
};
