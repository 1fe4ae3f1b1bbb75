#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <stop_token>
#include <thread>
#include <vector>

#include "common/file_system_fixtures.h"
#include "common/media_clips.h"
#include "common/test_support.h"
#include "core/abort_flag.h"
#include "core/native_path.h"
#include "engine/batch_run.h"
#include "engine/engine_host.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/frame_schedule.h"
#include "engine/sources_opened_ahead.h"
#include "joblist/job_list.h"
#include "settings/extraction_options.h"

// Clips of many encoders and containers, each frame carrying its index, read through the
// source in the engine's own order of calls and in arbitrary orders.

namespace mx::test {
namespace {

constexpr int kRate = 25;

double evenTime(int n) {
    return static_cast<double>(n) / kRate;
}

// Steps of 60 and 20 ms, and half a second of nothing after every 50 frames.
double unevenTime(int n) {
    return n * 0.04 + 0.02 * (n % 2) + 0.5 * (n / 50);
}
const char kUnevenFilter[] = "settb=1/1000,setpts=(N*0.04+0.02*mod(N\\,2)+0.5*floor(N/50))/TB";

struct MatrixClip {
    const char* name;
    QStringList args;
    std::function<double(int)> frameTime;  // from the first frame the generator painted
    QString filters;
    // Made from the clip above by a second ffmpeg run, e.g. a cut that leaves an edit list.
    QStringList remux;
    double seconds = 6.0;
    // Cut at half its size, as a download that stopped: the frames whose packets are whole.
    bool cutInHalf = false;
};

MatrixClip clip(const char* name, const QStringList& args,
                std::function<double(int)> frameTime = evenTime, const QString& filters = {},
                const QStringList& remux = {}) {
    return {name, args, std::move(frameTime), filters, remux};
}

const QStringList kX264 = {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "veryfast"};

MatrixClip cutInHalf(MatrixClip clip) {
    clip.cutInHalf = true;
    return clip;
}

// The packets of the video whose data lies whole in the first `size` bytes of the file.
int wholePackets(const QString& path, qint64 size) {
    QString listing;
    if (runProgram("ffprobe",
                   {"-v", "error", "-select_streams", "v", "-show_entries", "packet=pos,size",
                    "-of", "default=nw=1", path},
                   &listing) != 0) {
        return -1;
    }
    int whole = 0;
    qint64 packetSize = -1;  // ffprobe names each packet's size before its position
    for (const QString& line : listing.split('\n')) {
        if (line.startsWith("size=")) {
            packetSize = line.mid(5).toLongLong();
        } else if (line.startsWith("pos=") && packetSize >= 0) {
            whole += line.mid(4).toLongLong() + packetSize <= size ? 1 : 0;
            packetSize = -1;
        }
    }
    return whole;
}

std::vector<MatrixClip> matrixClips() {
    const QStringList x264Gop = kX264 + QStringList{"-g", "30", "-bf", "3"};
    const QStringList x265 = {"-c:v",         "libx265",
                              "-preset",      "ultrafast",
                              "-x265-params", "keyint=30:open-gop=1:bframes=3:log-level=none"};
    const QStringList vfr = kX264 + QStringList{"-fps_mode", "passthrough", "-g", "40"};
    return {
        clip("open_gop.mp4", x264Gop + QStringList{"-x264-params", "open-gop=1:b-pyramid=normal"}),
        clip("pyramid.mkv", x264Gop + QStringList{"-x264-params", "b-pyramid=normal"}),
        clip("h264.ts", x264Gop + QStringList{"-f", "mpegts"}),
        clip("intra_refresh.mp4", kX264 + QStringList{"-x264-params", "intra-refresh=1:keyint=30"}),
        clip("mpeg4_bframes.avi", {"-c:v", "mpeg4", "-q:v", "2", "-g", "30", "-bf", "2"}),
        // A key frame as the second coded picture, as at a cut in the first frames.
        clip("mpeg4_early_key.avi",
             {"-c:v", "mpeg4", "-q:v", "2", "-g", "30", "-bf", "2", "-force_key_frames", "0.04"}),
        clip("h264_bframes.avi", kX264 + QStringList{"-g", "30", "-bf", "2"}),
        clip("xvid.avi", {"-c:v", "libxvid", "-q:v", "3", "-g", "30", "-bf", "0"}),
        clip("mpeg1.mpg",
             {"-c:v", "mpeg1video", "-q:v", "3", "-g", "15", "-bf", "2", "-f", "mpeg"}),
        // Several small frames to a packet: the last ones carry decoding times only.
        clip("mpeg1_no_bframes.mpg", {"-c:v", "mpeg1video", "-q:v", "3", "-f", "mpeg"}),
        clip("mpeg2.vob", {"-c:v", "mpeg2video", "-q:v", "3", "-g", "15", "-bf", "2", "-f", "vob"}),
        clip("mpeg2_interlaced.ts", {"-c:v", "mpeg2video", "-q:v", "3", "-g", "15", "-bf", "2",
                                     "-flags", "+ilme+ildct", "-top", "1", "-f", "mpegts"}),
        clip("wmv2.wmv", {"-c:v", "wmv2", "-q:v", "3", "-g", "30"}),
        clip("msmpeg4.asf", {"-c:v", "msmpeg4", "-q:v", "3", "-g", "30"}),
        clip("mjpeg.avi", {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"}),
        clip("mjpeg.mov", {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"}),
        clip("vp9_altref.webm",
             {"-c:v", "libvpx-vp9", "-g", "30", "-deadline", "good", "-cpu-used", "8", "-b:v",
              "400k", "-auto-alt-ref", "1", "-lag-in-frames", "16"}),
        clip("hevc_open_gop.mkv", x265),
        clip("hevc_open_gop.mp4", x265 + QStringList{"-tag:v", "hvc1"}),
        clip("vfr.mkv", vfr, unevenTime, kUnevenFilter),
        clip("vfr.mp4", vfr, unevenTime, kUnevenFilter),
        clip("late_1_4.ts", x264Gop + QStringList{"-output_ts_offset", "1.4", "-f", "mpegts"}),
        clip("late_10.mp4", x264Gop + QStringList{"-output_ts_offset", "10"}),
        clip("late_10.mkv", x264Gop + QStringList{"-output_ts_offset", "10"}),
        // Indexed as its fragments are read, and Matroska as a live recorder writes it,
        // without cues or duration.
        clip("fragmented.mp4", x264Gop + QStringList{"-movflags", "+frag_keyframe+empty_moov"}),
        clip("live.mkv", x264Gop + QStringList{"-live", "1"}),
        // Cut without re-encoding: an edit list hides the frames before the cut.
        clip("edit_list.mp4", x264Gop, evenTime, {}, {"-ss", "1.3"}),
        cutInHalf(clip("cut_download.mp4",
                       kX264 + QStringList{"-g", "30", "-bf", "0", "-movflags", "+faststart"})),
    };
}

class MediaMatrixTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { s_dir = std::make_unique<QTemporaryDir>(); }
    static void TearDownTestSuite() { s_dir.reset(); }

    struct Made {
        QString path;
        int firstIndex = 0;  // index of the first frame the file shows
        int frames = 0;      // frames the generator painted
    };

    static Made make(const MatrixClip& clip) {
        Made made;
        made.frames = static_cast<int>(std::lround(clip.seconds * kRate));
        const QString painted = s_dir->filePath(QString("painted_") + clip.name);
        IndexedClip spec;
        spec.width = 176;
        spec.height = 144;
        spec.rate = kRate;
        spec.seconds = clip.seconds;
        spec.outputArgs = clip.args;
        spec.extraFilters = clip.filters;
        EXPECT_TRUE(makeIndexedClip(painted, spec)) << clip.name;
        made.path = painted;
        if (clip.cutInHalf) {
            QFile file(painted);
            const qint64 half = file.size() / 2;
            made.frames = wholePackets(painted, half);
            EXPECT_GT(made.frames, 0);
            EXPECT_TRUE(file.resize(half));
        }
        if (!clip.remux.isEmpty()) {
            made.path = s_dir->filePath(clip.name);
            EXPECT_TRUE(
                runFfmpeg(clip.remux + QStringList{"-i", painted, "-c", "copy", made.path}));
            // What the ffmpeg CLI shows first is the reference for where the file starts.
            const QString png = s_dir->filePath(QString(clip.name) + ".png");
            EXPECT_TRUE(runFfmpeg({"-i", made.path, "-frames:v", "1", png}));
            made.firstIndex = readFrameIndex(QImage(png));
            EXPECT_GT(made.firstIndex, 0);
        }
        return made;
    }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
};

// The index of the frame shown t seconds after the first one: the last one starting at or
// before t; the first before the start, the last after the end.
int expectedIndex(const MatrixClip& clip, const MediaMatrixTest::Made& made, double t) {
    const double base = clip.frameTime(made.firstIndex);
    int shown = made.firstIndex;
    for (int n = made.firstIndex + 1; n < made.frames; ++n) {
        if (clip.frameTime(n) - base <= t + 1e-9) {
            shown = n;
        }
    }
    return shown;
}

// The picture at t; planIndex is the capture's place in the source's plan, none off the plan.
QByteArray pictureAt(VideoSource& source, double t, int planIndex = -1) {
    if (planIndex >= 0) {
        source.seekPlanned(size_t(planIndex), t);
    } else {
        source.seek(t);
    }
    QByteArray dib;
    return source.currentImage(&dib) ? dib : QByteArray();
}

int frameAt(VideoSource& source, double t) {
    const QByteArray dib = pictureAt(source, t);
    return dib.isEmpty() ? -2 : readFrameIndex(dib);
}

// Keeps both cores busy for its lifetime, so that decoders on other threads finish in
// whatever order the scheduler makes.
class CpuLoad {
public:
    CpuLoad() {
        for (auto& thread : m_threads) {
            thread = std::jthread([](std::stop_token stop) {
                volatile unsigned spin = 0;
                while (!stop.stop_requested()) {
                    spin = spin + 1;
                }
            });
        }
    }

private:
    std::array<std::jthread, 2> m_threads;
};

TEST_F(MediaMatrixTest, EveryClipShowsTheFrameAtEachTimeInAnyOrder) {
    for (const MatrixClip& clip : matrixClips()) {
        SCOPED_TRACE(clip.name);
        const Made made = make(clip);
        const double span =
            clip.frameTime(made.frames - 1) - clip.frameTime(made.firstIndex) + 1.0 / kRate;

        // The engine's own calls: size, a seek to one second, the duration, then eleven
        // proportional positions.
        auto source = createFfmpegVideoSource();
        source->open(made.path);
        EXPECT_EQ(source->videoWidth(), 176);
        EXPECT_EQ(source->videoHeight(), 144);
        source->seek(1.0);
        const double duration = source->duration();
        // Exact where every frame lasts one frame time; a remuxed or retimed clip's last frame
        // may last less.
        const bool even = clip.remux.isEmpty() && clip.filters.isEmpty();
        EXPECT_NEAR(duration, span, even ? 0.001 : 0.045);
        std::vector<double> plan;
        std::vector<QByteArray> alone;
        for (int i = 1; i <= 11; ++i) {
            plan.push_back(i * duration / 12);
            alone.push_back(pictureAt(*source, plan.back()));
            EXPECT_EQ(readFrameIndex(alone.back()), expectedIndex(clip, made, plan.back()))
                << "capture " << i;
            EXPECT_DOUBLE_EQ(source->position(), plan.back());
        }

        // The same captures planned ahead and shared out between two decoders, with the cores
        // busy elsewhere: byte for byte the pictures of one decoder.
        setSplitEveryPlanForTesting(true);
        {
            const CpuLoad load;
            auto planned = createFfmpegVideoSource();
            planned->open(made.path);
            planned->seek(1.0);
            const int64_t decodedBefore = framesDecodedForTesting();
            planned->planCaptures(plan);
            for (size_t i = 0; i < plan.size(); ++i) {
                EXPECT_TRUE(pictureAt(*planned, plan[i], int(i)) == alone[i])
                    << "planned " << plan[i];
            }
            if (QByteArray(clip.name).startsWith("mjpeg")) {
                // Each frame is a key frame, shown as it comes: a capture decodes its own.
                EXPECT_EQ(framesDecodedForTesting() - decodedBefore, int64_t(plan.size()));
            }
        }
        setSplitEveryPlanForTesting(false);

        // Times between frame starts and on them, before the start and beyond the end.
        std::vector<double> times = {0.0,   0.013, 0.5,         1.0,  1.213,     1.6,
                                     2.0,   2.413, 2.84,        3.0,  3.52,      4.04,
                                     4.813, 5.2,   span - 0.01, -1.0, span + 5.0};
        std::sort(times.begin(), times.end());
        std::vector<std::vector<double>> orders = {times, times};
        std::reverse(orders[1].begin(), orders[1].end());
        std::mt19937 random(11);
        for (int shuffle = 0; shuffle < 2; ++shuffle) {
            orders.push_back(times);
            std::shuffle(orders.back().begin(), orders.back().end(), random);
        }
        // Far beyond the end, then back near the start.
        orders.push_back({span + 5.0, 1.0, 2.0, 0.5});
        for (size_t order = 0; order < orders.size(); ++order) {
            SCOPED_TRACE(order);
            auto fresh = createFfmpegVideoSource();
            fresh->open(made.path);
            for (const double t : orders[order]) {
                EXPECT_EQ(frameAt(*fresh, t), expectedIndex(clip, made, t)) << "at " << t;
            }
        }
    }
}

}  // namespace
}  // namespace mx::test

namespace mx::test {
namespace {

TEST_F(MediaMatrixTest, OpensFileNamesWhoseBytesAreNotText) {
    const MatrixClip plain = clip("plain.mp4", kX264 + QStringList{"-g", "30"});
    const Made made = make(plain);
    // Latin-1 bytes and a stray continuation byte, as old file systems and archives leave.
    const QByteArray folder = QFile::encodeName(s_dir->path());
    const QByteArray name = folder + "/caf\xe9_\x80:clip.mp4";
    ASSERT_EQ(::rename(QFile::encodeName(made.path).constData(), name.constData()), 0);
    const RemovedAtEnd removed{name};
    const QString path = decodeNativePath(name);
    ASSERT_TRUE(hasEscapedBytes(path));
    auto source = createFfmpegVideoSource();
    source->open(path);
    EXPECT_EQ(source->videoWidth(), 176);
    EXPECT_EQ(frameAt(*source, 1.0), 25);
}

// The rows of a batch run, without their times.
class BatchLog : public BatchHost {
public:
    void logMessage(const QString& text) override { rows << text; }
    void setFileProgressMax(int) override {}
    void setFileProgressPos(int) override {}
    void setCaptionAndTitle(const QString&) override {}
    void processMessages() override {}
    void clearLog() override {}
    void setOverallProgressMax(int) override {}
    void setOverallProgressPos(int) override {}
    void setStatusText(const QString&) override {}
    QStringList rows;
};

TEST_F(MediaMatrixTest, AFolderRunGivesTheSameBytesWithTheNextFileOpenedAhead) {
    // Small clips, two of one base name (the later one's frames take its extension), a file
    // that is not a video and one that is missing, run file after file and with each next file
    // opened ahead: every log row and every byte saved are the same.
    const QString folder = s_dir->filePath("folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    MatrixClip small = clip("small.mp4", kX264 + QStringList{"-g", "40"});
    small.seconds = 3.0;
    const QString made = make(small).path;
    QStringList paths;
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4", "a.mov"}) {
        paths << folder + "/" + name;
        ASSERT_TRUE(QFile::copy(made, paths.back()));
    }
    QFile text(folder + "/notes.avi");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a video") > 0);
    text.close();
    paths.insert(2, text.fileName());
    paths.insert(3, folder + "/gone.mp4");
    JobList jobs;
    for (const QString& path : paths) {
        jobs.add(path);
    }

    // Random positions too: their draws must come in job order.
    for (const OptionField method : {OptionField::rbProport, OptionField::rbRandom}) {
        SCOPED_TRACE(int(method));
        std::array<QStringList, 2> results;
        for (const bool opensAhead : {false, true}) {
            QTemporaryDir out;
            ExtractionOptions options;
            options.setFlag(OptionField::rbFrameFile, true);
            options.setFlag(OptionField::rbAutoWidth, true);
            options.setFlag(OptionField::chkAddNumber, true);
            options.setFlag(OptionField::JPGBtn, true);
            options.setText(OptionField::FrameNumberEdit, "4");
            options.setText(OptionField::pathEdit, out.path());
            options.setFlag(method, true);
            resetRandomGeneratorForTesting();
            BatchLog log;
            SourcesOpenedAhead ahead(createFfmpegVideoSource);
            ExtractionEngine engine(log, options,
                                    opensAhead ? ahead.factory() : createFfmpegVideoSource);
            const auto extract = [&](const QString& path) { engine.run(path); };
            BatchRun(
                log, jobs, [] {},
                opensAhead ? openingNextAhead(ahead, jobs, extract)
                           : std::function<void(const QString&)>(extract));
            QStringList& result = results[opensAhead ? 1 : 0];
            result = log.rows;
            for (const QString& name : QDir(out.path()).entryList(QDir::Files, QDir::Name)) {
                QFile saved(out.filePath(name));
                EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
                result << name + " " + saved.readAll().toHex();
            }
            result.replaceInStrings(out.path(), "OUT");
        }
        EXPECT_GT(results[0].filter(".jpg ").size(), 8);
        EXPECT_EQ(results[0].filter("is already used in this run").size(), 1);
        EXPECT_EQ(results[0], results[1]);
    }
}

}  // namespace
}  // namespace mx::test
