#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
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

// The address sanitizer keeps freed blocks in quarantine and maps shadow memory of its own, so
// peaks measured under it are not the program's; the plain build measures them.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPeaksMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPeaksMeasurable = false;
#else
constexpr bool kPeaksMeasurable = true;
#endif
#else
constexpr bool kPeaksMeasurable = true;
#endif

// Starts a new peak at the present resident size; false where the kernel cannot or where
// peaks are not measurable.
bool resetPeak() {
    if (!kPeaksMeasurable) {
        return false;
    }
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush();
}

// Makes an H.264 clip at 5 frames a second and opens it. A first capture makes the decoder's
// pools and the converter, so that what follows measures captures alone. Null on failure.
std::unique_ptr<VideoSource> openWarmedUp(const QString& clip, int width, int height,
                                          double seconds, const QStringList& encoderArgs) {
    const QString input =
        QString("testsrc2=size=%1x%2:rate=5:duration=%3").arg(width).arg(height).arg(seconds);
    if (!runFfmpeg(
            QStringList{"-f", "lavfi", "-i", input, "-c:v", "libx264", "-preset", "ultrafast"} +
            encoderArgs + QStringList{"-pix_fmt", "yuv420p", clip})) {
        return nullptr;
    }
    auto source = createFfmpegVideoSource();
    source->open(clip);
    QByteArray dib;
    source->seek(0.0);
    if (source->videoWidth() != width || !source->currentImage(&dib)) {
        return nullptr;
    }
    return source;
}

TEST(PictureMemory, OneCaptureHoldsAtMostTwoCopiesOfThePicture) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int width = 4096;
    const int height = 3072;
    const qint64 copy = qint64{width} * height * 4;  // one 32-bit picture: 48 MiB
    auto source = openWarmedUp(dir.filePath("large.mkv"), width, height, 0.6, {});
    ASSERT_TRUE(source);
    source->seek(0.4);
    qint64 before = 0;
    qint64 peak = 0;
    if (!resetPeak() || !readMemory(&before, &peak)) {
        GTEST_SKIP() << "no resettable peak of this program's own";
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

// Captures decoded ahead on two decoders hold decoded pictures only (three eighths of a copy
// each here), never converted ones, and no more of them than the budget allows, however far
// ahead the decoders could run on a clip of key frames only: the peak is the two copies of a
// capture, the second decoder's frames and the budget (two copies here). Holding every frame
// of the plan would add seven copies, holding converted pictures four.
TEST(PictureMemory, CapturesDecodedAheadStayWithinTheBudget) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int width = 3840;
    const int height = 2160;
    const qint64 copy = qint64{width} * height * 4;
    auto source = openWarmedUp(dir.filePath("intra.mkv"), width, height, 4.0, {"-g", "1"});
    ASSERT_TRUE(source);
    std::vector<double> plan;
    for (int i = 1; i < 20; ++i) {
        plan.push_back(0.2 * i);
    }
    qint64 before = 0;
    qint64 peak = 0;
    if (!resetPeak() || !readMemory(&before, &peak)) {
        GTEST_SKIP() << "no resettable peak of this program's own";
    }
    const int64_t budget = 2 * copy;
    setAheadBudgetForTesting(budget);
    peakHeldAheadForTesting();
    const int splitBefore = plansSplitForTesting();
    source->planCaptures(plan);
    EXPECT_EQ(plansSplitForTesting(), splitBefore + 1);
    for (size_t i = 0; i < plan.size(); ++i) {
        // Slow requests: both decoders run as far ahead as they may.
        QThread::msleep(100);
        source->seekPlanned(i, plan[i]);
        QByteArray dib;
        ASSERT_TRUE(source->currentImage(&dib));
        ASSERT_TRUE(frameFromDib(dib));
    }
    qint64 after = 0;
    ASSERT_TRUE(readMemory(&after, &peak));
    setAheadBudgetForTesting(0);
    const int64_t held = peakHeldAheadForTesting();
    std::printf("planned run: peak grew by %.2f copies, %.2f held ahead\n",
                double(peak - before) / copy, double(held) / copy);
    EXPECT_GT(held, 0);
    EXPECT_LE(held, budget);
    EXPECT_LE(peak - before, 7 * copy)
        << "peak grew by " << (peak - before) / double(copy) << " copies";
}

}  // namespace
}  // namespace mx::test
