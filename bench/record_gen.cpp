// Writes a recording as the program would have written it from the simulated
// instrument: the record of every message and its timing file, for
// bench/record_load.
//
//   record_gen FILE MESSAGES [SENTENCES]   (SENTENCES as quillmar-sim's --sentences)
#include "link/MonitorState.h"
#include "link/RecordFile.h"
#include "link/RecordTimes.h"
#include "tools/Simulator.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: record_gen FILE MESSAGES [SENTENCES]\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::uint64_t messages = std::strtoull(argv[2], nullptr, 10);
    TrafficOptions options;
    if (argc > 3 && !options.ParseSentences(argv[3])) {
        std::fprintf(stderr, "record_gen: unknown sentence in %s\n", argv[3]);
        return 2;
    }
    constexpr double kRateHz = 10;
    constexpr std::int64_t kBaseUtcMs = 1796634303000; // 2026-12-07 09:05:03 UTC
    CRecordFile record;
    CRecordTimesWriter times;
    std::string error;
    if (!record.Replace(path, &error) || !times.Open(path, kBaseUtcMs, &error)) {
        std::fprintf(stderr, "record_gen: %s\n", error.c_str());
        return 1;
    }
    CReceiverMessage framer;
    std::string batch;
    std::uint64_t written = 0;
    for (std::uint64_t tick = 0; written < messages; ++tick) {
        const std::string traffic = CInstrumentSimulator::Traffic(tick, kRateHz, options);
        const std::int64_t utcMs = kBaseUtcMs + static_cast<std::int64_t>(tick * 1000 / kRateHz);
        framer.Feed(reinterpret_cast<const std::uint8_t*>(traffic.data()), traffic.size(),
                    [&](const FramedMessage& message) {
                        const std::string_view text = message.Text();
                        if (text.empty() || written >= messages)
                            return;
                        batch.append(text);
                        times.Add(text, !message.bTextLine, utcMs,
                                  message.bTextLine ? 0 : message.nType);
                        ++written;
                    });
        if (batch.size() >= (1u << 20)) {
            if (!record.Write(batch) || !times.WriteBatch()) {
                std::fprintf(stderr, "record_gen: cannot write %s\n", path.c_str());
                return 1;
            }
            batch.clear();
        }
    }
    const bool ok = record.Write(batch) && times.WriteBatch() && record.Flush() && times.Flush();
    return ok ? 0 : 1;
}
