#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// What the recordings list shows for one file: its name, "%dKB", "m:ss" and folder. The full
// path is always rebuilt from the folder and the name; the row keeps no other copy.
struct RecordingRow
{
    QString name;
    QString sizeText;
    QString timeText;
    QString folder;

    QStringList Texts() const { return {name, sizeText, timeText, folder}; }
    QString FullPath() const;
};

namespace RecordingRows
{
constexpr int kColumnCount = 4;
constexpr qint64 kBytesPerKilobyte = 1024;

// The row for a file, with its exact playing time unless `withTime` is false (the time text is
// then empty); nothing when the file cannot be read.
// A relative path is taken from the current folder, since the list outlives it.
std::optional<RecordingRow> Read(const QString& path, bool withTime = true);

QString SizeText(qint64 bytes);
// "Title: ...", "Artist: ...", "Album: ..." lines of the fields the file's tags hold (ID3v2 first,
// then APE, then ID3v1); empty when they hold none or the file cannot be read. Read when asked,
// so it is never out of date after a tag is saved.
QString TagToolTip(const QString& path);
// folder + "/" + name: a file in the root folder has an empty folder text.
QString JoinPath(const QString& folder, const QString& name);
// Save As names always end in "mp3": a three-letter extension is replaced, anything else gets
// ".mp3" appended (copy.wav -> copy.mp3, copy -> copy.mp3).
QString SaveAsPath(const QString& chosenPath);
// Column widths for a list whose client area is clientWidth pixels wide.
std::array<int, kColumnCount> ColumnWidths(int clientWidth);
} // namespace RecordingRows
