// Blits: pattern, bit and stretch blits with ternary raster operations,
// transparent and alpha blits, gradients and DIB pixels in and out.
#include <QImage>

#include <algorithm>
#include <cstring>

#include "platform/internal/gdi_objects.h"

namespace platform {
namespace {

uint32_t Rop3(unsigned code, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (unsigned i = 0; i < 8; ++i) {
    if (!((code >> i) & 1)) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r & 0xFFFFFF;
}

bool UsesSource(unsigned code) { return (((code >> 2) ^ code) & 0x33) != 0; }
bool UsesPattern(unsigned code) { return (((code >> 4) ^ code) & 0x0F) != 0; }

// The colour a brush gives pixel (x, y) of a blit's pattern.
uint32_t PatternPixel(const Dc &dc, const Brush *brush, int x, int y) {
  uint32_t color = 0;
  if (brush) BrushPixel(dc, *brush, x, y, color);
  return color;
}

// One axis of a blit: destination pixels [destStart, destStart + destLen)
// take source pixels [srcStart, srcStart + srcLen), sampled at their centres.
struct Axis {
  int destStart = 0, destLen = 0, srcStart = 0, srcLen = 0;
  bool mirror = false;
  int Map(int destPos) const {
    int i = destPos - destStart;
    int j = destLen == srcLen ? i : int(((int64_t(2) * i + 1) * srcLen) / (2 * int64_t(destLen)));
    return srcStart + (mirror ? srcLen - 1 - j : j);
  }
};

// Positions and extents a blit accepts: far beyond any surface, and safe to add.
bool Reasonable(int64_t v) { return v >= -(int64_t(1) << 28) && v <= (int64_t(1) << 28); }

// Builds an axis from signed extents; false when either is empty or absurd.
bool MakeAxis(int dest, int destExtent, int src, int srcExtent, Axis &axis) {
  if (destExtent == 0 || srcExtent == 0) return false;
  if (!Reasonable(dest) || !Reasonable(destExtent) || !Reasonable(src) || !Reasonable(srcExtent)) return false;
  axis.destStart = destExtent < 0 ? dest + destExtent : dest;
  axis.destLen = std::abs(destExtent);
  axis.srcStart = srcExtent < 0 ? src + srcExtent : src;
  axis.srcLen = std::abs(srcExtent);
  axis.mirror = (destExtent < 0) != (srcExtent < 0);
  return true;
}

// A copy of part of a surface, for blits within one surface.
struct Snapshot {
  std::vector<uint8_t> bytes;
  Surface surface;
};

// The source as the blit reads it: its surface, and the offset from source
// coordinates to surface coordinates. Reading a surface that is also written
// goes through a snapshot.
struct Source {
  Surface surface;
  QPoint offset;
  Snapshot snapshot;
  bool Contains(int x, int y) const {
    x += offset.x();
    y += offset.y();
    return x >= 0 && y >= 0 && x < surface.width && y < surface.height;
  }
  uint32_t Get(int x, int y) const { return surface.Get(x + offset.x(), y + offset.y()); }
  uint32_t Alpha(int x, int y) const {
    if (surface.bytes != 4) return 255;
    return surface.Row(y + offset.y())[(x + offset.x()) * 4 + 3];
  }
};

void TakeSnapshot(Source &source, const QRect &area) {
  QRect part = area.translated(source.offset) & QRect(0, 0, source.surface.width, source.surface.height);
  if (part.isEmpty()) return;
  Snapshot &s = source.snapshot;
  int bytes = source.surface.bytes;
  s.bytes.resize(size_t(part.width()) * size_t(part.height()) * size_t(bytes));
  for (int y = 0; y < part.height(); ++y)
    std::memcpy(&s.bytes[size_t(y) * size_t(part.width()) * size_t(bytes)],
                source.surface.Row(part.top() + y) + ptrdiff_t(part.left()) * bytes,
                size_t(part.width()) * size_t(bytes));
  s.surface.row0 = s.bytes.data();
  s.surface.pitch = ptrdiff_t(part.width()) * bytes;
  s.surface.width = part.width();
  s.surface.height = part.height();
  s.surface.bytes = bytes;
  source.surface = s.surface;
  source.offset -= part.topLeft();
}

bool SourceOf(HDC handle, Source &source) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return false;
  source.surface = dc->surface;
  // Source logical coordinates to surface coordinates.
  source.offset = dc->ToDevice(0, 0) + QPoint(dc->deviceOffset.x, dc->deviceOffset.y);
  return true;
}

// Calls f(surfacePixel, sourceX, sourceY, deviceX, deviceY) for every
// destination pixel inside the clip whose source pixel exists.
template <class F>
void ForEachPixel(Dc &dc, const Axis &ax, const Axis &ay, const Source *source, F &&f) {
  QRect dest(ax.destStart, ay.destStart, ax.destLen, ay.destLen);
  dest.translate(dc.ToDevice(0, 0));
  const QPoint shift = dc.ToDevice(0, 0);
  const Surface &s = dc.surface;
  for (const QRect &clip : dc.clipRects) {
    QRect area = dest & clip;
    if (area.isEmpty()) continue;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      int sy = ay.Map(y - shift.y());
      uint8_t *row = s.Row(y + dc.deviceOffset.y);
      for (int x = area.left(); x <= area.right(); ++x) {
        int sx = ax.Map(x - shift.x());
        if (source && !source->Contains(sx, sy)) continue;
        f(row + ptrdiff_t(x + dc.deviceOffset.x) * s.bytes, sx, sy, x, y);
      }
    }
  }
}

// A straight copy: rows of the same layout move with memmove.
bool FastCopy(Dc &dc, const Axis &ax, const Axis &ay, const Source &source) {
  if (ax.mirror || ay.mirror || ax.destLen != ax.srcLen || ay.destLen != ay.srcLen) return false;
  const Surface &d = dc.surface;
  const QPoint shift = dc.ToDevice(0, 0);
  QRect dest = QRect(ax.destStart, ay.destStart, ax.destLen, ay.destLen).translated(shift);
  // Destination device coordinates to source surface coordinates.
  QPoint toSource(ax.srcStart - ax.destStart - shift.x() + source.offset.x(),
                  ay.srcStart - ay.destStart - shift.y() + source.offset.y());
  QRect available = QRect(0, 0, source.surface.width, source.surface.height).translated(-toSource);
  const bool same = source.surface.row0 == d.row0;
  for (const QRect &clip : dc.clipRects) {
    QRect area = dest & clip & available;
    if (area.isEmpty()) continue;
    int width = area.width();
    // Within one surface, rows go in the order that reads before it writes.
    bool upward = same && toSource.y() < 0;
    for (int i = 0; i < area.height(); ++i) {
      int y = upward ? area.bottom() - i : area.top() + i;
      uint8_t *out = d.Row(y + dc.deviceOffset.y) + ptrdiff_t(area.left() + dc.deviceOffset.x) * d.bytes;
      const uint8_t *in =
          source.surface.Row(y + toSource.y()) + ptrdiff_t(area.left() + toSource.x()) * source.surface.bytes;
      if (d.bytes == source.surface.bytes) {
        std::memmove(out, in, size_t(width) * size_t(d.bytes));
      } else if (d.bytes == 4) {
        auto *o = reinterpret_cast<uint32_t *>(out);
        int x = 0;
        // Four three-byte pixels are three words.
        for (; x + 4 <= width; x += 4, in += 12) {
          uint32_t w[3];
          std::memcpy(w, in, 12);
          o[x] = 0xFF000000u | (w[0] & 0xFFFFFF);
          o[x + 1] = 0xFF000000u | (w[0] >> 24) | ((w[1] & 0xFFFF) << 8);
          o[x + 2] = 0xFF000000u | (w[1] >> 16) | ((w[2] & 0xFF) << 16);
          o[x + 3] = 0xFF000000u | (w[2] >> 8);
        }
        for (; x < width; ++x, in += 3)
          o[x] = 0xFF000000u | uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16);
      } else {
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
          out[0] = in[0];
          out[1] = in[1];
          out[2] = in[2];
        }
      }
    }
  }
  return true;
}

