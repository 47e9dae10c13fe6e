#include "core/xpbutton.h"

#include <algorithm>

namespace {

constexpr COLORREF kBorder = RGB(0, 60, 116);

// One row of the corner table: a pixel, or two of the same colours, placed
// from the left or top (offset) or from the right or bottom (W or H minus
// offset); one colour per state Normal, Default, Hot, Pressed, -1 not set.
struct Corner {
  int x;
  bool fromRight;
  int y;
  bool fromBottom;
  int64_t colour[4];
};
constexpr int64_t kNone = -1;
constexpr int64_t C(int r, int g, int b) { return int64_t(RGB(BYTE(r), BYTE(g), BYTE(b))); }

constexpr Corner kCorners[] = {
    {1, false, 2, false, {C(121, 149, 167), C(121, 149, 167), C(121, 149, 167), C(121, 149, 167)}},
    {2, false, 1, false, {C(121, 149, 167), C(121, 149, 167), C(121, 149, 167), C(121, 149, 167)}},
    {2, false, 2, false, {C(85, 125, 162), C(39, 77, 133), C(141, 158, 161), C(70, 109, 142)}},
    {3, false, 2, false, {C(192, 207, 221), kNone, kNone, C(157, 168, 172)}},
    {2, false, 3, false, {C(191, 206, 220), kNone, kNone, C(160, 171, 177)}},
    {2, true, 2, false, {C(122, 149, 168), C(122, 149, 168), C(122, 149, 168), C(122, 149, 168)}},
    {3, true, 1, false, {C(102, 135, 159), C(102, 135, 159), C(102, 135, 159), C(102, 135, 159)}},
    {3, true, 2, false, {C(85, 125, 162), C(39, 77, 133), C(141, 158, 161), C(73, 112, 146)}},
    {4, true, 2, false, {C(213, 223, 232), kNone, kNone, C(177, 183, 183)}},
    {3, true, 3, false, {C(191, 206, 219), kNone, kNone, C(169, 181, 189)}},
    {2, true, 3, true, {C(106, 139, 162), C(106, 139, 162), C(106, 139, 162), C(106, 139, 162)}},
    {3, true, 3, true, {C(72, 110, 144), C(39, 77, 133), C(131, 132, 111), C(79, 119, 155)}},
    {3, true, 2, true, {C(108, 140, 163), C(108, 140, 163), C(108, 140, 163), C(108, 140, 163)}},
    {3, true, 4, true, {C(182, 189, 189), kNone, kNone, C(196, 206, 210)}},
    {4, true, 3, true, {C(177, 183, 182), kNone, kNone, C(202, 211, 218)}},
    {1, false, 3, true, {C(101, 134, 159), C(101, 134, 159), C(101, 134, 159), C(101, 134, 159)}},
    {2, false, 3, true, {C(74, 113, 147), C(39, 77, 133), C(132, 134, 113), C(77, 117, 152)}},
    {2, false, 2, true, {C(125, 152, 170), C(125, 152, 170), C(125, 152, 170), C(125, 152, 170)}},
    {2, false, 4, true, {C(191, 199, 202), kNone, kNone, C(188, 197, 199)}},
    {3, false, 3, true, {C(163, 174, 180), kNone, kNone, C(178, 193, 203)}},
};

// The ramps divide by the height less a few pixels; buttons too low for a
// divisor still draw, with the ramp standing still.
int Divisor(int value) { return std::max(value, 1); }

BYTE Clamp(int v) { return BYTE(std::clamp(v, 0, 255)); }

void DrawNormal(HDC dc, int w, int h) {
  const int d = Divisor(h - 8), e = Divisor(h - 9);
  XPLine(dc, 4, h - 3, w - 4, h - 3, RGB(214, 208, 197));
  XPLine(dc, 3, h - 4, w - 3, h - 4, RGB(226, 223, 214));
  XPLine(dc, 2, h - 5, w - 4, h - 5, RGB(236, 235, 230));
  for (int y = 2; y <= h - 6; ++y) {
    int j = y - 2;
    int x0 = j == 0 ? 4 : j == 1 ? 3 : 2;
    XPLine(dc, x0, y, w - 4, y, RGB(Clamp(255 - 15 * j / d), Clamp(255 - 15 * j / d), Clamp(255 - 21 * j / d)));
  }
  for (int y = 3; y <= h - 5; ++y) {
    int i = y - 3;
    SetPixel(dc, w - 4, y, RGB(Clamp(254 - 21 * i / d), Clamp(254 - 23 * i / d), Clamp(253 - 29 * i / d)));
  }
  for (int y = 4; y <= h - 5; ++y) {
    int i = y - 4;
    SetPixel(dc, w - 3, y, RGB(Clamp(246 - 19 * i / e), Clamp(244 - 18 * i / e), Clamp(242 - 26 * i / e)));
  }
}

// The faces of Default and Hot differ only in their colours.
void DrawLit(HDC dc, int w, int h, bool hot) {
  const int k = Divisor(h - 7), m = Divisor(h - 10);
  XPLine(dc, 3, 2, w - 3, 2, hot ? RGB(255, 240, 207) : RGB(206, 231, 255));
  XPLine(dc, 3, h - 3, w - 3, h - 3, hot ? RGB(229, 151, 0) : RGB(105, 130, 238));
  XPLine(dc, 3, h - 5, w - 3, h - 5, RGB(236, 235, 230));
  for (int y = 3; y <= h - 4; ++y) {
    int r = y - 3;
    COLORREF edge = hot ? RGB(Clamp(253 - 5 * r / k), Clamp(216 - 38 * r / k), Clamp(137 - 89 * r / k))
                        : RGB(Clamp(188 - 51 * r / k), Clamp(212 - 39 * r / k), Clamp(246 - 18 * r / k));
    if (y == 3 || y == h - 4) {
      XPLine(dc, 2, y, w - 2, y, edge);
    } else {
      XPLine(dc, 2, y, 4, y, edge);
      XPLine(dc, w - 4, y, w - 2, y, edge);
    }
  }
  for (int y = 4; y <= h - 6; ++y) {
    int i = y - 4;
    XPLine(dc, 4, y, w - 4, y, RGB(Clamp(252 - 12 * i / m), Clamp(252 - 12 * i / m), Clamp(251 - 17 * i / m)));
  }
}

void DrawPressed(HDC dc, int w, int h) {
  const int o = Divisor(h - 9);
  XPLine(dc, 3, h - 3, w - 3, h - 3, RGB(242, 241, 238));
  XPLine(dc, 3, h - 4, w - 3, h - 4, RGB(234, 233, 227));
  XPLine(dc, 4, 2, w - 4, 2, RGB(209, 204, 193));
  XPLine(dc, 3, 3, w - 3, 3, RGB(220, 216, 207));
  for (int y = 4; y <= h - 5; ++y) {
    int i = y - 4;
    XPLine(dc, 3, y, w - 3, y, RGB(Clamp(229 - 5 * i / o), Clamp(228 - 4 * i / o), Clamp(221 - 6 * i / o)));
    SetPixel(dc, 2, y, RGB(Clamp(218 - 4 * i / o), Clamp(216 - 4 * i / o), Clamp(207 - 6 * i / o)));
    SetPixel(dc, w - 3, y, RGB(Clamp(230 - 4 * i / o), Clamp(230 - 4 * i / o), Clamp(225 - 7 * i / o)));
  }
}

void DrawDisabled(HDC dc, int w, int h, const std::function<void()> &caption) {
  // The face fills the inside of the rounded frame only: reaching one pixel
  // further would leave a light dot outside the bottom right corner.
  XPFill(dc, RECT{2, 2, w - 2, h - 2}, RGB(245, 244, 234));
  const COLORREF line = RGB(201, 199, 186);
  XPLine(dc, 3, 1, w - 3, 1, line);
  XPLine(dc, 3, h - 2, w - 3, h - 2, line);
  XPLine(dc, 1, 3, 1, h - 3, line);
  XPLine(dc, w - 2, 3, w - 2, h - 3, line);
  if (caption) caption();
  const POINT outer[] = {{1, 2}, {2, 1}, {w - 2, 2}, {w - 3, 1}, {w - 2, h - 3}, {w - 3, h - 2}, {1, h - 3}, {2, h - 2}};
  const POINT corner[] = {{2, 2}, {w - 3, 2}, {w - 3, h - 3}, {2, h - 3}};
  const POINT inner[] = {{3, 2}, {2, 3}, {w - 4, 2}, {w - 3, 3}, {w - 4, h - 3}, {w - 3, h - 4}, {3, h - 3}, {2, h - 4}};
  for (POINT p : outer) SetPixel(dc, p.x, p.y, RGB(216, 213, 199));
  for (POINT p : corner) SetPixel(dc, p.x, p.y, RGB(216, 214, 202));
  for (POINT p : inner) SetPixel(dc, p.x, p.y, RGB(234, 233, 222));
}

}  // namespace

