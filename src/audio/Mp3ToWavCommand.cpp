#include "audio/Mp3ToWavCommand.h"

#include "app/DialogSeams.h"
#include "audio/Mp3ToWavJob.h"
#include "audio/ProcessDialog.h"
#include "controls/FolderBrowserSeam.h"

#include <QDir>
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
    CProcessDialog dialog(CProcessDialog::kProcessTemplate, job, parent);
    return dialog.exec() == QDialog::Accepted;
}
} // namespace Mp3ToWavCommand
