#include "plots/AnalysisCurves.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#include <limits>

namespace {

const CPen kHeadingPen{1, QColor(0, 255, 0)};
const CPen kPitchPen{1, QColor(128, 0, 128)};
const CPen kRollPen{1, QColor(255, 0, 0)};
const CPen kTickPen{1, QColor(0, 0, 0)};
const CPen kHeadingGridPen{1, QColor(192, 192, 192)};

// A scale label: 7 significant digits, a whole number with its decimal point
// ("0.", "0.1", "10.").
QString ScaleLabel(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value == 0 ? 0.0 : value);
    QString out = QString::fromLatin1(text);
    if (!out.contains('.') && !out.contains('e'))
        out += '.';
    return out;
}

// The last record in [i, to] whose pixel column is c (the columns of the
// records run monotonically). The column's far edge is found from the affine
// time mapping x = a * i + b, then checked against the exact mapping; where
// the estimate does not settle quickly, bisection decides.
// The column of the record after the one returned is left in next when it was
// looked at (INT_MIN otherwise).
template <class Column>
std::int64_t LastInColumn(std::int64_t i, std::int64_t to, int c, double a, double b,
                          const Column& column, int& next) {
    next = std::numeric_limits<int>::min();
    // Truncation toward zero: column c >= 0 is [c, c + 1) (column 0 is (-1, 1)),
    // column c < 0 is (c - 1, c].
    const double edge = a > 0 ? (c >= 0 ? c + 1.0 : c + 0.0) : (c > 0 ? c + 0.0 : c - 1.0);
    auto clampTo = [&](double v) {
        return static_cast<std::int64_t>(
            std::clamp(v, static_cast<double>(i), static_cast<double>(to)));
    };
    std::int64_t j = clampTo(std::floor((edge - b) / a));
    for (int step = 0; step < 4; ++step) {
        if (column(j) != c) {
            j = std::max(i, j - 1);
        } else if (j < to) {
            next = column(j + 1);
            if (next != c)
                return j;
            ++j;
        } else {
            return j;
        }
    }
    next = std::numeric_limits<int>::min();
    std::int64_t lo = i, hi = to;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo + 1) / 2;
        if (column(mid) == c)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// The pixel of an affine mapping (record to column, value to row) from its
// line through two points where that is clear of a pixel's edge by far more
// than the rounding of either, from the exact mapping where not: the same
// pixel as the exact mapping's, without its zoom chain for every value.
template <class Exact> class CPixelLine {
public:
    CPixelLine(Exact exact, double u0, double u1) : m_exact(exact) {
        const double v0 = m_exact(u0), v1 = m_exact(u1);
        m_a = u1 != u0 ? (v1 - v0) / (u1 - u0) : 0;
        m_b = v0 - m_a * u0;
    }
    int operator()(double u) const {
        const double v = m_a * u + m_b;
        if (std::fabs(v) < kNear) {
            // Truncated toward zero the same a little either side: no pixel
            // edge is near.
            const int low = static_cast<int>(v - kClear), high = static_cast<int>(v + kClear);
            if (low == high)
                return low;
        }
        return Pixel(m_exact(u));
    }
    // The pixels of four values at once, each as above.
    std::array<int, 4> operator()(float u0, float u1, float u2, float u3) const {
        std::array<int, 4> out;
#if defined(__SSE2__)
        const __m128d a = _mm_set1_pd(m_a), b = _mm_set1_pd(m_b);
        const __m128d near = _mm_set1_pd(kNear), clear = _mm_set1_pd(kClear);
        const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffff));
        const __m128d v01 = _mm_add_pd(_mm_mul_pd(a, _mm_setr_pd(u0, u1)), b);
        const __m128d v23 = _mm_add_pd(_mm_mul_pd(a, _mm_setr_pd(u2, u3)), b);
        const int inRange = _mm_movemask_pd(_mm_cmplt_pd(_mm_and_pd(v01, magnitude), near)) &
                            _mm_movemask_pd(_mm_cmplt_pd(_mm_and_pd(v23, magnitude), near));
        const __m128i low = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_sub_pd(v01, clear)),
                                               _mm_cvttpd_epi32(_mm_sub_pd(v23, clear)));
        const __m128i high = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_add_pd(v01, clear)),
                                                _mm_cvttpd_epi32(_mm_add_pd(v23, clear)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data()), low);
        if (inRange == 3 && _mm_movemask_epi8(_mm_cmpeq_epi32(low, high)) == 0xffff) [[likely]]
            return out;
