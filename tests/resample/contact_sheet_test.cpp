#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>

#include "common/media_clips.h"
#include "engine/contact_sheet.h"
#include "engine/engine_host.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/resample_bitmap.h"
#include "engine/text_drawing.h"
#include "engine/video_source.h"
#include "resample_test_support.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

using test::grey;
using test::makeImage;

class RowsHost : public EngineHost {
public:
    void logMessage(const QString& text) override { rows << text; }
    void setFileProgressMax(int) override {}
    void setFileProgressPos(int) override {}
    void setCaptionAndTitle(const QString&) override {}
    void processMessages() override {}
    QStringList rows;
};

// Answers the size and duration queries of the sheet's header; nothing else is used.
class MeasuredSource : public VideoSource {
public:
    void open(const QString&) override {}
    int videoHeight() override { return height; }
    int videoWidth() override { return width; }
    double duration() override { return seconds; }
    void seek(double) override {}
    double position() override { return 0; }
    bool currentImage(QByteArray*) override { return false; }
    void close() override {}
    int width = 0, height = 0;
    double seconds = 0;
};

class ContactSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        options.setFlag(OptionField::rbMatrix, true);
        options.setFlag(OptionField::rbAutoWidth, true);
        name = folder.filePath(QStringLiteral("clip"));
    }

    // Sets up a sheet for a video of width x height, places the tiles and finishes it.
    QImage makeSheet(int width, int height, const std::vector<QImage>& tiles,
                     const QString& format = QStringLiteral("bmp"), double sizeInMb = 4.77) {
        ContactSheet sheet(host, options);
        sheet.setUp(width, height);
        for (const QImage& tile : tiles) {
            sheet.addTile(tile);
        }
        source.width = width;
        source.height = height;
        sheet.finish(name, format, source, QStringLiteral("clip.avi"), sizeInMb);
        return QImage(name + QLatin1Char('.') + format);
    }

    QStringList savedFiles() const { return QDir(folder.path()).entryList(QDir::Files); }

    QTemporaryDir folder;
    ExtractionOptions options;
    RowsHost host;
    MeasuredSource source;
    QString name;
};

// Frames of one flat grey each, 10, 20, 30, ... in the order given.
std::vector<QImage> greyFrames(int count, int width, int height) {
    std::vector<QImage> frames;
    for (int k = 1; k <= count; ++k) {
        frames.push_back(makeImage(width, height, [k](int, int) { return grey(10 * k); }));
    }
    return frames;
}

// The grey of the tile in grid cell (column, row), 0-based, read at its centre.
int tileGrey(const QImage& picture, int column, int row, int tileWidth, int tileHeight) {
    return qGreen(
        picture.pixel(column * tileWidth + tileWidth / 2, 40 + row * tileHeight + tileHeight / 2));
}

TEST_F(ContactSheetTest, SheetSizesAndTheirLogRows) {
    struct Case {
        QSize video;
        QStringList rows;
        QSize picture;
    };
    const Case cases[] = {
        {{640, 480}, {"Start matrix-3x3", "new 1920x1440"}, {1920, 1480}},
        {{1280, 720}, {"Start matrix-3x3", "new 3840x2160"}, {3840, 2200}},
        {{1920, 1080},
         {"Start matrix-3x3", "new 5760x3240", "new*2.15992000296285", "new 889x500"},
         {2667, 1540}},
        // 3 x 3 tiles make a multiple of 9 pixels: these lie just below and above the limit.
        {{1280, 750}, {"Start matrix-3x3", "new 3840x2250"}, {3840, 2290}},
        {{1281, 750},
         {"Start matrix-3x3", "new 3843x2250", "new*1.00074418540054", "new 1280x749"},
         {3840, 2287}},
        // Far larger sources shrink their tiles before anything is allocated; a product beyond
        // 32 bits still counts as too large.
        {{7680, 4320},
         {"Start matrix-3x3", "new 23040x12960", "new*34.5587200474057", "new 222x125"},
         {666, 415}},
        {{20000, 20000},
         {"Start matrix-3x3", "new 60000x60000", "new*416.651235139439", "new 48x48"},
         {144, 184}},
    };
    for (const Case& c : cases) {
        host.rows.clear();
        const QImage picture = makeSheet(c.video.width(), c.video.height(), {});
        EXPECT_EQ(host.rows.mid(0, c.rows.size()).join(u'|'), c.rows.join(u'|'));
        EXPECT_EQ(picture.size(), c.picture) << c.video.width();
        EXPECT_EQ(picture.pixel(picture.width() - 1, picture.height() - 1), qRgb(255, 255, 255));
    }
}

