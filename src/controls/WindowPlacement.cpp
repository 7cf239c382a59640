#include "controls/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace WindowPlacement
{
void CentreOverParent(QWidget* window)
{
    if (window == nullptr) {
        return;
    }
    // The nearest ancestor window the user can see: a dialog not shown yet stands for nothing.
    const QWidget* owner = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
    while (owner != nullptr && !owner->isVisible()) {
        owner = owner->parentWidget() != nullptr ? owner->parentWidget()->window() : nullptr;
    }
    QScreen* screen = owner != nullptr ? owner->screen() : window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
    const QPoint centre = owner != nullptr ? owner->frameGeometry().center() : available.center();
    QRect placed(QPoint(0, 0), window->frameGeometry().size());
    placed.moveCenter(centre);
    if (available.isValid()) {
        placed.moveLeft(std::max(available.left(), std::min(placed.left(), available.right() - placed.width() + 1)));
        placed.moveTop(std::max(available.top(), std::min(placed.top(), available.bottom() - placed.height() + 1)));
    }
    window->move(placed.topLeft());
}
} // namespace WindowPlacement
