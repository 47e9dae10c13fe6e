#include "platform/gdi.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>

#include <cstdlib>
#include <cstring>

#include "platform/handles.h"
#include "platform/qtext.h"
#include "platform/internal/window_record.h"

namespace platform {
namespace {

struct GdiObject : KernelObject {};

struct Bitmap : GdiObject {
  DibInfo info;
  ~Bitmap() override { std::free(info.bits); }
};

struct Font : GdiObject {};

struct DeviceContext : GdiObject {
  HWND hwnd = nullptr;  // null for a memory context
  HGDIOBJ bitmap = nullptr;
  HGDIOBJ font = nullptr;
};

HDC NewDC(HWND hwnd) {
  auto dc = std::make_shared<DeviceContext>();
  dc->hwnd = hwnd;
  return static_cast<HDC>(InsertHandle(std::move(dc)));
}

}  // namespace

bool GetDibInfo(HBITMAP bitmap, DibInfo &info) {
  auto object = std::dynamic_pointer_cast<Bitmap>(ReferenceHandle(bitmap));
  if (!object) return false;
  info = object->info;
  return true;
}

}  // namespace platform

using namespace platform;

HDC GetDC(HWND hwnd) {
  if (hwnd && !OwnWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return NewDC(hwnd);
}

int ReleaseDC(HWND, HDC dc) {
  if (!ReferenceHandleAs<DeviceContext>(dc)) return 0;
  CloseHandle(dc);
  return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT *paint) {
  Window *window = OwnWindow(hwnd);
  if (!window || !paint) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::memset(paint, 0, sizeof *paint);
  RECT dirty = window->needsPaint ? window->dirty : RECT{};
  bool erase = window->needsErase;
  ValidateAfterPaint(*window);
  HDC dc = NewDC(hwnd);
  paint->hdc = dc;
  paint->rcPaint = dirty;
  paint->fErase = TRUE;
  if (erase) paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *paint) {
  if (paint && paint->hdc) CloseHandle(paint->hdc);
  if (Window *window = OwnWindow(hwnd)) HostUpdate(*window);
  return TRUE;
}

HDC CreateCompatibleDC(HDC) { return NewDC(nullptr); }

BOOL DeleteDC(HDC dc) {
  if (!ReferenceHandleAs<DeviceContext>(dc)) return FALSE;
  return CloseHandle(dc);
}

HWND WindowFromDC(HDC dc) {
  auto context = ReferenceHandleAs<DeviceContext>(dc);
  return context ? context->hwnd : nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto context = ReferenceHandleAs<DeviceContext>(dc);
  auto gdi = std::dynamic_pointer_cast<GdiObject>(ReferenceHandle(object));
  if (!context || !gdi) return nullptr;
  HGDIOBJ previous = nullptr;
  if (std::dynamic_pointer_cast<Bitmap>(gdi)) {
    previous = context->bitmap;
    context->bitmap = object;
  } else if (std::dynamic_pointer_cast<Font>(gdi)) {
    previous = context->font;
    context->font = object;
  }
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!std::dynamic_pointer_cast<GdiObject>(ReferenceHandle(object))) return FALSE;
  return CloseHandle(object);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER &h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1 ||
      (h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
  int64_t stride = ((int64_t(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  int64_t size = stride * height;
  if (size > (int64_t(1) << 31)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->info.bits = static_cast<unsigned char *>(std::calloc(size_t(size), 1));
  if (!bitmap->info.bits) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->info.width = h.biWidth;
  bitmap->info.height = int(height);
  bitmap->info.bitsPerPixel = h.biBitCount;
  bitmap->info.stride = int(stride);
  bitmap->info.bottomUp = h.biHeight > 0;
  void *pixels = bitmap->info.bits;
  HBITMAP handle = InsertHandle(std::move(bitmap));
  if (handle && bits) *bits = pixels;
  return handle;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE *size) {
  if (!ReferenceHandleAs<DeviceContext>(dc) || !size || length < 0 || (!text && length > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
    // No fonts without a GUI: a fixed cell of 6 x 12 per byte.
    *size = SIZE{6 * length, 12};
    return TRUE;
  }
  // The default face of the system's 9-point text, until fonts are selectable.
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(12);
  QFontMetrics metrics(font);
  QString qtext = FromGbk(text, length);
  *size = SIZE{LONG(metrics.horizontalAdvance(qtext)), LONG(metrics.height())};
  return TRUE;
}
