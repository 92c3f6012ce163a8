// Extremes of a curve's values over any range of records, in time that grows
// with the logarithm of the range, built on the loading thread: blocks of 16
// records, groups of 64 blocks, groups of 64 groups and so on. Each unit
// keeps its own extremes and those of the units before and after it in its
// group, so that a range's edge costs one look-up a level: a pixel column of
// millions of records is drawn from the records at its ends (at most 15 at
// either), a look-up or two and the whole units between. It costs 1.6 bytes
// a record (a heading 2.2: it also keeps what a column crossing north needs).
#pragma once

#include "plots/HeadingWrap.h"
#include "plots/Samples.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

// What a run of records holds, for drawing it in one pixel column.
struct CurveExtremes {
    static constexpr std::uint8_t kNorth = 1; // a step between neighbours crossed north
    static constexpr std::uint8_t kSouth = 2; // ... crossed south (headings only)
    static constexpr float kNone = std::numeric_limits<float>::infinity();

    float fMin = kNone, fMax = -kNone; // of the values received; fMin > fMax: none
    // Headings only: the highest value under 180 and the lowest from 180 up.
    float fBelow = -kNone, fAbove = kNone;
    std::uint8_t nSteps = 0;

    bool Received() const { return fMin <= fMax; }
    bool operator==(const CurveExtremes&) const = default;
};

// Widens e by the value v of a record, and by its step from the record
// before (prev) when stepped. NaN compares false throughout: it widens
// nothing and makes no step.
template <bool kHeading>
inline void AddToExtremes(CurveExtremes& e, float prev, float v, bool stepped) {
    e.fMin = v < e.fMin ? v : e.fMin;
    e.fMax = v > e.fMax ? v : e.fMax;
    if constexpr (kHeading) {
        std::uint8_t steps = 0;
        e.fBelow = v < 180 && v > e.fBelow ? v : e.fBelow;
        e.fAbove = v >= 180 && v < e.fAbove ? v : e.fAbove;
        if (stepped) {
            steps |= StepBetweenHeadings(prev, v).bNorth ? CurveExtremes::kNorth : 0;
            steps |= std::fabs(AboutNorth(v) - AboutNorth(prev)) > 180 ? CurveExtremes::kSouth : 0;
        }
        e.nSteps |= steps;
    }
}

// Headings whose values span no more than half a turn cannot have stepped
// across north: what is kept of their sides and steps is then left out, so
// that a summary need not look for it.
inline void SettleHeading(CurveExtremes& e) {
    if (!(e.fMax - e.fMin > 180)) {
        e.fBelow = -CurveExtremes::kNone;
        e.fAbove = CurveExtremes::kNone;
        e.nSteps = 0;
    }
}

// The extremes of records [from, to) read one by one (a heading's settled):
// what the summary answers, and what the curves gather per column.
CurveExtremes ScanExtremes(const AnalysisSample* records, float AnalysisSample::*field,
                           std::uint64_t from, std::uint64_t to, bool heading);

// Where a summary of n records keeps its units' extremes: pairs (minimum,
// maximum) counted from the start of its memory, laid out alike in every
// summary of n records. So a picture's columns find where their look-ups are
// once, and each curve's summary reads them (CCurveSummary::WidenBy).
class CSummaryLayout {
public:
    // A look-up: the place of a pair and, above kCountShift, how many more
    // pairs from it are read (0 to 62: never a whole group). Of a range's
    // look-ups only the last may be more than one pair.
    using Read = std::uint64_t;
    static constexpr unsigned kCountShift = 58;
    static constexpr std::size_t kMaxReads = 24; // of one range, at 2^64 records

    static constexpr unsigned kBlockShift = 4; // 16 records to a block
    static constexpr unsigned kGroupShift = 6; // 64 units to a group
    // Above the blocks, each unit also keeps the extremes of the 2, 4, .., 32
    // units from it within its group (2^j units in row j, fewer where the
    // group ends first), so that whole units between a range's ends there
    // take two look-ups, not one a unit.
    static constexpr unsigned kSpanLevels = kGroupShift - 1;
    // From a record's index to its unit's at level k.
    static constexpr unsigned LevelShift(std::size_t k) {
        return kBlockShift + kGroupShift * static_cast<unsigned>(k);
    }