BOOL Blit(HDC handle, const Axis &ax, const Axis &ay, HDC sourceHandle, DWORD rop) {
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  const unsigned code = (rop >> 16) & 0xFF;
  Source source;
  const bool needSource = UsesSource(code);
  if (needSource && !SourceOf(sourceHandle, source)) return FALSE;
  // SourceOf may have prepared the same context again: prepare the target last.
  if (!dc->Prepare()) return FALSE;
  if (needSource && code == 0xCC && FastCopy(*dc, ax, ay, source)) return TRUE;
  const Brush *fill = dc->state.brush;
  if (!needSource && (!UsesPattern(code) || (fill && fill->style == BS_SOLID))) {
    // Pattern blits with one colour are spans.
    const uint32_t colour =
        fill && fill->style == BS_SOLID ? ToPixel(fill->dcBrush ? dc->state.dcBrushColor : fill->color) : 0;
    int mode = 0;
    uint32_t pen = colour;
    switch (code) {
      case 0xF0: mode = R2_COPYPEN; break;
      case 0x5A: mode = R2_XORPEN; break;
      case 0x55: mode = R2_NOT; break;
      case 0x00: mode = R2_COPYPEN, pen = 0; break;
      case 0xFF: mode = R2_COPYPEN, pen = 0xFFFFFF; break;
      default: break;
    }
    if (mode) {
      QRect dest(ax.destStart, ay.destStart, ax.destLen, ay.destLen);
      FillArea(*dc, dest.translated(dc->ToDevice(0, 0)), pen, mode);
      return TRUE;
    }
  }
  if (needSource && source.surface.row0 == dc->surface.row0)
    TakeSnapshot(source, QRect(ax.srcStart, ay.srcStart, ax.srcLen, ay.srcLen));
  const Brush *brush = dc->state.brush;
  const bool needPattern = UsesPattern(code);
  const int bytes = dc->surface.bytes;
  ForEachPixel(*dc, ax, ay, needSource ? &source : nullptr, [&](uint8_t *p, int sx, int sy, int x, int y) {
    uint32_t s = needSource ? source.Get(sx, sy) : 0;
    uint32_t pat = needPattern ? PatternPixel(*dc, brush, x, y) : 0;
    StorePixel(p, bytes, Rop3(code, pat, s, LoadPixel(p, bytes)));
  });
  return TRUE;
}

