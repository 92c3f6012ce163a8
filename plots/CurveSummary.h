// Minimum and maximum of a curve's values over any range of records, in time
// that grows with the logarithm of the range: blocks of 16 records, blocks of
// 16 blocks, and so on, each keeping its extremes and where they lie. The
// analysis curves use it to draw a pixel column of millions of records without
// visiting them; it costs about a byte a record.
#pragma once

#include "plots/Samples.h"

#include <cstdint>
#include <vector>

class CCurveSummary {
public:
    struct Extremes {
        float fMin, fMax;
        std::uint32_t nMinAt, nMaxAt; // first record holding each
    };

    void Build(const std::vector<AnalysisSample>& records, float AnalysisSample::*field);
    void Clear() {
        m_levels.clear();
        m_pRecords = nullptr;
    }
    bool IsBuiltFor(const std::vector<AnalysisSample>& records) const {
        return m_pRecords == &records && m_nRecords == records.size() && m_pData == records.data();
    }
    // Extremes over records [from, to), from < to.
    Extremes Query(std::uint64_t from, std::uint64_t to) const;

private:
    static constexpr unsigned kShift = 4; // 16 per block
    // One level's blocks, each array indexed by block: values apart from
    // positions, so a range's extremes are found in few cache lines and the
    // positions looked up once at the end.
    struct Range {
        float low, high;
    };
    struct Level {
        std::vector<Range> value;
        std::vector<std::uint32_t> lowAt, highAt;
    };
    // A run of elements of one level (level 0: records; level k: the blocks
    // of m_levels[k - 1]).
    struct Span {
        std::uint32_t level;
        std::uint64_t from, to;
    };
    void Extent(const Span& span, float& low, float& high) const;
    std::uint32_t PositionOf(const Span& span, float value, bool lowest) const;

    const std::vector<AnalysisSample>* m_pRecords = nullptr;
    const AnalysisSample* m_pData = nullptr;
    std::size_t m_nRecords = 0;
    float AnalysisSample::*m_field = nullptr;
    std::vector<Level> m_levels; // m_levels[k]: blocks of 16^(k+1) records
};
