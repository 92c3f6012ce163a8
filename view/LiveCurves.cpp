#include "link/MonitorState.h"
#include "plots/Decimate.h"
#include "plots/PlotFrame.h"
#include "view/Drawing.h"
#include "view/Navigation.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// The range of k in 0..last for which a + b*k lies within [low, high] (b > 0),
// widened by `widen` on each side (a curve's segments leaving the window).
void VisibleRange(double a, double b, double low, double high, long last, long* from, long* to,
                  int widen) {
    const double first = std::ceil((low - a) / b) - widen;
    const double final = std::floor((high - a) / b) + widen;
    *from = static_cast<long>(std::clamp(first, 0.0, static_cast<double>(last) + 1));
    *to = static_cast<long>(std::clamp(final, -1.0, static_cast<double>(last)));
}

// The right edge the newest sample keeps while following (reference pixels).
constexpr double kFollowEdge = 1020;

// The vertical pan in reference pixels (the navigation's is in the window's).
double LivePanY(const CScale& s, const CNavigation& nav) {
    return nav.m_nPanY / s.sy;
}

void DrawAxes(CCanvas& canvas, const CScale& s, const CNavigation& nav, double px,
              std::size_t samples) {
    const double py = LivePanY(s, nav);
    const double hs = kLiveHeadingScale;
    const double zx = nav.m_dZoomX, zy = nav.m_dZoomY;
    canvas.TextOut(s.X(550), s.Y(365), QCoreApplication::translate("LiveCurves", "（单位：百）"));
    // Whole labels only, thinned where the window is too low for all of them
    // (the text's box may overlap its neighbour's by its empty bottom row).
    CLabelThinning headingLabels(0, canvas.Size().height());
    const int labelHeight = canvas.TextHeight() - 2;
    for (int i = 0; i <= 360; i += 10) {
        const int y = s.Y(hs * i * zy + py);
        if (headingLabels.Take(y, y + labelHeight))
            canvas.TextOut(s.X(1), y, QString::number(i));
    }

    // The ticks right of the widest label: in a narrow window the labels'
    // column is narrower than their text.
    const int axis = std::max(s.X(30), s.X(1) + canvas.TextWidth("360") + 1);
    const int shift = axis - s.X(30);
    canvas.SelectPen(Pens::kAxis);
    for (int i = 0; i <= 360; ++i) {
        const int y = s.Y(hs * i * zy + py);
        canvas.Line(axis, y, s.X(40) + shift, y);
    }
    for (int i = 0; i <= 360; i += 10) {
        const int y = s.Y(hs * i * zy + py);
        canvas.Line(axis, y, s.X(50) + shift, y);
    }
    // The pitch labels kept inside the window.
    const int pitchX = std::min(s.X(1000), canvas.Size().width() - canvas.TextWidth("-10") - 1);
    canvas.TextOut(pitchX, s.Y(352 + py), "0");
    canvas.TextOut(pitchX, s.Y(360 + py - 100 * zy - 8), "10");
    canvas.TextOut(pitchX, s.Y(360 + py + 100 * zy - 8), "-10");
    const int pitchTicks = s.X(980) + std::min(0, pitchX - s.X(1000)); // with their labels
    const int pitchTicksEnd = pitchTicks + s.X(990) - s.X(980);
    for (int i = 0; i <= 100; i += 10) {
        int y = s.Y(360 + i * zy + py);
        canvas.Line(pitchTicks, y, pitchTicksEnd, y);
        y = s.Y(360 - i * zy + py);
        canvas.Line(pitchTicks, y, pitchTicksEnd, y);
    }

    // The time grid: a label and a line every 100 samples, at least the ten
    // thousand and one first, and on as far as the samples go.
    canvas.SelectPen(Pens::kGrid);
    const QSize size = canvas.Size();
    long from = 0, to = 0;
    // Labels start at their line, whole, between the heading labels and the
    // pitch scale, and thinned where they would run together.
    const long lastLine = std::max(10000L, static_cast<long>(samples / 100) + 1);
    VisibleRange(30 + px, 100 * zx, -1 / s.sx, (size.width() + 1) / s.sx, lastLine, &from, &to, 0);
    CLabelThinning timeLabels(axis, pitchTicks - 1);
    for (long i = from; i <= to; ++i) {
        const int x = s.X(30 + px + 100 * i * zx);
        const QString label = QString::number(i);
        if (timeLabels.Take(x, x + canvas.TextWidth(label)))
            canvas.TextOut(x, s.Y(345), label);
        canvas.Line(x, s.Y(1), x, s.Y(680));
    }
    const int base = s.Y(360 * zy + py);
    canvas.Line(s.X(30), base, s.X(1020), base);
}

