// Popup menus in the skin's look. Every popup menu window of the GUI thread
// (class "#32768") is subclassed while it is shown: it is widened by 5
// pixels, gets a 1-pixel dark frame and a 5-pixel vertical colour strip on
// its left, is double-buffered on white, and submenus stay flush with their
// parent menu. A thread hook finds the menu windows as they are created and
// shown.
//
// The menu window has no frame of its own: the skin keeps a 3-pixel border
// (5 more on the left) around what the window paints, so its items are drawn
// 5 pixels right of where the window places them.
#pragma once

#include <cstdint>

#include "platform/menu.h"
#include "platform/winuser.h"

// The strip's colours, set from the skin.
extern COLORREF MenuDark;
extern COLORREF MenuLight;

// Installs the hook for the calling (GUI) thread; returns 1. It stays.
int InstallMenuSkinHook();

class CSkinMenu {
 public:
  explicit CSkinMenu(HWND window);
  CSkinMenu(const CSkinMenu &) = delete;
  CSkinMenu &operator=(const CSkinMenu &) = delete;

  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Records the menu (only when none is recorded yet or the new one is null;
  // a handle that is not a menu records null) and the parent.
  void AttachMenu(HMENU menu, CSkinMenu *parent);
  // The subclassed window whose menu holds the menu as a submenu, or null.
  static CSkinMenu *FindParentOf(HMENU menu);
  // The object of a subclassed menu window, or null.
  static CSkinMenu *FromWindow(HWND window);
  // The subclassed window that shows the menu, or null.
  static CSkinMenu *FromMenu(HMENU menu);
  // Where an item is drawn, in client coordinates; false when there is none.
  bool ItemRect(int item, RECT *rect) const;

  int32_t m_lastSelected = -2;
  HMENU m_hMenu = nullptr;
  CSkinMenu *m_parent = nullptr;
  int32_t m_menuAnimation = 0;
  int32_t m_firstPaint = 1;
  WNDPROC m_oldProc = nullptr;
  HWND m_hWnd = nullptr;
  RECT m_lastPaint{};  // the update area of the last WM_PAINT
  int32_t m_widened = 0;

 private:
  void PaintFrame(HDC dc);
  LRESULT Previous(UINT message, WPARAM wParam, LPARAM lParam);
};
