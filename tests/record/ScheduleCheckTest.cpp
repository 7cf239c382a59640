#include "record/ScheduleCheck.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <vector>

using ScheduleCheck::Check;
using ScheduleCheck::Decision;

namespace
{
constexpr int kUtcPlusOne = 3600;
const QTimeZone kZone(kUtcPlusOne);
const QDate kToday(2026, 12, 8);
const QDate kEntryDay(2024, 3, 1); // entries keep the date they were made on

std::uint32_t Stored(const QDate& date, const QTime& time, const QTimeZone& zone = kZone)
{
    return static_cast<std::uint32_t>(QDateTime(date, time, zone).toSecsSinceEpoch());
}

ScheduleEntry Window(const QTime& start, const QTime& end, const QDate& madeOn = kEntryDay)
{
    return {Stored(madeOn, start), Stored(madeOn, end)};
}

QDateTime At(const QTime& time, const QDate& date = kToday, const QTimeZone& zone = kZone)
{
    return QDateTime(date, time, zone);
}

constexpr Decision kNothing{false, false};
constexpr Decision kStart{true, false};
constexpr Decision kStop{false, true};
constexpr Decision kStartThenStop{true, true};
} // namespace

TEST(ScheduleCheckTest, StartMatchesOnlyWithinTheThreeSecondBand)
{
    const std::vector<ScheduleEntry> entries = {Window(QTime(10, 0, 0), QTime(10, 10, 0))};
    EXPECT_EQ(Check(entries, At(QTime(9, 59, 58)), false, kZone), kNothing);
    EXPECT_EQ(Check(entries, At(QTime(9, 59, 59)), false, kZone), kStart);
    EXPECT_EQ(Check(entries, At(QTime(10, 0, 0)), false, kZone), kStart);
    EXPECT_EQ(Check(entries, At(QTime(10, 0, 1)), false, kZone), kStart);
    EXPECT_EQ(Check(entries, At(QTime(10, 0, 2)), false, kZone), kNothing);
    EXPECT_EQ(Check(entries, At(QTime(11, 0, 0)), false, kZone), kNothing) << "the same minutes in another hour";
    EXPECT_EQ(Check(entries, At(QTime(10, 0, 0)), true, kZone), kNothing) << "a recording is already under way";
    EXPECT_EQ(Check({}, At(QTime(10, 0, 0)), false, kZone), kNothing);
}

TEST(ScheduleCheckTest, EndStopsAnyRecordingAndOnlyARecording)
{
    const std::vector<ScheduleEntry> entries = {Window(QTime(10, 0, 0), QTime(10, 10, 0))};
    EXPECT_EQ(Check(entries, At(QTime(10, 9, 59)), true, kZone), kStop);
    EXPECT_EQ(Check(entries, At(QTime(10, 10, 1)), true, kZone), kStop);
    EXPECT_EQ(Check(entries, At(QTime(10, 10, 2)), true, kZone), kNothing);
    EXPECT_EQ(Check(entries, At(QTime(10, 10, 0)), false, kZone), kNothing);
    EXPECT_TRUE(ScheduleCheck::StopDue(entries, At(QTime(10, 10, 0)), true, kZone)) << "started by hand";
}

TEST(ScheduleCheckTest, StopPassFollowsStartPassOnTheSameTick)
{
    // A window ending when it starts: the stop pass sees the recording the start pass began.
    const std::vector<ScheduleEntry> empty = {Window(QTime(8, 0, 0), QTime(8, 0, 0))};
    EXPECT_EQ(Check(empty, At(QTime(8, 0, 0)), false, kZone), kStartThenStop);

    // One window ends where the next begins: while the first still records, its end wins.
    const std::vector<ScheduleEntry> backToBack = {Window(QTime(9, 0, 0), QTime(10, 0, 0)),
                                                   Window(QTime(10, 0, 0), QTime(11, 0, 0))};
    EXPECT_EQ(Check(backToBack, At(QTime(10, 0, 0)), true, kZone), kStop);
    EXPECT_EQ(Check(backToBack, At(QTime(10, 0, 1)), false, kZone), kStartThenStop);

    // Entries further down the list take part in both passes.
    const std::vector<ScheduleEntry> two = {Window(QTime(7, 0, 0), QTime(7, 30, 0)),
                                            Window(QTime(12, 0, 0), QTime(13, 0, 0))};
    EXPECT_EQ(Check(two, At(QTime(12, 0, 0)), false, kZone), kStart);
    EXPECT_EQ(Check(two, At(QTime(13, 0, 0)), true, kZone), kStop);
}

