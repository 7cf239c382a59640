#include "platform/audio/pulse/PulseVolume.h"

#include "platform/audio/RecordMixer.h"

#include <gtest/gtest.h>
#include <pulse/volume.h>

TEST(PulseVolumeTest, EveryLevelSurvivesTheTripThroughAPulseVolume)
{
    for (int level = RecordMixer::kLevelMinimum; level <= RecordMixer::kLevelMaximum; ++level) {
        ASSERT_EQ(PulseVolume::LevelFromVolume(PulseVolume::VolumeFromLevel(level)), level) << level;
    }
}

TEST(PulseVolumeTest, TheEndsMeetAndBoostAndOutOfRangeLevelsClamp)
{
    EXPECT_EQ(PulseVolume::VolumeFromLevel(RecordMixer::kLevelMinimum), PA_VOLUME_MUTED);
    EXPECT_EQ(PulseVolume::VolumeFromLevel(RecordMixer::kLevelMaximum), PA_VOLUME_NORM);
    EXPECT_EQ(PulseVolume::LevelFromVolume(PA_VOLUME_NORM), RecordMixer::kLevelMaximum);
    EXPECT_EQ(PulseVolume::LevelFromVolume(PA_VOLUME_NORM * 3 / 2), RecordMixer::kLevelMaximum);
    EXPECT_EQ(PulseVolume::LevelFromVolume(PA_VOLUME_MAX), RecordMixer::kLevelMaximum);
    EXPECT_EQ(PulseVolume::VolumeFromLevel(70000), PA_VOLUME_NORM);
    EXPECT_EQ(PulseVolume::VolumeFromLevel(-1), PA_VOLUME_MUTED);
    EXPECT_EQ(PulseVolume::VolumeFromLevel(32768), 32769u);
}

TEST(PulseVolumeTest, OnlyTheFirstAndLastChannelsAreSet)
{
    pa_cvolume volume;
    pa_cvolume_init(&volume);
    volume.channels = 3;
    volume.values[0] = 100;
    volume.values[1] = 200;
    volume.values[2] = 300;
    PulseVolume::SetFirstAndLastChannel(volume, RecordMixer::kLevelMaximum);
    EXPECT_EQ(volume.values[0], PA_VOLUME_NORM);
    EXPECT_EQ(volume.values[1], 200u);
    EXPECT_EQ(volume.values[2], PA_VOLUME_NORM);
    EXPECT_EQ(PulseVolume::FirstChannelLevel(volume), RecordMixer::kLevelMaximum);

    pa_cvolume mono;
    pa_cvolume_set(&mono, 1, 1000);
    PulseVolume::SetFirstAndLastChannel(mono, 0);
    EXPECT_EQ(mono.values[0], PA_VOLUME_MUTED);

    pa_cvolume empty;
    pa_cvolume_init(&empty);
    PulseVolume::SetFirstAndLastChannel(empty, 100);
    EXPECT_EQ(PulseVolume::FirstChannelLevel(empty), 0);
}
