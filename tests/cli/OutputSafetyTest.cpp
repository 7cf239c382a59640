// What sorvane-cli's writing commands do with the path they write to: existing files, things
// that are no files, their own inputs, stop signals, kills and runs with nothing to write.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

namespace
{
constexpr int kCancelledExit = 130;
constexpr int kFinishWaitMs = 60000;
// Long enough that a run is still busy when the test interrupts it.
constexpr int kLongToneSeconds = 300;
constexpr int kKbps = 32;

mode_t TypeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

class OutputSafetyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("SORVANE_DATA_DIR", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("data"))));
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    static QString Cli() { return BinaryDirectory() + QStringLiteral("/sorvane-cli"); }
    static ToolResult RunCli(const QStringList& arguments) { return RunTool(Cli(), arguments, kFinishWaitMs); }
    QStringList Files() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    QString Wav(const QString& name, int rate, int channels, double seconds)
    {
        const QString wav = Path(name);
        EXPECT_EQ(
            RunTool(QStringLiteral("sox"),
                    {QStringLiteral("-D"), QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                     QStringLiteral("-c"), QString::number(channels), QStringLiteral("-b"), QStringLiteral("16"), wav,
                     QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440")})
                .exitCode,
            0);
        return wav;
    }
    QString Mp3(const QString& name, int rate, int channels, double seconds, const QStringList& lameOptions = {})
    {
        const QString wav = Wav(name + QStringLiteral(".wav"), rate, channels, seconds);
        const QString mp3 = Path(name);
        EXPECT_EQ(RunTool(QStringLiteral("lame"),
                          QStringList{QStringLiteral("--quiet"), QStringLiteral("-b"), QString::number(kKbps)} +
                              lameOptions + QStringList{wav, mp3})
                      .exitCode,
                  0);
        QFile::remove(wav);
        return mp3;
    }
    static bool WaitUntilExists(const QString& path)
    {
        constexpr int kPollMs = 10;
        for (int waited = 0; waited < kFinishWaitMs; waited += kPollMs) {
            if (QFileInfo::exists(path)) {
                return true;
            }
            QThread::msleep(kPollMs);
        }
        return false;
    }
    static bool Plays(const QString& mp3)
    {
        return RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), mp3}).exitCode == 0;
    }

    // Starts sorvane-cli, sends signal once it writes an output, and waits for its end.
    struct Stopped
    {
        int exitCode = -1;
        QByteArray err;
    };
    Stopped RunAndStop(const QStringList& arguments, int signal, const std::function<bool(qint64)>& begun = {})
    {
        QProcess cli;
        cli.start(Cli(), arguments);
        EXPECT_TRUE(cli.waitForStarted());
        const bool writing = begun ? begun(cli.processId()) : WaitUntilWritingInto(cli.processId(), m_dir.path());
        EXPECT_TRUE(writing) << "never began writing, or ended too soon: " << arguments.join(u' ').toStdString();
        ::kill(static_cast<pid_t>(cli.processId()), signal);
        EXPECT_TRUE(cli.waitForFinished(kFinishWaitMs));
        EXPECT_EQ(cli.exitStatus(), signal == SIGKILL ? QProcess::CrashExit : QProcess::NormalExit);
        return {cli.exitCode(), cli.readAllStandardError()};
    }

    QTemporaryDir m_dir;
};
} // namespace

TEST_F(OutputSafetyTest, AnExistingOutputIsReplacedOnlyWithForce)
{
    const QString wav = Wav(QStringLiteral("in.wav"), 22050, 1, 1.0);
    const QString mp3 = Mp3(QStringLiteral("in.mp3"), 22050, 1, 1.0);
    const QString second = Mp3(QStringLiteral("second.mp3"), 22050, 1, 1.0);
    const QString out = Path(QStringLiteral("out"));
    const QByteArray precious("the user's own file");
    const QList<QStringList> commands = {
        {QStringLiteral("encode"), wav, out},
        {QStringLiteral("wav2mp3"), wav, out, QStringLiteral("--start"), QStringLiteral("0"), QStringLiteral("--end"),
         QStringLiteral("8820")},
        {QStringLiteral("decode"), mp3, out},
        {QStringLiteral("join"), out, mp3, second},
    };
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.first().toStdString());
        ASSERT_TRUE(WriteAll(out, precious));
        const ToolResult refused = RunCli(command);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.err.contains("already exists; give --force")) << refused.err.constData();
        EXPECT_EQ(ReadAll(out), precious);

        const ToolResult forced = RunCli(command + QStringList{QStringLiteral("--force")});
        ASSERT_EQ(forced.exitCode, 0) << forced.err.constData();
        if (command.first() == QLatin1String("decode")) {
            EXPECT_EQ(RunTool(QStringLiteral("sox"), {QStringLiteral("-t"), QStringLiteral("wav"), out,
                                                      QStringLiteral("-n"), QStringLiteral("stat")})
                          .exitCode,
                      0);
        } else {
            EXPECT_TRUE(Plays(out));
        }
    }
}

