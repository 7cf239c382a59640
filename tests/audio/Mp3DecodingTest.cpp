#include "codec/Mp3Decoding.h"

#include "Mp3Fixtures.h"
#include "app/RecordSettings.h"
#include "audio/BitrateProbe.h"
#include "audio/TranscodeContext.h"
#include "codec/SampleScaling.h"
#include "codec/WholeFile.h"
#include "support/TestSupport.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace Mp3Fixtures;

namespace
{
class Mp3DecodingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrepareProcess();
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { CTranscodeContext::DestroyInstance(); }

    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

TEST(ScaleSampleTest, RoundsShiftsAndClipsTheWholeProduct)
{
    EXPECT_EQ(ScaleSample(0, 1.0f), 0);
    EXPECT_EQ(ScaleSample(0x08000000, 1.0f), 16384);
    EXPECT_EQ(ScaleSample(0x08000000, 2.0f), 32767);
    EXPECT_EQ(ScaleSample(0x0FFFFFFF, 1.0f), 32767);
    EXPECT_EQ(ScaleSample(-0x10000000, 1.0f), -32768);
    // Half a 16-bit step rounds up, just under it rounds down.
    EXPECT_EQ(ScaleSample(0x1000, 1.0f), 1);
    EXPECT_EQ(ScaleSample(0x0FFF, 1.0f), 0);
    EXPECT_EQ(ScaleSample(-0x1001, 1.0f), -1);
    EXPECT_EQ(ScaleSample(0x04000000, 0.5f), 4096);

    // At volume 10 anything above about a tenth of full scale saturates, never wraps.
    EXPECT_EQ(ScaleSample(0x02000000, 10.0f), 32767);
    EXPECT_EQ(ScaleSample(-0x02000000, 10.0f), -32768);
    for (mad_fixed_t s : {0x10000000, 0x3FFFFFFF, 0x7FFFFFFF}) {
        EXPECT_EQ(ScaleSample(s, 10.0f), 32767) << s;
        EXPECT_EQ(ScaleSample(-s, 10.0f), -32768) << s;
    }
    EXPECT_EQ(ScaleSample(std::numeric_limits<mad_fixed_t>::min(), 10.0f), -32768);
    EXPECT_EQ(ScaleSample(0x7FFFFFFF, 1.0f), 32767);
}

// The block conversion must give exactly the samples of ScaleSample, or re-encoded files change:
// edge values, every rounding boundary class and a spread of random samples, at volumes that
// round, clip, overflow the float range or are not numbers at all.
TEST(ScaleSampleTest, BlockConversionMatchesSampleBySample)
{
    std::vector<mad_fixed_t> samples = {
        0,           1,          -1,         0x0FFF,     0x1000,      -0x1000,
        -0x1001,     0x0FFFEFFF, 0x0FFFF000, 0x0FFFFFFF, 0x10000000,  -0x10000000,
        -0x10000001, 0x7FFFEFFF, 0x7FFFF000, 0x7FFFFFFF, -0x7FFFFFFF, std::numeric_limits<mad_fixed_t>::min()};
    std::uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        samples.push_back(static_cast<mad_fixed_t>(i % 2 ? state : state >> (i % 7)));
    }
    // The right channel is the left one reversed, so the two channels differ.
    const std::vector<mad_fixed_t> right(samples.rbegin(), samples.rend());
    const std::size_t count = samples.size();
    const float inf = std::numeric_limits<float>::infinity();
    for (float volume :
         {1.0f, 0.1f, 0.37f, 2.0f, 9.99f, 10.0f, 0.0f, 1e30f, inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
        std::vector<std::uint8_t> stereo(count * 4);
        std::vector<std::uint8_t> mono(count * 2 + 1, 0xAB);
        ScaleFrameTo16(samples.data(), right.data(), count, volume, stereo.data());
        ScaleFrameTo16(samples.data(), nullptr, count, volume, mono.data());
        const auto at = [](const std::vector<std::uint8_t>& bytes, std::size_t index) {
            return static_cast<std::uint16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
        };
        for (std::size_t i = 0; i < count; ++i) {
            const auto expected = static_cast<std::uint16_t>(ScaleSample(samples[i], volume));
            ASSERT_EQ(at(mono, i), expected) << "sample " << samples[i] << " at volume " << volume;
            ASSERT_EQ(at(stereo, 2 * i), expected) << "sample " << samples[i] << " at volume " << volume;
            ASSERT_EQ(at(stereo, 2 * i + 1), static_cast<std::uint16_t>(ScaleSample(right[i], volume)));
        }
        EXPECT_EQ(mono.back(), 0xAB) << "written past the frame";
    }
}

// The count must be exactly the samples held to the 16-bit range: a step below full scale
// passes, full scale after rounding clips, on both sides, in each channel; -1.0 itself gives
// -32768 without clipping, so counting the samples at the limits would not do.
TEST(ScaleSampleTest, BlockConversionCountsTheSamplesItClips)
{
    const std::vector<mad_fixed_t> samples = {0x0FFFE000,  0x0FFFF000, 0x10100000, -0x10000000,
                                              -0x10001100, 0x0F000000, 0};
    std::vector<std::uint8_t> out(samples.size() * 4);
    std::uint64_t clipped = 0;
    ScaleFrameTo16(samples.data(), nullptr, samples.size(), 1.0f, out.data(), &clipped);
    EXPECT_EQ(clipped, 3u);
    ScaleFrameTo16(samples.data(), samples.data(), samples.size(), 1.0f, out.data(), &clipped);
    EXPECT_EQ(clipped, 3u + 6u);
    clipped = 0;
    ScaleFrameTo16(samples.data(), nullptr, samples.size(), 0.5f, out.data(), &clipped);
    EXPECT_EQ(clipped, 0u);
}

struct ToneCase
{
    int rate;
    int channels;
    int kbps;
};

TEST_F(Mp3DecodingTest, DecodesLikeMpg123AtEveryRateAndLayout)
{
    for (const ToneCase tone : {ToneCase{44100, 2, 128}, ToneCase{44100, 1, 64}, ToneCase{22050, 2, 64},
                                ToneCase{22050, 1, 32}, ToneCase{8000, 1, 16}, ToneCase{8000, 2, 24}}) {
        SCOPED_TRACE(testing::Message() << tone.rate << " Hz, " << tone.channels << " ch");
        const QString mp3 = MakeToneMp3(m_dir.path(), QStringLiteral("tone%1_%2").arg(tone.rate).arg(tone.channels),
                                        tone.rate, tone.channels, 2.5, tone.kbps);
        ASSERT_FALSE(mp3.isEmpty());
        CWholeFile file;
        ASSERT_TRUE(file.Load(mp3));

        CCollectingSink sink;
        CStderrCapture errors;
        EXPECT_EQ(DecodeMp3Buffer(file.Data(), file.Size(), sink), 0);
        EXPECT_TRUE(errors.Text().isEmpty()) << errors.Text().constData();

        EXPECT_EQ(sink.sampleRate, unsigned(tone.rate));
        EXPECT_EQ(sink.channels, unsigned(tone.channels));
        EXPECT_EQ(sink.pcm.size(), std::size_t(sink.frames) * sink.frameLength * sink.channels);
        EXPECT_EQ(CTranscodeContext::Instance().frameCount, sink.frames);

        const auto reference = Mpg123Pcm(mp3);
        ASSERT_FALSE(reference.empty());
        const long frameSamples = long(sink.frameLength) * tone.channels;
        EXPECT_LE(std::labs(long(sink.pcm.size()) - long(reference.size())), frameSamples);
        const Likeness likeness = Compare(reference, sink.pcm, tone.channels, int(sink.frameLength));
        EXPECT_GT(likeness.correlation, 0.999);
        EXPECT_LT(likeness.rmsDifference, 16.0);
        CTranscodeContext::DestroyInstance();
    }
}

TEST_F(Mp3DecodingTest, EmptyInputEndsTheRunWithoutAFrame)
{
    int calls = 0;
    auto sink = MakeFrameSink([&calls](const mad_header&, const mad_pcm&) {
        ++calls;
        return MAD_FLOW_CONTINUE;
    });
    const std::uint8_t byte = 0;
    EXPECT_EQ(DecodeMp3Buffer(&byte, 0, sink), 0);
    EXPECT_EQ(DecodeMp3Buffer(nullptr, 0, sink), 0);

    ASSERT_TRUE(TestSupport::WriteAll(Path("empty.mp3"), {}));
    CWholeFile file;
    ASSERT_TRUE(file.Load(Path("empty.mp3")));
    EXPECT_EQ(DecodeMp3Buffer(file.Data(), file.Size(), sink), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ProbeFirstFrameBitrate(Path("empty.mp3")), 0);
}

namespace
{
struct Decoded
{
    std::vector<std::int16_t> pcm;
    int frames = 0;
    QByteArray errors;
};

Decoded DecodeBytes(const QByteArray& bytes)
{
    CCollectingSink sink;
    CStderrCapture errors;
    DecodeMp3Buffer(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), sink);
    CTranscodeContext::DestroyInstance();
    return {sink.pcm, sink.frames, errors.Text()};
}

QByteArray Id3v1Tag()
{
    QByteArray tag("TAG");
    tag.append(QByteArray(30, '\xFF')); // a title of sync bytes
    tag.append(QByteArray(128 - tag.size(), '\0'));
    return tag;
}
} // namespace

