// A trading desk over a futures market, as the trading benchmarks use it:
// a stock market at 0 and a futures market "DL" at 1 with count contracts
// "C0000", "C0001", ... (exchange DCE, tick 1, multiplier 10, last price
// 3500), the data loaded, account 880001 with its folder, the plug-in's
// table empty and a host that records nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "testing/desk_ui_recorder.h"
#include "testing/market_fixture_min.h"
#include "trading/deskdata.h"

class TDataIO;

// The two markets' files only; the contracts' codes in order.
std::vector<std::string> WriteFuturesWorld(market_fixture::MarketSandbox &box, int count);

struct FuturesDeskWorld {
  // count 0: the account and its folder only, no market files or data.
  explicit FuturesDeskWorld(int count);
  ~FuturesDeskWorld();
  FuturesDeskWorld(const FuturesDeskWorld &) = delete;
  FuturesDeskWorld &operator=(const FuturesDeskWorld &) = delete;

  market_fixture::MarketSandbox box;
  std::unique_ptr<TDataIO> io;
  TTradeDesk data;
  QuietDeskHost host;
  std::vector<std::string> codes;
};
