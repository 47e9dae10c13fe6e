#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/emem.h"
#include "market/calendar.h"
#include "market/newsindex.h"
#include "platform/memory.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "testing/message_trace.h"
#include "tests/shell/frame_world.h"

namespace {

using frame_test::FrameWorld;
using frame_test::ViewLog;
using Calls = std::vector<std::string>;
using frame_test::F;
using frame_test::V;


class InboxTest : public FrameWorld {
 protected:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = -1;
    EXPECT_TRUE(core_->HandleMessage(message, wParam, lParam, result)) << message;
    return result;
  }
  Calls Sorted() {
    Calls calls = TakeCalls();
    std::sort(calls.begin(), calls.end());
    return calls;
  }
};

TEST_F(InboxTest, StockDataAnswersReachTheViewsTheirCommandNames) {
  SplitInto(5);
  const STKPTR stock = Find("600000", 0), other = Find("600036", 0);
  Show(0, VIEW_TYPE_KLINE, stock);
  Show(1, VIEW_TYPE_INTRADAY, stock);
  Show(2, VIEW_TYPE_TEXT, stock);
  Show(3, VIEW_TYPE_NEWS, STKPTR());
  TMultiViewChild *notes = Show(4, VIEW_TYPE_NOTES, STKPTR());
  notes->m_attr.currentBlock = 2;
  struct PastDay {
    uint32_t stock, value;
  } day{stock.Word(), 77};
  const LPARAM s = LPARAM(stock.Word());
  struct Case {
    int command;
    unsigned progress;
    LPARAM lParam;
    Calls calls;
  } cases[] = {
      {15, 0, 0, {V(TViewAction::ReloadHeadlines, 0)}},
      {15, 2, 1234, {V(TViewAction::ShowNewsFile, 1234)}},
      {16, 0, 2, {V(TViewAction::LoadNotes, 2)}},
      {16, 0, 0, {}},  // another channel
      {18, 0, s, {"notify 17 1002"}},
      {21, 0, s, {V(TViewAction::ShowSection, 1)}},
      {21, 0, LPARAM(other.Word()), {}},
      {31, 0, LPARAM(&day), {"notify 18 1001"}},
      {33, 0, s, {"notify 16 1002"}},
      {40, 1, s, {"notify 14 2004"}},
      {40, 2, s, {F(TFrameAction::InfoMineFill, 2), "notify 14 1002"}},
      {40, 3, s, {F(TFrameAction::InfoMineFill, 3), "notify 14 1001"}},
      {41, 1, s, {"notify 14 2004"}},
      {41, 5, s, {F(TFrameAction::InfoMineRefresh, 5)}},
      {102, 0, s, {V(TViewAction::RepaintDetails, 0), V(TViewAction::RepaintDetails, 0)}},
      {204, 0, 3, {F(TFrameAction::ShowInstantMessage, 3)}},
      {13, 0, s, {}},
      {14, 0, s, {}},
      {17, 0, s, {}},
      {19, 0, s, {}},
      {99, 0, s, {}},
      {12, 4 | 50 << 8, s, {}},  // bar answers go to the series agents only
  };
  for (const Case &c : cases) {
    Send(WM_STOCK_DATA, WPARAM(c.command) << 16 | c.progress, c.lParam);
    Calls expected = c.calls;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Sorted(), expected) << "command " << c.command << " progress " << c.progress;
  }
}

TEST_F(InboxTest, AKickOutFreesTheServersTextOnceAndStopsReconnecting) {
  auto *block = static_cast<char *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kSessionMessageSize));
  std::strcpy(block + kSessionMessageText, "同名用户已在别处登录");
  Send(WM_QUOTE_EVENT, kQuoteEventSessionEnd, LPARAM(block));  // freed here, under the sanitizers
  Send(WM_QUOTE_EVENT, kQuoteEventSessionEnd, 0);
  EXPECT_EQ(retryCounter_, -1);
  EXPECT_EQ(TakeCalls(), (Calls{"panel 0 未联机", "panel 0 未联机"}));
  const auto calls = boxes_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, "同名用户已在别处登录");
  EXPECT_EQ(calls[0].caption, "提示");
  EXPECT_EQ(calls[1].text, "由于其他同名用户登录，您已被行情服务器断开。  ");
}

