#include "platform/version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/iphlpapi.h"
#include "platform/module.h"
#include "testing/temp_folder.h"

KIVO_VERSION_STRING("\\StringFileInfo\\080404b0\\FileVersion", "3, 1, 4, 15");
KIVO_VERSION_STRING("\\StringFileInfo\\080404b0\\ProductName", "platform tests");

namespace {

std::string ProgramPath() {
  char path[4096];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
}

std::string Query(const std::vector<char> &block, const char *key) {
  LPVOID value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), key, &value, &length)) return "<none>";
  EXPECT_EQ(length, strlen(static_cast<const char *>(value)) + 1);
  return static_cast<const char *>(value);
}

TEST(VersionInfo, ReadsTheStringsAModuleDeclares) {
  const std::string program = ProgramPath();
  DWORD handle = 7;
  const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &handle);
  ASSERT_GT(size, 0u);
  EXPECT_EQ(handle, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, block.data()));
  EXPECT_EQ(Query(block, "\\StringFileInfo\\080404b0\\FileVersion"), "3, 1, 4, 15");
  EXPECT_EQ(Query(block, "\\stringfileinfo\\080404B0\\productname"), "platform tests");
  EXPECT_EQ(Query(block, "\\StringFileInfo\\080404b0\\Comments"), "<none>");
  // A buffer smaller than the block is refused.
  EXPECT_FALSE(GetFileVersionInfoA(program.c_str(), 0, size - 1, block.data()));
}

TEST(VersionInfo, FilesWithoutVersionsAreTold) {
  const std::string folder = testing_support::MakeTempFolder("version");
  ASSERT_FALSE(folder.empty());
  const std::string text = folder + "/plain.dll";
  std::ofstream(text) << "not a module";
  DWORD handle;
  SetLastError(0);
  EXPECT_EQ(GetFileVersionInfoSizeA(text.c_str(), &handle), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(GetFileVersionInfoSizeA((folder + "/missing.dll").c_str(), &handle), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  std::filesystem::remove_all(folder);
}

TEST(AdapterList, AFixedListReplacesTheMachines) {
  platform::SetFixedAdapters({{"eth9", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}, {"eth10", {1, 2, 3, 4, 5, 6}}});
  ULONG size = 0;
  ASSERT_EQ(GetAdaptersInfo(nullptr, &size), ERROR_BUFFER_OVERFLOW);
  std::vector<char> buffer(size);
  auto *info = reinterpret_cast<IP_ADAPTER_INFO *>(buffer.data());
  ASSERT_EQ(GetAdaptersInfo(info, &size), ERROR_SUCCESS);
  EXPECT_STREQ(info->AdapterName, "eth9");
  EXPECT_EQ(info->AddressLength, 6u);
  EXPECT_EQ(info->Address[5], 0x5E);
  ASSERT_NE(info->Next, nullptr);
  EXPECT_EQ(info->Next->Address[0], 1);
  EXPECT_EQ(info->Next->Next, nullptr);

  platform::SetFixedAdapters({});
  EXPECT_EQ(GetAdaptersInfo(info, &size), ERROR_NO_DATA);
  platform::ClearFixedAdapters();
}

}  // namespace
