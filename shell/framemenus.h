// The main window's fixed menus: the main menu 系统 ... 帮助 and the pop-up
// menus of the tool and status bars (PopupMenu1), the page menu
// (PopupMenu2, filled with the pages) and the quote board (PopupMenu3).
// Each item carries its form name, caption and Tag; the window binds the
// handlers by name.
#pragma once

#include <string>

class TComponent;
class TMainMenu;
class TMenu;
class TMenuItem;
class TPopupMenu;

void BuildFixedMenus(TComponent *owner, TMainMenu *main, TPopupMenu *toolPopup, TPopupMenu *boardPopup);
// The item of that form name under root (depth first), or null.
TMenuItem *FindMenuItem(TMenuItem *root, const std::string &name);
// The tree as text, one item a line, indented by depth: caption, Tag,
// and the marks [hidden] [checked] [radio] [break].
std::string DumpMenuTree(TMenuItem *root);
// Removes and frees every item of parent from index `from` on.
void ClearMenuFrom(TMenuItem *parent, int from);
// A new item under parent (no owner); "-" makes a separator.
TMenuItem *AddMenuItem(TMenuItem *parent, const std::string &caption, int tag = 0);
