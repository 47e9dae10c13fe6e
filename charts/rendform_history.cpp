// The intraday view's past days and overlays: history recall (the last 2 to
// 10 trading days or one chosen day) read from the local trend history,
// where a missing day is asked from the quote server and the older days
// wait for its answer; and the instruments laid over the chart.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "charts/datepickerdlg.h"
#include "charts/rendform.h"
#include "core/emem.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "views/selstockdlg.h"
#include "views/viewhost.h"

std::function<bool(PackedDateTime *)> &RendDatePicker() {
  static std::function<bool(PackedDateTime *)> picker = PickDateModal;
  return picker;
}

namespace {

bool ClosedOn(STKPTR stock, PackedDateTime date) {
  const TMarketData *m = MarketOf(stock);
  return m && IsNonTradingDay(&date, m->m_info.calendarKey) != 0;
}

// The trading day before the date (hour and minute cleared).
PackedDateTime PreviousTradingDay(STKPTR stock, PackedDateTime date) {
  PackedPreviousDayInPlace(&date);
  for (int guard = 0; guard < 366 && ClosedOn(stock, date); ++guard) PackedPreviousDayInPlace(&date);
  return date & kPackedDateMask;
}

bool BuffersReady(_TickData *day) {
  if (!day->Records()) return false;
  for (int s = 0; s < kTrendOverlaySlots; ++s)
    if (!day->OverlayRecords(s)) return false;
  return true;
}

bool Settled(const _TickData *day) {
  if (day->RawCount() < 0) return false;
  for (int s = 0; s < kTrendOverlaySlots; ++s)
    if (day->RawOverlayCount(s) < 0) return false;
  return true;
}

}  // namespace

// ---- Reading one past day ------------------------------------------------------------------

int TRendForm::ReadPastDay(_TickData *day, STKPTR stock, int slot, uint32_t tag) {
  TRENDREC *target = slot < 0 ? day->Records() : day->OverlayRecords(slot);
  if (!target) return -1;
  auto *items = static_cast<TRENDITEM *>(Malloc(int32_t(kTrendItemsLimit * sizeof(TRENDITEM))));
  if (!items) {
    MessageBoxA(nullptr, "内存不足，无法显示更多历史回忆。  ", "提示", MB_ICONERROR | MB_TOPMOST);
    return -1;
  }
  std::memset(items, 0, kTrendItemsLimit * sizeof(TRENDITEM));
  int32_t count = 0;
  uint32_t reference = 0;
  const int result = ReadDayTrend(stock.Word(), day->date, items, &count, &reference, tag) ? count : -1;
  if (slot < 0) {
    day->SetCount(result);
    day->dayReference = reference;
  } else {
    day->SetOverlayCount(slot, result);
  }
  std::memset(target, 0, kTrendSlotsPerDay * sizeof(TRENDREC));
  // Never more than the buffer holds, whatever the count says.
  const int n = std::clamp(result, 0, kTrendItemsLimit);
  for (int i = 0; i < n; ++i) {
    target[i].price = items[i].price;
    target[i].volume = items[i].volume;
    target[i].amount = items[i].amount;
    target[i].leadingOffset = items[i].leadingOffset;
    target[i].advancing = items[i].advancing;
    target[i].declining = items[i].declining;
  }
  Free(items);
  return result;
}

int TRendForm::LoadHistoryDay(_TickData *day, uint32_t tag) { return ReadPastDay(day, m_attr.stock, -1, tag); }

int TRendForm::LoadOverlayHistoryDay(_TickData *day, STKPTR stock, int slot, uint32_t tag) {
  return ReadPastDay(day, stock, slot, tag);
}

void TRendForm::MarkPastDay(_TickData *day) {
  day->history = 1;
  day->SetCount(day->Records() ? -1 : 0);
  const int overlays = OverlayCount();
  for (int s = 0; s < kTrendOverlaySlots; ++s) day->SetOverlayCount(s, s < overlays && day->OverlayRecords(s) ? -1 : 0);
}

void TRendForm::LoadPastDay(_TickData *day) {
  LoadHistoryDay(day, m_requestTag);
  int slot = 0;
  for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot)
    LoadOverlayHistoryDay(day, o->stock, slot, m_requestTag);
}

void TRendForm::ReturnToLiveDay(_TickData *day, PackedDateTime date) {
  day->date = date;
  day->history = 0;
  if (TrendAgent >= 0) LoadTodayIntoTrend();
}

// ---- History recall ------------------------------------------------------------------------

void TRendForm::HistoryRecall(TObject *sender) {
  auto *component = dynamic_cast<TComponent *>(sender);
  if (component) RecallDays(int(component->Tag));
}

