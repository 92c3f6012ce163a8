#include "plots/PlotFrame.h"

#include <QString>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>

namespace {

const CPen kGridPen{1, QColor(192, 192, 192)};

struct GridRule {
    double step = 0; // 0: no grid
    double limit = 100000;
    int shift = 18;
};

GridRule RegimeA(const CPlotFrame& f) {
    if (f.d <= 3 && f.N > 30000)
        return {10000, 1000000, 20};
    if (f.d <= 6)
        return {1000, 100000, 18};
    if (f.d <= 9)
        return {500, 100000, 18};
    return {100, 100000, 18};
}

// The label of the grid line at record v: its number, or its clock time
// (none past the last record, which has no time).
QString GridLabel(const CPlotFrame& f, double v) {
    if (!f.times)
        return QString::number(static_cast<qint64>(v));
    const auto i = static_cast<std::uint64_t>(v);
    if (i >= f.N || i >= f.times->arrOffsetMs.size())
        return {};
    return GridClockLabel(f.times->UtcMs(static_cast<std::size_t>(i)));
}

} // namespace

QString GridClockLabel(std::int64_t utcMs) {
    const std::int64_t s = ((utcMs / 1000) % 86400 + 86400) % 86400;
    return QString("%1:%2:%3")
        .arg(s / 3600, 2, 10, QChar('0'))
        .arg(s / 60 % 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'));
}

void DrawTimeGrid(CCanvas& canvas, const CPlotFrame& f) {
    canvas.SelectPen(kGridPen);
    canvas.TextOut(Pixel(520 * f.sx), Pixel(f.sy), QString::number(f.N));
    if (f.N == 0)
        return;
    const double n = static_cast<double>(f.N);
    GridRule rule;
    double row = 0, top = 0, bottom = 680;
    std::function<double(double)> position;
    if (!f.area && f.hz <= 2.25) {
        rule = RegimeA(f);
        row = 380 * f.sy;
        top = static_cast<int>(f.sy);
        bottom = 680 * f.sy;
        position = [&](double v) { return f.chain->ChainX(v * f.sx * f.hz * 1000 / n) + f.panX; };
    } else if (!f.area) {
        if (f.hz >= 3.375 && f.hz <= 5.0625)
            rule.step = 2000;
        else if (f.hz > 5.0625 && f.hz <= 25.62890625)
            rule.step = 1000;
        row = 380;
        position = [&](double v) {
            return (v * f.hz * 1000 / n - f.c0.x()) * f.s + f.c0.x() + f.panX;
        };
    } else {
        row = 345;
        if (f.hz > 2) {
            rule.step = 100;
            position = [&](double v) {
                return ((v * f.hz * 1000 / n - f.L) * f.sx * 1000 / f.W - f.c0.x()) * f.s +
                       f.c0.x() + f.panX;
            };
        } else {
            rule.step = f.hz > 0.17777777777777778 && f.hz < 2 ? 1000 : 10000;
            position = [&](double v) {
                return ((v * f.sx * f.hz * 1000 / n - f.L) * 1000 / f.W - f.c0.x()) * f.s +
                       f.c0.x() + f.panX;
            };
        }
    }
    if (rule.step <= 0)
        return;
    // Lines closer than three pixels are thinned to every k-th; a label that
    // would touch the one before it, or a value scale, is left out.
    const double spacing = position(rule.step) - position(0);
    const long every = spacing >= 3  ? 1
                       : spacing > 0 ? static_cast<long>(std::ceil(3 / spacing))
                                     : 0;
    if (every == 0)
        return;
    const int width = canvas.Size().width();
    const int scaleLeft = f.area ? 0 : Pixel(26 * f.sx);     // the heading labels
    const int scaleRight = Pixel(970 * (f.area ? 1 : f.sx)); // the pitch scale
    CLabelThinning labels(scaleLeft, scaleRight);
    // The lines between two labels are drawn together (a row at a time), in
    // the same order against the labels: each label over the lines before it,
    // under its own and those after.
    int lines[64];
    int pending = 0;
    const int lineTop = Pixel(top), lineBottom = Pixel(bottom);
    auto drawLines = [&] {
        canvas.UprightLines(lines, pending, lineTop, lineBottom);
        pending = 0;
    };
    // Only the ticks in the window (and a label's width left of it) are drawn.
    for (long k = 0; k * rule.step <= rule.limit; k += every) {
        const double v = static_cast<double>(k) * rule.step;
        const double x = position(v);
        if (x < -100 || x > width + 1)
            continue;
        const int left = Pixel(x - rule.shift);
        // A label is made and measured only where one could start.
        const QString label = left >= scaleLeft && labels.Fits(left) ? GridLabel(f, v) : "";
        if (!label.isEmpty() && labels.Take(left, left + canvas.TextWidth(label))) {
            drawLines();
            canvas.TextOut(left, Pixel(row), label);
        }
        if (pending == static_cast<int>(std::size(lines)))
            drawLines();
        lines[pending++] = Pixel(x);
    }
    drawLines();
}
