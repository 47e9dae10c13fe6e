// The condition-order page without a window: the active orders' tab and
// the fired orders' tab ("Dealed.dat", cut to its last 100 records once it
// has grown to 151), and the commands "修改", "删除", "全部删除", "立即下单"
// and "暂停"/"启用" on the selected rows. The tab control shows the rows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trading/deskrecords.h"

class TTradeDesk;
class TConditionOrders;
class TConditionDialogModel;

enum : int { kConditionPageColumns = 8 };

struct TConditionPageRow {
  int32_t index = -1;  // the order's place in the list (active tab)
  bool paused = false;
  std::array<std::string, kConditionPageColumns> cells;
};

// The page's texts of an order, printed with decimals (held to 0..6): the
// condition, the price and the volume columns.
std::string ConditionPageCondition(const ConditionOrder &order, int decimals);
std::string ConditionPagePrice(const ConditionOrder &order, int decimals);
std::string ConditionPageVolume(const ConditionOrder &order);

class TConditionPage {
 public:
  TConditionPage(TTradeDesk &desk, TConditionOrders &conditions);

  int tab = 0;
  std::vector<TConditionPageRow> rows;
  // The selected rows, top to bottom.
  std::vector<int> selected;
  // The pause button: tag 0 pauses ("暂停"), 1 enables ("启用").
  int pauseTag = 0;
  const char *PauseCaption() const { return pauseTag ? "启用" : "暂停"; }

  // The rights byte of the account.
  std::function<uint8_t()> rights;
  // The dialog run modally over the model filled from the order (the
  // shell's modal-dialog flag set around it); true on OK.
  std::function<bool(TConditionDialogModel &)> runDialog;
  // The order panel's contract field: its text, and setting it (followed
  // by the field's exit handling).
  std::function<std::string()> panelContract;
  std::function<void(const std::string &)> setPanelContract;
  // Starts the task queue after firing by hand.
  std::function<void()> startQueue;
  std::function<void()> focusList;

  // Fills the tab (0 active orders, 1 fired orders).
  void Fill(int tab);
  void Modify();
  void Delete();
  void FireSelected();
  void TogglePause();
  // The selection changed; row is the one that became selected (-1 none).
  void SelectionChanged(int row);

 private:
  std::vector<int32_t> SelectedIndexes() const;
  void FillActive();
  void FillFired();

  TTradeDesk &desk_;
  TConditionOrders &conditions_;
};
