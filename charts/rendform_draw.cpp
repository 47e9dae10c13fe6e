// The minute-trend chart of the intraday view: the off-screen bitmap, the
// axis measure, every day's grids, lines, bars and marks, the title, the
// legends and the quote text of the caption line.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charts/intradaymarkets.h"
#include "charts/rendform.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "platform/winuser.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

namespace {


int TextWidth(HDC dc, const char *text) {
  SIZE s{};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
  return int(s.cx);
}

void PutText(HDC dc, int x, int y, const char *text) { TextOutA(dc, x, y, text, int(std::strlen(text))); }

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

std::string Field(const char *bytes, size_t size) { return std::string(bytes, strnlen(bytes, size)); }

// The time of a point plus one minute equals the next point's time.
bool Consecutive(const TRENDPOINT &a, const TRENDPOINT &b) {
  int minute = a.minute + 1, hour = a.hour;
  if (minute >= 60) {
    minute -= 60;
    ++hour;
  }
  return (hour % 24) == (b.hour % 24) && minute == b.minute;
}

// Points joined by segments; a flat last segment is one pixel longer and,
// with overlays shown, a gap in time is drawn as a step.
void PolyTrend(HDC dc, const TRENDPOINT *p, int n, const TRENDPOINT *times, bool steps) {
  if (n == 1) {
    LineTo(dc, p[0].x, p[0].y);
    MoveToEx(dc, p[0].x, p[0].y, nullptr);
    LineTo(dc, p[0].x + 1, p[0].y);
    return;
  }
  for (int k = 1; k < n; ++k) {
    MoveToEx(dc, p[k - 1].x, p[k - 1].y, nullptr);
    if (k == n - 1 && p[k - 1].y == p[k].y) {
      LineTo(dc, p[k].x + 1, p[k].y);
      continue;
    }
    if (steps && times && !Consecutive(times[k - 1], times[k])) LineTo(dc, p[k].x, p[k - 1].y);
    LineTo(dc, p[k].x, p[k].y);
  }
}

COLORREF PriceColor(double value, double reference) {
  if (value == 0 || value == reference) return ViewColor(20);
  return value > reference ? ViewColor(21) : ViewColor(19);
}

}  // namespace

// ---- The bitmap ----------------------------------------------------------------------------

void TRendForm::FormResize(TObject *sender) {
  TDrawView::FormResize(sender);
  if (IsDetailOrDistribution() && m_cmdBox && m_cmdBox->m_hWnd) ShowWindow(m_cmdBox->m_hWnd, SW_HIDE);
  const int panel = Panel1->Visible() ? Panel1->Width() : 0;
  const int cw = ClientWidth(), ch = ClientHeight();
  if (!(cw - panel == ChartRect.Width() && ch == ChartRect.Height() && ChartBitmap)) {
    const int left = Panel1->Visible() && Panel1->Align() == alLeft ? Panel1->Width() : 0;
    ChartRect = TRect(left, 0, cw - panel + left, ch);
    int y = ChartRect.Top + kRendCaptionHeight;
    for (uint32_t i = 0; i + 1 < ViewCombination && i < 1; ++i) {
      const int next = int((ChartRect.Height() - kRendCaptionHeight - kRendTimeAxisHeight) * PaneRatio[i]) + y;
      PaneRect[i] = TRect(ChartRect.Left, y, ChartRect.Right, next);
      y = next;
    }
    PaneRect[std::min<uint32_t>(ViewCombination, 2) - 1] =
        TRect(ChartRect.Left, y, ChartRect.Right, ChartRect.Bottom - kRendTimeAxisHeight);
    if (ChartBitmap) DeleteObject(ChartBitmap);
    HDC screen = GetDC(nullptr);
    ChartBitmap = CreateCompatibleBitmap(screen, std::max<int>(ChartRect.Right, 1), std::max<int>(ChartRect.Bottom, 1));
    ReleaseDC(nullptr, screen);
    WatchPage->SetLeft(ChartRect.Left + 1);
  }
  if (Tick.windowStart < 0) Tick.windowStart = -1;
  RefreshView(false);
}

void TRendForm::Paint() {
  if (!ChartBitmap) {
    TDrawView::Paint();
    return;
  }
  FormPaint(this);
  ViewPainted = true;
}

void TRendForm::FormPaint(TObject *) {
  if (!ChartBitmap) return;
  CopyChart(Canvas()->Handle());
  CrossX = CrossY = 0;
  CrossHairShown = false;
}

