// The main window on the in-memory sound card: command routing, the caption buttons, F6,
// recording through the buttons, the desktop hand-overs, and a rendered picture of it.
#include "MainWindowTestSupport.h"
#include "app/AboutDialog.h"
#include "app/CaptionButtons.h"
#include "app/CommandIds.h"
#include "app/ElapsedTimeLabel.h"
#include "app/RecordingsList.h"
#include "controls/ControlId.h"
#include "controls/FolderBrowserSeam.h"
#include "controls/SkinButton.h"
#include "platform/AppEvent.h"
#include "record/RecordingController.h"
#include "support/TestSupport.h"
#include "tags/TagListenPanel.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>
#include <cmath>
#include <vector>

namespace
{
constexpr int kRate = 44100;
constexpr int kChannels = 2;

QByteArray Tone(double seconds)
{
    const auto pcm = TestSupport::SinePcm(kChannels, kRate, seconds, 440.0, 0.5);
    return QByteArray(reinterpret_cast<const char*>(pcm.data()), qsizetype(pcm.size() * sizeof(pcm[0])));
}

CSkinButton* Button(const CMainWindow& window, int id)
{
    return ControlId::Find<CSkinButton>(&window, id);
}

void Click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

int GreenPixels(const QImage& image, const QRect& area)
{
    int green = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            green += colour.green() > 200 && colour.red() < 60 ? 1 : 0;
        }
    }
    return green;
}

// Catches what the window hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher()
    {
        for (const char* scheme : {"file", "https", "mailto"}) {
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "Open");
        }
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"file", "https", "mailto"}) {
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
        }
    }
    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};
} // namespace

TEST_F(MainWindowTest, RoutesEveryCommandById)
{
    CMainWindow& window = OpenWindow();
    QSignalSpy quit(&window, &CMainWindow::quitRequested);

    // Play Loop flips the setting, as a posted or a sent command alike.
    CAppEvent::Send(&window, AppEventType::kCommand, CommandId::kPlayLoop);
    EXPECT_FALSE(CRecordSettings::Instance().PlayLoop());
    CAppEvent::Post(&window, AppEventType::kCommand, CommandId::kPlayLoop);
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_TRUE(CRecordSettings::Instance().PlayLoop());

    // An unknown id does nothing.
    EXPECT_FALSE(window.OnCommand(12345));
    EXPECT_TRUE(m_shown.isEmpty());

    EXPECT_TRUE(window.OnCommand(CommandId::kAbout));
    auto* about = window.findChild<CAboutDialog*>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Sorvane"));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("versionText"))->text(), QStringLiteral("Sorvane Version 2.1"));
    about->accept();

    EXPECT_EQ(quit.count(), 0);
    window.OnCommand(CommandId::kExit);
    EXPECT_EQ(quit.count(), 1);
}

TEST_F(MainWindowTest, CaptionButtonsActOnlyWhenReleasedOverThePressedButton)
{
    CMainWindow& window = OpenWindow();
    QSignalSpy quit(&window, &CMainWindow::quitRequested);
    auto* caption = window.findChild<CCaptionButtons*>();
    ASSERT_NE(caption, nullptr);
    const QPoint close = caption->CloseRect().center() - caption->pos();
    const QPoint minimize = caption->MinimizeRect().center() - caption->pos();

    // Pressed on close, released on minimize: nothing.
    QTest::mousePress(caption, Qt::LeftButton, {}, close);
    EXPECT_EQ(caption->Pressed(), CCaptionButtons::kClose);
    QTest::mouseRelease(caption, Qt::LeftButton, {}, minimize);
    EXPECT_EQ(caption->Pressed(), CCaptionButtons::kNone);
    EXPECT_EQ(quit.count(), 0);
    EXPECT_FALSE(window.isMinimized());

    // The right button cancels a press.
    QTest::mousePress(caption, Qt::LeftButton, {}, close);
    QTest::mousePress(caption, Qt::RightButton, {}, close);
    QTest::mouseRelease(caption, Qt::LeftButton, {}, close);
    EXPECT_EQ(quit.count(), 0);

    QTest::mouseClick(caption, Qt::LeftButton, {}, close);
    EXPECT_EQ(quit.count(), 1);
    QTest::mouseClick(caption, Qt::LeftButton, {}, minimize);
    EXPECT_TRUE(window.isMinimized());

    // The band's ends drag the window; the caption buttons and the list area do not.
    EXPECT_TRUE(window.IsDragPoint(QPoint(20, 10)));
    EXPECT_TRUE(window.IsDragPoint(QPoint(window.width() - 100, 20)));
    EXPECT_FALSE(window.IsDragPoint(window.mapFromGlobal(caption->mapToGlobal(close))));
    EXPECT_FALSE(window.IsDragPoint(QPoint(20, 60)));
}

