// A radio button drawn exactly like an XP push button: the checked button
// of a group looks pressed. No image list, no default look, no focus
// rectangle.
#pragma once

#include "core/xpbutton.h"

class TXPPushRadioButton : public TRadioButton {
 public:
  VCL_CLASS_NAME(TXPPushRadioButton)
  explicit TXPPushRadioButton(TComponent *owner) : TRadioButton(owner) {}

  TXPDrawCaptionEvent OnDrawCaption;

  bool Hot() const { return mouse_.FHot != 0; }
  bool Pressed() const { return mouse_.FPressed != 0; }
  TXPButtonState DrawState() const;

  void WndProc(TMessage &message) override;

 private:
  void DrawCaption(HDC dc);
  void OnPaint(HDC dc);
  TXPMouseFlags mouse_;
};

namespace xppushradiobutton {
// Puts TXPPushRadioButton on the palette.
void Register();
}  // namespace xppushradiobutton
