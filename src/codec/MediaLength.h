#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// A media file's exact playing time in milliseconds without playing it, WAV from its data size
// and byte rate, MP3 as a gapless player plays it: from the frame count of a Xing/Info/VBRI frame
// less the LAME tag's encoder delay and padding, or by counting every frame header where the file
// has no such frame or its counts do not fit the file. Anything unreadable gives 0.
class CMediaLength
{
public:
    static std::int64_t QueryLength(const QString& path);
    static std::int64_t Mp3LengthMs(const std::uint8_t* data, std::size_t size);
    // Samples per channel of every MPEG frame between the tags, counted by their headers, a
    // Xing/Info frame included: what a decoder that plays every frame gives.
    static std::uint64_t Mp3Samples(const std::uint8_t* data, std::size_t size);
    // Samples per channel a gapless player gives, in step with Mp3LengthMs.
    static std::uint64_t Mp3PlayedSamples(const std::uint8_t* data, std::size_t size);
    static std::int64_t WavLengthMs(const std::uint8_t* data, std::size_t size);
};
