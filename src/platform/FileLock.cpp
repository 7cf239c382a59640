#include "platform/FileLock.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr std::chrono::milliseconds kRetryInterval{20};

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
} // namespace

CFileLock::~CFileLock()
{
    Release();
}

CFileLock::CFileLock(CFileLock&& other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

CFileLock& CFileLock::operator=(CFileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void CFileLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd); // closing the only descriptor of the open file drops its lock
        m_fd = -1;
    }
}

CFileLock::Result CFileLock::Acquire(const QString& path, Mode mode, int waitMs)
{
    Release();
    const QByteArray name = QFile::encodeName(path);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const int operation = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    for (;;) {
        // Non-blocking, so that a FIFO at the path cannot hang the open.
        const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return errno == ENOENT || errno == ENOTDIR ? Result::NoFile : Result::Failed;
        }
        struct stat locked = {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            return Result::NoFile;
        }
        bool gotLock = false;
        for (;;) {
            if (::flock(fd, operation) == 0) {
                gotLock = true;
                break;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                return Result::Busy;
            }
            std::this_thread::sleep_for(kRetryInterval);
        }
        if (!gotLock) {
            ::close(fd);
            return Result::Failed;
        }
        // The holder we waited for may have renamed a new file over the path: lock that one.
        struct stat current = {};
        if (::stat(name.constData(), &current) != 0) {
            ::close(fd);
            return Result::NoFile;
        }
        if (SameFile(locked, current)) {
            m_fd = fd;
            return Result::Locked;
        }
        ::close(fd);
        if (std::chrono::steady_clock::now() >= deadline) {
            return Result::Busy; // replaced again and again: someone keeps writing it
        }
    }
}

QString CFileLock::BusyText(const QString& path)
{
    return QStringLiteral("%1 is busy: another Sorvane task is writing it").arg(path);
}
