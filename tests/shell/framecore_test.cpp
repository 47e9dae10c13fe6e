#include "shell/framecore.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/shell/frame_world.h"
#include "views/openrecord.h"

namespace {

using frame_test::FrameWorld;
using frame_test::ViewLog;
using Calls = std::vector<std::string>;

class FanOutTest : public FrameWorld {
 protected:
  void Quote(STKPTR stock, bool head = false, uint32_t flags = 0x101) {
    const MFEVENTSLOT slot{stock.Word(), flags};
    core_->OnMfEvent(head ? kMfPriceHead : kMfQuote, reinterpret_cast<LPARAM>(&slot));
  }
};

// Views from the last to the first (one not laid out left out), then the
// stop engine, the order panel, the alarms, the index slot and the board.
TEST_F(FanOutTest, AQuoteGoesThroughEveryReceiverInItsOrder) {
  SplitInto(3);
  const STKPTR index = Find("000001", 0);
  Show(0, VIEW_TYPE_KLINE, index);
  Show(1, VIEW_TYPE_INTRADAY, index);
  Show(2, VIEW_TYPE_TEXT, index, false, /*layoutDone=*/false);
  indices_[0].stock = index.stock;
  orderStock_ = index;
  layout_ = 1;
  boardVisible_ = true;
  Quote(index);
  EXPECT_EQ(TakeCalls(), (Calls{"notify 0 1001", "notify 0 1002", "stop", "order", "alarm", "indices", "board"}));
  // A head-only item skips the stop engine.
  Quote(index, true);
  EXPECT_EQ(TakeCalls(), (Calls{"notify 0 1001", "notify 0 1002", "order", "alarm", "indices", "board"}));
  ASSERT_FALSE(ViewLog().empty());
  EXPECT_EQ(ViewLog().back().first, 0);
}

TEST_F(FanOutTest, TheOrderPanelAndTheAlarmsFollowTheirSwitches) {
  const STKPTR contract = Find("CU05", 3);
  orderStock_ = contract;
  struct Case {
    int layout;
    bool priceWord;
    bool alarms;
    Calls calls;
  } cases[] = {
      {0, false, true, {"stop", "alarm"}},          // a typed price stays
      {0, true, true, {"stop", "order", "alarm"}},  // "对手价" is refreshed
      {2, false, false, {"stop", "order"}},         // other layouts always; alarms off
  };
  for (const Case &c : cases) {
    layout_ = c.layout;
    priceWord_ = c.priceWord;
    alarmsOn_ = c.alarms;
    Quote(contract);
    EXPECT_EQ(TakeCalls(), c.calls) << c.layout << c.priceWord;
  }
  Quote(Find("CU06", 3));
  EXPECT_EQ(TakeCalls(), (Calls{"stop"})) << "another contract leaves the panel alone";
}

TEST_F(FanOutTest, OnlyTheIndexSlotOfTheQuotedStockChanges) {
  for (int i = 0; i < 3; ++i) indices_[i].stock = Find(frame_test::FrameWorld::IndexCode(i), kIndexSlotMarket[i]).stock;
  receivers_.checkStopOrders = nullptr;
  receivers_.checkAlarm = nullptr;
  const STKPTR shenzhen = Find("399001", 1);
  REALQUOTE &quote = MarketAt(1)->m_quotes[shenzhen.stock];
  quote.last = 9876543;
  Quote(shenzhen);
  EXPECT_EQ(indices_[1].values[1], 9876543u);
  EXPECT_EQ(indices_[0].values[1], 0u);
  EXPECT_EQ(indices_[2].values[1], 0u);
  // A market-1 stock whose index equals the third slot's touches nothing.
  ASSERT_NE(indices_[2].stock, indices_[1].stock);
  Quote(STKPTR(1, 0, indices_[2].stock));
  EXPECT_EQ(indices_[2].values[1], 0u);
  EXPECT_EQ(TakeCalls(), (Calls{"indices"}));
}

TEST_F(FanOutTest, MidnightInBeijingArmsTheAlarmsAgain) {
  SplitInto(1);
  Show(0, VIEW_TYPE_KLINE, Find("600000", 0));
  PreviousClockMinute = 0;
  struct Case {
    int minute;
    Calls calls;
  } cases[] = {
      {900, {"clock"}}, {901, {"clock"}}, {959, {"clock"}}, {960, {"clock", "rearm"}}, {961, {"clock"}},
      {900, {"clock"}}, {1020, {"clock"}},  // 23:00 then 1:00: a gap over midnight re-arms nothing
  };
  for (const Case &c : cases) {
    const size_t sends = sink_.sends.size();
    core_->OnMfEvent(kMfClockMinute, c.minute);
    EXPECT_EQ(TakeCalls(), c.calls) << c.minute;
    EXPECT_EQ(core_->clockMinute, c.minute);
    EXPECT_EQ(sink_.sends.size() - sends, c.calls.size() - 1) << "the re-armed alarms subscribe again";
  }
  PreviousClockMinute = 0;
}

// A stock to show: a linked chart takes it; else a view of the record's
// type comes into the active pane, an intraday one in the mode that
// "闪电图优先" asks for.
TEST_F(FanOutTest, AStockToShowGoesToALinkedChartOrANewViewInTheActivePane) {
  SplitInto(2);
  const STKPTR stock = Find("600036", 0);
  TMultiViewChild *linked = Show(0, VIEW_TYPE_KLINE, Find("600000", 0));
  Show(1, VIEW_TYPE_TEXT, Find("600000", 0), true);
  VIEW_ATTR_13 attributes{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &attributes);
  attributes.stock = stock;
  attributes.flags &= ~kViewFlagTickMode;
  tickFirst_ = true;
  core_->OnMfEvent(0, 0);  // no record: nothing
  const LPARAM ticket = KeepOpenRecord(attributes);
  core_->OnMfEvent(0, ticket);
  TMultiViewChild *made = page_->m_active;
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->ViewType(), VIEW_TYPE_INTRADAY);
  EXPECT_TRUE(SameStock(made->m_attr.stock, stock));
  EXPECT_TRUE(made->m_attr.flags & kViewFlagTickMode) << "turned to the tick chart";
  EXPECT_TRUE(SameStock(attributes.stock, stock)) << "the sender's record is left as it was";
  linked->m_linked = 1;
  const int panes = page_->PaneCount();
  ViewLog().clear();
  core_->OnMfEvent(0, ticket);  // a ticket is read once
  EXPECT_TRUE(ViewLog().empty());
  core_->OnMfEvent(0, KeepOpenRecord(attributes));
  EXPECT_EQ(page_->PaneCount(), panes);
  ASSERT_FALSE(ViewLog().empty());
  EXPECT_EQ(ViewLog()[0].view, linked);
  EXPECT_EQ(ViewLog()[0].code, 1);
}

