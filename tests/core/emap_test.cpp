#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "core/emap.h"

struct EMapProbe {
  template <class K, class V>
  static bool HasBuckets(const EMap<K, V> &m) {
    return m.m_buckets != nullptr;
  }
  template <class K, class V>
  static bool HasBlocks(const EMap<K, V> &m) {
    return m.m_blocks != nullptr;
  }
  template <class K, class V>
  static int32_t BucketCount(const EMap<K, V> &m) {
    return m.m_bucketCount;
  }
  template <class K, class V>
  static int32_t Count(const EMap<K, V> &m) {
    return m.m_count;
  }
  template <class K, class V>
  static uint32_t BucketOf(const EMap<K, V> &m, K key) {
    return m.BucketOf(key);
  }
};

namespace {

using Probe = EMapProbe;

void *Key(uintptr_t v) { return reinterpret_cast<void *>(v); }
int *Val(uintptr_t v) { return reinterpret_cast<int *>(v); }

// Counts allocations while a test runs and refuses those from a chosen
// number on.
std::atomic<int> g_allocations{0};
std::atomic<int> g_refuseFrom{INT32_MAX};

class EMapTest : public testing::Test {
 protected:
  void SetUp() override {
    g_allocations = 0;
    g_refuseFrom = INT32_MAX;
    SetMallocRefusal([](int32_t) { return g_allocations++ >= g_refuseFrom; });
  }
  void TearDown() override { SetMallocRefusal(nullptr); }
  static void RefuseAfter(int n) {
    g_refuseFrom = g_allocations + n;
  }
};

TEST_F(EMapTest, LookupOnUntouchedMapAllocatesNothing) {
  EMap<void *, int *> m(10);
  int *value = Val(1);
  EXPECT_FALSE(m.Lookup(Key(0x1000), value));
  EXPECT_FALSE(m.RemoveKey(Key(0x1000)));
  EXPECT_EQ(value, Val(1));
  EXPECT_EQ(g_allocations, 0);
}

TEST_F(EMapTest, InsertLookupReplaceRemove) {
  EMap<void *, int *> m(3);  // several blocks for 50 keys
  std::vector<uintptr_t> keys;
  for (uintptr_t i = 1; i <= 50; ++i) keys.push_back(i * 0x40 + (i % 3) * 0x1000);
  for (uintptr_t k : keys) {
    int *&slot = m[Key(k)];
    EXPECT_EQ(slot, nullptr) << "a new key starts with 0";
    slot = Val(k + 1);
  }
  m[Key(keys[5])] = Val(7);
  EXPECT_EQ(Probe::Count(m), 50);

  for (size_t i = 0; i < keys.size(); i += 2) EXPECT_TRUE(m.RemoveKey(Key(keys[i])));
  EXPECT_FALSE(m.RemoveKey(Key(keys[0])));
  for (size_t i = 0; i < keys.size(); ++i) {
    int *value = nullptr;
    bool found = m.Lookup(Key(keys[i]), value);
    EXPECT_EQ(found, i % 2 == 1) << i;
    if (found) {
      EXPECT_EQ(value, i == 5 ? Val(7) : Val(keys[i] + 1)) << i;
    }
  }
}

TEST_F(EMapTest, KeysDifferingInLowFourBitsShareABucket) {
  EMap<void *, int *> m(10);
  m[Key(0x1230)] = Val(1);
  m[Key(0x123F)] = Val(2);
  EXPECT_EQ(Probe::BucketOf(m, Key(0x1230)), Probe::BucketOf(m, Key(0x123F)));
  int *a = nullptr, *b = nullptr;
  ASSERT_TRUE(m.Lookup(Key(0x1230), a));
  ASSERT_TRUE(m.Lookup(Key(0x123F), b));
  EXPECT_EQ(a, Val(1));
  EXPECT_EQ(b, Val(2));
  ASSERT_TRUE(m.RemoveKey(Key(0x1230)));
  EXPECT_FALSE(m.Lookup(Key(0x1230), a));
  EXPECT_TRUE(m.Lookup(Key(0x123F), b));
}

TEST_F(EMapTest, KeysDifferingAboveBit32AreDistinct) {
  if (sizeof(void *) < 8) GTEST_SKIP();
  EMap<void *, int *> m(10);
  m[Key(0x1000)] = Val(1);
  m[Key((uintptr_t(1) << 40) | 0x1000)] = Val(2);
  int *value = nullptr;
  ASSERT_TRUE(m.Lookup(Key(0x1000), value));
  EXPECT_EQ(value, Val(1));
}

TEST_F(EMapTest, EmptiedMapHoldsNoMemoryAndRebuildsWithSameBucketCount) {
  EMap<void *, int *> m(10);
  ASSERT_TRUE(m.InitHashTable(131, false));
  EXPECT_FALSE(Probe::HasBuckets(m));
  m[Key(0x10)] = Val(1);
  m[Key(0x20)] = Val(2);
  EXPECT_EQ(g_allocations, 2) << "the bucket array and one node block";

  EXPECT_TRUE(m.RemoveKey(Key(0x10)));
  EXPECT_TRUE(Probe::HasBuckets(m));
  EXPECT_TRUE(m.RemoveKey(Key(0x20)));
  EXPECT_FALSE(Probe::HasBuckets(m));
  EXPECT_FALSE(Probe::HasBlocks(m));
  EXPECT_EQ(Probe::BucketCount(m), 131);

  m[Key(0x30)] = Val(3);
  EXPECT_EQ(g_allocations, 4);
  EXPECT_EQ(Probe::BucketCount(m), 131);
}

TEST_F(EMapTest, RemovedNodesAreReusedWithoutAllocating) {
  EMap<void *, int *> m(2);
  m[Key(0x10)] = Val(1);
  m[Key(0x20)] = Val(2);
  int before = g_allocations;
  for (int round = 0; round < 5; ++round) {
    EXPECT_TRUE(m.RemoveKey(Key(0x20)));
    m[Key(0x20)] = Val(round);
  }
  EXPECT_EQ(g_allocations, before);
}

TEST_F(EMapTest, InitHashTableRefusesBadCountsAndFilledMaps) {
  EMap<void *, int *> m(10);
  EXPECT_FALSE(m.InitHashTable(0));
  EXPECT_FALSE(m.InitHashTable(-3));
  EXPECT_EQ(Probe::BucketCount(m), 17);
  EXPECT_TRUE(m.InitHashTable(31));
  EXPECT_TRUE(Probe::HasBuckets(m));
  m[Key(0x40)] = Val(4);
  EXPECT_FALSE(m.InitHashTable(63)) << "its nodes would land in the wrong buckets";
  int *value = nullptr;
  EXPECT_TRUE(m.Lookup(Key(0x40), value));
}

TEST_F(EMapTest, OutOfMemoryLeavesKeyAbsent) {
  EMap<void *, int *> m(10);
  // Neither the bucket array nor, on the second try, the node block.
  for (int allowed : {0, 1}) {
    SCOPED_TRACE(allowed);
    RefuseAfter(allowed);
    m[Key(0x50)] = Val(5);
    int *value = nullptr;
    EXPECT_FALSE(m.Lookup(Key(0x50), value));
    EXPECT_EQ(Probe::Count(m), 0);
    EXPECT_EQ(m[Key(0x60)], nullptr) << "the spare slot reads 0 again";
  }
  EXPECT_FALSE(Probe::HasBuckets(m));
  g_refuseFrom = INT32_MAX;
  m[Key(0x50)] = Val(5);
  int *value = nullptr;
  EXPECT_TRUE(m.Lookup(Key(0x50), value));
  EXPECT_EQ(value, Val(5));
}

TEST_F(EMapTest, StoresWindowProcedures) {
  using Proc = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
  EMap<HWND, Proc> m(10);
  Proc proc = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message; };
  HWND window = reinterpret_cast<HWND>(Key(0x7000));
  m[window] = proc;
  Proc found = nullptr;
  ASSERT_TRUE(m.Lookup(window, found));
  EXPECT_EQ(found(window, 42, 0, 0), 42);
}

}  // namespace
