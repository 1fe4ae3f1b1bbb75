#include "core/read_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "common/file_system_fixtures.h"
#include "common/special_files.h"
#include "common/test_support.h"
#include "core/native_path.h"

namespace mx {
namespace {

TEST(RegularFileOpen, ReadsRegularFilesWholeOrInPieces) {
    QTemporaryDir dir;
    // A name that is not UTF-8 is opened by its bytes.
    const QString path = dir.path() + "/" + decodeNativePath("caf\xE9.txt");
    const QByteArray content = QByteArray(200000, 'x') + "end";
    ASSERT_TRUE(test::writeNativeFile(path, content));
    const test::RemovedAtEnd removed{encodeNativePath(path)};

    ReadableFile file = openRegularFile(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file.size, content.size());
    EXPECT_EQ(readHead(file, 5), QByteArray(5, 'x'));
    EXPECT_EQ(readHead(file, 3), QByteArray(3, 'x')) << "goes on where the last read ended";
    EXPECT_EQ(readAllFrom(file)->size(), content.size() - 8);
    EXPECT_EQ(readHead(file, 10), QByteArray()) << "at the end";

    EXPECT_EQ(readRegularFile(path), content);
    EXPECT_EQ(regularFileSize(path), content.size());

    int error = 0;
    EXPECT_FALSE(readAllFrom(openRegularFile(path), &error, 1000));
    EXPECT_EQ(error, EFBIG) << "a file longer than asked for is refused, not cut";
    EXPECT_EQ(readAllFrom(openRegularFile(path), nullptr, content.size()), content);

    ASSERT_TRUE(test::writeFile(dir.filePath("empty"), {}));
    EXPECT_EQ(readRegularFile(dir.filePath("empty")), QByteArray());
}

TEST(RegularFileOpen, RefusesWhatIsNotARegularFileWithoutBlocking) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("clip.avi");
    ASSERT_TRUE(test::makeFifo(fifo));
    EXPECT_TRUE(test::finishesWithin(
        [&] {
            const ReadableFile file = openRegularFile(fifo);
            EXPECT_FALSE(file);
            EXPECT_EQ(file.failure, OpenFailure::NotRegular);
            EXPECT_EQ(file.errorText(), "Not a regular file");
            EXPECT_EQ(regularFileSize(fifo), -1);
            EXPECT_FALSE(readRegularFile(fifo));
        },
        fifo));

    for (const QString& path :
         {QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"), dir.path()}) {
        const ReadableFile file = openRegularFile(path);
        EXPECT_EQ(file.failure, OpenFailure::NotRegular) << path.toStdString();
        EXPECT_FALSE(readRegularFile(path)) << path.toStdString();
    }

    const ReadableFile missing = openRegularFile(dir.filePath("missing"));
    EXPECT_EQ(missing.failure, OpenFailure::Missing);
    EXPECT_EQ(missing.errorText(), "No such file or directory");
    EXPECT_EQ(openRegularFile(dir.filePath("missing/below")).failure, OpenFailure::Missing);
    EXPECT_EQ(openRegularFile(QString()).failure, OpenFailure::Missing);
}

}  // namespace
}  // namespace mx
