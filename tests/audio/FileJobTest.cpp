// The batch file jobs on real files, checked with peer tools.
#include "Mp3Fixtures.h"
#include "audio/Mp3ToWavJob.h"
#include "audio/ReencodeJob.h"
#include "audio/WavToMp3Job.h"
#include "platform/AppEvent.h"
#include "platform/FileLock.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

using namespace Mp3Fixtures;
using namespace TestSupport;

namespace
{
// LAME's encoder delay (576 samples) plus the decoder's (529).
constexpr double kCodecDelaySamples = 1105;

class CProgressRecorder : public QObject
{
public:
    std::vector<std::pair<std::intptr_t, std::intptr_t>> events;

    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(AppEventType::kJobProgress)) {
            const auto* progress = static_cast<CAppEvent*>(e);
            events.emplace_back(progress->WParam(), progress->LParam());
            return true;
        }
        return QObject::event(e);
    }
};

// Re-encoding that is cancelled once the cancel flag has been looked at cancelAfter times.
class CCancellingReencodeJob : public CReencodeJob
{
public:
    int cancelAfter = 0;
    mutable std::atomic<int> asked{0};
    bool IsCancelRequested() const override { return ++asked > cancelAfter; }
};

class FileJobTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrepareProcess();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    // A lame-encoded tone named name in the test folder (made in a folder of its own).
    QString Tone(const QString& name, int rate, int channels, double seconds, int kbps)
    {
        const QString making = Path(QStringLiteral("making"));
        EXPECT_TRUE(QDir().mkpath(making));
        const QString made = MakeToneMp3(making, QStringLiteral("tone"), rate, channels, seconds, kbps);
        EXPECT_FALSE(made.isEmpty());
        EXPECT_TRUE(QFile::rename(made, Path(name)));
        EXPECT_TRUE(QDir(making).removeRecursively());
        return Path(name);
    }
    QStringList Entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Playing time of an MP3 we wrote: the input's plus the encoder's delay, as our files carry
    // no gapless information.
    static double ExpectedSeconds(double inputSeconds, int rate)
    {
        return inputSeconds + kCodecDelaySamples / double(rate);
    }
    // Sample frames an MP3 decodes to in mpg123 (every frame, no gapless trimming).
    static qsizetype Mpg123Frames(const QString& mp3, int channels) { return Mpg123Pcm(mp3).size() / channels; }

    QTemporaryDir m_dir;
};

