// The condition orders of the logged-in account: the list (the desk's
// conditions array), "DEALLIST.SET" (read in every version, written as
// "KVDL20"), the record of fired orders "Dealed.dat", the open and time
// triggers and firing one order into the task queue. GUI thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "trading/automation.h"
#include "trading/deskrecords.h"

class TTradeDesk;
struct CContractInfo;

constexpr size_t kConditionRecordSize = 104;

// The stored 104 bytes of an order, field by field, and back (the
// instrument is left as none).
void PutConditionRecord(const ConditionOrder &order, unsigned char out[kConditionRecordSize]);
ConditionOrder GetConditionRecord(const unsigned char in[kConditionRecordSize]);

class TConditionOrders {
 public:
  TConditionOrders(TTradeDesk &desk, TAutomationHooks &hooks);

  // False while the contract table is known to be incomplete: records of
  // contracts missing from it are then kept aside and written back.
  bool contractsComplete = true;
  // The trade date firings are journalled under; the plug-in's by default.
  std::function<int32_t()> tradeDate;

  // Empties the list and reads "DEALLIST.SET".
  void LoadConditionOrders(int32_t tradeDate);
  // Rewrites "DEALLIST.SET" and writes the list's snapshot to the log.
  void SaveConditionOrders();
  // An exchange opened.
  void TriggerOpenConditionOrders(const char *exchange);
  // Once a second.
  void CheckTimeConditionOrders();
  // True when the order left the list; by hand without a contract. Does
  // not start the queue.
  bool FireConditionOrder(int32_t index, const CContractInfo *contract);
  // Something must be confirmed after login.
  bool HasArmedAutomation() const;

  // The records kept aside for contracts missing from an incomplete table.
  const std::vector<std::array<unsigned char, kConditionRecordSize>> &Aside() const { return aside_; }

 private:
  bool ContractUsable(const CContractInfo *contract) const;
  void AppendDealed(const ConditionOrder &order, bool byHand);
  void AfterWalk(bool fired, bool wasEmpty);
  // Fires every order, in list order, that is not paused, has a usable
  // contract and is due; then refreshes the page and starts the queue.
  template <typename Due>
  void FireDue(Due due);

  TTradeDesk &desk_;
  TAutomationHooks &hooks_;
  std::vector<std::array<unsigned char, kConditionRecordSize>> aside_;
};

// The current price of an order's price source (bid 1, ask 1 or last, the
// last price where the side is 0), over the divisor; and the history row.
double ConditionSourcePrice(const ConditionOrder &order, const REALQUOTE &quote, uint32_t divisor);
// The price condition met now and in the N - 1 quotes before (N held to
// 1..6).
bool ConditionPriceMet(const ConditionOrder &order, const REALQUOTE &quote, const PRICEHIST &history,
                       uint32_t divisor);
