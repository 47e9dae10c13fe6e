// A quick reverse end to end: the real plug-in logged in to the simulated
// broker (marketable orders fill at once), a long position bought through
// it, then the position list's "快捷反手": the close goes out, and the
// opening in the other direction only after the close has filled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "market/dataio5.h"
#include "platform/messages.h"
#include "testing/pump.h"
#include "testing/sim_broker_link.h"
#include "tests/trading/tradedesk_fixture.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"
#include "trading/pluginapi.h"

namespace trading_test {
namespace {

class ListCommandsSimTest : public TradingDeskTest {
 protected:
  ListCommandsSimTest() : link_(std::string(sim::SimBroker::DefaultScript()) + "autofill on\n") {
    desk_.bind = nullptr;  // the real logger and plug-in
    box_.WriteText("cfg/Consign.ini", "[jsd]\ns1=电信主站\ns1a=127.0.0.1\ns1p=17001\ns1t=1\n");
    // A futures market whose quote prices the tasks.
    MKINFO dl = market_fixture::MakeMarket("DL", "dlf", 2, 4);
    market_fixture::AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
    MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 4);
    market_fixture::AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    box_.WriteMarketInfo({sh, dl});
    box_.WriteTable(sh, "nametbl", std::vector<STKINFO>{market_fixture::MakeStock(0, 0, "600000", "浦发")});
    box_.WriteTable(dl, "nametbl", std::vector<STKINFO>{market_fixture::MakeStock(1, 0, "CU02", "沪铜")});
    io_ = std::make_unique<TDataIO>(nullptr);
  }
  ~ListCommandsSimTest() override {
    commands_.reset();
    dispatch_.reset();
    if (TradingBound()) TradePlugin.TradeFinalize();
  }
  bool Until(const std::function<bool()> &condition) {
    return testing_support::PumpUntil([&] {
      clock_.Advance(50);
      const auto &messages = trace_.Messages();
      for (; taken_ < messages.size(); ++taken_)
        if (messages[taken_].message == WM_TRADE_NOTIFY)
          dispatch_->HandleTradeNotify(messages[taken_].wParam, messages[taken_].lParam);
      return condition();
    });
  }
  int Sold() const {
    int n = 0;
    for (int32_t i = 0; i < data_.trades.GetCount(); ++i)
      if (data_.trades.GetData()[i].Direction == '1') n += data_.trades.GetData()[i].Volume;
    return n;
  }

  testing_support::SimBrokerLink link_;
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TTradeDispatcher> dispatch_;
  std::unique_ptr<TListCommands> commands_;
  size_t taken_ = 0;
};

TEST_F(ListCommandsSimTest, QuickReverseOpensOnlyAfterItsCloseFilled) {
  ASSERT_TRUE(link_.Attached());
  desk_.SetupTradingPanel(0);
  ASSERT_TRUE(TradingBound());
  FillLogin();
  desk_.XPButton5Click();
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
  commands_ = std::make_unique<TListCommands>(desk_, *dispatch_);
  data_.SetAccount("880001");
  CContractInfo cu{};
  strcpy(cu.InstrumentID, "cu2402");
  strcpy(cu.ExchangeID, "SHFE");
  cu.PriceTick = 10;
  cu.VolumeMultiple = 5;
  cu.Stock = STKPTR(1, 0, 0);
  data_.SetContracts(&cu, 1);
  data_.options.ExpressOrder = true;
  REALQUOTE &q = MarketAt(1)->m_quotes[0];
  q = REALQUOTE{};
  q.bid[0].price = 69000 * 1000;
  q.ask[0].price = 69010 * 1000;
  q.last = 69000 * 1000;

  TOrderPanel panel(data_);
  TManualOrder manual(data_, panel, dispatch_->book, host_.window);
  panel.Active().contract = "cu2402";
  panel.Active().price = "69010";
  panel.Active().volume = "2";
  ASSERT_EQ(manual.PlaceManualOrder(true, '0', 0), 1);
  ASSERT_TRUE(Until([&] { return data_.positions.GetCount() == 1 && data_.positions.GetData()[0].Volume == 2; }));

  // Each send of the queue: the volume the close had filled by then.
  std::vector<std::pair<char, int>> sends;
  dispatch_->taskQueue.onOrderInsert = [&](const TTaskInsert &sent) {
    sends.emplace_back(sent.task->OffsetFlag, Sold());
  };
  commands_->OnPositionReverseClick({0});
  ASSERT_TRUE(Until([&] { return sends.size() == 2 && data_.tasks.IsEmpty(); }));
  EXPECT_NE(sends[0].first, '0');
  EXPECT_EQ(sends[0].second, 0);
  EXPECT_EQ(sends[1].first, '0');
  EXPECT_EQ(sends[1].second, 2);  // the close had filled before the open went out
  ASSERT_TRUE(Until([&] {
    return data_.positions.GetCount() == 1 && data_.positions.GetData()[0].PosiDirection == '3' &&
           data_.positions.GetData()[0].Volume == 2;
  }));
}

}  // namespace
}  // namespace trading_test
