#include "codec/WaveFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
using TestSupport::ReadAll;
using TestSupport::RunTool;
using TestSupport::WriteAll;

constexpr std::uint32_t kPcmTag = 1;

std::uint32_t Le32At(const QByteArray& bytes, int offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
    }
    return value;
}

void PutLe(QByteArray& out, std::uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A chunk as it lies in a RIFF file, with its pad byte when the payload is odd. declaredSize
// lets a test lie about the payload's length.
QByteArray Chunk(const char* id, const QByteArray& payload, std::int64_t declaredSize = -1)
{
    QByteArray out(id, 4);
    PutLe(out, static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize : payload.size()), 4);
    out.append(payload);
    if (payload.size() % 2 != 0) {
        out.append('\0');
    }
    return out;
}

QByteArray RiffFile(const QByteArray& chunks, const char* form = "WAVE")
{
    QByteArray out("RIFF");
    PutLe(out, static_cast<std::uint32_t>(4 + chunks.size()), 4);
    out.append(form, 4);
    out.append(chunks);
    return out;
}

QByteArray PcmRecord(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    QByteArray out;
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    PutLe(out, tag, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * blockAlign, 4);
    PutLe(out, blockAlign, 2);
    PutLe(out, bits, 2);
    return out;
}

// Sample bytes whose value tells their position, so a read from the wrong place shows.
QByteArray PatternBytes(int count)
{
    QByteArray out(count, '\0');
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return out;
}

QByteArray ReadData(CWaveFile& wave, std::uint32_t count)
{
    QByteArray out(static_cast<int>(count), '\0');
    std::uint32_t got = 0;
    EXPECT_EQ(wave.Read(out.data(), count, &got), CWaveFile::S_OK);
    out.resize(static_cast<int>(got));
    return out;
}

class WaveFileTest : public ::testing::Test
{
protected:
    QString PathOf(const QString& name) const { return m_dir.filePath(name); }
    QString Store(const QString& name, const QByteArray& bytes) const
    {
        const QString path = PathOf(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
    QString SoxInfo(const QString& option, const QString& path) const
    {
        return QString::fromUtf8(RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), option, path}).out).trimmed();
    }

    QTemporaryDir m_dir;
};

TEST_F(WaveFileTest, WriterLaysOutHeaderPadAndSizes)
{
    const WaveFormat format = WaveFormat::Pcm(2, 44100, 16);
    const QString path = PathOf(QStringLiteral("three.wav"));
    {
        CWaveFile wave;
        ASSERT_EQ(wave.Open(path, &format, CWaveFile::kModeWrite), CWaveFile::S_OK);
        EXPECT_EQ(wave.Format(), nullptr);
        std::uint32_t written = 0;
        ASSERT_EQ(wave.Write(3, "abc", &written), CWaveFile::S_OK);
        EXPECT_EQ(written, 3u);
        ASSERT_EQ(wave.Close(), CWaveFile::S_OK);
    }
    const QByteArray bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 60);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(Le32At(bytes, 4), 52u);
    EXPECT_EQ(bytes.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32At(bytes, 16), 16u);
    EXPECT_EQ(bytes.mid(20, 16), PcmRecord(kPcmTag, 2, 44100, 16));
    EXPECT_EQ(bytes.mid(36, 4), "fact");
    EXPECT_EQ(Le32At(bytes, 40), 4u);
    EXPECT_EQ(Le32At(bytes, 44), 0u);
    EXPECT_EQ(bytes.mid(48, 4), "data");
    EXPECT_EQ(Le32At(bytes, 52), 3u);
    EXPECT_EQ(bytes.mid(56, 3), "abc");
    EXPECT_EQ(bytes[59], '\0');

    // Closed without data: an empty but complete file.
    const QString emptyPath = PathOf(QStringLiteral("empty.wav"));
    {
        CWaveFile wave;
        ASSERT_EQ(wave.Open(emptyPath, &format, CWaveFile::kModeWrite), CWaveFile::S_OK);
    }
    const QByteArray empty = ReadAll(emptyPath);
    ASSERT_EQ(empty.size(), 56);
    EXPECT_EQ(Le32At(empty, 4), 48u);
    EXPECT_EQ(Le32At(empty, 44), 0u);
    EXPECT_EQ(Le32At(empty, 52), 0u);
    CWaveFile reader;
    ASSERT_EQ(reader.Open(emptyPath, nullptr, CWaveFile::kModeRead), CWaveFile::S_OK);
    EXPECT_EQ(reader.GetSize(), 0u);
}

