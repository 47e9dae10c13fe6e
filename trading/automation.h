// What the stop engine and the condition-order triggers ask of the window
// and the task runner: whether the automation is armed, the trading rights,
// the queue start, the list refreshes. Every hook may be empty (nothing
// armed, no rights, nothing shown).
#pragma once

#include <cstdint>
#include <functional>

#include "market/marketrecords.h"
#include "market/rights.h"

struct InvestorPosition_Lite;
class TFiringJournal;


struct TAutomationHooks {
  // Set from the confirmation of the after-login check list until trading
  // closes.
  std::function<bool()> armed;
  // The first byte of the quote login's feature rights.
  std::function<uint8_t()> rights;
  // The task queue: a first start, and continuing a queue that runs.
  std::function<void()> startOrderScripts;
  std::function<void()> runOrderScripts;
  // The local link's quote.
  std::function<void(STKPTR, const REALQUOTE &)> linkSendQuote;
  // The position list: the stop columns of a record (by its index in the
  // array), whether the position page is the one shown, and a row's two
  // profit cells.
  std::function<void(int32_t position)> updatePositionStopColumns;
  std::function<bool()> positionPageShown;
  std::function<void(int32_t row, const char *floating, const char *holding)> profitCells;
  // The stop dialog's position while it is open (null when none).
  std::function<const InvestorPosition_Lite *()> stopDialogPosition;
  // The condition-order page: whether it shows its active orders' tab, and
  // refilling it.
  std::function<bool()> conditionPageActiveTab;
  std::function<void()> refillConditionPage;
  // Open-trigger orders are waiting (the after-login check).
  std::function<bool()> hasPendingOrders;
  // The journal firings are written to; none: firings go without one.
  TFiringJournal *journal = nullptr;

  bool Armed() const { return armed && armed(); }
  bool Allows(uint8_t bit) const { return rights && (rights() & bit) != 0; }
  // After a walk that may have queued tasks: a first start when the queue
  // was empty before, else continuing it.
  template <typename Queue>
  void StartQueue(const Queue &tasks, bool wasEmpty) const {
    if (tasks.IsEmpty()) return;
    if (wasEmpty) {
      if (startOrderScripts) startOrderScripts();
    } else if (runOrderScripts) {
      runOrderScripts();
    }
  }
};
