#pragma once

#include <cstdint>

struct pa_cvolume;

// Sorvane's levels run 0..65535 like the old mixer's; PulseAudio's volumes run 0..65536
// (PA_VOLUME_NORM = 100 %) and may go above it (boost), which shows as the top level.
namespace PulseVolume
{
int LevelFromVolume(std::uint32_t volume);
std::uint32_t VolumeFromLevel(int level);

// The level of the first channel; 0 for an empty volume.
int FirstChannelLevel(const pa_cvolume& volume);
// Sets the first and the last channel to `level` and leaves any others as they are.
void SetFirstAndLastChannel(pa_cvolume& volume, int level);
} // namespace PulseVolume
