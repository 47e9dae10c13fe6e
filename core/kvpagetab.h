// A one-row strip of trapezoid tabs with a scroll button at each end, drawn
// entirely by the control. Clicking a tab activates it and raises
// OnTitleChange; the buttons and the arrow keys scroll the strip.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/tablayout.h"
#include "classlib/controls.h"

class TKVPageTab : public TCustomControl {
 public:
  VCL_CLASS_NAME(TKVPageTab)
  explicit TKVPageTab(TComponent *owner);
  ~TKVPageTab() override;

  TColor ActiveFontColor() const { return activeFontColor_; }
  void SetActiveFontColor(TColor c);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor c);
  TColor ArrowColor() const { return arrowColor_; }
  void SetArrowColor(TColor c);
  TColor ButtonColor() const { return buttonColor_; }
  void SetButtonColor(TColor c);
  TColor ActiveButtonColor() const { return activeButtonColor_; }
  void SetActiveButtonColor(TColor c);
  int Slope() const { return layout_.slope; }
  void SetSlope(int slope);
  const std::vector<std::string> &Titles() const { return titles_; }
  std::function<void(TObject *Sender, int32_t index)> OnTitleChange;

  void SetTitles(const TStrings &titles);
  void ClearTitle();
  void AddTitle(const char *text);
  void SetActiveTabItem(int n);
  void SetFontColor(TColor c);

  int ActiveTab() const { return layout_.active; }
  int FirstTab() const { return layout_.first; }
  const PageTabLayout &Layout() const { return layout_; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void KeyUp(WORD &key, TShiftState shift) override;
  LRESULT DialogCode() override;
  void ColorChanged() override;
  void FontChanged() override;

 private:
  void CalculateTitlesWidth();
  void CalculateTabRects();
  void PaintSpinButtons(HDC dc);
  void PaintTitles(HDC dc);
  void PaintActiveTitle(HDC dc);
  void Changed();

  std::vector<std::string> titles_;
  PageTabLayout layout_;
  TColor activeFontColor_ = clBlue;
  TColor borderColor_ = clGray;
  TColor arrowColor_ = clBlack;
  TColor buttonColor_ = clSilver;
  TColor activeButtonColor_ = clBlack;
  uint8_t spin_ = 255;  // 0 left button held, 1 right button held
};

// Lightens a colour by p percent (0-100): each channel moves toward 255 by
// p / 100 of the distance.
COLORREF LightenColor(COLORREF color, int percent);