class SubscriptionTest : public FrameWorld {
 protected:
  static std::vector<std::pair<int, int>> Pairs(const std::vector<STKMS> &entries) {
    std::vector<std::pair<int, int>> out;
    for (const STKMS &e : entries) out.push_back({int(e.market), int(e.stock)});
    return out;
  }
};

// The sources in their order, each stock once; an index stock a view shows
// is listed once too.
TEST_F(SubscriptionTest, SourcesComeInOrderAndEachStockOnce) {
  SplitInto(2);
  const STKPTR a = Find("600000", 0), b = Find("000001", 1), c = Find("600036", 0), index = Find("000001", 0);
  Show(0, VIEW_TYPE_KLINE, index);
  Show(1, VIEW_TYPE_INTRADAY, b);
  receivers_.positionStocks = [&](TSubscriptionBuilder &builder) {
    builder.Add(a);
    builder.Add(b);
  };
  receivers_.armedAlarmStocks = [&](TSubscriptionBuilder &builder) {
    builder.Add(a);
    builder.Add(c);
  };
  receivers_.linkSubscriptions = [](uint8_t (*records)[kLinkRecordSize], int) {
    std::memset(records[0], 0, kLinkRecordSize);
    std::memcpy(records[0] + kLinkCodeOffset, "M2409", 5);
    return 1;
  };
  indices_[0].stock = index.stock;
  core_->UpdateRealtimeSubscription(false);
  ASSERT_EQ(sink_.sends.size(), 1u);
  const STKPTR meal = Find("M09", 4);
  EXPECT_EQ(Pairs(sink_.sends[0].entries),
            (std::vector<std::pair<int, int>>{{4, meal.stock}, {0, a.stock}, {1, b.stock}, {0, c.stock},
                                              {1, b.stock}, {0, index.stock}}))
      << "views append their stocks themselves; the index goes through the duplicate test";
  EXPECT_EQ(sink_.sends[0].count, 6);
}

