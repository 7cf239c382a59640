// The main window at home on a desktop: one program per user and Data folder, files dropped
// from a file manager, the tray's menu and tooltip, the question when closing with a schedule,
// and the notifications of scheduled recordings.
#include "AppTestHelpers.h"
#include "MainWindowTestSupport.h"
#include "app/CommandIds.h"
#include "app/HandOverMessage.h"
#include "app/RecordingsList.h"
#include "app/SingleInstance.h"
#include "app/TrayPresence.h"
#include "record/RecordingController.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>

namespace
{
// MPEG-2.5 layer III, 8 kHz, 8 kbit/s: 72-byte frames of 72 ms each.
const QByteArray kFrameHeader("\xFF\xE3\x18\xC0", 4);
constexpr int kFrameBytes = 72;
constexpr int kFrames = 14;
constexpr int kProgramWaitMs = 30000;

QString WriteMp3(const QString& path)
{
    const QByteArray frame = kFrameHeader + QByteArray(kFrameBytes - kFrameHeader.size(), '\0');
    EXPECT_TRUE(TestSupport::WriteAll(path, frame.repeated(kFrames)));
    return path;
}

QStringList ListedNames(const CRecordingsList& list)
{
    QStringList names;
    for (int row = 0; row < list.RowCount(); ++row) {
        names << list.Text(row, CRecordingsList::kNameColumn);
    }
    return names;
}

// Sends a drag from outside the program over the list and drops it; true when it was taken.
bool Drop(CRecordingsList& list, QMimeData& data)
{
    QWidget* target = list.viewport();
    const QPoint point = target->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(point), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

class DesktopPresenceTest : public MainWindowTest
{
protected:
    void TearDown() override
    {
        CTrayPresence::OverrideAvailability(std::nullopt);
        MainWindowTest::TearDown();
    }

    // Closing the window the desktop's way, answering the question with `answer`.
    void CloseAnswering(CMainWindow& window, QMessageBox::StandardButton answer)
    {
        m_asked.clear();
        DialogSeams::CScopedHandlers answering([&](QWidget*, const DialogSeams::MessageRequest& request) {
            m_asked << request.text;
            return answer;
        });
        window.close();
    }

    QStringList m_asked;
};
} // namespace

TEST_F(DesktopPresenceTest, AnotherStartHandsItsFilesOverAndEnds)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const AppTestHelpers::ScopedEnvironment runtimeDir("XDG_RUNTIME_DIR", runtime.path());
    const QString name = CSingleInstance::DefaultServerName();
    EXPECT_TRUE(name.startsWith(runtime.path() + QLatin1Char('/')));
    // Nobody listens yet: a start finds no one to hand over to.
    EXPECT_FALSE(CSingleInstance(name).HandOver({}, 1000));

    // A crashed run left its socket behind; the next start cleans it up and listens.
    ASSERT_TRUE(TestSupport::WriteAll(name, QByteArray()));
    CSingleInstance first(name);
    ASSERT_TRUE(first.Listen());
    // A second listener never takes a live socket away.
    EXPECT_FALSE(CSingleInstance(name).Listen());

    CMainWindow& window = OpenWindow();
    QObject::connect(&first, &CSingleInstance::activationRequested, &window, &CMainWindow::OpenFromOutside);
    WriteMp3(SavePath(QStringLiteral("Song One.mp3")));
    ASSERT_TRUE(TestSupport::WriteAll(SavePath(QStringLiteral("notes.txt")), "not sound"));
    window.hide();

