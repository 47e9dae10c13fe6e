#include "classlib/listbox.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi.h"
#include "platform/path.h"

int TListItemsOwner::FollowIndex(int index, int insertedAt, int deletedAt) {
  if (index < 0 || deletedAt == -2 || deletedAt == index) return -1;
  if (deletedAt >= 0 && deletedAt < index) return index - 1;
  if (deletedAt < 0 && insertedAt >= 0 && insertedAt <= index) return index + 1;
  return index;
}

// ---- TListStrings ----------------------------------------------------------------------
std::string TListStrings::Get(int index) const {
  if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  return items_[size_t(index)].text;
}

void TListStrings::Put(int index, const std::string &text) {
  if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  items_[size_t(index)].text = text;
  Changed(-1, -1);
}

TObject *TListStrings::GetObject(int index) const {
  return index >= 0 && index < Count() ? items_[size_t(index)].object : nullptr;
}

void TListStrings::PutObject(int index, TObject *object) {
  if (index >= 0 && index < Count()) items_[size_t(index)].object = object;
}

void TListStrings::Insert(int index, const std::string &text) {
  if (index < 0 || index > Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, Item{text});
  Changed(index, -1);
}

int TListStrings::Add(const std::string &text) {
  int at = Count();
  if (Sorted) {
    auto it = std::upper_bound(items_.begin(), items_.end(), text, [](const std::string &t, const Item &item) {
      return platform::CompareNoCase(t, item.text) < 0;
    });
    at = int(it - items_.begin());
  }
  Insert(at, text);
  return at;
}

void TListStrings::Delete(int index) {
  if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.erase(items_.begin() + index);
  Changed(-1, index);
}

void TListStrings::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed(-1, -2);
}

bool TListStrings::Marked(int index) const { return index >= 0 && index < Count() && items_[size_t(index)].marked; }

void TListStrings::SetMarked(int index, bool marked) {
  if (index < 0 || index >= Count() || items_[size_t(index)].marked == marked) return;
  items_[size_t(index)].marked = marked;
  Changed(-1, -1);
}

bool TListStrings::Checked(int index) const { return index >= 0 && index < Count() && items_[size_t(index)].checked; }

void TListStrings::SetChecked(int index, bool checked) {
  if (index < 0 || index >= Count() || items_[size_t(index)].checked == checked) return;
  items_[size_t(index)].checked = checked;
  Changed(-1, -1);
}

void TListStrings::SetUpdateState(bool updating) {
  if (!updating) Changed(-1, -1);
}

void TListStrings::Changed(int insertedAt, int deletedAt) {
  if (owner_) owner_->ItemsChanged(insertedAt, deletedAt);
}

// ---- TCustomListBox ---------------------------------------------------------------------
TCustomListBox::TCustomListBox(TComponent *owner)
    : TCustomControl(owner), items_(std::make_unique<TListStrings>(this)) {
  TabStop = true;
  clickOnRelease_ = false;  // OnClick comes with the selection
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() { BeginDestroy(); }

void TCustomListBox::ItemsChanged(int insertedAt, int deletedAt) {
  itemIndex_ = FollowIndex(itemIndex_, insertedAt, deletedAt);
  if (deletedAt == -2) topIndex_ = 0;
  if (insertedAt >= 0 || deletedAt != -1) anchor_ = -1;
  topIndex_ = std::clamp(topIndex_, 0, std::max(Count() - 1, 0));
  if (!Destroying()) Invalidate();
}

bool TCustomListBox::Selected(int index) const {
  return MultiSelect ? items_->Marked(index) : index >= 0 && index == itemIndex_;
}

void TCustomListBox::SetSelected(int index, bool selected) {
  if (MultiSelect)
    items_->SetMarked(index, selected);
  else if (selected)
    SetItemIndex(index);
  else if (index == itemIndex_)
    SetItemIndex(-1);
}

int TCustomListBox::SelCount() const {
  if (!MultiSelect) return itemIndex_ >= 0 ? 1 : 0;
  int count = 0;
  for (int i = 0; i < Count(); ++i) count += items_->Marked(i) ? 1 : 0;
  return count;
}

void TCustomListBox::ClearSelection() {
  if (!MultiSelect) {
    SetItemIndex(-1);
    return;
  }
  items_->BeginUpdate();
  for (int i = 0; i < Count(); ++i) items_->SetMarked(i, false);
  items_->EndUpdate();
}

void TCustomListBox::SelectAll() {
  if (!MultiSelect) return;
  items_->BeginUpdate();
  for (int i = 0; i < Count(); ++i) items_->SetMarked(i, true);
  items_->EndUpdate();
}

void TCustomListBox::MultiSelectTo(int index, TShiftState shift) {
  items_->BeginUpdate();
  if (ExtendedSelect && shift.Contains(ssShift) && anchor_ >= 0) {
    int from = std::min(anchor_, index), to = std::max(anchor_, index);
    for (int i = 0; i < Count(); ++i) items_->SetMarked(i, i >= from && i <= to);
  } else if (!ExtendedSelect || shift.Contains(ssCtrl)) {
    items_->SetMarked(index, !items_->Marked(index));
    anchor_ = index;
  } else {
    for (int i = 0; i < Count(); ++i) items_->SetMarked(i, i == index);
    anchor_ = index;
  }
  items_->EndUpdate();
}

void TCustomListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) index = -1;
  if (index != itemIndex_) {
    itemIndex_ = index;
    Invalidate();
  }
  if (index >= 0) ScrollInView(index);
}

