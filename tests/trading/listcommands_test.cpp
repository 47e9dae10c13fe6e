#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/trading/orderdesk_fixture.h"
#include "trading/listcommands.h"
#include "trading/listrows.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"
#include "trading/pluginapi.h"

namespace trading_test {
namespace {

struct ListCmdSingleAsk {
  std::string code;
  char direction;
  int wait;
};
std::vector<ListCmdSingleAsk> ListCmdSingleAsks;
int ListCmdAskSingle(char *code, char direction, char, int wait) {
  ListCmdSingleAsks.push_back({code, direction, wait});
  return 1;  // busy: dropped without a box
}

class ListCommandsTest : public OrderDeskTest {
 protected:
  ListCommandsTest() : panel_(desk_), manual_(desk_, panel_, dispatch_.book, host_.window), cmd_(trading_, dispatch_) {
    SetQuote(0, 3499, 3501, 3500);
    SetQuote(1, 3499, 3501, 3500);
    trading_.pageState = kPageTrading;
    desk_.owner = host_.window;
    cmd_.panel = &panel_;
    cmd_.manual = &manual_;
    cmd_.preparePanel = [this](const TPanelPrepare &p) { prepared_.push_back(p); };
    cmd_.mirrorPanelToQuickDeal = [this] { ++mirrors_; };
    ListCmdSingleAsks.clear();
    TradePlugin.QuerySinglePosition = ListCmdAskSingle;
  }
  ~ListCommandsTest() override { TradePlugin.QuerySinglePosition = nullptr; }

  void AddOrder(const CKivoOrderField &o) { desk_.orders.Add(o); }
  void Rebuild() { OnOrderRadioClick(dispatch_.book, desk_, trading_.pageState, trading_.orderTag); }
  // The list row of the order at that index of the array.
  int OrderRow(int32_t index) const { return dispatch_.book.lists.orderRows.RowOf(index); }
  void AddPosition(const char *code, char direction, int volume, int frozen, char attribute = 0) {
    InvestorPosition_Lite p = Position(code, direction, volume, 3500, attribute);
    p.Frozen = frozen;
    desk_.positions.Add(p);
    dispatch_.positionBook.FillPositionList();
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto &c : boxes_.Calls()) out.push_back(c.text);
    return out;
  }
  const OrderScript &Task(int i) const { return desk_.tasks.GetData()[i]; }

  TOrderPanel panel_;
  TManualOrder manual_;
  TListCommands cmd_;
  std::vector<TPanelPrepare> prepared_;
  int mirrors_ = 0;
};

TEST_F(ListCommandsTest, CancelSelectedRowsCountsWhatCouldNotBeCancelled) {
  AddOrder(Order("11", "CU2405", '0', '0', 2, 0, '3'));
  CKivoOrderField bare = Order("", "CU2405", '0', '0', 2, 0, '3');
  bare.CancelText120[0] = 0;
  AddOrder(bare);
  AddOrder(Order("13", "CU2405", '0', '0', 2, 0, 'p'));
  Rebuild();
  cmd_.OnOrderCancelClick({OrderRow(0), OrderRow(1), 99});
  EXPECT_EQ(Orders.cancels, std::vector<std::string>{"11"});
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "部分委托撤单失败，委托号为空或处于不可撤状态。  ");
  EXPECT_EQ(boxes_.Calls()[0].caption, "失败");
  EXPECT_NE(LogRecords().back().find("3013|11|手动"), std::string::npos);

  // The open-trigger order: marked, no cancel sent, gone from the array
  // and the list.
  boxes_.Clear();
  cmd_.OnOrderCancelClick({OrderRow(2)});
  EXPECT_EQ(Orders.cancels.size(), 1u);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(desk_.orders.GetCount(), 2);
  EXPECT_EQ(dispatch_.book.lists.orderRows.rows.size(), 2u);

  // Only the bare one: every row failed.
  cmd_.OnOrderCancelClick({OrderRow(1)});
  EXPECT_EQ(BoxTexts().back(), "撤单失败，委托号为空或处于不可撤状态。  ");
  cmd_.OnOrderCancelClick({});
  EXPECT_EQ(BoxTexts().back(), "请先选择需要撤单的委托。  ");
}

