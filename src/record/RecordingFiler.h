#pragma once

#include <QString>

// Moves a finished recording from the engine's output path to the name it is filed under.
// An existing file of that name is replaced without asking (two recordings in the same minute
// under the same name keep the second); when it cannot be removed the recording gets a
// "Un"-numbered name beside it, and when the move still fails a "repeat.mp3" name. A recording
// is never lost: if no name can be taken it stays where the engine wrote it and the result
// says where and why.
namespace RecordingFiler
{
enum class FilingOutcome
{
    Filed,                  // at path (the destination or one of its fallback names)
    DiscardedAsTooShort,    // shorter than the rules allow; deleted, nothing to list
    KeptUnderTemporaryName, // every move failed; still at the recorded path
    NothingRecorded,        // the engine left no file; nothing was touched
};

struct FilingRules
{
    QString saveDirectory;          // where the "Un" temporary name is made
    qint64 shortRecordingBytes = 0; // recordings smaller than this are deleted; 0 keeps all
};

struct FilingResult
{
    FilingOutcome outcome = FilingOutcome::NothingRecorded;
    QString path;   // where the recording is now; empty when it no longer exists
    QString reason; // why it is not filed (empty when it is)
};

FilingResult FileRecording(const QString& recordedPath, const QString& destination, const FilingRules& rules);
} // namespace RecordingFiler