// One curve as polylines: reduced per pixel column, broken where the data
// have a gap or the value had not yet been received.
class CCurvePieces {
public:
    void Add(QPoint p) {
        if (!m_pReducer)
            m_pReducer = std::make_unique<CColumnReducer>(m_points);
        m_pReducer->Add(p);
    }
    void Break() {
        m_pReducer.reset(); // flushes the last column into m_points
        if (!m_points.empty())
            m_pieces.push_back(std::move(m_points));
        m_points.clear();
    }
    void Draw(CCanvas& canvas, const CPen& pen) {
        Break();
        canvas.SelectPen(pen);
        for (const auto& piece : m_pieces)
            canvas.Polyline(piece.data(), static_cast<int>(piece.size()));
    }

private:
    std::vector<QPoint> m_points;
    std::unique_ptr<CColumnReducer> m_pReducer;
    std::vector<std::vector<QPoint>> m_pieces;
};

// The first gap at or after `index` (gaps are kept in ascending order).
std::size_t FirstGapFrom(const CSampleGaps& gaps, std::size_t count, std::size_t index) {
    std::size_t low = 0, high = count;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (gaps[mid] < index)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace

double LivePanX(const CScale& s, QSize window, std::size_t samples, const CNavigation& nav) {
    const double px = nav.m_nPanX / s.sx;
    if (!nav.m_bFollowLive || samples == 0)
        return px;
    // The newest sample's x, were nothing moved; the right edge of the window
    // (a narrow window brings the edge in).
    const double newest = 30 + px + static_cast<double>(samples - 1) * nav.m_dZoomX;
    const double edge = std::min(kFollowEdge, (window.width() - 3) / s.sx);
    return newest > edge ? px - (newest - edge) : px;
}

void KeepLiveCentre(const CScale& s, QSize window, CNavigation& nav, double zoomX, double zoomY) {
    // The middle of the window, in reference pixels; x from the time axis's
    // start, y from the pitch axis's zero.
    const double cx = window.width() / 2.0 / s.sx - 30;
    const double cy = window.height() / 2.0 / s.sy - 360;
    if (!nav.m_bFollowLive && nav.m_dZoomX != zoomX) {
        const double px = nav.m_nPanX / s.sx;
        nav.m_nPanX = static_cast<int>(std::lround((cx - (cx - px) * nav.m_dZoomX / zoomX) * s.sx));
    }
    if (nav.m_dZoomY != zoomY) {
        const double py = LivePanY(s, nav);
        nav.m_nPanY = static_cast<int>(std::lround((cy - (cy - py) * nav.m_dZoomY / zoomY) * s.sy));
    }
}

long LiveSampleAt(const CScale& s, QSize window, const CMonitorState& state, const CNavigation& nav,
                  int x) {
    const std::size_t count = state.Samples().Size();
    if (count == 0 || nav.HasAreaZoom())
        return -1;
    const double px = LivePanX(s, window, count, nav);
    const double i = std::round((x / s.sx - 30 - px) / nav.m_dZoomX);
    if (!(i >= 0 && i < static_cast<double>(count)))
        return -1;
    return static_cast<long>(i);
}

QString LiveSampleText(const CMonitorState& state, std::size_t i) {
    const LiveSample& sample = state.Samples()[i];
    const std::int64_t ms = state.SampleTimeMs(i);
    const std::int64_t tenths = ms / 100;
    QString text = QCoreApplication::translate("LiveCurves", "第 %1 个样本，开始后 %2:%3:%4.%5")
                       .arg(i)
                       .arg(tenths / 36000)
                       .arg(tenths / 600 % 60, 2, 10, QChar('0'))
                       .arg(tenths / 10 % 60, 2, 10, QChar('0'))
                       .arg(tenths % 10);
    const auto angle = [&](const QString& name, double value) {
        if (!std::isnan(value))
            text += QCoreApplication::translate("LiveCurves", "，%1 %2")
                        .arg(name)
                        .arg(value, 0, 'f', 2);
    };
    angle(QCoreApplication::translate("LiveCurves", "方位角"), sample.Heading());
    angle(QCoreApplication::translate("LiveCurves", "俯仰角"), sample.Pitch());
    angle(QCoreApplication::translate("LiveCurves", "横滚角"), sample.Roll());
    return text;
}

void DrawLiveCurves(CCanvas& canvas, const CScale& s, const CMonitorState& state,
                    const CNavigation& nav, LiveCurveChoice curves) {
    const CLiveSamples& samples = state.Samples();
    const std::size_t count = samples.Size();
    const double px = LivePanX(s, canvas.Size(), count, nav);
    if (!nav.HasAreaZoom())
        DrawAxes(canvas, s, nav, px, count);
    if (count == 0) {
        // Said in the picture: a box from inside painting would come back with
        // every message received.
        canvas.TextOut(s.X(420), s.Y(150),
                       QCoreApplication::translate("LiveCurves", "未接收到姿态仪数据"));
        canvas.TextOut(s.X(420), s.Y(175),
                       QCoreApplication::translate("LiveCurves", "        请检查连接"));
        canvas.TextOut(s.X(420), s.Y(200),
                       QCoreApplication::translate("LiveCurves", "分析数据请先调入文件"));
        return;
    }
    const double py = LivePanY(s, nav);
    const double zx = nav.m_dZoomX, zy = nav.m_dZoomY;
    long from = 0, to = 0;
    VisibleRange(30 + px, zx, -1 / s.sx, (canvas.Size().width() + 1) / s.sx,
                 static_cast<long>(count) - 1, &from, &to, 1);
    const CSampleGaps& gaps = state.Gaps();
    const std::size_t gapCount = gaps.Size();
    std::size_t gap = FirstGapFrom(gaps, gapCount, static_cast<std::size_t>(from));
    CCurvePieces pitch, roll;
    CurveTrace headingTrace;
    // The heading steps across north through the scale's edges (plots/Decimate.h).
    const auto headingY = [&](float v) { return s.Y(py + kLiveHeadingScale * zy * v); };
    CCurveTracer heading(headingTrace, headingY, true);
    std::vector<int> gapColumns; // where the data stopped, one mark a column
    std::size_t index = static_cast<std::size_t>(from);
    samples.ForEachRun(
        index, static_cast<std::size_t>(to + 1), [&](const LiveSample* run, std::size_t n) {
            for (std::size_t k = 0; k < n; ++k, ++index) {
                const int x = s.X(30 + px + static_cast<double>(index) * zx);
                if (gap < gapCount && gaps[gap] == index) {
                    heading.Break();
                    pitch.Break();
                    roll.Break();
                    if (gapColumns.empty() || gapColumns.back() != x)
                        gapColumns.push_back(x);
                    ++gap;
                }
                const LiveSample& sample = run[k];
                if (std::isnan(sample.Heading()))
                    heading.Break();
                else
                    heading.Add(x, static_cast<float>(sample.Heading())); // row: headingY
                if (std::isnan(sample.Pitch()))
                    pitch.Break();
                else
                    pitch.Add(QPoint(x, s.Y(360 + py - 10 * zy * sample.Pitch())));
                if (std::isnan(sample.Roll()))
                    roll.Break();
                else
                    roll.Add(QPoint(x, s.Y(360 + py - 10 * zy * sample.Roll())));
            }
        });
    heading.Finish();
    // A break of one segment is hard to see in a dense curve: the gap is
    // marked from top to bottom, under the curves.
    canvas.SelectPen(Pens::kGap);
    for (int x : gapColumns)
        canvas.Line(x, s.Y(1), x, s.Y(680));
    // Each alarm's start: a red tick at the top, at its sample.
    const CSampleGaps& marks = state.AlarmMarks();
    const std::size_t markCount = marks.Size();
    canvas.SelectPen(Pens::kAlarmMark);
    for (std::size_t m = FirstGapFrom(marks, markCount, static_cast<std::size_t>(from));
         m < markCount && marks[m] <= static_cast<std::size_t>(to); ++m) {
        const int x = s.X(30 + px + static_cast<double>(marks[m]) * zx);
        canvas.Line(x, s.Y(1), x, s.Y(16));
    }
    if (curves.heading)
        headingTrace.Draw(canvas, Pens::kHeadingCurve);
    if (curves.pitch)
        pitch.Draw(canvas, Pens::kPitchCurve);
    if (curves.roll)
        roll.Draw(canvas, Pens::kRollCurve);
}
