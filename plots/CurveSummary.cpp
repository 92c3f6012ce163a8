#include "plots/CurveSummary.h"

#include <algorithm>
#include <bit>
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
    const std::uint64_t block = 1u << kBlockShift, fan = 1u << kGroupShift;
    const std::uint64_t count = records.size();
    // The levels while they have two units or more (a last unit may be short).
    std::vector<std::uint64_t> counts;
    for (std::uint64_t c = (count + block - 1) >> kBlockShift; c > 1;
         c = (c + fan - 1) >> kGroupShift)
        counts.push_back(c);
    if (counts.empty())
        return;
    std::uint64_t total = 0;
    for (std::uint64_t c : counts)
        total += c;
    const std::uint64_t above = total - counts[0]; // units above the blocks
    const std::size_t pairBytes = total * sizeof(Pair), aroundBytes = total * sizeof(Around);
    const std::size_t spanBytes = above * kSpanLevels * sizeof(Pair);
    const std::size_t bytes = pairBytes + aroundBytes + spanBytes +
                              (heading ? pairBytes + total : 0); // steps last: bytes
    auto* memory = static_cast<std::byte*>(std::malloc(bytes));
    if (!memory)
        throw std::bad_alloc();
    m_memory.reset(memory);
    auto* values = reinterpret_cast<Pair*>(memory);
    auto* around = reinterpret_cast<Around*>(memory + pairBytes);
    auto* spans = reinterpret_cast<Pair*>(memory + pairBytes + aroundBytes);
    auto* sides = reinterpret_cast<Pair*>(memory + pairBytes + aroundBytes + spanBytes);
    auto* steps = reinterpret_cast<std::uint8_t*>(memory + 2 * pairBytes + aroundBytes + spanBytes);
    for (std::uint64_t c : counts) {
        Level level;
        level.count = c;
        level.values = values;
        level.around = around;
        values += c;
        around += c;
        if (!m_levels.empty()) {
            level.spans = spans;
            spans += c * kSpanLevels;
        }
        if (heading) {
            level.sides = sides;
            level.steps = steps;
            sides += c;
            steps += c;
        }
        m_levels.push_back(level);
    }
    // The blocks of 16 records; the step into a block's first record is the
    // block's own.
    const Level& blocks = m_levels[0];
    for (std::uint64_t b = 0; b < blocks.count; ++b) {
        const std::uint64_t from = b << kBlockShift;
        const std::uint64_t to = std::min<std::uint64_t>(count, from + block);
        CurveExtremes e;
        for (std::uint64_t i = from; i < to; ++i) {
            const float prev = i > 0 ? m_pData[i - 1].*field : 0;
            if (heading)
                AddToExtremes<true>(e, prev, m_pData[i].*field, i > 0);
            else
                AddToExtremes<false>(e, prev, m_pData[i].*field, i > 0);
        }
        blocks.values[b] = {e.fMin, e.fMax};
        if (heading) {
            blocks.sides[b] = {e.fBelow, e.fAbove};
            blocks.steps[b] = e.nSteps;
        }
    }
    for (std::size_t k = 0; k < m_levels.size(); ++k) {
        const Level& level = m_levels[k];
        // Its values are whole (the level below's groups made them): its spans.
        if (level.spans) {
            for (unsigned j = 1; j <= kSpanLevels; ++j) {
                const Pair* shorter = SpanRow(level, j - 1);
                Pair* span = SpanRow(level, j);
                const std::uint64_t half = std::uint64_t{1} << (j - 1);
                for (std::uint64_t u = 0; u < level.count; ++u) {
                    const std::uint64_t groupEnd =
                        std::min(level.count, ((u >> kGroupShift) + 1) << kGroupShift);
                    span[u] = shorter[u];
                    if (u + half < groupEnd) {
                        span[u].a = std::min(span[u].a, shorter[u + half].a);
                        span[u].b = std::max(span[u].b, shorter[u + half].b);
                    }
                }
            }
        }
        // Each group's units: the extremes of those before, then of those after.
        for (std::uint64_t group = 0; group < level.count; group += fan) {
            const std::uint64_t end = std::min(level.count, group + fan);
            CurveExtremes seen;
            for (std::uint64_t u = group; u < end; ++u) {
                level.around[u].before = {seen.fMin, seen.fMax};
                Widen(seen, level.values[u].a, level.values[u].b);
            }
            seen = {};
            for (std::uint64_t u = end; u-- > group;) {
                level.around[u].after = {seen.fMin, seen.fMax};
                Widen(seen, level.values[u].a, level.values[u].b);
            }
            if (k + 1 < m_levels.size()) {
                const Level& up = m_levels[k + 1];
                const std::uint64_t parent = group >> kGroupShift;
                CurveExtremes whole;
                AddUnits<true>(level, group, end, whole);
                up.values[parent] = {whole.fMin, whole.fMax};
                if (heading) {
                    up.sides[parent] = {whole.fBelow, whole.fAbove};
                    up.steps[parent] = whole.nSteps;
                }
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
    if constexpr (!kHeading) {
        // Four runs of comparisons side by side: each waits on its own last.
        CurveExtremes more[3];
        std::uint64_t i = from;
        for (; i + 3 < to; i += 4) {
            AddToExtremes<false>(e, 0, data[i].*field, false);
            AddToExtremes<false>(more[0], 0, data[i + 1].*field, false);
            AddToExtremes<false>(more[1], 0, data[i + 2].*field, false);
            AddToExtremes<false>(more[2], 0, data[i + 3].*field, false);
        }
        for (; i < to; ++i)
            AddToExtremes<false>(e, 0, data[i].*field, false);
        for (const CurveExtremes& m : more)
            Widen(e, m.fMin, m.fMax);
    } else {
        float prev = data[from - 1].*field; // from > 0: a query's first record is its own
        for (std::uint64_t i = from; i < to; ++i) {
            const float v = data[i].*field;
            AddToExtremes<true>(e, prev, v, true);
            prev = v;
        }
    }
}

template <bool kHeading>
void CCurveSummary::AddUnits(const Level& level, std::uint64_t from, std::uint64_t to,
                             CurveExtremes& e) {
    if constexpr (!kHeading) {
        // Two runs of comparisons side by side: each waits on its own last.
        CurveExtremes other;
        std::uint64_t u = from;
        for (; u + 1 < to; u += 2) {
            Widen(e, level.values[u].a, level.values[u].b);
            Widen(other, level.values[u + 1].a, level.values[u + 1].b);
        }
        if (u < to)
            Widen(e, level.values[u].a, level.values[u].b);
        Widen(e, other.fMin, other.fMax);
        return;
    }
    for (std::uint64_t u = from; u < to; ++u) {
        Widen(e, level.values[u].a, level.values[u].b);
        if constexpr (kHeading) {
            if (level.sides) {
                WidenHeading(e, level.sides[u].a, level.sides[u].b);
                e.nSteps |= level.steps[u];
            }
        }
    }
}

void CCurveSummary::AddSpans(const Level& level, std::uint64_t from, std::uint64_t to,
                             CurveExtremes& e) {
    if (from >= to)
        return;
    // Two spans of 2^j units, from either end, cover them.
    const auto j = static_cast<unsigned>(std::bit_width(to - from) - 1);
    const Pair* span = SpanRow(level, j);
    const Pair first = span[from], last = span[to - (std::uint64_t{1} << j)];
    Widen(e, first.a, first.b);
    Widen(e, last.a, last.b);
}

template <bool kHeading>
CurveExtremes CCurveSummary::QueryAs(std::uint64_t from, std::uint64_t to) const {
    // The first record alone (its step from the one before is outside the
    // range), then the rest; the order does not matter.
    CurveExtremes e;
    AddToExtremes<kHeading>(e, 0, m_pData[from].*m_field, false);
    ++from;
    if (from >= to)
        return e;
    const std::uint64_t last = to - 1;
    if (InOneBlock(from, to) || m_levels.empty()) {
        ScanRecords<kHeading>(from, to, e);
        return e;
    }
    ScanRecords<kHeading>(from, BlockEnd(from), e);
    ScanRecords<kHeading>(BlockStart(last), to, e);
    AddLevels<kHeading>(from, last, e);
    return e;
}

template <bool kHeading>
void CCurveSummary::AddLevels(std::uint64_t from, std::uint64_t last, CurveExtremes& e) const {
    // The highest level whose units at the two ends differ: below it, each
    // end takes the units of its group on the range's side; at it, the units
    // between the two ends' are whole.
    const std::uint64_t apart = (from ^ last) >> kBlockShift;
    const std::size_t top = static_cast<std::size_t>(std::bit_width(apart) - 1) / kGroupShift;
    CurveExtremes other;
    for (std::size_t k = 0; k < top; ++k) {
        const Level& level = m_levels[k];
        const unsigned shift = LevelShift(k);
        const std::uint64_t first = from >> shift, end = last >> shift;
        const Pair after = level.around[first].after, before = level.around[end].before;
        Widen(e, after.a, after.b);
        Widen(other, before.a, before.b);
        if constexpr (kHeading) {
            const std::uint64_t fan = 1u << kGroupShift;
            AddUnits<true>(level, first + 1,
                           std::min(level.count, ((first >> kGroupShift) + 1) << kGroupShift), e);
            AddUnits<true>(level, end & ~(fan - 1), end, e);
        }
    }
    const unsigned shift = LevelShift(top);
    if (!kHeading && top > 0)
        AddSpans(m_levels[top], (from >> shift) + 1, last >> shift, other);
    else
        AddUnits<kHeading>(m_levels[top], (from >> shift) + 1, last >> shift, other);
    Widen(e, other.fMin, other.fMax);
    if constexpr (kHeading) {
        WidenHeading(e, other.fBelow, other.fAbove);
        e.nSteps |= other.nSteps;
    }
}

CurveExtremes CCurveSummary::QueryBetweenEnds(std::uint64_t from, std::uint64_t to, float lo,
                                              float hi) const {
    CurveExtremes e;
    e.fMin = lo;
    e.fMax = hi;
    // An end on a block's edge: that end's block is whole within the range.
    const Level& blocks = m_levels[0];
    if (from == BlockStart(from))
        Widen(e, blocks.values[from >> kBlockShift].a, blocks.values[from >> kBlockShift].b);
    if (to == BlockStart(to))
        Widen(e, blocks.values[(to - 1) >> kBlockShift].a,
              blocks.values[(to - 1) >> kBlockShift].b);
    AddLevels<false>(from, to - 1, e);
    return e;
}

void CCurveSummary::PrefetchLevels(std::uint64_t from, std::uint64_t to) const {
    // What AddLevels reads at the range's first edge (its last edge is where
    // the next range starts): the groups' look-ups below the highest level,
    // the whole units' first (or the two spans of them) at it.
    if (m_levels.empty() || InOneBlock(from, to))
        return;
    const std::size_t top =
        static_cast<std::size_t>(std::bit_width((from ^ (to - 1)) >> kBlockShift) - 1) /
        kGroupShift;
    for (std::size_t k = 0; k < top; ++k)
        __builtin_prefetch(m_levels[k].around + (from >> LevelShift(k)));
    if (from == BlockStart(from))
        __builtin_prefetch(m_levels[0].values + (from >> kBlockShift));
    if (to == BlockStart(to))
        __builtin_prefetch(m_levels[0].values + ((to - 1) >> kBlockShift));
    const Level& level = m_levels[top];
    const std::uint64_t first = (from >> LevelShift(top)) + 1, end = (to - 1) >> LevelShift(top);
    if (top == 0 || end <= first) {
        __builtin_prefetch(level.values + first);
    } else {
        const auto j = static_cast<unsigned>(std::bit_width(end - first) - 1);
        __builtin_prefetch(SpanRow(level, j) + first);
        __builtin_prefetch(SpanRow(level, j) + end - (std::uint64_t{1} << j));
    }
}

void CCurveSummary::Prefetch(std::uint64_t edge) const {
    if (edge >= m_nRecords)
        return;
    const char* first = reinterpret_cast<const char*>(m_pData + BlockStart(edge));
    const char* end = reinterpret_cast<const char*>(
        m_pData + std::min<std::uint64_t>(m_nRecords, BlockEnd(edge)));
    for (const char* p = first; p < end; p += 64)
        __builtin_prefetch(p);
    __builtin_prefetch(end - 1);
    constexpr std::size_t kLowest = 2;
    for (std::size_t k = 0; k < std::min(kLowest, m_levels.size()); ++k) {
        const std::uint64_t at = edge >> LevelShift(k);
        __builtin_prefetch(m_levels[k].around + at);
        __builtin_prefetch(m_levels[k].values + at);
    }
}

CurveExtremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    // Most columns of a heading span less than half a turn: their extremes
    // alone are looked for first.
    const CurveExtremes e = QueryAs<false>(from, to);
    return m_bHeading && e.fMax - e.fMin > 180 ? QueryAs<true>(from, to) : e;
}
