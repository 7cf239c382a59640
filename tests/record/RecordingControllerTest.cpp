// The recording controller on the in-memory sound card: naming and filing, continuation files,
// the small-file rule, pause, the live waveform, failures, orphans and the schedule.
#include "record/RecordingController.h"

#include "app/RecordSettings.h"
#include "platform/AppEvent.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "record/LiveWaveform.h"
#include "record/MixerState.h"
#include "record/RecordingNames.h"
#include "record/RecordingSidecar.h"
#include "record/RecordingTestHelpers.h"
#include "record/WaveRecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using RecordingTest::Tone;
using RecordingTest::Zeros;

namespace
{
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::size_t kStereoBufferBytes = 4608;

QDateTime At(int hour, int minute, int second = 0, QDate date = QDate(2026, 12, 7))
{
    return QDateTime(date, QTime(hour, minute, second), QTimeZone::systemTimeZone());
}

// A schedule time as the dialog stores it: the time of day on some earlier date.
std::uint32_t StoredTime(int hour, int minute)
{
    return std::uint32_t(At(hour, minute, 0, QDate(2026, 1, 15)).toSecsSinceEpoch());
}

class RecordingControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RecordingTest::PrepareProcess();
        ASSERT_TRUE(m_folder.isValid() && m_dataHome.isValid());
        // The small-file rule's trash, kept out of the user's.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
        RecordingTest::ResetSettings(SaveDirectory(), kChannels, kRate);
        MixerState::selectedLevel = MixerState::kDefaultSelectedLevel;
        m_backend = std::make_shared<CMemoryAudioBackend>();
        m_scope = std::make_unique<CScopedAudioBackend>(m_backend);
        m_controller = std::make_unique<CRecordingController>();
        m_controller->SetClock([this] { return m_now; });
        m_controller->SetFiledCallback([this](const QString& path) { m_filed << path; });
        QObject::connect(m_controller.get(), &CRecordingController::messageToShow, m_controller.get(),
                         [this](const QString& text) { m_messages << text; });
        QObject::connect(m_controller.get(), &CRecordingController::recordingStarted, m_controller.get(),
                         [this] { ++m_starts; });
        QObject::connect(m_controller.get(), &CRecordingController::recordingStopped, m_controller.get(),
                         [this] { ++m_stops; });
    }

    void TearDown() override
    {
        m_controller.reset();
        m_scope.reset();
        qunsetenv("XDG_DATA_HOME");
    }

    QString SaveDirectory() const { return m_folder.path() + "/"; }
    QString Path(const QString& name) const { return m_folder.filePath(name); }

    // Hands the bytes to the running capture and waits until every buffer went through the
    // engine, then lets the controller handle what the capture thread posted.
    void Feed(const QByteArray& bytes)
    {
        m_backend->QueueCapture(bytes);
        ASSERT_TRUE(m_backend->WaitUntilCaptureIdle());
        RecordingTest::ProcessPendingEvents();
    }

    RecordingTest::DecodedMp3 Decode(const QString& name) const { return RecordingTest::DecodeWithMpg123(Path(name)); }

    QStringList FilesInFolder() const { return QDir(m_folder.path()).entryList(QDir::Files, QDir::Name); }

    QStringList TrashedFiles() const
    {
        return QDir(m_dataHome.filePath("Trash/files")).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir m_folder;
    QTemporaryDir m_dataHome;
    std::shared_ptr<CMemoryAudioBackend> m_backend;
    std::unique_ptr<CScopedAudioBackend> m_scope;
    std::unique_ptr<CRecordingController> m_controller;
    QDateTime m_now = At(9, 5);
    QStringList m_filed;
    QStringList m_messages;
    int m_starts = 0;
    int m_stops = 0;
};
} // namespace

