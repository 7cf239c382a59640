#pragma once

class QWidget;

// "&Wav to Mp3 Convert": encodes one WAV file the user picks into an MP3 file under the
// progress window.
namespace WavToMp3Command
{
constexpr const char* kNoWavText = "Please choose the WAV file to convert.";
constexpr const char* kNoMp3Text = "Please choose the MP3 file to write.";

// Returns true when the conversion ran to its end.
bool Run(QWidget* parent);
} // namespace WavToMp3Command
