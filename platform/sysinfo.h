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

// The version of the system, in the 148-byte record of the version query.
struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;  // set by the caller
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);
// The platform answers as the desktop system whose look the program's own
// controls follow: version 5.1, build 2600, platform 2 (the NT line).
// FALSE when the record is missing or its size field is too small.
BOOL GetVersionExA(OSVERSIONINFOA *info);
