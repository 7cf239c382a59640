#pragma once

#include <QStringList>

class QWidget;

// "&Mp3 to Wav Convert": decodes the selected recordings into WAV files in a folder the user
// picks, under the progress window.
namespace Mp3ToWavCommand
{
constexpr const char* kNoSelectionText = "There is not selected file!";
constexpr const char* kFolderTitle = "Select Wav File Path";
constexpr const char* kFolderPrompt = "Blar blar...";

// Returns true when the job ran to its end.
bool Run(QWidget* parent, const QStringList& selectedPaths);
} // namespace Mp3ToWavCommand
