// The K-line view's menus (view menu, indicator menu, line menu) with their
// enabling rules and hot-key captions, the chart property command, the
// full reload, and the bar value grid that can replace the chart.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "charts/drawline.h"
#include "charts/lineproperty.h"
#include "charts/quotepanel.h"
#include "charts/techform.h"
#include "core/datetime.h"
#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

namespace {

std::string HotKey(int command) {
  char out[64] = {};
  uint32_t flags = 0;
  char keys[16] = {};
  if (ViewDisplay().hotKey && ViewDisplay().hotKey(command, &flags, keys)) FormatHotKeyText(flags, keys, out);
  return out;
}

std::string Defui() { return std::string(UserDataPath) + "defui.ini"; }

}  // namespace

std::function<bool(TTechForm &, KLinePropertyChoices &)> &KLinePropertyDialog() {
  static std::function<bool(TTechForm &, KLinePropertyChoices &)> dialog;
  return dialog;
}

// ---- Building the menus ------------------------------------------------------------------------

void TTechForm::BuildInteractionMenus() {
  auto item = [this](const char *caption, TNotifyEvent click = nullptr) {
    auto *it = new TMenuItem(this);
    it->Caption = caption;
    it->OnClick = std::move(click);
    return it;
  };
  TMenuItem *root = PopupMenu1->Items();
  // The K-line items before "技术分析(&R)".
  N29 = item("商品叠加      Ctrl+O", [this](TObject *s) { N29Click(s); });
  D1 = item("叠加坐标(&D)");
  R1 = item("相对坐标(&R)", [this](TObject *s) { R1Click(s); });
  R2 = item("绝对坐标(&A)", [this](TObject *s) { R1Click(s); });
  R1->Tag = 0;
  R2->Tag = 1;
  for (TMenuItem *m : {R1, R2}) {
    m->RadioItem = true;
    m->GroupIndex = 4;
    D1->Add(m);
  }
  R1->Checked = true;
  N20 = item("套利分析      Ctrl+A", [this](TObject *s) { N20Click(s); });
  NZoneStat = item("区间统计(&Q)", [this](TObject *s) { NZoneStatClick(s); });
  NLine = item("画线工具      Alt+F12", [this](TObject *s) { NLineClick(s); });
  for (TMenuItem *m : {N29, D1, N20, NZoneStat, NLine}) root->Insert(Nanaly->MenuIndex(), m);
  root->Insert(N1->MenuIndex(), item("-"));
  // The analysis submenu in its order.
  for (TMenuItem *m : {N3, C1, N36, EraseIdx, R3, N30}) Nanaly->Remove(m);
  for (TMenuItem *m : {V1, P1, L1}) {
    m->RadioItem = true;
    m->GroupIndex = 5;
    m->OnClick = [this](TObject *s) { V1Click(s); };
  }
  V1->Tag = 0;
  P1->Tag = 1;
  L1->Tag = 2;
  L1->Visible = false;
  N36->Caption = "坐标反转(&E)";
  N36->OnClick = [this](TObject *s) { N36Click(s); };
  N37->Caption = "启用          Ctrl+R";
  N37->OnClick = [this](TObject *s) { N37Click(s); };
  N39->Caption = "反转副图(&S)";
  N39->OnClick = [this](TObject *s) { N39Click(s); };
  N39->Checked = KLineChartSettings().reverseSub != 0;
  for (TMenuItem *m : {C1, N36, item("-"), EraseIdx, N3, R3, item("-"), N30}) Nanaly->Add(m);
  N15 = item("-");
  Nanaly->Add(N15);
  NProperty->OnClick = [this](TObject *s) { NPropertyClick(s); };
  // The base view's intraday-only pictures are not offered here.
  Keckfm->Visible = false;
  Barfm->Visible = false;
  PopupMenu1->OnPopup = [this](TObject *s) { TechPopupMenu1Popup(s); };

  DelPopMenu = new TPopupMenu(this);
  DelPopMenu->AutoPopup = false;
  DelLine = item("删除画线(&E)", [this](TObject *s) { DelLineClick(s); });
  DelLine->Tag = -1;
  A1 = item("全部删除(&A)", [this](TObject *s) { A1Click(s); });
  N35 = item("画线属性(&P)", [this](TObject *s) { N35Click(s); });
  for (TMenuItem *m : {DelLine, A1, item("-"), N35}) DelPopMenu->Items()->Add(m);
  PopupMenu2->Items()->Insert(1, item("-"));

  DrawGrid1 = new TDrawGrid(this);
  DrawGrid1->SetParent(this);
  DrawGrid1->SetAlign(alClient);
  DrawGrid1->SetColCount(7);
  DrawGrid1->SetDefaultColWidth(82);
  DrawGrid1->SetFixedCols(0);
  DrawGrid1->SetFixedRows(1);
  DrawGrid1->SetRowCount(2);
  DrawGrid1->SetColor(TColor(0));
  DrawGrid1->Font()->SetName("Tahoma");
  DrawGrid1->Font()->SetHeight(12);
  DrawGrid1->DefaultDrawing = false;
  DrawGrid1->SetOptions(goHorzLine | goColSizing | goRowSelect | goThumbTracking);
  DrawGrid1->PopupMenu = PopupMenu1;
  DrawGrid1->OnDrawCell = [this](TObject *s, int c, int r, TRect rect, TGridDrawState st) {
    DrawGrid1DrawCell(s, c, r, rect, st);
  };
  DrawGrid1->OnMouseDown = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) {
    DrawGrid1MouseDown(s, b, sh, x, y);
  };
  DrawGrid1->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_ESCAPE) HideBarGrid();
  };
  DrawGrid1->Hide();
}

