// The level meter's engine on buffers of known peaks: level, fall, hold and clip.
#include "record/PeakMeter.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
constexpr int kFrames = 1152;
constexpr double kHalfScaleDb = -6.02;
constexpr double kTolerance = 0.05;

// Interleaved frames: the left channel peaks at `left`, the right at `right` (once each, the
// rest of the buffer quieter).
std::vector<std::int16_t> Buffer(int channels, int left, int right = 0)
{
    std::vector<std::int16_t> samples(std::size_t(kFrames) * std::size_t(channels), 100);
    samples[std::size_t(kFrames / 2) * std::size_t(channels)] = std::int16_t(left);
    if (channels == 2) {
        samples[std::size_t(kFrames / 3) * 2 + 1] = std::int16_t(right);
    }
    return samples;
}

void Feed(CPeakMeter& meter, const std::vector<std::int16_t>& samples, int channels)
{
    meter.Feed(samples.data(), samples.size() * sizeof(std::int16_t), channels);
}
} // namespace

TEST(PeakMeterTest, EachChannelShowsItsOwnPeakInDecibelsBelowFullScale)
{
    CPeakMeter meter;
    EXPECT_EQ(meter.Poll(0).channels, 0);
    // A negative half-scale peak counts like a positive one.
    Feed(meter, Buffer(2, -16384, 1638), 2);
    const CPeakMeter::Reading reading = meter.Poll(50);
    EXPECT_EQ(reading.channels, 2);
    EXPECT_NEAR(reading.levelDb[0], kHalfScaleDb, kTolerance);
    EXPECT_NEAR(reading.levelDb[1], -26.02, kTolerance);
    EXPECT_FALSE(reading.clipped);

    // Several buffers between two polls: the loudest counts.
    Feed(meter, Buffer(1, 3000), 1);
    Feed(meter, Buffer(1, 16384), 1);
    Feed(meter, Buffer(1, 1000), 1);
    const CPeakMeter::Reading mono = meter.Poll(100);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_NEAR(mono.levelDb[0], kHalfScaleDb, kTolerance);
    EXPECT_DOUBLE_EQ(CPeakMeter::ToDb(0), CPeakMeter::kFloorDb);
    EXPECT_DOUBLE_EQ(CPeakMeter::ToDb(3), CPeakMeter::kFloorDb);
}

TEST(PeakMeterTest, LevelFallsSteadilyWhileTheHoldStaysThenFollows)
{
    CPeakMeter meter;
    Feed(meter, Buffer(1, 16384), 1);
    meter.Poll(0);
    // Quiet buffers (peak 100, about -50 dB) from now on.
    const double fallPerHalfSecond = CPeakMeter::kFallDbPerSecond / 2;
    Feed(meter, Buffer(1, 100), 1);
    CPeakMeter::Reading reading = meter.Poll(500);
    EXPECT_NEAR(reading.levelDb[0], kHalfScaleDb - fallPerHalfSecond, kTolerance);
    EXPECT_NEAR(reading.holdDb[0], kHalfScaleDb, kTolerance);

    Feed(meter, Buffer(1, 100), 1);
    reading = meter.Poll(CPeakMeter::kHoldMs);
    EXPECT_NEAR(reading.holdDb[0], kHalfScaleDb, kTolerance) << "held for the whole hold time";

    Feed(meter, Buffer(1, 100), 1);
    reading = meter.Poll(CPeakMeter::kHoldMs + 500);
    EXPECT_LT(reading.holdDb[0], kHalfScaleDb - 1.0);
    EXPECT_GE(reading.holdDb[0], reading.levelDb[0]);

    // Long silence brings both to the floor, never below.
    reading = meter.Poll(60000);
    EXPECT_DOUBLE_EQ(reading.levelDb[0], CPeakMeter::kFloorDb);
    EXPECT_DOUBLE_EQ(reading.holdDb[0], CPeakMeter::kFloorDb);
}

TEST(PeakMeterTest, FullScaleOfEitherSignLightsTheClipLampUntilReset)
{
    CPeakMeter meter;
    Feed(meter, Buffer(2, 32766, -32767), 2);
    EXPECT_FALSE(meter.Poll(0).clipped) << "one step below full scale is not a clip";

    Feed(meter, Buffer(2, 0, -32768), 2);
    CPeakMeter::Reading reading = meter.Poll(50);
    EXPECT_TRUE(reading.clipped);
    EXPECT_DOUBLE_EQ(reading.levelDb[1], 0.0);

    // Quiet afterwards: the lamp stays lit.
    Feed(meter, Buffer(2, 100, 100), 2);
    EXPECT_TRUE(meter.Poll(10000).clipped);

    meter.Reset();
    reading = meter.Poll(10050);
    EXPECT_FALSE(reading.clipped);
    EXPECT_DOUBLE_EQ(reading.holdDb[1], CPeakMeter::kFloorDb);

    Feed(meter, Buffer(1, 32767), 1);
    EXPECT_TRUE(meter.Poll(10100).clipped);
}
