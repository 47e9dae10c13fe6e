// The integrated ranking view: its six-answer chain against the quote
// double, the ranking of answer files (defaults, ties, short files), the
// keys across the nine panels, the restart of the chain on larger panes,
// opening an instrument, and the picture of the 3 x 3 panels.
#include "views/intesort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "market/answer.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "platform/messages.h"
#include "testing/pump.h"
#include "testing/quote_loop.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/openrecord.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

using testing_support::QuoteLoop;
using testing_support::RecordingFrameHost;
using testing_support::ReportWorld;
using testing_support::ViewHarness;
using testing_support::ViewPage;

namespace {

VIEW_ATTR_13 RankingRecord(int blockId) {
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_RANKING, &r);
  r.tabIds[0] = uint16_t(blockId);
  return r;
}

std::vector<int> PanelStocks(const TRankingCore &core, int panel) {
  std::vector<int> out;
  const auto &rows = core.panels[panel].rows;
  for (int i = 0; i < rows.GetCount(); ++i) out.push_back(rows.GetAt(i).stock.stock);
  return out;
}

// The order a ranking must give: stable, best first.
std::vector<int> Ranked(const std::vector<int> &stocks, const std::vector<double> &values, bool descending, size_t n) {
  std::vector<size_t> order(stocks.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return descending ? values[a] > values[b] : values[a] < values[b]; });
  std::vector<int> out;
  for (size_t i = 0; i < std::min(n, order.size()); ++i) out.push_back(stocks[order[i]]);
  return out;
}

// ---- Against the quote double ------------------------------------------------------------------

class RankingChainTest : public testing::Test {
 protected:
  RankingChainTest() {
    for (int i = 0; i < kViewColorCount; ++i) colors_[i] = RGB(BYTE(i * 4), BYTE(200 - i * 3), BYTE(60 + i * 2));
    // A dark theme with the ranking's colours far apart, for the picture.
    colors_[0] = RGB(0, 0, 0);
    colors_[16] = RGB(16, 16, 24);     // panel
    colors_[18] = RGB(0, 200, 0);      // down
    colors_[19] = RGB(230, 230, 230);  // equal
    colors_[20] = RGB(255, 60, 60);    // up
    colors_[25] = RGB(255, 255, 0);    // selection
    colors_[46] = RGB(200, 200, 120);  // names
    colors_[47] = RGB(120, 120, 160);  // no value
    for (VIEWFONTDEF &f : fonts_) f = VIEWFONTDEF{0, "宋体", 12};
    saved_ = ViewDisplay();
    ViewDisplay().colors = colors_;
    ViewDisplay().fonts = fonts_;
    host_.online = true;
  }
  ~RankingChainTest() override { ViewDisplay() = saved_; }

  ViewHarness harness_;
  QuoteLoop loop_;
  RecordingFrameHost host_;
  COLORREF colors_[kViewColorCount];
  VIEWFONTDEF fonts_[kViewFontCount];
  TViewDisplay saved_;
};

