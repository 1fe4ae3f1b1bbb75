#include "engine/ffmpeg/ffmpeg_video_source.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/native_path.h"
#include "engine/ffmpeg/dib_converter.h"
#include "engine/ffmpeg/libav_handles.h"

extern "C" {
#include <libavutil/display.h>
}

// How a picture is found, in short:
//
// At open, the container's own index lists every key frame where it is complete at open (MP4,
// AVI, Matroska's cues), with the stream's span from its stated duration or its last packets;
// other containers (program and transport streams, raw streams) get one demux-only pass over
// the video stream that lists every key frame (packet ordinal, decoding and presentation time,
// byte position) and where the stream ends. Every frame the
// decoder gives out then carries a time: its best-effort time stamp, or the time of the frame
// before it plus one frame's duration.
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
//
// A plan of captures whose key frames lie apart is decoded on two single-threaded decoders at
// once, one per core: after a seek a decoder's own threads mostly wait on each other, two
// decoders on different groups of pictures do not (CapturesAhead below).

namespace mx {
namespace {

constexpr int64_t kNoTime = AV_NOPTS_VALUE;
// The test hooks declared in the header.
std::atomic<bool> splitEveryPlan{false};
std::atomic<int> plansSplit{0};

// Corrupt streams can fail frame after frame; give up on a run after this many errors.
constexpr int kMaxConsecutiveDecodeErrors = 1000;

// The display matrix states the rotation counter-clockwise; players turn the picture back, so
// the clockwise angle to apply is its negation. Angles other than quarter turns are ignored.
int displayRotation(const AVStream* stream) {
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t)) {
        return 0;
    }
    const double angle = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (!std::isfinite(angle)) {
        return 0;
    }
    const double turned = angle - 360.0 * std::floor(angle / 360.0);
    const long quarter = std::lround(turned / 90.0);
    if (std::abs(turned - quarter * 90.0) > 1.0) {
        return 0;
    }
    return static_cast<int>(quarter % 4) * 90;
}

// One packet of the video stream where decoding can start: a key frame, or the first packet.
struct Entry {
    int64_t ordinal = -1;  // count of video packets before it; -1 when not counted
    int64_t dts = kNoTime;
    int64_t pts = kNoTime;
    int64_t pos = -1;
    // The earliest time this entry's frame can show; decoding times stand in where a
    // container stamps no presentation time, since a frame never shows before it is decoded.
    int64_t time() const { return pts != kNoTime ? pts : dts; }
};