TEST_F(MainWindowTest, RecordsPausesAndStopsThroughTheButtons)
{
    CMainWindow& window = OpenWindow();
    CSkinButton* record = Button(window, CommandId::kRecordButton);
    CSkinButton* pause = Button(window, CommandId::kPauseButton);
    CSkinButton* stop = Button(window, CommandId::kStopButton);
    auto* box = ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId);
    ASSERT_TRUE(record && pause && stop && box);
    EXPECT_FALSE(pause->isEnabled());
    QTest::keyClicks(box, QStringLiteral("interview.wav"));

    Click(record);
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_FALSE(record->isEnabled());
    EXPECT_TRUE(record->IsHeldDown());
    EXPECT_TRUE(pause->isEnabled());
    Feed(Tone(1.5));
    EXPECT_NE(window.findChild<CElapsedTimeLabel*>()->Text(), QStringLiteral("00 : 00"));

    Click(pause);
    EXPECT_TRUE(window.Controller().IsPaused());
    EXPECT_EQ(pause->text(), QStringLiteral("Resume"));
    EXPECT_TRUE(pause->IsHeldDown());
    // What arrives while paused is neither in the file nor in the time shown.
    Feed(Tone(3));
    Click(pause);
    EXPECT_FALSE(window.Controller().IsPaused());
    EXPECT_FALSE(pause->IsHeldDown());
    Feed(Tone(0.6));
    EXPECT_EQ(window.findChild<CElapsedTimeLabel*>()->Text(), QStringLiteral("00 : 02"));

    Click(stop);
    EXPECT_FALSE(window.Controller().IsRecording());
    // The box's name with the MP3 extension; a file the peers play, without the paused part.
    const QString filed = SavePath(QStringLiteral("interview.mp3"));
    ASSERT_TRUE(QFileInfo(filed).size() > 0);
    EXPECT_NEAR(TestSupport::FfprobeField(filed, QStringLiteral("duration")).toDouble(), 2.1, 0.15);
    EXPECT_TRUE(record->isEnabled());
    EXPECT_FALSE(record->IsHeldDown());
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_EQ(pause->text(), QStringLiteral("Pause"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Sorvane"));
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainWindowTest, ShortcutsDeleteOnlyOutsideTextFields)
{
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kRecord);
    Feed(Tone(1.5));
    window.OnCommand(CommandId::kStop);
    CRecordingsList& list = window.List();
    ASSERT_EQ(list.RowCount(), 1) << m_shown.join(QLatin1Char('\n')).toStdString();
    const QString recording = list.PathOfRow(0);
    ASSERT_TRUE(QFileInfo::exists(recording));

    // In the "Record File" box Ctrl+Delete and Delete edit the text; no file, no row goes.
    auto* box = ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId);
    list.SelectAllRows();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_TRUE(QFileInfo::exists(recording));
    EXPECT_EQ(list.RowCount(), 1);

    // On the list, Delete removes the row and keeps the file; Ctrl+Delete deletes the file.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_TRUE(QFileInfo::exists(recording));
    ASSERT_TRUE(list.AddFile(recording));
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(recording));
}

TEST_F(MainWindowTest, ClosingWhileRecordingFilesTheRecordingAndSavesTheList)
{
    CMainWindow& window = OpenWindow();
    QTest::keyClicks(ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId), QStringLiteral("late"));
    window.OnCommand(CommandId::kRecord);
    Feed(Tone(1.5));
    m_keys.reset();
    m_window.reset();
    const QString filed = SavePath(QStringLiteral("late.mp3"));
    EXPECT_TRUE(QFileInfo(filed).size() > 0);
    EXPECT_EQ(CRecordSettings::Instance().Recordings(), QStringList{filed});

    // The next start lists it again.
    CMainWindow& again = OpenWindow();
    ASSERT_EQ(again.List().RowCount(), 1);
    EXPECT_EQ(again.List().PathOfRow(0), filed);
}