TEST_F(SubscriptionTest, AtMost256AndTheEarlierSourcesWin) {
  SplitInto(1);
  const STKPTR shown = Find("600000", 0);
  Show(0, VIEW_TYPE_KLINE, shown);
  const int first = Find("900000", 1).stock;
  receivers_.positionStocks = [&](TSubscriptionBuilder &builder) {
    for (int i = 0; i < kWideStocks; ++i) builder.Add(1, first + i);
  };
  core_->UpdateRealtimeSubscription(false);
  ASSERT_EQ(sink_.sends.size(), 1u);
  ASSERT_EQ(sink_.sends[0].entries.size(), 256u);
  EXPECT_EQ(int(sink_.sends[0].entries.back().stock), first + 255);
  for (const STKMS &e : sink_.sends[0].entries) EXPECT_NE(int(e.market), 0) << "the view's stock comes too late";
}

TEST_F(SubscriptionTest, DifferencesSendOnlyWhatChanged) {
  SplitInto(1);
  const STKPTR a = Find("600000", 0), b = Find("600036", 0), c = Find("600519", 0);
  std::vector<STKPTR> positions = {a, b};
  receivers_.positionStocks = [&](TSubscriptionBuilder &builder) {
    for (STKPTR s : positions) builder.Add(s);
  };
  core_->UpdateRealtimeSubscription(true);  // nothing subscribed yet: the whole list
  ASSERT_EQ(sink_.sends.size(), 1u);
  EXPECT_EQ(sink_.sends[0].count, 2);
  core_->UpdateRealtimeSubscription(true);
  EXPECT_EQ(sink_.sends.size(), 1u) << "nothing changed: nothing sent";
  positions = {a, b, c};
  core_->UpdateRealtimeSubscription(true);
  ASSERT_EQ(sink_.sends.size(), 2u);
  EXPECT_EQ(sink_.sends[1].count, 1);
  EXPECT_EQ(Pairs(sink_.sends[1].entries),
            (std::vector<std::pair<int, int>>{{0, c.stock}, {0, a.stock}, {0, b.stock}}));
  positions = {a, c};
  core_->UpdateRealtimeSubscription(true);
  ASSERT_EQ(sink_.sends.size(), 3u);
  EXPECT_EQ(sink_.sends[2].count, 0);
  EXPECT_EQ(Pairs(sink_.sends[2].entries), (std::vector<std::pair<int, int>>{{0, a.stock}, {0, c.stock}}));
  core_->UpdateRealtimeSubscription(false);
  ASSERT_EQ(sink_.sends.size(), 4u);
  EXPECT_EQ(sink_.sends[3].count, 2) << "without difference the whole list goes";
  // A reconnect starts without a subscription: the whole list again.
  sink_.Drop();
  core_->UpdateRealtimeSubscription(true);
  ASSERT_EQ(sink_.sends.size(), 5u);
  EXPECT_EQ(sink_.sends[4].count, 2);
}

TEST_F(SubscriptionTest, NoRightNoEntryAndNoPageNoList) {
  SplitInto(1);
  DSINFO none{};
  TakeOverRights(none);
  receivers_.positionStocks = [&](TSubscriptionBuilder &builder) { builder.Add(Find("600000", 0)); };
  core_->UpdateRealtimeSubscription(false);
  ASSERT_EQ(sink_.sends.size(), 1u);
  EXPECT_TRUE(sink_.sends[0].entries.empty());
  TMultiViewMain *none_page = nullptr;
  links_.page = &none_page;
  TFrameCore pageless(links_, receivers_);
  pageless.SetSubscriptionSink(&sink_);
  pageless.UpdateRealtimeSubscription(false);
  EXPECT_EQ(sink_.sends.size(), 1u);
}

}  // namespace
