// The intraday view's tick chart: layout from the trade agent, drawing into
// the chart bitmap, zoom, paging and the tick cursor keys.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "charts/rendform.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

namespace {

int TextWidthOf(HDC dc, const char *text) {
  SIZE s{};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
  return int(s.cx);
}

void TextAt(HDC dc, int x, int y, const char *text) { TextOutA(dc, x, y, text, int(std::strlen(text))); }

void Segment(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// One point as a pixel, more as a polyline.
void PointLine(HDC dc, const TRENDPOINT *p, int n, COLORREF colour) {
  if (!p || n <= 0) return;
  if (n == 1) {
    SetPixel(dc, p[0].x, p[0].y, colour);
    return;
  }
  MoveToEx(dc, p[0].x, p[0].y, nullptr);
  for (int i = 1; i < n; ++i) LineTo(dc, p[i].x, p[i].y);
}

int MarketTypeOf(STKPTR stock) {
  const TMarketData *m = stock.market < kMaxMarkets ? MarketAt(stock.market) : nullptr;
  return m ? m->m_info.type : 0;
}

}  // namespace

TICKREC *TRendForm::TradeSeries(int *count) const {
  *count = 0;
  const CDataAgent *agent = TradeAgent >= 0 ? DataAgentAt(TradeAgent) : nullptr;
  if (!agent || agent->itemSize != int32_t(sizeof(TICKREC))) return nullptr;
  const void *items = nullptr;
  int32_t n = 0;
  agent->GetSeries(&items, &n);
  if (!items || n <= 0) return nullptr;
  *count = n;
  // The layout completes missing open-interest values in the agent's series.
  return static_cast<TICKREC *>(const_cast<void *>(items));
}

void TRendForm::LayoutTickChart(bool reload) {
  Panel2->Hide();
  Panel3->Hide();
  if (!ChartBitmap) return;
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT axis = CreateViewFont(ViewFont(6), 0, false);
  HGDIOBJ old = SelectObject(dc, axis);
  const int p = TextWidthOf(dc, "88888.88");
  int q = TextWidthOf(dc, "-100.00%");
  SelectObject(dc, old);
  DeleteObject(axis);
  DeleteDC(dc);
  if (p + q >= ChartRect.Width() - 10) q = 2;
  if (reload || !Tick.GetTicks()) {
    int count = 0;
    TICKREC *series = TradeSeries(&count);
    Tick.SetTicks(series, count, m_attr);
  }
  Tick.SetPaneRect(RECT{ChartRect.Left, ChartRect.Top, ChartRect.Right, ChartRect.Bottom}, p, q, kRendCaptionHeight,
                   kRendTimeAxisHeight);
  Tick.Layout(m_attr);
  DrawTickChart();
}

void TRendForm::DrawTickChart() {
  if (!ChartBitmap) return;
  HGDIOBJ oldBitmap;
  HDC dc = BeginChartDC(&oldBitmap);
  QuoteTextEnd = 0;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  HPEN grid = CreatePen(PS_SOLID, 1, ViewColor(12));
  HPEN frame = CreatePen(PS_SOLID, 1, ViewColor(14));
  HPEN thick = CreatePen(PS_SOLID, 2, ViewColor(14));
  HFONT mainFont = CreateViewFont(ViewFont(16), 0, false);
  HFONT axisFont = CreateViewFont(ViewFont(6), 0, false);
  HFONT timeFont = CreateViewFont(ViewFont(7), 0, false);
  HGDIOBJ oldPen = SelectObject(dc, grid);
  HGDIOBJ oldFont = SelectObject(dc, axisFont);
  const COLORREF oldColor = SetTextColor(dc, ViewColor(21));

  const STKINFO *info = GetStockInfo(m_attr.stock);
  const int type = MarketTypeOf(m_attr.stock);
  const double factor = ConvertedPrices ? PriceMultiplier : 1.0;
  const int decimals = ConvertedPrices ? ConvertedDecimals : Tick.decimals;
  const double unit = GetPriceUnit(Tick.divisor, Tick.decimals);
  const double divisor = Tick.divisor ? double(Tick.divisor) : 1.0;
  char format[16], text[64];
  std::snprintf(format, sizeof format, "%%6.%df", std::clamp(decimals, 0, 9));

  // Price scale.
  const GRIDLINE *g = Tick.GetPriceGrid();
  const int n = Tick.GetPriceGridCount();
  for (int k = 0; k < n; ++k) {
    if (k == n - 1) {
      SelectObject(dc, thick);
      Segment(dc, ChartRect.Left, g[k].y1, ChartRect.Right, g[k].y1);
      SelectObject(dc, grid);
    } else {
      Segment(dc, g[k].x1, g[k].y1, g[k].x2, g[k].y2);
    }
    if (g[k].relation == 1) SetTextColor(dc, ViewColor(21));
    if (g[k].relation == 2) {
      Segment(dc, g[k].x1, g[k].y1 - 1, g[k].x2, g[k].y2 - 1);
      SetTextColor(dc, ViewColor(20));
    }
    if (g[k].relation == 3) SetTextColor(dc, ViewColor(19));
    if (k == n - 1 || !g[k].shown) continue;
    std::snprintf(text, sizeof text, format, g[k].value * factor * unit / divisor);
    const char *t = text;
    while (*t == ' ') ++t;
    TextAt(dc, g[k].x1 - 1 - TextWidthOf(dc, t), g[k].y1 - 5, t);
    std::snprintf(text, sizeof text, "%+-.2f%%", double(g[k].percent));
    TextAt(dc, g[k].x2 + 2, g[k].y1 - 5, text);
  }

  // Frame.
  SelectObject(dc, frame);
  int left = 0, right = 0, top = 0, bottom = 0;
  Tick.GetMargins(&left, &right, &top, &bottom);
  Segment(dc, left, top, left, bottom);
  Segment(dc, right, top, right, bottom);
  if (Panel1 && Panel1->Visible()) {
    if (m_attr.displayFlags & 0x4)
      Segment(dc, ChartRect.Left, ChartRect.Top, ChartRect.Left, ChartRect.Bottom);
    else
      Segment(dc, ChartRect.Right - 1, ChartRect.Top, ChartRect.Right - 1, ChartRect.Bottom - 2);
  }
  Segment(dc, Tick.frame[0][0], Tick.frame[0][1], Tick.frame[0][2], Tick.frame[0][3]);
  if (Tick.referenceLine[1]) {
    SelectObject(dc, thick);
    Segment(dc, Tick.referenceLine[0], Tick.referenceLine[1], Tick.referenceLine[2], Tick.referenceLine[3]);
  }

  // Running average and price line.
  const int visible = Tick.GetVisibleCount();
  HPEN averagePen = CreatePen(PS_SOLID, 1, ViewColor(45));
  HPEN pricePen = CreatePen(PS_SOLID, 1, ViewColor(44));
  if (Tick.averageShown) {
    SelectObject(dc, averagePen);
    PointLine(dc, Tick.GetAveragePoints(), visible, ViewColor(45));
  }
  SelectObject(dc, pricePen);
  const TRENDPOINT *points = Tick.GetPoints();
  PointLine(dc, points, visible, ViewColor(44));

  // Time labels at whole ten minutes, never closer than "00:00".
  RECT volumePlot{};
  Tick.GetVolumePlotRect(&volumePlot);
  SelectObject(dc, timeFont);
  SetTextColor(dc, ViewColor(30));
  const int w = TextWidthOf(dc, "00:00");
  int lastX = -10, lastMinute = -1;
  const TICKREC *ticks = Tick.GetTicks();
  const TMarketData *market = m_attr.stock.market < kMaxMarkets ? MarketAt(m_attr.stock.market) : nullptr;
  const int kind = market ? StockKindOf(market, m_attr.stock.stock) : 0;
  for (int i = 1; i < visible && ticks; ++i) {
    const int index = Tick.windowStart + i;
    if (index >= Tick.GetTickCount()) break;
    PackedDateTime time = ticks[index].time;
    MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, kind, &time);
    const int minute = int(PackedMinute(time));
    if (minute % 10 != 0 || minute == lastMinute || std::abs(points[i].x - lastX) <= w) continue;
    std::snprintf(text, sizeof text, "%02u:%02u", PackedHour(time), PackedMinute(time));
    TextAt(dc, points[i].x, volumePlot.bottom + 1, text);
    lastX = points[i].x;
    lastMinute = minute;
  }

