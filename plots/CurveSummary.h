// Extremes of a curve's values over any range of records, in time that grows
// with the logarithm of the range: blocks of 16 records, pairs of blocks,
// pairs of pairs and so on, each keeping its extremes, built on the loading
// thread. The analysis curves use it to draw a pixel column of millions of
// records without visiting them: at most the 15 records at either end are
// read, and one block a level at either end. It costs a byte a record (a
// heading 2.1 bytes: it also keeps what a column crossing north needs).
#pragma once

#include "plots/HeadingWrap.h"
#include "plots/Samples.h"

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

class CCurveSummary {
public:
    // heading: the values are headings, whose steps across north and south count.
    void Build(const std::vector<AnalysisSample>& records, float AnalysisSample::*field,
               bool heading = false);
    void Clear() {
        m_levels.clear();
        m_headingLevels.clear();
        m_stepLevels.clear();
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
    // Asks the processor to fetch, ahead of a Query, what it reads near a
    // range's edge: the records of the block holding it, and a block a level
    // (headings' sides and steps not: few queries need them).
    void Prefetch(std::uint64_t edge) const;

private:
    static constexpr unsigned kShift = 4; // 16 per block

    struct Pair {
        float a, b;
    };
    // Widens e by the records [from, to), each with its step from the one
    // before (from > 0).
    template <bool kHeading>
    void ScanRecords(std::uint64_t from, std::uint64_t to, CurveExtremes& e) const;
    // Widens e by the whole blocks [from, to) of 16 records.
    template <bool kHeading>
    void AddBlocks(std::uint64_t from, std::uint64_t to, CurveExtremes& e) const;
    template <bool kHeading> CurveExtremes QueryAs(std::uint64_t from, std::uint64_t to) const;

    const std::vector<AnalysisSample>* m_pRecords = nullptr;
    const AnalysisSample* m_pData = nullptr;
    std::size_t m_nRecords = 0;
    float AnalysisSample::*m_field = nullptr;
    bool m_bHeading = false;
    // Level k holds each block of 16 * 2^k records: its minimum and maximum,
    // and for headings the values either side of 180 and the steps into its
    // records (from the record before each).
    std::vector<Pair*> m_levels;
    std::vector<Pair*> m_headingLevels;
    std::vector<std::uint8_t*> m_stepLevels;
    // The levels, all in one piece.
    struct FreeMemory {
        void operator()(std::byte* p) const { std::free(p); }
    };
    std::unique_ptr<std::byte[], FreeMemory> m_memory;
};
