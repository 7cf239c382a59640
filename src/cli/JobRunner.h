#pragma once

#include <QObject>
#include <QString>

class CFileJob;

// Runs a file job on a worker thread while the main thread's event loop shows its progress on
// stderr (when stderr is a terminal) and turns Ctrl+C into the job's Cancel.
class CJobRunner : public QObject
{
public:
    // The shell's convention for a run ended by SIGINT.
    static constexpr int kExitCancelled = 130;

    explicit CJobRunner(CFileJob& job);
    ~CJobRunner() override;
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // Runs the job to its end or until it is cancelled; true when it was not cancelled.
    bool Run();

protected:
    bool event(QEvent* event) override;

private:
    void ShowProgress(int fileIndex, int position);
    void EndProgressLine();

    CFileJob& m_job;
    bool m_showProgress = false;
    bool m_lineOpen = false;
    int m_lastPercent = -1;
    int m_lastFileIndex = -1;
};