// One opened video stream and its decoder, holding the last frame shown. The seek model
// described at the top of this file lives here.
class Decoder {
public:
    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the file and lists its key frames. A file without a playable video stream leaves
    // the decoder closed; one whose stream yields no frame leaves it undecodable.
    void open(const QString& path);
    // Opens the same file again with one decoding thread, taking the listing and times from
    // a decoder that opened it already. False when the file no longer opens the same way.
    bool openLike(const Decoder& model, const QString& path);
    bool isOpen() const { return m_codec != nullptr; }
    bool undecodable() const { return m_undecodable; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    double duration() const { return m_duration; }
    // The frame shown at the time in seconds from the first frame, owned by the decoder until
    // its next request; null when there is none.
    const AVFrame* frameAt(double seconds);
    // The listed key frame decoding starts from for a time in seconds.
    size_t entryAt(double seconds) const { return entryFor(toTicks(seconds)); }
    bool toDib(const AVFrame& frame, QByteArray* dib) {
        return m_converter.convert(frame, m_rotation, dib);
    }
    // Decoding threads: 0 lets the decoder choose. Ends the current run when it changes.
    bool setThreadCount(int count);
    // While *cancel is true, a request stops early without a picture and marks nothing.
    void setCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    void close();

private:
    enum class Outcome { Found, LandedLate, NothingDecoded };
    enum class Reach { ByTime, ByBytes, FromStart };

    bool openStreams(const QString& path);
    bool openMedia(const QString& path, int threads);
    bool openCodec(int threads);
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    bool scanStream(int64_t* spanEnd, int64_t* firstTime, bool* stampsPresentation);
    bool listFromIndex(int64_t* spanEnd, int64_t* firstTime, bool* stampsPresentation);
    int64_t tailEnd(bool* stampsPresentation);
    void noteSpan(const AVPacket& packet, int64_t* spanEnd, bool* stampsPresentation) const;
    int64_t toTicks(double seconds) const;
    size_t entryFor(int64_t target) const;
    bool showFrameAt(int64_t target);
    bool canDecodeForward(int64_t target) const;
    bool startAt(size_t entry);
    bool reach(const Entry& entry, Reach how);
    bool readUpTo(const Entry& entry, bool byOrdinal);
    Outcome decodeUntil(int64_t target);
    bool feedPacket(int64_t target);
    bool readVideoPacket(AVPacket* packet);
    bool certainlyBeforeTarget(int64_t pts, int64_t target) const;
    int64_t frameTime(const AVFrame& frame);
    void keepAs(av::FramePtr* slot);

    // Declared first so that it is released last.
    av::FormatPtr m_format;
    av::CodecPtr m_codec;
    av::PacketPtr m_packet;
    av::FramePtr m_decoded;  // receives each decoded frame
    av::FramePtr m_shown;    // the last frame at or before the target
    av::FramePtr m_ahead;    // the first frame after the target, already pulled from the decoder
    DibConverter m_converter;
    const AVCodec* m_decoder = nullptr;
    int m_threads = 0;
    const std::atomic<bool>* m_cancel = nullptr;

    AVStream* m_stream = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_rotation = 0;
    double m_duration = 0;
    int64_t m_startTicks = 0;  // time of the first frame shown
    int64_t m_frameTicks = 1;  // one frame's duration where the stream states none
    int64_t m_packetCount = 0;
    std::vector<Entry> m_entries;
    bool m_keysCarryPts = false;  // the container stamps key frames with presentation times
    // A stream that yields no frame when read from its start fails every later picture at once
    // instead of reading the whole file again for each.
    bool m_undecodable = false;

    // The current decoding run: where it started and how far it has read.
    bool m_running = false;
    size_t m_runEntry = 0;
    int64_t m_nextOrdinal = 0;  // ordinal of the next video packet to feed
    int64_t m_maxFedDts = kNoTime;
    int64_t m_maxFedPts = kNoTime;
    bool m_hasPending = false;  // m_packet holds the run's first packet, not yet fed
    bool m_waiting = false;     // frames before the run's key frame are not shown
    int64_t m_waitUntil = kNoTime;
    bool m_firstOfRun = false;
    bool m_inputEnded = false;
    bool m_drained = false;
    bool m_hasShown = false;
    bool m_hasAhead = false;
    bool m_shownIsFirst =
        false;  // m_shown is the stream's first frame: it stands for earlier times
    int64_t m_shownTime = 0;
    int64_t m_aheadTime = 0;
    int64_t m_lastTime = kNoTime;
    int64_t m_lastDuration = 0;
    std::array<int64_t, 32> m_recentPts{};  // pts of the packets fed last, as a ring
    size_t m_recentCount = 0;
};

void Decoder::open(const QString& path) {
    close();
    if (!openStreams(path)) {
        close();
    }
}

bool Decoder::openMedia(const QString& path, int threads) {
    // The "file:" prefix keeps a colon in the name from selecting a protocol, and the whitelist
    // keeps playlists and similar containers from reaching anything but local files.
    const QByteArray url = "file:" + encodeNativePath(path);
    av::Dictionary options;
    options.set("protocol_whitelist", "file");
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, url.constData(), nullptr, options.address()) < 0) {
        return false;
    }
    m_format.reset(format);
    if (avformat_find_stream_info(format, nullptr) < 0) {
        return false;
    }
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index < 0 || !decoder) {
        return false;
    }
    m_stream = format->streams[index];
    m_decoder = decoder;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (static_cast<int>(i) != index) {
            format->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    if (!openCodec(threads)) {
        return false;
    }
    m_packet.reset(av_packet_alloc());
    m_decoded.reset(av_frame_alloc());
    m_shown.reset(av_frame_alloc());
    m_ahead.reset(av_frame_alloc());
    if (!m_packet || !m_decoded || !m_shown || !m_ahead) {
        return false;
    }
    // The coded size, as players show it apart from rotation: non-square pixels are not
    // stretched, so every captured pixel is a decoded one.
    const int codedWidth = m_stream->codecpar->width;
    const int codedHeight = m_stream->codecpar->height;
    const AVRational base = m_stream->time_base;
    if (codedWidth <= 0 || codedHeight <= 0 || base.num <= 0 || base.den <= 0) {
        return false;
    }
    m_rotation = displayRotation(m_stream);
    const bool sideways = m_rotation == 90 || m_rotation == 270;
    m_width = sideways ? codedHeight : codedWidth;
    m_height = sideways ? codedWidth : codedHeight;
    const AVRational rate = av_guess_frame_rate(format, m_stream, nullptr);
    if (rate.num > 0 && rate.den > 0) {
        m_frameTicks = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), base));
    }
    return true;
}

