#include "plots/AnalysisCurves.h"
#include "plots/PlotFrame.h"
#include "view/Navigation.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
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
        Summarise();
    }
    void Summarise() {
        heading.Build(records, &AnalysisSample::fHeading, true);
        pitch.Build(records, &AnalysisSample::fPitch);
    }
    // `clicks` zoom-in clicks about centre.
    void ZoomIn(int clicks, QPoint centre) {
        QString message;
        for (int i = 0; i < clicks; ++i) {
            nav.ZoomCentreIn(10, &message);
            nav.ClickZoomIn(centre);
        }
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
        plot.ZoomIn(c.clicks, {0, 0});
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

std::vector<QPoint> Curve(const CRecordingCanvas& canvas, const QColor& colour, int piece = 0) {
    for (const auto& item : canvas.m_items) {
        if (item.kind == Kind::Polyline && item.pen.color == colour && piece-- == 0)
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
    // 0 and 360 are the same heading, 360 and 45 are 45 degrees apart: no
    // stroke between, each step through the edges.
    EXPECT_EQ(Curve(canvas, QColor(0, 255, 0)),
              (std::vector<QPoint>{{0, 180}, {250, 0}, {375, 0}}));
    EXPECT_EQ(Curve(canvas, QColor(0, 255, 0), 1), (std::vector<QPoint>{{375, 720}, {500, 720}}));
    EXPECT_EQ(Curve(canvas, QColor(0, 255, 0), 2), (std::vector<QPoint>{{500, 0}, {750, 90}}));
    EXPECT_EQ(Curve(canvas, QColor(128, 0, 128)),
              (std::vector<QPoint>{{0, 360}, {250, 260}, {500, 460}, {750, 350}}));
    EXPECT_TRUE(canvas.FindText("-10"));
    // Heading labels at 2*30 - 8, clear of the left edge.
    EXPECT_EQ(canvas.FindText("30")->points[0], QPoint(2, 52));

    // With an area framed: x = ((X - L) * 1023 / W - c0.x) * s + c0.x.
    plot.nav.AreaPress({100, 100});
    plot.nav.AreaRelease({600, 400});
    CRecordingCanvas zoomed;
    DrawHeadingCurve(zoomed, plot.Frame(), plot.Data());
    const auto points = Curve(zoomed, QColor(0, 255, 0));
    ASSERT_EQ(points.size(), 3u);
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
        plot.ZoomIn(c.clicks, {-100000, -100000}); // far away: the grid leaves the window
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
        plot.Summarise();
        for (int clicks : {0, 2}) {
            plot.ZoomIn(clicks, {300, 200});
            const CPlotFrame frame = plot.Frame(clicks ? 1 : 0.5, 1);
            for (auto [field, summary, valueY, heading] :
                 {std::tuple{&AnalysisSample::fHeading, &plot.heading, &HeadingY, true},
                  std::tuple{&AnalysisSample::fPitch, &plot.pitch, &PitchY, false}}) {
                std::vector<QPoint> naive;
                for (std::size_t i = 0; i < n; ++i)
                    naive.emplace_back(Pixel(frame.MapX(frame.TimeX(static_cast<double>(i)))),
                                       Pixel(frame.MapY(valueY(frame, plot.records[i].*field))));
                const auto reduced =
                    CurvePoints(frame, plot.records, summary, field, valueY, 1023, 0, heading);
                ASSERT_LT(reduced.points.size(), 4u * 1030u);
                ASSERT_EQ(reduced.ends.size(), 1u); // no step across north here
                auto draw = [](const std::vector<QPoint>& points) {
                    return Picture([&](CCanvas& canvas) {
                        canvas.SelectPen(CPen{1, Qt::black});
                        canvas.Polyline(points.data(), static_cast<int>(points.size()));
                    });
                };
                EXPECT_EQ(draw(reduced.points), draw(naive))
                    << n << " records, " << clicks << " clicks";
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
    plot.heading.Build(plot.records, &AnalysisSample::fHeading, true);
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

// Headings that wander across north and south, noise about north, values
// not received, a spike and a trough: what a summary's column must tell.
std::vector<AnalysisSample> Wandering(std::size_t n) {
    std::vector<AnalysisSample> records(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i);
        double heading = std::fmod(720 + 400 * std::sin(t / 20000) + 3 * std::sin(t * 1.7), 360);
        if (i / 5000 % 7 == 3) // holding north, jittering across it
            heading = std::fmod(360 + 2 * std::sin(t * 2.3), 360);
        auto& r = records[i];
        r.fHeading = static_cast<float>(heading);
        r.fPitch = static_cast<float>(8 * std::sin(t / 300) + (i % 4999 == 0 ? 40 : 0));
        if (i % 12007 < 9 || i % 70001 == 5) // stretches and single values not received
            r.fHeading = r.fPitch = std::numeric_limits<float>::quiet_NaN();
    }
    return records;
}

// Ranges from and to the edges of blocks and groups at every level, near both
// ends, in record counts whose last block or group is short, single records,
// and random ones: the summary's answer is a scan's.
TEST(CurveSummary, ExtremesOfAnyRangeAreThoseOfAScan) {
    for (std::uint64_t size : {16u * 37 + 5, 16u * 64, 16u * 2049 - 3, 70000u}) {
        const std::vector<AnalysisSample> records = Wandering(size);
        std::vector<std::uint64_t> edges;
        for (std::uint64_t at :
             {std::uint64_t{0}, std::uint64_t{16}, std::uint64_t{32}, std::uint64_t{48},
              std::uint64_t{64}, std::uint64_t{256}, std::uint64_t{1024}, std::uint64_t{2048},
              std::uint64_t{4096}, std::uint64_t{65536}, size - size % 16, size - size % 1024,
              size - 16, size - 48}) {
            for (std::uint64_t near : {at - 1, at, at + 1}) {
                if (near <= size)
                    edges.push_back(near);
            }
        }
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
        for (std::uint64_t from : edges) {
            for (std::uint64_t to : edges) {
                if (from < to)
                    ranges.emplace_back(from, to);
            }
        }
        std::uint64_t seed = 12345;
        for (int k = 0; k < 300; ++k) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const std::uint64_t from = (seed >> 33) % size, length = 1 + (seed >> 13) % 20000;
            ranges.emplace_back(from, std::min(size, from + length));
        }
        for (auto [field, heading] : {std::pair{&AnalysisSample::fHeading, true},
                                      std::pair{&AnalysisSample::fPitch, false}}) {
            CCurveSummary summary;
            summary.Build(records, field, heading);
            int crossings = 0;
            for (auto [from, to] : ranges) {
                const CurveExtremes e = summary.Query(from, to);
                ASSERT_EQ(e, ScanExtremes(records.data(), field, from, to, heading))
                    << size << " records, " << from << ".." << to;
                crossings += (e.nSteps & CurveExtremes::kNorth) != 0;
            }
            EXPECT_EQ(crossings > 100, heading); // the headings do cross north
        }
    }
}

// Drawn from the summaries or from every record, each curve is the same
// polylines, and both curves drawn from the columns found once for the
// picture are the same picture, in any view: reset, zoomed about a point, an
// area, panned, at another window size, their first records in the middle of
// a column or outside the window.
TEST(AnalysisCurves, SummarisedCurvesAreThoseOfEveryRecord) {
    Plot plot;
    plot.records = Wandering(400000);
    for (std::size_t i = 0; i < plot.records.size(); ++i) // roll: the pitch's gaps, its own values
        plot.records[i].fSpare1 = plot.records[i].fPitch * 0.7f + static_cast<float>(i % 13);
    plot.Summarise();
    CCurveSummary roll;
    roll.Build(plot.records, &AnalysisSample::fSpare1);
    struct View {
        int clicks;
        QPoint centre;
        QRect area;
        int panX;
        double sx;
        std::size_t firstHeading, firstPitch;
    };
    const std::vector<View> views = {{0, {}, {}, 0, 1, 201, 7},
                                     {0, {}, {}, -300, 0.37, 0, 0},
                                     {3, {500, 300}, {}, 0, 1, 0, 0},
                                     {5, {1020, 10}, {}, 700, 1, 5, 1},
                                     {0, {}, {3, 3, 200, 500}, 0, 1, 0, 0},
                                     {2, {0, 0}, {}, -5000, 2.5, 0, 0},
                                     {0, {}, {}, -40, 1, 12345, 399999},
                                     {3, {611, 300}, {}, 0, 1, 0, 180007},
                                     {2, {611, 300}, {}, 300, 1, 5, 1}};
    for (const View& v : views) {
        SCOPED_TRACE(testing::Message() << v.clicks << " clicks, pan " << v.panX << ", first "
                                        << v.firstHeading << ", " << v.firstPitch);
        Plot view;
        view.ZoomIn(v.clicks, v.centre);
        if (!v.area.isEmpty()) {
            view.nav.AreaPress(v.area.topLeft());
            view.nav.AreaRelease(v.area.bottomRight());
        }
        view.nav.m_nPanX = v.panX;
        CPlotFrame frame = view.Frame(v.sx, 1);
        frame.N = plot.records.size();
        for (auto [field, summary, valueY, heading] :
             {std::tuple{&AnalysisSample::fHeading, &plot.heading, &HeadingY, true},
              std::tuple{&AnalysisSample::fPitch, &plot.pitch, &PitchY, false}}) {
            const int width = static_cast<int>(1023 * v.sx);
            const CurveTrace fast =
                CurvePoints(frame, plot.records, summary, field, valueY, width, 3, heading);
            const CurveTrace every =
                CurvePoints(frame, plot.records, nullptr, field, valueY, width, 3, heading);
            SCOPED_TRACE(heading ? "heading" : "pitch");
            EXPECT_FALSE(fast.points.empty());
            EXPECT_EQ(fast.points, every.points);
            EXPECT_EQ(fast.ends, every.ends);
            EXPECT_EQ(fast.strokes, every.strokes);
        }
        CAnalysisData summarised{&plot.records, &plot.heading, &plot.pitch, &roll};
        summarised.firstHeading = v.firstHeading;
        summarised.firstPitch = summarised.firstRoll = v.firstPitch;
        CAnalysisData everyRecord = summarised;
        everyRecord.heading = everyRecord.pitch = nullptr;
        const CCurveSummary none; // built for no records: every record is read
        everyRecord.roll = &none;
        auto draw = [&](const CAnalysisData& data) {
            return Picture([&](CCanvas& canvas) {
                DrawAnalysisCurves(canvas, frame, data, true, true, true);
            });
        };
        EXPECT_TRUE(draw(summarised) == draw(everyRecord));
    }
}

// Across north the heading leaves the scale at one edge and comes back at the
// other, between records and inside a pixel column, never as a stroke through
// the headings between.
TEST(AnalysisCurves, AHeadingCrossingNorthLeavesAtOneEdgeAndComesBackAtTheOther) {
    Plot plot;
    plot.records = {{350, 0, 0, 0, 0}, {355, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {10, 0, 0, 0, 0}};
    CRecordingCanvas canvas;
    DrawHeadingCurve(canvas, plot.Frame(), plot.Data());
    std::vector<std::vector<QPoint>> pieces;
    for (const auto& item : canvas.m_items)
        if (item.kind == Kind::Polyline)
            pieces.push_back(item.points);
    // North passed 5/7 of the way from 355 to 2: x = 250 + 179.
    EXPECT_EQ(pieces, (std::vector<std::vector<QPoint>>{{{0, 700}, {250, 710}, {429, 720}},
                                                        {{429, 0}, {500, 4}, {750, 20}}}));

    // Dense, jittering across north: strokes from the edges, none between.
    Plot dense;
    dense.records.resize(300000);
    for (std::size_t i = 0; i < dense.records.size(); ++i)
        dense.records[i].fHeading = i % 2 ? 358.0f + static_cast<float>(i % 3) * 0.5f : 1.5f;
    dense.Summarise();
    const QImage image = Picture(
        [&](CCanvas& c) { DrawAnalysisCurves(c, dense.Frame(), dense.Data(), true, false); });
    int middle = 0, top = 0;
    for (int x = 0; x < image.width(); ++x) {
        top += image.pixelColor(x, 2) == QColor(0, 255, 0);
        for (int y = 10; y < 660; ++y)
            middle += image.pixelColor(x, y) == QColor(0, 255, 0);
    }
    EXPECT_EQ(middle, 0);
    EXPECT_EQ(top, 1000); // the records span 1000 pixels
}

} // namespace
