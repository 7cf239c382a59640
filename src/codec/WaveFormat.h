#pragma once

#include <cstdint>
#include <vector>

// A WAV file's format record: the seven fields of a wave-format header in their order and
// widths, followed by the extra bytes that non-PCM formats carry.
struct WaveFormat
{
    static constexpr std::uint16_t kPcmTag = 1;
    // The fixed part of the record: six fields of the PCM record plus the extra-size field.
    static constexpr std::uint32_t kFixedRecordBytes = 18;

    std::uint16_t formatTag = kPcmTag;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    std::vector<std::uint8_t> extra; // extraSize bytes

    // Size of the whole record as it lies in memory behind a wave-format header.
    std::uint32_t RecordBytes() const { return kFixedRecordBytes + extraSize; }

    static WaveFormat Pcm(std::uint16_t channels, std::uint32_t samplesPerSec, std::uint16_t bitsPerSample)
    {
        WaveFormat format;
        format.channels = channels;
        format.samplesPerSec = samplesPerSec;
        format.blockAlign = static_cast<std::uint16_t>(channels * ((bitsPerSample + 7) / 8));
        format.avgBytesPerSec = samplesPerSec * format.blockAlign;
        format.bitsPerSample = bitsPerSample;
        return format;
    }

    bool operator==(const WaveFormat&) const = default;
};
