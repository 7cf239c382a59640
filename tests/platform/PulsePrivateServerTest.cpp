// The PulseAudio back-end against servers of the tests' own: one that is killed, one reshaped
// with extra sources, and none at all. The shared test server is never touched here.
#include "platform/AudioTestHelpers.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "support/PrivateSoundServer.h"
#include "support/TestSoundServer.h"

#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <iostream>

using AudioTest::BufferLog;

namespace
{
constexpr std::size_t kStereoFrameBuffer = 4608;

bool SoundServerInstalled()
{
    return TestSupport::ToolAvailable(QStringLiteral("pulseaudio")) &&
           TestSupport::ToolAvailable(QStringLiteral("pactl"));
}
} // namespace

TEST(PulsePrivateServerTest, KillingTheServerMidCaptureEndsItWithTheLostNotification)
{
    if (!SoundServerInstalled()) {
        GTEST_SKIP() << "needs pulseaudio and pactl (scripts/setup.sh installs them)";
    }
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    CPrivateSoundServer server;
    ASSERT_TRUE(server.Start(folder.filePath(QStringLiteral("server")))) << server.StartError().toStdString();
    CPulseAudioBackend backend(server.Address());

    BufferLog log;
    auto capture = backend.CreateCapture();
    ASSERT_TRUE(capture->Open(
        PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer,
        [&log](const std::uint8_t* data, std::size_t bytes) { log.Add(data, bytes); }, [&log] { log.DeviceLost(); }))
        << capture->LastError().toStdString();
    auto playback = backend.CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(log.WaitForBuffers(5));

    const auto killedAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(server.Kill());
    ASSERT_TRUE(log.WaitForLoss());
    const auto noticedAfter =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - killedAt);
    std::cout << "capture noticed the vanished server after " << noticedAfter.count() << " ms\n";
    RecordProperty("loss_notice_ms", static_cast<int>(noticedAfter.count()));

    const std::size_t buffersAtLoss = log.BuffersAtLoss();
    capture->Stop();
    capture->Close();
    EXPECT_EQ(log.Count(), buffersAtLoss);
    EXPECT_EQ(log.LostCount(), 1);

    for (int i = 0; i < 1500 && !playback->HasFailed(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(playback->HasFailed());
    const QByteArray silence(4096, '\0');
    EXPECT_FALSE(playback->Write(silence.constData(), silence.size()));
    playback->Close();

    auto mixer = backend.CreateRecordMixer();
    std::vector<RecordSource> sources;
    EXPECT_FALSE(mixer->EnumerateSources(sources));
    EXPECT_FALSE(capture->DeviceAvailable());
}

TEST(PulsePrivateServerTest, OnlyTheFirstEightSourcesAreOfferedButEveryDeviceIsListed)
{
    if (!SoundServerInstalled()) {
        GTEST_SKIP() << "needs pulseaudio and pactl (scripts/setup.sh installs them)";
    }
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    CPrivateSoundServer server;
    ASSERT_TRUE(server.Start(folder.filePath(QStringLiteral("server")))) << server.StartError().toStdString();
    constexpr int kExtraSinks = 8;
    for (int i = 0; i < kExtraSinks; ++i) {
        const auto loaded =
            TestSoundServer::Pactl(server.Address(), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                                      QStringLiteral("sink_name=extra%1").arg(i)});
        ASSERT_EQ(loaded.exitCode, 0) << loaded.err.toStdString();
    }

    CPulseAudioBackend backend(server.Address());
    auto mixer = backend.CreateRecordMixer();
    std::vector<RecordSource> sources;
    ASSERT_TRUE(mixer->EnumerateSources(sources));
    ASSERT_EQ(sources.size(), std::size_t(RecordMixer::kMaxSources));
    EXPECT_EQ(sources[0].name, QStringLiteral("out.monitor"));
    EXPECT_EQ(sources[3].name, QStringLiteral("extra0.monitor"));
    EXPECT_EQ(sources[7].name, QStringLiteral("extra4.monitor"));
    EXPECT_EQ(mixer->CaptureDeviceNames().size(), 3 + kExtraSinks);

    // A default source beyond the eighth shows as the first.
    ASSERT_EQ(TestSoundServer::Pactl(server.Address(),
                                     {QStringLiteral("set-default-source"), QStringLiteral("extra7.monitor")})
                  .exitCode,
              0);
    EXPECT_EQ(mixer->SelectedSource(), 0);
    ASSERT_TRUE(mixer->SelectSource(7));
    EXPECT_EQ(TestSoundServer::Pactl(server.Address(), {QStringLiteral("get-default-source")}).out.trimmed(),
              QByteArray("extra4.monitor"));
    EXPECT_EQ(mixer->SelectedSource(), 7);
}

TEST(PulsePrivateServerTest, WithoutAServerThereIsNoDeviceAndNothingHangs)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TestSoundServer::KeepCookieIn(folder.path());
    CPulseAudioBackend backend(QStringLiteral("unix:") + folder.filePath(QStringLiteral("no-server")));

    auto capture = backend.CreateCapture();
    EXPECT_FALSE(capture->DeviceAvailable());
    EXPECT_FALSE(
        capture->Open(PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer, [](const std::uint8_t*, std::size_t) {}, {}));
    EXPECT_FALSE(capture->LastError().isEmpty());
    EXPECT_FALSE(capture->IsOpen());
    EXPECT_FALSE(capture->Start());
    capture->Stop();
    capture->Close();

    auto playback = backend.CreatePlayback();
    EXPECT_FALSE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    EXPECT_FALSE(playback->Write("abcd", 4));
    EXPECT_EQ(playback->PlayedBytes(), 0u);

    auto mixer = backend.CreateRecordMixer();
    std::vector<RecordSource> sources;
    EXPECT_FALSE(mixer->EnumerateSources(sources));
    EXPECT_TRUE(sources.empty());
    EXPECT_EQ(mixer->SelectedSource(), 0);
    EXPECT_FALSE(mixer->SelectSource(0));
    EXPECT_FALSE(mixer->SetSourceLevel(0, 100));
    EXPECT_TRUE(mixer->CaptureDeviceNames().isEmpty());
}
