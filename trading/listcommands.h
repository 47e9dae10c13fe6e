// What the buttons, menus and double-clicks of the order, trade and position
// lists do, without a window: cancelling one, the selected or every order,
// the modify that cancels an order and puts it back into the order panel,
// the quick close, reverse and lock of positions and filled opening orders
// and the close of every position (all as automatic-order tasks), the
// automatic offset choice of the ordinary panel, the trading part of the
// main timer with its single-position refresh, the selection of a row into
// the active order panel, both double-clicks and the click on the stop
// columns.
//
// Rows are named by their index in the list model, top first; a row whose
// record index lies outside its array is ignored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"
#include "trading/deskrecords.h"

class TTradingDesk;
class TTradeDesk;
class TTradeDispatcher;
class TManualOrder;
class TOrderPanel;

// What a command puts into the active order panel: the window (the panel
// widgets) applies it; the desk's panel model gets the contract, volume,
// price and price kind at once.
struct TPanelPrepare {
  int layout = 0;
  // Only the contract changes (a selected row): the field's exit handler
  // runs when it differs.
  bool contractOnly = false;
  // ComboBox1002's item ("2.平今", "1.开仓", "3.平仓"); empty: unchanged.
  std::string offsetItem;
  std::string contract;
  int volume = 0;
  std::string price;                  // always empty: the user types it
  std::string priceKind = "1.限价";
  // The spin's old position goes into the tag of UpDown1001 (true), or
  // the tag becomes 0.
  bool keepSpinTag = false;
  // The panel is expanded: the price field gets the focus.
  bool focusPrice = false;
  // The button the mouse cursor moves to the centre of; null: none.
  const char *cursorButton = nullptr;
  // Buttons enabled (true) or disabled by a position's close.
  std::vector<std::pair<const char *, bool>> buttons;
  // The quick panel: XPComboBoxF9 and XPComboBoxF10's indexes (-1
  // unchanged); volume 0 leaves XPEditF19 as it is.
  int quickDirectionIndex = -1, quickOffsetIndex = -1;
  // The hedge combos' index (ComboBoxHedge, ComboBoxHedge2); -1 unchanged.
  int hedgeIndex = -1;
  // After the mirror to the quick-deal bar: its price field focused and
  // the cursor on this button of the bar (collapsed panel, bar shown).
  const char *quickDealButton = nullptr;
};

class TListCommands {
 public:
  TListCommands(TTradingDesk &desk, TTradeDispatcher &dispatch);

  // ---- what the window and the rest of the desk give ----
  TManualOrder *manual = nullptr;
  TOrderPanel *panel = nullptr;
  // The panel widgets take a prepared order (the model has it already).
  std::function<void(const TPanelPrepare &)> preparePanel;
  // The quick-deal bar is shown.
  std::function<bool()> quickDealVisible;
  // MirrorPanelToQuickDeal(1, 1, 1).
  std::function<void()> mirrorPanelToQuickDeal;
  // The timed condition orders (the trading timer's last step).
  std::function<void()> checkTimeConditionOrders;
  // The stop dialog for a position; the stop right (bit 0x04).
  std::function<void(int32_t position)> setStopOrderForPosition;
  std::function<bool()> stopRight;
  // "..\cfg\Trading.ini" [Option] GrapPriceMode, read at start-up.
  int grapPriceMode = 0;
  // The screen centre of the buy or sell order button of the page's active
  // chart when that is an intraday or K-line chart of the instrument with
  // its order panel shown; false otherwise.
  std::function<bool(STKPTR instrument, bool buy, POINT &screen)> chartOrderButton;

  // ---- cancel and modify ----
  // Cancels the order at that index of the array: an open-trigger order
  // is marked cancelled. 1 done, 0 not cancellable, or the plug-in's error
  // (shown on the trading page). remark is the log's ("手动", "手动改单").
  enum TCancelOutcome { kCancelDone, kCancelRefused, kCancelFailed };
  TCancelOutcome CancelOneOrder(int32_t index, const char *remark, int *result = nullptr);
  // "撤单": the selected order rows.
  void OnOrderCancelClick(const std::vector<int> &selectedRows);
  // "全部撤单": every order.
  void OnOrderCancelAllClick();
  // "改单": the selected order row (-1: none).
  void XPButton30Click(int row);

