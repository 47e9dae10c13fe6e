// The kinds of drawing object: how each builds its label points from its
// anchors and the mapping, and what it paints.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "charts/drawline.h"
#include "core/chartgfx.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "views/viewdisplay.h"

namespace {

LINEPOINT At(int x, int y) {
  LINEPOINT p{};
  p.x = x;
  p.y = y;
  return p;
}

// The end of the line through p and q at x = edge, or where the line
// leaves [top, bottom] before it gets there. The line is neither vertical
// nor flat.
LINEPOINT EdgeEnd(double px, double py, double qx, double qy, int edge, int top, int bottom) {
  int y = LineTrunc(qy - (qy - py) * (qx - edge) / (qx - px));
  int x = edge;
  if (y > bottom || y < top) {
    y = y > bottom ? bottom : top;
    x = LineTrunc(qx - (qx - px) * (qy - y) / (qy - py));
  }
  return At(x, y);
}

// Both ends of a line through two points, held to [top, bottom] along the
// line (a flat line is only held).
void ClipPairToRows(LINEPOINT &p, LINEPOINT &q, int top, int bottom) {
  const LINEPOINT p0 = p, q0 = q;
  auto hold = [&](LINEPOINT &e, const LINEPOINT &from, const LINEPOINT &to) {
    const int edge = e.y < top ? top : (e.y > bottom ? bottom : e.y);
    if (edge == e.y) return;
    if (to.y != from.y) e.x = LineTrunc(from.x + double(edge - from.y) * (to.x - from.x) / double(to.y - from.y));
    e.y = edge;
  };
  hold(p, p0, q0);
  hold(q, p0, q0);
}

class PenScope {
 public:
  PenScope(HDC dc, int style, COLORREF colour) : dc_(dc), pen_(CreatePen(style, 1, colour)) {
    old_ = SelectObject(dc, pen_);
  }
  ~PenScope() {
    SelectObject(dc_, old_);
    DeleteObject(pen_);
  }
  PenScope(const PenScope &) = delete;
  PenScope &operator=(const PenScope &) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HGDIOBJ old_;
};

// The 13-pixel face of the level and cycle texts, ordinary transparent text.
class LabelTextScope {
 public:
  LabelTextScope(HDC dc, COLORREF colour) : dc_(dc), font_(CreateLineFont(13, "Tahoma", 0)) {
    old_ = SelectObject(dc, font_);
    oldColour_ = SetTextColor(dc, colour);
    oldMode_ = SetBkMode(dc, TRANSPARENT);
  }
  ~LabelTextScope() {
    SetBkMode(dc_, oldMode_);
    SetTextColor(dc_, oldColour_);
    SelectObject(dc_, old_);
    DeleteObject(font_);
  }
  LabelTextScope(const LabelTextScope &) = delete;
  LabelTextScope &operator=(const LabelTextScope &) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
  COLORREF oldColour_;
  int oldMode_;
};

constexpr float kGoldenRatios[7] = {0.0f, 1.0f, 0.382f, 0.5f, 0.618f, 1.618f, 2.618f};
const char *const kGoldenTexts[7] = {nullptr, nullptr, "38.2% ", "50%   ", "61.8% ", "161.8%", "261.8%"};
const char *const kPercentTexts[5] = {nullptr, "25%", "50%", "75%", nullptr};
const char *const kComplexTexts[11] = {nullptr, "12.5%", "25%  ", "37.5%", "50%  ", "62.5%",
                                       "75%  ", "87.5%", nullptr, "33.3%", "66.7%"};

}  // namespace

// ---- label builders ----