void TCustomListBox::SetTopIndex(int index) {
  index = std::clamp(index, 0, std::max(Count() - 1, 0));
  if (index == topIndex_) return;
  topIndex_ = index;
  Invalidate();
}

void TCustomListBox::SetItemHeight(int height) {
  itemHeight_ = std::max(height, 1);
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle style) {
  style_ = style;
  Invalidate();
}

int TCustomListBox::ItemHeightOf(int index) {
  int height = itemHeight_;
  if (style_ == lbOwnerDrawVariable && OnMeasureItem && !Destroying()) OnMeasureItem(this, index, height);
  return std::max(height, 1);
}

TRect TCustomListBox::ItemRect(int index) {
  if (index < topIndex_ || index >= Count()) return TRect();
  int y = 0;
  for (int i = topIndex_; i < index; ++i) y += ItemHeightOf(i);
  return Rect(0, y, ClientWidth(), y + ItemHeightOf(index));
}

int TCustomListBox::ItemAtPos(TPoint p, bool existing) {
  if (p.x < 0 || p.x >= ClientWidth() || p.y < 0) return existing ? -1 : Count() - 1;
  int y = 0;
  for (int i = topIndex_; i < Count(); ++i) {
    y += ItemHeightOf(i);
    if (p.y < y) return i;
    if (y >= ClientHeight()) break;
  }
  return existing ? -1 : Count() - 1;
}

int TCustomListBox::VisibleCount() {
  int y = 0, count = 0;
  for (int i = topIndex_; i < Count(); ++i) {
    y += ItemHeightOf(i);
    if (y > ClientHeight()) break;
    ++count;
  }
  return count;
}

void TCustomListBox::ScrollInView(int index) {
  if (index < 0 || index >= Count()) return;
  int top = topIndex_;
  if (index < top) {
    top = index;
  } else {
    auto bottomOf = [&](int first) {
      int y = 0;
      for (int i = first; i <= index; ++i) y += ItemHeightOf(i);
      return y;
    };
    while (top < index && bottomOf(top) > ClientHeight()) ++top;
  }
  SetTopIndex(top);
}

void TCustomListBox::Paint() {
  TCanvas *canvas = Canvas();
  const int width = ClientWidth(), height = ClientHeight();
  HDC dc = canvas->Handle();
  int y = 0;
  for (int i = topIndex_; i < Count() && y < height; ++i) {
    TRect rect = Rect(0, y, width, y + ItemHeightOf(i));
    y = rect.Bottom;
    TOwnerDrawState state = 0;
    if (Selected(i)) state |= odSelected;
    if (i == itemIndex_ && Focused()) state |= odFocused;
    if (!Enabled()) state |= odDisabled | odGrayed;
    if (style_ != lbStandard) {
      DRAWITEMSTRUCT record{};
      record.CtlType = ODT_LISTBOX;
      record.itemID = UINT(i);
      record.itemAction = ODA_DRAWENTIRE;
      record.itemState = state;
      record.hwndItem = Handle();
      record.hDC = dc;
      record.rcItem = rect;
      record.itemData = ULONG_PTR(reinterpret_cast<uintptr_t>(items_->GetObject(i)));
      Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&record));
      canvas->SetHandle(dc);  // a handler may have drawn straight on the context
      continue;
    }
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    if (state & odSelected) {
      canvas->Brush()->SetColor(clHighlight);
      canvas->Font()->SetColor(clHighlightText);
    }
    canvas->FillRect(rect);
    DrawItem(i, rect, state);
    if (state & odFocused) canvas->DrawFocusRect(rect);
  }
  if (y < height) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(Rect(0, y, width, height));
  }
}

