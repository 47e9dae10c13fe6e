#include "core/ebufferpool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "core/emem.h"

struct EBufferPoolProbe {
  template <bool L>
  static int32_t ChunkCount(const EBufferPoolOf<L> &pool) {
    return pool.m_chunks.GetCount();
  }
  template <bool L>
  static const void *ChunkOf(const EBufferPoolOf<L> &pool, const void *block) {
    return pool.FindChunk(block);
  }
  template <bool L>
  static std::vector<const void *> Active(const EBufferPoolOf<L> &pool) {
    return std::vector<const void *>(pool.m_active, pool.m_active + pool.m_activeCount);
  }
  // The spare list in order; stops after more entries than there are chunks,
  // so a list tied into a loop shows as too long instead of hanging.
  template <bool L>
  static std::vector<const void *> Spare(const EBufferPoolOf<L> &pool) {
    std::vector<const void *> list;
    for (auto *c = pool.m_spareFirst; c && int32_t(list.size()) <= pool.m_chunks.GetCount(); c = c->nextSpare)
      list.push_back(c);
    return list;
  }
  // Every chunk is in exactly one place (an active slot, the spare list, or
  // retired with no free block), its flags say so, and the free blocks of all
  // chunks add up. Returns the number of free blocks.
  template <bool L>
  static int64_t CheckConsistent(const EBufferPoolOf<L> &pool) {
    const auto spare = Spare(pool);
    const auto active = Active(pool);
    const std::set<const void *> spareSet(spare.begin(), spare.end());
    const std::set<const void *> activeSet(active.begin(), active.end());
    EXPECT_EQ(spareSet.size(), spare.size()) << "a chunk is on the spare list twice";
    EXPECT_EQ(activeSet.size(), active.size()) << "a chunk is in two active slots";
    int64_t free = 0;
    for (int32_t i = 0; i < pool.m_chunks.GetCount(); ++i) {
      auto *c = pool.m_chunks.GetData()[i];
      if (i > 0) EXPECT_LT(uintptr_t(pool.m_chunks.GetData()[i - 1]), uintptr_t(c));
      EXPECT_EQ(c->active, activeSet.count(c) == 1);
      EXPECT_EQ(c->onSpare, spareSet.count(c) == 1);
      EXPECT_FALSE(c->active && c->onSpare);
      if (!c->active && !c->onSpare) EXPECT_EQ(c->free, 0) << "free blocks nobody can reach";
      int32_t chained = 0;
      for (uint32_t n = c->freeHead; n && chained <= c->total; ++chained) n = pool.PrefixOf(c, n - 1)->next;
      EXPECT_EQ(chained, c->free);
      free += c->free;
    }
    return free;
  }
};

namespace {

using Probe = EBufferPoolProbe;

const int32_t kPage = int32_t(sysconf(_SC_PAGESIZE));

// Refuses the creation of chunks from a chosen number on, counted from the
// start of the test.
std::atomic<int> g_chunksMade{0};
std::atomic<int> g_refuseFrom{INT32_MAX};

template <class Pool>
class BufferPoolTest : public testing::Test {
 protected:
  void SetUp() override {
    g_chunksMade = 0;
    g_refuseFrom = INT32_MAX;
    SetBufferPoolRefusal([] { return g_chunksMade++ >= g_refuseFrom; });
  }
  void TearDown() override { SetBufferPoolRefusal(nullptr); }
  static void RefuseChunks() { g_refuseFrom = 0; }
  static void AllowChunks() { g_refuseFrom = INT32_MAX; }
};

using PoolForms = testing::Types<EBufferPool, ELockedBufferPool>;
TYPED_TEST_SUITE(BufferPoolTest, PoolForms);

TYPED_TEST(BufferPoolTest, BlockSizesAndActiveCounts) {
  struct Case {
    int32_t blockSize;
    int32_t active;
    bool round;
    int32_t wantSize;
    int32_t wantActive;
  };
  const Case cases[] = {
      {0, 1, false, 4088, 1},
      {576, 2, false, 576, 2},
      {0, 1, true, kPage - 8, 1},
      {100, 1, true, kPage - 8, 1},
      {kPage - 8, 1, true, kPage - 8, 1},
      {kPage - 7, 1, true, 2 * kPage - 8, 1},
      {5000, 1, true, kPage == 4096 ? 8184 : kPage - 8, 1},
      {8, 0, false, 8, 2},  // processors + 2, at most 2
      {8, 7, false, 8, 2},
      {8, -3, false, 8, 2},
  };
  for (const Case &c : cases) {
    TypeParam pool(c.blockSize, 4, c.active, c.round);
    EXPECT_EQ(pool.GetBlockSize(), c.wantSize) << c.blockSize;
    EXPECT_EQ(pool.GetActiveCount(), c.wantActive) << c.blockSize;
    // The whole block is usable, and with rounding a block and its prefix
    // fill whole pages.
    auto *a = static_cast<char *>(pool.Alloc());
    auto *b = static_cast<char *>(pool.Alloc());
    ASSERT_TRUE(a && b);
    std::memset(a, 0x5A, size_t(pool.GetBlockSize()));
    std::memset(b, 0xA5, size_t(pool.GetBlockSize()));
    EXPECT_EQ(uint8_t(a[pool.GetBlockSize() - 1]), 0x5A);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 8, 0u);
    if (c.round) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % uintptr_t(kPage), 8u);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % uintptr_t(kPage), 8u);
    }
    EXPECT_TRUE(pool.Free(a));
    EXPECT_TRUE(pool.Free(b));
  }
}

