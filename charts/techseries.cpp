// The K-line view's series: periods, subscriptions, the working copy of the
// bars and the time axis, recalculation, the page's notifications and the
// agents' updates, reloading and refreshing the history.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "charts/techform.h"
#include "platform/gbk.h"
#include "core/chartgfx.h"
#include "core/emem.h"
#include "core/emenubar.h"
#include "formula/inputtext.h"
#include "formula/kvindex.h"
#include "market/barseries.h"
#include "market/dataagent.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/menu.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/infolink.h"
#include "views/mvmain.h"
#include "views/viewhost.h"
#include "views/viewservices.h"

using platform::GbkCopyCut;

namespace {

std::string SettingFile() { return std::string(UserDataPath) + "SETTING.INI"; }

IndexStockRef RefOf(STKPTR s) {
  IndexStockRef r;
  r.market = s.market;
  r.kind = s.kind;
  r.index = s.stock;
  return r;
}

void SeriesOf(int32_t agent, const KLINEBAR **bars, uint32_t *count) {
  *bars = nullptr;
  *count = 0;
  const CDataAgent *a = agent >= 0 ? DataAgentAt(agent) : nullptr;
  if (!a || !a->Bars()) return;
  *bars = a->Bars();
  *count = uint32_t(std::max(a->itemCount, 0));
}

void OutOfMemory(HWND owner) {
  MessageBoxA(owner, "内存不足，无法显示指标。  ", "错误", MB_ICONERROR | MB_TOPMOST);
}

bool Online() { return ViewServices().hasRequestClient && ViewServices().hasRequestClient(); }

// The last refresh of any K-line view: one instrument within 2 s refreshes once.
struct RefreshRecord {
  STKPTR stock{255, 0, 0xFFFF};
  DWORD tick = 0;
};
RefreshRecord &LastRefresh() {
  static RefreshRecord record;
  return record;
}

TInfoLinkDlg *&InfoLinkDialog() {
  static TInfoLinkDlg *dialog = nullptr;
  return dialog;
}

}  // namespace

// ---- Periods -------------------------------------------------------------------------------

void TTechForm::SetPeriod(int code) {
  if (code < 0 || code > 14) return;
  if (code == m_attr.period && code != 3 && code != 12) return;
  if (code == 3 || code == 12) {
    const bool minutes = code == 3;
    const char *key = minutes ? "LastAnyMin" : "LastAnyDay";
    TInputTextDlg dialog(this);
    dialog.Setup(minutes ? "任意分钟技术分析" : "任意天技术分析", minutes ? "请输入分钟数:" : "请输入天数:", nullptr,
                 0, 10);
    char last[32];
    std::snprintf(last, sizeof last, "%u", GetPrivateProfileIntA("PARAMETER", key, 1, SettingFile().c_str()));
    dialog.Edit1->SetText(last);
    MainFrameHost()->SetDialogOpen(true);
    const int result = dialog.ShowModal();
    MainFrameHost()->SetDialogOpen(false);
    long n = 0;
    const std::string text = dialog.Edit1->Text();
    if (result == mrOk && !text.empty()) n = std::strtol(text.c_str(), nullptr, 10);
    if (n <= 0) {
      SyncFrameButtons();
      return;
    }
    m_attr.zoomStep = int32_t(std::min<long>(n, 0x7FFFFFFF));
    char value[32];
    std::snprintf(value, sizeof value, "%u", unsigned(m_attr.zoomStep));
    WritePrivateProfileStringA("PARAMETER", key, value, SettingFile().c_str());
  }
  m_attr.period = uint8_t(code);
  for (uint32_t i = 0; i < windowCount; ++i)
    if (windows[i]) windows[i]->LoadParamValues(m_attr.period);
  for (COverlappedStock *n = overlays; n; n = n->next)
    if (n->indicator) n->indicator->LoadParamValues(m_attr.period);
  Subscribe(0, true);
  LoadSeries(true, true, 0);
  RecalcIndicators(nullptr, false);
  SyncFrameButtons();
  Repaint();
}

void TTechForm::SyncFrameButtons() {
  MainFrameHost()->ReleasePeriodButtons();
  for (TMenuItem *m : PeriodItems)
    if (m) m->Checked = false;
  const int p = m_attr.period;
  if (p >= 1 && p <= 14) {
    if (PeriodItems[p]) PeriodItems[p]->Checked = true;
    MainFrameHost()->PressPeriodButton(p);
  }
}

