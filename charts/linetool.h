// The floating drawing-tool palette of the main window: 29 flat buttons
// from which the user picks a kind of drawing object, the delete tool,
// delete-all or the spiral-calendar aid, and the snap check box. It never
// takes the keyboard focus from the chart. The main window creates it once,
// keeps it and the code of the pressed tool (views/viewhost.h); closing only
// hides it.
#pragma once

#include <functional>

#include "classlib/forms.h"
#include "core/speedbutton.h"

// What the active K-line view offers the palette.
class TLinePaletteClient {
 public:
  virtual ~TLinePaletteClient() = default;
  // Deletes every drawn line of the view and saves.
  virtual void DeleteAllLines() = 0;
  // Shows or hides the spiral-calendar aid and repaints.
  virtual void SetLuoliShown(bool shown) = 0;
  // Ticks or unticks the view's own drawing-tool menu item.
  virtual void SetLineToolItemChecked(bool checked) = 0;
};

// The snap check box: drawn by the palette, without a window of its own so
// that a click never moves the focus.
class TLineSnapBox : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TLineSnapBox)
  explicit TLineSnapBox(TComponent *owner);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);

 protected:
  void Paint() override;
  void Click() override;

 private:
  bool checked_ = false;
};

class TLineToolBox : public TForm {
 public:
  static constexpr int kToolCount = 29;

  // Builds the buttons and sets the snap box from "%sdefui.ini" [UI]
  // LineSnap (missing: on).
  explicit TLineToolBox(TComponent *owner);

  // The button of a tool code 1..29, null for another code.
  TSpeedButton *Button(int code) const { return code >= 1 && code <= kToolCount ? buttons_[code - 1] : nullptr; }
  bool SnapOn() const { return XPCheckBox1->Checked(); }
  // Raises the button of the main window's pressed tool; the code itself
  // is left to the caller.
  void ReleaseToolButton();

  void BClick(TObject *sender);
  void B28Click(TObject *sender);
  void XPCheckBox1Click(TObject *sender);
  void FormClose(TObject *sender, TCloseAction &action);
  void WndProc(TMessage &message) override;

  TLineSnapBox *XPCheckBox1;

  // The K-line view the palette acts on (the active pane of the current
  // page when it is a K-line view); tests may point it elsewhere.
  std::function<TLinePaletteClient *()> activeKLine;
  // Every K-line view of the current page.
  std::function<void(const std::function<void(TLinePaletteClient *)> &)> forEachKLine;

 private:
  TSpeedButton *buttons_[kToolCount] = {};
};

// The path of "%sdefui.ini" in the per-user folder.
std::string LineSettingsPath();
// Draws the picture of a tool's button into a 16 x 16 box at (x, y).
void DrawLineToolGlyph(HDC dc, int x, int y, int code);
