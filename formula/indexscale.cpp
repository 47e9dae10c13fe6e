// The value axis of an indicator window: the range of what a formula draws in
// the visible bars, the scale labels with their dotted grid rows, and the
// small drawing operations every indicator painter shares.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/chartgfx.h"
#include "core/ewnd.h"
#include "formula/kvindex.h"
#include "platform/gdi.h"

// ---- shared drawing operations ----------------------------------------------------------

int32_t ValueToY(uint8_t inverted, const RECT &rect, int32_t offset) {
  return inverted ? rect.top + kIndexLegendHeight + offset : rect.bottom - offset;
}

namespace {

RECT Normalized(const RECT &r) {
  RECT n = r;
  if (n.right < n.left) std::swap(n.left, n.right);
  if (r.bottom < r.top) {
    n.top = r.bottom + 1;
    n.bottom = r.top + 1;
  }
  return n;
}

}  // namespace

int FillRectNormalized(HDC dc, const RECT &rect, HBRUSH brush) {
  const RECT r = Normalized(rect);
  return FillRect(dc, &r, brush);
}

int FrameRectNormalized(HDC dc, const RECT &rect, HBRUSH brush) {
  const RECT r = Normalized(rect);
  return FrameRect(dc, &r, brush);
}

void PutDibPixel(EDibBitmap *dib, int x, int y, COLORREF color) {
  if (!dib || !dib->m_hBitmap || !dib->m_pBits) return;
  if (x < 0 || x >= dib->m_width || y < 0 || y >= dib->m_height) return;
  const int64_t offset = int64_t(dib->m_height - y - 1) * dib->m_stride + 3 * int64_t(x);
  if (offset < 0 || offset + 3 > dib->m_imageSize) return;
  unsigned char *p = dib->m_pBits + offset;
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
}

void DrawDottedRow(EDibBitmap *dib, int x0, int x1, int y, COLORREF color) {
  if (!dib || !dib->m_hBitmap) return;
  const int from = std::max(x0, 0), to = std::min(x1, dib->m_width);
  for (int x = from | 1; x < to; x += 2) PutDibPixel(dib, x, y, color);
}

