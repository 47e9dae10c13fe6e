// A flat tool button without a window of its own (so clicking it never
// moves the keyboard focus), with a glyph bitmap and an optional group:
// buttons of one parent with the same non-zero group index are exclusive,
// and with AllowAllUp a pressed one comes up again when clicked. A button of
// a group of its own with AllowAllUp is a toggle; group 0 is an ordinary
// button that never stays down.
#pragma once

#include "classlib/controls.h"
#include "classlib/picture.h"

class TSpeedButton : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TSpeedButton)
  explicit TSpeedButton(TComponent *owner);

  bool Down() const { return down_; }
  // Pressing one raises the other buttons of its group.
  void SetDown(bool down);
  int GroupIndex = 0;
  bool AllowAllUp = false;
  bool Flat = true;
  // The picture drawn in the middle; its bottom-left pixel's colour is
  // see-through.
  TBitmap *Glyph() { return &glyph_; }

  // Paints the button into a context at the rectangle (a picture of it).
  void PaintTo(HDC dc, const RECT &rect);

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // A click inside the button: a grouped one goes down (or up again with
  // AllowAllUp), then OnClick.
  void Click() override;

 private:
  TBitmap glyph_;
  bool down_ = false;
  bool pressing_ = false;
};
