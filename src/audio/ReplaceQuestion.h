#pragma once

#include <QStringList>

class QWidget;

// Asks whether existing files may be replaced by a job's outputs, through the message-box seam.
namespace ReplaceQuestion
{
// True when existing is empty or the user agreed to replace every file in it.
bool Ask(QWidget* parent, const QStringList& existing);
// For the path a save dialog returned (chosen) and the one the program makes of it (completed,
// e.g. with an extension added): asks when completed names an existing file the dialog never
// asked about. False when the user declined; otherwise *replacing tells whether completed names
// an existing file the user agreed to replace.
bool AcceptSavePath(QWidget* parent, const QString& chosen, const QString& completed, bool* replacing);
} // namespace ReplaceQuestion
