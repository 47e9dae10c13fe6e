// The list view in report mode: rows of a caption and sub-items under a
// column header. The header is a window of its own (class "SysHeader32",
// a child of the list view) that answers the header messages (HDM_) and
// paints itself in its window procedure, so a form can subclass it and
// paint it its own way. The rows are painted by the list view; a row's
// owner can paint it in OnCustomDrawItem.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/commctrl.h"
#include "classlib/controls.h"
#include "classlib/imglist.h"
#include "classlib/stdctrls.h"

class TCustomListView;
class TListItems;

// A column; changing it repaints the header and the rows.
class TListColumns;
class TCustomListView;

class TListColumn {
 public:
  explicit TListColumn(TListColumns *owner) : owner_(owner) {}
  const std::string &Caption() const { return caption_; }
  void SetCaption(const std::string &caption);
  int Width() const { return width_; }
  void SetWidth(int width);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  intptr_t Tag = 0;
  int Index() const { return index_; }

 private:
  friend class TListColumns;
  friend class TCustomListView;
  TListColumns *owner_;
  std::string caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  int index_ = 0;
};

class TListColumns {
 public:
  explicit TListColumns(TCustomListView *owner) : owner_(owner) {}
  TListColumn *Add();
  int Count() const { return int(columns_.size()); }
  // Null for an index out of range.
  TListColumn *Items(int index) const;
  TListColumn *operator[](int index) const { return Items(index); }
  void Delete(int index);
  void Clear();
  void BeginUpdate() { ++updates_; }
  void EndUpdate();
  // Columns changed: the header and the rows are repainted.
  void Changed();

 private:
  TCustomListView *owner_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
  int updates_ = 0;
};

class TListItem {
 public:
  explicit TListItem(TListItems *owner);
  ~TListItem();
  TListItem(const TListItem &) = delete;
  TListItem &operator=(const TListItem &) = delete;

  // Changing the caption repaints the row.
  const std::string &Caption() const { return caption_; }
  void SetCaption(const std::string &caption);
  // The texts of the columns after the first.
  TStrings *SubItems() { return subItems_.get(); }
  void *Data = nullptr;
  int ImageIndex = -1;
  int Index() const;
  TCustomListView *ListView() const;

  bool Selected() const { return selected_; }
  void SetSelected(bool selected);
  bool Focused() const { return focused_; }
  void SetFocused(bool focused);
  // The row (or a part of it, LVIR_) in the list view's client coordinates.
  TRect DisplayRect(int code = LVIR_BOUNDS) const;
  void MakeVisible(bool partialOk = false);
  // Repaints the row after its texts changed.
  void Update();
  void Delete();

 private:
  friend class TListItems;
  friend class TCustomListView;
  TListItems *owner_;
  std::string caption_;
  std::unique_ptr<TStringList> subItems_;
  bool selected_ = false;
  bool focused_ = false;
};

class TListItems {
 public:
  explicit TListItems(TCustomListView *owner) : owner_(owner) {}
  ~TListItems();
  TListItem *Add();
  // Inserts before index (at the end when index is the count or beyond).
  TListItem *Insert(int index);
  int Count() const { return int(items_.size()); }
  TListItem *Item(int index) const;
  TListItem *operator[](int index) const { return Item(index); }
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem *item) const;
  void BeginUpdate() { ++updates_; }
  void EndUpdate();
  TCustomListView *Owner() const { return owner_; }

 private:
  TCustomListView *owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int updates_ = 0;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TCustomDrawStateFlag : unsigned {
  cdsSelected = 1,
  cdsGrayed = 2,
  cdsDisabled = 4,
  cdsChecked = 8,
  cdsFocused = 16,
  cdsDefault = 32,
  cdsHot = 64,
};
typedef unsigned TCustomDrawState;

using TLVSelectItemEvent = std::function<void(TObject *Sender, TListItem *Item, bool Selected)>;
using TLVCustomDrawItemEvent =
    std::function<void(TCustomListView *Sender, TListItem *Item, TCustomDrawState State, bool &DefaultDraw)>;
