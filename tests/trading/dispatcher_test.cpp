// The notification dispatcher: who returns which block, the price texts,
// the login chain from the summary to the armed trading page with its
// failures, the contract list and its file, and the session's cases.
#include "trading/dispatcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/netutil.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "tests/trading/dispatcher_fixture.h"
#include "trading/contracts.h"
#include "trading/deskdata.h"
#include "trading/pluginapi.h"

using namespace tb;

namespace trading_test {
namespace {

TEST(PriceTextTest, TrimsWhatTheFormatsPrint) {
  const struct {
    const char *in, *out;
  } cases[] = {{"12.000", "12"}, {"0.000", "0"}, {"-0.00", "0"}, {"12.50", "12.5"},
               {"1.0", "1."},    {"100", "100"}, {"-0.000", "0"}, {"2.00", "2"}};
  for (const auto &c : cases) {
    char text[16];
    strcpy(text, c.in);
    EXPECT_STREQ(TrimPriceText(text), c.out) << c.in;
  }
}

// ---- ownership ----

// Every code with a block, a failure text, a failure without text and a
// plain 0: exactly the blocks received are returned, values never.
TEST_F(DispatcherTest, EveryReceivedBlockIsReturnedOnceAndNothingElse) {
  trading_.pageState = kPageTrading;
  trading_.connectionState = 1;
  enum Kind { Plain, Failure };
  for (uint32_t code = 0; code <= 40; ++code) {
    for (Kind kind : {Plain, Failure}) {
      SCOPED_TRACE(testing::Message() << "code " << code << (kind == Failure ? " failure" : ""));
      const bool value = code == 2 || code == 3 || code == 30 || (code == 14 && kind == Plain);
      const bool ignored = code <= 1 || (code >= 17 && code <= 20) || (code >= 31 && code <= 34) || code > 38;
      // Values are not blocks: a plain number goes with them.
      const LPARAM lParam = value ? LPARAM(1) : LPARAM(Broker.TextBlock("失败"));
      const int before = Broker.freed;
      trading_.pageState = kPageTrading;
      Notify(code | (kind == Failure ? TN_TEXT_FLAG : 0), lParam);
      Pump();
      EXPECT_EQ(Broker.freed - before, value || ignored ? 0 : 1);
      // A failure without text and a list end carry nothing to return.
      Notify(code | (kind == Failure ? TN_TEXT_FLAG : 0), 0);
      Pump();
      EXPECT_EQ(Broker.strayFrees, 0);
    }
  }
  // A trade built from a fill (high word 1) is the terminal's own.
  char *trade = Broker.Block();
  const int before = Broker.freed;
  Notify(22 | 1u << 16, LPARAM(trade));
  EXPECT_EQ(Broker.freed, before);
  EXPECT_EQ(Broker.live.count(trade), 1u);
}

TEST_F(DispatcherTest, NothingHappensWhileThePluginIsNotBound) {
  char *block = Broker.TextBlock("x");
  TradePlugin = TradePluginApi{};
  Notify(TN_SYSTEM_NOTICE, LPARAM(block));
  EXPECT_EQ(Broker.freed, 0);
  EXPECT_TRUE(boxes_.Count() == 0);
}

// ---- the chain ----

// An answer that posts a list of one record and its end.
template <class T>
std::function<void()> OneRecordList(uint32_t code, const T &record) {
  return [code, record] {
    Broker.Post(code, LPARAM(Broker.Block(&record, sizeof record)));
    Broker.Post(code, 0);
  };
}

class ChainTest : public DispatcherTest {
 protected:
  ChainTest() {
    box_.WriteText("cfg/brokernote.txt", "经纪公司提示");
    WriteProgramFile("BrokerNote.txt", "系统通知");
    InstallAnswers();
  }
  void InstallAnswers() {
    Broker.answers["TradeInitialize"] = [] {
      TB_LOGIN login{};
      login.Flags[0] = '1';
      login.Flags[1] = '0';
      strcpy(login.SummaryPath, ".\\880001sum.tmp");
      std::ofstream("880001sum.tmp") << "summary";
      Broker.Post(TN_LOGIN_DONE, LPARAM(Broker.Block(&login, sizeof login)));
    };
    Broker.answers["QueryBrokerNotice"] = [] { Broker.Post(TN_BROKER_NOTICE, 0); };
    Broker.answers["QuerySettlementInfo"] = [] {
      std::ofstream("880001settle.tmp") << "statement";
      Broker.Post(TN_SETTLEMENT_INFO, LPARAM(Broker.TextBlock(".\\880001settle.tmp")));
    };
    Broker.answers["SettlementInfoConfirm"] = [] { Broker.Post(TN_SETTLEMENT_CONFIRMED, 0); };
    Broker.answers["QueryContract"] = [this] {
      for (const char *code : {"CU2405", "M2401", "SR405"}) Broker.Post(TN_CONTRACT, LPARAM(ContractBlock(code)));
      Broker.Post(TN_CONTRACT, 0);
    };
    CKivoOrderField order{};
    strcpy(order.InstrumentID, "M2401");
    Broker.answers["QueryOrder 1"] = OneRecordList(TN_ORDERS, order);
    TB_TRADE trade{};
    strcpy(trade.InstrumentID, "M2401");
    Broker.answers["QueryTrade 1"] = OneRecordList(TN_TRADES, trade);
    TB_POSITION position{};
    strcpy(position.InstrumentID, "M2401");
    position.PosiDirection = '2';
    position.Volume = 2;
    Broker.answers["QueryInvestorPosition 1"] = OneRecordList(TN_POSITIONS, position);
    CKivoTransferBankField bank{};
    strcpy(bank.BankID, "1");
    Broker.answers["QueryBank"] = OneRecordList(TN_BANKS, bank);
    Broker.answers["QueryFutureToBankLimit"] = [] {
      const int32_t minimum = 0;
      Broker.Post(TN_WITHDRAW_LIMIT, LPARAM(Broker.Block(&minimum, sizeof minimum)));
    };
  }

