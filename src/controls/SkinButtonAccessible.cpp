#include "controls/SkinButtonAccessible.h"

#include "controls/SkinButton.h"

CSkinButtonAccessible::CSkinButtonAccessible(CSkinButton* button)
    : QAccessibleWidget(button, QAccessible::Button)
{}

CSkinButton* CSkinButtonAccessible::Button() const
{
    return static_cast<CSkinButton*>(widget());
}

QString CSkinButtonAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        return Button()->text();
    }
    return QAccessibleWidget::text(kind);
}

QAccessible::State CSkinButtonAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.pressed = Button()->isDown();
    if (Button()->IsToggleMode()) {
        state.checkable = true;
        state.checked = Button()->IsHeldDown();
    }
    return state;
}

QStringList CSkinButtonAccessible::actionNames() const
{
    QStringList names;
    if (widget()->isEnabled()) {
        names << (Button()->IsToggleMode() ? toggleAction() : pressAction());
    }
    return names + QAccessibleWidget::actionNames();
}

void CSkinButtonAccessible::doAction(const QString& actionName)
{
    if (!widget()->isEnabled()) {
        return;
    }
    if (actionName == pressAction() || actionName == toggleAction()) {
        Button()->click();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList CSkinButtonAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == pressAction() || actionName == toggleAction()) {
        return {QStringLiteral("Space")};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}