TEST_F(ListCommandsTest, CancelErrorsStopTheWalkAndShowOnlyOnTheTradingPage) {
  for (const char *ref : {"21", "22", "23"}) AddOrder(Order(ref, "CU2405", '1', '0', 1, 0, '3'));
  AddOrder(Order("24", "CU2405", '1', '0', 1, 1, '0'));  // filled: left alone
  AddOrder(Order("25", "CU2405", '1', '0', 1, 0, 'p'));
  Rebuild();
  cmd_.OnOrderCancelAllClick();
  EXPECT_EQ(Orders.cancels, (std::vector<std::string>{"21", "22", "23"}));
  EXPECT_EQ(desk_.orders.GetCount(), 4);  // the open-trigger order left
  EXPECT_EQ(boxes_.Count(), 0u);

  struct Case {
    int page;
    bool all;
    size_t boxes;
  } cases[] = {{kPageTrading, true, 1}, {kPageOrders, true, 0}, {kPageTrading, false, 1}, {kPageOrders, false, 0}};
  for (const Case &c : cases) {
    trading_.pageState = c.page;
    Orders.cancels.clear();
    Orders.cancelResult = 7;
    boxes_.Clear();
    if (c.all)
      cmd_.OnOrderCancelAllClick();
    else
      cmd_.OnOrderCancelClick({OrderRow(0), OrderRow(1), OrderRow(2)});
    EXPECT_EQ(Orders.cancels.size(), 1u) << c.page;  // the first error stops
    ASSERT_EQ(boxes_.Count(), c.boxes) << c.page;
    if (c.boxes) EXPECT_EQ(boxes_.Calls()[0].text, "撤单出错 (7) ");
    EXPECT_NE(LogRecords().back().find("3014|1|7"), std::string::npos);
  }
}

TEST_F(ListCommandsTest, ModifyCancelsAndRefillsThePanel) {
  AddOrder(Order("31", "CU2405", '1', '0', 5, 2, '1'));
  Rebuild();
  panel_.fields[0].price = "3600";
  cmd_.XPButton30Click(OrderRow(0));
  EXPECT_EQ(Orders.cancels, std::vector<std::string>{"31"});
  EXPECT_NE(LogRecords().back().find("3013|31|手动改单"), std::string::npos);
  EXPECT_EQ(panel_.fields[0].volume, "3");
  EXPECT_EQ(panel_.fields[0].price, "");
  EXPECT_EQ(panel_.fields[0].priceKind, 0);
  EXPECT_EQ(panel_.fields[0].contract, "CU2405");
  ASSERT_EQ(prepared_.size(), 1u);
  EXPECT_EQ(prepared_[0].offsetItem, "1.开仓");
  EXPECT_EQ(prepared_[0].priceKind, "1.限价");
  EXPECT_STREQ(prepared_[0].cursorButton, "XPButton1033");
  EXPECT_EQ(mirrors_, 1);

  // Keyboard layout, a close-today buy: the panel's "买平今".
  desk_.options.Layout = kLayoutKeyboard;
  desk_.orders.GetData()[0] = Order("32", "CU2405", '0', '3', 4, 0, '3');
  cmd_.XPButton30Click(OrderRow(0));
  EXPECT_STREQ(prepared_.back().cursorButton, "XPButton34");
  EXPECT_EQ(panel_.fields[1].volume, "4");
  // Collapsed with the quick-deal bar: the bar's button instead.
  trading_.collapsed = true;
  cmd_.quickDealVisible = [] { return true; };
  cmd_.XPButton30Click(OrderRow(0));
  EXPECT_EQ(prepared_.back().cursorButton, nullptr);
  EXPECT_STREQ(prepared_.back().quickDealButton, "XPButton44");
}

