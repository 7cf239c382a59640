#pragma once

#include <QString>
#include <vector>

// A menu as the resources store it: popups of items in order, each item a command id and its
// label exactly as stored (with "&" mnemonics and "\t" shortcut texts). Id 0 is a separator.
struct MenuItem
{
    static constexpr int kSeparator = 0;

    int id = kSeparator;
    QString label;

    bool IsSeparator() const { return id == kSeparator; }
};

struct MenuPopup
{
    QString label;
    std::vector<MenuItem> items;
};

using MenuDefinition = std::vector<MenuPopup>;

namespace Menus
{
constexpr int kMainMenuId = 129;
constexpr int kListContextMenuId = 188;

// The main window's menu bar.
const MenuDefinition& MainMenu();
// The recordings list's right-click menu (its first popup is the one shown).
const MenuDefinition& ListContextMenu();
} // namespace Menus