void TLine::ComputeExtendedLine(LINEPOINT a0, LINEPOINT a1) {
  const RECT &r = map.rect;
  if (a0.y == a1.y) {
    labels[0] = At(r.left, a0.y);
    labels[1] = At(r.right, a0.y);
  } else if (a0.x == a1.x) {
    labels[0] = At(a0.x, r.top);
    labels[1] = At(a0.x, r.bottom);
  } else {
    labels[0] = EdgeEnd(a0.x, a0.y, a1.x, a1.y, r.left, r.top, r.bottom);
    labels[1] = EdgeEnd(a0.x, a0.y, a1.x, a1.y, r.right, r.top, r.bottom);
  }
}

void TLine::ComputeParallelLines(LINEPOINT a0, LINEPOINT a1) {
  ComputeExtendedLine(a0, a1);
  labels[4] = labels[0];
  labels[5] = labels[1];
  if (a0.y == a1.y || a0.x == a1.x) {
    for (int i = 0; i < 4; ++i) labels[i] = labels[4 + (i & 1)];
    return;
  }
  const RECT &r = map.rect;
  const int dy = a1.y - a0.y;
  for (int k = 0; k < 2; ++k) {
    const int shift = k == 0 ? -dy : dy;
    labels[2 * k] = EdgeEnd(a0.x, a0.y + shift, a1.x, a1.y + shift, r.left, r.top, r.bottom);
    labels[2 * k + 1] = EdgeEnd(a0.x, a0.y + shift, a1.x, a1.y + shift, r.right, r.top, r.bottom);
  }
}

namespace {

// One level: its two labels at the plot's sides and the value at its height.
void SetLevel(LINEPOINT *labels, int level, double y, int yInt, const LINEMAPPING &map) {
  labels[2 * level] = At(map.rect.left, yInt);
  labels[2 * level + 1] = At(map.rect.right, yInt);
  const double height = map.rect.bottom - map.rect.top;
  labels[2 * level].price =
      float(height != 0 ? map.high - (y - map.rect.top) * (map.high - map.low) / height : map.high);
}

}  // namespace

void TLine::ComputeGoldenLevels(LINEPOINT a0, LINEPOINT a1) {
  for (int i = 0; i < 7; ++i) {
    const float y = float(a0.y) + float(a1.y - a0.y) * kGoldenRatios[i];
    SetLevel(labels, i, y, LineTrunc(y), map);
  }
}

void TLine::ComputePercentLevels(LINEPOINT a0, LINEPOINT a1) {
  for (int i = 0; i < 5; ++i) {
    const int y = a0.y + (a1.y - a0.y) * i / 4;
    SetLevel(labels, i, y, y, map);
  }
}

void TLine::ComputeComplexPercentLevels(LINEPOINT a0, LINEPOINT a1) {
  for (int j = 0; j < 9; ++j) {
    const int y = a0.y + (a1.y - a0.y) * j / 8;
    SetLevel(labels, j, y, y, map);
  }
  for (int k = 1; k <= 2; ++k) {
    const int y = a0.y + (a1.y - a0.y) * k / 3;
    SetLevel(labels, 8 + k, y, y, map);
  }
}

void TLine::ComputeRectangle(LINEPOINT a0, LINEPOINT a1) {
  labels[0] = a0;
  labels[1] = At(a1.x, a0.y);
  labels[2] = a1;
  labels[3] = At(a0.x, a1.y);
}

