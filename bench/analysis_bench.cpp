// The analysis view's costs: loading a recording (MB/s, lines/s) and painting
// both curves at 1023 x 670 against the number of records, at reset and after
// three centre zooms.
#include "platform/CommandTable.h"
#include "plots/AnalysisCurves.h"
#include "plots/AnalysisLoader.h"
#include "plots/LargePages.h"
#include "shell/CommandIds.h"
#include "view/Navigation.h"
#include "view/QuillmarView.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

const std::string& Recording() {
    static const std::string path = [] {
        char name[] = "/tmp/quillmar-r35-XXXXXX";
        const int fd = mkstemp(name);
        FILE* file = fdopen(fd, "w");
        for (long i = 0; i < 2000000; ++i)
            std::fprintf(file, "$C%.1f,%.2f\r\n",
                         180 + 150 * std::sin(static_cast<double>(i) / 90000),
                         6 * std::sin(static_cast<double>(i) / 700));
        std::fclose(file);
        return std::string(name);
    }();
    return path;
}

void BM_LoadRecording(benchmark::State& state) {
    const std::string& path = Recording();
    std::vector<AnalysisSample> records;
    LoadResult result{};
    for (auto _ : state)
        result = LoadAnalysisFile(path, records);
    if (result.status != LoadResult::Status::Complete || records.size() != 2000000) {
        state.SkipWithError("the recording did not load whole");
        return;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * result.nLength));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * result.nLines));
}
BENCHMARK(BM_LoadRecording)->Unit(benchmark::kMillisecond);

struct Loaded {
    std::vector<AnalysisSample> records;
    CCurveSummary heading, pitch;
};

const Loaded& RecordsOf(long n) {
    static std::map<long, std::unique_ptr<Loaded>> cache;
    auto& loaded = cache[n];
    if (!loaded) {
        loaded = std::make_unique<Loaded>();
        // On large pages, as the loaders lay records out.
        loaded->records.reserve(static_cast<std::size_t>(n));
        AdviseLargePages(loaded->records.data(),
                         static_cast<std::size_t>(n) * sizeof(AnalysisSample));
        loaded->records.resize(static_cast<std::size_t>(n));
        for (long i = 0; i < n; ++i) {
            auto& r = loaded->records[static_cast<std::size_t>(i)];
            // The same picture at every N: the curves are sampled more
            // densely, not made busier, so only the cost of N shows.
            const double t = static_cast<double>(i) / static_cast<double>(n);
            r.fHeading = static_cast<float>(180 + 150 * std::sin(t * 20));
            r.fPitch = static_cast<float>(6 * std::sin(t * 90));
        }
        loaded->heading.Build(loaded->records, &AnalysisSample::fHeading, true);
        loaded->pitch.Build(loaded->records, &AnalysisSample::fPitch);
    }
    return *loaded;
}

// The frame of a picture of n records after some centre zooms, each about
// the middle of the picture (nav keeps their chain).
CPlotFrame ZoomedFrame(CNavigation& nav, std::size_t n, long zooms) {
    QString message;
    for (long i = 0; i < zooms; ++i) {
        nav.ZoomCentreIn(10, &message);
        nav.ClickZoomIn({511, 335});
    }
    CPlotFrame frame;
    frame.s = nav.m_dZoomStep;
    frame.c0 = nav.m_ptZoomIn[0];
    frame.d = nav.ZoomDepth();
    frame.N = n;
    frame.chain = &nav;
    return frame;
}

// args: records, centre zooms
void BM_PaintAnalysisView(benchmark::State& state) {
    const Loaded& loaded = RecordsOf(state.range(0));
    CNavigation nav;
    const CPlotFrame frame = ZoomedFrame(nav, loaded.records.size(), state.range(1));
    const CAnalysisData data{&loaded.records, &loaded.heading, &loaded.pitch};
    QImage image(1023, 670, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        CPainterCanvas canvas(painter, image);
        DrawAnalysisCurves(canvas, frame, data, true, true);
    }
}
// The reduced polylines alone, without rasterising them.
void BM_AnalysisCurvePoints(benchmark::State& state) {
    const Loaded& loaded = RecordsOf(state.range(0));
    CNavigation nav;
    CPlotFrame frame;
    frame.N = loaded.records.size();
    frame.chain = &nav;
    std::size_t points = 0;
    for (auto _ : state) {
        points = CurvePoints(frame, loaded.records, &loaded.heading, &AnalysisSample::fHeading,
                             &HeadingY, 1023, 0, true)
                     .points.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_AnalysisCurvePoints)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(10000000)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_PaintAnalysisView)
    ->Args({1000, 0})
    ->Args({100000, 0})
    ->Args({10000000, 0})
    ->Args({1000, 3})
    ->Args({100000, 3})
    ->Args({10000000, 3})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    unlink(Recording().c_str());
    return 0;
}