  // Volume pane.
  if (Tick.ratio <= 0.9f) {
    SelectObject(dc, axisFont);
    SetTextColor(dc, ViewColor(33));
    const GRIDLINE *v = Tick.GetVolumeGrid();
    const int vn = Tick.GetVolumeGridCount();
    const bool hundreds = type == 1 || type == 4 || IsIndexInstrument();
    const bool openInterest = type == 2 || type == 8;
    const int limit = (m_attr.displayFlags & 0x2000) ? vn : vn / 2;
    for (int k = 0; k < vn; ++k) {
      SelectObject(dc, k == vn - 1 ? frame : grid);
      Segment(dc, v[k].x1, v[k].y1, v[k].x2, v[k].y2);
      if (!v[k].shown) continue;
      std::snprintf(text, sizeof text, "%-.0f", double(v[k].value) * (hundreds ? 0.01 : 1.0));
      SetTextColor(dc, ViewColor(33));
      TextAt(dc, v[k].x1 - 1 - TextWidthOf(dc, text), v[k].y1 - 5, text);
      if (openInterest) {
        if (k > limit) continue;
        std::snprintf(text, sizeof text, "%-.0f", double(v[k].openInterest));
        SetTextColor(dc, ViewColor(51));
      } else {
        std::snprintf(text, sizeof text, "%+-d%%", int(v[k].percent));
      }
      TextAt(dc, v[k].x2 + 2, v[k].y1 - 5, text);
    }
    int vt = 0, vb = 0;
    Tick.GetVolumePaneSpan(&vt, &vb);
    const TRENDPOINT *bars = Tick.GetVolumeBars();
    HPEN up = CreatePen(PS_SOLID, 1, ViewColor(21));
    HPEN down = CreatePen(PS_SOLID, 1, ViewColor(19));
    HPEN plain = CreatePen(PS_SOLID, 1, ViewColor(33));
    for (int i = 0; bars && i < visible; ++i) {
      if (bars[i].y >= vb - 2) continue;
      SelectObject(dc, !(m_attr.displayFlags & 0x1000) ? plain : bars[i].rawPrice == 0 ? up : down);
      Segment(dc, bars[i].x, vb - 2, bars[i].x, bars[i].y);
    }
    HPEN oiPen = CreatePen(PS_SOLID, 1, ViewColor(51));
    SelectObject(dc, oiPen);
    PointLine(dc, Tick.GetOpenInterestLine(), visible, ViewColor(51));
    SelectObject(dc, frame);
    for (HPEN pen : {up, down, plain, oiPen}) DeleteObject(pen);
  }

