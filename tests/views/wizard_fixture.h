// A small market for the wizard and the block dialogs: two stock markets
// (SH, SZ), a futures market (QH) with full contract codes and a second
// futures market (DL), their market and kind blocks, and the user's blocks.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"

namespace wizard_fixture {

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;

inline MKINFO Market(const char *shortName, const char *ext, uint8_t type, uint16_t capacity, const char *name,
                     std::vector<const char *> kinds) {
  MKINFO m = MakeMarket(shortName, ext, type, capacity, 8, 0);
  std::snprintf(m.name, sizeof m.name, "%s", name);
  for (const char *kind : kinds) AddKind(m, kind, {{570, 690}, {780, 900}}, 540, 960);
  return m;
}

class MarketWorld {
 public:
  explicit MarketWorld(SYSTEMTIME utc = market_fixture::UtcAt(2019, 5, 10, 2, 0)) : clock_(utc) {
    UpdateCurrentUtcTime();
  }
  ~MarketWorld() {
    blocks_.reset();
    io_.reset();
  }

  // The standard markets: SH, SZ, QH (futures, extended codes) and DL.
  void WriteStandard() {
    MKINFO sh = Market("SH", "shd", 1, 16, "上海", {"指数", "A股"});
    MKINFO sz = Market("SZ", "szd", 1, 16, "深圳", {"指数", "A股"});
    MKINFO qh = Market("QH", "qhf", 2, 16, "上期", {"期货"});
    MKINFO dl = Market("DL", "dlf", 2, 16, "大连", {"期货"});
    markets_ = {sh, sz, qh, dl};
    box_.WriteMarketInfo(markets_);
    box_.WriteTable(sh, "nametbl",
                    std::vector<STKINFO>{MakeStock(0, 0, "000001", "上证指数"), MakeStock(0, 1, "600036", "招商银行"),
                                         MakeStock(0, 1, "601318", "中国平安"), MakeStock(0, 1, "600000", "浦发银行"),
                                         MakeStock(0, 1, "036001", "三六零")});
    box_.WriteTable(sz, "nametbl",
                    std::vector<STKINFO>{MakeStock(1, 0, "399001", "深证成指"), MakeStock(1, 1, "000001", "平安银行"),
                                         MakeStock(1, 1, "000036", "华联控股"), MakeStock(1, 1, "0036", "短码"),
                                         MakeStock(1, 1, "000002", "鑫达")});
    box_.WriteTable(qh, "nametbl",
                    std::vector<STKINFO>{MakeStock(2, 0, "RU05", "橡胶05"), MakeStock(2, 0, "CU05", "沪铜05")});
    box_.WriteTable(qh, "nametble", std::vector<STKINFOEX>{MakeStockEx("ru1905"), MakeStockEx("cu1905")});
    box_.WriteTable(dl, "nametbl", std::vector<STKINFO>{MakeStock(3, 0, "M05", "豆粕05")});
    box_.WriteTable(dl, "nametble", std::vector<STKINFOEX>{MakeStockEx("m1905")});
  }

  // Builds the market table and the block table from what was written.
  void Build() {
    io_ = std::make_unique<TDataIO>(nullptr);
    blocks_ = std::make_unique<TBlockGroup>();
  }

  market_fixture::MarketSandbox &Box() { return box_; }
  ScopedFakeClock &Clock() { return clock_; }
  std::vector<MKINFO> &Markets() { return markets_; }

 private:
  ScopedFakeClock clock_;
  market_fixture::MarketSandbox box_;
  std::vector<MKINFO> markets_;
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TBlockGroup> blocks_;
};

}  // namespace wizard_fixture
