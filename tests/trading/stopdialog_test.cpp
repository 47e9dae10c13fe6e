// The stop dialog's model: splitting uncovered volume into rows, edits
// checked against the last price, arrow steps, saving and fills that
// change the position while the dialog is open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "market/dataio5.h"
#include "core/netutil.h"
#include "tests/trading/stop_world.h"
#include "trading/stopdialog.h"
#include "trading/tradelog.h"

namespace trading_test {
namespace {

class StopDialogTest : public StopWorld {
 protected:
  StopDialogTest() : model_(desk_) {
    GetStockInfo(STKPTR(1, 0, 0))->decimals = 1;
    model_.lastPrice = [this] { return last_; };
    model_.tradeDate = [] { return 20240115; };
    model_.notice = [this](int code) { notices_.push_back(code); };
    model_.close = [this] { ++closed_; };
    BindLoggerLibrary();
    OpenTradeLog(desk_, 20240115);
  }
  ~StopDialogTest() override { CloseTradeLog(desk_); }
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> out;
    for (const auto &row : model_.rows) out.push_back(row[size_t(column)]);
    return out;
  }
  void Open(char direction, int32_t volume, int32_t defaultClose = 0) {
    InvestorPosition_Lite &p = AddPosition(direction, volume, 1);
    model_.SetPosition(p, 0.2, defaultClose);
  }

  TStopDialogModel model_;
  double last_ = 3490;
  std::vector<int> notices_;
  int closed_ = 0;
};

TEST_F(StopDialogTest, UncoveredVolumeIsSplitByTheChosenUnit) {
  Open('2', 5, 2);
  EXPECT_EQ(model_.Caption(), "为 M2401 （买入,投机）设置止损止盈。");
  EXPECT_EQ(Column(kStopColumnVolume), (std::vector<std::string>{"5"}));
  EXPECT_EQ(Column(kStopColumnExpiry).front(), "当日");  // the default validity
  model_.SetSplit(TStopSplit::One);
  EXPECT_EQ(Column(kStopColumnVolume), std::vector<std::string>(5, "1"));
  model_.SetSplit(TStopSplit::Default);
  EXPECT_EQ(Column(kStopColumnVolume), (std::vector<std::string>{"2", "2", "1"}));
}

TEST_F(StopDialogTest, EditsAreCheckedAgainstTheLastPrice) {
  struct Case {
    char direction;
    int column;
    const char *typed;
    double last;
    int notice;  // 0: accepted
  } cases[] = {
      {'2', kStopColumnStop, "3500", 3490, 1},     {'3', kStopColumnStop, "3500", 3490, 0},
      {'3', kStopColumnStop, "3480", 3490, 2},     {'2', kStopColumnProfit, "3480", 3490, 3},
      {'3', kStopColumnProfit, "3500", 3490, 4},   {'2', kStopColumnStop, "3500", 0, 0},
      {'2', kStopColumnTrailing, "5", 0, 5},       {'2', kStopColumnTrailing, "5", 3490, 0},
  };
  for (const Case &c : cases) {
    desk_.positions.RemoveAll();
    notices_.clear();
    last_ = c.last;
    Open(c.direction, 1);
    model_.FinishEdit(0, c.column, c.typed);
    const std::string shown = model_.rows[0][size_t(c.column)];
    if (c.notice) {
      EXPECT_EQ(notices_, std::vector<int>{c.notice}) << c.typed;
      EXPECT_EQ(shown, "") << c.typed;
    } else {
      EXPECT_TRUE(notices_.empty()) << c.typed;
      EXPECT_EQ(shown, c.typed) << c.typed;
    }
  }
  // An accepted trailing distance takes the last price as its reference.
  EXPECT_EQ(model_.Copy()->First->TrailReference, 3490);
}

TEST_F(StopDialogTest, StepsStartFromTheMarketAndStayOnTicks) {
  last_ = 3500.2;
  Open('2', 1);
  std::string text = model_.Step(kStopColumnStop, "", true);
  EXPECT_EQ(text, "3500.2");
  EXPECT_EQ(model_.Step(kStopColumnStop, text, true), "3500.4");
  EXPECT_EQ(model_.Step(kStopColumnProfit, "", false), "3500.2");
  EXPECT_EQ(model_.Step(kStopColumnTrailing, "", true), "0.2");
  EXPECT_EQ(model_.Step(kStopColumnTrailing, "0", false), "0.0");
  // Off the tick grid a step lands on the grid below.
  EXPECT_EQ(model_.Step(kStopColumnStop, "3500.3", false), "3500.0");
}

TEST_F(StopDialogTest, SavingChecksEveryEntryAndResetsTrailing) {
  Open('2', 2);
  model_.FinishEdit(0, kStopColumnProfit, "3500");
  last_ = 3500;  // the market moved onto the take-profit
  EXPECT_FALSE(model_.Save());
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, StopSaveRefusalText('2'));
  EXPECT_EQ(desk_.positions.GetData()[0].Stops, nullptr);

