#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the first frame of an MP3 says about the stream behind it. Players that find it skip the
// frame instead of playing it and cut the stream to its true length by delay and padding.
struct InfoTagFacts
{
    int sampleRate = 0;     // one of the nine MPEG layer III rates
    int channelMode = 0;    // the frame header's mode bits: 0 stereo, 1 joint, 2 dual, 3 mono
    int streamKbps = 0;     // bit rate of the audio frames (their average when they vary)
    bool variable = false;  // "Xing" for a variable bit rate stream, "Info" for a constant one
    bool copyright = false; // copied into the tag frame's header
    bool original = false;
    // A placeholder reserves the frame while the counts are still unknown: it claims no frame
    // count, so a stream cut off before the counts are filled still plays whole.
    bool placeholder = false;
    std::uint32_t frameCount = 0; // audio frames after the tag frame
    std::uint64_t audioBytes = 0; // their bytes
    int encoderDelay = 0;         // samples per channel the encoder put in front of the audio
    int padding = 0;              // samples per channel it appended after the audio
    std::uint16_t musicCrc = 0;   // CRC-16 of the audio frames' bytes
    int lowpassHz = 0;
    std::string encoder = "LAME3.100"; // the first nine characters are written
};

// Builds that first frame: a layer III frame header, zeroed side information, the Xing/"Info"
// header (frames, bytes, seek table, quality) and LAME's extension (encoder delay and padding,
// twelve bits each, music length and CRCs), in the layout LAME itself writes.
class InfoTagFrame
{
public:
    static constexpr int kMaxDelayOrPadding = 4095;
    static constexpr std::size_t kHeaderBytes = 4;

    // The stream's own bit rate when a frame at that rate holds the tag; otherwise the lowest
    // rate of the stream's MPEG version whose frame does. 0 for a rate that is not MPEG's.
    static int TagBitrate(int sampleRate, int channelMode, int streamKbps);
    // Bytes of the tag frame; 0 when the facts name no valid stream.
    static std::size_t FrameBytes(const InfoTagFacts& facts);
    // The whole frame; empty when the facts name no valid stream or the counts do not fit.
    static std::vector<std::uint8_t> Build(const InfoTagFacts& facts);
    // Where the Xing/"Info" header starts inside a frame of this sample rate and mode.
    static std::size_t TagOffset(int sampleRate, int channelMode);
    // True when data starts with a layer III frame header whose frame carries a Xing/"Info"
    // header at its place, with all of the frame within size.
    static bool IsTagFrame(const std::uint8_t* data, std::size_t size);
    // The size of the layer III frame whose header starts data (four bytes); 0 when those bytes
    // are no valid layer III header.
    static std::size_t Layer3FrameBytes(const std::uint8_t* header);
    static int SamplesPerFrame(int sampleRate);
    // Reads a tag frame back: the header's facts, the Xing counts present and LAME's extension
    // (whose bit rate byte gives streamKbps). False when data holds no complete tag frame with a
    // LAME extension. frameBytes, when given, receives the frame's size.
    static bool Parse(const std::uint8_t* data, std::size_t size, InfoTagFacts& facts,
                      std::size_t* frameBytes = nullptr);

    // CRC-16 as the LAME tag uses it (polynomial 0x8005, bits reflected), continued from crc.
    static std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t size);
};
