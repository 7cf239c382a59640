// sorvane-cli reencode and wav2mp3 driven as a user drives them, checked with peer tools.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <signal.h>

using namespace TestSupport;

namespace
{
constexpr int kCancelledExit = 130;
// LAME's encoder delay (576 samples) plus the decoder's (529): the most a decode that honours no
// tag adds to a file's playing time, besides its tag frame.
constexpr long long kCodecDelaySamples = 1105;
constexpr long long kFrameSamples = 1152;

class JobCommandsTest : public ::testing::Test
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
    QStringList Files() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // A 440 Hz tone encoded by the peer encoder at a constant bit rate.
    QString LameTone(const QString& name, int channels, int seconds, int kbps)
    {
        const QString wav = Path(name + QStringLiteral(".source.wav"));
        EXPECT_TRUE(WriteSimpleWav(wav, SinePcm(channels, 44100, seconds, 440.0), channels, 44100));
        const QString mp3 = Path(name);
        EXPECT_EQ(RunTool(QStringLiteral("lame"),
                          {QStringLiteral("--quiet"), QStringLiteral("-b"), QString::number(kbps), wav, mp3})
                      .exitCode,
                  0);
        QFile::remove(wav);
        return mp3;
    }

    QTemporaryDir m_dir;
};

TEST_F(JobCommandsTest, Wav2Mp3AndReencodeProduceFilesPeersRead)
{
    const QString wav = Path(QStringLiteral("in.wav"));
    ASSERT_TRUE(WriteSimpleWav(wav, SinePcm(2, 44100, 3.0, 440.0), 2, 44100));
    const QString whole = Path(QStringLiteral("whole.mp3"));
    const QString part = Path(QStringLiteral("part.mp3"));
    const ToolResult wholeRun =
        RunCli({QStringLiteral("wav2mp3"), wav, whole, QStringLiteral("--bitrate"), QStringLiteral("128")});
    ASSERT_EQ(wholeRun.exitCode, 0) << wholeRun.err.constData();
    // One second of 16-bit stereo starting one second in.
    const ToolResult partRun = RunCli({QStringLiteral("wav2mp3"), wav, part, QStringLiteral("--start"),
                                       QStringLiteral("176400"), QStringLiteral("--end"), QStringLiteral("352800")});
    ASSERT_EQ(partRun.exitCode, 0) << partRun.err.constData();
    EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), whole, 2), 3 * 44100);
    EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), part, 2), 44100);

    const ToolResult reencoded = RunCli({QStringLiteral("reencode"), whole, part, QStringLiteral("--bitrate"),
                                         QStringLiteral("64"), QStringLiteral("--volume"), QStringLiteral("0.5")});
    ASSERT_EQ(reencoded.exitCode, 0) << reencoded.err.constData();
    EXPECT_TRUE(reencoded.err.isEmpty()) << reencoded.err.constData(); // no progress when not a terminal
    for (const QString& mp3 : {whole, part}) {
        EXPECT_EQ(FfprobeField(mp3, QStringLiteral("bit_rate")), QStringLiteral("64000"));
        EXPECT_EQ(FfprobeField(mp3, QStringLiteral("sample_rate")), QStringLiteral("44100"));
        EXPECT_EQ(FfprobeField(mp3, QStringLiteral("channels")), QStringLiteral("2"));
        EXPECT_EQ(RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), mp3}).exitCode, 0);
    }
    // The re-encoded file plays what its tag counts: the input as Sorvane decoded it.
    const long long reencodedSamples = DecodedSamplesPerChannel(QStringLiteral("mpg123"), whole, 2);
    EXPECT_EQ(reencodedSamples, TaggedSamplesPerChannel(whole));
    EXPECT_GE(reencodedSamples, 3 * 44100);
    EXPECT_LE(reencodedSamples, 3 * 44100 + kCodecDelaySamples + 2 * kFrameSamples);
    // Half the volume: sox's peak level of the tone drops from about 0.5 to about 0.25.
    const QString check = Path(QStringLiteral("check.wav"));
    ASSERT_EQ(RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-w"), check, whole}).exitCode,
              0);
    const ToolResult stats = RunTool(QStringLiteral("sox"), {check, QStringLiteral("-n"), QStringLiteral("stat")});
    QFile::remove(check);
    const QString statText = QString::fromUtf8(stats.err);
    const qsizetype at = statText.indexOf(QStringLiteral("Maximum amplitude:"));
    ASSERT_GE(at, 0) << statText.toStdString();
    EXPECT_NEAR(statText.mid(at + 18).section(u'\n', 0, 0).trimmed().toDouble(), 0.25, 0.05);
    EXPECT_EQ(Files(),
              (QStringList{QStringLiteral("in.wav"), QStringLiteral("part.mp3"), QStringLiteral("whole.mp3")}));
}

