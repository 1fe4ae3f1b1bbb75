#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/video_source.h"

namespace mx {

class EngineHost;
class ExtractionOptions;

// The pictures one capture asks for: its own, then optional ones it asks for only when its own
// turn out poor.
struct CaptureRequests {
    std::vector<double> seconds;
    std::size_t own = 0;
};

// The process-wide random draw: advances the one generator (state 0 at start, never seeded)
// and returns floor(state * n / 2^32), a number in 0 .. n-1; 0 when n <= 0.
int randomDraw(int n);
// Puts the generator back to its start state, as at program start. For tests only.
void resetRandomGeneratorForTesting();

// How many captures one source file gets, where each is taken, and the capture loop that
// pumps messages, honours the AbortFlag, moves the per-file progress and seeks. Options are
// read from the live record at the moment each step needs them.
class FrameSchedule {
public:
    FrameSchedule(EngineHost& host, const ExtractionOptions& options);

    // The capture count from FrameNumberEdit (parsed in every frame method; 9 in Matrix mode).
    // Called before the media is opened. Throws ConvertError for a text that is not a number.
    void readCaptureCount();
    int captureCount() const { return m_count; }

    // After the open: the per-file progress maximum and the method rows; sheetSetUp runs at
    // the Matrix step. In "Start at" mode seeks to the start and recounts the captures.
    // Throws Error for a negative capture count and for a "Start at" interval of 0.
    void setUp(VideoSource& source, double durationAtOpen, const std::function<void()>& sheetSetUp);

    // The capture loop: for each capture, pump, abort check, progress, the seeks of every
    // method that applies (the position read back goes to currentPosition), then
    // capture(index). Returns false when the AbortFlag stopped it.
    bool run(VideoSource& source, double& currentPosition,
             const std::function<void(int index)>& capture);

    // The distance between neighbouring positions of the method in use, once set up: the
    // proportional step (also the mean distance of random draws), the "Start at" interval; 0
    // when captures do not seek.
    double spacing() const;

    // For captures that ask for more than one picture: gives the requests of a capture whose
    // seeks go to a position, in order, and plans name them all; aheadTest makes the test of
    // optional pictures for the captures at the positions of a plan.
    void setCaptureRequests(std::function<CaptureRequests(double position)> requests,
                            std::function<AheadTest(const std::vector<double>&)> aheadTest) {
        m_captureRequests = std::move(requests);
        m_aheadTest = std::move(aheadTest);
    }
    // During capture(index): the place in the source's plan of the capture's first request,
    // kUnplanned when the plan does not name it.
    std::size_t planIndex() const { return m_planIndex; }
    static constexpr std::size_t kUnplanned = std::size_t(-1);

private:
    double startAtPosition(int index) const;
    CapturePlan plannedPositions(int first, int last) const;

    EngineHost& m_host;
    const ExtractionOptions& m_options;
    int m_count = 0;
    double m_step = 0;
    double m_durationAtOpen = 0;
    std::function<CaptureRequests(double)> m_captureRequests;
    std::function<AheadTest(const std::vector<double>&)> m_aheadTest;
    std::size_t m_planIndex = kUnplanned;
};

}  // namespace mx
