#include "plugin/resultpool.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "plugin/records.h"

namespace tb {

namespace {

struct Registry {
  std::mutex lock;
  struct Entry {
    std::shared_ptr<ResultPool> pool;
    bool retired;
  };
  std::vector<Entry> pools;
};

Registry &Pools() {
  static Registry *registry = new Registry;  // blocks may come back during unload
  return *registry;
}

// Drops retired pools with no block out and no other holder. Called under
// the registry's lock.
void Sweep(Registry &registry) {
  auto &pools = registry.pools;
  pools.erase(std::remove_if(pools.begin(), pools.end(),
                             [](const Registry::Entry &entry) {
                               return entry.retired && entry.pool.use_count() == 1 &&
                                      entry.pool->Outstanding() == 0;
                             }),
              pools.end());
}

}  // namespace

ResultPool::ResultPool() : m_pool(int32_t(kResultBlockSize), 1024, 2, false) {}
ResultPool::~ResultPool() = default;

void *ResultPool::Alloc() {
  void *block = m_pool.Alloc();
  if (!block) return nullptr;
  m_outstanding.fetch_add(1);
  memset(block, 0, kResultBlockSize);
  return block;
}

bool ResultPool::Free(void *block) {
  if (!m_pool.Free(block)) return false;
  m_outstanding.fetch_sub(1);
  return true;
}

void ReturnResultBlock(void *block) {
  if (!block) return;
  Registry &registry = Pools();
  std::lock_guard guard(registry.lock);
  for (auto &entry : registry.pools) {
    if (entry.pool->Free(block)) {
      if (entry.retired) Sweep(registry);
      return;
    }
  }
}

std::shared_ptr<ResultPool> CreateResultPool() {
  auto pool = std::make_shared<ResultPool>();
  if (!pool->Ok()) return nullptr;
  Registry &registry = Pools();
  std::lock_guard guard(registry.lock);
  registry.pools.push_back({pool, false});
  return pool;
}

void RetireResultPool(std::shared_ptr<ResultPool> pool) {
  if (!pool) return;
  Registry &registry = Pools();
  std::lock_guard guard(registry.lock);
  for (auto &entry : registry.pools)
    if (entry.pool == pool) entry.retired = true;
  pool.reset();
  Sweep(registry);
}

int KnownResultPools() {
  Registry &registry = Pools();
  std::lock_guard guard(registry.lock);
  Sweep(registry);
  return int(registry.pools.size());
}

}  // namespace tb
