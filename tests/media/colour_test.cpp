#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "common/media_clips.h"
#include "common/test_support.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"

// Colours as a player shows them: every matrix, range, depth and chroma layout, RGB and
// palette sources, and HDR video tone-mapped to SDR.

namespace mx::test {
namespace {

class ColourTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    static QImage firstPicture(const QString& file) {
        auto source = createFfmpegVideoSource();
        source->open(file);
        source->seek(0.0);
        QByteArray dib;
        if (!source->currentImage(&dib)) {
            return {};
        }
        return imageFromDib(dib);
    }

    QTemporaryDir m_dir;
};

// Quadrants red, green / blue, white as BT.709 RGB.
const QString kQuadrants = "color=c=black:s=128x96:r=25:d=0.2," + QString(kQuadrantsFilter);

TEST_F(ColourTest, EveryLayoutKeepsItsColours) {
    const QString yuv709 = kQuadrants + ",scale=out_color_matrix=bt709:out_range=%1";
    const struct {
        const char* name;
        QString filters;
        QStringList args;
    } cases[] = {
        {"full_range_601.mkv",
         kQuadrants + ",scale=out_color_matrix=bt601:out_range=pc,format=yuvj420p",
         {"-c:v", "libx264", "-qp", "4", "-colorspace", "smpte170m", "-color_range", "pc"}},
        {"limited_10bit_422.mkv",
         yuv709.arg("tv") + ",format=yuv422p10le",
         {"-c:v", "libx264", "-qp", "4", "-colorspace", "bt709", "-color_range", "tv"}},
        {"limited_444.mkv",
         yuv709.arg("tv") + ",format=yuv444p",
         {"-c:v", "libx264", "-qp", "4", "-colorspace", "bt709", "-color_range", "tv"}},
        {"full_10bit_444.mkv",
         yuv709.arg("pc") + ",format=yuv444p10le",
         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none:lossless=1",
          "-colorspace", "bt709", "-color_range", "pc"}},
        // BT.2020 primaries with an SDR transfer: shown through BT.709 primaries.
        {"bt2020_10bit.mkv",
         yuv709.arg("tv") +
             ",format=yuv444p,setparams=colorspace=bt709:color_primaries=bt709:color_trc=bt709:"
             "range=tv,colorspace=all=bt2020:format=yuv420p10",
         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none:lossless=1",
          "-color_primaries", "bt2020", "-color_trc", "bt2020-10", "-colorspace", "bt2020nc"}},
        {"rgb.mkv", kQuadrants, {"-c:v", "ffv1"}},
        {"palette.mov", kQuadrants + ",format=pal8", {"-c:v", "png"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(runFfmpeg(QStringList{"-f", "lavfi", "-i", c.filters} + c.args +
                              QStringList{path(c.name)}));
        expectQuadrants(firstPicture(path(c.name)), 10);
    }
}

TEST_F(ColourTest, TenBitRampHasNoBands) {
    // Luma 64 to 940 of 1023 across 1024 pixels: less than one 8-bit level per pixel.
    const QString file = path("ramp10.mkv");
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i",
                           "color=c=black:s=1024x16:r=25:d=0.2,format=yuv444p10le,"
                           "geq=lum='64+X*876/1023':cb=512:cr=512",
                           "-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                           "log-level=none:lossless=1", "-colorspace", "bt709", file}));
    const QImage image = firstPicture(file);
    ASSERT_EQ(image.width(), 1024);
    int previous = qGreen(image.pixel(0, 8));
    int levels = 1;
    for (int x = 1; x < image.width(); ++x) {
        const int grey = qGreen(image.pixel(x, 8));
        ASSERT_GE(grey, previous) << x;
        ASSERT_LE(grey - previous, 1) << x;
        levels += grey != previous;
        previous = grey;
    }
    EXPECT_GE(levels, 250);
}

double meanSaturation(const QImage& image) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            const int top = std::max({qRed(px), qGreen(px), qBlue(px)});
            const int bottom = std::min({qRed(px), qGreen(px), qBlue(px)});
            if (top > 20) {
                sum += double(top - bottom) / top;
                ++count;
            }
        }
    }
    return count ? sum / count : 0;
}

double meanGrey(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            sum += qGray(image.pixel(x, y));
        }
    }
    return sum / (double(image.width()) * image.height());
}

double correlation(const QImage& a, const QImage& b) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    double n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const auto& [u, v] : {std::pair{qRed(p), qRed(q)}, std::pair{qGreen(p), qGreen(q)},
                                       std::pair{qBlue(p), qBlue(q)}}) {
                sa += u;
                sb += v;
                saa += double(u) * u;
                sbb += double(v) * v;
                sab += double(u) * v;
                ++n;
            }
        }
    }
    const double va = saa / n - sa * sa / n / n;
    const double vb = sbb / n - sb * sb / n / n;
    return (sab / n - sa * sb / n / n) / std::sqrt(va * vb);
}

TEST_F(ColourTest, HdrIsToneMappedToTheSdrPictureWithItsSaturation) {
    // An SDR original, and the same picture as HDR10 (PQ) and HLG video with BT.2020
    // primaries, its white at 100 nits.
    const QString original = path("sdr.mkv");
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=256x144:r=25:d=0.2,format=yuv444p",
                           "-c:v", "libx264", "-qp", "0", "-colorspace", "bt709",
                           "-color_primaries", "bt709", "-color_trc", "bt709", original}));
    const QImage sdr = firstPicture(original);
    ASSERT_FALSE(sdr.isNull());
    for (const char* transfer : {"smpte2084", "arib-std-b67"}) {
        SCOPED_TRACE(transfer);
        const QString hdr = path(QString("hdr_%1.mkv").arg(transfer));
        ASSERT_TRUE(runFfmpeg(
            {"-i", original, "-vf",
             QString("zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=%1:m=bt2020nc:p=bt2020:"
                     "r=tv:npl=100,format=yuv420p10le")
                 .arg(transfer),
             "-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none",
             "-color_primaries", "bt2020", "-color_trc", transfer, "-colorspace", "bt2020nc",
             hdr}));
        const QImage shown = firstPicture(hdr);
        ASSERT_EQ(shown.size(), sdr.size());
        std::printf("%s: correlation %.3f, saturation %.0f %% of the original's\n", transfer,
                    correlation(shown, sdr), 100 * meanSaturation(shown) / meanSaturation(sdr));
        EXPECT_GT(correlation(shown, sdr), 0.95);
        // Taken as SDR the picture keeps a quarter to a third of its saturation.
        EXPECT_GT(meanSaturation(shown), 0.85 * meanSaturation(sdr));
        // Not dimmed to grey: the picture keeps most of its brightness.
        EXPECT_GT(meanGrey(shown), 0.8 * meanGrey(sdr));
    }
}

}  // namespace
}  // namespace mx::test
