#include "engine/frame_quality.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace mx {
namespace {

// Every threshold of the judgement, in one place. Luma levels are full range (0..255) as the
// converted picture holds them.

// The proxy is the picture reduced by a whole factor to at most this many pixels a side:
// blur is judged at about the size at which captures are looked at (thumbnails, sheet tiles),
// and a 1080p frame reduces by exactly 6.
constexpr int kProxySide = 320;
// Near black and near white: below 40 and above 215 of luma. Others call a pixel black under 50
// on every channel; 40 of luma keeps the highlights of a night scene (street lights, faces)
// out of it while compression noise on black (at most about 25) stays in.
constexpr int kNearBlack = 40;
constexpr int kNearWhite = 215;
// Blank when 90 % of the pixels are near black or near white together: a title card of small
// white text on black is blank, a dark scene with a lit quarter is not. Others use 85 %; we are a
// little stricter because a frame found blank is replaced.
constexpr double kBlankShare = 0.90;
// Flat when the luma's standard deviation is under 10 levels, or when 90 % of the pixels lie
// within 10 levels of the median: a grey card or a fully faded frame has a deviation of 0 to 3
// (noise), fog and haze 12 and more; the share catches a card with a small logo or caption,
// whose few bright pixels lift the deviation. Others accept a byte variance above 256
// (16 levels) taken over all three channels, which colour inflates.
constexpr double kFlatDeviation = 10.0;
constexpr int kFlatSpread = 10;
constexpr double kFlatShare = 0.90;
// Blurred when the edge energy of the proxy (the mean 3 x 3 Laplacian response, responses
// under 8 levels counted as 0) is under 1.5 whatever the video, or under a quarter of the
// sharpest frame seen in the same video (a focus pull, a blurred pan). Others count pixels
// whose response is under 8/255; we drop those as noise, because compression noise lifts a
// blurred frame's plain mean (1.7 to 2.4 at sigma 5) but not its strong responses (0.2 to
// 0.8), while sharp footage keeps 4 to 20.
constexpr double kBlurFloor = 1.5;
constexpr double kBlurRatio = 0.25;
constexpr int kEdgeNoise = 8;
// In a fade when the mean luma runs the same way on both sides at 30 levels a second or more
// (a fade to black over three seconds runs at about 40), and by at least 2 levels each side
// so that noise between close neighbours (under 0.5) does not count. A pan, moving detail or a
// slow change of light runs at under 10.
constexpr double kFadeRate = 30.0;
constexpr double kFadeLevels = 2.0;
// Caught in a cut (a flash, a frame of another shot) when it differs from both neighbours by
// more than 14 levels on the coarse grid while they are less than half as unlike each other.
// A cut between unrelated shots gives 25 and more; a pan gives as much, but its neighbours
// differ from each other twice as much again, so it is not mistaken for one.
constexpr double kCutDistance = 14.0;
constexpr double kCutNeighbourShare = 0.5;
// Alike when the coarse grids differ by less than 1.5 levels: a static shot's frames differ by
// compression noise alone (under 1), while the frames of a shot with any movement, seconds
// apart, differ by 2 and more.
constexpr double kAlikeDistance = 1.5;

// BT.709 luma weights in 1/256.
int lumaOf(QRgb pixel) {
    return (54 * qRed(pixel) + 183 * qGreen(pixel) + 19 * qBlue(pixel) + 128) >> 8;
}

}  // namespace

const char* flawName(Flaw flaw) {
    switch (flaw) {
        case Flaw::None:
            return "good";
        case Flaw::Black:
            return "black";
        case Flaw::White:
            return "white";
        case Flaw::Blank:
            return "blank";
        case Flaw::Flat:
            return "flat";
        case Flaw::Blurred:
            return "blurred";
        case Flaw::Fade:
            return "fade";
        case Flaw::Cut:
            return "cut";
        case Flaw::Alike:
            return "like an earlier tile";
    }
    return "";
}

