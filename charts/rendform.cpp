#include "charts/rendform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "charts/intradaymarkets.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/datafile.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "views/reportcolumns.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"
#include "views/viewservices.h"

namespace {

TMultiViewChild *MakeIntraday(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                              EArray<VIEW_ATTR_13> *history, PaneNode *node, int) {
  VIEW_ATTR_13 r{};
  if (record)
    r = *record;
  else
    InitViewAttr(VIEW_TYPE_INTRADAY, &r);
  r.viewType = VIEW_TYPE_INTRADAY;
  return new TRendForm(page, &r, viewData, history, node);
}


bool IndexKind(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  if (!m || stock.stock >= m->m_loadedCount) return false;
  const int kind = StockKindOf(m, stock.stock);
  return kind >= 0 && kind < kMaxStockKinds && m->m_info.kinds[kind].noOrderBook;
}

// The page state shared by every intraday view's data refresh.
struct RefreshMemory {
  STKPTR stock = STKPTR();
  DWORD tick = 0;
};
RefreshMemory &LastRefresh() {
  static RefreshMemory memory;
  return memory;
}

}  // namespace

void RegisterIntradayView() { RegisterViewClass(VIEW_TYPE_INTRADAY, MakeIntraday); }

// ---- Construction ------------------------------------------------------------------------

