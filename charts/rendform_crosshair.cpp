// The intraday view's cross-hair: lines XOR-drawn into the chart bitmap
// with only their 3-pixel strips copied to the window, and two label boxes
// (the value at the right axis, the time under the chart) shown on the
// window and taken away by copying the chart back under them. Also the tick
// chart's read-out for the trade under the mouse.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "charts/rendform.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "views/viewdisplay.h"

namespace {

constexpr int kCrossBoxWidth = 80, kCrossBoxHeight = 30;

// The label colours: blue boxes with white text on a dark chart, the
// reverse on a light one.
bool CrossDarkBackground() {
  const COLORREF c = ViewColor(1);
  return 299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c) < 127001;
}

}  // namespace

TRect TRendForm::CrossPlotRect() const {
  if (m_attr.flags & kRendPageTick) {
    RECT price{}, volume{};
    Tick.GetPricePlotRect(&price);
    Tick.GetVolumePlotRect(&volume);
    return TRect(price.left, price.top, price.right, std::max(price.bottom, volume.bottom));
  }
  TRENDRECT p;
  const_cast<CMultiTrend &>(Trend).GetPlotRect(&p);
  return TRect(p.left, p.top, p.right, p.bottom);
}

void TRendForm::MoveCrossHair(int x, int y, const char *value, const char *time, int right, int bottom) {
  if (!HandleAllocated() || !ChartBitmap) return;
  CrossCopies.clear();
  const TRect plot = CrossPlotRect();
  HDC window = GetDC(Handle());
  HDC mem = CreateCompatibleDC(window);
  HGDIOBJ oldBitmap = SelectObject(mem, ChartBitmap);
  const int oldRop = SetROP2(mem, R2_NOT);
  auto lines = [&](int cx, int cy) {
    MoveToEx(mem, plot.Left, cy, nullptr);
    LineTo(mem, plot.Right, cy);
    MoveToEx(mem, cx, plot.Top, nullptr);
    LineTo(mem, cx, plot.Bottom);
  };
  auto strips = [&](int cx, int cy) {
    const TRect across(plot.Left, cy - 1, plot.Right, cy + 2), down(cx - 1, plot.Top, cx + 2, plot.Bottom);
    for (const TRect &r : {across, down}) {
      BitBlt(window, r.Left, r.Top, r.Width(), r.Height(), mem, r.Left, r.Top, SRCCOPY);
      CrossCopies.push_back(r);
    }
  };
  const bool had = CrossLinesInBitmap && (CrossX != 0 || CrossY != 0);
  if (had) lines(CrossX, CrossY);
  lines(x, y);
  SetROP2(mem, oldRop);
  if (had) strips(CrossX, CrossY);
  strips(x, y);
  SelectObject(mem, oldBitmap);
  DeleteDC(mem);
  ReleaseDC(Handle(), window);
  CrossLinesInBitmap = true;
  // The boxes follow (ShowCrossLabels takes the old ones away and keeps x, y).
  ShowCrossLabels(x, y, value, time, right, bottom);
}