  // Logs in and presses "确认" whenever the chain waits for it.
  void RunChain() {
    trading_.SetupTradingPanel(0);
    Broker.calls.clear();
    trading_.login.serverIndex = 0;
    trading_.login.account = "880001";
    trading_.login.password = "111111";
    trading_.login.code = trading_.login.verifyCode;
    trading_.XPButton5Click();
    for (int step = 0; step < 10; ++step) {
      Pump();
      const int state = trading_.pageState;
      if (state == kPageLoggedIn || state == kPageNoteApproved || state == kPageNoticeRead ||
          state == kPageStatement)
        trading_.XPButton19Click();
      else
        break;
    }
    Pump();
  }
};

TEST_F(ChainTest, ALoginRunsThroughEveryStepToTheTradingPage) {
  RunChain();
  EXPECT_EQ(PageStates(), (std::vector<int>{0, 2, 7, 0, 8, 0, 1, 0, 3, 4, 5, 12}));
  EXPECT_EQ(Broker.calls,
            (std::vector<std::string>{"TradeInitialize", "QueryBrokerNotice", "QuerySettlementInfo",
                                      "SettlementInfoConfirm", "QueryContract", "QueryOrder 1", "QueryTrade 1",
                                      "QueryInvestorPosition 1", "QueryBank", "QueryFutureToBankLimit"}));
  EXPECT_TRUE(Broker.live.empty());
  EXPECT_EQ(Broker.strayFrees, 0);
  EXPECT_TRUE(trading_.automationArmed);
  EXPECT_EQ(desk_.contractCount, 3);
  EXPECT_EQ(desk_.orders.GetCount(), 1);
  EXPECT_EQ(desk_.trades.GetCount(), 1);
  EXPECT_EQ(desk_.positions.GetCount(), 1);
  EXPECT_EQ(desk_.banks.GetCount(), 1);
  EXPECT_FALSE(std::filesystem::exists(AccountPath("Contract.dat")));
  EXPECT_FALSE(ProgramFileExists("880001sum.tmp"));
  EXPECT_FALSE(ProgramFileExists("880001settle.tmp"));
  EXPECT_EQ(host_.title, "kivo 张三");
  ASSERT_EQ(shell_.Starts().size(), 1u);
  EXPECT_EQ(shell_.Starts()[0].commandLine, "..\\svcdesk\\svcdesk.exe -HIDE-880001 2");
  EXPECT_EQ(shell_.Starts()[0].directory, "..\\svcdesk\\");
}

// The logger opens the login's log and then fails, as a full disk would.
KvOpenFn realOpen = nullptr;
int opens = 0;
int OpenOnce(const char *path, int mode, uint32_t *handle) {
  if (opens++ == 0) return realOpen(path, mode, handle);
  *handle = 0;
  return 5;
}

TEST_F(ChainTest, ALogThatCannotBeOpenedAtLoginDoneLeavesTheChainRunningUnlogged) {
  const KvLoggerApi logger = KvLogger;
  realOpen = KvLogger.Open;
  opens = 0;
  KvLogger.Open = OpenOnce;
  RunChain();
  KvLogger = logger;
  // The box told the user; the session went on to the trading page.
  EXPECT_EQ(opens, 2);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text.rfind("无法创建日志", 0), 0u);
  EXPECT_EQ(PageStates(), (std::vector<int>{0, 2, 7, 0, 8, 0, 1, 0, 3, 4, 5, 12}));
  EXPECT_TRUE(trading_.automationArmed);
  EXPECT_EQ(desk_.tradeLog, 0u);
  // The log of the login holds none of the session's opening records.
  EXPECT_EQ(box_.Read("user/880001/tradelog/20240115.phl").find("|3072|"), std::string::npos);
  EXPECT_TRUE(Broker.live.empty());
}

TEST_F(ChainTest, AFailureOnTheWayEndsOnTheLoginPageWithItsText) {
  const struct {
    const char *name;
    std::function<void(ChainTest &)> inject;
    const char *text;
  } cases[] = {
      {"confirmation refused",
       [](ChainTest &) {
         Broker.answers["SettlementInfoConfirm"] = [] {
           Broker.Post(TN_SETTLEMENT_CONFIRMED | TN_TEXT_FLAG, LPARAM(Broker.TextBlock("结算单确认被拒绝")));
         };
       },
       "结算单确认被拒绝"},
      {"empty contract list",
       [](ChainTest &) { Broker.answers["QueryContract"] = [] { Broker.Post(TN_CONTRACT, 0); }; },
       "没有可以交易的合约。"},
      {"order list refused", [](ChainTest &) { Broker.results["QueryOrder 1"] = 7; }, "查询当日委托失败 (7) "},
      {"trade list fails mid-list",
       [](ChainTest &) {
         Broker.answers["QueryTrade 1"] = [] {
           TB_TRADE trade{};
           Broker.Post(TN_TRADES, LPARAM(Broker.Block(&trade, sizeof trade)));
           Broker.Post(TN_TRADES | TN_TEXT_FLAG, 0);
         };
       },
       "查询当日成交失败，系统内存不足。"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Broker.calls.clear();
    ui_.Clear();
    InstallAnswers();
    c.inject(*this);
    RunChain();
    EXPECT_EQ(trading_.pageState, kPageLogin);
    EXPECT_EQ(trading_.login.message, c.text);
    EXPECT_FALSE(trading_.automationArmed);
    EXPECT_TRUE(Broker.live.empty());
    EXPECT_FALSE(std::filesystem::exists(AccountPath("Contract.dat")));
    Broker.answers.clear();
    Broker.results.clear();
  }
}

TEST_F(ChainTest, WithoutBankQueriesTheChainStillEnds) {
  TradePlugin.QueryBank = nullptr;
  trading_.bind = [] { return true; };
  RunChain();
  EXPECT_EQ(trading_.pageState, kPageTrading);
  EXPECT_EQ(desk_.banks.GetCount(), 0);
}

TEST_F(ChainTest, SomethingToConfirmStopsOnTheCheckListUnlessLoggingInAgain) {
  dispatch_.hooks.hasArmedAutomation = [] { return true; };
  int filled = 0;
  dispatch_.hooks.fillAutomationCheckList = [&] { ++filled; };
  RunChain();
  EXPECT_EQ(trading_.pageState, kPageCheckList);
  EXPECT_EQ(filled, 1);
  EXPECT_FALSE(trading_.automationArmed);

  // "确认": a floating window floats again and the quick-deal bar shows.
  desk_.options.FloatUI = true;
  desk_.options.QuickDeal = true;
  ui_.Clear();
  dispatch_.XPButton50Click();
  EXPECT_TRUE(trading_.automationArmed);
  EXPECT_EQ(trading_.pageState, kPageTrading);
  EXPECT_TRUE(desk_.options.FloatUI);
  EXPECT_NE(std::find(ui_.calls.begin(), ui_.calls.end(), "ShowQuickDeal 1"), ui_.calls.end());
}

// The server re-initialised the session on a trading page: trading closes
// and logs in again by itself, through the whole chain without stopping.
TEST_F(ChainTest, AReinitialisedSessionLogsInAgainByItself) {
  RunChain();
  ASSERT_EQ(trading_.pageState, kPageTrading);
  // The login reads the page's edits, as the window's does: the session's
  // account and password must be on the page, not only in the model.
  ui_.showsLoginEdits = true;
  Broker.calls.clear();
  dispatch_.hooks.hasArmedAutomation = [] { return true; };
  Notify(TN_EXCHANGE_STATUS, 0);
  Pump();
  for (int i = 0; i < 5; ++i) {
    if (trading_.pageState < kPageTrading && trading_.pageState != kPageLogin) trading_.XPButton19Click();
    Pump();
  }
  EXPECT_EQ(trading_.pageState, kPageTrading);
  EXPECT_EQ(Broker.calls.front(), "TradeFinalize");
  EXPECT_EQ(trading_.autoRelogin, 0);
  EXPECT_TRUE(Broker.live.empty());
}

// ---- the contract list ----

class ContractListTest : public DispatcherTest {
 protected:
  ContractListTest() {
    trading_.pageState = kPageLogin;
    dispatch_.contracts.Begin();
    Broker.answers["QueryOrder 1"] = [] {};
  }
  void Send(const char *code, int valid = 1) { Notify(TN_CONTRACT, LPARAM(ContractBlock(code, valid))); }
  std::string Dat() const { return AccountPath("Contract.dat"); }
};

TEST_F(ContractListTest, UnknownAndUnflaggedContractsAreLeftOut) {
  Send("M2401", 0);
  Send("XX9999");
  EXPECT_FALSE(std::filesystem::exists(Dat()));
  Send("CU2405");
  EXPECT_EQ(trading_.login.message, "更新合约列表...1");
  EXPECT_EQ(std::filesystem::file_size(Dat()), 72u);
  Notify(TN_CONTRACT, 0);
  EXPECT_EQ(trading_.pageState, kPageContracts);
  ASSERT_EQ(desk_.contractCount, 1);
  EXPECT_STREQ(desk_.contracts[0].InstrumentID, "CU2405");
  EXPECT_FALSE(std::filesystem::exists(Dat()));
  EXPECT_EQ(Broker.freed, 3);
}

TEST_F(ContractListTest, StopDefaultsComeFromTheProductsSections) {
  const std::string ini = AccountPath("Consign.ini");
  WritePrivateProfileStringA("AutoBuyStop", "M", "5,10,3", ini.c_str());
  WritePrivateProfileStringA("AutoSellStop", "M", "0,10,3", ini.c_str());
  WritePrivateProfileStringA("DefVol", "M", "4", ini.c_str());
  Send("M2401");
  Send("CU2405");
  Notify(TN_CONTRACT, 0);
  ASSERT_EQ(desk_.contractCount, 2);
  const CContractInfo &m = desk_.contracts[0];
  ASSERT_STREQ(m.InstrumentID, "M2401");
  EXPECT_EQ(m.DefaultOpenVolume, 4);
  EXPECT_EQ((std::vector<uint32_t>{m.BuyLoss, m.BuyProfit, m.BuyTrailing}), (std::vector<uint32_t>{5, 10, 3}));
  EXPECT_EQ((std::vector<uint32_t>{m.SellLoss, m.SellProfit, m.SellTrailing}), (std::vector<uint32_t>{0, 10, 0}));
  const CContractInfo &cu = desk_.contracts[1];
  EXPECT_EQ(cu.DefaultOpenVolume, 1);
  EXPECT_EQ(cu.BuyLoss + cu.BuyProfit + cu.BuyTrailing, 0u);
}

TEST_F(ContractListTest, AShortFileEndsTheListAndIsDeleted) {
  Send("M2401");
  Send("CU2405");
  std::filesystem::resize_file(Dat(), 100);
  Notify(TN_CONTRACT, 0);
  EXPECT_EQ(trading_.login.message, "写入临时文件失败。");
  EXPECT_EQ(trading_.pageState, kPageLogin);
  EXPECT_FALSE(std::filesystem::exists(Dat()));
}

TEST_F(ContractListTest, TheFileNeverOutlivesAFailedOrClosedList) {
  Send("M2401");
  ASSERT_TRUE(std::filesystem::exists(Dat()));
  Notify(TN_CONTRACT | TN_TEXT_FLAG, LPARAM(Broker.TextBlock("合约查询失败")));
  EXPECT_EQ(trading_.login.message, "合约查询失败");
  EXPECT_FALSE(std::filesystem::exists(Dat()));

  dispatch_.contracts.Begin();
  Send("M2401");
  ASSERT_TRUE(std::filesystem::exists(Dat()));
  trading_.OnTradeCloseClick(TCloseSender::None);
  EXPECT_FALSE(std::filesystem::exists(Dat()));
}

TEST_F(ContractListTest, AtNightAContractMapsToTheNightMarket) {
  desk_.serverMinute = [] { return 13 * 60 + 30; };  // 21:30 at the exchange
  Send("M2401");
  Notify(TN_CONTRACT, 0);
  ASSERT_EQ(desk_.contractCount, 1);
  EXPECT_EQ(desk_.contracts[0].Stock.market, 2);
}

TEST(ContractRecordTest, TheFileRecordIsFieldByFieldWithSpareWordsZero) {
  CContractInfo r{};
  strcpy(r.InstrumentID, "CU2405");
  strcpy(r.ExchangeID, "SHFE");
  r.VolumeMultiple = 5;
  r.PriceTick = 10.0;
  r.SellTrailing = 7;
  r.Stock = STKPTR(1, 0, 0x0102);
  memset(r.Unused28, 0xAA, 4);
  uint8_t bytes[72];
  SerializeContract(r, bytes);
  EXPECT_EQ(bytes[16], 5);
  EXPECT_EQ(bytes[28] | bytes[29] | bytes[30] | bytes[31], 0);
  EXPECT_EQ(bytes[68] | bytes[69] | bytes[70] | bytes[71], 0);
  EXPECT_EQ(bytes[60], 7);
  EXPECT_EQ(bytes[64], 1);
  EXPECT_EQ(bytes[66], 2);
  EXPECT_EQ(bytes[67], 1);
  CContractInfo back;
  DeserializeContract(bytes, back);
  EXPECT_STREQ(back.InstrumentID, "CU2405");
  EXPECT_EQ(back.PriceTick, 10.0);
  EXPECT_EQ(back.Stock.Word(), r.Stock.Word());
}

TEST_F(DispatcherTest, AGroupInterruptedByAnotherBecomesTwoGroups) {
  const CContractInfo table[] = {Contract("SR24050", STKPTR(1, 0, 0)), Contract("CU2405", STKPTR(1, 0, 1)),
                                 Contract("CU24050", STKPTR(1, 0, 2))};
  ASSERT_TRUE(desk_.SetContracts(table, 3));
  BuildContractGroups(desk_);
  ASSERT_EQ(desk_.groups.GetCount(), 3);
  const ContractNameList *g = desk_.groups.GetData();
  EXPECT_STREQ(g[0].GroupName, "其它");
  EXPECT_STREQ(g[2].GroupName, "其它");
  EXPECT_EQ((std::vector<int>{g[0].First, g[0].Last, g[1].First, g[1].Last, g[2].First, g[2].Last}),
            (std::vector<int>{0, 0, 1, 1, 2, 2}));
}

// ---- the session ----

TEST_F(DispatcherTest, AnExchangeStatusActsOnlyOnAKnownExchange) {
  std::vector<std::string> opened;
  dispatch_.hooks.executePendingOrders = [&](const char *id) { opened.push_back(std::string("pending ") + id); };
  dispatch_.hooks.triggerOpenConditionOrders = [&](const char *id) { opened.push_back(std::string("cond ") + id); };
  trading_.pageState = kPageTrading;
  Notify(TN_EXCHANGE_STATUS, 1 << 16 | 1);
  EXPECT_EQ(opened, (std::vector<std::string>{"pending SHFE", "cond SHFE"}));
  opened.clear();
  Notify(TN_EXCHANGE_STATUS, 9 << 16 | 1);  // no such exchange: no "every exchange"
  Notify(TN_EXCHANGE_STATUS, 1 << 16 | 2);  // closed: logged only
  TradePlugin.GetExchangeID = nullptr;
  Notify(TN_EXCHANGE_STATUS, 1 << 16 | 1);
  EXPECT_TRUE(opened.empty());
  // A re-initialisation outside the trading pages does nothing.
  trading_.pageState = kPageContracts;
  Notify(TN_EXCHANGE_STATUS, 0);
  EXPECT_TRUE(Broker.calls.empty());
}

TEST_F(DispatcherTest, TheConnectionStateRefreshesOnceOnReturnAndWarnsOnceADay) {
  trading_.pageState = kPageTrading;
  Broker.answers["QueryOrder 0"] = [] {};
  Notify(TN_CONNECTION_STATE, LPARAM(-1));
  Notify(TN_CONNECTION_STATE, LPARAM(1));
  Notify(TN_CONNECTION_STATE, LPARAM(1));
  EXPECT_EQ(Broker.calls, std::vector<std::string>{"QueryOrder 0"});
  EXPECT_EQ(ui_.Calls("ConnectionBand"),
            (std::vector<std::string>{"ConnectionBand 22", "ConnectionBand 10", "ConnectionBand 10"}));
  Notify(TN_CONNECTION_STATE, LPARAM(-1));
  EXPECT_EQ(boxes_.Count(), 1u);
}

TEST_F(DispatcherTest, APathOutsideTheProgramFolderIsNeitherReadNorDeleted) {
  box_.WriteText("cfg/keep.txt", "keep");
  trading_.pageState = kPageLogin;
  Notify(TN_SETTLEMENT_INFO, LPARAM(Broker.TextBlock("..\\cfg\\keep.txt")));
  EXPECT_TRUE(std::filesystem::exists(box_.Path("cfg/keep.txt")));
  EXPECT_TRUE(ui_.Calls("LoadViewer").empty());
  EXPECT_EQ(BlockPathInside(".\\x.tmp", 8), ".\\x.tmp");
  EXPECT_EQ(BlockPathInside("abcdefgh", 8), "");  // no end within the block
}

TEST_F(DispatcherTest, AStatementFailureDuringLoginSkipsTheConfirmation) {
  trading_.pageState = kPageLogin;
  Notify(TN_SETTLEMENT_INFO | TN_TEXT_FLAG, 0);
  EXPECT_EQ(trading_.login.message, "查询结算单失败，系统内存不足。");
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, host_.window, WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE));
  EXPECT_EQ(msg.wParam, WPARAM(TN_SETTLEMENT_CONFIRMED));
  EXPECT_EQ(msg.lParam, 0);
}

