// A tab control that paints its tab strip and page frame in the XP look
// (see xptabpaint.h) and remembers which tab the last left press hit.
#pragma once

#include <cstdint>

#include "classlib/tabs.h"

class TXPTabControl : public TTabControl {
 public:
  VCL_CLASS_NAME(TXPTabControl)
  explicit TXPTabControl(TComponent *owner);

  // The tab that the last left press hit; -1 until one was hit. A press
  // on no tab leaves it.
  int TabClicking() const { return fGetTabClicking(); }
  int fGetTabClicking() const { return FTabClicked - 1; }

  void WndProc(TMessage &message) override;

 private:
  int32_t FTabClicked = 0;
};

namespace xptabcontrol {
// Puts TXPTabControl on the palette.
void Register();
}  // namespace xptabcontrol
