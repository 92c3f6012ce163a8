// What the browser view is sent: the page's hello and its states, composed
// from the session's values at one moment (WebSituation) by pure functions,
// so that a table can check them without a socket.
//
// A value's state: "none" never received, "stale" not refreshed for the stale
// time, "alarm" (pitch and roll) while their alarm is active, else "valid".
// A stale or never received value is sent with its state, so the page never
// shows it as if it were true; the samples carry null for it.
#pragma once

#include "link/AlarmWatcher.h"
#include "link/InstrumentSession.h"
#include "link/MonitorState.h"
#include "link/SignalK.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// One source as the page lists it: its link and the program's text of it.
struct WebSource {
    std::string label;
    LinkState link;
    QString text;
};

// The server's own counts, for the page's health and the event log.
struct WebCounts {
    std::uint64_t notFound = 0;   // HTTP requests of no page
    std::uint64_t badMethod = 0;  // HTTP requests other than GET
    std::uint64_t badPath = 0;    // WebSockets on a path of no stream
    std::uint64_t overCap = 0;    // connections closed at once, beyond the caps
    std::uint64_t oversized = 0;  // WebSockets closed for a frame or message too large
    std::uint64_t refused = 0;    // commands refused (read-only, password, rate)
    std::uint64_t ignored = 0;    // anything else a browser sent
    std::uint64_t dropped = 0;    // clients too slow to read
    std::uint64_t idleClosed = 0; // HTTP connections idle too long
    bool operator==(const WebCounts&) const = default;
};

// What the Signal K stream is made of, and what else the page shows.
struct WebSituation : SignalKSituation {
    std::vector<WebSource> sources;
    SessionHealth health;
    std::uint64_t nMessages = 0;
    std::vector<std::string> events; // the event log's last lines, newest last
    WebCounts web;
};

// [epochMs, heading, pitch, roll]: each valid and fresh, or none.
struct WebSample {
    std::int64_t epochMs = 0;
    std::optional<double> heading, pitch, roll;
};
WebSample SampleOf(const WebSituation& situation);

struct WebHello {
    QString lang; // "zh" or "en"
    bool readOnly = true;
    QString vessel;
    std::int64_t staleMs = 0;
    int pitchLimit = 0, rollLimit = 0;
};
QByteArray HelloJson(const WebHello& hello, const std::deque<WebSample>& history);

// The state without its time and sample: what is compared to know whether
// anything changed since the last push.
QJsonObject StateBody(const WebSituation& situation);
// The frame sent: the body with "type", "t" and "sample".
QByteArray StateJson(QJsonObject body, const WebSample& sample);

// Alarm subjects as the page names them (their states as the event log does).
const char* WebAlarmSubject(AlarmSubject subject);
