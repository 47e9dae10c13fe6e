// Window statistics, the two stop-and-reverse functions and the zigzag.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/emem.h"
#include "testing/msgbox_recorder.h"
#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {

class StatsTest : public ::testing::Test {
 protected:
  StatsTest() : stock(market.Add(3, "CU1009", 100)), calc(market, stock) {}
  std::vector<double> Eval(const std::string &expression, const std::vector<double> &closes) {
    return calc.Eval(expression, DailyBars(closes));
  }

  FakeMarket market;
  const FakeStock &stock;
  Calc calc;
};

TEST_F(StatsTest, Definitions) {
  const struct {
    const char *expression;
    std::vector<double> closes;
    std::vector<double> values;
  } cases[] = {
      {"STD(C,1)", {1, 3, 8}, {0, 0, 0}},
      {"VAR(C,1)", {1, 3, 8}, {0, 0, 0}},
      {"VARP(C,1)", {1, 3, 8}, {0, 0, 0}},
      {"STD(C,2)", {1, 3}, {0, std::sqrt(2.0)}},
      {"STDP(C,2)", {1, 3}, {0, 1}},
      {"VAR(C,2)", {1, 3}, {0, 2}},
      {"VARP(C,0)", {1, 3, 5}, {0, 1, 8.0 / 3}},
      {"AVEDEV(C,3)", {1, 2, 3, 6}, {0, 0.5, 2.0 / 3, 14.0 / 9}},
      {"DEVSQ(C,0)", {1, 2, 3}, {0, 0.5, 2}},
      {"DEVSQ(C,-1)", {1, 2}, {0, 0}},
      {"STD(C,3)", {5, 5, 5}, {0, 0, 0}},
  };
  for (const auto &c : cases) EXPECT_TRUE(Near(Eval(c.expression, c.closes), c.values, 1e-12)) << c.expression;
}

std::vector<double> Closes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<double> c;
  double price = 50;
  for (size_t i = 0; i < n; ++i) {
    price = std::max(1.0, price + int(random() % 41 - 20) / 10.0);
    c.push_back(price);
  }
  return c;
}

// The statistics of each bar's window computed here, the deviations around
// the window mean, the variances by the one-pass formula.
struct Stats {
  double aveDev, devSq, var, varP;
};
Stats WindowStats(const std::vector<double> &x, size_t t, size_t n) {
  const size_t first = n == 0 || n > t ? 0 : t - n + 1;
  const double m = double(t - first + 1);
  double sum = 0, squares = 0;
  for (size_t i = first; i <= t; ++i) {
    sum += x[i];
    squares += x[i] * x[i];
  }
  const double mean = sum / m;
  Stats s{0, 0, 0, 0};
  for (size_t i = first; i <= t; ++i) {
    s.aveDev += std::fabs(x[i] - mean);
    s.devSq += (x[i] - mean) * (x[i] - mean);
  }
  s.aveDev /= m;
  if (m > 1) {
    s.var = (m * squares - sum * sum) / (m * (m - 1));
    s.varP = (m * squares - sum * sum) / (m * m);
  }
  return s;
}

TEST_F(StatsTest, WindowStatisticsMatchTheirDefinitions) {
  const auto x = Closes(400, 12);
  for (size_t n : {2u, 5u, 20u, 0u, 300u}) {
    std::vector<double> aveDev, devSq, var, varP, std, stdP;
    for (size_t t = 0; t < x.size(); ++t) {
      const Stats s = WindowStats(x, t, n);
      aveDev.push_back(s.aveDev);
      devSq.push_back(s.devSq);
      var.push_back(s.var);
      varP.push_back(s.varP);
      std.push_back(s.var > 0 ? std::sqrt(s.var) : 0);
      stdP.push_back(s.varP > 0 ? std::sqrt(s.varP) : 0);
    }
    const std::string N = std::to_string(n);
    EXPECT_TRUE(Near(Eval("AVEDEV(C," + N + ")", x), aveDev, 1e-9)) << n;
    EXPECT_TRUE(Near(Eval("DEVSQ(C," + N + ")", x), devSq, 1e-9)) << n;
    EXPECT_TRUE(Near(Eval("VAR(C," + N + ")", x), var, 1e-9)) << n;
    EXPECT_TRUE(Near(Eval("VARP(C," + N + ")", x), varP, 1e-9)) << n;
    EXPECT_TRUE(Near(Eval("STD(C," + N + ")", x), std, 1e-9)) << n;
    EXPECT_TRUE(Near(Eval("STDP(C," + N + ")", x), stdP, 1e-9)) << n;
  }
}

// Beyond 8192 bars the cumulative window is computed without a record, and
// gives the value of the definition.
TEST_F(StatsTest, CumulativeVarianceBeyondTheLongRing) {
  const auto x = Closes(8200, 3);
  const auto v = Eval("VAR(C,0)", x);
  for (size_t t : {size_t(8190), size_t(8191), size_t(8192), size_t(8199)})
    EXPECT_NEAR(v[t], WindowStats(x, t, 0).var, 1e-9 * WindowStats(x, t, 0).var) << t;
}

