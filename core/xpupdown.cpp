#include "core/xpupdown.h"

#include "core/xpdraw.h"
#include "platform/gdi.h"
#include "platform/winuser.h"

namespace {

constexpr COLORREF kFace = RGB(183, 207, 251);
constexpr COLORREF kBorder = XPFrameColor;
constexpr COLORREF kHotFill = RGB(221, 239, 253), kHotOutline = RGB(152, 177, 228);
constexpr COLORREF kPressedFill = RGB(138, 165, 244), kPressedOutline = RGB(133, 146, 217);
constexpr COLORREF kArrow = RGB(77, 97, 133);

void Row(HDC dc, int x0, int x1, int y) {
  for (int x = x0; x <= x1; ++x) SetPixel(dc, x, y, kArrow);
}

// The arrow's tip at (cx, tip), its three wider rows stepping by `step`.
void Arrow(HDC dc, int cx, int tip, int step) {
  SetPixel(dc, cx, tip, kArrow);
  int y = tip - step;
  Row(dc, cx - 1, cx + 1, y);
  Row(dc, cx - 2, cx + 2, y - step);
  Row(dc, cx - 3, cx - 1, y - 2 * step);
  Row(dc, cx + 1, cx + 3, y - 2 * step);
}

}  // namespace

int TXPUpDown::HalfAt(int x, int y) const {
  int along = Orientation == udVertical ? y : x;
  int size = Orientation == udVertical ? Height() : Width();
  if (along < size / 2) return 1;
  if (along >= size - size / 2) return 2;
  return 0;
}

void TXPUpDown::SetState(uint8_t state) {
  if (state == state_) return;
  state_ = state;
  XPRepaint(Handle());
}

void TXPUpDown::WndProc(TMessage &message) {
  if (message.Msg == WM_LBUTTONDBLCLK) message.Msg = WM_LBUTTONDOWN;
  int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
  if (XPHandlePaint(Handle(), message, [this](HDC dc) { PaintLook(dc); })) return;
  switch (message.Msg) {
    case WM_MOUSELEAVE:
      tracking_ = false;
      state_ = Normal;
      XPRepaint(Handle());
      message.Result = 0;
      return;
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        tracking_ = true;
        XPTrackMouseLeave(Handle());
      }
      int half = HalfAt(x, y);
      bool held = (message.WParam & MK_LBUTTON) != 0;
      SetState(uint8_t(half == 0 ? 0 : held ? half : half + 2));
      break;
    }
    case WM_LBUTTONDOWN:
      SetState(uint8_t(HalfAt(x, y)));
      break;
    case WM_LBUTTONUP: {
      bool inside = x >= 0 && x < Width() && y >= 0 && y < Height();
      int half = inside ? HalfAt(x, y) : 0;
      SetState(uint8_t(half == 0 ? 0 : half + 2));
      break;
    }
    default: break;
  }
  TUpDown::WndProc(message);
}

void TXPUpDown::PaintLook(HDC dc) {
  if (Orientation != udVertical) return;
  const int W = Width(), H = Height();
  RECT all{0, 0, W, H};
  HBRUSH face = CreateSolidBrush(kFace);
  FillRect(dc, &all, face);
  DeleteObject(face);

  HPEN border = CreatePen(PS_SOLID, 1, kBorder);
  HGDIOBJ oldPen = SelectObject(dc, border);
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, W - 1, 0);
  LineTo(dc, W - 1, H - 1);
  LineTo(dc, -1, H - 1);
  SelectObject(dc, oldPen);
  DeleteObject(border);

  if (state_ != Normal) {
    bool hot = state_ == UpperHot || state_ == LowerHot;
    bool upper = state_ == UpperHot || state_ == UpperPressed;
    HPEN outline = CreatePen(PS_SOLID, 1, hot ? kHotOutline : kPressedOutline);
    HBRUSH fill = CreateSolidBrush(hot ? kHotFill : kPressedFill);
    HGDIOBJ p = SelectObject(dc, outline), b = SelectObject(dc, fill);
    if (upper)
      Rectangle(dc, 0, 1, W - 1, (H + 1) / 2);
    else
      Rectangle(dc, 0, H - (H + 1) / 2, W - 1, H - 1);
    SelectObject(dc, p);
    SelectObject(dc, b);
    DeleteObject(outline);
    DeleteObject(fill);
  }

  int cx = (W - 1) / 2;
  Arrow(dc, cx, H / 4 - 1, -1);
  Arrow(dc, cx, H - H / 4, 1);
}

namespace xpupdown {
void Register() { RegisterComponent(kXPPalettePage, "TXPUpDown"); }
}  // namespace xpupdown