TEST_F(RecordingControllerTest, NamesTheRecordingAfterTheMinuteAndFilesItWithTheMp3Extension)
{
    m_controller->Record();
    ASSERT_TRUE(m_controller->IsRecording());
    EXPECT_TRUE(m_controller->StartFailureText().isEmpty()) << m_controller->StartFailureText().toStdString();
    EXPECT_EQ(m_controller->RecordFileText(), "2026-12-07-09-05.mp3");
    EXPECT_EQ(m_controller->RecordingPath(), Path("2026-12-07-09-05"));
    // While recording, the marker beside the file says where it belongs.
    EXPECT_TRUE(QFileInfo::exists(CRecordingSidecar::PathFor(Path("2026-12-07-09-05"))));

    Feed(Tone(3, kChannels, kRate));
    m_controller->Stop();
    EXPECT_FALSE(m_controller->IsRecording());
    EXPECT_EQ(m_filed, QStringList{Path("2026-12-07-09-05.mp3")});
    EXPECT_EQ(FilesInFolder(), QStringList{"2026-12-07-09-05.mp3"}) << "temporary file or marker left behind";
    const auto decoded = Decode("2026-12-07-09-05.mp3");
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, kChannels, kRate).Seconds(), 3.0, 0.1);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
}

TEST_F(RecordingControllerTest, EveryRecordingGetsAFileOfItsOwnAndAGeneratedNameIsNotReused)
{
    // Three recordings in a row in the same minute, then one a minute later.
    QStringList texts;
    for (int take = 0; take < 3; ++take) {
        m_controller->Record();
        texts << m_controller->RecordFileText();
        Feed(Tone(2 + take, kChannels, kRate));
        m_controller->Stop();
        EXPECT_TRUE(m_controller->RecordFileText().isEmpty()) << "the name Sorvane made stays with its recording";
    }
    EXPECT_EQ(texts, QStringList(3, "2026-12-07-09-05.mp3"));
    m_now = At(9, 6);
    m_controller->Record();
    EXPECT_EQ(m_controller->RecordFileText(), "2026-12-07-09-06.mp3");
    Feed(Tone(2, kChannels, kRate));
    m_controller->Stop();

    EXPECT_EQ(m_filed, (QStringList{Path("2026-12-07-09-05.mp3"), Path("2026-12-07-09-05001.mp3"),
                                    Path("2026-12-07-09-05002.mp3"), Path("2026-12-07-09-06.mp3")}));
    EXPECT_EQ(FilesInFolder(), (QStringList{"2026-12-07-09-05.mp3", "2026-12-07-09-05001.mp3",
                                            "2026-12-07-09-05002.mp3", "2026-12-07-09-06.mp3"}));
    for (int take = 0; take < 3; ++take) {
        const auto decoded = Decode(RecordingNames::FileNamePart(m_filed[take]));
        ASSERT_TRUE(decoded.ok);
        EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, kChannels, kRate).Seconds(), 2.0 + take, 0.1);
    }
}

TEST_F(RecordingControllerTest, TheRecordFileTextNamesTheFileAndATakenNameIsNeverReplaced)
{
    m_controller->SetRecordFileText("interview.wav");
    m_controller->Record();
    Feed(Tone(3, kChannels, kRate));
    m_controller->Stop();
    ASSERT_EQ(m_filed, QStringList{Path("interview.mp3")});
    const qint64 firstSize = QFileInfo(Path("interview.mp3")).size();
    EXPECT_EQ(m_controller->RecordFileText(), "interview.wav") << "the user's own text stays";

    // Same minute, same text: the second recording takes the next free name.
    m_controller->Record();
    EXPECT_EQ(m_controller->RecordingPath(), Path("2026-12-07-09-05"));
    Feed(Tone(5, kChannels, kRate));
    m_controller->Stop();
    EXPECT_EQ(m_filed, (QStringList{Path("interview.mp3"), Path("interview001.mp3")}));
    EXPECT_EQ(QFileInfo(Path("interview.mp3")).size(), firstSize);
    EXPECT_GT(QFileInfo(Path("interview001.mp3")).size(), firstSize);

    // The text edited while recording is the one filed under.
    m_controller->Record();
    Feed(Tone(3, kChannels, kRate));
    m_controller->SetRecordFileText("talk");
    m_controller->Stop();
    EXPECT_EQ(m_filed.last(), Path("talk.mp3"));
    EXPECT_EQ(FilesInFolder(), (QStringList{"interview.mp3", "interview001.mp3", "talk.mp3"}));
}

