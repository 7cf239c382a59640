#include "E2eSupport.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <signal.h>

namespace E2e
{
namespace
{
constexpr int kPollMs = 50;
constexpr int kStepsPerSecond = 10;
} // namespace

QString CliPath()
{
    return TestSupport::BinaryDirectory() + QStringLiteral("/sorvane-cli");
}

CCliProcess::CCliProcess(const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
}

CCliProcess::~CCliProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kProcessGuardMs);
    }
}

bool CCliProcess::Start(const QStringList& arguments)
{
    m_process.start(CliPath(), arguments);
    return m_process.waitForStarted(kProcessGuardMs);
}

void CCliProcess::Collect()
{
    m_out += m_process.readAllStandardOutput();
    m_err += m_process.readAllStandardError();
}

bool CCliProcess::WaitForLine(const QString& text, std::chrono::milliseconds guard)
{
    QDeadlineTimer deadline(guard);
    const QByteArray wanted = text.toUtf8();
    while (true) {
        Collect();
        for (const QByteArray& line : m_out.split('\n')) {
            if (line.contains(wanted)) {
                return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            return false;
        }
        m_process.waitForReadyRead(kPollMs);
    }
}

bool CCliProcess::WaitForExit(std::chrono::milliseconds guard)
{
    const bool finished = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(int(guard.count()));
    Collect();
    return finished;
}

void CCliProcess::Poll(std::chrono::milliseconds wait)
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(int(wait.count()));
    }
    Collect();
}

bool CCliProcess::Signal(int signalNumber)
{
    const qint64 pid = m_process.processId();
    return pid > 0 && ::kill(pid_t(pid), signalNumber) == 0;
}

QString CCliProcess::Output()
{
    Collect();
    return QString::fromUtf8(m_out);
}

QString CCliProcess::Errors()
{
    Collect();
    return QString::fromUtf8(m_err);
}

TestSupport::ToolResult RunCli(const QProcessEnvironment& environment, const QStringList& arguments)
{
    CCliProcess process(environment);
    TestSupport::ToolResult result;
    if (!process.Start(arguments)) {
        return result;
    }
    if (process.WaitForExit(std::chrono::milliseconds(kProcessGuardMs)) && !process.Crashed()) {
        result.exitCode = process.ExitCode();
    }
    result.out = process.Output().toUtf8();
    result.err = process.Errors().toUtf8();
    return result;
}

CPipeFeeder::CPipeFeeder(QString pipePath, QByteArray bytes, int bytesPerSecond)
    : m_pipePath(std::move(pipePath))
    , m_bytes(std::move(bytes))
    , m_bytesPerSecond(bytesPerSecond)
    , m_thread([this] { Feed(); })
{}

CPipeFeeder::~CPipeFeeder()
{
    m_cancelled = true;
    m_thread.join();
}

void CPipeFeeder::Feed()
{
    // Whole sample frames per step, so both channels stay in place.
    constexpr int kFrameBytes = 4;
    const qsizetype step = qsizetype(m_bytesPerSecond / kStepsPerSecond / kFrameBytes * kFrameBytes);
    const auto start = std::chrono::steady_clock::now();
    for (qsizetype offset = 0, index = 0; offset < m_bytes.size() && !m_cancelled; offset += step, ++index) {
        std::this_thread::sleep_until(start + index * std::chrono::milliseconds(1000 / kStepsPerSecond));
        if (!TestSoundServer::WriteToPipe(m_pipePath, m_bytes.mid(offset, step))) {
            m_failed = true;
            break;
        }
    }
    m_done = true;
}
} // namespace E2e
