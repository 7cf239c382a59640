#pragma once

#include <cstddef>
#include <cstdint>

// Interleaved little-endian PCM as the sound devices take and give it.
struct PcmFormat
{
    static constexpr int kMaxChannels = 2;
    static constexpr int kDefaultBits = 16;

    int channels = 2;
    std::uint32_t sampleRate = 44100;
    int bitsPerSample = kDefaultBits; // 16 signed, or 8 unsigned (playback only)

    static PcmFormat Pcm16(int channelCount, std::uint32_t rate) { return PcmFormat{channelCount, rate, kDefaultBits}; }

    std::size_t BlockAlign() const { return static_cast<std::size_t>(channels) * (bitsPerSample / 8); }
    std::size_t BytesPerSecond() const { return BlockAlign() * sampleRate; }
    bool IsValid() const
    {
        return channels >= 1 && channels <= kMaxChannels && sampleRate > 0 &&
               (bitsPerSample == 8 || bitsPerSample == 16);
    }
    bool operator==(const PcmFormat&) const = default;
};