TEST_F(InboxTest, ANetworkFailureAsksBeforeReconnecting) {
  for (int answer : {IDNO, IDYES}) {
    boxes_.QueueAnswer(answer);
    Send(WM_QUOTE_EVENT, 1, 0);
  }
  EXPECT_EQ(TakeCalls(), (Calls{"panel 0 未联机", "panel 0 未联机", F(TFrameAction::ReconnectQuestionYes, 0)}));
  const auto calls = boxes_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, "网络故障，与服务器的连接已断开。是否重新连接？  ");
  EXPECT_EQ(calls[0].caption, "错误");
  EXPECT_TRUE(calls[0].type & MB_YESNO);
}

// The year of a headline is market 0's, the year before when its day lies
// after today: 28 Feb shown an hour later in Tokyo is 1 March (2023), not
// 29 February (2024).
TEST_F(InboxTest, HeadlinesGoToTheTickerAndTheNewsViewsOfTheirType) {
  SplitInto(2);
  TMultiViewChild *all = Show(0, VIEW_TYPE_NEWS, STKPTR());
  Show(1, VIEW_TYPE_NEWS, STKPTR());
  receivers_.newsType = [all](TMultiViewChild *v) { return v == all ? 0u : 5u; };
  std::vector<std::pair<TMultiViewChild *, std::string>> lines;
  receivers_.view = [&](TViewAction action, TMultiViewChild *v, intptr_t arg) {
    ASSERT_EQ(action, TViewAction::InsertHeadline);
    const auto *line = reinterpret_cast<const TNewsLine *>(arg);
    lines.push_back({v, std::string(line->text) + "#" + std::to_string(line->newsId)});
  };
  MarketAt(0)->m_currentTime = MakePackedDateTime(2024, 1, 15, 10, 0);
  SelectTimeZone(&TimeZoneTable, 1);
  NEWSREC record{};
  record.typeAndRead = 2 << 1;
  record.dateTime = 240228 | 2330u << 20;
  record.id = 42;
  std::strcpy(record.title, "新闻一");
  Send(WM_NEWS_ARRIVED, 0, LPARAM(&record));
  record.dateTime = 240115 | 930u << 20;
  record.id = 43;
  std::strcpy(record.title, "新闻二");
  Send(WM_NEWS_ARRIVED, 0, LPARAM(&record));
  SelectTimeZone(&TimeZoneTable, 0);
  ASSERT_EQ(lines.size(), 2u) << "the view of type 5 takes no type-2 news";
  EXPECT_EQ(lines[0].first, all);
  EXPECT_EQ(lines[0].second, "   3/01  0:30 新闻一#42");
  EXPECT_EQ(lines[1].second, "   1/15 10:30 新闻二#43");
  ASSERT_NE(core_->tickerHead, nullptr);
  EXPECT_STREQ(core_->tickerHead->text, "新闻一");
  ASSERT_NE(core_->tickerHead->next, nullptr);
  EXPECT_STREQ(core_->tickerHead->next->text, "新闻二");
  EXPECT_GT(core_->tickerHead->width, 0);
}

// The ticker scrolls one pixel a step; once the first headline has left
// the panel the next comes in 30 pixels from its right edge and the first
// is freed; a lone headline starts again from the edge.
TEST_F(InboxTest, TheTickerScrollsEachHeadlineOutAndTheNextIn) {
  constexpr int kPanel = 100;
  EXPECT_FALSE(core_->StepTicker(kPanel)) << "nothing to scroll";
  NEWSREC record{};
  record.dateTime = 240115 | 930u << 20;
  for (const char *title : {"第一条", "第二条新闻"}) {
    std::strcpy(record.title, title);
    Send(WM_NEWS_ARRIVED, 0, LPARAM(&record));
  }
  const int first = core_->tickerHead->width, second = core_->tickerHead->next->width;
  for (int i = 1; i < first + kPanel; ++i) ASSERT_TRUE(core_->StepTicker(kPanel));
  EXPECT_EQ(core_->tickerOffset, first + kPanel - 1);
  EXPECT_STREQ(core_->tickerHead->text, "第一条");
  core_->StepTicker(kPanel);
  EXPECT_STREQ(core_->tickerHead->text, "第二条新闻");
  EXPECT_EQ(core_->tickerOffset, kPanel - 30);
  while (core_->tickerOffset != 0) ASSERT_TRUE(core_->StepTicker(kPanel));
  EXPECT_EQ(core_->tickerHead->next, nullptr);
  EXPECT_STREQ(core_->tickerHead->text, "第二条新闻") << "a lone headline comes round again";
  EXPECT_GT(second, first);
  core_->FreeTicker();
  EXPECT_FALSE(core_->StepTicker(kPanel));
}

