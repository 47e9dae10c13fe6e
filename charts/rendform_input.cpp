// The user's side of the intraday view: keys, mouse, the cursor read-out,
// the split drag, the page and combination switches and the overlay menu.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "charts/intradaymarkets.h"
#include "charts/rendform.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

namespace {


bool NonTrading(STKPTR stock, PackedDateTime date) {
  const TMarketData *m = MarketOf(stock);
  return m && IsNonTradingDay(&date, m->m_info.calendarKey) != 0;
}

void SetLabel(TLabel *label, const char *text, int top, COLORREF color) {
  if (!label) return;
  label->SetCaption(text);
  label->SetTop(top);
  label->Font()->SetColor(TColor(color));
  label->Show();
}

}  // namespace

// ---- Keys ----------------------------------------------------------------------------------

void TRendForm::StepKey(WORD key, TShiftState shift) { FormKeyDown(this, key, shift); }

void TRendForm::FormKeyDown(TObject *, WORD &key, TShiftState shift) {
  const bool detail = (m_attr.flags & kRendPageDetail) != 0;
  const bool distribution = (m_attr.flags & kRendPageDistribution) != 0;
  const bool tick = !detail && !distribution && (m_attr.flags & kRendPageTick) != 0;
  const bool locked = DetailScrollLock;
  switch (key) {
    case VK_RETURN:
      if (!detail && !distribution) EnterKey();
      break;
    case VK_ESCAPE:
      EscapeKey();
      break;
    case VK_PRIOR:
    case VK_NEXT:
      if (detail)
        TradePageKey(key);
      else if (!distribution && !locked)
        PageInstruments(key == VK_NEXT);
      break;
    case VK_HOME:
    case VK_END:
      if (detail) {
        TradePageKey(key);
        key = 0;
      } else if (!distribution && !locked && !tick && Trend.DayCount() > 0) {
        // The cursor jumps to the first point of the first day or the last
        // of the last day.
        const int day = key == VK_HOME ? 0 : Trend.DayCount() - 1;
        const int point = key == VK_HOME ? 0 : std::max(Trend.Day(day)->GetPointCount() - 1, 0);
        Trend.SetCursor(day, point, MouseX);
        if (Trend.Day(day)->GetPointCount() > 0) {
          MouseX = Trend.Day(day)->GetPoints()[point].x;
          MinuteCursorKey(key == VK_END);
        }
      }
      break;
    case VK_LEFT:
    case VK_RIGHT:
      if (detail || distribution) break;
      if (tick) {
        if (shift.Contains(ssCtrl))
          key == VK_LEFT ? TickPageBack() : TickPageForward();
        else if (shift.Contains(ssShift))
          key == VK_LEFT ? TickHalfPageBack() : TickHalfPageForward();
        else
          TickCursorKey(key == VK_RIGHT);
      } else if (!shift.Contains(ssCtrl) && !shift.Contains(ssShift)) {
        MinuteCursorKey(key == VK_RIGHT);
      }
      break;
    case VK_UP:
    case VK_DOWN:
      if (detail || distribution || (locked && Panel1->Visible())) break;
      if (tick)
        TickZoomKey(key == VK_UP);
      else
        DaysKey(key == VK_UP);
      break;
    default:
      break;
  }
}

void TRendForm::FormKeyUp(TObject *, WORD &key, TShiftState) {
  if ((key == VK_PRIOR || key == VK_NEXT) && StockPagingActive) {
    StockPagingActive = false;
    if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
  }
}

void TRendForm::EnterKey() {
  if (!(m_attr.displayFlags & 0x200)) {
    if (Keckfm->OnClick) Keckfm->OnClick(Keckfm);
    return;
  }
  if (CrossHairOn) {
    CrossHairOff();
    return;
  }
  KeyCursor = true;
  CrossHairOn = true;
  CrossX = CrossY = 0;
  if (m_attr.flags & kRendPageTick) {
    TrackTickCursor(MouseX, MouseY, Tick.HitTest(MouseX), false);
    return;
  }
  bool history = false;
  const TRENDPOINT *point = Trend.FindPointAtX(MouseX, &history);
  TrackTrendCursor(MouseX, MouseY, point, history);
}

