// The condition-order dialog's model and the condition-order page: the
// checks of OK, the tick-multiple questions, the price words, editing in
// place, the fired-orders file's cut, firing by hand and pausing.
#include <gtest/gtest.h>

#include <cstring>

#include "market/dataio5.h"
#include "tests/trading/stop_world.h"
#include "trading/conditiondialog.h"
#include "trading/conditionorders.h"
#include "trading/conditionpage.h"

namespace trading_test {
namespace {

class ConditionDialogTest : public StopWorld {
 protected:
  ConditionDialogTest() : model_(desk_) {
    GetStockInfo(STKPTR(1, 0, 0))->decimals = 1;
    model_.tradeDate = [] { return 20240115; };
  }
  // A sell-open price condition ">= 100" at a fixed price.
  void Start(bool sell = true) {
    model_.InitForNew(desk_.FindContract("M2401"), sell ? 1 : 0, 0, "100", 1);
    model_.fields.triggerPrice = "100";
  }
  std::string LastBox() const { return boxes_.Count() ? boxes_.Calls().back().text : std::string(); }

  TConditionDialogModel model_;
};

TEST_F(ConditionDialogTest, OkChecksTable) {
  struct Case {
    bool sell;
    const char *price, *stop, *trailing, *profit;
    const char *refusal;  // null: stored
    TConditionField focus;
  } cases[] = {
      {true, "100", "99", "", "", "止损价应大于触发价格。  ", TConditionField::Stop},
      {true, "对手价", "101", "", "", nullptr, TConditionField::None},
      {true, "100", "", "", "101", "止盈价应小于触发价格。  ", TConditionField::Profit},
      {false, "100", "100", "", "", "止损价应小于触发价格。  ", TConditionField::Stop},
      {false, "对手价", "90", "", "99", "止盈价应大于触发价格。  ", TConditionField::Profit},
      // Fixed price checks (the trigger is passed).
      {false, "95", "94", "", "", nullptr, TConditionField::None},
      {false, "95", "96", "", "", "止损价应小于下单价格。  ", TConditionField::Stop},
      {true, "105", "", "", "90", nullptr, TConditionField::None},
      {true, "105", "104", "", "", "止损价应大于下单价格。  ", TConditionField::Stop},
      {false, "对手价", "", "2", "", "浮动止损必须与止损同时指定，单独使用时浮动止损无效。  ",
       TConditionField::Trailing},
      {false, "对手价", "90", "2", "120", nullptr, TConditionField::None},
  };
  for (const Case &c : cases) {
    desk_.conditions.RemoveAll();
    boxes_.Clear();
    Start(c.sell);
    model_.fields.price = c.price;
    model_.fields.stop = c.stop;
    model_.fields.trailing = c.trailing;
    model_.fields.profit = c.profit;
    const bool ok = model_.Ok();
    EXPECT_EQ(ok, c.refusal == nullptr) << c.stop << c.price;
    if (c.refusal) {
      EXPECT_EQ(LastBox(), c.refusal);
      EXPECT_EQ(model_.focus, c.focus);
      EXPECT_EQ(desk_.conditions.GetCount(), 0);
    } else {
      EXPECT_EQ(desk_.conditions.GetCount(), 1);
    }
  }
  // Both set at the open: the stop must lie on the loss side of the take-profit.
  Start(false);
  model_.fields.condition = kConditionAtOpen;
  model_.fields.price = "对手价";
  model_.fields.stop = "98";
  model_.fields.profit = "97";
  EXPECT_FALSE(model_.Ok());
  EXPECT_EQ(LastBox(), "止损价应小于止盈价。  ");
  // Without a trigger price and without a contract.
  Start();
  model_.fields.triggerPrice = "";
  EXPECT_FALSE(model_.Ok());
  EXPECT_EQ(LastBox(), "请指定条件价格。  ");
  model_.SetContract("XX999");
  EXPECT_FALSE(model_.Ok());
  EXPECT_EQ(LastBox(), "指定的合约不可交易。  ");
}

TEST_F(ConditionDialogTest, TickMultipleQuestions) {
  Start(false);
  model_.fields.price = "对手价";
  model_.fields.trailing = "0";
  model_.fields.stop = "90.1";  // tick 0.2
  boxes_.QueueAnswer(IDCANCEL);
  EXPECT_FALSE(model_.Ok());
  EXPECT_EQ(model_.focus, TConditionField::Stop);
  EXPECT_EQ(LastBox(),
            "止损价不是 0.2 的倍数。如启用了“止损时以止损价下单”功能，下单可能失败。  \r\n如需修改止损价，请点击“取消”。  ");
  boxes_.QueueAnswer(IDOK);
  EXPECT_TRUE(model_.Ok());
  EXPECT_EQ(ConditionFormatWithDecimals("%%.%if", 12, 1.0 / 3), "0.333333");  // decimals held to 6
}

TEST_F(ConditionDialogTest, OrderFieldsAndWords) {
  Start(false);
  model_.fields.price = "abc";
  model_.PriceFieldLeft();
  EXPECT_EQ(model_.fields.price, "对手价");
  EXPECT_TRUE(model_.CancelOptionsVisible());
  model_.fields.cancelIf = true;
  model_.fields.seconds = 0;
  model_.fields.offset = kOffsetClose;
  model_.fields.stop = "90";  // hidden for a close
  model_.fields.validity = 1;
  ASSERT_TRUE(model_.Ok());
  ConditionOrder o = desk_.conditions.GetData()[0];
  EXPECT_EQ(o.PriceKind, 1);
  EXPECT_EQ(o.CancelAfter, 1);
  EXPECT_EQ(o.StopPrice, 0);
  EXPECT_EQ(o.OffsetFlag, '1');
  EXPECT_EQ(o.Expiry, 20240115);
  EXPECT_NE(box_.Read("user/880001/Consign.ini").find("COExpiredDefault=1"), std::string::npos);

  Start(false);
  model_.fields.price = "涨停价";
  EXPECT_FALSE(model_.CancelOptionsVisible());
  model_.fields.cancelIf = true;
  ASSERT_TRUE(model_.Ok());
  EXPECT_EQ(desk_.conditions.GetData()[1].CancelAfter, -1);

  // Steps start from the market: one step shows ask 1 or bid 1.
  model_.market = [](double &bid, double &ask) { bid = 100.2, ask = 100.4; };
  model_.fields.stop.clear();
  model_.Step(TConditionField::Stop, true);
  EXPECT_EQ(model_.fields.stop, "100.4");
  model_.fields.profit.clear();
  model_.Step(TConditionField::Profit, false);
  EXPECT_EQ(model_.fields.profit, "100.2");
  model_.fields.trailing.clear();
  model_.Step(TConditionField::Trailing, false);
  EXPECT_EQ(model_.fields.trailing, "0.0");
}

TEST_F(ConditionDialogTest, NewOrderRequestChecks) {
  TConditionDialogRun run;
  run.rights = [] { return kRightConditionOrders; };
  int refocused = 0, shown = 0;
  run.refocusOrderPanel = [&] { ++refocused; };
  run.showConditionPage = [&] { ++shown; };
  run.runModal = [&](TConditionDialogModel &m) {
    EXPECT_EQ(m.fields.contract, "M2401");
    EXPECT_TRUE(m.fields.sell);
    m.fields.triggerPrice = "100";
    return m.Ok();
  };
  struct Case {
    const char *contract, *price, *box;
  } cases[] = {
      {"", "100", "请先选择合约。  "},
      {"M2401", "x", "请填入正确的下单价格。  "},
      {"ZZ", "100", "指定的合约不存在或不可交易。  "},
      {"M2401", "100.1", "下单价格应为 0.2 的倍数。  "},
  };
  for (const Case &c : cases) {
    TConditionRequest request;
    request.contract = c.contract;
    request.price = c.price;
    EXPECT_FALSE(OpenNewConditionOrder(desk_, request, run));
    EXPECT_EQ(LastBox(), c.box);
  }
  EXPECT_EQ(refocused, 4);
  TConditionRequest request;
  request.contract = "M2401";
  request.price = "对手价";
  request.directionHint = 1;
  EXPECT_TRUE(OpenNewConditionOrder(desk_, request, run));
  EXPECT_EQ(shown, 1);
  run.rights = [] { return uint8_t(0); };
  EXPECT_FALSE(OpenNewConditionOrder(desk_, request, run));
  EXPECT_EQ(LastBox(), "您没有使用条件单的权限。  ");
}

class ConditionPageTest : public ConditionDialogTest {
 protected:
  ConditionPageTest() : conditions_(desk_, hooks_), page_(desk_, conditions_) {
    hooks_.armed = [] { return true; };
    page_.rights = [] { return kRightConditionOrders; };
  }
  void Add(double stop, uint8_t state = 0) {
    ConditionOrder c;
    memset(static_cast<void *>(&c), 0, sizeof c);
    strcpy(c.InstrumentID, "M2401");
    c.Direction = '0';
    c.OffsetFlag = '0';
    c.HedgeFlag = '1';
    c.TriggerKind = -1;
    c.PriceKind = 1;
    c.Volume = 1;
    c.StopPrice = stop;
    c.State = state;
    c.Stock = STKPTR(1, 0, 0);
    desk_.conditions.Add(c);
  }
  std::string Dealed(int n) const {
    std::string bytes("KVDD13");
    for (int i = 0; i < n; ++i) {
      ConditionOrder c;
      memset(static_cast<void *>(&c), 0, sizeof c);
      c.Volume = i + 1;
      c.Direction = '0';
      c.OffsetFlag = '0';
      unsigned char record[kConditionRecordSize];
      PutConditionRecord(c, record);
      bytes.append(reinterpret_cast<char *>(record), sizeof record);
    }
    return bytes;
  }

