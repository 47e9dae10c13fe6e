// Calculating formulas: storage blocks, full and incremental calculation,
// the tower line, drawing statements, line colours and failures.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/emem.h"
#include "formula/builtin.h"
#include "testing/msgbox_recorder.h"
#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {

class CalculateTest : public ::testing::Test {
 protected:
  CalculateTest() : stock(market.Add(3, "CU1009")), calc(market, stock) {}
  std::vector<KLINEBAR> Bars(size_t n, uint32_t seed = 3) {
    std::mt19937 random(seed);
    std::vector<double> c, o;
    double price = 50;
    for (size_t i = 0; i < n; ++i) {
      o.push_back(price);
      price = std::max(1.0, price + int(random() % 41 - 20) / 100.0);
      c.push_back(price);
    }
    return DailyBars(c, 100, o);
  }

  FakeMarket market;
  const FakeStock &stock;
  Calc calc;
};

TEST_F(CalculateTest, StorageGrowsInBlocksAndAnIncrementalPassRedoesTheLastTwoBars) {
  ASSERT_TRUE(calc.Compile("X:REF(C,1);DRAWTEXT(C>O,H,'T');"));
  Spy spy;
  spy.Watch(calc.formula, {"REF"});
  auto bars = Bars(2050);
  calc.Run(std::vector<KLINEBAR>(bars.begin(), bars.begin() + 2049));
  const CKvIndexVariable &x = *calc.formula.variables[0];
  EXPECT_EQ(x.capacity, 4096u);
  EXPECT_EQ(calc.formula.draws[0]->capacity, 4096u);
  EXPECT_EQ(calc.formula.calcCount, 2049u);
  EXPECT_EQ(spy.calls.size(), 2049u);
  const void *block = x.values;
  spy.calls.clear();
  calc.Run(bars, true);
  EXPECT_EQ(x.values, block);
  EXPECT_EQ(spy.Bars("REF"), (std::vector<uint32_t>{2047, 2048, 2049}));
  EXPECT_EQ(calc.formula.calcCount, 2050u);
  EXPECT_DOUBLE_EQ(x.GetValue(2049), bars[2048].close / 100.0);

  // After a calculation of two bars an incremental one starts at bar 0.
  calc.Run(std::vector<KLINEBAR>(bars.begin(), bars.begin() + 2));
  spy.calls.clear();
  calc.Run(std::vector<KLINEBAR>(bars.begin(), bars.begin() + 3), true);
  EXPECT_EQ(spy.Bars("REF"), (std::vector<uint32_t>{0, 1, 2}));
}

TEST_F(CalculateTest, FullRecalculationOnlyFormulasWaitForAFullCalculation) {
  ASSERT_TRUE(calc.Compile("Z:ZIG(3,5);M:C;"));
  auto bars = DailyBars({10, 11, 12, 11.5, 10, 11});
  calc.Run(bars);
  const auto before = calc.Line("M");
  bars.push_back(bars.back());
  bars.back().close = 2000;
  bars.back().time = PackedNextDay(bars.back().time);
  calc.Run(bars, true);
  EXPECT_EQ(calc.formula.calcCount, 6u);
  EXPECT_EQ(calc.Line("M"), before);
  calc.Run(bars);
  EXPECT_EQ(calc.formula.calcCount, 7u);
  EXPECT_EQ(calc.Line("M").back(), 20);
}

// Closes 10, 12, 11, 9, 13 with the first open 9.
TEST_F(CalculateTest, TowerLine) {
  ASSERT_TRUE(calc.Compile("T:C,TOWERSTICK;"));
  calc.Run(DailyBars({10, 12, 11, 9, 13}, 1, {9, 12, 11, 9, 13}));
  const auto *t = static_cast<const IndexTowerRecord *>(calc.formula.variables[0]->values);
  const int states[] = {1, 1, 2, 3, 6};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(t[i].state, states[i]) << i;
  EXPECT_EQ(t[0].p1, 10u);
  EXPECT_EQ(t[0].p2, 9u);
  EXPECT_EQ(t[3].p3, 9u);
  EXPECT_EQ(t[3].p4, 11u);
  EXPECT_EQ(t[4].p1, 13u);
  EXPECT_EQ(t[4].p2, 11u);
  EXPECT_EQ(t[4].p3, 11u);
  EXPECT_EQ(t[4].p4, 9u);
}

