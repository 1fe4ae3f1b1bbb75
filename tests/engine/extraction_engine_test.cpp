#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/media_clips.h"
#include "common/test_support.h"
#include "core/abort_flag.h"
#include "core/error.h"
#include "core/format_clock.h"
#include "engine/engine_fakes.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/frame_schedule.h"

namespace mx::test {
namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        AbortFlag = false;
        resetRandomGeneratorForTesting();
        clearMethodGroups(options);
        setFlags(options,
                 {OptionField::rbFrameFile, OptionField::rbProport, OptionField::rbAutoWidth,
                  OptionField::BMPBtn, OptionField::chkAddNumber});
        options.setText(OptionField::pathEdit, dir.path());
        options.setText(OptionField::FrameNumberEdit, QStringLiteral("3"));
    }
    void TearDown() override { AbortFlag = false; }

    QStringList savedFiles() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
    FakeMedia media;
    RecordingHost host;
    ExtractionOptions options;
};

TEST_F(EngineTest, ReportsSizeAndDurationThenClosesAndResetsTheCaption) {
    media.width = 640;
    media.height = 480;
    media.duration = 95.48;
    options.setFlag(OptionField::rbAutoWidth, false);
    ExtractionEngine engine(host, options, media.factory());
    engine.run("/video/clip.avi");
    EXPECT_EQ(media.openedPath, "/video/clip.avi");
    EXPECT_EQ(host.rows.mid(0, 3),
              (QStringList{"640 x 480", "Duration:95.48 sec", "Duration:00:01:35"}));
    EXPECT_EQ(media.seeks.front(), 1.0);
    EXPECT_EQ(media.closes, 1);
    EXPECT_EQ(host.captions, QStringList{"MoxelbyExtractor"});
}

TEST_F(EngineTest, SourceSizeIsInHundredthsOfAMegabyte) {
    const QString path = dir.filePath("data");
    auto sizeFor = [&](qint64 bytes) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_TRUE(file.resize(bytes));  // sparse: large sizes cost no disk
        file.close();
        return sourceSizeInMb(path);
    };
    EXPECT_DOUBLE_EQ(sizeFor(5000000), 4.77);
    EXPECT_DOUBLE_EQ(sizeFor(1048576), 1);
    EXPECT_DOUBLE_EQ(sizeFor(0), 0);
    EXPECT_DOUBLE_EQ(sizeFor(qint64(3) << 30), 3072) << "sizes of 2 GiB and more are true";
    EXPECT_DOUBLE_EQ(sourceSizeInMb(dir.filePath("missing")), 0);
}

TEST_F(EngineTest, FailedAndUnreadablePicturesAreSkipped) {
    // Capture 2: the picture request fails; capture 3: a header bigger than its buffer.
    media.picture = [](double position, QByteArray* dib) {
        if (position == 60) {
            return false;
        }
        *dib = greyDib(8, 8, 50);
        if (position == 90) {
            dib->chop(1);
        }
        return true;
    };
    ExtractionEngine engine(host, options, media.factory());
    engine.run(dir.filePath("clip.avi"));
    const QString base = dir.filePath("clip");
    EXPECT_EQ(host.rows.mid(5),
              (QStringList{"00:00:30 " + base + "_00001", "00:01:00 " + base + "_00002",
                           "Error extract frame", "00:01:30 " + base + "_00003"}));
    EXPECT_EQ(savedFiles(), QStringList{"clip_00001.bmp"});
    EXPECT_EQ(host.captions, QStringList{"MoxelbyExtractor"});
}

// The capture rows and the sheet's save row, without what the sheet logs about its size.
QStringList captureAndSaveRows(const QStringList& rows) {
    QStringList result;
    for (const QString& row : rows) {
        if (row.startsWith("00:") || row.startsWith("save-")) {
            result << row;
        }
    }
    return result;
}

TEST_F(EngineTest, MatrixSetsUpAndFinishesTheSheetAlsoAfterAnAbort) {
    clearMethodGroups(options);
    setFlags(options, {OptionField::rbMatrix, OptionField::rbProport});
    media.duration = 100;
    ExtractionEngine engine(host, options, media.factory());
    engine.run("/video/clip.avi");
    const QString name = dir.path() + "/clip";
    EXPECT_EQ(host.rows.mid(3, 2), (QStringList{"Proportional method", "Start matrix-3x3"}));
    QStringList expected;
    for (int i = 1; i <= 9; ++i) {
        expected << FormatClock(10 * i);
    }
    expected << "save-" + name;
    EXPECT_EQ(captureAndSaveRows(host.rows), expected);
    EXPECT_TRUE(QDir(dir.path()).entryList({"clip_*"}).isEmpty()) << "no single frames";

    host.rows.clear();
    host.pumps = 0;
    host.onPump = [](int pump) {
        if (pump == 5) {
            AbortFlag = true;
        }
    };
    engine.run("/video/clip.avi");
    EXPECT_EQ(captureAndSaveRows(host.rows),
              (QStringList{"00:00:10", "00:00:20", "00:00:30", "00:00:40", "save-" + name}));
}

TEST_F(EngineTest, AFailedSaveStopsTheFileButReleasesTheMedia) {
    options.setText(OptionField::pathEdit, dir.filePath("missing"));
    ExtractionEngine engine(host, options, media.factory());
    EXPECT_THROW(engine.run("/video/clip.avi"), Error);
    EXPECT_EQ(media.opens, 1);
    EXPECT_EQ(media.closes, 1);
    EXPECT_EQ(media.imageRequests, 1) << "the run stops at the first failed save";
    EXPECT_TRUE(host.captions.isEmpty());
}

