#include "trading/automationpages.h"

#include <algorithm>

#include "platform/gdi.h"
#include "platform/winuser.h"
#include "trading/formparts.h"

namespace {

constexpr COLORREF kPagesOddRow = RGB(245, 245, 245);
constexpr COLORREF kPagesActionBlue = RGB(0, 0, 255);

// Image 0 an active order (a green bar), image 1 a paused one (two red bars).
void PagesAddPausedImages(TImageList *list) {
  list->SetSize(16, 16);
  for (int paused = 0; paused < 2; ++paused) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    HBRUSH mask = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &all, mask);
    DeleteObject(mask);
    HBRUSH fill = CreateSolidBrush(paused ? RGB(208, 0, 0) : RGB(0, 160, 0));
    if (paused) {
      RECT left{4, 3, 7, 13}, right{9, 3, 12, 13};
      FillRect(dc, &left, fill);
      FillRect(dc, &right, fill);
    } else {
      RECT bar{3, 6, 13, 10};
      FillRect(dc, &bar, fill);
    }
    DeleteObject(fill);
    SelectObject(dc, old);
    DeleteDC(dc);
    list->AddMasked(bitmap, TColor(RGB(255, 0, 255)));
    DeleteObject(bitmap);
  }
}

void PagesColumns(TXPListView *list, std::initializer_list<std::pair<const char *, int>> columns) {
  for (const auto &c : columns) {
    TListColumn *column = list->Columns()->Add();
    column->SetCaption(c.first);
    column->SetWidth(c.second);
  }
}

}  // namespace

// ---- the check list ----

TCheckListPanel::TCheckListPanel(TComponent *owner, TAutomationCheckList &list) : TPanel(owner), list_(list) {
  SetBounds(0, 0, 640, 300);
  SetColor(clWhite);
  Label47 = PlaceControl<TLabel>(owner, this, 10, 8, 620, 32);
  Label47->AutoSize = false;
  Label47->WordWrap = true;
  Label47->SetCaption(
      "为防止误触发，请检查以下各项“止损止盈”及“条件单”。要删除其中某项，点击其右侧的“删除”即可。检查完毕请点击“确认”按钮。");
  XPListView5 = PlaceControl<TXPListView>(owner, this, 10, 44, 560, 220);
  XPListView5->RowSelect = true;
  XPListView5->ReadOnly = true;
  PagesColumns(XPListView5, {{"类型", 66}, {"合约", 60}, {"数量", 37}, {"触发条件", 284}, {"操作", 48}});
  XPListView5->Columns()->Items(kCheckColumnAction)->SetAlignment(taCenter);
  XPListView5->OnCustomDrawItem = [this](TCustomListView *, TListItem *item, TCustomDrawState state,
                                         bool &defaultDraw) {
    defaultDraw = false;
    DrawRow(item, state);
  };
  XPListView5->OnMouseDown = [this](TObject *, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbLeft) XPListView5MouseDown(x, y);
    if (button == mbRight) XPListView5ContextPopup(x, y);
  };
  checkMenu = new TPopupMenu(owner);
  for (const char *caption : {"删除    (&D)", "-", "全部删除(&A)"}) {
    auto *entry = new TMenuItem(owner);
    entry->Caption = caption;
    checkMenu->Items()->Add(entry);
  }
  checkMenu->Items()->Items(0)->OnClick = [this](TObject *) { DeleteSelected(); };
  checkMenu->Items()->Items(2)->OnClick = [this](TObject *) { XPButton51Click(); };
  XPListView5->OnSelectItem = [this](TObject *, TListItem *item, bool selected) {
    if (selected && item) list_.SelectRow(item->Index());
  };
  XPButton50 = ActionButton(owner, this, 578, 44, 56, "确认", [this] {
    if (confirm) confirm();
  });
  XPButton51 = ActionButton(owner, this, 578, 74, 56, "全部删除", [this] { XPButton51Click(); });
  XPButton52 = ActionButton(owner, this, 578, 104, 56, "退出", [this] {
    if (exit) exit();
  });
}

void TCheckListPanel::ShowRows() {
  TListItems *items = XPListView5->Items();
  items->BeginUpdate();
  items->Clear();
  for (const TCheckListRow &row : list_.rows) {
    TListItem *item = items->Add();
    item->SetCaption(row.cells[0]);
    for (int c = 1; c < kCheckColumns; ++c) item->SubItems()->Add(row.cells[size_t(c)]);
  }
  items->EndUpdate();
}

