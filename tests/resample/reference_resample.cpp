#include "reference_resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <numbers>
#include <vector>

namespace mx::test {

// The resampler as its rules read, one step after the other and without any shortcut, so that
// the optimised one can be held against it bit for bit. Kept apart from the engine on purpose:
// nothing here is shared with the code under test, not even the kernels, which are written
// here from their formulas.
namespace {

// sin(pi x) / (pi x), with pi x rounded to single precision before the sine is taken.
double sincOf(float x) {
    if (x == 0.0f) {
        return 1.0;
    }
    const float angle = static_cast<float>(std::numbers::pi * x);
    return static_cast<float>(std::sin(double(angle)) / double(angle));
}

}  // namespace

float referenceKernel(ResampleFilter filter, float x) {
    const double t = std::abs(double(x));
    double value = 0.0;
    switch (filter) {
        case ResampleFilter::Box:  // closed on the positive side only
            value = -0.5f < x && x <= 0.5f;
            break;
        case ResampleFilter::Triangle:
            value = t < 1 ? 1 - t : 0;
            break;
        case ResampleFilter::Hermite:
            value = t < 1 ? 2 * std::pow(t, 3) - 3 * std::pow(t, 2) + 1 : 0;
            break;
        case ResampleFilter::Bell:
            value = t < 0.5 ? 0.75 - std::pow(t, 2) : t < 1.5 ? std::pow(t - 1.5, 2) / 2 : 0;
            break;
        case ResampleFilter::BSpline:
            value = t < 1   ? std::pow(t, 3) / 2 - std::pow(t, 2) + 2.0 / 3
                    : t < 2 ? std::pow(2 - t, 3) / 6
                            : 0;
            break;
        case ResampleFilter::Lanczos3:
            value = t < 3 ? sincOf(x) * sincOf(x / 3.0f) : 0;
            break;
        case ResampleFilter::Mitchell:
            value = t < 1 ? (7 * std::pow(t, 3) - 12 * std::pow(t, 2) + 16.0 / 3) / 6
                    : t < 2
                        ? (-7.0 / 3 * std::pow(t, 3) + 12 * std::pow(t, 2) - 20 * t + 32.0 / 3) / 6
                        : 0;
            break;
    }
    return static_cast<float>(value);
}

namespace {

struct Contributor {
    std::int32_t weight;
    std::int32_t pixel;
};

using ContributorList = std::vector<std::vector<Contributor>>;

// Mirrors an index that lies beyond an edge, then keeps it inside when the source is smaller
// than the kernel's reach.
int mirrorIndex(long long j, int size) {
    long long p = j;
    if (j < 0) {
        p = -j;
    } else if (j >= size) {
        p = 2LL * size - 1 - j;
    }
    return static_cast<int>(std::clamp<long long>(p, 0, size - 1));
}

// Scale, centre and reach are single-precision values; expressions combining them are evaluated
// in double and rounded once where they are passed on.
ContributorList contributions(int sourceSize, int targetSize, ResampleFilter filter, float radius) {
    float scale = 0.0f;
    if (sourceSize == 1) {
        scale = static_cast<float>(targetSize) / static_cast<float>(sourceSize);
    } else if (targetSize == 1) {
        scale = 1.0f / static_cast<float>(sourceSize);
    } else {
        scale = static_cast<float>(targetSize - 1) / static_cast<float>(sourceSize - 1);
    }
    ContributorList list(static_cast<std::size_t>(targetSize));
    for (int i = 0; i < targetSize; ++i) {
        const float centre = (targetSize == 1 && sourceSize > 1)
                                 ? static_cast<float>(sourceSize - 1) / 2.0f
                                 : static_cast<float>(i) / scale;
        const bool shrinking = scale < 1.0f;
        const float reach = shrinking ? radius / scale : radius;
        const auto left = static_cast<long long>(std::floor(double(centre) - double(reach)));
        const auto right = static_cast<long long>(std::ceil(double(centre) + double(reach)));
        auto& entry = list[static_cast<std::size_t>(i)];
        entry.reserve(static_cast<std::size_t>(std::max(right - left + 1, 0LL)));
        for (long long j = left; j <= right; ++j) {
            double weight = 0.0;
            if (shrinking) {
                const auto x = static_cast<float>((double(centre) - double(j)) * double(scale));
                weight = double(referenceKernel(filter, x)) * double(scale) * 256.0;
            } else {
                const auto x = static_cast<float>(double(centre) - double(j));
                weight = double(referenceKernel(filter, x)) * 256.0;
            }
            const auto w = static_cast<std::int32_t>(std::nearbyint(weight));
            if (w != 0) {
                entry.push_back({w, mirrorIndex(j, sourceSize)});
            }
        }
    }
    return list;
}

// The line caches of the running thread: red, green and blue of one row or column.
thread_local std::vector<std::int32_t> cacheRed, cacheGreen, cacheBlue;

void loadCaches(const uchar* first, qsizetype step, int count) {
    cacheRed.resize(static_cast<std::size_t>(count));
    cacheGreen.resize(static_cast<std::size_t>(count));
    cacheBlue.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const uchar* px = first + k * step;
        cacheRed[k] = px[2];
        cacheGreen[k] = px[1];
        cacheBlue[k] = px[0];
    }
}

uchar channelValue(std::int32_t sum, std::int32_t total) {
    // With no weight total the sum is scaled back by 256; a negative sum is dark, not bright.
    const std::int32_t value = total != 0 ? sum / total : (sum >> 8);
    return static_cast<uchar>(std::clamp(value, 0, 255));
}

void storeSum(const std::vector<Contributor>& entry, uchar* out) {
    std::int32_t red = 0, green = 0, blue = 0, total = 0;
    for (const Contributor& c : entry) {
        total += c.weight;
        red += cacheRed[c.pixel] * c.weight;
        green += cacheGreen[c.pixel] * c.weight;
        blue += cacheBlue[c.pixel] * c.weight;
    }
    out[0] = channelValue(blue, total);
    out[1] = channelValue(green, total);
    out[2] = channelValue(red, total);
    out[3] = 0xFF;
}

qsizetype rowStep(const QImage& image) {
    return image.height() > 1 ? image.constScanLine(1) - image.constScanLine(0) : 0;
}

bool isBgrx32(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

QImage allocate(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        throw std::bad_alloc();
    }
    return image;
}

}  // namespace

