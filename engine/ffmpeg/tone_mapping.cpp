#include "engine/ffmpeg/tone_mapping.h"

#include <algorithm>
#include <cmath>

namespace mx {
namespace {

constexpr int kCodes = 1024;
constexpr int kScaleSteps = 4096;
constexpr int kEncodeSteps = 16384;
constexpr double kSdrWhiteNits = 100.0;
// Peak assumed for PQ video that states none, and HLG's nominal display peak.
constexpr double kDefaultPeakNits = 1000.0;

// SMPTE ST 2084.
constexpr double kM1 = 2610.0 / 16384.0;
constexpr double kM2 = 2523.0 / 4096.0 * 128.0;
constexpr double kC1 = 3424.0 / 4096.0;
constexpr double kC2 = 2413.0 / 4096.0 * 32.0;
constexpr double kC3 = 2392.0 / 4096.0 * 32.0;

double pqToNits(double signal) {
    const double p = std::pow(std::clamp(signal, 0.0, 1.0), 1.0 / kM2);
    return 10000.0 * std::pow(std::max(p - kC1, 0.0) / (kC2 - kC3 * p), 1.0 / kM1);
}

double nitsToPq(double nits) {
    const double y = std::pow(std::clamp(nits / 10000.0, 0.0, 1.0), kM1);
    return std::pow((kC1 + kC2 * y) / (1.0 + kC3 * y), kM2);
}

// ARIB STD-B67 inverse OETF: scene light in [0, 1].
double hlgToScene(double signal) {
    constexpr double a = 0.17883277;
    constexpr double b = 1.0 - 4.0 * a;
    const double c = 0.5 - a * std::log(4.0 * a);
    signal = std::clamp(signal, 0.0, 1.0);
    return signal <= 0.5 ? signal * signal / 3.0 : (std::exp((signal - c) / a) + b) / 12.0;
}

double bt709ToLinear(double signal) {
    signal = std::clamp(signal, 0.0, 1.0);
    return signal < 0.081 ? signal / 4.5 : std::pow((signal + 0.099) / 1.099, 1.0 / 0.45);
}

double linearToBt709(double light) {
    light = std::clamp(light, 0.0, 1.0);
    return light < 0.018 ? 4.5 * light : 1.099 * std::pow(light, 0.45) - 0.099;
}

// The BT.2390 EETF: light of a display whose peak is sourcePeak, in nits, shown on one whose
// peak is targetPeak. Dark and mid tones stay; the highlights roll off towards the peak.
double eetf(double nits, double sourcePeak, double targetPeak) {
    if (sourcePeak <= targetPeak) {
        return std::min(nits, targetPeak);
    }
    const double sourcePq = nitsToPq(sourcePeak);
    const double e = std::min(nitsToPq(nits) / sourcePq, 1.0);
    const double maxLum = nitsToPq(targetPeak) / sourcePq;
    const double knee = 1.5 * maxLum - 0.5;
    double mapped = e;
    if (e > knee) {
        const double t = (e - knee) / (1.0 - knee);
        const double t2 = t * t;
        const double t3 = t2 * t;
        mapped = (2 * t3 - 3 * t2 + 1) * knee + (t3 - 2 * t2 + t) * (1 - knee) +
                 (-2 * t3 + 3 * t2) * maxLum;
    }
    return pqToNits(mapped * sourcePq);
}

}  // namespace

void LinearLightRenderer::configure(Transfer transfer, bool bt2020Primaries, double peakNits) {
    m_transfer = transfer;
    m_bt2020 = bt2020Primaries;
    m_linear.resize(kCodes);
    for (int code = 0; code < kCodes; ++code) {
        const double signal = code / double(kCodes - 1);
        double light = 0;
        switch (transfer) {
            case Transfer::Pq:
                light = pqToNits(signal) / kSdrWhiteNits;
                break;
            case Transfer::Hlg:
                light = hlgToScene(signal);
                break;
            case Transfer::Sdr:
                light = bt709ToLinear(signal);
                break;
        }
        m_linear[code] = static_cast<float>(light);
    }
    // HLG's display light is 1000 nits x Ys^0.2 x scene light (the BT.2100 OOTF, gamma 1.2).
    m_hlgGain.clear();
    if (transfer == Transfer::Hlg) {
        m_hlgGain.resize(kScaleSteps);
        for (int i = 0; i < kScaleSteps; ++i) {
            const double ys = i / double(kScaleSteps - 1);
            m_hlgGain[i] = static_cast<float>(kDefaultPeakNits / kSdrWhiteNits * std::pow(ys, 0.2));
        }
    }
    const double peak = transfer == Transfer::Pq && peakNits > 0 ? peakNits : kDefaultPeakNits;
    m_range = transfer == Transfer::Pq    ? float(10000.0 / kSdrWhiteNits)
              : transfer == Transfer::Hlg ? float(kDefaultPeakNits / kSdrWhiteNits)
                                          : 1.0f;
    m_scale.assign(kScaleSteps, 1.0f);
    if (transfer != Transfer::Sdr) {
        for (int i = 1; i < kScaleSteps; ++i) {
            const double s = i / double(kScaleSteps - 1);
            const double nits = s * s * m_range * kSdrWhiteNits;
            m_scale[i] = static_cast<float>(eetf(nits, peak, kSdrWhiteNits) / nits);
        }
        m_scale[0] = m_scale[1];
    }
    m_encode.resize(kEncodeSteps);
    for (int i = 0; i < kEncodeSteps; ++i) {
        m_encode[i] =
            static_cast<uint8_t>(std::lround(255.0 * linearToBt709(i / double(kEncodeSteps - 1))));
    }
}

void LinearLightRenderer::renderRow(uint32_t* pixels, int width) const {
    // BT.2020 to BT.709 primaries in linear light.
    static constexpr float kToBt709[9] = {1.660491f,  -0.587641f, -0.072850f, -0.124551f, 1.132900f,
                                          -0.008349f, -0.018151f, -0.100579f, 1.118730f};
    const float* linear = m_linear.data();
    for (int x = 0; x < width; ++x) {
        const uint32_t word = pixels[x];
        float r = linear[(word >> 20) & 0x3ff];
        float g = linear[(word >> 10) & 0x3ff];
        float b = linear[word & 0x3ff];
        if (m_transfer == Transfer::Hlg) {
            const float ys = std::clamp(0.2627f * r + 0.6780f * g + 0.0593f * b, 0.0f, 1.0f);
            const float gain = m_hlgGain[static_cast<int>(ys * (kScaleSteps - 1) + 0.5f)];
            r *= gain;
            g *= gain;
            b *= gain;
        }
        if (m_transfer != Transfer::Sdr) {
            const float top = std::clamp(std::max({r, g, b}) / m_range, 0.0f, 1.0f);
            const float scale =
                m_scale[static_cast<int>(std::sqrt(top) * (kScaleSteps - 1) + 0.5f)];
            r *= scale;
            g *= scale;
            b *= scale;
        }
        if (m_bt2020) {
            const float r2 = kToBt709[0] * r + kToBt709[1] * g + kToBt709[2] * b;
            const float g2 = kToBt709[3] * r + kToBt709[4] * g + kToBt709[5] * b;
            const float b2 = kToBt709[6] * r + kToBt709[7] * g + kToBt709[8] * b;
            r = r2;
            g = g2;
            b = b2;
        }
        auto encode = [this](float light) {
            return uint32_t{m_encode[static_cast<int>(
                std::clamp(light, 0.0f, 1.0f) * (kEncodeSteps - 1) + 0.5f)]};
        };
        pixels[x] = 0xff000000u | (encode(r) << 16) | (encode(g) << 8) | encode(b);
    }
}

}  // namespace mx
