// The quote report against the quote double on loopback: a column the
// server sorts is asked for over the block (by id for market blocks, by
// member list for user blocks), the double ranks what it holds, the answer
// reaches the report through the request client, and the rows show in the
// order of the column's values (a second double click on the header turns
// it round); paging asks the double for the fast changes of the new page,
// and an answer that comes after the tab changed is deleted unread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "market/answer.h"
#include "market/blocks.h"
#include "market/nclient_frames.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "testing/pump.h"
#include "testing/quote_loop.h"
#include "testing/report_host.h"
#include "testing/view_harness.h"
#include "views/colschemes.h"
#include "views/report.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

using testing_support::QuoteLoop;
using testing_support::RecordingFrameHost;
using testing_support::ReportPage;
using testing_support::ViewHarness;

namespace {

class ReportServerSortTest : public testing::Test {
 protected:
  ReportServerSortTest() {
    for (int i = 0; i < kViewColorCount; ++i) colors_[i] = RGB(BYTE(i * 3), BYTE(255 - i * 3), BYTE(i));
    for (VIEWFONTDEF &f : fonts_) f = VIEWFONTDEF{0, "宋体", 12};
    saved_ = ViewDisplay();
    ViewDisplay().colors = colors_;
    ViewDisplay().fonts = fonts_;
    host_.online = true;
    AnswerHooks().redrawFastChange = [this](uint32_t tag) {
      if (report_ && tag == report_->m_requestTag) {
        ++redrawn_;
        report_->RedrawFastChangeColumn();
      }
    };
  }
  ~ReportServerSortTest() override {
    page_.reset();
    FreeColumnSchemes();
    ViewDisplay() = saved_;
  }

  TReport *Open() {
    page_ = std::make_unique<ReportPage>(640, 400);
    harness_.Pump();
    report_ = page_->Report();
    if (report_) loop_.viewByTag = [r = report_](uint32_t tag) { return tag == r->m_requestTag ? r->Handle() : nullptr; };
    return report_;
  }

  // Sorts by a column through the server, as the header's double click
  // does, and waits for the answer.
  void SortByServer(int column) {
    const size_t asked = loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA).size();
    report_->Core().sortColumn = column;
    report_->Core().direction = 1;
    report_->toTop = true;
    SendMessageA(report_->Handle(), WM_REPORT_SORT_COLUMN, WPARAM(column), 0);
    ASSERT_TRUE(testing_support::PumpUntil(
        [&] { return loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA).size() > asked && QuoteLoop::Idle(); },
        8000));
    harness_.Pump();
  }

  // The rows' values of a column as the report shows them (rows without a
  // value count as 0, as the server's default puts them).
  std::vector<double> Shown(int column) {
    std::vector<double> out;
    for (int i = 0; i < report_->Core().rowCount; ++i) {
      double v = 0;
      if (!GetColumnValue(report_->Core().RowStock(i).Word(), column, &v)) v = 0;
      out.push_back(v);
    }
    return out;
  }

  // Files left in the answer folder.
  int AnswerFiles() {
    int n = 0;
    for (const auto &e : std::filesystem::directory_iterator(loop_.Box().Path("tmp"))) n += e.path().extension() == ".tmp";
    return n;
  }

  ViewHarness harness_;
  QuoteLoop loop_;
  RecordingFrameHost host_;
  COLORREF colors_[kViewColorCount];
  VIEWFONTDEF fonts_[kViewFontCount];
  TViewDisplay saved_;
  std::unique_ptr<ReportPage> page_;
  TReport *report_ = nullptr;
  int redrawn_ = 0;
};

