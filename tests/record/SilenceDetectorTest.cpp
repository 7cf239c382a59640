#include "record/SilenceDetector.h"

#include "app/RecordSettings.h"

#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <vector>

using namespace SilenceDetector;

TEST(SilenceDetectorTest, MeanAbsoluteLevelCountsEveryWholeSample)
{
    const std::vector<std::int16_t> samples = {-32768, 32767, -2, 2, 0};
    EXPECT_EQ(MeanAbsoluteLevel(samples.data(), 2 * sizeof(std::int16_t)), 32767); // (32768 + 32767) / 2
    EXPECT_EQ(MeanAbsoluteLevel(samples.data(), 4 * sizeof(std::int16_t)), 16384);
    EXPECT_EQ(MeanAbsoluteLevel(samples.data() + 2, 5), 2) << "a trailing odd byte is ignored";
    EXPECT_EQ(MeanAbsoluteLevel(samples.data(), 1), 0) << "no whole sample";
    const std::vector<std::int16_t> loudest(4608, -32768);
    EXPECT_EQ(MeanAbsoluteLevel(loudest.data(), loudest.size() * 2), 32768);
}

TEST(SilenceDetectorTest, BytesToSecondsTruncatesAtEachStep)
{
    const RecordFormat stereo = RecordFormat::Pcm16(2, 44100);
    EXPECT_EQ(BytesToSeconds(stereo, 176400), 1u);
    EXPECT_EQ(BytesToSeconds(stereo, 176399), 0u);
    EXPECT_EQ(BytesToSeconds(stereo, 39 * 4608), 1u);
    EXPECT_EQ(BytesToSeconds(stereo, 38 * 4608), 0u);
    EXPECT_EQ(BytesToSeconds(RecordFormat::Pcm16(1, 8000), 16000 * 7), 7u);
    EXPECT_EQ(BytesToSeconds(stereo, 0xFFFFFFFFu), 24347u);
    RecordFormat broken = stereo;
    broken.samplesPerSec = 0;
    EXPECT_EQ(BytesToSeconds(broken, 176400), 0u);
}

TEST(SilenceDetectorTest, ThresholdFollowsLevelAndSensitivity)
{
    struct Case
    {
        int level;
        int sensitivity;
        int threshold;
    };
    constexpr std::array<Case, 7> kCases = {{{10, 1, 330},
                                             {10, 500, 349},
                                             {10, 1000, 369},
                                             {32768, 500, 1124},
                                             {65535, 500, 1899},
                                             {0, 1, 329},
                                             {10, 5000, 370}}};
    for (const Case& c : kCases) {
        EXPECT_EQ(SilenceThreshold(c.level, c.sensitivity), c.threshold) << c.level << " / " << c.sensitivity;
    }
}

TEST(SilenceDetectorTest, IsSilentUsesTheSettingsSensitivity)
{
    QTemporaryDir data;
    qputenv("SORVANE_DATA_DIR", data.path().toLocal8Bit());
    CRecordSettings::Instance().SetSensitivity(500);
    EXPECT_TRUE(IsSilent(0, 0));
    EXPECT_TRUE(IsSilent(348, 10));
    EXPECT_FALSE(IsSilent(349, 10));
    CRecordSettings::Instance().SetSensitivity(1000);
    EXPECT_TRUE(IsSilent(368, 10));
    EXPECT_FALSE(IsSilent(369, 10));
}