TEST_F(ListCommandsTest, ModifyQuestionsDecideWhetherThePanelIsFilled) {
  CKivoOrderField bare = Order("", "M2401", '0', '1', 2, 2, '0');
  AddOrder(bare);  // all traded: no cancel, the default opening volume
  CKivoOrderField noNumber = Order("", "M2401", '0', '1', 3, 0, '3');
  noNumber.CancelText120[0] = 0;
  AddOrder(noNumber);
  AddOrder(Order("43", "M2401", '0', '1', 6, 0, '3'));
  Rebuild();
  cmd_.XPButton30Click(OrderRow(0));
  EXPECT_EQ(panel_.fields[0].volume, "1");
  EXPECT_EQ(prepared_.back().offsetItem, "3.平仓");
  EXPECT_EQ(boxes_.Count(), 0u);

  boxes_.QueueAnswer(IDNO);
  cmd_.XPButton30Click(OrderRow(1));
  EXPECT_EQ(BoxTexts().back(), "需要修改的委托编号为空，无法撤单。是否继续修改？  ");
  EXPECT_EQ(prepared_.size(), 1u);
  boxes_.QueueAnswer(IDYES);
  cmd_.XPButton30Click(OrderRow(1));
  EXPECT_EQ(prepared_.size(), 2u);
  EXPECT_TRUE(Orders.cancels.empty());  // nothing to cancel with

  // A refused cancel still fills the panel after the user's yes.
  Orders.cancelResult = 3;
  boxes_.QueueAnswer(IDYES);
  cmd_.XPButton30Click(OrderRow(2));
  EXPECT_EQ(BoxTexts().back(), "需要修改的委托撤单失败。是否继续修改？  ");
  EXPECT_EQ(panel_.fields[0].volume, "6");
  boxes_.QueueAnswer(IDNO);
  panel_.fields[0].volume = "1";
  cmd_.XPButton30Click(OrderRow(2));
  EXPECT_EQ(panel_.fields[0].volume, "1");

  boxes_.Clear();
  cmd_.XPButton30Click(-1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"请先选择需要修改的委托。  "});
  cmd_.XPButton30Click(57);  // outside the list: nothing
  EXPECT_EQ(boxes_.Count(), 1u);

  // The order left the array while its question was open: nothing of it
  // goes into the panel.
  const size_t before = prepared_.size();
  platform::MessageBoxHandler previous = platform::SetMessageBoxHandler([&](const platform::MessageBoxCall &) {
    desk_.orders.RemoveAll();
    return IDYES;
  });
  cmd_.XPButton30Click(OrderRow(1));
  platform::SetMessageBoxHandler(previous);
  EXPECT_EQ(prepared_.size(), before);
}

TEST_F(ListCommandsTest, QuickPositionOperationsBecomeTasks) {
  AddPosition("CU2405", '2', 4, 1, 2);
  struct Case {
    void (TListCommands::*op)(const std::vector<int> &);
    std::vector<std::tuple<char, char, uint32_t, uint8_t>> tasks;  // direction, offset, volume, wait
    const char *first;
  } cases[] = {
      {&TListCommands::OnPositionReverseClick,
       {{'1', '3', 3, 0}, {'1', '0', 3, 1}},
       "对 CU2405(买,投) 快捷反手（平仓）"},
      {&TListCommands::OnPositionLockClick, {{'1', '0', 4, 0}}, "对 CU2405(买,投) 快捷锁仓"},
  };
  for (const Case &c : cases) {
    desk_.tasks.RemoveAll();
    Orders.sent.clear();
    // Keep the queue from sending: the task page's own tests cover it.
    (cmd_.*c.op)({0});
    ASSERT_EQ(desk_.tasks.GetCount(), int(c.tasks.size())) << c.first;
    for (size_t i = 0; i < c.tasks.size(); ++i) {
      const OrderScript &t = Task(int(i));
      EXPECT_EQ(t.Direction, std::get<0>(c.tasks[i]));
      EXPECT_EQ(t.OffsetFlag, std::get<1>(c.tasks[i]));
      EXPECT_EQ(t.Volume, std::get<2>(c.tasks[i]));
      EXPECT_EQ(t.WaitForPrevious, std::get<3>(c.tasks[i]));
      EXPECT_EQ(t.TaskKind, kTaskQuick);
      EXPECT_EQ(t.PriceKind, kTaskPriceOffsetTicks);
    }
    EXPECT_STREQ(Task(0).Description, c.first);
    ASSERT_EQ(Orders.sent.size(), 1u);  // the first went out at once
    EXPECT_EQ(Orders.sent[0].volume, int(std::get<2>(c.tasks[0])));
  }
  EXPECT_STREQ(Task(0).Description, "对 CU2405(买,投) 快捷锁仓");
}

