#pragma once

#include <QString>
#include <optional>

#include "engine/frame_output.h"
#include "engine/video_source.h"

namespace mx {

class EngineHost;
class ExtractionOptions;
class FrameSchedule;
class GoodFrameSearch;
struct CapturedFrame;

// The size of a file in hundredths of a megabyte, as shown in the contact sheet header
// (5,000,000 bytes give 4.77); 0 for a path that is no regular file. Files of 2 GiB and more
// report their true size.
double sourceSizeInMb(const QString& path);

// The picture the source holds at its current position, or none. A failed picture request
// logs "Error extract frame"; a picture whose header this program cannot read is dropped
// silently.
std::optional<CapturedFrame> grabFrame(VideoSource& source, EngineHost& host);

// The per-file extraction: measure, open, report, plan, capture, save, close. One object
// serves a whole batch (the output format carries over from file to file).
class ExtractionEngine {
public:
    ExtractionEngine(EngineHost& host, ExtractionOptions& options, VideoSourceFactory factory);

    // Extracts the frames of one source file. Returns when the file is done or the AbortFlag
    // stopped its capture loop; the caption and title then read "MoxelbyExtractor". Throws
    // Error (the media released, the caption left alone) when an option text is not a number,
    // the counts are invalid or an output file cannot be written.
    void run(const QString& sourcePath);

    // Start of a batch run: output names of earlier runs may be used again (FrameOutput).
    void beginRun() { m_output.beginRun(); }

    // See FrameOutput::setSaveSize.
    void setSaveSize(int width, int height) { m_output.setSaveSize(width, height); }

    // See FrameOutput::setFormatOverride.
    void setFormatOverride(const QString& format) { m_output.setFormatOverride(format); }

private:
    // With good frames: the frame a capture takes, its move logged and currentPosition set to
    // its own time, then the capture's name and log row.
    std::optional<CapturedFrame> takeGoodFrame(GoodFrameSearch& search, FrameSchedule& schedule,
                                               int index, double& currentPosition);

    EngineHost& m_host;
    ExtractionOptions& m_options;
    VideoSourceFactory m_factory;
    FrameOutput m_output;
};

}  // namespace mx
