#include "plots/AnalysisCurves.h"
#include "plots/PlotFrame.h"
#include "view/Navigation.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using Kind = CRecordingCanvas::Kind;
const CPen kGrid{1, QColor(192, 192, 192)};

struct Plot {
    CNavigation nav;
    std::vector<AnalysisSample> records;
    CCurveSummary heading, pitch;
    CPlotFrame Frame(double sx = 1, double sy = 1) {
        CPlotFrame f;
        f.sx = sx, f.sy = sy, f.hz = nav.m_dZoomX, f.vz = nav.m_dZoomY, f.s = nav.m_dZoomStep;
        f.c0 = nav.m_ptZoomIn[0], f.panX = nav.m_nPanX, f.panY = nav.m_nPanY;
        f.area = nav.HasAreaZoom();
        f.L = nav.m_rcZoomArea.left(), f.T = nav.m_rcZoomArea.top();
        f.W = nav.m_rcZoomArea.right() - f.L, f.H = nav.m_rcZoomArea.bottom() - f.T;
        f.d = nav.ZoomDepth(), f.N = records.size(), f.chain = &nav;
        return f;
    }
    void Records(std::size_t n) {
        records.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            records[i] = {static_cast<float>(i % 360), 0, static_cast<float>(i % 21) - 10, 0, 0};
        heading.Build(records, &AnalysisSample::fHeading);
        pitch.Build(records, &AnalysisSample::fPitch);
    }
    CAnalysisData Data() { return {&records, &heading, &pitch}; }
};

TEST(TimeGrid, StepsLimitsShiftsAndRowsFollowTheRegime) {
    struct Case {
        const char* name;
        std::size_t records;
        int stretchX; // 32843 presses
        int clicks;   // zoom-in clicks about (0, 0)
        bool area;
        double sx;
        QString second; // the second tick's label
        QPoint at;      // its top-left corner
        int lineX;      // its line
        int top, bottom;
    };
    const std::vector<Case> table = {
        {"20000_at_reset", 20000, 0, 0, false, 1, "1000", {32, 380}, 50, 1, 680},
        {"40000_at_reset", 40000, 0, 0, false, 1, "10000", {230, 380}, 250, 1, 680},
        {"depth_4", 40000, 0, 4, false, 1, "1000", {108, 380}, 126, 1, 680},
        {"depth_7", 20000, 0, 7, false, 1, "500", {409, 380}, 427, 1, 680},
        {"depth_10", 20000, 0, 10, false, 1, "100", {270, 380}, 288, 1, 680},
        {"hz_3.375", 20000, 3, 0, false, 1, "2000", {319, 380}, 337, 0, 680},
        {"hz_7.59", 200000, 5, 0, false, 1, "2000", {57, 380}, 37, 0, 680},
        {"half_width", 20000, 0, 0, false, 0.5, "2000", {32, 380}, 25, 1, 680},
        {"hz_3.375_half_width", 20000, 3, 0, false, 0.5, "2000", {319, 380}, 337, 0, 680},
        {"area_hz_1", 20000, 0, 0, true, 1, "1000", {82, 345}, 100, 0, 680},
        {"area_hz_2.25", 20000, 2, 0, true, 1, "100", {4, 345}, 22, 0, 680},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        Plot plot;
        plot.Records(c.records);
        for (int i = 0; i < c.stretchX; ++i)
            plot.nav.StretchX();
        QString message;
        for (int i = 0; i < c.clicks; ++i) {
            plot.nav.ZoomCentreIn(10, &message);
            plot.nav.ClickZoomIn({0, 0});
        }
        if (c.area) {
            plot.nav.AreaPress({0, 0});
            plot.nav.AreaRelease({500, 670});
        }
        CRecordingCanvas canvas(QSize(static_cast<int>(1023 * c.sx), 670));
        DrawTimeGrid(canvas, plot.Frame(c.sx, 1));
        ASSERT_EQ(canvas.m_items[0].text, QString::number(c.records));
        EXPECT_EQ(canvas.m_items[0].points[0], QPoint(static_cast<int>(520 * c.sx), 1));
        std::vector<const CRecordingCanvas::Primitive*> labels; // after the count
        for (std::size_t i = 1; i < canvas.m_items.size(); ++i) {
            if (canvas.m_items[i].kind == Kind::Text)
                labels.push_back(&canvas.m_items[i]);
        }
        const auto second = std::find_if(labels.begin(), labels.end(), [&](const auto* label) {
            return label->text == c.second;
        });
        ASSERT_NE(second, labels.end());
        EXPECT_EQ((*second)->points[0], c.at);
        const auto lines = canvas.Lines(kGrid);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1]->points, (std::vector<QPoint>{{c.lineX, c.top}, {c.lineX, c.bottom}}));
    }
    Plot none; // no records: the count alone
    CRecordingCanvas canvas;
    DrawTimeGrid(canvas, none.Frame());
    ASSERT_EQ(canvas.m_items.size(), 1u);
    EXPECT_EQ(canvas.m_items[0].text, "0");
}

