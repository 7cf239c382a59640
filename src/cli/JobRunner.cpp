#include "cli/JobRunner.h"

#include "audio/FileJob.h"
#include "cli/StopSignalNotifier.h"
#include "platform/AppEvent.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kFullPercent = 100;
} // namespace

CJobRunner::CJobRunner(CFileJob& job)
    : m_job(job)
{}

CJobRunner::~CJobRunner() = default;

bool CJobRunner::Run()
{
    m_showProgress = ::isatty(STDERR_FILENO) != 0;
    if (!QCoreApplication::instance()) {
        // No event loop to watch from: run in place, without progress or Ctrl+C.
        m_job.Run();
        return !m_job.IsCancelRequested();
    }
    m_job.SetProgressReceiver(this);
    QEventLoop loop;
    const CStopSignalNotifier stopSignals([this](int) { m_job.RequestCancel(); });
    std::thread worker([this, &loop] {
        m_job.Run();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // Progress posted after the last look at the queue must not reach a runner that is gone.
    QCoreApplication::removePostedEvents(this, AppEventType::kJobProgress);
    m_job.SetProgressReceiver(nullptr);
    EndProgressLine();
    return !m_job.IsCancelRequested();
}

bool CJobRunner::event(QEvent* event)
{
    if (event->type() != static_cast<QEvent::Type>(AppEventType::kJobProgress)) {
        return QObject::event(event);
    }
    const auto* progress = static_cast<const CAppEvent*>(event);
    ShowProgress(static_cast<int>(progress->WParam()), static_cast<int>(progress->LParam()));
    return true;
}

void CJobRunner::ShowProgress(int fileIndex, int position)
{
    if (!m_showProgress || fileIndex < 0 || fileIndex >= m_job.Files().size()) {
        return;
    }
    const int range = m_job.FileRange();
    const int percent = range > 0 ? std::min(kFullPercent, position * kFullPercent / range) : 0;
    if (fileIndex == m_lastFileIndex && percent == m_lastPercent) {
        return;
    }
    m_lastFileIndex = fileIndex;
    m_lastPercent = percent;
    const QString name = QFileInfo(m_job.Files().at(fileIndex)).fileName();
    std::fprintf(stderr, "\r\033[K[%d/%d] %s %3d%%", fileIndex + 1, int(m_job.Files().size()),
                 name.toLocal8Bit().constData(), percent);
    std::fflush(stderr);
    m_lineOpen = true;
}

void CJobRunner::EndProgressLine()
{
    if (m_lineOpen) {
        std::fputs("\n", stderr);
        m_lineOpen = false;
    }
}
