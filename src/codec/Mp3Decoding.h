#pragma once

#include "codec/FrameSink.h"

#include <cstddef>
#include <cstdint>

// Decodes a whole MP3 file held in memory, frame by frame, into the sink. Tags are never
// decoded: ID3v2 tags in front of the audio or between frames are skipped by their size, and
// ID3v1, APE or appended ID3v2 tags at the end are cut away. Damaged frames are skipped, with
// one line on stderr per kind of error. Returns libmad's run result: 0 after a normal end (the data
// ran out or the sink stopped), -1 on failure.
int DecodeMp3Buffer(const std::uint8_t* data, std::size_t length, FrameSink& sink);