TYPED_TEST(BufferPoolTest, BlocksOfAChunkGoOutFromTheHighestAddressDown) {
  TypeParam pool(20, 6, 1, false);
  std::vector<char *> blocks;
  for (int i = 0; i < 5; ++i) blocks.push_back(static_cast<char *>(pool.Alloc()));
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(blocks[i], nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks[i]) % 8, 0u);
    std::memset(blocks[i], 'a' + i, 20);
  }
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(Probe::ChunkOf(pool, blocks[i]), Probe::ChunkOf(pool, blocks[0]));
    EXPECT_EQ(blocks[i - 1] - blocks[i], 24 + 8);  // 20 rounded to 8, plus the prefix
  }
  for (int i = 0; i < 5; ++i) EXPECT_EQ(blocks[i][19], 'a' + i);
  // A returned block is the next one out (the chunk still has one free).
  ASSERT_TRUE(pool.Free(blocks[2]));
  EXPECT_EQ(pool.Alloc(), blocks[2]);
}

// Two blocks per chunk, one active chunk: the first chunk's last block
// brings in a second chunk; a block returned to the first puts it on the
// spare list, and it is active again when the second runs empty.
TYPED_TEST(BufferPoolTest, ExhaustedChunkIsReplacedAndComesBackThroughTheSpareList) {
  TypeParam pool(16, 2, 1, false);
  void *a1 = pool.Alloc();
  void *a2 = pool.Alloc();
  const void *first = Probe::ChunkOf(pool, a1);
  EXPECT_EQ(Probe::ChunkOf(pool, a2), first);
  void *b1 = pool.Alloc();
  const void *second = Probe::ChunkOf(pool, b1);
  EXPECT_NE(second, first);
  EXPECT_EQ(Probe::ChunkCount(pool), 2);
  EXPECT_TRUE(Probe::Spare(pool).empty());

  ASSERT_TRUE(pool.Free(a1));
  ASSERT_TRUE(pool.Free(a2));  // the chunk is already listed: not listed again
  EXPECT_EQ(Probe::Spare(pool), std::vector<const void *>{first});
  Probe::CheckConsistent(pool);

  void *b2 = pool.Alloc();  // the second chunk's last block
  EXPECT_EQ(Probe::ChunkOf(pool, b2), second);
  EXPECT_EQ(Probe::Active(pool), std::vector<const void *>{first});
  EXPECT_TRUE(Probe::Spare(pool).empty());
  EXPECT_EQ(pool.Alloc(), a2);
  EXPECT_EQ(pool.Alloc(), a1);
  EXPECT_EQ(Probe::ChunkCount(pool), 3);  // the first ran empty again
  Probe::CheckConsistent(pool);
}

// When no new chunk can be had the exhausted chunk stays active. Blocks
// returned to it must not put it on the spare list while it is active (it
// would be listed once per time it ran empty), and the slot recovers as
// soon as chunks can be made again.
TYPED_TEST(BufferPoolTest, FailedChunkCreationNeverListsAChunkTwice) {
  TypeParam pool(16, 2, 1, false);
  this->RefuseChunks();
  void *a = pool.Alloc();
  void *b = pool.Alloc();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(pool.Alloc(), nullptr);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(pool.Free(a));
    ASSERT_TRUE(pool.Free(b));
    EXPECT_TRUE(Probe::Spare(pool).empty());
    Probe::CheckConsistent(pool);
    EXPECT_EQ(pool.Alloc(), b);
    EXPECT_EQ(pool.Alloc(), a);
    EXPECT_EQ(pool.Alloc(), nullptr);
  }
  const void *first = Probe::ChunkOf(pool, a);

  this->AllowChunks();
  void *c = pool.Alloc();
  ASSERT_NE(c, nullptr);
  EXPECT_NE(Probe::ChunkOf(pool, c), first);
  ASSERT_TRUE(pool.Free(a));
  ASSERT_TRUE(pool.Free(b));
  EXPECT_EQ(Probe::Spare(pool), std::vector<const void *>{first});
  EXPECT_EQ(Probe::CheckConsistent(pool), 3);
}

