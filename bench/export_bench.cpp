// CSV export of 10^7 analysis records into a file (MB/s): with times, roll
// and a NaN roll now and then, as a record file gives them, and without
// times or roll, as the instrument's own files do.
//   cmake --build build --target export_bench && build/bench/export_bench
#include "plots/CsvExport.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t kRecords = 10000000;

const std::vector<AnalysisSample>& Records() {
    static const std::vector<AnalysisSample> records = [] {
        std::vector<AnalysisSample> r(kRecords);
        for (std::size_t i = 0; i < kRecords; ++i) {
            const double t = static_cast<double>(i);
            // Values as the instrument gives them: a few decimals.
            r[i].fHeading =
                static_cast<float>(std::round((180 + 150 * std::sin(t / 9e4)) * 100) / 100);
            r[i].fPitch = static_cast<float>(std::round(6 * std::sin(t / 700) * 100) / 100);
            r[i].fSpare1 =
                i % 50 ? static_cast<float>(std::round(-7 * std::cos(t / 900) * 100) / 100) : NAN;
        }
        return r;
    }();
    return records;
}

void BM_ExportCsv(benchmark::State& state) {
    const bool timed = state.range(0) != 0;
    AnalysisTimes times;
    if (timed) {
        times.source = RecordTimeSource::TimingFile;
        times.nStartUtcMs = 1796634303125;
        times.arrOffsetMs.resize(kRecords);
        for (std::size_t i = 0; i < kRecords; ++i)
            times.arrOffsetMs[i] = static_cast<std::uint32_t>(i * 100 + i % 7);
    }
    const std::vector<AnalysisSample>& records = Records();
    // EXPORT_BENCH_DIR: where the file goes (a disk, or /dev/shm to leave the disk out).
    const char* folder = std::getenv("EXPORT_BENCH_DIR");
    const std::string path = std::string(folder ? folder : ".") + "/export-bench.csv";
    struct stat info {};
    for (auto _ : state) {
        const std::string error = ExportAnalysisCsv(path, records, times);
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    stat(path.c_str(), &info);
    unlink(path.c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * info.st_size);
    state.counters["MB"] = static_cast<double>(info.st_size) / 1e6;
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                    static_cast<double>(info.st_size) / 1e6,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportCsv)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

namespace {
// The rows alone, into a buffer that is used again: what formatting costs
// without the file system.
void BM_FormatCsvRows(benchmark::State& state) {
    AnalysisTimes times;
    times.source = RecordTimeSource::TimingFile;
    times.nStartUtcMs = 1796634303125;
    times.arrOffsetMs.resize(kRecords);
    for (std::size_t i = 0; i < kRecords; ++i)
        times.arrOffsetMs[i] = static_cast<std::uint32_t>(i * 100 + i % 7);
    const std::vector<AnalysisSample>& records = Records();
    std::vector<char> block(1u << 20);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        CCsvRows rows(records, times);
        char* p = block.data();
        for (std::size_t i = 0; i < rows.Count(); ++i) {
            p = rows.Row(i, p);
            if (p >= block.data() + block.size() - CCsvRows::kMaxRow) {
                bytes += static_cast<std::uint64_t>(p - block.data());
                benchmark::DoNotOptimize(block.data());
                p = block.data();
            }
        }
        bytes += static_cast<std::uint64_t>(p - block.data());
    }
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FormatCsvRows)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