void TRendForm::ShowCrossLabels(int x, int y, const char *value, const char *time, int right, int bottom) {
  if (!HandleAllocated() || !ChartBitmap) return;
  HDC window = GetDC(Handle());
  HDC mem = CreateCompatibleDC(window);
  HGDIOBJ oldBitmap = SelectObject(mem, ChartBitmap);
  HGDIOBJ oldFont = SelectObject(mem, CrossLabelFont.Get(10));
  SIZE timeSize{};
  if (time) GetTextExtentPoint32A(mem, time, int(std::strlen(time)), &timeSize);
  // The old boxes' places, restored from the chart.
  if (CrossX != 0 || CrossY != 0) {
    const TRect areas[2] = {TRect(right - kCrossBoxWidth, CrossY - kCrossBoxHeight, right, CrossY),
                            TRect(CrossX - int(timeSize.cx) - 50, bottom + 1, CrossX - int(timeSize.cx) + 250,
                                  bottom + 1 + kCrossBoxHeight)};
    for (const TRect &r : areas) {
      BitBlt(window, r.Left, r.Top, r.Width(), r.Height(), mem, r.Left, r.Top, SRCCOPY);
      CrossCopies.push_back(r);
    }
  }
  SelectObject(mem, oldBitmap);

  const bool dark = CrossDarkBackground();
  const COLORREF fill = dark ? 0xFF6100 : 0xFFFFFF, ink = dark ? 0xFFFFFF : 0xFF6100;
  auto box = [&](HBITMAP &bitmap, const char *text, int extraHeight, int *w, int *h) {
    if (!bitmap) bitmap = CreateCompatibleBitmap(window, kCrossBoxWidth, kCrossBoxHeight);
    SelectObject(mem, bitmap);
    SIZE s{};
    const int n = text ? int(std::strlen(text)) : 0;
    GetTextExtentPoint32A(mem, text ? text : "", n, &s);
    *w = std::min(int(s.cx) + 4, kCrossBoxWidth);
    *h = std::min(int(s.cy) + extraHeight, kCrossBoxHeight);
    RECT r{0, 0, *w, *h};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(mem, &r, brush);
    DeleteObject(brush);
    HBRUSH frame = CreateSolidBrush(ink);
    FrameRect(mem, &r, frame);
    DeleteObject(frame);
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, ink);
    TextOutA(mem, 2, 2, text ? text : "", n);
  };
  int w = 0, h = 0;
  int axis = 0;
  if (m_attr.flags & kRendPageTick) {
    axis = Tick.rightMargin;
  } else {
    axis = AxisRight;
  }
  if (value && *value) {
    box(CrossPriceBitmap, value, 4, &w, &h);
    BitBlt(window, right - axis, y - h, w, h, mem, 0, 0, SRCCOPY);
    CrossCopies.push_back(TRect(right - axis, y - h, right - axis + w, y));
  }
  if (time && *time) {
    box(CrossTimeBitmap, time, 3, &w, &h);
    int left = x;
    if (left + w >= right) left = right - w;
    BitBlt(window, left, bottom + 1, w, h, mem, 0, 0, SRCCOPY);
    CrossCopies.push_back(TRect(left, bottom + 1, left + w, bottom + 1 + h));
  }
  SelectObject(mem, oldFont);
  DeleteDC(mem);
  ReleaseDC(Handle(), window);
  CrossX = x;
  CrossY = y;
}

void TRendForm::EraseTrendCrossHair() {
  if (CrossLinesInBitmap && HandleAllocated() && ChartBitmap) {
    const TRect plot = CrossPlotRect();
    HDC window = GetDC(Handle());
    HDC mem = CreateCompatibleDC(window);
    HGDIOBJ oldBitmap = SelectObject(mem, ChartBitmap);
    const int oldRop = SetROP2(mem, R2_NOT);
    MoveToEx(mem, plot.Left, CrossY, nullptr);
    LineTo(mem, plot.Right, CrossY);
    MoveToEx(mem, CrossX, plot.Top, nullptr);
    LineTo(mem, CrossX, plot.Bottom);
    SetROP2(mem, oldRop);
    SelectObject(mem, oldBitmap);
    DeleteDC(mem);
    ReleaseDC(Handle(), window);
    CrossLinesInBitmap = false;
  }
  CopyChartToWindow();
  CrossX = CrossY = 0;
}

