#include "link/HeadingCompare.h"

#include <cmath>

double HeadingDifference(double h1, double h2) {
    double d = std::fmod(h1 - h2 + 540.0, 360.0);
    if (d < 0)
        d += 360.0;
    return d - 180.0;
}

double InterpolateHeading(double h0, double h1, double fraction) {
    double h = std::fmod(h0 + fraction * HeadingDifference(h1, h0), 360.0);
    if (h < 0)
        h += 360.0;
    return h >= 360.0 ? 0.0 : h;
}

CourseCheck CheckCourse(double heading, double course, double knots,
                        const CourseCheckSettings& settings) {
    CourseCheck check;
    if (!(knots > settings.minKnots))
        return check;
    check.bChecked = true;
    check.dDelta = HeadingDifference(heading, course);
    check.bSuspect = std::fabs(check.dDelta) > settings.limit;
    return check;
}

void CHeadingCompare::SetSettings(const HeadingCompareSettings& settings) {
    m_settings = settings;
    for (Pair& pair : m_pairs)
        pair.alert.SetSettings(
            {settings.setMs, settings.silenceMs, settings.hysteresis, settings.clearMs});
}

CHeadingCompare::History& CHeadingCompare::Find(Track track) {
    for (History& h : m_tracks) {
        if (h.track == track)
            return h;
    }
    for (const History& other : m_tracks) {
        Pair pair;
        pair.a = other.track;
        pair.b = track;
        pair.alert.SetSettings(
            {m_settings.setMs, m_settings.silenceMs, m_settings.hysteresis, m_settings.clearMs});
        m_pairs.push_back(pair);
    }
    m_tracks.push_back({track});
    return m_tracks.back();
}

void CHeadingCompare::Observe(Track track, double heading, std::int64_t atMs) {
    if (!std::isfinite(heading))
        return;
    History& moved = Find(track);
    moved.previous = moved.last;
    moved.last = {heading, atMs};
    ++moved.count;
    for (Pair& pair : m_pairs) {
        if (pair.a == track || pair.b == track) {
            const Track otherTrack = pair.a == track ? pair.b : pair.a;
            for (const History& other : m_tracks) {
                if (other.track == otherTrack)
                    Compare(pair, moved, other);
            }
        }
    }
}

void CHeadingCompare::Compare(Pair& pair, const History& moved, const History& other) {
    if (moved.count < 2 || other.count < 1)
        return;
    const Heading& p = moved.previous;
    const Heading& n = moved.last;
    const std::int64_t t = other.last.atMs;
    if (t < p.atMs || t > n.atMs || n.atMs - p.atMs > m_settings.maxAgeMs || t <= pair.atMs)
        return;
    const double fraction =
        n.atMs == p.atMs ? 1.0
                         : static_cast<double>(t - p.atMs) / static_cast<double>(n.atMs - p.atMs);
    const double here = InterpolateHeading(p.heading, n.heading, fraction);
    const bool movedIsA = pair.a == moved.track;
    pair.delta = movedIsA ? HeadingDifference(here, other.last.heading)
                          : HeadingDifference(other.last.heading, here);
    pair.atMs = t;
    pair.madeMs = n.atMs;
    pair.history.push_back({t, static_cast<float>(pair.delta)});
    while (pair.history.front().atMs < t - kHistoryMs)
        pair.history.pop_front();
    pair.alert.MeasureAngle(pair.delta, pair.Limit(m_settings), n.atMs);
}

void CHeadingCompare::Tick(std::int64_t nowMs) {
    for (Pair& pair : m_pairs) {
        if (pair.madeMs != 0 && !Fresh(pair, nowMs))
            pair.alert.Measure(false, pair.delta, pair.Limit(m_settings), nowMs);
        pair.alert.Tick(nowMs);
    }
}

void CHeadingCompare::Acknowledge(std::int64_t nowMs) {
    for (Pair& pair : m_pairs)
        pair.alert.Acknowledge(nowMs);
}

void CHeadingCompare::Silence(std::int64_t nowMs) {
    for (Pair& pair : m_pairs)
        pair.alert.Silence(nowMs);
}
