#include "record/LossReport.h"

#include <gtest/gtest.h>

namespace
{
constexpr std::uint64_t kStereo44k = 176400; // bytes per second
constexpr std::uint64_t kHour = 3600 * kStereo44k;

std::uint64_t Seconds(double seconds)
{
    return std::uint64_t(seconds * double(kStereo44k));
}
} // namespace

TEST(LossReportTest, OneLossGivesItsLengthInTenthsAndItsPlaceInMinutesAndSeconds)
{
    EXPECT_EQ(LossReport::Text({{Seconds(67.4), Seconds(2.5)}}, kHour, kStereo44k).toStdString(),
              "2.5 s of sound were lost at 01:07");
    // A loss of a few milliseconds is still a loss, never "0.0 s".
    EXPECT_EQ(LossReport::Text({{0, 8}}, kHour, kStereo44k).toStdString(), "0.1 s of sound were lost at 00:00");
    // Minutes are not limited to two digits.
    EXPECT_EQ(LossReport::Text({{Seconds(6000), Seconds(12)}}, 2 * kHour, kStereo44k).toStdString(),
              "12.0 s of sound were lost at 100:00");
}

TEST(LossReportTest, SeveralLossesAreNamedEachUntilThereAreTooManyThenTotalledFromTheFirst)
{
    const std::vector<CaptureLoss> two = {{Seconds(10), Seconds(1)}, {Seconds(150), Seconds(0.5)}};
    EXPECT_EQ(LossReport::Text(two, kHour, kStereo44k).toStdString(),
              "1.0 s of sound were lost at 00:10; 0.5 s of sound were lost at 02:30");

    const std::vector<CaptureLoss> four = {
        {Seconds(10), Seconds(1)}, {Seconds(20), Seconds(1)}, {Seconds(30), Seconds(1)}, {Seconds(40), Seconds(1.5)}};
    EXPECT_EQ(LossReport::Text(four, kHour, kStereo44k).toStdString(),
              "4.5 s of sound were lost in 4 places, the first at 00:10");
}

TEST(LossReportTest, OnlyWhatReachedTheRecordingCounts)
{
    EXPECT_TRUE(LossReport::Text({}, kHour, kStereo44k).isEmpty());
    // Lost after the recording ended: never part of the file.
    EXPECT_TRUE(LossReport::Text({{Seconds(60), Seconds(2)}}, Seconds(60), kStereo44k).isEmpty());
    // Cut short by the end of the recording.
    EXPECT_EQ(LossReport::Text({{Seconds(59), Seconds(5)}}, Seconds(60), kStereo44k).toStdString(),
              "1.0 s of sound were lost at 00:59");
    EXPECT_TRUE(LossReport::Text({{0, Seconds(1)}}, kHour, 0).isEmpty());
}
