#include "platform/Canvas.h"

#include <QPainter>
#include <QPen>

CPainterCanvas::CPainterCanvas(QPainter& painter, QSize size) : m_painter(painter), m_size(size) {
    m_painter.setBrush(Qt::white);
    m_painter.setBackground(Qt::white);
    m_painter.setBackgroundMode(Qt::OpaqueMode);
    m_painter.setPen(QPen(Qt::black, 1));
}

void CPainterCanvas::SelectPen(const CPen& pen) {
    QPen qpen(pen.color, pen.nWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (pen.nWidth <= 1)
        qpen.setWidth(0); // a cosmetic one-pixel line, as a width-1 pen draws
    m_painter.setPen(qpen);
}

void CPainterCanvas::LineTo(int x, int y) {
    m_painter.drawLine(m_ptCurrent, QPoint(x, y));
    m_ptCurrent = QPoint(x, y);
}

void CPainterCanvas::Polyline(const QPoint* points, int count) {
    if (count >= 2)
        m_painter.drawPolyline(points, count);
}

void CPainterCanvas::Ellipse(int left, int top, int right, int bottom) {
    m_painter.drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CPainterCanvas::TextOut(int x, int y, const QString& text) {
    const QPen pen = m_painter.pen();
    m_painter.setPen(Qt::black);
    const QFontMetrics metrics = m_painter.fontMetrics();
    m_painter.drawText(QPoint(x, y + metrics.ascent()), text);
    m_painter.setPen(pen);
}

void CRecordingCanvas::LineTo(int x, int y) {
    m_items.push_back({Kind::Line, m_pen, {m_ptCurrent, QPoint(x, y)}, {}});
    m_ptCurrent = QPoint(x, y);
}

void CRecordingCanvas::Polyline(const QPoint* points, int count) {
    m_items.push_back({Kind::Polyline, m_pen, std::vector<QPoint>(points, points + count), {}});
}

void CRecordingCanvas::Ellipse(int left, int top, int right, int bottom) {
    m_items.push_back({Kind::Ellipse, m_pen, {QPoint(left, top), QPoint(right, bottom)}, {}});
}

void CRecordingCanvas::TextOut(int x, int y, const QString& text) {
    m_items.push_back({Kind::Text, m_pen, {QPoint(x, y)}, text});
}

const CRecordingCanvas::Primitive* CRecordingCanvas::FindText(const QString& text) const {
    for (const Primitive& item : m_items) {
        if (item.kind == Kind::Text && item.text == text)
            return &item;
    }
    return nullptr;
}

std::vector<const CRecordingCanvas::Primitive*> CRecordingCanvas::Lines(const CPen& pen) const {
    std::vector<const Primitive*> lines;
    for (const Primitive& item : m_items) {
        if (item.kind == Kind::Line && item.pen == pen)
            lines.push_back(&item);
    }
    return lines;
}

int CRecordingCanvas::Count(Kind kind) const {
    int n = 0;
    for (const Primitive& item : m_items)
        n += item.kind == kind;
    return n;
}
