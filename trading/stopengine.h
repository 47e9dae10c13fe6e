// The stop engine: run for every full quote the push delivers. It hands the
// quote to the local link, moves trailing stops, fires the stop-loss and
// take-profit entries of the instrument's positions into close tasks,
// refreshes the profit columns, fires the price-triggered condition orders
// and starts the task queue. Between quotes it keeps only an index of the
// positions, condition orders and contract record by instrument, rebuilt
// on the first quote after any of those lists changed; a quote allocates
// nothing but the tasks it queues. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/earray.h"
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
  // The same for the frame's instrument word: the kind is looked up only
  // for the local link, the only one that needs it.
  void CheckStopOrders(uint32_t word, const REALQUOTE &quote, const STKINFO &info);

  // Every quote walks the whole position and condition arrays instead of
  // the index: what the engine does when the index can't be built, and
  // the reference the index is tested against.
  bool walkAll = false;

 private:
  struct Run;
  void Check(STKPTR stock, bool kindKnown, const REALQUOTE &quote, const STKINFO &info);
  // The records of one instrument: ranges of the reference lists below
  // and the index of its first contract record (-1 none). And the price
  // bands outside which nothing can happen: a stop entry fires or moves,
  // and a price-triggered order is met, only at a price at or below the
  // low bound or at or above the high one (of the last price, the bid and
  // the ask, a side of 0 standing for the last price).
  struct Slot {
    uint32_t key;
    int32_t firstPosition, positionCount;
    int32_t firstCondition, conditionCount;
    int32_t contract;
    double orderLow, orderHigh;
    // Computed from the entries when the entry change number moved from
    // stopBandSeen; stopAlways while a trailing stop waits for its first
    // reference price.
    double stopLow, stopHigh;
    uint32_t stopBandSeen;
    bool stopBandKnown, stopAlways;
  };
  static constexpr uint32_t kNoSlotKey = 0xFFFFFFFF;

  bool IndexCurrent() const;
  // False when memory ran out (the quote then walks everything).
  bool BuildIndex();
  Slot *FindSlot(uint32_t key);
  void ComputeStopBand(Slot &slot);
  Slot *AddSlot(uint32_t key);
  // Calls visit(i) for every record of the run's instrument in array
  // order; visit returns the index to go on from (i + 1, or i when the
  // record left the array). Once the array changed under the walk, the
  // rest of it is walked record by record.
  template <typename Record, typename Visit>
  void ForEachOfInstrument(Run &run, const EArray<Record> &array, const std::vector<int32_t> &refs, int32_t first,
                           int32_t count, uint32_t seen, Visit visit);

  void PositionPass(Run &run, bool yesterday);
  void WalkEntries(Run &run, int32_t index, const CContractInfo &contract);
  // True when the entry left the list or changed its volume.
  bool Fire(Run &run, int32_t index, StopOrder **link, bool stop, const CContractInfo &contract);
  void ProfitColumns(Run &run);
  void ConditionTest(Run &run);

  TTradeDesk &desk_;
  TAutomationHooks &hooks_;
  TConditionOrders &conditions_;

  // The index: an open-addressed table of slots by instrument (a power of
  // two long) and the array indexes of the positions and condition orders
  // it points into, each instrument's in array order.
  std::vector<Slot> slots_;
  std::vector<int32_t> positionRefs_, conditionRefs_;
  bool indexBuilt_ = false;
  uint32_t seenPositions_ = 0, seenConditions_ = 0, seenContracts_ = 0;
  const void *seenPositionData_ = nullptr, *seenConditionData_ = nullptr, *seenContractData_ = nullptr;
};

// Whether the engine looks at the market: futures, or one of the extra
// markets.
bool StopEngineMarket(int market);
