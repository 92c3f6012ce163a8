#include "plots/SessionReport.h"

#include "link/EventLog.h"
#include "platform/UiText.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <tuple>

namespace {
std::string Shortest(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Numbers are written the same whatever the locale: data files are data.
std::string Fixed3(double value) {
    char text[64];
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3).ptr);
}

std::string Seconds(std::int64_t ms) {
    return Fixed3(static_cast<double>(ms) / 1000);
}

// Up to three decimals, no trailing zeros, as the event log writes limits.
std::string Limit(double degrees) {
    std::string out = Fixed3(degrees);
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out == "-0" ? "0" : out;
}

// h:mm:ss.mmm
std::string Clock(std::int64_t ms) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02d:%02d.%03d", static_cast<long long>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                  static_cast<int>(ms % 1000));
    return text;
}

std::string Where(const SessionSummary& summary, std::int64_t utcMs, std::size_t index) {
    const std::string record =
        FillIn(UiText("SessionReport", "第 %1 条记录"), {std::to_string(index)});
    return summary.bTimed
               ? FillIn(UiText("SessionReport", "%1，%2"), {CEventLog::IsoTime(utcMs), record})
               : record;
}

std::string EventText(const LoggedEvent& event) {
    // The event log's words (data) in the window's language.
    static const std::map<std::string, const char*> kWords = {
        {"pitch", QT_TRANSLATE_NOOP("SessionReport", "俯仰角")},
        {"roll", QT_TRANSLATE_NOOP("SessionReport", "横滚角")},
        {"data", QT_TRANSLATE_NOOP("SessionReport", "数据中断")},
        {"heading-difference", QT_TRANSLATE_NOOP("SessionReport", "航向差")},
        {"active", QT_TRANSLATE_NOOP("SessionReport", "报警")},
        {"silenced", QT_TRANSLATE_NOOP("SessionReport", "静音")},
        {"acknowledged", QT_TRANSLATE_NOOP("SessionReport", "确认")},
        {"rectified", QT_TRANSLATE_NOOP("SessionReport", "已恢复（未确认）")},
        {"normal", QT_TRANSLATE_NOOP("SessionReport", "恢复正常")}};
    const auto word = [&](const std::string& key) {
        const auto it = kWords.find(key);
        return it == kWords.end() ? key : UiText("SessionReport", it->second);
    };
    std::string text = event.strTime + "  " + word(event.strSubject) + " " + word(event.strEvent);
    if (!event.strValue.empty())
        text += " " + event.strValue;
    if (!event.strLimit.empty())
        text += FillIn(UiText("SessionReport", "（限值 %1）"), {event.strLimit});
    return text;
}

// "12.300 秒，162 条记录" of time beyond a limit.
std::string BeyondText(const SessionSummary& summary, const SessionSummary::Beyond& beyond) {
    std::string text;
    if (summary.bTimed)
        text += FillIn(UiText("SessionReport", "%1 秒，"), {Seconds(beyond.nMs)});
    return text + FillIn(UiText("SessionReport", "%1 条记录\n"), {std::to_string(beyond.nRecords)});
}

