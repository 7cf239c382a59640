// The main window keeps its state honest: keys reach it from its text box, a right click acts
// on the row under the pointer, and what it shows follows what really happens.
#include "AppTestHelpers.h"
#include "MainWindowTestSupport.h"
#include "app/CommandIds.h"
#include "app/RecordingRow.h"
#include "app/RecordingsList.h"
#include "audio/ReencodeDialog.h"
#include "controls/ControlId.h"
#include "controls/PopupMenu.h"
#include "controls/SkinButton.h"
#include "platform/AppEvent.h"
#include "platform/Volumes.h"
#include "player_transfer/SelectPlayerDialog.h"
#include "record/RecordingController.h"
#include "support/TestSupport.h"
#include "tags/TagListenPanel.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace
{
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kDialogPollMs = 10;

QByteArray Tone(double seconds)
{
    const auto pcm = TestSupport::SinePcm(kChannels, kRate, seconds, 440.0, 0.5);
    return QByteArray(reinterpret_cast<const char*>(pcm.data()), qsizetype(pcm.size() * sizeof(pcm[0])));
}

CSkinButton* Button(const CMainWindow& window, int id)
{
    return ControlId::Find<CSkinButton>(&window, id);
}

QLineEdit* RecordFileBox(const CMainWindow& window)
{
    return ControlId::Find<QLineEdit>(&window, CMainWindow::kRecordFileBoxId);
}

void RightClick(CRecordingsList& list, int row)
{
    QWidget* viewport = list.viewport();
    const QPoint at = list.visualItemRect(list.topLevelItem(row)).center();
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton;
        QMouseEvent event(type, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::RightButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

class MainWindowStateTest : public MainWindowTest
{
protected:
    // One short recording made through the window, then copies of it listed under the names.
    QStringList ListRecordings(CMainWindow& window, const QStringList& names)
    {
        window.OnCommand(CommandId::kRecord);
        Feed(Tone(0.5));
        window.OnCommand(CommandId::kStop);
        CRecordingsList& list = window.List();
        EXPECT_EQ(list.RowCount(), 1) << m_shown.join(QLatin1Char('\n')).toStdString();
        const QString recorded = list.PathOfRow(0);
        list.DeleteAllItems();
        QStringList paths;
        for (const QString& name : names) {
            const QString path = SavePath(name);
            EXPECT_TRUE(QFile::copy(recorded, path));
            EXPECT_TRUE(list.AddFile(path));
            paths << path;
        }
        QFile::remove(recorded);
        return paths;
    }
};
} // namespace

TEST_F(MainWindowStateTest, FunctionKeysActRightAfterANameWasTypedIntoTheRecordFileBox)
{
    CMainWindow& window = OpenWindow();
    QLineEdit* box = RecordFileBox(window);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("meeting"));

    QTest::keyClick(box, Qt::Key_F5);
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_TRUE(Button(window, CommandId::kRecordButton)->IsHeldDown());
    Feed(Tone(0.5));
    QTest::keyClick(box, Qt::Key_F6);
    EXPECT_TRUE(window.Controller().IsPaused());
    QTest::keyClick(box, Qt::Key_F6);
    EXPECT_FALSE(window.Controller().IsPaused());
    QTest::keyClick(box, Qt::Key_F7);
    EXPECT_FALSE(window.Controller().IsRecording());

    // The keys went to the window, not into the text, and the recording has the typed name.
    EXPECT_EQ(box->text(), QStringLiteral("meeting"));
    EXPECT_TRUE(QFileInfo(SavePath(QStringLiteral("meeting.mp3"))).size() > 0);
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainWindowStateTest, RightClickActsOnTheRowUnderThePointer)
{
    CMainWindow& window = OpenWindow();
    const QStringList paths =
        ListRecordings(window, {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")});
    CRecordingsList& list = window.List();
    ASSERT_EQ(list.RowCount(), 3);
    PopupMenu::CScopedRunner runner([](QMenu&, QPoint) { return CommandId::kDeleteSelectedItems; });

    // Row a is selected; the right click on b makes b the one the menu's command acts on.
    list.clearSelection();
    list.SetRowSelected(0, true);
    RightClick(list, 1);
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.PathOfRow(0), paths[0]);
    EXPECT_EQ(list.PathOfRow(1), paths[2]);

    // A right click inside a selected block acts on the whole block.
    list.SelectAllRows();
    RightClick(list, 1);
    EXPECT_EQ(list.RowCount(), 0);
    for (const QString& path : paths) {
        EXPECT_TRUE(QFileInfo::exists(path));
    }
}

TEST_F(MainWindowStateTest, AnAutomaticStopGivesTheTitleBack)
{
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kRecord);
    window.showMinimized();
    Feed(Tone(1.2));
    EXPECT_EQ(window.windowTitle(), window.Controller().ElapsedText());
    EXPECT_NE(window.windowTitle(), QLatin1String(CMainWindow::kTitle));

    // A long silence stops the recording with the Stop command, posted from the capture side.
    CAppEvent::Post(&window.Controller(), AppEventType::kCommand, CRecordingController::kStopCommandId);
    QCoreApplication::sendPostedEvents();
    ASSERT_FALSE(window.Controller().IsRecording());
    EXPECT_EQ(window.windowTitle(), QLatin1String(CMainWindow::kTitle));

    // The schedule's stop alike.
    const QDateTime now = QDateTime::currentDateTime();
    const auto start = std::uint32_t(now.toSecsSinceEpoch());
    CRecordSettings::Instance().SetSchedule({ScheduleEntry{start, start + 600}});
    window.Controller().CheckSchedule(now);
    ASSERT_TRUE(window.Controller().IsRecording());
    Feed(Tone(1.2));
    EXPECT_NE(window.windowTitle(), QLatin1String(CMainWindow::kTitle));
    window.Controller().CheckSchedule(now.addSecs(600));
    ASSERT_FALSE(window.Controller().IsRecording());
    EXPECT_EQ(window.windowTitle(), QLatin1String(CMainWindow::kTitle));
}

TEST_F(MainWindowStateTest, EveryStartRecordsFromTheCheckedSourceWithRecordHeldDown)
{
    using Source = CMemoryAudioBackend::Source;
    m_backend->SetSources({Source{QStringLiteral("mic"), QStringLiteral("Microphone"), {100, 100}},
                           Source{QStringLiteral("line"), QStringLiteral("Line In"), {200, 200}}});
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kFirstSourceRadio + 1);
    ASSERT_EQ(m_backend->DefaultSource(), QStringLiteral("line"));
    CSkinButton* record = Button(window, CommandId::kRecordButton);

    // Another program picks a different default while Sorvane records; the next file of a long
    // silence still records the checked source, and the button stays down.
    window.OnCommand(CommandId::kRecordButton);
    Feed(Tone(0.5));
    m_backend->SetDefaultSource(QStringLiteral("mic"));
    CAppEvent::Post(&window.Controller(), AppEventType::kSilenceNewFile);
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_EQ(window.Controller().NewFileCounter(), 1);
    EXPECT_TRUE(record->IsHeldDown());
    EXPECT_FALSE(record->isEnabled());
    EXPECT_EQ(m_backend->DefaultSource(), QStringLiteral("line"));
    Feed(Tone(0.5));
    window.OnCommand(CommandId::kStop);
    EXPECT_FALSE(record->IsHeldDown());

    // A scheduled start alike.
    m_backend->SetDefaultSource(QStringLiteral("mic"));
    const QDateTime now = QDateTime::currentDateTime();
    const auto start = std::uint32_t(now.toSecsSinceEpoch());
    CRecordSettings::Instance().SetSchedule({ScheduleEntry{start, start + 600}});
    window.Controller().CheckSchedule(now);
    ASSERT_TRUE(window.Controller().IsRecording());
    EXPECT_EQ(m_backend->DefaultSource(), QStringLiteral("line"));
    EXPECT_TRUE(record->IsHeldDown());
    window.OnCommand(CommandId::kStop);
}

