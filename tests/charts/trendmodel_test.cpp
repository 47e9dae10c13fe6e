// The minute-trend models without a window: one day's series, grids, time
// axis and points, and the days side by side with their common scales.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "charts/multitrend.h"
#include "charts/trendday.h"
#include "chart_world.h"

namespace charts_test {
namespace {

// n minute records as the agent delivers them: cumulative volume and
// amount, the price of minute k given.
std::vector<TRENDREC> Minutes(int n, const std::function<uint32_t(int)> &price, float perMinute = 10) {
  std::vector<TRENDREC> out(size_t(n > 0 ? n : 0));
  for (int k = 0; k < n; ++k) {
    TRENDREC &r = out[size_t(k)];
    r.price = r.firstPrice = r.highPrice = r.lowPrice = price(k);
    r.volume = perMinute * float(k + 1);
    r.amount = 1000.0f + 5.0f * float(k + 1);
  }
  return out;
}

VIEW_ATTR_13 Attr(STKPTR stock) {
  VIEW_ATTR_13 a{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &a);
  a.stock = stock;
  return a;
}

class TrendModel : public ChartWorld {
 protected:
  // One live day of the instrument laid out in a chart of w x h.
  void LayOut(CMultiTrend &t, const VIEW_ATTR_13 &a, int w, int h) {
    t.SetChartRect({0, 0, w, h});
    t.Layout(a, 60, 50, 18, 30, 16);
  }
  static std::vector<std::string> Labels(const _TickData &d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.GetTimeLabelCount(); ++i) out.push_back(d.GetTimeLabels()[i].text);
    return out;
  }
};

TEST(TrendHelpers, PriceUnitAndRounding) {
  struct Case {
    uint32_t divisor;
    int decimals;
    uint32_t unit;
  } cases[] = {{1000, 2, 10}, {1000, 3, 1}, {1000, 0, 1000}, {100, 2, 1}, {10000, 2, 100}, {1, 0, 1}, {0, 2, 1}};
  for (const Case &c : cases) EXPECT_EQ(GetPriceUnit(c.divisor, c.decimals), c.unit) << c.divisor << "/" << c.decimals;
  EXPECT_EQ(RoundToUnits(1005, 10), 101u);
  EXPECT_EQ(RoundToUnits(1004, 10), 100u);
  // Near 2^32 the rounding does not wrap to a small number.
  EXPECT_EQ(RoundToUnits(0xFFFFFFFFu, 10), 429496730u);
}

TEST(TrendHelpers, TimeSlotSearches) {
  const TIMESLOT axis[] = {{30, 9}, {31, 9}, {0, 13}, {1, 13}};
  EXPECT_EQ(FindTimeSlot(axis, 4, 0, 13), 2);
  EXPECT_EQ(FindTimeSlot(axis, 4, 29, 9), -1);
  EXPECT_EQ(FindTimeSlot(axis, 4, 2, 13), -1);
  EXPECT_EQ(FindTimeSlotInsertPos(axis, 4, 29, 9), 0);
  EXPECT_EQ(FindTimeSlotInsertPos(axis, 4, 45, 11), 2);
  EXPECT_EQ(FindTimeSlotInsertPos(axis, 4, 5, 15), 4);
}

TEST_F(TrendModel, PerMinuteDifferencingByMarketType) {
  // Stock-type markets difference volume and turnover; futures only the
  // volume (their amount is open interest). The first minute stays cumulative.
  struct Case {
    int market;
    bool amountDifferenced;
  } cases[] = {{SH, true}, {HK, true}, {DL, false}, {LM, false}};
  const auto in = Minutes(3, [](int) { return 10000u; });
  for (const Case &c : cases) {
    TRENDREC out[3];
    ASSERT_EQ(TrendToPerMinute(c.market, in.data(), 3, out), 3);
    EXPECT_FLOAT_EQ(out[0].volume, 10);
    EXPECT_FLOAT_EQ(out[2].volume, 10);
    EXPECT_FLOAT_EQ(out[0].amount, 1005);
    EXPECT_FLOAT_EQ(out[2].amount, c.amountDifferenced ? 5.0f : 1015.0f) << c.market;
  }
  EXPECT_EQ(TrendToPerMinute(SH, in.data(), 0, nullptr), 0);
}

TEST_F(TrendModel, SessionAxisAndTimeLines) {
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(241, [](int k) { return 10000u + uint32_t(k % 7) * 10; });
  CMultiTrend t;
  t.SetToday(day.data(), 241, a);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  EXPECT_EQ(d.GetTimeAxisCount(), 241);
  EXPECT_EQ(Labels(d), (std::vector<std::string>{"09:30", "10:00", "10:30", "11:00", "11:30", "13:30", "14:00",
                                                 "14:30", "15:00"}));
  // Slots carry the end of their minute, also without overlays.
  const TRENDPOINT *p = d.GetPoints();
  EXPECT_EQ(p[0].hour * 100 + p[0].minute, 930);
  EXPECT_EQ(p[119].hour * 100 + p[119].minute, 1129);
  EXPECT_EQ(p[120].hour * 100 + p[120].minute, 1130);
  EXPECT_EQ(p[121].hour * 100 + p[121].minute, 1301);
  EXPECT_EQ(p[240].hour * 100 + p[240].minute, 1500);
  // The first and the last point sit at the plot's ends.
  EXPECT_EQ(p[0].x, 1 + 60);
  EXPECT_EQ(p[240].x, 800 - 50 - 1);
}

TEST_F(TrendModel, PriceToYAtAndBeyondTheGridEnds) {
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(100, [](int k) { return 9800u + uint32_t(k) * 7; });
  CMultiTrend t;
  t.SetToday(day.data(), 100, a);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  const GRIDLINE *g = d.GetPriceGrid();
  const int b = d.GetPriceGridCount();
  ASSERT_GE(b, 3);
  EXPECT_EQ(d.PriceToY(g[0].value), g[0].y1 + 1);        // one pixel inside the top
  EXPECT_EQ(d.PriceToY(g[0].value + 50), g[0].y1 + 1);   // above: pinned there
  EXPECT_EQ(d.PriceToY(g[b - 1].value), g[b - 1].y1 - 2);  // two above the bottom
  EXPECT_EQ(d.PriceToY(g[b - 1].value - 50), g[b - 1].y1 - 2);
  // Reading a grid line back gives its value.
  EXPECT_EQ(d.YToPrice(g[1].y1), int(g[1].value));
  EXPECT_EQ(d.YToPrice(g[0].y1 - 1), -1);
}

TEST_F(TrendModel, ExtremesAreTheExactRawPrices) {
  // 1003 / 1000 as a double times 1000 is 1002.999...; the range must hold
  // the day's high itself.
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  for (uint32_t high : {1003u, 4003u, 8009u, 12345679u}) {
    const auto day = Minutes(3, [high](int k) { return k == 1 ? high : high - 1; });
    _TickData d;
    ASSERT_TRUE(d.LoadToday(day.data(), 3, a));
    EXPECT_EQ(d.divisor, 1000u);  // known before any layout
    EXPECT_EQ(d.GetMaxPrice(0), high);
    EXPECT_EQ(d.GetMinPrice(0), high - 1);
  }
}

TEST_F(TrendModel, BasePriceCases) {
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  {
    // A flat market: base +/- 10 %.
    REALQUOTE &q = PutQuote(SH, 1);
    q.high = q.low = 0;
    q.refPrice = q.prevClose = 10000;
    const auto day = Minutes(30, [](int) { return 10000u; });
    CMultiTrend t;
    t.SetToday(day.data(), 30, a);
    LayOut(t, a, 800, 500);
    EXPECT_EQ(t.Day(0)->basePrice, 10000u);
    EXPECT_EQ(t.GetMaxPrice(), 11000u);
    EXPECT_EQ(t.GetMinPrice(), 9000u);
  }
  {
    // A range under 0.01 % of the base is widened to +/- 0.01 %.
    REALQUOTE &q = PutQuote(SH, 1);
    q.high = q.low = 0;
    q.refPrice = q.prevClose = 10000000;
    const auto day = Minutes(30, [](int k) { return 10000000u + uint32_t(k % 2); });
    CMultiTrend t;
    t.SetToday(day.data(), 30, a);
    t.SetChartRect({0, 0, 800, 500});
    t.Layout(a, 60, 50, 18, 30, 16);
    const uint32_t base = t.Day(0)->basePrice;
    EXPECT_EQ(base, 10000000u);
    EXPECT_GE(t.GetMaxPrice(), 10001000u - 10);
    EXPECT_LE(t.GetMinPrice(), 9999000u + 10);
  }
}

TEST_F(TrendModel, GridFallsBackToTheHeightRule) {
  // Base 10.00, low 9.87: 13 intervals of one unit below the base, a prime
  // that no interval count between the bounds divides.
  REALQUOTE &q = PutQuote(SH, 1);
  q.refPrice = q.prevClose = 10000;
  q.high = q.low = 0;
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(30, [](int k) { return k == 0 ? 9870u : 10000u; });
  CMultiTrend t;
  t.SetToday(day.data(), 30, a);
  LayOut(t, a, 800, 600);
  EXPECT_EQ(t.GetGridHalfCount(), 0);
  EXPECT_EQ(t.Day(0)->gridStep, 0u);
  // The day's own line count from its height: 2 x floor(h / 60) + 1.
  const _TickData &d = *t.Day(0);
  const int h = d.pricePane.bottom - d.pricePane.top - 36;
  EXPECT_EQ(d.GetPriceGridCount(), 2 * (h / 60) + 1);
}

TEST_F(TrendModel, LabelsAreThinnedWhenCrowded) {
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(241, [](int) { return 10000u; });
  // Price labels: a pane so low that the first two lines are under 18
  // pixels apart carries none.
  {
    CMultiTrend t;
    t.SetToday(day.data(), 241, a);
    LayOut(t, a, 800, 90);
    const _TickData &d = *t.Day(0);
    ASSERT_GE(d.GetPriceGridCount(), 2);
    for (int i = 0; i < d.GetPriceGridCount(); ++i) EXPECT_EQ(d.GetPriceGrid()[i].shown, 0);
  }
  // Time labels: in a narrow chart only every i-th one.
  {
    CMultiTrend t;
    t.SetToday(day.data(), 241, a);
    LayOut(t, a, 230, 400);
    const _TickData &d = *t.Day(0);
    int shown = 0;
    for (int i = 0; i < d.GetTimeLabelCount(); ++i) shown += d.GetTimeLabels()[i].shown;
    EXPECT_EQ(d.GetTimeLabels()[0].shown, 1);
    EXPECT_LT(shown, d.GetTimeLabelCount());
    EXPECT_GT(shown, 0);
  }
}

TEST_F(TrendModel, VolumeScaleOfALittleTradedStock) {
  // A stock-type market with less volume than grid intervals: at least 100
  // per interval.
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(20, [](int) { return 10000u; }, 0.5f);
  CMultiTrend t;
  t.SetToday(day.data(), 20, a);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  const int c = d.GetVolumeGridCount() - 1;
  EXPECT_GE(t.GetMaxVolume(), 100.0f * float(c));
}

TEST_F(TrendModel, TallPaneKeepsItsGridsWithinCapacity) {
  // A maximised pane on a 4K screen asks for more than 60 lines; the grids
  // stay within theirs.
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(241, [](int k) { return 9000u + uint32_t(k) * 13; });
  for (float ratio : {0.7f, 1.0f, 0.1f}) {
    CMultiTrend t;
    t.SetToday(day.data(), 241, a);
    t.SetPriceRatio(ratio);
    LayOut(t, a, 3840, 2400);
    const _TickData &d = *t.Day(0);
    EXPECT_LE(d.GetPriceGridCount(), kTrendGridCapacity);
    EXPECT_LE(d.GetVolumeGridCount(), kTrendGridCapacity);
    EXPECT_GE(d.GetPriceGridCount(), 3);
  }
}

TEST_F(TrendModel, HiddenVolumePaneKeepsTimeLinesInThePricePane) {
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(241, [](int) { return 10000u; });
  CMultiTrend t;
  t.SetToday(day.data(), 241, a);
  t.SetPriceRatio(1.0f);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  EXPECT_EQ(d.splitY, -10);
  int top, bottom;
  d.GetVolumePaneSpan(&top, &bottom);
  EXPECT_EQ(top, -1);
  EXPECT_EQ(bottom, -1);
  for (int i = 0; i < d.GetTimeGridCount(); ++i) EXPECT_EQ(d.GetTimeGrid()[i].bottom, d.pricePane.bottom);
  EXPECT_GT(d.pricePane.bottom, 400);
}

TEST_F(TrendModel, PercentOfABaseUnderOneUnit) {
  // Base 0.05 shown with one decimal: B / u is 0, and every percent is 0
  // rather than a division by zero.
  Info(SH, 1).decimals = 1;
  REALQUOTE &q = PutQuote(SH, 1);
  q.refPrice = q.prevClose = 50;
  q.high = q.low = 0;
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(10, [](int k) { return 40u + uint32_t(k); });
  CMultiTrend t;
  t.SetToday(day.data(), 10, a);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  for (int i = 0; i < d.GetPriceGridCount(); ++i) EXPECT_FALSE(std::isnan(d.GetPriceGrid()[i].percent));
}

TEST_F(TrendModel, DayWithoutRecordsHasGridsButNoLines) {
  REALQUOTE &q = PutQuote(SH, 1);
  q.last = 0;  // no trade yet: the day stays empty
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(10, [](int) { return 10000u; });
  CMultiTrend t;
  t.SetToday(day.data(), 10, a);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  EXPECT_EQ(d.GetCount(), 0);
  EXPECT_GT(d.GetPriceGridCount(), 0);
  EXPECT_GT(d.GetTimeLabelCount(), 0);
  EXPECT_EQ(d.GetSecondLine(), nullptr);
  EXPECT_EQ(d.GetAdvanceDeclineBars(), nullptr);
  EXPECT_NE(d.date, 0u);
}

TEST_F(TrendModel, OverlayFromAnotherTimeZoneIsShifted) {
  PutQuote(SH, 1);
  PutQuote(SZ, 0);
  MarketTable.markets[SZ]->m_info.hourOffset = 9;  // an hour ahead of the main market
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(241, [](int) { return 10000u; });
  CMultiTrend t;
  t.SetToday(day.data(), 241, a);
  t.SetTodayOverlay(day.data(), 241, Stock(SZ, 0), 0);
  LayOut(t, a, 800, 500);
  const _TickData &d = *t.Day(0);
  const TRENDPOINT *main = d.GetPoints(), *over = d.GetOverlayPoints(0);
  ASSERT_NE(over, nullptr);
  EXPECT_EQ(over[0].hour, main[0].hour - 1);
  EXPECT_EQ(over[0].minute, main[0].minute);
  EXPECT_GT(d.GetTimeAxisCount(), 241);
  EXPECT_LT(over[0].x, main[0].x + 1);
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(TrendModel, OverlayBeyondOneDayIsRefused) {
  // The main market trades 15 hours; an overlay twelve hours away would
  // need a 1442nd slot.
  PutQuote(LM, 0);
  PutQuote(GJ, 0);
  MKINFO &gj = MarketTable.markets[GJ]->m_info;
  gj.hourOffset = 20;
  gj.kinds[0].sessionCount = 1;
  gj.kinds[0].open[0] = 480;
  gj.kinds[0].close[0] = 1380;
  gj.kinds[0].minutesPerDay = 900;
  const VIEW_ATTR_13 a = Attr(Stock(LM, 0));
  const auto day = Minutes(901, [](int) { return 10000u; });
  CMultiTrend t;
  t.SetToday(day.data(), 901, a);
  t.SetTodayOverlay(day.data(), 901, Stock(GJ, 0), 0);
  LayOut(t, a, 800, 500);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "叠加品种后时间轴大于1天，无法完成叠加。");
  EXPECT_LE(t.Day(0)->GetTimeAxisCount(), kTrendAxisLimit);
}

TEST_F(TrendModel, TenDaysSideBySide) {
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(241, [](int k) { return 10000u + uint32_t(k % 11); });
  CMultiTrend t;
  t.SetToday(day.data(), 241, a);
  for (int i = 0; i < 9; ++i) {
    ASSERT_TRUE(t.AddHistoryDay(day.data(), 241, a));
    t.Day(0)->date = MakePackedDateTime(2024, 3, 1 + unsigned(i), 0, 0);
  }
  ASSERT_EQ(t.DayCount(), 10);
  LayOut(t, a, 1110, 500);
  for (int i = 0; i < 10; ++i) {
    const TRENDRECT &r = t.DayRect(i);
    // Each day gets a tenth of the inner width; the outer days carry the axes.
    const int axes = (i == 0 ? 60 : 0) + (i == 9 ? 50 : 0);
    EXPECT_NEAR(r.right - r.left, 100 + axes, 1) << i;
    const _TickData &d = *t.Day(i);
    const int n = d.GetTimeGridCount();
    ASSERT_GE(n, 2);
    for (int k = 0; k < n; ++k) EXPECT_EQ(d.GetTimeGrid()[k].emphasis, (k == 0 || k == n - 1) ? 1 : 0);
  }
  EXPECT_EQ(t.Day(0)->position, 2);
  EXPECT_EQ(t.Day(5)->position, 4);
  EXPECT_EQ(t.Day(9)->position, 3);
}

TEST_F(TrendModel, HitTestsAndCursorStepping) {
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto one = Minutes(1, [](int) { return 10000u; });
  const auto day = Minutes(3, [](int) { return 10000u; });
  CMultiTrend t;
  t.SetToday(one.data(), 1, a);
  LayOut(t, a, 800, 500);
  // A day of one point: x on the point selects it.
  const int x0 = t.Day(0)->GetPoints()[0].x;
  bool history = true;
  EXPECT_NE(t.FindPointAtX(x0, &history), nullptr);
  EXPECT_FALSE(history);
  EXPECT_EQ(t.FindPointAtX(x0 + 5, &history), nullptr);

  // Two days: stepping right crosses into the live day, left back again.
  ASSERT_TRUE(t.AddHistoryDay(day.data(), 3, a));
  LayOut(t, a, 800, 500);
  t.HitTest(t.Day(0)->GetPoints()[2].x);
  EXPECT_EQ(t.CursorDay(), 0);
  EXPECT_EQ(t.CursorPoint(), 2);
  int x = 0;
  EXPECT_EQ(t.NextPoint(&x), &t.Day(1)->GetPoints()[0]);
  EXPECT_EQ(t.NextPoint(&x), &t.Day(1)->GetPoints()[0]);  // the last point of the last day stays
  EXPECT_EQ(t.PrevPoint(&x), &t.Day(0)->GetPoints()[2]);
  t.SetCursor(0, 0, 0);
  EXPECT_EQ(t.PrevPoint(&x), &t.Day(0)->GetPoints()[0]);  // the first point of the first day stays
}

TEST_F(TrendModel, DayListEdits) {
  CMultiTrend t;
  t.DropOldestDay();  // nothing to drop
  PutQuote(SH, 1);
  const VIEW_ATTR_13 a = Attr(Stock(SH, 1));
  const auto day = Minutes(3, [](int) { return 10000u; });
  t.SetToday(day.data(), 3, a);
  t.KeepLastDay();  // one day: stays
  ASSERT_EQ(t.DayCount(), 1);
  t.AddHistoryDay(nullptr, 0, a);
  t.AddHistoryDay(nullptr, 0, a);
  EXPECT_EQ(t.DayCount(), 3);
  _TickData *live = t.Day(2);
  t.KeepLastDay();
  ASSERT_EQ(t.DayCount(), 1);
  EXPECT_EQ(t.Day(0), live);
  EXPECT_EQ(live->history, 0);
}

}  // namespace
}  // namespace charts_test
