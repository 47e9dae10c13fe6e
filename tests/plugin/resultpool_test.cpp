#include "plugin/resultpool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "plugin/records.h"
#include "plugin/tradebridge.h"

namespace {

using namespace tb;

TEST(ResultPool, ThreeThreadsAllocateAndReturnWithoutSharingABlock) {
  auto pool = CreateResultPool();
  ASSERT_TRUE(pool);
  auto work = [&](char mark) {
    std::vector<char *> held;
    for (int round = 0; round < 2000; ++round) {
      for (int i = 0; i < 8; ++i) {
        auto *block = static_cast<char *>(pool->Alloc());
        ASSERT_NE(block, nullptr);
        ASSERT_EQ(block[0], 0);  // zeroed
        memset(block, mark, kResultBlockSize);
        held.push_back(block);
      }
      for (char *block : held) {
        // Nobody else wrote into a block while this thread held it.
        ASSERT_EQ(block[0], mark);
        ASSERT_EQ(block[kResultBlockSize - 1], mark);
        // Returned the way the terminal does, from any thread.
        TraderDllFree(block);
      }
      held.clear();
    }
  };
  std::thread a(work, 'a'), b(work, 'b'), c(work, 'c');
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(pool->Outstanding(), 0);
  RetireResultPool(pool);
}

TEST(ResultPool, ABlockReturnedAfterTheLogoutIsHarmless) {
  const int before = KnownResultPools();
  auto pool = CreateResultPool();
  ASSERT_TRUE(pool);
  void *held = pool->Alloc();
  RetireResultPool(std::move(pool));
  // The terminal still holds a block: the pool stays until it comes back.
  EXPECT_EQ(KnownResultPools(), before + 1);
  TraderDllFree(held);
  EXPECT_EQ(KnownResultPools(), before);
  // Returning it again, or something that never was a block, does nothing.
  TraderDllFree(held);
  int local = 0;
  TraderDllFree(&local);
}

}  // namespace