void referenceResampleBitmap(int newWidth, int newHeight, ResampleFilter filter, float radius,
                             const QImage& source, QImage& target) {
    if (source.isNull() || source.width() == 0 || source.height() == 0) {
        return;
    }
    if (radius == 0.0f) {
        radius = defaultResampleRadius(filter);
    }
    // Holding the source first keeps it alive when target is the same object.
    QImage copy = isBgrx32(source.format()) ? source : source.convertToFormat(QImage::Format_RGB32);
    if (copy.isNull()) {
        throw std::bad_alloc();
    }
    target = QImage();
    if (newWidth < 1 || newHeight < 1) {
        return;
    }
    const int sw = copy.width(), sh = copy.height();
    const int tw = newWidth, th = newHeight;
    QImage result = allocate(tw, th);
    QImage work = allocate(tw, sh);

    const ContributorList columns = contributions(sw, tw, filter, radius);
    for (int y = 0; y < sh; ++y) {
        loadCaches(copy.constScanLine(y), 4, sw);
        uchar* out = work.scanLine(y);
        for (int i = 0; i < tw; ++i) {
            storeSum(columns[static_cast<std::size_t>(i)], out + 4 * i);
        }
    }

    const ContributorList rows = contributions(sh, th, filter, radius);
    const qsizetype workStep = rowStep(work), resultStep = rowStep(result);
    for (int x = 0; x < tw; ++x) {
        loadCaches(work.constScanLine(0) + 4 * x, workStep, sh);
        uchar* out = result.scanLine(0) + 4 * x;
        for (int i = 0; i < th; ++i) {
            storeSum(rows[static_cast<std::size_t>(i)], out + i * resultStep);
        }
    }
    std::vector<std::int32_t>().swap(cacheRed);
    std::vector<std::int32_t>().swap(cacheGreen);
    std::vector<std::int32_t>().swap(cacheBlue);
    target = std::move(result);
}

}  // namespace mx::test
