#include "cli/CliJobRunner.h"

#include "cli/StopSignalNotifier.h"
#include "platform/AppEvent.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <thread>

bool CCliJobRunner::Run(const std::function<void()>& work, const std::function<void()>& cancel,
                        QObject* progressReceiver)
{
    QEventLoop loop;
    bool stopped = false;
    CStopSignalNotifier stopSignals([&](int) {
        if (!stopped) {
            stopped = true;
            cancel();
        }
    });
    std::thread worker([&] {
        work();
        // Queued, so it also ends a loop that has not started yet.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (progressReceiver) {
        // Progress posted after the last look at the queue must not reach a receiver that is gone.
        QCoreApplication::removePostedEvents(progressReceiver, AppEventType::kJobProgress);
    }
    return stopped;
}
