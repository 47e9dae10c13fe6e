#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "platform/gdi.h"
#include "platform/module.h"
#include "platform/qtbridge.h"
#include "platform/winuser.h"
#include "testing/image_capture.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory context over a white bitmap: 24-bit bottom-up (the layout the
// system's off-screen buffers use) or 32-bit top-down.
struct Canvas {
  Canvas(int width, int height, int bits = 24, bool bottomUp = true) : w(width), h(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = bottomUp ? height : -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bits);
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    Clear(kWhite);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  void Clear(COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    RECT all{0, 0, w, h};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
  // Read from the bits, past any clipping or origin of the context.
  COLORREF At(int x, int y) const {
    platform::DibInfo info;
    platform::GetDibInfo(bitmap, info);
    const unsigned char *row = info.bits + size_t(info.bottomUp ? h - 1 - y : y) * size_t(info.stride);
    const unsigned char *p = row + x * (info.bitsPerPixel / 8);
    return RGB(p[2], p[1], p[0]);
  }
  // Every pixel that is not the background.
  Pixels Drawn(COLORREF background = kWhite) const {
    Pixels out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (At(x, y) != background) out.insert({x, y});
    return out;
  }
  std::vector<COLORREF> Snapshot() const {
    std::vector<COLORREF> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.push_back(At(x, y));
    return out;
  }
  void Noise(unsigned seed) {
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) SetPixel(dc, x, y, random() & 0xFFFFFF);
  }
  int w, h;
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  void *pixels = nullptr;
};

Pixels Box(int left, int top, int right, int bottom) {
  Pixels out;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) out.insert({x, y});
  return out;
}

Pixels Frame(int left, int top, int right, int bottom) {
  Pixels out = Box(left, top, right, bottom);
  for (auto p : Box(left + 1, top + 1, right - 1, bottom - 1)) out.erase(p);
  return out;
}

// ---- handles -----------------------------------------------------------------

TEST(GdiHandles, StaleAndWrongKindHandlesFailAtOnce) {
  size_t before = platform::LiveGdiObjectCount();
  Canvas canvas(8, 8);
  HPEN pen = CreatePen(PS_SOLID, 1, kBlack);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_TRUE(pen && brush);
  RECT r{0, 0, 4, 4};
  EXPECT_EQ(FillRect(canvas.dc, &r, static_cast<HBRUSH>(pen)), 0) << "a pen is not a brush";
  EXPECT_EQ(GetObjectType(pen), DWORD(OBJ_PEN));
  EXPECT_EQ(GetObjectType(canvas.dc), DWORD(OBJ_MEMDC));

  // A selected object stays until it is deselected.
  HGDIOBJ previous = SelectObject(canvas.dc, pen);
  EXPECT_FALSE(DeleteObject(pen));
  SelectObject(canvas.dc, previous);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_FALSE(DeleteObject(pen)) << "stale handle";
  EXPECT_EQ(SelectObject(canvas.dc, pen), nullptr);

  // The slot is reused with a new generation: the old handle stays dead.
  HPEN again = CreatePen(PS_SOLID, 1, kBlack);
  EXPECT_NE(again, pen);
  EXPECT_EQ(GetObjectType(pen), 0u);
  EXPECT_TRUE(DeleteObject(again));

  EXPECT_FALSE(DeleteObject(canvas.dc)) << "contexts go with DeleteDC";
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(uintptr_t(4)))) << "a kernel-sized value";
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))) << "stock objects ignore deletion";
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), DWORD(OBJ_PEN));
  DeleteObject(brush);
  EXPECT_EQ(platform::LiveGdiObjectCount(), before + 2);  // the canvas' context and bitmap
}

// A paint loop makes and deletes a pen and a brush every frame: a handle
// deleted frames ago must never name a later object, however long it runs.
TEST(GdiHandles, ChurnNeverRevivesADeletedHandle) {
  const size_t before = platform::LiveGdiObjectCount();
  HBRUSH first = CreateSolidBrush(RGB(9, 9, 9));
  ASSERT_TRUE(DeleteObject(first));
  std::set<HGDIOBJ> dead{first};
  for (int frame = 0; frame < 3000; ++frame) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(frame & 0xFF, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, frame & 0xFF, 0));
    ASSERT_TRUE(pen && brush);
    ASSERT_FALSE(dead.count(pen) || dead.count(brush)) << "frame " << frame;
    DeleteObject(pen);
    DeleteObject(brush);
    dead.insert(pen);
    dead.insert(brush);
  }
  LOGBRUSH info{};
  EXPECT_EQ(GetObjectA(first, sizeof info, &info), 0);
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(platform::LiveGdiObjectCount(), before);
}

TEST(GdiHandles, BitmapBelongsToOneContextAtATime) {
  Canvas canvas(4, 4);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, canvas.bitmap), nullptr);
  SelectObject(canvas.dc, canvas.old);
  EXPECT_NE(SelectObject(other, canvas.bitmap), nullptr);
  EXPECT_EQ(GetPixel(other, 0, 0), kWhite);
  DeleteDC(other);  // lets the bitmap go
  EXPECT_NE(SelectObject(canvas.dc, canvas.bitmap), nullptr);
}

