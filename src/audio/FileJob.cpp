#include "audio/FileJob.h"

#include "platform/AppEvent.h"

namespace
{
// lParam of the progress event that announces a new file.
constexpr std::intptr_t kFileStarts = 0;
} // namespace

CFileJob::CFileJob() = default;

CFileJob::~CFileJob() = default;

void CFileJob::Run()
{
    m_filesMaximum.store(static_cast<int>(m_files.size()));
    for (int i = 0; i < m_files.size(); ++i) {
        if (IsCancelRequested()) {
            break;
        }
        m_currentFileIndex.store(i);
        m_filesPosition.store(i + 1);
        SetFileRange(0);
        CAppEvent::Post(m_progressReceiver, AppEventType::kJobProgress, i, kFileStarts);
        ProcessFile(m_files.at(i));
    }
}

QStringList CFileJob::Failures() const
{
    const std::lock_guard lock(m_failuresMutex);
    return m_failures;
}

void CFileJob::PostFileProgress(int position) const
{
    CAppEvent::Post(m_progressReceiver, AppEventType::kJobProgress, CurrentFileIndex(), position);
}

void CFileJob::ReportFailure(const QString& message, bool showUser)
{
    {
        const std::lock_guard lock(m_failuresMutex);
        m_failures.append(message);
    }
    if (showUser && m_messageHandler) {
        m_messageHandler(message);
    }
}

void CFileJob::ReportOpenError(const QString& path)
{
    ReportFailure(QStringLiteral("Open File %1 Error").arg(path), true);
}
