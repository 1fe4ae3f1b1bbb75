#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "common/media_clips.h"
#include "common/test_support.h"
#include "core/format_clock.h"
#include "engine/engine_fakes.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"

// Clips with poor stretches at known times, run through the engine and the FFmpeg source with
// poor captures replaced: which frame each capture took, and what the log says of it.

namespace mx::test {
namespace {

constexpr int kBand = 4;  // rows at the bottom that carry the frame index

// testsrc2 with the given filters (or another source), 320 x 240 with the frame index in a
// thin band at the bottom, thin enough not to change how a frame is judged.
bool makeClip(const QString& path, double seconds, const QString& picture,
              const QStringList& encoder) {
    const QString index =
        "geq=lum='16+13*if(lt(X,16),mod(floor(N/256),16),if(lt(X,32),mod(floor(N/16),16),"
        "mod(N,16)))':cb=128:cr=128";
    const QString graph =
        QString(
            "%1,format=yuv420p[pic];color=c=black:s=48x2:r=25:d=%2,format=yuv420p,%3,"
            "scale=320:%4:flags=neighbor[band];[pic][band]vstack")
            .arg(picture)
            .arg(seconds)
            .arg(index)
            .arg(kBand);
    return runFfmpeg(QStringList{"-f", "lavfi", "-i", graph, "-t", QString::number(seconds)} +
                     encoder + QStringList{path});
}

int bandIndex(const QImage& frame) {
    const QImage band = frame.copy(0, frame.height() - kBand, frame.width(), kBand);
    return readFrameIndex(band.scaled(band.width(), 16));
}

QString base(double seconds) {
    return QString("testsrc2=s=320x%1:r=25:d=%2").arg(240 - kBand).arg(seconds);
}

const QStringList kLossless = {"-c:v", "libx264", "-qp", "0", "-preset", "veryfast"};

struct GoodFramesCase {
    const char* name;
    double seconds;
    QString picture;
    bool sheet;
    std::vector<int> taken;  // the frame index of each capture or tile
    QStringList moves;       // the rows that say what moved or stayed poor, in order
};

class GoodFramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        clearMethodGroups(options);
        setFlags(options, {OptionField::rbProport, OptionField::rbAutoWidth, OptionField::BMPBtn,
                           OptionField::chkAddNumber});
    }

    // Runs the clip into a fresh folder: the log rows about poor captures, and the files.
    QStringList run(const QString& clip, const GoodFramesCase& row, bool good, QString* folder) {
        *folder = dir.filePath(QString("%1_%2").arg(row.name).arg(good ? "on" : "off"));
        EXPECT_TRUE(QDir().mkpath(*folder));
        options.setFlag(row.sheet ? OptionField::rbMatrix : OptionField::rbFrameFile, true);
        options.setText(OptionField::FrameNumberEdit, "6");
        options.setText(OptionField::pathEdit, *folder);
        options.setGoodFrames(good);
        RecordingHost host;
        ExtractionEngine(host, options, createFfmpegVideoSource).run(clip);
        return host.rows.filter(QRegularExpression("^(moved|kept) "));
    }

    QTemporaryDir dir;
    ExtractionOptions options;
};

