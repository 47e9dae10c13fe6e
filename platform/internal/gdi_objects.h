// INTERNAL to the platform library: GDI objects, their handle table, device
// contexts and the rasteriser they draw with.
#pragma once

#include <QRegion>

#include <functional>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gdi.h"

class QImage;
class QPainter;

namespace platform {

// ---- objects and their table -------------------------------------------------

enum class GdiKind : uint8_t { Pen = 1, Brush = 2, Font = 3, Bitmap = 4, Region = 5, Dc = 6 };

// A context counts as a use of each object it has selected or keeps in a
// saved state; DeleteObject refuses an object in use. An object whose handle
// is gone lives on while it has uses.
struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiKind kind;
  bool stock = false;
  int uses = 0;  // selections and saved states holding it
  bool handleAlive = true;
  HGDIOBJ handle = nullptr;
};

void AddUse(GdiObject *object);
HGDIOBJ StockBitmapHandle();
HFONT CreateStockFont(int index);
// Frees a handle's slot (the object goes when no context uses it).
void DeleteGdiHandle(HGDIOBJ handle);
void DropUse(GdiObject *object);

// Enters the object into the table; null when the table is full.
HGDIOBJ InsertGdiObject(std::unique_ptr<GdiObject> object);
// The object of a live handle of any kind, or null.
GdiObject *LookupGdiObject(HGDIOBJ handle);
// The object of a live handle of the given kind, or null (ERROR_INVALID_HANDLE).
GdiObject *LookupGdiObject(HGDIOBJ handle, GdiKind kind);
template <class T>
T *LookupGdi(HGDIOBJ handle) {
  return static_cast<T *>(LookupGdiObject(handle, T::kKind));
}

// Pixels are kept as 0x00RRGGBB, the order of a 32-bit surface in memory.
constexpr uint32_t ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
constexpr COLORREF ToColorRef(uint32_t p) { return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16); }

struct Pen : GdiObject {
  static constexpr GdiKind kKind = GdiKind::Pen;
  Pen() : GdiObject(kKind) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
  bool dcPen = false;  // takes the context's DC pen colour
};

struct Brush : GdiObject {
  static constexpr GdiKind kKind = GdiKind::Brush;
  Brush() : GdiObject(kKind) {}
  UINT style = BS_SOLID;
  int hatch = 0;
  COLORREF color = 0;
  bool dcBrush = false;       // takes the context's DC brush colour
  uint32_t pattern[8][8]{};   // BS_PATTERN tile
  int patternWidth = 0, patternHeight = 0;
};

struct Bitmap : GdiObject {
  static constexpr GdiKind kKind = GdiKind::Bitmap;
  Bitmap() : GdiObject(kKind) {}
  ~Bitmap() override;
  DibInfo info;
  bool dibSection = false;
  HDC selectedInto = nullptr;
};

struct Region : GdiObject {
  static constexpr GdiKind kKind = GdiKind::Region;
  Region() : GdiObject(kKind) {}
  QRegion region;
};

struct FontFace;  // the resolved face, shared by fonts of equal description
struct Font : GdiObject {
  static constexpr GdiKind kKind = GdiKind::Font;
  Font() : GdiObject(kKind) {}
  LOGFONTA log{};
  std::shared_ptr<FontFace> face;  // resolved on first use
};
FontFace &FaceOf(Font &font);

// ---- surfaces ------------------------------------------------------------------

// One pixel of a 24- or 32-bit row; a 32-bit pixel is written opaque.
inline uint32_t LoadPixel(const uint8_t *p, int bytes) {
  return bytes == 4 ? *reinterpret_cast<const uint32_t *>(p) & 0xFFFFFF
                    : uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
}
inline void StorePixel(uint8_t *p, int bytes, uint32_t v) {
  if (bytes == 4) {
    *reinterpret_cast<uint32_t *>(p) = v | 0xFF000000u;
  } else {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  }
}

