#include "codec/SampleScaling.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace
{
constexpr int kBitsPerByte = 8;
constexpr unsigned kLowByteMask = 0xFF;
constexpr float kUnchangedVolume = 1.0f;
// The largest value below the top of the range whose floor is still kMax16.
constexpr float kTopKept = 32767.0f;
// Samples converted into a local block before they are copied out as bytes: small enough for
// the stack, large enough that the copy costs next to nothing.
constexpr std::size_t kBlockSamples = 512;

// Branch-free twin of ScaleSample for a finite volume scale, where the product cannot be NaN.
// Clipping first keeps the floor inside the 16-bit range; the floor is taken as the truncation
// of a positive double (shifted by a full scale), which holds the float exactly and vectorises.
// Counts into clips the samples it held to the 16-bit range.
inline std::int16_t ScaleFiniteSample(float sample, float volumeScale, std::uint32_t& clips)
{
    using namespace SampleScaling;
    const float product = (sample * kFullScale + kHalfStep) * volumeScale;
    // Not a number only when a sample far out of range meets a volume of 0.
    const float number = product == product ? product : 0.0f;
    const float clipped = std::min(std::max(number, -kFullScale), kTopKept);
    clips += static_cast<std::uint32_t>(number >= kFullScale || number < -kFullScale);
    const auto shifted = static_cast<std::int32_t>(static_cast<double>(clipped) + static_cast<double>(kFullScale));
    return static_cast<std::int16_t>(shifted - static_cast<std::int32_t>(kFullScale));
}

std::uint32_t ScaleBlock(const float* __restrict samples, std::size_t count, float volumeScale,
                         std::int16_t* __restrict out)
{
    std::uint32_t clips = 0;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = ScaleFiniteSample(samples[i], volumeScale, clips);
    }
    return clips;
}

void StoreLittleEndian(const std::int16_t* samples, std::size_t count, std::uint8_t* out)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, samples, count * sizeof(std::int16_t));
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = static_cast<std::uint16_t>(samples[i]);
            *out++ = static_cast<std::uint8_t>(value & kLowByteMask);
            *out++ = static_cast<std::uint8_t>(value >> kBitsPerByte);
        }
    }
}
} // namespace

void ScaleFrameTo16(const float* samples, std::size_t count, float volumeScale, std::uint8_t* out,
                    std::uint64_t* clippedSamples)
{
    std::array<std::int16_t, kBlockSamples> block;
    if (!std::isfinite(volumeScale)) {
        // Never offered to users, but a NaN or infinite scale must still give ScaleSample's result.
        for (std::size_t i = 0; i < count; ++i) {
            block[0] = ScaleSample(samples[i], volumeScale);
            StoreLittleEndian(block.data(), 1, out);
            out += sizeof(std::int16_t);
        }
        return;
    }
    for (std::size_t done = 0; done < count; done += kBlockSamples) {
        const std::size_t n = std::min(kBlockSamples, count - done);
        const std::uint32_t clips = ScaleBlock(samples + done, n, volumeScale, block.data());
        if (clippedSamples) {
            *clippedSamples += clips;
        }
        StoreLittleEndian(block.data(), n, out);
        out += n * sizeof(std::int16_t);
    }
}

void Scale16FrameTo16(const std::int16_t* samples, std::size_t count, float volumeScale, std::uint8_t* out,
                      std::uint64_t* clippedSamples)
{
    if (volumeScale == kUnchangedVolume) {
        StoreLittleEndian(samples, count, out);
        return;
    }
    std::array<float, kBlockSamples> block;
    for (std::size_t done = 0; done < count; done += kBlockSamples) {
        const std::size_t n = std::min(kBlockSamples, count - done);
        for (std::size_t i = 0; i < n; ++i) {
            block[i] = SampleFrom16(samples[done + i]);
        }
        ScaleFrameTo16(block.data(), n, volumeScale, out, clippedSamples);
        out += n * sizeof(std::int16_t);
    }
}
