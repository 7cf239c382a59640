// "&Change Bitrate/volume", "&Splite" and "Joint" driven through the main window on real MP3
// files: the dialogs are answered as a user would, the results checked with ffprobe.
#include "Mp3Fixtures.h"
#include "app/CommandIds.h"
#include "app/DataFileStore.h"
#include "app/MainWindowTestSupport.h"
#include "app/RecordingsList.h"
#include "audio/JoinDialog.h"
#include "audio/ReencodeDialog.h"
#include "audio/SplitDialog.h"
#include "controls/ControlId.h"
#include "controls/EditCtrl.h"
#include "controls/FolderBrowserSeam.h"
#include "controls/MenuXP.h"
#include "controls/PopupMenu.h"
#include "platform/Volumes.h"
#include "player_transfer/SelectPlayerDialog.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace
{
constexpr double kFrame44k = 1152.0 / 44100;
constexpr double kFrame22k = 576.0 / 22050;
// Decoding keeps the source's encoder delay and padding, its Info frame and its last frame, and
// encoding adds its own.
constexpr double kEncoderOverheadFrames = 4;
// A part may also end up to a frame late: it is cut at a frame boundary.
constexpr double kPartSlackFrames = kEncoderOverheadFrames + 1;
constexpr int kPollMs = 10;

double Duration(const QString& path)
{
    return TestSupport::FfprobeField(path, QStringLiteral("duration")).toDouble();
}

int BitrateKbps(const QString& path)
{
    return TestSupport::FfprobeField(path, QStringLiteral("bit_rate")).toInt() / 1000;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int TableIndexOf(int kbps)
{
    const auto found = std::find(BitrateTable.begin(), BitrateTable.end(), kbps);
    return int(found - BitrateTable.begin());
}

// Answers the next modal dialog of type Dialog with `answer` once it is shown.
template <typename Dialog>
class CDialogAnswer
{
public:
    explicit CDialogAnswer(std::function<void(Dialog&)> answer)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this, answer = std::move(answer)] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                m_poll.stop();
                answered = true;
                answer(*dialog);
            }
        });
        m_poll.start(kPollMs);
    }

    bool answered = false;

private:
    QTimer m_poll;
};

// The spin edits hold children with the small ids of the dialog's buttons, so the buttons are
// looked up among buttons only.
QPushButton* Button(QDialog& dialog, int id)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (ControlId::Of(button) == id) {
            return button;
        }
    }
    return nullptr;
}

void ClickOk(QDialog& dialog)
{
    QPushButton* ok = Button(dialog, 1);
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
}

class FileCommandsTest : public MainWindowTest
{
protected:
    // A window whose list holds the files, all selected.
    CRecordingsList& OpenWithFiles(const QStringList& files)
    {
        CRecordSettings::Instance().SetRecordings(files);
        CRecordingsList& list = OpenWindow().List();
        EXPECT_EQ(list.RowCount(), files.size());
        list.SelectAllRows();
        return list;
    }

    QString Shown() const { return m_shown.join(QLatin1Char('\n')); }

    QTemporaryDir m_files;
};
} // namespace

