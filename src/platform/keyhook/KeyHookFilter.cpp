#include "KeyHookFilter.h"

#include "KeyHook.h"
#include "platform/AppEvent.h"

#include <QApplication>
#include <QKeyEvent>

CKeyHookFilter::CKeyHookFilter(QWidget* window)
    : m_window(window)
{
    qApp->installEventFilter(this);
}

CKeyHookFilter::~CKeyHookFilter()
{
    if (qApp) {
        qApp->removeEventFilter(this);
    }
}

bool CKeyHookFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !m_window || !watched->isWidgetType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    int command = 0;
    if (key->key() == Qt::Key_F5) {
        command = KeyHook::kRecordCommand;
    } else if (key->key() == Qt::Key_F7) {
        command = KeyHook::kStopCommand;
    }
    if (command == 0 || !KeyHook::FunctionKeysApply(m_window)) {
        return false;
    }
    CAppEvent::Send(m_window, AppEventType::kCommand, command);
    return true;
}
