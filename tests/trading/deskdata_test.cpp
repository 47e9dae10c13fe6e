// The desk's records and reference data: positions finding their
// instrument through the merger, drop-down group names, the contract
// look-up, the short names of [ShortCut], the quick-order key file and the
// options by task kind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/profile.h"
#include "tests/trading/desk_fixture.h"
#include "trading/deskdata.h"

namespace trading_test {
namespace {

TB_POSITION Position(const char *code) {
  TB_POSITION p{};
  memcpy(p.InstrumentID, code, strnlen(code, 8));
  p.PosiDirection = '2';
  p.HedgeFlag = '1';
  p.Volume = 3;
  p.OpenAmount = 3100.5;
  p.HoldingAmount = 3050.0;
  return p;
}

TEST_F(DeskTest, APositionFindsItsInstrumentInTheMarketActiveAtTheMinute) {
  struct Case {
    const char *code;
    int serverMinute;  // UTC
    int market, stock;
  } cases[] = {
      {"M2401", 2 * 60, 1, 0},        // 10:00: the day market
      {"m2401", 13 * 60 + 30, 2, 0},  // 21:30: the night market of the combo
      {"CU2405", 13 * 60 + 30, 1, 1},  // the night market lacks it: the day entry stays
      {"X9999", 2 * 60, 255, 0xFFFF},  // no futures market knows it
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.code);
    desk_.serverMinute = [&] { return c.serverMinute; };
    const InvestorPosition_Lite position(Position(c.code), desk_.serverMinute());
    EXPECT_EQ(position.Stock.market, c.market);
    EXPECT_EQ(position.Stock.stock, c.stock);
    if (c.market == 255) EXPECT_EQ(position.Stock.kind, 255);
    EXPECT_EQ(position.Volume, 3);
    EXPECT_EQ(position.OpenAverage, 3100.5);
    EXPECT_EQ(position.HoldingAmount, 3050.0);
    EXPECT_EQ(position.Stops, nullptr);
    // Kept in the position array whether found or not.
    EXPECT_GE(desk_.positions.Add(position), 0);
  }
  EXPECT_EQ(desk_.positions.GetCount(), 4);
}

TEST_F(DeskTest, GroupNamesAreProductInstrumentNameAndCutOnACharacter) {
  struct Case {
    CContractInfo contract;
    const char *group;
  } cases[] = {
      {Contract("SR24050", STKPTR(1, 0, 2)), "其它"},
      // One letter gets a second blank; the name stops at its first blank.
      {Contract("M2401", STKPTR(1, 0, 0)), "M  豆粕"},
      {Contract("SR405", STKPTR(1, 0, 2)), "SR 白糖"},
      // "CU a沪铜" is 8 bytes: the cut leaves no half character.
      {Contract("CU2405", STKPTR(1, 0, 1)), "CU a沪"},
      {Contract("M2405"), "M  "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.contract.InstrumentID);
    char out[8];
    memset(out, 'x', sizeof out);
    ContractGroupName(c.contract, out);
    EXPECT_STREQ(out, c.group);
  }
  EXPECT_STREQ(ContractProductCode("CU2405"), "CU");
  EXPECT_STREQ(ContractProductCode("SR24050"), "SR24050");
}

TEST_F(DeskTest, FindContractAnswersTheFirstMatchWithoutRegardToCase) {
  const CContractInfo table[] = {Contract("CU2405"), Contract("m2401"), Contract("M2401"), Contract("AP2410")};
  ASSERT_TRUE(desk_.SetContracts(table, 4));
  EXPECT_EQ(desk_.FindContract("M2401"), &desk_.contracts[1]);
  EXPECT_EQ(desk_.FindContract("ap2410"), &desk_.contracts[3]);
  EXPECT_EQ(desk_.FindContract("M240"), nullptr);
  EXPECT_EQ(desk_.FindContract("M24010000"), nullptr);
  EXPECT_EQ(desk_.FindContract(""), nullptr);
  desk_.FreeContracts();
  EXPECT_EQ(desk_.FindContract("M2401"), nullptr);
}

TEST_F(DeskTest, ShortNamesEndAtTheFirstEmptyKeyAndSkipValuesWithoutAComma) {
  struct Case {
    const char *section;
    std::vector<std::pair<std::string, std::string>> names;
  } cases[] = {
      {"sc1=铜,CU2405\nsc2=\nsc3=糖,SR405\n", {{"铜", "CU2405"}}},
      {"sc1=abc\nsc2=豆,M2401\nsc3=,M2405\n", {{"豆", "M2401"}}},
      // Longer texts keep 7 bytes, never half a character.
      {"sc1=一二三四,ABCDEFGHI\n", {{"一二三", "ABCDEFG"}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.section);
    box_.WriteText("user/880001/Consign.ini", std::string("[ShortCut]\n") + c.section);
    desk_.LoadShortContractNames();
    ASSERT_EQ(desk_.shortNames.GetCount(), int32_t(c.names.size()));
    for (size_t i = 0; i < c.names.size(); ++i) {
      EXPECT_STREQ(desk_.shortNames.GetData()[i].ShortName, c.names[i].first.c_str());
      EXPECT_STREQ(desk_.shortNames.GetData()[i].Contract, c.names[i].second.c_str());
    }
  }
  desk_.SaveShortContractNames();
  EXPECT_EQ(box_.Read("user/880001/Consign.ini"), "[ShortCut]\r\nsc1=一二三,ABCDEFG\r\n");
}

TEST_F(DeskTest, AMissingKeyFileIsWrittenWithTheNineDefaults) {
  desk_.LoadOptionShortcuts();
  const unsigned char expected[] = {
      0, '1', 0, 0, 0, 0, 0, 0, 1, '3', 0, 0, 1, 0, 0, 0, 2, '1', 0, 0, 0, 0, 0, 0,
      3, '3', 0, 0, 1, 0, 0, 0, 4, '2', 0, 0, 2, 0, 0, 0, 5, '1', 0, 0, 0, 0, 0, 0,
      6, '2', 0, 0, 0, 0, 0, 0, 7, '3', 0, 0, 0, 0, 0, 0, 8, '4', 0, 0, 0, 0, 0, 0,
  };
  EXPECT_EQ(box_.Read("user/880001/OptionShortcut.dat"), std::string(reinterpret_cast<const char *>(expected), sizeof expected));
  char key;
  int32_t value;
  EXPECT_TRUE(desk_.FindOptionShortcut(4, &key, &value));
  EXPECT_EQ(key, '2');
  EXPECT_EQ(value, 2);
  EXPECT_FALSE(desk_.FindOptionShortcut(12, &key, &value));
  EXPECT_EQ(key, 0);
  EXPECT_EQ(value, 0);
}

TEST_F(DeskTest, KeyBindingsAreSavedWholeOrNotAtAll) {
  // A record of a slot the dialog doesn't know stays as it is.
  const unsigned char file[] = {20, 'Z', 0, 0, 9, 0, 0, 0, 1, 'B', 0, 0, 1, 0, 0, 0};
  box_.Write("user/880001/OptionShortcut.dat", file, sizeof file);
  desk_.LoadOptionShortcuts();
  ASSERT_EQ(desk_.shortcuts.GetCount(), 2);
  EXPECT_TRUE(desk_.SetOptionShortcut(1, 'S', 1));
  EXPECT_TRUE(desk_.SetOptionShortcut(14, 'Q', 0));
  EXPECT_FALSE(desk_.SetOptionShortcut(15, 'R', 0));
  const unsigned char saved[] = {20, 'Z', 0, 0, 9, 0, 0, 0, 1, 'S', 0, 0, 1, 0, 0, 0, 14, 'Q', 0, 0, 0, 0, 0, 0};
  const std::string before(reinterpret_cast<const char *>(saved), sizeof saved);
  EXPECT_EQ(box_.Read("user/880001/OptionShortcut.dat"), before);

  // The new file can't be written: the old bindings stay on disk.
  std::filesystem::create_directories(AccountPath("OptionShortcut.dat.new"));
  EXPECT_FALSE(desk_.SetOptionShortcut(2, 'K', 0));
  EXPECT_EQ(box_.Read("user/880001/OptionShortcut.dat"), before);
}

TEST_F(DeskTest, TaskOptionsFollowTheTaskKind) {
  TradingOptions &o = desk_.options;
  o.PriceOffset = 2, o.PriceOffsetS = 3, o.TimeOut = 7, o.TimeOutS = 9;
  o.ReInputOrder = false, o.ReInputOrderS = true, o.ActionOnLimit = false, o.ActionOnLimitS = true;
  struct Case {
    uint8_t kind, reorderFlag;
    int offset, timeOut;
    bool reorder, atLimit;
  } cases[] = {
      {kTaskQuick, 1, 2, 7, false, false},
      {kTaskStop, 0, 3, 9, true, true},
      {kTaskCondition, 1, 2, 7, true, false},
      {kTaskCondition, 0, 2, 7, false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.kind) * 10 + c.reorderFlag);
    OrderScript task{};
    task.TaskKind = c.kind;
    task.Reorder = c.reorderFlag;
    EXPECT_EQ(desk_.TaskPriceOffset(task), c.offset);
    EXPECT_EQ(desk_.TaskTimeOut(task), c.timeOut);
    EXPECT_EQ(desk_.TaskReorder(task), c.reorder);
    EXPECT_EQ(desk_.TaskActionOnLimit(task), c.atLimit);
  }
}

}  // namespace
}  // namespace trading_test
