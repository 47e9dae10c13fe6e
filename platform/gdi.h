// Device contexts, GDI objects, bitmaps, regions, fonts and text.
//
// A device context draws into a surface: a window's persistent client image
// (GetDC, BeginPaint, GetWindowDC) or the bitmap selected into a memory
// context. One-pixel primitives follow GDI's rules exactly: a line covers its
// first point and leaves out its last, a rectangle (left, top, right, bottom)
// covers left .. right - 1 and top .. bottom - 1, raster operations combine
// bits, so XOR drawn twice restores the image bit for bit.
//
// Every call here belongs to the GUI thread (or, where no GUI runs, to the
// one thread that draws). GDI handles live in a table of their own: a handle
// carries its slot, a generation and its kind, so a stale handle or one of the
// wrong kind fails at once.
#pragma once

#include "platform/windef.h"

// ---- records -----------------------------------------------------------------

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
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;  // "BM"
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

// What GetObjectA reports of a bitmap.
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;  // null unless the bitmap is a DIB section
};

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;  // x is the width
  COLORREF lopnColor;
};
struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
  LONG lfHeight;  // < 0: character height; > 0: cell height; 0: the default size
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];  // GBK
};
typedef LOGFONTA *LPLOGFONTA;
typedef LOGFONTA LOGFONT;

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
typedef TEXTMETRICA TEXTMETRIC;

typedef USHORT COLOR16;
struct TRIVERTEX {
  LONG x;
  LONG y;
  COLOR16 Red;  // 16 bits per channel; the high byte counts
  COLOR16 Green;
  COLOR16 Blue;
  COLOR16 Alpha;
};
struct GRADIENT_RECT {
  ULONG UpperLeft;
  ULONG LowerRight;
};
struct GRADIENT_TRIANGLE {
  ULONG Vertex1;
  ULONG Vertex2;
  ULONG Vertex3;
};
struct BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
};

// ---- constants -----------------------------------------------------------------

constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;

enum : int { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5, PS_INSIDEFRAME = 6 };
constexpr int PS_STYLE_MASK = 0x0000000F;

enum : UINT { BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3 };
enum : int { HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5 };

// Stock objects of GetStockObject. They can be selected and never die:
// DeleteObject on one succeeds and does nothing.
enum : int {
  WHITE_BRUSH = 0,
  LTGRAY_BRUSH = 1,
  GRAY_BRUSH = 2,
  DKGRAY_BRUSH = 3,
  BLACK_BRUSH = 4,
  NULL_BRUSH = 5,
  HOLLOW_BRUSH = 5,
  WHITE_PEN = 6,
  BLACK_PEN = 7,
  NULL_PEN = 8,
  OEM_FIXED_FONT = 10,
  ANSI_FIXED_FONT = 11,
  ANSI_VAR_FONT = 12,
  SYSTEM_FONT = 13,
  DEVICE_DEFAULT_FONT = 14,
  SYSTEM_FIXED_FONT = 16,
  DEFAULT_GUI_FONT = 17,
  DC_BRUSH = 18,
  DC_PEN = 19,
};

// Kinds of GetObjectType.
enum : DWORD { OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_REGION = 8, OBJ_MEMDC = 10 };

// Line modes of SetROP2: (mode - 1) is the truth table of pen P and screen D,
// bit (P << 1 | D) giving the result.
enum : int {
  R2_BLACK = 1,
  R2_NOTMERGEPEN = 2,
  R2_MASKNOTPEN = 3,
  R2_NOTCOPYPEN = 4,
  R2_MASKPENNOT = 5,
  R2_NOT = 6,
  R2_XORPEN = 7,
  R2_NOTMASKPEN = 8,
  R2_MASKPEN = 9,
  R2_NOTXORPEN = 10,
  R2_NOP = 11,
  R2_MERGENOTPEN = 12,
  R2_COPYPEN = 13,
  R2_MERGEPENNOT = 14,
  R2_MERGEPEN = 15,
  R2_WHITE = 16,
};

// Raster operations of the blits: bits 16..23 are the truth table of pattern
// P, source S and destination D, bit (P << 2 | S << 1 | D) giving the result.
enum : DWORD {
  SRCCOPY = 0x00CC0020,
  SRCPAINT = 0x00EE0086,
  SRCAND = 0x008800C6,
  SRCINVERT = 0x00660046,
  SRCERASE = 0x00440328,
  NOTSRCCOPY = 0x00330008,
  NOTSRCERASE = 0x001100A6,
  MERGECOPY = 0x00C000CA,
  MERGEPAINT = 0x00BB0226,
  PATCOPY = 0x00F00021,
  PATPAINT = 0x00FB0A09,
  PATINVERT = 0x005A0049,
  DSTINVERT = 0x00550009,
  BLACKNESS = 0x00000042,
  WHITENESS = 0x00FF0062,
};

enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { ALTERNATE = 1, WINDING = 2 };
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4, STRETCH_DELETESCANS = 3 };

enum : UINT {
  TA_NOUPDATECP = 0,
  TA_UPDATECP = 1,
  TA_LEFT = 0,
  TA_RIGHT = 2,
  TA_CENTER = 6,
  TA_TOP = 0,
  TA_BOTTOM = 8,
  TA_BASELINE = 24,
};
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

enum : UINT { ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004 };

enum : UINT {
  DT_TOP = 0x00000000,
  DT_LEFT = 0x00000000,
  DT_CENTER = 0x00000001,
  DT_RIGHT = 0x00000002,
  DT_VCENTER = 0x00000004,
  DT_BOTTOM = 0x00000008,
  DT_WORDBREAK = 0x00000010,
  DT_SINGLELINE = 0x00000020,
  DT_EXPANDTABS = 0x00000040,
  DT_TABSTOP = 0x00000080,
  DT_NOCLIP = 0x00000100,
  DT_EXTERNALLEADING = 0x00000200,
  DT_CALCRECT = 0x00000400,
  DT_NOPREFIX = 0x00000800,
  DT_INTERNAL = 0x00001000,
  DT_EDITCONTROL = 0x00002000,
  DT_PATH_ELLIPSIS = 0x00004000,
  DT_END_ELLIPSIS = 0x00008000,
  DT_MODIFYSTRING = 0x00010000,
  DT_WORD_ELLIPSIS = 0x00040000,
  DT_NOFULLWIDTHCHARBREAK = 0x00080000,
  DT_HIDEPREFIX = 0x00100000,
  DT_PREFIXONLY = 0x00200000,
};

enum : int {
  FW_DONTCARE = 0,
  FW_THIN = 100,
  FW_EXTRALIGHT = 200,
  FW_LIGHT = 300,
  FW_NORMAL = 400,
  FW_REGULAR = 400,
  FW_MEDIUM = 500,
  FW_SEMIBOLD = 600,
  FW_BOLD = 700,
  FW_EXTRABOLD = 800,
  FW_HEAVY = 900,
};
enum : BYTE {
  ANSI_CHARSET = 0,
  DEFAULT_CHARSET = 1,
  SYMBOL_CHARSET = 2,
  GB2312_CHARSET = 134,
  CHINESEBIG5_CHARSET = 136,
  OEM_CHARSET = 255,
};
enum : BYTE { OUT_DEFAULT_PRECIS = 0, OUT_STRING_PRECIS = 1, OUT_CHARACTER_PRECIS = 2, OUT_STROKE_PRECIS = 3, OUT_TT_PRECIS = 4 };
enum : BYTE { CLIP_DEFAULT_PRECIS = 0, CLIP_CHARACTER_PRECIS = 1, CLIP_STROKE_PRECIS = 2 };
// Text is drawn without antialiasing unless a font asks for it.
enum : BYTE {
  DEFAULT_QUALITY = 0,
  DRAFT_QUALITY = 1,
  PROOF_QUALITY = 2,
  NONANTIALIASED_QUALITY = 3,
  ANTIALIASED_QUALITY = 4,
  CLEARTYPE_QUALITY = 5,
};
enum : BYTE { DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2 };
enum : BYTE { FF_DONTCARE = 0x00, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30, FF_SCRIPT = 0x40, FF_DECORATIVE = 0x50 };

