#include "classlib/listview.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi.h"

namespace {

const char kHeaderClass[] = "SysHeader32";

void RegisterHeaderClass(WNDPROC proc) {
  static bool done = false;
  if (done) return;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = kHeaderClass;
  RegisterClassA(&wc);
  done = true;
}

UINT AlignmentFlags(TAlignment alignment) {
  return alignment == taRightJustify ? DT_RIGHT : alignment == taCenter ? DT_CENTER : DT_LEFT;
}

}  // namespace

// ---- columns --------------------------------------------------------------------------
TListColumn *TListColumns::Add() {
  columns_.push_back(std::make_unique<TListColumn>(this));
  columns_.back()->index_ = Count() - 1;
  Changed();
  return columns_.back().get();
}

TListColumn *TListColumns::Items(int index) const {
  return index >= 0 && index < Count() ? columns_[size_t(index)].get() : nullptr;
}

void TListColumns::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  columns_.erase(columns_.begin() + index);
  for (int i = 0; i < Count(); ++i) columns_[size_t(i)]->index_ = i;
  Changed();
}

void TListColumns::Clear() {
  columns_.clear();
  Changed();
}

void TListColumns::EndUpdate() {
  if (updates_ > 0 && --updates_ == 0) Changed();
}

void TListColumns::Changed() {
  if (updates_ == 0 && owner_) owner_->ColumnsChanged();
}

void TListColumn::SetCaption(const std::string &caption) {
  caption_ = caption;
  owner_->Changed();
}

void TListColumn::SetWidth(int width) {
  width_ = std::max(width, 0);
  owner_->Changed();
}

void TListColumn::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  owner_->Changed();
}

// ---- items ------------------------------------------------------------------------------
TListItem::TListItem(TListItems *owner) : owner_(owner), subItems_(std::make_unique<TStringList>()) {
  subItems_->OnChange = [this](TObject *) { Update(); };
}

TListItem::~TListItem() { subItems_->OnChange = nullptr; }

void TListItem::SetCaption(const std::string &caption) {
  caption_ = caption;
  Update();
}

int TListItem::Index() const { return owner_ ? owner_->IndexOf(this) : -1; }

TCustomListView *TListItem::ListView() const { return owner_ ? owner_->Owner() : nullptr; }

void TListItem::SetSelected(bool selected) {
  if (selected_ == selected) return;
  TCustomListView *view = ListView();
  if (view && selected && !view->MultiSelect) {
    // One row at a time: the others are let go first.
    for (int i = 0; i < owner_->Count(); ++i) {
      TListItem *other = owner_->Item(i);
      if (other != this && other->selected_) other->SetSelected(false);
    }
  }
  selected_ = selected;
  if (view) view->SelectionChanging(this, selected);
  Update();
}

void TListItem::SetFocused(bool focused) {
  if (focused_ == focused) return;
  if (focused && owner_)
    for (int i = 0; i < owner_->Count(); ++i) owner_->Item(i)->focused_ = false;
  focused_ = focused;
  if (TCustomListView *view = ListView()) view->Invalidate();
}

TRect TListItem::DisplayRect(int code) const {
  TCustomListView *view = ListView();
  if (!view) return TRect();
  int index = Index();
  TRect row = view->RowRect(index);
  if (code == LVIR_LABEL || code == LVIR_ICON) {
    // The small picture sits at the left of the caption cell.
    TRect first = view->CellRect(index, 0);
    TCustomImageList *images = view->SmallImages();
    int iconRight = images ? std::min(first.Left + 2 + images->Width(), first.Right) : first.Left;
    return code == LVIR_ICON ? Rect(first.Left, first.Top, iconRight, first.Bottom)
                             : Rect(iconRight, first.Top, first.Right, first.Bottom);
  }
  return row;
}

void TListItem::MakeVisible(bool) {
  if (TCustomListView *view = ListView()) view->EnsureVisible(Index());
}

void TListItem::Update() {
  TCustomListView *view = ListView();
  if (!view || !view->HandleAllocated()) return;
  RECT r = view->RowRect(Index());
  if (r.bottom > r.top) InvalidateRect(view->Handle(), &r, FALSE);
}

void TListItem::Delete() {
  if (owner_) owner_->Delete(Index());
}

TListItems::~TListItems() { items_.clear(); }

TListItem *TListItems::Add() { return Insert(Count()); }

