// Recording control through the real PulseAudio back-end on the private test server: the
// silence detector on the pipe source, pause, two recordings in the same minute, and a burst
// of sound far faster than real time.
#include "E2eSupport.h"
#include "app/RecordSettings.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "record/MixerState.h"
#include "record/RecordingController.h"
#include "record/RecordingTestHelpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using RecordingTest::Tone;
using RecordingTest::Zeros;

namespace
{
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kPipeBytesPerSecond = kRate * kChannels * 2;

class RecordingE2ETest : public ::testing::Test
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
        ASSERT_TRUE(m_folder.isValid() && m_dataHome.isValid());
        // The small-file rule's trash, kept out of the user's.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
        RecordingTest::PrepareProcess();
        RecordingTest::ResetSettings(m_folder.path() + "/", kChannels, kRate);
        MixerState::selectedLevel = MixerState::kDefaultSelectedLevel;
        m_server = TestSoundServer::SharedServerAddress();
        m_scope = std::make_unique<CScopedAudioBackend>(std::make_shared<CPulseAudioBackend>(m_server));
        m_controller = std::make_unique<CRecordingController>();
        m_controller->SetFiledCallback([this](const QString& path) { m_filed << path; });
        QObject::connect(m_controller.get(), &CRecordingController::messageToShow, m_controller.get(),
                         [this](const QString& text) { m_messages << text; });
    }

    void TearDown() override
    {
        m_controller.reset();
        m_scope.reset();
        qunsetenv("XDG_DATA_HOME");
        if (m_lock) {
            if (m_pipeUsed) {
                DrainPipe();
            }
            SelectSource("sine");
        }
    }

    // What a recording that stopped early left unread in the pipe source would reach the next
    // test that records from it: read it away until the source stalls.
    void DrainPipe()
    {
        SelectSource("pipe");
        constexpr std::size_t kOneFrame = 4;
        constexpr auto kQuietWait = std::chrono::milliseconds(400);
        CPulseAudioBackend backend(m_server);
        auto capture = backend.CreateCapture();
        std::atomic<std::uint64_t> bytes{0};
        ASSERT_TRUE(capture->Open(
            PcmFormat::Pcm16(kChannels, kRate), kOneFrame,
            [&bytes](const std::uint8_t*, std::size_t size) { bytes += size; }, [] {}));
        ASSERT_TRUE(capture->Start());
        std::uint64_t seen = 0;
        do {
            seen = bytes;
            std::this_thread::sleep_for(kQuietWait);
        } while (bytes != seen);
        capture->Close();
    }

    void UsePipe()
    {
        m_pipeUsed = true;
        SelectSource("pipe");
    }

    void SelectSource(const QString& name)
    {
        const auto result = TestSoundServer::Pactl(m_server, {"set-default-source", name});
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    }

    void StartRecording(const QString& recordFileText)
    {
        m_controller->SetRecordFileText(recordFileText);
        m_controller->Record();
        ASSERT_TRUE(m_controller->IsRecording());
        ASSERT_TRUE(m_controller->StartFailureText().isEmpty()) << m_controller->StartFailureText().toStdString();
    }

    // Handles events while the recording runs until `milliseconds` more were captured.
    void RecordFor(std::uint64_t milliseconds)
    {
        const std::uint64_t until = m_controller->CapturedMilliseconds() + milliseconds;
        ASSERT_TRUE(RecordingTest::ProcessEventsUntil([&] { return m_controller->CapturedMilliseconds() >= until; },
                                                      E2e::kHangGuard));
    }

    void ProcessEventsFor(std::chrono::milliseconds time)
    {
        const auto until = std::chrono::steady_clock::now() + time;
        RecordingTest::ProcessEventsUntil([&] { return std::chrono::steady_clock::now() >= until; },
                                          time + E2e::kHangGuard);
    }

    QString Path(const QString& name) const { return m_folder.filePath(name); }

    RecordingTest::DecodedMp3 Decode(const QString& name) const { return RecordingTest::DecodeWithMpg123(Path(name)); }

    std::unique_ptr<CSoundServerLock> m_lock;
    QTemporaryDir m_folder;
    QTemporaryDir m_dataHome;
    QString m_server;
    std::unique_ptr<CScopedAudioBackend> m_scope;
    std::unique_ptr<CRecordingController> m_controller;
    QStringList m_filed;
    QStringList m_messages;
    bool m_pipeUsed = false;
};
} // namespace

