// The trading desk with the real plug-in against the simulated broker: the
// set-up's server list, a refused and an accepted login, the logout of the
// close, and a password change reaching the broker.
#include <gtest/gtest.h>

#include <algorithm>

#include "testing/sim_broker_link.h"
#include "tests/trading/tradedesk_fixture.h"
#include "trading/pluginapi.h"

namespace trading_test {
namespace {

class TradingDeskSimTest : public TradingDeskTest {
 protected:
  TradingDeskSimTest() {
    desk_.bind = nullptr;  // the real logger and plug-in
    box_.WriteText("cfg/Consign.ini",
                   "[jsd]\ns1=电信主站\ns1a=127.0.0.1\ns1p=17001\ns1t=1\ns2=联通主站\ns2a=127.0.0.1\ns2p=17001\n"
                   "s4=备用\ns4a=127.0.0.1\n");
  }
  ~TradingDeskSimTest() override {
    if (TradingBound()) TradePlugin.TradeFinalize();
  }
  bool BrokerSaw(const std::string &part) {
    const auto lines = link_.Broker().RecordedLines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) { return l.find(part) != std::string::npos; });
  }

  testing_support::SimBrokerLink link_;
};

TEST_F(TradingDeskSimTest, LogsInRefusesAWrongPasswordAndLogsOut) {
  ASSERT_TRUE(link_.Attached());
  desk_.SetupTradingPanel(0);
  ASSERT_TRUE(TradingBound());
  EXPECT_EQ(desk_.login.servers, (std::vector<std::string>{"电信主站", "联通主站"}));

  FillLogin();
  desk_.login.password = "999999";
  ui_.Clear();
  desk_.XPButton5Click();
  EXPECT_EQ(desk_.login.message, "登录失败。");
  EXPECT_TRUE(desk_.login.loginEnabled && desk_.login.passwordEnabled);
  EXPECT_EQ(ui_.Calls("FocusPasswordEdit").size(), 1u);
  EXPECT_EQ(UserIni("JSD", "Account"), "880001");

  FillLogin();
  desk_.XPButton5Click();
  ASSERT_EQ(desk_.login.message, "正在连接服务器...");
  EXPECT_FALSE(desk_.login.loginEnabled);
  desk_.SetupTradingPanel(1);
  desk_.pageState = kPageTrading;

  // A password change goes to the broker.
  boxes_.Clear();  // the plug-in's own box of the refused login
  ui_.hasTypedPassword = true;
  ui_.typedPassword = {0, "111111", "123456", "123456"};
  desk_.XPButton25Click();
  EXPECT_EQ(boxes_.Count(), 0u);

  // Yes from the strip's close: logged out, the window hidden with its
  // geometry, a new login page and the charts told.
  link_.Broker().ClearRecordedLines();
  boxes_.QueueAnswer(IDYES);
  desk_.OnTradeCloseClick(TCloseSender::CmdClose);
  EXPECT_EQ(host_.Calls("HideTradingWindow"), std::vector<std::string>{"HideTradingWindow 880001"});
  EXPECT_EQ(AccountIni("UI", "WndHeight"), "218");
  EXPECT_EQ(data_.tradeLog, 0u);
  EXPECT_TRUE(desk_.login.loginEnabled);
  EXPECT_FALSE(host_.Calls("PostViewsUpdate").empty());
}

}  // namespace
}  // namespace trading_test
