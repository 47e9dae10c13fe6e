// A plain tool bar: a strip along its parent's top that lays out its
// buttons left to right, a new row after a button whose Wrap is set. Each
// button shows its caption (or its owner draws it), carries a hint, can be
// held down and runs OnClick when clicked.
#pragma once

#include <functional>
#include <string>

#include "classlib/controls.h"

class TToolButton;

class TToolBar : public TCustomControl {
 public:
  VCL_CLASS_NAME(TToolBar)
  explicit TToolBar(TComponent *owner);

  // Buttons are placed in the order they were given the bar as parent.
  int ButtonWidth = 48;
  int ButtonHeight = 22;
  bool ShowCaptions = true;
  // Places the buttons again (after a caption, a visibility or a size
  // changed).
  void Arrange();

  // The pre-paint stage of the bar and of each button: a handler that
  // clears defaultDraw paints instead of the bar's own drawing.
  std::function<void(TToolBar *bar, TCanvas *canvas, const TRect &rect, bool &defaultDraw)> OnAdvancedCustomDraw;
  std::function<void(TToolBar *bar, TToolButton *button, TCanvas *canvas, bool &defaultDraw)>
      OnAdvancedCustomDrawButton;

 protected:
  void Paint() override;
};

class TToolButton : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TToolButton)
  explicit TToolButton(TComponent *owner);

  // The bar (its parent) places the button as soon as it is set.
  void SetBar(TToolBar *bar);
  // The next button starts a new row.
  bool Wrap = false;
  // The picture of the bar's image strip (-1 none).
  int ImageIndex = -1;
  // The bar makes the button as wide as its caption in its font needs,
  // never narrower than the bar's button width.
  bool AutoSize = false;
  bool Down() const { return down_; }
  void SetDown(bool down);
  // The mouse button is held on it.
  bool Pressing() const { return pressing_; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Click() override;

 private:
  bool pressing_ = false;
  bool down_ = false;
};