    // Units of 16 * 64^k records, while there are two or more: each one's
    // own extremes (values), those of the units before and after it in its
    // group (around: two pairs a unit), and above the blocks its spans' (rows
    // of count pairs, 2^1 .. 2^5 units).
    struct Level {
        std::uint64_t count = 0, values = 0, around = 0, spans = 0;
        std::uint64_t SpanRow(unsigned j) const {
            return j == 0 ? values : spans + (j - 1) * count;
        }
    };

    explicit CSummaryLayout(std::uint64_t nRecords = 0);
    const std::vector<Level>& Levels() const { return m_levels; }
    std::uint64_t Pairs() const { return m_nPairs; }

    // The look-ups of the whole units between records from and last, which
    // are in different blocks, and below the highest level where they differ
    // of those of their groups on the range's side; at out, their number
    // returned.
    std::size_t LevelReads(std::uint64_t from, std::uint64_t last, Read* out) const;
    // The look-ups of the minimum and maximum of records [from, to) whose
    // first and last are in different blocks, besides the records from
    // `from` to the end of its block and from the start of the last's block
    // to `to`: those between, and an end's whole block where the end is on a
    // block's edge (from or to a multiple of 16). No record is read.
    std::size_t ReadsBetweenEnds(std::uint64_t from, std::uint64_t to, Read* out) const;

private:
    std::uint64_t m_nPairs = 0;
    std::vector<Level> m_levels;
};

// Worked out for every column of every picture, so defined here.
inline std::size_t CSummaryLayout::LevelReads(std::uint64_t from, std::uint64_t last,
                                              Read* out) const {
    // The highest level whose units at the two ends differ: below it, each
    // end takes the units of its group on the range's side; at it, the units
    // between the two ends' are whole.
    std::uint64_t first = from >> kBlockShift, end = last >> kBlockShift;
    const auto top = static_cast<std::size_t>(std::bit_width(first ^ end) - 1) / kGroupShift;
    const Level* level = m_levels.data();
    Read* at = out;
    for (std::size_t k = 0; k < top; ++k, ++level) {
        at[0] = level->around + 2 * first + 1; // after the first's
        at[1] = level->around + 2 * end;       // before the last's
        at += 2;
        first >>= kGroupShift;
        end >>= kGroupShift;
    }
    ++first;
    if (first < end) {
        if (top == 0) {
            *at++ = (level->values + first) | (end - first - 1) << kCountShift;
        } else {
            // Two spans of 2^j units, from either end, cover them.
            const auto j = static_cast<unsigned>(std::bit_width(end - first) - 1);
            at[0] = level->SpanRow(j) + first;
            at[1] = level->SpanRow(j) + end - (std::uint64_t{1} << j);
            at += 2;
        }
    }
    return static_cast<std::size_t>(at - out);
}

inline std::size_t CSummaryLayout::ReadsBetweenEnds(std::uint64_t from, std::uint64_t to,
                                                    Read* out) const {
    // An end on a block's edge has its whole block in the range: the units
    // between the blocks either side of it are looked up, which hold it,
    // where there is such a block; else the block's own extremes.
    std::size_t n = 0;
    const Level& blocks = m_levels[0];
    constexpr std::uint64_t block = 1u << kBlockShift;
    std::uint64_t first = from, last = to - 1;
    if (from % block == 0) {
        if (from >= block)
            first = from - block;
        else
            out[n++] = blocks.values + (from >> kBlockShift);
    }
    if (to % block == 0) {
        if ((to >> kBlockShift) < blocks.count)
            last = to - 1 + block;
        else
            out[n++] = blocks.values + ((to - 1) >> kBlockShift);
    }
    return n + LevelReads(first, last, out + n);
}

