#include "plots/AnalysisCurves.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

const CPen kHeadingPen{1, QColor(0, 255, 0)};
const CPen kPitchPen{1, QColor(128, 0, 128)};
const CPen kRollPen{1, QColor(255, 0, 0)};
const CPen kTickPen{1, QColor(0, 0, 0)};
const CPen kHeadingGridPen{1, QColor(192, 192, 192)};

// A scale label: 7 significant digits, a whole number with its decimal point
// ("0.", "0.1", "10.").
QString ScaleLabel(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value == 0 ? 0.0 : value);
    QString out = QString::fromLatin1(text);
    if (!out.contains('.') && !out.contains('e'))
        out += '.';
    return out;
}

// The last record in [i, to] whose pixel column is c (the columns of the
// records run monotonically). The column's far edge is found from the affine
// time mapping x = a * i + b, then checked against the exact mapping; where
// the estimate does not settle quickly, bisection decides.
// The column of the record after the one returned is left in next when it was
// looked at (INT_MIN otherwise).
template <class Column>
std::int64_t LastInColumn(std::int64_t i, std::int64_t to, int c, double a, double b,
                          const Column& column, int& next) {
    next = std::numeric_limits<int>::min();
    // Truncation toward zero: column c >= 0 is [c, c + 1) (column 0 is (-1, 1)),
    // column c < 0 is (c - 1, c].
    const double edge = a > 0 ? (c >= 0 ? c + 1.0 : c + 0.0) : (c > 0 ? c + 0.0 : c - 1.0);
    auto clampTo = [&](double v) {
        return static_cast<std::int64_t>(
            std::clamp(v, static_cast<double>(i), static_cast<double>(to)));
    };
    std::int64_t j = clampTo(std::floor((edge - b) / a));
    for (int step = 0; step < 4; ++step) {
        if (column(j) != c) {
            j = std::max(i, j - 1);
        } else if (j < to) {
            next = column(j + 1);
            if (next != c)
                return j;
            ++j;
        } else {
            return j;
        }
    }
    next = std::numeric_limits<int>::min();
    std::int64_t lo = i, hi = to;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo + 1) / 2;
        if (column(mid) == c)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

void Emit(std::vector<QPoint>& out, QPoint p) {
    if (out.empty() || out.back() != p)
        out.push_back(p);
}

} // namespace

double HeadingY(const CPlotFrame& f, double heading) {
    return 2 * f.vz * heading * f.sy;
}
double PitchY(const CPlotFrame& f, double pitch) {
    return (360 - 10 * f.vz * pitch) * f.sy;
}

std::vector<QPoint> CurvePoints(const CPlotFrame& f, const std::vector<AnalysisSample>& records,
                                const CCurveSummary* summary, float AnalysisSample::*field,
                                double (*valueY)(const CPlotFrame&, double), int width,
                                std::size_t firstRecord) {
    std::vector<QPoint> out;
    const auto n = static_cast<std::int64_t>(records.size());
    if (n <= 0 || firstRecord >= records.size())
        return out;
    auto mapX = [&](std::int64_t i) { return f.MapX(f.TimeX(static_cast<double>(i))); };
    auto column = [&](std::int64_t i) { return Pixel(mapX(i)); };
    auto point = [&](std::int64_t i) {
        return QPoint(column(i),
                      Pixel(f.MapY(valueY(f, records[static_cast<std::size_t>(i)].*field))));
    };
    // The records whose pixels can reach the window, one more on either side.
    const double b = mapX(0);
    const double a = n > 1 ? mapX(1) - b : 1.0;
    std::int64_t from = 0, to = n - 1;
    if (a != 0) {
        double lo = (-2 - b) / a, hi = (width + 2 - b) / a;
        if (lo > hi)
            std::swap(lo, hi);
        from = static_cast<std::int64_t>(
            std::clamp(std::floor(lo) - 1, 0.0, static_cast<double>(n - 1)));
        to = static_cast<std::int64_t>(
            std::clamp(std::ceil(hi) + 1, 0.0, static_cast<double>(n - 1)));
    }
    from = std::max(from, static_cast<std::int64_t>(firstRecord));
    if (from > to)
        return out;
    if (std::fabs(a) >= 1 || !summary || !summary->IsBuiltFor(records)) {
        for (std::int64_t i = from; i <= to; ++i)
            Emit(out, point(i));
        return out;
    }
    // Dense: walk the pixel columns; each holds a run of consecutive records.
    // The points of a column are in that column, and its extremes come from
    // the summary: only the run's first and last records are read.
    auto y = [&](float value) { return Pixel(f.MapY(valueY(f, value))); };
    int c = column(from);
    for (std::int64_t i = from; i <= to;) {
        int next;
        const std::int64_t last = LastInColumn(i, to, c, a, b, column, next);
        const float first = records[static_cast<std::size_t>(i)].*field;
        Emit(out, QPoint(c, y(first)));
        if (last > i) {
            const auto e =
                summary->Query(static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(last + 1));
            // Upright in one column, the segments cover the pixels between
            // the extremes whichever comes first; the nearer to the first
            // record is put first, which most often leaves no extra point.
            const bool lowFirst = first - e.fMin <= e.fMax - first;
            Emit(out, QPoint(c, y(lowFirst ? e.fMin : e.fMax)));
            Emit(out, QPoint(c, y(lowFirst ? e.fMax : e.fMin)));
            Emit(out, QPoint(c, y(records[static_cast<std::size_t>(last)].*field)));
        }
        i = last + 1;
        if (i <= to)
            c = next != std::numeric_limits<int>::min() ? next : column(i);
    }
    return out;
}

