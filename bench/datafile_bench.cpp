// Reading the bar cache: a K-line chart of day bars opens by reading a full
// day file (15,000 bars, the default MaxDataRecords) into the shared bar
// buffer, and does so again whenever a download changes the file.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/emem.h"
#include "market/dataio5.h"
#include "market/datafile.h"
#include "market/utildata.h"
#include "testing/market_fixture_min.h"

namespace {

constexpr int kBars = 15000;

void BM_ReadDayBars(benchmark::State &state) {
  // The scratch folder lives only while this benchmark runs, so that it
  // never meets another benchmark's market table.
  market_fixture::MarketSandbox box;
  UpdateCurrentUtcTime();
  MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 4);
  market_fixture::AddKind(sh, "A", {{570, 690}, {780, 900}}, 540, 960);
  box.WriteMarketInfo({sh});
  box.WriteTable(sh, "nametbl", std::vector<STKINFO>{market_fixture::MakeStock(0, 0, "600000", "name")});
  std::vector<KLINEBAR> bars(kBars);
  PackedDateTime day = MakePackedDateTime(1965, 1, 4);
  for (int i = 0; i < kBars; ++i) {
    bars[size_t(i)].time = day;
    bars[size_t(i)].close = uint32_t(1000 + i);
    day = PackedNextDay(day);
  }
  box.Write("data/SH/day/600000.da1", bars.data(), bars.size() * sizeof(KLINEBAR));
  TDataIO io(nullptr);
  const TMarketData *market = MarketTable.markets[0];
  auto *buffer = static_cast<KLINEBAR *>(Malloc(kBars * int32_t(sizeof(KLINEBAR))));

  for (auto _ : state) {
    KLINEBAR *p = buffer;
    int32_t n = 0;
    if (!ReadBars(market, &p, "600000", &n, 8, 0, kBars) || n != kBars) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(p[n - 1]);
  }
  state.SetItemsProcessed(state.iterations() * kBars);
  state.SetBytesProcessed(state.iterations() * kBars * int64_t(sizeof(KLINEBAR)));
  Free(buffer);
}
BENCHMARK(BM_ReadDayBars)->Unit(benchmark::kMicrosecond);

}  // namespace