TEST_F(FileCommandsTest, ChangeBitrateReencodesEverySelectedFileInPlace)
{
    const QString stereo = Mp3Fixtures::MakeToneMp3(m_files.path(), "Stereo", 44100, 2, 3.0, 128);
    const QString mono = Mp3Fixtures::MakeToneMp3(m_files.path(), "mono", 22050, 1, 2.0, 32);
    ASSERT_FALSE(stereo.isEmpty());
    ASSERT_FALSE(mono.isEmpty());
    const double stereoSeconds = Duration(stereo);
    const double monoSeconds = Duration(mono);
    CRecordingsList& list = OpenWithFiles({stereo, mono});

    list.clearSelection();
    m_window->OnCommand(CommandId::kChangeBitrate);
    EXPECT_EQ(m_shown.value(m_shown.size() - 1), "There is not selected file!");

    // Cancelling the dialog leaves the files alone.
    list.SelectAllRows();
    const QByteArray before = ReadAll(stereo);
    CDialogAnswer<CReencodeDialog> cancel([](CReencodeDialog& dialog) { dialog.reject(); });
    m_window->OnCommand(CommandId::kChangeBitrate);
    EXPECT_TRUE(cancel.answered);
    EXPECT_EQ(ReadAll(stereo), before);

    int preset = -1;
    CDialogAnswer<CReencodeDialog> answer([&](CReencodeDialog& dialog) {
        auto* combo = ControlId::Find<QComboBox>(&dialog, CReencodeDialog::kBitrateComboId);
        preset = combo->currentIndex();
        EXPECT_EQ(combo->itemText(0), "8 kbps");
        combo->setCurrentIndex(TableIndexOf(64));
        EXPECT_DOUBLE_EQ(ControlId::Find<CEditCtrl>(&dialog, CReencodeDialog::kVolumeEditId)->GetValue(), 1.0);
        ClickOk(dialog);
    });
    m_window->OnCommand(CommandId::kChangeBitrate);
    ASSERT_TRUE(answer.answered);
    EXPECT_EQ(preset, TableIndexOf(128)) << "preset from the first selected file";
    EXPECT_EQ(m_shown.size(), 1) << Shown().toStdString();

    EXPECT_EQ(
        TestSupport::RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), stereo}).exitCode,
        0);
    EXPECT_EQ(BitrateKbps(stereo), 64);
    EXPECT_EQ(TestSupport::FfprobeField(stereo, "sample_rate"), "44100");
    EXPECT_EQ(TestSupport::FfprobeField(stereo, "channels"), "2");
    EXPECT_NEAR(Duration(stereo), stereoSeconds, kEncoderOverheadFrames * kFrame44k);
    // Each file keeps its own format.
    EXPECT_EQ(BitrateKbps(mono), 64);
    EXPECT_EQ(TestSupport::FfprobeField(mono, "sample_rate"), "22050");
    EXPECT_EQ(TestSupport::FfprobeField(mono, "channels"), "1");
    EXPECT_NEAR(Duration(mono), monoSeconds, kEncoderOverheadFrames * kFrame22k);
    // Nothing left beside them but the tones' WAV sources.
    EXPECT_EQ(QDir(m_files.path()).entryList(QDir::Files).size(), 4);
}

TEST_F(FileCommandsTest, SplitCutsEachFileIntoTheChosenNumberOfParts)
{
    const QString source = Mp3Fixtures::MakeToneMp3(m_files.path(), "Talk", 44100, 2, 6.0, 96);
    ASSERT_FALSE(source.isEmpty());
    OpenWithFiles({source});

    CDialogAnswer<CSplitDialog> answer([](CSplitDialog& dialog) {
        auto* count = ControlId::Find<CEditCtrl>(&dialog, CSplitDialog::kCountEditId);
        EXPECT_DOUBLE_EQ(count->GetValue(), 2.0);
        count->SetValue(3);
        ClickOk(dialog);
    });
    m_window->OnCommand(CommandId::kSplit);
    ASSERT_TRUE(answer.answered);
    EXPECT_TRUE(m_shown.isEmpty()) << Shown().toStdString();

    double total = 0;
    for (int part = 1; part <= 3; ++part) {
        const QString path = m_files.filePath(QStringLiteral("Talk_%1.mp3").arg(part));
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        EXPECT_EQ(BitrateKbps(path), 96);
        EXPECT_NEAR(Duration(path), 2.0, kPartSlackFrames * kFrame44k) << part;
        total += Duration(path);
    }
    EXPECT_NEAR(total, Duration(source), 3 * kPartSlackFrames * kFrame44k);
    EXPECT_FALSE(QFileInfo::exists(m_files.filePath("Talk_4.mp3")));
}

