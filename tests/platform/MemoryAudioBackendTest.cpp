#include "platform/audio/memory/MemoryAudioBackend.h"

#include "platform/AudioTestHelpers.h"
#include "platform/audio/CaptureQueue.h"
#include "platform/audio/ScopedAudioBackend.h"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>

using AudioTest::BufferLog;
using AudioTest::CountingBytes;

namespace
{
constexpr std::size_t kStereoFrameBuffer = 4608; // one MP3 frame of 16-bit stereo
constexpr std::size_t kMonoFrameBuffer = 2304;

class MemoryAudioBackendTest : public ::testing::Test
{
protected:
    std::shared_ptr<CMemoryAudioBackend> m_card = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend m_installed{m_card};
    BufferLog m_log;

    bool OpenCapture(AudioCapture& capture, const PcmFormat& format, std::size_t bufferBytes)
    {
        return capture.Open(
            format, bufferBytes, [this](const std::uint8_t* data, std::size_t bytes) { m_log.Add(data, bytes); },
            [this] { m_log.DeviceLost(); });
    }
};
} // namespace

TEST_F(MemoryAudioBackendTest, TheInstalledBackendIsWhatTheProgramGets)
{
    EXPECT_EQ(AudioBackend::Current(), m_card);
    auto other = std::make_shared<CMemoryAudioBackend>();
    {
        CScopedAudioBackend nested(other);
        EXPECT_EQ(AudioBackend::Current(), other);
    }
    EXPECT_EQ(AudioBackend::Current(), m_card);
}

TEST_F(MemoryAudioBackendTest, ScriptedBytesArriveAsExactBuffersInOrderOnACaptureThread)
{
    const QByteArray script = CountingBytes(kStereoFrameBuffer * 4 + 1000);
    m_card->QueueCapture(script.left(10));
    m_card->QueueCapture(script.mid(10, 9000));
    m_card->QueueCapture(script.mid(9010));

    auto capture = AudioBackend::Current()->CreateCapture();
    ASSERT_TRUE(capture->DeviceAvailable());
    ASSERT_TRUE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));
    EXPECT_EQ(m_card->LastCaptureFormat(), PcmFormat::Pcm16(2, 44100));
    EXPECT_EQ(m_card->LastCaptureBufferBytes(), kStereoFrameBuffer);
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(m_card->WaitUntilCaptureIdle());

    ASSERT_EQ(m_log.Count(), 4u);
    EXPECT_EQ(m_log.Joined(), script.left(kStereoFrameBuffer * 4));
    for (const auto& thread : m_log.Threads()) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }

    // More sound completes the partial buffer the device was holding.
    m_card->QueueCapture(script.right(kStereoFrameBuffer - 1000));
    ASSERT_TRUE(m_card->WaitUntilCaptureIdle());
    ASSERT_EQ(m_log.Count(), 5u);
    EXPECT_EQ(m_log.Buffers()[4], script.mid(kStereoFrameBuffer * 4, 1000) + script.right(kStereoFrameBuffer - 1000));
    capture->Close();
    EXPECT_EQ(m_log.LostCount(), 0);
}

TEST_F(MemoryAudioBackendTest, MonoCaptureUsesTheMonoBufferSize)
{
    m_card->QueueCapture(CountingBytes(kMonoFrameBuffer * 3));
    auto capture = AudioBackend::Current()->CreateCapture();
    ASSERT_TRUE(OpenCapture(*capture, PcmFormat::Pcm16(1, 8000), kMonoFrameBuffer));
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(m_card->WaitUntilCaptureIdle());
    ASSERT_EQ(m_log.Count(), 3u);
    EXPECT_EQ(m_log.Buffers()[2].size(), qsizetype(kMonoFrameBuffer));
}

