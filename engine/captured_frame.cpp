#include "engine/captured_frame.h"

#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mx {
namespace {

constexpr qsizetype kInfoHeaderSize = 40;
constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiBitfields = 3;

template <typename T>
T readLe(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

constexpr qsizetype kFileHeaderSize = 14;

// The fourth byte of every 32-bit pixel when it is the same throughout; -1 otherwise.
int uniformFourthByte(const uchar* pixels, std::int64_t stride, std::int64_t rows,
                      std::int64_t width) {
    const int value = rows > 0 && width > 0 ? pixels[3] : 0;
    for (std::int64_t row = 0; row < rows; ++row) {
        const uchar* in = pixels + stride * row + 3;
        for (std::int64_t x = 0; x < width; ++x, in += 4) {
            if (*in != value) {
                return -1;
            }
        }
    }
    return value;
}

}  // namespace

// Built in one buffer straight from the picture, so that saving holds no more than the picture
// and the file's bytes.
QByteArray CapturedFrame::bmpFileBytes() const {
    const bool fromImage = drawnOn || pixels.isEmpty();
    const int width = image.width();
    const int height = image.height();
    const qsizetype stride = (qsizetype(width) * bitsPerPixel + 31) / 32 * 4;
    const qsizetype pixelBytes = fromImage ? stride * height : pixels.size();
    QByteArray file(kFileHeaderSize, '\0');
    file[0] = 'B';
    file[1] = 'M';
    const qsizetype total = kFileHeaderSize + headerPart.size() + pixelBytes;
    qToLittleEndian<quint32>(static_cast<quint32>(total), file.data() + 2);
    qToLittleEndian<quint32>(static_cast<quint32>(kFileHeaderSize + headerPart.size()),
                             file.data() + 10);
    file.reserve(total);
    file += headerPart;
    if (!fromImage) {
        file += pixels;
        return file;
    }
    const qsizetype pixelStart = file.size();
    file.resize(total);
    // A drawn frame's unused fourth byte is 0; an untouched one keeps the byte it was captured
    // with.
    const uchar fourth = drawnOn ? 0 : static_cast<uchar>(fourthByte);
    for (int row = 0; row < height; ++row) {
        const int sourceRow = topDown ? row : height - 1 - row;
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(sourceRow));
        auto* out = reinterpret_cast<uchar*>(file.data() + pixelStart + stride * row);
        uchar* const rowEnd = out + stride;
        for (int x = 0; x < width; ++x) {
            *out++ = static_cast<uchar>(qBlue(in[x]));
            *out++ = static_cast<uchar>(qGreen(in[x]));
            *out++ = static_cast<uchar>(qRed(in[x]));
            if (bitsPerPixel == 32) {
                *out++ = fourth;
            }
        }
        std::memset(out, 0, static_cast<size_t>(rowEnd - out));
    }
    return file;
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
        if (bytesPerPixel == 4) {
            // Bytes B, G, R, X are a little-endian 0xXXRRGGBB: the picture's pixel once X is
            // made opaque.
            for (std::int64_t x = 0; x < width; ++x) {
                out[x] = qFromLittleEndian<quint32>(in + 4 * x) | 0xff000000u;
            }
            continue;
        }
        for (std::int64_t x = 0; x < width; ++x, in += bytesPerPixel) {
            out[x] = qRgb(in[2], in[1], in[0]);
        }
    }
    frame.headerPart = dib.left(pixelStart);
    // The captured bytes are kept only where the picture cannot give them back: 32-bit pixels
    // whose unused byte varies, or 24-bit rows whose padding holds data.
    const int fourth = bits == 32 ? uniformFourthByte(source, stride, rows, width) : 0;
    bool paddingClear = true;
    for (std::int64_t row = 0; bits == 24 && stride == paddedStride && row < rows; ++row) {
        for (std::int64_t at = packedStride; at < stride; ++at) {
            paddingClear = paddingClear && source[stride * row + at] == 0;
        }
    }
    if (stride == paddedStride && (fourth < 0 || !paddingClear)) {
        frame.pixels = dib.mid(pixelStart);
    }
    frame.fourthByte = std::max(fourth, 0);
    // Keep the header's image size truthful for the file we will write.
    if (readLe<quint32>(frame.headerPart, 20) != 0) {
        qToLittleEndian<quint32>(static_cast<quint32>(paddedStride * rows),
                                 frame.headerPart.data() + 20);
    }
    return frame;
}

}  // namespace mx
