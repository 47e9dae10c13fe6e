// Sorting the day's trades: 10,000 records by time with the night-trade
// rule on, against the plain byte-wise order of the same comparator with
// the rule off, both reading "..\cfg\NightTrade.ini" once per sort; and one
// ticker step over a burst of headlines (the list is kept at 100).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/profile.h"
#include "shell/tradesort.h"
#include "testing/skin_fixture.h"

namespace {

std::vector<Trade_Lite> Trades() {
  std::vector<Trade_Lite> trades(10000);
  unsigned seed = 7;
  for (size_t i = 0; i < trades.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    const int minute = int(seed >> 8) % 1440;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", minute / 60, minute % 60, int(seed >> 20) % 60);
    std::memcpy(trades[i].TradeTime, text, 8);
    std::snprintf(trades[i].Text19, sizeof trades[i].Text19, "%u", unsigned(seed >> 4) % 100000u);
  }
  return trades;
}

void SortWithRule(benchmark::State &state, const char *resort) {
  skin_fixture::SkinSandbox box;
  std::filesystem::create_directories(box.Path("cfg"));
  WritePrivateProfileStringA("Option", "ResortTrade", resort, "..\\cfg\\NightTrade.ini");
  const std::vector<Trade_Lite> source = Trades();
  for (auto _ : state) {
    std::vector<Trade_Lite> trades = source;
    SortTrades(trades.data(), int(trades.size()));
    benchmark::DoNotOptimize(trades.data());
  }
}

void BM_SortTradesNightRule(benchmark::State &state) { SortWithRule(state, "1"); }
void BM_SortTradesBytewise(benchmark::State &state) { SortWithRule(state, "0"); }
BENCHMARK(BM_SortTradesNightRule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortTradesBytewise)->Unit(benchmark::kMillisecond);

}  // namespace
