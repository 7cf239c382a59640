#pragma once

#include <QStringList>

// The desktop program: starts Sorvane in its fixed order, runs the main window until Exit or
// close, and saves the settings at the end.
class CRecorderApp
{
public:
    static constexpr int kNoDisplayExitCode = 2;
    // Set to any value: print when the first frame was painted, then quit (start-up benchmark).
    static constexpr const char* kFirstPaintVariable = "SORVANE_EXIT_AFTER_FIRST_PAINT";

    // True when a display can be reached or a platform was chosen (QT_QPA_PLATFORM).
    static bool DisplayAvailable();
    static const char* NoDisplayText();

    // Needs the QApplication; returns the process exit code. Files named on the command line
    // are listed; when Sorvane already runs for this user and Data folder, they are handed to
    // it instead, it comes forward, and this start ends at once with 0.
    int Run(const QStringList& files = {});
};
