#include <gtest/gtest.h>

#include <QColor>
#include <functional>
#include <random>

#include "engine/resample_bitmap.h"
#include "reference_resample.h"
#include "resample_test_support.h"

namespace mx {
namespace {

using test::allFilters;
using test::filterName;
using test::grey;
using test::makeImage;

TEST(ResampleKernels, ValuesAndSupport) {
    EXPECT_EQ(resampleKernel(ResampleFilter::Box, 0.5f), 1.0f);
    EXPECT_EQ(resampleKernel(ResampleFilter::Box, -0.5f), 0.0f);
    EXPECT_EQ(resampleKernel(ResampleFilter::Triangle, 0.25f), 0.75f);
    EXPECT_EQ(resampleKernel(ResampleFilter::Hermite, 0.5f), 0.5f);
    EXPECT_EQ(resampleKernel(ResampleFilter::Bell, 1.0f), 0.125f);
    EXPECT_FLOAT_EQ(resampleKernel(ResampleFilter::BSpline, 0.0f), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(resampleKernel(ResampleFilter::Mitchell, 0.0f), 16.0f / 18.0f);
    EXPECT_EQ(resampleKernel(ResampleFilter::Lanczos3, 0.0f), 1.0f);
    EXPECT_NEAR(resampleKernel(ResampleFilter::Lanczos3, 1.0f), 0.0f, 1e-6f);
    EXPECT_LT(resampleKernel(ResampleFilter::Lanczos3, 1.5f), -0.1f);
    for (ResampleFilter f : allFilters()) {
        const float r = defaultResampleRadius(f);
        EXPECT_EQ(resampleKernel(f, -r), 0.0f) << filterName(f);
        EXPECT_EQ(resampleKernel(f, -r - 0.25f), 0.0f) << filterName(f);
        EXPECT_GT(resampleKernel(f, 0.0f), 0.5f) << filterName(f);
    }
    EXPECT_EQ(defaultResampleRadius(ResampleFilter::Lanczos3), 3.0f);
    // Every kernel as its formula gives it, over its whole support and past it.
    for (ResampleFilter f : allFilters()) {
        for (int step = -4 * 97; step <= 4 * 97; ++step) {
            const float x = float(step) / 97.0f;
            ASSERT_EQ(resampleKernel(f, x), test::referenceKernel(f, x))
                << filterName(f) << " " << x;
        }
    }
}

TEST(ResampleBitmap, BoxAtTheSameSizeReproducesThePicture) {
    const QImage source = test::randomImage(37, 23, 1);
    QImage target;
    ResampleBitmap(37, 23, ResampleFilter::Box, 0, source, target);
    ASSERT_EQ(target.size(), source.size());
    EXPECT_EQ(target.format(), QImage::Format_RGB32);
    EXPECT_EQ(target, source.convertToFormat(QImage::Format_RGB32));
}

TEST(ResampleBitmap, UniformGreyStaysExactWithEveryKernel) {
    const QSize sizes[][2] = {{{40, 30}, {13, 7}}, {{40, 30}, {97, 61}}, {{1, 1}, {5, 4}},
                              {{2, 2}, {1, 1}},    {{1, 9}, {3, 2}},     {{9, 1}, {1, 1}},
                              {{300, 3}, {41, 3}}};
    for (ResampleFilter f : allFilters()) {
        for (const auto& [from, to] : sizes) {
            const QImage source =
                makeImage(from.width(), from.height(), [](int, int) { return qRgb(93, 140, 201); });
            QImage target;
            ResampleBitmap(to.width(), to.height(), f, 0, source, target);
            ASSERT_EQ(target.size(), to);
            for (int y = 0; y < to.height(); ++y) {
                for (int x = 0; x < to.width(); ++x) {
                    ASSERT_EQ(target.pixel(x, y), qRgb(93, 140, 201))
                        << filterName(f) << " " << from.width() << "x" << from.height() << " -> "
                        << to.width() << "x" << to.height() << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(ResampleBitmap, OvershootOfLanczosIsClampedNotWrapped) {
    // A hard black/white edge enlarged: the negative lobes ring on both sides of it.
    const QImage source = makeImage(8, 8, [](int x, int) { return x < 4 ? grey(0) : grey(255); });
    QImage target;
    ResampleBitmap(64, 8, ResampleFilter::Lanczos3, 0, source, target);
    int darkZeros = 0, brightFull = 0;
    for (int x = 0; x < 64; ++x) {
        const int v = qBlue(target.pixel(x, 3));
        if (x < 27) {
            EXPECT_LT(v, 32) << x;
            darkZeros += v == 0;
        } else if (x >= 37) {
            EXPECT_GT(v, 223) << x;
            brightFull += v == 255;
        }
    }
    EXPECT_GE(darkZeros, 18);
    EXPECT_GE(brightFull, 18);
}

TEST(ResampleBitmap, LeftEdgeMirrorsAboutPixelZeroRightEdgeRepeatsTheLast) {
    // BSpline at the same size weighs neighbours 43, 171, 43: at the left edge the missing
    // neighbour is pixel 1, at the right edge the last pixel itself.
    const int line[8] = {0, 200, 0, 0, 0, 0, 200, 0};
    const QImage row = makeImage(8, 1, [&](int x, int) { return grey(line[x]); });
    QImage out;
    ResampleBitmap(8, 1, ResampleFilter::BSpline, 0, row, out);
    EXPECT_EQ(qGreen(out.pixel(0, 0)), 86 * 200 / 257);
    EXPECT_EQ(qGreen(out.pixel(7, 0)), 43 * 200 / 257);

    const QImage column = makeImage(1, 8, [&](int, int y) { return grey(line[y]); });
    ResampleBitmap(1, 8, ResampleFilter::BSpline, 0, column, out);
    EXPECT_EQ(qRed(out.pixel(0, 0)), 86 * 200 / 257);
    EXPECT_EQ(qRed(out.pixel(0, 7)), 43 * 200 / 257);
}

TEST(ResampleBitmap, SameBitmapAsSourceAndTarget) {
    QImage image = test::randomImage(50, 40, 2);
    QImage expected;
    ResampleBitmap(23, 61, ResampleFilter::Mitchell, 0, QImage(image), expected);
    ResampleBitmap(23, 61, ResampleFilter::Mitchell, 0, image, image);
    EXPECT_EQ(image, expected);
}

TEST(ResampleBitmap, EmptySourceAndZeroSizes) {
    const QImage before = test::randomImage(5, 5, 3);
    QImage target = before;
    ResampleBitmap(10, 10, ResampleFilter::Lanczos3, 0, QImage(), target);
    EXPECT_EQ(target, before);
    ResampleBitmap(0, 10, ResampleFilter::Lanczos3, 0, before, target);
    EXPECT_TRUE(target.isNull());
    target = before;
    ResampleBitmap(10, -1, ResampleFilter::Lanczos3, 0, before, target);
    EXPECT_TRUE(target.isNull());
}

TEST(ResampleBitmap, OneByOneTargetTakesTheMiddleOfTheSource) {
    // Box over three pixels weighs each 85: the plain mean of the picture.
    const int values[3] = {30, 90, 240};
    const QImage source = makeImage(3, 3, [&](int x, int y) { return grey(values[(x + y) % 3]); });
    QImage target;
    ResampleBitmap(1, 1, ResampleFilter::Box, 0, source, target);
    EXPECT_EQ(qGreen(target.pixel(0, 0)), 120);
    for (ResampleFilter f : allFilters()) {
        ResampleBitmap(1, 1, f, 0, test::randomImage(640, 480, 4), target);
        EXPECT_EQ(target.size(), QSize(1, 1)) << filterName(f);
    }
}

TEST(ResampleBitmap, EnlargingByTenKeepsCornersAndOrder) {
    const QImage source = makeImage(4, 3, [](int x, int y) { return qRgb(x * 80, y * 120, 7); });
    QImage target;
    ResampleBitmap(40, 30, ResampleFilter::Triangle, 0, source, target);
    ASSERT_EQ(target.size(), QSize(40, 30));
    EXPECT_EQ(target.pixel(0, 0), source.pixel(0, 0));
    EXPECT_EQ(target.pixel(39, 29), source.pixel(3, 2));
    EXPECT_EQ(target.pixel(39, 0), source.pixel(3, 0));
    for (int x = 1; x < 40; ++x) {
        EXPECT_GE(qRed(target.pixel(x, 5)), qRed(target.pixel(x - 1, 5))) << x;
        EXPECT_EQ(qBlue(target.pixel(x, 5)), 7);
    }
}

TEST(ResampleBitmap, OtherFormatsAreReadAsColour) {
    QImage rgb888(6, 4, QImage::Format_RGB888);
    rgb888.fill(QColor(10, 20, 30));
    QImage target;
    ResampleBitmap(3, 2, ResampleFilter::Triangle, 0, rgb888, target);
    EXPECT_EQ(target.pixel(1, 1), qRgb(10, 20, 30));
}

}  // namespace
}  // namespace mx