// Two seconds of real MPEG frames hidden in PRIV frames of tags in front, between the frames
// and behind must never be heard: the file decodes exactly as the audio alone, every frame up
// to the last, as mpg123 decodes it, and without a word on stderr.
TEST_F(Mp3DecodingTest, TagsNeverBecomeAudioWhereverTheyStand)
{
    const QString real = MakeBareToneMp3(m_dir.path(), QStringLiteral("real"), 44100, 2, 0.5, 128);
    const QString decoy = MakeToneMp3(m_dir.path(), QStringLiteral("decoy"), 44100, 2, 2.0, 128);
    ASSERT_FALSE(real.isEmpty() || decoy.isEmpty());
    const QByteArray audio = TestSupport::ReadAll(real);
    const QByteArray hidden = TestSupport::ReadAll(decoy);
    using TestSupport::Id3v2TagWithPrivateFrame;

    const Decoded alone = DecodeBytes(audio);
    const auto reference = Mpg123Pcm(real);
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(alone.pcm.size(), reference.size());
    const Likeness likeness = Compare(reference, alone.pcm, 2, 1152);
    EXPECT_GT(likeness.correlation, 0.999);
    EXPECT_LT(likeness.rmsDifference, 16.0);

    const QByteArray tagged = Id3v2TagWithPrivateFrame(hidden, 4, true) + Id3v2TagWithPrivateFrame(hidden, 3, false) +
                              audio + Id3v2TagWithPrivateFrame(hidden, 4, true) + Id3v1Tag();
    const Decoded fromTagged = DecodeBytes(tagged);
    EXPECT_TRUE(fromTagged.errors.isEmpty()) << fromTagged.errors.constData();
    EXPECT_EQ(fromTagged.frames, alone.frames);
    EXPECT_TRUE(fromTagged.pcm == alone.pcm);

    // Two files put together with a tag between them: the tag is passed over whole.
    const Decoded joined = DecodeBytes(audio + Id3v2TagWithPrivateFrame(hidden, 3, false) + audio);
    EXPECT_TRUE(joined.errors.isEmpty()) << joined.errors.constData();
    EXPECT_EQ(joined.frames, 2 * alone.frames);
}

