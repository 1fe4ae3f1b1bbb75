#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTransform>
#include <QtEndian>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

#include "common/media_clips.h"
#include "common/test_support.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"

namespace mx::test {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRate = 25;
constexpr double kSeconds = 8.0;
constexpr int kFrames = 200;

// Frame times of the uneven clip: steps of 60 and 20 ms, and half a second of nothing after
// every 50 frames.
double unevenFrameTime(int n) {
    return n * 0.04 + 0.02 * (n % 2) + 0.5 * (n / 50);
}

// The index of the frame shown at t: the last frame starting at or before t, the first frame
// before the start and the last one after the end.
int expectedFrame(double t, const std::function<double(int)>& frameTime) {
    int shown = 0;
    for (int n = 1; n < kFrames && frameTime(n) <= t + 1e-9; ++n) {
        shown = n;
    }
    return shown;
}

// The times of a clip's key frames as ffprobe decodes them, counted from the first frame.
std::vector<double> keyFrameTimes(const QString& file) {
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                            "frame=key_frame,best_effort_timestamp_time", "-of", "csv=p=0", file});
    probe.waitForFinished(-1);
    std::vector<double> keys;
    double first = INFINITY;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() >= 2) {
            first = std::min(first, fields[1].toDouble());
            if (fields[0] == "1") {
                keys.push_back(fields[1].toDouble());
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    for (double& key : keys) {
        key -= first;
    }
    return keys;
}

double evenFrameTime(int n) {
    return static_cast<double>(n) / kRate;
}

struct Container {
    const char* name;
    QStringList args;
    std::function<double(int)> frameTime;
    QString filters;  // retiming after the index is painted
};

class VideoSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<QTemporaryDir>(); }
    static void TearDownTestSuite() { s_dir.reset(); }

    static QString path(const QString& name) { return s_dir->filePath(name); }

    // Makes an indexed 8 s clip once per test program.
    static QString indexedClip(const Container& container) {
        const QString file = path(container.name);
        if (!QFile::exists(file)) {
            IndexedClip spec;
            spec.width = kWidth;
            spec.height = kHeight;
            spec.rate = kRate;
            spec.seconds = kSeconds;
            spec.outputArgs = container.args;
            spec.extraFilters = container.filters;
            EXPECT_TRUE(makeIndexedClip(file, spec));
        }
        return file;
    }

    static std::unique_ptr<VideoSource> openSource(const QString& file) {
        auto source = createFfmpegVideoSource();
        source->open(file);
        return source;
    }

    // planIndex: the capture's place in the source's plan; none for a seek off the plan.
    static int frameAt(VideoSource& source, double t, int planIndex = -1) {
        if (planIndex >= 0) {
            source.seekPlanned(size_t(planIndex), t);
        } else {
            source.seek(t);
        }
        QByteArray dib;
        if (!source.currentImage(&dib)) {
            return -2;
        }
        return readFrameIndex(dib);
    }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
};

const Container kContainers[] = {
    {"h264.mp4",
     {"-c:v", "libx264", "-g", "30", "-bf", "3", "-pix_fmt", "yuv420p"},
     evenFrameTime,
     {}},
    {"mpeg4.avi", {"-c:v", "mpeg4", "-g", "30", "-bf", "2", "-q:v", "3"}, evenFrameTime, {}},
    {"mpeg2.mpg",
     {"-c:v", "mpeg2video", "-g", "15", "-bf", "2", "-q:v", "3", "-f", "mpeg"},
     evenFrameTime,
     {}},
    {"h264.ts",
     {"-c:v", "libx264", "-g", "30", "-bf", "3", "-pix_fmt", "yuv420p", "-f", "mpegts"},
     evenFrameTime,
     {}},
    {"vp9.webm",
     {"-c:v", "libvpx-vp9", "-g", "30", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "1M"},
     evenFrameTime,
     {}},
    {"uneven.mkv",
     {"-fps_mode", "passthrough", "-c:v", "libx264", "-g", "40"},
     unevenFrameTime,
     "settb=1/1000,setpts=(N*0.04+0.02*mod(N\\,2)+0.5*floor(N/50))/TB"},
};

