#include "record/SilenceDetector.h"

#include "app/RecordSettings.h"

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr int kReferenceLevel = 10;
// Threshold growth per unit of record level, kept in single precision on purpose: the
// thresholds users have tuned their sensitivity against come from these exact roundings.
constexpr float kThresholdPerLevel = 0.02365509420633316f;
constexpr float kLowestThreshold = 330.0f;
constexpr float kThresholdBand = 40.0f;
constexpr float kSensitivityStep = 0.001f;
constexpr float kFullSensitivity = 1.0f;
} // namespace

namespace SilenceDetector
{
int MeanAbsoluteLevel(const std::int16_t* samples, std::size_t byteCount)
{
    const std::size_t count = byteCount / sizeof(std::int16_t);
    if (samples == nullptr || count == 0) {
        return 0;
    }
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // Widened first, so -32768 counts as 32768.
        sum += static_cast<std::uint64_t>(std::abs(static_cast<int>(samples[i])));
    }
    return static_cast<int>(sum / count);
}

std::uint32_t BytesToSeconds(const RecordFormat& format, std::uint32_t byteCount)
{
    if (format.samplesPerSec == 0 || format.channels == 0) {
        return 0;
    }
    std::uint32_t seconds = byteCount / format.samplesPerSec / format.channels;
    if (format.bitsPerSample == RecordFormat::kBitsPerSample) {
        seconds /= 2;
    }
    return seconds;
}

int SilenceThreshold(int recordLevel, int sensitivity)
{
    const float offset = static_cast<float>(recordLevel - kReferenceLevel) * kThresholdPerLevel;
    const float low = kLowestThreshold + offset;
    const float high = kLowestThreshold + kThresholdBand + offset;
    const float fraction = std::min(static_cast<float>(sensitivity - 1) * kSensitivityStep, kFullSensitivity);
    return static_cast<int>(low + (high - low) * fraction);
}

int SilenceThreshold(int recordLevel)
{
    return SilenceThreshold(recordLevel, CRecordSettings::Instance().Sensitivity());
}

bool IsSilent(int level, int recordLevel)
{
    return level < SilenceThreshold(recordLevel);
}
} // namespace SilenceDetector
