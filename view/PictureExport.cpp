#include "view/PictureExport.h"

#include "platform/Canvas.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <algorithm>

ExportFormat ExportFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "csv")
        return ExportFormat::Csv;
    if (suffix == "png")
        return ExportFormat::Png;
    if (suffix == "pdf")
        return ExportFormat::Pdf;
    if (suffix == "svg")
        return ExportFormat::Svg;
    return ExportFormat::Unknown;
}

namespace {
void Paint(QPaintDevice& device, QSize size, const QFont& font,
           const std::function<void(CCanvas&)>& draw) {
    QPainter painter(&device);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setFont(font);
    CPainterCanvas canvas(painter, size);
    draw(canvas);
}
} // namespace

QByteArray RenderPicture(ExportFormat format, QSize size, const QFont& font,
                         const std::function<void(CCanvas&)>& draw) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case ExportFormat::Png: {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            // Over the image itself: the quick one-pixel lines of the window's picture.
            QPainter painter(&image);
            painter.setFont(font);
            CPainterCanvas canvas(painter, image);
            draw(canvas);
        }
        image.save(&buffer, "PNG");
        break;
    }
    case ExportFormat::Pdf: {
        // 72 dots an inch: a pixel of the picture is a point of the page.
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(
            QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setCreator("Quillmar");
        Paint(writer, size, font, draw);
        break;
    }
    case ExportFormat::Svg: {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle("Quillmar");
        Paint(generator, size, font, draw);
        // The size in pixels, as chosen, where the generator writes millimetres.
        static const QRegularExpression physical(R"(<svg width="[0-9.]+mm" height="[0-9.]+mm")");
        const QRegularExpressionMatch match = physical.match(QString::fromLatin1(bytes.left(200)));
        if (match.hasMatch())
            bytes.replace(match.capturedStart(), match.capturedLength(),
                          QString(R"(<svg width="%1" height="%2")")
                              .arg(size.width())
                              .arg(size.height())
                              .toLatin1());
        break;
    }
    case ExportFormat::Csv:
    case ExportFormat::Unknown:
        break;
    }
    return bytes;
}

void COffsetCanvas::Polyline(const QPoint* points, int count) {
    m_moved.assign(points, points + std::max(count, 0));
    for (QPoint& p : m_moved)
        p += m_part.topLeft();
    m_target.Polyline(m_moved.data(), count);
}

void COffsetCanvas::Ellipse(int left, int top, int right, int bottom) {
    m_target.Ellipse(left + m_part.x(), top + m_part.y(), right + m_part.x(), bottom + m_part.y());
}

void COffsetCanvas::TextOut(int x, int y, const QString& text) {
    m_target.SetTextColour(TextColour());
    m_target.TextOut(x + m_part.x(), y + m_part.y(), text);
}

void COffsetCanvas::FillRect(const QRect& rect, const QColor& colour) {
    m_target.FillRect(rect.translated(m_part.topLeft()), colour);
}

void COffsetCanvas::Frame3d(const QRect& rect, const QColor& topLeft, const QColor& bottomRight) {
    m_target.Frame3d(rect.translated(m_part.topLeft()), topLeft, bottomRight);
}

void COffsetCanvas::Image(QPoint at, const QPixmap& image, bool blended) {
    m_target.Image(at + m_part.topLeft(), image, blended);
}

void COffsetCanvas::TextBox(const QRect& box, const QString& text, const QColor& colour,
                            TextLayout layout) {
    m_target.TextBox(box.translated(m_part.topLeft()), text, colour, layout);
}

namespace {
int Margin(int lineHeight) {
    return std::max(lineHeight, 8);
}
} // namespace

QRect PicturePlotArea(QSize size, int lineHeight) {
    // Above: the title, the legend and the axes' names; below: the bottom
    // axis's name; a margin all round.
    const int m = Margin(lineHeight);
    const QRect plot(QPoint(m, m / 2 + 3 * lineHeight + 8),
                     QPoint(size.width() - m - 1, size.height() - m / 2 - lineHeight - 5));
    if (plot.width() < size.width() / 2 || plot.height() < size.height() / 2)
        return QRect(QPoint(0, 0), size);
    return plot;
}

void DrawPictureFrame(CCanvas& canvas, const QRect& plot, const PictureTexts& texts,
                      int lineHeight) {
    const QSize size = canvas.Size();
    if (plot == QRect(QPoint(0, 0), size))
        return; // no room for the texts
    const QColor white(255, 255, 255);
    canvas.FillRect(QRect(0, 0, size.width(), plot.top()), white);
    canvas.FillRect(QRect(0, plot.bottom() + 1, size.width(), size.height() - plot.bottom() - 1),
                    white);
    canvas.FillRect(QRect(0, plot.top(), plot.left(), plot.height()), white);
    canvas.FillRect(
        QRect(plot.right() + 1, plot.top(), size.width() - plot.right() - 1, plot.height()), white);
    const QColor edge(160, 160, 160);
    canvas.Frame3d(plot.adjusted(-1, -1, 1, 1), edge, edge);

    const int m = Margin(lineHeight);
    const int top = m / 2;
    canvas.SetTextColour(Qt::black);
    canvas.TextOut(m, top, texts.title);
    // The legend: a short stroke of each curve's colour before its name.
    int x = m;
    const int legendY = top + lineHeight + 2;
    for (const PictureTexts::Entry& entry : texts.legend) {
        const int mid = legendY + lineHeight / 2;
        canvas.SelectPen({2, entry.colour});
        canvas.Line(x, mid, x + 2 * m, mid);
        x += 2 * m + m / 2;
        canvas.TextOut(x, legendY, entry.name);
        x += canvas.TextWidth(entry.name) + 2 * m;
    }
    const int axisY = top + 2 * lineHeight + 4;
    canvas.TextOut(plot.left(), axisY, texts.leftAxis);
    canvas.TextOut(plot.right() - canvas.TextWidth(texts.rightAxis), axisY, texts.rightAxis);
    canvas.TextOut(plot.center().x() - canvas.TextWidth(texts.bottomAxis) / 2, plot.bottom() + 4,
                   texts.bottomAxis);
}
