// Fuzz target for the record reader: the first byte says where the input is
// cut into a timing file (after a valid header) and a record. Whatever the
// bytes, the messages read must be the record cut into non-empty pieces, in
// order, with consecutive offsets and numbers, and a seek back to where the
// reader stood must read the same messages again.
#include "link/RecordReader.h"
#include "link/RecordTimes.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, int line) {
    std::fprintf(stderr, "record_fuzz: check failed at line %d: %s\n", line, what);
    std::abort();
}
#define CHECK(x) ((x) ? (void)0 : Fail(#x, __LINE__))

void Spill(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    CHECK(file);
    CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    std::fclose(file);
}

struct Read {
    std::string bytes;
    std::int64_t utcMs;
    bool packet;
};

std::vector<Read> ReadFrom(CRecordReader& reader, std::uint64_t offset, std::uint64_t index) {
    std::vector<Read> messages;
    RecordMessage m;
    while (reader.Next(&m)) {
        CHECK(!m.bytes.empty());
        CHECK(m.nOffset == offset && m.nIndex == index);
        offset += m.bytes.size();
        ++index;
        messages.push_back({std::string(m.bytes), m.nUtcMs, m.bPacket});
    }
    return messages;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const std::string dir = [] {
        char pattern[] = "/tmp/record-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = input.size() * data[0] / 255;
    const std::string record = input.substr(cut);
    const std::string path = dir + "/2026-12-7-9-5-3.txt";
    Spill(path, record);
    if (data[0] & 1)
        Spill(CRecordTimesWriter::PathFor(path),
              std::string(kTimesMagic, 8) + std::string(8, '\0') + input.substr(0, cut));
    else
        unlink(CRecordTimesWriter::PathFor(path).c_str());

    CRecordReader reader;
    CHECK(reader.Open(path, nullptr));
    CHECK(reader.Length() == record.size());
    const std::vector<Read> all = ReadFrom(reader, 0, 0);
    std::string joined;
    for (const Read& r : all)
        joined += r.bytes;
    CHECK(joined == record);

    reader.Seek({});
    const std::size_t half = all.size() / 2;
    RecordMessage m;
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < half; ++i) {
        CHECK(reader.Next(&m));
        offset += m.bytes.size();
    }
    const CRecordReader::Position position = reader.Tell();
    const std::vector<Read> rest = ReadFrom(reader, offset, half);
    reader.Seek(position);
    const std::vector<Read> again = ReadFrom(reader, offset, half);
    CHECK(rest.size() == all.size() - half && again.size() == rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        CHECK(rest[i].bytes == all[half + i].bytes && again[i].bytes == rest[i].bytes);
        CHECK(rest[i].utcMs == all[half + i].utcMs && again[i].utcMs == rest[i].utcMs);
        CHECK(rest[i].packet == all[half + i].packet && again[i].packet == rest[i].packet);
    }
    return 0;
}
