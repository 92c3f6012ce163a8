#include "link/Alert.h"
#include "link/AlarmWatcher.h"
#include "link/SessionRecorder.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using S = AlertState;

struct Step {
    std::int64_t atMs;
    char action;        // m: measure, o: condition on/off, s: silence, a: acknowledge, t: tick
    double angle;       // m: the angle; o: 1 on, 0 off
    S state;            // afterwards
    const char* events; // the changes logged by this step, space separated
};

void Play(const char* name, const AlertSettings& settings, const std::vector<Step>& steps) {
    SCOPED_TRACE(name);
    CAlert alert;
    alert.SetSettings(settings);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.atMs);
        switch (step.action) {
        case 'm':
            alert.MeasureAngle(step.angle, 30, step.atMs);
            break;
        case 'o':
            alert.Measure(step.angle != 0, step.angle, 3, step.atMs);
            break;
        case 's':
            alert.Silence(step.atMs);
            break;
        case 'a':
            alert.Acknowledge(step.atMs);
            break;
        default:
            alert.Tick(step.atMs);
            break;
        }
        EXPECT_EQ(alert.State(), step.state);
        EXPECT_EQ(alert.Sounding(), step.state == S::ActiveUnacknowledged);
        std::string events;
        for (const auto& change : alert.TakeChanges())
            events += (events.empty() ? "" : " ") + std::string(AlertEventName(change.to));
        EXPECT_EQ(events, step.events);
    }
}

// The alert states against a fake clock: a limit of 30 degrees, the tone
// while active and unacknowledged, silence for a while, acknowledge, the
// condition ending before or after the acknowledgement, hysteresis and delay.
TEST(Alert, StatesFollowTheConditionTheOperatorAndTheClock) {
    const AlertSettings plain{0, 30000, 0.5};
    Play("acknowledged, then over", plain,
         {{0, 'm', 29.9, S::Normal, ""},
          {100, 'm', -30, S::ActiveUnacknowledged, "active"},
          {200, 'm', 35, S::ActiveUnacknowledged, ""},
          {300, 'a', 0, S::ActiveAcknowledged, "acknowledged"},
          {400, 'm', 29.6, S::ActiveAcknowledged, ""}, // within the hysteresis: still over
          {500, 'm', 29.4, S::Normal, "normal"}});
    Play("silenced for 30 s, then sounding again", plain,
         {{0, 'm', 31, S::ActiveUnacknowledged, "active"},
          {1000, 's', 0, S::ActiveSilenced, "silenced"},
          {30999, 't', 0, S::ActiveSilenced, ""},
          {31000, 't', 0, S::ActiveUnacknowledged, "active"},
          {32000, 's', 0, S::ActiveSilenced, "silenced"},
          {33000, 'a', 0, S::ActiveAcknowledged, "acknowledged"},
          {64000, 't', 0, S::ActiveAcknowledged, ""}}); // an acknowledged alarm stays quiet
    Play("over before acknowledged, then acknowledged or back", plain,
         {{0, 'm', 40, S::ActiveUnacknowledged, "active"},
          {100, 'm', 10, S::RectifiedUnacknowledged, "rectified"},
          {200, 's', 0, S::RectifiedUnacknowledged, ""}, // nothing to silence
          {300, 'm', 31, S::ActiveUnacknowledged, "active"},
          {400, 'm', 0, S::RectifiedUnacknowledged, "rectified"},
          {500, 'a', 0, S::Normal, "normal"},
          {600, 'a', 0, S::Normal, ""}});
    Play("a condition must last the delay", {500, 30000, 0.5},
         {{0, 'm', 31, S::Normal, ""},
          {300, 'm', 20, S::Normal, ""}, // gone before the delay: nothing
          {400, 'm', 31, S::Normal, ""},
          {899, 't', 0, S::Normal, ""},
          {900, 't', 0, S::ActiveUnacknowledged, "active"}});
    Play("a condition must be gone the clear delay", {0, 30000, 0.5, 500},
         {{0, 'm', 31, S::ActiveUnacknowledged, "active"},
          {100, 'm', 20, S::ActiveUnacknowledged, ""},
          {300, 'm', 29.7, S::ActiveUnacknowledged, ""}, // back over the hysteresis line
          {400, 'm', 20, S::ActiveUnacknowledged, ""},
          {899, 't', 0, S::ActiveUnacknowledged, ""},
          {900, 't', 0, S::RectifiedUnacknowledged, "rectified"}});
    Play("a condition on or off (data lost)", plain,
         {{0, 'o', 0, S::Normal, ""},
          {100, 'o', 4, S::ActiveUnacknowledged, "active"},
          {200, 'o', 0, S::RectifiedUnacknowledged, "rectified"}});
}

// Every quantity a sentence can carry goes stale in the event log by its own
// name when it stops, and fresh when it comes back.
TEST(AlarmWatcher, EveryQuantityGoesStaleAndFreshByName) {
    struct Sink : IEventSink {
        std::vector<std::string> lines;
        void Log(std::string_view subject, std::string_view event, std::string_view,
                 std::string_view) override {
            lines.push_back(std::string(subject) + "," + std::string(event));
        }
    } sink;
    CMonitorState monitor;
    CAlarmWatcher watcher(monitor, sink);
    for (const char* body : {"$GPHDT,10.0,T", "$HCHDG,98.3,0.0,E,12.6,W", "$HEROT,-3.5,A",
                             "$GPVTG,54.7,T,34.4,M,5.5,N,10.2,K",
                             "$PASHR,085335.000,224.19,T,-01.26,+00.83,0.00,0.101,0.113,0.267,1,0",
                             "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,"})
        monitor.InterpretText(CInstrumentSimulator::WithNmeaChecksum(body), 1000);
    watcher.Tick(1000);
    sink.lines.clear();
    watcher.Tick(1000 + monitor.StaleMs() + 1);
    std::vector<std::string> stale;
    for (int q = 0; q < kQuantities; ++q)
        stale.push_back(std::string(QuantityName(static_cast<Quantity>(q))) + ",stale");
    stale.push_back("data,active");
    EXPECT_EQ(sink.lines, stale);
}

} // namespace
