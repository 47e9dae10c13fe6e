#include "trading/querypage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/image_capture.h"
#include "testing/print_dialog_standin.h"
#include "testing/view_harness.h"
#include "tests/trading/desk_fixture.h"
#include "tests/trading/fixed_font_check.h"
#include "trading/pluginapi.h"
#include "trading/queryform.h"

namespace {

std::vector<std::string> *g_log = nullptr;
const char *g_tradeDate = "20240301";

int TradeDate(char *out) {
  std::strcpy(out, g_tradeDate);
  return 0;
}
int History(char *from, char *to, int) {
  g_log->push_back(std::string("trade ") + from + " " + to);
  return 0;
}
int Statistics(char *from, char *to) {
  g_log->push_back(std::string("statistics ") + from + " " + to);
  return 0;
}
int Money(char *from, char *to) {
  g_log->push_back(std::string("money ") + from + " " + to);
  return 7;
}
int Funds(char *date, int) {
  g_log->push_back(std::string("funds ") + date);
  return 0;
}

class QueryPageTest : public trading_test::DeskTest {
 protected:
  QueryPageTest() {
    saved_ = TradePlugin;
    TradePlugin = {};
    g_log = &log_;
    g_tradeDate = "20240301";
    TradePlugin.GetTradeDate = TradeDate;
    TradePlugin.QueryTrade = History;
    TradePlugin.QueryTradeStatistics = Statistics;
    TradePlugin.QueryMoneyHistory = Money;
    TradePlugin.QueryTradingAccount = Funds;
    page_.historyLocked = [this] { return locked_; };
  }
  ~QueryPageTest() override {
    TradePlugin = saved_;
    g_log = nullptr;
  }
  static int PageCount(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string pdf = bytes.str(), page = "/Type /Page";
    int count = 0;
    for (size_t at = pdf.find(page); at != std::string::npos; at = pdf.find(page, at + 1))
      if (at + page.size() < pdf.size() && pdf[at + page.size()] != 's') ++count;
    return count;
  }

