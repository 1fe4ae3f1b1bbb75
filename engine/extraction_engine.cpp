#include "engine/extraction_engine.h"

#include <sys/stat.h>

#include <cmath>
#include <memory>

#include "core/error.h"
#include "core/format_clock.h"
#include "core/native_path.h"
#include "engine/captured_frame.h"
#include "engine/contact_sheet.h"
#include "engine/engine_host.h"
#include "engine/frame_schedule.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

// Closes the source on every way out of the engine, exceptions included.
class OpenedSource {
public:
    explicit OpenedSource(std::unique_ptr<VideoSource> source) : m_source(std::move(source)) {}
    ~OpenedSource() { close(); }
    OpenedSource(const OpenedSource&) = delete;
    OpenedSource& operator=(const OpenedSource&) = delete;

    VideoSource& operator*() const { return *m_source; }
    VideoSource* operator->() const { return m_source.get(); }

    void close() {
        if (m_source && !m_closed) {
            m_closed = true;
            m_source->close();
        }
    }

private:
    std::unique_ptr<VideoSource> m_source;
    bool m_closed = false;
};

}  // namespace

double sourceSizeInMb(const QString& path) {
    // By the path's own bytes; stat opens nothing, so no kind of file can block here.
    qint64 size = -1;
    struct stat info;
    if (::stat(encodeNativePath(path).constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        size = info.st_size;
    }
    return std::trunc(double(size) / 1048576.0 / 0.01 + 0.5) * 0.01;
}

std::optional<CapturedFrame> grabFrame(VideoSource& source, EngineHost& host) {
    QByteArray dib;
    if (!source.currentImage(&dib)) {
        host.logMessage(QStringLiteral("Error extract frame"));
        return std::nullopt;
    }
    return frameFromDib(dib);
}

ExtractionEngine::ExtractionEngine(EngineHost& host, ExtractionOptions& options,
                                   VideoSourceFactory factory)
    : m_host(host), m_options(options), m_factory(std::move(factory)), m_output(host, options) {}

void ExtractionEngine::run(const QString& sourcePath) {
    const double sizeInMb = sourceSizeInMb(sourcePath);

    m_output.beginFile(sourcePath);
    FrameSchedule schedule(m_host, m_options);
    schedule.readCaptureCount();

    std::unique_ptr<VideoSource> created = m_factory ? m_factory() : nullptr;
    if (!created) {
        throw Error(QStringLiteral("No video source for ") + sourcePath);
    }
    OpenedSource source(std::move(created));
    source->open(sourcePath);
    const int videoHeight = source->videoHeight();
    const int videoWidth = source->videoWidth();
    m_host.logMessage(QString::number(videoWidth) + QStringLiteral(" x ") +
                      QString::number(videoHeight));
    source->seek(1.0);
    const double duration = source->duration();
    double currentPosition = duration;
    m_host.logMessage(QStringLiteral("Duration:") + formatGeneral(duration) +
                      QStringLiteral(" sec"));
    m_host.logMessage(QStringLiteral("Duration:") + FormatClock(duration));

    std::optional<ContactSheet> sheet;
    schedule.setUp(*source, duration, [&] {
        sheet.emplace(m_host, m_options);
        sheet->setUp(videoWidth, videoHeight);
    });

    schedule.run(*source, currentPosition, [&](int index) {
        m_output.nameCapture(index, currentPosition);
        std::optional<CapturedFrame> frame = grabFrame(*source, m_host);
        if (!frame) {
            return;
        }
        m_output.drawOverlay(*frame, currentPosition);
        m_output.saveFrame(*frame);
        if (sheet) {
            sheet->addTile(frame->image);
        }
    });

    if (sheet) {
        sheet->finish(m_output.name(), m_output.format(), *source, m_output.fileName(), sizeInMb);
    }
    source.close();
    m_host.setCaptionAndTitle(QStringLiteral("MoxelbyExtractor"));
}

}  // namespace mx