// A surface over DIB pixels handed in by the caller.
bool DibSurface(const void *bits, const BITMAPINFO *info, Surface &s) {
  if (!bits || !info) return false;
  const BITMAPINFOHEADER &h = info->bmiHeader;
  const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB ||
      DibBytes(h.biWidth, height, h.biBitCount) < 0)
    return false;
  DibInfo dib;
  dib.width = h.biWidth;
  dib.height = int(height);
  dib.bitsPerPixel = h.biBitCount;
  dib.stride = int(DibStride(h.biWidth, h.biBitCount));
  dib.bottomUp = h.biHeight > 0;
  dib.bits = static_cast<unsigned char *>(const_cast<void *>(bits));
  s = SurfaceOf(dib);
  return s.Valid();
}

}  // namespace
}  // namespace platform

using namespace platform;

BOOL PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop) {
  unsigned code = (rop >> 16) & 0xFF;
  if (UsesSource(code)) return FALSE;
  Axis ax, ay;
  if (!MakeAxis(x, width, 0, width, ax) || !MakeAxis(y, height, 0, height, ay)) return TRUE;
  ax.mirror = ay.mirror = false;
  return Blit(handle, ax, ay, nullptr, rop);
}

BOOL BitBlt(HDC handle, int x, int y, int width, int height, HDC source, int srcX, int srcY, DWORD rop) {
  if (width <= 0 || height <= 0) return LookupDc(handle) != nullptr;
  Axis ax, ay;
  if (!MakeAxis(x, width, srcX, width, ax) || !MakeAxis(y, height, srcY, height, ay)) return FALSE;
  return Blit(handle, ax, ay, source, rop);
}

