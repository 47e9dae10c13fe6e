// What the system asks of the machine: page size, processor count and the
// bounds of the address space. Only the fields the system reads are kept.
#pragma once

#include "platform/windef.h"

struct SYSTEM_INFO {
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD dwNumberOfProcessors;
  // Virtual regions start on multiples of this, as on Windows (64 KB); our
  // own regions are page-aligned, so callers use it only for rounding.
  DWORD dwAllocationGranularity;
};
typedef SYSTEM_INFO *LPSYSTEM_INFO;

// Fills every field; the processor count is the number online, at least 1.
// A null pointer is ignored.
void GetSystemInfo(LPSYSTEM_INFO info);
