#include "plots/SessionSummary.h"
#include "platform/UiText.h"

#include "link/EventLog.h"
#include "link/MessageCounts.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {
// An event log grows a line per change; one this large is not ours.
constexpr std::uint64_t kMaxEventLog = 64u << 20;

// A message type as the window names it, and as data files do.
SessionSummary::TypeCount TypeCountOf(const CMessageCounts::Row& row) {
    switch (row.kind) {
    case CMessageCounts::Row::Kind::Sentence:
        return {std::string(row.Name()), std::string(row.Name()), row.count};
    case CMessageCounts::Row::Kind::Packet: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", row.packetType);
        std::string name = FillIn(UiText("SessionSummary", "数据包 %1"), {hex});
        if (row.packetType > 0x20 && row.packetType < 0x7F)
            name += std::string(" ('") + static_cast<char>(row.packetType) + "')";
        return {name, std::string("packet ") + hex, row.count};
    }
    case CMessageCounts::Row::Kind::Other:
        break;
    }
    return {UiText("SessionSummary", "其他"), "other", row.count};
}

// When a limit came into force, as an alarm line of the event log gives it.
struct LimitChange {
    std::int64_t utcMs;
    double limit;
};

std::vector<LimitChange> LoggedLimits(const std::vector<LoggedEvent>& events,
                                      std::string_view subject) {
    std::vector<LimitChange> changes;
    for (const LoggedEvent& event : events) {
        LimitChange change{};
        const char* end = event.strLimit.data() + event.strLimit.size();
        if (event.strSubject != subject || !ParseLoggedTime(event.strTime, &change.utcMs) ||
            std::from_chars(event.strLimit.data(), end, change.limit).ptr != end ||
            event.strLimit.empty())
            continue;
        changes.push_back(change);
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const LimitChange& a, const LimitChange& b) { return a.utcMs < b.utcMs; });
    return changes;
}

// One angle's largest |value| and its time at or beyond the limit in force.
void Measure(const std::vector<AnalysisSample>& records, const AnalysisTimes& times,
             float AnalysisSample::*field, std::int64_t staleMs, double current,
             const std::vector<LimitChange>& changes, SessionSummary::Extreme* extreme,
             SessionSummary::LimitsBeyond* beyond) {
    const bool timed = times.Known() && times.arrOffsetMs.size() >= records.size();
    beyond->total.dLimit = current;
    std::size_t next = 0; // the first change not yet in force
    double limit = current;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const float value = records[i].*field;
        if (std::isnan(value))
            continue;
        if (timed) {
            for (; next < changes.size() && changes[next].utcMs <= times.UtcMs(i); ++next)
                limit = changes[next].limit;
        }
        if (!extreme->bReceived || std::fabs(value) > std::fabs(extreme->fValue))
            *extreme = {true, value, i, timed ? times.UtcMs(i) : 0, limit};
        auto part =
            std::find_if(beyond->arrParts.begin(), beyond->arrParts.end(),
                         [&](const SessionSummary::Beyond& b) { return b.dLimit == limit; });
        if (part == beyond->arrParts.end())
            part = beyond->arrParts.insert(part, {limit, 0, 0});
        if (std::fabs(value) < limit)
            continue;
        std::int64_t ms = 0;
        if (timed && i + 1 < records.size())
            ms = std::clamp<std::int64_t>(times.UtcMs(i + 1) - times.UtcMs(i), 0, staleMs);
        for (SessionSummary::Beyond* b : {&*part, &beyond->total}) {
            ++b->nRecords;
            b->nMs += ms;
        }
    }
}

// Days since 1970-01-01 of a date of the Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t comma = line.find(',', at);
        fields.push_back(line.substr(at, comma - at));
        if (comma == std::string_view::npos)
            return fields;
        at = comma + 1;
    }
}
} // namespace

