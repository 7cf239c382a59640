#include "cli/JobProgress.h"

#include "platform/AppEvent.h"

#include <QFileInfo>

CJobProgress::CJobProgress(QStringList files, RangeQuery range, double unitsPerSecond)
    : m_files(std::move(files))
    , m_range(std::move(range))
    , m_unitsPerSecond(unitsPerSecond > 0 ? unitsPerSecond : 1.0)
{}

bool CJobProgress::event(QEvent* event)
{
    if (event->type() != static_cast<QEvent::Type>(AppEventType::kJobProgress)) {
        return QObject::event(event);
    }
    const auto* progress = static_cast<const CAppEvent*>(event);
    Show(static_cast<int>(progress->WParam()), static_cast<int>(progress->LParam()));
    return true;
}

void CJobProgress::Show(int fileIndex, int position)
{
    if (!m_line.IsShown() || fileIndex < 0 || fileIndex >= m_files.size()) {
        return;
    }
    if (fileIndex != m_fileIndex) {
        m_secondsBefore += m_fileSeconds;
        m_fileSeconds = 0;
        m_fileIndex = fileIndex;
    }
    m_fileSeconds = position / m_unitsPerSecond;
    QString label = QFileInfo(m_files.at(fileIndex)).fileName();
    if (m_files.size() > 1) {
        label = QStringLiteral("[%1/%2] %3").arg(fileIndex + 1).arg(m_files.size()).arg(label);
    }
    const double fileTotal = m_range ? m_range() / m_unitsPerSecond : 0.0;
    // The percent is the current file's; the speed is the whole job's.
    m_line.Update(label, CProgressLine::Percent(m_fileSeconds, fileTotal), m_secondsBefore + m_fileSeconds);
}