using TLVColumnClickEvent = std::function<void(TObject *Sender, TListColumn *Column)>;

class TCustomListView : public TCustomControl {
 public:
  VCL_CLASS_NAME(TCustomListView)
  explicit TCustomListView(TComponent *owner);
  ~TCustomListView() override;

  TListColumns *Columns() { return &columns_; }
  // The pictures in front of the captions (by each item's ImageIndex).
  TCustomImageList *SmallImages() const { return imagesLink_.Sender; }
  void SetSmallImages(TCustomImageList *images);
  TListItems *Items() { return &items_; }
  TViewStyle ViewStyle = vsReport;
  bool RowSelect = false;
  bool ReadOnly = false;
  bool GridLines = false;
  bool HideSelection = true;
  bool ShowColumnHeaders = true;
  // Several rows may be selected: Ctrl+click takes a row in or out, Shift+click
  // and Shift+arrow keys select the run from the anchor row, Ctrl+arrow keys
  // move the focus alone and Ctrl+Space takes the focused row in or out.
  bool MultiSelect = false;

  // The selected row (the first one), or null; setting selects one row.
  TListItem *Selected() const;
  void SetSelected(TListItem *item);
  int SelCount() const;
  void ClearSelection();
  int ItemIndex() const;
  void SetItemIndex(int index);
  TListItem *ItemFocused() const;
  int TopIndex() const { return topIndex_; }
  int VisibleRowCount();
  TListItem *GetItemAt(int x, int y);

  // The header window, made with the list view's window.
  HWND HeaderHandle() const { return header_; }
  int HeaderHeight() const;
  int RowHeight() const;
  // The horizontal scroll position in pixels.
  int ScrollX() const { return scrollX_; }
  void Scroll(int dx, int dy);
  DWORD ExtendedStyle() const { return exStyle_; }

  TLVSelectItemEvent OnSelectItem;
  TLVCustomDrawItemEvent OnCustomDrawItem;
  TLVColumnClickEvent OnColumnClick;

  void WndProc(TMessage &message) override;

  // The header's default painting (its own window procedure calls it).
  static void PaintHeaderDefault(HWND header, HDC dc);

 protected:
  void CreateHandle() override;
  void DestroyHandle() override;
  void Paint() override;
  void WMSize(TWMSize &msg) override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void WMMouseWheel(TWMMouseWheel &msg) override;
  void WMFocus(TWMFocus &msg) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  LRESULT DialogCode() override;

  virtual void DrawRowDefault(TListItem *item, const TRect &row, TCustomDrawState state);
  virtual void ColumnClick(TListColumn *column);

 private:
  friend class TListItems;
  friend class TListItem;
  friend class TListColumns;
  static LRESULT HeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HeaderMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void ItemsChanged();
  void ColumnsChanged();
  void SelectionChanging(TListItem *item, bool selected);
  // Selects one row as the user does: the old one is told first.
  void UserSelect(int index);
  // A click or arrow key landing on a row with the keys held: the selection
  // the user expects of a multi-select list, the focus on the row.
  void UserMultiSelect(int index, TShiftState shift, bool byKey);
  // Selects the rows from..to (either order) and, unless adding, lets go of the others.
  void SelectRun(int from, int to, bool adding);
  int AnchorIndex() const;
  void EnsureVisible(int index);
  void LayoutHeader();
  TRect RowRect(int index) const;
  TRect CellRect(int index, int column) const;
  int TotalWidth() const;

  TListColumns columns_;
  TListItems items_;
  TChangeLink imagesLink_;
  HWND header_ = nullptr;
  int topIndex_ = 0;
  int scrollX_ = 0;
  DWORD exStyle_ = 0;
  // A column being sized by its divider in the header.
  int sizing_ = -1;
  int sizingStartX_ = 0;
  int sizingStartWidth_ = 0;
  bool pressedOnItem_ = false;
  // Where a Shift run starts: the last row clicked or moved to without Shift.
  int anchor_ = -1;
};

class TListView : public TCustomListView {
 public:
  VCL_CLASS_NAME(TListView)
  explicit TListView(TComponent *owner) : TCustomListView(owner) {}
};