    // The second start names its files relative to where it was started.
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(m_save.path());
    second.start(TestSupport::BinaryDirectory() + QStringLiteral("/sorvane"),
                 {QStringLiteral("Song One.mp3"), QStringLiteral("notes.txt")});
    ASSERT_TRUE(second.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (second.state() != QProcess::NotRunning && waited.elapsed() < kProgramWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_EQ(second.state(), QProcess::NotRunning) << "the second start did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(ListedNames(window.List()), QStringList{QStringLiteral("Song One.mp3")});
    EXPECT_EQ(window.List().Text(0, CRecordingsList::kFolderColumn), m_save.path());
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown.front().contains(SavePath(QStringLiteral("notes.txt")))) << m_shown.front().toStdString();
}

TEST_F(DesktopPresenceTest, ReadsOnlyWholeHandOvers)
{
    const QStringList paths{QStringLiteral("/music/Ünïcode song.mp3"), QString()};
    const QByteArray bytes = HandOverMessage::Encode(paths);
    QStringList decoded;
    ASSERT_EQ(HandOverMessage::Decode(bytes, &decoded), HandOverMessage::DecodeStatus::Complete);
    EXPECT_EQ(decoded, paths);
    for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_EQ(HandOverMessage::Decode(bytes.left(cut), nullptr), HandOverMessage::DecodeStatus::Incomplete) << cut;
    }
    EXPECT_EQ(HandOverMessage::Decode(bytes + "x", nullptr), HandOverMessage::DecodeStatus::Invalid);
    EXPECT_EQ(HandOverMessage::Decode("GET / HTTP/1.1\r\n", nullptr), HandOverMessage::DecodeStatus::Invalid);
    // A count no message could hold is refused at once, not waited for.
    QByteArray huge = HandOverMessage::Encode({});
    huge.replace(huge.size() - 4, 4, QByteArray(4, '\xff'));
    EXPECT_EQ(HandOverMessage::Decode(huge, nullptr), HandOverMessage::DecodeStatus::Invalid);
}

TEST_F(DesktopPresenceTest, FilesDroppedFromAFileManagerAreListed)
{
    CMainWindow& window = OpenWindow();
    CRecordingsList& list = window.List();
    const QString first = WriteMp3(SavePath(QStringLiteral("first.mp3")));
    const QString loud = WriteMp3(SavePath(QStringLiteral("LOUD.MP3")));
    const QString picture = SavePath(QStringLiteral("cover.jpg"));
    ASSERT_TRUE(TestSupport::WriteAll(picture, "jpeg"));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(loud), QUrl::fromLocalFile(picture)});
    EXPECT_TRUE(Drop(list, files));
    EXPECT_EQ(ListedNames(list), (QStringList{QStringLiteral("first.mp3"), QStringLiteral("LOUD.MP3")}));
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown.front().contains(picture));
    // The file manager's files stay where they are.
    EXPECT_TRUE(QFileInfo::exists(first) && QFileInfo::exists(loud));

    // Text, and addresses that are no local files, are refused at the door.
    QMimeData text;
    text.setText(QStringLiteral("first.mp3"));
    EXPECT_FALSE(Drop(list, text));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/song.mp3"))});
    EXPECT_FALSE(Drop(list, web));
    EXPECT_EQ(list.RowCount(), 2);
    EXPECT_EQ(m_shown.size(), 1);
}

TEST_F(DesktopPresenceTest, TrayMenuRecordsStopsAndShowsTheWindow)
{
    CMainWindow& window = OpenWindow();
    CTrayPresence& tray = window.Tray();
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Sorvane"));
    EXPECT_FALSE(tray.StopAction()->isEnabled());

    tray.RecordAction()->trigger();
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_FALSE(tray.RecordAction()->isEnabled());
    EXPECT_TRUE(tray.StopAction()->isEnabled());
    Feed(QByteArray(2 * 44100 * 4, '\0'));
    ASSERT_NE(window.Controller().ElapsedText(), QStringLiteral("00 : 00"));
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Sorvane - recording %1").arg(window.Controller().ElapsedText()));

    tray.StopAction()->trigger();
    EXPECT_FALSE(window.Controller().IsRecording());
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Sorvane"));
    EXPECT_TRUE(tray.RecordAction()->isEnabled());

    window.hide();
    tray.ShowAction()->trigger();
    EXPECT_TRUE(window.isVisible());
    window.showMinimized();
    tray.ShowAction()->trigger();
    EXPECT_FALSE(window.isMinimized());

    QSignalSpy quit(&window, &CMainWindow::quitRequested);
    tray.ExitAction()->trigger();
    EXPECT_EQ(quit.count(), 1);
}

