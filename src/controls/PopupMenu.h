#pragma once

#include "app/MenuDefinition.h"

#include <QPoint>
#include <functional>

class QMenu;
class QObject;

// What a window tells its menus about their items at the moment a popup opens.
struct MenuItemQueries
{
    // True shows a check mark beside the item; empty means nothing is checked.
    std::function<bool(int id)> isChecked;
    // False greys the item out; empty means every item is enabled.
    std::function<bool(int id)> isEnabled;
};

namespace PopupMenu
{
// The QAction property that carries an item's command id.
constexpr const char* kCommandIdProperty = "sorvaneCommandId";

// Replaces the popup's own modal loop (tests): receives the filled menu and the point it would
// open at, returns the command id the user would choose, or 0 for a dismissed popup.
using Runner = std::function<int(QMenu& menu, QPoint globalPos)>;

// Adds the popup's items to `menu` in order (id 0 becomes a separator). Choosing an item sends
// its command id to `target` with CAppEvent::Send(target, AppEventType::kCommand, id).
void Fill(QMenu& menu, const MenuPopup& popup, QObject* target);
// Re-reads check marks and enabled states from the queries; call just before the menu shows.
void Refresh(QMenu& menu, const MenuItemQueries& queries);

// Installs a runner for its lifetime; the previous one comes back afterwards.
class CScopedRunner
{
public:
    explicit CScopedRunner(Runner runner);
    ~CScopedRunner();
    CScopedRunner(const CScopedRunner&) = delete;
    CScopedRunner& operator=(const CScopedRunner&) = delete;

private:
    Runner m_previous;
};
} // namespace PopupMenu

// Shows `popup` at a screen point and waits until it closes (a context menu). The chosen item's
// command id goes to `target` as a command event and is returned; 0 when nothing was chosen or
// the chosen item is disabled.
int ShowPopupMenu(const MenuPopup& popup, QPoint globalPos, QObject* target, const MenuItemQueries& queries = {});
