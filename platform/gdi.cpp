// Device contexts: making and releasing them, what is selected into them,
// their attributes, saved states and coordinates.
#include <QImage>
#include <QPainter>

#include <cstring>

#include "platform/internal/gdi_objects.h"
#include "platform/internal/window_record.h"

namespace platform {
namespace {

Dc *NewDcObject(DcType type, HWND hwnd, HDC &handle) {
  auto dc = std::make_unique<Dc>();
  dc->type = type;
  dc->hwnd = hwnd;
  Dc *raw = dc.get();
  DcState &s = raw->state;
  s.pen = LookupGdi<Pen>(GetStockObject(BLACK_PEN));
  s.brush = LookupGdi<Brush>(GetStockObject(WHITE_BRUSH));
  s.font = LookupGdi<Font>(GetStockObject(SYSTEM_FONT));
  if (type == DcType::Memory) {
    s.bitmap = LookupGdi<Bitmap>(StockBitmapHandle());
  }
  AddUse(s.pen);
  AddUse(s.brush);
  AddUse(s.font);
  AddUse(s.bitmap);
  handle = static_cast<HDC>(InsertGdiObject(std::move(dc)));
  return handle ? raw : nullptr;
}

HDC NewDc(DcType type, HWND hwnd) {
  HDC handle = nullptr;
  NewDcObject(type, hwnd, handle);
  return handle;
}

void Release(HDC handle) {
  if (LookupDc(handle)) DeleteGdiHandle(handle);
}

}  // namespace

Dc::~Dc() {
  ReleaseDcState(state);
  for (DcState &s : saved) ReleaseDcState(s);
}

void ReleaseDcState(DcState &s) {
  if (s.bitmap && s.bitmap->selectedInto && s.bitmap->uses == 1) s.bitmap->selectedInto = nullptr;
  DropUse(s.pen);
  DropUse(s.brush);
  DropUse(s.font);
  DropUse(s.bitmap);
  s.pen = nullptr;
  s.brush = nullptr;
  s.font = nullptr;
  s.bitmap = nullptr;
}

void SetDcState(Dc &dc, const DcState &from) {
  DcState copy = from;
  AddUse(copy.pen);
  AddUse(copy.brush);
  AddUse(copy.font);
  AddUse(copy.bitmap);
  ReleaseDcState(dc.state);
  dc.state = std::move(copy);
  if (dc.state.bitmap && !dc.state.bitmap->stock) dc.state.bitmap->selectedInto = static_cast<HDC>(dc.handle);
  ClipChanged(dc);
}

void ClipChanged(Dc &dc) { dc.clipDirty = true; }

COLORREF Dc::PenColor() const {
  return state.pen && state.pen->dcPen ? state.dcPenColor : state.pen ? state.pen->color : 0;
}
COLORREF Dc::BrushColor() const {
  return state.brush && state.brush->dcBrush ? state.dcBrushColor : state.brush ? state.brush->color : 0;
}

namespace {

// The whole window's picture for frame contexts, kept with the window. It
// starts as the frame the host draws by default and starts again when the
// window changes size.
QImage *FrameImage(Window &window) {
  QSize size(window.rect.right - window.rect.left, window.rect.bottom - window.rect.top);
  if (size.isEmpty()) return nullptr;
  if (window.frame && window.frame->size() == size) return window.frame;
  QImage fresh(size, QImage::Format_RGB32);
  fresh.fill(QColor(255, 255, 255));
  QPainter painter(&fresh);
  painter.setPen(QColor(128, 128, 128));
  painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
  if (window.BorderWidth() > 1) {
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(1, 1, size.width() - 3, size.height() - 3);
  }
  painter.end();
  if (window.frame) {
    *window.frame = fresh;
  } else {
    window.frame = new QImage(fresh);
  }
  return window.frame;
}

}  // namespace

bool Dc::Prepare() {
  surface = Surface{};
  switch (type) {
    case DcType::Client:
    case DcType::Paint:
    case DcType::Window: {
      Window *window = OwnWindow(hwnd);
      if (!window) return false;
      QImage *image = window->image;
      if (type == DcType::Window && window->BorderWidth() > 0) {
        image = FrameImage(*window);
        // A frame context reaches the frame; the client area is the client's.
        RECT c = window->ClientRect();
        QRegion ring = QRegion(image->rect()) - QRegion(c.left, c.top, c.right - c.left, c.bottom - c.top);
        if (!sysClip || *sysClip != ring) {
          sysClip = ring;
          clipDirty = true;
        }
      }
      if (!image || image->isNull()) return false;
      if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32) return false;
      // Drawing outside painting goes to the screen at once on the
      // originals, also through a context that is kept and not released
      // (a control's canvas): the host shows the image again soon, once for
      // however many drawings come before it does.
      if (type != DcType::Paint && !window->showAsked) {
        window->showAsked = true;
        HostUpdate(*window);
      }
      surface.row0 = image->bits();
      surface.pitch = image->bytesPerLine();
      surface.width = image->width();
      surface.height = image->height();
      surface.bytes = 4;
      break;
    }
    case DcType::Memory:
      if (!state.bitmap) return false;
      surface = SurfaceOf(state.bitmap->info);
      break;
    case DcType::Screen: return false;
  }
  if (!surface.Valid()) return false;
  if (clipDirty || surface.row0 != preparedRow0 || surface.width != preparedWidth ||
      surface.height != preparedHeight) {
    QRegion area(QRect(-deviceOffset.x, -deviceOffset.y, surface.width, surface.height));
    if (sysClip) area &= *sysClip;
    if (state.clip) area &= *state.clip;
    clipRects.assign(area.begin(), area.end());
    clipBounds = area.boundingRect();
    preparedRow0 = surface.row0;
    preparedWidth = surface.width;
    preparedHeight = surface.height;
    clipDirty = false;
  }
  return true;
}

