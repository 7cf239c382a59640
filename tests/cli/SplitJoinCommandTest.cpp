// The split and join commands driven through sorvane-cli, checked with the peer tools.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace
{
constexpr int kStartWaitMs = 30000;

class SplitJoinCommandTest : public ::testing::Test
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

    QString MakeMp3(const QString& name, int rate, int channels, double seconds, int kbps)
    {
        const QString wav = Path(name + QStringLiteral(".wav"));
        const QString mp3 = Path(name + QStringLiteral(".mp3"));
        EXPECT_EQ(
            RunTool(QStringLiteral("sox"),
                    {QStringLiteral("-D"), QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                     QStringLiteral("-c"), QString::number(channels), QStringLiteral("-b"), QStringLiteral("16"), wav,
                     QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440")})
                .exitCode,
            0);
        EXPECT_EQ(RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("--cbr"),
                                                   QStringLiteral("-b"), QString::number(kbps), wav, mp3})
                      .exitCode,
                  0);
        QFile::remove(wav);
        return mp3;
    }

    static double Duration(const QString& path) { return FfprobeField(path, QStringLiteral("duration")).toDouble(); }
    static bool Plays(const QString& path)
    {
        return RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), path}).exitCode == 0;
    }
    QStringList Files() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir m_dir;
};
} // namespace

TEST_F(SplitJoinCommandTest, SplitWritesPartsNamedAsTheSourceAndRefusesBadArguments)
{
    const QString tone = MakeMp3(QStringLiteral("Tone"), 44100, 2, 6.0, 96);
    const ToolResult split = RunCli({QStringLiteral("split"), tone, QStringLiteral("--parts"), QStringLiteral("3"),
                                     QStringLiteral("--volume"), QStringLiteral("0.5")});
    ASSERT_EQ(split.exitCode, 0) << split.err.constData();
    const QStringList printed = QString::fromLocal8Bit(split.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(printed, QStringList({Path(QStringLiteral("Tone_1.mp3")), Path(QStringLiteral("Tone_2.mp3")),
                                    Path(QStringLiteral("Tone_3.mp3"))}));
    double total = 0;
    for (const QString& part : printed) {
        EXPECT_TRUE(Plays(part));
        const long long tagged = TaggedSamplesPerChannel(part);
        EXPECT_GT(tagged, 0);
        EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), part, 2), tagged);
        EXPECT_EQ(FfprobeField(part, QStringLiteral("bit_rate")), QStringLiteral("96000"));
        total += Duration(part);
    }
    EXPECT_NEAR(total, Duration(tone), 0.2);

    const QStringList before = Files();
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("split"), tone},
          QStringList{QStringLiteral("split"), tone, QStringLiteral("--parts"), QStringLiteral("1")},
          QStringList{QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("2")},
          QStringList{QStringLiteral("split"), tone, QStringLiteral("--parts"), QStringLiteral("2"),
                      QStringLiteral("--volume"), QStringLiteral("11")},
          QStringList{QStringLiteral("join"), Path(QStringLiteral("out.mp3"))}}) {
        const ToolResult result = RunCli(wrong);
        EXPECT_EQ(result.exitCode, 2) << wrong.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(result.err.isEmpty());
    }
    // A batch with a file that is no MP3 is refused before anything is written.
    ASSERT_TRUE(WriteAll(Path(QStringLiteral("notes.txt")), "no sound here"));
    const ToolResult mixed = RunCli({QStringLiteral("split"), tone, Path(QStringLiteral("notes.txt")),
                                     QStringLiteral("--parts"), QStringLiteral("2")});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_TRUE(mixed.err.contains("not an MP3 file"));
    QStringList expected = before + QStringList{QStringLiteral("notes.txt")};
    QStringList after = Files();
    expected.sort();
    after.sort();
    EXPECT_EQ(after, expected);
}

TEST_F(SplitJoinCommandTest, JoinTakesTheFirstFilesBitRateAndTheSettingsFormat)
{
    const QString mono = MakeMp3(QStringLiteral("mono"), 22050, 1, 3.0, 64);
    const QString stereo = MakeMp3(QStringLiteral("stereo"), 44100, 2, 2.0, 128);
    const QString out = Path(QStringLiteral("joined.mp3"));
    const ToolResult joined = RunCli({QStringLiteral("join"), out, mono, stereo});
    ASSERT_EQ(joined.exitCode, 0) << joined.err.constData();
    EXPECT_EQ(FfprobeField(out, QStringLiteral("bit_rate")), QStringLiteral("64000"));
    EXPECT_EQ(FfprobeField(out, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(FfprobeField(out, QStringLiteral("channels")), QStringLiteral("2"));
    EXPECT_NEAR(Duration(out), Duration(mono) + Duration(stereo), 0.1);
    EXPECT_TRUE(Plays(out));
    const long long tagged = TaggedSamplesPerChannel(out);
    EXPECT_GT(tagged, 0);
    EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), out, 2), tagged);
    EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("ffmpeg"), out, 2), tagged);

    const ToolResult chosen = RunCli({QStringLiteral("join"), out, stereo, QStringLiteral("--bitrate"),
                                      QStringLiteral("160"), QStringLiteral("--force")});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err.constData();
    EXPECT_EQ(FfprobeField(out, QStringLiteral("bit_rate")), QStringLiteral("160000"));
}

TEST_F(SplitJoinCommandTest, CtrlCEndsAJoinWithoutAnOutput)
{
    const QString tone = MakeMp3(QStringLiteral("tone"), 22050, 1, 300.0, 32);
    const QString out = Path(QStringLiteral("joined.mp3"));
    QProcess cli;
    cli.start(Cli(), {QStringLiteral("join"), out, tone, tone, tone});
    ASSERT_TRUE(cli.waitForStarted());
    ASSERT_TRUE(WaitUntilWritingInto(cli.processId(), m_dir.path()));
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(kStartWaitMs));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 130);
    EXPECT_TRUE(cli.readAllStandardError().contains("cancelled"));
    EXPECT_EQ(Files(), QStringList({QStringLiteral("tone.mp3")}));
}
