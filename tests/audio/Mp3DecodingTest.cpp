#include "codec/Mp3Decoding.h"

#include "Mp3Fixtures.h"
#include "app/RecordSettings.h"
#include "audio/BitrateProbe.h"
#include "audio/TranscodeContext.h"
#include "codec/FileByteSource.h"
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

// Decoded samples in units of 2^-28 of full scale, so the edges read as the bit patterns they are.
float Fixed(std::int64_t units)
{
    return static_cast<float>(static_cast<double>(units) / double(std::int64_t(1) << 28));
}

TEST(ScaleSampleTest, RoundsAndClipsTheWholeProduct)
{
    EXPECT_EQ(ScaleSample(0.0f, 1.0f), 0);
    EXPECT_EQ(ScaleSample(0.5f, 1.0f), 16384);
    EXPECT_EQ(ScaleSample(0.5f, 2.0f), 32767);
    EXPECT_EQ(ScaleSample(Fixed(0x0FFFFFFF), 1.0f), 32767);
    EXPECT_EQ(ScaleSample(-1.0f, 1.0f), -32768);
    // Half a 16-bit step rounds up, just under it rounds down.
    EXPECT_EQ(ScaleSample(Fixed(0x1000), 1.0f), 1);
    EXPECT_EQ(ScaleSample(Fixed(0x0FFF), 1.0f), 0);
    EXPECT_EQ(ScaleSample(Fixed(-0x1001), 1.0f), -1);
    EXPECT_EQ(ScaleSample(0.25f, 0.5f), 4096);
    // Every 16-bit sample comes back as itself at volume 1.
    for (int sample = -32768; sample <= 32767; ++sample) {
        ASSERT_EQ(ScaleSample(SampleFrom16(static_cast<std::int16_t>(sample)), 1.0f), sample);
    }

    // At volume 10 anything above about a tenth of full scale saturates, never wraps.
    EXPECT_EQ(ScaleSample(0.125f, 10.0f), 32767);
    EXPECT_EQ(ScaleSample(-0.125f, 10.0f), -32768);
    for (float s : {1.0f, 4.0f, 8.0f, std::numeric_limits<float>::max()}) {
        EXPECT_EQ(ScaleSample(s, 10.0f), 32767) << s;
        EXPECT_EQ(ScaleSample(-s, 10.0f), -32768) << s;
    }
    EXPECT_EQ(ScaleSample(8.0f, 1.0f), 32767);
    EXPECT_EQ(ScaleSample(0.5f, std::numeric_limits<float>::quiet_NaN()), 0);
}

// The block conversion must give exactly the samples of ScaleSample, or re-encoded files change:
// edge values, every rounding boundary class and a spread of random samples, at volumes that
// round, clip, overflow the float range or are not numbers at all.
TEST(ScaleSampleTest, BlockConversionMatchesSampleBySample)
{
    std::vector<float> samples = {0.0f,
                                  Fixed(1),
                                  Fixed(-1),
                                  Fixed(0x0FFF),
                                  Fixed(0x1000),
                                  Fixed(-0x1000),
                                  Fixed(-0x1001),
                                  Fixed(0x0FFFEFFF),
                                  Fixed(0x0FFFF000),
                                  Fixed(0x0FFFFFFF),
                                  1.0f,
                                  -1.0f,
                                  Fixed(-0x10000001),
                                  7.9999f,
                                  -8.0f,
                                  std::numeric_limits<float>::max(),
                                  -std::numeric_limits<float>::max()};
    std::uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        samples.push_back(Fixed(static_cast<std::int32_t>(i % 2 ? state : state >> (i % 7))));
    }
    // 16-bit samples as mpg123 gives them, scaled through the same rules.
    std::vector<std::int16_t> samples16;
    for (std::uint32_t i = 0; i < 70000; ++i) {
        samples16.push_back(static_cast<std::int16_t>(i * 40503u));
    }
    const std::size_t count = samples.size();
    const float inf = std::numeric_limits<float>::infinity();
    for (float volume :
         {1.0f, 0.1f, 0.37f, 2.0f, 9.99f, 10.0f, 0.0f, 1e30f, inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
        std::vector<std::uint8_t> out(count * 2 + 1, 0xAB);
        ScaleFrameTo16(samples.data(), count, volume, out.data());
        const auto at = [](const std::vector<std::uint8_t>& bytes, std::size_t index) {
            return static_cast<std::uint16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
        };
        for (std::size_t i = 0; i < count; ++i) {
            const auto expected = static_cast<std::uint16_t>(ScaleSample(samples[i], volume));
            ASSERT_EQ(at(out, i), expected) << "sample " << samples[i] << " at volume " << volume;
        }
        EXPECT_EQ(out.back(), 0xAB) << "written past the frame";

        std::vector<std::uint8_t> out16(samples16.size() * 2 + 1, 0xAB);
        Scale16FrameTo16(samples16.data(), samples16.size(), volume, out16.data());
        for (std::size_t i = 0; i < samples16.size(); ++i) {
            const auto expected = static_cast<std::uint16_t>(ScaleSample(SampleFrom16(samples16[i]), volume));
            ASSERT_EQ(at(out16, i), expected) << "sample " << samples16[i] << " at volume " << volume;
        }
        EXPECT_EQ(out16.back(), 0xAB) << "written past the frame";
    }
}

