// The indicator painter's output lines probed pixel by pixel, and the hit
// test of the lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formula/indexpaint.h"
#include "formula/kvindex.h"
#include "testing/index_window.h"
#include "tests/formula/formula_support.h"

namespace {

using formula_test::DailyBars;
using testing_support::IndexWindowRender;

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A window whose axis maps value v to row 197 - v (one pixel per unit over
// [0, 180]); bar i spans columns 6i + 1 .. 6i + 5 (centre 6i + 3).
struct Plot : IndexWindowRender {
  Plot(int width = 300, int height = 200, int scaleWidth = 50) : IndexWindowRender(width, height, scaleWidth) {
    fixedRange = true;
    minimum = 0;
    maximum = plot.bottom - plot.top - kIndexLegendHeight;
  }
  int Y(double v) const { return plot.bottom - int(v); }
  COLORREF Colour(int nn) const { return scheme.colors[nn - 1]; }
};

TEST(IndexPainter, CandlesFilledHollowFlatAndThin) {
  // Bar 0 rising 50 -> 100, bar 1 falling 100 -> 50, bar 2 flat at 80.
  const auto bars = DailyBars({100, 50, 80}, 100, {50, 100, 80}, {120, 110, 90}, {40, 45, 70});
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    Plot w;
    ASSERT_TRUE(w.Load("K:C,KSTICK;", bars));
    SetIndexKLineMode(mode);
    w.Paint();
    EXPECT_EQ(w.Pixel(1, w.Y(75)), w.Colour(3));                              // rising body edge
    EXPECT_EQ(w.Pixel(2, w.Y(75)), mode ? w.Colour(1) : w.Colour(3));         // hollow inside with KLineMode
    EXPECT_EQ(w.Pixel(8, w.Y(75)), w.Colour(2));                              // falling: always filled
    EXPECT_EQ(w.Pixel(3, w.Y(110)), w.Colour(3));                             // upper wick
    EXPECT_EQ(w.Pixel(15, w.Y(80)), ~w.Colour(1) & 0xFFFFFF);                 // flat: a line in the inverse
    EXPECT_EQ(w.Pixel(16, w.Y(80)), ~w.Colour(1) & 0xFFFFFF);
  }
  // Bars of half a pixel: a flat candle is one pixel in the rising colour.
  Plot thin;
  ASSERT_TRUE(thin.Load("K:C,KSTICK;", DailyBars({80, 80}, 100, {80, 80}, {80, 80}, {80, 80})));
  thin.barWidth = 0.5;
  thin.barGap = 0;
  thin.count = 2;
  thin.Paint();
  EXPECT_EQ(thin.Pixel(0, thin.Y(80)), thin.Colour(3));
}

TEST(IndexPainter, HighestAndLowestMarksTurnAwayFromTheEdge) {
  Plot w;
  ASSERT_TRUE(w.Load("K:C,KSTICK;", DailyBars({100, 60, 80}, 100, {90, 70, 70}, {150, 90, 85}, {80, 55, 20})));
  w.Paint();
  // The highest bar is the first, at the plot's left edge: its arrow points at it from the right.
  const int xm = 3, yH = w.Y(150);
  EXPECT_EQ(w.Pixel(xm + 1, yH), w.Colour(13));
  EXPECT_EQ(w.Pixel(xm + 3, yH - 2), w.Colour(13));
  EXPECT_EQ(w.Pixel(xm + 11, yH), w.Colour(13));
  EXPECT_NE(w.Pixel(xm - 1, yH), w.Colour(13));
}

TEST(IndexPainter, AMissingBarLeavesAGap) {
  Plot w;
  auto bars = DailyBars({50, 50, 50, 50});
  const std::vector<uint32_t> axis{bars[0].time, bars[1].time, bars[2].time, bars[3].time};
  bars.erase(bars.begin() + 1);
  ASSERT_TRUE(w.Load("X:C;", bars));
  w.times = axis;
  w.Paint();
  const int y = w.Y(50);
  for (int x = 4; x < 15; ++x) EXPECT_EQ(w.Pixel(x, y), w.Colour(1)) << x;   // positions 0 .. 2
  for (int x = 15; x < 21; ++x) EXPECT_EQ(w.Pixel(x, y), w.Colour(4)) << x;  // positions 2 .. 3
}

TEST(IndexPainter, VolumeColumnsStandOnTheBottomRowOverAPositiveRange) {
  Plot w;
  ASSERT_TRUE(w.Load("V:C,VOLSTICK;", DailyBars({100, 60}, 100, {50, 90})));
  w.minimum = 40;
  w.maximum = 220;  // one pixel per unit from 40 up
  w.Paint();
  EXPECT_EQ(w.Pixel(2, w.plot.bottom - 1), w.Colour(3));  // bar 0 rising
  EXPECT_EQ(w.Pixel(8, w.plot.bottom - 1), w.Colour(2));  // bar 1 falling
  EXPECT_EQ(w.Pixel(2, w.Y(100 - 40) - 1), w.Colour(1));
}

TEST(IndexPainter, StickStylesTakeTheirColoursFromTheSign) {
  Plot w;
  ASSERT_TRUE(w.Load("X:C-50,COLORSTICK;Y:C-50,STICK,COLOR00FF00;", DailyBars({80, 20})));
  w.minimum = -90;
  w.maximum = 90;
  w.Paint();
  const IndexValueAxis axis(w.plot, -90, 90, 0);
  EXPECT_EQ(w.Pixel(3, axis.Y(20)), RGB(0, 255, 0));  // the later STICK covers it
  EXPECT_EQ(w.Pixel(9, axis.Y(-20)), RGB(0, 255, 0));
  Plot c;
  ASSERT_TRUE(c.Load("X:C-50,COLORSTICK;", DailyBars({80, 20})));
  c.minimum = -90;
  c.maximum = 90;
  c.Paint();
  EXPECT_EQ(c.Pixel(3, axis.Y(20)), c.Colour(3));
  EXPECT_EQ(c.Pixel(9, axis.Y(-20)), c.Colour(2));
}

TEST(IndexPainter, ALineOnTheBackgroundEntryIsNeitherDrawnNorHit) {
  const auto bars = DailyBars(std::vector<double>(10, 50));
  for (const char *text : {"X:C,COLORSYSCOLOR00;", "X:C,COLOR000000;"}) {
    SCOPED_TRACE(text);
    Plot w;
    ASSERT_TRUE(w.Load(text, bars));
    w.formula.selected = 1;  // marks show where the line was painted
    w.Paint();
    const bool literal = std::string(text).find("SYSCOLOR") == std::string::npos;
    EXPECT_EQ(w.Count(kWhite) > 0, literal);
    EXPECT_EQ(w.formula.HitTest(POINT{12, w.Y(50)}, w.plot, w.Window(), w.barWidth, w.barGap, w.minimum,
                                w.maximum, 0),
              literal);
  }
}

TEST(IndexPainter, HitTestsWithinTwoPixels) {
  Plot w;
  ASSERT_TRUE(w.Load("X:C;", DailyBars({50, 50, 50, 50})));
  const int y = w.Y(50);
  const struct {
    int x, y;
    bool hit;
  } cases[] = {
      {12, y, true},  {12, y + 2, true}, {12, y - 2, true}, {12, y + 3, false}, {12, y - 3, false},
      {6, y + 3, true},  // the first point of the run: within 3 pixels both ways
      {0, y + 3, true},  {-1, y, false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(w.formula.HitTest(POINT{c.x, c.y}, w.plot, w.Window(), w.barWidth, w.barGap, w.minimum, w.maximum, 0),
              c.hit)
        << c.x << "," << c.y;
  Plot nan;
  ASSERT_TRUE(nan.Load("X:LN(C-50);", DailyBars({50, 50})));
  EXPECT_FALSE(nan.formula.HitTest(POINT{3, nan.Y(0)}, nan.plot, nan.Window(), 5, 1, 0, 180, 0));
}

TEST(IndexPainter, SelectionMarksEverySeventyPixels) {
  Plot w(760, 200, 60);
  ASSERT_TRUE(w.Load("X:C;", DailyBars(std::vector<double>(70, 50))));
  w.barWidth = 8;
  w.barGap = 2;
  w.formula.selected = 1;
  w.Paint();
  std::vector<int> starts;
  const int row = w.Y(50) - 2;
  for (int x = 0; x < w.plot.right; ++x)
    if (w.Pixel(x, row) == kWhite && w.Pixel(x - 1, row) != kWhite) starts.push_back(x);
  ASSERT_EQ(starts.size(), 10u);
  for (size_t k = 1; k < starts.size(); ++k) EXPECT_EQ(starts[k] - starts[k - 1], 70);
  w.formula.selected = 0;
  w.Paint();
  EXPECT_EQ(w.Count(kWhite), 0);
}

TEST(IndexPainter, VolumeBandsGrowFromTheRightEdge) {
  Plot w;
  ASSERT_TRUE(w.Load("X:C,LINETHICK0,SSL_KIVOINTERNAL;", DailyBars({20, 20, 20, 160})));
  w.Paint();
  // Blended COLOR05 over the background: the fullest band spans the plot.
  const COLORREF plain = w.Pixel(5, w.plot.top + 30);
  EXPECT_EQ(plain, w.Colour(1));
  int tinted = 0;
  // Value 20 lies in band 1 of 12; the bands stack 15 rows apart from the top.
  const int row = w.plot.top + kIndexLegendHeight + 6 + 10 * 15 + 2;
  for (int x = 1; x < w.plot.right - 1; ++x) tinted += w.Pixel(x, row) != w.Colour(1);
  EXPECT_GT(tinted, (w.plot.right - w.plot.left) / 2);
}

TEST(IndexPainter, NothingWithoutOverlapOrHeight) {
  Plot w(300, 19, 50);  // a plot of 16 pixels: below the legend line
  ASSERT_TRUE(w.Load("X:C;", DailyBars({50, 60})));
  w.Paint();
  EXPECT_EQ(w.Count(w.Colour(1)), (w.plot.right - w.plot.left) * (w.plot.bottom - w.plot.top));
}

}  // namespace
