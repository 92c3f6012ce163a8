// The alarm limits (degrees, 0..90, 30 at start; set by "报警角度设定", not
// stored) and the alarm decision made after every message.
#pragma once

#include <cmath>

extern int g_nPitchLimit;
extern int g_nRollLimit;

struct AlarmDecision {
    bool bPitch = false;
    bool bRoll = false;
    bool Any() const { return bPitch || bRoll; }
};

// A limit is exceeded when it is less than or equal to the size of the angle.
inline AlarmDecision DecideAlarm(double pitch, double roll, int pitchLimit, int rollLimit) {
    AlarmDecision decision;
    decision.bPitch = static_cast<double>(pitchLimit) <= std::fabs(pitch);
    decision.bRoll = static_cast<double>(rollLimit) <= std::fabs(roll);
    return decision;
}