void TLine::ComputeGannFan(LINEPOINT a0, LINEPOINT a1) {
  if (a1.x < a0.x) return;
  const RECT &r = map.rect;
  const int x0 = a0.x, y0 = a0.y, x1 = a1.x, y1 = a1.y, dx = x1 - x0;
  const float sx = float((x1 - x0) / 5), sy = float((y1 - y0) / 5);
  const bool rising = y1 < y0;
  for (int k = 0; k < 9; ++k) {
    LINEPOINT end;
    if (k < 5) {
      const double o = k < 4 ? sx * float(k + 1) : float(dx);
      if (rising) {
        const int x = LineTrunc(x0 + o / (y0 - y1) * (y0 - r.top));
        end = x > r.right ? At(r.right, y0 - LineTrunc((y0 - y1) / o * (r.right - x0))) : At(x, r.top);
      } else if (y1 == y0) {
        end = At(r.right, y0);
      } else {
        const int x = LineTrunc(x0 + o / (y1 - y0) * (r.bottom - y0));
        end = x > r.right ? At(r.right, LineTrunc(y0 + (y1 - y0) / o * (r.right - x0))) : At(x, r.bottom);
      }
    } else {
      const double o = sy * float(k - 4);
      if (x0 == x1) {
        end = At(x0, rising ? r.top : r.bottom);
      } else {
        const int y = y0 + LineTrunc(o / dx * (r.right - x0));
        if (rising && y < r.top)
          end = At(LineTrunc(x0 + dx / o * (r.top - y0)), r.top);
        else if (!rising && y > r.bottom)
          end = At(LineTrunc(x0 + dx / o * (r.bottom - y0)), r.bottom);
        else
          end = At(r.right, y);
      }
    }
    labels[2 * k] = a0;
    labels[2 * k + 1] = end;
  }
}

void TLine::ComputeSpeedResistance(LINEPOINT a0, LINEPOINT a1) {
  if (a1.x < a0.x) return;
  const RECT &r = map.rect;
  const int x0 = a0.x, y0 = a0.y, y1 = a1.y;
  const double dx = a1.x - a0.x;
  const float third = 0.33333334f;
  const float steps[3] = {float(y1 - y0) * third, float(2 * (y1 - y0)) * third, float(y1 - y0)};
  for (int k = 0; k < 3; ++k) {
    const double o = steps[k];
    LINEPOINT end;
    if (y1 < y0) {
      const int x = LineTrunc(x0 + dx / std::fabs(o) * (y0 - r.top));
      end = x > r.right ? At(r.right, y0 - LineTrunc(std::fabs(o) / dx * (r.right - x0))) : At(x, r.top);
    } else if (y1 == y0) {
      end = At(r.right, y0);
    } else {
      const int x = LineTrunc(x0 + dx / o * (r.bottom - y0));
      end = x > r.right ? At(r.right, LineTrunc(y0 + o / dx * (r.right - x0))) : At(x, r.bottom);
    }
    labels[2 * k] = a0;
    labels[2 * k + 1] = end;
  }
}

void TLine::ComputeRegressionBand(LINEPOINT a0, LINEPOINT a1) { ComputeRegression(a0, a1, false); }

void TLine::ComputeRegressionChannel(LINEPOINT a0, LINEPOINT a1) { ComputeRegression(a0, a1, true); }

