#include "plots/CurveSummary.h"

#include <algorithm>
#include <cmath>

namespace {

inline void Widen(CurveExtremes& e, float lo, float hi) {
    e.fMin = lo < e.fMin ? lo : e.fMin;
    e.fMax = hi > e.fMax ? hi : e.fMax;
}

inline void WidenHeading(CurveExtremes& e, float below, float above) {
    e.fBelow = below > e.fBelow ? below : e.fBelow;
    e.fAbove = above < e.fAbove ? above : e.fAbove;
}

} // namespace

CurveExtremes ScanExtremes(const AnalysisSample* records, float AnalysisSample::*field,
                           std::uint64_t from, std::uint64_t to, bool heading) {
    CurveExtremes e;
    for (std::uint64_t i = from; i < to; ++i) {
        const float prev = i > from ? records[i - 1].*field : 0;
        if (heading)
            AddToExtremes<true>(e, prev, records[i].*field, i > from);
        else
            AddToExtremes<false>(e, prev, records[i].*field, i > from);
    }
    if (heading)
        SettleHeading(e);
    return e;
}

void CCurveSummary::Build(const std::vector<AnalysisSample>& records, float AnalysisSample::*field,
                          bool heading) {
    Clear();
    m_pRecords = &records;
    m_pData = records.data();
    m_nRecords = records.size();
    m_field = field;
    m_bHeading = heading;
    const std::uint64_t block = 1u << kShift;
    std::uint64_t count = records.size();
    for (std::uint32_t level = 0; (count >> kShift) > 0; ++level) {
        const std::uint64_t blocks = (count + block - 1) >> kShift;
        std::vector<Pair> extremes(blocks), sides(heading ? blocks : 0);
        std::vector<std::uint8_t> steps(heading ? blocks : 0);
        for (std::uint64_t b = 0; b < blocks; ++b) {
            const std::uint64_t from = b << kShift;
            const std::uint64_t to = std::min<std::uint64_t>(count, from + block);
            CurveExtremes e;
            if (level == 0) {
                // The step into the block's first record is the block's own.
                for (std::uint64_t i = from; i < to; ++i) {
                    const float prev = i > 0 ? m_pData[i - 1].*field : 0;
                    if (heading)
                        AddToExtremes<true>(e, prev, m_pData[i].*field, i > 0);
                    else
                        AddToExtremes<false>(e, prev, m_pData[i].*field, i > 0);
                }
            } else if (heading) {
                Scan<true>(level, from, to, e);
            } else {
                Scan<false>(level, from, to, e);
            }
            extremes[b] = {e.fMin, e.fMax};
            if (heading) {
                sides[b] = {e.fBelow, e.fAbove};
                steps[b] = e.nSteps;
            }
        }
        m_levels.push_back(std::move(extremes));
        m_headingLevels.push_back(std::move(sides));
        m_stepLevels.push_back(std::move(steps));
        count = blocks;
    }
}

template <bool kHeading>
void CCurveSummary::Scan(std::uint32_t level, std::uint64_t from, std::uint64_t to,
                         CurveExtremes& e) const {
    if (from >= to)
        return;
    if (level == 0) {
        const AnalysisSample* data = m_pData;
        const auto field = m_field;
        float prev = data[from - 1].*field; // from > 0: a query's first record is its own
        for (std::uint64_t i = from; i < to; ++i) {
            const float v = data[i].*field;
            AddToExtremes<kHeading>(e, prev, v, true);
            prev = v;
        }
        return;
    }
    const Pair* values = m_levels[level - 1].data();
    // Two running pairs, so that each comparison waits on the one two steps
    // back rather than the last.
    CurveExtremes other = e;
    std::uint64_t i = from;
    for (; i + 1 < to; i += 2) {
        Widen(e, values[i].a, values[i].b);
        Widen(other, values[i + 1].a, values[i + 1].b);
    }
    if (i < to)
        Widen(e, values[i].a, values[i].b);
    Widen(e, other.fMin, other.fMax);
    if constexpr (kHeading) {
        const Pair* sides = m_headingLevels[level - 1].data();
        const std::uint8_t* steps = m_stepLevels[level - 1].data();
        std::uint8_t any = 0;
        for (std::uint64_t k = from; k < to; ++k) {
            WidenHeading(e, sides[k].a, sides[k].b);
            any |= steps[k];
        }
        e.nSteps |= any;
    }
}

template <bool kHeading>
CurveExtremes CCurveSummary::QueryAs(std::uint64_t from, std::uint64_t to) const {
    // The first record alone (its step from the one before is outside the
    // range), then the rest in runs at rising levels at its two ends and one
    // run at the top; the order they are visited in does not matter.
    CurveExtremes e;
    AddToExtremes<kHeading>(e, 0, m_pData[from].*m_field, false);
    ++from;
    if (from >= to)
        return e;
    const std::uint64_t block = 1u << kShift;
    const auto levels = static_cast<std::uint32_t>(m_levels.size());
    for (std::uint32_t level = 0;; ++level) {
        const std::uint64_t firstWhole = (from + block - 1) & ~(block - 1);
        const std::uint64_t lastWhole = to & ~(block - 1);
        if (level >= levels || firstWhole >= lastWhole) {
            Scan<kHeading>(level, from, to, e);
            break;
        }
        Scan<kHeading>(level, from, firstWhole, e);
        Scan<kHeading>(level, lastWhole, to, e);
        from = firstWhole >> kShift;
        to = lastWhole >> kShift;
    }
    return e;
}

CurveExtremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    // Most columns of a heading span less than half a turn: their extremes
    // alone are looked for first.
    const CurveExtremes e = QueryAs<false>(from, to);
    return m_bHeading && e.fMax - e.fMin > 180 ? QueryAs<true>(from, to) : e;
}