#endif
        out = {(*this)(u0), (*this)(u1), (*this)(u2), (*this)(u3)};
        return out;
    }
    double Slope() const {
        return m_a;
    }
    double Offset() const {
        return m_b;
    }

private:
    static constexpr double kClear = 1e-6, kNear = 1e6;
    Exact m_exact;
    double m_a = 0, m_b = 0;
};

// The records whose pixels can reach a window of the given width, one more
// on either side (from > to: none), and the affine time mapping x = a * i + b.
struct WindowRecords {
    std::int64_t from = 0, to = -1;
    double a = 1, b = 0;
};

WindowRecords RecordsInWindow(const CPlotFrame& f, std::int64_t n, int width) {
    WindowRecords w;
    if (n <= 0)
        return w;
    auto mapX = [&](std::int64_t i) { return f.MapX(f.TimeX(static_cast<double>(i))); };
    w.b = mapX(0);
    w.a = n > 1 ? mapX(1) - w.b : 1.0;
    w.to = n - 1;
    if (w.a != 0) {
        double lo = (-2 - w.b) / w.a, hi = (width + 2 - w.b) / w.a;
        if (lo > hi)
            std::swap(lo, hi);
        w.from = static_cast<std::int64_t>(
            std::clamp(std::floor(lo) - 1, 0.0, static_cast<double>(n - 1)));
        w.to = static_cast<std::int64_t>(
            std::clamp(std::ceil(hi) + 1, 0.0, static_cast<double>(n - 1)));
    }
    return w;
}

// The pixel column of records from..to: the exact mapping's, from its line.
// Without a centre zoom the chain leaves x as it is (the same sum as MapX's),
// and the exact mapping is spared its call.
auto ColumnLine(const CPlotFrame& f, std::int64_t from, std::int64_t to) {
    const bool plain = !f.area && f.chain->Identity();
    return CPixelLine(
        [&f, plain](double i) { return plain ? f.TimeX(i) + f.panX : f.MapX(f.TimeX(i)); },
        static_cast<double>(from), static_cast<double>(to > from ? to : from + 1));
}

// Four floats side by side: the first four fields of a record, read at once.
using Lanes = float __attribute__((vector_size(16)));

Lanes LanesOf(const AnalysisSample& r) {
    Lanes v;
    static_assert(sizeof(AnalysisSample) >= sizeof(Lanes));
    std::memcpy(&v, &r, sizeof v);
    return v;
}