TEST(ScheduleCheckTest, WindowAcrossMidnightStartsAndStopsOnItsTimesOfDay)
{
    const std::vector<ScheduleEntry> entries = {Window(QTime(23, 0, 0), QTime(1, 0, 0))};
    EXPECT_EQ(Check(entries, At(QTime(23, 0, 0)), false, kZone), kStart);
    EXPECT_EQ(Check(entries, At(QTime(0, 0, 0), kToday.addDays(1)), true, kZone), kNothing);
    EXPECT_EQ(Check(entries, At(QTime(1, 0, 0), kToday.addDays(1)), true, kZone), kStop);
    // Times of day are compared without wrapping, so the band narrows at midnight.
    const std::vector<ScheduleEntry> lastSecond = {Window(QTime(23, 59, 59), QTime(0, 30, 0))};
    EXPECT_EQ(Check(lastSecond, At(QTime(23, 59, 58)), false, kZone), kStart);
    EXPECT_EQ(Check(lastSecond, At(QTime(0, 0, 0)), false, kZone), kNothing);
}

TEST(ScheduleCheckTest, EntriesFromEarlierDaysFireDaily)
{
    const std::vector<ScheduleEntry> entries = {Window(QTime(6, 30, 0), QTime(7, 0, 0), QDate(1999, 1, 1)),
                                                Window(QTime(18, 15, 30), QTime(18, 45, 0), QDate(2026, 12, 7))};
    for (int day = 0; day < 3; ++day) {
        EXPECT_EQ(Check(entries, At(QTime(6, 30, 0), kToday.addDays(day)), false, kZone), kStart) << day;
        EXPECT_EQ(Check(entries, At(QTime(18, 15, 31), kToday.addDays(day)), false, kZone), kStart) << day;
        EXPECT_EQ(Check(entries, At(QTime(18, 45, 0), kToday.addDays(day)), true, kZone), kStop) << day;
    }
}

TEST(ScheduleCheckTest, TimesOfDayAreReadInTheGivenZone)
{
    // The same stored second is 10:00 at UTC+1 and 14:30 at UTC+5:30.
    const std::vector<ScheduleEntry> entries = {Window(QTime(10, 0, 0), QTime(11, 0, 0))};
    const QTimeZone india(5 * 3600 + 30 * 60);
    EXPECT_EQ(Check(entries, At(QTime(14, 30, 0), kToday, india), false, india), kStart);
    EXPECT_EQ(Check(entries, At(QTime(10, 0, 0), kToday, india), false, india), kNothing);
    // "Now" may come in any zone; it is compared as the local time of day.
    const QDateTime nineUtc(kToday, QTime(9, 0, 0), QTimeZone::utc());
    EXPECT_EQ(Check(entries, nineUtc, false, kZone), kStart);
    EXPECT_EQ(ScheduleCheck::Distance(entries[0].start, QTime(9, 59, 0), kZone), 60);
    EXPECT_EQ(ScheduleCheck::Distance(entries[0].start, QTime(11, 0, 1), kZone), -3601);
}

TEST(ScheduleCheckTest, DaylightSavingKeepsTheTimeOfDayTheUserPicked)
{
    const QTimeZone berlin("Europe/Berlin");
    if (!berlin.isValid()) {
        GTEST_SKIP() << "no time zone data";
    }
    // Made in winter (UTC+1) for 08:00; in summer (UTC+2) it still means 08:00 local.
    const ScheduleEntry winter{Stored(QDate(2026, 1, 15), QTime(8, 0, 0), berlin),
                               Stored(QDate(2026, 1, 15), QTime(9, 0, 0), berlin)};
    const QDate summerDay(2026, 7, 15);
    EXPECT_EQ(Check({winter}, At(QTime(8, 0, 0), summerDay, berlin), false, berlin), kStart);
    EXPECT_EQ(Check({winter}, At(QTime(9, 0, 0), summerDay, berlin), false, berlin), kNothing);
    EXPECT_EQ(Check({winter}, At(QTime(9, 0, 0), summerDay, berlin), true, berlin), kStop);
    // On the night the clocks go back, 02:30 happens twice and matches both times.
    const ScheduleEntry night{Stored(QDate(2026, 2, 1), QTime(2, 30, 0), berlin),
                              Stored(QDate(2026, 2, 1), QTime(2, 45, 0), berlin)};
    const QDateTime firstPass(QDate(2026, 10, 25), QTime(0, 30, 0), QTimeZone::utc());
    EXPECT_EQ(Check({night}, firstPass, false, berlin), kStart);
    EXPECT_EQ(Check({night}, firstPass.addSecs(3600), false, berlin), kStart);
}