  TAutomationHooks hooks_;
  TConditionOrders conditions_;
  TConditionPage page_;
};

TEST_F(ConditionPageTest, FiredOrdersFileIsCutAt151) {
  for (int n : {150, 151}) {
    const std::string bytes = Dealed(n);
    WriteBytes("Dealed.dat", bytes);
    page_.Fill(1);
    const size_t shown = n == 150 ? 150 : 100;
    ASSERT_EQ(page_.rows.size(), shown) << n;
    EXPECT_EQ(page_.rows.front().cells[3], "买开仓 " + std::to_string(n) + "手");  // newest on top
    EXPECT_EQ(ReadBytes("Dealed.dat"), n == 150 ? bytes : "KVDD13" + bytes.substr(6 + 51 * kConditionRecordSize));
  }
  EXPECT_FALSE(std::filesystem::exists(AccountPath("Dealed2.dat")));
  page_.Delete();  // "全部删除": no question
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_FALSE(std::filesystem::exists(AccountPath("Dealed.dat")));
}

TEST_F(ConditionPageTest, RowTexts) {
  Add(3400);
  ConditionOrder &c = desk_.conditions.GetData()[0];
  c.TriggerKind = 0;
  c.Ticks = 3;
  c.TriggerPrice = 3500;
  c.TickOffset = 2;
  c.CancelAfter = 5;
  c.Reorder = 1;
  c.Direction = '1';
  page_.Fill(0);
  const auto &cells = page_.rows[0].cells;
  EXPECT_EQ(cells[0], "正常");
  EXPECT_EQ(cells[1], "M2401 最新价 连续3笔 >= 3500.0");
  EXPECT_EQ(cells[2], "对手价 向下调整2个价位");
  EXPECT_EQ(cells[3], "卖开仓 1手");
  EXPECT_EQ(cells[4], "3400.0 / 0.0 / 0.0");
  EXPECT_EQ(cells[5], "5秒");
  EXPECT_EQ(cells[6], "√");
  EXPECT_EQ(cells[7], "永久");
}

TEST_F(ConditionPageTest, FireByHandPauseDeleteAndModify) {
  Quote(0).last = 3450 * 1000;
  Add(0);
  Add(3500);  // stop above last: refused by hand
  Add(0);
  page_.Fill(0);
  int starts = 0;
  page_.startQueue = [&] { ++starts; };
  page_.selected = {0, 1, 2};
  boxes_.SetDefaultAnswer(IDYES);
  page_.FireSelected();
  ASSERT_EQ(desk_.conditions.GetCount(), 1);
  EXPECT_EQ(desk_.conditions.GetData()[0].StopPrice, 3500);
  EXPECT_EQ(desk_.tasks.GetCount(), 2);
  EXPECT_EQ(starts, 1);

  // Pausing a mix pauses all; the button then enables.
  Add(0, 1);
  Add(0);
  page_.Fill(0);
  page_.selected = {0, 1, 2};
  page_.SelectionChanged(0);
  EXPECT_EQ(page_.pauseTag, 0);
  page_.TogglePause();
  for (int32_t i = 0; i < desk_.conditions.GetCount(); ++i) EXPECT_EQ(desk_.conditions.GetData()[i].State & 1, 1);
  EXPECT_EQ(std::string(page_.PauseCaption()), "启用");

  // Editing keeps the paused state and the place, and renews the time.
  desk_.conditions.GetData()[1].Made.wYear = 2000;
  page_.selected = {1};
  page_.runDialog = [](TConditionDialogModel &m) {
    m.fields.volume = "7";
    return m.Ok();
  };
  page_.Modify();
  ASSERT_EQ(desk_.conditions.GetCount(), 3);
  EXPECT_EQ(desk_.conditions.GetData()[1].Volume, 7);
  EXPECT_EQ(desk_.conditions.GetData()[1].State & 1, 1);
  EXPECT_NE(desk_.conditions.GetData()[1].Made.wYear, 2000);
  EXPECT_EQ(page_.selected, std::vector<int>{1});

  // Deleting the first and last rows removes exactly those.
  desk_.conditions.GetData()[1].Volume = 70;
  page_.selected = {0, 2};
  page_.Delete();
  ASSERT_EQ(desk_.conditions.GetCount(), 1);
  EXPECT_EQ(desk_.conditions.GetData()[0].Volume, 70);
}

}  // namespace
}  // namespace trading_test
