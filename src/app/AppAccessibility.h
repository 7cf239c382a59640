#pragma once

// Screen reader support for the painted parts of the main window: the caption buttons and the
// elapsed time.
namespace AppAccessibility
{
// Installs the accessibility factory once per process; the painted widgets call it when made.
void EnsureInstalled();
} // namespace AppAccessibility