TEST_F(CalculateTest, TowerLineIncrementalMatchesFull) {
  const auto bars = Bars(120, 11);
  Calc full(market, stock);
  ASSERT_TRUE(full.Compile("T:C,TOWERSTICK;"));
  full.Run(bars);
  ASSERT_TRUE(calc.Compile("T:C,TOWERSTICK;"));
  auto partial = std::vector<KLINEBAR>(bars.begin(), bars.end() - 1);
  partial.back().close += 37;  // the bar still forming
  calc.Run(partial);
  calc.Run(bars, true);
  const auto *a = static_cast<const IndexTowerRecord *>(full.formula.variables[0]->values);
  const auto *b = static_cast<const IndexTowerRecord *>(calc.formula.variables[0]->values);
  for (size_t i = 0; i < bars.size(); ++i) {
    EXPECT_EQ(a[i].state, b[i].state) << i;
    EXPECT_EQ(a[i].p1, b[i].p1) << i;
    EXPECT_EQ(a[i].p4, b[i].p4) << i;
  }
}

// For these formulas an incremental pass after a live update gives the
// values of a full calculation (up to the rounding of running sums).
TEST_F(CalculateTest, IncrementalAgreesWithFull) {
  const char *const formulas[] = {
      "DIF:EMA(C,12)-EMA(C,26);DEA:EMA(DIF,9);MACD:(DIF-DEA)*2;",
      "RSV:=(C-LLV(L,9))/(HHV(H,9)-LLV(L,9))*100;K:SMA(RSV,3,1);D:SMA(K,3,1);",
      "M:MA(C,20);S:STD(C,20);P:STDP(C,5);V:VAR(C,0);A:AVEDEV(C,4);Q:DEVSQ(C,3);",
      "X:COUNT(C>O,5);Y:SUM(C,0);Z:WMA(C,4);W:HHV(C,3)-LLV(C,0);",
      "X:CROSS(C,MA(C,5));Y:LONGCROSS(C,MA(C,5),3);Z:VALUEWHEN(C>O,C);",
      "X:BARSLAST(C>O);Y:BARSSINCE(C>O);Z:DMA(C,0.3);W:REF(C,3);",
      "DRAWTEXT(C>O,H,'T');STICKLINE(C>O,C,O,2,0);DRAWKLINE(H,O,L,C);PARTLINE(C>O,C);",
  };
  const auto bars = Bars(300, 5);
  auto forming = std::vector<KLINEBAR>(bars.begin(), bars.end() - 1);
  forming.back().close -= 23;
  for (const char *text : formulas) {
    Calc full(market, stock), live(market, stock);
    ASSERT_TRUE(full.Compile(text));
    ASSERT_TRUE(live.Compile(text));
    full.Run(bars);
    live.Run(forming);
    live.Run(bars, true);
    for (uint32_t i = 0; i < full.formula.VariableCount(); ++i)
      EXPECT_TRUE(Near(live.Line(int32_t(i)), full.Line(int32_t(i)), 1e-12)) << text << " statement " << i;
    for (size_t d = 0; d < full.formula.draws.size(); ++d) {
      const CKvIndexDraw &a = *full.formula.draws[d], &b = *live.formula.draws[d];
      for (uint32_t bar = 0; bar < bars.size(); ++bar) {
        EXPECT_EQ(a.Condition(bar), b.Condition(bar)) << text << " draw " << d << " bar " << bar;
        for (int k = 0; k < CKvIndexDraw::SeriesCount(a.kind); ++k)
          EXPECT_EQ(a.series[k][bar], b.series[k][bar]) << text << " draw " << d << " bar " << bar;
      }
    }
  }
}

