#include "trading/listforms.h"

#include <algorithm>
#include <string>

#include "platform/gdi.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/formparts.h"
#include "trading/listcommands.h"
#include "trading/listrows.h"
#include "trading/positions.h"
#include "trading/tradedesk.h"

namespace {

UINT ListFormAlignFlags(TAlignment alignment) {
  return alignment == taRightJustify ? DT_RIGHT : alignment == taCenter ? DT_CENTER : DT_LEFT;
}

TXPPushRadioButton *ListFormTab(TComponent *owner, TWinControl *parent, const char *caption) {
  auto *tab = PlaceControl<TXPPushRadioButton>(owner, parent, 0, 0, kTabColumnWidth, 40);
  tab->SetCaption(caption);
  return tab;
}

void ListFormPlace(TControl *control, const TPaneBox &box) {
  control->SetVisible(box.shown);
  if (box.shown) control->SetBounds(box.left, box.top, box.width, box.height);
}

}  // namespace

TListAreaForm::TListAreaForm(TComponent *owner, TTradingDesk &desk, TTradeDispatcher &dispatch,
                             TListCommands &commands)
    : TForm(owner), desk_(desk), dispatch_(dispatch), commands_(commands) {
  SetClientSize(900, 420);
  OwnerDrawPanel3 = PlaceControl<TPanel>(this, this, 0, 0, 900, 200);
  OwnerDrawPanel2 = PlaceControl<TPanel>(this, this, 0, 203, 900, 200);
  Panel14 = PlaceControl<TPanel>(this, this, 0, 0, 900, 420);
  Splitter3 = PlaceControl<TSplitter>(this, this, 0, 200, 900, 3);
  for (TPanel *pane : {OwnerDrawPanel3, OwnerDrawPanel2, Panel14}) {
    pane->SetBevelOuter(bvNone);
    pane->SetColor(clWhite);
  }
  Splitter3->OnMoved = [this](TObject *) { Splitter3Moved(); };

  // ---- positions ----
  XPPushRadioButton1 = ListFormTab(this, OwnerDrawPanel3, "持仓");
  XPPushRadioButton2 = ListFormTab(this, OwnerDrawPanel3, "套利");
  XPPushRadioButton1->SetChecked(true);
  Panel16 = PlaceControl<TPanel>(this, OwnerDrawPanel3, kTabColumnWidth, 0, 870, 200);
  Panel16->SetBevelOuter(bvNone);
  XPListView3 = MakeList(Panel16, TListKind::Positions,
                         {{"合约", 50}, {"方向", 37}, {"属性", 37}, {"持仓", 42}, {"可用", 42}, {"开仓均价", 60},
                          {"持仓均价", 0}, {"浮动盈亏", 90}, {"持仓盈亏", 0}, {"止损/数量", 84},
                          {"止盈/数量", 84}, {"投保", 37}});
  const auto rows = [](TXPListView *view) { return SelectedRows(view); };
  XPButton21 = ActionButton(this, Panel16, 0, 0, 60, "刷新", [this] { dispatch_.XPButton4Click(true); });
  XPButton22 = ActionButton(this, Panel16, 64, 0, 60, "快捷平仓", [this, rows] {
    commands_.OnPositionCloseClick(rows(XPListView3), XPPushRadioButton1->Checked());
  });
  XPButton23 = ActionButton(this, Panel16, 128, 0, 60, "快捷反手",
                            [this, rows] { commands_.OnPositionReverseClick(rows(XPListView3)); });
  XPButton24 = ActionButton(this, Panel16, 192, 0, 60, "快捷锁仓",
                            [this, rows] { commands_.OnPositionLockClick(rows(XPListView3)); });
  XPButton31 = ActionButton(this, Panel16, 256, 0, 60, "止损止盈", [this] {
    const int row = XPListView3->ItemIndex();
    if (row >= 0 && commands_.setStopOrderForPosition) commands_.setStopOrderForPosition(row);
  });
  XPButton60 = ActionButton(this, Panel16, 320, 0, 60, "全部平仓", [this] { commands_.XPButton60Click(); });
  for (TXPPushRadioButton *tab : {XPPushRadioButton1, XPPushRadioButton2}) {
    tab->OnDrawCaption = [this](TObject *sender, HDC dc, RECT &rect) { TabCaption(sender, dc, rect); };
    tab->OnClick = [this](TObject *) {
      Panel16Resize();
      ShowPositions();
    };
  }
  OwnerDrawPanel3->OnResize = [this](TObject *) {
    const TTabColumn tabs = PositionTabColumn(OwnerDrawPanel3->ClientWidth(), OwnerDrawPanel3->ClientHeight(),
                                              desk_.Data().options.Layout == kLayoutArbitrage);
    ListFormPlace(XPPushRadioButton1, tabs.upper);
    ListFormPlace(XPPushRadioButton2, tabs.lower);
    ListFormPlace(Panel16, tabs.list);
  };
  Panel16->OnResize = [this](TObject *) { Panel16Resize(); };

  // ---- orders ----
  XPPushRadioButton4 = ListFormTab(this, OwnerDrawPanel2, "全部");
  XPPushRadioButton3 = ListFormTab(this, OwnerDrawPanel2, "可撤");
  XPPushRadioButton4->SetChecked(true);
  Panel8 = PlaceControl<TPanel>(this, OwnerDrawPanel2, kTabColumnWidth, 0, 870, 200);
  Panel8->SetBevelOuter(bvNone);
  XPListView1 = MakeList(Panel8, TListKind::Orders,
                         {{"委托时间", 61}, {"合约", 50}, {"买卖", 37}, {"开平", 37}, {"委托价格", 60}, {"委手", 42},
                          {"成手", 42}, {"成交均价", 0}, {"状态", 120}, {"撤单时间", 0}, {"备注", 97},
                          {"投保", 37}, {"委托号", 72}});
  XPButton4 = ActionButton(this, Panel8, 0, 0, 60, "刷新", [this] { dispatch_.XPButton4Click(true); });
  XPButton1 = ActionButton(this, Panel8, 64, 0, 60, "撤单",
                           [this, rows] { commands_.OnOrderCancelClick(rows(XPListView1)); });
  XPButton3 = ActionButton(this, Panel8, 128, 0, 60, "全部撤单", [this] { commands_.OnOrderCancelAllClick(); });
  XPButton30 = ActionButton(this, Panel8, 192, 0, 60, "改单",
                            [this] { commands_.XPButton30Click(XPListView1->ItemIndex()); });
  XPButton40 = ActionButton(this, Panel8, 256, 0, 60, "快捷平仓",
                            [this, rows] { commands_.XPButton40Click(rows(XPListView1)); });
  XPButton26 = ActionButton(this, Panel8, 320, 0, 60, "快捷反手",
                            [this, rows] { commands_.XPButton26Click(rows(XPListView1)); });
  XPButton41 = ActionButton(this, Panel8, 384, 0, 60, "快捷锁仓",
                            [this, rows] { commands_.XPButton41Click(rows(XPListView1)); });
  for (TXPPushRadioButton *tab : {XPPushRadioButton3, XPPushRadioButton4}) {
    tab->OnDrawCaption = [this](TObject *sender, HDC dc, RECT &rect) { TabCaption(sender, dc, rect); };
    tab->OnClick = [this](TObject *) {
      dispatch_.book.lists.cancellableOnly = XPPushRadioButton3->Checked();
      OnOrderRadioClick(dispatch_.book, desk_.Data(), desk_.pageState, desk_.orderTag);
      ShowOrders();
    };
  }
  OwnerDrawPanel2->OnResize = [this](TObject *) {
    const TTabColumn tabs = OrderTabColumn(OwnerDrawPanel2->ClientWidth(), OwnerDrawPanel2->ClientHeight(), true);
    ListFormPlace(XPPushRadioButton4, tabs.upper);
    ListFormPlace(XPPushRadioButton3, tabs.lower);
    ListFormPlace(Panel8, tabs.list);
  };
  Panel8->OnResize = [this](TObject *) { Panel8Resize(); };

  // ---- trades ----
  XPRadioButton3 = PlaceControl<TXPRadioButton>(this, Panel14, 4, 4, 80, 18);
  XPRadioButton4 = PlaceControl<TXPRadioButton>(this, Panel14, 88, 4, 90, 18);
  XPRadioButton5 = PlaceControl<TXPRadioButton>(this, Panel14, 182, 4, 90, 18);
  XPRadioButton3->SetCaption("成交明细");
  XPRadioButton4->SetCaption("按委托汇总");
  XPRadioButton5->SetCaption("按合约汇总");
  XPRadioButton3->SetChecked(true);
  for (TXPRadioButton *mode : {XPRadioButton3, XPRadioButton4, XPRadioButton5})
    mode->OnClick = [this](TObject *) {
      dispatch_.book.lists.tradeMode = XPRadioButton4->Checked()   ? TTradeListMode::ByOrder
                                       : XPRadioButton5->Checked() ? TTradeListMode::ByContract
                                                                   : TTradeListMode::Detail;
      OnTradeRadioClick(dispatch_.book, desk_.Data());
      ShowTrades();
    };
  XPButton20 = ActionButton(this, Panel14, 280, 1, 60, "刷新", [this] { dispatch_.XPButton4Click(true); });
  Label15 = PlaceControl<TLabel>(this, Panel14, 4, 28, 600, 16);
  Label15->SetVisible(false);
  XPListView2 = MakeList(Panel14, TListKind::Trades,
                         {{"成交时间", 61}, {"合约", 50}, {"买卖", 37}, {"开平", 37}, {"成交价格", 60}, {"手数", 42},
                          {"投保", 37}, {"委托号", 72}});
  Panel14->OnResize = [this](TObject *) { Panel14Resize(); };

  // ---- rows ----
  XPListView1->OnSelectItem = [this](TObject *, TListItem *item, bool selected) {
    if (selected && item) commands_.XPListView1SelectItem(item->Index());
  };
  XPListView2->OnSelectItem = [this](TObject *, TListItem *item, bool selected) {
    if (selected && item) commands_.XPListView2SelectItem(item->Index());
  };
  XPListView3->OnSelectItem = [this](TObject *, TListItem *item, bool selected) {
    if (selected && item) commands_.XPListView3SelectItem(item->Index(), XPPushRadioButton1->Checked());
  };
  XPListView1->OnLButtonDblClk = [this](int32_t x, int32_t y) {
    if (TListItem *item = XPListView1->GetItemAt(x, y)) commands_.XPListView1LButtonDblClk(item->Index());
  };
  XPListView3->OnLButtonDblClk = [this](int32_t x, int32_t y) {
    if (TListItem *item = XPListView3->GetItemAt(x, y)) commands_.XPListView3LButtonDblClk(item->Index());
  };
  const auto menuAt = [this](TXPListView *view, TListKind kind, int x, int y) {
    TPopupMenu *menu = BuildMenu(kind);
    const TPoint at = view->ClientToScreen(TPoint{x, y});
    menu->Popup(at.x, at.y);
  };
  XPListView3->OnMouseDown = [this, menuAt](TObject *, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbRight) {
      menuAt(XPListView3, TListKind::Positions, x, y);
      return;
    }
    if (button != mbLeft) return;
    TListItem *item = XPListView3->GetItemAt(x, y);
    if (!item) return;
    std::vector<int> widths;
    for (int c = 0; c < XPListView3->Columns()->Count(); ++c) widths.push_back(XPListView3->Columns()->Items(c)->Width());
    commands_.XPListView3MouseDown(item->Index(), x, XPListView3->ScrollX(), widths);
  };
  XPListView1->OnMouseDown = [this, menuAt](TObject *, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbRight) menuAt(XPListView1, TListKind::Orders, x, y);
  };
}

