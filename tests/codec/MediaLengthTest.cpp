#include "codec/MediaLength.h"

#include "codec/MpegFrameScanner.h"
#include "support/TestSupport.h"
#include "tags/Id3v1Tag.h"

#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>

namespace
{
using TestSupport::ReadAll;
using TestSupport::RunTool;
using TestSupport::ToolAvailable;
using TestSupport::WriteAll;

QByteArray RandomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random.bounded(256));
    }
    return bytes;
}

std::int64_t LengthOfBytes(const QByteArray& bytes)
{
    return CMediaLength::Mp3LengthMs(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()));
}

// Samples per channel mpg123 decodes from a file; -1 when it cannot.
std::int64_t Mpg123Samples(const QString& mp3)
{
    const QString wav = mp3 + QStringLiteral(".mpg123.wav");
    if (RunTool("mpg123", {"-q", "-w", wav, mp3}).exitCode != 0) {
        return -1;
    }
    const QByteArray bytes = ReadAll(wav);
    QFile::remove(wav);
    const qsizetype data = bytes.indexOf("data", 12);
    constexpr qsizetype kChannelsOffset = 22;
    if (data < 0 || bytes.size() < data + 8) {
        return -1;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::int64_t dataBytes =
        std::int64_t(p[data + 4] | p[data + 5] << 8 | p[data + 6] << 16) | std::int64_t(p[data + 7]) << 24;
    return dataBytes / (2 * p[kChannelsOffset]);
}

std::uint64_t SamplesOfBytes(const QByteArray& bytes)
{
    return CMediaLength::Mp3PlayedSamples(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
}

// Where lame puts the fields of the Info frame of an MPEG-1 stereo file with nothing in front.
constexpr qsizetype kInfoTagOffset = 4 + 32;
constexpr qsizetype kFlagsOffset = kInfoTagOffset + 4;
constexpr qsizetype kFrameCountOffset = kFlagsOffset + 4;
constexpr qsizetype kByteCountOffset = kFrameCountOffset + 4;
constexpr qsizetype kLameTagOffset = kByteCountOffset + 4 + 100 + 4;
constexpr qsizetype kDelayPaddingOffset = kLameTagOffset + 21;

std::int64_t FieldAt(const QByteArray& bytes, qsizetype offset)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData()) + offset;
    return std::int64_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

QByteArray WithField(QByteArray bytes, qsizetype offset, std::int64_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = char(value >> (24 - 8 * i));
    }
    return bytes;
}

QByteArray WithDelayAndPadding(QByteArray bytes, int delay, int padding)
{
    bytes[kDelayPaddingOffset] = char(delay >> 4);
    bytes[kDelayPaddingOffset + 1] = char((delay & 0x0F) << 4 | padding >> 8);
    bytes[kDelayPaddingOffset + 2] = char(padding);
    return bytes;
}

// The peer's decoded duration in milliseconds; -1 when ffprobe cannot tell.
double PeerMilliseconds(const QString& path)
{
    bool ok = false;
    const double seconds = TestSupport::FfprobeField(path, QStringLiteral("duration")).toDouble(&ok);
    return ok ? seconds * 1000.0 : -1.0;
}

double FrameMilliseconds(int sampleRate)
{
    return (sampleRate >= 32000 ? 1152.0 : 576.0) * 1000.0 / sampleRate;
}

class MediaLengthTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* tool : {"lame", "ffprobe", "id3v2", "mpg123"}) {
            if (!ToolAvailable(tool)) {
                GTEST_SKIP() << tool << " missing";
            }
        }
    }

    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    QString Encode(const QString& name, int sampleRate, int channels, double seconds, const QStringList& options)
    {
        const QString wav = PathOf(name + ".wav");
        const QString mp3 = PathOf(name + ".mp3");
        EXPECT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(channels, sampleRate, seconds, 440.0),
                                                channels, sampleRate));
        EXPECT_EQ(RunTool("lame", QStringList{"--quiet"} + options + QStringList{wav, mp3}).exitCode, 0);
        return mp3;
    }

    QTemporaryDir m_dir;
};

