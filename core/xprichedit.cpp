#include "core/xprichedit.h"

void TXPRichEdit::CreateParams(TCreateParams &params) {
  TRichEdit::CreateParams(params);
  if (BorderStyle != bsNone) XPFlatCreateParams(params);
}

void TXPRichEdit::WndProc(TMessage &m) {
  TRichEdit::WndProc(m);
  if (m.Msg == WM_NCPAINT && BorderStyle != bsNone && HandleAllocated()) XPPaintFlatFrame(Handle());
}

namespace xprichedit {
void Register() { RegisterComponent(kXPPalettePage, "TXPRichEdit"); }
}  // namespace xprichedit
