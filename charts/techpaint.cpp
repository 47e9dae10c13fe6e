// Painting the K-line chart into the view's off-screen bitmap: background,
// frame, title, marked interval, markers, time labels and every window's
// formulas through the indicator painter.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "charts/techform.h"
#include "core/chartgfx.h"
#include "core/datetime.h"
#include "formula/indexpaint.h"
#include "formula/kvindex.h"
#include "market/barseries.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "platform/gbk.h"
#include "platform/gdi.h"
#include "views/viewdisplay.h"

using platform::GbkCopyCut;

namespace {

// Value margins of the main window: 2 % (at least 7 px) at the screen's
// top, 3 % (at least 14 px) at its bottom; an empty range is [0, 0.0001].
void AddMargins(double &lo, double &hi, int h, bool inverted) {
  double top = 0.02, bottom = 0.03;
  if (h > 0) {
    if (h * top < 7) top = 7.0 / h;
    if (h * bottom < 14) bottom = 14.0 / h;
  }
  if (top + bottom >= 1) top = bottom = 0;
  const double a = inverted ? bottom : top;  // the high end's fraction
  const double b = inverted ? top : bottom;
  const double k = (hi - lo) / (1 - a - b);
  hi += a * k;
  lo -= b * k;
}

int TextWidth(HDC dc, const std::string &text) {
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &s);
  return s.cx;
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

bool IsDateTime(uint32_t t) {
  return PackedMonth(t) >= 1 && PackedMonth(t) <= 12 && PackedDay(t) >= 1 && PackedHour(t) <= 23 &&
         PackedMinute(t) <= 59;
}

uint32_t NextMinute(uint32_t t) {
  if (PackedMinute(t) < 59) return t + 1;
  if (PackedHour(t) < 23) return (t & ~0x7FFu) | ((PackedHour(t) + 1) << 6);
  return PackedNextDay(t & kPackedDateMask);
}

uint32_t DateNumber(uint32_t t) { return PackedYear(t) * 10000 + PackedMonth(t) * 100 + PackedDay(t); }

}  // namespace

void TTechForm::DrawChart() {
  if (m_attr.flags & 2) return;  // the bar value grid replaces the chart
  if (!dib.m_hBitmap) return;
  HDC screen = GetDC(Handle());
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(Handle(), screen);
  HGDIOBJ oldBitmap = SelectObject(dc, dib.m_hBitmap);
  dib.m_hDC = dc;
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &chartRect, back);
  DeleteObject(back);
  titleWidth = 0;
  stockInfo = GetStockInfo(m_attr.stock);
  if (!stockInfo) {
    dib.m_hDC = nullptr;
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    return;
  }
  SetBkMode(dc, TRANSPARENT);
  const COLORREF oldText = GetTextColor(dc);
  const uint32_t flags = m_attr.displayFlags;
  const bool scaleAbsent = flags & 0x20, scaleRight = !scaleAbsent && (flags & 0x40);
  {
    HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(14));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const bool panelLeft = Panel1->Visible() && (flags & 4);
    if (panelLeft) Line(dc, chartRect.left, chartRect.top, chartRect.left, chartRect.bottom);
    Line(dc, chartRect.left, chartRect.top + 18, chartRect.right, chartRect.top + 18);
    Line(dc, chartRect.left, chartRect.bottom - 16, chartRect.right, chartRect.bottom - 16);
    if (!scaleAbsent) {
      const int x = scaleRight ? chartRect.right - scaleWidth : chartRect.left + scaleWidth;
      Line(dc, x, chartRect.top + 18, x, chartRect.bottom);
    }
    if (Panel1->Visible() && !panelLeft)
      Line(dc, chartRect.right - 1, chartRect.top, chartRect.right - 1, chartRect.bottom - 2);
    for (uint32_t i = 0; i + 1 < windowCount; ++i)
      Line(dc, chartRect.left, windowRects[i].bottom, chartRect.right, windowRects[i].bottom);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  const std::string periodText = KLinePeriodText(m_attr.period, PeriodCount());
  {
    HFONT font = CreateViewFont(ViewFont(16), 0, false);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, ViewColor(30));
    char name[16] = {}, code[16] = {};
    GbkCopyCut(stockInfo->name, sizeof stockInfo->name, name, sizeof name);
    GbkCopyCut(stockInfo->code, sizeof stockInfo->code, code, sizeof code);
    char title[128];
    const int mode = ExRightsMode();
    if (mode) std::snprintf(title, sizeof title, "%s(%s)<%s %s>", name, code, periodText.c_str(), mode == 1 ? "前复权" : "后复权");
    else std::snprintf(title, sizeof title, "%s(%s)<%s>", name, code, periodText.c_str());
    TextOutA(dc, chartRect.left + 2, 3, title, int(std::strlen(title)));
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DrawOverlayLink(dc);
  }
  HFONT axisFont = CreateViewFont(ViewFont(7), 0, false);
  HGDIOBJ oldFont = SelectObject(dc, axisFont);
  SetTextColor(dc, ViewColor(30));
  {
    const int w = TextWidth(dc, periodText);
    const int x = scaleRight ? chartRect.right - scaleWidth + 4 : chartRect.left + scaleWidth - 4 - w;
    TextOutA(dc, x, chartRect.bottom - 16 + 2, periodText.c_str(), int(periodText.size()));
  }
  cursorBar = -1;
  if (timeCount > 0 && barTimes) {
    const uint32_t first = FirstVisibleBar();
    const uint32_t visible = uint32_t(std::max(0.0, double(PlotWidth()) / KLinePitch(zoomLevel)));
    const uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(first) + visible, timeCount));
    PaintWindows(dc, first, visible);
    if (zoneStart && zoneEnd && windowRects[0].bottom - windowRects[0].top > 41) PaintZone(dc, first);
    PaintMarkers(dc, first, end);
    PaintTimeLabels(dc, first, end);
    if (crossHair && mouseX >= chartRect.left + ScaleLeft() && mouseX < chartRect.right - ScaleRight() &&
        mouseY >= chartRect.top + 18 && mouseY < chartRect.bottom - 16) {
      const int64_t c = int64_t(first) + int64_t(double(mouseX - chartRect.left - ScaleLeft()) / KLinePitch(zoomLevel));
      cursorBar = c < int64_t(timeCount) ? int32_t(c) : -1;
    }
  }
  SelectObject(dc, oldFont);
  DeleteObject(axisFont);
  DrawQuoteLine(dc);
  DrawLegends(dc, false);
  DrawDragLine(dc);
  SetTextColor(dc, oldText);
  dib.m_hDC = nullptr;
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  RefreshLineMappings();
}

