// Fuzz target for the document loader: any bytes either load (and then store
// and load again to the same segments) or are refused with a reason, leaving
// what was there before untouched.
#include "survey/Line.h"

#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void Fail(const char* what, int line) {
    std::fprintf(stderr, "document_fuzz: check failed at line %d: %s\n", line, what);
    std::abort();
}
#define CHECK(x) ((x) ? (void)0 : Fail(#x, __LINE__))
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int flag = 7;
    std::vector<CLine> lines{CLine(1, 2, 3, 4)};
    std::string reason;
    if (!LoadDocument(data, size, &flag, &lines, &reason)) {
        CHECK(!reason.empty());
        CHECK(flag == 7 && lines.size() == 1 && lines[0] == CLine(1, 2, 3, 4));
        return 0;
    }
    CHECK(flag == 0 || flag == 1);
    CHECK(flag == 1 || lines.empty());
    for (const CLine& line : lines)
        CHECK(line.Continuation() == CLine::kMore);
    const std::string stored = StoreDocument(flag, lines);
    CHECK(stored.size() == 4 + lines.size() * CLine::kRecordSize);
    int again = -1;
    std::vector<CLine> reread;
    CHECK(LoadDocument(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size(), &again,
                       &reread, &reason));
    CHECK(again == flag && reread == lines);
    return 0;
}
