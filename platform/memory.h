// The process heap, virtual memory and the interlocked operations.
#pragma once

#include "platform/windef.h"

constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;

// One process heap; it serialises itself, so any thread may use it.
HANDLE GetProcessHeap();
// Null for a request the heap cannot meet; a request above 2 GB, which the
// system never makes on purpose, is refused too.
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
// With HEAP_ZERO_MEMORY the added bytes are zero; with
// HEAP_REALLOC_IN_PLACE_ONLY a block can only shrink. On failure the old
// block stays valid.
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
// Freeing null succeeds.
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// Exactly the size last asked for; (SIZE_T)-1 on failure.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);

constexpr DWORD MEM_COMMIT = 0x00001000;
constexpr DWORD MEM_RESERVE = 0x00002000;
constexpr DWORD MEM_DECOMMIT = 0x00004000;
constexpr DWORD MEM_RELEASE = 0x00008000;
constexpr DWORD MEM_TOP_DOWN = 0x00100000;

constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;

// A new region (address null) is reserved, and committed with MEM_COMMIT;
// committed pages read as zero. MEM_COMMIT with an address commits pages of
// a region reserved before. MEM_TOP_DOWN is accepted and has no effect.
LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect);
// MEM_RELEASE takes the region's base and size 0; MEM_DECOMMIT takes a page
// range inside a region, which then reads as zero when committed again.
BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type);

// Sequentially consistent, as the Win32 calls are full barriers.
inline LONG InterlockedIncrement(volatile LONG *target) {
  return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG *target) {
  return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}
// These return the value before the operation.
inline LONG InterlockedExchange(volatile LONG *target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(volatile LONG *target, LONG value) {
  return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(volatile LONG *target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
inline void *InterlockedCompareExchangePointer(void *volatile *target, void *exchange,
                                               void *comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