TEST_F(ListCommandsTest, QuickOperationsThatMakeNoTaskSayWhy) {
  AddPosition("M2401", '3', 3, 3);
  cmd_.OnPositionCloseClick({0});
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  EXPECT_EQ(BoxTexts().back(), "现有的平仓委托还未成交，持仓被冻结，不可平仓。");
  cmd_.OnPositionReverseClick({});
  EXPECT_EQ(BoxTexts().back(), "请先选中需要反手的合约。按住 Ctrl 键可进行多选。  ");
  boxes_.Clear();
  cmd_.OnPositionCloseClick({0}, false);  // "套利" shown: nothing
  EXPECT_EQ(boxes_.Count(), 0u);

  // "全部平仓" asks first; every free position then gets its close.
  AddPosition("CU2405", '2', 2, 0, 1);
  boxes_.QueueAnswer(IDNO);
  cmd_.XPButton60Click();
  EXPECT_EQ(BoxTexts().back(), "对所有持仓执行平仓操作，是否确认？  ");
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  boxes_.QueueAnswer(IDYES);
  cmd_.XPButton60Click();
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_EQ(Orders.sent[0].code, "CU2405");
  EXPECT_EQ(Orders.sent[0].direction, '1');
  EXPECT_EQ(Orders.sent[0].offset, '1');
  EXPECT_STREQ(Task(0).Description, "对 CU2405(买,投) 执行全部平仓");
}

TEST_F(ListCommandsTest, QuickOrderOperationsTakeFilledOpeningOrders) {
  AddOrder(Order("51", "CU2405", '0', '0', 3, 3, '0'));
  AddOrder(Order("52", "M2401", '1', '0', 4, 2, '5'));
  AddOrder(Order("53", "M2401", '1', '0', 4, 0, '3'));  // not filled
  AddOrder(Order("54", "M2401", '1', '1', 4, 4, '0'));  // a close
  Rebuild();
  cmd_.XPButton26Click({OrderRow(0), OrderRow(1)});
  ASSERT_EQ(desk_.tasks.GetCount(), 4);
  const struct {
    char direction, offset;
    uint32_t volume;
    uint8_t wait;
  } expected[] = {{'1', '3', 3, 0}, {'1', '0', 3, 1}, {'0', '1', 2, 0}, {'0', '0', 2, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Task(i).Direction, expected[i].direction) << i;
    EXPECT_EQ(Task(i).OffsetFlag, expected[i].offset) << i;
    EXPECT_EQ(Task(i).Volume, expected[i].volume) << i;
    EXPECT_EQ(Task(i).WaitForPrevious, expected[i].wait) << i;
  }
  EXPECT_STREQ(Task(2).Description, "对 M2401(卖,投) 快捷反手（平仓）");
  desk_.tasks.RemoveAll();
  cmd_.XPButton41Click({OrderRow(2), OrderRow(3)});
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  EXPECT_EQ(BoxTexts().back(), "请先选中需要锁仓的“已成交开仓委托”。按住 Ctrl 键可进行多选。  ");
}

TEST_F(ListCommandsTest, AutomaticOffsetClosesTodayThenEarlierThenOpens) {
  AddPosition("CU2405", '3', 2, 0, 2);
  AddPosition("CU2405", '3', 1, 0, 1);
  AddPosition("CU2405", '2', 9, 0, 1);  // a long is not closed by a buy
  panel_.fields[0].contract = "CU2405";
  panel_.fields[0].price = "3500";
  boxes_.SetDefaultAnswer(IDYES);
  struct Case {
    const char *volume;
    std::vector<std::pair<char, int>> sent;
  } cases[] = {
      {"5", {{'3', 2}, {'1', 1}, {'0', 2}}},
      {"2", {{'3', 2}}},
      {"3", {{'3', 2}, {'1', 1}}},
  };
  for (const Case &c : cases) {
    Orders.sent.clear();
    boxes_.Clear();
    panel_.fields[0].volume = c.volume;
    cmd_.PlaceAutoOffsetOrders(true);
    ASSERT_EQ(Orders.sent.size(), c.sent.size()) << c.volume;
    for (size_t i = 0; i < c.sent.size(); ++i) {
      EXPECT_EQ(Orders.sent[i].offset, c.sent[i].first) << c.volume;
      EXPECT_EQ(Orders.sent[i].volume, c.sent[i].second) << c.volume;
      EXPECT_EQ(Orders.sent[i].direction, '0');
    }
    EXPECT_EQ(boxes_.Count(), c.sent.size());  // one confirmation each
  }
  // A refused first placement stops the walk.
  Orders.sent.clear();
  boxes_.SetDefaultAnswer(IDNO);
  panel_.fields[0].volume = "5";
  cmd_.PlaceAutoOffsetOrders(true);
  EXPECT_TRUE(Orders.sent.empty());
}

