// Moving windows, recursive averages, crosses, references and the
// whole-series markers, against hand-computed fixtures and against plain
// definitions computed here bar by bar.
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/ebufferpool.h"
#include "core/emem.h"
#include "testing/msgbox_recorder.h"
#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : stock(market.Add(3, "CU1009", 1)), calc(market, stock) {}
  std::vector<double> Eval(const std::string &expression, const std::vector<double> &closes) {
    return calc.Eval(expression, DailyBars(closes, 1));
  }

  FakeMarket market;
  const FakeStock &stock;
  Calc calc;
};

TEST_F(WindowTest, Definitions) {
  const struct {
    const char *expression;
    std::vector<double> closes;
    std::vector<double> values;
  } cases[] = {
      {"MA(C,5)", {1, 2, 3, 4, 5, 6}, {1, 1.5, 2, 2.5, 3, 4}},
      {"MA(C,0)", {1, 2, 3, 4, 5, 6}, {1, 1.5, 2, 2.5, 3, 3.5}},
      {"MA(C,-1)", {1, 2, 3}, {0, 0, 0}},
      {"MA(C,2.9)", {1, 2, 3}, {1, 1.5, 2.5}},
      {"SUM(C,2)", {1, 2, 3}, {1, 3, 5}},
      {"SUM(C,0)", {1, 2, 3}, {1, 3, 6}},
      {"COUNT(C>2,3)", {1, 3, 4, 1}, {0, 1, 2, 2}},
      {"COUNT(C>2,0)", {1, 3, 4, 1}, {0, 1, 2, 2}},
      {"HHV(C,2)", {3, 1, 2}, {3, 3, 2}},
      {"LLV(C,2)", {3, 1, 2}, {3, 1, 1}},
      {"HHV(C,0)", {3, 1, 4}, {3, 3, 4}},
      {"WMA(C,3)", {1, 2, 3}, {1, 5.0 / 3, 14.0 / 6}},
      {"EMA2(C,3)", {1, 2, 3, 4}, {1, 5.0 / 3, 14.0 / 6, 20.0 / 6}},
      {"WMA(C,0)", {1, 2, 3}, {1, 5.0 / 3, 14.0 / 6}},
      {"EMA(C,3)", {2, 4}, {2, 3}},
      {"EMA(C,0)", {2, 4, 3}, {2, 6, 0}},
      {"EMA(C,-5)", {2, 4}, {2, 6}},
      {"SMA(C,3,1)", {3, 6}, {3, 4}},
      {"SMA(C,3,4)", {3, 6}, {0, 0}},
      {"SMA(C,0,0)", {3, 6}, {0, 0}},
      {"SMA(C,3,0)", {3, 6}, {0, 0}},
      {"SMA(C,3,2.5)", {3, 6}, {3, 5.5}},
      {"DMA(C,0.5)", {2, 4}, {2, 3}},
      {"DMA(C,2)", {2, 4}, {2, 2}},
      {"DMA(C,0)", {2, 4}, {2, 2}},
      {"DMA(C,1)", {2, 4}, {2, 4}},
      {"CROSS(C,10)", {9, 10, 10, 11}, {0, 0, 0, 1}},
      {"CROSS(C,10)", {11, 10, 11}, {0, 0, 0}},
      {"CROSS(C,10)", {11, 9, 10, 11, 12}, {0, 0, 0, 1, 0}},
      {"LONGCROSS(C,10,2)", {8, 9, 11}, {0, 0, 1}},
      {"LONGCROSS(C,10,2)", {8, 11, 9, 11}, {0, 0, 0, 0}},
      {"LONGCROSS(C,10,2)", {8, 10, 11}, {0, 0, 1}},
      {"LONGCROSS(C,10,2)", {10, 9, 11}, {0, 0, 0}},
      {"LONGCROSS(C,10,2)", {10, 10, 11}, {0, 0, 0}},
      {"LONGCROSS(C,10,0)", {8, 11}, {0, 0}},
      {"VALUEWHEN(C>10,C)", {9, 12, 8}, {0, 12, 12}},
      {"BARSLAST(C>10)", {12, 9, 9, 11, 9}, {0, 1, 2, 0, 1}},
      {"BARSLAST(C>10)", {9, 9, 9}, {0, 1, 2}},
      {"BARSSINCE(C>10)", {9, 12, 9, 13}, {0, 0, 1, 2}},
      {"BARSSINCE(C>10)", {11, 9, 9}, {0, 1, 2}},
      {"BACKSET(C>10,2)", {9, 9, 12}, {0, 1, 1}},
      {"BACKSET(C>10,2.5)", {9, 9, 9, 12}, {0, 1, 1, 1}},
      {"BACKSET(C>10,0)", {9, 12}, {0, 0}},
      {"FILTER(C>10,2)", {11, 12, 13, 14}, {1, 0, 0, 1}},
      {"FILTER(C>10,-3)", {11, 12, 9}, {1, 1, 0}},
  };
  for (const auto &c : cases) EXPECT_TRUE(Near(Eval(c.expression, c.closes), c.values, 1e-12)) << c.expression;
}

