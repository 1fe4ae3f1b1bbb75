#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace mx {

// Writes a whole file through a temporary file in the same folder that is renamed into place,
// so a failed write never leaves a partial file where the old one was. A file of the same name
// is replaced. Throws Error("Cannot create file <path>") when the file cannot be created and
// Error("Cannot write file <path>") when a write, the flush, the close or the rename fails, for
// files of every size (the path shown as displayPath gives it).
void writeFileReplacing(const QString& path, const QByteArray& bytes);

// A BITMAPINFOHEADER (40 bytes, BI_RGB) for an uncompressed bottom-up picture.
QByteArray dibHeader(int width, int height, int bitsPerPixel);

// The pixel array of an image as DIB rows of 24 or 32 bits per pixel (blue, green, red[,
// unused]), each row padded to a multiple of 4 bytes, bottom row first unless topDown.
QByteArray dibPixels(const QImage& image, int bitsPerPixel, bool topDown = false);

// A BMP file: BITMAPFILEHEADER, then the DIB's header part (header, masks, colour table) and
// its pixel array, unchanged.
QByteArray bmpFile(const QByteArray& dibHeaderPart, const QByteArray& pixels);

// The image as a baseline JPEG: 24-bit colour input, the encoder's default parameters and
// the given quality (0..100). Throws Error when the encoder fails; never ends the process.
QByteArray encodeJpeg(const QImage& image, int quality);

// The image as a lossless PNG of 24-bit colour (the pixels a BMP of it holds). Throws Error
// when the encoder fails.
QByteArray encodePng(const QImage& image);

// The image as a lossy WebP of the given quality (0..100), through libwebp. Throws Error when
// the encoder fails, for example on a side longer than WebP can carry (16383 pixels).
QByteArray encodeWebp(const QImage& image, int quality);

// True for the formats saveImageAs writes: "bmp", "jpg", "png" and "webp".
bool isImageFormat(const QString& format);

// Saves an image as name + "." + format with the rules of writeFileReplacing: a bottom-up BMP
// of 24 or 32 bits per pixel, a JPEG or WebP of the given quality, or a PNG. Any other format
// saves nothing.
void saveImageAs(const QImage& image, const QString& name, const QString& format, int quality,
                 int bitsPerPixel);

}  // namespace mx
