#pragma once

#include <QStringList>

class QWidget;

// The main window's MP3 editing commands on the selected recordings: "&Change Bitrate/volume",
// "&Splite" and "Joint". Each asks for its settings in a dialog and runs under the progress
// window; each returns true when its job ran to its end.
namespace Mp3EditCommands
{
constexpr const char* kNoSelectionText = "There is not selected file!";

bool ChangeBitrate(QWidget* parent, const QStringList& selectedPaths);
bool Split(QWidget* parent, const QStringList& selectedPaths);
bool Join(QWidget* parent, const QStringList& selectedPaths);
} // namespace Mp3EditCommands