Dc *LookupDc(HDC handle) { return LookupGdi<Dc>(handle); }

bool SetDeviceResolution(HDC handle, int dpiX, int dpiY) {
  Dc *dc = LookupDc(handle);
  if (!dc || dpiX < 1 || dpiY < 1 || dpiX > 10000 || dpiY > 10000) return false;
  dc->dpiX = dpiX;
  dc->dpiY = dpiY;
  return true;
}

Dc *DrawingDc(HDC handle) {
  Dc *dc = LookupDc(handle);
  return dc && dc->Prepare() ? dc : nullptr;
}

}  // namespace platform

using namespace platform;

HDC GetDC(HWND hwnd) {
  if (!hwnd) return NewDc(DcType::Screen, nullptr);
  if (!OwnWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return NewDc(DcType::Client, hwnd);
}

HDC GetWindowDC(HWND hwnd) {
  if (!hwnd) return NewDc(DcType::Screen, nullptr);
  if (!OwnWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return NewDc(DcType::Window, hwnd);
}

int ReleaseDC(HWND, HDC handle) {
  Dc *dc = LookupDc(handle);
  if (!dc || dc->type == DcType::Memory) return 0;
  // What was drawn outside painting shows now, as on the originals.
  if (Window *window = OwnWindow(dc->hwnd)) HostUpdate(*window);
  Release(handle);
  return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT *paint) {
  Window *window = OwnWindow(hwnd);
  if (!window || !paint) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // A border that is new (shown, resized, its frame changed) is painted
  // first, as the window manager does before the client area.
  if (window->needsNcPaint) {
    window->needsNcPaint = false;
    if (window->BorderWidth() > 0) {
      SendMessageA(hwnd, WM_NCPAINT, 1, 0);
      window = OwnWindow(hwnd);
      if (!window) return nullptr;
    }
  }
  std::memset(paint, 0, sizeof *paint);
  RECT dirty = window->needsPaint ? window->dirty : RECT{};
  bool erase = window->needsErase;
  ValidateAfterPaint(*window);
  HDC handle = nullptr;
  Dc *dc = NewDcObject(DcType::Paint, hwnd, handle);
  if (!dc) return nullptr;
  // Painting reaches only what was invalid.
  dc->sysClip = QRegion(QRect(dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top));
  ClipChanged(*dc);
  paint->hdc = handle;
  paint->rcPaint = dirty;
  paint->fErase = TRUE;
  if (erase) paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(handle), 0) == 0;
  return handle;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *paint) {
  if (paint && paint->hdc) {
    Dc *dc = LookupDc(paint->hdc);
    if (dc && dc->type == DcType::Paint) Release(paint->hdc);
  }
  if (Window *window = OwnWindow(hwnd)) HostUpdate(*window);
  return TRUE;
}

HDC CreateCompatibleDC(HDC) { return NewDc(DcType::Memory, nullptr); }

BOOL DeleteDC(HDC handle) {
  if (!LookupDc(handle)) return FALSE;
  Release(handle);
  return TRUE;
}

HWND WindowFromDC(HDC handle) {
  Dc *dc = LookupDc(handle);
  return dc ? dc->hwnd : nullptr;
}

int GetDeviceCaps(HDC handle, int index) {
  Dc *dc = LookupDc(handle);
  if (!dc) return 0;
  int width = 1920, height = 1080;
  if (dc->Prepare()) {
    width = dc->surface.width;
    height = dc->surface.height;
  }
  switch (index) {
    case HORZRES:
    case PHYSICALWIDTH: return width;
    case VERTRES:
    case PHYSICALHEIGHT: return height;
    case HORZSIZE: return int(int64_t(width) * 254 / (int64_t(dc->dpiX) * 10));
    case VERTSIZE: return int(int64_t(height) * 254 / (int64_t(dc->dpiY) * 10));
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX: return dc->dpiX;
    case LOGPIXELSY: return dc->dpiY;
    case RASTERCAPS: return 0x0001 | 0x0008 | 0x0800;  // bit blits, large bitmaps, stretch blits
    default: return 0;
  }
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ objectHandle) {
  Dc *dc = LookupDc(handle);
  GdiObject *object = LookupGdiObject(objectHandle);
  if (!dc || !object) return nullptr;
  DcState &s = dc->state;
  auto swap = [](auto *&slot, auto *next) -> HGDIOBJ {
    auto *previous = slot;
    AddUse(next);
    slot = next;
    HGDIOBJ previousHandle = previous ? previous->handle : nullptr;
    DropUse(previous);
    return previousHandle;
  };
  switch (object->kind) {
    case GdiKind::Pen: return swap(s.pen, static_cast<Pen *>(object));
    case GdiKind::Brush: return swap(s.brush, static_cast<Brush *>(object));
    case GdiKind::Font: return swap(s.font, static_cast<Font *>(object));
    case GdiKind::Bitmap: {
      auto *bitmap = static_cast<Bitmap *>(object);
      if (dc->type != DcType::Memory) return nullptr;
      // A bitmap is selected into one context at a time.
      if (bitmap->selectedInto && bitmap->selectedInto != handle && !bitmap->stock) return nullptr;
      Bitmap *previous = s.bitmap;
      if (previous == bitmap) return objectHandle;
      if (previous && previous->uses == 1) previous->selectedInto = nullptr;
      if (!bitmap->stock) bitmap->selectedInto = handle;
      HGDIOBJ result = swap(s.bitmap, bitmap);
      ClipChanged(*dc);
      return result;
    }
    case GdiKind::Region: {
      int kind = SelectClipRgn(handle, objectHandle);
      return reinterpret_cast<HGDIOBJ>(intptr_t(kind));
    }
    case GdiKind::Dc: break;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT kind) {
  Dc *dc = LookupDc(handle);
  if (!dc) return nullptr;
  const DcState &s = dc->state;
  switch (kind) {
    case OBJ_PEN: return s.pen ? s.pen->handle : nullptr;
    case OBJ_BRUSH: return s.brush ? s.brush->handle : nullptr;
    case OBJ_FONT: return s.font ? s.font->handle : nullptr;
    case OBJ_BITMAP: return s.bitmap ? s.bitmap->handle : nullptr;
    default: return nullptr;
  }
}

int SaveDC(HDC handle) {
  Dc *dc = LookupDc(handle);
  if (!dc) return 0;
  DcState copy = dc->state;
  AddUse(copy.pen);
  AddUse(copy.brush);
  AddUse(copy.font);
  AddUse(copy.bitmap);
  dc->saved.push_back(std::move(copy));
  return int(dc->saved.size());
}

BOOL RestoreDC(HDC handle, int level) {
  Dc *dc = LookupDc(handle);
  if (!dc || level == 0) return FALSE;
  int count = int(dc->saved.size());
  int target = level > 0 ? level : count + 1 + level;
  if (target < 1 || target > count) return FALSE;
  SetDcState(*dc, dc->saved[size_t(target - 1)]);
  while (int(dc->saved.size()) >= target) {
    ReleaseDcState(dc->saved.back());
    dc->saved.pop_back();
  }
  // What the restored state has selected belongs to this context again.
  if (dc->state.bitmap && !dc->state.bitmap->stock) dc->state.bitmap->selectedInto = handle;
  return TRUE;
}

namespace {

template <class T, class F>
T Exchange(HDC handle, T failed, F &&field, T value) {
  Dc *dc = LookupDc(handle);
  if (!dc) return failed;
  T &slot = field(dc->state);
  T previous = slot;
  slot = value;
  return previous;
}

template <class T, class F>
T Read(HDC handle, T failed, F &&field) {
  Dc *dc = LookupDc(handle);
  return dc ? field(dc->state) : failed;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) {
  return Exchange<COLORREF>(dc, CLR_INVALID, [](DcState &s) -> COLORREF & { return s.textColor; }, color & 0xFFFFFF);
}
COLORREF GetTextColor(HDC dc) { return Read<COLORREF>(dc, CLR_INVALID, [](DcState &s) { return s.textColor; }); }
COLORREF SetBkColor(HDC dc, COLORREF color) {
  return Exchange<COLORREF>(dc, CLR_INVALID, [](DcState &s) -> COLORREF & { return s.bkColor; }, color & 0xFFFFFF);
}
COLORREF GetBkColor(HDC dc) { return Read<COLORREF>(dc, CLR_INVALID, [](DcState &s) { return s.bkColor; }); }
int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return Exchange<int>(dc, 0, [](DcState &s) -> int & { return s.bkMode; }, mode);
}
int GetBkMode(HDC dc) { return Read<int>(dc, 0, [](DcState &s) { return s.bkMode; }); }
int SetROP2(HDC dc, int mode) {
  if (mode < R2_BLACK || mode > R2_WHITE) return 0;
  return Exchange<int>(dc, 0, [](DcState &s) -> int & { return s.rop2; }, mode);
}
int GetROP2(HDC dc) { return Read<int>(dc, 0, [](DcState &s) { return s.rop2; }); }
UINT SetTextAlign(HDC dc, UINT align) {
  return Exchange<UINT>(dc, GDI_ERROR, [](DcState &s) -> UINT & { return s.textAlign; }, align);
}
UINT GetTextAlign(HDC dc) { return Read<UINT>(dc, GDI_ERROR, [](DcState &s) { return s.textAlign; }); }
int SetStretchBltMode(HDC dc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return Exchange<int>(dc, 0, [](DcState &s) -> int & { return s.stretchMode; }, mode);
}
int GetStretchBltMode(HDC dc) { return Read<int>(dc, 0, [](DcState &s) { return s.stretchMode; }); }
int SetPolyFillMode(HDC dc, int mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  return Exchange<int>(dc, 0, [](DcState &s) -> int & { return s.polyFillMode; }, mode);
}
int GetPolyFillMode(HDC dc) { return Read<int>(dc, 0, [](DcState &s) { return s.polyFillMode; }); }
COLORREF SetDCBrushColor(HDC dc, COLORREF color) {
  return Exchange<COLORREF>(dc, CLR_INVALID, [](DcState &s) -> COLORREF & { return s.dcBrushColor; },
                            color & 0xFFFFFF);
}
COLORREF SetDCPenColor(HDC dc, COLORREF color) {
  return Exchange<COLORREF>(dc, CLR_INVALID, [](DcState &s) -> COLORREF & { return s.dcPenColor; },
                            color & 0xFFFFFF);
}

namespace {

BOOL SetPoint(HDC handle, POINT DcState::*field, int x, int y, POINT *previous, bool offset) {
  Dc *dc = LookupDc(handle);
  if (!dc) return FALSE;
  POINT &p = dc->state.*field;
  if (previous) *previous = p;
  p = offset ? POINT{p.x + x, p.y + y} : POINT{x, y};
  return TRUE;
}

BOOL GetPoint(HDC handle, POINT DcState::*field, POINT *out) {
  Dc *dc = LookupDc(handle);
  if (!dc || !out) return FALSE;
  *out = dc->state.*field;
  return TRUE;
}

}  // namespace

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT *previous) {
  return SetPoint(dc, &DcState::brushOrg, x, y, previous, false);
}
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT *previous) {
  return SetPoint(dc, &DcState::viewportOrg, x, y, previous, false);
}
BOOL GetViewportOrgEx(HDC dc, POINT *origin) { return GetPoint(dc, &DcState::viewportOrg, origin); }
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT *previous) {
  return SetPoint(dc, &DcState::viewportOrg, dx, dy, previous, true);
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT *previous) {
  return SetPoint(dc, &DcState::windowOrg, x, y, previous, false);
}
BOOL GetWindowOrgEx(HDC dc, POINT *origin) { return GetPoint(dc, &DcState::windowOrg, origin); }

BOOL LPtoDP(HDC handle, POINT *points, int count) {
  Dc *dc = LookupDc(handle);
  if (!dc || (!points && count > 0) || count < 0) return FALSE;
  for (int i = 0; i < count; ++i) points[i] = POINT{dc->ToDeviceX(points[i].x), dc->ToDeviceY(points[i].y)};
  return TRUE;
}

BOOL DPtoLP(HDC handle, POINT *points, int count) {
  Dc *dc = LookupDc(handle);
  if (!dc || (!points && count > 0) || count < 0) return FALSE;
  const DcState &s = dc->state;
  for (int i = 0; i < count; ++i)
    points[i] = POINT{points[i].x + s.windowOrg.x - s.viewportOrg.x, points[i].y + s.windowOrg.y - s.viewportOrg.y};
  return TRUE;
}
