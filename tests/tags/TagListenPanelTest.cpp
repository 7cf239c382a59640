// The tag and listen panel: tag editing checked with a peer tag reader, and listening on the
// in-memory sound card and through the private test sound server.
#include "tags/TagListenPanel.h"

#include "ClipReportLog.h"
#include "app/DialogSeams.h"
#include "app/ElapsedTimeLabel.h"
#include "app/RecordSettings.h"
#include "audio/ReencodeJob.h"
#include "controls/ControlId.h"
#include "controls/SkinButton.h"
#include "controls/SkinSlider.h"
#include "platform/FileLock.h"
#include "platform/audio/PlaybackVolume.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "support/SoundServerLock.h"
#include "support/TestSoundServer.h"
#include "support/TestSupport.h"
#include "tags/ClipPlayer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <semaphore>
#include <thread>

using ClipTest::WaitUntil;
using Panel = CTagListenPanel;

namespace
{
constexpr int kRate = 44100;
constexpr int kStereo = 2;

// 128 tag bytes built by hand, independent of the codec under test.
QByteArray TagBytes(const QByteArray& title, const QByteArray& comment, int track, int genre)
{
    QByteArray tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag.replace(33, 6, "Artist");
    tag.replace(63, 5, "Album");
    tag.replace(93, 4, "1999");
    tag.replace(97, comment.size(), comment);
    tag[126] = char(track);
    tag[127] = char(genre);
    return tag;
}

QString Id3v2List(const QString& path)
{
    const auto result = TestSupport::RunTool(QStringLiteral("id3v2"), {QStringLiteral("-l"), path});
    return QString::fromUtf8(result.out);
}

class TagListenPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("SORVANE_DATA_DIR", m_dir.filePath(QStringLiteral("Data")).toLocal8Bit());
        CRecordSettings::Instance().SetPlayLoop(false);
        m_panel = std::make_unique<Panel>();
        m_panel->SetSelectedFileProvider([this] { return m_selected; });
    }

    template <typename Widget>
    Widget* Control(int id) const
    {
        auto* widget = ControlId::Find<Widget>(m_panel.get(), id);
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }
    QString TimeText() const { return Control<CElapsedTimeLabel>(Panel::kTimeTextId)->Text(); }

    // An MP3-named file: 2000 bytes of "audio" and, when given, a tag.
    QString MakeTaggedFile(const char* name, const QByteArray& tag)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(TestSupport::WriteAll(path, QByteArray(2000, '\x55') + tag));
        return path;
    }
    QString MakeWav(const char* name, double seconds)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(
            TestSupport::WriteSimpleWav(path, TestSupport::SinePcm(kStereo, kRate, seconds, 440.0), kStereo, kRate));
        return path;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<CMemoryAudioBackend> m_card = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend m_installed{m_card};
    QString m_selected;
    std::unique_ptr<Panel> m_panel;
};

