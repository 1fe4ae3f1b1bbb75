#include "engine/contact_sheet.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "core/error.h"
#include "core/format_clock.h"
#include "core/native_path.h"
#include "engine/engine_host.h"
#include "engine/image_files.h"
#include "engine/resample_bitmap.h"
#include "engine/text_drawing.h"
#include "engine/video_source.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

constexpr int kGrid = 3;
constexpr int kBandHeight = 40;

// Copies image onto picture with its top-left corner at (x, y), cut at picture's edges. Both
// are 32-bit pictures; the bytes are taken as they are.
void copyInto(QImage& picture, const QImage& image, int x, int y) {
    const QImage source = image.format() == QImage::Format_RGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    const QRect area = QRect(x, y, source.width(), source.height()).intersected(picture.rect());
    if (area.isEmpty()) {
        return;
    }
    for (int row = area.top(); row <= area.bottom(); ++row) {
        const uchar* from = source.constScanLine(row - y) + 4 * (area.left() - x);
        std::memcpy(picture.scanLine(row) + 4 * area.left(), from,
                    static_cast<std::size_t>(area.width()) * 4);
    }
}

}  // namespace

ContactSheet::ContactSheet(EngineHost& host, const ExtractionOptions& options)
    : m_host(host), m_options(options) {}

void ContactSheet::setUp(int videoWidth, int videoHeight) {
    m_host.logMessage(QStringLiteral("Start matrix-3x3"));
    m_videoWidth = videoWidth;
    m_videoHeight = videoHeight;
    m_sizedBySetUp = m_options.rbAutoWidth();
    if (m_sizedBySetUp) {
        const int w3 = kGrid * videoWidth;
        const int h3 = kGrid * videoHeight;
        m_host.logMessage(QStringLiteral("new %1x%2").arg(w3).arg(h3));
        // In 64 bits: a product that wrapped in 32 would leave a huge sheet unscaled.
        const long long pixels = static_cast<long long>(w3) * h3;
        if (pixels <= kMaxSheetPixels) {
            m_tileWidth = videoWidth;
            m_tileHeight = videoHeight;
        } else {
            const double f = static_cast<double>(pixels) / static_cast<double>(kMaxSheetPixels);
            m_host.logMessage(QStringLiteral("new*") + formatGeneral(f));
            m_tileHeight = static_cast<int>(roundHalfEven(videoHeight / f));
            m_tileWidth = static_cast<int>(roundHalfEven(videoWidth / f));
            m_host.logMessage(QStringLiteral("new %1x%2").arg(m_tileWidth).arg(m_tileHeight));
            m_resample = true;
        }
        const int width = kGrid * m_tileWidth;
        const int height = kGrid * m_tileHeight;
        if (width > 0 && height > 0) {
            m_picture = QImage(width, height + kBandHeight, QImage::Format_RGB32);
            if (m_picture.isNull()) {
                throw Error("Out of memory");
            }
            m_picture.fill(Qt::white);
        }
    }
    m_column = 1;
    m_row = 1;
}

void ContactSheet::addTile(const QImage& frame) {
    if (m_options.rbAutoWidth() && !m_picture.isNull()) {
        if (m_resample) {
            QImage tile;
            ResampleBitmap(m_tileWidth, m_tileHeight, ResampleFilter::Lanczos3, 0, frame, tile);
            copyInto(m_picture, tile, (m_column - 1) * m_tileWidth,
                     kBandHeight + (m_row - 1) * m_tileHeight);
        } else {
            copyInto(m_picture, frame, (m_column - 1) * m_videoWidth,
                     kBandHeight + (m_row - 1) * m_videoHeight);
        }
    }
    ++m_column;
    if (m_column > kGrid) {
        m_column = 1;
        ++m_row;
    }
}

void ContactSheet::finish(const QString& name, const QString& format, VideoSource& source,
                          const QString& fileName, double sizeInMb) {
    m_host.logMessage(QStringLiteral("save-") + name);
    if (name.isEmpty()) {
        m_host.logMessage(QStringLiteral("Contact sheet not saved: no capture was taken"));
        return;
    }
    if (m_picture.isNull()) {
        m_host.logMessage(m_sizedBySetUp
                              ? QStringLiteral("Contact sheet not saved: the video has no size")
                              : QStringLiteral("Contact sheet not saved: Auto Width is off"));
        return;
    }
    const double duration = source.duration();
    const int height = source.videoHeight();
    const int width = source.videoWidth();
    const QString header =
        QStringLiteral("FileName:") + displayPath(fileName) + QStringLiteral(" Duration:") +
        FormatClock(duration) + QStringLiteral(" Resolution:") + QString::number(width) +
        QStringLiteral(" x ") + QString::number(height) + QStringLiteral(" File size:") +
        formatGeneral(sizeInMb) + QStringLiteral(" mb");
    {
        QPainter painter(&m_picture);
        const QRect band(0, 0, m_picture.width(), kBandHeight);
        painter.fillRect(band, Qt::black);
        // The sheet lies below the band: text never reaches into it.
        painter.setClipRect(band);
        painter.setFont(tahomaFont(14));
        drawTextAt(painter, 10, 5, header, Qt::white);
    }
    saveImageAs(m_picture, name, format, m_options.jpgTrackBar(), 24);
    m_picture = QImage();
}

}  // namespace mx
