#pragma once

#include <QString>

// A new file that is built under a temporary name beside its target and only takes the target's
// name once it is complete, so a failure half-way never truncates or leaves a broken target.
// Where the file system allows it the temporary has no name at all (it vanishes with the
// process, even when killed); elsewhere it gets a short hidden name (".sorvane-PID-XXXXXX.tmp")
// that the next run of Sorvane in that folder removes once its process is gone.
// A target that is a symbolic link is written through: the file it points to gets the new
// content and the link stays. The temporary file is dropped unless Commit() succeeded.
class CReplacementFile
{
public:
    enum class Mode
    {
        Replace,        // takes the name, replacing a regular file of that name (never anything else)
        CreateNew,      // takes the name only while nothing else has it
        RewriteInPlace, // becomes the new content of an existing regular file, which keeps its
                        // owner, group, mode and hard links
    };

    explicit CReplacementFile(const QString& targetPath, Mode mode = Mode::Replace);
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Creates the empty temporary file; false when the target's folder is not writable.
    bool Create();
    // The path to write the new content through (for an unnamed file, its /proc/self/fd link).
    const QString& TemporaryPath() const { return m_temporaryPath; }
    const QString& TargetPath() const { return m_targetPath; }
    // Gives the complete file the target's name (or content, in place); false leaves the target
    // as it was.
    bool Commit();
    // Drops the temporary file now.
    void Discard();

    // Removes the named temporaries that runs killed half-way left in folder: those whose
    // process is no longer running, and any untouched for a day. Done once per folder and
    // process by Create(); returns how many were removed.
    static int SweepStaleTemporaries(const QString& folder);
    // For tests: false makes Create() use named temporaries, as on a file system (FAT, many
    // FUSE ones) without unnamed files.
    static void SetUnnamedTemporariesAllowed(bool allowed);
    // True for a path TemporaryPath() gives out.
    static bool IsTemporaryPath(const QString& path);

private:
    bool CreateUnnamed(const QString& folder);
    bool CreateNamed(const QString& folder);
    bool Flush() const;
    // Moves the temporary to the final name; replacing says whether a regular file may be there.
    bool TakeName(bool replacing);
    // Copies the new content into the final file's own inode.
    bool CopyOverFinal() const;

    QString m_targetPath;
    QString m_finalPath; // the target with a symbolic link resolved
    QString m_temporaryPath;
    int m_unnamedFd = -1; // the unnamed temporary, held open until it is linked or dropped
    Mode m_mode;
    bool m_committed = false;
};