void TRendForm::EscapeKey() {
  if (IsDetailOrDistribution()) {
    if (m_attr.flags & kRendPageTick) {
      m_attr.flags &= ~uint32_t(0x1 | kRendPageDetail | kRendPageDistribution);
      Tick.windowStart = -1;
    } else {
      DestroyOverlays();
      m_attr.flags &= ~uint32_t(0xF);
    }
    Panel2->Hide();
    Panel3->Hide();
    RefreshView(true);
    if (m_cmdBox && m_cmdBox->m_hWnd) ShowWindow(m_cmdBox->m_hWnd, SW_SHOWNA);
    return;
  }
  if (CrossHairOn) {
    CrossHairOff();
    return;
  }
  if (m_page) PostMessageA(m_page->Handle(), WM_MVM_BACK, 0, PaneParam());
}

void TRendForm::TradePageKey(WORD key) {
  HDC dc = GetDC(Handle());
  HFONT numbers = CreateViewFont(ViewFont(5), 0, false), wide = CreateViewFont(ViewFont(4), 0, false);
  SIZE zero{}, chinese{};
  HGDIOBJ old = SelectObject(dc, numbers);
  GetTextExtentPoint32A(dc, "0", 1, &zero);
  SelectObject(dc, wide);
  GetTextExtentPoint32A(dc, "芝", 2, &chinese);
  SelectObject(dc, old);
  DeleteObject(numbers);
  DeleteObject(wide);
  ReleaseDC(Handle(), dc);
  const int type = MarketOf(m_attr.stock) ? MarketOf(m_attr.stock)->m_info.type : 0;
  const int d = int(zero.cx), c = int(chinese.cx);
  const int h = std::max(int(std::max(zero.cy, chinese.cy) * 1.4), 1);
  const int w = std::max(type == 8 ? 2 * c + 26 * d : type == 2 ? 2 * c + 36 * d : 29 * d, 1);
  const int C = std::max(OwnerDrawPanel1->Width() / w, 1), R = std::max(OwnerDrawPanel1->Height() / h - 1, 1);
  int32_t n = 0;
  if (const CDataAgent *a = DataAgentAt(TradeAgent)) n = a->itemCount;
  const int pages = (n + R - 1) / R;
  int first = int(OwnerDrawPanel1->Tag);
  if (first == -1) first = pages > C ? R * (pages - C) : 0;
  if (key == VK_PRIOR) first = std::max(first - C * R, 0);
  if (key == VK_NEXT) first = first + C * R < n ? first + C * R : -1;
  if (key == VK_HOME) first = C * R >= n ? -1 : 0;
  if (key == VK_END) first = -1;
  OwnerDrawPanel1->Tag = first;
  OwnerDrawPanel1->Invalidate();
}

void TRendForm::PageInstruments(bool forward) {
  Tick.windowStart = -1;
  StockPagingActive = true;
  STKPTR next = m_attr.stock;
  if (ViewStockList *list = FindViewStockList(StockList); list && list->count > 0) {
    StockListPosition = forward ? (StockListPosition + 1) % list->count
                                : (list->count + StockListPosition - 1) % list->count;
    next = list->items[StockListPosition];
    KeepStockList = true;
  } else {
    next = forward ? NextStockInBlock(int(m_attr.currentBlock), m_attr.stock)
                   : PrevStockInBlock(int(m_attr.currentBlock), m_attr.stock);
    if (SameStock(next, m_attr.stock)) {
      STKPTR out;
      if (const TMarketData *m = MarketOf(m_attr.stock))
        next = forward ? *NextStockInMarket(&out, m, m_attr.stock) : *PrevStockInMarket(&out, m, m_attr.stock);
    }
  }
  Notify(1, next.Word(), intptr_t(m_attr.currentBlock), 0);
  if (HandleAllocated()) SetFocus();
}

