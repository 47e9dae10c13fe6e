// The built-ins without state: prices, date and time, position, period,
// instrument kind, arithmetic, mathematics, logic and colour.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "testing/fake_clock.h"
#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class PlainTest : public ::testing::Test {
 protected:
  PlainTest() : stock(market.Add(3, "CU1009")), calc(market, stock) {}
  double One(const std::string &expression) {
    const auto v = calc.Eval(expression, DailyBars({10}));
    return v.empty() ? -12345 : v[0];
  }

  FakeMarket market;
  const FakeStock &stock;
  Calc calc;
};

// Expressions of constants at one bar, with the value each gives.
TEST_F(PlainTest, ArithmeticMathematicsLogicAndColour) {
  const struct {
    const char *expression;
    double value;
  } cases[] = {
      {"ABS(-17)", 17},          {"CEILING(-2.8)", -2},      {"FLOOR(-2.8)", -3},
      {"INTPART(-2.8)", -2},     {"INTPART(2.8)", 2},        {"FRACPART(-2.8)", -2.8 - std::trunc(-2.8)},
      {"REVERSE(5)", -5},        {"SGN(-3)", -1},            {"SGN(0)", 0},
      {"SGN(0.1)", 1},           {"MOD(7,0)", 0},            {"MOD(13,10)", 3},
      {"MOD(-13,10)", -3},       {"MOD(5.5,2)", 1.5},        {"MOD(13,-10)", 3},
      {"MAX(1,2)", 2},           {"MAX(3,3)", 3},            {"MIN(3,3)", 3},
      {"MIN(4,-1,2)", -1},       {"MAX(1,2,3,4,5,6,7,8,9,16,11,12,13,14,15,10)", 16},
      {"MIN(9,2,3,4,5,6,7,8,9,10,11,12,13,14,15,-16)", -16},
      {"POW(2,10)", 1024},       {"POW(0,-1)", 0},           {"POW(-8,1/3)", kNaN},
      {"POW(0,0)", 1},           {"SQRT(-4)", 0},            {"SQRT(0)", 0},
      {"SQRT(2.25)", 1.5},       {"EXP(0)", 1},              {"LN(1)", 0},
      {"LN(0)", -kInf},          {"LN(-1)", kNaN},           {"LOG(1000)", 3},
      {"LOG(0)", -kInf},         {"ACOS(2)", kNaN},          {"ASIN(-2)", kNaN},
      {"ACOS(1)", 0},            {"ASIN(1)", std::asin(1.0)}, {"ATAN(1)", std::atan(1.0)},
      {"SIN(1)", std::sin(1.0)}, {"COS(1)", std::cos(1.0)},  {"TAN(1)", std::tan(1.0)},
      {"NOT(0)", 1},             {"NOT(-2)", 0},             {"IF(1,2,3)", 2},
      {"IF(0,2,3)", 3},          {"IFELSE(0.1,2,3)", 2},     {"BETWEEN(5,10,5)", 1},
      {"BETWEEN(5,5,10)", 1},    {"BETWEEN(11,5,10)", 0},    {"RANGE(5,5,10)", 1},
      {"RANGE(10,5,10)", 1},     {"RANGE(4,5,10)", 0},       {"RANGE(7,10,5)", 0},
      {"COLORRGB(255,0,0)", 255}, {"COLORRGB(255,255,0)", 65535}, {"COLORRGB(256,0,0)", 0},
      {"COLORRGB(0.6,0,0)", 1},  {"COLORRGB(0,0,1)", 65536}, {"COLORRGB(-1,0,0)", 0},
      {"T0TOTIME(46860)", 130100}, {"T0TOTIME(3723)", 10203}, {"TIMETOT0(130100)", 46860},
      {"TIMETOT0(10203)", 3723}, {"T0TOTIME(-1)", 11930462815.0},
  };
  for (const auto &c : cases) {
    const double v = One(c.expression);
    if (std::isnan(c.value)) EXPECT_TRUE(std::isnan(v)) << c.expression << " = " << v;
    else EXPECT_DOUBLE_EQ(v, c.value) << c.expression;
  }
}

