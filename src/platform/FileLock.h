#pragma once

#include <QString>

// An advisory lock (flock) on a file for as long as the object lives, so that Sorvane's own
// writers of one file (tag saves, re-encoding, reordering on a player) take turns instead of
// one silently undoing the other. Readers that must not see a half-written file take it
// shared; writers take it exclusive.
//
// The lock belongs to the file, not its name: when a writer replaces the file by renaming a new
// one over it, a waiting task notices that its locked file is no longer the one at the path and
// locks the new one instead, so it works on what the writer left.
class CFileLock
{
public:
    enum class Mode
    {
        Shared,
        Exclusive,
    };
    enum class Result
    {
        Locked,
        NoFile, // nothing there to guard (missing, or not a regular file); nothing was locked
        Busy,   // another task held it for the whole wait
        Failed, // the file could not be opened or the file system refuses locks
    };

    // Long enough for a tag save or the end of a short job, short enough for a window to wait.
    static constexpr int kDefaultWaitMs = 2000;

    CFileLock() = default;
    ~CFileLock();
    CFileLock(CFileLock&& other) noexcept;
    CFileLock& operator=(CFileLock&& other) noexcept;
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Locks the file at path, waiting up to waitMs for others to let go; any lock held before
    // is released first.
    Result Acquire(const QString& path, Mode mode, int waitMs = kDefaultWaitMs);
    bool Held() const { return m_fd >= 0; }
    void Release();

    // What to tell the user when Acquire gave Busy.
    static QString BusyText(const QString& path);

private:
    int m_fd = -1;
};
