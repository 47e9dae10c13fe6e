// Lines, shapes, rectangles and pixels.
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "platform/internal/gdi_objects.h"

namespace platform {
namespace {

// Brushes may be given as a system colour index + 1, as window classes do.
const Brush *BrushOf(HBRUSH handle) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value >= 1 && value <= uintptr_t(COLOR_MENUBAR) + 1) handle = GetSysColorBrush(int(value - 1));
  return LookupGdi<Brush>(handle);
}

// The outline and the fill of a shape, Qt computing the pixels: the fill
// leaves out the outline's pixels so that a mixing line mode touches each
// pixel once.
void DrawShape(Dc &dc, const QPainterPath &path, bool fill, const QRect &bounds) {
  const Pen *pen = dc.state.pen;
  const Brush *brush = dc.state.brush;
  const bool outline = !IsNullPen(pen);
  fill = fill && !IsNullBrush(brush);
  if (!outline && !fill) return;
  const int width = outline ? pen->width : 1;
  QRect area = bounds.adjusted(-width - 1, -width - 1, width + 1, width + 1) & dc.clipBounds;
  if (area.isEmpty()) return;
  QPainterPath shape = path;
  if (outline && pen->style == PS_INSIDEFRAME && width > 1) {
    // The pen stays inside the bounds: the path shrinks by half its width.
    QRectF box = path.boundingRect();
    qreal inset = width / 2.0;
    if (box.width() > 2 * inset && box.height() > 2 * inset) {
      QTransform t;
      t.translate(box.center().x(), box.center().y());
      t.scale((box.width() - 2 * inset + 1) / (box.width() + 1), (box.height() - 2 * inset + 1) / (box.height() + 1));
      t.translate(-box.center().x(), -box.center().y());
      shape = t.map(path);
    }
  }
  QImage strokeMask;
  if (outline) {
    strokeMask = RenderCoverage(area, [&](QPainter &p) {
      QPen qpen(Qt::black, width > 1 ? width : 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
      p.strokePath(shape, qpen);
    });
  }
  if (fill) {
    QImage fillMask = RenderCoverage(area, [&](QPainter &p) { p.fillPath(shape, Qt::black); });
    if (outline) {
      for (int y = 0; y < fillMask.height(); ++y) {
        auto *f = reinterpret_cast<uint32_t *>(fillMask.scanLine(y));
        const auto *s = reinterpret_cast<const uint32_t *>(strokeMask.constScanLine(y));
        for (int x = 0; x < fillMask.width(); ++x)
          if ((s[x] >> 24) >= 128) f[x] = 0;
      }
    }
    CoverageBrush(dc, fillMask, area.topLeft(), *brush, dc.state.rop2);
  }
  if (outline) CoverageSpans(dc, strokeMask, area.topLeft(), ToPixel(dc.PenColor()), dc.state.rop2);
}

// Pixel centres lie at half coordinates for Qt.
QPointF Centre(const Dc &dc, int x, int y) {
  QPoint p = dc.ToDevice(x, y);
  return QPointF(p.x() + 0.5, p.y() + 0.5);
}

void WideLine(Dc &dc, const QPainterPath &path) {
  const Pen &pen = *dc.state.pen;
  QRect bounds = path.boundingRect().toAlignedRect();
  QRect area = bounds.adjusted(-pen.width - 1, -pen.width - 1, pen.width + 1, pen.width + 1) & dc.clipBounds;
  if (area.isEmpty()) return;
  QImage mask = RenderCoverage(area, [&](QPainter &p) {
    p.strokePath(path, QPen(Qt::black, pen.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  });
  CoverageSpans(dc, mask, area.topLeft(), ToPixel(dc.PenColor()), dc.state.rop2);
}

// Lines through points; a one-pixel pen leaves out the very last pixel.
void Lines(Dc &dc, const POINT *points, int count) {
  const Pen *pen = dc.state.pen;
  if (IsNullPen(pen) || count < 2) return;
  if (pen->width > 1) {
    QPainterPath path(Centre(dc, points[0].x, points[0].y));
    for (int i = 1; i < count; ++i) path.lineTo(Centre(dc, points[i].x, points[i].y));
    WideLine(dc, path);
    return;
  }
  for (int i = 1; i < count; ++i)
    DeviceLine(dc, dc.ToDevice(points[i - 1].x, points[i - 1].y), dc.ToDevice(points[i].x, points[i].y), *pen);
}

QPainterPath PolygonPath(const Dc &dc, const POINT *points, const INT *counts, int polygons) {
  QPainterPath path;
  path.setFillRule(dc.state.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  for (int k = 0; k < polygons; ++k) {
    const int n = counts[k];  // at least 2, checked by the caller
    path.moveTo(Centre(dc, points[0].x, points[0].y));
    for (int i = 1; i < n; ++i) path.lineTo(Centre(dc, points[i].x, points[i].y));
    path.closeSubpath();
    points += n;
  }
  return path;
}

BOOL Polygons(HDC handle, const POINT *points, const INT *counts, int polygons) {
  if (!points || !counts || polygons <= 0) return FALSE;
  int64_t total = 0;
  for (int k = 0; k < polygons; ++k) {
    if (counts[k] < 2) return FALSE;
    total += counts[k];
  }
  if (total > 1 << 24) return FALSE;
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  QPainterPath path = PolygonPath(*dc, points, counts, polygons);
  QRect bounds = path.boundingRect().toAlignedRect();
  const Pen *pen = dc->state.pen;
  if (IsNullPen(pen) || pen->width > 1) {
    DrawShape(*dc, path, true, bounds);
    return TRUE;
  }
  // One-pixel outlines are ours: every edge leaves out its end, which the
  // next edge starts with, so each vertex is drawn once.
  QRect area = bounds.adjusted(-2, -2, 2, 2) & dc->clipBounds;
  if (!IsNullBrush(dc->state.brush) && !area.isEmpty()) {
    QImage fill = RenderCoverage(area, [&](QPainter &p) { p.fillPath(path, Qt::black); });
    const POINT *p = points;
    for (int k = 0; k < polygons; ++k) {
      for (int i = 0; i < counts[k]; ++i) {
        const POINT &a = p[i], &b = p[(i + 1) % counts[k]];
        WalkLine(
            dc->ToDevice(a.x, a.y), dc->ToDevice(b.x, b.y), false,
            [&](int x, int y) {
              if (area.contains(x, y)) fill.setPixel(x - area.left(), y - area.top(), 0);
            },
            &area);
      }
      p += counts[k];
    }
    CoverageBrush(*dc, fill, area.topLeft(), *dc->state.brush, dc->state.rop2);
  }
  const POINT *p = points;
  for (int k = 0; k < polygons; ++k) {
    dc->state.penStylePos = 0;
    for (int i = 0; i < counts[k]; ++i) {
      const POINT &a = p[i], &b = p[(i + 1) % counts[k]];
      DeviceLine(*dc, dc->ToDevice(a.x, a.y), dc->ToDevice(b.x, b.y), *pen);
    }
    p += counts[k];
  }
  return TRUE;
}

// A band of rows [top, bottom) x [left, right) in device coordinates.
void Band(Dc &dc, int left, int top, int right, int bottom, uint32_t color, int rop) {
  if (right > left && bottom > top) FillArea(dc, QRect(left, top, right - left, bottom - top), color, rop);
}

// The frame of r, thickness t, each pixel once.
void FrameBands(Dc &dc, const QRect &r, int t, uint32_t color, int rop) {
  int l = r.left(), tp = r.top(), rt = r.left() + r.width(), b = r.top() + r.height();
  if (r.width() <= 2 * t || r.height() <= 2 * t) {
    Band(dc, l, tp, rt, b, color, rop);
    return;
  }
  Band(dc, l, tp, rt, tp + t, color, rop);
  Band(dc, l, b - t, rt, b, color, rop);
  Band(dc, l, tp + t, l + t, b - t, color, rop);
  Band(dc, rt - t, tp + t, rt, b - t, color, rop);
}

double AngleOf(double cx, double cy, int x, int y) {
  return std::atan2(-(y - cy), x - cx) * 180.0 / M_PI;
}

enum class ArcKind { Arc, Pie, Chord };

BOOL ArcShape(HDC handle, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye, ArcKind kind) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  QRect r = dc->ToDevice(left, top, right, bottom);
  if (r.width() < 2 || r.height() < 2) return TRUE;
  QRectF box(r.left() + 0.5, r.top() + 0.5, r.width() - 1, r.height() - 1);
  QPointF s = Centre(*dc, xs, ys), e = Centre(*dc, xe, ye);
  double start = AngleOf(box.center().x(), box.center().y(), int(s.x() - 0.5), int(s.y() - 0.5));
  double end = AngleOf(box.center().x(), box.center().y(), int(e.x() - 0.5), int(e.y() - 0.5));
  double sweep = end - start;
  while (sweep <= 0) sweep += 360;  // counter-clockwise, a full turn when they meet
  QPainterPath path;
  if (kind == ArcKind::Pie) {
    path.moveTo(box.center());
    path.arcTo(box, start, sweep);
    path.closeSubpath();
  } else {
    path.arcMoveTo(box, start);
    path.arcTo(box, start, sweep);
    if (kind == ArcKind::Chord) path.closeSubpath();
  }
  DrawShape(*dc, path, kind != ArcKind::Arc, r);
  return TRUE;
}

}  // namespace
}  // namespace platform

using namespace platform;

BOOL MoveToEx(HDC handle, int x, int y, POINT *previous) {
  Dc *dc = LookupDc(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.position;
  dc->state.position = POINT{x, y};
  dc->state.penStylePos = 0;
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC handle, POINT *position) {
  Dc *dc = LookupDc(handle);
  if (!dc || !position) return FALSE;
  *position = dc->state.position;
  return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
  Dc *dc = LookupDc(handle);
  if (!dc) return FALSE;
  POINT line[2] = {dc->state.position, POINT{x, y}};
  dc->state.position = line[1];
  if (dc->Prepare()) Lines(*dc, line, 2);
  return TRUE;
}

BOOL Polyline(HDC handle, const POINT *points, int count) {
  if (!points || count < 2) return FALSE;
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  int keep = dc->state.penStylePos;
  dc->state.penStylePos = 0;
  Lines(*dc, points, count);
  dc->state.penStylePos = keep;
  return TRUE;
}

BOOL PolylineTo(HDC handle, const POINT *points, DWORD count) {
  Dc *dc = LookupDc(handle);
  if (!dc || !points || count == 0 || count > (1u << 24)) return FALSE;
  std::vector<POINT> all;
  all.reserve(count + 1);
  all.push_back(dc->state.position);
  all.insert(all.end(), points, points + count);
  dc->state.position = points[count - 1];
  if (dc->Prepare()) Lines(*dc, all.data(), int(all.size()));
  return TRUE;
}

BOOL Polygon(HDC handle, const POINT *points, int count) {
  INT counts[1] = {count};
  return Polygons(handle, points, counts, 1);
}

BOOL PolyPolygon(HDC handle, const POINT *points, const INT *counts, int polygons) {
  return Polygons(handle, points, counts, polygons);
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  QRect r = dc->ToDevice(left, top, right, bottom);
  const Pen *pen = dc->state.pen;
  const Brush *brush = dc->state.brush;
  const int rop = dc->state.rop2;
  if (IsNullPen(pen)) {
    // Without a pen the filled area ends a pixel earlier on the right and bottom.
    if (!IsNullBrush(brush)) FillDeviceRect(*dc, r.adjusted(0, 0, -1, -1), *brush, rop);
    return TRUE;
  }
  int w = pen->width;
  QRect outer = r;
  if (w > 1 && pen->style != PS_INSIDEFRAME) {
    int half = w / 2;
    outer = r.adjusted(-half, -half, w - 1 - half, w - 1 - half);
  }
  if (pen->style >= PS_DASH && pen->style <= PS_DASHDOTDOT) {
    if (!IsNullBrush(brush)) FillDeviceRect(*dc, r.adjusted(1, 1, -1, -1), *brush, rop);
    int x0 = r.left(), y0 = r.top(), x1 = r.left() + r.width() - 1, y1 = r.top() + r.height() - 1;
    dc->state.penStylePos = 0;
    if (r.width() > 0 && r.height() > 0) {
      DeviceLine(*dc, QPoint(x0, y0), QPoint(x1, y0), *pen);
      DeviceLine(*dc, QPoint(x1, y0), QPoint(x1, y1), *pen);
      DeviceLine(*dc, QPoint(x1, y1), QPoint(x0, y1), *pen);
      DeviceLine(*dc, QPoint(x0, y1), QPoint(x0, y0), *pen, r.height() == 1);
    }
    return TRUE;
  }
  if (!IsNullBrush(brush)) FillDeviceRect(*dc, outer.adjusted(w, w, -w, -w), *brush, rop);
  FrameBands(*dc, outer, w, ToPixel(dc->PenColor()), rop);
  return TRUE;
}

BOOL RoundRect(HDC handle, int left, int top, int right, int bottom, int width, int height) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  QRect r = dc->ToDevice(left, top, right, bottom);
  if (r.width() < 2 || r.height() < 2) return TRUE;
  QRectF box(r.left() + 0.5, r.top() + 0.5, r.width() - 1, r.height() - 1);
  QPainterPath path;
  path.addRoundedRect(box, std::min<int64_t>(std::abs(int64_t(width)), r.width()) / 2.0,
                      std::min<int64_t>(std::abs(int64_t(height)), r.height()) / 2.0);
  DrawShape(*dc, path, true, r);
  return TRUE;
}

BOOL Ellipse(HDC handle, int left, int top, int right, int bottom) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  QRect r = dc->ToDevice(left, top, right, bottom);
  if (r.width() < 2 || r.height() < 2) return TRUE;
  QPainterPath path;
  path.addEllipse(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, r.height() - 1));
  DrawShape(*dc, path, true, r);
  return TRUE;
}

BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
  return ArcShape(dc, left, top, right, bottom, xs, ys, xe, ye, ArcKind::Arc);
}
BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
  return ArcShape(dc, left, top, right, bottom, xs, ys, xe, ye, ArcKind::Pie);
}
BOOL Chord(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
  return ArcShape(dc, left, top, right, bottom, xs, ys, xe, ye, ArcKind::Chord);
}

int FillRect(HDC handle, const RECT *rect, HBRUSH brushHandle) {
  const Brush *brush = BrushOf(brushHandle);
  if (!rect || !brush) return 0;
  Dc *dc = DrawingDc(handle);
  if (!dc) return 0;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  FillDeviceRect(*dc, dc->ToDevice(rect->left, rect->top, rect->right, rect->bottom), *brush, R2_COPYPEN);
  return 1;
}

int FrameRect(HDC handle, const RECT *rect, HBRUSH brushHandle) {
  const Brush *brush = BrushOf(brushHandle);
  if (!rect || !brush) return 0;
  Dc *dc = DrawingDc(handle);
  if (!dc) return 0;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  QRect r = dc->ToDevice(rect->left, rect->top, rect->right, rect->bottom);
  int l = r.left(), t = r.top(), rt = l + r.width(), b = t + r.height();
  FillDeviceRect(*dc, QRect(l, t, r.width(), 1), *brush, R2_COPYPEN);
  if (b - 1 > t) FillDeviceRect(*dc, QRect(l, b - 1, r.width(), 1), *brush, R2_COPYPEN);
  if (b - t > 2) {
    FillDeviceRect(*dc, QRect(l, t + 1, 1, b - t - 2), *brush, R2_COPYPEN);
    if (rt - 1 > l) FillDeviceRect(*dc, QRect(rt - 1, t + 1, 1, b - t - 2), *brush, R2_COPYPEN);
  }
  return 1;
}