void TTechForm::ShowPeriodMenu(int x, int y) {
  HMENU menu = CreatePopupMenu();
  BuildPopupMenu(menu, N1, 1);
  const int id = int(TrackPopupMenu(menu, TPM_RETURNCMD, x, y, 0, Handle(), nullptr));
  DestroyMenu(menu);
  if (id > 0) FireMenuCommand(N1, id, 1);
}

// ---- Subscriptions -------------------------------------------------------------------------

void TTechForm::Subscribe(int mode, bool withOverlays) {
  LoadInstrumentSettings();
  stockInfo = GetStockInfo(m_attr.stock);
  ownerCode[0] = 0;
  if (stockInfo) {
    const STKINFOEX *ex = GetStockInfoEx(m_attr.stock);
    if (ex && ex->code[0]) GbkCopyCut(ex->code, sizeof ex->code, ownerCode, sizeof ownerCode);
    else GbkCopyCut(stockInfo->code, sizeof stockInfo->code, ownerCode, sizeof ownerCode);
    for (char *c = ownerCode; *c; ++c) *c = char(toupper(static_cast<unsigned char>(*c)));
  }
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  HWND window = Handle();
  if (mode == 0) {
    stockCode[0] = 0;
    if (stockInfo) GbkCopyCut(stockInfo->code, sizeof stockInfo->code, stockCode, sizeof stockCode);
    // What is held for the same instrument stays with what it took live (a
    // period change or a reload keeps today's trades and minutes).
    TrendAgent = RenewDataAgent(TrendAgent, m_attr.stock, kAgentMinuteTrend, 0, true, window);
    RecentAgent = RenewDataAgent(RecentAgent, m_attr.stock, kAgentRecentTrades, 0, true, window);
    // The whole day's trades only in big-order mode.
    TradeAgent = RenewDataAgent(TradeAgent, m_attr.stock, kAgentTicks, 0, BigOrderThreshold > 1, window);
    barAgent = RenewDataAgent(barAgent, m_attr.stock, kind, count, true, window);
    StringGrid1->Invalidate();
    LayoutDetailList(true);
    StringGrid1->Update();
    if (withOverlays) {
      for (COverlappedStock *n = overlays; n; n = n->next)
        n->agent = RenewDataAgent(n->agent, n->stock, kind, count, true, window);
    }
    return;
  }
  auto rebuild = [](int32_t id) {
    if (CDataAgent *a = id >= 0 ? DataAgentAt(id) : nullptr) a->Rebuild();
  };
  rebuild(RecentAgent);
  rebuild(TradeAgent);
  rebuild(barAgent != -1 ? barAgent : TrendAgent);
  if (withOverlays)
    for (COverlappedStock *n = overlays; n; n = n->next) rebuild(n->agent);
}

// ---- The working series --------------------------------------------------------------------

bool TTechForm::LoadSeries(bool reloadLines, bool resetScroll, int historyMode) {
  barCount = 0;
  const uint32_t capacity = uint32_t(std::max(MaxDataRecords, 1));
  if (!bars) bars = static_cast<KLINEBAR *>(Malloc(int32_t(std::min<uint64_t>(uint64_t(capacity) * 40, 0x7FFFFFFF))));
  if (!bars) {
    firstBar = cursorBar = -1;
    OutOfMemory(Handle());
    return false;
  }
  const KLINEBAR *series;
  uint32_t count;
  SeriesOf(barAgent, &series, &count);
  // The copy is bounded by the buffer, whatever the agent holds.
  const uint32_t room = uint32_t(MSize(bars) / sizeof(KLINEBAR));
  if (count > room) {
    series += count - room;
    count = room;
  }
  if (count) std::memcpy(bars, series, size_t(count) * sizeof(KLINEBAR));
  barCount = count;
  if (historyMode == 1)
    if (CDataAgent *a = DataAgentAt(barAgent)) a->RequestHistory();
  if (N27->Checked) AdjustBarsForward(bars, barCount, weights, weightCount);
  else if (N28->Checked) AdjustBarsBackward(bars, barCount, weights, weightCount);

  const bool day = KLineDayPeriod(m_attr.period);
  auto history = [&](int32_t agent) {
    CDataAgent *a = agent >= 0 ? DataAgentAt(agent) : nullptr;
    if (!a) return;
    if (historyMode == 1) {
      a->RequestHistory();
      return;
    }
    if (historyMode != 0) return;
    const KLINEBAR *s;
    uint32_t n;
    SeriesOf(agent, &s, &n);
    if (n == 0 || barCount == 0) return;
    const uint32_t mine = day ? bars[0].time & kPackedDateMask : bars[0].time;
    const uint32_t theirs = day ? s[0].time & kPackedDateMask : s[0].time;
    if (mine < theirs) a->RequestHistory();
  };
  if (SpreadAnalysis()) {
    BuildTimeAxis();
    history(overlays->agent);
  } else {
    for (COverlappedStock *n = overlays; n; n = n->next) history(n->agent);
    BuildTimeAxis();
  }
  if (resetScroll) {
    firstBar = cursorBar = -1;
  } else {
    if (firstBar != -1 && uint32_t(firstBar) >= timeCount) firstBar = -1;
    if (cursorBar != -1 && uint32_t(cursorBar) >= timeCount) cursorBar = -1;
  }
  if (reloadLines) {
    LoadLines();
    LoadRefLines();
  }
  return true;
}

