// One alert as bridge alert management handles it: it sounds when its
// condition starts, the operator silences it for a while or acknowledges it,
// and it is over only once the condition has ended and it was acknowledged.
//
//   Normal --condition starts--> ActiveUnacknowledged (the tone sounds)
//   ActiveUnacknowledged --silence--> ActiveSilenced (quiet for the silence
//       time, then sounding again while still unacknowledged)
//   Active* --acknowledge--> ActiveAcknowledged (quiet, steady)
//   ActiveAcknowledged --condition ends--> Normal
//   ActiveUnacknowledged/Silenced --condition ends--> RectifiedUnacknowledged
//   RectifiedUnacknowledged --acknowledge--> Normal; --condition starts--> ActiveUnacknowledged
//
// A condition starts only after it has held for the delay, ends only after
// it has been off for the clear delay, and an angle's condition ends only
// below its limit less the hysteresis, so a value hovering at the limit does
// not chatter. Time is given by the caller
// (milliseconds of any steady clock), so the machine is tested with a fake one.
#pragma once

#include "link/AlarmSettings.h"

#include <cstdint>
#include <vector>

enum class AlertState {
    Normal,
    ActiveUnacknowledged,
    ActiveSilenced,
    ActiveAcknowledged,
    RectifiedUnacknowledged,
};

// What the event log says of a change: "active", "silenced", ...
const char* AlertEventName(AlertState to);

struct AlertSettings {
    // As the operator sets them (AlarmSettings): a condition must hold delayMs
    // to start; an angle is over until it is hysteresis degrees below its limit.
    std::int64_t delayMs = AlarmSettings{}.delayMs;
    std::int64_t silenceMs = 30000; // how long "静音" keeps an alert quiet
    double hysteresis = AlarmSettings{}.hysteresis;
    std::int64_t clearDelayMs = 0; // how long a condition must be off before it ends
};

class CAlert {
public:
    struct Change {
        AlertState from;
        AlertState to;
        double value; // the angle (or the age) that caused it
        double limit;
    };

    // An angle against its limit: over at limit <= |angle|, until |angle| <
    // limit - hysteresis.
    void MeasureAngle(double angle, double limit, std::int64_t nowMs);
    // A condition that is simply on or off (data lost: value = seconds since
    // the last attitude, limit = the stale time in seconds).
    void Measure(bool on, double value, double limit, std::int64_t nowMs);
    // No measurement at all (the angle has never been received): the
    // condition is off.
    void Clear(std::int64_t nowMs) { Measure(false, 0, m_dLimit, nowMs); }
    // Time passing: the delay running out, the silence running out.
    void Tick(std::int64_t nowMs);

    void Silence(std::int64_t nowMs);
    void Acknowledge(std::int64_t nowMs);

    AlertState State() const { return m_state; }
    bool Sounding() const { return m_state == AlertState::ActiveUnacknowledged; }
    bool ConditionOn() const { return m_bOn; }
    void SetSettings(const AlertSettings& settings) { m_settings = settings; }
    const AlertSettings& Settings() const { return m_settings; }

    // The changes since the last call, in order.
    std::vector<Change> TakeChanges();
    bool HasChanges() const { return !m_changes.empty(); }

private:
    void Enter(AlertState to);
    void ConditionStarted();
    void ConditionEnded();

    AlertSettings m_settings;
    AlertState m_state = AlertState::Normal;
    bool m_bOn = false;      // the condition, as started (after the delay)
    bool m_bPending = false; // over, waiting for the delay
    std::int64_t m_nPendingSinceMs = 0;
    bool m_bEnding = false; // back, waiting for the clear delay
    std::int64_t m_nEndingSinceMs = 0;
    std::int64_t m_nSilencedUntilMs = 0;
    double m_dValue = 0, m_dLimit = 0;
    std::vector<Change> m_changes;
};
