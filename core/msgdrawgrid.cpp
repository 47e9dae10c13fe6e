#include "core/msgdrawgrid.h"

#include "core/xpdraw.h"
#include "platform/winuser.h"

void TMsgDrawGrid::WndProc(TMessage &message) {
  bool handled = true;
  bool asked = false;
  // x and y are the low and high words of lParam, taken unsigned.
  int32_t x = message.LParamLo(), y = message.LParamHi();
  auto mouse = [&](TMouseMsgEvent &event) {
    if (!event) return;
    asked = true;
    event(this, x, y, &handled);
  };
  auto key = [&](TKeyMsgEvent &event) {
    if (!event) return;
    asked = true;
    event(this, message.WParam, &handled);
  };
  switch (message.Msg) {
    case WM_KEYDOWN: key(OnKeyDown2); break;
    case WM_KEYUP: key(OnKeyUp2); break;
    case WM_LBUTTONDOWN: mouse(OnLButtonDown); break;
    case WM_LBUTTONUP: mouse(OnLButtonUp); break;
    case WM_RBUTTONDOWN: mouse(OnRButtonDown); break;
    case WM_RBUTTONUP: mouse(OnRButtonUp); break;
    default: break;
  }
  if (asked && handled) {
    message.Result = 0;
    return;
  }
  TDrawGrid::WndProc(message);
}

namespace msgdrawgrid {
void Register() { RegisterComponent(kXPPalettePage, "TMsgDrawGrid"); }
}  // namespace msgdrawgrid