// A burst of headlines keeps the newest 100: each one past that drops the
// oldest title that is not on screen; the scrolling one stays.
TEST_F(InboxTest, TheTickerKeepsTheNewestHundredTitles) {
  constexpr int kPanel = 100;
  NEWSREC record{};
  record.dateTime = 240115 | 930u << 20;
  auto titles = [&] {
    std::vector<std::string> out;
    for (auto *item = core_->tickerHead; item; item = item->next) out.push_back(item->text);
    return out;
  };
  for (int i = 0; i < 100; ++i) {
    std::snprintf(record.title, sizeof record.title, "T%03d", i);
    Send(WM_NEWS_ARRIVED, 0, LPARAM(&record));
  }
  for (int i = 0; i < 20; ++i) core_->StepTicker(kPanel);  // T000 is on screen
  ASSERT_EQ(titles().size(), 100u);
  for (int i = 100; i < 1100; ++i) {
    std::snprintf(record.title, sizeof record.title, "T%03d", i);
    Send(WM_NEWS_ARRIVED, 0, LPARAM(&record));
  }
  const std::vector<std::string> kept = titles();
  ASSERT_EQ(kept.size(), 100u);
  EXPECT_EQ(kept[0], "T000") << "the title on screen stays";
  EXPECT_EQ(kept[1], "T1001");
  EXPECT_EQ(kept.back(), "T1099");
  core_->FreeTicker();
}

// "数据刷新" and the mouse over the frame's border reach only the active
// view, and the refresh only a chart.
TEST_F(InboxTest, TheDataRefreshAndTheBorderMouseReachTheActiveView) {
  SplitInto(2);
  TMultiViewChild *chart = Show(0, VIEW_TYPE_KLINE, Find("600000", 0), true);
  core_->RefreshHistory();
  EXPECT_EQ(TakeCalls(), (Calls{V(TViewAction::RefreshHistory, 0)}));
  testing_support::MessageTrace trace;
  trace.Attach(chart->Handle());
  Send(WM_NCMOUSEMOVE, HTLEFT, MAKELPARAM(5, 5));
  harness_.Pump();
  ASSERT_EQ(trace.Count(WM_NCMOUSEMOVE, chart->Handle()), 1u);
  EXPECT_EQ(trace.Messages().back().wParam, 0u);
  Show(1, VIEW_TYPE_REPORT, STKPTR(), true);
  core_->RefreshHistory();
  page_->m_active = nullptr;  // no active view
  Send(WM_NCMOUSEMOVE, HTLEFT, 0);
  harness_.Pump();
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_EQ(trace.Count(WM_NCMOUSEMOVE, chart->Handle()), 1u);
}

TEST_F(InboxTest, ALinkedViewSwitchesTheOtherLinkedCharts) {
  SplitInto(4);
  const STKPTR stock = Find("600036", 0);
  TMultiViewChild *sender = Show(0, VIEW_TYPE_KLINE, stock);
  TMultiViewChild *linked = Show(1, VIEW_TYPE_INTRADAY, Find("600000", 0));
  TMultiViewChild *unlinked = Show(2, VIEW_TYPE_INTRADAY, Find("600000", 0));
  TMultiViewChild *text = Show(3, VIEW_TYPE_TEXT, Find("600000", 0));
  sender->m_linked = linked->m_linked = text->m_linked = 1;
  unlinked->m_linked = 0;
  sender->m_attr.currentBlock = 7;
  Send(WM_LINKED_STOCK_CHANGED, 0, sender->PaneParam());
  ASSERT_EQ(ViewLog().size(), 1u);
  EXPECT_EQ(ViewLog()[0].view, linked);
  EXPECT_EQ(ViewLog()[0].code, 1);
  EXPECT_EQ(ViewLog()[0].stock, stock.Word());
  EXPECT_EQ(ViewLog()[0].first, 7);
  ViewLog().clear();
  sender->m_linked = 0;
  Send(WM_LINKED_STOCK_CHANGED, 0, sender->PaneParam());
  Send(WM_LINKED_STOCK_CHANGED, 0, 0);
  EXPECT_TRUE(ViewLog().empty());
}

