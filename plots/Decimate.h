// Reduces a curve to what a one-pixel pen can show: of consecutive points that
// fall in the same pixel column only the first, the lowest, the highest and
// the last are kept (in their order). Drawn as a polyline the result covers
// exactly the pixels the full curve covers, and a curve sparser than the
// pixels comes out unchanged; its size is at most four points a column.
#pragma once

#include <QPoint>
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
