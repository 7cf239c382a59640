// The wave output player through the real PulseAudio back-end on the private test server: a
// stretch cut out of the middle of a WAV file, stopped by its owner at the end offset as the
// cut-and-play dialog does, recorded back from the null sink's monitor.
#include "NullSinkPlayback.h"
#include "audio/WavePlayer.h"
#include "record/RecordingTestHelpers.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace
{
constexpr double kOuterHz = 440.0;
constexpr double kSelectionHz = 880.0;
constexpr double kSelectionSeconds = 2.0;
constexpr double kToneAmplitude = 0.5;
// A hang guard on real time, not a speed requirement.
constexpr int kHangGuardMs = 30000;
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// The sink may drop what it had rendered ahead when a stream starts or ends, so the recorded
// stretch is allowed to be a little short or long.
constexpr double kLengthTolerance = 0.35;
constexpr double kPitchTolerance = 10.0;

class WavePlayerE2ETest : public CNullSinkPlaybackTest
{
protected:
    void SetUp() override
    {
        CNullSinkPlaybackTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(m_folder.isValid());
        RecordingTest::PrepareProcess();
    }

    QTemporaryDir m_folder;
};
} // namespace

TEST_F(WavePlayerE2ETest, TheSelectionInTheMiddleOfAFileIsWhatTheOutputPlays)
{
    const ThreeTones tones = MakeThreeTones(1.0, kOuterHz, kSelectionSeconds, kSelectionHz, kToneAmplitude);
    const std::uint32_t start = tones.selectionStart;
    const std::uint32_t end = tones.selectionEnd;
    const QString wav = m_folder.filePath("three tones.wav");
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, tones.pcm, kChannels, kRate));
    ASSERT_EQ(start % kFrameBytes, 0u);

    ASSERT_NO_FATAL_FAILURE(StartMonitor());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    CWavePlayer player;
    ASSERT_TRUE(player.Open(wav, start, end));
    QDeadlineTimer guard(kHangGuardMs);
    while (player.IsPlaying() && player.StartOffset() + player.GetPosition() < end && !guard.hasExpired()) {
        std::this_thread::sleep_for(kPollInterval);
    }
    EXPECT_TRUE(player.IsPlaying()) << "playback ended before its owner stopped it";
    EXPECT_FALSE(guard.hasExpired());
    player.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::vector<std::int16_t> samples = StopMonitor();
    const auto tone = RecordingTest::FindTone(samples, kChannels, kRate);
    ASSERT_GE(tone.firstSeconds, 0) << "nothing was heard";
    EXPECT_NEAR(tone.Seconds(), kSelectionSeconds, kLengthTolerance);
    EXPECT_NEAR(
        RecordingTest::ToneFrequency(samples, kChannels, kRate, tone.firstSeconds + 0.1, tone.lastSeconds - 0.1),
        kSelectionHz, kPitchTolerance);
}