// ---- Opening the menus ---------------------------------------------------------------------------

void TTechForm::FormContextPopup(int x, int y) {
  POINT screen{x, y};
  ::ClientToScreen(Handle(), &screen);
  for (uint32_t i = 0; i < lineCount; ++i) {
    if (!lines[i] || lines[i]->HitTest(POINT{x, y}) == -1) continue;
    DelLine->Tag = int(i);
    lastPopup = DelPopMenu;
    DelPopMenu->SetPopupComponent(this);
    DelPopMenu->Popup(screen.x, screen.y);
    return;
  }
  ShowContextMenu(screen.x, screen.y);
}

void TTechForm::ShowContextMenu(int x, int y) {
  bool selected = windows[0] && windows[0]->selected;
  if (!selected && overlays && !SpreadAnalysis())
    for (COverlappedStock *n = overlays; n && !selected; n = n->next) selected = n->indicator && n->indicator->selected;
  if (!selected && !overlays)
    for (CKvIndex *f = windows[0]; f && !selected; f = f->next) selected = f->selected;
  for (uint32_t i = 1; i < windowCount && !selected; ++i)
    for (CKvIndex *f = windows[i]; f && !selected; f = f->next) selected = f->selected;
  TPopupMenu *menu = selected ? PopupMenu2 : PopupMenu1;
  lastPopup = menu;
  menu->SetPopupComponent(this);
  menu->Popup(x, y);
}

void TTechForm::TechPopupMenu1Popup(TObject *sender) {
  const bool grid = DrawGrid1->Visible();
  Nanaly->Visible = !grid;
  N6->Visible = !grid;
  if (!grid)
    for (int p = 1; p < 15; ++p)
      if (PeriodItems[p]) PeriodItems[p]->Checked = p == m_attr.period;
  EraseIdx->Visible = false;
  for (uint32_t i = 0; i < windowCount; ++i) {
    CKvIndex *found = nullptr;
    for (CKvIndex *f = windows[i]; f && !found; f = f->next)
      if (f->selected) found = f;
    if (found) {
      EraseIdx->Visible = found != windows[0];
      break;
    }
  }
  const bool withFormulas = overlays && !SpreadAnalysis();
  D1->Visible = withFormulas;
  if (withFormulas) {
    R1->Checked = overlays->ownScale != 0;
    R2->Checked = !R1->Checked;
  }
  TLineToolBox *palette = MainFrameHost()->LinePalette();
  NLine->Checked = palette && palette->Visible();
  P1->Visible = !SpreadAnalysis();
  // The formula groups after the last separator.
  while (Nanaly->Count() > 0 && Nanaly->Items(Nanaly->Count() - 1) != N15) {
    TMenuItem *last = Nanaly->Items(Nanaly->Count() - 1);
    Nanaly->Remove(last);
    delete last;
  }
  CKvIndexManager &library = KvIndexManager();
  EnterCriticalSection(&library.lock);
  for (CKvIndexGroup *g = library.groups; g; g = g->next) {
    auto *group = new TMenuItem(this);
    group->Caption = std::string(g->name, strnlen(g->name, sizeof g->name));
    for (CKvIndex *f = g->first; f; f = f->next) {
      char text[160];
      std::snprintf(text, sizeof text, "%-16s%.111s", f->name, f->description);
      auto *it = new TMenuItem(this);
      it->Caption = text;
      it->OnClick = [this, it](TObject *) { RefreshIndex(it); };
      group->Add(it);
    }
    Nanaly->Add(group);
  }
  LeaveCriticalSection(&library.lock);
  TDrawView::PopupMenu1Popup(sender);
}

