#pragma once

class QScreen;
class QWidget;

// Sorvane's skins are drawn for true-colour displays. On a display of fewer than 24 bits per
// pixel the user is told once at start-up; nothing is switched, the program starts anyway.
namespace ColourDepthCheck
{
constexpr int kMinimumDepth = 24;
constexpr int kWarningStringId = 32773;
constexpr const char* kWarningText =
    "This program need 32 bit Color quality display mode, Change your computer display mode to  this Mode!";

// True when the warning was shown.
bool Run(const QScreen* screen, QWidget* parent = nullptr);
} // namespace ColourDepthCheck
