#pragma once

#include <QDateTime>
#include <QString>

// How a recording is named: the path the engine writes to, the "Record File" text, the
// ".mp3" rule and the numbered continuation files made after long silences.
namespace RecordingNames
{
constexpr const char* kMp3Extension = ".mp3";
constexpr const char* kOutputTimeFormat = "yyyy-MM-dd-HH-mm"; // "%Y-%m-%d-%H-%M"

// Unless the name already ends in ".mp3" (any case), a four-character ending that starts
// with '.' is dropped, then ".mp3" is appended: talk.wav -> talk.mp3, talk -> talk.mp3,
// a.b -> a.b.mp3, talk.MP3 stays.
QString WithMp3Extension(const QString& name);

// The part after the last separator (the whole text when there is none).
QString FileNamePart(const QString& path);
// Up to and including the last separator (empty when there is none).
QString DirectoryPart(const QString& path);

// The save directory followed directly by the local time, no separator added, no extension.
QString OutputPath(const QString& saveDirectory, const QDateTime& localNow);

// The "Record File" text once recording has started: the user's text, or when empty the
// name part of the engine's output path with the ".mp3" rule.
QString RecordFileTextAtStart(const QString& recordFileText, const QString& outputPath);

// Where a finished recording is filed: beside the recorded file under the "Record File" text,
// or under the recorded path itself when the text is empty; the ".mp3" rule applied either way.
QString DestinationPath(const QString& recordedPath, const QString& recordFileText);

// The "Record File" text for the next continuation file: talk.mp3 -> talk001.mp3, then
// talk002.mp3 ... newFileCounter is the number of continuations made so far.
QString ContinuationText(const QString& recordFileText, int newFileCounter);

// Why text cannot name a recording in the save directory, or "" when it can: a folder part
// ("../x", "sub/x"), or a file name longer than the file system takes once ".mp3" is added.
QString RecordFileTextProblem(const QString& text);

// Creates a new empty file "Un" + four hex digits + ".tmp" in folder, never reusing an
// existing name; returns its path, or an empty string when no such file could be made.
QString CreateUniqueTemporaryFile(const QString& folder);
} // namespace RecordingNames
