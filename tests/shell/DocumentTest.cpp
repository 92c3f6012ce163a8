#include "platform/ErrorText.h"
#include "plots/AnalysisLoader.h"
#include "shell/QuillmarDoc.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

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
