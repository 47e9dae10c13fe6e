// The report dialog's run: the period from the clock (Monday 2024-01-15,
// 10:00 in Shanghai; the futures market's date is that day), one statement
// asked at a time of a stand-in plug-in that the test answers, the cache,
// and every way a run ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "standins/simbroker/simbroker.h"
#include "testing/message_trace.h"
#include "testing/pump.h"
#include "testing/sim_broker_link.h"
#include "platform/winuser.h"
#include "plugin/tradeapi.h"
#include "tests/trading/desk_fixture.h"
#include "tests/trading/report_fixture.h"
#include "trading/pluginapi.h"
#include "trading/tongjidlg.h"

namespace {

// The plug-in as the walk sees it.
std::vector<std::string> asked;
size_t refuseAt = 0;  // the n-th request is refused (0: none)
int freed = 0;

int Query(char *date, unsigned number, int) {
  asked.push_back(date);
  return number == 1 && asked.size() != refuseAt ? 0 : 7;
}
void Investor(char *, char *id, char *) { strcpy(id, "880001"); }
int ShortName(char *) { return 1; }
void Free(void *block) {
  ++freed;
  free(block);
}

char *Block(const std::string &text) {
  char *block = static_cast<char *>(calloc(576, 1));
  snprintf(block, 576, "%s", text.c_str());
  return block;
}

class ReportWalkTest : public trading_test::DeskTest {
 protected:
  ReportWalkTest() {
    asked.clear();
    refuseAt = 0;
    freed = 0;
    TradePlugin = TradePluginApi{};
    TradePlugin.QuerySettlementInfo = &Query;
    TradePlugin.GetInvestor = &Investor;
    TradePlugin.GetShortNameOfTradeSystem = &ShortName;
    TradePlugin.TraderDllFree = &Free;
    report_test::InstallReportFiles();
    Open();
  }
  ~ReportWalkTest() override {
    dialog_.reset();
    TradePlugin = TradePluginApi{};
  }

  TAccountReport &Report() { return desk_.accountReport; }
  void Open() {
    dialog_ = std::make_unique<TTongJiDlg>(nullptr, Report());
    Report().ActiveTongJiDlg = dialog_.get();
  }

  void Click(int mode, int from = 0, int to = 0) {
    if (mode == TAccountReport::kLastWeek) dialog_->XPRadioButton2Click(nullptr);
    if (mode == TAccountReport::kLastMonth) dialog_->XPRadioButton3Click(nullptr);
    if (mode == TAccountReport::kFromTo) {
      dialog_->XPRadioButton4Click(nullptr);
      dialog_->SetPickerDate(dialog_->DateTimePicker1, from);
      dialog_->SetPickerDate(dialog_->DateTimePicker2, to);
    }
    dialog_->XPButton1Click(nullptr);
  }

  // The plug-in's answer to the last request: a statement of that day in
  // its temporary file, or a failure text.
  void Answer() {
    const std::string date = asked.back();
    report_test::WriteFile(box_.Path("prog/880001settle.tmp"),
                           "日  期:" + date + "\n上日结存: 1000000.00 当日结存: 10" + date.substr(4) +
                               ".00 可用资金: 5.00\n");
    EXPECT_TRUE(Report().DeliverSettlement(tb::TN_SETTLEMENT_INFO, LPARAM(Block(".\\880001settle.tmp"))));
  }
  void AnswerText(const char *text) {
    EXPECT_TRUE(Report().DeliverSettlement(tb::TN_SETTLEMENT_INFO | tb::TN_TEXT_FLAG, LPARAM(Block(text))));
  }
  // Answers every request until none is outstanding.
  void AnswerAll() {
    for (size_t answered = 0; answered < asked.size() && Report().Fetching() && Report().currentDate[0];) {
      ++answered;
      Answer();
    }
  }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  bool Idle() const { return dialog_->XPButton1->Enabled() && dialog_->XPButton1->Caption() == "生成报告"; }
  bool Cached(const char *date) const { return std::filesystem::exists(box_.Path(std::string("user/880001/settle/") + date)); }

