// The intraday view's past days and overlays: recall from the local trend
// history, the chain that waits for a day asked from the server, a chosen
// date, and the overlay list's limits.
#include <cstring>
#include <string>
#include <vector>

#include "chart_world.h"
#include "charts/datepickerdlg.h"
#include "charts/rendform.h"
#include "market/calendar.h"
#include "market/datafile.h"

namespace charts_test {
namespace {

using testing_support::ViewPage;

constexpr PackedDateTime Jan(unsigned d) { return MakePackedDateTime(2024, 1, d); }

class HistoryRecall : public ChartWorld {
 protected:
  HistoryRecall() {
    RegisterIntradayView();
    CacheRequests() = CacheRequestHooks{};
    CacheRequests().trendHistory = [this](int market, int stock, PackedDateTime date, uint32_t) {
      asked_.push_back(date);
      (void)market;
      (void)stock;
    };
    // Wednesday 10 January 2024, 10:00 market time (UTC + 8).
    harness_.Clock().SetUtc(market_fixture::UtcAt(2024, 1, 10, 2, 0));
    UpdateCurrentUtcTime();
    for (int m = 0; m < MarketTable.marketCount; ++m) {
      TMarketData *md = MarketTable.markets[m];
      md->UpdateMarketClock(CurrentUtcTime);
      for (int k = 0; k < md->m_info.kindCount; ++k)
        md->m_tradingDate[k] = ComputeTradingDate(md, k, md->m_info.calendarKey);
    }
    PutQuote(DL, 0);
  }
  ~HistoryRecall() override { CacheRequests() = CacheRequestHooks{}; }