namespace {
void BM_TimeGridOnly(benchmark::State& state) {
    CNavigation nav;
    CPlotFrame frame;
    frame.N = static_cast<std::uint64_t>(state.range(0));
    frame.chain = &nav;
    QImage image(1023, 670, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        CPainterCanvas canvas(painter, image);
        DrawTimeGrid(canvas, frame);
    }
}
BENCHMARK(BM_TimeGridOnly)->Arg(1000)->Arg(10000000)->Unit(benchmark::kMicrosecond);
} // namespace

namespace {
// The view's own repaint: args records, centre zooms (about the middle), and
// 1 when each paint follows a change of the picture (a one-pixel pan), 0
// when nothing changed in between (as when a received message asks for a
// repaint).
void BM_ViewRepaintAnalysis(benchmark::State& state) {
    const Loaded& loaded = RecordsOf(state.range(0));
    CQuillmarView view;
    CCommandTable commands;
    view.RegisterCommands(commands);
    view.resize(1023, 670);
    view.ShowRecords(loaded.records);
    auto click = [&](QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    };
    for (long i = 0; i < state.range(1); ++i) {
        commands.Run(ID_ZOOM_CENTRE_IN);
        click(QEvent::MouseButtonPress, {511, 335});
    }
    commands.Run(ID_MOVE);
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
    int pan = 0;
    for (auto _ : state) {
        if (state.range(2)) {
            // A drag of one pixel to the right, then one back.
            click(QEvent::MouseButtonPress, {100 + pan, 100});
            pan ^= 1;
            click(QEvent::MouseButtonRelease, {100 + pan, 100});
        }
        view.render(&image);
    }
}
BENCHMARK(BM_ViewRepaintAnalysis)
    ->Args({1000, 0, 0})
    ->Args({10000000, 0, 0})
    ->Args({1000, 0, 1})
    ->Args({10000000, 0, 1})
    ->Args({1000, 3, 1})
    ->Args({10000000, 3, 1})
    ->Unit(benchmark::kMillisecond);
} // namespace
namespace {
// The fresh picture's costs by stage, without the axes: args records, centre
// zooms, and how far it is taken (0: the image cleared; 1: and its columns'
// runs found; 2: and both curves' points traced; 3: and drawn).
void BM_AnalysisPictureParts(benchmark::State& state) {
    const Loaded& loaded = RecordsOf(state.range(0));
    CNavigation nav;
    const CPlotFrame frame = ZoomedFrame(nav, loaded.records.size(), state.range(1));
    const int width = 1023, part = static_cast<int>(state.range(2));
    QImage image(width, 670, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        if (part == 0)
            continue;
        CColumnRuns runs = ColumnRunsOf(frame, loaded.records, width);
        std::array<const CCurveSummary*, 4> summaries{};
        summaries[LaneOf(&AnalysisSample::fHeading)] = &loaded.heading;
        summaries[LaneOf(&AnalysisSample::fPitch)] = &loaded.pitch;
        WidenRuns(runs, loaded.records, summaries);
        if (part == 1)
            continue;
        const CurveTrace heading =
            CurvePoints(frame, loaded.records, &loaded.heading, &AnalysisSample::fHeading,
                        &HeadingY, width, 0, true, &runs);
        const CurveTrace pitch =
            CurvePoints(frame, loaded.records, &loaded.pitch, &AnalysisSample::fPitch, &PitchY,
                        width, 0, false, &runs);
        if (part == 2)
            continue;
        QPainter painter(&image);
        CPainterCanvas canvas(painter, image);
        heading.Draw(canvas, CPen{1, QColor(0, 255, 0)});
        pitch.Draw(canvas, CPen{1, QColor(128, 0, 128)});
    }
}
BENCHMARK(BM_AnalysisPictureParts)
    ->ArgsProduct({{1000, 10000000}, {0, 3}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMicrosecond);
} // namespace
