#pragma once

class QWidget;

// Where a secondary window (a progress window, a dialog) opens.
namespace WindowPlacement
{
// Centres the window over its parent's window when that is on screen, else over the screen it
// is on; it stays whole on that screen either way.
void CentreOverParent(QWidget* window);
} // namespace WindowPlacement
