#pragma once

#include "cli/ProgressLine.h"

#include <QObject>
#include <QStringList>
#include <functional>

// Receives a job's progress events (file index; 0 = the file starts, > 0 = its position) and
// keeps the progress line up to date: the file, its percent, and the speed over the whole job.
class CJobProgress : public QObject
{
public:
    // The current file's range, in the units of the positions the job posts.
    using RangeQuery = std::function<int()>;

    // unitsPerSecond turns the job's positions into seconds of sound (1 for the jobs that count
    // seconds; a WAV job counts data bytes / sample rate, so its frame size in bytes).
    CJobProgress(QStringList files, RangeQuery range, double unitsPerSecond = 1.0);

    // Ends the line; call once the job has stopped posting.
    void Finish() { m_line.End(); }

protected:
    bool event(QEvent* event) override;

private:
    void Show(int fileIndex, int position);

    QStringList m_files;
    RangeQuery m_range;
    double m_unitsPerSecond;
    CProgressLine m_line;
    int m_fileIndex = -1;
    double m_secondsBefore = 0; // sound of the files finished before the current one
    double m_fileSeconds = 0;   // sound of the current file handled so far
};
