// What sorvane-cli shares with its neighbours on the command line: help and version, exit
// statuses, messages that say why, a progress line only on a terminal, --quiet, clip counts,
// ranges in seconds and the manual page.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace
{
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr int kStereoBytesPerSecond = 44100 * 4;

class ConventionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("SORVANE_DATA_DIR", QFile::encodeName(Path(QStringLiteral("data"))));
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    static QString Cli() { return BinaryDirectory() + QStringLiteral("/sorvane-cli"); }
    static ToolResult RunCli(const QStringList& arguments) { return RunTool(Cli(), arguments); }
    QString Wav(const QString& name, double seconds, double amplitude = 0.5)
    {
        const QString path = Path(name);
        EXPECT_TRUE(WriteSimpleWav(path, SinePcm(2, 44100, seconds, 440.0, amplitude), 2, 44100));
        return path;
    }
    QString Mp3(const QString& name, double seconds, double amplitude = 0.5)
    {
        const QString wav = Wav(name + QStringLiteral(".wav"), seconds, amplitude);
        EXPECT_EQ(
            RunCli({QStringLiteral("encode"), wav, Path(name), QStringLiteral("--bitrate"), QStringLiteral("128")})
                .exitCode,
            0);
        QFile::remove(wav);
        return Path(name);
    }
    // The program under a pseudo-terminal, as in an interactive shell: what the terminal shows.
    static ToolResult RunCliOnTerminal(const QStringList& arguments)
    {
        QStringList words{Cli()};
        words += arguments;
        return RunTool(QStringLiteral("script"),
                       {QStringLiteral("-qec"), words.join(QLatin1Char(' ')), QStringLiteral("/dev/null")});
    }

    QTemporaryDir m_dir;
};

TEST_F(ConventionsTest, EveryCommandPrintsItsHelpToStdoutAndTheProgramItsVersion)
{
    const ToolResult usage = RunCli({QStringLiteral("--help")});
    ASSERT_EQ(usage.exitCode, 0);
    const QString text = QString::fromUtf8(usage.out);
    const qsizetype listStart = text.indexOf(QStringLiteral("commands:\n"));
    const QString list = text.mid(listStart, text.indexOf(QStringLiteral("\n\n"), listStart) - listStart);
    const QRegularExpression commandLine(QStringLiteral("^  ([a-z0-9]+) "), QRegularExpression::MultilineOption);
    QStringList commands;
    for (auto it = commandLine.globalMatch(list); it.hasNext();) {
        commands << it.next().captured(1);
    }
    ASSERT_GE(commands.size(), 10) << usage.out.constData();
    for (const QString& command : commands) {
        for (const QString& flag : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const ToolResult help = RunCli({command, flag});
            EXPECT_EQ(help.exitCode, 0) << command.toStdString();
            EXPECT_TRUE(help.out.startsWith(("usage: sorvane-cli " + command + ' ').toUtf8())) << help.out.constData();
            EXPECT_TRUE(help.out.contains("exit status:")) << command.toStdString();
            EXPECT_TRUE(help.err.isEmpty()) << help.err.constData();
        }
    }
    // --help wins over whatever else is on the line, and touches no file.
    const ToolResult mixed =
        RunCli({QStringLiteral("encode"), Path(QStringLiteral("missing.wav")), QStringLiteral("--help")});
    EXPECT_EQ(mixed.exitCode, 0);
    EXPECT_TRUE(mixed.out.contains("--bitrate K")) << mixed.out.constData();

    const ToolResult version = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^sorvane-cli \\d+\\.\\d+\\.\\d+\\n$"))
                    .match(QString::fromUtf8(version.out))
                    .hasMatch())
        << version.out.constData();
}