void TRendForm::MeasureTrendAxes() {
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ oldBitmap = ChartBitmap ? SelectObject(mem, ChartBitmap) : nullptr;
  HFONT axis = CreateViewFont(ViewFont(6), 0, false), time = CreateViewFont(ViewFont(7), 0, false);
  HGDIOBJ oldFont = SelectObject(mem, axis);
  AxisLeft = TextWidth(mem, "88888.88");
  AxisRight = TextWidth(mem, "-100.00%");
  SelectObject(mem, time);
  TimeLabelWidth = TextWidth(mem, "88:88");
  SelectObject(mem, oldFont);
  DeleteObject(axis);
  DeleteObject(time);
  if (oldBitmap) SelectObject(mem, oldBitmap);
  DeleteDC(mem);
  if (AxisLeft + AxisRight >= ChartRect.Width() - 10) AxisRight = 2;
  Trend.SetChartRect({ChartRect.Left, ChartRect.Top, ChartRect.Right, ChartRect.Bottom});
  Trend.Layout(m_attr, AxisLeft, AxisRight, kRendCaptionHeight, TimeLabelWidth, kRendTimeAxisHeight);
  PriceAxisTop = int32_t(Trend.GetMaxPrice());
  PriceAxisBottom = int32_t(Trend.GetMinPrice());
}

// ---- The chart -----------------------------------------------------------------------------

HDC TRendForm::BeginChartDC(HGDIOBJ *oldBitmap) {
  HDC mem = CreateCompatibleDC(nullptr);
  *oldBitmap = SelectObject(mem, ChartBitmap);
  CrossLinesInBitmap = false;
  RECT chart = ChartRect;
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(mem, &chart, back);
  DeleteObject(back);
  return mem;
}

void TRendForm::DrawTrendChart() {
  if (!ChartBitmap) return;
  HGDIOBJ oldBitmap;
  HDC mem = BeginChartDC(&oldBitmap);
  QuoteTextEnd = 0;
  const int oldMode = SetBkMode(mem, TRANSPARENT);
  HFONT main = CreateViewFont(ViewFont(16), 0, false);
  HGDIOBJ oldFont = SelectObject(mem, main);
  const COLORREF oldColor = SetTextColor(mem, ViewColor(21));
  HGDIOBJ oldPen = SelectObject(mem, GetStockObject(BLACK_PEN));
  const uint32_t unit = GetPriceUnit(m_attr);
  const double factor = ConvertedPrices ? PriceMultiplier : 1.0;
  for (int d = 0; d < Trend.DayCount(); ++d) DrawDay(mem, d, factor, ConvertedPrices ? ConvertedDecimals : -1, unit);
  SelectObject(mem, oldPen);
  SelectObject(mem, oldFont);
  DeleteObject(main);
  SetTextColor(mem, oldColor);
  SetBkMode(mem, oldMode);
  DrawLoadProgress(mem);
  SelectObject(mem, oldBitmap);
  DeleteDC(mem);
  CrossX = CrossY = 0;
  CrossHairShown = false;
  ++ChartDraws;
}

