#include "controls/MenuXPAccessible.h"

#include "controls/MenuXP.h"
#include "controls/PaintedPartAccessible.h"

CMenuXPAccessible::CMenuXPAccessible(CMenuXP* bar)
    : QAccessibleWidget(bar, QAccessible::MenuBar)
{}

CMenuXPAccessible::~CMenuXPAccessible()
{
    for (const QAccessible::Id id : m_itemIds) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

CMenuXP* CMenuXPAccessible::Bar() const
{
    return qobject_cast<CMenuXP*>(object());
}

int CMenuXPAccessible::childCount() const
{
    return Bar() ? Bar()->ButtonCount() : 0;
}

QAccessibleInterface* CMenuXPAccessible::child(int index) const
{
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    // Made once per button and kept, so every query gets the same object and id.
    while (int(m_itemIds.size()) <= index) {
        const int item = int(m_itemIds.size());
        const QPointer<CMenuXP> bar = Bar();
        CPaintedPartAccessible::Callbacks callbacks;
        callbacks.valid = [bar, item] { return bar && item < bar->ButtonCount(); };
        callbacks.name = [bar, item] { return bar->ButtonText(item); };
        callbacks.screenRect = [bar, item] {
            const QRect local = bar->ButtonRect(item);
            return QRect(bar->mapToGlobal(local.topLeft()), local.size());
        };
        callbacks.adjustState = [bar, item](QAccessible::State& state) {
            state.hasPopup = true;
            state.expanded = bar->OpenIndex() == item;
        };
        callbacks.press = [bar, item] { bar->OpenPopup(item); };
        m_itemIds.push_back(CPaintedPartAccessible::Register(const_cast<CMenuXPAccessible*>(this),
                                                             QAccessible::MenuItem, std::move(callbacks)));
    }
    return QAccessible::accessibleInterface(m_itemIds[std::size_t(index)]);
}

int CMenuXPAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (std::size_t i = 0; i < m_itemIds.size(); ++i) {
        if (QAccessible::accessibleInterface(m_itemIds[i]) == child) {
            return int(i);
        }
    }
    return -1;
}

QAccessibleInterface* CMenuXPAccessible::childAt(int x, int y) const
{
    if (!Bar()) {
        return nullptr;
    }
    const int index = Bar()->ButtonAt(Bar()->mapFromGlobal(QPoint(x, y)));
    return index == CMenuXP::kNoIndex ? nullptr : child(index);
}

QString CMenuXPAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        return QStringLiteral("Menu bar");
    }
    return QAccessibleWidget::text(kind);
}
