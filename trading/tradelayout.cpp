#include "trading/tradelayout.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/gbk.h"
#include "platform/winuser.h"
#include "trading/deskdata.h"

namespace {

void Hide(TTradingLayout &l, int part) { l.parts[part].show = 0; }
void Show(TTradingLayout &l, int part) { l.parts[part].show = 1; }
void Place(TTradingLayout &l, int part, int left, int top, int width, int height) {
  TPartPlacement &p = l.parts[part];
  p.place = true;
  p.left = left;
  p.top = top;
  p.width = width;
  p.height = height;
}

bool WholeWindowPage(int state) {
  switch (state) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 7: case 8: case 9: return true;
    default: return false;
  }
}
bool TradingPage(int state) { return (state >= 12 && state <= 15) || state == 22; }
bool TabPage(int state) { return state == 16 || state == 17 || state == 19; }

int NavItemOf(int state) {
  switch (state) {
    case 12: return 0;
    case 13: return 1;
    case 14: return 2;
    case 15: return 3;
    case 22: return 4;
    case 16: return 5;
    case 19: return 7;
    case 17: return 8;
    default: return -1;
  }
}

int WholePageOf(int state) {
  if (state == 9) return kPartCheckPage;
  if (state == 1 || state == 2 || state == 7 || state == 8) return kPartTextPage;
  return kPartLoginPage;
}

int TabPageOf(int state) { return state == 16 ? kPartQueryTabs : state == 17 ? kPartBankTabs : kPartAboutPage; }

}  // namespace

TTradingLayout ComputeTradingLayout(int W, int H, bool D, int layout, bool C, int state, const TTradingSizes &s,
                                    int orderTag) {
  TTradingLayout l;
  l.collapseHint = C ? "显示" : "隐藏";
  const bool whole = WholeWindowPage(state), trading = TradingPage(state), tab = TabPage(state);
  if (!whole && !trading && !tab && state != 20) return l;
  l.changed = true;

  const int TW = s.treeWidth, TH = s.tabHeight, CW = s.stripWidth, BW = s.collapseWidth;
  const int L = D ? TW : 3, T = D ? 0 : TH + 24, M = D ? TW : 6, V = D ? 0 : TH + 27;
  const int OW = std::clamp(W - CW - BW - (D ? TW + 3 : 6), 0, 287);
  const int OH = std::max(0, std::min(s.splitterMin, H - V));
  const int OC = C ? 0 : OW;

  // Every part the page does not show is hidden; the lists' inner panels
  // belong to the list area's own layout.
  for (int part = 0; part < kPartCount; ++part)
    if (part != kPartTradesPanel && part != kPartConditionPage) Hide(l, part);

  if (whole) {
    const int page = WholePageOf(state);
    Show(l, page);
    if (D) Place(l, page, 0, 0, W, H);
    else Place(l, page, 3, 24, W - 6, H - 27);
    return l;
  }

  if (state == 20) {
    Show(l, kPartTextPage);
    Place(l, kPartTextPage, D ? 1 : 3, D ? 0 : 24, W - (D ? 2 : 6) - CW, H - (D ? 0 : 27));
    Show(l, kPartStrip);
    Place(l, kPartStrip, W - CW - (D ? 0 : 3), D ? 0 : 24, CW, H - (D ? 0 : 27));
    return l;
  }

  // The navigation of trading and tab pages.
  if (D) {
    Show(l, kPartTree);
    Place(l, kPartTree, 0, 0, TW, H);
  } else {
    Show(l, kPartTabs);
    Place(l, kPartTabs, 3, 24, W - 6, TH);
  }
  Show(l, kPartStrip);
  Place(l, kPartStrip, W - CW - (D ? 0 : 3), T, CW, H - V);
  l.navItem = NavItemOf(state);

  if (tab) {
    const int page = TabPageOf(state);
    Show(l, page);
    Place(l, page, L + 1, T, W - M - CW, H - V);
    return l;
  }

  // Trading pages.
  if (layout == 2) Show(l, kPartOrderQuick);
  else Show(l, kPartCollapse);
  if (layout == 0 && !C) Show(l, kPartOrderNormal);
  if (layout == 1 && !C) Show(l, kPartOrderKeyboard);
  if (state >= 13 && state <= 15) Hide(l, kPartConditionPage);
  if (state == 22) Show(l, kPartConditionPage);
  if (state == 13 || state == 15 || state == 22) Hide(l, kPartTradesPanel);
  if (state == 14) Show(l, kPartTradesPanel);
  if (state == 12) l.cancellableFilter = (orderTag / 10 % 10) == 1 ? 1 : 0;
  if (state == 13 || state == 14) l.cancellableFilter = (orderTag % 10) == 1 ? 1 : 0;

  Show(l, kPartListArea);
  switch (layout) {
    case 2: {
      const int a = (state == 12 || state == 14) ? 0 : 2;
      const int b = (state == 12 || state == 14) ? 2 : state == 22 ? 0 : 1;
      const int QH = s.quickPanelHeight;
      Place(l, kPartOrderQuick, L + a, T, W - M - CW - 2, QH);
      Place(l, kPartListArea, L + b, T + QH, W - M - CW - 2, H - (D ? QH : TH + QH + 30));
      l.listAreaLayout = true;
      break;
    }
    case 1: {
      const int right = W - (D ? 0 : 3);
      Place(l, kPartListArea, L, T, W - M - OC - BW - CW - 2, H - V);
      if (!C) Place(l, kPartOrderKeyboard, right - OC - BW - CW, T, OW, OH);
      Place(l, kPartCollapse, right - BW - CW, T - 1, BW, OH + 1);
      l.listAreaLayout = true;
      break;
    }
    case 0:
      if (!C) Place(l, kPartOrderNormal, L + 1, T, OW, OH);
      Place(l, kPartCollapse, L + OC, T - 1, BW, OH + 1);
      Place(l, kPartListArea, L + OC + BW + 1, T, W - M - OC - BW - CW - 2, H - V);
      l.listAreaLayout = true;
      break;
    default: break;  // arbitrage: the list area stays where it is
  }
  return l;
}

