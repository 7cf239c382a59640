#include "InfoTagFrame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace
{
enum MpegVersion
{
    kMpeg1,
    kMpeg2,
    kMpeg25,
    kNoVersion
};

constexpr int kRatesPerVersion = 3;
constexpr std::array<std::array<int, kRatesPerVersion>, 3> kSampleRates = {{
    {44100, 48000, 32000}, // MPEG-1
    {22050, 24000, 16000}, // MPEG-2
    {11025, 12000, 8000},  // MPEG-2.5
}};
// Layer III bit rates by index 1..14 (index 0 is free format, 15 forbidden).
constexpr int kBitrateIndexCount = 15;
constexpr std::array<int, kBitrateIndexCount> kMpeg1Kbps = {0,   32,  40,  48,  56,  64,  80, 96,
                                                            112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, kBitrateIndexCount> kMpeg2Kbps = {0,  8,  16, 24,  32,  40,  48, 56,
                                                            64, 80, 96, 112, 128, 144, 160};

constexpr int kMpeg1SamplesPerFrame = 1152;
constexpr int kMpeg2SamplesPerFrame = 576;
// Frame bytes = coefficient * kbps / sample rate (plus one when the padding bit is set).
constexpr int kMpeg1SizeCoefficient = 144000;
constexpr int kMpeg2SizeCoefficient = 72000;

constexpr int kModeMono = 3;
constexpr std::size_t kMpeg1StereoSideInfo = 32;
constexpr std::size_t kMpeg1MonoSideInfo = 17;
constexpr std::size_t kMpeg2StereoSideInfo = 17;
constexpr std::size_t kMpeg2MonoSideInfo = 9;

// Xing header: magic, flags, frames, bytes, a 100-entry seek table and a quality figure.
constexpr std::size_t kMagicBytes = 4;
constexpr std::size_t kFieldBytes = 4;
constexpr std::size_t kTocEntries = 100;
constexpr std::size_t kXingBytes = kMagicBytes + kFieldBytes * 4 + kTocEntries;
constexpr std::uint32_t kFramesFlag = 1;
constexpr std::uint32_t kBytesFlag = 2;
constexpr std::uint32_t kTocFlag = 4;
constexpr std::uint32_t kQualityFlag = 8;
constexpr std::uint32_t kAllFlags = kFramesFlag | kBytesFlag | kTocFlag | kQualityFlag;
constexpr int kTocScale = 256;
constexpr int kTocLargest = 255;

// LAME's extension right after the Xing header.
constexpr std::size_t kLameBytes = 36;
constexpr std::size_t kEncoderChars = 9;
constexpr std::uint8_t kMethodCbr = 1;
constexpr std::uint8_t kMethodVbr = 4; // LAME's default VBR method
constexpr int kLowpassUnit = 100;
constexpr int kByteLargest = 255;
constexpr std::size_t kPeakAndGainBytes = 8; // peak amplitude, radio and audiophile gain
constexpr int kDelayShift = 12;
constexpr std::size_t kPresetBytes = 2;
constexpr int kSourceRateShift = 6;
constexpr int kStereoModeShift = 2;
// The misc byte's source rate code: 0 up to 32 kHz, 1 for 44.1 kHz, 2 for 48 kHz.
constexpr int kSourceRate441 = 1;
constexpr int kSourceRate48 = 2;
// The misc byte's stereo mode code by header mode: stereo, joint, dual, mono.
constexpr std::array<std::uint8_t, 4> kLameStereoModes = {1, 3, 2, 0};

constexpr std::uint8_t kSyncByte = 0xFF;
constexpr std::uint8_t kSyncHighBits = 0xE0;
// The version bits of the second header byte by MpegVersion.
constexpr std::array<std::uint8_t, 3> kVersionBits = {3, 2, 0};
constexpr std::uint8_t kLayer3Bits = 1;
constexpr std::uint8_t kNoCrcBit = 1;

// Fields of the four-byte frame header.
constexpr int kTwoBitMask = 3;
constexpr int kVersionShift = 3;
constexpr int kLayerShift = 1;
constexpr int kBitrateIndexShift = 4;
constexpr int kRateIndexShift = 2;
constexpr int kChannelModeShift = 6;
constexpr std::uint8_t kPaddingBit = 0x02;
constexpr std::uint8_t kCopyrightBit = 0x08;
constexpr std::uint8_t kOriginalBit = 0x04;
constexpr int kSampleRate441 = 44100;
constexpr int kSampleRate48 = 48000;

int VersionBitsOf(const std::uint8_t* header)
{
    return (header[1] >> kVersionShift) & kTwoBitMask;
}
int RateIndexOf(const std::uint8_t* header)
{
    return (header[2] >> kRateIndexShift) & kTwoBitMask;
}
int ChannelModeOf(const std::uint8_t* header)
{
    return header[3] >> kChannelModeShift;
}

constexpr std::uint16_t kCrcReflectedPolynomial = 0xA001;

MpegVersion VersionOf(int sampleRate, int* rateIndex = nullptr)
{
    for (int version = kMpeg1; version < kNoVersion; ++version) {
        const auto& rates = kSampleRates[static_cast<std::size_t>(version)];
        const auto found = std::find(rates.begin(), rates.end(), sampleRate);
        if (found != rates.end()) {
            if (rateIndex != nullptr) {
                *rateIndex = static_cast<int>(found - rates.begin());
            }
            return static_cast<MpegVersion>(version);
        }
    }
    return kNoVersion;
}

const std::array<int, kBitrateIndexCount>& BitratesOf(MpegVersion version)
{
    return version == kMpeg1 ? kMpeg1Kbps : kMpeg2Kbps;
}

std::size_t FrameBytesAt(MpegVersion version, int kbps, int sampleRate)
{
    const int coefficient = version == kMpeg1 ? kMpeg1SizeCoefficient : kMpeg2SizeCoefficient;
    return static_cast<std::size_t>(coefficient) * static_cast<std::size_t>(kbps) /
           static_cast<std::size_t>(sampleRate);
}

std::size_t NeededBytes(int sampleRate, int channelMode)
{
    return InfoTagFrame::TagOffset(sampleRate, channelMode) + kXingBytes + kLameBytes;
}

void PutU32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

void PutU16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

// The seek table of a stream whose frames are all about the same size: entry i is the byte
// position where i percent of the playing time starts, as a fraction of the whole in 1/256.
void PutToc(std::uint8_t* at, const InfoTagFacts& facts, std::size_t tagBytes)
{
    const double totalBytes = static_cast<double>(tagBytes + facts.audioBytes);
    for (std::size_t i = 0; i < kTocEntries; ++i) {
        const double position =
            static_cast<double>(tagBytes) + static_cast<double>(facts.audioBytes) * double(i) / double(kTocEntries);
        const int entry = static_cast<int>(std::floor(position * kTocScale / totalBytes));
        at[i] = static_cast<std::uint8_t>(std::clamp(entry, 0, kTocLargest));
    }
}
} // namespace

int InfoTagFrame::SamplesPerFrame(int sampleRate)
{
    const MpegVersion version = VersionOf(sampleRate);
    if (version == kNoVersion) {
        return 0;
    }
    return version == kMpeg1 ? kMpeg1SamplesPerFrame : kMpeg2SamplesPerFrame;
}

std::size_t InfoTagFrame::TagOffset(int sampleRate, int channelMode)
{
    const bool mono = channelMode == kModeMono;
    if (VersionOf(sampleRate) == kMpeg1) {
        return kHeaderBytes + (mono ? kMpeg1MonoSideInfo : kMpeg1StereoSideInfo);
    }
    return kHeaderBytes + (mono ? kMpeg2MonoSideInfo : kMpeg2StereoSideInfo);
}

int InfoTagFrame::TagBitrate(int sampleRate, int channelMode, int streamKbps)
{
    const MpegVersion version = VersionOf(sampleRate);
    if (version == kNoVersion) {
        return 0;
    }
    const std::size_t needed = NeededBytes(sampleRate, channelMode);
    const auto& rates = BitratesOf(version);
    const bool streamRateValid = std::find(rates.begin() + 1, rates.end(), streamKbps) != rates.end();
    if (streamRateValid && FrameBytesAt(version, streamKbps, sampleRate) >= needed) {
        return streamKbps;
    }
    for (std::size_t i = 1; i < rates.size(); ++i) {
        if (FrameBytesAt(version, rates[i], sampleRate) >= needed) {
            return rates[i];
        }
    }
    return 0;
}

std::size_t InfoTagFrame::FrameBytes(const InfoTagFacts& facts)
{
    const int kbps = TagBitrate(facts.sampleRate, facts.channelMode, facts.streamKbps);
    if (kbps == 0 || facts.channelMode < 0 || facts.channelMode > kModeMono) {
        return 0;
    }
    return FrameBytesAt(VersionOf(facts.sampleRate), kbps, facts.sampleRate);
}

std::uint16_t InfoTagFrame::Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ data[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ kCrcReflectedPolynomial)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::vector<std::uint8_t> InfoTagFrame::Build(const InfoTagFacts& facts)
{
    const std::size_t frameBytes = FrameBytes(facts);
    const std::uint64_t totalBytes = frameBytes + facts.audioBytes;
    if (frameBytes == 0 || totalBytes > UINT32_MAX || facts.encoderDelay < 0 ||
        facts.encoderDelay > kMaxDelayOrPadding || facts.padding < 0 || facts.padding > kMaxDelayOrPadding) {
        return {};
    }
    int rateIndex = 0;
    const MpegVersion version = VersionOf(facts.sampleRate, &rateIndex);
    const int kbps = TagBitrate(facts.sampleRate, facts.channelMode, facts.streamKbps);
    const auto& rates = BitratesOf(version);
    const auto bitrateIndex = static_cast<int>(std::find(rates.begin(), rates.end(), kbps) - rates.begin());

    std::vector<std::uint8_t> frame(frameBytes, 0);
    frame[0] = kSyncByte;
    frame[1] = static_cast<std::uint8_t>(kSyncHighBits | kVersionBits[version] << kVersionShift |
                                         kLayer3Bits << kLayerShift | kNoCrcBit);
    frame[2] = static_cast<std::uint8_t>(bitrateIndex << kBitrateIndexShift | rateIndex << kRateIndexShift);
    frame[3] = static_cast<std::uint8_t>(facts.channelMode << kChannelModeShift |
                                         (facts.copyright ? kCopyrightBit : 0) | (facts.original ? kOriginalBit : 0));

    std::uint8_t* at = frame.data() + TagOffset(facts.sampleRate, facts.channelMode);
    std::memcpy(at, facts.variable ? "Xing" : "Info", kMagicBytes);
    at += kMagicBytes;
    // A placeholder names none of the optional fields, so readers find no frame count in it.
    PutU32(at, facts.placeholder ? 0 : kAllFlags);
    at += kFieldBytes;
    if (!facts.placeholder) {
        PutU32(at, facts.frameCount);
        PutU32(at + kFieldBytes, static_cast<std::uint32_t>(totalBytes));
        PutToc(at + 2 * kFieldBytes, facts, frameBytes);
        at += 2 * kFieldBytes + kTocEntries + kFieldBytes; // the quality figure stays 0
    }

    const std::size_t encoderChars = std::min(facts.encoder.size(), kEncoderChars);
    std::memcpy(at, facts.encoder.data(), encoderChars);
    std::fill(at + encoderChars, at + kEncoderChars, std::uint8_t(' '));
    at += kEncoderChars;
    *at++ = facts.variable ? kMethodVbr : kMethodCbr;
    *at++ = static_cast<std::uint8_t>(std::clamp((facts.lowpassHz + kLowpassUnit / 2) / kLowpassUnit, 0, kByteLargest));
    at += kPeakAndGainBytes;
    *at++ = 0; // encoding flags and ATH type: not recorded
    *at++ = static_cast<std::uint8_t>(std::clamp(facts.streamKbps, 0, kByteLargest));
    const std::uint32_t delayAndPadding =
        static_cast<std::uint32_t>(facts.encoderDelay) << kDelayShift | static_cast<std::uint32_t>(facts.padding);
    *at++ = static_cast<std::uint8_t>(delayAndPadding >> 16);
    *at++ = static_cast<std::uint8_t>(delayAndPadding >> 8);
    *at++ = static_cast<std::uint8_t>(delayAndPadding);
    const int sourceRate = facts.sampleRate == kSampleRate441  ? kSourceRate441
                           : facts.sampleRate == kSampleRate48 ? kSourceRate48
                                                               : 0;
    *at++ =
        static_cast<std::uint8_t>(sourceRate << kSourceRateShift |
                                  kLameStereoModes[static_cast<std::size_t>(facts.channelMode)] << kStereoModeShift);
    *at++ = 0; // MP3 gain
    at += kPresetBytes;
    PutU32(at, facts.placeholder ? 0 : static_cast<std::uint32_t>(totalBytes));
    at += kFieldBytes;
    PutU16(at, facts.musicCrc);
    at += 2;
    PutU16(at, Crc16(0, frame.data(), static_cast<std::size_t>(at - frame.data())));
    return frame;
}

namespace
{
std::uint32_t GetU32(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 | std::uint32_t(at[3]);
}
} // namespace

bool InfoTagFrame::Parse(const std::uint8_t* data, std::size_t size, InfoTagFacts& facts, std::size_t* frameBytes)
{
    if (!IsTagFrame(data, size)) {
        return false;
    }
    const int rateIndex = RateIndexOf(data);
    const auto version = static_cast<MpegVersion>(
        std::find(kVersionBits.begin(), kVersionBits.end(), VersionBitsOf(data)) - kVersionBits.begin());
    InfoTagFacts read;
    read.sampleRate = kSampleRates[version][static_cast<std::size_t>(rateIndex)];
    read.channelMode = ChannelModeOf(data);
    read.copyright = (data[3] & kCopyrightBit) != 0;
    read.original = (data[3] & kOriginalBit) != 0;
    const std::size_t bytes = Layer3FrameBytes(data);

    const std::uint8_t* at = data + TagOffset(read.sampleRate, read.channelMode);
    const std::uint8_t* const end = data + bytes;
    read.variable = std::memcmp(at, "Xing", kMagicBytes) == 0;
    at += kMagicBytes;
    if (end - at < static_cast<std::ptrdiff_t>(kFieldBytes)) {
        return false;
    }
    const std::uint32_t flags = GetU32(at);
    at += kFieldBytes;
    const std::size_t optionalBytes =
        ((flags & kFramesFlag) != 0 ? kFieldBytes : 0) + ((flags & kBytesFlag) != 0 ? kFieldBytes : 0) +
        ((flags & kTocFlag) != 0 ? kTocEntries : 0) + ((flags & kQualityFlag) != 0 ? kFieldBytes : 0);
    if (static_cast<std::size_t>(end - at) < optionalBytes + kLameBytes) {
        return false;
    }
    read.placeholder = (flags & kFramesFlag) == 0;
    if ((flags & kFramesFlag) != 0) {
        read.frameCount = GetU32(at);
        at += kFieldBytes;
    }
    if ((flags & kBytesFlag) != 0) {
        const std::uint32_t total = GetU32(at);
        read.audioBytes = total > bytes ? total - bytes : 0;
        at += kFieldBytes;
    }
    at += ((flags & kTocFlag) != 0 ? kTocEntries : 0) + ((flags & kQualityFlag) != 0 ? kFieldBytes : 0);

    read.encoder.assign(reinterpret_cast<const char*>(at), kEncoderChars);
    at += kEncoderChars + 1; // revision and method
    read.lowpassHz = *at++ * kLowpassUnit;
    at += kPeakAndGainBytes + 1;
    read.streamKbps = *at++;
    const std::uint32_t delayAndPadding = std::uint32_t(at[0]) << 16 | std::uint32_t(at[1]) << 8 | at[2];
    read.encoderDelay = static_cast<int>(delayAndPadding >> kDelayShift);
    read.padding = static_cast<int>(delayAndPadding & kMaxDelayOrPadding);
    at += 3 + 2 + kPresetBytes + kFieldBytes; // delay and padding, misc, gain, preset, length
    read.musicCrc = static_cast<std::uint16_t>(at[0] << 8 | at[1]);
    facts = read;
    if (frameBytes != nullptr) {
        *frameBytes = bytes;
    }
    return true;
}

std::size_t InfoTagFrame::Layer3FrameBytes(const std::uint8_t* header)
{
    if (header[0] != kSyncByte || (header[1] & kSyncHighBits) != kSyncHighBits ||
        ((header[1] >> kLayerShift) & kTwoBitMask) != kLayer3Bits) {
        return 0;
    }
    const auto versionAt = std::find(kVersionBits.begin(), kVersionBits.end(), VersionBitsOf(header));
    const int bitrateIndex = header[2] >> kBitrateIndexShift;
    const int rateIndex = RateIndexOf(header);
    if (versionAt == kVersionBits.end() || bitrateIndex == 0 || bitrateIndex >= kBitrateIndexCount ||
        rateIndex >= kRatesPerVersion) {
        return 0;
    }
    const auto version = static_cast<MpegVersion>(versionAt - kVersionBits.begin());
    const int sampleRate = kSampleRates[version][static_cast<std::size_t>(rateIndex)];
    const bool padded = (header[2] & kPaddingBit) != 0;
    return FrameBytesAt(version, BitratesOf(version)[static_cast<std::size_t>(bitrateIndex)], sampleRate) +
           (padded ? 1 : 0);
}

bool InfoTagFrame::IsTagFrame(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size < kHeaderBytes) {
        return false;
    }
    const std::size_t frameBytes = Layer3FrameBytes(data);
    if (frameBytes == 0) {
        return false;
    }
    const auto version = static_cast<MpegVersion>(
        std::find(kVersionBits.begin(), kVersionBits.end(), VersionBitsOf(data)) - kVersionBits.begin());
    const int sampleRate = kSampleRates[version][static_cast<std::size_t>(RateIndexOf(data))];
    const std::size_t offset = TagOffset(sampleRate, ChannelModeOf(data));
    if (frameBytes > size || offset + kMagicBytes > frameBytes) {
        return false;
    }
    return std::memcmp(data + offset, "Info", kMagicBytes) == 0 || std::memcmp(data + offset, "Xing", kMagicBytes) == 0;
}
