#pragma once

#include <cstddef>
#include <cstdint>

// How the samples of a decoded frame are held. 16-bit is exactly what mpg123 itself writes;
// float (full scale 1.0) leaves room for a volume scale to round and clip once.
enum class PcmSampleType
{
    Int16,
    Float,
};

enum class MpegVersion
{
    Mpeg1,
    Mpeg2,
    Mpeg25,
};

enum class ChannelMode
{
    Stereo,
    JointStereo,
    DualChannel,
    Mono,
};

// The facts of one MPEG audio frame's header.
struct Mp3FrameHeader
{
    unsigned sampleRate = 0;
    unsigned short channels = 0;
    ChannelMode mode = ChannelMode::Stereo;
    unsigned long bitrate = 0; // bits per second
    int layer = 0;
    MpegVersion version = MpegVersion::Mpeg1;
    std::size_t frameBytes = 0;   // header included
    unsigned samplesPerFrame = 0; // per channel, as the frame holds them before any gapless trim
};

// The sound of one decoded frame, interleaved (left, right) when stereo. A frame at the start
// or end of a gapless file carries fewer than samplesPerFrame samples: the encoder's delay and
// padding are already cut away.
struct DecodedPcm
{
    unsigned sampleRate = 0;
    unsigned short channels = 0;
    unsigned length = 0; // samples per channel
    PcmSampleType type = PcmSampleType::Int16;
    const std::int16_t* int16 = nullptr; // when type is Int16
    const float* floats = nullptr;       // when type is Float

    std::size_t SampleCount() const { return std::size_t(length) * channels; }
};
