#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

#include "engine/captured_frame.h"
#include "engine/frame_quality.h"
#include "engine/frame_schedule.h"

namespace mx {

class VideoSource;

// What a capture takes when poor frames are replaced.
struct GoodFrame {
    std::optional<CapturedFrame> frame;  // none when the picture at the position has none
    bool requestFailed = false;          // the source gave no picture at the position
    double time = 0;                     // the taken frame's own time, in seconds
    Flaw flaw = Flaw::None;              // what was wrong with the frame at the position
    bool moved = false;                  // the frame was replaced by one nearby
};

// Replaces poor captures of one video by the nearest good frame. Each capture may move by at
// most half the spacing of its neighbouring positions, within the video. Candidates lie on a
// grid around the position; those ahead come from the decoder's forward run, those behind
// from one seek and a forward run, so the search costs a few pictures of decoding, never a
// seek per candidate. The number of candidates per capture is fixed, not clocked, so the same
// run takes the same frames on a busy machine.
class GoodFrameSearch {
public:
    // diverse: a capture that looks like one taken before is poor too (contact sheets).
    GoodFrameSearch(VideoSource& source, double duration, double spacing, bool diverse);

    // Whether captures can move at all (the spacing leaves room for at least one candidate).
    bool active() const { return m_step > 0; }

    // The pictures a capture at position asks for, in order. Its own, before any search: the
    // position between its two neighbours on the grid; where the one before lies behind the
    // key frame the position decodes from, the position and the two grid points after it.
    // Then, optional, the grid points ahead a search takes on the way. Plans of the source
    // name these.
    CaptureRequests requestsAround(double position) const;

    // For a plan of captures at the positions: the test a decoding thread makes, after each
    // picture of a capture, of whether its search will want the next one. It judges what needs
    // no other capture (so not the likeness of sheet tiles), taking the sharpest frame the
    // decoding threads have seen for the blur test: a search that wants more than that test
    // foresaw goes off the plan, one that wants less leaves pictures unused.
    AheadTest aheadTest(const std::vector<double>& positions) const;

    // The frame to take for a capture whose seeks reached position. planIndex: where the
    // source's plan names requestsAround(position), or FrameSchedule::kUnplanned.
    GoodFrame take(double position, std::size_t planIndex);

private:
    struct Probe;

    // The grid point judged as the neighbour before a capture at `at`; none when it would lie
    // behind the key frame `at` decodes from.
    std::optional<double> neighbourBefore(double at) const;
    // How many grid points after `at` are candidates.
    int candidatesAhead(double at) const;
    // planned: the request's place in the source's plan, or FrameSchedule::kUnplanned.
    Probe request(double seconds, std::size_t planned = FrameSchedule::kUnplanned);
    Flaw judge(const Probe& probe, const Probe* before, const Probe* after);

    VideoSource& m_source;
    double m_duration;
    double m_reach;  // how far a capture may move either way
    double m_step;   // the candidate grid; 0 when captures stay
    bool m_diverse;
    FrameJudge m_judge;
    std::vector<FrameMeasure> m_taken;  // frames taken so far, when diverse
};

// Seconds as clock text with hundredths when they are not whole ("00:00:12.04", "00:00:10").
QString preciseClock(double seconds);

}  // namespace mx
