#pragma once

#include <QString>

// The file side of the recordings list's commands: deleting (to the desktop's trash, or for good
// on a removable volume), renaming inside a folder, copying over a target, and the standard file-error messages.
namespace RecordingFiles
{
struct FileResult
{
    bool ok = true;
    int error = 0;      // errno of the failure
    QString failedPath; // the path the message names

    static FileResult Success() { return {}; }
    static FileResult Failure(int error, const QString& path) { return {false, error, path}; }
};

// True for files that deleting removes for good rather than moving to the trash: those on a
// removable volume (a player), whose space the user wants back.
bool IsDeletedForGood(const QString& path);
// Moves the file to the trash of its volume, or deletes it when IsDeletedForGood.
FileResult Discard(const QString& path);
// Renames folder/oldName to folder/newName. Never replaces another file, and a name that would
// reach outside the folder ("a/b", "..") is refused.
FileResult RenameInFolder(const QString& folder, const QString& oldName, const QString& newName);
// Copies source to target, replacing target only once the copy is complete.
FileResult CopyReplacing(const QString& source, const QString& target);

// "Access to %1 was denied." and its siblings, chosen by errno, with the path in place of %1.
QString ErrorMessage(int error, const QString& path);
QString ErrorMessage(const FileResult& result);
} // namespace RecordingFiles