TEST_F(ListCommandsTest, TradingTimerAsksForFlaggedPositionsEveryThirdTick) {
  AddPosition("CU2405", '2', 2, 0, 1);
  AddPosition("M2401", '3', 1, 0);
  desk_.positions.GetData()[1].Refresh = 1;
  trading_.pageState = kPageContracts;
  for (int i = 0; i < 6; ++i) cmd_.OnTradeTimer();
  EXPECT_TRUE(ListCmdSingleAsks.empty());
  trading_.pageState = kPagePositions;
  int calls[7] = {};
  for (int i = 1; i <= 6; ++i) {
    cmd_.OnTradeTimer();
    calls[i] = int(ListCmdSingleAsks.size());
  }
  EXPECT_EQ(calls[2], 0);
  EXPECT_EQ(calls[3], 1);
  EXPECT_EQ(calls[5], 1);
  EXPECT_EQ(calls[6], 2);
  EXPECT_EQ(ListCmdSingleAsks[0].code, "M2401");
  EXPECT_EQ(ListCmdSingleAsks[0].direction, '3');
  EXPECT_EQ(ListCmdSingleAsks[0].wait, 0);  // never blocks the GUI thread
  EXPECT_EQ(boxes_.Count(), 0u);     // the busy answer is dropped
}

TEST_F(ListCommandsTest, OrderDoubleClickClosesCancelsOrRefuses) {
  AddOrder(Order("61", "CU2405", '0', '0', 3, 3, '0'));
  AddOrder(Order("62", "M2401", '0', '0', 3, 3, '0'));
  Rebuild();
  struct Case {
    int layout;
    int32_t order;
    const char *offsetItem, *cursor;
  } cases[] = {{kLayoutNormal, 0, "2.平今", "XPButton1033"},
               {kLayoutNormal, 1, "3.平仓", "XPButton1033"},
               {kLayoutKeyboard, 0, "", "XPButton2"},
               {kLayoutKeyboard, 1, "", "XPButton35"}};
  for (const Case &c : cases) {
    desk_.options.Layout = c.layout;
    cmd_.XPListView1LButtonDblClk(OrderRow(c.order));
    ASSERT_FALSE(prepared_.empty());
    EXPECT_EQ(prepared_.back().offsetItem, c.offsetItem);
    EXPECT_STREQ(prepared_.back().cursorButton, c.cursor);
    EXPECT_EQ(panel_.fields[c.layout].volume, "3");
    prepared_.clear();
  }
  EXPECT_TRUE(Orders.cancels.empty());
  desk_.options.ClickOrderToClose = false;
  cmd_.XPListView1LButtonDblClk(OrderRow(0));
  EXPECT_EQ(BoxTexts().back(), "撤单失败，委托处于不可撤状态。  ");

  // Cancellable: asked unless "DirectCancelOrder".
  AddOrder(Order("63", "M2401", '0', '0', 3, 0, '3'));
  Rebuild();
  desk_.options.DirectCancelOrder = false;
  boxes_.QueueAnswer(IDNO);
  cmd_.XPListView1LButtonDblClk(OrderRow(2));
  EXPECT_EQ(BoxTexts().back(), "撤销选中的委托吗？  ");
  EXPECT_TRUE(Orders.cancels.empty());
  boxes_.QueueAnswer(IDYES);
  cmd_.XPListView1LButtonDblClk(OrderRow(2));
  EXPECT_EQ(Orders.cancels, std::vector<std::string>{"63"});

  CKivoOrderField bare = Order("", "M2401", '0', '0', 3, 0, '3');
  bare.CancelText120[0] = 0;
  AddOrder(bare);
  AddOrder(Order("", "M2401", '1', '0', 2, 0, 'p'));
  Rebuild();
  cmd_.XPListView1LButtonDblClk(OrderRow(3));
  EXPECT_EQ(BoxTexts().back(), "由于委托号为空，撤单失败。  ");
  // An open-trigger order leaves at once, logged, without a cancel.
  desk_.options.DirectCancelOrder = true;
  cmd_.XPListView1LButtonDblClk(OrderRow(4));
  EXPECT_EQ(desk_.orders.GetCount(), 4);
  EXPECT_EQ(dispatch_.book.lists.orderRows.rows.size(), 4u);
  EXPECT_EQ(Orders.cancels.size(), 1u);
  const std::vector<std::string> log = LogRecords();
  EXPECT_NE(std::find(log.begin(), log.end(), "3008|2||  1234|M2401|3500.000|1|0|1|2"), log.end());
}

