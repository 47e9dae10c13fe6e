#include "trading/listrows.h"

#include <cctype>
#include <cstring>
#include <unordered_map>

#include "trading/deskdata.h"
#include "trading/dispatcher.h"

namespace {

// The key a summary row is found by: the contract without regard to case,
// then the order reference (by order) or the direction, offset and hedge
// texts (by contract).
std::string ListRowsSummaryKey(const Trade_Lite &t, TTradeListMode mode) {
  std::string key;
  key.reserve(40);
  for (size_t i = 0; i < sizeof t.InstrumentID && t.InstrumentID[i]; ++i)
    key += char(toupper(static_cast<unsigned char>(t.InstrumentID[i])));
  key += '\x01';
  if (mode == TTradeListMode::ByOrder) {
    key.append(t.OrderRef, strnlen(t.OrderRef, sizeof t.OrderRef));
  } else {
    key += OrderDirectionText(t.Direction);
    key += '\x01';
    key += OrderOffsetText(t.OffsetFlag);
    key += '\x01';
    key += HedgeFlagShortName(t.HedgeFlag);
  }
  return key;
}

}  // namespace

void OnOrderRadioClick(TOrderBook &book, const TTradeDesk &data, int pageState, int &orderTag) {
  const int filter = book.lists.cancellableOnly ? 1 : 0;
  if (pageState == 12) orderTag = orderTag % 10 + filter * 10;
  if (pageState == 13) orderTag = orderTag / 10 * 10 + filter;
  TListModel &model = book.lists.orderRows;
  model.rows.clear();
  const CKivoOrderField *orders = data.orders.GetData();
  for (int32_t i = 0; i < data.orders.GetCount(); ++i) {
    if (book.lists.cancellableOnly && !IsOrderCancellable(orders[i])) continue;
    TListRow row = book.OrderRow(i);
    if (orders[i].OrderStatus[1] == 'p' && !row.items.empty()) row.items.back() = "-";
    model.InsertTop(std::move(row));
  }
  ++book.lists.orderRebuilds;
}

void OnTradeRadioClick(TOrderBook &book, const TTradeDesk &data) {
  TListModel &model = book.lists.tradeRows;
  model.rows.clear();
  const TTradeListMode mode = book.lists.tradeMode;
  const Trade_Lite *trades = data.trades.GetData();
  // The summary rows by their keys: the same rows, order and sums as a
  // search of the list for every trade, without the search. Rows of a deque
  // keep their place in memory when others are added at the top.
  std::unordered_map<std::string, TListRow *> summary;
  for (int32_t i = 0; i < data.trades.GetCount(); ++i) {
    const Trade_Lite &t = trades[i];
    if (mode == TTradeListMode::Detail) {
      model.InsertTop(book.TradeRow(t, i));
      continue;
    }
    TListRow *&row = summary[ListRowsSummaryKey(t, mode)];
    if (!row) {
      model.InsertTop(book.TradeRow(t, i));
      row = &model.rows.front();
      continue;
    }
    AddTradeToSummaryRow(*row, t);
  }
  ++book.lists.tradeRebuilds;
}
