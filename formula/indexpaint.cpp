// The indicator painter: a calculated formula's output lines in their styles,
// its drawing statements, the formulas chained after it and the trade marks,
// drawn into a chart window's bitmap; the background statements of a chain;
// and the hit test of the output lines.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/chartgfx.h"
#include "core/ewnd.h"
#include "formula/kvindex.h"
#include "platform/gdi.h"

namespace {

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// The inverse of the background: what a flat bar is drawn in.
COLORREF InverseBackground() { return ~IndexColor(1) & 0xFFFFFF; }

// A line whose colour is the scheme's background entry is neither painted nor hit.
bool OnBackground(const CKvIndexVariable &v) {
  return (v.flags & kVariableColorSlot) && v.colorSlot == IndexColorTable();
}

double PriceOf(uint32_t raw, double divisor) { return raw / divisor; }

// Everything one paint of one formula shares.
struct PaintContext {
  EDibBitmap *dib;
  HDC dc;
  const IndexWindow &window;
  IndexBarGeometry geometry;
  IndexValueAxis axis;
  uint32_t calcCount;
  double divisor;
  int H;
  bool selected;
  int32_t priceDecimals;
  double priceFactor;
  uint32_t highest = 0, lowest = 0;  // raw prices of the first candle line
  bool extremes = false;
};

// The XOR selection marks of one line: the first point and then every point
// more than 69 pixels right of the last mark.
class SelectionMarks {
 public:
  explicit SelectionMarks(const PaintContext &p) : p_(p) {}
  void At(int x, int y) {
    if (!p_.selected || x - last_ <= 69) return;
    last_ = x;
    const int oldRop = SetROP2(p_.dc, R2_XORPEN);
    IndexSelected pen(p_.dc, CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    for (int k = -2; k <= 2; ++k) Line(p_.dc, x - 2, y + k, x + 3, y + k);
    SetROP2(p_.dc, oldRop);
  }

 private:
  const PaintContext &p_;
  int last_ = -65535;
};

// The arrow and price label of the highest or lowest bar.
void ExtremeMark(const PaintContext &p, int xm, int y, uint32_t raw, bool high) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", std::clamp(p.priceDecimals, 0, 10),
                PriceOf(raw, p.divisor) * p.priceFactor);
  SIZE size{};
  const int length = int(std::strlen(text));
  GetTextExtentPoint32A(p.dc, text, length, &size);
  const RECT &rect = p.axis.rect;
  const COLORREF c = IndexColor(13);
  const int side = rect.left < xm - size.cx - 15 ? -1 : 1;  // the arrow left of the bar when there is room
  PutDibPixel(p.dib, xm + side, y, c);
  for (int d = -1; d <= 1; ++d) PutDibPixel(p.dib, xm + 2 * side, y + d, c);
  for (int d = -2; d <= 2; ++d) PutDibPixel(p.dib, xm + 3 * side, y + d, c);
  for (int k = 4; k <= 11; ++k) PutDibPixel(p.dib, xm + k * side, y, c);
  const int left = side < 0 ? xm - 13 - size.cx : xm + 13;
  int top = y - (size.cy >> 1);
  if (high) {
    top = std::max(top, int(rect.top) + kIndexLegendHeight);
  } else if (top + size.cy - 4 > rect.bottom) {
    top = rect.bottom - size.cy + 4;
  }
  TextOutA(p.dc, left, top, text, length);
}

