#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <random>

#include "common/media_clips.h"
#include "common/test_support.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"

namespace mx::test {
namespace {

struct Container {
    const char* name;
    QStringList args;
};

// Small clips, so that every damaged copy decodes quickly also under the sanitizers.
const Container kContainers[] = {
    {"h264.mp4", {"-c:v", "libx264", "-g", "12", "-pix_fmt", "yuv420p"}},
    {"mpeg4.avi", {"-c:v", "mpeg4", "-g", "12", "-bf", "2", "-q:v", "3"}},
    {"mpeg2.mpg", {"-c:v", "mpeg2video", "-g", "12", "-bf", "2", "-q:v", "3", "-f", "mpeg"}},
    {"h264.ts", {"-c:v", "libx264", "-g", "12", "-pix_fmt", "yuv420p", "-f", "mpegts"}},
    {"mjpeg.mkv", {"-c:v", "mjpeg", "-q:v", "5"}},
};

// Damaged copies of one clip: cut at several places, a run overwritten with one byte, runs of
// noise laid over the middle, and noise everywhere but the first bytes.
std::vector<std::pair<QString, QByteArray>> damagedCopies(const QByteArray& whole) {
    std::mt19937 random(5);
    const auto noise = [&](qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& c : bytes) {
            c = char(random());
        }
        return bytes;
    };
    std::vector<std::pair<QString, QByteArray>> copies;
    for (const double cut : {0.01, 0.1, 0.5, 0.9, 0.999}) {
        copies.emplace_back(QString("cut at %1").arg(cut),
                            whole.left(qsizetype(whole.size() * cut)));
    }
    QByteArray overwritten = whole;
    overwritten.replace(whole.size() / 3, whole.size() / 3, QByteArray(whole.size() / 3, '\xff'));
    copies.emplace_back("middle third overwritten", overwritten);
    QByteArray zeroed = whole;
    zeroed.replace(64, whole.size() / 4, QByteArray(whole.size() / 4, '\0'));
    copies.emplace_back("zeros after the header", zeroed);
    for (int round = 0; round < 3; ++round) {
        QByteArray runs = whole;
        for (int i = 0; i < 20; ++i) {
            const qsizetype at = qsizetype(random() % std::uint32_t(whole.size()));
            const qsizetype length = std::min<qsizetype>(1 + random() % 512, whole.size() - at);
            runs.replace(at, length, noise(length));
        }
        copies.emplace_back(QString("noise runs %1").arg(round), runs);
    }
    QByteArray flipped = whole;
    for (qsizetype i = 200; i < flipped.size(); i += 1 + qsizetype(random() % 64)) {
        flipped[i] = char(random());
    }
    copies.emplace_back("noise all through", flipped);
    copies.emplace_back("noise only", whole.left(16) + noise(whole.size()));
    copies.emplace_back("noise appended", whole + noise(100000));
    return copies;
}

// Every query and grab of a damaged file finishes; what it answers is whatever the file still
// allows (a file that cannot be played answers 0 and has no pictures).
TEST(DamagedMedia, EveryDamagedCopyFinishesInBoundedTime) {
    QTemporaryDir dir;
    for (const Container& container : kContainers) {
        SCOPED_TRACE(container.name);
        const QString original = dir.filePath(container.name);
        IndexedClip clip;
        clip.width = 160;
        clip.height = 120;
        clip.seconds = 2.0;
        clip.outputArgs = container.args;
        ASSERT_TRUE(makeIndexedClip(original, clip));
        const QByteArray whole = readFile(original);
        ASSERT_GT(whole.size(), 4096);

        int index = 0;
        for (const auto& [what, bytes] : damagedCopies(whole)) {
            SCOPED_TRACE(what.toStdString());
            const QString path =
                dir.filePath(QString("damaged%1_%2").arg(index++).arg(container.name));
            ASSERT_TRUE(writeFile(path, bytes));
            QElapsedTimer timer;
            timer.start();
            auto source = createFfmpegVideoSource();
            source->open(path);
            EXPECT_GE(source->videoWidth(), 0);
            EXPECT_GE(source->videoHeight(), 0);
            const double duration = source->duration();
            EXPECT_GE(duration, 0.0);
            EXPECT_LT(duration, 1e6);
            QByteArray dib;
            const std::vector<double> times = {1.0,      0.0,          duration / 2,
                                               duration, duration + 5, -1.0};
            std::vector<bool> got;
            for (const double at : times) {
                source->seek(at);
                EXPECT_GE(source->position(), 0.0);
                got.push_back(source->currentImage(&dib));
                if (got.back()) {
                    EXPECT_GE(dib.size(), 40);
                }
            }
            source->close();

            // The same requests planned ahead on two decoders get the same answers.
            setSplitEveryPlanForTesting(true);
            source->open(path);
            source->planCaptures(times);
            for (size_t i = 0; i < times.size(); ++i) {
                source->seekPlanned(i, times[i]);
                EXPECT_EQ(source->currentImage(&dib), got[i]) << "planned " << times[i];
            }
            source->close();
            setSplitEveryPlanForTesting(false);
            EXPECT_LT(timer.elapsed(), 30000) << "ms";
        }
    }
}

}  // namespace
}  // namespace mx::test