void TTechForm::PaintWindows(HDC dc, uint32_t first, uint32_t visible) {
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  const IndexWindow window{first, visible, barTimes, timeCount, bars, barCount};
  const int sL = ScaleLeft(), sR = ScaleRight();
  const bool scaleAbsent = m_attr.displayFlags & 0x20;
  auto plotOf = [&](int i) {
    const RECT &r = windowRects[i];
    return RECT{r.left + sL, r.top, r.right - sR, r.bottom - 3};
  };
  auto scaleOf = [&](int i) {
    const RECT p = plotOf(i);
    const RECT &r = windowRects[i];
    if (scaleAbsent) return RECT{r.left, p.top, r.left, p.bottom};
    if (sR) return RECT{r.right - scaleWidth, p.top, r.right, p.bottom};
    return RECT{r.left, p.top, r.left + scaleWidth, p.bottom};
  };
  const bool inv0 = WindowInverted(0), invSub = WindowInverted(1);
  const bool spread = SpreadAnalysis();
  // Background statements of every window come first.
  if (windows[0] && !spread) {
    RECT r = plotOf(0);
    r.bottom += 3;
    windows[0]->PaintBackground(dc, ownerCode, kind, count, stockInfo, r, window, inv0, overlays ? 0 : 1);
  }
  for (uint32_t i = 1; i < windowCount; ++i) {
    if (!windows[i] || !windows[i]->calcCount) continue;
    RECT r = plotOf(int(i));
    r.bottom += 3;
    windows[i]->PaintBackground(dc, ownerCode, kind, count, stockInfo, r, window, invSub, 1);
  }
  const bool aa = !axisDrag && !(PaintFlags & kPaintForPrint);
  const double factor = ConvertedPrices ? PriceMultiplier : 1.0;
  if (CKvIndex *main = windows[0]) {
    const RECT plot = plotOf(0), scale = scaleOf(0);
    const int h = plot.bottom - plot.top - kKLineLegendHeight;
    double lo = 0, hi = 0;
    bool ok = main->calcCount > 0 && main->GetValueRange(plot, window, &lo, &hi, inv0, overlays ? 0 : 1);
    const bool relative = overlays && overlays->ownScale;
    for (COverlappedStock *n = spread ? nullptr : overlays; n; n = n->next) {
      const CDataAgent *a = DataAgentAt(n->agent);
      const IndexWindow w{first, visible, barTimes, timeCount, a ? a->Bars() : nullptr,
                          a && a->Bars() ? uint32_t(a->itemCount) : 0};
      double nlo = 0, nhi = 0;
      const bool got = n->indicator && n->indicator->calcCount > 0 &&
                       n->indicator->GetValueRange(plot, w, &nlo, &nhi, inv0, 0);
      if (got && !relative) {
        lo = ok ? std::min(lo, nlo) : nlo;
        hi = ok ? std::max(hi, nhi) : nhi;
        ok = true;
      } else if (relative) {
        if (got) AddMargins(nlo, nhi, h, inv0);
        else nlo = 0, nhi = 0.0001;
        n->low = nlo;
        n->high = nhi;
      }
    }
    if (ok) AddMargins(lo, hi, h, inv0);
    else lo = 0, hi = 0.0001;
    if (!relative)
      for (COverlappedStock *n = spread ? nullptr : overlays; n; n = n->next) n->low = lo, n->high = hi;
    windowRanges[0][0] = lo;
    windowRanges[0][1] = hi;
    double base = 0;
    const bool percent = P1 && P1->Checked;
    if (percent) {
      base = lo;
      for (uint32_t i = first; i < first + visible && i < timeCount; ++i) {
        const int b = FindBarByTime(bars, int(barCount), barTimes[i]);
        if (b >= 0) {
          base = double(bars[b].open) / double(stockInfo->PriceDivisor());
          break;
        }
      }
    }
    main->PaintScale(&dib, plot, scale, lo, hi, base, percent ? 1 : 0, sR ? 0 : 1, inv0, factor);
    for (COverlappedStock *n = spread ? nullptr : overlays; n; n = n->next) {
      if (!n->indicator || !n->indicator->calcCount || !n->indicator->name[0]) continue;
      const CDataAgent *a = DataAgentAt(n->agent);
      const IndexWindow w{first, visible, barTimes, timeCount, a ? a->Bars() : nullptr,
                          a && a->Bars() ? uint32_t(a->itemCount) : 0};
      n->indicator->Paint(&dib, plot, w, KLineBarWidth(zoomLevel), KLineBarGap(zoomLevel), n->low, n->high, inv0, 1.0,
                          0, aa, nullptr, 0, nullptr, 0, 0, 0);
    }
    const bool marks = !(m_attr.displayFlags & 0x4000);
    const REALQUOTE *quote = nullptr;
    if (const TMarketData *m = MarketAt(m_attr.stock.market))
      if (m->m_quotes && m_attr.stock.stock < m->m_loadedCount) quote = &m->m_quotes[m_attr.stock.stock];
    const double last = quote ? double(quote->last) / double(stockInfo->PriceDivisor()) : 0;
    main->Paint(&dib, plot, window, KLineBarWidth(zoomLevel), KLineBarGap(zoomLevel), lo, hi, inv0, factor,
                overlays ? 0 : 1, aa,
                marks ? reinterpret_cast<const IndexPositionMark *>(TradeMarkPositions) : nullptr,
                marks ? kTradeMarkCount : 0, marks ? reinterpret_cast<const IndexOrderMark *>(TradeMarkOrders) : nullptr,
                marks ? kTradeMarkCount : 0, last, 0);
  }
  for (uint32_t i = 1; i < windowCount; ++i) {
    CKvIndex *f = windows[i];
    const RECT plot = plotOf(int(i)), scale = scaleOf(int(i));
    double lo = 0, hi = 0;
    if (f && f->calcCount > 0 && f->GetValueRange(plot, window, &lo, &hi, invSub, 1)) {
      windowRanges[i][0] = lo;
      windowRanges[i][1] = hi;
      f->PaintScale(&dib, plot, scale, lo, hi, 0, 0, sR ? 0 : 1, invSub, 1.0);
      f->Paint(&dib, plot, window, KLineBarWidth(zoomLevel), KLineBarGap(zoomLevel), lo, hi, invSub, 1.0, 1, aa,
               nullptr, 0, nullptr, 0, 0, 0);
    } else {
      windowRanges[i][0] = 0;
      windowRanges[i][1] = 0.0001;
    }
  }
}

