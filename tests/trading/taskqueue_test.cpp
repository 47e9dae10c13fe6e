#include <gtest/gtest.h>

#include <cstring>

#include "platform/profile.h"
#include "tests/trading/orderdesk_fixture.h"
#include "trading/taskqueue.h"

namespace trading_test {
namespace {

class TaskQueueTest : public OrderDeskTest {
 protected:
  TaskQueueTest() {
    SetQuote(1, 3499, 3501, 3500);
    trading_.pageState = kPageTrading;
  }
  void AddTask(char direction, char offset, uint32_t volume, uint8_t kind = kTaskQuick, uint8_t wait = 0,
               uint8_t priceKind = kTaskPriceOffsetTicks, const char *code = "CU2405") {
    OrderScript t{};
    strncpy(t.InstrumentID, code, 7);
    snprintf(t.Description, sizeof t.Description, "task %c%c%u", direction, offset, volume);
    t.Direction = direction;
    t.OffsetFlag = offset;
    t.HedgeFlag = '1';
    t.Volume = volume;
    t.TaskKind = kind;
    t.WaitForPrevious = wait;
    t.PriceKind = priceKind;
    t.OrderLink = -1;
    desk_.tasks.Add(t);
  }
  TTaskQueue &queue() { return dispatch_.taskQueue; }
  bool Shows(const char *text) const { return dispatch_.taskQueue.progress.find(text) != std::string::npos; }
  void Seconds(int s) {
    clock_.Advance(uint64_t(s) * 1000);
    queue().CheckTaskTimeouts();
  }
};

TEST_F(TaskQueueTest, TimeOutCancelsAndTheRestIsSentAgain) {
  std::vector<int> outcomes;
  queue().onOrderInsert = [&](const TTaskInsert &insert) { outcomes.push_back(insert.result); };
  AddTask('0', '0', 5);
  queue().StartOrderScripts();
  EXPECT_EQ(trading_.pageState, kPageTasks);
  EXPECT_EQ(queue().buttonCaption, "中止");
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_DOUBLE_EQ(Orders.sent[0].price, 3501);
  PushOrder(Order("100", "CU2405", '0', '0', 5, 0, '3'));
  Seconds(4);
  EXPECT_TRUE(Orders.cancels.empty());
  Seconds(1);
  EXPECT_EQ(Orders.cancels, std::vector<std::string>{"100"});
  EXPECT_TRUE(Shows("5 秒内未全部成交，撤单。"));
  PushOrder(Order("100", "CU2405", '0', '0', 5, 2, '5'));
  ASSERT_EQ(Orders.sent.size(), 2u);
  EXPECT_EQ(Orders.sent[1].volume, 3);
  EXPECT_EQ(outcomes, (std::vector<int>{0, 0}));
  PushOrder(Order("101", "CU2405", '0', '0', 3, 3, '0'));
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  EXPECT_EQ(trading_.pageState, kPageTrading);  // back from the task page
}

TEST_F(TaskQueueTest, ReverseWhoseCloseIsRefusedDropsItsOpen) {
  AddTask('1', '1', 2);
  AddTask('1', '0', 2, kTaskQuick, 1);
  Orders.answers.push_back({1, "超过可平仓数量"});
  queue().StartOrderScripts();
  EXPECT_EQ(Orders.sent.size(), 1u);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  EXPECT_TRUE(Shows("由于前一任务未能完成，[task 102]已被撤销。"));
  EXPECT_TRUE(Shows("所有任务均已结束，其中 1 个任务失败。"));
  EXPECT_EQ(queue().buttonCaption, "确定");
  EXPECT_EQ(trading_.pageState, kPageTasks);
}

TEST_F(TaskQueueTest, ReverseWhoseCloseFillsSendsItsOpenAtOnce) {
  AddTask('1', '1', 2);
  AddTask('1', '0', 2, kTaskQuick, 1);
  queue().StartOrderScripts();
  ASSERT_EQ(Orders.sent.size(), 1u);
  PushOrder(Order("100", "CU2405", '1', '1', 2, 2, '0'));
  ASSERT_EQ(Orders.sent.size(), 2u);
  EXPECT_EQ(Orders.sent[1].offset, '0');
}

TEST_F(TaskQueueTest, StopSellingAtTheLowerLimitGoesOutAtTheAskAndStays) {
  desk_.options.ActionOnLimitS = true;
  SetQuote(1, 0, 3500);
  AddTask('1', '1', 1, kTaskStop);
  queue().StartOrderScripts();
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_DOUBLE_EQ(Orders.sent[0].price, 3500);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  Seconds(30);
  EXPECT_TRUE(Orders.cancels.empty());
}

TEST_F(TaskQueueTest, ClosedExchangeKeepsConditionTasksButFailsQuickOnes) {
  struct Case {
    uint8_t kind;
    bool kept;
  } cases[] = {{kTaskCondition, true}, {kTaskQuick, false}};
  for (const Case &c : cases) {
    desk_.orders.RemoveAll();
    AddTask('0', '0', 1, c.kind);
    Orders.answers.push_back({1, "不是交易时间"});
    queue().StartOrderScripts();
    EXPECT_TRUE(desk_.tasks.IsEmpty());
    EXPECT_EQ(desk_.orders.GetCount(), c.kept ? 1 : 0);
    EXPECT_EQ(queue().buttonCaption, c.kept ? "确认" : "确定");
    if (c.kept) EXPECT_EQ(desk_.orders.GetData()[0].OrderStatus[1], 'p');
  }
}

TEST_F(TaskQueueTest, OrderWithoutABrokerNumberOrWithoutAnyReturnFailsAtTwentySeconds) {
  for (const bool returned : {true, false}) {
    AddTask('0', '0', 1);
    queue().StartOrderScripts();
    if (returned) {
      CKivoOrderField o = Order(Orders.sent.size() == 1 ? "100" : "101", "CU2405", '0', '0', 1, 0, '3');
      o.CancelText120[0] = 0;
      PushOrder(o);
    }
    Seconds(5);
    EXPECT_TRUE(Shows("异常: 5 秒内未全部成交，但委托号为空，无法撤单。"));
    Seconds(14);
    EXPECT_EQ(desk_.tasks.GetCount(), 1);
    Seconds(1);
    EXPECT_TRUE(desk_.tasks.IsEmpty());
    EXPECT_TRUE(Shows("错误: 由于委托号为空，20 秒内未能撤单。"));
    EXPECT_TRUE(Orders.cancels.empty());
  }
}

TEST_F(TaskQueueTest, OpeningConditionTaskWritesItsStopsForTheTrade) {
  Orders.nextRef = 123;
  AddTask('0', '0', 1, kTaskCondition);
  OrderScript &t = desk_.tasks.GetData()[0];
  t.StopPrice = 3480, t.Trailing = 5, t.ProfitPrice = 3550;
  queue().StartOrderScripts();
  char value[64] = {};
  GetPrivateProfileStringA("Order", "123", "", value, sizeof value, desk_.AccountFile("scriptorder.ini").c_str());
  EXPECT_STREQ(value, "3480.000,5.000,3550.000");
}

TEST_F(TaskQueueTest, UnknownOrTicklessContractOrMissingPriceFails) {
  desk_.FindContract("M2401")->PriceTick = 0;
  AddTask('0', '0', 1, kTaskQuick, 0, kTaskPriceOffsetTicks, "M2401");
  AddTask('0', '0', 1, kTaskQuick, 0, kTaskPriceOffsetTicks, "XX999");
  AddTask('0', '0', 1, kTaskQuick, 0, kTaskPriceLimitUp);
  queue().StartOrderScripts();
  EXPECT_TRUE(Orders.sent.empty());
  EXPECT_TRUE(Shows("错误: 合约不可交易，[task 001]无法完成。"));
  EXPECT_TRUE(Shows("错误: 涨停价为 0，任务无法完成。"));
  EXPECT_TRUE(Shows("所有任务均已结束，其中 3 个任务失败。"));
}

TEST_F(TaskQueueTest, FailedCancelOfATaskIsTakenByTheQueue) {
  AddTask('0', '0', 1);
  queue().StartOrderScripts();
  PushOrder(Order("100", "CU2405", '0', '0', 1, 0, '3'));
  Seconds(5);
  char block[tb::kResultBlockSize] = {};
  strcpy(block, "100");
  strcpy(block + tb::kActionErrorTextOffset, "委托已全部成交，不可撤单");
  EXPECT_TRUE(queue().OnTaskCancelResult(block));
  EXPECT_EQ(desk_.tasks.GetCount(), 1);
  strcpy(block + tb::kActionErrorTextOffset, "撤单被拒绝");
  EXPECT_TRUE(queue().OnTaskCancelResult(block));
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  strcpy(block, "999");
  EXPECT_FALSE(queue().OnTaskCancelResult(block));
}

}  // namespace
}  // namespace trading_test
