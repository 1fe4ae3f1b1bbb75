#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace mx::test {

// A generated clip whose every frame shows its own index (0, 1, 2, ... in decoding order of the
// generator) as three flat grey stripes, left to right: index / 256, (index / 16) % 16 and
// index % 16, each drawn at luma 16 + 13 * digit so that it survives lossy compression.
struct IndexedClip {
    int width = 320;
    int height = 240;
    int rate = 25;
    double seconds = 4.0;
    // Output options: codec, pixel format and anything the container needs.
    QStringList outputArgs{"-c:v", "libx264", "-pix_fmt", "yuv420p"};
    // Filters applied after the index is painted, e.g. "setpts=..." for uneven frame times.
    QString extraFilters;
};

// Makes the clip at path with the ffmpeg CLI; false when ffmpeg failed.
bool makeIndexedClip(const QString& path, const IndexedClip& clip = {});

// The frame index painted by makeIndexedClip, read from the centre of the three stripes;
// -1 when the picture is missing, too small or a stripe is not a clean grey level.
int readFrameIndex(const QImage& image);
int readFrameIndex(const QByteArray& dib);

// A filter that paints the picture in quadrants red, green / blue, white (in RGB, before any
// conversion to YUV), so that a picture upside down, mirrored or with its colours swapped shows.
extern const char kQuadrantsFilter[];
// Checks the centres of the quadrants of such a picture, each channel within tolerance.
void expectQuadrants(const QImage& image, int tolerance);

// A deep copy of a packed 32-bit BI_RGB DIB (bottom-up or top-down) as an RGB32 image; a null
// image when the header is not one of those or the buffer is too short.
QImage imageFromDib(const QByteArray& dib);

}  // namespace mx::test