bool TTechForm::BuildTimeAxis() {
  timeCount = 0;
  uint64_t capacity = timeCapacity;
  if (!barTimes) {
    capacity = std::max<uint64_t>(barCount, uint64_t(std::max(MaxDataRecords, 1)));
    if (SpreadAnalysis()) {
      for (COverlappedStock *n = overlays; n; n = n->next) {
        const KLINEBAR *s;
        uint32_t c;
        SeriesOf(n->agent, &s, &c);
        capacity = std::max<uint64_t>(capacity, c);
      }
    }
    barTimes = static_cast<uint32_t *>(Malloc(int32_t(std::min<uint64_t>(capacity * 4, 0x7FFFFFFF))));
    if (!barTimes) {
      timeCapacity = 0;
      OutOfMemory(Handle());
      return false;
    }
    timeCapacity = uint32_t(MSize(barTimes) / 4);
  }
  const uint32_t n = std::min(barCount, timeCapacity);
  for (uint32_t i = 0; i < n; ++i) barTimes[i] = bars[i].time;
  timeCount = n;
  if (!SpreadAnalysis()) return true;
  std::vector<uint32_t> axis(barTimes, barTimes + timeCount);
  for (COverlappedStock *node = overlays; node; node = node->next) {
    const KLINEBAR *s;
    uint32_t c;
    SeriesOf(node->agent, &s, &c);
    MergeTimes(axis, s, c);
  }
  if (axis.size() > timeCapacity) {
    auto *grown = static_cast<uint32_t *>(Malloc(int32_t(std::min<uint64_t>(uint64_t(axis.size()) * 8, 0x7FFFFFFF))));
    if (!grown) {
      Free(barTimes);
      barTimes = nullptr;
      timeCount = timeCapacity = 0;
      OutOfMemory(Handle());
      return false;
    }
    Free(barTimes);
    barTimes = grown;
    timeCapacity = uint32_t(MSize(barTimes) / 4);
  }
  std::copy(axis.begin(), axis.end(), barTimes);
  timeCount = uint32_t(axis.size());
  return true;
}

// ---- Recalculation -------------------------------------------------------------------------

void TTechForm::CalcFormula(CKvIndex *f, bool withChain, bool incremental) {
  if (!f || !f->name[0]) return;
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  f->Calculate(Handle(), ownerCode, kind, count, stockInfo, bars, barCount, withChain, incremental);
}

void TTechForm::CalcOverlay(COverlappedStock *node, bool withChain, bool incremental) {
  if (!node || !node->indicator || !node->indicator->name[0]) return;
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  const KLINEBAR *s;
  uint32_t n;
  SeriesOf(node->agent, &s, &n);
  // The engine reads a 32-byte owner record; the node's code has 8 bytes.
  char owner[32] = {};
  std::memcpy(owner, node->code, sizeof node->code);
  node->indicator->Calculate(Handle(), owner, kind, count, node->info, s, n, withChain, incremental);
}