void TCustomListBox::CNDrawItem(TMessage &message) {
  auto *record = reinterpret_cast<DRAWITEMSTRUCT *>(message.LParam);
  message.Result = 1;
  if (!record) return;
  TCanvas *canvas = Canvas();
  canvas->SetHandle(record->hDC);
  canvas->Font()->Assign(Font());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  TOwnerDrawState state = record->itemState;
  if (state & odSelected) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->Font()->SetColor(clHighlightText);
  }
  TRect rect = record->rcItem;
  if (int(record->itemID) >= 0 && int(record->itemID) < Count())
    DrawItem(int(record->itemID), rect, state);
  else
    canvas->FillRect(rect);
  if (state & odFocused) canvas->DrawFocusRect(rect);
}

void TCustomListBox::DrawItem(int index, const TRect &rect, TOwnerDrawState state) {
  if (style_ != lbStandard && OnDrawItem && !Destroying()) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  if (style_ != lbStandard) Canvas()->FillRect(rect);
  DrawItemText(index, rect);
}

void TCustomListBox::DrawItemText(int index, const TRect &rect) {
  TCanvas *canvas = Canvas();
  TRect r = rect;
  r.Left += 2 + ItemIndent();
  TBrushStyle old = canvas->Brush()->Style();
  canvas->Brush()->SetStyle(bsClear);
  canvas->DrawText(items_->Get(index), r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  canvas->Brush()->SetStyle(old);
}

void TCustomListBox::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TCustomListBox::WMMouseWheel(TWMMouseWheel &msg) {
  int lines = msg.WheelDelta / WHEEL_DELTA * 3;
  if (lines != 0) SetTopIndex(topIndex_ - lines);
  msg.Result = 1;
}

void TCustomListBox::WMFocus(TWMFocus &msg) {
  Invalidate();  // the focus rectangle comes or goes
  TCustomControl::WMFocus(msg);
}

LRESULT TCustomListBox::DialogCode() { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TCustomListBox::SelectionChangedByUser() { Click(); }

void TCustomListBox::UserSelect(int index) {
  if (Count() == 0) return;
  index = std::clamp(index, 0, Count() - 1);
  // A click on the selected item reports it again, as the list box does.
  SetItemIndex(index);
  SelectionChangedByUser();
}

void TCustomListBox::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (!key || Count() == 0) return;
  int page = std::max(VisibleCount() - 1, 1);
  int at = itemIndex_;
  switch (key) {
    case VK_UP: at = at < 0 ? 0 : at - 1; break;
    case VK_DOWN: at = at + 1; break;
    case VK_PRIOR: at = std::max(at, 0) - page; break;
    case VK_NEXT: at = std::max(at, 0) + page; break;
    case VK_HOME: at = 0; break;
    case VK_END: at = Count() - 1; break;
    default: return;
  }
  at = std::clamp(at, 0, Count() - 1);
  if (MultiSelect) {
    MultiSelectTo(at, shift.Contains(ssShift) ? shift : TShiftState());
    UserSelect(at);
    return;
  }
  if (at != itemIndex_) UserSelect(at);
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    int index = ItemAtPos(Point(x, y), true);
    if (index >= 0 && MultiSelect) MultiSelectTo(index, shift);
    if (index >= 0) UserSelect(index);
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  if (shift.Contains(ssLeft) && GetCapture() == Handle() && !MultiSelect) {
    int index = ItemAtPos(Point(x, y), true);
    if (index >= 0 && index != itemIndex_) UserSelect(index);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomListBox::VScroll(WORD code, int position) {
  int page = std::max(VisibleCount() - 1, 1);
  switch (code) {
    case SB_LINEUP: SetTopIndex(topIndex_ - 1); break;
    case SB_LINEDOWN: SetTopIndex(topIndex_ + 1); break;
    case SB_PAGEUP: SetTopIndex(topIndex_ - page); break;
    case SB_PAGEDOWN: SetTopIndex(topIndex_ + page); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: SetTopIndex(position); break;
    case SB_TOP: SetTopIndex(0); break;
    case SB_BOTTOM: SetTopIndex(Count() - 1); break;
    default: break;
  }
}

void TCustomListBox::WndProc(TMessage &m) {
  switch (m.Msg) {
    case CN_DRAWITEM: CNDrawItem(m); return;
    case WM_VSCROLL: VScroll(LOWORD(m.WParam), HIWORD(m.WParam)); m.Result = 0; return;
    case LB_GETCOUNT: m.Result = Count(); return;
    case LB_GETCURSEL: m.Result = itemIndex_; return;
    case LB_SETCURSEL:
      SetItemIndex(int(intptr_t(m.WParam)));
      m.Result = itemIndex_ >= 0 ? itemIndex_ : LB_ERR;
      return;
    case LB_GETTOPINDEX: m.Result = topIndex_; return;
    case LB_SETTOPINDEX:
      SetTopIndex(int(intptr_t(m.WParam)));
      m.Result = 0;
      return;
    case LB_GETITEMHEIGHT: {
      // Items of a variable list have heights of their own; there is none
      // to measure past the list's ends.
      int index = int(intptr_t(m.WParam));
      bool variable = style_ == lbOwnerDrawVariable;
      m.Result = variable && (index < 0 || index >= Count()) ? LB_ERR : ItemHeightOf(index);
      return;
    }
    case LB_GETITEMRECT: {
      int index = int(intptr_t(m.WParam));
      auto *rect = reinterpret_cast<RECT *>(m.LParam);
      if (index < 0 || index >= Count() || !rect) {
        m.Result = LB_ERR;
        return;
      }
      // Items above the top lie above the client area, as on Windows.
      int y = 0;
      if (index < topIndex_)
        for (int i = index; i < topIndex_; ++i) y -= ItemHeightOf(i);
      else
        for (int i = topIndex_; i < index; ++i) y += ItemHeightOf(i);
      *rect = RECT{0, y, ClientWidth(), y + ItemHeightOf(index)};
      m.Result = 1;
      return;
    }
    case LB_GETTEXTLEN: {
      int index = int(intptr_t(m.WParam));
      m.Result = index >= 0 && index < Count() ? LRESULT(items_->Get(index).size()) : LB_ERR;
      return;
    }
    case LB_GETTEXT: {
      int index = int(intptr_t(m.WParam));
      auto *buffer = reinterpret_cast<char *>(m.LParam);
      if (index < 0 || index >= Count() || !buffer) {
        m.Result = LB_ERR;
        return;
      }
      std::string text = items_->Get(index);
      std::memcpy(buffer, text.c_str(), text.size() + 1);
      m.Result = LRESULT(text.size());
      return;
    }
    case LB_ITEMFROMPOINT: {
      int index = ItemAtPos(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)), false);
      m.Result = MAKELPARAM(WORD(std::max(index, 0)), index < 0 ? 1 : 0);
      return;
    }
    default: break;
  }
  TCustomControl::WndProc(m);
}

// ---- TCheckListBox ----------------------------------------------------------------------------
TCheckListBox::TCheckListBox(TComponent *owner) : TCustomListBox(owner) {}

void TCheckListBox::SetChecked(int index, bool checked) { items_->SetChecked(index, checked); }

void TCheckListBox::Toggle(int index) {
  if (index < 0 || index >= Count() || !Enabled()) return;
  items_->SetChecked(index, !items_->Checked(index));
  if (OnClickCheck && !Destroying()) OnClickCheck(this);
}

void TCheckListBox::DrawItem(int index, const TRect &rect, TOwnerDrawState state) {
  TCanvas *canvas = Canvas();
  int top = rect.Top + (rect.Height() - kBoxSize) / 2;
  TRect box = Bounds(rect.Left + 2, top, kBoxSize, kBoxSize);
  TColor oldBrush = canvas->Brush()->Color();
  canvas->Brush()->SetColor(Enabled() ? clWindow : clBtnFace);
  canvas->FillRect(box);
  canvas->Brush()->SetColor(clGray);
  canvas->FrameRect(box);
  if (items_->Checked(index)) {
    // A tick of three-pixel-high strokes.
    canvas->Pen()->SetColor(clWindowText);
    canvas->Pen()->SetWidth(1);
    for (int k = 0; k < 3; ++k) {
      canvas->MoveTo(box.Left + 3, box.Top + 5 + k);
      canvas->LineTo(box.Left + 5, box.Top + 7 + k);
      canvas->LineTo(box.Left + 10, box.Top + 2 + k);
    }
  }
  canvas->Brush()->SetColor(oldBrush);
  TCustomListBox::DrawItem(index, rect, state);
}

void TCheckListBox::KeyDown(WORD &key, TShiftState shift) {
  if (key == VK_SPACE && ItemIndex() >= 0) {
    Toggle(ItemIndex());
    key = 0;
    return;
  }
  TCustomListBox::KeyDown(key, shift);
}

void TCheckListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomListBox::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  int index = ItemAtPos(Point(x, y), true);
  if (index >= 0 && x >= 2 && x < 2 + kBoxSize) Toggle(index);
}
