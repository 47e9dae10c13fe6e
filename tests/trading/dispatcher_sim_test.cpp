// The login chain end to end: the real plug-in against the simulated
// broker, its notifications routed to the dispatcher as the main window
// routes them, from the login to the armed trading page.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/messages.h"
#include "testing/pump.h"
#include "testing/sim_broker_link.h"
#include "tests/trading/dispatcher_fixture.h"
#include "trading/bankpage.h"
#include "trading/pluginapi.h"

namespace trading_test {
namespace {

// The dispatcher behind the main window's stand-in.
TTradeDispatcher *routed = nullptr;
LRESULT RouteNotify(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TRADE_NOTIFY && routed) return routed->HandleTradeNotify(wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class ChainSimTest : public DispatcherTest {
 protected:
  ChainSimTest() {
    trading_.bind = nullptr;  // the real logger and plug-in
    box_.WriteText("cfg/Consign.ini", "[jsd]\ns1=电信主站\ns1a=127.0.0.1\ns1p=17001\ns1t=1\n");
    box_.WriteText("cfg/brokernote.txt", "经纪公司提示");
    WriteProgramFile("BrokerNote.txt", "系统通知");
    routed = &dispatch_;
    trace_.SetHandler(host_.window, RouteNotify);
  }
  ~ChainSimTest() override {
    trace_.SetHandler(host_.window, nullptr);
    routed = nullptr;
    if (TradingBound()) TradePlugin.TradeFinalize();
  }

  // Logs in and presses "确认" wherever the chain waits for it, until the
  // trading page or a login page that takes input again.
  void RunChain() {
    trading_.SetupTradingPanel(0);
    EXPECT_TRUE(TradingBound());
    trading_.login.serverIndex = 0;
    trading_.login.account = "880001";
    trading_.login.password = "111111";
    trading_.login.code = trading_.login.verifyCode;
    trading_.XPButton5Click();
    testing_support::PumpUntil([&] {
      const int s = trading_.pageState;
      if (s == kPageLoggedIn || s == kPageNoteApproved || s == kPageNoticeRead || s == kPageStatement)
        trading_.XPButton19Click();
      return s == kPageTrading || (s == kPageLogin && trading_.login.loginEnabled);
    });
  }

  testing_support::SimBrokerLink link_;
};

TEST_F(ChainSimTest, TheRealPluginLogsInThroughTheWholeChain) {
  ASSERT_TRUE(link_.Attached());
  RunChain();
  EXPECT_EQ(trading_.pageState, kPageTrading) << trading_.login.message;
  EXPECT_TRUE(trading_.automationArmed);
  // The account summary was shown from its file.
  EXPECT_FALSE(ui_.Calls("LoadViewer").empty());
  EXPECT_FALSE(host_.Calls("SetTitle kivo").empty());
  // The simulator's contracts the market knows are in the table, and no
  // "Contract.dat" outlives the list.
  const CContractInfo *sugar = desk_.FindContract("SR405");
  ASSERT_NE(sugar, nullptr);
  // Counted with the broker's own multiple: profits and margins agree.
  EXPECT_EQ(sugar->VolumeMultiple, 10);
  EXPECT_FALSE(std::filesystem::exists(AccountPath("Contract.dat")));
  // The bank page's combo from the banks the chain asked for, the
  // accounts masked.
  ASSERT_GT(desk_.banks.GetCount(), 0);
  TQueryGate gate;
  TBankPage bank(desk_, gate);
  bank.TakeBanks();
  ASSERT_EQ(bank.items.size(), size_t(desk_.banks.GetCount()));
  EXPECT_NE(bank.items[0].find('*'), std::string::npos) << bank.items[0];
  EXPECT_EQ(bank.selected, 0);

  // A transfer from the bank reaches the broker and its result the page.
  dispatch_.hooks.bankPage = [&bank](WPARAM wParam, LPARAM block) { bank.OnNotify(wParam, block); };
  bank.amount = "100";
  bank.fundsPassword = "222222";
  bank.bankPassword = "333333";
  bank.TransferBankToFuture();
  EXPECT_EQ(bank.notice, "正在执行转帐（银行转期货）...");
  EXPECT_TRUE(bank.fundsPassword.empty() && bank.amount.empty());
  EXPECT_TRUE(testing_support::PumpUntil([&] { return bank.notice != "正在执行转帐（银行转期货）..."; }));
  EXPECT_EQ(bank.notice, "银行资金转期货成功。");
  EXPECT_EQ(bank.noticeColour, TBankPage::kBlue);
  // Without a notice from the broker its page is passed at once.
  EXPECT_EQ(PageStates(), (std::vector<int>{0, 2, 7, 0, 1, 0, 3, 4, 5, 12}));
  // The broker saw the chain's requests in order (continuations left out),
  // then the transfer and its poll.
  std::vector<std::string> codes;
  for (const std::string &line : link_.Broker().RecordedLines()) {
    const size_t at = line.find("||");
    const std::string code = line.substr(at + 2, line.find('|', at + 2) - at - 2);
    if (code != "0" && (codes.empty() || codes.back() != code)) codes.push_back(code);
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"6011", "6056", "6072", "6071", "6018", "6040", "6019", "6013", "6014",
                                             "6042", "6041", "6043"}));
}

}  // namespace
}  // namespace trading_test