TRendForm::TRendForm(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                     EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TDrawView(page, record, viewData, history, node) {
  BuildRendComponents();
  Cursors[0] = LoadCursorA(nullptr, IDC_ARROW);
  Cursors[1] = LoadCursorA(nullptr, IDC_SIZENS);
  Cursors[2] = LoadCursorA(nullptr, IDC_SIZEWE);
  Cursors[3] = LoadCursorA(nullptr, IDC_HAND);

  // The pane count of the view data: 1 one pane, anything else up to 4 two
  // (0 is the default, 3 and 4 are the K-line view's), above 4 one.
  const uint32_t panes = m_viewData ? m_viewData->paneCount : 0;
  ViewCombination = (panes == 1 || panes > 4) ? 1 : 2;
  const float share = ViewCombination == 1 ? 1.0f : 0.7f;
  N7->Checked = ViewCombination == 1;
  N8->Checked = ViewCombination == 2;
  PaneRatio[0] = ViewCombination == 1 ? 1.0 : 0.7;
  PaneRatio[1] = ViewCombination == 1 ? 0.0 : 0.3;
  Trend.SetPriceRatio(share);
  SetChartPriceRatio(share);
  Tick.ratio = share;

  if (IndexKind(m_attr.stock)) m_attr.flags = 0;
  if (m_attr.flags & kRendPageTick) m_attr.flags = (m_attr.flags & ~kRendPageTick) | kRendPageTickPending;
  if (m_attr.flags & kRendPageDetail) Panel2->Show();
  KeyPreview = true;
  ApplyFonts();
  UpdateMenuCaptions();
}

TRendForm::~TRendForm() {
  if (Timer1) Timer1->SetEnabled(false);
  DestroyOverlays();
  if (ChartBitmap) DeleteObject(ChartBitmap);
  ChartBitmap = nullptr;
  for (HBITMAP *box : {&CrossPriceBitmap, &CrossTimeBitmap}) {
    if (*box) DeleteObject(*box);
    *box = nullptr;
  }
}

void TRendForm::BuildRendComponents() {
  WatchPage = new TPanel(this);
  WatchPage->SetParent(this);
  WatchPage->SetBounds(1, 19, 56, 220);
  WatchPage->SetBevelOuter(bvNone);
  WatchPage->ShowCaption = false;
  WatchPage->SetVisible(false);
  WatchPage->OnMouseDown = [this](TObject *, TMouseButton, TShiftState, int, int) { Activate(); };
  for (int i = 1; i <= 17; ++i) {
    if (i == 14 || i == 15) continue;  // the form has no labels of these numbers
    WatchLabels[i] = new TLabel(this);
    WatchLabels[i]->SetParent(WatchPage);
    WatchLabels[i]->SetLeft(2);
    WatchLabels[i]->Transparent = true;
  }

  Panel2 = new TPanel(this);
  Panel2->SetParent(this);
  Panel2->SetAlign(alClient);
  Panel2->SetVisible(false);
  Panel5 = new TPanel(this);
  Panel5->SetParent(Panel2);
  Panel5->SetAlign(alTop);
  Panel5->SetHeight(18);
  Panel5->OnMouseDown = [this](TObject *, TMouseButton, TShiftState, int, int) { Activate(); };
  OwnerDrawPanel1 = new TPanel(this);
  OwnerDrawPanel1->SetParent(Panel2);
  OwnerDrawPanel1->SetAlign(alClient);
  OwnerDrawPanel1->Tag = -1;
  DetailBox = new TPaintBox(this);
  DetailBox->SetParent(OwnerDrawPanel1);
  DetailBox->SetAlign(alClient);
  DetailBox->OnPaint = [this](TObject *) {
    RECT area{0, 0, DetailBox->Width(), DetailBox->Height()};
    OwnerDrawPanel1Draw(DetailBox->Canvas()->Handle(), area);
  };

  Panel3 = new TPanel(this);
  Panel3->SetParent(this);
  Panel3->SetAlign(alClient);
  Panel3->SetVisible(false);
  Panel4 = new TPanel(this);
  Panel4->SetParent(Panel3);
  Panel4->SetAlign(alTop);
  Panel4->SetHeight(18);
  DrawGrid3 = new TDrawGrid(this);
  DrawGrid3->SetParent(Panel3);
  DrawGrid3->SetAlign(alBottom);
  DrawGrid3->SetHeight(127);
  DrawGrid2 = new TDrawGrid(this);
  DrawGrid2->SetParent(Panel3);
  DrawGrid2->SetAlign(alClient);
  DrawGrid2->OnDrawCell = [this](TObject *, int col, int row, TRect rect, TGridDrawState) {
    const TMarketData *m = MarketOf(m_attr.stock);
    const int type = m ? m->m_info.type : 0;
    DrawDistributionCell(col, row, DrawGrid2->Canvas()->Handle(), rect,
                         type == 1 || type == 4 || type == 6 || IsIndexInstrument());
  };
  DrawGrid3->OnDrawCell = [this](TObject *, int col, int row, TRect rect, TGridDrawState) {
    DrawNatureCell(col, row, DrawGrid3->Canvas()->Handle(), rect);
  };

  auto item = [this](TMenuItem *parent, const char *caption, intptr_t tag = 0) {
    auto *it = new TMenuItem(this);
    it->Caption = caption;
    it->Tag = tag;
    parent->Add(it);
    return it;
  };
  TMenuItem *root = PopupMenu1->Items();
  N13 = item(root, "商品叠加      Ctrl+O");
  N15 = item(root, "删除叠加商品(&D)");
  N13->OnClick = [this](TObject *s) { N13Click(s); };
  N15->OnClick = [this](TObject *s) { N15Click(s); };
  NProperty->OnClick = [this](TObject *s) { NPropertyClick(s); };
  N14 = item(root, "-");
  H1 = item(root, "历史回忆(&H)");
  item(H1, "当日走势(&1)", 0);
  const char *recent[] = {"最近2日(&2)", "最近3日(&3)", "最近4日(&4)", "最近5日(&5)", "最近6日(&6)",
                          "最近7日(&7)", "最近8日(&8)", "最近9日(&9)", "最近10日(&0)"};
  for (int i = 0; i < 9; ++i) item(H1, recent[i], i + 1);
  item(H1, "选择日期(&D)", 10);
  for (int i = 0; i < H1->Count(); ++i) H1->Items(i)->OnClick = [this](TObject *s) { HistoryRecall(s); };
  N7->OnClick = [this](TObject *s) { N7Click(s); };
  N8->OnClick = [this](TObject *s) { N7Click(s); };
  N7->Tag = 1;
  N8->Tag = 2;
  N9->Visible = N10->Visible = false;
  Tickfm->Tag = 0;
  Tickfm->OnClick = [this](TObject *s) { N16Click(s); };
  Minfm->OnClick = [this](TObject *s) { N16Click(s); };
  N5->OnClick = [this](TObject *s) { N5Click(s); };
  PopupMenu1->OnPopup = [this](TObject *s) { PopupMenu1Popup(s); };

  Timer1 = new TTimer(this);
  Timer1->SetInterval(kRendRedrawMs);
  Timer1->OnTimer = [this](TObject *s) { Timer1Timer(s); };
}

bool TRendForm::IsIndexInstrument() const { return IndexKind(m_attr.stock); }

void TRendForm::InitView() {
  TDrawView::InitView();
  OnPaint = [this](TObject *s) { FormPaint(s); };
  SubscribeAgents(0);
  OnResize = [this](TObject *s) { FormResize(s); };
  FormResize();
  MeasureTrendAxes();
  RefreshView(true);
  MsgPagePaint();
  OnKeyDown = [this](TObject *s, WORD &k, TShiftState sh) { FormKeyDown(s, k, sh); };
  OnKeyUp = [this](TObject *s, WORD &k, TShiftState sh) { FormKeyUp(s, k, sh); };
  OnMouseDown = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseDown(s, b, sh, x, y); };
  OnMouseMove = [this](TObject *s, TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
  OnMouseUp = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseUp(s, b, sh, x, y); };
  OnDblClick = [this](TObject *s) { FormDblClick(s); };
  if (m_attr.flags & kRendPageTickPending) {
    m_attr.flags &= ~kRendPageTickPending;
    PostToPage(WM_MVM_SHOW_TICK);
  }
}

