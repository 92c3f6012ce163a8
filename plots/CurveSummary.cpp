#include "plots/CurveSummary.h"

#include <algorithm>

void CCurveSummary::Build(const std::vector<AnalysisSample>& records,
                          float AnalysisSample::*field) {
    m_pRecords = &records;
    m_pData = records.data();
    m_nRecords = records.size();
    m_field = field;
    m_levels.clear();
    const std::uint64_t block = 1u << kShift;
    std::uint64_t count = records.size();
    for (std::uint32_t level = 0; (count >> kShift) > 0; ++level) {
        const std::uint64_t blocks = (count + block - 1) >> kShift;
        std::vector<Extremes> extremes(blocks);
        for (std::uint64_t b = 0; b < blocks; ++b) {
            const std::uint64_t from = b << kShift;
            const std::uint64_t to = std::min<std::uint64_t>(count, from + block);
            float lo, hi;
            if (level == 0) {
                lo = hi = m_pData[from].*field;
            } else {
                lo = m_levels.back()[from].fMin;
                hi = m_levels.back()[from].fMax;
            }
            Scan(level, from + 1, to, lo, hi);
            extremes[b] = {lo, hi};
        }
        m_levels.push_back(std::move(extremes));
        count = blocks;
    }
}

void CCurveSummary::Scan(std::uint32_t level, std::uint64_t from, std::uint64_t to, float& low,
                         float& high) const {
    // Two running pairs, kept in registers, so that each comparison waits on
    // the one two steps back rather than the last.
    float lo[2] = {low, low}, hi[2] = {high, high};
    if (level == 0) {
        const auto field = m_field;
        const AnalysisSample* data = m_pData;
        std::uint64_t i = from;
        for (; i + 1 < to; i += 2) {
            for (int k = 0; k < 2; ++k) {
                const float v = data[i + k].*field;
                lo[k] = v < lo[k] ? v : lo[k];
                hi[k] = v > hi[k] ? v : hi[k];
            }
        }
        if (i < to) {
            const float v = data[i].*field;
            lo[0] = v < lo[0] ? v : lo[0];
            hi[0] = v > hi[0] ? v : hi[0];
        }
    } else {
        const Extremes* values = m_levels[level - 1].data();
        std::uint64_t i = from;
        for (; i + 1 < to; i += 2) {
            for (int k = 0; k < 2; ++k) {
                lo[k] = values[i + k].fMin < lo[k] ? values[i + k].fMin : lo[k];
                hi[k] = values[i + k].fMax > hi[k] ? values[i + k].fMax : hi[k];
            }
        }
        if (i < to) {
            lo[0] = values[i].fMin < lo[0] ? values[i].fMin : lo[0];
            hi[0] = values[i].fMax > hi[0] ? values[i].fMax : hi[0];
        }
    }
    low = lo[1] < lo[0] ? lo[1] : lo[0];
    high = hi[1] > hi[0] ? hi[1] : hi[0];
}

CCurveSummary::Extremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    // The range splits into runs at rising levels at its two ends and one
    // run at the top; the order they are visited in does not matter.
    float lo = m_pData[from].*m_field, hi = lo;
    const std::uint64_t block = 1u << kShift;
    const auto levels = static_cast<std::uint32_t>(m_levels.size());
    for (std::uint32_t level = 0;; ++level) {
        const std::uint64_t firstWhole = (from + block - 1) & ~(block - 1);
        const std::uint64_t lastWhole = to & ~(block - 1);
        if (level >= levels || firstWhole >= lastWhole) {
            Scan(level, from, to, lo, hi);
            break;
        }
        Scan(level, from, firstWhole, lo, hi);
        Scan(level, lastWhole, to, lo, hi);
        from = firstWhole >> kShift;
        to = lastWhole >> kShift;
    }
    return {lo, hi};
}
