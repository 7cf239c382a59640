#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QRect>
#include <QString>
#include <functional>

// A part of a widget that the widget paints itself (a menu bar's button, a caption button), as
// a screen reader's child object: name, role, place on the screen and a press action, all asked
// of the owner through callbacks. Parents create these through Register and free them with
// QAccessible::deleteAccessibleInterface when they go.
class CPaintedPartAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    struct Callbacks
    {
        std::function<bool()> valid;
        std::function<QString()> name;
        std::function<QRect()> screenRect;
        std::function<void(QAccessible::State&)> adjustState; // may be empty
        std::function<void()> press;
    };

    // Makes a part and registers it with QAccessible; returns its id.
    static QAccessible::Id Register(QAccessibleInterface* parent, QAccessible::Role role, Callbacks callbacks);

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_parent->window(); }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return m_parent; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return m_role; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    CPaintedPartAccessible(QAccessibleInterface* parent, QAccessible::Role role, Callbacks callbacks);

    QAccessibleInterface* m_parent;
    QAccessible::Role m_role;
    Callbacks m_callbacks;
};