void TRendForm::MinuteCursorKey(bool right) {
  if (Trend.DayCount() == 0) return;
  const _TickData &first = *Trend.Day(0);
  int x = MouseX, y = MouseY;
  if (!(y >= first.pricePane.top + 2 * kRendCaptionHeight && y < first.pricePane.bottom))
    y = (first.pricePane.top + 2 * kRendCaptionHeight + first.pricePane.bottom) / 2 + 1;
  int px = x;
  for (int guard = 0; guard < 16 * kTrendPointCapacity; ++guard) {
    const TRENDPOINT *p = right ? Trend.NextPoint(&px) : Trend.PrevPoint(&px);
    if (!p || px != x) break;
    const bool atEnd = right ? (Trend.CursorDay() == Trend.DayCount() - 1 &&
                                Trend.CursorPoint() >= Trend.Day(Trend.CursorDay())->GetPointCount() - 1)
                             : (Trend.CursorDay() == 0 && Trend.CursorPoint() == 0);
    if (atEnd) break;
  }
  if (!CrossHairOn) CrossX = CrossY = 0;
  CrossHairOn = true;
  // The pointer is not warped: the key moves the view's own mouse position
  // and the cross-hair follows it as after a mouse move.
  MouseX = px;
  MouseY = y;
  bool history = false;
  const TRENDPOINT *point = Trend.FindPointAtX(px, &history);
  TrackTrendCursor(px, y, point, history);
  DrawOverlayButton(nullptr);
}

void TRendForm::DaysKey(bool up) {
  const int days = Trend.DayCount();
  if (days == 0) return;
  _TickData *firstDay = Trend.Day(0);
  if (up) {
    if (days == 1 && firstDay->history) {
      PackedPreviousDayInPlace(&firstDay->date);
      for (int guard = 0; guard < 366 && NonTrading(m_attr.stock, firstDay->date); ++guard)
        PackedPreviousDayInPlace(&firstDay->date);
      firstDay->SetCount(0);
      for (int s = 0; s < kTrendOverlaySlots; ++s) firstDay->SetOverlayCount(s, 0);
      LoadPastDay(firstDay);
      RefreshView(false);
    } else if (days >= 2) {
      Trend.DropOldestDay();
      RefreshView(false);
    }
    return;
  }
  if (days >= 10) return;
  if (days == 1 && firstDay->history) {
    const PackedDateTime today = TrendTradingDate(m_attr.stock);
    PackedNextDayInPlace(&firstDay->date);
    for (int guard = 0; guard < 366 && NonTrading(m_attr.stock, firstDay->date); ++guard)
      PackedNextDayInPlace(&firstDay->date);
    if ((firstDay->date & ~uint32_t(0x7FF)) == today) {
      firstDay->history = 0;
      LoadTodayIntoTrend();
    } else {
      firstDay->SetCount(0);
      for (int s = 0; s < kTrendOverlaySlots; ++s) firstDay->SetOverlayCount(s, 0);
      LoadPastDay(firstDay);
    }
    RefreshView(false);
    return;
  }
  const PackedDateTime formerDate = firstDay->date;
  const uint8_t formerOverlays = firstDay->hasOverlays;
  const int32_t formerSlots = firstDay->overlaySlots;
  STKPTR formerStocks[kTrendOverlaySlots];
  std::copy(std::begin(firstDay->overlayStocks), std::end(firstDay->overlayStocks), formerStocks);
  if (!Trend.AddHistoryDay(nullptr, 0, m_attr)) return;
  _TickData *added = Trend.Day(0);
  added->date = formerDate;
  added->hasOverlays = formerOverlays;
  added->overlaySlots = formerSlots;
  std::copy(std::begin(formerStocks), std::end(formerStocks), added->overlayStocks);
  added->mainStock = m_attr.stock;
  auto trades = [&](PackedDateTime date) {
    if (NonTrading(m_attr.stock, date)) return false;
    for (int s = 0; s < formerSlots && s < kTrendOverlaySlots; ++s)
      if (NonTrading(formerStocks[s], date)) return false;
    return true;
  };
  PackedPreviousDayInPlace(&added->date);
  for (int guard = 0; guard < 366 && !trades(added->date); ++guard) PackedPreviousDayInPlace(&added->date);
  added->date &= ~uint32_t(0x7FF);
  // The day loads now unless the day after it still waits for the server.
  MarkPastDay(added);
  const _TickData *newer = Trend.Day(1);
  bool newerSettled = newer->RawCount() >= 0;
  for (int s = 0; s < kTrendOverlaySlots; ++s) newerSettled = newerSettled && newer->RawOverlayCount(s) >= 0;
  if (!newer->history || newerSettled) LoadPastDay(added);
  RefreshView(false);
}

