#include "engine/resample_bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <numbers>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/resample_paths.h"

#include "core/error.h"

namespace mx {

// Kernels take and return single precision, as the weights were first tuned with; inside, the
// arithmetic is carried in double so that each kernel value is rounded once.
namespace {

float sinc(float x) {
    if (x == 0.0f) {
        return 1.0f;
    }
    const auto px = static_cast<float>(std::numbers::pi * static_cast<double>(x));
    return static_cast<float>(std::sin(static_cast<double>(px)) / static_cast<double>(px));
}

}  // namespace

float resampleKernel(ResampleFilter filter, float x) {
    const double t = std::fabs(static_cast<double>(x));
    double k = 0.0;
    switch (filter) {
        case ResampleFilter::Box:
            k = (x > -0.5f && x <= 0.5f) ? 1.0 : 0.0;
            break;
        case ResampleFilter::Triangle:
            k = t < 1.0 ? 1.0 - t : 0.0;
            break;
        case ResampleFilter::Hermite:
            k = t < 1.0 ? (2.0 * t - 3.0) * t * t + 1.0 : 0.0;
            break;
        case ResampleFilter::Bell:
            if (t < 0.5) {
                k = 0.75 - t * t;
            } else if (t < 1.5) {
                k = 0.5 * (t - 1.5) * (t - 1.5);
            }
            break;
        case ResampleFilter::BSpline:
            if (t < 1.0) {
                k = 0.5 * t * t * t - t * t + 2.0 / 3.0;
            } else if (t < 2.0) {
                k = (2.0 - t) * (2.0 - t) * (2.0 - t) / 6.0;
            }
            break;
        case ResampleFilter::Lanczos3:
            if (t < 3.0) {
                k = static_cast<double>(sinc(x)) * static_cast<double>(sinc(x / 3.0f));
            }
            break;
        case ResampleFilter::Mitchell:
            if (t < 1.0) {
                k = (7.0 * t * t * t - 12.0 * t * t + 16.0 / 3.0) / 6.0;
            } else if (t < 2.0) {
                k = (-(7.0 / 3.0) * t * t * t + 12.0 * t * t - 20.0 * t + 32.0 / 3.0) / 6.0;
            }
            break;
    }
    return static_cast<float>(k);
}

float defaultResampleRadius(ResampleFilter filter) {
    switch (filter) {
        case ResampleFilter::Box:
            return 0.5f;
        case ResampleFilter::Triangle:
        case ResampleFilter::Hermite:
            return 1.0f;
        case ResampleFilter::Bell:
            return 1.5f;
        case ResampleFilter::BSpline:
        case ResampleFilter::Mitchell:
            return 2.0f;
        case ResampleFilter::Lanczos3:
            return 3.0f;
    }
    return 0.0f;
}

namespace {

// No kernel reaches beyond 3; a larger radius only widens the candidate range with weights of
// 0, so it is cut here to keep the lists (and the sums) bounded for any radius given.
constexpr float kMaxRadius = 8.0f;

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
                weight = double(resampleKernel(filter, x)) * double(scale) * 256.0;
            } else {
                const auto x = static_cast<float>(double(centre) - double(j));
                weight = double(resampleKernel(filter, x)) * 256.0;
            }
            const auto w = static_cast<std::int32_t>(std::nearbyint(weight));
            if (w != 0) {
                entry.push_back({w, mirrorIndex(j, sourceSize)});
            }
        }
    }
    return list;
}

bool isBgrx32(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

QImage allocate(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        throw Error("Out of memory");
    }
    return image;
}

// One target column (or row) of a pass in the form the inner loops want. The contributors are
// folded onto one contiguous window of source pixels: a mirrored index adds its weight to the
// pixel it reads, which leaves every integer sum unchanged. Weights go in 16-bit pairs for a
// multiply-add of two pixels at once.
//
// Bounds: the radius is cut at 8 and no kernel exceeds 1 or reaches past 3, so the magnitudes
// of the weights of one entry add up to less than 3584 (shrinking by s: a weight that does not
// round to 0 is at most twice 256·s·|K|, over at most 6/s + 1 pixels; enlarging: at most 7
// pixels of 256). Folded weights thus fit 16 bits and sums stay below 255 · 3584 < 2^20.
struct AxisPlan {
    std::vector<int> start;             // first source pixel of the entry's window
    std::vector<int> count;             // pixels in the window
    std::vector<int> offset;            // first weight pair of the entry
    std::vector<std::int32_t> weights;  // pairs: low half the even pixel, high half the odd
    std::vector<float> sign, limit, reciprocal;
};

