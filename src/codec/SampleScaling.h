#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace SampleScaling
{
// A decoded sample of 1.0 (full scale) is this many 16-bit steps.
constexpr float kFullScale = 32768.0f;
// Half of one 16-bit step, added before the scale so that the result rounds to the nearest value.
constexpr float kHalfStep = 0.5f;
constexpr std::int16_t kMax16 = 32767;
constexpr std::int16_t kMin16 = -32768;
} // namespace SampleScaling

// A decoded sample (full scale 1.0) to 16-bit PCM with a volume scale. The product is clipped
// as a whole, so a loud sample at a high volume saturates instead of wrapping to the opposite
// sign; inside the range it is rounded to the nearest step.
inline std::int16_t ScaleSample(float sample, float volumeScale)
{
    using namespace SampleScaling;
    const float product = (sample * kFullScale + kHalfStep) * volumeScale;
    if (std::isnan(product)) {
        return 0;
    }
    if (product >= kFullScale) {
        return kMax16;
    }
    if (product < -kFullScale) {
        return kMin16;
    }
    return static_cast<std::int16_t>(std::floor(product));
}

// A 16-bit sample as a decoded sample, exactly.
inline float SampleFrom16(std::int16_t sample)
{
    return static_cast<float>(sample) / SampleScaling::kFullScale;
}

// Interleaved decoded samples at one volume scale, each exactly as ScaleSample gives it,
// written as 16-bit little-endian PCM. The whole frame converts in one tight loop rather than
// a call per sample. clippedSamples, when given, grows by the number of samples held to the
// 16-bit range (a NaN or infinite scale, never offered to users, is not counted).
void ScaleFrameTo16(const float* samples, std::size_t count, float volumeScale, std::uint8_t* out,
                    std::uint64_t* clippedSamples = nullptr);
// 16-bit samples at one volume scale; at 1.0 a plain copy, so mpg123's own output passes unchanged.
void Scale16FrameTo16(const std::int16_t* samples, std::size_t count, float volumeScale, std::uint8_t* out,
                      std::uint64_t* clippedSamples = nullptr);
