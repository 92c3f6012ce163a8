// The alarm decision made after every message: a limit is exceeded when it is
// less than or equal to the size of the angle. An angle no message has carried
// yet is not compared at all (a roll limit of 0 must not sound for a roll that
// was never measured).
#pragma once

#include <cmath>
#include <optional>

// Limits in whole degrees, 0..90; 30 until the operator sets them.
constexpr int kDefaultAlarmLimit = 30;

struct AlarmDecision {
    bool bPitch = false;
    bool bRoll = false;
    bool Any() const { return bPitch || bRoll; }
    bool operator==(const AlarmDecision&) const = default;
};

inline AlarmDecision DecideAlarm(std::optional<double> pitch, std::optional<double> roll,
                                 int pitchLimit, int rollLimit) {
    AlarmDecision decision;
    decision.bPitch = pitch && static_cast<double>(pitchLimit) <= std::fabs(*pitch);
    decision.bRoll = roll && static_cast<double>(rollLimit) <= std::fabs(*roll);
    return decision;
}