void TTechForm::UpdateMenuCaptions() {
  if (!N29) return TDrawView::UpdateMenuCaptions();
  struct Caption {
    TMenuItem *item;
    const char *format;
    int command;
  } captions[] = {
      {N29, "商品叠加      %s", 67},        {N20, "套利分析      %s", 68},
      {NLine, "画线工具      %s", 69},      {N37, "启用          %s", 73},
      {N30, "指标管理      %s", 72},        {PeriodItems[8], "日线      %s", 10},
      {PeriodItems[9], "周线      %s", 11},  {PeriodItems[10], "月线      %s", 12},
      {PeriodItems[11], "季线      %s", 13}, {PeriodItems[12], "任意天    %s", 15},
      {PeriodItems[1], "1分钟     %s", 2},   {PeriodItems[2], "3分钟     %s", 3},
      {PeriodItems[4], "5分钟     %s", 4},   {PeriodItems[5], "15分钟    %s", 5},
      {PeriodItems[6], "30分钟    %s", 6},   {PeriodItems[7], "60分钟    %s", 7},
      {PeriodItems[13], "120分钟   %s", 8},  {PeriodItems[14], "240分钟   %s", 9},
      {PeriodItems[3], "任意分    %s", 14},  {N27, "前复权      %s", 70},
      {N28, "后复权      %s", 71},
  };
  for (const Caption &c : captions) {
    if (!c.item) continue;
    char text[128];
    std::snprintf(text, sizeof text, c.format, HotKey(c.command).c_str());
    c.item->Caption = text;
  }
  TDrawView::UpdateMenuCaptions();
}

// ---- The line menu -------------------------------------------------------------------------------

void TTechForm::DelLineClick(TObject *) {
  const int index = int(DelLine->Tag);
  if (index < 0 || uint32_t(index) >= lineCount || !lines[index]) return;
  DeleteLineAt(uint32_t(index));
  lineEditState = 0;
  SaveLines();
  UpdateScreen(true);
  cursorMode = 0;
}

void TTechForm::A1Click(TObject *) {
  if (MessageBoxA(Handle(), "删除该品种当前周期上的所有自画线吗？  ", "确认",
                  MB_ICONQUESTION | MB_YESNO | MB_TOPMOST) != IDYES)
    return;
  for (TLine *&l : lines) {
    delete l;
    l = nullptr;
  }
  lineCount = editLine = lineEditState = 0;
  SaveLines();
  UpdateScreen(true);
  cursorMode = 0;
}

void TTechForm::N35Click(TObject *) {
  const int index = int(DelLine->Tag);
  if (index < 0 || uint32_t(index) >= lineCount || !lines[index] || timeCount == 0 || !barTimes) return;
  TLine *l = lines[index];
  TLinePropertyDlg dialog(stockInfo, this, l);
  MainFrameHost()->SetDialogOpen(true);
  const bool ok = dialog.ShowModal() == mrOk;
  MainFrameHost()->SetDialogOpen(false);
  if (!ok) return;
  l->colour = dialog.colour;
  uint32_t first = dialog.points[0].time, second = dialog.points[1].time;
  if (KLineDayPeriod(m_attr.period)) {
    first &= kPackedDateMask;
    second &= kPackedDateMask;
  }
  auto place = [&](LINEPOINT &a, uint32_t t, float price) {
    const uint32_t k = LowerBoundU32(barTimes, timeCount, t);
    a.time = barTimes[std::min(k, timeCount - 1)];
    a.price = price;
    l->DataToScreen(a);
  };
  if (l->anchorCount > 0) place(l->anchors[0], first, dialog.points[0].price);
  if (l->anchorCount > 1) place(l->anchors[1], second, dialog.points[1].price);
  SaveLines();
  UpdateScreen(true);
  cursorMode = 0;
}