TEST_F(MainWindowStateTest, ReencodingShowsTheFilesNewSizes)
{
    CMainWindow& window = OpenWindow();
    const QStringList paths = ListRecordings(window, {QStringLiteral("talk.mp3")});
    CRecordingsList& list = window.List();
    ASSERT_EQ(list.RowCount(), 1);
    const QString sizeBefore = list.Text(0, CRecordingsList::kSizeColumn);
    list.SelectAllRows();

    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CReencodeDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        poll.stop();
        answered = true;
        auto* bitrates = ControlId::Find<QComboBox>(dialog, CReencodeDialog::kBitrateComboId);
        bitrates->setCurrentText(QStringLiteral("32 kbps"));
        dialog->accept();
    });
    poll.start(kDialogPollMs);
    window.OnCommand(CommandId::kChangeBitrate);
    ASSERT_TRUE(answered);

    const QString sizeAfter = list.Text(0, CRecordingsList::kSizeColumn);
    EXPECT_EQ(sizeAfter, RecordingRows::SizeText(QFileInfo(paths.front()).size()));
    EXPECT_NE(sizeAfter, sizeBefore);
    EXPECT_EQ(TestSupport::FfprobeField(paths.front(), QStringLiteral("bit_rate")).toInt() / 1000, 32);
}

