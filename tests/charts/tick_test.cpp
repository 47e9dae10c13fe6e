#include "charts/tick.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart_world.h"
#include "trade_fixture.h"
#include "platform/profile.h"

namespace charts_test {
namespace {

class TickModel : public ChartWorld {
 protected:
  static VIEW_ATTR_13 Attr(STKPTR stock) { return IntradayAttr(stock); }
  // A pane whose plot is `width` pixels wide between margins of 10 and 0.
  void Lay(_Tick &tick, std::vector<TICKREC> &trades, const VIEW_ATTR_13 &attr, int width = 200,
           int height = 300) {
    tick.SetTicks(trades.data(), int(trades.size()), attr);
    tick.SetPaneRect(RECT{0, 0, width + 10, height}, 10, 0, 18, 16);
    tick.Layout(attr);
  }
};

TEST_F(TickModel, ZoomLevelsAndAMissingKey) {
  struct Case {
    int level;
    float zoom;
  } cases[] = {{0, 0.25f}, {1, 0.5f}, {3, 2.0f}, {5, 4.0f}, {8, 7.0f}};
  for (const Case &c : cases) EXPECT_EQ(TickZoomOfLevel(c.level), c.zoom) << c.level;
  const std::string file = std::string(UserDataPath) + "clrfont.INI";
  EXPECT_EQ(_Tick().zoom, 2.0f);  // no key: level 3
  WritePrivateProfileStringA("Parameter", "TickZoomLevel", "0", file.c_str());
  EXPECT_EQ(_Tick().zoom, 0.25f);
}

TEST_F(TickModel, TheWindowKeepsATenthFreeAndFollowsTheNewestTrades) {
  PutQuote(DL, 0).refPrice = 3000000;
  std::vector<TICKREC> trades;
  for (int i = 0; i < 1000; ++i) trades.push_back(MakeTrade(3000000 + 1000 * (i % 7)));
  _Tick tick;
  tick.zoom = 1.0f;
  const VIEW_ATTR_13 attr = Attr(Stock(DL, 0));
  Lay(tick, trades, attr);
  EXPECT_EQ(tick.capacity, 200);
  EXPECT_EQ(tick.windowStart, 820);
  EXPECT_EQ(tick.windowEnd, 1000);
  EXPECT_EQ(tick.GetVisibleCount(), 180);
  EXPECT_EQ(tick.GetPoints()[0].x, 11);
  EXPECT_EQ(tick.GetPoints()[179].x, 190);

  // Scrolled back a page the window shows a full capacity; a start past the
  // last trade is pulled back.
  tick.windowStart = 500;
  tick.Layout(attr);
  EXPECT_EQ(tick.windowStart, 500);
  EXPECT_EQ(tick.windowEnd, 700);
  tick.windowStart = 5000;
  tick.Layout(attr);
  EXPECT_EQ(tick.windowStart, 820);
  EXPECT_EQ(tick.windowEnd, 1000);
}

TEST_F(TickModel, PriceGridCoversTheTradesAndTheAverage) {
  // Divisor 1000 and two decimals: unit 10.
  struct Case {
    const char *name;
    uint32_t reference;
    std::vector<uint32_t> prices;
    float volume;
    int64_t low, high;  // the grid must reach these (raw)
    bool average;
  } cases[] = {
      {"flat", 3000000, {3000000, 3000000}, 1, 2999980, 3000020, true},
      {"spread", 3000000, {2990000, 3010000, 3005000}, 1, 2990000, 3010000, true},
      {"no volume", 3000000, {3000000, 3004000}, 0, 3000000, 3004000, false},
      // No reference and no trades: 0 to 2D around D.
      {"empty", 0, {}, 1, 0, 2000, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    PutQuote(DL, 0).refPrice = c.reference;
    std::vector<TICKREC> trades;
    for (uint32_t p : c.prices) trades.push_back(MakeTrade(p, c.volume));
    _Tick tick;
    Lay(tick, trades, Attr(Stock(DL, 0)));
    ASSERT_GE(tick.GetPriceGridCount(), 5);
    EXPECT_LE(tick.lowest, c.low);
    EXPECT_GE(tick.highest, c.high);
    const GRIDLINE *grid = tick.GetPriceGrid();
    for (int i = 1; i < tick.GetPriceGridCount(); ++i) EXPECT_GT(grid[i].y1, grid[i - 1].y1);
    EXPECT_EQ(tick.GetAveragePoints() != nullptr, c.average);
    if (std::string(c.name) == "empty") {
      EXPECT_EQ(tick.lowest, 0);
      EXPECT_EQ(tick.highest, 2000);
    }
    for (int i = 0; i < tick.GetVisibleCount(); ++i) {
      EXPECT_GE(tick.GetPoints()[i].y, grid[0].y1);
      EXPECT_LE(tick.GetPoints()[i].y, grid[tick.GetPriceGridCount() - 1].y1);
    }
  }
}

TEST_F(TickModel, VolumePaneBarsOpenInterestAndItsLineCap) {
  PutQuote(DL, 0).refPrice = 3000000;
  std::vector<TICKREC> trades = {MakeTrade(3000000, 10, 500, 0), MakeTrade(3001000, 20, 500, 1)};
  _Tick tick;
  const VIEW_ATTR_13 attr = Attr(Stock(DL, 0));
  Lay(tick, trades, attr);
  int top = 0, bottom = 0;
  tick.GetVolumePaneSpan(&top, &bottom);
  ASSERT_NE(tick.GetVolumeBars(), nullptr);
  EXPECT_EQ(tick.GetVolumeBars()[0].rawPrice, 0u);
  EXPECT_EQ(tick.GetVolumeBars()[1].rawPrice, 1u);
  EXPECT_LT(tick.GetVolumeBars()[1].y, tick.GetVolumeBars()[0].y);
  // No change of open interest: the line lies on the bottom of the pane.
  ASSERT_NE(tick.GetOpenInterestLine(), nullptr);
  EXPECT_EQ(tick.GetOpenInterestLine()[0].y, bottom);

  // A very tall pane still gets at most 60 volume lines.
  Lay(tick, trades, attr, 200, 8000);
  EXPECT_LE(tick.GetVolumeGridCount(), 60);
  EXPECT_GT(tick.GetVolumeGridCount(), 50);
  // Stocks have no open-interest line.
  PutQuote(SH, 1);
  std::vector<TICKREC> stock = {MakeTrade(10000, 10, 500, 0)};
  Lay(tick, stock, Attr(Stock(SH, 1)));
  EXPECT_EQ(tick.GetOpenInterestLine(), nullptr);
}

TEST_F(TickModel, CursorSelectsSingleTradesWithinTheWindow) {
  PutQuote(DL, 0).refPrice = 3000000;
  std::vector<TICKREC> one = {MakeTrade(3000000)};
  _Tick tick;
  tick.zoom = 4.0f;
  const VIEW_ATTR_13 attr = Attr(Stock(DL, 0));
  Lay(tick, one, attr);
  // A window of one trade can be selected.
  const int x0 = tick.GetPoints()[0].x;
  EXPECT_EQ(tick.HitTest(x0), &one[0]);
  EXPECT_EQ(tick.HitTest(x0 + 1), nullptr);

  std::vector<TICKREC> three = {MakeTrade(3000000), MakeTrade(3001000), MakeTrade(3002000)};
  Lay(tick, three, attr);
  const TRENDPOINT *p = tick.GetPoints();
  EXPECT_EQ(tick.HitTest(p[0].x + 1), &three[1]);
  EXPECT_EQ(tick.HitTest(p[2].x), &three[2]);
  int x = 0, y = 0;
  EXPECT_EQ(tick.NextTick(&x, &y), &three[2]);  // stays on the last
  EXPECT_EQ(x, p[2].x);
  EXPECT_EQ(tick.PrevTick(&x, &y), &three[1]);
  EXPECT_EQ(tick.PrevTick(&x, &y), &three[0]);
  EXPECT_EQ(tick.PrevTick(&x, &y), &three[0]);  // stays on the first
  EXPECT_EQ(tick.YToPrice(0, true), 3000000);
}

}  // namespace
}  // namespace charts_test