TEST_F(MainWindowTest, F6PausesAndResumesFromAnywhereInTheWindow)
{
    CMainWindow& window = OpenWindow();
    CSkinButton* pause = Button(window, CommandId::kPauseButton);
    // Idle: nothing to pause, and the look stays.
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_FALSE(pause->IsHeldDown());

    // F5 (from the hook library) is the menu's Record, which sets the Record look first.
    QTest::keyClick(&window, Qt::Key_F5);
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_TRUE(Button(window, CommandId::kRecordButton)->IsHeldDown());
    Feed(Tone(0.2));
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_TRUE(window.Controller().IsPaused());
    EXPECT_TRUE(pause->IsHeldDown());
    auto* box = ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_F6);
    EXPECT_FALSE(window.Controller().IsPaused());
    EXPECT_EQ(pause->text(), QStringLiteral("Pause"));
    window.setFocus();
    QTest::keyClick(&window, Qt::Key_F7);
    EXPECT_FALSE(window.Controller().IsRecording());
}

TEST_F(MainWindowTest, TheScheduleStartsRecordingWithTheRecordButtonHeldDown)
{
    CMainWindow& window = OpenWindow();
    EXPECT_TRUE(window.Controller().IsScheduleActive());
    const QDateTime now = QDateTime::currentDateTime();
    const auto start = std::uint32_t(now.toSecsSinceEpoch());
    CRecordSettings::Instance().SetSchedule({ScheduleEntry{start, start + 600}});
    window.Controller().CheckSchedule(now);
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_TRUE(Button(window, CommandId::kRecordButton)->IsHeldDown());
    EXPECT_FALSE(Button(window, CommandId::kRecordButton)->isEnabled());
    window.Controller().CheckSchedule(now.addSecs(600));
    EXPECT_FALSE(window.Controller().IsRecording());
    EXPECT_FALSE(Button(window, CommandId::kRecordButton)->IsHeldDown());
}

TEST_F(MainWindowTest, EveryRecordGetsItsOwnFileAndTheListShowsTheNameUsed)
{
    CMainWindow& window = OpenWindow();
    auto* box = ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId);
    ASSERT_NE(box, nullptr);
    // Three recordings in a row, each named by Sorvane: the box is empty again after each.
    for (int take = 0; take < 3; ++take) {
        window.OnCommand(CommandId::kRecordButton);
        EXPECT_FALSE(box->text().isEmpty());
        Feed(Tone(1.5));
        window.OnCommand(CommandId::kStopButton);
        EXPECT_TRUE(box->text().isEmpty()) << box->text().toStdString();
    }
    CRecordingsList& list = window.List();
    ASSERT_EQ(list.RowCount(), 3) << m_shown.join(QLatin1Char('\n')).toStdString();
    QStringList rows;
    for (int row = 0; row < 3; ++row) {
        rows << list.PathOfRow(row);
        EXPECT_TRUE(QFileInfo(rows.last()).size() > 0) << rows.last().toStdString();
    }
    EXPECT_EQ(rows.removeDuplicates(), 0);
    EXPECT_EQ(QDir(m_save.path()).entryList(QDir::Files).size(), 3);

    // A name the user typed that is already taken: the row names the continuation file used.
    QFile own(SavePath(QStringLiteral("own.mp3")));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("the user's own file");
    own.close();
    QTest::keyClicks(box, QStringLiteral("own.mp3"));
    window.OnCommand(CommandId::kRecordButton);
    Feed(Tone(1.5));
    window.OnCommand(CommandId::kStopButton);
    ASSERT_EQ(list.RowCount(), 4);
    EXPECT_EQ(list.PathOfRow(3).toStdString(), SavePath(QStringLiteral("own001.mp3")).toStdString());
    EXPECT_EQ(TestSupport::ReadAll(SavePath(QStringLiteral("own.mp3"))), QByteArray("the user's own file"));
    EXPECT_EQ(box->text(), QStringLiteral("own.mp3")) << "the user's own text stays";
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainWindowTest, ARecordFileNameWithAFolderPartIsRefusedBeforeRecording)
{
    CMainWindow& window = OpenWindow();
    auto* box = ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId);
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, QStringLiteral("../outside"));
    window.OnCommand(CommandId::kRecord);
    EXPECT_FALSE(window.Controller().IsRecording());
    EXPECT_FALSE(Button(window, CommandId::kRecordButton)->IsHeldDown());
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown[0].contains(QStringLiteral("has a folder part"))) << m_shown[0].toStdString();
    EXPECT_TRUE(QDir(m_save.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(MainWindowTest, ARecordingUnderASecondGoesToTheTrashAndTheUserIsTold)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(true);
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kRecordButton);
    Feed(Tone(0.5));
    window.OnCommand(CommandId::kStopButton);
    EXPECT_EQ(window.List().RowCount(), 0);
    EXPECT_TRUE(QDir(m_save.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(TrashedFiles().size(), 1);
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown[0].contains(QStringLiteral("moved to the trash"))) << m_shown[0].toStdString();
}

TEST_F(MainWindowTest, AScheduledWindowUnderWayAtStartIsRecordedUntilItsEnd)
{
    const auto now = std::uint32_t(QDateTime::currentSecsSinceEpoch());
    constexpr std::uint32_t kSecondsPerDay = 24 * 3600;
    if (QDateTime::currentDateTime().time() > QTime(23, 49)) {
        GTEST_SKIP() << "the window would run across midnight";
    }
    // Began a minute ago (stored yesterday), ends in ten minutes.
    CRecordSettings::Instance().SetSchedule({ScheduleEntry{now - 60 - kSecondsPerDay, now + 600 - kSecondsPerDay}});
    CMainWindow& window = OpenWindow();
    // The first tick of the one-second check starts it.
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window.Controller().IsRecording(); }))
        << m_shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(Button(window, CommandId::kRecordButton)->IsHeldDown());
    Feed(Tone(1.5));
    window.Controller().CheckSchedule(QDateTime::fromSecsSinceEpoch(now + 600));
    EXPECT_FALSE(window.Controller().IsRecording());
    EXPECT_EQ(window.List().RowCount(), 1);
}