// ---- the floating frame ----

int TradingHitTest(bool docked, int x, int y, int width, int height) {
  if (docked) return HTCLIENT;
  const bool top = y < 3, bottom = y >= height - 3, left = x < 3, right = x >= width - 3;
  if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
  if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
  if (left) return HTLEFT;
  if (right) return HTRIGHT;
  if (y < 24) return HTCAPTION;
  return HTCLIENT;
}

LPCSTR TradingHitCursor(int hit) {
  switch (hit) {
    case HTCAPTION: return IDC_SIZEALL;
    case HTLEFT: case HTRIGHT: return IDC_SIZEWE;
    case HTTOP: case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT: case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT: case HTBOTTOMLEFT: return IDC_SIZENESW;
    default: return nullptr;
  }
}

RECT TradingDragRect(int hit, const RECT &start, int dx, int dy) {
  RECT r = start;
  if (hit == HTCAPTION) {
    r.left += dx, r.right += dx, r.top += dy, r.bottom += dy;
    return r;
  }
  const bool left = hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT;
  const bool right = hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT;
  const bool top = hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT;
  const bool bottom = hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT;
  if (left) r.left = std::min<LONG>(start.left + dx, start.right - kFloatMinWidth);
  if (right) r.right = std::max<LONG>(start.right + dx, start.left + kFloatMinWidth);
  if (top) r.top = std::min<LONG>(start.top + dy, start.bottom - kFloatMinHeight);
  if (bottom) r.bottom = std::max<LONG>(start.bottom + dy, start.top + kFloatMinHeight);
  return r;
}

// ---- stored geometry ----

namespace {

// One decimal number of the window's range (|v| <= 1,000,000), blanks
// around it allowed; the rest of the text after it in *end.
bool ReadNumber(const char *text, long *value, const char **end) {
  while (*text == ' ') ++text;
  if (!(*text == '-' || *text == '+' || (*text >= '0' && *text <= '9'))) return false;
  char *stop = nullptr;
  errno = 0;
  const long v = strtol(text, &stop, 10);
  if (stop == text || errno == ERANGE || v < -1000000 || v > 1000000) return false;
  while (*stop == ' ') ++stop;
  *value = v;
  *end = stop;
  return true;
}

}  // namespace

