#include "player_transfer/PlayerTransferCommands.h"

#include "app/DialogSeams.h"
#include "app/RecordingsList.h"
#include "player_transfer/PlayerProgressWindow.h"
#include "player_transfer/PlayerTransfer.h"
#include "player_transfer/SelectPlayerDialog.h"

#include <QDir>
#include <QFileInfo>

namespace
{
const QString kLoadCaption = QStringLiteral("Load Mp3 Player files,Please wait...");
const QString kReplaceListQuestion =
    QStringLiteral("The player's files will take the place of your recordings in the list.\n\n"
                   "Your recordings list is kept: \"Show My Recordings\" in the File menu brings it back.");

// Whether the user's recordings may make room for a player's files.
bool MayReplaceRecordings(QWidget* owner, const CRecordingsList& list)
{
    if (list.ShowsPlayerFiles() || list.RowCount() == 0) {
        return true;
    }
    DialogSeams::MessageRequest question;
    question.text = kReplaceListQuestion;
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Ok;
    return DialogSeams::ShowMessage(owner, question) == QMessageBox::Ok;
}

// The progress window's steps let events through, so a second run could start inside the first.
bool& Busy()
{
    static bool busy = false;
    return busy;
}

class CBusyScope
{
public:
    CBusyScope() { Busy() = true; }
    ~CBusyScope() { Busy() = false; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;
};

QString StrandedText(const PlayerTransfer::ReorderResult& result)
{
    QString text = QStringLiteral("These files could not be moved back to their folders and are kept in %1:\n")
                       .arg(QDir::toNativeSeparators(QFileInfo(result.stranded.first().second).path()));
    for (const auto& [original, now] : result.stranded)
        text += QStringLiteral("\n%1 -> %2").arg(QFileInfo(now).fileName(), original);
    return text;
}
} // namespace

namespace PlayerTransferCommands
{
void LoadPlayerFiles(QWidget* owner, CRecordingsList& list)
{
    if (Busy())
        return;
    CBusyScope busy;
    const QString drive = CSelectPlayerDialog::Choose(owner);
    if (drive.isEmpty())
        return;
    QStringList files;
    PlayerTransfer::FindMp3Files(drive, files);
    // A player without MP3 files leaves the list as it is, and asks nothing.
    if (!files.isEmpty() && !MayReplaceRecordings(owner, list))
        return;
    CPlayerProgressWindow::OpenProgress(owner, kLoadCaption);
    CPlayerProgressWindow::SetProgressRange(int(files.size()));
    if (!files.isEmpty())
        list.BeginPlayerFiles();
    for (qsizetype i = 0; i < files.size(); ++i) {
        list.AddFile(files[i]);
        CPlayerProgressWindow::StepProgress(int(i));
    }
    CPlayerProgressWindow::CloseProgress();
}

void UpdatePlayerOrder(QWidget* owner, CRecordingsList& list)
{
    if (Busy())
        return;
    CBusyScope busy;
    QStringList paths;
    list.AllPaths(paths);
    if (paths.isEmpty())
        return;
    CPlayerProgressWindow::OpenProgress(owner, {});
    PlayerTransfer::ProgressSink progress;
    progress.setRange = &CPlayerProgressWindow::SetProgressRange;
    progress.step = &CPlayerProgressWindow::StepProgress;
    const PlayerTransfer::ReorderResult result = PlayerTransfer::ReorderOnPlayer(paths, progress);
    CPlayerProgressWindow::CloseProgress();
    // A file left in the temporary folder is out of the user's sight: say where it is.
    if (!result.stranded.isEmpty())
        DialogSeams::ShowMessage(owner, StrandedText(result), QMessageBox::Warning);
}

bool CanUpdatePlayerOrder(const CRecordingsList& list)
{
    QStringList paths;
    list.AllPaths(paths);
    return PlayerTransfer::CanReorder(paths);
}
} // namespace PlayerTransferCommands
