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
