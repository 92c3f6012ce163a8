#include "plots/AnalysisLoader.h"

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"
#include "platform/RegularFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace {
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

namespace {

constexpr bool IsSeparator(char c) {
    return c == ',' || c == '*' || c == 'C' || c == 'E' || c == 'N' || c == 'P';
}

// Characters that end a field: the separators, the line ends, and NUL (the
// end of the line as the C string it was read into).
struct FieldEnds {
    bool stop[256] = {};
    constexpr FieldEnds() {
        for (unsigned char c : {',', '*', 'C', 'E', 'N', 'P', '\r', '\n', '\0'})
            stop[c] = true;
    }
};
constexpr FieldEnds kFieldEnds;

// A plain decimal ("-12.345") read exactly as strtod reads it, for the common
// case: at most 15 digits make an exact integer and 10^k an exact power, so one
// division gives the correctly rounded double. Anything else goes to Atof.
double ReadNumber(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p < end && *p == '-';
    p += negative || (p < end && *p == '+');
    const char* const digitsStart = p;
    std::uint64_t mantissa = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    const char* const integerEnd = p;
    int decimals = 0;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
            ++decimals;
        }
    }
    const long digits = (integerEnd - digitsStart) + decimals;
    // Exponents, hexadecimal, inf and nan, blanks, long numbers: the full reading.
    const bool simple = digits > 0 && digits <= 15 &&
                        (p == end || (*p != 'e' && *p != 'E' && *p != 'x' && *p != 'X' &&
                                      *p != 'n' && *p != 'N' && *p != 'i' && *p != 'I'));
    if (!simple)
        return Atof(text);
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = static_cast<double>(mantissa) / kPowers[decimals];
    return negative ? -value : value;
}

// A plain decimal that starts at p and ends at a field's end, read exactly as
// ReadNumber would; nullptr when the text is anything else.
const char* ScanPlainNumber(const char* p, const char* end, double* value) {
    const bool negative = p < end && *p == '-';
    p += negative || (p < end && *p == '+');
    std::uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0'), ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0'), ++decimals;
    }
    if (digits + decimals == 0 || digits + decimals > 15 || p == end)
        return nullptr;
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = static_cast<double>(mantissa) / kPowers[decimals];
    *value = negative ? -v : v;
    return p;
}

// The common line, "$C<number><separator><number>" and a line end, read in
// one pass. Returns where the next line starts, or nullptr when the line is
// anything else (the general reading then takes it).
const char* ReadPlainRecord(const char* p, const char* end, AnalysisSample* record) {
    const char* const start = p;
    if (end - p < 4 || p[0] != '$' || p[1] != 'C')
        return nullptr;
    double heading = 0, pitch = 0;
    p = ScanPlainNumber(p + 2, end, &heading);
    if (!p || !IsSeparator(*p))
        return nullptr;
    p = ScanPlainNumber(p + 1, end, &pitch);
    if (!p)
        return nullptr;
    if (*p == '\r' && p + 1 < end && p[1] == '\n')
        ++p;
    if (*p != '\n' || p + 1 - start > static_cast<long>(kMaxLine))
        return nullptr;
    record->fHeading = static_cast<float>(heading);
    record->fSpare1 = 0;
    record->fPitch = static_cast<float>(pitch);
    record->fSpare2 = record->fSpare3 = 0;
    return p + 1;
}

// The field that starts at `from` and the position of what ended it.
std::string_view FieldAt(std::string_view line, std::size_t from, std::size_t* end) {
    std::size_t i = from;
    while (i < line.size() && !kFieldEnds.stop[static_cast<unsigned char>(line[i])])
        ++i;
    *end = i;
    return line.substr(from, i - from);
}

} // namespace

LineKind ClassifyLine(std::string_view raw, AnalysisSample* record) {
    std::string_view line = raw;
    std::string_view field1, field2;
    if (raw.size() >= 2 && raw[0] == '$' && raw[1] == 'C') {
        // A data line: the C is the first separator, so the fields are read
        // in one pass, unless a line end comes before the second separator.
        std::size_t end = 0;
        field1 = FieldAt(raw, 2, &end);
        if (end == raw.size() || raw[end] == '\0')
            field2 = {};
        else if (IsSeparator(raw[end]))
            field2 = FieldAt(raw, end + 1, &end);
        else
            field2 = CReceiverMessage::ExtractFieldOf(line = AsCString(raw), 2);
    } else {
        line = AsCString(raw);
        field1 = CReceiverMessage::ExtractFieldOf(line, 1);
    }
    if (field1 == "GGA")
        return LineKind::GgaRecording;
    if (field1 == "HDA" || field1 == "ROT")
        return LineKind::Skipped;
    if (line.size() < 2 || line[0] != '$' || line[1] != 'C')
        return LineKind::NotR35;
    record->fHeading = static_cast<float>(ReadNumber(field1));
    record->fSpare1 = 0;
    record->fPitch = static_cast<float>(ReadNumber(field2));
    record->fSpare2 = record->fSpare3 = 0;
    return LineKind::Record;
}

LoadResult LoadAnalysisFile(const std::string& path, std::vector<AnalysisSample>& records,
                            const LoadProgress& progress, std::size_t blockSize) {
    LoadResult result{LoadResult::Status::Complete};
    records.clear();
    const RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        result.status =
            file.notRegular ? LoadResult::Status::NotRegularFile : LoadResult::Status::CannotOpen;
        result.nError = file.error;
        return result;
    }
    const int fd = file.fd;
    result.nLength = file.size;
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

    blockSize = std::max<std::size_t>(blockSize, 1);
    std::vector<char> buffer(blockSize + kMaxLine + 1);
    std::size_t held = 0; // bytes of a partial line carried over from the last block
    bool atEnd = false;
    auto lastProgress = std::chrono::steady_clock::now();
    std::uint64_t lines = 0;
    // Counts a line and, every 4096 lines, lets the caller paint if 50 ms passed.
    auto countLine = [&] {
        ++lines;
        if (progress && (lines & 0xFFF) == 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastProgress >= kProgressInterval) {
                lastProgress = now;
                progress(lines, result.nLength);
            }
        }
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
                countLine();
                p = next;
                continue;
            }
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
            countLine();
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
