// What "导出…" writes, chosen by the file name's extension: the records as
// CSV (plots/CsvExport.h), or the analysis picture as PNG, PDF or SVG drawn at
// a chosen size through the same canvas code as the window.
#pragma once

#include "platform/Canvas.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

class QFont;

enum class ExportFormat { Unknown, Csv, Png, Pdf, Svg };
ExportFormat ExportFormatOf(const QString& path);

// The picture draw paints on a canvas of `size` pixels, as the bytes of a PNG,
// PDF (a page of size points) or SVG file, white behind it; texts in font.
QByteArray RenderPicture(ExportFormat format, QSize size, const QFont& font,
                         const std::function<void(CCanvas&)>& draw);

// A canvas that draws into a part of another: positions moved by the part's
// top-left corner, its size the part's. What is drawn beyond the part lands
// in the target as it is (DrawPictureFrame blanks the margins afterwards).
class COffsetCanvas : public CCanvas {
public:
    COffsetCanvas(CCanvas& target, const QRect& part) : m_target(target), m_part(part) {}
    void SelectPen(const CPen& pen) override { m_target.SelectPen(pen); }
    void MoveTo(int x, int y) override { m_target.MoveTo(x + m_part.x(), y + m_part.y()); }
    void LineTo(int x, int y) override { m_target.LineTo(x + m_part.x(), y + m_part.y()); }
    void Polyline(const QPoint* points, int count) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void TextOut(int x, int y, const QString& text) override;
    QSize Size() const override { return m_part.size(); }
    int TextWidth(const QString& text) const override { return m_target.TextWidth(text); }
    int TextHeight() const override { return m_target.TextHeight(); }
    void FillRect(const QRect& rect, const QColor& colour) override;
    void Frame3d(const QRect& rect, const QColor& topLeft, const QColor& bottomRight) override;
    void Image(QPoint at, const QPixmap& image, bool blended) override;
    void TextBox(const QRect& box, const QString& text, const QColor& colour,
                 TextLayout layout) override;

private:
    CCanvas& m_target;
    QRect m_part;
    std::vector<QPoint> m_moved;
};

// What an exported or printed picture says around its curves: a title (the
// file's name and the span shown), a legend of the curves drawn in their
// colours, and the names and units of the axes.
struct PictureTexts {
    struct Entry {
        QString name;
        QColor colour;
    };
    QString title;
    std::vector<Entry> legend;
    QString leftAxis, rightAxis, bottomAxis;
};

// The part of a picture of `size` the curves are drawn in, inside margins
// that hold the texts (lineHeight: the height of a line of text). The whole
// picture when it is too small for margins.
QRect PicturePlotArea(QSize size, int lineHeight);
// Blanks the margins around plot (what the curves drew beyond it), frames it
// and draws the texts in the margins.
void DrawPictureFrame(CCanvas& canvas, const QRect& plot, const PictureTexts& texts,
                      int lineHeight);
