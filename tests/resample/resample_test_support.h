#pragma once

#include <QImage>
#include <array>
#include <functional>

#include "engine/resample_bitmap.h"

namespace mx::test {

inline constexpr std::array<ResampleFilter, 7> allFilters() {
    return {ResampleFilter::Box,     ResampleFilter::Triangle, ResampleFilter::Hermite,
            ResampleFilter::Bell,    ResampleFilter::BSpline,  ResampleFilter::Lanczos3,
            ResampleFilter::Mitchell};
}

const char* filterName(ResampleFilter filter);

inline QRgb grey(int level) {
    return qRgb(level, level, level);
}

// A Format_RGB32 picture whose pixel (x, y) is colour(x, y).
QImage makeImage(int width, int height, const std::function<QRgb(int, int)>& colour);

// A Format_ARGB32 picture of noise from a fixed seed, with flat areas and hard edges so that
// clamping happens; its alpha is noise too, which the resampler must ignore.
QImage randomImage(int width, int height, unsigned seed);

}  // namespace mx::test
