// What "导出…" writes, chosen by the file name's extension: the records as
// CSV (plots/CsvExport.h), or the analysis picture as PNG, PDF or SVG drawn at
// a chosen size through the same canvas code as the window.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>

class CCanvas;
class QFont;

enum class ExportFormat { Unknown, Csv, Png, Pdf, Svg };
ExportFormat ExportFormatOf(const QString& path);

// The picture draw paints on a canvas of `size` pixels, as the bytes of a PNG,
// PDF (a page of size points) or SVG file, white behind it; texts in font.
QByteArray RenderPicture(ExportFormat format, QSize size, const QFont& font,
                         const std::function<void(CCanvas&)>& draw);