class CCurveSummary {
public:
    using Read = CSummaryLayout::Read;
    // heading: the values are headings, whose steps across north and south count.
    void Build(const std::vector<AnalysisSample>& records, float AnalysisSample::*field,
               bool heading = false);
    void Clear() {
        m_levels.clear();
        m_memory.reset();
        m_pRecords = nullptr;
    }
    bool IsBuiltFor(const std::vector<AnalysisSample>& records) const {
        return m_pRecords == &records && m_nRecords == records.size() && m_pData == records.data();
    }
    bool Heading() const { return m_bHeading; }
    // Extremes over records [from, to), from < to: ScanExtremes's answer.
    // A heading's sides and steps are looked for only where its values span
    // more than half a turn (SettleHeading).
    CurveExtremes Query(std::uint64_t from, std::uint64_t to) const;
    // Widens e's minimum and maximum by the look-ups [from, to) of this
    // summary's layout (CSummaryLayout::ReadsBetweenEnds). A heading's sides
    // and steps are not looked for.
    void WidenBy(const Read* from, const Read* to, CurveExtremes& e) const;
    // The layout's pairs as this summary holds them, minimum then maximum
    // (pair p at 2p): for a reader that widens by several curves' summaries
    // at each look-up.
    const float* PairValues() const { return reinterpret_cast<const float*>(m_memory.get()); }
    static bool InOneBlock(std::uint64_t from, std::uint64_t to) {
        return (from >> kBlockShift) == ((to - 1) >> kBlockShift);
    }
    static std::uint64_t BlockStart(std::uint64_t i) { return i >> kBlockShift << kBlockShift; }
    static std::uint64_t BlockEnd(std::uint64_t i) {
        return ((i >> kBlockShift) + 1) << kBlockShift;
    }

private:
    static constexpr unsigned kBlockShift = CSummaryLayout::kBlockShift;
    static constexpr unsigned kGroupShift = CSummaryLayout::kGroupShift;
    static constexpr unsigned kSpanLevels = CSummaryLayout::kSpanLevels;
    static constexpr unsigned LevelShift(std::size_t k) { return CSummaryLayout::LevelShift(k); }

    struct Pair {
        float a, b;
    };
    // The extremes of the units before one in its group and of those after.
    struct Around {
        Pair before, after;
    };
    // A level of the layout in this summary's memory; for headings also each
    // unit's values either side of 180 and the steps into its records (from
    // the record before each).
    struct Level {
        std::uint64_t count = 0;
        Pair* values = nullptr;
        Around* around = nullptr;
        Pair* spans = nullptr; // above the blocks
        Pair* sides = nullptr;
        std::uint8_t* steps = nullptr;
    };
    // The extremes of 2^j units from each unit of a level above the blocks
    // (j = 0: the units' own).
    static Pair* SpanRow(const Level& level, unsigned j) {
        return j == 0 ? level.values : level.spans + (j - 1) * level.count;
    }
    // Widens e by the records [from, to), each with its step from the one
    // before (from > 0).
    template <bool kHeading>
    void ScanRecords(std::uint64_t from, std::uint64_t to, CurveExtremes& e) const;
    // Widens e by the whole units [from, to) of a level (a heading's sides and
    // steps with kHeading).
    template <bool kHeading>
    static void AddUnits(const Level& level, std::uint64_t from, std::uint64_t to,
                         CurveExtremes& e);
    // Widens e by the whole units between records from and last, which are
    // in different blocks, and below its highest level by those of their
    // groups on the range's side.
    template <bool kHeading>
    void AddLevels(std::uint64_t from, std::uint64_t last, CurveExtremes& e) const;
    template <bool kHeading> CurveExtremes QueryAs(std::uint64_t from, std::uint64_t to) const;

    const std::vector<AnalysisSample>* m_pRecords = nullptr;
    const AnalysisSample* m_pData = nullptr;
    std::size_t m_nRecords = 0;
    float AnalysisSample::*m_field = nullptr;
    bool m_bHeading = false;
    CSummaryLayout m_layout;
    std::vector<Level> m_levels;
    // The levels, all in one piece: the layout's pairs, then a heading's
    // sides and steps.
    struct FreeMemory {
        void operator()(std::byte* p) const { std::free(p); }
    };
    std::unique_ptr<std::byte[], FreeMemory> m_memory;
};
