#pragma once

#include "cli/JobProgress.h"

class CFileJob;

// Runs a file job on a worker thread while the main thread's event loop shows its progress on
// stderr (when stderr is a terminal) and turns Ctrl+C into the job's Cancel.
class CJobRunner
{
public:
    explicit CJobRunner(CFileJob& job);
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // How the job's positions become seconds of sound, and the range of the current file when
    // it is not the job's own (see CJobProgress).
    void SetProgressUnits(double unitsPerSecond) { m_unitsPerSecond = unitsPerSecond; }
    void SetProgressRange(CJobProgress::RangeQuery range) { m_range = std::move(range); }

    // Runs the job to its end or until it is cancelled; true when it was not cancelled.
    bool Run();

private:
    CFileJob& m_job;
    double m_unitsPerSecond = 1.0;
    CJobProgress::RangeQuery m_range;
};