IndexSelected::IndexSelected(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(SelectObject(dc, object)) {}

IndexSelected::~IndexSelected() {
  SelectObject(dc_, old_);
  DeleteObject(object_);
}

COLORREF IndexColor(int nn) {
  if (nn < 1 || nn > kIndexColorSlots) return 0;
  return IndexColorTable()[nn - 1];
}

HFONT CreateIndexFont(int nn) {
  const VIEWFONTDEF &f = IndexFontEntry(nn);
  char face[16] = {};
  std::memcpy(face, f.face, sizeof f.face);
  return CreateFontA(-f.size, 0, 0, 0, (f.style & 1) ? 700 : 400, f.style & 2 ? 1 : 0, f.style & 4 ? 1 : 0,
                     f.style & 8 ? 1 : 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

// ---- the visible window ------------------------------------------------------------------

int32_t IndexWindow::Bar(uint32_t i, uint32_t calcCount) const {
  if (i >= chartTimeCount || !chartTimes) return -1;
  // Mostly the time axis is the series' own: its bar i has the time.
  const int j = bars && i < barCount && bars[i].time == chartTimes[i]
                    ? int(i)
                    : FindBarByTime(bars, int(std::min<uint32_t>(barCount, INT32_MAX)), chartTimes[i]);
  return j >= 0 && uint32_t(j) < calcCount ? j : -1;
}

bool IndexWindow::Overlaps(uint32_t calcCount) const {
  if (!calcCount || !barCount || !bars || !chartTimeCount || !chartTimes) return false;
  if (first >= chartTimeCount || count == 0) return false;
  const uint32_t lastBar = std::min(calcCount, barCount) - 1;
  return chartTimes[first] <= bars[lastBar].time && bars[0].time <= chartTimes[End() - 1];
}

// ---- value range -------------------------------------------------------------------------

namespace {

// A growing [lo, hi]; values that are not finite (LN(0), overflow) are left out.
struct ValueSpan {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  bool any = false;

  void Add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
    any = true;
  }
  void Lower(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    if (!any) hi = v;
    any = true;
  }
  void Raise(double v) {
    if (!std::isfinite(v)) return;
    hi = std::max(hi, v);
    if (!any) lo = v;
    any = true;
  }
};

bool CondAt(const CKvIndexDraw &d, int32_t bar) { return bar >= 0 && d.Condition(uint32_t(bar)); }

double SeriesAt(const CKvIndexDraw &d, int k, int32_t bar) {
  return d.series[k] && bar >= 0 && uint32_t(bar) < d.capacity ? d.series[k][bar] : 0.0;
}

void OwnLineRange(const CKvIndex &f, const CKvIndexVariable &v, const IndexWindow &w, double divisor,
                  ValueSpan &span) {
  const uint32_t end = w.End();
  switch (v.style) {
    case kStyleKStick:
    case kStyleBarStick: {
      const auto *stored = static_cast<const KLINEBAR *>(v.values);
      for (uint32_t i = w.first; i < end && stored; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (j < 0 || uint32_t(j) >= v.capacity) continue;
        span.Add(stored[j].low / divisor);
        span.Add(stored[j].high / divisor);
      }
      break;
    }
    case kStyleTowerStick: {
      const auto *towers = static_cast<const IndexTowerRecord *>(v.values);
      bool any = false;
      uint32_t high = 0, low = UINT32_MAX;
      for (uint32_t i = w.first; i < end && towers; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (j < 0 || uint32_t(j) >= v.capacity) continue;
        const IndexTowerRecord &t = towers[j];
        high = std::max(high, t.state <= 3 || t.state == 6 ? std::max(t.p1, t.p2) : std::max(t.p3, t.p4));
        low = std::min(low, t.state <= 2 ? std::min(t.p1, t.p2) : std::min(t.p3, t.p4));
        any = true;
      }
      if (any) {
        span.Add(high / divisor);
        span.Add(low / divisor);
      }
      break;
    }
    case kStylePointFigure:
      break;
    case kStyleColorStick:
    case kStyleVolStick:
    case kStyleStick: {
      for (uint32_t i = w.first; i < end; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (j < 0) continue;
        const double value = v.GetValue(uint32_t(j));
        if (!std::isfinite(value)) continue;
        if (!span.any) span.Add(0.0);  // sticks stand on the zero line
        span.Add(value);
      }
      break;
    }
    default:
      if (v.lineThick == 0) break;
      for (uint32_t i = w.first; i < end; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (j >= 0) span.Add(v.GetValue(uint32_t(j)));
      }
      break;
  }
}

void OwnDrawRange(const CKvIndex &f, const CKvIndexDraw &d, const IndexWindow &w, ValueSpan &span) {
  const uint32_t end = w.End();
  switch (d.kind) {
    case kDrawText:
    case kDrawIcon:
    case kDrawBmp:
    case kDrawNumber:
    case kDrawPartLine:
    case kDrawPolyLine:
    case kDrawSlope:
      if (!d.condBits || !d.series[0]) break;
      for (uint32_t i = w.first; i < end; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (CondAt(d, j)) span.Add(SeriesAt(d, 0, j));
      }
      break;
    case kDrawFillRgn:
    case kDrawStickLine:
      if (!d.condBits || !d.series[0] || !d.series[1]) break;
      for (uint32_t i = w.first; i < end; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (!CondAt(d, j)) continue;
        span.Add(SeriesAt(d, 0, j));
        span.Add(SeriesAt(d, 1, j));
      }
      break;
    case kDrawKLine:
    case kDrawBarLine:
      if (!d.series[0] || !d.series[2]) break;
      for (uint32_t i = w.first; i < end; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (j < 0) continue;
        span.Lower(SeriesAt(d, 2, j));
        span.Raise(SeriesAt(d, 0, j));
      }
      break;
    case kDrawLine: {
      if (!d.condBits || !d.series[0] || !d.series[2]) break;
      bool start = true;  // the marks pair up from chart position 0
      for (uint32_t i = 0; i < end; ++i) {
        const int32_t j = w.Bar(i, f.calcCount);
        if (!CondAt(d, j)) continue;
        if (i >= w.first) span.Add(SeriesAt(d, start ? 0 : 2, j));
        start = !start;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

bool CKvIndex::GetValueRange(const RECT &rect, const IndexWindow &window, double *minimum, double *maximum,
                             uint8_t inverted, uint8_t includeChain) const {
  *minimum = 0;
  *maximum = 0;
  bool chainFound = false;
  if (!IsRelativeOverlay() && includeChain) {
    const CKvIndex *f = next;
    while (f && (f->flags & kIndexOwnRange)) f = f->next;
    if (f) chainFound = f->GetValueRange(rect, window, minimum, maximum, inverted, 1);
  }

  ValueSpan span;
  if (window.Overlaps(calcCount)) {
    const double divisor = IndexStockFactsOf(seriesInfo).priceDivisor;
    for (const auto &v : variables)
      if (v->flags & kVariableOutput) OwnLineRange(*this, *v, window, divisor, span);
    for (const auto &d : draws) OwnDrawRange(*this, *d, window, span);
  }
  if (!span.any && !chainFound) return false;

  if (!span.any) {
    // Only the chain drew: its range takes in this formula's reference lines.
    for (uint32_t k = 0; k < refLineCount && k < 16; ++k) {
      const double v = refLines[k].value;
      if (!std::isfinite(v)) continue;
      if (v > *maximum) *maximum = v;
      else if (v < *minimum) *minimum = v;
    }
    return true;
  }

  double lo = span.lo, hi = span.hi;
  if (IsRelativeOverlay()) {
    double a = inverted ? 0.03 : 0.02, b = inverted ? 0.02 : 0.03;
    const double aMin = inverted ? 14 : 7, bMin = inverted ? 7 : 14;
    const double h = rect.bottom - rect.top;
    if (h > 0) {
      if (h * a < aMin) a = aMin / h;
      if (h * b < bMin) b = bMin / h;
    }
    if (a + b >= 1) a = b = 0;
    const double k = (hi - lo) / (1 - a - b);
    hi += a * k;
    lo -= b * k;
  }
  for (uint32_t k = 0; k < refLineCount && k < 16; ++k) {
    const double v = refLines[k].value;
    if (!std::isfinite(v)) continue;
    if (v > hi) hi = v;
    else if (v < lo) lo = v;
  }
  const bool plainOverlay = (flags & kIndexKindMask) == 1 && !(flags & kIndexOwnRange);
  if (!plainOverlay && hi < lo + 0.0001) {
    const int d = DecimalsNeeded(lo);
    hi = d < 0 ? lo + std::pow(10.0, -d) : lo + 1;
  }
  if (!chainFound) {
    *minimum = lo;
    *maximum = hi;
  } else {
    if (lo < *minimum) *minimum = lo;
    if (hi > *maximum) *maximum = hi;
  }
  return true;
}

// ---- scale -------------------------------------------------------------------------------

void FormatIndexScaleValue(double v, int n, char *out, size_t size) {
  n = std::clamp(n, 0, 10);
  const int d = DecimalsNeeded(v);
  if (d <= -8) std::snprintf(out, size, "%.*f亿", n, v / 100000000);
  else if (d <= -4) std::snprintf(out, size, "%.*f万", n, v / 10000);
  else std::snprintf(out, size, "%.*f", n, v);
}

namespace {

class ScalePainter {
 public:
  ScalePainter(EDibBitmap *dib, const RECT &plot, const RECT &scale, bool scaleOnLeft, uint8_t inverted)
      : dib_(dib), dc_(dib->m_hDC), plot_(plot), scale_(scale), onLeft_(scaleOnLeft), inverted_(inverted) {}

  // A label centred on row y with its dotted row across the plot.
  void Label(int y, const char *text, COLORREF rowColour) {
    SIZE size{};
    const int length = int(std::strlen(text));
    GetTextExtentPoint32A(dc_, text, length, &size);
    int ty = y - (size.cy >> 1);
    if (ty + size.cy >= scale_.bottom) ty = scale_.bottom - size.cy - 1;
    const int tx = onLeft_ ? scale_.right - 4 - size.cx : scale_.left + 4;
    TextOutA(dc_, tx, ty, text, length);
    DrawDottedRow(dib_, plot_.left + 1, plot_.right, y, rowColour);
  }
  // Labels that step away from the middle keep 20 pixels from the edge they
  // step toward.
  bool RoomStepping(int y, bool up) const {
    const bool towardTop = up != bool(inverted_);
    return towardTop ? y - 20 > plot_.top : y + 20 < plot_.bottom;
  }

 private:
  EDibBitmap *dib_;
  HDC dc_;
  RECT plot_, scale_;
  bool onLeft_;
  uint8_t inverted_;
};

}  // namespace

void CKvIndex::PaintScale(EDibBitmap *dib, const RECT &plotRect, const RECT &scaleRect, double minimum,
                          double maximum, double percentBase, int32_t percentMode, uint8_t scaleOnLeft,
                          uint8_t inverted, double priceFactor) const {
  const int H = plotRect.bottom - plotRect.top - kIndexLegendHeight;
  if (H <= 0 || !dib || !dib->m_hDC) return;
  minimum *= priceFactor;
  maximum *= priceFactor;
  // Labels only for a usable range: the steps below need a positive finite scale.
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || !(maximum > minimum)) return;
  const IndexValueAxis axis(plotRect, minimum, maximum, inverted);
  const double s = axis.scale;
  if (!std::isfinite(s) || !(s > 0)) return;

  HDC dc = dib->m_hDC;
  HFONT font = CreateIndexFont(6);
  HGDIOBJ oldFont = SelectObject(dc, font);
  const COLORREF oldText = SetTextColor(dc, IndexColor(13));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF grid = IndexColor(12), zeroRow = IndexColor(29);
  ScalePainter painter(dib, plotRect, scaleRect, scaleOnLeft, inverted);
  char text[96];

  if (percentMode == 0 && refLineCount > 0) {
    for (uint32_t k = 0; k < refLineCount && k < 16; ++k) {
      const double v = refLines[k].value * priceFactor;
      if (!std::isfinite(v)) continue;
      FormatIndexScaleValue(v, refLines[k].decimals, text, sizeof text);
      painter.Label(axis.Y(v), text, zeroRow);
    }
  } else if (percentMode == 0) {
    double step = 0;
    int n = 0;
    if (maximum <= 0 || minimum >= 0) {
      double s0 = 0;
      NiceAxisStep(maximum - minimum, &s0, &n);
      step = s0;
      while (IndexPixel(step * s) < 40 && IndexPixel((step + s0) * s) < H) step += s0;
      if (maximum <= 0) {
        const double base = std::trunc(minimum / step) * step;
        for (int k = 0; k <= H && base + k * step <= maximum; ++k) {
          const double v = base + k * step;
          const int y = axis.Y(v);
          if (!painter.RoomStepping(y, true)) continue;
          FormatIndexScaleValue(v, n, text, sizeof text);
          painter.Label(y, text, grid);
        }
      } else {
        const double base = std::trunc(maximum / step) * step;
        for (int k = 0; k <= H && base - k * step >= minimum; ++k) {
          const double v = base - k * step;
          const int y = axis.Y(v);
          if (!painter.RoomStepping(y, false)) continue;
          FormatIndexScaleValue(v, n, text, sizeof text);
          painter.Label(y, text, grid);
        }
      }
    } else {
      painter.Label(axis.Y(0.0), "0", zeroRow);
      double step1 = 0, step2 = 0;
      int dec1 = 0, dec2 = 0;
      NiceAxisStep(std::max(-minimum, 0.0001), &step1, &dec1);
      NiceAxisStep(std::max(maximum, 0.0001), &step2, &dec2);
      step = step2 < step1 ? step1 : step2;
      n = step2 < step1 ? dec1 : dec2;
      if (-minimum / step + maximum / step >= 10) step *= 2;
      while (IndexPixel(step * s) < 40) step *= 2;
      for (int k = 1; k <= H && k * step <= maximum; ++k) {
        const int y = axis.Y(k * step);
        if (!painter.RoomStepping(y, true)) continue;
        FormatIndexScaleValue(k * step, n, text, sizeof text);
        painter.Label(y, text, grid);
      }
      for (int k = 1; k <= H && -k * step >= minimum; ++k) {
        const int y = axis.Y(-k * step);
        if (!painter.RoomStepping(y, false)) continue;
        FormatIndexScaleValue(-k * step, n, text, sizeof text);
        painter.Label(y, text, grid);
      }
    }
  } else if (percentMode == 1 && std::isfinite(percentBase) && percentBase > 0) {
    const double b = percentBase;
    painter.Label(axis.Y(b), "0%", zeroRow);
    const double up = std::max((maximum - b) / b, 0.0001), down = std::max((b - minimum) / b, 0.0001);
    double step1 = 0, step2 = 0;
    int dec1 = 0, dec2 = 0;
    NiceAxisStep(up, &step1, &dec1);
    NiceAxisStep(down, &step2, &dec2);
    double step = step1 < step2 ? step2 : step1;
    const int n = step1 < step2 ? dec2 : dec1;
    if ((up + down) / step >= 10) step *= 2;
    while (IndexPixel(step * b * s) < 40) step *= 2;
    const int decimals = n > 2 ? n - 2 : 0;
    for (int k = 1; k <= H && b + k * step * b <= maximum; ++k) {
      const int y = axis.Y(b + k * step * b);
      if (!painter.RoomStepping(y, true)) continue;
      std::snprintf(text, sizeof text, "%.*f%%", decimals, k * step * 100);
      painter.Label(y, text, grid);
    }
    for (int k = 1; k <= H && b - k * step * b >= minimum; ++k) {
      const int y = axis.Y(b - k * step * b);
      if (!painter.RoomStepping(y, false)) continue;
      std::snprintf(text, sizeof text, "%.*f%%", decimals, -k * step * 100);
      painter.Label(y, text, grid);
    }
  }

  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldText);
  SelectObject(dc, oldFont);
  DeleteObject(font);
}
