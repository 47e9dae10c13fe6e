#include <gtest/gtest.h>

#include <cstring>

#include "market/rights.h"
#include "platform/profile.h"
#include "tests/trading/orderdesk_fixture.h"
#include "trading/positions.h"

namespace trading_test {
namespace {

class PositionsTest : public OrderDeskTest {
 protected:
  TB_POSITION Block(const char *code, char direction, int volume, double open) {
    TB_POSITION b{};
    strncpy(b.InstrumentID, code, 7);
    b.PosiDirection = direction;
    b.HedgeFlag = '1';
    b.Volume = volume;
    b.OpenAmount = b.HoldingAmount = open;
    return b;
  }
  void AddTrade(const char *code, char direction, char offset, int volume, double price) {
    desk_.trades.Add(Trade_Lite(Trade("1", code, direction, offset, volume, price)));
  }
  TPositionBook &book() { return dispatch_.positionBook; }
};

TEST_F(PositionsTest, CloseTodayExchangeSplitsTheListedPosition) {
  struct Case {
    int todayVolume;
    int records;
  } cases[] = {{2, 2}, {5, 1}, {0, 1}};
  for (const Case &c : cases) {
    desk_.positions.RemoveAll();
    desk_.trades.RemoveAll();
    if (c.todayVolume) AddTrade("CU2405", '0', '0', c.todayVolume, 3510);
    const double open = c.todayVolume == 5 ? 3510 : 3504;
    EXPECT_GE(book().PositionListRecord(Block("CU2405", '2', 5, open), 120), 1);
    ASSERT_EQ(desk_.positions.GetCount(), c.records) << c.todayVolume;
    const InvestorPosition_Lite *p = desk_.positions.GetData();
    if (c.todayVolume == 2) {
      EXPECT_EQ(p[0].Attribute, 1);
      EXPECT_EQ(p[0].Volume, 3);
      EXPECT_DOUBLE_EQ(p[0].OpenAverage, 3500);
      EXPECT_EQ(p[1].Attribute, 2);
      EXPECT_EQ(p[1].Volume, 2);
      EXPECT_DOUBLE_EQ(p[1].HoldingAverage, 3510);
    } else {
      EXPECT_EQ(p[0].Attribute, c.todayVolume == 5 ? 2 : 1);
      EXPECT_EQ(p[0].Volume, 5);
    }
  }
}

TEST_F(PositionsTest, SinglePositionAnswerOnlyRepairsAMatchingTotal) {
  desk_.positions.Add(Position("M2401", '2', 5, 3500));
  book().FillPositionList();
  TB_POSITION answer = Block("M2401", '2', 4, 3600);
  book().UpdatePositionPrices(answer, 120);
  EXPECT_DOUBLE_EQ(desk_.positions.GetData()[0].OpenAverage, 3500);
  answer.Volume = 5;
  desk_.positions.GetData()[0].Refresh = 1;
  book().UpdatePositionPrices(answer, 120);
  EXPECT_DOUBLE_EQ(desk_.positions.GetData()[0].OpenAverage, 3600);
  EXPECT_EQ(desk_.positions.GetData()[0].Refresh, 0);
  EXPECT_EQ(book().rows.rows[0].items[kPosOpenAverage], "3600");
}

TEST_F(PositionsTest, ProfitColumnsBySideAndWithoutAMultiple) {
  SetQuote(0, 3490, 3491, 3490);
  desk_.positions.Add(Position("M2401", '3', 2, 3500));
  desk_.positions.Add(Position("M2401", '2', 2, 3500));
  TListRow shortRow = book().PositionRow(0), longRow = book().PositionRow(1);
  EXPECT_EQ(shortRow.items[kPosFloatProfit], "200");
  EXPECT_EQ(longRow.items[kPosFloatProfit], "-200");
  desk_.FindContract("M2401")->VolumeMultiple = 0;
  EXPECT_EQ(book().PositionRow(0).items[kPosFloatProfit], "");
  EXPECT_EQ(book().PositionRow(0).items[kPosHoldingProfit], "");
}

TEST_F(PositionsTest, TodayOpenPartConsumesTheOldestOpeningsFirst) {
  AddTrade("M2401", '0', '0', 2, 3500);
  AddTrade("M2401", '0', '0', 3, 3510);
  AddTrade("M2401", '1', '3', 3, 3520);
  struct Case {
    int mode, volume, expectVolume;
    double expectPrice;
  } cases[] = {{1, 0, 2, 3510}, {0, 4, 4, 3507.5}, {0, 1, 1, 3510}, {0, 9, 5, 3506}};
  for (const Case &c : cases) {
    const TTodayPart part = book().TodayOpenPart("M2401", '2', '1', c.mode, c.volume);
    EXPECT_EQ(part.volume, c.expectVolume) << c.mode << c.volume;
    EXPECT_DOUBLE_EQ(part.price, c.expectPrice) << c.mode << c.volume;
  }
  EXPECT_EQ(book().TodayOpenPart("M2401", '3', '1', 0, 1).volume, 0);
}

TEST_F(PositionsTest, OpeningTradeAveragesAndAFullCloseRemoves) {
  desk_.positions.Add(Position("M2401", '2', 2, 3500));
  book().FillPositionList();
  PushTrade(Trade("11", "M2401", '0', '0', 1, 3503));
  ASSERT_EQ(desk_.positions.GetCount(), 1);
  EXPECT_EQ(desk_.positions.GetData()[0].Volume, 3);
  EXPECT_DOUBLE_EQ(desk_.positions.GetData()[0].OpenAverage, 3501);
  EXPECT_EQ(book().rows.rows[0].items[kPosVolume], "3");
  const int fills = book().listFills;
  PushTrade(Trade("12", "M2401", '1', '1', 3, 3510));
  EXPECT_EQ(desk_.positions.GetCount(), 0);
  EXPECT_EQ(book().listFills, fills + 1);
  EXPECT_TRUE(book().rows.rows.empty());
}

TEST_F(PositionsTest, ConditionOrderTradeGetsItsScriptStops) {
  WritePrivateProfileStringA("Order", "123", "3480.000,0.000,3550.000", book().ScriptOrderFile().c_str());
  NoteDayFilesChanged();
  PushTrade(Trade("123", "M2401", '0', '0', 2, 3500));
  ASSERT_EQ(desk_.positions.GetCount(), 1);
  InvestorPosition_Lite &p = desk_.positions.GetData()[0];
  ASSERT_EQ(stops_.StopCount(p), 1);
  EXPECT_DOUBLE_EQ(p.Stops->First->StopPrice, 3480);
  EXPECT_DOUBLE_EQ(p.Stops->First->Trailing, 0);
  EXPECT_DOUBLE_EQ(p.Stops->First->ProfitPrice, 3550);
  EXPECT_EQ(LogRecords().back(), "3009|0|条件单");
  // A fresh holder's entries are saved at once.
  ASSERT_FALSE(stops_.saves.empty());
  EXPECT_TRUE(stops_.saves.back().log);
}

TEST_F(PositionsTest, AutomaticStopsNeedTheRightAndFollowTheTicks) {
  CContractInfo *c = desk_.FindContract("SR405");
  c->BuyLoss = 10, c->BuyTrailing = 5;
  PushTrade(Trade("1", "SR405", '0', '0', 1, 3500));
  EXPECT_EQ(stops_.StopCount(desk_.positions.GetData()[0]), 0);  // no right
  UserRights[kFeatureOrderByte] = kRightStopOrders;
  PushTrade(Trade("2", "SR405", '0', '0', 1, 3500));
  UserRights[kFeatureOrderByte] = 0;
  InvestorPosition_Lite &p = desk_.positions.GetData()[0];
  ASSERT_EQ(stops_.StopCount(p), 1);
  EXPECT_NEAR(p.Stops->First->StopPrice, 3498, 1e-9);
  EXPECT_NEAR(p.Stops->First->Trailing, 1.0, 1e-9);
  EXPECT_EQ(p.Stops->First->ProfitPrice, 0);
}

TEST_F(PositionsTest, RestingCloseFreezesItsOpenPartAndItsCancelFreesIt) {
  desk_.positions.Add(Position("M2401", '2', 5, 3500));
  book().FillPositionList();
  PushOrder(Order("20", "M2401", '1', '1', 3, 1, '1'));
  EXPECT_EQ(desk_.positions.GetData()[0].Frozen, 2);
  EXPECT_EQ(book().rows.rows[0].items[kPosAvailable], "3");
  PushOrder(Order("20", "M2401", '1', '1', 3, 1, '5'));
  EXPECT_EQ(desk_.positions.GetData()[0].Frozen, 0);
  book().RecountFrozenVolumes();
  EXPECT_EQ(desk_.positions.GetData()[0].Frozen, 0);
  // Codes compare without regard to case, in both recounts.
  PushOrder(Order("21", "m2401", '1', '1', 4, 0, '3'));
  EXPECT_EQ(desk_.positions.GetData()[0].Frozen, 4);
  desk_.positions.GetData()[0].Frozen = 0;
  book().RecountFrozenVolumes();
  EXPECT_EQ(desk_.positions.GetData()[0].Frozen, 4);
}

TEST_F(PositionsTest, ListEndLoadsStopsUnlessAPositionWasLost) {
  book().PositionListEnd(20240115);
  EXPECT_EQ(stops_.loads, 1);
  book().storeFailed = 1;
  book().PositionListEnd(20240115);
  EXPECT_EQ(stops_.loads, 1);
}

}  // namespace
}  // namespace trading_test
