#include "plots/CurveSummary.h"

#include <algorithm>
#include <cmath>
#include <new>

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
    const std::uint64_t count = records.size();
    if (count < block)
        return;
    // The blocks of 16 records, then pairs of blocks up to one (a last block
    // without a partner is its own parent).
    std::vector<std::uint64_t> counts{(count + block - 1) >> kShift};
    while (counts.back() > 1)
        counts.push_back((counts.back() + 1) / 2);
    std::uint64_t total = 0;
    for (std::uint64_t c : counts)
        total += c;
    const std::size_t pairBytes = total * sizeof(Pair);
    const std::size_t bytes = pairBytes * (heading ? 2 : 1) + (heading ? total : 0);
    auto* memory = static_cast<std::byte*>(std::malloc(bytes));
    if (!memory)
        throw std::bad_alloc();
    m_memory.reset(memory);
    std::byte* pairs = memory;
    std::byte* sides = memory + pairBytes;
    std::byte* steps = memory + 2 * pairBytes;
    for (std::uint64_t c : counts) {
        m_levels.push_back(reinterpret_cast<Pair*>(pairs));
        pairs += c * sizeof(Pair);
        if (heading) {
            m_headingLevels.push_back(reinterpret_cast<Pair*>(sides));
            m_stepLevels.push_back(reinterpret_cast<std::uint8_t*>(steps));
            sides += c * sizeof(Pair);
            steps += c;
        }
    }
    // The step into a block's first record is the block's own.
    for (std::uint64_t b = 0; b < counts[0]; ++b) {
        const std::uint64_t from = b << kShift;
        const std::uint64_t to = std::min<std::uint64_t>(count, from + block);
        CurveExtremes e;
        for (std::uint64_t i = from; i < to; ++i) {
            const float prev = i > 0 ? m_pData[i - 1].*field : 0;
            if (heading)
                AddToExtremes<true>(e, prev, m_pData[i].*field, i > 0);
            else
                AddToExtremes<false>(e, prev, m_pData[i].*field, i > 0);
        }
        m_levels[0][b] = {e.fMin, e.fMax};
        if (heading) {
            m_headingLevels[0][b] = {e.fBelow, e.fAbove};
            m_stepLevels[0][b] = e.nSteps;
        }
    }
    for (std::size_t level = 1; level < counts.size(); ++level) {
        const std::uint64_t blocks = counts[level - 1];
        for (std::uint64_t p = 0; p < counts[level]; ++p) {
            const std::uint64_t l = 2 * p, r = std::min(2 * p + 1, blocks - 1);
            const Pair* below = m_levels[level - 1];
            CurveExtremes e;
            Widen(e, below[l].a, below[l].b);
            Widen(e, below[r].a, below[r].b);
            m_levels[level][p] = {e.fMin, e.fMax};
            if (heading) {
                const Pair* sidesBelow = m_headingLevels[level - 1];
                const std::uint8_t* stepsBelow = m_stepLevels[level - 1];
                WidenHeading(e, sidesBelow[l].a, sidesBelow[l].b);
                WidenHeading(e, sidesBelow[r].a, sidesBelow[r].b);
                m_headingLevels[level][p] = {e.fBelow, e.fAbove};
                m_stepLevels[level][p] = static_cast<std::uint8_t>(stepsBelow[l] | stepsBelow[r]);
            }
        }
    }
}

template <bool kHeading>
void CCurveSummary::ScanRecords(std::uint64_t from, std::uint64_t to, CurveExtremes& e) const {
    if (from >= to)
        return;
    const AnalysisSample* data = m_pData;
    const auto field = m_field;
    float prev = data[from - 1].*field; // from > 0: a query's first record is its own
    for (std::uint64_t i = from; i < to; ++i) {
        const float v = data[i].*field;
        AddToExtremes<kHeading>(e, prev, v, true);
        prev = v;
    }
}

