// sorvane-cli record and schedule as programs, against the private test sound server: tone
// recordings at every rate, 48 kHz at 320 kbps and VBR, a killed recorder, a full disk, a vanished server and the daily
// timetable.
#include "E2eSupport.h"
#include "app/RecordSettings.h"
#include "platform/lame_enc/InfoTagFrame.h"
#include "record/RecordingSidecar.h"
#include "record/RecordingTestHelpers.h"
#include "support/PrivateSoundServer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <thread>

namespace
{
constexpr int kBitrateIndex8Kbps = 0;
constexpr double kPitchTolerance = 0.02;

struct TagFrame
{
    bool found = false;
    InfoTagFacts facts;
    int framesBehind = 0; // whole frames counted behind the tag frame, header by header
};

TagFrame ReadTagFrame(const QString& path)
{
    const QByteArray bytes = TestSupport::ReadAll(path);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto size = std::size_t(bytes.size());
    TagFrame tag;
    std::size_t position = 0;
    tag.found = InfoTagFrame::Parse(data, size, tag.facts, &position);
    while (tag.found && size - position >= 4) {
        const std::size_t frame = InfoTagFrame::Layer3FrameBytes(data + position);
        if (frame == 0 || frame > size - position) {
            break;
        }
        position += frame;
        ++tag.framesBehind;
    }
    return tag;
}

long long FfmpegSamplesPerChannel(const QString& path, int channels)
{
    const auto decoded = TestSupport::RunTool("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"});
    return decoded.exitCode == 0 ? decoded.out.size() / 2 / channels : -1;
}

struct ToneCase
{
    int rate;
    int channels;
};

class CliRecordE2ETest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString missing = TestSoundServer::SharedServerMissing();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        if (!QFileInfo(E2e::CliPath()).isExecutable()) {
            GTEST_SKIP() << "sorvane-cli is not built";
        }
        ASSERT_TRUE(m_data.isValid());
        ASSERT_TRUE(m_save.isValid());
        m_settings.SetSaveDirectory(m_save.path() + "/");
    }

    // The settings file the program reads, and the environment it runs in.
    void WriteSettings() { ASSERT_TRUE(m_settings.Save(m_data.filePath(CRecordSettings::kFileName))); }

    QProcessEnvironment Environment(const QString& server = TestSoundServer::SharedServerAddress()) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SORVANE_DATA_DIR", m_data.path());
        environment.insert("PULSE_SERVER", server);
        // A trash of the test's own for the small-file rule.
        environment.insert("XDG_DATA_HOME", m_data.filePath("share"));
        return environment;
    }

    void Lock()
    {
        m_lock = std::make_unique<CSoundServerLock>();
        ASSERT_TRUE(m_lock->IsLocked());
    }

    QString SavePath(const QString& name) const { return m_save.filePath(name); }
    QString DefaultSource() const
    {
        const auto info = TestSoundServer::Pactl(TestSoundServer::SharedServerAddress(), {"info"});
        for (const QString& line : QString::fromUtf8(info.out).split('\n')) {
            if (line.startsWith("Default Source: ")) {
                return line.mid(16).trimmed();
            }
        }
        return {};
    }
    QStringList SavedFiles() const { return QDir(m_save.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir m_data;
    QTemporaryDir m_save;
    CRecordSettings m_settings;
    std::unique_ptr<CSoundServerLock> m_lock;
};

class CliToneTest : public CliRecordE2ETest, public ::testing::WithParamInterface<ToneCase>
{
};
} // namespace

