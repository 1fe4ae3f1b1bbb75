#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "engine/ffmpeg/libav_handles.h"
#include "engine/ffmpeg/tone_mapping.h"

namespace mx {

// Turns decoded frames into packed 32-bit DIBs: a 40-byte BITMAPINFOHEADER (BI_RGB, positive
// height, so rows run bottom-up) followed by the pixels as bytes B, G, R, X with X = 255.
// Keeps its colour converter between frames and rebuilds it only when the input changes.
class DibConverter {
public:
    // Writes frame, turned clockwise by rotation degrees (0, 90, 180 or 270), into *dib.
    // False when the frame cannot be converted or the picture is too large for a DIB.
    bool convert(const AVFrame& frame, int rotation, QByteArray* dib);

private:
    struct Input {
        int width = 0;
        int height = 0;
        int format = -1;
        int colorspace = -1;
        int range = -1;
        int transfer = -1;
        int primaries = -1;
        int peakNits = 0;
        bool operator==(const Input&) const = default;
    };

    bool prepare(const Input& input);
    void render(uint32_t* pixels, int width, int height) const;

    av::SwsPtr m_sws;
    Input m_input;
    // Set for video a player shows through linear light (BT.2020 primaries, PQ, HLG): the
    // scaler then gives 10-bit RGB, which the renderer turns into BT.709 SDR in place.
    bool m_linearLight = false;
    LinearLightRenderer m_renderer;
    std::vector<uint32_t> m_pixels;  // a turned frame as converted, before turning; empty otherwise
};

}  // namespace mx
