#pragma once

#include "codec/FrameSink.h"

#include <cstddef>
#include <cstdint>

class CByteSource;

// Decodes the MP3 file the source holds, frame by frame, into the sink (see CMpg123Stream for
// what is heard and what is skipped). Returns 0 after a normal end (the audio ran out or the
// sink stopped), -1 on failure (the input could not be read, or the sink failed).
int DecodeMp3(CByteSource& source, FrameSink& sink);
// The same over a whole file held in memory.
int DecodeMp3Buffer(const std::uint8_t* data, std::size_t length, FrameSink& sink);
// Samples per channel the file decodes to, read from its frame headers and LAME tag without
// decoding; 0 when there is no audio.
std::uint64_t CountMp3Samples(CByteSource& source);