void TRendForm::DrawDay(HDC dc, int d, double f, int convertedDecimals, uint32_t p) {
  const _TickData &day = *Trend.Day(d);
  const bool firstDay = d == 0, lastDay = d == Trend.DayCount() - 1;
  const int L = AxisLeft, R = AxisRight;
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const TMarketData *market = MarketOf(m_attr.stock);
  const int type = market ? market->m_info.type : 0;
  const int kind = info ? info->kind : 0;
  const bool indexKind = market && kind < kMaxStockKinds && market->m_info.kinds[kind].noOrderBook;
  const bool majorIndex = info && IsMajorIndexCode(m_attr.stock.market, info->code);
  const bool indexFutures = info && IsIndexFutures(m_attr.stock.market, kind);
  const int decimals = convertedDecimals >= 0 ? convertedDecimals : day.decimals;
  const double divisor = day.divisor ? double(day.divisor) : 1.0;
  const TRENDRECT &rect = Trend.DayRect(d);
  int vt = -1, vb = -1;
  day.GetVolumePaneSpan(&vt, &vb);
  const bool volumeShown = vt != -1 && vb != -1 && day.ratio <= 0.9f;

  HPEN grid = CreatePen(PS_SOLID, 1, ViewColor(12));
  HPEN frame = CreatePen(PS_SOLID, 1, ViewColor(14));
  HPEN thick = CreatePen(PS_SOLID, 2, ViewColor(14));
  HPEN dotted = CreatePen(PS_DOT, 1, ViewColor(12));
  HFONT axisFont = CreateViewFont(ViewFont(6), 0, false);
  HFONT timeFont = CreateViewFont(ViewFont(7), 0, false);
  HFONT mainFont = CreateViewFont(ViewFont(16), 0, false);
  SelectObject(dc, grid);

  // History background.
  if (day.history) {
    HBRUSH b = CreateSolidBrush(ViewColor(61));
    RECT a = {rect.left + (firstDay ? L : 0), rect.top + 2 * kRendCaptionHeight, rect.right - (lastDay ? R : 0),
              day.pricePane.bottom};
    FillRect(dc, &a, b);
    if (volumeShown) {
      RECT v = {a.left, day.volumePane.top + kRendCaptionHeight, a.right, day.volumePane.bottom - kRendTimeAxisHeight};
      FillRect(dc, &v, b);
    }
    DeleteObject(b);
  }

  // Price grid and labels.
  char format[16], text[64];
  std::snprintf(format, sizeof format, "%%6.%df", std::clamp(decimals, 0, 9));
  SelectObject(dc, axisFont);
  const GRIDLINE *g = day.GetPriceGrid();
  const int n = day.GetPriceGridCount();
  for (int i = 0; i < n; ++i) {
    Line(dc, g[i].x1, g[i].y1, g[i].x2 + 1, g[i].y2);
    if (g[i].relation == 1) SetTextColor(dc, ViewColor(21));
    if (g[i].relation == 2) {
      Line(dc, g[i].x1, g[i].y1 - 1, g[i].x2 + 1, g[i].y1 - 1);
      SetTextColor(dc, ViewColor(20));
    }
    if (g[i].relation == 3) SetTextColor(dc, ViewColor(19));
    if (i >= n - 1 || !g[i].shown) continue;  // the bottom line carries no labels
    if (firstDay) {
      std::snprintf(text, sizeof text, format, g[i].value * f * p / divisor);
      const char *t = text;
      while (*t == ' ') ++t;
      PutText(dc, g[i].x1 - TextWidth(dc, t) - 2, g[i].y1 - 5, t);
    }
    if (lastDay && R > 2) {
      std::snprintf(text, sizeof text, "%+-.2f%%", double(g[i].percent));
      PutText(dc, g[i].x2 + 3, g[i].y1 - 5, text);
    }
  }
  SelectObject(dc, mainFont);

  // Frame segments.
  SelectObject(dc, frame);
  Line(dc, day.frame[0].x, day.frame[0].y, day.frame[1].x, day.frame[1].y);
  SelectObject(dc, thick);
  if (day.splitY >= 0) Line(dc, day.frame[2].x, day.frame[2].y, day.frame[3].x, day.frame[3].y);
  SelectObject(dc, grid);

  // Time grid: emphasised lines alternate solid and dotted.
  const TIMELINE *t = day.GetTimeGrid();
  const int tn = day.GetTimeGridCount();
  bool solid = !indexFutures;
  for (int i = 0; i < tn; ++i) {
    const bool ends = i == 0 || i == tn - 1;
    if (t[i].emphasis || ends) {
      const bool useSolid = (t[i].emphasis && solid) || (!t[i].emphasis && ends);
      SelectObject(dc, useSolid ? grid : dotted);
      Line(dc, t[i].x, t[i].top, t[i].x, t[i].bottom - 1);
      if (volumeShown) Line(dc, t[i].x, vt, t[i].x, vb);
      if (t[i].emphasis) solid = !solid;
      SelectObject(dc, grid);
    }
    const bool leftEdge = i == 0 && (day.position == 1 || day.position == 2);
    const bool rightEdge = i == tn - 1 && (day.position == 1 || day.position == 3);
    if (leftEdge || rightEdge) {
      SelectObject(dc, frame);
      Line(dc, t[i].x, t[i].top, t[i].x, volumeShown ? vb : t[i].bottom);
      if (rightEdge && Panel1->Visible()) {
        if (m_attr.displayFlags & 0x4)
          Line(dc, ChartRect.Left, ChartRect.Top, ChartRect.Left, ChartRect.Bottom);
        else
          Line(dc, ChartRect.Right - 1, ChartRect.Top, ChartRect.Right - 1, ChartRect.Bottom - 2);
      }
      SelectObject(dc, grid);
    }
  }

  const TRENDPOINT *points = day.GetPoints();
  const int count = day.GetPointCount();
  const bool steps = OverlaysShown();
  auto pen = [&](COLORREF color, int width, int style = PS_SOLID) {
    HPEN h = CreatePen(style, width, color);
    HGDIOBJ old = SelectObject(dc, h);
    return std::make_pair(h, old);
  };
  auto unpen = [&](std::pair<HPEN, HGDIOBJ> h) {
    SelectObject(dc, h.second);
    DeleteObject(h.first);
  };

  // Second line.
  if (const TRENDPOINT *second = day.GetSecondLine(); second && count > 1) {
    auto h = pen(ViewColor(45), 1);
    PolyTrend(dc, second, count, points, steps);
    unpen(h);
  }
  // Estimated delivery price of the contracts that carry one.
  const REALQUOTE *quote = market && m_attr.stock.stock < market->m_loadedCount ? &market->m_quotes[m_attr.stock.stock] : nullptr;
  if (lastDay && !day.history && day.GetSecondLine() && indexFutures && quote && HasDeliveryEstimate(info->code)) {
    const uint32_t estimate = quote->settlement;
    if (estimate % 100 != 0) {
      const int y = day.PriceToY(RoundToUnits(estimate, p));
      auto h = pen(ViewColor(45), 1, PS_DOT);
      Line(dc, ChartRect.Left + L + 1, y, ChartRect.Right - R, y);
      unpen(h);
      std::snprintf(text, sizeof text, "%.2f", estimate / divisor);
      HFONT tahoma = CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
      HGDIOBJ of = SelectObject(dc, tahoma);
      SIZE s{};
      GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
      auto box = pen(ViewColor(45), 1);
      HBRUSH brush = CreateSolidBrush(ViewColor(1));
      HGDIOBJ ob = SelectObject(dc, brush);
      Rectangle(dc, ChartRect.Right - R, y - s.cy - 3, ChartRect.Right, y + s.cy + 4);
      SelectObject(dc, ob);
      DeleteObject(brush);
      unpen(box);
      SetTextColor(dc, ViewColor(45));
      PutText(dc, ChartRect.Right - R + 4, y, text);
      PutText(dc, ChartRect.Right - R + 4, y - s.cy - 1, "交割(估)");
      SelectObject(dc, of);
      DeleteObject(tahoma);
    }
  }
  // Advance-decline bars.
  const int indexSlot = day.FindIndexOverlay(m_attr);
  if (const TRENDPOINT *bars = day.GetAdvanceDeclineBars(); bars && (majorIndex || indexSlot != -1)) {
    const int barCount = day.GetAdvanceDeclineCount() - 1;
    HPEN up = CreatePen(PS_SOLID, 1, ViewColor(21)), down = CreatePen(PS_SOLID, 1, ViewColor(19));
    HGDIOBJ old = SelectObject(dc, up);
    for (int k = 1; barCount > 1 && k <= barCount; ++k) {
      SelectObject(dc, bars[k].y > bars[0].y ? down : up);
      Line(dc, bars[k].x, bars[0].y, bars[k].x, bars[k].y);
    }
    SelectObject(dc, old);
    DeleteObject(up);
    DeleteObject(down);
  }
  // Price line.
  if (count > 0) {
    auto h = pen(ViewColor(44), 1);
    if (count == 1)
      SetPixel(dc, points[0].x, points[0].y, ViewColor(44));
    else
      PolyTrend(dc, points, count, points, steps);
    unpen(h);
  }
  // Overlays.
  if (steps)
    for (int s = 0; s < kTrendOverlaySlots; ++s) {
      const TRENDPOINT *op = day.GetOverlayPoints(s);
      const int oc = day.GetOverlayPointCount(s);
      if (!op || oc == 0) continue;
      auto h = pen(ViewColor(6 + s), 1);
      if (oc == 1)
        SetPixel(dc, op[0].x, op[0].y, ViewColor(6 + s));
      else
        PolyTrend(dc, op, oc, op, true);
      unpen(h);
    }
  if (lastDay && !day.history && count > 0 && !(m_attr.displayFlags & 0x4000)) DrawMarks(dc, day, p);

  // Volume grid and bars.
  if (volumeShown) {
    SelectObject(dc, axisFont);
    SetTextColor(dc, ViewColor(33));
    const GRIDLINE *v = day.GetVolumeGrid();
    const int vn = day.GetVolumeGridCount();
    const bool hundreds = type == 1 || type == 4 || indexKind;
    for (int i = 0; i < vn; ++i) {
      if (i == vn - 1) {
        SelectObject(dc, frame);
        Line(dc, v[i].x1 - 1, v[i].y1, v[i].x2 + 1, v[i].y2);
        SelectObject(dc, grid);
        continue;
      }
      Line(dc, v[i].x1, v[i].y1, v[i].x2 + 1, v[i].y2);
      if (!v[i].shown) continue;
      if (firstDay) {
        std::snprintf(text, sizeof text, "%-.0f", double(hundreds ? v[i].value / 100 : v[i].value));
        PutText(dc, v[i].x1 - TextWidth(dc, text) - 2, v[i].y1 - 5, text);
      }
      if (lastDay && R > 2) {
        if (type == 2 || type == 8) {
          if (i <= ((m_attr.displayFlags & 0x2000) ? vn - 1 : (vn - 1) / 2)) {
            SetTextColor(dc, ViewColor(51));
            std::snprintf(text, sizeof text, "%-.0f", double(v[i].openInterest));
            PutText(dc, v[i].x2 + 2, v[i].y1 - 5, text);
            SetTextColor(dc, ViewColor(33));
          }
        } else {
          std::snprintf(text, sizeof text, "%+-d%%", int(v[i].percent));
          PutText(dc, v[i].x2 + 3, v[i].y1 - 5, text);
        }
      }
    }
    const TRENDPOINT *bars = day.GetVolumeBars();
    HPEN up = CreatePen(PS_SOLID, 1, ViewColor(21)), down = CreatePen(PS_SOLID, 1, ViewColor(19)),
         plain = CreatePen(PS_SOLID, 1, ViewColor(33));
    HGDIOBJ old = SelectObject(dc, plain);
    const bool coloured = (m_attr.displayFlags & 0x1000) != 0;
    for (int k = 0; bars && k < count; ++k) {
      if (!(bars[k].y < vb - 2)) continue;
      HPEN use = plain;
      if (coloured) {
        if (k > 0) {
          use = points[k].value > points[k - 1].value ? up : down;
        } else if (day.history) {
          const _TickData *before = d > 0 ? Trend.Day(d - 1) : nullptr;
          if (firstDay || !before || before->GetPointCount() == 0)
            use = plain;
          else
            use = before->GetPoints()[before->GetPointCount() - 1].rawPrice < points[0].rawPrice ? up : down;
        } else if (quote) {
          char ref[32];
          std::snprintf(ref, sizeof ref, "%.*f", std::clamp(int(day.decimals), 0, 9), quote->refPrice / divisor);
          use = points[0].value > std::atof(ref) ? up : down;
        }
      }
      SelectObject(dc, use);
      Line(dc, bars[k].x, vb - 2, bars[k].x, bars[k].y);
    }
    SelectObject(dc, old);
    DeleteObject(up);
    DeleteObject(down);
    DeleteObject(plain);
  }

  // Time labels, or the day's caption when several days are shown.
  SelectObject(dc, timeFont);
  SetTextColor(dc, ViewColor(30));
  const TIMELABEL *labels = day.GetTimeLabels();
  if (Trend.DayCount() == 1) {
    for (int i = 0; i < day.GetTimeLabelCount(); ++i)
      if (labels[i].shown) PutText(dc, labels[i].x, labels[i].y, labels[i].text);
  } else if (day.GetTimeLabelCount() > 0) {
    PutText(dc, labels[0].x + TimeLabelWidth / 2, labels[0].y, day.dayLabel);
  }
  // Open interest.
  if (const TRENDPOINT *oi = day.GetOpenInterestLine(); oi && volumeShown && count > 0 && (type == 2 || type == 8)) {
    auto h = pen(ViewColor(51), 1);
    if (count == 1)
      SetPixel(dc, oi[0].x, oi[0].y, ViewColor(51));
    else
      PolyTrend(dc, oi, count, points, steps);
    unpen(h);
  }

  // Title, basis and legends on the first day.
  if (firstDay && info) {
    SelectObject(dc, mainFont);
    SetTextColor(dc, ViewColor(30));
    const POINT *anchor = day.GetTitleAnchors();
    int x = anchor[0].x;
    const int y = anchor[0].y;
    const std::string name = Field(info->name, sizeof info->name), code = Field(info->code, sizeof info->code);
    int minimumEnd;
    if (Trend.DayCount() <= 1 && day.history) {
      std::snprintf(text, sizeof text, "%s(%s) %u年%u月%u日", name.c_str(), code.c_str(), PackedYear(day.date),
                    PackedMonth(day.date), PackedDay(day.date));
      minimumEnd = 195;
    } else if (Trend.DayCount() <= 1) {
      std::snprintf(text, sizeof text, "%s(%s)", name.c_str(), code.c_str());
      minimumEnd = 106;
    } else {
      std::snprintf(text, sizeof text, "%s(%s) 最近%u日", name.c_str(), code.c_str(), unsigned(Trend.DayCount()));
      minimumEnd = 160;
    }
    if (anchor[0].x >= 0) {
      PutText(dc, x, y + 1, text);
      x += TextWidth(dc, text) + 6;
    }
    uint16_t indexMarket = kReferenceIndexMarket;
    const STKINFO *index = indexFutures ? LookupStock(kReferenceIndexCode, &indexMarket, 0) : nullptr;
    const TMarketData *im = index ? MarketAt(indexMarket) : nullptr;
    if (index && im && quote && anchor[0].x >= 0) {
      const REALQUOTE &iq = im->m_quotes[index->index];
      const double F = quote->last / divisor;
      double I = iq.last / double(index->PriceDivisor());
      if (I == 0 && F != 0 && iq.prevClose != 0) I = iq.prevClose / double(index->PriceDivisor());
      PutText(dc, x, y + 1, "基差: ");
      x += TextWidth(dc, "基差: ") + 1;
      if (I == 0 && F == 0)
        std::snprintf(text, sizeof text, "---");
      else
        std::snprintf(text, sizeof text, "%.*f", std::clamp(int(info->decimals), 0, 9), I - F);
      SetTextColor(dc, I - F > 0 ? ViewColor(21) : ViewColor(19));
      PutText(dc, x, y + 1, text);
      x += TextWidth(dc, text) + 6;
      SetTextColor(dc, ViewColor(30));
    }
    OverlayCaptionX = std::max(x, minimumEnd);
    OverlayCaptionY = y;
    PlaceOverlayButton(dc, OverlayCaptionX);
    if (OverlaysShown()) DrawOverlayCaptions(dc, OverlayCaptionX, OverlayCaptionY);
    DrawOverlayButton(dc);
    const int c = TextWidth(dc, "分");
    if (anchor[1].x >= 0) {
      SetTextColor(dc, ViewColor(44));
      PutText(dc, anchor[1].x, anchor[1].y, "分时走势");
      if (!majorIndex) {
        SetTextColor(dc, ViewColor(45));
        PutText(dc, anchor[1].x + 5 * c, anchor[1].y, "均线");
      }
    }
    if (volumeShown && anchor[2].x >= 0) {
      SetTextColor(dc, ViewColor(33));
      PutText(dc, anchor[2].x, anchor[2].y, "成交量");
      if (type == 2 || type == 8) {
        SetTextColor(dc, ViewColor(51));
        PutText(dc, anchor[2].x + 4 * c, anchor[2].y, type == 8 ? "订货量" : "持仓量");
      }
    }
    DrawQuoteBar(OverlayCaptionX, dc);
  }
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  for (HGDIOBJ o : {HGDIOBJ(grid), HGDIOBJ(frame), HGDIOBJ(thick), HGDIOBJ(dotted), HGDIOBJ(axisFont),
                    HGDIOBJ(timeFont), HGDIOBJ(mainFont)})
    DeleteObject(o);
}