void XPDrawButton(HDC dc, int w, int h, TXPButtonState state, const std::function<void()> &caption) {
  if (state == xpsDisabled) {
    DrawDisabled(dc, w, h, caption);
    return;
  }
  COLORREF bg = GetPixel(dc, 0, 0);
  int r = GetRValue(bg), g = GetGValue(bg), b = GetBValue(bg);
  COLORREF dark = RGB(BYTE(std::max(r - 12, 0)), BYTE(std::max(g - 14, 0)), BYTE(std::max(b - 15, 0)));
  COLORREF light = RGB(BYTE(std::min(r + 14, 254)), BYTE(std::min(g + 16, 254)), BYTE(std::min(b + 29, 254)));
  XPLine(dc, 1, 0, w - 2, 0, dark);
  XPLine(dc, 0, 1, 0, h - 2, dark);
  XPLine(dc, 2, h - 1, w - 1, h - 1, light);
  XPLine(dc, w - 1, 2, w - 1, h - 1, light);
  XPLine(dc, 3, 1, w - 3, 1, kBorder);
  XPLine(dc, 3, h - 2, w - 3, h - 2, kBorder);
  XPLine(dc, 1, 3, 1, h - 3, kBorder);
  XPLine(dc, w - 2, 3, w - 2, h - 3, kBorder);
  int column = 0;
  switch (state) {
    case xpsNormal: DrawNormal(dc, w, h); column = 0; break;
    case xpsDefault: DrawLit(dc, w, h, false); column = 1; break;
    case xpsHot: DrawLit(dc, w, h, true); column = 2; break;
    default: DrawPressed(dc, w, h); column = 3; break;
  }
  if (caption) caption();
  for (const Corner &c : kCorners) {
    int64_t colour = c.colour[column];
    if (colour == kNone) continue;
    SetPixel(dc, c.fromRight ? w - c.x : c.x, c.fromBottom ? h - c.y : c.y, COLORREF(colour));
  }
  SetPixel(dc, 1, 1, dark);
  SetPixel(dc, w - 2, h - 2, light);
}