// The records of each run's two ends, read once for all the curves: a run
// edge's block of 16 records holds the end of one run and the start of the
// next. An edge on a block's boundary has whole blocks either side, which
// the summary has (CSummaryLayout::ReadsBetweenEnds): only its two records
// are read there.
// NaN widens nothing, as in AddToExtremes.
void GatherRunEnds(CColumnRuns& runs) {
    const std::size_t count = runs.x.size();
    runs.ends.reset(new CColumnRuns::Ends[count]);
    runs.nEnds = count;
    CColumnRuns::Ends* ends = runs.ends.get();
    const AnalysisSample* data = runs.pData;
    const auto n = static_cast<std::uint64_t>(runs.nRecords);
    constexpr float kNone = CurveExtremes::kNone;
    const Lanes none = {kNone, kNone, kNone, kNone};
    auto widen = [&](std::uint64_t from, std::uint64_t to, Lanes& lo, Lanes& hi) {
        // Two runs of comparisons side by side: each waits on its own last.
        Lanes lo2 = lo, hi2 = hi;
        std::uint64_t i = from;
        for (; i + 1 < to; i += 2) {
            const Lanes v = LanesOf(data[i]), w = LanesOf(data[i + 1]);
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
            lo2 = w < lo2 ? w : lo2;
            hi2 = w > hi2 ? w : hi2;
        }
        if (i < to) {
            const Lanes v = LanesOf(data[i]);
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
        lo = lo2 < lo ? lo2 : lo;
        hi = hi2 > hi ? hi2 : hi;
    };
    // The blocks at the edges are far apart: each is asked for a few ahead.
    constexpr std::size_t kAhead = 4;
    auto aligned = [](std::uint64_t edge) { return edge == CCurveSummary::BlockStart(edge); };
    auto prefetch = [&](std::size_t k) {
        const auto edge = static_cast<std::uint64_t>(runs.start[k]);
        const auto at = [&](std::uint64_t i) { return reinterpret_cast<const char*>(data + i); };
        if (aligned(edge)) {
            if (edge > 0)
                __builtin_prefetch(at(edge - 1));
            __builtin_prefetch(at(std::min(n, edge + 1)) - 1);
            return;
        }
        const char* end = at(std::min(n, CCurveSummary::BlockEnd(edge)));
        for (const char* p = at(CCurveSummary::BlockStart(edge - 1)); p < end; p += 64)
            __builtin_prefetch(p);
    };
    for (std::size_t k = 0; k < std::min(count + 1, kAhead); ++k)
        prefetch(k);
    // Edge k: run k - 1 ends there, run k starts there.
    Lanes endsMin = none, endsMax = -none;
    for (std::size_t k = 0; k <= count; ++k) {
        if (k + kAhead <= count)
            prefetch(k + kAhead);
        const auto edge = static_cast<std::uint64_t>(runs.start[k]);
        const bool whole = aligned(edge);
        if (k > 0) {
            if (!whole)
                widen(CCurveSummary::BlockStart(edge - 1), edge, endsMin, endsMax);
            std::memcpy(ends[k - 1].endMin, &endsMin, sizeof endsMin);
            std::memcpy(ends[k - 1].endMax, &endsMax, sizeof endsMax);
            std::memcpy(ends[k - 1].lastOf, data + edge - 1, sizeof(Lanes));
        }
        if (k < count) {
            std::memcpy(ends[k].firstOf, data + edge, sizeof(Lanes));
            endsMin = none;
            endsMax = -none;
            if (!whole)
                widen(edge, std::min(n, CCurveSummary::BlockEnd(edge)), endsMin, endsMax);
        }
    }
}

// Where the summaries' look-ups of each run are, once for all the curves.
void FindSummaryReads(CColumnRuns& runs) {
    const CSummaryLayout layout(runs.nRecords);
    const std::size_t count = runs.x.size();
    // A run's look-ups: two a level below the highest, two there, and its
    // ends' blocks.
    const std::size_t most = 2 * layout.Levels().size() + 2;
    if (layout.Levels().empty() || count * most >= std::numeric_limits<std::uint32_t>::max())
        return;
    runs.readsFrom.resize(count + 1);
    runs.reads.reset(new CSummaryLayout::Read[count * most]);
    CSummaryLayout::Read* reads = runs.reads.get();
    std::uint32_t n = 0;
    for (std::size_t k = 0; k < count; ++k) {
        runs.readsFrom[k] = n;
        const auto from = static_cast<std::uint64_t>(runs.start[k]);
        const auto to = static_cast<std::uint64_t>(runs.start[k + 1]);
        if (!CCurveSummary::InOneBlock(from, to))
            n += static_cast<std::uint32_t>(layout.ReadsBetweenEnds(from, to, reads + n));
    }
    runs.readsFrom[count] = n;
}

} // namespace