// ---- Against plain definitions ---------------------------------------------------------

std::vector<double> RandomCloses(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<double> c;
  double price = 300;
  for (size_t i = 0; i < n; ++i) {
    price = std::max(1.0, price + int(random() % 61) - 30);
    c.push_back(price);
  }
  return c;
}

// The window of bar t: the n bars up to it, fewer at the start, all for 0.
std::vector<double> Window(const std::vector<double> &x, size_t t, long n) {
  const size_t first = n == 0 || size_t(n) > t ? 0 : t - size_t(n) + 1;
  return std::vector<double>(x.begin() + long(first), x.begin() + long(t) + 1);
}

std::vector<double> Rolling(const std::vector<double> &x, long n,
                            const std::function<double(const std::vector<double> &)> &f) {
  std::vector<double> out;
  for (size_t t = 0; t < x.size(); ++t) out.push_back(f(Window(x, t, n)));
  return out;
}

double Mean(const std::vector<double> &w) {
  double s = 0;
  for (double v : w) s += v;
  return s / double(w.size());
}

TEST_F(WindowTest, WindowsMatchPlainDefinitions) {
  const auto x = RandomCloses(1500, 17);
  for (long n : {1L, 2L, 5L, 20L, 0L, 1024L, 1025L, 1300L}) {
    const std::string N = std::to_string(n);
    EXPECT_TRUE(Near(Eval("MA(C," + N + ")", x), Rolling(x, n, Mean), 1e-9)) << n;
    EXPECT_TRUE(Near(Eval("SUM(C," + N + ")", x),
                     Rolling(x, n, [](const std::vector<double> &w) { return Mean(w) * double(w.size()); }), 1e-9))
        << n;
    EXPECT_EQ(Eval("HHV(C," + N + ")", x),
              Rolling(x, n, [](const std::vector<double> &w) { return *std::max_element(w.begin(), w.end()); }))
        << n;
    EXPECT_EQ(Eval("LLV(C," + N + ")", x),
              Rolling(x, n, [](const std::vector<double> &w) { return *std::min_element(w.begin(), w.end()); }))
        << n;
    EXPECT_EQ(Eval("COUNT(C>300," + N + ")", x), Rolling(x, n, [](const std::vector<double> &w) {
                return double(std::count_if(w.begin(), w.end(), [](double v) { return v > 300; }));
              })) << n;
    EXPECT_TRUE(Near(Eval("WMA(C," + N + ")", x), Rolling(x, n, [](const std::vector<double> &w) {
                       double s = 0;
                       for (size_t i = 0; i < w.size(); ++i) s += double(i + 1) * w[i];
                       return s / (double(w.size()) * double(w.size() + 1) / 2);
                     }), 1e-9)) << n;
  }
}