TEST_F(RecordingE2ETest, SixSecondsOfSilenceAfterSoundStopTheRecordingByItself)
{
    CRecordSettings::Instance().SetLongSilenceAction(0);
    CRecordSettings::Instance().SetStopAfterSeconds(5);
    UsePipe();
    StartRecording("stopped.mp3");
    E2e::CPipeFeeder feeder(TestSoundServer::SharedPipePath(),
                            Tone(2, kChannels, kRate) + Zeros(8, kChannels, kRate) + Tone(2, kChannels, kRate),
                            kPipeBytesPerSecond);
    ASSERT_TRUE(RecordingTest::ProcessEventsUntil([this] { return !m_controller->IsRecording(); }, E2e::kHangGuard));
    EXPECT_FALSE(feeder.Done()) << "the recording ran to the end of the sound";
    feeder.Cancel();

    ASSERT_EQ(m_filed, QStringList{Path("stopped.mp3")});
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    const auto decoded = Decode("stopped.mp3");
    ASSERT_TRUE(decoded.ok);
    const auto tone = RecordingTest::FindTone(decoded.samples, kChannels, kRate);
    EXPECT_NEAR(tone.Seconds(), 2.0, 0.1);
    // Two seconds of tone and the six of silence that stopped it; the second tone never came.
    EXPECT_NEAR(double(decoded.samples.size()) / kChannels / kRate, 8.0, 0.3);
}

TEST_F(RecordingE2ETest, ALongSilenceContinuesInTalk001WhichBeginsAtTheNextSound)
{
    CRecordSettings::Instance().SetLongSilenceAction(1);
    CRecordSettings::Instance().SetNewFileAfterSeconds(5);
    UsePipe();
    StartRecording("talk.mp3");
    // A second of silence after the last tone keeps talk001.mp3 above the size kept recordings
    // need at 160 kbps.
    E2e::CPipeFeeder feeder(TestSoundServer::SharedPipePath(),
                            Tone(2, kChannels, kRate) + Zeros(8, kChannels, kRate) + Tone(2, kChannels, kRate) +
                                Zeros(1, kChannels, kRate),
                            kPipeBytesPerSecond);
    ASSERT_TRUE(RecordingTest::ProcessEventsUntil([&] { return feeder.Done(); }, E2e::kHangGuard));
    ASSERT_FALSE(feeder.Failed());
    ProcessEventsFor(std::chrono::milliseconds(500));
    EXPECT_EQ(m_controller->RecordFileText(), "talk001.mp3");
    m_controller->Stop();

    ASSERT_EQ(m_filed, (QStringList{Path("talk.mp3"), Path("talk001.mp3")}));
    const auto first = Decode("talk.mp3");
    ASSERT_TRUE(first.ok);
    const auto firstTone = RecordingTest::FindTone(first.samples, kChannels, kRate);
    EXPECT_LT(firstTone.firstSeconds, 0.2);
    EXPECT_NEAR(firstTone.Seconds(), 2.0, 0.1);

    const auto second = Decode("talk001.mp3");
    ASSERT_TRUE(second.ok);
    const auto secondTone = RecordingTest::FindTone(second.samples, kChannels, kRate);
    EXPECT_LT(secondTone.firstSeconds, 0.1) << "the leading silence was not skipped";
    EXPECT_NEAR(secondTone.Seconds(), 2.0, 0.1);
}

TEST_F(RecordingE2ETest, APausedStretchIsMissingFromTheFileAndFromTheElapsedTime)
{
    SelectSource("sine");
    StartRecording("paused.mp3");
    RecordFor(2000);
    m_controller->TogglePause();
    ASSERT_EQ(m_controller->PauseCaption(), "Resume");
    const std::uint64_t pausedAt = m_controller->CapturedMilliseconds();
    ProcessEventsFor(std::chrono::seconds(3));
    m_controller->TogglePause();
    const std::uint64_t pausedMs = m_controller->CapturedMilliseconds() - pausedAt;
    RecordFor(2000);
    ProcessEventsFor(std::chrono::milliseconds(100));
    const QString elapsed = m_controller->ElapsedText();
    const std::uint64_t capturedMs = m_controller->CapturedMilliseconds();
    m_controller->Stop();

    // The sound server delivers in bursts, so three seconds of waiting are about three seconds
    // of sound, not exactly.
    EXPECT_GT(pausedMs, 2000u);
    // The elapsed time is the recorded time, about 2 + 2 seconds, whole seconds shown.
    const int elapsedSeconds = elapsed.mid(5).toInt();
    EXPECT_NEAR(elapsedSeconds, double(capturedMs - pausedMs) / 1000.0, 1.0) << elapsed.toStdString();
    EXPECT_LE(std::uint64_t(elapsedSeconds) * 1000u, capturedMs - pausedMs) << elapsed.toStdString();
    ASSERT_EQ(m_filed, QStringList{Path("paused.mp3")});
    const auto decoded = Decode("paused.mp3");
    ASSERT_TRUE(decoded.ok);
    const auto tone = RecordingTest::FindTone(decoded.samples, kChannels, kRate);
    EXPECT_NEAR(tone.Seconds(), double(capturedMs - pausedMs) / 1000.0, 0.15);
}

