// The market table at full size: 48 markets of 2,000 instruments built from
// the local files (offline), and instruments looked up by code, the
// commonest question every view, chart and quote asks of it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/market_fixture_min.h"

namespace {

constexpr int kMarkets = 48;
constexpr int kStocks = 2000;

struct FullTable {
  market_fixture::MarketSandbox box;
  std::vector<MKINFO> markets;

  FullTable() {
    UpdateCurrentUtcTime();
    for (int m = 0; m < kMarkets; ++m) {
      char name[16];
      std::snprintf(name, sizeof name, "MK%02d", m);
      uint8_t type = m < 2 ? 1 : (m % 3 == 0 ? 2 : 3);
      MKINFO info = market_fixture::MakeMarket(name, "dat", type, kStocks);
      market_fixture::AddKind(info, "index", {{570, 690}, {780, 900}}, 540, 960);
      market_fixture::AddKind(info, "main", {{0, 150}, {720, 825}, {870, 990}}, 0, 1080);
      markets.push_back(info);
      std::vector<STKINFO> stocks;
      std::vector<REALQUOTE> quotes(kStocks);
      std::vector<STKINFOEX> codes;
      for (int i = 0; i < kStocks; ++i) {
        stocks.push_back(market_fixture::MakeStock(m, i % 2, Code(m, i).c_str(), "name"));
        quotes[i].last = uint32_t(i);
        codes.push_back(market_fixture::MakeStockEx(Code(m, i).c_str()));
      }
      box.WriteTable(info, "nametbl", stocks);
      box.WriteTable(info, "real", quotes);
      if (type == 2) box.WriteTable(info, "nametble", codes);
      if (m < 2) box.WriteTable(info, "Finance", std::vector<FINANCE>(kStocks));
    }
    box.WriteMarketInfo(markets);
  }

  static std::string Code(int market, int stock) {
    char code[16];
    std::snprintf(code, sizeof code, "%c%c%04d", 'A' + market % 26, 'a' + market / 26, stock);
    return code;
  }
};

FullTable &Table() {
  static FullTable table;
  return table;
}

int64_t TableBytes() {
  int64_t bytes = 0;
  for (TMarketData *m : MarketTable.markets) {
    if (!m) continue;
    int64_t perStock = sizeof(STKINFO) + sizeof(REALQUOTE) + sizeof(PRICEHIST) + sizeof(BROKERQUEUE);
    if (m->m_stocksEx) perStock += sizeof(STKINFOEX);
    if (m->m_finance) perStock += sizeof(FINANCE);
    bytes += int64_t(sizeof(TMarketData)) + perStock * m->m_stockCount;
  }
  return bytes;
}

void BM_BuildMarketTable(benchmark::State &state) {
  Table();
  int64_t bytes = 0;
  for (auto _ : state) {
    auto io = std::make_unique<TDataIO>(nullptr);
    if (MarketTable.loadState != 0) state.SkipWithError("the build failed");
    state.PauseTiming();
    bytes = TableBytes();
    io.reset();  // writes every quote file back: not part of the build
    state.ResumeTiming();
  }
  state.counters["table_MiB"] = double(bytes) / (1024.0 * 1024.0);
  state.counters["markets"] = kMarkets;
  state.counters["instruments"] = kMarkets * kStocks;
}
BENCHMARK(BM_BuildMarketTable)->Unit(benchmark::kMillisecond);

// Codes spread over every market, in random order, asked of their own
// market; one in ten is not there.
void BM_FindStockByCode(benchmark::State &state) {
  Table();
  TDataIO io(nullptr);
  struct Query {
    std::string code;
    int market;
  };
  std::vector<Query> queries;
  std::mt19937 random(11);
  for (int i = 0; i < 4096; ++i) {
    int market = int(random() % kMarkets);
    int stock = int(random() % (kStocks + kStocks / 9));
    queries.push_back({FullTable::Code(market, stock), market});
  }
  // The index of each market is built by its first lookup.
  for (const Query &q : queries) benchmark::DoNotOptimize(FindStockInMarket(q.code.c_str(), q.market));
  size_t i = 0;
  for (auto _ : state) {
    const Query &q = queries[i];
    benchmark::DoNotOptimize(FindStockInMarket(q.code.c_str(), q.market));
    if (++i == queries.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindStockByCode);

// A code looked up from market 0 through every market, as the keyboard
// wizard and the instrument hand-over do: the code lives in a later market.
void BM_LookupStockAllMarkets(benchmark::State &state) {
  Table();
  TDataIO io(nullptr);
  std::vector<std::string> codes;
  std::mt19937 random(5);
  for (int i = 0; i < 1024; ++i) codes.push_back(FullTable::Code(int(random() % kMarkets), int(random() % kStocks)));
  size_t i = 0;
  for (auto _ : state) {
    uint16_t market = 0;
    benchmark::DoNotOptimize(LookupStock(codes[i].c_str(), &market, 1));
    if (++i == codes.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupStockAllMarkets);

}  // namespace
