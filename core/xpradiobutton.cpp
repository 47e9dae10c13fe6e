#include "core/xpradiobutton.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/chartgfx.h"
#include "core/xpcheckbox.h"

namespace {

// Disc images, rows 1 to 11 (rows 0 and 12 are empty): "-" a cell not
// drawn, "r" a cell that takes the check box's ramp of the state, else the
// colour RRGGBB.
const char *const kNormalDisc[11] = {
    "- - - - - A7B7C1 DADCDA ABBAC6 - - - - -",
    "- - - A6B5BF r r r r r B2C1CD - - -",
    "- - A6B5BF r r r r r r r B5C4D0 - -",
    "- - r r r r r r r r r - -",
    "- A7B7C1 r r r r r r r r r B9C8D5 -",
    "- DADCDA r r r r r r r r r F2F4F5 -",
    "- ABBAC6 r r r r r r r r r BCCBD8 -",
    "- - r r r r r r r r r - -",
    "- - B2C1CD r r r r r r r BCCCD9 - -",
    "- - - B5C4D0 r r r r r BCCCD9 - - -",
    "- - - - - B9C8D5 F2F4F5 BCCBD8 - - - - -",
};
const char *const kPressedDisc[11] = {
    "- - - - - 8A99A0 B6B7AF 91A0A6 - - - - -",
    "- - - 87979E r r r r r 9DACB1 - - -",
    "- - 87979E r r r r r r r A4B2B6 - -",
    "- - r r r r r r r r r - -",
    "- 8A99A0 r r r r r r r r r ABBABD -",
    "- B6B7AF r r r r r r r r r E2E2D6 -",
    "- 91A0A6 r r r r r r r r r B0BEC1 -",
    "- - r r r r r r r r r - -",
    "- - 9DACB1 r r r r r r r B2C0C2 - -",
    "- - - A4B2B6 r r r r r B2C0C2 - - -",
    "- - - - - ABBABD E2E2D6 B0BEC1 - - - - -",
};
const char *const kHotDisc[11] = {
    "- - - - - BCB694 F4D48C BCAF83 - - - - -",
    "- - - BCB99F FEDF9C FDD98C FDD684 FCD37C FCD074 BAA871 - - -",
    "- - BCB99F FEDF9C FBDC98 F7E3B3 F2EDD7 F6E0AC FAD17B FBC863 BAA365 - -",
    "- - FEDF9C FBDC98 F2EEDA F1EFDF F1EFDF F1EFDF F2EDD8 F9CB6D FAC254 - -",
    "- BCB694 FDD98C F7E3B3 F1EFDF F1EFDF F1EFDF F1EFDF F1EFDF F5D99C FAC04E B99E58 -",
    "- F4D48C FDD684 F2EDD7 F1EFDF F1EFDF F1EFDF F1EFDF F1EFDF F2EBD4 F9BD48 F0B745 -",
    "- BCAF83 FCD37C F6E0AC F1EFDF F1EFDF F1EFDF F1EFDF F1EFDF F5D797 F9BB43 B99B51 -",
    "- - FCD074 FAD17B F2EDD8 F1EFDF F1EFDF F1EFDF F1ECD7 F8C259 F9B93E - -",
    "- - BAA871 FBC863 F9CB6D F5D99C F2EBD4 F5D797 F8C259 F9B93E B9994E - -",
    "- - - BAA365 FAC254 FAC04E F9BD48 F9BB43 F9B93E B9994E - - -",
    "- - - - - B99E58 F0B745 B99B51 - - - - -",
};
const char *const kDotEnabled[5] = {
    "- A9DCA6 4DBF4A A0D29E -",
    "A9DCA6 55D551 42C33F 2AA827 9ACC98",
    "4DBF4A 43C33F 38B935 22A220 249624",
    "A0D29E 29A826 21A121 139210 98C997",
    "- 9ACC98 269623 98C897 -",
};
const char *const kDotDisabled[5] = {
    "- D0CEC1 C2C1B7 D0CEC1 -",
    "D0CEC1 C0BFB5 C0BFB5 C0BFB5 D0CEC1",
    "C2C1B7 C0BFB5 C0BFB5 C0BFB5 C2C1B7",
    "D0CEC1 C0BFB5 C0BFB5 C0BFB5 D0CEC1",
    "- D0CEC1 C2C1B7 D0CEC1 -",
};

// The x-th word of a row.
std::string Word(const char *row, int x) {
  const char *p = row;
  for (int i = 0; i < x; ++i) {
    p = std::strchr(p, ' ');
    if (!p) return std::string();
    ++p;
  }
  const char *end = std::strchr(p, ' ');
  return end ? std::string(p, end) : std::string(p);
}

COLORREF FromHex(const std::string &word) {
  auto v = uint32_t(std::strtoul(word.c_str(), nullptr, 16));
  return RGB(BYTE(v >> 16), BYTE(v >> 8), BYTE(v));
}

}  // namespace

