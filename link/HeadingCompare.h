// Headings from several sources compared pair by pair, and the alarm when two
// disagree. A pair is compared only at a time both have a heading for: when a
// source's new heading and its previous one, no further apart than the
// maximum age, enclose the other source's latest heading, the first source's
// heading is interpolated to that time (across north the short way) and the
// difference taken there. A fresh heading is never compared with an old one,
// and a slow source is compared with a fast one at its own time. The
// difference alarm of each pair is a CAlert: it starts after the difference
// has held over the limit for the set delay and ends after it has stayed
// below the limit less the hysteresis for the clear delay. A pair that has
// not been compared for longer than the maximum age has no condition (its
// alarm ends). A heading a magnetic compass implies (with the variation
// known) is compared against its own, wider limit.
#pragma once

#include "link/Alert.h"

#include <cstdint>
#include <deque>
#include <vector>

// h1 - h2 in degrees, in [-180, 180): ((h1 - h2 + 540) mod 360) - 180.
double HeadingDifference(double h1, double h2);
// The heading a fraction of the way from h0 to h1, turning the short way;
// in [0, 360).
double InterpolateHeading(double h0, double h1, double fraction);

// The heading against the course over ground: only under way (speed over
// ground above minKnots) does the track say where the bow points, and drift
// and current still put them far apart, so a difference beyond the limit is
// only suspect: shown and logged, never sounded.
struct CourseCheckSettings {
    double minKnots = 5;
    double limit = 30;
};
struct CourseCheck {
    bool bChecked = false; // under way, with a fresh heading and course
    bool bSuspect = false;
    double dDelta = 0; // heading - course
};
CourseCheck CheckCourse(double heading, double course, double knots,
                        const CourseCheckSettings& settings);

struct HeadingCompareSettings {
    std::int64_t maxAgeMs = 1000;
    double limit = 3;          // degrees between two true headings
    double magneticLimit = 10; // when one of them comes from a magnetic compass
    std::int64_t setMs = 5000;
    std::int64_t clearMs = 5000;
    double hysteresis = 0.5;
    std::int64_t silenceMs = 30000;
};

class CHeadingCompare {
public:
    // A source's headings: its true heading, or the true heading its
    // magnetic heading implies.
    struct Track {
        int source;
        bool magnetic;
        bool operator==(const Track&) const = default;
    };
    // The differences of a pair over the last kHistoryMs, for a curve.
    static constexpr std::int64_t kHistoryMs = 10 * 60 * 1000;
    struct DeltaPoint {
        std::int64_t atMs;
        float delta;
    };
    struct Pair {
        Track a, b;
        double delta = 0;        // a - b at the last comparison
        std::int64_t atMs = 0;   // the time compared at; 0: never
        std::int64_t madeMs = 0; // when that comparison was made
        CAlert alert;
        std::deque<DeltaPoint> history; // oldest first, none older than kHistoryMs
        double Limit(const HeadingCompareSettings& s) const {
            return a.magnetic || b.magnetic ? s.magneticLimit : s.limit;
        }
    };

    void SetSettings(const HeadingCompareSettings& settings);
    const HeadingCompareSettings& Settings() const { return m_settings; }

    // A valid heading of a track received at atMs (in order of time per track).
    void Observe(Track track, double heading, std::int64_t atMs);
    // Time passing: pairs without a fresh comparison, the alarms' delays.
    void Tick(std::int64_t nowMs);
    void Acknowledge(std::int64_t nowMs);
    void Silence(std::int64_t nowMs);

    const std::vector<Pair>& Pairs() const { return m_pairs; }
    std::vector<Pair>& Pairs() { return m_pairs; }
    // Whether a pair's last difference is fresh at nowMs.
    bool Fresh(const Pair& pair, std::int64_t nowMs) const {
        return pair.madeMs != 0 && nowMs - pair.madeMs <= m_settings.maxAgeMs;
    }

private:
    struct Heading {
        double heading;
        std::int64_t atMs;
    };
    struct History {
        Track track;
        Heading last{0, 0}, previous{0, 0};
        int count = 0;
    };
    History& Find(Track track);
    void Compare(Pair& pair, const History& moved, const History& other);

    HeadingCompareSettings m_settings;
    std::vector<History> m_tracks;
    std::vector<Pair> m_pairs;
};