// Candles and OHLC bars.
void PaintBars(PaintContext &p, const CKvIndexVariable &v) {
  const auto *stored = static_cast<const KLINEBAR *>(v.values);
  if (!stored) return;
  const bool given = v.flags & kVariableHasColor;
  const COLORREF lineColour = v.Color();
  const COLORREF up = given ? lineColour : IndexColor(3), down = given ? lineColour : IndexColor(2);
  const COLORREF flat = given ? lineColour : InverseBackground();
  HPEN upPen = CreatePen(PS_SOLID, 1, up), downPen = CreatePen(PS_SOLID, 1, down),
       flatPen = CreatePen(PS_SOLID, 1, flat);
  HBRUSH upBrush = CreateSolidBrush(up), downBrush = CreateSolidBrush(down);
  HGDIOBJ oldPen = SelectObject(p.dc, upPen);
  const COLORREF oldText = given ? 0 : SetTextColor(p.dc, IndexColor(43));
  const bool inverted = p.axis.inverted;
  const bool candle = v.style == kStyleKStick;
  const bool hollow = IndexKLineMode() != 0;
  bool highDone = given, lowDone = given;
  SelectionMarks marks(p);
  for (uint32_t i = p.window.first; i < p.window.End(); ++i) {
    const int32_t j = p.window.Bar(i, p.calcCount);
    if (j < 0 || uint32_t(j) >= v.capacity) continue;
    const KLINEBAR &b = stored[j];
    const int yO = p.axis.Y(PriceOf(b.open, p.divisor)), yH = p.axis.Y(PriceOf(b.high, p.divisor));
    const int yL = p.axis.Y(PriceOf(b.low, p.divisor)), yC = p.axis.Y(PriceOf(b.close, p.divisor));
    const int L = p.geometry.L(i), R = p.geometry.R(i), xm = (L + R) >> 1;
    const bool falling = b.close < b.open;
    SelectObject(p.dc, falling ? downPen : b.close == b.open ? flatPen : upPen);
    const COLORREF pixel = given ? lineColour : falling ? down : up;
    const int lo = std::min(yO, yC), hi = std::max(yO, yC);
    if (candle) {
      const int top = inverted ? lo - 1 : lo, bottom = inverted ? hi : hi + 1;
      if (top + 1 == bottom) {
        const int row = inverted ? bottom : top;
        if (L == R) PutDibPixel(p.dib, L, row, pixel);
        else Line(p.dc, L, row, R, row);
      } else if (L == R) {
        if (inverted) Line(p.dc, L, bottom, L, top);
        else Line(p.dc, L, top, L, bottom);
      } else if (falling) {
        FillRectNormalized(p.dc, RECT{L, top, R, bottom}, downBrush);
      } else if (hollow) {
        FrameRectNormalized(p.dc, RECT{L, top, R, bottom}, upBrush);
      } else {
        FillRectNormalized(p.dc, RECT{L, top, R, bottom}, upBrush);
      }
      if (!inverted) {
        if (yH != lo) Line(p.dc, xm, yH, xm, lo + 1);
        if (yL != hi) Line(p.dc, xm, yL, xm, hi);
      } else {
        if (yH != hi) Line(p.dc, xm, yH, xm, hi - 1);
        if (yL != lo) Line(p.dc, xm, yL, xm, lo);
      }
    } else if (yL == yH) {
      if (L == R) PutDibPixel(p.dib, L, yH, pixel);
      else Line(p.dc, L, yH, R, yH);
    } else if (L == R) {
      Line(p.dc, L, yH, L, inverted ? yL - 1 : yL + 1);
    } else {
      Line(p.dc, xm, yH, xm, inverted ? yL - 1 : yL + 1);
      const int d = ((xm - L) * 3) / 5;
      Line(p.dc, xm - d, yO, xm + 1, yO);
      Line(p.dc, xm, yC, R, yC);
    }
    if (p.extremes && !highDone && b.high == p.highest) {
      ExtremeMark(p, xm, yH, b.high, true);
      highDone = true;
    }
    if (p.extremes && !lowDone && b.low == p.lowest) {
      ExtremeMark(p, xm, yL, b.low, false);
      lowDone = true;
    }
    marks.At(xm, yC);
  }
  if (!given) SetTextColor(p.dc, oldText);
  SelectObject(p.dc, oldPen);
  for (HGDIOBJ o : {HGDIOBJ(upPen), HGDIOBJ(downPen), HGDIOBJ(flatPen), HGDIOBJ(upBrush), HGDIOBJ(downBrush)})
    DeleteObject(o);
}

