// Interpretation and recording of each received message, as the view does it:
// the message text, the sentence's fields and numbers, a sample, and one
// write(2) of the text to a real record file.
#include "link/ReceiverMessage.h"
#include "tools/Simulator.h"
#include "view/MonitorState.h"
#include "view/RecordFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& Traffic() {
    static const std::string stream = [] {
        std::string s;
        for (std::uint64_t tick = 0; s.size() < (1u << 20); ++tick)
            s += CInstrumentSimulator::Traffic(tick, 10.0, 30.0);
        return s;
    }();
    return stream;
}

void BM_InterpretAndRecord(benchmark::State& state) {
    char folder[] = "/tmp/quillmar-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    CRecordFile record;
    std::tm when{};
    std::string error;
    if (!record.CreateNew(folder, when, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string& stream = Traffic();
    CReceiverMessage framer;
    std::uint64_t messages = 0;
    for (auto _ : state) {
        CMonitorState monitor; // a fresh sample array each pass, as after a start
        framer.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                    [&](const CReceiverMessage& message) {
                        monitor.Interpret(message);
                        record.Write(monitor.m_strMessage);
                        ++messages;
                    });
        benchmark::DoNotOptimize(monitor.m_arrSamples.data());
    }
    state.counters["msg/s"] =
        benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
    unlink(record.Path().c_str());
    rmdir(folder);
}
BENCHMARK(BM_InterpretAndRecord)->Unit(benchmark::kMillisecond);

} // namespace