void TRendForm::ApplyFonts() {
  TDrawView::ApplyFonts();
  CrossLabelFont.Release();
  CellFont.Release();
  if (!WatchPage) return;
  WatchPage->SetColor(TColor(ViewColor(1)));
  WatchPage->Font()->SetColor(TColor(ViewColor(31)));
  OwnerDrawPanel1->SetColor(TColor(ViewColor(1)));
  DrawGrid2->SetColor(TColor(ViewColor(1)));
  DrawGrid3->SetColor(TColor(ViewColor(1)));
  Panel2->SetColor(TColor(ViewColor(1)));
  Panel5->SetColor(TColor(ViewColor(34)));
  Panel5->Font()->SetColor(TColor(ViewColor(22)));
  if (OnResize) OnResize(this);
}

void TRendForm::UpdateMenuCaptions() {
  char keys[16] = {};
  uint32_t flags = 0;
  char text[64] = {};
  if (ViewDisplay().hotKey && ViewDisplay().hotKey(67, &flags, keys)) FormatHotKeyText(flags, keys, text);
  if (N13) N13->Caption = std::string("商品叠加      ") + text;
  TDrawView::UpdateMenuCaptions();
}

void TRendForm::SyncFrameButtons() { MainFrameHost()->ReleasePeriodButtons(); }

void TRendForm::StoreChartData(MVCDATA_12 *data) {
  if (!data) return;
  TDrawView::StoreChartData(data);
  data->paneCount = ViewCombination;
  int i = 0;
  for (COverlappedStock *o = Overlays; o && i < kMaxOverlays; o = o->next) data->overlays[i++] = o->stock;
  // The rest is the end mark: (0, 0, 0) is the first instrument of market 0,
  // which a K-line view taking over the pane would show as an overlay.
  for (; i < kMaxOverlays; ++i) data->overlays[i] = STKPTR();
}

void TRendForm::CollectStocks(EArray<STKMS> *stocks) {
  if (!stocks || stocks->GetCount() >= 256) return;
  const STKINFO *info = GetStockInfo(m_attr.stock);
  if (!info || !HasMarketRight(m_attr.stock.market, info->kind)) return;
  for (int i = stocks->GetCount() - 1; i >= 0; --i)
    if (stocks->GetAt(i).market == m_attr.stock.market && stocks->GetAt(i).stock == m_attr.stock.stock) return;
  stocks->Add(STKMS{m_attr.stock.market, m_attr.stock.stock});
}

// ---- Agents --------------------------------------------------------------------------------

