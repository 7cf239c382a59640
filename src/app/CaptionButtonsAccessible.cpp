#include "app/CaptionButtonsAccessible.h"

#include "app/CaptionButtons.h"
#include "controls/PaintedPartAccessible.h"

#include <QPointer>

namespace
{
// Reading order: minimize stands left of close.
constexpr std::array<CCaptionButtons::Button, 2> kOrder{CCaptionButtons::kMinimize, CCaptionButtons::kClose};
} // namespace

CCaptionButtonsAccessible::CCaptionButtonsAccessible(CCaptionButtons* buttons)
    : QAccessibleWidget(buttons, QAccessible::Grouping)
{}

CCaptionButtonsAccessible::~CCaptionButtonsAccessible()
{
    for (const QAccessible::Id id : m_ids) {
        if (id != 0) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }
}

int CCaptionButtonsAccessible::childCount() const
{
    return kButtonCount;
}

QAccessibleInterface* CCaptionButtonsAccessible::child(int index) const
{
    if (index < 0 || index >= kButtonCount) {
        return nullptr;
    }
    QAccessible::Id& id = m_ids[std::size_t(index)];
    if (id == 0) {
        const QPointer<CCaptionButtons> owner = qobject_cast<CCaptionButtons*>(object());
        const CCaptionButtons::Button button = kOrder[std::size_t(index)];
        CPaintedPartAccessible::Callbacks callbacks;
        callbacks.valid = [owner] { return !owner.isNull(); };
        callbacks.name = [button] { return CCaptionButtons::ButtonName(button); };
        callbacks.screenRect = [owner, button] {
            const QRect inOwner = button == CCaptionButtons::kClose ? owner->CloseRect() : owner->MinimizeRect();
            const QWidget* parent = owner->parentWidget();
            return parent ? QRect(parent->mapToGlobal(inOwner.topLeft()), inOwner.size()) : inOwner;
        };
        callbacks.press = [owner, button] { owner->Activate(button); };
        id = CPaintedPartAccessible::Register(const_cast<CCaptionButtonsAccessible*>(this), QAccessible::Button,
                                              std::move(callbacks));
    }
    return QAccessible::accessibleInterface(id);
}

int CCaptionButtonsAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (int i = 0; i < kButtonCount; ++i) {
        if (m_ids[std::size_t(i)] != 0 && QAccessible::accessibleInterface(m_ids[std::size_t(i)]) == child) {
            return i;
        }
    }
    return -1;
}

QAccessibleInterface* CCaptionButtonsAccessible::childAt(int x, int y) const
{
    for (int i = 0; i < kButtonCount; ++i) {
        QAccessibleInterface* part = child(i);
        if (part && part->rect().contains(x, y)) {
            return part;
        }
    }
    return nullptr;
}

QString CCaptionButtonsAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        return QStringLiteral("Window buttons");
    }
    return QAccessibleWidget::text(kind);
}
