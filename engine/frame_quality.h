#pragma once

#include <QImage>
#include <array>

namespace mx {

// What makes a captured frame a poor picture of its video, in the order the judgement tests.
enum class Flaw { None, Black, White, Blank, Flat, Blurred, Fade, Cut, Alike };

// The word the log uses for a flaw ("black", "blurred", ...).
const char* flawName(Flaw flaw);

// The figures a frame is judged by, measured on a small luma copy of the converted picture
// (for HDR sources the tone-mapped one, as it is saved).
struct FrameMeasure {
    static constexpr int kCells = 8;

    double mean = 0;             // luma 0..255
    double deviation = 0;        // standard deviation of the luma
    double nearMedianShare = 0;  // share of pixels within a few levels of the median
    double blackShare = 0;       // share of pixels near black
    double whiteShare = 0;       // share of pixels near white
    double edgeEnergy = 0;       // mean 3 x 3 Laplacian response above the noise
    // Mean luma of a kCells x kCells grid: a coarse picture that moving detail barely changes
    // but a cut, a fade or a flash does.
    std::array<float, kCells * kCells> cells{};
};

// Measures a 32-bit picture. A null picture measures as black.
FrameMeasure measureFrame(const QImage& image);

// How unlike two frames look: the mean absolute difference of their coarse grids, in luma
// levels.
double frameDistance(const FrameMeasure& a, const FrameMeasure& b);

// Judges the frames of one video. Blur is judged against the sharpest frame of the video seen
// so far as well as by an absolute floor, so a video that is soft throughout keeps its frames.
class FrameJudge {
public:
    // sharpest: the edge energy of the sharpest frame seen so far, where others judged it.
    explicit FrameJudge(double sharpest = 0) : m_sharpest(sharpest) {}
    double sharpest() const { return m_sharpest; }

    // Blank, flat and blurred by the frame alone; caught in a fade or a cut when it is very
    // unlike both neighbours, taken the gaps in seconds before and after it (either may be null
    // when not known). Every frame judged that is not blank or flat may raise the sharpness
    // reference.
    Flaw judge(const FrameMeasure& frame, const FrameMeasure* before, const FrameMeasure* after,
               double gapBefore, double gapAfter);

    // Whether three frames, the gaps in seconds apart, lie in a fade: the mean luma runs the same
    // way through them, fast.
    static bool fading(const FrameMeasure& first, const FrameMeasure& middle,
                       const FrameMeasure& last, double gapFirst, double gapLast);

    // Whether two frames look alike (a static shot), so that one of them is not worth a tile.
    static bool alike(const FrameMeasure& a, const FrameMeasure& b);

private:
    double m_sharpest = 0;
};

}  // namespace mx
