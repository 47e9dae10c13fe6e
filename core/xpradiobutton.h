// The XP-look radio button: an anti-aliased 12-sided disc outline, the
// inside from fixed pixel images per state, a green dot when checked, the
// caption on one line beside it.
#pragma once

#include "core/xpdraw.h"
#include "classlib/stdctrls.h"

class TXPRadioButton : public TRadioButton {
 public:
  VCL_CLASS_NAME(TXPRadioButton)
  explicit TXPRadioButton(TComponent *owner) : TRadioButton(owner) {}

  bool Hot() const { return mouse_.FHot != 0; }
  bool Pressed() const { return mouse_.FPressed != 0; }
  TXPButtonState DrawState() const;

  void WndProc(TMessage &message) override;

 private:
  void OnPaint(HDC dc);
  void DrawCaption(HDC dc);
  TXPMouseFlags mouse_;
};

// A cell (x, y), 0..12, of the disc image of a state (normal, hot or
// pressed); false for a cell that is not drawn.
bool XPRadioCell(TXPButtonState state, int x, int y, COLORREF *color);
// A cell (x, y), 0..4, of the check dot; false when not drawn.
bool XPRadioDotCell(bool enabled, int x, int y, COLORREF *color);

namespace xpradiobutton {
// Puts TXPRadioButton on the palette.
void Register();
}  // namespace xpradiobutton
