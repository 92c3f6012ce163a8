#include "link/AlarmSettings.h"

#include "link/InstrumentSession.h"

void ApplyAlarmSettings(CInstrumentSession& session, const AlarmSettings& settings) {
    CMonitorState& monitor = session.Monitor();
    monitor.SetStaleMs(settings.StaleMs());
    monitor.SetAlarmLimits(settings.pitchLimit, settings.rollLimit);
    AlertSettings alert;
    alert.delayMs = settings.delayMs;
    alert.hysteresis = settings.hysteresis;
    session.SetAlertSettings(alert);
}