// Rows of pixels in 24 or 32 bits; pitch is negative for bottom-up rows.
struct Surface {
  uint8_t *row0 = nullptr;
  ptrdiff_t pitch = 0;
  int width = 0;
  int height = 0;
  int bytes = 4;  // per pixel: 3 or 4
  uint8_t *Row(int y) const { return row0 + pitch * y; }
  bool Valid() const { return row0 && width > 0 && height > 0; }
  uint32_t Get(int x, int y) const { return LoadPixel(Row(y) + ptrdiff_t(x) * bytes, bytes); }
  void Put(int x, int y, uint32_t v) const { StorePixel(Row(y) + ptrdiff_t(x) * bytes, bytes, v); }
};
Surface SurfaceOf(const DibInfo &info);

// The bytes of a DIB row (padded to 4 bytes), and of a whole DIB: -1 when
// the sizes are not positive or the pixels would pass 2 GiB, which no DIB
// here may.
int64_t DibStride(int64_t width, int bitsPerPixel);
int64_t DibBytes(int64_t width, int64_t height, int bitsPerPixel);

// ---- device contexts -----------------------------------------------------------

enum class DcType : uint8_t { Client, Window, Memory, Paint, Screen };

struct DcState {
  Pen *pen = nullptr;
  Brush *brush = nullptr;
  Font *font = nullptr;
  Bitmap *bitmap = nullptr;  // memory contexts
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  int rop2 = R2_COPYPEN;
  UINT textAlign = 0;
  int stretchMode = BLACKONWHITE;
  int polyFillMode = ALTERNATE;
  POINT brushOrg{};
  POINT viewportOrg{};
  POINT windowOrg{};
  POINT position{};
  COLORREF dcBrushColor = 0xFFFFFF;
  COLORREF dcPenColor = 0;
  std::optional<QRegion> clip;  // the application's clip, device coordinates
  int penStylePos = 0;          // where a styled line's dash pattern stands
};

struct Dc : GdiObject {
  static constexpr GdiKind kKind = GdiKind::Dc;
  Dc() : GdiObject(kKind) {}
  ~Dc() override;
  DcType type = DcType::Memory;
  HWND hwnd = nullptr;
  POINT deviceOffset{};            // device to surface (frame contexts)
  int dpiX = 96, dpiY = 96;        // what GetDeviceCaps reports
  std::optional<QRegion> sysClip;  // the paint's update area, device coordinates
  DcState state;
  std::vector<DcState> saved;

  // The surface drawn into now, and the clip rectangles in device coordinates
  // (clipped to the surface). False when there is nothing to draw into.
  bool Prepare();
  Surface surface;
  std::vector<QRect> clipRects;  // device coordinates
  QRect clipBounds;

  // Device coordinates stay within +-2^27, so that sizes and sums of them
  // never overflow, whatever a caller passes.
  static int Clamp(int64_t v) { return int(v < -kCoordLimit ? -kCoordLimit : v > kCoordLimit ? kCoordLimit : v); }
  static constexpr int64_t kCoordLimit = int64_t(1) << 27;
  int ToDeviceX(int x) const { return Clamp(int64_t(x) - state.windowOrg.x + state.viewportOrg.x); }
  int ToDeviceY(int y) const { return Clamp(int64_t(y) - state.windowOrg.y + state.viewportOrg.y); }
  QPoint ToDevice(int x, int y) const { return QPoint(ToDeviceX(x), ToDeviceY(y)); }
  // A logical rectangle in device coordinates, its corners put in order.
  QRect ToDevice(int left, int top, int right, int bottom) const {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const QPoint a = ToDevice(left, top), b = ToDevice(right, bottom);
    return QRect(a.x(), a.y(), b.x() - a.x(), b.y() - a.y());
  }
  COLORREF PenColor() const;
  COLORREF BrushColor() const;

 private:
  uint8_t *preparedRow0 = nullptr;
  int preparedWidth = -1, preparedHeight = -1;
  bool clipDirty = true;
  friend void ClipChanged(Dc &dc);
};
void ClipChanged(Dc &dc);
void SetDcState(Dc &dc, const DcState &from);  // with reference counts
void ReleaseDcState(DcState &state);

