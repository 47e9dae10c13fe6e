// The skinned strip at the top of the main window that serves as its title
// bar and menu bar at once: a background stretched from two skin bitmaps,
// the top-level items of the main menu, a caption and the window buttons.
// Each top-level item opens its submenu as a popup menu built from the
// class-library items; dragging the empty part moves the main window.
#pragma once

#include <cstdint>

#include "core/earray.h"
#include "core/ewnd.h"
#include "platform/menu.h"

class TMainMenu;
class TMenuItem;

// The skin the whole program uses: its files lie in
// ".\skin\<SkinLayout>\<SkinNumber>\".
extern int32_t SkinLayout;
extern int32_t SkinNumber;
// ".\skin\%i\%i\skin.ini" of the selected skin.
void SkinFileName(char *out, size_t size, const char *file);

class EMenuBar : public EWnd {
 public:
  // Settles the skin selection from "defui.ini" of the user's folder (ending
  // in a backslash), then of "..\CFG\".
  EMenuBar(TMainMenu *menu, const char *userFolder);
  ~EMenuBar() override;

  void SetCaption(const char *text);
  // Measures the visible top-level items.
  void LayoutItems();
  void OnSize(int width, int height);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  HBITMAP m_hLeft = nullptr;
  HBITMAP m_hRight = nullptr;
  HBITMAP m_hMinimize = nullptr;
  HBITMAP m_hMaximize = nullptr;
  HBITMAP m_hRestore = nullptr;
  HBITMAP m_hClose = nullptr;
  COLORREF m_menuText = RGB(0, 0, 0);
  COLORREF m_highlightText = RGB(255, 0, 0);
  COLORREF m_hotFill = RGB(255, 255, 255);
  COLORREF m_hotBorder = RGB(0, 0, 128);
  COLORREF m_captionText = RGB(255, 255, 255);
  char m_caption[64] = {};
  char m_menuFace[32] = "宋体";
  int32_t m_menuFontHeight = 12;
  char m_captionFace[32] = "宋体";
  int32_t m_captionFontHeight = 12;
  int32_t m_captionFontStyle = 0;  // bit 0 bold, bit 1 italic
  int32_t m_tracking = 0;
  int32_t m_dragX = -1;
  int32_t m_dragY = -1;
  int32_t m_hot = -1;
  int32_t m_fitCount = 0;
  HBITMAP m_hBack = nullptr;
  int32_t m_backWidth = 0;  // size the background was drawn for; 0 redraws it
  int32_t m_backHeight = 0;
  int32_t m_backAllocWidth = 0;
  int32_t m_backAllocHeight = 0;
  TMainMenu *m_menu = nullptr;
  EArray<RECT> m_rects;

 private:
  HWND MainWindow() const;
  bool MainMaximized() const;
  TMenuItem *VisibleItem(int index) const;
  int ItemAt(int x, int y) const;
  int RightWidth() const;
  void Paint();
  void DrawBackground(HDC dc);
  void OnMouseMove(WPARAM keys, int x, int y);
  void OnMouseLeave();
  void OnLButtonDown(int x, int y);
  void OnLButtonDblClk(int x, int y);
  void PostSysCommand(WPARAM command);
  HFONT MakeFont(const char *face, int height, int style) const;
};

// Fills the popup menu with the visible children of the parent item, command
// ids from id on (a child's submenu items are numbered before the child);
// returns the next free id.
int BuildPopupMenu(HMENU menu, TMenuItem *parent, int id);
// Fires the child numbered target in the order of BuildPopupMenu; 0 when one
// was fired, else the next id.
int FireMenuCommand(TMenuItem *parent, int target, int id);
