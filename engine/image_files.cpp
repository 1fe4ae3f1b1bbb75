#include "engine/image_files.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <webp/encode.h>

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/error.h"
#include "core/file_writer.h"
#include "core/native_path.h"

namespace mx {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

void putU16(QByteArray& bytes, int offset, quint16 value) {
    qToLittleEndian<quint16>(value, bytes.data() + offset);
}

void putU32(QByteArray& bytes, int offset, quint32 value) {
    qToLittleEndian<quint32>(value, bytes.data() + offset);
}

qsizetype dibStride(int width, int bitsPerPixel) {
    return ((qsizetype(width) * bitsPerPixel + 31) / 32) * 4;
}

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg's default handler ends the process; ours jumps back into compressRgb.
[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

struct WebPDeleter {
    void operator()(uint8_t* p) const { WebPFree(p); }
};

// The one function with a setjmp region: nothing with a destructor lives in it, so the jump
// skips no cleanup. *out is allocated by libjpeg (also on failure) and owned by the caller.
bool compressRgb(const unsigned char* rgb, std::size_t rowBytes, int width, int height, int quality,
                 unsigned char** out, unsigned long* outSize, char* message) {
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegErrorManager error;
    cinfo.err = jpeg_std_error(&error.base);
    error.base.error_exit = jpegErrorExit;
    if (setjmp(error.jump)) {
        std::memcpy(message, error.message, JMSG_LENGTH_MAX);
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + rowBytes * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

void writeFileReplacing(const QString& path, const QByteArray& bytes) {
    try {
        writeFileSafely(path, bytes);
    } catch (const FileWriteError& e) {
        throw Error((e.step() == FileWriteError::Step::Create
                         ? QStringLiteral("Cannot create file ")
                         : QStringLiteral("Cannot write file ")) +
                    displayPath(path));
    }
}

QByteArray dibHeader(int width, int height, int bitsPerPixel) {
    QByteArray header(kInfoHeaderSize, '\0');
    putU32(header, 0, kInfoHeaderSize);
    putU32(header, 4, static_cast<quint32>(width));
    putU32(header, 8, static_cast<quint32>(height));
    putU16(header, 12, 1);
    putU16(header, 14, static_cast<quint16>(bitsPerPixel));
    const qsizetype imageSize = dibStride(width, bitsPerPixel) * qAbs(qsizetype(height));
    putU32(header, 20, static_cast<quint32>(imageSize));
    return header;
}

QByteArray dibPixels(const QImage& image, int bitsPerPixel, bool topDown) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    const qsizetype stride = dibStride(width, bitsPerPixel);
    QByteArray pixels(stride * height, '\0');
    for (int row = 0; row < height; ++row) {
        const int sourceRow = topDown ? row : height - 1 - row;
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(sourceRow));
        auto* out = reinterpret_cast<uchar*>(pixels.data() + stride * row);
        for (int x = 0; x < width; ++x) {
            *out++ = static_cast<uchar>(qBlue(in[x]));
            *out++ = static_cast<uchar>(qGreen(in[x]));
            *out++ = static_cast<uchar>(qRed(in[x]));
            if (bitsPerPixel == 32) {
                *out++ = 0;
            }
        }
    }
    return pixels;
}

QByteArray bmpFile(const QByteArray& dibHeaderPart, const QByteArray& pixels) {
    QByteArray file(kFileHeaderSize, '\0');
    file[0] = 'B';
    file[1] = 'M';
    putU32(file, 2, static_cast<quint32>(kFileHeaderSize + dibHeaderPart.size() + pixels.size()));
    putU32(file, 10, static_cast<quint32>(kFileHeaderSize + dibHeaderPart.size()));
    file += dibHeaderPart;
    file += pixels;
    return file;
}

QByteArray encodeJpeg(const QImage& image, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();
    const int height = rgb.height();
    // libjpeg takes the scan lines one by one, so the converted picture is the only copy.
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = compressRgb(rgb.constBits(), static_cast<std::size_t>(rgb.bytesPerLine()),
                                width, height, qBound(0, quality, 100), &out, &outSize, message);
    const std::unique_ptr<unsigned char, FreeDeleter> owner(out);
    if (!ok) {
        throw Error(QStringLiteral("JPEG encoding failed: ") + QString::fromLocal8Bit(message));
    }
    return QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
}

QByteArray encodePng(const QImage& image) {
    // Qt writes 8-bit RGB without alpha for this format: the pixels of the 24-bit BMP.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageWriter writer(&buffer, "png");
    if (rgb.isNull() || !writer.write(rgb)) {
        throw Error(QStringLiteral("PNG encoding failed: ") + writer.errorString());
    }
    return bytes;
}

QByteArray encodeWebp(const QImage& image, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull() || rgb.width() > WEBP_MAX_DIMENSION || rgb.height() > WEBP_MAX_DIMENSION) {
        throw Error(QStringLiteral("WebP encoding failed: a picture of %1 x %2 pixels is beyond "
                                   "WebP's limit of %3 pixels a side")
                        .arg(rgb.width())
                        .arg(rgb.height())
                        .arg(WEBP_MAX_DIMENSION));
    }
    uint8_t* out = nullptr;
    const std::size_t size =
        WebPEncodeRGB(rgb.constBits(), rgb.width(), rgb.height(), int(rgb.bytesPerLine()),
                      float(qBound(0, quality, 100)), &out);
    const std::unique_ptr<uint8_t, WebPDeleter> owner(out);
    if (size == 0) {
        throw Error(QStringLiteral("WebP encoding failed"));
    }
    return QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
}

bool isImageFormat(const QString& format) {
    return format == QLatin1String("bmp") || format == QLatin1String("jpg") ||
           format == QLatin1String("png") || format == QLatin1String("webp");
}

void saveImageAs(const QImage& image, const QString& name, const QString& format, int quality,
                 int bitsPerPixel) {
    QByteArray bytes;
    if (format == QLatin1String("bmp")) {
        bytes = bmpFile(dibHeader(image.width(), image.height(), bitsPerPixel),
                        dibPixels(image, bitsPerPixel));
    } else if (format == QLatin1String("jpg")) {
        bytes = encodeJpeg(image, quality);
    } else if (format == QLatin1String("png")) {
        bytes = encodePng(image);
    } else if (format == QLatin1String("webp")) {
        bytes = encodeWebp(image, quality);
    } else {
        return;
    }
    writeFileReplacing(name + QLatin1Char('.') + format, bytes);
}

}  // namespace mx
