#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace mx {

// One grabbed picture: the bitmap the overlay draws on, plus the captured DIB layout so the
// frame can be saved in the pixel format in which it was captured.
struct CapturedFrame {
    QImage image;           // Format_RGB32, what the overlay and the contact sheet draw with
    QByteArray headerPart;  // BITMAPINFOHEADER and whatever stood between it and the pixels
    // The pixel array as captured (rows padded to 4 bytes) when image cannot give it back
    // exactly; empty otherwise, so a capture holds one copy of the picture.
    QByteArray pixels;
    int fourthByte = 0;     // the unused byte of every captured 32-bit pixel
    int bitsPerPixel = 32;  // 24 or 32
    bool topDown = false;   // negative biHeight: first row is the top row
    bool drawnOn = false;   // set when image was changed after the capture

    // The frame as a BMP file: the captured header part and the pixels in the captured format;
    // when drawnOn, the pixels are rebuilt from image.
    QByteArray bmpFileBytes() const;
};

// Reads a packed DIB (BITMAPINFOHEADER first, the pixel array at the end of the buffer).
// Supports one plane of 24 or 32 bits per pixel, uncompressed, bottom-up or top-down, rows
// padded to 4 bytes or packed. Sizes are computed in 64 bits and checked against the buffer:
// any header that does not fit, or that this reader does not support, gives no picture.
std::optional<CapturedFrame> frameFromDib(const QByteArray& dib);

}  // namespace mx