TXPListView *TListAreaForm::MakeList(TWinControl *parent, TListKind kind,
                                     std::initializer_list<std::pair<const char *, int>> columns) {
  auto *view = PlaceControl<TXPListView>(this, parent, 0, 24, 600, 160);
  view->ViewStyle = vsReport;
  view->RowSelect = true;
  view->ReadOnly = true;
  view->MultiSelect = true;
  view->HideSelection = false;
  view->Font()->SetName("宋体");
  view->Font()->SetHeight(-12);
  for (const auto &[caption, width] : columns) {
    TListColumn *column = view->Columns()->Add();
    column->SetCaption(caption);
    column->SetWidth(width);
  }
  view->OnCustomDrawItem = [kind](TCustomListView *sender, TListItem *item, TCustomDrawState state, bool &defaultDraw) {
    defaultDraw = false;
    DrawListRow(kind, sender, item, state);
  };
  return view;
}

void TListAreaForm::DrawListRow(TListKind list, TCustomListView *view, TListItem *item, TCustomDrawState state) {
  TCanvas *canvas = view->Canvas();
  const bool selected = (state & cdsSelected) != 0;
  const bool focused = view->HandleAllocated() && view->Focused();
  const TRect row = item->DisplayRect(LVIR_BOUNDS);
  const COLORREF background = ListRowBackground(item->Index(), selected, focused);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(TColor(background));
  canvas->FillRect(row);
  int x = row.Left;
  for (int c = 0; c < view->Columns()->Count(); ++c) {
    TListColumn *column = view->Columns()->Items(c);
    const TRect cell = Rect(x, row.Top, x + column->Width(), row.Bottom);
    x += column->Width();
    if (cell.Width() <= 0) continue;
    canvas->Brush()->SetColor(TColor(background));
    canvas->FillRect(cell);
    const std::string text =
        c == 0 ? item->Caption() : (c - 1 < item->SubItems()->Count() ? item->SubItems()->Get(c - 1) : std::string());
    TRect inner = Rect(cell.Left + kCellInset, cell.Top, cell.Right - kCellInset, cell.Bottom);
    if (c == 0 && view->SmallImages()) inner.Left = item->DisplayRect(LVIR_LABEL).Left + kCellInset;
    if (text.empty() || inner.Width() <= 0) continue;
    canvas->Font()->Assign(view->Font());
    canvas->Font()->SetColor(
        TColor(ListCellTextColour(list, c, text.c_str(), selected, focused, COLORREF(view->Font()->Color()))));
    canvas->Brush()->SetStyle(bsClear);
    canvas->DrawText(text, inner,
                     DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | ListFormAlignFlags(column->Alignment()));
    canvas->Brush()->SetStyle(bsSolid);
  }
  if (state & cdsFocused) canvas->DrawFocusRect(row);
}

