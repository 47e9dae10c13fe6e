// The combo box: a text field (an edit window inside the box, or the
// selected item for a drop-down list), a drop button and a list that drops
// down in a pop-up window of its own. The arrow keys change the selection
// while the list is closed; F4 or Alt+Down opens it. CB_GETCOMBOBOXINFO
// names the edit window and the list window, so code can subclass them.
#pragma once

#include <memory>
#include <string>

#include "classlib/listbox.h"
#include "classlib/stdctrls.h"

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboPopupList;

class TCustomComboBox : public TCustomControl, public TListItemsOwner {
 public:
  VCL_CLASS_NAME(TCustomComboBox)
  explicit TCustomComboBox(TComponent *owner);
  ~TCustomComboBox() override;

  TStrings *Items() { return items_.get(); }
  // Setting it selects without raising an event.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // The edit's text, or the selected item's. Setting it selects the item
  // with exactly that text (a drop-down list keeps its selection when none
  // matches).
  void SetText(const std::string &text);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  int DropDownCount = 8;
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height) { itemHeight_ = std::max(height, 1); }
  bool Sorted() const { return items_->Sorted; }
  void SetSorted(bool sorted) { items_->Sorted = sorted; }
  int MaxLength = 0;
  bool DroppedDown() const;
  void SetDroppedDown(bool dropped);
  void Clear();

  // The edit window inside a drop-down combo box (null for a list).
  TEdit *Edit() const { return edit_; }
  // Where the drop button lies, in client coordinates.
  TRect ButtonRect() const;

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;

  void WndProc(TMessage &message) override;
  void SetFocus() override;

 protected:
  void CreateHandle() override;
  void Paint() override;
  void WMSize(TWMSize &msg) override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void WMFocus(TWMFocus &msg) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void KeyPress(char &key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  LRESULT DialogCode() override;
  std::string GetText() const override;
  void TextChanged() override;

  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  void ItemsChanged(int insertedAt, int deletedAt) override;

 private:
  friend class TComboPopupList;
  void ApplyText(const std::string &text);
  // The user picked an item (keys or the list): OnClick, OnSelect, OnChange.
  void UserSelect(int index);
  void LayoutEdit();
  void EditKeyDown(WORD &key, TShiftState shift);
  TRect TextRect() const;

  std::unique_ptr<TListStrings> items_;
  int itemIndex_ = -1;
  int itemHeight_ = 16;
  TComboBoxStyle style_ = csDropDown;
  TEdit *edit_ = nullptr;
  TComboPopupList *list_ = nullptr;
  bool settingText_ = false;
};

class TComboBox : public TCustomComboBox {
 public:
  VCL_CLASS_NAME(TComboBox)
  explicit TComboBox(TComponent *owner) : TCustomComboBox(owner) {}
};