TEST_F(RecordingControllerTest, ALongSilenceContinuesInANumberedFileThatSkipsItsLeadingSilence)
{
    CRecordSettings::Instance().SetLongSilenceAction(1);
    CRecordSettings::Instance().SetNewFileAfterSeconds(5);
    m_controller->SetRecordFileText("talk.mp3");
    m_controller->Record();
    Feed(Tone(2, kChannels, kRate) + Zeros(7, kChannels, kRate));

    // Six seconds into the silence the first file was filed and the next one began.
    EXPECT_EQ(m_filed, QStringList{Path("talk.mp3")});
    ASSERT_TRUE(m_controller->IsRecording());
    EXPECT_EQ(m_controller->RecordFileText(), "talk001.mp3");
    EXPECT_EQ(m_controller->NewFileCounter(), 1);

    // Three seconds: two would be under the size a kept recording needs.
    Feed(Zeros(1, kChannels, kRate) + Tone(3, kChannels, kRate));
    m_controller->Stop();
    EXPECT_EQ(m_filed, (QStringList{Path("talk.mp3"), Path("talk001.mp3")}));

    const auto first = Decode("talk.mp3");
    ASSERT_TRUE(first.ok);
    const auto firstTone = RecordingTest::FindTone(first.samples, kChannels, kRate);
    EXPECT_NEAR(firstTone.Seconds(), 2.0, 0.1);
    EXPECT_LT(firstTone.firstSeconds, 0.1);

    // The continuation starts at the second tone: its second of leading silence was skipped.
    const auto second = Decode("talk001.mp3");
    ASSERT_TRUE(second.ok);
    const auto secondTone = RecordingTest::FindTone(second.samples, kChannels, kRate);
    EXPECT_LT(secondTone.firstSeconds, 0.1);
    EXPECT_NEAR(secondTone.Seconds(), 3.0, 0.1);

    // A new Record starts the numbering again.
    m_controller->Record();
    EXPECT_EQ(m_controller->NewFileCounter(), 0);
    m_controller->Stop();
}

TEST_F(RecordingControllerTest, ALongSilenceWithActionZeroStopsTheRecording)
{
    m_controller->Record();
    Feed(Zeros(8, kChannels, kRate));
    EXPECT_TRUE(m_controller->IsRecording()) << "silence before any sound must not stop it";
    Feed(Tone(1, kChannels, kRate) + Zeros(7, kChannels, kRate));
    EXPECT_FALSE(m_controller->IsRecording());
    EXPECT_EQ(m_stops, 1);
    ASSERT_EQ(m_filed.size(), 1);

    // A Stop posted by a monitor after the user stopped finds nothing to stop.
    CAppEvent::Post(m_controller.get(), AppEventType::kCommand, CRecordingController::kStopCommandId);
    CAppEvent::Post(m_controller.get(), AppEventType::kSilenceNewFile);
    RecordingTest::ProcessPendingEvents();
    EXPECT_FALSE(m_controller->IsRecording());
    EXPECT_EQ(m_stops, 1);
    EXPECT_EQ(m_starts, 1);
}

TEST_F(RecordingControllerTest, ACaptureLimitEndsTheRecordingWithNothingPastIt)
{
    m_controller->SetCaptureLimit(3000);
    m_controller->SetRecordFileText("limited.mp3");
    m_controller->Record();
    // All five seconds reach the engine before the posted Stop is handled.
    Feed(Tone(5, kChannels, kRate));
    EXPECT_FALSE(m_controller->IsRecording());
    ASSERT_EQ(m_filed, QStringList{Path("limited.mp3")});
    const auto decoded = Decode("limited.mp3");
    ASSERT_TRUE(decoded.ok);
    // Up to the buffer that reached three seconds (26 ms at 44100 Hz).
    EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, kChannels, kRate).Seconds(), 3.0, 0.05);
}

TEST_F(RecordingControllerTest, RecordingsUnderASecondGoToTheTrashWithAWordOnlyWithTheSilenceDetectorOn)
{
    m_controller->SetRecordFileText("short.mp3");
    m_controller->Record();
    Feed(Tone(0.5, kChannels, kRate));
    m_controller->Stop();
    EXPECT_TRUE(m_filed.isEmpty());
    EXPECT_TRUE(FilesInFolder().isEmpty()) << FilesInFolder().join(' ').toStdString();
    EXPECT_EQ(TrashedFiles(), QStringList{"2026-12-07-09-05"});
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("\"short.mp3\"")) << m_messages[0].toStdString();
    EXPECT_TRUE(m_messages[0].contains("moved to the trash")) << m_messages[0].toStdString();

    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    m_controller->Record();
    Feed(Tone(0.5, kChannels, kRate));
    m_controller->Stop();
    EXPECT_EQ(m_filed, QStringList{Path("short.mp3")});
    EXPECT_EQ(m_messages.size(), 1);
}

