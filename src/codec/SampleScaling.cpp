#include "codec/SampleScaling.h"

#include <array>
#include <bit>
#include <cstring>

namespace
{
constexpr int kBitsPerByte = 8;
constexpr unsigned kLowByteMask = 0xFF;
constexpr std::size_t kStereo = 2;
// Samples converted into a local block before they are copied out as bytes: small enough for
// the stack, large enough that the copy costs next to nothing.
constexpr std::size_t kBlockSamples = 512;

// Branch-free twin of ScaleSample for a finite volume scale, where the product cannot be NaN.
// The sum goes through double, which holds it exactly, so its one rounding to float is the same
// as that of the 64-bit sum ScaleSample converts; unlike the 64-bit conversion it vectorises.
// Counts into clips the samples it held to the 16-bit range.
inline std::int16_t ScaleFiniteSample(mad_fixed_t sample, float volumeScale, std::uint32_t& clips)
{
    using namespace SampleScaling;
    const auto rounded = static_cast<float>(static_cast<double>(sample) + static_cast<double>(kHalfStep));
    const float product = std::min(std::max(rounded * volumeScale, -kProductBound), kProductBound);
    const auto t = static_cast<std::int32_t>(product);
    // Clipping to the 16-bit range before the shift gives exactly the limits ScaleSample returns.
    const std::int32_t clipped =
        std::min(std::max(t, static_cast<std::int32_t>(-kFullScale)), static_cast<std::int32_t>(kFullScale - 1));
    clips += static_cast<std::uint32_t>(clipped != t);
    return static_cast<std::int16_t>(clipped >> kShiftTo16Bit);
}

std::uint32_t ScaleMonoBlock(const mad_fixed_t* __restrict left, std::size_t count, float volumeScale,
                             std::int16_t* __restrict out)
{
    std::uint32_t clips = 0;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = ScaleFiniteSample(left[i], volumeScale, clips);
    }
    return clips;
}

std::uint32_t ScaleStereoBlock(const mad_fixed_t* __restrict left, const mad_fixed_t* __restrict right,
                               std::size_t count, float volumeScale, std::int16_t* __restrict out)
{
    std::uint32_t clips = 0;
    for (std::size_t i = 0; i < count; ++i) {
        out[kStereo * i] = ScaleFiniteSample(left[i], volumeScale, clips);
        out[kStereo * i + 1] = ScaleFiniteSample(right[i], volumeScale, clips);
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

void ScaleFrameTo16(const mad_fixed_t* left, const mad_fixed_t* right, std::size_t count, float volumeScale,
                    std::uint8_t* out, std::uint64_t* clippedSamples)
{
    const std::size_t channels = right ? kStereo : 1;
    std::array<std::int16_t, kBlockSamples> block;
    if (!std::isfinite(volumeScale)) {
        // Never offered to users, but a NaN or infinite scale must still give ScaleSample's result.
        for (std::size_t i = 0; i < count; ++i) {
            block[0] = ScaleSample(left[i], volumeScale);
            if (right) {
                block[1] = ScaleSample(right[i], volumeScale);
            }
            StoreLittleEndian(block.data(), channels, out);
            out += channels * sizeof(std::int16_t);
        }
        return;
    }
    const std::size_t framesPerBlock = kBlockSamples / channels;
    for (std::size_t done = 0; done < count; done += framesPerBlock) {
        const std::size_t frames = std::min(framesPerBlock, count - done);
        const std::uint32_t clips = right
                                        ? ScaleStereoBlock(left + done, right + done, frames, volumeScale, block.data())
                                        : ScaleMonoBlock(left + done, frames, volumeScale, block.data());
        if (clippedSamples) {
            *clippedSamples += clips;
        }
        StoreLittleEndian(block.data(), frames * channels, out);
        out += frames * channels * sizeof(std::int16_t);
    }
}
