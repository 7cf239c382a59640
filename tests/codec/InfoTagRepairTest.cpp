// Orphan recovery's fill-in of the tag frame a killed recording left as a placeholder, checked
// with the peer decoders.
#include "codec/InfoTagRepair.h"

#include "platform/lame_enc/InfoTagFrame.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace
{
constexpr int kEncoderDelay = 576;
constexpr int kDecoderDelay = 529;

// A recording as the kill left it: the placeholder reserved at the start, the audio frames of a
// CBR stream (lame's, its own tag frame dropped) and a last frame cut short.
QByteArray KilledRecording(const QTemporaryDir& dir, int rate, int channels, int kbps, int& wholeFrames)
{
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("tone.mp3"));
    EXPECT_TRUE(WriteSimpleWav(wav, SinePcm(channels, rate, 1.3, 440.0), channels, rate));
    EXPECT_EQ(RunTool(QStringLiteral("lame"),
                      {QStringLiteral("--quiet"), QStringLiteral("--cbr"), QStringLiteral("-b"), QString::number(kbps),
                       QStringLiteral("-m"), channels == 1 ? QStringLiteral("m") : QStringLiteral("s"), wav, mp3})
                  .exitCode,
              0);
    const QByteArray lame = ReadAll(mp3);
    const auto* data = reinterpret_cast<const std::uint8_t*>(lame.constData());
    // At the lowest rates lame writes no tag frame of its own: its frame would be too small.
    std::size_t lameTagBytes = 0;
    InfoTagFacts lameTag;
    InfoTagFrame::Parse(data, std::size_t(lame.size()), lameTag, &lameTagBytes);
    InfoTagFacts facts;
    facts.sampleRate = rate;
    facts.channelMode = channels == 1 ? 3 : 0;
    facts.streamKbps = kbps;
    facts.encoderDelay = kEncoderDelay;
    facts.placeholder = true;
    const std::vector<std::uint8_t> placeholder = InfoTagFrame::Build(facts);
    QByteArray killed(reinterpret_cast<const char*>(placeholder.data()), qsizetype(placeholder.size()));
    killed += lame.mid(qsizetype(lameTagBytes));
    wholeFrames = 0;
    for (std::size_t at = lameTagBytes; at + 4 <= std::size_t(lame.size());) {
        at += InfoTagFrame::Layer3FrameBytes(data + at);
        wholeFrames += at <= std::size_t(lame.size()) ? 1 : 0;
    }
    killed.chop(40); // the write cut off inside the last frame
    return killed;
}
} // namespace

TEST(InfoTagRepairTest, AKilledRecordingGetsTheCountsOfItsWholeFramesAndPlaysExactlyThem)
{
    for (const auto& [rate, channels, kbps] : {std::tuple{8000, 1, 8}, std::tuple{44100, 2, 128}}) {
        SCOPED_TRACE(rate);
        QTemporaryDir dir;
        int wholeFrames = 0;
        const QByteArray killed = KilledRecording(dir, rate, channels, kbps, wholeFrames);
        const QString path = dir.filePath(QStringLiteral("killed.mp3"));
        ASSERT_TRUE(WriteAll(path, killed));
        EXPECT_EQ(TaggedSamplesPerChannel(path), -1) << "a placeholder claims no length";

        ASSERT_EQ(CInfoTagRepair::FillFromFrames(path), CInfoTagRepair::Result::Filled);
        const QByteArray filled = ReadAll(path);
        EXPECT_EQ(filled.size(), killed.size());
        InfoTagFacts tag;
        ASSERT_TRUE(InfoTagFrame::Parse(reinterpret_cast<const std::uint8_t*>(filled.constData()),
                                        std::size_t(filled.size()), tag));
        EXPECT_EQ(int(tag.frameCount), wholeFrames - 1); // the last one was cut short
        EXPECT_EQ(tag.encoderDelay, kEncoderDelay);
        EXPECT_EQ(tag.padding, kDecoderDelay);
        const int frameSamples = InfoTagFrame::SamplesPerFrame(rate);
        const long long playing = static_cast<long long>(tag.frameCount) * frameSamples - kEncoderDelay - kDecoderDelay;
        EXPECT_EQ(TaggedSamplesPerChannel(path), playing);
        EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), path, channels), playing);
        // ffmpeg also makes what it can of the frame cut short.
        const long long ffmpeg = DecodedSamplesPerChannel(QStringLiteral("ffmpeg"), path, channels);
        EXPECT_GE(ffmpeg, playing);
        EXPECT_LE(ffmpeg, playing + frameSamples);

        // Filled once, the tag is never taken for a placeholder again.
        EXPECT_EQ(CInfoTagRepair::FillFromFrames(path), CInfoTagRepair::Result::NothingToFill);
        EXPECT_EQ(ReadAll(path), filled);
    }
}

TEST(InfoTagRepairTest, FilesWithoutAPlaceholderAreLeftAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.mp3"));
    const QByteArray noise(5000, '\x5a');
    ASSERT_TRUE(WriteAll(path, noise));
    EXPECT_EQ(CInfoTagRepair::FillFromFrames(path), CInfoTagRepair::Result::NothingToFill);
    EXPECT_EQ(ReadAll(path), noise);
    EXPECT_EQ(CInfoTagRepair::FillFromFrames(dir.filePath(QStringLiteral("gone.mp3"))), CInfoTagRepair::Result::Failed);
}