TEST_F(DispatcherTest, LoginDoneStartsTheSessionAndResetsDayFilesOncePerTradeDate) {
  TradePlugin.QueryCFMMC = [] { return Broker.Ask("QueryCFMMC"); };
  Broker.answers["QueryCFMMC"] = [] {};
  box_.WriteText("user/880001/ordrtime.ini", "[General]\r\nDate=20240112\r\n[Old]\r\nk=1\r\n");
  box_.WriteText("user/880001/scriptorder.ini", "[General]\r\nDate=20240115\r\n[Today]\r\nk=1\r\n");
  for (int i = 0; i < 2; ++i) {
    TB_LOGIN login{};
    login.Flags[0] = '1';
    login.Flags[1] = '0';
    Notify(TN_LOGIN_DONE, LPARAM(Broker.Block(&login, sizeof login)));
  }
  EXPECT_EQ(std::count(Broker.calls.begin(), Broker.calls.end(), "QueryCFMMC"), 1);
  EXPECT_EQ(box_.Read("user/880001/ordrtime.ini").find("Old"), std::string::npos);
  EXPECT_NE(box_.Read("user/880001/scriptorder.ini").find("Today"), std::string::npos);
  EXPECT_EQ(trading_.pageState, kPageLoggedIn);
  EXPECT_EQ(trading_.loginFlags, 1);
  EXPECT_TRUE(Broker.live.empty());
  // The quick order panel shows its keys after every login.
  EXPECT_EQ(ui_.Calls("ShowQuickKeys").size(), 2u);
  // The session's opening records, in order.
  std::vector<std::string> codes;
  std::istringstream log(box_.Read("user/880001/tradelog/20240115.phl"));
  for (std::string line; std::getline(log, line);) {
    const size_t first = line.find('|');
    const std::string record = line.substr(line.find('|', first + 1) + 1);
    if (record.rfind("3001|", 0) != 0) codes.push_back(record.substr(0, record.find_last_not_of("\r") + 1));
  }
  const std::vector<std::string> once{"3072|1|1|", "3002|0|3.0.1", "3008|3|", "3009|3|", "3010|3|"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(codes, twice);
}

TEST_F(DispatcherTest, AStatementGoesToTheOpenReportDialog) {
  const HWND dialog = trace_.Create(0);
  dispatch_.hooks.reportDialog = [dialog] { return dialog; };
  std::vector<std::string> handed;
  dispatch_.hooks.onSettlementInfo = [&](const char *block, bool failed) {
    handed.push_back(std::string(block) + (failed ? " failed" : ""));
  };
  Notify(TN_SETTLEMENT_INFO, LPARAM(Broker.TextBlock(".\\s.tmp")));
  Notify(TN_SETTLEMENT_INFO | TN_TEXT_FLAG, LPARAM(Broker.TextBlock("结算单未生成")));
  EXPECT_EQ(handed, (std::vector<std::string>{".\\s.tmp", "结算单未生成 failed"}));
  EXPECT_TRUE(Broker.live.empty());
  // Any other failure is posted to the dialog, which returns the block.
  char *other = Broker.TextBlock("查询失败");
  Notify(TN_SETTLEMENT_INFO | TN_TEXT_FLAG, LPARAM(other));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, dialog, WM_TONGJI_SETTLEMENT, WM_TONGJI_SETTLEMENT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, WPARAM(other));
  EXPECT_EQ(Broker.live.count(other), 1u);
  TradePlugin.TraderDllFree(other);
  DestroyWindow(dialog);
}