TEST_F(WaveFileTest, NonPcmFormatKeepsItsWholeRecord)
{
    for (const int extraCount : {4, 3}) {
        WaveFormat format;
        format.formatTag = 2;
        format.channels = 1;
        format.samplesPerSec = 8000;
        format.avgBytesPerSec = 4096;
        format.blockAlign = 256;
        format.bitsPerSample = 4;
        format.extraSize = static_cast<std::uint16_t>(extraCount);
        format.extra.assign({0x11, 0x22, 0x33, 0x44});
        format.extra.resize(format.extraSize);
        const QString path = PathOf(QStringLiteral("adpcm%1.wav").arg(extraCount));
        {
            CWaveFile wave;
            ASSERT_EQ(wave.Open(path, &format, CWaveFile::kModeWrite), CWaveFile::S_OK);
            std::uint32_t written = 0;
            ASSERT_EQ(wave.Write(4, "wxyz", &written), CWaveFile::S_OK);
        }
        const QByteArray bytes = ReadAll(path);
        EXPECT_EQ(Le32At(bytes, 16), 18u + extraCount);

        CWaveFile reader;
        ASSERT_EQ(reader.Open(path, nullptr, CWaveFile::kModeRead), CWaveFile::S_OK) << reader.LastStep();
        ASSERT_NE(reader.Format(), nullptr);
        EXPECT_EQ(*reader.Format(), format);
        EXPECT_EQ(reader.Format()->RecordBytes(), 18u + extraCount);
        EXPECT_EQ(ReadData(reader, 100), "wxyz");
    }

    // A record whose extra bytes are missing from the file, and one whose count does not match them.
    WaveFormat inconsistent;
    inconsistent.formatTag = 2;
    inconsistent.extraSize = 2;
    CWaveFile wave;
    EXPECT_EQ(wave.Open(PathOf(QStringLiteral("bad.wav")), &inconsistent, CWaveFile::kModeWrite),
              CWaveFile::E_INVALIDARG);
    const QByteArray shortExtra = PcmRecord(2, 1, 8000, 4) + QByteArray("\x08\x00\x01\x02", 4);
    EXPECT_EQ(wave.Open(Store(QStringLiteral("short.wav"), RiffFile(Chunk("fmt ", shortExtra) + Chunk("data", "x"))),
                        nullptr, CWaveFile::kModeRead),
              CWaveFile::E_FAIL);
    EXPECT_STREQ(wave.LastStep(), "mmioRead");
}

TEST_F(WaveFileTest, RejectsWhatIsNotAWaveFile)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        const char* step;
    };
    const QByteArray data = Chunk("data", PatternBytes(10));
    const std::vector<Case> cases = {
        {"fmt14", RiffFile(Chunk("fmt ", PcmRecord(kPcmTag, 1, 8000, 16).left(14)) + data), "sizeof(PCMWAVEFORMAT)"},
        {"avi", RiffFile(Chunk("fmt ", PcmRecord(kPcmTag, 1, 8000, 16)) + data, "AVI "), "mmioFOURCC"},
        {"rifx", QByteArray("RIFX") + RiffFile(Chunk("fmt ", PcmRecord(kPcmTag, 1, 8000, 16)) + data).mid(4),
         "mmioFOURCC"},
        {"nofmt", RiffFile(data), "mmioDescend"},
        {"nodata", RiffFile(Chunk("fmt ", PcmRecord(kPcmTag, 1, 8000, 16))), "mmioDescend"},
        {"truncated", QByteArray("RIFF\x10"), "mmioDescend"},
        {"empty", QByteArray(), "mmioDescend"},
    };
    for (const Case& c : cases) {
        CWaveFile wave;
        EXPECT_EQ(wave.Open(Store(QString::fromLatin1(c.name), c.bytes), nullptr, CWaveFile::kModeRead),
                  CWaveFile::E_FAIL)
            << c.name;
        EXPECT_STREQ(wave.LastStep(), c.step) << c.name;
        EXPECT_FALSE(wave.IsOpen());
        EXPECT_EQ(wave.Format(), nullptr);
        std::uint32_t got = 0;
        EXPECT_EQ(wave.Read(nullptr, 1, &got), CWaveFile::CO_E_NOTINITIALIZED);
    }
}

