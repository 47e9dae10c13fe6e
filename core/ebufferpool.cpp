#include "core/ebufferpool.h"

#include <atomic>
#include <new>

#include "core/eautolock.h"
#include "platform/memory.h"
#include "platform/sysinfo.h"

namespace {

constexpr uint32_t kPrefixBytes = 8;
constexpr int32_t kDefaultBlockSize = 4088;
constexpr uint32_t kBlockFree = 0x45455246;   // "FREE"
constexpr uint32_t kBlockInUse = 0x44455355;  // "USED"

std::atomic<BufferPoolRefusal> g_refusal{nullptr};

// Holds a critical section for a scope in the locked form; nothing at all in
// the single-thread form.
template <class Lock>
class Hold {
 public:
  explicit Hold(Lock *) {}
};
template <>
class Hold<CRITICAL_SECTION> : public EAutoLock {
 public:
  explicit Hold(CRITICAL_SECTION *section) : EAutoLock(section) {}
};

}  // namespace

void SetBufferPoolRefusal(BufferPoolRefusal refuse) { g_refusal.store(refuse); }

template <bool kLocked>
EBufferPoolOf<kLocked>::EBufferPoolOf(int32_t blockSize, int32_t blocksPerChunk,
                                      int32_t activeChunks, bool roundToPages) {
  if constexpr (kLocked) InitializeCriticalSection(&m_lock);
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  m_pageSize = roundToPages ? int32_t(info.dwPageSize) : 0;

  int64_t size = blockSize;
  if (size == 0)
    size = roundToPages ? m_pageSize - int64_t(kPrefixBytes) : kDefaultBlockSize;
  else if (roundToPages && size > 0)
    size = int64_t(m_pageSize) * ((size + m_pageSize + 7) / m_pageSize) - kPrefixBytes;
  m_blockSize = size <= INT32_MAX ? int32_t(size) : blockSize;
  m_blocksPerChunk = blocksPerChunk;

  // A chunk's header sits at the start of its region, so the blocks start
  // one page in when blocks fill whole pages.
  const int64_t header = roundToPages ? m_pageSize : (int64_t(sizeof(Chunk)) + 15) & ~int64_t(15);
  const int64_t stride = (size + kPrefixBytes + 7) & ~int64_t(7);
  const int64_t bytes = header + stride * int64_t(blocksPerChunk);
  if (blockSize >= 0 && blocksPerChunk > 0 && size <= INT32_MAX && bytes <= INT32_MAX &&
      int64_t(sizeof(Chunk)) <= header) {
    m_headerBytes = uint32_t(header);
    m_stride = uint32_t(stride);
    m_chunkBytes = SIZE_T(bytes);
  }

  int32_t wanted = activeChunks > 0 ? activeChunks : int32_t(info.dwNumberOfProcessors) + 2;
  if (wanted > 2) wanted = 2;
  while (m_activeCount < wanted) {
    Chunk *chunk = NewChunk();
    if (!chunk) break;
    chunk->active = true;
    m_active[m_activeCount++] = chunk;
  }
}

template <bool kLocked>
EBufferPoolOf<kLocked>::~EBufferPoolOf() {
  Chunk *const *chunks = m_chunks.GetData();
  for (int32_t i = 0; i < m_chunks.GetCount(); ++i) ReleaseChunk(chunks[i]);
  if constexpr (kLocked) DeleteCriticalSection(&m_lock);
}

template <bool kLocked>
void *EBufferPoolOf<kLocked>::Alloc() {
  const int32_t count = m_activeCount;
  for (int32_t tries = 0; tries < count; ++tries) {
    const int32_t index = int32_t(NextTurn() % uint32_t(count));
    Chunk *chunk = ActiveAt(index);
    int32_t left = 0;
    void *block = Pop(chunk, left);
    // The slot kept an exhausted chunk because no replacement could be had
    // when it ran empty, or other threads took the last blocks meanwhile:
    // replace it now rather than let the slot stay dead, and go on while
    // replacements come (each one is a chunk with free blocks or another
    // thread's progress).
    while (!block && Replace(index, chunk)) {
      chunk = ActiveAt(index);
      block = Pop(chunk, left);
    }
    if (!block) continue;
    if (left == 0) Replace(index, chunk);
    return block;
  }
  return nullptr;
}

