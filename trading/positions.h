// The account's positions between and after position queries: the position
// list's records and its end, the single-position refresh, today's part of
// a position, the frozen volumes bound by open close orders, the position
// update from every trade (with the stop entries of a new opening) and the
// rows of the position list.
//
// Stop entries go through the desk's stop store only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "trading/deskrecords.h"
#include "trading/orderbook.h"
#include "trading/stopdialog.h"

class TTradeDesk;

// Sub-items of a position-list row.
enum : int {
  kPosDirection = 0,
  kPosAttribute = 1,
  kPosVolume = 2,
  kPosAvailable = 3,
  kPosOpenAverage = 4,
  kPosHoldingAverage = 5,
  kPosFloatProfit = 6,
  kPosHoldingProfit = 7,
  kPosStop = 8,
  kPosProfit = 9,
  kPosHedge = 10,
  kPosColumns = 11
};

// Whether a close order with that offset matches a position record of that
// attribute; offset already normalised ('1' or '3').
bool CloseMatches(char offset, char attribute);

int ComparePositions(const InvestorPosition_Lite &a, const InvestorPosition_Lite &b);

// The quote prices of an instrument divided by its divisor. A divisor of 0
// (or a missing quote) gives no price: valid is false and every price 0.
struct TQuotePrices {
  bool valid = false;
  double prevClose = 0, limitUp = 0, limitDown = 0, last = 0, bid1 = 0, ask1 = 0;
  double refPrice = 0;
  int decimals = 2;  // clamped to 0..6
};
TQuotePrices QuotePricesOf(STKPTR stock);
// A stock's raw quote with what turns its prices into money, for who needs
// only a few of them on every quote: null without a quote or divisor.
struct TQuoteScale {
  const REALQUOTE *quote = nullptr;
  double divisor = 0;
  int decimals = 2;  // clamped to 0..6
  double Price(uint32_t raw) const { return quote ? raw / divisor : 0; }
};
TQuoteScale QuoteScaleOf(STKPTR stock);
// The same from the quote and the instrument record at hand.
TQuoteScale QuoteScaleOf(const REALQUOTE &quote, const STKINFO &info);
// The prices of a scale already at hand.
TQuotePrices QuotePricesOf(const TQuoteScale &scale);

// The per-day files of the account ("ordrtime.ini", "scriptorder.ini")
// were written or reset by someone: the copies kept in memory are read
// again.
void NoteDayFilesChanged();
uint64_t DayFilesGeneration();

struct TTodayPart {
  int32_t volume = 0;
  double price = 0;
};

class TPositionBook {
 public:
  explicit TPositionBook(TTradeDesk &data);

  // ---- the position list ----
  // One block: the records it stored (0, 1 or 2), -1 when one was lost.
  int32_t PositionListRecord(const TB_POSITION &block, int serverMinute);
  // The end: sort, frozen volumes, stop entries, the list, subscription.
  void PositionListEnd(int tradeDate);
  // TN_SINGLE_POSITION's body.
  void UpdatePositionPrices(const TB_POSITION &block, int serverMinute);

  // mode 1: close-today counting; mode 0: plain counting against the
  // position's volume.
  TTodayPart TodayOpenPart(const char *code, char direction, char hedge, int mode, int32_t positionVolume) const;

  void RecountFrozenVolumes();
  void RecountFrozenForOrder(const CKivoOrderField &order);
  // The position update of one stored trade.
  void ApplyTradeToPositions(const Trade_Lite &trade);
  // The broker number of the order with that reference into out (21 bytes);
  // out untouched when there is none.
  bool FindOrderNumber(const char *orderRef, char *out) const;

  // The row of a record, and the profit columns of a row.
  TListRow PositionRow(int32_t index) const;
  void WriteProfitColumns(TListRow &row, const InvestorPosition_Lite &p) const;
  // XPPushRadioButton1Click: every record into the list.
  void FillPositionList();
  // "scriptorder.ini" of the account, and the stops kept in it under an
  // order reference (false when none).
  std::string ScriptOrderFile() const;
  bool ScriptStops(const char *orderRef, double &stop, double &trailing, double &profit);

  TListModel rows;  // XPListView3
  int listFills = 0;
  // A record could not be stored while the list arrived (Panel16's tag).
  int storeFailed = 0;
  // The stop files ran out of memory while loading at the last list end.
  bool stopLoadFailed = false;
  // Where the bookkeeping calls out: the subscription of the position
  // contracts (mode), the stop columns of a row, the stop dialog, the
  // order panel's closable-volume line.
  std::function<void(int mode)> updateRealtimeSubscription;
  std::function<void(const InvestorPosition_Lite &)> updateStopColumns;
  std::function<void(InvestorPosition_Lite *)> stopDialogChanged;
  // The automatic stop the last fill attached (valid while stopAdded):
  // volume, stop, trailing, take-profit, reference and expiry kind, for
  // the open stop dialog's copy.
  bool stopAdded = false;
  TStopAddition stopAddition;
  std::function<void()> showClosableVolumes;
  // The account's stop rights (bit 0x04 of the rights block) by default.
  std::function<bool()> stopRight;

 private:
  bool AttachStops(InvestorPosition_Lite &p, const CContractInfo &c, const Trade_Lite &t, bool script, double s,
                   double g, double f);
  void RowAvailable(int32_t index);
  void SortPositions();

  TTradeDesk &data_;
  // [Order] of "scriptorder.ini" as last read, and the files' generation.
  std::unordered_map<std::string, std::string> scriptOrders_;
  uint64_t scriptGeneration_ = ~uint64_t(0);
  bool scriptWhole_ = false;
  // The recount's look-up storage, kept between recounts.
 public:
  struct TCodeSlot {
    uint64_t key;
    int32_t head;
  };

 private:
  std::vector<TCodeSlot> slots_;
  std::vector<int32_t> next_;
};