// The quotient of a sum by the entry's total, truncated toward zero and clamped to 0..255,
// without a division. With d = |total| (256 when the total is 0, where the sum is scaled back
// by 256 and a negative sum is dark), the numerator n = sign · sum is first clamped to
// 0..256d − 1, which yields the same byte. Then for d ≤ 8192, floor(n / d) equals
// trunc((n + 0.5) · fl(1/d)) in single precision: (n + 0.5) / d lies at least 0.5/d ≥ 2^-14
// away from any whole number, and the two roundings (of 1/d and of the product) move the
// value below 256 by less than 256 · 2^-23 = 2^-15. n + 0.5 < 2^22 is exact.
void setDivider(AxisPlan& plan, std::size_t i, std::int32_t total) {
    const std::int32_t d = total == 0 ? 256 : std::abs(total);
    plan.sign[i] = total < 0 ? -1.0f : 1.0f;
    plan.limit[i] = static_cast<float>(256 * d - 1);
    plan.reciprocal[i] = 1.0f / static_cast<float>(d);
}

AxisPlan makePlan(int sourceSize, int targetSize, ResampleFilter filter, float radius) {
    const ContributorList list = contributions(sourceSize, targetSize, filter, radius);
    const auto n = static_cast<std::size_t>(targetSize);
    AxisPlan plan;
    plan.start.resize(n);
    plan.count.resize(n);
    plan.offset.resize(n);
    plan.sign.resize(n);
    plan.limit.resize(n);
    plan.reciprocal.resize(n);
    std::vector<std::int32_t> folded;
    for (std::size_t i = 0; i < n; ++i) {
        const std::vector<Contributor>& entry = list[i];
        int first = 0, last = -1;
        std::int32_t total = 0;
        if (!entry.empty()) {
            const auto [lo, hi] = std::minmax_element(
                entry.begin(), entry.end(),
                [](const Contributor& a, const Contributor& b) { return a.pixel < b.pixel; });
            first = lo->pixel;
            last = hi->pixel;
        }
        folded.assign(static_cast<std::size_t>(last - first + 1), 0);
        for (const Contributor& c : entry) {
            folded[static_cast<std::size_t>(c.pixel - first)] += c.weight;
            total += c.weight;
        }
        plan.start[i] = first;
        plan.count[i] = last - first + 1;
        plan.offset[i] = static_cast<int>(plan.weights.size());
        for (std::size_t k = 0; k < folded.size(); k += 2) {
            const std::int32_t odd = k + 1 < folded.size() ? folded[k + 1] : 0;
            plan.weights.push_back(static_cast<std::int32_t>(
                static_cast<std::uint32_t>(static_cast<std::uint16_t>(folded[k])) |
                (static_cast<std::uint32_t>(static_cast<std::uint16_t>(odd)) << 16)));
        }
        setDivider(plan, i, total);
    }
    return plan;
}

std::int16_t lowWeight(std::int32_t pair) {
    return static_cast<std::int16_t>(pair & 0xFFFF);
}
std::int16_t highWeight(std::int32_t pair) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(pair) >> 16);
}

int divideScalar(std::int32_t sum, const AxisPlan& plan, std::size_t i) {
    const float n = std::clamp(static_cast<float>(sum) * plan.sign[i], 0.0f, plan.limit[i]);
    return static_cast<int>((n + 0.5f) * plan.reciprocal[i]);
}

std::uint32_t packScalar(const std::int32_t sums[4], const AxisPlan& plan, std::size_t i) {
    return static_cast<std::uint32_t>(divideScalar(sums[0], plan, i)) |
           (static_cast<std::uint32_t>(divideScalar(sums[1], plan, i)) << 8) |
           (static_cast<std::uint32_t>(divideScalar(sums[2], plan, i)) << 16) | 0xFF000000u;
}

// The portable passes: the same sums in plain integer loops.
void horizontalPortable(const std::uint32_t* row, std::uint32_t* out, const AxisPlan& plan) {
    for (std::size_t i = 0; i < plan.start.size(); ++i) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(row + plan.start[i]);
        const std::int32_t* w = plan.weights.data() + plan.offset[i];
        std::int32_t sums[4] = {0, 0, 0, 0};
        for (int k = 0; k < plan.count[i]; ++k) {
            const std::int32_t weight = (k & 1) ? highWeight(w[k / 2]) : lowWeight(w[k / 2]);
            for (int ch = 0; ch < 3; ++ch) {
                sums[ch] += weight * p[4 * k + ch];
            }
        }
        out[i] = packScalar(sums, plan, i);
    }
}

