#include "trading/optiondlg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/beep.h"
#include "tests/trading/desk_fixture.h"

namespace {

class OptionDlgTest : public trading_test::DeskTest {
 protected:
  OptionDlgTest() {
    const CContractInfo table[] = {Contract("CU2405"), Contract("CU2406"), Contract("M2401"), Contract("M2405")};
    desk_.SetContracts(table, 4);
    desk_.LoadOptionShortcuts();
  }
  std::vector<std::string> Lines(const std::string &name) {
    std::ifstream in(AccountPath(name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line.substr(0, line.find('=')));
    }
    return lines;
  }
};

TEST_F(OptionDlgTest, OkOnAFreshAccountWritesTheKeysInOrder) {
  TOptionDlg dialog(desk_);
  dialog.Ok();
  const std::vector<std::string> expected = {
      "[Script]", "FloatUI", "FloatUIAutoHide", "QuickDeal", "Alpha", "DirectCancelOrder", "ClickOrderToClose",
      "FastClosePosition", "ResetUI", "ResetToNow", "ResetToOpen", "UseLastClose", "StopLPrice", "StopPPrice",
      "ReInputOrder", "ReInputOrderS", "ActionOnLimit", "ActionOnLimitS", "StopExpiredDefault",
      "StopTriggerMethodL", "StopTriggerMethodP", "SyncContract", "PlayDealSound", "DealSound", "Autopending1",
      "ManualOffset", "FocusInputOrder", "PriceOffset", "PriceOffsetReInOrder", "PriceOffsetS", "PriceOffsetSSell",
      "PriceOffsetReInOrderS", "TimeOut", "TimeOutS", "StopTrigger", "StopTriggerP", "DefaultPrice", "RefreshPrice",
      "AutoLockSystem", "AutoAdjustPrice", "AutoCancleOrder", "OrderColor", "[Config]", "ExpressOrder"};
  EXPECT_EQ(Lines("Consign.ini"), expected);
  char value[16];
  GetPrivateProfileStringA("Script", "TimeOut", "", value, sizeof value, AccountPath("Consign.ini").c_str());
  EXPECT_STREQ(value, "5");
}

TEST_F(OptionDlgTest, TimeOutBoxesExcludeEachOtherAndStoreWithinRange) {
  desk_.options.TimeOut = 0;
  desk_.options.ReInputOrder = true;
  TOptionDlg reopened(desk_);
  EXPECT_TRUE(reopened.reorderTimeOut.checked);
  EXPECT_FALSE(reopened.timeOut.checked);
  reopened.Ok();
  EXPECT_EQ(desk_.options.TimeOut, 1);
  EXPECT_TRUE(desk_.options.ReInputOrder);

  TOptionDlg dialog(desk_);
  dialog.CheckTimeOut(false, false, true);
  EXPECT_FALSE(dialog.reorderTimeOut.checked);
  dialog.timeOut.value = 0;
  dialog.autoLock.Check(true);
  dialog.autoLock.Check(false);
  EXPECT_EQ(dialog.autoLock.value, 5);
  dialog.Ok();
  EXPECT_EQ(desk_.options.TimeOut, 1);
  EXPECT_FALSE(desk_.options.ReInputOrder);
  EXPECT_EQ(desk_.options.AutoLockSystem, 0);

  // Both stop price kinds other than the opposite price lock the adjustments.
  TOptionDlg stops(desk_);
  stops.priceOffsetS.Check(true);
  stops.priceOffsetS.value = 3;
  stops.SetStopPriceKinds(1, 3);
  EXPECT_FALSE(stops.priceOffsetS.enabled || stops.priceOffsetS.checked);
  stops.SetStopPriceKinds(0, 3);
  EXPECT_TRUE(stops.priceOffsetSSell.enabled);
}

TEST_F(OptionDlgTest, LayoutCombosAndKeyboardLayout) {
  TOptionDlg dialog(desk_);
  dialog.DropDownLayout(1);
  dialog.ChangeLayout(1, 0);  // the first combo's value
  EXPECT_EQ(dialog.edited.LayOut2, 1);
  EXPECT_EQ(boxes_.Calls().back().text, "请选择不同的版面!");
  EXPECT_EQ(GetPrivateProfileIntA("UI", "LayOut2", -1, AccountPath("Consign.ini").c_str()), 1u);

  dialog.SetExpressOrder(true);
  EXPECT_EQ(boxes_.Calls().back().caption, "警告");

  const struct {
    int layout;
    bool box;
    int after;
    const char *simpleUI;
  } cases[] = {{2, false, 2, "2"}, {2, true, 1, "0"}, {1, false, 0, "1"}, {3, false, 3, "3"}};
  for (const auto &c : cases) {
    desk_.options.Layout = c.layout;
    TOptionDlg d(desk_);
    d.keyboardBox = c.box;
    d.Ok();
    EXPECT_EQ(desk_.options.Layout, c.after) << c.layout << c.box;
    EXPECT_EQ(d.AfterClose().LayoutChanged(), c.layout != c.after);
    char stored[8];
    GetPrivateProfileStringA("Script", "SimpleUI", "", stored, sizeof stored, box_.Path("cfg/Consign.ini").c_str());
    EXPECT_STREQ(stored, c.simpleUI);
  }
}

TEST_F(OptionDlgTest, AutomaticStopsPerProduct) {
  TOptionDlg dialog(desk_);
  ASSERT_EQ(dialog.products, (std::vector<std::string>{"CU", "M"}));
  ASSERT_EQ(dialog.stopLines.size(), 8u);
  dialog.SelectStopLine(0);
  dialog.lossEdit = 0;
  dialog.trailingEdit = 3;
  dialog.ModifyStops();
  EXPECT_EQ(boxes_.Calls().back().text, kTrailingNeedsLossText);
  EXPECT_EQ(desk_.contracts[0].BuyTrailing, 0u);
  dialog.lossEdit = 5;
  dialog.ModifyStops();
  EXPECT_EQ(desk_.contracts[1].BuyLoss, 5u);
  EXPECT_EQ(desk_.contracts[1].BuyTrailing, 3u);
  EXPECT_EQ(dialog.stopLines[0].colour, TOptionDlg::kStopLineColour);
  EXPECT_EQ(dialog.stopLines[1].colour, 0xFFFFFFu);

  dialog.tab = TOptionDlg::kAutoStop;
  boxes_.QueueAnswer(IDYES);
  dialog.ResetAll();
  EXPECT_EQ(desk_.contracts[0].BuyLoss, 0u);
  EXPECT_EQ(dialog.stopLines[0].colour, 0xFFFFFFu);
  // The second product's buy line.
  dialog.SelectStopLine(4);
  dialog.lossEdit = 8;
  dialog.profitEdit = 9;
  dialog.trailingEdit = 0;
  dialog.Ok();  // stores the shown line quietly
  EXPECT_EQ(desk_.contracts[2].BuyLoss, 8u);
  EXPECT_EQ(desk_.contracts[3].BuyProfit, 9u);
  EXPECT_EQ(desk_.contracts[3].SellLoss, 0u);
  char stored[32];
  GetPrivateProfileStringA("AutoBuyStop", "M", "", stored, sizeof stored, AccountPath("Consign.ini").c_str());
  EXPECT_STREQ(stored, "8,9,0");
}

TEST_F(OptionDlgTest, ShortNamesAddedChangedDeleted) {
  TOptionDlg dialog(desk_);
  dialog.shortName = "cu";
  EXPECT_STREQ(dialog.ShortButtonText(), "添加");
  dialog.shortTarget = "CU2405";
  dialog.AddOrChangeShortName();
  EXPECT_EQ(dialog.shortLines, std::vector<std::string>{"cu = CU2405"});
  dialog.shortName = "CU";
  EXPECT_STREQ(dialog.ShortButtonText(), "修改");
  dialog.shortTarget = "CU2406";
  dialog.AddOrChangeShortName();
  EXPECT_EQ(dialog.shortLines, std::vector<std::string>{"cu = CU2406"});
  char stored[32];
  GetPrivateProfileStringA("ShortCut", "sc1", "", stored, sizeof stored, AccountPath("Consign.ini").c_str());
  EXPECT_STREQ(stored, "cu,CU2406");
  dialog.selectedShort = 0;
  boxes_.QueueAnswer(IDYES);
  dialog.DeleteShortName();
  EXPECT_TRUE(dialog.shortLines.empty());
  GetPrivateProfileStringA("ShortCut", "sc1", "", stored, sizeof stored, AccountPath("Consign.ini").c_str());
  EXPECT_STREQ(stored, "");
  dialog.shortName.clear();
  dialog.AddOrChangeShortName();
  EXPECT_EQ(boxes_.Calls().back().text, "请输入快捷键。  ");
}

TEST_F(OptionDlgTest, QuickOrderKeyConflicts) {
  TOptionDlg dialog(desk_);
  for (char &key : dialog.keys) key = 0;
  ASSERT_TRUE(dialog.SetKey(0, 'b'));
  ASSERT_TRUE(dialog.SetKey(2, 'K'));
  ASSERT_TRUE(dialog.SetKey(3, 'P'));
  ASSERT_TRUE(dialog.SetKey(4, 'J'));
  ASSERT_TRUE(dialog.SetKey(5, 'A'));
  EXPECT_EQ(dialog.keys[0], 'B');
  const struct {
    int slot;
    char key;
    const char *text;
  } cases[] = {{1, 'B', "买入、卖出快捷键冲突。  "},
               {1, 'K', "指定的快捷键与开仓快捷键有冲突。  "},
               {1, 'P', "指定的快捷键与平仓快捷键有冲突。  "},
               {1, 'j', "指定的快捷键与平今快捷键有冲突。  "},
               {9, 'a', "指定的快捷键与其它快捷键冲突，请重新指定。  "},
               {6, '#', "快捷键只能为字母或数字。  "}};
  for (const auto &c : cases) {
    EXPECT_FALSE(dialog.SetKey(c.slot, c.key)) << c.key;
    EXPECT_EQ(boxes_.Calls().back().text, c.text) << c.key;
    EXPECT_EQ(dialog.keys[c.slot], 0) << c.key;
  }
  // The groups are apart: an order key may repeat a quick key.
  EXPECT_TRUE(dialog.SetKey(6, 'B'));
  dialog.Ok();
  char key;
  int32_t value;
  desk_.FindOptionShortcut(9, &key, &value);
  EXPECT_EQ(value, 1);
  desk_.FindOptionShortcut(6, &key, &value);
  EXPECT_EQ(key, 'B');
}

TEST_F(OptionDlgTest, DealSoundPlaysOrSaysTheFileIsMissing) {
  std::vector<std::string> played;
  auto previous = platform::SetSoundHandler([&](const platform::SoundCall &call) { played.push_back(call.path); });
  TOptionDlg dialog(desk_);
  std::strcpy(dialog.edited.DealSound, box_.Path("missing.wav").c_str());
  dialog.PlaySound();
  EXPECT_EQ(boxes_.Calls().back().text, "指定的声音文件不存在。  ");
  std::ofstream(box_.Path("deal.wav")) << "RIFF";
  std::strcpy(dialog.edited.DealSound, box_.Path("deal.wav").c_str());
  const size_t before = boxes_.Count();
  dialog.PlaySound();
  EXPECT_EQ(boxes_.Count(), before);
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0], box_.Path("deal.wav"));
  platform::SetSoundHandler(previous);
  dialog.tab = TOptionDlg::kShortNames;
  EXPECT_EQ(dialog.HelpAddress().substr(dialog.HelpAddress().find('#')), "#autostop");
}

}  // namespace
