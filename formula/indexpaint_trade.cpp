// The user's pending orders and positions drawn over the main window: a line
// at the price and a small box with direction, volume and, for positions,
// the running profit or loss.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formula/indexmarket.h"
#include "formula/indexpaint.h"
#include "platform/gdi.h"

namespace {

struct MarkTools {
  HDC dc;
  HFONT font;
  HGDIOBJ oldFont;
  MarkTools(HDC context) : dc(context) {
    font = CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    oldFont = SelectObject(dc, font);
  }
  ~MarkTools() {
    SelectObject(dc, oldFont);
    DeleteObject(font);
  }
  MarkTools(const MarkTools &) = delete;
  MarkTools &operator=(const MarkTools &) = delete;
};

int TextWidth(HDC dc, const char *text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
  return size.cx;
}

// The price line and the box of one mark; returns the row its texts start at.
int LineAndBox(HDC dc, const IndexValueAxis &axis, double price, HPEN linePen, COLORREF boxColour, int boxWidth) {
  const RECT &rect = axis.rect;
  const double clamped = std::clamp(price, axis.minimum, axis.maximum);
  const int y = axis.Y(clamped);
  HGDIOBJ oldPen = SelectObject(dc, linePen);
  MoveToEx(dc, rect.left, y, nullptr);
  LineTo(dc, rect.right, y);
  HPEN boxPen = CreatePen(PS_SOLID, 1, boxColour);
  HBRUSH fill = CreateSolidBrush(IndexColor(1));
  SelectObject(dc, boxPen);
  HGDIOBJ oldBrush = SelectObject(dc, fill);
  const int x = rect.left;
  const bool below = y - rect.top - kIndexLegendHeight < 16;  // no room above under the legend line
  if (below) Rectangle(dc, x, y, x + boxWidth, y + 16);
  else Rectangle(dc, x, y - 16, x + boxWidth, y + 1);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(boxPen);
  DeleteObject(fill);
  return below ? y : y - 15;
}

const char *OffsetWord(char offset) { return offset == '1' ? "平" : offset == '3' ? "平今" : "开"; }

}  // namespace

void FormatOrderMark(const IndexOrderMark &o, int32_t decimals, char *label, size_t size) {
  std::snprintf(label, size, "%.*f %s%s%d手", std::clamp(decimals, 0, 10), o.price * 0.001,
                o.direction == '0' ? "买" : "卖", OffsetWord(o.offset), o.volume);
}

void FormatPositionMark(const IndexPositionMark &m, double lastPrice, int32_t decimals, char *label,
                        size_t labelSize, char *profit, size_t profitSize) {
  const double price = m.price * 0.001;
  const bool isLong = m.direction == '0';
  std::snprintf(label, labelSize, "%.*f %s%d手", std::clamp(decimals, 0, 10), price, isLong ? "买" : "卖",
                m.volume);
  const double pl = lastPrice == 0 ? 0.0 : double(m.multiplier) * m.volume * (isLong ? 1 : -1) * (lastPrice - price);
  std::snprintf(profit, profitSize, "%s%.0f", pl >= 0 ? "盈" : "亏", std::fabs(pl));
}

void PaintTradeMarks(HDC dc, const IndexValueAxis &axis, const IndexPositionMark *positions,
                     uint32_t positionCount, const IndexOrderMark *orders, uint32_t orderCount, double lastPrice,
                     int32_t decimals) {
  if (!dc || !std::isfinite(axis.scale)) return;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  char label[128], profit[64];
  if (orders && orderCount > 0 && orders[0].volume > 0) {
    MarkTools tools(dc);
    HPEN pen = CreatePen(PS_DOT, 1, IndexColor(44));
    for (uint32_t k = 0; k < orderCount && orders[k].volume > 0; ++k) {
      FormatOrderMark(orders[k], decimals, label, sizeof label);
      const int y = LineAndBox(dc, axis, orders[k].price * 0.001, pen, IndexColor(44), TextWidth(dc, label) + 8);
      TextOutA(dc, axis.rect.left + 4, y, label, int(std::strlen(label)));
    }
    DeleteObject(pen);
  }
  if (positions && positionCount > 0 && positions[0].volume > 0) {
    MarkTools tools(dc);
    HPEN pen = CreatePen(PS_SOLID, 2, IndexColor(45));
    const COLORREF oldText = GetTextColor(dc);
    for (uint32_t k = 0; k < positionCount && positions[k].volume > 0; ++k) {
      FormatPositionMark(positions[k], lastPrice, decimals, label, sizeof label, profit, sizeof profit);
      const bool loss = std::strncmp(profit, "亏", std::strlen("亏")) == 0;
      const int labelWidth = TextWidth(dc, label);
      const int y = LineAndBox(dc, axis, positions[k].price * 0.001, pen, IndexColor(45),
                               labelWidth + TextWidth(dc, profit) + 8);
      SetTextColor(dc, IndexColor(45));
      TextOutA(dc, axis.rect.left + 4, y, label, int(std::strlen(label)));
      SetTextColor(dc, loss ? IndexColor(2) : IndexColor(3));
      TextOutA(dc, axis.rect.left + labelWidth + 4, y, profit, int(std::strlen(profit)));
    }
    SetTextColor(dc, oldText);
    DeleteObject(pen);
  }
  SetBkMode(dc, oldMode);
}
