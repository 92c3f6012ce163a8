#include "survey/ShapePreview.h"

#include "platform/Canvas.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Where the outline's origin lands in the control: a point (x, y) of the
// file is drawn at (x + 65, y + 180).
constexpr int kOriginX = 65;
constexpr int kOriginY = 180;

// An outline file read line by line as a C stream would with a 100-byte
// buffer: a line longer than 99 characters comes back in pieces.
class COutlineReader {
public:
    explicit COutlineReader(QFile& file) : m_file(file) {}

    bool Next() {
        if (m_file.atEnd())
            return false;
        return m_file.readLine(m_line, sizeof m_line) >= 0;
    }
    // The leading whole number of the line, if it has one.
    bool Count(long* count) const {
        char* end = nullptr;
        *count = std::strtol(m_line, &end, 10);
        return end != m_line;
    }
    // The two leading numbers of the line, if it has them and they can be
    // drawn (finite, and not so far out that a pixel position overflows).
    bool Point(double* x, double* y) const {
        char* end = nullptr;
        *x = std::strtod(m_line, &end);
        if (end == m_line)
            return false;
        const char* second = end;
        *y = std::strtod(second, &end);
        if (end == second)
            return false;
        return Drawable(*x) && Drawable(*y);
    }

private:
    static bool Drawable(double v) { return std::isfinite(v) && std::fabs(v) < 1e9; }

    QFile& m_file;
    char m_line[100] = {};
};

} // namespace

CShapePreview::CShapePreview(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
}

void CShapePreview::SetPath(const QString& path) {
    m_strPath = path;
    update();
}

void CShapePreview::Draw(CCanvas& canvas, const QString& path) {
    static const QPoint frame[] = {
        {0, 0}, {kWidth - 1, 0}, {kWidth - 1, kHeight - 1}, {0, kHeight - 1}, {0, 0}};
    canvas.SelectPen(CPen{});
    canvas.Polyline(frame, 5);
    if (path.isEmpty())
        return;
    canvas.SelectPen(CPen{1, Qt::red});
    // A FIFO among the outlines would hold the window for ever: a regular file only.
    const RegularFile opened = OpenRegularFile(QFile::encodeName(path).toStdString());
    QFile file;
    if (opened.fd < 0 ||
        !file.open(opened.fd, QIODevice::ReadOnly | QIODevice::Text, QFileDevice::AutoCloseHandle))
        return;
    COutlineReader reader(file);
    long count = 0;
    if (!reader.Next() || !reader.Count(&count) || count <= 0)
        return;
    count = std::min<long>(count, kMaxPoints);
    canvas.MoveTo(kOriginX, kOriginY);
    // A file shorter than it announces draws the points it has.
    for (long i = 0; i < count && reader.Next(); ++i) {
        double x = 0, y = 0;
        if (reader.Point(&x, &y))
            canvas.LineTo(static_cast<int>(x) + kOriginX, static_cast<int>(y) + kOriginY);
    }
}

void CShapePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CPainterCanvas canvas(painter, size());
    Draw(canvas, m_strPath);
}
