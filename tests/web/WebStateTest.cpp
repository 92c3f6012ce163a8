// The page's state as composed from the session's values: what each value's
// state says, the samples that leave out what is not true, the alarms.
#include "web/WebState.h"
#include "support/LinkSupport.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

WebSituation After(const std::vector<const char*>& sentences, std::int64_t ageMs = 0) {
    WebSituation s;
    static_cast<SignalKSituation&>(s) = SituationAfter(sentences, ageMs);
    return s;
}

} // namespace

TEST(WebState, ValuesSayWhetherToBelieveThem) {
    const char* const kAttitude = "$PASHR,120000.00,10.0,T,-12.0,5.0,0.0,0.1,0.1,0.1,1,1";
    using enum AlertState;
    const struct {
        const char* name;
        std::int64_t ageMs; // of the attitude received; -1: none
        AlertState pitchAlarm;
        const char *value, *state;
        QJsonValue sampled; // in the sample: the value, or null
    } cases[] = {
        {"never received", -1, Normal, "pitch", "none", QJsonValue::Null},
        {"fresh", 100, Normal, "pitch", "valid", 5.0},
        {"stale", 3001, Normal, "pitch", "stale", QJsonValue::Null},
        {"its alarm active", 0, ActiveSilenced, "pitch", "alarm", 5.0},
        {"its alarm rectified", 0, RectifiedUnacknowledged, "pitch", "valid", 5.0},
        {"another's alarm", 0, ActiveUnacknowledged, "roll", "valid", -12.0},
        {"stale beats alarm", 5000, ActiveAcknowledged, "pitch", "stale", QJsonValue::Null},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WebSituation s = c.ageMs < 0 ? After({}) : After({kAttitude}, c.ageMs);
        s.alarms.state[static_cast<int>(AlarmSubject::Pitch)] = c.pitchAlarm;
        const QJsonObject state =
            QJsonDocument::fromJson(StateJson(StateBody(s), SampleOf(s))).object();
        const QJsonObject value = state["values"].toObject()[c.value].toObject();
        EXPECT_EQ(value["state"].toString(), c.state);
        EXPECT_EQ(value["source"].toString(), "ttyUSB0");
        EXPECT_EQ(state["sample"].toArray().at(std::string_view(c.value) == "pitch" ? 2 : 3),
                  c.sampled);
        EXPECT_EQ(state["t"].toDouble(), static_cast<double>(s.epochNowMs));
        const QJsonObject alarm = state["alarms"].toArray().at(0).toObject();
        EXPECT_EQ(alarm["subject"].toString(), "pitch");
        EXPECT_EQ(alarm["state"].toString(), AlertEventName(c.pitchAlarm));
        EXPECT_EQ(state["sounding"].toBool(), c.pitchAlarm == AlertState::ActiveUnacknowledged);
    }
}

TEST(WebState, PositionAndHelloAreWhatThePageNeeds) {
    const WebSituation s =
        After({"$GPGGA,123519,3352.200,S,15112.600,W,1,08,0.9,545.4,M,46.9,M,,"}, 10);
    const QJsonObject position = StateBody(s)["values"].toObject()["position"].toObject();
    EXPECT_NEAR(position["lat"].toDouble(), -(33 + 52.2 / 60), 1e-9);
    EXPECT_NEAR(position["lon"].toDouble(), -(151 + 12.6 / 60), 1e-9);
    EXPECT_EQ(position["text"].toString(), "33°52.200′S 151°12.600′W");
    const QJsonObject hello =
        QJsonDocument::fromJson(HelloJson({"en", false, "Aurora", 3000, 10, 20},
                                          {SampleOf(s), SampleOf(After({}, 20))}))
            .object();
    EXPECT_EQ(hello["limits"].toObject()["roll"].toInt(), 20);
    EXPECT_FALSE(hello["readOnly"].toBool());
    EXPECT_EQ(QJsonDocument(hello["history"].toArray()).toJson(QJsonDocument::Compact),
              "[[1800000000010,null,null,null],[1800000000020,null,null,null]]");
}