TEST_F(VideoSourceTest, TakesTheFrameShownAtEachTimeInEveryContainer) {
    // Forward and backward, repeated, across key frames, on and between frame starts, before
    // the start and after the end; two seeks before one picture take the second position.
    const std::vector<double> times = {1.0,  0.5,  0.52, 0.519, 0.52, 3.99, 2.0,  2.04, 7.9, 2.39,
                                       1.2,  100., -5.0, 5.0,   5.03, 6.5,  6.51, 0.0,  2.5, 2.6,
                                       2.62, 2.7,  4.0,  4.4,   4.8,  6.0,  7.0,  7.99};
    for (const Container& container : kContainers) {
        SCOPED_TRACE(container.name);
        auto source = openSource(indexedClip(container));
        EXPECT_EQ(source->videoWidth(), kWidth);
        EXPECT_EQ(source->videoHeight(), kHeight);
        const double lastStart = container.frameTime(kFrames - 1);
        // Program streams estimate their length from time stamps, a frame or two short.
        EXPECT_NEAR(source->duration(), lastStart + 1.0 / kRate, 0.1);
        // ffprobe guesses the times of program streams and AVI otherwise than we do.
        const QString name = container.name;
        const std::vector<double> keys = name.endsWith(".mpg") || name.endsWith(".avi")
                                             ? std::vector<double>{}
                                             : keyFrameTimes(indexedClip(container));
        for (const double t : times) {
            SCOPED_TRACE(t);
            source->seek(t + 50);
            EXPECT_EQ(frameAt(*source, t), expectedFrame(t, container.frameTime));
            EXPECT_DOUBLE_EQ(source->position(), std::clamp(t, 0.0, source->duration()));
            // Decoding starts at the key frame shown last by then, also where a key frame's
            // decoding time lies before the time and its picture after it.
            const double shown = container.frameTime(expectedFrame(t, container.frameTime));
            const auto key = std::upper_bound(keys.begin(), keys.end(), shown + 1e-6);
            if (key != keys.begin()) {
                EXPECT_NEAR(source->decodeStart(t), *std::prev(key), 1e-6);
            }
        }
    }
}

TEST_F(VideoSourceTest, ManyCapturesForwardStayExact) {
    // Small uneven steps keep the decoder running on between targets, skipping frames that
    // cannot be the one shown.
    for (const Container& container : kContainers) {
        SCOPED_TRACE(container.name);
        auto source = openSource(indexedClip(container));
        for (double t = 0.01; t < 10.0; t += 0.37) {
            SCOPED_TRACE(t);
            EXPECT_EQ(frameAt(*source, t), expectedFrame(t, container.frameTime));
        }
    }
}

