// Menu handles and their items. The popup menu window and its loop live in
// menu_popup.cpp.
#include "platform/menu.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/menu_internal.h"

namespace platform {

MenuTable &Menus() {
  static MenuTable table;
  return table;
}

MenuRecord *FindMenu(HMENU menu) {
  auto &table = Menus();
  auto it = table.menus.find(menu);
  return it == table.menus.end() ? nullptr : it->second.get();
}

// The item a position or command names; for a command, submenus are
// searched too and the menu holding the item is returned.
MenuItemRecord *FindItem(HMENU menu, UINT item, bool byPosition, MenuRecord **holder) {
  MenuRecord *record = FindMenu(menu);
  if (!record) return nullptr;
  if (byPosition) {
    if (item >= record->items.size()) return nullptr;
    if (holder) *holder = record;
    return &record->items[item];
  }
  for (MenuItemRecord &entry : record->items) {
    if (!entry.submenu && entry.id == item && !(entry.type & MFT_SEPARATOR)) {
      if (holder) *holder = record;
      return &entry;
    }
  }
  for (MenuItemRecord &entry : record->items) {
    if (!entry.submenu) continue;
    if (MenuItemRecord *found = FindItem(entry.submenu, item, false, holder)) return found;
  }
  // A submenu's own entry may be named by its id too.
  for (MenuItemRecord &entry : record->items) {
    if (entry.submenu && entry.id == item) {
      if (holder) *holder = record;
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace platform

using platform::FindItem;
using platform::FindMenu;
using platform::MenuItemRecord;
using platform::MenuRecord;

static HMENU NewMenu(bool popup) {
  auto &table = platform::Menus();
  auto record = std::make_unique<MenuRecord>();
  record->popup = popup;
  HMENU handle = reinterpret_cast<HMENU>(uintptr_t(++table.next) << 4);
  table.menus[handle] = std::move(record);
  return handle;
}

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  auto &table = platform::Menus();
  auto it = table.menus.find(menu);
  if (it == table.menus.end()) return FALSE;
  std::vector<HMENU> subs;
  for (MenuItemRecord &item : it->second->items)
    if (item.submenu) subs.push_back(item.submenu);
  table.menus.erase(it);
  // Submenus go with their menu.
  for (HMENU sub : subs) DestroyMenu(sub);
  return TRUE;
}

BOOL IsMenu(HMENU menu) { return FindMenu(menu) != nullptr; }

static MenuItemRecord ItemFromFlags(UINT flags, UINT_PTR idOrSubmenu, LPCSTR text) {
  MenuItemRecord item;
  if (flags & MF_SEPARATOR) {
    item.type = MFT_SEPARATOR;
  } else {
    if (flags & MF_OWNERDRAW) {
      item.type |= MFT_OWNERDRAW;
      item.data = reinterpret_cast<ULONG_PTR>(text);
    } else if (text) {
      item.text = text;
    }
    if (flags & MF_MENUBARBREAK) item.type |= MFT_MENUBARBREAK;
    if (flags & MF_MENUBREAK) item.type |= MFT_MENUBREAK;
  }
  if (flags & MF_CHECKED) item.state |= MFS_CHECKED;
  if (flags & (MF_GRAYED | MF_DISABLED)) item.state |= MFS_GRAYED;
  if (flags & MF_DEFAULT) item.state |= MFS_DEFAULT;
  if (flags & MF_POPUP) {
    item.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
    item.id = UINT(idOrSubmenu);
  } else {
    item.id = UINT(idOrSubmenu);
  }
  return item;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text) {
  MenuRecord *record = FindMenu(menu);
  if (!record) return FALSE;
  record->items.push_back(ItemFromFlags(flags, idOrSubmenu, text));
  return TRUE;
}

// Puts an item before the one a position or command names; past the end
// (a position of -1 among them) or with no such command, it goes last.
static BOOL InsertItem(HMENU menu, UINT position, bool byPosition, MenuItemRecord item) {
  MenuRecord *record = FindMenu(menu);
  if (!record) return FALSE;
  if (byPosition) {
    size_t at = std::min<size_t>(position, record->items.size());
    record->items.insert(record->items.begin() + ptrdiff_t(at), std::move(item));
    return TRUE;
  }
  MenuRecord *holder = nullptr;
  MenuItemRecord *before = FindItem(menu, position, false, &holder);
  if (!before) {
    record->items.push_back(std::move(item));
    return TRUE;
  }
  holder->items.insert(holder->items.begin() + (before - holder->items.data()), std::move(item));
  return TRUE;
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text) {
  return InsertItem(menu, position, (flags & MF_BYPOSITION) != 0, ItemFromFlags(flags, idOrSubmenu, text));
}

BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text) {
  MenuItemRecord *item = FindItem(menu, position, (flags & MF_BYPOSITION) != 0, nullptr);
  if (!item) return FALSE;
  *item = ItemFromFlags(flags, idOrSubmenu, text);
  return TRUE;
}

static void ApplyInfo(MenuItemRecord &item, const MENUITEMINFOA &info) {
  if (info.fMask & (MIIM_TYPE | MIIM_FTYPE)) item.type = info.fType & ~UINT(MFT_BITMAP);
  if (info.fMask & MIIM_STATE) item.state = info.fState;
  if (info.fMask & MIIM_ID) item.id = info.wID;
  if (info.fMask & MIIM_SUBMENU) item.submenu = info.hSubMenu;
  if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
  if ((info.fMask & MIIM_STRING) || ((info.fMask & MIIM_TYPE) && !(info.fType & (MFT_SEPARATOR | MFT_OWNERDRAW))))
    item.text = info.dwTypeData ? info.dwTypeData : "";
  if (info.fMask & MIIM_BITMAP) item.bitmap = info.hbmpItem;
}

BOOL InsertMenuItemA(HMENU menu, UINT position, BOOL byPosition, const MENUITEMINFOA *info) {
  if (!info) return FALSE;
  MenuItemRecord item;
  ApplyInfo(item, *info);
  return InsertItem(menu, position, byPosition != 0, std::move(item));
}

BOOL GetMenuItemInfoA(HMENU menu, UINT position, BOOL byPosition, MENUITEMINFOA *info) {
  MenuItemRecord *item = FindItem(menu, position, byPosition != 0, nullptr);
  if (!item || !info) return FALSE;
  if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = item->type;
  if (info->fMask & MIIM_STATE) info->fState = item->state;
  if (info->fMask & MIIM_ID) info->wID = item->id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = item->submenu;
  if (info->fMask & MIIM_DATA) info->dwItemData = item->data;
  if (info->fMask & MIIM_BITMAP) info->hbmpItem = item->bitmap;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
    if (info->dwTypeData && info->cch > 0) {
      size_t n = std::min<size_t>(item->text.size(), info->cch - 1);
      std::memcpy(info->dwTypeData, item->text.data(), n);
      info->dwTypeData[n] = 0;
      info->cch = UINT(n);
    } else {
      info->cch = UINT(item->text.size());
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT position, BOOL byPosition, const MENUITEMINFOA *info) {
  MenuItemRecord *item = FindItem(menu, position, byPosition != 0, nullptr);
  if (!item || !info) return FALSE;
  ApplyInfo(*item, *info);
  return TRUE;
}

static BOOL Remove(HMENU menu, UINT position, UINT flags, bool destroySubmenu) {
  MenuRecord *holder = nullptr;
  MenuItemRecord *item = FindItem(menu, position, (flags & MF_BYPOSITION) != 0, &holder);
  if (!item) return FALSE;
  HMENU sub = item->submenu;
  holder->items.erase(holder->items.begin() + (item - holder->items.data()));
  if (destroySubmenu && sub) DestroyMenu(sub);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, false); }
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, true); }