FrameMeasure measureFrame(const QImage& source) {
    FrameMeasure measure;
    if (source.isNull()) {
        measure.blackShare = 1;
        return measure;
    }
    const QImage image =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
            ? source
            : source.convertToFormat(QImage::Format_RGB32);
    const int factor = std::max({1, (image.width() + kProxySide - 1) / kProxySide,
                                 (image.height() + kProxySide - 1) / kProxySide});
    const int w = std::max(1, image.width() / factor);
    const int h = std::max(1, image.height() / factor);
    std::vector<int> proxy(static_cast<size_t>(w) * h);
    // Each proxy pixel averages two by two samples of its block, not the whole block: a
    // quarter of a 1080p frame's block of 36 is enough to judge by and reads a ninth of it,
    // which matters since every capture measures three frames.
    const int first = factor / 4;
    const int second = factor > 1 ? factor * 3 / 4 : 0;
    const int samples = factor > 1 ? 4 : 1;
    for (int y = 0; y < h; ++y) {
        const auto* top = reinterpret_cast<const QRgb*>(image.constScanLine(y * factor + first));
        const auto* bottom =
            reinterpret_cast<const QRgb*>(image.constScanLine(y * factor + second));
        for (int x = 0; x < w; ++x) {
            int sum = lumaOf(top[x * factor + first]);
            if (factor > 1) {
                sum += lumaOf(top[x * factor + second]) + lumaOf(bottom[x * factor + first]) +
                       lumaOf(bottom[x * factor + second]);
            }
            proxy[static_cast<size_t>(y) * w + x] = sum / samples;
        }
    }

    const double count = double(w) * h;
    double sum = 0;
    double squares = 0;
    int black = 0;
    int white = 0;
    std::array<double, FrameMeasure::kCells * FrameMeasure::kCells> cellSums{};
    std::array<int, FrameMeasure::kCells * FrameMeasure::kCells> cellCounts{};
    std::array<int, 256> histogram{};
    for (int y = 0; y < h; ++y) {
        const int cy = y * FrameMeasure::kCells / h;
        for (int x = 0; x < w; ++x) {
            const int v = proxy[static_cast<size_t>(y) * w + x];
            sum += v;
            squares += double(v) * v;
            black += v < kNearBlack;
            white += v > kNearWhite;
            ++histogram[static_cast<size_t>(std::clamp(v, 0, 255))];
            const int cell = cy * FrameMeasure::kCells + x * FrameMeasure::kCells / w;
            cellSums[cell] += v;
            ++cellCounts[cell];
        }
    }
    measure.mean = sum / count;
    measure.deviation = std::sqrt(std::max(0.0, squares / count - measure.mean * measure.mean));
    measure.blackShare = black / count;
    measure.whiteShare = white / count;
    int median = 0;
    for (int seen = 0; median < 255 && (seen += histogram[median]) < count / 2;) {
        ++median;
    }
    int near = 0;
    for (int v = std::max(0, median - kFlatSpread); v <= std::min(255, median + kFlatSpread); ++v) {
        near += histogram[v];
    }
    measure.nearMedianShare = near / count;
    for (size_t i = 0; i < cellSums.size(); ++i) {
        measure.cells[i] = cellCounts[i] ? float(cellSums[i] / cellCounts[i]) : 0.0f;
    }

    double edges = 0;
    int edgeCount = 0;
    for (int y = 1; y + 1 < h; ++y) {
        const int* above = &proxy[static_cast<size_t>(y - 1) * w];
        const int* line = &proxy[static_cast<size_t>(y) * w];
        const int* below = &proxy[static_cast<size_t>(y + 1) * w];
        for (int x = 1; x + 1 < w; ++x) {
            const int response =
                std::abs(4 * line[x] - line[x - 1] - line[x + 1] - above[x] - below[x]);
            edges += response >= kEdgeNoise ? response : 0;
            ++edgeCount;
        }
    }
    measure.edgeEnergy = edgeCount ? edges / edgeCount : 0;
    return measure;
}

double frameDistance(const FrameMeasure& a, const FrameMeasure& b) {
    double sum = 0;
    for (size_t i = 0; i < a.cells.size(); ++i) {
        sum += std::abs(double(a.cells[i]) - double(b.cells[i]));
    }
    return sum / double(a.cells.size());
}

Flaw FrameJudge::judge(const FrameMeasure& frame, const FrameMeasure* before,
                       const FrameMeasure* after, double gapBefore, double gapAfter) {
    if (frame.blackShare >= kBlankShare) {
        return Flaw::Black;
    }
    if (frame.whiteShare >= kBlankShare) {
        return Flaw::White;
    }
    if (frame.blackShare + frame.whiteShare >= kBlankShare) {
        return Flaw::Blank;
    }
    if (frame.deviation < kFlatDeviation || frame.nearMedianShare >= kFlatShare) {
        return Flaw::Flat;
    }
    m_sharpest = std::max(m_sharpest, frame.edgeEnergy);
    if (frame.edgeEnergy < kBlurFloor || frame.edgeEnergy < kBlurRatio * m_sharpest) {
        return Flaw::Blurred;
    }
    if (!before || !after) {
        return Flaw::None;
    }
    if (fading(*before, frame, *after, gapBefore, gapAfter)) {
        return Flaw::Fade;
    }
    const double fromBefore = frameDistance(frame, *before);
    const double toAfter = frameDistance(frame, *after);
    if (fromBefore > kCutDistance && toAfter > kCutDistance &&
        frameDistance(*before, *after) < kCutNeighbourShare * std::min(fromBefore, toAfter)) {
        return Flaw::Cut;
    }
    return Flaw::None;
}

bool FrameJudge::fading(const FrameMeasure& first, const FrameMeasure& middle,
                        const FrameMeasure& last, double gapFirst, double gapLast) {
    const double rise = middle.mean - first.mean;
    const double next = last.mean - middle.mean;
    return rise * next > 0 && std::min(std::abs(rise), std::abs(next)) >= kFadeLevels &&
           std::abs(rise) >= kFadeRate * std::max(gapFirst, 0.0) &&
           std::abs(next) >= kFadeRate * std::max(gapLast, 0.0);
}

bool FrameJudge::alike(const FrameMeasure& a, const FrameMeasure& b) {
    return frameDistance(a, b) < kAlikeDistance;
}

}  // namespace mx
