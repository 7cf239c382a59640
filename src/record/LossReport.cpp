#include "record/LossReport.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace
{
constexpr int kSecondsPerMinute = 60;
constexpr double kTenthsPerSecond = 10.0;

// Tenths of a second, rounded up: a loss never reads as "0.0 s".
QString Seconds(std::uint64_t bytes, std::uint64_t bytesPerSecond)
{
    const double tenths = std::ceil(double(bytes) * kTenthsPerSecond / double(bytesPerSecond));
    return QString::number(tenths / kTenthsPerSecond, 'f', 1);
}

QString Place(std::uint64_t positionBytes, std::uint64_t bytesPerSecond)
{
    const std::uint64_t seconds = positionBytes / bytesPerSecond;
    return QString::asprintf("%02llu:%02llu", static_cast<unsigned long long>(seconds / kSecondsPerMinute),
                             static_cast<unsigned long long>(seconds % kSecondsPerMinute));
}
} // namespace

namespace LossReport
{
QString Text(const std::vector<CaptureLoss>& losses, std::uint64_t recordedBytes, std::uint64_t bytesPerSecond)
{
    if (bytesPerSecond == 0) {
        return {};
    }
    std::vector<CaptureLoss> heard;
    for (const CaptureLoss& loss : losses) {
        if (loss.bytes > 0 && loss.positionBytes < recordedBytes) {
            // Only the silence that reached the file counts.
            heard.push_back(CaptureLoss{loss.positionBytes, std::min(loss.bytes, recordedBytes - loss.positionBytes)});
        }
    }
    if (heard.empty()) {
        return {};
    }
    if (heard.size() > kMaxLossesNamed) {
        std::uint64_t total = 0;
        for (const CaptureLoss& loss : heard) {
            total += loss.bytes;
        }
        return QStringLiteral("%1 s of sound were lost in %2 places, the first at %3")
            .arg(Seconds(total, bytesPerSecond))
            .arg(heard.size())
            .arg(Place(heard.front().positionBytes, bytesPerSecond));
    }
    QStringList parts;
    for (const CaptureLoss& loss : heard) {
        parts << QStringLiteral("%1 s of sound were lost at %2")
                     .arg(Seconds(loss.bytes, bytesPerSecond), Place(loss.positionBytes, bytesPerSecond));
    }
    return parts.join(QStringLiteral("; "));
}
} // namespace LossReport
