#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cerrno>

#include "common/file_system_fixtures.h"
#include "core/file_writer.h"
#include "core/native_path.h"

namespace mx {
namespace {

using test::nativeEntries;
using test::readNativeFile;
using test::SmallDisk;
using test::writeNativeFile;

// Runs the write and returns the error it threw; fails the test when it threw none.
FileWriteError writeFailure(const QByteArray& path, const QByteArray& bytes) {
    try {
        writeFileSafely(decodeNativePath(path), bytes);
    } catch (const FileWriteError& e) {
        return e;
    }
    ADD_FAILURE() << "the write of " << path.constData() << " reported success";
    return FileWriteError(FileWriteError::Step::Create, 0);
}

TEST(FileWriter, FullDiskKeepsTheOldFileAndLeavesNothingBehindWhateverTheSize) {
    for (const qsizetype size : {qsizetype(81), qsizetype(4096), qsizetype(16384 - 1),
                                 qsizetype(16384 + 1), qsizetype(1 << 20)}) {
        SmallDisk disk(512 * 1024);
        if (!disk.mounted()) {
            GTEST_SKIP() << disk.skipReason().toStdString();
        }
        const QByteArray target = (disk.path() + "/mxex2.ini").toUtf8();
        const QByteArray old = "[options]\r\nlanguage=1033\r\n";
        ASSERT_TRUE(writeNativeFile(target, old));
        ASSERT_TRUE(disk.fillLeaving(size > 65536 ? 65536 : 0));

        const FileWriteError e = writeFailure(target, QByteArray(size, 'x'));
        EXPECT_EQ(e.step(), FileWriteError::Step::Write) << size;
        EXPECT_EQ(e.errorNumber(), ENOSPC) << size;
        EXPECT_EQ(e.systemText(), "No space left on device");
        EXPECT_EQ(readNativeFile(target), old) << size;
        EXPECT_EQ(nativeEntries(disk.path().toUtf8()), (QList<QByteArray>{".filler", "mxex2.ini"}))
            << size;
    }
}

TEST(FileWriter, WritesExactBytesUnderExactNamesAndReplacesWhole) {
    test::NativeTempDir dir;
    const QByteArray folder = dir.bytes() + "/d\xE9j\xE0";  // Latin-1, not UTF-8
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QByteArray target = folder + "/caf\xE9\xFF.jpg";
    writeFileSafely(decodeNativePath(target), QByteArray(100000, 'a'));
    writeFileSafely(decodeNativePath(target), "short");
    EXPECT_EQ(readNativeFile(target), "short");
    EXPECT_EQ(nativeEntries(folder), QList<QByteArray>{"caf\xE9\xFF.jpg"});

    // An empty file is a file too.
    writeFileSafely(decodeNativePath(target), QByteArray());
    EXPECT_EQ(readNativeFile(target), QByteArray());
    EXPECT_EQ(nativeEntries(folder).size(), 1);
}

TEST(FileWriter, ReplacedFileKeepsItsModeAndLinksStay) {
    QTemporaryDir dir;
    const QByteArray target = dir.path().toUtf8() + "/list.mxl";
    ASSERT_TRUE(writeNativeFile(target, "old"));
    ASSERT_EQ(::chmod(target.constData(), 0640), 0);
    writeFileSafely(decodeNativePath(target), "new");
    struct stat info;
    ASSERT_EQ(::stat(target.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const QByteArray link = dir.path().toUtf8() + "/link.mxl";
    ASSERT_EQ(::symlink(target.constData(), link.constData()), 0);
    writeFileSafely(decodeNativePath(link), "through the link");
    ASSERT_EQ(::lstat(link.constData(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readNativeFile(target), "through the link");
}

TEST(FileWriter, FilesThatCannotBeCreatedAreCreateFailures) {
    QTemporaryDir dir;
    const QByteArray base = dir.path().toUtf8();
    FileWriteError e = writeFailure(base + "/missing/a.bmp", "x");
    EXPECT_EQ(e.step(), FileWriteError::Step::Create);
    EXPECT_EQ(e.errorNumber(), ENOENT);

    ASSERT_EQ(::mkdir((base + "/folder.bmp").constData(), 0755), 0);
    e = writeFailure(base + "/folder.bmp", "x");
    EXPECT_EQ(e.step(), FileWriteError::Step::Create);
    EXPECT_EQ(e.errorNumber(), EISDIR);
    EXPECT_EQ(nativeEntries(base), QList<QByteArray>{"folder.bmp"});

    SmallDisk readOnly(64 * 1024, true);
    if (!readOnly.mounted()) {
        GTEST_SKIP() << readOnly.skipReason().toStdString();
    }
    e = writeFailure(readOnly.path().toUtf8() + "/a.bmp", "x");
    EXPECT_EQ(e.step(), FileWriteError::Step::Create);
    EXPECT_EQ(e.errorNumber(), EROFS);
}

}  // namespace
}  // namespace mx