// One part of a tower box: a pixel, a line or a rectangle.
void TowerPart(PaintContext &p, int L, int R, int ya, int yb, bool oneRow, HPEN pen, HBRUSH brush,
               COLORREF colour, bool hollow) {
  SelectObject(p.dc, pen);
  if (oneRow) {
    if (L == R) PutDibPixel(p.dib, L, ya, colour);
    else Line(p.dc, L, ya, R, ya);
  } else if (L == R) {
    Line(p.dc, L, ya, L, yb);
  } else if (hollow) {
    FrameRectNormalized(p.dc, RECT{L, ya, R, yb}, brush);
  } else {
    FillRectNormalized(p.dc, RECT{L, ya, R, yb}, brush);
  }
}

// Rising and falling colours of the tower and volume styles.
struct UpDownTools {
  COLORREF up, down;
  HPEN upPen, downPen;
  HBRUSH upBrush, downBrush;
  HGDIOBJ oldPen;
  HDC dc;
  UpDownTools(HDC context, const CKvIndexVariable &v) : dc(context) {
    const bool given = v.flags & kVariableHasColor;
    up = given ? v.Color() : IndexColor(3);
    down = given ? v.Color() : IndexColor(2);
    upPen = CreatePen(PS_SOLID, 1, up);
    downPen = CreatePen(PS_SOLID, 1, down);
    upBrush = CreateSolidBrush(up);
    downBrush = CreateSolidBrush(down);
    oldPen = SelectObject(dc, upPen);
  }
  ~UpDownTools() {
    SelectObject(dc, oldPen);
    for (HGDIOBJ o : {HGDIOBJ(upPen), HGDIOBJ(downPen), HGDIOBJ(upBrush), HGDIOBJ(downBrush)}) DeleteObject(o);
  }
  UpDownTools(const UpDownTools &) = delete;
  UpDownTools &operator=(const UpDownTools &) = delete;
};

void PaintTowers(PaintContext &p, const CKvIndexVariable &v) {
  const auto *towers = static_cast<const IndexTowerRecord *>(v.values);
  if (!towers) return;
  UpDownTools t(p.dc, v);
  const bool hollow = IndexKLineMode() != 0;
  SelectionMarks marks(p);
  for (uint32_t i = p.window.first; i < p.window.End(); ++i) {
    const int32_t j = p.window.Bar(i, p.calcCount);
    if (j < 0 || uint32_t(j) >= v.capacity) continue;
    const IndexTowerRecord &r = towers[j];
    const int L = p.geometry.L(i), R = p.geometry.R(i), xm = (L + R) >> 1;
    const int y1 = p.axis.Y(PriceOf(r.p1, p.divisor)), y2 = p.axis.Y(PriceOf(r.p2, p.divisor));
    const int y3 = p.axis.Y(PriceOf(r.p3, p.divisor)), y4 = p.axis.Y(PriceOf(r.p4, p.divisor));
    const bool risingPart = r.state < 4 || r.state == 6;
    if (risingPart) TowerPart(p, L, R, y1, y2, y1 == y2, t.upPen, t.upBrush, t.up, hollow);
    if (r.state > 2)
      TowerPart(p, L, R, y3, p.axis.inverted ? y4 - 1 : y4 + 1, y3 == y4, t.downPen, t.downBrush, t.down, false);
    marks.At(xm, risingPart ? y1 : y3);
  }
}

// The row of the zero line of the stick styles.
int ZeroRow(const PaintContext &p) {
  const double base = p.axis.minimum > 0 ? p.axis.minimum : p.axis.maximum < 0 ? p.axis.maximum : 0.0;
  return p.axis.Y(base);
}

