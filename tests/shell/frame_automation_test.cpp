// "条件单" of the order panels: what the active panel hands the condition
// dialog.
#include <gtest/gtest.h>

#include "shell/mframe.h"
#include "testing/desk_ui_recorder.h"
#include "trading/conditiondialog.h"
#include "trading/manualorder.h"
#include "trading/orderbook.h"
#include "trading/orderentry.h"
#include "trading/orderpanel.h"
#include "trading/tradedesk.h"

namespace {

TEST(FrameAutomationTest, TheConditionRequestTakesTheActivePanelAndTheOrdinaryPanelsHints) {
  TTradeDesk data;
  DeskUiRecorder ui;
  DeskHostRecorder host;
  TTradingDesk desk(data, host, ui);
  TOrderPanel panel(data);
  TOrderBook book(data, host);
  TManualOrder manual(data, panel, book, nullptr);
  TOrderEntry entry(desk, panel, manual);
  panel.fields[0] = TOrderFields{"cu2405", 0, "3", 1, 10000, 3, "对手价", 0};
  panel.fields[1] = TOrderFields{"m2409", 0, "x", 1, 10000, 1, "3500", 0};

  const struct {
    int layout;
    bool buy, sell;
    int offsetItem;
    const char *contract, *price;
    int volume, direction, offset;
  } cases[] = {
      {kLayoutNormal, false, true, 2, "cu2405", "对手价", 3, 1, 2},   // only sell left: a sell
      {kLayoutNormal, true, false, 0, "cu2405", "对手价", 3, 0, 0},   // only buy left: a buy
      {kLayoutNormal, true, true, 1, "cu2405", "对手价", 3, -1, 1},   // both: no side
      {kLayoutKeyboard, false, true, 2, "m2409", "3500", 1, -1, -1},  // no hints; a bad volume is 1
  };
  for (const auto &c : cases) {
    data.options.Layout = c.layout;
    entry.ordinary.buyEnabled = c.buy;
    entry.ordinary.sellEnabled = c.sell;
    entry.ordinary.offsetItem = c.offsetItem;
    const TConditionRequest r = ConditionRequestFromPanels(data, panel, entry);
    EXPECT_EQ(r.contract, c.contract) << c.layout;
    EXPECT_EQ(r.price, c.price) << c.layout;
    EXPECT_EQ(r.volume, c.volume) << c.layout;
    EXPECT_EQ(r.directionHint, c.direction) << c.layout << c.buy << c.sell;
    EXPECT_EQ(r.offsetHint, c.offset) << c.layout;
    EXPECT_EQ(r.hedge, data.options.HedgeFlag);
  }
}

}  // namespace
