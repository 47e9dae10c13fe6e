#include "core/xppriceedit.h"

#include <cstring>

bool TXPPriceEdit::Accepts(BYTE c) {
  if ((c >= '0' && c <= '9') || c == 8) return true;
  if (c == '.') {
    // One full stop, looked for among the first 63 characters.
    char text[64] = {};
    GetWindowTextA(Handle(), text, sizeof text);
    return std::strchr(text, '.') == nullptr;
  }
  // A minus sign only before the first character with nothing selected.
  if (c == '-') return SendMessageA(Handle(), EM_GETSEL, 0, 0) == 0;
  // Everything else, control characters too (keyboard copy, cut, paste).
  return false;
}

void TXPPriceEdit::WndProc(TMessage &m) {
  if (m.Msg == WM_CHAR && HandleAllocated() && !Accepts(BYTE(m.WParam))) {
    m.Result = 0;
    return;
  }
  TEdit::WndProc(m);
  if (m.Msg == WM_NCPAINT && HandleAllocated()) XPPaintFlatFrame(Handle(), ColorToRGB(Color()));
}

namespace xppriceedit {
void Register() { RegisterComponent(kXPPalettePage, "TXPPriceEdit"); }
}  // namespace xppriceedit
