#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/chartgfx.h"
#include "core/ewnd.h"
#include "platform/gdi.h"

namespace {

TEST(ChartGraphics, NiceAxisStep) {
  struct Case {
    double value, step;
    int decimals;
  };
  const double inf = std::numeric_limits<double>::infinity();
  for (const Case &c : {Case{3.7, 0.5, 1}, Case{0.037, 0.005, 3}, Case{12, 2, 0}, Case{1.4, 0.2, 1},
                        Case{1.41, 0.3, 1}, Case{2.2, 0.5, 1}, Case{7, 1, 0}, Case{3500, 500, 0},
                        // no valid input: no endless loop
                        Case{0, 1, 0}, Case{-3, 1, 0}, Case{inf, 1, 0}, Case{std::nan(""), 1, 0}}) {
    double step = -1;
    int decimals = -1;
    NiceAxisStep(c.value, &step, &decimals);
    EXPECT_NEAR(step, c.step, c.step * 1e-9) << c.value;
    EXPECT_EQ(decimals, c.decimals) << c.value;
  }
}

TEST(ChartGraphics, DecimalsNeeded) {
  struct Case {
    double value;
    int decimals;
  };
  for (const Case &c : {Case{2.5, 1}, Case{0.5, 1}, Case{-2.5, 1}, Case{0.125, 5}, Case{0.25, 5}, Case{300, -2},
                        Case{7, 0}, Case{0, 0}, Case{1e-8, 0}, Case{120000, -4}, Case{1e12, -8}}) {
    EXPECT_EQ(DecimalsNeeded(c.value), c.decimals) << c.value;
  }
}

TEST(ChartGraphics, ScaleStepToRange) {
  struct Case {
    float unit, range, minimum, step;
  };
  const float inf = std::numeric_limits<float>::infinity();
  for (const Case &c : {Case{1, 100, 10, 10}, Case{0.05f, 100, 10, 10}, Case{1, 100, 1, 1}, Case{2, 3, 0.5f, 1.5f},
                        Case{1, 2e15f, 10, 10}, Case{1, 100, 0.00001f, 0.00001f}, Case{inf, 100, 10, 10},
                        Case{1, 100, inf, inf}}) {
    EXPECT_FLOAT_EQ(ScaleStepToRange(c.unit, c.range, c.minimum), c.step) << c.unit << " " << c.range;
  }
}

TEST(ChartGraphics, PointNearSegment) {
  struct Case {
    POINT q, a, b;
    bool near;
  };
  for (const Case &c : {
           Case{{5, 2}, {0, 0}, {10, 0}, true},       // horizontal
           Case{{5, 3}, {0, 0}, {10, 0}, false},
           Case{{11, 0}, {0, 0}, {10, 0}, false},     // past the end
           Case{{-2, 7}, {0, 10}, {0, 0}, true},      // vertical, ends in either order
           Case{{0, 11}, {0, 10}, {0, 0}, false},
           Case{{-1, -1}, {0, 0}, {10, 5}, false},    // left of both ends
           Case{{5, 3}, {0, 0}, {10, 5}, true},
           Case{{5, 6}, {0, 0}, {10, 5}, false},
           // an ordinary chart-sized segment: its squares need more than 32 bits
           Case{{1500, 1000}, {0, 0}, {3000, 2000}, true},
           Case{{1500, 1003}, {0, 0}, {3000, 2000}, true},
           Case{{1500, 1004}, {0, 0}, {3000, 2000}, false},
           Case{{30000, 20005}, {-32000, -20000}, {32000, 21290}, false},
           Case{{30000, 20002}, {-32000, -20000}, {32000, 21290}, true},
           Case{{0, 1}, {-32000, -20000}, {32000, 20000}, true},
       }) {
    EXPECT_EQ(PointNearSegment(c.q, c.a, c.b), c.near)
        << "(" << c.q.x << "," << c.q.y << ") against (" << c.a.x << "," << c.a.y << ")-(" << c.b.x << ","
        << c.b.y << ")";
  }
}

TEST(ChartGraphics, SortedSearches) {
  struct Bar {
    uint32_t time;
    unsigned char rest[36];
  };
  static_assert(sizeof(Bar) == kBarRecordSize);
  const uint32_t times[] = {10, 20, 30, 40, 0x80000000u};
  Bar bars[5] = {};
  for (int i = 0; i < 5; ++i) bars[i].time = times[i];
  struct Case {
    uint32_t key;
    int index;
  };
  for (const Case &c : {Case{10, 0}, Case{30, 2}, Case{0x80000000u, 4}, Case{25, -1}, Case{41, -1}, Case{5, -1},
                        Case{0xFFFFFFFFu, -1}}) {
    EXPECT_EQ(FindBarByTime(bars, 5, c.key), c.index) << c.key;
    EXPECT_EQ(FindUIntSorted(times, 5, c.key), c.index) << c.key;
  }
  EXPECT_EQ(FindBarByTime(bars, 0, 10), -1);
  EXPECT_EQ(FindUIntSorted(times, 1, 10), 0);
  EXPECT_EQ(FindUIntSorted(nullptr, 3, 10), -1);
}

// The holder's pixel (x, y) as a colour.
COLORREF DibAt(const EDibBitmap &dib, int x, int y) {
  const unsigned char *p = dib.m_pBits + x * 3 + (dib.m_height - y - 1) * dib.m_stride;
  return RGB(p[2], p[1], p[0]);
}

void FillDib(EDibBitmap &dib, COLORREF c) {
  for (int y = 0; y < dib.m_height; ++y)
    for (int x = 0; x < dib.m_width; ++x) {
      unsigned char *p = dib.m_pBits + x * 3 + (dib.m_height - y - 1) * dib.m_stride;
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
    }
}

TEST(ChartGraphics, AntialiasedLineEndsAndPairs) {
  EDibBitmap dib;
  dib.Create(nullptr, 12, 6);
  ASSERT_NE(dib.m_pBits, nullptr);
  FillDib(dib, RGB(255, 255, 255));
  DrawLineAADib(&dib, 10, 3, 0, 0, RGB(0, 0, 0));  // ends given bottom first
  EXPECT_EQ(DibAt(dib, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(DibAt(dib, 10, 3), RGB(0, 0, 0));
  int lastTop = 0;
  for (int x = 1; x <= 9; ++x) {
    std::vector<int> touched;
    int ink = 0;
    for (int y = 0; y < 6; ++y) {
      COLORREF c = DibAt(dib, x, y);
      EXPECT_EQ(GetRValue(c), GetBValue(c));
      if (c != RGB(255, 255, 255)) {
        touched.push_back(y);
        ink += 255 - GetRValue(c);
      }
    }
    // One pair of neighbours per column, sharing the whole colour between them.
    ASSERT_LE(touched.size(), 2u) << x;
    ASSERT_FALSE(touched.empty()) << x;
    EXPECT_LE(touched.back() - touched.front(), 1) << x;
    EXPECT_NEAR(ink, 255, 2) << x;
    EXPECT_GE(touched.front(), lastTop) << x;
    lastTop = touched.front();
  }
  EXPECT_EQ(DibAt(dib, 11, 3), RGB(255, 255, 255));
}

TEST(ChartGraphics, AntialiasedLineBlendsEachChannelTowardTheLine) {
  // A red line on green: every blended pixel lies between the two colours,
  // never black or yellow.
  EDibBitmap dib;
  dib.Create(nullptr, 20, 20);
  FillDib(dib, RGB(0, 255, 0));
  DrawLineAADib(&dib, 1, 1, 7, 18, RGB(255, 0, 0));
  int blended = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      COLORREF c = DibAt(dib, x, y);
      EXPECT_EQ(GetBValue(c), 0);
      EXPECT_NEAR(GetRValue(c) + GetGValue(c), 255, 1) << x << "," << y;
      if (c != RGB(0, 255, 0) && c != RGB(255, 0, 0)) ++blended;
    }
  EXPECT_GT(blended, 10);
}

TEST(ChartGraphics, AntialiasedLineOnAContextMatchesTheBitmapOne) {
  EDibBitmap dib, drawn;
  dib.Create(nullptr, 30, 20);
  drawn.Create(nullptr, 30, 20);
  FillDib(dib, RGB(30, 200, 90));
  FillDib(drawn, RGB(30, 200, 90));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, drawn.m_hBitmap);
  const int lines[][4] = {{2, 3, 27, 9}, {25, 1, 4, 18}, {5, 19, 9, 0}, {0, 10, 29, 10}, {3, 3, 13, 13}};
  for (const auto &l : lines) {
    DrawLineAADib(&dib, l[0], l[1], l[2], l[3], RGB(250, 20, 200));
    DrawLineAA(dc, l[0], l[1], l[2], l[3], RGB(250, 20, 200));
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(DibAt(drawn, x, y), DibAt(dib, x, y)) << x << "," << y;
}

TEST(ChartGraphics, AntialiasedLineStaysInsideTheImage) {
  EDibBitmap dib;
  dib.Create(nullptr, 10, 5);
  FillDib(dib, RGB(255, 255, 255));
  DrawLineAADib(&dib, -5, -7, 30, 9, RGB(0, 0, 255));
  DrawLineAADib(&dib, 3, 40, 9, -40, RGB(0, 0, 255));
  EDibBitmap empty;  // no bitmap: nothing is written
  DrawLineAADib(&empty, 0, 0, 5, 2, RGB(0, 0, 255));
  DrawLineAADib(nullptr, 0, 0, 5, 2, RGB(0, 0, 255));
  SUCCEED();
}

}  // namespace
