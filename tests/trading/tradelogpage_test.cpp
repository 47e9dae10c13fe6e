// The event-log page: each tab shows its readable copy of the day's log,
// the memo is cleared, focused and ends in an empty line, and it fills the
// tab control less its margins.
#include "trading/tradelogpage.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/winuser.h"
#include "testing/market_fixture_min.h"
#include "testing/view_harness.h"
#include "trading/deskdata.h"

namespace {

using testing_support::ViewHarness;

class TradeLogPageTest : public testing::Test {
 protected:
  TradeLogPageTest() {
    desk_.SetAccount("880001");
    const std::string folder = "user/880001/tradelog/";
    box_.WriteText(folder + "20240115traderec.txt",
                   "1|09:00:01.000|3072|1|1|\r\n2|09:00:01.010|3009|4|\r\n3|09:01:00.200|3011|M2401|0|0|1|3050.000|1|"
                   "手动\r\n");
    box_.WriteText(folder + "20240115tradere1.txt",
                   "2|09:00:01.010|3009|4|\r\n"
                   "7|10:12:40.500|3009|7|M2401|10001|0|1|2|2|3010.000|3012.000|3011.000|2024-01-15 10:12:40\r\n"
                   "8|10:12:40.510|3015|0|1|0|止损单已发出\r\n");
  }

  market_fixture::MarketSandbox box_;
  ViewHarness harness_;
  TTradeDesk desk_;
};

TEST_F(TradeLogPageTest, EachTabShowsItsFileInAMemoThatFillsTheTabControl) {
  TTradeLogPage page(nullptr, desk_, [] { return std::string("20240115"); });
  page.SetClientSize(560, 260);
  page.Show();
  harness_.Pump();
  TXPTabControl *tabs = page.XPTabControl5;
  ASSERT_EQ(tabs->Tabs()->Count(), 4);
  EXPECT_EQ(tabs->Tabs()->Get(2), "止损止盈");
  EXPECT_EQ(page.XPMemo2->Width(), tabs->Width() - 14);
  EXPECT_EQ(page.XPMemo2->Height(), tabs->Height() - 36);

  // The appended empty line shows as the line break after the file's last
  // line; a missing file leaves the memo empty.
  const std::string folder = "user/880001/tradelog/";
  struct Case {
    int tab;
    std::string text;
  } cases[] = {{2, box_.Read(folder + "20240115tradere1.txt")},
               {0, box_.Read(folder + "20240115traderec.txt")},
               {3, ""},
               {1, ""}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.tab);
    page.XPMemo2->SetText("old");
    const TRect r = tabs->TabRect(c.tab);
    harness_.Click(tabs, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    ASSERT_EQ(tabs->TabIndex(), c.tab);
    EXPECT_EQ(page.XPMemo2->Text(), c.text);
    EXPECT_EQ(GetFocus(), page.XPMemo2->Handle());
  }

  // Resizing keeps the margins.
  page.SetClientSize(500, 300);
  harness_.Pump();
  EXPECT_EQ(page.XPMemo2->Width(), tabs->Width() - 14);
  EXPECT_EQ(page.XPMemo2->Height(), tabs->Height() - 36);

  const TRect r = tabs->TabRect(2);
  harness_.Click(tabs, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  EXPECT_EQ(page.XPMemo2->Lines()->Get(1).substr(0, 19), "7|10:12:40.500|3009");
  harness_.SavePng(harness_.Render(page.Handle()), "tradelog-page");
}

}  // namespace
