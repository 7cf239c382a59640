#include "audio/ProcessDialog.h"

#include "app/DialogSeams.h"
#include "audio/FileJob.h"
#include "controls/ControlId.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace
{
// A job whose second file runs until it is cancelled, so a test can press Cancel mid-file.
class CScriptedJob : public CFileJob
{
public:
    bool ProcessFile(const QString& path) override
    {
        processed.push_back(path);
        SetFileRange(10);
        PostFileProgress(5);
        if (path == QLatin1String(kFailing)) {
            ReportFailure(QStringLiteral("Open File %1 Error").arg(path), true);
            return false;
        }
        if (path == QLatin1String(kEndless)) {
            reachedEndless = true;
            while (!IsCancelRequested()) {
                std::this_thread::yield();
            }
        }
        return true;
    }

    static constexpr const char* kFailing = "/missing.mp3";
    static constexpr const char* kEndless = "/endless.mp3";
    std::vector<QString> processed; // written by the worker, read after it ended
    std::atomic<bool> reachedEndless{false};
};

} // namespace

TEST(ProcessDialogTest, RunsEveryFileThenClosesWithOkAndShowsTheWorkersMessages)
{
    QStringList messages;
    DialogSeams::CScopedHandlers handlers([&messages](QWidget*, const DialogSeams::MessageRequest& request) {
        messages << request.text;
        return QMessageBox::Ok;
    });
    CScriptedJob job;
    job.SetFiles({"/a.mp3", CScriptedJob::kFailing, "/c.mp3"});
    CProcessDialog dialog(CProcessDialog::kProcessTemplate, job);

    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(job.processed.size(), 3u);
    EXPECT_EQ(messages, QStringList{"Open File /missing.mp3 Error"});
    EXPECT_EQ(ControlId::Find<QLabel>(&dialog, CProcessDialog::kFileCountLabelId)->text(), "File( 3 / 3 )");
    const auto* filesBar = ControlId::Find<QProgressBar>(&dialog, CProcessDialog::kFilesBarId);
    EXPECT_EQ(filesBar->value(), 3);
    EXPECT_EQ(filesBar->maximum(), 3);
    EXPECT_EQ(ControlId::Find<QProgressBar>(&dialog, CProcessDialog::kFileBarId)->value(), 5);
}

TEST(ProcessDialogTest, CancelStopsTheRunningFileAndLeavesTheRestUntouched)
{
    CScriptedJob job;
    job.SetFiles({"/a.mp3", CScriptedJob::kEndless, "/c.mp3"});
    CProcessDialog dialog(CProcessDialog::kProcessTemplate, job);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (job.reachedEndless) {
            ControlId::Find<QPushButton>(&dialog, CProcessDialog::kCancelId)->click();
        }
    });
    poll.start(10);

    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(job.processed, (std::vector<QString>{"/a.mp3", CScriptedJob::kEndless}));
}

TEST(ProcessDialogTest, EditorTemplatesShowOnlyTheFileBarAndCancel)
{
    CScriptedJob job;
    CProcessDialog dialog(CProcessDialog::kDecodeMp3Template, job);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Decode MP3 file");
    EXPECT_TRUE(ControlId::Find(&dialog, CProcessDialog::kFileBarId)->isVisible());
    EXPECT_TRUE(ControlId::Find(&dialog, CProcessDialog::kCancelId)->isVisible());
    EXPECT_FALSE(ControlId::Find(&dialog, CProcessDialog::kFilesBarId)->isVisible());
    EXPECT_FALSE(ControlId::Find(&dialog, CProcessDialog::kPathEditId)->isVisible());
}