// Through the real FFmpeg source: the frames saved are the ones at the planned positions.
TEST_F(EngineTest, RealClipSavesTheFramesAtThePlannedPositions) {
    const QString clip = dir.filePath("indexed.mp4");
    ASSERT_TRUE(makeIndexedClip(clip));  // 25 frames a second, 4 s: frames 0 .. 99
    ExtractionEngine engine(host, options, createFfmpegVideoSource);
    engine.run(clip);
    EXPECT_EQ(host.rows.mid(0, 3),
              (QStringList{"320 x 240", "Duration:4 sec", "Duration:00:00:04"}));
    const int expected[] = {25, 50, 75};
    for (int i = 0; i < 3; ++i) {
        QImage frame(dir.filePath(QString::asprintf("indexed_%05d.bmp", i + 1)), "BMP");
        EXPECT_EQ(readFrameIndex(frame), expected[i]) << i;
    }

    // "Start at" 0 every 1 s as JPEG: 1, 2, 3 s and the end (the last frame).
    clearMethodGroups(options);
    setFlags(options, {OptionField::rbEverSec, OptionField::JPGBtn});
    options.setText(OptionField::edtSecStart, QStringLiteral("0"));
    options.setText(OptionField::edtEverSec, QStringLiteral("1"));
    engine.run(clip);
    const int expectedAt[] = {25, 50, 75, 99};
    for (int i = 0; i < 4; ++i) {
        QImage frame(dir.filePath(QString::asprintf("indexed_%05d.jpg", i + 1)), "JPG");
        EXPECT_EQ(readFrameIndex(frame), expectedAt[i]) << i;
    }
}

// Short groups of pictures: the eleven captures are decoded ahead on two decoders. Esc before
// the fourth capture keeps exactly the first three frames, each the right one.
TEST_F(EngineTest, RealClipDecodedAheadKeepsOrderAndStopsAtEsc) {
    const QString clip = dir.filePath("groups.mp4");
    IndexedClip spec;
    spec.seconds = 6.0;  // frames 0 .. 149, a key frame every 10
    spec.outputArgs =
        QStringList{"-c:v", "libx264", "-g", "10", "-sc_threshold", "0", "-pix_fmt", "yuv420p"};
    ASSERT_TRUE(makeIndexedClip(clip, spec));
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    ExtractionEngine engine(host, options, createFfmpegVideoSource);
    const int splitBefore = plansSplitForTesting();
    engine.run(clip);
    EXPECT_EQ(plansSplitForTesting(), splitBefore + 1);
    for (int i = 1; i <= 11; ++i) {
        QImage frame(dir.filePath(QString::asprintf("groups_%05d.bmp", i)), "BMP");
        EXPECT_EQ(readFrameIndex(frame), i * 150 / 12) << i;
    }

    for (const QString& name : QDir(dir.path()).entryList({"*.bmp"})) {
        ASSERT_TRUE(QFile::remove(dir.filePath(name)));
    }
    host.pumps = 0;
    host.onPump = [](int pump) {
        if (pump == 4) {
            AbortFlag = true;
        }
    };
    engine.run(clip);
    AbortFlag = false;
    EXPECT_EQ(savedFiles(), (QStringList{"groups.mp4", "groups_00001.bmp", "groups_00002.bmp",
                                         "groups_00003.bmp"}));
    for (int i = 1; i <= 3; ++i) {
        QImage frame(dir.filePath(QString::asprintf("groups_%05d.bmp", i)), "BMP");
        EXPECT_EQ(readFrameIndex(frame), i * 150 / 12) << i;
    }
}

TEST_F(EngineTest, FilesThatCannotBePlayedRunThroughWithoutPictures) {
    const QString clip = dir.filePath("whole.mp4");
    ASSERT_TRUE(makeIndexedClip(clip));
    const QByteArray whole = readFile(clip);
    QByteArray corrupt = whole;
    for (qsizetype i = 0; i < corrupt.size(); i += 7) {
        corrupt[i] = char(corrupt[i] ^ 0x5A);
    }
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty.mp4", QByteArray()},
        {"text.avi", QByteArray("not a video at all\n")},
        {"truncated.mp4", whole.left(whole.size() / 2)},  // the index sits at the end
        {"corrupt.mp4", corrupt},
    };
    QStringList paths{dir.filePath("missing.mp4")};
    for (const auto& [name, bytes] : cases) {
        ASSERT_TRUE(writeFile(dir.filePath(name), bytes));
        paths << dir.filePath(name);
    }
    options.setText(OptionField::pathEdit, dir.filePath("out"));  // any save would throw
    ExtractionEngine engine(host, options, createFfmpegVideoSource);
    for (const QString& path : paths) {
        host.rows.clear();
        host.captions.clear();
        ASSERT_NO_THROW(engine.run(path)) << path.toStdString();
        const QString base = dir.filePath("out/") + QFileInfo(path).completeBaseName();
        EXPECT_EQ(host.rows, (QStringList{"0 x 0", "Duration:0 sec", "Duration:00:00:00",
                                          "Proportional method", "Start extract 3 frames",
                                          "00:00:00 " + base + "_00001", "Error extract frame",
                                          "00:00:00 " + base + "_00002", "Error extract frame",
                                          "00:00:00 " + base + "_00003", "Error extract frame"}))
            << path.toStdString();
        EXPECT_EQ(host.captions, QStringList{"MoxelbyExtractor"});
    }
}

}  // namespace
}  // namespace mx::test
