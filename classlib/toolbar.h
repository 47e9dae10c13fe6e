// A plain tool bar: a strip along its parent's top that lays out its
// buttons left to right. Each button shows its caption, carries a hint and
// runs OnClick when clicked.
#pragma once

#include <string>

#include "classlib/controls.h"

class TToolBar : public TCustomControl {
 public:
  VCL_CLASS_NAME(TToolBar)
  explicit TToolBar(TComponent *owner);

  // Buttons are placed in the order they were given the bar as parent.
  int ButtonWidth = 48;
  int ButtonHeight = 22;
  bool ShowCaptions = true;
  // Places the buttons again (after a caption or a visibility changed).
  void Arrange();

 protected:
  void Paint() override;
};

class TToolButton : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TToolButton)
  explicit TToolButton(TComponent *owner);

  // The bar (its parent) places the button as soon as it is set.
  void SetBar(TToolBar *bar);

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Click() override;

 private:
  bool pressing_ = false;
};