// Statements evaluated side by side, a block of bars at a time, give bit for
// bit the values of evaluating each over the whole range in turn: over
// several blocks, in an incremental pass and over a short series. The table
// holds reads between statements through windows reaching across blocks,
// operators that leave operands unread, masked calls, calls whose arguments
// keep state, and statements that must see whole columns (future and
// whole-series built-ins, a statement reading itself).
TEST_F(CalculateTest, SideBySideStatementsGiveTheValuesOfOneAfterAnother) {
  const char *const formulas[] = {
      "DIF:EMA(C,12)-EMA(C,26);DEA:EMA(DIF,9);MACD:(DIF-DEA)*2,COLORSTICK;",
      "RSV:=(C-LLV(L,9))/(HHV(H,9)-LLV(L,9))*100;K:SMA(RSV,3,1);D:SMA(K,3,1);J:3*K-2*D;",
      "A:EMA(C,5);B:REF(A,3)+EMA(A,4);D:MA(B,10)-A;E:HHV(D,300)-LLV(B,0);",
      "A:EMA(C,4)-EMA(O,4);B:EMA(C,3)/A;D:A>0 AND EMA(B,2)>EMA(B,5);E:A<0 OR SUM(D,3)>1;",
      "A:EMA(C,6);B:IF(C>O,EMA(A,5),SMA(A,3,1));D:B-REF(B,1);",
      "A:MA(C,3);B:REFX(A,600);D:EMA(B,3)+A;E:ZIG(A,3);F:EMA(E,2)-D;",
      "A:C>REF(C,1);B:BACKSET(A,300);D:EMA(B,3);E:FILTER(A,5);F:SUM(E,0)+EMA(C,2);",
      "A:EMA(C,3);B:REF(B,1)*0.5+A;D:EMA(B,4)+EMA(A,3);",
      "A:EMA(EMA(C,3),5);B:MA(EMA(A,2),4)-EMA(A,7);",
      "A:EMA(C,V/100);B:SMA(A,MOD(BARPOS,7)+1,1);D:DMA(A,0.2)+WMA(B,5);",
      "A:STD(C,20);B:VAR(A,30)+AVEDEV(A,5);D:DEVSQ(B,4)-STDP(A,0);",
      "A:MA(C,5);B:CROSS(C,A);D:BARSLAST(B);E:VALUEWHEN(B,A)+COUNT(B,300);",
      "A:EMA(C,IF(BARPOS<500,12,26))-EMA(O,IF(MOD(BARPOS,100)<50,9,0));B:EMA(A,SQRT(0-1))+EMA(A,3);",
  };
  struct Restore {
    ~Restore() { SetIndexStatementsSideBySide(true); }
  } restore;
  auto same = [](const Calc &a, const Calc &b, const std::string &what) {
    ASSERT_EQ(a.formula.calcCount, b.formula.calcCount) << what;
    for (uint32_t i = 0; i < a.formula.VariableCount(); ++i) {
      const std::vector<double> x = a.Line(int32_t(i)), y = b.Line(int32_t(i));
      for (size_t bar = 0; bar < x.size(); ++bar)
        ASSERT_EQ(std::memcmp(&x[bar], &y[bar], sizeof(double)), 0)
            << what << " statement " << i << " bar " << bar << ": " << x[bar] << " != " << y[bar];
    }
  };
  const auto bars = Bars(1100, 11);
  auto forming = std::vector<KLINEBAR>(bars.begin(), bars.end() - 1);
  forming.back().close -= 17;
  const auto few = std::vector<KLINEBAR>(bars.begin(), bars.begin() + 40);
  for (const char *text : formulas) {
    Calc side(market, stock), whole(market, stock);
    ASSERT_TRUE(side.Compile(text));
    ASSERT_TRUE(whole.Compile(text));
    for (const auto *series : {&bars, &few}) {
      SetIndexStatementsSideBySide(true);
      side.Run(*series);
      SetIndexStatementsSideBySide(false);
      whole.Run(*series);
      same(side, whole, std::string(text) + (series == &few ? " (40 bars)" : ""));
    }
    SetIndexStatementsSideBySide(true);
    side.Run(forming);
    side.Run(bars, true);
    SetIndexStatementsSideBySide(false);
    whole.Run(forming);
    whole.Run(bars, true);
    same(side, whole, std::string(text) + " (incremental)");
  }
}