bool XPRadioCell(TXPButtonState state, int x, int y, COLORREF *color) {
  if (x < 1 || x > 11 || y < 1 || y > 11) return false;
  const char *const *rows = state == xpsPressed ? kPressedDisc : state == xpsHot ? kHotDisc : kNormalDisc;
  std::string word = Word(rows[y - 1], x);
  if (word == "-" || word.empty()) return false;
  *color = word == "r" ? XPCheckBoxCell(state, x, y) : FromHex(word);
  return true;
}

bool XPRadioDotCell(bool enabled, int x, int y, COLORREF *color) {
  if (x < 0 || x > 4 || y < 0 || y > 4) return false;
  std::string word = Word((enabled ? kDotEnabled : kDotDisabled)[y], x);
  if (word == "-" || word.empty()) return false;
  *color = FromHex(word);
  return true;
}

// ---- TXPRadioButton -----------------------------------------------------------------------
TXPButtonState TXPRadioButton::DrawState() const {
  if (!Enabled()) return xpsDisabled;
  if (mouse_.FPressed) return xpsPressed;
  if (mouse_.FHot) return xpsHot;
  return xpsNormal;
}

void TXPRadioButton::OnPaint(HDC dc) {
  const int w = Width(), h = Height(), t = XPBoxTop(h);
  const TXPButtonState state = DrawState();
  XPFillButtonBackground(Handle(), dc, w, h);
  // The outline: twelve anti-aliased segments around (7, t + 6).
  const int cx = 7, cy = t + 6, r = 6, e = int(0.75 * r + 0.5), g = int(0.433 * r + 0.5);
  const POINT v[12] = {{cx + r, cy}, {cx + e, cy - g}, {cx + g, cy - e}, {cx, cy - r},     {cx - g, cy - e}, {cx - e, cy - g},
                       {cx - r, cy}, {cx - e, cy + g}, {cx - g, cy + e}, {cx, cy + r},     {cx + g, cy + e}, {cx + e, cy + g}};
  COLORREF outline = state == xpsDisabled ? RGB(202, 200, 187) : RGB(28, 81, 128);
  for (int i = 0; i < 12; ++i) DrawLineAA(dc, v[i].x, v[i].y, v[(i + 1) % 12].x, v[(i + 1) % 12].y, outline);
  COLORREF color;
  if (state != xpsDisabled) {
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 13; ++x)
        if (XPRadioCell(state, x, y, &color)) SetPixel(dc, 1 + x, t + y, color);
  }
  if (Checked()) {
    const int top = (h - 5) >> 1;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x)
        if (XPRadioDotCell(state != xpsDisabled, x, y, &color)) SetPixel(dc, 5 + x, top + y, color);
  }
  DrawCaption(dc);
}

void TXPRadioButton::DrawCaption(HDC dc) {
  const int w = Width(), h = Height();
  if (w <= 17) return;
  SIZE text{};
  COLORREF color = Enabled() ? ColorToRGB(Font()->Color()) : kXPDisabledText;
  XPDrawText(Handle(), dc, Caption(), RECT{19, 0, w, h}, DT_LEFT | DT_VCENTER | DT_SINGLELINE, color, &text);
  LRESULT buttonState = SendMessageA(Handle(), BM_GETSTATE, 0, 0);
  if (mouse_.FPressed || (buttonState & BST_FOCUS)) {
    RECT focus{17, std::max((h - text.cy) >> 1, 0), std::min(17 + text.cx + 2, w), std::min((h + text.cy) >> 1, h)};
    DrawFocusRect(dc, &focus);
  }
}

void TXPRadioButton::WndProc(TMessage &m) {
  XPOwnerDrawWndProc(this, m, mouse_, {CM_ENABLEDCHANGED, CM_CHANGED, CN_DRAWITEM, CM_TABSTOPCHANGED},
                     [this](HDC dc) { OnPaint(dc); }, [this](TMessage &message) { TRadioButton::WndProc(message); });
}

namespace xpradiobutton {
void Register() { RegisterComponent(kXPPalettePage, "TXPRadioButton"); }
}  // namespace xpradiobutton
