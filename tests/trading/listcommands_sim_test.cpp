// A quick reverse end to end: the real plug-in logged in to the simulated
// broker (marketable orders fill at once), a long position bought through
// it, then the position list's "快捷反手": the close goes out, and the
// opening in the other direction only after the close has filled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "market/dataio5.h"
#include "tests/trading/simdesk_fixture.h"
#include "trading/listcommands.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"

namespace trading_test {
namespace {

class ListCommandsSimTest : public SimDeskTest {
 protected:
  ListCommandsSimTest() : SimDeskTest("autofill on\n") {
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
  int Sold() const {
    int n = 0;
    for (int32_t i = 0; i < data_.trades.GetCount(); ++i)
      if (data_.trades.GetData()[i].Direction == '1') n += data_.trades.GetData()[i].Volume;
    return n;
  }

  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TListCommands> commands_;
};

TEST_F(ListCommandsSimTest, QuickReverseOpensOnlyAfterItsCloseFilled) {
  ASSERT_NO_FATAL_FAILURE(LogInToSimBroker());
  commands_ = std::make_unique<TListCommands>(desk_, *dispatch_);
  TradeCopper(STKPTR(1, 0, 0));
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
