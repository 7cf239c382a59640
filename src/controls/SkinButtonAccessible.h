#pragma once

#include <QAccessibleWidget>

class CSkinButton;

// What a screen reader learns of a skinned button: a push button named by its text, pressed
// while held, and for a latching button a toggle whose checked state is the held-down look.
// Its press action clicks it as the mouse would.
class CSkinButtonAccessible : public QAccessibleWidget
{
public:
    explicit CSkinButtonAccessible(CSkinButton* button);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    CSkinButton* Button() const;
};