TEST_F(RecordingControllerTest, LowRatesKeepRecordingsOfSecondsThatTakeFewBytes)
{
    // Fewer bytes than a second of the capture format: 16 KB against 22050, 5 KB against 8000.
    constexpr int kBitrateIndex32Kbps = 3;
    constexpr int kBitrateIndex8Kbps = 0;
    const struct
    {
        int rate;
        int bitrateIndex;
        double seconds;
        const char* name;
    } cases[] = {{22050, kBitrateIndex32Kbps, 4, "wide.mp3"}, {8000, kBitrateIndex8Kbps, 5, "narrow.mp3"}};
    for (const auto& low : cases) {
        CRecordSettings::Instance().SetFormat(RecordFormat::Pcm16(1, std::uint32_t(low.rate)));
        CRecordSettings::Instance().SetBitrateIndex(low.bitrateIndex);
        m_controller->SetRecordFileText(low.name);
        m_controller->Record();
        Feed(Tone(low.seconds, 1, low.rate));
        m_controller->Stop();
        EXPECT_EQ(m_filed.last(), Path(low.name));
        EXPECT_LT(QFileInfo(Path(low.name)).size(), low.rate);
        const auto decoded = Decode(low.name);
        ASSERT_TRUE(decoded.ok);
        EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, 1, low.rate).Seconds(), low.seconds, 0.15);
    }
    EXPECT_TRUE(TrashedFiles().isEmpty());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
}