// ---- Mouse ---------------------------------------------------------------------------------

void TRendForm::FormMouseMove(TObject *sender, TShiftState shift, int x, int y) {
  if (!MouseTracking && HandleAllocated()) {
    MouseTracking = true;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE | TME_HOVER;
    track.hwndTrack = Handle();
    track.dwHoverTime = HOVER_DEFAULT;
    TrackMouseEvent(&track);
  }
  if (KeyCursor) {
    KeyCursor = false;
    return;
  }
  if (IsDetailOrDistribution()) return;
  LastMouseX = x;
  LastMouseY = y;
  if (!(m_attr.flags & kRendPageTick)) {
    bool history = false;
    const TRENDPOINT *point = Trend.FindPointAtX(x, &history);
    Trend.HitTest(x);
    TrackTrendCursor(x, y, point, history);
  } else {
    TrackTickCursor(x, y, Tick.HitTest(x), false);
  }
  MouseX = x;
  MouseY = y;
  DrawOverlayButton(nullptr);
  (void)sender;
  (void)shift;
}

void TRendForm::TrackTrendCursor(int x, int y, const TRENDPOINT *point, bool history) {
  TRENDRECT p;
  Trend.GetPlotRect(&p);
  if (CrossHairOn) {
    WatchPage->Show();
    UpdateWatchPage(x, point, true, history);
  } else {
    WatchPage->Hide();
  }
  if (Trend.DayCount() > 0 && p.top <= y && y <= p.bottom && p.left < x && x <= p.right) {
    const _TickData &first = *Trend.Day(0);
    TRENDRECT volume;
    first.GetVolumePaneRect(&volume);
    char value[32] = {}, time[32] = {}, format[16];
    const MKINFO *info = MarketOf(m_attr.stock) ? &MarketOf(m_attr.stock)->m_info : nullptr;
    if (y < volume.top || first.ratio > 0.9f) {
      const int units = std::max(Trend.YToPrice(y), 0);
      const double factor = ConvertedPrices ? PriceMultiplier : 1.0;
      std::snprintf(format, sizeof format, "%%6.%df", std::clamp(ConvertedPrices ? ConvertedDecimals : first.decimals, 0, 9));
      std::snprintf(value, sizeof value, format,
                    units * factor * GetPriceUnit(first.divisor, first.decimals) / (first.divisor ? first.divisor : 1));
    } else {
      int v = Trend.YToVolume(y);
      const int kind = StockKindOf(MarketOf(m_attr.stock), m_attr.stock.stock);
      if (info && (info->type == 1 || info->type == 4 || (kind >= 0 && kind < kMaxStockKinds && info->kinds[kind].noOrderBook)))
        v /= 100;
      if (v >= 0) std::snprintf(value, sizeof value, "%d", v);
    }
    if (point) {
      const _TickData *day = Trend.Day(Trend.CursorDay());
      PackedDateTime t = MakePackedDateTime(PackedYear(day->date), PackedMonth(day->date), PackedDay(day->date),
                                            unsigned(point->hour % 24), unsigned(point->minute));
      MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, StockKindOf(MarketOf(m_attr.stock), m_attr.stock.stock), &t);
      std::snprintf(time, sizeof time, CrossHairOn ? "%02u-%02u %02u:%02u" : "%02u/%02u %02u:%02u", PackedMonth(t) % 100,
                    PackedDay(t) % 100, PackedHour(t) % 100, PackedMinute(t) % 100);
    }
    const char *v = value;
    while (*v == ' ') ++v;
    if (CrossHairOn)
      MoveCrossHair(x, y, v, time, ChartRect.Right, ChartRect.Bottom - 16);
    else
      ShowCrossLabels(x, y, v, time, ChartRect.Right, ChartRect.Bottom - 16);
  }
  if (std::abs(y - Trend.GetSplitY()) < 5 || Trend.IsSplitDrag()) {
    CursorKind = 1;
    if (Trend.IsSplitDrag()) {
      XorHLines(y);
      Dragging = 1;
      DragLineY = y;
    }
  } else {
    CursorKind = 0;
  }
}