void TRendForm::DrawMarks(HDC dc, const _TickData &day, uint32_t p) {
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const TMarketData *market = MarketOf(m_attr.stock);
  if (!info || !market) return;
  const REALQUOTE &quote = market->m_quotes[m_attr.stock.stock];
  const TRect pane = PaneRect[0];
  const TRENDPOINT *points = day.GetPoints();
  const bool lastRight = day.GetPointCount() > 0 && points[day.GetPointCount() - 1].x > (pane.Left + pane.Right) / 2;
  HFONT tahoma = CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
  HGDIOBJ oldFont = SelectObject(dc, tahoma);
  HBRUSH brush = CreateSolidBrush(ViewColor(1));
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  // Where a label box goes: by the side the price line does not end on,
  // above its line unless that is too close to the pane's top.
  auto box = [&](int y, int textWidth, int *left, int *top) {
    *left = lastRight ? pane.Left + AxisLeft : pane.Right - textWidth - AxisRight - 7;
    *top = y - pane.Top - kRendCaptionHeight > 15 ? y - kRendMarkHeight : y;
  };
  const int decimals = std::clamp(int(info->decimals), 0, 9);
  char format[48], text[96], profit[48];
  // One mark: its line across the plot, its label box and the texts in it
  // (the second, when given, in its own colour).
  auto mark = [&](int price, int style, int width, COLORREF color, const char *first, const char *second,
                  COLORREF secondColor) {
    const int y = day.PriceToY(RoundToUnits(uint32_t(std::max(price, 0)), p));
    HPEN linePen = CreatePen(style, width, color), framePen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = SelectObject(dc, linePen);
    Line(dc, ChartRect.Left + AxisLeft + 1, y, ChartRect.Right - AxisRight, y);
    const int w1 = TextWidth(dc, first), w = w1 + (second ? TextWidth(dc, second) : 0) + 8;
    int left, top;
    box(y, w - 8, &left, &top);
    SelectObject(dc, framePen);
    Rectangle(dc, left, top, left + w, top + kRendMarkHeight + 1);
    SelectObject(dc, old);
    DeleteObject(linePen);
    DeleteObject(framePen);
    SetTextColor(dc, color);
    PutText(dc, left + 4, top + 1, first);
    if (second) {
      SetTextColor(dc, secondColor);
      PutText(dc, left + 4 + w1, top + 1, second);
    }
  };
  for (int i = 0; i < kTradeMarkCount; ++i) {
    const CHARTORDERMARK &o = *reinterpret_cast<const CHARTORDERMARK *>(TradeMarkOrders[i]);
    if (o.volume <= 0) break;
    std::snprintf(format, sizeof format, "%%.%if %s%s%%i手", decimals, o.direction == '0' ? "买" : "卖",
                  o.offset == '1' ? "平" : o.offset == '3' ? "平今" : "开");
    std::snprintf(text, sizeof text, format, o.price * 0.001, o.volume);
    mark(o.price, PS_DOT, 1, ViewColor(44), text, nullptr, 0);
  }
  for (int i = 0; i < kTradeMarkCount; ++i) {
    const CHARTPOSITIONMARK &m = *reinterpret_cast<const CHARTPOSITIONMARK *>(TradeMarkPositions[i]);
    if (m.volume <= 0) break;
    const double sign = m.direction == '0' ? 1.0 : -1.0;
    const double value = quote.last != 0 ? (double(quote.last) - m.price) * sign * 0.001 * m.volume * m.multiplier : 0;
    std::snprintf(format, sizeof format, "%%.%if %s%%i手", decimals, m.direction == '0' ? "买" : "卖");
    std::snprintf(text, sizeof text, format, m.price * 0.001, m.volume);
    std::snprintf(profit, sizeof profit, "%s%.0f", value >= 0 ? "盈" : "亏", std::fabs(value));
    mark(m.price, PS_SOLID, 2, ViewColor(45), text, profit, value >= 0 ? ViewColor(3) : ViewColor(2));
  }
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
  SelectObject(dc, oldFont);
  DeleteObject(tahoma);
}

