#include "cli/StopSignalNotifier.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// The write end of the current notifier's pipe, for the signal handler.
std::atomic<int> g_signalPipe{-1};
constexpr int kReadEnd = 0;
constexpr int kWriteEnd = 1;
} // namespace

void CStopSignalNotifier::OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_signalPipe.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // Async-signal-safe; a full pipe already holds a pending stop.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

CStopSignalNotifier::CStopSignalNotifier(Handler handler)
    : m_handler(std::move(handler))
{
    if (g_signalPipe.load() >= 0 || ::pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe = {-1, -1};
        return;
    }
    g_signalPipe = m_pipe[kWriteEnd];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[kReadEnd], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Drain(); });

    struct sigaction action
    {
    };
    action.sa_handler = &CStopSignalNotifier::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &m_previous[i]);
    }
    m_installed = true;
}

CStopSignalNotifier::~CStopSignalNotifier()
{
    if (m_installed) {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        }
        g_signalPipe = -1;
    }
    m_notifier.reset();
    for (const int fd : m_pipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void CStopSignalNotifier::Drain()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(m_pipe[kReadEnd], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0 && m_handler) {
        m_handler(last);
    }
}