  std::unique_ptr<ViewPage> Open() {
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_INTRADAY, &record);
    record.stock = Stock(DL, 0);
    auto page = std::make_unique<ViewPage>(VIEW_TYPE_INTRADAY, &record, 800, 500);
    harness_.Pump();
    return page;
  }
  // A past day in the instrument's trend history: every minute at price.
  void PutHistoryDay(int market, int stock, PackedDateTime date, uint32_t price) {
    const int items = TrendItemsPerDay(MarketAt(market), stock);
    ASSERT_GT(items, 0);
    std::vector<TRENDITEM> day(size_t(items), TRENDITEM{price, 2, 500, 0, 0, 0});
    char path[MAX_PATH];
    ASSERT_EQ(CacheFilePath(MarketAt(market), stock, kCacheTrendDay, path, sizeof path, date), 1);
    std::string rel = std::string(path).substr(3);
    for (char &c : rel)
      if (c == '\\') c = '/';
    if (rel.compare(0, 4, "Data") == 0) rel[0] = 'd';
    box_.WriteText(rel, std::string(reinterpret_cast<const char *>(day.data()), day.size() * sizeof(TRENDITEM)));
    ASSERT_EQ(MergeTrendDay(MarketAt(market), stock, date), 1);
  }
  static std::vector<PackedDateTime> Dates(const CMultiTrend &trend) {
    std::vector<PackedDateTime> out;
    for (int i = 0; i < trend.DayCount(); ++i) out.push_back(trend.Day(i)->date & kPackedDateMask);
    return out;
  }
  std::vector<PackedDateTime> asked_;
};

TEST_F(HistoryRecall, RecentDaysComeFromTheHistoryAndFewerDaysDropTheOldest) {
  for (unsigned d : {3u, 4u, 5u, 8u, 9u}) PutHistoryDay(DL, 0, Jan(d), 10000 + 40 * d);
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  ASSERT_EQ(v->Trend.DayCount(), 1);

  v->RecallDays(4);  // "最近5日": the weekend is stepped over
  EXPECT_EQ(Dates(v->Trend), (std::vector<PackedDateTime>{Jan(4), Jan(5), Jan(8), Jan(9), Jan(10)}));
  for (int i = 0; i < 4; ++i) {
    const _TickData *day = v->Trend.Day(i);
    EXPECT_EQ(day->history, 1) << i;
    EXPECT_EQ(day->RawCount(), TrendItemsPerDay(MarketAt(DL), 0)) << i;
    EXPECT_EQ(day->GetRecords()[0].price, 10000 + 40 * PackedDay(day->date)) << i;
  }
  EXPECT_EQ(v->Trend.Day(4)->history, 0);
  EXPECT_TRUE(asked_.empty());
  harness_.Pump();
  harness_.SavePng(harness_.Render(v), "intraday-recall-5days");

  v->RecallDays(2);  // "最近3日"
  EXPECT_EQ(Dates(v->Trend), (std::vector<PackedDateTime>{Jan(8), Jan(9), Jan(10)}));
  v->RecallDays(0);  // "当日走势": only the live day stays
  EXPECT_EQ(Dates(v->Trend), (std::vector<PackedDateTime>{Jan(10)}));
  EXPECT_EQ(v->Trend.Day(0)->history, 0);
}

TEST_F(HistoryRecall, OlderDaysWaitForTheOneAskedFromTheServer) {
  for (unsigned d : {4u, 5u, 8u}) PutHistoryDay(DL, 0, Jan(d), 10000 + 40 * d);
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  v->RecallDays(4);
  // Only the newest missing day is asked for; the older ones wait.
  EXPECT_EQ(asked_, (std::vector<PackedDateTime>{Jan(9)}));
  EXPECT_EQ(v->Trend.Day(3)->RawCount(), -1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(v->Trend.Day(i)->RawCount(), -1) << i;

  // An answer for a day the view does not show changes nothing.
  v->Notify(18, Stock(DL, 0).Word(), intptr_t(Jan(2)), 0);
  EXPECT_EQ(v->Trend.Day(2)->RawCount(), -1);

  PutHistoryDay(DL, 0, Jan(9), 1009);
  v->Notify(18, Stock(DL, 0).Word(), intptr_t(Jan(9)), 0);
  const int items = TrendItemsPerDay(MarketAt(DL), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(v->Trend.Day(i)->RawCount(), items) << i;
  EXPECT_EQ(v->Trend.Day(3)->GetRecords()[0].price, 1009u);
  EXPECT_EQ(asked_.size(), 1u);
}

TEST_F(HistoryRecall, AChosenDateStepsBackToATradingDayAndNeverPastToday) {
  PutHistoryDay(DL, 0, Jan(5), 1005);
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  struct Case {
    PackedDateTime asked, shown;
    bool history;
  } cases[] = {
      {Jan(7), Jan(5), true},     // a Sunday shows the Friday before
      {Jan(20), Jan(10), false},  // a future date shows the live day
      {Jan(5), Jan(5), true},
  };
  for (const Case &c : cases) {
    v->ShowTrendOfDate(c.asked);
    ASSERT_EQ(v->Trend.DayCount(), 1);
    EXPECT_EQ(v->Trend.Day(0)->date & kPackedDateMask, c.shown) << PackedDay(c.asked);
    EXPECT_EQ(v->Trend.Day(0)->history != 0, c.history) << PackedDay(c.asked);
    if (c.history) EXPECT_EQ(v->Trend.Day(0)->GetRecords()[0].price, 1005u);
  }
  // "当日走势" brings the live day back.
  v->RecallDays(0);
  EXPECT_EQ(v->Trend.Day(0)->history, 0);
  EXPECT_EQ(v->Trend.Day(0)->date & kPackedDateMask, Jan(10));
}

TEST_F(HistoryRecall, TheDatePickerStartsAtTodayAndGivesTheChosenDay) {
  TDatePickerDlg dialog(nullptr);
  EXPECT_EQ(dialog.Caption(), "选择日期");
  EXPECT_EQ(dialog.ChosenDate(), Jan(10)) << "today, by the program's clock";
  const int ch = dialog.MonthCalendar1->Height();
  EXPECT_EQ(dialog.Button1->Top(), ch + 7);
  EXPECT_EQ(dialog.Button2->Left(), dialog.Width() - dialog.Button2->Width() - 12);
  EXPECT_EQ(dialog.Button1->Left(), dialog.Width() - dialog.Button2->Width() - dialog.Button1->Width() - 17);
  const int result = harness_.RunModal(&dialog, [&] {
    dialog.MonthCalendar1->AddDays(-3);  // Sunday the 7th
    harness_.Click(dialog.Button1, 5, 5);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(dialog.ChosenDate(), Jan(7));
}

TEST_F(HistoryRecall, PropertiesChangeTheViewsFlagsAndItems) {
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  v->m_attr.displayFlags = 0x200;
  IntradayPropertyChoices seen;
  IntradayPropertyDialog() = [&](TRendForm &, IntradayPropertyChoices &c) {
    seen = c;
    c.volumeBySide = true;
    c.detailsUpward = true;
    c.enterCycles = true;
    c.tickAverage = false;
    std::memset(c.items, 0, sizeof c.items);
    c.items[0] = 1;
    c.items[1] = 7;
    return true;
  };
  v->NPropertyClick();
  IntradayPropertyDialog() = nullptr;
  EXPECT_FALSE(seen.enterCycles) << "flag 0x200 set: Enter does not cycle";
  EXPECT_FALSE(seen.volumeBySide);
  EXPECT_EQ(v->m_attr.displayFlags, 0x1u | 0x400u | 0x1000u);
  EXPECT_EQ(v->Tick.averageShown, 0);
  EXPECT_EQ(v->DetailItems()[0], 1);
  EXPECT_EQ(v->DetailItems()[1], 7);
  EXPECT_EQ(v->DetailItems()[2], 0);
  // Without the options dialog the command does nothing.
  v->NPropertyClick();
  EXPECT_EQ(v->m_attr.displayFlags, 0x1u | 0x400u | 0x1000u);
}

TEST_F(HistoryRecall, TheOverlayListHoldsSevenOtherInstruments) {
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  v->AddOverlay(Stock(DL, 0), false);  // the view's own instrument
  EXPECT_EQ(v->OverlayCount(), 0);
  const STKPTR others[] = {Stock(DL, 1), Stock(DL, 2), Stock(SH, 0), Stock(SH, 1),
                           Stock(SZ, 0), Stock(ZJ, 0), Stock(ZJ, 1), Stock(HK, 0)};
  for (const STKPTR &s : others) v->AddOverlay(s, false);
  v->AddOverlay(Stock(DL, 1), false);
  EXPECT_EQ(v->OverlayCount(), 7);
  EXPECT_TRUE(v->OverlaysShown());
  int slot = 0;
  for (const COverlappedStock *o = v->Overlays; o; o = o->next, ++slot) {
    EXPECT_TRUE(SameStock(o->stock, others[slot])) << slot;
    EXPECT_GE(o->agent, 0) << slot;
  }
  EXPECT_STREQ(std::string(v->Overlays->code, 8).c_str(), "CU2405");  // the extended code, upper case
  PutQuote(DL, 1).last = 10500;
  v->RefreshView(true);
  harness_.Pump();
  harness_.SavePng(harness_.Render(v), "intraday-overlays");
  v->N15Click();
  EXPECT_EQ(v->OverlayCount(), 0);
  EXPECT_FALSE(v->OverlaysShown());
}

TEST_F(HistoryRecall, TheStoredPaneDataEndsTheOverlayListAfterTheLastOverlay) {
  // A K-line view that takes over the pane restores its overlays from this
  // list; the first instrument of market 0 is no end mark.
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  MVCDATA_12 data;
  ClearViewData(&data);
  v->StoreChartData(&data);
  EXPECT_TRUE(IsOverlayEnd(data.overlays[0]));
  v->AddOverlay(Stock(DL, 1), false);
  v->StoreChartData(&data);
  EXPECT_TRUE(SameStock(data.overlays[0], Stock(DL, 1)));
  for (int i = 1; i < kMaxOverlays; ++i) EXPECT_TRUE(IsOverlayEnd(data.overlays[i])) << i;
}

TEST_F(HistoryRecall, AnOverlayAddedToAPastDayLoadsAtOnce) {
  PutHistoryDay(DL, 0, Jan(5), 1005);
  PutHistoryDay(DL, 1, Jan(5), 2005);
  auto page = Open();
  TRendForm *v = page->View<TRendForm>();
  v->ShowTrendOfDate(Jan(5));
  v->AddOverlay(Stock(DL, 1), false);
  const _TickData *day = v->Trend.Day(0);
  EXPECT_EQ(day->RawOverlayCount(0), TrendItemsPerDay(MarketAt(DL), 1));
  EXPECT_EQ(day->GetOverlayRecords(0)[0].price, 2005u);
  EXPECT_GE(v->Overlays->agent, 0);
  EXPECT_TRUE(asked_.empty());
}

}  // namespace
}  // namespace charts_test