void TTechForm::PaintZone(HDC dc, uint32_t first) {
  // Both ends are found on the time axis, so overlays that add times keep
  // the interval on its bars.
  const int i1 = FindUIntSorted(barTimes, int(timeCount), *zoneStart);
  const int i2 = FindUIntSorted(barTimes, int(timeCount), *zoneEnd);
  if (i1 < 0 || i2 < 0) return;
  const double w = KLineBarWidth(zoomLevel), g = KLineBarGap(zoomLevel), p = w + g;
  const RECT &r = windowRects[0];
  const int left = r.left + ScaleLeft();
  const int x1 = int((i1 - int64_t(first)) * p + left + w / 2 + g);
  const int x2 = int((i2 - int64_t(first)) * p + left + w / 2 + g);
  const int spanRight = r.right - (ScaleRight() ? ScaleRight() : 1);
  HPEN pen = CreatePen(PS_DOT, 1, ViewColor(33));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  if (x1 >= left) Line(dc, x1, r.top + 26, x1, r.bottom - 15);
  if (x2 < spanRight) Line(dc, x2, r.top + 26, x2, r.bottom - 15);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  const int a = std::max(x1, left), b = std::min(x2, spanRight);
  const int width = b - a - 1, height = r.bottom - r.top - 41;
  if (width <= 0 || height <= 0) return;
  const COLORREF bg = ViewColor(1);
  const bool dark = 299 * GetRValue(bg) + 587 * GetGValue(bg) + 114 * GetBValue(bg) <= 127000;
  HDC tint = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = SelectObject(tint, bitmap);
  HBRUSH brush = CreateSolidBrush(dark ? RGB(0, 0, 255) : RGB(255, 255, 0));
  RECT all{0, 0, width, height};
  FillRect(tint, &all, brush);
  DeleteObject(brush);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 85, 0};
  AlphaBlend(dc, a + 1, r.top + 26, width, height, tint, 0, 0, width, height, blend);
  SelectObject(tint, old);
  DeleteObject(bitmap);
  DeleteDC(tint);
}

