#include "shell/frameskin.h"

#include <algorithm>
#include <cstring>

#include "platform/profile.h"

namespace {

COLORREF ReadColor(const char *ini, const char *key, COLORREF fallback) {
  return COLORREF(GetPrivateProfileIntA("Color", key, int(fallback), ini));
}

int ReadUi(const char *ini, const char *key, int fallback) { return int(GetPrivateProfileIntA("UI", key, fallback, ini)); }

}  // namespace

void ReadFrameSkin(const char *ini, TFrameSkin *s) {
  const TFrameSkin d;
  s->menuText = ReadColor(ini, "MenuText", d.menuText);
  s->highLightText = ReadColor(ini, "HighLightText", d.highLightText);
  s->ctrlBorder = ReadColor(ini, "CtrlBorder", d.ctrlBorder);
  s->hotBackground = ReadColor(ini, "HotBackground", d.hotBackground);
  s->captionText = ReadColor(ini, "CaptionText", d.captionText);
  GetPrivateProfileStringA("Font", "Name", d.fontName, s->fontName, sizeof s->fontName, ini);
  s->fontSize = int(GetPrivateProfileIntA("Font", "Size", d.fontSize, ini));
  GetPrivateProfileStringA("CaptionFont", "Name", d.captionFontName, s->captionFontName, sizeof s->captionFontName, ini);
  s->captionFontSize = int(GetPrivateProfileIntA("CaptionFont", "Size", d.captionFontSize, ini));
  s->captionFontStyle = int(GetPrivateProfileIntA("CaptionFont", "Style", d.captionFontStyle, ini));
  static const char *const kTabKeys[7] = {"TabSet",    "TabSetLight",    "TabSetCaption",   "TabSetCol",
                                          "TabSetHot", "TabSetHotLight", "TabSetHotCaption"};
  for (int i = 0; i < 7; ++i) s->tabSet[i] = ReadColor(ini, kTabKeys[i], d.tabSet[i]);
  s->menuDark = ReadColor(ini, "MenuDark", d.menuDark);
  s->menuLight = ReadColor(ini, "MenuLight", d.menuLight);
  s->activeSubWndBorder = ReadColor(ini, "ActiveSubWndBorder", 0);
  s->subWndBorder = ReadColor(ini, "SubWndBorder", 0);
  s->subWndBorderInner = ReadColor(ini, "SubWndBorderInner", 0);
  s->toolBarTop = ReadColor(ini, "ToolBarTop", d.toolBarTop);
  s->toolBarBottom = ReadColor(ini, "ToolBarBottom", d.toolBarBottom);
  s->toolBarMask = ReadColor(ini, "ToolBarMask", d.toolBarMask);
  s->pageBarTop = ReadColor(ini, "PageBarTop", d.pageBarTop);
  s->pageBarBottom = ReadColor(ini, "PageBarBottom", d.pageBarBottom);
  s->pageBarSelectedTop = ReadColor(ini, "PageBarSelectedTop", d.pageBarSelectedTop);
  s->pageBarSelectedBottom = ReadColor(ini, "PageBarSelectedBottom", d.pageBarSelectedBottom);
  s->pageBarNormalTop = ReadColor(ini, "PageBarNormalTop", d.pageBarNormalTop);
  s->pageBarNormalBottom = ReadColor(ini, "PageBarNormalBottom", d.pageBarNormalBottom);
  s->pageBarText = ReadColor(ini, "PageBarText", d.pageBarText);
  s->pageBarHotText = ReadColor(ini, "PageBarHotText", d.pageBarHotText);
  s->statusCol = ReadColor(ini, "StatusCol", 0);
  s->statusText = ReadColor(ini, "StatusText", 0);
  s->statusTextRed = ReadColor(ini, "StatusTextRed", 0);
  s->statusTextGreen = ReadColor(ini, "StatusTextGreen", 0);
  s->statusTextYellow = ReadColor(ini, "StatusTextYellow", 0);
  s->splitter = ReadColor(ini, "Splitter", d.splitter);
  s->windowBorder[0] = ReadColor(ini, "WindowBorderOuter", d.windowBorder[0]);
  s->windowBorder[1] = ReadColor(ini, "WindowBorderMiddle", d.windowBorder[1]);
  s->windowBorder[2] = ReadColor(ini, "WindowBorderInner", d.windowBorder[2]);
  s->toolBarWidth = ReadUi(ini, "ToolBarWidth", 0);
  s->toolBarHeight = ReadUi(ini, "ToolBarHeight", 0);
  s->toolBarButtonWidth = ReadUi(ini, "ToolBarButtonWidth", d.toolBarButtonWidth);
  s->toolBarButtonHeight = ReadUi(ini, "ToolBarButtonHeight", d.toolBarButtonHeight);
  s->toolBarImageWidth = ReadUi(ini, "ToolBarImageWidth", d.toolBarImageWidth);
  s->toolBarImageHeight = ReadUi(ini, "ToolBarImageHeight", d.toolBarImageHeight);
  s->pageBarWidth = ReadUi(ini, "PageBarWidth", 0);
  s->pageBarHeight = ReadUi(ini, "PageBarHeight", 0);
  s->statusBarHeight = ReadUi(ini, "StatusBarHeight", 0);
}

