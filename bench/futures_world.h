// The market the trading benchmarks run over: a stock market at 0 and a
// futures market "DL" at 1 with count contracts "C0000", "C0001", ...
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "testing/market_fixture_min.h"

inline std::vector<std::string> WriteFuturesWorld(market_fixture::MarketSandbox &box, int count) {
  MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 4);
  market_fixture::AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
  MKINFO dl = market_fixture::MakeMarket("DL", "dlf", 2, count);
  market_fixture::AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
  box.WriteMarketInfo({sh, dl});
  box.WriteTable(sh, "nametbl", std::vector<STKINFO>{market_fixture::MakeStock(0, 0, "600000", "浦发")});
  std::vector<std::string> codes;
  std::vector<STKINFO> stocks;
  std::vector<STKINFOEX> extended;
  for (int i = 0; i < count; ++i) {
    char code[16];
    snprintf(code, sizeof code, "C%04d", i);
    codes.push_back(code);
    stocks.push_back(market_fixture::MakeStock(1, 0, code, "合约"));
    extended.push_back(market_fixture::MakeStockEx(code));
  }
  box.WriteTable(dl, "nametbl", stocks);
  box.WriteTable(dl, "nametble", extended);
  return codes;
}
