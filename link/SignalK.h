// Signal K (the JSON of ships' networks) from the session's values: the
// deltas chart plotters, instrument panels and the fleet's broker read.
// Without Qt and without a JSON library: a small writer that escapes.
//
// A delta carries only what is valid and fresh: a value received and not
// stale (the session's stale time); a stale or never received value is left
// out, never sent as if still true. Units as Signal K has them: angles in
// radians, the rate of turn in radians a second, the position in decimal
// degrees (south and west negative).
//
// Signs: the sentences the program reads give the roll positive with the
// starboard side down, the pitch positive bow up and the rate of turn
// negative to port (link/Sentences.h keeps them as sent), which is Signal K's
// own convention: only the units change.
//
// The alarms are notifications: notifications.attitude.pitch,
// notifications.attitude.roll, notifications.dataLost and
// notifications.headingDifference, with state "alarm" while the condition
// holds, "alert" when it is over but not yet acknowledged, "normal"
// otherwise; method ["visual","sound"] while the tone sounds, ["visual"]
// while an alarm is shown quietly, [] when normal.
#pragma once

#include "link/AlarmWatcher.h"
#include "link/MonitorState.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// JSON text of a string, quotes and escapes included; of a number (finite:
// callers never pass another), shortest round-trip form.
std::string JsonString(std::string_view text);
std::string JsonNumber(double value);
// RFC 3339 in UTC with milliseconds: "2026-12-08T09:30:01.250Z".
std::string Rfc3339Utc(std::int64_t epochMs);
// Milliseconds since 1970 now, from the system clock.
std::int64_t EpochMsNow();

// What a delta is built from: the session's values and alarms at one moment.
struct SignalKSituation {
    CLiveValues values;
    AlarmStates alarms;
    std::int64_t nowMs = 0;      // SteadyMs() when the values were taken
    std::int64_t epochNowMs = 0; // the system clock at the same moment
    std::int64_t staleMs = 0;
    int pitchLimit = 0, rollLimit = 0; // for the notifications' messages
    // The source a value comes from when the values name none (one source).
    std::string firstSource;
};

class CInstrumentSession;
// The session's values and alarms now (any thread); firstSource is the first
// source's label, or "quillmar" when it has none.
SignalKSituation SessionSituation(const CInstrumentSession& session);

// One path's value, as JSON, with where and when it came from.
struct SignalKValue {
    std::string path; // "navigation.headingTrue"
    std::string json; // 1.2345, {"roll":..}
    std::string source;
    std::int64_t epochMs = 0; // when it was received
    bool notification = false;
    std::int64_t receivedMs = 0; // the same on the steady clock (SteadyMs)
};

// The valid, fresh values and every alarm's notification.
std::vector<SignalKValue> SignalKValues(const SignalKSituation& situation);
// A delta of values: context vessels.self, one update per source and
// receive time, in the order the values come. A source's label keeps to
// what Signal K allows (letters, digits, '-', '_', '.'; others become '_').
std::string SignalKDelta(const std::vector<SignalKValue>& values);
// The vessel's Signal K identity, "urn:mrn:signalk:uuid:..." (a version 4
// form), the same for the same name on every run.
std::string SignalKVesselUrn(std::string_view vesselName);
// What a stream sends first: the program's name, the vessel's identity.
std::string SignalKHello(std::string_view vesselName, std::int64_t epochMs);

// The values new since the last call: a value received since it was last
// taken, a notification whose state changed. The first call takes all.
class CSignalKChanges {
public:
    std::vector<SignalKValue> TakeNew(const std::vector<SignalKValue>& values);

private:
    struct Kept {
        std::string path, json;
        std::int64_t receivedMs;
    };
    std::vector<Kept> m_kept;
};
