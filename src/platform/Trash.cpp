#include "platform/Trash.h"

#include "platform/NoReplaceRename.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kInfoFileMode = 0600;
constexpr int kMaxNameAttempts = 10000;
constexpr int kFirstNumberedName = 2;
constexpr const char* kDefaultDataHome = ".local/share";
constexpr const char* kTrashFolder = "Trash";
constexpr const char* kAdminTrashFolder = ".Trash";
constexpr const char* kUserTrashPrefix = ".Trash-";

CTrash::Result Failure(int error)
{
    CTrash::Result result;
    result.error = error != 0 ? error : EIO;
    return result;
}

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

bool Stat(const QString& path, struct stat& info)
{
    return ::lstat(Native(path).constData(), &info) == 0;
}

// A folder of ours: made private when missing, and refused when something else stands there.
int EnsurePrivateFolder(const QString& path)
{
    if (::mkdir(Native(path).constData(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        return errno;
    }
    struct stat info
    {
    };
    if (!Stat(path, info)) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

// The device of path, or of the nearest folder above it that exists.
bool DeviceOfNearest(const QString& path, dev_t& device)
{
    QString current = QDir::cleanPath(path);
    while (true) {
        struct stat info
        {
        };
        if (::stat(Native(current).constData(), &info) == 0) {
            device = info.st_dev;
            return true;
        }
        const QString parent = QFileInfo(current).path();
        if (parent == current) {
            return false;
        }
        current = parent;
    }
}

// NAME, then NAME.2.EXT, NAME.3.EXT ...; a name with no extension gets the number at its end.
QString CandidateName(const QString& name, int attempt)
{
    if (attempt < kFirstNumberedName) {
        return name;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString number = QString::number(attempt);
    if (dot <= 0) {
        return name + QLatin1Char('.') + number;
    }
    return name.left(dot) + QLatin1Char('.') + number + name.mid(dot);
}

QByteArray InfoContents(const QString& absolutePath)
{
    QByteArray text(CTrash::kInfoHeader);
    text += "\nPath=";
    text += Native(absolutePath).toPercentEncoding("/");
    text += "\nDeletionDate=";
    text += QDateTime::currentDateTime().toString(QLatin1String(CTrash::kDeletionDateFormat)).toLatin1();
    text += '\n';
    return text;
}

bool WriteAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += written;
    }
    return true;
}

class CInfoFile
{
public:
    explicit CInfoFile(QString path)
        : m_path(std::move(path))
        , m_fd(::open(Native(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kInfoFileMode))
    {}
    ~CInfoFile()
    {
        Close();
        if (!m_kept) {
            ::unlink(Native(m_path).constData());
        }
    }
    CInfoFile(const CInfoFile&) = delete;
    CInfoFile& operator=(const CInfoFile&) = delete;

    bool IsCreated() const { return m_fd >= 0; }
    bool Write(const QByteArray& bytes) { return WriteAll(m_fd, bytes) && ::fsync(m_fd) == 0; }
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    // The file it describes is in the trash: the info stays.
    void Keep() { m_kept = true; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_kept = false;
};
} // namespace

QString CTrash::HomeTrashDirectory()
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!dataHome.isEmpty() && QDir::isAbsolutePath(dataHome)) {
        return QDir::cleanPath(dataHome + QLatin1Char('/') + QLatin1String(kTrashFolder));
    }
    // A relative or empty variable is ignored, as the base directory rules ask; the current
    // folder is never a trash.
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
        return {};
    }
    return QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(kDefaultDataHome) + QLatin1Char('/') +
                           QLatin1String(kTrashFolder));
}