TEST(GdiHandles, BadArgumentsFailWithoutHarm) {
  Canvas canvas(4, 4);
  POINT one{1, 1};
  SIZE size;
  RECT r{0, 0, 2, 2};
  BITMAPINFO wide{};
  wide.bmiHeader = {sizeof(BITMAPINFOHEADER), 1 << 30, 1 << 30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void *bits = &bits;
  EXPECT_EQ(CreateDIBSection(nullptr, &wide, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  EXPECT_FALSE(Polyline(canvas.dc, &one, 1));
  EXPECT_FALSE(Polygon(canvas.dc, nullptr, 3));
  EXPECT_FALSE(TextOutA(canvas.dc, 0, 0, nullptr, 3));
  EXPECT_FALSE(TextOutA(canvas.dc, 0, 0, "ab", -1));
  EXPECT_FALSE(GetTextExtentPoint32A(canvas.dc, "ab", 2, nullptr));
  EXPECT_EQ(DrawTextA(canvas.dc, "ab", 2, nullptr, 0), 0);
  EXPECT_EQ(FillRect(nullptr, &r, GetStockObject(BLACK_BRUSH)), 0);
  EXPECT_FALSE(BitBlt(canvas.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
  EXPECT_EQ(CreatePen(42, 1, 0), nullptr);
  EXPECT_EQ(CreateHatchBrush(42, 0), nullptr);
  EXPECT_FALSE(GetTextExtentPoint32A(reinterpret_cast<HDC>(GetStockObject(BLACK_PEN)), "a", 1, &size));
  EXPECT_FALSE(RestoreDC(canvas.dc, 1));
  EXPECT_EQ(canvas.Drawn(), Pixels{});
}

TEST(GdiHandles, ExtremeCoordinatesNeitherOverflowNorHang) {
  Canvas canvas(8, 8);
  const int big = 2000000000;
  HPEN dash = CreatePen(PS_DASH, 1, kBlack);
  HGDIOBJ old = SelectObject(canvas.dc, dash);
  MoveToEx(canvas.dc, -big, 3, nullptr);
  EXPECT_TRUE(LineTo(canvas.dc, big, 3));  // clipped before it is walked
  MoveToEx(canvas.dc, -big, -big, nullptr);
  LineTo(canvas.dc, big, big);
  SelectObject(canvas.dc, old);
  DeleteObject(dash);
  RECT huge{-big, -big, big, big};
  EXPECT_EQ(FillRect(canvas.dc, &huge, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 1);
  EXPECT_EQ(canvas.Drawn().size(), 64u);
  Rectangle(canvas.dc, -big, -big, big, big);
  Ellipse(canvas.dc, -big, -big, big, big);
  POINT far[3] = {{-big, 0}, {big, 4}, {0, big}};
  EXPECT_TRUE(Polygon(canvas.dc, far, 3));  // its outline is clipped before it is walked too
  TRIVERTEX corners[3] = {{-big, -big, 0xFF00, 0, 0, 0}, {big, 0, 0, 0xFF00, 0, 0}, {0, big, 0, 0, 0xFF00, 0}};
  GRADIENT_TRIANGLE triangle{0, 1, 2};
  EXPECT_TRUE(GradientFill(canvas.dc, corners, 3, &triangle, 1, GRADIENT_FILL_TRIANGLE));
  RoundRect(canvas.dc, 0, 0, 8, 8, INT32_MIN, INT32_MIN);
  DeleteObject(CreateRoundRectRgn(0, 0, 8, 8, INT32_MIN, INT32_MIN));
  HFONT tiny = CreateFontA(INT32_MIN, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  HGDIOBJ oldFont = SelectObject(canvas.dc, tiny);
  SIZE size;
  EXPECT_TRUE(GetTextExtentPoint32A(canvas.dc, "a", 1, &size));
  SelectObject(canvas.dc, oldFont);
  DeleteObject(tiny);
  EXPECT_TRUE(SetViewportOrgEx(canvas.dc, big, big, nullptr));
  EXPECT_TRUE(TextOutA(canvas.dc, big, big, "ab", 2));
  INT dx[2] = {big, big};
  EXPECT_TRUE(ExtTextOutA(canvas.dc, -big, 0, ETO_CLIPPED, &huge, "ab", 2, dx));
  RECT r = huge;
  DrawTextA(canvas.dc, "a b", 3, &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
  StretchBlt(canvas.dc, -big / 8, -big / 8, big / 4, big / 4, canvas.dc, 0, 0, 8, 8, SRCCOPY);
  EXPECT_FALSE(BitBlt(canvas.dc, big, big, big, big, canvas.dc, 0, 0, SRCCOPY));
  HRGN region = CreateRectRgn(-big, -big, big, big);
  EXPECT_NE(SelectClipRgn(canvas.dc, region), RGN_ERROR);
  DeleteObject(region);
}

// ---- one-pixel primitives ------------------------------------------------------

struct LineCase {
  const char *name;
  POINT from, to;
  Pixels pixels;
};

TEST(GdiLines, LeaveOutTheirLastPixelInEveryDirection) {
  const LineCase cases[] = {
      {"right", {1, 1}, {5, 1}, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
      {"left", {5, 1}, {1, 1}, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
      {"down", {2, 1}, {2, 4}, {{2, 1}, {2, 2}, {2, 3}}},
      {"up", {2, 4}, {2, 1}, {{2, 4}, {2, 3}, {2, 2}}},
      {"diagonal down-right", {1, 1}, {4, 4}, {{1, 1}, {2, 2}, {3, 3}}},
      {"diagonal up-left", {4, 4}, {1, 1}, {{4, 4}, {3, 3}, {2, 2}}},
      {"diagonal up-right", {1, 4}, {4, 1}, {{1, 4}, {2, 3}, {3, 2}}},
      // Halfway cases go to the smaller coordinate, so a line and its
      // reverse cover the same pixels between their ends.
      {"shallow", {0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {"shallow reversed", {4, 2}, {0, 0}, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      {"steep", {0, 0}, {1, 3}, {{0, 0}, {0, 1}, {1, 2}}},
      {"a point", {3, 3}, {3, 3}, {}},
  };
  for (int bits : {24, 32}) {
    for (const LineCase &c : cases) {
      Canvas canvas(8, 8, bits, bits == 24);
      MoveToEx(canvas.dc, c.from.x, c.from.y, nullptr);
      EXPECT_TRUE(LineTo(canvas.dc, c.to.x, c.to.y));
      EXPECT_EQ(canvas.Drawn(), c.pixels) << c.name << " at " << bits << " bits";
      POINT at;
      GetCurrentPositionEx(canvas.dc, &at);
      EXPECT_EQ(at.x, c.to.x);
    }
  }
}

TEST(GdiLines, PolylineDrawsInnerVerticesOnceAndStylesDash) {
  Canvas canvas(30, 4);
  SetROP2(canvas.dc, R2_XORPEN);
  HPEN white = CreatePen(PS_SOLID, 1, kWhite);
  HGDIOBJ old = SelectObject(canvas.dc, white);
  POINT path[] = {{1, 1}, {4, 1}, {4, 3}};
  Polyline(canvas.dc, path, 3);
  // Drawn once each under XOR: white over white gives black.
  EXPECT_EQ(canvas.Drawn(), (Pixels{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}}));
  SelectObject(canvas.dc, old);
  DeleteObject(white);

  canvas.Clear(kWhite);
  SetROP2(canvas.dc, R2_COPYPEN);
  HPEN dots = CreatePen(PS_DOT, 1, kBlack);
  old = SelectObject(canvas.dc, dots);
  SetBkMode(canvas.dc, TRANSPARENT);
  MoveToEx(canvas.dc, 0, 0, nullptr);
  LineTo(canvas.dc, 12, 0);
  EXPECT_EQ(canvas.Drawn(), (Pixels{{0, 0}, {1, 0}, {2, 0}, {6, 0}, {7, 0}, {8, 0}}));
  // An opaque background fills the gaps with the background colour.
  SetBkMode(canvas.dc, OPAQUE);
  SetBkColor(canvas.dc, RGB(255, 0, 0));
  MoveToEx(canvas.dc, 0, 1, nullptr);
  LineTo(canvas.dc, 6, 1);
  EXPECT_EQ(GetPixel(canvas.dc, 4, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(canvas.dc, 2, 1), kBlack);
  SelectObject(canvas.dc, old);
  DeleteObject(dots);
}

TEST(GdiShapes, RectanglesCoverLeftTopButNotRightBottom) {
  Canvas canvas(10, 10);
  HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
  RECT r{2, 2, 6, 5};

  EXPECT_EQ(FillRect(canvas.dc, &r, grey), 1);
  EXPECT_EQ(canvas.Drawn(), Box(2, 2, 6, 5));

  canvas.Clear(kWhite);
  FrameRect(canvas.dc, &r, grey);
  EXPECT_EQ(canvas.Drawn(), Frame(2, 2, 6, 5));

  canvas.Clear(kWhite);
  HGDIOBJ oldBrush = SelectObject(canvas.dc, grey);
  Rectangle(canvas.dc, 2, 2, 6, 5);
  EXPECT_EQ(canvas.Drawn(), Box(2, 2, 6, 5));
  EXPECT_EQ(GetPixel(canvas.dc, 2, 2), kBlack);
  EXPECT_EQ(GetPixel(canvas.dc, 3, 3), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(canvas.dc, 5, 4), kBlack);

  // Without a pen the fill stops a pixel short on the right and bottom.
  canvas.Clear(kWhite);
  HGDIOBJ oldPen = SelectObject(canvas.dc, GetStockObject(NULL_PEN));
  Rectangle(canvas.dc, 2, 2, 6, 5);
  EXPECT_EQ(canvas.Drawn(), Box(2, 2, 5, 4));

  // An inside-frame pen keeps a wide frame within the bounds.
  canvas.Clear(kWhite);
  HPEN thick = CreatePen(PS_INSIDEFRAME, 2, kBlack);
  SelectObject(canvas.dc, thick);
  SelectObject(canvas.dc, GetStockObject(NULL_BRUSH));
  Rectangle(canvas.dc, 1, 1, 8, 8);
  Pixels frame = Box(1, 1, 8, 8);
  for (auto p : Box(3, 3, 6, 6)) frame.erase(p);
  EXPECT_EQ(canvas.Drawn(), frame);

  SelectObject(canvas.dc, oldPen);
  SelectObject(canvas.dc, oldBrush);
  DeleteObject(thick);
  DeleteObject(grey);
}

TEST(GdiShapes, FocusRectangleIsDottedAndDrawingItTwiceRemovesIt) {
  Canvas canvas(10, 8);
  canvas.Noise(7);
  auto before = canvas.Snapshot();
  RECT r{1, 1, 7, 5};
  DrawFocusRect(canvas.dc, &r);
  Pixels changed;
  auto after = canvas.Snapshot();
  for (size_t i = 0; i < after.size(); ++i)
    if (after[i] != before[i]) changed.insert({int(i) % canvas.w, int(i) / canvas.w});
  Pixels dotted;
  for (auto p : Frame(1, 1, 7, 5))
    if ((p.first + p.second) % 2 == 0) dotted.insert(p);
  EXPECT_EQ(changed, dotted);
  DrawFocusRect(canvas.dc, &r);
  EXPECT_EQ(canvas.Snapshot(), before);
}

TEST(GdiShapes, XorAndNotDrawnTwiceRestoreTheImageBitForBit) {
  for (int mode : {R2_XORPEN, R2_NOTXORPEN, R2_NOT}) {
    Canvas canvas(40, 30, mode == R2_XORPEN ? 32 : 24, mode != R2_XORPEN);
    canvas.Noise(unsigned(mode));
    auto before = canvas.Snapshot();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(200, 100, 50));
    HPEN wide = CreatePen(PS_SOLID, 3, RGB(10, 200, 90));
    HBRUSH hatch = CreateHatchBrush(HS_DIAGCROSS, RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(canvas.dc, pen);
    HGDIOBJ oldBrush = SelectObject(canvas.dc, hatch);
    SetROP2(canvas.dc, mode);
    POINT star[] = {{20, 2}, {26, 26}, {4, 10}, {36, 10}, {14, 26}};
    for (int round = 0; round < 2; ++round) {
      MoveToEx(canvas.dc, 0, 0, nullptr);
      LineTo(canvas.dc, 39, 17);
      Rectangle(canvas.dc, 3, 3, 17, 12);
      Ellipse(canvas.dc, 10, 5, 35, 25);
      Polygon(canvas.dc, star, 5);
      RoundRect(canvas.dc, 2, 14, 20, 28, 6, 6);
      SelectObject(canvas.dc, wide);
      MoveToEx(canvas.dc, 5, 28, nullptr);
      LineTo(canvas.dc, 30, 2);
      SelectObject(canvas.dc, pen);
      PatBlt(canvas.dc, 30, 0, 4, 30, PATINVERT);
      PatBlt(canvas.dc, 0, 20, 40, 3, DSTINVERT);
      if (round == 0) EXPECT_NE(canvas.Snapshot(), before) << mode;
    }
    EXPECT_EQ(canvas.Snapshot(), before) << "line mode " << mode;
    SelectObject(canvas.dc, oldPen);
    SelectObject(canvas.dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(wide);
    DeleteObject(hatch);
  }
}

TEST(GdiShapes, LineModesMixPenAndScreen) {
  struct Case {
    int mode;
    COLORREF expected;
  };
  // Pen 0x0F0F0F over screen 0x333333, per channel.
  const Case cases[] = {
      {R2_BLACK, RGB(0, 0, 0)},          {R2_WHITE, RGB(255, 255, 255)},    {R2_COPYPEN, RGB(15, 15, 15)},
      {R2_NOTCOPYPEN, RGB(240, 240, 240)}, {R2_NOP, RGB(51, 51, 51)},       {R2_NOT, RGB(204, 204, 204)},
      {R2_XORPEN, RGB(60, 60, 60)},      {R2_NOTXORPEN, RGB(195, 195, 195)}, {R2_MERGEPEN, RGB(63, 63, 63)},
      {R2_MASKPEN, RGB(3, 3, 3)},        {R2_MASKPENNOT, RGB(12, 12, 12)},  {R2_MERGENOTPEN, RGB(243, 243, 243)},
  };
  for (const Case &c : cases) {
    Canvas canvas(4, 2);
    canvas.Clear(RGB(51, 51, 51));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(15, 15, 15));
    HGDIOBJ old = SelectObject(canvas.dc, pen);
    SetROP2(canvas.dc, c.mode);
    MoveToEx(canvas.dc, 0, 0, nullptr);
    LineTo(canvas.dc, 2, 0);
    EXPECT_EQ(GetPixel(canvas.dc, 1, 0), c.expected) << "mode " << c.mode;
    SelectObject(canvas.dc, old);
    DeleteObject(pen);
  }
}

TEST(GdiShapes, HatchedBrushLeavesTheGapsWhenTransparent) {
  Canvas canvas(16, 16);
  HBRUSH hatch = CreateHatchBrush(HS_CROSS, kBlack);
  RECT r{0, 0, 16, 16};
  SetBkMode(canvas.dc, TRANSPARENT);
  FillRect(canvas.dc, &r, hatch);
  Pixels lines = canvas.Drawn();
  EXPECT_EQ(lines.size(), size_t(2 * 16 + 2 * 16 - 4));  // two rows and two columns of the 8-pixel grid
  SetBkMode(canvas.dc, OPAQUE);
  SetBkColor(canvas.dc, RGB(0, 255, 0));
  FillRect(canvas.dc, &r, hatch);
  EXPECT_EQ(canvas.Drawn(RGB(0, 255, 0)), lines);
  DeleteObject(hatch);
}

// ---- blits -------------------------------------------------------------------

TEST(GdiBlits, RasterOperationsCombinePatternSourceAndDestination) {
  struct Case {
    const char *name;
    DWORD rop;
    COLORREF expected;
  };
  // Source 0x0F, destination 0x33, pattern (brush) 0x55 in every channel.
  const Case cases[] = {
      {"SRCCOPY", SRCCOPY, RGB(0x0F, 0x0F, 0x0F)},     {"SRCPAINT", SRCPAINT, RGB(0x3F, 0x3F, 0x3F)},
      {"SRCAND", SRCAND, RGB(0x03, 0x03, 0x03)},       {"SRCINVERT", SRCINVERT, RGB(0x3C, 0x3C, 0x3C)},
      {"NOTSRCCOPY", NOTSRCCOPY, RGB(0xF0, 0xF0, 0xF0)}, {"SRCERASE", SRCERASE, RGB(0x0C, 0x0C, 0x0C)},
      {"DSTINVERT", DSTINVERT, RGB(0xCC, 0xCC, 0xCC)}, {"BLACKNESS", BLACKNESS, RGB(0, 0, 0)},
      {"WHITENESS", WHITENESS, RGB(255, 255, 255)},    {"PATCOPY", PATCOPY, RGB(0x55, 0x55, 0x55)},
      {"PATINVERT", PATINVERT, RGB(0x66, 0x66, 0x66)}, {"MERGECOPY", MERGECOPY, RGB(0x05, 0x05, 0x05)},
  };
  for (const Case &c : cases) {
    Canvas source(4, 4, 32, false), target(4, 4);
    source.Clear(RGB(0x0F, 0x0F, 0x0F));
    target.Clear(RGB(0x33, 0x33, 0x33));
    HBRUSH brush = CreateSolidBrush(RGB(0x55, 0x55, 0x55));
    HGDIOBJ old = SelectObject(target.dc, brush);
    EXPECT_TRUE(BitBlt(target.dc, 1, 1, 2, 2, source.dc, 0, 0, c.rop)) << c.name;
    EXPECT_EQ(GetPixel(target.dc, 1, 1), c.expected) << c.name;
    EXPECT_EQ(GetPixel(target.dc, 3, 3), RGB(0x33, 0x33, 0x33)) << c.name << " outside";
    SelectObject(target.dc, old);
    DeleteObject(brush);
  }
}

TEST(GdiBlits, CopiesBetweenLayoutsKeepEveryPixel) {
  for (int bits : {24, 32}) {
    Canvas source(7, 3, bits, bits == 24), target(9, 4, bits == 24 ? 32 : 24, bits != 24);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) SetPixel(source.dc, x, y, RGB(x * 30 + 1, y * 70 + 2, x * y + 3));
    ASSERT_TRUE(BitBlt(target.dc, 1, 1, 7, 3, source.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(target.At(x + 1, y + 1), source.At(x, y)) << bits << ": " << x << "," << y;
    EXPECT_EQ(target.At(8, 1), kWhite);
  }
}

TEST(GdiBlits, ScrollingWithinOneBitmapDoesNotSmear) {
  Canvas canvas(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) SetPixel(canvas.dc, x, y, RGB(x * 10, y * 10, 0));
  BitBlt(canvas.dc, 2, 1, 6, 7, canvas.dc, 0, 0, SRCCOPY);  // right and down
  EXPECT_EQ(GetPixel(canvas.dc, 7, 7), RGB(50, 60, 0));
  EXPECT_EQ(GetPixel(canvas.dc, 2, 1), RGB(0, 0, 0));
  BitBlt(canvas.dc, 0, 0, 6, 7, canvas.dc, 2, 1, SRCINVERT);  // left and up, read before written
  EXPECT_EQ(GetPixel(canvas.dc, 5, 6), RGB(30 ^ 50, 50 ^ 60, 0));
}

TEST(GdiBlits, StretchTransparentAndAlpha) {
  Canvas source(2, 2, 32, false), target(8, 8);
  SetPixel(source.dc, 0, 0, RGB(255, 0, 0));
  SetPixel(source.dc, 1, 0, RGB(0, 255, 0));
  SetPixel(source.dc, 0, 1, RGB(0, 0, 255));
  SetPixel(source.dc, 1, 1, kBlack);
  StretchBlt(target.dc, 0, 0, 4, 4, source.dc, 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(GetPixel(target.dc, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(target.dc, 2, 1), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(target.dc, 3, 3), kBlack);
  EXPECT_EQ(GetPixel(target.dc, 4, 4), kWhite);

  target.Clear(kWhite);
  TransparentBlt(target.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, 2, kBlack);
  EXPECT_EQ(GetPixel(target.dc, 0, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(target.dc, 1, 1), kWhite) << "the transparent colour is left out";

  target.Clear(kBlack);
  AlphaBlend(target.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, 2, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0});
  EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(128, 0, 0));
}

TEST(GdiBlits, GradientRunsFromFirstToLastColour) {
  Canvas canvas(11, 3);
  TRIVERTEX v[2] = {{0, 0, 0, 0, 0xFF00, 0}, {11, 3, 0xFF00, 0, 0, 0}};
  GRADIENT_RECT mesh{0, 1};
  EXPECT_TRUE(GradientFill(canvas.dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(GetPixel(canvas.dc, 0, 1), RGB(0, 0, 255));
  COLORREF last = GetPixel(canvas.dc, 10, 1);
  EXPECT_GT(GetRValue(last), 220);
  EXPECT_LT(GetBValue(last), 30);
  GRADIENT_RECT bad{0, 5};
  EXPECT_FALSE(GradientFill(canvas.dc, v, 2, &bad, 1, GRADIENT_FILL_RECT_V));
}

TEST(GdiBlits, TheImageLibraryIsFoundByNameAtRunTime) {
  HMODULE library = LoadLibraryA("Msimg32.dll");
  ASSERT_TRUE(library);
  using Gradient = BOOL (*)(HDC, TRIVERTEX *, ULONG, LPVOID, ULONG, ULONG);
  auto gradient = reinterpret_cast<Gradient>(GetProcAddress(library, "GradientFill"));
  ASSERT_TRUE(gradient);
  EXPECT_TRUE(GetProcAddress(library, "TransparentBlt"));
  EXPECT_TRUE(GetProcAddress(library, "AlphaBlend"));
  Canvas canvas(4, 4);
  TRIVERTEX v[2] = {{0, 0, 0xFF00, 0, 0, 0}, {4, 4, 0xFF00, 0, 0, 0}};
  GRADIENT_RECT mesh{0, 1};
  EXPECT_TRUE(gradient(canvas.dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(canvas.At(2, 2), RGB(255, 0, 0));
  FreeLibrary(library);
}

// ---- contexts and clipping -----------------------------------------------------

TEST(GdiContexts, ClipRegionsLimitDrawingAndSaveDcRestoresThem) {
  Canvas canvas(10, 10);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RECT all{0, 0, 10, 10};
  int saved = SaveDC(canvas.dc);
  IntersectClipRect(canvas.dc, 2, 2, 8, 8);
  ExcludeClipRect(canvas.dc, 4, 4, 6, 6);
  SetTextColor(canvas.dc, RGB(1, 2, 3));
  FillRect(canvas.dc, &all, black);
  Pixels ring = Box(2, 2, 8, 8);
  for (auto p : Box(4, 4, 6, 6)) ring.erase(p);
  EXPECT_EQ(canvas.Drawn(), ring);
  RECT box;
  EXPECT_EQ(GetClipBox(canvas.dc, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.right, 8);

  ASSERT_TRUE(RestoreDC(canvas.dc, saved));
  EXPECT_EQ(GetTextColor(canvas.dc), kBlack);
  canvas.Clear(kWhite);
  HRGN region = CreateRectRgn(0, 0, 3, 3);
  SelectClipRgn(canvas.dc, region);
  OffsetRgn(region, 5, 5);  // the context keeps its own copy
  FillRect(canvas.dc, &all, black);
  EXPECT_EQ(canvas.Drawn(), Box(0, 0, 3, 3));
  SelectClipRgn(canvas.dc, nullptr);
  DeleteObject(region);
}

TEST(GdiContexts, RegionsCombineAsSetsOfPixels) {
  struct Case {
    int mode;
    int kind;
    RECT box;
    bool corner;  // whether (0, 0) is in
  };
  // a = (0, 0)-(4, 4), b = (2, 2)-(6, 6)
  const Case cases[] = {
      {RGN_AND, SIMPLEREGION, {2, 2, 4, 4}, false},
      {RGN_OR, COMPLEXREGION, {0, 0, 6, 6}, true},
      {RGN_XOR, COMPLEXREGION, {0, 0, 6, 6}, true},
      {RGN_DIFF, COMPLEXREGION, {0, 0, 4, 4}, true},
      {RGN_COPY, SIMPLEREGION, {0, 0, 4, 4}, true},
  };
  HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 6, 6), out = CreateRectRgn(0, 0, 0, 0);
  for (const Case &c : cases) {
    EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.kind) << c.mode;
    RECT box;
    GetRgnBox(out, &box);
    EXPECT_TRUE(EqualRect(&box, &c.box)) << c.mode;
    EXPECT_EQ(PtInRegion(out, 0, 0), c.corner) << c.mode;
  }
  EXPECT_FALSE(PtInRegion(a, 4, 4)) << "right and bottom edges are outside";
  EXPECT_EQ(CombineRgn(out, a, static_cast<HRGN>(GetStockObject(BLACK_BRUSH)), RGN_AND), RGN_ERROR);
  DeleteObject(a);
  DeleteObject(b);
  DeleteObject(out);
}

TEST(GdiContexts, OriginsMoveDrawing) {
  Canvas canvas(10, 10);
  SetViewportOrgEx(canvas.dc, 3, 2, nullptr);
  SetWindowOrgEx(canvas.dc, 1, 0, nullptr);
  SetPixel(canvas.dc, 1, 1, kBlack);
  EXPECT_EQ(canvas.Drawn(), (Pixels{{3, 3}}));
  POINT p{1, 1};
  LPtoDP(canvas.dc, &p, 1);
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, 3);
}

TEST(GdiContexts, PrinterPagesReportTheirResolution) {
  Canvas page(2480, 10);
  EXPECT_EQ(GetDeviceCaps(page.dc, LOGPIXELSY), 96);
  ASSERT_TRUE(platform::SetDeviceResolution(page.dc, 300, 300));
  EXPECT_EQ(GetDeviceCaps(page.dc, LOGPIXELSX), 300);
  EXPECT_EQ(GetDeviceCaps(page.dc, HORZRES), 2480);
  EXPECT_EQ(GetDeviceCaps(page.dc, HORZSIZE), 209);  // millimetres of A4's width
  EXPECT_FALSE(platform::SetDeviceResolution(page.dc, 0, 300));
}

TEST(GdiContexts, DibSectionRowsAreBottomUpAndPadded) {
  Canvas canvas(10, 3, 24, true);
  SetPixel(canvas.dc, 0, 0, RGB(1, 2, 3));
  platform::DibInfo info;
  ASSERT_TRUE(platform::GetDibInfo(canvas.bitmap, info));
  EXPECT_EQ(info.stride, 32);
  const unsigned char *top = info.bits + 2 * info.stride;  // the last row in memory
  EXPECT_EQ(top[0], 3);
  EXPECT_EQ(top[1], 2);
  EXPECT_EQ(top[2], 1);
  BITMAP bm;
  ASSERT_EQ(GetObjectA(canvas.bitmap, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidthBytes, 32);
  EXPECT_EQ(bm.bmBits, canvas.pixels);
}

TEST(GdiContexts, DibCallsStayInsideTheRowsThereAre) {
  Canvas canvas(4, 4, 32, true);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetPixel(canvas.dc, x, y, RGB(x, y, 7));
  auto pixel = [](int x, int y) { return uint32_t(x << 16 | y << 8 | 7); };

  // Asking for more scan lines than there are reads those there are, from
  // the bottom up, and writes nothing past them.
  struct ReadCase {
    UINT start, lines;
    int rows;
  };
  for (const ReadCase c : {ReadCase{0, 4, 4}, ReadCase{0, 0xFFFFFFFFu, 4}, ReadCase{2, 0x80000000u, 2},
                           ReadCase{4, 1, 0}, ReadCase{0xFFFFFFFFu, 2, 0}}) {
    SCOPED_TRACE(testing::Message() << "start " << c.start << ", lines " << c.lines);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint32_t> out(4 * 4 + 8, 0xDEADBEEF);
    EXPECT_EQ(GetDIBits(canvas.dc, canvas.bitmap, c.start, c.lines, out.data() + 4, &info, DIB_RGB_COLORS), c.rows);
    for (int row = 0; row < c.rows; ++row)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(out[size_t(4 + row * 4 + x)] & 0xFFFFFF, pixel(x, 3 - int(c.start) - row)) << row << ' ' << x;
    for (size_t i = 0; i < out.size(); ++i)
      if (i < 4 || i >= size_t(4 + c.rows * 4)) EXPECT_EQ(out[i], 0xDEADBEEF) << i;
  }

  // Headers and counts that claim more pixels than any picture may have
  // are refused, not read.
  uint32_t few[8] = {};
  BITMAPINFO huge{};
  huge.bmiHeader = {sizeof(BITMAPINFOHEADER), 1 << 29, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(StretchDIBits(canvas.dc, 0, 0, 1, 1, 0, 1, 1, 1, few, &huge, DIB_RGB_COLORS, SRCCOPY), 0);
  huge.bmiHeader.biWidth = 0x7FFFFFFF;
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc, 0, 0, 1, 1, 0, 0, 0, 1, few, &huge, DIB_RGB_COLORS), 0);
  BITMAPINFO one{};
  one.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc, 0, 0, 1, 1, 0, 0, 0, 0x80000001u, few, &one, DIB_RGB_COLORS), 0);
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc, 0, 0, 1, 1, 0, INT32_MIN, 0xFFFFFF, 1, few, &one, DIB_RGB_COLORS), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.At(x, y), RGB(x, y, 7));
}

LRESULT PaintCorner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT all{0, 0, 100, 100};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(GdiContexts, WindowContextsDrawIntoThePersistentImage) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PaintCorner;
  wc.lpszClassName = "GdiPaintCorner";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "GdiPaintCorner", "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_TRUE(hwnd);
  platform::ProcessPendingMessages();
  HDC dc = GetDC(hwnd);
  RECT all{0, 0, 40, 30};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetPixel(dc, 5, 6, RGB(9, 8, 7));
  EXPECT_EQ(testing_support::WindowPixel(hwnd, 5, 6), RGB(9, 8, 7));
  ReleaseDC(hwnd, dc);

  // Painting reaches only the invalid part.
  RECT part{10, 10, 20, 15};
  InvalidateRect(hwnd, &part, FALSE);
  UpdateWindow(hwnd);
  EXPECT_EQ(testing_support::WindowPixel(hwnd, 10, 10), kBlack);
  EXPECT_EQ(testing_support::WindowPixel(hwnd, 19, 14), kBlack);
  EXPECT_EQ(testing_support::WindowPixel(hwnd, 20, 14), kWhite);
  EXPECT_EQ(testing_support::WindowPixel(hwnd, 9, 10), kWhite);
  DestroyWindow(hwnd);
  UnregisterClassA("GdiPaintCorner", nullptr);
  EXPECT_FALSE(FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)))) << "released";
}

TEST(GdiContexts, FrameContextsPaintTheFrameThatTheWindowShows) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "GdiFramed";
  RegisterClassA(&wc);
  HWND parent = CreateWindowExA(0, "GdiFramed", "", WS_POPUP | WS_VISIBLE, 0, 0, 60, 60, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_TRUE(parent);
  HWND child = CreateWindowExA(WS_EX_CLIENTEDGE, "GdiFramed", "", WS_CHILD | WS_VISIBLE, 5, 5, 30, 20, parent,
                               nullptr, nullptr, nullptr);
  ASSERT_TRUE(child);
  platform::ProcessPendingMessages();
  HDC frame = GetWindowDC(child);
  EXPECT_EQ(GetPixel(frame, 0, 0), RGB(128, 128, 128)) << "the default frame";
  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(frame, red);
  SelectObject(frame, GetStockObject(NULL_BRUSH));
  Rectangle(frame, 0, 0, 30, 20);
  Rectangle(frame, 1, 1, 29, 19);
  SetPixel(frame, 10, 10, RGB(0, 0, 255));  // the client area is not the frame's
  SelectObject(frame, old);
  ReleaseDC(child, frame);
  DeleteObject(red);
  QImage shown = platform::WidgetFromHandle(child)->grab().toImage();
  EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(28, 18), qRgb(255, 0, 0));
  EXPECT_NE(shown.pixel(10, 10), qRgb(0, 0, 255));
  EXPECT_NE(testing_support::WindowPixel(child, 8, 8), RGB(0, 0, 255));
  DestroyWindow(parent);
  UnregisterClassA("GdiFramed", nullptr);
}

TEST(GdiContexts, DrawingOnAHeldWindowContextReachesTheScreen) {
  // A control draws a changed cell through the context its canvas keeps,
  // outside painting and without releasing it: the screen shows the cell.
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "GdiHeldContext";
  RegisterClassA(&wc);
  HWND top = CreateWindowExA(0, "GdiHeldContext", "", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_TRUE(top);
  HWND child = CreateWindowExA(0, "GdiHeldContext", "", WS_CHILD | WS_VISIBLE, 10, 10, 30, 20, top, nullptr,
                               nullptr, nullptr);
  ASSERT_TRUE(child);
  platform::ProcessPendingMessages();
  HDC dc = GetDC(child);
  for (COLORREF colour : {RGB(200, 0, 0), RGB(0, 0, 180)}) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT cell{2, 2, 12, 8};
    FillRect(dc, &cell, brush);
    DeleteObject(brush);
    const QImage shown = testing_support::ShownImage(child);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixel(5, 5), qRgb(GetRValue(colour), GetGValue(colour), GetBValue(colour)));
  }
  ReleaseDC(child, dc);
  DestroyWindow(top);
  UnregisterClassA("GdiHeldContext", nullptr);
}

// ---- fonts and text ------------------------------------------------------------

struct TextTest : ::testing::Test {
  TextTest() : canvas(200, 80) {
    font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
    old = SelectObject(canvas.dc, font);
  }
  ~TextTest() override {
    SelectObject(canvas.dc, old);
    DeleteObject(font);
  }
  SIZE Extent(const char *text) {
    SIZE size{};
    GetTextExtentPoint32A(canvas.dc, text, int(std::strlen(text)), &size);
    return size;
  }
  Canvas canvas;
  HFONT font;
  HGDIOBJ old;
};

TEST_F(TextTest, HeightsFollowTheCharacterAndCellRules) {
  TEXTMETRICA tm;
  ASSERT_TRUE(GetTextMetricsA(canvas.dc, &tm));
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 12) << "negative: character height";
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  HFONT song = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
  SelectObject(canvas.dc, song);
  GetTextMetricsA(canvas.dc, &tm);
  EXPECT_EQ(tm.tmHeight, 12) << "the Chinese system face's cell is its character height";
  EXPECT_EQ(tm.tmAveCharWidth, 6);
  HFONT cell = CreateFontA(20, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma");
  SelectObject(canvas.dc, cell);
  GetTextMetricsA(canvas.dc, &tm);
  EXPECT_NEAR(tm.tmHeight, 20, 1) << "positive: cell height";
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  SelectObject(canvas.dc, font);
  DeleteObject(cell);
  DeleteObject(song);
}

TEST_F(TextTest, ChineseCharactersAreTwiceAsWideAsLetters) {
  SIZE one = Extent("8"), two = Extent("88"), han = Extent("中"), mixed = Extent("中8");
  EXPECT_GT(one.cx, 0);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(han.cx, 2 * one.cx);
  EXPECT_EQ(mixed.cx, han.cx + one.cx);
  INT fit = 0;
  INT extents[3];
  GetTextExtentExPointA(canvas.dc, "中8", 3, han.cx, &fit, extents, nullptr);
  EXPECT_EQ(fit, 2) << "bytes that fit";
  EXPECT_EQ(extents[1], han.cx);
}

TEST_F(TextTest, DrawTextComputesItsRectangle) {
  TEXTMETRICA tm;
  GetTextMetricsA(canvas.dc, &tm);
  const int line = tm.tmHeight;
  const int w = Extent("x").cx;
  struct Case {
    const char *name;
    const char *text;
    RECT box;
    UINT format;
    RECT expected;
    int result;
  };
  const Case cases[] = {
      {"single line", "abc", {10, 5, 100, 50}, DT_SINGLELINE, {10, 5, 10 + 3 * w, 5 + line}, line},
      {"lines", "ab\ncd\r\ne", {0, 0, 100, 50}, 0, {0, 0, 2 * w, 3 * line}, 3 * line},
      {"word break", "aa bb cc", {0, 0, 5 * w, 50}, DT_WORDBREAK, {0, 0, 5 * w, 2 * line}, 2 * line},
      {"no break without the flag", "aa bb cc", {0, 0, 5 * w, 50}, 0, {0, 0, 8 * w, line}, line},
      {"Chinese breaks anywhere", "中文中文", {0, 0, 5 * w, 50}, DT_WORDBREAK, {0, 0, 4 * w, 2 * line}, 2 * line},
      {"prefix", "&File", {0, 0, 100, 50}, DT_SINGLELINE, {0, 0, 4 * w, line}, line},
      {"double ampersand", "a&&b", {0, 0, 100, 50}, DT_SINGLELINE, {0, 0, 3 * w, line}, line},
      {"no prefix", "&File", {0, 0, 100, 50}, DT_SINGLELINE | DT_NOPREFIX, {0, 0, 5 * w, line}, line},
      {"end ellipsis", "abcdefghij", {0, 0, 6 * w, 50}, DT_SINGLELINE | DT_END_ELLIPSIS, {0, 0, 6 * w, line}, line},
      {"vertical centre", "a", {0, 0, 100, 40}, DT_SINGLELINE | DT_VCENTER, {0, 0, w, line}, (40 - line) / 2 + line},
      {"bottom", "a", {0, 0, 100, 40}, DT_SINGLELINE | DT_BOTTOM, {0, 0, w, line}, 40},
      {"empty", "", {3, 4, 100, 40}, 0, {3, 4, 3, 4}, 0},
  };
  for (const Case &c : cases) {
    RECT r = c.box;
    int result = DrawTextA(canvas.dc, c.text, -1, &r, c.format | DT_CALCRECT);
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(r.left, c.expected.left) << c.name;
    EXPECT_EQ(r.top, c.expected.top) << c.name;
    EXPECT_EQ(r.right, c.expected.right) << c.name;
    EXPECT_EQ(r.bottom, c.expected.bottom) << c.name;
  }
  EXPECT_EQ(canvas.Drawn(), Pixels{}) << "measuring draws nothing";
}

TEST_F(TextTest, DrawTextStaysInsideItsRectangleAndAlignsItsLines) {
  RECT r{20, 10, 60, 40};
  SetBkMode(canvas.dc, TRANSPARENT);
  DrawTextA(canvas.dc, "a very long line that does not fit", -1, &r, DT_SINGLELINE | DT_VCENTER);
  Pixels drawn = canvas.Drawn();
  ASSERT_FALSE(drawn.empty());
  for (auto p : drawn) EXPECT_TRUE(p.first >= 20 && p.first < 60 && p.second >= 10 && p.second < 40);

  // An opaque background shows where a line went: right-aligned here.
  canvas.Clear(kWhite);
  SetBkMode(canvas.dc, OPAQUE);
  SetBkColor(canvas.dc, RGB(0, 0, 255));
  DrawTextA(canvas.dc, "  ", -1, &r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
  TEXTMETRICA tm;
  GetTextMetricsA(canvas.dc, &tm);
  EXPECT_EQ(canvas.Drawn(), Box(60 - Extent("  ").cx, 40 - tm.tmHeight, 60, 40));
}

TEST_F(TextTest, TextAlignmentAndCurrentPosition) {
  SetBkColor(canvas.dc, RGB(0, 0, 255));
  const SIZE s = Extent("  ");
  TEXTMETRICA tm;
  GetTextMetricsA(canvas.dc, &tm);
  struct Case {
    UINT align;
    int left, top;
  };
  const Case cases[] = {
      {TA_LEFT | TA_TOP, 50, 30},
      {TA_RIGHT | TA_TOP, 50 - s.cx, 30},
      {TA_CENTER | TA_BOTTOM, 50 - s.cx / 2, 30 - tm.tmHeight},
      {TA_LEFT | TA_BASELINE, 50, 30 - tm.tmAscent},
  };
  for (const Case &c : cases) {
    canvas.Clear(kWhite);
    SetTextAlign(canvas.dc, c.align);
    TextOutA(canvas.dc, 50, 30, "  ", 2);
    EXPECT_EQ(canvas.Drawn(), Box(c.left, c.top, c.left + s.cx, c.top + tm.tmHeight)) << c.align;
  }
  SetTextAlign(canvas.dc, TA_UPDATECP);
  MoveToEx(canvas.dc, 5, 5, nullptr);
  TextOutA(canvas.dc, 0, 0, "  ", 2);
  POINT at;
  GetCurrentPositionEx(canvas.dc, &at);
  EXPECT_EQ(at.x, 5 + s.cx);
}

TEST_F(TextTest, ExtTextOutFillsAndClipsToItsRectangle) {
  RECT r{10, 10, 30, 20};
  SetBkColor(canvas.dc, RGB(0, 255, 0));
  SetBkMode(canvas.dc, TRANSPARENT);
  ExtTextOutA(canvas.dc, 12, 10, ETO_OPAQUE | ETO_CLIPPED, &r, "中文中文中文", 12, nullptr);
  Pixels drawn = canvas.Drawn();
  for (auto p : Box(10, 10, 30, 20)) drawn.erase(p);
  EXPECT_EQ(drawn, Pixels{}) << "nothing outside the rectangle";
  EXPECT_EQ(GetPixel(canvas.dc, 10, 19), RGB(0, 255, 0));
}

// ---- the sheet -----------------------------------------------------------------

// Every primitive once, saved for a person to look at.
TEST(GdiSheet, WritesThePrimitivesSheet) {
  Canvas canvas(480, 240, 24, true);
  HDC dc = canvas.dc;
  const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_INSIDEFRAME};
  for (int i = 0; i < 6; ++i) {
    HPEN pen = CreatePen(styles[i], 1, RGB(0, 0, 128));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 10, 10 + 8 * i, nullptr);
    LineTo(dc, 150, 10 + 8 * i);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  for (int w = 1; w <= 5; ++w) {
    HPEN pen = CreatePen(PS_SOLID, w, RGB(128, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 10 + 20 * w, 70, nullptr);
    LineTo(dc, 30 + 20 * w, 110);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  for (int h = HS_HORIZONTAL; h <= HS_DIAGCROSS; ++h) {
    HBRUSH brush = CreateHatchBrush(h, RGB(0, 100, 0));
    RECT r{160 + 36 * h, 10, 192 + 36 * h, 42};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  HBRUSH yellow = CreateSolidBrush(RGB(255, 220, 0));
  HGDIOBJ oldBrush = SelectObject(dc, yellow);
  Rectangle(dc, 160, 50, 210, 90);
  RoundRect(dc, 220, 50, 270, 90, 12, 12);
  Ellipse(dc, 280, 50, 340, 90);
  Pie(dc, 350, 50, 400, 100, 400, 75, 375, 50);
  Chord(dc, 410, 50, 470, 100, 470, 75, 410, 75);
  POINT star[] = {{200, 110}, {215, 150}, {180, 125}, {220, 125}, {185, 150}};
  Polygon(dc, star, 5);
  Arc(dc, 230, 110, 280, 160, 280, 135, 230, 135);
  SelectObject(dc, oldBrush);
  DeleteObject(yellow);
  RECT focus{300, 110, 360, 150};
  DrawFocusRect(dc, &focus);
  RECT edge{370, 110, 420, 150};
  DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  RECT sunk{430, 110, 470, 150};
  DrawEdge(dc, &sunk, EDGE_SUNKEN, BF_RECT);
  TRIVERTEX v[2] = {{10, 170, 0xFF00, 0, 0, 0}, {150, 200, 0, 0, 0xFF00, 0}};
  GRADIENT_RECT mesh{0, 1};
  GradientFill(dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_H);
  HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 1, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const char *sample = "宋体 12 像素 ABC abc 123";
  TextOutA(dc, 170, 170, sample, int(std::strlen(sample)));
  RECT box{170, 190, 470, 235};
  DrawTextA(dc, "DrawText 居中 &Prefix 换行测试 word break", -1, &box, DT_CENTER | DT_WORDBREAK);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  std::string path = testing_support::PicturePath("gdi_primitives.png");
  EXPECT_TRUE(testing_support::SaveDibPng(canvas.bitmap, path)) << path;
}

}  // namespace
