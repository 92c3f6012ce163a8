#include "plots/CurveSummary.h"

namespace {
// Joins b (which follows a) into a; the first of equal extremes is kept.
void Join(CCurveSummary::Extremes& a, const CCurveSummary::Extremes& b) {
    if (b.fMin < a.fMin)
        a.fMin = b.fMin, a.nMinAt = b.nMinAt;
    if (b.fMax > a.fMax)
        a.fMax = b.fMax, a.nMaxAt = b.nMaxAt;
}
} // namespace

CCurveSummary::Extremes CCurveSummary::Record(std::uint64_t i) const {
    const float v = m_pData[i].*m_field;
    return {v, v, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i)};
}

void CCurveSummary::Build(const std::vector<AnalysisSample>& records,
                          float AnalysisSample::*field) {
    m_pRecords = &records;
    m_pData = records.data();
    m_nRecords = records.size();
    m_field = field;
    m_levels.clear();
    const std::uint64_t block = 1u << kShift;
    std::uint64_t count = records.size();
    while ((count >> kShift) > 0) {
        const std::uint64_t blocks = (count + block - 1) >> kShift;
        std::vector<Extremes> level(blocks);
        for (std::uint64_t b = 0; b < blocks; ++b) {
            const std::uint64_t from = b << kShift;
            const std::uint64_t to = std::min<std::uint64_t>(count, from + block);
            Extremes e;
            if (m_levels.empty()) {
                // Straight over the records: the one pass that touches them all.
                float low = m_pData[from].*field, high = low;
                std::uint64_t lowAt = from, highAt = from;
                for (std::uint64_t i = from + 1; i < to; ++i) {
                    const float v = m_pData[i].*field;
                    if (v < low)
                        low = v, lowAt = i;
                    if (v > high)
                        high = v, highAt = i;
                }
                e = {low, high, static_cast<std::uint32_t>(lowAt),
                     static_cast<std::uint32_t>(highAt)};
            } else {
                const std::vector<Extremes>& below = m_levels.back();
                e = below[from];
                for (std::uint64_t i = from + 1; i < to; ++i)
                    Join(e, below[i]);
            }
            level[b] = e;
        }
        m_levels.push_back(std::move(level));
        count = blocks;
    }
}

CCurveSummary::Extremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    return QueryLevel(0, from, to);
}

// Elements of level 0 are records; of level k, the blocks in m_levels[k - 1].
CCurveSummary::Extremes CCurveSummary::QueryLevel(std::size_t level, std::uint64_t from,
                                                  std::uint64_t to) const {
    auto element = [&](std::uint64_t i) { return level == 0 ? Record(i) : m_levels[level - 1][i]; };
    const std::uint64_t block = 1u << kShift;
    const std::uint64_t firstWhole = (from + block - 1) & ~(block - 1);
    const std::uint64_t lastWhole = to & ~(block - 1);
    if (level >= m_levels.size() || firstWhole >= lastWhole) {
        Extremes e = element(from);
        for (std::uint64_t i = from + 1; i < to; ++i)
            Join(e, element(i));
        return e;
    }
    Extremes e = element(from);
    for (std::uint64_t i = from + 1; i < firstWhole; ++i)
        Join(e, element(i));
    if (from == firstWhole)
        e = QueryLevel(level + 1, firstWhole >> kShift, lastWhole >> kShift);
    else
        Join(e, QueryLevel(level + 1, firstWhole >> kShift, lastWhole >> kShift));
    for (std::uint64_t i = lastWhole; i < to; ++i)
        Join(e, element(i));
    return e;
}
