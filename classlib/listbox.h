// List boxes: TListBox (standard or owner-drawn items) and TCheckListBox.
// The list paints itself through its canvas; an owner-drawn item is handed
// out as the window layer's owner-draw record (CN_DRAWITEM, the reflected
// WM_DRAWITEM), so a control that takes that message paints the item with
// the record's device context, and otherwise OnDrawItem paints it on the
// list's canvas.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/commctrl.h"
#include "classlib/controls.h"

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

// The owner-draw state as a set; the bits are the ODS_ flags.
enum TOwnerDrawStateFlag : unsigned {
  odSelected = ODS_SELECTED,
  odGrayed = ODS_GRAYED,
  odDisabled = ODS_DISABLED,
  odChecked = ODS_CHECKED,
  odFocused = ODS_FOCUS,
  odDefault = ODS_DEFAULT,
  odHotLight = ODS_HOTLIGHT,
  odInactive = ODS_INACTIVE,
  odNoAccel = ODS_NOACCEL,
  odNoFocusRect = ODS_NOFOCUSRECT,
  odComboBoxEdit = ODS_COMBOBOXEDIT,
};
typedef unsigned TOwnerDrawState;

using TDrawItemEvent = std::function<void(TWinControl *Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl *Control, int Index, int &Height)>;

// The items of a list control: texts, objects and per-item flags that stay
// with their item when others are inserted or deleted.
class TListItemsOwner {
 public:
  virtual ~TListItemsOwner() = default;
  virtual void ItemsChanged(int insertedAt, int deletedAt) = 0;  // -1 for none, deletedAt -2: all
  // Where the item at index is after such a change; -1 when it went.
  static int FollowIndex(int index, int insertedAt, int deletedAt);
};

class TListStrings : public TStrings {
 public:
  VCL_CLASS_NAME(TListStrings)
  explicit TListStrings(TListItemsOwner *owner) : owner_(owner) {}

  int Count() const override { return int(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string &text) override;
  TObject *GetObject(int index) const override;
  void PutObject(int index, TObject *object) override;
  void Insert(int index, const std::string &text) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string &text) override;

  // A sorted list inserts each new item in order (byte-wise, ASCII letters
  // folded).
  bool Sorted = false;
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);
  // The selection mark of a multi-select list.
  bool Marked(int index) const;
  void SetMarked(int index, bool marked);

 protected:
  void SetUpdateState(bool updating) override;

 private:
  struct Item {
    std::string text;
    TObject *object = nullptr;
    bool checked = false;
    bool marked = false;
  };
  void Changed(int insertedAt, int deletedAt);
  TListItemsOwner *owner_;
  std::vector<Item> items_;
};

class TCustomListBox : public TCustomControl, public TListItemsOwner {
 public:
  VCL_CLASS_NAME(TCustomListBox)
  explicit TCustomListBox(TComponent *owner);
  ~TCustomListBox() override;

  TStrings *Items() { return items_.get(); }
  // -1 when nothing is selected. Setting it scrolls the item into view and
  // raises no event.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int index);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle style);
  bool Sorted() const { return items_->Sorted; }
  void SetSorted(bool sorted) { items_->Sorted = sorted; }
  int Count() const { return items_->Count(); }
  void Clear() { items_->Clear(); }
  // A multi-select list keeps a mark per item; Ctrl+click toggles one,
  // Shift+click and Shift+arrows select the run from the anchor, a plain
  // click or arrow selects one. ItemIndex is then the item with the focus.
  bool MultiSelect = false;
  bool ExtendedSelect = true;
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  int SelCount() const;
  void ClearSelection();
  void SelectAll();

  // The item at a client point, -1 when none (or the nearest when asked).
  int ItemAtPos(TPoint p, bool existing = true);
  TRect ItemRect(int index);
  int VisibleCount();

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

  void WndProc(TMessage &message) override;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void WMMouseWheel(TWMMouseWheel &msg) override;
  void WMFocus(TWMFocus &msg) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  LRESULT DialogCode() override;

  // Draws one item on the canvas (the canvas is already on the item's
  // context, filled and coloured for its state).
  virtual void DrawItem(int index, const TRect &rect, TOwnerDrawState state);
  // The default face of an item: its text.
  void DrawItemText(int index, const TRect &rect);
  // The default reflected owner-draw handling: OnDrawItem on the canvas.
  virtual void CNDrawItem(TMessage &message);
  // Room at the left of each item's text (the check box of a check list).
  virtual int ItemIndent() const { return 0; }
  // The user changed the selection (keys or mouse).
  virtual void SelectionChangedByUser();
  void ItemsChanged(int insertedAt, int deletedAt) override;
  // Moves the selection as the user does; raises OnClick when it changed.
  void UserSelect(int index);
  int ItemHeightOf(int index);
  void ScrollInView(int index);
  void VScroll(WORD code, int position);

  std::unique_ptr<TListStrings> items_;

 private:
  // Selects as a click or key of the user does in a multi-select list.
  void MultiSelectTo(int index, TShiftState shift);
  int itemIndex_ = -1;
  int anchor_ = -1;
  int topIndex_ = 0;
  int itemHeight_ = 16;
  TListBoxStyle style_ = lbStandard;
};

class TListBox : public TCustomListBox {
 public:
  VCL_CLASS_NAME(TListBox)
  explicit TListBox(TComponent *owner) : TCustomListBox(owner) {}
};

// A list whose items carry a check box; clicking the box or pressing the
// space bar toggles the current item's check and raises OnClickCheck.
class TCheckListBox : public TCustomListBox {
 public:
  VCL_CLASS_NAME(TCheckListBox)
  explicit TCheckListBox(TComponent *owner);

  bool Checked(int index) const { return items_->Checked(index); }
  void SetChecked(int index, bool checked);

  TNotifyEvent OnClickCheck;

  static constexpr int kBoxSize = 13;

 protected:
  void DrawItem(int index, const TRect &rect, TOwnerDrawState state) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  int ItemIndent() const override { return kBoxSize + 4; }

 private:
  void Toggle(int index);
};