void TListAreaForm::TabCaption(TObject *sender, HDC dc, RECT &rect) {
  auto *tab = static_cast<TXPPushRadioButton *>(sender);
  const std::string caption = tab->Caption();
  const TTabCaption at = TabCaptionPlacement(rect, tab->Checked());
  HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, at.colour);
  // One character (two bytes) per line.
  if (caption.size() >= 2) TextOutA(dc, at.first.x, at.first.y, caption.c_str(), 2);
  if (caption.size() >= 4) TextOutA(dc, at.second.x, at.second.y, caption.c_str() + 2, 2);
  SelectObject(dc, old);
  DeleteObject(font);
}

void TListAreaForm::Panel4Resize() {
  const TradingOptions &o = desk_.Data().options;
  TListAreaOptions options;
  options.left = o.Left;
  options.layOut1 = o.LayOut1;
  options.layOut2 = o.LayOut2;
  options.pPercent = o.PPercent;
  options.pPercentWidth = o.PPercentWidth;
  const TListArea area = ::Panel4Resize(desk_.pageState, ClientWidth(), ClientHeight(), options);
  if (!area.changed) return;
  ListFormPlace(OwnerDrawPanel3, area.panes[kPanePositions]);
  ListFormPlace(OwnerDrawPanel2, area.panes[kPaneOrders]);
  ListFormPlace(Panel14, area.panes[kPaneTrades]);
  ListFormPlace(Splitter3, area.splitter);
  Splitter3->MinSize = area.splitterMinSize > 0 ? area.splitterMinSize : Splitter3->MinSize;
}