TEST_F(MediaLengthTest, LameFilesMatchMpg123WithAndWithoutTags)
{
    // An odd number of samples, so the padding is never a round figure.
    constexpr double kSeconds = 2.5037;
    for (const int rate : {44100, 22050, 11025, 8000}) {
        for (const int channels : {1, 2}) {
            for (const char* mode : {"cbr", "vbr", "untagged"}) {
                const QString name = QStringLiteral("tone_%1_%2_%3").arg(rate).arg(channels).arg(mode);
                SCOPED_TRACE(name.toStdString());
                const QStringList options = QByteArray(mode) == "vbr"        ? QStringList{"-V", "4"}
                                            : QByteArray(mode) == "untagged" ? QStringList{"-t"}
                                                                             : QStringList{};
                const QString plain = Encode(name, rate, channels, kSeconds, options);
                const std::int64_t peerSamples = Mpg123Samples(plain);
                ASSERT_GT(peerSamples, 2 * rate);
                EXPECT_EQ(SamplesOfBytes(ReadAll(plain)), std::uint64_t(peerSamples));
                const std::int64_t ours = CMediaLength::QueryLength(plain);
                EXPECT_NEAR(double(ours), double(peerSamples) * 1000.0 / rate, 1.0);

                // Both tag kinds from the encoder itself.
                const QString lameTagged = Encode(name + "_lametag", rate, channels, kSeconds,
                                                  options + QStringList{"--add-id3v2", "--tt", name});
                EXPECT_EQ(CMediaLength::QueryLength(lameTagged), ours);

                // A padded ID3v2 tag from the peer tagger in front, our own ID3v1 tag behind.
                const QString peerTagged = PathOf(name + "_peertag.mp3");
                ASSERT_TRUE(QFile::copy(plain, peerTagged));
                ASSERT_EQ(RunTool("id3v2", {"-2", "-t", name, "-a", "artist", peerTagged}).exitCode, 0);
                CId3v1Tag id3;
                id3.SetTitle(name.toUtf8());
                ASSERT_TRUE(id3.WriteTag(peerTagged, false));
                ASSERT_GT(QFileInfo(peerTagged).size(), QFileInfo(plain).size() + 128);
                EXPECT_EQ(CMediaLength::QueryLength(peerTagged), ours);
            }
        }
    }
}

// The tag frame's word is only taken where it fits the file; otherwise the frames are counted,
// the tag frame is still no sound, and the LAME tag's delay and padding still come off.
TEST_F(MediaLengthTest, DamagedTagFramesFallBackToCounting)
{
    const QString mp3 = Encode("damaged", 44100, 2, 1.0, {"--cbr", "-b", "128"});
    const QByteArray good = ReadAll(mp3);
    ASSERT_EQ(good.mid(kInfoTagOffset, 4), QByteArray("Info"));
    const std::uint64_t exact = SamplesOfBytes(good);
    ASSERT_EQ(exact, 44100u);
    const std::int64_t goodFrames = FieldAt(good, kFrameCountOffset);
    const auto frameBytes = qsizetype(FieldAt(good, kByteCountOffset) / (goodFrames + 1));

    for (const std::int64_t absurd : {std::int64_t(0), std::int64_t(0x7FFFFFFF), goodFrames * 3, goodFrames / 2}) {
        SCOPED_TRACE(absurd);
        EXPECT_EQ(SamplesOfBytes(WithField(good, kFrameCountOffset, absurd)), exact);
    }
    // While the counts fit, the length comes from the tag frame alone: a frame broken in the
    // middle, which a count would lose, changes nothing.
    QByteArray brokenFrame = good;
    brokenFrame.replace(good.size() / 2, 2 * frameBytes, QByteArray(2 * frameBytes, '\0'));
    EXPECT_EQ(SamplesOfBytes(brokenFrame), exact);

    // A byte count that does not fit the file: a file cut short, its last frames gone.
    EXPECT_EQ(SamplesOfBytes(WithField(good, kByteCountOffset, 1000)), exact);
    const QByteArray shortened = good.left(good.size() - 10 * frameBytes);
    EXPECT_EQ(SamplesOfBytes(shortened), exact - 10 * 1152);
    const QString shortenedPath = PathOf("shortened.mp3");
    ASSERT_TRUE(WriteAll(shortenedPath, shortened));
    EXPECT_EQ(CMediaLength::QueryLength(shortenedPath), std::int64_t((exact - 10 * 1152) * 1000 / 44100));

    // Two files put together end to end: the second tag frame counts as a frame of sound, as
    // mpg123 plays it.
    const QString joined = PathOf("joined.mp3");
    ASSERT_TRUE(WriteAll(joined, good + good));
    EXPECT_EQ(SamplesOfBytes(good + good), std::uint64_t(Mpg123Samples(joined)));

    // Tags that mpg123 honours in its own way: no frame count (nothing cut), padding shorter
    // than the decoder's delay, no delay at all.
    const QByteArray noFrameCount = WithField(good, kFlagsOffset, FieldAt(good, kFlagsOffset) & ~1);
    const QByteArray shortPadding = WithDelayAndPadding(good, 576, 100);
    const QByteArray noDelay = WithDelayAndPadding(good, 0, 0);
    for (const QByteArray& patched : {noFrameCount, shortPadding, noDelay}) {
        const QString path = PathOf("patched.mp3");
        ASSERT_TRUE(WriteAll(path, patched));
        EXPECT_EQ(SamplesOfBytes(patched), std::uint64_t(Mpg123Samples(path)));
    }

    // An Info frame with no LAME tag behind its fields: every audio frame plays whole.
    QByteArray noLameTag = good;
    noLameTag.replace(kLameTagOffset, 9, QByteArray(9, '\0'));
    EXPECT_EQ(SamplesOfBytes(noLameTag), std::uint64_t(goodFrames) * 1152);
    // A decoder that plays every frame plays the Info frame too.
    EXPECT_EQ(
        CMediaLength::Mp3Samples(reinterpret_cast<const std::uint8_t*>(good.constData()), std::size_t(good.size())),
        std::uint64_t(goodFrames + 1) * 1152);
}

