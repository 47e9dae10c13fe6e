// The GDI handle table and the objects in it: pens, brushes, bitmaps and the
// stock objects. Fonts and regions are made in their own files.
//
// A handle is kind (4 bits) | generation (10 bits) | slot (18 bits). The
// table is used by the drawing thread alone and takes no lock; a lookup is an
// index, a generation compare and a kind compare.
//
// Freed slots wait in a queue and the one freed longest ago is reused first;
// the table grows instead while fewer than kFreeReserve slots wait. So a
// slot comes back only after many other frees, and its generation wraps only
// after about a million create/delete cycles: a paint loop that makes and
// deletes one pen per frame never lets an old handle name a new object.
#include <cstdlib>
#include <cstring>
#include <deque>

#include "platform/internal/gdi_objects.h"

namespace platform {
namespace {

constexpr unsigned kSlotBits = 18;
constexpr unsigned kGenerationBits = 10;
constexpr uintptr_t kSlotMask = (uintptr_t(1) << kSlotBits) - 1;
constexpr uintptr_t kGenerationMask = (uintptr_t(1) << kGenerationBits) - 1;
constexpr size_t kMaxSlots = size_t(1) << kSlotBits;
constexpr size_t kFreeReserve = 1024;

struct Slot {
  GdiObject *object = nullptr;
  uint16_t generation = 0;
};

struct Table {
  std::vector<Slot> slots;
  std::deque<uint32_t> free;  // oldest free first
  size_t live = 0;  // stock objects excluded
  HGDIOBJ stock[DC_PEN + 1]{};
  HBRUSH sysBrushes[COLOR_MENUBAR + 1]{};
};

Table &TheTable();

HGDIOBJ Encode(GdiKind kind, uint32_t generation, uint32_t slot) {
  return reinterpret_cast<HGDIOBJ>((uintptr_t(kind) << (kSlotBits + kGenerationBits)) |
                                   (uintptr_t(generation) << kSlotBits) | slot);
}

HGDIOBJ Insert(Table &table, std::unique_ptr<GdiObject> object) {
  uint32_t slot;
  if (table.free.size() > kFreeReserve || (!table.free.empty() && table.slots.size() >= kMaxSlots)) {
    slot = table.free.front();
    table.free.pop_front();
  } else {
    if (table.slots.size() >= kMaxSlots) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    slot = uint32_t(table.slots.size());
    table.slots.push_back(Slot{});
  }
  Slot &s = table.slots[slot];
  s.object = object.release();
  HGDIOBJ handle = Encode(s.object->kind, s.generation, slot);
  s.object->handle = handle;
  if (!s.object->stock) ++table.live;
  return handle;
}

Slot *SlotOf(Table &table, HGDIOBJ handle) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  uintptr_t slot = value & kSlotMask;
  uintptr_t generation = (value >> kSlotBits) & kGenerationMask;
  if (value >> 32 || (value >> (kSlotBits + kGenerationBits)) == 0 || slot >= table.slots.size()) return nullptr;
  Slot &s = table.slots[slot];
  if (!s.object || s.generation != generation) return nullptr;
  if (uintptr_t(s.object->kind) != value >> (kSlotBits + kGenerationBits)) return nullptr;
  return &s;
}

// Frees the slot; the object goes when nothing uses it any more.
void DropHandle(Table &table, HGDIOBJ handle) {
  Slot *s = SlotOf(table, handle);
  if (!s) return;
  GdiObject *object = s->object;
  s->object = nullptr;
  s->generation = uint16_t((s->generation + 1) & kGenerationMask);
  table.free.push_back(uint32_t(s - table.slots.data()));
  --table.live;
  object->handleAlive = false;
  object->handle = nullptr;
  if (object->uses == 0) delete object;
}

std::unique_ptr<Pen> MakePen(int style, int width, COLORREF color) {
  auto pen = std::make_unique<Pen>();
  pen->style = style;
  pen->width = std::clamp(width, 1, 1 << 14);
  // A wide pen draws solid whatever its style.
  if (pen->width > 1 && style >= PS_DASH && style <= PS_DASHDOTDOT) pen->style = PS_SOLID;
  pen->color = color & 0xFFFFFF;
  return pen;
}

std::unique_ptr<Brush> MakeBrush(UINT style, COLORREF color, int hatch) {
  auto brush = std::make_unique<Brush>();
  brush->style = style;
  brush->color = color & 0xFFFFFF;
  brush->hatch = hatch;
  return brush;
}

HGDIOBJ InsertStock(Table &table, std::unique_ptr<GdiObject> object) {
  object->stock = true;
  return Insert(table, std::move(object));
}

Table &TheTable() {
  static Table *table = [] {
    auto *t = new Table;  // lives past static destruction
    t->slots.reserve(1024);
    t->stock[WHITE_BRUSH] = InsertStock(*t, MakeBrush(BS_SOLID, RGB(255, 255, 255), 0));
    t->stock[LTGRAY_BRUSH] = InsertStock(*t, MakeBrush(BS_SOLID, RGB(192, 192, 192), 0));
    t->stock[GRAY_BRUSH] = InsertStock(*t, MakeBrush(BS_SOLID, RGB(128, 128, 128), 0));
    t->stock[DKGRAY_BRUSH] = InsertStock(*t, MakeBrush(BS_SOLID, RGB(64, 64, 64), 0));
    t->stock[BLACK_BRUSH] = InsertStock(*t, MakeBrush(BS_SOLID, RGB(0, 0, 0), 0));
    t->stock[NULL_BRUSH] = InsertStock(*t, MakeBrush(BS_NULL, 0, 0));
    t->stock[WHITE_PEN] = InsertStock(*t, MakePen(PS_SOLID, 1, RGB(255, 255, 255)));
    t->stock[BLACK_PEN] = InsertStock(*t, MakePen(PS_SOLID, 1, RGB(0, 0, 0)));
    t->stock[NULL_PEN] = InsertStock(*t, MakePen(PS_NULL, 1, 0));
    auto dcBrush = MakeBrush(BS_SOLID, RGB(255, 255, 255), 0);
    dcBrush->dcBrush = true;
    t->stock[DC_BRUSH] = InsertStock(*t, std::move(dcBrush));
    auto dcPen = MakePen(PS_SOLID, 1, 0);
    dcPen->dcPen = true;
    t->stock[DC_PEN] = InsertStock(*t, std::move(dcPen));
    // The default bitmap of a memory context: one black pixel.
    auto bitmap = std::make_unique<Bitmap>();
    bitmap->info.width = bitmap->info.height = 1;
    bitmap->info.bitsPerPixel = 32;
    bitmap->info.stride = 4;
    bitmap->info.bottomUp = false;
    bitmap->info.bits = static_cast<unsigned char *>(std::calloc(1, 4));
    t->stock[9] = InsertStock(*t, std::move(bitmap));
    return t;
  }();
  return *table;
}

}  // namespace