template <bool kLocked>
bool EBufferPoolOf<kLocked>::Free(void *block) {
  if (!block) return false;
  Hold<Lock> pool(&m_lock);
  Chunk *chunk = FindChunk(block);
  uint32_t index;
  if (!chunk || !IndexOf(chunk, block, index)) return false;
  {
    Hold<Lock> hold(&chunk->lock);
    BlockPrefix *prefix = PrefixOf(chunk, index);
    // A block already free, or a prefix the user wrote over.
    if (prefix->state != kBlockInUse) return false;
    prefix->state = kBlockFree;
    prefix->next = chunk->freeHead;
    chunk->freeHead = index + 1;
    ++chunk->free;
  }
  // An active chunk hands the block out again through its slot; a chunk
  // already on the spare list stays where it is.
  if (!chunk->active && !chunk->onSpare) AppendSpare(chunk);
  return true;
}

template <bool kLocked>
typename EBufferPoolOf<kLocked>::Chunk *EBufferPoolOf<kLocked>::NewChunk() {
  if (m_chunkBytes == 0) return nullptr;
  if (BufferPoolRefusal refuse = g_refusal.load(); refuse && refuse()) return nullptr;
  void *region = VirtualAlloc(nullptr, m_chunkBytes, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN,
                              PAGE_READWRITE);
  if (!region) return nullptr;
  Chunk *chunk = new (region) Chunk{};
  if constexpr (kLocked) InitializeCriticalSection(&chunk->lock);
  chunk->total = m_blocksPerChunk;
  chunk->free = m_blocksPerChunk;
  // Each block pushed at the head in address order, so the highest block
  // goes out first.
  uint32_t head = 0;
  for (uint32_t i = 0; i < uint32_t(m_blocksPerChunk); ++i) {
    BlockPrefix *prefix = PrefixOf(chunk, i);
    prefix->state = kBlockFree;
    prefix->next = head;
    head = i + 1;
  }
  chunk->freeHead = head;
  if (!Register(chunk)) {
    ReleaseChunk(chunk);
    return nullptr;
  }
  return chunk;
}

template <bool kLocked>
void EBufferPoolOf<kLocked>::ReleaseChunk(Chunk *chunk) {
  if constexpr (kLocked) DeleteCriticalSection(&chunk->lock);
  VirtualFree(chunk, m_chunkBytes, MEM_DECOMMIT);
  VirtualFree(chunk, 0, MEM_RELEASE);
}

// Adds the chunk to the list of all chunks at its place in address order.
template <bool kLocked>
bool EBufferPoolOf<kLocked>::Register(Chunk *chunk) {
  int32_t at = m_chunks.Add(chunk);
  if (at < 0) return false;
  Chunk **chunks = m_chunks.GetData();
  while (at > 0 && uintptr_t(chunks[at - 1]) > uintptr_t(chunk)) {
    chunks[at] = chunks[at - 1];
    --at;
  }
  chunks[at] = chunk;
  return true;
}

// The chunk whose region holds the address, or null.
template <bool kLocked>
typename EBufferPoolOf<kLocked>::Chunk *EBufferPoolOf<kLocked>::FindChunk(const void *block) const {
  const uintptr_t at = reinterpret_cast<uintptr_t>(block);
  Chunk *const *chunks = m_chunks.GetData();
  int32_t low = 0;
  int32_t high = m_chunks.GetCount();
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    if (uintptr_t(chunks[middle]) <= at)
      low = middle + 1;
    else
      high = middle;
  }
  if (low == 0) return nullptr;
  Chunk *chunk = chunks[low - 1];
  return at - uintptr_t(chunk) < m_chunkBytes ? chunk : nullptr;
}

// The index of the block whose user pointer is block; false when the
// pointer is not the start of a block's user bytes.
template <bool kLocked>
bool EBufferPoolOf<kLocked>::IndexOf(const Chunk *chunk, const void *block, uint32_t &index) const {
  const uintptr_t first = uintptr_t(chunk) + m_headerBytes + kPrefixBytes;
  const uintptr_t at = reinterpret_cast<uintptr_t>(block);
  if (at < first || (at - first) % m_stride != 0) return false;
  const uintptr_t n = (at - first) / m_stride;
  if (n >= uintptr_t(m_blocksPerChunk)) return false;
  index = uint32_t(n);
  return true;
}