TListItem *TListItems::Insert(int index) {
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, std::make_unique<TListItem>(this));
  if (updates_ == 0) owner_->ItemsChanged();
  return items_[size_t(index)].get();
}

TListItem *TListItems::Item(int index) const {
  return index >= 0 && index < Count() ? items_[size_t(index)].get() : nullptr;
}

void TListItems::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  if (updates_ == 0) owner_->ItemsChanged();
}

void TListItems::Clear() {
  items_.clear();
  if (updates_ == 0) owner_->ItemsChanged();
}

int TListItems::IndexOf(const TListItem *item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return int(i);
  return -1;
}

void TListItems::EndUpdate() {
  if (updates_ > 0 && --updates_ == 0) owner_->ItemsChanged();
}

// ---- the list view ------------------------------------------------------------------------
TCustomListView::TCustomListView(TComponent *owner) : TCustomControl(owner), columns_(this), items_(this) {
  imagesLink_.OnChange = [this](TObject *) {
    if (!Destroying()) Invalidate();
  };
  TabStop = true;
  clickOnRelease_ = true;
  SetColor(clWindow);
  SetBounds(0, 0, 250, 150);
}

TCustomListView::~TCustomListView() {
  BeginDestroy();
  SetSmallImages(nullptr);
  // The header outlives this part of the object by a little: it is destroyed
  // with the window, after the list view is gone.
  if (header_ && IsWindow(header_)) SetWindowLongPtrA(header_, GWLP_USERDATA, 0);
  header_ = nullptr;
  items_.Clear();
}

void TCustomListView::SetSmallImages(TCustomImageList *images) {
  if (images == imagesLink_.Sender) return;
  if (imagesLink_.Sender) imagesLink_.Sender->UnRegisterChanges(&imagesLink_);
  if (images) images->RegisterChanges(&imagesLink_);
  if (!Destroying()) Invalidate();
}

int TCustomListView::HeaderHeight() const {
  if (!ShowColumnHeaders) return 0;
  int font = std::abs(const_cast<TCustomListView *>(this)->Font()->Height());
  return std::max(font + 8, 17);
}

int TCustomListView::RowHeight() const {
  int font = std::abs(const_cast<TCustomListView *>(this)->Font()->Height());
  return std::max(font + 4, 14);
}

int TCustomListView::TotalWidth() const {
  int width = 0;
  for (int i = 0; i < columns_.Count(); ++i) width += columns_.Items(i)->Width();
  return width;
}

TRect TCustomListView::RowRect(int index) const {
  if (index < topIndex_ || index >= items_.Count()) return TRect();
  int top = HeaderHeight() + (index - topIndex_) * RowHeight();
  return Rect(-scrollX_, top, -scrollX_ + std::max(TotalWidth(), 0), top + RowHeight());
}

TRect TCustomListView::CellRect(int index, int column) const {
  TRect row = RowRect(index);
  if (row.Height() <= 0 || column < 0 || column >= columns_.Count()) return TRect();
  int x = row.Left;
  for (int i = 0; i < column; ++i) x += columns_.Items(i)->Width();
  return Rect(x, row.Top, x + columns_.Items(column)->Width(), row.Bottom);
}

int TCustomListView::VisibleRowCount() { return std::max((ClientHeight() - HeaderHeight()) / RowHeight(), 0); }

TListItem *TCustomListView::GetItemAt(int x, int y) {
  if (y < HeaderHeight()) return nullptr;
  int index = topIndex_ + (y - HeaderHeight()) / RowHeight();
  TListItem *item = items_.Item(index);
  if (!item) return nullptr;
  // Without row selection only the caption cell is the item.
  TRect hit = RowSelect || (exStyle_ & LVS_EX_FULLROWSELECT) ? RowRect(index) : CellRect(index, 0);
  return x >= hit.Left && x < hit.Right ? item : nullptr;
}

TListItem *TCustomListView::Selected() const {
  for (int i = 0; i < items_.Count(); ++i)
    if (items_.Item(i)->Selected()) return items_.Item(i);
  return nullptr;
}

void TCustomListView::SetSelected(TListItem *item) {
  if (!item) {
    ClearSelection();
    return;
  }
  if (MultiSelect)
    for (int i = 0; i < items_.Count(); ++i)
      if (items_.Item(i) != item) items_.Item(i)->SetSelected(false);
  item->SetSelected(true);
  item->SetFocused(true);
}

