#include "engine/ffmpeg/captures_ahead.h"

#include <algorithm>

namespace mx::av {
namespace {

int64_t bytesOf(const AVFrame* frame) {
    int64_t bytes = 0;
    if (frame) {
        for (const AVBufferRef* buffer : frame->buf) {
            bytes += buffer ? int64_t(buffer->size) : 0;
        }
    }
    return bytes;
}

}  // namespace

CapturesAhead::CapturesAhead(Decoder& first, Decoder& second, const std::vector<double>& seconds,
                             std::vector<CaptureGroup> groups, int64_t budget)
    : m_decoders{&first, &second},
      m_groups(std::move(groups)),
      m_taken(m_groups.size(), false),
      m_slots(seconds.size()),
      m_budget(budget),
      m_frameBytes(first.frameBytesGuess()) {
    for (size_t i = 0; i < seconds.size(); ++i) {
        m_slots[i].seconds = seconds[i];
    }
    try {
        for (size_t who = 0; who < m_decoders.size(); ++who) {
            m_decoders[who]->setCancel(&m_stop);
            m_threads[who] = std::thread([this, who] { work(who); });
        }
    } catch (...) {
        stop();  // no thread to be had: the caller decodes on its own
        throw;
    }
}

CapturesAhead::~CapturesAhead() {
    stop();
}

FramePtr CapturesAhead::take() {
    std::unique_lock<std::mutex> lock(m_mutex);
    Slot& slot = m_slots[m_next];
    m_changed.wait(lock, [&] { return slot.done; });
    ++m_next;
    m_held -= slot.bytes;
    m_changed.notify_all();
    return std::move(slot.frame);
}

void CapturesAhead::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (size_t who = 0; who < m_decoders.size(); ++who) {
        if (m_threads[who].joinable()) {
            m_threads[who].join();
        }
        m_decoders[who]->setCancel(nullptr);
    }
}

size_t CapturesAhead::firstUndone() const {
    size_t slot = m_next;
    while (slot < m_slots.size() && m_slots[slot].done) {
        ++slot;
    }
    return slot;
}

size_t CapturesAhead::pickGroup() const {
    // The requests wait on the first capture not done yet; when its group is free, nothing
    // else may come first, or both decoders could wait on the budget with nobody serving them.
    const size_t waitedFor = firstUndone();
    size_t best = m_groups.size();
    for (size_t g = 0; g < m_groups.size(); ++g) {
        if (m_taken[g]) {
            continue;
        }
        if (m_groups[g].first <= waitedFor && waitedFor < m_groups[g].end) {
            return g;
        }
        if (best == m_groups.size() || m_groups[g].cost > m_groups[best].cost) {
            best = g;
        }
    }
    return best;
}

bool CapturesAhead::mayDecode(size_t slot) const {
    return slot == m_next || m_held + m_frameBytes <= m_budget;
}

void CapturesAhead::work(size_t who) {
    Decoder& decoder = *m_decoders[who];
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        const size_t group = pickGroup();
        if (group == m_groups.size()) {
            return;
        }
        m_taken[group] = true;
        // Each group decodes from its own key frame, whichever decoder takes it and whatever
        // it decoded before, so that the pictures do not depend on how the groups fell.
        decoder.endRun();
        for (size_t s = m_groups[group].first; s < m_groups[group].end; ++s) {
            m_changed.wait(lock, [&] { return m_stop || mayDecode(s); });
            if (m_stop) {
                return;
            }
            // The capture asked for next is its own picture, not one held ahead of it.
            const int64_t reserved = s == m_next ? 0 : m_frameBytes;
            m_held += reserved;
            m_peakHeld = std::max(m_peakHeld, m_held);
            const double seconds = m_slots[s].seconds;
            lock.unlock();
            FramePtr kept;
            if (const AVFrame* shown = decoder.frameAt(seconds)) {
                kept.reset(av_frame_alloc());
                if (kept && av_frame_ref(kept.get(), shown) < 0) {
                    kept.reset();
                }
            }
            lock.lock();
            const int64_t bytes = bytesOf(kept.get());
            m_frameBytes = std::max(m_frameBytes, bytes);
            Slot& slot = m_slots[s];
            slot.bytes = reserved > 0 ? bytes : 0;
            m_held += slot.bytes - reserved;
            m_peakHeld = std::max(m_peakHeld, m_held);
            if (m_stop) {
                return;
            }
            slot.frame = std::move(kept);
            slot.done = true;
            m_changed.notify_all();
        }
    }
}

}  // namespace mx::av
