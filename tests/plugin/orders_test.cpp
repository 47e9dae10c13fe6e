// Orders: the status code of every broker letter, the order insert's line
// and return, refusals, the cancel and its failure, and the order list.
#include <gtest/gtest.h>

#include "plugin/orders.h"
#include "plugin/tradebridge.h"
#include "tests/plugin/trade_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

TEST(OrderStatus, EveryLetterGivesItsTwoBytesAndARequestStateOneFollowsTheTradedVolume) {
  const struct {
    char letter;
    int traded;
    const char *code;
  } cases[] = {
      {'a', 0, "33"}, {'b', 0, "35"}, {'d', 0, "35"}, {'m', 0, "35"}, {'q', 0, "35"}, {'c', 5, "30"},
      {'f', 0, "13"}, {'f', 3, "11"}, {'n', 0, "03"}, {'s', 0, "03"}, {'p', 2, "31"}, {'z', 0, "\0a"},
  };
  for (const auto &c : cases) {
    CKivoOrderField order{};
    order.VolumeTraded = c.traded;
    ApplyOrderStatus(order, c.letter);
    EXPECT_EQ(std::string(order.OrderStatus, 2), std::string(c.code, 2)) << c.letter << c.traded;
  }
  // An unknown letter keeps the request state it had.
  CKivoOrderField order{};
  order.OrderStatus[0] = '3';
  ApplyOrderStatus(order, '?');
  EXPECT_EQ(std::string(order.OrderStatus, 2), "3a");
}

class OrderTest : public TradeTest {
 protected:
  void SetUp() override {
    TradeTest::SetUp();
    broker_.LoadScript("autofill off\n");
    LogInOk();
    // The seats come with the contracts.
    ASSERT_EQ(QueryContract(), 0);
    ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_CONTRACT).empty() && NotesOf(TN_CONTRACT).back().value == 0; }));
    NewLines();
  }
  int Insert(const char *contract, double price, int volume, char direction, char offset, char hedge,
             char ref[13], char error[232]) {
    std::string c = contract, exchange = "SHFE";
    return OrderInsert(c.data(), exchange.data(), price, volume, direction, offset, hedge, ref, error);
  }
};

TEST_F(OrderTest, AnInsertedOrderIsSentWithItsSeatAndComesBackAsAReturn) {
  char ref[13] = {}, error[232] = {};
  ASSERT_EQ(Insert("cu2402", -1, 2, '0', '0', '1', ref, error), 0) << error;
  EXPECT_STREQ(ref, "1001");
  EXPECT_EQ(NewLines().at(0),
            std::string(kHead) + "6021||other#C#|880001|111111|SHFE|cu2402|0|0|0|2|0.000|0001|8800101|");
  ASSERT_TRUE(WaitFor([&] { return !AnswerReturns().empty(); }));
  const CKivoOrderField order = AnswerReturns()[0];
  EXPECT_STREQ(order.OrderRef, "1001");
  EXPECT_STREQ(order.InstrumentID, "cu2402");
  EXPECT_STREQ(order.ExchangeID, "SHFE");
  EXPECT_EQ(std::string(order.OrderStatus, 2), "33");
  EXPECT_STREQ(order.StatusMsg, "已报入");
  EXPECT_EQ(order.PriceType, '1');
  EXPECT_EQ(order.Direction, '0');
  EXPECT_EQ(order.OffsetFlag, '0');
  EXPECT_EQ(order.HedgeFlag, '1');
  EXPECT_EQ(order.VolumeTotal, 2);
  EXPECT_STREQ(order.CancelText24, "901001");

  // A hedge sell to close today at a limit: the encodings of the line.
  ASSERT_EQ(Insert("cu2402", 69010, 1, '1', '3', '3', ref, error), 30002);  // nothing to close
  EXPECT_EQ(NewLines().at(0),
            std::string(kHead) + "6021||other#C#|880001|111111|SHFE|cu2402|1|2|1|1|69010.000|0002|8800102|");
}

TEST_F(OrderTest, ARefusedOrderReturnsTheBrokersCodeAndTextAndPostsNothing) {
  char ref[13] = "keep", error[232] = {};
  EXPECT_EQ(Insert("cu2402", 69005, 1, '0', '0', '1', ref, error), 30005);
  EXPECT_STREQ(error, "委托价格不是最小变动价位的整数倍");
  EXPECT_STREQ(ref, "keep");
  // The token is free: a query with a zero wait runs.
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitForCode(TN_ORDERS));
  EXPECT_FALSE(NotesOf(TN_ORDERS)[0].text);
  EXPECT_TRUE(NotesOf(TN_ORDER_RETURN).empty());
}

TEST_F(OrderTest, ACancelSendsTheOrdersTextsBackAndAFailedOneNamesTheOrder) {
  char ref[13] = {}, error[232] = {};
  ASSERT_EQ(Insert("cu2402", 68000, 3, '0', '0', '1', ref, error), 0);
  // The answer and the pushed state.
  ASSERT_TRUE(WaitFor([&] { return !AnswerReturns().empty() && !PushedReturns().empty(); }));
  const CKivoOrderField order = AnswerReturns()[0];
  NewLines();
  ASSERT_EQ(OrderAction(&order, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return AnswerReturns().size() >= 2; }));
  EXPECT_EQ(NewLines().at(0), std::string(kHead) +
                                  "6022||other#C#|880001|111111|SHFE|cu2402|0|0|0|3|68000.000|1001|0||1|901001|");
  const CKivoOrderField cancelled = AnswerReturns()[1];
  EXPECT_EQ(std::string(cancelled.OrderStatus, 2), "35");
  EXPECT_STREQ(cancelled.StatusMsg, "已撤单");
  EXPECT_STREQ(cancelled.OrderRef, "1001");

  ASSERT_EQ(OrderAction(&order, 0), 0);
  const Note failed = Last(TN_ORDER_ACTION_RESULT, true);
  EXPECT_EQ(failed.raw.substr(0, 5), std::string("1001") + '\0');
  EXPECT_STREQ(ActionErrorText(failed.raw.data()), "报单已全部成交或已撤销，不能撤单");
}

TEST_F(OrderTest, TheOrderListPostsEveryOrderThenTheEndMark) {
  char ref[13] = {}, error[232] = {};
  ASSERT_EQ(Insert("cu2402", 68000, 3, '0', '0', '1', ref, error), 0);
  ASSERT_EQ(Insert("cu2402", 68010, 1, '1', '0', '1', ref, error), 0);
  NewLines();
  ASSERT_EQ(QueryOrder(1), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty() && NotesOf(TN_ORDERS).back().value == 0; }));
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6019||other#C#|880001|111111|20240115|20240115|");
  const auto notes = NotesOf(TN_ORDERS);
  ASSERT_EQ(notes.size(), 3u);
  const auto second = Record<CKivoOrderField>(notes[1]);
  EXPECT_STREQ(second.OrderRef, "1002");
  EXPECT_EQ(second.Direction, '1');
  EXPECT_EQ(second.LimitPrice, 68010);
  EXPECT_EQ(std::string(second.OrderStatus, 2), "33");
  EXPECT_STREQ(second.CancelText120, "L1002");
  EXPECT_STREQ(second.CancelText16, "1");
}

}  // namespace
}  // namespace plugin_test
