#pragma once

#include <QAccessibleWidget>
#include <QPointer>
#include <vector>

class CMenuXP;

// The painted menu bar as a screen reader sees a menu bar: one menu item per top-level popup,
// named by its label, whose press action opens the popup (the popup itself is a QMenu, which Qt
// already describes).
class CMenuXPAccessible : public QAccessibleWidget
{
public:
    explicit CMenuXPAccessible(CMenuXP* bar);
    ~CMenuXPAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text kind) const override;

    CMenuXP* Bar() const;

private:
    mutable std::vector<QAccessible::Id> m_itemIds;
};
