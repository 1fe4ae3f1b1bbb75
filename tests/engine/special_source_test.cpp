#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/special_files.h"
#include "core/abort_flag.h"
#include "engine/engine_fakes.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/frame_schedule.h"

namespace mx::test {
namespace {

// A FIFO or device named like a video: measured as unreadable and never handed to the decoder,
// so the run neither hangs nor reads for ever, and gives the rows of a file that cannot be
// played.
TEST(SpecialSourceFiles, RunThroughAsFilesThatCannotBePlayed) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("clip.avi");
    ASSERT_TRUE(makeFifo(fifo));
    AbortFlag = false;
    resetRandomGeneratorForTesting();
    ExtractionOptions options;
    clearMethodGroups(options);
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbProport, OptionField::rbAutoWidth,
                       OptionField::BMPBtn, OptionField::chkAddNumber});
    options.setText(OptionField::pathEdit, dir.filePath("out"));
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("2"));

    EXPECT_TRUE(finishesWithin([&] { EXPECT_EQ(sourceSizeInMb(fifo), 0.0); }, fifo));

    for (const QString& path :
         {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/dev/urandom")}) {
        RecordingHost host;
        ExtractionEngine engine(host, options, createFfmpegVideoSource);
        EXPECT_TRUE(finishesWithin([&] { engine.run(path); }, fifo)) << path.toStdString();
        const QString base = dir.filePath("out/") + QFileInfo(path).completeBaseName();
        EXPECT_EQ(host.rows, (QStringList{"0 x 0", "Duration:0 sec", "Duration:00:00:00",
                                          "Proportional method", "Start extract 2 frames",
                                          "00:00:00 " + base + "_00001", "Error extract frame",
                                          "00:00:00 " + base + "_00002", "Error extract frame"}))
            << path.toStdString();
    }

    // The check is made before the source is opened, not only in the FFmpeg backend.
    FakeMedia media;
    media.picture = [](double, QByteArray*) { return false; };
    RecordingHost host;
    ExtractionEngine engine(host, options, media.factory());
    EXPECT_TRUE(finishesWithin([&] { engine.run(fifo); }, fifo));
    EXPECT_EQ(media.opens, 0);
    EXPECT_EQ(media.closes, 1);
}

}  // namespace
}  // namespace mx::test
