#pragma once

#include "platform/audio/AudioCapture.h"

#include <QString>
#include <cstdint>
#include <vector>

// What the user is told when a recording lost sound on its way from the device (the file
// holds silence of the same length there): "2.5 s of sound were lost at 01:07". Places are
// times into the recording, as its elapsed time counts them.
namespace LossReport
{
// Separate losses named one by one; beyond that the total and the first place.
constexpr std::size_t kMaxLossesNamed = 3;

// Empty when nothing was lost before `recordedBytes`; later losses never reached the file.
QString Text(const std::vector<CaptureLoss>& losses, std::uint64_t recordedBytes, std::uint64_t bytesPerSecond);
} // namespace LossReport
