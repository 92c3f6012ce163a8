#include "plots/RecordLoader.h"

#include "plots/LargePages.h"
#include "plots/Prefault.h"

#include "link/RecordReader.h"
#include "link/Sentences.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <unistd.h>

namespace {
// The shortest message that carries an angle, "$C1" at the record's end, is
// three bytes: a record of L bytes holds at most L / 3 records.
constexpr std::uint64_t kShortestAttitude = 3;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

template <class T> void ReserveFor(std::vector<T>& v, std::uint64_t count) {
    try {
        v.reserve(static_cast<std::size_t>(count));
        AdviseLargePages(v.data(), v.capacity() * sizeof(T));
    } catch (const std::bad_alloc&) {
        // No address space for the bound: grow as messages come.
    }
}

// Milliseconds after the first record, held in the four bytes a record has
// for its time (49 days; a time before the first reads as the first).
std::uint32_t OffsetMs(std::int64_t utcMs, std::int64_t startMs) {
    const std::int64_t offset = utcMs - startMs;
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(offset, 0, std::numeric_limits<std::uint32_t>::max()));
}
} // namespace

RecordLoadResult LoadRecordFile(const std::string& path, RecordLoadOutput& out,
                                const LoadProgress& progress, const std::atomic<bool>* cancel,
                                const SentenceOptions& options) {
    RecordLoadResult result;
    out.records.clear();
    out.times = AnalysisTimes();
    out.counts = CMessageCounts();
    // The refusals the R35 loader gives, told before the reader runs through
    // the record for its clock.
    const RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        result.status = file.notRegular ? RecordLoadResult::Status::NotRegularFile
                                        : RecordLoadResult::Status::CannotOpen;
        result.nError = file.error;
        return result;
    }
    close(file.fd);
    result.nLength = file.size;
    if (file.size == 0) {
        result.status = RecordLoadResult::Status::Empty;
        return result;
    }
    CRecordReader reader;
    if (!reader.Open(path, &result.strError)) {
        result.status = RecordLoadResult::Status::CannotOpen;
        return result;
    }
    result.nLength = reader.Length();
    const std::uint64_t bound = result.nLength / kShortestAttitude + 1;
    ReserveFor(out.records, bound);
    ReserveFor(out.times.arrOffsetMs, bound);
    out.times.source = reader.TimeSource();
    out.times.strSourceNote = reader.TimeSourceNote();
    CPrefault prefault({CPrefault::Of(out.records), CPrefault::Of(out.times.arrOffsetMs)});

    const float none = std::numeric_limits<float>::quiet_NaN();
    float heading = none, pitch = none, roll = none;
    bool started = false;
    auto lastProgress = std::chrono::steady_clock::now();
    RecordMessage message;
    while (reader.Next(&message)) {
        const std::int64_t utcMs = std::max<std::int64_t>(message.nUtcMs, 0);
        if ((++result.nMessages & 0xFFF) == 0) {
            prefault.Written(out.records.size());
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                result.status = RecordLoadResult::Status::Cancelled;
                return result;
            }
            const auto now = std::chrono::steady_clock::now();
            if (progress && now - lastProgress >= kProgressInterval) {
                lastProgress = now;
                progress(message.nOffset, result.nLength);
            }
        }
        if (message.bPacket) {
            out.counts.CountPacket(message.nType, utcMs);
            continue;
        }
        const SentenceReading reading = ReadSentence(message.bytes, options);
        out.counts.CountReading(message.bytes, reading, utcMs);
        // Each angle keeps its last value, as a live sample does.
        bool angle = false;
        for (const Observation& o : reading) {
            if (o.validity != Validity::Valid)
                continue;
            const auto value = static_cast<float>(o.value.dNumber);
            switch (o.quantity) {
            case Quantity::Heading:
                heading = value, angle = true;
                break;
            case Quantity::Pitch:
                pitch = value, angle = true;
                break;
            case Quantity::Roll:
                roll = value, angle = true;
                break;
            default: // not drawn
                break;
            }
        }
        if (!angle) {
            result.nPositions += reading.Valid(Quantity::Position) != nullptr;
            continue;
        }
        if (!started) {
            out.times.nStartUtcMs = message.nUtcMs;
            started = true;
        }
        out.records.push_back({heading, roll, pitch, 0, 0});
        out.times.arrOffsetMs.push_back(OffsetMs(message.nUtcMs, out.times.nStartUtcMs));
    }
    if (reader.Error() != 0) {
        result.status = RecordLoadResult::Status::CannotOpen;
        result.nError = reader.Error();
    } else if (out.records.empty()) {
        result.status = RecordLoadResult::Status::NoAttitude;
    }
    if (progress)
        progress(result.nLength, result.nLength);
    return result;
}
