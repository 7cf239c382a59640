#include "record/RecordSizeEstimate.h"

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
} // namespace RecordSizeEstimate