TEST_F(Mp3DecodingTest, DamagedFramesAreReportedAndSkipped)
{
    const QString mp3 = MakeToneMp3(m_dir.path(), QStringLiteral("tone"), 44100, 2, 4.0, 128);
    ASSERT_FALSE(mp3.isEmpty());
    CWholeFile clean;
    ASSERT_TRUE(clean.Load(mp3));
    CCollectingSink cleanSink;
    DecodeMp3Buffer(clean.Data(), clean.Size(), cleanSink);

    QByteArray damaged = TestSupport::ReadAll(mp3);
    const qsizetype damageAt = damaged.size() / 2;
    constexpr qsizetype kDamagedBytes = 1500; // a few frames' worth, headers included
    for (qsizetype i = 0; i < kDamagedBytes; ++i) {
        damaged[damageAt + i] = static_cast<char>(i % 7 == 0 ? 0xFF : 0x00);
    }
    CCollectingSink sink;
    CStderrCapture errors;
    EXPECT_EQ(
        DecodeMp3Buffer(reinterpret_cast<const std::uint8_t*>(damaged.constData()), std::size_t(damaged.size()), sink),
        0);
    const QByteArray report = errors.Text();
    EXPECT_TRUE(report.startsWith("decoding error 0x")) << report.constData();
    EXPECT_TRUE(report.contains(" at byte offset ")) << report.constData();
    // One line per kind of error, however many frames are damaged.
    QSet<QByteArray> kinds;
    for (const QByteArray& line : report.split('\n')) {
        if (!line.isEmpty()) {
            EXPECT_FALSE(kinds.contains(line.left(21))) << report.constData();
            kinds.insert(line.left(21));
        }
    }
    // Decoding went on after the damage: a few frames around it are lost (the bit reservoir
    // needs the frames before), and the end of the file decodes exactly as the clean copy does.
    EXPECT_LT(sink.frames, cleanSink.frames);
    EXPECT_GT(sink.frames, cleanSink.frames - 20) << report.constData();
    const std::size_t tail = 10 * std::size_t(cleanSink.frameLength) * cleanSink.channels;
    ASSERT_GT(sink.pcm.size(), tail);
    EXPECT_TRUE(
        std::equal(sink.pcm.end() - std::ptrdiff_t(tail), sink.pcm.end(), cleanSink.pcm.end() - std::ptrdiff_t(tail)));
}