TEST_F(PlainTest, PricesAndVolumes) {
  auto bars = DailyBars({1234.56}, 100, {1200}, {1300}, {1100});
  bars[0].settlement = 123400;
  bars[0].volume = 1234.5f;
  bars[0].amount = 98765.25f;
  const struct {
    const char *expression;
    double value;
  } cases[] = {{"CLOSE", 1234.56}, {"C", 1234.56},   {"OPEN", 1200},    {"O", 1200},   {"HIGH", 1300},
               {"H", 1300},        {"LOW", 1100},    {"L", 1100},       {"SETTLE", 1234}, {"VOL", 1234.5},
               {"V", 1234.5},      {"AMOUNT", 98765.25}, {"ISUP", 1},   {"ISDOWN", 0}, {"ISEQUAL", 0}};
  for (const auto &c : cases) EXPECT_DOUBLE_EQ(calc.Eval(c.expression, bars)[0], c.value) << c.expression;
  bars[0].close = bars[0].open;
  EXPECT_EQ(calc.Eval("ISEQUAL", bars)[0], 1);
  bars[0].close = bars[0].open - 1;
  EXPECT_EQ(calc.Eval("ISDOWN", bars)[0], 1);
}

TEST_F(PlainTest, DateAndTimeOfTheBar) {
  auto bars = DailyBars({1, 1});
  bars[0].time = MakePackedDateTime(2006, 1, 1);
  bars[1].time = MakePackedDateTime(2006, 1, 2, 13, 1);
  const struct {
    const char *expression;
    std::vector<double> values;
  } cases[] = {
      {"DATE", {1060101, 1060102}}, {"YEAR", {2006, 2006}}, {"MONTH", {1, 1}},     {"DAY", {1, 2}},
      {"TIME", {0, 130100}},        {"TIME0", {0, 46860}},  {"HOUR", {0, 13}},      {"MINUTE", {0, 1}},
      {"WEEKDAY", {0, 1}},
  };
  for (const auto &c : cases) EXPECT_EQ(calc.Eval(c.expression, bars), c.values) << c.expression;
  bars[0].time = MakePackedDateTime(1999, 12, 31);
  EXPECT_EQ(calc.Eval("DATE", bars)[0], 991231);
}

TEST_F(PlainTest, TheCalculationClock) {
  ScopedFakeClock clock;  // 2024-01-15 10:00:00 in Shanghai
  clock.Advance((3 * 60 + 25) * 1000);
  EXPECT_EQ(calc.Eval("CURRENTDATE", DailyBars({1})), std::vector<double>{1240115});
  EXPECT_EQ(calc.Eval("CURRENTTIME", DailyBars({1})), std::vector<double>{100325});
}

TEST_F(PlainTest, PositionInTheSeries) {
  const auto five = DailyBars({1, 2, 3, 4, 5});
  EXPECT_EQ(calc.Eval("BARSTATUS", five), (std::vector<double>{1, 0, 0, 0, 2}));
  EXPECT_EQ(calc.Eval("BARSTATUS", DailyBars({1})), std::vector<double>{1});
  EXPECT_EQ(calc.Eval("BARPOS", five), (std::vector<double>{1, 2, 3, 4, 5}));
  EXPECT_EQ(calc.Eval("ISLASTBAR", five), (std::vector<double>{0, 0, 0, 0, 1}));
  EXPECT_EQ(calc.Eval("ISLASTPERIOD", five), (std::vector<double>{0, 0, 0, 0, 1}));
  const auto many = DailyBars(std::vector<double>(250, 1.0));
  EXPECT_EQ(calc.Eval("BARSCOUNT(C)+DATACOUNT*0", many), std::vector<double>(250, 250.0));
  EXPECT_EQ(calc.Eval("DATACOUNT", many), std::vector<double>(250, 250.0));
}

TEST_F(PlainTest, DataPeriod) {
  const struct {
    uint8_t kind;
    uint32_t multiple;
    double value;
  } cases[] = {{6, 1, 1},  {6, 5, 2},  {6, 15, 3},  {6, 30, 4},  {6, 60, 5},  {6, 3, 11}, {6, 120, 11},
               {7, 1, 6},  {7, 5, 10}, {8, 1, 7},   {9, 1, 8},   {10, 1, 10}, {11, 1, 9}, {1, 1, 0},
               {3, 1, 12}, {5, 1, 13}, {5, 5, 14},  {5, 15, 15}, {5, 30, 16}, {5, 2, 17}, {0, 1, 50},
               {2, 1, 50}, {4, 1, 50}, {12, 1, 50}, {200, 1, 50}};
  ASSERT_TRUE(calc.Compile("X:DATAPERIOD;"));
  for (const auto &c : cases) {
    calc.Run(DailyBars({1}), false, c.kind, c.multiple);
    EXPECT_EQ(calc.Line("X")[0], c.value) << int(c.kind) << "/" << c.multiple;
  }
}

