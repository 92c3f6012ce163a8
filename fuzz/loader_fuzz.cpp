// Fuzz target for the analysis loader. Each input is written to a memory file
// and loaded with a block size drawn from its first byte, so lines cross block
// boundaries everywhere; the result must equal a plain reading of the same
// bytes: pieces of at most 99 characters ending at a line feed or a lone
// carriage return, text up to a NUL, fields by ExtractFieldOf, numbers by Atof
// (0 beyond the range of float).
#include "link/NumberText.h"
#include "plots/AnalysisLoader.h"

#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char* what, int line) {
    std::fprintf(stderr, "loader_fuzz: check failed at line %d: %s\n", line, what);
    std::abort();
}
#define CHECK(x) ((x) ? (void)0 : Fail(#x, __LINE__))

struct Reference {
    LoadResult::Status status = LoadResult::Status::Complete;
    std::vector<AnalysisSample> records;
    std::uint64_t lines = 0;
};

// A number as a record keeps it: 0 when a float cannot hold it.
float Recorded(double value) {
    return value > FLT_MAX || value < -FLT_MAX ? 0.0f : static_cast<float>(value);
}

Reference ReadPlainly(const std::string& bytes) {
    Reference ref;
    if (bytes.empty()) {
        ref.status = LoadResult::Status::Empty;
        return ref;
    }
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t cut = at;
        while (cut < bytes.size() && cut - at < 99) {
            const char c = bytes[cut++];
            if (c == '\n')
                break;
            if (c == '\r' && (cut >= bytes.size() || bytes[cut] != '\n'))
                break;
        }
        std::string line = bytes.substr(at, cut - at);
        line = line.substr(0, line.find('\0'));
        at = cut;
        ++ref.lines;
        const std::string_view field1 = ExtractFieldOf(line, 1);
        if (field1 == "GGA") {
            ref.status = LoadResult::Status::GgaRecording;
            return ref;
        }
        if (field1 == "HDA" || field1 == "ROT")
            continue;
        if (line.size() < 2 || line[0] != '$' || line[1] != 'C') {
            ref.status = LoadResult::Status::NotR35;
            return ref;
        }
        AnalysisSample record;
        record.fHeading = Recorded(Atof(field1));
        record.fPitch = Recorded(Atof(ExtractFieldOf(line, 2)));
        ref.records.push_back(record);
    }
    return ref;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t block = 1 + data[0] % 128;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    static const int fd = memfd_create("r35", 0);
    CHECK(fd >= 0);
    CHECK(ftruncate(fd, 0) == 0);
    CHECK(pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);

    std::vector<AnalysisSample> records;
    const LoadResult result = LoadAnalysisFile(path, records, {}, block);
    const Reference ref = ReadPlainly(bytes);
    CHECK(result.status == ref.status);
    CHECK(records.size() == ref.records.size());
    if (ref.status != LoadResult::Status::Empty)
        CHECK(result.nLines == ref.lines);
    for (std::size_t i = 0; i < records.size(); ++i) {
        CHECK(std::memcmp(&records[i].fHeading, &ref.records[i].fHeading, sizeof(float)) == 0);
        CHECK(std::memcmp(&records[i].fPitch, &ref.records[i].fPitch, sizeof(float)) == 0);
        CHECK(records[i].fSpare1 == 0 && records[i].fSpare2 == 0 && records[i].fSpare3 == 0);
    }
    return 0;
}
