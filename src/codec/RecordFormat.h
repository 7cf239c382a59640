#pragma once

#include <array>
#include <cstdint>

// The capture format, field for field in the order and widths of a wave-format header.
struct RecordFormat
{
    static constexpr std::uint16_t kPcmTag = 1;
    static constexpr std::uint16_t kBitsPerSample = 16;

    std::uint16_t formatTag = kPcmTag;
    std::uint16_t channels = 2;
    std::uint32_t samplesPerSec = 44100;
    std::uint32_t avgBytesPerSec = 44100 * 4;
    std::uint16_t blockAlign = 4;
    std::uint16_t bitsPerSample = kBitsPerSample;
    std::uint16_t extraSize = 0;

    // Block alignment and byte rate always follow channels, bits and rate.
    void RecomputeDerived();

    static RecordFormat Pcm16(std::uint16_t channels, std::uint32_t samplesPerSec);
    bool operator==(const RecordFormat&) const = default;
};

// Stored settings name entries by their position, so new entries only ever go at the end.
inline constexpr std::array<std::uint32_t, 8> SampleRateTable = {8000, 11025, 22050, 44100, 48000, 32000, 24000, 16000};
// Rising order: the nearest-rate searches rely on it.
inline constexpr std::array<int, 18> BitrateTable = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                                     96, 112, 128, 144, 160, 192, 224, 256, 320};
