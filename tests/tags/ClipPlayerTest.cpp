// The clip player on the in-memory sound card, and once through the private test sound server.
#include "tags/ClipPlayer.h"

#include "ClipReportLog.h"
#include "audio/Mp3Fixtures.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "support/SoundServerLock.h"
#include "support/TestSoundServer.h"
#include "support/TestSupport.h"
#include "tags/Mp3ClipSource.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using ClipTest::CReportLog;
using ClipTest::WaitUntil;

namespace
{
constexpr int kRate = 44100;
constexpr int kStereo = 2;
constexpr std::size_t kStereoBytesPerSecond = kRate * kStereo * 2;

class ClipPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClipTest::PrepareProcess();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // A stereo tone of whole milliseconds as a WAV file; its PCM bytes are kept for comparing.
    QString MakeWav(const char* name, double seconds)
    {
        const auto pcm = TestSupport::SinePcm(kStereo, kRate, seconds, 440.0);
        m_wavBytes = QByteArray(reinterpret_cast<const char*>(pcm.data()), qsizetype(pcm.size() * 2));
        const QString path = Path(name);
        EXPECT_TRUE(TestSupport::WriteSimpleWav(path, pcm, kStereo, kRate));
        return path;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<CMemoryAudioBackend> m_card = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend m_installed{m_card};
    CReportLog m_parent;
    QByteArray m_wavBytes;
};

TEST_F(ClipPlayerTest, WavPlaysToTheEndAndReportsStopAtItsLength)
{
    CClipPlayer player(MakeWav("tone.wav", 1.0), &m_parent);
    ASSERT_TRUE(player.Play());
    EXPECT_EQ(player.GetLength(), 1000);
    const std::intptr_t id = player.WindowId();
    EXPECT_NE(id, 0);
    ASSERT_TRUE(WaitUntil([&] { return player.Mode() == CClipPlayer::kModeStopped; }));
    WaitUntil([&] { return m_parent.Modes().size() >= 2; });

    EXPECT_EQ(m_card->PlaybackData(), m_wavBytes);
    EXPECT_EQ(m_card->LastPlaybackFormat(), PcmFormat::Pcm16(kStereo, kRate));
    EXPECT_EQ(m_parent.Modes(), (std::vector<int>{CClipPlayer::kModePlaying, CClipPlayer::kModeStopped}));
    ASSERT_FALSE(m_parent.Positions().empty());
    EXPECT_EQ(m_parent.Positions().back(), 1000);
    EXPECT_EQ(player.GetPosition(), 1000);
    for (const auto& report : m_parent.reports) {
        EXPECT_EQ(report.windowId, id);
    }

    // Play at the end starts over from the beginning.
    m_card->ClearPlaybackData();
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return player.Mode() == CClipPlayer::kModeStopped; }));
    EXPECT_EQ(m_card->PlaybackData(), m_wavBytes);
}

TEST_F(ClipPlayerTest, PositionFollowsWhatWasPlayedAndPauseHoldsIt)
{
    m_card->SetPlaybackAutoPlay(false);
    CClipPlayer player(MakeWav("tone.wav", 2.0), &m_parent);
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return m_card->PlaybackData().size() == m_wavBytes.size(); }));
    EXPECT_EQ(player.GetPosition(), 0);

    m_card->AdvancePlayback(kStereoBytesPerSecond / 2);
    EXPECT_EQ(player.GetPosition(), 500);
    ASSERT_TRUE(WaitUntil([&] { return !m_parent.Positions().empty() && m_parent.Positions().back() == 500; }));

    player.TogglePause();
    EXPECT_TRUE(player.IsPaused());
    EXPECT_EQ(player.Mode(), CClipPlayer::kModePaused);
    m_card->AdvancePlayback(kStereoBytesPerSecond / 4);
    EXPECT_EQ(player.GetPosition(), 500);
    player.TogglePause();
    EXPECT_FALSE(player.IsPaused());
    EXPECT_EQ(player.Mode(), CClipPlayer::kModePlaying);

    player.TogglePause();
    ASSERT_TRUE(player.Play());
    EXPECT_FALSE(player.IsPaused());
    EXPECT_EQ(player.Mode(), CClipPlayer::kModePlaying);

    m_card->AdvancePlayback(kStereoBytesPerSecond * 2);
    ASSERT_TRUE(WaitUntil([&] { return player.Mode() == CClipPlayer::kModeStopped; }));
    WaitUntil([&] { return m_parent.Modes().size() >= 6; });
    EXPECT_EQ(m_parent.Modes(),
              (std::vector<int>{CClipPlayer::kModePlaying, CClipPlayer::kModePaused, CClipPlayer::kModePlaying,
                                CClipPlayer::kModePaused, CClipPlayer::kModePlaying, CClipPlayer::kModeStopped}));
    EXPECT_EQ(m_parent.Positions().back(), 2000);
}