TEST_F(DesktopPresenceTest, ClosingWithAScheduleAsksWhetherToKeepIt)
{
    CMainWindow& window = OpenWindow();
    QSignalSpy quit(&window, &CMainWindow::quitRequested);
    QStringList notified;
    window.Tray().SetNotifier([&](const QString&, const QString& text) { notified << text; });

    // Without a schedule closing ends Sorvane without a question.
    CloseAnswering(window, QMessageBox::Yes);
    EXPECT_TRUE(m_asked.isEmpty());
    EXPECT_EQ(quit.count(), 1);

    const auto now = std::uint32_t(QDateTime::currentSecsSinceEpoch());
    CRecordSettings::Instance().SetSchedule({ScheduleEntry{now + 3600, now + 4200}});

    // With a tray: Yes keeps Sorvane (and its schedule) running there, No ends it.
    CTrayPresence::OverrideAvailability(true);
    CloseAnswering(window, QMessageBox::Cancel);
    ASSERT_EQ(m_asked.size(), 1);
    EXPECT_TRUE(m_asked.front().contains(QStringLiteral("Keep recording on schedule from the tray?")));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(notified.isEmpty());
    CloseAnswering(window, QMessageBox::Yes);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(quit.count(), 1);
    EXPECT_EQ(notified, QStringList{QStringLiteral("Sorvane keeps recording on schedule from the tray.")});
    EXPECT_TRUE(window.Controller().IsScheduleActive());
    window.show();
    CloseAnswering(window, QMessageBox::No);
    EXPECT_EQ(quit.count(), 2);

    // Without a tray the question is whether to end the schedule; No keeps the window open.
    CTrayPresence::OverrideAvailability(false);
    CloseAnswering(window, QMessageBox::No);
    ASSERT_EQ(m_asked.size(), 1);
    EXPECT_TRUE(m_asked.front().contains(QStringLiteral("End the schedule and close Sorvane?")));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(quit.count(), 2);
    CloseAnswering(window, QMessageBox::Yes);
    EXPECT_EQ(quit.count(), 3);
}

TEST_F(DesktopPresenceTest, ScheduledRecordingsAndLostSoundAreNotified)
{
    CMainWindow& window = OpenWindow();
    QStringList notified;
    window.Tray().SetNotifier([&](const QString& title, const QString& text) {
        EXPECT_EQ(title, QStringLiteral("Sorvane"));
        notified << text;
    });

    // A recording by hand is no news.
    window.OnCommand(CommandId::kRecord);
    window.OnCommand(CommandId::kStop);
    EXPECT_TRUE(notified.isEmpty());

    const QDateTime now = QDateTime::currentDateTime();
    const auto start = std::uint32_t(now.toSecsSinceEpoch());
    CRecordSettings::Instance().SetSchedule({ScheduleEntry{start, start + 600}});
    window.Controller().CheckSchedule(now);
    ASSERT_TRUE(window.Controller().IsRecording());
    ASSERT_EQ(notified.size(), 1);
    EXPECT_TRUE(notified.front().startsWith(QStringLiteral("Scheduled recording started: ")))
        << notified.front().toStdString();

    m_backend->QueueCapture(QByteArray(44100 * 4, '\0'));
    m_backend->QueueCaptureLoss(44100 * 2);
    Feed(QByteArray(44100 * 4, '\0'));
    window.Controller().CheckSchedule(now.addSecs(600));
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(window.Controller().IsRecording());
    EXPECT_EQ(notified.mid(1), (QStringList{QStringLiteral("0.5 s of sound were lost at 00:01"),
                                            QStringLiteral("Scheduled recording ended.")}));
}