void verticalPortable(const std::uint32_t* work, std::size_t stride, int width, std::uint32_t* out,
                      const AxisPlan& plan, std::size_t i, std::vector<std::int32_t>& sums) {
    sums.assign(static_cast<std::size_t>(width) * 4, 0);
    const std::int32_t* w = plan.weights.data() + plan.offset[i];
    for (int k = 0; k < plan.count[i]; ++k) {
        const std::int32_t weight = (k & 1) ? highWeight(w[k / 2]) : lowWeight(w[k / 2]);
        const auto* line = reinterpret_cast<const std::uint8_t*>(
            work + static_cast<std::size_t>(plan.start[i] + k) * stride);
        for (std::size_t b = 0; b < sums.size(); ++b) {
            sums[b] += weight * line[b];
        }
    }
    for (int x = 0; x < width; ++x) {
        out[x] = packScalar(sums.data() + 4 * x, plan, i);
    }
}

#if defined(__SSE2__)
// Two pixels interleaved channel by channel as 16-bit lanes: b0 b1 g0 g1 r0 r1 x0 x1.
inline __m128i pixelPair(const std::uint32_t* a, const std::uint32_t* b) {
    const __m128i bytes = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(*a)),
                                            _mm_cvtsi32_si128(static_cast<int>(*b)));
    return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

inline __m128i divideSimd(__m128i sums, __m128 sign, __m128 limit, __m128 reciprocal) {
    __m128 n = _mm_mul_ps(_mm_cvtepi32_ps(sums), sign);
    n = _mm_min_ps(_mm_max_ps(n, _mm_setzero_ps()), limit);
    return _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(n, _mm_set1_ps(0.5f)), reciprocal));
}

void horizontalSimd(const std::uint32_t* row, std::uint32_t* out, const AxisPlan& plan) {
    for (std::size_t i = 0; i < plan.start.size(); ++i) {
        const std::uint32_t* p = row + plan.start[i];
        const std::int32_t* w = plan.weights.data() + plan.offset[i];
        const int count = plan.count[i];
        __m128i acc = _mm_setzero_si128();
        int k = 0;
        for (; k + 1 < count; k += 2) {
            acc = _mm_add_epi32(
                acc, _mm_madd_epi16(pixelPair(p + k, p + k + 1), _mm_set1_epi32(w[k / 2])));
        }
        if (k < count) {
            acc = _mm_add_epi32(acc,
                                _mm_madd_epi16(pixelPair(p + k, p + k), _mm_set1_epi32(w[k / 2])));
        }
        const __m128i q = divideSimd(acc, _mm_set1_ps(plan.sign[i]), _mm_set1_ps(plan.limit[i]),
                                     _mm_set1_ps(plan.reciprocal[i]));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
        out[i] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)) | 0xFF000000u;
    }
}

// Four pixels of one target row from the window's work rows; width is padded to a multiple of
// four pixels in both the work rows and out.
void verticalSimd(const std::uint32_t* work, std::size_t stride, int width, std::uint32_t* out,
                  const AxisPlan& plan, std::size_t i) {
    const std::int32_t* w = plan.weights.data() + plan.offset[i];
    const int count = plan.count[i];
    const __m128 sign = _mm_set1_ps(plan.sign[i]), limit = _mm_set1_ps(plan.limit[i]),
                 reciprocal = _mm_set1_ps(plan.reciprocal[i]);
    const __m128i zero = _mm_setzero_si128(), alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const std::uint32_t* first = work + static_cast<std::size_t>(plan.start[i]) * stride;
    for (int x = 0; x < width; x += 4) {
        __m128i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
        for (int k = 0; k < count; k += 2) {
            const std::uint32_t* rowA = first + static_cast<std::size_t>(k) * stride + x;
            const std::uint32_t* rowB = k + 1 < count ? rowA + stride : rowA;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowA));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowB));
            const __m128i weight = _mm_set1_epi32(w[k / 2]);
            const __m128i lo = _mm_unpacklo_epi8(a, b), hi = _mm_unpackhi_epi8(a, b);
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), weight));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), weight));
            acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), weight));
            acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), weight));
        }
        const __m128i q01 = _mm_packs_epi32(divideSimd(acc0, sign, limit, reciprocal),
                                            divideSimd(acc1, sign, limit, reciprocal));
        const __m128i q23 = _mm_packs_epi32(divideSimd(acc2, sign, limit, reciprocal),
                                            divideSimd(acc3, sign, limit, reciprocal));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_packus_epi16(q01, q23), alpha));
    }
}
#endif

