#include "core/xplistview.h"

#include "core/xpdraw.h"
#include "platform/gdi.h"
#include "platform/sysinfo.h"
#include "platform/winuser.h"

namespace {

// Flat scroll bars are for systems before version 6.
bool OlderThanVersion6() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwMajorVersion < 6;
}

}  // namespace

void TXPListView::CreateParams(TCreateParams &params) {
  TListView::CreateParams(params);
  XPFlatCreateParams(params);
}

void TXPListView::WndProc(TMessage &message) {
  if (message.Msg == WM_HSCROLL || message.Msg == WM_VSCROLL) {
    TScrollMsgEvent &event = message.Msg == WM_HSCROLL ? OnHScroll : OnVScroll;
    if (event) {
      bool handled = false;
      event(LOWORD(message.WParam), HIWORD(message.WParam), reinterpret_cast<HWND>(message.LParam), &handled);
      if (handled) {
        message.Result = 0;
        return;
      }
    }
  }
  TListView::WndProc(message);
  if (message.Msg == WM_NCPAINT) {
    if (FExStylesSet == 0) {
      FExStylesSet = 1;
      DWORD added = LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
      if (OlderThanVersion6()) added |= LVS_EX_FLATSB;
      DWORD now = DWORD(SendMessageA(Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
      SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LPARAM(now | added));
    }
    XPPaintFlatFrame(Handle());
  } else if (message.Msg == WM_LBUTTONDBLCLK && OnLButtonDblClk) {
    OnLButtonDblClk(message.LParamLo(), message.LParamHi());
    message.Result = 0;
  }
}

void TXPListView::OnHeaderEraseBkgnd(HWND header, HDC dc) {
  RECT r;
  GetClientRect(header, &r);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HPEN pen = CreatePen(PS_SOLID, 1, XPFrameColor);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, 0, r.bottom - 1, nullptr);
  LineTo(dc, r.right, r.bottom - 1);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TXPListView::OnHeaderPaint(HWND header, HDC dc) {
  int count = int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  if (count < 1) return;
  HPEN pen = CreatePen(PS_SOLID, 1, XPFrameColor);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(header, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldInk = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  for (int i = 0; i < count; ++i) {
    char text[260] = {};
    HDITEMA item{};
    item.mask = HDI_TEXT | HDI_FORMAT | HDI_ORDER;
    item.pszText = text;
    item.cchTextMax = sizeof text;  // 259 characters and the NUL
    SendMessageA(header, HDM_GETITEMA, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    RECT r{};
    SendMessageA(header, HDM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
    RECT inner{r.left + 6, r.top, r.right - 6, r.bottom};
    // Only a format of exactly "centre" or "right" aligns; any other flag
    // beside them leaves the caption on the left.
    UINT align = item.fmt == HDF_CENTER ? DT_CENTER : item.fmt == HDF_RIGHT ? DT_RIGHT : DT_LEFT;
    DrawTextA(dc, text, -1, &inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | align);
    MoveToEx(dc, r.right, r.top - 1, nullptr);
    LineTo(dc, r.right, r.bottom);
  }
  SetTextColor(dc, oldInk);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

namespace xplistview {
void Register() { RegisterComponent(kXPPalettePage, "TXPListView"); }
}  // namespace xplistview