// ---- View menu commands --------------------------------------------------------------------------

void TTechForm::N12Click(TObject *sender) {
  if (auto *item = static_cast<TMenuItem *>(sender)) SetPeriod(int(item->Tag));
}

void TTechForm::NLineClick(TObject *) {
  MainFrameHost()->LineButtonClick();
}

void TTechForm::V1Click(TObject *sender) {
  const auto *item = static_cast<TMenuItem *>(sender);
  const int tag = item ? int(item->Tag) : 0;
  V1->Checked = tag == 0;
  P1->Checked = tag == 1;
  L1->Checked = tag == 2;
  MainFrameHost()->CheckScaleItem(tag);
  Repaint();
}

void TTechForm::N37Click(TObject *) {
  N37->Checked = !N37->Checked;
  Repaint();
}

void TTechForm::N36Click(TObject *) { N39->Checked = KLineChartSettings().reverseSub != 0; }

void TTechForm::N39Click(TObject *) {
  KLineSettings &s = KLineChartSettings();
  s.reverseSub = s.reverseSub ? 0 : 1;
  N39->Checked = s.reverseSub != 0;
  WritePrivateProfileStringA("PARAMETER", "ReverseSub", s.reverseSub ? "1" : "0",
                             (std::string(UserDataPath) + "clrfont.INI").c_str());
  if (!N37->Checked && N39->Checked) {
    if (MessageBoxA(Handle(), "坐标反转尚未启用。是否现在启用？  ", "提示",
                    MB_ICONQUESTION | MB_YESNO | MB_TOPMOST) == IDYES)
      N37Click(nullptr);
  } else if (N37->Checked) {
    Repaint();
  }
}

void TTechForm::NPropertyClick(TObject *) {
  auto &dialog = KLinePropertyDialog();
  if (!dialog) return;
  KLinePropertyChoices c;
  const uint32_t flags = m_attr.displayFlags;
  c.showPanel = Panel1->Visible();
  c.panelLeft = Panel1->Align() == alLeft;
  c.showTradeLines = !(flags & 0x4000);
  c.todayMinutesOnly = GetPrivateProfileIntA("UI", "TodayMinOnly", 0, Defui().c_str()) != 0;
  c.noScale = flags & 0x20;
  c.scaleRight = flags & 0x40;
  c.detailsUpward = flags & 0x0001;
  c.enterCycles = !(flags & 0x0200);
  LoadMarketDetailItems(m_attr.stock.market, DetailItems());
  std::memcpy(c.items, DetailItems(), sizeof c.items);
  const TMarketData *m = MarketAt(m_attr.stock.market);
  if (m && (m->m_info.type == 1 || m->m_info.type == 6) && stockInfo && stockInfo->kind < kMaxStockKinds &&
      reinterpret_cast<const uint8_t *>(&m->m_info.kinds[stockInfo->kind])[7] != 0)
    c.itemsEnabled = false;
  MainFrameHost()->SetDialogOpen(true);
  const bool ok = dialog(*this, c);
  MainFrameHost()->SetDialogOpen(false);
  if (!ok) return;
  uint32_t &f = m_attr.displayFlags;
  const bool alignChanged = (Panel1->Align() == alLeft) != c.panelLeft;
  Panel1->SetAlign(c.panelLeft ? alLeft : alRight);
  f = c.panelLeft ? f | 0x4 : f & ~0x4u;
  const bool tradeChanged = ((f & 0x4000) != 0) != !c.showTradeLines;
  f = c.showTradeLines ? f & ~0x4000u : f | 0x4000;
  if (Panel1->Visible() != c.showPanel) TechN5Click(nullptr);
  else if (alignChanged) FormResize(this);
  const bool stored = GetPrivateProfileIntA("UI", "TodayMinOnly", 0, Defui().c_str()) != 0;
  if (stored != c.todayMinutesOnly) {
    WritePrivateProfileStringA("UI", "TodayMinOnly", c.todayMinutesOnly ? "1" : "0", Defui().c_str());
    if (HWND frame = MainFrameHost()->MainWindow()) SendMessageA(frame, WM_KLINE_PROPERTY_CHANGED, 0, 0);
  }
  const uint32_t before = f;
  f = c.noScale ? f | 0x20 : f & ~0x20u;
  f = c.scaleRight ? f | 0x40 : f & ~0x40u;
  if ((before ^ f) & 0x60) FormResize(this);
  if (std::memcmp(c.items, DetailItems(), sizeof c.items) != 0) {
    std::memcpy(DetailItems(), c.items, sizeof c.items);
    SaveMarketDetailItems(m_attr.stock.market, DetailItems());
    DrawQuotePanel();
  }
  if (((f & 0x1) != 0) != c.detailsUpward) {
    f ^= 0x1;
    LayoutDetailList(true);
    StringGrid1->Invalidate();
  }
  f = c.enterCycles ? f & ~0x200u : f | 0x200;
  if (tradeChanged) Repaint();
}

