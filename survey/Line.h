// One straight segment drawn with the view's line tool, as the document
// stores it: a 24-byte little-endian record (start x, start y, end x, end y,
// continuation marker, group marker).
#pragma once

#include <QDataStream>

class CLine {
public:
    static constexpr int kRecordSize = 24;
    // Continuation markers: another element follows, or this is the last one.
    static constexpr int kMore = 1;
    static constexpr int kLast = 4;

    CLine() = default;
    CLine(int x1, int y1, int x2, int y2)
        : m_nStartX(x1), m_nStartY(y1), m_nEndX(x2), m_nEndY(y2) {}

    // The stream must be little-endian; a short read leaves the stream's
    // status at ReadPastEnd.
    void Store(QDataStream& out) const;
    void Load(QDataStream& in);

    int Continuation() const { return m_nContinuation; }
    void SetContinuation(int marker) { m_nContinuation = marker; }
    int Group() const { return m_nGroup; }

    bool operator==(const CLine&) const = default;

    int m_nContinuation = kMore;
    int m_nGroup = 1;
    int m_nStartX = 0, m_nStartY = 0;
    int m_nEndX = 0, m_nEndY = 0;
};