void TTechForm::PaintMarkers(HDC dc, uint32_t first, uint32_t end) {
  if (!weightCount && !infoIndexCount) return;
  const bool day = KLineDayPeriod(m_attr.period);
  const COLORREF colour = ViewColor(20);
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  for (uint32_t i = first; i < end; ++i) {
    uint32_t cur = barTimes[i], prev = i > 0 ? barTimes[i - 1] : barTimes[i];
    if (day) {
      prev &= kPackedDateMask;
      if (i > 0) prev = PackedNextDay(prev);
      cur = (cur & kPackedDateMask) | (23u << 6) | 59u;
    } else if (i > 0 && IsDateTime(prev)) {
      prev = NextMinute(prev);
    }
    const int x = BarCentre(i);
    if (HasWeightInSpan(weights, weightCount, prev, cur)) {
      const int b = windowRects[0].bottom;
      static const int kLengths[7] = {1, 3, 5, 6, 5, 3, 1};
      for (int k = 0; k < 7; ++k) Line(dc, x - 3 + k, b - 3, x - 3 + k, b - 3 - kLengths[k]);
    }
    if (FindInfoMarker(infoIndex, infoIndexCount, DateNumber(prev), DateNumber(cur)) != -1) {
      const int t = windowRects[0].top + 17 + 1;
      for (int yy = t; yy <= t + 4; ++yy)
        for (int xx = x - 2; xx <= x + 2; ++xx) PutDibPixel(&dib, xx, yy, colour);
      const int dots[8][2] = {{-3, -1}, {0, -1}, {3, -1}, {-3, 2}, {3, 2}, {-3, 5}, {0, 5}, {3, 5}};
      for (const auto &d : dots) PutDibPixel(&dib, x + d[0], t + d[1], colour);
    }
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void TTechForm::PaintTimeLabels(HDC dc, uint32_t first, uint32_t end) {
  if (end <= first + 1) return;
  std::vector<uint32_t> local(barTimes + first, barTimes + end);
  const STKINFO *info = stockInfo;
  for (uint32_t &t : local) MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, info ? info->kind : 0, &t);
  const auto labels = KLineTimeLabels(
      local.data(), 0, uint32_t(local.size()), KLineDayPeriod(m_attr.period), chartRect.left + ScaleLeft(),
      chartRect.right - ScaleRight(), [&](uint32_t i) { return BarCentre(first + i); },
      [&](const std::string &text) { return TextWidth(dc, text); });
  for (const KLineTimeLabel &l : labels)
    TextOutA(dc, l.x, chartRect.bottom - 16 + 2, l.text.c_str(), int(l.text.size()));
}