// Planned captures go to two decoders where the captures lie in different groups of pictures
// and stay on one where many share a group; either way each request gets its own frame, in
// the order asked.
TEST_F(VideoSourceTest, PlannedCapturesGiveTheSameFramesOnTwoDecoders) {
    const Container shortGroups{
        "short_groups.mp4",
        {"-c:v", "libx264", "-g", "12", "-sc_threshold", "0", "-bf", "3", "-pix_fmt", "yuv420p"},
        evenFrameTime,
        {}};
    const Container hevcGroups{"hevc_groups.mkv",
                               {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                                "keyint=40:min-keyint=40:scenecut=0:log-level=none"},
                               evenFrameTime,
                               {}};
    for (const bool forced : {false, true}) {
        SCOPED_TRACE(forced);
        setSplitEveryPlanForTesting(forced);
        for (const Container& container :
             {shortGroups, hevcGroups, kContainers[2], kContainers[5]}) {
            SCOPED_TRACE(container.name);
            auto source = openSource(indexedClip(container));
            source->seek(1.0);
            const double step = source->duration() / 12;
            std::vector<double> sparse;
            for (int i = 1; i <= 11; ++i) {
                sparse.push_back(i * step);
            }
            int splitBefore = plansSplitForTesting();
            if (container.name == hevcGroups.name) {
                // A sheet's captures, one late in each of five equal groups: three groups on
                // one decoder still beat the five on a decoder with its own threads.
                source->planCaptures({1.5, 3.1, 4.7, 6.3, 7.9});
                EXPECT_EQ(plansSplitForTesting(), splitBefore + 1);
                EXPECT_EQ(frameAt(*source, 1.5, 0), expectedFrame(1.5, container.frameTime));
                splitBefore = plansSplitForTesting();
            }
            source->planCaptures(sparse);
            if (forced || container.name == shortGroups.name || container.name == hevcGroups.name) {
                EXPECT_EQ(plansSplitForTesting(), splitBefore + 1);
            }
            for (size_t i = 0; i < sparse.size(); ++i) {
                EXPECT_EQ(frameAt(*source, sparse[i], int(i)),
                          expectedFrame(sparse[i], container.frameTime))
                    << sparse[i];
            }

            // Captures that search: odd ones want their optional pictures, which they see on
            // the decoding threads; capture 5 also asks for one off the plan, capture 7 for
            // optional ones it did not want.
            CapturePlan search;
            std::atomic<int> shown{0};
            std::atomic<int> wrong{0};
            for (size_t i = 0; i < sparse.size(); ++i) {
                search.captureStarts.push_back(search.seconds.size());
                for (int k = 0; k < 4; ++k) {
                    search.seconds.push_back(sparse[i] + 0.04 * k);
                    search.optional.push_back(k > 0);
                }
            }
            search.wanted = [&](size_t capture, size_t first, const std::vector<QByteArray>& seen) {
                for (size_t k = 0; k < seen.size(); ++k) {
                    const double t = search.seconds[search.captureStarts[capture] + first + k];
                    ++shown;
                    wrong += readFrameIndex(seen[k]) != expectedFrame(t, container.frameTime);
                }
                return capture % 2 == 1 && capture != 7;
            };
            source->planCaptureSearches(search);
            for (size_t i = 0; i < sparse.size(); ++i) {
                for (int k = 0; k < (i % 2 == 1 ? 4 : 1); ++k) {
                    const size_t index = search.captureStarts[i] + size_t(k);
                    const double t = search.seconds[index];
                    EXPECT_EQ(frameAt(*source, t, int(index)),
                              expectedFrame(t, container.frameTime));
                    if (i == 5 && k == 1) {
                        EXPECT_EQ(frameAt(*source, t - 0.3),
                                  expectedFrame(t - 0.3, container.frameTime));
                    }
                }
            }
            EXPECT_EQ(wrong.load(), 0);
            if (forced) {
                // Odd captures waited for show three pictures each, capture 7 its own.
                EXPECT_GE(shown.load(), 4 * 3 + 1);
            }

            // Dense, then off the plan halfway: the rest is served one request at a time.
            std::vector<double> dense;
            for (int i = 0; i < 60; ++i) {
                dense.push_back(0.13 * i);
            }
            source->planCaptures(dense);
            if (!forced && container.name == shortGroups.name) {
                EXPECT_EQ(plansSplitForTesting(), splitBefore + 3) << "many captures a group";
            }
            for (size_t i = 0; i < dense.size(); ++i) {
                if (i == 30) {
                    EXPECT_EQ(frameAt(*source, 0.3), expectedFrame(0.3, container.frameTime));
                }
                EXPECT_EQ(frameAt(*source, dense[i], i < 30 ? int(i) : -1),
                          expectedFrame(dense[i], container.frameTime))
                    << dense[i];
            }
        }
    }
    setSplitEveryPlanForTesting(false);
}

