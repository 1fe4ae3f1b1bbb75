#include "engine/captured_frame.h"

#include <QtEndian>
#include <cstdint>
#include <cstring>

#include "engine/image_files.h"

namespace mx {
namespace {

constexpr qsizetype kInfoHeaderSize = 40;
constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiBitfields = 3;

template <typename T>
T readLe(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

}  // namespace

QByteArray CapturedFrame::bmpFileBytes() const {
    return bmpFile(headerPart, drawnOn ? dibPixels(image, bitsPerPixel, topDown) : pixels);
}

std::optional<CapturedFrame> frameFromDib(const QByteArray& dib) {
    const qsizetype size = dib.size();
    if (size < kInfoHeaderSize) {
        return std::nullopt;
    }
    const std::int64_t width = readLe<qint32>(dib, 4);
    const std::int64_t height = readLe<qint32>(dib, 8);
    const std::int64_t planes = readLe<quint16>(dib, 12);
    const std::int64_t bits = readLe<quint16>(dib, 14);
    const quint32 compression = readLe<quint32>(dib, 16);
    const bool uncompressed = compression == kBiRgb || (compression == kBiBitfields && bits == 32);
    if (planes != 1 || (bits != 24 && bits != 32) || !uncompressed || width <= 0 || height == 0) {
        return std::nullopt;
    }
    const std::int64_t rows = height < 0 ? -height : height;
    const std::int64_t available = size - kInfoHeaderSize;
    // Rows are padded to 4 bytes in a well-formed DIB; a buffer that only holds packed rows is
    // read as such rather than rejected.
    const std::int64_t packedStride = width * bits / 8;
    const std::int64_t paddedStride = (width * bits + 31) / 32 * 4;
    // Compared by division: stride * rows can pass 64 bits for a hostile header.
    auto fits = [&](std::int64_t stride) { return stride > 0 && rows <= available / stride; };
    std::int64_t stride = paddedStride;
    if (!fits(paddedStride)) {
        stride = packedStride;
        if (!fits(packedStride)) {
            return std::nullopt;
        }
    }
    const qsizetype pixelStart = size - static_cast<qsizetype>(stride * rows);

    CapturedFrame frame;
    frame.bitsPerPixel = static_cast<int>(bits);
    frame.topDown = height < 0;
    frame.image = QImage(static_cast<int>(width), static_cast<int>(rows), QImage::Format_RGB32);
    if (frame.image.isNull()) {
        return std::nullopt;
    }
    const int bytesPerPixel = static_cast<int>(bits / 8);
    const auto* source = reinterpret_cast<const uchar*>(dib.constData()) + pixelStart;
    for (std::int64_t row = 0; row < rows; ++row) {
        const uchar* in = source + stride * row;
        const int y = static_cast<int>(frame.topDown ? row : rows - 1 - row);
        auto* out = reinterpret_cast<QRgb*>(frame.image.scanLine(y));
        for (std::int64_t x = 0; x < width; ++x, in += bytesPerPixel) {
            out[x] = qRgb(in[2], in[1], in[0]);
        }
    }
    frame.headerPart = dib.left(pixelStart);
    if (stride == paddedStride) {
        frame.pixels = dib.mid(pixelStart);
    } else {
        frame.pixels = dibPixels(frame.image, frame.bitsPerPixel, frame.topDown);
    }
    // Keep the header's image size truthful for the file we will write.
    if (readLe<quint32>(frame.headerPart, 20) != 0) {
        qToLittleEndian<quint32>(static_cast<quint32>(frame.pixels.size()),
                                 frame.headerPart.data() + 20);
    }
    return frame;
}

}  // namespace mx
