#pragma once

#include "record/RecordingTestHelpers.h"
#include "support/SoundServerLock.h"
#include "support/TestSoundServer.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// Helpers of the end-to-end recording tests: the sorvane-cli program as a child process, and a
// writer that feeds the pipe source in real time.
namespace E2e
{
// Hang guards for waits on real time and on other processes, not speed requirements.
constexpr std::chrono::seconds kHangGuard{30};
constexpr int kProcessGuardMs = 60000;

// sorvane-cli running as a child process, its output collected line by line.
class CCliProcess
{
public:
    explicit CCliProcess(const QProcessEnvironment& environment);
    ~CCliProcess();

    bool Start(const QStringList& arguments);
    // Waits for a line on stdout that contains `text`; false when the program ended first or
    // the guard ran out.
    bool WaitForLine(const QString& text, std::chrono::milliseconds guard = kHangGuard);
    // Waits for the program to end by itself; false when the guard ran out.
    bool WaitForExit(std::chrono::milliseconds guard = kHangGuard);
    bool Signal(int signalNumber);
    // Takes in what the program printed, waiting up to `wait` for something new.
    void Poll(std::chrono::milliseconds wait);

    int ExitCode() const { return m_process.exitCode(); }
    bool Crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    QString Output();
    QString Errors();

private:
    void Collect();

    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

// Runs sorvane-cli to the end; its exit code, stdout and stderr.
TestSupport::ToolResult RunCli(const QProcessEnvironment& environment, const QStringList& arguments);

QString CliPath();

// Writes bytes into a pipe source's FIFO at the pace of real time (in steps of a tenth of a
// second), on a thread of its own, as a sound card would deliver them.
class CPipeFeeder
{
public:
    CPipeFeeder(QString pipePath, QByteArray bytes, int bytesPerSecond);
    ~CPipeFeeder(); // stops writing and joins

    void Cancel() { m_cancelled = true; }
    bool Done() const { return m_done; }
    bool Failed() const { return m_failed; }

private:
    void Feed();

    QString m_pipePath;
    QByteArray m_bytes;
    int m_bytesPerSecond;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};
} // namespace E2e
