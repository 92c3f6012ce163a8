// The alarms as the operator sets them: the pitch and roll limits, how long a
// limit must be exceeded before its alarm starts, how far below the limit an
// angle must come back for it to end, and how long a value may go unrefreshed
// before it is shown as interrupted and the data counts as lost. The one set
// of defaults: what holds until the settings are read, and where a setting is
// missing or unusable.
#pragma once

#include <cstdint>

class CInstrumentSession;

struct AlarmSettings {
    int pitchLimit = 30; // whole degrees, 0..90: an alarm starts at limit <= |angle|
    int rollLimit = 30;
    double hysteresis = 0.5;  // degrees below the limit at which an angle's alarm ends
    std::int64_t delayMs = 0; // how long a limit must be exceeded before the alarm starts
    int staleSeconds = 3;

    constexpr std::int64_t StaleMs() const { return std::int64_t{staleSeconds} * 1000; }
};

// Gives the session's monitor (limits, stale time) and its alarms (delay,
// hysteresis) these settings; any thread.
void ApplyAlarmSettings(CInstrumentSession& session, const AlarmSettings& settings);
