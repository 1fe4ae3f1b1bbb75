// Times ResampleBitmap shrinking a full-HD frame to the contact sheet's tile (Lanczos3, default
// radius) and prints the rate in megapixels of source per second.
//
//   resample_bench PICTURE [SECONDS]
// PICTURE is written first when it does not exist (a deterministic 1920x1080 test picture as
// BMP), so that a peer can be timed on exactly the same pixels.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <cstdio>
#include <random>

#include "engine/resample_bitmap.h"

namespace {

QImage testPicture() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    std::mt19937 random(1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = static_cast<int>(random() % 24);
            line[x] = qRgb((x * 255 / 1919 + noise) % 256, (y * 255 / 1079 + noise) % 256,
                           ((x ^ y) & 0xFF));
        }
    }
    QPainter painter(&image);
    for (int k = 0; k < 40; ++k) {
        painter.fillRect(static_cast<int>(random() % 1800), static_cast<int>(random() % 1000),
                         static_cast<int>(random() % 300), static_cast<int>(random() % 200),
                         QColor::fromRgb(random() | 0xFF000000u));
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: resample_bench PICTURE [SECONDS]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
    if (!QFileInfo::exists(path) && !testPicture().save(path, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const QImage source = QImage(path).convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QImage tile;
    mx::ResampleBitmap(889, 500, mx::ResampleFilter::Lanczos3, 0, source, tile);  // warm-up
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    do {
        mx::ResampleBitmap(889, 500, mx::ResampleFilter::Lanczos3, 0, source, tile);
        ++runs;
    } while (timer.nsecsElapsed() < static_cast<qint64>(seconds * 1e9));
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double megapixels = source.width() * static_cast<double>(source.height()) / 1e6;
    std::printf("%.1f\n", megapixels * runs / elapsed);
    return 0;
}
