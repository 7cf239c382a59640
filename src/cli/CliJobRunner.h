#pragma once

#include <functional>

class QObject;

// Runs a file job on a worker thread while the main thread waits in its event loop, so Ctrl+C
// (or SIGTERM, SIGHUP) reaches the job as a cancel request instead of killing the process with
// a half-written file, and the job's progress events reach their receiver.
class CCliJobRunner
{
public:
    // work runs on the worker thread; cancel is called on the main thread at the first stop
    // signal. progressReceiver, when given, gets the events the job posts to it until the job
    // ends. Returns true when a stop signal came.
    static bool Run(const std::function<void()>& work, const std::function<void()>& cancel,
                    QObject* progressReceiver = nullptr);
};