std::vector<QPoint> Curve(const CRecordingCanvas& canvas, const QColor& colour) {
    for (const auto& item : canvas.m_items) {
        if (item.kind == Kind::Polyline && item.pen.color == colour)
            return item.points;
    }
    return {};
}

TEST(AnalysisCurves, RecordsLandWhereTheirValuesSay) {
    Plot plot;
    plot.records = {{90, 0, 0, 0, 0}, {0, 0, 10, 0, 0}, {360, 0, -10, 0, 0}, {45, 0, 1, 0, 0}};
    CRecordingCanvas canvas;
    DrawHeadingCurve(canvas, plot.Frame(), plot.Data());
    DrawPitchCurve(canvas, plot.Frame(), plot.Data());
    EXPECT_EQ(Curve(canvas, QColor(0, 255, 0)),
              (std::vector<QPoint>{{0, 180}, {250, 0}, {500, 720}, {750, 90}}));
    EXPECT_EQ(Curve(canvas, QColor(128, 0, 128)),
              (std::vector<QPoint>{{0, 360}, {250, 260}, {500, 460}, {750, 350}}));
    EXPECT_TRUE(canvas.FindText("-10"));
    EXPECT_EQ(canvas.FindText("30")->points[0], QPoint(0, 52)); // heading label at 2*30 - 8

    // With an area framed: x = ((X - L) * 1023 / W - c0.x) * s + c0.x.
    plot.nav.AreaPress({100, 100});
    plot.nav.AreaRelease({600, 400});
    CRecordingCanvas zoomed;
    DrawHeadingCurve(zoomed, plot.Frame(), plot.Data());
    const auto points = Curve(zoomed, QColor(0, 255, 0));
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0], QPoint(static_cast<int>((0 - 100) * 1023 / 500.0),
                                static_cast<int>((180 - 100) * 670 / 300.0)));
    EXPECT_EQ(points[1].x(), static_cast<int>((250 - 100) * 1023 / 500.0));
    EXPECT_FALSE(zoomed.FindText("30")); // no heading axis under an area zoom

    Plot one;
    one.Records(1);
    CRecordingCanvas single;
    DrawPitchCurve(single, one.Frame(), one.Data());
    EXPECT_EQ(Curve(single, QColor(128, 0, 128)).size(), 1u);
}

TEST(AnalysisCurves, PitchLabelsFollowTheZoomDepth) {
    struct Case {
        int clicks;
        int labels; // texts other than the record count and grid labels
        const char* sample;
        int x;
    };
    const std::vector<Case> table = {
        {0, 3, "-10", 1000}, {1, 22, "-7", 1000}, {7, 202, "0.3", 995}};
    for (const Case& c : table) {
        Plot plot;
        plot.Records(100);
        QString message;
        for (int i = 0; i < c.clicks; ++i) {
            plot.nav.ZoomCentreIn(10, &message);
            plot.nav.ClickZoomIn({-100000, -100000}); // far away: the grid leaves the window
        }
        CRecordingCanvas canvas;
        DrawPitchCurve(canvas, plot.Frame(), plot.Data());
        int pitchLabels = 0;
        for (const auto& item : canvas.m_items)
            pitchLabels += item.kind == Kind::Text && item.points[0].x() >= 995;
        EXPECT_EQ(pitchLabels, c.labels) << c.clicks;
        ASSERT_TRUE(canvas.FindText(c.sample)) << c.sample;
        EXPECT_EQ(canvas.FindText(c.sample)->points[0].x(), c.x);
    }
}