void TCheckListPanel::DrawRow(TListItem *item, TCustomDrawState state) {
  TCanvas *canvas = XPListView5->Canvas();
  const int index = item->Index();
  const TRect bounds = item->DisplayRect(LVIR_BOUNDS);
  const bool focused = XPListView5->HandleAllocated() && XPListView5->Focused();
  const bool selected = (state & cdsSelected) != 0;
  TColor background = TColor(index % 2 ? kPagesOddRow : RGB(255, 255, 255));
  TColor ink = XPListView5->Font()->Color();
  if (selected) {
    background = focused ? clHighlight : clBtnFace;
    ink = focused ? clHighlightText : clWindowText;
  }
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(background);
  canvas->FillRect(Rect(0, bounds.Top, XPListView5->ClientWidth(), bounds.Bottom));
  if (item->Caption().empty()) return;  // a separator
  int left = bounds.Left;
  for (int c = 0; c < XPListView5->Columns()->Count(); ++c) {
    TListColumn *column = XPListView5->Columns()->Items(c);
    const TRect cell = Rect(left, bounds.Top, left + column->Width(), bounds.Bottom);
    left += column->Width();
    const std::string text = c == 0 ? item->Caption()
                                    : (c - 1 < item->SubItems()->Count() ? item->SubItems()->Get(c - 1) : "");
    canvas->Font()->Assign(XPListView5->Font());
    canvas->Font()->SetColor(c == kCheckColumnAction && !(selected && focused) ? TColor(kPagesActionBlue) : ink);
    canvas->Brush()->SetStyle(bsClear);
    if (c == kCheckColumnAction && text == "-") {
      canvas->Font()->SetStyle(fsUnderline);
      const int x = cell.Left + (cell.Width() - 24) / 2;
      canvas->TextOut(x, cell.Top + 4, "删");
      canvas->TextOut(x + 12, cell.Top + 4, "除");
    } else {
      TRect inner = Rect(cell.Left + 6, cell.Top, cell.Right - 6, cell.Bottom);
      UINT align = column->Alignment() == taCenter ? DT_CENTER : column->Alignment() == taRightJustify ? DT_RIGHT : DT_LEFT;
      if (inner.Width() > 0)
        canvas->DrawText(text, inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | align);
    }
    canvas->Brush()->SetStyle(bsSolid);
  }
}

void TCheckListPanel::XPListView5MouseDown(int x, int y) {
  TListItem *item = XPListView5->GetItemAt(x, y);
  if (!item) return;
  const int row = item->Index();
  if (row < 0 || size_t(row) >= list_.rows.size() || list_.rows[size_t(row)].key.kind == kCheckSeparator) return;
  int left = -XPListView5->ScrollX();
  for (int c = 0; c < kCheckColumnAction; ++c) left += XPListView5->Columns()->Items(c)->Width();
  const int right = left + XPListView5->Columns()->Items(kCheckColumnAction)->Width();
  if (x < left || x >= right) return;
  const int lastVisible = std::max(0, XPListView5->TopIndex() + XPListView5->VisibleRowCount() - 1);
  if (!list_.DeleteRow(row)) return;
  ShowRows();
  const int count = XPListView5->Items()->Count();
  if (count > 0) XPListView5->Items()->Item(std::min(lastVisible, count - 1))->MakeVisible();
}

void TCheckListPanel::XPListView5ContextPopup(int x, int y) {
  TListItem *item = XPListView5->GetItemAt(x, y);
  if (!item || !item->Selected()) return;
  const int row = item->Index();
  if (row < 0 || size_t(row) >= list_.rows.size() || list_.rows[size_t(row)].key.kind == kCheckSeparator) return;
  POINT at{x, y};
  ::ClientToScreen(XPListView5->Handle(), &at);
  checkMenu->Popup(at.x, at.y);
}

void TCheckListPanel::DeleteSelected() {
  const int row = XPListView5->ItemIndex();
  const int lastVisible = std::max(0, XPListView5->TopIndex() + XPListView5->VisibleRowCount() - 1);
  if (!list_.DeleteRow(row)) return;
  ShowRows();
  const int count = XPListView5->Items()->Count();
  if (count > 0) XPListView5->Items()->Item(std::min(lastVisible, count - 1))->MakeVisible();
}

void TCheckListPanel::XPButton51Click() {
  list_.DeleteAll();
  ShowRows();
}

// ---- the condition-order page ----

