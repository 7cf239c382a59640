#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <mad.h>

namespace SampleScaling
{
// libmad samples carry 28 fractional bits: 1.0 (full scale) is 1 << 28.
constexpr std::int64_t kFullScale = std::int64_t(1) << MAD_F_FRACBITS;
// The shift that keeps the top 16 bits of a full-scale value.
constexpr int kShiftTo16Bit = MAD_F_FRACBITS + 1 - 16;
// Half of one 16-bit step, added before the shift so that it rounds to the nearest value.
constexpr std::int64_t kHalfStep = std::int64_t(1) << (kShiftTo16Bit - 1);
constexpr std::int16_t kMax16 = 32767;
constexpr std::int16_t kMin16 = -32768;
// Products are held to this range before leaving float, so the conversion to an integer is
// always defined; anything this far out clips anyway.
constexpr float kProductBound = float(2 * kFullScale);
} // namespace SampleScaling

// libmad fixed point to 16-bit PCM with a volume scale. The product is clipped as a whole, so
// a loud sample at a high volume saturates instead of wrapping to the opposite sign.
inline std::int16_t ScaleSample(mad_fixed_t sample, float volumeScale)
{
    using namespace SampleScaling;
    // In 64 bits: a sample near the top of libmad's range must not overflow when rounded.
    const auto rounded = static_cast<float>(std::int64_t(sample) + kHalfStep);
    float product = rounded * volumeScale;
    if (std::isnan(product)) {
        product = 0.0f;
    }
    const auto t = static_cast<std::int32_t>(std::clamp(product, -kProductBound, kProductBound));
    if (t >= kFullScale) {
        return kMax16;
    }
    if (t < -kFullScale) {
        return kMin16;
    }
    return static_cast<std::int16_t>(t >> kShiftTo16Bit);
}

// One decoded frame at one volume scale, each sample exactly as ScaleSample gives it, written
// as 16-bit little-endian PCM: left only when `right` is null, otherwise left and right
// interleaved. The whole frame converts in one tight loop rather than a call per sample.
// clippedSamples, when given, grows by the number of samples held to the 16-bit range (a
// NaN or infinite scale, never offered to users, is not counted).
void ScaleFrameTo16(const mad_fixed_t* left, const mad_fixed_t* right, std::size_t count, float volumeScale,
                    std::uint8_t* out, std::uint64_t* clippedSamples = nullptr);
