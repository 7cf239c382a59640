#include "app/KeyboardShortcutHook.h"

#include "KeyHook.h"
#include "app/CommandIds.h"
#include "platform/AppEvent.h"

#include <QApplication>
#include <QKeyEvent>

CKeyboardShortcutHook::CKeyboardShortcutHook(QWidget* mainWindow)
    : m_mainWindow(mainWindow)
{
    qApp->installEventFilter(this);
}

CKeyboardShortcutHook::~CKeyboardShortcutHook()
{
    if (qApp) {
        qApp->removeEventFilter(this);
    }
}

namespace
{
bool IsFunctionKey(int key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F35;
}
} // namespace

int CKeyboardShortcutHook::CommandFor(int key, Qt::KeyboardModifiers modifiers)
{
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    switch (key) {
    case Qt::Key_Delete:
        return control ? CommandId::kDeleteSelectedFiles : CommandId::kDeleteSelectedItems;
    case Qt::Key_A:
        return control ? CommandId::kSelectAll : 0;
    case Qt::Key_O:
        return control ? CommandId::kOpen : 0;
    case Qt::Key_R:
        return control ? CommandId::kRename : 0;
    case Qt::Key_F1:
        return CommandId::kHelp;
    case Qt::Key_F6:
        return CommandId::kPause;
    default:
        return 0;
    }
}

bool CKeyboardShortcutHook::eventFilter(QObject* watched, QEvent* event)
{
    // Only real key presses count; the shortcut-override pass that precedes them must not
    // run a command twice.
    if (event->type() != QEvent::KeyPress || !m_mainWindow || !watched->isWidgetType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const int command = CommandFor(key->key(), key->modifiers());
    if (command == 0) {
        return false;
    }
    // Function keys edit no text, so they act from anywhere in the main window, text fields
    // included; the other keys keep their editing meaning there.
    const bool applies =
        IsFunctionKey(key->key()) ? KeyHook::FunctionKeysApply(m_mainWindow) : KeyHook::ShortcutsApply(m_mainWindow);
    if (!applies) {
        return false;
    }
    CAppEvent::Send(m_mainWindow, AppEventType::kCommand, command);
    // Handled: the focused widget must not act on the key a second time.
    return true;
}
