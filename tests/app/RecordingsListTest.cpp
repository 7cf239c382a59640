#include "app/RecordingsList.h"

#include "AppTestHelpers.h"
#include "app/CommandIds.h"
#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "app/RecordSettings.h"
#include "app/RecordingRow.h"
#include "app/RenameDialog.h"
#include "controls/ControlId.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace
{
using TestSupport::ReadAll;
using TestSupport::WriteAll;

// MPEG-2.5 layer III, 8 kHz, 8 kbit/s: 72-byte frames of 72 ms each.
const QByteArray kFrameHeader("\xFF\xE3\x18\xC0", 4);
constexpr int kFrameBytes = 72;
constexpr int kFrameMs = 72;

QByteArray Mp3Frames(int milliseconds)
{
    const int frames = (milliseconds + kFrameMs - 1) / kFrameMs;
    QByteArray frame = kFrameHeader + QByteArray(kFrameBytes - kFrameHeader.size(), '\0');
    return frame.repeated(frames);
}

// A readable MP3 of the playing time, padded with zero bytes to exactly `size` bytes if given.
bool WriteMp3(const QString& path, int milliseconds, qsizetype size = -1)
{
    QByteArray bytes = Mp3Frames(milliseconds);
    if (size >= 0) {
        bytes = bytes.left(size - size % kFrameBytes);
        bytes.append(QByteArray(size - bytes.size(), '\0'));
    }
    return WriteAll(path, bytes);
}

// Makes one file impossible to delete, even for root, for the life of the guard.
class UndeletableFile
{
public:
    explicit UndeletableFile(const QString& path)
        : m_path(path)
    {
        if (::geteuid() == 0) {
            m_immutable = QProcess::execute("chattr", {"+i", path}) == 0;
        } else {
            m_folder = QFileInfo(path).absolutePath();
            m_readOnlyFolder = QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    }
    ~UndeletableFile()
    {
        if (m_immutable)
            QProcess::execute("chattr", {"-i", m_path});
        if (m_readOnlyFolder)
            QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool Active() const { return m_immutable || m_readOnlyFolder; }

private:
    QString m_path;
    QString m_folder;
    bool m_immutable = false;
    bool m_readOnlyFolder = false;
};

class RecordingsListTest : public AppTestHelpers::PrivateFoldersTest
{
protected:
    void SetUp() override
    {
        PrivateFoldersTest::SetUp();
        ASSERT_TRUE(m_files.isValid() && QDir().mkpath(m_root.path() + "/share"));
        m_window.resize(600, 300);
        m_list = new CRecordingsList(&m_window);
        m_list->setGeometry(0, 0, 600, 300);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    QString Folder() const { return m_files.path(); }
    QString PathOf(const QString& name) const { return Folder() + "/" + name; }
    QString MakeMp3(const QString& name, int milliseconds = 1000)
    {
        const QString path = PathOf(name);
        EXPECT_TRUE(WriteMp3(path, milliseconds));
        return path;
    }
    QStringList Paths() const
    {
        QStringList paths;
        m_list->AllPaths(paths);
        return paths;
    }
    void SelectOnly(std::initializer_list<int> rows)
    {
        m_list->clearSelection();
        for (const int row : rows)
            m_list->SetRowSelected(row, true);
    }

    QTemporaryDir m_files;
    // A data folder of its own, so deleted files go to a trash inside the test's folder.
    AppTestHelpers::ScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_root.path() + "/share"};
    QWidget m_window;
    CRecordingsList* m_list = nullptr;
    QStringList m_messages;
    DialogSeams::CScopedHandlers m_seams{[this](QWidget*, const DialogSeams::MessageRequest& request) {
        m_messages.append(request.text);
        return QMessageBox::Ok;
    }};
};
} // namespace

TEST(RecordingRowTest, ColumnTextsAndNames)
{
    EXPECT_EQ(RecordingRows::SizeText(1048575), "1023KB");
    EXPECT_EQ(RecordingRows::SizeText(500), "0KB");
    EXPECT_EQ(RecordingRows::SizeText(5LL * 1024 * 1024 * 1024), "5242880KB");
    EXPECT_EQ(RecordingRows::SaveAsPath("/m/copy.wav"), "/m/copy.mp3");
    EXPECT_EQ(RecordingRows::SaveAsPath("/m/copy"), "/m/copy.mp3");
    EXPECT_EQ(RecordingRows::SaveAsPath("/m/copy.MP3"), "/m/copy.mp3");
    EXPECT_EQ(RecordingRows::SaveAsPath("/m/a.b"), "/m/a.b.mp3");
    EXPECT_EQ(RecordingRows::JoinPath("", "root.mp3"), "/root.mp3");
    const auto widths = RecordingRows::ColumnWidths(403); // q = 100
    EXPECT_EQ(widths, (std::array<int, 4>{135, 75, 80, 110}));
}

// The row's tool tip shows the ID3v2 fields over the ID3v1 ones, and nothing for an untagged file.
TEST(RecordingRowTest, ToolTipShowsTheTagFieldsPlayersShow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.mp3"));
    QByteArray id3v1(128, '\0');
    id3v1.replace(0, 8, "TAGOld v");
    ASSERT_TRUE(TestSupport::WriteAll(path, QByteArray(2000, '\x55') + id3v1));
    EXPECT_EQ(RecordingRows::TagToolTip(path), QStringLiteral("Title: Old v"));
    const QByteArray id3v2 = TestSupport::Id3v2Tag(
        3, {{"TIT2", TestSupport::Id3v2Text("Title Two")}, {"TALB", TestSupport::Id3v2Text("Album Two")}});
    ASSERT_TRUE(TestSupport::WriteAll(path, id3v2 + QByteArray(2000, '\x55') + id3v1));
    EXPECT_EQ(RecordingRows::TagToolTip(path), QStringLiteral("Title: Title Two\nAlbum: Album Two"));
    ASSERT_TRUE(TestSupport::WriteAll(path, QByteArray(2000, '\x55')));
    EXPECT_TRUE(RecordingRows::TagToolTip(path).isEmpty());
}

TEST_F(RecordingsListTest, AddFileShowsSizeAndExactTimeAndMovesDuplicatesToTheEnd)
{
    const QString big = PathOf("big.mp3");
    ASSERT_TRUE(WriteMp3(big, 187000, 1048575));
    const QString small = PathOf("small.mp3");
    ASSERT_TRUE(WriteMp3(small, 72, 500));
    const QString longOne = MakeMp3("long.mp3", 75 * 60 * 1000);

    ASSERT_TRUE(m_list->AddFile(big));
    ASSERT_TRUE(m_list->AddFile(small));
    ASSERT_TRUE(m_list->AddFile(longOne));
    EXPECT_EQ(m_list->RowTexts(0), QStringList({"big.mp3", "1023KB", "3:07", Folder()}));
    EXPECT_EQ(m_list->RowTexts(1), QStringList({"small.mp3", "0KB", "0:00", Folder()}));
    EXPECT_EQ(m_list->Text(2, CRecordingsList::kTimeColumn), "75:00");
    EXPECT_EQ(m_list->header()->sectionSize(CRecordingsList::kFolderColumn),
              RecordingRows::ColumnWidths(m_list->viewport()->width())[CRecordingsList::kFolderColumn]);

    // Nothing for files that cannot be read; a second add moves the row to the end.
    EXPECT_FALSE(m_list->AddFile(PathOf("missing.mp3")));
    EXPECT_FALSE(m_list->AddFile(Folder()));
    ASSERT_TRUE(m_list->AddFile(big));
    EXPECT_EQ(Paths(), QStringList({small, longOne, big}));
    for (int row = 0; row < m_list->RowCount(); ++row)
        EXPECT_EQ(m_list->ItemData(row), row);

    // Every notification hands on the first selected path.
    QSignalSpy spy(m_list, &CRecordingsList::selectedPathChanged);
    SelectOnly({1, 2});
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_EQ(spy.last().at(0).toString(), longOne);
    QStringList selected{"before"};
    EXPECT_EQ(m_list->SelectedPaths(selected), 2);
    EXPECT_EQ(selected, QStringList({"before", longOne, big}));
    EXPECT_EQ(m_list->SelectedName(), "long.mp3");
}

TEST_F(RecordingsListTest, RestartKeepsTheOrderMinusFilesDeletedMeanwhile)
{
    const QStringList paths{MakeMp3("c.mp3"), MakeMp3("a.mp3"), MakeMp3("b.mp3")};
    for (const QString& path : paths)
        m_list->AddFile(path);
    m_list->SortByColumn(CRecordingsList::kNameColumn); // descending: c, b, a
    CRecordSettings settings;
    m_list->SaveToSettings(settings);
    ASSERT_TRUE(settings.Save());
    ASSERT_TRUE(QFile::remove(paths[2]));

    CRecordSettings reloaded;
    ASSERT_TRUE(reloaded.Load());
    CRecordingsList restarted;
    restarted.FillFromSettings(reloaded);
    QStringList restored;
    restarted.AllPaths(restored);
    EXPECT_EQ(restored, QStringList({paths[0], paths[1]}));
    // The times are read behind the shown rows and land on the right ones.
    QTRY_VERIFY_WITH_TIMEOUT(!restarted.TimesPending(), 10000);
    EXPECT_EQ(restarted.Text(0, CRecordingsList::kTimeColumn), m_list->Text(0, CRecordingsList::kTimeColumn));
}

TEST_F(RecordingsListTest, RenameThroughDialogAddsMp3AndInPlaceEditKeepsTheTextAsTyped)
{
    const QString original = MakeMp3("talk.mp3");
    const QString other = MakeMp3("other.mp3");
    m_list->AddFile(original);
    m_list->AddFile(other);
    SelectOnly({0});

    // Answer the modal dialog once it is up.
    QString shownName;
    QTimer::singleShot(0, [&shownName] {
        auto* dialog = qobject_cast<CRenameDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* edit = ControlId::Find<QLineEdit>(dialog, CRenameDialog::kNameEditId);
        shownName = edit->text();
        edit->setText("new");
        dialog->accept();
    });
    ASSERT_TRUE(m_list->HandleCommand(CommandId::kRename));
    EXPECT_EQ(shownName, "talk.mp3");
    EXPECT_TRUE(QFileInfo::exists(PathOf("new.mp3")));
    EXPECT_FALSE(QFileInfo::exists(original));
    EXPECT_EQ(m_list->SelectedPath(), PathOf("new.mp3"));

    // In place: exactly as typed, no extension added.
    m_list->editItem(m_list->topLevelItem(0), CRecordingsList::kFolderColumn); // any column edits the name
    auto* editor = m_list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("new");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits on a queued call
    EXPECT_TRUE(QFileInfo::exists(PathOf("new")));
    EXPECT_EQ(m_list->Text(0, CRecordingsList::kNameColumn), "new");

    // Renaming onto another file is refused: both files and the row stay as they were.
    EXPECT_FALSE(m_list->RenameSelected("other.mp3"));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages.front(), QString("Access to %1 was denied.").arg(PathOf("new")));
    EXPECT_EQ(m_list->Text(0, CRecordingsList::kNameColumn), "new");
    EXPECT_TRUE(QFileInfo::exists(PathOf("new")));
    EXPECT_EQ(ReadAll(other), Mp3Frames(1000));
    // A name that would leave the folder is refused too.
    EXPECT_FALSE(m_list->RenameSelected("../escaped.mp3"));
    EXPECT_TRUE(QFileInfo::exists(PathOf("new")));
}

TEST_F(RecordingsListTest, OpenAddsTheChosenFilesAndSaveAsCopiesUnderAnMp3Name)
{
    const QString first = MakeMp3("first.mp3", 2000);
    const QString second = MakeMp3("second.mp3");
    QStringList answer{first, second};
    DialogSeams::FileRequest asked;
    DialogSeams::CScopedHandlers files({}, [&](QWidget*, const DialogSeams::FileRequest& request) {
        asked = request;
        return answer;
    });

    ASSERT_TRUE(m_list->HandleCommand(CommandId::kOpen));
    EXPECT_EQ(asked.mode, DialogSeams::FileRequest::Mode::OpenMany);
    EXPECT_EQ(Paths(), QStringList({first, second}));
    EXPECT_EQ(DataFileStore::LoadFolder(DataFileStore::kOpenDirKey), Folder() + "/");

    QTemporaryDir elsewhere;
    answer = QStringList{elsewhere.path() + "/copy.wav"};
    SelectOnly({0});
    ASSERT_TRUE(m_list->HandleCommand(CommandId::kSaveAs));
    EXPECT_EQ(asked.mode, DialogSeams::FileRequest::Mode::Save);
    EXPECT_EQ(asked.directory, Folder() + "/");
    EXPECT_FALSE(QFileInfo::exists(elsewhere.path() + "/copy.wav"));
    EXPECT_EQ(ReadAll(elsewhere.path() + "/copy.mp3"), ReadAll(first));
    EXPECT_EQ(DataFileStore::LoadFolder(DataFileStore::kOpenDirKey), elsewhere.path() + "/");
    EXPECT_EQ(m_list->RowCount(), 2); // the list does not change
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(RecordingsListTest, SelectionCommandsAndDeletingItemsLeaveFilesAlone)
{
    const QStringList paths{MakeMp3("a.mp3"), MakeMp3("b.mp3"), MakeMp3("c.mp3")};
    for (const QString& path : paths)
        m_list->AddFile(path);
    SelectOnly({1});
    m_list->HandleCommand(CommandId::kInvertSelection);
    EXPECT_EQ(m_list->SelectedRows(), (std::vector<int>{0, 2}));
    m_list->HandleCommand(CommandId::kDeleteSelectedItems);
    EXPECT_EQ(Paths(), QStringList({paths[1]}));

    m_list->AddFile(paths[0]);
    m_list->HandleCommand(CommandId::kSelectAll);
    m_list->HandleCommand(CommandId::kDeleteSelectedItems);
    EXPECT_EQ(m_list->RowCount(), 0);
    for (const QString& path : paths)
        EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(m_list->HandleCommand(CommandId::kRecord));
}

TEST_F(RecordingsListTest, DeletingFilesStopsAtAnUndeletableFileAndKeepsTheRowsNotYetDone)
{
    QDir(Folder()).mkdir("locked");
    const QString first = MakeMp3("first.mp3");
    const QString locked = MakeMp3("locked/locked.mp3");
    const QString last = MakeMp3("last.mp3");
    for (const QString& path : {first, locked, last})
        m_list->AddFile(path);
    UndeletableFile guard(locked);
    if (!guard.Active())
        GTEST_SKIP() << "no way to make a file undeletable here";

    m_list->HandleCommand(CommandId::kSelectAll);
    m_list->HandleCommand(CommandId::kDeleteSelectedFiles);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(locked));
    EXPECT_TRUE(QFileInfo::exists(last));
    EXPECT_EQ(Paths(), QStringList({locked, last}));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages.front(), QString("Access to %1 was denied.").arg(locked));

    // Delete All Files stops at the same file and leaves it and everything after it.
    m_list->HandleCommand(CommandId::kDeleteAllFiles);
    EXPECT_EQ(Paths(), QStringList({locked, last}));
    EXPECT_TRUE(QFileInfo::exists(last));

    // The deleted file went to the desktop's trash, with the note a file manager restores it by.
    EXPECT_EQ(QDir(m_root.path() + "/share/Trash/files").entryList(QDir::Files), QStringList{"first.mp3"});
    QFile info(m_root.path() + "/share/Trash/info/first.mp3.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QByteArray note = info.readAll();
    EXPECT_TRUE(note.startsWith("[Trash Info]\n")) << note.toStdString();
    EXPECT_TRUE(note.contains("\nPath=" + QFile::encodeName(first).toPercentEncoding("/") + "\n"))
        << note.toStdString();
}

TEST_F(RecordingsListTest, FilesOnARemovableDriveAreDeletedForGoodAfterOneQuestionThatNamesThem)
{
    QDir(Folder()).mkdir("player");
    QDir(Folder()).mkdir("disk");
    AppTestHelpers::ScopedEnvironment roots("SORVANE_VOLUME_ROOTS",
                                            Folder() + "/player=removable;" + Folder() + "/disk=fixed");
    const QStringList onPlayer{MakeMp3("player/one.mp3"), MakeMp3("player/two.mp3")};
    const QString onDisk = MakeMp3("disk/kept.mp3");
    for (const QString& path : onPlayer + QStringList{onDisk})
        m_list->AddFile(path);

    QStringList questions;
    QMessageBox::StandardButton answer = QMessageBox::No;
    DialogSeams::CScopedHandlers seams([&](QWidget*, const DialogSeams::MessageRequest& request) {
        questions << request.text;
        return (request.buttons & QMessageBox::Yes) ? answer : QMessageBox::Ok;
    });

    // No: nothing is deleted, nothing leaves the list.
    m_list->HandleCommand(CommandId::kSelectAll);
    m_list->HandleCommand(CommandId::kDeleteSelectedFiles);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(onPlayer[0]) && questions[0].contains(onPlayer[1])) << questions[0].toStdString();
    EXPECT_FALSE(questions[0].contains(onDisk)) << "a file of a fixed disk goes to the trash without asking";
    EXPECT_EQ(Paths().size(), 3);
    for (const QString& path : onPlayer + QStringList{onDisk})
        EXPECT_TRUE(QFileInfo::exists(path));

    // Yes: the player's files are gone for good, the disk's file is in the trash.
    answer = QMessageBox::Yes;
    m_list->HandleCommand(CommandId::kDeleteAllFiles);
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(Paths(), QStringList{});
    for (const QString& path : onPlayer + QStringList{onDisk})
        EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(m_root.path() + "/share/Trash/files").entryList(QDir::Files), QStringList{"kept.mp3"});
    EXPECT_TRUE(QDir(Folder() + "/player").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}
