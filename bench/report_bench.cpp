// The quote report under load: sorting a full block of 7,168 rows, painting
// a full screen of 60 rows and 20 columns, and the share of each pushed
// quote that the report takes while it shows 60 rows of a big block.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "market/blocks.h"
#include "platform/winuser.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "views/colschemes.h"
#include "views/reportcore.h"

namespace {

constexpr int kRows = 7168;

// The big market as the report's first tab, with a 20-column scheme.
struct BigReport {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world{kRows};
  testing_support::RecordingFrameHost host;
  std::unique_ptr<testing_support::ReportPage> page;

  BigReport() {
    world.Box().WriteText("cfg/SETTING.INI", "[PARAMETER]\r\nSysBlocks=大表 大连\r\n");
    world.Box().WriteText("user/SETTING.INI",
                          "[TableDef1]\r\nCount=20\r\nId=0,9,1,3,4,5,6,7,8,10,11,24,25,26,28,29,27,2,30,32\r\n"
                          "ColWidth=4,7,8,7,7,7,7,8,8,6,6,6,7,7,5,5,7,7,6,14\r\n");
    std::mt19937 random(7);
    for (int s = 0; s < kRows; ++s) {
      world.PutQuote(4, s);
      world.Quote(4, s).last = 9000 + random() % 2000;
    }
    page = std::make_unique<testing_support::ReportPage>(1600, 1260);
    harness.Pump();
  }
  ~BigReport() {
    page.reset();
    FreeColumnSchemes();
  }
  TReport *Report() { return page->Report(); }
};

void BM_SortRowsByQuoteValue(benchmark::State &state) {
  std::mt19937 random(3);
  std::vector<REPORTROW> rows(kRows), work(kRows);
  std::vector<double> values(kRows), workValues(kRows);
  for (int i = 0; i < kRows; ++i) {
    rows[size_t(i)] = REPORTROW{4, 0, uint16_t(i), uint16_t(i), 0, 0};
    values[size_t(i)] = double(random() % 4000) / 100.0 - 20.0;  // changes in percent, many equal
  }
  for (auto _ : state) {
    work = rows;
    workValues = values;
    SortRowsByValue(work.data(), workValues.data(), kRows, 1);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SortRowsByQuoteValue)->Unit(benchmark::kMicrosecond);

void BM_SortRowsByCode(benchmark::State &state) {
  testing_support::ReportWorld world(kRows);
  TReportCore core;
  core.LoadRows(world.Block("大表"));
  std::mt19937 random(5);
  std::vector<REPORTROW> shuffled(core.rows, core.rows + core.rowCount);
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  for (auto _ : state) {
    std::copy(shuffled.begin(), shuffled.end(), core.rows);
    SortRowsByCode(core.rows, core.rowCount, 1);
    benchmark::DoNotOptimize(core.rows);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SortRowsByCode)->Unit(benchmark::kMicrosecond);

void BM_PaintFullReport(benchmark::State &state) {
  BigReport big;
  TReport *report = big.Report();
  HWND grid = report->Grid()->Handle();
  state.counters["rows"] = report->Grid()->VisibleRowCount();
  state.counters["columns"] = report->Core().columnCount;
  for (auto _ : state) {
    RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
}
BENCHMARK(BM_PaintFullReport)->Unit(benchmark::kMicrosecond);

void BM_PushedQuotes(benchmark::State &state) {
  BigReport big;
  TReport *report = big.Report();
  std::mt19937 random(11);
  std::vector<uint32_t> keys(1000);
  for (uint32_t &k : keys) k = (uint32_t(random() % kRows) << 16) | 4u;
  // A tenth of the quotes go to the rows on screen.
  for (size_t i = 0; i < keys.size(); i += 10) keys[i] = (uint32_t(i % 60) << 16) | 4u;
  for (auto _ : state) {
    for (uint32_t key : keys) report->Notify(0, key, 0, kChangedLast | kChangedVolume);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(keys.size()));
  state.counters["shown rows"] = report->Grid()->VisibleRowCount();
}
BENCHMARK(BM_PushedQuotes)->Unit(benchmark::kMicrosecond);

}  // namespace
