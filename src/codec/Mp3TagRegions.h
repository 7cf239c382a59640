#pragma once

#include <cstddef>
#include <cstdint>

class CByteSource;

// Where an MP3 file keeps its tags: the ID3v2 tags in front of the audio, and behind it an APE
// tag and the ID3v1 tag (128 bytes from "TAG"). A re-encoded file gets these bytes back unchanged.
struct Mp3TagRegions
{
    std::size_t leadingBytes = 0;  // ID3v2 tags at the start, one after the other
    std::size_t trailingBytes = 0; // an APE tag and an ID3v1 tag at the end, either or both

    // Never reaches past size; the two regions never overlap.
    static Mp3TagRegions Find(const std::uint8_t* data, std::size_t size);
    // The same reading only the tag headers and the last 128 bytes of a file.
    static Mp3TagRegions Find(CByteSource& source);
};