void TRendForm::UpdateWatchPage(int x, const TRENDPOINT *point, bool isMinutePoint, bool isHistory) {
  (void)isMinutePoint;
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const TMarketData *market = MarketOf(m_attr.stock);
  if (!info || !market) return;
  const int type = market->m_info.type;
  const bool history = isHistory;
  const int t[18] = {0, 4, 45, 74, 132, 161, 17, 58, 87, 145, 174, 190, 203, 29, 0, 0, 103, 116};
  const int th[18] = {0, 4, 45, -1, 74, 103, 17, 58, -1, 87, 116, 132, 145, 29, 0, 0, -1, -1};
  auto top = [&](int i) { return history ? th[i] : t[i]; };
  const char *captions[18] = {nullptr, "时间", "价位", "涨跌", "成交", "均价", nullptr, nullptr, nullptr, nullptr,
                              nullptr, (type == 1 || type == 6) ? "金额" : "持仓", nullptr, nullptr, nullptr, nullptr,
                              "幅度", nullptr};
  for (int i = 1; i <= 17; ++i) {
    if (!WatchLabels[i]) continue;
    if (top(i) < 0) {
      WatchLabels[i]->Hide();
      continue;
    }
    SetLabel(WatchLabels[i], captions[i] ? captions[i] : "------", top(i), ViewColor(i == 9 || i == 12 ? 33 : 31));
  }
  const double divisor = info->PriceDivisor();
  const double m = ConvertedPrices ? PriceMultiplier : 1.0;
  char format[16], text[48];
  std::snprintf(format, sizeof format, "%%-8.%df", std::clamp(ConvertedPrices ? ConvertedDecimals : int(info->decimals), 0, 9));
  const REALQUOTE &q = market->m_quotes[m_attr.stock.stock];
  const double reference = q.refPrice;
  auto colour = [&](double v) {
    if (v == 0 || v == reference) return ViewColor(20);
    return v > reference ? ViewColor(21) : ViewColor(19);
  };
  if (!point) {
    if (WatchLabels[13]) WatchLabels[13]->SetCaption("");
  } else {
    const _TickData *day = Trend.Day(Trend.CursorDay());
    PackedDateTime dt = day ? MakePackedDateTime(PackedYear(day->date), PackedMonth(day->date), PackedDay(day->date),
                                                 unsigned(point->hour % 24), unsigned(point->minute))
                            : 0;
    MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, info->kind, &dt);
    std::snprintf(text, sizeof text, "%u%02u%02u", PackedYear(dt), PackedMonth(dt) % 100, PackedDay(dt) % 100);
    WatchLabels[6]->SetCaption(text);
    std::snprintf(text, sizeof text, "%02u:%02u", PackedHour(dt) % 100, PackedMinute(dt) % 100);
    WatchLabels[13]->SetCaption(text);
    const COLORREF c = history ? ViewColor(20) : colour(point->rawPrice);
    std::snprintf(text, sizeof text, format, point->rawPrice * m / divisor);
    WatchLabels[7]->SetCaption(text);
    WatchLabels[7]->Font()->SetColor(TColor(c));
    const double delta = std::trunc((double(point->rawPrice) - reference) * m);
    const COLORREF dc = delta > 0 ? ViewColor(21) : delta < 0 ? ViewColor(19) : ViewColor(20);
    std::snprintf(text, sizeof text, format, delta / divisor);
    WatchLabels[8]->SetCaption(text);
    WatchLabels[8]->Font()->SetColor(TColor(dc));
    std::snprintf(text, sizeof text, "%+.2f%%", reference != 0 ? delta * 100 / (reference * m) : 0.0);
    WatchLabels[17]->SetCaption(text);
    WatchLabels[17]->Font()->SetColor(TColor(dc));
    const double unit = info->VolumeUnit();
    std::snprintf(text, sizeof text, "%-.0f", point->volume / unit);
    WatchLabels[9]->SetCaption(text);
    const double average = Trend.GetSecondLineValueAtX(x);
    std::snprintf(text, sizeof text, format, average / divisor * m);
    WatchLabels[10]->SetCaption(text);
    WatchLabels[10]->Font()->SetColor(TColor(history ? ViewColor(20) : colour(std::trunc(average * m))));
    if (type == 4)
      std::snprintf(text, sizeof text, "0");
    else if (type == 1 || type == 3 || type == 6)
      std::snprintf(text, sizeof text, "%-.0f", point->volume / unit * point->rawPrice / divisor * 100);
    else
      std::snprintf(text, sizeof text, "%-.0f", double(point->amount));
    WatchLabels[12]->SetCaption(text);
  }
  WatchPage->SetHeight(WatchLabels[12]->Top() + WatchLabels[12]->Height() + 2);
}