// pitch: true for the pitch lines, false for roll. Time beyond the limit in
// force at the time: with one limit as before, with several their total and
// each limit's share.
void AngleLines(std::string& text, bool pitch, const SessionSummary& summary,
                const SessionSummary::Extreme& extreme,
                const SessionSummary::LimitsBeyond& beyond) {
    text +=
        pitch ? UiText("SessionReport", "最大俯仰角：") : UiText("SessionReport", "最大横滚角：");
    if (!extreme.bReceived) {
        text += UiText("SessionReport", "未收到\n");
        return;
    }
    text += FillIn(UiText("SessionReport", "%1°（%2）\n"),
                   {Shortest(extreme.fValue), Where(summary, extreme.nUtcMs, extreme.nIndex)});
    if (beyond.arrParts.size() <= 1) {
        const double limit =
            beyond.arrParts.empty() ? beyond.total.dLimit : beyond.arrParts[0].dLimit;
        text += FillIn(pitch ? UiText("SessionReport", "俯仰角达到或超过 %1°：")
                             : UiText("SessionReport", "横滚角达到或超过 %1°："),
                       {Limit(limit)});
        text += BeyondText(summary, beyond.total);
        return;
    }
    std::string limits;
    for (const auto& part : beyond.arrParts)
        limits += (limits.empty() ? "" : UiText("SessionReport", "、")) + Limit(part.dLimit) + "°";
    text += FillIn(pitch ? UiText("SessionReport", "俯仰角达到或超过当时的限值（%1）：")
                         : UiText("SessionReport", "横滚角达到或超过当时的限值（%1）："),
                   {limits});
    text += BeyondText(summary, beyond.total);
    for (const auto& part : beyond.arrParts)
        text += FillIn(UiText("SessionReport", "  限值 %1° 时：%2"),
                       {Limit(part.dLimit), BeyondText(summary, part)});
}

// A CSV field, quoted when it holds a comma, a quote or a line end.
std::string Field(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

void Row(std::string& csv, std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& field : fields) {
        if (!first)
            csv += ',';
        csv += Field(field);
        first = false;
    }
    csv += '\n';
}
} // namespace

std::string SessionSummaryText(const SessionSummary& summary, const std::string& path) {
    std::string text = FillIn(UiText("SessionReport", "文件：%1\n"), {path});
    text += FillIn(UiText("SessionReport", "记录：%1 条\n"), {std::to_string(summary.nRecords)});
    if (summary.bTimed) {
        text += FillIn(UiText("SessionReport", "开始：%1\n"),
                       {CEventLog::IsoTime(summary.nStartUtcMs)});
        text +=
            FillIn(UiText("SessionReport", "结束：%1\n"), {CEventLog::IsoTime(summary.nEndUtcMs)});
        text += FillIn(UiText("SessionReport", "时长：%1\n"),
                       {Clock(summary.nEndUtcMs - summary.nStartUtcMs)});
    } else {
        text += UiText("SessionReport", "时长：未知（文件中没有时间）\n");
    }
    if (!summary.arrMessages.empty()) {
        text += UiText("SessionReport", "各类消息：\n");
        for (const auto& type : summary.arrMessages)
            text += FillIn(UiText("SessionReport", "  %1：%2 条\n"),
                           {type.strName, std::to_string(type.nCount)});
    }
    AngleLines(text, true, summary, summary.pitch, summary.pitchBeyond);
    AngleLines(text, false, summary, summary.roll, summary.rollBeyond);
    text +=
        FillIn(UiText("SessionReport", "数据中断（超过 %1 秒）："), {Limit(summary.dStaleSeconds)});
    if (!summary.bTimed) {
        text += UiText("SessionReport", "文件中没有时间，无法判断\n");
    } else {
        text += summary.arrGaps.empty() ? UiText("SessionReport", "无\n")
                                        : FillIn(UiText("SessionReport", "%1 处\n"),
                                                 {std::to_string(summary.arrGaps.size())});
        for (const auto& gap : summary.arrGaps)
            text += FillIn(UiText("SessionReport", "  %1 起 %2 秒（第 %3 条记录之后）\n"),
                           {CEventLog::IsoTime(gap.nStartUtcMs), Seconds(gap.nLengthMs),
                            std::to_string(gap.nIndex)});
    }
    text += UiText("SessionReport", "报警事件：");
    text += summary.arrEvents.empty() ? UiText("SessionReport", "无\n")
                                      : FillIn(UiText("SessionReport", "%1 条\n"),
                                               {std::to_string(summary.arrEvents.size())});
    for (const auto& event : summary.arrEvents)
        text += "  " + EventText(event) + "\n";
    if (!summary.arrHeadings.empty()) {
        text += UiText("SessionReport", "其他来源的航向（与首个来源比较）：\n");
        for (const HeadingAgreement& agreement : summary.arrHeadings)
            text += "  " + HeadingAgreementText(agreement) + "\n";
    }
    return text;
}

