// Menu records shared by the menu calls and the popup menu window.
// Internal to the platform library.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/menu.h"

namespace platform {

struct MenuItemRecord {
  UINT type = MFT_STRING;
  UINT state = 0;
  UINT id = 0;
  HMENU submenu = nullptr;
  ULONG_PTR data = 0;
  HBITMAP bitmap = nullptr;
  std::string text;  // GBK; '&' marks the access key, '\t' starts the right-aligned part
};

struct MenuRecord {
  bool popup = true;
  std::vector<MenuItemRecord> items;
};

struct MenuTable {
  std::unordered_map<HMENU, std::unique_ptr<MenuRecord>> menus;
  uintptr_t next = 0;
};

// GUI thread only.
MenuTable &Menus();
MenuRecord *FindMenu(HMENU menu);
MenuItemRecord *FindItem(HMENU menu, UINT item, bool byPosition, MenuRecord **holder);

}  // namespace platform