TEST_F(MemoryAudioBackendTest, NoDeviceOrARefusingDeviceFailsToOpen)
{
    auto capture = AudioBackend::Current()->CreateCapture();

    m_card->SetCaptureOpenFails(true);
    EXPECT_TRUE(capture->DeviceAvailable());
    EXPECT_FALSE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));
    EXPECT_FALSE(capture->IsOpen());
    EXPECT_FALSE(capture->Start());
    m_card->SetCaptureOpenFails(false);

    m_card->SetSources({});
    EXPECT_FALSE(capture->DeviceAvailable());
    EXPECT_FALSE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));

    m_card->SetSources({{QStringLiteral("line"), QStringLiteral("Line In"), {100, 100}}});
    m_card->SetServerReachable(false);
    EXPECT_FALSE(capture->DeviceAvailable());
    EXPECT_FALSE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));

    m_card->SetServerReachable(true);
    EXPECT_FALSE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), 0));
    EXPECT_FALSE(OpenCapture(*capture, PcmFormat{2, 44100, 8}, kStereoFrameBuffer));
    EXPECT_TRUE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));
    EXPECT_EQ(m_card->CaptureOpenCount(), 1);
}

TEST_F(MemoryAudioBackendTest, AStalledDeviceDeliversNothingAndStillStopsAtOnce)
{
    m_card->QueueCapture(CountingBytes(kStereoFrameBuffer + 10));
    auto capture = AudioBackend::Current()->CreateCapture();
    ASSERT_TRUE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(m_card->WaitUntilCaptureIdle());
    EXPECT_EQ(m_log.Count(), 1u);
    EXPECT_TRUE(m_card->CaptureRunning());

    capture->Stop();
    EXPECT_FALSE(m_card->CaptureRunning());
    // What is scripted after the stop waits for the next capture, and the held partial buffer
    // of the stopped one is gone.
    m_card->QueueCapture(CountingBytes(kStereoFrameBuffer));
    EXPECT_EQ(m_card->PendingCaptureItems(), 1u);
    EXPECT_EQ(m_log.Count(), 1u);
    EXPECT_EQ(m_log.LostCount(), 0);
}

TEST_F(MemoryAudioBackendTest, AVanishingDeviceEndsCaptureWithTheLostNotificationAfterTheLastBuffer)
{
    m_card->QueueCapture(CountingBytes(kStereoFrameBuffer * 2 + 500));
    m_card->QueueVanish();
    m_card->QueueCapture(CountingBytes(kStereoFrameBuffer)); // never delivered: the device is gone

    auto capture = AudioBackend::Current()->CreateCapture();
    ASSERT_TRUE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(m_log.WaitForLoss());
    EXPECT_EQ(m_log.BuffersAtLoss(), 2u);
    EXPECT_EQ(m_log.Count(), 2u);
    capture->Close();
    EXPECT_EQ(m_log.LostCount(), 1);
    EXPECT_EQ(m_card->PendingCaptureItems(), 1u);
}

TEST_F(MemoryAudioBackendTest, TheLostNotificationMayStopTheCaptureItself)
{
    std::unique_ptr<AudioCapture> capture = AudioBackend::Current()->CreateCapture();
    AudioCapture* raw = capture.get();
    ASSERT_TRUE(capture->Open(
        PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer,
        [this](const std::uint8_t* data, std::size_t bytes) { m_log.Add(data, bytes); },
        [this, raw] {
            raw->Stop();
            m_log.DeviceLost();
        }));
    m_card->QueueVanish();
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(m_log.WaitForLoss());
    capture->Close();
    EXPECT_EQ(m_log.LostCount(), 1);
}

