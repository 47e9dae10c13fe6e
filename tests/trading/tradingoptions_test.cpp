// The trading options: the loader's defaults and rules, the writer's keys,
// a load after a write, and the per-product stores of the options dialog.
#include "trading/tradingoptions.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/profile.h"
#include "tests/trading/desk_fixture.h"

namespace trading_test {
namespace {

class TradingOptionsTest : public DeskTest {
 protected:
  TradingOptions Load(const std::string &account, int shortName = 1) {
    box_.WriteText("user/880001/Consign.ini", account);
    TradingOptions o;
    LoadTradingOptions(o, file_.c_str(), "..\\cfg\\Consign.ini", shortName);
    return o;
  }
  const std::string file_ = desk_.AccountFile("Consign.ini");
};

TEST_F(TradingOptionsTest, SharedDefaultsComeFromTheCfgFileAndOthersFromTheTable) {
  box_.WriteText("cfg/Consign.ini",
                 "[UI]\nHideTradePanel=1\n[Script]\nFloatUI=1\nFloatUIAutoHide=0\nQuickDeal=0\nTimeOut=9\n");
  const TradingOptions o = Load("");
  EXPECT_EQ(o.HideTradePanel, 1);
  EXPECT_TRUE(o.FloatUI);
  EXPECT_FALSE(o.FloatUIAutoHide);
  EXPECT_FALSE(o.QuickDeal);
  // Only the marked keys take the shared file's value.
  EXPECT_EQ(o.TimeOut, 5);
  EXPECT_EQ(o.TimeOutS, 5);
  EXPECT_EQ(o.PPercent, 500000);
  EXPECT_EQ(o.LayOut2, 1);
  EXPECT_TRUE(o.DirectCancelOrder);
  EXPECT_EQ(o.StopTrigger, 2);
  EXPECT_EQ(o.StopTriggerMethodP, 1);
  EXPECT_EQ(o.FocusInputOrder, 3);
  EXPECT_STREQ(o.DealSound, ".\\成交.wav");
  EXPECT_EQ(o.HedgeFlag, '1');
  // The account's own value wins over the shared default.
  EXPECT_TRUE(Load("[Script]\nQuickDeal=1\n").QuickDeal);
}

TEST_F(TradingOptionsTest, TheLoaderClampsProportionsAndDerivesTheStopValues) {
  struct Case {
    const char *file;
    int percent, width, timeOutS, offsetS, offsetSSell;
  } cases[] = {
      {"[UI]\nPPercent=100\nPPercentWidth=800000\n", 293023, 465000, 5, 0, 0},
      {"[UI]\nPPercent=900000\nPPercentWidth=300000\n", 706977, 300000, 5, 0, 0},
      // The width's default lies above its range.
      {"[UI]\nPPercent=abc\n[Script]\nTimeOut=8\nPriceOffset=4\n", 293023, 465000, 8, 4, 4},
      {"[Script]\nTimeOut=8\nTimeOutS=2\nPriceOffset=4\nPriceOffsetS=-1\n", 500000, 465000, 2, -1, 4},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.file);
    const TradingOptions o = Load(c.file);
    EXPECT_EQ(o.PPercent, c.percent);
    EXPECT_EQ(o.PPercentWidth, c.width);
    EXPECT_EQ(o.TimeOutS, c.timeOutS);
    EXPECT_EQ(o.PriceOffsetS, c.offsetS);
    EXPECT_EQ(o.PriceOffsetSSell, c.offsetSSell);
  }
  const TradingOptions o = Load("[Script]\nPriceOffsetReInOrder=5\nPriceOffsetReInOrderS=6\n");
  EXPECT_EQ(o.PriceOffsetReInOrder, 0);
  EXPECT_EQ(o.PriceOffsetReInOrderS, 0);
}

TEST_F(TradingOptionsTest, OpenTriggerOrdersAreOffForAPluginOfMoreThanOneShortName) {
  for (auto [shortName, expected] : {std::pair{0, 1}, {1, 1}, {2, 2}}) {
    SCOPED_TRACE(shortName);
    EXPECT_EQ(Load("[Script]\nAutopending1=1\n", shortName).Autopending1, expected);
  }
}

TEST_F(TradingOptionsTest, TheWriterChangesOnlyItsKeysInItsOrderAndALoadGivesThemBack) {
  box_.WriteText("user/880001/Consign.ini", "[UI]\nPPercent=400000\n[ShortCut]\nsc1=a,b\n");
  TradingOptions written;
  written.FloatUI = true, written.ExpressOrder = true, written.ResetUI = false, written.StopLPrice = 2;
  written.Autopending1 = 1, written.TimeOut = 12, written.TimeOutS = 3, written.PriceOffset = -3;
  written.PriceOffsetS = 2, written.PriceOffsetSSell = 1, written.PriceOffsetReInOrder = 9, written.OrderColor = 2;
  written.AutoLockSystem = 15, written.AutoAdjustPrice = 4, written.AutoCancleOrder = true;
  strcpy(written.DealSound, ".\\叮.wav");
  written.PPercent = 600000;  // not the writer's
  WriteTradingOptions(written, file_.c_str());
  EXPECT_EQ(box_.Read("user/880001/Consign.ini"),
            "[UI]\nPPercent=400000\n[ShortCut]\nsc1=a,b\n"
            "[Script]\nFloatUI=1\nFloatUIAutoHide=1\nQuickDeal=1\nAlpha=0\n"
            "DirectCancelOrder=1\nClickOrderToClose=1\nFastClosePosition=0\nResetUI=0\nResetToNow=0\n"
            "ResetToOpen=1\nUseLastClose=0\nStopLPrice=2\nStopPPrice=0\nReInputOrder=1\n"
            "ReInputOrderS=1\nActionOnLimit=0\nActionOnLimitS=0\nStopExpiredDefault=1\n"
            "StopTriggerMethodL=0\nStopTriggerMethodP=1\nSyncContract=1\nPlayDealSound=0\n"
            "DealSound=.\\叮.wav\nAutopending1=1\nManualOffset=0\nFocusInputOrder=3\nPriceOffset=-3\n"
            "PriceOffsetReInOrder=0\nPriceOffsetS=2\nPriceOffsetSSell=1\nPriceOffsetReInOrderS=0\n"
            "TimeOut=12\nTimeOutS=3\nStopTrigger=2\nStopTriggerP=1\nDefaultPrice=0\nRefreshPrice=0\n"
            "AutoLockSystem=15\nAutoAdjustPrice=4\nAutoCancleOrder=1\nOrderColor=2\n"
            "[Config]\nExpressOrder=1\n");

  TradingOptions read;
  LoadTradingOptions(read, file_.c_str(), "..\\cfg\\Consign.ini", 1);
  written.PPercent = 400000;
  written.PPercentWidth = kPPercentWidthMax;
  written.PriceOffsetReInOrder = 0;
  EXPECT_TRUE(read == written);

  for (auto [layout, stored] : {std::pair{0, "1"}, {1, "0"}, {2, "2"}, {3, "3"}}) {
    WriteSimpleUI(layout);
    EXPECT_EQ(GetPrivateProfileIntA("Script", "SimpleUI", -1, "..\\cfg\\Consign.ini"), UINT(atoi(stored)));
  }
  EXPECT_EQ(OrderAreaColour(0), 0xFFFFFFu);
  EXPECT_EQ(OrderAreaColour(1), 0xEED6CDu);
  EXPECT_EQ(OrderAreaColour(7), 0xC2C1C3u);
}

TEST_F(TradingOptionsTest, AutomaticStopsAndDefaultVolumesGoIntoEveryContractOfTheProduct) {
  const CContractInfo table[] = {Contract("CU2405"), Contract("CU2406"), Contract("M2401")};
  ASSERT_TRUE(desk_.SetContracts(table, 3));
  const char *file = "user/880001/Consign.ini";

  EXPECT_EQ(StoreAutoStops(desk_, "CU", false, 0, 10, 3), AutoStopStore::TrailingWithoutLoss);
  EXPECT_FALSE(box_.Exists(file));
  EXPECT_EQ(StoreAutoStops(desk_, "CU", false, 5, 40000, 3), AutoStopStore::Stored);
  EXPECT_EQ(box_.Read(file), "[AutoBuyStop]\r\nCU=5,32767,3\r\n");
  for (int i : {0, 1}) {
    EXPECT_EQ(desk_.contracts[i].BuyLoss, 5u);
    EXPECT_EQ(desk_.contracts[i].BuyProfit, 32767u);
    EXPECT_EQ(desk_.contracts[i].BuyTrailing, 3u);
    EXPECT_EQ(desk_.contracts[i].SellLoss, 0u);
  }
  EXPECT_EQ(desk_.contracts[2].BuyLoss, 0u);
  // The same values again store nothing: the file stays byte for byte.
  box_.WriteText(file, "[AutoBuyStop]\nCU = 5,32767,3\n");
  EXPECT_EQ(StoreAutoStops(desk_, "CU", false, 5, 32767, 3), AutoStopStore::Unchanged);
  EXPECT_EQ(box_.Read(file), "[AutoBuyStop]\nCU = 5,32767,3\n");

  EXPECT_FALSE(StoreDefaultVolume(desk_, "M", false, 0));  // clamped to 1, which it was
  EXPECT_TRUE(StoreDefaultVolume(desk_, "M", false, 3));
  EXPECT_EQ(desk_.contracts[2].DefaultOpenVolume, 3);
  EXPECT_TRUE(StoreDefaultVolume(desk_, "CU", true, 99999));
  EXPECT_EQ(desk_.contracts[1].DefaultCloseVolume, 32767);

  ResetAutoStops(desk_);
  ResetDefaultVolumes(desk_, true);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(desk_.contracts[i].BuyLoss + desk_.contracts[i].BuyProfit + desk_.contracts[i].BuyTrailing, 0u);
    EXPECT_EQ(desk_.contracts[i].DefaultCloseVolume, 0);
  }
  EXPECT_EQ(GetPrivateProfileIntA("DefCloseVol", "CU", 7, desk_.AccountFile("Consign.ini").c_str()), 0u);
  char stops[32];
  GetPrivateProfileStringA("AutoSellStop", "M", "", stops, sizeof stops, desk_.AccountFile("Consign.ini").c_str());
  EXPECT_STREQ(stops, "0,0,0");
}

TEST_F(TradingOptionsTest, ConfirmedQuickKeysKeepTheValuesOfTheirSlots) {
  desk_.LoadOptionShortcuts();
  desk_.SetOptionShortcut(6, '2', 7);
  const char keys[15] = {'B', 'S', 'K', 'P', 'J', 0, 'X', 0, 0, 'C', 0, 'A', 0, 0, 'Z'};
  StoreQuickOrderKeys(desk_, keys);
  struct Case {
    int slot;
    char key;
    int32_t value;
  } cases[] = {{0, 'B', 0}, {1, 'S', 0}, {5, 0, 0}, {6, 'X', 7}, {9, 'C', 1}, {11, 'A', 1}, {14, 'Z', 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.slot);
    char key;
    int32_t value;
    EXPECT_TRUE(desk_.FindOptionShortcut(c.slot, &key, &value));
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(value, c.value);
  }
}

}  // namespace
}  // namespace trading_test