TEST_F(ConventionsTest, ExitStatusSaysSuccessFailureUsageOrInterrupted)
{
    const QString wav = Wav(QStringLiteral("in.wav"), 1.0);
    EXPECT_EQ(RunCli({QStringLiteral("encode"), wav, Path(QStringLiteral("a.mp3"))}).exitCode, 0);
    EXPECT_EQ(
        RunCli({QStringLiteral("encode"), Path(QStringLiteral("none.wav")), Path(QStringLiteral("b.mp3"))}).exitCode,
        kExitFailure);
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("encode"), wav},
          QStringList{QStringLiteral("encode"), wav, QStringLiteral("b.mp3"), QStringLiteral("--volume"),
                      QStringLiteral("2")},
          QStringList{QStringLiteral("--loud")},
          QStringList{QStringLiteral("join"), Path(QStringLiteral("j.mp3")), Path(QStringLiteral("none.mp3")),
                      QStringLiteral("--bitrate"), QStringLiteral("7")},
          QStringList{}}) {
        const ToolResult result = RunCli(wrong);
        EXPECT_EQ(result.exitCode, kExitUsage) << wrong.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains("usage: sorvane-cli")) << result.err.constData();
    }

    // SIGTERM cuts an encode short as Ctrl+C does: 130, and nothing under the output's name.
    const QString longWav = Wav(QStringLiteral("long.wav"), 240.0);
    QProcess cli;
    cli.start(Cli(), {QStringLiteral("encode"), longWav, Path(QStringLiteral("long.mp3"))});
    ASSERT_TRUE(cli.waitForStarted());
    ASSERT_TRUE(WaitUntilWritingInto(cli.processId(), m_dir.path())) << "encoding never started or ended too soon";
    ::kill(static_cast<pid_t>(cli.processId()), SIGTERM);
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), kExitInterrupted) << cli.readAllStandardError().constData();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("long.mp3"))));
}

TEST_F(ConventionsTest, AFileThatCannotBeReadOrWrittenIsNamedWithTheReason)
{
    // Root may write anywhere, so a root test runs the program as nobody.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && !ToolAvailable(QStringLiteral("setpriv"))) {
        GTEST_SKIP() << "running as root without setpriv";
    }
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("data")));
    ASSERT_EQ(::chmod(QFile::encodeName(Path(QStringLiteral("data"))).constData(), 0777), 0);
    const QString wav = Wav(QStringLiteral("in.wav"), 0.5);
    const QString secret = Wav(QStringLiteral("secret.wav"), 0.5);
    // Only its owner may write it, and nobody may read it.
    ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0200), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("locked")));
    ASSERT_EQ(::chmod(QFile::encodeName(Path(QStringLiteral("locked"))).constData(), 0555), 0);
    const auto run = [&](const QStringList& arguments) {
        if (!asRoot) {
            return RunCli(arguments);
        }
        return RunTool(QStringLiteral("setpriv"),
                       QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                   QStringLiteral("--clear-groups"), Cli()} +
                           arguments);
    };

    const QString locked = Path(QStringLiteral("locked/out.mp3"));
    const ToolResult output = run({QStringLiteral("encode"), wav, locked});
    EXPECT_EQ(output.exitCode, kExitFailure);
    EXPECT_TRUE(output.err.contains(("cannot create " + locked + ": Permission denied").toUtf8()))
        << output.err.constData();
    EXPECT_TRUE(QDir(Path(QStringLiteral("locked"))).isEmpty());

    const ToolResult input = run({QStringLiteral("encode"), secret, Path(QStringLiteral("out.mp3"))});
    EXPECT_EQ(input.exitCode, kExitFailure);
    EXPECT_TRUE(input.err.contains(("cannot open " + secret + ": Permission denied").toUtf8()))
        << input.err.constData();

    const QString nowhere = Path(QStringLiteral("no/such/out.mp3"));
    const ToolResult missing = RunCli({QStringLiteral("wav2mp3"), wav, nowhere});
    EXPECT_TRUE(missing.err.contains(("cannot create " + nowhere + ": No such file or directory").toUtf8()))
        << missing.err.constData();
}