BOOL StretchBlt(HDC handle, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  Axis ax, ay;
  if (!MakeAxis(x, width, srcX, srcWidth, ax) || !MakeAxis(y, height, srcY, srcHeight, ay)) return FALSE;
  return Blit(handle, ax, ay, source, rop);
}

BOOL TransparentBlt(HDC handle, int x, int y, int width, int height, HDC sourceHandle, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparent) {
  Axis ax, ay;
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return FALSE;
  if (!MakeAxis(x, width, srcX, srcWidth, ax) || !MakeAxis(y, height, srcY, srcHeight, ay)) return FALSE;
  Dc *dc = DrawingDc(handle);
  Source source;
  if (!dc || !SourceOf(sourceHandle, source) || !dc->Prepare()) return FALSE;
  if (source.surface.row0 == dc->surface.row0) TakeSnapshot(source, QRect(srcX, srcY, srcWidth, srcHeight));
  const uint32_t key = ToPixel(transparent);
  const int bytes = dc->surface.bytes;
  ForEachPixel(*dc, ax, ay, &source, [&](uint8_t *p, int sx, int sy, int, int) {
    uint32_t s = source.Get(sx, sy);
    if (s != key) StorePixel(p, bytes, s);
  });
  return TRUE;
}

BOOL AlphaBlend(HDC handle, int x, int y, int width, int height, HDC sourceHandle, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend) {
  if (blend.BlendOp != AC_SRC_OVER || width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return FALSE;
  Axis ax, ay;
  if (!MakeAxis(x, width, srcX, srcWidth, ax) || !MakeAxis(y, height, srcY, srcHeight, ay)) return FALSE;
  Dc *dc = DrawingDc(handle);
  Source source;
  if (!dc || !SourceOf(sourceHandle, source) || !dc->Prepare()) return FALSE;
  if (source.surface.row0 == dc->surface.row0) TakeSnapshot(source, QRect(srcX, srcY, srcWidth, srcHeight));
  const uint32_t constant = blend.SourceConstantAlpha;
  const bool perPixel = blend.AlphaFormat & AC_SRC_ALPHA;
  const int bytes = dc->surface.bytes;
  ForEachPixel(*dc, ax, ay, &source, [&](uint8_t *p, int sx, int sy, int, int) {
    uint32_t s = source.Get(sx, sy), d = LoadPixel(p, bytes);
    uint32_t out = 0;
    if (perPixel) {
      // Premultiplied source: d = s * c + d * (1 - a * c).
      uint32_t a = source.Alpha(sx, sy) * constant / 255;
      for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFF, dcn = (d >> shift) & 0xFF;
        uint32_t v = (sc * constant + dcn * (255 - a) + 127) / 255;
        out |= std::min<uint32_t>(v, 255) << shift;
      }
    } else {
      for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFF, dcn = (d >> shift) & 0xFF;
        out |= ((sc * constant + dcn * (255 - constant) + 127) / 255) << shift;
      }
    }
    StorePixel(p, bytes, out);
  });
  return TRUE;
}