TToolBarGeometry ToolBarGeometryFor(int layout) {
  TToolBarGeometry g;
  if (layout != 0 && layout != 1) return g;
  g.valid = true;
  const bool vertical = layout == 0;
  g.wrapButtons = vertical;
  g.showChartButtons = vertical;
  g.toolBarLeft = vertical;
  g.pagePanelTop = vertical;
  g.pagePanelSize = 26;
  g.pageLeftPanelAligned = vertical;
  g.pageButtonsWrap = !vertical;
  g.pageButtonWidth = vertical ? 80 : 26;
  g.pageButtonHeight = vertical ? 26 : 82;
  return g;
}

int IndexPanelWidth(int statusBarWidth, int clockWidth, int connectionWidth) {
  return statusBarWidth < 804 ? statusBarWidth - clockWidth - connectionWidth : 686;
}

namespace {

int Channel(COLORREF c, int shift) { return int((c >> shift) & 0xFF); }

}  // namespace

TPixelPicture BuildStatusBackground(int width, int height, const TPixelPicture &left, const TPixelPicture &right) {
  TPixelPicture out;
  if (width <= 0 || height <= 0) return out;
  out.width = width;
  out.height = height;
  out.pixels.assign(size_t(width) * size_t(height), 0);
  auto copy = [&](const TPixelPicture &picture, int atX) {
    for (int y = 0; y < std::min(height, picture.height); ++y)
      for (int x = 0; x < picture.width; ++x)
        if (atX + x >= 0 && atX + x < width) out.At(atX + x, y) = picture.At(x, y);
  };
  if (!left.Empty()) copy(left, 0);
  if (!right.Empty()) copy(right, width - right.width);
  // Both pictures and at least two columns between them: with one column
  // the blend's divisor is zero, with none there is nothing to fill.
  if (left.Empty() || right.Empty()) return out;
  const int from = left.width, to = width - right.width;
  if (to - from < 2) return out;
  const int span = to - from - 1;
  for (int y = 0; y < std::min(height, left.height); ++y) {
    const COLORREF l = out.At(from - 1, y), r = out.At(to, y);
    for (int x = from; x < to; ++x) {
      const double t = double(x - from) / double(span);
      int c[3];
      for (int k = 0; k < 3; ++k) {
        const int a = Channel(l, 8 * k), b = Channel(r, 8 * k);
        c[k] = int(double(a) - double(a - b) * t);
      }
      out.At(x, y) = RGB(c[0], c[1], c[2]);
    }
  }
  return out;
}

COLORREF GradientRowColor(COLORREF from, COLORREF to, int row, int height) {
  const double t = height > 1 ? double(row) / double(height - 1) : 0.0;
  int c[3];
  for (int k = 0; k < 3; ++k) {
    const int a = Channel(from, 8 * k), b = Channel(to, 8 * k);
    c[k] = a - int(double(a - b) * t);
  }
  return RGB(c[0], c[1], c[2]);
}
