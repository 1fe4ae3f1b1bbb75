// Stand-in for the console tool while it is being written: takes `count` frames of one file at
// the proportional positions i * d / (count + 1) through the FFmpeg video source and saves
// them as JPEG files, as the console tool does.
//
//   extract_bench <file> <count> <output folder>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QtEndian>
#include <cstdio>
#include <cstring>

#include "engine/ffmpeg/ffmpeg_video_source.h"

namespace {

QImage imageFromBottomUpDib(const QByteArray& dib) {
    const auto* bytes = reinterpret_cast<const uchar*>(dib.constData());
    const int width = qFromLittleEndian<qint32>(bytes + 4);
    const int height = qFromLittleEndian<qint32>(bytes + 8);
    QImage image(width, height, QImage::Format_RGB32);
    const uchar* pixels = bytes + 40;
    for (int row = 0; row < height; ++row) {
        std::memcpy(image.scanLine(row), pixels + qsizetype(height - 1 - row) * width * 4,
                    size_t(width) * 4);
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: extract_bench <file> <count> <output folder>\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    const QDir out(QString::fromLocal8Bit(argv[3]));
    auto source = mx::createFfmpegVideoSource();
    source->open(file);
    const double duration = source->duration();
    int saved = 0;
    qint64 pictureMs = 0;
    QElapsedTimer timer;
    for (int i = 1; i <= count; ++i) {
        source->seek(i * duration / (count + 1));
        QByteArray dib;
        timer.start();
        const bool pictured = source->currentImage(&dib);
        pictureMs += timer.elapsed();
        if (pictured && imageFromBottomUpDib(dib).save(out.filePath(QString("frame_%1.jpg").arg(i)),
                                                       "JPEG", 75)) {
            ++saved;
        }
    }
    std::printf("%d of %d frames saved; %lld ms in the video source\n", saved, count,
                static_cast<long long>(pictureMs));
    return saved == count ? 0 : 1;
}
