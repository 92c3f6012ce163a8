// Reduces a curve to what a one-pixel pen can show: of consecutive points that
// fall in the same pixel column only the first, the lowest, the highest and
// the last are kept (in their order). Drawn as a polyline the result covers
// exactly the pixels the full curve covers, and a curve sparser than the
// pixels comes out unchanged; its size is at most four points a column.
#pragma once

#include "platform/Canvas.h"
#include "plots/CurveSummary.h"

#include <QPoint>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

class CColumnReducer {
public:
    explicit CColumnReducer(std::vector<QPoint>& out) : m_out(out) {}
    ~CColumnReducer() { Flush(); }

    void Add(QPoint p) {
        if (m_nCount > 0 && p.x() != m_first.x())
            Flush();
        if (m_nCount == 0) {
            m_first = m_low = m_high = m_last = p;
            m_nLowAt = m_nHighAt = 0;
            m_nCount = 1;
            return;
        }
        if (p.y() < m_low.y())
            m_low = p, m_nLowAt = m_nCount;
        if (p.y() > m_high.y())
            m_high = p, m_nHighAt = m_nCount;
        m_last = p;
        ++m_nCount;
    }

    void Flush() {
        if (m_nCount == 0)
            return;
        Emit(m_first);
        if (m_nCount > 1) {
            const bool lowFirst = m_nLowAt <= m_nHighAt;
            Emit(lowFirst ? m_low : m_high);
            Emit(lowFirst ? m_high : m_low);
            Emit(m_last);
        }
        m_nCount = 0;
    }

private:
    void Emit(QPoint p) {
        if (m_out.empty() || m_out.back() != p)
            m_out.push_back(p);
    }

    std::vector<QPoint>& m_out;
    QPoint m_first, m_low, m_high, m_last;
    int m_nLowAt = 0, m_nHighAt = 0;
    long m_nCount = 0;
};

// A curve in value terms, for the curves whose values are headings as well
// as the others: pixel columns come in (one record at a time, gathered per
// column as above, or a column's extremes at once from a summary) and
// polylines come out, broken where a value was not received or a heading
// steps across north (it leaves the scale at one edge and comes back at the
// other). A column in which the heading crosses north is drawn as the two
// strokes it covers, one from each edge, not as a stroke between its lowest
// and highest headings; one that passes north and south as well turned at
// least half round, and is drawn edge to edge.
struct CurveTrace {
    std::vector<QPoint> points;
    std::vector<int> ends;                          // piece k: points [ends[k - 1], ends[k])
    std::vector<std::pair<QPoint, QPoint>> strokes; // upright, beside the pieces

    void Draw(CCanvas& canvas, const CPen& pen) const {
        canvas.SelectPen(pen);
        int start = 0;
        for (int end : ends) {
            canvas.Polyline(points.data() + start, end - start);
            start = end;
        }
        for (const auto& [from, to] : strokes)
            canvas.Line(from.x(), from.y(), to.x(), to.y());
    }
};

