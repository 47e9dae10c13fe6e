// EBufferPool: blocks of one fixed size handed out from large chunks of
// virtual memory. A chunk is taken from the system whole and given back only
// when the pool is destroyed, so a busy pool never touches the heap for its
// blocks.
//
// Two forms share one implementation:
//   EBufferPool        for one thread (the GUI thread); it takes no locks.
//   ELockedBufferPool  for several threads (the trading plug-in's result
//                      blocks, allocated by its workers and returned by the
//                      terminal); every chunk and the pool have their own
//                      critical section.
// The form is a template argument rather than a flag read at run time, so the
// single-thread pool carries no critical sections and its Alloc and Free
// compile to plain list operations without even a test of the flag; and it
// is not a build option because the terminal and the plug-in link the same
// core library and the tests exercise both forms in one binary.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/earray.h"
#include "platform/kernel.h"

struct EBufferPoolProbe;

// Lets a test make the creation of new chunks fail so that the
// out-of-memory paths can be exercised. The function returns true to refuse
// one creation; null restores normal service. Applies to every pool.
using BufferPoolRefusal = bool (*)();
void SetBufferPoolRefusal(BufferPoolRefusal refuse);

template <bool kLocked>
class EBufferPoolOf {
 public:
  // blockSize: user bytes per block; 0 means 4088, or with roundToPages one
  // page less the 8-byte block prefix. With roundToPages a block and its
  // prefix are grown to fill whole pages (100 becomes 4088 and 5000 becomes
  // 8184 on 4 KB pages).
  // activeChunks: how many chunks hand out blocks in turn; 0 means the number
  // of processors + 2, and never more than 2 are used.
  // The active chunks are allocated at once; when that fails part-way the
  // pool works with those it got (GetActiveCount tells; with none, Alloc
  // always returns null). A negative block size, fewer than one block per
  // chunk or a chunk above 2 GB also give a pool without chunks.
  EBufferPoolOf(int32_t blockSize, int32_t blocksPerChunk, int32_t activeChunks, bool roundToPages);
  // Gives every chunk back to the system; blocks still out become invalid.
  virtual ~EBufferPoolOf();

  EBufferPoolOf(const EBufferPoolOf &) = delete;
  EBufferPoolOf &operator=(const EBufferPoolOf &) = delete;

  // A block of GetBlockSize() bytes aligned for 8-byte values, or null when
  // no block is free and no chunk can be added. The contents are whatever
  // the previous user left.
  void *Alloc();

  // Takes a block back; true when it was taken. Null is ignored (false). A
  // pointer this pool never handed out, one that is not the start of a block
  // or a block that is already free is refused (false) and nothing changes:
  // the pointer is recognised by its address alone, so even a block of a
  // pool that no longer exists is refused without being read.
  bool Free(void *block);

  int32_t GetBlockSize() const { return m_blockSize; }
  int32_t GetActiveCount() const { return m_activeCount; }

 private:
  friend struct EBufferPoolProbe;

  struct NoLock {};
  using Lock = std::conditional_t<kLocked, CRITICAL_SECTION, NoLock>;

  // The head of every chunk region; the blocks follow the header area.
  struct Chunk {
    int32_t total;
    int32_t free;
    uint32_t freeHead;  // index + 1 of the first free block; 0 when none
    // Where the chunk is, under the pool's lock: in an active slot, on the
    // spare list, or (exhausted and retired) neither. The flags keep a chunk
    // from being linked twice, which would tie the spare list into a loop.
    bool active;
    bool onSpare;
    Chunk *nextSpare;
    [[no_unique_address]] Lock lock;  // guards total, free, freeHead and the blocks' prefixes
  };

  // Every block starts with 8 bytes: its state and, while free, the index + 1
  // of the next free block of its chunk. Indices instead of pointers keep the
  // prefix at 8 bytes on a 64-bit build.
  struct BlockPrefix {
    uint32_t state;
    uint32_t next;
  };

  Chunk *NewChunk();
  void ReleaseChunk(Chunk *chunk);
  bool Register(Chunk *chunk);
  Chunk *FindChunk(const void *block) const;
  bool IndexOf(const Chunk *chunk, const void *block, uint32_t &index) const;
  BlockPrefix *PrefixOf(Chunk *chunk, uint32_t index) const;
  uint32_t NextTurn();
  Chunk *ActiveAt(int32_t index) const;
  void *Pop(Chunk *chunk, int32_t &left);
  int32_t FreeCount(Chunk *chunk);
  bool Replace(int32_t index, Chunk *exhausted);
  void AppendSpare(Chunk *chunk);
  Chunk *TakeSpare();

  int32_t m_pageSize = 0;  // the system page size when rounding to pages, else 0
  int32_t m_blockSize = 0;
  int32_t m_blocksPerChunk = 0;
  int32_t m_activeCount = 0;
  LONG m_counter = 0;  // turns over the active slots
  Chunk *m_spareFirst = nullptr;  // chunks not active that have free blocks, oldest first
  Chunk *m_spareLast = nullptr;
  Chunk *m_active[2] = {};
  // Every chunk ever allocated, kept in address order so that Free can find
  // the chunk of a pointer without reading through the pointer.
  EArray<Chunk *> m_chunks{16};
  uint32_t m_stride = 0;      // block with prefix, a multiple of 8
  uint32_t m_headerBytes = 0; // before the first block
  SIZE_T m_chunkBytes = 0;    // 0 when the sizes given allow no chunk
  [[no_unique_address]] Lock m_lock;  // spare list, active slots, chunk list, chunk flags
};

using EBufferPool = EBufferPoolOf<false>;
using ELockedBufferPool = EBufferPoolOf<true>;

extern template class EBufferPoolOf<false>;
extern template class EBufferPoolOf<true>;