// Saving writes the fields into the ID3v1 tag by its rules and the same into a new ID3v2 tag;
// the track the file had stays (it used to become 1).
TEST_F(TagListenPanelTest, SaveKeepsTheTrackDropsLeadingSpacesAndWritesBothTags)
{
    const QString path = MakeTaggedFile("song.mp3", TagBytes("   Leading", "keep me", 5, 200));
    m_panel->SetTagFile(path);
    EXPECT_EQ(Control<QLineEdit>(Panel::kTitleEditId)->text(), QStringLiteral("Leading"));
    EXPECT_EQ(Control<QLineEdit>(Panel::kArtistEditId)->text(), QStringLiteral("Artist"));
    EXPECT_EQ(Control<QLineEdit>(Panel::kYearEditId)->text(), QStringLiteral("1999"));
    EXPECT_EQ(Control<QLineEdit>(Panel::kTrackEditId)->text(), QStringLiteral("5"));
    EXPECT_EQ(Control<QLineEdit>(Panel::kCommentEditId)->text(), QStringLiteral("keep me"));
    auto* genres = Control<QComboBox>(Panel::kGenreListId);
    EXPECT_EQ(genres->count(), 149);
    EXPECT_EQ(genres->currentIndex(), 0);
    EXPECT_TRUE(genres->currentText().isEmpty());

    Control<QLineEdit>(Panel::kAlbumEditId)->setText(QStringLiteral("New Album"));
    Control<CSkinButton>(Panel::kSaveButtonId)->click();
    const QString listed = Id3v2List(path);
    EXPECT_TRUE(listed.contains(QStringLiteral("Title  : Leading "))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("Album  : New Album "))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("Year: 1999, Genre: Unknown (255)"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("Comment: keep me"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("Track: 5"))) << listed.toStdString();
    for (const char* frame :
         {"TIT2 (Title/songname/content description): Leading", "TALB (Album/Movie/Show title): New Album",
          "TRCK (Track number/Position in set): 5", "TYER (Year): 1999", "COMM (Comments): ()[eng]: keep me"}) {
        EXPECT_TRUE(listed.contains(QLatin1String(frame))) << frame << "\n" << listed.toStdString();
    }
    EXPECT_FALSE(listed.contains(QStringLiteral("TCON"))) << listed.toStdString();
    EXPECT_TRUE(TestSupport::ReadAll(path).startsWith(QByteArray("ID3\x03", 4)));

    genres->setCurrentIndex(9); // "Jazz", genre 8
    Control<QLineEdit>(Panel::kTrackEditId)->setText(QStringLiteral("12"));
    Control<CSkinButton>(Panel::kSaveButtonId)->click();
    const QString again = Id3v2List(path);
    EXPECT_TRUE(again.contains(QStringLiteral("Genre: Jazz (8)"))) << again.toStdString();
    EXPECT_TRUE(again.contains(QStringLiteral("TCON (Content type): Jazz (8)"))) << again.toStdString();
    EXPECT_TRUE(again.contains(QStringLiteral("Track: 12"))) << again.toStdString();
    EXPECT_EQ(genres->currentText(), QStringLiteral("Jazz"));
}

// Both tags go: the ID3v2 tag in front, whose title is the one shown, and the ID3v1 tag.
TEST_F(TagListenPanelTest, RemoveAsksFirstAndCancelChangesNothing)
{
    const QString path = MakeTaggedFile("song.mp3", TagBytes("Title", "", 0, 17));
    const QByteArray before =
        TestSupport::Id3v2Tag(4, {{"TIT2", TestSupport::Id3v2Text("Shown")}}) + TestSupport::ReadAll(path);
    ASSERT_TRUE(TestSupport::WriteAll(path, before));
    m_panel->SetTagFile(path);
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    QStringList asked;
    DialogSeams::CScopedHandlers answers([&](QWidget*, const DialogSeams::MessageRequest& request) {
        asked << request.text;
        return answer;
    });

    Control<CSkinButton>(Panel::kRemoveButtonId)->click();
    EXPECT_EQ(asked, QStringList{Panel::RemoveQuestionText()});
    EXPECT_EQ(TestSupport::ReadAll(path), before);
    EXPECT_EQ(Control<QLineEdit>(Panel::kTitleEditId)->text(), QStringLiteral("Shown"));

    answer = QMessageBox::Ok;
    Control<CSkinButton>(Panel::kRemoveButtonId)->click();
    EXPECT_EQ(TestSupport::ReadAll(path), QByteArray(2000, '\x55'));
    EXPECT_TRUE(Id3v2List(path).contains(QStringLiteral("No ID3 tag")));
    EXPECT_TRUE(Control<QLineEdit>(Panel::kTitleEditId)->text().isEmpty());
    EXPECT_EQ(Control<QComboBox>(Panel::kGenreListId)->currentIndex(), 0);
}

TEST_F(TagListenPanelTest, SaveToAVanishedFileReportsTheErrorAndCreatesNothing)
{
    const QString path = MakeTaggedFile("gone.mp3", TagBytes("Title", "", 0, 1));
    m_panel->SetTagFile(path);
    ASSERT_TRUE(QFile::remove(path));
    QStringList shown;
    DialogSeams::CScopedHandlers answers([&](QWidget*, const DialogSeams::MessageRequest& request) {
        shown << request.text;
        return QMessageBox::Ok;
    });
    Control<CSkinButton>(Panel::kSaveButtonId)->click();
    EXPECT_EQ(shown, QStringList{QString::fromLatin1(Panel::kWriteErrorText)});
    EXPECT_FALSE(QFile::exists(path));
    // A file that cannot be opened empties the fields.
    EXPECT_TRUE(Control<QLineEdit>(Panel::kTitleEditId)->text().isEmpty());
    EXPECT_EQ(Control<QComboBox>(Panel::kGenreListId)->currentIndex(), -1);
}