// Esc closes the source while both decoders are busy far ahead of the requests: the close
// waits for neither the plan nor the file's end, and the source serves the next file.
TEST_F(VideoSourceTest, ClosingInTheMiddleOfAPlanStopsBothDecoders) {
    setSplitEveryPlanForTesting(true);
    const QString file = indexedClip(kContainers[0]);
    for (const int taken : {0, 1, 3}) {
        SCOPED_TRACE(taken);
        auto source = openSource(file);
        std::vector<double> plan;
        for (int i = 0; i < 64; ++i) {
            plan.push_back(7.9 - 0.12 * i);  // backwards: every capture starts a run
        }
        source->planCaptures(plan);
        for (int i = 0; i < taken; ++i) {
            EXPECT_EQ(frameAt(*source, plan[i], i), expectedFrame(plan[i], evenFrameTime));
        }
        source->close();
        EXPECT_EQ(frameAt(*source, 1.0), -2) << "closed";
        source->open(file);
        source->planCaptures({2.0, 6.0});
        EXPECT_EQ(frameAt(*source, 2.0, 0), 50);
        EXPECT_EQ(frameAt(*source, 6.0, 1), 150);
        source->planCaptures({3.0, 5.0, 7.0});  // dropped unused with the source
    }
    setSplitEveryPlanForTesting(false);
}

TEST_F(VideoSourceTest, PictureIsAPackedBottomUpDibWithColoursKept) {
    // Quadrants red, green / blue, white, so a picture upside down or mirrored shows.
    const QString rgb = kQuadrantsFilter;
    struct Case {
        const char* name;
        int width;
        int height;
        const char* matrix;  // the matrix the clip is encoded with
        bool tagged;
    };
    const Case cases[] = {{"sd601.mp4", 320, 240, "bt601", true},
                          {"hd709.mp4", 1280, 720, "bt709", true},
                          {"sd_untagged.mp4", 320, 240, "bt601", false},
                          {"hd_untagged.mp4", 1280, 720, "bt709", false},
                          {"sd709.mp4", 320, 240, "bt709", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList args = {
            "-f",
            "lavfi",
            "-i",
            QString("color=c=black:s=%1x%2:r=25:d=0.2,%3,scale=out_color_matrix=%4:out_range=tv,"
                    "format=yuv420p")
                .arg(c.width)
                .arg(c.height)
                .arg(rgb, c.matrix),
            "-c:v",
            "libx264",
            "-qp",
            "4"};
        if (c.tagged) {
            args += {"-colorspace", c.matrix == QString("bt709") ? "bt709" : "smpte170m",
                     "-color_range", "tv"};
        }
        ASSERT_TRUE(runFfmpeg(args + QStringList{path(c.name)}));
        auto source = openSource(path(c.name));
        source->seek(0.1);
        QByteArray dib;
        ASSERT_TRUE(source->currentImage(&dib));
        const auto* header = reinterpret_cast<const uchar*>(dib.constData());
        ASSERT_GE(dib.size(), 40);
        EXPECT_EQ(qFromLittleEndian<quint32>(header), 40u);
        EXPECT_EQ(qFromLittleEndian<qint32>(header + 4), c.width);
        EXPECT_EQ(qFromLittleEndian<qint32>(header + 8), c.height);
        EXPECT_EQ(qFromLittleEndian<quint16>(header + 12), 1);
        EXPECT_EQ(qFromLittleEndian<quint16>(header + 14), 32);
        EXPECT_EQ(qFromLittleEndian<quint32>(header + 16), 0u);
        EXPECT_EQ(qFromLittleEndian<quint32>(header + 20), quint32(c.width * c.height * 4));
        EXPECT_EQ(dib.size(), 40 + c.width * c.height * 4);
        // The unused fourth byte is documented as 255.
        EXPECT_EQ(static_cast<uchar>(dib[40 + 3]), 255);

        expectQuadrants(imageFromDib(dib), 8);
    }
}

TEST_F(VideoSourceTest, RotatedClipIsShownTurnedWithSwappedSize) {
    const QString plain = indexedClip(kContainers[0]);
    for (const int rotation : {90, 180, 270}) {
        SCOPED_TRACE(rotation);
        const QString turned = path(QString("turned%1.mp4").arg(rotation));
        ASSERT_TRUE(runFfmpeg({"-i", plain, "-c", "copy", "-metadata:s:v:0",
                               QString("rotate=%1").arg(rotation), turned}));
        auto source = openSource(turned);
        const bool sideways = rotation != 180;
        EXPECT_EQ(source->videoWidth(), sideways ? kHeight : kWidth);
        EXPECT_EQ(source->videoHeight(), sideways ? kWidth : kHeight);
        source->seek(2.0);  // frame 50: stripes 0, 3, 2 tell every turn apart
        QByteArray dib;
        ASSERT_TRUE(source->currentImage(&dib));
        const QImage shown = imageFromDib(dib);
        EXPECT_EQ(shown.width(), source->videoWidth());
        // The muxer's rotate tag asks for a counter-clockwise turn (as the ffmpeg CLI shows
        // it); turning the picture back clockwise must give the clip as encoded.
        EXPECT_EQ(readFrameIndex(shown.transformed(QTransform().rotate(rotation))), 50);
    }
}

TEST_F(VideoSourceTest, BadInputsOpenAsUnplayable) {
    const QString clip = indexedClip(kContainers[0]);
    const QByteArray mp4 = readFile(clip);
    QByteArray garbage(200000, '\0');
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {{"empty.mp4", {}},
                 {"text.avi", "This is not a video.\r\n"},
                 {"garbage.mp4", garbage},
                 {"head_without_index.mp4", mp4.left(mp4.size() / 2)}};
    auto source = createFfmpegVideoSource();
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        ASSERT_TRUE(writeFile(path(file.name), file.bytes));
        source->open(path(file.name));
        EXPECT_EQ(source->videoWidth(), 0);
        EXPECT_EQ(source->videoHeight(), 0);
        EXPECT_EQ(source->duration(), 0);
        source->seek(3.0);
        EXPECT_EQ(source->position(), 0);
        QByteArray dib;
        EXPECT_FALSE(source->currentImage(&dib));
    }
    source->open(path("missing.mp4"));
    EXPECT_EQ(source->videoWidth(), 0);
    QByteArray dib;
    EXPECT_FALSE(source->currentImage(&dib));
    // A name with a colon is a file name, not a protocol.
    ASSERT_TRUE(QFile::copy(clip, path("a:b.mp4")));
    source->open(path("a:b.mp4"));
    EXPECT_EQ(frameAt(*source, 1.0), 25);
    source->close();
    EXPECT_EQ(source->videoWidth(), 0);
    EXPECT_FALSE(source->currentImage(&dib));
}