TEST_F(WaveFileTest, ArgumentAndStateErrors)
{
    CWaveFile wave;
    std::uint32_t count = 0;
    char byte = 0;
    EXPECT_EQ(wave.Read(&byte, 1, &count), CWaveFile::CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.Write(1, &byte, &count), CWaveFile::CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.ResetFile(), CWaveFile::CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.Close(), CWaveFile::CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.Open(QString(), nullptr, CWaveFile::kModeRead), CWaveFile::E_INVALIDARG);
    EXPECT_EQ(wave.Open(PathOf(QStringLiteral("w.wav")), nullptr, CWaveFile::kModeWrite), CWaveFile::E_INVALIDARG);

    const WaveFormat format = WaveFormat::Pcm(1, 8000, 16);
    ASSERT_EQ(wave.Open(PathOf(QStringLiteral("w.wav")), &format, CWaveFile::kModeWrite), CWaveFile::S_OK);
    EXPECT_EQ(wave.Write(1, nullptr, &count), CWaveFile::E_INVALIDARG);
    EXPECT_EQ(wave.Write(1, &byte, nullptr), CWaveFile::E_INVALIDARG);
    EXPECT_EQ(wave.Read(&byte, 1, &count), CWaveFile::E_FAIL);
    ASSERT_EQ(wave.Close(), CWaveFile::S_OK);

    ASSERT_EQ(wave.Open(PathOf(QStringLiteral("w.wav")), nullptr, CWaveFile::kModeRead), CWaveFile::S_OK);
    EXPECT_EQ(wave.Read(&byte, 1, nullptr), CWaveFile::E_INVALIDARG);
    EXPECT_EQ(wave.Write(1, &byte, &count), CWaveFile::E_FAIL);
}