TEST_F(ConventionsTest, TheProgressLineIsDrawnOnATerminalOnlyAndQuietSilencesAllButErrors)
{
    if (!ToolAvailable(QStringLiteral("script"))) {
        GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    }
    const QString wav = Wav(QStringLiteral("in.wav"), 3.0);
    const ToolResult terminal = RunCliOnTerminal({QStringLiteral("encode"), wav, Path(QStringLiteral("t.mp3"))});
    ASSERT_EQ(terminal.exitCode, 0) << terminal.out.constData();
    // Redrawn in place, and at its end the whole file, the time taken and the speed.
    EXPECT_TRUE(terminal.out.contains("\r\033[Kin.wav")) << terminal.out.constData();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("in\\.wav  100%  \\d+:\\d\\d elapsed(  [0-9.]+x real time)?\\r?\\n"))
                    .match(QString::fromUtf8(terminal.out))
                    .hasMatch())
        << terminal.out.constData();

    const ToolResult piped = RunCli({QStringLiteral("encode"), wav, Path(QStringLiteral("p.mp3"))});
    ASSERT_EQ(piped.exitCode, 0);
    EXPECT_TRUE(piped.err.isEmpty()) << piped.err.constData();

    const ToolResult quietTerminal =
        RunCliOnTerminal({QStringLiteral("--quiet"), QStringLiteral("encode"), wav, Path(QStringLiteral("q.mp3"))});
    ASSERT_EQ(quietTerminal.exitCode, 0);
    EXPECT_TRUE(quietTerminal.out.isEmpty()) << quietTerminal.out.constData();

    // Split names its parts, unless quiet; an error is still told.
    const QString mp3 = Mp3(QStringLiteral("song.mp3"), 2.0);
    const ToolResult parts = RunCli({QStringLiteral("split"), mp3, QStringLiteral("--parts"), QStringLiteral("2")});
    ASSERT_EQ(parts.exitCode, 0);
    EXPECT_TRUE(parts.out.contains("song_2.mp3")) << parts.out.constData();
    const ToolResult quiet = RunCli({QStringLiteral("split"), mp3, QStringLiteral("--parts"), QStringLiteral("2"),
                                     QStringLiteral("--force"), QStringLiteral("--quiet")});
    ASSERT_EQ(quiet.exitCode, 0);
    EXPECT_TRUE(quiet.out.isEmpty() && quiet.err.isEmpty()) << quiet.out.constData() << quiet.err.constData();
    const ToolResult quietFailure = RunCli({QStringLiteral("--quiet"), QStringLiteral("decode"),
                                            Path(QStringLiteral("none.mp3")), Path(QStringLiteral("none.wav"))});
    EXPECT_EQ(quietFailure.exitCode, kExitFailure);
    EXPECT_TRUE(quietFailure.err.contains("No such file or directory")) << quietFailure.err.constData();
}

TEST_F(ConventionsTest, VolumeChangesReportTheSamplesThatClipped)
{
    const QString moderate = Mp3(QStringLiteral("moderate.mp3"), 2.0, 0.5);
    const ToolResult kept = RunCli({QStringLiteral("reencode"), moderate, QStringLiteral("--bitrate"),
                                    QStringLiteral("128"), QStringLiteral("--volume"), QStringLiteral("1.5")});
    ASSERT_EQ(kept.exitCode, 0) << kept.err.constData();
    EXPECT_FALSE(kept.err.contains("clipped")) << kept.err.constData();

    const QString loud = Mp3(QStringLiteral("loud.mp3"), 2.0, 0.5);
    const ToolResult pushed = RunCli({QStringLiteral("reencode"), loud, QStringLiteral("--bitrate"),
                                      QStringLiteral("128"), QStringLiteral("--volume"), QStringLiteral("4")});
    ASSERT_EQ(pushed.exitCode, 0) << pushed.err.constData();
    const QRegularExpression count(QStringLiteral("loud\\.mp3: (\\d+) samples clipped at full scale"));
    const auto match = count.match(QString::fromUtf8(pushed.err));
    ASSERT_TRUE(match.hasMatch()) << pushed.err.constData();
    // A sine at half scale made four times louder spends about two thirds of its time past full
    // scale: in two seconds of stereo (and the encoder's padding), about 120000 samples.
    EXPECT_NEAR(match.captured(1).toDouble(), 120000.0, 6000.0);

    const QString quiet = Mp3(QStringLiteral("quiet.mp3"), 2.0, 0.5);
    const ToolResult split = RunCli({QStringLiteral("split"), quiet, QStringLiteral("--parts"), QStringLiteral("2"),
                                     QStringLiteral("--volume"), QStringLiteral("3")});
    ASSERT_EQ(split.exitCode, 0) << split.err.constData();
    EXPECT_TRUE(split.err.contains("quiet.mp3: ")) << split.err.constData();
    EXPECT_TRUE(split.err.contains("samples clipped")) << split.err.constData();
}

