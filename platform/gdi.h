// Device contexts and bitmaps: the part that the window layer needs now.
// Drawing into a context goes through the window's persistent image.
#pragma once

#include "platform/windef.h"

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
typedef PAINTSTRUCT *LPPAINTSTRUCT;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

HDC BeginPaint(HWND hwnd, PAINTSTRUCT *paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *paint);
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HWND WindowFromDC(HDC dc);

// A bitmap whose pixels the caller reads and writes directly; 24 and 32
// bits per pixel, uncompressed. Rows are padded to 4 bytes.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD offset);

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE *size);

namespace platform {

// The pixels and layout of a DIB section, for code that inspects them.
struct DibInfo {
  int width = 0;
  int height = 0;  // rows; bottomUp tells their order in memory
  int bitsPerPixel = 0;
  int stride = 0;
  bool bottomUp = true;
  unsigned char *bits = nullptr;
};
bool GetDibInfo(HBITMAP bitmap, DibInfo &info);

}  // namespace platform
