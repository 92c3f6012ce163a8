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

namespace {

// Widens low/high by the extremes of elements [from, to), which low(i) and
// high(i) give. Two running pairs kept in registers, so that each comparison
// waits on the one two steps back rather than the last.
template <class Low, class High>
void Widen(std::uint64_t from, std::uint64_t to, Low low, High high, float& lowest,
           float& highest) {
    float lo[2] = {lowest, lowest}, hi[2] = {highest, highest};
    std::uint64_t i = from;
    for (; i + 1 < to; i += 2) {
        for (int k = 0; k < 2; ++k) {
            const float l = low(i + k), h = high(i + k);
            lo[k] = l < lo[k] ? l : lo[k];
            hi[k] = h > hi[k] ? h : hi[k];
        }
    }
    if (i < to) {
        const float l = low(i), h = high(i);
        lo[0] = l < lo[0] ? l : lo[0];
        hi[0] = h > hi[0] ? h : hi[0];
    }
    lowest = lo[1] < lo[0] ? lo[1] : lo[0];
    highest = hi[1] > hi[0] ? hi[1] : hi[0];
}

} // namespace

void CCurveSummary::Scan(std::uint32_t level, std::uint64_t from, std::uint64_t to, float& low,
                         float& high) const {
    if (level == 0) {
        const AnalysisSample* data = m_pData;
        const auto field = m_field;
        auto value = [&](std::uint64_t i) { return data[i].*field; };
        Widen(from, to, value, value, low, high);
    } else {
        const Extremes* values = m_levels[level - 1].data();
        Widen(
            from, to, [&](std::uint64_t i) { return values[i].fMin; },
            [&](std::uint64_t i) { return values[i].fMax; }, low, high);
    }
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
