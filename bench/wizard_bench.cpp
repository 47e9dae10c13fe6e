// One keystroke of the keyboard wizard over a full terminal: 20,000
// instruments in four markets (two of futures with contract codes), 500
// indicator formulas, 128 saved pages and the 83 commands.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formula/kvindex.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "views/wizardsearch.h"

namespace {

class Sources : public WizardSources {
 public:
  Sources() {
    std::memset(keys_, 0, sizeof keys_);
    for (int i = 0; i < kHotKeyCount; ++i) {
      keys_[i].command = uint16_t(i + 1);
      keys_[i].flags = 8;
      std::snprintf(keys_[i].keys, sizeof keys_[i].keys, "%d", i + 1);
    }
    const char *stems[] = {"MA", "MACD", "KDJ", "RSI", "BOLL", "VOL", "OBV", "DMI", "WR", "CCI"};
    for (int n = 0; n < 500; ++n) {
      formulas_.push_back(std::make_unique<CKvIndex>());
      std::snprintf(formulas_.back()->name, sizeof formulas_.back()->name, "%s%d", stems[n % 10], n);
    }
    for (int i = 0; i < 128; ++i) {
      std::snprintf(pages_[i][0], 64, "page%d", i);
      std::snprintf(pages_[i][1], 64, "kvpage%d.ppg", i);
    }
  }
  const HOTKEYDEF *HotKeys() const override { return keys_; }
  int FormulaCount() const override { return int(formulas_.size()); }
  const CKvIndex *FormulaAt(int n) const override { return formulas_[size_t(n)].get(); }
  int PageCount() const override { return 128; }
  const char *PageName(int i) const override { return pages_[i][0]; }
  const char *PagePath(int i) const override { return pages_[i][1]; }

 private:
  HOTKEYDEF keys_[kHotKeyCount];
  std::vector<std::unique_ptr<CKvIndex>> formulas_;
  char pages_[128][2][64];
};

struct World {
  ScopedFakeClock clock{market_fixture::UtcAt(2019, 5, 10, 2, 0)};
  market_fixture::MarketSandbox box;
  std::unique_ptr<TDataIO> io;
  std::unique_ptr<TBlockGroup> blocks;
  Sources sources;
  std::unique_ptr<TWizardSearch> search = std::make_unique<TWizardSearch>();

  World() {
    UpdateCurrentUtcTime();
    struct MarketShape {
      const char *shortName;
      uint8_t type;
      int count;
    } shapes[] = {{"SH", 1, 8000}, {"SZ", 1, 8000}, {"QH", 2, 2000}, {"DL", 2, 2000}};
    std::mt19937 random(7);
    std::vector<MKINFO> markets;
    for (int m = 0; m < 4; ++m) {
      MKINFO info = market_fixture::MakeMarket(shapes[m].shortName, "dat", shapes[m].type, uint16_t(shapes[m].count));
      market_fixture::AddKind(info, "main", {{570, 690}, {780, 900}}, 540, 960);
      markets.push_back(info);
      std::vector<STKINFO> stocks;
      std::vector<STKINFOEX> contracts;
      for (int i = 0; i < shapes[m].count; ++i) {
        char code[16], name[16];
        if (shapes[m].type == 2)
          std::snprintf(code, sizeof code, "%c%c%02d", 'a' + i % 26, 'a' + (i / 26) % 26, i % 12 + 1);
        else
          std::snprintf(code, sizeof code, "%d%05d", m == 0 ? 6 : 0, i);
        // Four first-level characters.
        for (int c = 0; c < 4; ++c) {
          name[2 * c] = char(0xB0 + random() % 39);
          name[2 * c + 1] = char(0xA1 + random() % 94);
        }
        name[8] = 0;
        stocks.push_back(market_fixture::MakeStock(m, 0, code, name));
        char contract[16];
        std::snprintf(contract, sizeof contract, "%.2s%04d", code, 1900 + i % 12 + 1);
        contracts.push_back(market_fixture::MakeStockEx(contract));
      }
      box.WriteTable(info, "nametbl", stocks);
      if (shapes[m].type == 2) box.WriteTable(info, "nametble", contracts);
    }
    box.WriteMarketInfo(markets);
    io = std::make_unique<TDataIO>(nullptr);
    blocks = std::make_unique<TBlockGroup>();
    search->SetSources(&sources);
  }
};

World &TheWorld() {
  static World world;
  return world;
}

void BM_WizardKeystroke(benchmark::State &state, const char *text) {
  World &world = TheWorld();
  for (auto _ : state) {
    bool found = world.search->MatchAll(text);
    benchmark::DoNotOptimize(found);
  }
  state.counters["rows"] = world.search->RowCount();
}

BENCHMARK_CAPTURE(BM_WizardKeystroke, pinyin_ZGPA, "ZGPA")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WizardKeystroke, year_ru905, "ru905")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WizardKeystroke, exact_600036, "600036")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WizardKeystroke, digits_036, "036")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WizardKeystroke, letter_M, "M")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WizardKeystroke, point, ".")->Unit(benchmark::kMicrosecond);

}  // namespace