// Calls f(position, bar, value) for every counted position whose value is finite.
template <typename F>
void ForEachValue(const PaintContext &p, const CKvIndexVariable &v, F f) {
  for (uint32_t i = p.window.first; i < p.window.End(); ++i) {
    const int32_t j = p.window.Bar(i, p.calcCount);
    if (j < 0) continue;
    const double value = v.GetValue(uint32_t(j));
    if (std::isfinite(value)) f(i, j, value);
  }
}

void PaintVolumes(PaintContext &p, const CKvIndexVariable &v) {
  UpDownTools t(p.dc, v);
  const bool hollow = IndexKLineMode() != 0;
  const RECT &rect = p.axis.rect;
  const int y0 = ZeroRow(p);
  SelectionMarks marks(p);
  ForEachValue(p, v, [&](uint32_t i, int32_t j, double value) {
    const KLINEBAR &bar = p.window.bars[j];
    const bool falling = bar.close < bar.open;
    const int yv = p.axis.Y(value);
    const int top = std::max(std::min(y0, yv), int(rect.top) + kIndexLegendHeight);
    const int bottom = std::min(std::max(y0, yv), int(rect.bottom) + 1);
    const int L = p.geometry.L(i), R = p.geometry.R(i), xm = (L + R) >> 1;
    SelectObject(p.dc, falling ? t.downPen : t.upPen);
    if (top + 1 < bottom) {
      if (L == R) Line(p.dc, L, top, L, bottom);
      else if (falling) FillRectNormalized(p.dc, RECT{L, top, R, bottom}, t.downBrush);
      else if (hollow) FrameRectNormalized(p.dc, RECT{L, top, R, bottom}, t.upBrush);
      else FillRectNormalized(p.dc, RECT{L, top, R, bottom}, t.upBrush);
    } else {
      const int row = std::max(bottom - 1, int(rect.top) + kIndexLegendHeight);
      if (L == R) PutDibPixel(p.dib, L, row, falling ? t.down : t.up);
      else Line(p.dc, L, row, R, row);
    }
    marks.At(xm, p.axis.maximum <= 0 ? bottom : top);
  });
}

void PaintSticks(PaintContext &p, const CKvIndexVariable &v) {
  const bool given = v.flags & kVariableHasColor;
  const bool bySign = v.style == kStyleColorStick && !given;
  const COLORREF lineColour = v.Color();
  HPEN upPen = CreatePen(PS_SOLID, 1, bySign ? IndexColor(3) : lineColour);
  HPEN downPen = CreatePen(PS_SOLID, 1, bySign ? IndexColor(2) : lineColour);
  HGDIOBJ oldPen = SelectObject(p.dc, upPen);
  const int y0 = ZeroRow(p);
  SelectionMarks marks(p);
  ForEachValue(p, v, [&](uint32_t i, int32_t j, double value) {
    const int x = p.geometry.Centre(i), yv = p.axis.Y(value);
    if (y0 == yv) {
      PutDibPixel(p.dib, x, yv, given ? lineColour : value >= 0 ? IndexColor(3) : IndexColor(2));
    } else {
      SelectObject(p.dc, value >= 0 ? upPen : downPen);
      Line(p.dc, x, y0, x, yv);
    }
    marks.At(x, yv);
  });
  SelectObject(p.dc, oldPen);
  DeleteObject(upPen);
  DeleteObject(downPen);
}

void PaintDots(PaintContext &p, const CKvIndexVariable &v) {
  const int t = v.lineThick, h = t >> 1;
  if (v.style == kStylePointDot && t == 0) return;
  IndexSelected pen(p.dc, CreatePen(PS_SOLID, 1, v.Color()));
  SelectionMarks marks(p);
  ForEachValue(p, v, [&](uint32_t i, int32_t j, double value) {
    const int x = p.geometry.Centre(i), y = p.axis.Y(value);
    if (v.style == kStyleCircleDot) {
      Line(p.dc, x - 1, y - 2, x + 2, y - 2);
      Line(p.dc, x - 1, y + 2, x + 2, y + 2);
      Line(p.dc, x - 2, y - 1, x - 2, y + 2);
      Line(p.dc, x + 2, y - 1, x + 2, y + 2);
    } else if (v.style == kStyleCrossDot) {
      Line(p.dc, x - 2, y - 2, x + 3, y + 3);
      Line(p.dc, x - 2, y + 2, x + 3, y - 3);
    } else {
      for (int row = y - h; row < y - h + t; ++row) Line(p.dc, x - h, row, x - h + t, row);
    }
    marks.At(x, y);
  });
}

