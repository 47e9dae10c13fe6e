// The spread analysis' time axis: two series of 10,000 daily bars, half of
// their days shared, merged into one ascending axis, against copying both.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "charts/techformcore.h"
#include "core/datetime.h"

namespace {

std::vector<KLINEBAR> Days(unsigned step, unsigned offset) {
  std::vector<KLINEBAR> bars(10000);
  for (unsigned i = 0; i < bars.size(); ++i) {
    const unsigned d = offset + i * step;
    bars[i].time = MakePackedDateTime(1990 + d / 336, 1 + d / 28 % 12, 1 + d % 28);
  }
  return bars;
}

void BM_KLineSpreadAxis(benchmark::State &state) {
  const std::vector<KLINEBAR> own = Days(1, 0), partner = Days(2, 0);
  std::vector<uint32_t> axis;
  axis.reserve(20000);
  for (auto _ : state) {
    axis.clear();
    for (const KLINEBAR &b : own) axis.push_back(b.time);
    MergeTimes(axis, partner.data(), uint32_t(partner.size()));
    benchmark::DoNotOptimize(axis.data());
  }
}
BENCHMARK(BM_KLineSpreadAxis);

void BM_KLineSpreadAxisCopyBoth(benchmark::State &state) {
  const std::vector<KLINEBAR> own = Days(1, 0), partner = Days(2, 0);
  std::vector<uint32_t> axis(20000);
  for (auto _ : state) {
    for (size_t i = 0; i < own.size(); ++i) axis[i] = own[i].time;
    for (size_t i = 0; i < partner.size(); ++i) axis[own.size() + i] = partner[i].time;
    benchmark::DoNotOptimize(axis.data());
  }
}
BENCHMARK(BM_KLineSpreadAxisCopyBoth);

}  // namespace
