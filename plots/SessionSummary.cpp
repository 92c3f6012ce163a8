#include "plots/SessionSummary.h"
#include "platform/UiText.h"

#include "link/EventLog.h"
#include "link/MessageCounts.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {
// An event log grows a line per change; one this large is not ours.
constexpr std::uint64_t kMaxEventLog = 64u << 20;

std::string TypeName(const CMessageCounts::Row& row) {
    switch (row.kind) {
    case CMessageCounts::Row::Kind::Sentence:
        return std::string(row.Name());
    case CMessageCounts::Row::Kind::Packet: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", row.packetType);
        std::string name = FillIn(UiText("SessionSummary", "数据包 %1"), {hex});
        if (row.packetType > 0x20 && row.packetType < 0x7F)
            name += std::string(" ('") + static_cast<char>(row.packetType) + "')";
        return name;
    }
    case CMessageCounts::Row::Kind::Other:
        break;
    }
    return UiText("SessionSummary", "其他");
}

// One angle's largest |value| and its time at or beyond the limit.
void Measure(const std::vector<AnalysisSample>& records, const AnalysisTimes& times,
             float AnalysisSample::*field, std::int64_t staleMs, SessionSummary::Extreme* extreme,
             SessionSummary::Beyond* beyond) {
    const bool timed = times.Known() && times.arrOffsetMs.size() >= records.size();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const float value = records[i].*field;
        if (std::isnan(value))
            continue;
        if (!extreme->bReceived || std::fabs(value) > std::fabs(extreme->fValue)) {
            *extreme = {true, value, i, timed ? times.UtcMs(i) : 0};
        }
        if (std::fabs(value) < beyond->dLimit)
            continue;
        ++beyond->nRecords;
        if (timed && i + 1 < records.size()) {
            const std::int64_t held = times.UtcMs(i + 1) - times.UtcMs(i);
            beyond->nMs += std::clamp<std::int64_t>(held, 0, staleMs);
        }
    }
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

SessionSummary SummariseSession(const std::vector<AnalysisSample>& records,
                                const AnalysisTimes& times, const CMessageCounts* counts,
                                const SummaryLimits& limits) {
    SessionSummary summary;
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
            summary.arrMessages.push_back({TypeName(counts->Type(i)), counts->Type(i).count});
        if (counts->Other().count > 0)
            summary.arrMessages.push_back({TypeName(counts->Other()), counts->Other().count});
    }
    summary.pitchBeyond.dLimit = limits.pitchLimit;
    summary.rollBeyond.dLimit = limits.rollLimit;
    Measure(records, times, &AnalysisSample::fPitch, staleMs, &summary.pitch, &summary.pitchBeyond);
    // The instrument's own sentences carry no roll: the zeros in its slot are no angle.
    if (times.source != RecordTimeSource::None)
        Measure(records, times, &AnalysisSample::fSpare1, staleMs, &summary.roll,
                &summary.rollBeyond);
    return summary;
}

std::vector<LoggedEvent> AlarmEvents(std::string_view log) {
    static constexpr std::array<std::string_view, 3> kSubjects = {"pitch", "roll", "data"};
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
