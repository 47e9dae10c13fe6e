// The result blocks: every block the plug-in posts comes from the result
// pool of its session and belongs to the receiver until it comes back
// through TraderDllFree. A session's pool outlives the session while the
// terminal still holds blocks of it (a notification posted just before the
// logout and handled after it) or while a thread that did not end still
// uses it; it is deleted when the last of its blocks comes back.
#pragma once

#include <atomic>
#include <memory>

#include "core/ebufferpool.h"

namespace tb {

class ResultPool {
 public:
  // 576-byte blocks, 1024 per chunk, 2 chunks in rotation. Ok() is false
  // when not even the first chunk could be had.
  ResultPool();
  ~ResultPool();
  ResultPool(const ResultPool &) = delete;
  ResultPool &operator=(const ResultPool &) = delete;

  bool Ok() const { return m_pool.GetActiveCount() > 0; }
  // A zeroed block, or null when the pool is exhausted.
  void *Alloc();
  // True when the block was one of this pool's blocks in use.
  bool Free(void *block);
  int Outstanding() const { return m_outstanding.load(); }

 private:
  ELockedBufferPool m_pool;
  std::atomic<int> m_outstanding{0};
};

// The pools whose blocks may still be out: the live session's and the
// retired ones. Returns a block to whichever pool it came from; a retired
// pool goes when its last block is back. Null and unknown pointers are
// ignored.
void ReturnResultBlock(void *block);
// Makes a new pool known; null when its chunks cannot be had.
std::shared_ptr<ResultPool> CreateResultPool();
// The session no longer needs the pool (its threads ended or were left
// behind holding their own reference): it is deleted once its blocks are
// all back and no thread holds it.
void RetireResultPool(std::shared_ptr<ResultPool> pool);
// How many pools are known, live and retired (for tests).
int KnownResultPools();

}  // namespace tb