TEST_F(ContactSheetTest, ShrunkTilesAreTheResampledFrames) {
    const QImage frame = test::randomImage(1920, 1080, 9);
    QImage expected;
    ResampleBitmap(889, 500, ResampleFilter::Lanczos3, 0, frame, expected);
    const QImage picture = makeSheet(1920, 1080, {frame, frame});
    ASSERT_EQ(picture.size(), QSize(2667, 1540));
    EXPECT_EQ(picture.copy(889, 40, 889, 500).convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_EQ(picture.pixel(2 * 889, 40), qRgb(255, 255, 255));
}

TEST_F(ContactSheetTest, TilesFillRowByRowAndMissingCapturesLeaveWhiteAtTheEnd) {
    // Eight pictures of nine captures (one grab failed): the ninth cell stays white.
    QImage picture = makeSheet(60, 40, greyFrames(8, 60, 40));
    ASSERT_EQ(picture.size(), QSize(180, 160));
    for (int cell = 0; cell < 9; ++cell) {
        EXPECT_EQ(tileGrey(picture, cell % 3, cell / 3, 60, 40), cell < 8 ? 10 * (cell + 1) : 255)
            << cell;
    }

    // Esc after four captures: the top row and the first tile of the middle row.
    host.rows.clear();
    picture = makeSheet(60, 40, greyFrames(4, 60, 40));
    EXPECT_TRUE(host.rows.contains(QStringLiteral("save-") + name));
    for (int cell = 0; cell < 9; ++cell) {
        EXPECT_EQ(tileGrey(picture, cell % 3, cell / 3, 60, 40), cell < 4 ? 10 * (cell + 1) : 255)
            << cell;
    }
}

TEST_F(ContactSheetTest, HeaderBandNamesTheFileWithValuesReadAgain) {
    // The source reports other values at the end than at set-up; the header uses the later.
    for (double size : {4.77, 0.0}) {
        ContactSheet sheet(host, options);
        sheet.setUp(300, 20);
        for (const QImage& frame : greyFrames(9, 300, 20)) {
            sheet.addTile(frame);
        }
        source.width = 640;
        source.height = 480;
        source.seconds = 95.48;
        sheet.finish(name, QStringLiteral("bmp"), source, QStringLiteral("clip.avi"), size);
        const QImage picture(name + QStringLiteral(".bmp"));
        ASSERT_EQ(picture.size(), QSize(900, 100));

        QImage band(900, 40, QImage::Format_RGB32);
        band.fill(Qt::black);
        QPainter painter(&band);
        painter.setFont(tahomaFont(14));
        drawTextAt(painter, 10, 5,
                   QStringLiteral("FileName:clip.avi Duration:00:01:35 Resolution:640 x 480 "
                                  "File size:") +
                       (size == 0 ? QStringLiteral("0") : QStringLiteral("4.77")) +
                       QStringLiteral(" mb"),
                   Qt::white);
        painter.end();
        EXPECT_EQ(picture.copy(0, 0, 900, 40).convertToFormat(QImage::Format_RGB32), band) << size;
        EXPECT_EQ(tileGrey(picture, 2, 2, 300, 20), 90);
    }
}

TEST_F(ContactSheetTest, SavedAsJpegOrNotAtAllWithARowSayingWhy) {
    const QImage jpeg = makeSheet(40, 30, greyFrames(9, 40, 30), QStringLiteral("jpg"));
    EXPECT_EQ(jpeg.size(), QSize(120, 130));
    EXPECT_NEAR(tileGrey(jpeg, 2, 2, 40, 30), 90, 3);
    EXPECT_EQ(savedFiles(), QStringList{"clip.jpg"});
    QFile::remove(name + QStringLiteral(".jpg"));

    // An empty format saves nothing without a message.
    host.rows.clear();
    makeSheet(40, 30, greyFrames(9, 40, 30), QString());
    EXPECT_EQ(host.rows.last(), QStringLiteral("save-") + name);

    // An abort before the first capture leaves no name to save under.
    host.rows.clear();
    name.clear();
    makeSheet(40, 30, {});
    EXPECT_EQ(host.rows.mid(2),
              (QStringList{"save-", "Contact sheet not saved: no capture was taken"}));
    name = folder.filePath(QStringLiteral("clip"));

    host.rows.clear();
    makeSheet(0, 0, {});
    EXPECT_EQ(host.rows.last(), QStringLiteral("Contact sheet not saved: the video has no size"));

    // Without Auto Width the sheet is never sized: no "new" rows, no tiles, no file.
    host.rows.clear();
    options.setFlag(OptionField::rbAutoWidth, false);
    makeSheet(40, 30, greyFrames(9, 40, 30));
    EXPECT_EQ(host.rows, (QStringList{"Start matrix-3x3", "save-" + name,
                                      "Contact sheet not saved: Auto Width is off"}));
    EXPECT_TRUE(savedFiles().isEmpty());
}

TEST_F(ContactSheetTest, FullHdClipGivesNineShrunkFramesInTimeOrder) {
    const QString clip = folder.filePath(QStringLiteral("clip.mp4"));
    test::IndexedClip spec;
    spec.width = 1920;
    spec.height = 1080;
    spec.seconds = 10;
    spec.outputArgs = {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
    ASSERT_TRUE(test::makeIndexedClip(clip, spec));

    options.setFlag(OptionField::rbProport, true);
    options.setFlag(OptionField::BMPBtn, true);
    options.setText(OptionField::pathEdit, folder.path());
    ExtractionEngine engine(host, options, createFfmpegVideoSource);
    engine.run(clip);

    EXPECT_TRUE(host.rows.contains(QStringLiteral("new 889x500")));
    const QImage picture(name + QStringLiteral(".bmp"));
    ASSERT_EQ(picture.size(), QSize(2667, 1540));
    // Capture i is the picture at i * 10 / 10 s: frame 25 * i of the 25 fps clip.
    for (int cell = 0; cell < 9; ++cell) {
        const QImage tile = picture.copy(cell % 3 * 889, 40 + cell / 3 * 500, 889, 500);
        EXPECT_EQ(test::readFrameIndex(tile), 25 * (cell + 1)) << cell;
    }
}

}  // namespace
}  // namespace mx