// Region kinds (results of the region and clipping calls) and combine modes.
enum : int { RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
enum : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

enum : ULONG { GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1, GRADIENT_FILL_TRIANGLE = 2 };
enum : BYTE { AC_SRC_OVER = 0, AC_SRC_ALPHA = 1 };

enum : int {
  HORZSIZE = 4,
  VERTSIZE = 6,
  HORZRES = 8,
  VERTRES = 10,
  BITSPIXEL = 12,
  PLANES = 14,
  NUMCOLORS = 24,
  RASTERCAPS = 38,
  LOGPIXELSX = 88,
  LOGPIXELSY = 90,
  PHYSICALWIDTH = 110,
  PHYSICALHEIGHT = 111,
  PHYSICALOFFSETX = 112,
  PHYSICALOFFSETY = 113,
};

// System colours of GetSysColor and GetSysColorBrush: the classic scheme.
enum : int {
  COLOR_SCROLLBAR = 0,
  COLOR_BACKGROUND = 1,
  COLOR_DESKTOP = 1,
  COLOR_ACTIVECAPTION = 2,
  COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4,
  COLOR_WINDOW = 5,
  COLOR_WINDOWFRAME = 6,
  COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9,
  COLOR_ACTIVEBORDER = 10,
  COLOR_INACTIVEBORDER = 11,
  COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14,
  COLOR_BTNFACE = 15,
  COLOR_3DFACE = 15,
  COLOR_BTNSHADOW = 16,
  COLOR_3DSHADOW = 16,
  COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18,
  COLOR_INACTIVECAPTIONTEXT = 19,
  COLOR_BTNHIGHLIGHT = 20,
  COLOR_BTNHILIGHT = 20,
  COLOR_3DHIGHLIGHT = 20,
  COLOR_3DHILIGHT = 20,
  COLOR_3DDKSHADOW = 21,
  COLOR_3DLIGHT = 22,
  COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
  COLOR_HOTLIGHT = 26,
  COLOR_GRADIENTACTIVECAPTION = 27,
  COLOR_GRADIENTINACTIVECAPTION = 28,
  COLOR_MENUHILIGHT = 29,
  COLOR_MENUBAR = 30,
};

// Edges of DrawEdge.
enum : UINT {
  BDR_RAISEDOUTER = 0x0001,
  BDR_SUNKENOUTER = 0x0002,
  BDR_RAISEDINNER = 0x0004,
  BDR_SUNKENINNER = 0x0008,
  BDR_OUTER = 0x0003,
  BDR_INNER = 0x000C,
  EDGE_RAISED = 0x0005,
  EDGE_SUNKEN = 0x000A,
  EDGE_ETCHED = 0x0006,
  EDGE_BUMP = 0x0009,
};
enum : UINT {
  BF_LEFT = 0x0001,
  BF_TOP = 0x0002,
  BF_RIGHT = 0x0004,
  BF_BOTTOM = 0x0008,
  BF_TOPLEFT = 0x0003,
  BF_BOTTOMRIGHT = 0x000C,
  BF_RECT = 0x000F,
  BF_MIDDLE = 0x0800,
  BF_SOFT = 0x1000,
  BF_ADJUST = 0x2000,
  BF_FLAT = 0x4000,
  BF_MONO = 0x8000,
};

// ---- rectangles --------------------------------------------------------------

BOOL SetRect(RECT *rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT *rect);
BOOL CopyRect(RECT *target, const RECT *source);
BOOL InflateRect(RECT *rect, int dx, int dy);
BOOL OffsetRect(RECT *rect, int dx, int dy);
// FALSE (and an empty result) when the rectangles do not overlap.
BOOL IntersectRect(RECT *target, const RECT *a, const RECT *b);
BOOL UnionRect(RECT *target, const RECT *a, const RECT *b);
BOOL EqualRect(const RECT *a, const RECT *b);
BOOL IsRectEmpty(const RECT *rect);
BOOL PtInRect(const RECT *rect, POINT point);

// ---- device contexts ---------------------------------------------------------

HDC BeginPaint(HWND hwnd, PAINTSTRUCT *paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *paint);
// The client area of a window (the screen's when hwnd is null).
HDC GetDC(HWND hwnd);
// The whole window, its frame included.
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HWND WindowFromDC(HDC dc);
// Returns the new state's level (> 0), or 0.
int SaveDC(HDC dc);
// level > 0: that saved state; level < 0: that many states back.
BOOL RestoreDC(HDC dc, int level);
int GetDeviceCaps(HDC dc, int index);

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
HGDIOBJ GetCurrentObject(HDC dc, UINT kind);
DWORD GetObjectType(HGDIOBJ object);
// Fills a LOGPEN, LOGBRUSH, LOGFONTA or BITMAP; returns the bytes written.
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT *previous);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);

// Logical to device coordinates: device = logical - window origin + viewport origin.
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT *previous);
BOOL GetViewportOrgEx(HDC dc, POINT *origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT *previous);
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT *previous);
BOOL GetWindowOrgEx(HDC dc, POINT *origin);
BOOL LPtoDP(HDC dc, POINT *points, int count);
BOOL DPtoLP(HDC dc, POINT *points, int count);

// ---- pens, brushes, bitmaps --------------------------------------------------

// Widths above 1 draw solid whatever the style.
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN *pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH *brush);
// The bitmap is copied (8 x 8 at most is used as the pattern's tile).
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH GetSysColorBrush(int index);
COLORREF GetSysColor(int index);

// A 32-bit bitmap the size given (a 1 x 1 bitmap for a zero size).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// planes 1 and 1, 24 or 32 bits; bits (rows padded to 2 bytes, top-down)
// may be null.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits);
// A bitmap whose pixels the caller reads and writes directly; 24 and 32
// bits per pixel, uncompressed. Rows are padded to 4 bytes.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD offset);
// Reads rows of a bitmap as 24- or 32-bit DIB rows (bits null: fills in the header only).
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO *info, UINT usage);
// Draws 24- or 32-bit DIB pixels, scaled.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void *bits, const BITMAPINFO *info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                      UINT scanLines, const void *bits, const BITMAPINFO *info, UINT usage);