TEST_F(PlainTest, InstrumentKind) {
  const struct {
    uint8_t market, kind;
    double value;
  } cases[] = {{0, 0, 0}, {1, 0, 0}, {0, 3, 1}, {1, 1, 1}, {3, 0, 7}, {4, 0, 6}, {2, 0, 5}, {9, 0, 5}};
  for (const auto &c : cases) {
    std::string code = "X";
    code += std::to_string(c.market);
    code += std::to_string(c.kind);
    const FakeStock &s = market.Add(c.market, code, 100, c.kind);
    Calc other(market, s);
    EXPECT_EQ(other.Eval("STKTYPE", DailyBars({1}))[0], c.value) << int(c.market) << "/" << int(c.kind);
  }
}

TEST_F(PlainTest, IsContract) {
  const struct {
    const char *owner;
    const char *expression;
    double value;
  } cases[] = {
      {"CU1009", "ISCONTRACT('cu')", 1}, {"CU", "ISCONTRACT('cu')", 1},     {"CU0", "ISSTOCK('CU')", 1},
      {"CUX9", "ISCONTRACT('CU')", 0},   {"CU1009", "ISCONTRACT('CU1009')", 1},
      {"600100", "ISSTOCK('600100')", 1}, {"6001001", "ISSTOCK('600100')", 1},
      {"600101", "ISSTOCK('600100')", 0}, {"CU1009", "ISCONTRACT(C)", 0},   {"CU1009", "ISCONTRACT('CU'+1)", 0},
      {"C", "ISCONTRACT('CU')", 0},
  };
  for (const auto &c : cases) {
    const FakeStock &s = market.Add(5, c.owner);
    Calc other(market, s);
    EXPECT_EQ(other.Eval(c.expression, DailyBars({1}))[0], c.value) << c.owner << " " << c.expression;
  }
}

TEST_F(PlainTest, PlainReferences) {
  const auto bars = DailyBars({1, 2, 3, 4, 5});
  EXPECT_EQ(calc.Eval("REF(C,3)", bars), (std::vector<double>{1, 1, 1, 1, 2}));
  EXPECT_EQ(calc.Eval("REF(C,0)", bars), (std::vector<double>{1, 2, 3, 4, 5}));
  EXPECT_EQ(calc.Eval("REF(C,-1)", bars), std::vector<double>(5, 0.0));
  EXPECT_EQ(calc.Eval("REF(C,1.9)", bars), (std::vector<double>{1, 1, 2, 3, 4}));
  EXPECT_EQ(calc.Eval("REF(C,BARPOS-1)", bars), std::vector<double>(5, 1.0));
  EXPECT_EQ(calc.Eval("REFX(C,3)", bars), (std::vector<double>{4, 5, 5, 5, 5}));
  EXPECT_EQ(calc.Eval("REFX(C,-1)", bars), std::vector<double>(5, 0.0));
  EXPECT_EQ(calc.Eval("REFX(C,1000000000)", DailyBars({1, 2})), (std::vector<double>{2, 2}));
}

}  // namespace

namespace {

// Non-finite values travel on without harm: window lengths and offsets made
// from them count as 0 or are clamped.
TEST_F(PlainTest, NonFiniteArgumentsNeverLoopOrOverrun) {
  const auto bars = DailyBars({1, 2, 3, 4});
  const char *const expressions[] = {
      "MA(C,LN(0))",      "MA(C,-LN(0))",       "REF(C,-LN(0))",  "REFX(C,-LN(0))",  "REF(C,LN(-1))",
      "SUM(C,LN(-1))",    "EMA(C,-LN(0))",      "SMA(C,-LN(0),1)", "BACKSET(C>1,-LN(0))",
      "FILTER(C>1,LN(0))", "FILTER(C>1,-LN(0))", "ZIG(LN(-1),LN(-1))", "LONGCROSS(C,2,LN(0))",
      "STD(C,-LN(0))",    "SAR(-LN(0),2,20)",   "T0TOTIME(LN(0))", "COLORRGB(LN(-1),0,0)", "HHV(C,-LN(0))",
  };
  for (const char *e : expressions) {
    const auto v = calc.Eval(e, bars);
    EXPECT_EQ(v.size(), bars.size()) << e;
  }
  EXPECT_TRUE(std::isnan(calc.Eval("LN(-1)+1", bars)[0]));
  EXPECT_EQ(calc.Eval("LN(-1)>0", bars)[0], 0);
  EXPECT_EQ(calc.Eval("LN(-1) AND 1", bars)[0], 1);
  EXPECT_EQ(calc.Eval("MA(C,-LN(0))", bars), (std::vector<double>{1, 1.5, 2, 2.5}));
}

}  // namespace
