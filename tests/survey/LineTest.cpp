#include "survey/Line.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Ints(std::initializer_list<std::int32_t> values) {
    std::string bytes;
    for (std::int32_t v : values) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>((u >> shift) & 0xFF));
    }
    return bytes;
}

struct Document {
    int lineFlag = 0;
    std::vector<CLine> lines;

    std::string Store() const { return StoreDocument(lineFlag, lines); }
    bool Load(const std::string& bytes, std::string* reason) {
        return LoadDocument(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                            &lineFlag, &lines, reason);
    }
};

TEST(Document, StoresTheFlagThenEverySegmentWithTheLastMarked) {
    Document doc;
    EXPECT_EQ(doc.Store(), Ints({0}));
    doc.lineFlag = 1;
    EXPECT_EQ(doc.Store(), Ints({1}));
    doc.lines = {{10, 20, 30, 40}, {30, 40, 50, 60}, {50, 60, 70, 80}};
    EXPECT_EQ(doc.Store(),
              Ints({1, 10, 20, 30, 40, 1, 1, 30, 40, 50, 60, 1, 1, 50, 60, 70, 80, 4, 1}));

    Document reopened;
    std::string reason;
    ASSERT_TRUE(reopened.Load(doc.Store(), &reason)) << reason;
    ASSERT_EQ(reopened.lines.size(), 3u);
    for (const CLine& line : reopened.lines)
        EXPECT_EQ(line.Continuation(), CLine::kMore);
    EXPECT_EQ(reopened.lines[2], CLine(50, 60, 70, 80));
    // Saved, extended and saved again: still one marker 4, on the very last.
    reopened.lines.emplace_back(1, 2, 3, 4);
    reopened.lines.emplace_back(5, 6, 7, 8);
    Document third;
    ASSERT_TRUE(third.Load(reopened.Store(), &reason));
    EXPECT_EQ(third.lines.size(), 5u);
    EXPECT_EQ(third.Store(), reopened.Store());
}

// Any cut of a document but the flag alone (an empty drawing), a flag other
// than 0 or 1, and noise are refused and leave the open document as it was.
TEST(Document, TruncatedAndForeignFilesAreRefusedAndChangeNothing) {
    Document source;
    source.lineFlag = 1;
    source.lines = {{10, 20, 30, 40}, {1, 2, 3, 4}};
    const std::string whole = source.Store();
    std::string reason;
    Document empty;
    ASSERT_TRUE(empty.Load(whole.substr(0, 4), &reason));
    EXPECT_TRUE(empty.lineFlag == 1 && empty.lines.empty());

    Document doc;
    doc.lineFlag = 1;
    doc.lines = {{9, 9, 9, 9}};
    const std::string before = doc.Store();
    auto refused = [&](const std::string& file) {
        reason.clear();
        const bool loaded = doc.Load(file, &reason);
        EXPECT_TRUE(loaded || (!reason.empty() && doc.Store() == before));
        doc.Load(before, &reason);
        return !loaded;
    };
    for (std::size_t length = 0; length < whole.size(); ++length)
        EXPECT_EQ(refused(whole.substr(0, length)), length != 4) << "length " << length;
    EXPECT_TRUE(refused(Ints({7, 1, 2, 3, 4, 4, 1})));
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        std::string noise(random() % 200, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        refused(noise);
    }
}

} // namespace