// EMA is exponential smoothing with alpha 2/(N+1) seeded with the first
// value; SMA(X,N,M) the same with alpha M/N; DMA with a varying alpha.
TEST_F(WindowTest, RecursiveAveragesMatchExponentialSmoothing) {
  const auto x = RandomCloses(800, 23);
  auto smooth = [&x](const std::function<double(size_t)> &alpha) {
    std::vector<double> y{x[0]};
    for (size_t t = 1; t < x.size(); ++t) {
      const double a = alpha(t);
      y.push_back(a > 0 && a <= 1 ? a * x[t] + (1 - a) * y.back() : y.back());
    }
    return y;
  };
  for (int n : {1, 2, 12, 26, 100}) {
    EXPECT_TRUE(Near(Eval("EMA(C," + std::to_string(n) + ")", x), smooth([n](size_t) { return 2.0 / (n + 1); }),
                     1e-9))
        << n;
  }
  EXPECT_TRUE(Near(Eval("SMA(C,6,1)", x), smooth([](size_t) { return 1.0 / 6; }), 1e-9));
  EXPECT_TRUE(Near(Eval("SMA(C,9,3)", x), smooth([](size_t) { return 3.0 / 9; }), 1e-9));
  EXPECT_TRUE(Near(Eval("DMA(C,IF(C>300,0.25,5))", x),
                   smooth([&x](size_t t) { return x[t] > 300 ? 0.25 : 5.0; }), 1e-9));
  // N taken at every bar: EMA(C,IF(C>300,5,10)).
  std::vector<double> y{x[0]};
  for (size_t t = 1; t < x.size(); ++t) {
    const double n = x[t] > 300 ? 5 : 10;
    y.push_back((2 * x[t] + (n - 1) * y.back()) / (n + 1));
  }
  EXPECT_TRUE(Near(Eval("EMA(C,IF(C>300,5,10))", x), y, 1e-12));
}

// A window that changes from bar to bar gives the window of each bar.
TEST_F(WindowTest, VaryingWindows) {
  const auto x = RandomCloses(200, 5);
  std::vector<double> expected;
  for (size_t t = 0; t < x.size(); ++t) expected.push_back(Mean(Window(x, t, x[t] > 300 ? 3 : 7)));
  EXPECT_TRUE(Near(Eval("MA(C,IF(C>300,3,7))", x), expected, 1e-9));
  // SMA takes the N and M of the current bar for every step.
  std::vector<double> sma;
  for (size_t t = 0; t < x.size(); ++t) {
    const double n = x[t] > 300 ? 4 : 8;
    double y = x[0];
    for (size_t s = 1; s <= t; ++s) y = (1 * x[s] + (n - 1) * y) / n;
    sma.push_back(y);
  }
  EXPECT_TRUE(Near(Eval("SMA(C,IF(C>300,4,8),1)", x), sma, 1e-9));
}

TEST_F(WindowTest, CrossesMatchTheirDefinitions) {
  std::mt19937 random(99);
  std::vector<double> x;
  for (int i = 0; i < 1200; ++i) x.push_back(double(random() % 5));  // many equal bars
  std::vector<double> cross, longCross;
  for (size_t t = 0; t < x.size(); ++t) {
    double v = 0;
    if (x[t] > 2)
      for (size_t k = 1; k <= 511 && k <= t; ++k)
        if (x[t - k] != 2) {
          v = x[t - k] < 2;
          break;
        }
    cross.push_back(v);
    const size_t n = 3;
    double w = 0;
    if (x[t] > 2 && t >= n) {
      w = x[t - n] < 2;
      for (size_t k = 1; k < n; ++k)
        if (x[t - k] > 2) w = 0;
    }
    longCross.push_back(w);
  }
  EXPECT_EQ(Eval("CROSS(C,2)", x), cross);
  EXPECT_EQ(Eval("LONGCROSS(C,2,3)", x), longCross);
  // 511 equal bars back is as far as CROSS looks.
  std::vector<double> flat(600, 2.0);
  flat[0] = 1;
  flat[599] = 3;
  EXPECT_EQ(Eval("CROSS(C,2)", flat).back(), 0);
  flat[599 - 511] = 1;
  EXPECT_EQ(Eval("CROSS(C,2)", flat).back(), 1);
}

