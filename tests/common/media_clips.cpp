#include "common/media_clips.h"

#include <gtest/gtest.h>

#include <QtEndian>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/test_support.h"

namespace mx::test {
namespace {

constexpr int kLevelBase = 16;
constexpr int kLevelStep = 13;
// A stripe whose grey is further than this from a digit's level is not trusted.
constexpr double kLevelTolerance = 5.0;

// The average grey of a small square around (cx, cy), or -1 when it is not grey.
double greyAt(const QImage& image, int cx, int cy) {
    const int half = std::max(1, std::min(image.width(), image.height()) / 40);
    double sum = 0;
    int count = 0;
    for (int y = cy - half; y <= cy + half; ++y) {
        for (int x = cx - half; x <= cx + half; ++x) {
            const QRgb px = image.pixel(x, y);
            if (std::abs(qRed(px) - qGreen(px)) > 24 || std::abs(qBlue(px) - qGreen(px)) > 24) {
                return -1;
            }
            sum += (qRed(px) + qGreen(px) + qBlue(px)) / 3.0;
            ++count;
        }
    }
    return sum / count;
}

}  // namespace

bool makeIndexedClip(const QString& path, const IndexedClip& clip) {
    const QString level = QString("%1+%2*").arg(kLevelBase).arg(kLevelStep);
    const QString lum = QString(
                            "'%1if(lt(X,W/3),mod(floor(N/256),16),"
                            "if(lt(X,2*W/3),mod(floor(N/16),16),mod(N,16)))'")
                            .arg(level);
    // Painted small and scaled up without filtering: the per-pixel expression is slow, and the
    // stripes stay flat.
    QString graph = QString(
                        "color=c=black:s=48x16:r=%1:d=%2,format=yuv420p,geq=lum=%3:cb=128:cr=128,"
                        "scale=%4:%5:flags=neighbor")
                        .arg(clip.rate)
                        .arg(clip.seconds)
                        .arg(lum)
                        .arg(clip.width)
                        .arg(clip.height);
    if (!clip.extraFilters.isEmpty()) {
        graph += "," + clip.extraFilters;
    }
    return runFfmpeg(QStringList{"-f", "lavfi", "-i", graph} + clip.outputArgs + QStringList{path});
}

int readFrameIndex(const QImage& image) {
    if (image.isNull() || image.width() < 48 || image.height() < 16) {
        return -1;
    }
    int index = 0;
    for (int stripe = 0; stripe < 3; ++stripe) {
        const double grey = greyAt(image, image.width() * (2 * stripe + 1) / 6, image.height() / 2);
        if (grey < 0) {
            return -1;
        }
        // Limited-range luma was expanded to full range on the way to RGB.
        const double luma = grey * 219.0 / 255.0;
        const int digit = static_cast<int>(std::lround(luma / kLevelStep));
        if (digit < 0 || digit > 15 || std::abs(luma - digit * kLevelStep) > kLevelTolerance) {
            return -1;
        }
        index = index * 16 + digit;
    }
    return index;
}

int readFrameIndex(const QByteArray& dib) {
    return readFrameIndex(imageFromDib(dib));
}

QImage imageFromDib(const QByteArray& dib) {
    if (dib.size() < 40) {
        return {};
    }
    const auto* bytes = reinterpret_cast<const uchar*>(dib.constData());
    const qint32 width = qFromLittleEndian<qint32>(bytes + 4);
    const qint32 height = qFromLittleEndian<qint32>(bytes + 8);
    const quint16 bitCount = qFromLittleEndian<quint16>(bytes + 14);
    const quint32 compression = qFromLittleEndian<quint32>(bytes + 16);
    if (width <= 0 || height == 0 || height == INT32_MIN || bitCount != 32 || compression != 0) {
        return {};
    }
    const qint64 rows = std::abs(static_cast<qint64>(height));
    const qint64 stride = static_cast<qint64>(width) * 4;
    if (stride * rows > dib.size() - 40) {
        return {};
    }
    const uchar* pixels = bytes + dib.size() - stride * rows;
    QImage image(width, static_cast<int>(rows), QImage::Format_RGB32);
    for (qint64 row = 0; row < rows; ++row) {
        const qint64 source = height > 0 ? rows - 1 - row : row;
        std::memcpy(image.scanLine(static_cast<int>(row)), pixels + source * stride,
                    static_cast<size_t>(stride));
    }
    return image;
}

const char kQuadrantsFilter[] =
    "format=gbrp,"
    "geq=r='if(lt(Y,H/2),if(lt(X,W/2),255,0),if(lt(X,W/2),0,255))':"
    "g='if(lt(Y,H/2),if(lt(X,W/2),0,255),if(lt(X,W/2),0,255))':"
    "b='if(lt(Y,H/2),0,255)'";

void expectQuadrants(const QImage& image, int tolerance) {
    ASSERT_FALSE(image.isNull());
    const struct {
        double x, y;
        QRgb colour;
    } patches[] = {{0.25, 0.25, qRgb(255, 0, 0)},
                   {0.75, 0.25, qRgb(0, 255, 0)},
                   {0.25, 0.75, qRgb(0, 0, 255)},
                   {0.75, 0.75, qRgb(255, 255, 255)}};
    for (const auto& patch : patches) {
        const QRgb got = image.pixel(int(patch.x * image.width()), int(patch.y * image.height()));
        EXPECT_NEAR(qRed(got), qRed(patch.colour), tolerance) << patch.x << "," << patch.y;
        EXPECT_NEAR(qGreen(got), qGreen(patch.colour), tolerance) << patch.x << "," << patch.y;
        EXPECT_NEAR(qBlue(got), qBlue(patch.colour), tolerance) << patch.x << "," << patch.y;
    }
}

}  // namespace mx::test
