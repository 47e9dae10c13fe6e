// Expression evaluation: the order in which operands are read, the calls
// that are skipped, the column evaluation against bar-by-bar evaluation, and
// the cross-instrument references.
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {


class EvaluateTest : public ::testing::Test {
 protected:
  EvaluateTest() : stock(market.Add(3, "AL1009")), calc(market, stock) {}

  FakeMarket market;
  const FakeStock &stock;
  Calc calc;
};

// Closes above opens at bars 0 and 2 only.
std::vector<KLINEBAR> FourBars() { return DailyBars({11, 10, 13, 12}, 100, {10, 11, 12, 13}); }

// A right operand that is a single token is skipped once AND or OR is
// decided, and so is the left side of a division by 0; a side that is a
// sub-expression has been evaluated (calls included) before the operator.
TEST_F(EvaluateTest, SkippedCalls) {
  const struct {
    const char *expression;
    const char *watched;
    std::vector<uint32_t> bars;
  } cases[] = {
      {"(C>O) AND REF(C,1)", "REF", {0, 2}},
      {"(C>O) AND (C>REF(C,1))", "REF", {0, 1, 2, 3}},
      {"(C>O) OR REF(C,1)", "REF", {1, 3}},
      {"REF(C,1) AND (C>O)", "REF", {0, 1, 2, 3}},
      {"REF(C,1)/(C-C)", "REF", {}},
      {"REF(C,1)/(C>O)", "REF", {0, 2}},
      {"(C-C)/REF(C,1)", "REF", {0, 1, 2, 3}},
      {"REF(C,1)*0", "REF", {0, 1, 2, 3}},
      {"IF(C>O,REF(C,1),MA(C,2))", "REF", {0, 2}},
      {"IF(C>O,REF(C,1),MA(C,2))", "MA", {1, 3}},
      {"MOD(REF(C,1),C-C)", "REF", {}},
      {"MOD(REF(C,1),C>O)", "REF", {0, 2}},
      {"C/0", "C", {}},
      {"BARSCOUNT(REF(C,1))", "REF", {}},
  };
  for (const auto &c : cases) {
    ASSERT_TRUE(calc.Compile(std::string("X:") + c.expression + ";"));
    Spy spy;
    spy.Watch(calc.formula, {c.watched});
    calc.Run(FourBars());
    EXPECT_EQ(spy.Bars(c.watched), c.bars) << c.expression;
  }
}

TEST_F(EvaluateTest, DivisionByZeroIsZero) {
  EXPECT_EQ(calc.Eval("C/0", FourBars()), std::vector<double>(4, 0.0));
  EXPECT_EQ(calc.Eval("0/0", FourBars()), std::vector<double>(4, 0.0));
  EXPECT_EQ(calc.Eval("C/(O-O)+1", FourBars()), std::vector<double>(4, 1.0));
}

// An operator reads its operands when it is reached, so a left operand that
// is a single token is read after everything to its right that was reduced
// before.
TEST_F(EvaluateTest, OperandOrder) {
  const struct {
    const char *expression;
    const char *order;
  } cases[] = {
      {"REF(C,1)+MA(C,2)", "REF MA"},
      {"REF(C,1)+EMA(C,2)*MA(C,2)", "EMA MA REF"},
      {"EMA(C,2)*MA(C,2)+REF(C,1)", "EMA MA REF"},
      {"REF(C,1)/MA(C,2)", "MA REF"},
      {"REF(C,1) AND MA(C,2)", "REF MA"},
      {"(REF(C,1)+EMA(C,2))*(MA(C,2)-SUM(C,2))", "REF EMA MA SUM"},
      {"REF(C,1)-(EMA(C,2)-(MA(C,2)-SUM(C,2)))", "MA SUM EMA REF"},
  };
  for (const auto &c : cases) {
    ASSERT_TRUE(calc.Compile(std::string("X:") + c.expression + ";"));
    Spy spy;
    spy.Watch(calc.formula, {"REF", "MA", "EMA", "SUM"});
    calc.Run(FourBars());
    EXPECT_EQ(spy.Order(3), c.order) << c.expression;
  }
}

// Wraps the first call with arguments in a pass-through built-in, which makes
// the whole statement evaluate bar by bar.
double PassThrough(const INDEXCALC *ctx, const CKvIndexFunctionParam *args);
std::map<const CKvIndexFunctionParam *, IndexFunctionImpl> g_passed;
double PassThrough(const INDEXCALC *ctx, const CKvIndexFunctionParam *args) { return g_passed.at(args)(ctx, args); }
bool WrapOne(CKvIndexExpression &e) {
  for (uint32_t i = 0; i < e.CallCount(); ++i) {
    CKvIndexFunction &call = *e.GetCall(i);
    if (call.args) {
      g_passed[call.args] = call.impl;
      call.impl = &PassThrough;
      return true;
    }
  }
  return false;
}

std::vector<KLINEBAR> RandomBars(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> step(-40, 40);
  std::vector<double> c, o, h, l;
  double price = 100;
  for (size_t i = 0; i < n; ++i) {
    const double open = price;
    price = std::max(1.0, price + step(random) / 100.0);
    o.push_back(open);
    c.push_back(price);
    h.push_back(std::max(open, price) + (random() % 30) / 100.0);
    l.push_back(std::min(open, price) - (random() % 30) / 100.0);
  }
  return DailyBars(c, 100, o, h, l);
}

bool SameBits(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Columns at a time give exactly the values of bar-by-bar evaluation: the
// same calls at the same bars, whatever is masked by AND, OR, division or IF.
TEST_F(EvaluateTest, ColumnsAgreeWithBarByBarEvaluation) {
  const char *const formulas[] = {
      "DIF:EMA(C,12)-EMA(C,26);DEA:EMA(DIF,9);MACD:(DIF-DEA)*2;",
      "RSV:=(C-LLV(L,9))/(HHV(H,9)-LLV(L,9))*100;K:SMA(RSV,3,1);D:SMA(K,3,1);J:3*K-2*D;",
      "LC:=REF(C,1);RSI:SMA(MAX(C-LC,0),6,1)/SMA(ABS(C-LC),6,1)*100;",
      "M:MA(C,20);UP:M+2*STD(C,20);DN:M-2*STDP(C,20);",
      "X:(C>O) AND EMA(C,3);Y:(C<O) OR MA(C,4);Z:EMA(C,3)/(C-O);W:IF(C>O,MA(C,3),EMA(C,5));",
      "X:MA(EMA(C,5),3)+SUM(C>O,0)+WMA(C,4)-EMA2(C,3);",
      "X:COUNT(C>O,5)*HHV(H,3)-LLV(L,4)/WMA(C,3)+MAX(MA(C,2),EMA(C,3),REF(C,1));",
      "X:VALUEWHEN(CROSS(C,MA(C,3)),C)+BARSLAST(C>REF(C,1))+BARSSINCE(C>101);",
      "X:LONGCROSS(C,MA(C,3),2)+DMA(C,IF(C>O,0.5,2))+SMA(C,IF(C>O,5,3),1);",
      "X:STD(C,4)+AVEDEV(C,3)+DEVSQ(C,3)+VARP(C,0)+VAR(C,2);",
      "X:MA(C,IF(BARPOS>100,5,10))+SUM(C,2000)+HHV(C,0)+LLV(C,0)+WMA(C,0);",
      "X:NOT(C>O)*ABS(C-O)+SQRT(C)-LN(C)+POW(C,0.5)+BETWEEN(C,O,H)+RANGE(C,L,H)+FLOOR(C)+CEILING(O);",
      "X:SAR(10,2,20)+SAR_KIVO(10,2,20)+ZIG(3,5)+REFX(C,2)+BACKSET(C>O,3)+FILTER(C>O,2);",
      "A:=C-O;X:IF(A>0,EMA(A,3),REF(A,2))*((A>0.1) OR SUM(A,3))/(MA(A,2)+1);",
      "X:EMA(C,IF(C>O,12.5,IF(C<O-0.2,-3,SQRT(-1))))-EMA(O,IF(C>H-0.05,LN(0),4));",
      // More calls with a constant window running at once than there are
      // shared columns of one value.
      "A:EMA(C,2)+EMA(C,3)+EMA(C,4)+EMA(C,5)+EMA(C,6)+EMA(C,7)+EMA(C,8)+EMA(C,9)+EMA(C,10)+EMA(O,11);"
      "B:EMA(A,12)-EMA(C,13)+SMA(A,3,1)-EMA(A,2);",
  };
  const auto bars = RandomBars(600, 7);
  for (const char *text : formulas) {
    Calc columns(market, stock), byBar(market, stock);
    ASSERT_TRUE(columns.Compile(text));
    ASSERT_TRUE(byBar.Compile(text));
    bool wrapped = false;
    for (auto &v : byBar.formula.variables) wrapped = WrapOne(*v->expression) || wrapped;
    ASSERT_TRUE(wrapped) << text;
    columns.Run(bars);
    byBar.Run(bars);
    for (uint32_t i = 0; i < columns.formula.VariableCount(); ++i) {
      const auto a = columns.Line(int32_t(i)), b = byBar.Line(int32_t(i));
      ASSERT_EQ(a.size(), bars.size());
      for (size_t k = 0; k < a.size(); ++k)
        ASSERT_TRUE(SameBits(a[k], b[k])) << text << " statement " << i << " bar " << k << ": " << a[k]
                                          << " != " << b[k];
    }
  }
  g_passed.clear();
}

TEST_F(EvaluateTest, OwnNameReadsWhatIsStoredBeforeTheBarIsStored) {
  ASSERT_TRUE(calc.Compile("X:X+1;Y:REF(Y,1)+1;"));
  const auto bars = FourBars();
  calc.Run(bars);
  EXPECT_EQ(calc.Line("X"), std::vector<double>(4, 1.0));  // fresh storage reads 0
  EXPECT_EQ(calc.Line("Y"), (std::vector<double>{1, 2, 3, 4}));
  calc.Run(bars);
  EXPECT_EQ(calc.Line("X"), std::vector<double>(4, 2.0));  // the last calculation's values
  // REF(Y,1) at bar 0 is Y(0), still the last calculation's 1 at that moment.
  EXPECT_EQ(calc.Line("Y"), (std::vector<double>{2, 3, 4, 5}));
}

TEST_F(EvaluateTest, OperandKindsWithoutAFormula) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("X:'A';Y:7;", true));
  INDEXCALC ctx;  // all zero: no formula, no bars
  EXPECT_EQ(f.variables[0]->expression->Evaluate(&ctx), 0);
  EXPECT_EQ(f.variables[1]->expression->Evaluate(&ctx), 7);
  INDEXTOKEN parameter;
  parameter.kind = kOperandParam;
  parameter.index = 0;
  EXPECT_EQ(f.variables[1]->expression->EvaluateOperand(parameter, &ctx), 0);
  INDEXTOKEN own;
  own.kind = kOperandVariable;
  own.index = -1;
  EXPECT_EQ(f.variables[1]->expression->EvaluateOperand(own, &ctx), 0);
}