// ---- regions and clipping ----------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT *rect);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height);
HRGN CreatePolygonRgn(const POINT *points, int count, int fillMode);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
int CombineRgn(HRGN target, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL RectInRegion(HRGN region, const RECT *rect);
int GetRgnBox(HRGN region, RECT *box);
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
BOOL FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height);

// The region is in device coordinates and copied; null removes the clip.
int SelectClipRgn(HDC dc, HRGN region);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
// 1 when the context has a clip region (copied into region), 0 when none, -1 on error.
int GetClipRgn(HDC dc, HRGN region);
int GetClipBox(HDC dc, RECT *box);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC dc, int dx, int dy);
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const RECT *rect);

// ---- drawing -----------------------------------------------------------------

BOOL MoveToEx(HDC dc, int x, int y, POINT *previous);
// From the current position up to, not including, (x, y).
BOOL LineTo(HDC dc, int x, int y);
BOOL GetCurrentPositionEx(HDC dc, POINT *position);
BOOL Polyline(HDC dc, const POINT *points, int count);
BOOL PolylineTo(HDC dc, const POINT *points, DWORD count);
BOOL Polygon(HDC dc, const POINT *points, int count);
BOOL PolyPolygon(HDC dc, const POINT *points, const INT *counts, int polygons);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Chord(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);

// Ignore the line mode, as the originals do.
int FillRect(HDC dc, const RECT *rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT *rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT *rect);
// A dotted frame drawn by XOR: a second call removes it.
BOOL DrawFocusRect(HDC dc, const RECT *rect);
BOOL DrawEdge(HDC dc, RECT *rect, UINT edge, UINT flags);

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);
// CLR_INVALID outside the surface or the clip region.
COLORREF GetPixel(HDC dc, int x, int y);

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
BOOL GradientFill(HDC dc, TRIVERTEX *vertices, ULONG vertexCount, LPVOID mesh, ULONG meshCount, ULONG mode);
// Copies the source, scaled, leaving out the pixels of the transparent colour.
BOOL TransparentBlt(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent);
BOOL AlphaBlend(HDC dc, int x, int y, int width, int height, HDC source, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend);

// ---- fonts and text ----------------------------------------------------------

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR face);
HFONT CreateFontIndirectA(const LOGFONTA *font);
inline HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                        DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                        DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
  return CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outPrecision, clipPrecision, quality, pitchAndFamily, face);
}
inline HFONT CreateFontIndirect(const LOGFONTA *font) { return CreateFontIndirectA(font); }

// Text is GBK; length counts bytes.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
// rect may be null; dx holds one advance per byte, a character moving by
// the sum of its bytes' advances.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT *rect, LPCSTR text, UINT length, const INT *dx);
// length -1: NUL-terminated. Returns the text's height (with DT_VCENTER or
// DT_BOTTOM the offset of its bottom from rect->top), 0 on failure.
int DrawTextA(HDC dc, LPCSTR text, int length, RECT *rect, UINT format);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE *size);
// fit receives how many bytes fit in maxExtent, extents the extent after each byte.
BOOL GetTextExtentExPointA(HDC dc, LPCSTR text, int length, int maxExtent, INT *fit, INT *extents, SIZE *size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA *metrics);
int GetTextFaceA(HDC dc, int size, LPSTR face);
inline BOOL TextOut(HDC dc, int x, int y, LPCSTR text, int length) { return TextOutA(dc, x, y, text, length); }
inline BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT *rect, LPCSTR text, UINT length,
                       const INT *dx) {
  return ExtTextOutA(dc, x, y, options, rect, text, length, dx);
}
inline int DrawText(HDC dc, LPCSTR text, int length, RECT *rect, UINT format) {
  return DrawTextA(dc, text, length, rect, format);
}
inline BOOL GetTextExtentPoint32(HDC dc, LPCSTR text, int length, SIZE *size) {
  return GetTextExtentPoint32A(dc, text, length, size);
}
inline BOOL GetTextMetrics(HDC dc, TEXTMETRICA *metrics) { return GetTextMetricsA(dc, metrics); }
inline int GetObject(HGDIOBJ object, int size, LPVOID buffer) { return GetObjectA(object, size, buffer); }

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

// The resolution a context reports through GetDeviceCaps (96 dpi unless
// set), for memory contexts that stand for a printer page; false for a bad
// context or a resolution outside 1 .. 10000.
bool SetDeviceResolution(HDC dc, int dpiX, int dpiY);

// GDI objects alive, stock objects excluded (tests check that nothing leaks).
size_t LiveGdiObjectCount();

}  // namespace platform