template <bool kLocked>
typename EBufferPoolOf<kLocked>::BlockPrefix *EBufferPoolOf<kLocked>::PrefixOf(Chunk *chunk,
                                                                              uint32_t index) const {
  char *base = reinterpret_cast<char *>(chunk) + m_headerBytes;
  return reinterpret_cast<BlockPrefix *>(base + uintptr_t(index) * m_stride);
}

template <bool kLocked>
uint32_t EBufferPoolOf<kLocked>::NextTurn() {
  if constexpr (kLocked) return uint32_t(InterlockedIncrement(&m_counter)) - 1u;
  const uint32_t turn = uint32_t(m_counter);
  m_counter = LONG(turn + 1);
  return turn;
}

// Other threads read the slots without the pool's lock; a chunk they read
// stays mapped until the pool goes, so a stale one is merely empty.
template <bool kLocked>
typename EBufferPoolOf<kLocked>::Chunk *EBufferPoolOf<kLocked>::ActiveAt(int32_t index) const {
  return __atomic_load_n(&m_active[index], __ATOMIC_ACQUIRE);
}

// Takes the first free block of the chunk; left is what remains.
template <bool kLocked>
void *EBufferPoolOf<kLocked>::Pop(Chunk *chunk, int32_t &left) {
  Hold<Lock> hold(&chunk->lock);
  if (chunk->freeHead == 0) return nullptr;
  BlockPrefix *prefix = PrefixOf(chunk, chunk->freeHead - 1);
  if (prefix->state != kBlockFree || prefix->next > uint32_t(chunk->total)) {
    // A free block's prefix was written over (an overrun of the block
    // before it): the rest of the chain can't be trusted, so it is given up
    // instead of followed.
    chunk->freeHead = 0;
    chunk->free = 0;
    return nullptr;
  }
  chunk->freeHead = prefix->next;
  prefix->state = kBlockInUse;
  prefix->next = 0;
  left = --chunk->free;
  return reinterpret_cast<char *>(prefix) + kPrefixBytes;
}

template <bool kLocked>
int32_t EBufferPoolOf<kLocked>::FreeCount(Chunk *chunk) {
  Hold<Lock> hold(&chunk->lock);
  return chunk->free;
}

// Puts a chunk with free blocks into the slot of an exhausted one: the
// oldest spare chunk, else a new chunk. True when the slot now holds a chunk
// that had free blocks; false when none could be had, and the exhausted
// chunk stays in the slot.
template <bool kLocked>
bool EBufferPoolOf<kLocked>::Replace(int32_t index, Chunk *exhausted) {
  Hold<Lock> pool(&m_lock);
  // Another thread replaced it, or gave a block back to it, meanwhile.
  if (m_active[index] != exhausted || FreeCount(exhausted) > 0) return true;
  Chunk *next = TakeSpare();
  if (!next) next = NewChunk();
  if (!next) return false;
  exhausted->active = false;
  next->active = true;
  __atomic_store_n(&m_active[index], next, __ATOMIC_RELEASE);
  return true;
}

template <bool kLocked>
void EBufferPoolOf<kLocked>::AppendSpare(Chunk *chunk) {
  chunk->onSpare = true;
  chunk->nextSpare = nullptr;
  if (m_spareLast)
    m_spareLast->nextSpare = chunk;
  else
    m_spareFirst = chunk;
  m_spareLast = chunk;
}

// The oldest spare chunk that still has a free block. A spare chunk can be
// empty when a thread holding a stale slot took its blocks; it leaves the
// list and comes back with the next block returned to it.
template <bool kLocked>
typename EBufferPoolOf<kLocked>::Chunk *EBufferPoolOf<kLocked>::TakeSpare() {
  while (Chunk *chunk = m_spareFirst) {
    m_spareFirst = chunk->nextSpare;
    if (!m_spareFirst) m_spareLast = nullptr;
    chunk->nextSpare = nullptr;
    chunk->onSpare = false;
    if (FreeCount(chunk) > 0) return chunk;
  }
  return nullptr;
}

template class EBufferPoolOf<false>;
template class EBufferPoolOf<true>;