TEST(FundsCaptionTest, KeepsTheVolumeAndReplacesEarlierFunds) {
  EXPECT_EQ(FundsCaption("可开: 5", 100.5), "可开: 5  资金: 100.50");
  EXPECT_EQ(FundsCaption(FundsCaption("可开: 5", 100.5), 7), "可开: 5  资金: 7.00");
  EXPECT_EQ(FundsCaption("可平: 3", 7), "资金: 7.00");
}

// A volume answer shows only while it matches the panel's contract, hedge
// flag and offset; every answer asks the funds without waiting.
TEST_F(DispatcherTest, AVolumeAnswerShowsOnlyWhenItMatchesThePanel) {
  TradePlugin.QueryTradingAccount = [](char *, int wait) { return Broker.Ask("QueryTradingAccount " + std::to_string(wait)); };
  Broker.answers["QueryTradingAccount 0"] = [] {};
  const struct {
    int layout, offsetItem;
    char offset;
    const char *contract;
    std::string TOrderPanelFields::*field;
    const char *shown;
  } cases[] = {
      {kLayoutNormal, 0, '0', "m2401", &TOrderPanelFields::label1005, "可开: 5"},
      {kLayoutNormal, 1, '3', "M2401", &TOrderPanelFields::label1005, "可平今: 5"},
      {kLayoutNormal, 2, '1', "M2401", &TOrderPanelFields::label1005, "可平: 5"},
      {kLayoutNormal, 2, '0', "M2401", &TOrderPanelFields::label1005, ""},
      {kLayoutNormal, 0, '0', "CU2405", &TOrderPanelFields::label1005, ""},
      {kLayoutKeyboard, 0, '0', "M2401", &TOrderPanelFields::edit7, "5"},
      {kLayoutQuick, 0, '1', "M2401", &TOrderPanelFields::labelF66, ""},
      {kLayoutQuick, 0, '0', "M2401", &TOrderPanelFields::labelF66, "5"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.layout << " " << c.offset << " " << c.contract);
    dispatch_.panel = TOrderPanelFields{};
    dispatch_.panel.contract = c.contract;
    dispatch_.panel.offsetItem = c.offsetItem;
    desk_.options.Layout = c.layout;
    TB_MAXVOL answer{};
    strcpy(answer.InstrumentID, "M2401");
    answer.OffsetFlag = c.offset;
    answer.HedgeFlag = '1';
    answer.MaxVolume = 5;
    Broker.calls.clear();
    Notify(TN_MAX_ORDER_VOLUME, LPARAM(Broker.Block(&answer, sizeof answer)));
    EXPECT_EQ(dispatch_.panel.*c.field, c.shown);
    EXPECT_EQ(Broker.calls, std::vector<std::string>{"QueryTradingAccount 0"});
  }
  // The funds query's one busy answer is dropped without a text.
  std::vector<std::string> notices;
  dispatch_.hooks.queryPageNotice = [&](const char *text, bool) { notices.push_back(text); };
  Notify(TN_QUERY_REPORT | TN_TEXT_FLAG, LPARAM(Broker.TextBlock("前次查询尚未完成，请稍后重试（P10）。")));
  Notify(TN_QUERY_REPORT | TN_TEXT_FLAG, LPARAM(Broker.TextBlock("前次查询尚未完成，请稍后重试（P10）。")));
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_TRUE(Broker.live.empty());
}