TEST_F(FileCommandsTest, JoinEncodesTheSelectedFilesIntoTheChosenFile)
{
    const QString first = Mp3Fixtures::MakeToneMp3(m_files.path(), "first", 22050, 1, 2.0, 32);
    const QString second = Mp3Fixtures::MakeToneMp3(m_files.path(), "second", 44100, 2, 1.5, 128);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    QTemporaryDir target;
    const QString typed = target.filePath("joined"); // typed without the extension
    // The fixture's handlers go first, so they cannot restore theirs over these.
    m_messages.reset();
    m_messages = std::make_unique<DialogSeams::CScopedHandlers>(
        [this](QWidget*, const DialogSeams::MessageRequest& request) {
            m_shown << request.text;
            return QMessageBox::Ok;
        },
        [&](QWidget*, const DialogSeams::FileRequest& request) {
            EXPECT_EQ(request.mode, DialogSeams::FileRequest::Mode::Save);
            return QStringList{typed};
        });
    CRecordingsList& list = OpenWithFiles({first, second});

    // "Joint" is greyed while nothing is selected.
    const auto joinEnabled = [this] {
        auto* menuBar = ControlId::Find<CMenuXP>(m_window.get(), MainControlId::kMenuBar);
        menuBar->OpenPopup(0);
        const auto actions = menuBar->OpenMenu()->actions();
        const auto join = std::find_if(actions.begin(), actions.end(), [](const QAction* action) {
            return action->property(PopupMenu::kCommandIdProperty).toInt() == CommandId::kJoin;
        });
        const bool enabled = join != actions.end() && (*join)->isEnabled();
        menuBar->ClosePopup();
        return enabled;
    };
    list.clearSelection();
    EXPECT_FALSE(joinEnabled());
    list.SelectAllRows();
    EXPECT_TRUE(joinEnabled());

    CDialogAnswer<CJoinDialog> answer([](CJoinDialog& dialog) {
        EXPECT_EQ(ControlId::Find<QComboBox>(&dialog, CJoinDialog::kBitrateComboId)->currentIndex(), TableIndexOf(32));
        QTest::mouseClick(ControlId::Find<QPushButton>(&dialog, CJoinDialog::kBrowseButtonId), Qt::LeftButton);
        ControlId::Find<QComboBox>(&dialog, CJoinDialog::kBitrateComboId)->setCurrentIndex(TableIndexOf(128));
        ClickOk(dialog);
    });
    m_window->OnCommand(CommandId::kJoin);
    ASSERT_TRUE(answer.answered);
    EXPECT_TRUE(m_shown.isEmpty()) << Shown().toStdString();

    const QString joined = typed + ".mp3";
    ASSERT_TRUE(QFileInfo::exists(joined));
    EXPECT_EQ(DataFileStore::LoadFolder(QString::fromLatin1(DataFileStore::kOpenDirKey)),
              target.path() + QLatin1Char('/'));
    // The record format of the window's settings: 44100 Hz stereo.
    EXPECT_EQ(TestSupport::FfprobeField(joined, "sample_rate"), "44100");
    EXPECT_EQ(TestSupport::FfprobeField(joined, "channels"), "2");
    EXPECT_EQ(BitrateKbps(joined), 128);
    EXPECT_NEAR(Duration(joined), Duration(first) + Duration(second), 2 * kEncoderOverheadFrames * kFrame44k);
}