bool Decoder::openCodec(int threads) {
    m_codec.reset(avcodec_alloc_context3(m_decoder));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar) < 0) {
        m_codec.reset();
        return false;
    }
    m_codec->thread_count = threads;
    m_codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    m_codec->pkt_timebase = m_stream->time_base;
    if (avcodec_open2(m_codec.get(), m_decoder, nullptr) < 0) {
        m_codec.reset();
        return false;
    }
    m_threads = threads;
    m_running = false;
    return true;
}

bool Decoder::setThreadCount(int count) {
    if (!m_codec || count == m_threads) {
        return m_codec != nullptr;
    }
    if (!openCodec(count)) {
        m_undecodable = true;
        return false;
    }
    return true;
}

bool Decoder::openLike(const Decoder& model, const QString& path) {
    close();
    if (!model.isOpen() || model.m_undecodable || !openMedia(path, 1) ||
        m_stream->index != model.m_stream->index || m_width != model.m_width ||
        m_height != model.m_height || m_rotation != model.m_rotation) {
        close();
        return false;
    }
    m_duration = model.m_duration;
    m_startTicks = model.m_startTicks;
    m_frameTicks = model.m_frameTicks;
    m_packetCount = model.m_packetCount;
    m_entries = model.m_entries;
    m_keysCarryPts = model.m_keysCarryPts;
    return true;
}

bool Decoder::openStreams(const QString& path) {
    if (!openMedia(path, 0)) {
        return false;
    }
    const AVRational base = m_stream->time_base;
    int64_t spanEnd = kNoTime;
    int64_t firstTime = kNoTime;
    bool stampsPresentation = false;
    if (!listFromIndex(&spanEnd, &firstTime, &stampsPresentation) &&
        !scanStream(&spanEnd, &firstTime, &stampsPresentation)) {
        m_undecodable = true;
        return true;
    }
    // Times count from the first frame a player shows, which only decoding tells (containers
    // without presentation times stamp B-frame video one frame late). The run goes on from
    // there for the first capture.
    if (!startAt(0) || decodeUntil(std::numeric_limits<int64_t>::min()) != Outcome::Found) {
        m_undecodable = true;
        return true;
    }
    m_startTicks = m_shownTime;
    m_keysCarryPts = std::any_of(m_entries.begin(), m_entries.end(),
                                 [](const Entry& entry) { return entry.pts != kNoTime; });
    if (spanEnd != kNoTime) {
        // Decoding times run behind the frames shown by the decoder's delay.
        const int64_t delay = stampsPresentation || firstTime == kNoTime
                                  ? 0
                                  : std::max<int64_t>(0, m_startTicks - firstTime);
        const int64_t span = spanEnd + delay - m_startTicks;
        if (span > 0) {
            m_duration = static_cast<double>(span) * base.num / base.den;
        }
    }
    return true;
}

// Reads the whole video stream without decoding: its decoding entries and where it ends.
bool Decoder::scanStream(int64_t* spanEnd, int64_t* firstTime, bool* stampsPresentation) {
    AVPacket* packet = m_packet.get();
    int64_t ordinal = 0;
    while (readVideoPacket(packet)) {
        if (ordinal == 0 || (packet->flags & AV_PKT_FLAG_KEY)) {
            m_entries.push_back({ordinal, packet->dts, packet->pts, packet->pos});
        }
        const int64_t time = packet->pts != kNoTime ? packet->pts : packet->dts;
        if (*firstTime == kNoTime && time != kNoTime && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            *firstTime = time;
        }
        noteSpan(*packet, spanEnd, stampsPresentation);
        ++ordinal;
        av_packet_unref(packet);
    }
    m_packetCount = ordinal;
    return !m_entries.empty();
}