// ---- The caption line ----------------------------------------------------------------------

void TRendForm::DrawQuoteBar(int x, HDC dc) {
  if (LoadPercent != 100 || Panel1->Visible() || !HandleAllocated()) return;
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const TMarketData *market = MarketOf(m_attr.stock);
  if (!info || !market) return;
  const bool own = dc == nullptr;
  if (own) dc = GetDC(Handle());
  RECT strip = {x, 3, ClientWidth() - 1, 18};
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &strip, back);
  DeleteObject(back);
  HFONT font = CreateViewFont(ViewFont(16), 0, false);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const REALQUOTE &q = market->m_quotes[m_attr.stock.stock];
  const double divisor = info->PriceDivisor();
  const int decimals = std::clamp(int(info->decimals), 0, 9);
  const double reference = q.refPrice / divisor;
  int hour = int((q.time >> 12) & 0x1F), minute = int((q.time >> 6) & 0x3F), second = int(q.time & 0x3F);
  ShiftHourByZone(&TimeZoneTable, m_attr.stock.market, info->kind, &hour);
  char caption[48], value[48];
  auto item = [&](const char *cap, const char *val, COLORREF color) {
    SetTextColor(dc, ViewColor(30));
    PutText(dc, x, 3, cap);
    x += TextWidth(dc, cap);
    SetTextColor(dc, color);
    PutText(dc, x, 3, val);
    x += TextWidth(dc, val) + 8;
  };
  auto price = [&](uint32_t raw) {
    if (raw == 0)
      std::snprintf(value, sizeof value, "---");
    else
      std::snprintf(value, sizeof value, "%.*f", decimals, raw / divisor);
    return value;
  };
  std::snprintf(caption, sizeof caption, "[%02d:%02d:%02d] 最新:", hour % 24, minute % 60, second % 60);
  if (q.last == 0 || q.refPrice == 0)
    std::snprintf(value, sizeof value, "---");
  else
    std::snprintf(value, sizeof value, "%.*f %+.2f%%", decimals, q.last / divisor,
                  (double(q.last) - q.refPrice) * 100.0 / q.refPrice);
  item(caption, value, PriceColor(q.last / divisor, reference));
  item("今开:", price(q.open), PriceColor(q.open / divisor, reference));
  item("最高:", price(q.high), PriceColor(q.high / divisor, reference));
  item("最低:", price(q.low), PriceColor(q.low / divisor, reference));
  item(market->m_info.type == 2 ? "昨结:" : "昨收:", price(q.refPrice), ViewColor(20));
  QuoteTextEnd = x - ChartRect.Left - 143;
  // The overlay caption sits at the caption line's right end when there is
  // room for it; the spread captions end at its left edge.
  PlaceOverlayButton(dc, x);
  if (OverlaysShown()) DrawOverlayCaptions(dc, x, 3);
  DrawOverlayButton(dc);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  if (own) ReleaseDC(Handle(), dc);
}

