// Regions and the clipping of device contexts. A region is a set of whole
// pixels; a context's clip region is kept in device coordinates.
#include <QPainterPath>
#include <QPolygon>

#include "platform/internal/gdi_objects.h"

namespace platform {
namespace {

// Everything a surface can hold.
const QRect kWhole(-(1 << 27), -(1 << 27), 1 << 28, 1 << 28);

int KindOf(const QRegion &region) {
  if (region.isEmpty()) return NULLREGION;
  return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

QRect Box(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  auto clamp = [](int v) { return int(std::clamp<int64_t>(v, -Dc::kCoordLimit, Dc::kCoordLimit)); };
  left = clamp(left);
  top = clamp(top);
  return QRect(left, top, clamp(right) - left, clamp(bottom) - top);
}

HRGN NewRegion(const QRegion &region) {
  auto object = std::make_unique<Region>();
  object->region = region;
  return InsertGdiObject(std::move(object));
}

// The effective clip of a context (surface, paint area and clip), device coordinates.
QRegion Visible(Dc &dc) {
  if (dc.Prepare()) {
    QRegion r;
    r.setRects(dc.clipRects.data(), int(dc.clipRects.size()));
    return r;
  }
  QRegion r(kWhole);
  if (dc.sysClip) r &= *dc.sysClip;
  if (dc.state.clip) r &= *dc.state.clip;
  return r;
}

int ClipKind(Dc &dc) { return KindOf(Visible(dc)); }

int ChangeClip(HDC handle, const std::function<QRegion(const QRegion &)> &change) {
  Dc *dc = LookupDc(handle);
  if (!dc) return RGN_ERROR;
  QRegion current = dc->state.clip ? *dc->state.clip : QRegion(kWhole);
  dc->state.clip = change(current);
  ClipChanged(*dc);
  return ClipKind(*dc);
}

}  // namespace
}  // namespace platform

using namespace platform;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return NewRegion(QRegion(Box(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT *rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  return NewRegion(QRegion(Box(left, top, right, bottom), QRegion::Ellipse));
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) {
  QRect box = Box(left, top, right, bottom);
  QPainterPath path;
  path.addRoundedRect(QRectF(box), std::min<int64_t>(std::abs(int64_t(width)), box.width()) / 2.0,
                      std::min<int64_t>(std::abs(int64_t(height)), box.height()) / 2.0);
  return NewRegion(QRegion(path.toFillPolygon().toPolygon()) & QRegion(box));
}

HRGN CreatePolygonRgn(const POINT *points, int count, int fillMode) {
  if (!points || count < 2 || count > (1 << 24)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  QPolygon polygon;
  polygon.reserve(count);
  for (int i = 0; i < count; ++i) polygon << QPoint(points[i].x, points[i].y);
  return NewRegion(QRegion(polygon, fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill));
}

BOOL SetRectRgn(HRGN handle, int left, int top, int right, int bottom) {
  auto *region = LookupGdi<Region>(handle);
  if (!region) return FALSE;
  region->region = QRegion(Box(left, top, right, bottom));
  return TRUE;
}

int CombineRgn(HRGN target, HRGN a, HRGN b, int mode) {
  auto *t = LookupGdi<Region>(target);
  auto *ra = LookupGdi<Region>(a);
  auto *rb = mode == RGN_COPY ? ra : LookupGdi<Region>(b);
  if (!t || !ra || !rb) return RGN_ERROR;
  switch (mode) {
    case RGN_AND: t->region = ra->region & rb->region; break;
    case RGN_OR: t->region = ra->region | rb->region; break;
    case RGN_XOR: t->region = ra->region ^ rb->region; break;
    case RGN_DIFF: t->region = ra->region - rb->region; break;
    case RGN_COPY: t->region = ra->region; break;
    default: return RGN_ERROR;
  }
  return KindOf(t->region);
}

int OffsetRgn(HRGN handle, int dx, int dy) {
  auto *region = LookupGdi<Region>(handle);
  if (!region) return RGN_ERROR;
  region->region.translate(dx, dy);
  return KindOf(region->region);
}

BOOL EqualRgn(HRGN a, HRGN b) {
  auto *ra = LookupGdi<Region>(a);
  auto *rb = LookupGdi<Region>(b);
  return ra && rb && ra->region == rb->region;
}

BOOL PtInRegion(HRGN handle, int x, int y) {
  auto *region = LookupGdi<Region>(handle);
  return region && region->region.contains(QPoint(x, y));
}

BOOL RectInRegion(HRGN handle, const RECT *rect) {
  auto *region = LookupGdi<Region>(handle);
  return region && rect && region->region.intersects(Box(rect->left, rect->top, rect->right, rect->bottom));
}

int GetRgnBox(HRGN handle, RECT *box) {
  auto *region = LookupGdi<Region>(handle);
  if (!region || !box) return RGN_ERROR;
  QRect r = region->region.boundingRect();
  *box = region->region.isEmpty() ? RECT{} : RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  return KindOf(region->region);
}

BOOL FillRgn(HDC handle, HRGN regionHandle, HBRUSH brushHandle) {
  auto *region = LookupGdi<Region>(regionHandle);
  auto *brush = LookupGdi<Brush>(brushHandle);
  Dc *dc = region && brush ? DrawingDc(handle) : nullptr;
  if (!dc) return FALSE;
  QPoint shift = dc->ToDevice(0, 0);
  for (const QRect &r : region->region) FillDeviceRect(*dc, r.translated(shift), *brush, R2_COPYPEN);
  return TRUE;
}

BOOL FrameRgn(HDC handle, HRGN regionHandle, HBRUSH brushHandle, int width, int height) {
  auto *region = LookupGdi<Region>(regionHandle);
  auto *brush = LookupGdi<Brush>(brushHandle);
  Dc *dc = region && brush && width >= 0 && height >= 0 ? DrawingDc(handle) : nullptr;
  if (!dc) return FALSE;
  const QRegion &all = region->region;
  QRegion inner = all & all.translated(width, 0) & all.translated(-width, 0) & all.translated(0, height) &
                  all.translated(0, -height);
  QPoint shift = dc->ToDevice(0, 0);
  for (const QRect &r : all - inner) FillDeviceRect(*dc, r.translated(shift), *brush, R2_COPYPEN);
  return TRUE;
}

int SelectClipRgn(HDC handle, HRGN region) { return ExtSelectClipRgn(handle, region, RGN_COPY); }

int ExtSelectClipRgn(HDC handle, HRGN regionHandle, int mode) {
  Dc *dc = LookupDc(handle);
  if (!dc) return RGN_ERROR;
  if (!regionHandle) {
    if (mode != RGN_COPY) return RGN_ERROR;
    dc->state.clip.reset();
    ClipChanged(*dc);
    return ClipKind(*dc);
  }
  auto *region = LookupGdi<Region>(regionHandle);
  if (!region) return RGN_ERROR;
  const QRegion &r = region->region;
  switch (mode) {
    case RGN_COPY: return ChangeClip(handle, [&](const QRegion &) { return r; });
    case RGN_AND: return ChangeClip(handle, [&](const QRegion &c) { return c & r; });
    case RGN_OR: return ChangeClip(handle, [&](const QRegion &c) { return c | r; });
    case RGN_XOR: return ChangeClip(handle, [&](const QRegion &c) { return c ^ r; });
    case RGN_DIFF: return ChangeClip(handle, [&](const QRegion &c) { return c - r; });
    default: return RGN_ERROR;
  }
}

int GetClipRgn(HDC handle, HRGN regionHandle) {
  Dc *dc = LookupDc(handle);
  auto *region = LookupGdi<Region>(regionHandle);
  if (!dc || !region) return -1;
  if (!dc->state.clip) return 0;
  region->region = *dc->state.clip;
  return 1;
}

int GetClipBox(HDC handle, RECT *box) {
  Dc *dc = LookupDc(handle);
  if (!dc || !box) return RGN_ERROR;
  QRegion visible = Visible(*dc);
  QRect r = visible.boundingRect().translated(-dc->ToDevice(0, 0));
  *box = visible.isEmpty() ? RECT{} : RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  return KindOf(visible);
}

int ExcludeClipRect(HDC handle, int left, int top, int right, int bottom) {
  Dc *dc = LookupDc(handle);
  if (!dc) return RGN_ERROR;
  QRect r = dc->ToDevice(left, top, right, bottom);
  return ChangeClip(handle, [&](const QRegion &c) { return c - QRegion(r); });
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
  Dc *dc = LookupDc(handle);
  if (!dc) return RGN_ERROR;
  QRect r = dc->ToDevice(left, top, right, bottom);
  return ChangeClip(handle, [&](const QRegion &c) { return c & QRegion(r); });
}

int OffsetClipRgn(HDC handle, int dx, int dy) {
  Dc *dc = LookupDc(handle);
  if (!dc) return RGN_ERROR;
  if (!dc->state.clip) return ClipKind(*dc);
  dc->state.clip->translate(dx, dy);
  ClipChanged(*dc);
  return ClipKind(*dc);
}

BOOL PtVisible(HDC handle, int x, int y) {
  Dc *dc = LookupDc(handle);
  return dc && Visible(*dc).contains(dc->ToDevice(x, y));
}

BOOL RectVisible(HDC handle, const RECT *rect) {
  Dc *dc = LookupDc(handle);
  return dc && rect && Visible(*dc).intersects(dc->ToDevice(rect->left, rect->top, rect->right, rect->bottom));
}