TEST_F(RecordingE2ETest, TheSecondRecordingOfAMinuteUnderTheSameNameTakesTheNextFreeName)
{
    // Both recordings start in the same minute, whatever the clock does during the test.
    const QDateTime minute(QDate(2026, 12, 7), QTime(9, 5), QTimeZone::systemTimeZone());
    m_controller->SetClock([minute] { return minute; });
    SelectSource("sine");
    // The sine source delivers in bursts; a capture limit ends each recording at an exact length.
    m_controller->SetCaptureLimit(3000);
    StartRecording("same.mp3");
    ASSERT_TRUE(RecordingTest::ProcessEventsUntil([this] { return !m_controller->IsRecording(); }, E2e::kHangGuard));
    m_controller->SetCaptureLimit(4000);
    StartRecording("same.mp3");
    EXPECT_EQ(m_controller->RecordingPath(), Path("2026-12-07-09-05"));
    ASSERT_TRUE(RecordingTest::ProcessEventsUntil([this] { return !m_controller->IsRecording(); }, E2e::kHangGuard));

    EXPECT_EQ(m_filed, (QStringList{Path("same.mp3"), Path("same001.mp3")}));
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), (QStringList{"same.mp3", "same001.mp3"}));
    const auto first = Decode("same.mp3");
    ASSERT_TRUE(first.ok);
    EXPECT_NEAR(RecordingTest::FindTone(first.samples, kChannels, kRate).Seconds(), 3.0, 0.1);
    const auto second = Decode("same001.mp3");
    ASSERT_TRUE(second.ok);
    EXPECT_NEAR(RecordingTest::FindTone(second.samples, kChannels, kRate).Seconds(), 4.0, 0.1);
}

TEST_F(RecordingE2ETest, ATwentySecondBurstIntoThePipeIsRecordedWhole)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    QStringList lossTexts;
    QObject::connect(m_controller.get(), &CRecordingController::soundLost, m_controller.get(),
                     [&lossTexts](const QString& text) { lossTexts << text; });
    UsePipe();
    StartRecording("burst.mp3");

    // Written as fast as the server takes it: far more than the recorder's own queue holds
    // arrives within a second or two, and the encoder works through it afterwards.
    constexpr double kBurstSeconds = 20.0;
    const QByteArray burst = Tone(kBurstSeconds, kChannels, kRate);
    std::atomic<bool> written{false};
    std::thread writer([&] { written = TestSoundServer::WriteToPipe(TestSoundServer::SharedPipePath(), burst); });
    // All but the last partial buffer, which waits for sound that never comes.
    constexpr std::uint64_t kWholeBuffersMs = 19900;
    const bool recorded = RecordingTest::ProcessEventsUntil(
        [this] { return m_controller->CapturedMilliseconds() >= kWholeBuffersMs; }, E2e::kHangGuard);
    writer.join();
    ASSERT_TRUE(written.load());
    ASSERT_TRUE(recorded) << "only " << m_controller->CapturedMilliseconds() << " ms of the burst arrived";
    m_controller->Stop();

    ASSERT_EQ(m_filed, QStringList{Path("burst.mp3")});
    EXPECT_TRUE(lossTexts.isEmpty()) << lossTexts.join('\n').toStdString();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    const auto decoded = Decode("burst.mp3");
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, kChannels, kRate).Seconds(), kBurstSeconds, 0.1);
    EXPECT_LT(RecordingTest::LongestQuietStretch(decoded.samples, kChannels, kRate).seconds, 0.01);
}