namespace
{
// A re-encode that stops at its first frame, with the file locked, until the test lets it go.
class CPausingReencodeJob : public CReencodeJob
{
public:
    bool IsCancelRequested() const override
    {
        if (!m_paused.exchange(true)) {
            started.release();
            resume.acquire();
        }
        return CReencodeJob::IsCancelRequested();
    }

    mutable std::binary_semaphore started{0};
    mutable std::binary_semaphore resume{0};

private:
    mutable std::atomic<bool> m_paused{false};
};
} // namespace

// A tag saved while the file is being re-encoded would go into the file the re-encode is about
// to replace: the save says the file is busy and changes nothing; once the re-encode is done
// the tag saves into the new file.
TEST_F(TagListenPanelTest, SaveWaitsForAReencodeOfTheFileAndSaysItIsBusy)
{
    const QString wav = MakeWav("tone.wav", 1.0);
    const QString path = m_dir.filePath(QStringLiteral("song.mp3"));
    ASSERT_EQ(TestSupport::RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, path}).exitCode, 0);
    ASSERT_TRUE(TestSupport::WriteAll(path, TestSupport::ReadAll(path) + TagBytes("Old", "", 0, 1)));
    const QByteArray before = TestSupport::ReadAll(path);
    m_panel->SetTagFile(path);
    Control<QLineEdit>(Panel::kTitleEditId)->setText(QStringLiteral("New"));
    QStringList shown;
    DialogSeams::CScopedHandlers answers([&](QWidget*, const DialogSeams::MessageRequest& request) {
        shown << request.text;
        return QMessageBox::Ok;
    });

    CPausingReencodeJob job;
    job.SetBitrate(64);
    bool reencoded = false;
    std::thread worker([&] { reencoded = job.ProcessFile(path); });
    job.started.acquire();
    Control<CSkinButton>(Panel::kSaveButtonId)->click();
    job.resume.release();
    worker.join();
    EXPECT_EQ(shown, QStringList{CFileLock::BusyText(path)});
    ASSERT_TRUE(reencoded) << job.Failures().join(QLatin1Char('\n')).toStdString();
    const QByteArray after = TestSupport::ReadAll(path);
    EXPECT_NE(after, before);
    EXPECT_EQ(after.right(128), before.right(128)); // the old tag, carried over by the re-encode

    Control<QLineEdit>(Panel::kTitleEditId)->setText(QStringLiteral("New"));
    Control<CSkinButton>(Panel::kSaveButtonId)->click();
    EXPECT_EQ(shown.size(), 1);
    const QString listed = Id3v2List(path);
    EXPECT_TRUE(listed.contains(QStringLiteral("Title  : New "))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("TIT2 (Title/songname/content description): New")))
        << listed.toStdString();
}

TEST_F(TagListenPanelTest, TheSameOrAnEmptyTagFileKeepsWhatIsBeingTyped)
{
    const QString path = MakeTaggedFile("song.mp3", TagBytes("Title", "", 0, 1));
    m_panel->SetTagFile(path);
    Control<QLineEdit>(Panel::kTitleEditId)->setText(QStringLiteral("typing"));
    m_panel->SetTagFile(path);
    m_panel->SetTagFile(QString());
    EXPECT_EQ(Control<QLineEdit>(Panel::kTitleEditId)->text(), QStringLiteral("typing"));
}

TEST_F(TagListenPanelTest, PlayWithNothingSelectedCreatesNoPlayer)
{
    m_panel->ListenSelected();
    EXPECT_EQ(m_panel->Player(), nullptr);
    EXPECT_FALSE(Control<CSkinButton>(Panel::kPlayButtonId)->IsHeldDown());
    Control<CSkinButton>(Panel::kStopButtonId)->click();
    Control<CSkinButton>(Panel::kPauseButtonId)->click();
    EXPECT_EQ(m_panel->Player(), nullptr);
}

