#pragma once

#include "audio/FileJob.h"

#include <QStringList>

// Runs a job that walks its own file list (splitting, joining) as a CFileJob, so the progress
// window can show and cancel it. The wrapped job needs SetProgressReceiver, a Run returning
// whether everything was written, Cancel and Messages; its messages reach the user after it ran.
template <typename Job>
class CFileJobAdapter : public CFileJob
{
public:
    // The job is not owned and must outlive the adapter.
    CFileJobAdapter(Job& job, const QStringList& files)
        : m_job(job)
    {
        SetFiles(files);
    }

    void Run() override
    {
        m_job.SetProgressReceiver(ProgressReceiver());
        m_succeeded = m_job.Run();
        for (const QString& message : m_job.Messages()) {
            ReportFailure(message, true);
        }
    }

    // The wrapped job processes its files itself, inside Run.
    bool ProcessFile(const QString&) override { return false; }

    void RequestCancel() override
    {
        CFileJob::RequestCancel();
        m_job.Cancel();
    }

    // The wrapped job learns each file's length as it decodes it.
    int FileRange() const override { return m_job.CurrentFileRange(); }

    bool Succeeded() const { return m_succeeded; }

private:
    Job& m_job;
    bool m_succeeded = false;
};