// The count must be exactly the samples held to the 16-bit range: a step below full scale
// passes, full scale after rounding clips, on both sides, in each channel; -1.0 itself gives
// -32768 without clipping, so counting the samples at the limits would not do.
TEST(ScaleSampleTest, BlockConversionCountsTheSamplesItClips)
{
    constexpr float kStep = 1.0f / 32768.0f;
    std::vector<float> samples = {32766.5f * kStep, 32767.5f * kStep, 1.004f, -1.0f, -1.0f - 2 * kStep, 0.9375f, 0.0f};
    std::vector<std::uint8_t> out(samples.size() * 4);
    std::uint64_t clipped = 0;
    ScaleFrameTo16(samples.data(), samples.size(), 1.0f, out.data(), &clipped);
    EXPECT_EQ(clipped, 3u);
    const std::vector<float> once = samples;
    samples.insert(samples.end(), once.begin(), once.end());
    ScaleFrameTo16(samples.data(), samples.size(), 1.0f, out.data(), &clipped);
    EXPECT_EQ(clipped, 3u + 6u);
    clipped = 0;
    ScaleFrameTo16(samples.data(), samples.size(), 0.5f, out.data(), &clipped);
    EXPECT_EQ(clipped, 0u);
    const std::vector<std::int16_t> loud = {32767, -32768, 16384, 0};
    Scale16FrameTo16(loud.data(), loud.size(), 2.0f, out.data(), &clipped);
    EXPECT_EQ(clipped, 3u);
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
        EXPECT_EQ(sink.frameLength, tone.rate >= 32000 ? 1152u : 576u);
        EXPECT_EQ(CTranscodeContext::Instance().frameCount, sink.frames);

        // At volume 1 the samples are mpg123's own, one for one.
        const auto reference = Mpg123GaplessPcm(mp3);
        ASSERT_FALSE(reference.empty());
        EXPECT_EQ(sink.pcm.size(), reference.size());
        EXPECT_TRUE(sink.pcm == reference);
        CTranscodeContext::DestroyInstance();
    }
}

struct GaplessCase
{
    int rate;
    int channels;
    const char* lameOptions;
    bool tagged; // lame writes its Info frame with the LAME tag
};

