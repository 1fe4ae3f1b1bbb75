#include "engine/engine_fakes.h"

#include <QtEndian>
#include <cmath>
#include <memory>

namespace mx::test {
namespace {

class FakeVideoSource : public VideoSource {
public:
    explicit FakeVideoSource(FakeMedia& media) : m_media(media) {}

    void open(const QString& path) override {
        ++m_media.opens;
        m_media.openedPath = path;
    }
    int videoHeight() override { return m_media.height; }
    int videoWidth() override { return m_media.width; }
    double duration() override { return m_media.duration; }
    void seek(double seconds) override {
        m_media.seeks.push_back(seconds);
        m_position = seconds;
    }
    double position() override { return m_position; }
    bool currentImage(QByteArray* dib) override {
        ++m_media.imageRequests;
        if (m_media.picture) {
            return m_media.picture(m_position, dib);
        }
        *dib = greyDib(m_media.width, m_media.height,
                       static_cast<int>(std::lround(m_position)) & 0xff);
        return true;
    }
    void planCaptures(const std::vector<double>& seconds) override {
        m_media.planSizes.push_back(seconds.size());
        m_media.planned.insert(m_media.planned.end(), seconds.begin(), seconds.end());
    }
    void close() override { ++m_media.closes; }

private:
    FakeMedia& m_media;
    double m_position = 0;
};

}  // namespace

QByteArray makeDib(int width, int height, int bits, const std::function<QRgb(int, int)>& pixel,
                   int gap, bool packedRows) {
    const int rows = std::abs(height);
    const int bytesPerPixel = bits / 8;
    const int stride = packedRows ? width * bytesPerPixel : (width * bits + 31) / 32 * 4;
    QByteArray dib(40 + gap + stride * rows, '\0');
    auto* p = reinterpret_cast<uchar*>(dib.data());
    qToLittleEndian<quint32>(40, p);
    qToLittleEndian<qint32>(width, p + 4);
    qToLittleEndian<qint32>(height, p + 8);
    qToLittleEndian<quint16>(1, p + 12);
    qToLittleEndian<quint16>(static_cast<quint16>(bits), p + 14);
    for (int i = 0; i < gap; ++i) {
        p[40 + i] = static_cast<uchar>(0xA0 + i);
    }
    uchar* pixels = p + 40 + gap;
    for (int row = 0; row < rows; ++row) {
        const int y = height < 0 ? row : rows - 1 - row;
        uchar* out = pixels + stride * row;
        for (int x = 0; x < width; ++x) {
            const QRgb c = pixel(x, y);
            *out++ = static_cast<uchar>(qBlue(c));
            *out++ = static_cast<uchar>(qGreen(c));
            *out++ = static_cast<uchar>(qRed(c));
            if (bits == 32) {
                *out++ = 0;
            }
        }
    }
    return dib;
}

QByteArray greyDib(int width, int height, int grey) {
    return makeDib(width, height, 32, [grey](int, int) { return qRgb(grey, grey, grey); });
}

VideoSourceFactory FakeMedia::factory() {
    return [this]() -> std::unique_ptr<VideoSource> {
        return std::make_unique<FakeVideoSource>(*this);
    };
}

std::vector<double> FakeMedia::captureSeeks() const {
    if (seeks.empty()) {
        return {};
    }
    return std::vector<double>(seeks.begin() + 1, seeks.end());
}

void setFlags(ExtractionOptions& options, std::initializer_list<OptionField> fields) {
    for (OptionField field : fields) {
        options.setFlag(field, true);
    }
}

void clearMethodGroups(ExtractionOptions& options) {
    for (OptionField field :
         {OptionField::rbFrameFile, OptionField::rbMatrix, OptionField::rbEverSec,
          OptionField::rbProport, OptionField::rbRandom}) {
        options.setFlag(field, false);
    }
}

}  // namespace mx::test
