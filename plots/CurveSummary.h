// Minimum and maximum of a curve's values over any range of records, in time
// that grows with the logarithm of the range: blocks of 16 records, blocks of
// 16 blocks, and so on, each keeping its extremes. The analysis curves use it
// to draw a pixel column of millions of records without visiting them; it
// costs about half a byte a record.
#pragma once

#include "plots/Samples.h"

#include <cstdint>
#include <vector>

class CCurveSummary {
public:
    struct Extremes {
        float fMin, fMax;
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

    // Widens lo/hi by the values of [from, to) at a level (0: the records).
    void Scan(std::uint32_t level, std::uint64_t from, std::uint64_t to, float& lo,
              float& hi) const;

    const std::vector<AnalysisSample>* m_pRecords = nullptr;
    const AnalysisSample* m_pData = nullptr;
    std::size_t m_nRecords = 0;
    float AnalysisSample::*m_field = nullptr;
    // m_levels[k]: the extremes of each block of 16^(k+1) records.
    std::vector<std::vector<Extremes>> m_levels;
};