TEST_F(TagListenPanelTest, ListeningRunsToTheEndAndResetsTheButtons)
{
    m_selected = MakeWav("tone.wav", 1.5);
    m_panel->ListenSelected();
    ASSERT_NE(m_panel->Player(), nullptr);
    EXPECT_EQ(m_panel->ListenFile(), m_selected);
    auto* play = Control<CSkinButton>(Panel::kPlayButtonId);
    auto* pause = Control<CSkinButton>(Panel::kPauseButtonId);
    EXPECT_TRUE(play->IsHeldDown());
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(pause->isEnabled());
    EXPECT_EQ(Control<CSkinSlider>(Panel::kPositionSliderId)->maximum(), 1500);

    ASSERT_TRUE(WaitUntil([&] { return !pause->isEnabled(); }));
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(play->IsHeldDown());
    EXPECT_EQ(TimeText(), QStringLiteral("00:01 / 00:01"));
    EXPECT_EQ(Control<CSkinSlider>(Panel::kPositionSliderId)->value(), 1500);
}

TEST_F(TagListenPanelTest, AFileThatCannotBePlayedLeavesPlayReadyAndTheTimeClear)
{
    m_card->SetPlaybackAutoPlay(false);
    const QString good = MakeWav("tone.wav", 2.0);
    m_selected = good;
    m_panel->ListenSelected();
    ASSERT_NE(m_panel->Player(), nullptr);
    EXPECT_EQ(TimeText(), QStringLiteral("00:00 / 00:02"));
    CAppEvent::Send(m_panel.get(), AppEventType::kClipPosition, m_panel->Player()->WindowId(), 1500);
    EXPECT_EQ(TimeText(), QStringLiteral("00:01 / 00:02"));

    auto* play = Control<CSkinButton>(Panel::kPlayButtonId);
    auto* pause = Control<CSkinButton>(Panel::kPauseButtonId);
    m_selected = MakeTaggedFile("broken.mp3", QByteArray());
    m_panel->ListenSelected();
    EXPECT_FALSE(m_panel->Player()->IsOpen());
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(play->IsHeldDown());
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_EQ(TimeText(), QStringLiteral("00:00 / 00:00"));

    // The panel's own Play takes the next, good file.
    m_selected = good;
    QTest::mouseClick(play, Qt::LeftButton, {}, play->rect().center());
    ASSERT_TRUE(m_panel->Player()->IsOpen());
    EXPECT_EQ(m_panel->Player()->Mode(), CClipPlayer::kModePlaying);
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(pause->isEnabled());
    EXPECT_EQ(TimeText(), QStringLiteral("00:00 / 00:02"));
}

TEST_F(TagListenPanelTest, DraggingShowsTheTimeAndSeeksOnlyOnRelease)
{
    m_card->SetPlaybackAutoPlay(false);
    m_selected = MakeWav("tone.wav", 2.0);
    m_panel->ListenSelected();
    const CClipPlayer* player = m_panel->Player();
    ASSERT_NE(player, nullptr);
    auto* slider = Control<CSkinSlider>(Panel::kPositionSliderId);

    slider->setSliderDown(true);
    slider->setSliderPosition(1000);
    EXPECT_EQ(TimeText(), QStringLiteral("00:01 / 00:02"));
    QCoreApplication::processEvents();
    EXPECT_EQ(player->GetPosition(), 0);

    slider->setSliderDown(false);
    ASSERT_TRUE(WaitUntil([&] { return player->GetPosition() == 1000; }));
    EXPECT_EQ(player->Mode(), CClipPlayer::kModePlaying);
    EXPECT_EQ(TimeText(), QStringLiteral("00:01 / 00:02"));

    // A report past the end shows the length as the position; a closed player's are ignored.
    CAppEvent::Send(m_panel.get(), AppEventType::kClipPosition, player->WindowId(), 7000);
    EXPECT_EQ(TimeText(), QStringLiteral("00:02 / 00:02"));
    const std::intptr_t oldWindow = player->WindowId();
    Control<CSkinButton>(Panel::kStopButtonId)->click();
    EXPECT_FALSE(player->IsOpen());
    CAppEvent::Send(m_panel.get(), AppEventType::kClipPosition, oldWindow, 0);
    EXPECT_EQ(TimeText(), QStringLiteral("00:02 / 00:02"));
    EXPECT_TRUE(Control<CSkinButton>(Panel::kPlayButtonId)->isEnabled());
    EXPECT_FALSE(Control<CSkinButton>(Panel::kPauseButtonId)->isEnabled());
}

