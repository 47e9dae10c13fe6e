// The value range of what a formula draws in the visible bars, the scale
// labels and their dotted rows, and the shared drawing operations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/ewnd.h"
#include "formula/indexpaint.h"
#include "formula/kvindex.h"
#include "testing/index_window.h"
#include "tests/formula/formula_support.h"

namespace {

using formula_test::DailyBars;
using testing_support::IndexWindowRender;

struct RangeCase {
  const char *name;
  std::string text;
  std::vector<double> closes;
  std::vector<double> refLines;
  double lo, hi;
};

TEST(IndexValueRange, WhatTheFormulaDrawsInTheWindow) {
  const std::vector<double> c3to8{3, 4, 5, 6, 7, 8};
  const RangeCase cases[] = {
      {"sticks stand on zero", "X:C,STICK;", c3to8, {}, 0, 8},
      {"colour sticks too", "X:C-5,COLORSTICK;", c3to8, {}, -2, 3},
      {"an invisible line counts for nothing", "X:C;Y:C*1000,LINETHICK0;", c3to8, {}, 3, 8},
      {"reference lines widen the range", "X:C;", {30, 40, 50}, {20, 80}, 20, 80},
      {"a constant with trailing zeros", "X:1000;", c3to8, {}, 1000, 2000},
      {"a constant with decimals", "X:3.25;", c3to8, {}, 3.25, 4.25},
      {"LN(0) and LOG(0) are left out", "X:LN(C-3);", c3to8, {}, 0, std::log(5.0)},
      {"a point and figure line has no range", "X:C;Y:C*9,POINTFIGURE;", c3to8, {}, 3, 8},
      {"stick lines bring both ends", "X:C;STICKLINE(C>7,0,C*2,4,0);", c3to8, {}, 0, 16},
      {"K-lines bring low and high", "DRAWKLINE(H,O,L,C);", c3to8, {}, 3, 8},
  };
  for (const RangeCase &c : cases) {
    SCOPED_TRACE(c.name);
    IndexWindowRender w;
    ASSERT_TRUE(w.Load(c.text, DailyBars(c.closes)));
    for (double v : c.refLines) w.formula.AddRefLine(v, 0);
    double lo = -1, hi = -1;
    ASSERT_TRUE(w.formula.GetValueRange(w.plot, w.Window(), &lo, &hi, 0, 1));
    EXPECT_NEAR(lo, c.lo, 1e-9);
    EXPECT_NEAR(hi, c.hi, 1e-9);
  }
}

TEST(IndexValueRange, ARelativeOverlayKeepsItsPixelMargins) {
  IndexWindowRender w(250, 200);
  ASSERT_TRUE(w.Load("X:C;", DailyBars({10, 15, 20})));
  w.formula.flags = 1 | kIndexOwnRange;
  const RECT window{0, 0, 200, 200};
  double lo = 0, hi = 0;
  ASSERT_TRUE(w.formula.GetValueRange(window, w.Window(), &lo, &hi, 0, 1));
  // 0.02 and 0.03 of 200 pixels are below 7 and 14 pixels: 0.035 on top, 0.07 below.
  const double k = 10 / (1 - 0.035 - 0.07);
  EXPECT_NEAR(hi, 20 + 0.035 * k, 1e-9);
  EXPECT_NEAR(lo, 10 - 0.07 * k, 1e-9);
}

TEST(IndexValueRange, TheChainCountsExceptRelativeOverlays) {
  IndexWindowRender w;
  ASSERT_TRUE(w.Load("X:C;", DailyBars({10, 15, 20})));
  auto chained = [&](const char *text, uint32_t flags) {
    CKvIndex *f = new CKvIndex;
    EXPECT_TRUE(f->Compile(text, true));
    f->flags = flags;
    f->Calculate(nullptr, "CU1009", 7, 1, testing_support::FakeMarket::Info(w.stock), w.bars.data(),
                 uint32_t(w.bars.size()), false, false);
    return f;
  };
  w.formula.next = chained("Y:C*10;", 1 | kIndexOwnRange);
  double lo = 0, hi = 0;
  ASSERT_TRUE(w.formula.GetValueRange(w.plot, w.Window(), &lo, &hi, 0, 1));
  EXPECT_EQ(lo, 10);
  EXPECT_EQ(hi, 20);
  // A plain formula behind the overlay widens the range.
  w.formula.next->next = chained("Z:C-30;", 1);
  ASSERT_TRUE(w.formula.GetValueRange(w.plot, w.Window(), &lo, &hi, 0, 1));
  EXPECT_EQ(lo, -20);
  EXPECT_EQ(hi, 20);
}

TEST(IndexValueRange, ADrawLinePairsItsMarksFromTheFirstChartBar) {
  IndexWindowRender w;
  // Starts where C=2 (bar 1), ends where C=5 (bar 4), from bar 5 on nothing pairs.
  ASSERT_TRUE(w.Load("X:C;DRAWLINE(C=2,C,C=5,C*10,0);", DailyBars({1, 2, 3, 4, 5, 6, 7, 8})));
  w.first = 3;
  w.count = 5;
  double lo = 0, hi = 0;
  ASSERT_TRUE(w.formula.GetValueRange(w.plot, w.Window(), &lo, &hi, 0, 1));
  EXPECT_EQ(lo, 4);   // X over bars 3..7; the start at bar 1 lies left of the window
  EXPECT_EQ(hi, 50);  // the end at bar 4 brings P2, not the unwritten P1 there
}

TEST(IndexValueRange, AWindowOutsideTheAxisReadsNothing) {
  IndexWindowRender w;
  ASSERT_TRUE(w.Load("X:C;", DailyBars({1, 2, 3})));
  double lo = 7, hi = 7;
  IndexWindow window = w.Window();
  window.first = 3;  // past the time axis
  EXPECT_FALSE(w.formula.GetValueRange(w.plot, window, &lo, &hi, 0, 1));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  window.first = 0;
  window.count = 0;
  EXPECT_FALSE(w.formula.GetValueRange(w.plot, window, &lo, &hi, 0, 1));
}

TEST(IndexScaleText, ValuesInTenThousandsAndHundredMillions) {
  const struct {
    double v;
    int n;
    const char *text;
  } cases[] = {
      {30000, 0, "3万"}, {200000000, 0, "2亿"}, {12.5, 2, "12.50"}, {-50000, 1, "-5.0万"}, {7, -3, "7"},
  };
  for (const auto &c : cases) {
    char text[64];
    FormatIndexScaleValue(c.v, c.n, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.v;
  }
  char big[260];
  FormatIndexScaleValue(1e300, 99, big, sizeof big);
  EXPECT_LT(std::strlen(big), sizeof big);
}

// The rows of the plot that carry a dotted row of the colour (odd columns).
std::vector<int> DottedRows(const IndexWindowRender &w, COLORREF colour) {
  std::vector<int> rows;
  for (int y = w.plot.top; y <= w.plot.bottom; ++y)
    if (w.Pixel(w.plot.left + 1, y) == colour && w.Pixel(w.plot.left + 3, y) == colour &&
        w.Pixel(w.plot.left + 2, y) != colour)
      rows.push_back(y);
  return rows;
}

TEST(IndexScale, ValueLabelsAroundZeroKeepClearOfTheEdges) {
  IndexWindowRender w(350, 320);
  ASSERT_TRUE(w.Load("X:C;", DailyBars({1, 2})));
  w.fixedRange = true;
  w.minimum = -5;
  w.maximum = 12;
  w.Paint();
  const IndexValueAxis axis(w.plot, -5, 12, 0);
  EXPECT_EQ(DottedRows(w, w.scheme.colors[28]), std::vector<int>{axis.Y(0)});
  const std::vector<int> grid = DottedRows(w, w.scheme.colors[11]);
  ASSERT_GE(grid.size(), 2u);
  for (int y : grid) {
    EXPECT_GT(y - 20, w.plot.top) << y;
    EXPECT_LT(y + 20, w.plot.bottom) << y;
  }
  EXPECT_GT(w.Count(w.scheme.colors[12], w.scaleRect), 0);  // label text in COLOR13
  EXPECT_EQ(w.Count(w.scheme.colors[12], w.plot), 0);
}

TEST(IndexScale, PercentLabelsAroundTheBase) {
  IndexWindowRender w(300, 240);
  ASSERT_TRUE(w.Load("X:C;", DailyBars({9, 11})));
  w.fixedRange = true;
  w.minimum = 9;
  w.maximum = 11;
  w.percentMode = 1;
  w.percentBase = 10;
  w.Paint();
  const IndexValueAxis axis(w.plot, 9, 11, 0);
  EXPECT_EQ(DottedRows(w, w.scheme.colors[28]), std::vector<int>{axis.Y(10)});
  const std::vector<int> grid = DottedRows(w, w.scheme.colors[11]);
  int above = 0, below = 0;
  for (int y : grid) (y < axis.Y(10) ? above : below)++;
  EXPECT_GT(above, 0);
  EXPECT_EQ(above, below);
}

TEST(IndexScale, AFlatOrUndefinedRangeDrawsNoLabels) {
  const struct {
    double lo, hi, base;
    int32_t mode;
  } cases[] = {{5, 5, 0, 0}, {5, 6, 0, 1}, {NAN, 6, 0, 0}, {-INFINITY, 6, 0, 0}, {1, 1e308 * 10, 0, 0}};
  for (const auto &c : cases) {
    IndexWindowRender w;
    ASSERT_TRUE(w.Load("X:C;", DailyBars({1, 2})));
    w.fixedRange = true;
    w.minimum = c.lo;
    w.maximum = c.hi;
    w.percentMode = c.mode;
    w.percentBase = c.base;
    w.Paint();
    EXPECT_EQ(w.Count(w.scheme.colors[12], w.scaleRect), 0) << c.lo << " " << c.hi;
  }
}

TEST(IndexDrawing, DottedRowsStayInsideTheBitmap) {
  EDibBitmap dib;
  dib.Create(nullptr, 9, 3);
  std::memset(dib.m_pBits, 0, size_t(dib.m_imageSize));
  DrawDottedRow(&dib, -5, 20, 1, RGB(255, 0, 0));
  DrawDottedRow(&dib, 0, 9, 3, RGB(0, 255, 0));   // below the bitmap
  DrawDottedRow(&dib, 0, 9, -1, RGB(0, 255, 0));  // above it
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) {
      const unsigned char *p = dib.m_pBits + (2 - y) * dib.m_stride + 3 * x;
      const bool red = y == 1 && x % 2 == 1;
      EXPECT_EQ(p[2], red ? 255 : 0) << x << "," << y;
      EXPECT_EQ(p[1], 0) << x << "," << y;
    }
}

TEST(IndexDrawing, RectanglesGivenUpwardCoverTheRowsBetween) {
  EXPECT_EQ(ValueToY(0, RECT{0, 10, 50, 110}, 5), 105);
  EXPECT_EQ(ValueToY(1, RECT{0, 10, 50, 110}, 5), 32);
  EDibBitmap dib;
  dib.Create(nullptr, 10, 10);
  std::memset(dib.m_pBits, 0, size_t(dib.m_imageSize));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib.m_hBitmap);
  HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
  FillRectNormalized(dc, RECT{6, 7, 2, 3}, brush);  // corners swapped both ways
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 4 && y <= 7;
      EXPECT_EQ(dib.m_pBits[(9 - y) * dib.m_stride + 3 * x], inside ? 255 : 0) << x << "," << y;
    }
}

}  // namespace