TEST_F(RecordingControllerTest, ARecordingThatGotNoSoundNeverReplacesAFile)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    QFile earlier(Path("talk.mp3"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier recording");
    earlier.close();

    m_controller->SetRecordFileText("talk.mp3");
    m_controller->Record();
    m_controller->Stop();
    EXPECT_TRUE(m_filed.isEmpty());
    QFile kept(Path("talk.mp3"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("an earlier recording"));
    EXPECT_EQ(FilesInFolder(), QStringList{"talk.mp3"});
}

TEST_F(RecordingControllerTest, PauseLeavesTheAudioAndItsTimeOut)
{
    m_controller->TogglePause();
    EXPECT_FALSE(m_controller->IsPaused()) << "nothing to pause while idle";
    EXPECT_EQ(m_controller->PauseCaption(), "Pause");

    m_controller->SetRecordFileText("paused.mp3");
    m_controller->Record();
    Feed(Tone(1.5, kChannels, kRate));
    m_controller->TogglePause();
    EXPECT_TRUE(m_controller->IsPaused());
    EXPECT_EQ(m_controller->PauseCaption(), "Resume");
    Feed(Tone(3, kChannels, kRate));
    m_controller->TogglePause();
    EXPECT_EQ(m_controller->PauseCaption(), "Pause");
    Feed(Tone(1.6, kChannels, kRate));
    // 1.5 + 1.6 seconds recorded; the three paused ones are not.
    EXPECT_EQ(m_controller->ElapsedText(), "00 : 03");

    // Stop while paused files as usual and puts the caption back.
    m_controller->TogglePause();
    m_controller->Stop();
    EXPECT_FALSE(m_controller->IsPaused());
    EXPECT_EQ(m_controller->PauseCaption(), "Pause");
    const auto decoded = Decode("paused.mp3");
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(RecordingTest::FindTone(decoded.samples, kChannels, kRate).Seconds(), 3.1, 0.1);
}

TEST_F(RecordingControllerTest, TheLiveWaveformIsDrawnFromTheNewestCapturedSound)
{
    const QRect area(0, 31, 600, 80);
    EXPECT_TRUE(m_controller->WaveformPolyline(area).empty()) << "idle: plain black";

    m_controller->Record();
    // Three buffers of a ramp: the window holds the newest 11520 bytes of them.
    QByteArray ramp(3 * int(kStereoBufferBytes), '\0');
    for (int i = 0; i < ramp.size() / 2; ++i) {
        const auto value = std::int16_t(i * 7 - 20000);
        std::memcpy(ramp.data() + 2 * i, &value, 2);
    }
    Feed(ramp);
    const QByteArray newest = ramp.right(CWaveRecorder::RecentCapacity());
    const auto expected = LiveWaveform::Polyline(reinterpret_cast<const std::uint8_t*>(newest.constData()),
                                                 std::size_t(newest.size()), kChannels, area);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(m_controller->WaveformPolyline(area), expected);
    m_controller->Stop();
    EXPECT_TRUE(m_controller->WaveformPolyline(area).empty());
}

TEST_F(RecordingControllerTest, ALostDeviceStopsAndFilesTheRecordingAndSaysWhy)
{
    m_controller->SetRecordFileText("lost.mp3");
    m_controller->Record();
    Feed(Tone(3, kChannels, kRate));
    m_backend->QueueVanish();
    ASSERT_TRUE(
        RecordingTest::ProcessEventsUntil([this] { return !m_controller->IsRecording(); }, std::chrono::seconds(10)));
    EXPECT_EQ(m_filed, QStringList{Path("lost.mp3")});
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("the sound capture device was lost")) << m_messages[0].toStdString();
    EXPECT_TRUE(Decode("lost.mp3").ok);
}

TEST_F(RecordingControllerTest, LostSoundIsFiledAsSilenceOfItsLengthAndReportedWhenTheRecordingEnds)
{
    // Mono 8 kHz keeps a minute of sound cheap to encode; no detector, so the silence stays.
    constexpr int kMonoRate = 8000;
    CRecordSettings::Instance().SetFormat(RecordFormat::Pcm16(1, kMonoRate));
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    QStringList lossTexts;
    QObject::connect(m_controller.get(), &CRecordingController::soundLost, m_controller.get(),
                     [&lossTexts](const QString& text) { lossTexts << text; });
    m_controller->SetRecordFileText("gap.mp3");
    m_controller->Record();
    constexpr double kBeforeSeconds = 67.0;
    constexpr double kLostSeconds = 2.5;
    constexpr double kAfterSeconds = 3.0;
    m_backend->QueueCapture(Tone(kBeforeSeconds, 1, kMonoRate));
    m_backend->QueueCaptureLoss(std::size_t(kLostSeconds * kMonoRate * 2));
    Feed(Tone(kAfterSeconds, 1, kMonoRate));
    // Nothing is said while the recording runs.
    EXPECT_TRUE(lossTexts.isEmpty());
    m_controller->Stop();

    ASSERT_EQ(m_filed, QStringList{Path("gap.mp3")});
    EXPECT_EQ(lossTexts, QStringList{"2.5 s of sound were lost at 01:07"});
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    const auto decoded = Decode("gap.mp3");
    ASSERT_TRUE(decoded.ok);
    // The timeline stays true: the sound after the loss is where it was played.
    const auto tone = RecordingTest::FindTone(decoded.samples, 1, kMonoRate);
    const auto gap = RecordingTest::LongestQuietStretch(decoded.samples, 1, kMonoRate);
    EXPECT_NEAR(gap.startSeconds - tone.firstSeconds, kBeforeSeconds, 0.1);
    EXPECT_NEAR(gap.seconds, kLostSeconds, 0.1);
    EXPECT_NEAR(tone.Seconds(), kBeforeSeconds + kLostSeconds + kAfterSeconds, 0.1);
}

TEST_F(RecordingControllerTest, AFullDiskStopsTheRecordingAndKeepsWhatWasWrittenPlayable)
{
    // A file size limit makes writes past 60000 bytes fail as a full disk does.
    constexpr rlim_t kFileLimitBytes = 60000;
    struct rlimit previous
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = kFileLimitBytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    m_controller->SetRecordFileText("full.mp3");
    m_controller->Record();
    m_backend->QueueCapture(Tone(6, kChannels, kRate));
    const bool stopped =
        RecordingTest::ProcessEventsUntil([this] { return !m_controller->IsRecording(); }, std::chrono::seconds(10));
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(stopped) << "the recording went on after the disk filled";
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("could not be written")) << m_messages[0].toStdString();
    ASSERT_EQ(m_filed, QStringList{Path("full.mp3")});
    EXPECT_LE(QFileInfo(Path("full.mp3")).size(), qint64(kFileLimitBytes));
    const auto decoded = Decode("full.mp3");
    EXPECT_TRUE(decoded.ok) << "mpg123 exit code " << decoded.exitCode;
    // 60000 bytes at 160 kbps are three seconds.
    EXPECT_GT(RecordingTest::FindTone(decoded.samples, kChannels, kRate).Seconds(), 2.5);
}