TEST_F(MediaLengthTest, JunkAroundAndInsideTheFrames)
{
    const QString mp3 = Encode("junk", 44100, 2, 3.0, {"-V", "4"});
    const QByteArray frames = ReadAll(mp3);
    const std::int64_t clean = LengthOfBytes(frames);
    ASSERT_GT(clean, 2900);

    // An ID3v2.4 tag with a footer, junk before the first frame and an APE tag at the end.
    QByteArray id3v2("ID3\x04\x00\x10\x00\x00\x01\x00", 10); // 128-byte body, footer flag
    id3v2 += QByteArray(128, '\xFF') + QByteArray("3DI\x04\x00\x10\x00\x00\x01\x00", 10);
    QByteArray ape("APETAGEX\xD0\x07\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 24);
    ape = QByteArray(32, '\xFF') + ape + QByteArray(8, '\0'); // 64 bytes including this footer
    EXPECT_EQ(LengthOfBytes(id3v2 + RandomBytes(3000, 1) + frames + ape), clean);

    // Junk spliced into the middle costs at most the two frames it breaks.
    const qsizetype middle = frames.size() / 2 + 37;
    const std::int64_t spliced = LengthOfBytes(frames.left(middle) + RandomBytes(5000, 2) + frames.mid(middle));
    EXPECT_LE(spliced, clean);
    EXPECT_GE(spliced, clean - 2 * 27);

    // A file far larger than one read block, with junk between its streams, measures the same
    // read from disk block by block as scanned whole in memory.
    QByteArray large;
    for (int copy = 0; copy < 30; ++copy) {
        large += frames + RandomBytes(3000, 10 + copy);
    }
    const QString largePath = PathOf("large.mp3");
    ASSERT_TRUE(WriteAll(largePath, large));
    const std::int64_t largeLength = CMediaLength::QueryLength(largePath);
    EXPECT_EQ(largeLength, LengthOfBytes(large));
    // The tag frames of the 29 later copies count as sound and their delay and padding stay.
    EXPECT_NEAR(double(largeLength), 30.0 * clean, 30.0 * 70);

    // The kind comes from the bytes, not the name.
    const QString misnamed = PathOf("really_mp3.wav");
    ASSERT_TRUE(QFile::copy(mp3, misnamed));
    EXPECT_EQ(CMediaLength::QueryLength(misnamed), clean);
}

// Two seconds of real frames hidden in PRIV frames of tags, in front, between the frames and
// behind, never count: the length is that of the audio alone, whether the tags are cut before
// scanning or the frame scanner meets them itself, whole or window by window.
TEST_F(MediaLengthTest, FramesHiddenInTagsDoNotCount)
{
    using TestSupport::Id3v2TagWithPrivateFrame;
    const QString real = Encode("real", 44100, 2, 0.5, {"--cbr", "-t"});
    const QByteArray audio = ReadAll(real);
    const QByteArray hidden = ReadAll(Encode("decoy", 44100, 2, 2.0, {"--cbr"}));
    const std::int64_t alone = LengthOfBytes(audio);
    EXPECT_NEAR(double(alone), PeerMilliseconds(real), FrameMilliseconds(44100) + 1.0);

    const QByteArray tagged = Id3v2TagWithPrivateFrame(hidden, 4, true) + Id3v2TagWithPrivateFrame(hidden, 3, false) +
                              audio + Id3v2TagWithPrivateFrame(hidden, 4, true);
    EXPECT_EQ(LengthOfBytes(tagged), alone);
    const QString taggedPath = PathOf("tagged.mp3");
    ASSERT_TRUE(WriteAll(taggedPath, tagged));
    EXPECT_EQ(CMediaLength::QueryLength(taggedPath), alone);

    const QByteArray joined = audio + Id3v2TagWithPrivateFrame(hidden, 3, false) + audio;
    const auto samplesOf = [](const QByteArray& bytes) {
        return CMediaLength::Mp3Samples(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        std::size_t(bytes.size()));
    };
    EXPECT_EQ(samplesOf(joined), 2 * samplesOf(audio));
    EXPECT_EQ(samplesOf(tagged), samplesOf(audio));

    // The scanner on its own, from the first byte of the file, in one go and in windows.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(tagged.constData());
    CMpegFrameScanner whole(0, std::uint64_t(tagged.size()));
    while (!whole.Finished()) {
        const std::uint64_t offset = whole.NextOffset();
        whole.Scan(bytes + offset, std::size_t(tagged.size()) - std::size_t(offset));
    }
    EXPECT_EQ(whole.Milliseconds(), alone);
    CMpegFrameScanner windowed(0, std::uint64_t(tagged.size()));
    while (!windowed.Finished()) {
        const auto offset = std::size_t(windowed.NextOffset());
        windowed.Scan(bytes + offset,
                      std::min(CMpegFrameScanner::kLookahead + 100, std::size_t(tagged.size()) - offset));
    }
    EXPECT_EQ(windowed.Milliseconds(), alone);
}

TEST_F(MediaLengthTest, OtherLayersAndVersions)
{
    // Layer II from ffmpeg at MPEG-1 and MPEG-2 rates.
    if (ToolAvailable("ffmpeg")) {
        for (const int rate : {48000, 22050}) {
            const QString wav = PathOf(QStringLiteral("l2_%1.wav").arg(rate));
            const QString mp2 = PathOf(QStringLiteral("l2_%1.mp2").arg(rate));
            ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(2, rate, 2.0, 440.0), 2, rate));
            ASSERT_EQ(RunTool("ffmpeg", {"-v", "error", "-i", wav, "-c:a", "mp2", mp2}).exitCode, 0);
            EXPECT_NEAR(double(CMediaLength::QueryLength(mp2)), PeerMilliseconds(mp2), 1152.0 * 1000 / rate + 1);
        }
    }

    // Layer I, MPEG-1, 48 kHz, 384 kbit/s: 384-byte frames of 384 samples, 8 ms each.
    QByteArray layer1;
    for (int i = 0; i < 250; ++i) {
        layer1 += QByteArray("\xFF\xFF\xC4\x00", 4) + QByteArray(380, '\0');
    }
    EXPECT_EQ(LengthOfBytes(layer1), 2000);

    // MPEG-2.5 layer III, 8 kHz, 8 kbit/s: 72-byte frames of 576 samples, 72 ms each.
    QByteArray mpeg25;
    for (int i = 0; i < 50; ++i) {
        mpeg25 += QByteArray("\xFF\xE3\x18\xC0", 4) + QByteArray(68, '\0');
    }
    EXPECT_EQ(LengthOfBytes(mpeg25), 3600);
    // A free-format frame cannot be measured by its header and is passed over.
    mpeg25.replace(2, 1, "\x08");
    EXPECT_EQ(LengthOfBytes(mpeg25), 3600 - 72);
}

