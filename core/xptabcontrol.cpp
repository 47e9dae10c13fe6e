#include "core/xptabcontrol.h"

#include "core/xpdraw.h"
#include "core/xptabpaint.h"
#include "platform/winuser.h"

TXPTabControl::TXPTabControl(TComponent *owner) : TTabControl(owner) { SetColor(clWhite); }

void TXPTabControl::WndProc(TMessage &message) {
  if (xptabs::PaintMessage(message, this, [this](int i) { return TabCaption(i); })) return;
  if (message.Msg == WM_LBUTTONDOWN && TabCount() > 0) {
    int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
    for (int i = 0; i < TabCount(); ++i) {
      TRect r = TabRect(i);
      if (r.Left <= x && x < r.Right && r.Top <= y && y < r.Bottom) {
        FTabClicked = i + 1;
        break;
      }
    }
  }
  TTabControl::WndProc(message);
}

namespace xptabcontrol {
void Register() { RegisterComponent(kXPPalettePage, "TXPTabControl"); }
}  // namespace xptabcontrol
