#include "plots/CurveSummary.h"

#include "plots/LargePages.h"

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

CSummaryLayout::CSummaryLayout(std::uint64_t nRecords) {
    // The levels while they have two units or more (a last unit may be
    // short): all their values, then all their surroundings, then the spans.
    const std::uint64_t block = 1u << kBlockShift, fan = 1u << kGroupShift;
    for (std::uint64_t c = (nRecords + block - 1) >> kBlockShift; c > 1;
         c = (c + fan - 1) >> kGroupShift)
        m_levels.push_back({c, 0, 0, 0});
    std::uint64_t at = 0;
    for (Level& level : m_levels) {
        level.values = at;
        at += level.count;
    }
    for (Level& level : m_levels) {
        level.around = at;
        at += 2 * level.count;
    }
    for (std::size_t k = 1; k < m_levels.size(); ++k) {
        m_levels[k].spans = at;
        at += kSpanLevels * m_levels[k].count;
    }
    m_nPairs = at;
}

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
    m_layout = CSummaryLayout(count);
    if (m_layout.Levels().empty())
        return;
    std::uint64_t total = 0;
    for (const CSummaryLayout::Level& level : m_layout.Levels())
        total += level.count;
    const std::size_t pairBytes = m_layout.Pairs() * sizeof(Pair);
    const std::size_t bytes = pairBytes + (heading ? total * sizeof(Pair) + total : 0);
    auto* memory = static_cast<std::byte*>(AllocateLarge(bytes));
    if (!memory)
        throw std::bad_alloc();
    m_memory.reset(memory);
    auto* pairs = reinterpret_cast<Pair*>(memory);
    static_assert(sizeof(Around) == 2 * sizeof(Pair));
    auto* sides = reinterpret_cast<Pair*>(memory + pairBytes); // a heading's, then its steps
    auto* steps = reinterpret_cast<std::uint8_t*>(memory + pairBytes + total * sizeof(Pair));
    for (const CSummaryLayout::Level& place : m_layout.Levels()) {
        Level level;
        level.count = place.count;
        level.values = pairs + place.values;
        level.around = reinterpret_cast<Around*>(pairs + place.around);
        level.spans = place.spans ? pairs + place.spans : nullptr;
        if (heading) {
            level.sides = sides;
            level.steps = steps;
            sides += place.count;
            steps += place.count;
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
    Read reads[CSummaryLayout::kMaxReads];
    WidenBy(reads, reads + m_layout.LevelReads(from, last, reads), e);
    if constexpr (kHeading) {
        // The sides and steps of the same units, one by one (the spans keep
        // no sides).
        const std::uint64_t apart = (from ^ last) >> kBlockShift;
        const std::size_t top = static_cast<std::size_t>(std::bit_width(apart) - 1) / kGroupShift;
        const std::uint64_t fan = 1u << kGroupShift;
        for (std::size_t k = 0; k < top; ++k) {
            const Level& level = m_levels[k];
            const std::uint64_t first = from >> LevelShift(k), end = last >> LevelShift(k);
            AddUnits<true>(level, first + 1,
                           std::min(level.count, ((first >> kGroupShift) + 1) << kGroupShift), e);
            AddUnits<true>(level, end & ~(fan - 1), end, e);
        }
        const unsigned shift = LevelShift(top);
        AddUnits<true>(m_levels[top], (from >> shift) + 1, last >> shift, e);
    }
}

void CCurveSummary::WidenBy(const Read* from, const Read* to, CurveExtremes& e) const {
    if (from == to)
        return;
    const auto* pairs = reinterpret_cast<const Pair*>(m_memory.get());
    // Single pairs but the last look-up, which may be a run of them.
    for (--to; from < to; ++from)
        Widen(e, pairs[*from].a, pairs[*from].b);
    constexpr Read kPlace = (Read{1} << CSummaryLayout::kCountShift) - 1;
    const Pair* run = pairs + (*to & kPlace);
    const Read count = (*to >> CSummaryLayout::kCountShift) + 1;
    // Two runs of comparisons side by side: each waits on its own last.
    CurveExtremes other;
    Widen(e, run->a, run->b);
    for (Read i = 1; i < count; ++i)
        Widen(other, run[i].a, run[i].b);
    Widen(e, other.fMin, other.fMax);
}

CurveExtremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    // Most columns of a heading span less than half a turn: their extremes
    // alone are looked for first.
    const CurveExtremes e = QueryAs<false>(from, to);
    return m_bHeading && e.fMax - e.fMin > 180 ? QueryAs<true>(from, to) : e;
}