TYPED_TEST(BufferPoolTest, NoChunksMeansNoBlocks) {
  {
    this->RefuseChunks();
    TypeParam pool(16, 2, 2, false);
    EXPECT_EQ(pool.GetActiveCount(), 0);
    EXPECT_EQ(pool.Alloc(), nullptr);
    int local = 0;
    EXPECT_FALSE(pool.Free(&local));
  }
  {
    g_chunksMade = 0;
    g_refuseFrom = 1;  // the second chunk fails
    TypeParam pool(16, 2, 2, false);
    EXPECT_EQ(pool.GetActiveCount(), 1);
    EXPECT_NE(pool.Alloc(), nullptr);
  }
  this->AllowChunks();
  struct Case {
    int32_t blockSize, blocksPerChunk;
    bool round;
  };
  for (const Case &c : {Case{-1, 4, false}, Case{-1, 4, true}, Case{16, 0, false}, Case{16, -5, false},
                        Case{INT32_MAX, 2, false}, Case{INT32_MAX - 100, 1, true}, Case{1 << 20, 4096, false}}) {
    TypeParam pool(c.blockSize, c.blocksPerChunk, 1, c.round);
    EXPECT_EQ(pool.GetActiveCount(), 0) << c.blockSize << " " << c.blocksPerChunk;
    EXPECT_EQ(pool.Alloc(), nullptr);
  }
}

// The list of all chunks can't grow: the new chunk is given back and the
// pool goes on as if it could not be made.
TYPED_TEST(BufferPoolTest, ChunkListThatCannotGrowLeavesThePoolConsistent) {
  TypeParam pool(16, 1, 1, false);
  std::vector<void *> blocks;
  for (int i = 0; i < 15; ++i) blocks.push_back(pool.Alloc());
  EXPECT_EQ(Probe::ChunkCount(pool), 16);  // the list's first storage is full
  SetMallocRefusal([](int32_t) { return true; });
  blocks.push_back(pool.Alloc());
  EXPECT_EQ(pool.Alloc(), nullptr);
  SetMallocRefusal(nullptr);
  EXPECT_EQ(Probe::ChunkCount(pool), 16);
  EXPECT_EQ(Probe::CheckConsistent(pool), 0);
  for (void *b : blocks) ASSERT_TRUE(pool.Free(b));
  EXPECT_EQ(Probe::CheckConsistent(pool), 16);
  EXPECT_NE(pool.Alloc(), nullptr);
}

// Pointers that are not live blocks of this pool are refused and change
// nothing: the next blocks out are the ones that would have come anyway.
TYPED_TEST(BufferPoolTest, FreeRefusesWhatIsNotALiveBlockOfThePool) {
  TypeParam pool(32, 4, 1, false);
  TypeParam other(32, 4, 1, false);
  auto *live = static_cast<char *>(pool.Alloc());
  auto *freed = static_cast<char *>(pool.Alloc());
  ASSERT_TRUE(pool.Free(freed));
  void *stranger = other.Alloc();
  void *heap = Malloc(32);
  int local = 0;
  void *gone;
  {
    TypeParam dead(32, 4, 1, false);
    gone = dead.Alloc();
  }

  EXPECT_FALSE(pool.Free(nullptr));
  struct Case {
    const char *what;
    void *pointer;
  };
  const Case cases[] = {
      {"already free", freed},
      {"inside a block", live + 1},
      {"inside a block, 8 on", live + 8},
      {"the block's prefix", live - 8},
      {"one block past the last", live + 40},
      {"another pool's block", stranger},
      {"a heap block", heap},
      {"the stack", &local},
      {"a block of a destroyed pool", gone},
  };
  for (const Case &c : cases) EXPECT_FALSE(pool.Free(c.pointer)) << c.what;

  EXPECT_EQ(pool.Alloc(), freed);
  void *next = pool.Alloc();
  EXPECT_NE(next, nullptr);
  EXPECT_NE(next, live);
  EXPECT_NE(next, freed);
  EXPECT_EQ(Probe::CheckConsistent(pool), 1);
  EXPECT_TRUE(pool.Free(live));
  EXPECT_FALSE(pool.Free(live));
  EXPECT_TRUE(other.Free(stranger));
  Free(heap);
}

