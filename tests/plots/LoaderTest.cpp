#include "plots/AnalysisLoader.h"
#include "support/TestSupport.h"

#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Status = LoadResult::Status;

std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::WriteOnly);
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
}

struct LoaderCase {
    const char* name;
    std::string content;
    Status status;
    std::vector<std::pair<float, float>> records; // heading, pitch
};

// Cases print as their names in test listings.
void PrintTo(const LoaderCase& c, std::ostream* out) {
    *out << c.name;
}

class LoaderTable : public ::testing::TestWithParam<LoaderCase> {};

TEST_P(LoaderTable, ClassifiesEveryLineAndKeepsRecordsUpToAStop) {
    const LoaderCase& c = GetParam();
    QTemporaryDir dir;
    std::vector<AnalysisSample> records{{1, 2, 3, 4, 5}}; // a load starts empty
    const LoadResult result = LoadAnalysisFile(WriteFile(dir, c.name, c.content), records);
    EXPECT_EQ(result.status, c.status);
    ASSERT_EQ(records.size(), c.records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_FLOAT_EQ(records[i].fHeading, c.records[i].first) << i;
        EXPECT_FLOAT_EQ(records[i].fPitch, c.records[i].second) << i;
        EXPECT_EQ(records[i].fSpare1, 0);
    }
}

const std::string k99 = "$C1.5," + std::string(93, '0'); // 99 characters

INSTANTIATE_TEST_SUITE_P(
    Files, LoaderTable,
    ::testing::Values(
        LoaderCase{"two_lines",
                   "$C123.4,-2.5\n$C10.0P3.0\n",
                   Status::Complete,
                   {{123.4f, -2.5f}, {10.0f, 3.0f}}},
        LoaderCase{"no_second_field", "$C359.9\n", Status::Complete, {{359.9f, 0}}},
        // Numbers a record's floats cannot hold read as 0, like text that is no number.
        LoaderCase{"beyond_float_range",
                   "$C1000000000000000000000000000000000000000,-1e39\n$Cabc,2\n",
                   Status::Complete,
                   {{0, 0}, {0, 2}}},
        LoaderCase{"gga_anywhere",
                   "$C1,2\n$C3,4\n$GPGGA,1,2,N\n$C5,6\n",
                   Status::GgaRecording,
                   {{1, 2}, {3, 4}}},
        LoaderCase{"hda_rot_skipped",
                   "$C1,2\n$GPROT,1.0,A\n$GPHDA,3\n$C3,4\n",
                   Status::Complete,
                   {{1, 2}, {3, 4}}},
        LoaderCase{"hdt_refused", "$C1,2\n$GPHDT,12.5,T\n$C3,4\n", Status::NotR35, {{1, 2}}},
        LoaderCase{"no_final_line_feed", "$C1,2\n$C3,4", Status::Complete, {{1, 2}, {3, 4}}},
        LoaderCase{"empty_line_stops", "$C1,2\n\n$C3,4\n", Status::NotR35, {{1, 2}}},
        LoaderCase{"crlf", "$C1,2\r\n$C3,4\r\n", Status::Complete, {{1, 2}, {3, 4}}},
        LoaderCase{"cr_only", "$C1,2\r$C3,4\r$C5,6", Status::Complete, {{1, 2}, {3, 4}, {5, 6}}},
        LoaderCase{"nul_ends_the_text",
                   std::string("$C12.5\0,3.0\n$C1,2\n", 18),
                   Status::Complete,
                   {{12.5f, 0}, {1, 2}}},
        LoaderCase{"nul_line_stops", std::string("$C1,2\n\0\0\0\n", 10), Status::NotR35, {{1, 2}}},
        // A 99-character line: its line feed is read as an empty line of its own.
        LoaderCase{"ninety_nine_then_lf", k99 + "\n", Status::NotR35, {{1.5f, 0}}},
        LoaderCase{
            "long_line_continues_as_data", k99 + "$C7,8\n", Status::Complete, {{1.5f, 0}, {7, 8}}},
        LoaderCase{"long_line_continuation_refused", k99 + "xyz\n", Status::NotR35, {{1.5f, 0}}},
        LoaderCase{"empty", "", Status::Empty, {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Loader, AMissingFileSaysWhy) {
    std::vector<AnalysisSample> records{{1, 2, 3, 4, 5}};
    const LoadResult result = LoadAnalysisFile("/nonexistent/r35.txt", records);
    EXPECT_EQ(result.status, Status::CannotOpen);
    EXPECT_EQ(result.nError, ENOENT);
    EXPECT_TRUE(records.empty());
}

TEST(Loader, LinesAcrossBlockBoundariesAreWhole) {
    // Every kind of line, read in blocks so small that lines cross them everywhere.
    std::string content;
    for (int i = 0; i < 400; ++i) {
        content += "$C" + std::to_string(i % 360) + "." + std::to_string(i % 10) + "," +
                   std::to_string(i % 17 - 8) + (i % 3 ? "\r\n" : "\n");
        if (i % 50 == 7)
            content +=
                "$GPROT,1.0,A\r\n$C7P-1.5\r$C1e2,2E1\n$C1," + std::string(95, '9') + "$C2,3\n";
    }
    QTemporaryDir dir;
    const std::string path = WriteFile(dir, "mixed", content);
    std::vector<AnalysisSample> whole;
    std::uint64_t lastProgress = 0;
    const LoadResult result = LoadAnalysisFile(
        path, whole, [&](std::uint64_t lines, std::uint64_t) { lastProgress = lines; });
    EXPECT_EQ(result.status, Status::Complete);
    EXPECT_EQ(lastProgress, result.nLines); // the last word is the whole count
    EXPECT_FLOAT_EQ(whole[1].fPitch, -7);
    for (std::size_t block : {1u, 2u, 7u, 64u, 99u, 100u, 4096u}) {
        std::vector<AnalysisSample> pieces;
        const LoadResult small = LoadAnalysisFile(path, pieces, {}, block);
        EXPECT_EQ(small.nLines, result.nLines) << block;
        ASSERT_EQ(pieces.size(), whole.size()) << block;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(pieces[i].fHeading, whole[i].fHeading) << block << " " << i;
            EXPECT_EQ(pieces[i].fPitch, whole[i].fPitch) << block << " " << i;
        }
    }
}

long PeakResidentKb() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

TEST(Loader, AHugeFileIsNeverHeldInMemory) {
    // 1 GB that reads as a few lines and then nothing but NUL bytes.
    QTemporaryDir dir;
    const std::string path = WriteFile(dir, "sparse", "$C1,2\n$C3,4\n");
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