bool ParseLoggedTime(std::string_view text, std::int64_t* utcMs) {
    // YYYY-MM-DDTHH:MM:SS.mmmZ
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.' || text[23] != 'Z')
        return false;
    int parts[7] = {};
    const std::size_t at[7] = {0, 5, 8, 11, 14, 17, 20}, length[7] = {4, 2, 2, 2, 2, 2, 3};
    for (int k = 0; k < 7; ++k) {
        const char* first = text.data() + at[k];
        const char* last = first + length[k];
        if (std::from_chars(first, last, parts[k]).ptr != last || parts[k] < 0)
            return false;
    }
    if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31 || parts[3] > 23 ||
        parts[4] > 59 || parts[5] > 60)
        return false;
    const std::int64_t days =
        DaysFromCivil(parts[0], static_cast<unsigned>(parts[1]), static_cast<unsigned>(parts[2]));
    *utcMs = ((days * 24 + parts[3]) * 60 + parts[4]) * 60000 + parts[5] * 1000 + parts[6];
    return true;
}

SessionSummary SummariseSession(const std::vector<AnalysisSample>& records,
                                const AnalysisTimes& times, const CMessageCounts* counts,
                                const SummaryLimits& limits, std::vector<LoggedEvent> events) {
    SessionSummary summary;
    summary.arrEvents = std::move(events);
    summary.nRecords = records.size();
    summary.bTimed =
        times.Known() && !records.empty() && times.arrOffsetMs.size() >= records.size();
    summary.dStaleSeconds = limits.staleSeconds;
    const auto staleMs = static_cast<std::int64_t>(std::llround(limits.staleSeconds * 1000));
    if (summary.bTimed) {
        summary.nStartUtcMs = times.UtcMs(0);
        summary.nEndUtcMs = times.UtcMs(records.size() - 1);
        for (std::size_t i = 0; i + 1 < records.size(); ++i) {
            const std::int64_t pause = times.UtcMs(i + 1) - times.UtcMs(i);
            if (pause > staleMs)
                summary.arrGaps.push_back({i, times.UtcMs(i), pause});
        }
    }
    if (counts) {
        for (int i = 0; i < counts->Types(); ++i)
            summary.arrMessages.push_back(TypeCountOf(counts->Type(i)));
        if (counts->Other().count > 0)
            summary.arrMessages.push_back(TypeCountOf(counts->Other()));
    }
    Measure(records, times, &AnalysisSample::fPitch, staleMs, limits.pitchLimit,
            LoggedLimits(summary.arrEvents, "pitch"), &summary.pitch, &summary.pitchBeyond);
    // The instrument's own sentences carry no roll: the zeros in its slot are no angle.
    summary.rollBeyond.total.dLimit = limits.rollLimit;
    if (times.source != RecordTimeSource::None)
        Measure(records, times, &AnalysisSample::fSpare1, staleMs, limits.rollLimit,
                LoggedLimits(summary.arrEvents, "roll"), &summary.roll, &summary.rollBeyond);
    return summary;
}

std::vector<LoggedEvent> AlarmEvents(std::string_view log) {
    static constexpr std::array<std::string_view, 4> kSubjects = {"pitch", "roll", "data",
                                                                  "heading-difference"};
    static constexpr std::array<std::string_view, 5> kStates = {
        "active", "silenced", "acknowledged", "rectified", "normal"};
    std::vector<LoggedEvent> events;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        std::string_view line = log.substr(0, end);
        log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const auto fields = SplitFields(line);
        if (fields.size() != 5)
            continue;
        const auto has = [](const auto& list, std::string_view word) {
            return std::find(list.begin(), list.end(), word) != list.end();
        };
        if (!has(kSubjects, fields[1]) || !has(kStates, fields[2]))
            continue;
        events.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                          std::string(fields[3]), std::string(fields[4])});
    }
    return events;
}

std::vector<LoggedEvent> ReadAlarmEvents(const std::string& recordPath) {
    const RegularFile file = OpenRegularFile(CEventLog::PathFor(recordPath));
    if (file.fd < 0)
        return {};
    std::string text(static_cast<std::size_t>(std::min(file.size, kMaxEventLog)), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = read(file.fd, text.data() + got, text.size() - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(file.fd);
    text.resize(got);
    return AlarmEvents(text);
}