void TRendForm::XorHLines(int y, bool fullWidth) {
  if (!HandleAllocated()) return;
  HDC dc = GetDC(Handle());
  const int oldRop = SetROP2(dc, R2_NOT);
  auto line = [&](int at) {
    if (CrossHairOn && !fullWidth) {
      MoveToEx(dc, ChartRect.Left, at, nullptr);
      LineTo(dc, ChartRect.Left + AxisLeft, at);
      MoveToEx(dc, ChartRect.Right - AxisRight, at, nullptr);
      LineTo(dc, ChartRect.Right, at);
    } else {
      MoveToEx(dc, ChartRect.Left, at, nullptr);
      LineTo(dc, ChartRect.Right, at);
    }
  };
  line(y);
  if (DragLineY != 0) line(DragLineY);
  SetROP2(dc, oldRop);
  ReleaseDC(Handle(), dc);
}

void TRendForm::FormMouseDown(TObject *, TMouseButton button, TShiftState, int x, int y) {
  Activate();
  if (button == mbLeft && x >= OverlayButtonRect.Left && x <= OverlayButtonRect.Right && y >= OverlayButtonRect.Top &&
      y <= OverlayButtonRect.Bottom && OverlayButtonRect.Width() > 0) {
    DrawOverlayButton(nullptr);
    ShowOverlayMenu();
    return;
  }
  if (button == mbLeft && std::abs(y - Trend.GetSplitY()) < 5) Trend.SetSplitDrag(true);
  if (!(m_attr.flags & kRendPageTick) || IsDetailOrDistribution()) return;
  if (button == mbLeft && std::abs(y - Tick.splitY) < 5) Tick.splitDrag = true;
  RECT strip{};
  Tick.GetVolumeRect(&strip);
  if (x > strip.left && x < strip.right && y > strip.top && y < strip.bottom) {
    Tick.tickDrag = true;
    Tick.dragStartX = x;
  }
}

