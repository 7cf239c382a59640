#include "audio/Mp3ToWavCommand.h"

#include "app/DialogSeams.h"
#include "audio/Mp3ToWavJob.h"
#include "audio/ProcessDialog.h"
#include "audio/ReplaceQuestion.h"
#include "controls/FolderBrowserSeam.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace Mp3ToWavCommand
{
bool Run(QWidget* parent, const QStringList& selectedPaths)
{
    if (selectedPaths.isEmpty()) {
        DialogSeams::ShowMessage(parent, QString::fromLatin1(kNoSelectionText));
        return false;
    }
    // The whole folder is taken, however long: a cut path would name another folder.
    QString folder;
    if (!FolderBrowserSeam::BrowseForFolder(parent, QString::fromLatin1(kFolderTitle),
                                            QString::fromLatin1(kFolderPrompt), folder)) {
        return false;
    }
    if (!folder.endsWith(QDir::separator())) {
        folder += QDir::separator();
    }
    CMp3ToWavJob job;
    job.SetFiles(selectedPaths);
    job.SetOutputFolder(folder);
    // The names come from the folder, so no file dialog asked about replacing any of them.
    QStringList existing;
    for (const QString& path : selectedPaths) {
        const QFileInfo output(job.OutputPathOf(path));
        if (output.exists() || output.isSymLink()) {
            existing << output.filePath();
        }
    }
    existing.removeDuplicates();
    if (!ReplaceQuestion::Ask(parent, existing)) {
        return false;
    }
    job.SetReplaceExisting(!existing.isEmpty());
    CProcessDialog dialog(CProcessDialog::kProcessTemplate, job, parent);
    return dialog.exec() == QDialog::Accepted;
}
} // namespace Mp3ToWavCommand
