#include "engine/frame_output.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/format_clock.h"
#include "core/native_path.h"
#include "engine/captured_frame.h"
#include "engine/engine_host.h"
#include "engine/image_files.h"
#include "engine/resample_bitmap.h"
#include "engine/text_drawing.h"
#include "settings/extraction_options.h"

namespace mx {

QString sourceFileName(const QString& sourcePath) {
    return sourcePath.mid(sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString sourceBaseName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

QString sourceFolder(const QString& sourcePath) {
    return sourcePath.left(sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
}

FrameOutput::FrameOutput(EngineHost& host, const ExtractionOptions& options)
    : m_host(host), m_options(options) {}

void FrameOutput::beginRun() {
    m_namesOfRun.clear();
}

void FrameOutput::beginFile(const QString& sourcePath) {
    // No save path is no reason to write into the root folder: the frames go beside the source.
    m_targetFolder = m_options.pathEdit().isEmpty() ? sourceFolder(sourcePath)
                                                    : m_options.pathEdit() + QLatin1Char('/');
    if (m_options.JPGBtn()) {
        m_format = QStringLiteral("jpg");
    }
    if (m_options.BMPBtn()) {
        m_format = QStringLiteral("bmp");
    }
    if (!m_formatOverride.isEmpty()) {
        m_format = m_formatOverride;
    }
    m_sourcePath = sourcePath;
    m_fileName = sourceFileName(sourcePath);
    m_baseName = sourceBaseName(m_fileName);
    m_name.clear();
    m_nameClaimed = false;
}

void FrameOutput::claimName() {
    m_nameClaimed = true;
    // Sources such as clip.mp4 and clip.avi would write the same files; the later one keeps its
    // extension in its name rather than replace what this run saved a moment ago.
    // The same source listed twice writes the same frames again: no clash.
    const QString taken = m_targetFolder + m_baseName;
    const auto earlier = m_namesOfRun.constFind(taken);
    if (earlier != m_namesOfRun.cend() && *earlier != m_sourcePath) {
        m_baseName = m_fileName;
        m_host.logMessage(QStringLiteral("%1 is already used in this run: %2 is saved as %3")
                              .arg(taken, m_fileName, m_targetFolder + m_baseName));
    }
    m_namesOfRun.insert(m_targetFolder + m_baseName, m_sourcePath);
}

void FrameOutput::nameCapture(int index, double position) {
    if (m_options.chkFolder()) {
        m_targetFolder = sourceFolder(m_sourcePath);
    }
    if (!m_nameClaimed) {
        claimName();
    }
    m_name = m_targetFolder + m_baseName;
    if (m_options.chkAddNumber()) {
        m_name += QString::asprintf("_%.5d", index);
    }
    if (m_options.chkSec()) {
        const double seconds = std::isfinite(position) ? roundHalfEven(position) : 0;
        m_name += QString::asprintf("_%.6lld", static_cast<long long>(seconds));
    }
    const QString row = FormatClock(position) + QLatin1Char(' ') + m_name;
    if (m_options.rbFrameFile()) {
        m_host.logMessage(row);
    }
    if (m_options.rbEverSec()) {
        m_host.logMessage(row);
    }
    if (m_options.rbMatrix()) {
        m_host.logMessage(FormatClock(position));
        m_name = m_targetFolder + m_baseName;
    }
}

void FrameOutput::drawOverlay(CapturedFrame& frame, double position) const {
    if (!m_options.chktime() && !m_options.chkFilename()) {
        return;
    }
    QString text;
    if (m_options.chktime()) {
        text = FormatClock(position) + QLatin1Char(' ');
    }
    if (m_options.chkFilename()) {
        text += displayPath(m_fileName) + QLatin1Char(' ');
    }
    QImage& image = frame.image;
    const int w = image.width();
    const int h = image.height();
    QPainter painter(&image);
    painter.setFont(tahomaFont(8));
    const QString watermark = QString::fromLatin1(kWatermark);
    drawTextAt(painter, 5, h - 15, watermark, Qt::black);
    drawTextAt(painter, 5, h - 16, watermark, Qt::white);
    const int x = w - painter.fontMetrics().horizontalAdvance(text) - 20;
    drawTextAt(painter, x, h - 15, text, Qt::black);
    drawTextAt(painter, x - 1, h - 16, text, Qt::white);
    frame.drawnOn = true;
}

void FrameOutput::saveFrame(const CapturedFrame& frame) const {
    if (!(m_options.rbFrameFile() || m_options.rbEverSec()) || !m_options.rbAutoWidth()) {
        return;
    }
    if (!isImageFormat(m_format)) {
        return;
    }
    if (m_saveWidth > 0 || m_saveHeight > 0) {
        const QSize size =
            scaledSaveSize(frame.image.width(), frame.image.height(), m_saveWidth, m_saveHeight);
        QImage scaled;
        ResampleBitmap(size.width(), size.height(), ResampleFilter::Lanczos3, 0, frame.image,
                       scaled);
        saveImageAs(scaled, m_name, m_format, m_options.jpgTrackBar(), frame.bitsPerPixel);
    } else if (m_format == QLatin1String("bmp")) {
        // The frame's own DIB, in the pixel format it was captured in.
        writeFileReplacing(m_name + QStringLiteral(".bmp"), frame.bmpFileBytes());
    } else {
        saveImageAs(frame.image, m_name, m_format, m_options.jpgTrackBar(), frame.bitsPerPixel);
    }
}

void FrameOutput::setSaveSize(int width, int height) {
    m_saveWidth = std::max(width, 0);
    m_saveHeight = std::max(height, 0);
}

QSize scaledSaveSize(int sourceWidth, int sourceHeight, int width, int height) {
    if (width <= 0 && height <= 0) {
        return QSize(sourceWidth, sourceHeight);
    }
    if (width <= 0) {
        width = sourceHeight > 0
                    ? static_cast<int>(roundHalfEven(double(height) * sourceWidth / sourceHeight))
                    : height;
    } else if (height <= 0) {
        height = sourceWidth > 0
                     ? static_cast<int>(roundHalfEven(double(width) * sourceHeight / sourceWidth))
                     : width;
    }
    return QSize(std::max(width, 1), std::max(height, 1));
}

}  // namespace mx