  // Title and legends.
  SelectObject(dc, mainFont);
  const int c = TextWidthOf(dc, "分");
  if (info && Tick.anchors[0].x != -16) {
    char code[8] = {}, name[10] = {};
    std::memcpy(code, info->code, sizeof info->code);
    std::memcpy(name, info->name, sizeof info->name);
    std::snprintf(text, sizeof text, "%s(%s)", name, code);
    SetTextColor(dc, ViewColor(30));
    TextAt(dc, Tick.anchors[0].x, Tick.anchors[0].y, text);
  }
  if (Tick.anchors[1].x != -16) {
    SetTextColor(dc, ViewColor(44));
    TextAt(dc, Tick.anchors[1].x, Tick.anchors[1].y, "闪电走势");
    if (Tick.averageShown) {
      SetTextColor(dc, ViewColor(45));
      TextAt(dc, Tick.anchors[1].x + 5 * c, Tick.anchors[1].y, "均线");
    }
  }
  if (Tick.ratio <= 0.9f && Tick.anchors[2].x != -16) {
    SetTextColor(dc, ViewColor(33));
    TextAt(dc, Tick.anchors[2].x, Tick.anchors[2].y, "成交量");
    if (type == 2 || type == 8) {
      SetTextColor(dc, ViewColor(51));
      TextAt(dc, Tick.anchors[2].x + 4 * c, Tick.anchors[2].y, type == 8 ? "订货量" : "持仓量");
    }
  }
  DrawQuoteBar(103, dc);

  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
  for (HPEN pen : {grid, frame, thick, averagePen, pricePen}) DeleteObject(pen);
  for (HFONT font : {mainFont, axisFont, timeFont}) DeleteObject(font);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  DrawLoadProgress(dc);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  CrossX = CrossY = 0;
  ++ChartDraws;
}

void TRendForm::SetTickZoom(int level) {
  Tick.zoom = TickZoomOfLevel(level);
  RefreshView(true);
}

void TRendForm::TickPageBack() {
  Tick.windowStart = std::max(0, Tick.windowStart - Tick.capacity);
  RefreshView(false);
}

void TRendForm::TickPageForward() {
  Tick.windowStart = std::max(0, Tick.windowStart) + Tick.capacity;
  RefreshView(false);
}

void TRendForm::TickHalfPageBack() {
  Tick.windowStart = std::max(0, Tick.windowStart - Tick.capacity / 2);
  RefreshView(false);
}

void TRendForm::TickHalfPageForward() {
  Tick.windowStart = std::max(0, Tick.windowStart) + Tick.capacity / 2;
  RefreshView(false);
}

void TRendForm::TickCursorKey(bool right) {
  if (!right && Tick.cursorIndex == Tick.windowStart && Tick.windowStart > 0) {
    Tick.windowStart = std::max(0, Tick.windowStart - 1);
    RefreshView(false);
  } else if (right && Tick.cursorIndex == Tick.windowEnd - 1) {
    Tick.windowStart = Tick.windowEnd >= Tick.GetTickCount() ? -1 : Tick.windowStart + 1;
    RefreshView(false);
  }
  int x = 0, y = 0;
  const TICKREC *tick = right ? Tick.NextTick(&x, &y) : Tick.PrevTick(&x, &y);
  // As the minute cursor keys: the view's own mouse position moves, the
  // pointer is not warped.
  KeyCursor = true;
  MouseX = x;
  MouseY = y;
  if (!CrossHairOn) {
    CrossHairOn = true;
    CrossX = CrossY = 0;
  }
  TrackTickCursor(x, y, tick, true);
}

void TRendForm::TickZoomKey(bool up) {
  float &zoom = Tick.zoom;
  if (up) {
    if (zoom >= 5) return;
    zoom = zoom >= 1 ? zoom + 1 : std::min(zoom * 2, 1.0f);
    Tick.windowStart = -1;
  } else if (zoom > 1) {
    zoom -= 1;
  } else {
    // Everything is shown already.
    if (Tick.windowStart == 0 && Tick.windowEnd == Tick.GetTickCount()) return;
    zoom /= 2;
  }
  RefreshView(true);
}
