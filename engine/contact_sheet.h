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
class ContactSheet {
public:
    ContactSheet(EngineHost& host, const ExtractionOptions& options);

    // Logs "Start matrix-3x3" and sizes the sheet for tiles of the video's size (rbAutoWidth
    // is read here), shrinking the tiles when the sheet would be too large.
    void setUp(int videoWidth, int videoHeight);

    // Places a captured frame, its overlay already drawn, as the next tile (row by row).
    void addTile(const QImage& frame);

    // Logs "save-" + name, adds the header band (duration and picture size read again from
    // the source) and saves the sheet as name + "." + format ("bmp" or "jpg", the JPEG quality
    // read from jpgTrackBar). An empty format saves nothing. Throws Error when the file cannot
    // be written.
    void finish(const QString& name, const QString& format, VideoSource& source,
                const QString& fileName, double sizeInMb);

private:
    EngineHost& m_host;
    const ExtractionOptions& m_options;
};

}  // namespace mx