void TRendForm::RecallDays(int tag) {
  if (m_attr.flags != 0 || tag < 0) return;
  if (tag == 10) {
    PackedDateTime date = 0;
    if (!RendDatePicker()) return;
    MainFrameHost()->SetDialogOpen(true);
    const bool ok = RendDatePicker()(&date);
    MainFrameHost()->SetDialogOpen(false);
    if (ok) ShowTrendOfDate(date & kPackedDateMask);
    return;
  }
  if (tag > 9) return;
  const int wanted = tag + 1;
  const int shown = Trend.DayCount();
  if (wanted == 1 && shown == 1) {
    const PackedDateTime last = TrendTradingDate(m_attr.stock);
    _TickData *day = Trend.Day(0);
    if ((day->date & kPackedDateMask) == last) return;
    ReturnToLiveDay(day, last);
    RefreshView(false);
    return;
  }
  if (shown == 0 || shown == wanted) return;
  if (wanted < shown) {
    for (int i = 0; i < shown - wanted; ++i) Trend.DropOldestDay();
  } else {
    _TickData *newer = Trend.Day(0);
    if (shown == 1 && newer->history) ReturnToLiveDay(newer, TrendTradingDate(m_attr.stock));
    const _TickData *newest = Trend.Day(shown - 1);
    int added = 0;
    while (added < wanted - shown && Trend.AddHistoryDay(nullptr, 0, m_attr)) ++added;
    PackedDateTime date = newer->date;
    for (int i = added - 1; i >= 0; --i) {
      _TickData *day = Trend.Day(i);
      date = PreviousTradingDay(m_attr.stock, date);
      day->date = date;
      day->mainStock = m_attr.stock;
      day->hasOverlays = newest->hasOverlays;
      day->overlaySlots = newest->overlaySlots;
      std::copy(std::begin(newest->overlayStocks), std::end(newest->overlayStocks), day->overlayStocks);
      MarkPastDay(day);
      if (BuffersReady(day) && (!newer->history || Settled(newer))) LoadPastDay(day);
      newer = day;
    }
  }
  RefreshView(false);
}

void TRendForm::ShowTrendOfDate(uint32_t date) {
  const PackedDateTime last = TrendTradingDate(m_attr.stock);
  PackedDateTime d = date & kPackedDateMask;
  for (int guard = 0; guard < 366 && ClosedOn(m_attr.stock, d); ++guard) PackedPreviousDayInPlace(&d);
  d &= kPackedDateMask;
  if (last < d) d = last;
  if (Trend.DayCount() == 0) {
    Trend.SetToday(nullptr, 0, m_attr);
    if (Trend.DayCount() == 0) return;  // the model has told of the lack of memory
    if (OverlaysShown()) {
      int slot = 0;
      for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot)
        Trend.SetTodayOverlay(nullptr, 0, o->stock, slot);
    }
  } else if (Trend.DayCount() > 1) {
    Trend.KeepLastDay();
  }
  _TickData *day = Trend.Day(0);
  if ((day->date & kPackedDateMask) == d) return;
  day->date = d;
  day->history = d != last;
  if (d == last) {
    ReturnToLiveDay(day, d);
  } else {
    day->SetCount(0);
    if (day->Records()) LoadHistoryDay(day, m_requestTag);
    int slot = 0;
    for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot) {
      day->SetOverlayCount(slot, 0);
      if (day->OverlayRecords(slot)) LoadOverlayHistoryDay(day, o->stock, slot, m_requestTag);
    }
  }
  RefreshView(false);
}

// ---- The loading chain ---------------------------------------------------------------------

void TRendForm::ReloadHistoryDays() {
  const int days = Trend.DayCount();
  if (days == 1) {
    _TickData *day = Trend.Day(0);
    if (!day->history) return;
    day->SetCount(0);
    for (int s = 0; s < kTrendOverlaySlots; ++s) day->SetOverlayCount(s, 0);
    if (BuffersReady(day)) LoadPastDay(day);
    return;
  }
  _TickData *newer = nullptr;
  for (int i = days - 2; i >= 0; --i) {
    _TickData *day = Trend.Day(i);
    if (!day->history) continue;
    MarkPastDay(day);
    if (BuffersReady(day) && (!newer || Settled(newer))) LoadPastDay(day);
    newer = day;
  }
}