TEST_F(WaveFileTest, ReadsSkipsAndRewindsAcrossTheBlockBuffer)
{
    const int dataBytes = 700001;
    const QByteArray data = PatternBytes(dataBytes);
    // A 16-byte PCM "fmt ", an odd chunk between it and the data, data of odd length.
    const QString path =
        Store(QStringLiteral("long.wav"), RiffFile(Chunk("fmt ", PcmRecord(kPcmTag, 1, 22050, 16)) +
                                                   Chunk("LIST", QByteArray("INFOabc", 7)) + Chunk("data", data)));
    CWaveFile wave;
    ASSERT_EQ(wave.Open(path, nullptr, CWaveFile::kModeRead), CWaveFile::S_OK) << wave.LastStep();
    ASSERT_NE(wave.Format(), nullptr);
    EXPECT_EQ(wave.Format()->RecordBytes(), 18u);
    EXPECT_EQ(wave.Format()->extraSize, 0);
    EXPECT_EQ(*wave.Format(), WaveFormat::Pcm(1, 22050, 16));
    EXPECT_EQ(wave.GetSize(), static_cast<std::uint32_t>(dataBytes));

    std::uint32_t got = 0;
    ASSERT_EQ(wave.Read(nullptr, 100000, &got), CWaveFile::S_OK);
    EXPECT_EQ(got, 100000u);
    EXPECT_EQ(ReadData(wave, 1000), data.mid(100000, 1000));
    // A skip far past the bytes the buffer holds, then reads larger and smaller than the buffer.
    ASSERT_EQ(wave.Read(nullptr, 250000, &got), CWaveFile::S_OK);
    EXPECT_EQ(ReadData(wave, 200000), data.mid(351000, 200000));
    EXPECT_EQ(ReadData(wave, 17), data.mid(551000, 17));
    // A skip that stays inside the buffer.
    ASSERT_EQ(wave.Read(nullptr, 3, &got), CWaveFile::S_OK);
    EXPECT_EQ(ReadData(wave, 5), data.mid(551020, 5));

    // Asking for more than is left gives the rest, then nothing, both as success.
    EXPECT_EQ(ReadData(wave, 1000000), data.mid(551025));
    EXPECT_EQ(wave.Read(nullptr, 10, &got), CWaveFile::S_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(ReadData(wave, 10), QByteArray());

    ASSERT_EQ(wave.ResetFile(), CWaveFile::S_OK);
    EXPECT_EQ(ReadData(wave, 64), data.left(64));
    ASSERT_EQ(wave.ResetFile(), CWaveFile::S_OK);
    QByteArray whole;
    for (std::uint32_t piece = 1; whole.size() < dataBytes; piece = piece * 3 + 1) {
        whole += ReadData(wave, piece);
    }
    EXPECT_EQ(whole, data);
    EXPECT_EQ(wave.Close(), CWaveFile::S_OK);
}

TEST_F(WaveFileTest, FindsChunksWhereverTheyAre)
{
    const QByteArray data = PatternBytes(301);
    const QByteArray format = PcmRecord(kPcmTag, 2, 8000, 8);
    struct Case
    {
        const char* name;
        QByteArray bytes;
        QByteArray expected;
    };
    // Data that runs to the end of the file takes the odd chunk's pad byte with it.
    const QByteArray toEnd = data + QByteArray(1, '\0');
    const std::vector<Case> cases = {
        // Odd chunks before "fmt ", a padded 17-byte "fmt " and data before the format.
        {"odd",
         RiffFile(Chunk("junk", "abc") + Chunk("fmt ", format + "z") + Chunk("LIST", "12345") + Chunk("data", data)),
         data},
        {"dataFirst", RiffFile(Chunk("data", data) + Chunk("fmt ", format)), data},
        // An interrupted recording: the data size still claims more than the file holds.
        {"pastEof", RiffFile(Chunk("fmt ", format) + Chunk("data", data, 100000)), toEnd},
        {"streamed", RiffFile(Chunk("fmt ", format) + Chunk("data", data, 0xFFFFFFFF)), toEnd},
        // The RIFF size of a file written to a pipe is never filled in.
        {"riffZero", RiffFile(Chunk("fmt ", format) + Chunk("data", data)).replace(4, 4, QByteArray(4, '\0')), data},
    };
    for (const Case& c : cases) {
        CWaveFile wave;
        ASSERT_EQ(wave.Open(Store(QString::fromLatin1(c.name), c.bytes), nullptr, CWaveFile::kModeRead),
                  CWaveFile::S_OK)
            << c.name << " " << wave.LastStep();
        EXPECT_EQ(*wave.Format(), WaveFormat::Pcm(2, 8000, 8)) << c.name;
        EXPECT_EQ(wave.GetSize(), static_cast<std::uint32_t>(c.expected.size())) << c.name;
        EXPECT_EQ(ReadData(wave, 100000), c.expected) << c.name;
    }
}

TEST_F(WaveFileTest, ReadsWhatSoxAndFfmpegWrite)
{
    if (!TestSupport::ToolAvailable(QStringLiteral("sox")) || !TestSupport::ToolAvailable(QStringLiteral("ffmpeg"))) {
        GTEST_SKIP() << "sox or ffmpeg missing";
    }
    struct Case
    {
        const char* name;
        QString program;
        QStringList arguments;
        WaveFormat format;
        std::uint32_t dataSize;
    };
    const QString sine = QStringLiteral("sine");
    WaveFormat extensible24 = WaveFormat::Pcm(2, 48000, 24);
    extensible24.formatTag = 0xFFFE;
    extensible24.extraSize = 22;
    const std::vector<Case> cases = {
        {"sox16",
         QStringLiteral("sox"),
         {"-n", "-b", "16", "-r", "22050", "-c", "1", PathOf("sox16.wav"), "synth", "1", sine, "440"},
         WaveFormat::Pcm(1, 22050, 16),
         44100},
        {"sox8",
         QStringLiteral("sox"),
         {"-n", "-b", "8", "-r", "8000", "-c", "2", PathOf("sox8.wav"), "synth", "0.5", sine, "440"},
         WaveFormat::Pcm(2, 8000, 8),
         8000},
        {"sox24",
         QStringLiteral("sox"),
         {"-n", "-b", "24", "-r", "48000", "-c", "2", PathOf("sox24.wav"), "synth", "0.25", sine, "440"},
         extensible24,
         72000},
        {"ffmpeg16",
         QStringLiteral("ffmpeg"),
         {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=1", "-c:a", "pcm_s16le",
          PathOf("ffmpeg16.wav")},
         WaveFormat::Pcm(1, 8000, 16),
         16000},
        {"ffmpeg8",
         QStringLiteral("ffmpeg"),
         {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=11025:duration=1", "-c:a", "pcm_u8",
          PathOf("ffmpeg8.wav")},
         WaveFormat::Pcm(1, 11025, 8),
         11025},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RunTool(c.program, c.arguments).exitCode, 0) << c.name;
        const QString path = PathOf(QString::fromLatin1(c.name) + QStringLiteral(".wav"));
        CWaveFile wave;
        ASSERT_EQ(wave.Open(path, nullptr, CWaveFile::kModeRead), CWaveFile::S_OK) << c.name << wave.LastStep();
        WaveFormat format = *wave.Format();
        format.extra.clear(); // the extensible layout's own bytes are not under test
        EXPECT_EQ(format.formatTag, c.format.formatTag) << c.name;
        EXPECT_EQ(format.channels, c.format.channels) << c.name;
        EXPECT_EQ(format.samplesPerSec, c.format.samplesPerSec) << c.name;
        EXPECT_EQ(format.blockAlign, c.format.blockAlign) << c.name;
        EXPECT_EQ(format.bitsPerSample, c.format.bitsPerSample) << c.name;
        EXPECT_EQ(format.extraSize, c.format.extraSize) << c.name;
        EXPECT_EQ(wave.GetSize(), c.dataSize) << c.name;
        // The data is the file's tail, whatever chunks come before it.
        const QByteArray file = ReadAll(path);
        const auto dataStart = static_cast<int>(file.size() - c.dataSize - c.dataSize % 2);
        EXPECT_EQ(ReadData(wave, c.dataSize + 10), file.mid(dataStart, static_cast<int>(c.dataSize))) << c.name;
    }
    EXPECT_TRUE(ReadAll(PathOf("ffmpeg16.wav")).contains("LIST"));
}