TEST_F(OutputSafetyTest, OnlyRegularFilesAreWrittenAndALinkIsWrittenThrough)
{
    const QString wav = Wav(QStringLiteral("in.wav"), 22050, 1, 1.0);
    const QString mp3 = Mp3(QStringLiteral("in.mp3"), 22050, 1, 1.0);
    const QString fifo = Path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString linkToFifo = Path(QStringLiteral("pipe link"));
    ASSERT_TRUE(QFile::link(fifo, linkToFifo));
    const QString dangling = Path(QStringLiteral("dangling.mp3"));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("missing/nothing.mp3")), dangling));
    const QString folder = Path(QStringLiteral("folder.mp3"));
    ASSERT_TRUE(QDir().mkdir(folder));
    QStringList refusedTargets = {fifo, linkToFifo, dangling, folder};
    // A device node of our own, where the system lets us make one (the null device's numbers).
    const QString device = Path(QStringLiteral("null"));
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        refusedTargets << device;
    }
    for (const QString& target : refusedTargets) {
        const mode_t type = TypeOf(target);
        // A FIFO would block the run forever if it were opened: the run ends on its own.
        for (const QStringList& command :
             {QStringList{QStringLiteral("encode"), wav, target}, QStringList{QStringLiteral("decode"), mp3, target},
              QStringList{QStringLiteral("join"), target, mp3}}) {
            SCOPED_TRACE((command.join(u' ')).toStdString());
            const ToolResult result = RunCli(command + QStringList{QStringLiteral("--force")});
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_TRUE(result.err.contains("nothing was written")) << result.err.constData();
            EXPECT_EQ(TypeOf(target), type);
        }
    }

    // A link to a regular file: the file it points to gets the MP3, the link stays a link.
    const QString real = Path(QStringLiteral("real.mp3"));
    const QString link = Path(QStringLiteral("link.mp3"));
    ASSERT_TRUE(WriteAll(real, "old"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_EQ(RunCli({QStringLiteral("encode"), wav, link}).exitCode, 1);
    const ToolResult through = RunCli({QStringLiteral("encode"), wav, link, QStringLiteral("--force")});
    ASSERT_EQ(through.exitCode, 0) << through.err.constData();
    EXPECT_EQ(TypeOf(link), mode_t(S_IFLNK));
    EXPECT_TRUE(Plays(real));
}

TEST_F(OutputSafetyTest, AJoinNeverWritesOverOneOfItsInputs)
{
    const QString first = Mp3(QStringLiteral("first.mp3"), 22050, 1, 1.0);
    const QString second = Mp3(QStringLiteral("second.mp3"), 22050, 1, 1.0);
    const QString hardLink = Path(QStringLiteral("another name.mp3"));
    ASSERT_EQ(::link(QFile::encodeName(second).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QByteArray before = ReadAll(second);
    const QString otherSpelling = m_dir.path() + QStringLiteral("/./data/../second.mp3");
    for (const QString& output : {hardLink, otherSpelling}) {
        const ToolResult result = RunCli({QStringLiteral("join"), output, first, second, QStringLiteral("--force")});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains("would overwrite the input")) << result.err.constData();
        EXPECT_EQ(ReadAll(second), before);
    }
}

TEST_F(OutputSafetyTest, NothingToEncodeFailsAndWritesNothing)
{
    const QString empty = Path(QStringLiteral("empty.wav"));
    ASSERT_TRUE(WriteSimpleWav(empty, {}, 1, 22050));
    const QString wav = Wav(QStringLiteral("in.wav"), 22050, 1, 1.0); // 44100 bytes of samples
    const QStringList before = Files();
    for (const QStringList& command :
         {QStringList{QStringLiteral("encode"), empty, Path(QStringLiteral("a.mp3"))},
          QStringList{QStringLiteral("wav2mp3"), empty, Path(QStringLiteral("b.mp3"))},
          QStringList{QStringLiteral("wav2mp3"), wav, Path(QStringLiteral("c.mp3")), QStringLiteral("--start"),
                      QStringLiteral("50000"), QStringLiteral("--end"), QStringLiteral("60000")}}) {
        const ToolResult result = RunCli(command);
        EXPECT_EQ(result.exitCode, 1) << command.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains("no sound to encode")) << result.err.constData();
    }
    EXPECT_EQ(Files(), before);
}

TEST_F(OutputSafetyTest, StopSignalsLeaveNoPartialOutput)
{
    const QString wav = Wav(QStringLiteral("long.wav"), 22050, 1, kLongToneSeconds);
    const QString mp3 = Mp3(QStringLiteral("long.mp3"), 8000, 1, kLongToneSeconds);
    // Decoding is fast: a long input keeps it busy until the signal comes.
    const QString longer = Path(QStringLiteral("longer.mp3"));
    QByteArray copies;
    const QByteArray once = ReadAll(mp3);
    for (int i = 0; i < 8; ++i) {
        copies += once;
    }
    ASSERT_TRUE(WriteAll(longer, copies));
    const QStringList inputs = Files();
    const struct
    {
        QStringList command;
        int signal;
    } runs[] = {
        {{QStringLiteral("encode"), wav, Path(QStringLiteral("encoded.mp3"))}, SIGINT},
        {{QStringLiteral("wav2mp3"), wav, Path(QStringLiteral("converted.mp3"))}, SIGTERM},
        {{QStringLiteral("decode"), longer, Path(QStringLiteral("decoded.wav"))}, SIGINT},
        {{QStringLiteral("join"), Path(QStringLiteral("joined.mp3")), mp3, mp3}, SIGTERM},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.command.first().toStdString());
        const Stopped stopped = RunAndStop(run.command, run.signal);
        EXPECT_EQ(stopped.exitCode, kCancelledExit) << stopped.err.constData();
        EXPECT_TRUE(stopped.err.contains("nothing was written")) << stopped.err.constData();
        EXPECT_EQ(Files(), inputs);
    }
}

