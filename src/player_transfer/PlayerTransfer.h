#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

// The MP3 files of a portable player that shows up as a removable volume: finding them, and
// re-creating their directory entries in a wanted order so the player's play order follows it.
// Files are only moved out to a temporary folder on the player and back; no content is touched.
namespace PlayerTransfer
{
// The folder, at the root of the player's volume, that holds the files between the two passes.
constexpr const char* kTemporaryFolderName = "temp____0";

// How a long operation tells its progress window what it is doing.
struct ProgressSink
{
    std::function<void(int count)> setRange;
    std::function<void(int index)> step;
};

struct ReorderResult
{
    // Files whose directory entry was re-created in list order.
    int reordered = 0;
    // Files left where they were: on another volume, busy with another Sorvane task, or their
    // move out failed.
    QStringList keptInPlace;
    // Files that went out to the temporary folder and could not be moved back: the original
    // path and where the file is now. Such a file keeps the temporary folder in place.
    QList<QPair<QString, QString>> stranded;
};

// The root folders (ending with a separator) of the removable volumes, by path.
QStringList ListRemovableDrives();
// The root folder of the volume holding `path`, ending with a separator; "" when none is known.
QString VolumeRootOf(const QString& path);
// True when the volume holding `path` is removable.
bool IsOnRemovableDrive(const QString& path);
// Whether the order of `paths` can be written to a player: a first path on a removable volume.
bool CanReorder(const QStringList& paths);

// Appends every MP3 file (extension .mp3 in any case) under `folder`, depth first in directory
// order. Sub-folders are searched only when they are plain folders: not hidden, not read-only,
// not symbolic links. False when `folder` cannot be read.
bool FindMp3Files(const QString& folder, QStringList& files);

// Moves every file of `paths` on the first file's volume out to that volume's temporary folder,
// then back one by one in list order. A file is never moved over an existing one, and a file
// whose move back fails stays in the temporary folder (reported in the result).
ReorderResult ReorderOnPlayer(const QStringList& paths, const ProgressSink& progress = {});
} // namespace PlayerTransfer