// A statement that reads its own value through nested smoothings whose N
// changes at every bar: the arguments' values at the bars before the one
// the pass is at are final and evaluated once, so the pass for a new bar
// costs evaluations in proportion to the bars (it used to cost a power of
// them, one more for every level of nesting).
TEST_F(CalculateTest, NestedSmoothingsOfTheOwnStatementCostInProportionToTheBars) {
  const char *text = "LC:SMA(SMA(SMA(LC,V,2),V,2),V,2);";
  const uint64_t n = 40;
  const auto bars = Bars(n, 9);
  auto forming = std::vector<KLINEBAR>(bars.begin(), bars.end() - 1);
  Calc full(market, stock), live(market, stock);
  ASSERT_TRUE(full.Compile(text));
  ASSERT_TRUE(live.Compile(text));
  uint64_t before = IndexEvaluations();
  full.Run(bars);
  const uint64_t fullCost = IndexEvaluations() - before;
  live.Run(forming);
  before = IndexEvaluations();
  live.Run(bars, true);
  const uint64_t newBarCost = IndexEvaluations() - before;
  EXPECT_TRUE(Near(live.Line("LC"), full.Line("LC"), 1e-12));
  EXPECT_LE(newBarCost, 20 * n) << "a pass for a new bar";
  EXPECT_LE(fullCost, 20 * n * n) << "a full pass";
}

TEST_F(CalculateTest, DrawingStatementsStoreTheirValues) {
  // A holds at bars 2, 3, 4 and B at bars 3 and 6.
  ASSERT_TRUE(calc.Compile("A:=BARPOS>=3 AND BARPOS<=5;B:=BARPOS=4 OR BARPOS=7;"
                           "DRAWTEXT(C>O,H,'T');FILLRGN(0,L,H);DRAWLINE(A,L,B,H,1);STICKLINE(C>O,C,O,2,0);"
                           "DRAWKLINE(H,O,L,C);PARTLINE(C>O,C);VERTLINE(C>O);DRAWNUMBER(C>O,L,C,2);"
                           "DRAWGBK(1,255,0,1);DRAWLINE(1,C,1,O,0);"));
  // Closes above opens at bars 0, 3 and 7.
  const auto bars = DailyBars({11, 10, 10, 13, 12, 11, 10, 12}, 100, {10, 11, 11, 12, 13, 12, 11, 11},
                              {12, 12, 12, 14, 14, 13, 12, 13}, {9, 9, 9, 11, 11, 10, 9, 10});
  calc.Run(bars);
  auto price = [&](uint32_t raw) { return raw / 100.0; };
  const auto &d = calc.formula.draws;
  const std::vector<uint32_t> up = {0, 3, 7};
  auto isUp = [&](uint32_t b) { return b == 0 || b == 3 || b == 7; };
  for (uint32_t b = 0; b < bars.size(); ++b) {
    // DRAWTEXT: the price where the condition holds only.
    EXPECT_EQ(d[0]->Condition(b), isUp(b)) << b;
    EXPECT_EQ(d[0]->series[0][b], isUp(b) ? price(bars[b].high) : 0.0) << b;
    // FILLRGN: both prices at every bar, whatever the condition.
    EXPECT_FALSE(d[1]->Condition(b));
    EXPECT_EQ(d[1]->series[0][b], price(bars[b].low));
    EXPECT_EQ(d[1]->series[1][b], price(bars[b].high));
    // STICKLINE: four values where the condition holds.
    EXPECT_EQ(d[3]->series[3][b], 0.0);
    EXPECT_EQ(d[3]->series[2][b], isUp(b) ? 2.0 : 0.0);
    // DRAWKLINE: four prices at every bar, no condition bits.
    EXPECT_EQ(d[4]->condBits, nullptr);
    EXPECT_EQ(d[4]->series[3][b], price(bars[b].close));
    // PARTLINE: the price at every bar, the condition beside it.
    EXPECT_EQ(d[5]->series[0][b], price(bars[b].close));
    EXPECT_EQ(d[5]->Condition(b), isUp(b));
    EXPECT_EQ(d[6]->Condition(b), isUp(b));
    EXPECT_EQ(d[7]->series[1][b], isUp(b) ? price(bars[b].close) : 0.0);
    EXPECT_EQ(d[7]->series[2][b], isUp(b) ? 2.0 : 0.0);
    // DRAWLINE(1,...,1,...): starts and ends alternate at every bar.
    EXPECT_TRUE(d[9]->Condition(b));
    EXPECT_EQ(d[9]->series[0][b], b % 2 == 0 ? price(bars[b].close) : 0.0);
    EXPECT_EQ(d[9]->series[2][b], b % 2 == 1 ? price(bars[b].open) : 0.0);
  }
  // DRAWLINE(A,L,B,H,1): 2 opens, 3 closes (examined for B only), 4 opens, 6 closes.
  const CKvIndexDraw &line = *d[2];
  for (uint32_t b = 0; b < bars.size(); ++b) EXPECT_EQ(line.Condition(b), b == 2 || b == 3 || b == 4 || b == 6) << b;
  EXPECT_EQ(line.series[0][2], price(bars[2].low));
  EXPECT_EQ(line.series[0][4], price(bars[4].low));
  EXPECT_EQ(line.series[0][3], 0.0);
  EXPECT_EQ(line.series[2][3], price(bars[3].high));
  EXPECT_EQ(line.series[3][3], 1.0);
  EXPECT_EQ(line.series[2][6], price(bars[6].high));
  EXPECT_EQ(line.series[1][6], 0.0);  // never written
  // DRAWGBK keeps nothing.
  EXPECT_EQ(d[8]->capacity, 0u);
}