TEST_F(OutputSafetyTest, AStoppedSplitKeepsItsCompletePartsAndNamesThem)
{
    const QString mp3 = Mp3(QStringLiteral("Long.mp3"), 22050, 1, kLongToneSeconds);
    const QString first = Path(QStringLiteral("Long_1.mp3"));
    // The first part is complete once it has its name.
    const Stopped stopped = RunAndStop({QStringLiteral("split"), mp3, QStringLiteral("--parts"), QStringLiteral("3")},
                                       SIGINT, [&](qint64) { return WaitUntilExists(first); });
    EXPECT_EQ(stopped.exitCode, kCancelledExit);
    EXPECT_TRUE(stopped.err.contains(QFile::encodeName(first))) << stopped.err.constData();
    EXPECT_EQ(Files(), QStringList({QStringLiteral("Long.mp3"), QStringLiteral("Long_1.mp3"), QStringLiteral("data")}));
    EXPECT_TRUE(Plays(first));
}

TEST_F(OutputSafetyTest, AKilledRunLeavesNothingAndStaleTemporariesAreSwept)
{
    const QString wav = Wav(QStringLiteral("long.wav"), 22050, 1, kLongToneSeconds);
    const QStringList inputs = Files();
    RunAndStop({QStringLiteral("encode"), wav, Path(QStringLiteral("out.mp3"))}, SIGKILL);
    EXPECT_EQ(Files(), inputs);

    // What a killed run leaves on a file system without unnamed files: removed by the next run
    // that writes into the folder, once the process that made it is gone.
    const pid_t deadPid = ::fork();
    if (deadPid == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(deadPid, nullptr, 0), deadPid);
    const QString stale = Path(QStringLiteral(".sorvane-%1-00beef.tmp").arg(deadPid));
    const QString live = Path(QStringLiteral(".sorvane-%1-00beef.tmp").arg(::getpid()));
    ASSERT_TRUE(WriteAll(stale, "half an MP3"));
    ASSERT_TRUE(WriteAll(live, "being written"));
    const QString shortWav = Wav(QStringLiteral("short.wav"), 22050, 1, 0.5);
    // As long a name as the file system takes.
    const QString longName = Path(QString(251, QLatin1Char('n')) + QStringLiteral(".mp3"));
    const ToolResult run = RunCli({QStringLiteral("encode"), shortWav, longName});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(Plays(longName));
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(live));
}