void TLine::ComputeRegression(LINEPOINT a0, LINEPOINT a1, bool channel) {
  if (map.timeCount == 0 || !map.bars) return;
  const double pitch = Pitch();
  if (pitch <= 0) return;
  const RECT &r = map.rect;
  const int64_t i0 = LineTrunc((a0.x - r.left) / pitch + map.firstBar);
  int64_t i1 = LineTrunc((a1.x - r.left) / pitch + map.firstBar);
  if (i1 <= i0) return;
  i1 = std::min<int64_t>(i1, int64_t(map.firstBar) + map.visibleBars - 1);
  if (i1 <= i0) return;
  const double scale = map.high > map.low ? (r.bottom - r.top) / (map.high - map.low) : 0.0;
  const double divisor = PriceDivisor();
  auto pixels = [&](uint32_t price) { return (price / divisor - map.low) * scale; };
  // Axis times without a bar of this instrument (an overlay's) stay out of
  // the sums.
  double sx = 0, sxx = 0, sy = 0, sxy = 0;
  int64_t n = 0, iH = -1, iL = -1;
  uint32_t highest = 0, lowest = 0;
  for (int64_t i = i0 + 1; i <= i1; ++i) {
    if (i < 0 || i >= int64_t(map.timeCount)) continue;
    const int bar = FindBarByTime(map.bars, int(map.barCount), map.times[i]);
    if (bar < 0) continue;
    const KLINEBAR &b = map.bars[bar];
    const double u = double(i - i0), v = pixels(b.close);
    sx += u;
    sxx += u * u;
    sy += LineTrunc(v);
    sxy = LineTrunc(sxy + u * v);
    ++n;
    if (iH < 0 || b.high > highest) iH = i, highest = b.high;
    if (iL < 0 || b.low < lowest) iL = i, lowest = b.low;
  }
  if (n == 0 || n * sxx == sx * sx) return;
  const double m = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  const double c = (sy - sx * m) / n;
  const double span = double(i1 - i0);
  const int xa = BarCentre(double(i0)), xb = BarCentre(double(i1));
  const double cH = c + (pixels(highest) - (c + (iH - i0) * m));
  const double cL = c + (pixels(lowest) - (c + (iL - i0) * m));
  auto line = [&](double cc, int first) {
    labels[first] = At(xa, r.bottom - LineTrunc(cc));
    labels[first + 1] = At(xb, r.bottom - LineTrunc(span * m + cc));
  };
  line(c, 4);
  line(cH, 0);
  line(cL, 2);
  if (channel) {
    // Where each line meets the right edge, from its unclipped ends.
    auto extend = [&](int first, int target) {
      const LINEPOINT &p = labels[first], &q = labels[first + 1];
      int y = p.x == q.x ? p.y : LineTrunc(p.y + double(q.y - p.y) * (r.right - p.x) / double(q.x - p.x));
      int x = r.right;
      if (y < r.top || y > r.bottom) {
        const int edge = y < r.top ? r.top : r.bottom;
        if (q.y != p.y) x = LineTrunc(p.x + double(edge - p.y) * (q.x - p.x) / double(q.y - p.y));
        y = edge;
      }
      labels[target] = At(x, y);
    };
    extend(4, 7);
    extend(0, 6);
    extend(2, 8);
  }
  ClipPairToRows(labels[4], labels[5], r.top, r.bottom - 1);
  ClipPairToRows(labels[0], labels[1], r.top, r.bottom - 1);
  ClipPairToRows(labels[2], labels[3], r.top, r.bottom - 1);
  anchors[0].y = labels[4].y;
  anchors[1].y = labels[5].y;
}

bool TLine::ClipPointToChart(LINEPOINT &p, const LINEPOINT &other) const {
  const RECT &r = map.rect;
  if (p.x < r.left || p.x > r.right) {
    if (p.x == other.x) return false;
    const int edge = p.x < r.left ? r.left : r.right;
    p.y = LineTrunc(p.y + double(edge - p.x) * (other.y - p.y) / double(other.x - p.x));
    p.x = edge;
  }
  if (p.y < r.top || p.y > r.bottom) {
    if (p.y == other.y) return false;
    const int edge = p.y < r.top ? r.top : r.bottom;
    p.x = LineTrunc(p.x + double(edge - p.y) * (other.x - p.x) / double(other.y - p.y));
    p.y = edge;
  }
  return true;
}

bool TLine::RebuildLabels(bool forPaint) {
  const LINEPOINT a0 = anchors[0], a1 = anchorCount > 1 ? anchors[1] : anchors[0];
  switch (type) {
    case 1: ComputeExtendedLine(a0, a1); break;
    case 2:
      labels[0] = a0;
      labels[1] = a1;
      if (forPaint) {
        LINEPOINT l0 = a0, l1 = a1;
        if (!ClipPointToChart(l0, a1) || !ClipPointToChart(l1, a0)) return false;
        labels[0] = l0;
        labels[1] = l1;
      }
      break;
    case 3: ComputeParallelLines(a0, a1); break;
    case 5: ComputeGoldenLevels(a0, a1); break;
    case 6: ComputePercentLevels(a0, a1); break;
    case 8: ComputeRectangle(a0, a1); break;
    case 9: ComputeGannFan(a0, a1); break;
    case 12: ComputeSpeedResistance(a0, a1); break;
    case 13: ComputeRegressionBand(a0, a1); break;
    case 14: ComputeRegressionChannel(a0, a1); break;
    case 29: ComputeComplexPercentLevels(a0, a1); break;
    default: break;
  }
  return true;
}

