#pragma once

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

    // Needs the QApplication; returns the process exit code.
    int Run();
};