void TRendForm::SubscribeAgents(int mode) {
  HWND window = Handle();
  if (mode == 1) {
    for (int32_t id : {TrendAgent, RecentAgent, TradeAgent})
      if (CDataAgent *a = DataAgentAt(id)) a->Rebuild();
    for (COverlappedStock *o = Overlays; o; o = o->next)
      if (CDataAgent *a = DataAgentAt(o->agent)) a->Rebuild();
    return;
  }
  LoadInstrumentSettings();
  if (const STKINFO *info = GetStockInfo(m_attr.stock)) {
    char code[8] = {}, name[10] = {};
    std::memcpy(code, info->code, sizeof info->code);
    std::memcpy(name, info->name, sizeof info->name);
    std::snprintf(StockCode, sizeof StockCode, "%s%s", code, name);
    std::memcpy(ShownCode, code, sizeof ShownCode);
  }
  // An agent the view keeps (the same instrument, say when an overlay comes
  // or goes) stays alive with the trades and minutes it has taken live,
  // instead of being freed and started again from the cache files.
  auto resubscribe = [window](int32_t *id, STKPTR stock, int kind, bool wanted) {
    *id = RenewDataAgent(*id, stock, kind, 0, wanted, window);
  };
  resubscribe(&TrendAgent, m_attr.stock, kAgentMinuteTrend, true);
  for (COverlappedStock *o = Overlays; o; o = o->next) resubscribe(&o->agent, o->stock, kAgentMinuteTrend, true);
  resubscribe(&RecentAgent, m_attr.stock, kAgentRecentTrades, true);
  resubscribe(&TradeAgent, m_attr.stock, kAgentTicks,
              BigOrderThreshold > 1 || (m_attr.flags & (kRendPageDetail | kRendPageDistribution | kRendPageTick)));
  Tick.windowStart = -1;
  StringGrid1->Invalidate();
  LayoutDetailList(true);
  OwnerDrawPanel1->Tag = -1;
}

void TRendForm::LoadTodayIntoTrend() {
  auto series = [](int32_t id, const TRENDREC **items, int32_t *count) {
    const CDataAgent *a = DataAgentAt(id);
    *items = nullptr;
    *count = 0;
    if (!a || a->itemSize != int32_t(sizeof(TRENDREC))) return false;
    const void *p = nullptr;
    a->GetSeries(&p, count);
    *items = static_cast<const TRENDREC *>(p);
    return true;
  };
  const TRENDREC *items;
  int32_t count;
  if (!series(TrendAgent, &items, &count)) return;
  Trend.SetToday(items, count, m_attr);
  int slot = 0;
  for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot)
    if (series(o->agent, &items, &count)) Trend.SetTodayOverlay(items, count, o->stock, slot);
}

void TRendForm::DestroyOverlays() {
  if (Overlays) {
    COverlappedStock::ReleaseAgents(Overlays, HandleAllocated() ? Handle() : nullptr);
    delete Overlays;
  }
  Overlays = nullptr;
  HasOverlays = false;
}

// ---- Messages ------------------------------------------------------------------------------

void TRendForm::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_SETCURSOR:
      if (HWND(m.WParam) == Handle()) {
        SetCursor(Cursors[std::clamp(CursorKind, 0, 3)]);
        m.Result = 1;
        return;
      }
      break;
    case WM_MOUSELEAVE:
      if (MouseTracking) {
        MouseTracking = false;
        if (CrossHairOn) {
          EraseTrendCrossHair();
          UpdateWatchPage(0, nullptr, true, false);
        }
      }
      m.Result = 0;
      return;
    case WM_VIEW_TOGGLE_INFO:
      N5Click(N5);
      break;
    case WM_AGENT_UPDATE: {
      const WPARAM progress = m.WParam;
      const int32_t id = int32_t(m.LParam);
      m.Result = 0;
      if (progress != 0 && progress != 100) {
        SetLoadPercent(uint32_t(progress));
        return;
      }
      LoadPercent = 100;
      if (id == TradeAgent || (TradeAgent == -1 && id == RecentAgent)) {
        StringGrid1->Invalidate();
        LayoutDetailList(progress == 100);
        PriceVolume->Invalidate();
      }
      if (progress == 100) Tick.windowStart = -1;
      if (id == TrendAgent) {
        MsgPagePaint();
        PriceVolume->Invalidate();
      }
      if (m_attr.flags & kRendPageDetail)
        RefreshView(true);
      else
        RedrawPending = true;
      return;
    }
    default:
      break;
  }
  TDrawView::WndProc(m);
}

void TRendForm::Timer1Timer(TObject *) {
  if (!RedrawPending) return;
  RefreshView(true);
  RedrawPending = false;
}

