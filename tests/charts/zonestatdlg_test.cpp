#include "charts/zonestatdlg.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "chart_world.h"
#include "platform/messages.h"

namespace charts_test {
namespace {

// The K-line view's window as the dialog sees it: it keeps the ranges it
// could still read when each message arrived.
class RangeReceiver : public TForm {
 public:
  RangeReceiver() : TForm(nullptr) {}
  void WndProc(TMessage &message) override {
    if (message.Msg == WM_ZONE_STAT_RANGE) {
      PackedDateTime start = 0, end = 0;
      ++received;
      if (TZoneStatDlg::ReadRange(message.WParam, message.LParam, &start, &end)) ranges.push_back({start, end});
      return;
    }
    TForm::WndProc(message);
  }
  int received = 0;
  std::vector<std::pair<PackedDateTime, PackedDateTime>> ranges;
};

KLINEBAR Bar(PackedDateTime time, uint32_t open, uint32_t high, uint32_t low, uint32_t close, float volume,
             float amount, uint32_t settlement = 0) {
  KLINEBAR b{};
  b.time = time;
  b.open = open;
  b.high = high;
  b.low = low;
  b.close = close;
  b.volume = volume;
  b.amount = amount;
  b.settlement = settlement;
  return b;
}

class ZoneStat : public ChartWorld {
 protected:
  void SetBars(std::vector<KLINEBAR> bars) {
    bars_ = std::move(bars);
    times_.clear();
    for (const KLINEBAR &b : bars_) times_.push_back(b.time);
    count_ = int(bars_.size());
  }
  std::unique_ptr<TZoneStatDlg> Open(STKPTR stock, PackedDateTime start, PackedDateTime end, int period) {
    return std::make_unique<TZoneStatDlg>(&view_, &count_, end, start, bars_.data(), times_.data(), period, stock);
  }
  static PackedDateTime Minute(int h, int m) { return MakePackedDateTime(2024, 3, 4, h, m); }

  RangeReceiver view_;
  std::vector<KLINEBAR> bars_;
  std::vector<uint32_t> times_;
  int count_ = 0;
};

TEST_F(ZoneStat, MissingMinutesAndDaysMoveTheBoundsOntoTheNearestBarsInside) {
  SetBars({Bar(Minute(9, 30), 10000, 10300, 9900, 10100, 100, 1.0e6f), Bar(Minute(9, 31), 10100, 10500, 10000, 10200, 300, 3.0e6f),
           Bar(Minute(9, 33), 10200, 10400, 9800, 10000, 100, 1.0e6f), Bar(Minute(10, 0), 10000, 10000, 10000, 10000, 1, 0)});
  auto dlg = Open(Stock(SH, 1), Minute(9, 29), Minute(9, 34), 1);
  EXPECT_EQ(dlg->StartIndex, 0);
  EXPECT_EQ(dlg->EndIndex, 2);
  EXPECT_EQ(dlg->CountLabel->Caption(), "共3个");
  EXPECT_EQ(dlg->StartEdit->Text(), "2024-03-04 09:29");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kOpen), "10.00");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kClose), "10.00");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kHigh), "10.50");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kLow), "9.80");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kVolume), "500");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kAmount), "500.00万");
  // (10.10 x 100 + 10.20 x 300 + 10.00 x 100) / 500
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kAverage), "10.14");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kChange), "-0.99%");
  EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kAmplitude), "6.93%");
  dlg->HandleNeeded();
  harness_.Pump();
  harness_.SavePng(harness_.Render(dlg.get()), "zone-stat");

  // Daily bars with a weekend gap.
  SetBars({Bar(MakePackedDateTime(2024, 3, 1), 100, 100, 100, 100, 1, 0),
           Bar(MakePackedDateTime(2024, 3, 4), 100, 100, 100, 100, 1, 0),
           Bar(MakePackedDateTime(2024, 3, 5), 100, 100, 100, 100, 1, 0)});
  auto daily = Open(Stock(SH, 1), MakePackedDateTime(2024, 3, 2), MakePackedDateTime(2024, 3, 9), kZoneStatDailyPeriod);
  EXPECT_EQ(daily->StartIndex, 1);
  EXPECT_EQ(daily->EndIndex, 2);
  EXPECT_EQ(daily->StartEdit->Text(), "2024-03-02");

  // A range without bars: nothing found, nothing posted.
  auto empty = Open(Stock(SH, 1), MakePackedDateTime(2024, 3, 6), MakePackedDateTime(2024, 3, 9), kZoneStatDailyPeriod);
  EXPECT_EQ(empty->StartIndex, -1);
  EXPECT_EQ(empty->CountLabel->Caption(), "共0个");
  EXPECT_EQ(empty->FieldText(TZoneStatDlg::kOpen), "");
}