TEST_F(MainWindowStateTest, APlayersFilesNeverCostTheUserTheRecordingsList)
{
    CMainWindow& window = OpenWindow();
    const QStringList recordings =
        ListRecordings(window, {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")});
    CRecordingsList& list = window.List();
    list.SortByColumn(CRecordingsList::kNameColumn); // c, b, a
    list.clearSelection();
    list.SetRowSelected(1, true);
    const auto rowsShown = [&list] {
        QList<QStringList> rows;
        for (int row = 0; row < list.RowCount(); ++row) {
            rows << list.RowTexts(row);
        }
        return rows;
    };
    const QList<QStringList> before = rowsShown();

    QTemporaryDir player;
    ASSERT_TRUE(QFile::copy(recordings[0], player.filePath(QStringLiteral("song.mp3"))));
    AppTestHelpers::ScopedEnvironment roots(Volumes::kRootsVariable, player.path() + QStringLiteral("=removable"));
    const auto loadPlayer = [&window] {
        bool chosen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<CSelectPlayerDialog*>(QApplication::activeModalWidget())) {
                poll.stop();
                chosen = true;
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            }
        });
        poll.start(kDialogPollMs);
        window.OnCommand(CommandId::kLoadPlayerFiles);
        return chosen;
    };

    // Asked first; Cancel keeps the list.
    QStringList asked;
    {
        DialogSeams::CScopedHandlers cancel([&asked](QWidget*, const DialogSeams::MessageRequest& request) {
            asked << request.text;
            return QMessageBox::Cancel;
        });
        ASSERT_TRUE(loadPlayer());
    }
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.front().contains(QStringLiteral("Show My Recordings")));
    EXPECT_EQ(rowsShown(), before);
    EXPECT_FALSE(list.ShowsPlayerFiles());

    ASSERT_TRUE(loadPlayer());
    ASSERT_EQ(list.RowCount(), 1);
    EXPECT_EQ(list.PathOfRow(0), player.filePath(QStringLiteral("song.mp3")));
    EXPECT_TRUE(list.ShowsPlayerFiles());

    // What is recorded meanwhile joins the recordings, not the player's list.
    window.OnCommand(CommandId::kRecord);
    Feed(Tone(0.5));
    window.OnCommand(CommandId::kStop);
    EXPECT_EQ(list.RowCount(), 1);
    // The list saved now (as at exit) is the user's, never the player's.
    list.SaveToSettings(CRecordSettings::Instance());
    const QStringList saved = CRecordSettings::Instance().Recordings();
    ASSERT_EQ(saved.size(), 4);
    EXPECT_EQ(saved.mid(0, 3), (QStringList{recordings[2], recordings[1], recordings[0]}));

    // Back to the recordings exactly as they were, selection included, and the new one last.
    window.OnCommand(CommandId::kShowRecordings);
    EXPECT_FALSE(list.ShowsPlayerFiles());
    ASSERT_EQ(list.RowCount(), 4);
    EXPECT_EQ(rowsShown().mid(0, 3), before);
    EXPECT_EQ(list.PathOfRow(3), saved[3]);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(window.TagPanel().TagFile(), recordings[1]);
}