// ---- pictures ----

void TLine::DrawLevels(HDC dc, int levels, const char *const *texts, int textLength, bool strict) {
  const RECT &r = map.rect;
  LabelTextScope textScope(dc, ContrastColour(false));
  char format[16];
  std::snprintf(format, sizeof format, "%%-7.%df", std::clamp(PriceDecimals(), 0, 9));
  for (int i = 0; i < levels; ++i) {
    const LINEPOINT &a = labels[2 * i], &b = labels[2 * i + 1];
    const int y = a.y;
    const bool inside = strict ? (y > r.top && y < r.bottom) : (y >= r.top && y <= r.bottom);
    if (!inside) continue;
    if (!texts[i]) {
      DrawSegmentXY(a, b, dc, false);
      continue;
    }
    DrawDottedSegmentXY(a, b, dc, false);
    TextOutA(dc, r.left + 4, y, texts[i], textLength);
    char value[64];
    std::snprintf(value, sizeof value, format, double(a.price));
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, value, int(std::strlen(value)), &size);
    TextOutA(dc, r.right - size.cx, y, value, int(std::strlen(value)));
  }
}

void TLine::DrawSine(HDC dc) {
  const RECT &r = map.rect;
  const int x0 = anchors[0].x, y0 = anchors[0].y, x1 = anchors[1].x;
  const int a = anchors[1].y - y0;
  if (x0 == x1) {
    DrawSegment(POINT{x0, y0 + std::abs(a)}, POINT{x0, y0 - std::abs(a)}, dc, false);
    return;
  }
  auto f = [&](int x) { return y0 + LineTrunc(a * std::sin((x - x0) * 3.14159 / (2.0 * (x1 - x0)))); };
  auto inRows = [&](int y) { return y >= r.top && y <= r.bottom; };
  PenScope pen(dc, PS_SOLID, ContrastColour(true));
  for (int direction : {-1, +1}) {
    POINT previous{x0, y0};
    for (int x = x0 + direction; direction < 0 ? x >= r.left : x < r.right; x += direction) {
      const POINT p{x, f(x)};
      if (inRows(previous.y) && inRows(p.y)) {
        MoveToEx(dc, previous.x, previous.y, nullptr);
        LineTo(dc, p.x, p.y);
      }
      previous = p;
    }
  }
}

