// The after-login check list: its three blocks with separators, a shared
// stop list listed once, deleting rows and everything, and the instrument
// a selected row shows.
#include <gtest/gtest.h>

#include <cstring>

#include "core/netutil.h"
#include "tests/trading/stop_world.h"
#include "trading/checklist.h"
#include "trading/conditionorders.h"
#include "trading/pendingorders.h"
#include "trading/tradelog.h"

namespace trading_test {
namespace {

class CheckListTest : public StopWorld {
 protected:
  CheckListTest() : conditions_(desk_, hooks_), list_(desk_, conditions_) {
    BindLoggerLibrary();
    OpenTradeLog(desk_, 20240115);
  }
  ~CheckListTest() override { CloseTradeLog(desk_); }

  void Pending(const char *code, double price, int volume) {
    desk_.orders.Add(MakePendingOrder(desk_, "DCE", code, '0', '1', '1', price, volume));
  }
  ConditionOrder &Condition(int8_t trigger, uint8_t state = 0) {
    return AddConditionOrder('1', trigger, 3500.4, 3, state);
  }
  std::vector<int> Kinds() const {
    std::vector<int> kinds;
    for (const TCheckListRow &r : list_.rows) kinds.push_back(r.key.kind);
    return kinds;
  }

  TAutomationHooks hooks_;
  TConditionOrders conditions_;
  TAutomationCheckList list_;
};

TEST_F(CheckListTest, BlocksSeparatorsAndTexts) {
  Pending("M2401", 3500, 2);
  InvestorPosition_Lite &a = AddPosition('2', 2, 1);
  ASSERT_TRUE(a.AddStop(desk_.positions, 2, 3400, 0, 3600.5, 0, 0, 20240115));
  Condition(0);
  Condition(-1);     // pre-set: never armed
  Condition(2, 1);   // paused
  Condition(3).Volume = 4;
  list_.Fill();
  EXPECT_EQ(Kinds(), (std::vector<int>{kCheckPending, kCheckSeparator, kCheckStop, kCheckSeparator, kCheckCondition,
                                       kCheckCondition}));
  const auto &pending = list_.rows[0].cells;
  EXPECT_EQ(pending[kCheckColumnKind], "开盘触发");
  EXPECT_EQ(pending[kCheckColumnCondition], "开盘后, 以价格 3500.000 买平仓");
  EXPECT_EQ(pending[kCheckColumnAction], "-");
  EXPECT_EQ(list_.rows[1].cells[kCheckColumnAction], "");
  EXPECT_EQ(list_.rows[2].cells[kCheckColumnCondition],
            std::string("止损: 3400.000  ") + "浮动止损: ---       " + "止盈: 3600.500  ");
  // Newest condition order first.
  EXPECT_EQ(list_.rows[4].cells[kCheckColumnKind], "时间触发");
  EXPECT_EQ(list_.rows[4].cells[kCheckColumnVolume], "4");
  EXPECT_EQ(list_.rows[5].cells[kCheckColumnKind], "价格触发");
  EXPECT_EQ(list_.rows[5].key.index, 0);
}

TEST_F(CheckListTest, ConditionTextsByKind) {
  ConditionOrder c = Condition(1);
  c.PriceSource = 2;
  c.Ticks = 3;
  c.PriceKind = 1;
  c.TickOffset = 2;
  EXPECT_EQ(CheckListConditionText(c, 1), "当 卖一价<=3500.4 时以 对手价 调整2价位 卖开仓");
  c.TriggerKind = 2;
  c.PriceKind = 2;
  c.FixedPrice = 3499.8;
  c.OffsetFlag = '3';
  EXPECT_EQ(CheckListConditionText(c, 9), "当开盘时以 3499.800000 卖平今");  // decimals held to 6
  c.PriceKind = 5;
  c.Direction = '0';
  EXPECT_EQ(CheckListConditionText(c, 2), "当开盘时以 涨停价 买平今");
}

TEST_F(CheckListTest, SharedStopListIsListedOnceEvenWhenNotAdjacent) {
  InvestorPosition_Lite &a = AddPosition('2', 2, 1);
  ASSERT_TRUE(a.AddStop(desk_.positions, 2, 3400, 0, 0, 0, 0, 20240115));
  InvestorPosition_Lite other = a;
  other.HedgeFlag = '3';
  other.Stops = nullptr;
  desk_.positions.Add(other);
  AddPosition('2', 1, 2).Stops = desk_.positions.GetData()[0].Stops->AddRef();  // shares the first one's list
  ASSERT_EQ(desk_.positions.GetData()[2].Stops, desk_.positions.GetData()[0].Stops);
  list_.Fill();
  EXPECT_EQ(Kinds(), (std::vector<int>{kCheckStop}));
}

TEST_F(CheckListTest, DeletingRowsRewritesEachFile) {
  Pending("M2401", 3500, 2);
  Pending("M2401", 3501, 1);
  SavePendingOrders(desk_, desk_.owner);
  InvestorPosition_Lite &a = AddPosition('2', 3, 1);
  ASSERT_TRUE(a.AddStop(desk_.positions, 1, 3400, 0, 0, 0, 0, 20240115));
  ASSERT_TRUE(a.AddStop(desk_.positions, 2, 3300, 0, 0, 0, 0, 20240115));
  Condition(0);
  conditions_.SaveConditionOrders();
  int refreshed = 0;
  list_.orderListChanged = [&] { ++refreshed; };
  list_.Fill();
  ASSERT_EQ(list_.rows.size(), 7u);

  EXPECT_FALSE(list_.DeleteRow(2));   // separator
  EXPECT_FALSE(list_.DeleteRow(99));  // outside
  EXPECT_TRUE(list_.DeleteRow(0));
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(ReadBytes("Pending.dat").size(), 6 + kPendingRecordSize);
  ASSERT_EQ(list_.rows.size(), 6u);
  // The second stop row: its entry leaves the list and the file.
  EXPECT_TRUE(list_.DeleteRow(3));
  EXPECT_EQ(Stops(desk_.positions.GetData()[0]), std::vector<double>{3400});
  EXPECT_EQ(ReadBytes("stoporder/M240121.sto").size(), kStopFileMagicSize + kStopRecordSize);
  ASSERT_EQ(list_.rows.back().key.kind, kCheckCondition);
  EXPECT_TRUE(list_.DeleteRow(int(list_.rows.size()) - 1));
  EXPECT_EQ(ReadBytes("DEALLIST.SET"), "KVDL20");

  list_.DeleteAll();
  EXPECT_TRUE(list_.rows.empty());
  EXPECT_EQ(ReadBytes("Pending.dat"), "KVPO02");
  EXPECT_EQ(desk_.positions.GetData()[0].StopCount(), 0);
  const auto log = TradeLogRecords();
  EXPECT_NE(std::find(log.begin(), log.end(), "3008|2|登录前|"), log.end());
}

// The arrays changed after the list was filled: a row whose place now
// holds another item deletes nothing.
TEST_F(CheckListTest, RowWhoseItemMovedDeletesNothing) {
  Pending("M2401", 3500, 2);
  Pending("M2401", 3501, 1);
  InvestorPosition_Lite &a = AddPosition('2', 3, 1);
  ASSERT_TRUE(a.AddStop(desk_.positions, 1, 3400, 0, 0, 0, 0, 20240115));
  Condition(0);
  Condition(3).Volume = 4;
  list_.Fill();
  ASSERT_EQ(Kinds(), (std::vector<int>{kCheckPending, kCheckPending, kCheckSeparator, kCheckStop, kCheckSeparator,
                                       kCheckCondition, kCheckCondition}));

  desk_.orders.RemoveAt(0);  // the second open-trigger order takes the first's place
  EXPECT_FALSE(list_.DeleteRow(0));
  EXPECT_EQ(desk_.orders.GetCount(), 1);

  desk_.positions.GetData()[0].Stops->First->Volume = 2;  // another entry than the one listed
  EXPECT_FALSE(list_.DeleteRow(3));
  EXPECT_EQ(desk_.positions.GetData()[0].StopCount(), 1);

  desk_.conditions.RemoveAt(0);  // the newer order takes the older one's place
  EXPECT_FALSE(list_.DeleteRow(6));
  EXPECT_EQ(desk_.conditions.GetCount(), 1);

  // Refilled, the rows delete again.
  list_.Fill();
  EXPECT_TRUE(list_.DeleteRow(0));
  EXPECT_EQ(desk_.orders.GetCount(), 0);
}

TEST_F(CheckListTest, SelectingShowsTheInstrumentWhenSyncIsOn) {
  Pending("CU2405", 71000, 1);
  Condition(0);
  list_.Fill();
  std::vector<uint32_t> shown;
  list_.showInstrument = [&](STKPTR s) { shown.push_back(s.Word()); };
  list_.SelectRow(0);
  list_.SelectRow(1);  // separator
  list_.SelectRow(2);
  desk_.options.SyncContract = false;
  list_.SelectRow(0);
  EXPECT_EQ(shown, (std::vector<uint32_t>{STKPTR(1, 0, 1).Word(), STKPTR(1, 0, 0).Word()}));
}

}  // namespace
}  // namespace trading_test