// The volume at each price band, growing leftwards from the right edge.
void PaintVolumeBands(PaintContext &p, const CKvIndexVariable &v) {
  const RECT &rect = p.axis.rect;
  const int n = std::clamp(p.H / 15, 1, 128);
  const double band = (p.axis.maximum - p.axis.minimum) / n;
  double lower[129];
  lower[0] = p.axis.minimum;
  for (int k = 0; k < n; ++k) lower[k + 1] = lower[k] + band;
  float sums[128] = {};
  ForEachValue(p, v, [&](uint32_t, int32_t j, double value) {
    for (int k = 0; k < n; ++k)
      if (lower[k] <= value && value < lower[k] + band) {
        sums[k] += p.window.bars[j].volume;
        break;
      }
  });
  float maxSum = 0;
  for (int k = 0; k < n; ++k)
    if (std::isfinite(sums[k])) maxSum = std::max(maxSum, sums[k]);
  if (!(maxSum > 0.01f)) return;
  const int width = rect.right - rect.left - 1, height = p.H / n + 2;
  if (width <= 0) return;
  HDC memory = CreateCompatibleDC(p.dc);
  HBITMAP bitmap = CreateCompatibleBitmap(p.dc, width, height);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HBRUSH fill = CreateSolidBrush(IndexColor(5));
  const RECT all{0, 0, width, height};
  FillRect(memory, &all, fill);
  DeleteObject(fill);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 72, 0};
  for (int k = 0; k < n; ++k) {
    if (!std::isfinite(sums[k])) continue;
    const int o = (n - 1 - k) * 15;
    const int top = p.axis.inverted ? rect.bottom - 16 - o : rect.top + kIndexLegendHeight + 6 + o;
    const int x = IndexPixel((rect.right - 1) - (rect.right - rect.left - 2) / double(maxSum) * sums[k]);
    const int w = std::min(rect.right - 1 - x, width);
    if (w <= 0) continue;
    AlphaBlend(p.dc, x, top, w, 10, memory, 0, 0, w, std::min(10, height), blend);
  }
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void PaintPolyline(PaintContext &p, const CKvIndexVariable &v, bool antiAliasAllowed) {
  const bool aa = IndexAntiAlias() && antiAliasAllowed && v.lineThick == 1;
  const COLORREF colour = v.Color();
  IndexSelected pen(p.dc, CreatePen(PS_SOLID, v.lineThick, colour));
  SelectionMarks marks(p);
  bool inRun = false;
  POINT current{};
  for (uint32_t i = p.window.first; i < p.window.End(); ++i) {
    const int32_t j = p.window.Bar(i, p.calcCount);
    const double value = j < 0 ? NAN : v.GetValue(uint32_t(j));
    if (!std::isfinite(value)) {
      inRun = false;  // a missing or undefined value leaves a gap
      continue;
    }
    const POINT point{p.geometry.Centre(i), p.axis.Y(value)};
    if (!inRun) {
      PutDibPixel(p.dib, point.x, point.y, colour);
      current = point;
      inRun = true;
    } else if (point.x != current.x || point.y != current.y) {
      if (aa) {
        DrawLineAADib(p.dib, current.x, current.y, point.x, point.y, colour);
      } else {
        Line(p.dc, current.x, current.y, point.x, point.y);
      }
      current = point;
    }
    marks.At(point.x, point.y);
  }
}

