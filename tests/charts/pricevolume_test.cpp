// The price-volume statistics (ranges, sides, nature shares), their range
// dialog, the box of the information panel with its hover line, the tab
// chooser and the chart's drop target.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "chart_world.h"
#include "charts/pricevolume.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "trade_fixture.h"

namespace charts_test {
namespace {

using testing_support::TDrawViewDouble;

TICKREC PvTradeAt(PackedDateTime time, uint32_t price, float volume, uint8_t side = 0, float openInterest = 0) {
  TICKREC t = MakeTrade(price, volume, openInterest, side);
  t.time = time;
  return t;
}

struct PvStats {
  std::map<int, int> buy, sell, all;
  TPriceVolumeFigures f;
};

PvStats PvBuild(const std::vector<TICKREC> &trades, TPriceVolumeRange range, TPriceVolumeInstrument instrument = {}) {
  PvStats s;
  BuildPriceVolumeStats(trades.data(), int(trades.size()), range, instrument, s.buy, s.sell, s.all, &s.f);
  return s;
}

TEST(PriceVolumeStats, SidesMaximaAndAveragesWithAVolumeLimitInUnits) {
  const PackedDateTime t = MakePackedDateTime(2024, 3, 4, 10, 0);
  const std::vector<TICKREC> trades = {PvTradeAt(t, 3000, 40, 0), PvTradeAt(t, 3000, 50.7f, 1), PvTradeAt(t, 3100, 60, 0),
                                       PvTradeAt(t, 3000, 10.6f, 0), PvTradeAt(t, 2900, 100, 2)};
  TPriceVolumeInstrument instrument;
  instrument.volumeUnit = 10;
  instrument.divisor = 100;

  PvStats all = PvBuild(trades, {0, 0, 0, 0}, instrument);
  EXPECT_EQ(all.buy, (std::map<int, int>{{3000, 50}, {3100, 60}})) << "40 + 10.6 truncated";
  EXPECT_EQ(all.sell, (std::map<int, int>{{2900, 100}, {3000, 50}})) << "side 2 counts as seller";
  EXPECT_EQ(all.all, (std::map<int, int>{{2900, 100}, {3000, 100}, {3100, 60}})) << "each addition truncated";
  EXPECT_EQ(all.f.maxSideVolume, 100);
  EXPECT_EQ(all.f.maxVolume, 100);
  EXPECT_NEAR(all.f.buyAverage, (3000 * 40 + 3100 * 60 + 3000 * 10.6) / 110.6 / 100, 1e-6);
  EXPECT_NEAR(all.f.sellVolume, 150.7, 1e-4);

  // A limit of 5 units drops trades under 50.
  PvStats big = PvBuild(trades, {5, 0, 0, 0}, instrument);
  EXPECT_EQ(big.all, (std::map<int, int>{{2900, 100}, {3000, 50}, {3100, 60}}));
  EXPECT_EQ(big.f.buyVolume, 60);

  // No trades: empty maps and zero figures, no division.
  PvStats none = PvBuild({}, {0, 0, 0, 0}, instrument);
  EXPECT_TRUE(none.all.empty());
  EXPECT_EQ(none.f.buyAverage, 0);
}

TEST(PriceVolumeStats, TimeRanges) {
  // The last 30 minutes before 00:10 reach back to 23:40 of the day before.
  const std::vector<TICKREC> night = {PvTradeAt(MakePackedDateTime(2024, 3, 3, 23, 39), 1, 1),
                                      PvTradeAt(MakePackedDateTime(2024, 3, 3, 23, 40), 2, 1),
                                      PvTradeAt(MakePackedDateTime(2024, 3, 4, 0, 10), 3, 1)};
  EXPECT_EQ(PvBuild(night, {0, 1, 30, 0}).all, (std::map<int, int>{{2, 1}, {3, 1}}));
  // Across a month end too.
  PackedDateTime start = 0, end = 0;
  PriceVolumeWindow({0, 1, 11, 0}, 0, MakePackedDateTime(2024, 3, 1, 0, 10), &start, &end);
  EXPECT_EQ(start, MakePackedDateTime(2024, 2, 29, 23, 59));
  EXPECT_EQ(end, 0u);

  // From 10:00 to 10:00: the trades of that one minute.
  const std::vector<TICKREC> day = {PvTradeAt(MakePackedDateTime(2024, 3, 4, 9, 59), 1, 1),
                                    PvTradeAt(MakePackedDateTime(2024, 3, 4, 10, 0), 2, 1),
                                    PvTradeAt(MakePackedDateTime(2024, 3, 4, 10, 1), 3, 1)};
  EXPECT_EQ(PvBuild(day, {0, 2, 1000, 1000}).all, (std::map<int, int>{{2, 1}}));
  // An end of 23:59 rolls over to the next day's midnight.
  PriceVolumeWindow({0, 2, 2300, 2359}, MakePackedDateTime(2024, 3, 31, 9, 0), 0, &start, &end);
  EXPECT_EQ(start, MakePackedDateTime(2024, 3, 31, 23, 0));
  EXPECT_EQ(end, MakePackedDateTime(2024, 4, 1, 0, 0));
}

TEST(PriceVolumeStats, NatureSharesOfFuturesTrades) {
  const PackedDateTime t = MakePackedDateTime(2024, 3, 4, 10, 0);
  // Open interest before the first trade 1000 (from the quote).
  struct Case {
    float volume, openInterest;
    uint8_t side;
  } cases[] = {
      {10, 1000, 0},  // d 0: 多换
      {10, 1000, 1},  // d 0: 空换
      {10, 1010, 0},  // d = v: 双开
      {10, 1000, 1},  // d = -v: 双平
      {10, 1004, 0},  // d 4 > 0: 多开, turnover 6
      {10, 1008, 1},  // d 4: 空开, turnover 6
      {10, 1005, 0},  // d -3: 空平, turnover 7
      {10, 1003, 1},  // d -2: 多平, turnover 8
      {2, 1008, 0},   // d 5 > v: 多开 without turnover
  };
  std::vector<TICKREC> trades;
  for (const Case &c : cases) trades.push_back(PvTradeAt(t, 3000, c.volume, c.side, c.openInterest));
  TPriceVolumeInstrument instrument;
  instrument.marketType = 2;
  instrument.volumeUnit = 10;  // the shares compare raw with raw: the unit plays no part
  instrument.previousOpenInterest = 1000;
  const PvStats s = PvBuild(trades, {0, 0, 0, 0}, instrument);
  const float T = 82;
  const float expected[kShareCount] = {10 / T * 100, 10 / T * 100, 10 / T * 100, 10 / T * 100,
                                       12 / T * 100, 10 / T * 100, 10 / T * 100, 10 / T * 100,
                                       6 / T * 100,  8 / T * 100,  6 / T * 100,  7 / T * 100};
  for (int k = 0; k < kShareCount; ++k) EXPECT_NEAR(s.f.shares[k], expected[k], 1e-4) << k;

  // Other market types have no shares.
  instrument.marketType = 1;
  const PvStats stock = PvBuild(trades, {0, 0, 0, 0}, instrument);
  for (float share : stock.f.shares) EXPECT_EQ(share, 0);
}

TEST(PriceVolumeStats, NearestPriceTakesTheLowerOfTwoAsNear) {
  const std::map<int, int> prices = {{100, 1}, {110, 1}, {130, 1}};
  struct Case {
    int target, nearest;
  } cases[] = {{50, 100}, {105, 100}, {106, 110}, {120, 110}, {121, 130}, {500, 130}};
  for (const Case &c : cases) EXPECT_EQ(NearestPriceVolumePrice(prices, c.target), c.nearest) << c.target;
  EXPECT_EQ(NearestPriceVolumePrice({}, 5), 0);
}

class PriceVolumeDialog : public ChartWorld {};

TEST_F(PriceVolumeDialog, OkChecksTheInputInOrder) {
  struct Case {
    const char *volume;
    int mode;  // 0 all, 1 near, 2 range
    const char *minutes;
    int start, end;  // HHMM
    const char *warning;
  } cases[] = {
      {"0", 1, "240", 900, 1500, nullptr},
      {"0", 1, "241", 900, 1500, "分钟数不能超过 240。  "},
      {"32768", 1, "241", 900, 1500, "数量限制不能超过 32767。  "},
      {"32768", 2, "30", 1500, 1459, "起始时间应早于结束时间。  "},
      {"5", 2, "30", 1000, 1000, nullptr},
  };
  for (const Case &c : cases) {
    boxes_.Clear();
    TPriceVolumeSettingDialog dialog(nullptr);
    EXPECT_EQ(dialog.TimeLimit->Text(), "30");
    dialog.ShowRange({0, c.mode, c.mode == 2 ? c.start : 0, c.mode == 2 ? c.end : 0});
    dialog.VolumeLimit->SetText(c.volume);
    if (c.mode == 1) dialog.TimeLimit->SetText(c.minutes);
    int result = harness_.RunModal(&dialog, [&] {
      harness_.Click(dialog.OK, 5, 5);
      if (c.warning) harness_.Click(dialog.CANCEL, 5, 5);
    });
    if (!c.warning) {
      EXPECT_EQ(result, mrOk) << c.volume << " " << c.minutes;
      EXPECT_EQ(boxes_.Count(), 0u);
      const TPriceVolumeRange r = dialog.ChosenRange();
      EXPECT_EQ(r.timeMode, c.mode);
      EXPECT_EQ(r.param1, c.mode == 1 ? 240 : c.start);
      continue;
    }
    EXPECT_EQ(result, mrCancel) << c.warning;
    ASSERT_EQ(boxes_.Count(), 1u) << c.warning;
    EXPECT_EQ(boxes_.Calls()[0].text, c.warning);
    EXPECT_EQ(boxes_.Calls()[0].caption, "提示");
  }
}

class PriceVolumeBox : public ChartWorld {
 protected:
  void FeedTrades(TDrawViewDouble *view, const std::vector<TICKREC> &trades) {
    if (view->TradeAgent < 0) view->TradeAgent = AcquireDataAgent(view->m_attr.stock, kAgentTicks, 0, view->Handle());
    CDataAgent *a = DataAgentAt(view->TradeAgent);
    ASSERT_NE(a, nullptr);
    Free(a->series);
    const int32_t bytes = int32_t(trades.size() * sizeof(TICKREC));
    a->series = Malloc(std::max(bytes, 1));
    std::memcpy(a->series, trades.data(), size_t(bytes));
    a->itemSize = int32_t(sizeof(TICKREC));
    a->itemCount = int32_t(trades.size());
    a->capacity = a->itemCount;
  }
};

TEST_F(PriceVolumeBox, TabsSwitchThePanelAndTheBoxDrawsBothSides) {
  PutQuote(DL, 0);
  Info(DL, 0).priceDivisor = 1;
  auto page = OpenChart(Stock(DL, 0), VIEW_TYPE_INTRADAY, 700, 500);
  TDrawViewDouble *view = Chart(*page);
  ASSERT_TRUE(view);
  if (!view->N5->Checked) view->N5Click();
  harness_.Pump();
  ASSERT_EQ(view->TabChooser->Tabs.Count(), 2);

  // Before the chart has laid out its price area a move maps nothing.
  view->PriceVolumeMouseMove(100);
  EXPECT_EQ(view->HoverFraction, -1.0);

  const PackedDateTime t = MakePackedDateTime(2024, 3, 4, 10, 0);
  std::vector<TICKREC> trades;
  for (int k = 0; k < 40; ++k)
    trades.push_back(PvTradeAt(t, uint32_t(3000 + 10 * (k % 10)), float(1 + k % 7), uint8_t(k % 2), float(500 + k)));
  FeedTrades(view, trades);
  view->PriceAxisTop = 3100;
  view->PriceAxisBottom = 2990;
  view->SetChartPriceRatio(0.7);

  view->TabChooserLButtonDown(1);
  harness_.Pump();
  EXPECT_EQ(view->TabChooser->TabIndex(), 1);
  EXPECT_TRUE(view->PriceVolume->Visible());
  EXPECT_FALSE(view->StringGrid1->Visible());
  EXPECT_FALSE(view->MsgPage->Visible());
  EXPECT_EQ(view->PriceVolume->Height(), view->Panel1->Height() - view->TabChooser->Height());
  EXPECT_EQ(view->VolumeByPrice.size(), 10u);
  // The selected tab opens into the panel above; the rest of the top edge is drawn.
  RECT tab{};
  ASSERT_TRUE(view->TabChooser->GetItemRect(1, &tab));
  EXPECT_EQ(tab.right - tab.left, TDrawView::TabChooserMeasureTab("价"));
  EXPECT_EQ(harness_.Pixel(view->TabChooser, (tab.left + tab.right) / 2, tab.top), ViewColor(1));
  EXPECT_EQ(harness_.Pixel(view->TabChooser, view->TabChooser->Width() - 3, 0), ViewColor(14));

  // Buyers left of the axis, sellers right, on the line of their price.
  const int W = view->PriceVolume->Width();
  const int y = view->PriceVolumeY(3000);
  EXPECT_EQ(harness_.Pixel(view->PriceVolume, W / 2 - 2, y), ViewColor(21));
  EXPECT_EQ(harness_.Pixel(view->PriceVolume, W / 2 + 3, view->PriceVolumeY(3010)), ViewColor(19));

  // The hover line goes to the nearest price and its box shows it.
  view->PriceVolumeMouseMove(36);
  EXPECT_EQ(view->HoverPrice, 3090);
  harness_.SavePng(harness_.Render(view->PriceVolume), "price-volume");

  // Comparison off: one histogram of the total.
  view->PriceVolumeMouseDown(mbLeft, 20, 8);
  EXPECT_FALSE(view->ComparisonMode);
  harness_.Pump();
  EXPECT_EQ(harness_.Pixel(view->PriceVolume, 1, y), ViewColor(33));

  view->TabChooserLButtonDown(0);
  harness_.Pump();
  EXPECT_FALSE(view->PriceVolume->Visible());
  EXPECT_TRUE(view->StringGrid1->Visible());
}

// A repaint (the hover, the comparison switch, a quote without a trade)
// draws the statistics it has; they are counted again only when a trade
// came, the series was rebuilt or the range or the instrument's figures
// changed.
TEST_F(PriceVolumeBox, StatisticsAreCountedAgainOnlyWhenTheirSourceChanges) {
  PutQuote(DL, 0);
  Info(DL, 0).priceDivisor = 1;
  auto page = OpenChart(Stock(DL, 0), VIEW_TYPE_INTRADAY, 700, 500);
  TDrawViewDouble *view = Chart(*page);
  if (!view->N5->Checked) view->N5Click();
  harness_.Pump();
  const PackedDateTime t = MakePackedDateTime(2024, 3, 4, 10, 0);
  std::vector<TICKREC> trades;
  for (int k = 0; k < 40; ++k)
    trades.push_back(PvTradeAt(t, uint32_t(3000 + 10 * (k % 10)), float(1 + k % 7), uint8_t(k % 2), float(500 + k)));
  FeedTrades(view, trades);
  CDataAgent *a = DataAgentAt(view->TradeAgent);
  void *room = Malloc(int32_t(50 * sizeof(TICKREC)));
  std::memcpy(room, a->series, trades.size() * sizeof(TICKREC));
  Free(a->series);
  a->series = room;
  a->capacity = 50;
  view->PriceAxisTop = 3200;
  view->PriceAxisBottom = 2990;
  view->SetChartPriceRatio(0.7);
  view->TabChooserLButtonDown(1);
  harness_.Pump();
  ASSERT_TRUE(view->PriceVolume->Visible());
  ASSERT_EQ(view->VolumeByPrice.size(), 10u);

  struct Case {
    const char *what;
    std::function<void()> change;
    bool counted;
  } cases[] = {
      {"plain repaint", [] {}, false},
      {"hover", [&] { view->PriceVolumeMouseMove(60); }, false},
      {"comparison switched", [&] { view->PriceVolumeMouseDown(mbLeft, 20, 8); }, false},
      {"a trade came",
       [&] {
         static_cast<TICKREC *>(a->series)[a->itemCount++] = PvTradeAt(t, 3150, 4, 0, 540);
       },
       true},
      {"the same range again", [&] { view->StatsVolumeLimit = 0; }, false},
      {"a volume limit", [&] { view->StatsVolumeLimit = 3; }, true},
      {"last minutes", [&] { view->StatsTimeMode = 1, view->StatsTimeParam1 = 30; }, true},
      {"the series rebuilt", [&] { ++a->generation; }, true},
      {"the open interest before the first trade", [&] { Quote(DL, 0).prevOpenInterest = 480; }, true},
      {"the trading unit", [&] { Info(DL, 0).volumeUnit = 10; }, true},
  };
  for (const Case &c : cases) {
    const uint32_t before = view->PriceVolumeBuilds;
    c.change();
    view->PriceVolume->Invalidate();
    harness_.Pump();
    EXPECT_EQ(view->PriceVolumeBuilds, before + (c.counted ? 1 : 0)) << c.what;
  }
  // What was counted last is what the range and the trades give.
  PvStats expected = PvBuild(std::vector<TICKREC>(static_cast<TICKREC *>(a->series),
                                                  static_cast<TICKREC *>(a->series) + a->itemCount),
                             {3, 1, 30, 0}, {10, 1, 2, 480});
  EXPECT_EQ(view->VolumeByPrice, expected.all);
  EXPECT_EQ(view->BuyVolumeByPrice, expected.buy);
}

TEST_F(PriceVolumeBox, GridTakesWholeRowsOfTheRoomTheQuotePanelLeaves) {
  auto page = OpenChart(Stock(DL, 0), VIEW_TYPE_INTRADAY, 700, 500);
  TDrawViewDouble *view = Chart(*page);
  if (!view->N5->Checked) view->N5Click();
  harness_.Pump();
  view->Panel1->SetAlign(alNone);
  view->Panel1->SetHeight(200);
  view->MsgPage->SetHeight(60);
  view->TabChooser->SetHeight(16);
  view->StringGrid1->SetDefaultRowHeight(18);
  view->Panel1Resize();
  EXPECT_EQ(view->StringGrid1->Height(), 108);
  EXPECT_EQ(view->StringGrid1->Top(), 60);
  EXPECT_EQ(view->StringGrid1->Width(), view->Panel1->Width() + 10);
}

TEST_F(PriceVolumeBox, K_lineViewHasOnlyTheTradesTab) {
  auto page = OpenChart(Stock(DL, 0), VIEW_TYPE_KLINE);
  TDrawViewDouble *view = Chart(*page);
  ASSERT_EQ(view->TabChooser->Tabs.Count(), 1);
  view->TabChooserLButtonDown(0);
  EXPECT_FALSE(view->PriceVolume->Visible());
  EXPECT_TRUE(view->MsgPage->Visible());
}

class PvDropText : public CDragDropStringObject {
 public:
  using CDragDropStringObject::CDragDropStringObject;
};

TEST_F(PriceVolumeBox, DropWritesTheHandOverFileAndNeverAsksTheSourceToMove) {
  const char *old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  box_.WriteText("appdata/keep", "");
  setenv("XDG_DATA_HOME", box_.Path("appdata").c_str(), 1);
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  ASSERT_TRUE(view->DropTarget);
  auto *data = new PvDropText("DLF,M01X");  // 8 characters
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(view->DropTarget->DragEnter(data, 0, POINT{1, 1}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(view->DropTarget->Drop(data, 0, POINT{10, 20}, &effect), E_INVALIDARG);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  std::vector<std::filesystem::path> written;
  for (const auto &e : std::filesystem::directory_iterator(box_.Path("appdata")))
    if (e.path().extension() == ".txt") written.push_back(e.path());
  ASSERT_EQ(written.size(), 1u);
  const std::string path = written[0].string();
  EXPECT_EQ(std::filesystem::file_size(path), 9u) << "market, NUL, code, NUL";

  // A text without a comma posts nothing.
  auto *plain = new PvDropText("nocomma");
  EXPECT_EQ(view->DropTarget->Drop(plain, 0, POINT{0, 0}, &effect), E_INVALIDARG);
  harness_.Pump();
  EXPECT_FALSE(std::filesystem::exists(path)) << "the view took and deleted the file";
  data->Release();
  plain->Release();
  if (old)
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace charts_test