BOOL GradientFill(HDC handle, TRIVERTEX *vertices, ULONG vertexCount, LPVOID mesh, ULONG meshCount, ULONG mode) {
  if (!vertices || !mesh || vertexCount == 0 || mode > GRADIENT_FILL_TRIANGLE) return FALSE;
  Dc *dc = DrawingDc(handle);
  if (!dc) return FALSE;
  auto channel = [](COLOR16 a, COLOR16 b, int64_t num, int64_t den) {
    int64_t v = den > 0 ? a + (int64_t(b) - a) * num / den : a;
    return uint32_t(std::clamp<int64_t>(v, 0, 0xFFFF) >> 8);
  };
  if (mode == GRADIENT_FILL_TRIANGLE) {
    auto *triangles = static_cast<GRADIENT_TRIANGLE *>(mesh);
    for (ULONG m = 0; m < meshCount; ++m) {
      const GRADIENT_TRIANGLE &t = triangles[m];
      if (t.Vertex1 >= vertexCount || t.Vertex2 >= vertexCount || t.Vertex3 >= vertexCount) return FALSE;
      const TRIVERTEX &a = vertices[t.Vertex1], &b = vertices[t.Vertex2], &c = vertices[t.Vertex3];
      QPoint pa = dc->ToDevice(a.x, a.y), pb = dc->ToDevice(b.x, b.y), pc = dc->ToDevice(c.x, c.y);
      int64_t area = int64_t(pb.x() - pa.x()) * (pc.y() - pa.y()) - int64_t(pc.x() - pa.x()) * (pb.y() - pa.y());
      if (area == 0) continue;
      QRect box = QRect(pa, pa).united(QRect(pb, pb)).united(QRect(pc, pc)) & dc->clipBounds;
      for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
          // Barycentric weights of the pixel, doubled area units.
          int64_t w1 = int64_t(pb.x() - x) * (pc.y() - y) - int64_t(pc.x() - x) * (pb.y() - y);
          int64_t w2 = int64_t(pc.x() - x) * (pa.y() - y) - int64_t(pa.x() - x) * (pc.y() - y);
          int64_t w3 = area - w1 - w2;
          if (area < 0) {
            w1 = -w1;
            w2 = -w2;
            w3 = -w3;
          }
          if (w1 < 0 || w2 < 0 || w3 < 0) continue;
          int64_t total = std::abs(area);
          auto mix = [&](COLOR16 ca, COLOR16 cb, COLOR16 cc) {
            __int128 sum = __int128(ca) * w1 + __int128(cb) * w2 + __int128(cc) * w3;
            return uint32_t(std::clamp<int64_t>(int64_t(sum / total), 0, 0xFFFF) >> 8);
          };
          uint32_t pixel = (mix(a.Red, b.Red, c.Red) << 16) | (mix(a.Green, b.Green, c.Green) << 8) |
                           mix(a.Blue, b.Blue, c.Blue);
          Plot(*dc, x, y, pixel, R2_COPYPEN);
        }
      }
    }
    return TRUE;
  }
  auto *rects = static_cast<GRADIENT_RECT *>(mesh);
  for (ULONG m = 0; m < meshCount; ++m) {
    if (rects[m].UpperLeft >= vertexCount || rects[m].LowerRight >= vertexCount) return FALSE;
    const TRIVERTEX &a = vertices[rects[m].UpperLeft], &b = vertices[rects[m].LowerRight];
    QPoint pa = dc->ToDevice(a.x, a.y), pb = dc->ToDevice(b.x, b.y);
    const TRIVERTEX &first = (mode == GRADIENT_FILL_RECT_H ? pa.x() <= pb.x() : pa.y() <= pb.y()) ? a : b;
    const TRIVERTEX &last = &first == &a ? b : a;
    int x0 = std::min(pa.x(), pb.x()), x1 = std::max(pa.x(), pb.x());
    int y0 = std::min(pa.y(), pb.y()), y1 = std::max(pa.y(), pb.y());
    QRect box = QRect(x0, y0, x1 - x0, y1 - y0) & dc->clipBounds;
    if (box.isEmpty()) continue;
    auto colour = [&](int64_t num, int64_t den) {
      return (channel(first.Red, last.Red, num, den) << 16) | (channel(first.Green, last.Green, num, den) << 8) |
             channel(first.Blue, last.Blue, num, den);
    };
    if (mode == GRADIENT_FILL_RECT_H) {
      for (int x = box.left(); x <= box.right(); ++x) {
        uint32_t pixel = colour(x - x0, x1 - x0);
        for (int y = box.top(); y <= box.bottom(); ++y) Plot(*dc, x, y, pixel, R2_COPYPEN);
      }
    } else {
      for (int y = box.top(); y <= box.bottom(); ++y)
        Span(*dc, y, box.left(), box.right() + 1, colour(y - y0, y1 - y0), R2_COPYPEN);
    }
  }
  return TRUE;
}

