#include "codec/MpegFrameHeader.h"

#include <algorithm>
#include <array>

namespace
{
constexpr std::uint8_t kSyncByte = 0xFF;
constexpr std::uint8_t kSyncMask = 0xE0;
constexpr int kVersionCount = 3;
constexpr int kRatesPerVersion = 3;

constexpr std::array<std::array<int, kRatesPerVersion>, kVersionCount> kSampleRates = {{
    {44100, 48000, 32000}, // MPEG-1
    {22050, 24000, 16000}, // MPEG-2
    {11025, 12000, 8000},  // MPEG-2.5
}};

// Kilobits per second by bit rate index; index 0 (free format) and 15 (forbidden) have none.
constexpr int kBitrateIndexCount = 15;
using BitrateRow = std::array<int, kBitrateIndexCount>;
constexpr BitrateRow kMpeg1Layer1Rates = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr BitrateRow kMpeg1Layer2Rates = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr BitrateRow kMpeg1Layer3Rates = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr BitrateRow kMpeg2Layer1Rates = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr BitrateRow kMpeg2Layer23Rates = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

constexpr int kLayer1Samples = 384;
constexpr int kLayer2Samples = 1152;
constexpr int kMpeg1Layer3Samples = 1152;
constexpr int kMpeg2Layer3Samples = 576;
constexpr int kLayer1SlotBytes = 4;
constexpr int kLayer1SlotsPerSecondFactor = 12;
constexpr int kBitsPerByte = 8;
constexpr int kBitsPerKilobit = 1000;
constexpr int kMonoChannelMode = 3;
constexpr int kReservedEmphasis = 2;
constexpr int kReservedVersionBits = 1;

// Layer III side information by version and channel count.
constexpr std::size_t kMpeg1StereoSideInfo = 32;
constexpr std::size_t kMpeg1MonoSideInfo = 17;
constexpr std::size_t kMpeg2StereoSideInfo = 17;
constexpr std::size_t kMpeg2MonoSideInfo = 9;

constexpr const BitrateRow& BitratesFor(int version, int layer)
{
    if (version == CMpegFrameHeader::kMpeg1) {
        return layer == 1 ? kMpeg1Layer1Rates : layer == 2 ? kMpeg1Layer2Rates : kMpeg1Layer3Rates;
    }
    return layer == 1 ? kMpeg2Layer1Rates : kMpeg2Layer23Rates;
}

constexpr int SamplesPerFrame(int version, int layer)
{
    if (layer == 1) {
        return kLayer1Samples;
    }
    if (layer == 2) {
        return kLayer2Samples;
    }
    return version == CMpegFrameHeader::kMpeg1 ? kMpeg1Layer3Samples : kMpeg2Layer3Samples;
}

constexpr std::size_t FrameLength(int version, int layer, int kilobits, int sampleRate, int padding)
{
    const std::int64_t bitsPerSecond = std::int64_t(kilobits) * kBitsPerKilobit;
    if (layer == 1) {
        return std::size_t((kLayer1SlotsPerSecondFactor * bitsPerSecond / sampleRate + padding) * kLayer1SlotBytes);
    }
    const int bytesPerBitPerSecond = SamplesPerFrame(version, layer) / kBitsPerByte;
    return std::size_t(bytesPerBitPerSecond * bitsPerSecond / sampleRate + padding);
}

constexpr std::size_t LargestFrameLength()
{
    std::size_t largest = 0;
    for (int version = 0; version < kVersionCount; ++version) {
        for (int layer = 1; layer <= 3; ++layer) {
            for (int kilobits : BitratesFor(version, layer)) {
                for (int rate : kSampleRates[version]) {
                    largest = std::max(largest, FrameLength(version, layer, kilobits, rate, 1));
                }
            }
        }
    }
    return largest;
}
} // namespace

static_assert(LargestFrameLength() == CMpegFrameHeader::kLargestFrameLength);
static_assert(CMpegFrameHeader::kRateSlotCount == kVersionCount * kRatesPerVersion);

bool CMpegFrameHeader::Parse(const std::uint8_t* p, CMpegFrameHeader& header)
{
    if (p[0] != kSyncByte || (p[1] & kSyncMask) != kSyncMask) {
        return false;
    }
    const int versionBits = (p[1] >> 3) & 0x03;
    const int layerBits = (p[1] >> 1) & 0x03;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 0x03;
    const int padding = (p[2] >> 1) & 0x01;
    const int channelMode = p[3] >> 6;
    const int emphasis = p[3] & 0x03;
    if (versionBits == kReservedVersionBits || layerBits == 0 || bitrateIndex == 0 ||
        bitrateIndex >= kBitrateIndexCount || rateIndex >= kRatesPerVersion || emphasis == kReservedEmphasis) {
        return false;
    }
    header.version = versionBits == 3 ? kMpeg1 : versionBits == 2 ? kMpeg2 : kMpeg25;
    header.layer = 4 - layerBits;
    header.rateSlot = header.version * kRatesPerVersion + rateIndex;
    header.mono = channelMode == kMonoChannelMode;
    header.samples = SamplesPerFrame(header.version, header.layer);
    header.kilobits = BitratesFor(header.version, header.layer)[bitrateIndex];
    header.length = FrameLength(header.version, header.layer, header.kilobits, header.SampleRate(), padding);
    return true;
}

int CMpegFrameHeader::SampleRateOfSlot(int rateSlot)
{
    return kSampleRates[std::size_t(rateSlot / kRatesPerVersion)][std::size_t(rateSlot % kRatesPerVersion)];
}

bool CMpegFrameHeader::SameStream(const CMpegFrameHeader& other) const
{
    return version == other.version && layer == other.layer && rateSlot == other.rateSlot && mono == other.mono;
}

std::size_t CMpegFrameHeader::SideInfoSize() const
{
    if (version == kMpeg1) {
        return mono ? kMpeg1MonoSideInfo : kMpeg1StereoSideInfo;
    }
    return mono ? kMpeg2MonoSideInfo : kMpeg2StereoSideInfo;
}

std::size_t CMpegFrameHeader::ShortestFrameLength() const
{
    const BitrateRow& rates = BitratesFor(version, layer);
    return FrameLength(version, layer, rates[1], SampleRate(), 0);
}

std::size_t CMpegFrameHeader::LongestFrameLength() const
{
    const BitrateRow& rates = BitratesFor(version, layer);
    return FrameLength(version, layer, rates[kBitrateIndexCount - 1], SampleRate(), 1);
}
