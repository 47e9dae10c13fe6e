// The rasteriser: spans, pixels and one-pixel lines written straight into a
// surface with the line modes, clipped to the context's rectangles. Shapes
// whose outline Qt computes arrive here as coverage masks, so every pixel a
// context changes goes through the same mixing and clipping.
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

#include "platform/internal/gdi_objects.h"

namespace platform {
namespace {

template <int B>
void RunSpan(uint8_t *p, int n, uint32_t color, int rop) {
  switch (rop) {
    case R2_COPYPEN:
      if constexpr (B == 4) {
        std::fill_n(reinterpret_cast<uint32_t *>(p), n, color | 0xFF000000u);
      } else if (n > 0) {
        // Three-byte pixels: one, then copies doubling in length.
        StorePixel(p, B, color);
        size_t done = 3, total = size_t(n) * 3;
        while (done < total) {
          size_t more = std::min(done, total - done);
          std::memcpy(p + done, p, more);
          done += more;
        }
      }
      return;
    case R2_NOP: return;
    case R2_NOT:
      for (int i = 0; i < n; ++i, p += B) StorePixel(p, B, ~LoadPixel(p, B) & 0xFFFFFF);
      return;
    case R2_XORPEN:
      for (int i = 0; i < n; ++i, p += B) StorePixel(p, B, LoadPixel(p, B) ^ color);
      return;
    default:
      for (int i = 0; i < n; ++i, p += B) StorePixel(p, B, Rop2(rop, color, LoadPixel(p, B)));
      return;
  }
}

inline bool HatchBit(int hatch, int x, int y) {
  switch (hatch) {
    case HS_HORIZONTAL: return y == 7;
    case HS_VERTICAL: return x == 7;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 7 || y == 7;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    default: return false;
  }
}

// Dash patterns of the styled one-pixel pens: on, off, on, off ... in pixels.
struct Dashes {
  int count;
  int lengths[6];
  int total;
};
constexpr Dashes kDashes[] = {
    {2, {18, 6}, 24},                // PS_DASH
    {2, {3, 3}, 6},                  // PS_DOT
    {4, {9, 6, 3, 6}, 24},           // PS_DASHDOT
    {6, {9, 3, 3, 3, 3, 3}, 24},     // PS_DASHDOTDOT
};

bool DashOn(int style, int position) {
  const Dashes &d = kDashes[style - PS_DASH];
  int p = position % d.total;
  for (int i = 0; i < d.count; ++i) {
    if (p < d.lengths[i]) return (i & 1) == 0;
    p -= d.lengths[i];
  }
  return true;
}


}  // namespace

void WriteRun(const Surface &s, int sx, int sy, int n, uint32_t color, int rop) {
  uint8_t *p = s.Row(sy) + ptrdiff_t(sx) * s.bytes;
  if (s.bytes == 4) {
    RunSpan<4>(p, n, color, rop);
  } else {
    RunSpan<3>(p, n, color, rop);
  }
}

uint32_t Rop2(int mode, uint32_t pen, uint32_t dst) {
  unsigned t = unsigned(mode - 1) & 15;
  uint32_t r = 0;
  if (t & 8) r |= pen & dst;
  if (t & 4) r |= pen & ~dst;
  if (t & 2) r |= ~pen & dst;
  if (t & 1) r |= ~pen & ~dst;
  return r & 0xFFFFFF;
}

void Span(Dc &dc, int y, int x0, int x1, uint32_t color, int rop2) {
  if (x0 >= x1 || y < dc.clipBounds.top() || y > dc.clipBounds.bottom()) return;
  const Surface &s = dc.surface;
  const int ox = dc.deviceOffset.x, oy = dc.deviceOffset.y;
  for (const QRect &r : dc.clipRects) {
    if (y < r.top() || y > r.bottom()) continue;
    int a = std::max(x0, r.left()), b = std::min(x1, r.right() + 1);
    if (a < b) WriteRun(s, a + ox, y + oy, b - a, color, rop2);
  }
}

namespace {

// A copy of one colour over a block of a surface.
template <int B>
void CopyBlock(const Surface &s, int x, int y, int width, int height, uint32_t color) {
  uint8_t *row = s.Row(y) + ptrdiff_t(x) * B;
  if (width == 1) {
    // Upright lines and thin bars: one pixel a row.
    for (int i = 0; i < height; ++i, row += s.pitch) StorePixel(row, B, color);
    return;
  }
  for (int i = 0; i < height; ++i, row += s.pitch) RunSpan<B>(row, width, color, R2_COPYPEN);
}

}  // namespace

void FillArea(Dc &dc, const QRect &rect, uint32_t color, int rop2) {
  if (!rect.intersects(dc.clipBounds)) return;
  const Surface &s = dc.surface;
  const int ox = dc.deviceOffset.x, oy = dc.deviceOffset.y;
  for (const QRect &clip : dc.clipRects) {
    QRect part = rect & clip;
    if (part.isEmpty()) continue;
    if (rop2 == R2_COPYPEN) {
      if (s.bytes == 4) {
        CopyBlock<4>(s, part.left() + ox, part.top() + oy, part.width(), part.height(), color);
      } else {
        CopyBlock<3>(s, part.left() + ox, part.top() + oy, part.width(), part.height(), color);
      }
      continue;
    }
    for (int y = part.top(); y <= part.bottom(); ++y) WriteRun(s, part.left() + ox, y + oy, part.width(), color, rop2);
  }
}

void Plot(Dc &dc, int x, int y, uint32_t color, int rop2) {
  const QRect &b = dc.clipBounds;
  if (x < b.left() || x > b.right() || y < b.top() || y > b.bottom()) return;
  if (dc.clipRects.size() == 1) {  // the bounds are the one rectangle
    WriteRun(dc.surface, x + dc.deviceOffset.x, y + dc.deviceOffset.y, 1, color, rop2);
    return;
  }
  for (const QRect &r : dc.clipRects) {
    if (x >= r.left() && x <= r.right() && y >= r.top() && y <= r.bottom()) {
      WriteRun(dc.surface, x + dc.deviceOffset.x, y + dc.deviceOffset.y, 1, color, rop2);
      return;
    }
  }
}

bool BrushPixel(const Dc &dc, const Brush &brush, int x, int y, uint32_t &color) {
  if (brush.style == BS_SOLID) {
    color = ToPixel(brush.dcBrush ? dc.state.dcBrushColor : brush.color);
    return true;
  }
  color = 0;
  if (brush.style != BS_HATCHED && brush.style != BS_PATTERN) return false;
  const int px = int(((int64_t(x) - dc.state.brushOrg.x) % 8 + 8) % 8);
  const int py = int(((int64_t(y) - dc.state.brushOrg.y) % 8 + 8) % 8);
  if (brush.style == BS_PATTERN) {
    if (brush.patternWidth <= 0 || brush.patternHeight <= 0) return false;
    color = brush.pattern[py % brush.patternHeight][px % brush.patternWidth];
    return true;
  }
  if (HatchBit(brush.hatch, px, py)) {
    color = ToPixel(brush.color);
    return true;
  }
  color = ToPixel(dc.state.bkColor);
  return false;
}

void BrushSpan(Dc &dc, int y, int x0, int x1, const Brush &brush, int rop2) {
  if (brush.style == BS_NULL || x0 >= x1) return;
  if (brush.style == BS_SOLID) {
    Span(dc, y, x0, x1, ToPixel(brush.dcBrush ? dc.state.dcBrushColor : brush.color), rop2);
    return;
  }
  if (y < dc.clipBounds.top() || y > dc.clipBounds.bottom()) return;
  // A hatch's gaps take the background colour when the background is opaque.
  const bool gaps = brush.style == BS_HATCHED && dc.state.bkMode == OPAQUE;
  const int ox = dc.deviceOffset.x, oy = dc.deviceOffset.y;
  for (const QRect &r : dc.clipRects) {
    if (y < r.top() || y > r.bottom()) continue;
    const int a = std::max(x0, r.left()), b = std::min(x1, r.right() + 1);
    for (int x = a; x < b; ++x) {
      uint32_t color;
      if (BrushPixel(dc, brush, x, y, color) || gaps) WriteRun(dc.surface, x + ox, y + oy, 1, color, rop2);
    }
  }
}

void FillDeviceRect(Dc &dc, const QRect &rect, const Brush &brush, int rop2) {
  if (brush.style == BS_SOLID) {
    FillArea(dc, rect, ToPixel(brush.dcBrush ? dc.state.dcBrushColor : brush.color), rop2);
    return;
  }
  QRect area = rect & dc.clipBounds;
  if (area.isEmpty()) return;
  for (int y = area.top(); y <= area.bottom(); ++y) BrushSpan(dc, y, area.left(), area.right() + 1, brush, rop2);
}

void DeviceLine(Dc &dc, QPoint a, QPoint b, const Pen &pen, bool lastPixel) {
  if (pen.style == PS_NULL) return;
  const uint32_t color = ToPixel(pen.dcPen ? dc.state.dcPenColor : pen.color);
  const int rop = dc.state.rop2;
  const int dx = b.x() - a.x(), dy = b.y() - a.y();  // device coordinates are bounded: no overflow
  const int adx = std::abs(dx), ady = std::abs(dy);
  const int steps = std::max(adx, ady) + (lastPixel ? 1 : 0);
  const bool styled = pen.style >= PS_DASH && pen.style <= PS_DASHDOTDOT;
  if (steps == 0) return;
  if (!styled && dy == 0) {
    // Solid straight lines are thin rectangles.
    int x0 = dx >= 0 ? a.x() : a.x() - steps + 1;
    FillArea(dc, QRect(x0, a.y(), steps, 1), color, rop);
    return;
  }
  if (!styled && dx == 0) {
    int y0 = dy >= 0 ? a.y() : a.y() - steps + 1;
    FillArea(dc, QRect(a.x(), y0, 1, steps), color, rop);
    return;
  }
  const uint32_t back = ToPixel(dc.state.bkColor);
  const bool opaque = dc.state.bkMode == OPAQUE;
  int &position = dc.state.penStylePos;
  const int total = steps;
  int walked = 0, skipped = 0;
  WalkLine(
      a, b, lastPixel,
      [&](int x, int y) {
        ++walked;
        if (!styled) {
          Plot(dc, x, y, color, rop);
        } else if (DashOn(pen.style, position + skipped + walked - 1)) {
          Plot(dc, x, y, color, rop);
        } else if (opaque) {
          Plot(dc, x, y, back, rop);
        }
      },
      &dc.clipBounds, &skipped);
  // The dash pattern goes on where the whole line ends.
  if (styled) position = int((int64_t(position) + total) % 144);
}

namespace {

template <class F>
void CoverageRuns(const QImage &mask, QPoint origin, F &&run) {
  for (int y = 0; y < mask.height(); ++y) {
    const auto *line = reinterpret_cast<const uint32_t *>(mask.constScanLine(y));
    int x = 0;
    while (x < mask.width()) {
      while (x < mask.width() && (line[x] >> 24) < 128) ++x;
      int start = x;
      while (x < mask.width() && (line[x] >> 24) >= 128) ++x;
      if (x > start) run(origin.y() + y, origin.x() + start, origin.x() + x);
    }
  }
}

}  // namespace

void CoverageSpans(Dc &dc, const QImage &mask, QPoint origin, uint32_t color, int rop2) {
  CoverageRuns(mask, origin, [&](int y, int x0, int x1) { Span(dc, y, x0, x1, color, rop2); });
}

void CoverageBrush(Dc &dc, const QImage &mask, QPoint origin, const Brush &brush, int rop2) {
  CoverageRuns(mask, origin, [&](int y, int x0, int x1) { BrushSpan(dc, y, x0, x1, brush, rop2); });
}

QImage RenderCoverage(const QRect &area, const std::function<void(QPainter &)> &draw) {
  QImage mask(area.size(), QImage::Format_ARGB32_Premultiplied);
  mask.fill(0);
  QPainter painter(&mask);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.translate(-area.topLeft());
  draw(painter);
  painter.end();
  return mask;
}

}  // namespace platform
