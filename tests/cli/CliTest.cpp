// sorvane-cli driven as a user drives it: through the program, checked with peer tools.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace
{
class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("SORVANE_DATA_DIR", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    static QString Cli() { return BinaryDirectory() + QStringLiteral("/sorvane-cli"); }
    static ToolResult RunCli(const QStringList& arguments) { return RunTool(Cli(), arguments); }

    QString MakeWav(const QString& name, int channels, int rate, double seconds)
    {
        const QString path = Path(name);
        EXPECT_TRUE(WriteSimpleWav(path, SinePcm(channels, rate, seconds, 440.0), channels, rate));
        return path;
    }

    QStringList FilesInDir() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

TEST_F(CliTest, EncodeThenDecodeRoundTripsThroughPeerTools)
{
    const QString wav = MakeWav(QStringLiteral("in.wav"), 1, 22050, 2.0);
    const QString mp3 = Path(QStringLiteral("out.mp3"));
    const ToolResult encoded =
        RunCli({QStringLiteral("encode"), wav, mp3, QStringLiteral("--bitrate"), QStringLiteral("64")});
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err.constData();
    EXPECT_EQ(FfprobeField(mp3, QStringLiteral("sample_rate")), QStringLiteral("22050"));
    EXPECT_EQ(FfprobeField(mp3, QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_EQ(FfprobeField(mp3, QStringLiteral("bit_rate")), QStringLiteral("64000"));
    EXPECT_NEAR(FfprobeField(mp3, QStringLiteral("duration")).toDouble(), 2.0, 0.1);
    EXPECT_EQ(RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), mp3}).exitCode, 0);

    const QString back = Path(QStringLiteral("back.wav"));
    const ToolResult decoded = RunCli({QStringLiteral("decode"), mp3, back});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err.constData();
    const ToolResult rate = RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-r"), back});
    EXPECT_EQ(QString::fromUtf8(rate.out).trimmed(), QStringLiteral("22050"));
    const ToolResult duration = RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-D"), back});
    EXPECT_NEAR(QString::fromUtf8(duration.out).trimmed().toDouble(), 2.0, 0.1);
    // Only the files the user asked for; no temporary left behind.
    EXPECT_EQ(FilesInDir(),
              (QStringList{QStringLiteral("back.wav"), QStringLiteral("in.wav"), QStringLiteral("out.mp3")}));
}

TEST_F(CliTest, TagIsWrittenReadByPeerAndShownByInfo)
{
    const QString mp3 = Path(QStringLiteral("song.mp3"));
    ASSERT_EQ(RunCli({QStringLiteral("encode"), MakeWav(QStringLiteral("in.wav"), 2, 44100, 1.0), mp3}).exitCode, 0);
    const ToolResult tagged =
        RunCli({QStringLiteral("tag"), mp3, QStringLiteral("--title"), QStringLiteral("Morning Show"),
                QStringLiteral("--artist"), QStringLiteral("Radio"), QStringLiteral("--year"), QStringLiteral("2026"),
                QStringLiteral("--track"), QStringLiteral("7"), QStringLiteral("--genre"), QStringLiteral("speech")});
    ASSERT_EQ(tagged.exitCode, 0) << tagged.err.constData();
    const QString peer = QString::fromUtf8(RunTool(QStringLiteral("id3v2"), {QStringLiteral("-l"), mp3}).out);
    EXPECT_TRUE(peer.contains(QStringLiteral("Morning Show"))) << peer.toStdString();
    EXPECT_TRUE(peer.contains(QStringLiteral("Speech (101)"))) << peer.toStdString();
    EXPECT_TRUE(peer.contains(QStringLiteral("Track: 7"))) << peer.toStdString();

    const QString info = QString::fromUtf8(RunCli({QStringLiteral("info"), mp3}).out);
    EXPECT_TRUE(info.contains(QStringLiteral("Title:    Morning Show"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Genre:    101 (Speech)"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Bit rate: 160 kbps"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Length:   0:01"))) << info.toStdString();

    const qint64 taggedSize = QFileInfo(mp3).size();
    ASSERT_EQ(RunCli({QStringLiteral("tag"), mp3, QStringLiteral("--remove")}).exitCode, 0);
    EXPECT_EQ(QFileInfo(mp3).size(), taggedSize - 128);
}

TEST_F(CliTest, BadInputFailsClearlyAndLeavesNothingBehind)
{
    const QString wav = MakeWav(QStringLiteral("in.wav"), 2, 44100, 0.5);
    const QString junk = Path(QStringLiteral("junk.mp3"));
    ASSERT_TRUE(WriteAll(junk, QByteArray(4000, 'x')));
    const QStringList before = FilesInDir();

    struct Case
    {
        QStringList arguments;
        int exitCode;
        const char* message;
    };
    const QList<Case> cases = {
        {{QStringLiteral("encode"), Path(QStringLiteral("missing.wav")), Path(QStringLiteral("o.mp3"))},
         1,
         "no such file"},
        {{QStringLiteral("encode"), junk, Path(QStringLiteral("o.mp3"))}, 1, "not a WAV file"},
        {{QStringLiteral("encode"), wav, Path(QStringLiteral("nofolder/o.mp3"))}, 1, "Create File"},
        {{QStringLiteral("encode"), wav, wav}, 1, "overwrite the input"},
        {{QStringLiteral("encode"), wav, Path(QStringLiteral("o.mp3")), QStringLiteral("--bitrate"),
          QStringLiteral("x")},
         2,
         "--bitrate"},
        {{QStringLiteral("decode"), junk, Path(QStringLiteral("o.wav"))}, 1, "not an MP3 file"},
        {{QStringLiteral("decode"), wav, Path(QStringLiteral("o.wav"))}, 1, "not an MP3 file"},
        {{QStringLiteral("tag"), junk, QStringLiteral("--title"), QStringLiteral("x")}, 1, "not an MP3 file"},
        {{QStringLiteral("tag"), wav, QStringLiteral("--remove"), QStringLiteral("--title"), QStringLiteral("x")},
         2,
         "--remove"},
        {{QStringLiteral("info"), junk}, 1, "neither an MP3 nor a WAV"},
        {{QStringLiteral("frobnicate")}, 2, "unknown command"},
    };
    for (const Case& c : cases) {
        const ToolResult result = RunCli(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.constData();
    }
    EXPECT_EQ(FilesInDir(), before);
    EXPECT_EQ(ReadAll(junk), QByteArray(4000, 'x'));
}

TEST_F(CliTest, MissingEncoderLibraryIsReportedWithoutOutput)
{
    // A copy of the program in a folder without liblame_enc.so beside it, and none on the
    // system's library path.
    const QString lonely = Path(QStringLiteral("sorvane-cli"));
    ASSERT_TRUE(QFile::copy(Cli(), lonely));
    const QString wav = MakeWav(QStringLiteral("in.wav"), 2, 44100, 0.5);
    const ToolResult result = RunTool(lonely, {QStringLiteral("encode"), wav, Path(QStringLiteral("o.mp3"))});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("the MP3 encoder library is missing")) << result.err.constData();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("o.mp3"))));
}

TEST_F(CliTest, HelpListsEveryCommand)
{
    const ToolResult result = RunCli({QStringLiteral("--help")});
    ASSERT_EQ(result.exitCode, 0);
    for (const char* command : {"info", "tag", "encode", "decode"}) {
        EXPECT_TRUE(result.out.contains(command)) << command;
    }
}
} // namespace
