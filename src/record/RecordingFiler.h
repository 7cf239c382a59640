#pragma once

#include <QString>

// Moves a finished recording from the engine's output path to the name it is filed under.
// Filing never deletes nor replaces a file: when the name is taken (an earlier recording, a file
// of the user's) the recording takes the first free continuation name beside it, NAME001.mp3,
// NAME002.mp3 ... A recording is never lost: if no name can be taken it stays where the engine
// wrote it and the result says where and why.
namespace RecordingFiler
{
// The silence detector's small-file rule: recordings that play for less than this go to the
// trash instead of the list.
constexpr qint64 kShortRecordingMs = 1000;

enum class FilingOutcome
{
    Filed,                  // at path (the destination or a continuation name of it)
    DiscardedAsEmpty,       // no bytes at all; removed, nothing to list or say
    TrashedAsTooShort,      // shorter than the rules allow; in the trash at path, reason says so
    KeptUnderTemporaryName, // every move failed; still at the recorded path
    NothingRecorded,        // the engine left no file; nothing was touched
};

struct FilingRules
{
    bool trashShortRecordings = false; // the small-file rule (on with the silence detector)
};

struct FilingResult
{
    FilingOutcome outcome = FilingOutcome::NothingRecorded;
    QString path;   // where the recording is now; empty when it no longer exists
    QString reason; // what the user should hear about it (empty when it was simply filed)
};

// destination's first free name: itself, else its name before the last four characters (the
// extension) followed by 001, 002 ... and the extension.
QString ContinuationName(const QString& destination, int number);

FilingResult FileRecording(const QString& recordedPath, const QString& destination, const FilingRules& rules);
} // namespace RecordingFiler