CColumnRuns ColumnRunsOf(const CPlotFrame& f, const std::vector<AnalysisSample>& records,
                         int width) {
    CColumnRuns runs;
    runs.pData = records.data();
    runs.nRecords = records.size();
    runs.nWidth = width;
    const auto n = static_cast<std::int64_t>(records.size());
    const WindowRecords w = RecordsInWindow(f, n, width);
    if (w.from > w.to || !(std::fabs(w.a) < 1))
        return runs; // none, or sparse: a record a column
    // Each column holds a run of consecutive records (the columns of the
    // records run monotonically): its last is found from the affine mapping,
    // and the next column starts after it.
    const auto column = ColumnLine(f, w.from, w.to);
    auto columnOf = [&](std::int64_t i) { return column(static_cast<double>(i)); };
    runs.x.reserve(static_cast<std::size_t>(width) + 8);
    runs.start.reserve(static_cast<std::size_t>(width) + 9);
    // The next column most often starts at the first record the line puts
    // past this one's edge: that is checked, and looked for only if not.
    const double slope = column.Slope(), offset = column.Offset();
    auto nextStart = [&](std::int64_t i, int c) -> std::int64_t {
        // Its ceiling is past i and not past the last when it is (to is whole).
        const double start = (c + 1 - offset) / slope;
        if (!(start > static_cast<double>(i) && start <= static_cast<double>(w.to)))
            return -1;
        auto next = static_cast<std::int64_t>(start); // positive: its ceiling
        next += static_cast<double>(next) < start;
        return columnOf(next) == c + 1 && columnOf(next - 1) == c ? next : -1;
    };
    int c = columnOf(w.from);
    for (std::int64_t i = w.from; i <= w.to;) {
        if (const std::int64_t start = slope > 0 ? nextStart(i, c) : -1; start >= 0) {
            runs.x.push_back(c);
            runs.start.push_back(i);
            i = start;
            ++c;
            continue;
        }
        int next;
        const std::int64_t last = LastInColumn(i, w.to, c, w.a, w.b, columnOf, next);
        runs.x.push_back(c);
        runs.start.push_back(i);
        i = last + 1;
        if (i <= w.to)
            c = next != std::numeric_limits<int>::min() ? next : columnOf(i);
    }
    runs.start.push_back(w.to + 1);
    GatherRunEnds(runs);
    FindSummaryReads(runs);
    return runs;
}

namespace {

// WidenRuns for N summaries, at lanes[0..N). A pair is read as one 8-byte
// value: the minimum in the first of two floats side by side, the maximum
// in the second; a NaN would widen nothing, as in AddToExtremes.
template <std::size_t N>
void WidenRunsBy(CColumnRuns& runs, const std::array<const float*, N>& pairs,
                 const std::array<std::size_t, N>& lanes) {
    constexpr CSummaryLayout::Read kPlace =
        (CSummaryLayout::Read{1} << CSummaryLayout::kCountShift) - 1;
    const CSummaryLayout::Read* reads = runs.reads.get();
    const std::uint32_t* readsFrom = runs.readsFrom.data();
    const std::size_t count = runs.x.size();
    for (std::size_t k = 0; k < count; ++k) {
        const CSummaryLayout::Read *from = reads + readsFrom[k], *to = reads + readsFrom[k + 1];
        if (from == to)
            continue;
        CColumnRuns::Ends& end = runs.ends[k];
#if defined(__SSE2__)
        __m128 lo[N], hi[N];
        for (std::size_t c = 0; c < N; ++c) {
            lo[c] = _mm_set_ss(end.endMin[lanes[c]]);
            hi[c] = _mm_setr_ps(0, end.endMax[lanes[c]], 0, 0);
        }
        auto widen = [&](std::uint64_t pair) {
            for (std::size_t c = 0; c < N; ++c) {
                const __m128 v = _mm_castpd_ps(
                    _mm_load_sd(reinterpret_cast<const double*>(pairs[c] + 2 * pair)));
                lo[c] = _mm_min_ps(v, lo[c]);
                hi[c] = _mm_max_ps(v, hi[c]);
            }
        };
#else
        std::array<float, N> lo, hi;
        for (std::size_t c = 0; c < N; ++c) {
            lo[c] = end.endMin[lanes[c]];
            hi[c] = end.endMax[lanes[c]];
        }
        auto widen = [&](std::uint64_t pair) {
            for (std::size_t c = 0; c < N; ++c) {
                const float a = pairs[c][2 * pair], b = pairs[c][2 * pair + 1];
                lo[c] = a < lo[c] ? a : lo[c];
                hi[c] = b > hi[c] ? b : hi[c];
            }
        };
#endif
        // Single pairs but the last look-up, which may be a run of them.
        for (--to; from < to; ++from)
            widen(*from);
        const std::uint64_t run = *to & kPlace, last = run + (*to >> CSummaryLayout::kCountShift);
        for (std::uint64_t pair = run; pair <= last; ++pair)
            widen(pair);
        for (std::size_t c = 0; c < N; ++c) {
#if defined(__SSE2__)
            end.endMin[lanes[c]] = _mm_cvtss_f32(lo[c]);
            end.endMax[lanes[c]] = _mm_cvtss_f32(_mm_shuffle_ps(hi[c], hi[c], 1));
#else
            end.endMin[lanes[c]] = lo[c];
            end.endMax[lanes[c]] = hi[c];
#endif
        }
    }
}

} // namespace

