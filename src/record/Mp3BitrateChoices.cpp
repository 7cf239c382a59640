#include "record/Mp3BitrateChoices.h"

#include "codec/BitrateChoice.h"
#include "codec/RecordFormat.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>

namespace
{
constexpr std::array<int, 14> kMpeg1Kbps = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2Kbps = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 8> kMpeg25Kbps = {8, 16, 24, 32, 40, 48, 56, 64};
constexpr std::uint32_t kLowestMpeg1Rate = 32000;
constexpr std::uint32_t kLowestMpeg2Rate = 16000;

std::span<const int> KbpsFor(std::uint32_t samplesPerSec)
{
    if (samplesPerSec >= kLowestMpeg1Rate) {
        return kMpeg1Kbps;
    }
    if (samplesPerSec >= kLowestMpeg2Rate) {
        return kMpeg2Kbps;
    }
    return kMpeg25Kbps;
}
} // namespace

namespace Mp3BitrateChoices
{
std::vector<int> OfferedPositions(std::uint32_t samplesPerSec)
{
    const std::span<const int> carried = KbpsFor(samplesPerSec);
    std::vector<int> positions;
    for (std::size_t position = 0; position < BitrateTable.size(); ++position) {
        if (std::find(carried.begin(), carried.end(), BitrateTable[position]) != carried.end()) {
            positions.push_back(int(position));
        }
    }
    return positions;
}

int NearestOfferedPosition(int position, std::uint32_t samplesPerSec)
{
    if (BitrateChoice::IsVbrIndex(position)) {
        return position;
    }
    const std::vector<int> offered = OfferedPositions(samplesPerSec);
    const int wanted = BitrateTable[std::size_t(std::clamp(position, 0, int(BitrateTable.size()) - 1))];
    int best = offered.front();
    for (const int candidate : offered) {
        // Table order is rising, so a strict comparison keeps the lower rate on a tie.
        if (std::abs(BitrateTable[std::size_t(candidate)] - wanted) <
            std::abs(BitrateTable[std::size_t(best)] - wanted)) {
            best = candidate;
        }
    }
    return best;
}
} // namespace Mp3BitrateChoices
