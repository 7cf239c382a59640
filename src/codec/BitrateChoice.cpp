#include "codec/BitrateChoice.h"

#include "codec/RecordFormat.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace
{
// LAME's documented averages of -V0 ... -V9 for 44.1 kHz stereo music.
constexpr std::array<int, BitrateChoice::kVbrLevelCount> kTypicalVbrKbpsAt44100 = {245, 225, 190, 175, 165,
                                                                                   130, 115, 100, 85,  65};
constexpr std::uint32_t kTypicalFiguresRate = 44100;
constexpr int kLowestTypicalKbps = 8;
} // namespace

namespace BitrateChoice
{
int FirstVbrIndex()
{
    return static_cast<int>(BitrateTable.size());
}

int IndexCount()
{
    return FirstVbrIndex() + kVbrLevelCount;
}

bool IsValidIndex(int index)
{
    return index >= 0 && index < IndexCount();
}

bool IsVbrIndex(int index)
{
    return index >= FirstVbrIndex() && index < IndexCount();
}

int VbrQuality(int index)
{
    return IsVbrIndex(index) ? index - FirstVbrIndex() : kNoVbr;
}

int IndexOfVbrQuality(int quality)
{
    return FirstVbrIndex() + std::clamp(quality, 0, kVbrLevelCount - 1);
}

bool IsValidVbrQuality(int quality)
{
    return quality >= 0 && quality < kVbrLevelCount;
}

int NearestConstantIndex(int kbps)
{
    std::size_t best = 0;
    for (std::size_t position = 1; position < BitrateTable.size(); ++position) {
        if (std::abs(BitrateTable[position] - kbps) < std::abs(BitrateTable[best] - kbps)) {
            best = position;
        }
    }
    return static_cast<int>(best);
}

int TypicalVbrKbps(int quality, std::uint32_t samplesPerSec)
{
    const int atFullRate = kTypicalVbrKbpsAt44100[static_cast<std::size_t>(std::clamp(quality, 0, kVbrLevelCount - 1))];
    const std::uint32_t rate = std::min(samplesPerSec, kTypicalFiguresRate);
    return std::max(kLowestTypicalKbps, static_cast<int>(std::uint64_t(atFullRate) * rate / kTypicalFiguresRate));
}
} // namespace BitrateChoice