TEST_F(ConventionsTest, Wav2Mp3TakesARangeInSecondsAsWellAsInBytes)
{
    const QString wav = Wav(QStringLiteral("in.wav"), 4.0);
    const QString seconds = Path(QStringLiteral("seconds.mp3"));
    const QString bytes = Path(QStringLiteral("bytes.mp3"));
    ASSERT_EQ(RunCli({QStringLiteral("wav2mp3"), wav, seconds, QStringLiteral("--from"), QStringLiteral("1"),
                      QStringLiteral("--to"), QStringLiteral("2.5")})
                  .exitCode,
              0);
    ASSERT_EQ(RunCli({QStringLiteral("wav2mp3"), wav, bytes, QStringLiteral("--start"),
                      QString::number(kStereoBytesPerSecond), QStringLiteral("--end"),
                      QString::number(kStereoBytesPerSecond * 5 / 2)})
                  .exitCode,
              0);
    EXPECT_EQ(ReadAll(seconds), ReadAll(bytes));
    EXPECT_NEAR(FfprobeField(seconds, QStringLiteral("duration")).toDouble(), 1.5, 0.1);

    // From a time to the end, and past the end.
    const QString tail = Path(QStringLiteral("tail.mp3"));
    ASSERT_EQ(RunCli({QStringLiteral("wav2mp3"), wav, tail, QStringLiteral("--from"), QStringLiteral("3")}).exitCode,
              0);
    EXPECT_NEAR(FfprobeField(tail, QStringLiteral("duration")).toDouble(), 1.0, 0.1);
    const ToolResult after = RunCli(
        {QStringLiteral("wav2mp3"), wav, Path(QStringLiteral("x.mp3")), QStringLiteral("--from"), QStringLiteral("9")});
    EXPECT_EQ(after.exitCode, kExitFailure);
    EXPECT_TRUE(after.err.contains("lasts 4.000 s")) << after.err.constData();
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--from"), QStringLiteral("2"), QStringLiteral("--to"), QStringLiteral("1")},
          QStringList{QStringLiteral("--from"), QStringLiteral("x")},
          QStringList{QStringLiteral("--from"), QStringLiteral("1"), QStringLiteral("--start"), QStringLiteral("0"),
                      QStringLiteral("--end"), QStringLiteral("8")}}) {
        EXPECT_EQ(RunCli(QStringList{QStringLiteral("wav2mp3"), wav, Path(QStringLiteral("x.mp3"))} + wrong).exitCode,
                  kExitUsage)
            << wrong.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("x.mp3"))));
}

TEST_F(ConventionsTest, TheManualPageIsBuiltFromTheHelpAndRenders)
{
    const QString page = BinaryDirectory() + QStringLiteral("/../man/sorvane-cli.1");
    ASSERT_TRUE(QFileInfo::exists(page)) << page.toStdString();
    const ToolResult groff = RunTool(QStringLiteral("groff"),
                                     {QStringLiteral("-man"), QStringLiteral("-Tutf8"), QStringLiteral("-ww"), page});
    ASSERT_EQ(groff.exitCode, 0);
    EXPECT_TRUE(groff.err.isEmpty()) << groff.err.constData();
    const QString text = QString::fromUtf8(groff.out).remove(QRegularExpression(QStringLiteral(".\\x08")));
    for (const QString& expected :
         {QStringLiteral("EXIT STATUS"), QStringLiteral("130"), QStringLiteral("reencode"), QStringLiteral("--from S"),
          QStringLiteral("--quiet"), QStringLiteral("schedule")}) {
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString();
    }
}
} // namespace