void TListAreaForm::Splitter3Moved() {
  TradingOptions &o = desk_.Data().options;
  ::Splitter3Moved(o.Left, OwnerDrawPanel3->Width(), OwnerDrawPanel3->Height(), ClientWidth(), ClientHeight(),
                   o.PPercent, o.PPercentWidth);
}

void TListAreaForm::Panel14Resize() {
  const int w = Panel14->ClientWidth(), h = Panel14->ClientHeight();
  const int top = Label15->Visible() ? 46 : 27;
  XPListView2->SetBounds(0, top, w, h - top);
}

void TListAreaForm::Panel16Resize() {
  const int w = Panel16->ClientWidth(), h = Panel16->ClientHeight();
  XPListView3->SetBounds(0, 24, w, h - 24);
  const bool holdings = XPPushRadioButton1->Checked();
  XPButton21->SetVisible(true);
  XPButton22->SetVisible(true);
  for (TXPButton *b : {XPButton23, XPButton24, XPButton31}) b->SetVisible(holdings);
}

void TListAreaForm::Panel8Resize() {
  XPListView1->SetBounds(0, 24, Panel8->ClientWidth(), Panel8->ClientHeight() - 24);
}

void TListAreaForm::Fill(TXPListView *view, const TListModel &model) {
  TListItems *items = view->Items();
  // The rows the user selected stay selected: they are found again by
  // their records.
  std::vector<void *> selected;
  for (int i = 0; i < items->Count(); ++i)
    if (items->Item(i)->Selected()) selected.push_back(items->Item(i)->Data);
  // Refilling is not the user's selection: no contract goes to the panel.
  const TLVSelectItemEvent onSelect = view->OnSelectItem;
  view->OnSelectItem = nullptr;
  items->BeginUpdate();
  items->Clear();
  for (const TListRow &row : model.rows) {
    TListItem *item = items->Add();
    item->SetCaption(row.caption);
    for (const std::string &text : row.items) item->SubItems()->Add(text);
    item->Data = reinterpret_cast<void *>(intptr_t(view == XPListView3 ? items->Count() - 1 : row.data));
  }
  items->EndUpdate();
  for (int i = 0; i < items->Count(); ++i)
    for (void *data : selected)
      if (items->Item(i)->Data == data) items->Item(i)->SetSelected(true);
  view->OnSelectItem = onSelect;
}

