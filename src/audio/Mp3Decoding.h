#pragma once

#include "audio/FrameSink.h"

#include <cstddef>
#include <cstdint>

// Decodes a whole MP3 file held in memory, frame by frame, into the sink. Damaged frames are
// reported on stderr and skipped. Returns libmad's run result: 0 after a normal end (the data
// ran out or the sink stopped), -1 on failure.
// Afterwards the running operation's encoder, if any, is finished, so its file is complete
// even when the sink stopped early.
int DecodeMp3Buffer(const std::uint8_t* data, std::size_t length, FrameSink& sink);

// The same, leaving the encoder open for the next file (joining feeds several files into one).
int DecodeMp3BufferKeepEncoder(const std::uint8_t* data, std::size_t length, FrameSink& sink);
