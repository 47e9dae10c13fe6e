// The formula engine against plain C++ loops computing the same values over
// the same bars: MACD written in the formula language and MA(C,20), each over
// 1,000,000 generated bars, a full recalculation of five typical formulas
// over a 15,000-bar series, and windows nested three deep whose window (the
// volume) changes every bar, over 250 day bars.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/datetime.h"
#include "formula/indexfunc.h"
#include "formula/kvindex.h"

namespace {

constexpr uint32_t kDivisor = 100;

// The instrument of every run: the engine only asks it for the divisor.
struct BenchStock {};
BenchStock g_stock;

class BenchMarket : public IIndexMarket {
 public:
  const STKINFO *FindStockInMarket(const char *, uint8_t) override { return nullptr; }
  const STKINFO *FindStockFromMarket(const char *, uint8_t *) override { return nullptr; }
  const STKINFO *LookupStock(const char *, uint16_t *, bool) override { return nullptr; }
  IndexStockFacts Facts(const STKINFO *) override {
    IndexStockFacts f;
    f.market = 3;
    f.kind = 0;
    f.index = 0;
    f.priceDivisor = kDivisor;
    return f;
  }
  const STKINFO *GetStockInfo(IndexStockRef) override { return nullptr; }
  int32_t AcquireDataAgent(IndexStockRef, uint8_t, uint32_t, HWND) override { return -1; }
  void ReleaseDataAgent(int32_t, HWND) override {}
  void GetSeries(int32_t, const KLINEBAR **bars, uint32_t *count) override {
    *bars = nullptr;
    *count = 0;
  }
};

const STKINFO *Info() { return reinterpret_cast<const STKINFO *>(&g_stock); }

// A random walk of daily bars around 4000.00.
const std::vector<KLINEBAR> &Bars(size_t n) {
  static std::vector<std::vector<KLINEBAR>> made;
  for (const auto &b : made)
    if (b.size() == n) return b;
  std::mt19937 random(20100901);
  std::normal_distribution<double> step(0, 15);
  std::vector<KLINEBAR> bars(n);
  double price = 400000;
  PackedDateTime day = MakePackedDateTime(1990, 1, 2);
  for (auto &b : bars) {
    std::memset(&b, 0, sizeof b);
    const double open = price;
    price = std::max(1000.0, price + step(random));
    b.time = day;
    b.open = uint32_t(open);
    b.close = uint32_t(price);
    b.high = uint32_t(std::max(open, price) + std::fabs(step(random)));
    b.low = uint32_t(std::min(open, price) - std::fabs(step(random)));
    b.volume = float(1000 + (random() % 5000));
    b.amount = float(200000 + (random() % 1000));
    day = PackedNextDay(day);
  }
  made.push_back(std::move(bars));
  return made.back();
}

struct Engine {
  BenchMarket market;
  IIndexMarket *previous;
  CKvIndex formula;
  explicit Engine(const char *text) {
    previous = SetIndexMarket(&market);
    if (!formula.Compile(text, true)) std::abort();
  }
  ~Engine() { SetIndexMarket(previous); }
  void Run(const std::vector<KLINEBAR> &bars) {
    formula.Calculate(nullptr, "CU1009", 7, 1, Info(), bars.data(), uint32_t(bars.size()), false, false);
  }
  const double *Line(int i) const { return static_cast<const double *>(formula.GetVariable(i)->values); }
};

constexpr size_t kMillion = 1000000;

// ---- MACD -------------------------------------------------------------------------------

struct MacdLines {
  std::vector<double> dif, dea, macd;
};

// The same recurrence and operations as the formula's EMA: Y = (2X + (n-1)Y')/(n+1).
void PlainMacd(const std::vector<KLINEBAR> &bars, MacdLines &out) {
  const size_t n = bars.size();
  out.dif.resize(n);
  out.dea.resize(n);
  out.macd.resize(n);
  double e12 = 0, e26 = 0, dea = 0;
  for (size_t i = 0; i < n; ++i) {
    const double c = double(bars[i].close) / double(kDivisor);
    if (i == 0) {
      e12 = e26 = c;
    } else {
      e12 = (2 * c + 11.0 * e12) / 13.0;
      e26 = (2 * c + 25.0 * e26) / 27.0;
    }
    const double dif = e12 - e26;
    dea = i == 0 ? dif : (2 * dif + 8.0 * dea) / 10.0;
    out.dif[i] = dif;
    out.dea[i] = dea;
    out.macd[i] = (dif - dea) * 2;
  }
}

const char kMacd[] = "DIF:EMA(C,12)-EMA(C,26);DEA:EMA(DIF,9);MACD:(DIF-DEA)*2,COLORSTICK;";

void BM_MacdFormula(benchmark::State &state) {
  const auto &bars = Bars(kMillion);
  Engine engine(kMacd);
  for (auto _ : state) {
    engine.Run(bars);
    benchmark::DoNotOptimize(engine.Line(2)[bars.size() - 1]);
  }
  // The engine must give the plain loop's values.
  MacdLines plain;
  PlainMacd(bars, plain);
  for (size_t i = 0; i < bars.size(); i += 997)
    if (engine.Line(0)[i] != plain.dif[i] || engine.Line(1)[i] != plain.dea[i] ||
        engine.Line(2)[i] != plain.macd[i]) {
      state.SkipWithError("MACD values differ from the plain loop");
      break;
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(bars.size()));
}
BENCHMARK(BM_MacdFormula)->Unit(benchmark::kMillisecond);

void BM_MacdPlainLoop(benchmark::State &state) {
  const auto &bars = Bars(kMillion);
  MacdLines lines;
  for (auto _ : state) {
    PlainMacd(bars, lines);
    benchmark::DoNotOptimize(lines.macd.back());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(bars.size()));
}
BENCHMARK(BM_MacdPlainLoop)->Unit(benchmark::kMillisecond);

// ---- MA(C,20) ------------------------------------------------------------------------------

// A running sum over a window that is partial at the start, as MA keeps it.
void PlainMa(const std::vector<KLINEBAR> &bars, size_t window, std::vector<double> &out) {
  const size_t n = bars.size();
  out.resize(n);
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i >= window) sum -= double(bars[i - window].close) / double(kDivisor);
    sum += double(bars[i].close) / double(kDivisor);
    out[i] = sum / double(i < window ? i + 1 : window);
  }
}

