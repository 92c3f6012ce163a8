// The session's alarm watcher: pitch and roll against their limits after
// every message, the data-lost alarm and values going stale as time passes,
// the operator's acknowledge and silence. Each alarm is a CAlert machine;
// every change goes to the event log, and the states are there for the
// window to read from any thread. Everything else runs on the session's
// thread, with the time given by the caller.
#pragma once

#include "link/Alert.h"
#include "link/MonitorState.h"

#include <atomic>
#include <cstdint>
#include <string_view>

class IEventSink;

// The alarms' states as the window shows them.
// The heading difference is watched by the session's comparison of its
// heading sources (link/HeadingCompare.h); shown here as the most urgent
// state of its pairs.
enum class AlarmSubject { Pitch, Roll, Data, HeadingDifference };
constexpr int kAlarmSubjects = 4;
struct AlarmStates {
    AlertState state[kAlarmSubjects] = {};
    AlertState Of(AlarmSubject s) const { return state[static_cast<int>(s)]; }
    // The tone sounds while an alarm is active and unacknowledged.
    bool Sounding() const {
        for (AlertState s : state)
            if (s == AlertState::ActiveUnacknowledged)
                return true;
        return false;
    }
    bool operator==(const AlarmStates&) const = default;
};

class CAlarmWatcher {
public:
    CAlarmWatcher(CMonitorState& monitor, IEventSink& log) : m_monitor(monitor), m_log(log) {}

    // Each returns true when a state the window shows changed.
    // After a message at nowMs: the last angles against their limits.
    bool Measure(std::int64_t nowMs);
    // As time passes: stale values, data lost, delays and silences running out.
    bool Tick(std::int64_t nowMs);
    // origin: who asked (a browser, "web 192.168.1.20"), the value of the
    // event log's lines of the states it causes; empty: the window.
    bool Acknowledge(std::int64_t nowMs, std::string_view origin = {});
    bool Silence(std::int64_t nowMs, std::string_view origin = {});
    void SetSettings(const AlertSettings& settings);
    // The state of an alarm another part watches; true when it changed.
    bool Show(AlarmSubject subject, AlertState state);
    // When Measure last ran: the comparison is the same for the same angles
    // at the same time.
    std::int64_t MeasuredMs() const { return m_nMeasuredMs; }

    // Any thread.
    AlarmStates States() const;

private:
    bool LogChanges(std::string_view origin = {});
    // Alarm i has changes to log or a state the window has not been told of.
    bool Moved(int i) const;

    CMonitorState& m_monitor;
    IEventSink& m_log;
    static constexpr int kWatched = 3; // pitch, roll, data: this watcher's own
    CAlert m_alerts[kWatched];
    bool m_bStale[kQuantities] = {};
    std::int64_t m_nMeasuredMs = INT64_MIN;
    std::atomic<int> m_nStates[kAlarmSubjects] = {};
};
