// The instrument session's work on its own thread, per read: framing,
// interpretation, one write of the read's messages to a real record file, and
// the queue to the window. And the memory the live samples take over a long
// run.
#include "link/InstrumentSession.h"
#include "link/ReplaySource.h"
#include "tools/Simulator.h"

#include <benchmark/benchmark.h>
#include <cstdio>
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

struct RecordFolder {
    char path[32] = "/tmp/quillmar-bench-XXXXXX";
    bool ok = mkdtemp(path) != nullptr;
    ~RecordFolder() {
        if (ok)
            std::system((std::string("rm -rf ") + path).c_str());
    }
};

// Feeds `stream` to the session in reads of `chunk` bytes, the window taking
// the messages after every 64 KiB, as it would.
std::uint64_t Stream(CInstrumentSession& session, const std::string& stream, std::size_t chunk,
                     std::int64_t& nowMs) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    std::size_t sinceTaken = 0;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        const std::size_t n = std::min(chunk, stream.size() - at);
        session.Process(bytes + at, n, nowMs++);
        if ((sinceTaken += n) >= 65536) {
            benchmark::DoNotOptimize(session.TakeMessages());
            sinceTaken = 0;
        }
    }
    benchmark::DoNotOptimize(session.TakeMessages());
    return session.MessagesFramed();
}

// args: bytes per read (4096: the line outrunning the program; 64: a slow line),
// and whether the raw capture is kept beside the record (1, the default) or not.
void BM_SessionProcess(benchmark::State& state) {
    RecordFolder folder;
    CInstrumentSession session;
    session.SetRawCapture(state.range(1) != 0);
    std::string error;
    if (!folder.ok || !session.CreateRecord(folder.path, std::tm{}, &error)) {
        state.SkipWithError("no record file");
        return;
    }
    const std::string& stream = Traffic();
    std::int64_t nowMs = 0;
    for (auto _ : state)
        Stream(session, stream, static_cast<std::size_t>(state.range(0)), nowMs);
    state.counters["msg/s"] = benchmark::Counter(static_cast<double>(session.MessagesFramed()),
                                                 benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_SessionProcess)
    ->Args({65536, 1})
    ->Args({65536, 0})
    ->Args({4096, 1})
    ->Args({4096, 0})
    ->Args({64, 1})
    ->Unit(benchmark::kMillisecond);

long ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Streams 2,000,000 messages and reads how much the resident size grew for
// each live sample they left.
void BM_LiveMemory(benchmark::State& state) {
    RecordFolder folder;
    for (auto _ : state) {
        CInstrumentSession session;
        std::string error;
        if (!folder.ok || !session.CreateRecord(folder.path, std::tm{}, &error)) {
            state.SkipWithError("no record file");
            return;
        }
        std::int64_t nowMs = 0;
        const std::string& stream = Traffic();
        Stream(session, stream, 4096, nowMs); // warm: buffers at their working size
        const long before = ResidentBytes();
        const std::size_t samplesBefore = session.Monitor().Samples().Size();
        while (session.MessagesFramed() < 2'000'000)
            Stream(session, stream, 4096, nowMs);
        const long grown = ResidentBytes() - before;
        const auto samples =
            static_cast<double>(session.Monitor().Samples().Size() - samplesBefore);
        state.counters["messages"] = static_cast<double>(session.MessagesFramed());
        state.counters["bytes/sample"] = static_cast<double>(grown) / samples;
        state.counters["bytes/message"] =
            static_cast<double>(grown) / static_cast<double>(session.MessagesFramed());
    }
}
BENCHMARK(BM_LiveMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// A recording of about a million messages (the simulator's traffic, with its
// timing file) replayed as fast as possible: reading, framing, interpretation,
// alarms and counts, the window's queue capped as the replay window caps it
// and emptied after every block, as the window would.
void BM_ReplayFastest(benchmark::State& state) {
    RecordFolder folder;
    std::string path;
    {
        CInstrumentSession recorder;
        std::string error;
        if (!folder.ok || !recorder.CreateRecord(folder.path, std::tm{}, &error)) {
            state.SkipWithError("no record file");
            return;
        }
        std::int64_t nowMs = 0;
        while (recorder.MessagesFramed() < 1'000'000)
            Stream(recorder, Traffic(), 4096, nowMs);
        path = recorder.RecordPath();
    }
    std::uint64_t messages = 0;
    for (auto _ : state) {
        CInstrumentSession session(nullptr, CInstrumentSession::Role::Replay);
        session.Queue().SetCap(std::size_t{4} << 20);
        CReplaySource& source = session.UseSource(std::make_unique<CReplaySource>());
        std::string error;
        if (!source.Open(path, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        source.SetSpeed(CReplaySource::kFastest);
        while (source.Pump(session, 0) >= 0)
            benchmark::DoNotOptimize(session.TakeMessages());
        messages += session.MessagesFramed();
    }
    state.counters["msg/s"] =
        benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReplayFastest)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

} // namespace
