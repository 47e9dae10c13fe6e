// The system's containers against the standard ones, on the shapes the
// system uses: EMap from window handles (which step by 16) to objects, and
// EArray of plain records appended one at a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

#include "core/earray.h"
#include "core/emap.h"

namespace {

std::vector<void *> HandleKeys(int n) {
  std::vector<void *> keys;
  for (int i = 0; i < n; ++i) keys.push_back(reinterpret_cast<void *>(uintptr_t(0x10000 + 16 * i)));
  return keys;
}

// The keys in the order they are looked up: shuffled, so that neither map
// walks its memory in order.
std::vector<void *> LookupOrder(const std::vector<void *> &keys) {
  std::vector<void *> order = keys;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  return order;
}

// range(0): keys in the map; range(1): buckets (17 is the map's default).
void BM_EMapLookup(benchmark::State &state) {
  const auto keys = HandleKeys(int(state.range(0)));
  const auto order = LookupOrder(keys);
  EMap<void *, void *> map;
  map.InitHashTable(int32_t(state.range(1)));
  for (void *key : keys) map[key] = key;
  size_t i = 0;
  for (auto _ : state) {
    void *value = nullptr;
    benchmark::DoNotOptimize(map.Lookup(order[i], value));
    benchmark::DoNotOptimize(value);
    if (++i == order.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EMapLookup)->Args({64, 17})->Args({64, 67})->Args({4096, 17})->Args({4096, 4099});

void BM_UnorderedMapLookup(benchmark::State &state) {
  const auto keys = HandleKeys(int(state.range(0)));
  const auto order = LookupOrder(keys);
  std::unordered_map<void *, void *> map;
  for (void *key : keys) map[key] = key;
  size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(order[i]);
    benchmark::DoNotOptimize(it);
    if (++i == order.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UnorderedMapLookup)->Arg(64)->Arg(4096);

// A 96-byte record, the size of a trade record.
struct Record {
  char bytes[96];
};

// A fresh array filled with range(0) elements, as a list is rebuilt.
template <class T>
void BM_EArrayAdd(benchmark::State &state) {
  const int n = int(state.range(0));
  T item{};
  for (auto _ : state) {
    EArray<T> array;
    for (int i = 0; i < n; ++i) array.Add(item);
    benchmark::DoNotOptimize(array.GetData());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK_TEMPLATE(BM_EArrayAdd, int32_t)->Arg(100)->Arg(10000);
BENCHMARK_TEMPLATE(BM_EArrayAdd, Record)->Arg(100)->Arg(10000);

template <class T>
void BM_VectorPushBack(benchmark::State &state) {
  const int n = int(state.range(0));
  T item{};
  for (auto _ : state) {
    std::vector<T> array;
    for (int i = 0; i < n; ++i) array.push_back(item);
    benchmark::DoNotOptimize(array.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK_TEMPLATE(BM_VectorPushBack, int32_t)->Arg(100)->Arg(10000);
BENCHMARK_TEMPLATE(BM_VectorPushBack, Record)->Arg(100)->Arg(10000);

}  // namespace