TEST_F(FileCommandsTest, OutputsThatExistAreReplacedOnlyWhenTheUserAgrees)
{
    const QString source = Mp3Fixtures::MakeToneMp3(m_files.path(), "Talk", 22050, 1, 3.0, 32);
    ASSERT_FALSE(source.isEmpty());
    const QString secondPart = m_files.filePath("Talk_2.mp3");
    const QString joined = m_files.filePath("joined.mp3");
    const QString wav = m_files.filePath("talk.Wav");
    for (const QString& path : {secondPart, joined, wav}) {
        ASSERT_TRUE(TestSupport::WriteAll(path, "keep"));
    }
    QMessageBox::StandardButton answer = QMessageBox::No;
    QStringList questions;
    m_messages.reset();
    m_messages = std::make_unique<DialogSeams::CScopedHandlers>(
        [&](QWidget*, const DialogSeams::MessageRequest& request) {
            if (request.buttons.testFlag(QMessageBox::Yes)) {
                questions << request.text;
                return answer;
            }
            m_shown << request.text;
            return QMessageBox::Ok;
        },
        [&](QWidget*, const DialogSeams::FileRequest&) { return QStringList{m_files.filePath("joined")}; });
    FolderBrowserSeam::CScopedHandler folders([&](QWidget*, const FolderBrowserSeam::FolderRequest&, QString& chosen) {
        chosen = m_files.path() + QLatin1Char('/');
        return true;
    });
    OpenWithFiles({source});
    const auto split = [&] {
        CDialogAnswer<CSplitDialog> settings([](CSplitDialog& dialog) { ClickOk(dialog); });
        m_window->OnCommand(CommandId::kSplit);
    };
    const auto join = [&] {
        CDialogAnswer<CJoinDialog> settings([](CJoinDialog& dialog) {
            QTest::mouseClick(ControlId::Find<QPushButton>(&dialog, CJoinDialog::kBrowseButtonId), Qt::LeftButton);
            if (ControlId::Find<QLineEdit>(&dialog, CJoinDialog::kOutputEditId)->text().isEmpty()) {
                dialog.reject();
            } else {
                ClickOk(dialog);
            }
        });
        m_window->OnCommand(CommandId::kJoin);
    };

    // Declined: each command asks once, names the file and writes nothing.
    split();
    join();
    m_window->OnCommand(CommandId::kMp3ToWav);
    ASSERT_EQ(questions.size(), 3) << questions.join(u'\n').toStdString();
    EXPECT_TRUE(questions[0].contains(secondPart));
    EXPECT_TRUE(questions[1].contains(joined));
    EXPECT_TRUE(questions[2].contains(wav));
    for (const QString& path : {secondPart, joined, wav}) {
        EXPECT_EQ(ReadAll(path), QByteArray("keep"));
    }
    EXPECT_FALSE(QFileInfo::exists(m_files.filePath("Talk_1.mp3")));

    // Agreed: the files are replaced by real outputs.
    answer = QMessageBox::Yes;
    split();
    join();
    m_window->OnCommand(CommandId::kMp3ToWav);
    EXPECT_TRUE(m_shown.isEmpty()) << Shown().toStdString();
    for (const QString& mp3 : {m_files.filePath("Talk_1.mp3"), secondPart, joined}) {
        EXPECT_EQ(TestSupport::RunTool("mpg123", {"-q", "-t", mp3}).exitCode, 0) << mp3.toStdString();
    }
    EXPECT_EQ(TestSupport::RunTool("sox", {"-t", "wav", wav, "-n", "stat"}).exitCode, 0);
}

TEST_F(FileCommandsTest, LoadPlayerFilesReplacesTheListWithThePlayersMp3Files)
{
    QTemporaryDir player;
    ASSERT_TRUE(QDir(player.path()).mkpath("Music/Show"));
    const QString first = Mp3Fixtures::MakeToneMp3(player.filePath("Music"), "Early", 44100, 2, 1.0, 128);
    const QString second = Mp3Fixtures::MakeToneMp3(player.filePath("Music/Show"), "Late", 22050, 1, 1.0, 32);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    qputenv(Volumes::kRootsVariable, (player.path() + "=removable").toUtf8());
    CRecordingsList& list = OpenWithFiles({Mp3Fixtures::MakeToneMp3(m_files.path(), "here", 44100, 2, 1.0, 128)});

    CDialogAnswer<CSelectPlayerDialog> answer([](CSelectPlayerDialog& dialog) {
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    m_window->OnCommand(CommandId::kLoadPlayerFiles);
    qunsetenv(Volumes::kRootsVariable);
    ASSERT_TRUE(answer.answered);

    QStringList rows;
    list.AllPaths(rows);
    rows.sort();
    EXPECT_EQ(rows, (QStringList{first, second}));
    // The list held a recording, so the user was asked before it made room.
    EXPECT_EQ(m_shown.size(), 1) << Shown().toStdString();
}