// The drawing statements: the pictures before the lines, the rest after.
void PaintStatements(CKvIndex &f, PaintContext &p, bool picturesOnly) {
  const IndexWindow &w = p.window;
  const uint32_t end = w.End();
  for (auto &owned : f.draws) {
    CKvIndexDraw &d = *owned;
    if ((d.kind == kDrawBmp) != picturesOnly) continue;
    d.lastPoint = POINT{INT_MAX, INT_MAX};
    auto paint = [&](uint32_t i, int64_t cPrev, int32_t bar, int64_t barPrev) {
      d.Paint(p.dib, p.geometry.gap, p.geometry.width, i, cPrev, w.first, w.count, uint32_t(bar), barPrev,
              p.axis.scale, p.axis.minimum, p.axis.maximum, p.axis.rect, p.axis.inverted);
    };
    auto bit = [&](int32_t bar) { return bar >= 0 && d.Condition(uint32_t(bar)); };
    switch (d.kind) {
      case kDrawBmp:
        if (!d.condBits) break;
        for (uint32_t i = w.first; i < end; ++i)
          if (const int32_t j = w.Bar(i, p.calcCount); bit(j)) paint(i, -1, j, -1);
        break;
      case kDrawText:
      case kDrawIcon:
      case kDrawNumber:
      case kDrawStickLine:
      case kDrawSlope:
      case kDrawVertLine:
        if (!d.condBits) break;
        for (uint32_t i = w.first; i < end; ++i)
          if (const int32_t j = w.Bar(i, p.calcCount); bit(j)) paint(i, int64_t(i) - 1, j, -1);
        break;
      case kDrawFillRgn:
      case kDrawPartLine:
        if (!d.condBits) break;
        for (uint32_t i = w.first + 1; i < end; ++i) {
          const int32_t j = w.Bar(i, p.calcCount);
          if (!bit(j)) continue;
          const int32_t before = w.Bar(i - 1, p.calcCount);
          if (before >= 0) paint(i, int64_t(i) - 1, j, before);
        }
        break;
      case kDrawPolyLine: {
        if (!d.condBits) break;
        uint32_t from = w.first;
        for (int64_t i = w.first; i >= 0; --i)
          if (bit(w.Bar(uint32_t(i), p.calcCount))) {
            from = uint32_t(i);
            break;
          }
        for (uint32_t i = from; i < end; ++i)
          if (const int32_t j = w.Bar(i, p.calcCount); bit(j)) paint(i, int64_t(i) - 1, j, -1);
        break;
      }
      case kDrawLine:
        if (!d.condBits || !d.series[0] || !d.series[2]) break;
        for (uint32_t i = 0; i < end; ++i)
          if (const int32_t j = w.Bar(i, p.calcCount); bit(j)) paint(i, int64_t(i) - 1, j, -1);
        break;
      case kDrawKLine:
      case kDrawBarLine:
        for (uint32_t i = w.first; i < end; ++i)
          if (const int32_t j = w.Bar(i, p.calcCount); j >= 0) paint(i, int64_t(i) - 1, j, -1);
        break;
      default:
        break;
    }
  }
}

}  // namespace