void TTechForm::RecalcIndicators(const STKPTR *stock, bool incremental) {
  const bool own = !stock || SameStock(*stock, m_attr.stock);
  if (SpreadAnalysis()) {
    if (!stock || own || SameStock(*stock, overlays->stock)) ComputeSpread();
  } else {
    if (own) {
      CalcFormula(windows[0], false, incremental);
      if (!overlays && !incremental)
        for (CKvIndex *f = windows[0] ? windows[0]->next : nullptr; f; f = f->next) CalcFormula(f, false, false);
    } else {
      const IndexStockRef ref = RefOf(*stock);
      if (windows[0] && windows[0]->ReferencesStock(ref, false)) CalcFormula(windows[0], false, incremental);
      if (!overlays && !incremental)
        for (CKvIndex *f = windows[0] ? windows[0]->next : nullptr; f; f = f->next)
          if (f->ReferencesStock(ref, false)) CalcFormula(f, false, false);
    }
    if (!stock || !SameStock(*stock, m_attr.stock))
      for (COverlappedStock *n = overlays; n; n = n->next)
        if (!stock || SameStock(n->stock, *stock)) CalcOverlay(n, false, incremental);
  }
  if (incremental) return;
  for (uint32_t i = 1; i < windowCount; ++i) {
    if (!own) {
      const IndexStockRef ref = RefOf(*stock);
      for (CKvIndex *f = windows[i]; f; f = f->next)
        if (f->ReferencesStock(ref, false)) CalcFormula(f, false, false);
    } else {
      CalcFormula(windows[i], true, false);
    }
  }
}

void TTechForm::FrameTimer() {
  bool calculated = false;
  if (pendingIncremental) {
    pendingIncremental = 0;
    if (!overlays)
      for (CKvIndex *f = windows[0] ? windows[0]->next : nullptr; f; f = f->next) CalcFormula(f, false, true);
    for (uint32_t i = 1; i < windowCount; ++i) CalcFormula(windows[i], true, true);
    calculated = true;
  }
  if (pendingFuture) {
    pendingFuture = 0;
    auto full = [&](CKvIndex *f) {
      if (f && (f->flags & kIndexFullRecalcOnly)) {
        CalcFormula(f, false, false);
        calculated = true;
      }
    };
    full(windows[0]);
    if (overlays) {
      for (COverlappedStock *n = overlays; n; n = n->next)
        if (n->indicator && (n->indicator->flags & kIndexFullRecalcOnly)) {
          CalcOverlay(n, false, false);
          calculated = true;
        }
    } else {
      for (CKvIndex *f = windows[0] ? windows[0]->next : nullptr; f; f = f->next) full(f);
    }
    for (uint32_t i = 1; i < windowCount; ++i)
      for (CKvIndex *f = windows[i]; f; f = f->next) full(f);
  }
  if (calculated) Repaint();
}

// ---- Notifications -------------------------------------------------------------------------

int TTechForm::Notify(int code, uint32_t key, intptr_t c, intptr_t second) {
  const STKPTR stock(key);
  const bool mine = SameStock(stock, m_attr.stock);
  switch (code) {
    case 0:
      // A quote only asks for a snapshot: the view repaints its panel itself.
      if (mine) DrawQuotePanel();
      return TDrawView::Notify(code, key, c, second);
    case 1: {
      if (mine) return 0;
      const auto *record = reinterpret_cast<const VIEW_ATTR_13 *>(second);
      if (record) {
        if (StockList) ReleaseViewStockList(StockList);
        StockList = record->HandOverList();
        StockListPosition = uint32_t(record->HandOverPosition());
      }
      m_attr.stock = STKPTR(stock.market, 0, stock.stock);
      m_attr.currentBlock = uint32_t(c);
      if (m_active) MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1);
      LoadWeights();
      Subscribe(0, true);
      LoadSeries(true, true, 0);
      LoadInfoMarkers(true);
      RecalcIndicators(&m_attr.stock, false);
      Repaint();
      ScrollDetailListToEnd();
      DrawQuotePanel();
      UpdateBarPanel();
      if (HWND frame = MainFrameHost()->MainWindow()) {
        SendMessageA(frame, WM_LINKED_STOCK_CHANGED, 0, reinterpret_cast<LPARAM>(this));
        PostMessageA(frame, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
      }
      return 0;
    }
    case 8:
      if (c == 3) FrameTimer();
      else if (c == 0) {
        PostMessageA(Handle(), WM_KEYDOWN, VK_NEXT, 0);
        PostMessageA(Handle(), WM_KEYUP, VK_NEXT, 0);
      }
      return 0;
    case 14:
      if (mine) {
        LoadInfoMarkers(false);
        Repaint();
      }
      return 0;
    case 15: {
      const WORD k = c == 1 ? VK_UP : VK_DOWN;
      PostMessageA(Handle(), WM_KEYDOWN, k, 0);
      PostMessageA(Handle(), WM_KEYUP, k, 0);
      return 0;
    }
    case 16:
      if (mine) Repaint();
      return 0;
    case 17:
      if (mine) {
        LoadWeights();
        LoadSeries(false, false, 2);
        RecalcIndicators(nullptr, false);
        Repaint();
        UpdateBarPanel();
      }
      return 0;
    case 19: {
      TInfoLinkDlg *&dialog = InfoLinkDialog();
      if (dialog) dialog->ShowStock(2, 0, m_attr.stock);
      else dialog = new TInfoLinkDlg(2, nullptr, 0, m_attr.stock);
      dialog->Show();
      dialog->SetFocus();
      return 0;
    }
    default:
      return 0;
  }
}