void TLine::DrawArc(HDC dc) {
  const RECT &r = map.rect;
  const int x0 = anchors[0].x, y0 = anchors[0].y, x1 = anchors[1].x, y1 = anchors[1].y;
  const double w = std::abs(x1 - x0), h = std::abs(y1 - y0);
  auto root = [](double v) { return v > 0 ? std::sqrt(v) : 0.0; };
  auto inRows = [&](int y) { return y >= r.top && y <= r.bottom; };
  PenScope pen(dc, PS_SOLID, ContrastColour(true));
  POINT previous{x0, y0};
  auto step = [&](POINT p) {
    if (inRows(previous.y) && inRows(p.y)) {
      MoveToEx(dc, previous.x, previous.y, nullptr);
      LineTo(dc, p.x, p.y);
    }
    previous = p;
  };
  if (x1 > x0 && y1 > y0) {
    for (int i = 1; i <= 2 * w; ++i) {
      const POINT p{x0 + i, y0 + LineTrunc(root(h * h * (w * w - (w - i) * (w - i)) / (w * w)))};
      if (p.x > r.right) break;
      step(p);
    }
  } else if (x1 > x0) {
    if (h == 0) return;
    for (int i = 1; i <= 2 * h; ++i) {
      const POINT p{x0 + LineTrunc(root(w * w * (h * h - (h - i) * (h - i)) / (h * h))), y0 - i};
      if (p.y < r.top) break;
      step(p);
    }
  } else if (y1 > y0) {
    for (int i = 1; i <= 2 * h; ++i) {
      const POINT p{x0 - LineTrunc(root(w * w * (h * h - (h - i) * (h - i)) / (h * h))), y0 + i};
      if (p.y > r.bottom) break;
      step(p);
    }
  } else {
    if (w == 0) return;
    int first = 1;
    if (2 * x1 - x0 < r.left) {
      // Start where the curve enters the plot.
      previous = POINT{int(r.left), y0 - LineTrunc(root(h * h * (w * w - double(x1 - r.left) * (x1 - r.left)) / (w * w)))};
      first = int(r.left - (x1 - w)) + 1;
    } else {
      previous = POINT{2 * x1 - x0, y0};
    }
    for (int i = first; i <= 2 * w; ++i)
      step(POINT{LineTrunc(x1 - w + i), y0 - LineTrunc(root(h * h * (w * w - (w - i) * (w - i)) / (w * w)))});
  }
}

void TLine::DrawFibonacciCycle(HDC dc) {
  const RECT &r = map.rect;
  const int k0 = SlotOf(anchors[0].x);
  if (k0 < 0 || k0 >= map.visibleBars) return;
  LabelTextScope textScope(dc, ContrastColour(false));
  int64_t a = 1, b = 2;
  for (int64_t offset = 0;;) {
    const int x = r.left + LineTrunc(double(k0 + offset) * Pitch() + map.barWidth * 0.5 + map.barGap);
    if (x < r.left || x >= r.right) break;
    if (offset == 0)
      DrawSegment(POINT{x, int(r.top)}, POINT{x, int(r.bottom)}, dc, false);
    else
      DrawDottedSegment(POINT{x, int(r.top)}, POINT{x, int(r.bottom)}, dc, false);
    char number[24];
    const int length = std::snprintf(number, sizeof number, "%d", int(offset));
    TextOutA(dc, x + 2, r.top, number, length);
    if (offset < 2) {
      ++offset;
    } else {
      const int64_t next = a + b;
      a = b;
      b = next;
      offset = b;
    }
  }
}

void TLine::DrawCycles(HDC dc) {
  const RECT &r = map.rect;
  const int k0 = SlotOf(anchors[0].x), k1 = SlotOf(anchors[1].x);
  if (k0 < 0 || k0 >= map.visibleBars || k1 < 0 || k1 >= map.visibleBars) return;
  const int64_t d = k1 - k0;
  for (int64_t i = 0;; ++i) {
    const int x = r.left + LineTrunc(double(k0 + i * d) * Pitch() + map.barWidth * 0.5 + map.barGap);
    if (x < r.left || x >= r.right) break;
    if (i == 0)
      DrawSegment(POINT{x, int(r.top)}, POINT{x, int(r.bottom)}, dc, false);
    else
      DrawDottedSegment(POINT{x, int(r.top)}, POINT{x, int(r.bottom)}, dc, false);
    if (d == 0) break;
  }
}

void TLine::DrawRays(HDC dc, int rays, int solidRay) {
  if (anchors[0].x > anchors[1].x) return;
  const RECT &r = map.rect;
  auto inside = [&](const LINEPOINT &p) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; };
  for (int k = 0; k < rays; ++k) {
    const LINEPOINT &a = labels[2 * k], &b = labels[2 * k + 1];
    if (!inside(a) || !inside(b)) continue;
    if (k == solidRay)
      DrawSegmentXY(a, b, dc, false);
    else
      DrawDottedSegmentXY(a, b, dc, false);
  }
}