// The drawing statement's own calculation over a range begins its pairing
// afresh: a start pending before the range is not closed inside it.
TEST_F(CalculateTest, DrawLineRangeStartsWithoutAPendingStart) {
  ASSERT_TRUE(calc.Compile("DRAWLINE(BARPOS=8,L,BARPOS=10,H,0);"));
  const auto bars = Bars(10);
  calc.Run(bars);
  CKvIndexDraw &line = *calc.formula.draws[0];
  EXPECT_TRUE(line.Condition(7));
  EXPECT_TRUE(line.Condition(9));
  line.condBits[1] = 0;  // clear bars 8 and 9 as an incremental pass would
  line.Calculate(&calc.formula, "CU1009", 7, 1, FakeMarket::Info(stock), bars.data(), 8, 2, 100);
  EXPECT_TRUE(line.Condition(7));
  EXPECT_FALSE(line.Condition(9));
  line.Calculate(&calc.formula, "CU1009", 7, 1, FakeMarket::Info(stock), bars.data(), 0, 0, 100);
  EXPECT_FALSE(line.Condition(9));
}

TEST_F(CalculateTest, LineColoursFromTheIndicatorSlots) {
  COLORREF table[kIndexColorSlots];
  for (int i = 0; i < kIndexColorSlots; ++i) table[i] = COLORREF(0x100 + i);
  COLORREF *previous = SetIndexColorTable(table);
  ASSERT_TRUE(calc.Compile("A:C;B:C,COLORRED;H:=C;D:C,COLORSTICK;E:C,STICK;F:C,CIRCLEDOT;G:C;I:C,POINTDOT;"
                           "J:C,CROSSDOT;"));
  EXPECT_EQ(calc.formula.AssignLineColours(9), 7);
  const struct {
    const char *name;
    COLORREF color;
  } expected[] = {{"A", 0x109}, {"B", 0x0000FF}, {"H", 0}, {"D", 0},     {"E", 0x10A},
                  {"F", 0x103}, {"G", 0x104},    {"I", 0x105}, {"J", 0x106}};
  for (const auto &e : expected)
    EXPECT_EQ(calc.formula.variables[calc.formula.FindVariable(e.name)]->Color(), e.color) << e.name;
  SetIndexColorTable(previous);
}

TEST_F(CalculateTest, WithoutSeriesInfoNothingIsCalculated) {
  ASSERT_TRUE(calc.Compile("X:C;"));
  auto *next = new CKvIndex;
  ASSERT_TRUE(next->Compile("Y:C;", true));
  calc.formula.next = next;
  const auto bars = Bars(5);
  calc.formula.Calculate(nullptr, "CU1009", 7, 1, nullptr, bars.data(), 5, true, false);
  EXPECT_EQ(calc.formula.calcCount, 0u);
  EXPECT_EQ(calc.formula.seriesInfo, nullptr);
  EXPECT_EQ(next->calcCount, 0u);
  calc.formula.Calculate(nullptr, "CU1009", 7, 1, FakeMarket::Info(stock), bars.data(), 5, false, false);
  EXPECT_EQ(next->calcCount, 0u);  // without the chain flag
  calc.formula.Calculate(nullptr, "CU1009", 7, 1, FakeMarket::Info(stock), bars.data(), 5, true, false);
  EXPECT_EQ(next->calcCount, 5u);
}

