#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/ffmpeg/frame_decoder.h"

extern "C" {
#include <libavutil/imgutils.h>
}

// How a picture is found, in short:
//
// Every frame the decoder gives out carries a time: its best-effort time stamp, or the time of
// the frame before it plus one frame's duration.
//
// The picture at T is the last frame whose time is at or before T. To show it, decoding
// starts at the last listed key frame whose time is at or before T; when the first frame that
// comes out there is already later than T (the container stamps decoding times only, or the
// key frame's leading pictures reach back), decoding starts again one key frame earlier. The
// first listed entry is the stream's first packet, so going back always ends somewhere.
// A run goes on forward instead of starting again when the key frame T needs has been fed
// already.
//
// Reaching a listed key frame: a seek by time (or by byte position for streams whose time
// stamps can jump, where seeks by time land late), then packets are read without decoding
// until the listed one comes; the last resort is reading from the start, counting packets.

namespace mx::av {
namespace {

// Corrupt streams can fail frame after frame; give up on a run after this many errors.
constexpr int kMaxConsecutiveDecodeErrors = 1000;

std::atomic<int64_t> framesDecoded{0};

}  // namespace

// Stream ticks of a time relative to the stream's start, rounded down. The small allowance
// keeps a time that names a frame's start exactly from landing one tick short of it through
// binary floating point.
int64_t Decoder::toTicks(double seconds) const {
    const AVRational base = m_stream->time_base;
    const double ticks = seconds * base.den / base.num;
    constexpr double kLimit = 4.0e18;
    return m_startTicks +
           static_cast<int64_t>(std::floor(std::clamp(ticks, -kLimit, kLimit) + 1e-6));
}

int64_t Decoder::framesTo(double seconds) const {
    if (!m_stream || m_entries.empty()) {
        return 1;
    }
    const int64_t target = toTicks(std::clamp(seconds, 0.0, m_duration));
    const int64_t key = showTime(m_entries[entryFor(target)]);
    const int64_t from = key != kNoTime ? key : m_startTicks;
    return std::max<int64_t>(0, target - from) / m_frameTicks + 1;
}

double Decoder::decodeStart(double seconds) const {
    if (!m_stream || m_entries.empty()) {
        return 0;
    }
    const int64_t key =
        showTime(m_entries[entryFor(toTicks(std::clamp(seconds, 0.0, m_duration)))]);
    if (key == kNoTime || key <= m_startTicks) {
        return 0;
    }
    return double(key - m_startTicks) * av_q2d(m_stream->time_base);
}

int64_t Decoder::frameBytesGuess() const {
    if (!m_stream) {
        return 0;
    }
    // Decoders pad every plane for their motion search and align its rows.
    const AVCodecParameters* par = m_stream->codecpar;
    const int bytes = av_image_get_buffer_size(static_cast<AVPixelFormat>(par->format),
                                               par->width + 128, par->height + 128, 64);
    return bytes > 0 ? bytes : int64_t(par->width + 128) * (par->height + 128) * 4;
}

const AVFrame* Decoder::frameAt(double seconds) {
    if (!m_codec || m_undecodable) {
        return nullptr;
    }
    if (!showFrameAt(toTicks(seconds)) || !m_hasShown) {
        return nullptr;
    }
    return m_shown.get();
}

// The last entry whose frame can show at or before the target; the first entry otherwise.
size_t Decoder::entryFor(int64_t target) const {
    size_t found = 0;
    for (size_t i = 1; i < m_entries.size(); ++i) {
        const int64_t time = showTime(m_entries[i]);
        if (time != kNoTime && time <= target) {
            found = i;
        }
    }
    return found;
}

bool Decoder::showFrameAt(int64_t target) {
    if (m_running && m_hasShown) {
        if (target < m_shownTime && m_shownIsFirst) {
            return true;
        }
        if (target >= m_shownTime) {
            if (m_hasAhead ? target < m_aheadTime
                           : m_drained || (m_peeked && target < m_peekTime)) {
                return true;
            }
            if (canDecodeForward(target) && decodeUntil(target) == Outcome::Found) {
                return true;
            }
        }
    }
    // Start at the entry the target needs; when its first frame is already too late, or
    // nothing decodes from it, one entry earlier.
    for (size_t entry = entryFor(target) + 1; entry-- > 0 && !cancelled();) {
        if (!startAt(entry)) {
            continue;
        }
        const Outcome outcome = decodeUntil(target);
        if (outcome == Outcome::Found) {
            return true;
        }
    }
    m_running = false;
    m_undecodable = !cancelled();
    return false;
}

// Going on is right whenever the target lies at or after the frame shown; it is cheaper than
// starting again when the key frame the target needs has been fed already.
bool Decoder::canDecodeForward(int64_t target) const {
    const Entry& entry = m_entries[entryFor(target)];
    // Nothing fed before a key frame shows after it, so a later time fed means it was fed.
    return (entry.dts != kNoTime && m_maxFedDts != kNoTime && entry.dts <= m_maxFedDts) ||
           (entry.pts != kNoTime && m_maxFedPts != kNoTime && entry.pts <= m_maxFedPts) ||
           (m_peeked && pendingIs(entry));
}

bool Decoder::pendingIs(const Entry& entry) const {
    const AVPacket& packet = *m_packet;
    return m_hasPending && ((entry.dts != kNoTime && entry.dts == packet.dts) ||
                            (entry.pts != kNoTime && entry.pts == packet.pts));
}

bool Decoder::startAt(size_t index) {
    const Entry& entry = m_entries[index];
    const AVInputFormat* input = m_format->iformat;
    // Streams whose time stamps may jump are searched by time and land late; their byte
    // positions are exact.
    const bool bytesFirst = (input->flags & AVFMT_TS_DISCONT) && entry.pos >= 0;
    const Reach order[] = {bytesFirst ? Reach::ByBytes : Reach::ByTime,
                           bytesFirst ? Reach::ByTime : Reach::ByBytes, Reach::FromStart};
    m_running = false;
    for (const Reach how : order) {
        if (!reach(entry, how)) {
            continue;
        }
        avcodec_flush_buffers(m_codec.get());
        av_frame_unref(m_shown.get());
        av_frame_unref(m_ahead.get());
        m_running = true;
        m_runEntry = index;
        m_nextOrdinal = entry.ordinal;
        m_maxFedDts = kNoTime;
        m_maxFedPts = kNoTime;
        m_hasPending = true;
        m_peeked = false;
        m_waiting = index > 0;
        m_waitUntil = entry.pts;
        m_firstOfRun = true;
        m_inputEnded = false;
        m_drained = false;
        m_hasShown = false;
        m_hasAhead = false;
        m_shownIsFirst = false;
        m_lastTime = kNoTime;
        m_lastDuration = 0;
        m_recentCount = 0;
        return true;
    }
    return false;
}

bool Decoder::reach(const Entry& entry, Reach how) {
    AVFormatContext* format = m_format.get();
    const int stream = m_stream->index;
    const bool byteSeekable = !(format->iformat->flags & AVFMT_NO_BYTE_SEEK);
    switch (how) {
        case Reach::ByTime: {
            int64_t time = entry.dts;
            if (time == kNoTime || (entry.pts != kNoTime && entry.pts < time)) {
                time = entry.pts;
            }
            if (time == kNoTime || av_seek_frame(format, stream, time, AVSEEK_FLAG_BACKWARD) < 0) {
                return false;
            }
            return readUpTo(entry, false);
        }
        case Reach::ByBytes:
            if (!byteSeekable || entry.pos < 0 ||
                av_seek_frame(format, stream, entry.pos, AVSEEK_FLAG_BYTE) < 0) {
                return false;
            }
            return readUpTo(entry, false);
        case Reach::FromStart: {
            const Entry& first = m_entries.front();
            bool done = byteSeekable && av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
            if (!done && first.time() != kNoTime) {
                done = avformat_seek_file(format, stream, std::numeric_limits<int64_t>::min(),
                                          first.time(), first.time(), 0) >= 0;
            }
            return done && readUpTo(entry, entry.ordinal >= 0);
        }
    }
    return false;
}

// Reads video packets without decoding until the entry's own packet, which stays in m_packet.
// False when the reading passed it or the stream ended first.
bool Decoder::readUpTo(const Entry& entry, bool byOrdinal) {
    AVPacket* packet = m_packet.get();
    int64_t ordinal = 0;
    while (!cancelled() && readVideoPacket(packet)) {
        bool match = false;
        bool passed = false;
        if (byOrdinal) {
            match = ordinal == entry.ordinal;
        } else if (entry.pts != kNoTime) {
            match = packet->pts == entry.pts &&
                    (entry.dts == kNoTime || packet->dts == kNoTime || packet->dts == entry.dts);
        } else if (entry.dts != kNoTime) {
            match = packet->dts == entry.dts;
        } else {
            match = entry.pos >= 0 && packet->pos == entry.pos;
        }
        if (!match && !byOrdinal) {
            if (entry.dts != kNoTime && packet->dts != kNoTime) {
                passed = packet->dts > entry.dts;
            } else if (entry.pos >= 0 && packet->pos >= 0) {
                passed = packet->pos > entry.pos;
            }
        }
        if (match) {
            return true;
        }
        av_packet_unref(packet);
        if (passed || ++ordinal > m_packetCount) {
            return false;
        }
    }
    return false;
}

// Decodes on until the frame after the target is out, keeping the last frame at or before it.
Decoder::Outcome Decoder::decodeUntil(int64_t target) {
    if (m_hasAhead) {
        if (m_aheadTime > target) {
            return Outcome::Found;
        }
        std::swap(m_shown, m_ahead);
        av_frame_unref(m_ahead.get());
        m_hasAhead = false;
        m_hasShown = true;
        m_shownTime = m_aheadTime;
        m_shownIsFirst = false;
    }
    int errors = 0;
    while (!m_drained) {
        if (cancelled()) {
            m_running = false;
            return Outcome::NothingDecoded;
        }
        const int rc = avcodec_receive_frame(m_codec.get(), m_decoded.get());
        if (rc == AVERROR(EAGAIN)) {
            if (m_inputEnded || !feedPacket(target)) {
                m_drained = true;  // a decoder that wants input after the flush has nothing more
            }
            continue;
        }
        if (rc == AVERROR_EOF) {
            m_drained = true;
            break;
        }
        if (rc < 0) {
            if (++errors > kMaxConsecutiveDecodeErrors) {
                m_drained = true;
            }
            continue;
        }
        errors = 0;
        framesDecoded.fetch_add(1, std::memory_order_relaxed);
        const int64_t time = frameTime(*m_decoded);
        if (m_waiting) {
            // Leading pictures of the key frame, and whatever a decoder makes of references it
            // never saw, are not shown.
            const bool early = m_waitUntil != kNoTime ? time < m_waitUntil : !m_decoded->key_frame;
            if (early) {
                av_frame_unref(m_decoded.get());
                continue;
            }
            m_waiting = false;
        }
        const bool first = m_firstOfRun;
        if (first && m_runEntry > 0 && m_keysCarryPts && m_decoded->pts == kNoTime) {
            // A stream that stamps its key frames left this one unstamped: its time can only
            // be guessed from here, so it is decoded on from the key frame before.
            av_frame_unref(m_decoded.get());
            return Outcome::LandedLate;
        }
        m_firstOfRun = false;
        if (time <= target || (first && m_runEntry == 0)) {
            keepAs(&m_shown);
            m_hasShown = true;
            m_shownTime = time;
            m_shownIsFirst = first && m_runEntry == 0;
            if (time > target || nextShowsAfter(target)) {
                return Outcome::Found;  // the target lies before the first frame, or the next
            }
            continue;
        }
        if (!m_hasShown) {
            av_frame_unref(m_decoded.get());
            return Outcome::LandedLate;
        }
        keepAs(&m_ahead);
        m_hasAhead = true;
        m_aheadTime = time;
        return Outcome::Found;
    }
    return m_hasShown ? Outcome::Found : Outcome::NothingDecoded;
}

void Decoder::keepAs(av::FramePtr* slot) {
    std::swap(*slot, m_decoded);
    av_frame_unref(m_decoded.get());
}

// Feeds the next video packet; after the last one, the flush. False when nothing was fed.
bool Decoder::feedPacket(int64_t target) {
    AVPacket* packet = m_packet.get();
    if (!m_hasPending && !readVideoPacket(packet)) {
        m_inputEnded = true;
        return avcodec_send_packet(m_codec.get(), nullptr) >= 0;
    }
    m_hasPending = false;
    m_peeked = false;
    ++m_nextOrdinal;
    if (packet->dts != kNoTime) {
        m_maxFedDts = std::max(m_maxFedDts == kNoTime ? packet->dts : m_maxFedDts, packet->dts);
    }
    if (packet->pts != kNoTime) {
        m_maxFedPts = std::max(m_maxFedPts == kNoTime ? packet->pts : m_maxFedPts, packet->pts);
    }
    // A frame that no reference needs and that certainly is not the one shown at the target
    // need not be decoded at all.
    m_codec->skip_frame =
        certainlyBeforeTarget(packet->pts, target) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    if (packet->pts != kNoTime) {
        m_recentPts[m_recentCount++ % m_recentPts.size()] = packet->pts;
    }
    // Data the decoder rejects is skipped; the frames around it still decode.
    avcodec_send_packet(m_codec.get(), packet);
    av_packet_unref(packet);
    return true;
}

bool Decoder::readVideoPacket(AVPacket* packet) {
    while (av_read_frame(m_format.get(), packet) >= 0) {
        if (packet->stream_index == m_stream->index) {
            if (m_cutDts != kNoTime && packet->dts != kNoTime && packet->dts >= m_cutDts) {
                av_packet_unref(packet);
                return false;  // the file ends inside this packet's data
            }
            return true;
        }
        av_packet_unref(packet);
    }
    return false;
}

// Whether frames come out of the decoder in the order their packets go in: decoders of formats
// that never reorder, and those of MPEG video whose stream states it holds no B-frames, each
// on one thread.
bool Decoder::showsInDecodingOrder() const {
    if (m_codec->active_thread_type & FF_THREAD_FRAME) {
        return false;
    }
    switch (m_decoder->id) {
        case AV_CODEC_ID_MPEG2VIDEO:
        case AV_CODEC_ID_MPEG4:
            return m_codec->has_b_frames == 0;
        default: {
            const AVCodecDescriptor* codec = avcodec_descriptor_get(m_decoder->id);
            return codec && !(codec->props & AV_CODEC_PROP_REORDER);
        }
    }
}

// Just after the frame at or before the target is kept: true when the next packet shows after
// the target, so that the frame kept is the one shown there without decoding the next. Only
// for frames that come out in decoding order, the frame kept coming from the last packet fed.
// The packet read stays pending for the run's next request.
bool Decoder::nextShowsAfter(int64_t target) {
    if (m_hasPending || m_shown->pts == kNoTime || m_shown->pts != m_maxFedPts ||
        !showsInDecodingOrder() || !readVideoPacket(m_packet.get())) {
        return false;  // at the end of the input, feedPacket finds the end again
    }
    m_hasPending = true;
    m_peekTime = m_packet->pts;
    m_peeked = m_peekTime != kNoTime && m_peekTime > target;
    return m_peeked;
}

// True when a packet fed recently shows later than pts and still at or before the target:
// the frame at pts is then not the last one at or before the target.
bool Decoder::certainlyBeforeTarget(int64_t pts, int64_t target) const {
    if (pts == kNoTime || pts >= target) {
        return false;
    }
    const size_t count = std::min(m_recentCount, m_recentPts.size());
    for (size_t i = 0; i < count; ++i) {
        if (m_recentPts[i] > pts && m_recentPts[i] <= target) {
            return true;
        }
    }
    return false;
}

// The time of a decoded frame: the presentation time its packet carried; for a frame whose
// packet carried none, the frame before it plus one frame's duration (a decoder's guess from
// decoding times lands frames of reordered video in the wrong slot); the decoder's best-effort
// guess only for the first frame of a run, and the entry's time when there is none. A frame
// never shows at or before the one decoded before it.
int64_t Decoder::frameTime(const AVFrame& frame) {
    const int64_t step = std::max<int64_t>(1, m_lastDuration);
    int64_t time = frame.pts;
    if (time == kNoTime) {
        time = m_lastTime != kNoTime ? m_lastTime + step : frame.best_effort_timestamp;
    }
    if (time == kNoTime) {
        const int64_t entryTime = m_entries[m_runEntry].time();
        time = entryTime != kNoTime ? entryTime : m_startTicks;
    }
    if (m_lastTime != kNoTime && time <= m_lastTime) {
        time = m_lastTime + step;
    }
    m_lastTime = time;
    m_lastDuration = frame.pkt_duration > 0 ? frame.pkt_duration : m_frameTicks;
    return time;
}
}  // namespace mx::av

int64_t mx::framesDecodedForTesting() {
    return mx::av::framesDecoded.load();
}
