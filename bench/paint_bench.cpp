// Paint time of real-time view 2 at 1023 x 670, offscreen, against the number
// of live samples: the cost must not grow with a day's worth of data.
#include "link/MonitorState.h"
#include "platform/Canvas.h"
#include "view/Drawing.h"
#include "view/Navigation.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

namespace {

const CMonitorState& StateWith(long samples) {
    static std::map<long, std::unique_ptr<CMonitorState>> cache;
    auto& state = cache[samples];
    if (!state) {
        state = std::make_unique<CMonitorState>();
        char line[64];
        for (long i = 0; i < samples; ++i) {
            std::snprintf(line, sizeof line, "$C%.2f,%.2f\r\n",
                          180 + 120 * std::sin(static_cast<double>(i) / 300.0),
                          8 * std::sin(static_cast<double>(i) / 40.0));
            state->InterpretText(line, i * 100); // 10 Hz, no gaps
        }
    }
    return *state;
}

// args: samples, pan (negative pans show the latest samples of a long run),
// following the newest sample (1) or not (0)
void BM_PaintRealTimeView2(benchmark::State& state) {
    const CMonitorState& monitor = StateWith(state.range(0));
    CNavigation nav;
    nav.m_nPanX = static_cast<int>(state.range(1));
    nav.m_bFollowLive = state.range(2) != 0;
    QImage image(1023, 670, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        CPainterCanvas canvas(painter, image.size());
        DrawLiveCurves(canvas, CScale{1, 1}, monitor, nav);
    }
    state.counters["samples"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_PaintRealTimeView2)
    ->Args({1000, 0, 1})
    ->Args({100000, 0, 1})
    ->Args({10000000, 0, 1})
    ->Args({10000000, 0, 0})
    ->Args({10000000, -9999000, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
