// A trading desk on the real plug-in, logged in to the simulated broker, with
// a dispatcher taking every trade notification the main window receives.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "platform/messages.h"
#include "testing/pump.h"
#include "testing/sim_broker_link.h"
#include "tests/trading/tradedesk_fixture.h"
#include "trading/dispatcher.h"
#include "trading/pluginapi.h"

namespace trading_test {

class SimDeskTest : public TradingDeskTest {
 protected:
  // brokerScript follows the simulated broker's default script.
  explicit SimDeskTest(const std::string &brokerScript)
      : link_(std::string(sim::SimBroker::DefaultScript()) + brokerScript) {
    desk_.bind = nullptr;  // the real logger and plug-in
    box_.WriteText("cfg/Consign.ini", "[jsd]\ns1=电信主站\ns1a=127.0.0.1\ns1p=17001\ns1t=1\n");
  }
  ~SimDeskTest() override {
    dispatch_.reset();
    if (TradingBound()) TradePlugin.TradeFinalize();
  }

  // Logs in as 880001 and moves to the trading page. The login chain is not
  // followed: its notifications up to the login's end are let by, and the
  // dispatcher takes the ones after it.
  void LogInToSimBroker() {
    ASSERT_TRUE(link_.Attached());
    desk_.SetupTradingPanel(0);
    ASSERT_TRUE(TradingBound());
    FillLogin();
    desk_.XPButton5Click();
    ASSERT_EQ(desk_.login.message, "正在连接服务器...");
    desk_.SetupTradingPanel(1);
    desk_.pageState = kPageTrading;
    ASSERT_TRUE(testing_support::PumpUntil([&] {
      clock_.Advance(50);
      for (const auto &m : trace_.Messages())
        if (m.message == WM_TRADE_NOTIFY && (m.wParam & 0xFFFF) == tb::TN_LOGIN_DONE) return true;
      return false;
    }));
    taken_ = trace_.Messages().size();
    dispatch_ = std::make_unique<TTradeDispatcher>(desk_, host_);
    data_.SetAccount("880001");
  }
  // Copper on SHFE as the only contract, express orders on.
  void TradeCopper(STKPTR stock = STKPTR()) {
    CContractInfo cu{};
    strcpy(cu.InstrumentID, "cu2402");
    strcpy(cu.ExchangeID, "SHFE");
    cu.PriceTick = 10;
    cu.VolumeMultiple = 5;
    cu.Stock = stock;
    data_.SetContracts(&cu, 1);
    data_.options.ExpressOrder = true;
  }

  // Serves the window, handing every trade notification to the dispatcher,
  // until the condition holds.
  bool Until(const std::function<bool()> &condition, int timeoutMs = 5000) {
    return testing_support::PumpUntil([&] {
      clock_.Advance(50);  // the plug-in's threads wait on the platform clock
      const auto &messages = trace_.Messages();
      for (; taken_ < messages.size(); ++taken_)
        if (messages[taken_].message == WM_TRADE_NOTIFY)
          dispatch_->HandleTradeNotify(messages[taken_].wParam, messages[taken_].lParam);
      return condition();
    }, timeoutMs);
  }

  testing_support::SimBrokerLink link_;
  std::unique_ptr<TTradeDispatcher> dispatch_;
  size_t taken_ = 0;
};

}  // namespace trading_test
