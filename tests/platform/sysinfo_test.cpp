#include "platform/sysinfo.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace {

TEST(SystemInfo, DescribesThisMachine) {
  SYSTEM_INFO info;
  std::memset(&info, 0xCC, sizeof info);
  GetSystemInfo(&info);
  EXPECT_EQ(info.dwPageSize, DWORD(sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(info.dwNumberOfProcessors, DWORD(sysconf(_SC_NPROCESSORS_ONLN)));
  EXPECT_EQ(info.dwAllocationGranularity, 65536u);

  // A fresh mapping lies inside the bounds the call reports.
  const auto low = reinterpret_cast<uintptr_t>(info.lpMinimumApplicationAddress);
  const auto high = reinterpret_cast<uintptr_t>(info.lpMaximumApplicationAddress);
  void *region = mmap(nullptr, info.dwPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(region, MAP_FAILED);
  const auto at = reinterpret_cast<uintptr_t>(region);
  EXPECT_GE(at, low);
  EXPECT_LE(at + info.dwPageSize - 1, high);
  munmap(region, info.dwPageSize);

  GetSystemInfo(nullptr);
}

TEST(SystemInfo, VersionRecord) {
  OSVERSIONINFOA info{};
  EXPECT_FALSE(GetVersionExA(&info));  // the size field is the caller's promise
  EXPECT_FALSE(GetVersionExA(nullptr));
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion * 10000 + info.dwMinorVersion, 50001u);
  EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
}

}  // namespace