TConditionPagePanel::TConditionPagePanel(TComponent *owner, TConditionPage &page) : TPanel(owner), page_(page) {
  SetBounds(0, 0, 1040, 260);
  XPTabControl4 = PlaceControl<TXPTabControl>(owner, this, 0, 0, 1040, 260);
  XPTabControl4->Tabs()->Add(" 条件单 ");
  XPTabControl4->Tabs()->Add("已触发的条件单");
  XPTabControl4->SetTabIndex(0);
  XPTabControl4->OnChange = [this](TObject *) { XPTabControl4Change(); };
  PanelConditionOrder = PlaceControl<TPanel>(owner, XPTabControl4, 5, 26, 1030, 232);
  XPButtonCOPause = ActionButton(owner, PanelConditionOrder, 1, 2, 66, "暂停", [this] {
    ReadSelection();
    page_.TogglePause();
    ShowRows();
  });
  Button6 = ActionButton(owner, PanelConditionOrder, 73, 2, 66, "修改", [this] {
    ReadSelection();
    page_.Modify();
    ShowRows();
  });
  Button5 = ActionButton(owner, PanelConditionOrder, 145, 2, 72, "删除", [this] {
    ReadSelection();
    page_.Delete();
    ShowRows();
  });
  XPButton29 = ActionButton(owner, PanelConditionOrder, 223, 2, 72, "立即下单", [this] {
    ReadSelection();
    page_.FireSelected();
    ShowRows();
  });
  XPListViewConditionOrder = PlaceControl<TXPListView>(owner, PanelConditionOrder, 3, 28, 1024, 202);
  XPListViewConditionOrder->RowSelect = true;
  XPListViewConditionOrder->ReadOnly = true;
  XPListViewConditionOrder->HideSelection = false;
  pausedImages = new TImageList(owner);
  PagesAddPausedImages(pausedImages);
  XPListViewConditionOrder->SetSmallImages(pausedImages);
  PagesColumns(XPListViewConditionOrder, {{"状态", 60}, {"条件", 206}, {"下单价格", 156}, {"下单数量", 100},
                                          {"止损 / 浮动 / 止盈", 162}, {"自动撤单", 60}, {"重新下单", 60},
                                          {"有效期", 60}});
  XPListViewConditionOrder->OnSelectItem = [this](TObject *, TListItem *item, bool selected) {
    ReadSelection();
    page_.SelectionChanged(selected && item ? item->Index() : -1);
    XPButtonCOPause->SetCaption(page_.PauseCaption());
  };
  OnResize = [this](TObject *) { XPTabControl4Resize(); };
}

void TConditionPagePanel::XPTabControl4Change() {
  const int tab = XPTabControl4->TabIndex();
  page_.Fill(tab);
  const bool active = tab == 0;
  XPButtonCOPause->SetVisible(active);
  Button6->SetVisible(active);
  XPButton29->SetVisible(active);
  Button5->SetCaption(active ? "删除" : "全部删除");
  Button5->SetLeft(active ? 145 : 1);
  TListColumns *columns = XPListViewConditionOrder->Columns();
  columns->Items(0)->SetCaption(active ? "状态" : "触发时间");
  columns->Items(0)->SetWidth(active ? 60 : 132);
  columns->Items(1)->SetWidth(active ? 206 : 210);
  columns->Items(4)->SetWidth(active ? 162 : 168);
  columns->Items(7)->SetCaption(active ? "有效期" : "触发方式");
  ShowRows();
}

void TConditionPagePanel::XPTabControl4Resize() {
  XPTabControl4->SetBounds(0, 0, Width(), Height());
  PanelConditionOrder->SetBounds(5, 26, std::max(0, XPTabControl4->Width() - 10),
                                 std::max(0, XPTabControl4->Height() - 28));
  XPListViewConditionOrder->SetBounds(3, 28, std::max(0, PanelConditionOrder->Width() - 6),
                                      std::max(0, PanelConditionOrder->Height() - 30));
}

void TConditionPagePanel::ReadSelection() {
  page_.selected.clear();
  TListItems *items = XPListViewConditionOrder->Items();
  for (int i = 0; i < items->Count(); ++i)
    if (items->Item(i)->Selected()) page_.selected.push_back(i);
}

void TConditionPagePanel::ShowRows() {
  TListItems *items = XPListViewConditionOrder->Items();
  items->BeginUpdate();
  items->Clear();
  for (const TConditionPageRow &row : page_.rows) {
    TListItem *item = items->Add();
    item->SetCaption(row.cells[0]);
    item->ImageIndex = page_.tab == 0 ? (row.paused ? 1 : 0) : -1;
    for (int c = 1; c < kConditionPageColumns; ++c) item->SubItems()->Add(row.cells[size_t(c)]);
  }
  for (int r : page_.selected)
    if (r >= 0 && r < items->Count()) items->Item(r)->SetSelected(true);
  items->EndUpdate();
  XPButtonCOPause->SetCaption(page_.PauseCaption());
}
