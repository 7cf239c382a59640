#pragma once

#include <QString>
#include <QStringList>

// The one rule for every file a job writes: an output is written only as a regular file; an
// existing one is replaced only when the user agreed; and an output is never one of the job's
// own inputs (compared by file identity, so a hard link or another spelling of the path counts).
// A symbolic link is followed: the file it points to is the output, and the link stays.
class COutputTarget
{
public:
    enum class Verdict
    {
        New,          // nothing of that name yet
        ExistingFile, // a regular file (or a link to one) that writing would replace
        NotRegular,   // a device, FIFO, socket or folder: never opened for writing
        DanglingLink, // a symbolic link to nothing: not written through
        IsAnInput,    // the same file as one of the inputs
    };

    static Verdict Examine(const QString& path, const QStringList& inputs = {});
    // Why a job may not write path; empty when it may (a new name, or an existing regular file
    // the user agreed to replace). The texts name the path and say nothing was written.
    static QString Refusal(const QString& path, bool replaceAgreed, const QStringList& inputs = {});
    static QString RefusalText(const QString& path, Verdict verdict);

    // True when both paths name the same existing file (device and inode).
    static bool SameFile(const QString& first, const QString& second);
};
