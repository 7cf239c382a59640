#pragma once

// Screen reader support for the painted controls of this folder, whose plain QWidget
// description would say nothing: the skinned button, the menu bar and the level meter.
namespace ControlsAccessibility
{
// Installs the accessibility factory once per process; every such control calls it when made.
void EnsureInstalled();
} // namespace ControlsAccessibility
