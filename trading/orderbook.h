// Today's orders and trades of the account as the plug-in reports them: the
// copy rule that merges one order record into another, the reference index
// that finds an order without a scan, the texts of the order and trade rows,
// the per-day insert times ("ordrtime.ini") and the handling of the order
// and trade lists, the pushed order states and fills, the trades and the
// two order error notifications.
//
// The list views bind later; until then the rows live in small list models
// here (caption, sub-items, data value), so the rules are driven and tested
// without a window.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/windef.h"
#include "trading/deskrecords.h"

class TTradeDesk;
class TDeskHost;
class TPositionBook;

// ---- order texts ----

// The state text of an order by its order state (byte 142) and request
// state (byte 141); writes it to buffer (at least 32 bytes), returns it.
const char *OrderStatusText(const CKivoOrderField &order, char *buffer);
bool IsOrderCancellable(const CKivoOrderField &order);
// The text without its blanks, in a buffer owned by the function, valid
// until the next call.
const char *StripBlanks(const char *text);
const char *OrderDirectionText(char direction);
const char *OrderOffsetText(char offset);
// "市价", "最优价" or the price with "%.3f" shortened.
std::string OrderPriceText(char priceKind, double price);

// The copy rule: dst takes src's fields. adding also copies the tick count
// at 164 (a new record); an update leaves it to the caller.
void CopyOrderFields(CKivoOrderField &dst, const CKivoOrderField &src, bool adding);

// ---- comparators of the arrays ----
int CompareOrderRefs(const CKivoOrderField &a, const CKivoOrderField &b);
int CompareTradeTimes(const Trade_Lite &a, const Trade_Lite &b);

// One row of a list view: caption, sub-items, data value.
struct TListRow {
  std::string caption;
  std::vector<std::string> items;
  int32_t data = 0;
};

// A list view's rows, top first, as the later list views show them.
struct TListModel {
  std::deque<TListRow> rows;
  // The row whose data value is data, or -1.
  int RowOf(int32_t data) const;
  void InsertTop(TListRow row) { rows.insert(rows.begin(), std::move(row)); }
};

// A trade joins its summary row: the volumes add up, the price is the
// volume-weighted mean of the row's printed price and the trade's, and the
// caption becomes the trade's time.
void AddTradeToSummaryRow(TListRow &row, const Trade_Lite &trade);

// The modes of the trade list.
enum class TTradeListMode { Detail, ByOrder, ByContract };

// What the order and trade handling changes of the lists (the list issue
// binds these to the views): the models, the filter and mode the user
// chose, the warning line of the trade pane and the counts of list rebuilds.
struct TTradeListsState {
  TListModel orderRows;  // XPListView1
  TListModel tradeRows;  // XPListView2
  bool cancellableOnly = false;  // "可撤"
  TTradeListMode tradeMode = TTradeListMode::Detail;
  // Label15 of the trade pane.
  std::string tradeWarning;
  bool tradeWarningShown = false;
  COLORREF tradeWarningColour = 0;
  int orderRebuilds = 0;  // OnOrderRadioClick
  int tradeRebuilds = 0;  // OnTradeRadioClick
  int tradePaneLayouts = 0;  // Panel14Resize
};

class TOrderBook {
 public:
  TOrderBook(TTradeDesk &data, TDeskHost &host);
  ~TOrderBook();
  TOrderBook(const TOrderBook &) = delete;
  TOrderBook &operator=(const TOrderBook &) = delete;

  // ---- the order array ----
  // Appends a record built by the copy rule; its index or -1.
  int32_t AddOrder(const CKivoOrderField &source);
  // The order with that reference (case-insensitive), or -1. The index is
  // checked at every use and rebuilt when the array moved under it.
  int32_t FindOrder(const char *orderRef);
  CKivoOrderField *OrderByRef(const char *orderRef);
  // Sorts by the integer value of the reference and rebuilds the index.
  void SortOrders();
  // Sorts the trade array (and reads the night-session option anew).
  void SortTrades();
  // Forget the index (the array was emptied or changed elsewhere).
  void InvalidateIndex() { indexed_ = -1; }

  // ---- "ordrtime.ini" ----
  std::string InsertTimeFile() const;
  // The stored time of the reference into out (9 bytes); false when none.
  bool ReadInsertTime(const char *orderRef, char out[9]);
  // Written only when it differs from what the file holds.
  void WriteInsertTime(const char *orderRef, const char *time);

  // ---- the notifications ----
  // One record of the order list; the array's new count or -1.
  int32_t OrderListRecord(const CKivoOrderField &record);
  // The end of the order list (after the dispatcher's failure handling).
  void OrderListEnd();
  int32_t TradeListRecord(const TB_TRADE &block);
  void TradeListEnd(bool storeFailed);
  // TN_ORDER_RETURN: record, or null (nothing could be stored).
  void OrderReturn(const CKivoOrderField *record);
  // TN_TRADE_RETURN: a trade of the plug-in or one built from a fill.
  void TradeReturn(const TB_TRADE *block);
  // TN_ORDER_INSERT_ERROR with the failure flag: the text or null.
  void InsertError(const char *text);
  // TN_ORDER_ACTION_RESULT with the failure flag: the block or null.
  void CancelError(const char *block);

  // The row texts of an order and a trade.
  TListRow OrderRow(int32_t index) const;
  TListRow TradeRow(const Trade_Lite &trade, int32_t data) const;
  // A trade into the trade rows in the summary modes (a new row at the top
  // when no row of its key is there yet).
  void MergeTradeRow(const Trade_Lite &trade, int32_t data);

  TTradeListsState lists;
  TPositionBook *positions = nullptr;
  // The automatic-order tasks: an order return (null: not stored) and a
  // failed cancel (true: a task took it).
  std::function<void(CKivoOrderField *)> onTaskOrderReturn;
  std::function<bool(const char *block)> onTaskCancelResult;
  // Open-trigger orders are held in the array; their file.
  std::function<bool()> hasPendingOrders;
  std::function<void()> loadPendingOrders;
  // The order panels' funds and openable-volume fields (cleared by a trade).
  std::function<void()> clearPanelFunds;
  std::function<void()> refocusOrderArea;
  std::function<bool()> tradingWindowVisible;

 private:
  void RebuildIndex();
  void TradeStoreFailed();
  void FillReturn(CKivoOrderField &r);
  // The trade just appended moves to its place in the sorted array.
  void PlaceLastTrade();

  TTradeDesk &data_;
  TDeskHost &host_;
  std::unordered_map<std::string, int32_t> index_;
  int32_t indexed_ = -1;  // the count the index was built for
  int nightMinute_ = -2;  // the night-session option, -2 not read yet
  std::unordered_map<std::string, std::string> insertTimes_;  // as written
  uint64_t insertGeneration_ = 0;  // the day files' generation they belong to
};

// The help text joined to a refused close.
extern const char *const kCloseHelpText;
// Whether a broker text tells that a close was above the closable volume.
bool IsCloseVolumeText(const std::string &text);
// The text before "Server message:".
std::string CutServerMessage(const char *text);
