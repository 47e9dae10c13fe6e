#include "core/msgdrawgrid.h"

void TMsgDrawGrid::WndProc(TMessage &message) {
  const int32_t x = int16_t(message.LParamLo()), y = int16_t(message.LParamHi());
  bool handled = true;
  auto mouse = [&](const TMouseButtonEvent &event) {
    if (!event) return false;
    handled = true;
    event(this, x, y, &handled);
    return handled;
  };
  auto key = [&](const TRawKeyEvent &event) {
    if (!event) return false;
    handled = true;
    event(this, message.WParam, &handled);
    return handled;
  };
  bool consumed = false;
  switch (message.Msg) {
    case WM_KEYDOWN: consumed = key(OnKeyDown2); break;
    case WM_KEYUP: consumed = key(OnKeyUp2); break;
    case WM_LBUTTONDOWN: consumed = mouse(OnLButtonDown); break;
    case WM_LBUTTONUP: consumed = mouse(OnLButtonUp); break;
    case WM_RBUTTONDOWN: consumed = mouse(OnRButtonDown); break;
    case WM_RBUTTONUP: consumed = mouse(OnRButtonUp); break;
    default: break;
  }
  if (consumed) {
    message.Result = 0;
    return;
  }
  TDrawGrid::WndProc(message);
}
