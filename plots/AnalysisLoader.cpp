#include "plots/AnalysisLoader.h"

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t kBlock = 1u << 20;
constexpr std::size_t kMaxLine = 99;
// The shortest record line, "$C\n", is three bytes: a file of L bytes holds at
// most L / 3 records. Reserved address space costs nothing until written.
constexpr std::uint64_t kShortestRecord = 3;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

// The text of a line as the C string it was read into: up to a NUL byte.
std::string_view AsCString(std::string_view line) {
    const std::size_t nul = line.find('\0');
    return nul == std::string_view::npos ? line : line.substr(0, nul);
}
} // namespace

LineKind ClassifyLine(std::string_view raw, AnalysisSample* record) {
    const std::string_view line = AsCString(raw);
    const std::string_view field1 = CReceiverMessage::ExtractFieldOf(line, 1);
    if (field1 == "GGA")
        return LineKind::GgaRecording;
    if (field1 == "HDA" || field1 == "ROT")
        return LineKind::Skipped;
    if (line.size() < 2 || line[0] != '$' || line[1] != 'C')
        return LineKind::NotR35;
    record->fHeading = static_cast<float>(Atof(field1));
    record->fSpare1 = 0;
    record->fPitch = static_cast<float>(Atof(CReceiverMessage::ExtractFieldOf(line, 2)));
    record->fSpare2 = record->fSpare3 = 0;
    return LineKind::Record;
}

LoadResult LoadAnalysisFile(const std::string& path, std::vector<AnalysisSample>& records,
                            const LoadProgress& progress) {
    LoadResult result{LoadResult::Status::Complete};
    records.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        result.status = LoadResult::Status::CannotOpen;
        result.nError = fd < 0 ? errno : (S_ISDIR(info.st_mode) ? EISDIR : errno);
        if (fd >= 0)
            close(fd);
        return result;
    }
    result.nLength = static_cast<std::uint64_t>(info.st_size);
    if (result.nLength == 0) {
        close(fd);
        result.status = LoadResult::Status::Empty;
        return result;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    try {
        records.reserve(static_cast<std::size_t>(result.nLength / kShortestRecord + 1));
    } catch (const std::bad_alloc&) {
        // No address space for the bound: grow as lines come.
    }

    std::vector<char> buffer(kBlock + kMaxLine + 1);
    std::size_t held = 0; // bytes of a partial line carried over from the last block
    bool atEnd = false;
    auto lastProgress = std::chrono::steady_clock::now();
    std::uint64_t lines = 0;
    auto finish = [&](LoadResult::Status status) {
        close(fd);
        result.status = status;
        result.nLines = lines;
        if (progress)
            progress(lines, result.nLength);
        return result;
    };

    while (!atEnd || held > 0) {
        if (!atEnd) {
            const ssize_t got = read(fd, buffer.data() + held, kBlock);
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
            // One line: up to a line end, at most 99 characters.
            const std::size_t room =
                std::min<std::size_t>(kMaxLine, static_cast<std::size_t>(end - p));
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', room));
            const char* cut = lf ? lf + 1 : p + room;
            // A carriage return ends the line when no line feed follows it.
            if (const char* cr = static_cast<const char*>(
                    std::memchr(p, '\r', static_cast<std::size_t>(cut - p)))) {
                for (; cr && cr < cut; cr = static_cast<const char*>(std::memchr(
                                           cr + 1, '\r', static_cast<std::size_t>(cut - cr - 1)))) {
                    if (cr + 1 < end && cr[1] == '\n')
                        continue;
                    if (cr + 1 == end && !atEnd)
                        break; // the next block may start with its line feed
                    cut = cr + 1;
                    break;
                }
            }
            if (!lf && cut == p + room && room < kMaxLine && !atEnd)
                break; // an unfinished line: wait for the next block
            ++lines;
            AnalysisSample record;
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
            if (progress && (lines & 0xFFF) == 0) {
                const auto now = std::chrono::steady_clock::now();
                if (now - lastProgress >= kProgressInterval) {
                    lastProgress = now;
                    progress(lines, result.nLength);
                }
            }
        }
        held = static_cast<std::size_t>(end - p);
        std::memmove(buffer.data(), p, held);
        if (atEnd && held == 0)
            break;
    }
    return finish(LoadResult::Status::Complete);
}
