#include "core/xppushradiobutton.h"

TXPButtonState TXPPushRadioButton::DrawState() const {
  if (!Enabled()) return xpsDisabled;
  if (mouse_.FPressed || Checked()) return xpsPressed;
  if (mouse_.FHot) return xpsHot;
  return xpsNormal;
}

void TXPPushRadioButton::DrawCaption(HDC dc) { XPDrawButtonCaption(this, dc, OnDrawCaption); }

void TXPPushRadioButton::OnPaint(HDC dc) {
  const int w = Width(), h = Height();
  XPPaintOffscreen(dc, w, h, [&](HDC target) {
    XPFillButtonBackground(Handle(), target, w, h);
    XPDrawButton(target, w, h, DrawState(), [&] { DrawCaption(target); });
  });
}

void TXPPushRadioButton::WndProc(TMessage &m) {
  if (XPOwnerDrawMessage(this, m, [this](HDC dc) { OnPaint(dc); })) return;
  switch (m.Msg) {
    case CM_ENABLEDCHANGED:
    case CN_DRAWITEM:
    case CM_TABSTOPCHANGED:  // a radio button's check changed
    case CM_CHANGED:
      if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
      TRadioButton::WndProc(m);
      return;
    default: break;
  }
  TRadioButton::WndProc(m);
  if (HandleAllocated()) mouse_.Handle(Handle(), m, Width(), Height());
}

namespace xppushradiobutton {
void Register() { RegisterComponent(kXPPalettePage, "TXPPushRadioButton"); }
}  // namespace xppushradiobutton
