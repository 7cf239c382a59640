// sorvane-cli driven as a user drives it: through the program, checked with peer tools.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using namespace TestSupport;

namespace
{
// Where the frames of an MPEG-1 layer III file without tags start, by their headers.
std::vector<qsizetype> FrameStarts(const QByteArray& mp3)
{
    constexpr int kKilobits[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    constexpr int kRates[4] = {44100, 48000, 32000, 0};
    std::vector<qsizetype> starts;
    qsizetype at = 0;
    while (at + 4 <= mp3.size() && quint8(mp3[at]) == 0xFF) {
        const auto flags = quint8(mp3[at + 2]);
        const int kilobits = kKilobits[flags >> 4];
        const int rate = kRates[(flags >> 2) & 3];
        if (kilobits == 0 || rate == 0) {
            break;
        }
        starts.push_back(at);
        at += 144000 * kilobits / rate + ((flags >> 1) & 1);
    }
    return starts;
}

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
    const QByteArray untagged = ReadAll(mp3);
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

    // Both tags go, and only they.
    ASSERT_EQ(RunCli({QStringLiteral("tag"), mp3, QStringLiteral("--remove")}).exitCode, 0);
    EXPECT_EQ(ReadAll(mp3), untagged);
}

// A file with frames hidden in tags and junk between its frames: each kind of decoding error
// is reported once, none for a tag, and the tags' frames are not decoded.
TEST_F(CliTest, DecodeReportsEachKindOfDamageOnceAndNeverATag)
{
    const QString real = Path(QStringLiteral("real.mp3"));
    const QString decoy = Path(QStringLiteral("decoy.mp3"));
    ASSERT_EQ(RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-t"),
                                               MakeWav(QStringLiteral("real.wav"), 2, 44100, 3.0), real})
                  .exitCode,
              0);
    ASSERT_EQ(RunTool(QStringLiteral("lame"),
                      {QStringLiteral("--quiet"), MakeWav(QStringLiteral("decoy.wav"), 2, 44100, 2.0), decoy})
                  .exitCode,
              0);
    const QByteArray hidden = ReadAll(decoy);
    const QByteArray audio = ReadAll(real);
    const std::vector<qsizetype> starts = FrameStarts(audio);
    ASSERT_GT(starts.size(), 100u);
    // Junk of sync-like bytes between frames at three places, a tag between two others.
    QByteArray junk;
    for (int i = 0; i < 300; ++i) {
        junk.append(i % 5 == 0 ? '\xFF' : '\x00');
    }
    const QByteArray front = Id3v2TagWithPrivateFrame(hidden, 4, true);
    const QByteArray middle = Id3v2TagWithPrivateFrame(hidden, 3, false);
    const auto frames = [&](std::size_t from, std::size_t to) {
        const qsizetype end = to < starts.size() ? starts[to] : audio.size();
        return audio.mid(starts[from], end - starts[from]);
    };
    const QByteArray beforeMiddle = front + frames(0, 20) + junk + frames(20, 40) + junk + frames(40, 60);
    const qsizetype middleStart = beforeMiddle.size();
    const QByteArray file = beforeMiddle + middle + frames(60, 80) + junk + frames(80, starts.size());
    const QString damaged = Path(QStringLiteral("damaged.mp3"));
    ASSERT_TRUE(WriteAll(damaged, file));

    const QString wav = Path(QStringLiteral("damaged.wav"));
    const ToolResult decoded = RunCli({QStringLiteral("decode"), damaged, wav});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err.constData();
    const QList<QByteArray> lines = decoded.err.trimmed().split('\n');
    ASSERT_FALSE(decoded.err.isEmpty());
    QStringList kinds;
    for (const QByteArray& line : lines) {
        const QString text = QString::fromUtf8(line);
        const QString kind = text.section(QLatin1Char(' '), 0, 2);
        EXPECT_FALSE(kinds.contains(kind)) << decoded.err.constData();
        kinds << kind;
        const qsizetype offset = text.section(QLatin1Char(' '), -1).toLongLong();
        EXPECT_GE(offset, front.size()) << text.toStdString();
        EXPECT_FALSE(offset >= middleStart && offset < middleStart + middle.size()) << text.toStdString();
    }
    const ToolResult seconds = RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-D"), wav});
    const double decodedSeconds = QString::fromUtf8(seconds.out).trimmed().toDouble();
    EXPECT_GT(decodedSeconds, 2.7);
    EXPECT_LT(decodedSeconds, 3.1); // not the 2 + 2 seconds the tags hold
}

// While another task holds the file's lock, tag refuses at once with a clear message rather than
// write into a file that is about to be replaced; the file is left as it was.
TEST_F(CliTest, TagRefusesAFileAnotherTaskIsWriting)
{
    const QString mp3 = Path(QStringLiteral("song.mp3"));
    ASSERT_EQ(RunCli({QStringLiteral("encode"), MakeWav(QStringLiteral("in.wav"), 2, 44100, 1.0), mp3}).exitCode, 0);
    const QByteArray before = ReadAll(mp3);
    {
        const int fd = ::open(QFile::encodeName(mp3).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        const ToolResult refused = RunCli({QStringLiteral("tag"), mp3, QStringLiteral("--title"), QStringLiteral("X")});
        ::close(fd);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(
            refused.err.contains((mp3 + QStringLiteral(" is busy: another Sorvane task is writing it")).toUtf8()))
            << refused.err.constData();
        EXPECT_EQ(ReadAll(mp3), before);
    }
    const ToolResult written = RunCli({QStringLiteral("tag"), mp3, QStringLiteral("--title"), QStringLiteral("X")});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    const QString listed = QString::fromUtf8(RunTool(QStringLiteral("id3v2"), {QStringLiteral("-l"), mp3}).out);
    EXPECT_TRUE(listed.contains(QStringLiteral("Title  : X "))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("TIT2 (Title/songname/content description): X")))
        << listed.toStdString();
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
         "No such file or directory"},
        {{QStringLiteral("encode"), junk, Path(QStringLiteral("o.mp3"))}, 1, "not a WAV file"},
        {{QStringLiteral("encode"), wav, Path(QStringLiteral("nofolder/o.mp3"))}, 1, "cannot create"},
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
