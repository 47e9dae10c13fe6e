#include "platform/sysinfo.h"

#include <unistd.h>

namespace {

// Linux keeps the lowest 64 KB unmapped by default (vm.mmap_min_addr), the
// same bound Windows reports.
constexpr uintptr_t kLowestAddress = 0x10000;

// The last byte a process can map: the top of the user half less the guard
// page the kernel keeps there.
uintptr_t HighestAddress(uintptr_t page) {
#if defined(__x86_64__)
  return (uintptr_t(1) << 47) - page - 1;
#elif defined(__aarch64__)
  return (uintptr_t(1) << 48) - 1;
#else
  return ~uintptr_t(0) - page;
#endif
}

}  // namespace

void GetSystemInfo(LPSYSTEM_INFO info) {
  if (!info) return;
  long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) page = 4096;
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  if (processors < 1) processors = 1;
  info->dwPageSize = DWORD(page);
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(kLowestAddress);
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(HighestAddress(uintptr_t(page)));
  info->dwNumberOfProcessors = DWORD(processors);
  info->dwAllocationGranularity = 65536;
}

BOOL GetVersionExA(OSVERSIONINFOA *info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
  *info = OSVERSIONINFOA{sizeof(OSVERSIONINFOA), 5, 1, 2600, 2, {}};
  return TRUE;
}