TEST_F(MemoryAudioBackendTest, AConsumerThatFallsBehindLeavesTheSoundWithTheCardAndLosesNothing)
{
    constexpr std::size_t kBytesPerSecond = 176400;
    constexpr std::size_t kTwentySecondsOfBuffers = 766;
    const QByteArray script = CountingBytes(kStereoFrameBuffer * kTwentySecondsOfBuffers);
    m_card->QueueCapture(script);

    std::latch release(1);
    std::atomic<bool> firstHeld{false};
    auto capture = AudioBackend::Current()->CreateCapture();
    ASSERT_TRUE(capture->Open(
        PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer,
        [&](const std::uint8_t* data, std::size_t bytes) {
            if (!firstHeld.exchange(true)) {
                release.wait();
            }
            m_log.Add(data, bytes);
        },
        [this] { m_log.DeviceLost(); }));
    ASSERT_TRUE(capture->Start());

    // The stalled consumer's queue takes what it has room for, ten seconds at least; the rest
    // waits with the card instead of being thrown away.
    const std::uint64_t queued =
        CCaptureQueue::CapacityBuffersFor(kBytesPerSecond, kStereoFrameBuffer) * kStereoFrameBuffer;
    EXPECT_GE(queued, 10 * kBytesPerSecond);
    ASSERT_LT(queued, std::uint64_t(script.size()));
    const auto deadline = std::chrono::steady_clock::now() + AudioTest::kHangGuard;
    while (m_card->HeldCaptureBytes() > std::uint64_t(script.size()) - queued &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(m_card->HeldCaptureBytes(), std::uint64_t(script.size()) - queued);
    EXPECT_EQ(capture->LostBytes(), 0u);

    release.count_down();
    ASSERT_TRUE(m_card->WaitUntilCaptureIdle());
    EXPECT_EQ(m_card->HeldCaptureBytes(), 0u);
    EXPECT_EQ(m_log.Joined(), script);
    EXPECT_TRUE(capture->Losses().empty());
    capture->Close();
}

TEST_F(MemoryAudioBackendTest, SoundTheCardLostArrivesAsSilenceOfItsLengthAtItsPlaceEvenLongerThanTheQueue)
{
    // Forty seconds lost: more silence than the capture queue holds twice over, so it must go
    // in as buffers go out, not only when the next sound comes.
    constexpr std::size_t kLostBytes = 40 * 176400;
    const QByteArray before = CountingBytes(kStereoFrameBuffer + 100);
    const std::size_t wholeBuffers = (before.size() + kLostBytes) / kStereoFrameBuffer + 2;
    const QByteArray after = CountingBytes(wholeBuffers * kStereoFrameBuffer - before.size() - kLostBytes, 3);
    m_card->QueueCapture(before);
    m_card->QueueCaptureLoss(kLostBytes);
    m_card->QueueCapture(after);
    auto capture = AudioBackend::Current()->CreateCapture();
    ASSERT_TRUE(OpenCapture(*capture, PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer));
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(m_card->WaitUntilCaptureIdle());

    EXPECT_EQ(m_log.Joined(), before + QByteArray(qsizetype(kLostBytes), '\0') + after);
    const auto losses = capture->Losses();
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].positionBytes, std::uint64_t(before.size()));
    EXPECT_EQ(losses[0].bytes, kLostBytes);
    EXPECT_EQ(capture->LostBytes(), kLostBytes);
    capture->Close();
}

TEST_F(MemoryAudioBackendTest, PlaybackRecordsTheSoundAndReportsItPlayedAndDrained)
{
    auto playback = AudioBackend::Current()->CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    const QByteArray sound = CountingBytes(4000);
    ASSERT_TRUE(playback->Write(sound.constData(), sound.size()));
    EXPECT_FALSE(playback->Write(sound.constData(), 3)); // not whole frames
    EXPECT_EQ(playback->PlayedBytes(), 4000u);
    int drained = 0;
    ASSERT_TRUE(playback->Drain([&] { ++drained; }));
    EXPECT_EQ(drained, 1);
    EXPECT_EQ(m_card->PlaybackData(), sound);
    EXPECT_EQ(m_card->LastPlaybackFormat(), PcmFormat::Pcm16(2, 44100));
}

TEST_F(MemoryAudioBackendTest, ManualPlaybackAdvancesOnlyWhenTheTestPlaysAndNotWhilePaused)
{
    m_card->SetPlaybackAutoPlay(false);
    auto playback = AudioBackend::Current()->CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(1, 8000)));
    ASSERT_TRUE(playback->Write(CountingBytes(1000).constData(), 1000));
    int drained = 0;
    ASSERT_TRUE(playback->Drain([&] { ++drained; }));
    EXPECT_EQ(playback->PlayedBytes(), 0u);

    m_card->AdvancePlayback(400);
    EXPECT_EQ(playback->PlayedBytes(), 400u);
    ASSERT_TRUE(playback->Pause());
    m_card->AdvancePlayback(400);
    EXPECT_EQ(playback->PlayedBytes(), 400u);
    ASSERT_TRUE(playback->Resume());
    m_card->AdvancePlayback(10000);
    EXPECT_EQ(playback->PlayedBytes(), 1000u); // never past what was written
    EXPECT_EQ(drained, 1);

    ASSERT_TRUE(playback->Write(CountingBytes(200).constData(), 200));
    ASSERT_TRUE(playback->Flush());
    EXPECT_EQ(playback->PlayedBytes(), 0u);
    EXPECT_EQ(playback->WrittenBytes(), 0u);
    EXPECT_TRUE(playback->IsOpen());
}

