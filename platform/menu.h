// Menus of the window layer: menu handles holding items, and popup menus
// shown as windows of the class "#32768" with their own modal loop.
#pragma once

#include "platform/winuser.h"

enum : UINT {
  MF_INSERT = 0x0000,
  MF_STRING = 0x0000,
  MF_BYCOMMAND = 0x0000,
  MF_ENABLED = 0x0000,
  MF_UNCHECKED = 0x0000,
  MF_GRAYED = 0x0001,
  MF_DISABLED = 0x0002,
  MF_BITMAP = 0x0004,
  MF_CHECKED = 0x0008,
  MF_POPUP = 0x0010,
  MF_MENUBARBREAK = 0x0020,
  MF_MENUBREAK = 0x0040,
  MF_HILITE = 0x0080,
  MF_OWNERDRAW = 0x0100,
  MF_BYPOSITION = 0x0400,
  MF_SEPARATOR = 0x0800,
  MF_DEFAULT = 0x1000,
};
enum : UINT {
  MFT_STRING = 0x0000,
  MFT_BITMAP = 0x0004,
  MFT_MENUBARBREAK = 0x0020,
  MFT_MENUBREAK = 0x0040,
  MFT_OWNERDRAW = 0x0100,
  MFT_RADIOCHECK = 0x0200,
  MFT_SEPARATOR = 0x0800,
  MFT_RIGHTORDER = 0x2000,
  MFT_RIGHTJUSTIFY = 0x4000,
};
enum : UINT {
  MFS_ENABLED = 0x0000,
  MFS_UNCHECKED = 0x0000,
  MFS_UNHILITE = 0x0000,
  MFS_GRAYED = 0x0003,
  MFS_DISABLED = 0x0003,
  MFS_CHECKED = 0x0008,
  MFS_HILITE = 0x0080,
  MFS_DEFAULT = 0x1000,
};
enum : UINT {
  MIIM_STATE = 0x0001,
  MIIM_ID = 0x0002,
  MIIM_SUBMENU = 0x0004,
  MIIM_CHECKMARKS = 0x0008,
  MIIM_TYPE = 0x0010,
  MIIM_DATA = 0x0020,
  MIIM_STRING = 0x0040,
  MIIM_BITMAP = 0x0080,
  MIIM_FTYPE = 0x0100,
};
enum : UINT {
  TPM_LEFTBUTTON = 0x0000,
  TPM_LEFTALIGN = 0x0000,
  TPM_TOPALIGN = 0x0000,
  TPM_RIGHTBUTTON = 0x0002,
  TPM_CENTERALIGN = 0x0004,
  TPM_RIGHTALIGN = 0x0008,
  TPM_VCENTERALIGN = 0x0010,
  TPM_BOTTOMALIGN = 0x0020,
  TPM_NONOTIFY = 0x0080,
  TPM_RETURNCMD = 0x0100,
};
// Messages of the popup menu window itself.
enum : UINT {
  MN_GETHMENU = 0x01E1,
  MN_SHOWING = 0x01E2,     // wParam non-zero while the menu window is made visible
  MN_SELECTITEM = 0x01E5,  // wParam: the item to select (index), -1 none
};
enum : UINT { PRF_CHECKVISIBLE = 0x1, PRF_NONCLIENT = 0x2, PRF_CLIENT = 0x4, PRF_ERASEBKGND = 0x8, PRF_CHILDREN = 0x10 };

struct MENUITEMINFOA {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked;
  HBITMAP hbmpUnchecked;
  ULONG_PTR dwItemData;
  LPSTR dwTypeData;
  UINT cch;
  HBITMAP hbmpItem;
};
struct TPMPARAMS {
  UINT cbSize;
  RECT rcExclude;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text);
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text);
BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text);
BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA *info);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA *info);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA *info);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// The screen rectangle of an item of the popup menu now shown in the window
// (null window: any shown menu).
BOOL GetMenuItemRect(HWND hwnd, HMENU menu, UINT position, RECT *rect);
// Shows the menu at the screen point and runs its loop until an item is
// chosen or the menu is dismissed. With TPM_RETURNCMD the chosen command is
// returned (0 for none); otherwise it is posted to the owner as WM_COMMAND
// and the result is non-zero on success.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT *ignored);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS *params);
BOOL EndMenu();