TEST_F(FileJobTest, Mp3ToWavConvertsEachFileKeepsGoingAndLeavesOthersAlone)
{
    const QString song = Tone(QStringLiteral("Song.MP3"), 44100, 2, 2.0, 128);
    const QString missing = Path(QStringLiteral("missing.mp3"));
    const QString outFolder = Path(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(outFolder));
    // A file that merely has the name the missing input would convert to is not touched.
    ASSERT_TRUE(WriteAll(outFolder + QStringLiteral("/missing.Wav"), "mine"));

    CProgressRecorder receiver;
    QStringList shown;
    CMp3ToWavJob job;
    job.SetFiles({song, missing});
    job.SetOutputFolder(outFolder);
    job.SetProgressReceiver(&receiver);
    job.SetMessageHandler([&](const QString& message) { shown << message; });
    job.Run();
    QCoreApplication::sendPostedEvents();

    const QString wav = outFolder + QStringLiteral("/song.Wav");
    EXPECT_EQ(Entries(outFolder), (QStringList{QStringLiteral("missing.Wav"), QStringLiteral("song.Wav")}));
    EXPECT_EQ(ReadAll(outFolder + QStringLiteral("/missing.Wav")), QByteArray("mine"));
    EXPECT_EQ(shown, QStringList{QStringLiteral("Open File %1 Error").arg(missing)});
    EXPECT_EQ(job.Failures(), shown);
    EXPECT_EQ(job.FilesPosition(), 2);

    EXPECT_EQ(QString::fromUtf8(RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-r"), wav}).out)
                  .trimmed(),
              QStringLiteral("44100"));
    EXPECT_EQ(QString::fromUtf8(RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-c"), wav}).out)
                  .trimmed(),
              QStringLiteral("2"));
    const qsizetype wavFrames =
        QString::fromUtf8(RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-s"), wav}).out)
            .trimmed()
            .toLongLong();
    // Exactly what mpg123 plays: the Info frame, encoder delay and padding left out.
    EXPECT_EQ(wavFrames, qsizetype(Mp3Fixtures::Mpg123GaplessPcm(song).size() / 2));

    // Each file announces itself with 0, then reports whole seconds within it.
    ASSERT_FALSE(receiver.events.empty());
    EXPECT_EQ(receiver.events.front(), (std::pair<std::intptr_t, std::intptr_t>(0, 0)));
    EXPECT_NE(std::find(receiver.events.begin(), receiver.events.end(), std::pair<std::intptr_t, std::intptr_t>(0, 2)),
              receiver.events.end());
    EXPECT_NE(std::find(receiver.events.begin(), receiver.events.end(), std::pair<std::intptr_t, std::intptr_t>(1, 0)),
              receiver.events.end());
}

TEST_F(FileJobTest, OutputsThatCannotBeCreatedFailCleanly)
{
    const QString song = Tone(QStringLiteral("song.mp3"), 22050, 1, 1.0, 64);
    const QString nowhere = Path(QStringLiteral("no/such/folder"));

    CMp3ToWavJob toWav;
    toWav.SetFiles({song});
    toWav.SetOutputFolder(nowhere);
    EXPECT_FALSE(toWav.ProcessFile(song));
    ASSERT_EQ(toWav.Failures().size(), 1);
    EXPECT_TRUE(toWav.Failures().front().startsWith(QStringLiteral("Create File")))
        << toWav.Failures().front().toStdString();

    const QString wav = Path(QStringLiteral("in.wav"));
    ASSERT_TRUE(WriteSimpleWav(wav, SinePcm(1, 22050, 1.0, 440.0), 1, 22050));
    CWavToMp3Job toMp3;
    toMp3.SetBitrate(64);
    toMp3.SetOutputPath(nowhere + QStringLiteral("/out.mp3"));
    EXPECT_FALSE(toMp3.ProcessFile(wav));
    ASSERT_EQ(toMp3.Failures().size(), 1);
    EXPECT_TRUE(toMp3.Failures().front().startsWith(QStringLiteral("Create File")));
    EXPECT_EQ(Entries(m_dir.path()), (QStringList{QStringLiteral("in.wav"), QStringLiteral("song.mp3")}));
}

TEST_F(FileJobTest, WavToMp3WidensEightBitAndKeepsTheDuration)
{
    const QString wav = Path(QStringLiteral("eight.wav"));
    ASSERT_EQ(RunTool(QStringLiteral("sox"),
                      {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"), QStringLiteral("-c"),
                       QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("8"), wav, QStringLiteral("synth"),
                       QStringLiteral("1.3"), QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("vol"),
                       QStringLiteral("0.5")})
                  .exitCode,
              0);
    const QString mp3 = Path(QStringLiteral("eight.mp3"));
    CWavToMp3Job job;
    job.SetBitrate(32);
    job.SetOutputPath(mp3);
    ASSERT_TRUE(job.ProcessFile(wav)) << job.Failures().join(u'\n').toStdString();

    EXPECT_EQ(FfprobeField(mp3, QStringLiteral("sample_rate")), QStringLiteral("22050"));
    EXPECT_EQ(FfprobeField(mp3, QStringLiteral("channels")), QStringLiteral("1"));
    const double frameSeconds = 576.0 / 22050;
    EXPECT_NEAR(FfprobeField(mp3, QStringLiteral("duration")).toDouble(), ExpectedSeconds(1.3, 22050), frameSeconds);
    // Widened, not garbled: the tone comes back at about the level it had; the volume scale
    // changes that level.
    const auto rms = [](const QString& path) {
        const std::vector<std::int16_t> pcm = Mpg123Pcm(path);
        double sum = 0;
        for (const std::int16_t s : pcm) {
            sum += double(s) * s;
        }
        return pcm.empty() ? 0.0 : std::sqrt(sum / double(pcm.size()));
    };
    EXPECT_NEAR(rms(mp3), 0.5 * 32767 / std::sqrt(2.0), 2500.0);
    const QString quieter = Path(QStringLiteral("quieter.mp3"));
    job.SetOutputPath(quieter);
    job.SetVolumeScale(0.5);
    ASSERT_TRUE(job.ProcessFile(wav)) << job.Failures().join(u'\n').toStdString();
    EXPECT_NEAR(rms(quieter), 0.25 * 32767 / std::sqrt(2.0), 1500.0);
}

TEST_F(FileJobTest, WavToMp3ByteRangeEncodesOnlyTheRange)
{
    const QString wav = Path(QStringLiteral("in.wav"));
    ASSERT_TRUE(WriteSimpleWav(wav, SinePcm(2, 44100, 2.0, 440.0), 2, 44100));
    const QString whole = Path(QStringLiteral("whole.mp3"));
    const QString part = Path(QStringLiteral("part.mp3"));

    CWavToMp3Job wholeJob;
    wholeJob.SetBitrate(128);
    wholeJob.SetOutputPath(whole);
    ASSERT_TRUE(wholeJob.ProcessFile(wav));
    // A second and a half of 16-bit stereo from the first half-second on; offsets inside a
    // sample frame are aligned.
    CWavToMp3Job partJob;
    partJob.SetBitrate(128);
    partJob.SetOutputPath(part);
    partJob.SetRange(44100 * 4 / 2 + 1, 44100 * 4 * 2);
    ASSERT_TRUE(partJob.ProcessFile(wav));

    EXPECT_NEAR(FfprobeField(whole, QStringLiteral("duration")).toDouble(), ExpectedSeconds(2.0, 44100),
                1152.0 / 44100);
    EXPECT_NEAR(FfprobeField(part, QStringLiteral("duration")).toDouble(), ExpectedSeconds(1.5, 44100), 1152.0 / 44100);
    EXPECT_EQ(RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), part}).exitCode, 0);
}

