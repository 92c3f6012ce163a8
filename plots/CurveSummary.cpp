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
    while ((count >> kShift) > 0) {
        const std::uint64_t blocks = (count + block - 1) >> kShift;
        Level level;
        level.value.resize(blocks);
        level.lowAt.resize(blocks);
        level.highAt.resize(blocks);
        const Level* below = m_levels.empty() ? nullptr : &m_levels.back();
        for (std::uint64_t b = 0; b < blocks; ++b) {
            const std::uint64_t from = b << kShift;
            const std::uint64_t to = std::min<std::uint64_t>(count, from + block);
            std::uint64_t lowAt = from, highAt = from;
            if (!below) {
                // Straight over the records: the one pass that touches them all.
                float low = m_pData[from].*field, high = low;
                for (std::uint64_t i = from + 1; i < to; ++i) {
                    const float v = m_pData[i].*field;
                    if (v < low)
                        low = v, lowAt = i;
                    if (v > high)
                        high = v, highAt = i;
                }
                level.value[b] = {low, high};
                level.lowAt[b] = static_cast<std::uint32_t>(lowAt);
                level.highAt[b] = static_cast<std::uint32_t>(highAt);
            } else {
                for (std::uint64_t i = from + 1; i < to; ++i) {
                    if (below->value[i].low < below->value[lowAt].low)
                        lowAt = i;
                    if (below->value[i].high > below->value[highAt].high)
                        highAt = i;
                }
                level.value[b] = {below->value[lowAt].low, below->value[highAt].high};
                level.lowAt[b] = below->lowAt[lowAt];
                level.highAt[b] = below->highAt[highAt];
            }
        }
        m_levels.push_back(std::move(level));
        count = blocks;
    }
}

void CCurveSummary::Extent(const Span& span, float& low, float& high) const {
    // Local running values: through the references every step would store.
    float lo = low, hi = high;
    if (span.level == 0) {
        for (std::uint64_t i = span.from; i < span.to; ++i) {
            const float v = m_pData[i].*m_field;
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
    } else {
        const Range* values = m_levels[span.level - 1].value.data();
        for (std::uint64_t i = span.from; i < span.to; ++i) {
            lo = values[i].low < lo ? values[i].low : lo;
            hi = values[i].high > hi ? values[i].high : hi;
        }
    }
    low = lo, high = hi;
}

std::uint32_t CCurveSummary::PositionOf(const Span& span, float value, bool lowest) const {
    std::uint64_t i = span.from;
    if (span.level == 0) {
        while (i + 1 < span.to && m_pData[i].*m_field != value)
            ++i;
        return static_cast<std::uint32_t>(i);
    }
    const Level& level = m_levels[span.level - 1];
    while (i + 1 < span.to && (lowest ? level.value[i].low : level.value[i].high) != value)
        ++i;
    return lowest ? level.lowAt[i] : level.highAt[i];
}

CCurveSummary::Extremes CCurveSummary::Query(std::uint64_t from, std::uint64_t to) const {
    // The range splits into runs at rising levels on its left, one run at the
    // top, and runs at falling levels on its right; visited in record order,
    // so the first run to hold an extreme holds its first record.
    Span spans[2 * 16 + 1];
    int left = 0, right = 0;
    Span rights[16];
    const std::uint64_t block = 1u << kShift;
    std::uint32_t level = 0;
    for (;; ++level) {
        const std::uint64_t firstWhole = (from + block - 1) & ~(block - 1);
        const std::uint64_t lastWhole = to & ~(block - 1);
        if (level >= m_levels.size() || firstWhole >= lastWhole) {
            spans[left++] = {level, from, to};
            break;
        }
        if (from < firstWhole)
            spans[left++] = {level, from, firstWhole};
        if (lastWhole < to)
            rights[right++] = {level, lastWhole, to};
        from = firstWhole >> kShift;
        to = lastWhole >> kShift;
    }
    while (right > 0)
        spans[left++] = rights[--right];

    float low = 0, high = 0;
    int lowIn = -1, highIn = -1;
    for (int k = 0; k < left; ++k) {
        float spanLow, spanHigh;
        const Span& span = spans[k];
        if (span.level == 0) {
            spanLow = spanHigh = m_pData[span.from].*m_field;
        } else {
            const Range& first = m_levels[span.level - 1].value[span.from];
            spanLow = first.low, spanHigh = first.high;
        }
        Extent(span, spanLow, spanHigh);
        if (lowIn < 0 || spanLow < low)
            low = spanLow, lowIn = k;
        if (highIn < 0 || spanHigh > high)
            high = spanHigh, highIn = k;
    }
    return {low, high, PositionOf(spans[lowIn], low, true), PositionOf(spans[highIn], high, false)};
}
