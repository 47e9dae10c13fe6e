// The user's positions and pending orders drawn over the main window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formula/indexpaint.h"
#include "testing/index_window.h"
#include "tests/formula/formula_support.h"

namespace {

using formula_test::DailyBars;
using testing_support::IndexWindowRender;

IndexPositionMark Position(char direction, int32_t volume, double price, int32_t multiplier) {
  IndexPositionMark m{};
  m.direction = direction;
  m.volume = volume;
  m.price = int32_t(price * 1000);
  m.multiplier = multiplier;
  return m;
}

IndexOrderMark Order(char direction, char offset, int32_t volume, double price) {
  IndexOrderMark o{};
  o.direction = direction;
  o.offset = offset;
  o.volume = volume;
  o.price = int32_t(price * 1000);
  return o;
}

TEST(TradeMarks, Labels) {
  const struct {
    IndexPositionMark m;
    double last;
    const char *label, *profit;
  } positions[] = {
      {Position('0', 2, 3520, 10), 3530, "3520.00 买2手", "盈200"},
      {Position('1', 2, 3520, 10), 3530, "3520.00 卖2手", "亏200"},
      {Position('0', 2, 3520, 10), 0, "3520.00 买2手", "盈0"},
  };
  for (const auto &c : positions) {
    char label[64], profit[64];
    FormatPositionMark(c.m, c.last, 2, label, sizeof label, profit, sizeof profit);
    EXPECT_STREQ(label, c.label);
    EXPECT_STREQ(profit, c.profit);
  }
  const struct {
    IndexOrderMark o;
    const char *label;
  } orders[] = {
      {Order('0', '0', 3, 3510.5), "3510.50 买开3手"},
      {Order('1', '1', 1, 3510), "3510.00 卖平1手"},
      {Order('1', '3', 1, 3510), "3510.00 卖平今1手"},
  };
  for (const auto &c : orders) {
    char label[64];
    FormatOrderMark(c.o, 2, label, sizeof label);
    EXPECT_STREQ(label, c.label);
  }
}

struct MarkWindow : IndexWindowRender {
  MarkWindow() {
    EXPECT_TRUE(Load("X:C;", DailyBars({3500, 3540})));
    fixedRange = true;
    minimum = 3400;
    maximum = 3580;  // one pixel per unit
  }
  int Y(double v) const { return plot.bottom - int(v - minimum); }
  COLORREF Colour(int nn) const { return scheme.colors[nn - 1]; }
};

TEST(TradeMarks, PositionsShowProfitInItsColour) {
  for (char direction : {'0', '1'}) {
    MarkWindow w;
    const IndexPositionMark marks[4] = {Position(direction, 2, 3520, 10)};
    w.positions = marks;
    w.lastPrice = 3530;
    w.Paint();
    EXPECT_EQ(w.Pixel(w.plot.right - 5, w.Y(3520)), w.Colour(45));  // the 2-pixel price line
    const RECT box{w.plot.left, w.Y(3520) - 16, w.plot.right, w.Y(3520)};
    EXPECT_EQ(w.Count(w.Colour(3), box) > 0, direction == '0');
    EXPECT_EQ(w.Count(w.Colour(2), box) > 0, direction == '1');
  }
}

TEST(TradeMarks, OrdersAboveTheRangeSitOnItsTopRow) {
  MarkWindow w;
  const IndexOrderMark marks[4] = {Order('0', '0', 1, 3700)};
  w.orders = marks;
  w.Paint();
  const int top = w.plot.top + kIndexLegendHeight;
  int dots = 0;
  for (int x = 150; x < w.plot.right; ++x) dots += w.Pixel(x, top) == w.Colour(44);
  EXPECT_GT(dots, 10);
  // Near the legend line the box hangs below the line.
  EXPECT_EQ(w.Pixel(w.plot.left + 1, top + 15), w.Colour(44));
}

TEST(TradeMarks, ListsEndAtAZeroVolume) {
  MarkWindow w;
  const IndexPositionMark none[4] = {Position('0', 0, 3520, 10), Position('0', 2, 3450, 10)};
  w.positions = none;
  w.Paint();
  EXPECT_EQ(w.Count(w.Colour(45)), 0);
  const IndexPositionMark middle[4] = {Position('0', 1, 3520, 10), Position('0', 0, 3500, 10),
                                       Position('0', 2, 3450, 10)};
  w.positions = middle;
  w.Paint();
  EXPECT_EQ(w.Pixel(w.plot.right - 5, w.Y(3520)), w.Colour(45));
  EXPECT_NE(w.Pixel(w.plot.right - 5, w.Y(3450)), w.Colour(45));
}

}  // namespace
