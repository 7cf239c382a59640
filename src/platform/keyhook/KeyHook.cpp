#include "KeyHook.h"

#include "KeyHookFilter.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <memory>

namespace
{
std::unique_ptr<CKeyHookFilter>& InstalledFilter()
{
    static std::unique_ptr<CKeyHookFilter> filter;
    return filter;
}
} // namespace

extern "C" {
void SetKeyHook(QWidget* window)
{
    InstalledFilter() = window ? std::make_unique<CKeyHookFilter>(window) : nullptr;
}

void FreeKeyHook()
{
    InstalledFilter().reset();
}
}

namespace KeyHook
{
bool IsTextField(const QWidget* widget)
{
    if (!widget) {
        return false;
    }
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)) {
        return true;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->isEditable();
    }
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) {
        return !text->isReadOnly();
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) {
        return !plain->isReadOnly();
    }
    // An in-place editor (a list row being renamed) is a line edit inside a view's viewport.
    return false;
}

bool FunctionKeysApply(const QWidget* window)
{
    return window && QApplication::activeWindow() == window;
}

bool ShortcutsApply(const QWidget* window)
{
    if (!window || QApplication::activeWindow() != window) {
        return false;
    }
    const QWidget* focus = QApplication::focusWidget();
    // Text fields keep their editing keys (Delete, Ctrl+Delete, Ctrl+A ...); so do widgets
    // inside them, such as a spin box's line edit.
    for (const QWidget* widget = focus; widget && widget != window; widget = widget->parentWidget()) {
        if (IsTextField(widget)) {
            return false;
        }
    }
    return true;
}
} // namespace KeyHook