TEST(FindBarAtOrBefore, Table) {
  std::vector<KLINEBAR> bars(4);
  for (size_t i = 0; i < bars.size(); ++i) bars[i].time = uint32_t(10 * (i + 1));
  const struct {
    uint32_t time;
    int32_t index;
  } cases[] = {{5, -1}, {10, 0}, {15, 0}, {20, 1}, {25, 1}, {35, 2}, {40, 3}, {99, 3}};
  for (const auto &c : cases) EXPECT_EQ(FindBarAtOrBefore(bars.data(), 4, c.time), c.index) << c.time;
  EXPECT_EQ(FindBarAtOrBefore(bars.data(), 0, 10), -1);
  EXPECT_EQ(FindBarAtOrBefore(bars.data(), 1, 10), 0);
  EXPECT_EQ(FindBarAtOrBefore(bars.data(), 1, 9), -1);
  for (uint32_t n = 1; n <= 4; ++n)
    for (uint32_t t = 0; t < 50; ++t) {
      int32_t expected = -1;
      for (uint32_t i = 0; i < n; ++i)
        if (bars[i].time <= t) expected = int32_t(i);
      EXPECT_EQ(FindBarAtOrBefore(bars.data(), n, t), expected) << n << " " << t;
    }
}

// ---- Cross-instrument references ----------------------------------------------