void TRendForm::LoadArrivedDay(uint32_t date) {
  date &= kPackedDateMask;
  int found = -1;
  for (int i = 0; i < Trend.DayCount() && found < 0; ++i)
    if ((Trend.Day(i)->date & kPackedDateMask) == date) found = i;
  if (found < 0) return;
  _TickData *day = Trend.Day(found);
  day->SetCount(0);
  if (day->Records() && LoadHistoryDay(day, 0) < 0) day->SetCount(0);
  int slot = 0;
  for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot) {
    day->SetOverlayCount(slot, 0);
    if (day->OverlayRecords(slot) && LoadOverlayHistoryDay(day, o->stock, slot, 0) < 0)
      day->SetOverlayCount(slot, 0);
  }
  // The older days waited for this one: load them until the next day that
  // has to be asked for.
  bool stop = false;
  for (int i = found - 1; i >= 0 && !stop; --i) {
    _TickData *older = Trend.Day(i);
    if (older->RawCount() == -1 && older->Records() && LoadHistoryDay(older, m_requestTag) == -1) break;
    slot = 0;
    for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot)
      if (older->RawOverlayCount(slot) == -1 && older->OverlayRecords(slot) &&
          LoadOverlayHistoryDay(older, o->stock, slot, m_requestTag) == -1)
        stop = true;
  }
  RefreshView(false);
}

void TRendForm::LoadHistoryOverlays() {
  const int days = Trend.DayCount();
  if (days < 2 || !Overlays) return;
  const _TickData *newest = Trend.Day(days - 1);
  for (int i = days - 2; i >= 0; --i) {
    _TickData *day = Trend.Day(i);
    const _TickData *next = Trend.Day(i + 1);
    day->hasOverlays = newest->hasOverlays;
    day->overlaySlots = newest->overlaySlots;
    std::copy(std::begin(newest->overlayStocks), std::end(newest->overlayStocks), day->overlayStocks);
    day->mainStock = m_attr.stock;
    const int overlays = OverlayCount();
    for (int s = 0; s < kTrendOverlaySlots; ++s)
      day->SetOverlayCount(s, s < overlays && day->OverlayRecords(s) ? -1 : 0);
    if (!Settled(next) || !BuffersReady(day)) continue;
    int slot = 0;
    for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot)
      LoadOverlayHistoryDay(day, o->stock, slot, m_requestTag);
  }
}

// ---- Overlays ------------------------------------------------------------------------------

int TRendForm::OverlayCount() const {
  int n = 0;
  for (const COverlappedStock *o = Overlays; o; o = o->next) ++n;
  return n;
}

void TRendForm::AddOverlay(STKPTR stock, bool redraw) {
  const STKINFO *info = GetStockInfo(stock);
  if (!info || SameStock(stock, m_attr.stock) || OverlayCount() >= kTrendOverlaySlots) return;
  for (const COverlappedStock *o = Overlays; o; o = o->next)
    if (SameStock(o->stock, stock)) return;
  auto *node = new COverlappedStock;
  const STKINFOEX *ex = MarketOf(stock) && MarketOf(stock)->m_stocksEx ? GetStockInfoEx(stock) : nullptr;
  if (ex && ex->code[0])
    std::memcpy(node->code, ex->code, strnlen(ex->code, sizeof ex->code));
  else
    std::memcpy(node->code, info->code, strnlen(info->code, std::min(sizeof info->code, sizeof node->code)));
  for (char &c : node->code) c = char(std::toupper(static_cast<unsigned char>(c)));
  node->info = info;
  node->stock = stock;
  node->agent2 = -1;
  node->agent = AcquireDataAgent(stock, kAgentMinuteTrend, 0, HandleAllocated() ? Handle() : nullptr);
  COverlappedStock **link = &Overlays;
  while (*link) link = &(*link)->next;
  *link = node;
  HasOverlays = true;
  _TickData *only = Trend.DayCount() == 1 ? Trend.Day(0) : nullptr;
  if (only && only->history && OverlaysShown()) {
    const PackedDateTime date = only->date;
    const int slots = OverlayCount();
    only->hasOverlays = 1;
    only->overlaySlots = slots;
    int slot = 0;
    for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot)
      only->overlayStocks[slot] = o->stock;
    only->mainStock = m_attr.stock;
    only->LoadHistoryDay(nullptr, 0, m_attr);
    only->date = date;
    only->SetCount(0);
    for (int s = 0; s < kTrendOverlaySlots; ++s) only->SetOverlayCount(s, 0);
    LoadPastDay(only);
    RefreshView(false);
    return;
  }
  if (redraw) {
    SubscribeAgents(0);
    RefreshView(true);
    if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
  }
}

void TRendForm::N13Click(TObject *) {
  if (OpenStockPicker) return;
  TSelStockDlg dialog(this, m_attr.stock.market, 3);
  OpenStockPicker = &dialog;
  const bool ok = dialog.ShowModal() == mrOk;
  OpenStockPicker = nullptr;
  if (ok && !dialog.chosen.IsNone()) AddOverlay(dialog.chosen, true);
}

void TRendForm::N15Click(TObject *) {
  DestroyOverlays();
  SubscribeAgents(0);
  RefreshView(true);
  if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}
