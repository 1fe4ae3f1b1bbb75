#include "resample_test_support.h"

#include <random>

namespace mx::test {

const char* filterName(ResampleFilter filter) {
    static const char* const names[] = {"Box",     "Triangle", "Hermite", "Bell",
                                        "BSpline", "Lanczos3", "Mitchell"};
    return names[static_cast<int>(filter)];
}

QImage makeImage(int width, int height, const std::function<QRgb(int, int)>& colour) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, colour(x, y));
        }
    }
    return image;
}

QImage randomImage(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint32 noise = random();
            switch ((x / 7 + y / 5) % 4) {
                case 0:
                    line[x] = noise;
                    break;
                case 1:
                    line[x] = (noise & 0xFF000000u) | ((noise & 1) ? 0xFFFFFFu : 0u);
                    break;
                default:
                    line[x] = (noise & 0xFF000000u) | 0x80C040u;
                    break;
            }
        }
    }
    return image;
}

}  // namespace mx::test