TEST_F(JobCommandsTest, AWavEncodedAtEveryRateDecodesToExactlyItsSamples)
{
    constexpr int kOddTail = 13;
    for (int rate : {8000, 11025, 22050, 44100}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(QStringLiteral("%1 Hz, %2 channels").arg(rate).arg(channels).toStdString());
            std::vector<std::int16_t> pcm = SinePcm(channels, rate, 0.7, 440.0);
            pcm.resize(pcm.size() + std::size_t(kOddTail * channels), 500);
            const long long samples = static_cast<long long>(pcm.size()) / channels;
            const QString wav = Path(QStringLiteral("round.wav"));
            const QString mp3 = Path(QStringLiteral("round.mp3"));
            ASSERT_TRUE(WriteSimpleWav(wav, pcm, channels, rate));
            const ToolResult run = RunCli({QStringLiteral("wav2mp3"), wav, mp3, QStringLiteral("--bitrate"),
                                           QStringLiteral("32"), QStringLiteral("--force")});
            ASSERT_EQ(run.exitCode, 0) << run.err.constData();
            EXPECT_EQ(TaggedSamplesPerChannel(mp3), samples);
            EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), mp3, channels), samples);
            EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("ffmpeg"), mp3, channels), samples);
        }
    }
    // A re-encode writes its tag too: the peers play exactly what it counts.
    const QString mp3 = Path(QStringLiteral("round.mp3"));
    const ToolResult reencoded =
        RunCli({QStringLiteral("reencode"), mp3, QStringLiteral("--bitrate"), QStringLiteral("64")});
    ASSERT_EQ(reencoded.exitCode, 0) << reencoded.err.constData();
    const long long tagged = TaggedSamplesPerChannel(mp3);
    EXPECT_GT(tagged, 0);
    EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("mpg123"), mp3, 2), tagged);
    EXPECT_EQ(DecodedSamplesPerChannel(QStringLiteral("ffmpeg"), mp3, 2), tagged);
}

