// The order and trade lists rebuilt from their arrays.
#include <gtest/gtest.h>

#include "tests/trading/orderdesk_fixture.h"
#include "trading/listrows.h"

namespace {

using ListRowsTest = trading_test::OrderDeskTest;

std::vector<std::string> Column(const TListModel &model, size_t item) {
  std::vector<std::string> out;
  for (const auto &row : model.rows) out.push_back(item < row.items.size() ? row.items[item] : "?");
  return out;
}

TEST_F(ListRowsTest, TheOrderFilterKeepsCancellableOrdersNewestOnTopAndRemembersItPerPage) {
  desk_.orders.Add(Order("1", "CU2405", '0', '0', 3, 3, '0'));        // filled
  desk_.orders.Add(Order("2", "CU2405", '1', '1', 2, 0, '3'));        // queued
  CKivoOrderField market = Order("3", "M2401", '0', '0', 1, 0, '3');
  market.PriceType = '1';
  desk_.orders.Add(market);
  CKivoOrderField best = Order("4", "M2401", '0', '0', 1, 0, '3');
  best.PriceType = '3';
  desk_.orders.Add(best);
  CKivoOrderField trigger = Order("5", "M2401", '1', '0', 1, 0, '3');
  trigger.OrderStatus[1] = 'p';
  desk_.orders.Add(trigger);

  TOrderBook &book = dispatch_.book;
  const struct {
    bool cancellable;
    int page, tagBefore, tagAfter;
    std::vector<std::string> refs;
  } cases[] = {
      {false, 12, 11, 1, {"-", "4", "3", "2", "1"}},
      {true, 12, 1, 11, {"-", "4", "3", "2"}},
      {true, 13, 10, 11, {"-", "4", "3", "2"}},
      {false, 13, 11, 10, {"-", "4", "3", "2", "1"}},
      {true, 14, 0, 0, {"-", "4", "3", "2"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.page) + (c.cancellable ? " cancellable" : " all"));
    book.lists.cancellableOnly = c.cancellable;
    int tag = c.tagBefore;
    OnOrderRadioClick(book, desk_, c.page, tag);
    EXPECT_EQ(tag, c.tagAfter);
    EXPECT_EQ(Column(book.lists.orderRows, 11), c.refs);
  }
  // Price kinds and the data values.
  book.lists.cancellableOnly = false;
  int tag = 0;
  OnOrderRadioClick(book, desk_, 12, tag);
  EXPECT_EQ(Column(book.lists.orderRows, 3)[1], "最优价");
  EXPECT_EQ(Column(book.lists.orderRows, 3)[2], "市价");
  EXPECT_EQ(book.lists.orderRows.rows[0].data, 4);
  EXPECT_EQ(book.lists.orderRows.rows[4].data, 0);
}

TEST_F(ListRowsTest, TradeSummariesWeighThePriceAndKeyTheirRows) {
  for (const TB_TRADE &t : {Trade("7", "CU2405", '0', '0', 2, 3500, "10:00:01"),
                           Trade("8", "CU2405", '0', '1', 1, 3510, "10:00:02"),
                           Trade("7", "CU2405", '0', '0', 1, 3502, "10:00:03"),
                           Trade("9", "CU2405", '0', '0', 4, 3490, "10:00:04")})
    desk_.trades.Add(Trade_Lite(t));
  TOrderBook &book = dispatch_.book;
  const struct {
    TTradeListMode mode;
    std::vector<std::string> volumes, prices, times;
  } cases[] = {
      {TTradeListMode::Detail, {"4", "1", "1", "2"}, {"3490", "3502", "3510", "3500"},
       {"10:00:04", "10:00:03", "10:00:02", "10:00:01"}},
      {TTradeListMode::ByOrder, {"4", "1", "3"}, {"3490", "3510", "3500.667"}, {"10:00:04", "10:00:02", "10:00:03"}},
      // the row carries its price as printed: 3 @ 3500.667 and 4 @ 3490
      {TTradeListMode::ByContract, {"1", "7"}, {"3510", "3494.572"}, {"10:00:02", "10:00:04"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(int(c.mode));
    book.lists.tradeMode = c.mode;
    OnTradeRadioClick(book, desk_);
    EXPECT_EQ(Column(book.lists.tradeRows, 4), c.volumes);
    EXPECT_EQ(Column(book.lists.tradeRows, 3), c.prices);
    std::vector<std::string> times;
    for (const auto &row : book.lists.tradeRows.rows) times.push_back(row.caption);
    EXPECT_EQ(times, c.times);
  }
}

}  // namespace
