#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace mx {

class EngineHost;
class ExtractionOptions;
class VideoSource;

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
    // seeks go to a position, in order, and plans name them all.
    void setCaptureRequests(std::function<std::vector<double>(double position)> requests) {
        m_captureRequests = std::move(requests);
    }
    // A capture asked for pictures its plan did not name, which drops the rest of the plan.
    // Searches that leave the plan are best served by one decoder running forward, and where
    // one capture needed one, others of the file are likely to: the file goes on unplanned.
    void leavePlan() { m_planLeft = true; }
    // During capture(index): the place in the source's plan of the capture's first request,
    // kUnplanned when the plan does not name it.
    std::size_t planIndex() const { return m_planIndex; }
    static constexpr std::size_t kUnplanned = std::size_t(-1);

private:
    double startAtPosition(int index) const;
    // starts receives where each capture's requests begin in the positions.
    std::vector<double> plannedPositions(int first, int last,
                                         std::vector<std::size_t>* starts) const;

    EngineHost& m_host;
    const ExtractionOptions& m_options;
    int m_count = 0;
    double m_step = 0;
    double m_durationAtOpen = 0;
    std::function<std::vector<double>(double)> m_captureRequests;
    bool m_planLeft = false;
    std::size_t m_planIndex = kUnplanned;
};

}  // namespace mx
