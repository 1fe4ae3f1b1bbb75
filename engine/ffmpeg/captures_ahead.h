#pragma once

// The two-decoder hand-over of planned captures. Private to this folder.

#include <QByteArray>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ffmpeg/frame_decoder.h"
#include "engine/video_source.h"

namespace mx::av {

// Planned captures that decode from one key frame, in plan order: slots first .. end - 1.
// The cost is the number of frames the group makes a decoder go through.
struct CaptureGroup {
    size_t first = 0;
    size_t end = 0;
    int64_t cost = 0;
};

// The planned captures decoded ahead of their requests on two decoders at once. Each decoder
// takes a whole group at a time: the costliest one nobody has taken yet, so that neither is
// left alone with a long group at the end, except that the group the requests are waiting for
// comes first. Frames found ahead of their requests are kept until asked for, strictly in plan
// order, within a budget of bytes: a decoder that would pass it waits, unless its frame is the
// very one asked for next (the capture's own picture).
//
// Captures that search (a plan with a test) have optional slots after their own: the decoder that
// reaches one decodes it, on the run it is on, only while the search's test on the capture's
// pictures so far says it is worth it; otherwise it passes the capture's remaining optional
// slots over. Pictures are converted on the decoding thread, for that test and for the
// requests alike, and each is shown to the test once, then no longer kept for it.
// A slot's picture as handed out: a decoded frame, or the converted one of a search.
struct PlannedPicture {
    FramePtr frame;
    QByteArray dib;
    bool passedOver = false;  // an optional slot nobody decoded
};

class CapturesAhead {
public:
    CapturesAhead(Decoder& first, Decoder& second, const CapturePlan& plan,
                  std::vector<CaptureGroup> groups, int64_t budget);
    ~CapturesAhead();

    CapturesAhead(const CapturesAhead&) = delete;
    CapturesAhead& operator=(const CapturesAhead&) = delete;

    // The plan slot handed out next; the slot count once all are.
    size_t next() const { return m_next; }
    bool exhausted() const { return m_next == m_slots.size(); }
    // Whether the plan is one of captures that search.
    bool searches() const { return bool(m_wanted); }
    // The picture of a slot at or after next(), once it is decoded; slots before it are
    // dropped. Neither frame nor picture when it has none.
    PlannedPicture take(size_t slot);
    // The most bytes held at once for captures not asked for yet.
    int64_t peakHeld() const { return m_peakHeld; }

private:
    struct Slot {
        double seconds = 0;
        PlannedPicture picture;
        bool done = false;
        int64_t bytes = 0;
        size_t capture = 0;
        bool optional = false;
    };

    void stop();
    void work(size_t who);
    // Under the lock. Whether a slot's picture is still to be shown to the search's test.
    bool unseen(size_t slot) const;
    // For an optional slot: the pictures of its capture before it that the test has not seen,
    // now seen; empty when one of them is not decoded.
    std::vector<QByteArray> unseenBefore(size_t slot);
    void passOver(size_t slot);
    // Under the lock: the group a free decoder takes next, or the group count for none.
    size_t pickGroup() const;
    size_t firstUndone() const;
    bool mayDecode(size_t slot) const;

    std::array<Decoder*, 2> m_decoders;
    std::vector<CaptureGroup> m_groups;
    std::vector<bool> m_taken;
    std::vector<Slot> m_slots;
    const int64_t m_budget;
    std::vector<size_t> m_captureStarts;
    AheadTest m_wanted;
    std::vector<size_t> m_shown;  // per capture: how many of its pictures the test has seen
    std::array<DibConverter, 2> m_converters;  // each decoding thread's, for searches
    size_t m_next = 0;                         // the slot handed out next
    int64_t m_held = 0;
    int64_t m_peakHeld = 0;
    int64_t m_frameBytes = 0;  // the largest frame seen, as the guess for the next one
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<std::thread, 2> m_threads;
};

}  // namespace mx::av
