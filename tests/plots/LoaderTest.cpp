#include "plots/AnalysisLoader.h"
#include "support/LinkSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Status = LoadResult::Status;

// Every file read whole and in blocks so small that its lines cross them
// everywhere.
TEST(Loader, ClassifiesEveryLineAndKeepsRecordsUpToAStop) {
    struct Case {
        std::string content;
        Status status;
        std::vector<std::pair<float, float>> records; // heading, pitch
    };
    const std::string k99 = "$C1.5," + std::string(93, '0'); // 99 characters
    std::vector<Case> table = {
        {"$C123.4,-2.5\n$C10.0P3.0\n", Status::Complete, {{123.4f, -2.5f}, {10.0f, 3.0f}}},
        {"$C359.9\n", Status::Complete, {{359.9f, 0}}},
        {"$C1e2,2E1\n", Status::Complete, {{100, 2}}},
        // Numbers a record's floats cannot hold read as 0, like text that is no number.
        {"$C1000000000000000000000000000000000000000,-1e39\n$Cabc,2\n",
         Status::Complete,
         {{0, 0}, {0, 2}}},
        {"$C1,2\n$C3,4\n$GPGGA,1,2,N\n$C5,6\n", Status::GgaRecording, {{1, 2}, {3, 4}}},
        {"$C1,2\n$GPROT,1.0,A\n$GPHDA,3\n$C3,4\n", Status::Complete, {{1, 2}, {3, 4}}},
        {"$C1,2\n$GPHDT,12.5,T\n$C3,4\n", Status::NotR35, {{1, 2}}},
        {"$C1,2\n$C3,4", Status::Complete, {{1, 2}, {3, 4}}},
        {"$C1,2\n\n$C3,4\n", Status::NotR35, {{1, 2}}},
        {"$C1,2\r\n$C3,4\r\n", Status::Complete, {{1, 2}, {3, 4}}},
        {"$C1,2\r$C3,4\r$C5,6", Status::Complete, {{1, 2}, {3, 4}, {5, 6}}},
        {std::string("$C12.5\0,3.0\n$C1,2\n", 18), Status::Complete, {{12.5f, 0}, {1, 2}}},
        {std::string("$C1,2\n\0\0\0\n", 10), Status::NotR35, {{1, 2}}},
        // A 99-character line: its line feed is read as an empty line of its own.
        {k99 + "\n", Status::NotR35, {{1.5f, 0}}},
        {k99 + "$C7,8\n", Status::Complete, {{1.5f, 0}, {7, 8}}},
        {k99 + "xyz\n", Status::NotR35, {{1.5f, 0}}},
        {"", Status::Empty, {}},
        {"", Status::Complete, {}}, // many lines, below
    };
    for (int i = 0; i < 300; ++i) {
        table.back().content +=
            "$C" + std::to_string(i) + "," + std::to_string(i % 17 - 8) + (i % 3 ? "\r\n" : "\n");
        table.back().records.push_back({static_cast<float>(i), static_cast<float>(i % 17 - 8)});
    }
    CTempFolder dir;
    const std::string path = dir.path + "/r35.txt";
    for (const Case& c : table) {
        ASSERT_TRUE(WriteFile(path, c.content));
        for (std::size_t block : {1u, 2u, 7u, 64u, 99u, 100u, 1u << 20}) {
            SCOPED_TRACE(testing::PrintToString(c.content.substr(0, 60)) + " in blocks of " +
                         std::to_string(block));
            std::vector<AnalysisSample> records{{1, 2, 3, 4, 5}}; // a load starts empty
            std::uint64_t progress = 0;
            const LoadResult result = LoadAnalysisFile(
                path, records, [&](std::uint64_t lines, std::uint64_t) { progress = lines; },
                block);
            EXPECT_EQ(result.status, c.status);
            EXPECT_EQ(progress, result.nLines); // the last word is the whole count
            ASSERT_EQ(records.size(), c.records.size());
            for (std::size_t i = 0; i < records.size(); ++i) {
                EXPECT_FLOAT_EQ(records[i].fHeading, c.records[i].first) << i;
                EXPECT_FLOAT_EQ(records[i].fPitch, c.records[i].second) << i;
                EXPECT_EQ(records[i].fSpare1, 0);
            }
        }
    }
}

long PeakResidentKb() {
    const std::string status = ReadFile("/proc/self/status");
    const std::size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

TEST(Loader, AHugeFileIsNeverHeldInMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator keeps what is freed: no measure of our memory";
#endif
    // 1 GB that reads as a few lines and then nothing but NUL bytes.
    CTempFolder dir;
    const std::string path = dir.path + "/r35.txt";
    ASSERT_TRUE(WriteFile(path, "$C1,2\n$C3,4\n"));
    ASSERT_EQ(truncate(path.c_str(), 1L << 30), 0);
    const long before = PeakResidentKb();
    std::vector<AnalysisSample> records;
    const LoadResult result = LoadAnalysisFile(path, records);
    EXPECT_EQ(result.status, Status::NotR35);
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(result.nLength, 1ull << 30);
    EXPECT_LT(PeakResidentKb() - before, 64 * 1024);
}

} // namespace