TEST_F(WaveFileTest, SoxReadsWhatWeWrite)
{
    if (!TestSupport::ToolAvailable(QStringLiteral("sox"))) {
        GTEST_SKIP() << "sox missing";
    }
    struct Case
    {
        WaveFormat format;
        int frames;
    };
    const std::vector<Case> cases = {{WaveFormat::Pcm(2, 44100, 16), 66150},
                                     {WaveFormat::Pcm(1, 11025, 8), 11025 / 2 + 1},
                                     {WaveFormat::Pcm(1, 8000, 16), 0}};
    for (const Case& c : cases) {
        const QString path = PathOf(QStringLiteral("ours%1_%2.wav").arg(c.format.samplesPerSec).arg(c.frames));
        const QByteArray data = PatternBytes(c.frames * c.format.blockAlign);
        {
            CWaveFile wave;
            ASSERT_EQ(wave.Open(path, &c.format, CWaveFile::kModeWrite), CWaveFile::S_OK);
            // Pieces smaller than, larger than and straddling the writer's buffer.
            int offset = 0;
            for (int piece = 1000; offset < data.size(); piece *= 4) {
                const int size = std::min(piece, static_cast<int>(data.size()) - offset);
                std::uint32_t written = 0;
                ASSERT_EQ(wave.Write(static_cast<std::uint32_t>(size), data.constData() + offset, &written),
                          CWaveFile::S_OK);
                offset += size;
            }
            EXPECT_EQ(wave.GetSize(), static_cast<std::uint32_t>(data.size()));
            ASSERT_EQ(wave.Close(), CWaveFile::S_OK);
        }
        EXPECT_EQ(SoxInfo(QStringLiteral("-r"), path), QString::number(c.format.samplesPerSec)) << path.toStdString();
        EXPECT_EQ(SoxInfo(QStringLiteral("-c"), path), QString::number(c.format.channels)) << path.toStdString();
        EXPECT_EQ(SoxInfo(QStringLiteral("-b"), path), QString::number(c.format.bitsPerSample)) << path.toStdString();
        EXPECT_EQ(SoxInfo(QStringLiteral("-s"), path), QString::number(c.frames)) << path.toStdString();

        CWaveFile reader;
        ASSERT_EQ(reader.Open(path, nullptr, CWaveFile::kModeRead), CWaveFile::S_OK);
        EXPECT_EQ(*reader.Format(), c.format);
        EXPECT_EQ(ReadData(reader, 1u << 20), data);
    }
}