TEST_F(ZoneStat, ChangeAndAmplitudeOverTheBasePrice) {
  struct Case {
    int market;
    int period;
    uint32_t startClose, settlement, endClose;
    const char *change, *amplitude, *amountLabel;
  } cases[] = {
      // Futures on the daily period: the settlement is the base, and a fall is negative.
      {DL, kZoneStatDailyPeriod, 10000, 11000, 9900, "-10.00%", "18.18%", "仓差"},
      // Intraday: the close is the base.
      {DL, 1, 10000, 11000, 9900, "-1.00%", "20.00%", "仓差"},
      // A settlement of 0 falls back to the close.
      {GJ, kZoneStatDailyPeriod, 10000, 0, 12000, "+20.00%", "20.00%", "成交额"},
      // No base at all: both are 0.
      {SH, kZoneStatDailyPeriod, 0, 0, 9900, "+0.00%", "0.00%", "成交额"},
  };
  for (const Case &c : cases) {
    SetBars({Bar(MakePackedDateTime(2024, 3, 4), 10000, 11000, 9000, c.startClose, 10, 500, c.settlement),
             Bar(MakePackedDateTime(2024, 3, 5), 10000, 10500, 9500, c.endClose, 10, 520)});
    auto dlg = Open(Stock(c.market, 0), MakePackedDateTime(2024, 3, 4), MakePackedDateTime(2024, 3, 5), c.period);
    SCOPED_TRACE(c.change);
    EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kChange), c.change);
    EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kAmplitude), c.amplitude);
    EXPECT_EQ(dlg->FieldLabel(TZoneStatDlg::kAmount), c.amountLabel);
    if (std::string(c.amountLabel) == "仓差") EXPECT_EQ(dlg->FieldText(TZoneStatDlg::kAmount), "20");
  }
}

TEST_F(ZoneStat, SpinnersKeepTheStartBeforeTheEndAndTheEndOnTheBars) {
  std::vector<KLINEBAR> bars;
  for (int d = 4; d <= 8; ++d) bars.push_back(Bar(MakePackedDateTime(2024, 3, d), 100, 100, 100, 100, 1, 0));
  SetBars(bars);
  auto dlg = Open(Stock(SH, 1), MakePackedDateTime(2024, 3, 5), MakePackedDateTime(2024, 3, 6), kZoneStatDailyPeriod);
  ASSERT_EQ(dlg->StartIndex, 1);
  ASSERT_EQ(dlg->EndIndex, 2);
  bool allow = true;
  // The start cannot reach the end.
  dlg->XPUpDown1ChangingEx(nullptr, allow, 1, updUp);
  EXPECT_FALSE(allow);
  EXPECT_EQ(dlg->StartIndex, 1);
  // The end goes up to the last bar and no further.
  for (int i = 0; i < 4; ++i) dlg->XPUpDown2ChangingEx(nullptr, allow, 1, updUp);
  EXPECT_EQ(dlg->EndIndex, 4);
  EXPECT_EQ(dlg->EndEdit->Text(), "2024-03-08");
  // The start goes down to the first bar and no further.
  for (int i = 0; i < 3; ++i) dlg->XPUpDown1ChangingEx(nullptr, allow, -1, updDown);
  EXPECT_EQ(dlg->StartIndex, 0);
  EXPECT_EQ(dlg->CountLabel->Caption(), "共5个");
  // The end comes down to just after the start.
  for (int i = 0; i < 6; ++i) dlg->XPUpDown2ChangingEx(nullptr, allow, -1, updDown);
  EXPECT_EQ(dlg->EndIndex, 1);
  for (int i = 0; i < 3; ++i) dlg->XPUpDown1ChangingEx(nullptr, allow, 1, updUp);
  EXPECT_EQ(dlg->StartIndex, 0);
  EXPECT_EQ(dlg->XPUpDown1->Position(), 0);
}

TEST_F(ZoneStat, TheViewReadsARangeOnlyWhileTheDialogIsOpen) {
  SetBars({Bar(MakePackedDateTime(2024, 3, 4), 100, 100, 100, 100, 1, 0),
           Bar(MakePackedDateTime(2024, 3, 5), 100, 100, 100, 100, 1, 0),
           Bar(MakePackedDateTime(2024, 3, 6), 100, 100, 100, 100, 1, 0)});
  view_.HandleNeeded();
  auto dlg = Open(Stock(SH, 1), MakePackedDateTime(2024, 3, 4), MakePackedDateTime(2024, 3, 6), kZoneStatDailyPeriod);
  harness_.Pump();
  ASSERT_EQ(view_.ranges.size(), 1u);
  EXPECT_EQ(view_.ranges[0].first, MakePackedDateTime(2024, 3, 4));
  EXPECT_EQ(view_.ranges[0].second, MakePackedDateTime(2024, 3, 6));

  // A step posts again; the dialog closes before the message is handled.
  bool allow = true;
  dlg->XPUpDown1ChangingEx(nullptr, allow, 1, updUp);
  dlg.reset();
  harness_.Pump();
  EXPECT_EQ(view_.received, 2);
  EXPECT_EQ(view_.ranges.size(), 1u);
}

}  // namespace
}  // namespace charts_test
