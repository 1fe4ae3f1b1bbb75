#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "common/file_system_fixtures.h"
#include "core/native_path.h"
#include "core/path_recovery.h"

namespace mx {
namespace {

// What Qt's dialogs and QFileInfo hand back for a path of these bytes.
QString asQtShowsIt(const QByteArray& bytes) {
    return QFile::decodeName(bytes);
}

TEST(PathRecovery, DialogPathsOfNamesThatAreNotUtf8FindTheirFiles) {
    test::NativeTempDir dir;
    const QByteArray folder = dir.bytes() + "/vid\xE9os";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QByteArray file = folder + "/caf\xE9 \xFF.avi";
    ASSERT_TRUE(test::writeNativeFile(file, "x"));
    ASSERT_NE(encodeNativePath(asQtShowsIt(file)), file) << "Qt's own form names no file";

    EXPECT_EQ(encodeNativePath(recoverNativePath(asQtShowsIt(file))), file);
    EXPECT_EQ(encodeNativePath(recoverNativePath(asQtShowsIt(folder))), folder);
    // A new file typed into a save dialog, in a folder so named: the folder is found, the
    // typed name stays.
    EXPECT_EQ(encodeNativePath(recoverNativePath(asQtShowsIt(folder) + "/new\uFFFD.mxl")),
              folder + "/new\xEF\xBF\xBD.mxl");
    // Paths that are fine as they are stay exactly so.
    EXPECT_EQ(recoverNativePath(dir.path() + "/plain.avi"), dir.path() + "/plain.avi");
    EXPECT_EQ(recoverNativePath(decodeNativePath(file)), decodeNativePath(file));
    const QByteArray realReplacement = dir.bytes() + "/\xEF\xBF\xBD.avi";  // a true U+FFFD
    ASSERT_TRUE(test::writeNativeFile(realReplacement, "x"));
    EXPECT_EQ(encodeNativePath(recoverNativePath(asQtShowsIt(realReplacement))), realReplacement);

    // Two names Qt shows alike: no guess.
    ASSERT_TRUE(test::writeNativeFile(folder + "/a\xE0.avi", "1"));
    ASSERT_TRUE(test::writeNativeFile(folder + "/a\xE1.avi", "2"));
    EXPECT_EQ(recoverNativePath(asQtShowsIt(folder + "/a\xE0.avi")),
              decodeNativePath(folder) + "/a\uFFFD.avi");
}

TEST(PathRecovery, DroppedUrlsKeepTheirBytes) {
    EXPECT_EQ(encodeNativePath(nativeLocalFile(QUrl("file:///v/caf%E9%20x.avi"))),
              "/v/caf\xE9 x.avi");
    EXPECT_EQ(nativeLocalFile(QUrl("file:///v/%C3%A9t%C3%A9.mp4")), "/v/\u00E9t\u00E9.mp4");
    EXPECT_EQ(nativeLocalFile(QUrl::fromLocalFile("/v/a b#c%.avi")), "/v/a b#c%.avi");
    EXPECT_EQ(nativeLocalFile(QUrl("file://localhost/v/a.avi")), "/v/a.avi");
    EXPECT_EQ(nativeLocalFile(QUrl("file://server/share/a.avi")), "//server/share/a.avi");
}

}  // namespace
}  // namespace mx
