#include "views/reportpaint.h"

#include <algorithm>
#include <cstring>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "views/colschemes.h"
#include "views/viewdisplay.h"

void ReportFonts::Make(int zoomStep, int bsZoom2) {
  Delete();
  const int extra = std::clamp(zoomStep, 1, 10) - 1;
  names = CreateViewFont(ViewFont(12), extra, false);
  numbers = CreateViewFont(ViewFont(13), extra, false);
  header = CreateViewFont(ViewFont(14), extra, false);
  enlarged = CreateViewFont(ViewFont(13), extra + std::max(bsZoom2, 0), true);
}

void ReportFonts::Delete() {
  for (HFONT *f : {&names, &numbers, &header, &enlarged}) {
    if (*f) DeleteObject(*f);
    *f = nullptr;
  }
}

// ---- Header texts --------------------------------------------------------

const char *SpotForwardHeaderText(int column) {
  switch (column) {
    case 2: return "前均";
    case 6: return "现价";
    case 8: return "订货量";
    case 24: return "现量";
    case 27: return "均价";
    case 30: return "订货差";
    default: return nullptr;
  }
}

std::string ReportHeaderText(const BLOCK *block, int column) {
  if (column < 0 || column >= kReportColumnCount) return std::string();
  const TMarketData *md = block ? MarketAt(block->market) : nullptr;
  const int type = md ? md->m_info.type : 0;
  const bool noBlock = !block || block->kind == kBlockShared || block->kind == kBlockUser;
  if (!noBlock && type == 8) {
    if (const char *text = SpotForwardHeaderText(column)) return text;
  } else if (!noBlock && (type == 2 || type == 7)) {
    if (column == 2) return "昨结";
    if (column == 8) return "持仓量";
  } else if (noBlock) {
    if (column == 2) return "昨收/昨结";
    if (column == 8) return "额/仓";
  } else {
    if (column == 2) return "昨收";
    if (column == 8) return "成交金额";
  }
  return ReportColumnTable[column];
}

std::string SchemeHeaderText(int scheme, int column) {
  if (column < 0 || column >= kReportColumnCount) return std::string();
  if (column != 2 && column != 8) return ReportColumnTable[column];
  switch (scheme + 1) {
    case 8: return column == 2 ? "前均" : "订货量";
    case 1:
    case 10: return column == 2 ? "昨结" : "持仓量";
    case 6: return column == 2 ? "昨收" : "持仓量";
    case 7: return column == 2 ? "昨收/昨结" : "额/仓";
    default: return column == 2 ? "昨收" : "成交金额";
  }
}

// ---- Metrics ---------------------------------------------------------------

void ReportMetrics::Measure(HDC dc, const ReportFonts &fonts) {
  auto measure = [&](HFONT font, const char *text, int *w, int *h) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE s{0, 0};
    GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
    SelectObject(dc, old);
    *w = s.cx;
    *h = s.cy;
  };
  measure(fonts.header, "字", &headerChar, &headerHeight);
  measure(fonts.numbers, "8", &digit, &digitHeight);
  measure(fonts.names, "字", &nameChar, &nameHeight);
  measure(fonts.enlarged, "8", &enlargedDigit, &enlargedHeight);
}

int ReportMetrics::RowHeight() const { return std::max({headerHeight, nameHeight, digitHeight}) + 6; }

int ReportMetrics::ColumnWidth(int scheme, int column, int schemeWidth) const {
  const int unit = (column == 25 || column == 26 || column == 28 || column == 29) ? enlargedDigit : digit;
  const int w = std::clamp(schemeWidth, 0, kMaxSchemeWidth);
  const int data = column == 1 ? ((w + 1) / 2) * nameChar : w * unit;
  const int header = ((int(SchemeHeaderText(scheme, column).size()) + 3) / 2) * headerChar;
  return std::max(data, header) + 6;
}

float ReportMetrics::SelectedRowFactor(int bsZoom2) const {
  if (bsZoom2 <= 0) return 1.0f;
  const int base = std::max({headerHeight, nameHeight, digitHeight}) + 6;
  return base > 0 ? float(enlargedHeight + 8) / float(base) : 1.0f;
}

// ---- Cells -------------------------------------------------------------------