// The confirm box lets other messages run: an order that left the array
// meanwhile moves another one under the row's index, which must not be
// cancelled in its place.
TEST_F(ListCommandsTest, DoubleClickCancelsOnlyTheOrderTheUserConfirmed) {
  struct Case {
    bool removeFirst;
    std::vector<std::string> cancels;
  } cases[] = {{false, {"72"}}, {true, {}}};
  for (const Case &c : cases) {
    desk_.orders.RemoveAll();
    Orders.cancels.clear();
    AddOrder(Order("71", "CU2405", '0', '0', 1, 0, '3'));
    AddOrder(Order("72", "CU2405", '0', '0', 1, 0, '3'));
    AddOrder(Order("73", "CU2405", '0', '0', 1, 0, '3'));
    Rebuild();
    desk_.options.DirectCancelOrder = false;
    const int row = OrderRow(1);
    platform::MessageBoxHandler previous = platform::SetMessageBoxHandler([&](const platform::MessageBoxCall &) {
      if (c.removeFirst) desk_.orders.RemoveAt(0);
      return IDYES;
    });
    cmd_.XPListView1LButtonDblClk(row);
    platform::SetMessageBoxHandler(previous);
    EXPECT_EQ(Orders.cancels, c.cancels) << c.removeFirst;
  }
}

TEST_F(ListCommandsTest, PositionDoubleClickPreparesTheClose) {
  AddPosition("CU2405", '2', 5, 5, 2);
  cmd_.XPListView3LButtonDblClk(0);
  EXPECT_EQ(BoxTexts().back(), "现有的平仓委托还未成交，持仓被冻结，不可平仓。");
  EXPECT_TRUE(prepared_.empty());

  desk_.positions.GetData()[0].Frozen = 0;
  desk_.positions.GetData()[0].HedgeFlag = '3';
  desk_.FindContract("CU2405")->DefaultCloseVolume = 2;
  cmd_.XPListView3LButtonDblClk(0);
  ASSERT_EQ(prepared_.size(), 1u);
  EXPECT_EQ(prepared_[0].offsetItem, "2.平今");
  EXPECT_EQ(prepared_[0].volume, 2);
  EXPECT_EQ(prepared_[0].hedgeIndex, 1);
  EXPECT_EQ(desk_.options.HedgeFlag, '3');
  ASSERT_EQ(prepared_[0].buttons.size(), 2u);
  EXPECT_FALSE(prepared_[0].buttons[0].second);  // "买入" off for a long
  EXPECT_TRUE(prepared_[0].buttons[1].second);
  desk_.FindContract("CU2405")->DefaultCloseVolume = 6;  // above the available: all of it
  cmd_.XPListView3LButtonDblClk(0);
  EXPECT_EQ(prepared_.back().volume, 5);

  desk_.options.Layout = kLayoutKeyboard;
  cmd_.XPListView3LButtonDblClk(0);
  int enabled = 0;
  for (const auto &[name, on] : prepared_.back().buttons)
    if (on) {
      ++enabled;
      EXPECT_STREQ(name, "XPButton2");
    }
  EXPECT_EQ(enabled, 1);

  // "FastClosePosition": one quick close of the available volume, sent.
  desk_.options.FastClosePosition = true;
  cmd_.XPListView3LButtonDblClk(0);
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_EQ(Orders.sent[0].volume, 5);
  EXPECT_EQ(Orders.sent[0].offset, '3');
  EXPECT_STREQ(Task(0).Description, "对 CU2405(买,  保) 快捷平仓");
}

