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

TEST(Document, AFlagOfOneWithoutSegmentsOpensAsAnEmptyDrawing) {
    CQuillmarDoc doc;
    QString error;
    ASSERT_TRUE(doc.Load(Ints({1}), &error));
    EXPECT_EQ(doc.LineFlag(), 1);
    EXPECT_TRUE(doc.Lines().empty());
}

TEST(Document, TruncatedAndForeignFilesAreRefusedAndChangeNothing) {
    CQuillmarDoc source;
    source.SetLineFlag(1);
    source.AddLine(10, 20, 30, 40);
    source.AddLine(1, 2, 3, 4);
    source.AddLine(5, 6, 7, 8);
    const QByteArray whole = source.Store();
    CQuillmarDoc doc;
    doc.SetLineFlag(1);
    doc.AddLine(9, 9, 9, 9);
    const QByteArray before = doc.Store();
    for (int length = 0; length < whole.size(); ++length) {
        QString error;
        const bool loaded = doc.Load(whole.left(length), &error);
        // Four bytes are the flag alone: a valid, empty drawing.
        EXPECT_EQ(loaded, length == 4) << "length " << length;
        if (!loaded) {
            EXPECT_FALSE(error.isEmpty());
            EXPECT_EQ(doc.Store(), before) << "length " << length;
        } else {
            doc.Load(before, &error);
        }
    }
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        QByteArray noise(static_cast<int>(random() % 200), '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        QString error;
        if (!doc.Load(noise, &error)) {
            EXPECT_EQ(doc.Store(), before);
        }
        doc.Load(before, &error);
    }
    QString error;
    EXPECT_FALSE(doc.Load(Ints({7, 1, 2, 3, 4, 4, 1}), &error));
}

TEST(Document, OpeningAMissingFileNamesItAndTheReason) {
    CQuillmarDoc doc;
    QString error;
    EXPECT_FALSE(doc.OnOpenDocument("/nonexistent/drawing.txt", &error));
    EXPECT_TRUE(error.contains("/nonexistent/drawing.txt"));
    QTemporaryDir dir;
    const QString path = dir.filePath("segment.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Ints({1, 10, 20, 30, 40, 4, 1}));
    file.close();
    ASSERT_TRUE(doc.OnOpenDocument(path, &error));
    ASSERT_EQ(doc.Lines().size(), 1u);
    EXPECT_EQ(doc.Lines()[0], CLine(10, 20, 30, 40));
    EXPECT_EQ(doc.Lines()[0].Group(), 1);
    EXPECT_EQ(doc.PathName(), path);
}

// A FIFO (whose open would wait for a writer), a device and a directory are
// refused at once by both readers of files, the document and the analysis.
TEST(Document, FilesThatAreNotRegularAreRefusedAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QString("/dev/null"), dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        CQuillmarDoc doc;
        doc.SetLineFlag(1);
        doc.AddLine(1, 2, 3, 4);
        const QByteArray before = doc.Store();
        QString error;
        EXPECT_FALSE(doc.OnOpenDocument(path, &error));
        EXPECT_EQ(error.toStdString(), ("无法打开文件：" + path + "\n不是普通文件").toStdString());
        EXPECT_EQ(doc.Store(), before);
        std::vector<AnalysisSample> records{{1, 2, 3, 4, 5}};
        EXPECT_EQ(LoadAnalysisFile(path.toStdString(), records).status,
                  LoadResult::Status::NotRegularFile);
        EXPECT_TRUE(records.empty());
    }
}

} // namespace
