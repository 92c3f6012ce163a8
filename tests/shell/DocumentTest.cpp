#include "platform/ErrorText.h"
#include "plots/AnalysisLoader.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"

#include <QDataStream>
#include <QFile>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

QByteArray Ints(std::initializer_list<qint32> values) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (qint32 v : values)
        out << v;
    return bytes;
}

TEST(Document, StoresTheFlagThenEverySegmentWithTheLastMarked) {
    CQuillmarDoc doc;
    EXPECT_EQ(doc.Store(), Ints({0}));
    doc.SetLineFlag(1);
    EXPECT_EQ(doc.Store(), Ints({1}));
    doc.AddLine(10, 20, 30, 40);
    doc.AddLine(30, 40, 50, 60);
    doc.AddLine(50, 60, 70, 80);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.Store(),
              Ints({1, 10, 20, 30, 40, 1, 1, 30, 40, 50, 60, 1, 1, 50, 60, 70, 80, 4, 1}));

    CQuillmarDoc reopened;
    QString error;
    ASSERT_TRUE(reopened.Load(doc.Store(), &error)) << error.toStdString();
    ASSERT_EQ(reopened.Lines().size(), 3u);
    for (const CLine& line : reopened.Lines())
        EXPECT_EQ(line.Continuation(), CLine::kMore);
    EXPECT_EQ(reopened.Lines()[2], CLine(50, 60, 70, 80));
    // Saved, extended and saved again: still one marker 4, on the very last.
    reopened.AddLine(1, 2, 3, 4);
    reopened.AddLine(5, 6, 7, 8);
    CQuillmarDoc third;
    ASSERT_TRUE(third.Load(reopened.Store(), &error));
    EXPECT_EQ(third.Lines().size(), 5u);
    EXPECT_EQ(third.Store(), reopened.Store());
}

// Any cut of a document but the flag alone (an empty drawing), a flag other
// than 0 or 1, and noise are refused and leave the open document as it was.
TEST(Document, TruncatedAndForeignFilesAreRefusedAndChangeNothing) {
    CQuillmarDoc source;
    source.SetLineFlag(1);
    source.AddLine(10, 20, 30, 40);
    source.AddLine(1, 2, 3, 4);
    const QByteArray whole = source.Store();
    QString error;
    CQuillmarDoc empty;
    ASSERT_TRUE(empty.Load(whole.left(4), &error));
    EXPECT_TRUE(empty.LineFlag() == 1 && empty.Lines().empty());

    CQuillmarDoc doc;
    doc.SetLineFlag(1);
    doc.AddLine(9, 9, 9, 9);
    const QByteArray before = doc.Store();
    auto refused = [&](const QByteArray& file) {
        const bool loaded = doc.Load(file, &error);
        EXPECT_TRUE(loaded || (!error.isEmpty() && doc.Store() == before));
        doc.Load(before, &error);
        return !loaded;
    };
    for (int length = 0; length < whole.size(); ++length)
        EXPECT_EQ(refused(whole.left(length)), length != 4) << "length " << length;
    EXPECT_TRUE(refused(Ints({7, 1, 2, 3, 4, 4, 1})));
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        QByteArray noise(static_cast<int>(random() % 200), '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        refused(noise);
    }
}

// Neither reader of files waits on a FIFO nor reads a device or a directory;
// each names a file it cannot read and the reason.
TEST(Document, FilesThatCannotBeReadAreRefusedAtOnceWithTheReason) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    using Status = LoadResult::Status;
    const QString missing = QString::fromStdString(SystemErrorText(ENOENT));
    const std::vector<std::tuple<QString, QString, Status>> table = {
        {"/nonexistent/drawing.txt", missing, Status::CannotOpen},
        {fifo, "不是普通文件", Status::NotRegularFile},
        {"/dev/null", "不是普通文件", Status::NotRegularFile},
        {dir.path(), "不是普通文件", Status::NotRegularFile},
    };
    for (const auto& [path, reason, status] : table) {
        SCOPED_TRACE(path.toStdString());
        CQuillmarDoc doc;
        doc.AddLine(1, 2, 3, 4);
        const QByteArray before = doc.Store();
        QString error;
        EXPECT_FALSE(doc.OnOpenDocument(path, &error));
        EXPECT_EQ(error.toStdString(), ("无法打开文件：" + path + "\n" + reason).toStdString());
        EXPECT_EQ(doc.Store(), before);
        std::vector<AnalysisSample> records{{1, 2, 3, 4, 5}};
        const LoadResult result = LoadAnalysisFile(path.toStdString(), records);
        EXPECT_EQ(result.status, status);
        if (status == Status::CannotOpen)
            EXPECT_EQ(result.nError, ENOENT);
        EXPECT_TRUE(records.empty());
    }
}

} // namespace