  model_.FinishEdit(0, kStopColumnProfit, "3510");
  model_.FinishEdit(0, kStopColumnStop, "3400");
  model_.FinishEdit(0, kStopColumnTrailing, "10");
  last_ = 3505;
  EXPECT_TRUE(model_.Save());
  const InvestorPosition_Lite &p = desk_.positions.GetData()[0];
  ASSERT_NE(p.Stops, nullptr);
  EXPECT_EQ(Stops(p), std::vector<double>{3400});
  EXPECT_EQ(p.Stops->First->TrailReference, 3505);
  EXPECT_EQ(ReadBytes("stoporder/M240121.sto").size(), kStopFileMagicSize + kStopRecordSize);
}

TEST_F(StopDialogTest, FillsWhileOpen) {
  InvestorPosition_Lite &p = AddPosition('2', 5, 1);
  ASSERT_TRUE(p.AddStop(desk_.positions, 3, 3400, 0, 0, 0, 0, 20240115));
  ASSERT_TRUE(p.AddStop(desk_.positions, 2, 3300, 0, 0, 0, 0, 20240115));
  model_.SetPosition(p, 0.2, 0);
  EXPECT_EQ(Column(kStopColumnVolume), (std::vector<std::string>{"3", "2"}));

  // A closing fill leaves 2: the surplus comes from the first row.
  desk_.positions.GetData()[0].Volume = 2;
  EXPECT_TRUE(model_.OnPositionChanged(desk_.positions.GetData()[0], nullptr));
  EXPECT_EQ(Column(kStopColumnVolume), (std::vector<std::string>{"2"}));
  EXPECT_EQ(notices_, std::vector<int>{6});
  // Nothing reached the position itself.
  EXPECT_EQ(Volumes(desk_.positions.GetData()[0]), (std::vector<int32_t>{3, 2}));

  // An opening fill with an automatic stop.
  desk_.positions.GetData()[0].Volume = 3;
  TStopAddition added;
  added.volume = 1;
  added.stop = 3350;
  EXPECT_TRUE(model_.OnPositionChanged(desk_.positions.GetData()[0], &added));
  EXPECT_EQ(notices_.back(), 8);
  EXPECT_EQ(model_.Copy()->TotalVolume(), 3);

  // Another key is not the dialog's.
  InvestorPosition_Lite other = desk_.positions.GetData()[0];
  other.PosiDirection = '3';
  EXPECT_FALSE(model_.OnPositionChanged(other, nullptr));

  // The whole position closed: the dialog closes unsaved.
  desk_.positions.GetData()[0].Volume = 0;
  model_.OnPositionChanged(desk_.positions.GetData()[0], nullptr);
  EXPECT_EQ(closed_, 1);
}

TEST_F(StopDialogTest, VolumeEditGrowsOnlyByUncoveredVolume) {
  Open('2', 5);
  model_.SetSplit(TStopSplit::One);
  model_.FinishEdit(0, kStopColumnStop, "3400");
  model_.BeginVolumeEdit(0);
  EXPECT_EQ(model_.volumeMaximum, 5);  // its own 1 plus the 4 no valid entry covers
  model_.FinishEdit(0, kStopColumnVolume, "3");
  EXPECT_EQ(Column(kStopColumnVolume), (std::vector<std::string>{"3", "1", "1"}));
  model_.FinishEdit(0, kStopColumnVolume, "0");
  EXPECT_EQ(Column(kStopColumnVolume), (std::vector<std::string>{"1", "1", "1", "1", "1"}));
}

TEST_F(StopDialogTest, OpeningPublishesThePositionAndLogs) {
  InvestorPosition_Lite &p = AddPosition('3', 2, 1);
  const InvestorPosition_Lite *published = nullptr;
  TStopDialogRun run;
  run.runModal = [&](TStopDialogModel &m) { published = &OpenStopDialog()->Position(), (void)m; };
  int refocused = 0;
  run.refocusOrderPanel = [&] { ++refocused; };
  SetStopOrderForPosition(desk_, &p, run);
  ASSERT_NE(published, nullptr);
  EXPECT_EQ(OpenStopDialog(), nullptr);
  EXPECT_EQ(refocused, 1);
  const auto log = TradeLogRecords();
  EXPECT_NE(std::find(log.begin(), log.end(), "3009|3|手动修改|M2401|3|1"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "3009|4|手动修改|M2401|3|1"), log.end());

  InvestorPosition_Lite unknown = p;
  unknown.Stock = STKPTR();
  SetStopOrderForPosition(desk_, &unknown, run);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "该合约不存在或不可交易。  ");
}

}  // namespace
}  // namespace trading_test
