#include "record/RecordSizeEstimate.h"

#include "codec/BitrateChoice.h"
#include "codec/RecordFormat.h"

namespace
{
constexpr double kBitsPerKilobit = 1000.0;
constexpr double kBitsPerByte = 8.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kBytesPerMegabyte = 1000000.0;
} // namespace

namespace RecordSizeEstimate
{
double MegabytesPerMinute(int kbps)
{
    return kbps * kBitsPerKilobit / kBitsPerByte * kSecondsPerMinute / kBytesPerMegabyte;
}

QString Text(int kbps)
{
    return QString::asprintf("%.3f MB/min", MegabytesPerMinute(kbps));
}

QString TextForChoice(int bitrateIndex, std::uint32_t samplesPerSec)
{
    if (BitrateChoice::IsVbrIndex(bitrateIndex)) {
        const int typicalKbps = BitrateChoice::TypicalVbrKbps(BitrateChoice::VbrQuality(bitrateIndex), samplesPerSec);
        return QString::asprintf("~%.3f MB/min (typical)", MegabytesPerMinute(typicalKbps));
    }
    if (bitrateIndex < 0 || bitrateIndex >= int(BitrateTable.size())) {
        return {};
    }
    return Text(BitrateTable[std::size_t(bitrateIndex)]);
}
} // namespace RecordSizeEstimate