CTrash::Result CTrash::MoveToTrash(const QString& path)
{
    struct stat info
    {
    };
    if (path.isEmpty() || !Stat(path, info)) {
        return Failure(path.isEmpty() ? ENOENT : errno);
    }
    const QString homeTrash = HomeTrashDirectory();
    dev_t homeDevice = 0;
    if (!homeTrash.isEmpty() && DeviceOfNearest(homeTrash, homeDevice) && homeDevice == info.st_dev) {
        // The folders above the home trash are ordinary ones; only the trash itself is private.
        if (!QDir().mkpath(QFileInfo(homeTrash).path())) {
            return Failure(EACCES);
        }
        return MoveInto(path, homeTrash);
    }
    const QString top = TopDirectoryOf(path);
    if (top.isEmpty()) {
        return Failure(ENOENT);
    }
    return MoveToVolumeTrash(path, top);
}

CTrash::Result CTrash::MoveToVolumeTrash(const QString& path, const QString& topDirectory)
{
    const QString uid = QString::number(::getuid());
    const QString adminTrash = topDirectory + QLatin1Char('/') + QLatin1String(kAdminTrashFolder);
    struct stat admin
    {
    };
    // A .Trash that is a link, or lacks the sticky bit, could let another user see or steal
    // what is put there: it is not used.
    if (Stat(adminTrash, admin) && S_ISDIR(admin.st_mode) && (admin.st_mode & S_ISVTX) != 0) {
        const QString userFolder = adminTrash + QLatin1Char('/') + uid;
        if (EnsurePrivateFolder(userFolder) == 0) {
            return MoveInto(path, userFolder);
        }
    }
    const QString userTrash = topDirectory + QLatin1Char('/') + QLatin1String(kUserTrashPrefix) + uid;
    if (const int error = EnsurePrivateFolder(userTrash); error != 0) {
        return Failure(error);
    }
    struct stat own
    {
    };
    if (!Stat(userTrash, own) || own.st_uid != ::getuid()) {
        return Failure(EACCES);
    }
    return MoveInto(path, userTrash);
}

QString CTrash::TopDirectoryOf(const QString& path)
{
    QString current = QFileInfo(QFileInfo(path).absoluteFilePath()).path();
    struct stat info
    {
    };
    if (::stat(Native(current).constData(), &info) != 0) {
        return {};
    }
    const dev_t device = info.st_dev;
    while (true) {
        const QString parent = QFileInfo(current).path();
        struct stat parentInfo
        {
        };
        if (parent == current || ::stat(Native(parent).constData(), &parentInfo) != 0 || parentInfo.st_dev != device) {
            return current;
        }
        current = parent;
    }
}

CTrash::Result CTrash::MoveInto(const QString& path, const QString& trashDirectory)
{
    const QString filesFolder = trashDirectory + QLatin1Char('/') + QLatin1String(kFilesFolder);
    const QString infoFolder = trashDirectory + QLatin1Char('/') + QLatin1String(kInfoFolder);
    for (const QString& folder : {trashDirectory, filesFolder, infoFolder}) {
        if (const int error = EnsurePrivateFolder(folder); error != 0) {
            return Failure(error);
        }
    }
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    const QString name = QFileInfo(absolutePath).fileName();
    if (name.isEmpty()) {
        return Failure(EINVAL);
    }
    const QByteArray contents = InfoContents(absolutePath);
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const QString trashName = CandidateName(name, attempt);
        const QString infoPath = infoFolder + QLatin1Char('/') + trashName + QLatin1String(kInfoSuffix);
        const QString trashedPath = filesFolder + QLatin1Char('/') + trashName;
        // The info file is made first and exclusively: it reserves the name against any other
        // program trashing a file of the same name at the same moment.
        CInfoFile infoFile(infoPath);
        if (!infoFile.IsCreated()) {
            if (errno == EEXIST) {
                continue;
            }
            return Failure(errno);
        }
        if (!infoFile.Write(contents) || !infoFile.Close()) {
            return Failure(errno);
        }
        const int error = NoReplaceRename::Rename(Native(absolutePath), Native(trashedPath));
        if (error == EEXIST) {
            continue; // a file without its info took the name
        }
        if (error != 0) {
            return Failure(error);
        }
        infoFile.Keep();
        Result result;
        result.ok = true;
        result.trashedPath = trashedPath;
        result.infoPath = infoPath;
        return result;
    }
    return Failure(EEXIST);
}