TEST_F(RecordingControllerTest, OrphanedRecordingsAreFiledUnderTheirNamesAtTheNextStart)
{
    // The stand-in bytes do not play; the small-file rule would take them for a short recording.
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    // What a killed run leaves: the recording under the minute's name and its marker.
    const QString recorded = Path("2026-12-01-20-00");
    {
        QFile file(recorded);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(50000, 'x'));
        ASSERT_TRUE(CRecordingSidecar::Create(recorded, "radio.mp3", kRate));
    }
    // Another program's recording in progress is left alone.
    CRecordingController other;
    other.SetRecordFileText("other.mp3");
    other.Record();
    ASSERT_TRUE(other.IsRecording());

    EXPECT_EQ(m_controller->RecoverOrphanedRecordings(), 1);
    EXPECT_EQ(m_filed, QStringList{Path("radio.mp3")});
    EXPECT_FALSE(QFileInfo::exists(recorded));
    EXPECT_FALSE(QFileInfo::exists(CRecordingSidecar::PathFor(recorded)));
    EXPECT_TRUE(QFileInfo::exists(other.RecordingPath()));
    EXPECT_TRUE(QFileInfo::exists(CRecordingSidecar::PathFor(other.RecordingPath())));
    other.Stop();
}

TEST_F(RecordingControllerTest, ARecordingThatCannotBeFiledIsKeptReportedAndTriedAgainLater)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    // Record refuses a folder part, but the text may still be edited while recording.
    m_controller->SetRecordFileText("talk.mp3");
    m_controller->Record();
    Feed(Tone(3, kChannels, kRate));
    m_controller->SetRecordFileText("missing-folder/talk.mp3");
    m_controller->Stop();
    EXPECT_TRUE(m_filed.isEmpty());
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(Path("2026-12-07-09-05"))) << m_messages[0].toStdString();
    EXPECT_TRUE(QFileInfo::exists(Path("2026-12-07-09-05")));

    // A new recording in the same minute leaves it alone rather than writing over it.
    m_controller->SetRecordFileText("next.mp3");
    m_controller->Record();
    EXPECT_EQ(m_controller->RecordingPath(), Path("2026-12-07-09-05-2"));
    Feed(Tone(1, kChannels, kRate));
    m_controller->Stop();
    EXPECT_EQ(m_filed, QStringList{Path("next.mp3")});
    EXPECT_TRUE(Decode("2026-12-07-09-05").ok);

    // Once the folder exists, the next start files it.
    ASSERT_TRUE(QDir(m_folder.path()).mkdir("missing-folder"));
    EXPECT_EQ(m_controller->RecoverOrphanedRecordings(), 1);
    EXPECT_EQ(m_filed.last(), Path("missing-folder/talk.mp3"));
    EXPECT_FALSE(QFileInfo::exists(Path("2026-12-07-09-05")));
}

TEST_F(RecordingControllerTest, TheScheduleStartsAndStopsRecordingsAtItsTimesOfDay)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    CRecordSettings::Instance().SetSchedule({{StoredTime(9, 0), StoredTime(9, 30)}});
    m_controller->CheckSchedule(At(8, 59, 57));
    EXPECT_FALSE(m_controller->IsRecording());
    m_controller->CheckSchedule(At(8, 59, 59));
    EXPECT_TRUE(m_controller->IsRecording());
    m_controller->CheckSchedule(At(9, 0, 0));
    m_controller->CheckSchedule(At(9, 0, 1));
    EXPECT_EQ(m_starts, 1);

    m_controller->CheckSchedule(At(9, 29, 58));
    EXPECT_TRUE(m_controller->IsRecording());
    m_controller->CheckSchedule(At(9, 29, 59));
    EXPECT_FALSE(m_controller->IsRecording());
    m_controller->CheckSchedule(At(9, 30, 0));
    EXPECT_EQ(m_starts, 1);
    EXPECT_EQ(m_stops, 1);

    // An end also stops a recording started by hand.
    m_controller->Record();
    m_controller->CheckSchedule(At(9, 30, 1, QDate(2026, 12, 8)));
    EXPECT_FALSE(m_controller->IsRecording());
}

