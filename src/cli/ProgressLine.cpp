#include "cli/ProgressLine.h"

#include "cli/CliOutput.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace
{
constexpr int kFullPercent = 100;
constexpr qint64 kMsPerSecond = 1000;
constexpr qint64 kSecondsPerMinute = 60;
// Often enough to look alive, seldom enough that a fast job does not spend its time drawing.
constexpr qint64 kRedrawIntervalMs = 100;
// Below this the speed is mostly the start-up's noise.
constexpr qint64 kMinWallMsForSpeed = 200;
// Back to the line's start and clear it, so a shorter line leaves nothing of a longer one.
constexpr const char* kRedrawPrefix = "\r\033[K";
} // namespace

CProgressLine::CProgressLine()
    : m_shown(!CCliOutput::IsQuiet() && ::isatty(STDERR_FILENO) != 0)
{
    m_clock.start();
}

CProgressLine::~CProgressLine()
{
    End();
}

int CProgressLine::Percent(double done, double total)
{
    if (total <= 0) {
        return kNoPercent;
    }
    return std::clamp(static_cast<int>(done * kFullPercent / total), 0, kFullPercent);
}

QString CProgressLine::Text(const QString& label, int percent, double soundSeconds, qint64 wallMs)
{
    QString text = label;
    if (percent != kNoPercent) {
        text += QStringLiteral("  %1%").arg(percent, 3);
    }
    const qint64 wallSeconds = wallMs / kMsPerSecond;
    text += QStringLiteral("  %1:%2 elapsed")
                .arg(wallSeconds / kSecondsPerMinute)
                .arg(wallSeconds % kSecondsPerMinute, 2, 10, QLatin1Char('0'));
    if (wallMs >= kMinWallMsForSpeed) {
        const double speed = soundSeconds * double(kMsPerSecond) / double(wallMs);
        text += QStringLiteral("  %1x real time").arg(speed, 0, 'f', 1);
    }
    return text;
}

void CProgressLine::Update(const QString& label, int percent, double soundSeconds)
{
    if (!m_shown) {
        return;
    }
    const bool changedItem = label != m_label;
    m_label = label;
    m_percent = percent;
    m_soundSeconds = soundSeconds;
    const qint64 now = m_clock.elapsed();
    if (!m_drawn || changedItem || now - m_lastDrawMs >= kRedrawIntervalMs) {
        Draw();
    }
}

void CProgressLine::End()
{
    if (!m_drawn) {
        return;
    }
    Draw();
    std::fputc('\n', stderr);
    std::fflush(stderr);
    m_drawn = false;
}

void CProgressLine::Draw()
{
    m_lastDrawMs = m_clock.elapsed();
    const QString text = Text(m_label, m_percent, m_soundSeconds, m_lastDrawMs);
    std::fprintf(stderr, "%s%s", kRedrawPrefix, text.toLocal8Bit().constData());
    std::fflush(stderr);
    m_drawn = true;
}