int TRendForm::Notify(int code, uint32_t stockWord, intptr_t a, intptr_t b) {
  const STKPTR stock(stockWord);
  const bool same = stock.market == m_attr.stock.market && stock.stock == m_attr.stock.stock;
  switch (code) {
    case 0:
      if (same) TDrawView::Notify(code, stockWord, a, b);
      break;
    case 1:
      if (!same) SwitchInstrument(stock, a, reinterpret_cast<const VIEW_ATTR_13 *>(b));
      break;
    case 8:
      if (a == 0 && HandleAllocated()) {
        PostMessageA(Handle(), WM_KEYDOWN, VK_NEXT, 0);
        PostMessageA(Handle(), WM_KEYUP, VK_NEXT, 0);
      }
      break;
    case 15:
      if ((a == 1 || a == -1) && HandleAllocated()) PostMessageA(Handle(), WM_KEYDOWN, a == 1 ? VK_UP : VK_DOWN, 0);
      break;
    case 18:
      // A past day's trend arrived.
      LoadArrivedDay(uint32_t(a));
      break;
    default:
      break;
  }
  return 0;
}

void TRendForm::SwitchInstrument(STKPTR stock, intptr_t block, const VIEW_ATTR_13 *sender) {
  if (IndexKind(stock) && m_attr.flags != 0) m_attr.flags = 0;
  if (!KeepStockList && StockList) {
    ReleaseViewStockList(StockList);
    StockList = 0;
  }
  KeepStockList = false;
  if (sender) {
    if (StockList) ReleaseViewStockList(StockList);
    StockList = sender->HandOverList();
    StockListPosition = uint32_t(sender->HandOverPosition());
  }
  m_attr.stock = STKPTR(stock.market, 0, stock.stock);
  m_attr.currentBlock = uint32_t(block);
  if (m_linked) MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1);
  SubscribeAgents(0);
  ReloadHistoryDays();
  Tick.windowStart = -1;
  RefreshView(true);
  ScrollDetailListToEnd();
  MsgPagePaint();
  if (HWND main = MainFrameHost()->MainWindow()) {
    SendMessageA(main, WM_LINKED_STOCK_CHANGED, 0, PaneParam());
    if (!StockPagingActive) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
  }
}

// ---- Refreshing ----------------------------------------------------------------------------

void TRendForm::RefreshView(bool reload) {
  const bool index = IsIndexInstrument();
  if ((m_attr.flags & kRendPageDetail) && !index) {
    Panel2->Show();
    OwnerDrawPanel1->Invalidate();
    if (const STKINFO *info = GetStockInfo(m_attr.stock)) {
      char title[128];
      std::snprintf(title, sizeof title, " 成交明细－%.9s(%.7s)    PageUp 上翻、PageDown 下翻", info->name, info->code);
      Panel5->SetCaption(title);
    }
    return;
  }
  if ((m_attr.flags & kRendPageDistribution) && !index) {
    Panel3->Show();
    Panel4->Show();
    Panel4->SetColor(TColor(ViewColor(34)));
    Panel4->Font()->SetColor(TColor(ViewColor(22)));
    if (const STKINFO *info = GetStockInfo(m_attr.stock)) {
      char title[64];
      std::snprintf(title, sizeof title, " 价量分布－%.9s(%.7s)", info->name, info->code);
      Panel4->SetCaption(title);
    }
    LayoutDistribution();
    return;
  }
  if (m_attr.flags != 0 || !ChartBitmap) {
    if (index || m_attr.flags == 0 || !ChartBitmap || Dragging) return;
    LayoutTickChart(reload);
    CopyChartToWindow();
  } else {
    if (Dragging) return;
    Trend.ClearOverlays();
    if (TrendAgent >= 0) LoadTodayIntoTrend();
    LoadHistoryOverlays();
    Panel2->Hide();
    Panel3->Hide();
    MeasureTrendAxes();
    DrawTrendChart();
    CopyChartToWindow();
  }
  // The read-out and the cross-hair follow the new data at the last mouse
  // (or key-driven) position.
  if (MouseX >= 0 && MouseY >= 0) FormMouseMove(this, TShiftState(), MouseX, MouseY);
}

void TRendForm::CopyChartToWindow() {
  if (!HandleAllocated() || !ChartBitmap) return;
  HDC dc = GetDC(Handle());
  CopyChart(dc);
  ReleaseDC(Handle(), dc);
}