TEST_F(ReportServerSortTest, AMarketBlockIsRankedByIdAndShownInTheColumnsOrder) {
  ASSERT_TRUE(loop_.Connected());
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  // The futures market: prices of divisors 1 and 100 side by side.
  const int futures = 3;
  ASSERT_TRUE(r->OpenBlockTab(futures, false));
  ASSERT_EQ(r->CurrentBlock()->kind, kBlockMarket);
  const int members = r->CurrentBlock()->memberCount;
  ASSERT_GT(members, 8);

  struct Case {
    int column;       // what the report shows and sorts by
    int sentAs;  // the server's column code in the request
  } cases[] = {
      {kColChange, 14}, {kColLast, 4}, {kColHigh, 2}, {kColChangePercent, 15},
      {kColStrength, 17},  // one leading record more
      {12, 13},            // amplitude: records of 15 bytes
      {20, 18},            // order ratio
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.column);
    loop_.Double().ClearFrames();
    SortByServer(c.column);
    const auto frames = loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA);
    ASSERT_EQ(frames.size(), 1u);
    const std::vector<uint8_t> body = frames[0].Body();
    ASSERT_EQ(body.size(), 7u);  // a block by its id
    EXPECT_EQ(body[0], c.sentAs);
    EXPECT_EQ(body[1], 1);
    EXPECT_EQ(body[5] | body[6] << 8, futures);

    ASSERT_EQ(r->Core().rowCount, members);
    const std::vector<double> shown = Shown(c.column);
    for (size_t i = 1; i < shown.size(); ++i) EXPECT_GE(shown[i - 1], shown[i]) << "row " << i;
    EXPECT_EQ(r->Grid()->Row(), 1);
    EXPECT_EQ(AnswerFiles(), 0);
  }

  // Double clicks on a header: the column sorts through the server, highest
  // first, and a second click on it turns the order round.
  int last = -1;
  for (int c = 0; c < r->Core().columnCount; ++c)
    if (r->Core().columns[c] == kColLast) last = c;
  ASSERT_GE(last, 0);
  const TRect header = r->Grid()->CellRect(last, 0);
  ASSERT_GT(header.Width(), 0);
  for (const bool highestFirst : {true, false}) {
    SCOPED_TRACE(highestFirst);
    const size_t asked = loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA).size();
    harness_.DoubleClick(r->Grid()->Handle(), header.Left + 5, header.Top + 5);
    ASSERT_TRUE(testing_support::PumpUntil(
        [&] { return loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA).size() > asked && QuoteLoop::Idle(); },
        8000));
    harness_.Pump();
    EXPECT_EQ(r->Core().sortColumn, kColLast);
    const std::vector<double> shown = Shown(kColLast);
    for (size_t i = 1; i < shown.size(); ++i)
      EXPECT_TRUE(highestFirst ? shown[i - 1] >= shown[i] : shown[i - 1] <= shown[i]) << "row " << i;
  }
}

TEST_F(ReportServerSortTest, AUserBlockIsRankedByItsMembersAcrossMarkets) {
  ASSERT_TRUE(loop_.Connected());
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  const BLOCK *mine = FindBlockByName("我的板块");
  ASSERT_NE(mine, nullptr);
  ASSERT_TRUE(r->OpenBlockTab(mine->blockId, false));
  SortByServer(kColLast);
  const auto frames = loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA);
  ASSERT_FALSE(frames.empty());
  const std::vector<uint8_t> body = frames.back().Body();
  ASSERT_EQ(body.size(), 7u + 3u * mine->memberCount);
  EXPECT_EQ(body[1], 0);
  for (int i = 0; i < mine->memberCount; ++i) {
    EXPECT_EQ(body[7 + 3 * i], mine->members[i].market);
    EXPECT_EQ(body[8 + 3 * i] | body[9 + 3 * i] << 8, mine->members[i].stock);
  }
  // Shanghai, Shenzhen, futures and currencies: the highest price first,
  // each in its own market's units.
  const std::vector<double> shown = Shown(kColLast);
  ASSERT_EQ(shown.size(), size_t(mine->memberCount));
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_GE(shown[i - 1], shown[i]) << "row " << i;
  EXPECT_EQ(r->Core().RowStock(0).market, 3);  // the copper contract
}