void TLine::DrawPicture(HDC dc) {
  const RECT &r = map.rect;
  switch (type) {
    case 1:
    case 2: DrawSegmentXY(labels[0], labels[1], dc, false); break;
    case 3:
      DrawSegmentXY(labels[4], labels[5], dc, false);
      DrawSegmentXY(labels[0], labels[1], dc, false);
      DrawSegmentXY(labels[2], labels[3], dc, false);
      break;
    case 4: DrawSine(dc); break;
    case 5: DrawLevels(dc, 7, kGoldenTexts, 6, false); break;
    case 6: DrawLevels(dc, 5, kPercentTexts, 3, true); break;
    case 29: DrawLevels(dc, 11, kComplexTexts, 5, true); break;
    case 7: DrawArc(dc); break;
    case 8: {
      const int x0 = anchors[0].x, x1 = anchors[1].x, y0 = anchors[0].y;
      if (x0 < r.left || x0 >= r.right || x1 < r.left || x1 >= r.right || y0 < r.top || y0 >= r.bottom) break;
      DrawSegmentXY(labels[0], labels[1], dc, false);
      DrawSegmentXY(labels[1], labels[2], dc, false);
      DrawSegmentXY(labels[2], labels[3], dc, false);
      DrawSegmentXY(labels[0], labels[3], dc, false);
      break;
    }
    case 9: DrawRays(dc, 9, 4); break;
    case 12: DrawRays(dc, 3, 2); break;
    case 10: DrawFibonacciCycle(dc); break;
    case 11: DrawCycles(dc); break;
    case 13:
    case 14:
      if (map.timeCount == 0 || SlotOf(anchors[1].x) <= SlotOf(anchors[0].x)) break;
      DrawSegmentXY(labels[4], labels[5], dc, false);
      if (type == 13) {
        DrawDottedSegmentXY(labels[0], labels[1], dc, false);
        DrawDottedSegmentXY(labels[2], labels[3], dc, false);
      } else {
        DrawSegmentXY(labels[0], labels[1], dc, false);
        DrawSegmentXY(labels[2], labels[3], dc, false);
        DrawDottedSegmentXY(labels[1], labels[6], dc, false);
        DrawDottedSegmentXY(labels[5], labels[7], dc, false);
        DrawDottedSegmentXY(labels[3], labels[8], dc, false);
      }
      break;
    case 15: DrawTextObject(dc, r); break;
    case 16: DrawUpArrowGlyph(dc, r); break;
    case 17: DrawDownArrowGlyph(dc, r); break;
    case 20:
    case 21:
    case 22:
    case 23: DrawCornerArrowGlyph(dc, r); break;
    case 24: DrawHorizontalObject(dc, r); break;
    case 25: DrawVerticalObject(dc, r); break;
    case 26: DrawRising45(dc, r); break;
    case 27: DrawFalling45(dc, r); break;
    default: break;
  }
}

// ---- glyphs ----

namespace {

// A closed glyph outline in an ordinary pen, when its box fits in the plot.
void DrawGlyph(HDC dc, const RECT &clip, int x, int y, const int box[4], const int (*points)[2], int count,
               COLORREF colour) {
  if (x - box[0] < clip.left || x + box[1] >= clip.right || y - box[2] < clip.top || y + box[3] >= clip.bottom) return;
  POINT outline[8];
  for (int i = 0; i < count; ++i) outline[i] = POINT{x + points[i][0], y + points[i][1]};
  const int oldRop = SetROP2(dc, R2_COPYPEN);
  PenScope pen(dc, PS_SOLID, colour);
  Polyline(dc, outline, count);
  SetROP2(dc, oldRop);
}

}  // namespace

void TLine::DrawUpArrowGlyph(HDC dc, const RECT &clip) {
  static const int box[4] = {4, 4, 9, 3};
  static const int points[8][2] = {{0, -9}, {-4, -5}, {-2, -5}, {-2, 3}, {2, 3}, {2, -5}, {4, -5}, {0, -9}};
  DrawGlyph(dc, clip, anchors[0].x, anchors[0].y, box, points, 8, ViewColor(3));
}

