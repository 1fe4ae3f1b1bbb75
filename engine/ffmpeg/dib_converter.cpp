#include "engine/ffmpeg/dib_converter.h"

#include <QtEndian>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

namespace mx {
namespace {

constexpr int kHeaderSize = 40;

// Full-range ("J") formats are deprecated as inputs to swscale; the same layout with the range
// passed separately converts identically.
AVPixelFormat withoutFullRangeAlias(AVPixelFormat format, bool* fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            *fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            *fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            *fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            *fullRange = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            *fullRange = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

// The YUV matrix of the frame; untagged video is BT.709 when it is HD and BT.601 otherwise, as
// players assume.
int swsColorspace(int colorspace, int width, int height) {
    switch (colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
            return SWS_CS_ITU601;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return (width >= 1280 || height > 576) ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

// The brightest light the frame's metadata states, in nits; 0 when it states none.
int statedPeakNits(const AVFrame& frame) {
    if (const AVFrameSideData* data =
            av_frame_get_side_data(&frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL)) {
        const auto* level = reinterpret_cast<const AVContentLightMetadata*>(data->data);
        if (level->MaxCLL > 0) {
            return static_cast<int>(level->MaxCLL);
        }
    }
    if (const AVFrameSideData* data =
            av_frame_get_side_data(&frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA)) {
        const auto* mastering = reinterpret_cast<const AVMasteringDisplayMetadata*>(data->data);
        if (mastering->has_luminance && mastering->max_luminance.den > 0) {
            return static_cast<int>(av_q2d(mastering->max_luminance));
        }
    }
    return 0;
}

void putLe32(char* at, uint32_t value) {
    qToLittleEndian<quint32>(value, at);
}
void putLe16(char* at, uint16_t value) {
    qToLittleEndian<quint16>(value, at);
}

}  // namespace

bool DibConverter::prepare(const Input& input) {
    if (m_sws && input == m_input) {
        return true;
    }
    m_sws.reset();
    m_input = input;
    bool fullRange = input.range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format =
        withoutFullRangeAlias(static_cast<AVPixelFormat>(input.format), &fullRange);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (!desc) {
        return false;
    }
    const bool pq = input.transfer == AVCOL_TRC_SMPTE2084;
    const bool hlg = input.transfer == AVCOL_TRC_ARIB_STD_B67;
    const bool bt2020 = input.primaries == AVCOL_PRI_BT2020;
    m_linearLight = pq || hlg || bt2020;
    if (m_linearLight) {
        using Transfer = LinearLightRenderer::Transfer;
        m_renderer.configure(pq    ? Transfer::Pq
                             : hlg ? Transfer::Hlg
                                   : Transfer::Sdr,
                             bt2020, input.peakNits);
    }
    // The output has the input's size, so the flags only choose how chroma is upsampled.
    // Bilinear with accurate rounding keeps colours within a level or two at a tenth of the
    // cost of bicubic full-chroma interpolation, which matters for 1080p captures.
    m_sws.reset(sws_getContext(input.width, input.height, format, input.width, input.height,
                               m_linearLight ? AV_PIX_FMT_X2RGB10LE : AV_PIX_FMT_BGRA,
                               SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!m_sws) {
        return false;
    }
    if (!(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
        const int* srcMatrix =
            sws_getCoefficients(swsColorspace(input.colorspace, input.width, input.height));
        sws_setColorspaceDetails(m_sws.get(), srcMatrix, fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    return true;
}

void DibConverter::render(uint32_t* pixels, int width, int height) const {
    if (!m_linearLight) {
        return;
    }
    for (int row = 0; row < height; ++row) {
        m_renderer.renderRow(pixels + static_cast<size_t>(row) * width, width);
    }
}

bool DibConverter::convert(const AVFrame& frame, int rotation, QByteArray* dib) {
    const int width = frame.width;
    const int height = frame.height;
    if (width <= 0 || height <= 0 || !frame.data[0]) {
        return false;
    }
    const int64_t pixelBytes = int64_t{width} * height * 4;
    if (pixelBytes > std::numeric_limits<int32_t>::max() - kHeaderSize) {
        return false;
    }
    if (!prepare({width, height, frame.format, frame.colorspace, frame.color_range, frame.color_trc,
                  frame.color_primaries, statedPeakNits(frame)})) {
        return false;
    }
    const bool sideways = rotation == 90 || rotation == 270;
    const int outWidth = sideways ? height : width;
    const int outHeight = sideways ? width : height;
    dib->resize(kHeaderSize + pixelBytes);
    char* header = dib->data();
    std::memset(header, 0, kHeaderSize);
    putLe32(header + 0, kHeaderSize);
    putLe32(header + 4, static_cast<uint32_t>(outWidth));
    putLe32(header + 8, static_cast<uint32_t>(outHeight));
    putLe16(header + 12, 1);
    putLe16(header + 14, 32);
    putLe32(header + 20, static_cast<uint32_t>(pixelBytes));

    auto* out = reinterpret_cast<uint32_t*>(dib->data() + kHeaderSize);
    if (rotation != 90 && rotation != 180 && rotation != 270) {
        // Straight into the bottom-up pixel array: the top row goes last, rows run backwards.
        uint8_t* dst[4] = {
            reinterpret_cast<uint8_t*>(out + static_cast<size_t>(height - 1) * width), nullptr,
            nullptr, nullptr};
        const int dstStride[4] = {-width * 4, 0, 0, 0};
        m_pixels.clear();
        m_pixels.shrink_to_fit();
        if (sws_scale(m_sws.get(), frame.data, frame.linesize, 0, height, dst, dstStride) !=
            height) {
            return false;
        }
        render(out, width, height);
        return true;
    }
    // Turned pictures go through one converted copy.
    m_pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(m_pixels.data()), nullptr, nullptr, nullptr};
    const int dstStride[4] = {width * 4, 0, 0, 0};
    if (sws_scale(m_sws.get(), frame.data, frame.linesize, 0, height, dst, dstStride) != height) {
        return false;
    }
    render(m_pixels.data(), width, height);
    // Output row r (counted from the top of the picture as shown) is stored at row
    // outHeight - 1 - r of the bottom-up pixel array.
    const uint32_t* in = m_pixels.data();
    for (int r = 0; r < outHeight; ++r) {
        uint32_t* row = out + static_cast<size_t>(outHeight - 1 - r) * outWidth;
        switch (rotation) {
            case 90:  // shown (x, r) comes from source (r, height - 1 - x)
                for (int x = 0; x < outWidth; ++x) {
                    row[x] = in[static_cast<size_t>(height - 1 - x) * width + r];
                }
                break;
            case 180:
                for (int x = 0; x < outWidth; ++x) {
                    row[x] = in[static_cast<size_t>(height - 1 - r) * width + (width - 1 - x)];
                }
                break;
            default:  // 270: shown (x, r) comes from source (width - 1 - r, x)
                for (int x = 0; x < outWidth; ++x) {
                    row[x] = in[static_cast<size_t>(x) * width + (width - 1 - r)];
                }
                break;
        }
    }
    m_pixels.clear();
    m_pixels.shrink_to_fit();
    return true;
}

}  // namespace mx