  // ---- quick operations ----
  // Position list: close, reverse, lock of the selected rows; "全部平仓".
  // holdingsTab: "持仓" is checked (the close acts only then).
  void OnPositionCloseClick(const std::vector<int> &selectedRows, bool holdingsTab = true);
  void OnPositionReverseClick(const std::vector<int> &selectedRows);
  void OnPositionLockClick(const std::vector<int> &selectedRows);
  void XPButton60Click();
  // Order list: close, reverse, lock of the selected filled opening orders.
  void XPButton40Click(const std::vector<int> &selectedRows);
  void XPButton26Click(const std::vector<int> &selectedRows);
  void XPButton41Click(const std::vector<int> &selectedRows);

  // The ordinary panel's buy or sell with "自动" checked.
  void PlaceAutoOffsetOrders(bool buy);

  // ---- the timer ----
  void OnTradeTimer();
  void RefreshSinglePositions();

  // ---- rows ----
  void XPListView1SelectItem(int row);  // orders
  void XPListView2SelectItem(int row);  // trades
  // holdingsTab: "持仓" is checked.
  void XPListView3SelectItem(int row, bool holdingsTab = true);
  void XPListView1LButtonDblClk(int row);
  void XPListView3LButtonDblClk(int row);
  // A left click at x (list coordinates) on a row: inside the header
  // items given by their left edges and widths (scroll already in x).
  void XPListView3MouseDown(int row, int x, int scrollX, const std::vector<int> &columnWidths);

  // The single-position refresh's own tick counter.
  int singleRefreshCounter = 0;

 private:
  enum class TQuick { Close, Reverse, Lock, CloseAll };
  void PositionOperation(TQuick kind, const std::vector<int> &rows);
  void OrderOperation(TQuick kind, const std::vector<int> &rows);
  void AddTask(const char *code, const char *format, char sideWord, char hedge, char direction, char offset,
               int32_t volume, bool wait);
  int Box(const char *text, const char *caption, unsigned type);
  // The order or position index of a row, -1 outside its array.
  int32_t OrderIndexOfRow(int row) const;
  int32_t PositionIndexOfRow(int row) const;
  void ContractIntoPanel(const char *code);
  void PrepareOrderClose(const CKivoOrderField &o);
  void PreparePositionClose(const InvestorPosition_Lite &p, int32_t available);
  void Apply(TPanelPrepare &prepare);
  void RemoveCancelledPending();
  // The contract's default opening volume within the spin's range; 1 for
  // a contract not in the table.
  int32_t DefaultOpenVolume(const char *code) const;

  TTradingDesk &desk_;
  TTradeDesk &data_;
  TTradeDispatcher &dispatch_;
};

// The buttons a modify's or a close's cursor goes to, by layout and order.
const char *OrderButtonOfLayout(int layout, bool buy, char offset, bool quickDeal);

// The positions (64-byte records) and cancellable orders (68-byte records)
// of code1 (or code2 when it is not empty) for a chart's trade marks, at
// most maxPositions and maxOrders; the arrays are zeroed first. Without a
// trading login (page state 0 or below) the local link's tables are copied.
void GetChartTradeMarks(const TTradeDesk &data, int pageState, const char *code1, const char *code2,
                        unsigned char *positions, int maxPositions, unsigned char *orders, int maxOrders);

// Which button of the ordinary panel a double-click on a chart's quote
// panel presses, by the offset combo's item: 0 none, 1 "买入", 2 "卖出".
int PanelOrderButtonToPress(int offsetItem, bool buyEnabled, bool sellEnabled);

class TPositionBook;
// A quote of the instrument arrived: the profit columns of the position
// rows of that instrument are written again. The rows rewritten.
int RefreshQuoteProfits(TPositionBook &book, const EArray<InvestorPosition_Lite> &positions, STKPTR stock);