// The references built bar by bar from their definitions.
TEST_F(WindowTest, ReferencesMatchTheirDefinitions) {
  std::mt19937 random(4);
  std::vector<double> x;
  for (int i = 0; i < 500; ++i) x.push_back(double(random() % 10));
  std::vector<double> valueWhen, barsLast, barsSince, backSet(x.size(), 0.0), filter(x.size(), 0.0);
  double held = 0;
  long first = -1;
  for (size_t t = 0; t < x.size(); ++t) {
    if (x[t] > 7) held = x[t] * 2;
    valueWhen.push_back(held);
    double last = double(t);
    for (size_t s = t; s >= 1; --s)
      if (x[s] > 7) {
        last = double(t - s);
        break;
      }
    barsLast.push_back(last);
    if (first < 0 && x[t] > 7) first = long(t);
    barsSince.push_back(first < 0 ? 0 : double(long(t) - first));
    if (x[t] > 7)
      for (long k = long(t) - 3; k <= long(t); ++k)
        if (k >= 0) backSet[size_t(k)] = 1;
  }
  for (size_t s = 0; s < x.size(); ++s)
    if (x[s] > 7) {
      filter[s] = 1;
      s += 4;
    }
  EXPECT_EQ(Eval("VALUEWHEN(C>7,C*2)", x), valueWhen);
  EXPECT_EQ(Eval("BARSLAST(C>7)", x), barsLast);
  EXPECT_EQ(Eval("BARSSINCE(C>7)", x), barsSince);
  EXPECT_EQ(Eval("BACKSET(C>7,4)", x), backSet);
  EXPECT_EQ(Eval("FILTER(C>7,4)", x), filter);
  // Inside a condition the call sites see gaps and start again from scratch;
  // the values stay those of the definitions.
  std::vector<double> gapped;
  for (size_t t = 0; t < x.size(); ++t) gapped.push_back(x[t] > 4 ? valueWhen[t] + barsLast[t] : -1);
  EXPECT_EQ(Eval("IF(C>4,VALUEWHEN(C>7,C*2)+BARSLAST(C>7),-1)", x), gapped);
}

// ---- Nested calls with a window that changes every bar ----------------------------------

// A built-in's from-scratch value at bar t over the values x (bars 0 .. t)
// with the window argument n (n[s] is its value at bar s).
using FromScratch = std::function<double(const std::vector<double> &x, const std::vector<double> &n, size_t t)>;

std::vector<double> WindowOf(const std::vector<double> &x, size_t t, double n) {
  return Window(x, t, n > 0 ? long(n) : 0);
}

// Sums oldest first, as a window made fresh adds it up.
double Sum(const std::vector<double> &w) {
  double s = 0;
  for (double v : w) s += v;
  return s;
}

