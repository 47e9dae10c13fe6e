// The desk's automation in one place: the stop store the bookkeeping
// calls, the firing journal, the condition orders and the stop engine,
// sharing one set of window hooks. The main window owns one per desk.
#pragma once

#include <cstdint>

#include "trading/automation.h"
#include "trading/checklist.h"
#include "trading/conditionorders.h"
#include "trading/firingjournal.h"
#include "trading/stopengine.h"
#include "trading/stoporders.h"

class TTradeDesk;
struct TDispatchHooks;

class TDeskAutomation {
 public:
  // Becomes the desk's stop store; the rights come from the quote login's
  // feature rights.
  explicit TDeskAutomation(TTradeDesk &desk);
  ~TDeskAutomation();
  TDeskAutomation(const TDeskAutomation &) = delete;
  TDeskAutomation &operator=(const TDeskAutomation &) = delete;

  TAutomationHooks hooks;
  TDeskStopStore stops;
  TFiringJournal journal;
  TConditionOrders conditions;
  TStopEngine engine;
  // The after-login check list over the desk's arrays.
  TAutomationCheckList checkList;

  // After a position list known to be complete: the stop files, then the
  // journal's open intents against the orders the broker holds. The desk's
  // own position list end comes here through the stop store.
  void PositionsComplete(int32_t tradeDate);
  // The task runner's observer: the plug-in's order call returned for the
  // task (result 0: sent with reference; else refused with text).
  void OnOrderInsert(const OrderScript &task, int result, const char *reference, const char *text);
  // The dispatcher's condition-order hooks.
  void Bind(TDispatchHooks &dispatch);

 private:
  TTradeDesk &desk_;
};