std::size_t LaneOf(float AnalysisSample::*field) {
    const AnalysisSample sample;
    return static_cast<std::size_t>(reinterpret_cast<const char*>(&(sample.*field)) -
                                    reinterpret_cast<const char*>(&sample)) /
           sizeof(float);
}

void WidenRuns(CColumnRuns& runs, const std::vector<AnalysisSample>& records,
               const std::array<const CCurveSummary*, 4>& summaries) {
    if (!runs.For(records, runs.nWidth) || runs.nEnds != runs.x.size() ||
        runs.readsFrom.size() != runs.x.size() + 1)
        return;
    std::array<const float*, 4> pairs{};
    std::array<std::size_t, 4> lanes{};
    std::size_t n = 0;
    for (std::size_t lane = 0; lane < 4; ++lane) {
        const CCurveSummary* summary = summaries[lane];
        if (!summary || runs.widenedBy[lane] || !summary->IsBuiltFor(records) ||
            !summary->PairValues())
            continue;
        pairs[n] = summary->PairValues();
        lanes[n++] = lane;
        runs.widenedBy[lane] = summary;
    }
    switch (n) {
    case 1:
        WidenRunsBy<1>(runs, {pairs[0]}, {lanes[0]});
        break;
    case 2:
        WidenRunsBy<2>(runs, {pairs[0], pairs[1]}, {lanes[0], lanes[1]});
        break;
    case 3:
        WidenRunsBy<3>(runs, {pairs[0], pairs[1], pairs[2]}, {lanes[0], lanes[1], lanes[2]});
        break;
    case 4:
        WidenRunsBy<4>(runs, pairs, lanes);
        break;
    default:
        break;
    }
}

double HeadingY(const CPlotFrame& f, double heading) {
    return 2 * f.vz * heading * f.sy;
}
double PitchY(const CPlotFrame& f, double pitch) {
    return (360 - 10 * f.vz * pitch) * f.sy;
}

CurveTrace CurvePoints(const CPlotFrame& f, const std::vector<AnalysisSample>& records,
                       const CCurveSummary* summary, float AnalysisSample::*field,
                       double (*valueY)(const CPlotFrame&, double), int width,
                       std::size_t firstRecord, bool heading, const CColumnRuns* runs) {
    CurveTrace out;
    const auto n = static_cast<std::int64_t>(records.size());
    if (n <= 0 || firstRecord >= records.size())
        return out;
    const WindowRecords w = RecordsInWindow(f, n, width);
    const std::int64_t from = std::max(w.from, static_cast<std::int64_t>(firstRecord));
    const std::int64_t to = w.to;
    if (from > to)
        return out;
    const CPixelLine y([&](double v) { return f.MapY(valueY(f, v)); }, heading ? 0.0 : -10.0,
                       heading ? 360.0 : 10.0);
    struct Rows {
        const decltype(y)& line;
        int operator()(float v) const { return line(v); }
        std::array<int, 4> operator()(float a, float b, float c, float d) const {
            return line(a, b, c, d);
        }
    };
    CCurveTracer tracer(out, Rows{y}, heading);
    const AnalysisSample* data = records.data();
    const bool sparse = std::fabs(w.a) >= 1;
    if (sparse || !summary || !summary->IsBuiltFor(records) || summary->Heading() != heading) {
        const auto column = ColumnLine(f, from, to);
        if (sparse) {
            // Sparse: a record a column (where two share one, both points stay).
            for (std::int64_t i = from; i <= to; ++i) {
                const float v = data[i].*field;
                CurveExtremes alone;
                alone.fMin = alone.fMax = v;
                tracer.Column(column(static_cast<double>(i)), v, v, alone);
            }
        } else {
            for (std::int64_t i = from; i <= to; ++i)
                tracer.Add(column(static_cast<double>(i)), data[i].*field);
        }
        return out;
    }
    // Dense: walk the picture's columns; each holds a run of consecutive
    // records. The points of a column are in that column, and its extremes
    // come from the summary: only the run's first and last records are read.
    // The runs as the picture found them when it widened them by this
    // curve's summary; else found here.
    const std::size_t lane = LaneOf(field);
    auto widened = [&](const CColumnRuns& r) {
        return lane >= 4 || r.widenedBy[lane] == summary || r.readsFrom.size() != r.x.size() + 1;
    };
    CColumnRuns own;
    if (!runs || !runs->For(records, width) || !widened(*runs)) {
        own = ColumnRunsOf(f, records, width);
        std::array<const CCurveSummary*, 4> only{};
        if (lane < 4)
            only[lane] = summary;
        WidenRuns(own, records, only);
        runs = &own;
    }
    const std::size_t count = runs->x.size();
    if (count == 0)
        return out;
    out.points.reserve(4 * count + 4);
    // The run holding the curve's first record (the runs start at w.from).
    std::size_t k = static_cast<std::size_t>(
                        std::upper_bound(runs->start.begin(), runs->start.end() - 1, from) -
                        runs->start.begin()) -
                    1;
    const std::int64_t* starts = runs->start.data();
    // A column's extremes were gathered with the runs (for the records'
    // first four fields): at its two ends from the records, between them
    // from the summary, whose look-ups the runs found too.
    const bool ends = lane < 4 && runs->nEnds == count && runs->readsFrom.size() == count + 1;
    // Each column's extremes: where they were gathered with the runs, as
    // they stand, else (a column within one block, or a heading that may
    // cross north: its sides and steps) from the summary.
    for (; k < count; ++k) {
        const std::int64_t i = std::max(from, starts[k]), end = starts[k + 1];
        const auto first = static_cast<std::uint64_t>(i), stop = static_cast<std::uint64_t>(end);
        const bool gathered = ends && i == starts[k];
        CurveExtremes e;
        if (gathered && !CCurveSummary::InOneBlock(first, stop)) {
            e.fMin = runs->ends[k].endMin[lane];
            e.fMax = runs->ends[k].endMax[lane];
            if (heading && e.fMax - e.fMin > 180)
                e = summary->Query(first, stop);
        } else {
            e = summary->Query(first, stop);
        }
        tracer.Column(runs->x[k], gathered ? runs->ends[k].firstOf[lane] : data[i].*field,
                      gathered ? runs->ends[k].lastOf[lane] : data[end - 1].*field, e);
    }
    return out;
}

