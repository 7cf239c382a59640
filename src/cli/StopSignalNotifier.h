#pragma once

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

// Turns SIGINT, SIGTERM and SIGHUP into a call on the main thread's event loop, so a Ctrl+C or
// a service manager's stop ends a recording the same way the Stop command does. The signal
// handler only writes the signal number into a pipe. One notifier at a time; the previous
// handlers come back when it goes.
class CStopSignalNotifier
{
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit CStopSignalNotifier(Handler handler);
    ~CStopSignalNotifier();
    CStopSignalNotifier(const CStopSignalNotifier&) = delete;
    CStopSignalNotifier& operator=(const CStopSignalNotifier&) = delete;

    bool IsInstalled() const { return m_installed; }

private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

    static void OnSignal(int signalNumber);
    void Drain();

    Handler m_handler;
    std::array<int, 2> m_pipe{-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::array<struct sigaction, kSignals.size()> m_previous{};
    bool m_installed = false;
};
