#include "controls/PaintedPartAccessible.h"

QAccessible::Id CPaintedPartAccessible::Register(QAccessibleInterface* parent, QAccessible::Role role,
                                                 Callbacks callbacks)
{
    // QAccessible owns it from here on.
    return QAccessible::registerAccessibleInterface(new CPaintedPartAccessible(parent, role, std::move(callbacks)));
}

CPaintedPartAccessible::CPaintedPartAccessible(QAccessibleInterface* parent, QAccessible::Role role,
                                               Callbacks callbacks)
    : m_parent(parent)
    , m_role(role)
    , m_callbacks(std::move(callbacks))
{}

bool CPaintedPartAccessible::isValid() const
{
    return m_parent->isValid() && (!m_callbacks.valid || m_callbacks.valid());
}

QString CPaintedPartAccessible::text(QAccessible::Text kind) const
{
    return kind == QAccessible::Name && isValid() && m_callbacks.name ? m_callbacks.name() : QString();
}

QRect CPaintedPartAccessible::rect() const
{
    return isValid() && m_callbacks.screenRect ? m_callbacks.screenRect() : QRect();
}

QAccessible::State CPaintedPartAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const QAccessible::State parentState = m_parent->state();
    state.disabled = parentState.disabled;
    state.invisible = parentState.invisible;
    if (m_callbacks.adjustState) {
        m_callbacks.adjustState(state);
    }
    return state;
}

void* CPaintedPartAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
}

QStringList CPaintedPartAccessible::actionNames() const
{
    return m_callbacks.press ? QStringList{pressAction()} : QStringList{};
}

void CPaintedPartAccessible::doAction(const QString& actionName)
{
    if (actionName == pressAction() && m_callbacks.press && isValid() && !state().disabled) {
        m_callbacks.press();
    }
}
