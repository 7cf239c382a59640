#include "controls/PopupMenu.h"

#include "platform/AppEvent.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <utility>

namespace PopupMenu
{
namespace
{
int RealRun(QMenu& menu, QPoint globalPos)
{
    // exec() triggers the chosen action itself, which sends its command.
    QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->property(kCommandIdProperty).toInt() : 0;
}

Runner& CurrentRunner()
{
    static Runner runner;
    return runner;
}

int CommandIdOf(const QAction* action)
{
    return action->property(kCommandIdProperty).toInt();
}

QAction* FindAction(const QMenu& menu, int id)
{
    const auto actions = menu.actions();
    for (QAction* action : actions) {
        if (!action->isSeparator() && CommandIdOf(action) == id)
            return action;
    }
    return nullptr;
}
} // namespace

void Fill(QMenu& menu, const MenuPopup& popup, QObject* target)
{
    // The target may go away while a menu built for it still exists.
    QPointer<QObject> guardedTarget(target);
    for (const MenuItem& item : popup.items) {
        if (item.IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(item.label);
        action->setProperty(kCommandIdProperty, item.id);
        const int id = item.id;
        QObject::connect(action, &QAction::triggered, &menu,
                         [guardedTarget, id] { CAppEvent::Send(guardedTarget.data(), AppEventType::kCommand, id); });
    }
}

void Refresh(QMenu& menu, const MenuItemQueries& queries)
{
    const auto actions = menu.actions();
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        const int id = CommandIdOf(action);
        const bool checked = queries.isChecked && queries.isChecked(id);
        // Only checked items are checkable, so styles draw no empty box beside the others.
        action->setCheckable(checked);
        action->setChecked(checked);
        action->setEnabled(!queries.isEnabled || queries.isEnabled(id));
    }
}

CScopedRunner::CScopedRunner(Runner runner)
    : m_previous(std::exchange(CurrentRunner(), std::move(runner)))
{}

CScopedRunner::~CScopedRunner()
{
    CurrentRunner() = std::move(m_previous);
}
} // namespace PopupMenu

int ShowPopupMenu(const MenuPopup& popup, QPoint globalPos, QObject* target, const MenuItemQueries& queries)
{
    QMenu menu;
    PopupMenu::Fill(menu, popup, target);
    PopupMenu::Refresh(menu, queries);

    const PopupMenu::Runner& runner = PopupMenu::CurrentRunner();
    if (!runner)
        return PopupMenu::RealRun(menu, globalPos);

    const int chosenId = runner(menu, globalPos);
    QAction* chosen = chosenId != 0 ? PopupMenu::FindAction(menu, chosenId) : nullptr;
    // A real popup never lets the user choose a greyed-out item.
    if (!chosen || !chosen->isEnabled())
        return 0;
    chosen->trigger();
    return chosenId;
}
