#include "shell/dispatcher.h"

#include <gtest/gtest.h>

#include "market/blocks.h"
#include "views/viewattr.h"
#include "tests/shell/frame_world.h"

namespace {

using frame_test::FrameWorld;
using frame_test::ViewLog;
using Calls = std::vector<std::string>;
using frame_test::F;
using frame_test::V;


class DispatcherTest : public FrameWorld {
 protected:
  DispatcherTest() : commands_(*core_) {}
  void SetUp() override {
    std::memcpy(savedCycle_, PeriodCycle, sizeof savedCycle_);
    for (int i = 0; i < kPeriodCount; ++i) PeriodCycle[i] = PeriodCycleEntry{uint8_t(i), false};
  }
  void TearDown() override { std::memcpy(PeriodCycle, savedCycle_, sizeof savedCycle_); }
  TMultiViewChild *Active() { return page_->m_active; }

  TCommandDispatcher commands_;
  PeriodCycleEntry savedCycle_[kPeriodCount];
};

TEST_F(DispatcherTest, CommandsOutsideTheTableDoNothing) {
  SplitInto(1);
  Show(0, VIEW_TYPE_KLINE, Find("600000", 0), true);
  for (int code : {0, 84, 200, -1}) commands_.ExecuteCommand(code);
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_TRUE(boxes_.Calls().empty());
  EXPECT_EQ(page_->PaneCount(), 1);
}

// Commands that name a view type act on an active view of that type only.
TEST_F(DispatcherTest, ViewCommandsGoToAnActiveViewOfTheirType) {
  SplitInto(3);
  const STKPTR stock = Find("600000", 0);
  TMultiViewChild *kline = Show(0, VIEW_TYPE_KLINE, stock);
  TMultiViewChild *intraday = Show(1, VIEW_TYPE_INTRADAY, stock);
  TMultiViewChild *news = Show(2, VIEW_TYPE_NEWS, STKPTR());
  const intptr_t arbitrage = intptr_t(TChartMenuItem::Arbitrage), info = intptr_t(TChartMenuItem::InfoWindow);
  struct Case {
    TMultiViewChild *active;
    int code;
    Calls calls;
  } cases[] = {
      {kline, CMD_TRADE_DETAILS, {V(TViewAction::ExecuteViewCommand, 28)}},
      {kline, CMD_INDICATOR_NEXT_ALT, {V(TViewAction::ExecuteViewCommand, 80)}},
      {kline, CMD_ARBITRAGE, {V(TViewAction::MenuItem, arbitrage)}},
      {intraday, CMD_PRICE_VOLUME_ALT, {V(TViewAction::ExecuteViewCommand, 31)}},
      {intraday, CMD_INDICATOR_PREV, {}},
      {intraday, CMD_ARBITRAGE, {}},
      {intraday, CMD_INFO_WINDOW, {V(TViewAction::MenuItem, info)}},
      {news, CMD_TRADE_DETAILS, {}},
      {news, CMD_SWITCH_CHART, {}},
      {news, CMD_FULL_SCREEN, {F(TFrameAction::FullScreen, 0)}},
      {news, CMD_EXTERNAL_TRADING, {F(TFrameAction::ExternalTrading, 2)}},
      {news, CMD_INFO_MINE, {"notify 19 2003"}},
  };
  for (const Case &c : cases) {
    page_->SetActiveChild(c.active);
    TakeCalls();
    commands_.ExecuteCommand(c.code);
    EXPECT_EQ(TakeCalls(), c.calls) << c.code;
  }
}

TEST_F(DispatcherTest, TickAndMinuteCommandsOnlyChangeAnIntradayViewInTheOtherMode) {
  SplitInto(1);
  TMultiViewChild *intraday = Show(0, VIEW_TYPE_INTRADAY, Find("600000", 0), true);
  ASSERT_EQ(Active(), intraday);
  const auto tick = [&] { return (intraday->m_attr.flags & kViewFlagTickMode) != 0; };
  intraday->m_attr.flags &= ~kViewFlagTickMode;
  commands_.ExecuteCommand(CMD_INTRADAY_CHART);
  EXPECT_FALSE(tick());
  commands_.ExecuteCommand(CMD_TICK_CHART);
  EXPECT_TRUE(tick());
  commands_.ExecuteCommand(CMD_TICK_CHART);
  EXPECT_TRUE(tick());
  commands_.ExecuteCommand(CMD_INTRADAY_CHART);
  EXPECT_FALSE(tick());
  EXPECT_EQ(page_->PaneAt(0), intraday);
}

TEST_F(DispatcherTest, ThePeriodCycleNeedsAShownEntry) {
  SplitInto(1);
  TMultiViewChild *kline = Show(0, VIEW_TYPE_KLINE, Find("600000", 0), true);
  kline->m_attr.period = 4;
  commands_.ExecuteCommand(CMD_CYCLE_PERIOD);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "请先设定周期循环次序。  ");
  EXPECT_EQ(TakeCalls(), (Calls{F(TFrameAction::PeriodCycleDialog, 0)}));
  // With one shown entry every press comes back to it, both ways.
  PeriodCycle[9].shown = true;  // day
  commands_.ExecuteCommand(CMD_CYCLE_PERIOD);
  commands_.ExecuteCommand(CMD_CYCLE_PERIOD_BACK);
  EXPECT_EQ(TakeCalls(), (Calls{V(TViewAction::SetPeriod, 9), V(TViewAction::SetPeriod, 9)}));
  // Two shown: forward from 9 goes to 12, back from 9 to 12 as well.
  PeriodCycle[12].shown = true;
  kline->m_attr.period = 9;
  commands_.ExecuteCommand(CMD_CYCLE_PERIOD);
  EXPECT_EQ(TakeCalls(), (Calls{V(TViewAction::SetPeriod, 12)}));
}

