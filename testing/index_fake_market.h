// A fake market side for the formula engine: name-table entries, code
// lookups and series agents, installed as the engine's provider for the
// fake's lifetime. Tests of the engine and of everything that paints
// formulas use it.
#pragma once

#include <gtest/gtest.h>

#include <strings.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formula/indexmarket.h"

namespace testing_support {

// One instrument of the fake market table.
struct FakeStock {
  uint8_t market = 0;
  uint8_t kind = 0;
  uint16_t index = 0;
  uint32_t divisor = 100;
  uint8_t decimals = 2;  // price decimals
  std::string code;
};

// The market side as the engine sees it, installed for the test's lifetime.
class FakeMarket : public IIndexMarket {
 public:
  FakeMarket() { previous_ = SetIndexMarket(this); }
  ~FakeMarket() override { SetIndexMarket(previous_); }

  const FakeStock &Add(uint8_t market, const std::string &code, uint32_t divisor = 100, uint8_t kind = 0) {
    auto stock = std::make_unique<FakeStock>();
    stock->market = market;
    stock->kind = kind;
    stock->code = code;
    stock->divisor = divisor;
    uint16_t index = 0;
    for (const auto &s : stocks_)
      if (s->market == market) ++index;
    stock->index = index;
    stocks_.push_back(std::move(stock));
    return *stocks_.back();
  }
  static const STKINFO *Info(const FakeStock &s) { return reinterpret_cast<const STKINFO *>(&s); }
  // The series every agent of that instrument serves.
  void SetSeries(const FakeStock &s, std::vector<KLINEBAR> bars) { series_[&s] = std::move(bars); }

  const STKINFO *FindStockInMarket(const char *code, uint8_t market) override {
    ++lookups;
    for (const auto &s : stocks_)
      if (s->market == market && strcasecmp(s->code.c_str(), code) == 0) return Info(*s);
    return nullptr;
  }
  const STKINFO *FindStockFromMarket(const char *code, uint8_t *market) override {
    ++lookups;
    for (int m = *market; m < 48; ++m)
      for (const auto &s : stocks_)
        if (s->market == m && strcasecmp(s->code.c_str(), code) == 0) {
          *market = uint8_t(m);
          return Info(*s);
        }
    return nullptr;
  }
  const STKINFO *LookupStock(const char *code, uint16_t *market, bool searchAll) override {
    ++lookups;
    for (const auto &s : stocks_)
      if (s->market == *market && strcasecmp(s->code.c_str(), code) == 0) return Info(*s);
    if (!searchAll) return nullptr;
    for (const auto &s : stocks_)
      if (strcasecmp(s->code.c_str(), code) == 0) {
        *market = s->market;
        return Info(*s);
      }
    return nullptr;
  }
  IndexStockFacts Facts(const STKINFO *info) override {
    const auto *s = reinterpret_cast<const FakeStock *>(info);
    IndexStockFacts f;
    f.market = s->market;
    f.kind = s->kind;
    f.index = s->index;
    f.priceDivisor = s->divisor;
    f.priceDecimals = s->decimals;
    return f;
  }
  const STKINFO *GetStockInfo(IndexStockRef stock) override {
    const FakeStock *s = Find(stock);
    return s ? Info(*s) : nullptr;
  }
  int32_t AcquireDataAgent(IndexStockRef stock, uint8_t kind, uint32_t count, HWND window) override {
    liveAtAcquire.push_back(LiveAgents());
    agents_.push_back({Find(stock), kind, count, window, true});
    return int32_t(agents_.size() - 1);
  }
  void ReleaseDataAgent(int32_t agent, HWND window) override {
    ASSERT_GE(agent, 0);
    ASSERT_LT(size_t(agent), agents_.size());
    EXPECT_TRUE(agents_[agent].live) << "agent " << agent << " released twice";
    EXPECT_EQ(agents_[agent].window, window);
    agents_[agent].live = false;
  }
  void GetSeries(int32_t agent, const KLINEBAR **bars, uint32_t *count) override {
    *bars = nullptr;
    *count = 0;
    if (agent < 0 || size_t(agent) >= agents_.size() || !agents_[agent].stock) return;
    auto it = series_.find(agents_[agent].stock);
    if (it == series_.end()) return;
    *bars = it->second.data();
    *count = uint32_t(it->second.size());
  }

  struct Agent {
    const FakeStock *stock;
    uint8_t kind;
    uint32_t count;
    HWND window;
    bool live;
  };
  const std::vector<Agent> &Agents() const { return agents_; }
  int LiveAgents() const {
    int n = 0;
    for (const auto &a : agents_) n += a.live;
    return n;
  }
  int lookups = 0;
  std::vector<int> liveAtAcquire;  // live agents when each agent was acquired

 private:
  const FakeStock *Find(IndexStockRef stock) const {
    for (const auto &s : stocks_)
      if (s->market == stock.market && s->index == stock.index) return s.get();
    return nullptr;
  }

  IIndexMarket *previous_ = nullptr;
  std::vector<std::unique_ptr<FakeStock>> stocks_;
  std::map<const FakeStock *, std::vector<KLINEBAR>> series_;
  std::vector<Agent> agents_;
};

}  // namespace testing_support