void TTechForm::AgentUpdate(WPARAM w, int32_t a) {
  if (w != 0 && w != 100) {
    SetLoadPercent(uint32_t(w));
    return;
  }
  loadPercent = 100;
  if (a == TradeAgent || (a == RecentAgent && TradeAgent == -1)) {
    StringGrid1->Invalidate();
    LayoutDetailList(w == 100);
    StringGrid1->Update();
    HDC dc = GetDC(Handle());
    DrawQuoteLine(dc);
    ReleaseDC(Handle(), dc);
    return;
  }
  if (a == RecentAgent) return;
  if (a == TrendAgent) {
    DrawQuotePanel();
    return;
  }
  if (w == 0) pendingIncremental = pendingFuture = 1;
  if (a == barAgent) {
    LoadSeries(false, false, 2);
    RecalcIndicators(&m_attr.stock, w == 0);
    Repaint();
    UpdateBarPanel();
    return;
  }
  const CDataAgent *agent = DataAgentAt(a);
  if (!agent) return;
  const STKPTR stock = agent->stock;
  LoadSeries(false, false, 2);
  RecalcIndicators(&stock, w == 0);
  Repaint();
}

void TTechForm::ReloadData() {
  if (stockCode[0]) {
    uint16_t market = m_attr.stock.market;
    if (const STKINFO *info = LookupStock(stockCode, &market, 0)) m_attr.stock.stock = info->index;
  }
  Subscribe(0, true);
  LoadSeries(true, true, 0);
  RecalcIndicators(nullptr, false);
  Repaint();
  DrawQuotePanel();
  UpdateBarPanel();
}

void TTechForm::RefreshHistory() {
  RefreshRecord &last = LastRefresh();
  const DWORD now = GetTickCount();
  if (SameStock(last.stock, m_attr.stock) && !TicksElapsed(last.tick, now, 2000)) return;
  last.stock = m_attr.stock;
  last.tick = now;
  auto remove = [](STKPTR s, CacheKind kind) {
    const TMarketData *m = MarketAt(s.market);
    char path[MAX_PATH];
    if (m && CacheFilePath(m, s.stock, kind, path, sizeof path)) DeleteFileA(path);
  };
  const CacheKind history = KLineHistoryFile(m_attr.period, PeriodCount());
  if (Online() && stockInfo) {
    remove(m_attr.stock, history);
    remove(m_attr.stock, kCacheTodayTrend);
    remove(m_attr.stock, kCacheRecentTrades);
  }
  const int p = m_attr.period;
  const bool minutes = (p >= 1 && p <= 7) || p == 13 || p == 14;
  for (COverlappedStock *n = overlays; n; n = n->next) {
    remove(n->stock, history);
    if (minutes) {
      remove(n->stock, kCacheTodayTrend);
      remove(n->stock, kCacheRecentTrades);
    }
  }
  // The agents kept through the subscription build again from the emptied
  // files, asking the server for everything.
  Subscribe(0, true);
  Subscribe(1, true);
  LoadSeries(false, true, 2);
  RecalcIndicators(nullptr, false);
  Repaint();
}
