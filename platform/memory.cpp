#include "platform/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace {

// Every heap block carries its size in front of it, so that HeapSize can
// answer exactly what was asked; 16 bytes keep the user's part aligned as
// malloc's own blocks are.
struct alignas(16) BlockHeader {
  SIZE_T size;
  uint32_t magic;
};
constexpr uint32_t kLiveBlock = 0x48454150;  // "HEAP"
constexpr uint32_t kFreedBlock = 0x46524545;
constexpr SIZE_T kMaxHeapBlock = 0x7FFFFFFF;

char g_processHeapTag;

BlockHeader *HeaderOf(LPCVOID block) {
  auto *header = static_cast<BlockHeader *>(const_cast<void *>(block)) - 1;
  return header->magic == kLiveBlock ? header : nullptr;
}

struct Region {
  SIZE_T size;
};

struct VirtualRegions {
  std::mutex lock;
  std::map<uintptr_t, Region> byBase;
};

VirtualRegions &Regions() {
  static VirtualRegions *regions = new VirtualRegions;  // lives past static destruction
  return *regions;
}

uintptr_t PageSize() {
  static const uintptr_t size = uintptr_t(sysconf(_SC_PAGESIZE));
  return size;
}

bool Protection(DWORD protect, int &prot) {
  switch (protect) {
    case PAGE_NOACCESS: prot = PROT_NONE; return true;
    case PAGE_READONLY: prot = PROT_READ; return true;
    case PAGE_READWRITE: prot = PROT_READ | PROT_WRITE; return true;
    default: return false;
  }
}

// The region holding [start, start + size), with the range widened to whole
// pages; null when the range is not inside one region. Call under the lock.
const std::pair<const uintptr_t, Region> *FindRange(VirtualRegions &regions, uintptr_t &start,
                                                    uintptr_t &end) {
  auto it = regions.byBase.upper_bound(start);
  if (it == regions.byBase.begin()) return nullptr;
  --it;
  const uintptr_t page = PageSize();
  end = (end + page - 1) & ~(page - 1);
  start &= ~(page - 1);
  if (end <= start || end > it->first + it->second.size) return nullptr;
  return &*it;
}

LPVOID Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

}  // namespace

HANDLE GetProcessHeap() { return &g_processHeapTag; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (heap != GetProcessHeap() || bytes > kMaxHeapBlock) return nullptr;
  const SIZE_T total = sizeof(BlockHeader) + bytes;
  void *raw = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, total) : std::malloc(total);
  if (!raw) return nullptr;
  return new (raw) BlockHeader{bytes, kLiveBlock} + 1;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
  if (heap != GetProcessHeap() || !block || bytes > kMaxHeapBlock) return nullptr;
  BlockHeader *header = HeaderOf(block);
  if (!header) return Fail(ERROR_INVALID_PARAMETER);
  const SIZE_T old = header->size;
  if (flags & HEAP_REALLOC_IN_PLACE_ONLY) {
    if (bytes > old) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    header->size = bytes;
    return block;
  }
  auto *moved = static_cast<BlockHeader *>(std::realloc(header, sizeof(BlockHeader) + bytes));
  if (!moved) return nullptr;
  moved->size = bytes;
  if ((flags & HEAP_ZERO_MEMORY) && bytes > old)
    std::memset(reinterpret_cast<char *>(moved + 1) + old, 0, bytes - old);
  return moved + 1;
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  if (!block) return TRUE;
  BlockHeader *header = heap == GetProcessHeap() ? HeaderOf(block) : nullptr;
  if (!header) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  header->magic = kFreedBlock;
  std::free(header);
  return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
  BlockHeader *header = heap == GetProcessHeap() && block ? HeaderOf(block) : nullptr;
  if (!header) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SIZE_T(-1);
  }
  return header->size;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect) {
  int prot;
  if (size == 0 || (type & ~(MEM_COMMIT | MEM_RESERVE | MEM_TOP_DOWN)) != 0 ||
      (type & (MEM_COMMIT | MEM_RESERVE)) == 0 || !Protection(protect, prot))
    return Fail(ERROR_INVALID_PARAMETER);
  auto &regions = Regions();
  const uintptr_t page = PageSize();

  if (address) {
    // Only committing pages of a region reserved before is supported.
    if (type & MEM_RESERVE) return Fail(ERROR_INVALID_PARAMETER);
    uintptr_t start = reinterpret_cast<uintptr_t>(address);
    uintptr_t end = start + size;
    if (end < start) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(regions.lock);
    if (!FindRange(regions, start, end)) return Fail(ERROR_INVALID_PARAMETER);
    if (mprotect(reinterpret_cast<void *>(start), end - start, prot) != 0)
      return Fail(ERROR_NOT_ENOUGH_MEMORY);
    return reinterpret_cast<void *>(start);
  }

  if (size > SIZE_T(-1) - page) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  const SIZE_T rounded = (size + page - 1) & ~(page - 1);
  const bool commit = (type & MEM_COMMIT) != 0;
  void *base = mmap(nullptr, rounded, commit ? prot : PROT_NONE,
                    MAP_PRIVATE | MAP_ANONYMOUS | (commit ? 0 : MAP_NORESERVE), -1, 0);
  if (base == MAP_FAILED) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::lock_guard guard(regions.lock);
  regions.byBase[reinterpret_cast<uintptr_t>(base)] = Region{rounded};
  return base;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type) {
  auto &regions = Regions();
  const auto base = reinterpret_cast<uintptr_t>(address);
  std::lock_guard guard(regions.lock);
  if (type == MEM_RELEASE && size == 0) {
    auto it = regions.byBase.find(base);
    if (it != regions.byBase.end()) {
      munmap(address, it->second.size);
      regions.byBase.erase(it);
      return TRUE;
    }
  } else if (type == MEM_DECOMMIT && address) {
    uintptr_t start = base;
    uintptr_t end = base + size;
    if (size == 0) {
      // The whole region, which needs its base.
      auto it = regions.byBase.find(base);
      end = it == regions.byBase.end() ? base : base + it->second.size;
    }
    if (end > start && FindRange(regions, start, end)) {
      void *pages = reinterpret_cast<void *>(start);
      madvise(pages, end - start, MADV_DONTNEED);
      mprotect(pages, end - start, PROT_NONE);
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