int TCustomListView::SelCount() const {
  int count = 0;
  for (int i = 0; i < items_.Count(); ++i) count += items_.Item(i)->Selected() ? 1 : 0;
  return count;
}

void TCustomListView::ClearSelection() {
  for (int i = 0; i < items_.Count(); ++i) items_.Item(i)->SetSelected(false);
}

int TCustomListView::ItemIndex() const {
  TListItem *item = Selected();
  return item ? item->Index() : -1;
}

void TCustomListView::SetItemIndex(int index) { SetSelected(items_.Item(index)); }

TListItem *TCustomListView::ItemFocused() const {
  for (int i = 0; i < items_.Count(); ++i)
    if (items_.Item(i)->Focused()) return items_.Item(i);
  return nullptr;
}

void TCustomListView::SelectionChanging(TListItem *item, bool selected) {
  if (OnSelectItem && !Destroying()) OnSelectItem(this, item, selected);
}

void TCustomListView::UserSelect(int index) {
  TListItem *item = items_.Item(index);
  if (!item) return;
  if (MultiSelect) {
    // The others are let go first, as with one row at a time.
    for (int i = 0; i < items_.Count(); ++i)
      if (i != index) items_.Item(i)->SetSelected(false);
  }
  if (!item->Selected()) item->SetSelected(true);
  item->SetFocused(true);
  anchor_ = index;
  EnsureVisible(index);
}

int TCustomListView::AnchorIndex() const {
  if (items_.Item(anchor_)) return anchor_;
  if (TListItem *focus = ItemFocused()) return focus->Index();
  if (TListItem *first = Selected()) return first->Index();
  return -1;
}

void TCustomListView::SelectRun(int from, int to, bool adding) {
  if (from > to) std::swap(from, to);
  // Rows leaving the selection are told before the new ones.
  if (!adding)
    for (int i = 0; i < items_.Count(); ++i)
      if (i < from || i > to) items_.Item(i)->SetSelected(false);
  for (int i = from; i <= to; ++i) items_.Item(i)->SetSelected(true);
}

void TCustomListView::UserMultiSelect(int index, TShiftState shift, bool byKey) {
  TListItem *item = items_.Item(index);
  if (!item) return;
  const bool shiftDown = shift.Contains(ssShift), ctrlDown = shift.Contains(ssCtrl);
  if (shiftDown) {
    const int anchor = AnchorIndex();
    SelectRun(anchor >= 0 ? anchor : index, index, ctrlDown);
    if (anchor < 0) anchor_ = index;
  } else if (ctrlDown) {
    // A click takes the row in or out; a key moves the focus alone.
    if (!byKey) item->SetSelected(!item->Selected());
    anchor_ = index;
  } else {
    UserSelect(index);
    return;
  }
  item->SetFocused(true);
  EnsureVisible(index);
}

void TCustomListView::EnsureVisible(int index) {
  if (index < 0 || index >= items_.Count()) return;
  int rows = std::max(VisibleRowCount(), 1);
  int top = topIndex_;
  if (index < top) top = index;
  if (index >= top + rows) top = index - rows + 1;
  if (top != topIndex_) {
    topIndex_ = top;
    Invalidate();
  }
}

void TCustomListView::Scroll(int dx, int dy) {
  int maxX = std::max(TotalWidth() - ClientWidth(), 0);
  int x = std::clamp(scrollX_ + dx, 0, maxX);
  int rows = RowHeight() > 0 ? dy / RowHeight() : 0;
  int top = std::clamp(topIndex_ + rows, 0, std::max(items_.Count() - 1, 0));
  if (x == scrollX_ && top == topIndex_) return;
  scrollX_ = x;
  topIndex_ = top;
  LayoutHeader();
  Invalidate();
}

void TCustomListView::ItemsChanged() {
  anchor_ = -1;
  topIndex_ = std::clamp(topIndex_, 0, std::max(items_.Count() - 1, 0));
  if (!Destroying()) Invalidate();
}

void TCustomListView::ColumnsChanged() {
  if (Destroying()) return;
  if (header_) InvalidateRect(header_, nullptr, TRUE);
  Invalidate();
}

void TCustomListView::LayoutHeader() {
  if (!header_) return;
  // The header scrolls with the columns; it is as wide as the columns or
  // the client area, whichever is wider.
  int width = std::max(TotalWidth(), ClientWidth() + scrollX_);
  MoveWindow(header_, -scrollX_, 0, width, HeaderHeight(), TRUE);
  ShowWindow(header_, ShowColumnHeaders ? SW_SHOW : SW_HIDE);
}

