#include "engine/image_files.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

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

// The one function with a setjmp region: nothing with a destructor lives in it, so the jump
// skips no cleanup. *out is allocated by libjpeg (also on failure) and owned by the caller.
bool compressRgb(const unsigned char* rgb, int width, int height, int quality, unsigned char** out,
                 unsigned long* outSize, char* message) {
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
    const std::size_t rowBytes = std::size_t(width) * 3;
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
    // Packed rows: QImage pads its scan lines to 4 bytes, libjpeg wants them back to back.
    std::vector<unsigned char> packed(std::size_t(width) * 3 * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(packed.data() + std::size_t(width) * 3 * y, rgb.constScanLine(y),
                    std::size_t(width) * 3);
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok =
        compressRgb(packed.data(), width, height, qBound(0, quality, 100), &out, &outSize, message);
    const std::unique_ptr<unsigned char, FreeDeleter> owner(out);
    if (!ok) {
        throw Error(QStringLiteral("JPEG encoding failed: ") + QString::fromLocal8Bit(message));
    }
    return QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
}

void saveImageAsBmp(const QImage& image, const QString& path, int bitsPerPixel) {
    writeFileReplacing(path, bmpFile(dibHeader(image.width(), image.height(), bitsPerPixel),
                                     dibPixels(image, bitsPerPixel)));
}

void saveImageAsJpeg(const QImage& image, const QString& path, int quality) {
    writeFileReplacing(path, encodeJpeg(image, quality));
}

}  // namespace mx
