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
  // A radio button hears of its check through CM_TABSTOPCHANGED and CM_CHANGED.
  XPOwnerDrawWndProc(this, m, mouse_, {CM_ENABLEDCHANGED, CN_DRAWITEM, CM_TABSTOPCHANGED, CM_CHANGED},
                     [this](HDC dc) { OnPaint(dc); }, [this](TMessage &message) { TRadioButton::WndProc(message); });
}

namespace xppushradiobutton {
void Register() { RegisterComponent(kXPPalettePage, "TXPPushRadioButton"); }
}  // namespace xppushradiobutton