// With prices taken from the chart the cursor goes on to the chart's button
// of the closing side, only when the active chart answers for the position.
TEST_F(ListCommandsTest, PositionDoubleClickPutsTheCursorOnTheChartsClosingButton) {
  AddPosition("CU2405", '2', 4, 0);
  AddPosition("M2401", '3', 2, 0);
  struct Asked {
    uint32_t stock;
    bool buy;
  };
  std::vector<Asked> asked;
  bool chartAnswers = true;
  cmd_.chartOrderButton = [&](STKPTR instrument, bool buy, POINT &screen) {
    asked.push_back({instrument.Word(), buy});
    screen = POINT{buy ? 610 : 690, 405};
    return chartAnswers;
  };
  const struct {
    const char *name;
    int mode;
    int row;
    bool answers;
    bool fastClose;
    const char *cursor;  // the call to the window, or empty
    int askedBuy;        // -1: the chart is not asked
  } cases[] = {
      {"a long closes by selling", 1, 0, true, false, "PutCursor 690 405", 0},
      {"a short closes by buying", 1, 1, true, false, "PutCursor 610 405", 1},
      {"no chart of the instrument or no order panel", 1, 0, false, false, "", 0},
      {"prices not from the chart", 0, 0, true, false, "", -1},
      {"a fast close prepares nothing", 1, 0, true, true, "", -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    asked.clear();
    ui_.Clear();
    cmd_.grapPriceMode = c.mode;
    chartAnswers = c.answers;
    desk_.options.FastClosePosition = c.fastClose;
    cmd_.XPListView3LButtonDblClk(c.row);
    const std::vector<std::string> cursor = ui_.Calls("PutCursor");
    EXPECT_EQ(cursor, c.cursor[0] ? std::vector<std::string>{c.cursor} : std::vector<std::string>{});
    ASSERT_EQ(asked.size(), c.askedBuy < 0 ? 0u : 1u);
    if (c.askedBuy < 0) continue;
    EXPECT_EQ(asked[0].buy, c.askedBuy == 1);
    EXPECT_EQ(asked[0].stock, desk_.positions.GetData()[c.row].Stock.Word());
  }
}

TEST_F(ListCommandsTest, SelectionAndStopColumnClicks) {
  AddOrder(Order("71", "M2401", '0', '0', 3, 0, '3'));
  Rebuild();
  cmd_.XPListView1SelectItem(OrderRow(0));
  EXPECT_EQ(panel_.fields[0].contract, "M2401");
  EXPECT_TRUE(prepared_.back().contractOnly);
  const size_t before = prepared_.size();
  cmd_.XPListView1SelectItem(OrderRow(0));  // the same contract: no exit handler
  EXPECT_EQ(prepared_.size(), before);

  AddPosition("CU2405", '2', 5, 0, 2);
  desk_.options.Layout = kLayoutQuick;
  cmd_.XPListView3SelectItem(0);
  EXPECT_EQ(prepared_.back().quickDirectionIndex, 1);
  EXPECT_EQ(prepared_.back().quickOffsetIndex, 1);
  EXPECT_EQ(prepared_.back().volume, 1);
  EXPECT_EQ(panel_.fields[kLayoutQuick].contract, "CU2405");

  // The stop columns: header items 9 and 10, shifted by the scroll.
  std::vector<int> widths = {50, 37, 37, 42, 42, 60, 0, 90, 0, 84, 84, 37};
  int opened = -1;
  bool right = false;
  cmd_.stopRight = [&] { return right; };
  cmd_.setStopOrderForPosition = [&](int32_t i) { opened = i; };
  cmd_.XPListView3MouseDown(0, 300, 0, widths);  // "浮动盈亏"
  EXPECT_EQ(opened, -1);
  boxes_.Clear();
  cmd_.XPListView3MouseDown(0, 400, 0, widths);  // "止盈/数量"
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"您没有使用止损止盈的权限。  "});
  right = true;
  cmd_.XPListView3MouseDown(0, 300, 100, widths);
  EXPECT_EQ(opened, 0);
  opened = -1;
  cmd_.XPListView3MouseDown(3, 400, 0, widths);  // no such row
  EXPECT_EQ(opened, -1);
}

