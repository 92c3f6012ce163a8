// What a loaded recording amounts to, at a glance: how long it ran, the
// messages of each type, the largest pitch and roll and when they came, how
// long each stayed at or beyond its alarm limit, the data gaps, and the alarm
// events of the event log beside the record. Plain C++: computed from the
// records and their times, shown and saved by the view.
//
// A record's angle is taken to hold until the next record, but not across a
// gap: time beyond a limit counts the time to the next record, at most
// `staleSeconds`. Without times (the instrument's own files) there is no
// duration, no gap and no time beyond a limit, only record counts and indices.
//
// Each record is held against the limit in force when it came: the limit of
// the latest pitch (roll) alarm line of the event log at or before it, and
// before the first such line the limit of today's settings.
#pragma once

#include "link/AlarmSettings.h"
#include "plots/Samples.h"
#include "plots/SourceHeadings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CMessageCounts;

struct SummaryLimits {
    double pitchLimit = AlarmSettings{}.pitchLimit; // degrees; an alarm starts at limit <= |angle|
    double rollLimit = AlarmSettings{}.rollLimit;
    double staleSeconds = AlarmSettings{}.staleSeconds; // a pause longer than this is a data gap
};

// One line of an event log ("time,subject,event,value,limit") about an alarm.
struct LoggedEvent {
    std::string strTime; // as logged: UTC, ISO 8601 with milliseconds
    std::string strSubject, strEvent, strValue, strLimit;
    bool operator==(const LoggedEvent&) const = default;
};

struct SessionSummary {
    std::size_t nRecords = 0;
    bool bTimed = false;
    std::int64_t nStartUtcMs = 0, nEndUtcMs = 0; // when timed

    struct TypeCount {
        std::string strName; // "GPHDT", "$C", "数据包 0x6E ('n')", "其他"
        std::string strKey;  // the same in the data's words: "GPHDT", "$C", "packet 0x6E", "other"
        std::uint64_t nCount = 0;
        bool operator==(const TypeCount&) const = default;
    };
    std::vector<TypeCount> arrMessages; // empty: no counts given

    // The largest |angle|, signed as it was, and the first record that had it.
    struct Extreme {
        bool bReceived = false;
        float fValue = 0;
        std::size_t nIndex = 0;
        std::int64_t nUtcMs = 0; // when timed
        double dLimit = 0;       // the limit in force then
    };
    // At or beyond the limit: how many records, and for how long (timed).
    struct Beyond {
        double dLimit = 0;
        std::size_t nRecords = 0;
        std::int64_t nMs = 0;
        bool operator==(const Beyond&) const = default;
    };
    // Per limit in force while the angle was received, in the order they
    // came into force, and all together (dLimit: today's).
    struct LimitsBeyond {
        std::vector<Beyond> arrParts;
        Beyond total;
    };
    Extreme pitch, roll;
    LimitsBeyond pitchBeyond, rollBeyond;

    struct Gap {
        std::size_t nIndex = 0; // the last record before it
        std::int64_t nStartUtcMs = 0;
        std::int64_t nLengthMs = 0;
        bool operator==(const Gap&) const = default;
    };
    double dStaleSeconds = 0;
    std::vector<Gap> arrGaps;
    std::vector<LoggedEvent> arrEvents;
    // A record of several sources: each further source's heading against the
    // first's (CompareRecordedHeadings), given by the caller.
    std::vector<HeadingAgreement> arrHeadings;
};

// counts may be null (a file of the instrument's own sentences has none);
// events: the alarm lines of the event log beside the record (AlarmEvents),
// kept in the summary and giving the limits in force.
SessionSummary SummariseSession(const std::vector<AnalysisSample>& records,
                                const AnalysisTimes& times, const CMessageCounts* counts,
                                const SummaryLimits& limits, std::vector<LoggedEvent> events = {});

// The alarm events of an event log's text: the lines of pitch, roll, data
// (the data-lost alarm) and heading-difference with the alarm states active,
// silenced, acknowledged, rectified and normal. Other lines, the header and
// broken lines are passed by.
std::vector<LoggedEvent> AlarmEvents(std::string_view eventLog);
// The alarm events of the event log beside recordPath ("X.txt" ->
// "X-events.csv"); none when there is no such log.
std::vector<LoggedEvent> ReadAlarmEvents(const std::string& recordPath);
// Milliseconds since 1970 of an event log's time ("2026-12-07T09:05:03.125Z");
// false when the text is not of that form.
bool ParseLoggedTime(std::string_view text, std::int64_t* utcMs);
