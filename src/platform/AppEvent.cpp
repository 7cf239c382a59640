#include "platform/AppEvent.h"

#include <QCoreApplication>
#include <QObject>
#include <memory>

CAppEvent::CAppEvent(int type, std::intptr_t wParam, std::intptr_t lParam)
    : QEvent(static_cast<QEvent::Type>(type))
    , m_wParam(wParam)
    , m_lParam(lParam)
{}

void CAppEvent::Post(QObject* receiver, int type, std::intptr_t wParam, std::intptr_t lParam)
{
    if (!receiver) {
        return;
    }
    // Qt takes ownership of a posted event.
    QCoreApplication::postEvent(receiver, std::make_unique<CAppEvent>(type, wParam, lParam).release());
}

bool CAppEvent::Send(QObject* receiver, int type, std::intptr_t wParam, std::intptr_t lParam)
{
    if (!receiver) {
        return false;
    }
    CAppEvent event(type, wParam, lParam);
    return QCoreApplication::sendEvent(receiver, &event);
}