void TRendForm::FormMouseUp(TObject *, TMouseButton, TShiftState, int, int y) {
  const bool tickPage = (m_attr.flags & kRendPageTick) != 0;
  const bool minuteSplit = Trend.IsSplitDrag() && !tickPage;
  const bool tickSplit = Tick.splitDrag && tickPage && !IsDetailOrDistribution();
  if (minuteSplit || tickSplit) {
    RECT p{};
    if (minuteSplit) {
      TRENDRECT t;
      Trend.GetPlotRect(&t);
      p = {t.left, t.top, t.right, t.bottom};
    } else {
      Tick.GetPricePlotRect(&p);
    }
    float share = p.bottom > p.top ? float(y - p.top) / float(p.bottom - p.top) : 0.7f;
    share = std::clamp(share, 0.1f, 0.9f);
    if (minuteSplit)
      Trend.SetPriceRatio(share);
    else
      Tick.ratio = share;
    SetChartPriceRatio(share);
    Trend.SetSplitDrag(false);
    Tick.splitDrag = false;
    Panel1->Invalidate();
    if (Dragging) {
      Dragging = 0;
      RefreshView(true);
    } else {
      RefreshView(false);
    }
    DragLineY = 0;
  }
  Trend.SetSplitDrag(false);
  Tick.splitDrag = false;
  Tick.tickDrag = false;
  Tick.dragStartX = 0;
}

void TRendForm::FormDblClick(TObject *) {
  if (IsDetailOrDistribution()) return;
  if (CrossHairOn) {
    CrossHairOff();
  } else {
    CrossHairOn = true;
    CrossX = CrossY = 0;
  }
}

void TRendForm::CrossHairOff() {
  EraseTrendCrossHair();
  WatchPage->Hide();
  CrossHairOn = false;
}

// ---- Menus and switches --------------------------------------------------------------------

void TRendForm::PopupMenu1Popup(TObject *sender) {
  TDrawView::PopupMenu1Popup(sender);
  H1->Visible = (m_attr.flags & (kRendPageDetail | kRendPageDistribution | kRendPageTick)) == 0;
  if (IsDetailOrDistribution()) {
    Minfm->Visible = Tickfm->Visible = true;
  } else if (m_attr.flags & kRendPageTick) {
    Tickfm->Visible = false;
  } else {
    Minfm->Visible = false;
  }
}

void TRendForm::N7Click(TObject *sender) {
  if (auto *item = dynamic_cast<TMenuItem *>(sender)) item->Checked = true;
  ViewCombination = ViewCombination == 1 ? 2 : 1;
  const float share = ViewCombination == 2 ? 0.7f : 1.0f;
  PaneRatio[0] = share;
  PaneRatio[1] = 1.0 - share;
  Trend.SetPriceRatio(share);
  SetChartPriceRatio(share);
  Tick.ratio = share;
  RefreshView(false);
}

void TRendForm::N16Click(TObject *sender) {
  if (IsIndexInstrument()) return;
  Trend.KeepLastDay();
  TabChooser->Tabs.Clear();
  TabChooser->Tabs.Add("笔");
  bool toMinutes;
  if (auto *c = dynamic_cast<TComponent *>(sender))
    toMinutes = c->Tag == 1;
  else
    toMinutes = (m_attr.flags & kRendPageTick) != 0;
  if (toMinutes) {
    TabChooser->Tabs.Add("价");
    m_attr.flags &= ~uint32_t(kRendPageDetail | kRendPageDistribution | kRendPageTick | kRendPageTickPending);
    if (_TickData *day = Trend.Day(0)) {
      day->date = TrendTradingDate(m_attr.stock);
      day->history = 0;
    }
  } else {
    if (TradeAgent == -1) {
      TradeAgent = AcquireDataAgent(m_attr.stock, kAgentTicks, 0, Handle());
      StringGrid1->Invalidate();
      LayoutDetailList(true);
    }
    m_attr.flags = kRendPageTick;
    Tick.windowStart = -1;
  }
  TabChooser->SetTabIndex(0);
  DestroyOverlays();
  CrossHairOn = false;
  RefreshView(true);
  SyncFrameButtons();
  N13->Visible = N14->Visible = N15->Visible = toMinutes;
}

