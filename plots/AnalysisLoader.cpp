#include "plots/AnalysisLoader.h"

#include "link/NumberText.h"
#include "platform/RegularFile.h"
#include "plots/LargePages.h"
#include "plots/Prefault.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <unistd.h>

namespace {
constexpr std::size_t kMaxLine = 99;
// The shortest record line, "$C\n", is three bytes: a file of L bytes holds at
// most L / 3 records. Reserved address space costs nothing until written.
constexpr std::uint64_t kShortestRecord = 3;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

// A record holds floats: a value beyond their range reads as 0, like text
// that is no number, never as an infinity the plot could not place.
float RecordValue(double value) {
    return std::fabs(value) <= std::numeric_limits<float>::max() ? static_cast<float>(value) : 0.0f;
}

void SetRecord(double heading, double pitch, AnalysisSample* record) {
    record->fHeading = RecordValue(heading);
    record->fSpare1 = 0;
    record->fPitch = RecordValue(pitch);
    record->fSpare2 = record->fSpare3 = 0;
}

// The common line, "$C<number><delimiter><number>" and a line end, read in
// one pass. Returns where the next line starts, or nullptr when the line is
// anything else (the general reading then takes it).
const char* ReadPlainRecord(const char* p, const char* end, AnalysisSample* record) {
    const char* const start = p;
    if (end - p < 4 || p[0] != '$' || p[1] != 'C')
        return nullptr;
    double heading = 0, pitch = 0;
    p = ReadPlainDecimal(p + 2, end, &heading);
    if (!p || p == end || !IsFieldDelimiter(*p))
        return nullptr;
    p = ReadPlainDecimal(p + 1, end, &pitch);
    if (!p || p == end)
        return nullptr;
    if (*p == '\r' && p + 1 < end && p[1] == '\n')
        ++p;
    if (*p != '\n' || p + 1 - start > static_cast<long>(kMaxLine))
        return nullptr;
    SetRecord(heading, pitch, record);
    return p + 1;
}

const char* Find(const char* from, const char* to, char c) {
    return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(to - from)));
}

// Where the line that starts at p ends: after a line feed, after a carriage
// return that no line feed follows, or after 99 characters. nullptr when the
// line may go on in the next block.
const char* LineEnd(const char* p, const char* end, bool atEnd) {
    const std::size_t room = std::min<std::size_t>(kMaxLine, static_cast<std::size_t>(end - p));
    const char* const limit = p + room;
    const char* const lf = Find(p, limit, '\n');
    const char* cut = lf ? lf + 1 : limit;
    for (const char* cr = p; (cr = Find(cr, cut, '\r')) != nullptr; ++cr) {
        if (cr + 1 < end && cr[1] == '\n')
            continue;
        // At the block's end the next block may start with its line feed.
        if (cr + 1 < end || atEnd)
            cut = cr + 1;
        break;
    }
    if (!lf && cut == limit && room < kMaxLine && !atEnd)
        return nullptr;
    return cut;
}

// Opens path for reading from start to end and sets result's length; -1 with
// result's status and error set when there is nothing to read.
int OpenForLoading(const std::string& path, LoadResult* result) {
    const RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        result->status =
            file.notRegular ? LoadResult::Status::NotRegularFile : LoadResult::Status::CannotOpen;
        result->nError = file.error;
        return -1;
    }
    result->nLength = file.size;
    if (result->nLength == 0) {
        close(file.fd);
        result->status = LoadResult::Status::Empty;
        return -1;
    }
    posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file.fd;
}

} // namespace

LineKind ClassifyLine(std::string_view raw, AnalysisSample* record) {
    // The text of the line as the C string it was read into: up to a NUL byte.
    const std::string_view line = raw.substr(0, raw.find('\0'));
    const std::string_view field1 = ExtractFieldOf(line, 1);
    if (field1 == "GGA")
        return LineKind::GgaRecording;
    if (field1 == "HDA" || field1 == "ROT")
        return LineKind::Skipped;
    if (line.size() < 2 || line[0] != '$' || line[1] != 'C')
        return LineKind::NotR35;
    SetRecord(Atof(field1), Atof(ExtractFieldOf(line, 2)), record);
    return LineKind::Record;
}

LoadResult LoadAnalysisFile(const std::string& path, std::vector<AnalysisSample>& records,
                            const LoadProgress& progress, std::size_t blockSize,
                            const std::atomic<bool>* cancel) {
    LoadResult result{LoadResult::Status::Complete};
    records.clear();
    const int fd = OpenForLoading(path, &result);
    if (fd < 0)
        return result;
    try {
        records.reserve(static_cast<std::size_t>(result.nLength / kShortestRecord + 1));
        AdviseLargePages(records.data(), records.capacity() * sizeof(AnalysisSample));
    } catch (const std::bad_alloc&) {
        // No address space for the bound: grow as lines come.
    }

    CPrefault prefault({CPrefault::Of(records)});
    blockSize = std::max<std::size_t>(blockSize, 1);
    std::vector<char> buffer(blockSize + kMaxLine + 1);
    std::size_t held = 0; // bytes of a partial line carried over from the last block
    bool atEnd = false;
    auto lastProgress = std::chrono::steady_clock::now();
    std::uint64_t lines = 0;
    // Counts a line and, every 4096 lines, lets the caller paint if 50 ms
    // passed; false when the load is to end there.
    auto countLine = [&] {
        ++lines;
        if ((lines & 0xFFF) != 0)
            return true;
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        if (progress) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastProgress >= kProgressInterval) {
                lastProgress = now;
                progress(lines, result.nLength);
            }
        }
        return true;
    };
    auto finish = [&](LoadResult::Status status) {
        close(fd);
        result.status = status;
        result.nLines = lines;
        if (progress)
            progress(lines, result.nLength);
        return result;
    };

    while (!atEnd || held > 0) {
        prefault.Written(records.size());
        if (!atEnd) {
            const ssize_t got = read(fd, buffer.data() + held, blockSize);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                result.nError = errno;
                return finish(LoadResult::Status::CannotOpen);
            }
            atEnd = got == 0;
            held += static_cast<std::size_t>(got);
        }
        const char* p = buffer.data();
        const char* const end = p + held;
        while (p < end) {
            AnalysisSample record;
            if (const char* next = ReadPlainRecord(p, end, &record)) {
                records.push_back(record);
                if (!countLine())
                    return finish(LoadResult::Status::Cancelled);
                p = next;
                continue;
            }
            const char* const cut = LineEnd(p, end, atEnd);
            if (!cut)
                break; // an unfinished line: wait for the next block
            if (!countLine())
                return finish(LoadResult::Status::Cancelled);
            switch (ClassifyLine(std::string_view(p, static_cast<std::size_t>(cut - p)), &record)) {
            case LineKind::Record:
                records.push_back(record);
                break;
            case LineKind::Skipped:
                break;
            case LineKind::GgaRecording:
                return finish(LoadResult::Status::GgaRecording);
            case LineKind::NotR35:
                return finish(LoadResult::Status::NotR35);
            }
            p = cut;
        }
        held = static_cast<std::size_t>(end - p);
        std::memmove(buffer.data(), p, held);
        if (atEnd && held == 0)
            break;
    }
    return finish(LoadResult::Status::Complete);
}
