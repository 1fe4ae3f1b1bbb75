#pragma once

#include <cstdint>
#include <vector>

namespace mx {

// Shows wide-gamut and high-dynamic-range video as a player does on an SDR BT.709 screen:
// the signal is taken to linear light, turned to BT.709 primaries, and, for PQ and HLG,
// tone-mapped with the BT.2390 curve applied to the largest of the three components (so hue
// and saturation stay), then encoded with the BT.709 transfer.
//
// It works in place on 32-bit pixels that hold 10-bit R, G, B (bits 20-29, 10-19, 0-9) and
// leaves bytes B, G, R, 255.
class LinearLightRenderer {
public:
    enum class Transfer { Sdr, Pq, Hlg };

    // peakNits: the brightest light the video's metadata states; 0 when it states none.
    void configure(Transfer transfer, bool bt2020Primaries, double peakNits);
    void renderRow(uint32_t* pixels, int width) const;

private:
    Transfer m_transfer = Transfer::Sdr;
    bool m_bt2020 = false;
    std::vector<float> m_linear;    // 10-bit code -> linear light, 1.0 = SDR white (100 nits)
    std::vector<float> m_scale;     // tone-mapping factor over sqrt(light / m_range)
    std::vector<float> m_hlgGain;   // HLG's system gain over scene luminance
    std::vector<uint8_t> m_encode;  // linear [0, 1] -> 8-bit BT.709 signal
    float m_range = 1.0f;           // the largest linear value the transfer gives
};

}  // namespace mx