void TRendForm::PlaceOverlayButton(HDC dc, int textEnd) {
  const bool wide = !Panel1->Visible() || (m_attr.displayFlags & 0x4);
  const int left = ChartRect.Right - (wide ? 140 : 120);
  if (m_attr.flags != 0 || Trend.DayCount() == 0 || left < textEnd) {
    OverlayButtonRect = TRect();
    return;
  }
  OverlayButtonRect = TRect(left, 3, left + TextWidth(dc, "商品叠加"), 18);
}

void TRendForm::DrawOverlayCaptions(HDC dc, int x, int y) {
  if (!OverlaysShown() || !dc) return;
  HFONT font = CreateViewFont(ViewFont(16), 0, false);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  RECT back = {x, 3, OverlayButtonRect.Left, 18};
  if (back.right > back.left) {
    HBRUSH brush = CreateSolidBrush(ViewColor(1));
    FillRect(dc, &back, brush);
    DeleteObject(brush);
  }
  SetTextColor(dc, ViewColor(30));
  PutText(dc, x, y + 1, "叠加");
  x += TextWidth(dc, "叠加");
  const STKINFO *mainInfo = GetStockInfo(m_attr.stock);
  const REALQUOTE *mainQuote = QuoteOf(m_attr.stock.market, m_attr.stock.stock);
  const int decimals = mainInfo ? mainInfo->decimals : 2;
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", decimals);
  auto priceOf = [](const STKINFO *info, const REALQUOTE *q) {
    if (!info || !q) return 0.0;
    return double(q->last ? q->last : q->refPrice) / info->PriceDivisor();
  };
  int slot = 0;
  for (COverlappedStock *o = Overlays; o && slot < kTrendOverlaySlots; o = o->next, ++slot) {
    const STKINFO *info = GetStockInfo(o->stock);
    char name[16] = {};
    if (info) std::memcpy(name, info->name, strnlen(info->name, sizeof info->name));
    char caption[48];
    std::snprintf(caption, sizeof caption, "[%s 价差:------]", name);
    x += 6;
    if (x + TextWidth(dc, caption) > OverlayButtonRect.Left) break;
    char spread[32] = "---";
    double value = 0;
    bool known = false;
    if (CrossHairOn) {
      bool history = false;
      const TRENDPOINT *mainPoint = Trend.FindPointAtX(MouseX, &history);
      const TRENDPOINT *overlayPoint = Trend.FindOverlayPointAtX(MouseX, slot, &history);
      if (mainPoint && overlayPoint && mainPoint->x == overlayPoint->x) {
        value = double(mainPoint->value) - double(overlayPoint->value);
        known = true;
      }
    } else {
      const double mainPrice = priceOf(mainInfo, mainQuote);
      const double overlayPrice = priceOf(info, QuoteOf(o->stock.market, o->stock.stock));
      known = mainPrice != 0 || overlayPrice != 0;
      value = mainPrice - overlayPrice;
    }
    if (known) std::snprintf(spread, sizeof spread, format, value);
    const COLORREF own = ViewColor(6 + slot);
    std::snprintf(caption, sizeof caption, "[%s 价差:", name);
    SetTextColor(dc, own);
    PutText(dc, x, y + 1, caption);
    x += TextWidth(dc, caption);
    SetTextColor(dc, ViewColor(known && value > 0 ? 21 : 19));
    PutText(dc, x, y + 1, spread);
    x += TextWidth(dc, spread);
    SetTextColor(dc, own);
    PutText(dc, x, y + 1, "]");
    x += TextWidth(dc, "]");
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void TRendForm::DrawOverlayButton(HDC dc) {
  // The tick chart has no overlays: no caption and nothing to click.
  if (m_attr.flags & kRendPageTick) {
    OverlayButtonRect = TRect();
    return;
  }
  if (OverlayButtonRect.Width() <= 0 || Trend.DayCount() == 0) return;
  const bool own = dc == nullptr;
  if (own) {
    if (!HandleAllocated()) return;
    dc = GetDC(Handle());
  }
  // The caption's own font: a window context starts with the system font.
  VIEWFONTDEF face = ViewFont(16);
  face.style |= 4;
  HFONT font = CreateViewFont(face, 0, false);
  HGDIOBJ oldFont = SelectObject(dc, font);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const bool hover = MouseX >= OverlayButtonRect.Left && MouseX < OverlayButtonRect.Right &&
                     MouseY >= OverlayButtonRect.Top && MouseY < OverlayButtonRect.Bottom;
  const COLORREF back = ViewColor(1);
  const bool dark = 299 * GetRValue(back) + 587 * GetGValue(back) + 114 * GetBValue(back) < 127001;
  const COLORREF oldColor =
      SetTextColor(dc, hover ? COLORREF(0x3F96FF) : dark ? COLORREF(0xFFBF7F) : COLORREF(0x875F0B));
  PutText(dc, OverlayButtonRect.Left, OverlayButtonRect.Top, "商品叠加");
  SIZE size{};
  GetTextExtentPoint32A(dc, "商品叠加", int(std::strlen("商品叠加")), &size);
  OverlayButtonRect.Right = OverlayButtonRect.Left + int(size.cx);
  OverlayButtonRect.Bottom = OverlayButtonRect.Top + int(size.cy);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  if (own) ReleaseDC(Handle(), dc);
}