TEST_F(MainWindowTest, TagPanelToggleGrowsTheWindowAndPlayOnlyShowsIt)
{
    CMainWindow& window = OpenWindow();
    const auto* frame = ControlId::Find<QFrame>(&window, MainControlId::kTagPanelFrame);
    ASSERT_NE(frame, nullptr);
    const int folded = window.height();
    const int unfolded = folded + frame->height() + 20;
    EXPECT_FALSE(window.IsTagPanelShown());

    Click(Button(window, CommandId::kTagEditToggleButton));
    EXPECT_TRUE(window.IsTagPanelShown());
    EXPECT_EQ(window.height(), unfolded);
    EXPECT_EQ(window.TagPanel().geometry(), frame->geometry());
    Click(Button(window, CommandId::kTagEditToggleButton));
    EXPECT_FALSE(window.IsTagPanelShown());
    EXPECT_EQ(window.height(), folded);

    // Play shows the panel and never folds it away.
    Click(Button(window, CommandId::kPlayButton));
    EXPECT_TRUE(window.IsTagPanelShown());
    Click(Button(window, CommandId::kPlayButton));
    EXPECT_TRUE(window.IsTagPanelShown());
    EXPECT_EQ(window.height(), unfolded);
}

TEST_F(MainWindowTest, AStartWithoutASoundDeviceIsReportedAndNotShownAsRunning)
{
    m_backend->SetServerReachable(false);
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kRecord);
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_FALSE(window.Controller().IsRecording());
    EXPECT_TRUE(Button(window, CommandId::kRecordButton)->isEnabled());
    EXPECT_FALSE(Button(window, CommandId::kRecordButton)->IsHeldDown());
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown.front().startsWith(QLatin1String("The recording could not start")));
}

TEST_F(MainWindowTest, SoundLostOnTheWayIsToldWhenTheRecordingStops)
{
    CMainWindow& window = OpenWindow();
    Click(Button(window, CommandId::kRecordButton));
    ASSERT_TRUE(window.Controller().IsRecording());
    constexpr std::size_t kHalfSecondStereo = 88200;
    m_backend->QueueCapture(Tone(1.0));
    m_backend->QueueCaptureLoss(kHalfSecondStereo);
    Feed(Tone(1.0));
    EXPECT_TRUE(m_shown.isEmpty());
    Click(Button(window, CommandId::kStopButton));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("0.5 s of sound were lost at 00:01")});
}