// Moves the end of the stream's span to the end of this packet when it lies later.
void Decoder::noteSpan(const AVPacket& packet, int64_t* spanEnd, bool* stampsPresentation) const {
    const bool hasPts = packet.pts != kNoTime;
    const int64_t time = hasPts ? packet.pts : packet.dts;
    if (time == kNoTime || (packet.flags & AV_PKT_FLAG_DISCARD)) {
        return;
    }
    const int64_t length = packet.duration > 0 ? packet.duration : m_frameTicks;
    if (*spanEnd == kNoTime || time + length > *spanEnd) {
        *spanEnd = time + length;
        *stampsPresentation = hasPts;
    }
}

// The key frames from the container's index, for containers whose index is complete at open:
// MP4 and AVI list every frame (by decoding time), Matroska's cues every key frame (by
// presentation time) once they are read, which the first seek does. Saves reading the whole
// file at open.
bool Decoder::listFromIndex(int64_t* spanEnd, int64_t* firstTime, bool* stampsPresentation) {
    const QByteArray name = m_format->iformat->name;
    const bool mp4 = name.startsWith("mov");
    const bool avi = name == "avi";
    const bool matroska = name.startsWith("matroska");
    if (!mp4 && !avi && !matroska) {
        return false;
    }
    if (matroska) {
        av_seek_frame(m_format.get(), m_stream->index, 0, AVSEEK_FLAG_BACKWARD);
    }
    const int count = avformat_index_get_entries_count(m_stream);
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* index = avformat_index_get_entry(m_stream, i);
        if (!index || (i > 0 && !(index->flags & AVINDEX_KEYFRAME))) {
            continue;
        }
        Entry entry;
        entry.pos = index->pos;
        (matroska ? entry.pts : entry.dts) = index->timestamp;
        if (!m_entries.empty() && entry.time() <= m_entries.back().time()) {
            continue;  // a repeated or disordered entry adds nothing
        }
        m_entries.push_back(entry);
    }
    if (m_entries.empty()) {
        return false;
    }
    m_packetCount = std::numeric_limits<int64_t>::max() / 2;
    *firstTime = m_entries.front().time();
    const int64_t start = m_stream->start_time != kNoTime ? m_stream->start_time : *firstTime;
    if (!matroska && m_stream->duration != kNoTime && m_stream->duration > 0) {
        *spanEnd = start + m_stream->duration;
        *stampsPresentation = mp4;
        // Fragmented files index their fragments as they are read: an index that stops well
        // short of the stated end is not complete yet.
        const int64_t last = avformat_index_get_entry(m_stream, count - 1)->timestamp;
        if (count > 1 && last < start + m_stream->duration - m_stream->duration / 8) {
            m_entries.clear();
            return false;
        }
    } else {
        *spanEnd = tailEnd(stampsPresentation);
    }
    return true;
}

// The end of the stream's last packets, read from the last listed key frame on.
int64_t Decoder::tailEnd(bool* stampsPresentation) {
    int64_t end = kNoTime;
    const Entry& last = m_entries.back();
    const int64_t time = last.dts != kNoTime ? last.dts : last.pts;
    if (av_seek_frame(m_format.get(), m_stream->index, time, AVSEEK_FLAG_BACKWARD) < 0) {
        return end;
    }
    AVPacket* packet = m_packet.get();
    while (readVideoPacket(packet)) {
        noteSpan(*packet, &end, stampsPresentation);
        av_packet_unref(packet);
    }
    return end;
}

void Decoder::close() {
    m_shown.reset();
    m_ahead.reset();
    m_decoded.reset();
    m_packet.reset();
    m_codec.reset();
    m_format.reset();
    m_decoder = nullptr;
    m_threads = 0;
    m_stream = nullptr;
    m_width = 0;
    m_height = 0;
    m_rotation = 0;
    m_duration = 0;
    m_startTicks = 0;
    m_frameTicks = 1;
    m_packetCount = 0;
    m_entries.clear();
    m_keysCarryPts = false;
    m_undecodable = false;
    m_running = false;
    m_hasPending = false;
    m_hasShown = false;
    m_hasAhead = false;
}

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
        const int64_t time = m_entries[i].time();
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
            if (m_hasAhead ? target < m_aheadTime : m_drained) {
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
           (entry.pts != kNoTime && m_maxFedPts != kNoTime && entry.pts <= m_maxFedPts);
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
            if (time > target) {
                return Outcome::Found;  // the target lies before the first frame
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
            return true;
        }
        av_packet_unref(packet);
    }
    return false;
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