// YOf: the pixel row of a value.
template <class YOf> class CCurveTracer {
public:
    CCurveTracer(CurveTrace& out, YOf y, bool heading)
        : m_out(out), m_y(y), m_bHeading(heading), m_nSize(out.points.size()) {}
    ~CCurveTracer() { Finish(); }

    // A record at pixel column x (NaN: not received).
    void Add(int x, float v) {
        if (m_nCount > 0 && x != m_nColumnX)
            Flush();
        if (m_nCount == 0) {
            m_nColumnX = x;
            m_fColumnFirst = v;
            m_column = {};
        }
        if (m_bHeading)
            AddToExtremes<true>(m_column, m_fColumnLast, v, m_nCount > 0);
        else
            AddToExtremes<false>(m_column, m_fColumnLast, v, m_nCount > 0);
        m_fColumnLast = v;
        ++m_nCount;
    }
    // The records of column x at once: the first, the last and the extremes.
    // Most columns carry on a piece with every value received and no step
    // across north into or within them; the rest are worked out apart.
    [[gnu::always_inline]] void Column(int x, float first, float last, const CurveExtremes& e) {
        if (m_nCount == 0 && m_bOpen && first == first && last == last &&
            !(m_bHeading && ((e.nSteps & CurveExtremes::kNorth) ||
                             std::fabs(first - m_fLast) > 180))) [[likely]] {
            Within(x, first, last, e);
            return;
        }
        Settle(x, first, last, e);
    }
    // No line from what came before to what comes next.
    void Break() {
        Flush();
        EndPiece();
    }
    // Broken off, and the trace's points are exactly the curve's: what the
    // trace is read after (the tracer may go on with another piece).
    void Finish() {
        Break();
        m_out.points.resize(m_nSize);
    }

private:
    [[gnu::noinline]] void Settle(int x, float first, float last, const CurveExtremes& e) {
        Flush();
        if (m_bOpen && first == first && last == last &&
            !(m_bHeading &&
              ((e.nSteps & CurveExtremes::kNorth) || std::fabs(first - m_fLast) > 180))) {
            Within(x, first, last, e);
            return;
        }
        if (!e.Received()) {
            EndPiece();
            return;
        }
        const bool firstIn = first == first, lastIn = last == last;
        if (!firstIn) {
            EndPiece();
        } else if (m_bOpen && m_bHeading) {
            const HeadingStep step = StepBetweenHeadings(m_fLast, first);
            if (step.bNorth) {
                const int mid = m_nLastX + static_cast<int>(std::lround(step.dAt * (x - m_nLastX)));
                Emit({mid, m_y(step.fLeave)});
                EndPiece();
                Emit({mid, m_y(step.fEnter)});
            }
        }
        if (firstIn && (first != e.fMin || e.fMin != e.fMax))
            Emit({x, m_y(first)});
        if (m_bHeading && (e.nSteps & CurveExtremes::kNorth) && e.fBelow > -CurveExtremes::kNone &&
            e.fAbove < CurveExtremes::kNone) {
            // The stroke from the 360 edge up to `bottom`, the one from 0 down to `top`.
            const bool south = (e.nSteps & CurveExtremes::kSouth) != 0;
            const float bottom = south ? 180 : e.fAbove, top = south ? 180 : e.fBelow;
            const bool firstBottom = firstIn ? first >= 180 : !(lastIn && last < 180);
            const bool lastBottom = lastIn ? last >= 180 : firstBottom;
            auto stroke = [&](bool atBottom, float from) {
                const float a = atBottom ? bottom : 0, b = atBottom ? 360 : top;
                const bool aFirst = !(from == from) || std::fabs(from - a) <= std::fabs(b - from);
                Emit({x, m_y(aFirst ? a : b)});
                Emit({x, m_y(aFirst ? b : a)});
            };
            stroke(firstBottom, first);
            if (lastBottom == firstBottom) {
                const float a = firstBottom ? 0 : bottom, b = firstBottom ? top : 360;
                m_out.strokes.emplace_back(QPoint(x, m_y(a)), QPoint(x, m_y(b)));
            } else {
                EndPiece();
                stroke(lastBottom, last);
            }
        } else if (e.fMin == e.fMax) {
            Emit({x, m_y(e.fMin)}); // a record alone, or all alike
        } else {
            // Upright in one column, the segments cover the pixels between the
            // extremes whichever comes first; the nearer to the first record
            // is put first, which most often leaves no extra point.
            const bool lowFirst = !firstIn || first - e.fMin <= e.fMax - first;
            Emit({x, m_y(lowFirst ? e.fMin : e.fMax)});
            Emit({x, m_y(lowFirst ? e.fMax : e.fMin)});
        }
        if (!lastIn) {
            EndPiece();
            return;
        }
        if (last != e.fMin || e.fMin != e.fMax)
            Emit({x, m_y(last)});
        m_nLastX = x;
        m_fLast = last;
    }
    // Column's points where the piece goes on through the column: the first
    // record's, the extremes' (the nearer to the first record first) and the
    // last's, without repeating a point. Their rows are independent and the
    // repeats are dropped without a branch: in a dense curve which of them
    // coincide is a matter of chance.
    void Within(int x, float first, float last, const CurveExtremes& e) {
        m_nLastX = x;
        m_fLast = last;
        if (e.fMin == e.fMax && first == e.fMin && last == e.fMin) {
            Emit({x, m_y(first)}); // a record alone, or all alike
            return;
        }
        const bool lowFirst = first - e.fMin <= e.fMax - first;
        const float lo = lowFirst ? e.fMin : e.fMax, hi = lowFirst ? e.fMax : e.fMin;
        std::array<int, 4> rows;
        if constexpr (requires { m_y(first, lo, hi, last); })
            rows = m_y(first, lo, hi, last); // a row function that maps four at once
        else
            rows = {m_y(first), m_y(lo), m_y(hi), m_y(last)};
        // All four written, each over the one before where it repeats it
        // (the points all in column x; the piece is open, so a point is
        // before them).
        QPoint* at = Room(4);
        const QPoint before = at[-1];
        at[0] = QPoint(x, rows[0]);
        std::size_t kept = (before.x() != x) | (before.y() != rows[0]);
        at[kept] = QPoint(x, rows[1]);
        kept += rows[1] != rows[0];
        at[kept] = QPoint(x, rows[2]);
        kept += rows[2] != rows[1];
        at[kept] = QPoint(x, rows[3]);
        kept += rows[3] != rows[2];
        m_nSize += kept;
    }
    // Space for n more points at the trace's end. The trace's vector runs
    // ahead of its points (m_nSize) until Finish, so that a column's points
    // are written without a check each.
    QPoint* Room(std::size_t n) {
        std::vector<QPoint>& points = m_out.points;
        if (points.size() - m_nSize < n) [[unlikely]]
            points.resize(std::max({points.capacity(), 2 * points.size(), m_nSize + n}));
        return points.data() + m_nSize;
    }
    void Flush() {
        if (m_nCount == 0)
            return;
        m_nCount = 0;
        if (m_bHeading)
            SettleHeading(m_column);
        Column(m_nColumnX, m_fColumnFirst, m_fColumnLast, m_column);
    }
    void Emit(QPoint p) {
        if (!m_bOpen) {
            m_bOpen = true;
            m_nStart = m_nSize;
        } else if (m_nSize > m_nStart && m_out.points[m_nSize - 1] == p) {
            return;
        }
        *Room(1) = p;
        ++m_nSize;
    }
    void EndPiece() {
        if (!m_bOpen)
            return;
        m_bOpen = false;
        m_out.ends.push_back(static_cast<int>(m_nSize));
    }

    CurveTrace& m_out;
    YOf m_y;
    bool m_bHeading;
    std::size_t m_nSize; // the trace's points: the first m_nSize of its vector
    // The piece being drawn, and its last column's last value.
    bool m_bOpen = false;
    std::size_t m_nStart = 0;
    int m_nLastX = 0;
    float m_fLast = 0;
    // The column being gathered.
    long m_nCount = 0;
    int m_nColumnX = 0;
    float m_fColumnFirst = 0, m_fColumnLast = 0;
    CurveExtremes m_column;
};
