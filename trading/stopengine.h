// The stop engine: run for every full quote the push delivers. It hands the
// quote to the local link, moves trailing stops, fires the stop-loss and
// take-profit entries of the instrument's positions into close tasks,
// refreshes the profit columns, fires the price-triggered condition orders
// and starts the task queue. It keeps no state between quotes and
// allocates nothing but the tasks it queues. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "market/marketrecords.h"
#include "trading/automation.h"

class TTradeDesk;
class TConditionOrders;
struct CContractInfo;
struct InvestorPosition_Lite;
struct StopOrder;

class TStopEngine {
 public:
  TStopEngine(TTradeDesk &desk, TAutomationHooks &hooks, TConditionOrders &conditions);

  // The trade date firings are journalled under; the plug-in's by default.
  std::function<int32_t()> tradeDate;

  // The frame's receiver for a full quote of the instrument.
  void CheckStopOrders(STKPTR stock, const REALQUOTE &quote, const STKINFO &info);

 private:
  struct Run;
  void PositionPass(Run &run, bool yesterday);
  void WalkEntries(Run &run, int32_t index, const CContractInfo &contract);
  // True when the entry left the list or changed its volume.
  bool Fire(Run &run, int32_t index, StopOrder **link, bool stop, const CContractInfo &contract);
  void ProfitColumns(Run &run);
  void ConditionTest(Run &run);

  TTradeDesk &desk_;
  TAutomationHooks &hooks_;
  TConditionOrders &conditions_;
};

// Whether the engine looks at the market: futures, or one of the extra
// markets.
bool StopEngineMarket(int market);