// With V the window, each level of F(F(F(C,V),V),V) is the built-in over
// the level below, bar by bar from scratch. V differs from one bar to the
// next, so no call can continue a record, and the values must come out bit
// for bit as computed here.
TEST_F(WindowTest, NestedCallsWithAVaryingWindow) {
  const FromScratch ma = [](auto &x, auto &n, size_t t) {
    const auto w = WindowOf(x, t, n[t]);
    return Sum(w) / double(w.size());
  };
  const FromScratch sum = [](auto &x, auto &n, size_t t) { return Sum(WindowOf(x, t, n[t])); };
  const FromScratch hhv = [](auto &x, auto &n, size_t t) {
    const auto w = WindowOf(x, t, n[t]);
    return *std::max_element(w.begin(), w.end());
  };
  const FromScratch count = [](auto &x, auto &n, size_t t) {
    const auto w = WindowOf(x, t, n[t]);
    return double(std::count_if(w.begin(), w.end(), [](double v) { return v != 0; }));
  };
  const FromScratch wma = [](auto &x, auto &n, size_t t) {
    const auto w = WindowOf(x, t, n[t]);
    double s = 0;
    for (size_t i = 0; i < w.size(); ++i) s += double(i + 1) * w[i];
    return s / (double(w.size()) * (double(w.size()) + 1) / 2);
  };
  const FromScratch stdev = [](auto &x, auto &n, size_t t) {
    const auto w = WindowOf(x, t, n[t]);
    const double m = double(w.size());
    if (w.size() <= 1) return 0.0;
    double s = 0, q = 0;
    for (double v : w) s += v, q += v * v;
    const double var = (m * q - s * s) / (m * (m - 1));
    return var > 0 ? std::sqrt(var) : 0.0;
  };
  const FromScratch aveDev = [](auto &x, auto &n, size_t t) {
    const auto w = WindowOf(x, t, n[t]);
    const double mean = Sum(w) / double(w.size());
    double d = 0;
    for (double v : w) d += std::fabs(v - mean);
    return d / double(w.size());
  };
  // The recursive averages from bar 0: EMA with the N of every bar, SMA
  // with the N of bar t (0 when it is not above the M of 1).
  const FromScratch ema = [](auto &x, auto &n, size_t t) {
    double y = x[0];
    for (size_t s = 1; s <= t; ++s) y = (2 * x[s] + (n[s] - 1) * y) / (n[s] + 1);
    return y;
  };
  const FromScratch sma = [](auto &x, auto &n, size_t t) {
    if (n[t] < 1) return 0.0;
    double y = x[0];
    for (size_t s = 1; s <= t; ++s) y = (1 * x[s] + (n[t] - 1) * y) / n[t];
    return y;
  };
  const FromScratch dma = [](auto &x, auto &n, size_t t) {
    double y = x[0];
    for (size_t s = 1; s <= t; ++s) {
      const double a = n[s] / 10;
      y = a > 0 && a <= 1 ? a * x[s] + (1 - a) * y : y;
    }
    return y;
  };
  const struct {
    const char *expression;
    const FromScratch &level;
  } cases[] = {
      {"MA(MA(MA(C,V),V),V)", ma},
      {"SUM(SUM(SUM(C,V),V),V)", sum},
      {"HHV(HHV(HHV(C,V),V),V)", hhv},
      {"COUNT(COUNT(COUNT(C,V),V),V)", count},
      {"WMA(WMA(WMA(C,V),V),V)", wma},
      {"STD(STD(STD(C,V),V),V)", stdev},
      {"AVEDEV(AVEDEV(AVEDEV(C,V),V),V)", aveDev},
      {"EMA(EMA(EMA(C,V),V),V)", ema},
      {"SMA(SMA(SMA(C,V,1),V,1),V,1)", sma},
      {"DMA(DMA(DMA(C,V/10),V/10),V/10)", dma},
  };

  const auto closes = RandomCloses(120, 31);
  auto bars = DailyBars(closes, 1);
  std::vector<double> n;
  for (size_t t = 0; t < bars.size(); ++t) {
    // 0 to 10, never the same on two bars in a row; 0 is every bar so far.
    bars[t].volume = float((t * 7 + 3) % 11);
    n.push_back(bars[t].volume);
  }
  for (const auto &c : cases) {
    std::vector<double> x = closes;
    for (int level = 0; level < 3; ++level) {
      std::vector<double> y;
      for (size_t t = 0; t < x.size(); ++t) y.push_back(c.level(x, n, t));
      x = y;
    }
    EXPECT_EQ(calc.Eval(c.expression, bars), x) << c.expression;
  }
}

