#include "platform/memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <thread>
#include <vector>

namespace {

bool AllZero(const void *data, size_t size) {
  const auto *bytes = static_cast<const unsigned char *>(data);
  for (size_t i = 0; i < size; ++i)
    if (bytes[i]) return false;
  return true;
}

TEST(Heap, SizeIsExactlyWhatWasAskedAndZeroFillHolds) {
  HANDLE heap = GetProcessHeap();
  for (SIZE_T size : {SIZE_T(0), SIZE_T(1), SIZE_T(7), SIZE_T(16), SIZE_T(4095), SIZE_T(100000)}) {
    void *block = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(HeapSize(heap, 0, block), size);
    EXPECT_TRUE(AllZero(block, size)) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    EXPECT_TRUE(HeapFree(heap, 0, block));
  }
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));
  EXPECT_EQ(HeapAlloc(heap, 0, SIZE_T(0x80000000)), nullptr);
}

TEST(Heap, ReAllocKeepsContentAndZeroesOnlyTheGrowth) {
  HANDLE heap = GetProcessHeap();
  auto *block = static_cast<char *>(HeapAlloc(heap, 0, 10));
  std::memset(block, 'x', 10);
  block = static_cast<char *>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 5000));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), 5000u);
  EXPECT_EQ(std::string(block, 10), std::string(10, 'x'));
  EXPECT_TRUE(AllZero(block + 10, 4990));

  // In place a block may shrink but never grow; a refusal leaves it whole.
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 6000), nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), 5000u);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 8), block);
  EXPECT_EQ(HeapSize(heap, 0, block), 8u);
  EXPECT_EQ(std::string(block, 8), std::string(8, 'x'));
  EXPECT_TRUE(HeapFree(heap, 0, block));
}

TEST(VirtualMemory, CommittedRegionIsZeroedWritableAndReleasedOnce) {
  const SIZE_T page = SIZE_T(sysconf(_SC_PAGESIZE));
  const SIZE_T size = 3 * page + 100;
  auto *region = static_cast<char *>(
      VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(region) % page, 0u);
  EXPECT_TRUE(AllZero(region, 4 * page));  // rounded up to whole pages
  std::memset(region, 0x5A, 4 * page);

  // Decommitted pages read as zero once committed again.
  EXPECT_TRUE(VirtualFree(region + page, page, MEM_DECOMMIT));
  EXPECT_EQ(VirtualAlloc(region + page, page, MEM_COMMIT, PAGE_READWRITE), region + page);
  EXPECT_TRUE(AllZero(region + page, page));
  EXPECT_EQ(static_cast<unsigned char>(region[0]), 0x5A);

  SetLastError(0);
  EXPECT_FALSE(VirtualFree(region, size, MEM_RELEASE));  // release takes size 0
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(VirtualFree(region + page, 0, MEM_RELEASE));  // and the base
  EXPECT_TRUE(VirtualFree(region, page, MEM_DECOMMIT));
  EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
  EXPECT_FALSE(VirtualFree(region, 0, MEM_RELEASE));
}

TEST(VirtualMemory, ReservedPagesAreCommittedOnRequest) {
  const SIZE_T page = SIZE_T(sysconf(_SC_PAGESIZE));
  auto *region = static_cast<char *>(VirtualAlloc(nullptr, 16 * page, MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(region, nullptr);
  auto *pages = static_cast<char *>(VirtualAlloc(region + 2 * page + 10, 20, MEM_COMMIT, PAGE_READWRITE));
  EXPECT_EQ(pages, region + 2 * page);
  pages[page - 1] = 1;
  EXPECT_EQ(VirtualAlloc(region + 15 * page, 2 * page, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
}

TEST(VirtualMemory, RefusesWhatItCannotDo) {
  const struct {
    SIZE_T size;
    DWORD type, protect;
  } cases[] = {
      {0, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE},
      {4096, MEM_RELEASE, PAGE_READWRITE},
      {4096, MEM_RESERVE | MEM_COMMIT, 0x40 /* execute and write */},
  };
  for (const auto &c : cases) {
    SetLastError(0);
    EXPECT_EQ(VirtualAlloc(nullptr, c.size, c.type, c.protect), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  }
  int local = 0;
  EXPECT_EQ(VirtualAlloc(&local, 4, MEM_COMMIT, PAGE_READWRITE), nullptr);
}

TEST(Interlocked, ReturnValuesFollowWin32) {
  volatile LONG value = 5;
  EXPECT_EQ(InterlockedIncrement(&value), 6);
  EXPECT_EQ(InterlockedDecrement(&value), 5);
  EXPECT_EQ(InterlockedExchangeAdd(&value, 10), 5);
  EXPECT_EQ(InterlockedExchange(&value, 42), 15);
  EXPECT_EQ(InterlockedCompareExchange(&value, 7, 41), 42);  // no match: unchanged
  EXPECT_EQ(value, 42);
  EXPECT_EQ(InterlockedCompareExchange(&value, 7, 42), 42);
  EXPECT_EQ(value, 7);
  value = INT32_MAX;
  EXPECT_EQ(InterlockedIncrement(&value), LONG(INT32_MIN));  // wraps as on Windows

  int a = 0, b = 0;
  void *volatile slot = &a;
  EXPECT_EQ(InterlockedCompareExchangePointer(&slot, &b, nullptr), &a);
  EXPECT_EQ(slot, &a);
  EXPECT_EQ(InterlockedCompareExchangePointer(&slot, &b, &a), &a);
  EXPECT_EQ(slot, &b);
}

TEST(Interlocked, CountsExactlyUnderContention) {
  volatile LONG counter = 0;
  volatile LONG total = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        InterlockedIncrement(&counter);
        InterlockedExchangeAdd(&total, 3);
        InterlockedDecrement(&counter);
        InterlockedIncrement(&counter);
      }
    });
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(counter, 8 * 20000);
  EXPECT_EQ(total, 8 * 20000 * 3);
}

}  // namespace
