// Shared pieces of the formula engine's tests: a fake market (name-table
// entries, code lookups and series agents), bar series built from prices, and
// a helper that compiles and calculates a formula and reads its lines.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/datetime.h"
#include "formula/indexfunc.h"
#include "formula/indexmarket.h"
#include "formula/kvindex.h"
#include "testing/index_fake_market.h"

namespace formula_test {

using testing_support::FakeMarket;
using testing_support::FakeStock;

// Bars at consecutive days from 2006-01-02, prices times the divisor.
inline std::vector<KLINEBAR> DailyBars(const std::vector<double> &closes, uint32_t divisor = 100,
                                       const std::vector<double> &opens = {},
                                       const std::vector<double> &highs = {},
                                       const std::vector<double> &lows = {}) {
  std::vector<KLINEBAR> bars(closes.size());
  PackedDateTime day = MakePackedDateTime(2006, 1, 2);
  for (size_t i = 0; i < closes.size(); ++i) {
    KLINEBAR &b = bars[i];
    std::memset(&b, 0, sizeof b);
    auto raw = [divisor](double v) { return uint32_t(std::llround(v * divisor)); };
    b.time = day;
    b.close = raw(closes[i]);
    b.open = raw(i < opens.size() ? opens[i] : closes[i]);
    b.high = raw(i < highs.size() ? highs[i] : std::max(closes[i], i < opens.size() ? opens[i] : closes[i]));
    b.low = raw(i < lows.size() ? lows[i] : std::min(closes[i], i < opens.size() ? opens[i] : closes[i]));
    b.volume = float(1000 + i);
    b.amount = float(50000 + i);
    day = PackedNextDay(day);
  }
  return bars;
}

// A formula compiled and calculated over a series of the fake market's first
// instrument; Line(name) gives a statement's values.
class Calc {
 public:
  Calc(FakeMarket &market, const FakeStock &stock) : market_(market), stock_(stock) {}

  // Compiles (trusted); a failure is a test failure with the message.
  bool Compile(const std::string &text) {
    const bool ok = formula.Compile(text.c_str(), true);
    EXPECT_TRUE(ok) << text << " -> " << formula.errorText << " at " << formula.errorPos;
    return ok;
  }
  void Run(const std::vector<KLINEBAR> &bars, bool incremental = false, uint8_t kind = 7,
           uint32_t multiple = 1) {
    bars_ = bars;
    char owner[32] = {};
    std::strncpy(owner, stock_.code.c_str(), sizeof owner - 1);
    formula.Calculate(nullptr, owner, kind, multiple, FakeMarket::Info(stock_), bars_.data(),
                      uint32_t(bars_.size()), false, incremental);
  }
  std::vector<double> Line(const std::string &name) const {
    const int32_t i = name.empty() ? 0 : formula.FindVariable(name.c_str());
    EXPECT_GE(i, 0) << name;
    return Line(i);
  }
  std::vector<double> Line(int32_t i) const {
    std::vector<double> v;
    const CKvIndexVariable *var = formula.GetVariable(i);
    if (!var) return v;
    for (uint32_t b = 0; b < formula.calcCount; ++b) v.push_back(var->GetValue(b));
    return v;
  }
  // Compiles "X:<expression>;" and gives X over the bars.
  std::vector<double> Eval(const std::string &expression, const std::vector<KLINEBAR> &bars) {
    if (!Compile("X:" + expression + ";")) return {};
    Run(bars);
    return Line("X");
  }

  CKvIndex formula;

 private:
  FakeMarket &market_;
  const FakeStock &stock_;
  std::vector<KLINEBAR> bars_;
};

// A spy stands in for chosen built-ins of a compiled formula: it records the
// name and the bar of every call and passes it on to the real built-in.
class Spy {
 public:
  Spy() { active_ = this; }
  ~Spy() { active_ = nullptr; }

  // Puts the spy in front of every call of the named built-ins (at any depth).
  void Watch(CKvIndexExpression &e, const std::vector<std::string> &names) {
    for (uint32_t i = 0; i < e.CallCount(); ++i) {
      CKvIndexFunction &call = *e.GetCall(i);
      for (CKvIndexFunctionParam *a = call.args; a; a = a->next) Watch(*a, names);
      for (const auto &n : names) {
        if (n != call.name) continue;
        if (!call.args) {
          // Calls without arguments cannot be told apart; C is the one watched.
          EXPECT_EQ(n, "C");
          call.impl = &SpyClose;
        } else {
          originals_[call.args] = {call.impl, n};
          call.impl = &SpyCall;
        }
      }
    }
  }
  void Watch(CKvIndex &f, const std::vector<std::string> &names) {
    for (auto &v : f.variables) Watch(*v->expression, names);
  }
  int Count(const std::string &name) const {
    int n = 0;
    for (const auto &c : calls) n += c.first == name;
    return n;
  }
  std::vector<uint32_t> Bars(const std::string &name) const {
    std::vector<uint32_t> bars;
    for (const auto &c : calls)
      if (c.first == name) bars.push_back(c.second);
    return bars;
  }
  std::string Order(uint32_t bar) const {
    std::string order;
    for (const auto &c : calls)
      if (c.second == bar) order += (order.empty() ? "" : " ") + c.first;
    return order;
  }

  std::vector<std::pair<std::string, uint32_t>> calls;

 private:
  static double SpyCall(const INDEXCALC *ctx, const CKvIndexFunctionParam *args) {
    const auto &original = active_->originals_.at(args);
    active_->calls.emplace_back(original.second, ctx->bar);
    return original.first(ctx, args);
  }
  static double SpyClose(const INDEXCALC *ctx, const CKvIndexFunctionParam *) {
    active_->calls.emplace_back("C", ctx->bar);
    return FindIndexFunctionImpl("C")(ctx, nullptr);
  }

  static Spy *active_;
  std::map<const CKvIndexFunctionParam *, std::pair<IndexFunctionImpl, std::string>> originals_;
};
inline Spy *Spy::active_ = nullptr;

// Compares two value lists, NaN equal to NaN, with a relative tolerance.
inline ::testing::AssertionResult Near(const std::vector<double> &actual, const std::vector<double> &expected,
                                       double tolerance = 1e-9) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << "size " << actual.size() << " != " << expected.size();
  for (size_t i = 0; i < actual.size(); ++i) {
    const double a = actual[i], e = expected[i];
    if (std::isnan(a) && std::isnan(e)) continue;
    if (std::isinf(e) && a == e) continue;
    if (!(std::fabs(a - e) <= tolerance * std::max(1.0, std::fabs(e))))
      return ::testing::AssertionFailure() << "at bar " << i << ": " << a << " != " << e;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace formula_test