std::string HeadingAgreementText(const HeadingAgreement& a) {
    if (!a.strError.empty())
        return FillIn(UiText("SessionReport", "%1：记录无法读取（%2）"), {a.strLabel, a.strError});
    if (a.nCompared == 0)
        return FillIn(UiText("SessionReport", "%1：%2 个航向，没有与首个来源同时有效的航向可比较"),
                      {a.strLabel, std::to_string(a.nHeadings)});
    char largest[32];
    std::snprintf(largest, sizeof largest, "%+.1f", a.dLargest);
    return FillIn(UiText("SessionReport", "%1：比较 %2 次，航向差平均 %3°，最大 %4°（%5），"
                                          "达到或超过 %6° 共 %7 秒，报警 %8 次"),
                  {a.strLabel, std::to_string(a.nCompared), Limit(a.dMeanAbs), largest,
                   CEventLog::IsoTime(a.nLargestUtcMs), Limit(a.dLimit), Seconds(a.nBeyondMs),
                   std::to_string(a.nAlarms)});
}

std::string SessionSummaryCsv(const SessionSummary& s) {
    std::string csv = "kind,subject,event,value,limit,time,record\n";
    Row(csv, {"records", "", "", std::to_string(s.nRecords), "", "", ""});
    if (s.bTimed)
        Row(csv, {"duration", "", "", Seconds(s.nEndUtcMs - s.nStartUtcMs), "",
                  CEventLog::IsoTime(s.nStartUtcMs), ""});
    for (const auto& type : s.arrMessages)
        Row(csv, {"messages", type.strKey, "", std::to_string(type.nCount), "", "", ""});
    for (const auto& [name, extreme, beyond] :
         {std::tuple{"pitch", &s.pitch, &s.pitchBeyond}, {"roll", &s.roll, &s.rollBeyond}}) {
        if (!extreme->bReceived)
            continue;
        Row(csv,
            {"max", name, "", Shortest(extreme->fValue), Limit(extreme->dLimit),
             s.bTimed ? CEventLog::IsoTime(extreme->nUtcMs) : "", std::to_string(extreme->nIndex)});
        // A row pair for each limit that was in force.
        for (const auto& part : beyond->arrParts) {
            const std::string limit = Limit(part.dLimit);
            Row(csv, {"beyond-records", name, "", std::to_string(part.nRecords), limit, "", ""});
            if (s.bTimed)
                Row(csv, {"beyond-seconds", name, "", Seconds(part.nMs), limit, "", ""});
        }
    }
    for (const auto& gap : s.arrGaps)
        Row(csv, {"gap", "", "", Seconds(gap.nLengthMs), Limit(s.dStaleSeconds),
                  CEventLog::IsoTime(gap.nStartUtcMs), std::to_string(gap.nIndex)});
    for (const auto& event : s.arrEvents)
        Row(csv, {"event", event.strSubject, event.strEvent, event.strValue, event.strLimit,
                  event.strTime, ""});
    // Each further source's heading against the first's: subject its label.
    for (const HeadingAgreement& a : s.arrHeadings) {
        if (!a.strError.empty())
            continue;
        const std::string limit = Limit(a.dLimit);
        Row(csv, {"heading-difference", a.strLabel, "compared", std::to_string(a.nCompared), "", "",
                  ""});
        if (a.nCompared == 0)
            continue;
        Row(csv, {"heading-difference", a.strLabel, "largest", Fixed3(a.dLargest), limit,
                  CEventLog::IsoTime(a.nLargestUtcMs), ""});
        Row(csv, {"heading-difference", a.strLabel, "mean-abs", Fixed3(a.dMeanAbs), "", "", ""});
        Row(csv, {"heading-difference", a.strLabel, "beyond-seconds", Seconds(a.nBeyondMs), limit,
                  "", ""});
        Row(csv,
            {"heading-difference", a.strLabel, "alarms", std::to_string(a.nAlarms), limit, "", ""});
    }
    return csv;
}