bool ParseFloatPos(const char *text, RECT *rect) {
  *rect = RECT{0, 0, 0, 0};
  if (!text) return false;
  long v[4];
  const char *at = text;
  for (int i = 0; i < 4; ++i) {
    if (!ReadNumber(at, &v[i], &at)) return false;
    if (i < 3 && *at++ != ',') return false;
  }
  if (*at) return false;
  *rect = RECT{LONG(v[0]), LONG(v[1]), LONG(v[0] + v[2]), LONG(v[1] + v[3])};
  return true;
}

RECT SaneFloatRect(const RECT &stored, int mainWidth, int mainHeight, int splitterMin) {
  // 64-bit sums: no stored value can wrap the tests.
  const int64_t left = stored.left, top = stored.top;
  const int64_t width = int64_t(stored.right) - left, height = int64_t(stored.bottom) - top;
  const bool bad = width <= 160 || height <= 160 || left + width < 30 || top + height < 100 ||
                   left + 30 >= mainWidth || top + 30 >= int64_t(mainHeight) - 20;
  if (!bad) return stored;
  const int w = 800, h = splitterMin + 51;
  const int x = (mainWidth - w) / 2, y = (mainHeight - h) / 2;
  return RECT{x, y, x + w, y + h};
}

int ParseWndHeight(const char *text, int splitterMin) {
  long value = 0;
  const char *end = nullptr;
  if (!text || !ReadNumber(text, &value, &end) || *end) return splitterMin;
  return value < splitterMin ? splitterMin : int(value);
}

// ---- the login page ----

TLoginPlaces CentreLoginBlock(const TLoginColumns &d, int panelWidth) {
  TLoginPlaces p;
  p.width = d.softKeyRight - d.serverList;
  const int d1 = d.label7 - d.serverList, d2 = d.edit4 - d.label7, d3 = d.imageSoftKey - d.edit4;
  const int d4 = d.button5 - d.imageSoftKey, d5 = d.button6 - d.button5;
  p.x = (panelWidth - p.width) / 2;
  p.labels = p.x + d1;
  p.edits = p.labels + d2;
  p.codeEdit = p.edits + 86;
  const int c = p.edits + d3;
  p.checkBox = c - 1;
  p.keypad = c;
  p.button5 = c + d4;
  p.button6 = p.button5 + d5;
  return p;
}

TTextPagePlaces TextPageLayout(int width, int height, int page) {
  constexpr int kButtonWidth = 70, kButtonHeight = 24, kStep = 71;
  TTextPagePlaces p;
  if (page == 19 || page == 21) {
    p.viewer = RECT{0, 0, width, height};
    p.showConfirm = p.showExit = false;
    return p;
  }
  p.viewer = RECT{0, 0, width, std::max(0, height - 31)};
  const int top = height - 27;
  const int left = page == 20 ? (width - kButtonWidth) / 2 : (width - 141) / 2;
  p.confirm = RECT{left, top, left + kButtonWidth, top + kButtonHeight};
  p.exit = RECT{left + kStep, top, left + kStep + kButtonWidth, top + kButtonHeight};
  p.showExit = page != 20;
  return p;
}

// ---- texts ----

void strncopy(char *out, const char *text, size_t n) { CopyGbkCut(out, n + 1, text ? text : ""); }

void strncut(char *text, size_t n) {
  if (!text) return;
  text[platform::GbkCutLength(text, n)] = '\0';
}

int StripNameChars(const char *name, int bottom, bool left, TStripChar out[16]) {
  if (!name) return 0;
  char cut[33];
  strncopy(cut, name, 32);
  // One character per line, stepped on character boundaries; for a name of
  // double-byte characters the line of byte i is i/2 of n/2.
  int count = 0;
  for (size_t i = 0; cut[i] && count < 16;) {
    const bool wide = platform::IsGbkPair(cut, i);
    TStripChar &c = out[count++];
    c.text[0] = cut[i];
    c.text[1] = wide ? cut[i + 1] : '\0';
    c.text[2] = '\0';
    i += wide ? 2 : 1;
  }
  const int lines = count == 2 && strlen(cut) == 4 ? 3 : count;  // a two-character name stands a line higher
  for (int k = 0; k < count; ++k) out[k].y = bottom - (lines - k) * 14 - (left ? 36 : 18);
  return count;
}
