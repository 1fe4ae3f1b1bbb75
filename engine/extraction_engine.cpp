#include "engine/extraction_engine.h"

#include <cmath>
#include <memory>

#include "core/error.h"
#include "core/format_clock.h"
#include "core/read_file.h"
#include "engine/captured_frame.h"
#include "engine/contact_sheet.h"
#include "engine/engine_host.h"
#include "engine/frame_schedule.h"
#include "engine/good_frames.h"
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
    // -1 for a file that cannot be opened, as the platform's size query answers.
    const std::int64_t size = regularFileSize(path);
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
    // A FIFO or device would block the decoder's open or never end; such a path is left
    // unopened, so it runs through as a file that cannot be played.
    if (openRegularFile(sourcePath).failure != OpenFailure::NotRegular) {
        source->open(sourcePath);
    }
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

    std::optional<GoodFrameSearch> search;
    if (m_options.goodFrames()) {
        search.emplace(*source, duration, schedule.spacing(), sheet.has_value());
        if (search->active()) {
            schedule.setCaptureRequests(
                [&](double position) { return search->requestsAround(position); },
                [&](const std::vector<double>& positions) { return search->aheadTest(positions); });
        } else {
            search.reset();
        }
    }

    schedule.run(*source, currentPosition, [&](int index) {
        std::optional<CapturedFrame> frame;
        if (search) {
            frame = takeGoodFrame(*search, schedule, index, currentPosition);
        } else {
            m_output.nameCapture(index, currentPosition);
            frame = grabFrame(*source, m_host);
        }
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

std::optional<CapturedFrame> ExtractionEngine::takeGoodFrame(GoodFrameSearch& search,
                                                             FrameSchedule& schedule, int index,
                                                             double& currentPosition) {
    GoodFrame taken = search.take(currentPosition, schedule.planIndex());
    const QString flaw = QString::fromLatin1(flawName(taken.flaw));
    if (taken.moved) {
        m_host.logMessage(QStringLiteral("moved ") + preciseClock(currentPosition) +
                          QStringLiteral(" -> ") + preciseClock(taken.time) + QStringLiteral(": ") +
                          flaw);
        currentPosition = taken.time;
    } else if (taken.flaw != Flaw::None) {
        m_host.logMessage(QStringLiteral("kept ") + preciseClock(currentPosition) +
                          QStringLiteral(": ") + flaw + QStringLiteral(", nothing better nearby"));
    }
    m_output.nameCapture(index, currentPosition);
    if (taken.requestFailed) {
        m_host.logMessage(QStringLiteral("Error extract frame"));
    }
    return std::move(taken.frame);
}

}  // namespace mx
