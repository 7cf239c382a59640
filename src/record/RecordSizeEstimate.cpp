#include "record/RecordSizeEstimate.h"

namespace
{
// 60 seconds / 1024, the factor of the figure users have always been shown.
constexpr double kMegabytesPerMinutePerKbps = 0.05859375;
} // namespace

namespace RecordSizeEstimate
{
double MegabytesPerMinute(int kbps)
{
    return kbps * kMegabytesPerMinutePerKbps;
}

QString Text(int kbps)
{
    return QString::asprintf("%.3f MB/min", MegabytesPerMinute(kbps));
}
} // namespace RecordSizeEstimate
