#pragma once

#include <QDialog>
#include <thread>

class CFileJob;
class QLabel;
class QLineEdit;
class QProgressBar;

// The modal progress window that runs one file job on a worker thread of its own. The worker
// only ever posts to the window (progress, messages, the final OK), so Cancel can wait for it
// without either side waiting for the other.
class CProcessDialog : public QDialog
{
    Q_OBJECT

public:
    // Dialog templates: the full "Process" window, and the one-bar windows of the waveform editor.
    static constexpr int kProcessTemplate = 142;
    static constexpr int kDecodeMp3Template = 11147;
    static constexpr int kEncodeMp3Template = 11148;

    static constexpr int kTitleLabelId = 2065;
    static constexpr int kPathEditId = 1052;
    static constexpr int kFileBarId = 1053;
    static constexpr int kFilesBarId = 1054;
    static constexpr int kFileCountLabelId = 2064;
    static constexpr int kCancelId = 2;
    static constexpr int kOkCommand = 1;

    // The job is not owned and must outlive the dialog.
    CProcessDialog(int templateId, CFileJob& job, QWidget* parent = nullptr);
    // Waits for a worker that is still running.
    ~CProcessDialog() override;

    // Starts the worker and runs modally: Accepted when the job ran to its end, Rejected when
    // it was cancelled.
    int exec() override;

    // How many of the job's messages the window showed the user.
    int MessagesShown() const { return m_messagesShown; }

public slots:
    // Cancel: the running file stops at its next frame or chunk, then the window closes.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnProgress(int fileIndex, int position);
    void WaitForWorker();

    CFileJob& m_job;
    QLineEdit* m_pathEdit = nullptr;
    QProgressBar* m_fileBar = nullptr;
    QProgressBar* m_filesBar = nullptr;
    QLabel* m_fileCountLabel = nullptr;
    std::thread m_worker;
    int m_messagesShown = 0;
};