BOOL InvertRect(HDC handle, const RECT *rect) {
  Dc *dc = rect ? DrawingDc(handle) : nullptr;
  if (!dc) return FALSE;
  QRect r = dc->ToDevice(rect->left, rect->top, rect->right, rect->bottom) & dc->clipBounds;
  if (!r.isEmpty()) Band(*dc, r.left(), r.top(), r.left() + r.width(), r.top() + r.height(), 0, R2_NOT);
  return TRUE;
}

BOOL DrawFocusRect(HDC handle, const RECT *rect) {
  Dc *dc = rect ? DrawingDc(handle) : nullptr;
  if (!dc) return FALSE;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return TRUE;
  QRect r = dc->ToDevice(rect->left, rect->top, rect->right, rect->bottom);
  int l = r.left(), t = r.top(), rt = l + r.width() - 1, b = t + r.height() - 1;
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) Plot(*dc, x, y, 0xFFFFFF, R2_XORPEN);
  };
  for (int x = l; x <= rt; ++x) {
    dot(x, t);
    if (b > t) dot(x, b);
  }
  for (int y = t + 1; y < b; ++y) {
    dot(l, y);
    if (rt > l) dot(rt, y);
  }
  return TRUE;
}

BOOL DrawEdge(HDC handle, RECT *rect, UINT edge, UINT flags) {
  Dc *dc = rect ? DrawingDc(handle) : nullptr;
  if (!dc) return FALSE;
  RECT r = *rect;
  auto ring = [&](COLORREF topLeft, COLORREF bottomRight) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    QRect d = dc->ToDevice(r.left, r.top, r.right, r.bottom);
    int l = d.left(), t = d.top(), rt = l + d.width() - 1, b = t + d.height() - 1;
    uint32_t tl = ToPixel(topLeft), br = ToPixel(bottomRight);
    if (flags & BF_TOP) Span(*dc, t, l, rt + 1, tl, R2_COPYPEN);
    if (flags & BF_LEFT) Band(*dc, l, t, l + 1, b + 1, tl, R2_COPYPEN);
    if (flags & BF_BOTTOM) Span(*dc, b, l, rt + 1, br, R2_COPYPEN);
    if (flags & BF_RIGHT) Band(*dc, rt, t, rt + 1, b + 1, br, R2_COPYPEN);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
  };
  const bool flat = flags & (BF_FLAT | BF_MONO);
  if (edge & BDR_OUTER) {
    if (flat) {
      ring(GetSysColor(flags & BF_MONO ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW),
           GetSysColor(flags & BF_MONO ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW));
    } else if (edge & BDR_RAISEDOUTER) {
      ring(GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    } else {
      ring(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    }
  }
  if (edge & BDR_INNER) {
    if (flat) {
      ring(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE));
    } else if (edge & BDR_RAISEDINNER) {
      ring(GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    } else {
      ring(GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
    }
  }
  if ((flags & BF_MIDDLE) && r.right > r.left && r.bottom > r.top) {
    QRect d = dc->ToDevice(r.left, r.top, r.right, r.bottom);
    Band(*dc, d.left(), d.top(), d.left() + d.width(), d.top() + d.height(),
         ToPixel(GetSysColor(flat ? COLOR_WINDOW : COLOR_BTNFACE)), R2_COPYPEN);
  }
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return CLR_INVALID;
  QPoint p = dc->ToDevice(x, y);
  if (!dc->clipBounds.contains(p)) return CLR_INVALID;
  Plot(*dc, p.x(), p.y(), ToPixel(color), R2_COPYPEN);
  return color & 0xFFFFFF;
}

BOOL SetPixelV(HDC handle, int x, int y, COLORREF color) { return SetPixel(handle, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC handle, int x, int y) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return CLR_INVALID;
  QPoint p = dc->ToDevice(x, y);
  if (!dc->clipBounds.contains(p)) return CLR_INVALID;
  for (const QRect &r : dc->clipRects)
    if (r.contains(p)) return ToColorRef(dc->surface.Get(p.x() + dc->deviceOffset.x, p.y() + dc->deviceOffset.y));
  return CLR_INVALID;
}