// A statement asked on the query page is loaded there, its file deleted,
// and then the page's date field is emptied.
TEST_F(DispatcherTest, AStatementOnTheQueryPageIsShownThenTheDateFieldCleared) {
  trading_.pageState = kPageQuery;
  std::vector<std::string> steps;
  dispatch_.hooks.queryPageFile = [&](const char *path) { steps.push_back(std::string("file ") + path); };
  dispatch_.hooks.queryStatementShown = [&] { steps.push_back("shown"); };
  WriteProgramFile("s.txt", "结算单");
  const std::string path = "s.txt";
  Notify(TN_SETTLEMENT_INFO, LPARAM(Broker.TextBlock(path)));
  EXPECT_EQ(steps, (std::vector<std::string>{"file " + path, "shown"}));
  EXPECT_FALSE(ProgramFileExists("s.txt"));
  // A failure shows its text and nothing else.
  steps.clear();
  Notify(TN_SETTLEMENT_INFO | TN_TEXT_FLAG, LPARAM(Broker.TextBlock("结算单未发布")));
  EXPECT_TRUE(steps.empty());
  EXPECT_TRUE(Broker.live.empty());
}

TEST_F(DispatcherTest, TheMarginMonitorOpensTheConfiguredHostOrReportsOnTheQueryPage) {
  TB_CFMMC key{};
  strcpy(key.CompanyID, "0001");
  strcpy(key.AccountID, "880001");
  key.KeyID = 42;
  strcpy(key.Password, "abc");
  trading_.pageState = kPageQuery;
  Notify(TN_CFMMC, LPARAM(Broker.Block(&key, sizeof key)));  // no host set
  EXPECT_TRUE(shell_.Opens().empty());
  EXPECT_EQ(boxes_.Count(), 1u);
  WritePrivateProfileStringA("UI", "MonitorHost", "monitor.test", kSharedConsign);
  Notify(TN_CFMMC, LPARAM(Broker.Block(&key, sizeof key)));
  ASSERT_EQ(shell_.Opens().size(), 1u);
  EXPECT_EQ(shell_.Opens()[0].file, "IEXPLORE.EXE");
  EXPECT_EQ(shell_.Opens()[0].parameters,
            "https://monitor.test/loginByKey.do?companyID=0001&userid=880001&keyid=42&passwd=abc");
  EXPECT_TRUE(Broker.live.empty());
}

}  // namespace
}  // namespace trading_test
