#include "link/SignalK.h"

#include "link/InstrumentSession.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c; // UTF-8 passes as it is
            }
        }
    }
    out += '"';
    return out;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value))
        return "null";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Rfc3339Utc(std::int64_t epochMs) {
    const std::time_t seconds = static_cast<std::time_t>(epochMs / 1000 - (epochMs % 1000 < 0));
    const int ms = static_cast<int>(((epochMs % 1000) + 1000) % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, ms);
    return text;
}

std::int64_t EpochMsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

namespace {

constexpr double kRadPerDegree = std::numbers::pi / 180;

// ddmm.mmmm (or dddmm.mmmm) as decimal degrees.
double DecimalDegrees(double ddmm, bool negative) {
    const double degrees = std::floor(ddmm / 100);
    const double value = degrees + (ddmm - degrees * 100) / 60;
    return negative ? -value : value;
}

std::int64_t ReceivedMs(const CLiveValues& v, Quantity q) {
    return v.m_nReceivedMs[static_cast<int>(q)];
}

const char* NotificationState(AlertState state) {
    switch (state) {
    case AlertState::Normal:
        return "normal";
    case AlertState::RectifiedUnacknowledged:
        return "alert";
    default:
        return "alarm";
    }
}

const char* NotificationMethod(AlertState state) {
    switch (state) {
    case AlertState::Normal:
        return "[]";
    case AlertState::ActiveUnacknowledged:
        return R"(["visual","sound"])";
    default:
        return R"(["visual"])";
    }
}

} // namespace

std::vector<SignalKValue> SignalKValues(const SignalKSituation& s) {
    std::vector<SignalKValue> out;
    const CLiveValues& v = s.values;
    const auto fresh = [&](Quantity q) {
        return v.Received(q) && !v.IsStale(q, s.nowMs, s.staleMs);
    };
    const auto epochOf = [&](Quantity q) {
        return s.epochNowMs - (s.nowMs - v.m_nReceivedMs[static_cast<int>(q)]);
    };
    const auto sourceOf = [&](Quantity q) {
        const std::string& label = v.m_strSource[static_cast<int>(q)];
        return label.empty() ? s.firstSource : label;
    };
    const auto add = [&](Quantity q, const char* path, std::string json) {
        out.push_back({path, std::move(json), sourceOf(q), epochOf(q), false, ReceivedMs(v, q)});
    };
    if (fresh(Quantity::Heading))
        add(Quantity::Heading, "navigation.headingTrue", JsonNumber(v.m_dHeading * kRadPerDegree));
    if (fresh(Quantity::MagneticHeading))
        add(Quantity::MagneticHeading, "navigation.headingMagnetic",
            JsonNumber(v.m_dMagneticHeading * kRadPerDegree));
    // The attitude: what of roll, pitch and yaw is fresh, stamped with the
    // newest of them, from the source of the roll or else the pitch.
    std::string attitude;
    Quantity newest = Quantity::Pitch;
    bool any = false;
    for (const auto& [q, name] :
         {std::pair{Quantity::Roll, "roll"}, std::pair{Quantity::Pitch, "pitch"},
          std::pair{Quantity::Heading, "yaw"}}) {
        if (!fresh(q))
            continue;
        const double angle = q == Quantity::Roll    ? v.m_dRoll
                             : q == Quantity::Pitch ? v.m_dPitch
                                                    : v.m_dHeading;
        attitude += attitude.empty() ? "{" : ",";
        attitude += std::string("\"") + name + "\":" + JsonNumber(angle * kRadPerDegree);
        if (q != Quantity::Heading && (!any || epochOf(q) > epochOf(newest)))
            newest = q;
        any = any || q != Quantity::Heading;
    }
    if (any)
        out.push_back({"navigation.attitude", attitude + "}", sourceOf(newest), epochOf(newest),
                       false, ReceivedMs(v, newest)});
    if (fresh(Quantity::RateOfTurn))
        add(Quantity::RateOfTurn, "navigation.rateOfTurn",
            JsonNumber(v.m_dRateOfTurn * kRadPerDegree / 60));
    if (fresh(Quantity::Position))
        add(Quantity::Position, "navigation.position",
            "{\"latitude\":" + JsonNumber(DecimalDegrees(v.m_dLatitude, v.m_bSouth)) +
                ",\"longitude\":" + JsonNumber(DecimalDegrees(v.m_dLongitude, v.m_bWest)) + "}");

    struct Alarm {
        AlarmSubject subject;
        const char* path;
        std::string message;
    };
    const Alarm alarms[] = {
        {AlarmSubject::Pitch, "notifications.attitude.pitch",
         "Pitch beyond " + std::to_string(s.pitchLimit) + " degrees"},
        {AlarmSubject::Roll, "notifications.attitude.roll",
         "Roll beyond " + std::to_string(s.rollLimit) + " degrees"},
        {AlarmSubject::Data, "notifications.dataLost", "No attitude data received"},
        {AlarmSubject::HeadingDifference, "notifications.headingDifference",
         "Heading sources disagree"},
    };
    for (const Alarm& alarm : alarms) {
        const AlertState state = s.alarms.Of(alarm.subject);
        const std::string message =
            state == AlertState::Normal ? alarm.message + ": normal" : alarm.message;
        out.push_back({alarm.path,
                       std::string("{\"state\":\"") + NotificationState(state) + "\",\"method\":" +
                           NotificationMethod(state) + ",\"message\":" + JsonString(message) + "}",
                       "quillmar", s.epochNowMs, true, s.nowMs});
    }
    return out;
}