// From an intraday view in minute mode the cycle jumps to its first shown
// period: a K-line view comes into the active pane with it.
TEST_F(DispatcherTest, AnIntradayViewCyclesToTheFirstShownPeriodInAKLineView) {
  SplitInto(1);
  const STKPTR stock = Find("600036", 0);
  Show(0, VIEW_TYPE_INTRADAY, stock, true);
  PeriodCycle[6].shown = PeriodCycle[10].shown = true;
  commands_.ExecuteCommand(CMD_CYCLE_PERIOD);
  TMultiViewChild *now = page_->PaneAt(0);
  ASSERT_EQ(now->ViewType(), VIEW_TYPE_KLINE);
  EXPECT_EQ(now->m_attr.period, 6);
  EXPECT_TRUE(SameStock(now->m_attr.stock, stock));
}

TEST_F(DispatcherTest, MarketGroupsOpenAReportOnTheirBlock) {
  SplitInto(1);
  Show(0, VIEW_TYPE_KLINE, Find("600000", 0), true);
  commands_.ExecuteCommand(CMD_REPORT_SZ_A);
  TMultiViewChild *report = page_->PaneAt(0);
  ASSERT_EQ(report->ViewType(), VIEW_TYPE_REPORT);
  const int kinds = MarketAt(0)->m_info.kindCount;
  EXPECT_EQ(report->m_attr.currentBlock, uint32_t(MarketTable.marketCount + kinds + 1));
  ASSERT_GE(report->m_attr.tabCount, 1);
  EXPECT_EQ(report->m_attr.tabIds[report->m_attr.tabCount - 1], report->m_attr.currentBlock);
}

TEST_F(DispatcherTest, UserStocksUseTheFirstUserBlock) {
  SplitInto(1);
  Show(0, VIEW_TYPE_NEWS, STKPTR(), true);
  const int blocks = BlockTable.blockCount;
  const BLOCK *mine = FindBlockByName("我的板块");
  ASSERT_NE(mine, nullptr);
  commands_.ExecuteCommand(CMD_USER_STOCKS);
  EXPECT_EQ(BlockTable.blockCount, blocks);
  TMultiViewChild *report = page_->PaneAt(0);
  ASSERT_EQ(report->ViewType(), VIEW_TYPE_REPORT);
  EXPECT_EQ(report->m_attr.currentBlock, uint32_t(mine->blockId));
}

// A chart opened from a report carries the report's rows, on its selected
// row; a view found for the next command takes the same list, which then
// has one reference per view.
TEST_F(DispatcherTest, AReportsRowsGoWithTheChartsItOpens) {
  struct Report : frame_test::RecordingView {
    using RecordingView::RecordingView;
    uint32_t MakeHandOverList(int32_t *position) override {
      const STKPTR rows[3] = {STKPTR(0, 0, 3), STKPTR(0, 0, 4), STKPTR(0, 0, 5)};
      *position = 1;
      return NewViewStockList(rows, 3);
    }
  };
  RegisterViewClass(VIEW_TYPE_REPORT, [](TMultiViewMain *page, const VIEW_ATTR_13 *r, MVCDATA_12 *d,
                                         EArray<VIEW_ATTR_13> *h, PaneNode *n, int) -> TMultiViewChild * {
    return new Report(VIEW_TYPE_REPORT, page, r, d, h, n);
  });
  SplitInto(2);
  Show(0, VIEW_TYPE_REPORT, STKPTR(), true);
  TMultiViewChild *kline = Show(1, VIEW_TYPE_KLINE, Find("600000", 0));
  kline->m_linked = 1;
  const int lists = LiveViewStockLists();
  commands_.ExecuteCommand(CMD_SWITCH_CHART);
  TMultiViewChild *intraday = nullptr;
  for (int i = 0; i < page_->PaneCount(); ++i)
    if (page_->PaneAt(i)->ViewType() == VIEW_TYPE_INTRADAY) intraday = page_->PaneAt(i);
  ASSERT_NE(intraday, nullptr);
  const ViewStockList *list = FindViewStockList(intraday->m_attr.HandOverList());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 3u);
  EXPECT_EQ(list->refCount, 1u);
  EXPECT_EQ(intraday->m_attr.HandOverPosition(), 1);
  EXPECT_EQ(LiveViewStockLists(), lists + 1);

  page_->SetActiveChild(intraday);
  commands_.SetChartPeriod(8);
  EXPECT_EQ(kline->m_attr.HandOverList(), intraday->m_attr.HandOverList());
  EXPECT_EQ(list->refCount, 2u);
  EXPECT_EQ(LiveViewStockLists(), lists + 1);
}

}  // namespace
