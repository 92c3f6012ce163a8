#include "link/SourceChoice.h"
#include "link/HeadingCompare.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(HeadingCompare, DifferenceAndInterpolationAcrossNorth) {
    struct Row {
        double h1, h2, delta;
    } rows[] = {{359, 1, -2},      {1, 359, 2},       {0, 180, -180}, {180, 0, -180},
                {123.4, 123.4, 0}, {10, 350.5, 19.5}, {-5, 5, -10},   {725, 0, 5}};
    for (const Row& r : rows)
        EXPECT_NEAR(HeadingDifference(r.h1, r.h2), r.delta, 1e-9) << r.h1 << " - " << r.h2;
    struct Between {
        double h0, h1, fraction, heading;
    } between[] = {{350, 10, 0.5, 0},
                   {350, 10, 0.25, 355},
                   {10, 350, 0.75, 355},
                   {90, 100, 0.3, 93},
                   {359.99, 359.99, 0.5, 359.99}};
    for (const Between& b : between)
        EXPECT_NEAR(InterpolateHeading(b.h0, b.h1, b.fraction), b.heading, 1e-9)
            << b.h0 << " to " << b.h1 << " at " << b.fraction;
}

// The heading against the course over ground: checked only under way, and
// only suspect beyond the limit (drift and current make them differ).
TEST(HeadingCompare, CourseOverGroundChecksTheHeadingUnderWayOnly) {
    struct Row {
        double heading, course, knots;
        bool checked, suspect;
        double delta;
    } rows[] = {{10, 350, 12, true, false, 20},  {10, 330, 12, true, true, 40},
                {350, 21, 5.1, true, true, -31}, {350, 20, 5.1, true, false, -30},
                {100, 250, 5, false, false, 0},  {100, 250, NAN, false, false, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.heading) + " " + std::to_string(r.course));
        const CourseCheck check = CheckCourse(r.heading, r.course, r.knots, {});
        EXPECT_EQ(check.bChecked, r.checked);
        EXPECT_EQ(check.bSuspect, r.suspect);
        EXPECT_NEAR(check.dDelta, r.delta, 1e-9);
    }
}

