#include "core/xppagecontrol.h"

#include "core/xpdraw.h"
#include "core/xptabpaint.h"

TXPPageControl::TXPPageControl(TComponent *owner) : TPageControl(owner) { SetColor(clWhite); }

void TXPPageControl::WndProc(TMessage &message) {
  if (xptabs::PaintMessage(message, this, [this](int i) { return TabCaption(i); })) return;
  TPageControl::WndProc(message);
}

namespace xppagecontrol {
void Register() { RegisterComponent(kXPPalettePage, "TXPPageControl"); }
}  // namespace xppagecontrol