// Several threads allocate, return their own blocks and blocks handed over
// by the others (as the terminal returns the plug-in's blocks), while chunks
// run out and new ones are sometimes refused. Every block carries its
// holder's tag, so a block handed out twice shows as a changed tag.
TEST(LockedBufferPool, StressOfSeveralThreads) {
  constexpr int kThreads = 4;
  constexpr int kSteps = 20000;
  constexpr int32_t kBlockSize = 48;
  g_chunksMade = 0;
  g_refuseFrom = 6;  // the pool can't grow past 6 chunks of 32 blocks
  SetBufferPoolRefusal([] { return g_chunksMade++ >= g_refuseFrom; });

  struct Held {
    uint64_t *block;
    uint64_t tag;
  };
  auto tagged = [](const Held &h) { return h.block[0] == h.tag && h.block[kBlockSize / 8 - 1] == ~h.tag; };

  ELockedBufferPool pool(kBlockSize, 32, 2, false);
  std::mutex handoverLock;
  std::vector<Held> handover;
  std::atomic<int> refusedFrees{0};
  std::atomic<int> exhausted{0};
  std::atomic<int> damaged{0};

  // Most of the pool stays taken for the whole run, so even threads that
  // happen to run one after another (a machine with few cores) run it dry.
  std::vector<Held> reserve;
  for (uint64_t serial = 1; serial <= 150; ++serial) {
    auto *block = static_cast<uint64_t *>(pool.Alloc());
    ASSERT_NE(block, nullptr);
    reserve.push_back(Held{block, serial});
    block[0] = serial;
    block[kBlockSize / 8 - 1] = ~serial;
  }

  std::atomic<int> started{0};
  auto worker = [&](int id) {
    // All threads run at once, or the first could be done before the last
    // starts.
    ++started;
    while (started < kThreads) std::this_thread::yield();
    std::mt19937 random(id);
    std::vector<Held> mine;
    uint64_t serial = 0;
    for (int step = 0; step < kSteps; ++step) {
      const unsigned roll = random() % 8;
      if (roll < 4 && mine.size() < 80) {
        auto *block = static_cast<uint64_t *>(pool.Alloc());
        if (!block) {
          ++exhausted;
          continue;
        }
        Held held{block, (uint64_t(id) << 48) | ++serial};
        block[0] = held.tag;
        block[kBlockSize / 8 - 1] = ~held.tag;
        if (roll == 0) {
          std::lock_guard guard(handoverLock);
          handover.push_back(held);
        } else {
          mine.push_back(held);
        }
      } else if (roll < 7 && !mine.empty()) {
        const size_t at = random() % mine.size();
        if (!tagged(mine[at])) ++damaged;
        if (!pool.Free(mine[at].block)) ++refusedFrees;
        mine[at] = mine.back();
        mine.pop_back();
      } else {
        Held held{};
        {
          std::lock_guard guard(handoverLock);
          if (handover.empty()) continue;
          held = handover.back();
          handover.pop_back();
        }
        if (!tagged(held)) ++damaged;
        if (!pool.Free(held.block)) ++refusedFrees;
      }
    }
    for (const Held &held : mine) {
      if (!tagged(held)) ++damaged;
      if (!pool.Free(held.block)) ++refusedFrees;
    }
  };

  std::vector<std::thread> threads;
  for (int id = 0; id < kThreads; ++id) threads.emplace_back(worker, id + 1);
  for (auto &thread : threads) thread.join();
  for (const Held &held : handover) {
    if (!tagged(held)) ++damaged;
    if (!pool.Free(held.block)) ++refusedFrees;
  }
  for (const Held &held : reserve) {
    if (!tagged(held)) ++damaged;
    if (!pool.Free(held.block)) ++refusedFrees;
  }
  SetBufferPoolRefusal(nullptr);

  EXPECT_EQ(damaged, 0);
  EXPECT_EQ(refusedFrees, 0);
  EXPECT_GT(exhausted, 0) << "the pool never ran out; the test lost its edge";
  EXPECT_EQ(Probe::ChunkCount(pool), 6);
  EXPECT_EQ(Probe::CheckConsistent(pool), 6 * 32);
}

}  // namespace