int GetDIBits(HDC, HBITMAP handle, UINT start, UINT lines, LPVOID bits, BITMAPINFO *info, UINT usage) {
  auto *bitmap = LookupGdi<Bitmap>(handle);
  if (!bitmap || !info || usage != DIB_RGB_COLORS || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER &h = info->bmiHeader;
  const DibInfo &dib = bitmap->info;
  if (!bits) {
    h.biWidth = dib.width;
    h.biHeight = dib.height;
    h.biPlanes = 1;
    if (h.biBitCount == 0) h.biBitCount = WORD(dib.bitsPerPixel);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(DibStride(dib.width, h.biBitCount) * dib.height);
    return dib.height;
  }
  if (h.biWidth != dib.width || h.biHeight == 0 || (h.biBitCount != 24 && h.biBitCount != 32) ||
      h.biCompression != BI_RGB)
    return 0;
  // Scan lines count from the bottom of the picture; those past its top are not there.
  if (start >= UINT(dib.height)) return 0;
  const int count = int(std::min<UINT>(lines, UINT(dib.height) - start));
  Surface out;
  BITMAPINFO shape = *info;
  shape.bmiHeader.biHeight = h.biHeight > 0 ? count : -count;
  if (count == 0 || !DibSurface(bits, &shape, out)) return 0;
  Surface in = SurfaceOf(dib);
  for (int i = 0; i < count; ++i) {
    const int sourceRow = dib.height - 1 - int(start) - i;
    for (int x = 0; x < dib.width; ++x) out.Put(x, count - 1 - i, in.Get(x, sourceRow));
  }
  return count;
}

int StretchDIBits(HDC handle, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void *bits, const BITMAPINFO *info, UINT usage, DWORD rop) {
  Surface pixels;
  if (usage != DIB_RGB_COLORS || !DibSurface(bits, info, pixels)) return 0;
  Dc *dc = DrawingDc(handle);
  Axis ax, ay;
  if (!dc || !MakeAxis(x, width, srcX, srcWidth, ax) || !MakeAxis(y, height, srcY, srcHeight, ay)) return 0;
  // A bottom-up picture counts its source rows from the bottom.
  if (info->bmiHeader.biHeight > 0) ay.srcStart = pixels.height - ay.srcStart - ay.srcLen;
  Source source;
  source.surface = pixels;
  const unsigned code = (rop >> 16) & 0xFF;
  if (code == 0xCC && FastCopy(*dc, ax, ay, source)) return ay.destLen;
  const Brush *brush = dc->state.brush;
  const int bytes = dc->surface.bytes;
  ForEachPixel(*dc, ax, ay, &source, [&](uint8_t *p, int sx, int sy, int px, int py) {
    StorePixel(p, bytes, Rop3(code, PatternPixel(*dc, brush, px, py), source.Get(sx, sy), LoadPixel(p, bytes)));
  });
  return ay.destLen;
}

int SetDIBitsToDevice(HDC handle, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                      UINT scanLines, const void *bits, const BITMAPINFO *info, UINT usage) {
  if (!info || scanLines == 0 || scanLines > 1u << 24 || startScan > 1u << 24 || width > 1u << 24 ||
      height > 1u << 24)
    return 0;
  BITMAPINFO shape = *info;
  const bool bottomUp = info->bmiHeader.biHeight > 0;
  shape.bmiHeader.biHeight = bottomUp ? LONG(scanLines) : -LONG(scanLines);
  Surface pixels;
  if (usage != DIB_RGB_COLORS || !DibSurface(bits, &shape, pixels)) return 0;
  Dc *dc = DrawingDc(handle);
  if (!dc) return 0;
  Axis ax, ay;
  // The bits hold scan lines startScan .. startScan + scanLines - 1, counted
  // from the bottom for a bottom-up picture.
  const int64_t row = int64_t(srcY) - startScan;
  const int64_t firstRow = bottomUp ? int64_t(scanLines) - row - height : row;
  if (!Reasonable(firstRow) || !MakeAxis(x, int(width), srcX, int(width), ax) ||
      !MakeAxis(y, int(height), int(firstRow), int(height), ay))
    return 0;
  Source source;
  source.surface = pixels;
  FastCopy(*dc, ax, ay, source);
  return int(scanLines);
}