TEST_F(TagListenPanelTest, VolumeSliderSetsSorvanesOwnVolumeAndRemembersIt)
{
    // The system's output stays where the user put it, whatever the slider does.
    CMemoryAudioBackend::Source speakers = m_card->Output();
    speakers.channelLevels = {40000, 40000};
    m_card->SetOutput(speakers);
    // No sound server while the panel is made: the slider works all the same.
    m_card->SetServerReachable(false);
    PlaybackVolume::SetLevel(RecordMixer::kLevelMaximum);
    {
        Panel panel;
        auto* volume = ControlId::Find<CSkinSlider>(&panel, Panel::kVolumeSliderId);
        ASSERT_NE(volume, nullptr);
        EXPECT_EQ(volume->orientation(), Qt::Vertical);
        EXPECT_TRUE(volume->isEnabled());
        EXPECT_EQ(volume->value(), 0); // the top: loudest
        m_card->SetServerReachable(true);
        volume->setValue(65535 - 1000);
        EXPECT_EQ(PlaybackVolume::Level(), 1000);
        EXPECT_EQ(m_card->Output().channelLevels, (std::vector<int>{40000, 40000}));
    }

    // The next run starts with the volume the user left.
    PlaybackVolume::SetLevel(RecordMixer::kLevelMaximum);
    Panel again;
    EXPECT_EQ(PlaybackVolume::Level(), 1000);
    EXPECT_EQ(ControlId::Find<CSkinSlider>(&again, Panel::kVolumeSliderId)->value(), 65535 - 1000);
    PlaybackVolume::SetLevel(RecordMixer::kLevelMaximum);
}

// With Play Loop on, playback that reaches the end starts again, through the real sound
// system; Stop ends the loop.
TEST(TagListenPanelSoundServerTest, PlayLoopReplaysUntilStopped)
{
    const QString missing = TestSoundServer::SharedServerMissing();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << missing.toStdString();
    }
    CSoundServerLock lock;
    ASSERT_TRUE(lock.IsLocked());
    QTemporaryDir dir;
    qputenv("SORVANE_DATA_DIR", dir.filePath(QStringLiteral("Data")).toLocal8Bit());
    CScopedAudioBackend installed(std::make_shared<CPulseAudioBackend>(TestSoundServer::SharedServerAddress()));
    const QString path = dir.filePath(QStringLiteral("short.wav"));
    ASSERT_TRUE(TestSupport::WriteSimpleWav(path, TestSupport::SinePcm(kStereo, kRate, 0.3, 440.0), kStereo, kRate));

    CRecordSettings::Instance().SetPlayLoop(true);
    Panel panel;
    panel.SetSelectedFileProvider([&] { return path; });
    // Counts what the player reports to the panel, before the panel handles it.
    struct ModeCounter : QObject
    {
        int stops = 0;
        int playsAfterStop = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == AppEventType::kClipMode) {
                const auto mode = static_cast<CAppEvent*>(event)->LParam();
                stops += mode == CClipPlayer::kModeStopped;
                playsAfterStop += stops > 0 && mode == CClipPlayer::kModePlaying;
            }
            return false;
        }
    } counter;
    panel.installEventFilter(&counter);

    panel.ListenSelected();
    ASSERT_TRUE(WaitUntil([&] { return counter.stops >= 2 && counter.playsAfterStop >= 2; }));
    EXPECT_EQ(panel.Player()->Mode(), CClipPlayer::kModePlaying);

    ControlId::Find<CSkinButton>(&panel, Panel::kStopButtonId)->click();
    EXPECT_FALSE(panel.Player()->IsOpen());
    const int stops = counter.stops;
    WaitUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_FALSE(panel.Player()->IsOpen());
    EXPECT_EQ(counter.stops, stops);
    CRecordSettings::Instance().SetPlayLoop(false);
}
} // namespace
