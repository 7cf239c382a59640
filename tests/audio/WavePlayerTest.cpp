// The wave output player on the in-memory sound card: what reaches the output, the ring limit,
// start offsets, refused files and outputs, and an output that vanishes.
#include "audio/WavePlayer.h"

#include "codec/WaveFile.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace
{
constexpr int kChannels = 2;
constexpr int kRate = 44100;
constexpr int kDataBytes = 20000;
constexpr qsizetype kBlock = CWavePlayer::kBufferBytes;
// The output after Open with nothing played: the data, then silence, 16 blocks in all.
constexpr qsizetype kFirstBlockCount = CWavePlayer::kBufferCount;
// A hang guard, not a speed requirement.
constexpr int kHangGuardMs = 10000;

bool WaitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(kHangGuardMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class WavePlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_card->SetPlaybackAutoPlay(false);
        // A ramp that never repeats within the file, so every byte's place shows.
        std::vector<std::int16_t> samples(kDataBytes / sizeof(std::int16_t));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(i * 7 + 1);
        }
        m_wav = m_folder.filePath("data.wav");
        ASSERT_TRUE(TestSupport::WriteSimpleWav(m_wav, samples, kChannels, kRate));
        m_data = QByteArray(reinterpret_cast<const char*>(samples.data()), kDataBytes);
    }

    // What the output holds once `bytes` of it were written.
    QByteArray Output(qsizetype bytes)
    {
        EXPECT_TRUE(WaitUntil([&] { return m_card->PlaybackData().size() >= bytes; }));
        return m_card->PlaybackData();
    }

    static bool IsSilent(const QByteArray& bytes) { return bytes.count('\0') == bytes.size(); }

    QTemporaryDir m_folder;
    std::shared_ptr<CMemoryAudioBackend> m_card = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend m_scope{m_card};
    QString m_wav;
    QByteArray m_data;
};
} // namespace

TEST_F(WavePlayerTest, PlaysTheDataThenSilenceUntilStoppedWithSixteenBlocksQueued)
{
    CWavePlayer player;
    ASSERT_TRUE(player.Open(m_wav, 0, kDataBytes));
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(m_card->LastPlaybackFormat(), PcmFormat::Pcm16(kChannels, kRate));

    // 16384 + 3616 bytes of data, then 14 blocks of silence; nothing more until one was played.
    const qsizetype queued = kDataBytes + (kFirstBlockCount - 2) * kBlock;
    QByteArray output = Output(queued);
    EXPECT_EQ(output.size(), queued);
    EXPECT_EQ(output.left(kDataBytes), m_data);
    EXPECT_TRUE(IsSilent(output.mid(kDataBytes)));
    EXPECT_EQ(player.GetPosition(), 0u);

    // Playing the first block frees one slot of the ring, and only one.
    m_card->AdvancePlayback(kBlock);
    EXPECT_EQ(player.GetPosition(), std::uint32_t(kBlock));
    output = Output(queued + kBlock);
    EXPECT_EQ(output.size(), queued + kBlock);
    m_card->AdvancePlayback(kDataBytes - kBlock);
    EXPECT_EQ(player.GetPosition(), std::uint32_t(kDataBytes));
    output = Output(queued + 2 * kBlock);
    EXPECT_TRUE(IsSilent(output.mid(kDataBytes)));

    // Past the end of the data it keeps playing silence.
    m_card->AdvancePlayback(4 * kBlock);
    Output(queued + 6 * kBlock);
    EXPECT_TRUE(player.IsPlaying());

    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.GetPosition(), 0u);
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(WavePlayerTest, StartOffsetInsideTheDataPlaysFromThereAndBeyondItFromTheStart)
{
    {
        CWavePlayer player;
        ASSERT_TRUE(player.Open(m_wav, 6000, kDataBytes));
        EXPECT_EQ(player.StartOffset(), 6000u);
        EXPECT_EQ(player.EndOffset(), std::uint32_t(kDataBytes));
        const QByteArray output = Output(kDataBytes - 6000 + kBlock);
        EXPECT_EQ(output.left(kDataBytes - 6000), m_data.mid(6000));
        EXPECT_TRUE(IsSilent(output.mid(kDataBytes - 6000, kBlock)));
    }
    m_card->ClearPlaybackData();
    {
        CWavePlayer player;
        ASSERT_TRUE(player.Open(m_wav, 50000, 60000));
        EXPECT_EQ(player.StartOffset(), 0u);
        EXPECT_EQ(Output(kDataBytes).left(kDataBytes), m_data);
    }
    m_card->ClearPlaybackData();
    {
        // An offset inside a sample frame starts at that frame, never between a sample's bytes.
        CWavePlayer player;
        ASSERT_TRUE(player.Open(m_wav, 6003, kDataBytes));
        EXPECT_EQ(player.StartOffset(), 6000u);
        EXPECT_EQ(Output(kDataBytes - 6000).left(kDataBytes - 6000), m_data.mid(6000));
    }
}

TEST_F(WavePlayerTest, RefusedFilesAndOutputsLeaveNothingRunning)
{
    const QString text = m_folder.filePath("notes.wav");
    ASSERT_TRUE(TestSupport::WriteAll(text, QByteArray("not a wave file at all, just words")));
    // A float WAV is a real WAV the output cannot take.
    const QString floatWav = m_folder.filePath("float.wav");
    {
        WaveFormat format = WaveFormat::Pcm(kChannels, kRate, 32);
        format.formatTag = 3;
        CWaveFile writer;
        ASSERT_EQ(writer.Open(floatWav, &format, CWaveFile::kModeWrite), CWaveFile::S_OK);
        std::uint32_t written = 0;
        ASSERT_EQ(writer.Write(8, "\0\0\0\0\0\0\0\0", &written), CWaveFile::S_OK);
        ASSERT_EQ(writer.Close(), CWaveFile::S_OK);
    }
    const QString missing = m_folder.filePath("missing.wav");

    for (const QString& path : {text, floatWav, missing, m_folder.path()}) {
        CWavePlayer player;
        EXPECT_FALSE(player.Open(path, 0, 100)) << path.toStdString();
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_EQ(player.GetPosition(), 0u);
    }

    m_card->SetPlaybackOpenFails(true);
    CWavePlayer player;
    EXPECT_FALSE(player.Open(m_wav, 0, kDataBytes));
    EXPECT_FALSE(player.IsPlaying());
    player.Stop();
    EXPECT_TRUE(m_card->PlaybackData().isEmpty());
}

TEST_F(WavePlayerTest, AnOutputThatVanishesEndsPlaybackWithoutAHang)
{
    // Once while the feeder waits for the output to play, once while it writes.
    for (const bool autoPlay : {false, true}) {
        m_card->SetPlaybackAutoPlay(autoPlay);
        CWavePlayer player;
        ASSERT_TRUE(player.Open(m_wav, 0, kDataBytes));
        Output(kDataBytes);
        m_card->VanishPlayback();
        EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); })) << "autoPlay " << autoPlay;
        EXPECT_EQ(player.GetPosition(), 0u);
        player.Stop();
        m_card->ClearPlaybackData();
    }
}
