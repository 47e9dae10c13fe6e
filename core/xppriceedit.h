// An XP-look edit for a price: typing lets through only digits, backspace,
// one full stop and a minus sign at the very start.
#pragma once

#include "core/xpdraw.h"
#include "classlib/stdctrls.h"

class TXPPriceEdit : public TEdit {
 public:
  VCL_CLASS_NAME(TXPPriceEdit)
  explicit TXPPriceEdit(TComponent *owner) : TEdit(owner) {}
  void WndProc(TMessage &message) override;

 private:
  // Whether a typed character reaches the edit.
  bool Accepts(BYTE c);
};

namespace xppriceedit {
// Puts TXPPriceEdit on the palette.
void Register();
}  // namespace xppriceedit
