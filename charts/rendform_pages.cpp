// The intraday view's full-pane trade-detail page.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "charts/rendform.h"
#include "charts/tick.h"
#include "charts/tradenature.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

int TRendForm::DetailPageFirst(int count, int groups, int rows) {
  if (rows <= 0) return 0;
  const int pages = (count + rows - 1) / rows;
  return groups < pages ? (pages - groups) * rows : 0;
}

void TRendForm::OwnerDrawPanel1Draw(HDC target, const RECT &rect) {
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (!target || width <= 0 || height <= 0) return;
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  SetBkMode(dc, TRANSPARENT);
  RECT all{0, 0, width, height};
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &all, back);
  DeleteObject(back);

  // Measures.
  SIZE zero{}, chinese{};
  HGDIOBJ oldFont = SelectObject(dc, ViewFont3);
  GetTextExtentPoint32A(dc, "0", 1, &zero);
  SelectObject(dc, ViewFont2);
  GetTextExtentPoint32A(dc, "芝", 2, &chinese);
  const int e = std::max<int>(zero.cx, 1), c = int(chinese.cx);
  const int h = std::max(int(std::max(zero.cy, chinese.cy) * 1.4), 1);
  const int offset3 = (h - int(zero.cy) + 1) / 2, offset2 = (h - int(chinese.cy) + 1) / 2;
  const TMarketData *market = m_attr.stock.market < kMaxMarkets ? MarketAt(m_attr.stock.market) : nullptr;
  const int type = market ? market->m_info.type : 0;
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const int kind = market ? StockKindOf(market, m_attr.stock.stock) : 0;
  const bool futures = type == 2 || type == 8;
  // Column widths: time, price, change, volume, open, close, nature.
  const int widths[7] = {6 * e, 8 * e, 6 * e, futures ? 5 * e : 9 * e, 5 * e, 5 * e, 2 * c + e};
  int columns[7] = {0, 1, 2, 3, -1, -1, -1};
  int columnCount = 4;
  if (type == 2) {
    columns[4] = 4;
    columns[5] = 5;
    columns[6] = 6;
    columnCount = 7;
  } else if (type == 8) {
    columns[4] = 6;
    columnCount = 5;
  }
  int groupWidth = 0;
  for (int k = 0; k < columnCount; ++k) groupWidth += widths[columns[k]];
  const int groups = std::max(1, width / std::max(groupWidth, 1));
  const int rows = std::max(1, height / h - 1);
  const int spare = std::max(0, (width - groups * groupWidth) / groups);

  int count = 0;
  const TICKREC *trades = TradeSeries(&count);
  int first = int(OwnerDrawPanel1->Tag);
  if (first == -1) first = DetailPageFirst(count, groups, rows);

  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(14));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  auto line = [dc](int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
  };
  line(0, 0, width, 0);
  line(0, h, width, h);
  line(width - 1, 0, width - 1, height);
  line(0, height - 1, width, height - 1);

  const int32_t unit = info ? info->VolumeUnit() : 1;
  const double divisor = info ? double(info->PriceDivisor()) : 1000.0;
  const int decimals = info ? info->decimals : 2;
  const uint32_t reference = ChartReferencePrice(m_attr.stock);
  const float previousOi =
      market && market->m_quotes && m_attr.stock.stock < market->m_stockCount
          ? market->m_quotes[m_attr.stock.stock].prevOpenInterest
          : 0.0f;
  char priceFormat[16], changeFormat[16], text[64];
  std::snprintf(priceFormat, sizeof priceFormat, "%%8.%df", decimals);
  std::snprintf(changeFormat, sizeof changeFormat, "%%.%df", decimals);
  const char *captions[7] = {"时间", "价格", "涨跌", "现手", "开仓", "平仓", "性质"};
  auto right = [dc](int x, int y, int w, const char *t) {
    SIZE s{};
    GetTextExtentPoint32A(dc, t, int(std::strlen(t)), &s);
    TextOutA(dc, x + w - int(s.cx) - 2, y, t, int(std::strlen(t)));
  };
  auto sideColour = [](uint8_t side) { return side == 0 ? ViewColor(21) : side == 1 ? ViewColor(19) : ViewColor(20); };

  for (int g = 0; g < groups; ++g) {
    const int left = g * (groupWidth + spare);
    line(left, 0, left, height);
    SelectObject(dc, ViewFont2);
    SetTextColor(dc, ViewColor(31));
    int x = left;
    for (int k = 0; k < columnCount; ++k) {
      right(x, offset2, widths[columns[k]], captions[columns[k]]);
      x += widths[columns[k]];
    }
    for (int j = 0; j < rows; ++j) {
      const int i = g * rows + first + j;
      if (!trades || i >= count || i < 0) break;
      const TICKREC &t = trades[i];
      const int y = h * (j + 1);
      const float change = t.amount - (i > 0 ? trades[i - 1].amount : previousOi);
      const double v = double(t.volume) / unit;
      x = left;
      for (int k = 0; k < columnCount; ++k) {
        const int col = columns[k], w = widths[col];
        SelectObject(dc, col == 6 ? ViewFont2 : ViewFont3);
        const int ty = y + (col == 6 ? offset2 : offset3);
        switch (col) {
          case 0: {
            int hour = int(PackedHour(t.time));
            ShiftHourByZone(&TimeZoneTable, m_attr.stock.market, kind, &hour);
            std::snprintf(text, sizeof text, "%02d:%02u", hour, PackedMinute(t.time));
            SetTextColor(dc, ViewColor(31));
            break;
          }
          case 1:
            std::snprintf(text, sizeof text, priceFormat, t.price / divisor);
            SetTextColor(dc, GetCompareColor(int32_t(t.price), int32_t(reference)));
            break;
          case 2:
            std::snprintf(text, sizeof text, changeFormat, (double(t.price) - double(reference)) / divisor);
            SetTextColor(dc, GetCompareColor(int32_t(t.price), int32_t(reference)));
            break;
          case 3:
            std::snprintf(text, sizeof text, "%.0f", v);
            SetTextColor(dc, sideColour(t.side));
            break;
          case 4:
          case 5: {
            const double d = col == 4 ? change + v : v - change;
            std::snprintf(text, sizeof text, "%.0f", kind == 3 ? d : d * 0.5);
            SetTextColor(dc, GetCompareColor(int32_t(change), 0));
            break;
          }
          default:
            std::snprintf(text, sizeof text, "%s", TradeNature(t.volume, change, unit, t.side, type));
            SetTextColor(dc, sideColour(t.side));
            break;
        }
        right(x, ty, w, text);
        x += w;
      }
    }
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  SelectObject(dc, oldFont);
  BitBlt(target, rect.left, rect.top, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// ---- The price-distribution page -------------------------------------------------------------

void TRendForm::LayoutDistribution() {
  const TMarketData *market = m_attr.stock.market < kMaxMarkets ? MarketAt(m_attr.stock.market) : nullptr;
  const int type = market ? market->m_info.type : 0;
  if (type == 4) {
    Distribution.bars.clear();
  } else {
    int count = 0;
    const TICKREC *trades = TradeSeries(&count);
    if (Distribution.SetTicks(trades, count, m_attr)) Distribution.Build(m_attr);
  }
  const int width = ChartRect.Width();
  int side = 50, middle = width - 2 * side - 20;
  if (middle <= 80) {
    side -= 30;
    middle += 60;
  }
  for (TDrawGrid *grid : {DrawGrid2, DrawGrid3}) {
    grid->SetColCount(3);
    grid->SetFixedCols(0);
    grid->SetColWidths(0, std::max(side, 1));
    grid->SetColWidths(1, std::max(middle, 1));
    grid->SetColWidths(2, std::max(side, 1));
    grid->SetColor(TColor(ViewColor(1)));
  }
  const int rows = int(Distribution.bars.size()) + 1;
  DrawGrid2->SetRowCount(rows);
  DrawGrid2->SetFixedRows(rows > 1 ? 1 : 0);
  if (type == 2 || type == 8) {
    DrawGrid3->SetRowCount(9);
    DrawGrid3->SetFixedRows(0);
    DrawGrid3->SetHeight(9 * DrawGrid3->DefaultRowHeight() + 4);
    DrawGrid3->SetVisible(true);
    DrawGrid2->SetRow(rows - 1);
  } else {
    DrawGrid3->SetRowCount(1);
    DrawGrid3->SetVisible(false);
  }
  DrawGrid3->SetRow(0);
  DrawGrid2->Invalidate();
  DrawGrid3->Invalidate();
}

namespace {

void FillCell(HDC dc, const RECT &rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void BarAt(HDC dc, int x, int top, int width, int bottom, COLORREF colour) {
  if (width <= 0) return;
  RECT r{x, top, x + width, bottom};
  FillCell(dc, r, colour);
}

}  // namespace

void TRendForm::DrawDistributionCell(int column, int row, HDC dc, const RECT &rect, bool inHundreds) {
  if (!dc) return;
  FillCell(dc, rect, ViewColor(1));
  HGDIOBJ oldFont = SelectObject(dc, CellFont.Get(16));
  SetBkMode(dc, TRANSPARENT);
  char text[64];
  SIZE digit{};
  GetTextExtentPoint32A(dc, "0", 1, &digit);
  const int digits = 10 * int(digit.cx);
  auto put = [dc](int x, int y, const char *t) { TextOutA(dc, x, y, t, int(std::strlen(t))); };
  if (row == 0) {
    FillCell(dc, rect, ViewColor(34));
    SetTextColor(dc, ViewColor(22));
    const char *captions[3] = {"成交价", "成交量--占比", "竞买率"};
    if (column >= 0 && column < 3) put(rect.left + 2, rect.top, captions[column]);
    if (column == 1) {
      SetTextColor(dc, ViewColor(38));
      put(rect.right - 120 + digits, rect.top, "最活跃");
    }
  } else if (row - 1 < int(Distribution.bars.size())) {
    const PriceBar &bar = Distribution.bars[size_t(row - 1)];
    const uint32_t total = bar.sellVolume + bar.buyVolume;
    if (column == 0) {
      char format[16];
      std::snprintf(format, sizeof format, "%%6.%df", std::clamp(int(Distribution.decimals), 0, 9));
      std::snprintf(text, sizeof text, format, bar.price / double(Distribution.divisor ? Distribution.divisor : 1));
      const COLORREF colours[4] = {ViewColor(14), ViewColor(21), ViewColor(20), ViewColor(19)};
      SetTextColor(dc, colours[bar.relation <= 3 ? bar.relation : 0]);
      put(rect.left + 2, rect.top, text);
    } else if (column == 1) {
      std::snprintf(text, sizeof text, "%d", int(inHundreds ? total / 100 : total));
      SetTextColor(dc, total == Distribution.maxBarVolume ? ViewColor(38) : ViewColor(48));
      SIZE s{};
      GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
      put(rect.left + digits - int(s.cx), rect.top, text);
      const int w = int(rect.right - rect.left) - 120;
      const double largest = Distribution.maxBarVolume ? Distribution.maxBarVolume : 1;
      const int sell = int(w * (bar.sellVolume / largest)), buy = int(w * (bar.buyVolume / largest));
      const int x = rect.left + digits, bottom = rect.bottom - 4;
      BarAt(dc, x, rect.top, sell, bottom, ViewColor(19));
      BarAt(dc, x + sell + 2, rect.top, buy, bottom, ViewColor(21));
      std::snprintf(text, sizeof text, "%.02f%%",
                    Distribution.totalVolume ? total * 100.0 / Distribution.totalVolume : 0.0);
      SetTextColor(dc, ViewColor(48));
      put(x + sell + 2 + buy + 5, rect.top, text);
    } else if (column == 2) {
      if (total)
        std::snprintf(text, sizeof text, "%.2f%%", bar.buyVolume * 100.0 / total);
      else
        std::snprintf(text, sizeof text, "0.00%%");
      SetTextColor(dc, ViewColor(31));
      put(rect.left + 2, rect.top, text);
    }
  }
  SelectObject(dc, oldFont);
}

void TRendForm::DrawNatureCell(int column, int row, HDC dc, const RECT &rect) {
  if (!dc) return;
  FillCell(dc, rect, ViewColor(1));
  if (row < 1 || row > 8) return;
  const TMarketData *market = m_attr.stock.market < kMaxMarkets ? MarketAt(m_attr.stock.market) : nullptr;
  const bool orders = market && market->m_info.type == 8;
  HGDIOBJ oldFont = SelectObject(dc, CellFont.Get(16));
  SetBkMode(dc, TRANSPARENT);
  static const char *const words[9] = {"", "多换", "空换", "双开", "双平", "多开", "空开", "空平", "多平"};
  static const char *const orderWords[9] = {"", "多换", "空换", "双订", "双转", "多订", "空订", "空转", "多转"};
  // The tally's counters in the rows' order: 多换 T0, 空换 T1, 双开 T2,
  // 双平 T3, 多开 T4, 空开 T5, 空平 T6 (a buyer closing a short), 多平 T7;
  // their unmatched parts T8 .. T11.
  const uint32_t *t = Distribution.tally.t;
  uint32_t all = 0;
  for (int i = 0; i < 8; ++i) all += t[i];
  const uint32_t value = t[row - 1];
  SIZE digit{};
  GetTextExtentPoint32A(dc, "0", 1, &digit);
  const int digits = 10 * int(digit.cx);
  char text[32];
  SetTextColor(dc, ViewColor(48));
  if (column == 0) {
    const char *word = (orders ? orderWords : words)[row];
    SIZE s{};
    GetTextExtentPoint32A(dc, word, int(std::strlen(word)), &s);
    TextOutA(dc, (rect.left + rect.right - int(s.cx)) / 2, rect.top, word, int(std::strlen(word)));
  } else if (column == 1) {
    std::snprintf(text, sizeof text, "%d", int(value));
    SIZE s{};
    GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
    TextOutA(dc, rect.left + digits - int(s.cx), rect.top, text, int(std::strlen(text)));
    const int w = int(rect.right - rect.left) - 120;
    const int x = rect.left + digits;
    int length = 0;
    if (all) {
      length = int(double(value) / all * w);
      const bool up = row == 1 || row == 3 || row == 4 || row == 5 || row == 7;
      BarAt(dc, x, rect.top, length, rect.bottom - 4, up ? ViewColor(21) : ViewColor(19));
      if (row >= 5) {
        const int part = int(double(t[row + 3]) / all * w);
        BarAt(dc, x, rect.top, part, rect.bottom - 4, ViewColor(1));
        BarAt(dc, x, rect.top, part - 2, rect.bottom - 4, ViewColor(48));
      }
    }
    std::snprintf(text, sizeof text, "%.02f%%", all ? value * 100.0 / all : 0.0);
    TextOutA(dc, x + length + 5, rect.top, text, int(std::strlen(text)));
  }
  SelectObject(dc, oldFont);
}