Bitmap::~Bitmap() { std::free(info.bits); }

void AddUse(GdiObject *object) {
  if (object) ++object->uses;
}

void DropUse(GdiObject *object) {
  if (!object) return;
  if (--object->uses == 0 && !object->handleAlive) delete object;
}

HGDIOBJ InsertGdiObject(std::unique_ptr<GdiObject> object) { return Insert(TheTable(), std::move(object)); }

GdiObject *LookupGdiObject(HGDIOBJ handle) {
  Slot *s = SlotOf(TheTable(), handle);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return s->object;
}

GdiObject *LookupGdiObject(HGDIOBJ handle, GdiKind kind) {
  GdiObject *object = LookupGdiObject(handle);
  if (object && object->kind != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return object;
}

HGDIOBJ StockBitmapHandle() { return TheTable().stock[9]; }

void DeleteGdiHandle(HGDIOBJ handle) { DropHandle(TheTable(), handle); }

size_t LiveGdiObjectCount() { return TheTable().live; }

bool IsNullPen(const Pen *pen) { return !pen || pen->style == PS_NULL; }
bool IsNullBrush(const Brush *brush) { return !brush || brush->style == BS_NULL; }

Surface SurfaceOf(const DibInfo &info) {
  Surface s;
  if (!info.bits || info.width <= 0 || info.height <= 0) return s;
  s.width = info.width;
  s.height = info.height;
  s.bytes = info.bitsPerPixel / 8;
  if (info.bottomUp) {
    s.row0 = info.bits + ptrdiff_t(info.height - 1) * info.stride;
    s.pitch = -ptrdiff_t(info.stride);
  } else {
    s.row0 = info.bits;
    s.pitch = info.stride;
  }
  return s;
}

int64_t DibStride(int64_t width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

int64_t DibBytes(int64_t width, int64_t height, int bitsPerPixel) {
  constexpr int64_t kLimit = INT32_MAX;
  if (width <= 0 || height <= 0 || width > kLimit || height > kLimit) return -1;
  const int64_t size = DibStride(width, bitsPerPixel) * height;
  return size > kLimit ? -1 : size;
}

bool GetDibInfo(HBITMAP handle, DibInfo &info) {
  auto *bitmap = LookupGdi<Bitmap>(handle);
  if (!bitmap) return false;
  info = bitmap->info;
  return true;
}

namespace {

// System colours of the classic scheme, as 0x00BBGGRR.
constexpr COLORREF kSysColors[COLOR_MENUBAR + 1] = {
    RGB(212, 208, 200),  // scroll bar
    RGB(58, 110, 165),   // desktop
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3-D dark shadow
    RGB(212, 208, 200),  // 3-D light
    RGB(0, 0, 0),        // tool-tip text
    RGB(255, 255, 225),  // tool-tip background
    RGB(181, 181, 181),  // (unused)
    RGB(0, 0, 128),      // hot-tracked item
    RGB(166, 202, 240),  // active caption gradient
    RGB(192, 192, 192),  // inactive caption gradient
    RGB(10, 36, 106),    // highlighted menu item
    RGB(212, 208, 200),  // menu bar
};

}  // namespace
}  // namespace platform

using namespace platform;

COLORREF GetSysColor(int index) {
  if (index < 0 || index > COLOR_MENUBAR) return 0;
  return kSysColors[index];
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index > COLOR_MENUBAR) return nullptr;
  Table &table = TheTable();
  if (!table.sysBrushes[index]) table.sysBrushes[index] = InsertStock(table, MakeBrush(BS_SOLID, kSysColors[index], 0));
  return table.sysBrushes[index];
}

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index > DC_PEN) return nullptr;
  Table &table = TheTable();
  if (index == OEM_FIXED_FONT || index == ANSI_FIXED_FONT || index == ANSI_VAR_FONT || index == SYSTEM_FONT ||
      index == DEVICE_DEFAULT_FONT || index == SYSTEM_FIXED_FONT || index == DEFAULT_GUI_FONT) {
    if (!table.stock[index]) table.stock[index] = CreateStockFont(index);
  }
  return index == 9 || index == 15 ? nullptr : table.stock[index];
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return InsertGdiObject(MakePen(style, width, color));
}