void BM_Ma20Formula(benchmark::State &state) {
  const auto &bars = Bars(kMillion);
  Engine engine("MA20:MA(C,20);");
  for (auto _ : state) {
    engine.Run(bars);
    benchmark::DoNotOptimize(engine.Line(0)[bars.size() - 1]);
  }
  std::vector<double> plain;
  PlainMa(bars, 20, plain);
  for (size_t i = 0; i < bars.size(); i += 997)
    if (engine.Line(0)[i] != plain[i]) {
      state.SkipWithError("MA values differ from the plain loop");
      break;
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(bars.size()));
}
BENCHMARK(BM_Ma20Formula)->Unit(benchmark::kMillisecond);

void BM_Ma20PlainLoop(benchmark::State &state) {
  const auto &bars = Bars(kMillion);
  std::vector<double> out;
  for (auto _ : state) {
    PlainMa(bars, 20, out);
    benchmark::DoNotOptimize(out.back());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(bars.size()));
}
BENCHMARK(BM_Ma20PlainLoop)->Unit(benchmark::kMillisecond);

// ---- Five typical formulas over 15,000 bars -------------------------------------------------

const char *const kTypical[] = {
    kMacd,
    "RSV:=(CLOSE-LLV(LOW,9))/(HHV(HIGH,9)-LLV(LOW,9))*100;K:SMA(RSV,3,1);D:SMA(K,3,1);J:3*K-2*D;",
    "LC:=REF(CLOSE,1);RSI1:SMA(MAX(CLOSE-LC,0),6,1)/SMA(ABS(CLOSE-LC),6,1)*100;"
    "RSI2:SMA(MAX(CLOSE-LC,0),12,1)/SMA(ABS(CLOSE-LC),12,1)*100;",
    "BOLL:MA(CLOSE,20);UB:BOLL+2*STD(CLOSE,20);LB:BOLL-2*STD(CLOSE,20);",
    "MA1:MA(CLOSE,5);MA2:MA(CLOSE,10);MA3:MA(CLOSE,20);MA4:MA(CLOSE,60);",
};

void BM_FiveFormulasFull15000(benchmark::State &state) {
  const auto &bars = Bars(15000);
  std::vector<std::unique_ptr<Engine>> engines;
  for (const char *text : kTypical) engines.push_back(std::make_unique<Engine>(text));
  for (auto _ : state) {
    for (auto &e : engines) e->Run(bars);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(bars.size()));
}
BENCHMARK(BM_FiveFormulasFull15000)->Unit(benchmark::kMillisecond);

// ---- Nested windows of a varying size ---------------------------------------------------------

// The volumes (1000 and up) exceed the 250 bars, so every level is the mean of
// every bar so far of the level below, added up oldest first.
std::vector<double> PlainNestedMa(const std::vector<KLINEBAR> &bars, int levels) {
  std::vector<double> x;
  for (const auto &b : bars) x.push_back(double(b.close) / double(kDivisor));
  for (int level = 0; level < levels; ++level) {
    std::vector<double> y;
    for (size_t t = 0; t < x.size(); ++t) {
      double sum = 0;
      for (size_t s = 0; s <= t; ++s) sum += x[s];
      y.push_back(sum / double(t + 1));
    }
    x = y;
  }
  return x;
}

const char *const kNested[] = {
    "A:MA(MA(MA(C,V),V),V);",
    "A:SMA(SMA(SMA(C,V,1),V,1),V,1);",
    "A:HHV(HHV(HHV(C,V),V),V);",
    "A:STD(STD(STD(C,V),V),V);",
};

void BM_NestedVaryingWindows250(benchmark::State &state) {
  const auto &bars = Bars(250);
  const char *text = kNested[state.range(0)];
  state.SetLabel(text);
  Engine engine(text);
  for (auto _ : state) {
    engine.Run(bars);
    benchmark::DoNotOptimize(engine.Line(0)[bars.size() - 1]);
  }
  if (state.range(0) == 0) {
    const std::vector<double> plain = PlainNestedMa(bars, 3);
    for (size_t i = 0; i < bars.size(); ++i)
      if (engine.Line(0)[i] != plain[i]) {
        state.SkipWithError("nested MA values differ from the plain loop");
        break;
      }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(bars.size()));
}
BENCHMARK(BM_NestedVaryingWindows250)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
