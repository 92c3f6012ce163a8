#include "web/WebState.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

QJsonValue Number(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonArray SampleArray(const WebSample& s) {
    return {static_cast<double>(s.epochMs), Number(s.heading), Number(s.pitch), Number(s.roll)};
}

bool Fresh(const WebSituation& s, Quantity q) {
    return s.values.Received(q) && !s.values.IsStale(q, s.nowMs, s.staleMs);
}

const char* ValueState(const WebSituation& s, Quantity q) {
    if (!s.values.Received(q))
        return "none";
    if (s.values.IsStale(q, s.nowMs, s.staleMs))
        return "stale";
    const auto active = [&](AlarmSubject subject) {
        const AlertState state = s.alarms.Of(subject);
        return state == AlertState::ActiveUnacknowledged || state == AlertState::ActiveSilenced ||
               state == AlertState::ActiveAcknowledged;
    };
    if ((q == Quantity::Pitch && active(AlarmSubject::Pitch)) ||
        (q == Quantity::Roll && active(AlarmSubject::Roll)))
        return "alarm";
    return "valid";
}

QJsonObject Value(const WebSituation& s, Quantity q, double value, const std::string& text) {
    const CLiveValues& v = s.values;
    const bool received = v.Received(q);
    const std::string& label = v.m_strSource[static_cast<int>(q)];
    QJsonObject o;
    o["v"] = received ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
    o["text"] = !received      ? QString()
                : text.empty() ? QString::number(value, 'f', 1)
                               : QString::fromStdString(text);
    o["state"] = ValueState(s, q);
    o["source"] = QString::fromStdString(label.empty() ? s.firstSource : label);
    o["ageMs"] = received ? QJsonValue(static_cast<double>(v.AgeMs(q, s.nowMs)))
                          : QJsonValue(QJsonValue::Null);
    return o;
}

// ddmm.mmmm as decimal degrees, and as the page shows it: 33°52.200′S.
double Degrees(double ddmm, bool negative) {
    const double degrees = std::floor(ddmm / 100);
    const double value = degrees + (ddmm - degrees * 100) / 60;
    return negative ? -value : value;
}
QString DegreesText(double ddmm, char hemisphere) {
    const double degrees = std::floor(ddmm / 100);
    return QString("%1°%2′%3")
        .arg(static_cast<int>(degrees))
        .arg(ddmm - degrees * 100, 6, 'f', 3, QChar('0'))
        .arg(QChar(hemisphere));
}

QJsonObject Position(const WebSituation& s) {
    const CLiveValues& v = s.values;
    QJsonObject o;
    const bool received = v.Received(Quantity::Position);
    o["lat"] = received ? QJsonValue(Degrees(v.m_dLatitude, v.m_bSouth)) : QJsonValue::Null;
    o["lon"] = received ? QJsonValue(Degrees(v.m_dLongitude, v.m_bWest)) : QJsonValue::Null;
    o["text"] = received ? DegreesText(v.m_dLatitude, v.m_bSouth ? 'S' : 'N') + " " +
                               DegreesText(v.m_dLongitude, v.m_bWest ? 'W' : 'E')
                         : QString();
    o["state"] = ValueState(s, Quantity::Position);
    return o;
}

// The alarm as the status bar says it (the same texts, the same translation).
QString AlarmText(const WebSituation& s, AlarmSubject subject) {
    QString what;
    switch (subject) {
    case AlarmSubject::Pitch:
        what =
            QCoreApplication::translate("MainFrame", "俯仰角超出报警范围 ±%1°").arg(s.pitchLimit);
        break;
    case AlarmSubject::Roll:
        what = QCoreApplication::translate("MainFrame", "横滚角超出报警范围 ±%1°").arg(s.rollLimit);
        break;
    case AlarmSubject::Data:
        what = QCoreApplication::translate("MainFrame", "数据中断超过 %1 秒").arg(s.staleMs / 1000);
        break;
    case AlarmSubject::HeadingDifference:
        what = QCoreApplication::translate("MainFrame", "航向差超限");
        break;
    }
    switch (s.alarms.Of(subject)) {
    case AlertState::Normal:
    case AlertState::ActiveUnacknowledged:
        return what;
    case AlertState::ActiveSilenced:
        return what + QCoreApplication::translate("MainFrame", "（已静音）");
    case AlertState::ActiveAcknowledged:
        return what + QCoreApplication::translate("MainFrame", "（已确认）");
    case AlertState::RectifiedUnacknowledged:
        return what + QCoreApplication::translate("MainFrame", "（已恢复，请确认）");
    }
    return what;
}

const char* LinkWord(LinkState::Kind kind) {
    switch (kind) {
    case LinkState::Kind::Connected:
        return "connected";
    case LinkState::Kind::Connecting:
        return "connecting";
    case LinkState::Kind::Vanished:
        return "lost";
    case LinkState::Kind::OpenFailed:
        return "failed";
    case LinkState::Kind::NoDevice:
        break;
    }
    return "none";
}

QJsonObject Health(const WebSituation& s) {
    const SessionHealth& h = s.health;
    QJsonArray types;
    for (int i = 0; i < h.types.Types(); ++i) {
        const CMessageCounts::Row& row = h.types.Type(i);
        const QString name =
            row.kind == CMessageCounts::Row::Kind::Packet
                ? QString("packet %1").arg(QChar(row.packetType))
                : QString::fromUtf8(row.Name().data(), static_cast<qsizetype>(row.Name().size()));
        const double rate = row.Rate(s.nowMs);
        types.append(QJsonObject{{"type", name},
                                 {"count", static_cast<double>(row.count)},
                                 {"rate", rate < 0 ? QJsonValue(QJsonValue::Null) : rate}});
    }
    const WebCounts& w = s.web;
    return {{"messages", static_cast<double>(s.nMessages)},
            {"badPackets", static_cast<double>(h.nBadPackets)},
            {"overlongLines", static_cast<double>(h.nOverlongLines)},
            {"droppedBytes", static_cast<double>(h.nDroppedBytes)},
            {"reconnects", static_cast<double>(h.nReconnects)},
            {"datagramsLost", static_cast<double>(h.nDatagramsLost)},
            {"types", types},
            {"record", QString::fromStdString(h.strRecordPath)},
            {"web", QJsonObject{{"notFound", static_cast<double>(w.notFound)},
                                {"badMethod", static_cast<double>(w.badMethod)},
                                {"badPath", static_cast<double>(w.badPath)},
                                {"overCap", static_cast<double>(w.overCap)},
                                {"oversized", static_cast<double>(w.oversized)},
                                {"refused", static_cast<double>(w.refused)},
                                {"ignored", static_cast<double>(w.ignored)},
                                {"dropped", static_cast<double>(w.dropped)}}}};
}

} // namespace