  TradePluginApi saved_;
  std::vector<std::string> log_;
  TQueryGate gate_;
  TQueryPage page_{gate_};
  bool locked_ = false;
};

TEST_F(QueryPageTest, TabsSetUpTheirDatesSteppedBackFromTheTradeDate) {
  page_.ChangeTab(TQueryPage::kHistory);
  EXPECT_EQ(page_.firstDate, "20240224");
  EXPECT_EQ(page_.secondDate, "20240301");
  EXPECT_EQ(page_.firstLabel, "起始日期:");
  page_.ChangeTab(TQueryPage::kStatistics);
  EXPECT_EQ(page_.firstDate, "20240131");
  EXPECT_EQ(TQueryPage::DaysBefore("20230301", 1), "20230228");
  EXPECT_EQ(TQueryPage::DaysBefore("20240101", 1), "20231231");

  page_.ChangeTab(TQueryPage::kStatement);
  EXPECT_TRUE(page_.radiosShown && page_.daily);
  EXPECT_FALSE(page_.cfmmcShown);  // the plug-in has no centre statement
  page_.StatementKindClick(false);
  EXPECT_EQ(page_.secondLabel, "查询月份:");
  EXPECT_EQ(page_.hint, "月份格式为YYYYMM，如200708。不填月份则查询当月。");
  page_.ChangeTab(TQueryPage::kPassword);
  EXPECT_TRUE(page_.passwordPanel);
}

TEST_F(QueryPageTest, QueriesWithinTheIntervalAreRefused) {
  page_.ChangeTab(TQueryPage::kFunds);
  page_.Query(20000);
  EXPECT_EQ(page_.hint, "正在查询资金状况...");
  page_.Query(29999);
  EXPECT_EQ(page_.hint, "为减轻对服务器的压力，两次查询之间应间隔 10 秒。");
  EXPECT_EQ(page_.hintColour, TQueryPage::kRed);
  EXPECT_EQ(log_, std::vector<std::string>{"funds 20240301"});
  // The lists' refresh shares the interval.
  ASSERT_TRUE(gate_.Pass(40000));
  page_.Query(45000);
  EXPECT_EQ(log_.size(), 1u);
}

TEST_F(QueryPageTest, HistoryDatesAreCheckedAndClamped) {
  page_.ChangeTab(TQueryPage::kHistory);
  page_.firstDate = "20240229";
  page_.secondDate = "20240220";
  page_.Query(1000);
  EXPECT_EQ(page_.hint, "查询失败，起始日期应小于等于结束日期。");
  EXPECT_TRUE(log_.empty());
  // The refused query still started the interval.
  page_.firstDate = "20240220";
  page_.Query(5000);
  EXPECT_TRUE(log_.empty());

  page_.secondDate = "20240310";
  page_.Query(20000);
  EXPECT_EQ(page_.secondDate, "20240301");
  EXPECT_EQ(log_, std::vector<std::string>{"trade 20240220 20240301"});

  // In a session of market 3 (or without it) history and statistics wait.
  locked_ = true;
  page_.Query(40000);
  EXPECT_EQ(page_.hint, "交易时段内不允许查询历史成交。");
  page_.ChangeTab(TQueryPage::kStatistics);
  page_.Query(60000);
  EXPECT_EQ(page_.hint, "交易时段内不允许查询交易统计。");
  page_.ChangeTab(TQueryPage::kMoney);
  page_.Query(80000);
  EXPECT_EQ(page_.hint, "查询出入金失败 (7) ");
  EXPECT_EQ(log_.back(), "money 20240131 20240301");
}

TEST_F(QueryPageTest, MarketThreeMissingLocksHistory) {
  TQueryPage plain(gate_);
  ASSERT_EQ(MarketAt(3), nullptr);
  EXPECT_TRUE(plain.historyLocked());
}

TEST_F(QueryPageTest, PrintingContinuesOnNewPagesAndEndsOnAGiantLine) {
  std::ostringstream memo;
  for (int i = 0; i < 100; ++i) memo << "2024-03-01 成交 M2405 买 开仓 " << i << "\r\n";
  page_.memo = memo.str();
  const std::string pdf = testing_support::PicturePath("query-print.pdf");
  {
    PrintDialogStandIn dialog(pdf);
    ASSERT_TRUE(page_.Print());
  }
  EXPECT_EQ(PageCount(pdf), 2);

  // One line too tall for an empty page gets a page of its own.
  page_.memo = "first\r\n" + std::string(30000, 'W') + "\r\nlast";
  const std::string giant = box_.Path("giant.pdf");
  {
    PrintDialogStandIn dialog(giant);
    ASSERT_TRUE(page_.Print());
  }
  EXPECT_EQ(PageCount(giant), 3);
  {
    PrintDialogStandIn cancelled("");
    EXPECT_FALSE(page_.Print());
  }
}

class QueryFormTest : public QueryPageTest {
 protected:
  void ShowTab(TQueryForm &form, int tab) {
    form.XPTabControl2->SetTabIndex(tab);
    form.XPTabControl2Change(form.XPTabControl2);
    harness_.Pump();
  }
  testing_support::ViewHarness harness_;
};

TEST_F(QueryFormTest, FormShowsThePageAndQueriesTheTypedDates) {
  TQueryForm form(nullptr, page_);
  form.Show();
  harness_.Pump();
  EXPECT_EQ(form.XPMemo3->Width(), form.Panel17->Width() - 153);
  EXPECT_EQ(form.Panel17->Width(), form.XPTabControl2->Width() - 11);
  EXPECT_EQ(trading_test::TableFontProblem(form.XPMemo3->Font()), "");  // the reports' columns line up

  testing_support::PictureSheet sheet(2);
  ShowTab(form, TQueryPage::kStatement);
  EXPECT_FALSE(form.XPEdit3->Visible());
  EXPECT_TRUE(form.XPEdit11->Visible() && form.XPRadioButton6->Visible() && form.XPRadioButton6->Checked());
  form.XPRadioButton7->SetChecked(true);
  form.XPRadioButton7->OnClick(form.XPRadioButton7);
  EXPECT_FALSE(page_.daily);
  EXPECT_EQ(form.Label22->Caption(), page_.hint);
  sheet.Add("结算单", harness_.Render(form.Handle()));

  ShowTab(form, TQueryPage::kHistory);
  EXPECT_EQ(form.XPEdit3->Text(), "20240224");
  EXPECT_EQ(form.XPEdit11->Text(), "20240301");
  form.XPEdit3->SetText("20240229");
  form.XPEdit11->SetText("20240228");
  form.XPButton27->Click();
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(form.Label22->Caption(), "查询失败，起始日期应小于等于结束日期。");
  harness_.Advance(10001, 10001);
  form.XPEdit3->SetText("20240226");
  form.XPButton27->Click();
  EXPECT_EQ(log_, std::vector<std::string>{"trade 20240226 20240228"});
  sheet.Add("历史成交", harness_.Render(form.Handle()));

  ShowTab(form, TQueryPage::kPassword);
  EXPECT_TRUE(form.Panel15->Visible());
  EXPECT_FALSE(form.Panel17->Visible());
  harness_.SavePng(sheet.Compose(), "query-page");
}

}  // namespace
