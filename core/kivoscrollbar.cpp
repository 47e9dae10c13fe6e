#include "core/kivoscrollbar.h"

#include "core/xpdraw.h"
#include "platform/gdi.h"
#include "platform/winuser.h"

void TKivoScrollBar::WndProc(TMessage &message) {
  if (message.Msg == WM_PAINT && OnDraw) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT all{0, 0, Width(), Height()};
    if (dc) OnDraw(this, dc, &all);
    EndPaint(Handle(), &ps);
    message.Result = 0;
    return;
  }
  if (message.Msg == WM_ERASEBKGND) {
    message.Result = 1;
    return;
  }
  TScrollBar::WndProc(message);
}

namespace kivoscrollbar {
void Register() { RegisterComponent(kXPPalettePage, "TKivoScrollBar"); }
}  // namespace kivoscrollbar