TEST_F(MainWindowTest, HandsHelpWebPageMailAndSoundToolsToTheDesktop)
{
    CMainWindow& window = OpenWindow();
    UrlCatcher urls;
    window.OnCommand(CommandId::kHelp);
    window.OnCommand(CommandId::kHomepage);
    window.OnCommand(CommandId::kSupport);
    ASSERT_EQ(urls.opened.size(), 3u) << m_shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(urls.opened[0].toLocalFile().endsWith(QLatin1String("/help/index.html")));
    EXPECT_TRUE(QFileInfo::exists(urls.opened[0].toLocalFile()));
    EXPECT_EQ(urls.opened[1].scheme(), QStringLiteral("https"));
    EXPECT_EQ(urls.opened[2].scheme(), QStringLiteral("mailto"));

    // No sound tool on the path: the user is told.
    QTemporaryDir tools;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", tools.path().toLocal8Bit());
    window.OnCommand(CommandId::kVolumeControl);
    window.OnCommand(CommandId::kSystemSetting);
    ASSERT_EQ(m_shown.size(), 2);
    EXPECT_TRUE(m_shown[0].contains(QLatin1String("pavucontrol")));

    // A volume control on the path is started.
    const QString marker = tools.filePath(QStringLiteral("started"));
    const QString script = tools.filePath(QStringLiteral("pavucontrol"));
    ASSERT_TRUE(TestSupport::WriteAll(script, "#!/bin/sh\n: > '" + marker.toLocal8Bit() + "'\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    window.OnCommand(CommandId::kVolumeControl);
    qputenv("PATH", oldPath);
    EXPECT_EQ(m_shown.size(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(marker); }, 5000));
}

TEST_F(MainWindowTest, RendersTheWindowWithTheLiveWaveform)
{
    CMainWindow& window = OpenWindow();
    QImage idle = window.grab().toImage();
    const QRect wave = window.WaveformRect();
    EXPECT_EQ(GreenPixels(idle, wave), 0);
    EXPECT_EQ(idle.pixelColor(wave.center()), QColor(Qt::black));

    window.OnCommand(CommandId::kRecord);
    Feed(Tone(1.0));
    const QImage recording = window.grab().toImage();
    EXPECT_GT(GreenPixels(recording, wave), wave.width());
    // For a reviewer's eyes: the window as it looks while recording.
    const QString picture = TestSupport::BinaryDirectory() + QStringLiteral("/main_window.png");
    EXPECT_TRUE(recording.save(picture));

    window.OnCommand(CommandId::kStop);
    EXPECT_EQ(GreenPixels(window.grab().toImage(), wave), 0);
    // And with the tag and listen panel unfolded.
    window.OnCommand(CommandId::kTagEditToggleButton);
    EXPECT_TRUE(window.grab().save(TestSupport::BinaryDirectory() + QStringLiteral("/main_window_tags.png")));
}

TEST(SorvaneProgramTest, WithoutADisplaySaysSoAndPointsToTheCommandLine)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    program.setProcessEnvironment(environment);
    program.start(TestSupport::BinaryDirectory() + QStringLiteral("/sorvane"), {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    const QByteArray said = program.readAllStandardError();
    EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("sorvane-cli")) << said.toStdString();
}

#include "MainWindowTest.moc"

TEST_F(MainWindowTest, Mp3ToWavDecodesTheSelectedRecordingsIntoTheChosenFolder)
{
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kRecord);
    Feed(Tone(1.5));
    window.OnCommand(CommandId::kStop);
    CRecordingsList& list = window.List();
    ASSERT_EQ(list.RowCount(), 1) << m_shown.join(QLatin1Char('\n')).toStdString();

    list.clearSelection();
    window.OnCommand(CommandId::kMp3ToWav);
    EXPECT_EQ(m_shown.value(m_shown.size() - 1), "There is not selected file!");

    QTemporaryDir target;
    FolderBrowserSeam::CScopedHandler browser(
        [&](QWidget*, const FolderBrowserSeam::FolderRequest& request, QString& chosen) {
            EXPECT_EQ(request.title, "Select Wav File Path");
            chosen = target.path() + QLatin1Char('/');
            return true;
        });
    list.SelectAllRows();
    window.OnCommand(CommandId::kMp3ToWav);
    const QString wav = target.filePath(QFileInfo(list.PathOfRow(0)).completeBaseName().toLower() + ".Wav");
    ASSERT_TRUE(QFileInfo::exists(wav)) << m_shown.join(QLatin1Char('\n')).toStdString();
    const auto soxi = TestSupport::RunTool("soxi", {"-D", wav});
    ASSERT_EQ(soxi.exitCode, 0);
    EXPECT_NEAR(soxi.out.trimmed().toDouble(), 1.5, 0.1);
}
