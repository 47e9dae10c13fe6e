// Orders end to end: the real plug-in logged in to the simulated broker, a
// manual order placed through it, the broker's pushed states and fills
// handled by the dispatcher into orders, trades and a position, and a
// resting close that freezes the position until it is cancelled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cstdlib>

#include "tests/trading/simdesk_fixture.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"

namespace trading_test {
namespace {

class OrdersSimTest : public SimDeskTest {
 protected:
  OrdersSimTest() : SimDeskTest("autofill off\n") {}
};

TEST_F(OrdersSimTest, ManualBuyFillsTwiceAndARestingCloseFreezesThePosition) {
  ASSERT_NO_FATAL_FAILURE(LogInToSimBroker());
  TradeCopper();

  TOrderPanel panel(data_);
  TManualOrder manual(data_, panel, dispatch_->book, host_.window);
  panel.Active().contract = "cu2402";
  panel.Active().price = "69000";
  panel.Active().volume = "2";
  ASSERT_EQ(manual.PlaceManualOrder(true, '0', 0), 1);
  ASSERT_TRUE(Until([&] { return data_.orders.GetCount() == 1; }));

  const int ref = atoi(data_.orders.GetData()[0].OrderRef);
  ASSERT_TRUE(link_.Broker().FillOrder(ref, 1));
  ASSERT_TRUE(Until([&] { return data_.trades.GetCount() == 1; }));
  ASSERT_TRUE(link_.Broker().FillOrder(ref, 1));
  ASSERT_TRUE(Until([&] { return data_.trades.GetCount() == 2 && data_.orders.GetData()[0].OrderStatus[1] == '0'; }));
  EXPECT_EQ(data_.orders.GetData()[0].VolumeTraded, 2);
  ASSERT_EQ(data_.positions.GetCount(), 1);
  EXPECT_EQ(data_.positions.GetData()[0].Volume, 2);
  EXPECT_DOUBLE_EQ(data_.positions.GetData()[0].OpenAverage, 69000);

  panel.Active().price = "70000";
  ASSERT_EQ(manual.PlaceManualOrder(false, '3', 0), 1);
  ASSERT_TRUE(Until([&] { return data_.positions.GetData()[0].Frozen == 2; }));
  // The close is the order that is not the buy; the list's order between
  // two orders of one second is not fixed, and a return may re-sort it, so
  // it is found again by its reference at every look.
  std::string closeRef;
  for (int32_t i = 0; i < data_.orders.GetCount(); ++i)
    if (atoi(data_.orders.GetData()[i].OrderRef) != ref) closeRef = data_.orders.GetData()[i].OrderRef;
  ASSERT_FALSE(closeRef.empty());
  ASSERT_TRUE(Until([&] {
    CKivoOrderField *close = dispatch_->book.OrderByRef(closeRef.c_str());
    return close && close->CancelText120[0] != 0;
  }));
  ASSERT_EQ(TradePlugin.OrderAction(dispatch_->book.OrderByRef(closeRef.c_str()), 0), 0);
  ASSERT_TRUE(Until([&] { return data_.positions.GetData()[0].Frozen == 0; }));
  EXPECT_EQ(data_.positions.GetData()[0].Volume, 2);

  // The exchange closed: the refused order is kept as an open-trigger order.
  ASSERT_TRUE(link_.Broker().LoadScript("refuse SHFE 不是交易时间\n", nullptr));
  data_.options.Autopending1 = 1;
  const int32_t before = data_.orders.GetCount();
  EXPECT_EQ(manual.PlaceManualOrder(true, '0', 0), 1);
  ASSERT_EQ(data_.orders.GetCount(), before + 1);
  int kept = 0;
  for (int32_t i = 0; i < data_.orders.GetCount(); ++i) kept += data_.orders.GetData()[i].OrderStatus[1] == 'p';
  EXPECT_EQ(kept, 1);
}

// The broker answers orders 30 ms late: the call waits for its answer and
// the pushed state that follows it; each order reaches the broker once,
// a market order at price 0 and a close-today on an exchange without it
// as a close.
class LatentOrdersSimTest : public OrdersSimTest {
 protected:
  LatentOrdersSimTest() {
    loaded_ = link_.Broker().LoadScript("delay 6021 30\naccount 880001 balance=50000000\n"
                                        "position 880001 cu2402 long=600 price=69000 hedge=0\n");
  }
  bool loaded_ = false;
  // The broker's order lines: own fields 1 (contract) to 6 (price).
  std::vector<std::vector<std::string>> OrderLines() {
    std::vector<std::vector<std::string>> out;
    for (const std::string &line : link_.Broker().RecordedLines()) {
      std::vector<std::string> fields;
      size_t at = 0;
      for (size_t bar; (bar = line.find('|', at)) != std::string::npos; at = bar + 1)
        fields.push_back(line.substr(at, bar - at));
      if (fields.size() > 14 && fields[3] == "6021") out.emplace_back(fields.begin() + 9, fields.begin() + 15);
    }
    return out;
  }
};

TEST_F(LatentOrdersSimTest, EachOrderReachesTheBrokerOnceAtItsPrice) {
  ASSERT_TRUE(loaded_);
  ASSERT_NO_FATAL_FAILURE(LogInToSimBroker());
  TradeCopper();
  TOrderPanel panel(data_);
  TManualOrder manual(data_, panel, dispatch_->book, host_.window);
  panel.Active().contract = "cu2402";

  panel.Active().price = "69000";
  panel.Active().volume = "2";
  ASSERT_EQ(manual.PlaceManualOrder(true, '0', 0), 1);
  panel.Active().priceKind = 1;
  panel.Active().volume = "3";
  ASSERT_EQ(manual.PlaceManualOrder(false, '3', 0), 1);
  ASSERT_TRUE(Until([&] { return data_.orders.GetCount() == 2; }));
  const auto lines = OrderLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0][0], "cu2402");
  EXPECT_EQ(lines[0][4], "2");
  EXPECT_EQ(atof(lines[0][5].c_str()), 69000);
  EXPECT_EQ(lines[1][2], "1");  // a close
  EXPECT_EQ(lines[1][4], "3");
  EXPECT_EQ(atof(lines[1][5].c_str()), 0);
  // Nothing arrives twice while the calls waited.
  clock_.Advance(1000);
  Until([] { return false; }, 200);
  EXPECT_EQ(data_.orders.GetCount(), 2);
}

}  // namespace
}  // namespace trading_test
