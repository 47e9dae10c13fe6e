// Offline browsing from the login dialog: from the click on "脱机浏览" to
// the dialog closed and the market table of 48 markets x 2,000
// instruments built from the local files, as the main window does next.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/logindlg.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/market_fixture_min.h"
#include "testing/view_harness.h"

namespace {

constexpr int kMarkets = 48;
constexpr int kStocks = 2000;

void WriteLocalTables(const market_fixture::MarketSandbox &box) {
  std::vector<MKINFO> markets;
  for (int m = 0; m < kMarkets; ++m) {
    char name[16];
    std::snprintf(name, sizeof name, "OF%02d", m);
    MKINFO info = market_fixture::MakeMarket(name, "dat", uint8_t(m < 2 ? 1 : 3), kStocks);
    market_fixture::AddKind(info, "main", {{570, 690}, {780, 900}}, 540, 960);
    markets.push_back(info);
    std::vector<STKINFO> stocks;
    for (int i = 0; i < kStocks; ++i) {
      char code[24];
      std::snprintf(code, sizeof code, "%02d%04d", m, i);
      stocks.push_back(market_fixture::MakeStock(m, 0, code, "name"));
    }
    box.WriteTable(info, "nametbl", stocks);
    box.WriteTable(info, "real", std::vector<REALQUOTE>(kStocks));
    if (m < 2) box.WriteTable(info, "Finance", std::vector<FINANCE>(kStocks));
  }
  box.WriteMarketInfo(markets);
}

void BM_OfflineBrowsingToTheTable(benchmark::State &state) {
  testing_support::ViewHarness harness;
  market_fixture::MarketSandbox box;
  WriteLocalTables(box);
  WritePrivateProfileStringA("RIGHT", "svraddr0", "127.0.0.1", ".\\SERVER.INI");
  WritePrivateProfileStringA("RIGHT", "company0", "local", ".\\SERVER.INI");
  UpdateCurrentUtcTime();
  for (auto _ : state) {
    state.PauseTiming();
    auto dialog = std::make_unique<TClientRight>(nullptr, false, AccountLibrary{});
    std::unique_ptr<TDataIO> table;
    state.ResumeTiming();
    const int result = harness.RunModal(dialog.get(), [&] { dialog->LabelOffline->OnClick(dialog->LabelOffline); });
    if (result == 3) table = std::make_unique<TDataIO>(nullptr);
    state.PauseTiming();
    if (result != 3 || MarketTable.loadState != 0 || MarketTable.marketCount != kMarkets)
      state.SkipWithError("offline browsing did not build the table");
    table.reset();  // writes the quote files back: not part of the measure
    dialog.reset();
    state.ResumeTiming();
  }
  state.counters["instruments"] = kMarkets * kStocks;
}
BENCHMARK(BM_OfflineBrowsingToTheTable)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
