#include "engine/ffmpeg/ffmpeg_video_source.h"

namespace mx {
namespace {

// Placeholder until the FFmpeg backend lands: behaves like a file that cannot be played.
class UnplayableSource : public VideoSource {
public:
    void open(const QString&) override {}
    int videoHeight() override { return 0; }
    int videoWidth() override { return 0; }
    double duration() override { return 0; }
    void seek(double) override {}
    double position() override { return 0; }
    bool currentImage(QByteArray*) override { return false; }
    void close() override {}
};

}  // namespace

std::unique_ptr<VideoSource> createFfmpegVideoSource() {
    return std::make_unique<UnplayableSource>();
}

}  // namespace mx