TEST_F(JobCommandsTest, VbrLevelsAndTheHighBitRatesReachTheFiles)
{
    // A tone, then silence: a VBR stream gives the silence much smaller frames. At 48 kHz a
    // constant-rate stream has no padding, so all its frames are of one size.
    const QString wav = Path(QStringLiteral("in48.wav"));
    std::vector<std::int16_t> pcm = SinePcm(2, 48000, 2.0, 440.0);
    pcm.resize(pcm.size() * 2, 0);
    ASSERT_TRUE(WriteSimpleWav(wav, pcm, 2, 48000));
    const auto frameSizes = [](const QString& mp3) {
        const ToolResult probe =
            RunTool(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                     QStringLiteral("packet=size"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), mp3});
        std::set<int> sizes;
        // A packet with side data (the gapless trim of the first and last) ends its line in a comma.
        for (const QByteArray& line : probe.out.split('\n')) {
            const QByteArray size = line.split(',').constFirst().trimmed();
            if (!size.isEmpty()) {
                sizes.insert(size.toInt());
            }
        }
        return sizes;
    };

    const QString vbr = Path(QStringLiteral("v2.mp3"));
    const ToolResult v2 = RunCli({QStringLiteral("encode"), wav, vbr, QStringLiteral("--vbr"), QStringLiteral("2")});
    ASSERT_EQ(v2.exitCode, 0) << v2.err.constData();
    EXPECT_EQ(FfprobeField(vbr, QStringLiteral("sample_rate")), QStringLiteral("48000"));
    EXPECT_GE(frameSizes(vbr).size(), 3u);
    EXPECT_EQ(RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), vbr}).exitCode, 0);

    const QString cbr = Path(QStringLiteral("cbr.mp3"));
    const ToolResult at320 =
        RunCli({QStringLiteral("wav2mp3"), wav, cbr, QStringLiteral("--bitrate"), QStringLiteral("320")});
    ASSERT_EQ(at320.exitCode, 0) << at320.err.constData();
    EXPECT_EQ(FfprobeField(cbr, QStringLiteral("bit_rate")), QStringLiteral("320000"));
    EXPECT_EQ(frameSizes(cbr).size(), 1u);

    const ToolResult reencoded =
        RunCli({QStringLiteral("reencode"), cbr, QStringLiteral("--vbr"), QStringLiteral("6")});
    ASSERT_EQ(reencoded.exitCode, 0) << reencoded.err.constData();
    EXPECT_GE(frameSizes(cbr).size(), 3u);
    EXPECT_EQ(FfprobeField(cbr, QStringLiteral("sample_rate")), QStringLiteral("48000"));

    const QByteArray before = ReadAll(cbr);
    for (const QStringList& options : {QStringList{QStringLiteral("--vbr"), QStringLiteral("10")},
                                       QStringList{QStringLiteral("--vbr"), QStringLiteral("2"),
                                                   QStringLiteral("--bitrate"), QStringLiteral("320")}}) {
        const ToolResult refused = RunCli(QStringList{QStringLiteral("reencode"), cbr} + options);
        EXPECT_EQ(refused.exitCode, 2) << options.join(' ').toStdString();
        EXPECT_TRUE(refused.err.contains("--vbr")) << refused.err.constData();
    }
    EXPECT_EQ(ReadAll(cbr), before);
}

TEST_F(JobCommandsTest, BadRequestsChangeNothing)
{
    const QString wav = Path(QStringLiteral("in.wav"));
    ASSERT_TRUE(WriteSimpleWav(wav, SinePcm(1, 22050, 1.0, 440.0), 1, 22050));
    const QByteArray wavBytes = ReadAll(wav);

    EXPECT_EQ(RunCli({QStringLiteral("reencode"), wav}).exitCode, 2); // no --bitrate
    EXPECT_EQ(RunCli({QStringLiteral("reencode"), wav, QStringLiteral("--bitrate"), QStringLiteral("64"),
                      QStringLiteral("--volume"), QStringLiteral("11")})
                  .exitCode,
              2);
    const ToolResult notMp3 =
        RunCli({QStringLiteral("reencode"), wav, QStringLiteral("--bitrate"), QStringLiteral("64")});
    EXPECT_EQ(notMp3.exitCode, 1);
    EXPECT_TRUE(notMp3.err.contains("not an MP3 file")) << notMp3.err.constData();
    EXPECT_EQ(ReadAll(wav), wavBytes);

    EXPECT_EQ(RunCli({QStringLiteral("wav2mp3"), wav, Path(QStringLiteral("a.mp3")), QStringLiteral("--start"),
                      QStringLiteral("10")})
                  .exitCode,
              2);
    const ToolResult nowhere = RunCli({QStringLiteral("wav2mp3"), wav, Path(QStringLiteral("no/such/out.mp3"))});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.contains("cannot create")) << nowhere.err.constData();
    EXPECT_EQ(Files(), QStringList{QStringLiteral("in.wav")});
}

TEST_F(JobCommandsTest, CtrlCCancelsReencodingAndKeepsTheSource)
{
    const QString mp3 = LameTone(QStringLiteral("long.mp3"), 1, 240, 128);
    const QByteArray before = ReadAll(mp3);
    ASSERT_FALSE(before.isEmpty());

    QProcess cli;
    cli.start(Cli(), {QStringLiteral("reencode"), mp3, QStringLiteral("--bitrate"), QStringLiteral("32")});
    ASSERT_TRUE(cli.waitForStarted());
    // Interrupt once the new file is being written beside the source.
    ASSERT_TRUE(WaitUntilWritingInto(cli.processId(), m_dir.path())) << "re-encoding never started or ended too soon";
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), kCancelledExit) << cli.readAllStandardError().constData();
    EXPECT_EQ(ReadAll(mp3), before);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("long.mp3")});
}
} // namespace
