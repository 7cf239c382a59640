#pragma once

#include <QtGlobal>

class QWidget;

#if defined(SORVANE_KEYHOOK_BUILD)
#define SORVANE_KEYHOOK_EXPORT Q_DECL_EXPORT
#else
#define SORVANE_KEYHOOK_EXPORT Q_DECL_IMPORT
#endif

// The keyboard-hook library: while the hooked window is the active window, F5 reaches it as the
// Record command and F7 as the Stop command, as its menus promise, wherever the focus is: no
// text field edits with a function key, and a name typed into a box is exactly when the user
// reaches for F5. SetKeyHook is called once the window is set up, FreeKeyHook at exit.
extern "C" {
SORVANE_KEYHOOK_EXPORT void SetKeyHook(QWidget* window);
SORVANE_KEYHOOK_EXPORT void FreeKeyHook();
}

namespace KeyHook
{
constexpr int kRecordCommand = 32786;
constexpr int kStopCommand = 32773;

// True when `window` is the active window and the focus is not in a widget that edits text
// there: the scope in which the program's keyboard shortcuts act.
SORVANE_KEYHOOK_EXPORT bool ShortcutsApply(const QWidget* window);
// True when `window` is the active window: function keys edit no text, so they act from
// anywhere in it, text fields included.
SORVANE_KEYHOOK_EXPORT bool FunctionKeysApply(const QWidget* window);
SORVANE_KEYHOOK_EXPORT bool IsTextField(const QWidget* widget);
} // namespace KeyHook
