// The main window's skin: the colours and sizes of the skin folder's
// "skin.ini", the geometry of the two tool-bar layouts, the status bar's
// background and the gradients of the tool bar and the page bar. Pure
// computations here; the frame applies them to its controls.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/windef.h"

// What "skin.ini" holds, with its defaults (a missing file gives these).
struct TFrameSkin {
  // menu bar
  COLORREF menuText = 0, highLightText = 0, ctrlBorder = 0, hotBackground = 13041111, captionText = 255;
  char fontName[32] = "宋体";
  int fontSize = 12;
  char captionFontName[32] = "隶书";
  int captionFontSize = 14, captionFontStyle = 0;
  // tab sets of the control library: TabSet, TabSetLight, TabSetCaption,
  // TabSetCol, TabSetHot, TabSetHotLight, TabSetHotCaption
  COLORREF tabSet[7] = {0, 16777215, 16777215, 16777215, 16777215, 0, 0};
  COLORREF menuDark = 8937485, menuLight = 13680799;
  COLORREF activeSubWndBorder = 0, subWndBorder = 0, subWndBorderInner = 0;
  COLORREF toolBarTop = 16777215, toolBarBottom = 16777215, toolBarMask = 16777215;
  COLORREF pageBarTop = 16777215, pageBarBottom = 16777215, pageBarSelectedTop = 16777215,
           pageBarSelectedBottom = 16777215, pageBarNormalTop = 16777215, pageBarNormalBottom = 16777215;
  COLORREF pageBarText = 0, pageBarHotText = 0;
  COLORREF statusCol = 0, statusText = 0, statusTextRed = 0, statusTextGreen = 0, statusTextYellow = 0;
  COLORREF splitter = 16777215;
  COLORREF windowBorder[3] = {0, 16777215, 16777215};
  // [UI]; 0 where "not set" leaves the form's own size
  int toolBarWidth = 0, toolBarHeight = 0;
  int toolBarButtonWidth = 28, toolBarButtonHeight = 22;
  int toolBarImageWidth = 16, toolBarImageHeight = 16;
  int pageBarWidth = 0, pageBarHeight = 0;
  int statusBarHeight = 0;
};

// Reads a "skin.ini" (Windows path); keys that are missing keep their default.
void ReadFrameSkin(const char *iniPath, TFrameSkin *skin);

// The geometry one tool-bar layout gives the frame's bars.
struct TToolBarGeometry {
  bool valid = false;         // layouts other than 0 and 1 change nothing
  bool wrapButtons = false;   // each tool button on its own row
  bool showChartButtons = false;  // "走势图" and "K线图"
  bool toolBarLeft = false;   // aligned left (else top)
  bool pagePanelTop = false;  // page-bar panel aligned top (else left)
  int pagePanelSize = 26;     // its height (top) or width (left)
  bool pageLeftPanelAligned = false;  // the panel beside the page bar is aligned left
  bool pageButtonsWrap = false;
  int pageButtonWidth = 80, pageButtonHeight = 26;
};
TToolBarGeometry ToolBarGeometryFor(int layout);

// Width of the index panel for a status bar that wide, given the widths
// of the clock and the connection panels.
int IndexPanelWidth(int statusBarWidth, int clockWidth, int connectionWidth);

// The status bar's background as COLORREF pixels row by row
// (width x height): the left end picture copied to the left edge, the
// right one to the right edge, and for every row of the left picture the
// columns between blended linearly from the left picture's last column to
// the right picture's first. Nothing is blended when a picture is missing
// or when one column or none lies between them.
struct TPixelPicture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;  // row by row
  COLORREF At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  COLORREF &At(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  bool Empty() const { return width <= 0 || height <= 0; }
};
TPixelPicture BuildStatusBackground(int width, int height, const TPixelPicture &left, const TPixelPicture &right);

// One row of the vertical gradient over a rectangle height rows high: t =
// row / (height - 1), and t = 0 for a rectangle one row high.
COLORREF GradientRowColor(COLORREF from, COLORREF to, int row, int height);