void DrawAnalysisCurves(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                        bool heading, bool pitch, bool roll) {
    roll = roll && data.roll;
    if (!heading && !pitch && !roll)
        return;
    DrawTimeGrid(canvas, frame);
    // The curves share the time axis: its columns are found once.
    CColumnRuns runs = ColumnRunsOf(frame, *data.records, canvas.Size().width());
    // The curves' summaries read at each look-up together.
    std::array<const CCurveSummary*, 4> summaries{};
    summaries[LaneOf(&AnalysisSample::fHeading)] = heading ? data.heading : nullptr;
    summaries[LaneOf(&AnalysisSample::fSpare1)] = roll ? data.roll : nullptr;
    summaries[LaneOf(&AnalysisSample::fPitch)] = pitch ? data.pitch : nullptr;
    WidenRuns(runs, *data.records, summaries);
    if (heading)
        DrawHeadingCurve(canvas, frame, data, &runs);
    if (pitch)
        DrawPitchCurve(canvas, frame, data, &runs);
    if (roll)
        DrawRollCurve(canvas, frame, data, &runs);
}

void DrawRollCurve(CCanvas& canvas, const CPlotFrame& f, const CAnalysisData& data,
                   const CColumnRuns* runs) {
    // On the pitch curve's axis: both are small angles about level.
    CurvePoints(f, *data.records, data.roll, &AnalysisSample::fSpare1, &PitchY,
                canvas.Size().width(), data.firstRoll, false, runs)
        .Draw(canvas, kRollPen);
}

