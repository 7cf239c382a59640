#include "cli/JobRunner.h"

#include "audio/FileJob.h"
#include "cli/CliJobRunner.h"

#include <QCoreApplication>

CJobRunner::CJobRunner(CFileJob& job)
    : m_job(job)
{}

bool CJobRunner::Run()
{
    if (!QCoreApplication::instance()) {
        // No event loop to watch from: run in place, without progress or Ctrl+C.
        m_job.Run();
        return !m_job.IsCancelRequested();
    }
    CFileJob& job = m_job;
    CJobProgress::RangeQuery range = m_range;
    if (!range) {
        range = [&job] { return job.FileRange(); };
    }
    CJobProgress progress(job.Files(), range, m_unitsPerSecond);
    job.SetProgressReceiver(&progress);
    CCliJobRunner::Run([&job] { job.Run(); }, [&job] { job.RequestCancel(); }, &progress);
    job.SetProgressReceiver(nullptr);
    progress.Finish();
    return !job.IsCancelRequested();
}
