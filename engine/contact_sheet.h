#pragma once

#include <QImage>
#include <QString>

namespace mx {

class EngineHost;
class ExtractionOptions;
class VideoSource;

// The Matrix-mode picture of one source file: 3 x 3 tiles under a 40-pixel black header band.
// One object per file; the engine calls setUp once, addTile per capture that has a picture,
// and finish once after the capture loop (also after an abort).
//
// A sheet of 3w x 3h pixels that would exceed kMaxSheetPixels gets smaller tiles, shrunk with
// the resampler's Lanczos3 kernel; the full-size sheet is never allocated. The picture under
// construction is the final one (band and sheet), so a file costs one sheet of memory.
class ContactSheet {
public:
    ContactSheet(EngineHost& host, const ExtractionOptions& options);

    static constexpr long long kMaxSheetPixels = 8640320;

    // Logs "Start matrix-3x3" and sizes the sheet for tiles of the video's size (rbAutoWidth
    // is read here), shrinking the tiles when the sheet would be too large.
    void setUp(int videoWidth, int videoHeight);

    // Places a captured frame, its overlay already drawn, as the next tile (row by row).
    void addTile(const QImage& frame);

    // Logs "save-" + name, adds the header band (duration and picture size read again from
    // the source) and saves the sheet as name + "." + format by saveImageAs (the quality read
    // from jpgTrackBar; BMP files have 24 bits per pixel). An empty format saves nothing.
    // Nothing is saved either, with a log row that says why, when no capture formed a name
    // (an abort before the first) or the sheet has no size (rbAutoWidth unchecked at set-up,
    // or a video without a picture size). Throws Error when the file cannot be written.
    void finish(const QString& name, const QString& format, VideoSource& source,
                const QString& fileName, double sizeInMb);

private:
    EngineHost& m_host;
    const ExtractionOptions& m_options;
    QImage m_picture;  // the header band, then the sheet; null while the sheet has no size
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    int m_tileWidth = 0;
    int m_tileHeight = 0;
    bool m_resample = false;
    bool m_sizedBySetUp = false;
    int m_column = 1;
    int m_row = 1;
};

}  // namespace mx