// The context of a handle, prepared for drawing; null when it is not live or
// has nothing to draw into.
Dc *DrawingDc(HDC handle);
Dc *LookupDc(HDC handle);

// ---- the rasteriser -----------------------------------------------------------

// One mix of pen and screen (R2_ modes) or, for blits, a ternary raster op.
uint32_t Rop2(int mode, uint32_t pen, uint32_t dst);

// Writes n pixels of colour from surface pixel (x, y) on, unclipped.
void WriteRun(const Surface &s, int x, int y, int n, uint32_t color, int rop2);
// Writes colour over [x0, x1) of row y in device coordinates, clipped.
void Span(Dc &dc, int y, int x0, int x1, uint32_t color, int rop2);
// The colour a brush gives device pixel (x, y); false for the background of
// a hatch (then the colour is the background colour) and for a null brush.
bool BrushPixel(const Dc &dc, const Brush &brush, int x, int y, uint32_t &color);
// A brush over [x0, x1) of row y: solid, hatched or patterned.
void BrushSpan(Dc &dc, int y, int x0, int x1, const Brush &brush, int rop2);
void Plot(Dc &dc, int x, int y, uint32_t color, int rop2);
// Writes colour over a device rectangle, clipped.
void FillArea(Dc &dc, const QRect &rect, uint32_t color, int rop2);
void FillDeviceRect(Dc &dc, const QRect &rect, const Brush &brush, int rop2);
// The pixels of a one-pixel line from a to b, the last one left out unless
// asked for. Halfway cases go to the smaller coordinate, so a line and its
// reverse cover the same pixels.
template <class F>
void WalkLine(QPoint a, QPoint b, bool lastPixel, F &&plot, const QRect *bounds = nullptr, int *skipped = nullptr) {
  const int64_t dx = int64_t(b.x()) - a.x(), dy = int64_t(b.y()) - a.y();
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool xMajor = adx >= ady;
  int64_t from = 0, to = (xMajor ? adx : ady) + (lastPixel ? 1 : 0);
  if (bounds) {
    // Only the steps whose major coordinate falls inside the bounds.
    const int64_t start = xMajor ? a.x() : a.y();
    const int64_t low = xMajor ? bounds->left() : bounds->top();
    const int64_t high = xMajor ? bounds->right() : bounds->bottom();
    const bool forward = xMajor ? dx >= 0 : dy >= 0;
    int64_t first = forward ? low - start : start - high, last = forward ? high - start : start - low;
    from = std::max<int64_t>(from, first);
    to = std::min<int64_t>(to, last + 1);
  }
  if (skipped) *skipped = int(std::max<int64_t>(from, 0) & 0x3FFFFFFF);
  auto roundHalfDown = [](int64_t n, int64_t d) {  // n / d, d > 0
    int64_t m = 2 * n - d, q = m / (2 * d);
    if (m % (2 * d) != 0 && m > 0) ++q;  // ceiling
    return q;
  };
  for (int64_t k = from; k < to; ++k) {
    if (xMajor) {
      plot(int(a.x() + (dx >= 0 ? k : -k)), int(a.y() + roundHalfDown(k * dy, adx)));
    } else {
      plot(int(a.x() + roundHalfDown(k * dx, ady)), int(a.y() + (dy >= 0 ? k : -k)));
    }
  }
}

// A one-pixel line in device coordinates from a up to, not including, b;
// styled pens advance dc.state.penStylePos.
void DeviceLine(Dc &dc, QPoint a, QPoint b, const Pen &pen, bool lastPixel = false);
// Coverage from Qt: the pixels whose alpha is at least half are drawn.
void CoverageSpans(Dc &dc, const QImage &mask, QPoint origin, uint32_t color, int rop2);
void CoverageBrush(Dc &dc, const QImage &mask, QPoint origin, const Brush &brush, int rop2);

// A mask of area (device coordinates) in which draw paints, aliased, with
// the painter translated so that it draws in device coordinates.
QImage RenderCoverage(const QRect &area, const std::function<void(QPainter &)> &draw);

bool IsNullPen(const Pen *pen);
bool IsNullBrush(const Brush *brush);

}  // namespace platform
