// The XP-look edit: the standard edit with its sunken edge covered by a
// flat frame and an inner ring in the edit's colour.
#pragma once

#include "core/xpdraw.h"
#include "classlib/stdctrls.h"

class TXPEdit : public TEdit {
 public:
  VCL_CLASS_NAME(TXPEdit)
  explicit TXPEdit(TComponent *owner) : TEdit(owner) {}
  void WndProc(TMessage &message) override;
};

namespace xpedit {
// Puts TXPEdit on the palette.
void Register();
}  // namespace xpedit