class ReferenceTest : public EvaluateTest {
 protected:
  ReferenceTest() : cu(market.Add(3, "CU1009")) {
    // The other instrument trades on the second and the fourth day only.
    auto other = DailyBars({50, 51, 52, 53, 54});
    market.SetSeries(cu, {other[1], other[3]});
  }
  IndexStockRef Ref(const FakeStock &s) { return IndexStockRef{s.market, 0, s.index}; }

  const FakeStock &cu;
};

TEST_F(ReferenceTest, ValueAtTheLatestBarNotAfterTheChartBar) {
  ASSERT_TRUE(calc.Compile("X:\"CU1009$CLOSE\";Y:\"CU1009$BARPOS\";"));
  calc.Run(DailyBars({1, 2, 3, 4, 5}), false, 6, 5);
  EXPECT_TRUE(Near(calc.Line("X"), {0, 51, 51, 53, 53}));
  EXPECT_EQ(calc.Line("Y"), (std::vector<double>{0, 1, 1, 2, 2}));
  ASSERT_EQ(market.Agents().size(), 2u);
  EXPECT_EQ(market.Agents()[0].stock, &cu);
  EXPECT_EQ(market.Agents()[0].kind, 6);
  EXPECT_EQ(market.Agents()[0].count, 5u);
  EXPECT_TRUE(calc.formula.ReferencesStock(Ref(cu), false));
  EXPECT_FALSE(calc.formula.ReferencesStock(Ref(stock), false));
}

