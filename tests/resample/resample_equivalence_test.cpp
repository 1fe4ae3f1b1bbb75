#include <gtest/gtest.h>

#include <QString>

#include "engine/resample_paths.h"
#include "reference_resample.h"
#include "resample_test_support.h"

namespace mx {
namespace {

using test::allFilters;
using test::filterName;

// The first pixel where two results differ, for a failure message that says where to look.
QString firstDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format()) {
        return QStringLiteral("size or format differs");
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return QStringLiteral("at %1,%2: %3 vs %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
            }
        }
    }
    return {};
}

void expectSameAsReference(int width, int height, ResampleFilter filter, float radius,
                           const QImage& source) {
    QImage expected, fast, portable;
    test::referenceResampleBitmap(width, height, filter, radius, source, expected);
    ResampleBitmap(width, height, filter, radius, source, fast);
    resampleBitmapUsing(ResamplePath::Portable, width, height, filter, radius, source, portable);
    const auto where = [&] {
        return QStringLiteral("%1 radius %2: %3x%4 -> %5x%6 ")
            .arg(filterName(filter))
            .arg(radius)
            .arg(source.width())
            .arg(source.height())
            .arg(width)
            .arg(height)
            .toStdString();
    };
    EXPECT_EQ(firstDifference(fast, expected), QString()) << where() << "(vector loops)";
    EXPECT_EQ(firstDifference(portable, expected), QString()) << where() << "(portable loops)";
}

TEST(ResampleBitmapFast, MatchesTheReferenceOnAGridOfSizesAndKernels) {
    const QSize sources[] = {{1, 1}, {2, 2}, {1, 7}, {6, 1}, {3, 5}, {17, 13}, {64, 48}, {101, 77}};
    const QSize targets[] = {{1, 1},   {1, 9},   {2, 3},   {5, 5},
                             {13, 11}, {40, 31}, {64, 48}, {97, 205}};
    unsigned seed = 10;
    for (const QSize& from : sources) {
        const QImage source = test::randomImage(from.width(), from.height(), seed++);
        for (const QSize& to : targets) {
            for (ResampleFilter f : allFilters()) {
                expectSameAsReference(to.width(), to.height(), f, 0, source);
            }
        }
    }
}

TEST(ResampleBitmapFast, MatchesTheReferenceForOtherRadiiAndLargePictures) {
    const QImage picture = test::randomImage(211, 157, 77);
    for (ResampleFilter f : allFilters()) {
        for (float radius : {0.3f, 1.7f, 4.0f, 100.0f, -1.0f}) {
            expectSameAsReference(59, 333, f, radius, picture);
        }
    }
    // Large enough that the rows of both passes are split over threads.
    const QImage frame = test::randomImage(1920, 1080, 5);
    expectSameAsReference(889, 500, ResampleFilter::Lanczos3, 0, frame);
    expectSameAsReference(2000, 1200, ResampleFilter::Mitchell, 0, frame);
    expectSameAsReference(3, 1000, ResampleFilter::Box, 0, frame);
}

}  // namespace
}  // namespace mx
