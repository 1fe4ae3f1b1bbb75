#pragma once

// One decoder of the FFmpeg backend. Private to this folder.

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/ffmpeg/dib_converter.h"
#include "engine/ffmpeg/libav_handles.h"

namespace mx::av {

constexpr int64_t kNoTime = AV_NOPTS_VALUE;

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

// One opened video stream and its decoder, holding the last frame shown. Opening and the
// listing of key frames are in stream_listing.cpp, the seek model in frame_decoder.cpp.
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
    // The time in seconds of the key frame a request for the time starts decoding at.
    double decodeStart(double seconds) const;
    // About how many frames a request for the time decodes when it starts at its key frame.
    int64_t framesTo(double seconds) const;
    // Bytes of one decoded picture, a little more than a decoder's pool hands out.
    int64_t frameBytesGuess() const;
    // Forgets the current decoding run: the next request starts at its key frame.
    void endRun() { m_running = false; }
    int rotation() const { return m_rotation; }
    AVCodecID codecId() const { return m_decoder ? m_decoder->id : AV_CODEC_ID_NONE; }
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
    int64_t firstMissingDts(int count) const;
    bool lastFrameEnd(int64_t* spanEnd);
    void noteSpan(const AVPacket& packet, int64_t* spanEnd, bool* stampsPresentation) const;
    int64_t toTicks(double seconds) const;
    // The earliest time an entry's frame shows. Containers that index decoding times alone
    // stamp a key frame of reordered video before it shows, by the decoder's delay.
    int64_t showTime(const Entry& entry) const {
        return entry.pts != kNoTime || entry.dts == kNoTime ? entry.pts : entry.dts + m_keyDelay;
    }
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
    bool showsInDecodingOrder() const;
    bool nextShowsAfter(int64_t target);
    bool pendingIs(const Entry& entry) const;
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
    int64_t m_keyDelay = 0;    // how long after its decoding time the first key frame shows
    int64_t m_packetCount = 0;
    std::vector<Entry> m_entries;
    bool m_keysCarryPts = false;  // the container stamps key frames with presentation times
    int64_t m_cutDts = kNoTime;   // packets from this decoding time on lie past the file's end
    // A stream that yields no frame when read from its start fails every later picture at once
    // instead of reading the whole file again for each.
    bool m_undecodable = false;

    // The current decoding run: where it started and how far it has read.
    bool m_running = false;
    size_t m_runEntry = 0;
    int64_t m_nextOrdinal = 0;  // ordinal of the next video packet to feed
    int64_t m_maxFedDts = kNoTime;
    int64_t m_maxFedPts = kNoTime;
    bool m_hasPending = false;  // m_packet holds the run's next packet, not yet fed
    // The pending packet was read to learn the next frame's time, m_peekTime, which lies after
    // the frame shown; no packet fed before it is still inside the decoder.
    bool m_peeked = false;
    int64_t m_peekTime = 0;
    bool m_waiting = false;  // frames before the run's key frame are not shown
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

}  // namespace mx::av
