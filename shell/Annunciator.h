// How the alarms make themselves known: the tone, now and again every two
// seconds while an alarm is active and unacknowledged (silencing or
// acknowledging stops it), and the alarm pane's flashing: red while an alarm
// waits for acknowledgement, steady red once acknowledged, orange when it
// ended unacknowledged.
#pragma once

#include "link/InstrumentSession.h"

#include <QObject>
#include <QTimer>
#include <functional>

class CAlarmTone;
class QLabel;

class CAnnunciator : public QObject {
    Q_OBJECT
public:
    // alarms: the alarms as they stand (the shown session's).
    explicit CAnnunciator(std::function<AlarmStates()> alarms, QObject* parent = nullptr);

    CAlarmTone* Tone() const { return m_pTone; }
    // The pane that flashes: the status bar's alarm pane.
    void SetPane(QLabel* pane) { m_pPane = pane; }
    // Sounds, flashes or goes quiet as the alarms now ask.
    void Refresh();
    // The flashing's phase: true while the pane shows white on the alarm
    // colour. The displays flash their values in alarm with it.
    bool FlashDark() const { return m_bFlashPhase; }

signals:
    // The flashing changed phase.
    void Flashed();
    // The alarms are not those of the last Refresh.
    void AlarmsChanged();

private:
    std::function<AlarmStates()> m_fnAlarms;
    CAlarmTone* m_pTone;
    QLabel* m_pPane = nullptr;
    QTimer m_toneTimer;  // the tone again every two seconds while an alarm sounds
    QTimer m_flashTimer; // the pane's flashing
    bool m_bFlashPhase = false;
    AlarmStates m_lastAlarms;
};
