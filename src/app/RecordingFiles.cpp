#include "app/RecordingFiles.h"

#include "app/RecordingRow.h"
#include "platform/NoReplaceRename.h"
#include "platform/ReplacementFile.h"
#include "platform/Trash.h"
#include "platform/Volumes.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr qint64 kCopyBlockSize = 1024 * 1024;

using RecordingFiles::FileResult;

int LastErrorOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}
} // namespace

namespace RecordingFiles
{
bool IsDeletedForGood(const QString& path)
{
    // A player's trash would keep the space the user deletes files to free.
    return Volumes::IsOnRemovableVolume(path);
}

FileResult Discard(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(native.constData(), &info) != 0) {
        return FileResult::Failure(LastErrorOr(ENOENT), path);
    }
    // The list holds files; a folder that took a file's place is not swept away with it.
    if (S_ISDIR(info.st_mode)) {
        return FileResult::Failure(EISDIR, path);
    }
    if (IsDeletedForGood(path)) {
        errno = 0;
        if (::unlink(native.constData()) != 0) {
            return FileResult::Failure(LastErrorOr(EIO), path);
        }
        return FileResult::Success();
    }
    const CTrash::Result trashed = CTrash::MoveToTrash(path);
    return trashed.ok ? FileResult::Success() : FileResult::Failure(trashed.error, path);
}

FileResult RenameInFolder(const QString& folder, const QString& oldName, const QString& newName)
{
    const QString from = RecordingRows::JoinPath(folder, oldName);
    const QString to = RecordingRows::JoinPath(folder, newName);
    if (!IsPlainName(newName)) {
        return FileResult::Failure(EINVAL, to);
    }
    if (oldName == newName) {
        return FileResult::Success();
    }
    errno = 0;
    const int error = NoReplaceRename::Rename(QFile::encodeName(from), QFile::encodeName(to));
    return error == 0 ? FileResult::Success() : FileResult::Failure(error, from);
}

FileResult CopyReplacing(const QString& source, const QString& target)
{
    errno = 0;
    QFile input(source);
    if (!QFileInfo(source).isFile() || !input.open(QIODevice::ReadOnly)) {
        return FileResult::Failure(LastErrorOr(ENOENT), source);
    }
    CReplacementFile replacement(target);
    errno = 0;
    if (!replacement.Create()) {
        return FileResult::Failure(LastErrorOr(EACCES), target);
    }
    QFile output(replacement.TemporaryPath());
    if (!output.open(QIODevice::WriteOnly)) {
        return FileResult::Failure(LastErrorOr(EACCES), target);
    }
    while (!input.atEnd()) {
        errno = 0;
        const QByteArray block = input.read(kCopyBlockSize);
        if (block.isEmpty() && input.error() != QFileDevice::NoError) {
            return FileResult::Failure(LastErrorOr(EIO), source);
        }
        errno = 0;
        if (output.write(block) != block.size()) {
            return FileResult::Failure(LastErrorOr(ENOSPC), target);
        }
    }
    errno = 0;
    if (!output.flush() || !output.setPermissions(input.permissions())) {
        return FileResult::Failure(LastErrorOr(EIO), target);
    }
    output.close();
    errno = 0;
    if (!replacement.Commit()) {
        return FileResult::Failure(LastErrorOr(EACCES), target);
    }
    return FileResult::Success();
}

QString ErrorMessage(int error, const QString& path)
{
    const char* text = "An unknown error occurred while accessing %1.";
    switch (error) {
    case ENOENT:
        text = "%1 was not found.";
        break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EISDIR:
        text = "%1 contains an invalid path.";
        break;
    case EMFILE:
    case ENFILE:
        text = "%1 could not be opened because there are too many open files.";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EEXIST:
        text = "Access to %1 was denied.";
        break;
    case EBADF:
        text = "An invalid file handle was associated with %1.";
        break;
    case EMLINK:
        text = "%1 could not be created because the directory is full.";
        break;
    case ESPIPE:
        text = "Seek failed on %1";
        break;
    case EIO:
        text = "A hardware I/O error was reported while accessing %1.";
        break;
    case EBUSY:
    case ETXTBSY:
        text = "A sharing violation occurred while accessing %1.";
        break;
    case ENOLCK:
    case EDEADLK:
        text = "A locking violation occurred while accessing %1.";
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        text = "Disk full while accessing %1.";
        break;
    default:
        break;
    }
    return QString::fromLatin1(text).arg(path);
}

QString ErrorMessage(const FileResult& result)
{
    return ErrorMessage(result.error, result.failedPath);
}
} // namespace RecordingFiles
