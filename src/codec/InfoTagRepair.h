#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

// Completes the tag frame of an MP3 whose writer was cut off (a recording killed with its
// program, or lost with the power): the frame still holds the placeholder reserved when the
// file was opened, and gets the counts of the whole frames the file holds behind it. The true
// end of the audio is unknown; the padding claimed is only the tail no decoder can bring out of
// the last frame, so players keep every sample there is.
class CInfoTagRepair
{
public:
    enum class Result
    {
        Filled,
        NothingToFill, // no placeholder at the start of the audio (never one, or already filled)
        Failed         // the file could not be read or written
    };

    static Result FillFromFrames(const QString& path);

    // The filled frame for the bytes of a whole file and where it goes; empty when the audio
    // does not start with a placeholder.
    static std::vector<std::uint8_t> FilledFrame(const std::uint8_t* data, std::size_t size, std::size_t& offset);
};