// Runs fn(begin, end) over [0, count) rows, split over the cores when the work is large enough
// to pay for the threads. Every row is computed the same way wherever it runs. An exception of
// any part reaches the caller once every part has ended.
template <typename Fn>
void forRows(int count, double workPerRow, Fn fn) {
    constexpr double kWorkPerThread = 1 << 18;
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 16u));
    const auto parts = static_cast<int>(
        std::clamp(count * workPerRow / kWorkPerThread, 1.0,
                   static_cast<double>(std::min<int>(static_cast<int>(cores), count))));
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(parts));
    std::vector<std::jthread> helpers;
    helpers.reserve(static_cast<std::size_t>(parts));
    int begin = 0;
    for (int part = 0; part < parts; ++part) {
        const int end = static_cast<int>(static_cast<long long>(count) * (part + 1) / parts);
        if (part + 1 < parts) {
            try {
                helpers.emplace_back([&fn, &failures, part, begin, end] {
                    try {
                        fn(begin, end);
                    } catch (...) {
                        failures[static_cast<std::size_t>(part)] = std::current_exception();
                    }
                });
            } catch (const std::system_error&) {
                fn(begin, end);
            }
        } else {
            fn(begin, end);
        }
        begin = end;
    }
    helpers.clear();
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

double averageCount(const AxisPlan& plan) {
    double total = 0;
    for (int c : plan.count) {
        total += c;
    }
    return plan.count.empty() ? 0.0 : total / static_cast<double>(plan.count.size());
}
}  // namespace

void resampleBitmapUsing(ResamplePath path, int newWidth, int newHeight, ResampleFilter filter,
                         float radius, const QImage& source, QImage& target) {
    if (source.isNull() || source.width() == 0 || source.height() == 0) {
        return;
    }
    if (radius == 0.0f) {
        radius = defaultResampleRadius(filter);
    }
    if (!(radius <= kMaxRadius)) {
        radius = kMaxRadius;
    }
#if !defined(__SSE2__)
    path = ResamplePath::Portable;
#endif
    try {
        // Holding the source first keeps it alive when target is the same object.
        const QImage copy =
            isBgrx32(source.format()) ? source : source.convertToFormat(QImage::Format_RGB32);
        if (copy.isNull()) {
            throw Error("Out of memory");
        }
        target = QImage();
        if (newWidth < 1 || newHeight < 1) {
            return;
        }
        const int sw = copy.width(), sh = copy.height();
        const int tw = newWidth, th = newHeight;
        QImage result = allocate(tw, th);
        // Work rows are padded to whole groups of four pixels for the vertical pass.
        const std::size_t stride = (static_cast<std::size_t>(tw) + 3) & ~std::size_t{3};
        std::vector<std::uint32_t> work(stride * static_cast<std::size_t>(sh));

        const AxisPlan columns = makePlan(sw, tw, filter, radius);
        forRows(sh, tw * averageCount(columns), [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(copy.constScanLine(y));
                std::uint32_t* out = work.data() + static_cast<std::size_t>(y) * stride;
#if defined(__SSE2__)
                if (path == ResamplePath::Auto) {
                    horizontalSimd(row, out, columns);
                    continue;
                }
#endif
                horizontalPortable(row, out, columns);
            }
        });

        const AxisPlan rows = makePlan(sh, th, filter, radius);
        forRows(th, tw * averageCount(rows), [&](int begin, int end) {
            std::vector<std::uint32_t> line(stride);
            std::vector<std::int32_t> sums;
            for (int y = begin; y < end; ++y) {
                const auto i = static_cast<std::size_t>(y);
#if defined(__SSE2__)
                if (path == ResamplePath::Auto) {
                    verticalSimd(work.data(), stride, tw, line.data(), rows, i);
                } else
#endif
                {
                    verticalPortable(work.data(), stride, tw, line.data(), rows, i, sums);
                }
                std::memcpy(result.scanLine(y), line.data(), static_cast<std::size_t>(tw) * 4);
            }
        });
        target = std::move(result);
    } catch (const std::bad_alloc&) {
        throw Error("Out of memory");
    }
}

void ResampleBitmap(int newWidth, int newHeight, ResampleFilter filter, float radius,
                    const QImage& source, QImage& target) {
    resampleBitmapUsing(ResamplePath::Auto, newWidth, newHeight, filter, radius, source, target);
}

}  // namespace mx