TEST_F(OutputSafetyTest, SplitPartsThatExistAreReplacedOnlyWithForce)
{
    const QString mp3 = Mp3(QStringLiteral("tone.mp3"), 22050, 1, 6.0);
    const QString second = Path(QStringLiteral("tone_2.mp3"));
    ASSERT_TRUE(WriteAll(second, "keep me"));
    const ToolResult refused = RunCli({QStringLiteral("split"), mp3, QStringLiteral("--parts"), QStringLiteral("3")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("tone_2.mp3: already exists; give --force")) << refused.err.constData();
    EXPECT_EQ(ReadAll(second), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("tone_1.mp3"))));

    const ToolResult forced = RunCli(
        {QStringLiteral("split"), mp3, QStringLiteral("--parts"), QStringLiteral("3"), QStringLiteral("--force")});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.constData();
    for (int part = 1; part <= 3; ++part) {
        EXPECT_TRUE(Plays(Path(QStringLiteral("tone_%1.mp3").arg(part))));
    }
}

TEST_F(OutputSafetyTest, ReencodingInPlaceKeepsTagsLinksOwnerAndMode)
{
    const QString song = Mp3(QStringLiteral("song.mp3"), 44100, 2, 2.0,
                             {QStringLiteral("--add-id3v2"), QStringLiteral("--tt"), QStringLiteral("Title")});
    const QByteArray before = ReadAll(song);
    ASSERT_TRUE(before.startsWith("ID3"));
    ASSERT_EQ(before.mid(before.size() - 128, 3), QByteArray("TAG"));
    // The ID3v2 tag's size: ten header bytes and a 28-bit size in four 7-bit bytes.
    const int tagBytes =
        10 + ((before[6] & 0x7F) << 21 | (before[7] & 0x7F) << 14 | (before[8] & 0x7F) << 7 | (before[9] & 0x7F));
    const QString hardLink = Path(QStringLiteral("same song.mp3"));
    const QString symLink = Path(QStringLiteral("link.mp3"));
    ASSERT_EQ(::link(QFile::encodeName(song).constData(), QFile::encodeName(hardLink).constData()), 0);
    ASSERT_TRUE(QFile::link(song, symLink));
    ASSERT_EQ(::chmod(QFile::encodeName(song).constData(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(song).constData(), 1234, 4321), 0);
    }
    struct stat original
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(song).constData(), &original), 0);

    const ToolResult result =
        RunCli({QStringLiteral("reencode"), symLink, QStringLiteral("--bitrate"), QStringLiteral("64")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    const QByteArray after = ReadAll(song);
    EXPECT_EQ(after.left(tagBytes), before.left(tagBytes));
    EXPECT_EQ(after.right(128), before.right(128));
    EXPECT_EQ(FfprobeField(song, QStringLiteral("bit_rate")), QStringLiteral("64000"));
    EXPECT_TRUE(Plays(song));
    EXPECT_EQ(TypeOf(symLink), mode_t(S_IFLNK));
    struct stat now
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(song).constData(), &now), 0);
    EXPECT_EQ(now.st_ino, original.st_ino);
    EXPECT_EQ(now.st_nlink, 2u);
    EXPECT_EQ(now.st_uid, original.st_uid);
    EXPECT_EQ(now.st_gid, original.st_gid);
    EXPECT_EQ(now.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(hardLink), after);
}

TEST_F(OutputSafetyTest, ReencodingLeavesReadOnlyFilesAndNeverShortensOne)
{
    const QString locked = Mp3(QStringLiteral("locked.mp3"), 22050, 1, 1.0);
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    const QByteArray lockedBytes = ReadAll(locked);
    const ToolResult readOnly =
        RunCli({QStringLiteral("reencode"), locked, QStringLiteral("--bitrate"), QStringLiteral("16")});
    EXPECT_EQ(readOnly.exitCode, 1);
    EXPECT_TRUE(readOnly.err.contains("read-only")) << readOnly.err.constData();
    EXPECT_EQ(ReadAll(locked), lockedBytes);

    // A stream that changes its rate half-way: the frames that do not fit the first would be lost.
    const QString first = Mp3(QStringLiteral("first.mp3"), 44100, 2, 3.0,
                              {QStringLiteral("-t"), QStringLiteral("--resample"), QStringLiteral("44.1")});
    const QString second = Mp3(QStringLiteral("second.mp3"), 22050, 2, 3.0,
                               {QStringLiteral("-t"), QStringLiteral("--resample"), QStringLiteral("22.05")});
    const QString mixed = Path(QStringLiteral("mixed.mp3"));
    const QByteArray mixedBytes = ReadAll(first) + ReadAll(second);
    ASSERT_TRUE(WriteAll(mixed, mixedBytes));
    const ToolResult shorter =
        RunCli({QStringLiteral("reencode"), mixed, QStringLiteral("--bitrate"), QStringLiteral("64")});
    EXPECT_EQ(shorter.exitCode, 1);
    EXPECT_TRUE(shorter.err.contains("would play for")) << shorter.err.constData();
    EXPECT_EQ(ReadAll(mixed), mixedBytes);
}
