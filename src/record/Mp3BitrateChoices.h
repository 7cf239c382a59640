#pragma once

#include <cstdint>
#include <vector>

// Which entries of BitrateTable an MP3 at a given sample rate can really carry. The encoder
// library encodes MPEG-1 (32 kHz and up) at 32-320 kbps without 144, MPEG-2 (16-24 kHz) at
// 8-160 kbps and MPEG-2.5 (below 16 kHz) at 8-64 kbps, and moves any other request to the
// nearest rate it has, the lower one on a tie. Offering only these keeps what the user picks
// and what is encoded the same.
namespace Mp3BitrateChoices
{
// Positions in BitrateTable, in table order.
std::vector<int> OfferedPositions(std::uint32_t samplesPerSec);
// The offered position whose rate is nearest to that of `position` (the lower on a tie), which
// is the rate the encoder would use for it; `position` itself when offered, and a VBR level
// (which every sample rate carries) stays as it is.
int NearestOfferedPosition(int position, std::uint32_t samplesPerSec);
} // namespace Mp3BitrateChoices