TEST_F(ClipPlayerTest, SeeksStopAndPlayFromStartsAtThePosition)
{
    m_card->SetPlaybackAutoPlay(false);
    CClipPlayer player(MakeWav("tone.wav", 2.0), &m_parent);
    ASSERT_TRUE(player.Play());

    player.SeekEnd();
    EXPECT_EQ(player.Mode(), CClipPlayer::kModeStopped);
    EXPECT_EQ(player.GetPosition(), 2000);
    player.SeekStart();
    EXPECT_EQ(player.GetPosition(), 0);

    m_card->ClearPlaybackData();
    player.PlayFrom(1500);
    EXPECT_EQ(player.Mode(), CClipPlayer::kModePlaying);
    EXPECT_EQ(player.GetPosition(), 1500);
    const qsizetype tail = qsizetype(kStereoBytesPerSecond / 2);
    ASSERT_TRUE(WaitUntil([&] { return m_card->PlaybackData().size() == tail; }));
    EXPECT_EQ(m_card->PlaybackData(), m_wavBytes.right(tail));
    m_card->AdvancePlayback(kStereoBytesPerSecond / 4);
    EXPECT_EQ(player.GetPosition(), 1750);

    // Past the end clamps to the end.
    player.PlayFrom(999999);
    ASSERT_TRUE(WaitUntil([&] { return player.Mode() == CClipPlayer::kModeStopped; }));
    EXPECT_EQ(player.GetPosition(), 2000);
}

TEST_F(ClipPlayerTest, Mp3PlaysEveryFrameAndSeeksToTheSameSamples)
{
    const QString mp3 = Mp3Fixtures::MakeToneMp3(m_dir.path(), QStringLiteral("tone"), kRate, kStereo, 3.0, 128);
    ASSERT_FALSE(mp3.isEmpty());
    CClipPlayer player(mp3, &m_parent);
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return m_parent.Modes().size() == 2; }));
    const QByteArray whole = m_card->PlaybackData();
    EXPECT_EQ(m_card->LastPlaybackFormat(), PcmFormat::Pcm16(kStereo, kRate));
    // Every frame is heard, the last one included, sample for sample as the peer decoder plays
    // it. The length is the tone's own: the information frame, encoder delay and padding left
    // out, as a gapless player plays it.
    const std::size_t samples = std::size_t(whole.size()) / 4;
    EXPECT_EQ(player.GetLength(), 3000);
    const auto peer = Mp3Fixtures::Mpg123GaplessPcm(mp3);
    ASSERT_EQ(samples, peer.size() / 2);
    std::vector<std::int16_t> heard(peer.size());
    std::memcpy(heard.data(), whole.constData(), heard.size() * 2);
    EXPECT_TRUE(heard == peer);
    ASSERT_FALSE(m_parent.Positions().empty());
    EXPECT_EQ(m_parent.Positions().back(), player.GetLength());

    // Far into the file the frames before the position are skipped, not decoded; what comes
    // out must still be exactly what a full decode gives from that sample on.
    constexpr int kSeekMs = 2000;
    m_card->ClearPlaybackData();
    player.PlayFrom(kSeekMs);
    ASSERT_TRUE(WaitUntil([&] { return player.Mode() == CClipPlayer::kModeStopped; }));
    const qsizetype skipped = qsizetype(kStereoBytesPerSecond * kSeekMs / 1000);
    EXPECT_EQ(m_card->PlaybackData(), whole.mid(skipped));
}