void TCustomListView::CreateHandle() {
  TCustomControl::CreateHandle();
  RegisterHeaderClass(&TCustomListView::HeaderProc);
  header_ = CreateWindowExA(0, kHeaderClass, "", WS_CHILD | WS_VISIBLE, 0, 0, std::max(ClientWidth(), 1),
                            HeaderHeight(), Handle(), nullptr, nullptr, nullptr);
  if (header_) SetWindowLongPtrA(header_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  LayoutHeader();
}

void TCustomListView::DestroyHandle() {
  if (header_ && IsWindow(header_)) SetWindowLongPtrA(header_, GWLP_USERDATA, 0);
  header_ = nullptr;  // destroyed with the list view's window
  TCustomControl::DestroyHandle();
}

void TCustomListView::WMSize(TWMSize &msg) {
  LayoutHeader();
  TCustomControl::WMSize(msg);
}

void TCustomListView::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TCustomListView::WMMouseWheel(TWMMouseWheel &msg) {
  Scroll(0, -msg.WheelDelta / WHEEL_DELTA * 3 * RowHeight());
  msg.Result = 1;
}

void TCustomListView::WMFocus(TWMFocus &msg) {
  Invalidate();
  TCustomControl::WMFocus(msg);
}

LRESULT TCustomListView::DialogCode() { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TCustomListView::Paint() {
  TCanvas *canvas = Canvas();
  const int width = ClientWidth(), height = ClientHeight();
  bool focused = HandleAllocated() && Focused();
  int y = HeaderHeight();
  for (int i = topIndex_; i < items_.Count() && y < height; ++i, y += RowHeight()) {
    TListItem *item = items_.Item(i);
    TRect row = Rect(0, y, width, y + RowHeight());
    TCustomDrawState state = 0;
    if (item->Selected()) state |= cdsSelected;
    if (item->Focused() && focused) state |= cdsFocused;
    if (!Enabled()) state |= cdsDisabled;
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    bool defaultDraw = true;
    if (OnCustomDrawItem && !Destroying()) OnCustomDrawItem(this, item, state, defaultDraw);
    if (defaultDraw) DrawRowDefault(item, row, state);
  }
  if (y < height) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(Rect(0, y, width, height));
  }
}

void TCustomListView::DrawRowDefault(TListItem *item, const TRect &row, TCustomDrawState state) {
  TCanvas *canvas = Canvas();
  bool shown = (state & cdsSelected) && ((state & cdsFocused) || Focused() || !HideSelection);
  bool full = RowSelect || (exStyle_ & LVS_EX_FULLROWSELECT);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(row);
  int index = item->Index();
  for (int c = 0; c < columns_.Count(); ++c) {
    TRect cell = CellRect(index, c);
    if (cell.Right <= 0 || cell.Left >= row.Right) continue;
    bool highlight = shown && (full || c == 0);
    canvas->Font()->Assign(Font());
    if (highlight) {
      canvas->Brush()->SetColor(clHighlight);
      canvas->FillRect(cell);
      canvas->Font()->SetColor(clHighlightText);
    }
    std::string text = c == 0 ? item->Caption() : (c - 1 < item->SubItems()->Count() ? item->SubItems()->Get(c - 1) : "");
    TRect inner = Rect(cell.Left + 6, cell.Top, cell.Right - 6, cell.Bottom);
    if (c == 0 && SmallImages()) {
      TCustomImageList *images = SmallImages();
      if (item->ImageIndex >= 0 && item->ImageIndex < images->Count())
        images->Draw(canvas, cell.Left + 2, cell.Top + (cell.Height() - images->Height()) / 2, item->ImageIndex, Enabled());
      inner.Left = item->DisplayRect(LVIR_LABEL).Left + 6;
    }
    if (!text.empty() && inner.Width() > 0) {
      canvas->Brush()->SetStyle(bsClear);
      canvas->DrawText(text, inner,
                       DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                           AlignmentFlags(columns_.Items(c)->Alignment()));
      canvas->Brush()->SetStyle(bsSolid);
    }
    canvas->Brush()->SetColor(Color());
  }
  if (GridLines || (exStyle_ & LVS_EX_GRIDLINES)) {
    canvas->Pen()->SetColor(clBtnFace);
    canvas->MoveTo(row.Left, row.Bottom - 1);
    canvas->LineTo(row.Right, row.Bottom - 1);
  }
  if (state & cdsFocused) canvas->DrawFocusRect(full ? RowRect(index) : CellRect(index, 0));
}

void TCustomListView::ColumnClick(TListColumn *column) {
  if (OnColumnClick && !Destroying()) OnColumnClick(this, column);
}

void TCustomListView::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (!key || items_.Count() == 0) return;
  TListItem *focus = ItemFocused();
  if (!focus) focus = Selected();
  int at = focus ? focus->Index() : -1;
  int page = std::max(VisibleRowCount() - 1, 1);
  if (MultiSelect && key == VK_SPACE) {
    // Ctrl+Space takes the focused row in or out; Space alone selects it.
    if (focus && shift.Contains(ssCtrl)) {
      focus->SetSelected(!focus->Selected());
      anchor_ = focus->Index();
    } else if (focus) {
      UserSelect(focus->Index());
    }
    return;
  }
  switch (key) {
    case VK_UP: at = std::max(at - 1, 0); break;
    case VK_DOWN: at = at + 1; break;
    case VK_PRIOR: at = std::max(at, 0) - page; break;
    case VK_NEXT: at = std::max(at, 0) + page; break;
    case VK_HOME: at = 0; break;
    case VK_END: at = items_.Count() - 1; break;
    default: return;
  }
  at = std::clamp(at, 0, items_.Count() - 1);
  if (MultiSelect)
    UserMultiSelect(at, shift, true);
  else
    UserSelect(at);
}

