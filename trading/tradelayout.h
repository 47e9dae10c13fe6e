// Where everything of the trading window goes, computed without a window:
// the pages and panels for a page state, the order-entry layout and the
// window's size; the floating frame's hit test and cursors; the sanity rule
// of the stored floating rectangle; the login block's centring; the text
// page; and the account holder's name down the command strip.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windef.h"

// The parts of the trading window the layout places or shows.
enum TTradingPart : int {
  kPartLoginPage,      // Panel11
  kPartTextPage,       // Panel13
  kPartCheckPage,      // Panel21
  kPartTree,           // XPTreeView1
  kPartTabs,           // XPTabControl1
  kPartStrip,          // PanelCmdBtn
  kPartCollapse,       // XPButton48
  kPartOrderNormal,    // Panel1012
  kPartOrderKeyboard,  // Panel12
  kPartOrderQuick,     // PanelF22
  kPartListArea,       // Panel4
  kPartQueryTabs,      // XPTabControl2
  kPartBankTabs,       // XPTabControl3
  kPartAboutPage,      // Panel25
  kPartLogTabs,        // XPTabControl5
  kPartTradesPanel,    // Panel14, inside the list area
  kPartConditionPage,  // XPTabControl4, inside the list area
  kPartCount
};

// What the layout does to one part: visibility (-1 untouched) and bounds
// (only when place is set).
struct TPartPlacement {
  int8_t show = -1;
  bool place = false;
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TPartPlacement &) const = default;
};

// The sizes the layout depends on besides the window's.
struct TTradingSizes {
  int treeWidth = 121;       // TW
  int tabHeight = 23;        // TH
  int stripWidth = 21;       // CW
  int collapseWidth = 9;     // BW
  int splitterMin = 218;     // the docked window's least height
  int quickPanelHeight = 92; // PanelF22's own height
};

struct TTradingLayout {
  // False: the page state changes nothing.
  bool changed = false;
  TPartPlacement parts[kPartCount];
  // The navigation item to select (-1: none).
  int navItem = -1;
  // The order filter to restore: -1 none, 1 "可撤", 0 "全部".
  int cancellableFilter = -1;
  // The list area was moved: its own layout runs once.
  bool listAreaLayout = false;
  // XPButton48's hint.
  const char *collapseHint = "";
};

// The whole layout. orderTag is the order list's tag (tens digit: the
// trading page's filter, units digit: the lists' filter).
TTradingLayout ComputeTradingLayout(int width, int height, bool docked, int layout, bool collapsed, int pageState,
                                    const TTradingSizes &sizes, int orderTag = 10);

// ---- the floating frame ----
// The frame's part under a point in the window's client coordinates
// (HTCLIENT while docked).
int TradingHitTest(bool docked, int x, int y, int width, int height);
// The standard cursor of a hit code, or null when the code is not handled.
LPCSTR TradingHitCursor(int hit);
constexpr int kFloatMinWidth = 320;
constexpr int kFloatMinHeight = 265;
// The new bounds of a drag on a hit code, the mouse moved by (dx, dy) from
// where the press was: borders size (at least 320 x 265, the opposite edge
// stays), the caption moves.
RECT TradingDragRect(int hit, const RECT &start, int dx, int dy);

// ---- stored geometry ----
// "left,top,width,height" with every number range-checked: false for a
// malformed, partial or out-of-range text (then rect is 0,0,0,0).
bool ParseFloatPos(const char *text, RECT *rect);
// The floating rectangle (left, top, right, bottom) for a stored one of the
// given position and size in a main window of that size: the stored one
// when sane, else 800 wide, splitterMin + 51 high, centred.
RECT SaneFloatRect(const RECT &stored, int mainWidth, int mainHeight, int splitterMin);
// [UI] WndHeight read as text: at least splitterMin; a malformed or
// out-of-range text gives splitterMin.
int ParseWndHeight(const char *text, int splitterMin);

// ---- the login page ----
// Left edges of the login block's columns as designed (the keypad's right
// edge for the block's width).
struct TLoginColumns {
  int serverList = 20, label7 = 190, edit4 = 254, imageSoftKey = 412, button5 = 456, button6 = 532;
  int softKeyRight = 612;
};
// Where Panel11Resize puts them for a panel width.
struct TLoginPlaces {
  int x = 0;          // Label26, the server list, Label10 (width `width`)
  int width = 0;
  int labels = 0;     // Label7, Label8, LabelSK1
  int edits = 0;      // XPEdit4, XPEdit5, the security combo
  int codeEdit = 0;   // XPEditSK1
  int checkBox = 0;   // XPCheckBox1
  int keypad = 0;     // ImageSoftKey, PanelVerify, PanelSoftKey
  int button5 = 0, button6 = 0;
};
TLoginPlaces CentreLoginBlock(const TLoginColumns &design, int panelWidth);

// The text page: the viewer above a row of the two buttons. The task
// page (20) shows only the confirm button, centred; the pages 19 and 21
// neither button.
struct TTextPagePlaces {
  RECT viewer, confirm, exit;
  bool showConfirm = true, showExit = true;
};
TTextPagePlaces TextPageLayout(int width, int height, int page = 0);

// ---- texts on GBK boundaries ----
// Copies at most n bytes of text and a NUL, never half a character.
void strncopy(char *out, const char *text, size_t n);
// Cuts text in place to at most n bytes, never inside a character.
void strncut(char *text, size_t n);

// One character of the account holder's name down the command strip.
struct TStripChar {
  char text[3];
  int y;
};
// The name's characters top to bottom over a strip whose bottom is given:
// the k-th of n characters stands at bottom - (n - k) * 14 - 18 (- 36 with
// the order area at the left), a two-character name counted as three. At
// most 16 characters, never half of one; returns the count.
int StripNameChars(const char *name, int bottom, bool left, TStripChar out[16]);
