#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <memory>

#include <webp/decode.h>

#include "common/test_support.h"
#include "core/error.h"
#include "engine/captured_frame.h"
#include "engine/engine_fakes.h"
#include "engine/frame_output.h"
#include "engine/image_files.h"
#include "engine/text_drawing.h"

namespace mx::test {
namespace {

class FrameOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearMethodGroups(options);
        options.setFlag(OptionField::rbFrameFile, true);
        options.setText(OptionField::pathEdit, QStringLiteral("/frames"));
    }

    // The log row and name of one capture of a file.
    QString nameOf(const QString& source, int index, double position) {
        output.beginFile(source);
        output.nameCapture(index, position);
        return output.name();
    }

    RecordingHost host;
    ExtractionOptions options;
    FrameOutput output{host, options};
};

TEST_F(FrameOutputTest, NamesCarryNumberThenRoundedSeconds) {
    options.setFlag(OptionField::chkAddNumber, true);
    options.setFlag(OptionField::chkSec, true);
    EXPECT_EQ(nameOf("/video/clip.avi", 3, 83.4), "/frames/clip_00003_000083");
    EXPECT_EQ(host.rows, QStringList{"00:01:23 /frames/clip_00003_000083"});

    EXPECT_EQ(nameOf("/video/clip.avi", 123456, 2.5), "/frames/clip_123456_000002");
    EXPECT_EQ(host.rows.last(), "00:00:02 /frames/clip_123456_000002");

    options.setFlag(OptionField::chkSec, false);
    EXPECT_EQ(nameOf("/video/my.clip.mp4", 1, 0), "/frames/my.clip_00001");
    EXPECT_EQ(nameOf("/video/noext", 1, 0), "/frames/noext_00001");
    EXPECT_EQ(nameOf("bare.avi", 1, 0), "/frames/bare_00001");
}

TEST_F(FrameOutputTest, TargetFolderIsPathEditPlusSlashOrTheSourceFolder) {
    options.setText(OptionField::pathEdit, QStringLiteral("/out/"));
    EXPECT_EQ(nameOf("/video/clip.avi", 1, 0), "/out//clip");

    options.setFlag(OptionField::chkFolder, true);
    EXPECT_EQ(nameOf("/video/clip.avi", 1, 0), "/video/clip");
    EXPECT_EQ(nameOf("clip.avi", 1, 0), "clip") << "a bare name has an empty folder";
    // ":" is an ordinary character on this system.
    EXPECT_EQ(nameOf("/v/a:b.avi", 1, 0), "/v/a:b");
}

TEST_F(FrameOutputTest, LogRowsFollowTheFrameMethod) {
    options.setFlag(OptionField::chkAddNumber, true);
    options.setFlag(OptionField::rbEverSec, true);
    nameOf("/video/clip.avi", 2, 61);
    EXPECT_EQ(host.rows, QStringList{"00:01:01 /frames/clip_00002"});

    // Matrix: the clock alone, and the name falls back to folder + base name.
    host.rows.clear();
    options.setFlag(OptionField::rbMatrix, true);
    EXPECT_EQ(nameOf("/video/clip.avi", 2, 61), "/frames/clip");
    EXPECT_EQ(host.rows, QStringList{"00:01:01"});

    host.rows.clear();
    clearMethodGroups(options);
    nameOf("/video/clip.avi", 2, 61);
    EXPECT_TRUE(host.rows.isEmpty());
}

CapturedFrame greyFrame(int width, int height, int grey = 128) {
    auto frame = frameFromDib(greyDib(width, height, grey));
    EXPECT_TRUE(frame);
    return *frame;
}