void TRendForm::TrackTickCursor(int x, int y, const TICKREC *tick, bool atCursor) {
  if (CrossHairOn) {
    WatchPage->Show();
    UpdateTickWatchPage(x, tick);
  } else {
    WatchPage->Hide();
  }
  const TRect p = CrossPlotRect();
  if (p.Top <= y && y <= p.Bottom && p.Left < x && x <= p.Right) {
    RECT volume{};
    Tick.GetVolumePlotRect(&volume);
    char value[32] = {}, time[32] = {}, format[16];
    const int decimals = std::clamp(ConvertedPrices ? ConvertedDecimals : int(Tick.decimals), 0, 9);
    if (y < volume.top) {
      const int units = std::max(Tick.YToPrice(y, atCursor), 0);
      const double factor = ConvertedPrices ? PriceMultiplier : 1.0;
      const double step = atCursor ? 1.0 : double(GetPriceUnit(Tick.divisor, Tick.decimals));
      std::snprintf(format, sizeof format, "%%6.%df", decimals);
      std::snprintf(value, sizeof value, format, units * step * factor / double(Tick.divisor ? Tick.divisor : 1));
    } else {
      const int v = Tick.YToVolume(y);
      if (v >= 0) std::snprintf(value, sizeof value, "%d", v);
    }
    if (tick) {
      PackedDateTime t = tick->time;
      MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, StockKindOf(MarketOf(m_attr.stock), m_attr.stock.stock),
                        &t);
      std::snprintf(time, sizeof time, CrossHairOn ? "%02u-%02u %02u:%02u" : "%02u/%02u %02u:%02u",
                    PackedMonth(t) % 100, PackedDay(t) % 100, PackedHour(t) % 100, PackedMinute(t) % 100);
    }
    const char *v = value;
    while (*v == ' ') ++v;
    if (CrossHairOn)
      MoveCrossHair(x, y, v, time, ChartRect.Right, ChartRect.Bottom - Tick.vb);
    else
      ShowCrossLabels(x, y, v, time, ChartRect.Right, ChartRect.Bottom - Tick.vb);
  }
  // The price/volume split: its line follows a drag across the whole chart.
  if (std::abs(y - Tick.splitY) < 5 || Tick.splitDrag) {
    CursorKind = 1;
    if (Tick.splitDrag) {
      XorHLines(y, true);
      Dragging = 1;
      DragLineY = y;
    }
  } else {
    CursorKind = 0;
  }
  // The time strip under the volume pane: dragging it scrolls the window,
  // one trade per zoom step the mouse moved (left shows newer trades).
  RECT strip{};
  Tick.GetVolumeRect(&strip);
  if ((x > strip.left && x < strip.right && y > strip.top && y < strip.bottom) || Tick.tickDrag) {
    CursorKind = 2;
    const int k = Tick.tickDrag && Tick.zoom > 0 ? int((Tick.dragStartX - x) / Tick.zoom) : 0;
    if (k != 0) {
      const int count = Tick.GetTickCount();
      int start = std::max(Tick.windowStart, 0) + k;
      if (start < 0) start = 0;
      if (start >= count) start = std::max(count - 1, 0);
      Tick.windowStart = start;
      // The rest of a step stays with the drag; the refresh's own mouse
      // move comes from where the mouse is now and moves nothing.
      Tick.dragStartX -= int(k * Tick.zoom);
      MouseX = x;
      MouseY = y;
      RefreshView(false);
    }
  }
}

void TRendForm::UpdateTickWatchPage(int x, const TICKREC *tick) {
  // Captions, places and the "------" of every value first.
  UpdateWatchPage(x, nullptr, false, false);
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const TMarketData *market = MarketOf(m_attr.stock);
  if (!tick || !info || !market) return;
  const int type = market->m_info.type;
  const double divisor = info->PriceDivisor(), unit = info->VolumeUnit();
  const double reference = market->m_quotes[m_attr.stock.stock].refPrice;
  auto colour = [&](double v) {
    if (v == 0 || v == reference) return ViewColor(20);
    return v > reference ? ViewColor(21) : ViewColor(19);
  };
  char format[16], text[48];
  std::snprintf(format, sizeof format, "%%-8.%df", std::clamp(ConvertedPrices ? ConvertedDecimals : int(info->decimals), 0, 9));
  PackedDateTime dt = tick->time;
  MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, info->kind, &dt);
  std::snprintf(text, sizeof text, "%u%02u%02u", PackedYear(dt), PackedMonth(dt) % 100, PackedDay(dt) % 100);
  WatchLabels[6]->SetCaption(text);
  std::snprintf(text, sizeof text, "%02u:%02u", PackedHour(dt) % 100, PackedMinute(dt) % 100);
  WatchLabels[13]->SetCaption(text);
  std::snprintf(text, sizeof text, format, tick->price / divisor);
  WatchLabels[7]->SetCaption(text);
  WatchLabels[7]->Font()->SetColor(TColor(colour(tick->price)));
  const double delta = double(tick->price) - reference;
  const COLORREF deltaColour = delta > 0 ? ViewColor(21) : delta < 0 ? ViewColor(19) : ViewColor(20);
  std::snprintf(text, sizeof text, format, delta / divisor);
  WatchLabels[8]->SetCaption(text);
  WatchLabels[8]->Font()->SetColor(TColor(deltaColour));
  std::snprintf(text, sizeof text, "%+.2f%%", reference != 0 ? delta * 100 / reference : 0.0);
  WatchLabels[17]->SetCaption(text);
  WatchLabels[17]->Font()->SetColor(TColor(deltaColour));
  std::snprintf(text, sizeof text, "%-.0f", tick->volume / unit);
  WatchLabels[9]->SetCaption(text);
  const double average = Tick.GetAveragePriceAtX(x);
  std::snprintf(text, sizeof text, format, average / divisor);
  WatchLabels[10]->SetCaption(text);
  WatchLabels[10]->Font()->SetColor(TColor(colour(std::trunc(average))));
  if (type == 1 || type == 3 || type == 4 || type == 6)
    std::snprintf(text, sizeof text, "------");
  else
    std::snprintf(text, sizeof text, "%-.0f", double(tick->amount));
  WatchLabels[12]->SetCaption(text);
}
