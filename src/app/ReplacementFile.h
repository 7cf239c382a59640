#pragma once

#include <QString>

// A new file that is built under a temporary name beside its target and only takes the target's
// name once it is complete, so a failure half-way never truncates or leaves a broken target.
// The temporary file is removed unless Commit() succeeded.
class CReplacementFile
{
public:
    explicit CReplacementFile(const QString& targetPath);
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Creates the empty temporary file; false when the target's folder is not writable.
    bool Create();
    const QString& TemporaryPath() const { return m_temporaryPath; }
    const QString& TargetPath() const { return m_targetPath; }
    // Renames the temporary file over the target.
    bool Commit();
    // Removes the temporary file now.
    void Discard();

private:
    QString m_targetPath;
    QString m_temporaryPath;
    bool m_committed = false;
};