// The bounding box of the pixels of one colour.
QRect boxOf(const QImage& image, QRgb colour) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST_F(FrameOutputTest, OverlayPutsTextRightAlignedAndWatermarkLeftWithShadow) {
    const int w = 320;
    const int h = 120;
    CapturedFrame untouched = greyFrame(w, h);
    output.beginFile("/video/clip.avi");
    output.drawOverlay(untouched, 83);
    EXPECT_FALSE(untouched.drawnOn);
    EXPECT_EQ(boxOf(untouched.image, qRgb(128, 128, 128)), QRect(0, 0, w, h));

    options.setFlag(OptionField::chktime, true);
    options.setFlag(OptionField::chkFilename, true);
    CapturedFrame frame = greyFrame(w, h);
    output.drawOverlay(frame, 83);
    EXPECT_TRUE(frame.drawnOn);

    const QFont font = tahomaFont(8);
    if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        EXPECT_EQ(QFontInfo(font).family(), "Tahoma");
    }
    EXPECT_EQ(font.pixelSize(), 11) << "8 points at the offscreen screen's 96 dots per inch";
    const QFontMetrics metrics(font);
    const int textLeft = w - metrics.horizontalAdvance("00:01:23 clip.avi ") - 20;
    const QImage& image = frame.image;
    const QRect leftWhite = boxOf(image.copy(0, 0, w / 2, h), qRgb(255, 255, 255));
    const QRect leftBlack = boxOf(image.copy(0, 0, w / 2, h), qRgb(0, 0, 0));
    const QRect rightWhite =
        boxOf(image.copy(w / 2, 0, w / 2, h), qRgb(255, 255, 255)).translated(w / 2, 0);
    const QRect rightBlack =
        boxOf(image.copy(w / 2, 0, w / 2, h), qRgb(0, 0, 0)).translated(w / 2, 0);
    for (const QRect& box : {leftWhite, leftBlack, rightWhite, rightBlack}) {
        ASSERT_FALSE(box.isEmpty());
        // Everything sits in the bottom band: from the text's top at H - 16 down.
        EXPECT_GE(box.top(), h - 16);
        EXPECT_LE(box.bottom(), h - 1);
    }
    // The black copy is one row lower; where the white copy covers it only its lower edge
    // shows, so the black pixels reach one row further down.
    EXPECT_EQ(leftBlack.bottom(), leftWhite.bottom() + 1);
    EXPECT_EQ(rightBlack.bottom(), rightWhite.bottom() + 1);
    // Watermark from x = 5; the white text one pixel left of its black copy.
    EXPECT_GE(leftWhite.left(), 5);
    EXPECT_LE(leftWhite.left(), 7);
    EXPECT_EQ(rightBlack.right(), rightWhite.right() + 1);
    // The text starts at W - width - 20 (white at one less); its right end, trailing blank
    // included, lies 20 pixels from the edge, so the glyphs end a blank before that.
    EXPECT_GE(rightWhite.left(), textLeft - 1);
    EXPECT_LE(rightWhite.left(), textLeft + 1);
    const int blank = metrics.horizontalAdvance(' ');
    EXPECT_LT(rightBlack.right(), w - 20 - blank / 2);
    EXPECT_GE(rightBlack.right(), w - 20 - 2 * blank - 1);
    // Nothing else changed.
    EXPECT_EQ(boxOf(image.copy(0, 0, w, h - 17), qRgb(128, 128, 128)), QRect(0, 0, w, h - 17));
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST_F(FrameOutputTest, SavesOnlyWithAutoWidthInFileMethodsInTheChosenFormat) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    options.setText(OptionField::pathEdit, dir.path());
    options.setFlag(OptionField::chkAddNumber, true);
    const CapturedFrame frame = greyFrame(16, 8, 200);
    auto capture = [&](int index) {
        output.beginFile(dir.path() + "/clip.avi");
        output.nameCapture(index, 1);
        output.saveFrame(frame);
    };

    // rbAutoWidth clear: nothing is saved.
    options.setFlag(OptionField::JPGBtn, true);
    capture(1);
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());

    options.setFlag(OptionField::rbAutoWidth, true);
    capture(2);
    options.setFlag(OptionField::BMPBtn, true);
    capture(3);
    // Neither format button: the previous file's format stays.
    options.setFlag(OptionField::BMPBtn, false);
    capture(4);
    // Matrix saves no single frames.
    options.setFlag(OptionField::rbMatrix, true);
    capture(5);
    EXPECT_EQ(filesIn(dir.path()),
              (QStringList{"clip_00002.jpg", "clip_00003.bmp", "clip_00004.bmp"}));

    // A fresh engine with neither button has no format and saves nothing.
    options.setFlag(OptionField::rbEverSec, true);
    FrameOutput fresh(host, options);
    fresh.beginFile(dir.path() + "/clip.avi");
    fresh.nameCapture(6, 1);
    fresh.saveFrame(frame);
    EXPECT_EQ(filesIn(dir.path()).size(), 3);

    const QByteArray bmp = readFile(dir.filePath("clip_00003.bmp"));
    EXPECT_EQ(bmp, frame.bmpFileBytes());
}

// The IJG luminance table in zigzag order, as a JPEG file stores it.
const int kLuminanceZigzag[64] = {16,  11, 12, 14,  12,  10,  16,  14,  13, 14,  18,  17,  16,
                                  19,  24, 40, 26,  24,  22,  22,  24,  49, 35,  37,  29,  40,
                                  58,  51, 61, 60,  57,  51,  56,  55,  64, 72,  92,  78,  64,
                                  68,  87, 69, 55,  56,  80,  109, 81,  87, 95,  98,  103, 104,
                                  103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};

