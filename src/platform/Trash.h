#pragma once

#include <QString>

// The desktop's trash, as file managers keep it (the freedesktop.org trash layout): a file
// goes to files/NAME of a trash directory, and info/NAME.trashinfo beside it says where it came
// from and when, so the desktop can list and restore it.
//
// Files on the home trash's volume go to the home trash ($XDG_DATA_HOME/Trash, by default
// ~/.local/share/Trash). Files on another volume go to that volume's own trash, at its top
// directory: .Trash/UID when the administrator made a .Trash folder fit for it, else .Trash-UID.
// A file is only ever renamed into a trash on its own volume, never copied, so a failure leaves
// it where it was.
class CTrash
{
public:
    static constexpr const char* kInfoSuffix = ".trashinfo";
    static constexpr const char* kFilesFolder = "files";
    static constexpr const char* kInfoFolder = "info";
    static constexpr const char* kInfoHeader = "[Trash Info]";
    static constexpr const char* kDeletionDateFormat = "yyyy-MM-ddTHH:mm:ss";

    struct Result
    {
        bool ok = false;
        int error = 0;       // errno of the failure
        QString trashedPath; // where the file is now: TRASH/files/NAME
        QString infoPath;    // TRASH/info/NAME.trashinfo
    };

    // $XDG_DATA_HOME/Trash, or ~/.local/share/Trash when the variable is unset or not absolute;
    // empty when there is no home folder either.
    static QString HomeTrashDirectory();

    // Moves the file (or link, or folder) at path to the trash of its volume.
    static Result MoveToTrash(const QString& path);
    // Moves it to the trash of the volume whose top directory is topDirectory.
    static Result MoveToVolumeTrash(const QString& path, const QString& topDirectory);
    // The mount point of the volume holding path (the highest folder above it on the same device).
    static QString TopDirectoryOf(const QString& path);
    // Moves it into the trash directory given, creating its folders when missing. The name in the
    // trash is the file's own, or NAME.2.EXT, NAME.3.EXT ... when that is taken.
    static Result MoveInto(const QString& path, const QString& trashDirectory);
};