const char* WebAlarmSubject(AlarmSubject subject) {
    static const char* const kNames[kAlarmSubjects] = {"pitch", "roll", "data",
                                                       "headingDifference"};
    return kNames[static_cast<int>(subject)];
}

WebSample SampleOf(const WebSituation& s) {
    WebSample sample;
    sample.epochMs = s.epochNowMs;
    if (Fresh(s, Quantity::Heading))
        sample.heading = s.values.m_dHeading;
    if (Fresh(s, Quantity::Pitch))
        sample.pitch = s.values.m_dPitch;
    if (Fresh(s, Quantity::Roll))
        sample.roll = s.values.m_dRoll;
    return sample;
}

QByteArray HelloJson(const WebHello& hello, const std::deque<WebSample>& history) {
    QJsonArray samples;
    for (const WebSample& s : history)
        samples.append(SampleArray(s));
    const QJsonObject o{
        {"type", "hello"},
        {"lang", hello.lang},
        {"readOnly", hello.readOnly},
        {"program", "Quillmar 1.0"},
        {"vessel", hello.vessel},
        {"staleMs", static_cast<double>(hello.staleMs)},
        {"limits", QJsonObject{{"pitch", hello.pitchLimit}, {"roll", hello.rollLimit}}},
        {"history", samples}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject StateBody(const WebSituation& s) {
    const CLiveValues& v = s.values;
    QJsonObject values{
        {"heading", Value(s, Quantity::Heading, v.m_dHeading, v.m_strHeading)},
        {"pitch", Value(s, Quantity::Pitch, v.m_dPitch, v.m_strPitch)},
        {"roll", Value(s, Quantity::Roll, v.m_dRoll, v.m_strRoll)},
        {"headingMagnetic", Value(s, Quantity::MagneticHeading, v.m_dMagneticHeading, {})},
        {"rateOfTurn", Value(s, Quantity::RateOfTurn, v.m_dRateOfTurn, {})},
        {"position", Position(s)}};
    QJsonArray alarms;
    for (int i = 0; i < kAlarmSubjects; ++i) {
        const auto subject = static_cast<AlarmSubject>(i);
        alarms.append(QJsonObject{{"subject", WebAlarmSubject(subject)},
                                  {"state", AlertEventName(s.alarms.Of(subject))},
                                  {"text", AlarmText(s, subject)}});
    }
    QJsonArray sources;
    for (const WebSource& source : s.sources)
        sources.append(QJsonObject{{"label", QString::fromStdString(source.label)},
                                   {"link", LinkWord(source.link.kind)},
                                   {"text", source.text}});
    QJsonArray events;
    for (const std::string& line : s.events)
        events.append(QString::fromStdString(line));
    return {{"values", values},   {"alarms", alarms},    {"sounding", s.alarms.Sounding()},
            {"sources", sources}, {"health", Health(s)}, {"events", events}};
}

QByteArray StateJson(QJsonObject body, const WebSample& sample) {
    body["type"] = "state";
    body["t"] = static_cast<double>(sample.epochMs);
    body["sample"] = SampleArray(sample);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}
