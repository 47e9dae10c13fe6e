#include "core/xpedit.h"

void TXPEdit::WndProc(TMessage &m) {
  TEdit::WndProc(m);
  if (m.Msg == WM_NCPAINT && HandleAllocated()) XPPaintFlatFrame(Handle(), ColorToRGB(Color()));
}

namespace xpedit {
void Register() { RegisterComponent(kXPPalettePage, "TXPEdit"); }
}  // namespace xpedit
