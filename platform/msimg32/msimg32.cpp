// The system's image library ("Msimg32.dll"): code looks its three drawing
// calls up at run time by name, so they are exported here under their plain
// names and forward to the device-context layer.
#include "platform/gdi.h"

#define KIVO_EXPORT extern "C" __attribute__((visibility("default")))

KIVO_EXPORT BOOL ExportGradientFill(HDC dc, TRIVERTEX *vertices, ULONG vertexCount, LPVOID mesh, ULONG meshCount,
                                    ULONG mode) __asm__("GradientFill");
KIVO_EXPORT BOOL ExportTransparentBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY,
                                      int srcWidth, int srcHeight, UINT transparent) __asm__("TransparentBlt");
KIVO_EXPORT BOOL ExportAlphaBlend(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY,
                                  int srcWidth, int srcHeight, BLENDFUNCTION blend) __asm__("AlphaBlend");

BOOL ExportGradientFill(HDC dc, TRIVERTEX *vertices, ULONG vertexCount, LPVOID mesh, ULONG meshCount, ULONG mode) {
  return GradientFill(dc, vertices, vertexCount, mesh, meshCount, mode);
}

BOOL ExportTransparentBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth,
                          int srcHeight, UINT transparent) {
  return TransparentBlt(dc, x, y, width, height, source, srcX, srcY, srcWidth, srcHeight, transparent);
}

BOOL ExportAlphaBlend(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth,
                      int srcHeight, BLENDFUNCTION blend) {
  return AlphaBlend(dc, x, y, width, height, source, srcX, srcY, srcWidth, srcHeight, blend);
}