void DrawHeadingCurve(CCanvas& canvas, const CPlotFrame& f, const CAnalysisData& data,
                      const CColumnRuns* runs) {
    if (!f.area) {
        auto y = [&](double raw) { return f.chain->ChainY(raw) + f.panY; };
        const int step = f.d < 5 ? 10 : 1;
        // Whole labels: clear of the left edge, thinned where they would run
        // together (the labels as the live curves thin them).
        CLabelThinning labels(std::numeric_limits<int>::min() / 2,
                              std::numeric_limits<int>::max() / 2);
        const int labelHeight = canvas.TextHeight() - 2;
        for (int theta = 0; theta <= 360; theta += step) {
            const int at = Pixel(y(2 * f.vz * theta * f.sy) - 8);
            if (labels.Take(at, at + labelHeight))
                canvas.TextOut(2, at, QString::number(theta));
        }
        // The ticks right of the widest label: in a narrow window the labels'
        // column is narrower than their text.
        const int axis = std::max(Pixel(30 * f.sx), 2 + canvas.TextWidth("360") + 1);
        const int shift = axis - Pixel(30 * f.sx);
        canvas.SelectPen(kTickPen);
        for (int j = 0; j <= 720; j += 2) {
            const int at = Pixel(y(j * f.sy * f.vz));
            canvas.Line(axis, at, Pixel(40 * f.sx) + shift, at);
        }
        canvas.SelectPen(kHeadingGridPen);
        const int gridStep = f.d < 3 ? 60 : (f.d < 6 ? 20 : 2);
        for (int j = 0; j <= 720; j += gridStep) {
            const int at = Pixel(y(j * f.sy * f.vz));
            canvas.Line(axis, at, Pixel(1200 * f.sx), at);
        }
    }
    CurvePoints(f, *data.records, data.heading, &AnalysisSample::fHeading, &HeadingY,
                canvas.Size().width(), data.firstHeading, true, runs)
        .Draw(canvas, kHeadingPen);
}

void DrawPitchCurve(CCanvas& canvas, const CPlotFrame& f, const CAnalysisData& data,
                    const CColumnRuns* runs) {
    canvas.SelectPen(kTickPen);
    if (!f.area) {
        auto y = [&](double phi) {
            return f.chain->ChainY((360 - 10 * phi * f.vz) * f.sy) + f.panY;
        };
        // Whole labels: in a narrow window they keep inside its right edge.
        const int right = canvas.Size().width();
        const auto label = [&](int x, int at, const QString& text) {
            canvas.TextOut(std::min(x, right - canvas.TextWidth(text)), at, text);
        };
        if (f.d == 0) {
            const int x = Pixel(1000 * f.sx);
            label(x, Pixel(y(0) - 8), "0");
            label(x, Pixel(y(10) - 8), "10");
            label(x, Pixel(y(-10) - 8), "-10");
        } else if (f.d < 7) {
            const int x = Pixel(1000 * f.sx);
            for (int k = 0; k <= 10; ++k) {
                label(x, Pixel(y(k) - 8), QString::number(k));
                label(x, Pixel(y(-k) - 8), QString::number(-k));
            }
        } else {
            const int x = Pixel(995 * f.sx);
            for (int tenth = 0; tenth <= 100; ++tenth) {
                const double k = tenth / 10.0;
                label(x, Pixel(y(k) - 8), ScaleLabel(k));
                label(x, Pixel(y(-k) - 8), ScaleLabel(-k));
            }
        }
        for (int k = -10; k <= 10; ++k) {
            const int at = Pixel(y(k));
            canvas.Line(Pixel(970 * f.sx), at, Pixel(990 * f.sx), at);
        }
        if (f.d != 0) {
            for (int tenth = -100; tenth <= 100; ++tenth) {
                const int at = Pixel(y(tenth / 10.0));
                canvas.Line(Pixel(980 * f.sx), at, Pixel(990 * f.sx), at);
            }
        }
    } else {
        // In unscaled reference x, as the area zoom lays the axis out.
        auto yArea = [&](double raw, double scale) {
            return ((raw - f.T) * scale * 670 / f.H - f.c0.y()) * f.s + f.c0.y() + f.panY;
        };
        for (int k = 0; k <= 10; ++k) {
            for (int sign : {-1, 1}) {
                const int at = Pixel(yArea(360 - sign * k * 10 * f.vz, f.sy));
                canvas.Line(980, at, 990, at);
                canvas.TextOut(1010, at, QString::number(k));
            }
            canvas.TextOut(1000, Pixel(yArea(360 + (k + 1) * 10 * f.vz, 1)), "-");
        }
    }
    CurvePoints(f, *data.records, data.pitch, &AnalysisSample::fPitch, &PitchY,
                canvas.Size().width(), data.firstPitch, false, runs)
        .Draw(canvas, kPitchPen);
}
