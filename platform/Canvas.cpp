#include "platform/Canvas.h"

#include "platform/Raster.h"
#include "platform/TextStamps.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <algorithm>
#include <cstdlib>

namespace {
// How a text box lays out its text: mnemonic marks hidden, tabs expanded.
constexpr int kTextBoxFlags = Qt::AlignLeft | Qt::TextShowMnemonic | Qt::TextExpandTabs;
} // namespace

int CCanvas::TextBoxWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.size(kTextBoxFlags | Qt::TextSingleLine, text).width();
}

CPainterCanvas::CPainterCanvas(QPainter& painter, QSize size) : m_painter(painter), m_size(size) {
    m_painter.setBrush(Qt::white);
    m_painter.setBackground(Qt::white);
    m_painter.setBackgroundMode(Qt::OpaqueMode);
    m_painter.setPen(QPen(Qt::black, 1));
}

int CPainterCanvas::TextWidth(const QString& text) const {
    return m_painter.fontMetrics().horizontalAdvance(text);
}

int CPainterCanvas::TextHeight() const {
    return m_painter.fontMetrics().height();
}

CPainterCanvas::CPainterCanvas(QPainter& painter, QImage& target)
    : CPainterCanvas(painter, target.size()) {
    CRaster raster(target);
    if (raster.IsValid() && target.devicePixelRatio() == 1.0) {
        m_raster = raster;
    }
}

CRaster* CPainterCanvas::DirectTarget() {
    if (!m_raster)
        return nullptr;
    const QPen& pen = m_painter.pen();
    const bool plain = pen.isCosmetic() && pen.style() == Qt::SolidLine &&
                       pen.brush().style() == Qt::SolidPattern && pen.color().alpha() == 255 &&
                       !m_painter.testRenderHint(QPainter::Antialiasing) &&
                       m_painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
                       !m_painter.hasClipping() && m_painter.transform().isIdentity() &&
                       m_painter.opacity() == 1.0;
    return plain ? &*m_raster : nullptr;
}

