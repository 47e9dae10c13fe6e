// The page of panes: opening a saved page of nine panes and laying it out
// in a full-screen window (the views are the plain placeholders), and
// building the page list from 128 page files at start-up.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "market/utildata.h"
#include "platform/path.h"
#include "platform/winuser.h"
#include "classlib/forms.h"
#include "testing/market_fixture_min.h"
#include "testing/page_fixture.h"
#include "views/mvmain.h"
#include "views/pagelist.h"

namespace {

// state.range(0): 1 to count the paints and first-layout messages that
// follow, 0 to time the opening and the layout alone.
void BM_OpenNinePanePage(benchmark::State &state) {
  const bool withPaint = state.range(0) != 0;
  market_fixture::MarketSandbox box;
  box.WriteText("user/keep", "");
  const std::string path = std::string(UserDataPath) + "kvpage0.ppg";
  page_fixture::WriteFile(platform::ResolvePath(path.c_str()), page_fixture::GridPage(3, 3, VIEW_TYPE_KLINE));
  auto main = std::make_unique<TForm>(nullptr);
  main->SetBorderStyle(bsNone);
  main->SetClientSize(1920, 1080);
  main->Show();
  auto *page = new TMultiViewMain(main.get(), 1, "");
  platform::ProcessPendingMessages();
  for (auto _ : state) {
    page->OpenPage(path.c_str(), 1);
    if (!withPaint) state.PauseTiming();
    platform::ProcessPendingMessages();
    if (!withPaint) state.ResumeTiming();
  }
  if (page->PaneCount() != 9) state.SkipWithError("the page did not open with nine panes");
  delete page;
}
BENCHMARK(BM_OpenNinePanePage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadPageList128(benchmark::State &state) {
  market_fixture::MarketSandbox box;
  box.WriteText("user/keep", "");
  const std::string bytes = page_fixture::GridPage(2, 2, VIEW_TYPE_REPORT);
  for (int d = 0; d < 64; ++d) {
    box.Write("cfg/kvpage" + std::to_string(d) + ".ppg", bytes.data(), bytes.size());
    box.Write("user/kvpage" + std::to_string(d) + ".ppg", bytes.data(), bytes.size());
  }
  LoadPageList();  // writes the index once
  for (auto _ : state) {
    LoadPageList();
    benchmark::DoNotOptimize(PageTable().count);
  }
  if (PageTable().count != 128) state.SkipWithError("the page list does not hold 128 pages");
}
BENCHMARK(BM_LoadPageList128)->Unit(benchmark::kMillisecond);

}  // namespace
