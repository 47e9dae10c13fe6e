// The fixed-block pool in both forms, with the plug-in's result-block
// shape (576-byte blocks, 1024 per chunk, 2 active chunks).
#include <benchmark/benchmark.h>

#include <vector>

#include "core/ebufferpool.h"
#include "core/emem.h"

namespace {

// One block out and straight back, the pattern of a notification that the
// receiver returns before the next one is posted.
template <class Pool>
void BM_PoolAllocFreePair(benchmark::State &state) {
  Pool pool(576, 1024, 2, false);
  for (auto _ : state) {
    void *block = pool.Alloc();
    benchmark::DoNotOptimize(block);
    pool.Free(block);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(BM_PoolAllocFreePair, EBufferPool);
BENCHMARK_TEMPLATE(BM_PoolAllocFreePair, ELockedBufferPool);

// A burst of blocks held at once (a list of records posted one by one) and
// then returned; counted in pairs.
template <class Pool>
void BM_PoolAllocFreeBurst(benchmark::State &state) {
  Pool pool(576, 1024, 2, false);
  std::vector<void *> blocks(size_t(state.range(0)));
  for (auto _ : state) {
    for (void *&block : blocks) block = pool.Alloc();
    for (void *block : blocks) pool.Free(block);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_TEMPLATE(BM_PoolAllocFreeBurst, EBufferPool)->Arg(256)->Arg(4096);
BENCHMARK_TEMPLATE(BM_PoolAllocFreeBurst, ELockedBufferPool)->Arg(256)->Arg(4096);

// The same pair through the system's heap allocator, for scale.
void BM_MallocFreePair(benchmark::State &state) {
  for (auto _ : state) {
    void *block = Malloc(576);
    benchmark::DoNotOptimize(block);
    Free(block);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MallocFreePair);

// Threads sharing one locked pool; each thread's pairs are counted.
void BM_LockedPoolShared(benchmark::State &state) {
  static ELockedBufferPool *pool;
  if (state.thread_index() == 0) pool = new ELockedBufferPool(576, 1024, 2, false);
  for (auto _ : state) {
    void *block = pool->Alloc();
    benchmark::DoNotOptimize(block);
    pool->Free(block);
  }
  state.SetItemsProcessed(state.iterations());
  if (state.thread_index() == 0) {
    delete pool;
    pool = nullptr;
  }
}
BENCHMARK(BM_LockedPoolShared)->Threads(2)->Threads(4)->UseRealTime();

}  // namespace
