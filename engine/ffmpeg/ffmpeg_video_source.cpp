#include "engine/ffmpeg/ffmpeg_video_source.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>

#include "engine/ffmpeg/dib_converter.h"
#include "engine/ffmpeg/libav_handles.h"

extern "C" {
#include <libavutil/display.h>
}

namespace mx {
namespace {

// Beyond this distance a target is reached by seeking rather than decoding on, unless the
// container's index shows that no key frame lies in between.
constexpr double kForwardDecodeLimitSeconds = 5.0;
// How far before the target a repeated seek starts when the container landed behind it.
constexpr std::array<double, 9> kSeekBackoffSeconds = {0, 1, 3, 10, 30, 100, 300, 1000, 3000};
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

class FfmpegVideoSource final : public VideoSource {
public:
    void open(const QString& path) override;
    int videoHeight() override { return m_height; }
    int videoWidth() override { return m_width; }
    double duration() override { return m_duration; }
    void seek(double seconds) override;
    double position() override { return m_position; }
    bool currentImage(QByteArray* dib) override;
    void close() override;

private:
    enum class Outcome { Found, LandedLate, NothingDecoded };

    bool openStreams(const QString& path);
    int64_t toTicks(double seconds) const;
    bool showFrameAt(int64_t target);
    bool canDecodeForward(int64_t target) const;
    bool seekAndDecode(int64_t target);
    bool seekTo(int64_t timestamp);
    bool seekToStart(bool byBytes);
    void restartDecoding(bool atStreamStart);
    Outcome decodeUntil(int64_t target);
    void feedPacket(int64_t target);
    bool certainlyBeforeTarget(int64_t pts, int64_t target) const;
    int64_t framePts(const AVFrame& frame);

    // Declared first so that it is released last.
    av::FormatPtr m_format;
    av::CodecPtr m_codec;
    av::PacketPtr m_packet;
    av::FramePtr m_decoded;  // receives each decoded frame
    av::FramePtr m_shown;    // the last frame at or before the target
    av::FramePtr m_ahead;    // the first frame after the target, already pulled from the decoder
    DibConverter m_converter;

    AVStream* m_stream = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_rotation = 0;
    double m_duration = 0;
    double m_position = 0;
    double m_target = 0;
    int64_t m_startTicks = 0;
    int64_t m_endTicks = std::numeric_limits<int64_t>::max();

    // Decoder state since the last seek.
    // A stream that yields no frame when read from its start fails every later picture at once
    // instead of reading the whole file again for each.
    bool m_undecodable = false;
    bool m_atStreamStart = false;  // decoding began at the start of the stream
    bool m_waitingForKey = false;  // frames before the first key frame after a seek are garbage
    bool m_inputEnded = false;
    bool m_drained = false;
    bool m_hasShown = false;
    bool m_hasAhead = false;
    bool m_shownIsFirst =
        false;  // m_shown is the stream's first frame: it stands for any earlier time
    int64_t m_shownPts = 0;
    int64_t m_aheadPts = 0;
    int64_t m_firstPtsAfterSeek = AV_NOPTS_VALUE;
    int64_t m_lastPts = AV_NOPTS_VALUE;
    int64_t m_lastFedDts = AV_NOPTS_VALUE;
    std::array<int64_t, 32> m_recentPts{};  // pts of the packets fed last, as a ring
    size_t m_recentCount = 0;
};

void FfmpegVideoSource::open(const QString& path) {
    close();
    if (!openStreams(path)) {
        close();
    }
}

bool FfmpegVideoSource::openStreams(const QString& path) {
    // The "file:" prefix keeps a colon in the name from selecting a protocol, and the whitelist
    // keeps playlists and similar containers from reaching anything but local files.
    const QByteArray url = "file:" + QFile::encodeName(path);
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
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (static_cast<int>(i) != index) {
            format->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar) < 0) {
        return false;
    }
    m_codec->thread_count = 0;
    m_codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    m_codec->pkt_timebase = m_stream->time_base;
    if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0) {
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
    if (codedWidth <= 0 || codedHeight <= 0 || m_stream->time_base.num <= 0 ||
        m_stream->time_base.den <= 0) {
        return false;
    }
    m_rotation = displayRotation(m_stream);
    const bool sideways = m_rotation == 90 || m_rotation == 270;
    m_width = sideways ? codedHeight : codedWidth;
    m_height = sideways ? codedWidth : codedHeight;
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
        m_duration = static_cast<double>(format->duration) / AV_TIME_BASE;
    }
    m_startTicks = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
    // Times count from the first frame a player shows. Containers without presentation times
    // (AVI) stamp B-frame video one frame late, so the first frame is decoded to learn where
    // the stream starts; decoding then goes on from there for the first capture.
    restartDecoding(true);
    if (decodeUntil(m_startTicks) == Outcome::Found) {
        m_startTicks = m_shownPts;
    } else {
        m_undecodable = true;
    }
    if (m_duration > 0) {
        m_endTicks = toTicks(m_duration);
    }
    return true;
}