// Frames hidden in tags, in front of the audio, between two joined files and behind, are
// never heard: the listener gets exactly what the audio alone gives, and no complaint.
TEST_F(ClipPlayerTest, Mp3SourceNeverPlaysTags)
{
    using TestSupport::Id3v2TagWithPrivateFrame;
    const QString real = Mp3Fixtures::MakeBareToneMp3(m_dir.path(), QStringLiteral("real"), kRate, kStereo, 0.5, 128);
    const QString decoy = Mp3Fixtures::MakeToneMp3(m_dir.path(), QStringLiteral("decoy"), kRate, kStereo, 2.0, 128);
    ASSERT_FALSE(real.isEmpty() || decoy.isEmpty());
    const QByteArray audio = TestSupport::ReadAll(real);
    const QByteArray hidden = TestSupport::ReadAll(decoy);
    const auto heard = [](const QByteArray& bytes) {
        CMp3ClipSource source;
        QByteArray pcm;
        EXPECT_TRUE(source.LoadBytes(bytes));
        source.Run(0, [&pcm](const std::uint8_t* data, std::size_t size) {
            pcm.append(reinterpret_cast<const char*>(data), qsizetype(size));
            return true;
        });
        return pcm;
    };
    const QByteArray twice = heard(audio + audio);
    ASSERT_FALSE(twice.isEmpty());
    Mp3Fixtures::CStderrCapture errors;
    EXPECT_EQ(heard(Id3v2TagWithPrivateFrame(hidden, 4, true) + audio + Id3v2TagWithPrivateFrame(hidden, 3, false) +
                    audio + Id3v2TagWithPrivateFrame(hidden, 4, true)),
              twice);
    EXPECT_TRUE(errors.Text().isEmpty()) << errors.Text().constData();
}

TEST_F(ClipPlayerTest, UnplayableInputLeavesThePlayerClosedAndSilent)
{
    const QString text = Path("notes.mp3");
    ASSERT_TRUE(TestSupport::WriteAll(text, QByteArray(4000, 'x')));
    const QString missing = Path("missing.mp3");
    QByteArray wav24 = TestSupport::ReadAll(MakeWav("deep.wav", 0.1));
    wav24[34] = 24; // bits per sample: not a format the output takes
    const QString deep = Path("deep24.wav");
    ASSERT_TRUE(TestSupport::WriteAll(deep, wav24));

    for (const QString& path : {text, missing, deep, QString()}) {
        CClipPlayer player(path, &m_parent);
        EXPECT_FALSE(player.Play()) << path.toStdString();
        EXPECT_FALSE(player.IsOpen());
        EXPECT_EQ(player.GetLength(), 0);
        EXPECT_EQ(player.WindowId(), 0);
        player.TogglePause();
        player.SeekEnd();
        player.PlayFrom(100);
        player.Close();
        EXPECT_EQ(player.Mode(), CClipPlayer::kModeNotReady);
    }
    EXPECT_EQ(CClipPlayer::QueryLength(missing), 0);

    // No output device: the file is fine but nothing can play it.
    m_card->SetPlaybackOpenFails(true);
    CClipPlayer player(MakeWav("tone.wav", 0.5), &m_parent);
    EXPECT_FALSE(player.Play());
    EXPECT_EQ(CClipPlayer::QueryLength(Path("tone.wav")), 500);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_parent.reports.empty());
}

TEST_F(ClipPlayerTest, CloseStopsWithoutAReportAndReopensAsANewWindow)
{
    m_card->SetPlaybackAutoPlay(false);
    CClipPlayer player(MakeWav("tone.wav", 1.0), &m_parent);
    ASSERT_TRUE(player.Play());
    const std::intptr_t first = player.WindowId();
    player.Close();
    player.Close();
    EXPECT_EQ(player.WindowId(), 0);
    EXPECT_EQ(player.GetPosition(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_parent.Modes(), std::vector<int>{CClipPlayer::kModePlaying});

    ASSERT_TRUE(player.Play());
    EXPECT_NE(player.WindowId(), first);
}

// The real sound system: playing is paced by the output, paused playback holds, and closing
// while the feeding thread is blocked on a paused output does not hang.
TEST(ClipPlayerSoundServerTest, PlaysThroughTheTestServer)
{
    ClipTest::PrepareProcess();
    const QString missing = TestSoundServer::SharedServerMissing();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << missing.toStdString();
    }
    CSoundServerLock lock;
    ASSERT_TRUE(lock.IsLocked());
    CScopedAudioBackend installed(std::make_shared<CPulseAudioBackend>(TestSoundServer::SharedServerAddress()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(TestSupport::WriteSimpleWav(path, TestSupport::SinePcm(kStereo, kRate, 0.8, 440.0), kStereo, kRate));

    CReportLog parent;
    CClipPlayer player(path, &parent);
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return player.Mode() == CClipPlayer::kModeStopped; }));
    WaitUntil([&] { return parent.Modes().size() >= 2; });
    EXPECT_EQ(parent.Modes(), (std::vector<int>{CClipPlayer::kModePlaying, CClipPlayer::kModeStopped}));
    const auto positions = parent.Positions();
    ASSERT_GE(positions.size(), 2u); // reports while it played, then the end
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), 800);

    ASSERT_TRUE(player.Play());
    player.TogglePause();
    const std::int64_t held = player.GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(player.GetPosition(), held);
    player.Close();
    EXPECT_FALSE(player.IsOpen());
}
} // namespace