TEST_F(ReferenceTest, AnUnresolvedCodeReadsZeroAndMatchesNothing) {
  ASSERT_TRUE(calc.Compile("X:\"NOPE$CLOSE\"+1;"));
  calc.Run(DailyBars({1, 2, 3}));
  EXPECT_EQ(calc.Line("X"), std::vector<double>(3, 1.0));
  EXPECT_EQ(market.LiveAgents(), 0);
  const CKvIndexRefother &ref = *calc.formula.variables[0]->expression->GetReference(0);
  EXPECT_EQ(ref.stock.index, 0xFFFF);
  EXPECT_FALSE(calc.formula.ReferencesStock(IndexStockRef{255, 255, 0xFFFF}, false));
}

TEST_F(ReferenceTest, CodesResolveInTheirMarkets) {
  const FakeStock &elsewhere = market.Add(2, "600000");
  const FakeStock &lower = market.Add(1, "AG1009");
  const FakeStock &upper = market.Add(5, "AG1009");
  ASSERT_TRUE(calc.Compile("X:\"SH600000$C\";Y:\"AG1009$C\";"));
  calc.Run(DailyBars({1, 2}));
  const CKvIndexRefother &sh = *calc.formula.variables[0]->expression->GetReference(0);
  EXPECT_EQ(sh.stock.index, 0xFFFF);  // SH looks in market 0 only
  EXPECT_FALSE(calc.formula.ReferencesStock(Ref(elsewhere), false));
  const CKvIndexRefother &plain = *calc.formula.variables[1]->expression->GetReference(0);
  EXPECT_EQ(plain.market, 5);  // from market 2 upwards; kept for later subscriptions
  EXPECT_TRUE(calc.formula.ReferencesStock(Ref(upper), false));
  EXPECT_FALSE(calc.formula.ReferencesStock(Ref(lower), false));
  const FakeStock &sh600000 = market.Add(0, "600000");
  calc.Run(DailyBars({1, 2}));
  EXPECT_TRUE(calc.formula.ReferencesStock(Ref(sh600000), false));
}

TEST_F(ReferenceTest, FullCalculationsResubscribeNewBeforeOld) {
  const FakeStock &ag = market.Add(4, "AG1009");
  ASSERT_TRUE(calc.Compile("X:\"CU1009$C\"+MA(\"AG1009$C\",2);DRAWTEXT(1,\"CU1009$H\",'T');"));
  calc.Run(DailyBars({1, 2, 3}));
  EXPECT_EQ(market.LiveAgents(), 3);
  EXPECT_TRUE(calc.formula.ReferencesStock(Ref(ag), false));
  calc.Run(DailyBars({1, 2, 3, 4}));
  EXPECT_EQ(market.Agents().size(), 6u);
  EXPECT_EQ(market.LiveAgents(), 3);
  for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(market.Agents()[i].live);
  // Each new subscription was made while the old ones were still there.
  EXPECT_EQ(market.liveAtAcquire, (std::vector<int>{0, 1, 2, 3, 3, 3}));
  calc.Run(DailyBars({1, 2, 3, 4, 5}), true);  // incremental: no new subscriptions
  EXPECT_EQ(market.Agents().size(), 6u);
  ASSERT_TRUE(calc.Compile("X:C;"));  // the old statements go with their subscriptions
  EXPECT_EQ(market.LiveAgents(), 0);
}

TEST_F(ReferenceTest, ReferencesStockLooksThroughEveryDrawingArgument) {
  // The reference sits in args[3] of the second drawing statement.
  ASSERT_TRUE(calc.Compile("X:C;DRAWTEXT(1,C,'A');STICKLINE(1,C,O,\"CU1009$C\",0);"));
  calc.Run(DailyBars({1, 2}));
  EXPECT_TRUE(calc.formula.ReferencesStock(Ref(cu), false));
  ASSERT_TRUE(calc.Compile("X:C;DRAWTEXT(1,C,'A');STICKLINE(1,C,O,4,0);"));
  calc.Run(DailyBars({1, 2}));
  EXPECT_FALSE(calc.formula.ReferencesStock(Ref(cu), false));
}

TEST_F(ReferenceTest, ReferencesStockFollowsTheChainOnlyWhenAsked) {
  CKvIndex *overlay = new CKvIndex;
  ASSERT_TRUE(overlay->Compile("X:\"CU1009$C\";", true));
  calc.formula.next = overlay;
  ASSERT_TRUE(calc.Compile("X:C;"));
  const auto bars = DailyBars({1, 2});
  char owner[32] = "AL1009";
  calc.formula.Calculate(nullptr, owner, 7, 1, FakeMarket::Info(stock), bars.data(), 2, true, false);
  EXPECT_FALSE(calc.formula.ReferencesStock(Ref(cu), false));
  EXPECT_TRUE(calc.formula.ReferencesStock(Ref(cu), true));
}

}  // namespace
