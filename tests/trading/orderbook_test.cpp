#include <gtest/gtest.h>

#include <cstring>

#include "platform/beep.h"
#include "platform/profile.h"
#include "tests/trading/orderdesk_fixture.h"
#include "trading/orderbook.h"

namespace trading_test {
namespace {

using OrderBookTest = OrderDeskTest;

TEST(OrderTexts, StateTextAndCancellableFollowBothStateBytes) {
  struct Case {
    char order, request;
    int traded;
    const char *text;
    bool cancellable;
  } cases[] = {
      {'1', '1', 1, "部分成交，申请撤单", false}, {'1', '3', 1, "部分成交", true},
      {'2', '0', 1, "部分成交 (NQ)", true},       {'3', '0', 0, "正在申报", true},
      {'3', '1', 0, "未成交，申请撤单", false},   {'3', '3', 0, "已申报，未成交", true},
      {'3', '4', 0, "未成交 (Q)", true},          {'4', '4', 0, "拒绝申报", false},
      {'4', '3', 0, "未成交 (NQ)", true},         {'0', '3', 5, "已成交", false},
      {'5', '3', 2, "部分成交，已撤单", false},   {'5', '3', 0, "未成交，已撤单", false},
      {'a', '0', 0, "正在申报", true},            {'p', '0', 0, "等待申报", true},
      {'x', '0', 0, "未知", true},
  };
  for (const Case &c : cases) {
    CKivoOrderField o{};
    o.OrderStatus[0] = c.request;
    o.OrderStatus[1] = c.order;
    o.VolumeTraded = c.traded;
    char text[32];
    EXPECT_STREQ(OrderStatusText(o, text), c.text) << c.order << c.request;
    EXPECT_EQ(IsOrderCancellable(o), c.cancellable) << c.order << c.request;
  }
}

TEST(OrderTexts, CopyRuleKeepsEmptyTextsAndMarketPrices) {
  CKivoOrderField dst{}, src{};
  strcpy(dst.StatusMsg, "old");
  strcpy(dst.InsertTime, "09:00:00");
  dst.LimitPrice = 3500;
  dst.PriceType = '2';
  dst.VolumeRemain = 7;
  src.Reserved164 = 99;
  // A limit price of 0 is no price: kind and price stay.
  src.PriceType = '2';
  CopyOrderFields(dst, src, false);
  EXPECT_EQ(dst.LimitPrice, 3500);
  EXPECT_EQ(dst.PriceType, '2');
  EXPECT_STREQ(dst.StatusMsg, "old");
  EXPECT_STREQ(dst.InsertTime, "09:00:00");
  EXPECT_EQ(dst.VolumeRemain, 0);
  EXPECT_EQ(dst.Reserved164, 0);  // only a new record takes it
  // A market order's 0 is copied with its kind.
  src.PriceType = '1';
  CopyOrderFields(dst, src, true);
  EXPECT_EQ(dst.LimitPrice, 0);
  EXPECT_EQ(dst.PriceType, '1');
  EXPECT_EQ(dst.Reserved164, 99);
  EXPECT_EQ(OrderPriceText(dst.PriceType, dst.LimitPrice), "市价");
}

TEST_F(OrderBookTest, NewOrderGetsTickOnlyWhenQueuedAndAMarketKindForPriceZero) {
  clock_.Advance(1234);
  CKivoOrderField o = Order("1", "CU2405", '0', '0', 5, 0, '3', '0', 0);
  PushOrder(o);
  ASSERT_EQ(desk_.orders.GetCount(), 1);
  const CKivoOrderField &stored = desk_.orders.GetData()[0];
  EXPECT_NE(stored.Reserved164, 0);
  EXPECT_EQ(stored.PriceType, '1');
  EXPECT_EQ(dispatch_.book.lists.orderRows.rows.size(), 1u);
  EXPECT_EQ(dispatch_.book.lists.orderRows.rows[0].items[3], "市价");
  // Any update clears the tick.
  o.OrderStatus[0] = '3';
  PushOrder(o);
  EXPECT_EQ(desk_.orders.GetData()[0].Reserved164, 0);
  EXPECT_EQ(Broker.live.size(), 0u);
}

TEST_F(OrderBookTest, AnOlderStateNeverMovesAnOrderBack) {
  PushOrder(Order("7", "CU2405", '0', '0', 5, 5, '0'));
  PushOrder(Order("7", "CU2405", '0', '0', 5, 3, '1'));
  ASSERT_EQ(desk_.orders.GetCount(), 1);
  EXPECT_EQ(desk_.orders.GetData()[0].OrderStatus[1], '0');
  EXPECT_EQ(desk_.orders.GetData()[0].VolumeTraded, 5);
}

TEST_F(OrderBookTest, FillReturnCountsEachFillOnceAndMakesATrade) {
  struct Case {
    int traded, open, fill;
    bool known;
    int expected;
  } cases[] = {
      {1, 2, 2, true, 3},   // R = F
      {1, 1, 2, true, 4},   // R > F
      {3, 2, 2, true, 3},   // R < F: counted already
      {1, -9, 2, true, 5},  // a broken open volume stays inside the order
      {0, 0, 2, false, 0},  // unknown order: stored with volume 0
  };
  for (const Case &c : cases) {
    desk_.orders.RemoveAll();
    desk_.trades.RemoveAll();
    dispatch_.book.InvalidateIndex();
    if (c.known) PushOrder(Order("9", "M2401", '0', '0', 5, c.traded, '1'));
    CKivoOrderField fill = Order("9", "M2401", '0', '0', 0, c.fill, '1', '3', 3501);
    fill.VolumeRemain = c.open;
    PushOrder(fill);
    ASSERT_EQ(desk_.orders.GetCount(), 1);
    EXPECT_EQ(desk_.orders.GetData()[0].VolumeTraded, c.known ? c.expected : c.fill) << c.open;
    ASSERT_EQ(desk_.trades.GetCount(), 1);
    EXPECT_EQ(desk_.trades.GetData()[0].Volume, c.fill);
    EXPECT_EQ(desk_.trades.GetData()[0].Price, 3501);
  }
  EXPECT_EQ(Broker.live.size(), 0u);
}

TEST_F(OrderBookTest, CancellableFilterDropsAFilledRowButKeepsTheOrder) {
  dispatch_.book.lists.cancellableOnly = true;
  PushOrder(Order("3", "CU2405", '1', '1', 2, 0, '3'));
  ASSERT_EQ(dispatch_.book.lists.orderRows.rows.size(), 1u);
  PushOrder(Order("3", "CU2405", '1', '1', 2, 2, '0'));
  EXPECT_TRUE(dispatch_.book.lists.orderRows.rows.empty());
  EXPECT_EQ(desk_.orders.GetCount(), 1);
}

TEST_F(OrderBookTest, InsertTimeIsKeptPerReferenceAndReadBack) {
  PushOrder(Order(" 12", "CU2405", '0', '0', 1, 0, '3'));
  char value[16] = {};
  GetPrivateProfileStringA("Insert", "12", "", value, sizeof value, dispatch_.book.InsertTimeFile().c_str());
  EXPECT_STREQ(value, "09:30:00");
  CKivoOrderField later = Order(" 12", "CU2405", '0', '0', 1, 0, '3');
  later.InsertTime[0] = 0;
  desk_.orders.RemoveAll();
  PushOrder(later);
  EXPECT_STREQ(desk_.orders.GetData()[0].InsertTime, "09:30:00");
}

TEST_F(OrderBookTest, TradeListByOrderMergesFillsAtTheirAveragePrice) {
  dispatch_.book.lists.tradeMode = TTradeListMode::ByOrder;
  PushTrade(Trade("5", "M2401", '0', '0', 1, 3500, "10:00:01"));
  PushTrade(Trade("5", "M2401", '0', '0', 1, 3502, "10:00:02"));
  ASSERT_EQ(dispatch_.book.lists.tradeRows.rows.size(), 1u);
  const TListRow &row = dispatch_.book.lists.tradeRows.rows[0];
  EXPECT_EQ(row.items[4], "2");
  EXPECT_EQ(row.items[3], "3501");
  EXPECT_EQ(row.caption, "10:00:02");
  EXPECT_EQ(desk_.trades.GetCount(), 2);
}

TEST_F(OrderBookTest, TradePlaysTheDealSoundAndClearsPanelFunds) {
  std::vector<std::string> played;
  const auto previous = platform::SetSoundHandler([&](const platform::SoundCall &call) {
    played.push_back(call.path);
    EXPECT_TRUE(call.async);
  });
  WriteProgramFile("成交.wav", "RIFF");
  desk_.options.PlayDealSound = true;
  dispatch_.panel.edit6 = "funds";
  PushTrade(Trade("5", "M2401", '0', '0', 1, 3500));
  platform::SetSoundHandler(previous);
  EXPECT_EQ(played, std::vector<std::string>{".\\成交.wav"});
  EXPECT_EQ(dispatch_.panel.edit6, "");
}

TEST_F(OrderBookTest, InsertErrorIsCutAtTheServerPartAndHelpsWithCloses) {
  Notify(6 | tb::TN_TEXT_FLAG, LPARAM(Broker.TextBlock("超过可平仓数量Server message: 123")));
  ASSERT_EQ(boxes_.Count(), 1u);
  const auto call = boxes_.Calls()[0];
  EXPECT_EQ(call.text, std::string("超过可平仓数量") + kCloseHelpText);
  EXPECT_EQ(call.caption, "错误");
  EXPECT_EQ(LogRecords().back(), "3012|1|||超过可平仓数量");
  EXPECT_EQ(Broker.live.size(), 0u);
}

TEST_F(OrderBookTest, CancelErrorLogsAndShowsTheTextAfterTheReference) {
  char block[tb::kResultBlockSize] = {};
  strcpy(block, "42");
  strcpy(block + tb::kActionErrorTextOffset, "撤单被拒绝");
  Notify(tb::TN_ORDER_ACTION_RESULT | tb::TN_TEXT_FLAG, LPARAM(Broker.Block(block, sizeof block)));
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "撤单被拒绝");
  EXPECT_EQ(LogRecords().back(), "3014|1||撤单被拒绝");
}

}  // namespace
}  // namespace trading_test