void TTechForm::ReloadAndRepaint() {
  Subscribe(1, true);
  LoadSeries(false, true, 2);
  RecalcIndicators(nullptr, false);
  Repaint();
  UpdateBarPanel();
}

// ---- The bar value grid --------------------------------------------------------------------------

void TTechForm::DrawGrid1DrawCell(TObject *, int column, int row, TRect cell, TGridDrawState state) {
  HDC dc = DrawGrid1->Canvas()->Handle();
  const int background = (state & gdSelected) ? 64 : row == 0 ? 34 : row % 2 == 0 ? 63 : 17;
  RECT r{cell.Left, cell.Top, cell.Right + 1, cell.Bottom};
  HBRUSH brush = CreateSolidBrush(ViewColor(background));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  SetBkMode(dc, TRANSPARENT);
  const RECT box{cell.Left, cell.Top, cell.Right, cell.Bottom};
  const TMarketData *m = MarketAt(m_attr.stock.market);
  const int type = m ? m->m_info.type : 0;
  const int align = column == 0 ? 0 : 2;
  if (row == 0) {
    static const char *const kHeaders[6] = {"时间", "开", "高", "低", "收", "成交量"};
    const char *text = column < 6 ? kHeaders[column] : type == 2 ? "持仓量" : type == 8 ? "订货量" : "成交额";
    SetTextColor(dc, ViewColor(22));
    DrawCellText(dc, box, text, align, 0);
    return;
  }
  // Rows past the bars (an instrument with fewer bars than the last one)
  // stay empty.
  const int b = row - 1;
  if (!bars || !stockInfo || b >= int(barCount)) return;
  const KLINEBAR &k = bars[b];
  char text[64] = {};
  COLORREF colour = ViewColor(31);
  const double divisor = double(stockInfo->PriceDivisor() ? stockInfo->PriceDivisor() : 1);
  if (column == 0) {
    uint32_t t = k.time;
    if (KLineDayPeriod(m_attr.period)) {
      std::snprintf(text, sizeof text, "%02u-%02u-%02u", PackedYear(t) % 100, PackedMonth(t), PackedDay(t));
    } else {
      MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, stockInfo->kind, &t);
      std::snprintf(text, sizeof text, "%02u-%02u %02u:%02u", PackedMonth(t), PackedDay(t), PackedHour(t),
                    PackedMinute(t));
    }
  } else if (column <= 4) {
    const uint32_t values[4] = {k.open, k.high, k.low, k.close};
    const uint32_t v = values[column - 1];
    char format[16];
    std::snprintf(format, sizeof format, "%%-8.%df", std::clamp(int(stockInfo->decimals), 0, 9));
    std::snprintf(text, sizeof text, format, double(v) / divisor);
    colour = ViewColor(20);
    if (b > 0) {
      const uint32_t previous = bars[b - 1].close;
      colour = ViewColor(v > previous ? 21 : v < previous ? 19 : 20);
    }
  } else if (column == 5) {
    std::snprintf(text, sizeof text, "%8.0f", double(k.volume) / double(stockInfo->VolumeUnit()));
  } else {
    if (type == 1 || type == 6) std::snprintf(text, sizeof text, "%8.2f", double(k.amount) * 0.0001);
    else std::snprintf(text, sizeof text, "%8.0f", double(k.amount));
  }
  SetTextColor(dc, colour);
  DrawCellText(dc, box, text, align, 0);
}

void TTechForm::DrawGrid1MouseDown(TObject *, TMouseButton button, TShiftState, int x, int y) {
  Activate();
  if (button != mbRight) return;
  POINT p{x, y};
  ::ClientToScreen(DrawGrid1->Handle(), &p);
  ShowContextMenu(p.x, p.y);
}