TEST_F(CalculateTest, OutOfMemoryIsReportedAndStopsTheChain) {
  ASSERT_TRUE(calc.Compile("X:C;"));
  auto *next = new CKvIndex;
  ASSERT_TRUE(next->Compile("Y:C;", true));
  calc.formula.next = next;
  const auto bars = Bars(5);
  MessageBoxRecorder boxes;
  SetMallocRefusal([](int32_t size) { return size >= 2048 * 8; });
  calc.formula.Calculate(nullptr, "CU1009", 7, 1, FakeMarket::Info(stock), bars.data(), 5, true, false);
  SetMallocRefusal(nullptr);
  EXPECT_EQ(calc.formula.calcCount, 0u);
  EXPECT_EQ(next->calcCount, 0u);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Calls()[0].text, "内存不足，无法计算指标。  ");
  EXPECT_EQ(boxes.Calls()[0].caption, "错误");
  EXPECT_EQ(boxes.Calls()[0].type & MB_ICONMASK, MB_ICONERROR);
  EXPECT_EQ(boxes.Calls()[0].owner, nullptr);
}

// A series that became shorter is recalculated where it now ends.
TEST_F(CalculateTest, AShorterSeriesInIncrementalMode) {
  ASSERT_TRUE(calc.Compile("X:MA(C,3);"));
  const auto bars = Bars(10);
  calc.Run(bars);
  calc.Run(std::vector<KLINEBAR>(bars.begin(), bars.begin() + 4), true);
  EXPECT_EQ(calc.formula.calcCount, 4u);
  calc.Run(std::vector<KLINEBAR>(), true);
  EXPECT_EQ(calc.formula.calcCount, 0u);
}

}  // namespace

namespace {

std::string Nested(int depth) {
  std::string text = "X:";
  for (int i = 0; i < depth; ++i) text += "MA(";
  text += "C";
  for (int i = 0; i < depth; ++i) text += ",2)";
  return text + ";";
}

// Deep nesting neither overflows the compiler nor the evaluator: very deep
// call chains are refused, deep ones are calculated (bar by bar below the
// column levels) with the values of their definition.
TEST_F(CalculateTest, DeepNesting) {
  CKvIndex f;
  EXPECT_FALSE(f.Compile(Nested(600).c_str(), true));
  EXPECT_STREQ(f.errorText, "语法错误。");
  EXPECT_EQ(f.errorPos, 2 + 500 * 3);
  ASSERT_TRUE(calc.Compile(Nested(40)));
  const auto bars = DailyBars({1, 2, 3, 4, 5, 6});
  calc.Run(bars);
  // MA(X,2) taken 40 times over 1..6: each pass averages neighbours, keeping
  // the first value and moving the rest toward it.
  std::vector<double> x = {1, 2, 3, 4, 5, 6};
  for (int i = 0; i < 40; ++i) {
    std::vector<double> y = {x[0]};
    for (size_t t = 1; t < x.size(); ++t) y.push_back((x[t - 1] + x[t]) / 2);
    x = y;
  }
  EXPECT_TRUE(Near(calc.Line("X"), x, 1e-12));
}

}  // namespace

namespace {

// The newest bar changes in place (the same series buffer) between two
// calculations: everything read from the bars follows.
TEST_F(CalculateTest, ABarChangedInPlaceIsReadAnew) {
  ASSERT_TRUE(calc.Compile("X:EMA(C,3)-EMA(C,5);Y:C;"));
  auto bars = Bars(600);
  calc.Run(bars);
  bars.back().close += 500;
  calc.Run(bars, true);
  Calc fresh(market, stock);
  ASSERT_TRUE(fresh.Compile("X:EMA(C,3)-EMA(C,5);Y:C;"));
  fresh.Run(bars);
  EXPECT_EQ(calc.Line("Y"), fresh.Line("Y"));
  EXPECT_TRUE(Near(calc.Line("X"), fresh.Line("X"), 1e-12));
}

}  // namespace