TEST_F(Mp3DecodingTest, BitrateIndexComesFromTheFirstFrameOrTheSettings)
{
    CRecordSettings::Instance().SetBitrateIndex(5);
    const QString at128 = MakeToneMp3(m_dir.path(), QStringLiteral("r128"), 44100, 2, 0.5, 128);
    const QString at192 = MakeToneMp3(m_dir.path(), QStringLiteral("r192"), 44100, 2, 0.5, 192);
    const QString at32 = MakeToneMp3(m_dir.path(), QStringLiteral("r32"), 22050, 1, 0.5, 32);
    ASSERT_TRUE(TestSupport::WriteAll(Path("junk.mp3"), QByteArray(5000, 'x')));

    EXPECT_EQ(ProbeFirstFrameBitrate(at128), 128000);
    EXPECT_EQ(BitrateIndexForFile(at128), 11);
    EXPECT_EQ(BitrateIndexForFile(at32), 3);
    EXPECT_EQ(ProbeFirstFrameBitrate(at192), 192000);
    EXPECT_EQ(BitrateIndexForFile(at192), 5);
    EXPECT_EQ(ProbeFirstFrameBitrate(Path("junk.mp3")), 0);
    EXPECT_EQ(BitrateIndexForFile(Path("junk.mp3")), 5);
    EXPECT_EQ(ProbeFirstFrameBitrate(Path("missing.mp3")), 0);
    EXPECT_EQ(BitrateIndexForFile(Path("missing.mp3")), 5);
    // The probe is no part of an operation: it creates no encoder.
    EXPECT_TRUE(!CTranscodeContext::Existing() || !CTranscodeContext::Existing()->encoder);
}

TEST_F(Mp3DecodingTest, WholeFileReportsWhatCannotBeRead)
{
    CWholeFile file;
    EXPECT_FALSE(file.Load(Path("missing.mp3")));
    EXPECT_TRUE(file.ErrorText().contains(QStringLiteral("missing.mp3")));
    EXPECT_FALSE(file.Load(m_dir.path())); // a folder
    EXPECT_EQ(file.Size(), 0u);
    ASSERT_TRUE(TestSupport::WriteAll(Path("three"), QByteArray("abc")));
    ASSERT_TRUE(file.Load(Path("three")));
    ASSERT_EQ(file.Size(), 3u);
    EXPECT_EQ(std::memcmp(file.Data(), "abc", 3), 0);
}
} // namespace