// Two tracks fed in time order: 'a' a 10 Hz compass, 'b' a slower gyro. The
// difference is only ever taken where both have a heading.
TEST(HeadingCompare, ComparesOnlyAtTimesBothHaveAHeading) {
    struct Feed {
        char track;
        std::int64_t atMs;
        double heading;
        std::int64_t comparedAt; // the pair's time afterwards (0: never compared)
        double delta;            // a - b there
    };
    struct Case {
        const char* name;
        std::vector<Feed> feeds;
    } cases[] = {
        {"the compass interpolated to the gyro's time across north",
         {{'a', 1000, 358, 0, 0},
          {'b', 1040, 1, 0, 0}, // a has no heading after 1040 yet
          {'a', 1100, 2, 1040, -1.4}}},
        {"a gyro heading older than the compass's bracket waits for the next",
         {{'a', 1000, 10, 0, 0},
          {'a', 1100, 10, 0, 0},
          {'b', 1150, 14, 0, 0},
          {'b', 1250, 16, 0, 0}, // a's last (1100) lies before b's bracket
          {'a', 1300, 12, 1250, -4.5}}},
        {"never across a gap longer than the maximum age",
         {{'a', 1000, 10, 0, 0}, {'b', 1500, 10, 0, 0}, {'a', 2001, 10, 0, 0}}},
        {"the same gyro heading is compared once",
         {{'a', 1000, 20, 0, 0},
          {'b', 1050, 21, 0, 0},
          {'a', 1100, 20, 1050, -1},
          {'a', 1200, 25, 1050, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHeadingCompare compare;
        for (const Feed& f : c.feeds) {
            compare.Observe({f.track == 'a' ? 0 : 1, false}, f.heading, f.atMs);
            if (compare.Pairs().empty()) {
                EXPECT_EQ(f.comparedAt, 0);
                continue;
            }
            const CHeadingCompare::Pair& pair = compare.Pairs()[0];
            EXPECT_EQ(pair.atMs, f.comparedAt) << "after " << f.track << f.atMs;
            if (f.comparedAt)
                EXPECT_NEAR(pair.delta, f.delta, 1e-9) << "after " << f.track << f.atMs;
        }
    }
}

// The difference alarm against a fake clock: 5 s over the limit to start,
// 5 s below the limit less the hysteresis to end, the magnetic compass's own
// limit, and a pair that stops being compared.
TEST(HeadingCompare, DifferenceAlarmSetsAndClearsAfterItsDelays) {
    struct Case {
        const char* name;
        bool magnetic;
        double offset;      // b = a + offset, from 0 s until `until`
        double offsetAfter; // from `until`
        std::int64_t until, end;
        bool feedB; // b keeps sending after `until`
        std::vector<std::pair<std::int64_t, AlertState>> expect;
    } cases[] = {
        {"over for 5 s, back for 5 s",
         false,
         4,
         1,
         8000,
         16000,
         true,
         {{4900, AlertState::Normal},
          {5100, AlertState::ActiveUnacknowledged},
          {12900, AlertState::ActiveUnacknowledged},
          {13100, AlertState::RectifiedUnacknowledged}}},
        {"within the hysteresis the alarm holds",
         false,
         4,
         2.7,
         8000,
         20000,
         true,
         {{19900, AlertState::ActiveUnacknowledged}}},
        {"a magnetic compass has its own limit",
         true,
         9,
         12,
         8000,
         16000,
         true,
         {{7900, AlertState::Normal}, {13100, AlertState::ActiveUnacknowledged}}},
        {"a pair no longer compared ends after the clear delay",
         false,
         4,
         4,
         8000,
         16000,
         false,
         {{8900, AlertState::ActiveUnacknowledged}, {14100, AlertState::RectifiedUnacknowledged}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHeadingCompare compare;
        std::size_t next = 0;
        for (std::int64_t t = 0; t <= c.end; t += 100) {
            const double a = 100 + t / 1000.0;
            compare.Observe({0, false}, a, t);
            if (t < c.until || c.feedB)
                compare.Observe({1, c.magnetic}, a - (t < c.until ? c.offset : c.offsetAfter),
                                t + 30);
            compare.Tick(t + 30);
            while (next < c.expect.size() && c.expect[next].first <= t + 30) {
                EXPECT_EQ(compare.Pairs().at(0).alert.State(), c.expect[next].second)
                    << "at " << c.expect[next].first;
                ++next;
            }
        }
        EXPECT_EQ(next, c.expect.size());
    }
}

// Three heading sources, 0 preferred, each repeating its last valid heading
// every 250 ms (source 0 falls quiet in the case's window). Each step: one
// source's reading (or only time passing), then the source shown, the
// switches announced since the step before, and the state of source 0.
TEST(SourceChoice, FailoverAtOnceFailbackAfterTenSeconds) {
    using V = Validity;
    using S = SourceState;
    struct Step {
        std::int64_t atMs;
        int source; // -1: time passes
        Validity validity;
        double heading;
        int shown;
        const char* switches;
        SourceState state;
    };
    struct Case {
        const char* name;
        std::int64_t quietFrom, quietTo; // source 0 sends nothing
        std::vector<Step> steps;
    } cases[] = {
        {"stale preferred source, failover, failback after 10 s valid",
         10101,
         14000,
         {{0, 1, V::Valid, 10, 1, "-1>1 ", S::Unavailable},
          {100, 0, V::Valid, 10, 1, "", S::Valid}, // preferred, but not yet valid for 10 s
          {10099, -1, V::Valid, 0, 1, "", S::Valid},
          {10100, -1, V::Valid, 0, 0, "1>0b ", S::Valid},
          {13100, -1, V::Valid, 0, 0, "", S::Valid},
          {13101, -1, V::Valid, 0, 1, "0>1 ", S::Stale},
          {14000, 0, V::Valid, 10, 1, "", S::Valid},
          {23999, -1, V::Valid, 0, 1, "", S::Valid},
          {24000, -1, V::Valid, 0, 0, "1>0b ", S::Valid}}},
        {"invalid and not plausible readings hand over at once",
         0,
         0,
         {{0, 0, V::Valid, 10, 0, "-1>0 ", S::Valid},
          {50, 1, V::Valid, 10, 0, "", S::Valid},
          {100, 0, V::Invalid, 10, 1, "0>1 ", S::Invalid},
          {150, 1, V::NotPlausible, 400, 1, "", S::Invalid}, // nothing valid: 1 stays shown...
          {200, 2, V::Valid, 11, 2, "1>2 ", S::Invalid},     // ...until one is
          {250, 0, V::NotPresent, 0, 2, "", S::Invalid}}},   // an empty field changes nothing
        {"a heading that turns faster than 60 degrees a second",
         0,
         0,
         {{0, 0, V::Valid, 10, 0, "-1>0 ", S::Valid},
          {100, 1, V::Valid, 10, 0, "", S::Valid},
          {1000, 0, V::Valid, 18, 0, "", S::Valid},            // 8 degrees in 0.15 s
          {1100, 0, V::Valid, 30, 1, "0>1 ", S::NotPlausible}, // 10 in 0.1 s
          {1200, 0, V::Valid, 31, 1, "", S::Valid},            // judged from the jump
          {1250, 0, V::Valid, 36, 1, "", S::Valid},            // 50 ms counts as 100
          {1300, 0, V::Valid, 359, 1, "", S::NotPlausible}}},  // the short way round
        {"a flapping preferred source never takes back",
         0,
         0,
         {{0, 1, V::Valid, 10, 1, "-1>1 ", S::Unavailable},
          {100, 0, V::Valid, 10, 1, "", S::Valid},
          {6000, 0, V::Invalid, 10, 1, "", S::Invalid},
          {6100, 0, V::Valid, 10, 1, "", S::Valid},
          {12000, 0, V::Invalid, 10, 1, "", S::Invalid},
          {12100, 0, V::Valid, 10, 1, "", S::Valid},
          {22099, -1, V::Valid, 0, 1, "", S::Valid},
          {22100, -1, V::Valid, 0, 0, "1>0b ", S::Valid}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSourceChoice choice(3);
        std::string said;
        const auto pass = [&](std::int64_t t, int except) {
            for (int s = 0; s < 3; ++s) {
                const SourceReading& r = choice.Reading(s, Quantity::Heading);
                const bool quiet = s == 0 && t >= c.quietFrom && t < c.quietTo;
                if (s != except && !quiet && r.state == S::Valid)
                    choice.Observe(s, Quantity::Heading, V::Valid, r.value, t);
            }
        };
        const auto take = [&](std::int64_t t) {
            choice.Tick(t);
            for (const CSourceChoice::Switch& s : choice.TakeSwitches())
                said +=
                    std::to_string(s.from) + ">" + std::to_string(s.to) + (s.failback ? "b " : " ");
        };
        std::int64_t last = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.atMs);
            for (std::int64_t t = last + 250; t < step.atMs; t += 250) {
                pass(t, -1);
                take(t);
            }
            pass(step.atMs, step.source);
            if (step.source >= 0)
                choice.Observe(step.source, Quantity::Heading, step.validity, step.heading,
                               step.atMs);
            take(step.atMs);
            EXPECT_EQ(said, step.switches);
            said.clear();
            EXPECT_EQ(choice.Chosen(Quantity::Heading), step.shown);
            EXPECT_EQ(choice.Reading(0, Quantity::Heading).state, step.state);
            last = step.atMs;
        }
    }
}

TEST(SourceChoice, PriorityListPutsTheOperatorsChoiceFirst) {
    CSourceChoice choice(3);
    choice.SetPriority(Quantity::Pitch, {2, 7, 2, 0});
    EXPECT_EQ(choice.Priority(Quantity::Pitch), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(choice.Priority(Quantity::Roll), (std::vector<int>{0, 1, 2}));
    choice.Observe(0, Quantity::Pitch, Validity::Valid, 1.5, 0);
    choice.Observe(2, Quantity::Pitch, Validity::Valid, 1.4, 10);
    EXPECT_EQ(choice.Chosen(Quantity::Pitch), 0); // the first valid, until 2 has been for 10 s
    choice.Observe(2, Quantity::Pitch, Validity::Valid, 1.4, 2000);
    choice.Observe(0, Quantity::Pitch, Validity::Valid, 1.5, 2000);
    choice.Tick(4000);
    EXPECT_EQ(choice.Chosen(Quantity::Pitch), 0);
    choice.Tick(5001); // both stale: 0 stays shown, its state saying so
    EXPECT_EQ(choice.Chosen(Quantity::Pitch), 0);
    EXPECT_EQ(choice.Reading(0, Quantity::Pitch).state, SourceState::Stale);
    choice.Observe(2, Quantity::Pitch, Validity::Valid, 1.4, 5002);
    EXPECT_EQ(choice.Chosen(Quantity::Pitch), 2);
}

} // namespace