void DrawAnalysisCurves(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                        bool heading, bool pitch, bool roll) {
    roll = roll && data.roll;
    if (!heading && !pitch && !roll)
        return;
    DrawTimeGrid(canvas, frame);
    if (heading)
        DrawHeadingCurve(canvas, frame, data);
    if (pitch)
        DrawPitchCurve(canvas, frame, data);
    if (roll)
        DrawRollCurve(canvas, frame, data);
}

void DrawRollCurve(CCanvas& canvas, const CPlotFrame& f, const CAnalysisData& data) {
    // On the pitch curve's axis: both are small angles about level.
    const auto points = CurvePoints(f, *data.records, data.roll, &AnalysisSample::fSpare1, &PitchY,
                                    canvas.Size().width(), data.firstRoll);
    canvas.SelectPen(kRollPen);
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
}

void DrawHeadingCurve(CCanvas& canvas, const CPlotFrame& f, const CAnalysisData& data) {
    if (!f.area) {
        auto y = [&](double raw) { return f.chain->ChainY(raw) + f.panY; };
        const int step = f.d < 5 ? 10 : 1;
        for (int theta = 0; theta <= 360; theta += step)
            canvas.TextOut(0, Pixel(y(2 * f.vz * theta * f.sy) - 8), QString::number(theta));
        canvas.SelectPen(kTickPen);
        for (int j = 0; j <= 720; j += 2) {
            const int at = Pixel(y(j * f.sy * f.vz));
            canvas.Line(Pixel(30 * f.sx), at, Pixel(40 * f.sx), at);
        }
        canvas.SelectPen(kHeadingGridPen);
        const int gridStep = f.d < 3 ? 60 : (f.d < 6 ? 20 : 2);
        for (int j = 0; j <= 720; j += gridStep) {
            const int at = Pixel(y(j * f.sy * f.vz));
            canvas.Line(Pixel(30 * f.sx), at, Pixel(1200 * f.sx), at);
        }
    }
    const auto points = CurvePoints(f, *data.records, data.heading, &AnalysisSample::fHeading,
                                    &HeadingY, canvas.Size().width(), data.firstHeading);
    canvas.SelectPen(kHeadingPen);
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
}

void DrawPitchCurve(CCanvas& canvas, const CPlotFrame& f, const CAnalysisData& data) {
    canvas.SelectPen(kTickPen);
    if (!f.area) {
        auto y = [&](double phi) {
            return f.chain->ChainY((360 - 10 * phi * f.vz) * f.sy) + f.panY;
        };
        if (f.d == 0) {
            const int x = Pixel(1000 * f.sx);
            canvas.TextOut(x, Pixel(y(0) - 8), "0");
            canvas.TextOut(x, Pixel(y(10) - 8), "10");
            canvas.TextOut(x, Pixel(y(-10) - 8), "-10");
        } else if (f.d < 7) {
            const int x = Pixel(1000 * f.sx);
            for (int k = 0; k <= 10; ++k) {
                canvas.TextOut(x, Pixel(y(k) - 8), QString::number(k));
                canvas.TextOut(x, Pixel(y(-k) - 8), QString::number(-k));
            }
        } else {
            const int x = Pixel(995 * f.sx);
            for (int tenth = 0; tenth <= 100; ++tenth) {
                const double k = tenth / 10.0;
                canvas.TextOut(x, Pixel(y(k) - 8), ScaleLabel(k));
                canvas.TextOut(x, Pixel(y(-k) - 8), ScaleLabel(-k));
            }
        }
        for (int k = -10; k <= 10; ++k) {
            const int at = Pixel(y(k));
            canvas.Line(Pixel(970 * f.sx), at, Pixel(990 * f.sx), at);
        }
        if (f.d != 0) {
            for (int tenth = -100; tenth <= 100; ++tenth) {
                const int at = Pixel(y(tenth / 10.0));
                canvas.Line(Pixel(980 * f.sx), at, Pixel(990 * f.sx), at);
            }
        }
    } else {
        // In unscaled reference x, as the area zoom lays the axis out.
        auto yArea = [&](double raw, double scale) {
            return ((raw - f.T) * scale * 670 / f.H - f.c0.y()) * f.s + f.c0.y() + f.panY;
        };
        for (int k = 0; k <= 10; ++k) {
            for (int sign : {-1, 1}) {
                const int at = Pixel(yArea(360 - sign * k * 10 * f.vz, f.sy));
                canvas.Line(980, at, 990, at);
                canvas.TextOut(1010, at, QString::number(k));
            }
            canvas.TextOut(1000, Pixel(yArea(360 + (k + 1) * 10 * f.vz, 1)), "-");
        }
    }
    const auto points = CurvePoints(f, *data.records, data.pitch, &AnalysisSample::fPitch, &PitchY,
                                    canvas.Size().width(), data.firstPitch);
    canvas.SelectPen(kPitchPen);
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
}
