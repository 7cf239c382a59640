#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// Counts the MPEG audio frames (layers I-III; MPEG-1, 2 and 2.5) of a byte range by their
// headers alone, without decoding, and sums their playing time. The range can be fed whole or
// in consecutive windows, so a large file never has to be in memory at once.
//
// ID3v2 tags in front of the audio or between frames are skipped by their size, never scanned.
// Junk between frames is skipped: after losing step, a header is only believed when the next
// two headers follow it where its length says and belong to the same stream.
class CMpegFrameScanner
{
public:
    // How far past a position the scanner may look before deciding about it: a window that does
    // not reach the end of the range must hold at least this many bytes.
    static const std::size_t kLookahead;

    // The range [audioStart, audioEnd) in absolute offsets, tags already cut away.
    CMpegFrameScanner(std::uint64_t audioStart, std::uint64_t audioEnd);

    // The absolute offset the next window must start at.
    std::uint64_t NextOffset() const { return m_position; }
    bool Finished() const { return m_finished; }
    // Scans a window of bytes that starts at NextOffset(). Stops where deciding would need bytes
    // past the window, or at the end of the range once the window reaches it.
    void Scan(const std::uint8_t* window, std::size_t size);

    std::int64_t Milliseconds() const;
    // The same with some samples at one sample rate left out (a tag frame, an encoder's delay).
    std::int64_t MillisecondsWithout(int sampleRate, std::uint64_t samples) const;
    // Every sample counted, per channel, whatever the sample rate of its frame.
    std::uint64_t Samples() const;
    // Where the first frame counted starts, once one was.
    std::optional<std::uint64_t> FirstFrameOffset() const { return m_firstFrameOffset; }

private:
    static constexpr int kRateSlotCount = 9;

    std::uint64_t m_audioStart;
    std::uint64_t m_audioEnd;
    std::uint64_t m_position;
    bool m_finished = false;
    bool m_inStep = false;
    // Where the audio begins once the ID3v2 tags in front of it are skipped.
    std::uint64_t m_streamStart;
    // At the start and where a frame did not follow the last one: an ID3v2 tag may stand here.
    bool m_frameExpected = true;
    // The stream last locked onto: version, layer, sample rate and channel count must stay.
    int m_streamVersion = 0;
    int m_streamLayer = 0;
    int m_streamRateSlot = 0;
    bool m_streamMono = false;
    std::array<std::uint64_t, kRateSlotCount> m_samplesByRate{};
    std::optional<std::uint64_t> m_firstFrameOffset;
};