TEST_F(WaveFileTest, WriterNeverDamagesTheFileItReplaces)
{
    const QString path = Store(QStringLiteral("keep.wav"), QByteArray("precious"));
    const WaveFormat format = WaveFormat::Pcm(1, 8000, 16);
    {
        CWaveFile wave;
        ASSERT_EQ(wave.Open(path, &format, CWaveFile::kModeWrite), CWaveFile::S_OK);
        std::uint32_t written = 0;
        ASSERT_EQ(wave.Write(2, "hi", &written), CWaveFile::S_OK);
        EXPECT_EQ(ReadAll(path), "precious");
        ASSERT_EQ(wave.Close(), CWaveFile::S_OK);
    }
    EXPECT_EQ(ReadAll(path).size(), 58);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.wav")});

    // A full disk is reported, at the latest when the header cannot be written.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        CWaveFile wave;
        EXPECT_EQ(wave.Open(QStringLiteral("/dev/full"), &format, CWaveFile::kModeWrite), CWaveFile::E_FAIL);
        EXPECT_STREQ(wave.LastStep(), "WriteMMIO");
        EXPECT_FALSE(wave.IsOpen());
    }
    CWaveFile wave;
    EXPECT_EQ(wave.Open(PathOf(QStringLiteral("no/such/folder.wav")), &format, CWaveFile::kModeWrite),
              CWaveFile::E_FAIL);
    EXPECT_STREQ(wave.LastStep(), "mmioOpen");
}

TEST_F(WaveFileTest, FallsBackToProgramResources)
{
    // Resolve resource names against an empty folder, so no file of the same name interferes.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    CWaveFile wave;
    ASSERT_EQ(wave.Open(QStringLiteral("TestChime"), nullptr, CWaveFile::kModeRead), CWaveFile::S_OK)
        << wave.LastStep();
    EXPECT_EQ(*wave.Format(), WaveFormat::Pcm(1, 8000, 16));
    EXPECT_EQ(wave.GetSize(), 80u);
    EXPECT_EQ(ReadData(wave, 1000), ReadAll(QStringLiteral(":/WAVE/TestChime")).right(80));

    ASSERT_EQ(wave.Open(QStringLiteral("TestClick"), nullptr, CWaveFile::kModeRead), CWaveFile::S_OK)
        << wave.LastStep();
    EXPECT_EQ(*wave.Format(), WaveFormat::Pcm(2, 11025, 8));
    EXPECT_EQ(wave.GetSize(), 60u);

    EXPECT_EQ(wave.Open(QStringLiteral("NoSuchSound"), nullptr, CWaveFile::kModeRead), CWaveFile::E_FAIL);
    EXPECT_STREQ(wave.LastStep(), "FindResource");

    // A file of the name wins over the resource.
    Store(QStringLiteral("TestChime"), RiffFile(Chunk("fmt ", PcmRecord(kPcmTag, 2, 44100, 16)) + Chunk("data", "")));
    ASSERT_EQ(wave.Open(QStringLiteral("TestChime"), nullptr, CWaveFile::kModeRead), CWaveFile::S_OK);
    EXPECT_EQ(wave.Format()->samplesPerSec, 44100u);
    EXPECT_EQ(wave.GetSize(), 0u);
    QDir::setCurrent(previous);
}
} // namespace
