#include "codec/MpegFrameScanner.h"

#include "codec/Mp3AudioSpan.h"
#include "codec/MpegFrameHeader.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::size_t kHeaderSize = CMpegFrameHeader::kSize;
constexpr std::uint8_t kSyncByte = 0xFF;
constexpr std::int64_t kMillisecondsPerSecond = 1000;
using FrameHeader = CMpegFrameHeader;

// Frames that must follow a header found out of step, each where the one before says and each of
// the same stream, before it is believed: random bytes pass one header check now and then, three
// in a row practically never.
constexpr int kConfirmingFrames = 2;
} // namespace

const std::size_t CMpegFrameScanner::kLookahead =
    CMpegFrameHeader::kLargestFrameLength * (1 + kConfirmingFrames) + kHeaderSize;

CMpegFrameScanner::CMpegFrameScanner(std::uint64_t audioStart, std::uint64_t audioEnd)
    : m_audioStart(audioStart)
    , m_audioEnd(std::max(audioStart, audioEnd))
    , m_position(audioStart)
    , m_streamStart(audioStart)
{
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
            if (end - next < kHeaderSize || !FrameHeader::Parse(window + next, following) ||
                !candidate.SameStream(following) || (reachesEnd && following.length > end - next)) {
                return false;
            }
            next += following.length;
        }
        return true;
    };
    auto count = [&](std::size_t position, const FrameHeader& header) {
        if (!m_firstFrameOffset) {
            m_firstFrameOffset = origin + position;
        }
        m_samplesByRate[std::size_t(header.rateSlot)] += std::uint64_t(header.samples);
    };

    std::size_t position = 0;
    while (position < decidable && end - position >= kHeaderSize) {
        FrameHeader header;
        if (m_inStep) {
            if (FrameHeader::Parse(window + position, header) && header.version == m_streamVersion &&
                header.layer == m_streamLayer && header.rateSlot == m_streamRateSlot && header.mono == m_streamMono &&
                (!reachesEnd || header.length <= end - position)) {
                count(position, header);
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
        if (FrameHeader::Parse(window + position, header) && (!reachesEnd || header.length <= end - position) &&
            confirmed(position, header)) {
            m_inStep = true;
            m_streamVersion = header.version;
            m_streamLayer = header.layer;
            m_streamRateSlot = header.rateSlot;
            m_streamMono = header.mono;
            count(position, header);
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
    return MillisecondsWithout(0, 0);
}

std::uint64_t CMpegFrameScanner::Samples() const
{
    std::uint64_t samples = 0;
    for (const std::uint64_t count : m_samplesByRate) {
        samples += count;
    }
    return samples;
}

std::int64_t CMpegFrameScanner::MillisecondsWithout(int sampleRate, std::uint64_t samples) const
{
    std::int64_t milliseconds = 0;
    for (int slot = 0; slot < kRateSlotCount; ++slot) {
        const int rate = CMpegFrameHeader::SampleRateOfSlot(slot);
        std::uint64_t counted = m_samplesByRate[std::size_t(slot)];
        if (rate == sampleRate) {
            counted -= std::min(counted, samples);
        }
        milliseconds += std::int64_t(counted * kMillisecondsPerSecond / std::uint64_t(rate));
    }
    return milliseconds;
}