TEST_F(RecordingControllerTest, AWindowThatBeginsAsAnotherEndsGetsARecordingOfItsOwn)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    CRecordSettings::Instance().SetSchedule(
        {{StoredTime(9, 0), StoredTime(10, 0)}, {StoredTime(10, 0), StoredTime(11, 0)}});
    m_controller->CheckSchedule(At(9, 0, 0));
    ASSERT_TRUE(m_controller->IsRecording());
    Feed(Tone(3, kChannels, kRate));

    m_controller->CheckSchedule(At(9, 59, 58));
    EXPECT_EQ(m_stops, 0);
    // The first window's end and the second's start are both due: the first file is filed
    // and the second window records into a new one.
    m_controller->CheckSchedule(At(9, 59, 59));
    EXPECT_EQ(m_stops, 1);
    EXPECT_EQ(m_starts, 2);
    EXPECT_EQ(m_filed.size(), 1);
    EXPECT_TRUE(m_controller->IsRecording());
    // The first window's end, still in sight, does not stop the second window's recording.
    for (int second = 0; second <= 3; ++second) {
        m_controller->CheckSchedule(At(10, 0, second));
        EXPECT_TRUE(m_controller->IsRecording()) << "stopped at 10:00:0" << second;
    }
    EXPECT_EQ(m_starts, 2);
    m_controller->CheckSchedule(At(11, 0, 0));
    EXPECT_FALSE(m_controller->IsRecording());
    EXPECT_EQ(m_stops, 2);

    // Nothing recording when the windows meet: the second window still records.
    m_controller->CheckSchedule(At(10, 0, 0, QDate(2026, 12, 8)));
    m_controller->CheckSchedule(At(10, 0, 1, QDate(2026, 12, 8)));
    EXPECT_TRUE(m_controller->IsRecording());
    m_controller->Stop();
}

TEST_F(RecordingControllerTest, AScheduledStartWhileRecordingChangesNothing)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    CRecordSettings::Instance().SetSchedule({{StoredTime(9, 0), StoredTime(9, 30)}});
    m_controller->SetRecordFileText("by-hand.mp3");
    m_controller->Record();
    m_controller->CheckSchedule(At(9, 0, 0));
    EXPECT_EQ(m_starts, 1);
    EXPECT_EQ(m_stops, 0);
    EXPECT_EQ(m_controller->RecordFileText(), "by-hand.mp3");
    m_controller->Stop();
}

TEST_F(RecordingControllerTest, AWindowAlreadyUnderWayWhenTheCheckStartsIsRecordedForTheRestOfIt)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    // 23:00 to 01:00 runs across midnight; 9:00 to 9:30 does not.
    CRecordSettings::Instance().SetSchedule(
        {{StoredTime(23, 0), StoredTime(1, 0)}, {StoredTime(9, 0), StoredTime(9, 30)}});
    m_now = At(9, 12, 40);
    m_controller->SetScheduleActive(true);
    m_controller->CheckSchedule(At(9, 12, 40));
    m_controller->SetScheduleActive(false);
    ASSERT_TRUE(m_controller->IsRecording());
    Feed(Tone(2, kChannels, kRate));
    m_controller->CheckSchedule(At(9, 29, 59));
    EXPECT_FALSE(m_controller->IsRecording()) << "the window's end stops it";
    EXPECT_EQ(m_filed, QStringList{Path("2026-12-07-09-12.mp3")});

    // Only the first check catches up: a recording the user stopped inside a window stays stopped.
    m_controller->SetScheduleActive(true);
    m_controller->CheckSchedule(At(0, 20, 0, QDate(2026, 12, 8)));
    EXPECT_TRUE(m_controller->IsRecording()) << "inside the window across midnight";
    m_controller->Stop();
    m_controller->CheckSchedule(At(0, 20, 1, QDate(2026, 12, 8)));
    m_controller->SetScheduleActive(false);
    EXPECT_FALSE(m_controller->IsRecording());

    // Outside every window, or in a window's last moments, nothing starts.
    for (const QDateTime& outside : {At(9, 30, 0), At(12, 0, 0), At(0, 59, 59)}) {
        m_controller->SetScheduleActive(true);
        m_controller->CheckSchedule(outside);
        m_controller->SetScheduleActive(false);
        EXPECT_FALSE(m_controller->IsRecording()) << outside.toString().toStdString();
    }
    EXPECT_EQ(m_starts, 2);
}