void CKvIndex::Paint(EDibBitmap *dib, const RECT &rect, const IndexWindow &window, double width, double gap,
                     double minimum, double maximum, uint8_t inverted, double priceFactor, uint8_t includeChain,
                     uint8_t antiAliasAllowed, const IndexPositionMark *positions, uint32_t positionCount,
                     const IndexOrderMark *orders, uint32_t orderCount, double lastPrice,
                     uint8_t lastPriceLine) {
  if (!dib || !dib->m_hDC) return;
  if (IsRelativeOverlay() && !GetValueRange(rect, window, &minimum, &maximum, inverted, 0)) return;
  const int H = rect.bottom - rect.top - kIndexLegendHeight;
  if (!window.Overlaps(calcCount) || H < 1) return;
  const IndexStockFacts facts = IndexStockFactsOf(seriesInfo);
  PaintContext p{dib,
                 dib->m_hDC,
                 window,
                 IndexBarGeometry{width, gap, rect.left, window.first},
                 IndexValueAxis(rect, minimum, maximum, inverted),
                 calcCount,
                 double(facts.priceDivisor),
                 H,
                 selected != 0,
                 facts.priceDecimals,
                 priceFactor};
  if (!std::isfinite(p.axis.scale) || !(p.axis.scale > 0)) return;
  HDC dc = p.dc;

  for (const auto &v : variables) {
    if (!(v->flags & kVariableOutput) || OnBackground(*v)) continue;
    if (v->style != kStyleKStick && v->style != kStyleBarStick) continue;
    const auto *stored = static_cast<const KLINEBAR *>(v->values);
    for (uint32_t i = window.first; stored && i < window.End(); ++i) {
      const int32_t j = window.Bar(i, calcCount);
      if (j < 0 || uint32_t(j) >= v->capacity) continue;
      if (!p.extremes || stored[j].high > p.highest) p.highest = stored[j].high;
      if (!p.extremes || stored[j].low < p.lowest) p.lowest = stored[j].low;
      p.extremes = true;
    }
    break;
  }

  HFONT font = CreateIndexFont(6);
  HGDIOBJ oldFont = SelectObject(dc, font);
  const COLORREF oldText = SetTextColor(dc, IndexColor(13));
  const int oldMode = SetBkMode(dc, TRANSPARENT);

  if (lastPriceLine && std::isfinite(lastPrice) && minimum <= lastPrice && lastPrice <= maximum) {
    IndexSelected pen(dc, CreatePen(PS_SOLID, 1, IndexColor(38)));
    const int y = p.axis.Y(lastPrice);
    Line(dc, rect.left + 1, y, rect.right - 1, y);
  }
  PaintStatements(*this, p, true);
  for (const auto &v : variables) {
    if (!(v->flags & kVariableOutput) || OnBackground(*v)) continue;
    switch (v->style) {
      case kStyleKStick:
      case kStyleBarStick:
        PaintBars(p, *v);
        break;
      case kStyleTowerStick:
        PaintTowers(p, *v);
        break;
      case kStyleVolStick:
        PaintVolumes(p, *v);
        break;
      case kStyleColorStick:
      case kStyleStick:
        PaintSticks(p, *v);
        break;
      case kStyleCircleDot:
      case kStyleCrossDot:
      case kStylePointDot:
        PaintDots(p, *v);
        break;
      case kStylePointFigure:
        break;
      case kStyleInternal:
        PaintVolumeBands(p, *v);
        [[fallthrough]];
      default:
        if (v->lineThick != 0) PaintPolyline(p, *v, antiAliasAllowed);
        break;
    }
  }
  PaintStatements(*this, p, false);

  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldText);
  SelectObject(dc, oldFont);
  DeleteObject(font);

  if (includeChain && next)
    next->Paint(dib, rect, window, width, gap, minimum, maximum, inverted, 1.0, 1, antiAliasAllowed, nullptr, 0,
                nullptr, 0, 0, 0);
  PaintTradeMarks(dc, p.axis, positions, positionCount, orders, orderCount, lastPrice, facts.priceDecimals);
}

void CKvIndex::PaintBackground(HDC dc, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                               const STKINFO *info, const RECT &rect, const IndexWindow &window, uint8_t inverted,
                               uint8_t includeChain) {
  if (window.Overlaps(calcCount)) {
    const uint32_t divisor = IndexStockFactsOf(seriesInfo).priceDivisor;
    for (auto &d : draws) d->PaintBackground(dc, rect, this, owner, periodKind, periodMultiple, info, window, divisor);
  }
  if (includeChain && next)
    next->PaintBackground(dc, owner, periodKind, periodMultiple, info, rect, window, inverted, includeChain);
}