void FfmpegVideoSource::close() {
    m_shown.reset();
    m_ahead.reset();
    m_decoded.reset();
    m_packet.reset();
    m_codec.reset();
    m_format.reset();
    m_stream = nullptr;
    m_width = 0;
    m_height = 0;
    m_rotation = 0;
    m_duration = 0;
    m_position = 0;
    m_target = 0;
    m_startTicks = 0;
    m_endTicks = std::numeric_limits<int64_t>::max();
    m_undecodable = false;
    m_hasShown = false;
    m_hasAhead = false;
}

void FfmpegVideoSource::seek(double seconds) {
    // Only recorded: the decoding happens when the picture is asked for, so a capture that
    // seeks twice decodes once.
    m_target = std::isnan(seconds) ? 0.0 : seconds;
    m_position = std::clamp(m_target, 0.0, m_duration);
}

// Stream ticks of a time relative to the stream's start, rounded down. The small allowance
// keeps a time that names a frame's start exactly from landing one tick short of it through
// binary floating point.
int64_t FfmpegVideoSource::toTicks(double seconds) const {
    const AVRational base = m_stream->time_base;
    const double ticks = seconds * base.den / base.num;
    constexpr double kLimit = 4.0e18;
    return m_startTicks +
           static_cast<int64_t>(std::floor(std::clamp(ticks, -kLimit, kLimit) + 1e-6));
}

bool FfmpegVideoSource::currentImage(QByteArray* dib) {
    if (!m_codec || !dib) {
        return false;
    }
    if (m_undecodable || !showFrameAt(toTicks(m_target)) || !m_hasShown) {
        return false;
    }
    return m_converter.convert(*m_shown, m_rotation, dib);
}

bool FfmpegVideoSource::showFrameAt(int64_t target) {
    if (m_hasShown) {
        if (target < m_shownPts && m_shownIsFirst) {
            return true;
        }
        if (target >= m_shownPts) {
            if (m_hasAhead ? target < m_aheadPts : m_drained) {
                return true;
            }
            if (canDecodeForward(target)) {
                return decodeUntil(target) == Outcome::Found;
            }
        }
    }
    return seekAndDecode(target);
}

bool FfmpegVideoSource::canDecodeForward(int64_t target) const {
    const int64_t position = m_lastFedDts != AV_NOPTS_VALUE ? m_lastFedDts : m_startTicks;
    const AVRational base = m_stream->time_base;
    const double distance = static_cast<double>(target - position) * base.num / base.den;
    const AVIndexEntry* key =
        avformat_index_get_entry_from_timestamp(m_stream, target, AVSEEK_FLAG_BACKWARD);
    if (!key) {
        return distance <= kForwardDecodeLimitSeconds;
    }
    if (m_lastFedDts == AV_NOPTS_VALUE) {
        return false;
    }
    if (key->timestamp > m_lastFedDts) {
        return false;  // a seek to that key frame skips everything before it
    }
    // The index of some containers grows as they are read, so the last entry known may not be
    // the last key frame before a distant target.
    const int entries = avformat_index_get_entries_count(m_stream);
    if (key == avformat_index_get_entry(m_stream, entries - 1)) {
        return distance <= kForwardDecodeLimitSeconds;
    }
    return true;
}

// Seeks to the key frame before the target and decodes up to it. When the container lands
// after the target (MPEG program streams do) or nothing decodes there, it tries again further
// back, and finally from the very start.
bool FfmpegVideoSource::seekAndDecode(int64_t target) {
    const AVRational base = m_stream->time_base;
    const int64_t from = std::min(target, m_endTicks);
    for (const double back : kSeekBackoffSeconds) {
        const int64_t timestamp = from - static_cast<int64_t>(back * base.den / base.num);
        if (timestamp <= m_startTicks) {
            break;
        }
        if (!seekTo(timestamp)) {
            continue;
        }
        if (decodeUntil(target) == Outcome::Found) {
            return true;
        }
    }
    // Streams searched by time stamps (MPEG transport streams) can stop a few frames short of
    // their start; reading from the first byte then starts truly at the start.
    if (seekToStart(false) && decodeUntil(target) == Outcome::Found &&
        m_firstPtsAfterSeek <= m_startTicks) {
        return true;
    }
    if (seekToStart(true) && decodeUntil(target) == Outcome::Found) {
        return true;
    }
    if (seekToStart(false) && decodeUntil(target) == Outcome::Found) {
        return true;
    }
    m_undecodable = true;
    return false;
}

bool FfmpegVideoSource::seekTo(int64_t timestamp) {
    if (av_seek_frame(m_format.get(), m_stream->index, timestamp, AVSEEK_FLAG_BACKWARD) < 0) {
        return false;
    }
    restartDecoding(false);
    return true;
}

