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
