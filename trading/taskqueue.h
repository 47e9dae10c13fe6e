// The automatic-order task queue: every order the terminal places by itself
// (quick operations, stop closes, fired condition orders) is a task that is
// priced from the live quote when it is sent, followed through its order
// returns, cancelled after its time-out and sent again with the rest when
// so set. Every step is shown on the task page with a time stamp and
// written to the trade log.
//
// A task's order is found through the order book by its reference at every
// use; the array it lives in moves with every sort and query.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/windef.h"
#include "trading/deskrecords.h"

class TTradeDesk;
class TTradingDesk;
class TOrderBook;
class TDeskHost;

// Price kinds of a task.
enum : uint8_t {
  kTaskPriceOffsetTicks = 0,  // the book's other side and the option's ticks
  kTaskPriceOppositePlus = 1,
  kTaskPriceFixed = 2,
  kTaskPriceQueuePlus = 3,
  kTaskPriceLastPlus = 4,
  kTaskPriceLimitUp = 5,
  kTaskPriceLimitDown = 6
};

// What one OrderInsert of a task gave: the task as sent, the price, the
// plug-in's result, the order reference and the text.
struct TTaskInsert {
  const OrderScript *task;
  double price;
  int result;
  const char *orderRef;
  const char *text;
};

class TTaskQueue {
 public:
  TTaskQueue(TTradingDesk &desk, TOrderBook &book, TDeskHost &host);

  void StartOrderScripts();
  void RunOrderScripts();
  // Once per second through the trading timer.
  void CheckTaskTimeouts();
  void OnTaskOrderReturn(CKivoOrderField *order);
  bool OnTaskCancelResult(const char *block);
  // The main timer's tick while trading (until the trading timer takes it).
  void TradeTimer() { CheckTaskTimeouts(); }

  // The task page: its text (XPRichEdit1) and the button's caption and
  // failure count (XPButton19 and its tag).
  std::string progress;
  std::string buttonCaption = "确认";
  int failures = 0;
  // Each OrderInsert outcome of a task (the firing journal listens).
  std::function<void(const TTaskInsert &)> onOrderInsert;

 private:
  void Progress(const std::string &line);
  void Log(const OrderScript &task, int level, const char *text);
  void LogError(const OrderScript &task, const char *text);
  // Removes the task and the one that waits for it.
  void RemoveFailed(int32_t index);
  // Removes a finished task; true when the next one waited for it.
  bool RemoveDone(int32_t index);
  void Finish();
  int32_t FindTask(const char *orderRef) const;

  TTradingDesk &desk_;
  TTradeDesk &data_;
  TOrderBook &book_;
  TDeskHost &host_;
  bool running_ = false;
  int depth_ = 0;
};