bool FfmpegVideoSource::seekToStart(bool byBytes) {
    AVFormatContext* format = m_format.get();
    const int index = m_stream->index;
    const bool done =
        byBytes ? av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0
                : av_seek_frame(format, index, m_startTicks, AVSEEK_FLAG_BACKWARD) >= 0 ||
                      avformat_seek_file(format, index, std::numeric_limits<int64_t>::min(),
                                         m_startTicks, m_startTicks, 0) >= 0;
    if (done) {
        restartDecoding(true);
    }
    return done;
}

void FfmpegVideoSource::restartDecoding(bool atStreamStart) {
    avcodec_flush_buffers(m_codec.get());
    av_frame_unref(m_shown.get());
    av_frame_unref(m_ahead.get());
    m_atStreamStart = atStreamStart;
    m_waitingForKey = !atStreamStart;
    m_inputEnded = false;
    m_drained = false;
    m_hasShown = false;
    m_hasAhead = false;
    m_shownIsFirst = false;
    m_firstPtsAfterSeek = AV_NOPTS_VALUE;
    m_lastPts = AV_NOPTS_VALUE;
    m_lastFedDts = AV_NOPTS_VALUE;
    m_recentCount = 0;
}

// Decodes on until the frame after the target is out, keeping the last frame at or before it.
FfmpegVideoSource::Outcome FfmpegVideoSource::decodeUntil(int64_t target) {
    if (m_hasAhead) {
        if (m_aheadPts > target) {
            return Outcome::Found;
        }
        std::swap(m_shown, m_ahead);
        av_frame_unref(m_ahead.get());
        m_hasAhead = false;
        m_hasShown = true;
        m_shownPts = m_aheadPts;
        m_shownIsFirst = false;
    }
    int errors = 0;
    while (!m_drained) {
        const int rc = avcodec_receive_frame(m_codec.get(), m_decoded.get());
        if (rc == AVERROR(EAGAIN)) {
            if (m_inputEnded) {
                m_drained = true;  // a decoder that wants input after the flush has nothing more
                break;
            }
            feedPacket(target);
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
        const int64_t pts = framePts(*m_decoded);
        if (m_waitingForKey && !m_decoded->key_frame) {
            av_frame_unref(m_decoded.get());
            continue;
        }
        m_waitingForKey = false;
        const bool first = m_atStreamStart;
        m_atStreamStart = false;
        if (first) {
            m_firstPtsAfterSeek = pts;
        }
        if (pts <= target || (first && !m_hasShown)) {
            std::swap(m_shown, m_decoded);
            av_frame_unref(m_decoded.get());
            m_hasShown = true;
            m_shownPts = pts;
            m_shownIsFirst = first;
            if (pts > target) {
                return Outcome::Found;  // the target lies before the first frame
            }
            continue;
        }
        if (!m_hasShown) {
            av_frame_unref(m_decoded.get());
            return Outcome::LandedLate;
        }
        std::swap(m_ahead, m_decoded);
        av_frame_unref(m_decoded.get());
        m_hasAhead = true;
        m_aheadPts = pts;
        return Outcome::Found;
    }
    return m_hasShown ? Outcome::Found : Outcome::NothingDecoded;
}

void FfmpegVideoSource::feedPacket(int64_t target) {
    AVPacket* packet = m_packet.get();
    while (true) {
        if (av_read_frame(m_format.get(), packet) < 0) {
            avcodec_send_packet(m_codec.get(), nullptr);
            m_inputEnded = true;
            return;
        }
        if (packet->stream_index == m_stream->index) {
            break;
        }
        av_packet_unref(packet);
    }
    // A frame that no reference needs and that certainly is not the one shown at the target
    // need not be decoded at all.
    m_codec->skip_frame =
        certainlyBeforeTarget(packet->pts, target) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    if (packet->pts != AV_NOPTS_VALUE) {
        m_recentPts[m_recentCount++ % m_recentPts.size()] = packet->pts;
    }
    const int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (dts != AV_NOPTS_VALUE) {
        m_lastFedDts = dts;
    }
    // Data the decoder rejects is skipped; the frames around it still decode.
    avcodec_send_packet(m_codec.get(), packet);
    av_packet_unref(packet);
}

// True when a packet fed recently shows later than pts and still at or before the target:
// the frame at pts is then not the last one at or before the target.
bool FfmpegVideoSource::certainlyBeforeTarget(int64_t pts, int64_t target) const {
    if (pts == AV_NOPTS_VALUE || pts >= target) {
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

int64_t FfmpegVideoSource::framePts(const AVFrame& frame) {
    int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        pts = frame.pts;
    }
    if (pts == AV_NOPTS_VALUE) {
        // Untimed frames follow the one before them.
        pts = m_lastPts == AV_NOPTS_VALUE ? m_startTicks : m_lastPts + 1;
    }
    m_lastPts = pts;
    return pts;
}

}  // namespace

std::unique_ptr<VideoSource> createFfmpegVideoSource() {
    // Damaged files make the decoders complain on every frame; the engine reports failures in
    // its own log instead.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    return std::make_unique<FfmpegVideoSource>();
}

}  // namespace mx