namespace {

// A source's label as Signal K allows it: letters, digits, '-', '_' and '.';
// anything else becomes '_'.
std::string SourceLabel(std::string_view label) {
    std::string out;
    for (const char c : label) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        out += allowed ? c : '_';
    }
    return out;
}

} // namespace

std::string SignalKDelta(const std::vector<SignalKValue>& values) {
    std::string out = R"({"context":"vessels.self","updates":[)";
    std::vector<bool> done(values.size());
    bool firstUpdate = true;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (done[i])
            continue;
        const SignalKValue& head = values[i];
        if (!firstUpdate)
            out += ',';
        firstUpdate = false;
        // No "type": the values come from sentences, binary packets and the
        // program's own alarms alike, and a consumer files a source typed
        // NMEA0183 under a talker and sentence it never sent.
        out += R"({"source":{"label":)" + JsonString(SourceLabel(head.source)) + "},";
        out += R"("timestamp":")" + Rfc3339Utc(head.epochMs) + R"(","values":[)";
        bool firstValue = true;
        for (std::size_t j = i; j < values.size(); ++j) {
            const SignalKValue& v = values[j];
            if (done[j] || v.source != head.source || v.epochMs != head.epochMs)
                continue;
            done[j] = true;
            if (!firstValue)
                out += ',';
            firstValue = false;
            out += R"({"path":)" + JsonString(v.path) + R"(,"value":)" + v.json + "}";
        }
        out += "]}";
    }
    out += "]}";
    return out;
}

std::string SignalKVesselUrn(std::string_view vesselName) {
    // Two FNV-1a hashes of the name make the 128 bits.
    std::uint64_t halves[2] = {14695981039346656037ull, 1099511628211ull * 31};
    for (std::uint64_t& h : halves) {
        for (const char c : vesselName) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "urn:mrn:signalk:uuid:%08x-%04x-4%03x-%04x-%012llx",
                  static_cast<unsigned>(halves[0] >> 32),
                  static_cast<unsigned>(halves[0] >> 16 & 0xffff),
                  static_cast<unsigned>(halves[0] & 0xfff),
                  static_cast<unsigned>(0x8000 | (halves[1] >> 48 & 0x3fff)),
                  static_cast<unsigned long long>(halves[1] & 0xffffffffffffull));
    return text;
}

std::string SignalKHello(std::string_view vesselName, std::int64_t epochMs) {
    return R"({"name":"quillmar","version":"1.7.0","self":)" +
           JsonString("vessels." + SignalKVesselUrn(vesselName)) +
           R"(,"roles":["master","main"],"timestamp":")" + Rfc3339Utc(epochMs) + R"("})";
}

std::vector<SignalKValue> CSignalKChanges::TakeNew(const std::vector<SignalKValue>& values) {
    std::vector<SignalKValue> out;
    for (const SignalKValue& v : values) {
        Kept* kept = nullptr;
        for (Kept& k : m_kept)
            if (k.path == v.path)
                kept = &k;
        if (!kept) {
            m_kept.push_back({v.path, v.json, v.receivedMs});
            out.push_back(v);
            continue;
        }
        const bool changed =
            v.notification ? kept->json != v.json : kept->receivedMs != v.receivedMs;
        if (changed) {
            kept->json = v.json;
            kept->receivedMs = v.receivedMs;
            out.push_back(v);
        }
    }
    return out;
}

SignalKSituation SessionSituation(const CInstrumentSession& session) {
    SignalKSituation s;
    s.values = session.Monitor().Values();
    s.alarms = session.Alarms();
    s.nowMs = SteadyMs();
    s.epochNowMs = EpochMsNow();
    s.staleMs = session.Monitor().StaleMs();
    s.pitchLimit = session.Monitor().PitchLimit();
    s.rollLimit = session.Monitor().RollLimit();
    const std::vector<SourceStatus> sources = session.Sources();
    s.firstSource =
        sources.empty() || sources[0].strLabel.empty() ? "quillmar" : sources[0].strLabel;
    return s;
}