HPEN CreatePenIndirect(const LOGPEN *pen) {
  if (!pen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreatePen(int(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) { return InsertGdiObject(MakeBrush(BS_SOLID, color, 0)); }

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return InsertGdiObject(MakeBrush(BS_HATCHED, color, hatch));
}

HBRUSH CreatePatternBrush(HBITMAP handle) {
  auto *bitmap = LookupGdi<Bitmap>(handle);
  if (!bitmap) return nullptr;
  auto brush = MakeBrush(BS_PATTERN, 0, 0);
  Surface s = SurfaceOf(bitmap->info);
  brush->patternWidth = std::min(8, s.width);
  brush->patternHeight = std::min(8, s.height);
  for (int y = 0; y < brush->patternHeight; ++y)
    for (int x = 0; x < brush->patternWidth; ++x) brush->pattern[y][x] = s.Get(x, y);
  return InsertGdiObject(std::move(brush));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH *brush) {
  if (!brush) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_NULL: return GetStockObject(NULL_BRUSH);
    case BS_HATCHED: return CreateHatchBrush(int(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

namespace {

HBITMAP NewBitmap(int width, int height, int bitsPerPixel, bool bottomUp, bool dibSection, void **bits) {
  if (bits) *bits = nullptr;
  const int64_t size = DibBytes(width, height, bitsPerPixel);
  if (size < 0) {
    SetLastError(width > 0 && height > 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->info.bits = static_cast<unsigned char *>(std::calloc(size_t(size), 1));
  if (!bitmap->info.bits) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->info.width = width;
  bitmap->info.height = height;
  bitmap->info.bitsPerPixel = bitsPerPixel;
  bitmap->info.stride = int(DibStride(width, bitsPerPixel));
  bitmap->info.bottomUp = bottomUp;
  bitmap->dibSection = dibSection;
  void *pixels = bitmap->info.bits;
  HBITMAP handle = InsertGdiObject(std::move(bitmap));
  if (handle && bits) *bits = pixels;
  return handle;
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER &h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN || h.biPlanes != 1 || (h.biBitCount != 24 && h.biBitCount != 32) ||
      h.biCompression != BI_RGB) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  return NewBitmap(h.biWidth, height, h.biBitCount, h.biHeight > 0, true, bits);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) width = height = 1;
  return NewBitmap(width, height, 32, false, false, nullptr);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits) {
  if (width <= 0 || height <= 0 || planes != 1 || (bitsPerPixel != 24 && bitsPerPixel != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HBITMAP handle = NewBitmap(width, height, int(bitsPerPixel), false, false, nullptr);
  if (handle && bits) {
    auto *bitmap = LookupGdi<Bitmap>(handle);
    size_t rowBytes = size_t(width) * (bitsPerPixel / 8);
    size_t sourceStride = (rowBytes + 1) & ~size_t(1);
    for (int y = 0; y < height; ++y)
      std::memcpy(bitmap->info.bits + size_t(y) * size_t(bitmap->info.stride),
                  static_cast<const uint8_t *>(bits) + size_t(y) * sourceStride, rowBytes);
  }
  return handle;
}

DWORD GetObjectType(HGDIOBJ handle) {
  GdiObject *object = LookupGdiObject(handle);
  if (!object) return 0;
  switch (object->kind) {
    case GdiKind::Pen: return OBJ_PEN;
    case GdiKind::Brush: return OBJ_BRUSH;
    case GdiKind::Font: return OBJ_FONT;
    case GdiKind::Bitmap: return OBJ_BITMAP;
    case GdiKind::Region: return OBJ_REGION;
    case GdiKind::Dc: return static_cast<Dc *>(object)->type == DcType::Memory ? OBJ_MEMDC : OBJ_DC;
  }
  return 0;
}

int GetObjectA(HGDIOBJ handle, int size, LPVOID buffer) {
  GdiObject *object = LookupGdiObject(handle);
  if (!object || size < 0) return 0;
  auto give = [&](const auto &record) {
    int need = int(sizeof record);
    if (!buffer) return need;
    if (size < need) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, &record, sizeof record);
    return need;
  };
  switch (object->kind) {
    case GdiKind::Pen: {
      auto *pen = static_cast<Pen *>(object);
      return give(LOGPEN{UINT(pen->style), POINT{pen->width, 0}, pen->color});
    }
    case GdiKind::Brush: {
      auto *brush = static_cast<Brush *>(object);
      return give(LOGBRUSH{brush->style, brush->color, ULONG_PTR(brush->hatch)});
    }
    case GdiKind::Font: return give(static_cast<Font *>(object)->log);
    case GdiKind::Bitmap: {
      auto *bitmap = static_cast<Bitmap *>(object);
      const DibInfo &i = bitmap->info;
      return give(BITMAP{0, i.width, i.height, i.stride, 1, WORD(i.bitsPerPixel),
                         bitmap->dibSection ? static_cast<LPVOID>(i.bits) : nullptr});
    }
    default: return 0;
  }
}

BOOL DeleteObject(HGDIOBJ handle) {
  GdiObject *object = LookupGdiObject(handle);
  if (!object || object->kind == GdiKind::Dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;
  // As on the originals, an object still selected into a context stays.
  if (object->uses > 0) return FALSE;
  DeleteGdiHandle(handle);
  return TRUE;
}
