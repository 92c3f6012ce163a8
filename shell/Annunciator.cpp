#include "shell/Annunciator.h"

#include "platform/AlarmTone.h"

#include <QLabel>
#include <algorithm>

namespace {
constexpr int kToneRepeatMs = 2000;
constexpr int kFlashMs = 500;
} // namespace

CAnnunciator::CAnnunciator(std::function<AlarmStates()> alarms, QObject* parent)
    : QObject(parent), m_fnAlarms(std::move(alarms)), m_pTone(new CAlarmTone(this)) {
    m_toneTimer.setInterval(kToneRepeatMs);
    connect(&m_toneTimer, &QTimer::timeout, this, [this] {
        if (m_fnAlarms().Sounding())
            m_pTone->Play();
    });
    m_flashTimer.setInterval(kFlashMs);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] {
        m_bFlashPhase = !m_bFlashPhase;
        Refresh();
        emit Flashed();
    });
}

void CAnnunciator::Refresh() {
    const AlarmStates alarms = m_fnAlarms();
    if (!(alarms == m_lastAlarms)) {
        m_lastAlarms = alarms;
        emit AlarmsChanged();
    }
    if (alarms.Sounding() && !m_toneTimer.isActive()) {
        m_pTone->Play();
        m_toneTimer.start();
    } else if (!alarms.Sounding() && m_toneTimer.isActive()) {
        m_toneTimer.stop();
        m_pTone->Stop();
    }
    const bool waiting =
        alarms.Sounding() || std::count(std::begin(alarms.state), std::end(alarms.state),
                                        AlertState::ActiveSilenced) > 0;
    const bool rectified = std::count(std::begin(alarms.state), std::end(alarms.state),
                                      AlertState::RectifiedUnacknowledged) > 0;
    const bool flashing = waiting || rectified;
    if (flashing && !m_flashTimer.isActive())
        m_flashTimer.start();
    else if (!flashing)
        m_flashTimer.stop();
    const bool dark = flashing && m_bFlashPhase;
    const QString colour = waiting || !rectified ? "#c00000" : "#d07000";
    const QString style =
        dark ? QString("color: white; background: %1; font-weight: bold").arg(colour)
             : QString("color: %1; font-weight: bold").arg(colour);
    // Set only when it changes: a style sheet is parsed and the pane polished
    // anew each time, and this runs for every read from the port.
    if (m_pPane && m_pPane->styleSheet() != style)
        m_pPane->setStyleSheet(style);
}
