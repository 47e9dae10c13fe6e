// The trade-by-trade views with 10,000, 100,000 and 500,000 trades of a day:
// the tick chart's layout, the price distribution, the price-volume
// statistics and the big-order filter's index. Each should grow no faster
// than the number of trades (compare the 500,000 row with 60 x the 10,000
// row of the same run).
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "charts/distribute.h"
#include "charts/drawview.h"
#include "charts/pricevolume.h"
#include "charts/tick.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "testing/drawview_double.h"
#include "testing/msgbox_recorder.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/reportcolumns.h"

namespace {

std::vector<TICKREC> TickStatsTrades(int n) {
  std::vector<TICKREC> out(static_cast<size_t>(n));
  float openInterest = 100000;
  for (int k = 0; k < n; ++k) {
    TICKREC &t = out[size_t(k)];
    const int minute = 9 * 60 + (k * 330 / n);
    t.time = MakePackedDateTime(2024, 3, 4, unsigned(minute / 60), unsigned(minute % 60));
    t.price = 3000000 + uint32_t(1000 * ((k * 7919) % 400));
    t.volume = float(1 + (k * 31) % 97);
    openInterest += float((k * 13) % 9) - 4;
    t.amount = openInterest;
    t.side = uint8_t(k % 3);
  }
  return out;
}

struct TickStatsBench {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world;
  testing_support::TDrawViewRegistration registration;
  MessageBoxRecorder boxes;
  std::unique_ptr<testing_support::ViewPage> page;
  testing_support::TDrawViewDouble *view = nullptr;
  VIEW_ATTR_13 attr{};

  TickStatsBench() {
    RebuildViewFonts();
    world.PutQuote(0, 1);
    InitViewAttr(VIEW_TYPE_INTRADAY, &attr);
    attr.stock = STKPTR(0, 0, 1);
    page = std::make_unique<testing_support::ViewPage>(VIEW_TYPE_INTRADAY, &attr, 1024, 768);
    harness.Pump();
    view = page->View<testing_support::TDrawViewDouble>();
  }
};

#define TICKSTATS_ARGS Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond)

void BM_TickChartLayout(benchmark::State &state) {
  TickStatsBench b;
  std::vector<TICKREC> trades = TickStatsTrades(int(state.range(0)));
  _Tick tick;
  tick.zoom = 0.25f;
  const RECT pane{0, 0, 1600, 700};
  for (auto _ : state) {
    tick.windowStart = -1;
    tick.SetTicks(trades.data(), int(trades.size()), b.attr);
    tick.SetPaneRect(pane, 60, 60, 18, 16);
    tick.Layout(b.attr);
    benchmark::DoNotOptimize(tick.GetVisibleCount());
  }
}
BENCHMARK(BM_TickChartLayout)->TICKSTATS_ARGS;

void BM_PriceDistributionBuild(benchmark::State &state) {
  TickStatsBench b;
  const std::vector<TICKREC> trades = TickStatsTrades(int(state.range(0)));
  for (auto _ : state) {
    CDistributePrice distribution;
    distribution.SetTicks(trades.data(), int(trades.size()), b.attr);
    distribution.Build(b.attr);
    benchmark::DoNotOptimize(distribution.totalVolume);
  }
}
BENCHMARK(BM_PriceDistributionBuild)->TICKSTATS_ARGS;

void BM_PriceVolumeStatistics(benchmark::State &state) {
  const std::vector<TICKREC> trades = TickStatsTrades(int(state.range(0)));
  std::map<int, int> buy, sell, all;
  TPriceVolumeFigures figures;
  TPriceVolumeInstrument instrument;
  instrument.marketType = 2;
  instrument.previousOpenInterest = 100000;
  const TPriceVolumeRange range{2, 2, 930, 1400};
  for (auto _ : state) {
    BuildPriceVolumeStats(trades.data(), int(trades.size()), range, instrument, buy, sell, all, &figures);
    benchmark::DoNotOptimize(figures.maxVolume);
  }
}
BENCHMARK(BM_PriceVolumeStatistics)->TICKSTATS_ARGS;

void BM_BigOrderFilterRebuild(benchmark::State &state) {
  TickStatsBench b;
  const std::vector<TICKREC> trades = TickStatsTrades(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(b.view->BuildDetailIndex(trades.data(), int(trades.size()), 20));
}
BENCHMARK(BM_BigOrderFilterRebuild)->TICKSTATS_ARGS;

// The price-volume box painted again with nothing new (the hover, the
// comparison switch, a quote without a trade) against the same paint when
// the series was rebuilt, which counts the statistics again (what every
// paint of the box cost before they were kept).
void PriceVolumeRepaint(benchmark::State &state, bool rebuilt) {
  TickStatsBench b;
  const std::vector<TICKREC> trades = TickStatsTrades(int(state.range(0)));
  if (!b.view->N5->Checked) b.view->N5Click();
  b.harness.Pump();
  if (b.view->TradeAgent < 0) b.view->TradeAgent = AcquireDataAgent(b.attr.stock, kAgentTicks, 0, b.view->Handle());
  CDataAgent *a = DataAgentAt(b.view->TradeAgent);
  Free(a->series);
  const int32_t bytes = int32_t(trades.size() * sizeof(TICKREC));
  a->series = Malloc(bytes);
  std::memcpy(a->series, trades.data(), size_t(bytes));
  a->itemSize = int32_t(sizeof(TICKREC));
  a->itemCount = a->capacity = int32_t(trades.size());
  b.view->PriceAxisTop = 3400000;
  b.view->PriceAxisBottom = 3000000;
  b.view->SetChartPriceRatio(0.7);
  b.view->TabChooserLButtonDown(1);
  b.harness.Pump();
  for (auto _ : state) {
    if (rebuilt) ++a->generation;
    b.view->PriceVolumePaint();
  }
  state.counters["counted"] = double(b.view->PriceVolumeBuilds);
}
void BM_PriceVolumeRepaint(benchmark::State &state) { PriceVolumeRepaint(state, false); }
void BM_PriceVolumeRepaintRebuilt(benchmark::State &state) { PriceVolumeRepaint(state, true); }
BENCHMARK(BM_PriceVolumeRepaint)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PriceVolumeRepaintRebuilt)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

}  // namespace
