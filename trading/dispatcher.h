// The trading plug-in's notifications (WM_TRADE_NOTIFY) taken apart and
// acted on, and the login chain they drive: from the login summary through
// the notice, the statement, the contracts, orders, trades, positions and
// banks to the armed trading page. Every block that comes with a
// notification is returned to the plug-in exactly once; the steps that
// would re-enter the handler are posted to the main window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/windef.h"
#include "trading/contracts.h"
#include "trading/orderbook.h"
#include "trading/pendingorders.h"
#include "trading/positions.h"
#include "trading/taskqueue.h"

class TTradingDesk;
class TTradeDesk;
class TDeskHost;
struct TListStep;

// The texts of the list columns.
const char *HedgeFlagName(char flag);
const char *HedgeFlagShortName(char flag);
const char *OffsetFlagName(char flag);
// Shortens a price printed with "%.3f" or "%.2f" in place; returns text.
char *TrimPriceText(char *text);

// What the dispatcher calls in parts of the desk that live elsewhere. An
// empty entry does nothing (or answers "nothing").
struct TDispatchHooks {
  // The open-trigger and condition orders from their files.
  std::function<void()> loadPendingOrders;
  std::function<void(int tradeDate)> loadConditionOrders;
  // An exchange opened: its open-trigger and at-open condition orders.
  std::function<void(const char *exchange)> executePendingOrders;
  std::function<void(const char *exchange)> triggerOpenConditionOrders;
  // The after-login check list: something to confirm, and filling it.
  std::function<bool()> hasArmedAutomation;
  std::function<void()> fillAutomationCheckList;
  // The open account-report dialog: null when none is open. A statement
  // (or "not published" failure) block is handed to it; it reads it and
  // the dispatcher returns it afterwards.
  std::function<HWND()> reportDialog;
  std::function<void(const char *block, bool failed)> onSettlementInfo;
  // The bank page's answers (banks refused, balance, transfer records,
  // transfer results, an account changed at the bank): wParam the code,
  // with TN_TEXT_FLAG on a failure. The page takes the block over and
  // returns it itself.
  std::function<void(WPARAM wParam, LPARAM block)> bankPage;
  // The query page's side of the statement and report answers.
  std::function<void(const char *path)> queryPageFile;
  // A statement was shown on the query page: its date field is emptied
  // for the next query (the statement-kind choice run again).
  std::function<void()> queryStatementShown;
  std::function<void(const char *text, bool red)> queryPageNotice;
  // The bank page's withdrawal note and withdrawable funds.
  std::function<void(int32_t minimum, double withdrawable)> bankFunds;
  // The account summary, notice or statement into the text page.
  std::function<void(const char *text)> showNotice;
  // The open stop dialog is closed before the lists are asked again.
  std::function<void()> closeStopDialog;
};

// The order panels' fields the funds and volume answers fill, by layout:
// normal Label1005, keyboard XPEdit6 (funds) and XPEdit7 (volume), quick
// LabelF65 and LabelF66; and what the answer must still match.
struct TOrderPanelFields {
  std::string contract;  // the layout's contract field
  char hedge = '1';      // the current hedge flag
  int offsetItem = 0;    // ComboBox1002's selected item (normal layout)
  std::string label1005;
  COLORREF label1005Colour = 0;
  std::string edit6, edit7, labelF65, labelF66;
};

class TTradeDispatcher {
 public:
  TTradeDispatcher(TTradingDesk &desk, TDeskHost &host);
  ~TTradeDispatcher();
  TTradeDispatcher(const TTradeDispatcher &) = delete;
  TTradeDispatcher &operator=(const TTradeDispatcher &) = delete;

  // Every WM_TRADE_NOTIFY of the main window; always 0.
  LRESULT HandleTradeNotify(WPARAM wParam, LPARAM lParam);

  // ---- the list queries (without a sender: the chain's or a refresh's) ----
  void XPButton4Click(bool sender);
  void XPButton20Click();
  void OnPositionRefreshClick();
  // The end of the chain's confirmation: arms the automation and shows
  // the trading page.
  void XPButton50Click();

  TDispatchHooks hooks;
  TContractList contracts;
  // Today's orders and trades, and the positions.
  TOrderBook book;
  // The open-trigger orders of the book (when no hook replaces them).
  TPendingOrders pending;
  TPositionBook positionBook;
  // The automatic-order tasks, following the order returns.
  TTaskQueue taskQueue;
  TOrderPanelFields panel;

  // ---- state the window keeps in tags ----
  int refreshTag = 0;          // XPButton4: a user refresh is running
  int orderStoreFailed = 0;    // Panel8
  int tradeStoreFailed = 0;    // Panel14
  int positionStoreFailed = 0; // Panel16
  int32_t withdrawMinimum = 0; // PanelBank
  DWORD lastQueryTick = 0;
  // The bank the account step asks next.
  int bankAccountIndex = 0;
  // The funds query after a volume answer went out without waiting: its
  // one busy answer is dropped.
  bool fundsAsked = false;

 private:
  void CloseTrading(const char *text);
  void Post(uint32_t wParam, LPARAM lParam);
  void Progress(const char *text);

  void LoginDone(uint32_t high, const char *block);
  void SettlementInfo(uint32_t high, char *block);
  void SettlementConfirmed(uint32_t high, const char *block);
  void BrokerNotice(uint32_t high);
  void Contract(uint32_t high, const char *block);
  void Orders(uint32_t high, const char *block);
  void Trades(uint32_t high, const char *block);
  void Positions(uint32_t high, const char *block);
  void Banks(uint32_t high, const char *block);
  void BankAccount(uint32_t high, const char *block);
  void NextBankStep();
  void ChainEnd();
  void ConnectionState(int32_t value);
  void QueryReport(uint32_t high, const char *block);
  void MaxOrderVolume(uint32_t high, const char *block);
  void MarginMonitor(uint32_t high, const char *block);
  void ExchangeStatus(uint32_t value);
  // A list query failed: closes trading on its chain page, else a box.
  void ListFailed(const char *text, int chainPage, int ownPage);
  // Label15 of the trade pane: a failure in red, the query in blue.
  void TradeNotice(const char *text, bool failed);
  // A list query's result: refused, the list fails; asked, the progress.
  void ListAsked(int result, const TListStep &step);
  // One notification of a list: a failure, a record stored by add (the
  // new count, -1 when it could not be stored), or the end (true).
  bool ListItem(uint32_t high, const char *block, const TListStep &step, int &storeFailed,
                const std::function<int32_t(const char *)> &add);

  TTradingDesk &desk_;
  TTradeDesk &data_;
  TDeskHost &host_;
};

// The normal order panel's caption after a funds answer: an openable-
// volume caption keeps its volume and gets the funds in place of any
// earlier funds part; any other becomes the funds alone.
std::string FundsCaption(const std::string &caption, double funds);

// A path named by a block: read within the room of the block, accepted
// only when it resolves inside the program's current folder. Empty when
// not.
std::string BlockPathInside(const char *block, size_t room);