// Nesting costs one evaluation of every level per bar: a window that reads
// its argument at earlier bars takes the values the argument had there.
TEST_F(WindowTest, NestedCallsEvaluateEachLevelOncePerBar) {
  const auto bars = DailyBars(RandomCloses(40, 3), 1);  // V is 1000 and up: every bar so far
  for (const char *name : {"MA", "HHV", "STD", "SMA"}) {
    const std::string f = name;
    const std::string tail = f == "SMA" ? ",V,1)" : ",V)";
    ASSERT_TRUE(calc.Compile("X:" + f + "(" + f + "(" + f + "(C" + tail + tail + tail + ";"));
    Spy spy;
    spy.Watch(calc.formula, {f});
    calc.Run(bars);
    EXPECT_EQ(spy.Count(f), 3 * int(bars.size())) << f;
  }
}

// A nested call has one value per bar, whichever window reads it and from
// whichever bar: the same as when it is a statement of its own. Prices of two
// decimals make the running sums round differently from fresh ones.
TEST_F(WindowTest, NestedCallsHaveTheValuesOfTheirOwnStatement) {
  const FakeStock &cents = market.Add(3, "AL1009", 100);
  Calc own(market, cents);
  auto bars = DailyBars(RandomCloses(150, 12), 100);
  std::mt19937 random(6);
  for (size_t t = 0; t < bars.size(); ++t) {
    bars[t].close += random() % 100;
    bars[t].volume = float(random() % 12);  // repeats now and then, and 0
  }
  for (const char *f : {"MA", "SUM", "STD", "WMA"}) {
    const std::string name = f;
    ASSERT_TRUE(own.Compile("B:=" + name + "(C,5);X:" + name + "(B,V);Y:" + name + "(" + name + "(C,5),V);"));
    own.Run(bars);
    EXPECT_EQ(own.Line("Y"), own.Line("X")) << name;
  }
}

// Without a pool block a call works without state and gives the same values.
TEST_F(WindowTest, WithoutStateTheValuesAreTheSame) {
  IndexBuiltinStartup();
  const auto x = RandomCloses(300, 8);
  std::string sum = "X:";
  for (int i = 0; i < 40; ++i) sum += std::string(i ? "+" : "") + "MA(C," + std::to_string(i % 7 + 1) + ")";
  std::vector<double> expected(x.size(), 0.0);
  for (int i = 0; i < 40; ++i) {
    const auto m = Rolling(x, i % 7 + 1, Mean);
    for (size_t t = 0; t < x.size(); ++t) expected[t] += m[t];
  }
  ASSERT_TRUE(calc.Compile(sum + ";"));
  SetBufferPoolRefusal([] { return true; });  // the first chunk holds 32 records
  calc.Run(DailyBars(x, 1));
  SetBufferPoolRefusal(nullptr);
  EXPECT_TRUE(Near(calc.Line("X"), expected, 1e-9));
}

TEST_F(WindowTest, WholeSeriesMarkersReportAFailedAllocationOnce) {
  MessageBoxRecorder boxes;
  ASSERT_TRUE(calc.Compile("X:BACKSET(C>1,2)+FILTER(C>1,1)+1;"));
  SetMallocRefusal([](int32_t size) { return size == 1; });  // the bits of three bars
  calc.Run(DailyBars({1, 2, 3}, 1));
  SetMallocRefusal(nullptr);
  EXPECT_EQ(calc.Line("X"), std::vector<double>(3, 1.0));
  ASSERT_EQ(boxes.Count(), 2u);  // one per built-in, at bar 0
  EXPECT_EQ(boxes.Calls()[0].text, "内存不足，无法计算指标。  ");
  EXPECT_EQ(boxes.Calls()[0].caption, "错误");
  EXPECT_EQ(boxes.Calls()[0].type, UINT(MB_ICONWARNING | MB_TOPMOST));
}

}  // namespace
