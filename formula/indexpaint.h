// Painting a calculated formula into a chart window: the value axis shared by
// the scale, the painter and the drawing statements, the small drawing
// operations they all use, and the trading desk's records of the user's
// positions and pending orders that the main window's formula draws as trade
// marks.
//
// A window's plot rectangle starts with its 17-pixel legend line; a value v
// of the range [minimum, maximum] lies d = trunc((v - minimum) * s) pixels
// above the bottom (below the legend line on an inverted axis), with
// s = (plot height - 17) / (maximum - minimum). Every conversion of a double
// to a pixel goes through IndexPixel, which clamps first.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "market/records.h"
#include "platform/windef.h"

class EDibBitmap;

constexpr int kIndexLegendHeight = 17;

// One of the user's positions in the shown contract (64 bytes, the local
// link's position layout). A record with volume <= 0 ends a list.
struct IndexPositionMark {
  uint8_t reserved0[4];
  char contract[44];
  char direction;      // '0' long, else short
  char hedge;
  uint8_t reserved50[2];
  int32_t volume;      // contracts
  int32_t price;       // holding price in thousandths of a price unit
  int32_t multiplier;  // value of one price unit per contract
};
static_assert(sizeof(IndexPositionMark) == 64);

// One of the user's cancellable orders in the shown contract (68 bytes, the
// local link's order layout). A record with volume <= 0 ends a list.
struct IndexOrderMark {
  uint8_t reserved0[48];
  char reference[4];
  char direction;  // '0' buy, else sell
  char offset;     // '1' close, '3' close today, else open
  uint8_t reserved54[2];
  int32_t volume;  // contracts
  uint8_t reserved60[4];
  int32_t price;   // thousandths of a price unit
};
static_assert(sizeof(IndexOrderMark) == 68);

// A double as a pixel coordinate: truncated toward zero and held well inside
// the int range (NaN gives 0), so sums of coordinates never overflow.
inline int32_t IndexPixel(double v) {
  constexpr double kLimit = 1 << 28;
  if (std::isnan(v)) return 0;
  if (v > kLimit) return int32_t(kLimit);
  if (v < -kLimit) return -int32_t(kLimit);
  return int32_t(v);
}

// The row of a value offset: top + 17 + offset on an inverted axis, else
// bottom - offset.
int32_t ValueToY(uint8_t inverted, const RECT &rect, int32_t offset);
// Fill or frame (one pixel) a rectangle whose corners may come in any order:
// left and right are sorted; a rectangle given upward (bottom < top) covers
// the rows bottom + 1 .. top.
int FillRectNormalized(HDC dc, const RECT &rect, HBRUSH brush);
int FrameRectNormalized(HDC dc, const RECT &rect, HBRUSH brush);
// Every odd x in [x0, x1) of row y gets the colour, written straight into the
// bitmap's pixels; pixels outside the bitmap are skipped.
void DrawDottedRow(EDibBitmap *dib, int x0, int x1, int y, COLORREF color);
// One pixel straight into the bitmap, skipped outside it.
void PutDibPixel(EDibBitmap *dib, int x, int y, COLORREF color);

// The visible part of a chart as every painter receives it: chart positions
// first .. end - 1 on the chart's time axis, and the formula's own bars.
struct IndexWindow {
  uint32_t first = 0;
  uint32_t count = 0;
  const uint32_t *chartTimes = nullptr;
  uint32_t chartTimeCount = 0;
  const KLINEBAR *bars = nullptr;
  uint32_t barCount = 0;

  // One past the last visible position.
  uint32_t End() const {
    const uint64_t end = uint64_t(first) + count;
    return end < chartTimeCount ? uint32_t(end) : chartTimeCount;
  }
  // The formula's bar at chart position i (the bar of exactly that time)
  // when it lies below calcCount, else -1.
  int32_t Bar(uint32_t i, uint32_t calcCount) const;
  // The series and the visible window overlap (and there is something to
  // look at: bars, a calculation and a time axis that reaches first).
  bool Overlaps(uint32_t calcCount) const;
};

// Horizontal geometry of the bars: gap before each bar, bar width.
struct IndexBarGeometry {
  double width = 0;
  double gap = 0;
  int32_t left = 0;    // plot left
  uint32_t first = 0;  // chart position at the plot's left

  double Pitch() const { return width + gap; }
  // Left edge, right edge and centre of chart position i.
  int32_t L(int64_t i) const { return left + IndexPixel(Pitch() * double(i - int64_t(first)) + gap); }
  int32_t R(int64_t i) const { return L(i) + IndexPixel(width); }
  int32_t Centre(int64_t i) const {
    return left + IndexPixel(Pitch() * double(i - int64_t(first)) + gap + width * 0.5);
  }
};

// The value axis of a plot rectangle over [minimum, maximum].
struct IndexValueAxis {
  RECT rect{};
  double minimum = 0;
  double maximum = 0;
  double scale = 0;  // pixels per value unit
  uint8_t inverted = 0;

  IndexValueAxis(const RECT &plot, double lo, double hi, uint8_t inv)
      : rect(plot), minimum(lo), maximum(hi), inverted(inv) {
    scale = double(plot.bottom - plot.top - kIndexLegendHeight) / (hi - lo);
  }
  int32_t Offset(double v) const { return IndexPixel((v - minimum) * scale); }
  int32_t Y(double v) const { return ValueToY(inverted, rect, Offset(v)); }
};

// A GDI object made for one drawing step: selected into the context while
// the step lasts, then put back and deleted.
class IndexSelected {
 public:
  IndexSelected(HDC dc, HGDIOBJ object);
  ~IndexSelected();
  IndexSelected(const IndexSelected &) = delete;
  IndexSelected &operator=(const IndexSelected &) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_;
  HGDIOBJ old_;
};

// The display scheme's colour COLORnn (1..64).
COLORREF IndexColor(int nn);
// FONTnn of the display scheme (1..16) as a new font; the caller deletes it.
HFONT CreateIndexFont(int nn);

// The trade marks of the main window: a price line with a boxed label for
// each pending order and then each position (so positions lie over
// orders). Lists end at the count or at the first record with volume <= 0;
// lastPrice 0 means none (the profit then reads 0); decimals are the
// instrument's price decimals.
void PaintTradeMarks(HDC dc, const IndexValueAxis &axis, const IndexPositionMark *positions,
                     uint32_t positionCount, const IndexOrderMark *orders, uint32_t orderCount, double lastPrice,
                     int32_t decimals);

// The texts of the marks: a pending order's label ("3520.00 买开2手"), a
// position's label ("3520.00 买2手") and its profit ("盈200", "亏200").
void FormatOrderMark(const IndexOrderMark &order, int32_t decimals, char *label, size_t size);
void FormatPositionMark(const IndexPositionMark &position, double lastPrice, int32_t decimals, char *label,
                        size_t labelSize, char *profit, size_t profitSize);
// A scale label: the value with n decimals (held to 0..10), in 万 or 亿 when
// the value is a whole multiple of ten thousand or of a hundred million.
void FormatIndexScaleValue(double v, int n, char *out, size_t size);