void TCustomListView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft || button == mbRight) {
    if (CanFocus() && !Focused()) SetFocus();
    TListItem *item = GetItemAt(x, y);
    const bool keys = shift.Contains(ssCtrl) || shift.Contains(ssShift);
    if (item && MultiSelect && button == mbLeft)
      UserMultiSelect(item->Index(), shift, false);
    else if (item && MultiSelect && item->Selected()) {
      // A right click on a selected row keeps the selection its menu acts on.
      item->SetFocused(true);
    } else if (item)
      UserSelect(item->Index());
    else if (button == mbLeft && y >= HeaderHeight() && !(MultiSelect && keys))
      ClearSelection();  // a click on no row lets the selection go
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListView::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL: {
      WORD code = LOWORD(m.WParam);
      int pos = HIWORD(m.WParam);
      bool vert = m.Msg == WM_VSCROLL;
      int line = vert ? RowHeight() : 16;
      int page = vert ? std::max(VisibleRowCount() - 1, 1) * RowHeight() : ClientWidth();
      int now = vert ? topIndex_ * RowHeight() : scrollX_;
      int delta = 0;
      switch (code) {
        case SB_LINEUP: delta = -line; break;
        case SB_LINEDOWN: delta = line; break;
        case SB_PAGEUP: delta = -page; break;
        case SB_PAGEDOWN: delta = page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: delta = (vert ? pos * RowHeight() : pos) - now; break;
        case SB_TOP: delta = -now; break;
        case SB_BOTTOM: delta = 1 << 24; break;
        default: break;
      }
      if (vert)
        Scroll(0, delta);
      else
        Scroll(delta, 0);
      m.Result = 0;
      return;
    }
    case LVM_GETHEADER: m.Result = reinterpret_cast<LRESULT>(header_); return;
    case LVM_GETITEMCOUNT: m.Result = items_.Count(); return;
    case LVM_GETTOPINDEX: m.Result = topIndex_; return;
    case LVM_GETCOUNTPERPAGE: m.Result = VisibleRowCount(); return;
    case LVM_GETSELECTEDCOUNT: m.Result = SelCount(); return;
    case LVM_GETEXTENDEDLISTVIEWSTYLE: m.Result = LRESULT(exStyle_); return;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD mask = m.WParam ? DWORD(m.WParam) : 0xFFFFFFFFu;
      DWORD old = exStyle_;
      exStyle_ = (exStyle_ & ~mask) | (DWORD(m.LParam) & mask);
      if (exStyle_ & LVS_EX_FULLROWSELECT) RowSelect = true;
      Invalidate();
      m.Result = LRESULT(old);
      return;
    }
    case LVM_GETCOLUMNWIDTH: {
      TListColumn *column = columns_.Items(int(m.WParam));
      m.Result = column ? column->Width() : 0;
      return;
    }
    case LVM_SETCOLUMNWIDTH: {
      TListColumn *column = columns_.Items(int(m.WParam));
      if (column) {
        column->SetWidth(int(SHORT(LOWORD(m.LParam))));
      }
      m.Result = column ? 1 : 0;
      return;
    }
    case LVM_GETNEXTITEM: {
      int start = int(intptr_t(m.WParam));
      UINT flags = UINT(m.LParam);
      m.Result = -1;
      for (int i = std::max(start + 1, 0); i < items_.Count(); ++i) {
        TListItem *item = items_.Item(i);
        if ((flags & LVNI_SELECTED) && !item->Selected()) continue;
        if ((flags & LVNI_FOCUSED) && !item->Focused()) continue;
        m.Result = i;
        break;
      }
      return;
    }
    case LVM_GETITEMSTATE: {
      TListItem *item = items_.Item(int(m.WParam));
      UINT state = 0;
      if (item && item->Selected()) state |= LVIS_SELECTED;
      if (item && item->Focused()) state |= LVIS_FOCUSED;
      m.Result = LRESULT(state & UINT(m.LParam));
      return;
    }
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: {
      auto *rect = reinterpret_cast<RECT *>(m.LParam);
      int index = int(intptr_t(m.WParam));
      m.Result = 0;
      if (!rect || !items_.Item(index)) return;
      // Rows above the top lie above the client area.
      int top = HeaderHeight() + (index - topIndex_) * RowHeight();
      int sub = m.Msg == LVM_GETSUBITEMRECT ? rect->top : 0;
      int x = -scrollX_;
      for (int c = 0; c < sub && c < columns_.Count(); ++c) x += columns_.Items(c)->Width();
      int right = m.Msg == LVM_GETSUBITEMRECT && columns_.Items(sub) ? x + columns_.Items(sub)->Width()
                                                                    : -scrollX_ + TotalWidth();
      *rect = RECT{x, top, right, top + RowHeight()};
      m.Result = 1;
      return;
    }
    case LVM_GETITEMPOSITION: {
      auto *point = reinterpret_cast<POINT *>(m.LParam);
      int index = int(intptr_t(m.WParam));
      m.Result = 0;
      if (!point || !items_.Item(index)) return;
      *point = POINT{-scrollX_, HeaderHeight() + (index - topIndex_) * RowHeight()};
      m.Result = 1;
      return;
    }
    case LVM_ENSUREVISIBLE:
      EnsureVisible(int(intptr_t(m.WParam)));
      m.Result = 1;
      return;
    case LVM_SCROLL:
      Scroll(int(intptr_t(m.WParam)), int(m.LParam));
      m.Result = 1;
      return;
    case LVM_HITTEST: {
      auto *info = reinterpret_cast<LVHITTESTINFO *>(m.LParam);
      m.Result = -1;
      if (!info) return;
      TListItem *item = GetItemAt(info->pt.x, info->pt.y);
      info->iItem = item ? item->Index() : -1;
      info->iSubItem = 0;
      info->flags = item ? LVHT_ONITEMLABEL : LVHT_NOWHERE;
      m.Result = info->iItem;
      return;
    }
    case LVM_DELETEALLITEMS:
      items_.Clear();
      m.Result = 1;
      return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

