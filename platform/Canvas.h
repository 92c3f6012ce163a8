// The drawing calls the displays are written in: select a pen, move to, line
// to, polyline, ellipse, text with its top-left corner at a point. Positions
// are device pixels, already scaled from the reference canvas.
//
// CPainterCanvas draws with QPainter (screen, image, printer); CRecordingCanvas
// keeps the primitives, so tests check exact positions instead of pixels.
#pragma once

#include "platform/Raster.h"

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

struct CPen {
    int nWidth = 1;
    QColor color = Qt::black;
    bool operator==(const CPen& other) const {
        return nWidth == other.nWidth && color == other.color;
    }
};

class CCanvas {
public:
    virtual ~CCanvas() = default;
    virtual void SelectPen(const CPen& pen) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Polyline(const QPoint* points, int count) = 0;
    // An ellipse in its bounding rectangle, filled white.
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    // Text with its top-left corner at (x, y), on an opaque white background,
    // in the text colour (black unless set).
    virtual void TextOut(int x, int y, const QString& text) = 0;
    void SetTextColour(const QColor& colour) { m_textColour = colour; }
    const QColor& TextColour() const { return m_textColour; }
    // The drawing surface's size in device pixels.
    virtual QSize Size() const = 0;
    // How wide TextOut draws the text: the font's own advance where there is
    // a font, else seven pixels a character (a recording).
    virtual int TextWidth(const QString& text) const { return 7 * static_cast<int>(text.size()); }
    // How tall a line of TextOut's text is (a recording: thirteen pixels).
    virtual int TextHeight() const { return 13; }

    // For the menus: a filled rectangle; a one-pixel frame whose top and left
    // edges are in one colour and bottom and right in another (raised or
    // sunken); an image at a point, or blended half with the highlight colour;
    // text in a box, in one colour, on a single line centred vertically or
    // from the box's top, with & marking the mnemonic.
    virtual void FillRect(const QRect& rect, const QColor& colour) = 0;
    virtual void Frame3d(const QRect& rect, const QColor& topLeft, const QColor& bottomRight) = 0;
    virtual void Image(QPoint at, const QPixmap& image, bool blended) = 0;
    enum class TextLayout { SingleLineCentred, FromTop };
    virtual void TextBox(const QRect& box, const QString& text, const QColor& colour,
                         TextLayout layout) = 0;
    // The width of a box that holds the text on one line, in the font of
    // these metrics.
    static int TextBoxWidth(const QFontMetrics& metrics, const QString& text);

    void Line(int x1, int y1, int x2, int y2) {
        MoveTo(x1, y1);
        LineTo(x2, y2);
    }
    // Upright lines from row top to row bottom, one at each x in turn: the
    // same as Line(x, top, x, bottom) for each (which a recording keeps).
    virtual void UprightLines(const int* xs, int count, int top, int bottom) {
        for (int i = 0; i < count; ++i)
            Line(xs[i], top, xs[i], bottom);
    }

private:
    QColor m_textColour = Qt::black;
};

class CPainterCanvas : public CCanvas {
public:
    CPainterCanvas(QPainter& painter, QSize size);
    // Drawing into an image of the caller's own, which the painter draws on.
    // While the painter has no clip or transform, one-pixel lines are written
    // into it directly (upright and level ones the very pixels the painter
    // strokes; others each step's nearest pixel, both ends included, where
    // the painter's own may differ by a pixel here and there) and texts are
    // stamped (the very pixels the painter draws): many times quicker for
    // dense pictures.
    CPainterCanvas(QPainter& painter, QImage& target);
    void SelectPen(const CPen& pen) override;
    void MoveTo(int x, int y) override { m_ptCurrent = QPoint(x, y); }
    void LineTo(int x, int y) override;
    void Polyline(const QPoint* points, int count) override;
    void UprightLines(const int* xs, int count, int top, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void TextOut(int x, int y, const QString& text) override;
    QSize Size() const override { return m_size; }
    int TextWidth(const QString& text) const override;
    int TextHeight() const override;
    void FillRect(const QRect& rect, const QColor& colour) override;
    void Frame3d(const QRect& rect, const QColor& topLeft, const QColor& bottomRight) override;
    void Image(QPoint at, const QPixmap& image, bool blended) override;
    void TextBox(const QRect& box, const QString& text, const QColor& colour,
                 TextLayout layout) override;

private:
    // The image to write one-pixel lines into, or null.
    CRaster* DirectTarget();

    QPainter& m_painter;
    QSize m_size;
    QPoint m_ptCurrent;
    std::optional<CRaster> m_raster;
};

class CRecordingCanvas : public CCanvas {
public:
    enum class Kind { Line, Polyline, Ellipse, Text, Fill, Frame, Image, TextBox };
    struct Primitive {
        Kind kind;
        CPen pen;
        std::vector<QPoint> points; // line: from, to; ellipse, fill, frame, box: corners
        QString text;
        QColor colour;     // text, fill, frame top-left, text box
        QColor colour2;    // frame bottom-right
        bool flag = false; // image: blended; text box: single line centred
    };

    explicit CRecordingCanvas(QSize size = QSize(1023, 670)) : m_size(size) {}
    void SelectPen(const CPen& pen) override { m_pen = pen; }
    void MoveTo(int x, int y) override { m_ptCurrent = QPoint(x, y); }
    void LineTo(int x, int y) override;
    void Polyline(const QPoint* points, int count) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void TextOut(int x, int y, const QString& text) override;
    QSize Size() const override { return m_size; }
    void FillRect(const QRect& rect, const QColor& colour) override;
    void Frame3d(const QRect& rect, const QColor& topLeft, const QColor& bottomRight) override;
    void Image(QPoint at, const QPixmap& image, bool blended) override;
    void TextBox(const QRect& box, const QString& text, const QColor& colour,
                 TextLayout layout) override;

    // Lookups for tests.
    const Primitive* FindText(const QString& text) const;
    std::vector<const Primitive*> Lines(const CPen& pen) const;
    int Count(Kind kind) const;

    std::vector<Primitive> m_items;

private:
    QSize m_size;
    CPen m_pen;
    QPoint m_ptCurrent;
};