namespace {

void Fill(HDC dc, const RECT &rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Line(HDC dc, COLORREF color, std::initializer_list<POINT> points) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  bool first = true;
  for (const POINT &p : points) {
    if (first)
      MoveToEx(dc, p.x, p.y, nullptr);
    else
      LineTo(dc, p.x, p.y);
    first = false;
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void GridLines(HDC dc, const RECT &r) {
  Line(dc, ViewColor(26), {{r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}});
}

void PaintHeader(HDC dc, const ReportPaintState &s, int column, const RECT &rect) {
  Fill(dc, rect, ViewColor(34));
  HGDIOBJ old = SelectObject(dc, s.fonts->header);
  std::string text = ReportHeaderText(s.block, column);
  int color = 22;
  if (column == s.core->sortColumn) {
    color = 23;
    text += s.core->direction == 1 ? "↓" : "↑";
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ViewColor(color));
  DrawCellText(dc, rect, text.c_str(), 2, 0);
  SelectObject(dc, old);
  if (s.gridLines) GridLines(dc, rect);
}

int FlashedPriceColor(int color) {
  switch (color) {
    case 21: return 38;
    case 19: return 36;
    case 20: return 37;
    default: return color;
  }
}

}  // namespace

void PaintReportCell(HDC dc, const ReportPaintState &s, int c, int r, const RECT &rect) {
  TReportCore &core = *s.core;
  const int column = c >= 0 && c < core.columnCount ? core.columns[c] : -1;
  if (r == 0) return PaintHeader(dc, s, column, rect);

  const bool selected = r == s.selectedRow;
  const bool scrollable = c >= s.fixedColumns;
  COLORREF background;
  if (selected && scrollable)
    background = ViewColor((s.rowStyle & kRowStyleBackground) ? 64 : 17);
  else
    background = ViewColor(r % 2 == 0 ? 63 : 17);
  RECT wide = rect;
  wide.right += 1;
  Fill(dc, wide, background);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, background);
  if (core.rowCount == 0) {
    TextOutA(dc, rect.left + 1, rect.top + 1, "   ", 3);
    return;
  }
  const int row = r - 1;
  if (row >= core.rowCount) return;
  const STKPTR stock = core.RowStock(row);
  ReportCellText cell;
  FormatReportCell(stock, column, r, &cell);
  int textColor = cell.color, secondColor = cell.secondColor;

  bool limited = false;
  const REALQUOTE *q = QuoteOf(stock.market, stock.stock);
  if ((s.rowStyle & kRowStyleLimits) && q && (column == 4 || column == 5 || column == 6)) {
    const uint32_t price = column == 6 ? q->last : column == 4 ? q->high : q->low;
    int fill = 0;
    if (price) {
      if ((column == 6 || column == 4) && price == q->limitUp) fill = 21;
      else if ((column == 6 || column == 5) && price == q->limitDown) fill = 19;
    }
    if (fill) {
      Fill(dc, wide, ViewColor(fill));
      SetBkColor(dc, ViewColor(fill));
      textColor = 42;
      limited = true;
    }
  }
  if (!limited) {
    auto fillFlash = [&] {
      Fill(dc, wide, ViewColor(25));
      SetBkColor(dc, ViewColor(25));
      textColor = 42;
    };
    if ((column == 6 || column == 25 || column == 26) && core.IsCellFlashing(column, row)) {
      if (s.invert || column == 6)
        fillFlash();
      else
        textColor = FlashedPriceColor(textColor);
    } else if ((column == 7 || column == 24 || column == 28 || column == 29) && core.IsCellFlashing(column, row)) {
      if (s.invert || column == 24)
        fillFlash();
      else if (textColor == 48)
        textColor = 39;
    } else if (column == 32) {
      if (core.IsCellFlashing(25, row)) textColor = FlashedPriceColor(textColor);
      if (core.IsCellFlashing(26, row)) secondColor = FlashedPriceColor(secondColor);
    } else if (column == 33) {
      if (core.IsCellFlashing(28, row) && textColor == 48) textColor = 39;
      if (core.IsCellFlashing(29, row) && secondColor == 48) secondColor = 39;
    }
  }

  HFONT font = s.fonts->numbers;
  if (column == 1)
    font = s.fonts->names;
  else if ((column == 25 || column == 26 || column == 28 || column == 29) && s.bsZoom2 >= 1 && selected &&
           scrollable)
    font = s.fonts->enlarged;
  HGDIOBJ old = SelectObject(dc, font);
  if (cell.pair) {
    DrawCellTextPair(dc, rect, ViewColor(textColor), ViewColor(secondColor), cell.text, cell.second, 2, 0);
  } else {
    SetTextColor(dc, ViewColor(textColor));
    DrawCellText(dc, rect, cell.text, 2, 0);
  }
  SelectObject(dc, old);
  if (s.gridLines) GridLines(dc, rect);
  if ((s.rowStyle & kRowStyleFrame) && selected && scrollable) {
    const COLORREF yellow = 0x00FFFF;
    Line(dc, yellow, {{rect.left - 1, rect.top}, {rect.right, rect.top}});
    Line(dc, yellow, {{rect.left - 1, rect.bottom - 1}, {rect.right, rect.bottom - 1}});
    if (c == core.columnCount - 1) Line(dc, yellow, {{rect.right - 2, rect.top}, {rect.right - 2, rect.bottom}});
    if (c == 0 && s.fixedColumns == 0) Line(dc, yellow, {{rect.left + 1, rect.top}, {rect.left + 1, rect.bottom}});
  }
}

// ---- Tabs ----------------------------------------------------------------------

namespace {

COLORREF Blend(COLORREF from, COLORREF to, int step, int steps) {
  // from - (from - to) x step / steps, channel by channel.
  auto channel = [&](int shift) {
    const int a = int((from >> shift) & 0xFF), b = int((to >> shift) & 0xFF);
    return COLORREF(a - (a - b) * step / std::max(steps, 1)) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

}  // namespace

void DrawReportTabsBackground(HDC dc, const RECT &rect) {
  const TViewDisplay &d = ViewDisplay();
  const int steps = rect.bottom - rect.top - 1;
  for (int y = rect.top; y < rect.bottom; ++y)
    Line(dc, Blend(d.tabSetLight, d.tabSet, y - rect.top, steps), {{rect.left, y}, {rect.right, y}});
}

void DrawReportTabItem(HDC dc, const RECT &rect, const std::string &fullCaption, bool selected, bool hot) {
  const TViewDisplay &d = ViewDisplay();
  const std::string caption = fullCaption.substr(0, 31);
  const bool scroll = caption == "<" || caption == ">";
  COLORREF captionColor = d.tabSetCaption;
  if (selected || hot) {
    const int steps = rect.bottom - rect.top - 3;
    for (int y = rect.top; y < rect.bottom - 3; ++y)
      Line(dc, Blend(d.tabSetHotLight, d.tabSetHot, y - rect.top, steps),
           {{scroll ? rect.left : rect.left - 1, y}, {rect.right, y}});
    captionColor = d.tabSetHotCaption;
  } else if (!scroll) {
    Line(dc, d.tabSetCol, {{rect.right - 1, rect.top + 6}, {rect.right - 1, rect.bottom - 6}});
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, captionColor);
  if (scroll) {
    // A filled arrow, 4 pixels wide and 7 high, at the centre.
    const int cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
      const int x = caption == "<" ? cx - 2 + i : cx + 1 - i;
      Line(dc, captionColor, {{x, cy - i}, {x, cy + i + 1}});
    }
    return;
  }
  RECT text = rect;
  if (!caption.empty() && caption[0] == '^') {
    text.right -= 6;
    const std::string name = caption.substr(1);
    DrawTextA(dc, name.c_str(), int(name.size()), &text,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
    // A small triangle, apex up: 1, 3 and 5 pixels on three lines.
    const int right = text.right - 4, top = rect.top + 9;
    for (int i = 0; i < 3; ++i)
      Line(dc, captionColor, {{right - 3 - i, top + i}, {right - 2 + i, top + i}});
    return;
  }
  DrawTextA(dc, caption.c_str(), int(caption.size()), &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
}

int MeasureReportTab(const std::string &caption) { return int(caption.size()) * 6 + 24; }

std::string ReportTabCaption(const BLOCK *block, bool subBlockMark) {
  if (!block) return std::string();
  std::string name(block->name, strnlen(block->name, sizeof block->name));
  static const std::string kMarket = "市场";
  if (name.size() >= kMarket.size() && name.compare(name.size() - kMarket.size(), kMarket.size(), kMarket) == 0)
    name.resize(name.size() - kMarket.size());
  return subBlockMark && block->kind == kBlockServer ? "^" + name : name;
}
