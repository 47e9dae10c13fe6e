#include "core/xpcombobox.h"

#include "platform/sysinfo.h"

int32_t TXPComboBox::OSVersionCode = 0;

namespace {
constexpr int32_t kFirstXPLook = 50001;
}

void TXPComboBox::CreateParams(TCreateParams &params) {
  TComboBox::CreateParams(params);
  if (OSVersionCode == 0) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info)) OSVersionCode = int32_t(info.dwMajorVersion * 10000 + info.dwMinorVersion);
  }
  if (OSVersionCode >= kFirstXPLook) XPFlatCreateParams(params);
}

void TXPComboBox::OnMouseMove(UINT keys) {
  if (FHot == 0) {
    FHot = 1;
    XPTrackMouseLeave(Handle());
  }
  int32_t state = (keys & MK_LBUTTON) ? 1 : 2;
  if (state != FButtonState) {
    FButtonState = state;
    XPRepaint(Handle());
  }
}

void TXPComboBox::OnMouseLeave() {
  if (FHot != 1) return;
  FHot = 0;
  FButtonState = 0;
  XPRepaint(Handle());
}

void TXPComboBox::OnPaint(HDC dc) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!SendMessageA(Handle(), CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(&info))) return;
  RECT b = info.rcButton;
  b.top -= 2;
  const int h = Height();
  XPFill(dc, b, FButtonState == 1 ? RGB(138, 165, 244) : FButtonState == 2 ? RGB(221, 239, 253) : RGB(183, 207, 251));
  XPLine(dc, b.left, b.top, b.left, b.bottom, XPFrameColor);
  // The face colour over the edge on the top and left of the text field.
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(Color()));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, b.left - 1, 0, nullptr);
  LineTo(dc, 0, 0);
  LineTo(dc, 0, h);
  MoveToEx(dc, b.left - 1, 1, nullptr);
  LineTo(dc, 1, 1);
  LineTo(dc, 1, h);
  SelectObject(dc, old);
  DeleteObject(pen);
  // The arrow.
  const int x = b.left + (b.right - b.left - 1) / 2, y = b.top + (b.bottom - b.top) / 2;
  const COLORREF arrow = RGB(77, 97, 133);
  SetPixel(dc, x - 3, y - 2, arrow);
  SetPixel(dc, x + 3, y - 2, arrow);
  XPLine(dc, x - 4, y - 1, x - 1, y - 1, arrow);
  XPLine(dc, x + 2, y - 1, x + 5, y - 1, arrow);
  XPLine(dc, x - 3, y, x, y, arrow);
  XPLine(dc, x + 1, y, x + 4, y, arrow);
  XPLine(dc, x - 2, y + 1, x + 3, y + 1, arrow);
  XPLine(dc, x - 1, y + 2, x + 2, y + 2, arrow);
  SetPixel(dc, x, y + 3, arrow);
}

void TXPComboBox::WndProc(TMessage &m) {
  if (OSVersionCode <= kFirstXPLook - 1) {
    TComboBox::WndProc(m);
    return;
  }
  if (m.Msg == WM_LBUTTONDBLCLK) m.Msg = WM_LBUTTONDOWN;
  switch (m.Msg) {
    case WM_LBUTTONDOWN: FButtonState = 1; break;
    case WM_LBUTTONUP: {
      int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
      FButtonState = x >= 0 && x < Width() && y >= 0 && y < Height() ? 2 : 0;
      break;
    }
    case WM_MOUSEMOVE: OnMouseMove(UINT(m.WParam)); break;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      m.Result = 0;
      return;
    default: break;
  }
  TComboBox::WndProc(m);
  if (!HandleAllocated()) return;
  if (m.Msg == WM_PAINT) {
    // The drop button over what the combo box painted.
    HDC dc = GetDC(Handle());
    if (dc) {
      OnPaint(dc);
      ReleaseDC(Handle(), dc);
    }
  } else if (m.Msg == WM_NCPAINT) {
    XPPaintFlatFrame(Handle());
  }
}

namespace xpcombobox {
void Register() { RegisterComponent(kXPPalettePage, "TXPComboBox"); }
}  // namespace xpcombobox
