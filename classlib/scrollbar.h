// The scroll bar control and the up-down control, both painted by our code.
// A scroll bar reports every move as a scroll code (the SB_ numbers) to
// OnScroll, which may change the position it goes to.
#pragma once

#include <functional>

#include "platform/commctrl.h"
#include "classlib/controls.h"

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode {
  scLineUp = SB_LINEUP,
  scLineDown = SB_LINEDOWN,
  scPageUp = SB_PAGEUP,
  scPageDown = SB_PAGEDOWN,
  scPosition = SB_THUMBPOSITION,
  scTrack = SB_THUMBTRACK,
  scTop = SB_TOP,
  scBottom = SB_BOTTOM,
  scEndScroll = SB_ENDSCROLL,
};
using TScrollEvent = std::function<void(TObject *Sender, TScrollCode ScrollCode, int &ScrollPos)>;

class TScrollBar : public TCustomControl {
 public:
  VCL_CLASS_NAME(TScrollBar)
  explicit TScrollBar(TComponent *owner);

  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind kind);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  int PageSize() const { return pageSize_; }
  // Position stays within Min .. Max - PageSize + 1 (Max when the page is 0).
  void SetParams(int position, int min, int max);
  void SetPosition(int position);
  void SetMin(int min) { SetParams(position_, min, max_); }
  void SetMax(int max) { SetParams(position_, min_, max); }
  void SetPageSize(int size);
  int SmallChange = 1;
  int LargeChange = 1;

  TScrollEvent OnScroll;
  TNotifyEvent OnChange;

  // Where the parts lie, in client coordinates along the bar.
  int ArrowSize() const;
  TRect ThumbRect() const;

  void WndProc(TMessage &message) override;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  // A move by the user: OnScroll sees the code and the new position.
  virtual void Scroll(TScrollCode code, int position);

 private:
  int Length() const;   // along the bar
  int Breadth() const;  // across it
  int MaxPosition() const;
  int PositionAt(int along) const;

  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0, max_ = 100, position_ = 0, pageSize_ = 0;
  bool dragging_ = false;
  int dragOffset_ = 0;
};

enum TUDOrientation { udHorizontal, udVertical };
enum TUDBtnType { btNext, btPrev };
enum TUpDownDirection { updNone, updUp, updDown };
using TUDClickEvent = std::function<void(TObject *Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject *Sender, bool &AllowChange)>;
using TUDChangingEventEx =
    std::function<void(TObject *Sender, bool &AllowChange, short NewValue, TUpDownDirection Direction)>;

class TUpDown : public TCustomControl {
 public:
  VCL_CLASS_NAME(TUpDown)
  explicit TUpDown(TComponent *owner);

  int Min = 0;
  int Max = 100;
  int Increment = 1;
  bool Wrap = false;
  TUDOrientation Orientation = udVertical;
  int Position() const { return position_; }
  void SetPosition(int position);
  // The control whose text shows the position.
  TWinControl *Associate = nullptr;

  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;
  TUDChangingEventEx OnChangingEx;

  void WndProc(TMessage &message) override;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  // One step as a press on a button does; false when a handler refused it.
  bool Step(TUDBtnType button);

 private:
  int position_ = 0;
};