  std::unique_ptr<TTongJiDlg> dialog_;
};

TEST_F(ReportWalkTest, LastWeekOnAMondayAsksTheFiveTradingDaysThenShowsThePage) {
  Click(TAccountReport::kLastWeek);
  EXPECT_FALSE(dialog_->XPButton1->Enabled());
  EXPECT_EQ(dialog_->XPButton1->Caption(), "查询中，请稍候...");
  AnswerAll();
  EXPECT_EQ(asked, (std::vector<std::string>{"20240108", "20240109", "20240110", "20240111", "20240112"}));
  EXPECT_EQ(freed, 5);
  Pump();
  EXPECT_TRUE(Idle());
  EXPECT_TRUE(std::filesystem::exists(box_.Path("prog/toji.html")));
  EXPECT_TRUE(std::filesystem::exists(box_.Path("prog/images/Report_05.bmp")));
  EXPECT_NE(dialog_->CppWebBrowser1->LocationURL().find("toji.html"), std::string::npos);
  for (const char *day : {"20240108", "20240112"}) EXPECT_TRUE(Cached(day)) << day;

  // Everything cached: nothing is asked, the click itself posts the ready
  // message and the page comes from the cache.
  std::filesystem::remove(box_.Path("prog/toji.html"));
  Click(TAccountReport::kLastWeek);
  EXPECT_EQ(asked.size(), 5u);
  Pump();
  EXPECT_TRUE(Idle());
  EXPECT_NE(report_test::ReadFile(box_.Path("prog/toji.html")).find("<td bgcolor=\"#FFFFFF\">期末账户净值</td>\n<td width=\"39%\" bgcolor=\"#FFFFFF\">100112.00</td>"),
            std::string::npos);
}

TEST_F(ReportWalkTest, FromToPeriods) {
  struct Case {
    const char *name;
    int from, to;
    std::vector<std::string> asked;
  } cases[] = {
      {"one past trading day", 20240110, 20240110, {"20240110"}},
      {"today is cut by the market's date", 20240112, 20240115, {"20240112"}},
      {"over a weekend and a new year", 20231229, 20240102, {"20231229", "20240101", "20240102"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(box_.Path("user/880001/settle"));
    asked.clear();
    Click(TAccountReport::kFromTo, c.from, c.to);
    AnswerAll();
    EXPECT_EQ(asked, c.asked);
    Pump();
    EXPECT_TRUE(Idle());
  }
}

TEST_F(ReportWalkTest, PeriodsWithoutARequestOnlyTellTheUser) {
  struct Case {
    int from, to;
    const char *box;
  } cases[] = {
      {20240112, 20240110, "开始日期必须早于结束日期。  "},
      {20240113, 20240114, "当前日期区间内没有结算信息"},
      {20240115, 20240116, "当前日期区间内没有结算信息"},
  };
  for (const Case &c : cases) {
    boxes_.Clear();
    Click(TAccountReport::kFromTo, c.from, c.to);
    EXPECT_TRUE(asked.empty());
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, c.box);
    EXPECT_EQ(boxes_.Calls()[0].caption, "提示");
    EXPECT_TRUE(Idle());
  }
}

TEST_F(ReportWalkTest, DayWithoutStatementIsSkippedAndAskedAgainNextTime) {
  Click(TAccountReport::kFromTo, 20240110, 20240111);
  AnswerText("结算单未发布");
  Answer();
  EXPECT_EQ(asked, (std::vector<std::string>{"20240110", "20240111"}));
  Pump();
  EXPECT_TRUE(Idle());
  EXPECT_FALSE(Cached("20240110"));
  EXPECT_TRUE(Cached("20240111"));
  EXPECT_EQ(boxes_.Count(), 0u);
  Click(TAccountReport::kFromTo, 20240110, 20240111);
  EXPECT_EQ(asked.back(), "20240110");
}

TEST_F(ReportWalkTest, FailuresEndTheRunWithTheirBox) {
  // The broker's own text.
  Click(TAccountReport::kFromTo, 20240110, 20240111);
  AnswerText("查询失败：系统忙");
  EXPECT_FALSE(Idle());
  Pump();
  EXPECT_TRUE(Idle());
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "查询失败：系统忙");
  EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
  EXPECT_EQ(freed, 1);

  // A request refused later in the walk.
  boxes_.Clear();
  asked.clear();
  refuseAt = 2;
  Click(TAccountReport::kFromTo, 20240109, 20240111);
  Answer();
  EXPECT_EQ(asked.size(), 2u);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "查询交易日失败，请稍后重试");
  EXPECT_TRUE(Idle());
  Pump();
  EXPECT_TRUE(Idle());