TEST_F(GoodFramesTest, PoorCapturesMoveToTheNearestGoodFrameAndGoodOnesStay) {
    const QString stretches =
        base(35) +
        ",drawbox=enable='between(t,4,5.6)':x=0:y=0:w=iw:h=ih:color=black:t=fill"
        ",drawbox=enable='between(t,9.5,10.4)':x=0:y=0:w=iw:h=ih:color=white:t=fill"
        ",gblur=sigma=5:enable='between(t,14,16.2)'"
        ",drawbox=enable='between(t,19,21.1)':x=0:y=0:w=iw:h=ih:color=gray:t=fill"
        ",fade=t=out:st=24:d=2:enable='between(t,24,26)'";
    const QStringList stretchMoves = {
        "moved 00:00:05 -> 00:00:05.75: black",   "moved 00:00:10 -> 00:00:10.50: white",
        "moved 00:00:15 -> 00:00:16.25: blurred", "moved 00:00:20 -> 00:00:21.25: flat",
        "moved 00:00:25 -> 00:00:26.25: fade",
    };
    // Bars for the first 7.2 s, then a picture that pans (testsrc2 alone repeats itself): the
    // second tile would repeat the first.
    const QString still =
        base(30) +
        ",scroll=h=0.001[moving];smptebars=s=320x236:r=25:d=30[bars];[moving][bars]"
        "overlay=enable='lt(t,7.2)'";
    QStringList allKept;
    for (int i = 1; i <= 6; ++i) {
        allKept << "kept " + FormatClock(2 * i) + ": black, nothing better nearby";
    }
    const GoodFramesCase cases[] = {
        {"stretches", 35, stretches, false, {143, 262, 406, 531, 656, 750}, stretchMoves},
        {"good", 35, base(35), false, {125, 250, 375, 500, 625, 750}, {}},
        {"black",
         14,
         "color=c=black:s=320x236:r=25:d=14",
         false,
         {50, 100, 150, 200, 250, 300},
         allKept},
        {"still",
         30,
         still,
         true,
         {75, 180, 225, 300, 375, 450, 525, 600, 675},
         {"moved 00:00:06 -> 00:00:07.20: like an earlier tile"}},
    };
    for (const GoodFramesCase& row : cases) {
        SCOPED_TRACE(row.name);
        const QString clip = dir.filePath(QString(row.name) + ".mkv");
        ASSERT_TRUE(makeClip(clip, row.seconds, row.picture, kLossless));
        QString on;
        QString off;
        const QStringList moves = run(clip, row, true, &on);
        run(clip, row, false, &off);
        EXPECT_EQ(moves, row.moves);
        std::vector<int> taken;
        if (row.sheet) {
            const QImage sheet(on + "/" + row.name + ".bmp");
            for (int tile = 0; tile < 9; ++tile) {
                taken.push_back(
                    bandIndex(sheet.copy(tile % 3 * 320, 40 + tile / 3 * 240, 320, 240)));
            }
        }
        for (int i = 1; !row.sheet && i <= 6; ++i) {
            const QString file = QString("/%1_%2.bmp").arg(row.name).arg(i, 5, 10, QChar('0'));
            taken.push_back(bandIndex(QImage(on + file)));
            // A capture that stays is the very frame taken without the option, byte for byte.
            if (taken.back() == bandIndex(QImage(off + file))) {
                EXPECT_EQ(readFile(on + file), readFile(off + file)) << file.toStdString();
            }
        }
        EXPECT_EQ(taken, row.taken);
    }

    // Planned on two decoders, the searches take the same frames, byte for byte. On the
    // stretches, whose flaws need no history, the decoders found every picture asked for on
    // their way; on the still sheet that depends on which decoder judged first.
    const int splitBefore = plansSplitForTesting();
    for (const GoodFramesCase* row : {&cases[0], &cases[3]}) {
        SCOPED_TRACE(row->name);
        const QString clip = dir.filePath(QString(row->name) + ".mkv");
        const int offPlanBefore = offPlanPicturesForTesting();
        setSplitEveryPlanForTesting(true);
        QString folder;
        EXPECT_EQ(run(clip, *row, true, &folder), row->moves);
        setSplitEveryPlanForTesting(false);
        if (row == &cases[0]) {
            EXPECT_EQ(offPlanPicturesForTesting(), offPlanBefore);
        }
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QList<QByteArray> split;
        for (const QString& file : files) {
            split << readFile(folder + "/" + file);
        }
        run(clip, *row, true, &folder);
        ASSERT_EQ(QDir(folder).entryList(QDir::Files), files);
        for (qsizetype i = 0; i < files.size(); ++i) {
            EXPECT_EQ(readFile(folder + "/" + files[i]), split[i]) << files[i].toStdString();
        }
    }
    EXPECT_GT(plansSplitForTesting(), splitBefore);

    // With key frames at the captures, the neighbour before would cost the group of pictures
    // before: the captures are judged by the two frames after them, and the same ones move.
    const QString keyed = dir.filePath("stretches_keyed.mkv");
    ASSERT_TRUE(runFfmpeg(
        QStringList{"-i", dir.filePath("stretches.mkv"), "-force_key_frames", "5,10,15,20,25,30"} +
        kLossless + QStringList{keyed}));
    QString folder;
    EXPECT_EQ(run(keyed, cases[0], true, &folder), stretchMoves);

    // HDR (PQ) is judged on the tone-mapped picture: the same captures move to the same times.
    // Tone mapped, the flash is a flat light grey rather than white.
    const QString sdr = dir.filePath("stretches.mkv");
    const QString hdr = dir.filePath("stretches_pq.mkv");
    ASSERT_TRUE(runFfmpeg(
        {"-i", sdr, "-vf",
         "zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=smpte2084:m=bt2020nc:p=bt2020:r=tv:"
         "npl=100,format=yuv420p10le",
         "-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none:crf=12",
         "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc", hdr}));
    QStringList hdrMoves = stretchMoves;
    hdrMoves[1].replace("white", "flat");
    EXPECT_EQ(run(hdr, cases[0], true, &folder), hdrMoves);
}

}  // namespace
}  // namespace mx::test