// Odd lengths at every rate Sorvane records, CBR and VBR, with ID3v2 and ID3v1 tags around the
// audio: a LAME-tagged file decodes to exactly the source's samples and exactly mpg123's
// values, and the count read from the headers alone agrees; without the tag nothing is trimmed
// and the Info frame is still never heard.
TEST_F(Mp3DecodingTest, LameTaggedFilesDecodeToTheSourceSamplesExactly)
{
    constexpr double kSeconds = 1.2345; // an odd number of samples at every rate
    const GaplessCase cases[] = {
        {44100, 2, "--cbr -b 128", true},
        {44100, 1, "-V 2 --tt Title --add-id3v2", true},
        {22050, 2, "-b 64 --id3v1-only --tt Title", true},
        {22050, 1, "-V 4", true},
        {11025, 1, "-b 32 --tt Title --add-id3v2 --pad-id3v2", true},
        {11025, 2, "-b 48", true},
        {8000, 2, "-b 32", true},
        {8000, 1, "-b 24 --tt Title", true},
        {44100, 2, "-t -b 128", false},
        {8000, 1, "-t -b 16", false},
    };
    int index = 0;
    for (const GaplessCase& item : cases) {
        SCOPED_TRACE(testing::Message() << item.rate << " Hz, " << item.channels << " ch, " << item.lameOptions);
        const QString wav = Path("source.wav");
        const QString mp3 = m_dir.filePath(QStringLiteral("case%1.mp3").arg(index++));
        ASSERT_EQ(TestSupport::RunTool(QStringLiteral("sox"),
                                       {QStringLiteral("-D"), QStringLiteral("-n"), QStringLiteral("-r"),
                                        QString::number(item.rate), QStringLiteral("-c"),
                                        QString::number(item.channels), QStringLiteral("-b"), QStringLiteral("16"), wav,
                                        QStringLiteral("synth"), QString::number(kSeconds), QStringLiteral("sine"),
                                        QStringLiteral("300-900"), QStringLiteral("vol"), QStringLiteral("0.7")})
                      .exitCode,
                  0);
        ASSERT_EQ(TestSupport::RunTool(QStringLiteral("lame"),
                                       QStringList{QStringLiteral("--quiet")} +
                                           QString::fromLatin1(item.lameOptions).split(QLatin1Char(' ')) +
                                           QStringList{wav, mp3})
                      .exitCode,
                  0);
        const QByteArray bytes = TestSupport::ReadAll(mp3);
        ASSERT_EQ(bytes.contains("Info") || bytes.contains("Xing"), item.tagged);

        CCollectingSink sink;
        CStderrCapture errors;
        ASSERT_EQ(
            DecodeMp3Buffer(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), sink),
            0);
        EXPECT_TRUE(errors.Text().isEmpty()) << errors.Text().constData();
        CTranscodeContext::DestroyInstance();
        const auto reference = Mpg123GaplessPcm(mp3);
        ASSERT_EQ(sink.pcm.size(), reference.size());
        EXPECT_TRUE(sink.pcm == reference);

        CFileByteSource file;
        ASSERT_TRUE(file.Open(mp3));
        const std::size_t perChannel = sink.pcm.size() / std::size_t(item.channels);
        EXPECT_EQ(CountMp3Samples(file), perChannel);
        const std::size_t sourceSamples =
            TestSupport::RunTool(QStringLiteral("soxi"), {QStringLiteral("-s"), wav}).out.trimmed().toULongLong();
        ASSERT_GT(sourceSamples, 0u);
        if (item.tagged) {
            EXPECT_EQ(perChannel, sourceSamples);
        } else {
            EXPECT_GT(perChannel, sourceSamples);
        }
    }
}

// A scaled volume goes through float samples and is rounded once: half volume gives mpg123's
// samples halved, to within the one step that rounding twice would allow.
TEST_F(Mp3DecodingTest, ScaledVolumeFollowsMpg123sSamples)
{
    const QString mp3 = MakeToneMp3(m_dir.path(), QStringLiteral("half"), 44100, 2, 1.0, 128, 0.9);
    ASSERT_FALSE(mp3.isEmpty());
    CTranscodeContext::Instance().volumeScale = 0.5f;
    CCollectingSink sink;
    CFileByteSource file;
    ASSERT_TRUE(file.Open(mp3));
    ASSERT_EQ(DecodeMp3(file, sink), 0);
    const auto reference = Mpg123GaplessPcm(mp3);
    ASSERT_EQ(sink.pcm.size(), reference.size());
    int worst = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        worst = std::max(worst, std::abs(2 * int(sink.pcm[i]) - int(reference[i])));
    }
    EXPECT_LE(worst, 2);
}

TEST_F(Mp3DecodingTest, EmptyInputEndsTheRunWithoutAFrame)
{
    int calls = 0;
    auto sink = MakeFrameSink([&calls](const Mp3FrameHeader&, const DecodedPcm&) {
        ++calls;
        return FrameFlow::Continue;
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
    // needs the frames before), and the end of the file decodes exactly as mpg123 decodes it.
    // (With frames lost, the LAME tag's end no longer lines up; mpg123 then keeps the padding.)
    EXPECT_LT(sink.frames, cleanSink.frames);
    EXPECT_GT(sink.frames, cleanSink.frames - 20) << report.constData();
    ASSERT_TRUE(TestSupport::WriteAll(Path("damaged.mp3"), damaged));
    // mpg123 itself gives up after 1024 bytes of junk unless told to search on.
    const QByteArray decoded = TestSupport::RunTool(QStringLiteral("mpg123"),
                                                    {QStringLiteral("-q"), QStringLiteral("--resync-limit"),
                                                     QStringLiteral("-1"), QStringLiteral("-s"), Path("damaged.mp3")})
                                   .out;
    std::vector<std::int16_t> reference(std::size_t(decoded.size()) / 2);
    std::memcpy(reference.data(), decoded.constData(), reference.size() * 2);
    const std::size_t tail = 10 * std::size_t(cleanSink.frameLength) * cleanSink.channels;
    ASSERT_GT(sink.pcm.size(), tail);
    ASSERT_GT(reference.size(), tail);
    EXPECT_TRUE(
        std::equal(sink.pcm.end() - std::ptrdiff_t(tail), sink.pcm.end(), reference.end() - std::ptrdiff_t(tail)));
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
    EXPECT_EQ(BitrateIndexForFile(at192), 14);
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