  // The first request refused: the button never changes.
  boxes_.Clear();
  asked.clear();
  refuseAt = 1;
  Click(TAccountReport::kFromTo, 20240110, 20240111);
  EXPECT_EQ(boxes_.Count(), 1u);
  EXPECT_TRUE(Idle());
}

TEST_F(ReportWalkTest, ClosingTheDialogWhileFetchingEndsTheWalk) {
  Click(TAccountReport::kFromTo, 20240110, 20240111);
  dialog_.reset();
  Answer();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(freed, 1);
  // With the dialog gone from the desk nothing is forwarded.
  Report().ActiveTongJiDlg = nullptr;
  EXPECT_FALSE(Report().DeliverSettlement(tb::TN_SETTLEMENT_INFO, 0));
  Pump();
}

TEST_F(ReportWalkTest, DamagedCacheIsAskedAgain) {
  Click(TAccountReport::kFromTo, 20240110, 20240110);
  AnswerAll();
  Pump();
  ASSERT_TRUE(Cached("20240110"));
  report_test::WriteFile(box_.Path("user/880001/settle/20240110"), "not a stream");
  Click(TAccountReport::kFromTo, 20240110, 20240110);
  EXPECT_EQ(asked, (std::vector<std::string>{"20240110", "20240110"}));
}

// The whole road: the plug-in itself, logged in to the simulated broker,
// which has statements for four days of the week and none for Wednesday.
TAccountReport *simReport = nullptr;
LRESULT MainWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TRADE_NOTIFY && (wParam & 0xFFFF) == tb::TN_SETTLEMENT_INFO && simReport) {
    simReport->DeliverSettlement(wParam, lParam);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(ReportWalkTest, LastWeekFromTheSimulatedBroker) {
  std::string script = sim::SimBroker::DefaultScript();
  for (const char *date : {"20240108", "20240109", "20240111", "20240112"}) {
    const std::string file = box_.Path(std::string("statements/") + date);
    std::filesystem::create_directories(box_.Path("statements"));
    report_test::WriteFile(file, std::string("客户号:880001    客户名称:张三\n日  期:") + date +
                                     "\n上日结存: 1000000.00    当日结存: 1001000.00    可用资金: 5.00\n");
    script += std::string("statement 880001 ") + date + " file=" + file + "\n";
  }
  testing_support::SimBrokerLink link(script);
  ASSERT_TRUE(link.Attached());
  TradePlugin = TradePluginApi{};
  ASSERT_EQ(LoadTradePlugin(nullptr), 1);
  box_.WriteText("cfg/Consign.ini", "[jsd]\ns1=主站\ns1a=127.0.0.1\ns1p=17001\ns1t=1\n");
  testing_support::MessageTrace trace;
  const HWND main = trace.Create(0);
  trace.SetHandler(main, &MainWindow);
  simReport = &Report();
  char account[] = "880001", password[] = "111111", certificate[] = "", settings[] = "..\\user\\Consign.ini";
  ASSERT_EQ(TradePlugin.TradeInitialize(main, WM_TRADE_NOTIFY, 0, account, password, certificate, settings), 0);

  Click(TAccountReport::kLastWeek);
  EXPECT_TRUE(testing_support::PumpUntil([&] { return Idle(); }, 20000));
  EXPECT_EQ(boxes_.Count(), 0u);
  for (const char *day : {"20240108", "20240109", "20240111", "20240112"}) EXPECT_TRUE(Cached(day)) << day;
  EXPECT_FALSE(Cached("20240110"));
  EXPECT_TRUE(std::filesystem::exists(box_.Path("prog/toji.html")));
  int asked6072 = 0;
  for (const std::string &line : link.Broker().RecordedLines()) asked6072 += line.find("||6072||") != std::string::npos;
  EXPECT_EQ(asked6072, 5);
  TradePlugin.TradeFinalize();
  simReport = nullptr;
}

}  // namespace