TEST_P(CliToneTest, FiveSecondsOfTheSineSourceDecodeToFiveSecondsOf440Hz)
{
    const ToneCase tone = GetParam();
    m_settings.SetFormat(RecordFormat::Pcm16(std::uint16_t(tone.channels), std::uint32_t(tone.rate)));
    WriteSettings();
    Lock();
    const auto run = E2e::RunCli(Environment(), {"record", "--seconds", "5", "--file", "tone.mp3", "--source", "sine"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(("filed: " + SavePath("tone.mp3")).toUtf8())) << run.out.toStdString();
    EXPECT_EQ(SavedFiles(), QStringList{"tone.mp3"});

    const QString path = SavePath("tone.mp3");
    EXPECT_EQ(TestSupport::FfprobeField(path, "sample_rate"), QString::number(tone.rate));
    EXPECT_EQ(TestSupport::FfprobeField(path, "channels"), QString::number(tone.channels));
    const auto decoded = RecordingTest::DecodeWithMpg123(path);
    ASSERT_TRUE(decoded.ok);
    // The tag frame filled at Stop holds the true counts, and both players trim by it.
    const TagFrame tag = ReadTagFrame(path);
    ASSERT_TRUE(tag.found);
    EXPECT_FALSE(tag.facts.placeholder);
    EXPECT_EQ(int(tag.facts.frameCount), tag.framesBehind);
    const long long playing = static_cast<long long>(tag.facts.frameCount) * InfoTagFrame::SamplesPerFrame(tone.rate) -
                              tag.facts.encoderDelay - tag.facts.padding;
    EXPECT_EQ(static_cast<long long>(decoded.samples.size()) / tone.channels, playing);
    EXPECT_EQ(FfmpegSamplesPerChannel(path, tone.channels), playing);
    const auto span = RecordingTest::FindTone(decoded.samples, tone.channels, tone.rate);
    EXPECT_NEAR(span.Seconds(), 5.0, 0.1);
    EXPECT_NEAR(RecordingTest::ToneFrequency(decoded.samples, tone.channels, tone.rate, span.firstSeconds + 0.5,
                                             span.lastSeconds - 0.5),
                RecordingTest::kToneHz, RecordingTest::kToneHz * kPitchTolerance);
}

INSTANTIATE_TEST_SUITE_P(RatesAndChannels, CliToneTest,
                         ::testing::Values(ToneCase{8000, 1}, ToneCase{11025, 2}, ToneCase{16000, 1},
                                           ToneCase{22050, 1}, ToneCase{44100, 2}),
                         [](const ::testing::TestParamInfo<ToneCase>& param) {
                             return std::to_string(param.param.rate) + (param.param.channels == 1 ? "Mono" : "Stereo");
                         });

TEST_F(CliRecordE2ETest, A48kHzRecordingAt320kbpsOrAVbrLevelIsWhatPeersRead)
{
    // The stored format stays 44.1 kHz at 160 kbps: the options set this run only.
    WriteSettings();
    const QByteArray storedSettings = TestSupport::ReadAll(m_data.filePath(CRecordSettings::kFileName));
    Lock();
    const auto run = E2e::RunCli(Environment(), {"record", "--seconds", "3", "--file", "high.mp3", "--source", "sine",
                                                 "--rate", "48000", "--bitrate", "320"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString high = SavePath("high.mp3");
    EXPECT_EQ(TestSupport::FfprobeField(high, "sample_rate"), "48000");
    EXPECT_EQ(TestSupport::FfprobeField(high, "bit_rate"), "320000");
    const auto decoded = RecordingTest::DecodeWithMpg123(high);
    ASSERT_TRUE(decoded.ok);
    const auto span = RecordingTest::FindTone(decoded.samples, 2, 48000);
    EXPECT_NEAR(span.Seconds(), 3.0, 0.1);
    EXPECT_NEAR(
        RecordingTest::ToneFrequency(decoded.samples, 2, 48000, span.firstSeconds + 0.5, span.lastSeconds - 0.5),
        RecordingTest::kToneHz, RecordingTest::kToneHz * kPitchTolerance);

    const auto vbrRun = E2e::RunCli(Environment(), {"record", "--seconds", "3", "--file", "vbr.mp3", "--source", "sine",
                                                    "--rate", "32000", "--vbr", "4"});
    ASSERT_EQ(vbrRun.exitCode, 0) << vbrRun.err.toStdString();
    EXPECT_EQ(TestSupport::FfprobeField(SavePath("vbr.mp3"), "sample_rate"), "32000");
    ASSERT_TRUE(RecordingTest::DecodeWithMpg123(SavePath("vbr.mp3")).ok);
    EXPECT_EQ(TestSupport::ReadAll(m_data.filePath(CRecordSettings::kFileName)), storedSettings);

    // A bit rate the sample rate cannot carry is refused before anything records.
    const auto refused = E2e::RunCli(Environment(), {"record", "--seconds", "1", "--file", "low.mp3", "--source",
                                                     "sine", "--rate", "22050", "--bitrate", "320"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("not carried at 22050 Hz")) << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(SavePath("low.mp3")));
}

TEST_F(CliRecordE2ETest, AKilledRecordingPlaysUpToTheKillAndIsFiledAtTheNextStart)
{
    // 8 kbps fills the file's write buffer only every few seconds: without the regular flush
    // nothing would reach the disk before the kill.
    m_settings.SetFormat(RecordFormat::Pcm16(1, 8000));
    m_settings.SetBitrateIndex(kBitrateIndex8Kbps);
    m_settings.SetSilenceDetectorEnabled(false);
    WriteSettings();
    Lock();

    E2e::CCliProcess recorder(Environment());
    ASSERT_TRUE(recorder.Start({"record", "--file", "killed.mp3", "--source", "sine"}));
    ASSERT_TRUE(recorder.WaitForLine("00 : 03")) << recorder.Errors().toStdString();
    ASSERT_TRUE(recorder.Signal(SIGKILL));
    ASSERT_TRUE(recorder.WaitForExit());

    // Left behind: the recording under the minute's name and the marker beside it.
    const QStringList left = SavedFiles();
    ASSERT_EQ(left.size(), 2) << left.join(' ').toStdString();
    const QString orphan = SavePath(left[0]);
    EXPECT_EQ(CRecordingSidecar::PathFor(orphan), SavePath(left[1]));
    const auto killed = RecordingTest::DecodeWithMpg123(orphan);
    ASSERT_TRUE(killed.ok) << "mpg123 exit code " << killed.exitCode;
    // Three seconds were captured when the kill came; all but the last second are in the file,
    // behind the placeholder reserved at the start, and ffmpeg plays them too.
    EXPECT_GT(RecordingTest::FindTone(killed.samples, 1, 8000).Seconds(), 2.0);
    const TagFrame reserved = ReadTagFrame(orphan);
    ASSERT_TRUE(reserved.found);
    EXPECT_TRUE(reserved.facts.placeholder);
    EXPECT_GT(FfmpegSamplesPerChannel(orphan, 1), 2 * 8000);
    EXPECT_GT(TestSupport::FfprobeField(orphan, "duration").toDouble(), 2.0);

    const auto next =
        E2e::RunCli(Environment(), {"record", "--seconds", "1", "--file", "next.mp3", "--source", "sine"});
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_TRUE(next.out.contains(("filed: " + SavePath("killed.mp3")).toUtf8())) << next.out.toStdString();
    EXPECT_EQ(SavedFiles(), (QStringList{"killed.mp3", "next.mp3"}));
    // Filing it filled the tag from the frames there, and the encoder's delay is cut from the start.
    const auto filed = RecordingTest::DecodeWithMpg123(SavePath("killed.mp3"));
    ASSERT_TRUE(filed.ok);
    const TagFrame tag = ReadTagFrame(SavePath("killed.mp3"));
    ASSERT_TRUE(tag.found);
    EXPECT_FALSE(tag.facts.placeholder);
    EXPECT_EQ(int(tag.facts.frameCount), tag.framesBehind);
    // Nothing is cut from the end but the tail no decoder can bring out of the last frame.
    EXPECT_EQ(tag.facts.padding, 529);
    const long long playing = static_cast<long long>(tag.facts.frameCount) * 576 - tag.facts.encoderDelay - 529;
    EXPECT_EQ(static_cast<long long>(filed.samples.size()), playing);
    const long long ffmpeg = FfmpegSamplesPerChannel(SavePath("killed.mp3"), 1);
    EXPECT_GE(ffmpeg, playing);
    EXPECT_LE(ffmpeg, playing + 576); // it makes what it can of a frame cut short
    EXPECT_GE(killed.samples.size(), filed.samples.size());
}

TEST_F(CliRecordE2ETest, ARecorderHeldStillForTenSecondsCatchesUpWithoutLosingAnything)
{
    WriteSettings();
    Lock();
    E2e::CCliProcess recorder(Environment());
    ASSERT_TRUE(recorder.Start({"record", "--file", "held.mp3", "--source", "sine"}));
    ASSERT_TRUE(recorder.WaitForLine("00 : 02")) << recorder.Errors().toStdString();
    const auto shownAt = std::chrono::steady_clock::now();
    constexpr double kShownSeconds = 2.0;

    // The whole process stands still, its sound connection included; the server keeps the sound.
    ASSERT_TRUE(recorder.Signal(SIGSTOP));
    std::this_thread::sleep_for(std::chrono::seconds(10));
    ASSERT_TRUE(recorder.Signal(SIGCONT));

    // Real time since the recording showed two seconds; the elapsed time must catch up with it.
    const auto wallSeconds = [&] {
        return kShownSeconds + std::chrono::duration<double>(std::chrono::steady_clock::now() - shownAt).count();
    };
    const auto lastElapsedSeconds = [&] {
        const QRegularExpression elapsed("^(\\d+) : (\\d\\d)$", QRegularExpression::MultilineOption);
        int seconds = 0;
        for (auto it = elapsed.globalMatch(recorder.Output()); it.hasNext();) {
            const auto match = it.next();
            seconds = match.captured(1).toInt() * 60 + match.captured(2).toInt();
        }
        return seconds;
    };
    // The elapsed time shows whole seconds and the sine source delivers in bursts.
    constexpr double kCatchUpTolerance = 1.5;
    const auto guardEnd = std::chrono::steady_clock::now() + E2e::kHangGuard;
    bool caughtUp = false;
    while (!(caughtUp = lastElapsedSeconds() >= wallSeconds() - kCatchUpTolerance) &&
           std::chrono::steady_clock::now() < guardEnd) {
        recorder.Poll(std::chrono::milliseconds(100));
    }
    const double wallAtStop = wallSeconds();
    ASSERT_TRUE(recorder.Signal(SIGTERM));
    ASSERT_TRUE(recorder.WaitForExit());
    ASSERT_TRUE(caughtUp) << "recorded " << lastElapsedSeconds() << " s in " << wallAtStop << " s";
    EXPECT_EQ(recorder.ExitCode(), 0) << recorder.Errors().toStdString();
    EXPECT_FALSE(recorder.Errors().contains("were lost")) << recorder.Errors().toStdString();

    const auto decoded = RecordingTest::DecodeWithMpg123(SavePath("held.mp3"));
    ASSERT_TRUE(decoded.ok);
    EXPECT_GT(RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds(), wallAtStop - 2 * kCatchUpTolerance);
    EXPECT_LT(RecordingTest::LongestQuietStretch(decoded.samples, 2, 44100).seconds, 0.01);
}

TEST_F(CliRecordE2ETest, CtrlCBeforeTheSecondsAreUpFilesTheRecordingAndSaysItWasInterrupted)
{
    WriteSettings();
    Lock();
    E2e::CCliProcess recorder(Environment());
    ASSERT_TRUE(recorder.Start({"record", "--seconds", "60", "--file", "cut.mp3", "--source", "sine"}));
    ASSERT_TRUE(recorder.WaitForLine("00 : 02")) << recorder.Errors().toStdString();
    ASSERT_TRUE(recorder.Signal(SIGINT));
    ASSERT_TRUE(recorder.WaitForExit());
    EXPECT_EQ(recorder.ExitCode(), 130) << recorder.Errors().toStdString();
    EXPECT_TRUE(recorder.Output().contains("filed: " + SavePath("cut.mp3"))) << recorder.Output().toStdString();
    EXPECT_TRUE(RecordingTest::DecodeWithMpg123(SavePath("cut.mp3")).ok);
}

TEST_F(CliRecordE2ETest, AFullDiskStopsTheRecordingWithAReasonAndKeepsAPlayableFile)
{
    WriteSettings();
    Lock();
    // Writes past 60 KiB fail as on a full disk; SIGXFSZ is ignored so the write reports it.
    constexpr int kFileLimitKiB = 60;
    const QString script = QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"").arg(kFileLimitKiB);
    QProcess shell;
    shell.setProcessEnvironment(Environment());
    shell.start("bash", {"-c", script, E2e::CliPath(), "record", "--file", "full.mp3", "--source", "sine"});
    ASSERT_TRUE(shell.waitForStarted());
    ASSERT_TRUE(shell.waitForFinished(E2e::kProcessGuardMs)) << "the recording did not stop by itself";
    const QString errors = QString::fromUtf8(shell.readAllStandardError());
    const QString output = QString::fromUtf8(shell.readAllStandardOutput());
    EXPECT_EQ(shell.exitCode(), 1);
    EXPECT_TRUE(errors.contains("could not be written")) << errors.toStdString();
    EXPECT_TRUE(output.contains("filed: " + SavePath("full.mp3"))) << output.toStdString();

    EXPECT_EQ(SavedFiles(), QStringList{"full.mp3"});
    EXPECT_LE(QFileInfo(SavePath("full.mp3")).size(), kFileLimitKiB * 1024);
    const auto decoded = RecordingTest::DecodeWithMpg123(SavePath("full.mp3"));
    EXPECT_TRUE(decoded.ok) << "mpg123 exit code " << decoded.exitCode;
    EXPECT_FALSE(TestSupport::FfprobeField(SavePath("full.mp3"), "duration").isEmpty());
    // 60 KiB at 160 kbps are three seconds.
    EXPECT_GT(RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds(), 2.5);
}

TEST_F(CliRecordE2ETest, WhenTheSoundServerGoesAwayTheFileIsFinishedAndFiled)
{
    QTemporaryDir serverFolder;
    ASSERT_TRUE(serverFolder.isValid());
    CPrivateSoundServer server;
    ASSERT_TRUE(server.Start(serverFolder.filePath("server"))) << server.StartError().toStdString();
    WriteSettings();

    E2e::CCliProcess recorder(Environment(server.Address()));
    ASSERT_TRUE(recorder.Start({"record", "--file", "lost.mp3", "--source", "sine"}));
    ASSERT_TRUE(recorder.WaitForLine("00 : 03")) << recorder.Errors().toStdString();
    ASSERT_TRUE(server.Kill());
    ASSERT_TRUE(recorder.WaitForExit()) << "the recorder hangs after losing the server";
    EXPECT_FALSE(recorder.Crashed());
    EXPECT_EQ(recorder.ExitCode(), 1);
    EXPECT_TRUE(recorder.Errors().contains("the sound capture device was lost")) << recorder.Errors().toStdString();
    EXPECT_TRUE(recorder.Output().contains("filed: " + SavePath("lost.mp3"))) << recorder.Output().toStdString();

    EXPECT_EQ(SavedFiles(), QStringList{"lost.mp3"});
    const auto decoded = RecordingTest::DecodeWithMpg123(SavePath("lost.mp3"));
    ASSERT_TRUE(decoded.ok);
    EXPECT_GT(RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds(), 2.9);
}

TEST_F(CliRecordE2ETest, TheScheduleRecordsADailyWindowUntilStopped)
{
    // The server first: waiting for it must not eat into the window.
    Lock();
    // A window from three to seven seconds from now, stored with yesterday's date.
    constexpr qint64 kSecondsPerDay = 24 * 3600;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (QDateTime::currentDateTime().time() > QTime(23, 59, 30)) {
        GTEST_SKIP() << "the window would run across midnight";
    }
    m_settings.SetSchedule({{std::uint32_t(now + 3 - kSecondsPerDay), std::uint32_t(now + 7 - kSecondsPerDay)}});
    WriteSettings();

    E2e::CCliProcess scheduler(Environment());
    ASSERT_TRUE(scheduler.Start({"schedule", "--source", "sine"}));
    ASSERT_TRUE(scheduler.WaitForLine("filed: ")) << scheduler.Errors().toStdString();
    ASSERT_TRUE(scheduler.Signal(SIGTERM));
    ASSERT_TRUE(scheduler.WaitForExit());
    EXPECT_EQ(scheduler.ExitCode(), 0) << scheduler.Errors().toStdString();

    // Filed under the minute it began, as a recording with an empty "Record File" box is.
    const QStringList saved = SavedFiles();
    ASSERT_EQ(saved.size(), 1) << saved.join(' ').toStdString();
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d\\.mp3$").match(saved[0]).hasMatch())
        << saved[0].toStdString();
    const auto decoded = RecordingTest::DecodeWithMpg123(SavePath(saved[0]));
    ASSERT_TRUE(decoded.ok);
    // The window is four seconds; each end is seen up to a tick early or late, and the sine
    // source delivers its first second or two in one burst.
    const double seconds = RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds();
    EXPECT_GT(seconds, 2.5);
    EXPECT_LT(seconds, 8.0);
}

TEST(CliRecordCommandTest, WrongUseAndAMissingSoundServerGetClearMessagesAndLeaveNothing)
{
    if (!QFileInfo(E2e::CliPath()).isExecutable()) {
        GTEST_SKIP() << "sorvane-cli is not built";
    }
    QTemporaryDir data;
    QTemporaryDir save;
    ASSERT_TRUE(data.isValid() && save.isValid());
    CRecordSettings settings;
    settings.SetSaveDirectory(save.path() + "/");
    ASSERT_TRUE(settings.Save(data.filePath(CRecordSettings::kFileName)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SORVANE_DATA_DIR", data.path());
    environment.insert("PULSE_SERVER", "unix:" + save.filePath("no-server-here"));

    const QString tooLong = QString(252, 'n'); // 256 bytes with ".mp3"
    for (const QStringList& wrong :
         {QStringList{"record", "--file", "../x"}, QStringList{"record", "--file", "sub/x.mp3"},
          QStringList{"record", "--file", tooLong}, QStringList{"record", "--seconds", "0"},
          QStringList{"record", "--seconds", "x"}, QStringList{"record", "talk.mp3"}, QStringList{"schedule", "now"}}) {
        const auto run = E2e::RunCli(environment, wrong);
        EXPECT_EQ(run.exitCode, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage: sorvane-cli")) << run.err.toStdString();
    }
    const auto folderPart = E2e::RunCli(environment, {"record", "--file", "../x"});
    EXPECT_TRUE(folderPart.err.contains("has a folder part")) << folderPart.err.toStdString();
    const auto longName = E2e::RunCli(environment, {"record", "--file", tooLong});
    EXPECT_TRUE(longName.err.contains("too long for the file system: 256 bytes")) << longName.err.toStdString();
    // A name that just fits is recorded as usual (here: up to the missing sound server).
    const auto fits = E2e::RunCli(environment, {"record", "--file", QString(251, 'n')});
    EXPECT_EQ(fits.exitCode, 1) << fits.err.toStdString();

    const auto noServer = E2e::RunCli(environment, {"record", "--file", "talk.mp3"});
    EXPECT_EQ(noServer.exitCode, 1);
    EXPECT_TRUE(noServer.err.contains("cannot record: there is no sound capture device")) << noServer.err.toStdString();
    const auto noSource = E2e::RunCli(environment, {"record", "--source", "sine"});
    EXPECT_EQ(noSource.exitCode, 1);
    EXPECT_TRUE(noSource.err.contains("cannot select the capture source \"sine\"")) << noSource.err.toStdString();
    const auto noTimetable = E2e::RunCli(environment, {"schedule"});
    EXPECT_EQ(noTimetable.exitCode, 1);
    EXPECT_TRUE(noTimetable.err.contains("the daily timetable is empty")) << noTimetable.err.toStdString();
    EXPECT_TRUE(QDir(save.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(CliRecordE2ETest, AnUnknownSourceIsNamedWithTheSourcesThereAre)
{
    WriteSettings();
    Lock();
    const auto run = E2e::RunCli(Environment(), {"record", "--source", "no-such-source"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no capture source \"no-such-source\"")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("pipe")) << run.err.toStdString();
    EXPECT_TRUE(SavedFiles().isEmpty());
}

TEST_F(CliRecordE2ETest, ATakenNameIsNeverReplacedAndTheNameUsedIsPrinted)
{
    WriteSettings();
    Lock();
    for (const char* expected : {"take.mp3", "take001.mp3", "take002.mp3"}) {
        const auto run =
            E2e::RunCli(Environment(), {"record", "--seconds", "2", "--file", "take.mp3", "--source", "sine"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(("filed: " + SavePath(expected)).toUtf8())) << run.out.toStdString();
    }
    EXPECT_EQ(SavedFiles(), (QStringList{"take.mp3", "take001.mp3", "take002.mp3"}));
    for (const QString& name : SavedFiles()) {
        const auto decoded = RecordingTest::DecodeWithMpg123(SavePath(name));
        ASSERT_TRUE(decoded.ok) << name.toStdString();
        EXPECT_GT(RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds(), 1.5);
    }
}

TEST_F(CliRecordE2ETest, ANamedSourceIsRecordedWithoutChangingTheDefaultSource)
{
    WriteSettings();
    Lock();
    // The null sink's monitor delivers silence: a tone in the file can only come from "sine".
    const QString server = TestSoundServer::SharedServerAddress();
    ASSERT_EQ(TestSoundServer::Pactl(server, {"set-default-source", "out.monitor"}).exitCode, 0);
    const auto run =
        E2e::RunCli(Environment(), {"record", "--seconds", "3", "--file", "named.mp3", "--source", "sine"});
    const QString defaultAfter = DefaultSource();
    TestSoundServer::Pactl(server, {"set-default-source", "sine"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(defaultAfter, "out.monitor");
    const auto decoded = RecordingTest::DecodeWithMpg123(SavePath("named.mp3"));
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds(), 3.0, 0.2);
}

TEST_F(CliRecordE2ETest, AFewSecondsAtALowRateAreKeptWithTheSilenceDetectorOn)
{
    // 4 s at 32 kbps are 16 KB, fewer bytes than one second of 22.05 kHz sound.
    constexpr int kBitrateIndex32Kbps = 3;
    m_settings.SetFormat(RecordFormat::Pcm16(1, 22050));
    m_settings.SetBitrateIndex(kBitrateIndex32Kbps);
    m_settings.SetSilenceDetectorEnabled(true);
    WriteSettings();
    Lock();
    const auto run = E2e::RunCli(Environment(), {"record", "--seconds", "4", "--file", "low.mp3", "--source", "sine"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(("filed: " + SavePath("low.mp3")).toUtf8())) << run.out.toStdString();
    EXPECT_LT(QFileInfo(SavePath("low.mp3")).size(), 22050);
    EXPECT_NEAR(TestSupport::FfprobeField(SavePath("low.mp3"), "duration").toDouble(), 4.0, 0.2);
}

TEST_F(CliRecordE2ETest, TheScheduleRecordsTheRestOfAWindowAlreadyUnderWayAtStart)
{
    Lock();
    constexpr qint64 kSecondsPerDay = 24 * 3600;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (QDateTime::currentDateTime().time() > QTime(23, 59, 30)) {
        GTEST_SKIP() << "the window would run across midnight";
    }
    // Began ten seconds ago, ends in eight, stored with yesterday's date.
    m_settings.SetSchedule({{std::uint32_t(now - 10 - kSecondsPerDay), std::uint32_t(now + 8 - kSecondsPerDay)}});
    WriteSettings();

    E2e::CCliProcess scheduler(Environment());
    ASSERT_TRUE(scheduler.Start({"schedule", "--source", "sine"}));
    ASSERT_TRUE(scheduler.WaitForLine("filed: ")) << scheduler.Errors().toStdString();
    ASSERT_TRUE(scheduler.Signal(SIGTERM));
    ASSERT_TRUE(scheduler.WaitForExit());
    EXPECT_EQ(scheduler.ExitCode(), 0) << scheduler.Errors().toStdString();
    const QStringList saved = SavedFiles();
    ASSERT_EQ(saved.size(), 1) << saved.join(' ').toStdString();
    const auto decoded = RecordingTest::DecodeWithMpg123(SavePath(saved[0]));
    ASSERT_TRUE(decoded.ok);
    // What is left of the eight seconds once the scheduler is up: on a busy machine its start
    // alone can take a few of them, so only "some, and not past the window's end" is certain.
    const double seconds = RecordingTest::FindTone(decoded.samples, 2, 44100).Seconds();
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 10.0);
}

TEST_F(CliRecordE2ETest, ARecordingUnderASecondIsMovedToTheTrashAndTheUserIsTold)
{
    m_settings.SetSilenceDetectorEnabled(true);
    WriteSettings();
    Lock();
    // The null sink's monitor is silent: the detector skips it all, and nothing plays.
    const auto run =
        E2e::RunCli(Environment(), {"record", "--seconds", "2", "--file", "quiet.mp3", "--source", "out.monitor"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("\"quiet.mp3\" played for less than one second and was moved to the trash"))
        << run.err.toStdString();
    EXPECT_TRUE(SavedFiles().isEmpty()) << SavedFiles().join(' ').toStdString();
    EXPECT_EQ(QDir(m_data.filePath("share/Trash/files")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(QDir(m_data.filePath("share/Trash/info")).entryList(QDir::Files).size(), 1);
}