TEST_F(FileJobTest, ReencodeReplacesTheSourceKeepingRateChannelsAndLength)
{
    const QString stereo = Tone(QStringLiteral("stereo.mp3"), 44100, 2, 4.0, 128);
    const QString mono = Tone(QStringLiteral("mono.mp3"), 22050, 1, 3.0, 64);
    ASSERT_EQ(RunTool(QStringLiteral("id3v2"),
                      {QStringLiteral("-1"), QStringLiteral("-t"), QStringLiteral("Morning Show"), stereo})
                  .exitCode,
              0);
    const qsizetype stereoFrames = Mpg123Frames(stereo, 2);
    const qsizetype monoFrames = Mpg123Frames(mono, 1);
    const qint64 stereoSize = QFile(stereo).size();

    CReencodeJob job;
    job.SetFiles({stereo, mono});
    job.SetBitrate(64);
    job.Run();
    EXPECT_TRUE(job.Failures().isEmpty()) << job.Failures().join(u'\n').toStdString();

    EXPECT_EQ(FfprobeField(stereo, QStringLiteral("bit_rate")), QStringLiteral("64000"));
    EXPECT_EQ(FfprobeField(stereo, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(FfprobeField(stereo, QStringLiteral("channels")), QStringLiteral("2"));
    // The source's Info and last frames are re-encoded as sound, and our encoder adds its own
    // delay and padding.
    EXPECT_NEAR(double(Mpg123Frames(stereo, 2)), double(stereoFrames), 1152.0 * 3);
    EXPECT_NEAR(double(QFile(stereo).size()) / double(stereoSize), 0.5, 0.1);
    EXPECT_TRUE(RunTool(QStringLiteral("id3v2"), {QStringLiteral("-l"), stereo}).out.contains("Morning Show"));
    EXPECT_EQ(FfprobeField(mono, QStringLiteral("sample_rate")), QStringLiteral("22050"));
    EXPECT_EQ(FfprobeField(mono, QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_NEAR(double(Mpg123Frames(mono, 1)), double(monoFrames), 576.0 * 3);
    EXPECT_EQ(Entries(m_dir.path()), (QStringList{QStringLiteral("mono.mp3"), QStringLiteral("stereo.mp3")}));
}

TEST_F(FileJobTest, CancelOrNothingToDecodeLeavesTheSourceAsItWas)
{
    const QString first = Tone(QStringLiteral("a.mp3"), 44100, 2, 2.0, 128);
    const QString second = Tone(QStringLiteral("b.mp3"), 44100, 2, 2.0, 128);
    const QString third = Tone(QStringLiteral("c.mp3"), 44100, 2, 2.0, 128);
    const QByteArray secondBytes = ReadAll(second);
    const QByteArray thirdBytes = ReadAll(third);

    // About 77 frames a file and one look at the flag per frame plus one per file: the
    // second file is cancelled half-way.
    CCancellingReencodeJob job;
    job.cancelAfter = 120;
    job.SetFiles({first, second, third});
    job.SetBitrate(64);
    job.Run();
    EXPECT_EQ(FfprobeField(first, QStringLiteral("bit_rate")), QStringLiteral("64000"));
    EXPECT_EQ(ReadAll(second), secondBytes);
    EXPECT_EQ(ReadAll(third), thirdBytes);
    EXPECT_EQ(job.FilesPosition(), 2);
    EXPECT_EQ(Entries(m_dir.path()),
              (QStringList{QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")}));

    // Text with no MPEG audio in it: no encoder, no change.
    const QString text = Path(QStringLiteral("notes.mp3"));
    ASSERT_TRUE(WriteAll(text, QByteArray(3000, 'x')));
    CReencodeJob plain;
    plain.SetBitrate(64);
    EXPECT_FALSE(plain.ProcessFile(text));
    EXPECT_EQ(ReadAll(text), QByteArray(3000, 'x'));
}

// A file another task is writing (a tag being saved, say) is not re-encoded under it: the job
// says the file is busy and leaves it as it was.
TEST_F(FileJobTest, ReencodeOfAFileAnotherTaskIsWritingSaysItIsBusy)
{
    const QString song = Tone(QStringLiteral("song.mp3"), 44100, 2, 1.0, 128);
    const QByteArray before = ReadAll(song);
    CFileLock tagSave;
    ASSERT_EQ(tagSave.Acquire(song, CFileLock::Mode::Exclusive), CFileLock::Result::Locked);
    CReencodeJob job;
    job.SetBitrate(64);
    QStringList shown;
    job.SetMessageHandler([&shown](const QString& message) { shown << message; });
    EXPECT_FALSE(job.ProcessFile(song));
    EXPECT_EQ(shown, QStringList{CFileLock::BusyText(song)});
    EXPECT_EQ(ReadAll(song), before);
    EXPECT_EQ(Entries(m_dir.path()), QStringList{QStringLiteral("song.mp3")});
}
} // namespace
