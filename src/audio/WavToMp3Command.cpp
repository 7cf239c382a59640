#include "audio/WavToMp3Command.h"

#include "app/DialogSeams.h"
#include "audio/ProcessDialog.h"
#include "audio/WavToMp3Dialog.h"
#include "audio/WavToMp3Job.h"
#include "codec/RecordFormat.h"

namespace WavToMp3Command
{
bool Run(QWidget* parent)
{
    CWavToMp3Dialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    // Checked before the job starts, so an unfinished choice creates no file at all.
    if (dialog.WavPath().isEmpty()) {
        DialogSeams::ShowMessage(parent, QString::fromLatin1(kNoWavText), QMessageBox::Warning);
        return false;
    }
    if (dialog.Mp3Path().isEmpty()) {
        DialogSeams::ShowMessage(parent, QString::fromLatin1(kNoMp3Text), QMessageBox::Warning);
        return false;
    }
    CWavToMp3Job job;
    job.SetFiles({dialog.WavPath()});
    job.SetBitrate(BitrateTable.at(static_cast<std::size_t>(dialog.BitrateIndex())));
    job.SetOutputPath(dialog.Mp3Path());
    job.SetReplaceExisting(dialog.ReplaceAgreed());
    job.SetVolumeScale(dialog.VolumeScale());
    CProcessDialog progress(CProcessDialog::kProcessTemplate, job, parent);
    return progress.exec() == QDialog::Accepted && job.Failures().isEmpty();
}
} // namespace WavToMp3Command
