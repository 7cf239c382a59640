#include "platform/ReplacementFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int kNameAttempts = 100;
// New files get what any program's new files get: read and write for all, less the umask.
constexpr mode_t kNewFileMode = 0666;
constexpr int kRandomHexDigits = 6;
constexpr quint32 kRandomMask = 0xFFFFFF;
// A named temporary untouched this long belongs to no live job, whatever its PID says (the
// number may have been given to another process since).
constexpr qint64 kAbandonedAfterSeconds = 24 * 60 * 60;
constexpr std::size_t kCopyBlockBytes = 1 << 16;

// Where an open file can be named by its descriptor.
constexpr const char* kOpenFileFolder = "/proc/self/fd/";

std::atomic<bool> g_unnamedAllowed{true};

QString TemporaryName()
{
    return QStringLiteral(".sorvane-%1-%2.tmp")
        .arg(::getpid())
        .arg(QRandomGenerator::global()->generate() & kRandomMask, kRandomHexDigits, 16, QLatin1Char('0'));
}

const QRegularExpression& TemporaryNamePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\.sorvane-(\\d+)-[0-9a-f]{6}\\.tmp$"));
    return pattern;
}

bool ProcessRunning(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Sweeps each folder once per process: a split into many parts must not rescan it every time.
bool FirstVisit(const QString& folder)
{
    static std::mutex mutex;
    static std::set<QString> visited;
    const std::lock_guard lock(mutex);
    return visited.insert(folder).second;
}

bool IsRegularOrAbsent(const QByteArray& path)
{
    struct stat info
    {
    };
    return ::lstat(path.constData(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode);
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // No such flag here: a hard link fails on an existing name just the same.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    // Nor hard links (FAT): check, then rename; the window between them is tiny.
    struct stat info
    {
    };
    if (::lstat(to.constData(), &info) == 0) {
        return EEXIST;
    }
    return std::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}
} // namespace

CReplacementFile::CReplacementFile(const QString& targetPath, Mode mode)
    : m_targetPath(targetPath)
    , m_mode(mode)
{}

CReplacementFile::~CReplacementFile()
{
    if (!m_committed) {
        Discard();
    }
}

void CReplacementFile::SetUnnamedTemporariesAllowed(bool allowed)
{
    g_unnamedAllowed = allowed;
}

bool CReplacementFile::IsTemporaryPath(const QString& path)
{
    return path.startsWith(QLatin1String(kOpenFileFolder)) ||
           TemporaryNamePattern().match(QFileInfo(path).fileName()).hasMatch();
}

int CReplacementFile::SweepStaleTemporaries(const QString& folder)
{
    int removed = 0;
    const QDateTime abandoned = QDateTime::currentDateTimeUtc().addSecs(-kAbandonedAfterSeconds);
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QRegularExpressionMatch match = TemporaryNamePattern().match(entry.fileName());
        if (!match.hasMatch() || entry.isSymLink()) {
            continue;
        }
        const auto pid = static_cast<pid_t>(match.captured(1).toLongLong());
        const bool ours = pid == ::getpid();
        const bool stale = (!ours && !ProcessRunning(pid)) || entry.lastModified().toUTC() < abandoned;
        if (stale && QFile::remove(entry.filePath())) {
            ++removed;
        }
    }
    return removed;
}

bool CReplacementFile::Create()
{
    Discard();
    const QFileInfo target(m_targetPath);
    if (m_targetPath.isEmpty()) {
        return false;
    }
    m_finalPath = target.isSymLink() ? target.canonicalFilePath() : target.absoluteFilePath();
    if (m_finalPath.isEmpty()) {
        return false; // a link to nothing
    }
    const QString folder = QFileInfo(m_finalPath).absolutePath();
    if (FirstVisit(folder)) {
        SweepStaleTemporaries(folder);
    }
    return CreateUnnamed(folder) || CreateNamed(folder);
}

bool CReplacementFile::CreateUnnamed(const QString& folder)
{
    if (!g_unnamedAllowed) {
        return false;
    }
    const int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        return false;
    }
    // Writers open the file again by this name; without /proc there is no such name.
    const QString path = QLatin1String(kOpenFileFolder) + QString::number(fd);
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        ::close(fd);
        return false;
    }
    m_unnamedFd = fd;
    m_temporaryPath = path;
    return true;
}

