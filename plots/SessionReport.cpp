#include "plots/SessionReport.h"

#include "link/EventLog.h"

#include <charconv>
#include <cstdio>
#include <map>

namespace {
std::string Shortest(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ms) / 1000);
    return text;
}

std::string Limit(double degrees) {
    return CEventLog::Number(degrees);
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
    const std::string record = "第 " + std::to_string(index) + " 条记录";
    return summary.bTimed ? CEventLog::IsoTime(utcMs) + "，" + record : record;
}

std::string EventText(const LoggedEvent& event) {
    static const std::map<std::string, std::string> kWords = {{"pitch", "俯仰角"},
                                                              {"roll", "横滚角"},
                                                              {"data", "数据中断"},
                                                              {"active", "报警"},
                                                              {"silenced", "静音"},
                                                              {"acknowledged", "确认"},
                                                              {"rectified", "已恢复（未确认）"},
                                                              {"normal", "恢复正常"}};
    const auto word = [&](const std::string& key) {
        const auto it = kWords.find(key);
        return it == kWords.end() ? key : it->second;
    };
    std::string text = event.strTime + "  " + word(event.strSubject) + " " + word(event.strEvent);
    if (!event.strValue.empty())
        text += " " + event.strValue;
    if (!event.strLimit.empty())
        text += "（限值 " + event.strLimit + "）";
    return text;
}

void AngleLines(std::string& text, const char* name, const SessionSummary& summary,
                const SessionSummary::Extreme& extreme, const SessionSummary::Beyond& beyond) {
    text += std::string("最大") + name + "：";
    if (!extreme.bReceived) {
        text += "未收到\n";
        return;
    }
    text +=
        Shortest(extreme.fValue) + "°（" + Where(summary, extreme.nUtcMs, extreme.nIndex) + "）\n";
    text += std::string(name) + "达到或超过 " + Limit(beyond.dLimit) + "°：";
    if (summary.bTimed)
        text += Seconds(beyond.nMs) + " 秒，";
    text += std::to_string(beyond.nRecords) + " 条记录\n";
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
    std::string text = "文件：" + path + "\n";
    text += "记录：" + std::to_string(summary.nRecords) + " 条\n";
    if (summary.bTimed) {
        text += "开始：" + CEventLog::IsoTime(summary.nStartUtcMs) + "\n";
        text += "结束：" + CEventLog::IsoTime(summary.nEndUtcMs) + "\n";
        text += "时长：" + Clock(summary.nEndUtcMs - summary.nStartUtcMs) + "\n";
    } else {
        text += "时长：未知（文件中没有时间）\n";
    }
    if (!summary.arrMessages.empty()) {
        text += "各类消息：\n";
        for (const auto& type : summary.arrMessages)
            text += "  " + type.strName + "：" + std::to_string(type.nCount) + " 条\n";
    }
    AngleLines(text, "俯仰角", summary, summary.pitch, summary.pitchBeyond);
    AngleLines(text, "横滚角", summary, summary.roll, summary.rollBeyond);
    text += "数据中断（超过 " + Limit(summary.dStaleSeconds) + " 秒）：";
    if (!summary.bTimed) {
        text += "文件中没有时间，无法判断\n";
    } else {
        text += summary.arrGaps.empty() ? "无\n" : std::to_string(summary.arrGaps.size()) + " 处\n";
        for (const auto& gap : summary.arrGaps)
            text += "  " + CEventLog::IsoTime(gap.nStartUtcMs) + " 起 " + Seconds(gap.nLengthMs) +
                    " 秒（第 " + std::to_string(gap.nIndex) + " 条记录之后）\n";
    }
    text += "报警事件：";
    text += summary.arrEvents.empty() ? "无\n" : std::to_string(summary.arrEvents.size()) + " 条\n";
    for (const auto& event : summary.arrEvents)
        text += "  " + EventText(event) + "\n";
    return text;
}

std::string SessionSummaryCsv(const SessionSummary& s) {
    std::string csv = "kind,subject,event,value,limit,time,record\n";
    Row(csv, {"records", "", "", std::to_string(s.nRecords), "", "", ""});
    if (s.bTimed)
        Row(csv, {"duration", "", "", Seconds(s.nEndUtcMs - s.nStartUtcMs), "",
                  CEventLog::IsoTime(s.nStartUtcMs), ""});
    for (const auto& type : s.arrMessages)
        Row(csv, {"messages", type.strName, "", std::to_string(type.nCount), "", "", ""});
    for (const auto& [name, extreme, beyond] :
         {std::tuple{"pitch", &s.pitch, &s.pitchBeyond}, {"roll", &s.roll, &s.rollBeyond}}) {
        if (!extreme->bReceived)
            continue;
        const std::string limit = Limit(beyond->dLimit);
        Row(csv,
            {"max", name, "", Shortest(extreme->fValue), limit,
             s.bTimed ? CEventLog::IsoTime(extreme->nUtcMs) : "", std::to_string(extreme->nIndex)});
        Row(csv, {"beyond-records", name, "", std::to_string(beyond->nRecords), limit, "", ""});
        if (s.bTimed)
            Row(csv, {"beyond-seconds", name, "", Seconds(beyond->nMs), limit, "", ""});
    }
    for (const auto& gap : s.arrGaps)
        Row(csv, {"gap", "", "", Seconds(gap.nLengthMs), Limit(s.dStaleSeconds),
                  CEventLog::IsoTime(gap.nStartUtcMs), std::to_string(gap.nIndex)});
    for (const auto& event : s.arrEvents)
        Row(csv, {"event", event.strSubject, event.strEvent, event.strValue, event.strLimit,
                  event.strTime, ""});
    return csv;
}
