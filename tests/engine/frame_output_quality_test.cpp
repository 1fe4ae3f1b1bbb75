#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <algorithm>

#include "common/test_support.h"
#include "engine/captured_frame.h"
#include "engine/engine_fakes.h"
#include "engine/frame_output.h"
#include "engine/text_drawing.h"

// JPEG quality across the track bar, each overlay text on its own, and files replaced.

namespace mx::test {
namespace {

// The IJG base tables in zigzag order, as a JPEG file stores them.
const int kLuminance[64] = {16,  11, 12, 14,  12,  10,  16,  14,  13, 14,  18,  17,  16,
                            19,  24, 40, 26,  24,  22,  22,  24,  49, 35,  37,  29,  40,
                            58,  51, 61, 60,  57,  51,  56,  55,  64, 72,  92,  78,  64,
                            68,  87, 69, 55,  56,  80,  109, 81,  87, 95,  98,  103, 104,
                            103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};
const int kChrominance[64] = {17, 18, 18, 24, 21, 24, 47, 26, 26, 47, 99, 66, 56, 66, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// libjpeg's scaling of the base tables for a quality, limited to baseline's 8-bit entries.
int scaled(int base, int quality) {
    quality = std::clamp(quality, 1, 100);
    const int factor = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return std::clamp((base * factor + 50) / 100, 1, 255);
}

// The quantisation tables of a JPEG file by their table number.
std::vector<std::vector<int>> quantisationTables(const QByteArray& jpeg) {
    std::vector<std::vector<int>> tables(4);
    const auto* bytes = reinterpret_cast<const uchar*>(jpeg.constData());
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA) {
        const int length = bytes[at + 2] << 8 | bytes[at + 3];
        if (bytes[at + 1] == 0xDB) {
            for (qsizetype t = at + 4; t + 65 <= at + 2 + length; t += 65) {
                const int id = bytes[t] & 0x0F;
                EXPECT_EQ(bytes[t] >> 4, 0) << "8-bit entries";
                tables[id % 4].assign(bytes + t + 1, bytes + t + 65);
            }
        }
        at += 2 + length;
    }
    return tables;
}

class FrameOutputQualityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        clearMethodGroups(options);
        options.setFlag(OptionField::rbFrameFile, true);
        options.setFlag(OptionField::rbAutoWidth, true);
        options.setText(OptionField::pathEdit, dir.path());
    }

    CapturedFrame frame(int width, int height, int grey) {
        auto captured = frameFromDib(greyDib(width, height, grey));
        EXPECT_TRUE(captured);
        return *captured;
    }

    QTemporaryDir dir;
    RecordingHost host;
    ExtractionOptions options;
    FrameOutput output{host, options};
};

TEST_F(FrameOutputQualityTest, JpegTablesFollowTheTrackBarAcrossItsRange) {
    options.setFlag(OptionField::JPGBtn, true);
    for (const int quality : {0, 1, 10, 25, 50, 74, 90, 100}) {
        SCOPED_TRACE(quality);
        options.setJpgTrackBar(quality);
        output.beginFile("/video/clip.avi");
        output.nameCapture(1, 1);
        output.saveFrame(frame(32, 16, 120));
        const auto tables = quantisationTables(readFile(dir.filePath("clip.jpg")));
        ASSERT_EQ(tables[0].size(), 64u);
        ASSERT_EQ(tables[1].size(), 64u);
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(tables[0][i], scaled(kLuminance[i], quality)) << "luminance " << i;
            ASSERT_EQ(tables[1][i], scaled(kChrominance[i], quality)) << "chrominance " << i;
        }
    }
}

// The columns holding white glyph pixels in the overlay's band.
QRect whiteBox(const QImage& image, int fromX) {
    QRect box;
    for (int y = image.height() - 20; y < image.height(); ++y) {
        for (int x = fromX; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(255, 255, 255)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST_F(FrameOutputQualityTest, TimeStampOrFileNameAloneIsPlacedByItsOwnWidth) {
    const int w = 400;
    const int h = 60;
    const QFontMetrics metrics(tahomaFont(8));
    const struct {
        bool time;
        bool name;
        QString text;
    } cases[] = {{true, false, "00:01:23 "}, {false, true, "clip.avi "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        options.setFlag(OptionField::chktime, c.time);
        options.setFlag(OptionField::chkFilename, c.name);
        CapturedFrame drawn = frame(w, h, 128);
        output.beginFile("/video/clip.avi");
        output.drawOverlay(drawn, 83.4);
        ASSERT_TRUE(drawn.drawnOn);
        // The white copy starts one pixel left of W - width - 20.
        const int left = w - metrics.horizontalAdvance(c.text) - 20 - 1;
        const QRect box = whiteBox(drawn.image, w / 2);
        ASSERT_FALSE(box.isEmpty());
        EXPECT_GE(box.left(), left);
        EXPECT_LE(box.left(), left + 2);
        const int glyphs = metrics.horizontalAdvance(c.text.trimmed());
        EXPECT_NEAR(box.width(), glyphs, 2);
        // Capitals and figures end on the baseline, the cell's ascent below H - 16.
        EXPECT_LE(box.bottom(), h - 16 + 11 + 2);
    }
}

TEST_F(FrameOutputQualityTest, AnExistingFileOfTheSameNameIsReplaced) {
    options.setFlag(OptionField::BMPBtn, true);
    const QString bmp = dir.filePath("clip.bmp");
    ASSERT_TRUE(writeFile(bmp, QByteArray(100000, 'x')));
    output.beginFile("/video/clip.avi");
    output.nameCapture(1, 1);
    const CapturedFrame saved = frame(8, 4, 60);
    output.saveFrame(saved);
    EXPECT_EQ(readFile(bmp), saved.bmpFileBytes());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"clip.bmp"});

    options.setFlag(OptionField::BMPBtn, false);
    options.setFlag(OptionField::JPGBtn, true);
    const QString jpg = dir.filePath("clip.jpg");
    ASSERT_TRUE(writeFile(jpg, QByteArray(100000, 'y')));
    output.beginFile("/video/clip.avi");
    output.nameCapture(1, 1);
    output.saveFrame(frame(8, 4, 60));
    const QByteArray jpeg = readFile(jpg);
    EXPECT_TRUE(jpeg.startsWith("\xFF\xD8"));
    EXPECT_LT(jpeg.size(), 100000);
}

}  // namespace
}  // namespace mx::test
