// Panels, paint boxes, radio groups and timers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/stdctrls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// A container with bevels and an optional centred caption.
class TCustomPanel : public TCustomControl {
 public:
  VCL_CLASS_NAME(TCustomPanel)
  explicit TCustomPanel(TComponent *owner);
  ~TCustomPanel() override;

  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut cut);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut cut);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int width);
  // Space between the bevels, in the panel's colour.
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);
  TAlignment Alignment = taCenter;
  // Without a caption drawn when set (the panel still keeps its text).
  bool ShowCaption = true;
  bool FullRepaint = true;

  TRect ClientRect() const override;

 protected:
  void Paint() override;
  void TextChanged() override { Invalidate(); }

 private:
  int BevelSize() const;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
};

class TPanel : public TCustomPanel {
 public:
  VCL_CLASS_NAME(TPanel)
  explicit TPanel(TComponent *owner) : TCustomPanel(owner) {}
};

// A control without a window that its owner paints in OnPaint.
class TPaintBox : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TPaintBox)
  explicit TPaintBox(TComponent *owner);
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
};

// A bar between aligned controls that the mouse drags to resize the
// control on its aligned side (the one it sits against).
class TSplitter : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TSplitter)
  explicit TSplitter(TComponent *owner);
  // The least size of the resized control and of the room left beside it.
  int MinSize = 30;
  TNotifyEvent OnMoved;
  // The control that dragging resizes, or null.
  TControl *ResizedControl() const;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  TControl *dragged_ = nullptr;
  TPoint start_{0, 0};  // in the parent's client area
  int startSize_ = 0;
};

// A group box of radio buttons made from Items; ItemIndex is the checked one.
class TCustomRadioGroup : public TCustomGroupBox {
 public:
  VCL_CLASS_NAME(TCustomRadioGroup)
  explicit TCustomRadioGroup(TComponent *owner);
  ~TCustomRadioGroup() override;

  TStrings *Items() { return items_.get(); }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  int Columns() const { return columns_; }
  void SetColumns(int columns);
  // The radio button of an item (null outside the range).
  TRadioButton *Buttons(int index) const;

 protected:
  void BoundsChanged() override;
  void WMSize(TWMSize &msg) override;

 private:
  void UpdateButtons();
  void ArrangeButtons();
  std::unique_ptr<TStringList> items_;
  std::vector<TRadioButton *> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
  bool updating_ = false;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  VCL_CLASS_NAME(TRadioGroup)
  explicit TRadioGroup(TComponent *owner) : TCustomRadioGroup(owner) {}
};

// Fires OnTimer every Interval milliseconds while enabled, from the window
// layer's timers, so it follows the platform clock.
class TTimer : public TComponent {
 public:
  VCL_CLASS_NAME(TTimer)
  explicit TTimer(TComponent *owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;

 private:
  void UpdateTimer();
  static void Fire(HWND, UINT, UINT_PTR id, DWORD);
  bool enabled_ = true;
  unsigned interval_ = 1000;
  UINT_PTR id_ = 0;
};
