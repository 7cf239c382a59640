// The wave output player through the real PulseAudio back-end on the private test server: a
// stretch cut out of the middle of a WAV file, stopped by its owner at the end offset as the
// cut-and-play dialog does, recorded back from the null sink's monitor.
#include "audio/WavePlayer.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "record/RecordingTestHelpers.h"
#include "support/SoundServerLock.h"
#include "support/TestSoundServer.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

namespace
{
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * 2;
constexpr double kOuterHz = 440.0;
constexpr double kSelectionHz = 880.0;
constexpr double kSelectionSeconds = 2.0;
constexpr std::size_t kCaptureBuffer = 4608;
// A hang guard on real time, not a speed requirement.
constexpr int kHangGuardMs = 30000;
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// The sink may drop what it had rendered ahead when a stream starts or ends, so the recorded
// stretch is allowed to be a little short or long.
constexpr double kLengthTolerance = 0.35;
constexpr double kPitchTolerance = 10.0;

class WavePlayerE2ETest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString missing = TestSoundServer::SharedServerMissing();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        m_lock = std::make_unique<CSoundServerLock>();
        ASSERT_TRUE(m_lock->IsLocked());
        ASSERT_TRUE(m_folder.isValid());
        RecordingTest::PrepareProcess();
        m_server = TestSoundServer::SharedServerAddress();
        Pactl({"set-sink-volume", "out", "100%"});
        Pactl({"set-source-volume", "out.monitor", "100%"});
        Pactl({"set-default-source", "out.monitor"});
        m_scope = std::make_unique<CScopedAudioBackend>(std::make_shared<CPulseAudioBackend>(m_server));
    }

    void TearDown() override
    {
        m_scope.reset();
        if (m_lock) {
            Pactl({"set-default-source", "sine"});
        }
    }

    void Pactl(const QStringList& arguments)
    {
        const auto result = TestSoundServer::Pactl(m_server, arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString() << ": " << result.err.toStdString();
    }

    std::unique_ptr<CSoundServerLock> m_lock;
    QTemporaryDir m_folder;
    QString m_server;
    std::unique_ptr<CScopedAudioBackend> m_scope;
};
} // namespace

TEST_F(WavePlayerE2ETest, TheSelectionInTheMiddleOfAFileIsWhatTheOutputPlays)
{
    auto pcm = TestSupport::SinePcm(kChannels, kRate, 1.0, kOuterHz);
    const auto selection = TestSupport::SinePcm(kChannels, kRate, kSelectionSeconds, kSelectionHz);
    const auto after = TestSupport::SinePcm(kChannels, kRate, 1.0, kOuterHz);
    const auto start = std::uint32_t(pcm.size() * sizeof(std::int16_t));
    pcm.insert(pcm.end(), selection.begin(), selection.end());
    const auto end = std::uint32_t(pcm.size() * sizeof(std::int16_t));
    pcm.insert(pcm.end(), after.begin(), after.end());
    const QString wav = m_folder.filePath("three tones.wav");
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, pcm, kChannels, kRate));
    ASSERT_EQ(start % kFrameBytes, 0u);

    std::mutex recordedMutex;
    QByteArray recorded;
    auto capture = CPulseAudioBackend(m_server).CreateCapture();
    ASSERT_TRUE(capture->Open(
        PcmFormat::Pcm16(kChannels, kRate), kCaptureBuffer,
        [&](const std::uint8_t* data, std::size_t bytes) {
            std::lock_guard lock(recordedMutex);
            recorded.append(reinterpret_cast<const char*>(data), qsizetype(bytes));
        },
        [] {}))
        << capture->LastError().toStdString();
    ASSERT_TRUE(capture->Start());
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
    capture->Stop();
    capture->Close();

    std::vector<std::int16_t> samples;
    {
        std::lock_guard lock(recordedMutex);
        samples.resize(std::size_t(recorded.size()) / sizeof(std::int16_t));
        std::memcpy(samples.data(), recorded.constData(), samples.size() * sizeof(std::int16_t));
    }
    const auto tone = RecordingTest::FindTone(samples, kChannels, kRate);
    ASSERT_GE(tone.firstSeconds, 0) << "nothing was heard";
    EXPECT_NEAR(tone.Seconds(), kSelectionSeconds, kLengthTolerance);
    EXPECT_NEAR(
        RecordingTest::ToneFrequency(samples, kChannels, kRate, tone.firstSeconds + 0.1, tone.lastSeconds - 0.1),
        kSelectionHz, kPitchTolerance);
}
