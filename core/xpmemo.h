// The XP-look memo: a memo with a flat one-pixel frame.
#pragma once

#include "core/xpdraw.h"
#include "classlib/stdctrls.h"

class TXPMemo : public TXPFlat<TMemo> {
 public:
  VCL_CLASS_NAME(TXPMemo)
  explicit TXPMemo(TComponent *owner) : TXPFlat<TMemo>(owner) {}
};

namespace xpmemo {
// Puts TXPMemo on the palette.
void Register();
}  // namespace xpmemo
