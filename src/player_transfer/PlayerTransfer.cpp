#include "player_transfer/PlayerTransfer.h"

#include "platform/FileLock.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <vector>

namespace
{
constexpr QChar kSeparator = QLatin1Char('/');
const QString kMp3Extension = QStringLiteral(".mp3");
// A shorter path cannot be a folder plus a name ending in the extension.
constexpr qsizetype kShortestFilePath = 4;

// Renames without ever replacing an existing file: a move that would overwrite fails instead.
// Never copies, so a move to another volume fails and the file stays where it is.
bool MoveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // File systems without the no-replace flag: check first, then rename.
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return false;
    return std::rename(source.constData(), target.constData()) == 0;
}

bool IsPlainFolder(const QFileInfo& entry)
{
    return entry.isDir() && !entry.isSymLink() && !entry.isHidden() && entry.permission(QFile::WriteOwner);
}

void Step(const PlayerTransfer::ProgressSink& progress, int index)
{
    if (progress.step)
        progress.step(index);
}
} // namespace

namespace PlayerTransfer
{
QStringList ListRemovableDrives()
{
    QStringList drives;
    for (const Volumes::Drive& drive : Volumes::Drives(Volumes::MountPoints())) {
        if (drive.type == Volumes::DriveType::Removable)
            drives.append(drive.rootPath);
    }
    drives.sort();
    return drives;
}

QString VolumeRootOf(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString best;
    for (const Volumes::Drive& drive : Volumes::Drives(Volumes::MountPoints())) {
        const QString root = drive.rootPath;
        const bool inside = root == QString(kSeparator) || absolute.startsWith(root) || absolute + kSeparator == root;
        if (inside && root.size() > best.size())
            best = root;
    }
    return best;
}

bool IsOnRemovableDrive(const QString& path)
{
    const QString root = VolumeRootOf(path);
    if (root.isEmpty())
        return false;
    for (const Volumes::Drive& drive : Volumes::Drives(Volumes::MountPoints())) {
        if (drive.rootPath == root)
            return drive.type == Volumes::DriveType::Removable;
    }
    return false;
}

bool CanReorder(const QStringList& paths)
{
    return !paths.isEmpty() && IsOnRemovableDrive(paths.first());
}

bool FindMp3Files(const QString& folder, QStringList& files)
{
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return false;
    QString base = folder;
    while (base.size() > 1 && base.endsWith(kSeparator))
        base.chop(1);
    if (base == QString(kSeparator))
        base.clear();
    // Directory order: the order the player plays in.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        const QString path = base + kSeparator + entry.fileName();
        if (entry.isDir()) {
            if (IsPlainFolder(entry))
                FindMp3Files(path, files);
            continue;
        }
        if (path.size() > kShortestFilePath && path.endsWith(kMp3Extension, Qt::CaseInsensitive))
            files.append(path);
    }
    return true;
}

ReorderResult ReorderOnPlayer(const QStringList& paths, const ProgressSink& progress)
{
    ReorderResult result;
    if (paths.isEmpty())
        return result;
    const QString root = VolumeRootOf(paths.first());
    if (root.isEmpty()) {
        result.keptInPlace = paths;
        return result;
    }
    const QString temporaryFolder = root + QLatin1String(kTemporaryFolderName) + kSeparator;
    QDir().mkdir(temporaryFolder);
    if (progress.setRange)
        progress.setRange(int(paths.size()));

    const auto temporaryName = [&temporaryFolder](qsizetype index) { return temporaryFolder + QString::number(index); };
    std::vector<bool> movedOut(size_t(paths.size()), false);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        // Files of other volumes keep their place, even when a rename could reach them. A file
        // another task is writing keeps its place too: that task will put its result at the
        // path, where a file moved out could no longer come back.
        CFileLock lock;
        if (VolumeRootOf(paths[i]) == root &&
            lock.Acquire(paths[i], CFileLock::Mode::Exclusive) != CFileLock::Result::Busy &&
            MoveWithoutReplacing(paths[i], temporaryName(i)))
            movedOut[size_t(i)] = true;
        else
            result.keptInPlace.append(paths[i]);
        Step(progress, int(i));
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (movedOut[size_t(i)]) {
            if (MoveWithoutReplacing(temporaryName(i), paths[i]))
                ++result.reordered;
            else
                result.stranded.append({paths[i], temporaryName(i)});
        }
        Step(progress, int(i));
    }
    // Only an empty folder goes; one still holding a file keeps that file reachable.
    QDir().rmdir(temporaryFolder);
    return result;
}
} // namespace PlayerTransfer