TEST_F(ListCommandsTest, AQuoteRewritesTheProfitsOfItsContractOnly) {
  AddPosition("M2401", '3', 3, 0);
  desk_.positions.GetData()[0].OpenAverage = 4000;
  AddPosition("CU2405", '2', 2, 0, 2);  // at 3500, the last 3500
  SetQuote(0, 3989, 3991, 3990);
  SetQuote(1, 3509, 3511, 3510);
  EXPECT_EQ(RefreshQuoteProfits(dispatch_.positionBook, desk_.positions, Stock(0)), 1);
  EXPECT_EQ(dispatch_.positionBook.rows.rows[0].items[kPosFloatProfit], "300");
  EXPECT_EQ(dispatch_.positionBook.rows.rows[1].items[kPosFloatProfit], "0");  // not rewritten yet
}

TEST_F(ListCommandsTest, ChartBridgeWritesRecordsFieldByField) {
  AddPosition("CU2405", '3', 4, 0, 2);
  desk_.positions.GetData()[0].OpenAverage = 3500.4;
  AddPosition("cu2405", '2', 1, 0, 1);
  AddPosition("M2401", '2', 1, 0);
  AddOrder(Order("77", "CU2405", '1', '3', 5, 2, '1', '3', 3512.5));
  AddOrder(Order("78", "CU2405", '1', '3', 5, 5, '0'));  // filled: not a mark
  unsigned char positions[3 * 64], orders[2 * 68];
  memset(positions, 0xCC, sizeof positions);
  memset(orders, 0xCC, sizeof orders);
  GetChartTradeMarks(desk_, kPageTrading, "CU2405", "", positions, 3, orders, 2);
  const auto i32 = [](const unsigned char *at) {
    int32_t v;
    memcpy(&v, at, 4);
    return v;
  };
  EXPECT_STREQ(reinterpret_cast<const char *>(positions + 16), "CU2405");
  EXPECT_EQ(positions[48], '1');  // a short
  EXPECT_EQ(positions[49], 2);
  EXPECT_EQ(i32(positions + 52), 4);
  EXPECT_EQ(i32(positions + 56), 3500400);
  EXPECT_EQ(i32(positions + 60), 5);
  EXPECT_EQ(positions[64 + 48], '0');
  EXPECT_EQ(i32(positions + 0), 0);
  EXPECT_EQ(i32(positions + 128 + 52), 0);  // M2401 is another code: the rest zeroed
  EXPECT_STREQ(reinterpret_cast<const char *>(orders + 4), "SHFE");
  EXPECT_EQ(i32(orders + 48), 77);
  EXPECT_EQ(orders[52], '1');
  EXPECT_EQ(orders[53], '3');
  EXPECT_EQ(i32(orders + 56), 5);
  EXPECT_EQ(i32(orders + 60), 2);
  EXPECT_EQ(i32(orders + 64), 3512500);
  EXPECT_EQ(i32(orders + 68 + 48), 0);

  // The maxima hold; without a login the link's (empty) tables.
  memset(positions, 0xCC, sizeof positions);
  GetChartTradeMarks(desk_, kPageTrading, "M2401", "CU2405", positions, 1, orders, 0);
  EXPECT_EQ(positions[64], 0xCC);
  GetChartTradeMarks(desk_, kPageLogin, "CU2405", "", positions, 3, orders, 2);
  for (unsigned char b : positions) ASSERT_EQ(b, 0);
  for (unsigned char b : orders) ASSERT_EQ(b, 0);

  // The quote panel's double-click presses by the offset combo.
  struct Case {
    int item;
    bool buy, sell;
    int pressed;
  } cases[] = {{0, true, true, 0}, {1, true, false, 1}, {2, false, true, 2}, {1, true, true, 0},
               {2, false, false, 2}, {3, false, false, 1}, {4, true, true, 2}};
  for (const Case &c : cases) EXPECT_EQ(PanelOrderButtonToPress(c.item, c.buy, c.sell), c.pressed) << c.item;
}

}  // namespace
}  // namespace trading_test
