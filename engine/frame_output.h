#pragma once

#include <QHash>
#include <QSize>
#include <QString>

namespace mx {

class EngineHost;
class ExtractionOptions;
struct CapturedFrame;

// The last component of a source path (after its last "/"), extension included.
QString sourceFileName(const QString& sourcePath);
// A file name without its extension (the text before its last "."), or the whole name.
QString sourceBaseName(const QString& fileName);
// The folder of a source path up to and including its last "/"; empty when it has none.
QString sourceFolder(const QString& sourcePath);

// The fixed text drawn in the bottom-left corner of every frame that gets an overlay.
inline constexpr const char* kWatermark = "www.moxelby.example";

// Turns each capture into an output name, a log row, an optional text overlay and a saved
// image file. One object lives as long as the engine: the output format of a file
// whose format buttons are both clear is that of the previous file.
class FrameOutput {
public:
    FrameOutput(EngineHost& host, const ExtractionOptions& options);

    // Start of a run: no output name is taken yet.
    void beginRun();

    // Start of a file: the target folder (pathEdit + "/", always appended; the source's own
    // folder when pathEdit is empty), the output format from JPGBtn then BMPBtn, and the file
    // and base names of the source.
    void beginFile(const QString& sourcePath);

    // Right after the seeks of capture index at position (seconds): forms the output name
    // and writes the capture's log row for the frame method that is checked. A file whose
    // target folder and base name an earlier file of the run used takes its whole file name
    // (extension included) as base name, and a log row says so.
    void nameCapture(int index, double position);

    // Draws the clock text and/or file name and the watermark when chktime or chkFilename is
    // checked; otherwise leaves the frame as grabbed.
    void drawOverlay(CapturedFrame& frame, double position) const;

    // Saves the frame as name + "." + format (see saveImageAs) when (rbFrameFile or rbEverSec) and
    // rbAutoWidth are checked and the format is not empty. Throws Error naming the file when
    // it cannot be written.
    void saveFrame(const CapturedFrame& frame) const;

    // Scales every saved frame (not the contact sheet) to width x height with the Lanczos3
    // resampler before it is written. A size of 0 on one side keeps the aspect ratio from the
    // other; 0 on both sides saves frames at their captured size, the default.
    void setSaveSize(int width, int height);

    // A format ("bmp", "jpg", "png" or "webp") that beginFile takes over the format buttons,
    // for frames and sheets; empty, the default, leaves the choice to the buttons.
    void setFormatOverride(const QString& format) { m_formatOverride = format; }

    const QString& name() const { return m_name; }
    const QString& format() const { return m_format; }
    const QString& fileName() const { return m_fileName; }

private:
    void claimName();

    EngineHost& m_host;
    const ExtractionOptions& m_options;
    QString m_sourcePath;
    QString m_fileName;
    QString m_baseName;
    QString m_targetFolder;
    QString m_name;
    QString m_format;
    QString m_formatOverride;
    // Target folder + base name of each file of the run so far, with the source that took it.
    QHash<QString, QString> m_namesOfRun;
    bool m_nameClaimed = false;
    int m_saveWidth = 0;
    int m_saveHeight = 0;
};

// The size a frame of sourceWidth x sourceHeight is saved at for a requested size, by the rule
// of FrameOutput::setSaveSize (never smaller than 1 x 1).
QSize scaledSaveSize(int sourceWidth, int sourceHeight, int width, int height);

}  // namespace mx
