// A scroll bar its owner may paint: with OnDraw assigned, every paint goes
// to it; without, the scroll bar paints itself.
#pragma once

#include <functional>

#include "classlib/scrollbar.h"

class TKivoScrollBar : public TScrollBar {
 public:
  VCL_CLASS_NAME(TKivoScrollBar)
  explicit TKivoScrollBar(TComponent *owner) : TScrollBar(owner) {}

  std::function<void(TObject *Sender, HDC dc, RECT *rect)> OnDraw;

  void WndProc(TMessage &message) override;
};

namespace kivoscrollbar {
// Puts TKivoScrollBar on the palette.
void Register();
}  // namespace kivoscrollbar