TEST_F(ReportServerSortTest, PagingAsksForTheFastChangesOfTheNewPage) {
  ASSERT_TRUE(loop_.Connected());
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  // The stocks' scheme shows the fast change in place of its last column.
  const int scheme = SchemeIndexForBlock(FindBlockById(0));
  ASSERT_NE(ColumnSchemes, nullptr);
  ColumnSchemes->ids[scheme][ColumnSchemes->count[scheme] - 1] = kColFastChange;
  ASSERT_TRUE(r->OpenBlockTab(0, false));  // Shanghai: more rows than a page
  SortByServer(kColChangePercent);
  const std::vector<double> shown = Shown(kColChangePercent);
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_GE(shown[i - 1], shown[i]) << "row " << i;
  const int v = r->Grid()->VisibleRowCount();
  ASSERT_LT(v, r->Core().rowCount);

  r->Grid()->SetFocus();
  host_.ClearMessages();
  harness_.Key(VK_NEXT, TShiftState(), r->Grid()->Handle());
  const int top = r->Grid()->TopRow();
  EXPECT_EQ(top, std::min(1 + v, r->Core().rowCount + 1 - v));
  EXPECT_GE(host_.Count(WM_MF_REFRESH_SUBSCRIPTION), 1u);
  // The subscription follows the page, in the server's order.
  EArray<STKMS> stocks;
  r->CollectStocks(&stocks);
  ASSERT_GT(stocks.GetCount(), 0);
  const int first = stocks.GetAt(0).stock;
  EXPECT_EQ(first, r->Core().rows[top - 1].stock);

  // The fast-change pulse lists the rows of the new page.
  loop_.Double().ClearFrames();
  for (int i = 0; i < r->Core().rowCount; ++i) MarketAt(0)->m_quotes[r->Core().rows[i].stock].fastChange = -999;
  r->Notify(8, 0, 2, 0);
  ASSERT_TRUE(testing_support::PumpUntil([&] { return redrawn_ == 1 && QuoteLoop::Idle(); }, 8000));
  const auto frames = loop_.Double().Frames(QuoteDouble::kData, FRAME_SORT_DATA);
  ASSERT_EQ(frames.size(), 1u);
  const std::vector<uint8_t> body = frames[0].Body();
  EXPECT_EQ(body[0], 24);  // the fast change
  const int listed = body[5] | body[6] << 8;
  ASSERT_GT(listed, 0);
  ASSERT_LE(top - 1 + listed, r->Core().rowCount);
  for (int k = 0; k < listed; ++k) {
    const REPORTROW &row = r->Core().rows[top - 1 + k];
    EXPECT_EQ(body[7 + 3 * k], row.market) << k;
    EXPECT_EQ(body[8 + 3 * k] | body[9 + 3 * k] << 8, row.stock) << k;
    const float change = MarketAt(0)->m_quotes[row.stock].fastChange;
    EXPECT_NE(change, -999.0f) << k;
  }
  const float offPage = MarketAt(0)->m_quotes[r->Core().rows[0].stock].fastChange;
  EXPECT_EQ(offPage, -999.0f);
}

TEST_F(ReportServerSortTest, AnAnswerThatComesAfterTheTabChangedIsDeletedUnread) {
  ASSERT_TRUE(loop_.Connected());
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  ASSERT_TRUE(r->OpenBlockTab(3, false));
  ASSERT_TRUE(r->OpenBlockTab(0, false));
  QuoteDouble::Shape held;
  held.held = true;
  loop_.Double().SetShape(QuoteDouble::kData, FRAME_SORT_DATA, held);
  r->Core().sortColumn = kColLast;
  SendMessageA(r->Handle(), WM_REPORT_SORT_COLUMN, kColLast, 0);
  // The first tab again, before the answer: its rows stay in block order.
  ASSERT_TRUE(r->OpenBlockTab(3, false));
  loop_.Double().SetShape(QuoteDouble::kData, FRAME_SORT_DATA, {});
  loop_.Double().ReleaseHeld();
  ASSERT_TRUE(testing_support::PumpUntil([&] { return QuoteLoop::Idle(); }, 8000));
  harness_.Pump();
  EXPECT_EQ(r->CurrentBlock()->blockId, 3);
  for (int i = 0; i < r->Core().rowCount; ++i) EXPECT_EQ(r->Core().rows[i].position, i);
  EXPECT_EQ(AnswerFiles(), 0);
}

}  // namespace
