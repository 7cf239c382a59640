#pragma once

#include "app/RecordSettings.h"

#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <cstdint>
#include <vector>

// The once-a-second test of the daily recording windows. Only the local time of day of an
// entry counts; the date it was stored with is ignored, so an entry made last month still
// fires today. Each time of day is read in the zone it was stored for (its own date's offset),
// which keeps it at the hour the user picked across daylight-saving changes.
namespace ScheduleCheck
{
// A start or end is due while it lies less than this many seconds before or after now; the
// check runs about once a second, so each time is seen on about three ticks.
constexpr int kMatchBandSeconds = 2;

struct Decision
{
    bool start = false; // start recording as the Record command does
    bool stop = false;  // then stop the recording under way as the Stop command does
    bool operator==(const Decision&) const = default;
};

QTime LocalTimeOfDay(std::uint32_t secondsSince1970, const QTimeZone& zone);

// Seconds from now's time of day to the entry time's, both local; no wrap at midnight.
int Distance(std::uint32_t entryTime, const QTime& nowTimeOfDay, const QTimeZone& zone);

// The start pass: some entry starts now and nothing records yet.
bool StartDue(const std::vector<ScheduleEntry>& entries, const QDateTime& now, bool recording,
              const QTimeZone& zone = QTimeZone::systemTimeZone());

// The stop pass: some entry ends now and a recording (scheduled or not) is under way.
bool StopDue(const std::vector<ScheduleEntry>& entries, const QDateTime& now, bool recording,
             const QTimeZone& zone = QTimeZone::systemTimeZone());

// The first entry whose window is under way at now (from its start's time of day up to its end's,
// across midnight when the end comes earlier in the day) and not about to end; -1 for none. A
// window whose start and end are the same time of day is empty.
int RunningWindow(const std::vector<ScheduleEntry>& entries, const QDateTime& now,
                  const QTimeZone& zone = QTimeZone::systemTimeZone());

// Both passes of one tick, the start pass first. A start made by this tick counts as a
// recording under way for the stop pass, so a window whose end meets a start on the same tick
// starts and stops at once. Callers whose start may not leave a recording running can run
// StartDue and StopDue themselves with the real state in between.
Decision Check(const std::vector<ScheduleEntry>& entries, const QDateTime& now, bool recording,
               const QTimeZone& zone = QTimeZone::systemTimeZone());
} // namespace ScheduleCheck