// ---- the header window --------------------------------------------------------------------
LRESULT TCustomListView::HeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto *view = reinterpret_cast<TCustomListView *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!view) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return view->HeaderMessage(hwnd, msg, wParam, lParam);
}

LRESULT TCustomListView::HeaderMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETFONT: return reinterpret_cast<LRESULT>(Font()->Handle());
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) PaintHeaderDefault(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      if (CanFocus() && !Focused()) SetFocus();
      // A press within a few pixels of a divider sizes the column left of it.
      int x = GET_X_LPARAM(lParam);
      sizing_ = -1;
      for (int i = 0, right = 0; i < columns_.Count(); ++i) {
        right += columns_.Items(i)->Width();
        if (x >= right - 3 && x <= right + 2) sizing_ = i;
      }
      pressedOnItem_ = sizing_ < 0;
      if (sizing_ >= 0) {
        sizingStartX_ = x;
        sizingStartWidth_ = columns_.Items(sizing_)->Width();
      }
      SetCapture(hwnd);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (sizing_ >= 0 && (wParam & MK_LBUTTON) && columns_.Items(sizing_))
        columns_.Items(sizing_)->SetWidth(sizingStartWidth_ + GET_X_LPARAM(lParam) - sizingStartX_);
      return 0;
    case WM_LBUTTONUP: {
      if (GetCapture() == hwnd) ReleaseCapture();
      bool click = pressedOnItem_;
      pressedOnItem_ = false;
      if (sizing_ >= 0) {
        sizing_ = -1;
        return 0;
      }
      int x = GET_X_LPARAM(lParam);
      for (int i = 0, left = 0; click && i < columns_.Count(); ++i) {
        int right = left + columns_.Items(i)->Width();
        if (x >= left && x < right) {
          ColumnClick(columns_.Items(i));
          break;
        }
        left = right;
      }
      return 0;
    }
    case WM_RBUTTONDOWN:
      if (CanFocus() && !Focused()) SetFocus();
      return 0;
    case HDM_GETITEMCOUNT: return columns_.Count();
    case HDM_GETITEMRECT: {
      auto *rect = reinterpret_cast<RECT *>(lParam);
      int index = int(intptr_t(wParam));
      if (!rect || !columns_.Items(index)) return 0;
      int left = 0;
      for (int i = 0; i < index; ++i) left += columns_.Items(i)->Width();
      RECT client;
      GetClientRect(hwnd, &client);
      *rect = RECT{left, 0, left + columns_.Items(index)->Width(), client.bottom};
      return 1;
    }
    case HDM_GETITEMA: {
      auto *item = reinterpret_cast<HDITEMA *>(lParam);
      TListColumn *column = columns_.Items(int(intptr_t(wParam)));
      if (!item || !column) return 0;
      if (item->mask & HDI_WIDTH) item->cxy = column->Width();
      if (item->mask & HDI_FORMAT) {
        int justify = column->Alignment() == taRightJustify ? HDF_RIGHT : column->Alignment() == taCenter ? HDF_CENTER : HDF_LEFT;
        item->fmt = justify | HDF_STRING;
      }
      if (item->mask & HDI_ORDER) item->iOrder = column->Index();
      if (item->mask & HDI_LPARAM) item->lParam = column->Tag;
      if ((item->mask & HDI_TEXT) && item->pszText && item->cchTextMax > 0) {
        size_t n = std::min(column->Caption().size(), size_t(item->cchTextMax - 1));
        std::memcpy(item->pszText, column->Caption().data(), n);
        item->pszText[n] = 0;
      }
      return 1;
    }
    case HDM_SETITEMA: {
      auto *item = reinterpret_cast<const HDITEMA *>(lParam);
      TListColumn *column = columns_.Items(int(intptr_t(wParam)));
      if (!item || !column) return 0;
      if (item->mask & HDI_WIDTH) column->width_ = std::max(item->cxy, 0);
      if ((item->mask & HDI_TEXT) && item->pszText) column->caption_ = item->pszText;
      if (item->mask & HDI_FORMAT) {
        int justify = item->fmt & HDF_JUSTIFYMASK;
        column->alignment_ = justify == HDF_RIGHT ? taRightJustify : justify == HDF_CENTER ? taCenter : taLeftJustify;
      }
      columns_.Changed();
      return 1;
    }
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

void TCustomListView::PaintHeaderDefault(HWND header, HDC dc) {
  int count = int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(header, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ oldPen = SelectObject(dc, shadow);
  RECT client;
  GetClientRect(header, &client);
  for (int i = 0; i < count; ++i) {
    char text[260] = {};
    HDITEMA item{};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    RECT r{};
    if (!SendMessageA(header, HDM_GETITEMA, WPARAM(i), reinterpret_cast<LPARAM>(&item)) ||
        !SendMessageA(header, HDM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r)))
      continue;
    RECT inner{r.left + 6, r.top, r.right - 6, r.bottom};
    UINT justify = (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT    ? DT_RIGHT
                   : (item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                                                                : DT_LEFT;
    if (inner.right > inner.left)
      DrawTextA(dc, text, -1, &inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | justify);
    MoveToEx(dc, r.right - 1, r.top + 2, nullptr);
    LineTo(dc, r.right - 1, r.bottom - 2);
  }
  MoveToEx(dc, client.left, client.bottom - 1, nullptr);
  LineTo(dc, client.right, client.bottom - 1);
  SelectObject(dc, oldPen);
  DeleteObject(shadow);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  if (oldFont) SelectObject(dc, oldFont);
}
