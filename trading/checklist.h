// The after-login check list: every open-trigger order, stop entry and
// armed condition order that could act once the automation is armed,
// listed for the user to delete before confirming. Each row points into
// the desk's arrays through its key; separators have kind 0. Widget-free:
// the page draws rows and forwards clicks here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "market/marketrecords.h"

class TTradeDesk;
class TConditionOrders;

enum : int {
  kCheckSeparator = 0,
  kCheckPending = 1,
  kCheckStop = 2,
  kCheckCondition = 3,
};

// What a row shows: the open-trigger order's place in the order array, the
// position's place in the position array with the entry's number in its
// stop list, or the condition order's place in its list.
struct TCheckListKey {
  int kind = kCheckSeparator;
  int32_t index = 0;
  int32_t sub = 0;
};

enum : int { kCheckColumnKind, kCheckColumnContract, kCheckColumnVolume, kCheckColumnCondition, kCheckColumnAction,
             kCheckColumns };

struct TCheckListRow {
  TCheckListKey key;
  std::array<std::string, kCheckColumns> cells;
};

// The condition text of a stop entry: three blank-padded pieces of 16, 20
// and 16 bytes.
std::string CheckListStopCondition(double stop, double trailing, double profit);
// The condition text of a condition order, printed with decimals (held to
// 0..6).
std::string CheckListConditionText(const struct ConditionOrder &order, int decimals);

class TAutomationCheckList {
 public:
  TAutomationCheckList(TTradeDesk &desk, TConditionOrders &conditions);

  std::vector<TCheckListRow> rows;

  // The order list must be rebuilt (an open-trigger order left the array).
  std::function<void()> orderListChanged;
  // Shows an instrument in the page's active view ("SyncContract").
  std::function<void(STKPTR)> showInstrument;

  // Open-trigger orders, stop entries (each shared list once) and the
  // condition orders that are neither pre-set nor paused, newest first;
  // a separator before every block that follows rows.
  void Fill();
  // Deletes what the row shows, rewrites its file and fills the list
  // again. False for a separator, a row outside the list or an item that
  // is gone.
  bool DeleteRow(int row);
  // Every open-trigger order, stop entry and condition order, each file
  // rewritten; the list is emptied.
  void DeleteAll();
  // The row was selected: with "SyncContract" on its instrument is shown.
  void SelectRow(int row);
  // The instrument a row names; none for a separator or a stale key.
  STKPTR RowInstrument(int row) const;

 private:
  TTradeDesk &desk_;
  TConditionOrders &conditions_;
};