// A changed formula's name comes as a heap copy: every K-line view reads it
// while it is forwarded, and the main window frees it afterwards (the
// sanitizers would report a leak or a late read).
TEST_F(InboxTest, AChangedFormulasNameReachesEveryKLineViewAndIsFreedAfterwards) {
  SplitInto(3);
  TMultiViewChild *first = Show(0, VIEW_TYPE_KLINE, Find("600000", 0));
  TMultiViewChild *second = Show(1, VIEW_TYPE_KLINE, Find("600036", 0));
  Show(2, VIEW_TYPE_INTRADAY, Find("600000", 0));
  static std::vector<std::string> seen;
  seen.clear();
  testing_support::MessageTrace trace;
  for (TMultiViewChild *view : {first, second}) {
    trace.Attach(view->Handle());
    trace.SetHandler(view->Handle(), [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == WM_INDEX_CHANGED) seen.push_back(reinterpret_cast<const char *>(wParam));
      return DefWindowProcA(hwnd, message, wParam, lParam);
    });
  }
  auto *name = static_cast<char *>(Malloc(16));
  std::strcpy(name, "MACD");
  Send(WM_INDEX_CHANGED, WPARAM(name), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"MACD", "MACD"}));
}

// The contract is looked for in every futures market, as given and in its
// '1' form, and the posted record stays as it came.
TEST_F(InboxTest, ATradeContractIsShownFromAnyFuturesMarketWithoutChangingTheRecord) {
  SplitInto(1);
  TMultiViewChild *chart = Show(0, VIEW_TYPE_KLINE, Find("600000", 0), true);
  uint8_t record[kLinkRecordSize] = {};
  std::memcpy(record + kLinkCodeOffset, "M2409", 5);
  uint8_t copy[kLinkRecordSize];
  std::memcpy(copy, record, sizeof copy);
  Send(WM_TRADE_VIEWS_UPDATE, 1, LPARAM(record));
  EXPECT_EQ(std::memcmp(record, copy, sizeof copy), 0);
  const STKPTR meal = Find("M09", 4);
  ASSERT_EQ(ViewLog().size(), 1u);
  EXPECT_EQ(ViewLog()[0].code, 1);
  EXPECT_EQ(ViewLog()[0].stock, meal.Word());
  EXPECT_EQ(ViewLog()[0].first, 4);
  EXPECT_EQ(chart->m_attr.currentBlock, 4u);
  // A short form finds the first market's contract; an unknown code nothing.
  EXPECT_NE(core_->FindFuturesContract("SR409"), nullptr);
  EXPECT_EQ(core_->FindFuturesContract("XX409"), nullptr);
  EXPECT_EQ(core_->FindFuturesContract(""), nullptr);
}

TEST_F(InboxTest, DisplaySettingsReachTheViewsTheyConcern) {
  SplitInto(2);
  TMultiViewChild *kline = Show(0, VIEW_TYPE_KLINE, Find("600000", 0));
  Show(1, VIEW_TYPE_INTRADAY, Find("600000", 0));
  WritePrivateProfileStringA("PARAMETER", "ZoomLevel", "20", (std::string(UserDataPath) + "clrfont.INI").c_str());
  Send(WM_DISPLAY_SETTINGS_CHANGED, 0, 3);
  Send(WM_DISPLAY_SETTINGS_CHANGED, 0, 5);
  EXPECT_EQ(TakeCalls(), (Calls{V(TViewAction::SetZoomLevel, 20), V(TViewAction::SetTickZoom, 3)}));
  Send(WM_DISPLAY_SETTINGS_CHANGED, 0, 7);
  ASSERT_EQ(ViewLog().size(), 1u);
  EXPECT_EQ(ViewLog()[0].what, "fonts");
  EXPECT_EQ(ViewLog()[0].view, kline);
}

TEST_F(InboxTest, MessagesWithoutTheirClientOrPageChangeNothing) {
  for (UINT message : {WM_MF_CONNECT, WM_SERVER_TEXT, WM_CODE_TABLE_PROGRESS, WM_ACTIVE_CHART_REINIT,
                       WM_KLINE_PROPERTY_CHANGED, WM_OPEN_TRADING, WM_TRADE_NOTIFY, WM_BLOCK_DELETED})
    Send(message, 1, 0);
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_TRUE(boxes_.Calls().empty());
  LRESULT result = 0;
  EXPECT_FALSE(core_->HandleMessage(WM_PAINT, 0, 0, result));
}

TEST(FrameBorder, HitTestGivesTheBorderCodes) {
  struct Case {
    bool maximised;
    int x, y, code;
  } cases[] = {
      {false, -1, -1, 13}, {false, -1, 50, 10}, {false, -1, 96, 16}, {false, 50, -1, 12}, {false, 50, 50, -1},
      {false, 50, 96, 15}, {false, 196, -1, 14}, {false, 196, 50, 11}, {false, 196, 96, 17}, {true, -1, -1, -1},
  };
  for (const Case &c : cases) EXPECT_EQ(FrameHitTest(c.maximised, c.x, c.y, 200, 100), c.code) << c.x << "," << c.y;
}

}  // namespace