TEST(MediaLengthWavTest, WavLengths)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath("plain.wav");
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(2, 44100, 2.5, 440.0), 2, 44100));
    EXPECT_EQ(CMediaLength::QueryLength(wav), 2500);

    // Extra chunks, the data chunk before the format chunk, an odd-sized chunk with its pad byte.
    const QByteArray original = ReadAll(wav);
    const QByteArray format = original.mid(12, 24);
    const QByteArray data = original.mid(36);
    const QByteArray list("LIST\x03\x00\x00\x00xyz\x00", 12);
    QByteArray reordered = QByteArray("RIFF\0\0\0\0WAVE", 12) + list + data + format;
    const QString reorderedPath = dir.filePath("reordered.wav");
    ASSERT_TRUE(WriteAll(reorderedPath, reordered));
    EXPECT_EQ(CMediaLength::QueryLength(reorderedPath), 2500);

    // A data chunk claiming more than the file holds ends at the end of the file.
    QByteArray truncated = original.left(44 + 44100 * 4);
    truncated.replace(40, 4, "\xFF\xFF\xFF\xFF");
    const QString truncatedPath = dir.filePath("truncated.mp3");
    ASSERT_TRUE(WriteAll(truncatedPath, truncated));
    EXPECT_EQ(CMediaLength::QueryLength(truncatedPath), 1000);

    if (ToolAvailable("sox")) {
        // 24-bit, three channels: sox writes the extensible format header.
        const QString wide = dir.filePath("wide.wav");
        ASSERT_EQ(
            RunTool("sox", {"-n", "-r", "16000", "-c", "3", "-b", "24", wide, "synth", "1.75", "sine", "300"}).exitCode,
            0);
        EXPECT_EQ(CMediaLength::QueryLength(wide), 1750);
    }

    // No format chunk, or a zero byte rate: no length.
    EXPECT_EQ(CMediaLength::WavLengthMs(reinterpret_cast<const std::uint8_t*>(reordered.constData()), 12 + 12 + 8), 0);
    QByteArray zeroRate = original;
    zeroRate.replace(28, 4, QByteArray(4, '\0'));
    zeroRate.replace(24, 4, QByteArray(4, '\0'));
    EXPECT_EQ(CMediaLength::WavLengthMs(reinterpret_cast<const std::uint8_t*>(zeroRate.constData()),
                                        static_cast<std::size_t>(zeroRate.size())),
              0);
}

TEST(MediaLengthJunkTest, NonAudioGivesZero)
{
    QTemporaryDir dir;
    const QString random = dir.filePath("random.mp3");
    ASSERT_TRUE(WriteAll(random, RandomBytes(1 << 20, 3)));
    EXPECT_EQ(CMediaLength::QueryLength(random), 0);
    const QString syncs = dir.filePath("syncs.mp3");
    ASSERT_TRUE(WriteAll(syncs, QByteArray(100000, '\xFF')));
    EXPECT_EQ(CMediaLength::QueryLength(syncs), 0);
    const QString empty = dir.filePath("empty.mp3");
    ASSERT_TRUE(WriteAll(empty, QByteArray()));
    EXPECT_EQ(CMediaLength::QueryLength(empty), 0);
    EXPECT_EQ(CMediaLength::QueryLength(dir.filePath("missing.mp3")), 0);
    EXPECT_EQ(CMediaLength::QueryLength(dir.path()), 0);
    EXPECT_EQ(CMediaLength::QueryLength(QString()), 0);
    EXPECT_EQ(CMediaLength::Mp3LengthMs(nullptr, 0), 0);
    EXPECT_EQ(CMediaLength::WavLengthMs(nullptr, 0), 0);
}
} // namespace