void TListAreaForm::ShowAll() {
  ShowOrders();
  ShowTrades();
  ShowPositions();
}

void TListAreaForm::ShowOrders() { Fill(XPListView1, dispatch_.book.lists.orderRows); }
void TListAreaForm::ShowTrades() {
  const TTradeListsState &lists = dispatch_.book.lists;
  Label15->SetCaption(lists.tradeWarning);
  Label15->Font()->SetColor(TColor(lists.tradeWarningColour));
  Label15->SetVisible(lists.tradeWarningShown);
  Panel14Resize();
  Fill(XPListView2, lists.tradeRows);
}
void TListAreaForm::ShowPositions() { Fill(XPListView3, dispatch_.positionBook.rows); }

void TListAreaForm::ShowPositionProfits() {
  const TListModel &model = dispatch_.positionBook.rows;
  TListItems *items = XPListView3->Items();
  const int n = std::min(items->Count(), int(model.rows.size()));
  bool changed = false;
  for (int i = 0; i < n; ++i) {
    const std::vector<std::string> &cells = model.rows[size_t(i)].items;
    TStrings *shown = items->Item(i)->SubItems();
    for (int column : {kPosFloatProfit, kPosHoldingProfit}) {
      if (size_t(column) >= cells.size() || column >= shown->Count() || shown->Get(column) == cells[size_t(column)])
        continue;
      shown->Put(column, cells[size_t(column)]);
      changed = true;
    }
  }
  if (changed) XPListView3->Invalidate();
}

std::vector<int> TListAreaForm::SelectedRows(TCustomListView *view) {
  std::vector<int> rows;
  for (int i = 0; i < view->Items()->Count(); ++i)
    if (view->Items()->Item(i)->Selected()) rows.push_back(i);
  return rows;
}

TPopupMenu *TListAreaForm::BuildMenu(TListKind list) {
  delete menu_;
  menu_ = new TPopupMenu(this);
  const std::vector<TListMenuItem> items =
      list == TListKind::Positions ? PositionListMenu(XPPushRadioButton1->Checked()) : OrderListMenu();
  for (const TListMenuItem &entry : items) {
    auto *item = new TMenuItem(menu_);
    item->Caption = entry.text ? entry.text : "-";
    item->RadioItem = entry.radio;
    item->Checked = entry.checked;
    const TListCommand command = entry.command;
    item->OnClick = [this, command](TObject *) { RunMenuCommand(command); };
    menu_->Items()->Add(item);
  }
  return menu_;
}

void TListAreaForm::RunMenuCommand(TListCommand command) {
  using C = TListCommand;
  const std::vector<int> orders = SelectedRows(XPListView1), positions = SelectedRows(XPListView3);
  switch (command) {
    case C::RefreshOrders:
    case C::RefreshPositions: dispatch_.XPButton4Click(true); break;
    case C::CancelOrder: commands_.OnOrderCancelClick(orders); break;
    case C::CancelAllOrders: commands_.OnOrderCancelAllClick(); break;
    case C::ModifyOrder: commands_.XPButton30Click(XPListView1->ItemIndex()); break;
    case C::QuickClose: commands_.XPButton40Click(orders); break;
    case C::QuickReverse: commands_.XPButton26Click(orders); break;
    case C::QuickLock: commands_.XPButton41Click(orders); break;
    case C::PositionClose: commands_.OnPositionCloseClick(positions, XPPushRadioButton1->Checked()); break;
    case C::PositionReverse: commands_.OnPositionReverseClick(positions); break;
    case C::PositionLock: commands_.OnPositionLockClick(positions); break;
    case C::PositionStops:
      if (!positions.empty() && commands_.setStopOrderForPosition) commands_.setStopOrderForPosition(positions[0]);
      break;
    case C::ShowAllOrders:
    case C::ShowCancellableOrders:
      (command == C::ShowAllOrders ? XPPushRadioButton4 : XPPushRadioButton3)->SetChecked(true);
      dispatch_.book.lists.cancellableOnly = command == C::ShowCancellableOrders;
      OnOrderRadioClick(dispatch_.book, desk_.Data(), desk_.pageState, desk_.orderTag);
      ShowOrders();
      break;
    case C::None: break;
  }
}