void TRendForm::N5Click(TObject *sender) {
  TDrawView::N5Click(sender);
  const int panel = Panel1->Visible() ? Panel1->Width() : 0;
  if (ClientWidth() - panel == ChartRect.Width()) return;
  ChartRect = TRect();  // let the resize lay the chart out anew
  FormResize();
}

// ---- The overlay menu ----------------------------------------------------------------------

int TRendForm::OverlayMenuStocks(STKPTR *out) const {
  int n = 0;
  uint16_t indexMarket = kReferenceIndexMarket;
  const STKINFO *index = LookupStock(kReferenceIndexCode, &indexMarket, 0);
  const STKINFO *shown = GetStockInfo(m_attr.stock);
  const bool isIndex = index && indexMarket == m_attr.stock.market && index->index == m_attr.stock.stock;
  if ((shown && IsIndexFutures(m_attr.stock.market, shown->kind)) || isIndex) {
    if (index) out[n++] = STKPTR(indexMarket, 0, index->index);
    const TMarketData *futures = MarketAt(kIndexFuturesMarket);
    for (int i = 0; futures && i < futures->m_loadedCount && n < kRendOverlayMenuLimit; ++i)
      if (futures->m_stocks[i].kind == kIndexFuturesKind) out[n++] = STKPTR(kIndexFuturesMarket, 0, i);
  } else {
    for (COverlappedStock *o = Overlays; o && n < kRendOverlayMenuLimit; o = o->next) out[n++] = o->stock;
  }
  return n;
}

void TRendForm::ShowOverlayMenu() {
  STKPTR stocks[kRendOverlayMenuLimit];
  const int n = OverlayMenuStocks(stocks);
  TPopupMenu menu(this);
  menu.AutoPopup = false;
  auto add = [&](const std::string &caption, bool checked, TNotifyEvent click) {
    auto *it = new TMenuItem(&menu);
    it->Caption = caption;
    it->Checked = checked;
    it->OnClick = std::move(click);
    menu.Items()->Add(it);
    return it;
  };
  for (int i = 0; i < n; ++i) {
    const STKINFO *info = GetStockInfo(stocks[i]);
    bool overlay = false;
    for (COverlappedStock *o = Overlays; o; o = o->next) overlay = overlay || SameStock(o->stock, stocks[i]);
    add(info ? std::string(info->name, strnlen(info->name, sizeof info->name)) : std::string(), overlay,
        [this, stock = stocks[i], overlay](TObject *) {
          if (!overlay) {
            AddOverlay(stock, true);
            return;
          }
          COverlappedStock **link = &Overlays;
          while (*link && !(SameStock((*link)->stock, stock))) link = &(*link)->next;
          if (!*link) return;
          COverlappedStock *node = *link;
          *link = node->next;
          node->next = nullptr;
          COverlappedStock::ReleaseAgents(node, Handle());
          delete node;
          HasOverlays = Overlays != nullptr;
          SubscribeAgents(0);
          RefreshView(true);
          if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
        });
  }
  if (n > 0) add("-", false, nullptr);
  add("选择商品 (&S)", false, [this](TObject *s) { N13Click(s); });
  TMenuItem *cancel = add("取消叠加 (&C)", false, [this](TObject *s) { N15Click(s); });
  cancel->Enabled = OverlaysShown();
  CursorKind = 0;
  POINT at{OverlayButtonRect.Left, OverlayButtonRect.Bottom};
  ::ClientToScreen(Handle(), &at);
  menu.Popup(at.x, at.y);
}