template <bool kHeading>
void CCurveSummary::AddBlocks(std::uint64_t lo, std::uint64_t hi, CurveExtremes& e) const {
    // Up the levels: a block at an odd end is taken alone, the rest are whole
    // pairs, the blocks of the level above. Taking a block twice changes
    // nothing (extremes and steps only widen), so both ends are read every
    // level and kept or not without a branch.
    CurveExtremes other = e;
    std::uint8_t steps = 0;
    for (std::uint32_t level = 0; lo < hi; ++level) {
        const Pair* values = m_levels[level];
        const bool takeLo = (lo & 1) != 0, takeHi = (hi & 1) != 0;
        const Pair l = values[lo], h = values[hi - 1];
        e.fMin = takeLo && l.a < e.fMin ? l.a : e.fMin;
        e.fMax = takeLo && l.b > e.fMax ? l.b : e.fMax;
        other.fMin = takeHi && h.a < other.fMin ? h.a : other.fMin;
        other.fMax = takeHi && h.b > other.fMax ? h.b : other.fMax;
        if constexpr (kHeading) {
            const Pair* sides = m_headingLevels[level];
            const std::uint8_t* stepLevel = m_stepLevels[level];
            const Pair ls = sides[lo], hs = sides[hi - 1];
            e.fBelow = takeLo && ls.a > e.fBelow ? ls.a : e.fBelow;
            e.fAbove = takeLo && ls.b < e.fAbove ? ls.b : e.fAbove;
            other.fBelow = takeHi && hs.a > other.fBelow ? hs.a : other.fBelow;
            other.fAbove = takeHi && hs.b < other.fAbove ? hs.b : other.fAbove;
            steps |= (takeLo ? stepLevel[lo] : 0) | (takeHi ? stepLevel[hi - 1] : 0);
        }
        lo = (lo + takeLo) >> 1;
        hi = (hi - takeHi) >> 1;
    }
    Widen(e, other.fMin, other.fMax);
    if constexpr (kHeading) {
        WidenHeading(e, other.fBelow, other.fAbove);
        e.nSteps |= steps;
    }
}

template <bool kHeading>
CurveExtremes CCurveSummary::QueryAs(std::uint64_t from, std::uint64_t to) const {
    // The first record alone (its step from the one before is outside the
    // range), then the records before the first whole block and after the
    // last, and the whole blocks between; the order does not matter.
    CurveExtremes e;
    AddToExtremes<kHeading>(e, 0, m_pData[from].*m_field, false);
    ++from;
    if (from >= to)
        return e;
    const std::uint64_t block = 1u << kShift;
    const std::uint64_t firstWhole = (from + block - 1) & ~(block - 1);
    const std::uint64_t lastWhole = to & ~(block - 1);
    if (m_levels.empty() || firstWhole >= lastWhole) {
        ScanRecords<kHeading>(from, to, e);
        return e;
    }
    ScanRecords<kHeading>(from, firstWhole, e);
    ScanRecords<kHeading>(lastWhole, to, e);
    AddBlocks<kHeading>(firstWhole >> kShift, lastWhole >> kShift, e);
    return e;
}

void CCurveSummary::Prefetch(std::uint64_t edge) const {
    if (edge >= m_nRecords)
        return;
    const std::uint64_t block = edge >> kShift;
    const char* first = reinterpret_cast<const char*>(m_pData + (block << kShift));
    const char* end = reinterpret_cast<const char*>(
        m_pData + std::min<std::uint64_t>(m_nRecords, (block + 1) << kShift));
    for (const char* p = first; p < end; p += 64)
        __builtin_prefetch(p);
    __builtin_prefetch(end - 1);
    for (std::size_t level = 0; level < m_levels.size(); ++level) {
        const std::uint64_t at = block >> level;
        __builtin_prefetch(m_levels[level] + at);
        if (at > 0)
            __builtin_prefetch(m_levels[level] + at - 1);
    }
}

CurveExtremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    // Most columns of a heading span less than half a turn: their extremes
    // alone are looked for first.
    const CurveExtremes e = QueryAs<false>(from, to);
    return m_bHeading && e.fMax - e.fMin > 180 ? QueryAs<true>(from, to) : e;
}
