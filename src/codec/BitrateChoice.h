#pragma once

#include <cstdint>

// The stored "bitrate index" of the record format: positions 0 .. BitrateTable.size() - 1 are
// constant bit rates; the ten positions after them are LAME's variable bit rate levels V0 (best)
// to V9 (smallest). The file keeps the index in its 4-byte field, so the layout never changes and
// an index written before VBR existed still means the same rate.
namespace BitrateChoice
{
inline constexpr int kVbrLevelCount = 10;
inline constexpr int kNoVbr = -1;

int FirstVbrIndex();
int IndexCount();
bool IsValidIndex(int index);
bool IsVbrIndex(int index);
// The V level of a VBR index; kNoVbr for a constant bit rate index.
int VbrQuality(int index);
int IndexOfVbrQuality(int quality);
bool IsValidVbrQuality(int quality);

// The BitrateTable position whose rate is nearest to kbps (the lower on a tie).
int NearestConstantIndex(int kbps);

// What a level typically averages, in kbps, for music at a sample rate: LAME's published
// averages for 44.1 kHz stereo, scaled down for lower rates, whose frames code less bandwidth.
int TypicalVbrKbps(int quality, std::uint32_t samplesPerSec);
} // namespace BitrateChoice
