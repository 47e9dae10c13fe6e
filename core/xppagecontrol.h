// A page control that paints its tab strip and page frame in the XP look
// (see xptabpaint.h); the sheets and everything else are the page control's.
#pragma once

#include "classlib/tabs.h"

class TXPPageControl : public TPageControl {
 public:
  VCL_CLASS_NAME(TXPPageControl)
  explicit TXPPageControl(TComponent *owner);

  void WndProc(TMessage &message) override;
};

namespace xppagecontrol {
// Puts TXPPageControl on the palette.
void Register();
}  // namespace xppagecontrol