QImage Picture(const std::function<void(CCanvas&)>& draw) {
    QImage image(1023, 670, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    CPainterCanvas canvas(painter, image);
    draw(canvas);
    return image;
}

// Drawn into the view's picture, the curve is every record's point, pixel for
// pixel: sparse, or dense and spiky and reduced per column, at the window's
// size or half of it, zoomed or not.
TEST(AnalysisCurves, ReducedCurvesDrawTheNaivePicture) {
    for (std::size_t n : {400u, 400000u}) {
        Plot plot;
        plot.records.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            plot.records[i].fHeading =
                static_cast<float>(180 + 170 * std::sin(i / 9000.0) + (i % 997 == 0 ? 60.0 : 0.0));
            plot.records[i].fPitch = static_cast<float>(8 * std::sin(i / 300.0) + (i % 13) / 7.0);
        }
        plot.heading.Build(plot.records, &AnalysisSample::fHeading);
        plot.pitch.Build(plot.records, &AnalysisSample::fPitch);
        QString message;
        for (int clicks : {0, 2}) {
            for (int k = 0; k < clicks; ++k) {
                plot.nav.ZoomCentreIn(10, &message);
                plot.nav.ClickZoomIn({300, 200});
            }
            const CPlotFrame frame = plot.Frame(clicks ? 1 : 0.5, 1);
            for (auto [field, summary, valueY] :
                 {std::tuple{&AnalysisSample::fHeading, &plot.heading, &HeadingY},
                  std::tuple{&AnalysisSample::fPitch, &plot.pitch, &PitchY}}) {
                std::vector<QPoint> naive;
                for (std::size_t i = 0; i < n; ++i)
                    naive.emplace_back(Pixel(frame.MapX(frame.TimeX(static_cast<double>(i)))),
                                       Pixel(frame.MapY(valueY(frame, plot.records[i].*field))));
                const auto reduced = CurvePoints(frame, plot.records, summary, field, valueY, 1023);
                ASSERT_LT(reduced.size(), 4u * 1030u);
                auto draw = [](const std::vector<QPoint>& points) {
                    return Picture([&](CCanvas& canvas) {
                        canvas.SelectPen(CPen{1, Qt::black});
                        canvas.Polyline(points.data(), static_cast<int>(points.size()));
                    });
                };
                EXPECT_EQ(draw(reduced), draw(naive)) << n << " records, " << clicks << " clicks";
            }
        }
    }
}

// One time grid, under both curves: a heading spike on a grid line stays
// seen. Crowded labels are left out, not printed over each other or over the
// value scales, and lines closer than three pixels are thinned.
TEST(AnalysisCurves, TheTimeGridStaysUnderTheCurvesAndUncrowded) {
    Plot plot;
    plot.Records(20000); // a grid line every 1000 records: x = 50 for record 1000
    plot.records[1000].fHeading = 300;
    plot.heading.Build(plot.records, &AnalysisSample::fHeading);
    const QImage image = Picture([&](CCanvas& canvas) {
        DrawAnalysisCurves(canvas, plot.Frame(), plot.Data(), true, true);
    });
    EXPECT_EQ(image.pixelColor(50, 600), QColor(0, 255, 0));

    for (std::uint64_t records : {3000000ull, 10000000ull}) {
        SCOPED_TRACE(records);
        CPlotFrame frame = plot.Frame();
        frame.N = records;
        CRecordingCanvas canvas;
        DrawTimeGrid(canvas, frame);
        int labels = 0, lastEnd = -1000;
        for (std::size_t i = 1; i < canvas.m_items.size(); ++i) { // after the count
            const auto& item = canvas.m_items[i];
            if (item.kind != Kind::Text)
                continue;
            ++labels;
            const int left = item.points[0].x();
            EXPECT_GT(left, lastEnd + 1) << item.text.toStdString();
            EXPECT_GE(left, 26);
            lastEnd = left + canvas.TextWidth(item.text);
            EXPECT_LE(lastEnd, 970);
        }
        EXPECT_GE(labels, 2);
        const auto lines = canvas.Lines(kGrid);
        ASSERT_GE(lines.size(), 10u);
        for (std::size_t i = 1; i < lines.size(); ++i)
            EXPECT_GE(lines[i]->points[0].x() - lines[i - 1]->points[0].x(), 3);
    }
}

// A spike and a trough at either end of a range, next to block edges inside
// it, and in its middle: each piece of the range is looked at.
TEST(CurveSummary, ExtremesOfAnyRangeAreThoseOfAScan) {
    std::vector<AnalysisSample> records(70000);
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i].fPitch = static_cast<float>((i * 7919) % 1000) - (i % 5 == 0 ? 700.0f : 0.0f);
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges = {
        {0, 1},       {0, 64},  {5, 70},   {63, 4097},  {1000, 69999}, {0, 70000},
        {4096, 8192}, {15, 17}, {16, 256}, {17, 65537}, {255, 4113},   {1, 69999}};
    for (auto [from, to] : ranges) {
        const std::uint64_t last = to - 1;
        for (std::uint64_t at : {from, last, from + 17, last - 17, (from + to) / 2}) {
            const std::uint64_t spike = std::clamp(at, from, last);
            const std::uint64_t trough = from + last - spike;
            auto spiked = records;
            spiked[spike].fPitch = 5000;
            spiked[trough].fPitch = spike == trough ? 5000 : -5000;
            CCurveSummary summary;
            summary.Build(spiked, &AnalysisSample::fPitch);
            const auto [low, high] = std::minmax_element(
                spiked.begin() + from, spiked.begin() + to,
                [](const auto& a, const auto& b) { return a.fPitch < b.fPitch; });
            const auto e = summary.Query(from, to);
            EXPECT_EQ(std::pair(e.fMin, e.fMax), std::pair(low->fPitch, high->fPitch))
                << from << ".." << to << " spike at " << spike;
        }
    }
}

} // namespace
