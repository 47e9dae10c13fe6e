// A tab set whose owner draws the background and every tab through events,
// with hover tracking and scrolling of its own: when the tabs do not fit, the
// last 28 pixels become the scroll buttons "<" and ">", drawn by the owner
// too. Tab widths follow the title length, so owner and control agree on the
// layout without measuring text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/tablayout.h"
#include "classlib/classes.h"
#include "classlib/controls.h"

class TKivoTabSet : public TCustomControl {
 public:
  VCL_CLASS_NAME(TKivoTabSet)
  explicit TKivoTabSet(TComponent *owner);
  ~TKivoTabSet() override;

  // The tab set's own properties.
  TStringList Tabs;
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int index);
  int StartMargin() const { return layout_.startMargin; }
  void SetStartMargin(int margin);
  TNotifyEvent OnChange;

  std::function<void(TObject *Sender, HDC dc, RECT *rect)> OnDrawBackGround;
  std::function<void(TObject *Sender, HDC dc, RECT *rect, const std::string &caption, bool selected, bool hot)>
      OnDrawItem;
  std::function<void(TObject *Sender, int32_t index, int32_t offset)> OnLButtonDown;

  bool GetItemRect(int index, RECT *rect);
  int ItemAtPosI(int x, int y, int *offset);
  int HotItem() const { return hot_; }
  int FirstVisible() const { return layout_.first; }

  void WndProc(TMessage &message) override;

 private:
  void Sync();
  void PaintOwnerDrawn(HDC dc);
  void PaintPlain(HDC dc);
  void InvalidateItem(int item);

  TabSetLayout layout_;
  int tabIndex_ = -1;
  bool tracking_ = false;
  int hot_ = -1;
};
