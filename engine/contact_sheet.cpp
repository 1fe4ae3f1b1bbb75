#include "engine/contact_sheet.h"

#include "engine/engine_host.h"
#include "engine/video_source.h"
#include "settings/extraction_options.h"

namespace mx {

ContactSheet::ContactSheet(EngineHost& host, const ExtractionOptions& options)
    : m_host(host), m_options(options) {}

void ContactSheet::setUp(int videoWidth, int videoHeight) {
    Q_UNUSED(videoWidth);
    Q_UNUSED(videoHeight);
    m_host.logMessage(QStringLiteral("Start matrix-3x3"));
}

void ContactSheet::addTile(const QImage& frame) {
    Q_UNUSED(frame);
}

void ContactSheet::finish(const QString& name, const QString& format, VideoSource& source,
                          const QString& fileName, double sizeInMb) {
    Q_UNUSED(format);
    Q_UNUSED(source);
    Q_UNUSED(fileName);
    Q_UNUSED(sizeInMb);
    m_host.logMessage(QStringLiteral("save-") + name);
}

}  // namespace mx
