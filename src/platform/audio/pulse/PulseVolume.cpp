#include "platform/audio/pulse/PulseVolume.h"

#include "platform/audio/RecordMixer.h"

#include <algorithm>
#include <pulse/volume.h>

namespace PulseVolume
{
namespace
{
constexpr std::uint64_t kLevelSpan = RecordMixer::kLevelMaximum - RecordMixer::kLevelMinimum;
constexpr std::uint64_t kVolumeSpan = PA_VOLUME_NORM - PA_VOLUME_MUTED;

// Rounded integer division, so that level -> volume -> level is exact for every level.
constexpr std::uint64_t DivideRounded(std::uint64_t numerator, std::uint64_t denominator)
{
    return (numerator + denominator / 2) / denominator;
}
} // namespace

int LevelFromVolume(std::uint32_t volume)
{
    const std::uint64_t clamped = std::min<std::uint64_t>(volume, PA_VOLUME_NORM);
    return RecordMixer::kLevelMinimum + static_cast<int>(DivideRounded(clamped * kLevelSpan, kVolumeSpan));
}

std::uint32_t VolumeFromLevel(int level)
{
    const int clamped = std::clamp(level, RecordMixer::kLevelMinimum, RecordMixer::kLevelMaximum);
    const auto offset = static_cast<std::uint64_t>(clamped - RecordMixer::kLevelMinimum);
    return static_cast<std::uint32_t>(PA_VOLUME_MUTED + DivideRounded(offset * kVolumeSpan, kLevelSpan));
}

int FirstChannelLevel(const pa_cvolume& volume)
{
    return volume.channels > 0 ? LevelFromVolume(volume.values[0]) : RecordMixer::kLevelMinimum;
}

void SetFirstAndLastChannel(pa_cvolume& volume, int level)
{
    if (volume.channels == 0) {
        return;
    }
    const pa_volume_t value = VolumeFromLevel(level);
    volume.values[0] = value;
    volume.values[volume.channels - 1] = value;
}
} // namespace PulseVolume