void TLine::DrawDownArrowGlyph(HDC dc, const RECT &clip) {
  static const int box[4] = {4, 4, 3, 9};
  static const int points[8][2] = {{0, 9}, {-4, 5}, {-2, 5}, {-2, -3}, {2, -3}, {2, 5}, {4, 5}, {0, 9}};
  DrawGlyph(dc, clip, anchors[0].x, anchors[0].y, box, points, 8, ViewColor(2));
}

void TLine::DrawCornerArrowGlyph(HDC dc, const RECT &clip) {
  static const int boxes[4][4] = {{6, 4, 6, 4}, {4, 6, 6, 4}, {6, 4, 4, 6}, {4, 6, 4, 6}};
  static const int points[4][8][2] = {
      {{4, 4}, {4, -3}, {2, -1}, {-5, -8}, {-8, -5}, {-1, 2}, {-3, 4}, {4, 4}},
      {{-4, 4}, {-4, -3}, {-2, -1}, {5, -8}, {8, -5}, {1, 2}, {3, 4}, {-4, 4}},
      {{4, -4}, {4, 3}, {2, 1}, {-5, 8}, {-8, 5}, {-1, -2}, {-3, -4}, {4, -4}},
      {{-4, -4}, {-4, 3}, {-2, 1}, {5, 8}, {8, 5}, {1, -2}, {3, -4}, {-4, -4}}};
  const int k = type - 20;
  if (k < 0 || k > 3) return;
  DrawGlyph(dc, clip, anchors[0].x, anchors[0].y, boxes[k], points[k], 8, ViewColor(k < 2 ? 2 : 3));
}

void TLine::DrawTextObject(HDC dc, const RECT &clip) {
  const int x = anchors[0].x, y = anchors[0].y;
  HFONT font = CreateLineFont(fontHeight, fontFace, fontStyle);
  HGDIOBJ oldFont = SelectObject(dc, font);
  const int length = int(strnlen(text, sizeof text));
  SIZE extent{0, 0};
  GetTextExtentPoint32A(dc, text, length, &extent);
  if (fontStyle & 2) extent.cx += std::abs(fontHeight) / 2;
  RECT box{x, y, x + extent.cx, y + extent.cy};
  RECT shown;
  if (IntersectRect(&shown, &box, &clip)) {
    // Ordinary text held to its box inside the plot.
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, shown.left, shown.top, shown.right, shown.bottom);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, ContrastColour(false));
    TextOutA(dc, x, y, text, length);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    RestoreDC(dc, saved);
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void TLine::DrawHorizontalObject(HDC dc, const RECT &clip) {
  const int y = anchors[0].y;
  if (y >= clip.top && y < clip.bottom) DrawSegment(POINT{int(clip.left), y}, POINT{int(clip.right), y}, dc, false);
}

void TLine::DrawVerticalObject(HDC dc, const RECT &clip) {
  const int x = anchors[0].x;
  if (x >= clip.left && x < clip.right) DrawSegment(POINT{x, int(clip.top)}, POINT{x, int(clip.bottom)}, dc, false);
}

void TLine::DrawRising45(HDC dc, const RECT &clip) {
  const int x = anchors[0].x, y = anchors[0].y;
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
  const int m = std::min(int(clip.right) - x, y - int(clip.top));
  DrawSegment(POINT{x, y}, POINT{x + m, y - m}, dc, false);
}

void TLine::DrawFalling45(HDC dc, const RECT &clip) {
  const int x = anchors[0].x, y = anchors[0].y;
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
  const int m = std::min(int(clip.right) - x, int(clip.bottom) - y);
  DrawSegment(POINT{x, y}, POINT{x + m, y + m}, dc, false);
}