bool CReplacementFile::CreateNamed(const QString& folder)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = folder + QLatin1Char('/') + TemporaryName();
        const int fd =
            ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0) {
            ::close(fd);
            m_temporaryPath = candidate;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool CReplacementFile::Flush() const
{
    if (m_unnamedFd >= 0) {
        return ::fsync(m_unnamedFd) == 0;
    }
    const int fd = ::open(QFile::encodeName(m_temporaryPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool CReplacementFile::Commit()
{
    if (m_temporaryPath.isEmpty() || !Flush()) {
        return false;
    }
    bool done = false;
    switch (m_mode) {
    case Mode::CreateNew:
        done = TakeName(false);
        break;
    case Mode::Replace:
        done = TakeName(true);
        break;
    case Mode::RewriteInPlace: {
        struct stat original
        {
        };
        if (::lstat(QFile::encodeName(m_finalPath).constData(), &original) != 0 || !S_ISREG(original.st_mode)) {
            return false;
        }
        const QByteArray temporary = QFile::encodeName(m_temporaryPath);
        const bool sameOwner = ::chown(temporary.constData(), original.st_uid, original.st_gid) == 0;
        if (::chmod(temporary.constData(), original.st_mode & ALLPERMS) != 0) {
            return false;
        }
        // Renaming would split the other hard links off the new content, or hand the file to
        // whoever runs Sorvane: then the new content is copied into the original inode instead.
        // It is complete before the copy starts, so only a crash during the copy itself (a
        // moment for an MP3) could leave a mixture.
        if (original.st_nlink > 1 || !sameOwner) {
            done = CopyOverFinal();
            if (done) {
                Discard();
            }
        } else {
            done = TakeName(true);
        }
        break;
    }
    }
    if (done) {
        m_committed = true;
        m_temporaryPath.clear();
    }
    return done;
}

bool CReplacementFile::TakeName(bool replacing)
{
    const QByteArray final = QFile::encodeName(m_finalPath);
    // Only a regular file is ever replaced; a device, FIFO or folder that took the name since
    // the job started is left alone.
    if (replacing && !IsRegularOrAbsent(final)) {
        errno = EEXIST;
        return false;
    }
    QByteArray named = QFile::encodeName(m_temporaryPath);
    if (m_unnamedFd >= 0) {
        if (!replacing) {
            if (::linkat(AT_FDCWD, named.constData(), AT_FDCWD, final.constData(), AT_SYMLINK_FOLLOW) != 0) {
                return false;
            }
            ::close(m_unnamedFd);
            m_unnamedFd = -1;
            return true;
        }
        // linkat cannot replace: the file gets a short name of its own first, then is renamed over.
        const QString folder = QFileInfo(m_finalPath).absolutePath();
        bool linked = false;
        for (int attempt = 0; attempt < kNameAttempts && !linked; ++attempt) {
            const QByteArray candidate = QFile::encodeName(folder + QLatin1Char('/') + TemporaryName());
            if (::linkat(AT_FDCWD, named.constData(), AT_FDCWD, candidate.constData(), AT_SYMLINK_FOLLOW) == 0) {
                named = candidate;
                linked = true;
            } else if (errno != EEXIST) {
                return false;
            }
        }
        if (!linked) {
            return false;
        }
        ::close(m_unnamedFd);
        m_unnamedFd = -1;
        if (std::rename(named.constData(), final.constData()) != 0) {
            ::unlink(named.constData());
            return false;
        }
        return true;
    }
    if (replacing) {
        return std::rename(named.constData(), final.constData()) == 0;
    }
    const int error = RenameNoReplace(named, final);
    errno = error;
    return error == 0;
}

bool CReplacementFile::CopyOverFinal() const
{
    QFile source(m_temporaryPath);
    if (!source.open(QIODevice::ReadOnly)) {
        return false;
    }
    const int fd = ::open(QFile::encodeName(m_finalPath).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    bool copied = true;
    std::vector<char> block(kCopyBlockBytes);
    off_t length = 0;
    while (copied) {
        const qint64 got = source.read(block.data(), static_cast<qint64>(block.size()));
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        qint64 done = 0;
        while (done < got) {
            const ssize_t written = ::write(fd, block.data() + done, static_cast<std::size_t>(got - done));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                copied = false;
                break;
            }
            done += written;
        }
        length += static_cast<off_t>(done);
    }
    copied = copied && ::ftruncate(fd, length) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && copied;
}

void CReplacementFile::Discard()
{
    if (m_unnamedFd >= 0) {
        ::close(m_unnamedFd);
        m_unnamedFd = -1;
    } else if (!m_temporaryPath.isEmpty()) {
        QFile::remove(m_temporaryPath);
    }
    m_temporaryPath.clear();
}
