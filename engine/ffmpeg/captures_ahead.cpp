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

CapturesAhead::CapturesAhead(Decoder& first, Decoder& second, const CapturePlan& plan,
                             std::vector<CaptureGroup> groups, int64_t budget)
    : m_decoders{&first, &second},
      m_groups(std::move(groups)),
      m_taken(m_groups.size(), false),
      m_slots(plan.seconds.size()),
      m_budget(budget),
      m_wanted(plan.wanted),
      m_frameBytes(first.frameBytesGuess()) {
    for (size_t i = 0; i < plan.seconds.size(); ++i) {
        m_slots[i].seconds = plan.seconds[i];
        m_slots[i].optional = m_wanted && i < plan.optional.size() && plan.optional[i];
    }
    if (m_wanted) {
        m_captureStarts = plan.captureStarts;
    }
    m_shown.assign(m_captureStarts.size(), 0);
    for (size_t c = 0; c < m_captureStarts.size(); ++c) {
        const size_t end = c + 1 < m_captureStarts.size() ? m_captureStarts[c + 1] : m_slots.size();
        for (size_t i = m_captureStarts[c]; i < end && i < m_slots.size(); ++i) {
            m_slots[i].capture = c;
        }
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

PlannedPicture CapturesAhead::take(size_t index) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // Slots passed by: what they hold is dropped; one still decoding drops its own on return.
    for (; m_next < index; ++m_next) {
        Slot& skipped = m_slots[m_next];
        if (skipped.done) {
            m_held -= skipped.bytes;
            skipped.bytes = 0;
            skipped.picture.frame.reset();
        }
    }
    Slot& slot = m_slots[index];
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return slot.done; });
    ++m_next;
    m_held -= slot.bytes;
    slot.bytes = 0;
    m_changed.notify_all();
    PlannedPicture picture;
    picture.frame = std::move(slot.picture.frame);
    picture.passedOver = slot.picture.passedOver;
    // A picture the search's test has not seen yet stays for it.
    picture.dib = unseen(index) ? slot.picture.dib : std::move(slot.picture.dib);
    return picture;
}

bool CapturesAhead::unseen(size_t slot) const {
    if (!m_wanted) {
        return false;
    }
    const size_t capture = m_slots[slot].capture;
    const size_t end =
        capture + 1 < m_captureStarts.size() ? m_captureStarts[capture + 1] : m_slots.size();
    // Only a capture with optional slots left to decide shows its pictures to the test.
    return slot - m_captureStarts[capture] >= m_shown[capture] && m_slots[end - 1].optional &&
           !m_slots[end - 1].done;
}

std::vector<QByteArray> CapturesAhead::unseenBefore(size_t slot) {
    const size_t capture = m_slots[slot].capture;
    const size_t start = m_captureStarts[capture];
    std::vector<QByteArray> pictures;
    for (size_t i = start + m_shown[capture]; i < slot; ++i) {
        const Slot& earlier = m_slots[i];
        if (!earlier.done || earlier.picture.passedOver || earlier.picture.dib.isEmpty()) {
            return {};
        }
        pictures.push_back(earlier.picture.dib);
    }
    for (size_t i = start + m_shown[capture]; i < slot; ++i) {
        if (i < m_next) {
            m_slots[i].picture.dib.clear();  // handed out already, and now seen
        }
    }
    m_shown[capture] = slot - start;
    return pictures;
}

void CapturesAhead::passOver(size_t slot) {
    const size_t capture = m_slots[slot].capture;
    for (size_t i = slot;
         i < m_slots.size() && m_slots[i].optional && m_slots[i].capture == capture; ++i) {
        m_slots[i].done = true;
        m_slots[i].picture.passedOver = true;
    }
    for (size_t i = m_captureStarts[capture]; i < std::min(slot, m_next); ++i) {
        m_slots[i].picture.dib.clear();
    }
    m_changed.notify_all();
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
            if (m_slots[s].done || s < m_next) {
                continue;  // passed over, or passed by the requests
            }
            if (m_slots[s].optional) {
                const size_t capture = m_slots[s].capture;
                const size_t first = m_shown[capture];
                const std::vector<QByteArray> pictures = unseenBefore(s);
                bool wanted = !pictures.empty() || first == s - m_captureStarts[capture];
                if (wanted) {
                    lock.unlock();
                    wanted = m_wanted(capture, first, pictures);
                    lock.lock();
                }
                if (!wanted || m_stop) {
                    passOver(s);
                    continue;
                }
            }
            // The capture asked for next is its own picture, not one held ahead of it.
            const int64_t reserved = s == m_next ? 0 : m_frameBytes;
            m_held += reserved;
            m_peakHeld = std::max(m_peakHeld, m_held);
            const double seconds = m_slots[s].seconds;
            lock.unlock();
            PlannedPicture picture;
            if (const AVFrame* shown = decoder.frameAt(seconds)) {
                if (m_wanted) {
                    m_converters[who].convert(*shown, decoder.rotation(), &picture.dib);
                } else {
                    picture.frame.reset(av_frame_alloc());
                    if (picture.frame && av_frame_ref(picture.frame.get(), shown) < 0) {
                        picture.frame.reset();
                    }
                }
            }
            lock.lock();
            const int64_t bytes = m_wanted ? picture.dib.size() : bytesOf(picture.frame.get());
            m_frameBytes = std::max(m_frameBytes, bytes);
            Slot& slot = m_slots[s];
            const bool passedBy = s < m_next;
            slot.bytes = reserved > 0 && !passedBy ? bytes : 0;
            m_held += slot.bytes - reserved;
            m_peakHeld = std::max(m_peakHeld, m_held);
            if (m_stop) {
                return;
            }
            if (!passedBy) {
                slot.picture = std::move(picture);
            }
            slot.done = true;
            m_changed.notify_all();
        }
    }
}

}  // namespace mx::av