TEST_F(MemoryAudioBackendTest, PlaybackFailuresAreReported)
{
    auto playback = AudioBackend::Current()->CreatePlayback();
    m_card->SetPlaybackOpenFails(true);
    EXPECT_FALSE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    EXPECT_FALSE(playback->Write("abcd", 4));
    m_card->SetPlaybackOpenFails(false);

    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    m_card->VanishPlayback();
    EXPECT_TRUE(playback->HasFailed());
    EXPECT_FALSE(playback->Write("abcd", 4));
    playback->Close();
    playback->Close();
    EXPECT_FALSE(playback->IsOpen());
}

TEST_F(MemoryAudioBackendTest, MixerShowsAtMostEightSourcesAndSelectsAmongThem)
{
    std::vector<CMemoryAudioBackend::Source> sources;
    for (int i = 0; i < 10; ++i) {
        sources.push_back({QStringLiteral("src%1").arg(i), QStringLiteral("Source %1").arg(i), {1000 * i, 1000 * i}});
    }
    m_card->SetSources(sources);
    m_card->SetDefaultSource(QStringLiteral("src9"));
    auto mixer = AudioBackend::Current()->CreateRecordMixer();

    std::vector<RecordSource> shown;
    ASSERT_TRUE(mixer->EnumerateSources(shown));
    ASSERT_EQ(shown.size(), 8u);
    EXPECT_EQ(shown[3].name, QStringLiteral("src3"));
    EXPECT_EQ(shown[3].description, QStringLiteral("Source 3"));
    EXPECT_EQ(shown[3].level, 3000);
    EXPECT_EQ(shown[3].maximum, RecordMixer::kLevelMaximum);
    EXPECT_EQ(mixer->CaptureDeviceNames().size(), 10);
    EXPECT_EQ(mixer->SelectedSource(), 0); // the default source is not among the eight

    ASSERT_TRUE(mixer->SelectSource(5));
    EXPECT_EQ(m_card->DefaultSource(), QStringLiteral("src5"));
    EXPECT_EQ(mixer->SelectedSource(), 5);
    EXPECT_FALSE(mixer->SelectSource(8));
    EXPECT_FALSE(mixer->SelectSource(-1));
}

TEST_F(MemoryAudioBackendTest, MixerLevelsSetTheFirstAndLastChannelAndClamp)
{
    m_card->SetSources({{QStringLiteral("surround"), QStringLiteral("Surround"), {10, 20, 30}}});
    auto mixer = AudioBackend::Current()->CreateRecordMixer();
    ASSERT_TRUE(mixer->SetSourceLevel(0, 70000));
    EXPECT_EQ(m_card->Sources()[0].channelLevels, (std::vector<int>{65535, 20, 65535}));
    ASSERT_TRUE(mixer->SetSourceLevel(0, -5));
    EXPECT_EQ(m_card->Sources()[0].channelLevels, (std::vector<int>{0, 20, 0}));
    EXPECT_FALSE(mixer->SetSourceLevel(1, 100));

    // The speakers are Sorvane's playback volume: the card's output keeps its level.
    const std::vector<int> outputLevels = m_card->Output().channelLevels;
    ASSERT_TRUE(mixer->SetOutputVolume(12345));
    OutputVolume output;
    ASSERT_TRUE(mixer->ReadOutputVolume(output));
    EXPECT_EQ(output.level, 12345);
    EXPECT_EQ(output.maximum, RecordMixer::kLevelMaximum);
    EXPECT_EQ(m_card->Output().channelLevels, outputLevels);
    ASSERT_TRUE(mixer->SetOutputVolume(RecordMixer::kLevelMaximum));

    m_card->SetServerReachable(false);
    std::vector<RecordSource> shown;
    EXPECT_FALSE(mixer->EnumerateSources(shown));
    EXPECT_EQ(mixer->SelectedSource(), 0);
    EXPECT_TRUE(mixer->CaptureDeviceNames().isEmpty());
}