void TRendForm::CopyChart(HDC dc) {
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, ChartBitmap);
  BitBlt(dc, ChartRect.Left, ChartRect.Top, ChartRect.Width(), ChartRect.Height(), mem, ChartRect.Left,
         ChartRect.Top, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void TRendForm::RefreshHistory() {
  RefreshMemory &last = LastRefresh();
  const DWORD now = GetTickCount();
  if (SameStock(last.stock, m_attr.stock) && DWORD(now - last.tick) < 2000) return;
  last.stock = m_attr.stock;
  last.tick = now;
  if (!ViewServices().hasRequestClient || !ViewServices().hasRequestClient()) return;
  const TMarketData *market = MarketOf(m_attr.stock);
  const STKINFO *info = GetStockInfo(m_attr.stock);
  if (!market || !info) return;
  char code[8] = {};
  std::memcpy(code, info->code, sizeof info->code);
  static const char *const kFiles[] = {"%sdata\\%s\\tick\\%s.tik", "%sdata\\%s\\trend\\%s.ot3",
                                       "%sdata\\%s\\tick\\%s.tr3", "%sdata\\%s\\tick\\%s.nnt"};
  for (const char *pattern : kFiles) {
    char path[260];
    std::snprintf(path, sizeof path, pattern, "..\\", market->m_info.shortName, code);
    DeleteFileA(path);
  }
  Tick.windowStart = -1;
  SubscribeAgents(1);
  ReloadHistoryDays();
  RefreshView(true);
}

void TRendForm::ExecuteViewCommand(int code) {
  const bool detail = code == 28 || code == 29;
  const bool distribution = code == 30 || code == 31;
  if ((!detail && !distribution) || IsIndexInstrument()) return;
  if (TradeAgent == -1) {
    TradeAgent = AcquireDataAgent(m_attr.stock, kAgentTicks, 0, Handle());
    StringGrid1->Invalidate();
    LayoutDetailList(true);
  }
  if (detail) {
    m_attr.flags = (m_attr.flags & ~kRendPageDistribution) | kRendPageDetail;
    OwnerDrawPanel1->Tag = -1;
    Panel3->Hide();
  } else {
    m_attr.flags = (m_attr.flags & ~kRendPageDetail) | kRendPageDistribution;
    Panel2->Hide();
  }
  WatchPage->Hide();
  CrossHairOn = false;
  EraseTrendCrossHair();
  RefreshView(false);
  if (detail)
    OwnerDrawPanel1->SetFocus();
  else
    DrawGrid2->SetFocus();
  if (m_cmdBox && m_cmdBox->m_hWnd) ShowWindow(m_cmdBox->m_hWnd, SW_HIDE);
}

void TRendForm::ReloadData() {
  // The table may have been rebuilt: find the instrument again by its code.
  uint16_t market = m_attr.stock.market;
  if (ShownCode[0])
    if (const STKINFO *found = LookupStock(ShownCode, &market, 0)) m_attr.stock = STKPTR(market, 0, found->index);
  Tick.windowStart = -1;
  SubscribeAgents(0);
  Trend.KeepLastDay();
  if (Trend.DayCount() == 1) Trend.Day(0)->history = 0;
  if (TrendAgent >= 0) LoadTodayIntoTrend();
  RefreshView(true);
  MsgPagePaint();
}

// ---- Progress ------------------------------------------------------------------------------

void TRendForm::SetLoadPercent(uint32_t percent) {
  if (percent == LoadPercent) return;
  LoadPercent = percent;
  if (percent != 100) DrawLoadProgress(nullptr);
  char text[32];
  std::snprintf(text, sizeof text, " %u%%", percent);
  if (Panel2->Visible()) Panel5->SetCaption(text);
  if (Panel3->Visible()) Panel4->SetCaption(text);
}

void TRendForm::DrawLoadProgress(HDC dc) {
  if (LoadPercent == 100 || ChartRect.Width() < 4 || !HandleAllocated()) return;
  const bool own = dc == nullptr;
  if (own) dc = GetDC(Handle());
  RECT bar = {ChartRect.Left, ChartRect.Top, ChartRect.Left + LONG(ChartRect.Width() * int(LoadPercent) / 100),
              ChartRect.Top + kRendCaptionHeight};
  HBRUSH brush = CreateSolidBrush(ViewColor(33));
  FillRect(dc, &bar, brush);
  DeleteObject(brush);
  HFONT font = CreateViewFont(ViewFont(16), 0, false);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ViewColor(1));
  char text[16];
  std::snprintf(text, sizeof text, "%u%%", LoadPercent);
  TextOutA(dc, ChartRect.Left + 2, ChartRect.Top + 3, text, int(std::strlen(text)));
  SelectObject(dc, oldFont);
  DeleteObject(font);
  if (own) ReleaseDC(Handle(), dc);
}
