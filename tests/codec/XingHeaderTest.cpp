#include "codec/XingHeader.h"

#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
using TestSupport::ReadAll;
using TestSupport::RunTool;

std::optional<CXingHeader> ReadFrame(const QByteArray& bytes)
{
    return CXingHeader::Read(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
}

void PutBe32(QByteArray& bytes, qsizetype offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = char(value >> (24 - 8 * i));
    }
}

TEST(XingHeaderTest, LameTagFramesAtEveryLayout)
{
    if (!TestSupport::ToolAvailable("lame")) {
        GTEST_SKIP() << "lame missing";
    }
    QTemporaryDir dir;
    struct Case
    {
        int rate;
        int channels;
        QStringList options;
        CXingHeader::Kind kind;
    };
    // MPEG-1 stereo and mono, MPEG-2 and MPEG-2.5: the tag sits behind side information of
    // 32, 17, 17 and 9 bytes.
    for (const Case& item :
         {Case{44100, 2, {"-V", "4"}, CXingHeader::Kind::Xing}, Case{48000, 1, {"-b", "96"}, CXingHeader::Kind::Info},
          Case{22050, 2, {"-b", "64"}, CXingHeader::Kind::Info},
          Case{8000, 1, {"-b", "32"}, CXingHeader::Kind::Info}}) {
        SCOPED_TRACE(item.rate);
        const QString wav = dir.filePath("in.wav");
        const QString mp3 = dir.filePath("out.mp3");
        ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(item.channels, item.rate, 1.0, 440.0),
                                                item.channels, item.rate));
        ASSERT_EQ(RunTool("lame", QStringList{"--quiet"} + item.options + QStringList{wav, mp3}).exitCode, 0);
        const QByteArray bytes = ReadAll(mp3);
        const auto xing = ReadFrame(bytes);
        ASSERT_TRUE(xing.has_value());
        EXPECT_EQ(xing->GetKind(), item.kind);
        EXPECT_EQ(xing->Frame().SampleRate(), item.rate);
        ASSERT_TRUE(xing->FrameCount() && xing->ByteCount() && xing->LameTag());
        EXPECT_EQ(*xing->ByteCount(), std::uint32_t(bytes.size()));
        EXPECT_EQ(xing->LameTag()->Encoder().substr(0, 4), "LAME");
        EXPECT_EQ(xing->LameTag()->EncoderDelay(), 576);
        // Audio frames times their samples hold the input, the delay and the padding exactly.
        EXPECT_EQ(std::int64_t(*xing->FrameCount()) * xing->Frame().samples - xing->LameTag()->EncoderDelay() -
                      xing->LameTag()->Padding(),
                  item.rate);

        // The frame cut inside its LAME tag keeps its counts and loses the tag; cut before the
        // tag's name it is no tag frame at all.
        const qsizetype lameTag = 4 + xing->Frame().SideInfoSize() + 8 + 4 + 4 + 100 + 4;
        const auto cut = ReadFrame(bytes.left(lameTag + 20));
        ASSERT_TRUE(cut.has_value());
        EXPECT_EQ(cut->FrameCount(), xing->FrameCount());
        EXPECT_FALSE(cut->LameTag().has_value());
        EXPECT_FALSE(ReadFrame(bytes.left(4 + qsizetype(xing->Frame().SideInfoSize()) + 2)).has_value());
    }
}

TEST(XingHeaderTest, VbriAndNonTagFrames)
{
    // A Fraunhofer VBRI frame: MPEG-1 layer III, 128 kbit/s, 44.1 kHz, 417 bytes.
    QByteArray frame(417, '\0');
    frame.replace(0, 4, QByteArray("\xFF\xFB\x90\x64", 4));
    frame.replace(36, 4, "VBRI");
    PutBe32(frame, 46, 123456);
    PutBe32(frame, 50, 300);
    const auto vbri = ReadFrame(frame);
    ASSERT_TRUE(vbri.has_value());
    EXPECT_EQ(vbri->GetKind(), CXingHeader::Kind::Vbri);
    EXPECT_EQ(vbri->ByteCount(), 123456u);
    EXPECT_EQ(vbri->FrameCount(), 300u);
    EXPECT_FALSE(vbri->LameTag().has_value());

    // An ordinary frame, a tag at the wrong place, a layer II frame with the tag: no tag frame.
    QByteArray plain = frame;
    plain.replace(36, 4, "XXXX");
    EXPECT_FALSE(ReadFrame(plain).has_value());
    plain.replace(21, 4, "Xing"); // mono's place in a stereo frame
    EXPECT_FALSE(ReadFrame(plain).has_value());
    QByteArray layer2 = frame;
    layer2[1] = char(0xFD);
    EXPECT_FALSE(ReadFrame(layer2).has_value());
    EXPECT_FALSE(CXingHeader::Read(nullptr, 0).has_value());

    // A Xing frame announcing all its fields in a frame too short for them keeps what fits.
    QByteArray small("\xFF\xE3\x18\xC4", 4); // MPEG-2.5, 8 kbit/s, 8 kHz, mono: 72 bytes
    small += QByteArray(68, '\0');
    small.replace(13, 4, "Xing");
    PutBe32(small, 17, 0x0F);
    PutBe32(small, 21, 42);
    const auto partial = ReadFrame(small + QByteArray(200, 'L'));
    ASSERT_TRUE(partial.has_value());
    EXPECT_EQ(partial->FrameCount(), 42u);
    EXPECT_FALSE(partial->LameTag().has_value());
}
} // namespace
