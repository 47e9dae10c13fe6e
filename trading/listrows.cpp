#include "trading/listrows.h"

#include "trading/deskdata.h"

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
  book.lists.tradeRows.rows.clear();
  const Trade_Lite *trades = data.trades.GetData();
  for (int32_t i = 0; i < data.trades.GetCount(); ++i) {
    if (book.lists.tradeMode == TTradeListMode::Detail)
      book.lists.tradeRows.InsertTop(book.TradeRow(trades[i], i));
    else
      book.MergeTradeRow(trades[i], i);
  }
  ++book.lists.tradeRebuilds;
}