TEST_F(FrameOutputTest, JpegIsBaselineWithTheQualityOfTheTrackBar) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    options.setText(OptionField::pathEdit, dir.path());
    options.setFlag(OptionField::rbAutoWidth, true);
    options.setFlag(OptionField::JPGBtn, true);
    options.setJpgTrackBar(75);
    output.beginFile("/video/clip.avi");
    output.nameCapture(1, 1);
    output.saveFrame(greyFrame(40, 24, 90));

    const QByteArray jpeg = readFile(dir.filePath("clip.jpg"));
    ASSERT_TRUE(jpeg.startsWith("\xFF\xD8"));
    EXPECT_TRUE(jpeg.contains("\xFF\xC0")) << "baseline frame header";
    EXPECT_FALSE(jpeg.contains("\xFF\xC2")) << "not progressive";
    const qsizetype dqt = jpeg.indexOf("\xFF\xDB");
    ASSERT_GE(dqt, 0);
    const auto* table = reinterpret_cast<const uchar*>(jpeg.constData()) + dqt + 5;
    for (int i = 0; i < 64; ++i) {
        // Quality 75 scales the base table by 50 %.
        const int expected = std::clamp((kLuminanceZigzag[i] * 50 + 50) / 100, 1, 255);
        ASSERT_EQ(table[i], expected) << i;
    }
    // The encoder's errors come back as exceptions instead of ending the process.
    EXPECT_THROW(encodeJpeg(QImage(), 75), Error);

    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(jpeg, "JPG"));
    EXPECT_EQ(decoded.size(), QSize(40, 24));
    EXPECT_NEAR(qGray(decoded.pixel(20, 12)), 90, 3);
}

TEST_F(FrameOutputTest, FormatOverrideWritesPngOfTheSamePixelsAndWebpThatLibwebpDecodes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    options.setText(OptionField::pathEdit, dir.path());
    options.setFlag(OptionField::rbAutoWidth, true);
    options.setFlag(OptionField::BMPBtn, true);
    CapturedFrame frame = greyFrame(40, 24, 90);
    frame.image.setPixel(3, 2, qRgb(250, 10, 120));
    for (const char* format : {"png", "webp"}) {
        output.setFormatOverride(QString::fromLatin1(format));
        output.beginFile("/video/clip.avi");
        output.nameCapture(1, 1);
        output.saveFrame(frame);
    }
    QImage png;
    ASSERT_TRUE(png.loadFromData(readFile(dir.filePath("clip.png")), "PNG"));
    EXPECT_EQ(png.format(), QImage::Format_RGB32) << "no alpha channel";
    EXPECT_EQ(png, frame.image.convertToFormat(QImage::Format_RGB32));

    const QByteArray webp = readFile(dir.filePath("clip.webp"));
    int width = 0;
    int height = 0;
    const std::unique_ptr<uint8_t, decltype(&WebPFree)> rgb(
        WebPDecodeRGB(reinterpret_cast<const uint8_t*>(webp.constData()), webp.size(), &width,
                      &height),
        &WebPFree);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(QSize(width, height), QSize(40, 24));
    EXPECT_NEAR(rgb.get()[(12 * 40 + 20) * 3], 90, 4);
    EXPECT_THROW(encodeWebp(QImage(16384, 1, QImage::Format_RGB32), 75), Error);
}

// Saves one BMP capture into folder and expects the error naming the file.
void expectSaveFailure(FrameOutput& output, ExtractionOptions& options, const QString& folder) {
    options.setFlag(OptionField::rbAutoWidth, true);
    options.setFlag(OptionField::BMPBtn, true);
    options.setText(OptionField::pathEdit, folder);
    output.beginFile("/video/clip.avi");
    output.nameCapture(1, 1);
    try {
        output.saveFrame(greyFrame(8, 8));
        ADD_FAILURE() << "saved into " << folder.toStdString();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot create file " + folder + "/clip.bmp");
    }
}

TEST_F(FrameOutputTest, MissingTargetFolderStopsWithTheFileNameAndCreatesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    expectSaveFailure(output, options, dir.filePath("missing"));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing"))) << "no folder is created";

    ASSERT_TRUE(writeFile(dir.filePath("plain"), "x"));
    expectSaveFailure(output, options, dir.filePath("plain"));
    EXPECT_EQ(filesIn(dir.path()), QStringList{"plain"});
}

TEST_F(FrameOutputTest, ReadOnlyTargetFolderStopsAndLeavesNoTemporaryFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (writeFile(locked + "/probe", "x")) {
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    expectSaveFailure(output, options, locked);
    EXPECT_TRUE(filesIn(locked).isEmpty());
}

}  // namespace
}  // namespace mx::test