TEST_F(RankingChainTest, SixAnswersFillTheNinePanelsInBlockOrderForTies) {
  ASSERT_TRUE(loop_.Connected());
  // Block 5: market 0's kind 1 (markets 0..3, then market 0's kinds 0, 1, 2).
  const int block = 5;
  ASSERT_TRUE(TRankingCore::IsRankingBlock(block));
  const VIEW_ATTR_13 record = RankingRecord(block);
  ViewPage page(VIEW_TYPE_RANKING, &record, 900, 600);
  TInteSort *v = page.View<TInteSort>();
  ASSERT_NE(v, nullptr);
  loop_.viewByTag = [v](uint32_t tag) { return tag == v->m_requestTag ? v->Handle() : nullptr; };
  ASSERT_TRUE(testing_support::PumpUntil([&] {
    return v->Core().panels[8].rows.GetCount() > 0 && QuoteLoop::Idle();
  }, 10000));
  harness_.Pump();
  EXPECT_EQ(v->RequestsSent(), 6);
  EXPECT_EQ(v->LastRequestKind(), 5);
  // The answers' files are gone.
  for (const auto &e : std::filesystem::directory_iterator(loop_.Box().Path("tmp")))
    EXPECT_NE(e.path().extension(), ".tmp") << e.path();

  // The block and what the double answers for it.
  const BLOCK *b = FindBlockById(block);
  ASSERT_NE(b, nullptr);
  std::vector<int> stocks;
  std::vector<double> rise, fall;
  for (int i = 0; i < b->memberCount; ++i) {
    const int s = b->members[i].stock;
    stocks.push_back(s);
    const auto series = market_fixture::BuildSeries(loop_.DataSet(), 0, s);
    const double a = float(series.quote.last), bb = float(series.quote.refPrice);
    rise.push_back(a != 0 && bb != 0 ? (a - bb) / bb * 100 : -1e15);
    const REALQUOTE &q = MarketTable.markets[0]->m_quotes[s];
    fall.push_back(q.last && q.refPrice ? (double(q.last) - q.refPrice) / q.refPrice * 100 : 1e15);
  }
  ASSERT_GT(stocks.size(), 20u);
  EXPECT_EQ(PanelStocks(v->Core(), 0), Ranked(stocks, rise, true, 20));
  EXPECT_EQ(PanelStocks(v->Core(), 3), Ranked(stocks, fall, false, 20));
  for (int p = 0; p < kRankingPanels; ++p) EXPECT_EQ(v->Core().panels[p].rows.GetCount(), 20) << p;

  // The picture: panel fill COLOR17, its frame the inverse, the selection in COLOR26.
  harness_.Pump();
  const RankingPanelMetrics &m = v->Metrics();
  InteSortChild *p0 = v->Panel(0);
  EXPECT_EQ(harness_.Pixel(p0->m_hWnd, 0, 0), colors_[16] ^ 0xFFFFFF);
  EXPECT_EQ(harness_.Pixel(p0->m_hWnd, 1, m.rowHeight - 2), colors_[16]);
  EXPECT_EQ(harness_.Pixel(p0->m_hWnd, 2, m.rowHeight + 2), colors_[25]);
  EXPECT_EQ(harness_.Pixel(v->Panel(4)->m_hWnd, 2, m.rowHeight + 2), colors_[16]);
  harness_.SavePng(harness_.Render(page.Window()->Handle()), "ranking_panels");
}

// ---- Ranking answer files ----------------------------------------------------------------------------

class RankingFileTest : public testing::Test {
 protected:
  RankingFileTest() : world_(8) {
    for (int s = 0; s < 8; ++s) world_.PutQuote(4, s);
    core_.SetRowsPerPanel(3);
  }
  // Records of 11 bytes (A, B) for the big market's stocks in order.
  std::string Write(const std::vector<std::pair<float, float>> &records, int size = 11) {
    std::string bytes;
    for (size_t i = 0; i < records.size(); ++i) {
      uint8_t r[15] = {4, uint8_t(i), 0};
      std::memcpy(r + 3, &records[i].first, 4);
      std::memcpy(r + 7, &records[i].second, 4);
      bytes.append(reinterpret_cast<char *>(r), size_t(size));
    }
    world_.Box().Write("rank.tmp", bytes.data(), bytes.size());
    return "..\\rank.tmp";
  }
  ViewHarness harness_;
  ReportWorld world_;
  TRankingCore core_;
};

TEST_F(RankingFileTest, TiesKeepBlockOrderAndTheDefaultsSortLast) {
  ASSERT_TRUE(core_.SetBlock(4));
  ASSERT_EQ(core_.count, 8);
  // Rise: stocks 1 and 4 have no B, 6 no A: they keep -1e15 and come last.
  // Stocks 2, 3 and 5 tie.
  const std::string path = Write({{11, 10}, {12, 0}, {10.5f, 10}, {10.5f, 10}, {13, 0}, {10.5f, 10}, {0, 10}, {9, 10}});
  // Fall (live quotes): stock 7 has no last price, stock 0 no reference.
  world_.Quote(4, 7).last = 0;
  world_.Quote(4, 0).refPrice = 0;
  world_.Quote(4, 3).last = 9000;
  ASSERT_TRUE(core_.LoadRankingFile(1, path.c_str()));
  EXPECT_EQ(PanelStocks(core_, 0), (std::vector<int>{0, 2, 3, 5, 7, 1, 4, 6}));
  EXPECT_EQ(core_.panels[0].rows.GetCount(), 8);
  EXPECT_EQ(PanelStocks(core_, 3), (std::vector<int>{3, 1, 2, 4, 5, 6, 0, 7}));
  EXPECT_EQ(core_.values[7], 1e15);
  // Kind 1 shows column 11 in the colour of the price class.
  const ISCI down = core_.panels[3].rows.GetAt(0);
  EXPECT_EQ(down.flags, 0u);
  const ISCI up = core_.panels[3].rows.GetAt(1);
  EXPECT_EQ(up.flags, kIsciPriceUp | kIsciValueUp);
}

