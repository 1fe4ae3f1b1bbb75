#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace mx {

// Called on a decoding thread before a capture's optional picture, with the pictures of the
// capture decoded since the last call for it, in order, `first` being the place of the first of
// them among the capture's: whether that optional picture is worth decoding ahead. Safe to call
// from two threads at once.
using AheadTest = std::function<bool(std::size_t capture, std::size_t first,
                                     const std::vector<QByteArray>& pictures)>;

// A plan of captures that search past their own pictures when those are poor.
struct CapturePlan {
    std::vector<double> seconds;  // every picture of the plan, in order
    // Per picture: one a capture asks for only when its own pictures are poor, after them.
    std::vector<bool> optional;
    std::vector<std::size_t> captureStarts;  // where each capture's pictures begin
    AheadTest wanted;
};

// The opened video of one source file, as the engine sees it. Every query of a source that
// could not be opened answers 0 and every picture request fails: the engine does not test
// whether opening succeeded.
class VideoSource {
public:
    virtual ~VideoSource() = default;

    // Opens the file. Never throws for media that cannot be played.
    virtual void open(const QString& path) = 0;
    // Native picture size in pixels, as a player shows it (rotation applied); 0 when unknown.
    virtual int videoHeight() = 0;
    virtual int videoWidth() = 0;
    // Length in seconds; 0 when unknown.
    virtual double duration() = 0;
    // Moves to a position in seconds. May defer the decoding until the picture is asked for.
    virtual void seek(double seconds) = 0;
    // The position reached by the last seek, in seconds.
    virtual double position() = 0;
    // The picture shown at the current position as a packed device-independent bitmap
    // (BITMAPINFOHEADER, then the pixel array at the end of the buffer). False when there is
    // no picture; *dib is then unspecified.
    virtual bool currentImage(QByteArray* dib) = 0;
    // The positions of the pictures the next captures will ask for, in order. Each picture is
    // then sought with seekPlanned and asked for. A source may prepare those pictures ahead; a
    // picture asked for after any other seek drops the rest of the plan, unless the plan is one
    // of captures that search (planCaptureSearches), which may ask for pictures off it. Pictures
    // and their order are the same as without a plan.
    virtual void planCaptures(const std::vector<double>& seconds) { (void)seconds; }
    // planCaptures for captures that search. Optional pictures are sought with seekPlanned
    // too, or passed over; one not decoded ahead is decoded when asked for.
    virtual void planCaptureSearches(const CapturePlan& plan) { planCaptures(plan.seconds); }
    // seek(seconds) for the picture at `index` of the last plan, `seconds` being its position.
    virtual void seekPlanned(std::size_t index, double seconds) {
        (void)index;
        seek(seconds);
    }
    // Where decoding for a picture at seconds has to start (its key frame), in seconds: pictures
    // from there up to it come on the way. 0 when not known.
    virtual double decodeStart(double seconds) {
        (void)seconds;
        return 0;
    }
    // Releases every media object; the source answers as an unopened one afterwards.
    virtual void close() = 0;
};

// A source that passes every call on to another one; wrappers override what they add, and
// calls added to the interface later reach the wrapped source without them.
class ForwardingSource : public VideoSource {
public:
    void open(const QString& path) override { inner().open(path); }
    int videoHeight() override { return inner().videoHeight(); }
    int videoWidth() override { return inner().videoWidth(); }
    double duration() override { return inner().duration(); }
    void seek(double seconds) override { inner().seek(seconds); }
    double position() override { return inner().position(); }
    bool currentImage(QByteArray* dib) override { return inner().currentImage(dib); }
    void planCaptures(const std::vector<double>& seconds) override {
        inner().planCaptures(seconds);
    }
    void planCaptureSearches(const CapturePlan& plan) override {
        inner().planCaptureSearches(plan);
    }
    void seekPlanned(std::size_t index, double seconds) override {
        inner().seekPlanned(index, seconds);
    }
    double decodeStart(double seconds) override { return inner().decodeStart(seconds); }
    void close() override { inner().close(); }

protected:
    virtual VideoSource& inner() = 0;
};

using VideoSourceFactory = std::function<std::unique_ptr<VideoSource>()>;

}  // namespace mx
