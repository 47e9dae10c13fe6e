// The main window's chrome: the menu-bar panel, the tool bar ToolBar1 with
// its view and period buttons, the page bar (PagePanel, PageLeftPanel,
// PageBar with PageOther and Page1..Page13), the status bar with its
// panels, the quote board's grid and splitter, the fixed menus, and the
// skin that paints them. The window makes one on itself; tests make one on
// a plain form.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/grids.h"
#include "classlib/menus.h"
#include "classlib/toolbar.h"
#include "core/ownerdrawpanel.h"
#include "shell/frameskin.h"
#include "shell/statusbar.h"

class EMenuBar;

class TFrameChrome {
 public:
  // Makes the controls on the form, in the order their docking needs.
  TFrameChrome(TForm *form, TMainMenu *mainMenu);
  ~TFrameChrome();
  TFrameChrome(const TFrameChrome &) = delete;
  TFrameChrome &operator=(const TFrameChrome &) = delete;

  // ---- controls ----
  TPanel *Panel9;  // hosts the menu bar
  TOwnerDrawPanel *StatusBar;
  TOwnerDrawPanel *Panel2;  // index readings
  TOwnerDrawPanel *Panel1;  // news ticker
  TOwnerDrawPanel *Panel3;  // user page name (hidden)
  TOwnerDrawPanel *Panel5;  // brand word and connection symbol
  TOwnerDrawPanel *Panel6;  // clock
  TToolBar *ToolBar1;
  TOwnerDrawPanel *PagePanel;
  TOwnerDrawPanel *PageLeftPanel;
  TToolBar *PageBar;
  TToolButton *PageOther;
  TToolButton *Page[13];
  TDrawGrid *DrawGrid1;
  TSplitter *Splitter1;
  TPopupMenu *PopupMenu1, *PopupMenu2, *PopupMenu3;
  TMainMenu *MainMenu1;
  // A tool-bar button by its form name ("ToolButton3", "LineBtn",
  // "CycleReport", "Cycle1" ...), or null.
  TToolButton *Button(const std::string &name) const;
  TMenuItem *MenuItem(const std::string &name) const;
  // Tool-bar buttons in the bar's order, the period buttons last.
  const std::vector<TToolButton *> &ToolButtons() const { return toolButtons_; }

  // ---- skin ----
  TFrameSkin skin;
  HBITMAP toolBarBitmap = nullptr;     // "toolbar.bmp"
  HBITMAP statusBackground = nullptr;  // built by StatusBarResize
  TClockFont clockFont;                 // the status bar's clock
  EMenuBar *menuBar = nullptr;          // set by the window
  // What the chrome asks of the window: whether the page's active view
  // shows periods (intraday, K-line or report), the page's borders, and a
  // repaint of the page.
  std::function<bool()> periodViewActive;
  std::function<void(const TFrameSkin &)> applyPageBorders;
  std::function<void()> repaintPage;

  // Applies the layout (0 vertical tool bar, 1 horizontal; others change
  // nothing) to the tool bar and the page bar.
  void LayoutToolBars(int layout);
  // Loads the pictures and "skin.ini" of the current skin and applies them.
  void LoadSkin();
  // Rebuilds the status-bar background when its width changed and sets the
  // width of the index panel.
  void StatusBarResize();
  // kind 0 K-line tools, 2 period buttons, 3 block menu.
  void ShowViewTools(bool show, int kind);
  // The background slice of a status panel, at x of the status bar.
  void CopyStatusBackground(HDC dc, int x, int width, int height) const;

 private:
  // The skin's painting of the bars and their buttons.
  void BindPainting();
  TToolButton *AddButton(TToolBar *bar, const char *name, const char *caption, int image, int tag);
  int layout_ = 1;
  std::map<std::string, TToolButton *> buttons_;
  std::vector<TToolButton *> toolButtons_;
};