TEST_F(RankingFileTest, PassesOfEveryKind) {
  ASSERT_TRUE(core_.SetBlock(4));
  struct Case {
    int kind;
    std::vector<std::pair<float, float>> records;
    int size;
    int panel;
    std::vector<int> order;
    std::vector<double> top;
  };
  const std::vector<Case> cases = {
      // Five-minute change (A - B) x 100 / B, both directions from one file.
      // A B that truncates to 0 keeps 0; stocks without a record too.
      {6, {{11, 10}, {9, 10}, {10, 10}, {12, 0.5f}}, 11, 1, {0, 2, 3, 4}, {10, 0, 0}},
      {6, {{11, 10}, {9, 10}, {10, 10}, {12, 0.5f}}, 11, 4, {1, 2, 3, 4}, {-10, 0, 0}},
      // Order ratio (A - B) x 100 / (A + B); a zero sum keeps 0.
      {2, {{3, 1}, {0, 0}, {1, 3}}, 11, 2, {0, 1, 3}, {50, 0, 0}},
      {2, {{3, 1}, {0, 0}, {1, 3}}, 11, 5, {2, 1, 3}, {-50, 0, 0}},
      // Turnover A x 0.0001 from short records.
      {5, {{20000, 0}, {50000, 0}}, 8, 8, {1, 0, 2}, {5, 2, 0}},
      // Volume ratio: a B outside (0.01, 1e8) keeps 1.0; short file: the rest too.
      {4, {{10, 0}, {10, 0.001f}}, 11, 7, {0, 1, 2}, {1, 1, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind * 10 + c.panel);
    const std::string path = Write(c.records, c.size);
    ASSERT_TRUE(core_.LoadRankingFile(c.kind, path.c_str()));
    std::vector<int> got = PanelStocks(core_, c.panel);
    got.resize(c.order.size());
    EXPECT_EQ(got, c.order);
    for (size_t i = 0; i < c.top.size(); ++i) EXPECT_NEAR(core_.panels[c.panel].rows.GetAt(int(i)).value, c.top[i], 1e-4);
  }
  // A record whose numbers are no numbers ranks at the default, behind the rest.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::string damaged = Write({{nan, 10}, {11, 10}, {9, 10}});
  ASSERT_TRUE(core_.LoadRankingFile(6, damaged.c_str()));
  std::vector<int> got = PanelStocks(core_, 1);
  got.resize(3);
  EXPECT_EQ(got, (std::vector<int>{1, 0, 3}));
  EXPECT_EQ(core_.panels[1].rows.GetAt(1).value, 0);
  // Kinds outside 1..6 and a block without stocks change nothing.
  EXPECT_FALSE(core_.LoadRankingFile(7, "..\\rank.tmp"));
  core_.blockId = 999;
  EXPECT_FALSE(core_.LoadRankingFile(1, "..\\rank.tmp"));
}

TEST(RankTopTest, GivesTheFirstEntriesOfThePassSort) {
  std::mt19937 random(5);
  std::vector<int> order;
  for (int round = 0; round < 50; ++round) {
    const int count = 1 + int(random() % 300), n = 1 + int(random() % 40), direction = int(random() % 2);
    std::vector<STKPTR> a(static_cast<size_t>(count)), b;
    std::vector<double> va(static_cast<size_t>(count)), vb;
    for (int i = 0; i < count; ++i) {
      a[size_t(i)] = STKPTR(4, 0, i);
      va[size_t(i)] = double(random() % 7) - 3;  // many ties
      if (random() % 10 == 0) va[size_t(i)] = direction ? -1e15 : 1e15;
    }
    b = a;
    vb = va;
    SortTopByValue(a.data(), va.data(), count, n, direction);
    RankTopByValue(b.data(), vb.data(), count, n, direction, order);
    for (int k = 0; k < std::min(n, count); ++k) {
      ASSERT_EQ(a[size_t(k)].stock, b[size_t(k)].stock) << round << " " << k;
      ASSERT_EQ(va[size_t(k)], vb[size_t(k)]);
    }
  }
}

// ---- Keys ------------------------------------------------------------------------------------------

TEST(RankingKeysTest, ArrowsWrapAcrossTheNinePanels) {
  struct Case {
    int panel, row;
    WORD key;
    int toPanel, toRow;
  };
  const Case cases[] = {
      {1, 0, VK_UP, 7, 4},    {4, 0, VK_UP, 1, 4},    {4, 2, VK_UP, 4, 1},    {8, 4, VK_DOWN, 2, 0},
      {2, 4, VK_DOWN, 5, 0},  {2, 1, VK_DOWN, 2, 2},  {5, 2, VK_RIGHT, 3, 2}, {4, 3, VK_RIGHT, 5, 3},
      {0, 2, VK_LEFT, 2, 2},  {7, 1, VK_LEFT, 6, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.panel << "/" << c.row << " key " << c.key);
    TRankingCore core;
    core.SetRowsPerPanel(5);
    core.currentPanel = c.panel;
    core.panels[c.panel].selected = c.row;
    int left = -1, entered = -1;
    core.Key(c.key, &left, &entered);
    EXPECT_EQ(core.currentPanel, c.toPanel);
    EXPECT_EQ(core.panels[c.toPanel].selected, c.toRow);
    if (c.toPanel != c.panel) {
      EXPECT_EQ(core.panels[c.panel].selected, -1);
      EXPECT_EQ(left, c.panel);
    }
    EXPECT_EQ(entered, c.toPanel);
  }
  // Rows from y: the title band selects row 0, then one row per height.
  TRankingCore core;
  core.SetRowsPerPanel(5);
  EXPECT_EQ(core.RowFromY(3, 16), 0);
  EXPECT_EQ(core.RowFromY(16, 16), 0);
  EXPECT_EQ(core.RowFromY(33, 16), 1);
  EXPECT_EQ(core.RowFromY(500, 16), 4);
}

// ---- The view in a page -----------------------------------------------------------------------------

class RankingViewTest : public testing::Test {
 protected:
  RankingViewTest() : world_(8) {
    host_.online = true;
    DSINFO grant{};
    std::memset(grant.marketRights, 0xFF, sizeof grant.marketRights);
    TakeOverRights(grant);
    ResetRequestQueue();
  }
  ~RankingViewTest() override {
    ResetRequestQueue();
    ClearRights();
    RankingServices() = TRankingServices{};
  }
  // Quotes for the given stocks of market 0, then an (empty) answer file
  // for the view's block, read as the request's answer.
  void LoadAnswer(TInteSort *v, std::initializer_list<int> stocks) {
    harness_.Pump();
    for (int stock : stocks) world_.PutQuote(0, stock);
    world_.Box().Write("tmp/11.tmp", "", 0);
    std::snprintf(AnswerHooks().tempFolder, sizeof AnswerHooks().tempFolder, "..\\tmp\\");
    SendMessageA(v->Handle(), WM_SORT_DATA_READY, 11, 1);
    AnswerHooks().tempFolder[0] = 0;
  }

  ViewHarness harness_;
  ReportWorld world_;
  RecordingFrameHost host_;
};

TEST_F(RankingViewTest, LargerPanesRestartTheChainOnlyAboveTwentyRows) {
  // Markets 0..4, market 0 with two kinds: block 6 is market 0's kind 1.
  const VIEW_ATTR_13 record = RankingRecord(6);
  ASSERT_TRUE(TRankingCore::IsRankingBlock(6));
  ViewPage page(VIEW_TYPE_RANKING, &record, 600, 300);
  TInteSort *v = page.View<TInteSort>();
  ASSERT_NE(v, nullptr);
  harness_.Pump();
  EXPECT_EQ(v->RequestsSent(), 1);
  EXPECT_EQ(v->LastRequestKind(), 1);
  const int rh = v->Metrics().rowHeight;
  ASSERT_GT(rh, 0);
  for (int rows : {10, 20}) {
    page.Window()->SetClientSize(600, 3 * rh * (rows + 1) + rh);
    harness_.Pump();
    EXPECT_EQ(v->Metrics().rowsPerPanel, rows);
    EXPECT_EQ(v->RequestsSent(), 1);
  }
  page.Window()->SetClientSize(600, 3 * rh * 22 + rh);
  harness_.Pump();
  EXPECT_EQ(v->Metrics().rowsPerPanel, 21);
  EXPECT_EQ(v->RequestsSent(), 2);

  // A missing answer file changes nothing; a present one of another block
  // is read and deleted.
  SendMessageA(v->Handle(), WM_SORT_DATA_READY, 4242, 1);
  EXPECT_EQ(v->Core().panels[0].rows.GetCount(), 0);
  EXPECT_EQ(v->RequestsSent(), 2);
}

TEST_F(RankingViewTest, EnterOpensTheSelectedRowAsAChartAndEmptyRowsDoNothing) {
  const VIEW_ATTR_13 record = RankingRecord(6);
  ViewPage page(VIEW_TYPE_RANKING, &record, 600, 400);
  TInteSort *v = page.View<TInteSort>();
  ASSERT_NE(v, nullptr);
  LoadAnswer(v, {1, 2});
  EXPECT_FALSE(world_.Box().Exists("tmp/11.tmp"));
  ASSERT_EQ(v->Core().panels[3].rows.GetCount(), 2);  // a block of two: both shown
  EXPECT_EQ(v->RequestsSent(), 2);                   // and the chain goes on
  EXPECT_EQ(v->LastRequestKind(), 6);

  // Panel 0 row 0: every value is the default, so block order.
  host_.ClearMessages();
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  harness_.Pump();
  ASSERT_EQ(host_.Count(WM_MF_EVENT), 1u);
  VIEW_ATTR_13 open{};
  ASSERT_TRUE(TakeOpenRecord(host_.Messages().back().lParam, &open));
  EXPECT_EQ(open.viewType, VIEW_TYPE_KLINE);
  EXPECT_EQ(open.stock.stock, 1);
  EXPECT_EQ(open.currentBlock, 6u);
  RankingServices().trendChartFirst = [] { return true; };
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  harness_.Pump();
  ASSERT_TRUE(TakeOpenRecord(host_.Messages().back().lParam, &open));
  EXPECT_EQ(open.viewType, VIEW_TYPE_INTRADAY);
  // Row 2 of a panel of two rows does nothing.
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  host_.ClearMessages();
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  harness_.Pump();
  EXPECT_EQ(host_.Count(WM_MF_EVENT), 0u);
  EXPECT_TRUE(v->SelectedStock().IsNone());
}

// Escape queues the page's back step, Enter then opens the selected row:
// the back step replaces the view before the main window reads the opening,
// which must still find the whole record.
TEST_F(RankingViewTest, EscapeThenEnterOpensARecordThatOutlivesTheView) {
  const VIEW_ATTR_13 record = RankingRecord(6);
  ViewPage page(VIEW_TYPE_RANKING, &record, 600, 400);
  TInteSort *v = page.View<TInteSort>();
  ASSERT_NE(v, nullptr);
  LoadAnswer(v, {1});
  ASSERT_FALSE(v->SelectedStock().IsNone());
  host_.ClearMessages();
  PostMessageA(v->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(v->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  harness_.Pump();
  ASSERT_EQ(page.View<TInteSort>(), nullptr) << "the back step replaced the view";
  ASSERT_EQ(host_.Count(WM_MF_EVENT), 1u);
  LPARAM ticket = 0;
  for (const auto &m : host_.Messages())
    if (m.message == WM_MF_EVENT) ticket = m.lParam;
  VIEW_ATTR_13 open{};
  ASSERT_TRUE(TakeOpenRecord(ticket, &open));
  EXPECT_EQ(open.viewType, VIEW_TYPE_KLINE);
  EXPECT_EQ(open.stock.stock, 1);
  EXPECT_EQ(open.currentBlock, 6u);
  EXPECT_FALSE(TakeOpenRecord(ticket, &open)) << "taken once";
}

TEST_F(RankingViewTest, AViewWithoutItsBlockIsInert) {
  const VIEW_ATTR_13 record = RankingRecord(400);
  ViewPage page(VIEW_TYPE_RANKING, &record, 600, 400);
  TInteSort *v = page.View<TInteSort>();
  ASSERT_NE(v, nullptr);
  harness_.Pump();
  EXPECT_EQ(v->Panel(0), nullptr);
  EXPECT_EQ(v->RequestsSent(), 0);
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(v->Notify(8, 0, 1, 0), 1);
  EXPECT_EQ(v->RequestsSent(), 0);
}

}  // namespace
