#pragma once

#include <cstddef>
#include <cstdint>

// The four-byte header of an MPEG audio frame (layers I-III; MPEG-1, 2 and 2.5) and what follows
// from it: the frame's length in bytes, its samples and its sample rate.
class CMpegFrameHeader
{
public:
    static constexpr std::size_t kSize = 4;
    // Sample rates by version: MPEG-1, MPEG-2 and MPEG-2.5 have three each.
    static constexpr int kRateSlotCount = 9;
    enum Version
    {
        kMpeg1 = 0,
        kMpeg2 = 1,
        kMpeg25 = 2
    };

    // The longest frame any header can announce (MPEG-2.5 layer II at 160 kbit/s and 8 kHz).
    static constexpr std::size_t kLargestFrameLength = 2881;

    // Decodes the four bytes at p. Free-format frames (no bit rate) are refused: their length
    // cannot be known without looking for the next header, and they are vanishingly rare.
    static bool Parse(const std::uint8_t* p, CMpegFrameHeader& header);
    static int SampleRateOfSlot(int rateSlot);

    int SampleRate() const { return SampleRateOfSlot(rateSlot); }
    // Frames of one stream keep their version, layer, sample rate and channel count.
    bool SameStream(const CMpegFrameHeader& other) const;
    // The shortest and the longest frame of this stream's version, layer and sample rate, over
    // every bit rate: what a frame count and a byte count of the stream can be checked against.
    std::size_t ShortestFrameLength() const;
    std::size_t LongestFrameLength() const;
    // Bytes of layer III side information after the header. Readers of the Xing frame find its
    // tag behind them, whether or not the frame carries a CRC, and so do we.
    std::size_t SideInfoSize() const;

    Version version = kMpeg1;
    int layer = 0;    // 1, 2 or 3
    int rateSlot = 0; // version * 3 + sample rate index
    int samples = 0;  // per channel
    int kilobits = 0;
    std::size_t length = 0; // bytes, header included
    bool mono = false;
};
