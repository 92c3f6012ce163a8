#include "link/AlarmWatcher.h"

#include "link/EventLog.h"
#include "link/SessionRecorder.h"

namespace {
const char* const kAlarmSubjectNames[] = {"pitch", "roll", "data"};
} // namespace

AlarmStates CAlarmWatcher::States() const {
    AlarmStates states;
    for (int i = 0; i < kAlarmSubjects; ++i)
        states.state[i] = static_cast<AlertState>(m_nStates[i].load());
    return states;
}

bool CAlarmWatcher::Acknowledge(std::int64_t nowMs, std::string_view origin) {
    for (CAlert& alert : m_alerts)
        alert.Acknowledge(nowMs);
    return LogChanges(origin);
}

bool CAlarmWatcher::Silence(std::int64_t nowMs, std::string_view origin) {
    for (CAlert& alert : m_alerts)
        alert.Silence(nowMs);
    return LogChanges(origin);
}

void CAlarmWatcher::SetSettings(const AlertSettings& settings) {
    for (CAlert& alert : m_alerts)
        alert.SetSettings(settings);
}

bool CAlarmWatcher::Measure(std::int64_t nowMs) {
    m_nMeasuredMs = nowMs;
    // The comparison after every message, with the last angles received.
    static constexpr Quantity kAngles[] = {Quantity::Pitch, Quantity::Roll};
    const int limits[] = {m_monitor.PitchLimit(), m_monitor.RollLimit()};
    for (int i = 0; i < 2; ++i) {
        double angle = 0;
        if (m_monitor.LastAngle(kAngles[i], &angle))
            m_alerts[i].MeasureAngle(angle, limits[i], nowMs);
        else
            m_alerts[i].Clear(nowMs); // never received: nothing to compare
    }
    // The data alarm moves only as time passes (Tick).
    return (Moved(0) || Moved(1)) && LogChanges();
}

bool CAlarmWatcher::Moved(int i) const {
    return m_alerts[i].HasChanges() ||
           m_nStates[i].load(std::memory_order_relaxed) != static_cast<int>(m_alerts[i].State());
}

bool CAlarmWatcher::Tick(std::int64_t nowMs) {
    const std::int64_t staleMs = m_monitor.StaleMs();
    // Values that stop (and start again) coming.
    const CLiveValues values = m_monitor.Values();
    for (int q = 0; q < kQuantities; ++q) {
        const auto quantity = static_cast<Quantity>(q);
        const bool stale = values.IsStale(quantity, nowMs, staleMs);
        if (stale != m_bStale[q]) {
            m_bStale[q] = stale;
            m_log.Log(QuantityName(quantity), stale ? "stale" : "fresh",
                      CEventLog::Number(static_cast<double>(values.AgeMs(quantity, nowMs)) / 1000));
        }
    }
    // Data lost: no attitude for the stale time, once some has come.
    const std::int64_t last = m_monitor.LastAttitudeMs();
    const double ageSeconds = last >= 0 ? static_cast<double>(nowMs - last) / 1000 : 0;
    m_alerts[static_cast<int>(AlarmSubject::Data)].Measure(
        last >= 0 && nowMs - last > staleMs, ageSeconds, static_cast<double>(staleMs) / 1000,
        nowMs);
    for (CAlert& alert : m_alerts)
        alert.Tick(nowMs);
    return LogChanges();
}

bool CAlarmWatcher::Show(AlarmSubject subject, AlertState state) {
    return m_nStates[static_cast<int>(subject)].exchange(static_cast<int>(state)) !=
           static_cast<int>(state);
}

bool CAlarmWatcher::LogChanges(std::string_view origin) {
    bool changed = false;
    for (int i = 0; i < kWatched; ++i) {
        if (!Moved(i))
            continue;
        for (const CAlert::Change& change : m_alerts[i].TakeChanges()) {
            m_log.Log(kAlarmSubjectNames[i], AlertEventName(change.to),
                      origin.empty() ? CEventLog::Number(change.value) : std::string(origin),
                      CEventLog::Number(change.limit));
            // An alarm that starts is marked on the curves at its sample.
            const bool starts = change.to == AlertState::ActiveUnacknowledged &&
                                change.from != AlertState::ActiveSilenced;
            if (starts && i != static_cast<int>(AlarmSubject::Data))
                m_monitor.MarkAlarm();
        }
        const int state = static_cast<int>(m_alerts[i].State());
        if (m_nStates[i].exchange(state) != state)
            changed = true;
    }
    return changed;
}