// The planned captures decoded ahead of their requests on two decoders at once. The captures
// are cut into groups that decode from one key frame in order; each decoder takes the next
// group nobody has taken yet and keeps the frames it finds until they are asked for, strictly
// in plan order. A decoder holding kHeld frames nobody asked for yet waits, so memory stays
// bounded however unevenly the groups cost.
class CapturesAhead {
public:
    static constexpr int kHeld = 2;

    CapturesAhead(Decoder& first, Decoder& second, const std::vector<double>& seconds,
                  std::vector<size_t> groupStarts)
        : m_decoders{&first, &second}, m_groupStarts(std::move(groupStarts)) {
        for (const double at : seconds) {
            m_slots.push_back({at, nullptr, false, 0});
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

    ~CapturesAhead() { stop(); }

    CapturesAhead(const CapturesAhead&) = delete;
    CapturesAhead& operator=(const CapturesAhead&) = delete;

    bool nextIs(double seconds) const {
        return m_next < m_slots.size() && m_slots[m_next].seconds == seconds;
    }
    bool exhausted() const { return m_next == m_slots.size(); }

    // The frame of the next planned capture, once it is decoded; null when it has none.
    av::FramePtr take() {
        std::unique_lock<std::mutex> lock(m_mutex);
        Slot& slot = m_slots[m_next++];
        m_changed.wait(lock, [&] { return slot.done; });
        --m_held[slot.owner];
        m_changed.notify_all();
        return std::move(slot.frame);
    }

private:
    struct Slot {
        double seconds;
        av::FramePtr frame;
        bool done;
        size_t owner;
    };

    void stop() {
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

    void work(size_t who) {
        Decoder& decoder = *m_decoders[who];
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop && m_nextGroup + 1 < m_groupStarts.size()) {
            const size_t group = m_nextGroup++;
            for (size_t s = m_groupStarts[group]; s < m_groupStarts[group + 1]; ++s) {
                m_changed.wait(lock, [&] { return m_stop || m_held[who] < kHeld; });
                if (m_stop) {
                    return;
                }
                const double seconds = m_slots[s].seconds;
                lock.unlock();
                av::FramePtr kept;
                if (const AVFrame* shown = decoder.frameAt(seconds)) {
                    kept.reset(av_frame_alloc());
                    if (kept && av_frame_ref(kept.get(), shown) < 0) {
                        kept.reset();
                    }
                }
                lock.lock();
                if (m_stop) {
                    return;
                }
                m_slots[s].frame = std::move(kept);
                m_slots[s].done = true;
                m_slots[s].owner = who;
                ++m_held[who];
                m_changed.notify_all();
            }
        }
    }

    std::array<Decoder*, 2> m_decoders;
    std::vector<size_t> m_groupStarts;  // first slot of each group, then the slot count
    std::vector<Slot> m_slots;
    size_t m_nextGroup = 0;
    size_t m_next = 0;  // the slot handed out next; touched by the requesting thread only
    std::array<int, 2> m_held{};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<std::thread, 2> m_threads;
};

class FfmpegVideoSource final : public VideoSource {
public:
    ~FfmpegVideoSource() override { close(); }

    void open(const QString& path) override {
        close();
        m_path = path;
        m_decoder.open(path);
    }
    int videoHeight() override { return m_decoder.height(); }
    int videoWidth() override { return m_decoder.width(); }
    double duration() override { return m_decoder.duration(); }
    void seek(double seconds) override {
        // Only recorded: the decoding happens when the picture is asked for, so a capture that
        // seeks twice decodes once.
        m_target = std::isnan(seconds) ? 0.0 : seconds;
        m_position = std::clamp(m_target, 0.0, m_decoder.duration());
    }
    double position() override { return m_position; }
    bool currentImage(QByteArray* dib) override;
    void planCaptures(const std::vector<double>& seconds) override;
    void close() override {
        m_ahead.reset();
        m_helper.close();
        m_helperFailed = false;
        m_decoder.close();
        m_path.clear();
        m_target = 0;
        m_position = 0;
        m_failed = false;
    }

private:
    std::vector<size_t> groupsWorthSplitting(const std::vector<double>& seconds) const;

    Decoder m_decoder;
    Decoder m_helper;  // the second decoder of a plan, opened with the first plan
    bool m_helperFailed = false;
    std::unique_ptr<CapturesAhead> m_ahead;  // declared after the decoders it uses
    QString m_path;
    double m_target = 0;
    double m_position = 0;
    // A request found no picture: like the decoder after such a request, every later one fails
    // at once.
    bool m_failed = false;
};

bool FfmpegVideoSource::currentImage(QByteArray* dib) {
    if (!dib) {
        return false;
    }
    if (m_ahead && m_ahead->nextIs(m_target)) {
        const av::FramePtr frame = m_ahead->take();
        if (m_ahead->exhausted()) {
            m_ahead.reset();
        }
        m_failed = m_failed || !frame;
        // The first decoder's converter serves the requesting thread only.
        return !m_failed && m_decoder.toDib(*frame, dib);
    }
    m_ahead.reset();
    if (m_failed || !m_decoder.setThreadCount(0)) {
        return false;
    }
    const AVFrame* frame = m_decoder.frameAt(m_target);
    m_failed = !frame;
    return frame && m_decoder.toDib(*frame, dib);
}

// Two decoders pay where the plan has several groups of captures and no group holds more
// frames than a decoder may keep waiting; captures close together, many per group, decode
// faster on one decoder with its own threads. Pictures larger than 4K stay on one decoder:
// a second one and the frames it keeps would add several pictures' worth of memory. Gives the first
// slot of each group, then the slot count; empty when one decoder serves better.
std::vector<size_t> FfmpegVideoSource::groupsWorthSplitting(
    const std::vector<double>& seconds) const {
    constexpr int64_t kLargestPicture = 4096 * 2304;
    if (seconds.size() < 2 || !m_decoder.isOpen() || m_decoder.undecodable()) {
        return {};
    }
    const bool forced = splitEveryPlan.load();
    const int64_t pixels = int64_t(m_decoder.width()) * m_decoder.height();
    if (!forced && (std::thread::hardware_concurrency() < 2 || pixels > kLargestPicture)) {
        return {};
    }
    std::vector<size_t> starts{0};
    size_t largest = 0;
    for (size_t i = 1; i <= seconds.size(); ++i) {
        if (i == seconds.size() || seconds[i] < seconds[i - 1] ||
            m_decoder.entryAt(seconds[i]) != m_decoder.entryAt(seconds[i - 1])) {
            largest = std::max(largest, i - starts.back());
            starts.push_back(i);
        }
    }
    if (!forced && (starts.size() < 3 || largest > size_t(CapturesAhead::kHeld))) {
        return {};
    }
    return starts;
}

void FfmpegVideoSource::planCaptures(const std::vector<double>& seconds) {
    m_ahead.reset();
    if (m_failed) {
        return;
    }
    std::vector<size_t> groups = groupsWorthSplitting(seconds);
    if (groups.empty()) {
        return;
    }
    if (!m_helper.isOpen() && !m_helperFailed) {
        m_helperFailed = !m_helper.openLike(m_decoder, m_path);
    }
    if (m_helperFailed || !m_decoder.setThreadCount(1)) {
        return;
    }
    try {
        m_ahead = std::make_unique<CapturesAhead>(m_decoder, m_helper, seconds, std::move(groups));
        ++plansSplit;
    } catch (const std::system_error&) {
        m_ahead.reset();
    }
}

}  // namespace

std::unique_ptr<VideoSource> createFfmpegVideoSource() {
    // Damaged files make the decoders complain on every frame; the engine reports failures in
    // its own log instead.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    return std::make_unique<FfmpegVideoSource>();
}

void setSplitEveryPlanForTesting(bool on) {
    splitEveryPlan = on;
}

int plansSplitForTesting() {
    return plansSplit.load();
}

}  // namespace mx