// Bars (open, high, low, close) for the stop-and-reverse fixtures.
std::vector<KLINEBAR> SarBars() {
  return DailyBars({10.5, 11.5, 12.5, 10.5, 10}, 100, {10, 10.5, 11.5, 12.5, 10.5}, {11, 12, 13, 12.8, 11},
                   {9, 10, 11, 10.2, 9.5});
}

// SAR(2,10,20): from the lowest low of the window at bar 0 (the window did
// not fall), stepping toward the kept extreme with the factor rising from
// 0.1 to at most 0.2, until bar 3 breaks below; bar 4 starts a fall at the
// highest high of the two bars before.
TEST_F(StatsTest, StopAndReverse) {
  EXPECT_TRUE(Near(calc.Eval("SAR(2,10,20)", SarBars()), {9, 9.2, 9.76, 10.408, 13}, 1e-12));
  // The variant tests the closes and always steps toward the window's high.
  EXPECT_TRUE(Near(calc.Eval("SAR_KIVO(2,10,20)", SarBars()), {9.2, 9.56, 10.048, 10.6384, 13}, 1e-12));
  // The first bar closing above its open starts at its own low.
  EXPECT_EQ(calc.Eval("SAR(10,2,20)", SarBars())[0], 9);
  EXPECT_EQ(calc.Eval("SAR(0,2,20)", SarBars()), std::vector<double>(5, 0.0));
  EXPECT_EQ(calc.Eval("SAR(0.5,2,20)", SarBars()), std::vector<double>(5, 0.0));
  EXPECT_EQ(calc.Eval("SAR_KIVO(-1,2,20)", SarBars()), std::vector<double>(5, 0.0));
  // A window that fell starts from its highest high.
  auto falling = SarBars();
  falling[0].open = falling[0].close + 100;
  falling[0].high = falling[0].open;
  EXPECT_EQ(calc.Eval("SAR(2,10,20)", falling)[0], falling[0].high / 100.0);
}

TEST_F(StatsTest, StopAndReverseFactorNeverExceedsTheMaximum) {
  // A long steady rise: each step closes the gap to the extreme by at most
  // the maximum factor.
  std::vector<double> c, h, l;
  for (int i = 0; i < 60; ++i) {
    c.push_back(100 + i);
    h.push_back(100.5 + i);
    l.push_back(99.5 + i);
  }
  const auto bars = DailyBars(c, 100, c, h, l);
  const auto sar = calc.Eval("SAR(4,2,20)", bars);
  for (size_t t = 1; t < sar.size(); ++t) {
    const double extreme = bars[t - 1].high / 100.0;  // the window high before
    const double step = sar[t] - sar[t - 1];
    EXPECT_GT(step, 0) << t;
    EXPECT_LE(step, (extreme - sar[t - 1]) * 0.2 + 1e-9) << t;
  }
}

TEST_F(StatsTest, Zigzag) {
  const std::vector<double> closes = {10, 11, 12, 11.5, 10, 11};
  EXPECT_TRUE(Near(Eval("ZIG(3,5)", closes), {10, 11, 12, 11, 10, 11}, 1e-12));
  EXPECT_TRUE(Near(Eval("ZIG(7,5)", closes), {10, 11, 12, 11, 10, 11}, 1e-12));
  EXPECT_TRUE(Near(Eval("ZIG(-1,5)", closes), {10, 11, 12, 11, 10, 11}, 1e-12));
  // Two bars: each bar's own price.
  EXPECT_TRUE(Near(Eval("ZIG(3,5)", {10, 20}), {10, 20}, 1e-12));
  EXPECT_TRUE(Near(calc.Eval("ZIG(4,5)", DailyBars({10, 20}, 100, {}, {15, 25}, {5, 15})), {10, 20}, 1e-12));
  // High and low: a rising last bar that makes a new high ends at its high.
  const auto bars = DailyBars({10, 11, 12}, 100, {}, {10.5, 11.5, 12.5}, {9.5, 10.5, 11.5});
  EXPECT_TRUE(Near(calc.Eval("ZIG(4,50)", bars), {9.5, 11, 12.5}, 1e-12));
  // The opens by K = 0, with a reversal measured on them.
  EXPECT_TRUE(Near(calc.Eval("ZIG(0,5)", DailyBars({10, 11, 12, 10, 10.5}, 100, {20, 21, 22, 18, 19})),
                   {20, 21, 22, 18, 19}, 1e-12));
  // A price of 0 cannot be measured against: no reversal, no fault; the
  // leg goes on to the new high.
  EXPECT_TRUE(Near(Eval("ZIG(3,5)", {0, 0, 0, 5}), {0, 5.0 / 3, 10.0 / 3, 5}, 1e-12));
}

TEST_F(StatsTest, ZigzagReportsAFailedAllocation) {
  MessageBoxRecorder boxes;
  SetMallocRefusal([](int32_t size) { return size == 3 * 8; });
  const auto v = Eval("ZIG(3,5)+1", {10, 11, 12});
  SetMallocRefusal(nullptr);
  EXPECT_EQ(v, std::vector<double>(3, 1.0));
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Calls()[0].text, "内存不足，无法计算指标。  ");
}

}  // namespace
