#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/media_clips.h"
#include "common/test_support.h"

namespace mx::test {
namespace {

// The clip maker's index must read back from a picture the ffmpeg CLI itself decoded, so the
// backend tests can trust it as their reference.
TEST(IndexedClip, IndexReadsBackFromDecodedFrames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip = dir.filePath("clip.mp4");
    IndexedClip spec;
    spec.rate = 100;
    spec.seconds = 3.0;
    ASSERT_TRUE(makeIndexedClip(clip, spec));
    for (const int frame : {0, 17, 255, 299}) {
        const QString png = dir.filePath(QString("f%1.png").arg(frame));
        ASSERT_TRUE(runFfmpeg(
            {"-i", clip, "-vf", QString("select=eq(n\\,%1)").arg(frame), "-frames:v", "1", png}));
        EXPECT_EQ(readFrameIndex(QImage(png)), frame);
    }
    EXPECT_EQ(readFrameIndex(QImage()), -1);
    QImage red(64, 48, QImage::Format_RGB32);
    red.fill(Qt::red);
    EXPECT_EQ(readFrameIndex(red), -1);
}

}  // namespace
}  // namespace mx::test