TEST_F(VideoSourceTest, ClipWithoutDecodableFramesHasNoPicture) {
    // Headers intact, every coded frame zeroed: the file opens but no picture can be made.
    QByteArray bytes = readFile(indexedClip(kContainers[0]));
    const qsizetype index = bytes.lastIndexOf("moov") - 4;
    ASSERT_GT(index, 4096);
    std::fill(bytes.begin() + 64, bytes.begin() + index, '\0');
    ASSERT_TRUE(writeFile(path("zeroed.mp4"), bytes));
    auto source = openSource(path("zeroed.mp4"));
    EXPECT_EQ(source->videoWidth(), kWidth);
    for (const double t : {1.0, 5.0, 100.0, 0.0}) {
        EXPECT_EQ(frameAt(*source, t), -2) << t;
    }
}

TEST_F(VideoSourceTest, TruncatedClipsShowWhatIsLeft) {
    // With the index up front the MP4 still opens; the AVI's header survives its cut.
    const QString faststart = path("faststart.mp4");
    ASSERT_TRUE(runFfmpeg(
        {"-i", indexedClip(kContainers[0]), "-c", "copy", "-movflags", "+faststart", faststart}));
    for (const QString& full : {faststart, indexedClip(kContainers[1])}) {
        SCOPED_TRACE(full.toStdString());
        const QByteArray bytes = readFile(full);
        const QString cut = full + ".cut" + full.right(4);
        ASSERT_TRUE(writeFile(cut, bytes.left(bytes.size() / 2)));
        auto source = openSource(cut);
        EXPECT_EQ(source->videoWidth(), kWidth);
        EXPECT_EQ(frameAt(*source, 1.0), 25);
        // Beyond the cut: the last frame that is still there.
        const int last = frameAt(*source, 7.5);
        EXPECT_GT(last, 25);
        EXPECT_LT(last, kFrames - 1);
        EXPECT_EQ(frameAt(*source, 0.5), 12);
    }
}

}  // namespace
}  // namespace mx::test