bool CKvIndex::HitTest(POINT point, const RECT &rect, const IndexWindow &window, double width, double gap,
                       double minimum, double maximum, uint8_t inverted) const {
  if (IsRelativeOverlay() && !GetValueRange(rect, window, &minimum, &maximum, inverted, 0)) return false;
  const int H = rect.bottom - rect.top - kIndexLegendHeight;
  if (!window.Overlaps(calcCount) || H <= 0) return false;
  const IndexValueAxis axis(rect, minimum, maximum, inverted);
  if (!std::isfinite(axis.scale) || !(axis.scale > 0)) return false;
  const IndexBarGeometry g{width, gap, rect.left, window.first};
  const double divisor = IndexStockFactsOf(seriesInfo).priceDivisor;
  const int px = point.x, py = point.y;
  // A bar-shaped target from the rows of two values, a pixel to spare around it.
  auto box = [&](int L, int R, int yA, int yB) {
    return L - 1 <= px && px <= R + 1 && std::min(yA, yB) - 1 <= py && py <= std::max(yA, yB) + 1;
  };
  const double zero = axis.minimum > 0 ? axis.minimum : axis.maximum < 0 ? axis.maximum : 0.0;
  const int y0 = axis.Y(zero);
  for (const auto &owned : variables) {
    const CKvIndexVariable &v = *owned;
    if (!(v.flags & kVariableOutput) || OnBackground(v)) continue;
    bool inRun = false;
    POINT current{};
    for (uint32_t i = window.first; i < window.End(); ++i) {
      const int32_t j = window.Bar(i, calcCount);
      if (j < 0) {
        inRun = false;
        continue;
      }
      switch (v.style) {
        case kStyleKStick:
        case kStyleBarStick: {
          const auto *stored = static_cast<const KLINEBAR *>(v.values);
          if (!stored || uint32_t(j) >= v.capacity) break;
          if (box(g.L(i), g.R(i), axis.Y(stored[j].high / divisor), axis.Y(stored[j].low / divisor))) return true;
          break;
        }
        case kStyleTowerStick: {
          const auto *towers = static_cast<const IndexTowerRecord *>(v.values);
          if (!towers || uint32_t(j) >= v.capacity) break;
          const IndexTowerRecord &t = towers[j];
          if ((t.state < 4 || t.state == 6) &&
              box(g.L(i), g.R(i), axis.Y(t.p1 / divisor), axis.Y(t.p2 / divisor)))
            return true;
          if (t.state > 2 && box(g.L(i), g.R(i), axis.Y(t.p3 / divisor), axis.Y(t.p4 / divisor))) return true;
          break;
        }
        case kStyleColorStick:
        case kStyleStick:
        case kStyleVolStick: {
          const double value = v.GetValue(uint32_t(j));
          if (!std::isfinite(value)) break;
          const bool volume = v.style == kStyleVolStick;
          const int x0 = volume ? g.L(i) : g.Centre(i), x1 = volume ? g.R(i) : x0;
          if (box(x0, x1, y0, axis.Y(value))) return true;
          break;
        }
        case kStyleCircleDot:
        case kStylePointDot:
        case kStyleCrossDot: {
          const double value = v.GetValue(uint32_t(j));
          if (std::isfinite(value) && std::abs(px - g.Centre(i)) < 4 && std::abs(py - axis.Y(value)) < 4)
            return true;
          break;
        }
        case kStylePointFigure:
          break;
        default: {
          if (v.lineThick == 0) break;
          const double value = v.GetValue(uint32_t(j));
          if (!std::isfinite(value)) {
            inRun = false;
            break;
          }
          const POINT q{g.Centre(i), axis.Y(value)};
          if (!inRun) {
            if (std::abs(px - q.x) < 4 && std::abs(py - q.y) < 4) return true;
            inRun = true;
          } else if ((q.x != current.x || q.y != current.y) && PointNearSegment(point, current, q)) {
            return true;
          }
          current = q;
          break;
        }
      }
    }
  }
  return false;
}