void XPDrawButtonCaption(TWinControl *control, HDC dc, const TXPDrawCaptionEvent &hook) {
  RECT rect{4, 4, control->Width() - 4, control->Height() - 4};
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  if (hook) {
    hook(control, dc, rect);
    return;
  }
  COLORREF color = control->Enabled() ? ColorToRGB(control->Font()->Color()) : kXPDisabledText;
  XPDrawText(control->Handle(), dc, control->Caption(), rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS,
             color);
}

// ---- TXPButton ----------------------------------------------------------------------------
TXPButton::TXPButton(TComponent *owner) : TButton(owner), images_(this) {}

TXPButton::~TXPButton() = default;

void TXPButton::SetImages(TCustomImageList *list) {
  if (images_.Set(list) && HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TXPButton::SetImage(int32_t &field, int32_t index) {
  field = index;
  if (HandleAllocated()) XPRepaint(Handle());
}

void TXPButton::Notification(TComponent *component, TOperation operation) {
  TButton::Notification(component, operation);
  images_.Notification(component, operation);
}

TXPButtonState TXPButton::DrawState() const {
  if (!Enabled()) return xpsDisabled;
  if (mouse_.FPressed) return xpsPressed;
  if (mouse_.FHot) return xpsHot;
  if (Default()) return xpsDefault;
  return xpsNormal;
}

void TXPButton::DrawCaption(HDC dc) { XPDrawButtonCaption(this, dc, OnDrawCaption); }

void TXPButton::OnPaint(HDC dc) {
  const int w = Width(), h = Height();
  XPPaintOffscreen(dc, w, h, [&](HDC target) {
    TXPButtonState state = DrawState();
    XPFillButtonBackground(Handle(), target, w, h);
    if (Images()) {
      int32_t index = state == xpsDisabled  ? imageDisable_
                      : state == xpsPressed ? imageDown_
                      : state == xpsHot     ? imageHover_
                                            : imageNormal_;
      images_.Draw(target, index);
      DrawCaption(target);
    } else {
      XPDrawButton(target, w, h, state, [&] { DrawCaption(target); });
    }
    LRESULT buttonState = SendMessageA(Handle(), BM_GETSTATE, 0, 0);
    if (mouse_.FPressed || (buttonState & BST_FOCUS)) {
      if (!FFocusDrawn) {
        FFocusDrawn = 1;
        if (OnEnter) OnEnter(this);
      }
      RECT focus{3, 3, w - 3, h - 3};
      DrawFocusRect(target, &focus);
    } else if (FFocusDrawn) {
      FFocusDrawn = 0;
      if (OnExit) OnExit(this);
    }
  });
}

void TXPButton::WndProc(TMessage &m) {
  // The second click of a double click is an ordinary click.
  if (m.Msg == WM_LBUTTONDBLCLK) m.Msg = WM_LBUTTONDOWN;
  XPOwnerDrawWndProc(this, m, mouse_, {CM_ENABLEDCHANGED, CN_DRAWITEM}, [this](HDC dc) { OnPaint(dc); },
                     [this](TMessage &message) { TButton::WndProc(message); });
}

namespace xpbutton {
void Register() { RegisterComponent(kXPPalettePage, "TXPButton"); }
}  // namespace xpbutton