int GetMenuItemCount(HMENU menu) {
  MenuRecord *record = FindMenu(menu);
  return record ? int(record->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  MenuRecord *record = FindMenu(menu);
  if (!record || position < 0 || size_t(position) >= record->items.size()) return UINT(-1);
  const MenuItemRecord &item = record->items[size_t(position)];
  return item.submenu ? UINT(-1) : item.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  MenuRecord *record = FindMenu(menu);
  if (!record || position < 0 || size_t(position) >= record->items.size()) return nullptr;
  return record->items[size_t(position)].submenu;
}

int GetMenuStringA(HMENU menu, UINT position, LPSTR buffer, int size, UINT flags) {
  MenuItemRecord *item = FindItem(menu, position, (flags & MF_BYPOSITION) != 0, nullptr);
  if (!item) return 0;
  if (!buffer || size <= 0) return int(item->text.size());
  size_t n = std::min<size_t>(item->text.size(), size_t(size) - 1);
  std::memcpy(buffer, item->text.data(), n);
  buffer[n] = 0;
  return int(n);
}

UINT GetMenuState(HMENU menu, UINT position, UINT flags) {
  MenuItemRecord *item = FindItem(menu, position, (flags & MF_BYPOSITION) != 0, nullptr);
  if (!item) return UINT(-1);
  UINT state = item->state | (item->type & (MFT_SEPARATOR | MFT_OWNERDRAW | MFT_MENUBREAK | MFT_MENUBARBREAK));
  if (item->submenu) {
    int count = GetMenuItemCount(item->submenu);
    state = (UINT(count) << 8) | (state & 0xFF) | MF_POPUP;
  }
  return state;
}

DWORD CheckMenuItem(HMENU menu, UINT position, UINT check) {
  MenuItemRecord *item = FindItem(menu, position, (check & MF_BYPOSITION) != 0, nullptr);
  if (!item) return DWORD(-1);
  DWORD old = item->state & MFS_CHECKED;
  if (check & MF_CHECKED)
    item->state |= MFS_CHECKED;
  else
    item->state &= ~UINT(MFS_CHECKED);
  return old;
}

BOOL EnableMenuItem(HMENU menu, UINT position, UINT enable) {
  MenuItemRecord *item = FindItem(menu, position, (enable & MF_BYPOSITION) != 0, nullptr);
  if (!item) return -1;
  BOOL old = BOOL(item->state & MFS_GRAYED);
  item->state &= ~UINT(MFS_GRAYED);
  if (enable & (MF_GRAYED | MF_DISABLED)) item->state |= (enable & (MF_GRAYED | MF_DISABLED));
  return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  MenuRecord *record = FindMenu(menu);
  if (!record) return FALSE;
  bool byPosition = (flags & MF_BYPOSITION) != 0;
  bool found = false;
  for (size_t i = 0; i < record->items.size(); ++i) {
    MenuItemRecord &item = record->items[i];
    UINT key = byPosition ? UINT(i) : item.id;
    if (key < first || key > last) continue;
    if (key == check) {
      item.state |= MFS_CHECKED;
      item.type |= MFT_RADIOCHECK;
      found = true;
    } else {
      item.state &= ~UINT(MFS_CHECKED);
    }
  }
  return found;
}
