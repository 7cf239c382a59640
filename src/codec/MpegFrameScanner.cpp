#include "codec/MpegFrameScanner.h"

#include "codec/Mp3AudioSpan.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::size_t kHeaderSize = 4;
constexpr std::uint8_t kSyncByte = 0xFF;

enum MpegVersion
{
    kMpeg1 = 0,
    kMpeg2 = 1,
    kMpeg25 = 2,
    kMpegVersionCount = 3
};
constexpr int kRatesPerVersion = 3;

constexpr std::array<std::array<int, kRatesPerVersion>, kMpegVersionCount> kSampleRates = {{
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
constexpr int kMonoChannelMode = 3;
constexpr int kReservedEmphasis = 2;
constexpr std::int64_t kMillisecondsPerSecond = 1000;

struct FrameHeader
{
    int version = kMpeg1;
    int layer = 0;    // 1, 2 or 3
    int rateSlot = 0; // version * kRatesPerVersion + sample rate index
    int samples = 0;
    std::size_t length = 0; // bytes, header included
    bool mono = false;
};

constexpr const BitrateRow& BitratesFor(int version, int layer)
{
    if (version == kMpeg1) {
        return layer == 1 ? kMpeg1Layer1Rates : layer == 2 ? kMpeg1Layer2Rates : kMpeg1Layer3Rates;
    }
    return layer == 1 ? kMpeg2Layer1Rates : kMpeg2Layer23Rates;
}

constexpr int SampleRateOf(int rateSlot)
{
    return kSampleRates[rateSlot / kRatesPerVersion][rateSlot % kRatesPerVersion];
}

constexpr int SamplesPerFrame(int version, int layer)
{
    if (layer == 1) {
        return kLayer1Samples;
    }
    if (layer == 2) {
        return kLayer2Samples;
    }
    return version == kMpeg1 ? kMpeg1Layer3Samples : kMpeg2Layer3Samples;
}

constexpr std::size_t FrameLength(int version, int layer, int kilobits, int sampleRate, int padding)
{
    const std::int64_t bitsPerSecond = std::int64_t(kilobits) * 1000;
    if (layer == 1) {
        return std::size_t((kLayer1SlotsPerSecondFactor * bitsPerSecond / sampleRate + padding) * kLayer1SlotBytes);
    }
    const int bytesPerBitPerSecond = SamplesPerFrame(version, layer) / kBitsPerByte;
    return std::size_t(bytesPerBitPerSecond * bitsPerSecond / sampleRate + padding);
}

constexpr std::size_t LargestFrameLength()
{
    std::size_t largest = 0;
    for (int version = 0; version < kMpegVersionCount; ++version) {
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

constexpr std::size_t kLargestFrame = LargestFrameLength();
static_assert(kLargestFrame == 2881, "MPEG-2.5 layer II at 160 kbit/s and 8 kHz, padded");

// Decodes the four header bytes at p. Free-format frames (no bit rate) are refused: their length
// cannot be known without looking for the next header, and they are vanishingly rare.
bool ParseHeader(const std::uint8_t* p, FrameHeader& header)
{
    if (p[0] != kSyncByte || (p[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int versionBits = (p[1] >> 3) & 0x03;
    const int layerBits = (p[1] >> 1) & 0x03;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 0x03;
    const int padding = (p[2] >> 1) & 0x01;
    const int channelMode = p[3] >> 6;
    const int emphasis = p[3] & 0x03;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex >= kBitrateIndexCount ||
        rateIndex >= kRatesPerVersion || emphasis == kReservedEmphasis) {
        return false;
    }
    header.version = versionBits == 3 ? kMpeg1 : versionBits == 2 ? kMpeg2 : kMpeg25;
    header.layer = 4 - layerBits;
    header.rateSlot = header.version * kRatesPerVersion + rateIndex;
    header.mono = channelMode == kMonoChannelMode;
    header.samples = SamplesPerFrame(header.version, header.layer);
    header.length = FrameLength(header.version, header.layer, BitratesFor(header.version, header.layer)[bitrateIndex],
                                SampleRateOf(header.rateSlot), padding);
    return true;
}

// Frames of one stream keep their version, layer, sample rate and channel count; a header that
// changes any of them is junk that happens to look like a header.
bool SameStream(const FrameHeader& a, const FrameHeader& b)
{
    return a.version == b.version && a.layer == b.layer && a.rateSlot == b.rateSlot && a.mono == b.mono;
}

// Frames that must follow a header found out of step, each where the one before says and each of
// the same stream, before it is believed: random bytes pass one header check now and then, three
// in a row practically never.
constexpr int kConfirmingFrames = 2;
} // namespace

const std::size_t CMpegFrameScanner::kLookahead = kLargestFrame * (1 + kConfirmingFrames) + kHeaderSize;

CMpegFrameScanner::CMpegFrameScanner(std::uint64_t audioStart, std::uint64_t audioEnd)
    : m_audioStart(audioStart)
    , m_audioEnd(std::max(audioStart, audioEnd))
    , m_position(audioStart)
    , m_streamStart(audioStart)
{
    static_assert(kRateSlotCount == kMpegVersionCount * kRatesPerVersion);
    m_finished = m_audioEnd - m_position < kHeaderSize;
}

void CMpegFrameScanner::Scan(const std::uint8_t* window, std::size_t size)
{
    if (m_finished || window == nullptr) {
        return;
    }
    // Work in offsets relative to the window; "end" is where the range ends when the window
    // reaches it, else the window's end.
    const std::uint64_t origin = m_position;
    const std::uint64_t rangeLeft = m_audioEnd - origin;
    const bool reachesEnd = size >= rangeLeft;
    const std::size_t end = reachesEnd ? std::size_t(rangeLeft) : size;
    // Positions before this one have every byte a decision can need inside the window.
    const std::size_t decidable = reachesEnd ? end : (size > kLookahead ? size - kLookahead : 0);
    // Where the stream begins once leading tags are skipped, if that is in this window.
    const std::size_t rangeStart =
        m_streamStart >= origin && m_streamStart - origin < size ? std::size_t(m_streamStart - origin) : SIZE_MAX;

    auto confirmed = [&](std::size_t position, const FrameHeader& candidate) {
        std::size_t next = position + candidate.length;
        for (int i = 0; i < kConfirmingFrames; ++i) {
            if (reachesEnd && next == end) {
                // A stream too short to confirm is believed only when it fills the range exactly.
                return i > 0 || position == rangeStart;
            }
            FrameHeader following;
            if (end - next < kHeaderSize || !ParseHeader(window + next, following) ||
                !SameStream(candidate, following) || (reachesEnd && following.length > end - next)) {
                return false;
            }
            next += following.length;
        }
        return true;
    };
    auto count = [&](const FrameHeader& header) { m_samplesByRate[header.rateSlot] += header.samples; };

    std::size_t position = 0;
    while (position < decidable && end - position >= kHeaderSize) {
        FrameHeader header;
        if (m_inStep) {
            if (ParseHeader(window + position, header) && header.version == m_streamVersion &&
                header.layer == m_streamLayer && header.rateSlot == m_streamRateSlot && header.mono == m_streamMono &&
                (!reachesEnd || header.length <= end - position)) {
                count(header);
                position += header.length;
                continue;
            }
            m_inStep = false;
            m_frameExpected = true;
        }
        if (m_frameExpected) {
            // Where a frame was expected, an ID3v2 tag (in front of the audio, or between files
            // that were put together) is skipped whole: whatever it holds is no sound.
            m_frameExpected = false;
            const std::uint64_t tag = CMp3AudioSpan::Id3v2TagSize(window + position, end - position);
            if (tag != 0) {
                const std::uint64_t absolute = origin + position;
                const bool leading = absolute == m_streamStart;
                // A tag claiming to run past the range is broken; only its header is passed over.
                const std::uint64_t skipped =
                    tag <= m_audioEnd - absolute ? tag : std::uint64_t(CMp3AudioSpan::kId3v2HeaderSize);
                if (leading) {
                    m_streamStart += skipped;
                }
                m_frameExpected = skipped == tag;
                if (skipped > size - position) {
                    // The tag reaches past this window: the caller's next window starts after it.
                    m_position = absolute + skipped;
                    m_finished = m_audioEnd - m_position < kHeaderSize;
                    return;
                }
                position += std::size_t(skipped);
                continue;
            }
        }
        const std::size_t searchEnd = std::min(decidable, end - kHeaderSize + 1);
        const auto* sync =
            static_cast<const std::uint8_t*>(std::memchr(window + position, kSyncByte, searchEnd - position));
        if (sync == nullptr) {
            position = searchEnd;
            break;
        }
        position = std::size_t(sync - window);
        if (ParseHeader(window + position, header) && (!reachesEnd || header.length <= end - position) &&
            confirmed(position, header)) {
            m_inStep = true;
            m_streamVersion = header.version;
            m_streamLayer = header.layer;
            m_streamRateSlot = header.rateSlot;
            m_streamMono = header.mono;
            count(header);
            position += header.length;
        } else {
            ++position;
        }
    }
    m_position = origin + position;
    if (reachesEnd || m_audioEnd - m_position < kHeaderSize) {
        m_finished = true;
    }
}

std::int64_t CMpegFrameScanner::Milliseconds() const
{
    std::int64_t milliseconds = 0;
    for (int slot = 0; slot < kRateSlotCount; ++slot) {
        milliseconds += std::int64_t(m_samplesByRate[slot] * kMillisecondsPerSecond / SampleRateOf(slot));
    }
    return milliseconds;
}

std::uint64_t CMpegFrameScanner::Samples() const
{
    std::uint64_t samples = 0;
    for (const std::uint64_t count : m_samplesByRate) {
        samples += count;
    }
    return samples;
}
