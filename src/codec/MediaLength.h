#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// A media file's exact playing time in milliseconds without playing it: MP3 by counting every
// frame header, WAV from its data size and byte rate. Anything unreadable gives 0.
class CMediaLength
{
public:
    static std::int64_t QueryLength(const QString& path);
    static std::int64_t Mp3LengthMs(const std::uint8_t* data, std::size_t size);
    // Samples per channel of every MPEG frame between the tags, counted by their headers.
    static std::uint64_t Mp3Samples(const std::uint8_t* data, std::size_t size);
    static std::int64_t WavLengthMs(const std::uint8_t* data, std::size_t size);
};
