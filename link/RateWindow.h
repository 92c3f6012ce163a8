// How many things a second came over the last whole seconds: a count per
// second in a small ring, so that a rate follows a source that slows or stops
// instead of averaging over its whole life.
#pragma once

#include <algorithm>
#include <cstdint>

class CRateWindow {
public:
    static constexpr int kSeconds = 10;

    // One more at nowMs (milliseconds, not negative, in order).
    void Add(std::int64_t nowMs) {
        const std::int64_t second = nowMs / 1000;
        if (!m_bAny) {
            m_bAny = true;
            m_nFirstSecond = m_nLastSecond = second;
        } else if (second > m_nLastSecond) {
            // The seconds without one since the last count none.
            for (std::int64_t s = m_nLastSecond + 1; s <= std::min(second, m_nLastSecond + kRing);
                 ++s)
                m_perSecond[s % kRing] = 0;
            m_nLastSecond = second;
        }
        ++m_perSecond[m_nLastSecond % kRing];
    }

    // A second over the whole seconds before nowMs's, the last kSeconds of
    // them or as many as have passed since the first's; -1 before one whole
    // second has passed. (The second in progress and the first, entered
    // part-way, would read low.)
    double Rate(std::int64_t nowMs) const {
        const std::int64_t now = nowMs / 1000;
        const std::int64_t from = std::max(now - kSeconds, m_nFirstSecond + 1);
        if (!m_bAny || from >= now)
            return -1;
        std::uint64_t sum = 0;
        for (std::int64_t s = from; s < now; ++s) {
            if (s <= m_nLastSecond && s > m_nLastSecond - kRing)
                sum += m_perSecond[s % kRing];
        }
        return static_cast<double>(sum) / static_cast<double>(now - from);
    }

private:
    static constexpr int kRing = kSeconds + 1;
    bool m_bAny = false;
    std::int64_t m_nFirstSecond = 0, m_nLastSecond = 0;
    std::uint32_t m_perSecond[kRing] = {};
};
