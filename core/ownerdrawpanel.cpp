#include "core/ownerdrawpanel.h"

#include "core/xpdraw.h"
#include "platform/gdi.h"

void TOwnerDrawPanel::WndProc(TMessage &message) {
  // x and y are the low and high words of lParam, taken unsigned.
  int32_t x = message.LParamLo(), y = message.LParamHi();
  auto paint = [this](HDC dc) {
    RECT all{0, 0, Width(), Height()};
    if (OnDraw)
      OnDraw(this, dc, &all);
    else
      XPFill(dc, all, ColorToRGB(Color()));
  };
  if (XPHandlePaint(Handle(), message, paint)) return;
  switch (message.Msg) {
    case WM_SETCURSOR:
      if (OnSetCursor) {
        bool handled = false;
        OnSetCursor(this, int32_t(message.LParamLo()), &handled);
        if (handled) {
          message.Result = 1;
          return;
        }
      }
      break;
    case WM_GETMINMAXINFO:
      if (OnGetMinMaxInfo) {
        OnGetMinMaxInfo(this, reinterpret_cast<MINMAXINFO *>(message.LParam));
        message.Result = 0;
        return;
      }
      break;
    case WM_NCHITTEST:
      if (OnNcHittest) {
        int32_t result = 0;
        OnNcHittest(this, x, y, &result);
        message.Result = result;
        return;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
      auto &event = message.Msg == WM_LBUTTONDOWN ? OnLButtonDown : OnLButtonUp;
      if (event) {
        event(this, x, y);
        message.Result = 0;
        return;
      }
      break;
    }
  }
  TPanel::WndProc(message);
}

namespace ownerdrawpanel {
void Register() { RegisterComponent(kXPPalettePage, "TOwnerDrawPanel"); }
}  // namespace ownerdrawpanel