void CPainterCanvas::SelectPen(const CPen& pen) {
    // A one-pixel pen is a cosmetic line with flat ends (Qt's fast path);
    // wider pens have round ends and joins, as the dials' pens draw.
    if (pen.nWidth <= 1)
        m_painter.setPen(QPen(pen.color, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    else
        m_painter.setPen(QPen(pen.color, pen.nWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void CPainterCanvas::LineTo(int x, int y) {
    const QPoint to(x, y);
    const QPen& pen = m_painter.pen();
    // Grid lines and ticks are upright or level one-pixel lines: filling
    // their pixels is many times quicker than stroking them. The painter's
    // stroke covers the line's pixels but the last one down or to the right
    // (a line of no length, its one pixel), whichever way it is drawn.
    if (pen.isCosmetic() && (to.x() == m_ptCurrent.x() || to.y() == m_ptCurrent.y()) &&
        m_painter.transform().isIdentity()) {
        const int left = std::min(to.x(), m_ptCurrent.x()), top = std::min(to.y(), m_ptCurrent.y());
        const QRect span(left, top, std::max(std::abs(to.x() - m_ptCurrent.x()), 1),
                         std::max(std::abs(to.y() - m_ptCurrent.y()), 1));
        if (CRaster* raster = DirectTarget())
            raster->Fill(span, pen.color().rgba());
        else
            m_painter.fillRect(span, pen.color());
    } else if (CRaster* raster = DirectTarget()) {
        raster->Line(m_ptCurrent, to, pen.color().rgba());
    } else {
        m_painter.drawLine(m_ptCurrent, to);
    }
    m_ptCurrent = to;
}

void CPainterCanvas::Polyline(const QPoint* points, int count) {
    if (count < 2)
        return;
    if (CRaster* raster = DirectTarget()) {
        const QRgb colour = m_painter.pen().color().rgba();
        for (int i = 1; i < count; ++i)
            raster->Line(points[i - 1], points[i], colour);
        return;
    }
    m_painter.drawPolyline(points, count);
}

void CPainterCanvas::UprightLines(const int* xs, int count, int top, int bottom) {
    // The pixels LineTo fills for each, written a row at a time: lines a few
    // pixels apart then share the cache lines of each row.
    CRaster* raster = count > 1 && top != bottom && m_painter.pen().isCosmetic() &&
                              m_painter.transform().isIdentity()
                          ? DirectTarget()
                          : nullptr;
    if (!raster) {
        CCanvas::UprightLines(xs, count, top, bottom);
        return;
    }
    raster->FillColumns(xs, count, std::min(top, bottom), std::abs(bottom - top),
                        m_painter.pen().color().rgba());
    m_ptCurrent = QPoint(xs[count - 1], bottom);
}

void CPainterCanvas::Ellipse(int left, int top, int right, int bottom) {
    m_painter.drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CPainterCanvas::TextOut(int x, int y, const QString& text) {
    const QPen pen = m_painter.pen();
    m_painter.setPen(TextColour());
    // Opaque: the background mode fills the text's box white.
    const QPoint baseline(x, y + m_painter.fontMetrics().ascent());
    // Stamps are made of black text only.
    const bool black = TextColour() == QColor(Qt::black);
    if (!m_raster || !black || !StampText(m_painter, *m_raster, baseline, text))
        m_painter.drawText(baseline, text);
    m_painter.setPen(pen);
}

void CRecordingCanvas::LineTo(int x, int y) {
    m_items.push_back({Kind::Line, m_pen, {m_ptCurrent, QPoint(x, y)}, {}, {}, {}, false});
    m_ptCurrent = QPoint(x, y);
}

void CRecordingCanvas::Polyline(const QPoint* points, int count) {
    m_items.push_back(
        {Kind::Polyline, m_pen, std::vector<QPoint>(points, points + count), {}, {}, {}, false});
}

void CRecordingCanvas::Ellipse(int left, int top, int right, int bottom) {
    m_items.push_back(
        {Kind::Ellipse, m_pen, {QPoint(left, top), QPoint(right, bottom)}, {}, {}, {}, false});
}

void CRecordingCanvas::TextOut(int x, int y, const QString& text) {
    m_items.push_back({Kind::Text, m_pen, {QPoint(x, y)}, text, TextColour(), {}, false});
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

void CPainterCanvas::FillRect(const QRect& rect, const QColor& colour) {
    m_painter.fillRect(rect, colour);
}

void CPainterCanvas::Frame3d(const QRect& rect, const QColor& topLeft, const QColor& bottomRight) {
    // All four edges inside the box; the bottom and right ones take the
    // corners they share with the others.
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    m_painter.fillRect(QRect(l, t, r - l, 1), topLeft);
    m_painter.fillRect(QRect(l, t, 1, b - t), topLeft);
    m_painter.fillRect(QRect(l, b, r - l + 1, 1), bottomRight);
    m_painter.fillRect(QRect(r, t, 1, b - t + 1), bottomRight);
}

void CPainterCanvas::Image(QPoint at, const QPixmap& image, bool blended) {
    if (!blended) {
        m_painter.drawPixmap(at, image);
        return;
    }
    // Half the image's own colours, half the highlight colour, where it is opaque.
    QPixmap mixed = image;
    QPainter mix(&mixed);
    mix.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor highlight = QPalette().color(QPalette::Highlight);
    highlight.setAlpha(128);
    mix.fillRect(mixed.rect(), highlight);
    mix.end();
    m_painter.drawPixmap(at, mixed);
}

void CPainterCanvas::TextBox(const QRect& box, const QString& text, const QColor& colour,
                             TextLayout layout) {
    const QPen pen = m_painter.pen();
    const Qt::BGMode mode = m_painter.backgroundMode();
    m_painter.setBackgroundMode(Qt::TransparentMode);
    m_painter.setPen(colour);
    const int flags = kTextBoxFlags | (layout == TextLayout::SingleLineCentred
                                           ? Qt::AlignVCenter | Qt::TextSingleLine
                                           : Qt::AlignTop);
    m_painter.drawText(box, flags, text);
    m_painter.setPen(pen);
    m_painter.setBackgroundMode(mode);
}

void CRecordingCanvas::FillRect(const QRect& rect, const QColor& colour) {
    m_items.push_back(
        {Kind::Fill, m_pen, {rect.topLeft(), rect.bottomRight()}, {}, colour, {}, false});
}

void CRecordingCanvas::Frame3d(const QRect& rect, const QColor& topLeft,
                               const QColor& bottomRight) {
    m_items.push_back({Kind::Frame,
                       m_pen,
                       {rect.topLeft(), rect.bottomRight()},
                       {},
                       topLeft,
                       bottomRight,
                       false});
}

void CRecordingCanvas::Image(QPoint at, const QPixmap& image, bool blended) {
    m_items.push_back({Kind::Image,
                       m_pen,
                       {at, at + QPoint(image.width(), image.height())},
                       {},
                       {},
                       {},
                       blended});
}

void CRecordingCanvas::TextBox(const QRect& box, const QString& text, const QColor& colour,
                               TextLayout layout) {
    m_items.push_back({Kind::TextBox,
                       m_pen,
                       {box.topLeft(), box.bottomRight()},
                       text,
                       colour,
                       {},
                       layout == TextLayout::SingleLineCentred});
}
