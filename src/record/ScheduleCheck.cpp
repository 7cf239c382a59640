#include "record/ScheduleCheck.h"

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerDay = 24 * kSecondsPerHour;
constexpr int kMillisecondsPerSecond = 1000;

bool WithinBand(int distance)
{
    return std::abs(distance) < ScheduleCheck::kMatchBandSeconds;
}

template <typename TimeOf>
bool AnyDue(const std::vector<ScheduleEntry>& entries, const QDateTime& now, const QTimeZone& zone, TimeOf timeOf)
{
    const QTime nowTime = now.toTimeZone(zone).time();
    return std::any_of(entries.begin(), entries.end(), [&](const ScheduleEntry& entry) {
        return WithinBand(ScheduleCheck::Distance(timeOf(entry), nowTime, zone));
    });
}
} // namespace

namespace ScheduleCheck
{
QTime LocalTimeOfDay(std::uint32_t secondsSince1970, const QTimeZone& zone)
{
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(secondsSince1970), zone).time();
}

int Distance(std::uint32_t entryTime, const QTime& nowTimeOfDay, const QTimeZone& zone)
{
    const QTime t = LocalTimeOfDay(entryTime, zone);
    return (t.hour() - nowTimeOfDay.hour()) * kSecondsPerHour +
           (t.minute() - nowTimeOfDay.minute()) * kSecondsPerMinute + (t.second() - nowTimeOfDay.second());
}

bool StartDue(const std::vector<ScheduleEntry>& entries, const QDateTime& now, bool recording, const QTimeZone& zone)
{
    // The first matching entry ends the pass whatever the recording state, so a match while
    // recording starts nothing, and matches further down the list change nothing either.
    return !recording && AnyDue(entries, now, zone, [](const ScheduleEntry& entry) { return entry.start; });
}

bool StopDue(const std::vector<ScheduleEntry>& entries, const QDateTime& now, bool recording, const QTimeZone& zone)
{
    return recording && AnyDue(entries, now, zone, [](const ScheduleEntry& entry) { return entry.end; });
}

int RunningWindow(const std::vector<ScheduleEntry>& entries, const QDateTime& now, const QTimeZone& zone)
{
    const int nowSeconds = now.toTimeZone(zone).time().msecsSinceStartOfDay() / kMillisecondsPerSecond;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int start = LocalTimeOfDay(entries[i].start, zone).msecsSinceStartOfDay() / kMillisecondsPerSecond;
        const int end = LocalTimeOfDay(entries[i].end, zone).msecsSinceStartOfDay() / kMillisecondsPerSecond;
        // Seconds since the window began and until it ends, both taken forward round the clock.
        const int sinceStart = (nowSeconds - start + kSecondsPerDay) % kSecondsPerDay;
        const int untilEnd = (end - nowSeconds + kSecondsPerDay) % kSecondsPerDay;
        const int length = (end - start + kSecondsPerDay) % kSecondsPerDay;
        if (length != 0 && sinceStart < length && untilEnd >= kMatchBandSeconds) {
            return int(i);
        }
    }
    return -1;
}

Decision Check(const std::vector<ScheduleEntry>& entries, const QDateTime& now, bool recording, const QTimeZone& zone)
{
    Decision decision;
    decision.start = StartDue(entries, now, recording, zone);
    decision.stop = StopDue(entries, now, recording || decision.start, zone);
    return decision;
}
} // namespace ScheduleCheck
