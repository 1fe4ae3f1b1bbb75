#include <algorithm>
#include <cmath>
#include <limits>

#include "core/native_path.h"
#include "engine/ffmpeg/frame_decoder.h"

extern "C" {
#include <libavutil/display.h>
}

// At open, the container's own index lists every key frame where it is complete at open (MP4,
// AVI, Matroska's cues), with the stream's span from its stated duration or its last packets;
// other containers (program and transport streams, raw streams) get one demux-only pass over
// the video stream that lists every key frame (packet ordinal, decoding and presentation time,
// byte position) and where the stream ends.

namespace mx::av {
namespace {

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

}  // namespace

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
    m_keyDelay = model.m_keyDelay;
    m_packetCount = model.m_packetCount;
    m_entries = model.m_entries;
    m_keysCarryPts = model.m_keysCarryPts;
    m_cutDts = model.m_cutDts;
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
    const bool indexed = listFromIndex(&spanEnd, &firstTime, &stampsPresentation);
    if (!indexed && !scanStream(&spanEnd, &firstTime, &stampsPresentation)) {
        m_undecodable = true;
        return true;
    }
    m_keysCarryPts = std::any_of(m_entries.begin(), m_entries.end(),
                                 [](const Entry& entry) { return entry.pts != kNoTime; });
    if (!indexed && spanEnd != kNoTime && !stampsPresentation) {
        // Program streams stamp a packet only where a frame starts one, so the last frames
        // may carry decoding times alone, which say little of when they show (a reference
        // frame shows after the frames decoded after it): the decoder tells, from the last
        // group of pictures.
        stampsPresentation = lastFrameEnd(&spanEnd);
    }
    // Times count from the first frame a player shows, which only decoding tells (containers
    // without presentation times stamp B-frame video one frame late). The run goes on from
    // there for the first capture.
    if (!startAt(0) || decodeUntil(std::numeric_limits<int64_t>::min()) != Outcome::Found) {
        m_undecodable = true;
        return true;
    }
    m_startTicks = m_shownTime;
    // A key frame that decodes before frames shown ahead of it shows that much after its
    // decoding time; taken as the same for every key frame of the stream. Were a later one to
    // show sooner, a request between its times starts one key frame early, which costs
    // decoding but gives the same picture.
    const Entry& first = m_entries.front();
    m_keyDelay = first.pts == kNoTime && first.dts != kNoTime
                     ? std::max<int64_t>(0, m_startTicks - first.dts)
                     : 0;
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

// The end of the last frame shown, decoded from the last listed key frame that gives one.
// False, with nothing changed, when the tail does not decode.
bool Decoder::lastFrameEnd(int64_t* spanEnd) {
    const bool found = showFrameAt(std::numeric_limits<int64_t>::max()) && m_hasShown;
    m_undecodable = false;
    m_running = false;
    if (found) {
        *spanEnd = m_shownTime + std::max<int64_t>(1, m_lastDuration);
    }
    return found;
}

// Reads the whole video stream without decoding: its decoding entries and where it ends.
bool Decoder::scanStream(int64_t* spanEnd, int64_t* firstTime, bool* stampsPresentation) {
    AVPacket* packet = m_packet.get();
    int64_t ordinal = 0;
    bool unstampedTail = false;  // a packet of the last group carries no presentation time
    while (readVideoPacket(packet)) {
        if (ordinal == 0 || (packet->flags & AV_PKT_FLAG_KEY)) {
            m_entries.push_back({ordinal, packet->dts, packet->pts, packet->pos});
            unstampedTail = false;
        }
        unstampedTail = unstampedTail || packet->pts == kNoTime;
        // The decoding time, from which the decoder's delay is counted.
        const int64_t time = packet->dts != kNoTime ? packet->dts : packet->pts;
        if (*firstTime == kNoTime && time != kNoTime && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            *firstTime = time;
        }
        noteSpan(*packet, spanEnd, stampsPresentation);
        ++ordinal;
        av_packet_unref(packet);
    }
    m_packetCount = ordinal;
    *stampsPresentation = *stampsPresentation && !unstampedTail;
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
    // A download cut short keeps its whole index: frames whose data lies past the end of the
    // file are not part of the stream, which ends at the last whole one.
    m_cutDts = matroska ? kNoTime : firstMissingDts(count);
    while (m_cutDts != kNoTime && !m_entries.empty() && m_entries.back().dts >= m_cutDts) {
        m_entries.pop_back();
    }
    if (m_entries.empty()) {
        return false;
    }
    m_packetCount = std::numeric_limits<int64_t>::max() / 2;
    *firstTime = m_entries.front().time();
    const int64_t start = m_stream->start_time != kNoTime ? m_stream->start_time : *firstTime;
    if (!matroska && m_cutDts == kNoTime && m_stream->duration != kNoTime &&
        m_stream->duration > 0) {
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

// The decoding time of the first indexed frame whose data the file does not hold whole.
int64_t Decoder::firstMissingDts(int count) const {
    const int64_t fileSize = avio_size(m_format->pb);
    if (fileSize <= 0) {
        return kNoTime;
    }
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* index = avformat_index_get_entry(m_stream, i);
        if (index && index->size > 0 && index->pos + index->size > fileSize) {
            return index->timestamp;
        }
    }
    return kNoTime;
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
    m_keyDelay = 0;
    m_packetCount = 0;
    m_entries.clear();
    m_keysCarryPts = false;
    m_cutDts = kNoTime;
    m_undecodable = false;
    m_running = false;
    m_hasPending = false;
    m_peeked = false;
    m_hasShown = false;
    m_hasAhead = false;
}

}  // namespace mx::av
