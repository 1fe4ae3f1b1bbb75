#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

#include "common/test_support.h"
#include "engine/captured_frame.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/image_files.h"

// One capture of a large picture holds at most two full copies of it at a time: measured as
// the growth of the process's peak resident memory over grab, BMP and JPEG encoding.

namespace mx::test {
namespace {

// Resident and peak resident memory of this process in bytes, from /proc.
bool readMemory(qint64* resident, qint64* peak) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    *resident = *peak = -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 2 && parts[0] == "VmRSS:") {
            *resident = parts[1].toLongLong() * 1024;
        } else if (parts.size() >= 2 && parts[0] == "VmHWM:") {
            *peak = parts[1].toLongLong() * 1024;
        }
    }
    return *resident >= 0 && *peak >= 0;
}

// Starts a new peak at the present resident size; false where the kernel cannot.
bool resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush();
}

TEST(PictureMemory, OneCaptureHoldsAtMostTwoCopiesOfThePicture) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int width = 4096;
    const int height = 3072;
    const qint64 copy = qint64{width} * height * 4;  // one 32-bit picture: 48 MiB
    const QString clip = dir.filePath("large.mkv");
    ASSERT_TRUE(
        runFfmpeg({"-f", "lavfi", "-i",
                   QString("testsrc2=size=%1x%2:rate=5:duration=0.6").arg(width).arg(height),
                   "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", clip}));
    auto source = createFfmpegVideoSource();
    source->open(clip);
    ASSERT_EQ(source->videoWidth(), width);
    // A first capture makes the decoder's pools and the converter; the second is measured.
    source->seek(0.0);
    {
        QByteArray dib;
        ASSERT_TRUE(source->currentImage(&dib));
    }
    source->seek(0.4);
    qint64 before = 0;
    qint64 peak = 0;
    if (!resetPeak() || !readMemory(&before, &peak)) {
        GTEST_SKIP() << "the kernel keeps no resettable peak";
    }
    std::optional<CapturedFrame> frame;
    {
        QByteArray dib;
        ASSERT_TRUE(source->currentImage(&dib));
        frame = frameFromDib(dib);
    }
    ASSERT_TRUE(frame);
    const QByteArray bmp = frame->bmpFileBytes();
    EXPECT_EQ(bmp.size(), 14 + 40 + copy);
    qint64 after = 0;
    ASSERT_TRUE(readMemory(&after, &peak));
    std::printf("capture and BMP: peak grew by %.2f copies\n", double(peak - before) / copy);
    // The decoded frames (a third of a copy each) are the allowance above two copies.
    EXPECT_LE(peak - before, 2 * copy + copy / 2)
        << "peak grew by " << (peak - before) / double(copy) << " copies";

    ASSERT_TRUE(resetPeak() && readMemory(&before, &peak));
    const QByteArray jpeg = encodeJpeg(frame->image, 90);
    EXPECT_GT(jpeg.size(), 1000);
    ASSERT_TRUE(readMemory(&after, &peak));
    std::printf("JPEG: peak grew by %.2f copies\n", double(peak - before) / copy);
    // The 24-bit copy libjpeg reads is three quarters of one.
    EXPECT_LE(peak - before, copy)
        << "peak grew by " << (peak - before) / double(copy) << " copies";
}

}  // namespace
}  // namespace mx::test
