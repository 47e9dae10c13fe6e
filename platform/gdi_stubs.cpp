// Calls not yet drawn: they fail until their implementation lands.
#include "platform/gdi.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

HDC GetWindowDC(HWND hwnd) { return {}; }
int SaveDC(HDC dc) { return {}; }
BOOL RestoreDC(HDC dc, int level) { return {}; }
int GetDeviceCaps(HDC dc, int index) { return {}; }
HGDIOBJ GetStockObject(int index) { return {}; }
HGDIOBJ GetCurrentObject(HDC dc, UINT kind) { return {}; }
DWORD GetObjectType(HGDIOBJ object) { return {}; }
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) { return {}; }
COLORREF SetTextColor(HDC dc, COLORREF color) { return {}; }
COLORREF GetTextColor(HDC dc) { return {}; }
COLORREF SetBkColor(HDC dc, COLORREF color) { return {}; }
COLORREF GetBkColor(HDC dc) { return {}; }
int SetBkMode(HDC dc, int mode) { return {}; }
int GetBkMode(HDC dc) { return {}; }
int SetROP2(HDC dc, int mode) { return {}; }
int GetROP2(HDC dc) { return {}; }
UINT SetTextAlign(HDC dc, UINT align) { return {}; }
UINT GetTextAlign(HDC dc) { return {}; }
int SetStretchBltMode(HDC dc, int mode) { return {}; }
int GetStretchBltMode(HDC dc) { return {}; }
int SetPolyFillMode(HDC dc, int mode) { return {}; }
int GetPolyFillMode(HDC dc) { return {}; }
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT *previous) { return {}; }
COLORREF SetDCBrushColor(HDC dc, COLORREF color) { return {}; }
COLORREF SetDCPenColor(HDC dc, COLORREF color) { return {}; }
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT *previous) { return {}; }
BOOL GetViewportOrgEx(HDC dc, POINT *origin) { return {}; }
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT *previous) { return {}; }
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT *previous) { return {}; }
BOOL GetWindowOrgEx(HDC dc, POINT *origin) { return {}; }
BOOL LPtoDP(HDC dc, POINT *points, int count) { return {}; }
BOOL DPtoLP(HDC dc, POINT *points, int count) { return {}; }
HPEN CreatePen(int style, int width, COLORREF color) { return {}; }
HPEN CreatePenIndirect(const LOGPEN *pen) { return {}; }
HBRUSH CreateSolidBrush(COLORREF color) { return {}; }
HBRUSH CreateHatchBrush(int hatch, COLORREF color) { return {}; }
HBRUSH CreateBrushIndirect(const LOGBRUSH *brush) { return {}; }
HBRUSH CreatePatternBrush(HBITMAP bitmap) { return {}; }
HBRUSH GetSysColorBrush(int index) { return {}; }
COLORREF GetSysColor(int index) { return {}; }
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) { return {}; }
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits) { return {}; }
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO *info, UINT usage) { return {}; }
int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight, const void *bits, const BITMAPINFO *info, UINT usage, DWORD rop) { return {}; }
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan, UINT scanLines, const void *bits, const BITMAPINFO *info, UINT usage) { return {}; }
HRGN CreateRectRgn(int left, int top, int right, int bottom) { return {}; }
HRGN CreateRectRgnIndirect(const RECT *rect) { return {}; }
HRGN CreateEllipticRgn(int left, int top, int right, int bottom) { return {}; }
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) { return {}; }
HRGN CreatePolygonRgn(const POINT *points, int count, int fillMode) { return {}; }
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) { return {}; }
int CombineRgn(HRGN target, HRGN a, HRGN b, int mode) { return {}; }
int OffsetRgn(HRGN region, int dx, int dy) { return {}; }
BOOL EqualRgn(HRGN a, HRGN b) { return {}; }
BOOL PtInRegion(HRGN region, int x, int y) { return {}; }
BOOL RectInRegion(HRGN region, const RECT *rect) { return {}; }
int GetRgnBox(HRGN region, RECT *box) { return {}; }
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush) { return {}; }
BOOL FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height) { return {}; }
int SelectClipRgn(HDC dc, HRGN region) { return {}; }
int ExtSelectClipRgn(HDC dc, HRGN region, int mode) { return {}; }
int GetClipRgn(HDC dc, HRGN region) { return {}; }
int GetClipBox(HDC dc, RECT *box) { return {}; }
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) { return {}; }
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) { return {}; }
int OffsetClipRgn(HDC dc, int dx, int dy) { return {}; }
BOOL PtVisible(HDC dc, int x, int y) { return {}; }
BOOL RectVisible(HDC dc, const RECT *rect) { return {}; }
BOOL MoveToEx(HDC dc, int x, int y, POINT *previous) { return {}; }
BOOL LineTo(HDC dc, int x, int y) { return {}; }
BOOL GetCurrentPositionEx(HDC dc, POINT *position) { return {}; }
BOOL Polyline(HDC dc, const POINT *points, int count) { return {}; }
BOOL PolylineTo(HDC dc, const POINT *points, DWORD count) { return {}; }
BOOL Polygon(HDC dc, const POINT *points, int count) { return {}; }
BOOL PolyPolygon(HDC dc, const POINT *points, const INT *counts, int polygons) { return {}; }
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) { return {}; }
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) { return {}; }
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) { return {}; }
BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) { return {}; }
BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) { return {}; }
BOOL Chord(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) { return {}; }
int FillRect(HDC dc, const RECT *rect, HBRUSH brush) { return {}; }
int FrameRect(HDC dc, const RECT *rect, HBRUSH brush) { return {}; }
BOOL InvertRect(HDC dc, const RECT *rect) { return {}; }
BOOL DrawFocusRect(HDC dc, const RECT *rect) { return {}; }
BOOL DrawEdge(HDC dc, RECT *rect, UINT edge, UINT flags) { return {}; }
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) { return {}; }
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) { return {}; }
COLORREF GetPixel(HDC dc, int x, int y) { return {}; }
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) { return {}; }
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, DWORD rop) { return {}; }
BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth, int srcHeight, DWORD rop) { return {}; }
BOOL GradientFill(HDC dc, TRIVERTEX *vertices, ULONG vertexCount, LPVOID mesh, ULONG meshCount, ULONG mode) { return {}; }
BOOL TransparentBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth, int srcHeight, UINT transparent) { return {}; }
BOOL AlphaBlend(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth, int srcHeight, BLENDFUNCTION blend) { return {}; }
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR face) { return {}; }
HFONT CreateFontIndirectA(const LOGFONTA *font) { return {}; }
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) { return {}; }
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT *rect, LPCSTR text, UINT length, const INT *dx) { return {}; }
int DrawTextA(HDC dc, LPCSTR text, int length, RECT *rect, UINT format) { return {}; }
BOOL GetTextExtentExPointA(HDC dc, LPCSTR text, int length, int maxExtent, INT *fit, INT *extents, SIZE *size) { return {}; }
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA *metrics) { return {}; }
int GetTextFaceA(HDC dc, int size, LPSTR face) { return {}; }

namespace platform {
size_t LiveGdiObjectCount() { return 0; }
}  // namespace platform
