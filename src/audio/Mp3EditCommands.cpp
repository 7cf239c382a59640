#include "audio/Mp3EditCommands.h"

#include "app/DialogSeams.h"
#include "app/RecordSettings.h"
#include "audio/BitrateProbe.h"
#include "audio/FileJobAdapter.h"
#include "audio/JoinDialog.h"
#include "audio/JoinJob.h"
#include "audio/ProcessDialog.h"
#include "audio/ReencodeDialog.h"
#include "audio/ReencodeJob.h"
#include "audio/ReplaceQuestion.h"
#include "audio/SplitDialog.h"
#include "audio/SplitJob.h"

namespace
{
bool HasSelection(QWidget* parent, const QStringList& selectedPaths)
{
    if (selectedPaths.isEmpty()) {
        DialogSeams::ShowMessage(parent, QString::fromLatin1(Mp3EditCommands::kNoSelectionText));
        return false;
    }
    return true;
}

bool RunUnderProcessDialog(QWidget* parent, CFileJob& job)
{
    CProcessDialog dialog(CProcessDialog::kProcessTemplate, job, parent);
    return dialog.exec() == QDialog::Accepted;
}
} // namespace

namespace Mp3EditCommands
{
bool ChangeBitrate(QWidget* parent, const QStringList& selectedPaths)
{
    if (!HasSelection(parent, selectedPaths)) {
        return false;
    }
    CReencodeDialog settings(BitrateIndexForFile(selectedPaths.first()), parent);
    if (settings.exec() != QDialog::Accepted) {
        return false;
    }
    CReencodeJob job;
    job.SetFiles(selectedPaths);
    job.SetBitrate(settings.BitrateKbps());
    job.SetVolumeScale(settings.VolumeScale());
    return RunUnderProcessDialog(parent, job);
}

bool Split(QWidget* parent, const QStringList& selectedPaths)
{
    if (!HasSelection(parent, selectedPaths)) {
        return false;
    }
    CSplitDialog settings(parent);
    if (settings.exec() != QDialog::Accepted) {
        return false;
    }
    CSplitJob job(selectedPaths, settings.VolumeScale(), settings.SplitCount());
    const QStringList existing = job.ExistingParts();
    if (!ReplaceQuestion::Ask(parent, existing)) {
        return false;
    }
    job.SetReplaceExisting(!existing.isEmpty());
    CFileJobAdapter<CSplitJob> adapter(job, selectedPaths);
    return RunUnderProcessDialog(parent, adapter);
}

bool Join(QWidget* parent, const QStringList& selectedPaths)
{
    if (!HasSelection(parent, selectedPaths)) {
        return false;
    }
    CJoinDialog settings(BitrateIndexForFile(selectedPaths.first()), parent);
    if (settings.exec() != QDialog::Accepted) {
        return false;
    }
    CJoinJob job(selectedPaths, settings.BitrateKbps(), settings.OutputPath(), CRecordSettings::Instance().Format());
    job.SetReplaceExisting(settings.ReplaceAgreed());
    CFileJobAdapter<CJoinJob> adapter(job, selectedPaths);
    return RunUnderProcessDialog(parent, adapter);
}
} // namespace Mp3EditCommands
